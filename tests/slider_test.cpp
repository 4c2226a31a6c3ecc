// The slider: value and thumb geometry from tables, scripted mouse input and
// its painting on a real window.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "controls/CtlSlider.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "recording.h"
#include "panel_window.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(SliderGeometry, ThumbFromValue) {
    struct Row {
        float value, min, max;
        int32_t width, x;
    } rows[] = {
        {0.5f, 0, 1, 118, 50}, {0, 0, 1, 118, 0}, {1, 0, 1, 118, 100},
        {0.125f, 0, 1, 22, 0}, {0.375f, 0, 1, 22, 2}, {0.625f, 0, 1, 22, 2}, {0.875f, 0, 1, 22, 4},  // halves to even
        {2, 0, 1, 118, 100}, {-3, 0, 1, 118, 0}, {1e30f, 0, 1, 118, 100},   // outside: the nearer end
        {0.5f, 0, 1, 18, 0}, {0.5f, 0, 1, -40, 0}, {5, 1, 1, 118, 0},       // narrow, empty range
        {0.5f, 1, 0, 118, 100},                                             // reversed: ends at Max
        {kNaN, 0, 1, 118, 0}, {kInf, 0, 1, 118, 100}, {-kInf, 0, 1, 118, 0},
        {0.5f, kNaN, 1, 118, 0}, {0.5f, -kInf, kInf, 118, 0}, {0.5f, 0, kInf, 118, 0},
        {0, -FLT_MAX, FLT_MAX, 118, 50}, {FLT_MAX, -FLT_MAX, FLT_MAX, INT32_MAX, INT32_MAX - 18},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.x, SliderThumbX(r.value, r.min, r.max, r.width))
            << r.value << " in " << r.min << ".." << r.max << " w " << r.width;
}

TEST(SliderGeometry, ValueFromPointer) {
    struct Row {
        int32_t px;
        float min, max;
        int32_t width;
        float value;
    } rows[] = {
        {59, 0, 1, 118, 0.5f}, {9, 0, 1, 118, 0}, {-100, 0, 1, 118, 0}, {109, 0, 1, 118, 1}, {5000, 0, 1, 118, 1},
        {9, 0.1f, 0.7f, 118, 0.1f}, {109, 0.1f, 0.7f, 118, 0.7f}, {59, 1, 0, 118, 0.5f},   // bounds exactly
        {0, 0, 1, 18, 0.5f}, {100, 2, 4, 10, 3}, {0, FLT_MAX, FLT_MAX, 18, FLT_MAX},         // narrow: middle
        {59, -FLT_MAX, FLT_MAX, 118, 0}, {INT32_MIN, -FLT_MAX, FLT_MAX, INT32_MAX, -FLT_MAX},
        {59, 0, kInf, 118, kInf}, {109, -kInf, kInf, 118, kInf}, {59, -kInf, kInf, 118, kNaN},
        {59, kNaN, 1, 118, kNaN}, {0, kNaN, 1, 10, kNaN},
    };
    for (const Row& r : rows) {
        const float v = SliderValueAt(r.px, r.min, r.max, r.width);
        if (std::isnan(r.value))
            EXPECT_TRUE(std::isnan(v)) << r.px << " in " << r.min << ".." << r.max;
        else
            EXPECT_EQ(r.value, v) << r.px << " in " << r.min << ".." << r.max << " w " << r.width;
    }
}

float bound = 0;

// Notes the bound variable too, as it is when the slider notifies.
void Record(uint32_t data, const char* name, int32_t value) {
    RecordNote(data, name, value);
    notes.back() += " " + std::to_string(bound);
}

// The slider sits at (10, 20), 118 x 20, so its middle row is y = 30.
class SliderWindow : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        SelectColorScheme(1);
        OpenPanel(L"slider test", 200, 60);
    }
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PanelSuite::SetUp());
        bound = 0.25f;
        slider = Place(CreateSlider(&bound), "attack", 10, 20, 128, 40, Record);
    }
    CSlider* slider = nullptr;
};

