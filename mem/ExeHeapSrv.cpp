#include "ExeHeapSrv.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>

#include "../rtl/ProcessObject.h"
#include "ExeMem.h"

thread_local IHeap* ThreadHeap = nullptr;

IHeap* IHeap::Destroy(uint32_t flags) {
    if (flags & 1) ThreadHeap->Free(this);
    return this;
}

namespace {

inline uint8_t* BlockBytes(HeapBlockHeader* block) { return reinterpret_cast<uint8_t*>(block); }
inline HeapBlockHeader* BlockOf(void* user) {
    return reinterpret_cast<HeapBlockHeader*>(static_cast<uint8_t*>(user) - kHeapHeaderSize);
}
inline void* UserOf(HeapBlockHeader* block) { return BlockBytes(block) + kHeapHeaderSize; }

inline void WriteTailGuard(HeapBlockHeader* block, size_t runtimeSize) {
    std::memset(BlockBytes(block) + runtimeSize - kHeapTailGuard, kHeapGuardByte, kHeapTailGuard);
}

}  // namespace

CHeapCliDebug::CHeapCliDebug() : newest(nullptr), oldest(nullptr) {
    InitializeCriticalSection(&lock);
}

CHeapCliDebug::~CHeapCliDebug() { DeleteCriticalSection(&lock); }

IHeap* CHeapCliDebug::Destroy(uint32_t flags) {
    this->~CHeapCliDebug();
    return IHeap::Destroy(flags);
}

void CHeapCliDebug::Lock() { EnterCriticalSection(&lock); }
void CHeapCliDebug::Unlock() { LeaveCriticalSection(&lock); }

void CHeapCliDebug::LinkFront(HeapBlockHeader* block) {
    EnterCriticalSection(&lock);
    block->next = newest;
    block->prev = nullptr;
    if (newest)
        newest->prev = block;
    else
        oldest = block;
    newest = block;
    LeaveCriticalSection(&lock);
}

void CHeapCliDebug::Unlink(HeapBlockHeader* block) {
    EnterCriticalSection(&lock);
    if (block->next)
        block->next->prev = block->prev;
    else
        oldest = block->prev;
    if (block->prev)
        block->prev->next = block->next;
    else
        newest = block->next;
    LeaveCriticalSection(&lock);
}

void* CHeapCliDebug::Alloc(uint32_t size, uint32_t flags, const char* file, int32_t line) {
    // A size whose bookkeeping does not fit 32 bits cannot be satisfied.
    const bool zero = (flags & HEAP_ZERO) != 0;
    HeapBlockHeader* block = nullptr;
    if (size <= UINT32_MAX - kHeapOverhead) {
        // Zeroed by the runtime: a large block's fresh pages stay untouched.
        void* memory = zero ? std::calloc(1, size_t(size) + kHeapOverhead) : std::malloc(size_t(size) + kHeapOverhead);
        block = static_cast<HeapBlockHeader*>(memory);
    }
    if (!block) OutOfMemory(file, line);

    size_t runtimeSize = _msize(block);
    size_t n = runtimeSize - kHeapOverhead;
    void* user = UserOf(block);
    block->file = file;
    block->line = static_cast<int16_t>(line);
    block->headGuard[0] = block->headGuard[1] = kHeapGuardByte;
    if (zero)
        std::memset(static_cast<uint8_t*>(user) + size, 0, n - size);   // the runtime's slack past the request
    else
        std::memset(user, HeapFillByte(user), n);
    WriteTailGuard(block, runtimeSize);
    LinkFront(block);
    return user;
}

void CHeapCliDebug::Free(void* p) {
    if (!p) return;
    HeapBlockHeader* block = BlockOf(p);
    size_t runtimeSize = _msize(block);
    size_t n = runtimeSize - kHeapOverhead;

    bool damaged = block->headGuard[0] != kHeapGuardByte || block->headGuard[1] != kHeapGuardByte;
    if (!damaged) {
        const uint8_t* tail = static_cast<uint8_t*>(p) + n;
        for (uint32_t i = 0; i < kHeapTailGuard && !damaged; ++i) damaged = tail[i] != kHeapGuardByte;
    }
    if (damaged) ReportCorruption(block, static_cast<uint32_t>(runtimeSize), block->file, block->line);

    Unlink(block);
    std::memset(block, kHeapFreedByte, runtimeSize);
    std::free(block);
}

uint32_t CHeapCliDebug::Size(void* p) {
    return static_cast<uint32_t>(_msize(BlockOf(p)) - kHeapOverhead);
}

void* CHeapCliDebug::Realloc(void* p, uint32_t size, uint32_t flags, const char* file,
                             int32_t line) {
    if (!p) return Alloc(size, flags, file, line);

    HeapBlockHeader* block = BlockOf(p);
    if (size > UINT32_MAX - kHeapOverhead) {
        if (flags & HEAP_IN_PLACE) return nullptr;
        OutOfMemory(file, line);
    }
    size_t wanted = size_t(size) + kHeapOverhead;
    HeapBlockHeader* moved;
    if (flags & HEAP_IN_PLACE) {
        if (!_expand(block, wanted)) return nullptr;
        moved = block;
        if (_msize(block) < wanted) {
            WriteTailGuard(block, _msize(block));
            return nullptr;
        }
    } else {
        moved = static_cast<HeapBlockHeader*>(std::realloc(block, wanted));
        if (!moved) OutOfMemory(file, line);
    }
    WriteTailGuard(moved, _msize(moved));
    if (moved != block) {
        moved->file = file;
        moved->line = static_cast<int16_t>(line);
        // The neighbours still point at the old address: unlinking through the
        // moved copy's own links repairs them.
        Unlink(moved);
        LinkFront(moved);
    }
    return UserOf(moved);
}

void CHeapCliDebug::Enumerate(Visitor visitor, void* context) {
    EnterCriticalSection(&lock);
    for (HeapBlockHeader* block = newest; block; block = block->next) {
        char safe[kTagBytes];
        SanitizeTag(block->file, safe);
        visitor(context, block->line, safe, static_cast<uint32_t>(_msize(block)), 1, UserOf(block));
    }
    LeaveCriticalSection(&lock);
}

uint32_t CHeapCliDebug::LiveBlocks() {
    uint32_t n = 0;
    EnterCriticalSection(&lock);
    for (HeapBlockHeader* block = newest; block; block = block->next) ++n;
    LeaveCriticalSection(&lock);
    return n;
}

namespace {
TProcessObject<CHeapCliDebug> heapClient;
CHeapCliDebug* installedHeapClient = nullptr;
}  // namespace

CHeapCliDebug* ProcessHeapClient() { return installedHeapClient; }

void StartHeapClient() {
    heapClient.Construct();
    installedHeapClient = &*heapClient;
    ThreadHeap = installedHeapClient;
    std::atexit(ReportLeaks);
}
