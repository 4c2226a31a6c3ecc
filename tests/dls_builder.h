// Builds small DLS files byte by byte for the reader's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::string;

Bytes U16(uint16_t v);
Bytes U32(uint32_t v);
Bytes Chunk(const char* id, const Bytes& data);           // padded to an even size
Bytes List(const char* id, const char* type, const Bytes& content);  // "LIST" or "RIFF"

struct RegionSpec {
    uint32_t cue = 0;
    bool wsmp = true;
    bool loop = false;
    uint32_t loopStart = 0, loopLength = 0;
};

// A region of wave `cue`, with one loop when `loop` is set.
RegionSpec Region(uint32_t cue, bool loop = false, uint32_t start = 0, uint32_t length = 0);

struct InstrumentSpec {
    Bytes name;                 // raw INAM bytes, terminator added
    std::vector<RegionSpec> regions;
    int64_t declaredRegions = -1;   // cRegions when not the real count
};

struct WaveSpec {
    std::vector<int16_t> samples;
    uint32_t rate = 22050;
};

struct DlsLayout {
    std::vector<InstrumentSpec> instruments;
    std::vector<WaveSpec> waves;
};

Bytes RegionChunk(const RegionSpec& region);
Bytes InstrumentChunk(const InstrumentSpec& instrument);
Bytes WaveChunk(const WaveSpec& wave);

// A DLS collection in the canonical order: colh, lins, ptbl, wvpl.
Bytes BuildDls(const DlsLayout& layout);

// Puts bytes into SoundSetImage (after resetting the index) and indexes them.
int IndexBytes(const Bytes& bytes);

bool WriteFile(const std::string& path, const Bytes& bytes);
bool ReadFile(const std::string& path, Bytes& bytes);
