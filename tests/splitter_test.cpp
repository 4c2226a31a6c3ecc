// The splitter: pane placement, the drag and its limits, routing of a fixed
// splitter, and the XOR feedback on a real window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CtlSplitter.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "recording.h"
#include "panel_window.h"

namespace {

std::vector<std::string> events;

struct Pane : CControl {
    std::string tag;
    uint32_t colour = 0;
    int sizes = 0;

    void SetSize(SIZE s) override {
        ++sizes;
        CControl::SetSize(s);
    }
    void OnMouseDown(int32_t button, uint32_t, POINT p) override {
        events.push_back(tag + " down " + std::to_string(button) + " " + std::to_string(p.x) + "," +
                         std::to_string(p.y));
    }
    void OnPaint(IPainter* p) override { p->FillRect(RECT{0, 0, width, height}, colour); }
};

Pane* MakePane(const char* tag, uint32_t colour = 0) {
    Pane* p = NewControl<Pane>("splitter_test", __LINE__);
    p->tag = tag;
    p->colour = colour;
    return p;
}

// A root without a window that records cursors too.
struct Root : PaintingRoot {
    void SetCursor(int32_t cursor) override { events.push_back("cursor " + std::to_string(cursor)); }
};

// A splitter of the given size under a root, with two panes.
struct Tree {
    Root root;
    CSplitter* splitter;
    Pane* first = MakePane("first");
    Pane* second = MakePane("second");

    Tree(uint32_t flags, int32_t position, int32_t width, int32_t height)
        : splitter(CreateSplitter(flags, position)) {
        root.AppendChild(splitter);
        splitter->AppendChild(first);
        splitter->OnChildAdded();
        splitter->AppendChild(second);
        splitter->OnChildAdded();
        splitter->SetSize(SIZE{width, height});
        events.clear();
    }
};

// "x,y wxh" of a control or a pane.
template <class T>
std::string Box(const T& c) {
    return std::to_string(c.x) + "," + std::to_string(c.y) + " " + std::to_string(c.width) + "x" +
           std::to_string(c.height);
}

}  // namespace

TEST(SplitterGeometry, PanesFromSizeFlagsAndPosition) {
    struct Row {
        int32_t width, height;
        uint32_t flags;
        int32_t position;
        const char* first;
        const char* second;
    } rows[] = {
        {584, 400, 5, 128, "0,0 124x400", "132,0 452x400"},      // the main window's
        {584, 400, 6, 100, "0,0 480x400", "488,0 96x400"},       // from the right
        {684, 400, 6, 100, "0,0 580x400", "588,0 96x400"},       // wider: the second keeps 96
        {300, 200, 0, 50, "0,0 300x46", "0,54 300x146"},         // horizontal bar
        {300, 200, 2, 50, "0,0 300x146", "0,154 300x46"},        // from the bottom
        {6, 30, 4, 3, "0,0 0x30", "7,0 0x30"},                   // smaller than the bar
        {100, 50, 4, INT32_MIN, "0,0 0x50", "-2147483644,0 2147483647x50"},   // saturated
        {100, 50, 6, INT32_MIN, "0,0 2147483643x50", "2147483647,0 0x50"},
    };
    for (const Row& r : rows) {
        const SplitterPanes p = ComputeSplitterPanes(r.width, r.height, r.flags, r.position);
        EXPECT_EQ(r.first, Box(p.first)) << r.width << " flags " << r.flags << " at " << r.position;
        EXPECT_EQ(r.second, Box(p.second)) << r.width << " flags " << r.flags << " at " << r.position;
    }
}

