#include "ButtonFace.h"

#include "../panel/ColorScheme.h"

namespace {


// One row: three pixels on the left, the middle value, three on the right.
struct FaceRow {
    uint32_t left[3];
    uint32_t middle;
    uint32_t right[3];
};

void WriteRow(uint32_t* row, int32_t w, const FaceRow& r) {
    row[0] = r.left[0];
    row[1] = r.left[1];
    row[2] = r.left[2];
    for (int32_t x = 3; x < w - 3; ++x) row[x] = r.middle;
    row[w - 3] = r.right[0];
    row[w - 2] = r.right[1];
    row[w - 1] = r.right[2];
}

}  // namespace

int RenderButtonFacePixels(int32_t w, int32_t h, int pressed, uint32_t a, uint32_t panel, uint32_t* out) {
    if (w < kButtonFaceMinimum || h < kButtonFaceMinimum || !out) return 0;
    const uint32_t d = panel | 0xFF000000u;   // opaque, like every scaled pixel
    const uint32_t highlight = pressed ? ScaleColor(a, 62, 100) : ScaleColor(a, 217, 100);
    const uint32_t edge = pressed ? ScaleColor(a, 62, 100) : ScaleColor(a, 168, 100);
    const int32_t n = h - 6;   // body rows
    const size_t stride = size_t(w);

    const FaceRow top[3] = {
        {{d, ScaleColor(d, 83, 100), ScaleColor(d, 73, 100)},
         ScaleColor(d, 69, 100),
         {ScaleColor(d, 73, 100), ScaleColor(d, 83, 100), d}},
        {{ScaleColor(d, 83, 100), ScaleColor(d, 45, 100), ScaleColor(d, 16, 100)},
         0,
         {ScaleColor(d, 16, 100), ScaleColor(d, 93, 100), ScaleColor(d, 124, 100)}},
        {{ScaleColor(d, 73, 100), ScaleColor(d, 16, 100), ScaleColor(a, 75, 100)},
         highlight,
         {ScaleColor(a, 42, 100), ScaleColor(d, 16, 100), ScaleColor(d, 140, 100)}},
    };
    const FaceRow bottom[3] = {
        {{ScaleColor(d, 73, 100), ScaleColor(d, 16, 100), ScaleColor(a, 39, 100)},
         ScaleColor(a, 58, 100),
         {ScaleColor(a, 24, 225), ScaleColor(d, 16, 100), ScaleColor(d, 140, 100)}},
        {{ScaleColor(d, 81, 97), ScaleColor(d, 90, 97), ScaleColor(d, 16, 97)},
         0,
         {ScaleColor(d, 16, 97), ScaleColor(d, 135, 100), ScaleColor(d, 120, 100)}},
        {{d, ScaleColor(d, 120, 97), ScaleColor(d, 136, 97)},
         ScaleColor(d, 144, 97),
         {ScaleColor(d, 136, 97), ScaleColor(d, 120, 100), d}},
    };

    for (int32_t y = 0; y < 3; ++y) WriteRow(out + size_t(y) * stride, w, top[y]);
    FaceRow body = {{ScaleColor(d, 69, 100), 0, edge},
                    0,
                    {ScaleColor(a, 68, 225), 0, ScaleColor(d, 148, 100)}};
    for (int32_t i = 0; i < n; ++i) {
        body.middle = ScaleColor(a, uint32_t(40 * (n - i) / n + 60), 100);
        WriteRow(out + size_t(3 + i) * stride, w, body);
    }
    for (int32_t y = 0; y < 3; ++y) WriteRow(out + size_t(h - 3 + y) * stride, w, bottom[y]);
    return 1;
}

HBITMAP RenderButtonFace(SIZE size, int pressed, uint32_t base) {
    if (size.cx < kButtonFaceMinimum || size.cy < kButtonFaceMinimum) return nullptr;
    // Divide rather than multiply, so that no size can overflow the check.
    if (uint32_t(size.cx) > 0x7FFFFFFFu / 4 / uint32_t(size.cy)) return nullptr;
    const uint32_t bytes = uint32_t(size.cx) * uint32_t(size.cy) * 4;
    uint32_t* image = static_cast<uint32_t*>(ThreadHeap->Alloc(bytes, 0, BUTTON_FACE_TAG, __LINE__));
    RenderButtonFacePixels(size.cx, size.cy, pressed, base, (*currentScheme)[kSchemePanel], image);
    HBITMAP bitmap = CreateBitmapFromPixels(size, image);
    ThreadHeap->Free(image);
    return bitmap;
}
