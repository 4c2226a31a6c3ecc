#include "heap_checks.h"

uint32_t LiveBlocks::Count() { return ProcessHeapClient()->LiveBlocks(); }

CountingHeap::CountingHeap() : inner(ThreadHeap) { ThreadHeap = this; }
CountingHeap::~CountingHeap() { ThreadHeap = inner; }
void CountingHeap::Lock() { inner->Lock(); }
void CountingHeap::Unlock() { inner->Unlock(); }
void CountingHeap::Enumerate(Visitor v, void* c) { inner->Enumerate(v, c); }

void* CountingHeap::Alloc(uint32_t size, uint32_t f, const char* file, int32_t line) {
    ++allocations;
    return inner->Alloc(size, f, file, line);
}

void CountingHeap::Free(void* p) { inner->Free(p); }
uint32_t CountingHeap::Size(void* p) { return inner->Size(p); }

void* CountingHeap::Realloc(void* p, uint32_t size, uint32_t f, const char* file, int32_t line) {
    ++allocations;
    return inner->Realloc(p, size, f, file, line);
}
