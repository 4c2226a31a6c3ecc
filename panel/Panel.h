// Panels: windows with a name registry of their controls, reference counted,
// either owning a top-level window of the class "PnWindow_Class" or living as
// a container in another panel's tree. Also the window procedure, the
// refresh after a colour-scheme change and the message loop.
#pragma once

#include <cstdint>

#include "RefObject.h"
#include "Window.h"

#define PANEL_CPP_TAG ".\\Panel.cpp"
#define PANEL_WINDOW_CLASS "PnWindow_Class"

class IPanel {
public:
    class CPanel : public CWindow, public CRefObject {
    public:
        CPanel();
        ~CPanel() override;

        // Both bases' deleting destructors end here.
        void Destroy(uint32_t flags) override;
        int IsRefCounted() override;
        void OnPaint(IPainter* painter) override;

        CControlRegistry registry;
        uint32_t refCounted;
    };
};

typedef IPanel::CPanel CPanel;

// Allocates (tag ".\Panel.cpp") and builds a panel of the given size and
// title; style bit 0 goes to the window (and, inverted, to its frame). The
// caller takes the first reference.
CPanel* CreatePanel(const wchar_t* title, int32_t width, int32_t height, uint32_t style,
                    int withWindow);

CControl* FindControl(CPanel* panel, const char* name);
// Attaches `control` under the named parent (the panel itself for null),
// names and registers it, then lays the panel out. Refused (0) when the
// parent name is unknown or a name is missing.
int AddControl(const char* parentName, CControl* control, CPanel* panel, const char* name);
// Anchors as words: offset in the low 16 bits, mode in the high 16.
void SetControlAnchors(const char* name, CPanel* panel, uint32_t left, uint32_t top,
                       uint32_t right, uint32_t bottom);
void SetControlCallback(const char* name, CPanel* panel, ControlCallback callback,
                        uint32_t userData);
void RefreshControls(CPanel* panel);
void DeleteControls(CPanel* panel);

// After a colour-scheme change: every window's tree hears of it and
// repaints, frames included.
void RefreshAllWindows();

// One step of the message loop; 0 once no panel window is left.
int PumpMessages();

LRESULT CALLBACK PanelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Key modifiers from the keyboard state: Ctrl 2, Shift 4.
uint32_t KeyModifiers();
// Mouse modifiers from a mouse message's key state: Ctrl 1, Shift 2.
uint32_t MouseModifiers(WPARAM keyState);
// The smallest client area a sizable panel window keeps, in units.
const LONG kMinimumClientWidth = 142;
const LONG kMinimumClientHeight = 32;
// The minimum-size rule on a proposed window rectangle, given the frame's
// answer for an empty rectangle, the edge dragged and the smallest client
// area in device pixels.
void ApplyMinimumSize(RECT* proposed, const RECT& frameOfEmpty, WPARAM edge,
                      SIZE client = SIZE{kMinimumClientWidth, kMinimumClientHeight});
// Top-left corner of a centred window; a window larger than the screen
// starts at its top-left corner.
POINT CentredPosition(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height);
