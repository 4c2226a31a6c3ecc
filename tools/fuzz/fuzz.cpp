// An in-process fuzz loop over the sound-set reader, the raw and enveloped
// images and the proposed save name. Each input is a seed (a small crafted
// set, or the start of the default set) damaged in ways that follow its
// structure: chunk sizes set to 0, odd, past the end or huge; codes copied,
// moved or planted anywhere; the file cut; random bytes. The image ends at a
// no-access page, so any read past it faults; every position the index hands
// out is checked to lie inside it; the envelope takes random values
// (negative, NaN, infinite, huge); after each input the heap's guards are
// checked and everything the input allocated must be gone.
//
// usage: fuzz N SEED [DEFAULT_SET [FOLDER]]
// Ends with "fuzz: N inputs, F faults, seed S" (exit code 1 on any fault);
// the input of the first fault is written to FOLDER (default: the current
// one) as fuzz-SEED-INPUT.dls, and the line before names it.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../../app/WaveSave.h"
#include "../../mem/ExeHeapSrv.h"
#include "../../mem/ExeMem.h"
#include "../../sound/Envelope.h"
#include "../../sound/SoundSet.h"
#include "../../sound/WaveImage.h"
#include "../../tests/dls_builder.h"
#include "../../tests/guarded_image.h"

