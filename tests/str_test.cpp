#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mem/ExeHeapSrv.h"

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

TEST(Utf8Encode, WidthsAndRoom) {
    const wchar_t euro[] = {0x20AC, 0};
    const wchar_t* in = euro;
    char buffer[4] = {'x', 'x', 'x', 'x'};
    char* out = buffer;
    EXPECT_EQ(0, Utf8EncodeUnit(in, out, 2));
    EXPECT_EQ(euro + 1, in);   // advanced although nothing fitted
    EXPECT_EQ(buffer, out);
    EXPECT_EQ('x', buffer[0]);
    in = euro;
    EXPECT_EQ(1, Utf8EncodeUnit(in, out, 3));
    EXPECT_EQ(std::string("\xE2\x82\xAC"), std::string(buffer, out));

    const wchar_t mixed[] = {L'A', 0xE9, 0x7FF, 0x800, 0xD83D, 0xDE00, 0};
    char big[260];
    EXPECT_EQ(1u + 2 + 2 + 3 + 3 + 3, Utf16ToUtf8(big, mixed));
    EXPECT_EQ(std::string("A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xED\xA0\xBD\xED\xB8\x80"), std::string(big));
}

TEST(Utf8Encode, WholeCharactersOnlyIn260Bytes) {
    wchar_t text[201];
    for (int i = 0; i < 200; ++i) text[i] = 0xE9;
    text[200] = 0;
    char out[261];
    out[259] = out[260] = '#';
    EXPECT_EQ(258u, Utf16ToUtf8(out, text));
    EXPECT_EQ(0, out[258]);
    EXPECT_EQ('#', out[259]);

    std::wstring ascii(300, L'a');
    EXPECT_EQ(259u, Utf16ToUtf8(out, ascii.c_str()));
    EXPECT_EQ(0, out[259]);
    EXPECT_EQ('#', out[260]);

    EXPECT_EQ(0u, Utf16ToUtf8(out, L""));
    EXPECT_EQ(0, out[0]);
}

TEST(Utf8Encode, RoundTripsThroughTheReadersDecoder) {
    // Every unit outside the surrogates survives encode then decode.
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        const wchar_t text[] = {wchar_t(u), L'z', 0};
        char utf8[260];
        Utf16ToUtf8(utf8, text);
        ASSERT_EQ(std::wstring(text), Decode(utf8)) << std::hex << u;
    }
}

TEST(WideText, LengthsCopiesAndComparison) {
    EXPECT_EQ(0u, WideLength(L""));
    EXPECT_EQ(5u, WideLength(L"Piano"));
    EXPECT_EQ(12u, WideByteSize(L"Piano"));
    EXPECT_EQ(2u, WideByteSize(L""));

    wchar_t to[8];
    for (wchar_t& c : to) c = L'#';
    CopyWide(to, L"abcdefghij", 4);
    EXPECT_EQ(std::wstring(L"abc"), to);
    EXPECT_EQ(L'#', to[4]);
    CopyWide(to, L"abc", 1);
    EXPECT_EQ(0, to[0]);
    EXPECT_EQ(L'b', to[1]);
    to[0] = L'q';
    CopyWide(to, L"abc", 0);
    EXPECT_EQ(L'q', to[0]);

    EXPECT_EQ(1, CompareNoCase(L"abc", L"ABD"));
    EXPECT_EQ(-1, CompareNoCase(L"b", L"A"));
    EXPECT_EQ(0, CompareNoCase(L"Hello", L"hELLO"));
    EXPECT_NE(0, CompareNoCase(L"\x00C9", L"\x00E9"));
    EXPECT_EQ(1, CompareNoCase(L"ab", L"abc"));   // the shorter sorts first
    EXPECT_EQ(-1, CompareNoCase(L"abc", L"ab"));
    EXPECT_EQ(1, CompareNoCase(L"[", L"a"));     // '[' < 'a' once 'A'..'Z' fold
    EXPECT_EQ(-1, CompareNoCase(L"\xFFFF", L"a"));  // units compare unsigned
}

