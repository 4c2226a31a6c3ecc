#include <gtest/gtest.h>

#include "panel/ColorScheme.h"

namespace {

// Read during static initialisation, before any test changes the scheme.
const uint32_t indexAtLoad = colorSchemeIndex;
const ColorScheme* const schemeAtLoad = currentScheme;

// The built-in schemes, one row per entry, one column per scheme.
const uint32_t kExpected[11][4] = {
    {0xFF1E1E1E, 0xFF51493F, 0xFF335478, 0xFF4C4C4C},
    {0xFFFFFFFF, 0xFFC0C0C0, 0xFFC0C0C0, 0xFFC0C0C0},
    {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
    {0xFF000000, 0xFF141414, 0xFF141414, 0xFF141414},
    {0xFFFF0B34, 0xFFFF9F40, 0xFF26E3F8, 0xFF7393A4},
    {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000},
    {0xFF1E1E1E, 0xFFC8BAA8, 0xFFAEBCA9, 0xFFDAD3B8},
    {0xFF282828, 0xFF7C7061, 0xFF485743, 0xFF7C7458},
    {0xFF000000, 0xFFBAA992, 0xFF789070, 0xFFBAAF85},
    {0xFFFF0D36, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
    {0xFF000000, 0xFFBAA992, 0xFF789070, 0xFFBAAF85},
};

}  // namespace

TEST(ColorScheme, SchemeTwoIsCurrentAtLoad) {
    EXPECT_EQ(2u, indexAtLoad);
    ASSERT_NE(nullptr, schemeAtLoad);
    EXPECT_EQ(&colorSchemes[2], schemeAtLoad);
    EXPECT_EQ(0xFF335478u, (*schemeAtLoad)[0]);
}

TEST(ColorScheme, BuiltInTablesWordForWord) {
    for (uint32_t s = 0; s < kSchemeCount; ++s)
        for (uint32_t e = 0; e < 11; ++e)
            EXPECT_EQ(kExpected[e][s], colorSchemes[s][e]) << "scheme " << s << " entry " << e;
}

TEST(ColorScheme, NextStepsThroughAllFourAndWraps) {
    SelectColorScheme(0);
    EXPECT_EQ(0u, colorSchemeIndex);
    EXPECT_EQ(&colorSchemes[0], currentScheme);
    for (uint32_t press = 1; press <= 4; ++press) {
        NextColorScheme();
        EXPECT_EQ(press & 3, colorSchemeIndex);
        EXPECT_EQ(&colorSchemes[press & 3], currentScheme);
    }
    // Four presses from any scheme bring it back.
    SelectColorScheme(2);
    for (int press = 0; press < 4; ++press) NextColorScheme();
    EXPECT_EQ(&colorSchemes[2], currentScheme);
    // An index past the table wraps into it.
    SelectColorScheme(7);
    EXPECT_EQ(3u, colorSchemeIndex);
    EXPECT_EQ(&colorSchemes[3], currentScheme);
    SelectColorScheme(0);
}
