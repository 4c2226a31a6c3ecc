// Saving a wave image: the save dialog, its folder and the error boxes.
#pragma once

#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "../rtl/Str.h"
#include "../sound/Envelope.h"

extern wchar_t saveFolder[kPathUnits];

// Filled in by the information panel and the main window; null until then.
extern void (*RebuildInfoPanelHook)();
extern HWND (*OwnerWindowHook)();
// The owner of the save dialog and of error boxes (null without a window).
HWND SaveOwnerWindow();

// The messages for a wave that holds no sound data and for a cue whose wave
// is not in the sound set (format: the cue index).
extern const char kNoWaveData[];
extern const char kWaveNotInSet[];

// Stops the sound, builds the image and asks where to save it, proposing the
// instrument's name with the cue (the raw wave) or with the loop and the
// envelope's counts; refused with an "Error" box, writing nothing, when the
// envelope or the wave gives nothing to save.
void SaveWave(WaveKind kind, uint32_t cue);
inline void SaveRaw(uint32_t cue) { SaveWave(WaveKind::Raw, cue); }
inline void SaveEnvelope(uint32_t cue) { SaveWave(WaveKind::Envelope, cue); }

// The save dialog: the chosen path (valid until the next call) or null.
const wchar_t* ChooseSaveFile(const wchar_t* proposed, HWND owner);

// A message box with an OK button and at most 4095 bytes of text.
void ShowError(HWND owner, const char* caption, const char* format, ...);

// What a save was asked for, and WaveImageBuilds once its image was built:
// when another build replaced the image while the dialog was open, it is
// built again from the request, so that the file is this save's.
struct CSaveRequest {
    WaveKind kind;
    uint32_t cue;
    float envelope[3];
    uint32_t builds;
};

// Asks for a file under `proposed` and writes WaveImage (with a request:
// the request's image) to it, reporting a failure; then repaints, rebuilds
// the panel and remembers the folder.
void SaveWaveImage(const wchar_t* proposed, const CSaveRequest* request = nullptr);

// The selected instrument's name as a file name ("" when there is none).
const char* SelectedInstrumentFileName();
// The path a save proposes: the save folder, the selected instrument's file
// name and the cue (the raw wave), or the cue, the loop and the envelope's
// counts. A temporary text.
const wchar_t* ProposedSaveName(WaveKind kind, uint32_t cue, uint32_t loopStart, uint32_t loopLength);
