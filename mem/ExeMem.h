// What the heap client does when something goes wrong, its exit routine, and
// the process services they use: the log dispatcher, the module path and the
// log directory.
#pragma once

#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Log channels; every diagnostic line of the program uses kLogError.
enum : uint32_t { kLogDebug = 0, kLogInfo = 1, kLogError = 2 };
const uint32_t kLogChannels = 3;
const uint32_t kLogSinkSlots = 4;
const uint32_t kLogLineUnits = 1024;   // bytes or units, terminator included
const uint32_t kTagBytes = 260;        // a sanitized tag, terminator included

// File-name patterns for a sink that writes each channel to its own file.
extern const wchar_t* const logFilePatterns[kLogChannels];

// A sink receives every dispatched line: its channel and the wide text.
typedef void (*LogSink)(uint32_t channel, const wchar_t* line);

// Puts `sink` (or null: empties the slot) in slot 0 to 3; 0 for another slot.
int SetLogSink(uint32_t slot, LogSink sink);

// Formats one line (cut to 1023 bytes), converts it with the ANSI code page
// and hands it to every sink installed, slot 0 first. Without sinks nothing
// is visible.
void LogMessage(uint32_t channel, const char* format, ...);
// The same with a wide format; the line is cut to 1023 units.
void LogMessageW(uint32_t channel, const wchar_t* format, ...);

// Set before main on the Windows 95/98/Me family (top bit of the version word).
extern uint32_t windows9x;
// Sets windows9x from the version word (a start-up step).
void ProbeWindowsVersion();

// The running program's file path in `out` (kPathUnits units); 0 on failure.
uint32_t GetModulePath(wchar_t* out);
// The program's directory with its trailing backslash, or the empty text when
// the module path cannot be had (logged): "MemLeak.log" and "MemError.log"
// go there.
void GetLogDirectory(wchar_t* out);

// The Windows Sockets start-up's verdict: 0 when version 2.2 was granted,
// else the report's text in `text` (256 bytes) and 1. `result` is what
// WSAStartup answered, `version` the version word it granted.
int WinsockFailure(int result, uint32_t version, char* text);
// Ends the process through the assertion-failure report when the start-up
// failed (standard error, exit code 1, no leak report).
void CheckWinsockStartup(int result, uint32_t version);

// A damaged guard found when a block is freed: an Error-channel line and a
// record of the block's bytes appended to "Logs\MemCorrupt.log" under the
// current directory (the folder is never created; without it, only the line).
void ReportCorruption(const void* block, uint32_t blockSize, const char* file, int32_t line);

// The C runtime heap is exhausted: lists the live blocks in "MemError.log",
// shows "Out of memory" with the call site and ends the process with exit
// code 1 and no leak report. A failure while this runs ends the process (or,
// on another thread, that thread) at once.
[[noreturn]] void OutOfMemory(const char* file, int32_t line);

// Set by the fatal paths that end the process; while set, no leak report is
// made. Clear at start.
extern volatile uint32_t skipLeakReport;

// The heap client's at-exit routine: runs after every other process-wide
// object is gone, lists the blocks still allocated in "MemLeak.log" (created
// only when there is one), showing each in a box until the user answers
// Cancel, and destroys the heap client.
void ReportLeaks();

// Corruption reports made so far in this process.
uint32_t HeapCorruptionReports();

// Copies a tag's file name into out (kTagBytes bytes) when it is readable,
// printable text of at most 258 bytes; otherwise writes "@" and the pointer
// in upper-case hexadecimal digits.
void SanitizeTag(const char* file, char* out);

// Hides a topmost pop-up that is the thread's active window, so that a
// message box is not covered.
void DemoteTopmostPopup();

// What a leak or error report writes for one block, without a terminator.
void FormatLeakLine(char* out, uint32_t size, const void* user, uint32_t blockSize, const char* file,
                    int32_t line);
