// The sound set: the DLS file read whole into memory and its index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "../rtl/Array.h"

// One column of an instrument's regions: `count` positions inside
// SoundSetImage, held in regionTable.
struct RegionColumn {
    const uint8_t* const* items;
    uint32_t count;

    const uint8_t* operator[](uint32_t i) const { return items[i]; }
};

// An instrument's regions lie in regionTable as three columns of
// `regionCount`: the headers, the links, the sample infos.
struct InstrumentEntry {
    char* name;                     // 'INAM' text inside SoundSetImage
    const uint8_t* const* regions;  // the first column
    uint32_t regionCount;

    // RGNHEADER data, one per region.
    RegionColumn regionHeaders() const { return RegionColumn{regions, regionCount}; }
    // WAVELINK data, one per region.
    RegionColumn waveLinks() const { return RegionColumn{regions + regionCount, regionCount}; }
    // WSMPL data, or null: no loop.
    RegionColumn sampleInfos() const { return RegionColumn{regions + 2 * size_t(regionCount), regionCount}; }
};

// Process-wide objects of the sound layer (SoundObjects.h).
extern TArray<uint8_t>& SoundSetImage;
extern TArray<InstrumentEntry>& instruments;
// The region columns of every instrument, in instrument order: each
// instrument's headers, then its links, then its sample infos.
extern TArray<const uint8_t*>& regionTable;
extern TArray<wchar_t*>& instrumentNames;
// An instrument's name in instrumentNames, terminator included: longer names
// are cut to whole characters that fit.
const uint32_t kInstrumentNameUnits = 260;
extern const uint8_t* wavePool;
extern const uint8_t* poolCues;
extern uint32_t poolCueCount;   // cues of the pool table that lie inside the image
extern int32_t selectedInstrument;   // index into instruments

// The entry of instrument `index`, or null when there is none.
inline const InstrumentEntry* InstrumentAt(int32_t index) {
    return index >= 0 && uint32_t(index) < instruments.count ? &instruments[uint32_t(index)] : nullptr;
}
inline const InstrumentEntry* SelectedInstrument() { return InstrumentAt(selectedInstrument); }

// Reads the file whole and indexes it: 1 on success, 0 on any failure, with
// the index left empty.
int ReadSoundSet(const char* path);

// Reads an open file whole, from its start, and indexes it; the caller closes
// it. 0 when its size cannot be taken or the read returns fewer bytes.
int ReadSoundSetFile(FILE* file);

// Indexes SoundSetImage as it stands (the second half of ReadSoundSet). A
// refusal frees whatever the attempt made: the index is left empty.
int IndexSoundSet();

// Frees the instrument names, last first. Neighbouring instruments with the
// same 'INAM' share one string, freed once.
void FreeInstrumentNames();

// Frees the names and empties the index; the image stays.
void ResetSoundSet();

const size_t kCodeAbsent = ~size_t(0);

// Whether code searches compare 32 bytes at a time (set from the processor
// at start) or 16.
extern bool codeScanWide;

// First position at or after `from` where the four bytes equal `code`, or
// kCodeAbsent when none lies wholly inside the `size` bytes.
size_t FindCode(const uint8_t* data, size_t size, size_t from, const char* code);

inline uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Byte offsets and sizes of the file's fields. A chunk holds its code, its
// size and its data; a 'LIST' chunk's size counts its type code, which opens
// its data.
const uint32_t kCodeSize = 4;              // a four-character code
const uint32_t kChunkSizeField = 4;
const uint32_t kChunkData = 8;
const uint32_t kListData = 12;             // after the list's type code
// In an 'insh' chunk's data.
const uint32_t kInstRegionCount = 0;
// Region header ('rgnh') data.
const uint32_t kRegionHeaderSize = 12;
// Wave link ('wlnk') data.
const uint32_t kWaveLinkTableIndex = 8;    // the cue of the region's wave
const uint32_t kWaveLinkSize = 12;
// Sample info ('wsmp') data: its own size first, its loops after that many bytes.
const uint32_t kSampleInfoLoopCount = 16;
// A loop of a sample info.
const uint32_t kLoopStart = 8;
const uint32_t kLoopLength = 12;
const uint32_t kLoopSize = 16;
// Pool table ('ptbl') data: its own size first, its cues after that many bytes.
const uint32_t kPoolTableCueCount = 4;
const uint32_t kPoolCueSize = 4;           // a cue: the wave's offset in the pool

// Checked views of the index. Every position they hand out, and the bytes
// they promise behind it, lie inside SoundSetImage.

// The cue index (WAVELINK ulTableIndex) of a region; false for a missing region.
bool RegionCue(const InstrumentEntry& entry, uint32_t region, uint32_t& cue);

// The first loop of a region; false when it has none (or is missing).
bool RegionLoop(const InstrumentEntry& entry, uint32_t region, uint32_t& start, uint32_t& length);

// The pool wave of cue k: its 'LIST' header and list size S, with all S + 8
// bytes inside the image and S >= 4; null for a cue outside the pool table or
// a list outside the image.
const uint8_t* CueWaveList(uint32_t cue, uint32_t& listSize);

// Position in the file of the first byte after the wave list's 'wave' type.
inline size_t WaveByteOffset(const uint8_t* list) { return size_t(list + kListData - SoundSetImage.items); }

struct WaveParts {
    const uint8_t* head;      // the list's bytes after 'wave', up to 'data'
    uint32_t headSize;
    const uint8_t* samples;   // the 'data' chunk's contents
    uint32_t dataSize;
};

// Splits a pool wave at its 'data' chunk; false when the list holds no 'data'
// chunk or its contents run past the list.
bool SplitWave(const uint8_t* list, uint32_t listSize, WaveParts& parts);
