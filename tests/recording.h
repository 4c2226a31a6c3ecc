// A painter that records what is drawn, and a heap that counts allocations,
// for tests of painting and of allocation-free paths.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "mem/ExeHeapSrv.h"
#include "panel/ColorScheme.h"
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

    void ClipRect(const RECT& r) override {
        calls.push_back("clip " + std::to_string(r.right) + "x" + std::to_string(r.bottom));
    }
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
    void DrawText(const wchar_t* text, POINT at, uint32_t c) override {
        std::string narrow;
        for (const wchar_t* p = text; *p; ++p) narrow += *p < 128 ? char(*p) : '?';
        draws.push_back("text " + narrow + " " + std::to_string(at.x) + "," + std::to_string(at.y) + " #" +
                        std::to_string(c & 0xFFFFFF));
    }
    void SetFont(const wchar_t* face, int32_t size, uint32_t f) override {
        std::string narrow;
        for (const wchar_t* p = face; *p; ++p) narrow += char(*p);
        calls.push_back("font " + narrow + " " + std::to_string(size) + " " + std::to_string(f));
    }
    void Present() override {}
    void Flush() override {}
    void AttachWindowDC() override {}
    int NeedsPaint(const RECT& r) override {
        if (!hasUpdate) return 1;
        const LONG l = std::max(r.left + origin.x, update.left), rr = std::min(r.right + origin.x, update.right);
        const LONG t = std::max(r.top + origin.y, update.top), b = std::min(r.bottom + origin.y, update.bottom);
        return l < rr && t < b;
    }
    int32_t TextHeight(const wchar_t*) override { return 0; }
    int32_t TextWidth(const wchar_t*) override { return 0; }
    void ResetOrigin() override { origin = {0, 0}; }
    void PopOrigin() override {
        origin = origins.back();
        origins.pop_back();
    }
    void PushOrigin() override { origins.push_back(origin); }
    void Translate(POINT d) override {
        origin.x += d.x;
        origin.y += d.y;
    }
    HDC GetHDC() override { return nullptr; }
    void Destroy(uint32_t) override {}

    void Draw(const char* what, const RECT& r, uint32_t colour = 0) {
        draws.push_back(std::string(what) + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                        std::to_string(r.right) + "," + std::to_string(r.bottom) +
                        (colour ? " #" + std::to_string(colour & 0xFFFFFF) : ""));
    }
};

// While alive, the current colour scheme has eleven different entries, so that
// a recorded colour tells which entry was used.
struct DistinctScheme {
    ColorScheme scheme;
    const ColorScheme* previous = currentScheme;
    DistinctScheme() {
        for (uint32_t i = 0; i < 11; ++i) scheme.colors[i] = 0xFF000000u | (i + 1) * 0x0F0D0Bu;
        currentScheme = &scheme;
    }
    ~DistinctScheme() { currentScheme = previous; }
    // Entry i as the painter records a colour.
    std::string Ink(uint32_t i) const { return " #" + std::to_string(scheme[i] & 0xFFFFFF); }
};

// Counts the thread heap's allocations while installed.
class CountingHeap : public IHeap {
public:
    CountingHeap() : inner(ThreadHeap) { ThreadHeap = this; }
    ~CountingHeap() { ThreadHeap = inner; }
    void Lock() override { inner->Lock(); }
    void Unlock() override { inner->Unlock(); }
    void Enumerate(Visitor v, void* c) override { inner->Enumerate(v, c); }
    void* Alloc(uint32_t size, uint32_t f, const char* file, int32_t line) override {
        ++allocations;
        return inner->Alloc(size, f, file, line);
    }
    void Free(void* p) override { inner->Free(p); }
    uint32_t Size(void* p) override { return inner->Size(p); }
    void* Realloc(void* p, uint32_t size, uint32_t f, const char* file, int32_t line) override {
        ++allocations;
        return inner->Realloc(p, size, f, file, line);
    }
    int allocations = 0;

private:
    IHeap* inner;
};
