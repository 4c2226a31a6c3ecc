#include "ExeMem.h"

#include <cstdlib>

#include "ExeHeapSrv.h"

namespace {
volatile LONG corruptionReports = 0;
}

volatile uint32_t skipLeakReport = 0;

void ReportCorruption(const void*, uint32_t, const char*, int32_t) {
    InterlockedIncrement(&corruptionReports);
}

uint32_t HeapCorruptionReports() { return static_cast<uint32_t>(corruptionReports); }

void OutOfMemory(const char*, int32_t) { std::_Exit(1); }

void SanitizeTag(const char* file, char* out) {
    size_t i = 0;
    if (file) {
        while (i < 259 && static_cast<unsigned char>(file[i]) >= 0x20 &&
               static_cast<unsigned char>(file[i]) <= 0x7F) {
            out[i] = file[i];
            ++i;
        }
    }
    if (!file || i == 259 || file[i] != 0)
        wsprintfA(out, "@%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(file)));
    else
        out[i] = 0;
}

void ReportLeaks() {
    CHeapCliDebug* heap = ProcessHeapClient();
    ThreadHeap = nullptr;
    heap->Destroy(0);
}
