// The tests' main: GoogleTest, and a leak found at exit fails the run at once
// with the leaked blocks on standard error, instead of waiting on the leak
// report's message box.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mem/ExeHeapSrv.h"
#include "mem/ExeMem.h"

namespace {

void PrintBlock(void*, int32_t line, const char* file, uint32_t blockSize, uint32_t, void* user) {
    char text[512];
    FormatLeakLine(text, sizeof text, user, blockSize, file, line);
    text[std::strcspn(text, "\r\n")] = 0;
    std::fprintf(stderr, "  %s\n", text);
}

// The leak report runs on this thread after every other teardown, so the
// blocks still allocated when its first box comes up are the leaks.
LRESULT CALLBACK StopAtLeakBox(int code, WPARAM w, LPARAM l) {
    char caption[32] = "";
    if (code == HCBT_ACTIVATE) GetWindowTextA(reinterpret_cast<HWND>(w), caption, sizeof caption);
    if (std::strcmp(caption, "Memory error") != 0) return CallNextHookEx(nullptr, code, w, l);
    std::fprintf(stderr, "Memory still allocated at exit:\n");
    ProcessHeapClient()->Enumerate(PrintBlock, nullptr);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The diagnostics tests' children show the real report.
    if (!std::getenv("ORVEN_DIAG_CHILD")) SetWindowsHookExA(WH_CBT, StopAtLeakBox, nullptr, GetCurrentThreadId());
    return result;
}
