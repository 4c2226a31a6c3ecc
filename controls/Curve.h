// ICurve::CCurve: a function y = f(x) over a pannable, zoomable view with a
// grid, value labels, x and value ranges and zero axes, and a set of points
// the user hovers, selects, band-selects and drags. Reference counted.
//
// Mouse operations (Drag.mode), from press to release with the capture held:
//   press, middle button          -> 4 pan (no timer), whatever is under it
//   press on a point (< 10 px)    -> 3 drag; the point becomes the selection
//                                    (event 2 when it was not selected)
//   press within 9 rows of f      -> 2 a temporary point (id -1) on the line,
//                                    selected, then dragged as in 3
//   press elsewhere               -> 1 band selection
//   press while an operation runs -> ignored
//   move, 0                       -> hover: the point under the pointer is hot
//   move, 2 or 3                  -> selected points follow the pointer,
//                                    snapped; Shift keeps one axis
//   move, 4                       -> view follows the pointer
//   release, 1                    -> points inside the band selected (event 2
//                                    when the selection was or is non-empty)
//   release, 2                    -> temporary point removed, event 0
//   release, 3                    -> event 1 with the selection's positions
//   release, any                  -> mode 0, capture and timer released
//   capture lost                  -> as a release where the pointer last was
// The operation ends before the owner hears of it, and the owner hears last:
// its callback may delete the curve.
// The 25 ms auto-scroll timer runs in modes 1 to 3 and scrolls a linked
// timeline while the pointer is left or right of the curve.
//
// Mapping (w x h pixels, nearest = halves to even, held to +-kCurvePixelLimit):
//   col(x) = nearest((x - OriginX) * ZoomX)
//   row(v) = (h - 1) - nearest((v - ViewBottom) / (ViewTop - ViewBottom) * (h - 1))
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../panel/RefObject.h"

#define CURVE_CPP_TAG ".\\Curve.cpp"

class CTimelineOwner;

// Rows and columns never leave +-2^26, so that sums and GDI coordinates stay
// in range whatever the view; NaN maps to 0.
const int32_t kCurvePixelLimit = 1 << 26;

struct CurveSortedPoint {
    int32_t id;
    float x;
    float y;
};

struct CurvePosition {
    float x;
    float y;
};

// The drawn function: (user data, point count, x, points sorted by x).
typedef float (*CurvePlotFunction)(uint32_t userData, uint32_t count, float x,
                                   const CurveSortedPoint* points);
// The curve's notifications: (user data, event, event data).
typedef void (*CurveEventCallback)(uint32_t userData, int32_t event, const void* data);

// Events and their data.
enum : int32_t {
    kCurveReleasedOnLine = 0,     // CurvePosition: pointer's x and value at release
    kCurvePointsMoved = 1,        // CurveMovedEvent
    kCurveSelectionChanged = 2,   // CurveSelectionEvent
};
struct CurveMovedEvent {
    uint32_t count;
    const int32_t* ids;
    const CurvePosition* positions;
};
struct CurveSelectionEvent {
    uint32_t count;
    const int32_t* ids;
};

// Drag modes.
enum : int32_t {
    kCurveIdle = 0,
    kCurveBand = 1,
    kCurveNewPoint = 2,
    kCurveMovePoint = 3,
    kCurvePan = 4,
};

// Flags bits.
enum : uint32_t {
    kCurvePointsChanged = 1,   // SortedPoints must be rebuilt
    kCurveBanding = 2,
};

// Id of the temporary point made by a press on the line.
const int32_t kCurveTemporaryId = -1;

struct CurveDrag {
    int32_t mode;
    int32_t pointId;
    float x;
    float y;
};

struct CurvePointKey {
    int32_t id;
    uint32_t KeyHash() const;
};

struct CurvePoint {
    int32_t id;
    float x;
    float y;
    uint32_t hash;
    TListLink bucketLink;
    TListLink registrationLink;
    TListLink hotLink;
    TListLink selectionLink;

    bool KeyEquals(const CurvePointKey& key) const { return id == key.id; }
};

// The integer nearest to v (halves to even) held to +-kCurvePixelLimit; NaN
// gives 0.
int32_t CurveNearest(double v);
int32_t CurveColumn(double x, double originX, double zoomX);
// A flat view (top == bottom) gives a held row (NaN counting as 0), never a
// bad conversion.
int32_t CurveRow(double v, double bottom, double top, int32_t h);
double CurveXAt(int32_t column, double originX, double zoomX);
// ViewBottom when h <= 1 (no second row to measure the span by).
double CurveValueAt(int32_t row, double bottom, double top, int32_t h);

// Time-grid step: from 1, halved while step * zoom > 120, then doubled while
// step * zoom < 60 (0.25 at zoom 410.0625, 4 at 16). 0 when no step of 60 to
// 120 pixels exists in double range (zoom 0, negative, NaN or infinite).
double CurveTimeStep(double zoomX);
// Value-grid step: from (max - min) / 4, halved while its spacing
// B * h * zoomX / ((max - min) * valueScale) exceeds 120, then doubled while
// it is below 60. 0 when no such step exists (empty range, bad view values).
double CurveValueStep(double valueMin, double valueMax, int32_t h, double zoomX, double valueScale);

