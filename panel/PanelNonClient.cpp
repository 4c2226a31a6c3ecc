#include "PanelNonClient.h"

#include <new>

#include "ColorScheme.h"
#include "Panel.h"
#include "../rtl/Str.h"

namespace {

const char kFrameProperty[] = "ncData";
const LONG kBorder = 8;
const LONG kTop = 40;
const LONG kCaptionBottom = 32;    // the caption bar runs from kBorder to here
const LONG kButtonTop = 13;
const LONG kButtonSize = 14;
const LONG kButtonsRight = 13;     // from the close button to the window's right edge
const uint32_t kWhite = 0xFFFFFFFF;

CFrame* FrameOf(HWND window) { return static_cast<CFrame*>(GetPropA(window, kFrameProperty)); }

CDisplayScale ScaleOf(const CFrame* f) { return CDisplayScale{f->dpi ? f->dpi : kBaseDpi}; }

// The window's size in units.
LONG FrameWidth(const CFrame* f) { return ScaleOf(f).Cover(f->windowRect.right - f->windowRect.left); }
LONG FrameHeight(const CFrame* f) { return ScaleOf(f).Cover(f->windowRect.bottom - f->windowRect.top); }

void RefreshWindowRect(CFrame* f) { GetWindowRect(f->window, &f->windowRect); }

bool In(LONG v, LONG from, LONG to) { return v >= from && v < to; }
bool In(POINT p, const RECT& r) { return In(p.x, r.left, r.right) && In(p.y, r.top, r.bottom); }

// Caption buttons, in window coordinates: button k from the right, the close
// button being 0.
RECT CaptionButton(LONG w, LONG k) {
    const LONG right = w - kButtonsRight - k * kButtonSize;
    return RECT{right - kButtonSize, kButtonTop, right, kButtonTop + kButtonSize};
}
RECT CloseButton(LONG w) { return CaptionButton(w, 0); }
RECT MaximizeButton(LONG w) { return CaptionButton(w, 1); }
RECT MinimizeButton(LONG w) { return CaptionButton(w, 2); }
RECT SchemeButton(const CFrame* f, LONG w) { return CaptionButton(w, (f->style & kFrameSizable) ? 3 : 1); }
RECT CaptionBar(LONG w) { return RECT{kBorder, kBorder, w - kBorder, kCaptionBottom}; }

void DrawButtonBack(CPainter* p, const RECT& r, bool pressed) {
    if (pressed) p->FillRect(r, (*currentScheme)[kSchemeBorder]);
}

void PaintFrame(CFrame* f) {
    if (!f->painter) {
        void* memory = ThreadHeap->Alloc(sizeof(CPainter), HEAP_ZERO, PANEL_PAINTER_TAG, 616);
        f->painter = new (memory) CPainter(f->window, 0, ScaleOf(f).dpi);
    } else {
        f->painter->SetDpi(ScaleOf(f).dpi);
        f->painter->AttachWindowDC();
    }
    CPainter* p = f->painter;
    const LONG w = FrameWidth(f), h = FrameHeight(f);
    const uint32_t border = (*currentScheme)[kSchemeBorder];
    p->FillRect(RECT{0, 0, kBorder, h}, border);
    p->FillRect(RECT{w - kBorder, 0, w, h}, border);
    p->FillRect(RECT{kBorder, 0, w - kBorder, kBorder}, border);
    p->FillRect(RECT{kBorder, kCaptionBottom, w - kBorder, kTop}, border);
    p->FillRect(RECT{kBorder, h - kBorder, w - kBorder, h}, border);
    p->FillRect(CaptionBar(w), (*currentScheme)[kSchemeCaptionBar]);
    p->SetFont(L"Century Gothic", 18, kFontAntialiased);

    if (f->style & kFrameSizable) {
        const RECT mn = MinimizeButton(w);
        DrawButtonBack(p, mn, (f->pressed & kPressedMinimize) != 0);
        p->DrawLine(POINT{mn.left + 2, mn.bottom - 3}, POINT{mn.right - 3, mn.bottom - 3}, kWhite);
        const RECT mx = MaximizeButton(w);
        DrawButtonBack(p, mx, (f->pressed & kPressedMaximize) != 0);
        p->DrawFrame(RECT{mx.left + 2, mx.top + 2, mx.right - 2, mx.bottom - 2}, kWhite);
    }
    const RECT cl = CloseButton(w);
    DrawButtonBack(p, cl, (f->pressed & kPressedClose) != 0);
    p->DrawLine(POINT{cl.left + 2, cl.top + 2}, POINT{cl.right - 3, cl.bottom - 3}, kWhite);
    p->DrawLine(POINT{cl.left + 2, cl.bottom - 3}, POINT{cl.right - 3, cl.top + 2}, kWhite);
    const RECT sc = SchemeButton(f, w);
    DrawButtonBack(p, sc, (f->pressed & kPressedScheme) != 0);
    const LONG m = (sc.left + sc.right) / 2;
    p->DrawLine(POINT{sc.left + 2, sc.top + 2}, POINT{sc.right - 3, sc.top + 2}, kWhite);
    p->DrawLine(POINT{m, sc.top + 2}, POINT{m, sc.bottom - 3}, kWhite);

    // The window text holds the title's UTF-8 bytes.
    char bytes[kUtf8TextBytes];
    wchar_t wide[kUtf8TextBytes];
    wchar_t title[128];
    title[0] = 0;
    if (GetWindowTextA(f->window, bytes, sizeof(bytes)) > 0 &&
        MultiByteToWideChar(CP_UTF8, 0, bytes, -1, wide, kUtf8TextBytes) > 0)
        CopyWide(title, wide, 128);
    p->PushClip();
    p->ClipRect(RECT{kBorder, kBorder, sc.left, kCaptionBottom});
    p->DrawText(title, POINT{12, 10}, (*currentScheme)[kSchemeCaptionText]);
    p->PopClip();
    p->Flush();
}

// A caption button's release: act when it lands on the button pressed. The
// point is in client coordinates, or in screen coordinates for a
// non-client double click.
LRESULT ReleaseButton(CFrame* f, HWND window, LPARAM l, bool screenPoint) {
    const uint32_t pressed = f->pressed;
    f->pressed = 0;
    POINT p = {LONG(int16_t(LOWORD(l))), LONG(int16_t(HIWORD(l)))};
    if (!screenPoint) ClientToScreen(window, &p);
    RefreshWindowRect(f);
    p.x -= f->windowRect.left;
    p.y -= f->windowRect.top;   // window coordinates, device pixels
    const int hit = FrameHitTest(f, p);
    SendMessageA(window, WM_NCPAINT, 0, 0);
    ReleaseCapture();
    switch (hit) {
    case HTMINBUTTON:
        if (pressed & kPressedMinimize) ShowWindow(window, SW_MINIMIZE);
        return 0;
    case HTMAXBUTTON:
        if (pressed & kPressedMaximize) ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
        return 0;
    case HTCLOSE:
        if (pressed & kPressedClose) PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case HTHELP:
        if (pressed & kPressedScheme) {
            NextColorScheme();
            RefreshAllWindows();
        }
        return 0;
    default:
        return -1;   // not a button: the previous procedure has it
    }
}

}  // namespace

