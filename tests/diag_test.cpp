// Memory reports and process services: corruption records, leak and
// out-of-memory reports with their message boxes (answered from here), the
// log dispatcher and the start-up and teardown of the process-wide objects.
// Paths that end the process run in a child: this program with a Child test.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controls/PanelTimer.h"
#include "mem/ExeHeapSrv.h"
#include "mem/ExeMem.h"
#include "panel/ColorScheme.h"
#include "panel/Window.h"
#include "rtl/Str.h"
#include "sound/SoundSet.h"
#include "sound/WaveImage.h"

namespace {

const char kTag[] = ".\\DiagTest.cpp";

std::vector<std::wstring> lines;
void Collect(uint32_t channel, const wchar_t* line) {
    if (channel == kLogError) lines.push_back(line);
}

std::wstring Directory() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\') + 1);
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(none)";
    char buffer[4096];
    DWORD got;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

void PutFile(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// The lines of a report, each required to end with CR LF (which is dropped).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0, end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        if (end == std::string::npos) {
            out.push_back("(unterminated) " + text.substr(at));
            break;
        }
        out.push_back(text.substr(at, end - at));
    }
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Box {
    std::string caption, text;
};

struct Child {
    DWORD exitCode = 999;
    std::vector<Box> boxes;
    std::string err;
};

struct Seek {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
    Seek* seek = reinterpret_cast<Seek*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (pid != seek->pid || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    seek->found = window;
    return FALSE;
}

// Runs Child.<name> of this program in `directory`, answering its message
// boxes with `answers` in turn (then OK); collects its standard error.
Child RunChild(const char* name, const std::wstring& directory, std::vector<int> answers = {}) {
    Child run;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Child.";
    for (const char* c = name; *c; ++c) command += wchar_t(*c);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    startup.hStdOutput = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    SetEnvironmentVariableW(L"ORVEN_DIAG_CHILD", L"1");
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        directory.c_str(), &startup, &process);
    SetEnvironmentVariableW(L"ORVEN_DIAG_CHILD", nullptr);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return run;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) || !got) break;
            run.err.append(buffer, got);
        }
        if (WaitForSingleObject(process.hProcess, 30) != WAIT_TIMEOUT) break;
        if (GetTickCount() - start > 60000) {
            ADD_FAILURE() << "Child." << name << " still ran after 60 s: ended";
            TerminateProcess(process.hProcess, 998);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        Seek seek = {process.dwProcessId, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&seek));
        if (seek.found) {
            Box box;
            char text[512] = "";
            GetWindowTextA(seek.found, text, sizeof text);
            box.caption = text;
            text[0] = 0;
            GetDlgItemTextA(seek.found, 0xFFFF, text, sizeof text);
            box.text = text;
            const int id = run.boxes.size() < answers.size() ? answers[run.boxes.size()] : IDOK;
            run.boxes.push_back(box);
            PostMessageA(seek.found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(seek.found, id)));
            const DWORD answered = GetTickCount();
            while (IsWindow(seek.found) && WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
                if (GetTickCount() - answered > 30000) {
                    ADD_FAILURE() << "Child." << name << ": the box \"" << box.caption
                                  << "\" was still up 30 s after its answer: ended";
                    TerminateProcess(process.hProcess, 997);
                    WaitForSingleObject(process.hProcess, 5000);
                    break;
                }
            }
        }
    }
    DWORD got = 0;
    char buffer[4096];
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) run.err.append(buffer, got);
    run.err.erase(std::remove(run.err.begin(), run.err.end(), '\r'), run.err.end());
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(readEnd);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool InChild() { return std::getenv("ORVEN_DIAG_CHILD") != nullptr; }

// A fresh, empty folder beside the program.
std::wstring Scratch(const wchar_t* name) {
    const std::wstring folder = Directory() + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"\\Logs\\MemCorrupt.log", L"\\MemLeak.log", L"\\MemError.log", L"\\block.bin"})
        DeleteFileW((folder + file).c_str());
    RemoveDirectoryW((folder + L"\\Logs").c_str());
    return folder;
}

}  // namespace

// Children: each ends the way its scenario says; the parent judges.
TEST(Child, OverrunWithoutLogs) {
    if (!InChild()) GTEST_SKIP();
    SetLogSink(1, Collect);
    char* p = static_cast<char*>(ThreadHeap->Alloc(10, 0, kTag, 42));
    p[ThreadHeap->Size(p)] = 0;
    ThreadHeap->Free(p);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find(L"HEAP CORRUPT: 0x"));
    EXPECT_NE(std::wstring::npos, lines[0].find(L", .\\DiagTest.cpp:42"));
}

TEST(Child, OverrunWithLogs) {
    if (!InChild()) GTEST_SKIP();
    std::string blocks;
    for (uint32_t size : {10u, 21u}) {
        char* p = static_cast<char*>(ThreadHeap->Alloc(size, 0, kTag, 42));
        p[ThreadHeap->Size(p)] = 'X';
        blocks.append(p - kHeapHeaderSize, ThreadHeap->Size(p) + kHeapOverhead);
        ThreadHeap->Free(p);
    }
    PutFile(L"block.bin", blocks);
}

