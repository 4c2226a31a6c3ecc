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

CPainter::CPainter(HWND window_, int buffered_, uint32_t dpi)
    : buffered(buffered_ ? 1 : 0), clipStack(64), dc(nullptr), bitmapDC(nullptr), width(0),
      height(0), origins(32), window(window_), scale{SaneDpi(dpi)} {
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

CPainter* CreatePainter(HWND window, int buffered, int32_t line, uint32_t dpi) {
    void* memory = ThreadHeap->Alloc(sizeof(CPainter), 0, PANEL_PAINTER_TAG, line);
    return new (memory) CPainter(window, buffered, dpi);
}

void CPainter::SetDpi(uint32_t dpi) {
    scale.dpi = SaneDpi(dpi);
    if (dc) ApplyOrigin();
}

void CPainter::SelectDrawingTools() {
    if (!dc) return;
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
}

void CPainter::ApplyOrigin() {
    const POINT o = scale.Point(Origin());
    SetViewportOrgEx(dc, o.x, o.y, nullptr);
}

LONG CPainter::DX(LONG x) const {
    const LONG o = Origin().x;
    return scale.Edge(o + x) - scale.Edge(o);
}

LONG CPainter::DY(LONG y) const {
    const LONG o = Origin().y;
    return scale.Edge(o + y) - scale.Edge(o);
}

RECT CPainter::DR(const RECT& r) const { return RECT{DX(r.left), DY(r.top), DX(r.right), DY(r.bottom)}; }

void CPainter::FillCells(const RECT& cells, COLORREF colour) {
    const RECT r = DR(cells);
    if (r.right <= r.left || r.bottom <= r.top) return;
    SetDCBrushColor(dc, colour);
    ::FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void CPainter::WideLine(POINT from, POINT to, COLORREF colour, int rop) {
    const LONG unit = scale.Edge(1) - scale.Edge(0), w = unit > 1 ? unit : 1;
    const LOGBRUSH brush = {BS_SOLID, colour, 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER, DWORD(w), &brush,
                            0, nullptr);
    if (!pen) return;
    HGDIOBJ previous = SelectObject(dc, pen);
    const int previousRop = SetROP2(dc, rop);
    MoveToEx(dc, (DX(from.x) + DX(from.x + 1)) / 2, (DY(from.y) + DY(from.y + 1)) / 2, nullptr);
    LineTo(dc, (DX(to.x) + DX(to.x + 1)) / 2, (DY(to.y) + DY(to.y + 1)) / 2);
    SetROP2(dc, previousRop);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

namespace {
// The cells of a line from `a` to `b` that runs along a row or a column.
RECT LineCells(POINT a, POINT b) {
    return RECT{a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, (a.x > b.x ? a.x : b.x) + 1,
                (a.y > b.y ? a.y : b.y) + 1};
}
bool Straight(POINT a, POINT b) { return a.x == b.x || a.y == b.y; }
}  // namespace

// Clipping.

void CPainter::ClipRect(const RECT& rect) {
    const RECT r = DR(rect);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
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
    const RECT r = DR(rect);
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

void CPainter::DrawBitmap(const RECT& rect, HBITMAP bitmap) {
    if (!bitmap) return;
    if (!bitmapDC) bitmapDC = CreateCompatibleDC(dc);
    if (!bitmapDC) return;
    HGDIOBJ previous = SelectObject(bitmapDC, bitmap);
    const RECT r = DR(rect);
    BITMAP info;
    if (scale.Identity() || !GetObjectW(bitmap, sizeof(info), &info) ||
        (info.bmWidth == r.right - r.left && info.bmHeight == r.bottom - r.top)) {
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, bitmapDC, 0, 0, SRCCOPY);
    } else {
        // A picture made in units: each of its pixels becomes whole device pixels.
        const int mode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, bitmapDC, 0, 0,
                   rect.right - rect.left, rect.bottom - rect.top, SRCCOPY);
        SetStretchBltMode(dc, mode);
    }
    SelectObject(bitmapDC, previous);
}

void CPainter::DrawLine(POINT from, POINT to, uint32_t colour) {
    if (!scale.Identity()) {
        if (!Straight(from, to)) WideLine(from, to, ToColorRef(colour), R2_COPYPEN);
        FillCells(Straight(from, to) ? LineCells(from, to) : LineCells(to, to), ToColorRef(colour));
        return;
    }
    SetDCPenColor(dc, ToColorRef(colour));
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SetPixel(dc, to.x, to.y, ToColorRef(colour));
}

void CPainter::XorLine(POINT from, POINT to) {
    if (!scale.Identity()) {
        if (!Straight(from, to)) {
            WideLine(from, to, kWhite, R2_XORPEN);
            return;
        }
        const RECT r = DR(LineCells(from, to));
        SetDCBrushColor(dc, kWhite);
        PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATINVERT);
        return;
    }
    SetDCPenColor(dc, kWhite);
    const int previous = SetROP2(dc, R2_XORPEN);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SetPixel(dc, to.x, to.y, kWhite);
    SetROP2(dc, previous);
}

void CPainter::DrawPixel(int32_t x, int32_t y, uint32_t colour) {
    if (scale.Identity())
        SetPixel(dc, x, y, ToColorRef(colour));
    else
        FillCells(RECT{x, y, x + 1, y + 1}, ToColorRef(colour));
}

void CPainter::DrawPolygon(int32_t count, const POINT* points, uint32_t line, uint32_t fill) {
    if (count <= 0 || !points) return;
    SetDCPenColor(dc, ToColorRef(line));
    SetDCBrushColor(dc, ToColorRef(fill));
    if (scale.Identity()) {
        Polygon(dc, points, count);
        return;
    }
    POINT few[16];
    TArray<POINT> many(TArray<POINT>::Sized(), count > 16 ? uint32_t(count) : 0);
    POINT* device = count > 16 ? many.items : few;
    for (int32_t i = 0; i < count; ++i) device[i] = POINT{DX(points[i].x), DY(points[i].y)};
    Polygon(dc, device, count);
}

void CPainter::DrawBevel(const RECT& rect, uint32_t colour, int raised, int filled) {
    const COLORREF light = ToColorRef(ScaleColor(colour, 143, 99));
    const COLORREF dark = ToColorRef(ScaleColor(colour, 41, 99));
    if (!scale.Identity()) {
        const LONG l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
        FillCells(RECT{l, t, l + 1, b - 1}, raised ? light : dark);
        FillCells(RECT{l, t, r, t + 1}, raised ? light : dark);
        FillCells(RECT{l, b - 1, r, b}, raised ? dark : light);
        FillCells(RECT{r - 1, t + 1, r, b}, raised ? dark : light);
        if (filled) FillRect(RECT{l + 1, t + 1, r - 1, b - 1}, colour);
        return;
    }
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
    const RECT r = DR(rect);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void CPainter::XorRect(const RECT& rect) {
    SetDCBrushColor(dc, kWhite);
    SetDCPenColor(dc, kWhite);
    const int previous = SetROP2(dc, R2_XORPEN);
    const RECT r = DR(rect);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SetROP2(dc, previous);
}

void CPainter::DrawFrame(const RECT& rect, uint32_t colour) {
    if (!scale.Identity()) {
        const LONG l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
        const COLORREF c = ToColorRef(colour);
        FillCells(RECT{l, t, l + 1, b}, c);
        FillCells(RECT{l, t, r, t + 1}, c);
        FillCells(RECT{l, b - 1, r, b}, c);
        FillCells(RECT{r - 1, t, r, b}, c);
        return;
    }
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
    const POINT o = scale.Point(Origin());
    SetViewportOrgEx(client, o.x, o.y, nullptr);
    MoveToEx(client, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; ++i) LineTo(client, points[i].x, points[i].y);
    SetViewportOrgEx(client, 0, 0, nullptr);
    if (previous) SelectObject(client, previous);
    if (pen) DeleteObject(pen);
    ReleaseDC(window, client);
}

void CPainter::DragLine(POINT from, POINT to) {
    const POINT line[2] = {{DX(from.x), DY(from.y)}, {DX(to.x), DY(to.y)}};
    Drag(line, 2);
}

void CPainter::DragRect(const RECT& units) {
    const RECT rect = DR(units);
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
    TextOutW(dc, DX(at.x), DY(at.y), text, int(WideLength(text)));
}

void CPainter::SetFont(const wchar_t* face, int32_t size, uint32_t flags) {
    if (!fontCache) return;
    // Made at the device height, so that text is drawn, not stretched.
    HFONT font = CachedFont(face, scale.Edge(size), flags);
    if (font) SelectObject(dc, font);
}

int32_t CPainter::TextHeight(const wchar_t* text) {
    SIZE extent = {0, 0};
    if (!text || !GetTextExtentPointW(dc, text, int(WideLength(text)), &extent)) return 0;
    return scale.Units(extent.cy);
}

int32_t CPainter::TextWidth(const wchar_t* text) {
    SIZE extent = {0, 0};
    if (!text || !GetTextExtentPointW(dc, text, int(WideLength(text)), &extent)) return 0;
    return scale.Units(extent.cx);
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
    const RECT r = scale.Rect(RECT{rect.left + o.x, rect.top + o.y, rect.right + o.x, rect.bottom + o.y});
    const LONG left = r.left > update.left ? r.left : update.left;
    const LONG right = r.right < update.right ? r.right : update.right;
    const LONG top = r.top > update.top ? r.top : update.top;
    const LONG bottom = r.bottom < update.bottom ? r.bottom : update.bottom;
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
