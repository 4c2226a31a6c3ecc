// Heap interface, the per-thread heap pointer and the debug heap client.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

class IHeap {
public:
    // Visitor of Enumerate: context, tag line, safe tag name, runtime block size,
    // the constant 1, user-area pointer.
    typedef void (*Visitor)(void* context, int32_t line, const char* file,
                            uint32_t blockSize, uint32_t one, void* user);

    // Slot 0: the deleting destructor. Bit 0 of flags gives the memory back
    // to the heap in ThreadHeap.
    virtual IHeap* Destroy(uint32_t flags);
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual void Enumerate(Visitor visitor, void* context) = 0;
    virtual void* Alloc(uint32_t size, uint32_t flags, const char* file, int32_t line) = 0;
    virtual void Free(void* p) = 0;
    virtual uint32_t Size(void* p) = 0;
    virtual void* Realloc(void* p, uint32_t size, uint32_t flags, const char* file,
                          int32_t line) = 0;

protected:
    IHeap() {}
    ~IHeap() {}
};

enum : uint32_t {
    HEAP_ZERO = 2,      // Alloc: zero-filled user area
    HEAP_IN_PLACE = 1,  // Realloc: resize without moving, or fail
};

extern thread_local IHeap* ThreadHeap;

// Bookkeeping of one runtime block: header before the user area, guard after it.
struct HeapBlockHeader {
    HeapBlockHeader* next;  // next older live block
    HeapBlockHeader* prev;  // next newer live block
    const char* file;
    int16_t line;
    uint8_t headGuard[2];
};

const uint32_t kHeapHeaderSize = sizeof(HeapBlockHeader);
const uint32_t kHeapTailGuard = 4;
const uint32_t kHeapOverhead = kHeapHeaderSize + kHeapTailGuard;
const uint8_t kHeapGuardByte = 0xFD;
const uint8_t kHeapFreedByte = 0xDD;

class CHeapCliDebug : public IHeap {
public:
    CHeapCliDebug();
    IHeap* Destroy(uint32_t flags) override;
    void Lock() override;
    void Unlock() override;
    void Enumerate(Visitor visitor, void* context) override;
    void* Alloc(uint32_t size, uint32_t flags, const char* file, int32_t line) override;
    void Free(void* p) override;
    uint32_t Size(void* p) override;
    void* Realloc(void* p, uint32_t size, uint32_t flags, const char* file,
                  int32_t line) override;

    // Number of live blocks; for diagnostics and tests.
    uint32_t LiveBlocks();

private:
    ~CHeapCliDebug();
    void LinkFront(HeapBlockHeader* block);
    void Unlink(HeapBlockHeader* block);

    CRITICAL_SECTION lock;
    HeapBlockHeader* newest;
    HeapBlockHeader* oldest;
};

// The process's heap client, installed in ThreadHeap by StartHeapClient
// before any other process-wide object is constructed.
CHeapCliDebug* ProcessHeapClient();
// Constructs the heap client, installs it in ThreadHeap and registers
// ReportLeaks (which destroys it) with atexit, so that the leak report runs
// after every later teardown. The first step of every program's start-up.
void StartHeapClient();

// Pattern byte for a fresh user area at address u: bits 4 to 11 of the address.
inline uint8_t HeapFillByte(const void* user) {
    return static_cast<uint8_t>(reinterpret_cast<uintptr_t>(user) >> 4);
}
