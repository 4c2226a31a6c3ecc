#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "heap_checks.h"
#include "mem/ExeHeapSrv.h"
#include "panel/HashTable.h"
#include "panel/RefObject.h"

namespace {

// A named element shaped like a control: hash, registration link and bucket
// link at its end, leaving both lists from its destructor.
struct Named : CNameKey {
    int id = 0;
    uint32_t hash = 0;
    TListLink registration;
    TListLink bucket;
    ~Named() override {
        registration.Unlink();
        bucket.Unlink();
    }
};

using NameTable = THashTable<Named, CNameKey>;

// Tables of Named elements take their offsets from a probe object, since
// offsetof does not apply to a class with virtual operations.
struct NamedTable : NameTable {
    NamedTable() : NameTable(Offsets().hash, Offsets().registration, Offsets().bucket) {}
    struct Layout { uint32_t hash, registration, bucket; };
    static Layout Offsets() {
        Named probe;
        return {FieldOffset(&probe, probe.hash), FieldOffset(&probe, probe.registration),
                FieldOffset(&probe, probe.bucket)};
    }
};

Named* Make(const char* name, int id) {
    Named* e = new (ThreadHeap->Alloc(sizeof(Named), 0, "hashtable_test", __LINE__)) Named;
    e->SetName(name);
    e->id = id;
    return e;
}

void Add(NameTable& table, Named* e) { table.Insert(e, HashName(e->Name())); }

std::vector<int> Order(const NameTable& table) {
    std::vector<int> ids;
    for (Named* e = table.First(); e; e = table.Next(e)) ids.push_back(e->id);
    return ids;
}

// The first `count` names "n0", "n1", ... whose hash AND mask is `bucket`.
std::vector<std::string> NamesInBucket(uint32_t bucket, uint32_t mask, size_t count) {
    std::vector<std::string> names;
    for (int i = 0; names.size() < count; ++i) {
        std::string n = "n" + std::to_string(i);
        if ((HashName(n.c_str()) & mask) == bucket) names.push_back(n);
    }
    return names;
}

// Every chain holds exactly the elements whose stored hash selects it, in
// registration order; together they hold every registered element.
void ExpectChainsConsistent(const NameTable& table) {
    std::vector<int> order = Order(table);
    size_t total = 0;
    for (uint32_t b = 0; b < table.BucketCount(); ++b) {
        const TList<Named>& chain = table.Bucket(b);
        size_t lastPlace = 0;
        for (Named* e = chain.First(); e; e = chain.Next(e), ++total) {
            EXPECT_EQ(b, e->hash & (table.BucketCount() - 1));
            size_t place = 1;
            while (place <= order.size() && order[place - 1] != e->id) ++place;
            EXPECT_LT(lastPlace, place);
            lastPlace = place;
        }
    }
    EXPECT_EQ(order.size(), total);
}

struct Item {
    int value;
    TListLink first;
    TListLink second;
};

}  // namespace

TEST(HashName, FixedValuesInEveryRun) {
    EXPECT_EQ(0x325D1EAEu, HashName(""));
    EXPECT_EQ(0x325D1EAEu, HashName(nullptr));
    EXPECT_EQ(0x355BBEF4u, HashName("list"));
    EXPECT_EQ(0x399F3E00u, HashName("info"));
    EXPECT_EQ(0xEEF6C1AAu, HashName("hsplit"));
    EXPECT_EQ(4u, HashName("list") & 7);
    EXPECT_EQ(0u, HashName("info") & 7);
    EXPECT_EQ(2u, HashName("hsplit") & 7);
    // Bytes from 0x80 up enter as negative values.
    EXPECT_EQ(0xB3D7E209u, HashName("\x80"));
    EXPECT_EQ(0xEBDCD883u, HashName("\xFF"));
}

TEST(HashKey4, FixedStartAndMixing) {
    const uint32_t start[5] = {0x2EB3C21D, 0xA6F1D482, 0xBE24628F, 0x35699E30, 0xC87EE224};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(start[i], ByteMixTable[i]);
    EXPECT_EQ(256u, std::set<uint32_t>(ByteMixTable, ByteMixTable + 256).size());

    // Only the first four bytes count: faces sharing two UTF-16 units collide.
    EXPECT_EQ(HashKey4(L"Verdana"), HashKey4(L"Ve\0x"));
    EXPECT_NE(HashKey4(L"Verdana"), HashKey4(L"Vf"));

    // Consecutive 32-bit ids spread over 64 buckets without clumping.
    uint32_t counts[64] = {};
    for (uint32_t id = 0; id < 4096; ++id) ++counts[HashKey4(&id) & 63];
    for (uint32_t c : counts) {
        EXPECT_GT(c, 32u);
        EXPECT_LT(c, 100u);
    }
}

