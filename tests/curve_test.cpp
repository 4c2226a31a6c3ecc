// The curve: grid and wheel arithmetic from tables, scripted mouse input,
// the auto-scroll timer, and painting read back from a real window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "controls/Curve.h"
#include "controls/PanelTimer.h"
#include "controls/Timeline.h"
#include "panel/ColorScheme.h"
#include "pixels.h"
#include "heap_checks.h"
#include "recording.h"
#include "tools/bench/timing.h"
#include "panel_window.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

struct Heard {
    int32_t event;
    std::vector<int32_t> ids;
    std::vector<CurvePosition> at;
};
std::vector<Heard> heard;

void Record(uint32_t, int32_t event, const void* data) {
    Heard h{event, {}, {}};
    if (event == kCurveReleasedOnLine) h.at.push_back(*static_cast<const CurvePosition*>(data));
    if (event == kCurvePointsMoved) {
        const CurveMovedEvent* e = static_cast<const CurveMovedEvent*>(data);
        h.ids.assign(e->ids, e->ids + e->count);
        h.at.assign(e->positions, e->positions + e->count);
    }
    if (event == kCurveSelectionChanged) {
        const CurveSelectionEvent* e = static_cast<const CurveSelectionEvent*>(data);
        h.ids.assign(e->ids, e->ids + e->count);
    }
    heard.push_back(h);
}

float Half(uint32_t, uint32_t, float, const CurveSortedPoint*) { return 0.5f; }
float FarBelow(uint32_t, uint32_t, float, const CurveSortedPoint*) { return -100.0f; }
float NotANumber(uint32_t, uint32_t, float, const CurveSortedPoint*) { return kNaN; }
// 0.5 but for NaN on [1, 2), infinity on [2, 3) and 1e30 on [3, 4).
float Gappy(uint32_t, uint32_t, float x, const CurveSortedPoint*) {
    return x < 1 ? 0.5f : x < 2 ? kNaN : x < 3 ? kInf : x < 4 ? 1e30f : 0.5f;
}
// Attack 0, sustain 0.5, release 0.25.
float Envelope(uint32_t, uint32_t, float t, const CurveSortedPoint*) {
    if (t < 0) return 0;
    if (t < 0.5f) return 1;
    if (t < 0.75f) return 1 - (t - 0.5f) / 0.25f;
    return 0;
}

// A 456 x 370 curve with the default view: col(x) = 16x, row(v) = 369 - nearest(369v).
CCurve* MakeCurve(CurvePlotFunction plot) {
    CCurve* c = CreateCurve(plot);
    c->AddRef();
    c->SetSize(SIZE{456, 370});
    c->EventCallback = Record;
    heard.clear();
    return c;
}

void Drop(CCurve* c) { static_cast<CRefObject*>(c)->Release(); }

void Press(CCurve* c, int32_t button, int x, int y) { c->OnMouseDown(button, 0, POINT{x, y}); }
void Move(CCurve* c, int x, int y, uint32_t mods = 0) { c->OnMouseMove(mods, POINT{x, y}); }
void Release(CCurve* c, int x, int y) { c->OnMouseUp(kMouseLeft, 0, POINT{x, y}); }

}  // namespace

