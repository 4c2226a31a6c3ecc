// The button face, pixel by pixel from its row table, and the button on a
// real window: clicks, cancel, double click, Space and the cached face.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/ButtonFace.h"
#include "controls/CtlButton.h"
#include "heap_checks.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "panel_window.h"
#include "recording.h"

namespace {

uint32_t Scale(uint32_t c, uint32_t n, uint32_t m) {
    uint32_t out = 0xFF000000u;
    for (int s = 0; s < 24; s += 8) out |= std::min(((c >> s) & 0xFF) * n / m, 255u) << s;
    return out;
}

// Rows 0, 1, 2, body, h-3, h-2, h-1 by columns 0, 1, 2, middle, w-3, w-2,
// w-1. Sources: a base, d panel, 0 zero word, F highlight, E lit edge, p gradient.
struct Cell {
    char source;
    uint32_t n, m;
};
const Cell kFace[7][7] = {
    {{'d',1,1}, {'d',83,100}, {'d',73,100}, {'d',69,100}, {'d',73,100}, {'d',83,100}, {'d',1,1}},
    {{'d',83,100}, {'d',45,100}, {'d',16,100}, {'0',0,1}, {'d',16,100}, {'d',93,100}, {'d',124,100}},
    {{'d',73,100}, {'d',16,100}, {'a',75,100}, {'F',0,1}, {'a',42,100}, {'d',16,100}, {'d',140,100}},
    {{'d',69,100}, {'0',0,1}, {'E',0,1}, {'p',0,1}, {'a',68,225}, {'0',0,1}, {'d',148,100}},
    {{'d',73,100}, {'d',16,100}, {'a',39,100}, {'a',58,100}, {'a',24,225}, {'d',16,100}, {'d',140,100}},
    {{'d',81,97}, {'d',90,97}, {'d',16,97}, {'0',0,1}, {'d',16,97}, {'d',135,100}, {'d',120,100}},
    {{'d',1,1}, {'d',120,97}, {'d',136,97}, {'d',144,97}, {'d',136,97}, {'d',120,100}, {'d',1,1}},
};

int Band(int i, int extent) { return i < 3 ? i : i >= extent - 3 ? 4 + i - (extent - 3) : 3; }

uint32_t Expected(int x, int y, int w, int h, bool pressed, uint32_t a, uint32_t d) {
    const Cell& c = kFace[Band(y, h)][Band(x, w)];
    switch (c.source) {
    case 'a': return Scale(a, c.n, c.m);
    case 'd': return Scale(d, c.n, c.m);
    case 'F': return Scale(a, pressed ? 62 : 217, 100);
    case 'E': return Scale(a, pressed ? 62 : 168, 100);
    case 'p': return Scale(a, uint32_t(40 * (h - 6 - (y - 3)) / (h - 6) + 60), 100);
    default: return 0;
    }
}

std::vector<uint32_t> Face(int w, int h, bool pressed, uint32_t a, uint32_t d) {
    std::vector<uint32_t> out(size_t(w) * h, 0xDEADBEEF);
    EXPECT_EQ(1, RenderButtonFacePixels(w, h, pressed, a, d, out.data()));
    return out;
}

}  // namespace

TEST(ButtonFace, EveryPixelFollowsTheRowTable) {
    struct {
        int w, h;
        bool pressed;
        uint32_t a, d;
    } cases[] = {
        {6, 6, false, 0xFF51493F, 0xFFBAA992},  {6, 6, true, 0xFF51493F, 0xFFBAA992},
        {9, 26, false, 0xFF1E1E1E, 0xFF000000}, {9, 26, true, 0xFF1E1E1E, 0xFF789070},
        {12, 8, false, 0xFF80C0F0, 0xFFBAAF85},  // bright: the highlight saturates
    };
    for (const auto& c : cases) {
        const std::vector<uint32_t> face = Face(c.w, c.h, c.pressed, c.a, c.d);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                ASSERT_EQ(Expected(x, y, c.w, c.h, c.pressed, c.a, c.d), face[size_t(y) * c.w + x])
                    << c.w << "x" << c.h << " pressed " << c.pressed << " at " << x << "," << y;
    }
    EXPECT_EQ(0xFFFFFFFFu, Face(12, 8, false, 0xFF80C0F0, 0)[2 * 12 + 5]);
    const std::vector<uint32_t> tall = Face(9, 26, false, 0xFF1E1E1E, 0);
    EXPECT_EQ(0xFF1E1E1Eu, tall[3 * 9 + 4]);                  // first body row: the base
    EXPECT_EQ(Scale(0xFF1E1E1E, 62, 100), tall[22 * 9 + 4]);  // last body row: 62 %

    uint32_t untouched = 7;
    EXPECT_EQ(0, RenderButtonFacePixels(5, 30, 0, 0xFF1E1E1E, 0, &untouched));
    EXPECT_EQ(7u, untouched);
    EXPECT_EQ(nullptr, RenderButtonFace(SIZE{30, 5}, 0, 0xFF1E1E1E));
    EXPECT_EQ(nullptr, RenderButtonFace(SIZE{0x10000, 0x10000}, 0, 0xFF1E1E1E));
    const LiveBlocks live;   // the scratch image goes back
    HBITMAP bitmap = RenderButtonFace(SIZE{8, 8}, 1, 0xFF1E1E1E);
    EXPECT_NE(nullptr, bitmap);
    DeleteObject(bitmap);
    EXPECT_EQ(0, live.Added());
}

