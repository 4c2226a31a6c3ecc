// CSlider: a horizontal slider for a float between Min and Max, bound to a
// caller's float: a groove with an accent line and an 18-pixel thumb.
//
// Input (left button only; other buttons do nothing):
//   press               -> focus, Dragging 1, capture, Value from the pointer,
//                          *Bound := Value, NotifyNow(0)
//   move, Dragging      -> Value from the pointer, *Bound, NotifyNow(0)
//   move, not Dragging  -> nothing
//   release, Dragging   -> Dragging 0, capture off, Value from the pointer,
//                          *Bound, NotifyNow(1) (also without any move)
//   release, otherwise  -> nothing
//   capture lost, Dragging -> Dragging 0, NotifyNow(1) with the last Value
// Keys, while it has the focus (a click or a screen reader gives it; Tab
// passes it by) and is not dragged:
//   Left/Down, Right/Up  -> a hundredth of the range down or up
//   Page Down, Page Up   -> a tenth of the range down or up
//   Home, End            -> Min, Max
//   each                 -> Value held to the range, *Bound, NotifyNow(1), handled
// The owner hears last: it may delete the slider from its callback.
#pragma once

#include <cstdint>

#include "../panel/Control.h"

#define CTL_SLIDER_TAG ".\\CtlSlider.cpp"

const int32_t kSliderThumbWidth = 18;

// Left edge of the thumb in a slider `width` pixels wide: 0 when width <= 18
// or min == max; else the value, limited to min ... max (raised to min, then
// lowered to max), mapped onto 0 ... width - 18 and rounded half to even.
// Never outside 0 ... width - 18: NaN (value or bounds) and spans that give
// no finite position put the thumb at 0; infinite values sit at their end.
int32_t SliderThumbX(float value, float min, float max, int32_t width);

// The value under a pointer at px: (max + min) / 2 when width <= 18; else
// t = (px - 9) / (width - 18) limited to 0 ... 1 and min + t * (max - min),
// which is exactly min for px <= 9 and exactly max for px >= width - 9.
// Computed in double and kept between the bounds, so huge bounds give no
// overflowing conversion; NaN bounds give NaN, infinite ones inf or NaN.
float SliderValueAt(int32_t px, float min, float max, int32_t width);

class ISlider {
public:
    class CSlider : public CControl {
    public:
        // Range 0 ... 1, Value 0, unbound, not dragging.
        CSlider();

        int OnKeyDown(int32_t key, uint32_t modifiers) override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseMove(uint32_t modifiers, POINT point) override;
        void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
        void OnCaptureLost() override;
        void OnPaint(IPainter* painter) override;
        // Value := *Bound when bound (kept even outside the bounds), then
        // Invalidate.
        void Refresh() override;
        // A slider whose value is the number it holds.
        int32_t AccessibleRole() override;
        void Describe(AccessibleFacts& facts, uint32_t child) override;

        // Fields, in order.
        int32_t Dragging;
        float Max;
        float Min;
        float Value;
        float* Bound;

    private:
        // Value from the pointer, written through Bound, reported, repainted.
        void TrackPointer(POINT point, int32_t notification);
    };
};

typedef ISlider::CSlider CSlider;

// The value a key moves a slider to from `value` (Left/Down and Right/Up by
// a hundredth of max - min, Page Down and Page Up by a tenth, Home and End to
// the ends), from the value held to the range, in whole steps from min and
// held to the range; false for other keys.
bool SliderKeyValue(int32_t key, float value, float min, float max, float& moved);

// Allocates (tag ".\CtlSlider.cpp") and constructs a slider over 0 ... 1
// bound to `bound` (may be null); Value := *bound, or 0 without one.
CSlider* CreateSlider(float* bound);