TEST(SplitterGeometry, NineByteBarAndOneClamp) {
    const struct { int32_t along, centre, hit; } hits[] = {
        {123, 128, 0}, {124, 128, 1}, {132, 128, 1}, {133, 128, 0}, {INT32_MIN, INT32_MAX, 0}};
    for (const auto& h : hits) EXPECT_EQ(h.hit, SplitterBarHit(h.along, h.centre)) << h.along;
    const struct { int32_t along, extent, result; } clamps[] = {
        {-50, 584, 4}, {0, 584, 4}, {300, 584, 300}, {584, 584, 580}, {INT32_MAX, 584, 580}, {3, 6, 4}};
    for (const auto& c : clamps) EXPECT_EQ(c.result, ClampBarCentre(c.along, c.extent)) << c.along;
}

TEST(Splitter, PlacesOnlyTwoPanesAndSizesThemOnlyOnChange) {
    Tree t(4, 100, 400, 300);
    Pane* third = MakePane("third");
    third->x = 7;
    third->y = 9;
    t.splitter->AppendChild(third);
    t.splitter->OnChildAdded();
    EXPECT_EQ("0,0 96x300", Box(*t.first));
    EXPECT_EQ("104,0 296x300", Box(*t.second));
    EXPECT_EQ("7,9 0x0", Box(*third));   // anchors would have filled the splitter
    t.first->sizes = t.second->sizes = 0;

    // The same height: only the second pane changes size.
    t.splitter->SetSize(SIZE{500, 300});
    EXPECT_EQ(0, t.first->sizes);
    EXPECT_EQ(1, t.second->sizes);
    EXPECT_EQ("104,0 396x300", Box(*t.second));
    EXPECT_EQ("7,9 0x0", Box(*third));
}

TEST(Splitter, DragStopsFourFromTheEdgesAndPairsTheFeedback) {
    for (uint32_t flags : {0u, 2u, 4u, 6u}) {
        Tree t(flags, 100, 400, 300);
        const bool vertical = flags & kSplitterVertical;
        const int32_t extent = vertical ? 400 : 300;
        const int32_t centre = SplitterCentre(extent, flags, 100);
        auto at = [&](int32_t along) { return vertical ? POINT{along, 20} : POINT{20, along}; };
        const std::string cursor = vertical ? "cursor 1" : "cursor 2";
        auto feedback = [&](int32_t c) {
            return vertical ? "dragrect " + std::to_string(c - 4) + ",0," + std::to_string(c + 4) + ",300"
                            : "dragrect 0," + std::to_string(c - 4) + ",400," + std::to_string(c + 4);
        };

        t.root.OnMouseDown(kMouseLeft, 0, at(centre + 4));   // the bar's last pixel
        EXPECT_EQ(1, t.splitter->Dragging);
        EXPECT_EQ(t.splitter, CaptureControl());
        t.root.OnMouseMove(0, at(-70));
        EXPECT_EQ(4, t.splitter->DragPos);
        t.root.OnMouseMove(0, at(extent + 70));
        EXPECT_EQ(extent - 4, t.splitter->DragPos);
        t.root.OnMouseUp(kMouseLeft, 0, at(-5));
        EXPECT_EQ(nullptr, CaptureControl());
        EXPECT_EQ(0, t.splitter->FeedbackShown);
        EXPECT_EQ((flags & kSplitterFromFar) ? extent - 4 : 4, t.splitter->Position);
        EXPECT_EQ(vertical ? "0,0 0x300" : "0,0 400x0", Box(*t.first));
        EXPECT_EQ(vertical ? "8,0 392x300" : "0,8 400x292", Box(*t.second));

        // Every rectangle drawn is drawn again to take it away.
        const std::vector<std::string> drawn = {feedback(centre + 4), feedback(centre + 4), feedback(4),
                                                feedback(4), feedback(extent - 4), feedback(extent - 4)};
        EXPECT_EQ(drawn, t.root.painter.draws) << flags;
        EXPECT_EQ(std::vector<std::string>(3, cursor), events) << flags;
        EXPECT_TRUE(t.root.painter.origins.empty());
    }
}