TEST(ButtonFace, PressingChangesOnlyTheHighlightAndTheLitEdge) {
    const int w = 10;
    for (int h : {6, 7, 20}) {
        const std::vector<uint32_t> up = Face(w, h, false, 0xFF335478, 0xFF789070);
        const std::vector<uint32_t> down = Face(w, h, true, 0xFF335478, 0xFF789070);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool changes = (y == 2 && x >= 3 && x < w - 3) || (x == 2 && y >= 3 && y < h - 3);
                EXPECT_EQ(changes, up[size_t(y) * w + x] != down[size_t(y) * w + x]) << x << "," << y;
            }
    }
}

TEST(ButtonCaption, CentredOrAtZeroWhenLarger) {
    const POINT odd = ButtonCaptionOrigin(SIZE{101, 31}, SIZE{40, 12});   // spare pixel right, down
    const POINT wide = ButtonCaptionOrigin(SIZE{30, 30}, SIZE{40, 12});
    const POINT low = ButtonCaptionOrigin(SIZE{100, 5}, SIZE{40, 12});
    EXPECT_TRUE(odd.x == 30 && odd.y == 9 && wide.x == 0 && wide.y == 9 && low.x == 30 && low.y == 0);
}

TEST(ButtonCaption, WhiteWhateverTheScheme) {
    DistinctScheme scheme;
    CButton* button = CreateButton(L"Play");
    button->width = 50;
    button->height = 20;
    RecordingPainter painter;
    button->OnPaint(&painter);
    EXPECT_EQ("text Play 25,10 #16777215", painter.draws.back());
    button->Destroy(1);
}

namespace {

// One panel window for the suite; scheme 1 tells the face from the panel.
class ButtonWindow : public PanelSuite {
protected:
    static void SetUpTestSuite() { OpenPanel(L"button test", 240, 160); }
    void SetUp() override {
        SelectColorScheme(1);
        ASSERT_NO_FATAL_FAILURE(PanelSuite::SetUp());
        button = Place(CreateButton(L"Play"), "play", 10, 10, 110, 40, RecordNoteWithData, 3);
    }
    static Pixels Painted() {
        UpdateWindow(handle);
        return ReadPainter(panel->painter);
    }
    // The button's pixels against the face the renderer gives, with the
    // focus mark's white dots while it has the focus.
    void ExpectFace(bool pressed) {
        const Pixels p = Painted();
        const int w = button->width, h = button->height;
        const std::vector<uint32_t> face = Face(w, h, pressed, (*currentScheme)[0], (*currentScheme)[8]);
        const bool focused = FocusedControl() == button;
        const int l = kButtonFocusInset, t = kButtonFocusInset, r = w - 1 - l, b = h - 1 - t;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool dot = ((y == t || y == b) && x >= l && x <= r && (x - l) % 2 == 0) ||
                                 ((x == l || x == r) && y > t && y < b && (y - t) % 2 == 0);
                ASSERT_EQ(focused && dot ? 0xFFFFFFu : face[size_t(y) * w + x] & 0xFFFFFF,
                          p.at(button->x + x, button->y + y))
                    << x << "," << y;
            }
    }
    CButton* button = nullptr;
};

}  // namespace

TEST_F(ButtonWindow, FaceFollowsStateSizeAndScheme) {
    DeleteControls(panel);   // without a caption the face shows alone
    button = CreateButton(L"");
    ASSERT_TRUE(AddControl(nullptr, button, panel, "blank"));
    SetControlAnchors("blank", panel, 10, 10, 110, 40);
    ExpectFace(false);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    ExpectFace(true);
    SetControlAnchors("blank", panel, 10, 10, 60, 50);
    ExpectFace(true);
    SelectColorScheme(3);
    RefreshAllWindows();
    Send(WM_MOUSEMOVE, MK_LBUTTON, 200, 100);   // moving out keeps the look
    ExpectFace(true);
    Send(WM_LBUTTONUP, 0, 200, 100);
    ExpectFace(false);
}

