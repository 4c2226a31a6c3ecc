#include "MainWindow.h"

#include "../panel/ColorScheme.h"
#include "WaveImage.h"

CRefObject* mainPanel = nullptr;

namespace {
CPanel* mainWindow = nullptr;

HWND MainWindowHandle() { return GetWindowHandle(mainWindow); }
}  // namespace

void RunMainWindow() {
    SelectColorScheme(0);
    RefreshAllWindows();
    mainWindow = CreatePanel(L"ORVEN General MIDI DLS Tool", 592, 480, 1, 1);
    mainWindow->AddRef();
    mainPanel = mainWindow;
    OwnerWindowHook = MainWindowHandle;
    while (PumpMessages()) {
    }
}

void ReleaseMainWindow() {
    OwnerWindowHook = nullptr;
    CRefObject* panel = mainPanel;
    mainPanel = nullptr;
    mainWindow = nullptr;
    if (panel) panel->Release();
}
