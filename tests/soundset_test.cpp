#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/SoundSet.h"
#include "dls_builder.h"

namespace {

WaveSpec Wave(size_t n, int16_t base = 0) {
    WaveSpec w;
    for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t(base + int(i)));
    return w;
}

DlsLayout TwoInstruments() {
    DlsLayout layout;
    layout.instruments.push_back({"Piano", {Region(1, true, 100, 50), Region(0)}});
    layout.instruments.push_back({"Strings", {Region(0)}});
    layout.waves.push_back(Wave(10));
    layout.waves.push_back(Wave(300, 1000));
    return layout;
}

std::wstring NameOf(uint32_t i) { return instrumentNames[i]; }

class SoundSet : public ::testing::Test {
protected:
    void TearDown() override { ResetSoundSet(); }
};

}  // namespace

TEST(FindCodeTest, SearchesByteByByteToTheEnd) {
    const uint8_t data[] = {'x', 'w', 'l', 'n', 'w', 'l', 'n', 'k', 'w', 'l', 'n'};
    EXPECT_EQ(4u, FindCode(data, sizeof data, 0, "wlnk"));
    EXPECT_EQ(4u, FindCode(data, sizeof data, 4, "wlnk"));
    EXPECT_EQ(kCodeAbsent, FindCode(data, sizeof data, 5, "wlnk"));
    EXPECT_EQ(kCodeAbsent, FindCode(data, 7, 0, "wlnk"));  // would end past the data
    EXPECT_EQ(kCodeAbsent, FindCode(data, 3, 0, "xwl "));
    EXPECT_EQ(kCodeAbsent, FindCode(data, sizeof data, 100, "wlnk"));
}

TEST_F(SoundSet, IndexesACanonicalCollection) {
    Bytes file = BuildDls(TwoInstruments());
    ASSERT_TRUE(WriteFile("two.dls", file));
    ASSERT_EQ(1, ReadSoundSet("two.dls"));
    std::remove("two.dls");
    ASSERT_EQ(file.size(), SoundSetImage.count);
    ASSERT_EQ(2u, instruments.count);
    ASSERT_EQ(2u, instrumentNames.count);
    EXPECT_STREQ("Piano", instruments[0].name);
    EXPECT_EQ(L"Piano", NameOf(0));
    EXPECT_EQ(L"Strings", NameOf(1));
    EXPECT_EQ(2u, instruments[0].regionHeaders.count);
    EXPECT_EQ(2u, instruments[0].sampleInfos.count);
    EXPECT_EQ(1u, instruments[1].waveLinks.count);

    // Positions are those of the chunks' data.
    const uint8_t* image = SoundSetImage.items;
    EXPECT_EQ(0, std::memcmp(instruments[0].regionHeaders[0] - 8, "rgnh", 4));
    EXPECT_EQ(0, std::memcmp(instruments[0].waveLinks[1] - 8, "wlnk", 4));
    EXPECT_EQ(0, std::memcmp(instruments[0].sampleInfos[0] - 8, "wsmp", 4));
    EXPECT_EQ(file.find("wvpl") + 4, size_t(wavePool - image));
    EXPECT_EQ(file.find("ptbl") + 16, size_t(poolCues - image));
    EXPECT_EQ(2u, poolCueCount);

    uint32_t cue = 99, start = 0, length = 0;
    ASSERT_TRUE(RegionCue(instruments[0], 0, cue));
    EXPECT_EQ(1u, cue);
    ASSERT_TRUE(RegionLoop(instruments[0], 0, start, length));
    EXPECT_EQ(100u, start);
    EXPECT_EQ(50u, length);
    EXPECT_FALSE(RegionLoop(instruments[0], 1, start, length));  // a wsmp without loops
    EXPECT_FALSE(RegionCue(instruments[0], 2, cue));

    // Cue 1 is the second wave; its byte offset is that of its first chunk.
    uint32_t listSize = 0;
    const uint8_t* list = CueWaveList(1, listSize);
    ASSERT_NE(nullptr, list);
    size_t second = file.find("LIST", file.find("wave") + 4);
    EXPECT_EQ(second, size_t(list - image));
    EXPECT_EQ(second + 12, WaveByteOffset(list));
    EXPECT_EQ(0, std::memcmp(list + 8, "wave", 4));
    EXPECT_EQ(4u + 24 + 8 + 600, listSize);
    WaveParts parts;
    ASSERT_TRUE(SplitWave(list, listSize, parts));
    EXPECT_EQ(24u, parts.headSize);
    EXPECT_EQ(0, std::memcmp(parts.head, "fmt ", 4));
    EXPECT_EQ(600u, parts.dataSize);
    EXPECT_EQ(1000, int16_t(parts.samples[0] | parts.samples[1] << 8));
    EXPECT_EQ(nullptr, CueWaveList(2, listSize));
}

