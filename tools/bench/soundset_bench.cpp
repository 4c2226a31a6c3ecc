// soundset_bench FILE RUNS: median times of reading and indexing the sound set,
// of only reading the file into memory, and of its floor (reading it and one
// pass over every byte, which the header search must make); of reading two
// crafted 6 MB floods, each beside its floor (the read and the pass, and an
// index of as many entries allocated and touched); and of building wave
// images: raw, enveloped at the sliders' longest (2 s) and at the longest
// accepted (95 s).
#include <emmintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// One pass over every byte: the bytes equal to the first of a code, counted
// 16 at a time (what any search for a code must at least do).
uint32_t PassOver(const uint8_t* data, size_t size) {
    const __m128i first = _mm_set1_epi8('i');
    uint32_t hits = 0;
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        hits += uint32_t(__builtin_popcount(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, first)))));
    }
    for (; i < size; ++i) hits += data[i] == 'i';
    return hits;
}

volatile uint32_t sink = 0;

// The floor of reading `path`: the read, one pass over the image, and an
// index of `entries` entries of `entryBytes` bytes allocated from the same
// heap and written once. Median milliseconds; negative when it fails.
double FloorTime(const char* path, uint32_t entries, uint32_t entryBytes, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        ResetSoundSet();
        const double t0 = Now();
        if (!ReadOnly(path)) return -1;
        sink = sink + PassOver(SoundSetImage.items, SoundSetImage.count);
        void* index = entries ? ThreadHeap->Alloc(entries * entryBytes, 0, __FILE__, __LINE__) : nullptr;
        if (index) std::memset(index, 0, size_t(entries) * entryBytes);
        times.push_back(Now() - t0);
        if (index) ThreadHeap->Free(index);
    }
    return Median(times);
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
    std::printf("read_and_pass_median_ms %.3f\n", FloorTime(argv[1], 0, 0, runs));
    // The crafted floods, written to the temporary folder.
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) folder[0] = 0;
    // Their floors' index: an entry and a name pointer per instrument, or
    // the three region columns' pointers per region.
    const struct {
        const char* name;
        std::string bytes;
        uint32_t entries, entryBytes;
    } floods[] = {
        {"header_flood", HeaderFlood(), 105000, uint32_t(sizeof(InstrumentEntry) + sizeof(wchar_t*))},
        {"region_flood", RegionFlood(), 157000, uint32_t(3 * sizeof(const uint8_t*))},
    };
    for (const auto& flood : floods) {
        const std::string path = std::string(folder) + "orven_" + flood.name + ".dls";
        if (!WriteBytes(path, flood.bytes)) {
            std::fprintf(stderr, "soundset_bench: cannot write \"%s\"\n", path.c_str());
            return 1;
        }
        const double ms = ReadTime(path.c_str(), runs);
        uint32_t regions = 0;
        for (uint32_t i = 0; i < instruments.count; ++i) regions += instruments[i].waveLinks().count;
        const uint32_t read = instruments.count;
        const double floor = FloorTime(path.c_str(), flood.entries, flood.entryBytes, runs);
        std::remove(path.c_str());
        if (ms < 0 || floor < 0) {
            std::fprintf(stderr, "soundset_bench: cannot index \"%s\"\n", path.c_str());
            return 1;
        }
        std::printf("%s_median_ms %.3f instruments %u regions %u bytes %u\n", flood.name, ms, read, regions,
                    SoundSetImage.count);
        std::printf("%s_floor_median_ms %.3f entries %u of %u bytes\n", flood.name, floor, flood.entries,
                    flood.entryBytes);
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