CFrame* AllocFrame() {
    return static_cast<CFrame*>(ThreadHeap->Alloc(sizeof(CFrame), HEAP_ZERO, PANEL_NONCLIENT_TAG, 466));
}

void CreateFrame(uint32_t style, CFrame* f, HWND window) {
    if (!f || !window) return;
    f->style = style;
    f->window = window;
    f->dpi = WindowDpi(window);
    SetPropA(window, kFrameProperty, f);
    f->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc)));
    RECT r;
    GetWindowRect(window, &r);
    f->windowRect = r;
    const CDisplayScale scale = ScaleOf(f);
    const LONG border = scale.Edge(kBorder), top = scale.Edge(kTop);
    MoveWindow(window, r.left - border, r.top - top, (r.right - r.left) + 2 * border,
               (r.bottom - r.top) + top + border, TRUE);
}

int FrameHitTest(const CFrame* f, POINT device) {
    const LONG w = FrameWidth(f), h = FrameHeight(f);
    const POINT pt = ScaleOf(f).CellOf(device);
    const LONG x = pt.x, y = pt.y;
    if (f->style & kFrameSizable) {
        if (In(pt, MinimizeButton(w))) return HTMINBUTTON;
        if (In(pt, MaximizeButton(w))) return HTMAXBUTTON;
    }
    if (In(pt, CloseButton(w))) return HTCLOSE;
    if (In(pt, SchemeButton(f, w))) return HTHELP;
    if (In(pt, CaptionBar(w))) return HTCAPTION;
    if (!(f->style & kFrameSizable)) return HTCLIENT;
    const bool right = x >= w - kBorder, left = x < kBorder;
    const bool bottom = y >= h - kBorder, top = y < kBorder;
    if (right && bottom) return HTBOTTOMRIGHT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (bottom) return HTBOTTOM;
    if (right) return HTRIGHT;
    if (left) return HTLEFT;
    if (top) return HTTOP;
    return HTCLIENT;
}

