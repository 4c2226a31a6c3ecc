#include "PanelPainter.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "../rtl/Str.h"

static_assert(sizeof(wchar_t) == 2, "faces are UTF-16");

namespace {

// Key of a cached font: the face cut to 63 units, zero-filled past its end.
struct CFontKey {
    wchar_t face[kFontFaceUnits];
    uint32_t flags;
    int32_t size;

    CFontKey(const wchar_t* name, uint32_t flags_, int32_t size_) : flags(flags_), size(size_) {
        std::memset(face, 0, sizeof(face));
        CopyWide(face, name ? name : L"", kFontFaceUnits);
    }
    // The first two units of the face: all sizes and styles share a bucket.
    uint32_t KeyHash() const { return HashKey4(face); }
};

struct CFontRecord {
    CFontKey key;
    HFONT font;
    uint32_t hash;
    TListLink registration;
    TListLink bucket;

    CFontRecord(const CFontKey& k, HFONT f) : key(k), font(f), hash(0) {}
    bool KeyEquals(const CFontKey& k) const {
        return key.size == k.size && key.flags == k.flags && CompareNoCase(key.face, k.face) == 0;
    }
};

typedef THashTable<CFontRecord, CFontKey> CFontCache;

uint32_t livePainters = 0;
CFontCache* fontCache = nullptr;

void CreateFontCache() {
    void* memory = ThreadHeap->Alloc(sizeof(CFontCache), 0, PANEL_PAINTER_TAG, __LINE__);
    fontCache = new (memory) CFontCache(uint32_t(offsetof(CFontRecord, hash)),
                                        uint32_t(offsetof(CFontRecord, registration)),
                                        uint32_t(offsetof(CFontRecord, bucket)));
}

// Deletes every font, frees the records and the cache.
void DestroyFontCache() {
    if (!fontCache) return;
    CFontRecord* record = fontCache->First();
    while (record) {
        CFontRecord* next = fontCache->Next(record);
        fontCache->Unlink(record);
        if (record->font) DeleteObject(record->font);
        record->~CFontRecord();
        ThreadHeap->Free(record);
        record = next;
    }
    fontCache->~CFontCache();
    ThreadHeap->Free(fontCache);
    fontCache = nullptr;
}

HFONT CachedFont(const wchar_t* face, int32_t size, uint32_t flags) {
    const CFontKey key(face, flags, size);
    if (CFontRecord* found = fontCache->Find(key)) return found->font;
    HFONT font = CreateFontW(-size, 0, 0, 0, (flags & kFontBold) ? FW_BOLD : FW_NORMAL,
                             (flags & kFontItalic) ? TRUE : FALSE, FALSE, FALSE, 0,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             (flags & kFontAntialiased) ? ANTIALIASED_QUALITY : DEFAULT_QUALITY,
                             DEFAULT_PITCH, key.face);
    if (!font) return nullptr;   // not cached: a later call tries again
    void* memory = ThreadHeap->Alloc(sizeof(CFontRecord), 0, PANEL_PAINTER_TAG, __LINE__);
    CFontRecord* record = new (memory) CFontRecord(key, font);
    fontCache->Insert(record, key.KeyHash());
    return font;
}

const COLORREF kWhite = RGB(255, 255, 255);

}  // namespace

