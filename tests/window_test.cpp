// Windows and panels on real windows: painting, notifications, the window
// table, the name operations and the messages the window procedure routes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "heap_checks.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "panel_window.h"
#include "pixels.h"
#include "recording.h"

namespace {

// The probes' events and the notifications, in one order.
std::vector<std::string>& events = notes;

struct Probe : CControl {
    std::string tag;
    uint32_t colour = 0x00FF00;
    int paints = 0;
    int focusable = 0;

    int CanFocus() override { return focusable; }
    void OnPaint(IPainter* p) override {
        ++paints;
        p->FillRect(RECT{0, 0, width, height}, colour);
        CControl::OnPaint(p);
    }
    void OnMouseDown(int32_t button, uint32_t mods, POINT pt) override {
        events.push_back(tag + " down " + std::to_string(button) + "/" + std::to_string(mods) + " " +
                         std::to_string(pt.x) + "," + std::to_string(pt.y));
        Notify(1);
        if (partner) partner->Notify(2);
        SetName("renamed");   // the queued copy keeps the old name
    }
    void OnMouseWheel(int32_t delta, uint32_t mods, POINT pt) override {
        events.push_back(tag + " wheel " + std::to_string(delta) + "/" + std::to_string(mods) + " " +
                         std::to_string(pt.x) + "," + std::to_string(pt.y));
    }
    int OnKeyDown(int32_t key, uint32_t mods) override {
        events.push_back(tag + " key " + std::to_string(key) + "/" + std::to_string(mods));
        return 0;
    }
    int OnChar(int32_t key, uint32_t) override {
        events.push_back(tag + " char " + std::to_string(key));
        Notify(key);
        return 1;
    }
    void OnChildAdded() override { events.push_back(tag + " child added"); }
    void Refresh() override {
        events.push_back(tag + " refresh");
        CControl::Refresh();
    }
    ~Probe() override { events.push_back(tag + " gone"); }
    Probe* partner = nullptr;
};

Probe* MakeProbe(const char* tag) {
    Probe* p = NewControl<Probe>("window_test", __LINE__);
    p->tag = tag;
    return p;
}

class PanelWindow : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        SelectColorScheme(0);
        OpenPanel(L"window test", 320, 200);
    }
    void SetUp() override {
        PanelSuite::SetUp();
        UpdateWindow(handle);
    }
    void TearDown() override {
        PanelSuite::TearDown();
        EXPECT_EQ(nullptr, panel->registry.First());
    }
};

}  // namespace

TEST(PanelGeometry, CentredOnTheScreenAndNeverOffIt) {
    EXPECT_EQ(216, CentredPosition(1024, 768, 592, 480).x);
    EXPECT_EQ(144, CentredPosition(1024, 768, 592, 480).y);
    EXPECT_EQ(0, CentredPosition(1024, 768, 2000, 900).x);
    EXPECT_EQ(0, CentredPosition(1024, 768, 2000, 900).y);
    EXPECT_EQ(0, CentredPosition(1024, 768, 1024, 768).x);
}

