// The information panel built in a real 460 x 480 window from a crafted sound
// set, and its envelope editor driven by window messages.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/InfoPanel.h"
#include "controls/CtlButton.h"
#include "controls/CtlEdit.h"
#include "controls/CtlLabel.h"
#include "controls/CtlSlider.h"
#include "dls_builder.h"
#include "heap_checks.h"
#include "panel/ColorScheme.h"
#include "panel_window.h"
#include "pixels.h"
#include "rtl/Str.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

namespace {

const int32_t W = 460, H = 480;

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (; text && *text; ++text) s += char(*text);
    return s;
}

// The text a control shows: a label's or button's text, an edit's buffer.
std::string TextOf(CControl* c) {
    if (auto* l = dynamic_cast<CLabel*>(c)) return Narrow(l->Text.items);
    if (auto* b = dynamic_cast<CButton*>(c)) return Narrow(b->Text.items);
    if (auto* e = dynamic_cast<CEdit*>(c)) return Narrow(e->Buffer);
    return "";
}

class InfoPanel : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        SelectColorScheme(0);
        OpenPanel(L"info test", W, H);
        ReserveWaveImage();
    }
    static void TearDownTestSuite() {
        ReleaseEnvelopeCurve();
        DeleteControls(panel);
        PanelSuite::TearDownTestSuite();
        ResetSoundSet();
    }
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PanelSuite::SetUp());
        // 0: a looped region, named as a folder would be; 1: no loop; 2: no
        // regions; 3: a cue outside the pool.
        DlsLayout layout;
        layout.instruments.push_back({"CM-64/32 Set", {Region(1, true, 100, 50)}});
        layout.instruments.push_back({"Strings", {Region(0)}});
        layout.instruments.push_back({"Empty", {}});
        layout.instruments.push_back({"Lost", {Region(7)}});
        WaveSpec wave;
        wave.samples.assign(400, 1000);
        layout.waves = {wave, wave};
        ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
        envelopeParams[0] = 0.0f;
        envelopeParams[1] = 0.5f;
        envelopeParams[2] = 0.25f;
    }
    // Each build replaces the controls; they stay from one test to the next.
    void TearDown() override {}
    void Build(int32_t instrument) {
        selectedInstrument = instrument;
        BuildInfoPanel(panel, instrument);
        UpdateWindow(handle);
    }
    static CControl* Find(const char* name) { return FindControl(panel, name); }
    // Types `text` into an edit: a click, a double click that selects
    // everything, then the characters.
    static void TypeInto(const char* edit, const char* text) {
        CControl* e = Find(edit);
        const POINT at = {e->x + 4, e->y + 4};
        Click(at.x, at.y);
        Send(WM_LBUTTONDBLCLK, MK_LBUTTON, at.x, at.y);   // select all
        Send(WM_LBUTTONUP, 0, at.x, at.y);
        Type(text);
        Pump();
    }
    static void Enter() {
        Type("\r");
        Pump();
    }
};

}  // namespace

TEST(InfoFileName, ForbiddenCharactersBecomeUnderscores) {
    EXPECT_STREQ("CM-64_32 Set", FileNameOf("CM-64/32 Set"));
    EXPECT_STREQ("a_b_c_d_e_f_g_h_i_j_k", FileNameOf("a\\b:c*d?e\"f<g>h|i\x01j\x1Fk"));
    EXPECT_STREQ("Caf\xE9 (2)", FileNameOf("Caf\xE9 (2)"));
    EXPECT_STREQ("", FileNameOf(nullptr));
    EXPECT_EQ(kFileNameBytes - 1, std::string(FileNameOf(std::string(400, 'x').c_str())).size());
}

TEST(InfoEnvelopeText, ReadAsTheCLibraryDoesInSinglePrecision) {
    EXPECT_EQ(0.3f, ParseEnvelopeText(L"0.3"));
    EXPECT_EQ(0.0f, ParseEnvelopeText(L"abc"));
    EXPECT_EQ(2.0f, ParseEnvelopeText(L"2s"));
    EXPECT_EQ(-5.0f, ParseEnvelopeText(L" -5"));
    EXPECT_TRUE(std::isinf(ParseEnvelopeText(L"1e300")));
    EXPECT_TRUE(std::isinf(ParseEnvelopeText(L"-inf")));
    EXPECT_TRUE(std::isnan(ParseEnvelopeText(L"nan")));
}

