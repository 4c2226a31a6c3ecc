#include <gtest/gtest.h>

#include <vector>

#include "heap_checks.h"
#include "mem/ExeHeapSrv.h"
#include "rtl/Array.h"

namespace {

const HeapBlockHeader* HeaderOf(const void* user) {
    return reinterpret_cast<const HeapBlockHeader*>(static_cast<const uint8_t*>(user) - kHeapHeaderSize);
}

// A record that owns buffers, shaped like the instrument entry.
struct Record {
    const char* name;
    TArray<int> a;
    TArray<int> b;
    Record() : a(64), b(64) {}
};

}  // namespace

TEST(ArrayGrowth, AppendingOneAtATimeFollowsTheStepRule) {
    TArray<uint32_t> array(64);
    std::vector<uint32_t> capacities;
    for (uint32_t i = 0; i < 1153; ++i) {
        uint32_t before = array.capacity;
        array.Append(i);
        if (array.capacity != before) capacities.push_back(array.capacity);
    }
    std::vector<uint32_t> expected = {1, 2, 4, 8, 16, 32, 64, 128, 192, 256};
    for (uint32_t c = 320; c <= 1024; c += 64) expected.push_back(c);
    expected.push_back(1152);
    expected.push_back(1280);
    EXPECT_EQ(expected, capacities);
    EXPECT_EQ(128u, array.step);
    for (uint32_t i = 0; i < array.count; ++i) ASSERT_EQ(i, array[i]);
}

TEST(ArrayGrowth, RuleExamples) {
    uint32_t step = 64;
    EXPECT_EQ(192u, ArrayGrowCapacity(180, 100, step));
    EXPECT_EQ(500u, ArrayGrowCapacity(500, 10, step));
    EXPECT_EQ(30u, ArrayGrowCapacity(30, 10, step));
    EXPECT_EQ(7u, ArrayGrowCapacity(7, 0, step));
    EXPECT_EQ(100u, ArrayGrowCapacity(50, 100, step));
    EXPECT_EQ(64u, step);
    // The step doubles when the needed count reaches 16 steps exactly.
    EXPECT_EQ(1064u, ArrayGrowCapacity(1023, 1000, step));
    EXPECT_EQ(64u, step);
    EXPECT_EQ(1128u, ArrayGrowCapacity(1024, 1000, step));
    EXPECT_EQ(128u, step);
    step = 64;
    // Near the top of the range nothing wraps.
    EXPECT_EQ(0xFFFFFFF0u, ArrayGrowCapacity(0xFFFFFFF0u, 0x80000000u, step));
    uint32_t zero = 0;
    EXPECT_EQ(9u, ArrayGrowCapacity(9, 4, zero));
}

TEST(Array, GrowWithinCapacityOnlySetsCount) {
    TArray<uint8_t> array(256);
    array.Grow(100, 100);
    uint8_t* items = array.items;
    array.Grow(50, 10);
    EXPECT_EQ(items, array.items);
    EXPECT_EQ(100u, array.capacity);
    EXPECT_EQ(10u, array.count);
    array.Grow(100, 100);
    EXPECT_EQ(items, array.items);
}

TEST(Array, SetCapacityZeroFreesTheStorage) {
    const LiveBlocks live;
    TArray<int> array(4);
    array.Append(1);
    EXPECT_EQ(1, live.Added());
    array.SetCapacity(0, 0);
    EXPECT_EQ(nullptr, array.items);
    EXPECT_EQ(0u, array.capacity);
    EXPECT_EQ(0, live.Added());
    array.Append(2);
    array.Clear(16);
    EXPECT_EQ(16u, array.capacity);
    EXPECT_EQ(0u, array.count);
}

TEST(Array, StorageChangesCarryTheirTags) {
    TArray<int> array(4);
    array.Append(1);
    EXPECT_STREQ(".\\Rtl\\Array.cpp", HeaderOf(array.items)->file);
    EXPECT_EQ(88, HeaderOf(array.items)->line);
}