TEST(CurveGeometry, NearestStepsAndWheelFromTables) {
    const struct { double v; int32_t n; } nearest[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {kNaN, 0},
        {1e30, kCurvePixelLimit}, {-kInf, -kCurvePixelLimit},
    };
    for (const auto& t : nearest) EXPECT_EQ(t.n, CurveNearest(t.v)) << t.v;

    const struct { double zoom, step; } time[] = {
        {410.0625, 0.25}, {16, 4}, {1, 64}, {1024, 0.0625}, {0, 0}, {-16, 0}, {kNaN, 0}, {kInf, 0},
    };
    for (const auto& t : time) EXPECT_EQ(t.step, CurveTimeStep(t.zoom)) << t.zoom;
    EXPECT_GT(CurveTimeStep(1e30), 0.0);
    EXPECT_EQ(1.0, CurveValueStep(0, 1, 370, 16, 64));      // 92.5 pixels
    EXPECT_EQ(0.25, CurveValueStep(0, 1, 370, 410.0625, 486));   // 78 pixels
    EXPECT_EQ(0.0, CurveValueStep(1, 1, 370, 16, 64));      // empty range
    EXPECT_EQ(0.0, CurveValueStep(1, 0, 370, 16, 64));      // reversed
    EXPECT_EQ(0.0, CurveValueStep(0, 1, 370, kNaN, 64));

    const struct { float value; double notches; float zoom, scale; } wheel[] = {
        {16, 1, 24, 16 / 1.5f}, {64, -1, 64 / 1.5f, 96}, {16, 2, 48, 16 / 3.0f},
        {1000, 1, 1024, 1000 / 1.5f}, {1, -1, 1, 1.5f}, {1.0f / 256, 1, 1, 1.0f / 256},
        {2000, -1, 1024, 2048}, {16, 0, 16, 16}, {kNaN, 1, 1, 1.0f / 256},
    };
    for (const auto& t : wheel) {
        EXPECT_FLOAT_EQ(t.zoom, CurveWheelZoom(t.value, t.notches)) << t.value << " " << t.notches;
        EXPECT_FLOAT_EQ(t.scale, CurveWheelValueScale(t.value, t.notches)) << t.value << " " << t.notches;
    }

    const CurveSortedPoint pts[] = {{7, 1, 0.25f}, {8, 2, 0.75f}, {9, 4, 0.25f}};
    const struct { float x, y; uint32_t at; } line[] = {
        {0, 0.25f, 0}, {1, 0.25f, 0}, {1.5f, 0.5f, 1}, {3, 0.5f, 2}, {4, 0.25f, 2}, {9, 0.25f, 2},
    };
    for (const auto& t : line) {
        EXPECT_FLOAT_EQ(t.y, InterpolatePoints(0, 3, t.x, pts)) << t.x;
        EXPECT_EQ(t.at, CurveFirstAtOrAfter(pts, 3, t.x)) << t.x;
    }
    EXPECT_EQ(0.0f, InterpolatePoints(0, 0, 1, nullptr));
    EXPECT_EQ(0.75f, InterpolatePoints(0, 1, -5, pts + 1));
}

TEST(CurveMouse, WheelZoomsAroundThePointer) {
    CCurve* c = MakeCurve(Half);
    const double x = c->XAt(100), v = c->ValueAt(200);
    c->OnMouseWheel(120, 0, POINT{100, 200});
    EXPECT_FLOAT_EQ(24.0f, c->ZoomX);
    EXPECT_NEAR(x, c->XAt(100), 1e-5);
    EXPECT_NEAR(v, c->ValueAt(200), 1e-5);
    c->OnMouseWheel(120, kMouseCtrl, POINT{100, 200});
    EXPECT_FLOAT_EQ(24.0f, c->ZoomX);
    EXPECT_FLOAT_EQ(64 / 1.5f, c->ValueScale);
    EXPECT_NEAR(v, c->ValueAt(200), 1e-5);
    const float bottom = c->ViewBottom, origin = c->OriginX;
    c->OnMouseWheel(0, 0, POINT{100, 200});
    c->OnMouseWheel(0, kMouseCtrl, POINT{100, 200});
    EXPECT_EQ(24.0f, c->ZoomX);
    EXPECT_EQ(bottom, c->ViewBottom);
    EXPECT_EQ(origin, c->OriginX);
    EXPECT_TRUE(heard.empty());
    Drop(c);
}

TEST(CurveMouse, PressOnTheLineDragsATemporaryPointThatSnaps) {
    const LiveBlocks live;
    CCurve* c = MakeCurve(Half);   // the line is on row 185
    c->SetXRange(-2, 4);           // columns -32 and 64, zero at 0
    c->ValueMin = -1;              // rows 738 and 0, zero at 369
    EXPECT_EQ(kCurveNewPoint, c->HitTest(100, 185 + 9).mode);   // the farthest row that hits
    EXPECT_EQ(kCurveBand, c->HitTest(100, 185 - 10).mode);
    Press(c, kMouseLeft, 100, 188);
    EXPECT_EQ(kCurveNewPoint, c->Drag.mode);
    CurvePoint* p = c->FindPoint(kCurveTemporaryId);
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(c->IsSelected(p));
    ASSERT_EQ(1u, heard.size());
    EXPECT_EQ(std::vector<int32_t>{kCurveTemporaryId}, heard[0].ids);
    const struct { int x, y; float px, py; } moves[] = {
        {66, 5, 4, 1},            // XMax and ValueMax
        {-30, 100, -2, 0},        // XMin; the value is set below
        {3, 364, 0, 0},           // zero on both axes
        {200, 300, 12.5f, 0},
    };
    for (const auto& m : moves) {
        Move(c, m.x, m.y);
        const float value = m.y == 5 || m.y == 364 ? m.py : float(c->ValueAt(m.y));
        EXPECT_FLOAT_EQ(m.px, p->x) << m.x;
        EXPECT_FLOAT_EQ(value, p->y) << m.y;
    }
    Release(c, 3, 364);
    EXPECT_EQ(nullptr, c->Points.First());
    EXPECT_EQ(nullptr, CaptureControl());
    EXPECT_EQ(0u, c->TimerId);
    ASSERT_EQ(2u, heard.size());
    EXPECT_EQ(kCurveReleasedOnLine, heard[1].event);
    EXPECT_FLOAT_EQ(3 / 16.0f, heard[1].at[0].x);
    EXPECT_FLOAT_EQ(5 / 369.0f, heard[1].at[0].y);
    Drop(c);
    EXPECT_EQ(0, live.Added());
}

