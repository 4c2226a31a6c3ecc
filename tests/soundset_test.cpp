#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "dls_builder.h"
#include "mem/ExeMem.h"
#include "sound/SoundSet.h"
#include "soundset_reference.h"

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

// Crafted files that made every search run to the end again: the pool codes
// first, then `body`.
Bytes Framed(const Bytes& body) { return Bytes("wvpllins") + "ptbl" + U32(8) + U32(0) + U32(0) + body; }

Bytes Inam(const Bytes& name) { return "INAM" + U32(uint32_t(name.size() + 1)) + name + Bytes(1, 0); }

// An instrument header every 64 bytes, one long name at the very end.
Bytes HeaderFlood(size_t size) {
    Bytes body;
    for (size_t n = size / 64; n; --n) body += "insh" + U32(12) + U32(1) + Bytes(52, '.');
    return Framed(body + Inam(Bytes(200, 'n')));
}

// One instrument of `pairs` regions; each region a header and a link with
// the region's number as its cue, or a header and a sample info when
// `linkAtEnd`, with one link after all of them.
Bytes RegionFlood(size_t pairs, bool linkAtEnd) {
    Bytes body = "insh" + U32(12) + U32(0xFFFFFFFFu) + U32(0) + U32(0);
    for (uint32_t k = 0; k < pairs; ++k) {
        body += "rgnh" + U32(12) + Bytes(12, 0);
        body += linkAtEnd ? "wsmp" + U32(20) + U32(20) + Bytes(16, 0) : "wlnk" + U32(12) + U32(0) + U32(0) + U32(k);
    }
    if (linkAtEnd) body += "wlnk" + U32(12) + U32(0) + U32(0) + U32(7);
    return Framed(body + Inam("Flood"));
}

// An instrument header every 16 bytes, each with its own name running on
// through all the headers after it to the one zero byte at the end.
Bytes NameFlood(size_t size) {
    Bytes body;
    for (size_t n = size / 16; n; --n) body += Bytes("insh\x01\x01\x01\x01INAM") + "nnnn";
    return Framed(body + "tail \t" + Bytes(1, 0));
}

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

