// panel_bench RUNS: median times of the control framework on a real window:
// laying out, routing mouse moves through, painting and looking up 256
// controls of a 592 x 480 panel, and the allocations those calls made.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../../mem/ExeHeapSrv.h"
#include "../../panel/Panel.h"
#include "../../rtl/Str.h"
#include "timing.h"

namespace {

// A control that paints a bevelled face, as buttons do.
struct Face : CControl {
    void OnPaint(IPainter* p) override {
        p->DrawBevel(RECT{0, 0, width, height}, 0x808080, 1, 1);
        CControl::OnPaint(p);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    CPanel* panel = CreatePanel(L"bench", 592, 480, 1, 1);
    panel->AddRef();
    HWND window = GetWindowHandle(panel);
    const int kCount = 256;
    for (int i = 0; i < kCount; ++i) {
        Face* c = NewControl<Face>("panel_bench", __LINE__);
        AddControl(nullptr, c, panel, TempText("c%d", i));
        const int col = i % 16, row = i / 16;
        SetControlAnchors(TempText("c%d", i), panel, uint32_t(col * 37), uint32_t(row * 30),
                          uint32_t(col * 37 + 35), uint32_t(row * 30 + 28));
    }
    UpdateWindow(window);
    CPainter* painter = panel->painter;
    panel->PreparePainter(painter);
    panel->OnPaint(painter);   // warm: stacks grown, font cached

    const uint32_t live = ProcessHeapClient()->LiveBlocks();
    const double layout = Time(runs, [&] { panel->Layout(); });
    const double route = Time(runs, [&] {
        for (int i = 0; i < 1000; ++i) panel->OnMouseMove(0, POINT{(i * 7) % 592, (i * 13) % 480});
    });
    const double paint = Time(runs, [&] { panel->OnPaint(painter); });
    const uint32_t allocations = ProcessHeapClient()->LiveBlocks() - live;
    const double find = Time(runs, [&] {
        for (int i = 0; i < kCount; ++i) FindControl(panel, TempText("c%d", i));
    });
    std::printf("layout_256_median_ms %.4f runs %d\n", layout, runs);
    std::printf("route_1000_moves_median_ms %.4f\n", route);
    std::printf("paint_256_median_ms %.4f\n", paint);
    std::printf("find_256_names_median_ms %.4f\n", find);
    std::printf("layout_route_paint_live_blocks_added %u\n", allocations);
    static_cast<CRefObject*>(panel)->Release();
    return 0;
}
