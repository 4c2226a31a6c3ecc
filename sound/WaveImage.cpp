#include "WaveImage.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "../rtl/Str.h"
#include "SoundSet.h"

bool WriteWaveImageFile(const wchar_t* path) {
    FILE* file = _wfopen(path, L"wb");
    if (!file) return false;
    const size_t written = WaveImage.count ? std::fwrite(WaveImage.items, 1, WaveImage.count, file) : 0;
    const bool closed = std::fclose(file) == 0;
    return FileWritten(written, WaveImage.count, closed);
}

bool FileWritten(size_t written, size_t wanted, bool closed) { return written == wanted && closed; }

void ReserveWaveImage() {
    // Zero-filled storage: its pages are touched only as images fill them.
    if (WaveImage.capacity < kWaveImageReserve) {
        WaveImage.Clear(0);
        WaveImage.items = static_cast<uint8_t*>(
            ThreadHeap->Alloc(kWaveImageReserve, HEAP_ZERO, ARRAY_CPP_TAG, kArrayStorageLine));
        WaveImage.capacity = kWaveImageReserve;
    }
    WaveImage.count = kWaveImageReserve;
}

namespace {
uint32_t imageBuilds = 0;
}  // namespace

void ClearWaveImage() {
    WaveImage.SetCapacity(WaveImage.capacity, 0);
    ++imageBuilds;
}

uint32_t WaveImageBuilds() { return imageBuilds; }

void AppendWaveBytes(const void* bytes, uint32_t size) {
    const uint32_t at = WaveImage.count;
    WaveImage.Grow(at + size, at + size);
    if (size) std::memcpy(WaveImage.items + at, bytes, size);
}

void AppendWaveU32(uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    AppendWaveBytes(bytes, 4);
}

SoundPlayer soundPlayer = PlaySoundA;

void StopSound() { soundPlayer(nullptr, nullptr, kStopFlags); }

void PlayWaveImage() {
    if (WaveImage.count == 0) return;
    soundPlayer(reinterpret_cast<LPCSTR>(WaveImage.items), nullptr, kPlayFlags);
}

bool BuildRawImage(uint32_t cue) {
    ClearWaveImage();
    uint32_t listSize;
    const uint8_t* list = CueWaveList(cue, listSize);
    WaveParts wave;
    if (!list || !SplitWave(list, listSize, wave)) return false;
    AppendWaveBytes("RIFF", 4);
    AppendWaveU32(listSize);
    AppendWaveBytes("WAVE", 4);
    AppendWaveBytes(list + kListData, listSize - kCodeSize);
    return true;
}

namespace {
// The characters Windows forbids in a file name.
bool ForbiddenInFileName(uint32_t c) { return c < 0x20 || (c < 0x80 && std::strchr("\\/:*?\"<>|", int(c))); }
}  // namespace

const char* FileNameOf(const char* name) {
    static char safe[kFileNameBytes];
    uint32_t n = 0;
    for (; name && name[n] && n + 1 < kFileNameBytes; ++n) {
        const unsigned char c = static_cast<unsigned char>(name[n]);
        safe[n] = ForbiddenInFileName(c) ? '_' : char(c);
    }
    safe[n] = 0;
    return safe;
}

uint32_t WideFileNameOf(const char* name, wchar_t* out, uint32_t units) {
    if (units == 0) return 0;
    uint32_t n = 0;
    // One unit at most per decoded sequence: one unit of room is enough.
    for (const char* in = name; in && *in && n + 1 < units;) {
        wchar_t* at = out + n;
        Utf8DecodeUnit(in, at);
        for (; out + n < at; ++n) {
            const uint32_t c = static_cast<uint16_t>(out[n]);
            if (ForbiddenInFileName(c) || (c >= 0xD800 && c < 0xE000)) out[n] = L'_';
        }
    }
    out[n] = 0;
    return n;
}
