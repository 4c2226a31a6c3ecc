#include "Panel.h"

#include <new>

#include "AccessibleObject.h"
#include "ColorScheme.h"
#include "PanelNonClient.h"

const DWORD kPanelWindowStyle = WS_POPUP | WS_CLIPCHILDREN;

IPanel::CPanel::CPanel()
    : registry(RegistryHashOffset(), RegistryLinkOffset(), BucketLinkOffset()), refCounted(1) {}

IPanel::CPanel::~CPanel() {
    // The window goes first; the registry then detaches what is left, and
    // the bases delete the ordinary children.
    ReleaseWindow();
    if (painter) painter->Destroy(1);
    painter = nullptr;
}

void IPanel::CPanel::Destroy(uint32_t flags) {
    void* block = dynamic_cast<void*>(this);
    this->~CPanel();
    if (flags & 1) ThreadHeap->Free(block);
}

int IPanel::CPanel::IsRefCounted() { return int(refCounted); }

void IPanel::CPanel::OnPaint(IPainter* p) {
    if (!p) return;
    p->FillRect(RECT{0, 0, width, height}, (*currentScheme)[kSchemePanel]);
    CControl::OnPaint(p);
}

POINT CentredPosition(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height) {
    POINT at;
    at.x = screenWidth > width ? (screenWidth - width) / 2 : 0;
    at.y = screenHeight > height ? (screenHeight - height) / 2 : 0;
    return at;
}

