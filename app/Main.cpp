// The program's entry routine: reads the sound set and runs the main window.
#include <cstdlib>

#include "../rtl/Str.h"
#include "SoundSet.h"
#include "WaveImage.h"

namespace {
void ShutDown() { FreeInstrumentNames(); }
}  // namespace

// 1 when the sound set cannot be read (no window is shown), else 0.
int main() {
    ReserveWaveImage();
    const char* root = std::getenv("SystemRoot");
    if (!root) return 1;
    if (!ReadSoundSet(TempText("%s\\system32\\drivers\\gm.dls", root))) return 1;
    ShutDown();
    return 0;
}