TEST(Child, ThreeLeaks) {
    if (!InChild()) GTEST_SKIP();
    ThreadHeap->Alloc(8, 0, ".\\CtlButton.cpp", 198);
    ThreadHeap->Alloc(16, 0, kTag, 2);
    ThreadHeap->Alloc(24, 0, kTag, 3);
}

TEST(Child, EveryObjectFilled) {
    if (!InChild()) GTEST_SKIP();
    SoundSetImage.Grow(1000, 1000);
    WaveImage.Grow(5000, 5000);
    instruments.Grow(3, 3);
    regionTable.Grow(6, 6);
    instrumentNames.Grow(4, 4);
    windowTable.Grow(3, 3);
    freeWindowSlots.Grow(2, 2);
    void* kept = ThreadHeap->Alloc(4, 0, kTag, 9);
    ThreadHeap->Free(kept);
}

TEST(Child, Impossible) {
    if (!InChild()) GTEST_SKIP();
    ThreadHeap->Alloc(8, 0, kTag, 11);
    ThreadHeap->Alloc(8, 0, kTag, 12);
    ThreadHeap->Alloc(0xFFFFFFF0u, 0, kTag, 77);
}

TEST(Child, WinsockRefused) {
    if (!InChild()) GTEST_SKIP();
    CheckWinsockStartup(WSASYSNOTREADY, 0);
}

TEST(Child, WinsockOldVersion) {
    if (!InChild()) GTEST_SKIP();
    CheckWinsockStartup(0, 0x0101);
}

TEST(MemoryReports, AnOverrunAppendsOneRecordOrOnlyALineWithoutLogs) {
    const std::wstring folder = Scratch(L"diag-corrupt");
    const Child bare = RunChild("OverrunWithoutLogs", folder);
    EXPECT_EQ(0u, bare.exitCode) << bare.err;
    EXPECT_FALSE(Exists(folder + L"\\Logs"));

    // The log stays open, unshared, while its process lives: a second child.
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\Logs").c_str(), nullptr));
    const Child logged = RunChild("OverrunWithLogs", folder);
    EXPECT_EQ(0u, logged.exitCode) << logged.err;
    const std::string blocks = FileBytes(folder + L"\\block.bin");
    const std::string log = FileBytes(folder + L"\\Logs\\MemCorrupt.log");
    const std::string name = std::string(kTag) + '\0';
    // Each record is filled with '#' to a multiple of 16 bytes, two at least:
    // 53 bytes come before the filler for 10 user bytes (and 20 of
    // bookkeeping), 64 for 21; with 8-byte pointers (36 of bookkeeping) 69
    // and 80.
    const size_t wide = sizeof(void*) == 8 ? 16 : 0;
    const struct { size_t user, record; } rows[] = {{10, 64 + wide}, {21, 80 + wide}};
    size_t at = 0, from = 0;
    for (const auto& row : rows) {
        const std::string before = blocks.substr(from, row.user + kHeapOverhead);
        from += before.size();
        const std::string record = log.substr(at, row.record);
        at += record.size();
        const size_t used = 8 + name.size() + before.size();
        ASSERT_EQ(row.record, record.size()) << row.user;
        EXPECT_EQ(std::string("\x01\0\0\0\x2A\0\0\0", 8), record.substr(0, 8));
        EXPECT_EQ(name, record.substr(8, name.size()));
        EXPECT_EQ(before, record.substr(8 + name.size(), before.size()));   // header, user bytes, tail
        EXPECT_EQ(std::string(row.record - used, '#'), record.substr(used)) << row.user;
    }
    EXPECT_EQ(log.size(), at);
    // A later run appends its records.
    EXPECT_EQ(0u, RunChild("OverrunWithLogs", folder).exitCode);
    const std::string both = FileBytes(folder + L"\\Logs\\MemCorrupt.log");
    EXPECT_EQ(log, both.substr(0, log.size()));
    EXPECT_EQ(2 * log.size(), both.size());
}