TEST_F(InfoPanel, EveryControlAtItsPlaceWithItsTextAndCallback) {
    Build(0);
    uint32_t size;
    const std::string offset = std::to_string(WaveByteOffset(CueWaveList(1, size)));
    enum Kind { kLabel, kButton, kEdit, kSlider };
    const struct {
        const char* name;
        Kind kind;
        const char* text;
        RECT rect;
        bool callback;
        uint32_t data;
    } rows[] = {
        {"lbl regions", kLabel, "CM-64/32 Set", {2, 2, W - 2, 14}, false, 0},
        {"waveIndexHdr", kLabel, "Wave Index", {2, 16, 98, 28}, false, 0},
        {"ofsHdr", kLabel, "Byte Offset", {100, 16, 196, 28}, false, 0},
        {"loopStartHdr", kLabel, "Loop Start", {198, 16, 262, 28}, false, 0},
        {"loopLengthHdr", kLabel, "Loop Length", {264, 16, 360, 28}, false, 0},
        {"fileHdr", kLabel, "Raw Wave", {362, 16, W - 2, 28}, false, 0},
        {"waveIndex0", kLabel, "1", {2, 30, 98, 42}, false, 0},
        {"ofs0", kLabel, offset.c_str(), {100, 30, 196, 42}, false, 0},
        {"loopStart0", kLabel, "100", {198, 30, 262, 42}, false, 0},
        {"loopEnd0", kLabel, "50", {264, 30, 360, 42}, false, 0},
        {"play0", kButton, "Play", {362, 28, 412, 44}, true, 1},
        {"save0", kButton, "Save", {412, 28, W - 2, 44}, true, 1},
        {"lbl env", kLabel, "Envelope", {2, 52, W - 2, 64}, false, 0},
        {"arPlay", kButton, "Play", {W - 64, 66, W - 2, 86}, true, 1},
        {"arSave", kButton, "Save", {W - 64, 88, W - 2, 108}, true, 1},
        {"lbl_Attack", kLabel, "Attack", {2, 66, 66, 78}, false, 0},
        {"edt_Attack", kEdit, "0", {68, 66, 132, 78}, true, 0},
        {"Attack", kSlider, "", {134, 66, W - 68, 78}, true, 0},
        {"lbl_Sustain", kLabel, "Sustain", {2, 80, 66, 92}, false, 0},
        {"edt_Sustain", kEdit, "0.5", {68, 80, 132, 92}, true, 1},
        {"Sustain", kSlider, "", {134, 80, W - 68, 92}, true, 1},
        {"lbl_Release", kLabel, "Release", {2, 94, 66, 106}, false, 0},
        {"edt_Release", kEdit, "0.25", {68, 94, 132, 106}, true, 2},
        {"Release", kSlider, "", {134, 94, W - 68, 106}, true, 2},
    };
    int count = 0;
    for (const auto& row : rows) {
        CControl* c = Find(row.name);
        ASSERT_NE(nullptr, c) << row.name;
        const RECT r = CControl::RectOf(c);
        EXPECT_TRUE(r.left == row.rect.left && r.top == row.rect.top && r.right == row.rect.right &&
                    r.bottom == row.rect.bottom)
            << row.name << " at " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        const bool kindOk[] = {dynamic_cast<CLabel*>(c) != nullptr, dynamic_cast<CButton*>(c) != nullptr,
                               dynamic_cast<CEdit*>(c) != nullptr, dynamic_cast<CSlider*>(c) != nullptr};
        EXPECT_TRUE(kindOk[row.kind]) << row.name;
        EXPECT_EQ(row.text, TextOf(c)) << row.name;
        EXPECT_EQ(row.callback, c->callback != nullptr) << row.name;
        EXPECT_EQ(row.data, c->userData) << row.name;
        ++count;
    }
    CControl* curve = Find("curve");
    ASSERT_EQ(envelopeCurve, curve);
    const CCurve* c = envelopeCurve;   // the first build's view
    EXPECT_TRUE(c->OriginX == -0.062785916f && c->ViewBottom == -0.0915217251f && c->ViewTop == 1.09366345f &&
                c->ZoomX == 410.0625f && c->ValueScale == 486.0f);
    const RECT r = CControl::RectOf(curve);
    EXPECT_TRUE(r.left == 2 && r.top == 108 && r.right == W - 2 && r.bottom == H - 2);
    EXPECT_EQ(nullptr, curve->callback);
    uint32_t registered = 0;
    for (CControl* c = panel->registry.First(); c; c = panel->registry.Next(c)) ++registered;
    EXPECT_EQ(uint32_t(count + 1), registered);
    CSlider* sustain = dynamic_cast<CSlider*>(Find("Sustain"));
    EXPECT_EQ(&envelopeParams[1], sustain->Bound);
    EXPECT_EQ(0.5f, sustain->Value);
    EXPECT_TRUE(sustain->Min == 0.0f && sustain->Max == 1.0f);

    // Without a loop 0 and 0; without a region, or with a wave outside the
    // pool, the name only: no facts and no Play or Save.
    Build(1);
    EXPECT_EQ("0", TextOf(Find("loopStart0")));
    EXPECT_EQ("0", TextOf(Find("loopEnd0")));
    for (int32_t instrument : {2, 3, -1, 4}) {
        Build(instrument);
        EXPECT_EQ(instrument == 2 ? "Empty" : instrument == 3 ? "Lost" : "", TextOf(Find("lbl regions")));
        for (const char* name : {"waveIndex0", "ofs0", "loopStart0", "loopEnd0", "play0", "save0", "arPlay", "arSave"})
            EXPECT_EQ(nullptr, Find(name)) << name << " for " << instrument;
        EXPECT_NE(nullptr, Find("edt_Sustain"));
        EXPECT_NE(nullptr, Find("curve"));
    }
}