TEST_F(PanelWindow, InvalidationsMergeAndOnlyTheirAreaIsRendered) {
    Probe* closeBy = MakeProbe("near");
    Probe* farOff = MakeProbe("far");
    ASSERT_TRUE(AddControl(nullptr, closeBy, panel, "near"));
    ASSERT_TRUE(AddControl(nullptr, farOff, panel, "far"));
    SetControlAnchors("near", panel, 20, 20, 40, 40);
    SetControlAnchors("far", panel, 200, 100, 0x1FFF6, 0x1FFF6);   // far edges minus 10
    EXPECT_EQ(200, farOff->x);
    EXPECT_EQ(110, farOff->width);
    UpdateWindow(handle);
    closeBy->paints = farOff->paints = 0;

    panel->InvalidateRect(RECT{0, 0, 10, 10});
    panel->InvalidateRect(RECT{20, 20, 30, 30});
    EXPECT_TRUE(SameRect(panel->dirty, 0, 0, 30, 30));
    UpdateWindow(handle);
    EXPECT_EQ(1, closeBy->paints);
    EXPECT_EQ(0, farOff->paints);
    EXPECT_TRUE(IsRectEmpty(&panel->dirty) != 0);

    // Invalidate takes the whole client area, whatever was gathered.
    panel->InvalidateRect(RECT{5, 5, 6, 6});
    panel->Invalidate();
    EXPECT_TRUE(SameRect(panel->dirty, 0, 0, 320, 200));
    UpdateWindow(handle);
    EXPECT_EQ(2, closeBy->paints);
    EXPECT_EQ(1, farOff->paints);
    EXPECT_EQ(0x00FF00u, ClientPixel(handle, 25, 25));
    EXPECT_EQ(0u, ClientPixel(handle, 10, 10));   // scheme 0 background

    // A paint the system asks for alone re-renders nothing and restores the
    // picture from the buffer.
    HDC dc = GetDC(handle);
    RECT smudge = {0, 0, 100, 100};
    FillRect(dc, &smudge, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(handle, dc);
    EXPECT_EQ(0xFFFFFFu, ClientPixel(handle, 25, 25));
    ::InvalidateRect(handle, nullptr, TRUE);
    UpdateWindow(handle);
    EXPECT_EQ(2, closeBy->paints);
    EXPECT_EQ(0x00FF00u, ClientPixel(handle, 25, 25));
    EXPECT_EQ(0u, ClientPixel(handle, 10, 10));
}

namespace {

// Turns red and asks to be painted again the first time it paints.
struct Blinker : Probe {
    void OnPaint(IPainter* p) override {
        Probe::OnPaint(p);
        if (colour == 0x00FF00) {
            colour = 0xFF0000;
            Invalidate();
        }
    }
};

CPanel* rebuilt = nullptr;
Probe* fresh = nullptr;
uint32_t seenInside = 0;

// A rebuild inside the message, as the information panel's: every control
// goes and a new one takes another place.
void Rebuild(uint32_t, const char*, int32_t) {
    DeleteControls(rebuilt);
    fresh = MakeProbe("fresh");
    fresh->colour = 0x0000FF;
    AddControl(nullptr, fresh, rebuilt, "fresh");
    SetControlAnchors("fresh", rebuilt, 100, 50, 140, 90);
}

// Changes the colour, then runs a nested message and a paint, as a modal
// loop (a message box, the save dialog) would.
void Modal(uint32_t, const char*, int32_t) {
    fresh->colour = 0xFFFF00;
    fresh->Invalidate();
    HWND handle = GetWindowHandle(rebuilt);
    SendMessageA(handle, WM_NULL, 0, 0);
    UpdateWindow(handle);
    seenInside = ClientPixel(handle, 120, 70);
}

}  // namespace

// Invalidations made while painting still reach the window; after a rebuild
// inside one message nothing is left stale on the screen.
TEST_F(PanelWindow, NoRepaintIsLost) {
    Blinker* blinker = NewControl<Blinker>("window_test", __LINE__);
    ASSERT_TRUE(AddControl(nullptr, blinker, panel, "blinker"));
    SetControlAnchors("blinker", panel, 20, 20, 40, 40);
    EXPECT_TRUE(PumpUntil([] { return ClientPixel(handle, 25, 25) == 0xFF0000u; }, 10000));
    EXPECT_EQ(2, blinker->paints);

    rebuilt = panel;
    SetControlCallback("blinker", panel, Rebuild, 0);
    Click(25, 25);
    UpdateWindow(handle);
    EXPECT_EQ(0u, ClientPixel(handle, 25, 25));          // the old place: background
    EXPECT_EQ(0x0000FFu, ClientPixel(handle, 120, 70));  // the new control
    EXPECT_TRUE(IsRectEmpty(&panel->posted) != 0);

    // A modal loop inside a message repaints what changed before it.
    SetControlCallback("fresh", panel, Modal, 0);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 120, 70);
    EXPECT_EQ(0xFFFF00u, seenInside);
}

