#include "DisplayScale.h"

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int32_t Clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return int32_t(v);
}

// Functions of newer systems, looked up so that the import table stays as it is.
template <class F>
F User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

uint32_t ScreenDpi() {
    typedef UINT(WINAPI * GetDpiForSystemFn)();
    static const GetDpiForSystemFn forSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem) return SaneDpi(forSystem());
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return SaneDpi(dpi > 0 ? uint32_t(dpi) : 0);
}

}  // namespace

int32_t CDisplayScale::Edge(int32_t units) const {
    return Clamp32(FloorDiv(int64_t(units) * dpi + kBaseDpi / 2, kBaseDpi));
}

int32_t CDisplayScale::Cell(int32_t pixel) const {
    // The largest u with round(u * dpi / 96) <= pixel.
    return Clamp32(FloorDiv(int64_t(pixel) * kBaseDpi + kBaseDpi / 2 - 1, dpi));
}

int32_t CDisplayScale::Units(int32_t pixels) const {
    return Clamp32(FloorDiv(int64_t(pixels) * kBaseDpi + dpi / 2, dpi));
}

int32_t CDisplayScale::Cover(int32_t pixels) const { return pixels > 0 ? Cell(pixels - 1) + 1 : 0; }

RECT CDisplayScale::Rect(const RECT& r) const {
    return RECT{Edge(r.left), Edge(r.top), Edge(r.right), Edge(r.bottom)};
}

POINT CDisplayScale::Point(POINT p) const { return POINT{Edge(p.x), Edge(p.y)}; }

POINT CDisplayScale::CellOf(POINT p) const { return POINT{Cell(p.x), Cell(p.y)}; }

RECT CDisplayScale::Enclosing(const RECT& r) const {
    return RECT{Cell(r.left), Cell(r.top), r.right > r.left ? Cell(r.right - 1) + 1 : Cell(r.left),
                r.bottom > r.top ? Cell(r.bottom - 1) + 1 : Cell(r.top)};
}

uint32_t SaneDpi(uint32_t dpi) { return dpi >= 24 && dpi <= 2400 ? dpi : kBaseDpi; }

uint32_t WindowDpi(HWND window) {
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static const GetDpiForWindowFn forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (window && forWindow) {
        const UINT dpi = forWindow(window);
        if (dpi) return SaneDpi(dpi);
    }
    return ScreenDpi();
}

int SystemMetricForDpi(int index, uint32_t dpi) {
    typedef int(WINAPI * MetricsForDpiFn)(int, UINT);
    static const MetricsForDpiFn forDpi = User32Function<MetricsForDpiFn>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi) : GetSystemMetrics(index);
}