TEST(WideText, DuplicateNameTagsItsBlock) {
    char* copy = DuplicateName("hsplit");
    struct Found { std::string file; int32_t line; void* user; } found = {"", 0, copy};
    EXPECT_STREQ("hsplit", copy);
    ThreadHeap->Enumerate(
        [](void* context, int32_t line, const char* file, uint32_t, uint32_t, void* user) {
            Found* f = static_cast<Found*>(context);
            if (user == f->user) { f->file = file; f->line = line; }
        },
        &found);
    EXPECT_EQ(".\\Rtl\\Str.cpp", found.file);   // the visitor's copy lives only during the call
    EXPECT_EQ(190, found.line);
    EXPECT_EQ(7u, ThreadHeap->Size(copy));
    ThreadHeap->Free(copy);
}

TEST(Formatting, BoundsAndResults) {
    char buffer[10];
    EXPECT_EQ(9, FormatText(buffer, 10, "%s", "0123456789"));
    EXPECT_STREQ("012345678", buffer);
    EXPECT_EQ(9, FormatText(buffer, 10, "%s", "0123456789abc"));
    EXPECT_STREQ("012345678", buffer);
    EXPECT_EQ(3, FormatText(buffer, 10, "%u", 123u));
    EXPECT_STREQ("123", buffer);
    buffer[0] = 'q';
    EXPECT_EQ(0, FormatText(buffer, 0, "%u", 5u));
    EXPECT_EQ('q', buffer[0]);
    EXPECT_EQ(0, FormatText(buffer, 1, "%u", 5u));
    EXPECT_EQ(0, buffer[0]);

    wchar_t wide[6];
    EXPECT_EQ(5, FormatTextW(wide, 6, L"%u-%u", 123u, 456u));
    EXPECT_EQ(std::wstring(L"123-4"), wide);
}

TEST(Formatting, WindowsConversionsForNarrowAndWideText) {
    char narrow[64];
    FormatText(narrow, 64, "[%s|%S]", "ab", L"cd");
    EXPECT_STREQ("[ab|cd]", narrow);
    wchar_t wide[64];
    FormatTextW(wide, 64, L"[%s|%S]", L"ab", "cd");
    EXPECT_EQ(std::wstring(L"[ab|cd]"), wide);
    FormatText(narrow, 64, "%d %#x %08x %02u", -5, 0x1Fu, 0xABCu, 7u);
    EXPECT_STREQ("-5 0x1f 00000abc 07", narrow);
    FormatText(narrow, 64, "%p", reinterpret_cast<void*>(uintptr_t(0x1234ABCD)));
    if (sizeof(void*) == 4) {
        EXPECT_STREQ("1234ABCD", narrow);
    }
    // The sound-set path as start-up builds it.
    EXPECT_STREQ("C:\\windows\\system32\\drivers\\gm.dls",
                 TempText("%s\\system32\\drivers\\gm.dls", "C:\\windows"));
    EXPECT_EQ(std::wstring(L"C:\\w\\Piano 1 (3).wav"),
              TempTextW(L"%s%S (%u).wav", L"C:\\w\\", "Piano 1", 3u));
}

TEST(Formatting, TempTextsRotateThroughEightBuffers) {
    const char* first = TempText("%u", 0u);
    const char* seen[8] = {first};
    for (unsigned i = 1; i < 8; ++i) {
        seen[i] = TempText("%u", i);
        for (unsigned j = 0; j < i; ++j) EXPECT_NE(seen[j], seen[i]);
    }
    EXPECT_STREQ("0", first);   // still valid after seven further calls
    EXPECT_EQ(first, TempText("again"));

    std::string longText(3000, 'x');
    const char* cut = TempText("%s", longText.c_str());
    EXPECT_EQ(2047u, std::strlen(cut));
    std::wstring longWide(3000, L'y');
    const wchar_t* cutW = TempTextW(L"%s", longWide.c_str());
    EXPECT_EQ(2047u, WideLength(cutW));
    EXPECT_NE(static_cast<const void*>(TempTextW(L"a")), static_cast<const void*>(cutW));
}

