#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <windows.h>

#include "dls_builder.h"
#include "mem/ExeHeapSrv.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

namespace {

// Samples that cover the extremes and are all different.
WaveSpec Pattern(size_t n) {
    WaveSpec w;
    for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t(i % 2 ? -int(i) * 97 : int(i) * 89));
    if (n > 2) {
        w.samples[1] = -32768;
        w.samples[2] = 32767;
    }
    return w;
}

// Piano: looped 100+50 on the 300-sample wave; Strings: the 10-sample wave
// without loop; Organ: a loop that runs past its wave; Bell: no wsmp at all.
DlsLayout Layout() {
    DlsLayout layout;
    layout.instruments.push_back({"Piano", {Region(1, true, 100, 50)}});
    layout.instruments.push_back({"Strings", {Region(0)}});
    layout.instruments.push_back({"Organ", {Region(1, true, 280, 100)}});
    RegionSpec bare = Region(1);
    bare.wsmp = false;
    layout.instruments.push_back({"Bell", {bare}});
    layout.waves.push_back(Pattern(10));
    layout.waves.push_back(Pattern(300));
    return layout;
}

int16_t SampleAt(const uint8_t* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }

std::string ImageBytes() { return std::string(reinterpret_cast<const char*>(WaveImage.items), WaveImage.count); }

class Wave : public ::testing::Test {
protected:
    void SetUp() override {
        ReserveWaveImage();
        ASSERT_EQ(1, IndexBytes(BuildDls(Layout())));
        selectedInstrument = 0;
        envelopeParams[0] = 0.0f;
        envelopeParams[1] = 0.5f;
        envelopeParams[2] = 0.25f;
    }
    void TearDown() override { ResetSoundSet(); }

    // The samples of a rendered image, after checking its header.
    std::vector<int16_t> Rendered(uint32_t expectedCount) {
        std::vector<int16_t> out;
        const std::string image = ImageBytes();
        EXPECT_EQ("RIFF", image.substr(0, 4));
        EXPECT_EQ(U32(uint32_t(image.size() - 8)), image.substr(4, 4));
        EXPECT_EQ("WAVE", image.substr(8, 4));
        const std::string fmt = Chunk("fmt ", U16(1) + U16(1) + U32(22050) + U32(44100) + U16(2) + U16(16));
        EXPECT_EQ(fmt, image.substr(12, fmt.size()));
        const size_t data = 12 + fmt.size();
        EXPECT_EQ("data", image.substr(data, 4));
        EXPECT_EQ(U32(2 * expectedCount), image.substr(data + 4, 4));
        EXPECT_EQ(data + 8 + 2 * expectedCount, image.size());
        for (size_t at = data + 8; at + 1 < image.size(); at += 2)
            out.push_back(SampleAt(reinterpret_cast<const uint8_t*>(image.data()) + at));
        return out;
    }
};

}  // namespace

TEST_F(Wave, RawImageIsThePoolWaveUnchanged) {
    const DlsLayout layout = Layout();
    for (uint32_t k = 0; k < 2; ++k) {
        const Bytes list = WaveChunk(layout.waves[k]);
        const uint32_t listSize = uint32_t(list.size() - 8);
        const uint32_t live = ProcessHeapClient()->LiveBlocks();
        ASSERT_TRUE(BuildRawImage(k));
        EXPECT_EQ(live, ProcessHeapClient()->LiveBlocks());
        EXPECT_EQ(listSize + 8, WaveImage.count);
        EXPECT_EQ("RIFF" + U32(listSize) + "WAVE" + list.substr(12), ImageBytes());
    }
    EXPECT_EQ(kWaveImageReserve, WaveImage.capacity);   // reused, not regrown
}

