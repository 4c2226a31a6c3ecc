#include "SoundSet.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#endif

#include "../rtl/Str.h"

#define SOUNDSET_TAG ".\\SoundSet.cpp"

const uint8_t* wavePool = nullptr;
const uint8_t* poolCues = nullptr;
uint32_t poolCueCount = 0;
int32_t selectedInstrument = 0;

size_t FindCode(const uint8_t* data, size_t size, size_t from, const char* code) {
    if (size < 4) return kCodeAbsent;
    const size_t last = size - 4;
    const uint8_t c0 = uint8_t(code[0]), c1 = uint8_t(code[1]), c2 = uint8_t(code[2]), c3 = uint8_t(code[3]);
    size_t at = from;
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
    // Sixteen positions at a time: those holding the code's first two bytes.
    const __m128i first = _mm_set1_epi8(char(c0)), second = _mm_set1_epi8(char(c1));
    while (at <= last && size - at >= 17) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
        for (size_t pos = at; mask; mask >>= 1, ++pos) {
            if (!(mask & 1)) continue;
            if (pos > last) return kCodeAbsent;
            if (data[pos + 2] == c2 && data[pos + 3] == c3) return pos;
        }
        at += 16;
    }
#endif
    for (; at <= last; ++at)
        if (data[at] == c0 && data[at + 1] == c1 && data[at + 2] == c2 && data[at + 3] == c3) return at;
    return kCodeAbsent;
}

namespace {

// WSMPL data at `at` whose cbSize, cSampleLoops and, when there is a loop,
// first WLOOP all lie inside the image.
bool SampleInfoFits(const uint8_t* image, size_t size, size_t at) {
    if (at + 20 > size) return false;
    if (ReadU32(image + at + 16) == 0) return true;
    return uint64_t(at) + ReadU32(image + at) + 16 <= size;
}

// Cuts trailing white space, keeping the first byte, and adds the UTF-16 copy
// of the name to instrumentNames.
void AddInstrumentName(char* name) {
    size_t length = std::strlen(name);
    while (length > 1 &&
           std::iswspace(static_cast<wint_t>(static_cast<wchar_t>(static_cast<signed char>(name[length - 1]))))) {
        name[--length] = 0;
    }
    wchar_t converted[260];
    const char* in = name;
    wchar_t* out = converted;
    while (*in && (converted + 260) - out >= 2) Utf8DecodeUnit(in, out);
    *out = 0;
    uint32_t units = uint32_t(out - converted) + 1;
    wchar_t* copy = static_cast<wchar_t*>(ThreadHeap->Alloc(units * sizeof(wchar_t), 0, SOUNDSET_TAG, __LINE__));
    std::memcpy(copy, converted, units * sizeof(wchar_t));
    instrumentNames.Append(copy);
}

// One instrument header at I; 0 when the whole read must fail.
int IndexInstrument(const uint8_t* image, size_t size, size_t I) {
    instruments.Grow(instruments.count + 1, instruments.count + 1);
    InstrumentEntry& entry = instruments[instruments.count - 1];
    entry.name = nullptr;
    if (I + 12 > size) return 0;
    uint32_t regions = ReadU32(image + I + 8);

    // Slots are added as regions are found, so a count the file cannot back
    // allocates nothing for the regions that are not there; a plausible count
    // is reserved up front.
    const uint32_t reserve = regions < 256 ? regions : 256;
    entry.regionHeaders.SetCapacity(reserve, 0);
    entry.waveLinks.SetCapacity(reserve, 0);
    entry.sampleInfos.SetCapacity(reserve, 0);
    size_t R = FindCode(image, size, I + 8, "rgnh");
    for (uint32_t i = 0; i < regions && R != kCodeAbsent; ++i) {
        if (R + 8 + 12 > size) break;
        size_t W = FindCode(image, size, R + 8, "wsmp");
        size_t K = FindCode(image, size, R + 8, "wlnk");
        if (K == kCodeAbsent || K + 8 + 12 > size) return 0;
        entry.regionHeaders.Append(image + R + 8);
        entry.waveLinks.Append(image + K + 8);
        entry.sampleInfos.Append(W != kCodeAbsent && SampleInfoFits(image, size, W + 8) ? image + W + 8 : nullptr);
        // The next header is only needed while regions remain.
        if (i + 1 < regions) R = FindCode(image, size, R + 8, "rgnh");
    }

    size_t N = FindCode(image, size, I + 8, "INAM");
    if (N == kCodeAbsent || N + 8 >= size) return 0;
    char* name = reinterpret_cast<char*>(SoundSetImage.items + N + 8);
    if (!std::memchr(name, 0, size - (N + 8))) return 0;
    entry.name = name;
    AddInstrumentName(name);
    return 1;
}

}  // namespace

