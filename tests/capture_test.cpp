// Mouse operations whose capture another window takes away, and owners that
// delete a control from inside its callback, on a real window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CtlButton.h"
#include "controls/CtlList.h"
#include "controls/CtlScroll.h"
#include "controls/CtlSlider.h"
#include "controls/CtlSplitter.h"
#include "controls/Curve.h"
#include "controls/PanelTimer.h"
#include "panel_window.h"

namespace {

HWND other = nullptr;
CControl* doomed = nullptr;   // what the deleting owner destroys, once

void DeleteDoomed() {
    CControl* c = doomed;
    doomed = nullptr;
    if (!c) return;
    if (CRefObject* shared = dynamic_cast<CRefObject*>(c))
        shared->Release();
    else
        c->Destroy(1);
}

void DeletingOwner(uint32_t, const char*, int32_t) { DeleteDoomed(); }
void DeletingCurveOwner(uint32_t, int32_t, const void*) { DeleteDoomed(); }

float Flat(uint32_t, uint32_t, float, const CurveSortedPoint*) { return 0.5f; }

class Capture : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        OpenPanel(L"capture test", 400, 200);
        other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() {
        DestroyWindow(other);
        PanelSuite::TearDownTestSuite();
    }
    void TearDown() override {
        ReleaseCapture();
        PanelSuite::TearDown();
        Pump();
        EXPECT_EQ(0u, RunningTimerCount());
    }

    static void Press(int32_t x, int32_t y, UINT message = WM_LBUTTONDOWN) {
        Send(message, message == WM_MBUTTONDOWN ? MK_MBUTTON : MK_LBUTTON, x, y);
    }
    // Another window of the thread takes the capture.
    static void TakeCaptureAway() {
        SetCapture(other);
        ReleaseCapture();
    }
};

}  // namespace

// Each operation ends as a release outside would: no click, the slider and the
// scroll bar report the end, timers stop, and the next press starts afresh.
TEST_F(Capture, LosingItEndsTheOperation) {
    CSlider* slider = Place(CreateSlider(nullptr), "slider", 10, 10, 128, 30);
    CScrollBar* bar = Place(CreateScrollBar(nullptr), "bar", 200, 10, 216, 170);
    CButton* button = Place(CreateButton(L"B"), "button", 220, 10, 280, 30);
    CSplitter* splitter = Place(CreateSplitter(kSplitterVertical, 40), "split", 300, 10, 390, 190);
    CCurve* curve = Place(CreateCurve(Flat), "curve", 10, 40, 190, 190);

    Press(60, 20);
    ASSERT_EQ(slider, CaptureControl());
    TakeCaptureAway();
    EXPECT_EQ(0, slider->Dragging);
    EXPECT_EQ(nullptr, CaptureControl());

    Press(208, 165);   // the forward arrow: repeats every 100 ms
    ASSERT_EQ(1u, RunningTimerCount());
    TakeCaptureAway();
    EXPECT_EQ(0u, bar->State);
    EXPECT_EQ(0u, RunningTimerCount());

    Press(250, 20);
    ASSERT_EQ(1u, button->Pressed);
    TakeCaptureAway();
    EXPECT_EQ(0u, button->Pressed);
    Send(WM_LBUTTONUP, 0, 250, 20);

    const int32_t bar0 = 300 + SplitterCentre(90, kSplitterVertical, 40);
    Press(bar0, 100);
    ASSERT_EQ(1, splitter->Dragging);
    Send(WM_MOUSEMOVE, MK_LBUTTON, bar0 + 10, 100);
    TakeCaptureAway();
    EXPECT_EQ(0, splitter->Dragging);
    EXPECT_EQ(50, splitter->Position);

    Press(20, 180);   // far from the line: a band selection with its timer
    ASSERT_NE(kCurveIdle, curve->Drag.mode);
    ASSERT_NE(0u, curve->TimerId);
    SendMessageA(handle, WM_CANCELMODE, 0, 0);   // a message box on its way
    EXPECT_EQ(kCurveIdle, curve->Drag.mode);
    EXPECT_EQ(0u, RunningTimerCount());
    EXPECT_NE(handle, GetCapture());
    Press(20, 180, WM_MBUTTONDOWN);   // not swallowed
    EXPECT_EQ(kCurvePan, curve->Drag.mode);
    TakeCaptureAway();
    EXPECT_EQ(kCurveIdle, curve->Drag.mode);

    EXPECT_EQ((std::vector<std::string>{"slider 0", "slider 1", "bar 0", "bar 0", "bar 1"}), notes);
}

// The owner destroys the control that is calling it; the control touches
// nothing of its own afterwards (freed memory is overwritten, so a touch
// crashes or shows as a corrupted heap).
TEST_F(Capture, OwnersMayDeleteTheCallingControl) {
    doomed = Place(CreateSlider(nullptr), "slider", 10, 10, 128, 30, DeletingOwner);
    Press(60, 20);
    EXPECT_EQ(nullptr, FindControl(panel, "slider"));

    doomed = Place(CreateScrollBar(nullptr), "bar", 200, 10, 216, 170, DeletingOwner);
    Press(208, 165);
    EXPECT_EQ(nullptr, FindControl(panel, "bar"));

    // From the repeat timer's tick: the press notifies twice, the tick once.
    CScrollBar* bar = Place(CreateScrollBar(nullptr), "bar", 200, 10, 216, 170);
    Press(208, 165);
    bar->SetCallback(DeletingOwner, 0);
    doomed = bar;
    EXPECT_TRUE(PumpUntil([] { return doomed == nullptr; }, 10000));
    EXPECT_EQ(0u, RunningTimerCount());

    // The list's own bar, whose owner deletes the list.
    CList* list = Place(CreateList(0, nullptr, nullptr, 0), "list", 220, 10, 300, 190);
    list->ScrollBar->SetCallback(DeletingOwner, 0);
    doomed = list;
    Press(300 - 7, 185);
    EXPECT_EQ(nullptr, FindControl(panel, "list"));

    CCurve* curve = Place(CreateCurve(Flat), "curve", 10, 40, 190, 190, nullptr);
    static_cast<CRefObject*>(curve)->AddRef();   // the owner's one reference
    curve->OriginX = 0;
    curve->ZoomX = 100;
    curve->ViewBottom = 0;
    curve->ViewTop = 1;
    curve->AddPoint(1, 0.5f, 0.2f);
    curve->EventCallback = DeletingCurveOwner;
    doomed = curve;
    Press(10 + curve->ColumnOf(0.5), 40 + curve->RowOf(0.2));   // selects the point: event 2
    EXPECT_EQ(nullptr, FindControl(panel, "curve"));
    EXPECT_EQ(nullptr, CaptureControl());
}
