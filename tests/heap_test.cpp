#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

#include "heap_checks.h"
#include "mem/ExeHeapSrv.h"
#include "mem/ExeMem.h"

namespace {

HeapBlockHeader* HeaderOf(void* user) {
    return reinterpret_cast<HeapBlockHeader*>(static_cast<uint8_t*>(user) - kHeapHeaderSize);
}

struct Seen {
    int32_t line;
    std::string file;
    uint32_t blockSize;
    uint32_t one;
    void* user;
};

void Collect(void* context, int32_t line, const char* file, uint32_t blockSize, uint32_t one, void* user) {
    static_cast<std::vector<Seen>*>(context)->push_back({line, file, blockSize, one, user});
}

std::vector<Seen> Blocks() {
    std::vector<Seen> seen;
    ThreadHeap->Enumerate(Collect, &seen);
    return seen;
}

const char kTag[] = ".\\HeapTest.cpp";

// The at-sign form: "@" and the pointer's upper-case hexadecimal digits.
std::string AtForm(const void* p) {
    char text[40];
    std::snprintf(text, sizeof text, "@%0*llX", int(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

}  // namespace

TEST(Heap, LayoutIsThe32BitOne) {
    if (sizeof(void*) == 4) {
        EXPECT_EQ(16u, kHeapHeaderSize);
        EXPECT_EQ(12u, offsetof(HeapBlockHeader, line));
        EXPECT_EQ(14u, offsetof(HeapBlockHeader, headGuard));
    }
    EXPECT_EQ(kHeapHeaderSize + 4, kHeapOverhead);
    ASSERT_EQ(ThreadHeap, ProcessHeapClient());
}

TEST(Heap, AllocWritesHeaderGuardsAndPattern) {
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Alloc(37, 0, kTag, 71));
    HeapBlockHeader* h = HeaderOf(p);
    uint32_t n = ThreadHeap->Size(p);
    EXPECT_GE(n, 37u);
    EXPECT_EQ(n + kHeapOverhead, _msize(h));
    EXPECT_EQ(kTag, h->file);
    EXPECT_EQ(71, h->line);
    EXPECT_EQ(0xFD, h->headGuard[0]);
    EXPECT_EQ(0xFD, h->headGuard[1]);
    uint8_t pattern = uint8_t(reinterpret_cast<uintptr_t>(p) >> 4);
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(pattern, p[i]) << i;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(0xFD, p[n + i]);
    ThreadHeap->Free(p);

    uint8_t* z = static_cast<uint8_t*>(ThreadHeap->Alloc(300, HEAP_ZERO, kTag, 72));
    for (uint32_t i = 0; i < ThreadHeap->Size(z); ++i) ASSERT_EQ(0, z[i]);
    ThreadHeap->Free(z);
}

TEST(Heap, LineIsStoredAsSigned16Bits) {
    void* p = ThreadHeap->Alloc(4, 0, kTag, 0x18001);
    EXPECT_EQ(int16_t(0x8001), HeaderOf(p)->line);
    std::vector<Seen> seen = Blocks();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(int32_t(int16_t(0x8001)), seen[0].line);
    ThreadHeap->Free(p);
}

TEST(Heap, ZeroSizeBlocksAreDistinctAndLeaveTheListAsBefore) {
    const LiveBlocks before;
    void* a = ThreadHeap->Alloc(0, 0, kTag, 1);
    void* b = ThreadHeap->Alloc(0, 0, kTag, 2);
    EXPECT_NE(a, b);
    EXPECT_EQ(2, before.Added());
    ThreadHeap->Free(a);
    ThreadHeap->Free(b);
    ThreadHeap->Free(nullptr);
    EXPECT_EQ(0, before.Added());
}

TEST(Heap, EnumerateWalksNewestFirstWithSizesAndTags) {
    void* a = ThreadHeap->Alloc(10, 0, kTag, 1);
    void* b = ThreadHeap->Alloc(20, 0, ".\\Other.cpp", 2);
    void* c = ThreadHeap->Alloc(30, 0, kTag, 3);
    std::vector<Seen> seen = Blocks();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(c, seen[0].user);
    EXPECT_EQ(b, seen[1].user);
    EXPECT_EQ(a, seen[2].user);
    EXPECT_EQ(".\\Other.cpp", seen[1].file);
    EXPECT_EQ(2, seen[1].line);
    EXPECT_EQ(1u, seen[1].one);
    EXPECT_EQ(ThreadHeap->Size(b) + kHeapOverhead, seen[1].blockSize);

    ThreadHeap->Free(b);  // unlink from the middle
    seen = Blocks();
    EXPECT_EQ(c, seen[0].user);
    EXPECT_EQ(a, seen[1].user);
    ThreadHeap->Free(c);  // the newest
    ThreadHeap->Free(a);
}

TEST(Heap, UnprintableOrLongTagsAreShownByAddress) {
    std::string longTag(300, 'x');
    char bad[] = {'a', char(0x01), 'b', 0};
    void* p = ThreadHeap->Alloc(1, 0, longTag.c_str(), 1);
    void* q = ThreadHeap->Alloc(1, 0, bad, 2);
    void* r = ThreadHeap->Alloc(1, 0, nullptr, 3);
    std::vector<Seen> seen = Blocks();
    EXPECT_EQ(AtForm(longTag.c_str()), seen[2].file);
    EXPECT_EQ(AtForm(bad), seen[1].file);
    EXPECT_EQ(AtForm(nullptr), seen[0].file);
    ThreadHeap->Free(r);
    ThreadHeap->Free(q);
    ThreadHeap->Free(p);

    std::string edge(258, 'y');
    void* e = ThreadHeap->Alloc(1, 0, edge.c_str(), 4);
    EXPECT_EQ(edge, Blocks()[0].file);
    ThreadHeap->Free(e);
}

TEST(Heap, UnreadableTagsAreShownByAddress) {
    // A name running into a no-access page, one inside it, and a wild pointer.
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    std::memcpy(pages + 4093, "abc", 3);   // no terminator before the fence
    const char* tags[] = {pages + 4093, pages + 4096, reinterpret_cast<const char*>(uintptr_t(16))};
    for (const char* tag : tags) {
        char out[260];
        SanitizeTag(tag, out);
        EXPECT_EQ(AtForm(tag), out);
    }
    std::memcpy(pages + 4092, "abc", 4);
    char out[260];
    SanitizeTag(pages + 4092, out);
    EXPECT_STREQ("abc", out);
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(Heap, DamagedGuardsAreReportedOnceAndTheBlockIsReleased) {
    uint32_t reports = HeapCorruptionReports();
    const LiveBlocks live;
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Alloc(24, 0, kTag, 5));
    p[ThreadHeap->Size(p)] = 0;  // one byte past the usable size
    ThreadHeap->Free(p);
    EXPECT_EQ(reports + 1, HeapCorruptionReports());
    EXPECT_EQ(0, live.Added());

    uint8_t* q = static_cast<uint8_t*>(ThreadHeap->Alloc(24, 0, kTag, 6));
    q[-1] = 0;
    uint32_t n = ThreadHeap->Size(q);
    q[n] = q[n + 3] = 0;
    ThreadHeap->Free(q);
    EXPECT_EQ(reports + 2, HeapCorruptionReports());
    EXPECT_EQ(0, live.Added());

    // Only the tail guard's last byte.
    uint8_t* t = static_cast<uint8_t*>(ThreadHeap->Alloc(24, 0, kTag, 7));
    t[ThreadHeap->Size(t) + kHeapTailGuard - 1] = 0;
    ThreadHeap->Free(t);
    EXPECT_EQ(reports + 3, HeapCorruptionReports());
    EXPECT_EQ(0, live.Added());
}

TEST(Heap, FailedInPlaceReallocLeavesTheBlockAsItWas) {
    // A neighbour right behind the block keeps it from growing in place.
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Alloc(16, 0, kTag, 7));
    void* fence = ThreadHeap->Alloc(16, 0, kTag, 8);
    std::memset(p, 0x5A, 16);
    uint32_t n = ThreadHeap->Size(p);
    EXPECT_EQ(nullptr, ThreadHeap->Realloc(p, 1u << 24, HEAP_IN_PLACE, nullptr, 0));
    EXPECT_EQ(nullptr, ThreadHeap->Realloc(p, 0xFFFFFFF0u, HEAP_IN_PLACE, nullptr, 0));
    EXPECT_EQ(n, ThreadHeap->Size(p));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0x5A, p[i]);
    EXPECT_EQ(kTag, HeaderOf(p)->file);
    EXPECT_EQ(7, HeaderOf(p)->line);
    uint32_t reports = HeapCorruptionReports();
    ThreadHeap->Free(fence);
    ThreadHeap->Free(p);
    EXPECT_EQ(reports, HeapCorruptionReports());
}

