// The main window: a fixed splitter with the instrument list on the left and
// the information panel on the right, and the message loop.
#pragma once

#include "../panel/Panel.h"

extern CRefObject* mainPanel;   // held from creation until shutdown
extern CRefObject* infoPanel;   // the "info" panel, held likewise

// Chooses colour scheme 0, opens the main window and runs the message loop
// until no panel window is left.
void RunMainWindow();
// Releases the main window's references.
void ReleaseMainWindow();
// After the message loop: stops the sound first (the player reads WaveImage
// until then), frees the instrument names, releases the main window and cuts
// a screen reader's objects off.
void ShutDownMainWindow();

// Builds the main window's tree (everything before the message loop).
void ComposeMainWindow();
// The list's callback: stops the sound, rebuilds the information panel, then
// plays region 0 of the selected instrument through the envelope. An
// instrument without a usable region 0 (or no instrument) plays nothing.
void OnInstrumentSelected(uint32_t userData, const char* name, int32_t value);
// The main panel and the information panel while they exist.
CPanel* MainWindowPanel();
CPanel* InfoPanel();
