// The RIFF/WAVE image that is played or saved, the raw wave's image, the
// player calls and the file writer. The envelope's rendering builds on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../rtl/Array.h"

// 64 seconds of 16-bit mono sound at 22,050 samples per second.
const uint32_t kWaveImageReserve = 2822400;
const uint32_t kPlayFlags = 0x0005;   // SND_MEMORY | SND_ASYNC
const uint32_t kStopFlags = 0x0045;   // SND_PURGE | SND_MEMORY | SND_ASYNC

extern TArray<uint8_t>& WaveImage;   // a process-wide object of the sound layer (SoundObjects.h)

// Sets the count to the reserve so that the storage exists before any build.
void ReserveWaveImage();

// Empties WaveImage (keeping its storage) and appends bytes to it. Every
// build starts with the clearing, which WaveImageBuilds counts.
void ClearWaveImage();
uint32_t WaveImageBuilds();
void AppendWaveBytes(const void* bytes, uint32_t size);
void AppendWaveU32(uint32_t value);

// The one place sound reaches the player: PlaySoundA(image, null,
// kPlayFlags) plays, PlaySoundA(null, null, kStopFlags) stops. A test may
// put a recorder in its place to see what is handed over, and when.
typedef BOOL(WINAPI* SoundPlayer)(LPCSTR sound, HMODULE module, DWORD flags);
extern SoundPlayer soundPlayer;

void StopSound();
// Plays WaveImage asynchronously from memory; an empty image plays nothing.
void PlayWaveImage();

// The pool wave of cue k as a RIFF/WAVE file: false, with an empty image, when
// the cue or its wave does not lie inside the sound set or the wave holds no
// whole 'data' chunk.
bool BuildRawImage(uint32_t cue);

// Writes WaveImage whole to the file at `path` (UTF-16, any characters),
// replacing it: false when it cannot be created, or when the write or the
// close fails (a full disk).
bool WriteWaveImageFile(const wchar_t* path);
// The verdict on a written file: every byte written and the close succeeded.
bool FileWritten(size_t written, size_t wanted, bool closed);

// A name as a file name Windows accepts: the characters it forbids (\ / : * ?
// " < > | and control characters) become '_'; cut to fit 256 bytes. Valid
// until the next call.
const uint32_t kFileNameBytes = 256;
const char* FileNameOf(const char* name);

// A stored name (UTF-8, decoded as the reader decodes instrument names) as a
// UTF-16 file name Windows accepts: the characters FileNameOf replaces, and
// lone surrogates, become '_'. At most `units` - 1 units and a terminator
// (nothing for 0 units); the count before the terminator.
uint32_t WideFileNameOf(const char* name, wchar_t* out, uint32_t units);
