#include "Control.h"

namespace {

CControl* focusedControl = nullptr;
CControl* captureControl = nullptr;
HWND keyboardFocusWindow = nullptr;   // as the window procedure heard it
CControlWatch* watches = nullptr;   // innermost first
ControlGoneHook goneHook = nullptr;

}  // namespace

void SetControlGoneHook(ControlGoneHook hook) { goneHook = hook; }

CControlWatch::CControlWatch(const CControl* control) : watched(control), next(watches) { watches = this; }

CControlWatch::~CControlWatch() { watches = next; }

void NoteKeyboardFocus(HWND window, bool gained) {
    if (gained)
        keyboardFocusWindow = window;
    else if (keyboardFocusWindow == window)
        keyboardFocusWindow = nullptr;
}

CControl* ForgetCapture() {
    CControl* control = captureControl;
    captureControl = nullptr;
    return control;
}

HWND KeyboardFocusWindow() { return keyboardFocusWindow; }

CControl* FocusedControl() { return focusedControl; }
CControl* CaptureControl() { return captureControl; }

int32_t TranslateVirtualKey(uint32_t vk) {
    switch (vk) {
    case VK_BACK: return KeyBackspace;
    case VK_DELETE: return KeyDelete;
    case VK_DOWN: return KeyDown;
    case VK_END: return KeyEnd;
    case VK_RETURN: return KeyEnter;
    case VK_ESCAPE: return KeyEscape;
    case VK_HOME: return KeyHome;
    case VK_LEFT: return KeyLeft;
    case VK_NEXT: return KeyPageDown;
    case VK_PRIOR: return KeyPageUp;
    case VK_SPACE: return KeySpace;
    case VK_RIGHT: return KeyRight;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: return KeyMinus;
    case VK_TAB: return KeyTab;
    case VK_ADD:
    case VK_OEM_PLUS: return KeyPlus;
    case VK_UP: return KeyUp;
    default: return int32_t(vk);
    }
}

int32_t TranslateCharCode(uint32_t code) {
    switch (code) {
    case 8: return KeyBackspace;
    case 3: return KeyCopy;
    case 24: return KeyCut;
    case 13: return KeyEnter;
    case 22: return KeyPaste;
    default: return (code >= 2 && code <= 29) ? -1 : int32_t(code);
    }
}

int32_t AnchorCoordinate(ControlAnchor anchor, int32_t extent) {
    const uint32_t e = uint32_t(extent);
    uint32_t base = 0;
    switch (anchor.mode) {
    case kAnchorFar: base = e; break;
    case kAnchorHalf: base = e / 2; break;
    case kAnchorQuarter: base = e / 4; break;
    case kAnchorThreeQuarters: base = e - e / 4; break;
    default: break;   // mode 0 (and any unknown mode): from the near edge
    }
    return int32_t(base + uint32_t(int32_t(anchor.offset)));
}

CControl::CControl()
    : callback(nullptr), userData(0), children(FieldOffset(this, sibling)), width(0), height(0),
      parent(nullptr), x(0), y(0), flags(0), registryHash(0) {
    anchors[0] = {0, kAnchorNear};
    anchors[1] = {0, kAnchorNear};
    anchors[2] = {0, kAnchorFar};
    anchors[3] = {0, kAnchorFar};
}

CControl::~CControl() {
    if (goneHook) goneHook(this);
    // Ordinary children go with their parent; shared ones stay alive.
    CControl* child = children.First();
    while (child) {
        CControl* next = children.Next(child);
        if (!child->IsRefCounted()) child->Destroy(1);
        child = next;
    }
    for (CControlWatch* w = watches; w; w = w->next)
        if (w->watched == this) w->watched = nullptr;
    if (focusedControl == this) focusedControl = nullptr;
    if (captureControl == this) {
        captureControl = nullptr;
        Root()->SetCapture(0);
    }
    registryLink.Unlink();
    bucketLink.Unlink();
    sibling.Unlink();
    // Detached survivors no longer refer to this control.
    for (CControl* c = children.First(); c; c = children.Next(c)) c->parent = nullptr;
    children.DetachAll();
    parent = nullptr;
}

uint32_t CControl::RegistryHashOffset() const { return FieldOffset(this, registryHash); }
uint32_t CControl::RegistryLinkOffset() const { return FieldOffset(this, registryLink); }
uint32_t CControl::BucketLinkOffset() const { return FieldOffset(this, bucketLink); }

CControl* CControl::Root() {
    CControl* c = this;
    while (c->parent) c = c->parent;
    return c;
}

void CControl::AppendChild(CControl* child) {
    if (!child || child == this) return;
    child->sibling.Unlink();
    children.Append(child);
    child->parent = this;
}

RECT CControl::RectOf(const CControl* c) {
    const RECT r = {c->x, c->y, c->x + c->width, c->y + c->height};
    return r;
}

