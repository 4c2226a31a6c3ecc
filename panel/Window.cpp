#include "Window.h"

#include <cstring>

#include "../rtl/ProcessObject.h"
#include "../rtl/Str.h"

namespace {
struct WindowTables {
    TArray<CWindowEntry> windows{32};
    TArray<int32_t> freeSlots{64};
};
TProcessObject<WindowTables> windowTables;
}  // namespace

TArray<CWindowEntry>& windowTable = (*windowTables).windows;
TArray<int32_t>& freeWindowSlots = (*windowTables).freeSlots;

void StartWindowTables() { windowTables.Construct(); }
void StopWindowTables() { windowTables.Destroy(); }

CWindowEntry* WindowEntry(int32_t slot) {
    if (slot < 0 || uint32_t(slot) >= windowTable.count) return nullptr;
    return &windowTable[uint32_t(slot)];
}

HWND GetWindowHandle(const CWindow* window) {
    if (!window) return nullptr;
    CWindowEntry* entry = WindowEntry(window->slot);
    return entry ? entry->handle : nullptr;
}

CDisplayScale ScaleOf(CControl* control) {
    const CWindow* window = control ? dynamic_cast<const CWindow*>(control->Root()) : nullptr;
    return window ? window->Scale() : CDisplayScale{kBaseDpi};
}

bool AnyWindowHandle() {
    for (uint32_t i = 0; i < windowTable.count; ++i)
        if (windowTable[i].handle) return true;
    return false;
}

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// True when `outer` holds all of `inner`.
bool Covers(const RECT& outer, const RECT& inner) {
    return IsEmpty(inner) || (!IsEmpty(outer) && outer.left <= inner.left && outer.top <= inner.top &&
                              outer.right >= inner.right && outer.bottom >= inner.bottom);
}

}  // namespace

CWindow::CWindow()
    : notifications(10), dirty{0, 0, 0, 0}, windowStyle(0), slot(-1), painter(nullptr), title(256),
      posted{0, 0, 0, 0}, messageDepth(0), painting(0), dpi(kBaseDpi) {}

CWindow::~CWindow() {
    ReleaseWindow();
    if (painter) painter->Destroy(1);
    painter = nullptr;
    title.Clear(0);
    notifications.Clear(0);
}

void CWindow::AllocateSlot() {
    if (slot != -1) return;
    if (freeWindowSlots.count) {
        slot = freeWindowSlots[freeWindowSlots.count - 1];
        freeWindowSlots.SetCapacity(freeWindowSlots.capacity, freeWindowSlots.count - 1);
    } else {
        slot = int32_t(windowTable.count);
        windowTable.Grow(windowTable.count + 1, windowTable.count + 1);
    }
    windowTable[uint32_t(slot)].window = this;
    windowTable[uint32_t(slot)].handle = nullptr;
}

// Destroys the window and gives the slot back; a second call does nothing.
void CWindow::ReleaseWindow() {
    CWindowEntry* entry = WindowEntry(slot);
    if (!entry) return;
    HWND handle = entry->handle;
    if (handle) DestroyWindow(handle);
    entry = WindowEntry(slot);   // the table may have moved meanwhile
    entry->window = nullptr;
    entry->handle = nullptr;
    freeWindowSlots.Grow(freeWindowSlots.count + 1, freeWindowSlots.count + 1);
    freeWindowSlots[freeWindowSlots.count - 1] = slot;
    slot = -1;
}

HWND CWindow::RootWindowHandle() { return GetWindowHandle(this); }

void CWindow::CreateCaret(SIZE size) {
    HWND handle = GetWindowHandle(this);
    if (!handle) return;
    const CDisplayScale scale = Scale();
    ::CreateCaret(handle, nullptr, scale.Edge(size.cx), scale.Edge(size.cy));
    ShowCaret(handle);
}

void CWindow::DestroyCaret() { ::DestroyCaret(); }

void CWindow::SetCaretPos(POINT point) {
    const POINT at = Scale().Point(point);
    ::SetCaretPos(at.x, at.y);
}

void CWindow::SetCursor(int32_t cursor) {
    LPCSTR shape = IDC_ARROW;
    if (cursor == kCursorSizeWE) shape = IDC_SIZEWE;
    else if (cursor == kCursorSizeNS) shape = IDC_SIZENS;
    ::SetCursor(LoadCursorA(nullptr, shape));
}

void CWindow::SetCapture(int on) {
    if (on)
        ::SetCapture(GetWindowHandle(this));
    else
        ReleaseCapture();
}

IPainter* CWindow::BeginDraw() {
    if (!painter) return CControl::BeginDraw();   // a container asks its own root
    PreparePainter(painter);
    return painter;
}

void CWindow::EndDraw(IPainter* p) {
    if (!painter) CControl::EndDraw(p);
}

void CWindow::InvalidateRect(const RECT& rect) {
    HWND handle = GetWindowHandle(this);
    if (!handle) {
        CControl::InvalidateRect(rect);
        return;
    }
    if (IsEmpty(dirty)) {
        dirty = rect;
    } else {
        if (rect.left < dirty.left) dirty.left = rect.left;
        if (rect.top < dirty.top) dirty.top = rect.top;
        if (rect.right > dirty.right) dirty.right = rect.right;
        if (rect.bottom > dirty.bottom) dirty.bottom = rect.bottom;
    }
    RequestPaint();
}

