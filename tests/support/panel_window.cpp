#include "panel_window.h"

bool Pump() {
    MSG msg;
    for (int n = 0; n < 1000; ++n) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return false;
}

CPanel* OpenTestPanel(const wchar_t* title, int32_t width, int32_t height, uint32_t style) {
    CPanel* panel = CreatePanel(title, width, height, style, 1);
    panel->AddRef();
    Pump();
    return panel;
}

void CloseTestPanel(CPanel*& panel) {
    if (panel) static_cast<CRefObject*>(panel)->Release();
    panel = nullptr;
    Pump();
}

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(hwnd, message, w, l);
}

const wchar_t* PlainClass() {
    static const wchar_t* name = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvenTestWindow";
        RegisterClassW(&wc);
        return wc.lpszClassName;
    }();
    return name;
}

}  // namespace

HWND OpenPlainWindow(const wchar_t* title, DWORD style, int x, int y, int width, int height) {
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND window = CreateWindowExW(0, PlainClass(), title, style, x, y, r.right - r.left, r.bottom - r.top,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    ValidateRect(window, nullptr);
    return window;
}

bool SameRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

CPanel* PanelSuite::panel = nullptr;
HWND PanelSuite::handle = nullptr;

void PanelSuite::OpenPanel(const wchar_t* title, int32_t width, int32_t height) {
    panel = OpenTestPanel(title, width, height);
    handle = GetWindowHandle(panel);
}

void PanelSuite::TearDownTestSuite() {
    CloseTestPanel(panel);
    handle = nullptr;
}

void PanelSuite::SetUp() {
    ASSERT_NE(nullptr, handle);
    notes.clear();
    SetFocusControl(nullptr);
}

void PanelSuite::TearDown() {
    DeleteControls(panel);
    UpdateWindow(handle);
}

LRESULT PanelSuite::Send(UINT message, WPARAM w, int x, int y) {
    return SendMessageA(handle, message, w, MAKELPARAM(x, y));
}

void PanelSuite::Click(int x, int y) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    Send(WM_LBUTTONUP, 0, x, y);
}

void PanelSuite::Key(UINT vk) { SendMessageA(handle, WM_KEYDOWN, vk, 0); }

void PanelSuite::Type(const char* text) {
    for (; *text; ++text) SendMessageA(handle, WM_CHAR, WPARAM(uint8_t(*text)), 0);
}
