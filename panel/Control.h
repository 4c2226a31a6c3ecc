// CControl: the base of everything on screen. It owns the control tree, the
// anchor layout, input routing, painting of children, invalidation towards
// the root and notification of the application.
#pragma once

#include <cstdint>

#include "HashTable.h"
#include "PanelPainter.h"

// The control's notification target: (user data, control name, value).
typedef void (*ControlCallback)(uint32_t userData, const char* name, int32_t value);

// Mouse buttons.
enum : int32_t { kMouseLeft = 1, kMouseMiddle = 2, kMouseRight = 4 };
// Modifier bits of mouse events.
enum : uint32_t { kMouseCtrl = 1, kMouseShift = 2 };
// Modifier bits of key events.
enum : uint32_t { kKeyAlt = 1, kKeyCtrl = 2, kKeyShift = 4 };

// Special key codes; printable characters keep their own codes.
enum : int32_t {
    KeyBackspace = 256,
    KeyCopy,
    KeyCut,
    KeyDelete,
    KeyDown,
    KeyEnd,
    KeyEnter,
    KeyEscape,
    KeyHome,
    KeyLeft,
    KeyPageDown,
    KeyPageUp,
    KeyPaste,
    KeySpace,
    KeyRight,
    KeyMinus,
    KeyTab,
    KeyPlus,
    KeyUp,
};

// Key code of a virtual key from a key-down or key-up message; other
// virtual keys pass unchanged.
int32_t TranslateVirtualKey(uint32_t virtualKey);
// Key code of a character message, or -1 when the character is dropped
// (control codes 2 to 29 without a key of their own).
int32_t TranslateCharCode(uint32_t code);

// One edge of a child inside its parent. E is the parent's width (left and
// right) or height (top and bottom).
struct ControlAnchor {
    int16_t offset;
    uint16_t mode;   // 0 offset, 1 E + offset, 2 E/2 + offset, 3 E/4 + offset, 4 E - E/4 + offset
};

enum : uint16_t {
    kAnchorNear = 0,
    kAnchorFar = 1,
    kAnchorHalf = 2,
    kAnchorQuarter = 3,
    kAnchorThreeQuarters = 4,
};

// An anchor carried as one word: offset in the low 16 bits, mode in the high.
inline ControlAnchor AnchorFromWord(uint32_t word) {
    ControlAnchor a;
    a.offset = int16_t(uint16_t(word & 0xFFFF));
    a.mode = uint16_t(word >> 16);
    return a;
}

// The coordinate an anchor gives inside an extent (taken unsigned).
int32_t AnchorCoordinate(ControlAnchor anchor, int32_t extent);

// Control flags (bits 1 and up belong to the subclasses).
enum : uint32_t { kControlClipChildren = 1 };

// Cursor indices of SetCursor.
enum : int32_t { kCursorArrow = 0, kCursorSizeWE = 1, kCursorSizeNS = 2 };

struct AccessibleFacts;

class CControl : public THashKeyStr<char, THashKeyStrCmp<char>> {
public:
    CControl();
    ~CControl() override;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    // Slot order: the deleting destructor (Destroy) comes first, then these.
    virtual int CanFocus();                                               // 1
    virtual void PreparePainter(IPainter* painter);                       // 2
    virtual void CreateCaret(SIZE size);                                  // 3
    virtual void DestroyCaret();                                          // 4
    virtual void SetCaretPos(POINT point);                                // 5
    virtual void SetCursor(int32_t cursor);                               // 6
    virtual void Notify(int32_t value);                                   // 7
    virtual void NotifyNow(int32_t value);                                // 8
    virtual void SetCapture(int on);                                      // 9
    virtual IPainter* BeginDraw();                                        // 10
    virtual void EndDraw(IPainter* painter);                              // 11
    virtual void Layout();                                                // 12
    virtual RECT* ComputeRect(RECT* out, SIZE parentSize);                // 13
    virtual int GetKind();                                                // 14
    virtual int IsRefCounted();                                           // 15
    virtual void InvalidateRect(const RECT& rect);                        // 16
    virtual void Invalidate();                                            // 17
    virtual void RequestLayout();                                         // 18
    virtual void OnChildAdded();                                          // 19
    virtual void OnFocus(int gained);                                     // 20
    virtual int OnChar(int32_t key, uint32_t modifiers);                  // 21
    virtual int OnKeyDown(int32_t key, uint32_t modifiers);               // 22
    virtual int OnKeyUp(int32_t key, uint32_t modifiers);                 // 23
    virtual void OnDoubleClick(int32_t button, uint32_t modifiers, POINT point);  // 24
    virtual void OnMouseDown(int32_t button, uint32_t modifiers, POINT point);    // 25
    virtual void OnMouseMove(uint32_t modifiers, POINT point);                    // 26
    virtual void OnMouseUp(int32_t button, uint32_t modifiers, POINT point);      // 27
    virtual void OnMouseWheel(int32_t delta, uint32_t modifiers, POINT point);    // 28
    virtual void OnPaint(IPainter* painter);                              // 29
    virtual void OnSchemeChanged();                                       // 30
    virtual void OnResize(SIZE size);                                     // 31
    virtual void SetSize(SIZE size);                                      // 32
    virtual void Refresh();                                               // 33
    // The capture was taken away (another window, a message box) while this
    // control held it: end the operation as a release outside would. The
    // framework has already forgotten the capture.
    virtual void OnCaptureLost();
    // The window lost the keyboard focus to another: a key held down on
    // this (the framework's focused) control comes up elsewhere, so a press
    // it began ends without acting. The framework focus stays.
    virtual void OnKeyboardFocusLost();