TEST_F(InfoPanel, RebuildsKeepTheEnvelopeTextsAndViewAndFreeTheOldCurve) {
    float saved[5];
    for (int i = 0; i < 5; ++i) saved[i] = curveView[i];
    Build(0);
    envelopeCurve->ZoomX = 200.0f;
    envelopeCurve->OriginX = -0.5f;
    envelopeCurve->ViewBottom = -2.0f;
    envelopeCurve->ViewTop = 3.0f;
    envelopeCurve->ValueScale = 100.0f;
    envelopeParams[2] = 0.75f;
    for (int i = 1; i <= 4; ++i) Build(i % 4);   // warm: every kind of panel once
    const LiveBlocks live;
    for (int i = 1; i <= 1000; ++i) BuildInfoPanel(panel, i % 4);
    EXPECT_EQ(0, live.Added());
    EXPECT_EQ(0.75f, envelopeParams[2]);
    EXPECT_EQ("0.75", TextOf(Find("edt_Release")));
    const CCurve* c = envelopeCurve;
    EXPECT_TRUE(c->ZoomX == 200.0f && c->OriginX == -0.5f && c->ViewBottom == -2.0f && c->ViewTop == 3.0f &&
                c->ValueScale == 100.0f);
    EXPECT_TRUE(c->XMin == 0.0f && c->XMax == 1.0f && c->ValueMin == 0.0f && c->ValueMax == 1.0f);
    ReleaseEnvelopeCurve();
    DeleteControls(panel);
    for (int i = 0; i < 5; ++i) curveView[i] = saved[i];
}

