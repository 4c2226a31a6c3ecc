// Recorders for tests: a painter that records what is drawn, a root that
// lends one, and the notifications controls send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "panel/ColorScheme.h"
#include "panel/Control.h"
#include "panel/PanelPainter.h"

// Paint calls in order; NeedsPaint answers from an update rectangle.
struct RecordingPainter : IPainter {
    std::vector<std::string> calls;   // clips and fonts
    std::vector<std::string> draws;   // drawing primitives, with rectangles in own coordinates
    bool hasUpdate = false;
    RECT update = {0, 0, 0, 0};
    POINT origin = {0, 0};
    std::vector<POINT> origins;
    int clipDepth = 0;

    void ClipRect(const RECT& r) override;
    void PopClip() override { --clipDepth; }
    void PushClip() override { ++clipDepth; }
    void DrawEllipse(const RECT& r, uint32_t, uint32_t) override { Draw("ellipse", r); }
    void DrawBitmap(const RECT& r, HBITMAP) override { Draw("bitmap", r); }
    void DrawLine(POINT a, POINT b, uint32_t c) override { Draw("line", RECT{a.x, a.y, b.x, b.y}, c); }
    void XorLine(POINT a, POINT b) override { Draw("xorline", RECT{a.x, a.y, b.x, b.y}); }
    void DrawPixel(int32_t x, int32_t y, uint32_t c) override { Draw("pixel", RECT{x, y, x + 1, y + 1}, c); }
    void DrawPolygon(int32_t, const POINT*, uint32_t, uint32_t) override { draws.push_back("polygon"); }
    void DrawBevel(const RECT& r, uint32_t c, int, int) override { Draw("bevel", r, c); }
    void FillRect(const RECT& r, uint32_t c) override { Draw("fill", r, c); }
    void XorRect(const RECT& r) override { Draw("xor", r); }
    void DrawFrame(const RECT& r, uint32_t c) override { Draw("frame", r, c); }
    void DragLine(POINT a, POINT b) override { Draw("dragline", RECT{a.x, a.y, b.x, b.y}); }
    void DragRect(const RECT& r) override { Draw("dragrect", r); }
    void DrawText(const wchar_t* text, POINT at, uint32_t c) override;
    void SetFont(const wchar_t* face, int32_t size, uint32_t f) override;
    void Present() override {}
    void Flush() override {}
    void AttachWindowDC() override {}
    int NeedsPaint(const RECT& r) override;
    int32_t TextHeight(const wchar_t*) override { return 0; }
    int32_t TextWidth(const wchar_t*) override { return 0; }
    void ResetOrigin() override { origin = {0, 0}; }
    void PopOrigin() override;
    void PushOrigin() override { origins.push_back(origin); }
    void Translate(POINT d) override;
    HDC GetHDC() override { return nullptr; }
    void Destroy(uint32_t) override {}
    CDisplayScale Scale() override { return CDisplayScale{kBaseDpi}; }

    // "<what> l,t,r,b", with " #<colour>" unless it is 0.
    void Draw(const char* what, const RECT& r, uint32_t colour = 0);
};

// A root without a window that lends a recording painter to its children.
struct PaintingRoot : CControl {
    RecordingPainter painter;
    IPainter* BeginDraw() override { return &painter; }
    void EndDraw(IPainter*) override {}
};

// While alive, the current colour scheme has eleven different entries, so that
// a recorded colour tells which entry was used.
struct DistinctScheme {
    ColorScheme scheme;
    const ColorScheme* previous = currentScheme;
    DistinctScheme();
    ~DistinctScheme() { currentScheme = previous; }
    // Entry i as the painter records a colour.
    std::string Ink(uint32_t i) const { return " #" + std::to_string(scheme[i] & 0xFFFFFF); }
};

// The notifications the recording callbacks heard, a line each, in order. A
// test may add lines of its own to check their order against other events.
extern std::vector<std::string> notes;

// Recording callbacks: "<name> <value>", and "<data> <name> <value>"; a
// missing name is "(none)".
void RecordNote(uint32_t data, const char* name, int32_t value);
void RecordNoteWithData(uint32_t data, const char* name, int32_t value);
