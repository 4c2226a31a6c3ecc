#include "soundset_reference.h"

#include <cstring>
#include <cwctype>
#include <utility>

#include "rtl/Str.h"
#include "sound/SoundSet.h"

namespace {

const size_t npos = Bytes::npos;

uint32_t U32At(const Bytes& b, size_t at) { return ReadU32(reinterpret_cast<const uint8_t*>(b.data()) + at); }

bool SampleInfoFits(const Bytes& b, size_t at) {
    if (at + 20 > b.size()) return false;
    return U32At(b, at + 16) == 0 || uint64_t(at) + U32At(b, at) + 16 <= b.size();
}

int Instrument(ReferenceIndex& ref, size_t I) {
    Bytes& b = ref.image;
    if (I + 12 > b.size()) return 0;
    ReferenceInstrument ins;
    const uint32_t regions = U32At(b, I + 8);
    size_t R = b.find("rgnh", I + 8);
    for (uint32_t i = 0; i < regions && R != npos && R + 20 <= b.size(); ++i) {
        size_t W = b.find("wsmp", R + 8), K = b.find("wlnk", R + 8);
        if (K == npos || K + 20 > b.size()) return 0;
        ins.headers.push_back(R + 8);
        ins.links.push_back(K + 8);
        ins.infos.push_back(W != npos && SampleInfoFits(b, W + 8) ? W + 8 : npos);
        R = b.find("rgnh", R + 8);
    }
    size_t N = b.find("INAM", I + 8);
    if (N == npos || N + 8 >= b.size() || b.find('\0', N + 8) == npos) return 0;
    ins.name = N + 8;
    size_t length = std::strlen(&b[N + 8]);
    while (length > 1 && std::iswspace(wint_t(wchar_t(static_cast<signed char>(b[N + 8 + length - 1])))))
        b[N + 8 + --length] = 0;
    wchar_t converted[260];
    const char* in = &b[N + 8];
    wchar_t* out = converted;
    while (*in && (converted + 260) - out >= 2) Utf8DecodeUnit(in, out);
    ins.wide.assign(converted, out);
    ref.instruments.push_back(ins);
    return 1;
}

int Index(ReferenceIndex& ref) {
    const Bytes& b = ref.image;
    size_t P = b.find("wvpl"), lins = b.find("lins");
    if (P == npos || lins == npos) return 0;
    ref.wavePool = P + 4;
    for (size_t I = b.find("insh", lins); I != npos; I = b.find("insh", I + 8))
        if (!Instrument(ref, I)) return 0;
    size_t T = b.find("ptbl");
    if (T == npos || T + 12 > b.size()) return 0;
    uint64_t cues = uint64_t(T) + 8 + U32At(b, T + 8);
    if (cues >= b.size()) return 0;
    ref.poolCues = size_t(cues);
    uint64_t fit = (b.size() - cues) / 4, declared = T + 16 <= b.size() ? U32At(b, T + 12) : 0;
    ref.poolCueCount = uint32_t(declared < fit ? declared : fit);
    return 1;
}

size_t Offset(const void* p) {
    return p ? size_t(static_cast<const uint8_t*>(p) - SoundSetImage.items) : npos;
}

std::string Mismatch(const char* what, size_t instrument, size_t region = npos) {
    std::string s = std::string(what) + " differs at instrument " + std::to_string(instrument);
    return region == npos ? s : s + " region " + std::to_string(region);
}

}  // namespace

ReferenceIndex IndexByReference(Bytes bytes) {
    ReferenceIndex ref;
    ref.image = std::move(bytes);
    ref.ok = Index(ref);
    return ref;
}

std::string IndexDifference(const ReferenceIndex& ref, int ok) {
    if (ok != ref.ok) return "read " + std::to_string(ok) + ", plain search " + std::to_string(ref.ok);
    if (!ok) return "";
    if (SoundSetImage.count != ref.image.size() ||
        std::memcmp(SoundSetImage.items, ref.image.data(), ref.image.size()) != 0)
        return "image bytes differ";
    if (Offset(wavePool) != ref.wavePool || Offset(poolCues) != ref.poolCues || poolCueCount != ref.poolCueCount)
        return "pool differs";
    if (instruments.count != ref.instruments.size() || instrumentNames.count != ref.instruments.size())
        return "instrument count " + std::to_string(instruments.count) + ", plain search " +
               std::to_string(ref.instruments.size());
    for (uint32_t i = 0; i < instruments.count; ++i) {
        const InstrumentEntry& e = instruments[i];
        const ReferenceInstrument& r = ref.instruments[i];
        if (Offset(e.name) != r.name) return Mismatch("name", i);
        if (instrumentNames[i] != r.wide) return Mismatch("UTF-16 name", i);
        if (e.regionHeaders().count != r.headers.size() || e.waveLinks().count != r.links.size() ||
            e.sampleInfos().count != r.infos.size())
            return Mismatch("region count", i);
        for (uint32_t k = 0; k < e.waveLinks().count; ++k)
            if (Offset(e.regionHeaders()[k]) != r.headers[k] || Offset(e.waveLinks()[k]) != r.links[k] ||
                Offset(e.sampleInfos()[k]) != r.infos[k])
                return Mismatch("region", i, k);
    }
    return "";
}
