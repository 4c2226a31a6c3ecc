#include "CtlLabel.h"

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"

namespace {

// Fills only a proper rectangle: GDI would turn an inverted one around and
// paint the corners of a label one pixel wide or high.
void FillProper(IPainter* painter, const RECT& r, uint32_t colour) {
    if (r.left < r.right && r.top < r.bottom) painter->FillRect(r, colour);
}

}  // namespace

LabelPlacement PlaceLabelText(SIZE box, SIZE text) {
    LabelPlacement p;
    p.clip = text.cx > box.cx;
    p.at.x = p.clip ? 0 : (box.cx - text.cx) / 2;
    p.at.y = text.cy > box.cy ? 0 : (box.cy - text.cy) / 2;
    return p;
}

IWindow::CLabel::CLabel(const wchar_t* text) : Text(text ? text : L"") {}

void IWindow::CLabel::OnPaint(IPainter* painter) {
    if (!painter) return;
    const int32_t w = width, h = height;
    const uint32_t back = (*currentScheme)[kSchemeLabelBack];
    FillProper(painter, RECT{1, 0, w - 1, h}, back);
    FillProper(painter, RECT{0, 1, 1, h - 1}, back);
    FillProper(painter, RECT{w - 1, 1, w, h - 1}, back);

    const SIZE box = {w, h};
    const SIZE text = {painter->TextWidth(Text.items), painter->TextHeight(Text.items)};
    const LabelPlacement place = PlaceLabelText(box, text);
    if (place.clip) {
        painter->PushClip();
        painter->ClipRect(RECT{0, 0, w, h});
    }
    painter->DrawText(Text.items, place.at, (*currentScheme)[kSchemeLabelText]);
    if (place.clip) painter->PopClip();
}

int32_t IWindow::CLabel::AccessibleRole() { return ROLE_SYSTEM_STATICTEXT; }

void IWindow::CLabel::Describe(AccessibleFacts& facts, uint32_t) {
    facts.name = Text.items;
    facts.state |= STATE_SYSTEM_READONLY;
}

CLabel* CreateLabel(const wchar_t* text) {
    void* block = ThreadHeap->Alloc(sizeof(CLabel), 0, CTL_LABEL_TAG, __LINE__);
    return new (block) CLabel(text);
}
