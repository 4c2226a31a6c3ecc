#include "dls_builder.h"

#include <cstdio>
#include <cstring>

#include "sound/SoundSet.h"

Bytes U16(uint16_t v) { return Bytes{char(v & 0xFF), char(v >> 8)}; }
Bytes U32(uint32_t v) { return Bytes{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }

Bytes Chunk(const char* id, const Bytes& data) {
    Bytes out = Bytes(id, 4) + U32(uint32_t(data.size())) + data;
    if (data.size() % 2) out += '\0';
    return out;
}

Bytes List(const char* id, const char* type, const Bytes& content) {
    return Bytes(id, 4) + U32(uint32_t(content.size() + 4)) + Bytes(type, 4) + content;
}

Bytes RegionChunk(const RegionSpec& r) {
    Bytes rgnh = U16(0) + U16(127) + U16(0) + U16(127) + U16(0) + U16(0);
    Bytes body = Chunk("rgnh", rgnh);
    if (r.wsmp) {
        Bytes wsmp = U32(20) + U16(60) + U16(0) + U32(0) + U32(0) + U32(r.loop ? 1 : 0);
        if (r.loop) wsmp += U32(16) + U32(0) + U32(r.loopStart) + U32(r.loopLength);
        body += Chunk("wsmp", wsmp);
    }
    body += Chunk("wlnk", U16(0) + U16(0) + U32(1) + U32(r.cue));
    return List("LIST", "rgn ", body);
}

Bytes InstrumentChunk(const InstrumentSpec& ins) {
    uint32_t count = ins.declaredRegions >= 0 ? uint32_t(ins.declaredRegions) : uint32_t(ins.regions.size());
    Bytes regions;
    for (const RegionSpec& r : ins.regions) regions += RegionChunk(r);
    Bytes body = Chunk("insh", U32(count) + U32(0) + U32(0));
    body += List("LIST", "lrgn", regions);
    body += List("LIST", "INFO", Chunk("INAM", ins.name + '\0'));
    return List("LIST", "ins ", body);
}

RegionSpec Region(uint32_t cue, bool loop, uint32_t start, uint32_t length) {
    RegionSpec r;
    r.cue = cue;
    r.loop = loop;
    r.loopStart = start;
    r.loopLength = length;
    return r;
}

Bytes WaveChunk(const WaveSpec& w) {
    Bytes fmt = U16(1) + U16(1) + U32(w.rate) + U32(w.rate * 2) + U16(2) + U16(16);
    Bytes data;
    for (int16_t s : w.samples) data += U16(uint16_t(s));
    return List("LIST", "wave", Chunk("fmt ", fmt) + Chunk("data", data));
}

Bytes BuildDls(const DlsLayout& layout) {
    Bytes lins;
    for (const InstrumentSpec& ins : layout.instruments) lins += InstrumentChunk(ins);
    Bytes pool, cues;
    for (const WaveSpec& w : layout.waves) {
        cues += U32(uint32_t(pool.size()));
        pool += WaveChunk(w);
    }
    Bytes body = Chunk("colh", U32(uint32_t(layout.instruments.size())));
    body += List("LIST", "lins", lins);
    body += Chunk("ptbl", U32(8) + U32(uint32_t(layout.waves.size())) + cues);
    body += List("LIST", "wvpl", pool);
    return List("RIFF", "DLS ", body);
}

int IndexBytes(const Bytes& bytes) {
    ResetSoundSet();
    SoundSetImage.Grow(uint32_t(bytes.size()), uint32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(SoundSetImage.items, bytes.data(), bytes.size());
    return IndexSoundSet();
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return true;
}