TEST_F(SoundSet, RefusesMissingPiecesAndUnreadableFiles) {
    EXPECT_EQ(0, ReadSoundSet("no such file.dls"));
    EXPECT_EQ(0, IndexBytes(""));
    EXPECT_EQ(0, IndexBytes("wvp"));

    Bytes good = BuildDls(TwoInstruments());
    ASSERT_EQ(1, IndexBytes(good));
    const char* codes[] = {"wvpl", "lins", "ptbl", "INAM", "wlnk"};
    for (const char* code : codes) {
        Bytes damaged = good;
        for (size_t at = damaged.find(code); at != Bytes::npos; at = damaged.find(code, at + 1)) damaged[at] = '_';
        EXPECT_EQ(0, IndexBytes(damaged)) << code;
    }
    // Without instrument headers the scan succeeds with an empty table.
    Bytes none = good;
    for (size_t at = none.find("insh"); at != Bytes::npos; at = none.find("insh", at + 1)) none[at] = '_';
    EXPECT_EQ(1, IndexBytes(none));
    EXPECT_EQ(0u, instruments.count);
}

TEST_F(SoundSet, CueArrayAtOrPastTheEndIsRefused) {
    Bytes file = BuildDls(TwoInstruments());
    size_t ptbl = file.find("ptbl");
    Bytes at = file;
    at.replace(ptbl + 8, 4, U32(uint32_t(file.size() - (ptbl + 8))));
    EXPECT_EQ(0, IndexBytes(at));
    Bytes past = file;
    past.replace(ptbl + 8, 4, U32(0xFFFFFFF0u));
    EXPECT_EQ(0, IndexBytes(past));
    Bytes last = file;
    last.replace(ptbl + 8, 4, U32(uint32_t(file.size() - 1 - (ptbl + 8))));
    EXPECT_EQ(1, IndexBytes(last));
    EXPECT_EQ(0u, poolCueCount);  // no whole cue fits
    uint32_t size;
    EXPECT_EQ(nullptr, CueWaveList(0, size));
}

TEST_F(SoundSet, RegionWithoutSampleInfoTakesTheNextOne) {
    DlsLayout layout;
    RegionSpec bare = Region(0);
    bare.wsmp = false;
    layout.instruments.push_back({"A", {bare, Region(0, true, 3, 4)}});
    layout.instruments.push_back({"B", {bare}});
    layout.waves.push_back(Wave(10));
    ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
    EXPECT_EQ(instruments[0].sampleInfos[1], instruments[0].sampleInfos[0]);
    uint32_t start, length;
    EXPECT_TRUE(RegionLoop(instruments[0], 0, start, length));
    EXPECT_EQ(3u, start);
    EXPECT_EQ(nullptr, instruments[1].sampleInfos[0]);  // nothing after it
    EXPECT_FALSE(RegionLoop(instruments[1], 0, start, length));
}

TEST_F(SoundSet, NamesLoseTrailingWhiteSpaceAndFourByteSequences) {
    DlsLayout layout;
    layout.instruments.push_back({"Organ\t \r\n", {Region(0)}});
    layout.instruments.push_back({"   ", {Region(0)}});
    layout.instruments.push_back({"Sm\xF0\x9F\x98\x80ile \xC3\xA9", {Region(0)}});
    layout.instruments.push_back({"", {Region(0)}});
    layout.instruments.push_back({Bytes(300, 'n'), {Region(0)}});
    layout.waves.push_back(Wave(4));
    ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
    EXPECT_STREQ("Organ", instruments[0].name);
    EXPECT_EQ(L"Organ", NameOf(0));
    EXPECT_STREQ(" ", instruments[1].name);
    EXPECT_EQ(L" ", NameOf(1));
    EXPECT_EQ(std::wstring(L"Smile ") + wchar_t(0xE9), NameOf(2));
    EXPECT_EQ(L"", NameOf(3));
    EXPECT_EQ(std::wstring(259, L'n'), NameOf(4));
}

TEST_F(SoundSet, RegionCountsTheFileCannotBackAllocateNothing) {
    DlsLayout layout;
    InstrumentSpec greedy{"Greedy", {Region(0), Region(0)}};
    greedy.declaredRegions = 4000000000;
    layout.instruments.push_back(greedy);
    InstrumentSpec three{"Three", {Region(0)}};
    three.declaredRegions = 3;
    layout.instruments.push_back(three);
    layout.waves.push_back(Wave(4));
    uint32_t live = ProcessHeapClient()->LiveBlocks();
    ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
    // The greedy header walks on into the next instrument's region, as the
    // byte search finds it; the slots that no region fills do not exist.
    EXPECT_EQ(3u, instruments[0].waveLinks.count);
    EXPECT_EQ(1u, instruments[1].waveLinks.count);
    EXPECT_LE(instruments[0].waveLinks.capacity, 256u);
    EXPECT_LT(ProcessHeapClient()->LiveBlocks(), live + 20);
}

