// Scroll bar: geometry and steps from tables, scripted presses, auto-repeat
// on real thread timers (in a panel window) and painting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/CtlScroll.h"
#include "controls/PanelTimer.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "recording.h"
#include "panel_window.h"

namespace {

struct Note {
    uint32_t bar;
    int32_t value, bound;
};
std::vector<Note> heard;
int32_t bound[2];

void Record(uint32_t bar, const char*, int32_t value) { heard.push_back({bar, value, bound[bar]}); }

size_t NotesOf(uint32_t bar) {
    return size_t(
        std::count_if(heard.begin(), heard.end(), [bar](const Note& n) { return n.bar == bar; }));
}

// A 16 x 160 vertical bar (t 16, L 128, thumb 16-28 at 0) bound to bound[index].
CScrollBar* Bar(uint32_t index, int32_t start) {
    bound[index] = start;
    CScrollBar* bar = CreateScrollBar(&bound[index]);
    bar->SetCallback(Record, index);
    bar->SetSize(SIZE{16, 160});
    return bar;
}

}  // namespace

TEST(ScrollGeometry, ThumbAndPressedPart) {
    struct Row {
        int32_t w, h, vertical, total, page, value, track, start, length;
    } rows[] = {
        {16, 160, 1, 1000, 100, 900, 128, 131, 12},
        {16, 160, 1, 1000, 100, -50, 128, 10, 12},    // -6.4 truncates to -6
        {200, 20, 0, 50, 100, 10, 160, 52, 320},      // Page > Total overruns
        {16, 160, 1, 0, 100, 5, 128, 0, 0},           // Total 0: empty thumb
        {16, 32, 1, 1000, 100, 500, 0, 16, 0},        // no track
        {16, 20, 1, 1000, 100, 0, -12, 16, -1},       // shorter than two arrows
        {16, 160, 1, -1, INT32_MAX, INT32_MIN, 128, INT32_MAX, INT32_MIN},
    };
    for (const Row& r : rows) {
        const ScrollGeometry g =
            ComputeScrollGeometry(r.w, r.h, r.vertical, r.total, r.page, r.value);
        EXPECT_EQ(r.track, g.track);
        EXPECT_EQ(r.start, g.thumbStart) << r.value;
        EXPECT_EQ(r.length, g.thumbLength) << r.value;
    }
    const RECT forward = ComputeScrollGeometry(200, 20, 0, 1000, 100, 0).forward;
    EXPECT_TRUE(forward.left == 180 && forward.top == 0 && forward.right == 200);

    struct Press {
        int32_t total, page, value, x, y;
        uint32_t part;
    } presses[] = {
        {1000, 100, 0, 15, 15, kScrollBack},      {1000, 100, 0, 5, 16, kScrollThumb},
        {1000, 100, 0, 5, 28, kScrollTrackAfter}, {1000, 100, 0, 5, 159, kScrollForward},
        {1000, 100, 0, 16, 150, kScrollTrackAfter}, {1000, 100, 500, 5, 79, kScrollTrackBefore},
        {100, 200, 0, 5, 150, kScrollThumb},      // an overrunning thumb comes before the arrow
        {0, 100, 0, 5, 16, kScrollTrackAfter},    // Total 0: no thumb to grab
    };
    for (const Press& p : presses) {
        const ScrollGeometry g = ComputeScrollGeometry(16, 160, 1, p.total, p.page, p.value);
        EXPECT_EQ(p.part, ScrollPartAt(g, 1, POINT{p.x, p.y})) << p.x << "," << p.y;
    }
}

