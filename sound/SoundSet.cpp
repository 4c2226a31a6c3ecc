#include "SoundSet.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define ORVEN_SIMD 1
#include <immintrin.h>
#endif
#if defined(_MSC_VER)
#include <intrin.h>
#define ORVEN_AVX2
#define ORVEN_NOINLINE __declspec(noinline)
#else
#define ORVEN_AVX2 __attribute__((target("avx2")))
#define ORVEN_NOINLINE __attribute__((noinline))
#endif

#include "../rtl/Str.h"

#define SOUNDSET_TAG ".\\SoundSet.cpp"

const uint8_t* wavePool = nullptr;
const uint8_t* poolCues = nullptr;
uint32_t poolCueCount = 0;
int32_t selectedInstrument = 0;

namespace {

// Index of the lowest set bit of a non-zero mask.
inline unsigned LowestBit(uint32_t mask) {
#if defined(_MSC_VER)
    unsigned long index;
    _BitScanForward(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctz(mask));
#endif
}

bool CpuHasAvx2() {
#if !defined(ORVEN_SIMD)
    return false;
#elif defined(_MSC_VER)
    int r[4];
    __cpuid(r, 0);
    if (r[0] < 7) return false;
    __cpuid(r, 1);
    const int osxsave = 1 << 27, avx = 1 << 28;
    if ((r[2] & (osxsave | avx)) != (osxsave | avx) || (_xgetbv(0) & 6) != 6) return false;
    __cpuidex(r, 7, 0);
    return (r[1] & (1 << 5)) != 0;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#endif
}

}  // namespace

bool codeScanWide = CpuHasAvx2();

namespace {

// The search for a four-byte code. Any occurrence at p holds, in the
// two-byte unit at the even address among p and p + 1, either the code's
// first two bytes (p even) or its middle two (p odd); the units are compared
// a block at a time and only the positions they point at are read in full.
// `found(p)` is called for every occurrence p in [from, to), ascending, and
// returns true to stop. `to` lies at most at size - 3.
class CodeScan {
public:
    CodeScan(const uint8_t* data_, const char* code) : data(data_) {
        std::memcpy(&word, code, 4);
        head = uint16_t(word);
        middle = uint16_t(word >> 8);
    }

    template <class Found>
    void Run(size_t from, size_t to, Found found) const {
        if (from >= to) return;
#if defined(ORVEN_SIMD)
        // Blocks [a, b) cover exactly the positions [a - 1, b - 1).
        const bool wide = codeScanWide;
        const size_t block = wide ? 32 : 16;
        const uintptr_t base = reinterpret_cast<uintptr_t>(data);
        const size_t a = size_t(((base + from + 1 + block - 1) & ~uintptr_t(block - 1)) - base);
        const size_t b = a + (to + 1 > a ? (to + 1 - a) / block * block : 0);
        if (b > a) {
            if (Bytes(from, a - 1, found)) return;
            if (wide ? Wide(a, b, found) : Narrow(a, b, found)) return;
            Bytes(b - 1, to, found);
            return;
        }
#endif
        Bytes(from, to, found);
    }

private:
    template <class Found>
    bool At(size_t p, Found& found) const {
        uint32_t bytes;
        std::memcpy(&bytes, data + p, 4);
        return bytes == word && found(p);
    }

    template <class Found>
    bool Bytes(size_t from, size_t to, Found& found) const {
        for (size_t p = from; p < to; ++p)
            if (At(p, found)) return true;
        return false;
    }

    // The units at even offsets k of a block at `at` whose masks mark them.
    template <class Found>
    bool Marked(size_t at, uint32_t heads, uint32_t middles, Found& found) const {
        for (uint32_t units = (heads | middles) & 0x55555555u; units; units &= units - 1) {
            const unsigned k = LowestBit(units);
            if ((middles >> k & 1) && At(at + k - 1, found)) return true;
            if ((heads >> k & 1) && At(at + k, found)) return true;
        }
        return false;
    }

#if defined(ORVEN_SIMD)
    template <class Found>
    bool Narrow(size_t a, size_t b, Found& found) const {
        const __m128i h = _mm_set1_epi16(short(head)), m = _mm_set1_epi16(short(middle));
        for (size_t at = a; at < b; at += 16) {
            const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(data + at));
            const __m128i hv = _mm_cmpeq_epi16(v, h), mv = _mm_cmpeq_epi16(v, m);
            if (!_mm_movemask_epi8(_mm_or_si128(hv, mv))) continue;
            if (Marked(at, uint32_t(_mm_movemask_epi8(hv)), uint32_t(_mm_movemask_epi8(mv)), found)) return true;
        }
        return false;
    }

