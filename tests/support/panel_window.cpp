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
