// Writes a damaged sound set that the reader still accepts: an instrument
// without regions, one whose cue lies outside the pool, one whose wave has no
// 'data' chunk, one whose name a save dialog would take for a folder, and a
// sound one. usage: damaged_set OUT
#include <cmath>
#include <cstdio>

#include "../dls_builder.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    DlsLayout layout;
    layout.instruments.push_back({"No Regions", {}});
    layout.instruments.push_back({"Lost Cue", {Region(9)}});
    layout.instruments.push_back({"No Data", {Region(1, true, 10, 20)}});
    layout.instruments.push_back({"CM-64/32 Set", {Region(0, true, 100, 2205)}});
    layout.instruments.push_back({"Sound", {Region(0)}});
    WaveSpec tone;
    for (int i = 0; i < 22050; ++i) tone.samples.push_back(int16_t(8000 * std::sin(i * 0.0628)));
    layout.waves = {tone, tone};
    Bytes file = BuildDls(layout);
    // The second wave's 'data' chunk renamed: a wave without samples.
    const size_t first = file.find("data", file.find("wvpl"));
    const size_t second = file.find("data", first + 4);
    if (second == Bytes::npos) return 1;
    file.replace(second, 4, "dat_");
    return WriteFile(argv[1], file) ? 0 : 1;
}
