#include "WaveSave.h"

#include <commdlg.h>

#include <cstring>
#include <cwchar>

#include "../sound/Envelope.h"
#include "../sound/SoundSet.h"

wchar_t saveFolder[kPathUnits];
void (*RebuildInfoPanelHook)() = nullptr;
HWND (*OwnerWindowHook)() = nullptr;

const char kNoWaveData[] = "The wave of cue %u holds no sound data to save.";
const char kWaveNotInSet[] = "The wave of cue %u is not in the sound set.";

HWND SaveOwnerWindow() { return OwnerWindowHook ? OwnerWindowHook() : nullptr; }

namespace {
wchar_t chosenPath[kPathUnits];

// The common-dialog library is loaded with the first save dialog, so that a
// run without a save never pays for it; it stays loaded.
typedef BOOL(WINAPI* SaveDialogFunction)(OPENFILENAMEW*);
SaveDialogFunction SaveDialog() {
    static SaveDialogFunction function = nullptr;
    if (!function) {
        HMODULE library = LoadLibraryW(L"comdlg32.dll");
        if (library)
            function = reinterpret_cast<SaveDialogFunction>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetSaveFileNameW")));
    }
    return function;
}

void RebuildInfoPanel() {
    if (RebuildInfoPanelHook) RebuildInfoPanelHook();
}

// The path as narrow text for a message, with '?' for what the code page lacks.
const char* DisplayPath(const wchar_t* path) {
    static char narrow[4 * kPathUnits];
    if (!WideCharToMultiByte(CP_ACP, 0, path, -1, narrow, sizeof narrow, "?", nullptr)) narrow[0] = 0;
    return narrow;
}

// Stops the sound and builds the request's image in WaveImage again (the
// envelope as it was asked for; the current one is kept).
bool RebuildSaveImage(const CSaveRequest& request) {
    float now[3];
    for (int i = 0; i < 3; ++i) {
        now[i] = envelopeParams[i];
        envelopeParams[i] = request.envelope[i];
    }
    StopSound();
    uint32_t loopStart, loopLength;
    const bool built = BuildWaveImage(request.kind, request.cue, loopStart, loopLength);
    for (int i = 0; i < 3; ++i) envelopeParams[i] = now[i];
    return built;
}

}  // namespace

void SaveWave(WaveKind kind, uint32_t cue) {
    StopSound();
    if (kind == WaveKind::Envelope)
        if (const char* refusal = EnvelopeSaveRefusal()) {
            ShowError(SaveOwnerWindow(), "Error", "%s", refusal);
            return;
        }
    uint32_t loopStart, loopLength;
    if (!BuildWaveImage(kind, cue, loopStart, loopLength)) {
        uint32_t listSize;
        ShowError(SaveOwnerWindow(), "Error", CueWaveList(cue, listSize) ? kNoWaveData : kWaveNotInSet, cue);
        return;
    }
    const CSaveRequest request = {kind, cue, {envelopeParams[0], envelopeParams[1], envelopeParams[2]},
                                  WaveImageBuilds()};
    SaveWaveImage(ProposedSaveName(kind, cue, loopStart, loopLength), &request);
}


const wchar_t* ProposedSaveName(WaveKind kind, uint32_t cue, uint32_t loopStart, uint32_t loopLength) {
    const char* name = SelectedInstrumentFileName();
    if (kind == WaveKind::Raw) return TempTextW(L"%s%S (%u).wav", saveFolder, name, cue);
    return TempTextW(L"%s%S (%u-%u-%u_%S-%S-%S).wav", saveFolder, name, cue, loopStart, loopLength,
                     EnvelopeCountText(envelopeParams[0], 0), EnvelopeCountText(envelopeParams[1], 1),
                     EnvelopeCountText(envelopeParams[2], 2));
}

const wchar_t* ChooseSaveFile(const wchar_t* proposed, HWND owner) {
    CopyWide(chosenPath, proposed, kPathUnits);
    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Wave files (*.wav)\0*.wav\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosenPath;
    dialog.nMaxFile = kPathUnits;
    dialog.lpstrInitialDir = saveFolder;
    dialog.lpstrTitle = L"Save...";
    const SaveDialogFunction show = SaveDialog();
    if (!show) {
        ShowError(owner, "Error", "The save dialog cannot be shown.");
        return nullptr;
    }
    return show(&dialog) ? chosenPath : nullptr;
}

void ShowError(HWND owner, const char* caption, const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    MessageBoxA(owner, text, caption, MB_OK);
}

void SaveWaveImage(const wchar_t* proposed, const CSaveRequest* request) {
    HWND owner = SaveOwnerWindow();
    const wchar_t* path = ChooseSaveFile(proposed, owner);
    if (!path) {
        RebuildInfoPanel();
        return;
    }
    // Whatever ran inside the dialog's loop (a timer, a posted message) may
    // have played, and so replaced the image: the file gets this save's.
    const bool replaced = request && WaveImageBuilds() != request->builds;
    if ((replaced && !RebuildSaveImage(*request)) || !WriteWaveImageFile(path))
        ShowError(owner, "Error", "Error saving to \"%s\"", DisplayPath(path));
    if (owner) InvalidateRect(owner, nullptr, FALSE);
    RebuildInfoPanel();
    PathDirectory(saveFolder, path);
}

const char* SelectedInstrumentFileName() {
    const InstrumentEntry* entry = SelectedInstrument();
    return entry ? FileNameOf(entry->name) : "";
}
