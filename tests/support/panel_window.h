// Real windows for tests: the thread's message pump, panel windows, the
// suites that share one, and plain windows to paint on.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "panel/Panel.h"
#include "recording.h"

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

// Pumps for `limit` milliseconds, for checks that nothing more happens.
inline void PumpFor(DWORD limit) { PumpUntil([] { return false; }, limit); }

// A framed panel window with its own reference, shown and pumped.
CPanel* OpenTestPanel(const wchar_t* title, int32_t width, int32_t height, uint32_t style = 1);
void CloseTestPanel(CPanel*& panel);

// A shown, validated top-level window of a class that only does the default,
// at (x, y) with a width x height client area.
HWND OpenPlainWindow(const wchar_t* title, DWORD style, int x, int y, int width, int height);

// Whether `r` has exactly these edges.
bool SameRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom);

// Tests on one panel window for their whole suite: windows cost seconds to
// destroy under Wine. The suite opens it from SetUpTestSuite; each test
// starts without focus or notes and ends with its controls deleted.
class PanelSuite : public ::testing::Test {
protected:
    static void OpenPanel(const wchar_t* title, int32_t width, int32_t height);
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Mouse messages at client coordinates, key presses and typed characters.
    static LRESULT Send(UINT message, WPARAM w, int x, int y);
    static void Click(int x, int y);
    static void Key(UINT vk);
    static void Type(const char* text);

    // Adds `control` as `name` at the anchors, calling `callback` with `data`.
    template <class T>
    static T* Place(T* control, const char* name, int32_t left, int32_t top, int32_t right, int32_t bottom,
                    ControlCallback callback = RecordNote, uint32_t data = 0) {
        EXPECT_TRUE(AddControl(nullptr, control, panel, name)) << name;
        SetControlAnchors(name, panel, uint32_t(left), uint32_t(top), uint32_t(right), uint32_t(bottom));
        SetControlCallback(name, panel, callback, data);
        return control;
    }

    static CPanel* panel;
    static HWND handle;
};
