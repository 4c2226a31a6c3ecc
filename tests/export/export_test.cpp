#include <gtest/gtest.h>

#include <string>

#include "../../tools/dlsindex/Export.h"

namespace {

std::wstring FileName(uint32_t cue, const char* name) {
    wchar_t out[kExportNameUnits];
    ExportFileName(out, cue, name);
    return out;
}

}  // namespace

// What the crafted set of dlsindex_export cannot hold: names that decode to
// nothing or to what a file name may not hold, long names and cues.
TEST(ExportFileName, OddNamesStayFileNames) {
    const struct {
        uint32_t cue;
        const char* name;
        const wchar_t* file;
    } rows[] = {
        {47, nullptr, L"047.wav"},
        {3, "", L"003.wav"},
        {9, "\xF0\x9F\x98\x80", L"009.wav"},       // four-byte sequences vanish, as in the list
        {7, "\xC3\x01", L"007 _.wav"},            // a broken sequence decodes to a control character
        {8, "\xED\xA0\x80x", L"008 _x.wav"},       // a lone surrogate
        {1234, "Pad", L"1234 Pad.wav"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.file, FileName(row.cue, row.name)) << row.cue;
    const std::wstring longest = FileName(12, std::string(400, 'x').c_str());
    EXPECT_EQ(kExportNameUnits - 1, longest.size());   // the most a file name may hold
    EXPECT_EQ(L"012 xxx", longest.substr(0, 7));
    EXPECT_EQ(L"x.wav", longest.substr(longest.size() - 5));
}

TEST(ExportSummary, GroupsDigitsAndCountsInTheSingular) {
    EXPECT_STREQ("999", GroupedNumber(999));
    EXPECT_STREQ("1,000", GroupedNumber(1000));
    EXPECT_STREQ("18,446,744,073,709,551,615", GroupedNumber(~uint64_t(0)));
    EXPECT_STREQ(L"1 wave (1 byte) and index.csv written to x", ExportSummary(1, 1, L"x"));
    EXPECT_STREQ(L"0 waves (0 bytes) and index.csv written to x", ExportSummary(0, 0, L"x"));
}
