// The button face: a rounded, bordered rectangle with a highlight line, a lit
// left edge and a body fading from the base colour to 60 % of it, painted
// pixel by pixel and turned into a bitmap.
#pragma once

#include <cstdint>

#include "../panel/PanelPainter.h"

#define BUTTON_FACE_TAG ".\\CtlButton.cpp"

// Smallest width and height that have a face.
const int32_t kButtonFaceMinimum = 6;

// Fills `out` (w x h words 0xAARRGGBB, rows top to bottom) with the face for
// base colour `base` on panel colour `panel`; pressed (non-zero) darkens the
// highlight line and the left edge. Answers 0 and writes nothing when w or h
// is below 6; else 1.
int RenderButtonFacePixels(int32_t w, int32_t h, int pressed, uint32_t base, uint32_t panel,
                           uint32_t* out);

// The face as a bitmap the caller owns, on the current scheme's panel colour.
// Null when w or h is below 6, when the image would pass 2 GB, or when GDI
// refuses. The scratch image comes from the thread heap and is freed here.
HBITMAP RenderButtonFace(SIZE size, int pressed, uint32_t base);
