#include "Array.h"

#include "../mem/ExeMem.h"

uint32_t ArrayGrowCapacity(uint32_t needed, uint32_t capacity, uint32_t& step) {
    if (needed <= capacity) return capacity;
    if (capacity == 0 || step == 0) return needed;
    uint64_t doubled = uint64_t(capacity) * 2;
    uint64_t larger = doubled > step ? doubled : step;
    if (needed >= larger) return needed;
    if (needed < step) return uint32_t(doubled > needed ? doubled : needed);
    if (uint64_t(needed) < uint64_t(capacity) + step) {
        if (uint64_t(needed) >= uint64_t(step) * 16) step *= 2;
        uint64_t grown = uint64_t(capacity) + step;
        return grown > UINT32_MAX ? needed : uint32_t(grown);
    }
    uint64_t rounded = (uint64_t(needed) + step - 1) / step * step;
    return rounded > UINT32_MAX ? needed : uint32_t(rounded);
}

void* ArrayAllocate(uint32_t count, uint32_t size, const char* file, int32_t line) {
    uint64_t bytes = uint64_t(count) * size;
    if (bytes > UINT32_MAX) OutOfMemory(file, line);
    return ThreadHeap->Alloc(uint32_t(bytes), 0, file, line);
}

void* ArrayResizeInPlace(void* items, uint32_t capacity, uint32_t size) {
    uint64_t bytes = uint64_t(capacity) * size;
    if (!items || !capacity || bytes > UINT32_MAX) return nullptr;
    return ThreadHeap->Realloc(items, uint32_t(bytes), HEAP_IN_PLACE, nullptr, 0);
}

void* ArrayResizePlain(void* items, uint32_t count, uint32_t capacity, uint32_t size) {
    void* storage = ArrayResizeInPlace(items, capacity, size);
    if (!storage && capacity) storage = ArrayAllocate(capacity, size, ARRAY_CPP_TAG, kArrayStorageLine);
    if (storage != items && items) {
        if (count) std::memcpy(storage, items, size_t(count) * size);
        ThreadHeap->Free(items);
    }
    return storage;
}
