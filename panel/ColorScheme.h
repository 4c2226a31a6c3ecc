// The four built-in colour schemes and the current one.
#pragma once

#include <cstdint>

struct ColorScheme {
    uint32_t colors[11];   // 0xAARRGGBB, entries 0 to 10

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