CPainter::CPainter(HWND window_, int buffered_)
    : buffered(buffered_ ? 1 : 0), clipStack(64), dc(nullptr), bitmapDC(nullptr), width(0),
      height(0), origins(32), window(window_) {
    if (livePainters++ == 0) CreateFontCache();
    RECT r = {0, 0, 0, 0};
    if (buffered) {
        GetClientRect(window, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
        HDC windowDC = GetDC(window);
        dc = CreateCompatibleDC(windowDC);
        HBITMAP surface = CreateCompatibleBitmap(windowDC, width, height);
        if (dc && surface) SelectObject(dc, surface);
        ReleaseDC(window, windowDC);
    } else {
        dc = GetWindowDC(window);
        GetWindowRect(window, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    SelectDrawingTools();
    POINT zero = {0, 0};
    origins.Append(zero);
}

CPainter::~CPainter() {
    // Fonts of the cache are never left selected into a DC when they go.
    if (dc) SelectObject(dc, GetStockObject(SYSTEM_FONT));
    if (--livePainters == 0) DestroyFontCache();
    if (buffered) {
        if (dc) {
            HGDIOBJ surface = GetCurrentObject(dc, OBJ_BITMAP);
            DeleteDC(dc);
            if (surface) DeleteObject(surface);
        }
    } else if (dc) {
        ReleaseDC(window, dc);
    }
    dc = nullptr;
    if (bitmapDC) DeleteDC(bitmapDC);
    bitmapDC = nullptr;
    // Regions still saved belong to unmatched pushes.
    for (uint32_t i = 0; i < clipStack.count; ++i)
        if (clipStack[i]) DeleteObject(clipStack[i]);
}

void CPainter::Destroy(uint32_t flags) {
    this->~CPainter();
    if (flags & 1) ThreadHeap->Free(this);
}

CPainter* CreatePainter(HWND window, int buffered, int32_t line) {
    void* memory = ThreadHeap->Alloc(sizeof(CPainter), 0, PANEL_PAINTER_TAG, line);
    return new (memory) CPainter(window, buffered);
}

void CPainter::SelectDrawingTools() {
    if (!dc) return;
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
}

void CPainter::ApplyOrigin() {
    const POINT o = Origin();
    SetViewportOrgEx(dc, o.x, o.y, nullptr);
}

// Clipping.

void CPainter::ClipRect(const RECT& rect) {
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CPainter::PushClip() {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (region && GetClipRgn(dc, region) == 1) {
        clipStack.Append(region);
    } else {
        if (region) DeleteObject(region);
        clipStack.Append(nullptr);
    }
}

void CPainter::PopClip() {
    if (clipStack.count == 0) return;   // unmatched: nothing saved to restore
    HRGN region = clipStack[clipStack.count - 1];
    SelectClipRgn(dc, region);
    clipStack.SetCapacity(clipStack.capacity, clipStack.count - 1);
    if (region) DeleteObject(region);
}

// Shapes.

void CPainter::DrawEllipse(const RECT& rect, uint32_t line, uint32_t fill) {
    SetDCBrushColor(dc, ToColorRef(fill));
    SetDCPenColor(dc, ToColorRef(line));
    Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CPainter::DrawBitmap(const RECT& rect, HBITMAP bitmap) {
    if (!bitmap) return;
    if (!bitmapDC) bitmapDC = CreateCompatibleDC(dc);
    if (!bitmapDC) return;
    HGDIOBJ previous = SelectObject(bitmapDC, bitmap);
    BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, bitmapDC, 0, 0,
           SRCCOPY);
    SelectObject(bitmapDC, previous);
}

void CPainter::DrawLine(POINT from, POINT to, uint32_t colour) {
    SetDCPenColor(dc, ToColorRef(colour));
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SetPixel(dc, to.x, to.y, ToColorRef(colour));
}

void CPainter::XorLine(POINT from, POINT to) {
    SetDCPenColor(dc, kWhite);
    const int previous = SetROP2(dc, R2_XORPEN);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SetPixel(dc, to.x, to.y, kWhite);
    SetROP2(dc, previous);
}

void CPainter::DrawPixel(int32_t x, int32_t y, uint32_t colour) { SetPixel(dc, x, y, ToColorRef(colour)); }

void CPainter::DrawPolygon(int32_t count, const POINT* points, uint32_t line, uint32_t fill) {
    if (count <= 0 || !points) return;
    SetDCPenColor(dc, ToColorRef(line));
    SetDCBrushColor(dc, ToColorRef(fill));
    Polygon(dc, points, count);
}

void CPainter::DrawBevel(const RECT& rect, uint32_t colour, int raised, int filled) {
    const COLORREF light = ToColorRef(ScaleColor(colour, 143, 99));
    const COLORREF dark = ToColorRef(ScaleColor(colour, 41, 99));
    SetDCPenColor(dc, raised ? light : dark);
    MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    LineTo(dc, rect.left, rect.top);
    LineTo(dc, rect.right, rect.top);
    SetDCPenColor(dc, raised ? dark : light);
    MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    LineTo(dc, rect.right - 1, rect.bottom - 1);
    LineTo(dc, rect.right - 1, rect.top);
    if (filled) {
        const RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
        FillRect(inner, colour);
    }
}

void CPainter::FillRect(const RECT& rect, uint32_t colour) {
    SetDCBrushColor(dc, ToColorRef(colour));
    SetDCPenColor(dc, ToColorRef(colour));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CPainter::XorRect(const RECT& rect) {
    SetDCBrushColor(dc, kWhite);
    SetDCPenColor(dc, kWhite);
    const int previous = SetROP2(dc, R2_XORPEN);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SetROP2(dc, previous);
}

void CPainter::DrawFrame(const RECT& rect, uint32_t colour) {
    SetDCPenColor(dc, ToColorRef(colour));
    MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    LineTo(dc, rect.left, rect.top);
    LineTo(dc, rect.right, rect.top);
    MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    LineTo(dc, rect.right - 1, rect.bottom - 1);
    LineTo(dc, rect.right - 1, rect.top);
}

// Drag feedback: XOR on the window's client DC, never in the buffer.

void CPainter::Drag(const POINT* points, int count) {
    HDC client = GetDC(window);
    if (!client) return;
    HPEN pen = CreatePen(PS_DOT, 1, kWhite);
    HGDIOBJ previous = pen ? SelectObject(client, pen) : nullptr;
    SetBkMode(client, TRANSPARENT);
    SetROP2(client, R2_XORPEN);
    const POINT o = Origin();
    SetViewportOrgEx(client, o.x, o.y, nullptr);
    MoveToEx(client, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; ++i) LineTo(client, points[i].x, points[i].y);
    SetViewportOrgEx(client, 0, 0, nullptr);
    if (previous) SelectObject(client, previous);
    if (pen) DeleteObject(pen);
    ReleaseDC(window, client);
}

void CPainter::DragLine(POINT from, POINT to) {
    const POINT line[2] = {from, to};
    Drag(line, 2);
}

void CPainter::DragRect(const RECT& rect) {
    const POINT outline[5] = {{rect.left, rect.top},
                              {rect.right - 1, rect.top},
                              {rect.right - 1, rect.bottom - 1},
                              {rect.left, rect.bottom - 1},
                              {rect.left, rect.top}};
    Drag(outline, 5);
}

// Text.

void CPainter::DrawText(const wchar_t* text, POINT at, uint32_t colour) {
    if (!text) return;
    SetTextColor(dc, ToColorRef(colour));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, at.x, at.y, text, int(WideLength(text)));
}

void CPainter::SetFont(const wchar_t* face, int32_t size, uint32_t flags) {
    if (!fontCache) return;
    HFONT font = CachedFont(face, size, flags);
    if (font) SelectObject(dc, font);
}

int32_t CPainter::TextHeight(const wchar_t* text) {
    SIZE extent = {0, 0};
    if (!text || !GetTextExtentPointW(dc, text, int(WideLength(text)), &extent)) return 0;
    return extent.cy;
}

int32_t CPainter::TextWidth(const wchar_t* text) {
    SIZE extent = {0, 0};
    if (!text || !GetTextExtentPointW(dc, text, int(WideLength(text)), &extent)) return 0;
    return extent.cx;
}

// Reaching the screen.

void CPainter::Present() {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    if (target) BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}

void CPainter::Flush() {
    HDC target = GetDCEx(window, nullptr, DCX_WINDOW);
    if (!target) return;
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, target);
}

void CPainter::AttachWindowDC() {
    // Only the unbuffered painter draws on a window DC; the buffered one
    // keeps its memory DC and back buffer.
    if (buffered) return;
    if (dc) {
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        ReleaseDC(window, dc);
    }
    if (bitmapDC) DeleteDC(bitmapDC);
    bitmapDC = nullptr;
    dc = GetWindowDC(window);
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
    SelectDrawingTools();
    if (dc) ApplyOrigin();
}

int CPainter::NeedsPaint(const RECT& rect) {
    RECT update;
    if (!GetUpdateRect(window, &update, FALSE)) return 1;
    const POINT o = Origin();
    const LONG left = rect.left + o.x > update.left ? rect.left + o.x : update.left;
    const LONG right = rect.right + o.x < update.right ? rect.right + o.x : update.right;
    const LONG top = rect.top + o.y > update.top ? rect.top + o.y : update.top;
    const LONG bottom = rect.bottom + o.y < update.bottom ? rect.bottom + o.y : update.bottom;
    return left < right && top < bottom;
}

// Origins.

void CPainter::ResetOrigin() {
    POINT& top = origins[origins.count - 1];
    top.x = top.y = 0;
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

void CPainter::PopOrigin() {
    if (origins.count > 1) origins.SetCapacity(origins.capacity, origins.count - 1);
    ApplyOrigin();
}

void CPainter::PushOrigin() {
    const POINT top = Origin();
    origins.Append(top);
}

void CPainter::Translate(POINT offset) {
    POINT& top = origins[origins.count - 1];
    top.x += offset.x;
    top.y += offset.y;
    ApplyOrigin();
}

HDC CPainter::GetHDC() { return dc; }

// Colour functions.

uint32_t ScaleColor(uint32_t colour, uint32_t numerator, uint32_t denominator) {
    uint32_t result = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint64_t product = uint64_t((colour >> shift) & 0xFF) * numerator;
        uint64_t channel = denominator ? product / denominator : (product ? 255 : 0);
        if (channel > 255) channel = 255;
        result |= uint32_t(channel) << shift;
    }
    return result;
}

uint32_t AddColor(uint32_t a, uint32_t b) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF);
        if (sum > 255) sum = 255;
        result |= sum << shift;
    }
    return result;
}

HBITMAP CreateBitmapFromPixels(SIZE size, const void* pixels) {
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    const uint64_t bytes = uint64_t(size.cx) * uint64_t(size.cy) * 4;
    if (bytes > 0x7FFFFFFF) return nullptr;
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC memoryDC = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits && pixels) std::memcpy(bits, pixels, size_t(bytes));
    if (memoryDC) DeleteDC(memoryDC);
    return bitmap;
}

// Process-wide state.

uint32_t PainterCount() { return livePainters; }
int FontCacheExists() { return fontCache != nullptr; }
uint32_t FontCacheCount() {
    uint32_t n = 0;
    if (fontCache)
        for (CFontRecord* r = fontCache->First(); r; r = fontCache->Next(r)) ++n;
    return n;
}