TEST(CurveMouse, BandSelectsThenDragMovesTheSelection) {
    const LiveBlocks live;
    CCurve* c = MakeCurve(FarBelow);
    ASSERT_TRUE(c->AddPoint(1, 1, 0.25f));   // column 16, row 277
    ASSERT_TRUE(c->AddPoint(2, 2, 0.75f));   // column 32, row 92
    ASSERT_TRUE(c->AddPoint(3, 10, 0.5f));
    ASSERT_TRUE(c->AddPoint(4, 3, 0.9f));    // column 48
    EXPECT_FALSE(c->AddPoint(2, 0, 0));
    EXPECT_FALSE(c->AddPoint(kCurveTemporaryId, 0, 0));

    // Hovering marks the point under the pointer.
    Move(c, 17, 275);
    EXPECT_TRUE(c->IsHot(c->FindPoint(1)));
    Move(c, 200, 20);
    EXPECT_TRUE(c->HotList.IsEmpty());

    const struct { int x0, y0, x1, y1; std::vector<int32_t> selected; size_t events; } bands[] = {
        {8, 20, 40, 300, {2, 1}, 1},   // newest first
        {300, 10, 310, 20, {}, 2},     // emptied: still an event
        {300, 10, 310, 20, {}, 2},     // empty before and after: none
    };
    for (const auto& b : bands) {
        Press(c, kMouseLeft, b.x0, b.y0);
        EXPECT_EQ(kCurveBand, c->Drag.mode);
        Move(c, b.x1, b.y1);
        Release(c, b.x1, b.y1);
        std::vector<int32_t> ids;
        for (CurvePoint* p = c->Selection.First(); p; p = c->Selection.Next(p)) ids.push_back(p->id);
        EXPECT_EQ(b.selected, ids);
        ASSERT_EQ(b.events, heard.size());
        EXPECT_EQ(b.selected, heard.back().ids);
    }

    Press(c, kMouseLeft, 40, 80);
    Move(c, 10, 290);
    Release(c, 10, 290);   // selects 2 and 1 again
    heard.clear();
    Press(c, kMouseLeft, 16, 277);   // on point 1, already selected: no event
    EXPECT_EQ(kCurveMovePoint, c->Drag.mode);
    EXPECT_TRUE(heard.empty());
    Move(c, 32, 277);
    Release(c, 32, 277);
    const float y = float(c->ValueAt(277));
    ASSERT_EQ(1u, heard.size());
    EXPECT_EQ(kCurvePointsMoved, heard[0].event);
    EXPECT_EQ((std::vector<int32_t>{2, 1}), heard[0].ids);
    EXPECT_FLOAT_EQ(3, heard[0].at[0].x);
    EXPECT_FLOAT_EQ(0.75f + (y - 0.25f), heard[0].at[0].y);
    EXPECT_FLOAT_EQ(2, heard[0].at[1].x);
    EXPECT_FLOAT_EQ(y, heard[0].at[1].y);

    // Shift keeps the axis the pointer moved least along.
    Press(c, kMouseLeft, 32, 277);
    c->OnMouseMove(kMouseShift, POINT{80, 270});
    EXPECT_FLOAT_EQ(5, c->FindPoint(1)->x);
    EXPECT_FLOAT_EQ(y, c->FindPoint(1)->y);
    c->OnMouseMove(kMouseShift, POINT{34, 100});
    EXPECT_FLOAT_EQ(2, c->FindPoint(1)->x);
    EXPECT_FLOAT_EQ(float(c->ValueAt(100)), c->FindPoint(1)->y);
    EXPECT_FLOAT_EQ(3, c->FindPoint(2)->x);
    Release(c, 34, 100);
    Drop(c);
    EXPECT_EQ(0, live.Added());
}

