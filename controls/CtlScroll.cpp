#include "CtlScroll.h"

#include <algorithm>
#include <new>

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "../rtl/Numbers.h"
#include "../rtl/Str.h"
#include "PanelTimer.h"

namespace {

RECT MakeRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    const RECT r = {Saturate32(left), Saturate32(top), Saturate32(right), Saturate32(bottom)};
    return r;
}

bool Inside(const RECT& r, POINT p) {
    return r.left <= p.x && p.x < r.right && r.top <= p.y && p.y < r.bottom;
}

// Value held to at most Total - Page, then to at least 0.
int32_t ClampValue(int64_t value, int32_t page, int32_t total) {
    return Saturate32(std::max<int64_t>(std::min<int64_t>(value, int64_t(total) - page), 0));
}

void TickScroll(CControl* owner, uint32_t) { static_cast<CScrollBar*>(owner)->StepOnce(); }

void DrawArrow(IPainter* painter, const RECT& button, uint32_t direction, uint32_t fill,
               uint32_t light, uint32_t dark) {
    const ScrollArrowShape shape = ComputeScrollArrow(button, direction);
    painter->DrawPolygon(3, shape.points, fill, fill);
    for (const ScrollArrowShape::Edge& e : shape.edges)
        painter->DrawLine(shape.points[e.from], shape.points[e.to], e.light ? light : dark);
}

}  // namespace

ScrollGeometry ComputeScrollGeometry(int32_t width, int32_t height, int vertical, int32_t total,
                                     int32_t page, int32_t value) {
    ScrollGeometry g;
    g.thickness = vertical ? width : height;
    g.length = vertical ? height : width;
    g.track = Saturate32(int64_t(g.length) - 2 * int64_t(g.thickness));
    g.thumbStart = 0;
    g.thumbLength = 0;
    if (total != 0) {
        g.thumbLength = Saturate32(int64_t(page) * g.track / total);
        g.thumbStart = Saturate32(g.thickness + int64_t(value) * g.track / total);
    }
    const int64_t thumbEnd = int64_t(g.thumbStart) + g.thumbLength;
    g.back = MakeRect(0, 0, g.thickness, g.thickness);
    if (vertical) {
        g.forward = MakeRect(0, int64_t(height) - g.thickness, width, height);
        g.thumb = MakeRect(0, g.thumbStart, width, thumbEnd);
    } else {
        g.forward = MakeRect(int64_t(width) - g.thickness, 0, width, height);
        g.thumb = MakeRect(g.thumbStart, 0, thumbEnd, height);
    }
    return g;
}

uint32_t ScrollPartAt(const ScrollGeometry& g, int vertical, POINT p) {
    if (Inside(g.thumb, p)) return kScrollThumb;
    if (Inside(g.back, p)) return kScrollBack;
    if (Inside(g.forward, p)) return kScrollForward;
    return (vertical ? p.y : p.x) < g.thumbStart ? kScrollTrackBefore : kScrollTrackAfter;
}

int32_t ScrollStepValue(uint32_t state, int32_t value, int32_t step, int32_t page, int32_t total) {
    if (state & kScrollBack) return Saturate32(std::max<int64_t>(0, int64_t(value) - step));
    if (state & kScrollForward) return ClampValue(int64_t(value) + step, page, total);
    if (state & kScrollTrackBefore) return Saturate32(std::max<int64_t>(0, int64_t(value) - page));
    if (state & kScrollTrackAfter) return ClampValue(int64_t(value) + page, page, total);
    return value;
}

int32_t ScrollDragValue(const ScrollGeometry& g, int32_t along, int32_t grabOffset, int32_t total,
                        int32_t page, int32_t value) {
    if (g.track <= 0) return value;
    const int32_t p = Saturate32(int64_t(along) - grabOffset - g.thickness);
    return ClampValue(int64_t(total) * p / g.track, page, total);
}

ScrollArrowShape ComputeScrollArrow(const RECT& b, uint32_t direction) {
    const int64_t w = int64_t(b.right) - b.left, h = int64_t(b.bottom) - b.top;
    const LONG midX = Saturate32((int64_t(b.left) + b.right) / 2);
    const LONG midY = Saturate32((int64_t(b.top) + b.bottom) / 2);
    const LONG nearX = Saturate32(b.left + w / 4), farX = Saturate32(b.left + 3 * w / 4);
    const LONG nearY = Saturate32(b.top + h / 4), farY = Saturate32(b.top + 3 * h / 4);
    switch (direction) {
    case kArrowUp:   // apex, right, left
        return {{{midX, nearY}, {farX, farY}, {nearX, farY}}, {{0, 1, 1}, {1, 2, 1}, {2, 0, 0}}};
    case kArrowDown:   // apex, right, left
        return {{{midX, farY}, {farX, nearY}, {nearX, nearY}}, {{0, 2, 0}, {2, 1, 0}, {1, 0, 1}}};
    case kArrowLeft:   // apex, top, bottom
        return {{{nearX, midY}, {farX, nearY}, {farX, farY}}, {{1, 2, 1}, {2, 0, 1}, {0, 1, 0}}};
    default:   // right: apex, top, bottom
        return {{{farX, midY}, {nearX, nearY}, {nearX, farY}}, {{0, 1, 0}, {1, 2, 0}, {2, 0, 1}}};
    }
}

