// Heap checks: the allocations a piece of code makes.
#pragma once

#include <cstdint>

#include "mem/ExeHeapSrv.h"

// Counts the thread heap's allocations while installed.
class CountingHeap : public IHeap {
public:
    CountingHeap();
    ~CountingHeap();
    void Lock() override;
    void Unlock() override;
    void Enumerate(Visitor v, void* c) override;
    void* Alloc(uint32_t size, uint32_t f, const char* file, int32_t line) override;
    void Free(void* p) override;
    uint32_t Size(void* p) override;
    void* Realloc(void* p, uint32_t size, uint32_t f, const char* file, int32_t line) override;
    int allocations = 0;

private:
    IHeap* inner;
};
