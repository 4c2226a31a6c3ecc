#include "SoundSet.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#endif
#if defined(_MSC_VER)
#include <intrin.h>
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

// Room for one more element, doubling the capacity when full, so that a table
// of n entries is copied about n times in all however large it grows.
template <class T>
void MakeRoom(TArray<T>& table) {
    if (table.count == table.capacity) table.SetCapacity(table.capacity < 32 ? 64 : table.capacity * 2, table.count);
}

template <class T>
void AppendDoubling(TArray<T>& table, const T& value) {
    MakeRoom(table);
    table.Append(value);
}

// Index of the lowest set bit of a non-zero mask.
inline unsigned LowestBit(unsigned mask) {
#if defined(_MSC_VER)
    unsigned long index;
    _BitScanForward(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctz(mask));
#endif
}

// Appends to `out` every position p in [from, to) where the four bytes at p
// equal `code` and lie inside the `size` bytes, in ascending order.
void CollectCode(const uint8_t* data, size_t size, size_t from, size_t to, const char* code,
                 TArray<uint32_t>& out) {
    if (size < 4) return;
    if (to > size - 3) to = size - 3;
    uint32_t word;
    std::memcpy(&word, code, 4);
    size_t at = from;
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
    // Sixty-four positions at a time; only those holding the code's first two
    // bytes are looked at more closely.
    const __m128i first = _mm_set1_epi8(code[0]), second = _mm_set1_epi8(code[1]);
    const auto pairs = [&](const uint8_t* p) {
        return _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), first),
                             _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), second));
    };
    for (; at + 64 <= to && size - at >= 65; at += 64) {
        const uint8_t* block = data + at;
        const __m128i m0 = pairs(block), m1 = pairs(block + 16), m2 = pairs(block + 32), m3 = pairs(block + 48);
        if (!_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3)))) continue;
        const unsigned masks[4] = {unsigned(_mm_movemask_epi8(m0)), unsigned(_mm_movemask_epi8(m1)),
                                   unsigned(_mm_movemask_epi8(m2)), unsigned(_mm_movemask_epi8(m3))};
        for (size_t part = 0; part < 4; ++part)
            for (unsigned mask = masks[part]; mask; mask &= mask - 1) {
                const size_t pos = at + 16 * part + LowestBit(mask);
                uint32_t bytes;
                std::memcpy(&bytes, data + pos, 4);
                if (bytes == word) AppendDoubling(out, uint32_t(pos));
            }
    }
#endif
    for (; at < to; ++at) {
        uint32_t bytes;
        std::memcpy(&bytes, data + at, 4);
        if (bytes == word) AppendDoubling(out, uint32_t(at));
    }
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
        for (;;) {
            const uint32_t n = positions.count;
            if (hint < n && positions[hint] >= from) return hint;
            if (hint + 1 < n && positions[hint + 1] >= from) return hint + 1;
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

    // The position of occurrence k, or kCodeAbsent for Count().
    size_t At(uint32_t k) const { return k < positions.count ? positions[k] : kCodeAbsent; }

private:
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
        for (uint32_t k = first; insh.At(k) != kCodeAbsent; k = insh.Seek(k + 1, insh.At(k) + 8)) ++headers;
        const uint32_t base = instruments.count;
        instruments.Grow(base + headers, base + headers);
        instrumentNames.Grow(instrumentNames.count + headers, instrumentNames.count);
        uint32_t k = first;
        for (uint32_t i = 0; i < headers; ++i, k = insh.Seek(k + 1, insh.At(k) + 8))
            if (!Instrument(instruments[base + i], insh.At(k))) return 0;
        return 1;
    }

private:
    // One instrument header at I; 0 when the whole read must fail.
    int Instrument(InstrumentEntry& entry, size_t I) {
        entry.name = nullptr;
        if (I + 12 > size) return 0;
        const uint32_t regions = ReadU32(image + I + 8);

        // Slots exist only for the region headers found, so a count the file
        // cannot back allocates nothing for the regions that are not there;
        // they are counted first and each table is allocated once. (No
        // search is made past the last header counted: past the last
        // instrument it would run through the whole wave pool.)
        firstRgnh = rgnh.Seek(firstRgnh, I + 8);
        uint32_t headers = 0;
        if (regions)
            for (uint32_t k = firstRgnh; rgnh.At(k) != kCodeAbsent && rgnh.At(k) + 8 + 12 <= size;
                 k = rgnh.Seek(k + 1, rgnh.At(k) + 8))
                if (++headers == regions) break;
        if (headers) {
            entry.regionHeaders.SetCapacity(headers, headers);
            entry.waveLinks.SetCapacity(headers, headers);
            entry.sampleInfos.SetCapacity(headers, headers);
            uint32_t k = firstRgnh;
            const size_t R0 = rgnh.At(k);
            uint32_t w = firstWsmp = wsmp.Seek(firstWsmp, R0 + 8);
            uint32_t l = firstWlnk = wlnk.Seek(firstWlnk, R0 + 8);
            for (uint32_t i = 0;;) {
                const size_t R = rgnh.At(k);
                const size_t W = wsmp.At(w);
                const size_t K = wlnk.At(l);
                if (K == kCodeAbsent || K + 8 + 12 > size) return 0;
                entry.regionHeaders[i] = image + R + 8;
                entry.waveLinks[i] = image + K + 8;
                entry.sampleInfos[i] = W != kCodeAbsent && SampleInfoFits(image, size, W + 8) ? image + W + 8 : nullptr;
                if (++i == headers) break;
                k = rgnh.Seek(k + 1, R + 8);
                w = wsmp.Seek(w, rgnh.At(k) + 8);
                l = wlnk.Seek(l, rgnh.At(k) + 8);
            }
        }

        firstInam = inam.Seek(firstInam, I + 8);
        const size_t N = inam.At(firstInam);
        if (N == kCodeAbsent || N + 8 >= size) return 0;
        const size_t end = ZeroFrom(N + 8);
        if (end == kCodeAbsent) return 0;
        char* name = reinterpret_cast<char*>(image + N + 8);
        entry.name = name;
        if (N != sharedAt) {
            size_t length = end - (N + 8);
            sharedAt = N;
            shared = CopyName(name, length);
            zeroStart = N + 8;
            zeroAt = N + 8 + length;
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
        wchar_t converted[260];
        const char* in = name;
        wchar_t* out = converted;
        while (*in && (converted + 260) - out >= 2) Utf8DecodeUnit(in, out);
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
    wavePool = image + P + 4;

    size_t lins = FindCode(image, size, 0, "lins");
    if (lins == kCodeAbsent) return 0;
    instruments.Grow(instruments.count + 235, instruments.count);

    InstrumentIndexer indexer(image, size);
    if (!indexer.Run(lins)) return 0;

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
