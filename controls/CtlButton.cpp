#include "CtlButton.h"

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "ButtonFace.h"

namespace {

const uint32_t kCaptionColour = 0xFFFFFFFF;   // whatever the scheme

// Every other pixel of a rectangle kButtonFocusInset inside `box`.
void DrawFocusMark(IPainter* painter, RECT box) {
    const int32_t left = box.left + kButtonFocusInset, top = box.top + kButtonFocusInset;
    const int32_t right = box.right - 1 - kButtonFocusInset, bottom = box.bottom - 1 - kButtonFocusInset;
    if (right <= left || bottom <= top) return;
    for (int32_t x = left; x <= right; x += 2) {
        painter->DrawPixel(x, top, kCaptionColour);
        painter->DrawPixel(x, bottom, kCaptionColour);
    }
    for (int32_t y = top + 2; y < bottom; y += 2) {
        painter->DrawPixel(left, y, kCaptionColour);
        painter->DrawPixel(right, y, kCaptionColour);
    }
}

int32_t CentredStart(int32_t extent, int32_t content) {
    return content > extent ? 0 : (extent - content) / 2;
}

}  // namespace

POINT ButtonCaptionOrigin(SIZE box, SIZE text) {
    POINT at;
    at.x = CentredStart(box.cx, text.cx);
    at.y = CentredStart(box.cy, text.cy);
    return at;
}

bool InsideButton(POINT p, int32_t w, int32_t h) { return 0 <= p.x && p.x < w && 0 <= p.y && p.y < h; }

IButton::CButton::CButton(const wchar_t* text) : Face(nullptr), Pressed(0), Text(text ? text : L"") {}

IButton::CButton::~CButton() { DropFace(); }

void IButton::CButton::DropFace() {
    if (Face) DeleteObject(Face);
    Face = nullptr;
}

void IButton::CButton::ShowPressed(uint32_t state) {
    Pressed = state;
    DropFace();
    Invalidate();
}

int IButton::CButton::CanFocus() { return 1; }

void IButton::CButton::OnFocus(int gained) {
    // Focus gone between key down and key up: the press ends without a click.
    if (!gained && Pressed)
        ShowPressed(0);
    else
        Invalidate();
}

void IButton::CButton::OnCaptureLost() {
    if (Pressed) ShowPressed(0);
}

void IButton::CButton::OnKeyboardFocusLost() {
    if (Pressed) ShowPressed(0);
}

int IButton::CButton::OnKeyDown(int32_t key, uint32_t modifiers) {
    // Alt+Enter has no key-up of its own: it presses nothing.
    if (key != KeySpace && (key != KeyEnter || (modifiers & kKeyAlt))) return 0;
    ShowPressed(1);
    return 1;
}

int IButton::CButton::OnKeyUp(int32_t key, uint32_t) {
    if (key != KeySpace && key != KeyEnter) return 0;
    if (Pressed) {
        ShowPressed(0);
        Notify(1);
    }
    return 1;
}

void IButton::CButton::OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) {
    OnMouseDown(button, modifiers, point);
}

void IButton::CButton::OnMouseDown(int32_t button, uint32_t, POINT) {
    if (button != kMouseLeft) return;
    SetCapture(1);
    SetFocusControl(this);
    ShowPressed(1);
}

void IButton::CButton::OnMouseUp(int32_t button, uint32_t, POINT point) {
    if (button != kMouseLeft) return;
    // Space may have released the button already; the capture goes anyway.
    if (CaptureControl() == this) SetCapture(0);
    if (!Pressed) return;
    if (InsideButton(point, width, height)) Notify(1);
    ShowPressed(0);
}

void IButton::CButton::OnPaint(IPainter* painter) {
    if (!painter) return;
    const SIZE size = {width, height};
    if (!Face) Face = RenderButtonFace(size, int(Pressed), (*currentScheme)[kSchemeFace]);
    if (Face) painter->DrawBitmap(RECT{0, 0, width, height}, Face);
    const SIZE text = {painter->TextWidth(Text.items), painter->TextHeight(Text.items)};
    painter->DrawText(Text.items, ButtonCaptionOrigin(size, text), kCaptionColour);
    if (FocusedControl() == this) DrawFocusMark(painter, RECT{0, 0, width, height});
}

void IButton::CButton::OnSchemeChanged() {
    DropFace();
    CControl::OnSchemeChanged();
}

void IButton::CButton::OnResize(SIZE) { DropFace(); }

int32_t IButton::CButton::AccessibleRole() { return ROLE_SYSTEM_PUSHBUTTON; }

void IButton::CButton::Describe(AccessibleFacts& facts, uint32_t) {
    facts.name = Text.items;
    facts.action = L"Press";
    if (Pressed) facts.state |= STATE_SYSTEM_PRESSED;
}

int IButton::CButton::DoDefaultAction(uint32_t) {
    SetFocusControl(this);
    Notify(1);
    return 1;
}

CButton* CreateButton(const wchar_t* text) {
    void* block = ThreadHeap->Alloc(sizeof(CButton), HEAP_ZERO, CTL_BUTTON_TAG, __LINE__);
    return new (block) CButton(text);
}
