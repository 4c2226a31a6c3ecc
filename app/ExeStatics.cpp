#include "ExeStatics.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>

#include "../controls/PanelTimer.h"
#include "../mem/ExeHeapSrv.h"
#include "../mem/ExeMem.h"
#include "../panel/ColorScheme.h"
#include "../panel/Window.h"
#include "../sound/SoundObjects.h"

namespace {

// Windows Sockets 2.2; never shut down again.
void StartWinsock() {
    WSADATA data;
    const int result = WSAStartup(MAKEWORD(2, 2), &data);
    CheckWinsockStartup(result, result ? 0 : data.wVersion);
}

// The Windows-9x flag, then the current colour scheme.
void ProbeSystem() {
    ProbeWindowsVersion();
    SelectColorScheme(colorSchemeIndex);
}

}  // namespace

const ProcessStep kProgramSteps[] = {
    {"heap client", StartHeapClient, nullptr},   // destroyed by the leak report
    {"sound set and wave image", StartSoundObjects, StopSoundObjects},
    {"Windows Sockets", StartWinsock, nullptr},
    {"Windows version and colour scheme", ProbeSystem, nullptr},
    {"window tables", StartWindowTables, StopWindowTables},
    {"timer table", StartTimerTable, StopTimerTable},
};
const uint32_t kProgramStepCount = sizeof kProgramSteps / sizeof kProgramSteps[0];

namespace {
// Constructed before main (this unit holds the program's only dynamic
// initialisation that builds anything) and destroyed at exit.
CProcessSteps processObjects(kProgramSteps, kProgramStepCount);
}  // namespace