TEST(ScrollValue, StepsAndDragsStayInRange) {
    struct Row {
        uint32_t state;
        int32_t value, page, total, expected;
    } rows[] = {
        {kScrollBack, 5, 100, 1000, 0},           {kScrollForward, 895, 100, 1000, 900},
        {kScrollTrackBefore, 150, 100, 1000, 50}, {kScrollTrackAfter, 850, 100, 1000, 900},
        {kScrollForward, 0, 100, 0, 0},           {kScrollTrackAfter, 0, 100, 0, 0},
        {kScrollForward | kScrollBack, 50, 100, 1000, 40},   // first bit only
        {kScrollThumb, 50, 100, 1000, 50},
        {kScrollForward, INT32_MAX, -10, INT32_MAX, INT32_MAX},   // no overflow
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, ScrollStepValue(r.state, r.value, 10, r.page, r.total)) << r.state;
    int32_t value = 0;
    for (int i = 0; i < 89; ++i) value = ScrollStepValue(kScrollForward, value, 10, 100, 1000);
    EXPECT_EQ(890, value);
    for (int i = 0; i < 5; ++i) value = ScrollStepValue(kScrollForward, value, 10, 100, 1000);
    EXPECT_EQ(900, value);

    const ScrollGeometry g = ComputeScrollGeometry(16, 160, 1, 1000, 100, 0);
    EXPECT_EQ(500, ScrollDragValue(g, 85, 5, 1000, 100, 0));   // 64 of 128
    EXPECT_EQ(0, ScrollDragValue(g, 3, 5, 1000, 100, 300));
    EXPECT_EQ(900, ScrollDragValue(g, 1000, 5, 1000, 100, 0));
    EXPECT_EQ(0, ScrollDragValue(g, 85, 5, 0, 100, 0));
    for (int32_t h : {32, 20, 0})   // no track: no division, no change
        EXPECT_EQ(77, ScrollDragValue(ComputeScrollGeometry(16, h, 1, 1000, 100, 0), 85, 5, 1000,
                                      100, 77));
}

TEST(ScrollInput, ScriptedPressesMovesAndReleases) {
    heard.clear();
    CScrollBar* bar = Bar(0, 0);
    // Right and middle buttons, and a release that pressed nothing: silence.
    bar->OnMouseDown(kMouseRight, 0, POINT{5, 150});
    bar->OnMouseDown(kMouseMiddle, 0, POINT{5, 150});
    bar->OnMouseUp(kMouseLeft, 0, POINT{5, 150});
    EXPECT_TRUE(heard.empty() && bar->State == 0 && RunningTimerCount() == 0);

    // The thumb: no timer, no step; moves set the value, also on a bar
    // resized below two arrow squares.
    bar->OnMouseDown(kMouseLeft, 0, POINT{5, 20});
    EXPECT_TRUE(bar->State == kScrollThumb && bar->GrabOffset == 4 && bar->TimerId == 0);
    bar->OnMouseMove(0, POINT{5, 84});
    EXPECT_EQ(500, bound[0]);
    for (int h : {32, 20}) {
        bar->SetSize(SIZE{16, h});
        bar->OnMouseMove(0, POINT{5, 10});
    }
    EXPECT_EQ(500, bar->Value);
    bar->OnMouseUp(kMouseLeft, 0, POINT{5, 10});
    EXPECT_EQ(nullptr, CaptureControl());
    ASSERT_EQ(5u, heard.size());
    EXPECT_EQ(1, heard.back().value);

    // Total 0: arrows and track leave the value at 0.
    bar->SetSize(SIZE{16, 160});
    bar->Total = bound[0] = 0;
    bar->Refresh();
    for (int y : {5, 16, 80, 150}) {
        bar->OnMouseDown(kMouseLeft, 0, POINT{5, y});
        EXPECT_TRUE(bar->State != kScrollThumb && bar->Value == 0) << y;
        bar->OnMouseUp(kMouseLeft, 0, POINT{5, y});
    }
    // Released before the first tick: only the step at the press.
    bar->Total = 1000;
    bar->OnMouseDown(kMouseLeft, 0, POINT{5, 150});
    bar->OnMouseUp(kMouseLeft, 0, POINT{5, 150});
    PumpFor(250);
    EXPECT_EQ(10, bound[0]);
    // Destruction stops a running timer.
    bar->OnMouseDown(kMouseLeft, 0, POINT{5, 5});
    EXPECT_EQ(1u, RunningTimerCount());
    bar->Destroy(1);
    EXPECT_EQ(0u, RunningTimerCount());
}

