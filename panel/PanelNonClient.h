// The custom frame of panel windows: borders, caption bar, caption buttons
// and the colour-scheme button, painted with an unbuffered painter.
#pragma once

#include <cstdint>

#include "PanelPainter.h"

#define PANEL_NONCLIENT_TAG ".\\PanelNonClient.cpp"

// Frame style bit 0: minimize and maximize buttons and sizing borders.
enum : uint32_t { kFrameSizable = 1 };

// Pressed caption buttons.
enum : uint32_t {
    kPressedClose = 1,
    kPressedScheme = 2,
    kPressedMaximize = 4,
    kPressedMinimize = 8,
};

struct CFrame {
    uint32_t style;
    WNDPROC previous;
    CPainter* painter;
    uint32_t pressed;
    HWND window;
    RECT windowRect;   // screen coordinates, as last seen
    uint32_t dpi;      // the window's; 0 stands for 96
};

// A zero-filled frame record from the thread heap.
CFrame* AllocFrame();
// Subclasses the window with the frame and enlarges the window around its
// client area (8 left, right and bottom, 40 at the top, scaled to the
// window's DPI).
void CreateFrame(uint32_t style, CFrame* frame, HWND window);
// The frame's geometry is in units of 1/96 inch: the window's size and a
// point are taken to units at the frame's DPI. Hit code of a point in window
// coordinates (device pixels), for the frame's last seen size.
int FrameHitTest(const CFrame* frame, POINT point);
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
