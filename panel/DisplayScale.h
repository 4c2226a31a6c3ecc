// The display scale: controls lay out, hit-test and paint in units of
// 1/96 inch (the numbers the layout gives); the painter and the window map
// them to device pixels where they meet GDI and USER.
#pragma once

#include <cstdint>
#include <windows.h>

const uint32_t kBaseDpi = 96;

// Edges are scaled, not sizes: a device edge is round(edge x dpi / 96), so
// neighbours that share an edge in units share it in pixels too. At 96 DPI
// every mapping is the identity.
struct CDisplayScale {
    uint32_t dpi;

    // The device edge of a coordinate in units.
    int32_t Edge(int32_t units) const;
    // The unit whose pixels hold this device pixel: Edge(u) <= pixel < Edge(u + 1).
    int32_t Cell(int32_t pixel) const;
    // A device length (a text's width) in units, rounded to the nearest.
    int32_t Units(int32_t pixels) const;
    // The units that cover a device extent of `pixels` (0 for none).
    int32_t Cover(int32_t pixels) const;

    RECT Rect(const RECT& units) const;
    POINT Point(POINT units) const;
    // The units holding a device point, and the units covering a device rectangle.
    POINT CellOf(POINT pixel) const;
    RECT Enclosing(const RECT& pixels) const;
    bool Identity() const { return dpi == kBaseDpi; }
};

// A usable DPI: 0 and absurd values become 96.
uint32_t SaneDpi(uint32_t dpi);
// The window's DPI: GetDpiForWindow where the system has it, else the
// screen's LOGPIXELSX (Windows 7 and 8); without a window, the system's.
uint32_t WindowDpi(HWND window);
// GetSystemMetricsForDpi where the system has it, else GetSystemMetrics.
int SystemMetricForDpi(int index, uint32_t dpi);