// A paint that comes while the window has no painter (before it is made)
// leaves nothing pending: what is invalidated afterwards is painted.
TEST_F(PanelWindow, APaintWithoutAPainterLosesNoLaterRepaint) {
    Probe* probe = MakeProbe("probe");
    ASSERT_TRUE(AddControl(nullptr, probe, panel, "probe"));
    SetControlAnchors("probe", panel, 20, 20, 40, 40);
    UpdateWindow(handle);
    CPainter* painter = panel->painter;
    panel->painter = nullptr;
    probe->Invalidate();
    UpdateWindow(handle);   // validated by the default procedure, unpainted
    panel->painter = painter;
    probe->colour = 0x0000FF;
    probe->Invalidate();
    UpdateWindow(handle);
    EXPECT_EQ(0x0000FFu, ClientPixel(handle, 25, 25));
}

TEST_F(PanelWindow, NotificationsOfOneClickComeAfterItInOrder) {
    Probe* a = MakeProbe("a");
    Probe* b = MakeProbe("b");
    ASSERT_TRUE(AddControl(nullptr, a, panel, "play"));
    ASSERT_TRUE(AddControl(nullptr, b, panel, "save"));
    SetControlAnchors("play", panel, 0, 0, 100, 100);
    SetControlAnchors("save", panel, 100, 0, 200, 100);
    SetControlCallback("play", panel, RecordNoteWithData, 5);
    SetControlCallback("save", panel, RecordNoteWithData, 6);
    a->partner = b;
    Send(WM_LBUTTONDOWN, MK_SHIFT | MK_CONTROL, 30, 40);
    const std::vector<std::string> expected = {"a down 1/3 30,40", "5 play 1", "6 save 2"};
    EXPECT_EQ(expected, events);
    EXPECT_STREQ("renamed", a->name);
    EXPECT_EQ(0u, panel->notifications.count);

    // Mouse moves and wheels deliver nothing; the next click does.
    events.clear();
    a->Notify(9);
    Send(WM_MOUSEMOVE, 0, 150, 40);
    EXPECT_TRUE(events.empty());
    Send(WM_RBUTTONDOWN, 0, 150, 40);
    EXPECT_EQ((std::vector<std::string>{"b down 4/0 50,40", "5 renamed 9", "6 save 1"}),
              events);
}

TEST_F(PanelWindow, KeysCharactersWheelAndAltEnter) {
    Probe* edit = MakeProbe("edit");
    edit->focusable = 1;
    ASSERT_TRUE(AddControl(nullptr, edit, panel, "edit"));
    SetControlAnchors("edit", panel, 10, 10, 110, 60);
    SetControlCallback("edit", panel, RecordNoteWithData, 1);
    SetFocusControl(edit);
    EXPECT_EQ(handle, GetFocus());
    events.clear();
    Key(VK_LEFT);
    Type("\x03q");   // Ctrl+C, q
    edit->Notify(7);
    Type("\t");      // dropped, but the queue is delivered
    SendMessageA(handle, WM_SYSCOMMAND, SC_KEYMENU, 13);
    const std::vector<std::string> expected = {
        "edit key 265/0", "edit char 257", "1 edit 257", "edit char 113",
        "1 edit 113", "1 edit 7", "edit key 262/1"};
    EXPECT_EQ(expected, events);

    // The wheel's point arrives in client coordinates, its delta signed.
    events.clear();
    POINT screen = {50, 30};
    ClientToScreen(handle, &screen);
    SendMessageA(handle, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, uint16_t(-120)), MAKELPARAM(screen.x, screen.y));
    EXPECT_EQ(std::vector<std::string>{"edit wheel -120/2 40,20"}, events);
}