TEST(TList, IntrusiveLinksWithMarkedEnd) {
    TList<Item> one(uint32_t(offsetof(Item, first)));
    TList<Item> two(uint32_t(offsetof(Item, second)));
    const uintptr_t end = reinterpret_cast<uintptr_t>(&one.sentinel) | 1;
    EXPECT_TRUE(one.IsEmpty());
    EXPECT_EQ(end, one.sentinel.next);
    EXPECT_EQ(&one.sentinel, one.sentinel.prev);
    EXPECT_EQ(nullptr, one.First());
    EXPECT_EQ(nullptr, one.Last());

    Item items[3] = {{1, {}, {}}, {2, {}, {}}, {3, {}, {}}};
    EXPECT_TRUE(items[0].first.IsEmpty());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&items[0].first) | 1, items[0].first.next);
    for (Item& i : items) one.Append(&i);
    two.Append(&items[2]);
    two.Append(&items[0]);

    // Forward words hold element addresses; the tail holds the marked sentinel.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&items[0]), one.sentinel.next);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&items[1]), items[0].first.next);
    EXPECT_EQ(end, items[2].first.next);
    EXPECT_EQ(&items[1].first, items[2].first.prev);
    EXPECT_EQ(&items[2].first, one.sentinel.prev);
    EXPECT_EQ(&items[2], one.Last());
    EXPECT_EQ(&items[1], one.Prev(&items[2]));
    EXPECT_EQ(nullptr, one.Prev(&items[0]));
    EXPECT_EQ(3u, one.Count());
    EXPECT_EQ(2u, one.CountUpTo(2));

    // Unlinking needs nothing but the link, from the middle, the tail or the head.
    items[1].first.Unlink();
    EXPECT_TRUE(items[1].first.IsEmpty());
    EXPECT_EQ(&items[2], one.Next(&items[0]));
    EXPECT_EQ(&items[0], one.Prev(&items[2]));
    items[1].first.Unlink();
    EXPECT_EQ(2u, one.Count());
    items[2].first.Unlink();
    EXPECT_EQ(&items[0], one.Last());
    EXPECT_EQ(end, items[0].first.next);
    // Membership of the other list is untouched.
    EXPECT_EQ(&items[2], two.First());
    EXPECT_EQ(&items[0], two.Next(&items[2]));
    items[2].second.Unlink();
    EXPECT_EQ(&items[0], two.First());
    EXPECT_EQ(nullptr, two.Prev(&items[0]));

    // Appending an element that is in a list moves it to the tail.
    one.Append(&items[1]);
    one.Append(&items[0]);
    EXPECT_EQ(&items[1], one.First());
    EXPECT_EQ(&items[0], one.Last());

    one.DetachAll();
    EXPECT_TRUE(one.IsEmpty());
    EXPECT_TRUE(items[0].first.IsEmpty());
    EXPECT_TRUE(items[1].first.IsEmpty());
    {
        TList<Item> scoped(uint32_t(offsetof(Item, first)));
        scoped.Append(&items[1]);
    }
    EXPECT_TRUE(items[1].first.IsEmpty());
}

TEST(HashTable, LayoutStartsWithEightBuckets) {
    const LiveBlocks live;
    {
        NamedTable table;
        EXPECT_EQ(8u, table.BucketCount());
        EXPECT_EQ(7u, table.mask);
        EXPECT_EQ(1024u, table.bucketLimit);
        EXPECT_EQ(1, live.Added());   // the bucket array alone
        for (uint32_t b = 0; b < 8; ++b) {
            EXPECT_TRUE(table.Bucket(b).IsEmpty());
            EXPECT_EQ(table.registration.offset + sizeof(TListLink), table.Bucket(b).offset);
        }
        EXPECT_EQ(nullptr, FindName(table, "list"));
        EXPECT_EQ(nullptr, table.First());
    }
    EXPECT_EQ(0, live.Added());
}