TEST(CurveMouse, MiddleButtonPansWithoutEventsOrTimer) {
    CCurve* c = MakeCurve(Half);
    ASSERT_TRUE(c->AddPoint(1, 6.25f, 0.5f));
    const uint32_t timers = RunningTimerCount();
    c->OnMouseDown(kMouseMiddle, 0, POINT{100, 185});   // on the point and the line
    EXPECT_EQ(kCurvePan, c->Drag.mode);
    EXPECT_EQ(timers, RunningTimerCount());
    Move(c, 132, 222);
    EXPECT_FLOAT_EQ(-2, c->OriginX);
    EXPECT_FLOAT_EQ(37 / 369.0f, c->ViewBottom);
    EXPECT_FLOAT_EQ(1 + 37 / 369.0f, c->ViewTop);
    c->OnMouseUp(kMouseMiddle, 0, POINT{132, 222});
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(kCurveIdle, c->Drag.mode);
    EXPECT_FLOAT_EQ(6.25f, c->FindPoint(1)->x);
    Drop(c);
}

TEST(CurveMouse, AutoScrollRunsOnlyWhileTheButtonIsHeld) {
    const LiveBlocks live;
    CTimelineOwner* owner = CreateTimelineOwner();
    CCurve* c = CreateCurve(Half);
    c->AddRef();
    owner->AppendChild(c);
    owner->SetSize(SIZE{456, 370});
    ASSERT_EQ(owner, c->Timeline);
    const uint32_t timers = RunningTimerCount();
    Press(c, kMouseLeft, 100, 20);
    EXPECT_EQ(timers + 1, RunningTimerCount());
    Move(c, 500, 20);   // right of the curve
    ASSERT_TRUE(
        PumpUntil([owner] { return owner->ViewOffset >= 2.5f; }, 5000));
    EXPECT_EQ(owner->ViewOffset, c->OriginX);
    EXPECT_EQ(0.0f, std::fmod(owner->ViewOffset, 1.25f));   // 20 pixels a tick at zoom 16
    Release(c, 500, 20);
    EXPECT_EQ(timers, RunningTimerCount());
    const float after = owner->ViewOffset;
    PumpFor(150);
    EXPECT_EQ(after, owner->ViewOffset);
    Drop(c);
    owner->Destroy(1);
    EXPECT_EQ(0, live.Added());
}

namespace {

// One 456 x 370 window and buffered painter for the painting tests.
class CurvePaint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window = OpenPlainWindow(L"curve", WS_POPUP, 0, 0, 456, 370);
        painter = CreatePainter(window, 1, __LINE__);
    }
    static void TearDownTestSuite() {
        painter->Destroy(1);
        DestroyWindow(window);
    }
    void SetUp() override { SelectColorScheme(0); }
    void Paint(CCurve* c) {
        c->PreparePainter(painter);
        c->OnPaint(painter);
        EXPECT_EQ(0u, painter->ClipDepth());
    }
    static HWND window;
    static CPainter* painter;
};

HWND CurvePaint::window = nullptr;
CPainter* CurvePaint::painter = nullptr;

}  // namespace

TEST_F(CurvePaint, GridRangesAxesFunctionAndPlayheadInPixels) {
    ASSERT_EQ(456, painter->Width());
    CCurve* c = MakeCurve(Half);
    c->OriginX = -1;        // col(x) = 16 (x + 1): zero at 16, time lines every 64
    c->ViewBottom = -0.25f;
    c->ViewTop = 1.25f;     // row(v) = 369 - nearest(246 (v + 0.25)): rows 307, 61, 185 for 0, 1, 0.5
    c->SetXRange(0, 2);     // columns 16 and 48
    ASSERT_TRUE(c->AddPoint(1, 1, 0.75f));   // column 32, row 123
    Paint(c);
    const Pixels p = ReadPainter(painter);
    const struct { int x, y; uint32_t colour; } expected[] = {
        // zero axes, 5 wide, then range lines, 3 wide
        {100, 305, 0x1E1E1E}, {100, 309, 0x1E1E1E}, {14, 200, 0x1E1E1E}, {18, 200, 0x1E1E1E},
        {100, 60, 0x191919}, {100, 62, 0x191919}, {47, 200, 0x191919}, {49, 100, 0x191919},
        {16, 200, 0xE1E1E1},   // playhead at x = 0: XOR over the axis
        {80, 100, 0x141414}, {144, 250, 0x141414},   // time lines at x = 4 and 8
        {100, 246, 0x0A0A0A}, {300, 123, 0x0A0A0A},  // minor value lines at 0.25 and 0.75
        {40, 200, 0x282828}, {60, 200, 0x000000},    // the range fill and outside it
        {1, 185, 0xFF0B34}, {100, 185, 0xFF0B34}, {455, 185, 0xFF0B34}, {100, 184, 0x000000},   // f = 0.5
        {31, 122, 0xFFFFFF},   // the point's 4 x 4 mark
    };
    for (const auto& e : expected) EXPECT_EQ(e.colour, p.at(e.x, e.y)) << e.x << "," << e.y;
    int labels = 0;
    for (int y = 50; y < 72; ++y)
        for (int x = 430; x < 452; ++x) labels += p.at(x, y) == 0xFFFFFF;
    EXPECT_GT(labels, 3);                   // "1" beside row 61
    Drop(c);
}

