#include "WaveImage.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "../rtl/Str.h"
#include "SoundSet.h"

wchar_t saveFolder[260];
void (*RebuildInfoPanelHook)() = nullptr;
HWND (*OwnerWindowHook)() = nullptr;

const char kNoWaveData[] = "The wave of cue %u holds no sound data to save.";

HWND SaveOwnerWindow() { return OwnerWindowHook ? OwnerWindowHook() : nullptr; }

namespace {
wchar_t chosenPath[260];

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

}  // namespace

bool WriteWaveImageFile(const wchar_t* path) {
    FILE* file = _wfopen(path, L"wb");
    if (!file) return false;
    const size_t written = WaveImage.count ? std::fwrite(WaveImage.items, 1, WaveImage.count, file) : 0;
    const bool closed = std::fclose(file) == 0;
    return written == WaveImage.count && closed;
}

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

void ClearWaveImage() { WaveImage.SetCapacity(WaveImage.capacity, 0); }

void AppendWaveBytes(const void* bytes, uint32_t size) {
    const uint32_t at = WaveImage.count;
    WaveImage.Grow(at + size, at + size);
    if (size) std::memcpy(WaveImage.items + at, bytes, size);
}

void AppendWaveU32(uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    AppendWaveBytes(bytes, 4);
}

void StopSound() { PlaySoundA(nullptr, nullptr, kStopFlags); }

void PlayWaveImage() {
    if (WaveImage.count == 0) return;
    PlaySoundA(reinterpret_cast<LPCSTR>(WaveImage.items), nullptr, kPlayFlags);
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
    AppendWaveBytes(list + 12, listSize - 4);
    return true;
}

void PlayRaw(uint32_t cue) {
    StopSound();
    if (BuildRawImage(cue)) PlayWaveImage();
}

void SaveRaw(uint32_t cue) {
    StopSound();
    if (!BuildRawImage(cue)) {
        ShowError(SaveOwnerWindow(), "Error", kNoWaveData, cue);
        return;
    }
    SaveWaveImage(TempTextW(L"%s%S (%u).wav", saveFolder, SelectedInstrumentFileName(), cue));
}

const wchar_t* ChooseSaveFile(const wchar_t* proposed, HWND owner) {
    CopyWide(chosenPath, proposed, 260);
    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Wave files (*.wav)\0*.wav\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosenPath;
    dialog.nMaxFile = 260;
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

void SaveWaveImage(const wchar_t* proposed) {
    HWND owner = SaveOwnerWindow();
    const wchar_t* path = ChooseSaveFile(proposed, owner);
    if (!path) {
        RebuildInfoPanel();
        return;
    }
    if (!WriteWaveImageFile(path)) ShowError(owner, "Error", "Error saving to \"%s\"", DisplayPath(path));
    if (owner) InvalidateRect(owner, nullptr, FALSE);
    RebuildInfoPanel();
    PathDirectory(saveFolder, path);
}

const char* FileNameOf(const char* name) {
    static char safe[kFileNameBytes];
    uint32_t n = 0;
    for (; name && name[n] && n + 1 < kFileNameBytes; ++n) {
        const unsigned char c = static_cast<unsigned char>(name[n]);
        safe[n] = c < 0x20 || std::strchr("\\/:*?\"<>|", c) ? '_' : char(c);
    }
    safe[n] = 0;
    return safe;
}

const char* SelectedInstrumentFileName() {
    if (selectedInstrument < 0 || uint32_t(selectedInstrument) >= instruments.count) return "";
    return FileNameOf(instruments[uint32_t(selectedInstrument)].name);
}