namespace {

void CreatePanelWindow(CPanel* panel, uint32_t style) {
    panel->AllocateSlot();
    // The system's DPI until the window can say its own.
    panel->dpi = WindowDpi(nullptr);
    const CDisplayScale scale = panel->Scale();
    const LONG w = scale.Edge(panel->width), ht = scale.Edge(panel->height);
    const POINT at = CentredPosition(SystemMetricForDpi(SM_CXSCREEN, panel->dpi),
                                     SystemMetricForDpi(SM_CYSCREEN, panel->dpi), w, ht);
    RECT r = {at.x, at.y, at.x + w, at.y + ht};
    AdjustWindowRect(&r, kPanelWindowStyle, FALSE);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = PanelWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = PANEL_WINDOW_CLASS;
    RegisterClassA(&wc);   // fails harmlessly once registered

    HWND handle = CreateWindowExA(WS_EX_APPWINDOW, PANEL_WINDOW_CLASS, panel->Title(),
                                  kPanelWindowStyle, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, nullptr, nullptr, instance, &panel->slot);
    if (!handle) return;
    WindowEntry(panel->slot)->handle = handle;
    const uint32_t own = WindowDpi(handle);
    if (own != panel->dpi) {
        panel->dpi = own;
        SetWindowPos(handle, nullptr, 0, 0, panel->Scale().Edge(panel->width), panel->Scale().Edge(panel->height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CreateFrame(~style & kFrameSizable, AllocFrame(), handle);
    // A window larger than the screen keeps its frame on it.
    RECT framed;
    GetWindowRect(handle, &framed);
    if (framed.left < 0 || framed.top < 0)
        SetWindowPos(handle, nullptr, framed.left < 0 ? 0 : framed.left, framed.top < 0 ? 0 : framed.top,
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EnableWindow(handle, TRUE);
    ShowWindow(handle, SW_SHOWNORMAL);
    panel->painter = CreatePainter(handle, 1, __LINE__, panel->dpi);
}

}  // namespace

CPanel* CreatePanel(const wchar_t* title, int32_t width, int32_t height, uint32_t style,
                    int withWindow) {
    CPanel* panel = new (ThreadHeap->Alloc(sizeof(CPanel), 0, PANEL_CPP_TAG, __LINE__)) CPanel();
    panel->width = width;
    panel->height = height;
    panel->Layout();
    panel->OnResize(SIZE{width, height});
    panel->Invalidate();
    panel->SetTitle(title);
    panel->windowStyle = style & 1;
    if (withWindow) CreatePanelWindow(panel, style & 1);
    return panel;
}

CControl* FindControl(CPanel* panel, const char* name) {
    if (!panel || !name) return nullptr;
    return FindName(panel->registry, name);
}

int AddControl(const char* parentName, CControl* control, CPanel* panel, const char* name) {
    if (!control || !panel || !name) return 0;
    CControl* parent = parentName ? FindControl(panel, parentName) : panel;
    if (!parent || parent == control) return 0;
    if (control->parent != parent) {
        parent->AppendChild(control);
        parent->OnChildAdded();
    }
    control->SetName(name);
    panel->registry.Insert(control, HashName(control->name));
    panel->Layout();
    panel->Invalidate();
    return 1;
}

void SetControlAnchors(const char* name, CPanel* panel, uint32_t left, uint32_t top,
                       uint32_t right, uint32_t bottom) {
    CControl* c = FindControl(panel, name);
    if (!c) return;
    c->Invalidate();
    c->SetAnchors(AnchorFromWord(left), AnchorFromWord(top), AnchorFromWord(right),
                  AnchorFromWord(bottom));
    c->Invalidate();
    if (c->parent) c->parent->RequestLayout();
}

void SetControlCallback(const char* name, CPanel* panel, ControlCallback callback,
                        uint32_t userData) {
    CControl* c = FindControl(panel, name);
    if (c) c->SetCallback(callback, userData);
}

void RefreshControls(CPanel* panel) {
    if (!panel) return;
    for (CControl* c = panel->registry.First(); c; c = panel->registry.Next(c)) c->Refresh();
}

void DeleteControls(CPanel* panel) {
    if (!panel) return;
    while (CControl* c = panel->registry.First()) c->Destroy(1);
    panel->Invalidate();
}

void RefreshAllWindows() {
    for (uint32_t i = 0; i < windowTable.count; ++i) {
        CWindow* w = windowTable[i].window;
        if (!w) continue;
        w->OnSchemeChanged();
        w->Invalidate();
        HWND handle = windowTable[i].handle;
        if (!handle) continue;
        SendMessageA(handle, WM_NCPAINT, 0, 0);
        for (HWND child = FindWindowExA(handle, nullptr, nullptr, nullptr); child;
             child = FindWindowExA(handle, child, nullptr, nullptr))
            ::InvalidateRect(child, nullptr, TRUE);
    }
}

int PumpMessages() {
    if (!AnyWindowHandle()) return 0;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    GetMessageA(&msg, nullptr, 0, 0);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return AnyWindowHandle() ? 1 : 0;
}

uint32_t KeyModifiers() {
    uint32_t m = 0;
    if (GetKeyState(VK_CONTROL) < 0) m |= kKeyCtrl;
    if (GetKeyState(VK_SHIFT) < 0) m |= kKeyShift;
    return m;
}

uint32_t MouseModifiers(WPARAM keyState) {
    uint32_t m = 0;
    if (keyState & MK_CONTROL) m |= kMouseCtrl;
    if (keyState & MK_SHIFT) m |= kMouseShift;
    return m;
}

void ApplyMinimumSize(RECT* r, const RECT& z, WPARAM edge, SIZE client) {
    const LONG minWidth = client.cx + z.left + z.right;
    const LONG minHeight = client.cy + z.top + z.bottom;
    if (r->right - r->left < minWidth) {
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
            r->left = r->right - minWidth;
        else if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT)
            r->right = r->left + minWidth;
    }
    if (r->bottom - r->top < minHeight) {
        if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
            r->top = r->bottom - minHeight;
        else if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT)
            r->bottom = r->top + minHeight;
    }
}

namespace {

POINT DevicePoint(LPARAM l) {
    POINT p;
    p.x = LONG(int16_t(LOWORD(l)));
    p.y = LONG(int16_t(HIWORD(l)));
    return p;
}

}  // namespace

namespace {
// The panel's handling of one message of its window.
LRESULT HandleMessage(CWindow* win, HWND h, UINT m, WPARAM w, LPARAM l);

// Messages that change nothing a screen reader is told of, and come often.
bool Unremarkable(UINT m) { return m == WM_NCHITTEST || m == WM_SETCURSOR || m == WM_NCMOUSEMOVE; }
}  // namespace

LRESULT CALLBACK PanelWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    const int32_t slot = int32_t(GetWindowLongA(h, GWLP_USERDATA));
    CWindowEntry* entry = WindowEntry(slot);
    switch (m) {
    case WM_CREATE: {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(l);
        const int32_t* created = static_cast<const int32_t*>(cs->lpCreateParams);
        SetWindowLongA(h, GWLP_USERDATA, created ? *created : -1);
        break;
    }
    case WM_DESTROY:
        if (entry && entry->handle == h) entry->handle = nullptr;
        NoteKeyboardFocus(h, false);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        NoteKeyboardFocus(h, m == WM_SETFOCUS);
        break;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    // Only a window whose entry holds both its object and this handle is
    // served; anything earlier or later goes to the default procedure.
    CWindow* win = (entry && entry->handle == h) ? entry->window : nullptr;
    if (!win) return DefWindowProcA(h, m, w, l);
    win->BeginMessage();
    const LRESULT result = HandleMessage(win, h, m, w, l);
    // The window may be gone (or its slot reused) once the message is handled.
    CWindowEntry* after = WindowEntry(slot);
    if (after && after->window == win) {
        win->EndMessage();
        if (win->messageDepth == 0 && after->handle == h && !Unremarkable(m)) SyncAccessibleEvents(win, h);
    }
    return result;
}

namespace {

LRESULT HandleMessage(CWindow* win, HWND h, UINT m, WPARAM w, LPARAM l) {
    const CDisplayScale scale = win->Scale();
    // A mouse message's point, in the tree's units.
    auto PointOf = [&scale](LPARAM l) { return scale.CellOf(DevicePoint(l)); };
    switch (m) {
    case WM_SIZE:
        if (!IsIconic(h))
            win->SetSize(SIZE{scale.Cover(LONG(int16_t(LOWORD(l)))), scale.Cover(LONG(int16_t(HIWORD(l))))});
        break;
    case WM_DPICHANGED:
        win->ChangeDpi(LOWORD(w), reinterpret_cast<const RECT*>(l));
        return 0;
    case WM_PAINT:
        win->PaintWindow();
        break;
    case WM_KILLFOCUS:
        if (CControl* focused = FocusedControl())
            if (focused->Root() == win) focused->OnKeyboardFocusLost();
        NoteAccessibleWindowFocus(win);
        break;
    case WM_SETFOCUS:
        NoteAccessibleWindowFocus(win);
        break;
    case WM_GETOBJECT: {
        LRESULT answer = 0;
        if (AnswerGetObject(win, w, l, answer)) return answer;
        break;
    }
    case kAccessibleDefaultAction:
    case kAccessibleTakeFocus:
        RunAccessibleAction(win, m, w, l);
        return 0;
    case WM_KEYDOWN:
        win->OnKeyDown(TranslateVirtualKey(uint32_t(w)), KeyModifiers());
        win->DeliverNotifications();
        break;
    case WM_KEYUP:
        win->OnKeyUp(TranslateVirtualKey(uint32_t(w)), KeyModifiers());
        win->DeliverNotifications();
        break;
    case WM_CHAR: {
        const int32_t code = TranslateCharCode(uint32_t(w));
        if (code >= 0) win->OnChar(code, KeyModifiers());
        win->DeliverNotifications();
        break;
    }
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_KEYMENU && l == 13) {
            win->OnKeyDown(KeyEnter, kKeyAlt);
            win->DeliverNotifications();
        }
        break;
    case WM_MOUSEMOVE:
        win->OnMouseMove(MouseModifiers(w), PointOf(l));
        break;
    case WM_LBUTTONDOWN:
        win->OnMouseDown(kMouseLeft, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_LBUTTONUP:
        win->OnMouseUp(kMouseLeft, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_LBUTTONDBLCLK:
        win->OnDoubleClick(kMouseLeft, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_RBUTTONDOWN:
        win->OnMouseDown(kMouseRight, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_RBUTTONUP:
        win->OnMouseUp(kMouseRight, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_MBUTTONDOWN:
        win->OnMouseDown(kMouseMiddle, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_MBUTTONUP:
        win->OnMouseUp(kMouseMiddle, MouseModifiers(w), PointOf(l));
        win->DeliverNotifications();
        break;
    case WM_CAPTURECHANGED:
        // Releases of our own come with the capture already forgotten.
        if (reinterpret_cast<HWND>(l) != h) win->LoseCapture();
        break;
    case WM_CANCELMODE:
        win->LoseCapture();
        break;
    case WM_MOUSEWHEEL: {
        POINT p = DevicePoint(l);
        ScreenToClient(h, &p);
        win->OnMouseWheel(int32_t(int16_t(HIWORD(w))), MouseModifiers(LOWORD(w)), scale.CellOf(p));
        break;
    }
    case WM_SIZING: {
        RECT z = {0, 0, 0, 0};
        SendMessageA(h, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&z));
        ApplyMinimumSize(reinterpret_cast<RECT*>(l), z, w,
                         SIZE{scale.Edge(kMinimumClientWidth), scale.Edge(kMinimumClientHeight)});
        return TRUE;
    }
    default:
        break;
    }
    return DefWindowProcA(h, m, w, l);
}

}  // namespace

