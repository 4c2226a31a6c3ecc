#include "Export.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "../../rtl/Str.h"
#include "../../sound/SoundSet.h"
#include "../../sound/WaveImage.h"

namespace {

const wchar_t kWaveExtension[] = L".wav";
const uint32_t kWaveExtensionUnits = 4;
// RGNHEADER data: the key range, then the velocity range, each two u16.
const uint32_t kRangeKeyLow = 0;
const uint32_t kRangeKeyHigh = 2;
const uint32_t kRangeVelocityLow = 4;
const uint32_t kRangeVelocityHigh = 6;
const char kIndexHeader[] = "instrument,name,region,keys,velocities,cue,file,loop start,loop length\r\n";
// UTF-8 of at most 260 UTF-16 units (an instrument's name, a file name).
const uint32_t kUtf8FieldBytes = 4 * 260;

bool NeedsQuotes(char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

inline uint32_t ReadU16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

void AppendBytes(TArray<char>& text, const char* bytes, uint32_t size) {
    const uint32_t at = text.count;
    text.Grow(at + size, at + size);
    if (size) std::memcpy(text.items + at, bytes, size);
}

void AppendText(TArray<char>& text, const char* zeroEnded) {
    AppendBytes(text, zeroEnded, uint32_t(std::strlen(zeroEnded)));
}

// A UTF-16 text as one CSV field in UTF-8.
void AppendWideField(TArray<char>& csv, const wchar_t* text) {
    char utf8[kUtf8FieldBytes];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    AppendCsvField(csv, utf8, n > 0 ? uint32_t(n - 1) : 0);
}

void AppendWide(TArray<wchar_t>& text, const wchar_t* zeroEnded) {
    const uint32_t n = WideLength(zeroEnded), at = text.count;
    text.Grow(at + n, at + n);
    std::memcpy(text.items + at, zeroEnded, n * sizeof(wchar_t));
}

// Replaces the path's file name (the units from `base` on) with `name`, terminated.
const wchar_t* PathWithName(TArray<wchar_t>& path, uint32_t base, const wchar_t* name) {
    path.count = base;
    AppendWide(path, name);
    path.Append(L'\0');
    return path.items;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Notes why `path` failed and removes what may have been written of it.
bool Failed(CExportResult& result, const wchar_t* path, uint32_t error, int crtError, bool remove) {
    result.failed.count = 0;
    AppendWide(result.failed, path);
    result.failed.Append(L'\0');
    result.error = error;
    result.crtError = crtError;
    if (remove) DeleteFileW(path);
    return false;
}

bool WriteBytesFile(const wchar_t* path, const char* bytes, uint32_t size) {
    FILE* file = _wfopen(path, L"wb");
    if (!file) return false;
    const size_t written = size ? std::fwrite(bytes, 1, size, file) : 0;
    const bool closed = std::fclose(file) == 0;
    return FileWritten(written, size, closed);
}

// Makes the folder, and the folders it lies in when they are missing too;
// true when it is a folder in the end, else the path that failed is noted.
bool MakeFolder(const wchar_t* folder, CExportResult& result) {
    if (CreateDirectoryW(folder, nullptr)) return true;
    uint32_t error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) {
        // The parent: the path without its last name and the separators
        // before it, keeping a drive's root (C:\ stays as it is).
        TArray<wchar_t> parent(256);
        AppendWide(parent, folder);
        uint32_t n = parent.count;
        while (n && IsSeparator(parent[n - 1])) --n;
        while (n && !IsSeparator(parent[n - 1])) --n;
        while (n > 1 && IsSeparator(parent[n - 1]) && parent[n - 2] != L':') --n;
        parent.count = n;
        parent.Append(L'\0');
        if (n) {
            if (!MakeFolder(parent.items, result)) return false;
            if (CreateDirectoryW(folder, nullptr)) return true;
            error = GetLastError();
        }
    }
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return Failed(result, folder, error, 0, false);
}

}  // namespace

void ExportFileName(wchar_t (&out)[kExportNameUnits], uint32_t cue, const char* name) {
    uint32_t at = uint32_t(FormatTextW(out, kExportNameUnits, L"%03u", cue));
    if (name && *name) {
        out[at] = L' ';
        const uint32_t units = WideFileNameOf(name, out + at + 1, kExportNameUnits - kWaveExtensionUnits - at - 1);
        if (units) at += 1 + units;
    }
    CopyWide(out + at, kWaveExtension, kExportNameUnits - at);
}

void FirstUsers(TArray<int32_t>& users) {
    users.SetCapacity(poolCueCount, poolCueCount);
    for (uint32_t k = 0; k < poolCueCount; ++k) users[k] = kNoInstrument;
    for (uint32_t i = 0; i < instruments.count; ++i)
        for (uint32_t r = 0; r < instruments[i].regionCount; ++r) {
            uint32_t cue;
            if (RegionCue(instruments[i], r, cue) && cue < poolCueCount && users[cue] == kNoInstrument)
                users[cue] = int32_t(i);
        }
}

const char* GroupedNumber(uint64_t n) {
    char digits[20], text[32];
    uint32_t count = 0;
    do {
        digits[count++] = char('0' + n % 10);
        n /= 10;
    } while (n);
    char* at = text;
    for (uint32_t i = count; i-- > 0;) {
        *at++ = digits[i];
        if (i && i % 3 == 0) *at++ = ',';
    }
    *at = 0;
    return TempText("%s", text);
}

const wchar_t* ExportSummary(uint32_t waves, uint64_t bytes, const wchar_t* folder) {
    return TempTextW(L"%S wave%s (%S byte%s) and %s written to %s", GroupedNumber(waves), waves == 1 ? L"" : L"s",
                     GroupedNumber(bytes), bytes == 1 ? L"" : L"s", kIndexFileName, folder);
}

void AppendCsvField(TArray<char>& csv, const char* field, uint32_t length) {
    bool quoted = false;
    for (uint32_t i = 0; i < length; ++i) quoted = quoted || NeedsQuotes(field[i]);
    if (!quoted) {
        AppendBytes(csv, field, length);
        return;
    }
    csv.Append('"');
    for (uint32_t i = 0; i < length; ++i) {
        if (field[i] == '"') csv.Append('"');
        csv.Append(field[i]);
    }
    csv.Append('"');
}

void BuildIndexCsv(TArray<char>& csv, const TArray<int32_t>& users, const TArray<uint8_t>& written) {
    csv.count = 0;
    AppendText(csv, kIndexHeader);
    for (uint32_t i = 0; i < instruments.count; ++i) {
        const InstrumentEntry& entry = instruments[i];
        for (uint32_t r = 0; r < entry.regionCount; ++r) {
            uint32_t cue = 0, start, length;
            RegionCue(entry, r, cue);
            // The indexer keeps a region header only with its 12 bytes inside the image.
            const uint8_t* header = entry.regionHeaders()[r];
            AppendText(csv, TempText("%u,", i));
            AppendWideField(csv, instrumentNames[i]);
            AppendText(csv, TempText(",%u,%u-%u,%u-%u,%u,", r, ReadU16(header + kRangeKeyLow),
                                     ReadU16(header + kRangeKeyHigh), ReadU16(header + kRangeVelocityLow),
                                     ReadU16(header + kRangeVelocityHigh), cue));
            if (cue < written.count && written[cue]) {
                wchar_t name[kExportNameUnits];
                ExportFileName(name, cue, users[cue] == kNoInstrument ? nullptr : instruments[users[cue]].name);
                AppendWideField(csv, name);
            }
            AppendText(csv, RegionLoop(entry, r, start, length) ? TempText(",%u,%u\r\n", start, length) : ",,\r\n");
        }
    }
}

bool ExportSoundSet(const wchar_t* folder, CExportResult& result) {
    ReserveWaveImage();
    if (!MakeFolder(folder, result)) return false;
    TArray<wchar_t> path(256);
    AppendWide(path, folder);
    if (path.count && !IsSeparator(path[path.count - 1]) && path[path.count - 1] != L':') path.Append(L'\\');
    const uint32_t base = path.count;

    TArray<int32_t> users;
    FirstUsers(users);
    TArray<uint8_t> written(256);
    written.SetCapacity(poolCueCount, poolCueCount);
    for (uint32_t cue = 0; cue < poolCueCount; ++cue) {
        written[cue] = 0;
        if (!BuildRawImage(cue)) {
            result.skipped.Append(cue);
            continue;
        }
        wchar_t name[kExportNameUnits];
        ExportFileName(name, cue, users[cue] == kNoInstrument ? nullptr : instruments[users[cue]].name);
        PathWithName(path, base, name);
        SetLastError(0);
        errno = 0;
        if (!WriteWaveImageFile(path.items)) return Failed(result, path.items, GetLastError(), errno, true);
        written[cue] = 1;
        ++result.waves;
        result.bytes += WaveImage.count;
    }

    TArray<char> csv(65536);
    BuildIndexCsv(csv, users, written);
    PathWithName(path, base, kIndexFileName);
    SetLastError(0);
    errno = 0;
    if (!WriteBytesFile(path.items, csv.items, csv.count))
        return Failed(result, path.items, GetLastError(), errno, true);
    return true;
}

const wchar_t* SystemReason(uint32_t error, int crtError) {
    wchar_t text[512];
    DWORD n = error ? FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                     text, sizeof text / sizeof text[0], nullptr)
                    : 0;
    if (n == 0) {
        if (crtError) return TempTextW(L"%s", _wcserror(crtError));
        return error ? TempTextW(L"error %u", error) : L"no reason given";
    }
    while (n && std::wcschr(L"\r\n ", text[n - 1])) text[--n] = 0;
    return TempTextW(L"%s", text);
}
