// Intrusive lists and hash tables. Elements carry their own links, so
// inserting and unlinking never allocate; only a rehash does (the buckets).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "../mem/ExeHeapSrv.h"
#include "../rtl/Array.h"
#include "../rtl/Str.h"

// Two words embedded in an element. The backward word addresses the
// previous element's link (or the sentinel); the forward word holds the next
// element's address, or, at the tail, the sentinel's address with the low bit
// set. A link in no list refers to itself in the same way.
struct TListLink {
    TListLink* prev;
    uintptr_t next;

    TListLink() { Reset(); }
    TListLink(const TListLink&) = delete;
    TListLink& operator=(const TListLink&) = delete;

    void Reset() {
        prev = this;
        next = reinterpret_cast<uintptr_t>(this) | 1;
    }
    bool IsEmpty() const { return prev == this; }

    // Leaves whatever list holds this link; nothing happens when it is empty.
    void Unlink();
};

// A list of elements of type T whose link sits `offset` bytes into each
// element. The sentinel lives in the list itself.
template <class T>
class TList {
public:
    uint32_t offset;
    TListLink sentinel;

    explicit TList(uint32_t linkOffset) : offset(linkOffset) {}
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    // Elements still in the list are detached, not destroyed.
    ~TList() { DetachAll(); }

    TListLink* LinkOf(const T* element) const {
        return reinterpret_cast<TListLink*>(
            const_cast<char*>(reinterpret_cast<const char*>(element)) + offset);
    }

    bool IsEmpty() const { return sentinel.IsEmpty(); }

    T* First() const { return ElementAt(sentinel.next); }
    T* Last() const {
        if (sentinel.prev == &sentinel) return nullptr;
        return reinterpret_cast<T*>(reinterpret_cast<char*>(sentinel.prev) - offset);
    }
    T* Next(const T* element) const { return ElementAt(LinkOf(element)->next); }
    T* Prev(const T* element) const {
        TListLink* p = LinkOf(element)->prev;
        if (p == &sentinel) return nullptr;
        return reinterpret_cast<T*>(reinterpret_cast<char*>(p) - offset);
    }

    // Appends at the tail; an element in another list (or this one) leaves it first.
    void Append(T* element) {
        TListLink* link = LinkOf(element);
        link->Unlink();
        TListLink* last = sentinel.prev;
        link->prev = last;
        link->next = reinterpret_cast<uintptr_t>(&sentinel) | 1;
        last->next = reinterpret_cast<uintptr_t>(element);
        sentinel.prev = link;
    }

    static void Unlink(TListLink* link) { link->Unlink(); }

    // Number of elements, counting no further than `limit`.
    uint32_t CountUpTo(uint32_t limit) const {
        uint32_t n = 0;
        for (T* e = First(); e && n < limit; e = Next(e)) ++n;
        return n;
    }
    uint32_t Count() const { return CountUpTo(UINT32_MAX); }

    // Empties the list, leaving every element's link referring to itself.
    void DetachAll() {
        uintptr_t at = sentinel.next;
        while (!(at & 1)) {
            TListLink* link = reinterpret_cast<TListLink*>(at + offset);
            at = link->next;
            link->Reset();
        }
        sentinel.Reset();
    }

private:
    static T* ElementAt(uintptr_t word) {
        return (word & 1) ? nullptr : reinterpret_cast<T*>(word);
    }
};

// Offset of a field within an object, for element types whose layout
// offsetof does not cover (classes with virtual operations).
template <class T, class F>
uint32_t FieldOffset(const T* object, const F& field) {
    return uint32_t(reinterpret_cast<const char*>(&field) - reinterpret_cast<const char*>(object));
}

// Hash of a name: every byte before the terminator, taken as signed.
// A null name hashes like the empty one.
uint32_t HashName(const char* name);

// Hash of the first four bytes of a key record, in address order.
uint32_t HashKey4(const void* key);

extern const uint32_t NameMixTable[16];
extern const uint32_t ByteMixTable[256];

const uint32_t kHashStartBuckets = 8;
const uint32_t kHashBucketLimit = 1024;
const uint32_t kHashChainGrowth = 4;   // a chain this long doubles the table

// Keyed collection of elements T that embed a 32-bit hash, a registration
// link and a bucket link at the offsets given to the constructor. Find takes
// a Key; an element matches when its stored hash equals the key's KeyHash()
// and its KeyEquals(key) answers true. The table never owns its elements.
template <class T, class Key>
class THashTable {
public:
    TList<T> registration;   // every element, in insertion order
    uint32_t hashOffset;
    TList<T>* buckets;       // each record: bucket link offset and chain
    uint32_t bucketCapacity;
    uint32_t bucketCount;
    uint32_t mask;
    uint32_t bucketLimit;

    THashTable(uint32_t hashOffset_, uint32_t registrationOffset, uint32_t bucketOffset)
        : registration(registrationOffset), hashOffset(hashOffset_), buckets(nullptr),
          bucketCapacity(0), bucketCount(0), mask(0), bucketLimit(kHashBucketLimit) {
        SetBuckets(kHashStartBuckets);
        for (uint32_t i = 0; i < bucketCount; ++i) new (&buckets[i]) TList<T>(bucketOffset);
    }
    THashTable(const THashTable&) = delete;
    THashTable& operator=(const THashTable&) = delete;