    template <class Found>
    ORVEN_AVX2 bool Wide(size_t a, size_t b, Found& found) const {
        const __m256i h = _mm256_set1_epi16(short(head)), m = _mm256_set1_epi16(short(middle));
        for (size_t at = a; at < b; at += 32) {
            const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(data + at));
            const __m256i hv = _mm256_cmpeq_epi16(v, h), mv = _mm256_cmpeq_epi16(v, m);
            if (_mm256_testz_si256(_mm256_or_si256(hv, mv), _mm256_or_si256(hv, mv))) continue;
            if (Marked(at, uint32_t(_mm256_movemask_epi8(hv)), uint32_t(_mm256_movemask_epi8(mv)), found))
                return true;
        }
        return false;
    }
#endif

    const uint8_t* data;
    uint32_t word;
    uint16_t head, middle;
};

}  // namespace

size_t FindCode(const uint8_t* data, size_t size, size_t from, const char* code) {
    if (size < 4 || from > size - 4) return kCodeAbsent;
    size_t first = kCodeAbsent;
    CodeScan(data, code).Run(from, size - 3, [&first](size_t p) {
        first = p;
        return true;
    });
    return first;
}

namespace {

// WSMPL data at `at` whose cbSize, cSampleLoops and, when there is a loop,
// first WLOOP all lie inside the image.
bool SampleInfoFits(const uint8_t* image, size_t size, size_t at) {
    if (at + kSampleInfoLoopCount + sizeof(uint32_t) > size) return false;
    if (ReadU32(image + at + kSampleInfoLoopCount) == 0) return true;
    return uint64_t(at) + ReadU32(image + at) + kLoopSize <= size;
}

// Room for `more` elements, doubling the capacity when short, so that a table
// of n entries is copied about n times in all however large it grows.
template <class T>
void MakeRoom(TArray<T>& table, uint32_t more) {
    if (table.capacity - table.count >= more) return;
    uint64_t capacity = table.capacity < 32 ? 64 : uint64_t(table.capacity) * 2;
    if (capacity < uint64_t(table.count) + more) capacity = uint64_t(table.count) + more;
    table.SetCapacity(capacity > UINT32_MAX ? UINT32_MAX : uint32_t(capacity), table.count);
}

// Appends to `out` every position p in [from, to) where the four bytes at p
// equal `code` and lie inside the `size` bytes, in ascending order.
void CollectCode(const uint8_t* data, size_t size, size_t from, size_t to, const char* code,
                 TArray<uint32_t>& out) {
    if (size < 4) return;
    if (to > size - 3) to = size - 3;
    CodeScan(data, code).Run(from, to, [&out](size_t p) {
        MakeRoom(out, 1);
        out.items[out.count++] = uint32_t(p);
        return false;
    });
}

// The occurrences of one code, found a stretch at a time: every occurrence
// below `scanned` is in `positions` (ascending), and the scan goes on from
// `scanned` only when none of them answers a search. No code overlaps
// itself, so the table holds at most one entry per four bytes of the image.
class CodeIndex {
public:
    CodeIndex(const uint8_t* data_, size_t size_, const char* code_) : data(data_), size(size_), code(code_) {}

    // The index of the first occurrence at or after `from`, given that none
    // before index `hint` is; Count() (once the image is scanned to its end)
    // when there is none. Searches mostly move on by one or two.
    uint32_t Seek(uint32_t hint, size_t from) {
        const uint32_t n = positions.count;
        if (hint < n && positions[hint] >= from) return hint;
        if (hint + 1 < n && positions[hint + 1] >= from) return hint + 1;
        return SeekFurther(hint, from);
    }