TEST_F(PanelWindow, NameOperations) {
    Probe* row = MakeProbe("row");
    Probe* label = MakeProbe("label");
    Probe* button = MakeProbe("button");
    Probe* twin = MakeProbe("twin");
    ASSERT_TRUE(AddControl(nullptr, row, panel, "row"));
    ASSERT_TRUE(AddControl("row", label, panel, "label"));
    ASSERT_TRUE(AddControl("row", button, panel, "button"));
    EXPECT_EQ((std::vector<std::string>{"row child added", "row child added"}), events);
    EXPECT_FALSE(AddControl("nowhere", twin, panel, "twin"));   // refused: unknown parent
    EXPECT_EQ(nullptr, twin->parent);
    ASSERT_TRUE(AddControl(nullptr, twin, panel, "label"));     // the same name again
    EXPECT_EQ(label, FindControl(panel, "label"));
    EXPECT_EQ(nullptr, FindControl(panel, "Label"));
    EXPECT_EQ(row, label->parent);

    // Renaming under the same parent: no OnChildAdded, registered last.
    events.clear();
    ASSERT_TRUE(AddControl("row", button, panel, "play"));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(nullptr, FindControl(panel, "button"));
    EXPECT_EQ(button, FindControl(panel, "play"));
    RefreshControls(panel);   // in registration order
    EXPECT_EQ((std::vector<std::string>{"row refresh", "label refresh", "twin refresh", "button refresh"}),
              events);

    // Deleting everything: the row takes its label and button along.
    events.clear();
    DeleteControls(panel);
    EXPECT_EQ(nullptr, panel->registry.First());
    EXPECT_EQ(nullptr, panel->FirstChild());
    EXPECT_EQ(4u, events.size());
    EXPECT_EQ(nullptr, FindControl(panel, "label"));
}

TEST_F(PanelWindow, ContainerPanelLivesInTheTreeAndOutlivesIt) {
    const LiveBlocks live;
    Probe* holder = MakeProbe("holder");
    ASSERT_TRUE(AddControl(nullptr, holder, panel, "holder"));
    SetControlAnchors("holder", panel, 100, 50, 200, 150);
    CPanel* info = CreatePanel(L"", 128, 128, 0, 0);
    info->AddRef();
    EXPECT_EQ(nullptr, GetWindowHandle(info));
    EXPECT_EQ(-1, info->slot);
    ASSERT_TRUE(AddControl("holder", info, panel, "info"));
    holder->RequestLayout();
    EXPECT_EQ(100, info->width);
    Probe* inside = MakeProbe("inside");
    ASSERT_TRUE(AddControl(nullptr, inside, info, "inside"));
    SetControlAnchors("inside", info, 10, 10, 20, 20);
    UpdateWindow(handle);
    // Invalidation inside the container climbs to the window.
    inside->paints = 0;
    inside->Invalidate();
    EXPECT_TRUE(SameRect(panel->dirty, 110, 60, 120, 70));
    UpdateWindow(handle);
    EXPECT_EQ(1, inside->paints);
    EXPECT_EQ(0x00FF00u, ClientPixel(handle, 115, 65));
    EXPECT_EQ(0u, ClientPixel(handle, 105, 55));   // the container's background

    // The holder goes; the counted panel survives, detached.
    events.clear();
    holder->Destroy(1);
    EXPECT_EQ((std::vector<std::string>{"holder gone"}), events);
    EXPECT_EQ(nullptr, info->parent);
    EXPECT_EQ(inside, FindControl(info, "inside"));
    static_cast<CRefObject*>(info)->Release();
    EXPECT_EQ(0, live.Added());
}

