// Text: UTF-8 and UTF-16 conversion, lengths and copies, bounded formatting,
// rotating temporary texts, path composition, the fatal-error report and the
// clipboard.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#define STR_CPP_TAG ".\\Rtl\\Str.cpp"
const int32_t kDuplicateNameLine = 190;

const uint32_t kPathUnits = 260;       // fixed path buffers, terminator included
const uint32_t kPathPartUnits = 256;   // root and directory outputs of PathSplit
const uint32_t kUtf8TextBytes = 260;   // Utf16ToUtf8's output, terminator included
const uint32_t kTempTextSize = 2048;   // bytes (TempText) or units (TempTextW)
const uint32_t kAssertReportSize = 1024;   // bytes of the assertion report
const uint32_t kFatalMessageSize = 256;    // bytes of a FatalError message

template <class T>
struct TArray;

// Decodes one UTF-8 sequence at `in` into at most one UTF-16 unit at `out`,
// advancing both cursors. Never reads past a zero byte: a sequence cut short
// by the terminator yields nothing and leaves `in` on the terminator.
void Utf8DecodeUnit(const char*& in, wchar_t*& out);

// Encodes the unit at `in` (always advanced) at `out` when it fits in `room`
// bytes: 1, or 0 with nothing written.
int Utf8EncodeUnit(const wchar_t*& in, char*& out, uint32_t room);

// Converts as many whole characters as fit kUtf8TextBytes bytes; the byte
// count before the terminator.
uint32_t Utf16ToUtf8(char* out, const wchar_t* text);

uint32_t WideLength(const wchar_t* text);
uint32_t WideByteSize(const wchar_t* text);   // 2 * (length + 1)

// Copies at most n - 1 units and terminates (n = 0 writes nothing).
void CopyWide(wchar_t* to, const wchar_t* from, uint32_t n);

// ASCII-only case-insensitive comparison with the reversed sign: 1 when a sorts
// before b, -1 when after, 0 when equal.
int CompareNoCase(const wchar_t* a, const wchar_t* b);

// Heap copy of a narrow text (freed with ThreadHeap->Free).
char* DuplicateName(const char* text);

// Bounded printf-style formatting with the Windows C runtime's conventions:
// in narrow formats "%S" takes wide text, in wide formats "%s" takes wide text
// and "%S" narrow text. Never overruns; returns what was written.
int FormatText(char* buffer, uint32_t size, const char* format, ...);
int FormatTextW(wchar_t* buffer, uint32_t size, const wchar_t* format, ...);
int FormatTextV(char* buffer, uint32_t size, const char* format, va_list args);
int FormatTextWV(wchar_t* buffer, uint32_t size, const wchar_t* format, va_list args);

// Formats into the next of eight static buffers; valid for seven more calls.
const char* TempText(const char* format, ...);
const wchar_t* TempTextW(const wchar_t* format, ...);

// Root (\\server\share or X:) and directory (up to its last separator) of a
// path; either output may be null. Outputs hold 256 units.
void PathSplit(const wchar_t* path, wchar_t* root, wchar_t* directory);
// Root, directory and file name composed with backslashes, at most 259 units.
void PathBuild(wchar_t* out, const wchar_t* root, const wchar_t* directory, const wchar_t* name);
// Root and directory of a path, ending with a backslash; empty for a bare name.
void PathDirectory(wchar_t* out, const wchar_t* path);
// Directory, separator and name; `out` may be either input.
void PathJoin(wchar_t* out, const wchar_t* directory, const wchar_t* name);

// Writes "Assertion failed", the message, "file:line" (a null file prints as
// "(null)") and the two Press lines to standard error in full, sets the
// skip-leak-report flag and ends the process with exit code 1 at once: no
// at-exit routine runs, no dialog is shown. A report longer than 1023 bytes
// is cut.
[[noreturn]] void AssertFailed(const char* file, int32_t line, const char* message);
// Formats the message (cut to 255 bytes) and fails with no file and line 0.
[[noreturn]] void FatalError(const char* format, ...);

// Replaces the array's contents with the clipboard's UTF-16 text, at most
// maximum - 1 units (none for a maximum of 0; never read past the clipboard's
// block), then appends one zero unit that the count includes. Without text,
// or when the clipboard cannot be opened or locked, the array keeps what it
// held and only the terminator is appended.
void GetClipboardText(TArray<wchar_t>& text, uint32_t maximum);
// Puts the text and its terminator on the clipboard as CF_UNICODETEXT; the
// result of closing the clipboard, 0 when it cannot be opened. The clipboard
// is left empty when the memory cannot be had.
int SetClipboardText(const wchar_t* text);