    // The position of occurrence k, or kCodeAbsent for Count().
    size_t At(uint32_t k) const { return k < positions.count ? positions[k] : kCodeAbsent; }

private:
    // The slow path, kept out of line so that Seek inlines.
    ORVEN_NOINLINE uint32_t SeekFurther(uint32_t hint, size_t from) {
        for (;;) {
            const uint32_t n = positions.count;
            if (hint < n && positions[hint] >= from) return hint;
            if (n && positions[n - 1] >= from) {
                uint32_t low = hint, high = n - 1;   // positions[high] >= from
                while (low < high) {
                    const uint32_t mid = low + (high - low) / 2;
                    if (positions[mid] < from)
                        low = mid + 1;
                    else
                        high = mid;
                }
                return low;
            }
            if (scanned >= size) return n;
            const size_t end = size - scanned > kStretch ? scanned + kStretch : size;
            CollectCode(data, size, scanned, end, code, positions);
            scanned = end;
        }
    }

    const uint8_t* data;
    size_t size;
    const char* code;
    TArray<uint32_t> positions{256};
    // Stretches are short enough that a code is scanned little past where it
    // is last needed, long enough that a flood of hits costs one call each.
    static const size_t kStretch = 65536;
    size_t scanned = 0;
};

// Indexes the instruments of SoundSetImage, one header after the other. Each
// search starts where the reference reader's FindCode would (after a header,
// after a region header); the instruments come in file order, so the first
// answers for an instrument only move forward and are kept as hints.
class InstrumentIndexer {
public:
    InstrumentIndexer(uint8_t* image_, size_t size_)
        : image(image_), size(size_), insh(image_, size_, "insh"), rgnh(image_, size_, "rgnh"),
          wsmp(image_, size_, "wsmp"), wlnk(image_, size_, "wlnk"), inam(image_, size_, "INAM") {}

    // Every instrument header from `lins` on; 0 when the whole read must fail.
    int Run(size_t lins) {
        // Room for every header at once: a table of large entries grown one
        // at a time is copied over and over.
        const uint32_t first = insh.Seek(0, lins);
        uint32_t headers = 0;
        for (uint32_t k = first; insh.At(k) != kCodeAbsent; k = insh.Seek(k + 1, insh.At(k) + kChunkData)) ++headers;
        const uint32_t base = instruments.count, regionBase = regionTable.count;
        instruments.Grow(base + headers, base + headers);
        instrumentNames.Grow(instrumentNames.count + headers, instrumentNames.count);
        uint32_t k = first;
        for (uint32_t i = 0; i < headers; ++i, k = insh.Seek(k + 1, insh.At(k) + kChunkData))
            if (!Instrument(instruments[base + i], insh.At(k))) return 0;
        // The region table has stopped growing: the columns point into it.
        const uint8_t* const* column = regionTable.items + regionBase;
        for (uint32_t i = base; i < instruments.count; ++i) {
            instruments[i].regions = column;
            column += 3 * size_t(instruments[i].regionCount);
        }
        return 1;
    }

private:
    // One instrument header at I; 0 when the whole read must fail.
    int Instrument(InstrumentEntry& entry, size_t I) {
        entry = InstrumentEntry{nullptr, nullptr, 0};
        if (I + kChunkData + kInstRegionCount + sizeof(uint32_t) > size) return 0;
        const uint32_t regions = ReadU32(image + I + kChunkData + kInstRegionCount);

        // Slots exist only for the region headers found, so a count the file
        // cannot back allocates nothing for the regions that are not there;
        // they are counted first and the table grows once for them. (No
        // search is made past the last header counted: past the last
        // instrument it would run through the whole wave pool.)
        firstRgnh = rgnh.Seek(firstRgnh, I + kChunkData);
        uint32_t headers = 0;
        if (regions)
            for (uint32_t k = firstRgnh;
                 rgnh.At(k) != kCodeAbsent && rgnh.At(k) + kChunkData + kRegionHeaderSize <= size;
                 k = rgnh.Seek(k + 1, rgnh.At(k) + kChunkData))
                if (++headers == regions) break;
        if (headers) {
            // Region headers lie at least eight bytes apart: 3 * headers fits.
            MakeRoom(regionTable, 3 * headers);
            const uint8_t** headerColumn = regionTable.items + regionTable.count;
            const uint8_t** linkColumn = headerColumn + headers;
            const uint8_t** infoColumn = linkColumn + headers;
            uint32_t k = firstRgnh;
            const size_t R0 = rgnh.At(k);
            uint32_t w = firstWsmp = wsmp.Seek(firstWsmp, R0 + kChunkData);
            uint32_t l = firstWlnk = wlnk.Seek(firstWlnk, R0 + kChunkData);
            for (uint32_t i = 0;;) {
                const size_t R = rgnh.At(k);
                const size_t W = wsmp.At(w);
                const size_t K = wlnk.At(l);
                if (K == kCodeAbsent || K + kChunkData + kWaveLinkSize > size) return 0;
                headerColumn[i] = image + R + kChunkData;
                linkColumn[i] = image + K + kChunkData;
                infoColumn[i] =
                    W != kCodeAbsent && SampleInfoFits(image, size, W + kChunkData) ? image + W + kChunkData : nullptr;
                if (++i == headers) break;
                k = rgnh.Seek(k + 1, R + kChunkData);
                w = wsmp.Seek(w, rgnh.At(k) + kChunkData);
                l = wlnk.Seek(l, rgnh.At(k) + kChunkData);
            }
            regionTable.count += 3 * headers;
            entry.regionCount = headers;
        }

        firstInam = inam.Seek(firstInam, I + kChunkData);
        const size_t N = inam.At(firstInam);
        if (N == kCodeAbsent || N + kChunkData >= size) return 0;
        const size_t end = ZeroFrom(N + kChunkData);
        if (end == kCodeAbsent) return 0;
        char* name = reinterpret_cast<char*>(image + N + kChunkData);
        entry.name = name;
        if (N != sharedAt) {
            size_t length = end - (N + kChunkData);
            sharedAt = N;
            shared = CopyName(name, length);
            zeroStart = N + kChunkData;
            zeroAt = N + kChunkData + length;
        }
        // Instruments that find the same 'INAM' share its UTF-16 copy; they
        // follow one another, since each searches from its own header on.
        instrumentNames[instrumentNames.count++] = shared;
        return 1;
    }

