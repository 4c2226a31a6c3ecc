#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "heap_checks.h"
#include "panel_window.h"
#include "pixels.h"
#include "panel/PanelPainter.h"

namespace {

const int kClientW = 64;
const int kClientH = 48;

// Pixels of `p` equal to `colour` inside and not outside `r`.
int CountInside(const Pixels& p, const RECT& r, uint32_t colour, int* outside) {
    int inside = 0;
    *outside = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) == colour) {
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                    ++inside;
                else
                    ++(*outside);
            }
    return inside;
}

// A shown pop-up window whose client area is kClientW x kClientH.
class PainterTest : public ::testing::Test {
protected:
    // One window for the whole suite: creating and destroying windows under
    // Wine's X11 driver costs seconds each.
    static void TearDownTestSuite() {
        DestroyWindow(window);
        window = nullptr;
        Pump();
    }

    void SetUp() override {
        baseline.Restart();
        if (!window) {
            window = OpenPlainWindow(L"painter", WS_POPUP | WS_BORDER, 10, 10, kClientW, kClientH);
            ASSERT_NE(nullptr, window);
        }
        // Give the client area the wanted size (a test may have changed it).
        RECT outer, client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        if (client.right != kClientW || client.bottom != kClientH)
            SetWindowPos(window, nullptr, 0, 0, kClientW + (outer.right - outer.left) - client.right,
                         kClientH + (outer.bottom - outer.top) - client.bottom,
                         SWP_NOMOVE | SWP_NOZORDER);
        UpdateWindow(window);
        Pump();
        ValidateRect(window, nullptr);
        painter = CreatePainter(window, 1, __LINE__);
        Clear(0x000000);
    }

    void TearDown() override {
        if (painter) painter->Destroy(1);
        painter = nullptr;
        EXPECT_EQ(0u, PainterCount());
        EXPECT_FALSE(FontCacheExists());
        EXPECT_EQ(0, baseline.Added());
    }

    void Clear(uint32_t colour) {
        const RECT all = {0, 0, kClientW, kClientH};
        painter->FillRect(all, colour);
    }

    LiveBlocks baseline;
    static HWND window;
    CPainter* painter = nullptr;
};

HWND PainterTest::window = nullptr;

}  // namespace

TEST(PainterColor, ScaleAndAdd) {
    EXPECT_EQ(0xFFB8B8B8u, ScaleColor(0x808080, 143, 99));
    EXPECT_EQ(0xFF353535u, ScaleColor(0x808080, 41, 99));
    EXPECT_EQ(0xFFFFFFFFu, ScaleColor(0xC0C0C0, 143, 99));   // each channel capped
    EXPECT_EQ(0xFF000000u, ScaleColor(0x00000000, 5, 1));
    EXPECT_EQ(0xFF000000u, ScaleColor(0x12345678, 0, 7));     // top byte always 255
    EXPECT_EQ(0xFF102030u, ScaleColor(0x7F204060, 1, 2));     // per channel, truncating
    EXPECT_EQ(0xFF010203u, ScaleColor(0x00010203, 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_EQ(0xFFFF00FFu, ScaleColor(0x00010001, 7, 0));     // no division by zero

    EXPECT_EQ(0xFF3050FFu, AddColor(0xFF102080, 0x002030A0));
    EXPECT_EQ(0xFFFFFFFFu, AddColor(0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_EQ(0x02040608u, AddColor(0x01020304, 0x01020304));

    EXPECT_EQ(RGB(0, 0, 255), ToColorRef(0x0000FF));
    EXPECT_EQ(RGB(255, 0, 0), ToColorRef(0xFF0000));
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), ToColorRef(0xAB123456));
}

TEST_F(PainterTest, BufferHasTheClientSizeAndFillsExactly) {
    EXPECT_EQ(kClientW, painter->Width());
    EXPECT_EQ(kClientH, painter->Height());
    EXPECT_EQ(1u, PainterCount());
    EXPECT_TRUE(FontCacheExists());
    EXPECT_EQ(GetStockObject(DC_PEN), GetCurrentObject(painter->GetHDC(), OBJ_PEN));
    EXPECT_EQ(GetStockObject(DC_BRUSH), GetCurrentObject(painter->GetHDC(), OBJ_BRUSH));

    const RECT r = {0, 0, 4, 2};
    painter->FillRect(r, 0x0000FF);
    Pixels p = ReadPainter(painter);
    int outside = 0;
    EXPECT_EQ(8, CountInside(p, r, 0x0000FF, &outside));
    EXPECT_EQ(0, outside);
    // Blue sits in the low byte of the colour word and the DIB pixel alike.
    uint8_t bytes[4];
    std::memcpy(bytes, &p.data[0], 4);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0x00, bytes[2]);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(painter->GetHDC(), 0, 0));

    const RECT red = {10, 5, 13, 9};
    painter->FillRect(red, 0xFF0000);
    p = ReadPainter(painter);
    EXPECT_EQ(12, CountInside(p, red, 0xFF0000, &outside));
    EXPECT_EQ(0, outside);
    std::memcpy(bytes, &p.data[size_t(5) * kClientW + 10], 4);
    EXPECT_EQ(0x00, bytes[0]);
    EXPECT_EQ(0xFF, bytes[2]);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(painter->GetHDC(), 10, 5));
}