TEST(HashTable, NamesAreCaseSensitiveAndDuplicatesFindTheFirst) {
    const LiveBlocks live;
    {
        NamedTable table;
        Named* list = Make("list", 0);
        Named* twin = Make("list", 1);
        Named* upper = Make("List", 2);   // same bucket as "list", other hash
        Named* info = Make("info", 3);
        for (Named* e : {list, twin, upper, info}) Add(table, e);
        EXPECT_EQ(table.BucketOf(HashName("list")), table.BucketOf(HashName("List")));
        EXPECT_EQ(list, FindName(table, "list"));
        EXPECT_EQ(upper, FindName(table, "List"));
        EXPECT_EQ(info, FindName(table, "info"));
        EXPECT_EQ(nullptr, FindName(table, "LIST"));
        EXPECT_EQ(nullptr, FindName(table, "lis"));
        EXPECT_EQ(nullptr, FindName(table, "hsplit"));

        // The first one leaves from its destructor; the second takes its place.
        list->Destroy(1);
        EXPECT_EQ(twin, FindName(table, "list"));
        EXPECT_EQ((std::vector<int>{1, 2, 3}), Order(table));

        // Re-inserting moves an element to the tail of both lists.
        Add(table, twin);
        EXPECT_EQ((std::vector<int>{2, 3, 1}), Order(table));
        EXPECT_EQ(twin, table.Bucket(4).Last());
        ExpectChainsConsistent(table);

        // Leaving through the table's own unlink.
        table.Unlink(info);
        EXPECT_EQ(nullptr, FindName(table, "info"));
        EXPECT_TRUE(info->registration.IsEmpty());
        EXPECT_TRUE(info->bucket.IsEmpty());
        info->Destroy(1);
        twin->Destroy(1);
        upper->Destroy(1);
        EXPECT_EQ(nullptr, table.First());
        for (uint32_t b = 0; b < table.BucketCount(); ++b) EXPECT_TRUE(table.Bucket(b).IsEmpty());
    }
    EXPECT_EQ(0, live.Added());   // lookups freed their temporary names
}

TEST(HashTable, InsertAndUnlinkAllocateNothing) {
    NamedTable table;
    std::vector<Named*> all;
    for (int i = 0; i < 6; ++i) all.push_back(Make(("c" + std::to_string(i)).c_str(), i));
    ASSERT_EQ(8u, table.BucketCount());
    const LiveBlocks blocks;
    for (Named* e : all) Add(table, e);
    ASSERT_EQ(8u, table.BucketCount());   // no chain reached four
    Add(table, all[2]);
    for (Named* e : all) table.Unlink(e);
    EXPECT_EQ(0, blocks.Added());
    for (Named* e : all) e->Destroy(1);
}

TEST(HashTable, FifthInABucketDoublesBeforeItIsLinked) {
    NamedTable table;
    std::vector<std::string> names = NamesInBucket(5, 7, 5);
    std::vector<Named*> all;
    for (size_t i = 0; i < names.size(); ++i) all.push_back(Make(names[i].c_str(), int(i)));
    // Four in one bucket: no growth.
    for (int i = 0; i < 4; ++i) Add(table, all[i]);
    EXPECT_EQ(8u, table.BucketCount());
    EXPECT_EQ(4u, table.Bucket(5).Count());
    Add(table, all[4]);
    EXPECT_EQ(16u, table.BucketCount());
    EXPECT_EQ(15u, table.mask);
    ExpectChainsConsistent(table);
    uint32_t inFive = 0, inThirteen = 0;
    for (Named* e : all) ((e->hash & 15) == 5 ? inFive : inThirteen)++;
    EXPECT_EQ(inFive, table.Bucket(5).Count());
    EXPECT_EQ(inThirteen, table.Bucket(13).Count());
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), Order(table));
    for (Named* e : all) EXPECT_EQ(e, FindName(table, e->Name()));
    for (Named* e : all) e->Destroy(1);
    EXPECT_EQ(nullptr, table.First());
}

TEST(HashTable, GrowthStopsAt1024AndInsertStillWorks) {
    NamedTable table;
    // Twelve names sharing the low ten hash bits: each insert past the
    // fourth doubles the table until the limit is reached.
    std::vector<std::string> names = NamesInBucket(3, 1023, 12);
    std::vector<Named*> all;
    for (size_t i = 0; i < names.size(); ++i) all.push_back(Make(names[i].c_str(), int(i)));
    for (Named* e : all) Add(table, e);
    EXPECT_EQ(1024u, table.BucketCount());
    EXPECT_EQ(12u, table.Bucket(3).Count());
    for (Named* e : all) EXPECT_EQ(e, FindName(table, e->Name()));
    std::vector<int> expected;
    for (int i = 0; i < 12; ++i) expected.push_back(i);
    EXPECT_EQ(expected, Order(table));
    ExpectChainsConsistent(table);
    for (Named* e : all) e->Destroy(1);
}