    // Detaches every element (their links end up empty) and frees the buckets.
    ~THashTable() {
        registration.DetachAll();
        DropBuckets();
        if (buckets) ThreadHeap->Free(buckets);
        buckets = nullptr;
        bucketCapacity = bucketCount = 0;
    }

    uint32_t& HashOf(T* element) const {
        return *reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(element) + hashOffset);
    }
    uint32_t HashOf(const T* element) const { return HashOf(const_cast<T*>(element)); }

    uint32_t BucketCount() const { return bucketCount; }
    uint32_t BucketOf(uint32_t hash) const { return hash & mask; }
    const TList<T>& Bucket(uint32_t index) const { return buckets[index]; }

    // The element registered first among those matching the key, or null.
    T* Find(const Key& key) const {
        const uint32_t h = key.KeyHash();
        const TList<T>& chain = buckets[h & mask];
        for (T* e = chain.First(); e; e = chain.Next(e))
            if (HashOf(e) == h && e->KeyEquals(key)) return e;
        return nullptr;
    }

    // Links the element at the tail of the registration list and of its
    // bucket's chain; an element already registered moves to both tails.
    void Insert(T* element, uint32_t hash) {
        HashOf(element) = hash;
        const uint32_t grown = 2 * bucketCount;
        if (grown <= bucketLimit && buckets[hash & mask].CountUpTo(kHashChainGrowth) >= kHashChainGrowth)
            Rehash(grown);
        registration.Append(element);
        buckets[hash & mask].Append(element);
    }

    // Redistributes the elements over n buckets by their stored hashes,
    // keeping registration order in every chain. n is raised to a power of
    // two and held to the bucket limit.
    void Rehash(uint32_t n) {
        uint32_t count = 1;
        while (count < n && count < bucketLimit) count *= 2;
        if (count == bucketCount) return;
        const uint32_t bucketOffset = buckets[0].offset;
        DropBuckets();
        SetBuckets(count);
        for (uint32_t i = 0; i < bucketCount; ++i) new (&buckets[i]) TList<T>(bucketOffset);
        for (T* e = registration.First(); e; e = registration.Next(e))
            buckets[HashOf(e) & mask].Append(e);
    }

    // Walk in registration order.
    T* First() const { return registration.First(); }
    T* Next(const T* element) const { return registration.Next(element); }

    // An element leaves the table by unlinking both of its links.
    void Unlink(T* element) const {
        registration.LinkOf(element)->Unlink();
        buckets[0].LinkOf(element)->Unlink();
    }

private:
    // Empties every chain and ends the bucket records' lifetimes.
    void DropBuckets() {
        for (uint32_t i = 0; i < bucketCount; ++i) buckets[i].~TList<T>();
    }
    void SetBuckets(uint32_t count) {
        buckets = static_cast<TList<T>*>(ArrayResizePlain(buckets, 0, count, sizeof(TList<T>)));
        bucketCapacity = bucketCount = count;
        mask = count - 1;
    }
};

// Byte for byte equality of two names, terminator included. Two null names
// are equal; a null name equals no other.
bool NameEquals(const char* a, const char* b);

// Deleting destructor at the root of every named object: bit 0 of flags
// gives the memory back to the thread heap.
template <class C>
class THashKeyStrBase {
public:
    virtual void Destroy(uint32_t flags) {
        void* block = dynamic_cast<void*>(this);
        this->~THashKeyStrBase();
        if (flags & 1) ThreadHeap->Free(block);
    }
    virtual ~THashKeyStrBase() {}
};

// Comparison policy of a name key.
template <class C>
class THashKeyStrCmp : public THashKeyStrBase<C> {
public:
    static bool Equal(const C* a, const C* b) { return NameEquals(a, b); }
    static uint32_t Hash(const C* name) { return HashName(name); }
};

// An owned heap copy of a name, or null.
template <class C, class Cmp>
class THashKeyStr : public Cmp {
public:
    C* name;

    THashKeyStr() : name(nullptr) {}
    THashKeyStr(const THashKeyStr&) = delete;
    THashKeyStr& operator=(const THashKeyStr&) = delete;
    ~THashKeyStr() override { FreeName(); }

    const C* Name() const { return name; }

    // Stores a fresh copy (null clears the name); the old copy is freed after
    // the new one is made, so a key may be given its own name.
    void SetName(const C* text) {
        C* copy = text ? DuplicateName(text) : nullptr;
        FreeName();
        name = copy;
    }
    void FreeName() {
        if (name) ThreadHeap->Free(name);
        name = nullptr;
    }

    uint32_t KeyHash() const { return Cmp::Hash(name); }
    bool KeyEquals(const THashKeyStr& key) const { return Cmp::Equal(name, key.name); }
};

typedef THashKeyStr<char, THashKeyStrCmp<char>> CNameKey;

// Name lookup through a temporary key holding its own copy of the name.
template <class T>
T* FindName(const THashTable<T, CNameKey>& table, const char* name) {
    CNameKey key;
    key.SetName(name);
    return table.Find(key);
}
