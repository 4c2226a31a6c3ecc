// What the program hands the player, judged where it hands it over: the main
// window driven by real window messages, with a recorder in the player's
// place. Every action stops the player, then hands over the image it should;
// shutting down stops the player before anything goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>

#include <string>
#include <vector>

#include "app/InfoPanel.h"
#include "app/MainWindow.h"
#include "controls/CtlList.h"
#include "dls_builder.h"
#include "panel/Accessible.h"
#include "panel_window.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

namespace {

// "stop", or "play" and the bytes the player would read (the RIFF size + 8).
struct Handed {
    bool stop;
    DWORD flags;
    std::string image;
};
std::vector<Handed> handed;

BOOL WINAPI Recorder(LPCSTR sound, HMODULE, DWORD flags) {
    if (!sound) {
        handed.push_back({true, flags, ""});
        return TRUE;
    }
    const uint8_t* p = reinterpret_cast<const uint8_t*>(sound);
    const uint32_t size = kChunkData + ReadU32(p + kCodeSize);
    handed.push_back({false, flags, std::string(sound, size)});
    return TRUE;
}

std::string Image() { return std::string(reinterpret_cast<const char*>(WaveImage.items), WaveImage.count); }

// The image the selected instrument's region 0 gives, raw or enveloped.
std::string Expected(WaveKind kind) {
    uint32_t cue = 0, loopStart, loopLength;
    const InstrumentEntry* entry = SelectedInstrument();
    EXPECT_TRUE(entry && RegionCue(*entry, 0, cue));
    EXPECT_TRUE(BuildWaveImage(kind, cue, loopStart, loopLength));
    return Image();
}

class Player : public ::testing::Test {
protected:
    void SetUp() override {
        // Names out of order and every wave its own, so that a wrong row or
        // a wrong wave shows.
        DlsLayout layout;
        layout.instruments = {{"Strings", {Region(2)}}, {"Bass", {Region(0, true, 40, 100)}},
                              {"Organ", {Region(3)}}, {"Flute", {Region(1)}}};
        for (int w = 0; w < 4; ++w) {
            WaveSpec wave;
            for (int i = 0; i < 300 + 50 * w; ++i) wave.samples.push_back(int16_t((i * (w + 3) * 97) % 20000 - 10000));
            layout.waves.push_back(wave);
        }
        ReserveWaveImage();
        ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
        soundPlayer = Recorder;
        selectedInstrument = 0;
        ComposeMainWindow();
        window = GetWindowHandle(MainWindowPanel());
        ASSERT_TRUE(window);
        Pump();
    }
    void TearDown() override {
        if (MainWindowPanel()) ShutDownMainWindow();
        soundPlayer = PlaySoundA;
        ResetSoundSet();
    }
    // A click on a control of the main window, `at` in its coordinates.
    void Click(CControl* control, POINT at) {
        const POINT p = PointInRoot(control, at);
        handed.clear();
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    // The player was stopped, then handed exactly `image`.
    static void ExpectStopThenPlay(const std::string& image, const char* what) {
        ASSERT_EQ(2u, handed.size()) << what;
        EXPECT_TRUE(handed[0].stop && handed[0].flags == kStopFlags) << what;
        EXPECT_TRUE(!handed[1].stop && handed[1].flags == kPlayFlags) << what;
        EXPECT_TRUE(handed[1].image == image) << what << ": the image handed over differs";
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(Player, EveryActionStopsThenHandsOverItsImage) {
    EXPECT_TRUE(handed.empty()) << "nothing plays at start-up";
    CList* list = static_cast<CList*>(FindControl(MainWindowPanel(), "list"));
    ASSERT_TRUE(list);

    // A click on row 2 (Organ), again on it, then Down (Strings).
    for (int again = 0; again < 2; ++again) {
        Click(list, POINT{20, kListInset + 2 * kListRowHeight + 6});
        EXPECT_EQ(2, selectedInstrument);
        ExpectStopThenPlay(Expected(WaveKind::Envelope), "row click");
    }
    handed.clear();
    SendMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(0, selectedInstrument);
    ExpectStopThenPlay(Expected(WaveKind::Envelope), "Down");

    // Up to Bass, which loops; its raw and enveloped Play.
    SendMessageW(window, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(1, selectedInstrument);
    Click(FindControl(InfoPanel(), "play0"), POINT{5, 5});
    ExpectStopThenPlay(Expected(WaveKind::Raw), "raw Play");
    envelopeParams[0] = 0.01f;
    Click(FindControl(InfoPanel(), "arPlay"), POINT{5, 5});
    ExpectStopThenPlay(Expected(WaveKind::Envelope), "envelope Play");
    envelopeParams[0] = 0.0f;

    // Shutting down stops the player before anything it reads goes.
    handed.clear();
    ShutDownMainWindow();
    ASSERT_FALSE(handed.empty());
    EXPECT_TRUE(handed.back().stop);
    EXPECT_TRUE(handed.size() == 1) << "nothing plays after the stop";
}
