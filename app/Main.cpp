// The program's entry routine: reads the sound set and runs the main window.
#include <cstdlib>

#include "../rtl/Str.h"
#include "../sound/SoundSet.h"
#include "../sound/WaveImage.h"
#include "MainWindow.h"

// 1 when the sound set cannot be read (no window is shown), else 0 once the
// main window has been closed.
int main() {
    ReserveWaveImage();
    const char* root = std::getenv("SystemRoot");
    if (!root) return 1;
    if (!ReadSoundSet(TempText("%s\\system32\\drivers\\gm.dls", root))) return 1;
    RunMainWindow();
    ShutDownMainWindow();
    return 0;
}
