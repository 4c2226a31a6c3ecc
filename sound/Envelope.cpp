#include "Envelope.h"

#include <cmath>
#include <cstring>

#include "../rtl/Str.h"
#include "SoundSet.h"

float envelopeParams[3] = {0.0f, 0.5f, 0.25f};
const wchar_t* const envelopeParamNames[3] = {L"Attack", L"Sustain", L"Release"};

double EnvelopeGain(double t) {
    const double attack = envelopeParams[0], sustain = envelopeParams[1], release = envelopeParams[2];
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    if (t < sustain) return 1;
    if (t < sustain + release) return 1 - (t - sustain) / release;
    return 0;
}

namespace {

// (Sustain + Release) x rate: the length in samples before rounding up.
double EnvelopeLength() { return (double(envelopeParams[1]) + double(envelopeParams[2])) * kEnvelopeRate; }

}  // namespace

bool EnvelopeSampleCount(uint32_t limit, uint32_t& n) {
    const double x = EnvelopeLength();
    if (std::isnan(x)) return false;
    if (x <= 0) {
        n = 0;
        return true;
    }
    if (x >= limit) return false;
    n = uint32_t(std::ceil(x));
    return true;
}

const char* EnvelopeSaveRefusal() {
    const double x = EnvelopeLength();
    if (std::isnan(x)) return "The envelope gives no sound: Sustain + Release is not a number.";
    if (x <= 0) return "The envelope gives no sound: Sustain + Release must be above 0 seconds.";
    if (x >= kEnvelopeSampleLimit)
        return "The envelope is too long to render: Sustain + Release must give fewer than 2,097,152 samples "
               "(about 95.1 seconds).";
    return nullptr;
}

const char* EnvelopeCountText(float seconds, uint32_t slot) {
    static char texts[3][48];
    char* text = texts[slot % 3];
    const double c = std::floor(double(seconds) * kEnvelopeRate);
    if (std::isnan(c))
        FormatText(text, sizeof texts[0], "nan");
    else if (std::isinf(c))
        FormatText(text, sizeof texts[0], c < 0 ? "-inf" : "inf");
    else
        FormatText(text, sizeof texts[0], "%.0f", c);
    return text;
}

bool RenderEnvelopeImage(uint32_t cue, uint32_t* loopStartOut, uint32_t* loopLengthOut) {
    ClearWaveImage();
    uint32_t listSize;
    const uint8_t* list = CueWaveList(cue, listSize);
    WaveParts wave;
    if (!list || !SplitWave(list, listSize, wave)) return false;

    // Images past the storage reserved at start-up make it grow.
    uint32_t n;
    if (!EnvelopeSampleCount(kEnvelopeSampleLimit, n)) return false;

    const uint32_t sampleCount = wave.dataSize / 2;
    uint32_t loopStart = sampleCount, loopLength = 0;
    if (const InstrumentEntry* entry = SelectedInstrument()) RegionLoop(*entry, 0, loopStart, loopLength);
    if (loopStartOut) *loopStartOut = loopStart;
    if (loopLengthOut) *loopLengthOut = loopLength;

    AppendWaveBytes("RIFF", 4);
    AppendWaveU32(0);
    AppendWaveBytes("WAVE", 4);
    AppendWaveBytes(wave.head, wave.headSize);
    AppendWaveBytes("data", 4);
    AppendWaveU32(2 * n);

    const uint32_t at = WaveImage.count;
    WaveImage.Grow(at + 2 * n, at + 2 * n);
    uint8_t* out = WaveImage.items + at;
    const uint8_t* samples = wave.samples;
    const double step = double(1.0f / float(kEnvelopeRate));
    for (uint32_t i = 0; i < n; ++i) {
        // Past the wave's samples (no loop, or a loop outside them) it is silent.
        const uint64_t j = EnvelopeSourceIndex(i, loopStart, loopLength);
        int value = 0;
        if (j < sampleCount) {
            const int16_t sample = int16_t(uint16_t(samples[2 * j] | samples[2 * j + 1] << 8));
            // Halves to even: lrint rounds by the current mode, which is never changed.
            value = int(std::lrint(EnvelopeGain(i * step) * sample));
        }
        out[2 * i] = uint8_t(value);
        out[2 * i + 1] = uint8_t(unsigned(value) >> 8);
    }

    const uint32_t riffSize = WaveImage.count - kChunkData;
    const uint8_t size[kChunkSizeField] = {uint8_t(riffSize), uint8_t(riffSize >> 8), uint8_t(riffSize >> 16),
                                           uint8_t(riffSize >> 24)};
    std::memcpy(WaveImage.items + kCodeSize, size, kChunkSizeField);
    return true;
}

bool BuildWaveImage(WaveKind kind, uint32_t cue, uint32_t& loopStart, uint32_t& loopLength) {
    loopStart = loopLength = 0;
    if (kind == WaveKind::Raw) return BuildRawImage(cue);
    return RenderEnvelopeImage(cue, &loopStart, &loopLength);
}

void PlayWave(WaveKind kind, uint32_t cue) {
    StopSound();
    uint32_t loopStart, loopLength;
    if (BuildWaveImage(kind, cue, loopStart, loopLength)) PlayWaveImage();
}