TEST_F(PainterTest, LinesPixelsAndFramesIncludeTheirEnds) {
    painter->DrawLine({0, 0}, {3, 0}, 0x00FF00);
    painter->DrawLine({20, 10}, {20, 14}, 0x123456);
    painter->DrawPixel(40, 40, 0xABCDEF);
    Pixels p = ReadPainter(painter);
    int outside = 0;
    EXPECT_EQ(4, CountInside(p, RECT{0, 0, 4, 1}, 0x00FF00, &outside));
    EXPECT_EQ(0, outside);
    EXPECT_EQ(5, CountInside(p, RECT{20, 10, 21, 15}, 0x123456, &outside));
    EXPECT_EQ(0, outside);
    EXPECT_EQ(0xABCDEFu, p.at(40, 40));

    Clear(0);
    const RECT frame = {5, 5, 10, 9};
    painter->DrawFrame(frame, 0xFFFFFF);
    p = ReadPainter(painter);
    // The outline of the rectangle's own pixels, the inside left alone.
    EXPECT_EQ(14, CountInside(p, frame, 0xFFFFFF, &outside));
    EXPECT_EQ(0, outside);
    for (int x = 5; x < 10; ++x) {
        EXPECT_EQ(0xFFFFFFu, p.at(x, 5));
        EXPECT_EQ(0xFFFFFFu, p.at(x, 8));
    }
    EXPECT_EQ(0u, p.at(7, 6));
}

TEST_F(PainterTest, BevelEdgesAreLightAndDarkShades) {
    const RECT raised = {2, 2, 8, 7};
    painter->DrawBevel(raised, 0x808080, 1, 1);
    const RECT sunken = {20, 2, 26, 7};
    painter->DrawBevel(sunken, 0x808080, 0, 0);
    Pixels p = ReadPainter(painter);
    const uint32_t light = 0xB8B8B8, dark = 0x353535;
    // Raised: top row and left column light (the bottom-left corner belongs
    // to the bottom edge), bottom row and right column dark.
    for (int x = 2; x < 8; ++x) EXPECT_EQ(light, p.at(x, 2)) << x;
    for (int y = 2; y < 6; ++y) EXPECT_EQ(light, p.at(2, y)) << y;
    for (int x = 2; x < 7; ++x) EXPECT_EQ(dark, p.at(x, 6)) << x;
    for (int y = 3; y < 7; ++y) EXPECT_EQ(dark, p.at(7, y)) << y;
    for (int y = 3; y < 6; ++y)
        for (int x = 3; x < 7; ++x) EXPECT_EQ(0x808080u, p.at(x, y));
    int outside = 0;
    EXPECT_EQ(12, CountInside(p, raised, 0x808080, &outside));
    // Sunken: the other way round, and without fill.
    for (int x = 20; x < 26; ++x) EXPECT_EQ(dark, p.at(x, 2)) << x;
    for (int y = 3; y < 7; ++y) EXPECT_EQ(light, p.at(25, y)) << y;
    EXPECT_EQ(light, p.at(20, 6));
    EXPECT_EQ(0u, p.at(22, 4));
}

