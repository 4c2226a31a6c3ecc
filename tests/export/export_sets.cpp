// The export test's target side.
//   export_sets craft OUT: writes the crafted sound set (below).
//   export_sets images SET FOLDER: writes FOLDER\<cue>.wav, the raw Save's
//   image of every pool cue that has one (BuildRawImage, WriteWaveImageFile).
#include <cstdio>
#include <cstring>

#include "../../rtl/Str.h"
#include "../../sound/SoundSet.h"
#include "../../sound/WaveImage.h"
#include "../dls_builder.h"

namespace {

WaveSpec Wave(size_t n, int seed) {
    WaveSpec w;
    for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t((i * 2654435761u + seed) >> 16));
    return w;
}

// Piano 1 and a quoted, comma'd name share cue 1; cue 2 is used by no
// region; names with forbidden and non-ANSI characters; cue 4 is far larger
// than the others (80,044 bytes); a cue outside the pool; cue 6 has no
// 'data' chunk. Every region has key and velocity ranges of its own.
Bytes Crafted() {
    DlsLayout layout;
    layout.instruments.push_back({"Piano 1", {Region(1, true, 10, 20), Region(0)}});
    layout.instruments.push_back({"Strings, \"Warm\"", {Region(1), Region(3, true, 5, 7)}});
    layout.instruments.push_back({"Slash/Back\\Colon:Star*Q?Lt<Gt>Pipe|Tab\tLF\nEnd", {Region(4)}});
    layout.instruments.push_back({"Fl\xC3\xB6te \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC",
                                  {Region(5)}});
    layout.instruments.push_back({"Lost Cue", {Region(9)}});
    layout.instruments.push_back({"No Data", {Region(6)}});
    layout.waves = {Wave(100, 1), Wave(300, 2), Wave(50, 3), Wave(120, 4), Wave(40000, 5), Wave(64, 6),
                    WaveSpec{std::vector<int16_t>(16, 0)}};
    Bytes file = BuildDls(layout);
    uint16_t n = 0;
    for (size_t at = file.find("rgnh"); at != Bytes::npos; at = file.find("rgnh", at + 4), ++n)
        file.replace(at + 8, 8, U16(uint16_t(10 * n)) + U16(uint16_t(10 * n + 9)) + U16(n) + U16(uint16_t(100 + n)));
    file.replace(file.rfind("data"), 4, "dat_");   // the last wave's samples are zeros
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "craft") == 0) return WriteFile(argv[2], Crafted()) ? 0 : 1;
    if (argc != 4 || std::strcmp(argv[1], "images") != 0) return 2;
    if (!ReadSoundSet(argv[2])) return 1;
    int status = 0;
    for (uint32_t cue = 0; cue < poolCueCount; ++cue)
        if (BuildRawImage(cue) && !WriteWaveImageFile(TempTextW(L"%S\\%u.wav", argv[3], cue))) status = 1;
    FreeInstrumentNames();
    return status;
}