TEST(Paths, SplitBuildDirectoryJoin) {
    wchar_t root[256], dir[256], out[260];
    PathSplit(L"//srv/share/dir/f", root, dir);
    EXPECT_EQ(std::wstring(L"//srv/share"), root);
    EXPECT_EQ(std::wstring(L"/dir/"), dir);
    PathBuild(out, root, dir, nullptr);
    EXPECT_EQ(std::wstring(L"\\\\srv\\share\\dir\\"), out);

    PathSplit(L"C:\\a\\b\\f.txt", root, dir);
    EXPECT_EQ(std::wstring(L"C:"), root);
    EXPECT_EQ(std::wstring(L"\\a\\b\\"), dir);
    PathSplit(L"\\\\host", root, nullptr);
    EXPECT_EQ(std::wstring(L"\\\\host"), root);
    PathSplit(L"f.txt", root, dir);
    EXPECT_EQ(std::wstring(L""), root);
    EXPECT_EQ(std::wstring(L""), dir);

    PathDirectory(out, L"C:\\a\\b\\f.txt");
    EXPECT_EQ(std::wstring(L"C:\\a\\b\\"), out);
    PathDirectory(out, L"C:/tmp/x/name.wav");
    EXPECT_EQ(std::wstring(L"C:\\tmp\\x\\"), out);
    PathDirectory(out, L"bare.wav");
    EXPECT_EQ(std::wstring(L""), out);
    PathDirectory(out, L"");
    EXPECT_EQ(std::wstring(L""), out);

    PathJoin(out, L"C:\\prog\\", L"MemLeak.log");
    EXPECT_EQ(std::wstring(L"C:\\prog\\MemLeak.log"), out);
    PathJoin(out, L"C:\\prog", L"\\x.log");
    EXPECT_EQ(std::wstring(L"C:\\prog\\x.log"), out);
    PathJoin(out, L"", L"x.log");
    EXPECT_EQ(std::wstring(L"x.log"), out);
    CopyWide(out, L"C:\\d", 260);
    PathJoin(out, out, L"n.txt");   // output is the directory
    EXPECT_EQ(std::wstring(L"C:\\d\\n.txt"), out);
    CopyWide(out, L"n.txt", 260);
    PathJoin(out, L"C:\\e\\", out);   // output is the name
    EXPECT_EQ(std::wstring(L"C:\\e\\n.txt"), out);
}

TEST(Paths, LongPathsAreCutAt259Units) {
    std::wstring directory = L"C:\\" + std::wstring(200, L'd');
    std::wstring name(100, L'n');
    wchar_t out[261];
    out[259] = out[260] = L'#';
    PathJoin(out, directory.c_str(), name.c_str());
    EXPECT_EQ(259u, WideLength(out));
    EXPECT_EQ(directory + L"\\" + name.substr(0, 259 - 204), std::wstring(out));
    EXPECT_EQ(L'#', out[260]);

    // A directory that fills the budget gets no separator.
    std::wstring full(300, L'/');
    PathBuild(out, nullptr, full.c_str(), L"x");
    EXPECT_EQ(std::wstring(259, L'\\'), out);

    // Root and directory outputs are cut at 255 units.
    std::wstring deep = L"C:\\" + std::wstring(400, L'a') + L"\\f";
    wchar_t root[256], dir[257];
    dir[256] = L'#';
    PathSplit(deep.c_str(), root, dir);
    EXPECT_EQ(255u, WideLength(dir));
    EXPECT_EQ(L'#', dir[256]);
}
