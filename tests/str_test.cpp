#include <gtest/gtest.h>

#include <string>

#include "rtl/Str.h"

namespace {

// Decodes a whole zero-terminated text as the sound-set reader does.
std::wstring Decode(const char* text, const char** end = nullptr) {
    wchar_t out[64];
    wchar_t* o = out;
    const char* in = text;
    while (*in && (out + 64) - o >= 2) Utf8DecodeUnit(in, o);
    *o = 0;
    if (end) *end = in;
    return std::wstring(out, o);
}

}  // namespace

TEST(Utf8Decode, Sequences) {
    EXPECT_EQ(std::wstring(1, wchar_t(0xE9)), Decode("\xC3\xA9"));
    EXPECT_EQ(std::wstring(1, wchar_t(0x20AC)), Decode("\xE2\x82\xAC"));
    EXPECT_EQ(L"", Decode("\x80"));
    EXPECT_EQ(L"", Decode("\xF0\x9F\x98\x80"));
    EXPECT_EQ(L"ab", Decode("a\xF0\x9F\x98\x80" "b"));
    EXPECT_EQ(std::wstring(1, wchar_t(3)), Decode("\xC3\x41"));
    EXPECT_EQ(std::wstring(1, wchar_t(0x2F)), Decode("\xC0\xAF"));  // overlong, accepted
    EXPECT_EQ(L"Piano 1", Decode("Piano 1"));
}

TEST(Utf8Decode, StopsAtTheTerminatorInsideASequence) {
    const char* end = nullptr;
    const char cut2[] = "x\xE2\x82";
    EXPECT_EQ(L"x", Decode(cut2, &end));
    EXPECT_EQ(cut2 + 3, end);
    const char cut1[] = "\xC3";
    EXPECT_EQ(L"", Decode(cut1, &end));
    EXPECT_EQ(cut1 + 1, end);
}