TEST_F(InfoPanel, EditsCommitSlidersRewriteAndAnyTypedValueIsSafe) {
    Build(0);
    CSlider* attack = dynamic_cast<CSlider*>(Find("Attack"));
    CEdit* edit = dynamic_cast<CEdit*>(Find("edt_Attack"));
    TypeInto("edt_Attack", "0.3");
    EXPECT_EQ(0.0f, envelopeParams[0]);   // typed, not committed
    Enter();
    EXPECT_EQ(0.3f, envelopeParams[0]);
    EXPECT_EQ(0.3f, attack->Value);
    // The thumb's grey outline now starts where 0.3 puts it.
    UpdateWindow(handle);
    const int32_t thumb = attack->x + SliderThumbX(0.3f, 0.0f, 1.0f, attack->width);
    const Pixels shown = ReadPainter(panel->painter);
    EXPECT_EQ(0x646464u, shown.at(thumb + 1, attack->y + attack->height / 2 - 4));

    // Letters give 0 and stay in the edit; 2 stays typed with the thumb at the right end.
    TypeInto("edt_Attack", "abc");
    Enter();
    EXPECT_EQ(0.0f, envelopeParams[0]);
    EXPECT_EQ(std::wstring(L"abc"), edit->Buffer);
    TypeInto("edt_Attack", "2");
    Enter();
    EXPECT_EQ(2.0f, envelopeParams[0]);
    EXPECT_EQ(std::wstring(L"2"), edit->Buffer);
    EXPECT_EQ(attack->width - 18, SliderThumbX(attack->Value, attack->Min, attack->Max, attack->width));

    // Dragging the Sustain slider rewrites its edit on every move.
    CSlider* sustain = dynamic_cast<CSlider*>(Find("Sustain"));
    const int32_t my = sustain->y + 6;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, sustain->x + 9, my);
    EXPECT_EQ("0", TextOf(Find("edt_Sustain")));
    Send(WM_MOUSEMOVE, MK_LBUTTON, sustain->x + 9 + (sustain->width - 18) / 4, my);
    wchar_t expected[16];
    FormatTextW(expected, 16, L"%g", envelopeParams[1]);
    EXPECT_NEAR(0.25f, envelopeParams[1], 0.01f);
    EXPECT_EQ(Narrow(expected), TextOf(Find("edt_Sustain")));
    Send(WM_LBUTTONUP, 0, sustain->x + sustain->width, my);
    EXPECT_EQ("1", TextOf(Find("edt_Sustain")));
    EXPECT_EQ(1.0f, envelopeParams[1]);

    // Not numbers, infinities and huge or negative values: the panel paints,
    // rebuilds and renders without fault.
    for (const char* typed : {"nan", "inf", "-inf", "1e30", "1e300", "-5", "123456789012345"}) {
        for (const char* edit : {"edt_Attack", "edt_Sustain", "edt_Release"}) {
            TypeInto(edit, typed);
            Enter();
        }
        Build(0);
        panel->Invalidate();
        UpdateWindow(handle);
        RenderEnvelopeImage(1);
    }
    EXPECT_EQ(123456789012345.0f, envelopeParams[0]);
}

TEST_F(InfoPanel, ASliderMoveRepaintsItsEditAndTheCurve) {
    Build(0);
    const Pixels before = ReadPainter(panel->painter);
    CControl* sustain = Find("Sustain");
    const POINT end = {sustain->x + sustain->width - 1, sustain->y + 6};
    Click(end.x, end.y);
    ASSERT_EQ(1.0f, envelopeParams[1]);
    UpdateWindow(handle);
    const Pixels moved = ReadPainter(panel->painter);
    Build(0);   // every control drawn afresh
    const Pixels rebuilt = ReadPainter(panel->painter);
    for (const char* name : {"edt_Sustain", "curve"}) {
        const RECT r = CControl::RectOf(Find(name));
        int changed = 0, stale = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                changed += before.at(x, y) != rebuilt.at(x, y);
                stale += moved.at(x, y) != rebuilt.at(x, y);
            }
        EXPECT_GT(changed, 0) << name;
        EXPECT_EQ(0, stale) << name;
    }
}

TEST_F(InfoPanel, TheEnvelopePlayButtonPlaysTheEnvelopedWave) {
    Build(0);
    CControl* play = Find("arPlay");
    play->callback(play->userData, play->name, 1);
    const std::vector<uint8_t> played(WaveImage.items, WaveImage.items + WaveImage.count);
    StopSound();
    ASSERT_TRUE(RenderEnvelopeImage(1));
    EXPECT_TRUE(played == std::vector<uint8_t>(WaveImage.items, WaveImage.items + WaveImage.count));
}