TEST_F(Wave, DamagedWavesBuildNoImage) {
    Bytes file = BuildDls(Layout());
    const size_t cues = file.find("ptbl") + 16;
    const size_t second = file.find("LIST", file.find("wave") + 4);

    EXPECT_FALSE(BuildRawImage(2));   // past the pool table
    EXPECT_EQ(0u, WaveImage.count);
    EXPECT_FALSE(RenderEnvelopeImage(2));
    EXPECT_EQ(0u, WaveImage.count);

    Bytes bad = file;
    bad.replace(cues + 4, 4, U32(0x7FFFFFF0));   // cue offset far outside the pool
    ASSERT_EQ(1, IndexBytes(bad));
    EXPECT_FALSE(BuildRawImage(1));
    EXPECT_FALSE(RenderEnvelopeImage(1));

    bad = file;
    bad.replace(second + 4, 4, U32(uint32_t(file.size())));   // list size past the image
    ASSERT_EQ(1, IndexBytes(bad));
    EXPECT_FALSE(BuildRawImage(1));
    EXPECT_FALSE(RenderEnvelopeImage(1));

    bad = file;
    const size_t data = file.find("data", second);
    bad.replace(data, 4, "dat_");   // no data chunk
    ASSERT_EQ(1, IndexBytes(bad));
    EXPECT_FALSE(BuildRawImage(1));
    EXPECT_FALSE(RenderEnvelopeImage(1));
    EXPECT_TRUE(BuildRawImage(0));

    bad = file;
    bad.replace(data + 4, 4, U32(602));   // data size one sample past its list
    ASSERT_EQ(1, IndexBytes(bad));
    EXPECT_FALSE(BuildRawImage(1));
    EXPECT_FALSE(RenderEnvelopeImage(1));
    EXPECT_EQ(0u, WaveImage.count);
}

TEST_F(Wave, GainFollowsTheEnvelope) {
    EXPECT_EQ(0.0, EnvelopeGain(-0.001));
    EXPECT_EQ(1.0, EnvelopeGain(0.0));   // no attack ramp
    EXPECT_EQ(1.0, EnvelopeGain(0.5));
    EXPECT_NEAR(0.5, EnvelopeGain(0.625), 1e-9);
    EXPECT_EQ(0.0, EnvelopeGain(0.75));

    envelopeParams[0] = 0.2f;
    EXPECT_NEAR(0.5, EnvelopeGain(0.1), 1e-6);
    EXPECT_EQ(1.0, EnvelopeGain(double(0.2f)));
    EXPECT_EQ(1.0, EnvelopeGain(double(0.5f)));
    EXPECT_EQ(0.0, EnvelopeGain(double(0.5f) + double(0.25f)));

    // An attack past the sustain rises, then follows the release line.
    envelopeParams[0] = 0.6f;
    EXPECT_NEAR(0.55 / 0.6, EnvelopeGain(0.55), 1e-6);
    EXPECT_NEAR(1 - (0.7 - 0.5) / 0.25, EnvelopeGain(0.7), 1e-6);

    // No release: the sound ends at the sustain point.
    envelopeParams[0] = 0.0f;
    envelopeParams[2] = 0.0f;
    EXPECT_EQ(1.0, EnvelopeGain(0.4999));
    EXPECT_EQ(0.0, EnvelopeGain(0.5));
}

TEST_F(Wave, RenderedImageOfALoopedWave) {
    uint32_t loopStart = 0, loopLength = 0;
    const uint32_t live = ProcessHeapClient()->LiveBlocks();
    ASSERT_TRUE(RenderEnvelopeImage(1, &loopStart, &loopLength));
    EXPECT_EQ(live, ProcessHeapClient()->LiveBlocks());
    EXPECT_EQ(100u, loopStart);
    EXPECT_EQ(50u, loopLength);
    const std::vector<int16_t> out = Rendered(16538);
    ASSERT_EQ(16538u, out.size());

    const std::vector<int16_t> source = Pattern(300).samples;
    const double step = double(1.0f / 22050.0f);
    for (uint32_t i = 0; i < out.size(); ++i) {
        // Source indices 0..149, then 100..149 over and over.
        const uint32_t j = i < 150 ? i : 100 + (i - 100) % 50;
        const double t = i * step;
        double gain = 1;
        if (t >= 0.5) gain = 1 - (t - 0.5) / 0.25;
        const double exact = gain * source[j];
        const double rounded = std::nearbyint(exact);
        ASSERT_EQ(int16_t(rounded), out[i]) << "sample " << i;
        if (t < 0.5) {
            ASSERT_EQ(source[j], out[i]) << "sample " << i;
        }
    }
    EXPECT_EQ(0, out.back() / 100);   // faded out at the end
}

