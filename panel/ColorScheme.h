// The four built-in colour schemes and the current one.
#pragma once

#include <cstdint>

// The slots of a scheme, each a 0xAARRGGBB colour.
enum SchemeSlot : uint32_t {
    kSchemeFace = 0,          // controls' face; the curve's hot point
    kSchemeCurveMarks = 1,    // the curve's labels and point marks
    kSchemeFaceText = 2,      // text on the face
    kSchemeCurveBack = 3,     // the curve's background
    kSchemeAccent = 4,        // scroll arrows, the slider's line, the curve's function
                              // and selected points
    kSchemeLabelText = 5,
    kSchemeLabelBack = 6,
    kSchemeBorder = 7,        // frame borders, pressed caption buttons, splitter bars
    kSchemePanel = 8,         // a panel's background
    kSchemeCaptionText = 9,
    kSchemeCaptionBar = 10,
    kSchemeSlotCount = 11,
};

struct ColorScheme {
    uint32_t colors[kSchemeSlotCount];

    uint32_t operator[](uint32_t entry) const { return colors[entry]; }
};

const uint32_t kSchemeCount = 4;
extern const ColorScheme colorSchemes[kSchemeCount];
extern uint32_t colorSchemeIndex;            // 2 at load
extern const ColorScheme* currentScheme;     // never null

// Makes scheme `index` (taken AND 3) current.
void SelectColorScheme(uint32_t index);
// Steps to the next scheme, wrapping from 3 to 0. Repainting the windows is
// the caller's business.
void NextColorScheme();
