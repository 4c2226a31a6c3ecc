// Heap checks: the blocks a piece of code leaves live, and the allocations
// it makes.
#pragma once

#include <cstdint>

#include "mem/ExeHeapSrv.h"

// The process heap's live block count, taken at construction or Restart.
class LiveBlocks {
public:
    LiveBlocks() : start_(Count()) {}
    void Restart() { start_ = Count(); }
    // Blocks allocated since then and still live; negative when fewer are.
    int32_t Added() const { return int32_t(Count() - start_); }
    static uint32_t Count();

private:
    uint32_t start_;
};

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