TEST_F(Wave, SourceIndicesAndRoundingHalvesToEven) {
    uint64_t expected = 0;
    for (uint64_t i = 0; i < 1000; ++i) {
        const uint64_t j = EnvelopeSourceIndex(i, 100, 50);
        if (i < 150) {
            EXPECT_EQ(i, j);
        } else {
            expected = expected == 149 || expected < 100 ? 100 : expected + 1;
            EXPECT_EQ(expected, j) << i;
        }
        if (i == 149) expected = 149;
    }
    EXPECT_EQ(7u, EnvelopeSourceIndex(9, 7, 0));   // zero-length loop holds its start

    // An attack of two sample periods gives the second sample a gain of
    // exactly 0.5: odd samples land on halves, which go to the even side.
    const int16_t odd[] = {3, 5, -3, -5, 32767};
    const int16_t even[] = {2, 2, -2, -2, 16384};
    DlsLayout layout;
    layout.instruments.push_back({"Half", {Region(0)}});
    for (int16_t v : odd) {
        WaveSpec w;
        w.samples = {1000, v, 1000};
        layout.waves.push_back(w);
    }
    ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
    envelopeParams[0] = 2.0f * (1.0f / 22050.0f);
    envelopeParams[1] = 1.0f;
    for (uint32_t k = 0; k < 5; ++k) {
        ASSERT_TRUE(RenderEnvelopeImage(k));
        const std::string image = ImageBytes();
        const uint8_t* samples = reinterpret_cast<const uint8_t*>(image.data()) + 44;
        EXPECT_EQ(0, SampleAt(samples));
        EXPECT_EQ(even[k], SampleAt(samples + 2)) << odd[k];
        EXPECT_EQ(1000, SampleAt(samples + 4));
        EXPECT_EQ(0, SampleAt(samples + 6));   // past the wave
    }
}

TEST_F(Wave, WavesWithoutLoopFallSilentPastTheirSamples) {
    uint32_t loopStart = 0, loopLength = 99;
    selectedInstrument = 1;   // 10 samples, no loop
    ASSERT_TRUE(RenderEnvelopeImage(0, &loopStart, &loopLength));
    EXPECT_EQ(10u, loopStart);
    EXPECT_EQ(0u, loopLength);
    std::vector<int16_t> out = Rendered(16538);
    const std::vector<int16_t> ten = Pattern(10).samples;
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(ten[i], out[i]);
    for (uint32_t i = 10; i < out.size(); ++i) ASSERT_EQ(0, out[i]) << i;

    selectedInstrument = 3;   // no wsmp: the same
    ASSERT_TRUE(RenderEnvelopeImage(1, &loopStart, &loopLength));
    EXPECT_EQ(300u, loopStart);
    EXPECT_EQ(0u, loopLength);

    selectedInstrument = 2;   // loop 280 + 100 on 300 samples
    ASSERT_TRUE(RenderEnvelopeImage(1, &loopStart, &loopLength));
    EXPECT_EQ(280u, loopStart);
    EXPECT_EQ(100u, loopLength);
    out = Rendered(16538);
    const std::vector<int16_t> source = Pattern(300).samples;
    for (uint32_t i = 0; i < 2000; ++i) {
        const uint32_t j = i < 380 ? i : 280 + (i - 280) % 100;
        ASSERT_EQ(j < 300 ? source[j] : 0, out[i]) << i;
    }

    selectedInstrument = 57;   // no such instrument: no loop
    ASSERT_TRUE(RenderEnvelopeImage(1, &loopStart, &loopLength));
    EXPECT_EQ(300u, loopStart);
}

TEST_F(Wave, LengthIsBoundedForAnyValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case { float sustain, release; bool ok; uint32_t n; } cases[] = {
        {0.5f, 0.25f, true, 16538},
        {0.0f, 0.0f, true, 0},
        {-3.0f, 1.0f, true, 0},
        {-1e30f, -1e30f, true, 0},
        {63.99f, 0.0f, true, uint32_t(std::ceil(double(63.99f) * 22050))},
        {64.0f, 0.0f, true, 1411200},   // past the reserved storage, which grows
        {30.0f, 40.0f, true, 1543500},
        {95.1f, 0.0f, true, uint32_t(std::ceil(double(95.1f) * 22050))},
        {95.11f, 0.0f, false, 0},   // reaches 2,097,152 samples
        {1e30f, 0.0f, false, 0},
        {nan, 0.25f, false, 0},
        {0.5f, nan, false, 0},
        {inf, 0.0f, false, 0},
        {inf, -inf, false, 0},
        {-inf, 0.0f, true, 0},
    };
    for (const Case& c : cases) {
        envelopeParams[1] = c.sustain;
        envelopeParams[2] = c.release;
        const uint32_t live = ProcessHeapClient()->LiveBlocks();
        const bool built = RenderEnvelopeImage(1);
        EXPECT_EQ(live, ProcessHeapClient()->LiveBlocks());
        EXPECT_EQ(c.ok, built) << c.sustain << " " << c.release;
        if (c.ok) {
            EXPECT_EQ(c.n, Rendered(c.n).size());
        } else {
            EXPECT_EQ(0u, WaveImage.count);
        }
    }
    // Odd attack values change nothing about the length.
    envelopeParams[0] = nan;
    envelopeParams[1] = 0.5f;
    envelopeParams[2] = 0.25f;
    ASSERT_TRUE(RenderEnvelopeImage(1));
    EXPECT_EQ(16538u, Rendered(16538).size());
}

