// The label: placement of its text, the clip for a text too wide, and its
// background on a real window with the corner pixels left to the parent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CtlLabel.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "recording.h"
#include "panel_window.h"

namespace {

// A recording painter whose texts all measure the same.
struct MeasuringPainter : RecordingPainter {
    SIZE text = {0, 0};
    int32_t TextWidth(const wchar_t*) override { return text.cx; }
    int32_t TextHeight(const wchar_t*) override { return text.cy; }
};

}  // namespace

TEST(Label, TextCentredClippedWhenWiderAtTopWhenLower) {
    SelectColorScheme(1);
    CLabel* label = CreateLabel(L"Cue");
    label->width = 50;
    label->height = 20;
    const std::string back = " #" + std::to_string((*currentScheme)[6] & 0xFFFFFF);
    const std::string fills = "fill 1,0,49,20" + back + " fill 0,1,1,19" + back + " fill 49,1,50,19" + back;
    const std::string ink = " #" + std::to_string((*currentScheme)[5] & 0xFFFFFF);
    struct {
        SIZE text;
        const char* draws;
        size_t clips;
    } rows[] = {
        {{49, 12}, " text Cue 0,4", 0},   // odd spare pixel to the right and down
        {{50, 12}, " text Cue 0,4", 0},
        {{51, 12}, " text Cue 0,4", 1},
        {{20, 30}, " text Cue 15,0", 0},
    };
    for (const auto& r : rows) {
        MeasuringPainter p;
        p.text = r.text;
        label->OnPaint(&p);
        std::string drawn;
        for (const std::string& d : p.draws) drawn += (drawn.empty() ? "" : " ") + d;
        EXPECT_EQ(fills + r.draws + ink, drawn);
        EXPECT_EQ(r.clips, p.calls.size());
        EXPECT_EQ(0, p.clipDepth);
    }
    label->width = 1;   // one pixel wide: no fill reaches a corner
    MeasuringPainter thin;
    label->OnPaint(&thin);
    EXPECT_EQ("fill 0,1,1,19" + back, thin.draws[0]);
    EXPECT_EQ(3u, thin.draws.size());
    label->Destroy(1);
}

TEST(Label, OnAWindowTheCornersKeepTheParentsColour) {
    SelectColorScheme(1);
    CPanel* panel = OpenTestPanel(L"label test", 160, 80);
    ASSERT_TRUE(AddControl(nullptr, CreateLabel(L"Loop"), panel, "loop"));
    ASSERT_TRUE(AddControl(nullptr, CreateLabel(L""), panel, "empty"));
    SetControlAnchors("loop", panel, 10, 10, 90, 30);
    SetControlAnchors("empty", panel, 10, 40, 90, 60);
    UpdateWindow(GetWindowHandle(panel));
    const Pixels p = ReadPainter(panel->painter);
    const uint32_t parent = (*currentScheme)[8] & 0xFFFFFF, back = (*currentScheme)[6] & 0xFFFFFF;
    for (int top : {10, 40}) {
        int inked = 0;
        for (int y = top; y < top + 20; ++y)
            for (int x = 10; x < 90; ++x) {
                if ((x == 10 || x == 89) && (y == top || y == top + 19))
                    EXPECT_EQ(parent, p.at(x, y)) << x << "," << y;
                else
                    inked += p.at(x, y) != back;
            }
        EXPECT_EQ(top == 10, inked > 0) << "label at " << top;   // the empty one: background only
    }
    CloseTestPanel(panel);
}
