// CScrollBar: arrow buttons, a track and a thumb, bound to a caller's integer.
//
// State table (left button; other buttons do nothing):
//   press on thumb        -> State 4, GrabOffset set, no timer, no step
//   press on back arrow   -> State 1, 100 ms timer, one step at once
//   press on fwd arrow    -> State 2, 100 ms timer, one step at once
//   press on track before -> State 8, 200 ms timer, one step (a page) at once
//   press on track after  -> State 16, 200 ms timer, one step (a page) at once
//   move while State 4    -> Value from the pointer
//   tick                  -> one step of the first held part
//   release, State != 0   -> State 0, NotifyNow(1), capture and timer released
//   release, State == 0   -> nothing
//   capture lost          -> as a release (the capture is already gone)
// The owner hears last in each step: it may delete the bar from its callback.
// A refused timer (id 0) means no step at the press and no repeat.
#pragma once

#include <cstdint>

#include "../panel/Control.h"

#define CTL_SCROLL_TAG ".\\CtlScroll.cpp"

enum : uint32_t {
    kScrollBack = 1,
    kScrollForward = 2,
    kScrollThumb = 4,
    kScrollTrackBefore = 8,
    kScrollTrackAfter = 16,
};

const uint32_t kScrollArrowPeriod = 100;   // milliseconds
const uint32_t kScrollTrackPeriod = 200;

// The bar's parts along its length, from its size and values.
struct ScrollGeometry {
    int32_t thickness;     // t: width of a vertical bar, height of a horizontal one
    int32_t length;        // height of a vertical bar, width of a horizontal one
    int32_t track;         // L = length - 2t
    int32_t thumbStart;    // along the bar
    int32_t thumbLength;
    RECT back;             // the arrow buttons and the thumb in the bar's coordinates
    RECT forward;
    RECT thumb;
};
// Thumb length Page*L/Total and start t + Value*L/Total, truncating towards
// zero; both 0 (start and length) when Total is 0. No minimum thumb length:
// a Page of Total or more fills or overruns the track, and L <= 0 gives a
// thumb of no positive length. Products are taken in 64 bits and results
// held to the 32-bit range.
ScrollGeometry ComputeScrollGeometry(int32_t width, int32_t height, int vertical, int32_t total,
                                     int32_t page, int32_t value);

// The part a press at `point` falls on, tested in this order: thumb, back
// arrow, forward arrow, else the track before or after the thumb's start.
// Rectangles include their left/top and exclude their right/bottom edge.
uint32_t ScrollPartAt(const ScrollGeometry& geometry, int vertical, POINT point);

// Value after one step of the first held part (back, forward, track before,
// track after); held between 0 and Total - Page, 0 winning. Unchanged when
// none of them is held.
int32_t ScrollStepValue(uint32_t state, int32_t value, int32_t step, int32_t page, int32_t total);

// Value for a thumb dragged to `along` (pointer position along the bar):
// Total * (along - grabOffset - t) / L, then at most Total - Page, then at
// least 0. A track of no positive length (a bar shrunk below two arrow
// squares) leaves `value` as it is.
int32_t ScrollDragValue(const ScrollGeometry& geometry, int32_t along, int32_t grabOffset,
                        int32_t total, int32_t page, int32_t value);

// Triangle of an arrow button: apex first, then the base corners, and its
// three edges in drawing order, each light (1) or dark (0).
enum : uint32_t { kArrowUp, kArrowDown, kArrowLeft, kArrowRight };
struct ScrollArrowShape {
    POINT points[3];
    struct Edge {
        uint8_t from, to, light;
    } edges[3];
};
ScrollArrowShape ComputeScrollArrow(const RECT& button, uint32_t direction);

class CScrollBar : public CControl {
public:
    // Value := *bound (0 without one).
    explicit CScrollBar(int32_t* bound = nullptr);
    // Stops a running timer.
    ~CScrollBar() override;

    int GetKind() override;
    void OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) override;
    void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
    void OnMouseMove(uint32_t modifiers, POINT point) override;
    void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
    void OnCaptureLost() override;
    void OnPaint(IPainter* painter) override;
    void Refresh() override;
    // A scroll bar whose value is its position.
    int32_t AccessibleRole() override;
    void Describe(AccessibleFacts& facts, uint32_t child) override;

    // One step of the first held part (the press and every timer tick).
    void StepOnce();
    ScrollGeometry Geometry() const;

    // Fields, in order.
    int32_t Step;
    int32_t GrabOffset;
    int32_t Total;
    uint32_t State;
    int32_t Value;
    int32_t* Bound;
    uint32_t TimerId;
    int32_t Vertical;
    int32_t Page;
};

// Allocates (tag ".\CtlScroll.cpp") and constructs a scroll bar.
CScrollBar* CreateScrollBar(int32_t* bound);
