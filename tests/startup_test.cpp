// The real program, started with and without a sound set.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ExeStatics.h"

namespace {

std::wstring ProgramPath() {
    const char* unixPath = std::getenv("ORVEN_PROGRAM");
    if (!unixPath) return L"";
    std::wstring path = unixPath[0] == '/' ? L"Z:" : L"";
    for (const char* p = unixPath; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path;
}

// The environment block of this process with SystemRoot replaced.
std::vector<wchar_t> EnvironmentWith(const std::wstring& systemRoot) {
    std::vector<wchar_t> block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"SystemRoot=", 11) == 0) continue;
        block.insert(block.end(), p, p + wcslen(p) + 1);
    }
    FreeEnvironmentStringsW(own);
    const std::wstring entry = L"SystemRoot=" + systemRoot;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back(0);
    return block;
}

std::string Contents(const std::wstring& path) {
    std::string bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

bool Write(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

struct Outcome {
    DWORD exitCode = 999;
    bool sawWindow = false;
    std::string className, title;
    RECT rect = {0, 0, 0, 0};
};

struct Watch {
    DWORD pid;
    bool close;
    Outcome* run;
};

// Notes the process's first visible window and, when asked, closes it the
// way the frame's close button does.
BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context) {
    auto* watch = reinterpret_cast<Watch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != watch->pid || !IsWindowVisible(window)) return TRUE;
    if (!watch->run->sawWindow) {
        char text[256] = "";
        GetClassNameA(window, text, sizeof text);
        watch->run->className = text;
        text[0] = 0;
        GetWindowTextA(window, text, sizeof text);
        watch->run->title = text;
        GetWindowRect(window, &watch->run->rect);
    }
    watch->run->sawWindow = true;
    if (watch->close) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

Outcome Start(const std::wstring& systemRoot, bool closeWindow = false) {
    Outcome run;
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    std::vector<wchar_t> environment = EnvironmentWith(systemRoot);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &process))
        return run;
    Watch watch = {process.dwProcessId, closeWindow, &run};
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&watch));
        if (GetTickCount() - start > 60000) {
            TerminateProcess(process.hProcess, 998);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

}  // namespace

// Wine gives every process its own SystemRoot, so the tests change the file
// where the program looks instead; the default set is put back afterwards.
class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        root = windows;
        soundSet = root + L"\\system32\\drivers\\gm.dls";
        aside = soundSet + L".aside";
        ASSERT_FALSE(ProgramPath().empty());
    }
    void TearDown() override { PutBack(); }
    void MoveAside() {
        if (!MoveFileExW(soundSet.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
            GTEST_SKIP() << "cannot move the sound set aside";
        moved = true;
    }
    void PutBack() {
        if (moved) MoveFileExW(aside.c_str(), soundSet.c_str(), MOVEFILE_REPLACE_EXISTING);
        moved = false;
    }
    std::wstring root, soundSet, aside;
    bool moved = false;
};

TEST_F(Startup, WithoutTheSoundSetExitsOneAndShowsNoWindow) {
    MoveAside();
    const Outcome missing = Start(root);
    EXPECT_EQ(1u, missing.exitCode);
    EXPECT_FALSE(missing.sawWindow);
}

TEST_F(Startup, AnUnreadableSoundSetExitsOne) {
    MoveAside();
    HANDLE h = CreateFileW(soundSet.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written;
    WriteFile(h, "RIFF\x04\0\0\0WAVE", 12, &written, nullptr);
    CloseHandle(h);
    EXPECT_EQ(1u, Start(root).exitCode);
    DeleteFileW(soundSet.c_str());
}

// Refused after the instruments were named (the pool table points past the
// end): exit code 1 at once, no box, and an older leak log left as it was.
TEST_F(Startup, ASetRefusedLateEndsAtOnceWithoutABox) {
    MoveAside();
    std::string bytes = Contents(aside);
    const size_t ptbl = bytes.find("ptbl");
    ASSERT_NE(std::string::npos, ptbl);
    bytes.replace(ptbl + 8, 4, "\xF0\xFF\xFF\xFF");
    const std::wstring program = ProgramPath();
    const std::wstring leakLog = program.substr(0, program.rfind(L'\\') + 1) + L"MemLeak.log";
    const std::string older = "an older leak log\r\n";
    ASSERT_TRUE(Write(soundSet, bytes) && Write(leakLog, older));
    const DWORD start = GetTickCount();
    const Outcome run = Start(root);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(run.sawWindow);   // a "Memory error" box would be one
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(older, Contents(leakLog));
    DeleteFileW(leakLog.c_str());
    DeleteFileW(soundSet.c_str());
}

TEST_F(Startup, WithTheDefaultSoundSetOpensTheWindowAndExitsZeroWhenClosed) {
    const std::wstring program = ProgramPath();
    const std::wstring leakLog = program.substr(0, program.rfind(L'\\') + 1) + L"MemLeak.log";
    DeleteFileW(leakLog.c_str());
    const Outcome run = Start(root, true);
    EXPECT_TRUE(run.sawWindow);
    EXPECT_EQ("PnWindow_Class", run.className);
    EXPECT_EQ("ORVEN General MIDI DLS Tool", run.title);
    EXPECT_EQ(608, run.rect.right - run.rect.left);
    EXPECT_EQ(528, run.rect.bottom - run.rect.top);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(leakLog.c_str()));   // nothing left allocated
}

// The window class takes icon 1 of the program's module.
TEST(ProgramIcon, IsIconOneOfTheModule) {
    HMODULE module = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)));   // RT_GROUP_ICON
    FreeLibrary(module);
}

// The program's start-up builds the layers' objects in this order and takes
// them down in reverse; the steps run in table order and stop the other way.
TEST(ProcessSteps, TheProgramBuildsItsObjectsInOrder) {
    const std::vector<std::string> order = {"heap client", "sound set and wave image", "Windows Sockets",
                                            "Windows version and colour scheme", "window tables", "timer table"};
    ASSERT_EQ(order.size(), kProgramStepCount);
    for (uint32_t i = 0; i < kProgramStepCount; ++i) EXPECT_EQ(order[i], kProgramSteps[i].name) << i;
    EXPECT_EQ(nullptr, kProgramSteps[0].stop);   // the leak report ends the heap client, last

    static std::string heard;
    const ProcessStep steps[] = {
        {"a", [] { heard += "+a"; }, [] { heard += "-a"; }},
        {"b", [] { heard += "+b"; }, nullptr},
        {"c", [] { heard += "+c"; }, [] { heard += "-c"; }},
    };
    { CProcessSteps run(steps, 3); }
    EXPECT_EQ("+a+b+c-c-a", heard);
}