TEST_F(CurvePaint, NaNInfiniteAndHugeValuesPaintWithoutHanging) {
    CCurve* c = MakeCurve(NotANumber);
    Paint(c);
    Pixels p = ReadPainter(painter);
    for (uint32_t v : p.data) ASSERT_NE(0xFF0B34u, v);
    c->PlotFunction = Gappy;   // columns 16 to 47 are gaps, 48 to 63 far above the top
    Paint(c);
    p = ReadPainter(painter);
    const struct { int x, y; bool drawn; } gappy[] = {
        {10, 185, true}, {20, 185, false}, {40, 185, false}, {50, 185, false},
        {70, 185, true}, {16, 100, false}, {48, 100, false},
    };
    for (const auto& g : gappy) EXPECT_EQ(g.drawn, p.at(g.x, g.y) == 0xFF0B34u) << g.x << "," << g.y;
    // Back from 1e30: a line the clip cuts.
    EXPECT_TRUE(p.at(63, 100) == 0xFF0B34u || p.at(64, 100) == 0xFF0B34u);
    const struct { float origin, zoom, bottom, top, scale, vmin, vmax; } views[] = {
        {0, 0, 0, 1, 64, 0, 1}, {0, -16, 0, 1, 64, 0, 1}, {0, 1e30f, 0, 1, 64, 0, 1},
        {0, 1e-30f, 0, 1, 64, 0, 1}, {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
        {1e30f, 16, -1e30f, 1e30f, 64, 0, 1}, {0, kInf, 0.5f, 0.5f, 0, 1, 1},
        {-kInf, 16, 0, 1e-30f, 1e30f, 1, 0}, {0, 16, 0, 1, 64, -1e30f, 1e30f},
    };
    for (const auto& v : views) {
        c->OriginX = v.origin;
        c->ZoomX = v.zoom;
        c->ViewBottom = v.bottom;
        c->ViewTop = v.top;
        c->ValueScale = v.scale;
        c->ValueMin = v.vmin;
        c->ValueMax = v.vmax;
        c->CursorX = v.origin;
        for (CurvePlotFunction f : {Half, Gappy, Envelope}) {
            c->PlotFunction = f;
            Paint(c);
        }
        c->OnMouseWheel(120, 0, POINT{10, 10});
        Press(c, kMouseLeft, 10, 10);
        Move(c, 20, 20);
        Paint(c);
        Release(c, 20, 20);
    }
    Drop(c);
}

TEST_F(CurvePaint, EnvelopePaintTimeAndAllocations) {
    CCurve* c = MakeCurve(Envelope);
    c->OriginX = -0.062785916f;
    c->ViewBottom = -0.0915217251f;
    c->ViewTop = 1.09366345f;
    c->ZoomX = 410.0625f;
    c->ValueScale = 486.0f;
    Paint(c);
    std::vector<double> times;
    int allocations = 0;
    {
        CountingHeap counter;
        for (int i = 0; i < 40; ++i) {
            const double start = Now();
            c->OnPaint(painter);
            times.push_back(Now() - start);
        }
        allocations = counter.allocations;
    }
    EXPECT_EQ(0, allocations);
    std::printf("[ bench    ] curve 456 x 370 envelope paint: median %.3f ms, %d allocations per paint\n",
                Median(times), allocations / 40);
    Drop(c);
}

TEST(CurvePaintRecorded, TheRangeFillStaysInsideTheCurve) {
    CCurve* c = MakeCurve(Half);
    c->SetXRange(0.0f, 1.0f);
    c->SetValueRange(0.0f, 1.0f);
    auto fills = [c] {
        RecordingPainter p;
        c->OnPaint(&p);
        std::vector<std::string> f;
        for (const std::string& d : p.draws)
            if (d.compare(0, 5, "fill ") == 0) f.push_back(d.substr(0, d.find(" #")));
        return f;
    };
    c->ViewBottom = 0.5f;   // range rows 185 to 553: cut at the curve's bottom
    c->ViewTop = 1.5f;
    EXPECT_EQ(std::vector<std::string>{"fill 0,185,16,370"}, fills());
    c->ViewBottom = 2.0f;   // the whole range below the curve: no fill
    c->ViewTop = 3.0f;
    EXPECT_TRUE(fills().empty());
    Drop(c);
}