TEST_F(SoundSet, FieldsTooCloseToTheEndAreNotRead) {
    const Bytes pool = Bytes("wvpllins") + "ptbl" + U32(8) + U32(0) + U32(0);
    const Bytes insh = Bytes("insh") + U32(12) + U32(1) + U32(0) + U32(0);
    const Bytes inam = Bytes("INAM") + U32(2) + "a" + Bytes(1, 0);
    const Bytes rgnh = Bytes("rgnh") + U32(12) + Bytes(12, 0);

    EXPECT_EQ(0, IndexBytes(pool + "insh" + U32(12) + U32(1)));
    EXPECT_EQ(0, IndexBytes(pool + insh + "INAM" + U32(3) + "abc"));
    EXPECT_EQ(0, IndexBytes(pool + insh + inam + rgnh + "wlnk" + U32(12) + Bytes(7, 0)));
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + rgnh + "wlnk" + U32(12) + Bytes(12, 0)));
    EXPECT_EQ(1u, instruments[0].waveLinks.count);
    EXPECT_EQ(nullptr, instruments[0].sampleInfos[0]);

    // A region header cut short by the end leaves the region out.
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + "wlnk" + U32(12) + Bytes(12, 0) + "rgnh" + U32(12) + Bytes(7, 0)));
    EXPECT_EQ(0u, instruments[0].waveLinks.count);

    // A wsmp whose first loop would lie past the end has no loop; one whose
    // loop fits has it.
    const Bytes region = rgnh + "wlnk" + U32(12) + Bytes(12, 0);
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + region + "wsmp" + U32(0) + U32(4000) + Bytes(12, 0) + U32(1)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos[0]);
    const Bytes looped = pool + insh + inam + region + "wsmp" + U32(0) + U32(20) + Bytes(12, 0) + U32(1) +
                         U32(16) + U32(0) + U32(7) + U32(9);
    ASSERT_EQ(1, IndexBytes(looped));
    uint32_t start, length;
    ASSERT_TRUE(RegionLoop(instruments[0], 0, start, length));
    EXPECT_EQ(7u, start);
    EXPECT_EQ(9u, length);
    // The same loop one byte short of its end.
    ASSERT_EQ(1, IndexBytes(looped.substr(0, looped.size() - 1)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos[0]);
    EXPECT_FALSE(RegionLoop(instruments[0], 0, start, length));
    // A wsmp cut inside its own header is no sample info at all.
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + region + "wsmp" + U32(0) + U32(20) + Bytes(8, 0)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos[0]);
}

TEST_F(SoundSet, CueWaveListChecksEveryBound) {
    DlsLayout layout = TwoInstruments();
    Bytes file = BuildDls(layout);
    size_t cues = file.find("ptbl") + 16;
    uint32_t size = 0;

    Bytes outside = file;
    outside.replace(cues, 4, U32(0x7FFFFFF0u));
    ASSERT_EQ(1, IndexBytes(outside));
    EXPECT_EQ(nullptr, CueWaveList(0, size));
    EXPECT_NE(nullptr, CueWaveList(1, size));

    Bytes longList = file;
    size_t wave = longList.find("wvpl") + 4;
    longList.replace(wave + 4, 4, U32(0xFFFFFFFFu));
    ASSERT_EQ(1, IndexBytes(longList));
    EXPECT_EQ(nullptr, CueWaveList(0, size));

    Bytes noData = file;
    size_t data = noData.find("data");
    noData[data] = 'D';
    ASSERT_EQ(1, IndexBytes(noData));
    const uint8_t* list = CueWaveList(0, size);
    ASSERT_NE(nullptr, list);
    WaveParts parts;
    EXPECT_FALSE(SplitWave(list, size, parts));

    Bytes bigData = file;
    bigData.replace(bigData.find("data") + 4, 4, U32(22));
    ASSERT_EQ(1, IndexBytes(bigData));
    list = CueWaveList(0, size);
    EXPECT_FALSE(SplitWave(list, size, parts));
}

TEST_F(SoundSet, DefaultSoundSet) {
    const char* path = std::getenv("ORVEN_SOUNDSET");
    if (!path || !*path) GTEST_SKIP() << "ORVEN_SOUNDSET is not set";
    ASSERT_EQ(1, ReadSoundSet(path));
    EXPECT_GT(instruments.count, 100u);
    ASSERT_EQ(instruments.count, instrumentNames.count);
    for (uint32_t i = 0; i < instruments.count; ++i) {
        const InstrumentEntry& e = instruments[i];
        ASSERT_NE(nullptr, e.name);
        ASSERT_GT(e.waveLinks.count, 0u) << i;
        for (uint32_t r = 0; r < e.waveLinks.count; ++r) {
            uint32_t cue, size;
            ASSERT_TRUE(RegionCue(e, r, cue));
            const uint8_t* list = CueWaveList(cue, size);
            ASSERT_NE(nullptr, list) << i << "." << r;
            WaveParts parts;
            ASSERT_TRUE(SplitWave(list, size, parts));
            EXPECT_EQ(0, std::memcmp(parts.head, "fmt ", 4));
        }
    }
}
