// The painter: every drawing primitive of the framework, on GDI. Colours are
// words 0x00RRGGBB; the top byte is ignored by every primitive.
#pragma once

#include <cstdint>

#include "../mem/ExeHeapSrv.h"
#include "../rtl/Array.h"
#include "DisplayScale.h"
#include "HashTable.h"

// The painter's text operation shares its name with a USER macro.
#ifdef DrawText
#undef DrawText
#endif

#define PANEL_PAINTER_TAG ".\\PanelPainter.cpp"

// SetFont flags.
enum : uint32_t {
    kFontAntialiased = 1,
    kFontBold = 2,
    kFontItalic = 4,
};

const uint32_t kFontFaceUnits = 64;   // 63 units and the terminator

// Every operation takes coordinates and sizes in units of 1/96 inch and
// draws at the painter's display scale (DisplayScale.h); text measures come
// back in the same units.
class IPainter {
public:
    virtual void ClipRect(const RECT& rect) = 0;                                      // 0
    virtual void PopClip() = 0;                                                       // 1
    virtual void PushClip() = 0;                                                      // 2
    virtual void DrawEllipse(const RECT& rect, uint32_t line, uint32_t fill) = 0;     // 3
    virtual void DrawBitmap(const RECT& rect, HBITMAP bitmap) = 0;                    // 4
    virtual void DrawLine(POINT from, POINT to, uint32_t colour) = 0;                 // 5
    virtual void XorLine(POINT from, POINT to) = 0;                                   // 6
    virtual void DrawPixel(int32_t x, int32_t y, uint32_t colour) = 0;                // 7
    virtual void DrawPolygon(int32_t count, const POINT* points, uint32_t line,
                             uint32_t fill) = 0;                                      // 8
    virtual void DrawBevel(const RECT& rect, uint32_t colour, int raised, int filled) = 0;  // 9
    virtual void FillRect(const RECT& rect, uint32_t colour) = 0;                     // 10
    virtual void XorRect(const RECT& rect) = 0;                                       // 11
    virtual void DrawFrame(const RECT& rect, uint32_t colour) = 0;                    // 12
    virtual void DragLine(POINT from, POINT to) = 0;                                  // 13
    virtual void DragRect(const RECT& rect) = 0;                                      // 14
    virtual void DrawText(const wchar_t* text, POINT at, uint32_t colour) = 0;        // 15
    virtual void SetFont(const wchar_t* face, int32_t size, uint32_t flags) = 0;      // 16
    virtual void Present() = 0;                                                       // 17
    virtual void Flush() = 0;                                                         // 18
    virtual void AttachWindowDC() = 0;                                                // 19
    virtual int NeedsPaint(const RECT& rect) = 0;                                     // 20
    virtual int32_t TextHeight(const wchar_t* text) = 0;                              // 21
    virtual int32_t TextWidth(const wchar_t* text) = 0;                               // 22
    virtual void ResetOrigin() = 0;                                                   // 23
    virtual void PopOrigin() = 0;                                                     // 24
    virtual void PushOrigin() = 0;                                                    // 25
    virtual void Translate(POINT offset) = 0;                                         // 26
    virtual HDC GetHDC() = 0;                                                         // 27
    // Deleting destructor: bit 0 of flags gives the memory back to the heap.
    virtual void Destroy(uint32_t flags) = 0;                                         // 28
    // The scale it draws at, for measures taken on its DC (Uniscribe).
    virtual CDisplayScale Scale() = 0;                                                // 29

protected:
    IPainter() {}
    ~IPainter() {}
};

// Buffered: draws into a memory DC holding a bitmap of the client size,
// presented on WM_PAINT. Unbuffered: draws on the whole-window DC. At 96
// DPI every primitive is GDI's own; scaled, a one-unit line is the filled
// cells it covers and a slanted one a pen as wide as a unit.
class CPainter final : public IPainter {
public:
    CPainter(HWND window, int buffered, uint32_t dpi = kBaseDpi);
    CPainter(const CPainter&) = delete;
    CPainter& operator=(const CPainter&) = delete;