namespace {

const char* const kCodes[] = {"RIFF", "LIST", "DLS ", "colh", "lins", "ins ", "insh", "lrgn", "rgn ", "rgnh",
                              "wsmp", "wlnk", "INFO", "INAM", "ptbl", "wvpl", "wave", "fmt ", "data"};
const size_t kDefaultCut = 800000;   // the whole instrument list, the pool table and some waves

// Where the first fault's input goes, and what a crash writes.
std::string folder = ".";
const std::string* current = nullptr;
uint32_t seed = 0, inputIndex = 0;

std::string FaultPath() {
    return folder + "\\fuzz-" + std::to_string(seed) + "-" + std::to_string(inputIndex) + ".dls";
}

void WriteInput(const std::string& bytes) {
    if (FILE* f = std::fopen(FaultPath().c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    if (current) WriteInput(*current);
    std::printf("fault: exception 0x%08lX at input %u, input written to %s\n",
                info ? static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode) : 0ul, inputIndex,
                FaultPath().c_str());
    std::printf("fuzz: %u inputs, 1 faults, seed %u\n", inputIndex + 1, seed);
    std::fflush(stdout);
    skipLeakReport = 1;   // what the input left is no leak of the code's
    ExitProcess(1);
}

// Small crafted sets: loops, many regions, odd names, a cue outside the pool.
std::vector<std::string> CraftedSeeds() {
    std::vector<std::string> seeds;
    auto wave = [](size_t n, int k) {
        WaveSpec w;
        for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t(int(i) * k % 30000 - 15000));
        return w;
    };
    DlsLayout a;
    a.instruments = {{"Piano", {Region(0, true, 10, 40)}}, {"Str/ings:*?", {Region(1), Region(2, true, 0, 0)}},
                     {"Lost", {Region(9)}}};
    a.waves = {wave(100, 7), wave(300, 13), wave(5, 3)};
    seeds.push_back(BuildDls(a));
    DlsLayout b;
    InstrumentSpec many{"Many regions \xE2\x99\xAA", {}};
    for (uint32_t r = 0; r < 40; ++r) many.regions.push_back(Region(r % 3, r % 2 == 0, r, 3 * r));
    many.declaredRegions = 50;
    b.instruments = {many, {"", {}}, {std::string("Tab\tand\x01" "bytes  "), {Region(1)}}};
    b.waves = {wave(64, 5), wave(2, 1), wave(1000, 11)};
    seeds.push_back(BuildDls(b));
    return seeds;
}

// The four-character codes' places in a set.
std::vector<size_t> CodePlaces(const std::string& s) {
    std::vector<size_t> places;
    for (size_t i = 0; i + 4 <= s.size(); ++i)
        for (const char* code : kCodes)
            if (std::memcmp(s.data() + i, code, 4) == 0) {
                places.push_back(i);
                break;
            }
    return places;
}

void PutU32(std::string& s, size_t at, uint32_t v) {
    if (at + 4 > s.size()) return;
    for (int k = 0; k < 4; ++k) s[at + k] = char(v >> (8 * k));
}

// Damages a set one to four times.
std::string Mutate(const std::string& seedSet, const std::vector<size_t>& places, std::mt19937& rng) {
    std::string s = seedSet;
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    const int rounds = 1 + int(rng() % 4);
    for (int r = 0; r < rounds && !s.empty(); ++r) {
        const size_t code = places.empty() ? pick(s.size()) : places[pick(places.size())];
        switch (rng() % 8) {
        case 0: {   // a chunk size: 0, odd, past the end, huge
            const uint32_t rest = uint32_t(s.size() > code + 8 ? s.size() - code - 8 : 0);
            const uint32_t sizes[] = {0, 1, 3, rest + 1 + uint32_t(rng() % 64), 0x7FFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFFu,
                                      uint32_t(rng())};
            PutU32(s, code + 4, sizes[pick(8)]);
            break;
        }
        case 1: {   // a code copied somewhere else
            const size_t to = pick(s.size());
            if (code + 4 <= s.size() && to + 4 <= s.size()) s.replace(to, 4, s, code, 4);
            break;
        }
        case 2: {   // a code moved: two codes swapped
            const size_t other = places.empty() ? pick(s.size()) : places[pick(places.size())];
            if (code + 4 <= s.size() && other + 4 <= s.size())
                for (int k = 0; k < 4; ++k) std::swap(s[code + k], s[other + k]);
            break;
        }
        case 3: {   // a code planted at a random place, with a random size after it
            const size_t at = pick(s.size());
            if (at + 8 <= s.size()) {
                s.replace(at, 4, kCodes[pick(sizeof kCodes / sizeof kCodes[0])], 4);
                PutU32(s, at + 4, uint32_t(rng() % 256));
            }
            break;
        }
        case 4:   // the set cut short, often inside a chunk
            s.resize(rng() % 2 ? pick(s.size()) : (code + pick(24) < s.size() ? code + pick(24) : s.size()));
            break;
        case 5:   // a list truncated: its size made to end early
            PutU32(s, code + 4, uint32_t(pick(32)));
            break;
        default: {   // random bytes
            const int n = 1 + int(rng() % 16);
            for (int k = 0; k < n; ++k) s[pick(s.size())] = char(rng());
            break;
        }
        }
    }
    return s;
}

float RandomSeconds(std::mt19937& rng) {
    const float special[] = {0.0f, -0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                             1e30f, -1e30f, 95.107f, 95.1f, 1e-30f};
    switch (rng() % 10) {
    case 0: return special[rng() % (sizeof special / sizeof special[0])];
    case 1: return float(rng() % 2000) / 1000.0f - 0.5f;
    default: return float(rng() % 200) / 1000.0f;   // short, so that many inputs run
    }
}

// Every live block's guards intact.
bool GuardsIntact() {
    struct Context {
        bool intact = true;
    } context;
    ProcessHeapClient()->Enumerate(
        [](void* c, int32_t, const char*, uint32_t blockSize, uint32_t, void* user) {
            const uint8_t* u = static_cast<const uint8_t*>(user);
            const HeapBlockHeader* h = reinterpret_cast<const HeapBlockHeader*>(u - kHeapHeaderSize);
            const uint32_t size = blockSize - kHeapOverhead;
            bool ok = h->headGuard[0] == kHeapGuardByte && h->headGuard[1] == kHeapGuardByte;
            for (uint32_t k = 0; k < kHeapTailGuard; ++k) ok = ok && u[size + k] == kHeapGuardByte;
            if (!ok) static_cast<Context*>(c)->intact = false;
        },
        &context);
    return context.intact;
}

// One input: indexed, its instruments' images built and named. Empty when all
// is well, else what went wrong.
std::string RunInput(GuardedImage& image, const std::string& bytes, std::mt19937& rng) {
    image.Load(bytes);
    IndexSoundSet();
    const size_t cueBytes = size_t(poolCueCount) * kPoolCueSize;
    if ((wavePool && !InsideImage(wavePool, 0)) || (poolCues && !InsideImage(poolCues, cueBytes)))
        return "pool outside the image";
    if (instruments.count != instrumentNames.count) return "names and instruments disagree";
    volatile uint32_t sum = 0;
    const uint32_t tries = instruments.count < 6 ? instruments.count : 6;
    for (uint32_t t = 0; t < tries; ++t) {
        const uint32_t i = t < 2 ? t : uint32_t(rng() % instruments.count);
        const InstrumentEntry& e = instruments[i];
        if (!InsideImage(e.name, std::strlen(e.name) + 1)) return "a name outside the image";
        sum += WideLength(instrumentNames[i]);
        selectedInstrument = int32_t(i);
        for (uint32_t r = 0; r < e.waveLinks().count && r < 4; ++r) {
            if (!InsideImage(e.regionHeaders()[r], kRegionHeaderSize) || !InsideImage(e.waveLinks()[r], kWaveLinkSize))
                return "a region outside the image";
            uint32_t cue = 0, start = 0, length = 0, listSize = 0;
            if (!RegionCue(e, r, cue)) return "a listed region without a cue";
            if (RegionLoop(e, r, start, length)) sum += start + length;
            const uint8_t* list = CueWaveList(cue, listSize);
            if (list && !InsideImage(list, size_t(listSize) + kChunkData)) return "a wave list outside the image";
            for (int p = 0; p < 3; ++p) envelopeParams[p] = RandomSeconds(rng);
            uint32_t loopStart = 0, loopLength = 0;
            if (BuildWaveImage(WaveKind::Raw, cue, loopStart, loopLength)) sum += WaveImage.count;
            if (BuildWaveImage(WaveKind::Envelope, cue, loopStart, loopLength)) {
                if (WaveImage.count < kChunkData || ReadU32(WaveImage.items + kCodeSize) != WaveImage.count - kChunkData)
                    return "an enveloped image whose RIFF size is not its own";
                sum += WaveImage.items[WaveImage.count - 1];
            }
            EnvelopeSaveRefusal();
            sum += WideLength(ProposedSaveName(WaveKind::Raw, cue, 0, 0));
            sum += WideLength(ProposedSaveName(WaveKind::Envelope, cue, loopStart, loopLength));
        }
    }
    (void)sum;
    ResetSoundSet();
    image.Unload();
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: fuzz N SEED [DEFAULT_SET [FOLDER]]\n", stderr);
        return 2;
    }
    const uint32_t count = uint32_t(std::strtoul(argv[1], nullptr, 10));
    seed = uint32_t(std::strtoul(argv[2], nullptr, 10));
    if (argc > 4) folder = argv[4];
    std::vector<std::string> seeds = CraftedSeeds();
    if (argc > 3) {
        Bytes whole;
        if (!ReadFile(argv[3], whole)) {
            std::fprintf(stderr, "fuzz: cannot read %s\n", argv[3]);
            return 2;
        }
        whole.resize(whole.size() < kDefaultCut ? whole.size() : kDefaultCut);
        seeds.push_back(whole);
    }
    std::vector<std::vector<size_t>> places;
    size_t largest = 0;
    for (const std::string& s : seeds) {
        places.push_back(CodePlaces(s));
        if (s.size() > largest) largest = s.size();
    }
    GuardedImage image(largest);
    if (!image.Ready()) return 2;
    ReserveWaveImage();
    SetUnhandledExceptionFilter(OnCrash);

