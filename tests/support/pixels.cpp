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

Pixels ReadClient(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    Pixels p = ReadBack(dc, r.right, r.bottom);
    ReleaseDC(window, dc);
    return p;
}

COLORREF ClientPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}