TEST(ScrollInput, TwoBarsEachGetTheirOwnTicks) {
    // Forward arrow (Step, 100 ms) on one bar, track (Page, 200 ms) on the other.
    heard.clear();
    CScrollBar* bars[2] = {Bar(0, 0), Bar(1, 0)};
    bars[0]->OnMouseDown(kMouseLeft, 0, POINT{5, 150});
    bars[1]->OnMouseDown(kMouseLeft, 0, POINT{5, 100});
    const DWORD start = GetTickCount();
    EXPECT_TRUE(PumpUntil([] { return NotesOf(1) >= 2 + 4; }, 10000));
    EXPECT_GE(GetTickCount() - start, 4 * 200u - 60);
    EXPECT_GT(NotesOf(0), NotesOf(1) + 1);
    EXPECT_EQ(10 * int32_t(NotesOf(0) - 1), bound[0]);
    EXPECT_EQ(100 * int32_t(NotesOf(1) - 1), bound[1]);
    bars[0]->Destroy(1);
    EXPECT_EQ(1u, RunningTimerCount());
    bars[1]->Destroy(1);
}

TEST(ScrollWindow, HeldForwardArrowStepsAtPressThenEvery100ms) {
    SelectColorScheme(0);
    CPanel* panel = OpenTestPanel(L"scroll test", 100, 200);
    const HWND handle = GetWindowHandle(panel);
    heard.clear();
    ASSERT_TRUE(AddControl(nullptr, Bar(0, 800), panel, "bar"));
    SetControlAnchors("bar", panel, 10, 10, 26, 170);
    UpdateWindow(handle);
    EXPECT_EQ(0xFF0B34u, ClientPixel(handle, 18, 19));   // inside the up arrow

    const DWORD start = GetTickCount();
    SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 160));
    ASSERT_EQ(2u, heard.size());   // the step, then the press
    EXPECT_EQ(810, bound[0]);
    // About a second: nine ticks reach 900, later ones stay there.
    EXPECT_TRUE(PumpUntil([] { return heard.size() >= 2 + 12; }, 10000));
    EXPECT_GE(GetTickCount() - start, 12 * 100u - 60);
    for (size_t i = 2; i < heard.size(); ++i)
        EXPECT_EQ(std::min<int32_t>(900, 810 + 10 * int32_t(i - 1)), heard[i].bound) << i;

    SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(15, 160));
    EXPECT_EQ(1, heard.back().value);
    EXPECT_EQ(0u, RunningTimerCount());
    EXPECT_EQ(nullptr, CaptureControl());
    const size_t count = heard.size();
    PumpFor(300);
    EXPECT_EQ(count, heard.size());
    CloseTestPanel(panel);
}

TEST(ScrollPaint, TrackThumbButtonsAndArrowsInOrder) {
    SelectColorScheme(0);
    CScrollBar* bar = Bar(0, 0);
    RecordingPainter painter;
    bar->OnPaint(&painter);
    bar->Destroy(1);
    const uint32_t c = colorSchemes[0][0];
    auto hex = [](uint32_t colour) { return " #" + std::to_string(colour & 0xFFFFFF); };
    const std::string face = hex(c), light = hex(ScaleColor(c, 170, 99));
    const std::string dark = hex(ScaleColor(c, 41, 99));
    const std::vector<std::string> expected = {
        "bevel 0,0,16,160" + hex(ScaleColor(c, 2, 3)), "bevel 0,16,16,28" + face,
        "bevel 0,0,16,16" + face, "bevel 0,144,16,160" + face,
        "polygon", "line 8,4,12,12" + light, "line 12,12,4,12" + light, "line 4,12,8,4" + dark,
        "polygon", "line 8,156,4,148" + dark, "line 4,148,12,148" + dark,
        "line 12,148,8,156" + light};
    EXPECT_EQ(expected, painter.draws);
    EXPECT_EQ(std::vector<std::string>{"clip 16x160"}, painter.calls);
    EXPECT_EQ(0, painter.clipDepth);
    const ScrollArrowShape right = ComputeScrollArrow(RECT{180, 0, 200, 20}, kArrowRight);
    EXPECT_TRUE(right.points[0].x == 195 && right.points[0].y == 10 && right.points[1].x == 185 &&
                right.points[2].y == 15);
}
