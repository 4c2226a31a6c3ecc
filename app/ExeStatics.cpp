// The process-wide objects, all in this one unit so that their order does not
// depend on the linker: they are members of one object, constructed in
// declaration order before main and destroyed in reverse order at exit. The
// heap client comes first and registers ReportLeaks before anything else, so
// the leak report runs after every other teardown.
#include <cstddef>
#include <cstdlib>
#include <new>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>

#include "../controls/PanelTimer.h"
#include "../mem/ExeHeapSrv.h"
#include "../mem/ExeMem.h"
#include "../panel/ColorScheme.h"
#include "../panel/Window.h"
#include "SoundSet.h"
#include "WaveImage.h"

namespace {

alignas(CHeapCliDebug) unsigned char heapStorage[sizeof(CHeapCliDebug)];
CHeapCliDebug* heapClient = nullptr;

// 1. The heap client, installed in ThreadHeap; it is destroyed by ReportLeaks.
struct HeapInstaller {
    HeapInstaller() {
        heapClient = new (heapStorage) CHeapCliDebug;
        ThreadHeap = heapClient;
        std::atexit(ReportLeaks);
    }
};

// 3. Windows Sockets 2.2; never shut down again.
struct WinsockStartup {
    WinsockStartup() {
        WSADATA data;
        const int result = WSAStartup(MAKEWORD(2, 2), &data);
        CheckWinsockStartup(result, result ? 0 : data.wVersion);
    }
};

// 4. and 5. The Windows-9x flag and the current colour scheme.
struct SystemProbe {
    SystemProbe() {
        windows9x = (GetVersion() & 0x80000000u) ? 1 : 0;
        SelectColorScheme(colorSchemeIndex);
    }
};

struct ProcessObjects {
    HeapInstaller heap;
    // 2. The application's arrays.
    TArray<uint8_t> soundSetImage{256};
    TArray<InstrumentEntry> instruments{4};
    TArray<const uint8_t*> regionTable{256};
    TArray<wchar_t*> instrumentNames{64};
    TArray<uint8_t> waveImage{256};
    WinsockStartup winsock;
    SystemProbe system;
    // 6. The window tables.
    TArray<CWindowEntry> windowTable{32};
    TArray<int32_t> freeWindowSlots{64};
    // 7. The panel timers.
    CTimerTable timerTable{uint32_t(offsetof(CTimerRecord, hash)),
                           uint32_t(offsetof(CTimerRecord, registration)),
                           uint32_t(offsetof(CTimerRecord, bucket))};
};

ProcessObjects processObjects;

}  // namespace

CHeapCliDebug* ProcessHeapClient() { return heapClient; }

TArray<uint8_t>& SoundSetImage = processObjects.soundSetImage;
TArray<InstrumentEntry>& instruments = processObjects.instruments;
TArray<const uint8_t*>& regionTable = processObjects.regionTable;
TArray<wchar_t*>& instrumentNames = processObjects.instrumentNames;
TArray<uint8_t>& WaveImage = processObjects.waveImage;
TArray<CWindowEntry>& windowTable = processObjects.windowTable;
TArray<int32_t>& freeWindowSlots = processObjects.freeWindowSlots;
CTimerTable& timerTable = processObjects.timerTable;