int IndexSoundSet() {
    const uint8_t* image = SoundSetImage.items;
    const size_t size = SoundSetImage.count;

    size_t P = FindCode(image, size, 0, "wvpl");
    if (P == kCodeAbsent) return 0;
    wavePool = image + P + 4;

    size_t lins = FindCode(image, size, 0, "lins");
    if (lins == kCodeAbsent) return 0;
    instruments.Grow(instruments.count + 235, instruments.count);

    for (size_t I = FindCode(image, size, lins, "insh"); I != kCodeAbsent; I = FindCode(image, size, I + 8, "insh"))
        if (!IndexInstrument(image, size, I)) return 0;

    size_t T = FindCode(image, size, 0, "ptbl");
    if (T == kCodeAbsent || T + 12 > size) return 0;
    uint64_t cues = uint64_t(T) + 8 + ReadU32(image + T + 8);
    if (cues >= size) return 0;
    poolCues = image + cues;
    uint64_t fit = (size - cues) / 4;
    uint64_t declared = T + 16 <= size ? ReadU32(image + T + 12) : 0;
    poolCueCount = uint32_t(declared < fit ? declared : fit);
    return 1;
}

int ReadSoundSet(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return 0;
    }
    SoundSetImage.Grow(uint32_t(size), uint32_t(size));
    if (size) std::fread(SoundSetImage.items, 1, size_t(size), file);
    std::fclose(file);
    return IndexSoundSet();
}

void FreeInstrumentNames() {
    while (instrumentNames.count) {
        --instrumentNames.count;
        ThreadHeap->Free(instrumentNames[instrumentNames.count]);
    }
}

void ResetSoundSet() {
    FreeInstrumentNames();
    instrumentNames.SetCapacity(0, 0);
    instruments.SetCapacity(0, 0);
    wavePool = poolCues = nullptr;
    poolCueCount = 0;
}

bool RegionCue(const InstrumentEntry& entry, uint32_t region, uint32_t& cue) {
    if (region >= entry.waveLinks.count) return false;
    cue = ReadU32(entry.waveLinks[region] + 8);
    return true;
}

bool RegionLoop(const InstrumentEntry& entry, uint32_t region, uint32_t& start, uint32_t& length) {
    if (region >= entry.sampleInfos.count || !entry.sampleInfos[region]) return false;
    const uint8_t* info = entry.sampleInfos[region];
    if (ReadU32(info + 16) == 0) return false;
    const uint8_t* loop = info + ReadU32(info);
    start = ReadU32(loop + 8);
    length = ReadU32(loop + 12);
    return true;
}

const uint8_t* CueWaveList(uint32_t cue, uint32_t& listSize) {
    if (cue >= poolCueCount) return nullptr;
    const size_t size = SoundSetImage.count;
    uint64_t at = uint64_t(wavePool - SoundSetImage.items) + ReadU32(poolCues + size_t(cue) * 4);
    if (at + 12 > size) return nullptr;
    const uint8_t* list = SoundSetImage.items + at;
    uint32_t s = ReadU32(list + 4);
    if (s < 4 || at + 8 + s > size) return nullptr;
    listSize = s;
    return list;
}

bool SplitWave(const uint8_t* list, uint32_t listSize, WaveParts& parts) {
    const uint8_t* body = list + 12;
    size_t bodySize = listSize - 4;
    size_t at = FindCode(body, bodySize, 0, "data");
    if (at == kCodeAbsent || at + 8 > bodySize) return false;
    uint32_t dataSize = ReadU32(body + at + 4);
    if (dataSize > bodySize - (at + 8)) return false;
    parts.head = body;
    parts.headSize = uint32_t(at);
    parts.samples = body + at + 8;
    parts.dataSize = dataSize;
    return true;
}
