// list_bench SOUNDSET RUNS: median times of the instrument list and the main
// window: building and sorting lists of 136 and 100,000 names (shuffled,
// sorted, reversed, all equal), a full repaint of the main window, and a
// rebuild of the information panel, and a click on a row (rebuild included)
// through to the player call, in-process.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "../../app/InfoPanel.h"
#include "../../app/MainWindow.h"
#include "../../app/WaveSave.h"
#include "../../controls/CtlList.h"
#include "../../mem/ExeHeapSrv.h"
#include "../../sound/SoundSet.h"
#include "timing.h"

namespace {

double BuildList(int runs, const std::vector<std::wstring>& names) {
    std::vector<const wchar_t*> p;
    for (const std::wstring& s : names) p.push_back(s.c_str());
    int32_t bound = 0;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = Now();
        CList* list = CreateList(uint32_t(p.size()), p.data(), &bound, kListSorted);
        times.push_back(Now() - t);
        list->Destroy(1);
    }
    return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    ReserveWaveImage();
    if (!ReadSoundSet(argv[1])) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::wstring> gm;
    for (uint32_t i = 0; i < instrumentNames.count; ++i) gm.push_back(instrumentNames[i]);
    std::printf("list_build_%zu_names_median_ms %.4f runs %d\n", gm.size(), BuildList(runs, gm), runs);

    std::mt19937 random(1);
    std::vector<std::wstring> many;
    for (int i = 0; i < 100000; ++i) many.push_back(gm[random() % gm.size()] + L" " + std::to_wstring(random() % 1000000));
    const int slow = std::max(1, runs / 4);
    std::printf("list_build_100000_shuffled_median_ms %.2f\n", BuildList(slow, many));
    std::sort(many.begin(), many.end());
    std::printf("list_build_100000_sorted_median_ms %.2f\n", BuildList(slow, many));
    std::reverse(many.begin(), many.end());
    std::printf("list_build_100000_reversed_median_ms %.2f\n", BuildList(slow, many));
    std::fill(many.begin(), many.end(), L"Same name");
    std::printf("list_build_100000_equal_median_ms %.2f\n", BuildList(slow, many));

    ComposeMainWindow();
    CPanel* panel = MainWindowPanel();
    HWND window = GetWindowHandle(panel);
    UpdateWindow(window);
    const double repaint = Time(runs, [&] {
        panel->Invalidate();
        UpdateWindow(window);
    });
    std::printf("main_window_full_repaint_median_ms %.4f\n", repaint);
    // The information panel rebuilt for the selected instrument, and the live
    // blocks 1,000 rebuilds leave.
    RebuildInfoPanelHook();
    const uint32_t live = ProcessHeapClient()->LiveBlocks();
    std::printf("info_panel_rebuild_median_ms %.4f\n", Time(runs, [] { RebuildInfoPanelHook(); }));
    for (int i = 0; i < 1000; ++i) RebuildInfoPanelHook();
    std::printf("info_panel_1000_rebuilds_live_blocks_added %d\n", int(ProcessHeapClient()->LiveBlocks() - live));
    // The same panel without a window: the building itself, no invalidation
    // reaching the window system.
    CPanel* alone = CreatePanel(L"", 460, 480, 0, 0);
    alone->AddRef();
    std::printf("info_panel_rebuild_without_window_median_ms %.4f\n",
                Time(runs, [alone] { BuildInfoPanel(alone, selectedInstrument); }));
    RebuildInfoPanelHook();
    static_cast<CRefObject*>(alone)->Release();
    // Rows 1 to 20 in turn, each pressed and released: the list notifies, the
    // panel is rebuilt and the wave is rendered and handed to the player.
    // Each alternates with its floor, stopping and playing the image the
    // click built, so that both meet the player in the same state.
    std::vector<double> clicks, floors;
    for (int i = 0; i < runs; ++i) {
        const LPARAM at = MAKELPARAM(40, 2 + 12 * (1 + i % 20) + 6);
        double t = Now();
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(window, WM_LBUTTONUP, 0, at);
        clicks.push_back(Now() - t);
        t = Now();
        StopSound();
        PlayWaveImage();
        floors.push_back(Now() - t);
    }
    std::vector<double> ratios;
    for (size_t i = 0; i < clicks.size(); ++i) ratios.push_back(floors[i] > 0 ? clicks[i] / floors[i] : 0);
    std::printf("click_to_play_median_ms %.4f\n", Median(clicks));
    std::printf("click_floor_stop_and_play_median_ms %.4f\n", Median(floors));
    std::printf("click_pair_ratio_median %.3f\n", Median(ratios));
    StopSound();
    ReleaseMainWindow();
    FreeInstrumentNames();
    return 0;
}