    // Position of the first zero byte at or after `from`, or kCodeAbsent.
    // Names are looked up in file order, so the bytes are scanned once.
    size_t ZeroFrom(size_t from) {
        if (from >= zeroStart && from <= zeroAt) return zeroAt;
        const void* zero = std::memchr(image + from, 0, size - from);
        if (!zero) return kCodeAbsent;
        zeroStart = from;
        zeroAt = size_t(static_cast<const uint8_t*>(zero) - image);
        return zeroAt;
    }

    // Cuts trailing white space of the `length` bytes of `name`, keeping the
    // first byte, sets `length` to what is left and returns a heap copy of
    // the name in UTF-16.
    static wchar_t* CopyName(char* name, size_t& length) {
        while (length > 1 &&
               std::iswspace(static_cast<wint_t>(static_cast<wchar_t>(static_cast<signed char>(name[length - 1]))))) {
            name[--length] = 0;
        }
        wchar_t converted[kInstrumentNameUnits];
        const char* in = name;
        wchar_t* out = converted;
        while (*in && (converted + kInstrumentNameUnits) - out >= 2) Utf8DecodeUnit(in, out);
        *out = 0;
        const uint32_t units = uint32_t(out - converted) + 1;
        wchar_t* copy = static_cast<wchar_t*>(ThreadHeap->Alloc(units * sizeof(wchar_t), 0, SOUNDSET_TAG, __LINE__));
        std::memcpy(copy, converted, units * sizeof(wchar_t));
        return copy;
    }

    uint8_t* image;
    size_t size;
    CodeIndex insh, rgnh, wsmp, wlnk, inam;
    // The first answers for the last instrument: each following instrument's
    // first answers lie at or after them.
    uint32_t firstRgnh = 0, firstWsmp = 0, firstWlnk = 0, firstInam = 0;
    size_t zeroStart = 1, zeroAt = 0;   // bytes [zeroStart, zeroAt) are not zero, zeroAt is
    size_t sharedAt = kCodeAbsent;      // 'INAM' of the last name copied
    wchar_t* shared = nullptr;
};

}  // namespace