TEST_F(PainterTest, XorFiguresRestoreWhenDrawnTwice) {
    painter->FillRect(RECT{0, 0, 32, 48}, 0x336699);
    const Pixels before = ReadPainter(painter);
    const RECT r = {4, 4, 40, 20};
    painter->XorRect(r);
    Pixels once = ReadPainter(painter);
    EXPECT_EQ(0xCC9966u, once.at(4, 4));
    EXPECT_EQ(0xCC9966u, once.at(10, 10));
    EXPECT_EQ(0xFFFFFFu, once.at(35, 19));
    EXPECT_EQ(0x336699u, once.at(4, 20));
    painter->XorRect(r);
    EXPECT_EQ(before.data, ReadPainter(painter).data);

    painter->XorLine({2, 30}, {12, 30});
    once = ReadPainter(painter);
    EXPECT_EQ(0xCC9966u, once.at(2, 30));
    EXPECT_EQ(0xCC9966u, once.at(12, 30));   // the end point too, once
    EXPECT_EQ(0x336699u, once.at(13, 30));
    painter->XorLine({2, 30}, {12, 30});
    EXPECT_EQ(before.data, ReadPainter(painter).data);
    // The raster operation is back to plain drawing.
    EXPECT_EQ(R2_COPYPEN, GetROP2(painter->GetHDC()));
}

TEST_F(PainterTest, OriginsStackAndTranslate) {
    EXPECT_EQ(1u, painter->OriginDepth());
    painter->Translate({5, 3});
    painter->DrawPixel(0, 0, 0x0000FF);
    painter->PushOrigin();
    EXPECT_EQ(5, painter->Origin().x);
    painter->Translate({10, 10});
    painter->DrawPixel(0, 0, 0x00FF00);
    painter->PushOrigin();
    painter->ResetOrigin();
    painter->DrawPixel(1, 1, 0xFF0000);
    painter->PopOrigin();
    EXPECT_EQ(15, painter->Origin().x);
    EXPECT_EQ(13, painter->Origin().y);
    painter->DrawPixel(1, 0, 0x00FF00);
    painter->PopOrigin();
    painter->DrawPixel(1, 0, 0x0000FF);
    // The last origin stays: popping it changes nothing.
    painter->PopOrigin();
    EXPECT_EQ(1u, painter->OriginDepth());
    EXPECT_EQ(5, painter->Origin().x);
    painter->ResetOrigin();
    Pixels p = ReadPainter(painter);
    EXPECT_EQ(0x0000FFu, p.at(5, 3));
    EXPECT_EQ(0x0000FFu, p.at(6, 3));
    EXPECT_EQ(0x00FF00u, p.at(15, 13));
    EXPECT_EQ(0x00FF00u, p.at(16, 13));
    EXPECT_EQ(0xFF0000u, p.at(1, 1));
    POINT viewport;
    GetViewportOrgEx(painter->GetHDC(), &viewport);
    EXPECT_EQ(0, viewport.x);
    EXPECT_EQ(0, viewport.y);
}

TEST_F(PainterTest, ClipPushPopRestoresThePreviousRegion) {
    HDC dc = painter->GetHDC();
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(0, GetClipRgn(dc, probe));
    painter->PushClip();
    painter->ClipRect(RECT{10, 10, 20, 20});
    EXPECT_EQ(1, GetClipRgn(dc, probe));
    painter->PushClip();
    painter->Translate({12, 12});
    painter->ClipRect(RECT{0, 0, 100, 100});   // logical, moved by the origin
    painter->FillRect(RECT{-50, -50, 50, 50}, 0xFFFFFF);
    painter->ResetOrigin();
    Pixels p = ReadPainter(painter);
    int outside = 0;
    EXPECT_EQ(64, CountInside(p, RECT{12, 12, 20, 20}, 0xFFFFFF, &outside));
    EXPECT_EQ(0, outside);
    painter->PopClip();
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(10, box.left);
    EXPECT_EQ(20, box.bottom);
    painter->PopClip();
    EXPECT_EQ(0, GetClipRgn(dc, probe));
    EXPECT_EQ(0u, painter->ClipDepth());
    // An unmatched pop is harmless.
    painter->PopClip();
    EXPECT_EQ(0, GetClipRgn(dc, probe));
    painter->FillRect(RECT{0, 0, kClientW, kClientH}, 0x010203);
    EXPECT_EQ(0x010203u, ReadPainter(painter).at(0, 0));
    DeleteObject(probe);
}