TEST_F(SliderWindow, DragReportsZeroAndReleaseReportsOne) {
    EXPECT_EQ(0.25f, slider->Value);
    EXPECT_EQ(118, slider->width);

    Send(WM_LBUTTONDOWN, 0, 69, 30);   // px 59
    EXPECT_EQ(0.5f, bound);
    EXPECT_EQ(50, SliderThumbX(slider->Value, slider->Min, slider->Max, slider->width));
    EXPECT_EQ(slider, FocusedControl());
    EXPECT_EQ(slider, CaptureControl());
    Send(WM_MOUSEMOVE, 0, -40, 90);    // captured: far left gives Min
    Send(WM_LBUTTONUP, 0, 300, 90);    // far right gives Max
    EXPECT_EQ(nullptr, CaptureControl());
    EXPECT_EQ(0, slider->Dragging);
    Send(WM_MOUSEMOVE, 0, 69, 30);     // not dragging: ignored
    Send(WM_RBUTTONDOWN, 0, 69, 30);   // other buttons: ignored
    Send(WM_RBUTTONUP, 0, 69, 30);
    EXPECT_EQ((std::vector<std::string>{"attack 0 0.500000", "attack 0 0.000000", "attack 1 1.000000"}),
              notes);

    // A click without movement still ends with 1.
    notes.clear();
    Send(WM_LBUTTONDOWN, 0, 19, 30);
    Send(WM_LBUTTONUP, 0, 19, 30);
    EXPECT_EQ((std::vector<std::string>{"attack 0 0.000000", "attack 1 0.000000"}), notes);
}

TEST_F(SliderWindow, RefreshKeepsValuesOutsideTheBounds) {
    const struct {
        float variable;
        int32_t x;
    } rows[] = {{1.5f, 100}, {-2, 0}, {kInf, 100}, {kNaN, 0}, {0.75f, 75}};
    for (const auto& r : rows) {
        bound = r.variable;
        slider->Refresh();
        EXPECT_TRUE(slider->Value == r.variable || (std::isnan(r.variable) && std::isnan(slider->Value)));
        EXPECT_EQ(r.x, SliderThumbX(slider->Value, slider->Min, slider->Max, slider->width));
    }
}

TEST_F(SliderWindow, PaintsGrooveAccentAndAnOpenThumb) {
    bound = 0.5f;
    slider->Refresh();
    panel->Invalidate();
    UpdateWindow(handle);
    const Pixels p = ReadPainter(panel->painter);

    const uint32_t background = (*currentScheme)[8] & 0xFFFFFF;
    const uint32_t accent = (*currentScheme)[4] & 0xFFFFFF;
    const uint32_t dark = 0x272727, light = 0x8A8A8A, grey = 0x646464, black = 0;
    const int m = 30, x = 10 + 50;   // middle row and thumb edge in window coordinates
    const struct {
        int px, py;
        uint32_t colour;
        const char* what;
    } rows[] = {
        {15, m - 1, dark, "groove top"}, {15, m + 1, light, "groove bottom"}, {10, m, dark, "groove left"},
        {127, m, light, "groove right"}, {15, m, accent, "accent"}, {x + 8, m, accent, "accent in the thumb"},
        {x + 1, m - 4, grey, "outline top"}, {x + 16, m + 4, grey, "outline bottom"},
        {x, m, grey, "outline left"}, {x + 17, m - 3, grey, "outline right"},
        {x, m - 4, background, "corner"}, {x + 17, m - 4, background, "corner"},
        {x, m + 4, background, "corner"}, {x + 17, m + 4, background, "corner"},
        {x + 1, m + 2, black, "grip left"}, {x + 16, m - 2, black, "grip right"},
        {x + 8, m - 1, black, "grip upper"}, {x + 8, m + 1, black, "grip lower"},
        {x + 8, m - 3, background, "unfilled"}, {x + 8, m + 2, background, "unfilled"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.colour, p.at(r.px, r.py)) << r.what;
}

}  // namespace
