// The attack-sustain-release envelope, the rendering of a wave through it,
// and the one path that builds or plays either image of a wave.
#pragma once

#include <cstdint>

#include "WaveImage.h"

const uint32_t kEnvelopeRate = 22050;
// Lengths of (sustain + release) x rate from this many samples on (about 95 s)
// are refused.
const uint32_t kEnvelopeSampleLimit = 2097152;

// Attack, sustain (the moment the release begins) and release, in seconds.
extern float envelopeParams[3];
extern const wchar_t* const envelopeParamNames[3];

// The gain, between 0 and 1, at t seconds.
double EnvelopeGain(double t);

// Output samples for the current values: false when the length is not a
// number or reaches `limit` samples.
bool EnvelopeSampleCount(uint32_t limit, uint32_t& n);

// Why the current values give nothing to save (no samples, a length that is
// not a number or reaches kEnvelopeSampleLimit), or null when they do.
const char* EnvelopeSaveRefusal();

// A parameter as the save name prints it: value x rate rounded down, in
// decimal with its sign ("inf", "-inf" or "nan" when not finite). Valid
// until the next call with the same `slot` (0 to 2).
const char* EnvelopeCountText(float seconds, uint32_t slot);

// The source sample index for output index i of a wave looped at
// [loopStart, loopStart + loopLength).
inline uint64_t EnvelopeSourceIndex(uint64_t i, uint64_t loopStart, uint64_t loopLength) {
    if (i < loopStart + loopLength) return i;
    return loopStart + (i - loopStart) % (loopLength ? loopLength : 1);
}

// Builds the enveloped image of cue k in WaveImage and reports the loop used.
// False, with an empty image, when the wave does not lie inside the sound set,
// holds no data or the length is refused.
bool RenderEnvelopeImage(uint32_t cue, uint32_t* loopStart = nullptr, uint32_t* loopLength = nullptr);

// The two images of a wave: as stored, and through the envelope.
enum class WaveKind { Raw, Envelope };

// Builds the image of cue k (the enveloped one reports its loop, else 0 and
// 0); false, with an empty image, as BuildRawImage and RenderEnvelopeImage.
bool BuildWaveImage(WaveKind kind, uint32_t cue, uint32_t& loopStart, uint32_t& loopLength);

// Stops the sound playing, then builds the image and plays it.
void PlayWave(WaveKind kind, uint32_t cue);
inline void PlayRaw(uint32_t cue) { PlayWave(WaveKind::Raw, cue); }
inline void PlayEnvelope(uint32_t cue) { PlayWave(WaveKind::Envelope, cue); }