TEST_F(PainterTest, BitmapsPolygonsAndEllipses) {
    const uint32_t pixels[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x808080, 0x010203};
    HBITMAP bitmap = CreateBitmapFromPixels(SIZE{3, 2}, pixels);
    ASSERT_NE(nullptr, bitmap);
    BITMAP info;
    ASSERT_EQ(int(sizeof(info)), GetObjectW(bitmap, sizeof(info), &info));
    EXPECT_EQ(3, info.bmWidth);
    EXPECT_EQ(2, info.bmHeight);
    EXPECT_EQ(32, info.bmBitsPixel);
    EXPECT_EQ(nullptr, CreateBitmapFromPixels(SIZE{0, 2}, pixels));

    painter->Translate({1, 1});
    painter->DrawBitmap(RECT{3, 4, 6, 6}, bitmap);
    painter->DrawBitmap(RECT{10, 4, 12, 5}, bitmap);   // only the part asked for
    painter->ResetOrigin();
    Pixels p = ReadPainter(painter);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pixels[i], p.at(4 + i % 3, 5 + i / 3)) << i;
    EXPECT_EQ(0x0000FFu, p.at(11, 5));
    EXPECT_EQ(0x00FF00u, p.at(12, 5));
    EXPECT_EQ(0u, p.at(13, 5));
    EXPECT_EQ(0u, p.at(11, 6));
    // The caller still owns the bitmap: it is not selected anywhere.
    EXPECT_TRUE(DeleteObject(bitmap));

    Clear(0);
    const POINT triangle[3] = {{30, 2}, {50, 2}, {30, 22}};
    painter->DrawPolygon(3, triangle, 0xFFFFFF, 0x00FF00);
    painter->DrawEllipse(RECT{2, 24, 22, 44}, 0xFF0000, 0x0000FF);
    p = ReadPainter(painter);
    EXPECT_EQ(0x00FF00u, p.at(34, 6));
    EXPECT_EQ(0xFFFFFFu, p.at(30, 10));
    EXPECT_EQ(0u, p.at(48, 20));
    EXPECT_EQ(0x0000FFu, p.at(12, 34));
    EXPECT_EQ(0xFF0000u, p.at(12, 24));
    EXPECT_EQ(0u, p.at(2, 24));
}