    void ClipRect(const RECT& rect) override;
    void PopClip() override;
    void PushClip() override;
    void DrawEllipse(const RECT& rect, uint32_t line, uint32_t fill) override;
    void DrawBitmap(const RECT& rect, HBITMAP bitmap) override;
    void DrawLine(POINT from, POINT to, uint32_t colour) override;
    void XorLine(POINT from, POINT to) override;
    void DrawPixel(int32_t x, int32_t y, uint32_t colour) override;
    void DrawPolygon(int32_t count, const POINT* points, uint32_t line, uint32_t fill) override;
    void DrawBevel(const RECT& rect, uint32_t colour, int raised, int filled) override;
    void FillRect(const RECT& rect, uint32_t colour) override;
    void XorRect(const RECT& rect) override;
    void DrawFrame(const RECT& rect, uint32_t colour) override;
    void DragLine(POINT from, POINT to) override;
    void DragRect(const RECT& rect) override;
    void DrawText(const wchar_t* text, POINT at, uint32_t colour) override;
    void SetFont(const wchar_t* face, int32_t size, uint32_t flags) override;
    void Present() override;
    void Flush() override;
    void AttachWindowDC() override;
    int NeedsPaint(const RECT& rect) override;
    int32_t TextHeight(const wchar_t* text) override;
    int32_t TextWidth(const wchar_t* text) override;
    void ResetOrigin() override;
    void PopOrigin() override;
    void PushOrigin() override;
    void Translate(POINT offset) override;
    HDC GetHDC() override;
    void Destroy(uint32_t flags) override;
    CDisplayScale Scale() override { return scale; }
    // Draws at another scale from now on (fonts are picked afresh by SetFont).
    void SetDpi(uint32_t dpi);

    // The surface in device pixels.
    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    POINT Origin() const { return origins[origins.count - 1]; }
    uint32_t ClipDepth() const { return clipStack.count; }
    uint32_t OriginDepth() const { return origins.count; }

private:
    ~CPainter();
    void SelectDrawingTools();
    void ApplyOrigin();
    void Drag(const POINT* points, int count);
    // Device coordinates, relative to the viewport origin, of unit coordinates.
    LONG DX(LONG x) const;
    LONG DY(LONG y) const;
    RECT DR(const RECT& r) const;
    // Fills the device pixels of the unit cells in `cells`.
    void FillCells(const RECT& cells, COLORREF colour);
    // A slanted line, scaled: from cell centre to cell centre, a unit wide.
    void WideLine(POINT from, POINT to, COLORREF colour, int rop);

    int32_t buffered;
    TArray<HRGN> clipStack;   // null entry: no clip region was set
    HDC dc;
    HDC bitmapDC;
    int32_t width;
    int32_t height;
    TArray<POINT> origins;    // never empty, in units; the top is the viewport origin
    HWND window;
    CDisplayScale scale;
};

// Allocates (tag ".\PanelPainter.cpp") and constructs a painter.
CPainter* CreatePainter(HWND window, int buffered, int32_t line, uint32_t dpi = kBaseDpi);

// Each of the three low bytes times numerator over denominator, capped at
// 255; the top byte becomes 255.
uint32_t ScaleColor(uint32_t colour, uint32_t numerator, uint32_t denominator);
// The four bytes added pairwise, each sum capped at 255.
uint32_t AddColor(uint32_t a, uint32_t b);
// A 32-bit top-down DIB section holding width x height pixels (blue, green,
// red, reserved; rows top to bottom); the caller deletes it. Null when the
// size is empty or GDI refuses.
HBITMAP CreateBitmapFromPixels(SIZE size, const void* pixels);

// A colour word as a GDI colour reference.
inline COLORREF ToColorRef(uint32_t colour) {
    return COLORREF(((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF));
}

// Process-wide painter state, for diagnostics and tests.
uint32_t PainterCount();
int FontCacheExists();
uint32_t FontCacheCount();