TEST_F(ButtonWindow, ClicksCancelsAndDoubleClicks) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    EXPECT_TRUE(button->Pressed && CaptureControl() == button && FocusedControl() == button);
    Send(WM_LBUTTONUP, 0, 109, 39);
    EXPECT_EQ(std::vector<std::string>{"3 play 1"}, notes);

    // Released one pixel past the right edge: cancelled.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    Send(WM_LBUTTONUP, 0, 110, 20);
    EXPECT_EQ(1u, notes.size());
    EXPECT_TRUE(!button->Pressed && !CaptureControl());

    // The right button does nothing at all.
    SetFocusControl(nullptr);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 20, 20);
    EXPECT_TRUE(!button->Pressed && !CaptureControl() && !FocusedControl());
    Send(WM_RBUTTONUP, 0, 20, 20);
    EXPECT_EQ(1u, notes.size());

    // A double click presses again; its release is a second click.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    Send(WM_LBUTTONUP, 0, 20, 20);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 20, 20);
    Send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(3u, notes.size());
}

TEST_F(ButtonWindow, SpacePressesOnDownAndClicksOnUp) {
    SetFocusControl(button);
    Send(WM_KEYDOWN, VK_SPACE, 0, 0);
    Send(WM_KEYDOWN, VK_SPACE, 0, 0);   // auto-repeat
    EXPECT_TRUE(button->Pressed && notes.empty());
    Send(WM_KEYUP, VK_SPACE, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"3 play 1"}, notes);
    // Enter does as Space; other keys pass; a key up without its press
    // clicks nothing.
    Send(WM_KEYDOWN, VK_RETURN, 0, 0);
    EXPECT_TRUE(button->Pressed && notes.size() == 1);
    Send(WM_KEYUP, VK_RETURN, 0, 0);
    EXPECT_EQ(2u, notes.size());
    EXPECT_EQ(0, button->OnKeyDown(KeyHome, 0));
    Send(WM_KEYUP, VK_SPACE, 0, 0);
    EXPECT_TRUE(!button->Pressed && notes.size() == 2);

    // Space lets go of a mouse press: the capture still goes at the release.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    Send(WM_KEYUP, VK_SPACE, 0, 0);
    Send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_TRUE(notes.size() == 3 && !CaptureControl());
}

// Alt+Enter (which comes as the window menu's key) presses nothing; Ctrl+Enter
// is Enter.
TEST_F(ButtonWindow, AltEnterPressesNothingCtrlEnterClicks) {
    SetFocusControl(button);
    Send(WM_SYSCOMMAND, SC_KEYMENU, 13, 0);
    EXPECT_FALSE(button->Pressed);
    EXPECT_EQ(1, button->OnKeyDown(KeyEnter, kKeyCtrl));
    EXPECT_TRUE(button->Pressed);
    button->OnKeyUp(KeyEnter, kKeyCtrl);
    panel->DeliverNotifications();
    EXPECT_EQ(std::vector<std::string>{"3 play 1"}, notes);
}

TEST_F(ButtonWindow, LosingTheFocusMidPressEndsItWithoutAClick) {
    DeleteControls(panel);   // without a caption the face shows alone
    button = Place(CreateButton(L""), "blank", 10, 10, 110, 40, RecordNoteWithData, 3);
    Place(CreateButton(L"Save"), "save", 120, 10, 220, 40);
    SetFocusControl(button);
    Send(WM_KEYDOWN, VK_SPACE, 0, 0);
    Send(WM_KEYDOWN, VK_TAB, 0, 0);   // the focus goes on to Save
    EXPECT_TRUE(!button->Pressed && FocusedControl() != button);
    ExpectFace(false);
    Send(WM_KEYUP, VK_SPACE, 0, 0);   // now Save's key up, without its press
    // Taken by a click elsewhere, likewise.
    SetFocusControl(button);
    Send(WM_KEYDOWN, VK_RETURN, 0, 0);
    SetFocusControl(nullptr);
    EXPECT_FALSE(button->Pressed);
    Send(WM_KEYUP, VK_RETURN, 0, 0);
    EXPECT_TRUE(notes.empty());
    // The window loses the keyboard focus (another program), and the key
    // comes up there: back again, the button is not pressed and its next
    // key up clicks nothing.
    SetFocusControl(button);
    Send(WM_KEYDOWN, VK_SPACE, 0, 0);
    Send(WM_KILLFOCUS, 0, 0, 0);
    EXPECT_FALSE(button->Pressed);
    EXPECT_EQ(button, FocusedControl());
    Send(WM_SETFOCUS, 0, 0, 0);
    Send(WM_KEYUP, VK_SPACE, 0, 0);
    EXPECT_TRUE(notes.empty());
}

TEST_F(ButtonWindow, FivePixelsHighShowsOnlyTheCaption) {
    SetControlAnchors("play", panel, 10, 10, 110, 15);
    const Pixels p = Painted();
    EXPECT_EQ(nullptr, button->Face);
    int caption = 0;
    for (int y = 10; y < 15; ++y)
        for (int x = 10; x < 110; ++x) {
            ASSERT_NE(0u, p.at(x, y)) << "face border at " << x << "," << y;   // text and panel only
            caption += p.at(x, y) != ((*currentScheme)[8] & 0xFFFFFF);
        }
    EXPECT_GT(caption, 0);
}
