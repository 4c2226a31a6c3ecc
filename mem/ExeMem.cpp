#include "ExeMem.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "../rtl/Str.h"
#include "ExeHeapSrv.h"

const wchar_t* const logFilePatterns[kLogChannels] = {
    L"Debug%02u%02u%02u.log", L"Info%02u%02u%02u.log", L"Error%02u%02u%02u.log"};

uint32_t windows9x = 0;

void ProbeWindowsVersion() { windows9x = (GetVersion() & 0x80000000u) ? 1 : 0; }
volatile uint32_t skipLeakReport = 0;

namespace {

LogSink logSinks[kLogSinkSlots];

void DispatchLine(uint32_t channel, const wchar_t* line) {
    for (uint32_t i = 0; i < kLogSinkSlots; ++i)
        if (LogSink sink = logSinks[i]) sink(channel, line);
}

// ANSI text to at most `units` wide units; a failed conversion leaves a
// terminated (possibly empty) text.
void AnsiToWide(wchar_t* out, uint32_t units, const char* text) {
    out[0] = 0;
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, int(units))) out[units - 1] = 0;
}

// Bytes readable from p to the end of its memory region; 0 when p cannot be read.
size_t ReadableRun(const void* p) {
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(p, &info, sizeof info)) return 0;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        !(info.Protect & readable))
        return 0;
    return size_t(static_cast<const char*>(info.BaseAddress) + info.RegionSize -
                  static_cast<const char*>(p));
}

const uint32_t kTagLongest = 258;
const uint32_t kReportLineBytes = 512;
const uint32_t kRecordSlack = 512;   // scratch bytes beyond the block
const uint32_t kRecordHead = 8;      // kind and line

volatile LONG corruptionReports = 0;
// Null until the first report; INVALID_HANDLE_VALUE once the open failed.
HANDLE corruptionLog = nullptr;

volatile LONG outOfMemory = 0;
volatile DWORD outOfMemoryThread = 0;

// A leak or error report on its way: the file is null until the first line,
// INVALID_HANDLE_VALUE when it could not be created.
struct LeakReport {
    HANDLE file;
    uint32_t showBoxes;
    wchar_t path[kPathUnits];
};

void LeakVisitor(void* context, int32_t line, const char* file, uint32_t blockSize, uint32_t,
                 void* user) {
    LeakReport& report = *static_cast<LeakReport*>(context);
    if (!report.file) {
        if (report.showBoxes) DemoteTopmostPopup();
        report.file = CreateFileW(report.path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (report.file == INVALID_HANDLE_VALUE)
            LogMessage(kLogError, "Unable to create file '%S' (%u)", report.path,
                       unsigned(GetLastError()));
    }
    char text[kReportLineBytes];
    FormatLeakLine(text, sizeof text, user, blockSize, file, line);
    if (report.file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(report.file, text, DWORD(std::strlen(text)), &written, nullptr);
    }
    if (report.showBoxes)
        report.showBoxes = MessageBoxA(nullptr, text, "Memory error",
                                       MB_OKCANCEL | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND) ==
                           IDOK;
}

// Lists every live block of `heap` in `name` under the log directory.
void ReportLiveBlocks(IHeap* heap, const wchar_t* name, uint32_t showBoxes) {
    LeakReport report;
    report.file = nullptr;
    report.showBoxes = showBoxes;
    wchar_t directory[kPathUnits];
    GetLogDirectory(directory);
    PathJoin(report.path, directory, name);
    heap->Enumerate(LeakVisitor, &report);
    if (report.file && report.file != INVALID_HANDLE_VALUE) CloseHandle(report.file);
}

}  // namespace

int SetLogSink(uint32_t slot, LogSink sink) {
    if (slot >= kLogSinkSlots) return 0;
    logSinks[slot] = sink;
    return 1;
}

void LogMessage(uint32_t channel, const char* format, ...) {
    char narrow[kLogLineUnits];
    va_list args;
    va_start(args, format);
    FormatTextV(narrow, sizeof narrow, format, args);
    va_end(args);
    wchar_t wide[kLogLineUnits];
    AnsiToWide(wide, kLogLineUnits, narrow);
    DispatchLine(channel, wide);
}

void LogMessageW(uint32_t channel, const wchar_t* format, ...) {
    wchar_t wide[kLogLineUnits];
    va_list args;
    va_start(args, format);
    FormatTextWV(wide, kLogLineUnits, format, args);
    va_end(args);
    DispatchLine(channel, wide);
}

uint32_t GetModulePath(wchar_t* out) {
    out[0] = 0;
    DWORD answer;
    if (windows9x) {
        char narrow[kPathUnits];
        answer = GetModuleFileNameA(nullptr, narrow, kPathUnits);
        narrow[kPathUnits - 1] = 0;   // older systems leave a cut name unterminated
        if (answer) AnsiToWide(out, kPathUnits, narrow);
    } else {
        answer = GetModuleFileNameW(nullptr, out, kPathUnits);
        out[kPathUnits - 1] = 0;
    }
    return answer;
}