// One wheel turn of n notches (fractional allowed): zoom * 1.5n for n > 0,
// zoom / (1.5|n|) for n <= 0, held to 1 ... 1024 (NaN gives 1).
float CurveWheelZoom(float zoom, double notches);
// Ctrl+wheel: scale / (1.5n) for n > 0, scale * 1.5|n| for n <= 0, held to
// 1/256 ... 2048 (NaN gives 1/256).
float CurveWheelValueScale(float scale, double notches);

// Index of the first point with x >= t, or count - 1 when there is none;
// count must be at least 1. Points sorted by x.
uint32_t CurveFirstAtOrAfter(const CurveSortedPoint* points, uint32_t count, double t);
// The built-in plot function: 0 without points; the first point's y up to
// it, the last point's y beyond it, straight lines in between.
float InterpolatePoints(uint32_t userData, uint32_t count, float x, const CurveSortedPoint* points);

class ICurve {
public:
    class CCurve : public CControl, public CRefObject {
    public:
        // Without a plot function the curve draws InterpolatePoints.
        explicit CCurve(CurvePlotFunction plot = nullptr);
        // Frees the points, stops the timer, leaves the timeline, then the
        // control goes.
        ~CCurve() override;

        // Both bases' deleting destructors end here.
        void Destroy(uint32_t flags) override;
        int IsRefCounted() override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseMove(uint32_t modifiers, POINT point) override;
        void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
        void OnCaptureLost() override;
        // A delta of 0 changes nothing.
        void OnMouseWheel(int32_t delta, uint32_t modifiers, POINT point) override;
        void OnPaint(IPainter* painter) override;
        // A diagram; its owner names and describes it.
        int32_t AccessibleRole() override;
        // Links the nearest ancestor timeline once.
        void OnResize(SIZE size) override;

        void SetXRange(float min, float max);
        // Also centres a value window of (max - min) / (ZoomX / 64) on the range.
        void SetValueRange(float min, float max);
        // Value window for zoom z that keeps the value at row r in place.
        void RescaleValues(int32_t row, float zoom);
        // Adds a point of the owner's. Refused (0) for the temporary id or an
        // id already present.
        int AddPoint(int32_t id, float x, float y);
        CurvePoint* FindPoint(int32_t id) const;
        bool IsSelected(const CurvePoint* point) const { return !point->selectionLink.IsEmpty(); }
        bool IsHot(const CurvePoint* point) const { return !point->hotLink.IsEmpty(); }

        // Copies the points sorted by x when bit 0 of Flags says so.
        void RebuildSortedPoints();
        // What lies under the pointer: mode 3 and a point's id (< 10 pixels
        // both ways, at most three candidates looked at), mode 2 and (x, f(x))
        // within 9 rows of the line, else mode 1. Not CControl's child lookup:
        // a curve has no children.
        CurveDrag HitTest(int32_t px, int32_t py);
        // To XMin, XMax or 0 (inside the range) when within 8 columns.
        float SnapX(float x) const;
        // To ValueMin, ValueMax or 0 (inside the range) when within 8 rows.
        float SnapValue(float v) const;

        int32_t ColumnOf(double x) const { return CurveColumn(x, OriginX, ZoomX); }
        int32_t RowOf(double v) const { return CurveRow(v, ViewBottom, ViewTop, height); }
        double XAt(int32_t column) const { return CurveXAt(column, OriginX, ZoomX); }
        double ValueAt(int32_t row) const { return CurveValueAt(row, ViewBottom, ViewTop, height); }

        // The timeline's listener callback (data: the curve).
        static void OnTimelineEvent(void* data, int32_t event, const float* value);
        // The auto-scroll timer's tick (owner: the curve).
        static void AutoScrollTick(CControl* owner, uint32_t timerId);

        // Fields, in order.
        float ValueScale;
        CurveEventCallback EventCallback;
        CurvePlotFunction PlotFunction;
        CurveDrag Drag;
        CurvePosition DragOrigin;
        POINT MousePos;
        POINT PanPress;
        uint32_t TimerId;
        float PanOriginX;
        float PanBottom;
        uint32_t Flags;
        TList<CurvePoint> HotList;
        float ZoomX;
        THashTable<CurvePoint, CurvePointKey> Points;
        float ValueMin;
        float ValueMax;
        TList<CurvePoint> Selection;
        POINT BandStart;
        TArray<CurveSortedPoint> SortedPoints;
        float CursorX;
        CTimelineOwner* Timeline;
        float XMin;
        float XMax;
        float OriginX;
        uint32_t UserData;
        float ViewBottom;
        float ViewTop;

    private:
        void SendSelectionChanged();
        void SendPointsMoved();
        void RepaintPoint(const CurvePoint* point);
        void Hover(POINT point);
        void DragPoints(uint32_t modifiers, POINT point);
        void Pan(POINT point);
        void FinishBand();
        // Ends the mouse operation released at `point`.
        void EndOperation(POINT point);
        RECT BandRect() const;   // content pixels
        // Content columns left of the view: a view column plus it is a content column.
        int32_t ContentShift() const;
        void PaintGrid(IPainter* painter);
        void PaintFunction(IPainter* painter);
        void PaintPoints(IPainter* painter);
        void FreePoint(CurvePoint* point);
        void StopAutoScroll();
    };
};

typedef ICurve::CCurve CCurve;

// Allocates zero-filled (tag ".\Curve.cpp") and constructs a curve; the
// caller takes the first reference.
CCurve* CreateCurve(CurvePlotFunction plot);
