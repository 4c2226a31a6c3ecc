#include "MainWindow.h"

#include "../controls/CtlList.h"
#include "../controls/CtlSplitter.h"
#include "../panel/AccessibleObject.h"
#include "../panel/ColorScheme.h"
#include "../sound/Envelope.h"
#include "../sound/SoundSet.h"
#include "AccessibleNames.h"
#include "InfoPanel.h"
#include "WaveSave.h"

CRefObject* mainPanel = nullptr;
CRefObject* infoPanel = nullptr;

namespace {
CPanel* mainWindow = nullptr;
CPanel* infoWindow = nullptr;

HWND MainWindowHandle() { return GetWindowHandle(mainWindow); }

void RebuildInfoPanel() { BuildInfoPanel(infoWindow, selectedInstrument); }
}  // namespace

CPanel* MainWindowPanel() { return mainWindow; }
CPanel* InfoPanel() { return infoWindow; }

void OnInstrumentSelected(uint32_t, const char*, int32_t) {
    // Whatever the new instrument holds, the previous sound ends here.
    StopSound();
    RebuildInfoPanel();
    uint32_t cue, loopStart, loopLength;
    const InstrumentEntry* entry = SelectedInstrument();
    if (entry && RegionCue(*entry, 0, cue) && BuildWaveImage(WaveKind::Envelope, cue, loopStart, loopLength))
        PlayWaveImage();
}

void ComposeMainWindow() {
    SelectColorScheme(0);
    RefreshAllWindows();
    mainWindow = CreatePanel(L"ORVEN General MIDI DLS Tool", 592, 480, 1, 1);
    mainWindow->AddRef();
    mainPanel = mainWindow;
    OwnerWindowHook = MainWindowHandle;
    RebuildInfoPanelHook = RebuildInfoPanel;
    SetAccessibleAmend(DescribeAppControl);

    ISplitter::CSplitter* splitter = CreateSplitter(kSplitterFixed | kSplitterVertical, 128);
    splitter->flags |= kControlClipChildren;
    AddControl(nullptr, splitter, mainWindow, "hsplit");

    CList* list = CreateList(instruments.count, instrumentNames.items, &selectedInstrument, kListSorted);
    AddControl("hsplit", list, mainWindow, "list");
    SetControlCallback("list", mainWindow, OnInstrumentSelected, 0);

    infoWindow = CreatePanel(L"", 128, 128, 0, 0);
    AddControl("hsplit", infoWindow, mainWindow, "info");
    infoWindow->AddRef();
    infoPanel = infoWindow;
    // The first instrument read is shown; nothing plays at start-up.
    BuildInfoPanel(infoWindow, selectedInstrument);
    // The keyboard starts in the list, at the selected row.
    list->ShowSelected();
    SetFocusControl(list);
}

void RunMainWindow() {
    ComposeMainWindow();
    while (PumpMessages()) {
    }
}

void ShutDownMainWindow() {
    StopSound();
    FreeInstrumentNames();
    ReleaseMainWindow();
    // A screen reader may still hold objects: they are cut off before the leak report.
    ShutDownAccessibility();
}

void ReleaseMainWindow() {
    OwnerWindowHook = nullptr;
    RebuildInfoPanelHook = nullptr;
    ReleaseEnvelopeCurve();
    CRefObject* info = infoPanel;
    CRefObject* panel = mainPanel;
    infoPanel = mainPanel = nullptr;
    infoWindow = mainWindow = nullptr;
    if (info) info->Release();
    if (panel) panel->Release();
}
