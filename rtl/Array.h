// TArray: the growable array. Storage comes from the thread heap; growth mixes
// doubling with a per-array step and tries an in-place resize before moving.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "../mem/ExeHeapSrv.h"

#define ARRAY_CPP_TAG ".\\Rtl\\Array.cpp"
#define ARRAY_H_TAG "u:\\base\\rtl\\Array.h"
const int32_t kArrayStorageLine = 88;
const int32_t kArraySizedLine = 505;
const int32_t kArrayTextLine = 517;
const int32_t kArrayCopyLine = 529;

// New capacity for `needed` elements in an array of capacity `capacity` and
// step `step`; may double `step` (the array keeps the doubled step).
uint32_t ArrayGrowCapacity(uint32_t needed, uint32_t capacity, uint32_t& step);

// Storage for `count` elements of `size` bytes; a size past 32 bits is an
// allocation failure.
void* ArrayAllocate(uint32_t count, uint32_t size, const char* file, int32_t line);

// Resizes storage in place to `capacity` elements; null when the heap cannot
// (or there is no storage, or `capacity` is 0).
void* ArrayResizeInPlace(void* items, uint32_t capacity, uint32_t size);

// Resizes plain-data storage to `capacity` elements keeping the first `count`:
// in place when the heap allows, else allocate, copy and free.
void* ArrayResizePlain(void* items, uint32_t count, uint32_t capacity, uint32_t size);

// Elements that are trivially copyable are plain data: moved as one block,
// never constructed or destroyed. Other elements own buffers: they are
// constructed empty, copy-constructed (deep copies) on a move and destroyed.
template <class T>
struct TArray {
    T* items;
    uint32_t capacity;
    uint32_t count;
    uint32_t step;

    static const bool kPlain = std::is_trivially_copyable<T>::value;

    constexpr explicit TArray(uint32_t step_ = 64) : items(nullptr), capacity(0), count(0), step(step_) {}

    TArray(const TArray& src) : items(nullptr), capacity(src.count), count(src.count), step(src.step) {
        if (count == 0) return;
        items = static_cast<T*>(ArrayAllocate(count, sizeof(T), ARRAY_H_TAG, kArrayCopyLine));
        CopyElements(items, src.items, count);
    }

    // From zero-terminated UTF-16 text: the terminator is part of the array.
    explicit TArray(const wchar_t* text, uint32_t step_ = 64) : items(nullptr), capacity(0), count(0), step(step_) {
        static_assert(sizeof(T) == sizeof(wchar_t), "text arrays hold UTF-16 units");
        uint32_t n = 0;
        while (text[n]) ++n;
        count = capacity = n + 1;
        items = static_cast<T*>(ArrayAllocate(count, sizeof(T), ARRAY_H_TAG, kArrayTextLine));
        std::memcpy(items, text, count * sizeof(T));
    }

    // With `n` elements, not initialised.
    struct Sized {};
    TArray(Sized, uint32_t n, uint32_t step_ = 64) : items(nullptr), capacity(n), count(n), step(step_) {
        static_assert(kPlain, "uninitialised elements must be plain data");
        if (n) items = static_cast<T*>(ArrayAllocate(n, sizeof(T), ARRAY_H_TAG, kArraySizedLine));
    }

    TArray& operator=(const TArray&) = delete;

    ~TArray() {
        DestroyElements(0, count);
        if (items) ThreadHeap->Free(items);
        items = nullptr;
        capacity = count = 0;
    }

    T& operator[](uint32_t i) { return items[i]; }
    const T& operator[](uint32_t i) const { return items[i]; }

    void SetCapacity(uint32_t newCapacity, uint32_t newCount) {
        if (newCount < count) {
            DestroyElements(newCount, count);
            count = newCount;
        }
        if (newCapacity != capacity) {
            T* storage;
            if (kPlain) {
                storage = static_cast<T*>(ArrayResizePlain(items, count, newCapacity, sizeof(T)));
            } else {
                storage = static_cast<T*>(ArrayResizeInPlace(items, newCapacity, sizeof(T)));
                if (!storage && newCapacity)
                    storage = static_cast<T*>(
                        ArrayAllocate(newCapacity, sizeof(T), ARRAY_CPP_TAG, kArrayStorageLine));
                if (storage != items && items) {
                    CopyElements(storage, items, count);
                    DestroyElements(0, count);
                    ThreadHeap->Free(items);
                }
            }
            items = storage;
            capacity = newCapacity;
        }
        if (count < newCount) {
            if (!kPlain)
                for (uint32_t i = count; i < newCount; ++i) new (&items[i]) T();
            count = newCount;
        }
    }

    void Grow(uint32_t needed, uint32_t newCount) {
        uint32_t newCapacity = needed > capacity ? ArrayGrowCapacity(needed, capacity, step) : capacity;
        SetCapacity(newCapacity, newCount);
    }

    void Clear(uint32_t newCapacity) {
        DestroyElements(0, count);
        count = 0;
        SetCapacity(newCapacity, 0);
    }

    void Append(const T& value) {
        Grow(count + 1, count);
        new (&items[count]) T(value);
        ++count;
    }

private:
    static void CopyElements(T* to, const T* from, uint32_t n) {
        if (kPlain)
            std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), size_t(n) * sizeof(T));
        else
            for (uint32_t i = 0; i < n; ++i) new (&to[i]) T(from[i]);
    }

    // Last element first.
    void DestroyElements(uint32_t from, uint32_t to) {
        if (!kPlain)
            for (uint32_t i = to; i > from; --i) items[i - 1].~T();
    }
};

// The light three-field form for buffers carried inside element records: built,
// copied and destroyed, never grown by the step rule.
template <class T>
struct TBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "buffers hold plain data");
    T* items;
    uint32_t capacity;
    uint32_t count;

    TBuffer() : items(nullptr), capacity(0), count(0) {}
    TBuffer(const TBuffer& src) : items(nullptr), capacity(src.count), count(src.count) {
        if (!count) return;
        items = static_cast<T*>(ArrayAllocate(count, sizeof(T), ARRAY_H_TAG, kArrayCopyLine));
        std::memcpy(items, src.items, size_t(count) * sizeof(T));
    }
    TBuffer& operator=(const TBuffer&) = delete;
    ~TBuffer() {
        if (items) ThreadHeap->Free(items);
        items = nullptr;
        capacity = count = 0;
    }
    void Assign(const T* from, uint32_t n) {
        if (n > capacity) {
            if (items) ThreadHeap->Free(items);
            items = static_cast<T*>(ArrayAllocate(n, sizeof(T), ARRAY_CPP_TAG, kArrayStorageLine));
            capacity = n;
        }
        if (n) std::memcpy(items, from, size_t(n) * sizeof(T));
        count = n;
    }
};