namespace {

int IndexImage() {
    uint8_t* image = SoundSetImage.items;
    const size_t size = SoundSetImage.count;

    size_t P = FindCode(image, size, 0, "wvpl");
    if (P == kCodeAbsent) return 0;
    wavePool = image + P + kCodeSize;

    size_t lins = FindCode(image, size, 0, "lins");
    if (lins == kCodeAbsent) return 0;
    instruments.Grow(instruments.count + 235, instruments.count);

    InstrumentIndexer indexer(image, size);
    if (!indexer.Run(lins)) return 0;

    size_t T = FindCode(image, size, 0, "ptbl");
    if (T == kCodeAbsent || T + kChunkData + sizeof(uint32_t) > size) return 0;
    uint64_t cues = uint64_t(T) + kChunkData + ReadU32(image + T + kChunkData);
    if (cues >= size) return 0;
    poolCues = image + cues;
    uint64_t fit = (size - cues) / kPoolCueSize;
    uint64_t declared = T + kChunkData + kPoolTableCueCount + sizeof(uint32_t) <= size
                            ? ReadU32(image + T + kChunkData + kPoolTableCueCount)
                            : 0;
    poolCueCount = uint32_t(declared < fit ? declared : fit);
    return 1;
}

}  // namespace

int IndexSoundSet() {
    if (IndexImage()) return 1;
    // A refused set leaves nothing behind: no names, no half-built index.
    ResetSoundSet();
    return 0;
}

int ReadSoundSetFile(FILE* file) {
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return 0;
    SoundSetImage.Grow(uint32_t(size), uint32_t(size));
    // A short read (the file shrank, an I/O error) leaves bytes unread.
    if (size && std::fread(SoundSetImage.items, 1, size_t(size), file) != size_t(size)) return 0;
    return IndexSoundSet();
}

int ReadSoundSet(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    const int ok = ReadSoundSetFile(file);
    std::fclose(file);
    return ok;
}

void FreeInstrumentNames() {
    // A name shared by neighbouring instruments is freed once.
    while (instrumentNames.count) {
        wchar_t* name = instrumentNames[--instrumentNames.count];
        if (!instrumentNames.count || instrumentNames[instrumentNames.count - 1] != name) ThreadHeap->Free(name);
    }
}

void ResetSoundSet() {
    FreeInstrumentNames();
    instrumentNames.SetCapacity(0, 0);
    instruments.SetCapacity(0, 0);
    regionTable.SetCapacity(0, 0);
    wavePool = poolCues = nullptr;
    poolCueCount = 0;
}

bool RegionCue(const InstrumentEntry& entry, uint32_t region, uint32_t& cue) {
    if (region >= entry.waveLinks().count) return false;
    cue = ReadU32(entry.waveLinks()[region] + kWaveLinkTableIndex);
    return true;
}

bool RegionLoop(const InstrumentEntry& entry, uint32_t region, uint32_t& start, uint32_t& length) {
    if (region >= entry.sampleInfos().count || !entry.sampleInfos()[region]) return false;
    const uint8_t* info = entry.sampleInfos()[region];
    if (ReadU32(info + kSampleInfoLoopCount) == 0) return false;
    const uint8_t* loop = info + ReadU32(info);
    start = ReadU32(loop + kLoopStart);
    length = ReadU32(loop + kLoopLength);
    return true;
}

const uint8_t* CueWaveList(uint32_t cue, uint32_t& listSize) {
    if (cue >= poolCueCount) return nullptr;
    const size_t size = SoundSetImage.count;
    uint64_t at = uint64_t(wavePool - SoundSetImage.items) + ReadU32(poolCues + size_t(cue) * kPoolCueSize);
    if (at + kListData > size) return nullptr;
    const uint8_t* list = SoundSetImage.items + at;
    uint32_t s = ReadU32(list + kChunkSizeField);
    if (s < kCodeSize || at + kChunkData + s > size) return nullptr;
    listSize = s;
    return list;
}

bool SplitWave(const uint8_t* list, uint32_t listSize, WaveParts& parts) {
    const uint8_t* body = list + kListData;
    size_t bodySize = listSize - kCodeSize;
    size_t at = FindCode(body, bodySize, 0, "data");
    if (at == kCodeAbsent || at + kChunkData > bodySize) return false;
    uint32_t dataSize = ReadU32(body + at + kChunkSizeField);
    if (dataSize > bodySize - (at + kChunkData)) return false;
    parts.head = body;
    parts.headSize = uint32_t(at);
    parts.samples = body + at + kChunkData;
    parts.dataSize = dataSize;
    return true;
}