TEST(MemoryReports, LeaksAtExitAreListedAndShownUntilCancel) {
    const std::wstring leakLog = Directory() + L"MemLeak.log", elsewhere = Scratch(L"diag-elsewhere");
    PutFile(leakLog, std::string(2000, '~') + "\r\n");   // replaced, not appended to
    const Child run = RunChild("ThreeLeaks", elsewhere, {IDOK, IDCANCEL});
    EXPECT_FALSE(Exists(elsewhere + L"\\MemLeak.log"));   // beside the program, whatever the current folder
    EXPECT_EQ(0u, run.exitCode) << run.err;
    ASSERT_EQ(2u, run.boxes.size());
    const std::string log = FileBytes(leakLog);
    DeleteFileW(leakLog.c_str());
    EXPECT_EQ("Memory error", run.boxes[0].caption);
    // Newest first, each line "offset <user> size <n> <tag>:<line>\r\n".
    const std::vector<std::string> listed = Lines(log);
    ASSERT_EQ(3u, listed.size()) << log;
    EXPECT_EQ(Trimmed(run.boxes[0].text), listed[0]);
    EXPECT_EQ(Trimmed(run.boxes[1].text), listed[1]);
    const char* ends[] = {" .\\DiagTest.cpp:3", " .\\DiagTest.cpp:2", " .\\CtlButton.cpp:198"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0u, listed[i].find("offset "));
        EXPECT_EQ(ends[i], listed[i].substr(listed[i].size() - std::strlen(ends[i])));
    }
}

TEST(MemoryReports, WithoutLeaksNoBoxAndAnOlderFileStays) {
    const std::wstring leakLog = Directory() + L"MemLeak.log";
    PutFile(leakLog, "from an earlier run\r\n");
    const Child run = RunChild("EveryObjectFilled", Directory());
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ("from an earlier run\r\n", FileBytes(leakLog));
    DeleteFileW(leakLog.c_str());
}

TEST(MemoryReports, AnImpossibleAllocationListsTheLiveBlocksAndEndsWithOne) {
    const std::wstring errorLog = Directory() + L"MemError.log", leakLog = Directory() + L"MemLeak.log";
    const std::wstring elsewhere = Scratch(L"diag-elsewhere");
    PutFile(errorLog, std::string(4000, '~'));
    DeleteFileW(leakLog.c_str());
    const Child run = RunChild("Impossible", elsewhere);
    EXPECT_FALSE(Exists(elsewhere + L"\\MemError.log"));
    EXPECT_EQ(1u, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ("Error", run.boxes[0].caption);
    EXPECT_EQ("Out of memory\r\n.\\DiagTest.cpp(77)", Trimmed(run.boxes[0].text));
    const std::string log = FileBytes(errorLog);
    DeleteFileW(errorLog.c_str());
    EXPECT_EQ(0u, log.find("offset "));
    EXPECT_EQ(std::string::npos, log.find('~'));   // the older file replaced
    const size_t twelve = log.find(" .\\DiagTest.cpp:12\r\n"), eleven = log.find(" .\\DiagTest.cpp:11\r\n");
    EXPECT_NE(std::string::npos, twelve);
    EXPECT_LT(twelve, eleven);   // newest first
    EXPECT_NE(std::string::npos, eleven);
    EXPECT_FALSE(Exists(leakLog));
}

TEST(ProcessServices, ObjectsAreSetUpBeforeMainAndWinsockIsStarted) {
    EXPECT_EQ(ThreadHeap, static_cast<IHeap*>(ProcessHeapClient()));
    EXPECT_EQ(2u, colorSchemeIndex);
    EXPECT_EQ(&colorSchemes[2], currentScheme);
    EXPECT_EQ((GetVersion() & 0x80000000u) ? 1u : 0u, windows9x);
    EXPECT_EQ(0u, windowTable.count);
    EXPECT_EQ(kHashStartBuckets, timerTable.BucketCount());
    // Sockets answer only after WSAStartup.
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(INVALID_SOCKET, s) << WSAGetLastError();
    closesocket(s);
}

TEST(ProcessServices, AWinsockFailureEndsThroughTheAssertionReport) {
    struct Row {
        const char* child;
        const char* message;
    } rows[] = {{"WinsockRefused", "WSAStartup 0x276b"}, {"WinsockOldVersion", "WSA version 0x101"}};
    for (const Row& row : rows) {
        const Child run = RunChild(row.child, Directory());
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_NE(std::string::npos,
                  run.err.find(std::string("Assertion failed\n") + row.message +
                               "\n(null):0\n\nPress OK to exit\nPress Cancel to debug\n"))
            << run.err;
        EXPECT_TRUE(run.boxes.empty());
    }
}

TEST(ProcessServices, LogLinesAreCutAndGoToEverySink) {
    lines.clear();
    LogMessage(kLogError, "%s", "nobody listens");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(0, SetLogSink(kLogSinkSlots, Collect));
    ASSERT_EQ(1, SetLogSink(3, Collect));
    ASSERT_EQ(1, SetLogSink(1, Collect));
    const std::string wide(2000, 'w');
    LogMessage(kLogError, "%s", wide.c_str());
    LogMessageW(kLogError, L"%S", wide.c_str());
    LogMessage(kLogError, "Unable to create file '%S' (%u)", L"C:\\x", 5u);
    SetLogSink(1, nullptr);
    SetLogSink(3, nullptr);
    ASSERT_EQ(6u, lines.size());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::wstring(1023, L'w'), lines[i]);
    EXPECT_EQ(L"Unable to create file 'C:\\x' (5)", lines[5]);
    lines.clear();
}