void CControl::SetAnchors(ControlAnchor left, ControlAnchor top, ControlAnchor right,
                          ControlAnchor bottom) {
    anchors[0] = left;
    anchors[1] = top;
    anchors[2] = right;
    anchors[3] = bottom;
}

// Default slots.

int CControl::CanFocus() { return 0; }

void CControl::PreparePainter(IPainter* painter) {
    if (painter) painter->SetFont(L"Verdana", 10, 0);
}

void CControl::CreateCaret(SIZE size) {
    if (parent) Root()->CreateCaret(size);
}

void CControl::DestroyCaret() {
    if (parent) Root()->DestroyCaret();
}

void CControl::SetCaretPos(POINT point) {
    if (!parent) return;
    CControl* c = this;
    for (; c->parent; c = c->parent) {
        point.x += c->x;
        point.y += c->y;
    }
    point.x += c->x;
    point.y += c->y;
    c->SetCaretPos(point);
}

void CControl::SetCursor(int32_t cursor) {
    if (parent) Root()->SetCursor(cursor);
}

void CControl::Notify(int32_t value) {
    if (callback) Root()->QueueNotification(callback, userData, name, value);
}

void CControl::NotifyNow(int32_t value) {
    if (callback) callback(userData, name, value);
}

void CControl::SetCapture(int on) {
    // Released, the capture is forgotten before the window lets it go, so
    // that the window's loss of it is not taken for a loss to another.
    if (!on) captureControl = nullptr;
    // The root hears of it first, so that a plain root cannot take it over.
    if (parent) Root()->SetCapture(on);
    captureControl = on ? this : nullptr;
}

IPainter* CControl::BeginDraw() {
    if (!parent) return nullptr;   // a plain root has no painter
    CControl* root = Root();
    IPainter* painter = root->BeginDraw();
    if (!painter) return nullptr;
    painter->PushOrigin();
    painter->ResetOrigin();
    POINT offset = {0, 0};
    for (CControl* c = this; c; c = c->parent) {
        offset.x += c->x;
        offset.y += c->y;
    }
    painter->Translate(offset);
    return painter;
}

void CControl::EndDraw(IPainter* painter) {
    if (!painter || !parent) return;
    painter->PopOrigin();
    Root()->EndDraw(painter);
}

void CControl::Layout() {
    const SIZE own = {width, height};
    for (CControl* c = children.First(); c; c = children.Next(c)) {
        RECT r;
        c->ComputeRect(&r, own);
        int32_t w = r.right - r.left;
        int32_t h = r.bottom - r.top;
        if (w < 0) w = 0;
        if (h < 0) h = 0;
        c->x = r.left;
        c->y = r.top;
        if (w != c->width || h != c->height) {
            const SIZE size = {w, h};
            c->SetSize(size);
        }
    }
}

RECT* CControl::ComputeRect(RECT* out, SIZE parentSize) {
    const int32_t left = AnchorCoordinate(anchors[0], parentSize.cx);
    const int32_t top = AnchorCoordinate(anchors[1], parentSize.cy);
    const int32_t right = AnchorCoordinate(anchors[2], parentSize.cx);
    const int32_t bottom = AnchorCoordinate(anchors[3], parentSize.cy);
    if (left > right || top > bottom) {
        out->left = out->top = out->right = out->bottom = 0;
    } else {
        out->left = left;
        out->top = top;
        out->right = right;
        out->bottom = bottom;
    }
    return out;
}

int CControl::GetKind() { return 2; }

int CControl::IsRefCounted() { return 0; }

void CControl::InvalidateRect(const RECT& rect) {
    if (!parent) return;
    const RECT moved = {rect.left + x, rect.top + y, rect.right + x, rect.bottom + y};
    parent->InvalidateRect(moved);
}

void CControl::Invalidate() {
    if (parent) parent->InvalidateRect(RectOf(this));
}

void CControl::RequestLayout() { Layout(); }

void CControl::OnChildAdded() {}

void CControl::OnFocus(int) {}

int CControl::OnChar(int32_t key, uint32_t modifiers) {
    if (focusedControl && focusedControl != this) return focusedControl->OnChar(key, modifiers);
    return 0;
}

CControl* WalkForward(CControl* root, CControl* c) {
    if (CControl* child = c->FirstChild()) return child;
    for (; c && c != root; c = c->parent)
        if (CControl* next = c->NextSibling()) return next;
    return nullptr;
}

namespace {

// The control before `c` in the same walk, or null before the first.
CControl* WalkBackward(CControl* root, CControl* c) {
    if (c == root) c = nullptr;   // from the root: the last control
    if (c) {
        CControl* previous = c->PrevSibling();
        if (!previous) return c->parent == root ? nullptr : c->parent;
        c = previous;
    } else {
        c = root;
    }
    while (CControl* last = c->children.Last()) c = last;
    return c == root ? nullptr : c;
}

}  // namespace

