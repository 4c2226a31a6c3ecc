// Pixels read back from a device context, for tests that draw for real.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "panel/PanelPainter.h"

// Pixels as 0x00RRGGBB words, rows top to bottom.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> data;
    uint32_t at(int x, int y) const { return data[size_t(y) * width + x]; }
};

// Copies width x height pixels from the DC's origin through a 32-bit DIB;
// the DC's viewport origin is left as it was.
Pixels ReadBack(HDC source, int width, int height);
// A painter's whole buffer.
Pixels ReadPainter(CPainter* painter);
// What the screen shows of a window's client area, or of the whole window,
// frame included, in window coordinates.
Pixels ReadClient(HWND window);
Pixels ReadWindow(HWND window);
// One pixel of the same, through GetPixel, as a colour word.
uint32_t ClientPixel(HWND window, int x, int y);
uint32_t WindowPixel(HWND window, int x, int y);
