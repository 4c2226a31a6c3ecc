// Damaged sound sets: thousands of corrupted and truncated copies of a real
// file are indexed from a buffer that ends right at an inaccessible page, so
// any read past the image faults. Every read must fail cleanly or leave an
// index whose positions, and the bytes behind them, lie inside the image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dls_builder.h"
#include "guarded_image.h"
#include "heap_checks.h"
#include "mem/ExeMem.h"
#include "sound/SoundSet.h"
#include "soundset_reference.h"

namespace {

// Checks the index against the image; reads every byte it promises.
void CheckIndex(const std::string& what) {
    ASSERT_TRUE(InsideImage(wavePool, 0)) << what;
    ASSERT_TRUE(InsideImage(poolCues, size_t(poolCueCount) * 4)) << what;
    ASSERT_EQ(instruments.count, instrumentNames.count) << what;
    volatile unsigned sum = 0;
    for (uint32_t i = 0; i < instruments.count; ++i) {
        const InstrumentEntry& e = instruments[i];
        ASSERT_TRUE(InsideImage(reinterpret_cast<const uint8_t*>(e.name), std::strlen(e.name) + 1)) << what;
        for (uint32_t r = 0; r < e.waveLinks().count; ++r) {
            ASSERT_TRUE(InsideImage(e.regionHeaders()[r], 12)) << what;
            ASSERT_TRUE(InsideImage(e.waveLinks()[r], 12)) << what;
            if (e.sampleInfos()[r]) {
                ASSERT_TRUE(InsideImage(e.sampleInfos()[r], 20)) << what;
            }
            uint32_t cue = 0, start, length, size;
            ASSERT_TRUE(RegionCue(e, r, cue));
            if (RegionLoop(e, r, start, length)) sum += start + length;
            if (const uint8_t* list = CueWaveList(cue, size)) {
                ASSERT_TRUE(InsideImage(list, size_t(size) + 8)) << what;
                WaveParts parts;
                if (SplitWave(list, size, parts)) {
                    ASSERT_TRUE(InsideImage(parts.head, parts.headSize));
                    ASSERT_TRUE(InsideImage(parts.samples, parts.dataSize));
                    ASSERT_LE(parts.samples + parts.dataSize, list + 8 + size);
                    if (parts.dataSize) sum += parts.samples[parts.dataSize - 1] + parts.head[0];
                }
            }
        }
    }
    for (uint32_t k = 0; k < poolCueCount; ++k) {
        uint32_t size;
        if (const uint8_t* list = CueWaveList(k, size)) sum += list[size + 7];
    }
}

Bytes SourceFile() {
    Bytes bytes;
    const char* path = std::getenv("ORVEN_SOUNDSET");
    if (path && *path && ReadFile(path, bytes)) return bytes;
    // Without the default set: a crafted collection of the same shape.
    DlsLayout layout;
    for (int i = 0; i < 12; ++i) {
        InstrumentSpec ins{"Instrument " + std::to_string(i), {}};
        for (int r = 0; r <= i % 4; ++r) {
            RegionSpec region;
            region.cue = uint32_t((i + r) % 7);
            region.loop = r % 2 == 0;
            region.loopStart = 10;
            region.loopLength = 20;
            ins.regions.push_back(region);
        }
        layout.instruments.push_back(ins);
    }
    for (int w = 0; w < 7; ++w) {
        WaveSpec wave;
        wave.samples.assign(100 + w * 37, int16_t(w * 100));
        layout.waves.push_back(wave);
    }
    return BuildDls(layout);
}

// Start of every chunk of the RIFF tree.
void ChunkStarts(const Bytes& b, size_t from, size_t to, std::vector<size_t>& starts) {
    size_t at = from;
    while (at + 8 <= to) {
        starts.push_back(at);
        uint32_t size = ReadU32(reinterpret_cast<const uint8_t*>(b.data()) + at + 4);
        bool list = b.compare(at, 4, "LIST") == 0 || b.compare(at, 4, "RIFF") == 0;
        if (list) ChunkStarts(b, at + 12, std::min<size_t>(to, at + 8 + size), starts);
        at += 8 + size + (size & 1);
    }
}

class Mutation : public ::testing::Test {
protected:
    void SetUp() override {
        source = SourceFile();
        ResetSoundSet();
        live.Restart();
        reportsBefore = HeapCorruptionReports();
    }
    void TearDown() override {
        ResetSoundSet();
        EXPECT_EQ(0, live.Added());
        EXPECT_EQ(reportsBefore, HeapCorruptionReports());
    }
    // Indexes one damaged image; returns whether the read succeeded.
    bool Run(GuardedImage& image, const Bytes& bytes, size_t size, const std::string& what) {
        // One read in 64 is also done by the plain search and compared.
        const bool compare = runs++ % 64 == 0;
        ReferenceIndex ref;
        if (compare) ref = IndexByReference(bytes.substr(0, size));
        image.Load(bytes, size);
        int ok = IndexSoundSet();
        // A refusal leaves nothing behind, so no names outlive it.
        if (!ok) {
            EXPECT_EQ(0u, instruments.count + instrumentNames.count) << what;
        }
        if (compare) {
            EXPECT_EQ("", IndexDifference(ref, ok)) << what;
        }
        if (ok) CheckIndex(what);
        ResetSoundSet();
        return ok != 0;
    }

