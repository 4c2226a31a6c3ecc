// The clipboard pair on Wine's real clipboard, and the fatal-error report in
// a child process (this executable run again with ORVEN_FATAL_CHILD set).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rtl/Array.h"
#include "rtl/Str.h"

namespace {

const char kChildVariable[] = "ORVEN_FATAL_CHILD";

void AtExitMark() { std::fputs("at-exit ran\n", stderr); }

// In the child: fail before gtest starts, with an at-exit routine that must
// not run.
const int childRan = [] {
    const char* mode = std::getenv(kChildVariable);
    if (!mode) return 0;
    std::atexit(AtExitMark);
    if (std::strcmp(mode, "assert") == 0) AssertFailed("u:\\base\\rtl\\Unit.cpp", 42, "boom");
    if (std::strcmp(mode, "fatal") == 0) FatalError("WSAStartup 0x%X", 0x276Du);
    if (std::strcmp(mode, "long") == 0) FatalError("%s", std::string(300, 'x').c_str());
    return 0;
}();

struct ChildResult {
    DWORD exitCode = 0;
    std::string standardError;   // line ends as "\n"
};

ChildResult RunChild(const char* mode) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(path) + L"\"";
    STARTUPINFOW start;
    std::memset(&start, 0, sizeof(start));
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    SetEnvironmentVariableA(kChildVariable, mode);
    const BOOL created = CreateProcessW(path, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &start, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    CloseHandle(writeEnd);
    EXPECT_TRUE(created);
    if (created) {
        char chunk[512];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got)
            for (DWORD i = 0; i < got; ++i)
                if (chunk[i] != '\r') result.standardError += chunk[i];
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return result;
}

std::wstring ClipboardUnits(TArray<wchar_t>& text) { return std::wstring(text.items, text.count); }

}  // namespace

TEST(Clipboard, TextComesBackCutToTheMaximumWithATerminator) {
    struct Row {
        const wchar_t* text;
        uint32_t maximum;
        std::wstring expected;   // terminator included
    };
    const Row rows[] = {
        {L"0123456789", 5, std::wstring(L"0123", 5)},
        {L"abc", 128, std::wstring(L"abc", 4)},
        {L"", 128, std::wstring(1, L'\0')},
        {L"abc", 0, std::wstring(1, L'\0')},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(SetClipboardText(row.text));
        TArray<wchar_t> text(128);
        GetClipboardText(text, row.maximum);
        EXPECT_EQ(row.expected, ClipboardUnits(text)) << row.maximum;
    }
}

TEST(Clipboard, EmptyTextIsALoneTerminatorAndNoTextOnlyAddsOne) {
    ASSERT_TRUE(SetClipboardText(L""));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE handle = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(2u, GlobalSize(handle));
    const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(handle));
    ASSERT_NE(nullptr, units);
    EXPECT_EQ(0, units[0]);
    GlobalUnlock(handle);
    EXPECT_TRUE(EmptyClipboard());
    CloseClipboard();

    TArray<wchar_t> fresh(128), held(L"kept");
    GetClipboardText(fresh, 128);
    GetClipboardText(held, 128);
    EXPECT_EQ(std::wstring(1, L'\0'), ClipboardUnits(fresh));
    EXPECT_EQ(std::wstring(L"kept\0", 6), ClipboardUnits(held));
}

TEST(FatalReport, WrittenInFullThenExitCodeOneWithoutAtExitRoutines) {
    const std::string press = "\n\nPress OK to exit\nPress Cancel to debug\n";
    struct Row {
        const char* mode;
        std::string expected;
    };
    const Row rows[] = {
        {"assert", "Assertion failed\nboom\nu:\\base\\rtl\\Unit.cpp:42" + press},
        {"fatal", "Assertion failed\nWSAStartup 0x276D\n(null):0" + press},
        {"long", "Assertion failed\n" + std::string(255, 'x') + "\n(null):0" + press},
    };
    for (const Row& row : rows) {
        const ChildResult child = RunChild(row.mode);
        EXPECT_EQ(1u, child.exitCode) << row.mode;
        EXPECT_EQ(row.expected, child.standardError) << row.mode;
    }
}
