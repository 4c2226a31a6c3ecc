#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "heap_checks.h"
#include "panel_window.h"
#include "pixels.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "panel/PanelNonClient.h"
#include "panel/PanelPainter.h"

namespace {

std::string Hex(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%06X", unsigned(colour & 0xFFFFFF));
    return text;
}

uint32_t Colour(uint32_t entry) { return (*currentScheme)[entry] & 0xFFFFFF; }

// A point as the low and high words of a message parameter.
LPARAM Pack(LONG x, LONG y) {
    return LPARAM(uint32_t(uint16_t(int16_t(x))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}

// Hit code of a point in window coordinates, from the frame's own function
// for a w x h window; the window itself is asked in a few tests only.
int FrameHit(uint32_t frameStyle, LONG w, LONG h, LONG x, LONG y) {
    CFrame frame = {};
    frame.style = frameStyle;
    frame.windowRect = RECT{0, 0, w, h};
    return FrameHitTest(&frame, POINT{x, y});
}

// Pixels inside `r` that are not `colour`.
int Mismatches(const Pixels& p, const RECT& r, uint32_t colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (p.at(x, y) != colour) ++n;
    return n;
}

// Pixels inside `r` that are neither `a` nor `b`.
int Others(const Pixels& p, const RECT& r, uint32_t a, uint32_t b) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (p.at(x, y) != a && p.at(x, y) != b) ++n;
    return n;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// Text pixels: the colour itself or an antialiased edge close to it.
int CountNear(const Pixels& p, const RECT& r, uint32_t colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (Near(p.at(x, y), colour, 0x30)) ++n;
    return n;
}

bool CloseQueued(HWND window) {
    MSG msg;
    return PeekMessageW(&msg, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
}

// A panel and its window, shared by the tests of a suite: creating and
// destroying windows under Wine's X11 driver costs seconds each.
struct SharedPanel {
    CPanel* panel = nullptr;
    HWND window = nullptr;
    LONG w = 0, h = 0;   // window size

    void Open(const wchar_t* title, int32_t width, int32_t height, uint32_t style) {
        panel = OpenTestPanel(title, width, height, style);
        window = GetWindowHandle(panel);
        if (!window) return;
        UpdateWindow(window);
        Pump();
        RECT r;
        GetWindowRect(window, &r);
        w = r.right - r.left;
        h = r.bottom - r.top;
    }
    void Close() {
        CloseTestPanel(panel);
        window = nullptr;
    }
    POINT Origin() const {
        RECT r;
        GetWindowRect(window, &r);
        return POINT{r.left, r.top};
    }
    // Hit code of a point given in window coordinates.
    LRESULT Hit(LONG x, LONG y) const {
        const POINT o = Origin();
        return SendMessageW(window, WM_NCHITTEST, 0, Pack(o.x + x, o.y + y));
    }
    LRESULT Press(WPARAM code, LONG x, LONG y) const {
        const POINT o = Origin();
        return SendMessageW(window, WM_NCLBUTTONDOWN, code, Pack(o.x + x, o.y + y));
    }
    // A left-button release over a point in window coordinates, sent the way
    // the captured window gets it: in client coordinates.
    void ReleaseAt(LONG x, LONG y) const { SendMessageW(window, WM_LBUTTONUP, 0, Pack(x - 8, y - 40)); }
    void PaintFrame() const { SendMessageW(window, WM_NCPAINT, 0, 0); }
};

// Lets the panel repaint what is invalid, then reads its client area.
Pixels RepaintClient(const SharedPanel& s) {
    UpdateWindow(s.window);
    EXPECT_TRUE(Pump());
    RECT update;
    EXPECT_FALSE(GetUpdateRect(s.window, &update, FALSE));
    return ReadClient(s.window);
}

// One panel for all the tests of a suite; each suite opens its own.
template <class Suite>
class FramedPanel : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        shared.Close();
        SelectColorScheme(2);
    }
    void SetUp() override {
        ASSERT_NE(nullptr, shared.window);
        W = shared.w;
        H = shared.h;
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
        Pump();
    }
    static SharedPanel shared;
    LONG W = 0, H = 0;
};

template <class Suite>
SharedPanel FramedPanel<Suite>::shared;

// Panel style 1: no sizing borders, no minimize or maximize.
class FixedFrame : public FramedPanel<FixedFrame> {
protected:
    static void SetUpTestSuite() { shared.Open(L"Frame test", 592, 480, 1); }
};

// Panel style 0: the sizable frame.
class SizableFrame : public FramedPanel<SizableFrame> {
protected:
    static void SetUpTestSuite() { shared.Open(L"Sizable", 400, 300, 0); }
};

}  // namespace

TEST(FramePlacement, CentredOrAtTheCorner) {
    // Each axis on its own; a size equal to the screen's starts at 0.
    const struct {
        int32_t width, height;
        LONG x, y;
    } rows[] = {
        {592, 480, 216, 144}, {2000, 900, 0, 0}, {2000, 300, 0, 234}, {1024, 768, 0, 0}, {1023, 100, 0, 334},
    };
    for (const auto& r : rows) {
        const POINT p = CentredPosition(1024, 768, r.width, r.height);
        EXPECT_EQ(r.x, p.x) << r.width << "x" << r.height;
        EXPECT_EQ(r.y, p.y) << r.width << "x" << r.height;
    }
}

TEST_F(FixedFrame, WindowSurroundsTheCentredClientArea) {
    // The 592 x 480 client area centred on the screen, the frame around it.
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT r;
    GetWindowRect(shared.window, &r);
    EXPECT_EQ((sw - 592) / 2 - 8, r.left);
    EXPECT_EQ((sh - 480) / 2 - 40, r.top);
    EXPECT_EQ(608, r.right - r.left);
    EXPECT_EQ(528, r.bottom - r.top);
    RECT client;
    GetClientRect(shared.window, &client);
    EXPECT_EQ(592, client.right);
    EXPECT_EQ(480, client.bottom);
    POINT corner = {0, 0};
    ClientToScreen(shared.window, &corner);
    EXPECT_EQ((sw - 592) / 2, corner.x);
    EXPECT_EQ((sh - 480) / 2, corner.y);
    EXPECT_EQ(592, shared.panel->width);
    EXPECT_EQ(480, shared.panel->height);
    EXPECT_TRUE(IsWindowVisible(shared.window));
}

TEST_F(FixedFrame, NonClientCalculationTakesTheFrameOff) {
    RECT empty = {0, 0, 0, 0};
    EXPECT_EQ(0, SendMessageW(shared.window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&empty)));
    EXPECT_EQ(8, empty.left);
    EXPECT_EQ(40, empty.top);
    EXPECT_EQ(-8, empty.right);
    EXPECT_EQ(-8, empty.bottom);
    RECT r = {100, 50, 300, 250};
    SendMessageW(shared.window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(108, r.left);
    EXPECT_EQ(90, r.top);
    EXPECT_EQ(292, r.right);
    EXPECT_EQ(242, r.bottom);
    // The frame goes on answering for the real window afterwards.
    EXPECT_EQ(HTCLOSE, shared.Hit(W - 20, 20));
}

TEST_F(FixedFrame, HitTestHasButtonsAndCaptionButNoSizingBorders) {
    const struct {
        LONG x, y;
        LRESULT code;
    } points[] = {
        {W - 20, 20, HTCLOSE},   {W - 27, 13, HTCLOSE},   {W - 14, 26, HTCLOSE},
        {W - 13, 20, HTCAPTION}, {W - 20, 12, HTCAPTION}, {W - 20, 27, HTCAPTION},
        {W - 34, 20, HTHELP},    {W - 41, 13, HTHELP},    {W - 28, 26, HTHELP},
        {W - 42, 20, HTCAPTION}, {W - 48, 20, HTCAPTION}, {W - 60, 20, HTCAPTION},
        {100, 20, HTCAPTION},    {8, 8, HTCAPTION},       {W - 9, 31, HTCAPTION},
        // Borders are not for sizing here.
        {3, 3, HTCLIENT},        {W - 3, H - 3, HTCLIENT}, {3, 100, HTCLIENT},
        {W - 3, 100, HTCLIENT},  {100, 3, HTCLIENT},      {100, H - 3, HTCLIENT},
        {3, H - 3, HTCLIENT},    {W - 3, 3, HTCLIENT},    {7, 20, HTCLIENT},
        {100, 7, HTCLIENT},      {W - 8, 20, HTCLIENT},
        {300, 300, HTCLIENT},    {8, 40, HTCLIENT},       {W - 9, H - 9, HTCLIENT},
    };
    for (const auto& p : points) EXPECT_EQ(p.code, FrameHit(0, W, H, p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(FixedFrame, FramePaintsInTheSchemeColours) {
    // Colours 7, 9 and 10 of schemes 0 and 2.
    const struct {
        uint32_t scheme, border, title, caption;
    } schemes[] = {{0, 0x282828, 0xFF0D36, 0x000000}, {2, 0x485743, 0xFFFFFF, 0x789070}};
    for (const auto& s : schemes) {
        SCOPED_TRACE(s.scheme);
        SelectColorScheme(s.scheme);
        shared.PaintFrame();
        const Pixels p = ReadWindow(shared.window);
        ASSERT_EQ(W, p.width);
        const uint32_t border = s.border, caption = s.caption, white = 0xFFFFFF;
        EXPECT_EQ(0, Mismatches(p, RECT{0, 0, 8, H}, border));
        EXPECT_EQ(0, Mismatches(p, RECT{W - 8, 0, W, H}, border));
        EXPECT_EQ(0, Mismatches(p, RECT{8, 0, W - 8, 8}, border));
        EXPECT_EQ(0, Mismatches(p, RECT{8, H - 8, W - 8, H}, border));
        EXPECT_EQ(0, Mismatches(p, RECT{8, 32, W - 8, 40}, border));
        // The caption bar, where there is neither title nor button.
        EXPECT_EQ(0, Mismatches(p, RECT{200, 8, W - 41, 32}, caption));
        EXPECT_EQ(0, Mismatches(p, RECT{W - 41, 8, W - 8, 13}, caption));
        EXPECT_EQ(0, Mismatches(p, RECT{W - 41, 27, W - 8, 32}, caption));
        EXPECT_EQ(0, Mismatches(p, RECT{W - 13, 8, W - 8, 32}, caption));
        // Nothing where the sizable frame has minimize and maximize.
        EXPECT_EQ(0, Mismatches(p, RECT{W - 69, 13, W - 41, 27}, caption));

        // The close cross, corner to corner.
        EXPECT_EQ(Hex(white), Hex(p.at(W - 25, 15)));
        EXPECT_EQ(Hex(white), Hex(p.at(W - 16, 24)));
        EXPECT_EQ(Hex(white), Hex(p.at(W - 25, 24)));
        EXPECT_EQ(Hex(white), Hex(p.at(W - 16, 15)));
        EXPECT_EQ(Hex(white), Hex(p.at(W - 20, 20)));
        EXPECT_EQ(Hex(caption), Hex(p.at(W - 25, 20)));
        EXPECT_EQ(Hex(caption), Hex(p.at(W - 27, 13)));
        EXPECT_EQ(0, Others(p, RECT{W - 27, 13, W - 13, 27}, caption, white));
        // The T of the scheme button: bar at y 15, stem down the middle.
        const LONG left = W - 41, right = W - 27, middle = (left + right) / 2;
        for (LONG x = left + 2; x <= right - 3; ++x) EXPECT_EQ(Hex(white), Hex(p.at(x, 15))) << x;
        for (LONG y = 15; y <= 24; ++y) EXPECT_EQ(Hex(white), Hex(p.at(middle, y))) << y;
        EXPECT_EQ(Hex(caption), Hex(p.at(left + 1, 15)));
        EXPECT_EQ(Hex(caption), Hex(p.at(right - 2, 15)));
        EXPECT_EQ(Hex(caption), Hex(p.at(middle, 25)));
        EXPECT_EQ(Hex(caption), Hex(p.at(middle - 2, 20)));
        EXPECT_EQ(0, Others(p, RECT{left, 13, right, 27}, caption, white));

        // The title, in colour 9 from (12, 10).
        EXPECT_GT(CountNear(p, RECT{12, 10, 200, 32}, s.title), 10);
        EXPECT_EQ(0, CountNear(p, RECT{8, 8, 12, 32}, s.title));
        EXPECT_EQ(0, Mismatches(p, RECT{8, 8, 200, 10}, caption));

        // GetPixel on the window DC agrees.
        EXPECT_EQ(Hex(border), Hex(WindowPixel(shared.window, 0, 0)));
        EXPECT_EQ(Hex(border), Hex(WindowPixel(shared.window, W / 2, 36)));
        EXPECT_EQ(Hex(caption), Hex(WindowPixel(shared.window, W / 2, 20)));
        EXPECT_EQ(Hex(white), Hex(WindowPixel(shared.window, W - 25, 15)));
    }
}

TEST_F(FixedFrame, LongTitleIsCutAtTheSchemeButton) {
    SelectColorScheme(0);
    const std::wstring title(120, L'W');
    shared.panel->SetTitle(title.c_str());
    const Pixels p = ReadWindow(shared.window);
    const LONG edge = W - 41;
    // The text runs up to the button ...
    EXPECT_GT(CountNear(p, RECT{edge - 30, 8, edge, 32}, Colour(9)), 10);
    // ... and past it only the buttons' white and the caption remain.
    EXPECT_EQ(0, Others(p, RECT{edge, 8, W - 8, 32}, Colour(10), 0xFFFFFF));
    EXPECT_EQ(0, Mismatches(p, RECT{8, 32, W - 8, 40}, Colour(7)));
    shared.panel->SetTitle(L"Frame test");
}

TEST_F(FixedFrame, SetTitleRenamesTheWindowAndRepaintsTheCaption) {
    SelectColorScheme(0);
    shared.PaintFrame();
    char text[300];
    shared.panel->SetTitle(L"");
    EXPECT_EQ(0, GetWindowTextA(shared.window, text, sizeof(text)));
    Pixels p = ReadWindow(shared.window);
    EXPECT_EQ(0, Mismatches(p, RECT{8, 8, W - 41, 32}, Colour(10)));

    // UTF-8 bytes as the window text; the caption follows without a
    // further paint request.
    shared.panel->SetTitle(L"Caf\u00e9 WWW");
    ASSERT_EQ(9, GetWindowTextA(shared.window, text, sizeof(text)));
    EXPECT_STREQ("Caf\xC3\xA9 WWW", text);
    EXPECT_STREQ("Caf\xC3\xA9 WWW", shared.panel->Title());
    p = ReadWindow(shared.window);
    EXPECT_GT(CountNear(p, RECT{12, 10, 200, 32}, Colour(9)), 10);

    shared.panel->SetTitle(L"");
    p = ReadWindow(shared.window);
    EXPECT_EQ(0, Mismatches(p, RECT{8, 8, W - 41, 32}, Colour(10)));

    // A long title is cut to 259 bytes, on a character boundary.
    shared.panel->SetTitle(std::wstring(300, L'a').c_str());
    EXPECT_EQ(259, GetWindowTextA(shared.window, text, sizeof(text)));
    shared.panel->SetTitle(std::wstring(200, L'\u00e9').c_str());
    const int bytes = GetWindowTextA(shared.window, text, sizeof(text));
    EXPECT_EQ(258, bytes);
    EXPECT_EQ(char(0xA9), text[bytes - 1]);

    shared.panel->SetTitle(L"Frame test");
    EXPECT_EQ(10, GetWindowTextA(shared.window, text, sizeof(text)));
}

TEST_F(FixedFrame, ClientAreaIsThePanelBackground) {
    for (uint32_t scheme : {0u, 2u, 0u}) {
        SCOPED_TRACE(scheme);
        SelectColorScheme(scheme);
        shared.panel->Invalidate();
        const Pixels p = RepaintClient(shared);
        ASSERT_EQ(592, p.width);
        ASSERT_EQ(480, p.height);
        EXPECT_EQ(0, Mismatches(p, RECT{0, 0, 592, 480}, Colour(8)));
        // The client starts right inside the frame.
        EXPECT_EQ(Hex(Colour(8)), Hex(WindowPixel(shared.window, 8, 40)));
        EXPECT_EQ(Hex(Colour(8)), Hex(WindowPixel(shared.window, W - 9, H - 9)));
    }
}

TEST_F(FixedFrame, CloseButtonReleasedElsewhereClosesNothing) {
    SelectColorScheme(0);
    shared.PaintFrame();
    EXPECT_EQ(Hex(Colour(10)), Hex(WindowPixel(shared.window, W - 27, 13)));

    EXPECT_EQ(0, shared.Press(HTCLOSE, W - 20, 20));
    EXPECT_EQ(shared.window, GetCapture());
    // Pressed: the button is filled in colour 7 around its white cross.
    Pixels p = ReadWindow(shared.window);
    EXPECT_EQ(Hex(Colour(7)), Hex(p.at(W - 27, 13)));
    EXPECT_EQ(Hex(Colour(7)), Hex(p.at(W - 14, 26)));
    EXPECT_EQ(Hex(Colour(7)), Hex(p.at(W - 25, 20)));
    EXPECT_EQ(Hex(0xFFFFFF), Hex(p.at(W - 25, 15)));
    EXPECT_EQ(0, Others(p, RECT{W - 27, 13, W - 13, 27}, Colour(7), 0xFFFFFF));
    // The scheme button next to it is not pressed.
    EXPECT_EQ(Hex(Colour(10)), Hex(p.at(W - 41, 13)));

    shared.ReleaseAt(100, 20);   // over the caption
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_FALSE(CloseQueued(shared.window));
    EXPECT_TRUE(IsWindow(shared.window));
    EXPECT_EQ(shared.window, GetWindowHandle(shared.panel));
    p = ReadWindow(shared.window);
    EXPECT_EQ(0, Others(p, RECT{W - 27, 13, W - 13, 27}, Colour(10), 0xFFFFFF));
    EXPECT_EQ(Hex(Colour(10)), Hex(p.at(W - 27, 13)));

    // Pressed close, released over the scheme button: neither acts.
    shared.Press(HTCLOSE, W - 20, 20);
    shared.ReleaseAt(W - 34, 20);
    EXPECT_EQ(0u, colorSchemeIndex);
    EXPECT_FALSE(CloseQueued(shared.window));
    EXPECT_EQ(nullptr, GetCapture());

    // A release without a press is the panel's.
    shared.ReleaseAt(W - 20, 20);
    EXPECT_FALSE(CloseQueued(shared.window));
    EXPECT_TRUE(IsWindow(shared.window));
}

TEST_F(FixedFrame, SchemeButtonStepsThroughTheSchemes) {
    SelectColorScheme(1);
    shared.PaintFrame();
    RepaintClient(shared);
    for (uint32_t press = 1; press <= 4; ++press) {
        SCOPED_TRACE(press);
        const uint32_t before = colorSchemeIndex;
        EXPECT_EQ(0, shared.Press(HTHELP, W - 34, 20));
        EXPECT_EQ(shared.window, GetCapture());
        EXPECT_EQ(Hex(Colour(7)), Hex(WindowPixel(shared.window, W - 41, 13)));
        EXPECT_EQ(Hex(Colour(7)), Hex(WindowPixel(shared.window, W - 28, 26)));
        EXPECT_EQ(before, colorSchemeIndex);   // nothing until the release

        ValidateRect(shared.window, nullptr);
        shared.ReleaseAt(W - 34, 20);
        EXPECT_EQ(nullptr, GetCapture());
        const uint32_t index = (1 + press) & 3;
        EXPECT_EQ(index, colorSchemeIndex);
        EXPECT_EQ(&colorSchemes[index], currentScheme);

        // The frame at once in the new colours, the button released.
        const Pixels frame = ReadWindow(shared.window);
        EXPECT_EQ(0, Mismatches(frame, RECT{0, 0, 8, H}, Colour(7)));
        EXPECT_EQ(0, Mismatches(frame, RECT{8, 32, W - 8, 40}, Colour(7)));
        EXPECT_EQ(0, Mismatches(frame, RECT{200, 8, W - 41, 32}, Colour(10)));
        EXPECT_EQ(0, Others(frame, RECT{W - 41, 13, W - 27, 27}, Colour(10), 0xFFFFFF));
        EXPECT_GT(CountNear(frame, RECT{12, 10, 200, 32}, Colour(9)), 10);

        // The client is invalid and repaints in the new background.
        RECT update;
        EXPECT_TRUE(GetUpdateRect(shared.window, &update, FALSE));
        EXPECT_EQ(0, update.left);
        EXPECT_EQ(0, update.top);
        EXPECT_EQ(592, update.right);
        EXPECT_EQ(480, update.bottom);
        const Pixels client = RepaintClient(shared);
        EXPECT_EQ(0, Mismatches(client, RECT{0, 0, 592, 480}, Colour(8)));
    }
    EXPECT_EQ(1u, colorSchemeIndex);
    EXPECT_FALSE(CloseQueued(shared.window));
}

TEST_F(SizableFrame, HitTestHasSizingBordersAndAllButtons) {
    ASSERT_EQ(416, W);
    ASSERT_EQ(348, H);
    const struct {
        LONG x, y;
        LRESULT code;
    } points[] = {
        {3, 3, HTTOPLEFT},          {W - 3, H - 3, HTBOTTOMRIGHT}, {100, 20, HTCAPTION},
        {W - 20, 20, HTCLOSE},      {W - 48, 20, HTMINBUTTON},     {W - 34, 20, HTMAXBUTTON},
        {W - 60, 20, HTHELP},       {3, 100, HTLEFT},              {W - 3, 100, HTRIGHT},
        {100, 3, HTTOP},            {100, H - 3, HTBOTTOM},        {3, H - 3, HTBOTTOMLEFT},
        {W - 3, 3, HTTOPRIGHT},     {100, 100, HTCLIENT},          {8, 40, HTCLIENT},
        {W - 9, H - 9, HTCLIENT},
        // Button ranges: the lower bound in, the upper out.
        {W - 27, 13, HTCLOSE},      {W - 14, 26, HTCLOSE},         {W - 13, 20, HTCAPTION},
        {W - 28, 20, HTMAXBUTTON},  {W - 41, 20, HTMAXBUTTON},     {W - 42, 20, HTMINBUTTON},
        {W - 55, 20, HTMINBUTTON},  {W - 56, 20, HTHELP},          {W - 69, 20, HTHELP},
        {W - 70, 20, HTCAPTION},    {W - 20, 12, HTCAPTION},       {W - 20, 27, HTCAPTION},
        {W - 48, 13, HTMINBUTTON},  {W - 48, 27, HTCAPTION},
        // Caption and border edges.
        {8, 8, HTCAPTION},          {W - 9, 31, HTCAPTION},        {7, 20, HTLEFT},
        {W - 8, 20, HTRIGHT},       {100, 7, HTTOP},               {100, H - 8, HTBOTTOM},
        {100, H - 9, HTCLIENT},     {7, 100, HTLEFT},              {8, 100, HTCLIENT},
        {W - 8, 100, HTRIGHT},      {W - 9, 100, HTCLIENT},
        {0, 0, HTTOPLEFT},          {7, 7, HTTOPLEFT},             {W - 1, H - 1, HTBOTTOMRIGHT},
        {W - 8, H - 8, HTBOTTOMRIGHT}, {7, H - 8, HTBOTTOMLEFT},   {W - 8, 7, HTTOPRIGHT},
        {0, H - 1, HTBOTTOMLEFT},   {W - 1, 0, HTTOPRIGHT},
    };
    for (const auto& p : points) EXPECT_EQ(p.code, FrameHit(kFrameSizable, W, H, p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(SizableFrame, ButtonsPaintLeftOfClose) {
    SelectColorScheme(2);
    shared.PaintFrame();
    const Pixels p = ReadWindow(shared.window);
    const uint32_t caption = Colour(10), white = 0xFFFFFF;
    EXPECT_EQ(0, Mismatches(p, RECT{0, 0, 8, H}, Colour(7)));
    EXPECT_EQ(0, Mismatches(p, RECT{8, 32, W - 8, 40}, Colour(7)));
    EXPECT_EQ(0, Mismatches(p, RECT{150, 8, W - 69, 32}, caption));
    // Minimize: a bar along the bottom.
    for (LONG x = W - 53; x <= W - 44; ++x) EXPECT_EQ(Hex(white), Hex(p.at(x, 24))) << x;
    EXPECT_EQ(Hex(caption), Hex(p.at(W - 48, 20)));
    EXPECT_EQ(0, Others(p, RECT{W - 55, 13, W - 41, 27}, caption, white));
    // Maximize: an outline two pixels inside the button.
    for (LONG x = W - 39; x <= W - 30; ++x) {
        EXPECT_EQ(Hex(white), Hex(p.at(x, 15))) << x;
        EXPECT_EQ(Hex(white), Hex(p.at(x, 24))) << x;
    }
    for (LONG y = 15; y <= 24; ++y) {
        EXPECT_EQ(Hex(white), Hex(p.at(W - 39, y))) << y;
        EXPECT_EQ(Hex(white), Hex(p.at(W - 30, y))) << y;
    }
    EXPECT_EQ(Hex(caption), Hex(p.at(W - 34, 20)));
    EXPECT_EQ(0, Others(p, RECT{W - 41, 13, W - 27, 27}, caption, white));
    // Close.
    EXPECT_EQ(Hex(white), Hex(p.at(W - 25, 15)));
    EXPECT_EQ(Hex(white), Hex(p.at(W - 16, 24)));
    EXPECT_EQ(0, Others(p, RECT{W - 27, 13, W - 13, 27}, caption, white));
    // The scheme button's T, left of minimize.
    const LONG left = W - 69, right = W - 55, middle = (left + right) / 2;
    for (LONG x = left + 2; x <= right - 3; ++x) EXPECT_EQ(Hex(white), Hex(p.at(x, 15))) << x;
    for (LONG y = 15; y <= 24; ++y) EXPECT_EQ(Hex(white), Hex(p.at(middle, y))) << y;
    EXPECT_EQ(Hex(caption), Hex(p.at(middle, 25)));
    EXPECT_EQ(0, Others(p, RECT{left, 13, right, 27}, caption, white));
    EXPECT_GT(CountNear(p, RECT{12, 10, 150, 32}, Colour(9)), 10);
}

TEST_F(SizableFrame, LongTitleStopsBeforeTheSchemeButton) {
    SelectColorScheme(0);
    shared.panel->SetTitle(std::wstring(120, L'W').c_str());
    const Pixels p = ReadWindow(shared.window);
    EXPECT_GT(CountNear(p, RECT{W - 99, 8, W - 69, 32}, Colour(9)), 10);
    EXPECT_EQ(0, Others(p, RECT{W - 69, 8, W - 8, 32}, Colour(10), 0xFFFFFF));
    shared.panel->SetTitle(L"Sizable");
}

TEST_F(SizableFrame, ButtonsActOnlyWhenReleasedOverThemselves) {
    SelectColorScheme(0);
    EXPECT_EQ(0, shared.Press(HTMINBUTTON, W - 48, 20));
    EXPECT_EQ(shared.window, GetCapture());
    Pixels p = ReadWindow(shared.window);
    EXPECT_EQ(0, Others(p, RECT{W - 55, 13, W - 41, 27}, Colour(7), 0xFFFFFF));
    EXPECT_EQ(Hex(Colour(7)), Hex(p.at(W - 55, 13)));
    EXPECT_EQ(Hex(Colour(10)), Hex(p.at(W - 41, 13)));   // maximize untouched
    shared.ReleaseAt(W - 20, 20);                        // over close
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_FALSE(CloseQueued(shared.window));
    EXPECT_FALSE(IsIconic(shared.window));
    p = ReadWindow(shared.window);
    EXPECT_EQ(0, Others(p, RECT{W - 55, 13, W - 41, 27}, Colour(10), 0xFFFFFF));

    EXPECT_EQ(0, shared.Press(HTMAXBUTTON, W - 34, 20));
    EXPECT_EQ(Hex(Colour(7)), Hex(WindowPixel(shared.window, W - 41, 13)));
    shared.ReleaseAt(W - 48, 20);   // over minimize
    EXPECT_FALSE(IsIconic(shared.window));
    EXPECT_FALSE(IsZoomed(shared.window));

    EXPECT_EQ(0, shared.Press(HTMINBUTTON, W - 48, 20));
    shared.ReleaseAt(W - 60, 20);   // over the scheme button
    EXPECT_EQ(0u, colorSchemeIndex);
    EXPECT_FALSE(IsIconic(shared.window));

    RECT r;
    GetWindowRect(shared.window, &r);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 400) / 2 - 8, r.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 300) / 2 - 40, r.top);
    EXPECT_EQ(W, r.right - r.left);
    EXPECT_EQ(H, r.bottom - r.top);
}

TEST_F(SizableFrame, SizingKeepsTheMinimumSize) {
    auto sizing = [&](WPARAM edge, RECT r) {
        EXPECT_EQ(TRUE, SendMessageW(shared.window, WM_SIZING, edge, reinterpret_cast<LPARAM>(&r)));
        return r;
    };
    RECT r = sizing(WMSZ_RIGHT, RECT{100, 100, 200, 300});
    EXPECT_TRUE(SameRect(r, 100, 100, 242, 300)) << r.left << "," << r.right;
    r = sizing(WMSZ_LEFT, RECT{100, 100, 200, 300});
    EXPECT_TRUE(SameRect(r, 58, 100, 200, 300)) << r.left << "," << r.right;
    r = sizing(WMSZ_BOTTOM, RECT{100, 100, 400, 150});
    EXPECT_TRUE(SameRect(r, 100, 100, 400, 164)) << r.top << "," << r.bottom;
    r = sizing(WMSZ_TOP, RECT{100, 100, 400, 150});
    EXPECT_TRUE(SameRect(r, 100, 86, 400, 150)) << r.top << "," << r.bottom;
    // Corners fix both directions, each from the edge not dragged.
    r = sizing(WMSZ_BOTTOMRIGHT, RECT{10, 20, 30, 40});
    EXPECT_TRUE(SameRect(r, 10, 20, 152, 84));
    r = sizing(WMSZ_TOPLEFT, RECT{10, 20, 30, 40});
    EXPECT_TRUE(SameRect(r, -112, -24, 30, 40));
    r = sizing(WMSZ_TOPRIGHT, RECT{10, 20, 30, 40});
    EXPECT_TRUE(SameRect(r, 10, -24, 152, 40));
    r = sizing(WMSZ_BOTTOMLEFT, RECT{10, 20, 30, 40});
    EXPECT_TRUE(SameRect(r, -112, 20, 30, 84));
    // Large enough: unchanged, the minimum itself included.
    r = sizing(WMSZ_BOTTOMRIGHT, RECT{0, 0, 142, 64});
    EXPECT_TRUE(SameRect(r, 0, 0, 142, 64));
    r = sizing(WMSZ_RIGHT, RECT{0, 0, 141, 63});
    EXPECT_TRUE(SameRect(r, 0, 0, 142, 63));   // a side edge leaves the height alone
    r = sizing(WMSZ_LEFT, RECT{5, 5, 600, 400});
    EXPECT_TRUE(SameRect(r, 5, 5, 600, 400));
    // The window itself is untouched, and the frame still answers for it.
    RECT now;
    GetWindowRect(shared.window, &now);
    EXPECT_EQ(W, now.right - now.left);
    EXPECT_EQ(HTBOTTOMRIGHT, shared.Hit(W - 3, H - 3));
}

// Moved and resized, the frame follows the window: painting, hit test and
// the client's back buffer.
TEST_F(SizableFrame, FrameFollowsAMovedAndResizedWindow) {
    SelectColorScheme(0);
    RECT was;
    GetWindowRect(shared.window, &was);
    const LONG w2 = W + 100, h2 = H + 60;
    SetWindowPos(shared.window, nullptr, 50, 60, w2, h2, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    RECT client;
    GetClientRect(shared.window, &client);
    EXPECT_EQ(w2 - 16, client.right);
    EXPECT_EQ(h2 - 48, client.bottom);
    EXPECT_EQ(w2 - 16, shared.panel->width);
    EXPECT_EQ(h2 - 48, shared.panel->height);

    EXPECT_EQ(HTCLOSE, shared.Hit(w2 - 20, 20));
    EXPECT_EQ(HTMINBUTTON, shared.Hit(w2 - 48, 20));
    EXPECT_EQ(HTBOTTOMRIGHT, shared.Hit(w2 - 3, h2 - 3));
    EXPECT_EQ(HTCLIENT, shared.Hit(W - 3, H - 3));   // the old corner

    shared.PaintFrame();
    Pixels p = ReadWindow(shared.window);
    ASSERT_EQ(w2, p.width);
    ASSERT_EQ(h2, p.height);
    EXPECT_EQ(0, Mismatches(p, RECT{w2 - 8, 0, w2, h2}, Colour(7)));
    EXPECT_EQ(0, Mismatches(p, RECT{8, h2 - 8, w2 - 8, h2}, Colour(7)));
    EXPECT_EQ(Hex(0xFFFFFF), Hex(p.at(w2 - 25, 15)));
    EXPECT_EQ(Hex(0xFFFFFF), Hex(p.at(w2 - 16, 24)));
    EXPECT_EQ(0, Others(p, RECT{w2 - 69, 13, w2 - 13, 27}, Colour(10), 0xFFFFFF));
    shared.panel->Invalidate();
    const Pixels inside = RepaintClient(shared);
    EXPECT_EQ(0, Mismatches(inside, RECT{0, 0, w2 - 16, h2 - 48}, Colour(8)));

    // Maximize pressed, released over the moved close button: neither acts.
    shared.Press(HTMAXBUTTON, w2 - 34, 20);
    shared.ReleaseAt(w2 - 20, 20);
    EXPECT_FALSE(CloseQueued(shared.window));
    EXPECT_FALSE(IsZoomed(shared.window));

    SetWindowPos(shared.window, nullptr, was.left, was.top, W, H, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    GetClientRect(shared.window, &client);
    EXPECT_EQ(W - 16, client.right);
}

// --- Windows that end: run last, with no other panel window left.

namespace {

class FrameLifetime : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(AnyWindowHandle());
        // The window table and its free list keep their storage once grown:
        // grow them for two windows with panels that take a slot and give
        // it back.
        CPanel* warm[2];
        for (CPanel*& p : warm) {
            p = CreatePanel(L"warm", 16, 16, 1, 0);
            p->AddRef();
            p->AllocateSlot();
        }
        for (CPanel* p : warm) static_cast<CRefObject*>(p)->Release();
        baseline.Restart();
    }
    void TearDown() override {
        for (SharedPanel* s : {&first, &second}) s->Close();
        EXPECT_EQ(0u, PainterCount());
        EXPECT_FALSE(FontCacheExists());
        EXPECT_EQ(0, baseline.Added());
        SelectColorScheme(2);
    }
    LiveBlocks baseline;
    SharedPanel first, second;
};

// Steps of the message loop until `done`; a thread timer keeps GetMessage
// from waiting for ever should nothing else come. Answers the last step's
// result.
template <class Done>
int StepLoopUntil(Done done, int* steps) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    int result = 1;
    *steps = 0;
    while (!done() && *steps < 200) {
        result = PumpMessages();
        ++*steps;
        if (!result) break;
    }
    KillTimer(nullptr, timer);
    return result;
}

}  // namespace

TEST_F(FrameLifetime, CloseButtonDestroysItsWindowAndTheLastEndsTheLoop) {
    first.Open(L"First", 200, 100, 1);
    second.Open(L"Second", 240, 120, 0);
    ASSERT_NE(nullptr, first.window);
    ASSERT_NE(nullptr, second.window);
    EXPECT_GT(baseline.Added(), 0);
    EXPECT_EQ(Hex(colorSchemes[2][7] & 0xFFFFFF), Hex(WindowPixel(second.window, 0, 0)));

    EXPECT_EQ(0, first.Press(HTCLOSE, first.w - 20, 20));
    EXPECT_EQ(first.window, GetCapture());
    first.ReleaseAt(first.w - 20, 20);
    EXPECT_EQ(nullptr, GetCapture());
    // Posted, not sent: the window stays until the loop runs.
    ASSERT_TRUE(CloseQueued(first.window));
    EXPECT_TRUE(IsWindow(first.window));
    EXPECT_FALSE(CloseQueued(second.window));

    int steps = 0;
    const HWND closing = first.window;
    EXPECT_EQ(1, StepLoopUntil([&] { return !IsWindow(closing); }, &steps));
    EXPECT_LT(steps, 200);
    EXPECT_FALSE(IsWindow(closing));
    EXPECT_EQ(nullptr, GetWindowHandle(first.panel));
    // The other window keeps the loop going.
    EXPECT_TRUE(IsWindow(second.window));
    EXPECT_TRUE(AnyWindowHandle());

    EXPECT_EQ(0, second.Press(HTCLOSE, second.w - 20, 20));
    second.ReleaseAt(second.w - 20, 20);
    ASSERT_TRUE(CloseQueued(second.window));
    // The step that destroys the last window answers 0.
    const HWND last = second.window;
    EXPECT_EQ(0, StepLoopUntil([&] { return !IsWindow(last); }, &steps));
    EXPECT_LT(steps, 200);
    EXPECT_FALSE(IsWindow(second.window));
    EXPECT_FALSE(AnyWindowHandle());
    EXPECT_EQ(0, PumpMessages());
}

TEST_F(FrameLifetime, SchemeButtonRepaintsEveryWindowAndReleaseFreesTheFrames) {
    SelectColorScheme(0);
    first.Open(L"First", 200, 100, 0);
    second.Open(L"Second", 240, 120, 1);
    ASSERT_NE(nullptr, first.window);
    ASSERT_NE(nullptr, second.window);
    EXPECT_EQ(Hex(0x282828), Hex(WindowPixel(second.window, 0, 0)));

    EXPECT_EQ(0, first.Press(HTHELP, first.w - 60, 20));
    first.ReleaseAt(first.w - 60, 20);
    EXPECT_EQ(1u, colorSchemeIndex);
    // Both frames at once; both clients invalid until the loop paints them.
    for (SharedPanel* s : {&first, &second}) {
        SCOPED_TRACE(s->w);
        const Pixels frame = ReadWindow(s->window);
        EXPECT_EQ(0, Mismatches(frame, RECT{0, 0, s->w, 8}, Colour(7)));
        EXPECT_EQ(0, Mismatches(frame, RECT{8, 32, s->w - 8, 40}, Colour(7)));
        EXPECT_EQ(Hex(Colour(10)), Hex(frame.at(s->w - 10, 20)));
        RECT update;
        EXPECT_TRUE(GetUpdateRect(s->window, &update, FALSE));
    }
    for (SharedPanel* s : {&first, &second}) {
        SCOPED_TRACE(s->w);
        const Pixels client = RepaintClient(*s);
        EXPECT_EQ(0, Mismatches(client, RECT{0, 0, s->w - 16, s->h - 48}, Colour(8)));
    }
    EXPECT_GE(PainterCount(), 4u);

    const HWND a = first.window, b = second.window;
    first.Close();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_TRUE(IsWindow(b));
    second.Close();
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(AnyWindowHandle());
}
