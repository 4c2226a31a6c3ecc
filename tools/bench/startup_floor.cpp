// startup_floor SOUNDSET [PLAYS]: the least program doing the program's
// unavoidable work, timed as startup_bench is: the same imported libraries
// (Windows Sockets started), the wave reserve, the sound set read whole, a
// 592 x 480 window painted from a back buffer; then PLAYS plays (stop, play)
// of the first wave in the pool, as many as startup_bench's run of use makes
// (Wine's player keeps memory after repeated plays), and its peak memory
// (touched private pages under Wine).
#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>
#include <usp10.h>

#include <cstdint>
#include <cstdio>

#include "timing.h"
#include <cstdlib>
#include <cstring>

namespace {

const size_t kReserve = 2822400;
HDC buffer = nullptr;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        BitBlt(dc, 0, 0, 592, 480, buffer, 0, 0, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

uint32_t U32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int plays = argc > 2 ? std::atoi(argv[2]) : 1;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    ScriptStringFree(nullptr);   // the Uniscribe import, as the edit has it
    unsigned char* wave = static_cast<unsigned char*>(std::malloc(kReserve));
    FILE* file = std::fopen(argv[1], "rb");
    if (!file || !wave) return 1;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    unsigned char* image = static_cast<unsigned char*>(std::malloc(size_t(size)));
    if (!image || std::fread(image, 1, size_t(size), file) != size_t(size)) return 1;
    std::fclose(file);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "StartupFloor";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "StartupFloor", "floor", WS_POPUP | WS_VISIBLE, 0, 0, 592, 480, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    HDC screen = GetDC(window);
    buffer = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 592;
    bi.bmiHeader.biHeight = -480;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(window, screen);
    SelectObject(buffer, bitmap);
    RECT all = {0, 0, 592, 480};
    FillRect(buffer, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    UpdateWindow(window);
    std::printf("startup_floor_process_start_to_first_paint_ms %.1f\n", MillisecondsSinceProcessStart());

    // The plays: the first pool wave as a RIFF image in the reserve.
    for (long at = 0; at + 12 <= size; ++at) {
        if (std::memcmp(image + at, "LIST", 4) != 0 || std::memcmp(image + at + 8, "wave", 4) != 0) continue;
        const uint32_t list = U32(image + at + 4);
        if (list < 4 || list + 8 > kReserve || at + 8 + long(list) > size) break;
        std::memcpy(wave, "RIFF", 4);
        std::memcpy(wave + 4, image + at + 4, 4);
        std::memcpy(wave + 8, "WAVE", 4);
        std::memcpy(wave + 12, image + at + 12, list - 4);
        for (int k = 0; k < plays; ++k) {
            PlaySoundA(nullptr, nullptr, SND_PURGE | SND_MEMORY | SND_ASYNC);
            PlaySoundA(reinterpret_cast<LPCSTR>(wave), nullptr, SND_MEMORY | SND_ASYNC);
        }
        break;
    }
    PlaySoundA(nullptr, nullptr, SND_PURGE | SND_MEMORY | SND_ASYNC);
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("startup_floor_peak_memory_mb %.1f\n", double(memory.PeakPagefileUsage) / 1048576.0);
    DestroyWindow(window);
    DeleteDC(buffer);
    DeleteObject(bitmap);
    std::free(image);
    std::free(wave);
    return 0;
}
