// IList::CList: a single-column list of text rows with one selected row, its
// own vertical scroll bar, keyboard navigation and an optional alphabetical
// order. Bound to the caller's variable holding the selected item's index.
//
// Input (modifiers ignored):
//   left press on a row        -> select it (again too), Notify(1), focus
//   left press below the rows  -> focus only
//   other presses, scroll strip-> base routing (the scroll bar)
//   Down/Up/Home/End/PgDn/PgUp -> select the target row when it exists and
//                                 differs: Notify(1), scroll it into view; handled
//   Up with no selected row    -> the last row
//   Escape                     -> the list gives up the focus; not handled
//   Tab                        -> not handled (the list is in the Tab cycle)
//   default action on a row    -> as a press on it, scrolled into view
//   wheel                      -> three rows per notch, held to the rows
// A press takes the focus before it notifies, so that an edit losing the
// focus commits its text before the owner hears of the row.
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../rtl/Array.h"
#include "CtlScroll.h"

#define CTL_LIST_TAG ".\\CtlList.cpp"

const int32_t kListRowHeight = 12;
const int32_t kListScrollWidth = 14;
// The rows' inset inside the bevel: the first row's top, the text's left edge
// and the clip's margins. The rows' view is 2 * kListInset shorter than the list.
const int32_t kListInset = 2;

enum : uint32_t { kListHotTracking = 1, kListSorted = 2 };

// Order of two row texts: only 'A'-'Z' are folded; units compare unsigned; a
// text that ends first is smaller. Negative, 0 or positive.
int CompareRowText(const wchar_t* a, const wchar_t* b);

// Sorts `order` (indices into `names`) by the texts they designate.
void SortRowOrder(uint32_t* order, uint32_t count, const wchar_t* const* names);

// The row under a point y of a list scrolled by `scrollY`, or -1 when the point
// is above the first row or below the last.
int32_t ListRowAt(int32_t scrollY, int32_t y, uint32_t rowCount);

// Rows [first, end) that intersect the visible band of a list `height` high.
void ListVisibleRows(int32_t scrollY, int32_t height, uint32_t rowCount, int32_t& first, int32_t& end);

// The row a key moves the selection to; false when the key is not a navigation
// key. The target may lie outside the rows (it is then not selected).
bool ListKeyTarget(int32_t key, int32_t selected, uint32_t rowCount, int32_t height, int64_t& target);

// The scroll offset that shows row `selected` of a list `height` high.
int32_t ListScrollIntoView(int32_t selected, int32_t scrollY, int32_t height);

// The scroll offset after a wheel turn of `delta` (120 a notch, forward
// scrolls up): three rows a notch, held between 0 and the last full page.
int32_t ListWheelScroll(int32_t scrollY, int32_t delta, int32_t height, uint32_t rowCount);

class IList {
public:
    class CList : public CControl {
    public:
        // Rows from `count` names (read only here), sorted with kListSorted;
        // the selection from *bound (row 0 without a bound variable).
        CList(uint32_t count, const wchar_t* const* names, int32_t* bound, uint32_t flags);
        ~CList() override;

        int CanFocus() override;
        int OnKeyDown(int32_t key, uint32_t modifiers) override;
        void OnMouseDown(int32_t button, uint32_t modifiers, POINT point) override;
        void OnMouseMove(uint32_t modifiers, POINT point) override;
        void OnMouseWheel(int32_t delta, uint32_t modifiers, POINT point) override;
        void OnPaint(IPainter* painter) override;
        void OnResize(SIZE size) override;
        void Refresh() override;
        // A list whose rows are its simple children (1 up, in display order).
        int32_t AccessibleRole() override;
        void Describe(AccessibleFacts& facts, uint32_t child) override;
        uint32_t AccessibleChildAt(POINT point) override;
        int DoDefaultAction(uint32_t child) override;

        uint32_t RowCount() const { return Rows.count; }
        // The first row showing item `item`, or -1.
        int32_t RowOfItem(int32_t item) const;
        // Selects a row (and scrolls it into view) when it exists and differs.
        void SelectRow(int64_t row);
        // Scrolls the selected row into view.
        void ShowSelected();
        // Selects a row as a press on it does (again too): focus, Notify(1).
        void PressRow(int32_t row);

        // Fields, in order.
        uint32_t Flags;
        TArray<const wchar_t*> Rows;   // each row's text, inside RowText
        int32_t HotRow;
        TArray<uint32_t> Order;
        CScrollBar* ScrollBar;
        int32_t ScrollY;
        int32_t Selected;
        int32_t* Bound;
        TArray<wchar_t> RowText;       // every row's text and terminator, in display order
    };
};

typedef IList::CList CList;

// Allocates (tag ".\CtlList.cpp") and constructs a list.
CList* CreateList(uint32_t count, const wchar_t* const* names, int32_t* bound, uint32_t flags);
