// Loaded into the program by scale_probe's message hook: a posted
// "OrvenTestDpiChange" (wParam the new DPI, lParam the old) becomes, inside
// the program's own thread, the WM_DPICHANGED Windows sends when a window
// moves to a display of another scale, with the rectangle Windows suggests.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK DpiHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT request = RegisterWindowMessageA("OrvenTestDpiChange");
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && msg->message == request && msg->lParam > 0) {
        const LONG dpi = LONG(msg->wParam), old = LONG(msg->lParam);
        HWND window = msg->hwnd;
        msg->message = WM_NULL;
        RECT r;
        GetWindowRect(window, &r);
        RECT suggested = {r.left, r.top, r.left + MulDiv(r.right - r.left, dpi, old),
                          r.top + MulDiv(r.bottom - r.top, dpi, old)};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
