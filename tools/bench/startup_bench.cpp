// startup_bench SOUNDSET: from the creation of this process to the end of the
// first paint of the full main window (the program's own start-up: the wave
// buffer, the sound set, the window), then the peak memory after a run of use
// (every row chosen and played, edits typed, sliders and wheel moved) against
// the sound set's size, and the live blocks 1,000 selections leave.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "../../app/MainWindow.h"
#include "../../mem/ExeHeapSrv.h"
#include "../../sound/SoundSet.h"
#include "../../sound/WaveImage.h"
#include "timing.h"

namespace {

void Click(HWND window, int x, int y) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    // Where the time goes: the loader before main, the read, the window.
    std::printf("startup_to_main_ms %.1f\n", MillisecondsSinceProcessStart());
    ReserveWaveImage();
    if (!ReadSoundSet(argv[1])) return 1;
    std::printf("startup_to_sound_set_read_ms %.1f\n", MillisecondsSinceProcessStart());
    ComposeMainWindow();
    std::printf("startup_to_window_composed_ms %.1f\n", MillisecondsSinceProcessStart());
    HWND window = GetWindowHandle(MainWindowPanel());
    UpdateWindow(window);
    std::printf("process_start_to_first_paint_ms %.1f\n", MillisecondsSinceProcessStart());

    // A run of use: rows by mouse and keys, the envelope's edits and sliders,
    // the curve's wheel, plays.
    for (int row = 0; row < 39; ++row) Click(window, 40, 2 + 12 * row + 6);
    for (uint32_t i = 0; i < instruments.count; ++i) SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    Click(window, 132 + 90, 72);
    for (const char* c = "0.2\r"; *c; ++c) SendMessageA(window, WM_CHAR, WPARAM(*c), 0);
    Click(window, 132 + 134 + 100, 86);
    POINT over = {300, 300};
    ClientToScreen(window, &over);
    for (int i = 0; i < 10; ++i)
        SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, i < 5 ? 120 : -120), MAKELPARAM(over.x, over.y));
    Click(window, 132 + 427, 76);
    StopSound();
    // With 39 rows or more every row plays once (clicked, then Down to the
    // last), and the envelope's Play once more.
    const uint32_t rows = instruments.count;
    std::printf("run_of_use_plays %u\n", rows + 1);
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("peak_memory_mb %.1f sound_set_mb %.1f\n", double(memory.PeakPagefileUsage) / 1048576.0,
                double(SoundSetImage.count) / 1048576.0);

    const uint32_t live = ProcessHeapClient()->LiveBlocks();
    for (int i = 0; i < 1000; ++i) Click(window, 40, 2 + 12 * (i % 39) + 6);
    StopSound();
    std::printf("selections_1000_live_blocks_added %d\n", int(ProcessHeapClient()->LiveBlocks() - live));
    ReleaseMainWindow();
    FreeInstrumentNames();
    return 0;
}