    const uint32_t blocks = ProcessHeapClient()->LiveBlocks();
    const uint32_t corruptions = HeapCorruptionReports();
    uint32_t faults = 0;
    const DWORD started = GetTickCount();
    for (inputIndex = 0; inputIndex < count && !faults; ++inputIndex) {
        // Each input from its own generator, so that (seed, input) replays it.
        std::seed_seq sequence{seed, inputIndex};
        std::mt19937 rng(sequence);
        const size_t which = rng() % seeds.size();
        const std::string input = Mutate(seeds[which], places[which], rng);
        current = &input;
        std::string problem = RunInput(image, input, rng);
        if (problem.empty() && ProcessHeapClient()->LiveBlocks() != blocks) problem = "blocks left allocated";
        if (problem.empty() && (!GuardsIntact() || HeapCorruptionReports() != corruptions)) problem = "a heap guard damaged";
        if (!problem.empty()) {
            ++faults;
            ResetSoundSet();
            image.Unload();
            WriteInput(input);
            std::printf("fault: %s at input %u, input written to %s\n", problem.c_str(), inputIndex,
                        FaultPath().c_str());
        }
    }
    current = nullptr;
    const DWORD elapsed = GetTickCount() - started;
    std::fprintf(stderr, "%u inputs in %lu ms\n", inputIndex, static_cast<unsigned long>(elapsed));
    std::printf("fuzz: %u inputs, %u faults, seed %u\n", inputIndex, faults, seed);
    return faults ? 1 : 0;
}
