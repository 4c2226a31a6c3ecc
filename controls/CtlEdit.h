// IEdit::CEdit: a single-line text field that edits a caller's fixed-capacity
// UTF-16 buffer in place, with a caret, a selection, horizontal scrolling and
// the clipboard; Uniscribe measures the text for caret placement and hits.
//
// Input table (R: refused with answer 0 when read only):
//   char Backspace   R; deletes the selection, else the unit before the caret; Notify(0)
//   char Copy        the selection (an empty one too) to the clipboard
//   char Cut         copy; R; deletes the selection; Notify(0)
//   char Enter       drops the focus; Notify(1) if still modified; answer 0
//   char Paste       R; deletes the selection; inserts the clipboard text (filter:
//                    its 'a'-'z' units one by one, else all or nothing); Notify(1)
//   char other       R, also with Ctrl, or outside 'a'-'z' under the filter;
//                    replaces the selection by the unit; Notify(0)
//   key Delete       R; deletes the selection, else the unit at the caret; Notify(0)
//                    unless there was nothing to delete
//   key Home End Left Right   moves the caret; Shift keeps the other end
//   key Escape       drops the focus when held; answer 0
//   key Tab          answer 0 (the base moves the focus)
//   key other        answer 0 when read only or with Ctrl, else 1
//   mouse down       focus without select-all, capture, caret to the point, no selection
//   mouse move       while the button is held: caret to the point (the selection grows)
//   mouse up         capture released
//   capture lost     the selection stops following the pointer
//   double click     focus without select-all, everything selected
//   focus gained     caret shown at (2, 2); select all unless by a click
//   focus lost       caret destroyed, selection dropped; Notify(1) when modified
#pragma once

#include <cstdint>

#include <usp10.h>

#include "../panel/Control.h"

#define CTL_EDIT_TAG ".\\CtlEdit.cpp"

// The text's inset from the edit's edges: its left edge, the caret's and the
// selection's top; the view is 2 * kEditInset narrower than the edit.
const int32_t kEditInset = 2;

// Edit flags.
enum : uint32_t {
    kEditReadOnly = 0x2,
    kEditCaretAtEnd = 0x4,          // the edit's own caret placements go to the end
    kEditLettersOnly = 0x8,         // only 'a'-'z' may be typed or pasted
    kEditFocusByClick = 0x20000000, // set while a click gives the focus: no select-all
    kEditModified = 0x40000000,     // changed since the last commit notification
    kEditPlacePending = 0x80000000, // initial placement at the first paint (with 0x4)
};

// Units before the buffer's terminator. A buffer without a terminator inside
// its capacity is terminated at capacity - 1; a null buffer or capacity 0
// holds the empty text and is never touched.
uint32_t EditTextLength(wchar_t* buffer, uint32_t capacity);

// Inserts n units at `at` when length + n < capacity and at <= length; the
// tail moves right with its terminator. 1, or 0 with nothing changed. Never
// writes past capacity units.
int EditInsert(wchar_t* buffer, uint32_t capacity, uint32_t at, const wchar_t* units, uint32_t n);

// Removes n units at `at`, cut to the text (nothing when at >= length); the
// tail moves left with its terminator.
void EditRemove(wchar_t* buffer, uint32_t capacity, uint32_t at, uint32_t n);

// A hit-test answer: a position and its trailing flag.
struct EditHit {
    int32_t position;
    int32_t trailing;
};

// The rules applied to a raw hit in a text of `length` units: -1 with the
// trailing flag (left of the text) becomes 0 without it; a position past the
// text without the flag becomes the length with it. Other negatives become
// 0, other positions past the text the length (flag kept).
EditHit NormalizeEditHit(int32_t position, int32_t trailing, uint32_t length);

// The caret position of a normalised hit: position + 1 when trailing and
// below the length, else the position.
uint32_t EditHitCaret(EditHit hit, uint32_t length);

// Glyph positions of a text: x of a position's leading (trailing 0) or
// trailing edge, and the normalised hit at a pixel.
class IEditMetrics {
public:
    virtual int32_t X(uint32_t position, int trailing) = 0;
    virtual EditHit Hit(int32_t x) = 0;

protected:
    IEditMetrics() {}
    ~IEditMetrics() {}
};

// ScrollStart after the caret moved, in an edit `width` pixels wide: the
// caret itself when it lies left of the view, else advanced until the
// caret's character fits at the right edge (view width - 2 * kEditInset).
// Never past the caret.
uint32_t EditScrollStart(IEditMetrics& metrics, uint32_t scrollStart, uint32_t caret, uint32_t length,
                         int32_t width);

// Top of the text: centred, or 0 when the text is taller than the edit.
int32_t EditTextTop(int32_t height, int32_t textHeight);

class IEdit {
public:
    class CEdit : public CControl {
    public:
        CEdit();
        ~CEdit() override;

        int CanFocus() override;
        // Queued as the base does; value 0 sets the modified bit, others clear it.
        void Notify(int32_t value) override;
        void OnFocus(int gained) override;
        int OnChar(int32_t key, uint32_t modifiers) override;
        int OnKeyDown(int32_t key, uint32_t modifiers) override;
        void OnDoubleClick(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseMove(uint32_t modifiers, POINT point) override;
        void OnMouseUp(int32_t button, uint32_t modifiers, POINT point) override;
        void OnCaptureLost() override;
        void OnPaint(IPainter* painter) override;
        // The caller changed the buffer: the analysis goes, a caret past the
        // text moves to its end (with kEditCaretAtEnd) or to 0.
        void Refresh() override;
        // Editable text whose value is the text.
        int32_t AccessibleRole() override;
        void Describe(AccessibleFacts& facts, uint32_t child) override;

        // Every caret movement: Caret := position, scrolled into view, and
        // the caret image placed while focused.
        void MoveCaret(uint32_t position);

        // Measurements on the current analysis, built first when stale, in
        // units (Uniscribe measures in device pixels); all 0 while Uniscribe
        // refuses the text (retried at the next one).
        int32_t TextX(uint32_t position, int trailing);
        EditHit TextHit(int32_t x);

        uint32_t Length();

        // Fields, in order.
        uint32_t Stale;
        SCRIPT_STRING_ANALYSIS Analysis;
        wchar_t* Buffer;
        IPainter* MeasurePainter;
        uint32_t Capacity;
        uint32_t Caret;
        uint32_t Selecting;
        uint32_t Flags;
        uint32_t Focused;
        uint32_t ScrollStart;
        uint32_t Anchor;
        uint32_t MeasureDpi;   // the scale the analysis was measured at

    private:
        const wchar_t* Text() const;
        void NotePainter(IPainter* painter);
        void TakePainter();
        bool Analyse();
        void FreeAnalysis();
        void DeleteSelection();
        void CopySelection();
        void Paste();
        void DropFocus();
        void TakeFocusByClick();
        uint32_t CaretAt(int32_t x);
    };
};

typedef IEdit::CEdit CEdit;

// Allocates (tag ".\CtlEdit.cpp") and constructs an edit over `buffer`, which
// holds `capacity` units, terminator included; the caller keeps it alive.
CEdit* CreateEdit(wchar_t* buffer, uint32_t capacity, uint32_t flags);
