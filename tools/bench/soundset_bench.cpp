// soundset_bench FILE RUNS: median times of reading and indexing the sound set,
// of only reading the file into memory, of reading two crafted 6 MB floods,
// and of building wave images: raw, enveloped at the sliders' longest (2 s)
// and at the longest accepted (95 s).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../mem/ExeHeapSrv.h"

#include "../../sound/Envelope.h"
#include "../../sound/SoundSet.h"
#include "../../sound/WaveImage.h"
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

std::string U32(uint32_t v) {
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return std::string(b, 4);
}

// The pool codes, then `body`, then one name.
std::string Framed(const std::string& body) {
    return "wvpllins" + ("ptbl" + U32(8) + U32(0) + U32(0)) + body + "INAM" + U32(201) + std::string(200, 'n') +
           std::string(1, '\0');
}

// 105,000 instrument headers, one every 64 bytes, sharing the name at the end.
std::string HeaderFlood() {
    std::string body;
    for (int n = 0; n < 105000; ++n) body += "insh" + U32(12) + U32(1) + std::string(52, '.');
    return Framed(body);
}

// One instrument of 157,000 regions, each a header and a link, no sample info.
std::string RegionFlood() {
    std::string body = "insh" + U32(12) + U32(0xFFFFFFFFu) + U32(0) + U32(0);
    for (uint32_t k = 0; k < 157000; ++k)
        body += "rgnh" + U32(12) + std::string(12, '\0') + "wlnk" + U32(12) + U32(0) + U32(0) + U32(k);
    return Framed(body);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// Median time of reading `path` with the reader; negative when it fails.
double ReadTime(const char* path, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        ResetSoundSet();
        double t0 = Now();
        if (!ReadSoundSet(path)) return -1;
        times.push_back(Now() - t0);
    }
    return Median(times);
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
    // The crafted floods, written to the temporary folder.
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) folder[0] = 0;
    const struct {
        const char* name;
        std::string bytes;
    } floods[] = {{"header_flood", HeaderFlood()}, {"region_flood", RegionFlood()}};
    for (const auto& flood : floods) {
        const std::string path = std::string(folder) + "orven_" + flood.name + ".dls";
        if (!WriteBytes(path, flood.bytes)) {
            std::fprintf(stderr, "soundset_bench: cannot write \"%s\"\n", path.c_str());
            return 1;
        }
        const double ms = ReadTime(path.c_str(), runs);
        std::remove(path.c_str());
        if (ms < 0) {
            std::fprintf(stderr, "soundset_bench: cannot index \"%s\"\n", path.c_str());
            return 1;
        }
        uint32_t regions = 0;
        for (uint32_t i = 0; i < instruments.count; ++i) regions += instruments[i].waveLinks().count;
        std::printf("%s_median_ms %.3f instruments %u regions %u bytes %u ratio %.2fx\n",
                    flood.name, ms, instruments.count, regions, SoundSetImage.count, ms / Median(index));
    }
    ResetSoundSet();
    if (!ReadSoundSet(argv[1])) return 1;
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
