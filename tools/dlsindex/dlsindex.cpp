// dlsindex FILE: reads a DLS sound set as the program does and prints its index.
// dlsindex --export FOLDER [FILE]: writes every wave of the set's pool into
// FOLDER as the program's raw Save writes it, with index.csv (Export.h).
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "../../mem/ExeHeapSrv.h"
#include "../../mem/ExeMem.h"
#include "../../rtl/ProcessObject.h"
#include "../../rtl/Str.h"
#include "../../sound/SoundObjects.h"
#include "../../sound/SoundSet.h"
#include "Export.h"

namespace {

// The tool's composition root: only what the base and the sound layer need.
const ProcessStep kSteps[] = {
    {"heap client", StartHeapClient, nullptr},
    {"sound set and wave image", StartSoundObjects, StopSoundObjects},
    {"Windows version", ProbeWindowsVersion, nullptr},
};
CProcessSteps processObjects(kSteps, sizeof kSteps / sizeof kSteps[0]);

const int kExitUnreadable = 1;
const int kExitUnwritable = 2;

// Text to a console in UTF-16; to a file or a pipe in UTF-8.
void Print(FILE* stream, const wchar_t* text) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    const int units = int(WideLength(text));
    DWORD mode, done;
    if (GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        WriteConsoleW(handle, text, DWORD(units), &done, nullptr);
        return;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    TArray<char> utf8{TArray<char>::Sized{}, uint32_t(bytes)};
    WideCharToMultiByte(CP_UTF8, 0, text, units, utf8.items, bytes, nullptr, nullptr);
    std::fwrite(utf8.items, 1, utf8.count, stream);
}

// The sound set the program reads.
const wchar_t* DefaultSoundSet() {
    const wchar_t* root = _wgetenv(L"SystemRoot");
    return TempTextW(L"%s\\system32\\drivers\\gm.dls", root ? root : L"%SystemRoot%");
}

// Reads the file whole as the program does (ReadSoundSet), by its UTF-16 path.
bool ReadSet(const wchar_t* path) {
    FILE* file = _wfopen(path, L"rb");
    if (!file) return false;
    const int read = ReadSoundSetFile(file);
    std::fclose(file);
    return read != 0;
}

void PrintName(const char* name) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (*p == '\\')
            std::fputs("\\\\", stdout);
        else if (*p < 0x20)
            std::printf("\\x%02X", *p);
        else
            std::putchar(*p);
    }
}

int PrintIndex() {
    std::printf("instruments %u\n", instruments.count);
    for (uint32_t i = 0; i < instruments.count; ++i) {
        const InstrumentEntry& entry = instruments[i];
        std::printf("instrument %u regions %u name ", i, entry.waveLinks().count);
        PrintName(entry.name);
        std::putchar('\n');
        for (uint32_t r = 0; r < entry.waveLinks().count; ++r) {
            uint32_t cue = 0, listSize = 0, start = 0, length = 0;
            RegionCue(entry, r, cue);
            std::printf("region %u.%u cue %u offset ", i, r, cue);
            if (const uint8_t* list = CueWaveList(cue, listSize))
                std::printf("%u", unsigned(WaveByteOffset(list)));
            else
                std::fputs("none", stdout);
            if (RegionLoop(entry, r, start, length))
                std::printf(" loop %u %u\n", start, length);
            else
                std::fputs(" loop none\n", stdout);
        }
    }
    return 0;
}

int Export(const wchar_t* folder) {
    CExportResult result;
    const bool done = ExportSoundSet(folder, result);
    for (uint32_t i = 0; i < result.skipped.count; ++i) {
        uint32_t listSize;
        const uint32_t cue = result.skipped[i];
        Print(stderr, TempTextW(CueWaveList(cue, listSize)
                                    ? L"dlsindex: the wave of cue %u holds no sound data: no file written\n"
                                    : L"dlsindex: the wave of cue %u is not in the sound set: no file written\n",
                                cue));
    }
    if (!done) {
        Print(stderr, TempTextW(L"dlsindex: cannot write to \"%s\": %s\n", result.failed.items,
                                SystemReason(result.error, result.crtError)));
        return kExitUnwritable;
    }
    Print(stdout, TempTextW(L"%s\n", ExportSummary(result.waves, result.bytes, folder)));
    return 0;
}

}  // namespace

// Exit codes: 0; 1 for a wrong command line or a set that cannot be read
// (nothing is written); 2 for a file or folder that cannot be written.
int wmain(int argc, wchar_t** argv) {
    const bool exporting = argc >= 2 && std::wcscmp(argv[1], L"--export") == 0;
    if (exporting ? argc != 3 && argc != 4 : argc != 2) {
        std::fputs("usage: dlsindex FILE\n       dlsindex --export FOLDER [FILE]\n", stderr);
        return kExitUnreadable;
    }
    const wchar_t* file = !exporting ? argv[1] : argc == 4 ? argv[3] : DefaultSoundSet();
    if (!ReadSet(file)) {
        Print(stderr, TempTextW(L"dlsindex: cannot read the sound set \"%s\"\n", file));
        return kExitUnreadable;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    const int code = exporting ? Export(argv[2]) : PrintIndex();
    FreeInstrumentNames();
    return code;
}