CControl* NextFocusable(CControl* root, CControl* from, bool backwards) {
    if (!root) return nullptr;
    CControl* c = from && from != root && from->Root() == root ? from : nullptr;
    CControl* first = nullptr;   // the first control looked at ends the round
    for (;;) {
        CControl* step = c ? (backwards ? WalkBackward(root, c) : WalkForward(root, c)) : nullptr;
        if (!step) step = backwards ? WalkBackward(root, root) : WalkForward(root, root);
        if (!step || step == first) return nullptr;
        if (!first) first = step;
        if (step->CanFocus()) return step;
        c = step;
    }
}

int CControl::OnKeyDown(int32_t key, uint32_t modifiers) {
    int result = 0;
    if (focusedControl && focusedControl != this) {
        result = focusedControl->OnKeyDown(key, modifiers);
        if (result) return result;
    }
    // The root moves the focus: Tab and Shift+Tab walk every control that
    // takes it, in tree order, wrapping at either end.
    if (key == KeyTab && !parent) {
        CControl* next = NextFocusable(this, focusedControl, (modifiers & kKeyShift) != 0);
        if (next) SetFocusControl(next);
    }
    return result;
}

int CControl::OnKeyUp(int32_t key, uint32_t modifiers) {
    if (focusedControl && focusedControl != this) return focusedControl->OnKeyUp(key, modifiers);
    return 0;
}

CControl* CControl::HitTest(POINT p) {
    if (captureControl) return captureControl;
    for (CControl* c = children.First(); c; c = children.Next(c))
        if (c->x <= p.x && p.x < c->x + c->width && c->y <= p.y && p.y < c->y + c->height)
            return c;
    return nullptr;
}

template <class Deliver>
void CControl::RouteMouse(POINT p, Deliver deliver) {
    CControl* target = HitTest(p);
    if (!target || target == this) return;
    for (CControl* c = target; c && c != this; c = c->parent) {
        p.x -= c->x;
        p.y -= c->y;
    }
    deliver(target, p);
}

void CControl::OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) {
    RouteMouse(point, [&](CControl* t, POINT p) { t->OnDoubleClick(button, modifiers, p); });
}

void CControl::OnMouseDown(int32_t button, uint32_t modifiers, POINT point) {
    RouteMouse(point, [&](CControl* t, POINT p) { t->OnMouseDown(button, modifiers, p); });
}

void CControl::OnMouseMove(uint32_t modifiers, POINT point) {
    RouteMouse(point, [&](CControl* t, POINT p) { t->OnMouseMove(modifiers, p); });
}

void CControl::OnMouseUp(int32_t button, uint32_t modifiers, POINT point) {
    RouteMouse(point, [&](CControl* t, POINT p) { t->OnMouseUp(button, modifiers, p); });
}

void CControl::OnMouseWheel(int32_t delta, uint32_t modifiers, POINT point) {
    RouteMouse(point, [&](CControl* t, POINT p) { t->OnMouseWheel(delta, modifiers, p); });
}

void CControl::OnPaint(IPainter* painter) {
    if (!painter) return;
    const bool clip = (flags & kControlClipChildren) != 0;
    for (CControl* c = children.First(); c; c = children.Next(c)) {
        if (c->width == 0 || c->height == 0) continue;
        if (!painter->NeedsPaint(RectOf(c))) continue;
        painter->PushOrigin();
        const POINT at = {c->x, c->y};
        painter->Translate(at);
        if (clip) {
            painter->PushClip();
            const RECT own = {0, 0, c->width, c->height};
            painter->ClipRect(own);
        }
        c->OnPaint(painter);
        if (clip) painter->PopClip();
        painter->PopOrigin();
    }
}

void CControl::OnSchemeChanged() {
    for (CControl* c = children.First(); c; c = children.Next(c)) c->OnSchemeChanged();
}

void CControl::OnResize(SIZE) {}

void CControl::SetSize(SIZE size) {
    width = size.cx;
    height = size.cy;
    Layout();
    const SIZE stored = {width, height};
    OnResize(stored);
    Invalidate();
}

void CControl::Refresh() { Invalidate(); }

void CControl::OnCaptureLost() {}

void CControl::OnKeyboardFocusLost() {}

HWND CControl::RootWindowHandle() { return nullptr; }

void CControl::QueueNotification(ControlCallback, uint32_t, const char*, int32_t) {}

void SetFocusControl(CControl* control) {
    if (control) {
        HWND window = control->Root()->RootWindowHandle();
        if (window && window != keyboardFocusWindow) SetFocus(window);
    }
    if (control == focusedControl) return;
    CControl* previous = focusedControl;
    if (previous) previous->OnFocus(0);
    focusedControl = control;
    if (control) control->OnFocus(1);
}
