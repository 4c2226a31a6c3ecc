// dlsindex FILE: reads a DLS sound set as the program does and prints its index.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "../../mem/ExeHeapSrv.h"
#include "../../mem/ExeMem.h"
#include "../../rtl/ProcessObject.h"
#include "../../sound/SoundObjects.h"
#include "../../sound/SoundSet.h"

namespace {

// The tool's composition root: only what the base and the sound layer need.
const ProcessStep kSteps[] = {
    {"heap client", StartHeapClient, nullptr},
    {"sound set and wave image", StartSoundObjects, StopSoundObjects},
    {"Windows version", ProbeWindowsVersion, nullptr},
};
CProcessSteps processObjects(kSteps, sizeof kSteps / sizeof kSteps[0]);

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: dlsindex FILE\n", stderr);
        return 1;
    }
    if (!ReadSoundSet(argv[1])) {
        std::fprintf(stderr, "dlsindex: cannot read the sound set \"%s\"\n", argv[1]);
        return 1;
    }
    _setmode(_fileno(stdout), _O_BINARY);
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
    FreeInstrumentNames();
    return 0;
}
