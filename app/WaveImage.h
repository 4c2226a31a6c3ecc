// The RIFF/WAVE image that is played or saved, the player calls and the save
// dialog.
#pragma once

#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "../rtl/Array.h"

// 64 seconds of 16-bit mono sound at 22,050 samples per second.
const uint32_t kWaveImageReserve = 2822400;
const uint32_t kPlayFlags = 0x0005;   // SND_MEMORY | SND_ASYNC
const uint32_t kStopFlags = 0x0045;   // SND_PURGE | SND_MEMORY | SND_ASYNC

extern TArray<uint8_t>& WaveImage;   // a process-wide object (mem/ExeStatics.cpp)
extern wchar_t saveFolder[260];

// Filled in by the information panel and the main window; null until then.
extern void (*RebuildInfoPanelHook)();
extern HWND (*OwnerWindowHook)();
// The owner of the save dialog and of error boxes (null without a window).
HWND SaveOwnerWindow();

// The message for a wave that holds no sound data (format: the cue index).
extern const char kNoWaveData[];

// Sets the count to the reserve so that the storage exists before any build.
void ReserveWaveImage();

// Empties WaveImage (keeping its storage) and appends bytes to it.
void ClearWaveImage();
void AppendWaveBytes(const void* bytes, uint32_t size);
void AppendWaveU32(uint32_t value);

void StopSound();
// Plays WaveImage asynchronously from memory; an empty image plays nothing.
void PlayWaveImage();

// The pool wave of cue k as a RIFF/WAVE file: false, with an empty image, when
// the cue or its wave does not lie inside the sound set or the wave holds no
// whole 'data' chunk.
bool BuildRawImage(uint32_t cue);

void PlayRaw(uint32_t cue);
// A wave without a whole 'data' chunk is refused with a message box.
void SaveRaw(uint32_t cue);

// The save dialog: the chosen path (valid until the next call) or null.
const wchar_t* ChooseSaveFile(const wchar_t* proposed, HWND owner);

// A message box with an OK button and at most 4095 bytes of text.
void ShowError(HWND owner, const char* caption, const char* format, ...);

// Asks for a file under `proposed` and writes WaveImage to it, reporting a
// failure; then repaints, rebuilds the panel and remembers the folder.
void SaveWaveImage(const wchar_t* proposed);

// Writes WaveImage whole to the file at `path` (UTF-16, any characters),
// replacing it: false when it cannot be created, or when the write or the
// close fails (a full disk).
bool WriteWaveImageFile(const wchar_t* path);

// A name as a file name Windows accepts: the characters it forbids (\ / : * ?
// " < > | and control characters) become '_'; cut to fit 256 bytes. Valid
// until the next call.
const uint32_t kFileNameBytes = 256;
const char* FileNameOf(const char* name);
// The selected instrument's name as a file name ("" when there is none).
const char* SelectedInstrumentFileName();