LRESULT CALLBACK FrameProc(HWND window, UINT m, WPARAM w, LPARAM l) {
    CFrame* f = FrameOf(window);
    if (!f) return DefWindowProcA(window, m, w, l);
    switch (m) {
    case WM_NCCALCSIZE: {
        // The client area is what the borders in units leave; its right and
        // bottom edges are where the painted borders begin.
        RECT* r = reinterpret_cast<RECT*>(l);
        f->windowRect = *r;
        const CDisplayScale scale = ScaleOf(f);
        const LONG w = FrameWidth(f), h = FrameHeight(f);
        r->left = f->windowRect.left + scale.Edge(kBorder);
        r->top = f->windowRect.top + scale.Edge(kTop);
        r->right = f->windowRect.left + scale.Edge(w - kBorder);
        r->bottom = f->windowRect.top + scale.Edge(h - kBorder);
        return 0;
    }
    case WM_DPICHANGED:   // drawn and hit-tested at the new DPI from now on
        f->dpi = SaneDpi(LOWORD(w));
        break;
    case WM_NCHITTEST: {
        RefreshWindowRect(f);
        const POINT p = {LONG(int16_t(LOWORD(l))) - f->windowRect.left,
                         LONG(int16_t(HIWORD(l))) - f->windowRect.top};
        return FrameHitTest(f, p);
    }
    case WM_NCPAINT:
        RefreshWindowRect(f);
        PaintFrame(f);
        return 0;
    case WM_NCMOUSEMOVE:
        return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
        uint32_t bit = 0;
        if (w == HTMINBUTTON) bit = kPressedMinimize;
        else if (w == HTMAXBUTTON) bit = kPressedMaximize;
        else if (w == HTCLOSE) bit = kPressedClose;
        else if (w == HTHELP) bit = kPressedScheme;
        if (bit) {
            f->pressed |= bit;
            SendMessageA(window, WM_NCPAINT, 0, 0);
            SetCapture(window);
            return 0;
        }
        if (m == WM_NCLBUTTONDOWN) break;
        if (!f->pressed) break;
        // A double click elsewhere while a button is held releases it.
        const LRESULT r = ReleaseButton(f, window, l, true);
        if (r == 0) return 0;
        break;
    }
    case WM_LBUTTONUP: {
        if (!f->pressed) break;
        const LRESULT r = ReleaseButton(f, window, l, false);
        if (r == 0) return 0;
        break;
    }
    case WM_NCDESTROY: {
        WNDPROC previous = f->previous;
        RemovePropA(window, kFrameProperty);
        if (f->painter) f->painter->Destroy(1);
        ThreadHeap->Free(f);
        return CallWindowProcA(previous, window, m, w, l);
    }
    default:
        break;
    }
    return CallWindowProcA(f->previous, window, m, w, l);
}
