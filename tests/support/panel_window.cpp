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
