// What the heap client does when something goes wrong, and its exit routine.
#pragma once

#include <cstdint>

// A damaged guard found when a block is freed.
void ReportCorruption(const void* block, uint32_t blockSize, const char* file, int32_t line);

// The C runtime heap is exhausted: ends the process with exit code 1.
[[noreturn]] void OutOfMemory(const char* file, int32_t line);

// Set by the fatal paths that end the process; while set, no leak report is
// made. Clear at start.
extern volatile uint32_t skipLeakReport;

// The heap client's at-exit routine: runs after every other static destructor
// and destroys the heap client.
void ReportLeaks();

// Corruption reports made so far in this process.
uint32_t HeapCorruptionReports();

// Copies a tag's file name into out (260 bytes) when it is printable text of at
// most 258 bytes; otherwise writes "@" and the pointer in eight hex digits.
void SanitizeTag(const char* file, char* out);
