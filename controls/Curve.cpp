#include "Curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "../rtl/Sort.h"
#include "../rtl/Str.h"
#include "PanelTimer.h"
#include "Timeline.h"

namespace {

const uint32_t kAutoScrollPeriod = 25;    // ms
const double kAutoScrollPixels = 20.0;
const int32_t kHitRadius = 10;            // a point is hit closer than this, both ways
const int32_t kLineHitRows = 9;           // the line is hit this close, or closer
const int32_t kSnapPixels = 8;
const int kStepSearchLimit = 2200;        // halvings or doublings, past any double's exponent
const uint32_t kLabelUnits = 32;          // "%g" of a value, terminator included
const int32_t kMarkerRadius = 5;          // a hot or selected point's ring
const int32_t kDotHalf = 2;               // any other point's square

// Brightening of the background, added to each of its four bytes.
enum : uint32_t {
    kShadeMinor = 0x0A,
    kShadeMajor = 0x14,
    kShadeRange = 0x19,
    kShadeAxis = 0x1E,
    kShadeFill = 0x28,
};

uint32_t Shade(uint32_t add) { return AddColor((*currentScheme)[kSchemeCurveBack], add * 0x01010101u); }

int64_t Distance(int32_t a, int32_t b) {
    const int64_t d = int64_t(a) - int64_t(b);
    return d < 0 ? -d : d;
}

double Hold(double v, double lo, double hi) {
    if (!(v >= lo)) return lo;
    if (!(v <= hi)) return hi;
    return v;
}

void VerticalLine(IPainter* painter, int32_t column, int32_t h, uint32_t colour) {
    painter->DrawLine(POINT{column, 0}, POINT{column, h}, colour);
}

void HorizontalLine(IPainter* painter, int32_t row, int32_t w, uint32_t colour) {
    painter->DrawLine(POINT{0, row}, POINT{w, row}, colour);
}

// The box of the ring drawn around a point at column c, row r.
RECT MarkerBox(int32_t c, int32_t r) {
    return RECT{c - kMarkerRadius, r - kMarkerRadius, c + kMarkerRadius + 1, r + kMarkerRadius + 1};
}

}  // namespace

uint32_t CurvePointKey::KeyHash() const { return HashKey4(&id); }

int32_t CurveNearest(double v) { return NearestInt(v, kCurvePixelLimit); }

int32_t CurveColumn(double x, double originX, double zoomX) { return CurveNearest((x - originX) * zoomX); }

int32_t CurveRow(double v, double bottom, double top, int32_t h) {
    const double rows = double(h) - 1;
    const int64_t row = int64_t(h) - 1 - CurveNearest((v - bottom) / (top - bottom) * rows);
    if (row > kCurvePixelLimit) return kCurvePixelLimit;
    if (row < -kCurvePixelLimit) return -kCurvePixelLimit;
    return int32_t(row);
}

double CurveXAt(int32_t column, double originX, double zoomX) { return originX + column / zoomX; }

double CurveValueAt(int32_t row, double bottom, double top, int32_t h) {
    if (h <= 1) return bottom;
    const double rows = double(h) - 1;
    return bottom + (rows - row) / rows * (top - bottom);
}

double CurveTimeStep(double zoomX) {
    if (!(zoomX > 0) || !std::isfinite(zoomX)) return 0;
    double c = 1;
    for (int i = 0; i < kStepSearchLimit && c * zoomX > 120; ++i) c /= 2;
    for (int i = 0; i < kStepSearchLimit && c * zoomX < 60; ++i) c *= 2;
    const double pixels = c * zoomX;
    return pixels >= 60 && pixels <= 120 ? c : 0;
}

double CurveValueStep(double valueMin, double valueMax, int32_t h, double zoomX, double valueScale) {
    const double range = valueMax - valueMin;
    const double perValue = double(h) * zoomX / (range * valueScale);   // pixels per value unit
    double b = range / 4;
    if (!(b > 0) || !(perValue > 0) || !std::isfinite(b) || !std::isfinite(perValue)) return 0;
    for (int i = 0; i < kStepSearchLimit && b * perValue > 120; ++i) b /= 2;
    for (int i = 0; i < kStepSearchLimit && b * perValue < 60; ++i) b *= 2;
    const double pixels = b * perValue;
    return pixels >= 60 && pixels <= 120 ? b : 0;
}

