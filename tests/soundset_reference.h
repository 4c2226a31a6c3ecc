// The reader's index computed the plain way: every search a fresh scan of the
// bytes from its start position, on a copy of the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dls_builder.h"

struct ReferenceInstrument {
    size_t name;                                  // offset of the name's text
    std::wstring wide;                            // its UTF-16 copy
    std::vector<size_t> headers, links, infos;    // offsets; infos: npos for none
};

struct ReferenceIndex {
    int ok = 0;
    Bytes image;                                  // the bytes after the name cuts
    size_t wavePool = 0, poolCues = 0;
    uint32_t poolCueCount = 0;
    std::vector<ReferenceInstrument> instruments;
};

ReferenceIndex IndexByReference(Bytes bytes);

// Whether `ok` and the index in SoundSetImage, instruments, instrumentNames,
// wavePool, poolCues and poolCueCount are those of `ref` (compared in full
// after a successful read).
std::string IndexDifference(const ReferenceIndex& ref, int ok);
