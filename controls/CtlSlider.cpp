#include "CtlSlider.h"

#include <cmath>

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "../rtl/Numbers.h"
#include "../rtl/Str.h"

namespace {

const int32_t kHalfThumb = kSliderThumbWidth / 2;
const uint32_t kGrooveColour = 0x60606060;
const uint32_t kOutlineColour = 0xFF646464;
const uint32_t kGripColour = 0x00000000;

void Line(IPainter* p, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
    const POINT from = {x0, y0};
    const POINT to = {x1, y1};
    p->DrawLine(from, to, colour);
}

}  // namespace

int32_t SliderThumbX(float value, float min, float max, int32_t width) {
    if (width <= kSliderThumbWidth || min == max) return 0;
    float v = value;
    if (v < min) v = min;
    if (v > max) v = max;
    const int32_t travel = width - kSliderThumbWidth;
    const double x = (double(v) - double(min)) * double(travel) / (double(max) - double(min));
    if (!(x > 0.0)) return 0;   // NaN lands here too
    if (x >= double(travel)) return travel;
    return NearestInt(x, travel);
}

float SliderValueAt(int32_t px, float min, float max, int32_t width) {
    if (width <= kSliderThumbWidth) return float((double(max) + double(min)) * 0.5);
    const double t = (double(px) - kHalfThumb) / double(width - kSliderThumbWidth);
    if (t <= 0.0) return min;
    if (t >= 1.0) return max;
    double v = double(min) + t * (double(max) - double(min));
    const double low = min < max ? min : max;
    const double high = min < max ? max : min;
    if (v < low) v = low;
    if (v > high) v = high;
    return float(v);
}

bool SliderKeyValue(int32_t key, float value, float min, float max, float& moved) {
    const double span = double(max) - double(min);
    double steps;   // steps of a hundredth from min
    switch (key) {
    case KeyLeft:
    case KeyDown: steps = -1; break;
    case KeyRight:
    case KeyUp: steps = 1; break;
    case KeyPageDown: steps = -10; break;
    case KeyPageUp: steps = 10; break;
    case KeyHome: moved = min; return true;
    case KeyEnd: moved = max; return true;
    default: return false;
    }
    const double low = min < max ? min : max, high = min < max ? max : min;
    if (span == 0.0 || !std::isfinite(span)) {
        moved = value;
        return true;
    }
    // From the value held to the range (NaN at min), in whole steps, so that
    // it prints as the edit shows it (0.31, not 0.310001).
    double from = value;
    if (!(from >= low)) from = low;
    if (from > high) from = high;
    const double at = std::nearbyint((from - double(min)) / span * 100.0);
    double v = double(min) + (at + steps) * span / 100.0;
    if (v < low) v = low;
    if (v > high) v = high;
    moved = float(v);
    return true;
}

ISlider::CSlider::CSlider() : Dragging(0), Max(1.0f), Min(0.0f), Value(0.0f), Bound(nullptr) {}

void ISlider::CSlider::TrackPointer(POINT point, int32_t notification) {
    Value = SliderValueAt(point.x, Min, Max, width);
    if (Bound) *Bound = Value;
    Invalidate();
    NotifyNow(notification);
}

int ISlider::CSlider::OnKeyDown(int32_t key, uint32_t) {
    float moved;
    if (Dragging || !SliderKeyValue(key, Value, Min, Max, moved)) return 0;
    Value = moved;
    if (Bound) *Bound = Value;
    Invalidate();
    NotifyNow(1);
    return 1;
}

void ISlider::CSlider::OnMouseDown(int32_t button, uint32_t, POINT point) {
    if (button != kMouseLeft) return;
    SetFocusControl(this);
    Dragging = 1;
    SetCapture(1);
    TrackPointer(point, 0);
}

void ISlider::CSlider::OnMouseMove(uint32_t, POINT point) {
    if (Dragging) TrackPointer(point, 0);
}

void ISlider::CSlider::OnMouseUp(int32_t button, uint32_t, POINT point) {
    if (button != kMouseLeft || !Dragging) return;
    Dragging = 0;
    SetCapture(0);
    TrackPointer(point, 1);
}

void ISlider::CSlider::OnCaptureLost() {
    if (!Dragging) return;
    Dragging = 0;
    Invalidate();
    NotifyNow(1);
}

void ISlider::CSlider::OnPaint(IPainter* p) {
    if (!p) return;
    const int32_t w = width;
    const int32_t m = height / 2;
    const int32_t x = SliderThumbX(Value, Min, Max, w);

    const RECT groove = {0, m - 1, w, m + 2};
    p->DrawBevel(groove, kGrooveColour, 0, 0);
    Line(p, 1, m, w - 2, m, (*currentScheme)[kSchemeAccent]);

    // Outline with open corners, from x to the thumb's last column.
    const int32_t right = x + kSliderThumbWidth - 1;
    Line(p, x + 1, m - 4, right - 1, m - 4, kOutlineColour);
    Line(p, x + 1, m + 4, right - 1, m + 4, kOutlineColour);
    Line(p, x, m + 3, x, m - 3, kOutlineColour);
    Line(p, right, m - 3, right, m + 3, kOutlineColour);

    // Grip; the rest of the thumb stays unfilled.
    Line(p, x + 1, m - 2, x + 1, m + 2, kGripColour);
    Line(p, right - 1, m - 2, right - 1, m + 2, kGripColour);
    Line(p, x + 2, m - 1, right - 2, m - 1, kGripColour);
    Line(p, x + 2, m + 1, right - 2, m + 1, kGripColour);
}

void ISlider::CSlider::Refresh() {
    if (Bound) Value = *Bound;
    Invalidate();
}

int32_t ISlider::CSlider::AccessibleRole() { return ROLE_SYSTEM_SLIDER; }

void ISlider::CSlider::Describe(AccessibleFacts& facts, uint32_t) {
    facts.hasValue = true;
    FormatTextW(facts.value, kAccessibleTextUnits, L"%g", double(Value));
    facts.state |= STATE_SYSTEM_FOCUSABLE;   // by a click, not by Tab
}

CSlider* CreateSlider(float* bound) {
    CSlider* slider = NewControl<CSlider>(CTL_SLIDER_TAG, __LINE__);
    slider->Bound = bound;
    slider->Value = bound ? *bound : 0.0f;
    return slider;
}
