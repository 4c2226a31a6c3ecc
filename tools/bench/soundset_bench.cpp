// soundset_bench FILE RUNS: median times of reading and indexing the sound set,
// of only reading the file into memory, and of building wave images: raw,
// enveloped at the sliders' longest (2 s) and at the longest accepted (95 s).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../../mem/ExeHeapSrv.h"

#include "../../app/Envelope.h"
#include "../../app/SoundSet.h"
#include "../../app/WaveImage.h"
#include "timing.h"

namespace {

bool ReadOnly(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    SoundSetImage.Grow(uint32_t(size), uint32_t(size));
    size_t got = std::fread(SoundSetImage.items, 1, size_t(size), file);
    std::fclose(file);
    return got == size_t(size);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: soundset_bench FILE RUNS\n", stderr);
        return 1;
    }
    int runs = std::atoi(argv[2]);
    if (runs < 1) runs = 1;
    std::vector<double> read, index;
    for (int i = 0; i < runs; ++i) {
        double t0 = Now();
        if (!ReadOnly(argv[1])) {
            std::fprintf(stderr, "soundset_bench: cannot read \"%s\"\n", argv[1]);
            return 1;
        }
        double t1 = Now();
        ResetSoundSet();
        double t2 = Now();
        if (!ReadSoundSet(argv[1])) {
            std::fprintf(stderr, "soundset_bench: cannot index \"%s\"\n", argv[1]);
            return 1;
        }
        double t3 = Now();
        read.push_back(t1 - t0);
        index.push_back(t3 - t2);
    }
    std::printf("file_read_median_ms %.3f runs %d\n", Median(read), runs);
    std::printf("read_sound_set_median_ms %.3f runs %d instruments %u bytes %u\n", Median(index), runs,
                instruments.count, SoundSetImage.count);
    // Images of instrument 0's first region.
    ReserveWaveImage();
    uint32_t cue = 0;
    if (instruments.count && RegionCue(instruments[0], 0, cue)) {
        std::vector<double> raw, slider, longest;
        const uint32_t live = ProcessHeapClient()->LiveBlocks();
        for (int i = 0; i < runs; ++i) {
            double t0 = Now();
            BuildRawImage(cue);
            double t1 = Now();
            envelopeParams[0] = 1.0f, envelopeParams[1] = 1.0f, envelopeParams[2] = 1.0f;
            RenderEnvelopeImage(cue);
            double t2 = Now();
            envelopeParams[0] = 0.0f, envelopeParams[1] = 95.1f, envelopeParams[2] = 0.0f;
            RenderEnvelopeImage(cue);
            double t3 = Now();
            raw.push_back(t1 - t0);
            slider.push_back(t2 - t1);
            longest.push_back(t3 - t2);
        }
        std::printf("raw_image_median_ms %.3f\n", Median(raw));
        std::printf("envelope_2s_median_ms %.3f\n", Median(slider));
        std::printf("envelope_95s_median_ms %.3f samples %u\n", Median(longest), (WaveImage.count - 46) / 2);
        std::printf("image_blocks_added %u\n", ProcessHeapClient()->LiveBlocks() - live);
    }
    ResetSoundSet();
    return 0;
}