// The capture taken away right after a press on the bar's edge outside the
// range the bar may take: it settles inside the range, as a release would.
TEST(Splitter, ACaptureLostRightAfterAPressSettlesInsideTheRange) {
    Tree t(kSplitterVertical, 2, 400, 300);   // the bar from -2 to 6
    t.root.OnMouseDown(kMouseLeft, 0, POINT{0, 20});
    ASSERT_EQ(1, t.splitter->Dragging);
    ForgetCapture();
    t.splitter->OnCaptureLost();
    EXPECT_EQ(4, t.splitter->Position);
    EXPECT_EQ(0, t.splitter->Dragging);
}

TEST(Splitter, FixedOrOffTheBarThePanesGetThePress) {
    Tree t(5, 128, 584, 400);
    EXPECT_EQ("0,0 124x400", Box(*t.first));
    EXPECT_EQ("132,0 452x400", Box(*t.second));
    t.root.OnMouseMove(0, POINT{128, 5});
    t.root.OnMouseDown(kMouseLeft, 0, POINT{128, 5});
    t.root.OnMouseDown(kMouseLeft, 0, POINT{140, 10});
    EXPECT_EQ(0, t.splitter->Dragging);
    EXPECT_EQ(nullptr, CaptureControl());
    EXPECT_TRUE(t.root.painter.draws.empty());

    // Movable: a press beside the bar, or with another button, still reaches a pane.
    t.splitter->Flags = 4;
    t.root.OnMouseDown(kMouseLeft, 0, POINT{123, 7});
    t.root.OnMouseDown(kMouseRight, 0, POINT{128, 7});
    EXPECT_EQ(0, t.splitter->Dragging);
    EXPECT_EQ((std::vector<std::string>{"second down 1 8,10", "first down 1 123,7"}), events);
}

TEST(Splitter, DragOnAWindowLeavesNoTraceAndMovesTheBar) {
    SelectColorScheme(0);
    CPanel* panel = OpenTestPanel(L"splitter test", 300, 200);
    HWND handle = GetWindowHandle(panel);
    ASSERT_NE(nullptr, handle);
    CSplitter* splitter = CreateSplitter(kSplitterVertical, 100);
    splitter->flags |= kControlClipChildren;
    ASSERT_TRUE(AddControl(nullptr, splitter, panel, "hsplit"));
    ASSERT_TRUE(AddControl("hsplit", MakePane("left", 0xFF0000), panel, "left"));
    ASSERT_TRUE(AddControl("hsplit", MakePane("right", 0x0000FF), panel, "right"));
    UpdateWindow(handle);
    const Pixels before = ReadClient(handle);
    const uint32_t bar = (*currentScheme)[7] & 0xFFFFFF;
    EXPECT_EQ(bar, before.at(100, 100));

    SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(102, 50));
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(180, 60));
    // The dotted outline of the bar at 180 is all that differs.
    const Pixels during = ReadClient(handle);
    int changed = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            if (during.at(x, y) == before.at(x, y)) continue;
            ++changed;
            const bool outline = (x == 176 || x == 183) || ((y == 0 || y == 199) && x > 176 && x < 183);
            EXPECT_TRUE(outline) << x << "," << y;
        }
    EXPECT_GT(changed, 50);

    SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(180, 60));
    // Before any repaint the screen is as it was: the XOR went in pairs.
    const Pixels after = ReadClient(handle);
    EXPECT_TRUE(after.data == before.data);
    EXPECT_EQ(180, splitter->Position);
    EXPECT_EQ(nullptr, CaptureControl());

    UpdateWindow(handle);
    const Pixels moved = ReadClient(handle);
    EXPECT_EQ(0xFF0000u, moved.at(100, 100));
    EXPECT_EQ(0xFF0000u, moved.at(175, 150));
    EXPECT_EQ(bar, moved.at(176, 100));
    EXPECT_EQ(bar, moved.at(183, 100));
    EXPECT_EQ(0x0000FFu, moved.at(184, 100));
    CloseTestPanel(panel);
}