void GetLogDirectory(wchar_t* out) {
    wchar_t path[kPathUnits];
    if (!GetModulePath(path)) {
        LogMessage(kLogError, "GetModuleName() failed %#x", unsigned(GetLastError()));
        path[0] = 0;
    }
    PathDirectory(out, path);
}

int WinsockFailure(int result, uint32_t version, char* text) {
    if (result) {
        FormatText(text, kFatalMessageSize, "WSAStartup %#x", unsigned(result));
        return 1;
    }
    if (version != 0x0202) {
        FormatText(text, kFatalMessageSize, "WSA version %#x", unsigned(version));
        return 1;
    }
    return 0;
}

void CheckWinsockStartup(int result, uint32_t version) {
    char text[kFatalMessageSize];
    if (WinsockFailure(result, version, text)) AssertFailed(nullptr, 0, text);
}

void SanitizeTag(const char* file, char* out) {
    bool safe = file != nullptr;
    size_t i = 0, readable = 0;
    while (safe) {
        if (readable == 0) readable = ReadableRun(file + i);
        if (readable == 0) {
            safe = false;
            break;
        }
        --readable;
        const unsigned char c = static_cast<unsigned char>(file[i]);
        if (c == 0) break;
        if (c < 0x20 || c > 0x7F || i == kTagLongest) {
            safe = false;
            break;
        }
        out[i++] = char(c);
    }
    if (safe)
        out[i] = 0;
    else
        FormatText(out, kTagBytes, "@%p", static_cast<const void*>(file));
}

void FormatLeakLine(char* out, uint32_t size, const void* user, uint32_t blockSize, const char* file,
                    int32_t line) {
    FormatText(out, size, "offset %p size %u %s:%d\r\n", user, unsigned(blockSize), file, int(line));
}

void ReportCorruption(const void* block, uint32_t blockSize, const char* file, int32_t line) {
    InterlockedIncrement(&corruptionReports);
    char safe[kTagBytes];
    SanitizeTag(file, safe);
    LogMessage(kLogError, "HEAP CORRUPT: 0x%08llx, %s:%u",
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)), safe,
               unsigned(line));
    if (!corruptionLog) {
        HANDLE log = CreateFileA("Logs\\MemCorrupt.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) SetFilePointer(log, 0, nullptr, FILE_END);
        corruptionLog = log;
    }
    if (corruptionLog == INVALID_HANDLE_VALUE || blockSize > SIZE_MAX - kRecordSlack) return;

    // The thread heap may be the damaged party: the record is built in pages
    // of the system's own.
    uint8_t* record = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, size_t(blockSize) + kRecordSlack, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!record) return;
    const size_t k = std::strlen(safe);
    const size_t used = kRecordHead + k + 1 + blockSize;
    const size_t length = (used + 2 + 15) & ~size_t(15);
    const uint32_t kind = 1;
    std::memcpy(record, &kind, 4);
    std::memcpy(record + 4, &line, 4);
    std::memcpy(record + kRecordHead, safe, k + 1);
    std::memcpy(record + kRecordHead + k + 1, block, blockSize);
    std::memset(record + used, '#', length - used);
    DWORD written;
    WriteFile(corruptionLog, record, DWORD(length), &written, nullptr);
    FlushFileBuffers(corruptionLog);
    VirtualFree(record, 0, MEM_RELEASE);
}

uint32_t HeapCorruptionReports() { return static_cast<uint32_t>(corruptionReports); }

void OutOfMemory(const char* file, int32_t line) {
    if (InterlockedExchange(&outOfMemory, 1)) {
        // Failing again while the report runs: never recurse. The reporting
        // thread itself ends the process; another thread ends only itself.
        skipLeakReport = 1;
        if (outOfMemoryThread == GetCurrentThreadId()) std::_Exit(1);
        ExitThread(1);
    }
    outOfMemoryThread = GetCurrentThreadId();
    if (ThreadHeap) ReportLiveBlocks(ThreadHeap, L"MemError.log", 0);

    char safe[kTagBytes];
    SanitizeTag(file, safe);
    char text[kReportLineBytes];
    FormatText(text, sizeof text, "Out of memory\r\n%s(%d)\r\n", safe, int(line));
    MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
    skipLeakReport = 1;
    std::_Exit(1);
}

void ReportLeaks() {
    CHeapCliDebug* heap = ProcessHeapClient();
    ThreadHeap = heap;
    if (!skipLeakReport) ReportLiveBlocks(heap, L"MemLeak.log", 1);
    ThreadHeap = nullptr;
    heap->Destroy(0);
}

void DemoteTopmostPopup() {
    HWND active = GetActiveWindow();
    if (!active) return;
    if ((GetWindowLongA(active, GWL_STYLE) & WS_POPUP) &&
        (GetWindowLongA(active, GWL_EXSTYLE) & WS_EX_TOPMOST))
        SetWindowPos(active, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}