// The block search at both widths, every alignment of the data and every
// position of the code among decoys that share its first or middle two bytes
// agrees with a byte-by-byte search, from every start around the code.
TEST(FindCodeTest, BlocksAgreeWithBytesAtEveryAlignment) {
    alignas(32) uint8_t storage[256];
    const bool wide = codeScanWide;
    for (bool w : {false, true}) {
        codeScanWide = w;
        for (size_t shift = 0; shift < 32; ++shift)
            for (size_t at = 0; at + 4 <= 150; ++at) {
                uint8_t* data = storage + shift;
                for (size_t i = 0; i < 150; ++i) data[i] = "insXinsh"[i % 4];   // "ins" decoys only
                std::memcpy(data + at, "insh", 4);
                for (size_t from : {size_t(0), at ? at - 1 : 0, at, at + 1}) {
                    const size_t expected = from <= at ? at : kCodeAbsent;
                    ASSERT_EQ(expected, FindCode(data, 150, from, "insh")) << w << " " << shift << " " << at;
                }
            }
    }
    codeScanWide = wide;
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
    EXPECT_EQ(2u, instruments[0].regionHeaders().count);
    EXPECT_EQ(2u, instruments[0].sampleInfos().count);
    EXPECT_EQ(1u, instruments[1].waveLinks().count);

    // Positions are those of the chunks' data.
    const uint8_t* image = SoundSetImage.items;
    EXPECT_EQ(0, std::memcmp(instruments[0].regionHeaders()[0] - 8, "rgnh", 4));
    EXPECT_EQ(0, std::memcmp(instruments[0].waveLinks()[1] - 8, "wlnk", 4));
    EXPECT_EQ(0, std::memcmp(instruments[0].sampleInfos()[0] - 8, "wsmp", 4));
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
        EXPECT_EQ(0u, instruments.count + instrumentNames.count) << code;
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
    EXPECT_EQ(instruments[0].sampleInfos()[1], instruments[0].sampleInfos()[0]);
    uint32_t start, length;
    EXPECT_TRUE(RegionLoop(instruments[0], 0, start, length));
    EXPECT_EQ(3u, start);
    EXPECT_EQ(nullptr, instruments[1].sampleInfos()[0]);  // nothing after it
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
    EXPECT_EQ(3u, instruments[0].waveLinks().count);
    EXPECT_EQ(1u, instruments[1].waveLinks().count);
    EXPECT_LE(regionTable.capacity, 256u);
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
    EXPECT_EQ(1u, instruments[0].waveLinks().count);
    EXPECT_EQ(nullptr, instruments[0].sampleInfos()[0]);

    // A region header cut short by the end leaves the region out.
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + "wlnk" + U32(12) + Bytes(12, 0) + "rgnh" + U32(12) + Bytes(7, 0)));
    EXPECT_EQ(0u, instruments[0].waveLinks().count);

    // A wsmp whose first loop would lie past the end has no loop; one whose
    // loop fits has it.
    const Bytes region = rgnh + "wlnk" + U32(12) + Bytes(12, 0);
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + region + "wsmp" + U32(0) + U32(4000) + Bytes(12, 0) + U32(1)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos()[0]);
    const Bytes looped = pool + insh + inam + region + "wsmp" + U32(0) + U32(20) + Bytes(12, 0) + U32(1) +
                         U32(16) + U32(0) + U32(7) + U32(9);
    ASSERT_EQ(1, IndexBytes(looped));
    uint32_t start, length;
    ASSERT_TRUE(RegionLoop(instruments[0], 0, start, length));
    EXPECT_EQ(7u, start);
    EXPECT_EQ(9u, length);
    // The same loop one byte short of its end.
    ASSERT_EQ(1, IndexBytes(looped.substr(0, looped.size() - 1)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos()[0]);
    EXPECT_FALSE(RegionLoop(instruments[0], 0, start, length));
    // A wsmp cut inside its own header is no sample info at all.
    ASSERT_EQ(1, IndexBytes(pool + insh + inam + region + "wsmp" + U32(0) + U32(20) + Bytes(8, 0)));
    EXPECT_EQ(nullptr, instruments[0].sampleInfos()[0]);
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

TEST_F(SoundSet, IndexAgreesWithAPlainSearch) {
    std::vector<std::pair<std::string, Bytes>> files;
    Bytes gm;
    const char* path = std::getenv("ORVEN_SOUNDSET");
    if (path && *path && ReadFile(path, gm)) files.push_back({"default", gm});
    files.push_back({"two", BuildDls(TwoInstruments())});
    DlsLayout shared = TwoInstruments();
    RegionSpec bare = Region(1);
    bare.wsmp = false;
    shared.instruments.push_back({"Organ \t", {bare, bare, Region(0, true, 5, 6)}});
    shared.instruments.back().declaredRegions = 40;
    shared.instruments.push_back({"   ", {}});
    files.push_back({"greedy", BuildDls(shared)});
    files.push_back({"headers", HeaderFlood(64 << 10)});
    files.push_back({"regions", RegionFlood(1500, false)});
    files.push_back({"link at end", RegionFlood(1500, true)});
    files.push_back({"names", NameFlood(64 << 10)});
    Bytes noName = HeaderFlood(4096);
    files.push_back({"no name", noName.substr(0, noName.size() - 150)});
    Bytes noLink = RegionFlood(40, true);
    files.push_back({"no link", noLink.substr(0, noLink.find("wlnk"))});
    const size_t count = files.size();
    for (size_t f = 0; f < count; ++f)  // each cut short of its last byte too
        files.push_back({files[f].first + " cut", files[f].second.substr(0, files[f].second.size() - 1)});
    for (const auto& file : files) {
        ReferenceIndex ref = IndexByReference(file.second);
        EXPECT_EQ("", IndexDifference(ref, IndexBytes(file.second))) << file.first;
    }
}

TEST_F(SoundSet, FloodsAreIndexedWithoutRescanning) {
    // 105,000 headers sharing one name: one UTF-16 copy for all of them.
    ASSERT_EQ(1, IndexBytes(HeaderFlood(6720000)));
    ASSERT_EQ(105000u, instruments.count);
    EXPECT_EQ(std::wstring(200, L'n'), NameOf(104999));
    EXPECT_EQ(instruments[0].name, instruments[104999].name);
    EXPECT_EQ(0u, instruments[52000].waveLinks().count);
    const uint32_t withNames = ProcessHeapClient()->LiveBlocks();
    const uint32_t reports = HeapCorruptionReports();
    ResetSoundSet();
    EXPECT_LT(withNames - ProcessHeapClient()->LiveBlocks(), 8u);
    EXPECT_EQ(reports, HeapCorruptionReports());

    // 157,000 regions and no sample info anywhere.
    ASSERT_EQ(1, IndexBytes(RegionFlood(157000, false)));
    ASSERT_EQ(1u, instruments.count);
    ASSERT_EQ(157000u, instruments[0].waveLinks().count);
    uint32_t cue = 0, start, length;
    EXPECT_TRUE(RegionCue(instruments[0], 156999, cue));
    EXPECT_EQ(156999u, cue);
    EXPECT_EQ(nullptr, instruments[0].sampleInfos()[156999]);
    EXPECT_FALSE(RegionLoop(instruments[0], 0, start, length));

    // Every region links the one wave link after all of them.
    ASSERT_EQ(1, IndexBytes(RegionFlood(150000, true)));
    ASSERT_EQ(150000u, instruments[0].waveLinks().count);
    EXPECT_EQ(instruments[0].waveLinks()[0], instruments[0].waveLinks()[149999]);
    EXPECT_NE(instruments[0].sampleInfos()[0], instruments[0].sampleInfos()[149999]);
    // Without it the read is refused.
    Bytes noLink = RegionFlood(150000, true);
    EXPECT_EQ(0, IndexBytes(noLink.substr(0, noLink.rfind("wlnk"))));

    // 65,536 names, each running on to the end of the file.
    ASSERT_EQ(1, IndexBytes(NameFlood(1 << 20)));
    ASSERT_EQ(65536u, instruments.count);
    EXPECT_EQ(259u, NameOf(0).size());
    EXPECT_EQ(L"insh\x01\x01\x01\x01INAMnnnntail", NameOf(65534));
    EXPECT_EQ(L"tail", NameOf(65535));
}

TEST_F(SoundSet, AShortReadFails) {
    // Read as text, the carriage returns and everything from the first
    // Ctrl+Z on are not delivered: fread returns fewer bytes than the size.
    Bytes file = BuildDls(TwoInstruments()) + "\r\n\x1A\r\n";
    ASSERT_TRUE(WriteFile("short.dls", file));
    // The image already holds the whole file, so only the count tells.
    SoundSetImage.Grow(uint32_t(file.size()), uint32_t(file.size()));
    std::memcpy(SoundSetImage.items, file.data(), file.size());
    FILE* text = std::fopen("short.dls", "r");
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(0, ReadSoundSetFile(text));
    std::fclose(text);
    FILE* binary = std::fopen("short.dls", "rb");
    ASSERT_NE(nullptr, binary);
    EXPECT_EQ(1, ReadSoundSetFile(binary));
    std::fclose(binary);
    std::remove("short.dls");
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
        ASSERT_GT(e.waveLinks().count, 0u) << i;
        for (uint32_t r = 0; r < e.waveLinks().count; ++r) {
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
