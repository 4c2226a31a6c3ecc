// least_window: the least program that opens a 592 x 480 window, timed as
// startup_bench is: from the creation of the process to the end of its first
// paint, and its peak memory.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

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
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG a = (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const ULONGLONG b = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::printf("least_window_process_start_to_first_paint_ms %.1f\n", double(b - a) / 10000.0);
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("least_window_peak_memory_mb %.1f\n", double(memory.PeakPagefileUsage) / 1048576.0);
    DestroyWindow(window);
    return 0;
}
