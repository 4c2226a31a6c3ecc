// IButton::CButton: a push button with a caption, drawn on a cached face
// bitmap; a click is reported with Notify(1).
//
// State table (Pressed 0 = released, 1 = held):
//   left press or double click -> capture, focus, Pressed 1, face dropped
//   other buttons              -> nothing
//   move, in or out            -> nothing (the look stays pressed)
//   left release, Pressed 1    -> capture off, Notify(1) when inside, Pressed 0
//   left release, Pressed 0    -> capture off if held, nothing else
//   Space or Enter down        -> Pressed 1, face dropped, handled
//   Space or Enter up, Pressed 1 -> Pressed 0, face dropped, Notify(1), handled
//   Space or Enter up, Pressed 0 -> handled, nothing else
//   other keys                 -> not handled (0)
//   capture lost, Pressed 1    -> Pressed 0, no click (a release outside)
//   focus lost, Pressed 1      -> Pressed 0, no click (as a lost capture)
//   default action (a screen reader's press) -> focus, Notify(1), as a click
//   resize, scheme change      -> face dropped
// The button takes the focus (a press or Tab); while it has it a dotted
// rectangle kButtonFocusInset pixels inside its edge marks it.
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../rtl/Array.h"

#define CTL_BUTTON_TAG ".\\CtlButton.cpp"

// Top-left corner of a caption of `text` size centred in `box`; on an axis
// where the caption is larger than the box it starts at 0.
POINT ButtonCaptionOrigin(SIZE box, SIZE text);

// True when `point` (button coordinates) lies in a w x h button.
bool InsideButton(POINT point, int32_t w, int32_t h);

const int32_t kButtonFocusInset = 2;

class IButton {
public:
    class CButton : public CControl {
    public:
        // A null text is taken as empty.
        explicit CButton(const wchar_t* text);
        ~CButton() override;

        int CanFocus() override;
        void OnFocus(int gained) override;
        void OnCaptureLost() override;
        void OnKeyboardFocusLost() override;
        int OnKeyDown(int32_t key, uint32_t modifiers) override;
        int OnKeyUp(int32_t key, uint32_t modifiers) override;
        void OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
        void OnPaint(IPainter* painter) override;
        void OnSchemeChanged() override;
        void OnResize(SIZE size) override;
        // A push button named by its caption, pressed while held.
        int32_t AccessibleRole() override;
        void Describe(AccessibleFacts& facts, uint32_t child) override;
        int DoDefaultAction(uint32_t child) override;

        // Fields, in order.
        HBITMAP Face;            // cached for the size, state and scheme; owned
        uint32_t Pressed;
        TArray<wchar_t> Text;    // with its terminator

    private:
        void DropFace();
        // Pressed := state, face dropped, repaint asked for.
        void ShowPressed(uint32_t state);
    };
};

typedef IButton::CButton CButton;

// Allocates (zero-filled, tag ".\CtlButton.cpp") and constructs a button.
CButton* CreateButton(const wchar_t* text);
