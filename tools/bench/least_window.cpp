// least_window: the least program that opens a 592 x 480 window, timed as
// startup_bench is: from the creation of the process to the end of its first
// paint, and its peak memory.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "timing.h"

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

}  // namespace

int main() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LeastWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "LeastWindow", "least", WS_POPUP | WS_VISIBLE, 0, 0, 592, 480, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    UpdateWindow(window);
    std::printf("least_window_process_start_to_first_paint_ms %.1f\n", MillisecondsSinceProcessStart());
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("least_window_peak_memory_mb %.1f\n", double(memory.PeakPagefileUsage) / 1048576.0);
    DestroyWindow(window);
    return 0;
}
