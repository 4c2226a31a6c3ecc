// CSplitter: shares its area between its first two children, with a bar 8
// pixels thick between them that the mouse can drag unless it is fixed.
//
// Mouse (a fixed splitter routes every event to the panes):
//   left press on the bar  -> Dragging 1, sizing cursor, feedback at the point, capture
//   other press            -> the panes
//   move while Dragging    -> feedback moved to the clamped point
//   move over the bar      -> sizing cursor, then the panes
//   release while Dragging -> feedback hidden, Position from the clamped point,
//                             Dragging 0, capture released, panes placed
//   release otherwise      -> the panes
//   capture lost, Dragging -> as a release at the feedback's place
#pragma once

#include <cstdint>

#include "../panel/Control.h"

#define CTL_SPLITTER_TAG ".\\CtlSplitter.cpp"

// Flags bits.
enum : uint32_t {
    kSplitterFixed = 1,      // the bar cannot be dragged
    kSplitterFromFar = 2,    // Position counts from the right or bottom edge
    kSplitterVertical = 4,   // vertical bar, panes side by side; clear: stacked
};

// Half the bar's thickness: the bar spans centre - 4 to centre + 4.
const int32_t kSplitterHalfBar = 4;

// A pane's place in the splitter; width and height are never negative.
struct SplitterPane {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

struct SplitterPanes {
    SplitterPane first;    // left or top
    SplitterPane second;   // right or bottom
};

// S: the width for a vertical bar, the height for a horizontal one.
int32_t SplitterExtent(int32_t width, int32_t height, uint32_t flags);
// The bar's centre line from the near edge: S - position with kSplitterFromFar,
// else position. Saturates at the 32-bit limits instead of overflowing.
int32_t SplitterCentre(int32_t extent, uint32_t flags, int32_t position);
// The inverse: the Position that puts the centre line at `centre`.
// Saturates like SplitterCentre.
int32_t SplitterPosition(int32_t extent, uint32_t flags, int32_t centre);
// The panes for a splitter of width x height: the first from 0 to centre - 4,
// the second from centre + 4 to the far edge. Sizes below 0 become 0 (a
// splitter smaller than its bar gives two empty panes); coordinates saturate.
SplitterPanes ComputeSplitterPanes(int32_t width, int32_t height, uint32_t flags, int32_t position);
// The bar across the splitter with its centre line at `centre` (measured from
// the near edge): used for painting and for the drag feedback. Saturates.
RECT SplitterBarRect(int32_t width, int32_t height, uint32_t flags, int32_t centre);
// 1 when `along` lies within centre - 4 ... centre + 4, both ends included.
int SplitterBarHit(int32_t along, int32_t centre);
// The one clamp of a drag: at most S - 4, then at least 4 (so 4 when S < 8).
int32_t ClampBarCentre(int32_t along, int32_t extent);

class ISplitter {
public:
    class CSplitter : public CControl {
    public:
        CSplitter();

        void Layout() override;
        void OnChildAdded() override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseMove(uint32_t modifiers, POINT point) override;
        void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
        void OnCaptureLost() override;
        void OnPaint(IPainter* painter) override;

        // Places the first two children by ComputeSplitterPanes (a size only
        // when it changes), then invalidates. Other children are left alone.
        void PlacePanes();

        // Fields, in order.
        int32_t Dragging;
        uint32_t Flags;
        int32_t Position;
        int32_t DragPos;         // centre line during a drag, from the near edge
        int32_t FeedbackShown;   // 1 while the dotted rectangle is on the screen

    private:
        int32_t Along(POINT point) const;
        int32_t Extent() const;
        void SetSizingCursor();
        // Draws the XOR rectangle at DragPos; false without a painter.
        bool DrawFeedback();
        void ShowFeedback();
        void HideFeedback();
        // Ends a drag without moving the bar: feedback hidden, capture released.
        void AbandonDrag();
    };
};

typedef ISplitter::CSplitter CSplitter;

// Allocates (tag ".\CtlSplitter.cpp") and constructs a splitter with the
// given Flags and Position.
CSplitter* CreateSplitter(uint32_t flags = 0, int32_t position = 0);