TEST(Heap, ReallocInPlaceKeepsTagAndPositionAndMovingRetagsAndRelinks) {
    void* old1 = ThreadHeap->Alloc(64, 0, kTag, 10);
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Alloc(4000, 0, kTag, 11));
    void* newer = ThreadHeap->Alloc(64, 0, kTag, 12);
    std::memset(p, 0x11, 4000);

    // Shrinking in place always succeeds and keeps the first tag and place.
    void* shrunk = ThreadHeap->Realloc(p, 1000, HEAP_IN_PLACE, nullptr, 0);
    ASSERT_EQ(p, shrunk);
    EXPECT_EQ(11, HeaderOf(p)->line);
    uint32_t n = ThreadHeap->Size(p);
    EXPECT_GE(n, 1000u);
    EXPECT_EQ(0xFD, p[n]);
    std::vector<Seen> seen = Blocks();
    EXPECT_EQ(newer, seen[0].user);
    EXPECT_EQ(p, seen[1].user);

    // Moving: the block becomes the newest and carries the new tag.
    uint8_t* moved = static_cast<uint8_t*>(ThreadHeap->Realloc(p, 1 << 20, 0, ".\\Moved.cpp", 13));
    ASSERT_NE(p, moved);
    EXPECT_EQ(0x11, moved[999]);
    EXPECT_EQ(13, HeaderOf(moved)->line);
    seen = Blocks();
    EXPECT_EQ(moved, seen[0].user);
    EXPECT_EQ(newer, seen[1].user);
    EXPECT_EQ(old1, seen[2].user);
    EXPECT_EQ(0xFD, moved[ThreadHeap->Size(moved)]);

    uint32_t reports = HeapCorruptionReports();
    ThreadHeap->Free(newer);
    ThreadHeap->Free(old1);
    ThreadHeap->Free(moved);
    EXPECT_EQ(reports, HeapCorruptionReports());
}

TEST(Heap, ReallocOfNullAllocatesWithTheSameFlagsAndTag) {
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Realloc(nullptr, 50, HEAP_ZERO, kTag, 14));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(14, HeaderOf(p)->line);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(0, p[i]);
    ThreadHeap->Free(p);
}

TEST(Heap, FreedBlocksAreFilledWithDD) {
    uint8_t* p = static_cast<uint8_t*>(ThreadHeap->Alloc(200, 0, kTag, 15));
    HeapBlockHeader* h = HeaderOf(p);
    size_t runtimeSize = _msize(h);
    ThreadHeap->Free(p);
    // The runtime keeps its own links at the ends of a free block; the bytes
    // between them still hold the fill.
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(h);
    size_t dd = 0;
    for (size_t i = 16; i < runtimeSize - 8; ++i) dd += bytes[i] == 0xDD;
    EXPECT_EQ(runtimeSize - 24, dd);
}