TEST_F(PanelWindow, ResizingReplacesThePainterAndTitlesAreUtf8) {
    CPainter* before = panel->painter;
    RECT outer;
    GetWindowRect(handle, &outer);
    SetWindowPos(handle, nullptr, 0, 0, outer.right - outer.left + 40, outer.bottom - outer.top + 20,
                 SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(360, panel->width);
    EXPECT_EQ(220, panel->height);
    ASSERT_NE(nullptr, panel->painter);
    EXPECT_EQ(360, panel->painter->Width());
    EXPECT_EQ(220, panel->painter->Height());
    EXPECT_TRUE(SameRect(panel->dirty, 0, 0, 360, 220));
    (void)before;
    // A minimised window keeps its layout size.
    ShowWindow(handle, SW_MINIMIZE);
    EXPECT_EQ(360, panel->width);
    ShowWindow(handle, SW_RESTORE);
    SetWindowPos(handle, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(320, panel->width);

    panel->SetTitle(L"Caf\u00e9 \u266b");
    char text[64] = "";
    GetWindowTextA(handle, text, sizeof text);
    EXPECT_STREQ("Caf\xC3\xA9 \xE2\x99\xAB", panel->Title());
    EXPECT_STREQ(panel->Title(), text);
    std::wstring long_title(300, L'x');
    panel->SetTitle(long_title.c_str());
    EXPECT_EQ(259u, std::string(panel->Title()).size());
    panel->SetTitle(L"window test");
}

TEST(WindowTable, SlotsAreReusedAndNothingLeaks) {
    const LiveBlocks live;
    CPanel* first = CreatePanel(L"first", 100, 80, 1, 1);
    first->AddRef();
    const int32_t slot = first->slot;
    EXPECT_EQ(0, slot);   // the suite's earlier window gave it back
    HWND h = GetWindowHandle(first);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(slot, int32_t(GetWindowLongA(h, GWLP_USERDATA)));
    static_cast<CRefObject*>(first)->Release();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(nullptr, WindowEntry(slot)->window);

    CPanel* second = CreatePanel(L"second", 100, 80, 1, 1);
    second->AddRef();
    EXPECT_EQ(slot, second->slot);
    // Closing the window ends the loop with 0; the panel keeps its slot.
    PostMessageA(GetWindowHandle(second), WM_CLOSE, 0, 0);
    int steps = 0;
    while (PumpMessages() && ++steps < 10000) {
    }
    EXPECT_EQ(0, PumpMessages());
    EXPECT_EQ(nullptr, GetWindowHandle(second));
    EXPECT_EQ(slot, second->slot);
    static_cast<CRefObject*>(second)->Release();
    EXPECT_EQ(0, live.Added());
}

namespace {

// Right-most column of the caption holding the title colour.
int TitleRightEdge(HWND h) {
    SendMessageA(h, WM_NCPAINT, 0, 0);
    HDC dc = GetWindowDC(h);
    const COLORREF title = ToColorRef((*currentScheme)[9]);
    int edge = -1;
    for (int x = 8; x < 200; ++x)
        for (int y = 8; y < 32; ++y)
            if (GetPixel(dc, x, y) == title) edge = x;
    ReleaseDC(h, dc);
    return edge;
}

}  // namespace

TEST_F(PanelWindow, CaptionShowsTheTitleDecodedFromUtf8) {
    panel->SetTitle(L"eeee");
    const int plain = TitleRightEdge(handle);
    ASSERT_GT(plain, 12);
    // Accented letters have the widths of the plain ones; read as ANSI bytes
    // the title would be twice as long.
    panel->SetTitle(L"\u00e9\u00e9\u00e9\u00e9");
    EXPECT_NEAR(plain, TitleRightEdge(handle), 1);
    panel->SetTitle(L"window test");
}

TEST(WindowTable, APanelLargerThanTheScreenKeepsItsFrameOnIt) {
    CPanel* big = CreatePanel(L"big", 4000, 3000, 1, 1);   // larger than any test display
    big->AddRef();
    RECT outer, client = {0, 0, 0, 0};
    HWND h = GetWindowHandle(big);
    GetWindowRect(h, &outer);
    EXPECT_EQ(0, outer.left);
    EXPECT_EQ(0, outer.top);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 1);
    EXPECT_EQ(8, client.left);
    EXPECT_EQ(40, client.top);
    static_cast<CRefObject*>(big)->Release();
}
