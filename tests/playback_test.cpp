// Plays images through the real player while the test's wrapper records the
// sound card. Writes each image it plays, and a timeline, for the analysis.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "dls_builder.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

namespace {

WaveSpec Tone(size_t n, double hz, double amplitude) {
    WaveSpec w;
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t(std::lround(amplitude * std::sin(2 * pi * hz * i / 22050))));
    return w;
}

void Keep(const char* name) {
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(WaveImage.items, 1, WaveImage.count, f);
    std::fclose(f);
}

// Plays a tenth of a second of silence and waits for it, so the player's
// first start (loading its driver) is done before the timed plays.
void WarmUpPlayer() {
    const uint32_t bytes = 2205 * 2;
    std::string image = "RIFF____WAVEfmt ";
    const uint8_t fmt[] = {16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0};
    image.append(reinterpret_cast<const char*>(fmt), sizeof fmt);
    image += "data____";
    image.append(bytes, '\0');
    auto put = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) image[at + i] = char(v >> (8 * i)); };
    put(4, uint32_t(image.size() - 8));
    put(40, bytes);
    ASSERT_TRUE(PlaySoundA(image.data(), nullptr, SND_MEMORY | SND_SYNC));
}

}  // namespace

TEST(Playback, RawEnvelopeAndStop) {
    ReserveWaveImage();
    DlsLayout layout;
    const RegionSpec plain = Region(0);
    const RegionSpec looped = Region(1, true, 2205, 2205);   // whole periods of the tone
    layout.instruments.push_back({"Tone", {plain}});
    layout.instruments.push_back({"Loop", {looped}});
    layout.instruments.push_back({"Long", {plain}});
    layout.waves.push_back(Tone(22050, 441, 16000));      // one second
    layout.waves.push_back(Tone(4410, 661.5, 20000));     // loops past its end
    layout.waves.push_back(Tone(3 * 22050, 330.75, 12000));
    ASSERT_EQ(1, IndexBytes(BuildDls(layout)));

    WarmUpPlayer();
    // Silence first, so the recording has a quiet start.
    Sleep(1000);
    selectedInstrument = 0;
    ASSERT_TRUE(BuildRawImage(0));
    Keep("played-raw.wav");
    PlayRaw(0);
    Sleep(2000);

    selectedInstrument = 1;
    envelopeParams[0] = 0.2f;
    envelopeParams[1] = 0.6f;
    envelopeParams[2] = 0.3f;
    ASSERT_TRUE(RenderEnvelopeImage(1));
    Keep("played-envelope.wav");
    PlayEnvelope(1);
    Sleep(2000);

    // A three-second wave stopped after about half a second.
    ASSERT_TRUE(BuildRawImage(2));
    Keep("played-stopped.wav");
    PlayRaw(2);
    Sleep(500);
    StopSound();
    Sleep(2500);
    ResetSoundSet();
}
