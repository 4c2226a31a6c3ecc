#include "Accessible.h"

namespace {

AccessibleAmend amendment = nullptr;

bool Contains(const CControl* c, POINT p) { return c->x <= p.x && p.x < c->x + c->width && c->y <= p.y && p.y < c->y + c->height; }

}  // namespace

// The base answers: no object of its own, nothing to add.
int32_t CControl::AccessibleRole() { return 0; }
void CControl::Describe(AccessibleFacts&, uint32_t) {}
uint32_t CControl::AccessibleChildAt(POINT) { return 0; }
int CControl::DoDefaultAction(uint32_t) { return 0; }

void SetAccessibleAmend(AccessibleAmend amend) { amendment = amend; }

bool HasKeyboardFocus(CControl* control) {
    if (!control || FocusedControl() != control) return false;
    HWND window = control->Root()->RootWindowHandle();
    return window && window == KeyboardFocusWindow();
}

void DescribeControl(CControl* control, uint32_t child, AccessibleFacts& facts) {
    facts.role = child ? 0 : control->AccessibleRole();
    facts.state = 0;
    facts.name = nullptr;
    facts.action = nullptr;
    facts.hasValue = false;
    facts.value[0] = 0;
    facts.description[0] = 0;
    facts.rect = RECT{0, 0, control->width, control->height};
    facts.childCount = 0;
    facts.selectedChild = 0;
    control->Describe(facts, child);
    if (!child) {
        if (control->CanFocus()) facts.state |= STATE_SYSTEM_FOCUSABLE;
        if (HasKeyboardFocus(control)) facts.state |= STATE_SYSTEM_FOCUSED;
        if (control->width <= 0 || control->height <= 0) facts.state |= STATE_SYSTEM_INVISIBLE;
    }
    if (amendment) amendment(control, child, facts);
}

CControl* NextAccessible(CControl* root, CControl* from) {
    if (!root) return nullptr;
    for (CControl* c = WalkForward(root, from ? from : root); c; c = WalkForward(root, c))
        if (c->AccessibleRole()) return c;
    return nullptr;
}

uint32_t AccessibleCount(CControl* root) {
    uint32_t n = 0;
    for (CControl* c = NextAccessible(root, nullptr); c; c = NextAccessible(root, c)) ++n;
    return n;
}

CControl* AccessibleAt(CControl* root, uint32_t index) {
    if (index == 0) return nullptr;
    CControl* c = NextAccessible(root, nullptr);
    for (uint32_t i = 1; c && i < index; ++i) c = NextAccessible(root, c);
    return c;
}

uint32_t AccessibleIndexOf(CControl* root, CControl* control) {
    uint32_t i = 1;
    for (CControl* c = NextAccessible(root, nullptr); c; c = NextAccessible(root, c), ++i)
        if (c == control) return i;
    return 0;
}

CControl* AccessibleHit(CControl* root, POINT p) {
    CControl* found = nullptr;
    for (CControl* c = root; c;) {
        CControl* inside = nullptr;
        for (CControl* child = c->FirstChild(); child; child = c->NextChild(child))
            if (Contains(child, p)) {
                inside = child;
                break;
            }
        if (!inside) break;
        p.x -= inside->x;
        p.y -= inside->y;
        if (inside->AccessibleRole()) found = inside;
        c = inside;
    }
    return found;
}

POINT PointInRoot(const CControl* control, POINT p) {
    for (const CControl* c = control; c && c->parent; c = c->parent) {
        p.x += c->x;
        p.y += c->y;
    }
    return p;
}

RECT RectInRoot(const CControl* control, RECT r) {
    const POINT at = PointInRoot(control, POINT{0, 0});
    return RECT{r.left + at.x, r.top + at.y, r.right + at.x, r.bottom + at.y};
}