CScrollBar::CScrollBar(int32_t* bound)
    : Step(10), GrabOffset(0), Total(1000), State(0), Value(bound ? *bound : 0), Bound(bound),
      TimerId(0), Vertical(1), Page(100) {}

CScrollBar::~CScrollBar() {
    if (TimerId) StopTimer(TimerId);
    TimerId = 0;
}

int CScrollBar::GetKind() { return 0; }

ScrollGeometry CScrollBar::Geometry() const {
    return ComputeScrollGeometry(width, height, Vertical, Total, Page, Value);
}

void CScrollBar::OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) {
    OnMouseDown(button, modifiers, point);
}

void CScrollBar::OnMouseDown(int32_t button, uint32_t, POINT point) {
    if (button != kMouseLeft) return;
    const ScrollGeometry g = Geometry();
    const uint32_t part = ScrollPartAt(g, Vertical, point);
    if (part == kScrollThumb)
        GrabOffset = Saturate32(int64_t(Vertical ? point.y : point.x) - g.thumbStart);
    State |= part;
    if (!TimerId) {
        if (part & (kScrollBack | kScrollForward))
            TimerId = StartTimer(TickScroll, this, kScrollArrowPeriod);
        else if (part & (kScrollTrackBefore | kScrollTrackAfter))
            TimerId = StartTimer(TickScroll, this, kScrollTrackPeriod);
    }
    SetCapture(1);
    Invalidate();
    // The owner may delete the bar from either call.
    CControlWatch watch(this);
    if (TimerId) StepOnce();
    if (!watch.Destroyed()) NotifyNow(0);
}

void CScrollBar::StepOnce() {
    Value = ScrollStepValue(State, Value, Step, Page, Total);
    if (Bound) *Bound = Value;
    Invalidate();
    NotifyNow(0);
}

void CScrollBar::OnMouseMove(uint32_t, POINT point) {
    if (!(State & kScrollThumb)) return;
    Value =
        ScrollDragValue(Geometry(), Vertical ? point.y : point.x, GrabOffset, Total, Page, Value);
    if (Bound) *Bound = Value;
    Invalidate();
    NotifyNow(0);
}

void CScrollBar::OnMouseUp(int32_t button, uint32_t, POINT) {
    if (button != kMouseLeft || State == 0) return;
    SetCapture(0);
    OnCaptureLost();
}

void CScrollBar::OnCaptureLost() {
    if (State == 0) return;
    State = 0;
    if (TimerId) StopTimer(TimerId);
    TimerId = 0;
    Invalidate();
    NotifyNow(1);
}

int32_t CScrollBar::AccessibleRole() { return ROLE_SYSTEM_SCROLLBAR; }

void CScrollBar::Describe(AccessibleFacts& facts, uint32_t) {
    facts.hasValue = true;
    FormatTextW(facts.value, kAccessibleTextUnits, L"%d", Value);
}

void CScrollBar::Refresh() {
    if (Bound) Value = *Bound;
    Invalidate();
}

void CScrollBar::OnPaint(IPainter* painter) {
    if (!painter) return;
    const uint32_t face = (*currentScheme)[kSchemeFace];
    const uint32_t arrow = (*currentScheme)[kSchemeAccent];
    const uint32_t light = ScaleColor(face, 170, 99);
    const uint32_t dark = ScaleColor(face, 41, 99);
    const ScrollGeometry g = Geometry();
    const RECT whole = {0, 0, width, height};

    painter->PushClip();
    painter->ClipRect(whole);
    painter->DrawBevel(whole, ScaleColor(face, 2, 3), 0, 1);
    painter->DrawBevel(g.thumb, face, !(State & kScrollThumb), 1);
    painter->DrawBevel(g.back, face, !(State & kScrollBack), 1);
    painter->DrawBevel(g.forward, face, !(State & kScrollForward), 1);
    DrawArrow(painter, g.back, Vertical ? kArrowUp : kArrowLeft, arrow, light, dark);
    DrawArrow(painter, g.forward, Vertical ? kArrowDown : kArrowRight, arrow, light, dark);
    painter->PopClip();
}

CScrollBar* CreateScrollBar(int32_t* bound) {
    void* memory = ThreadHeap->Alloc(sizeof(CScrollBar), 0, CTL_SCROLL_TAG, __LINE__);
    return new (memory) CScrollBar(bound);
}
