#include "ColorScheme.h"

const ColorScheme colorSchemes[kSchemeCount] = {
    {{0xFF1E1E1E, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFFFF0B34, 0xFFFFFFFF, 0xFF1E1E1E, 0xFF282828,
      0xFF000000, 0xFFFF0D36, 0xFF000000}},
    {{0xFF51493F, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF141414, 0xFFFF9F40, 0xFF000000, 0xFFC8BAA8, 0xFF7C7061,
      0xFFBAA992, 0xFFFFFFFF, 0xFFBAA992}},
    {{0xFF335478, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF141414, 0xFF26E3F8, 0xFF000000, 0xFFAEBCA9, 0xFF485743,
      0xFF789070, 0xFFFFFFFF, 0xFF789070}},
    {{0xFF4C4C4C, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF141414, 0xFF7393A4, 0xFF000000, 0xFFDAD3B8, 0xFF7C7458,
      0xFFBAAF85, 0xFFFFFFFF, 0xFFBAAF85}},
};

uint32_t colorSchemeIndex = 2;
// Constant-initialised, so it is set before any dynamic initialisation runs.
const ColorScheme* currentScheme = &colorSchemes[2];

void SelectColorScheme(uint32_t index) {
    colorSchemeIndex = index & (kSchemeCount - 1);
    currentScheme = &colorSchemes[colorSchemeIndex];
}

void NextColorScheme() { SelectColorScheme(colorSchemeIndex + 1); }
