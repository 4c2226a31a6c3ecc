#include "CtlSplitter.h"

#include <new>

#include "../panel/ColorScheme.h"
#include "../rtl/Numbers.h"

namespace {


int32_t NonNegative(int64_t v) { return v < 0 ? 0 : Saturate32(v); }

void PlacePane(CControl* pane, const SplitterPane& place) {
    pane->x = place.x;
    pane->y = place.y;
    if (pane->width != place.width || pane->height != place.height) {
        const SIZE size = {place.width, place.height};
        pane->SetSize(size);
    }
}

}  // namespace

int32_t SplitterExtent(int32_t width, int32_t height, uint32_t flags) {
    return (flags & kSplitterVertical) ? width : height;
}

int32_t SplitterCentre(int32_t extent, uint32_t flags, int32_t position) {
    if (flags & kSplitterFromFar) return Saturate32(int64_t(extent) - position);
    return position;
}

int32_t SplitterPosition(int32_t extent, uint32_t flags, int32_t centre) {
    return SplitterCentre(extent, flags, centre);   // the same reflection both ways
}

SplitterPanes ComputeSplitterPanes(int32_t width, int32_t height, uint32_t flags, int32_t position) {
    const int64_t extent = SplitterExtent(width, height, flags);
    const int64_t c = SplitterCentre(int32_t(extent), flags, position);
    const int32_t before = NonNegative(c - kSplitterHalfBar);
    const int32_t after = NonNegative(extent - c - kSplitterHalfBar);
    const int32_t start = Saturate32(c + kSplitterHalfBar);
    SplitterPanes panes;
    if (flags & kSplitterVertical) {
        const int32_t h = NonNegative(height);
        panes.first = {0, 0, before, h};
        panes.second = {start, 0, after, h};
    } else {
        const int32_t w = NonNegative(width);
        panes.first = {0, 0, w, before};
        panes.second = {0, start, w, after};
    }
    return panes;
}

RECT SplitterBarRect(int32_t width, int32_t height, uint32_t flags, int32_t centre) {
    const int32_t from = Saturate32(int64_t(centre) - kSplitterHalfBar);
    const int32_t to = Saturate32(int64_t(centre) + kSplitterHalfBar);
    RECT r;
    if (flags & kSplitterVertical) {
        r = {from, 0, to, height};
    } else {
        r = {0, from, width, to};
    }
    return r;
}

int SplitterBarHit(int32_t along, int32_t centre) {
    const int64_t d = int64_t(along) - centre;
    return d >= -kSplitterHalfBar && d <= kSplitterHalfBar;
}

int32_t ClampBarCentre(int32_t along, int32_t extent) {
    int64_t v = along;
    const int64_t high = int64_t(extent) - kSplitterHalfBar;
    if (v > high) v = high;
    if (v < kSplitterHalfBar) v = kSplitterHalfBar;
    return int32_t(v);
}

ISplitter::CSplitter::CSplitter() : Dragging(0), Flags(0), Position(0), DragPos(0), FeedbackShown(0) {}

int32_t ISplitter::CSplitter::Along(POINT point) const {
    return (Flags & kSplitterVertical) ? point.x : point.y;
}

int32_t ISplitter::CSplitter::Extent() const { return SplitterExtent(width, height, Flags); }

void ISplitter::CSplitter::PlacePanes() {
    const SplitterPanes panes = ComputeSplitterPanes(width, height, Flags, Position);
    CControl* first = FirstChild();
    if (first) {
        PlacePane(first, panes.first);
        CControl* second = NextChild(first);
        if (second) PlacePane(second, panes.second);
    }
    Invalidate();
}

void ISplitter::CSplitter::Layout() { PlacePanes(); }

void ISplitter::CSplitter::OnChildAdded() { PlacePanes(); }

void ISplitter::CSplitter::SetSizingCursor() {
    SetCursor((Flags & kSplitterVertical) ? kCursorSizeWE : kCursorSizeNS);
}

bool ISplitter::CSplitter::DrawFeedback() {
    IPainter* painter = BeginDraw();
    if (!painter) return false;
    painter->DragRect(SplitterBarRect(width, height, Flags, DragPos));
    EndDraw(painter);
    return true;
}

void ISplitter::CSplitter::ShowFeedback() {
    // Marked only when drawn, so that hiding never leaves an odd XOR behind.
    if (!FeedbackShown && DrawFeedback()) FeedbackShown = 1;
}

void ISplitter::CSplitter::HideFeedback() {
    if (!FeedbackShown) return;
    DrawFeedback();
    FeedbackShown = 0;
}

void ISplitter::CSplitter::AbandonDrag() {
    HideFeedback();
    Dragging = 0;
    if (CaptureControl() == this) SetCapture(0);
}

void ISplitter::CSplitter::OnMouseDown(int32_t button, uint32_t modifiers, POINT point) {
    if ((Flags & kSplitterFixed) || button != kMouseLeft) {
        CControl::OnMouseDown(button, modifiers, point);
        return;
    }
    // A drag whose release went elsewhere must not keep the capture.
    if (Dragging) AbandonDrag();
    const int32_t along = Along(point);
    Dragging = SplitterBarHit(along, SplitterCentre(Extent(), Flags, Position));
    if (!Dragging) {
        CControl::OnMouseDown(button, modifiers, point);
        return;
    }
    SetSizingCursor();
    HideFeedback();
    DragPos = along;
    ShowFeedback();
    SetCapture(1);
}

void ISplitter::CSplitter::OnMouseMove(uint32_t modifiers, POINT point) {
    const int32_t along = Along(point);
    const bool overBar = !(Flags & kSplitterFixed) &&
                         SplitterBarHit(along, SplitterCentre(Extent(), Flags, Position));
    if (overBar || Dragging) SetSizingCursor();
    if (!Dragging) {
        CControl::OnMouseMove(modifiers, point);
        return;
    }
    HideFeedback();
    DragPos = ClampBarCentre(along, Extent());
    ShowFeedback();
}

void ISplitter::CSplitter::OnMouseUp(int32_t button, uint32_t modifiers, POINT point) {
    if (!Dragging) {
        CControl::OnMouseUp(button, modifiers, point);
        return;
    }
    HideFeedback();
    const int32_t centre = ClampBarCentre(Along(point), Extent());
    Position = SplitterPosition(Extent(), Flags, centre);
    Dragging = 0;
    SetCapture(0);
    PlacePanes();
}

void ISplitter::CSplitter::OnCaptureLost() {
    if (!Dragging) return;
    HideFeedback();
    Position = SplitterPosition(Extent(), Flags, ClampBarCentre(DragPos, Extent()));
    Dragging = 0;
    PlacePanes();
}

void ISplitter::CSplitter::OnPaint(IPainter* painter) {
    if (!painter) return;
    const int32_t centre = SplitterCentre(Extent(), Flags, Position);
    painter->FillRect(SplitterBarRect(width, height, Flags, centre), (*currentScheme)[kSchemeBorder]);
    CControl::OnPaint(painter);
}

CSplitter* CreateSplitter(uint32_t flags, int32_t position) {
    CSplitter* splitter =
        new (ThreadHeap->Alloc(sizeof(CSplitter), 0, CTL_SPLITTER_TAG, __LINE__)) CSplitter();
    splitter->Flags = flags;
    splitter->Position = position;
    return splitter;
}