TEST(HashTable, RehashKeepsRegistrationOrder) {
    const LiveBlocks live;
    std::vector<Named*> all;
    {
        NamedTable table;
        for (int i = 0; i < 40; ++i) {
            all.push_back(Make(("r" + std::to_string(39 - i)).c_str(), i));
            Add(table, all.back());
        }
        std::vector<int> expected;
        for (int i = 0; i < 40; ++i) expected.push_back(i);
        EXPECT_EQ(expected, Order(table));
        for (uint32_t n : {64u, 2u, 1u, 512u}) {
            table.Rehash(n);
            EXPECT_EQ(n, table.BucketCount());
            EXPECT_EQ(expected, Order(table));
            ExpectChainsConsistent(table);
            for (Named* e : all) ASSERT_EQ(e, FindName(table, e->Name()));
        }
        // Asked counts become powers of two within the limit.
        table.Rehash(100);
        EXPECT_EQ(128u, table.BucketCount());
        table.Rehash(5000);
        EXPECT_EQ(1024u, table.BucketCount());
        table.Rehash(0);
        EXPECT_EQ(1u, table.BucketCount());
        ExpectChainsConsistent(table);

        // Same count: nothing is reallocated.
        const void* buckets = table.buckets;
        const LiveBlocks blocks;
        table.Rehash(1);
        EXPECT_EQ(buckets, table.buckets);
        EXPECT_EQ(0, blocks.Added());
    }
    // Destroying the table detached its elements, which can still be destroyed.
    for (Named* e : all) {
        EXPECT_TRUE(e->registration.IsEmpty());
        EXPECT_TRUE(e->bucket.IsEmpty());
        e->Destroy(1);
    }
    EXPECT_EQ(0, live.Added());
}

TEST(NamedObject, NameCopiesAreOwned) {
    const LiveBlocks live;
    {
        CNameKey key;
        EXPECT_EQ(nullptr, key.Name());
        char text[] = "slider";
        key.SetName(text);
        text[0] = 'S';
        EXPECT_STREQ("slider", key.Name());
        EXPECT_EQ(1, live.Added());
        key.SetName(key.Name());   // its own name: the copy is made first
        EXPECT_STREQ("slider", key.Name());
        EXPECT_EQ(1, live.Added());
        key.SetName(nullptr);
        EXPECT_EQ(0, live.Added());
        key.SetName("curve");
        EXPECT_EQ(HashName("curve"), key.KeyHash());
    }
    EXPECT_EQ(0, live.Added());
    EXPECT_TRUE(THashKeyStrCmp<char>::Equal("a", "a"));
    EXPECT_FALSE(THashKeyStrCmp<char>::Equal("a", "ab"));
    EXPECT_FALSE(THashKeyStrCmp<char>::Equal("a", nullptr));
    EXPECT_TRUE(THashKeyStrCmp<char>::Equal(nullptr, nullptr));
}

namespace {

int destroyedShared;

// Shared the way panels are: a named base first, the count as second base.
struct Shared : Named, CRefObject {
    ~Shared() override { ++destroyedShared; }
};

}  // namespace

TEST(RefObject, ReleaseDeletesOnlyAtOne) {
    const LiveBlocks live;
    destroyedShared = 0;
    NamedTable table;
    Shared* s = new (ThreadHeap->Alloc(sizeof(Shared), 0, "hashtable_test", __LINE__)) Shared;
    s->SetName("info");
    Add(table, s);
    CRefObject* held = s;   // held through the second base
    EXPECT_NE(static_cast<void*>(held), static_cast<void*>(s));
    EXPECT_EQ(0, held->refCount);
    EXPECT_EQ(1, held->AddRef());
    EXPECT_EQ(2, held->AddRef());
    EXPECT_EQ(1, held->Release());
    EXPECT_EQ(0, destroyedShared);
    EXPECT_EQ(s, FindName(table, "info"));
    EXPECT_EQ(0, held->Release());
    // The whole object went back to the heap and left the table.
    EXPECT_EQ(1, destroyedShared);
    EXPECT_EQ(nullptr, FindName(table, "info"));
    EXPECT_EQ(1, live.Added());   // the table's buckets
}
