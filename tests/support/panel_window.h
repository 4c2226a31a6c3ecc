// Real panel windows for tests, and pumping the thread's messages.
#pragma once

#include <windows.h>

#include "panel/Panel.h"

// Dispatches the messages waiting in the thread's queue; false when the
// queue does not drain (a paint that never validates comes back for ever).
bool Pump();

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

// A framed panel window with its own reference, shown and pumped.
CPanel* OpenTestPanel(const wchar_t* title, int32_t width, int32_t height, uint32_t style = 1);
void CloseTestPanel(CPanel*& panel);