TEST(Array, TheThreeConstructionForms) {
    TArray<int> source(64);
    for (int i = 0; i < 3; ++i) source.Append(i * 7);
    ASSERT_EQ(4u, source.capacity);
    TArray<int> copy(source);
    EXPECT_EQ(3u, copy.capacity);
    EXPECT_EQ(3u, copy.count);
    EXPECT_EQ(64u, copy.step);
    EXPECT_EQ(14, copy[2]);
    EXPECT_NE(source.items, copy.items);
    EXPECT_STREQ("u:\\base\\rtl\\Array.h", HeaderOf(copy.items)->file);
    EXPECT_EQ(529, HeaderOf(copy.items)->line);

    TArray<int> empty(64);
    TArray<int> emptyCopy(empty);
    EXPECT_EQ(nullptr, emptyCopy.items);

    TArray<wchar_t> text(L"abc");
    EXPECT_EQ(4u, text.count);
    EXPECT_EQ(4u, text.capacity);
    EXPECT_EQ(0, text[3]);
    EXPECT_EQ(L'c', text[2]);
    EXPECT_EQ(517, HeaderOf(text.items)->line);

    TArray<uint8_t> sized(TArray<uint8_t>::Sized(), 10);
    EXPECT_EQ(10u, sized.count);
    EXPECT_EQ(10u, sized.capacity);
    EXPECT_EQ(505, HeaderOf(sized.items)->line);
}

TEST(Array, MovingRecordsDeepCopiesTheirBuffers) {
    const LiveBlocks live;
    {
        TArray<Record> records(4);
        records.Grow(1, 1);
        EXPECT_EQ(nullptr, records[0].a.items);
        EXPECT_EQ(64u, records[0].a.step);
        records[0].a.Append(5);
        records[0].b.Append(6);
        int* oldInner = records[0].a.items;
        // A block right behind the storage forces the next growth to move.
        void* fence = ThreadHeap->Alloc(8, 0, ".\\ArrayTest.cpp", 1);
        for (uint32_t i = 1; i < 40; ++i) {
            records.Grow(records.count + 1, records.count + 1);
            records[i].a.Append(int(i));
        }
        EXPECT_NE(oldInner, records[0].a.items);
        EXPECT_EQ(5, records[0].a[0]);
        EXPECT_EQ(6, records[0].b[0]);
        EXPECT_EQ(39, records[39].a[0]);
        // Every inner buffer is a live block of its own: nothing was shared
        // with storage that the move freed.
        std::vector<const void*> inner;
        for (uint32_t i = 0; i < records.count; ++i) {
            EXPECT_EQ(0xFD, HeaderOf(records[i].a.items)->headGuard[0]);
            inner.push_back(records[i].a.items);
        }
        EXPECT_EQ(1 + 1 + 40 + 1, live.Added());  // fence, storage, 40 a-buffers, one b-buffer
        ThreadHeap->Free(fence);

        // Truncating frees the dropped records' buffers.
        records.SetCapacity(records.capacity, 10);
        EXPECT_EQ(1 + 10 + 1, live.Added());
    }
    EXPECT_EQ(0, live.Added());
}

TEST(Array, TruncatingRecordsDestroysLastFirst) {
    static std::vector<int> order;
    struct Tracked {
        int id = -1;
        Tracked() {}
        Tracked(const Tracked& o) : id(o.id) {}
        ~Tracked() {
            if (id >= 0) order.push_back(id);
        }
    };
    order.clear();
    {
        TArray<Tracked> array(8);
        array.Grow(3, 3);
        for (int i = 0; i < 3; ++i) array[i].id = i;
        array.SetCapacity(3, 0);
        EXPECT_EQ((std::vector<int>{2, 1, 0}), order);
    }
}

TEST(Buffer, CopiesExactly) {
    TBuffer<uint8_t> buffer;
    const uint8_t bytes[] = {1, 2, 3};
    buffer.Assign(bytes, 3);
    TBuffer<uint8_t> copy(buffer);
    EXPECT_EQ(3u, copy.count);
    EXPECT_EQ(3, copy.items[2]);
    EXPECT_NE(buffer.items, copy.items);
}
