// dlsindex --export: every wave of the sound set's pool written as the raw
// Save writes it, and index.csv, the map from the regions to the files.
#pragma once

#include <cstdint>

#include "../../rtl/Array.h"

// A wave's file name, terminator included: "047 " and ".wav" around the
// name, within the 255 units Windows allows a file name.
const uint32_t kExportNameUnits = 256;
const wchar_t kIndexFileName[] = L"index.csv";
const int32_t kNoInstrument = -1;

// The file name of pool cue `cue`: the cue with at least three digits, a
// blank, the name as WideFileNameOf makes it (cut to fit) and ".wav"; the
// cue alone ("047.wav") for a name that is null or decodes to nothing.
void ExportFileName(wchar_t (&out)[kExportNameUnits], uint32_t cue, const char* name);

// For each pool cue, the instrument whose name its file takes: the first in
// file order with a region using it, or kNoInstrument. poolCueCount entries.
void FirstUsers(TArray<int32_t>& users);

// `n` with a comma between groups of three digits ("6,412,345"). Valid for
// seven more calls.
const char* GroupedNumber(uint64_t n);

// "520 waves (6,412,345 bytes) and index.csv written to FOLDER" (one wave,
// one byte in the singular). A temporary text.
const wchar_t* ExportSummary(uint32_t waves, uint64_t bytes, const wchar_t* folder);

// Appends one CSV field of `length` bytes (RFC 4180): in double quotes, with
// its quotes doubled, when it holds a comma, a quote, CR or LF; else as it is.
void AppendCsvField(TArray<char>& csv, const char* field, uint32_t length);

// index.csv in UTF-8, lines ending in CRLF: a header, then one row per region
// in instrument and region order: instrument index, name, region index, key
// range and velocity range ("low-high"), cue, file name (empty when the cue
// has no file: `written` holds 1 for each pool cue whose file was written),
// loop start and loop length (both empty without a loop).
void BuildIndexCsv(TArray<char>& csv, const TArray<int32_t>& users, const TArray<uint8_t>& written);

struct CExportResult {
    uint32_t waves = 0;          // wave files written
    uint64_t bytes = 0;          // their bytes
    TArray<uint32_t> skipped;    // pool cues whose wave gives no image
    TArray<wchar_t> failed;      // the path that could not be written, or empty
    uint32_t error = 0;          // the system's error code for it (0: none given)
    int crtError = 0;            // the C runtime's errno for it (0: none given)
};

// Exports the sound set already read into `folder`, creating the folder
// (and the folders it lies in) when it is missing, replacing files of the
// same names and leaving other files alone. False at the first path that
// cannot be created or written: the files written before it stay, a file
// that failed is removed, and index.csv is written last, after every wave.
bool ExportSoundSet(const wchar_t* folder, CExportResult& result);

// The system's text for an error code (or for the C runtime's errno when the
// code is 0), without a trailing line break. A temporary text.
const wchar_t* SystemReason(uint32_t error, int crtError);