// Writes the raw and enveloped images of every instrument's first region of
// the default sound set, for the independent check that reads them back.
TEST(DefaultSoundSet, WritesEveryInstrumentsImages) {
    const char* path = std::getenv("ORVEN_SOUNDSET");
    const char* folder = std::getenv("ORVEN_WAVE_DIR");
    if (!path || !*path || !folder || !*folder) GTEST_SKIP() << "no default sound set";
    ReserveWaveImage();
    ASSERT_EQ(1, ReadSoundSet(path));
    envelopeParams[0] = 0.0f;
    envelopeParams[1] = 0.5f;
    envelopeParams[2] = 0.25f;
    CreateDirectoryA(folder, nullptr);
    FILE* manifest = std::fopen((std::string(folder) + "\\manifest.txt").c_str(), "w");
    ASSERT_NE(nullptr, manifest);
    for (uint32_t i = 0; i < instruments.count; ++i) {
        uint32_t cue;
        if (!RegionCue(instruments[i], 0, cue)) continue;
        selectedInstrument = int32_t(i);
        uint32_t loopStart = 0, loopLength = 0;
        for (int kind = 0; kind < 2; ++kind) {
            ASSERT_TRUE(kind ? RenderEnvelopeImage(cue, &loopStart, &loopLength) : BuildRawImage(cue)) << i;
            const std::string file = std::string(folder) + (kind ? "\\env-" : "\\raw-") + std::to_string(i) + ".wav";
            FILE* f = std::fopen(file.c_str(), "wb");
            ASSERT_NE(nullptr, f);
            ASSERT_EQ(WaveImage.count, std::fwrite(WaveImage.items, 1, WaveImage.count, f));
            std::fclose(f);
        }
        std::fprintf(manifest, "%u %u %u %u\n", i, cue, loopStart, loopLength);
    }
    std::fclose(manifest);
    ResetSoundSet();
}

// The renderer's rounding gives, on every instrument of the default set and
// three envelopes, the bytes of nearbyint (halves to even) on each product.
TEST(DefaultSoundSet, RenderedSamplesRoundHalvesToEven) {
    const char* path = std::getenv("ORVEN_SOUNDSET");
    if (!path || !*path) GTEST_SKIP() << "no default sound set";
    ReserveWaveImage();
    ASSERT_EQ(1, ReadSoundSet(path));
    const float envelopes[3][3] = {{0.0f, 0.5f, 0.25f}, {0.3f, 0.2f, 0.7f}, {0.05f, 1.0f, 1.0f}};
    const double step = double(1.0f / 22050.0f);
    uint64_t compared = 0;
    for (const auto& e : envelopes) {
        for (int p = 0; p < 3; ++p) envelopeParams[p] = e[p];
        for (uint32_t i = 0; i < instruments.count; ++i) {
            uint32_t cue, listSize;
            WaveParts wave;
            if (!RegionCue(instruments[i], 0, cue) || !CueWaveList(cue, listSize)) continue;
            ASSERT_TRUE(SplitWave(CueWaveList(cue, listSize), listSize, wave));
            selectedInstrument = int32_t(i);
            uint32_t loopStart = 0, loopLength = 0;
            ASSERT_TRUE(RenderEnvelopeImage(cue, &loopStart, &loopLength));
            const uint32_t n = (WaveImage.count - 20 - wave.headSize) / 2, count = wave.dataSize / 2;
            const uint8_t* out = WaveImage.items + 20 + wave.headSize;
            for (uint32_t k = 0; k < n; ++k, ++compared) {
                const uint64_t j = EnvelopeSourceIndex(k, loopStart, loopLength);
                const int16_t s = j < count ? int16_t(wave.samples[2 * j] | wave.samples[2 * j + 1] << 8) : 0;
                const int16_t want = int16_t(std::nearbyint(EnvelopeGain(k * step) * s));
                ASSERT_EQ(want, int16_t(out[2 * k] | out[2 * k + 1] << 8)) << i << " sample " << k;
            }
        }
    }
    EXPECT_GT(compared, 1000000u);
    ResetSoundSet();
}
