// Writes the images the program plays for rows of its sorted instrument list.
// usage: render_rows SOUNDSET FOLDER [ARG...], each ARG one of
//   A,S,R    the envelope's attack, sustain and release from here on
//            (start-up values 0, 0.5 and 0.25 before the first)
//   ROW      row ROW's first region through the envelope, as rowROW.wav
//   raw:ROW  the same wave as stored, as rawROW.wav
//   names    every row's name, as "name R NAME" lines
// A negative row counts from the end. Prints "rows N", "first R" (the row of
// the first instrument read) and one "row R item I cue K loop S L name NAME"
// line per image.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "controls/CtlList.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    ReserveWaveImage();
    if (!ReadSoundSet(argv[1])) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const uint32_t n = instruments.count;
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    SortRowOrder(order.data(), n, instrumentNames.items);
    std::printf("rows %u\n", n);
    for (uint32_t r = 0; r < n; ++r)
        if (order[r] == 0) std::printf("first %u\n", r);
    int status = 0;
    for (int a = 3; a < argc; ++a) {
        const char* arg = argv[a];
        float a0, s0, r0;
        if (std::strchr(arg, ',') && std::sscanf(arg, "%f,%f,%f", &a0, &s0, &r0) == 3) {
            envelopeParams[0] = a0, envelopeParams[1] = s0, envelopeParams[2] = r0;
            continue;
        }
        if (std::strcmp(arg, "names") == 0) {
            for (uint32_t r = 0; r < n; ++r) std::printf("name %u %s\n", r, instruments[order[r]].name);
            continue;
        }
        const bool raw = std::strncmp(arg, "raw:", 4) == 0;
        const char* number = raw ? arg + 4 : arg;
        long row = std::strtol(number, nullptr, 10);
        if (row < 0) row += long(n);
        uint32_t cue = 0, loopStart = 0, loopLength = 0;
        if (row >= 0 && uint32_t(row) < n) selectedInstrument = int32_t(order[uint32_t(row)]);   // its loop
        if (row < 0 || uint32_t(row) >= n || !RegionCue(instruments[order[uint32_t(row)]], 0, cue) ||
            !(raw ? BuildRawImage(cue) : RenderEnvelopeImage(cue))) {
            std::fprintf(stderr, "row %s has no image\n", number);
            status = 1;
            continue;
        }
        RegionLoop(instruments[order[uint32_t(row)]], 0, loopStart, loopLength);
        char path[1024];
        std::snprintf(path, sizeof path, "%s\\%s%s.wav", argv[2], raw ? "raw" : "row", number);
        FILE* f = std::fopen(path, "wb");
        if (!f || std::fwrite(WaveImage.items, 1, WaveImage.count, f) != WaveImage.count) status = 1;
        if (f) std::fclose(f);
        std::printf("row %ld item %u cue %u loop %u %u name %s\n", row, order[uint32_t(row)], cue, loopStart,
                    loopLength, instruments[order[uint32_t(row)]].name);
    }
    FreeInstrumentNames();
    return status;
}
