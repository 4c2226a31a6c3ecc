#include "Str.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "../mem/ExeHeapSrv.h"
#include "../mem/ExeMem.h"
#include "Array.h"

void Utf8DecodeUnit(const char*& in, wchar_t*& out) {
    unsigned b = static_cast<unsigned char>(*in++);
    unsigned value;
    int continuations;
    if ((b & 0xF0) == 0xE0) {
        value = b & 0x0F;
        continuations = 2;
    } else if ((b & 0xE0) == 0xC0) {
        value = b & 0x1F;
        continuations = 1;
    } else if (b < 0x80) {
        *out++ = static_cast<wchar_t>(b);
        return;
    } else {
        return;  // stray continuation byte or a four-byte lead: dropped
    }
    for (; continuations > 0; --continuations) {
        unsigned c = static_cast<unsigned char>(*in);
        if (c == 0) return;
        ++in;
        if ((c & 0xC0) == 0x80) value = (value << 6) | (c & 0x3F);
    }
    *out++ = static_cast<wchar_t>(value);
}

int Utf8EncodeUnit(const wchar_t*& in, char*& out, uint32_t room) {
    const unsigned u = static_cast<uint16_t>(*in++);
    const uint32_t needed = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    if (room < needed) return 0;
    if (needed == 1) {
        *out++ = static_cast<char>(u);
    } else if (needed == 2) {
        *out++ = static_cast<char>(0xC0 | (u >> 6));
        *out++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
        *out++ = static_cast<char>(0xE0 | (u >> 12));
        *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    return 1;
}

uint32_t Utf16ToUtf8(char* out, const wchar_t* text) {
    char* const start = out;
    char* const end = out + kUtf8TextBytes;
    if (*text) {
        for (;;) {
            if (end - out < 2) break;
            if (!Utf8EncodeUnit(text, out, uint32_t(end - out) - 1)) break;
            if (*text == 0) break;
        }
    }
    if (out < end) *out = 0;
    return uint32_t(out - start);
}

uint32_t WideLength(const wchar_t* text) {
    uint32_t n = 0;
    while (text[n]) ++n;
    return n;
}

uint32_t WideByteSize(const wchar_t* text) { return 2 * (WideLength(text) + 1); }

void CopyWide(wchar_t* to, const wchar_t* from, uint32_t n) {
    if (n == 0) return;
    uint32_t i = 0;
    for (; i + 1 < n && from[i]; ++i) to[i] = from[i];
    to[i] = 0;
}

int CompareNoCase(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        unsigned x = static_cast<uint16_t>(*a), y = static_cast<uint16_t>(*b);
        if (x - 'A' < 26) x += 0x20;
        if (y - 'A' < 26) y += 0x20;
        if (x != y) return x < y ? 1 : -1;
        if (x == 0) return 0;
    }
}

char* DuplicateName(const char* text) {
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(
        ThreadHeap->Alloc(uint32_t(length + 1), 0, STR_CPP_TAG, kDuplicateNameLine));
    std::memcpy(copy, text, length + 1);
    return copy;
}

namespace {
// Cleared first: a conversion that fails part-way leaves a terminated prefix,
// never bytes the formatter did not write. On overflow (or a failed
// conversion) the text is cut and its length returned.
template <class Char>
int Bounded(Char* buffer, uint32_t size, int (*formatter)(Char*, size_t, const Char*, va_list),
            const Char* format, va_list args) {
    if (size == 0) return 0;
    std::memset(buffer, 0, size * sizeof(Char));
    int n = formatter(buffer, size, format, args);
    if (n < 0 || uint32_t(n) >= size) {
        buffer[size - 1] = 0;
        n = 0;
        while (buffer[n]) ++n;
    }
    return n;
}
}  // namespace

// The C runtime's own bounded formatters: their "%s"/"%S" follow the Windows
// conventions, unlike the C99 family MinGW substitutes for vsnprintf.
int FormatTextV(char* buffer, uint32_t size, const char* format, va_list args) {
    return Bounded<char>(buffer, size, _vsnprintf, format, args);
}

int FormatTextWV(wchar_t* buffer, uint32_t size, const wchar_t* format, va_list args) {
    return Bounded<wchar_t>(buffer, size, _vsnwprintf, format, args);
}

int FormatText(char* buffer, uint32_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatTextV(buffer, size, format, args);
    va_end(args);
    return n;
}

int FormatTextW(wchar_t* buffer, uint32_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatTextWV(buffer, size, format, args);
    va_end(args);
    return n;
}

namespace {
char tempTexts[8][kTempTextSize];
wchar_t tempTextsW[8][kTempTextSize];
uint32_t tempIndex, tempIndexW;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Copies with slashes turned into backslashes while budget remains; true when
// the source was copied to its end.
bool CopyPathPart(wchar_t*& out, const wchar_t* from, uint32_t& budget) {
    for (; *from; ++from) {
        if (budget == 0) return false;
        *out++ = *from == L'/' ? L'\\' : *from;
        --budget;
    }
    return true;
}
}  // namespace