TEST_F(PainterTest, FontCacheHoldsOneFontPerKey) {
    HDC dc = painter->GetHDC();
    painter->SetFont(L"Verdana", 10, 0);
    HGDIOBJ verdana = GetCurrentObject(dc, OBJ_FONT);
    const LiveBlocks blocks;
    painter->SetFont(L"Verdana", 10, 0);
    EXPECT_EQ(verdana, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_EQ(1u, FontCacheCount());
    EXPECT_EQ(0, blocks.Added());
    // Case does not matter beyond the two units that pick the bucket.
    painter->SetFont(L"VeRDANA", 10, 0);
    EXPECT_EQ(verdana, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_EQ(1u, FontCacheCount());

    LOGFONTW font;
    ASSERT_EQ(int(sizeof(font)), GetObjectW(verdana, sizeof(font), &font));
    EXPECT_EQ(-10, font.lfHeight);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(DEFAULT_QUALITY, font.lfQuality);
    EXPECT_STREQ(L"Verdana", font.lfFaceName);

    // Each size and each flag set is a font of its own.
    painter->SetFont(L"Verdana", 12, 0);
    painter->SetFont(L"Verdana", 10, kFontBold | kFontItalic | kFontAntialiased);
    EXPECT_EQ(3u, FontCacheCount());
    HGDIOBJ styled = GetCurrentObject(dc, OBJ_FONT);
    EXPECT_NE(verdana, styled);
    ASSERT_EQ(int(sizeof(font)), GetObjectW(styled, sizeof(font), &font));
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(1, font.lfItalic);
    EXPECT_EQ(ANTIALIASED_QUALITY, font.lfQuality);

    // Faces are cut at 63 units: two long faces sharing those are one key.
    std::wstring longFace(70, L'a');
    std::wstring otherTail = std::wstring(63, L'a') + L"bbbbbbb";
    painter->SetFont(longFace.c_str(), 9, 0);
    HGDIOBJ cut = GetCurrentObject(dc, OBJ_FONT);
    painter->SetFont(otherTail.c_str(), 9, 0);
    EXPECT_EQ(cut, GetCurrentObject(dc, OBJ_FONT));
    painter->SetFont(std::wstring(63, L'a').c_str(), 9, 0);
    EXPECT_EQ(cut, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_EQ(4u, FontCacheCount());
    painter->SetFont(L"", 9, 0);   // an empty face is a key like any other
    EXPECT_EQ(5u, FontCacheCount());

    // A second painter shares the cache; the first one's end leaves it.
    CPainter* second = CreatePainter(window, 0, __LINE__);
    EXPECT_EQ(2u, PainterCount());
    second->SetFont(L"Verdana", 10, 0);
    EXPECT_EQ(verdana, GetCurrentObject(second->GetHDC(), OBJ_FONT));
    EXPECT_EQ(5u, FontCacheCount());
    painter->Destroy(1);
    painter = nullptr;
    EXPECT_TRUE(FontCacheExists());
    EXPECT_EQ(verdana, GetCurrentObject(second->GetHDC(), OBJ_FONT));
    LOGFONTW still;
    EXPECT_EQ(int(sizeof(still)), GetObjectW(verdana, sizeof(still), &still));
    second->Destroy(1);
    // The last painter took the cache, its records and its fonts.
    EXPECT_FALSE(FontCacheExists());
    EXPECT_EQ(0u, FontCacheCount());
    EXPECT_EQ(0, GetObjectW(verdana, sizeof(still), &still));
    EXPECT_EQ(0, GetObjectW(styled, sizeof(still), &still));
}

TEST_F(PainterTest, TextIsMeasuredAndDrawnWithTheSelectedFont) {
    painter->SetFont(L"Tahoma", 20, 0);
    const int width = painter->TextWidth(L"WWW");
    const int height = painter->TextHeight(L"WWW");
    EXPECT_GT(width, 10);
    EXPECT_GE(height, 18);
    EXPECT_LT(painter->TextWidth(L"W"), width);
    EXPECT_EQ(0, painter->TextWidth(L""));
    painter->SetFont(L"Tahoma", 10, 0);
    EXPECT_LT(painter->TextHeight(L"WWW"), height);

    painter->SetFont(L"Tahoma", 20, 0);
    painter->Translate({4, 4});
    painter->DrawText(L"WWW", {0, 0}, 0x00FF00);
    painter->ResetOrigin();
    Pixels p = ReadPainter(painter);
    int outside = 0;
    const int inside = CountInside(p, RECT{4, 4, 4 + width, 4 + height}, 0x00FF00, &outside);
    EXPECT_GT(inside, 20);
    EXPECT_EQ(0, outside);
    // Transparent background: the text leaves the rest of its box alone.
    EXPECT_EQ(TRANSPARENT, GetBkMode(painter->GetHDC()));
}

TEST_F(PainterTest, NeedsPaintFollowsTheUpdateRegion) {
    ValidateRect(window, nullptr);
    EXPECT_TRUE(painter->NeedsPaint(RECT{100, 100, 101, 101}));   // no update region
    const RECT dirty = {10, 10, 20, 20};
    InvalidateRect(window, &dirty, FALSE);
    EXPECT_TRUE(painter->NeedsPaint(RECT{15, 15, 30, 30}));
    EXPECT_FALSE(painter->NeedsPaint(RECT{20, 10, 30, 20}));   // touches the right edge
    EXPECT_FALSE(painter->NeedsPaint(RECT{0, 0, 10, 10}));     // touches the corner
    EXPECT_FALSE(painter->NeedsPaint(RECT{10, 0, 20, 10}));
    EXPECT_TRUE(painter->NeedsPaint(RECT{19, 19, 25, 25}));
    painter->Translate({15, 15});
    EXPECT_TRUE(painter->NeedsPaint(RECT{0, 0, 2, 2}));
    EXPECT_FALSE(painter->NeedsPaint(RECT{5, 5, 8, 8}));
    EXPECT_TRUE(painter->NeedsPaint(RECT{-10, -10, -4, -4}));
    painter->ResetOrigin();
    ValidateRect(window, nullptr);
}

TEST_F(PainterTest, PresentCopiesTheBufferAndDragStaysOnScreen) {
    Clear(0x204060);
    painter->FillRect(RECT{8, 8, 16, 16}, 0xFF0000);
    InvalidateRect(window, nullptr, FALSE);
    painter->Present();
    Pixels screen = ReadClient(window);
    EXPECT_EQ(ReadPainter(painter).data, screen.data);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));   // the paint validated it

    const Pixels buffer = ReadPainter(painter);
    painter->Translate({2, 2});
    painter->DragRect(RECT{10, 10, 40, 30});
    painter->DragLine({0, 40}, {50, 40});
    painter->ResetOrigin();
    Pixels shown = ReadClient(window);
    EXPECT_NE(screen.data, shown.data);
    // The figure sits at the origin, on the window only.
    EXPECT_EQ(0xFF0000u ^ 0xFFFFFFu, shown.at(12, 12));   // over the red square
    EXPECT_EQ(0x204060u, shown.at(20, 20));
    EXPECT_EQ(buffer.data, ReadPainter(painter).data);
    painter->Translate({2, 2});
    painter->DragLine({0, 40}, {50, 40});
    painter->DragRect(RECT{10, 10, 40, 30});
    painter->ResetOrigin();
    EXPECT_EQ(screen.data, ReadClient(window).data);
    HDC client = GetDC(window);
    EXPECT_EQ(R2_COPYPEN, GetROP2(client));
    ReleaseDC(window, client);
}

TEST_F(PainterTest, UnbufferedPainterDrawsOnTheWholeWindow) {
    CPainter* frame = CreatePainter(window, 0, __LINE__);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, frame->Width());
    EXPECT_EQ(outer.bottom - outer.top, frame->Height());
    EXPECT_EQ(GetStockObject(DC_PEN), GetCurrentObject(frame->GetHDC(), OBJ_PEN));

    // Growing the window, then reattaching, follows the new size.
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + 10, outer.bottom - outer.top + 6,
                 SWP_NOMOVE | SWP_NOZORDER);
    frame->Translate({3, 4});
    frame->AttachWindowDC();
    EXPECT_EQ(outer.right - outer.left + 10, frame->Width());
    EXPECT_EQ(outer.bottom - outer.top + 6, frame->Height());
    EXPECT_EQ(GetStockObject(DC_BRUSH), GetCurrentObject(frame->GetHDC(), OBJ_BRUSH));
    POINT viewport;
    GetViewportOrgEx(frame->GetHDC(), &viewport);
    EXPECT_EQ(3, viewport.x);
    EXPECT_EQ(4, viewport.y);
    frame->ResetOrigin();
    frame->Flush();   // a copy of itself: harmless

    // A buffered painter keeps its back buffer through AttachWindowDC.
    HDC memory = painter->GetHDC();
    painter->AttachWindowDC();
    EXPECT_EQ(memory, painter->GetHDC());
    EXPECT_EQ(kClientW, painter->Width());

    // Flush puts the buffer at the window's top-left corner.
    Clear(0x00FF00);
    painter->Flush();
    HDC whole = GetWindowDC(window);
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(whole, 0, 0));
    ReleaseDC(window, whole);
    frame->Destroy(1);
    EXPECT_EQ(1u, PainterCount());
}
