// Real panel windows for tests, and pumping the thread's messages.
#pragma once

#include <windows.h>

#include "panel/Panel.h"

// Dispatches every message waiting in the thread's queue.
inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps (timers included) until done() answers true or `limit` milliseconds
// have passed; false on the limit.
template <class Done>
bool PumpUntil(Done done, DWORD limit) {
    for (const DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > limit) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// A framed panel window with its own reference, shown and pumped. Suites
// share one: windows cost seconds to destroy under Wine.
inline CPanel* OpenTestPanel(const wchar_t* title, int32_t width, int32_t height) {
    CPanel* panel = CreatePanel(title, width, height, 1, 1);
    panel->AddRef();
    Pump();
    return panel;
}

inline void CloseTestPanel(CPanel*& panel) {
    if (panel) static_cast<CRefObject*>(panel)->Release();
    panel = nullptr;
    Pump();
}