void CWindow::RequestPaint() {
    if (painting || messageDepth > 0 || Covers(posted, dirty)) return;
    HWND handle = GetWindowHandle(this);
    if (!handle) return;
    posted = dirty;
    const RECT device = Scale().Rect(posted);
    ::InvalidateRect(handle, &device, FALSE);
}

void CWindow::BeginMessage() {
    if (messageDepth > 0) {
        const int32_t depth = messageDepth;
        messageDepth = 0;
        RequestPaint();
        messageDepth = depth;
    }
    ++messageDepth;
}

void CWindow::EndMessage() {
    if (messageDepth > 0) --messageDepth;
    RequestPaint();
}

void CWindow::Invalidate() {
    HWND handle = GetWindowHandle(this);
    if (!handle) {
        CControl::Invalidate();
        return;
    }
    dirty.left = dirty.top = 0;
    dirty.right = width;
    dirty.bottom = height;
    RequestPaint();
}

void CWindow::OnResize(SIZE) {
    HWND handle = GetWindowHandle(this);
    if (handle && painter) {
        painter->Destroy(1);
        painter = CreatePainter(handle, 1, __LINE__, dpi);
    }
    Invalidate();
}

void CWindow::ChangeDpi(uint32_t newDpi, const RECT* suggested) {
    HWND handle = GetWindowHandle(this);
    if (!handle) return;
    dpi = SaneDpi(newDpi);
    if (suggested)
        SetWindowPos(handle, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // Lays out and makes the painter anew, also when no WM_SIZE came.
    RECT client = {0, 0, 0, 0};
    GetClientRect(handle, &client);
    const CDisplayScale scale = Scale();
    SetSize(SIZE{scale.Cover(client.right), scale.Cover(client.bottom)});
    RedrawWindow(handle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void CWindow::PaintWindow() {
    if (!painter) {
        // Nothing to draw with yet: the default procedure validates the
        // window, so nothing is pending there; the dirty area waits for the
        // next request.
        posted = RECT{0, 0, 0, 0};
        return;
    }
    HWND handle = GetWindowHandle(this);
    // An area whose request still waits for the end of a message (a paint
    // inside a modal loop) joins this paint.
    if (!Covers(posted, dirty)) {
        const RECT device = Scale().Rect(dirty);
        ::InvalidateRect(handle, &device, FALSE);
    }
    posted = RECT{0, 0, 0, 0};
    PreparePainter(painter);
    painting = 1;
    if (!IsEmpty(dirty)) {
        dirty = RECT{0, 0, 0, 0};
        painter->PushClip();
        RECT update;
        if (GetUpdateRect(handle, &update, FALSE)) painter->ClipRect(Scale().Enclosing(update));
        OnPaint(painter);
        painter->PopClip();
    }
    painter->Present();
    painting = 0;
    // Invalidations made while painting were validated with the rest.
    RequestPaint();
}

void CWindow::QueueNotification(ControlCallback target, uint32_t data, const char* controlName,
                                int32_t value) {
    const uint32_t n = notifications.count;
    notifications.Grow(n + 1, n + 1);
    CNotification& entry = notifications[n];
    entry.callback = target;
    entry.userData = data;
    entry.value = value;
    const char* text = controlName ? controlName : "";
    const uint32_t length = uint32_t(std::strlen(text)) + 1;
    entry.name.Grow(length, length);
    std::memcpy(entry.name.items, text, length);
}

namespace {
template <class T>
void SwapStorage(TArray<T>& a, TArray<T>& b) {
    T* items = a.items;
    const uint32_t capacity = a.capacity, count = a.count;
    a.items = b.items;
    a.capacity = b.capacity;
    a.count = b.count;
    b.items = items;
    b.capacity = capacity;
    b.count = count;
}
}  // namespace

void CWindow::DeliverNotifications() {
    if (notifications.count == 0) return;
    // Deliver from storage of our own: a callback may queue more, which then
    // wait for the next delivery while the entries walked here stay put.
    TArray<CNotification> delivering(notifications.step);
    SwapStorage(delivering, notifications);
    for (uint32_t i = 0; i < delivering.count; ++i) {
        const CNotification& e = delivering[i];
        if (e.callback) e.callback(e.userData, e.name.items, e.value);
    }
    delivering.SetCapacity(delivering.capacity, 0);
    // Keep the storage for the next round unless new entries took its place.
    if (notifications.count == 0) SwapStorage(delivering, notifications);
}

void CWindow::LoseCapture() {
    CControl* holder = CaptureControl();
    if (!holder || holder->Root() != this) return;
    ForgetCapture();
    holder->OnCaptureLost();
    DeliverNotifications();
}

void CWindow::SetTitle(const wchar_t* text) {
    char buffer[kUtf8TextBytes];
    const uint32_t bytes = Utf16ToUtf8(buffer, text ? text : L"");
    title.Grow(bytes + 1, bytes + 1);
    std::memcpy(title.items, buffer, bytes);
    title[bytes] = 0;
    HWND handle = GetWindowHandle(this);
    if (handle) {
        SetWindowTextA(handle, title.items);
        SendMessageA(handle, WM_NCPAINT, 0, 0);
    }
}
