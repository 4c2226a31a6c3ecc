// The program's entry routine: reads the sound set and runs the main window.
#include <cstdlib>

#include "../panel/AccessibleObject.h"
#include "../rtl/Str.h"
#include "MainWindow.h"
#include "../sound/SoundSet.h"
#include "../sound/WaveImage.h"

namespace {
void ShutDown() {
    // The player may still read WaveImage: it stops before anything goes.
    StopSound();
    FreeInstrumentNames();
    ReleaseMainWindow();
    // A screen reader may still hold objects: they are cut off before the leak report.
    ShutDownAccessibility();
}
}  // namespace

// 1 when the sound set cannot be read (no window is shown), else 0 once the
// main window has been closed.
int main() {
    ReserveWaveImage();
    const char* root = std::getenv("SystemRoot");
    if (!root) return 1;
    if (!ReadSoundSet(TempText("%s\\system32\\drivers\\gm.dls", root))) return 1;
    RunMainWindow();
    ShutDown();
    return 0;
}