    // Services of a root that owns an operating-system window: its handle
    // (given keyboard focus by SetFocusControl) and its notification queue.
    // A plain root has neither: its notifications are dropped.
    virtual HWND RootWindowHandle();
    virtual void QueueNotification(ControlCallback target, uint32_t data, const char* controlName,
                                   int32_t value);

    // What the control is to a screen reader (panel/Accessible.h): its role
    // (0, the default: no object of its own, its children stand in its
    // place), the rest of its facts for itself (child 0) or for one of its
    // simple children (1 up), the simple child at a point of its own (0 for
    // none), and its default action, run as a click would (0 when it has
    // none).
    virtual int32_t AccessibleRole();
    virtual void Describe(AccessibleFacts& facts, uint32_t child);
    virtual uint32_t AccessibleChildAt(POINT point);
    virtual int DoDefaultAction(uint32_t child);

    // Tree.
    CControl* Root();
    CControl* FirstChild() const { return children.First(); }
    CControl* NextChild(const CControl* child) const { return children.Next(child); }
    CControl* NextSibling() const { return parent ? parent->children.Next(this) : nullptr; }
    CControl* PrevSibling() const { return parent ? parent->children.Prev(this) : nullptr; }
    // Appends a child (it leaves its old parent first); no layout.
    void AppendChild(CControl* child);
    // The child's own rectangle in this control's coordinates.
    static RECT RectOf(const CControl* child);

    void SetCallback(ControlCallback target, uint32_t data) {
        callback = target;
        userData = data;
    }
    void SetAnchors(ControlAnchor left, ControlAnchor top, ControlAnchor right, ControlAnchor bottom);

    // The first child containing the point (own coordinates), or the
    // capture control while there is one; null when none.
    CControl* HitTest(POINT point);

    // Offsets of the name registry's element parts, for THashTable (the
    // same in every control).
    uint32_t RegistryHashOffset() const;
    uint32_t RegistryLinkOffset() const;
    uint32_t BucketLinkOffset() const;

    // Fields, in order.
    ControlCallback callback;
    uint32_t userData;
    TList<CControl> children;   // the link offset, then the sentinel
    TListLink sibling;
    int32_t width;
    int32_t height;
    CControl* parent;
    ControlAnchor anchors[4];   // left, top, right, bottom
    int32_t x;
    int32_t y;
    uint32_t flags;
    uint32_t registryHash;
    TListLink registryLink;
    TListLink bucketLink;

private:
    // Delivers a mouse event to the target under `point`, translated into
    // its coordinates; `deliver` calls the slot on the target.
    template <class Deliver>
    void RouteMouse(POINT point, Deliver deliver);
};

// The framework's focused and capture controls (one each per process).
CControl* FocusedControl();
CControl* CaptureControl();

// The control that Tab (or Shift+Tab, `backwards`) focuses after `from`: the
// next one in a depth-first walk of the tree under `root` that takes the
// focus, wrapping at the ends; from null (or a control outside the tree) the
// first or last. `from` itself when it is the only one; null when none is.
CControl* NextFocusable(CControl* root, CControl* from, bool backwards);

// The control after `c` in a depth-first walk of the tree under `root`
// (root itself excluded; from the root: its first child), or null past the last.
CControl* WalkForward(CControl* root, CControl* c);

// The window procedure's word on the keyboard focus (WM_SETFOCUS and
// WM_KILLFOCUS), so that moving the framework focus within a window that has
// it costs no call to the window system.
void NoteKeyboardFocus(HWND window, bool gained);
// The window that has the keyboard focus as the window procedure heard it.
HWND KeyboardFocusWindow();

// Run first in every control's destructor, so that what a layer above keeps
// of the control (a screen reader's objects) is let go. One hook per process.
typedef void (*ControlGoneHook)(CControl* control);
void SetControlGoneHook(ControlGoneHook hook);

// Takes the capture from its control without a release: the window lost it.
// The control, if any, is returned and then hears OnCaptureLost from the
// caller.
CControl* ForgetCapture();

// Tells whether a control was destroyed while watched: a callback may delete
// the control that called it, which must then touch nothing of its own.
// Watches live on the stack and nest.
class CControlWatch {
public:
    explicit CControlWatch(const CControl* control);
    ~CControlWatch();
    CControlWatch(const CControlWatch&) = delete;
    CControlWatch& operator=(const CControlWatch&) = delete;
    bool Destroyed() const { return watched == nullptr; }

private:
    friend class CControl;
    const CControl* watched;
    CControlWatch* next;
};

// Moves the framework focus: the previous control gets OnFocus(0), the new
// one OnFocus(1); a root with a window gets the keyboard focus.
void SetFocusControl(CControl* control);

typedef THashTable<CControl, CNameKey> CControlRegistry;

// Allocates a control of type T with the caller's tag and constructs it.
template <class T>
T* NewControl(const char* file, int32_t line) {
    return new (ThreadHeap->Alloc(sizeof(T), 0, file, line)) T();
}
