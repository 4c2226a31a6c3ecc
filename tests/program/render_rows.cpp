// Writes the images the program plays for rows of its sorted instrument list:
// the first region's wave through the envelope at its start-up values.
// usage: render_rows SOUNDSET FOLDER ROW... (a negative row counts from the end)
// Prints "rows N", "first R" (the row of the first instrument read) and one
// "row R item I name NAME" line per image.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Envelope.h"
#include "app/SoundSet.h"
#include "app/WaveImage.h"
#include "controls/CtlList.h"

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
        long row = std::strtol(argv[a], nullptr, 10);
        if (row < 0) row += long(n);
        uint32_t cue;
        if (row >= 0 && uint32_t(row) < n) selectedInstrument = int32_t(order[uint32_t(row)]);   // its loop
        if (row < 0 || uint32_t(row) >= n || !RegionCue(instruments[order[uint32_t(row)]], 0, cue) ||
            !RenderEnvelopeImage(cue)) {
            std::fprintf(stderr, "row %s has no image\n", argv[a]);
            status = 1;
            continue;
        }
        char path[1024];
        std::snprintf(path, sizeof path, "%s\\row%s.wav", argv[2], argv[a]);
        FILE* f = std::fopen(path, "wb");
        if (!f || std::fwrite(WaveImage.items, 1, WaveImage.count, f) != WaveImage.count) status = 1;
        if (f) std::fclose(f);
        std::printf("row %ld item %u name %s\n", row, order[uint32_t(row)], instruments[order[uint32_t(row)]].name);
    }
    FreeInstrumentNames();
    return status;
}
