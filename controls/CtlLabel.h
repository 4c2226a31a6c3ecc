// IWindow::CLabel: one line of text, centred on a filled background whose
// four corner pixels are left to the parent. It takes no input.
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../rtl/Array.h"

#define CTL_LABEL_TAG ".\\CtlLabel.cpp"

// Where a label of size `box` draws a text of size `text`: centred, odd
// spare pixels going right and down. A text wider than the box starts at
// x 0 and is clipped (`clip` 1); a text taller than the box starts at y 0.
struct LabelPlacement {
    POINT at;
    int clip;
};
LabelPlacement PlaceLabelText(SIZE box, SIZE text);

class IWindow {
public:
    class CLabel : public CControl {
    public:
        // A null text is taken as empty. The text never changes afterwards.
        explicit CLabel(const wchar_t* text);

        void OnPaint(IPainter* painter) override;
        // Static text named by its text.
        int32_t AccessibleRole() override;
        void Describe(AccessibleFacts& facts, uint32_t child) override;

        TArray<wchar_t> Text;   // with its terminator
    };
};

typedef IWindow::CLabel CLabel;

// Allocates (tag ".\CtlLabel.cpp") and constructs a label.
CLabel* CreateLabel(const wchar_t* text);
