// CWindow: a control that can stand at the root of a tree and own an
// operating-system window: caret, cursor, capture, buffered painting, the
// dirty rectangle and the queue of notifications for the application.
#pragma once

#include <cstdint>

#include "../rtl/Array.h"
#include "Control.h"
#include "PanelPainter.h"

// A notification waiting for delivery; it does not refer to its control.
struct CNotification {
    ControlCallback callback;
    uint32_t userData;
    TArray<char> name;   // private copy, with its terminator
    int32_t value;

    CNotification() : callback(nullptr), userData(0), name(64), value(0) {}
    CNotification(const CNotification& other)
        : callback(other.callback), userData(other.userData), name(other.name), value(other.value) {}
    CNotification& operator=(const CNotification&) = delete;
};

class CWindow : public CControl {
public:
    CWindow();
    ~CWindow() override;

    void CreateCaret(SIZE size) override;
    void DestroyCaret() override;
    void SetCaretPos(POINT point) override;
    void SetCursor(int32_t cursor) override;
    void SetCapture(int on) override;
    IPainter* BeginDraw() override;
    void EndDraw(IPainter* painter) override;
    void InvalidateRect(const RECT& rect) override;
    void Invalidate() override;
    void OnResize(SIZE size) override;
    HWND RootWindowHandle() override;
    void QueueNotification(ControlCallback target, uint32_t data, const char* controlName,
                           int32_t value) override;

    // Renders what the framework invalidated into the buffer, then presents it.
    // What is invalidated while it paints is asked for again afterwards.
    void PaintWindow();
    // The window procedure brackets each message it handles: invalidations
    // inside reach the native window once, at the end (none when the area is
    // pending there already). Outside a message they reach it at once, and
    // a message that arrives inside another (a modal loop, a sent message)
    // first hands over what is waiting, so the window repaints meanwhile.
    void BeginMessage();
    void EndMessage();
    // Calls every queued callback, oldest first, then empties the queue
    // (its storage stays).
    void DeliverNotifications();
    // The native window lost the capture to another (or was told to cancel
    // modes): the control of this tree that held it hears OnCaptureLost.
    void LoseCapture();
    // Stores the title as UTF-8 (cut to fit kUtf8TextBytes) and, with a window,
    // sets the window text and repaints the frame.
    void SetTitle(const wchar_t* text);
    const char* Title() const { return title.count ? title.items : ""; }

    // The scale its tree is drawn at: positions, sizes, the dirty rectangle
    // and mouse points are in units of 1/96 inch; the native window, caret
    // and painter in device pixels.
    CDisplayScale Scale() const { return CDisplayScale{dpi}; }
    // The window moved to a display of another DPI (WM_DPICHANGED): takes
    // the suggested rectangle, makes the painter anew and repaints, keeping
    // the tree and its state.
    void ChangeDpi(uint32_t newDpi, const RECT* suggested);

    // Window table slot: taken when the window is created, released at teardown.
    void AllocateSlot();
    void ReleaseWindow();

    TArray<CNotification> notifications;
    RECT dirty;
    uint32_t windowStyle;
    int32_t slot;
    CPainter* painter;
    TArray<char> title;
    RECT posted;            // invalidated natively and not painted yet
    int32_t messageDepth;   // messages of this window being handled
    uint32_t painting;
    uint32_t dpi;

private:
    // Hands `dirty` to the native window unless that waits or is pending.
    void RequestPaint();
};

// Entries of the process-wide window table.
struct CWindowEntry {
    CWindow* window;
    HWND handle;
};

// Process-wide objects of the framework, built by StartWindowTables and
// taken down by StopWindowTables (steps of a program's start-up).
extern TArray<CWindowEntry>& windowTable;
extern TArray<int32_t>& freeWindowSlots;
void StartWindowTables();
void StopWindowTables();

// The window's handle: null without a slot or after WM_DESTROY.
HWND GetWindowHandle(const CWindow* window);
// The entry of a slot, or null when the slot is outside the table.
CWindowEntry* WindowEntry(int32_t slot);
// True while some entry of the table has a window handle.
bool AnyWindowHandle();
// The scale of the window at the root of `control`'s tree (96 DPI without one).
CDisplayScale ScaleOf(CControl* control);