const char* TempText(const char* format, ...) {
    tempIndex = (tempIndex + 1) & 7;
    char* buffer = tempTexts[tempIndex];
    va_list args;
    va_start(args, format);
    FormatTextV(buffer, kTempTextSize, format, args);
    va_end(args);
    return buffer;
}

const wchar_t* TempTextW(const wchar_t* format, ...) {
    tempIndexW = (tempIndexW + 1) & 7;
    wchar_t* buffer = tempTextsW[tempIndexW];
    va_list args;
    va_start(args, format);
    FormatTextWV(buffer, kTempTextSize, format, args);
    va_end(args);
    return buffer;
}

void PathSplit(const wchar_t* path, wchar_t* root, wchar_t* directory) {
    const wchar_t* rest = path;
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        rest = path + 2;
        while (*rest && !IsSeparator(*rest)) ++rest;   // server
        if (*rest) ++rest;
        while (*rest && !IsSeparator(*rest)) ++rest;   // share
        if (root) {
            uint32_t n = uint32_t(rest - path);
            if (n > kPathPartUnits - 1) n = kPathPartUnits - 1;
            std::memcpy(root, path, n * sizeof(wchar_t));
            root[n] = 0;
        }
    } else if (path[0] && path[1] == L':') {
        if (root) {
            root[0] = path[0];
            root[1] = L':';
            root[2] = 0;
        }
        rest = path + 2;
    } else if (root) {
        root[0] = 0;
    }
    if (!directory) return;
    const wchar_t* last = nullptr;
    for (const wchar_t* p = rest; *p; ++p)
        if (IsSeparator(*p)) last = p;
    uint32_t n = last ? uint32_t(last + 1 - rest) : 0;
    if (n > kPathPartUnits - 1) n = kPathPartUnits - 1;
    std::memcpy(directory, rest, n * sizeof(wchar_t));
    directory[n] = 0;
}

void PathBuild(wchar_t* out, const wchar_t* root, const wchar_t* directory, const wchar_t* name) {
    uint32_t budget = kPathUnits - 1;
    wchar_t* at = out;
    if (root && *root) CopyPathPart(at, root, budget);
    if (directory && *directory && budget) {
        if (CopyPathPart(at, directory, budget) && at[-1] != L'\\' && budget) {
            *at++ = L'\\';
            --budget;
        }
    }
    if (name && *name && budget) {
        if (IsSeparator(*name)) ++name;
        CopyPathPart(at, name, budget);
    }
    *at = 0;
}

void PathDirectory(wchar_t* out, const wchar_t* path) {
    wchar_t root[kPathPartUnits], directory[kPathPartUnits];
    PathSplit(path, root, directory);
    PathBuild(out, root, directory, nullptr);
}

void PathJoin(wchar_t* out, const wchar_t* directory, const wchar_t* name) {
    wchar_t scratchDirectory[kPathUnits], scratchName[kPathUnits];
    if (out == directory) {
        CopyWide(scratchDirectory, directory, kPathUnits);
        directory = scratchDirectory;
    }
    if (out == name) {
        CopyWide(scratchName, name, kPathUnits);
        name = scratchName;
    }
    PathBuild(out, nullptr, directory, name);
}

void AssertFailed(const char* file, int32_t line, const char* message) {
    char report[kAssertReportSize];
    FormatText(report, sizeof(report), "%s\n%s\n%s:%d\n\nPress OK to exit\nPress Cancel to debug\n",
               "Assertion failed", message ? message : "(null)", file ? file : "(null)", int(line));
    std::fprintf(stderr, "%s", report);
    std::fflush(stderr);
    skipLeakReport = 1;
    std::_Exit(1);
}

void FatalError(const char* format, ...) {
    char message[kFatalMessageSize];
    va_list args;
    va_start(args, format);
    FormatTextV(message, sizeof(message), format, args);
    va_end(args);
    AssertFailed(nullptr, 0, message);
}

void GetClipboardText(TArray<wchar_t>& text, uint32_t maximum) {
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(nullptr)) {
        HANDLE handle = GetClipboardData(CF_UNICODETEXT);
        const wchar_t* units = handle ? static_cast<const wchar_t*>(GlobalLock(handle)) : nullptr;
        if (units) {
            // The block bounds the scan should its text lack a terminator.
            const size_t room = GlobalSize(handle) / sizeof(wchar_t);
            const uint32_t limit = maximum ? maximum - 1 : 0;
            uint32_t n = 0;
            while (n < limit && n < room && units[n]) ++n;
            text.Grow(n, 0);
            if (n) std::memcpy(text.items, units, n * sizeof(wchar_t));
            text.count = n;
            GlobalUnlock(handle);
        }
        CloseClipboard();
    }
    text.Grow(text.count + 1, text.count + 1);
    text.items[text.count - 1] = 0;
}

int SetClipboardText(const wchar_t* text) {
    if (!text) text = L"";
    if (!OpenClipboard(nullptr)) return 0;
    if (EmptyClipboard()) {
        const uint32_t bytes = WideByteSize(text);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
        void* copy = memory ? GlobalLock(memory) : nullptr;
        if (copy) {
            std::memcpy(copy, text, bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else if (memory) {
            GlobalFree(memory);
        }
    }
    return CloseClipboard();
}