    Bytes source;
    LiveBlocks live;
    uint32_t reportsBefore = 0, runs = 0;
};

}  // namespace

TEST_F(Mutation, TheUndamagedFileReads) {
    GuardedImage image(source.size());
    EXPECT_TRUE(Run(image, source, source.size(), "original"));
}

TEST_F(Mutation, CutsAtEveryChunkBoundary) {
    std::vector<size_t> starts;
    ChunkStarts(source, 0, source.size(), starts);
    ASSERT_GT(starts.size(), 50u);
    GuardedImage image(source.size());
    int succeeded = 0;
    for (size_t cut : starts)
        for (size_t delta : {size_t(0), size_t(4), size_t(9)})
            if (cut + delta <= source.size())
                succeeded += Run(image, source, cut + delta, "cut at " + std::to_string(cut + delta));
    std::printf("cuts: %zu boundaries, %d reads succeeded\n", starts.size(), succeeded);
}

TEST_F(Mutation, CutsOneByteShortOfTheFieldsTheReaderReads) {
    std::vector<size_t> starts;
    ChunkStarts(source, 0, source.size(), starts);
    GuardedImage image(source.size());
    int cuts = 0, succeeded = 0;
    for (const char* code : {"insh", "rgnh", "wsmp", "wlnk", "INAM", "ptbl"}) {
        std::vector<size_t> chunks;
        for (size_t at : starts)
            if (source.compare(at, 4, code) == 0) chunks.push_back(at);
        // Up to 24 chunks of each kind, spread over the file.
        size_t stride = chunks.size() / 24 + 1;
        for (size_t c = 0; c < chunks.size(); c += stride) {
            size_t at = chunks[c];
            size_t end = std::min<size_t>(source.size(),
                                          at + 8 + ReadU32(reinterpret_cast<const uint8_t*>(source.data()) + at + 4));
            // The size field and each four-byte field after it end one byte early.
            for (size_t fieldEnd = at + 8; fieldEnd <= end; fieldEnd += 4, ++cuts)
                succeeded += Run(image, source, fieldEnd - 1, std::string(code) + " cut at " + std::to_string(fieldEnd - 1));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(cuts, 100);
    std::printf("one-byte-short cuts: %d, %d reads succeeded\n", cuts, succeeded);
}

TEST_F(Mutation, ByteFlipsAndHugeSizeFields) {
    std::mt19937 random(20261207);
    std::vector<size_t> starts;
    ChunkStarts(source, 0, source.size(), starts);
    // Where the reader's fields lie: the instrument list and the pool table.
    size_t headerEnd = source.find("wvpl");
    ASSERT_NE(Bytes::npos, headerEnd);
    const uint32_t huge[] = {0xFFFFFFFFu, 0xFFFFFFF0u, 0x7FFFFFFFu, 4000000000u, uint32_t(source.size()), 0};
    GuardedImage image(source.size());
    Bytes damaged = source;
    int succeeded = 0, runs = 0;
    for (int round = 0; round < 3000; ++round) {
        size_t changed[8];
        int n = 1 + int(random() % 4);
        for (int i = 0; i < n; ++i) {
            size_t at;
            if (round % 3 == 2) {
                // A size or count field set to a huge value.
                size_t chunk = starts[random() % starts.size()];
                at = chunk + 4 + 4 * (random() % 5);
                if (at + 4 > damaged.size()) at = chunk;
                uint32_t value = huge[random() % (sizeof huge / sizeof huge[0])];
                damaged.replace(at, 4, U32(value));
            } else {
                at = round % 3 == 0 ? random() % headerEnd : random() % damaged.size();
                damaged[at] = char(random() % 2 ? random() : damaged[at] ^ (1 << (random() % 8)));
            }
            changed[i] = at;
        }
        size_t size = round % 5 == 4 ? random() % damaged.size() : damaged.size();
        succeeded += Run(image, damaged, size, "round " + std::to_string(round));
        ++runs;
        if (HasFatalFailure()) return;
        for (int i = 0; i < n; ++i) damaged.replace(changed[i], 4, source, changed[i], 4);
    }
    std::printf("mutations: %d runs, %d reads succeeded\n", runs, succeeded);
}