float CurveWheelZoom(float zoom, double notches) {
    if (notches == 0) return zoom;
    const double z = notches > 0 ? zoom * (1.5 * notches) : zoom / (1.5 * -notches);
    return float(Hold(z, 1.0, 1024.0));
}

float CurveWheelValueScale(float scale, double notches) {
    if (notches == 0) return scale;
    const double s = notches > 0 ? scale / (1.5 * notches) : scale * (1.5 * -notches);
    return float(Hold(s, 1.0 / 256, 2048.0));
}

uint32_t CurveFirstAtOrAfter(const CurveSortedPoint* points, uint32_t count, double t) {
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (points[mid].x < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < count ? lo : count - 1;
}

float InterpolatePoints(uint32_t, uint32_t count, float x, const CurveSortedPoint* points) {
    if (count == 0 || !points) return 0;
    if (count == 1 || !(x > points[0].x)) return points[0].y;
    if (x > points[count - 1].x) return points[count - 1].y;
    const uint32_t next = CurveFirstAtOrAfter(points, count, x);   // at least 1 here
    const CurveSortedPoint& a = points[next - 1];
    const CurveSortedPoint& b = points[next];
    if (a.x == b.x) return a.y;
    return float(a.y + (double(x) - a.x) / (double(b.x) - a.x) * (double(b.y) - a.y));
}

ICurve::CCurve::CCurve(CurvePlotFunction plot)
    : ValueScale(64.0f), EventCallback(nullptr), PlotFunction(plot ? plot : InterpolatePoints),
      Drag{kCurveIdle, 0, 0.0f, 0.0f}, DragOrigin{0.0f, 0.0f}, MousePos{0, 0}, PanPress{0, 0}, TimerId(0),
      PanOriginX(0.0f), PanBottom(0.0f), Flags(0), HotList(uint32_t(offsetof(CurvePoint, hotLink))),
      ZoomX(16.0f),
      Points(uint32_t(offsetof(CurvePoint, hash)), uint32_t(offsetof(CurvePoint, registrationLink)),
             uint32_t(offsetof(CurvePoint, bucketLink))),
      ValueMin(0.0f), ValueMax(1.0f), Selection(uint32_t(offsetof(CurvePoint, selectionLink))),
      BandStart{0, 0}, SortedPoints(21), CursorX(0.0f), Timeline(nullptr), XMin(0.0f), XMax(0.0f),
      OriginX(0.0f), UserData(0), ViewBottom(0.0f), ViewTop(1.0f) {}

ICurve::CCurve::~CCurve() {
    while (CurvePoint* p = Points.First()) FreePoint(p);
    StopAutoScroll();
    if (Timeline) RemoveTimelineListener(Timeline, OnTimelineEvent, static_cast<CControl*>(this));
    Timeline = nullptr;
    SortedPoints.Clear(0);
    Selection.DetachAll();
    HotList.DetachAll();
}

void ICurve::CCurve::Destroy(uint32_t flags) {
    void* block = dynamic_cast<void*>(this);
    this->~CCurve();
    if (flags & 1) ThreadHeap->Free(block);
}

int ICurve::CCurve::IsRefCounted() { return 1; }

CCurve* CreateCurve(CurvePlotFunction plot) {
    void* block = ThreadHeap->Alloc(sizeof(CCurve), HEAP_ZERO, CURVE_CPP_TAG, __LINE__);
    return new (block) CCurve(plot);
}

// Points.

int ICurve::CCurve::AddPoint(int32_t id, float x, float y) {
    if (id == kCurveTemporaryId || FindPoint(id)) return 0;
    CurvePoint* p = new (ThreadHeap->Alloc(sizeof(CurvePoint), 0, CURVE_CPP_TAG, __LINE__)) CurvePoint;
    p->id = id;
    p->x = x;
    p->y = y;
    const CurvePointKey key = {id};
    Points.Insert(p, key.KeyHash());
    Flags |= kCurvePointsChanged;
    Invalidate();
    return 1;
}

CurvePoint* ICurve::CCurve::FindPoint(int32_t id) const {
    const CurvePointKey key = {id};
    return Points.Find(key);
}

void ICurve::CCurve::FreePoint(CurvePoint* p) {
    Points.Unlink(p);
    p->hotLink.Unlink();
    p->selectionLink.Unlink();
    p->~CurvePoint();
    ThreadHeap->Free(p);
}

void ICurve::CCurve::RebuildSortedPoints() {
    if (!(Flags & kCurvePointsChanged)) return;
    SortedPoints.count = 0;
    for (CurvePoint* p = Points.First(); p; p = Points.Next(p))
        SortedPoints.Append(CurveSortedPoint{p->id, p->x, p->y});
    QuickSort(SortedPoints.items, SortedPoints.count,
              [](const CurveSortedPoint& a, const CurveSortedPoint& b) { return a.x < b.x; });
    Flags &= ~kCurvePointsChanged;
}

// View.

void ICurve::CCurve::SetXRange(float min, float max) {
    XMin = min;
    XMax = max;
    Invalidate();
}

void ICurve::CCurve::SetValueRange(float min, float max) {
    ValueMin = min;
    ValueMax = max;
    const double span = (double(max) - min) / (double(ZoomX) * 0.015625);
    const double centre = (double(min) + max) / 2;
    ViewBottom = float(centre - span / 2);
    ViewTop = float(centre + span / 2);
    Invalidate();
}

void ICurve::CCurve::RescaleValues(int32_t row, float zoom) {
    const double span = (double(ValueMax) - ValueMin) / (double(zoom) / ValueScale);
    const double v = ValueAt(row);
    const double rows = double(height) - 1;
    const double below = rows > 0 ? span * (rows - row) / rows : 0;
    ViewBottom = float(v - below);
    ViewTop = float(ViewBottom + span);
}

float ICurve::CCurve::SnapX(float x) const {
    const int32_t c = ColumnOf(x);
    if (Distance(c, ColumnOf(XMin)) < kSnapPixels) return XMin;
    if (Distance(c, ColumnOf(XMax)) < kSnapPixels) return XMax;
    if (XMin < 0 && 0 < XMax && Distance(c, ColumnOf(0)) < kSnapPixels) return 0;
    return x;
}

float ICurve::CCurve::SnapValue(float v) const {
    const int32_t r = RowOf(v);
    if (Distance(r, RowOf(ValueMin)) < kSnapPixels) return ValueMin;
    if (Distance(r, RowOf(ValueMax)) < kSnapPixels) return ValueMax;
    if (ValueMin < 0 && 0 < ValueMax && Distance(r, RowOf(0)) < kSnapPixels) return 0;
    return v;
}

CurveDrag ICurve::CCurve::HitTest(int32_t px, int32_t py) {
    CurveDrag hit = {kCurveBand, 0, 0.0f, 0.0f};
    RebuildSortedPoints();
    const double t = XAt(px);
    const uint32_t n = SortedPoints.count;
    const CurveSortedPoint* points = SortedPoints.items;
    if (n) {
        const uint32_t at = CurveFirstAtOrAfter(points, n, t);
        for (uint32_t i = at ? at - 1 : 0; i <= at + 1 && i < n; ++i) {
            const CurveSortedPoint& p = points[i];
            if (Distance(ColumnOf(p.x), px) < kHitRadius && Distance(RowOf(p.y), py) < kHitRadius) {
                hit = CurveDrag{kCurveMovePoint, p.id, p.x, p.y};
                return hit;
            }
        }
    }
    const float v = PlotFunction(UserData, n, float(t), points);
    if (std::isfinite(v) && Distance(RowOf(v), py) <= kLineHitRows)
        hit = CurveDrag{kCurveNewPoint, 0, float(t), v};
    return hit;
}

// Events.

void ICurve::CCurve::SendSelectionChanged() {
    if (!EventCallback) return;
    const uint32_t n = Selection.Count();
    int32_t* ids =
        n ? static_cast<int32_t*>(ArrayAllocate(n, sizeof(int32_t), CURVE_CPP_TAG, __LINE__)) : nullptr;
    uint32_t i = 0;
    for (CurvePoint* p = Selection.First(); p; p = Selection.Next(p)) ids[i++] = p->id;
    const CurveSelectionEvent event = {n, ids};
    EventCallback(UserData, kCurveSelectionChanged, &event);
    if (ids) ThreadHeap->Free(ids);
}

void ICurve::CCurve::SendPointsMoved() {
    if (!EventCallback) return;
    const uint32_t n = Selection.Count();
    int32_t* ids = nullptr;
    CurvePosition* positions = nullptr;
    if (n) {
        ids = static_cast<int32_t*>(ArrayAllocate(n, sizeof(int32_t), CURVE_CPP_TAG, __LINE__));
        positions =
            static_cast<CurvePosition*>(ArrayAllocate(n, sizeof(CurvePosition), CURVE_CPP_TAG, __LINE__));
    }
    uint32_t i = 0;
    for (CurvePoint* p = Selection.First(); p; p = Selection.Next(p), ++i) {
        ids[i] = p->id;
        positions[i] = CurvePosition{p->x, p->y};
    }
    const CurveMovedEvent event = {n, ids, positions};
    EventCallback(UserData, kCurvePointsMoved, &event);
    if (ids) ThreadHeap->Free(ids);
    if (positions) ThreadHeap->Free(positions);
}

// Mouse.

void ICurve::CCurve::OnMouseDown(int32_t button, uint32_t, POINT point) {
    if (Drag.mode != kCurveIdle) return;   // one operation at a time
    bool selectionChanged = false;
    Drag = HitTest(point.x, point.y);
    if (button == kMouseMiddle) Drag.mode = kCurvePan;
    SetCapture(1);
    MousePos = point;
    switch (Drag.mode) {
    case kCurveBand:
        BandStart = POINT{LONG(int64_t(point.x) + ContentShift()), point.y};
        Flags |= kCurveBanding;
        break;
    case kCurveNewPoint: {
        CurvePoint* p = new (ThreadHeap->Alloc(sizeof(CurvePoint), 0, CURVE_CPP_TAG, __LINE__)) CurvePoint;
        p->id = kCurveTemporaryId;
        p->x = float(XAt(point.x));
        p->y = float(ValueAt(point.y));
        const CurvePointKey key = {kCurveTemporaryId};
        Points.Insert(p, key.KeyHash());
        Flags |= kCurvePointsChanged;
        Drag.pointId = kCurveTemporaryId;
    }
        [[fallthrough]];   // the new point is dragged like any other
    case kCurveMovePoint:
        if (CurvePoint* p = FindPoint(Drag.pointId)) {
            if (!IsSelected(p)) {
                Selection.DetachAll();
                Selection.Append(p);
                selectionChanged = true;
                Invalidate();
            }
            DragOrigin = CurvePosition{p->x, p->y};
        }
        break;
    case kCurvePan:
        PanPress = point;
        DragOrigin = CurvePosition{float(XAt(point.x)), float(ValueAt(point.y))};
        PanOriginX = OriginX;
        PanBottom = ViewBottom;
        break;
    default:
        break;
    }
    if (Drag.mode != kCurvePan && !TimerId) TimerId = StartTimer(AutoScrollTick, this, kAutoScrollPeriod);
    if (selectionChanged) SendSelectionChanged();
}

void ICurve::CCurve::RepaintPoint(const CurvePoint* p) {
    const int32_t c = ColumnOf(p->x);
    const int32_t r = RowOf(p->y);
    InvalidateRect(MarkerBox(c, r));
}

void ICurve::CCurve::Hover(POINT point) {
    const CurveDrag hit = HitTest(point.x, point.y);
    CurvePoint* found = hit.mode == kCurveMovePoint ? FindPoint(hit.pointId) : nullptr;
    CurvePoint* hot = HotList.First();
    if (found == hot) return;
    if (hot) {
        RepaintPoint(hot);
        HotList.DetachAll();
    }
    if (found) {
        HotList.Append(found);
        RepaintPoint(found);
    }
}

void ICurve::CCurve::DragPoints(uint32_t modifiers, POINT point) {
    const CurvePoint* dragged = FindPoint(Drag.pointId);
    if (!dragged) return;
    const double x = SnapX(float(XAt(point.x)));
    const double y = SnapValue(float(ValueAt(point.y)));
    double dx = x - dragged->x;
    double dy = y - dragged->y;
    if (modifiers & kMouseShift) {
        if (std::fabs(y - DragOrigin.y) < std::fabs(x - DragOrigin.x))
            dy = double(DragOrigin.y) - dragged->y;   // horizontal
        else
            dx = double(DragOrigin.x) - dragged->x;   // vertical
    }
    for (CurvePoint* p = Selection.First(); p; p = Selection.Next(p)) {
        p->x = float(p->x + dx);
        p->y = float(p->y + dy);
    }
    Flags |= kCurvePointsChanged;
}

void ICurve::CCurve::Pan(POINT point) {
    const float x0 = float(PanOriginX + (double(PanPress.x) - point.x) / ZoomX);
    if (x0 != OriginX) {
        if (Timeline)
            SetViewOffset(Timeline, x0);
        else
            OriginX = x0;
    }
    const double span = double(ViewTop) - ViewBottom;
    const double rows = double(height) - 1;
    const double moved = rows > 0 ? span * (double(PanPress.y) - point.y) / rows : 0;
    ViewBottom = float(PanBottom - moved);
    ViewTop = float(ViewBottom + span);
}

void ICurve::CCurve::OnMouseMove(uint32_t modifiers, POINT point) {
    MousePos = point;
    switch (Drag.mode) {
    case kCurveIdle: Hover(point); return;
    case kCurveNewPoint:
    case kCurveMovePoint: DragPoints(modifiers, point); break;
    case kCurvePan: Pan(point); break;
    default: break;   // band: only the repaint
    }
    Invalidate();
}

int32_t ICurve::CCurve::ContentShift() const { return CurveNearest(double(OriginX) * ZoomX); }

RECT ICurve::CCurve::BandRect() const {
    const int64_t endX = int64_t(MousePos.x) + ContentShift();
    const int64_t startX = BandStart.x;
    RECT r;
    r.left = LONG(startX < endX ? startX : endX);
    r.right = LONG(startX < endX ? endX : startX);
    r.top = BandStart.y < MousePos.y ? BandStart.y : MousePos.y;
    r.bottom = BandStart.y < MousePos.y ? MousePos.y : BandStart.y;
    return r;
}

void ICurve::CCurve::FinishBand() {
    const RECT band = BandRect();
    const bool hadSelection = !Selection.IsEmpty();
    Selection.DetachAll();
    // Walking backwards and appending puts each point in front of the ones
    // registered before it.
    const TList<CurvePoint>& order = Points.registration;
    for (CurvePoint* p = order.Last(); p; p = order.Prev(p)) {
        const int32_t c = CurveNearest(double(p->x) * ZoomX);
        const int32_t r = RowOf(p->y);
        if (c >= band.left && c < band.right && r >= band.top && r < band.bottom) Selection.Append(p);
    }
    Invalidate();
    if (hadSelection || !Selection.IsEmpty()) SendSelectionChanged();
}

void ICurve::CCurve::OnMouseUp(int32_t, uint32_t, POINT point) {
    SetCapture(0);
    EndOperation(point);
}

void ICurve::CCurve::OnCaptureLost() { EndOperation(MousePos); }

void ICurve::CCurve::EndOperation(POINT point) {
    const CurveDrag ended = Drag;
    const bool banding = (Flags & kCurveBanding) != 0;
    Drag = CurveDrag{kCurveIdle, 0, 0.0f, 0.0f};
    Flags &= ~kCurveBanding;
    StopAutoScroll();
    CControlWatch watch(this);
    if (banding) FinishBand();
    if (watch.Destroyed()) return;
    if (ended.mode == kCurveNewPoint) {
        if (CurvePoint* p = FindPoint(ended.pointId)) FreePoint(p);
        Flags |= kCurvePointsChanged;
        Invalidate();
        if (EventCallback) {
            const CurvePosition at = {float(XAt(point.x)), float(ValueAt(point.y))};
            EventCallback(UserData, kCurveReleasedOnLine, &at);
        }
    } else if (ended.mode == kCurveMovePoint) {
        SendPointsMoved();
    }
}

void ICurve::CCurve::OnMouseWheel(int32_t delta, uint32_t modifiers, POINT point) {
    if (delta == 0) return;
    const double notches = delta / 120.0;
    if (modifiers & kMouseCtrl) {
        ValueScale = CurveWheelValueScale(ValueScale, notches);
        RescaleValues(point.y, ZoomX);
        Invalidate();
        return;
    }
    const float zoom = CurveWheelZoom(ZoomX, notches);
    const float x0 = float(OriginX + point.x / double(ZoomX) - point.x / double(zoom));
    RescaleValues(point.y, zoom);
    if (Timeline) {
        SetZoomAndOffset(Timeline, zoom, x0);
    } else {
        OriginX = x0;
        ZoomX = zoom;
    }
    Invalidate();
}

// Timer and timeline.

void ICurve::CCurve::StopAutoScroll() {
    if (!TimerId) return;
    StopTimer(TimerId);
    TimerId = 0;
}

void ICurve::CCurve::AutoScrollTick(CControl* owner, uint32_t) {
    CCurve* curve = static_cast<CCurve*>(owner);
    CTimelineOwner* timeline = curve->Timeline;
    if (!timeline) return;
    const double step = kAutoScrollPixels / timeline->Zoom;
    if (curve->MousePos.x > curve->width) SetViewOffset(timeline, float(timeline->ViewOffset + step));
    if (curve->MousePos.x < 0) SetViewOffset(timeline, float(timeline->ViewOffset - step));
    timeline->Invalidate();
}

void ICurve::CCurve::OnResize(SIZE) {
    if (Timeline) return;
    for (CControl* c = parent; c; c = c->parent) {
        if (c->GetKind() != kTimelineKind) continue;
        if (CTimelineOwner* owner = dynamic_cast<CTimelineOwner*>(c)) {
            Timeline = owner;
            AddTimelineListener(owner, OnTimelineEvent, static_cast<CControl*>(this));
            return;
        }
    }
}

void ICurve::CCurve::OnTimelineEvent(void* data, int32_t event, const float* value) {
    CCurve* curve = dynamic_cast<CCurve*>(static_cast<CControl*>(data));
    if (!curve) return;
    if (event == kTimelineGone) {
        if (curve->Timeline) RemoveTimelineListener(curve->Timeline, OnTimelineEvent, static_cast<CControl*>(curve));
        curve->Timeline = nullptr;
        return;
    }
    if (!value) return;
    switch (event) {
    case kTimelinePlayhead: {
        const int32_t before = curve->ColumnOf(curve->CursorX);
        curve->CursorX = *value;
        const int32_t after = curve->ColumnOf(curve->CursorX);
        const int32_t lo = before < after ? before : after;
        const int32_t hi = before < after ? after : before;
        curve->InvalidateRect(RECT{lo - 4, 0, hi + 5, curve->height});
        break;
    }
    case kTimelineOffset:
        curve->OriginX = *value;
        curve->Invalidate();
        break;
    case kTimelineZoom:
        curve->ZoomX = *value;
        curve->RescaleValues(curve->height / 2, curve->ZoomX);
        curve->Invalidate();
        break;
    default: break;
    }
}

// Painting.

void ICurve::CCurve::PaintGrid(IPainter* painter) {
    const int32_t w = width, h = height;
    // Line counts are bounded whatever the view holds. Time lines are 60 to
    // 120 pixels apart and start within two steps of the left edge, so the
    // bound never cuts a visible one. Value lines are spaced for the nominal
    // value window, which the shown one may exceed: two lines a row.
    const int32_t timeLines = w / 30 + 8;
    const int32_t valueLines = 2 * h + 8;

    const double c = CurveTimeStep(ZoomX);
    if (c > 0) {
        double g = OriginX - std::fmod(double(OriginX), c);
        if (g <= 0) g -= c;
        const double end = std::ceil(w / double(ZoomX) + OriginX);
        const uint32_t major = Shade(kShadeMajor);
        for (int32_t k = 0; k < timeLines; ++k) {
            const double x = g + k * c;
            if (!(x <= end)) break;
            VerticalLine(painter, ColumnOf(x), h, major);
        }
    }

    // Value lines from the first major one at or below the top, down to one
    // step past the row under the bottom.
    const double b = CurveValueStep(ValueMin, ValueMax, h, ZoomX, ValueScale);
    const double top = b > 0 ? ViewTop - std::fmod(double(ViewTop), b) : 0;
    const double last = ValueAt(h) - b;
    if (b > 0) {
        const uint32_t major = Shade(kShadeMajor), minor = Shade(kShadeMinor);
        for (int32_t k = 0; k < valueLines; ++k) {
            const double j = top - k * b;
            if (!(j >= last)) break;
            HorizontalLine(painter, RowOf(j), w, major);
            for (int q = 1; q < 4; ++q) HorizontalLine(painter, RowOf(j + b * q / 4), w, minor);
        }
    }

    const int32_t ranges[2] = {ColumnOf(XMin), ColumnOf(XMax)};
    const int32_t rangeRows[2] = {RowOf(ValueMin), RowOf(ValueMax)};
    const uint32_t range = Shade(kShadeRange);
    for (int i = 0; i < 2; ++i)
        for (int32_t d = -1; d <= 1; ++d) {
            VerticalLine(painter, ranges[i] + d, h, range);
            HorizontalLine(painter, rangeRows[i] + d, w, range);
        }

    const int32_t zeroRow = RowOf(0), zeroColumn = ColumnOf(0);
    const uint32_t axis = Shade(kShadeAxis);
    for (int32_t d = -2; d <= 2; ++d) {
        HorizontalLine(painter, zeroRow + d, w, axis);
        VerticalLine(painter, zeroColumn + d, h, axis);
    }

    if (b > 0) {
        const int32_t half = painter->TextHeight(L"0.") / 2;
        wchar_t label[kLabelUnits];
        for (int32_t k = 0; k < valueLines; ++k) {
            const double j = top - k * b;
            if (!(j >= last)) break;
            FormatTextW(label, kLabelUnits, L"%g", j);
            const POINT at = {w - painter->TextWidth(label) - 4, RowOf(j) - half};
            painter->DrawText(label, at, (*currentScheme)[kSchemeCurveMarks]);
        }
    }
}

void ICurve::CCurve::PaintFunction(IPainter* painter) {
    const uint32_t colour = (*currentScheme)[kSchemeAccent];
    const uint32_t n = SortedPoints.count;
    const CurveSortedPoint* points = SortedPoints.items;
    bool joined = false;   // the previous column had a finite value
    int32_t previous = 0;
    for (int32_t i = 0; i < width; ++i) {
        const float v = PlotFunction(UserData, n, float(OriginX + i / double(ZoomX)), points);
        if (!std::isfinite(v)) {
            joined = false;
            continue;
        }
        const int32_t row = RowOf(v);
        if (joined) painter->DrawLine(POINT{i - 1, previous}, POINT{i, row}, colour);
        previous = row;
        joined = true;
    }
}

void ICurve::CCurve::PaintPoints(IPainter* painter) {
    const ColorScheme& scheme = *currentScheme;
    for (uint32_t i = 0; i < SortedPoints.count; ++i) {
        const CurveSortedPoint& s = SortedPoints.items[i];
        const int32_t c = ColumnOf(s.x);
        if (c < -2) continue;
        if (c > width - 2) break;
        const int32_t r = RowOf(s.y);
        const CurvePoint* p = FindPoint(s.id);
        const bool hot = p && IsHot(p);
        if (hot || (p && IsSelected(p)))
            painter->DrawEllipse(MarkerBox(c, r), scheme[kSchemeCurveMarks],
                                 hot ? scheme[kSchemeFace] : scheme[kSchemeAccent]);
        else
            painter->FillRect(RECT{c - kDotHalf, r - kDotHalf, c + kDotHalf, r + kDotHalf}, scheme[kSchemeCurveMarks]);
    }
}

void ICurve::CCurve::OnPaint(IPainter* painter) {
    if (!painter) return;
    RebuildSortedPoints();
    const int32_t w = width, h = height;
    painter->DrawBevel(RECT{0, 0, w, h}, (*currentScheme)[kSchemeCurveBack], 1, 1);
    const int32_t left = ColumnOf(XMin), right = ColumnOf(XMax);
    const int32_t top = RowOf(ValueMax), bottom = RowOf(ValueMin);
    // The range's fill stays inside the curve, wherever the view has moved it.
    const RECT fill = {std::max(left, 0), std::max(top, 0), std::min(right, w), std::min(bottom, h)};
    if (right >= left && bottom >= top && fill.left < fill.right && fill.top < fill.bottom)
        painter->FillRect(fill, Shade(kShadeFill));
    painter->PushClip();
    painter->ClipRect(RECT{0, 0, w, h});
    PaintGrid(painter);
    PaintFunction(painter);
    PaintPoints(painter);
    const int32_t cursor = ColumnOf(CursorX);
    if (cursor >= 0 && cursor < w) painter->XorLine(POINT{cursor, 0}, POINT{cursor, h});
    if (Flags & kCurveBanding) {
        painter->PushClip();
        painter->ClipRect(RECT{1, 1, w, h});
        RECT band = BandRect();
        const int32_t shift = ContentShift();
        band.left -= shift;
        band.right -= shift;
        painter->XorRect(band);
        painter->PopClip();
    }
    painter->PopClip();
}

int32_t ICurve::CCurve::AccessibleRole() { return ROLE_SYSTEM_DIAGRAM; }
