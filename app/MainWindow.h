// The main window: the top-level panel and its message loop.
#pragma once

#include "../panel/Panel.h"

extern CRefObject* mainPanel;   // held from creation until shutdown

// Chooses colour scheme 0, opens the main window and runs the message loop
// until no panel window is left.
void RunMainWindow();
// Releases the main window's references.
void ReleaseMainWindow();
