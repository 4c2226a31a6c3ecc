#include "pixels.h"

#include <gtest/gtest.h>

#include <cstring>

Pixels ReadBack(HDC source, int width, int height) {
    POINT origin;
    GetViewportOrgEx(source, &origin);
    SetViewportOrgEx(source, 0, 0, nullptr);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP copy = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    Pixels p;
    p.width = width;
    p.height = height;
    p.data.resize(size_t(width) * height);
    EXPECT_EQ(height, GetDIBits(memory, copy, 0, height, p.data.data(), &info, DIB_RGB_COLORS));
    for (uint32_t& v : p.data) v &= 0xFFFFFF;
    DeleteObject(copy);
    DeleteDC(memory);
    SetViewportOrgEx(source, origin.x, origin.y, nullptr);
    return p;
}

Pixels ReadPainter(CPainter* painter) { return ReadBack(painter->GetHDC(), painter->Width(), painter->Height()); }

namespace {

// The client area's DC, or the whole window's.
HDC ScreenDC(HWND window, bool whole) { return whole ? GetWindowDC(window) : GetDC(window); }

Pixels ReadScreen(HWND window, bool whole) {
    RECT r;
    if (whole)
        GetWindowRect(window, &r);
    else
        GetClientRect(window, &r);
    HDC dc = ScreenDC(window, whole);
    Pixels p = ReadBack(dc, r.right - r.left, r.bottom - r.top);
    ReleaseDC(window, dc);
    return p;
}

uint32_t ScreenPixel(HWND window, bool whole, int x, int y) {
    HDC dc = ScreenDC(window, whole);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

}  // namespace

Pixels ReadClient(HWND window) { return ReadScreen(window, false); }
Pixels ReadWindow(HWND window) { return ReadScreen(window, true); }
uint32_t ClientPixel(HWND window, int x, int y) { return ScreenPixel(window, false, x, y); }
uint32_t WindowPixel(HWND window, int x, int y) { return ScreenPixel(window, true, x, y); }
