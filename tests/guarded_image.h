// The sound set's image at the very end of committed pages, a no-access page
// after it: any read past the image faults. For the reader's damaged-set
// tests and the fuzz loop.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sound/SoundSet.h"

class GuardedImage {
public:
    explicit GuardedImage(size_t capacity) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page = info.dwPageSize;
        span = (capacity + page - 1) / page * page;
        base = static_cast<uint8_t*>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base) VirtualProtect(base + span, page, PAGE_NOACCESS, &old);
    }
    ~GuardedImage() {
        Unload();
        if (base) VirtualFree(base, 0, MEM_RELEASE);
    }
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    bool Ready() const { return base != nullptr; }
    // Installs the first `size` bytes (at most the capacity) as SoundSetImage,
    // ending at the guard.
    void Load(const std::string& bytes, size_t size) {
        if (size > span) size = span;
        uint8_t* start = base + span - size;
        if (size) std::memcpy(start, bytes.data(), size);
        SoundSetImage.items = start;
        SoundSetImage.capacity = SoundSetImage.count = uint32_t(size);
    }
    void Load(const std::string& bytes) { Load(bytes, bytes.size()); }
    // SoundSetImage no longer refers to these pages.
    void Unload() {
        SoundSetImage.items = nullptr;
        SoundSetImage.capacity = SoundSetImage.count = 0;
    }

private:
    size_t page = 4096, span = 0;
    uint8_t* base = nullptr;
};

// Whether `bytes` bytes from `at` lie inside SoundSetImage.
inline bool InsideImage(const void* at, size_t bytes) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    const uint8_t* begin = SoundSetImage.items;
    const uint8_t* end = begin + SoundSetImage.count;
    return p >= begin && p <= end && bytes <= size_t(end - p);
}
