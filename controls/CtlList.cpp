#include "CtlList.h"

#include <new>

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "../rtl/Sort.h"
#include "../rtl/Str.h"

namespace {

inline uint16_t FoldUnit(wchar_t c) {
    const uint16_t u = uint16_t(c);
    return u >= 'A' && u <= 'Z' ? uint16_t(u + ('a' - 'A')) : u;
}

// A name's first folded units packed into two words, the first the most
// significant, zeros past its end: keys order as the names do, and names
// with equal keys agree in every unit the key holds. A folded unit is never
// 0, so a key whose last unit is 0 holds its whole name.
struct RowSortKey {
    uint64_t head[2];
    uint32_t item;
};

// The key of `name` with units of `bits` bits (16 units of 8 bits, or 8 of
// 16); false when a unit does not fit.
template <uint32_t bits>
bool MakeSortKey(const wchar_t* name, uint32_t item, RowSortKey& key) {
    const uint32_t perWord = 64 / bits;
    key = RowSortKey{{0, 0}, item};
    for (uint32_t i = 0; i < 2 * perWord && name[i]; ++i) {
        const uint64_t unit = FoldUnit(name[i]);
        if (unit >> bits) return false;
        key.head[i / perWord] |= unit << (bits * (perWord - 1 - i % perWord));
    }
    return true;
}

template <uint32_t bits>
void SortKeys(RowSortKey* keys, uint32_t count, const wchar_t* const* names) {
    const uint32_t units = 128 / bits;
    const uint64_t lastUnit = (uint64_t(1) << bits) - 1;
    QuickSort(keys, count, [names, units, lastUnit](const RowSortKey& a, const RowSortKey& b) {
        if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
        // Equal keys: the names agree as far as the keys go, and are equal
        // when they ended inside them.
        return (a.head[1] & lastUnit) != 0 && CompareRowText(names[a.item] + units, names[b.item] + units) < 0;
    });
}

}  // namespace

int CompareRowText(const wchar_t* a, const wchar_t* b) {
    if (!a) a = L"";
    if (!b) b = L"";
    for (;; ++a, ++b) {
        const uint16_t x = FoldUnit(*a), y = FoldUnit(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

void SortRowOrder(uint32_t* order, uint32_t count, const wchar_t* const* names) {
    // The keys decide every comparison the full texts would, and run the
    // same quicksort, so the order is exactly the one CompareRowText gives.
    // Sixteen units of eight bits when every name's first sixteen fit, else
    // eight of sixteen.
    TArray<RowSortKey> keys(TArray<RowSortKey>::Sized(), count);
    auto name = [names](uint32_t item) -> const wchar_t* { return names[item] ? names[item] : L""; };
    uint32_t i = 0;
    while (i < count && MakeSortKey<8>(name(order[i]), order[i], keys[i])) ++i;
    if (i == count) {
        SortKeys<8>(keys.items, count, names);
    } else {
        for (i = 0; i < count; ++i) MakeSortKey<16>(name(order[i]), order[i], keys[i]);
        SortKeys<16>(keys.items, count, names);
    }
    for (i = 0; i < count; ++i) order[i] = keys[i].item;
}

int32_t ListRowAt(int32_t scrollY, int32_t y, uint32_t rowCount) {
    // Unsigned: a point above the first row gives a huge row, so none.
    const uint32_t row = (uint32_t(scrollY) + uint32_t(y) - uint32_t(kListInset)) / uint32_t(kListRowHeight);
    return row < rowCount ? int32_t(row) : -1;
}

void ListVisibleRows(int32_t scrollY, int32_t height, uint32_t rowCount, int32_t& first, int32_t& end) {
    int64_t f = (int64_t(scrollY) - kListInset) / kListRowHeight;
    int64_t e = (int64_t(height) + scrollY + (kListRowHeight - kListInset)) / kListRowHeight;
    if (f < 0) f = 0;
    if (e > int64_t(rowCount)) e = rowCount;
    if (e < f) e = f;
    first = int32_t(f);
    end = int32_t(e);
}

bool ListKeyTarget(int32_t key, int32_t selected, uint32_t rowCount, int32_t height, int64_t& target) {
    const int64_t page = (int64_t(height) - 2 * kListInset) / kListRowHeight;
    const int64_t last = int64_t(rowCount) - 1;
    switch (key) {
    case KeyDown:
        target = uint32_t(selected) < uint32_t(last) ? int64_t(selected) + 1 : selected;
        return true;
    case KeyUp:
        // With no selected row, Up comes in from below: the last row.
        target = selected < 0 ? last : (selected != 0 ? int64_t(selected) - 1 : selected);
        return true;
    case KeyHome: target = 0; return true;
    case KeyEnd: target = last; return true;
    case KeyPageDown:
        target = int64_t(selected) + page;
        if (uint64_t(target) > uint64_t(uint32_t(last))) target = last;
        return true;
    case KeyPageUp:
        target = int64_t(selected) - page;
        if (target < 0) target = 0;
        return true;
    default: return false;
    }
}

int32_t ListScrollIntoView(int32_t selected, int32_t scrollY, int32_t height) {
    const int64_t view = int64_t(height) - 2 * kListInset;
    const int64_t y = int64_t(selected) * kListRowHeight;
    if (y + kListRowHeight > scrollY + view) return int32_t(y + kListRowHeight - view);
    if (y < scrollY) return int32_t(y);
    return scrollY;
}

int32_t ListWheelScroll(int32_t scrollY, int32_t delta, int32_t height, uint32_t rowCount) {
    const int64_t moved = int64_t(scrollY) - int64_t(delta) * 3 * kListRowHeight / 120;
    int64_t last = int64_t(kListRowHeight) * rowCount - (int64_t(height) - 2 * kListInset);
    if (last > INT32_MAX) last = INT32_MAX;
    if (moved > last) return int32_t(last > 0 ? last : 0);
    return moved < 0 ? 0 : int32_t(moved);
}

namespace {

// The list's scroll bar repaints the list whenever it moves.
class CListScrollBar : public CScrollBar {
public:
    explicit CListScrollBar(int32_t* bound) : CScrollBar(bound) {}
    // The rows repaint before the owner hears: it may delete the list.
    void NotifyNow(int32_t value) override {
        if (parent) parent->Invalidate();
        CScrollBar::NotifyNow(value);
    }
};

}  // namespace

IList::CList::CList(uint32_t count, const wchar_t* const* names, int32_t* bound, uint32_t flags)
    : Flags(flags), Rows(64), HotRow(-1), Order(64), ScrollBar(nullptr), ScrollY(0),
      Selected(bound ? *bound : 0), Bound(bound), RowText(64) {
    if (Flags & kListHotTracking) HotRow = Selected;
    if (!names) count = 0;
    Order.SetCapacity(count, count);
    for (uint32_t i = 0; i < count; ++i) Order[i] = i;
    // Each text copied once, in the order of the names (the order they lie
    // in memory), into one block.
    TArray<uint32_t> start(TArray<uint32_t>::Sized(), count);
    uint64_t units = 0;
    for (uint32_t i = 0; i < count; ++i) {
        start[i] = uint32_t(units);
        units += (names[i] ? WideLength(names[i]) : 0) + 1;
    }
    // A count past 32 bits asks for more than 32 bits of bytes: the allocation fails.
    const uint32_t total = units > UINT32_MAX ? UINT32_MAX : uint32_t(units);
    RowText.SetCapacity(total, total);
    wchar_t* to = RowText.items;
    for (uint32_t i = 0; i < count; ++i) {
        const wchar_t* text = names[i] ? names[i] : L"";
        while ((*to++ = *text++) != 0) {
        }
    }
    // The rows point at the copies in the names' order, which the sort reads
    // (one compact block), then in display order.
    Rows.SetCapacity(count, count);
    for (uint32_t i = 0; i < count; ++i) Rows[i] = RowText.items + start[i];
    if (Flags & kListSorted) {
        SortRowOrder(Order.items, count, Rows.items);
        for (uint32_t i = 0; i < count; ++i) Rows[i] = RowText.items + start[Order[i]];
    }
    if (bound) Selected = RowOfItem(*bound);

    CScrollBar* bar = new (ThreadHeap->Alloc(sizeof(CListScrollBar), 0, CTL_LIST_TAG, __LINE__)) CListScrollBar(&ScrollY);
    bar->Step = 10;
    bar->Total = 1000;
    bar->Page = 100;
    bar->Value = ScrollY;
    bar->Vertical = 1;
    bar->SetAnchors(ControlAnchor{-kListScrollWidth, kAnchorFar}, ControlAnchor{0, kAnchorNear},
                    ControlAnchor{0, kAnchorFar}, ControlAnchor{0, kAnchorFar});
    ScrollBar = bar;
    AppendChild(bar);
    OnChildAdded();
    Layout();
}

IList::CList::~CList() {
    Order.Clear(0);
    Rows.Clear(0);
    RowText.Clear(0);
    // The base destroys the scroll bar child.
}

int32_t IList::CList::RowOfItem(int32_t item) const {
    for (uint32_t r = 0; r < Order.count; ++r)
        if (Order[r] == uint32_t(item)) return int32_t(r);
    return -1;
}

void IList::CList::SelectRow(int64_t row) {
    // Only existing rows are selected.
    if (row < 0 || row >= int64_t(Rows.count) || row == Selected) return;
    Selected = int32_t(row);
    if (Bound) *Bound = int32_t(Order[uint32_t(row)]);
    Notify(1);
    ShowSelected();
    Invalidate();
}

void IList::CList::ShowSelected() {
    if (Selected < 0) return;
    const int32_t scroll = ListScrollIntoView(Selected, ScrollY, height);
    if (scroll == ScrollY) return;
    ScrollY = scroll;
    ScrollBar->Refresh();
    Invalidate();
}

int IList::CList::CanFocus() { return 1; }

void IList::CList::PressRow(int32_t row) {
    // The focus first: an edit that loses it queues its commit ahead of ours.
    SetFocusControl(this);
    if (row < 0 || uint32_t(row) >= Rows.count) return;
    Selected = row;
    if (Bound) *Bound = int32_t(Order[uint32_t(row)]);
    Notify(1);
    Invalidate();
}

int IList::CList::OnKeyDown(int32_t key, uint32_t) {
    int64_t target;
    if (ListKeyTarget(key, Selected, Rows.count, height, target)) {
        SelectRow(target);
        return 1;
    }
    if (key == KeyEscape && FocusedControl() == this) SetFocusControl(nullptr);
    return 0;
}

void IList::CList::OnMouseDown(int32_t button, uint32_t modifiers, POINT point) {
    if (button != kMouseLeft || point.x >= width - kListScrollWidth) {
        CControl::OnMouseDown(button, modifiers, point);
        return;
    }
    PressRow(ListRowAt(ScrollY, point.y, Rows.count));
}

void IList::CList::OnMouseWheel(int32_t delta, uint32_t, POINT) {
    const int32_t scroll = ListWheelScroll(ScrollY, delta, height, Rows.count);
    if (scroll == ScrollY) return;
    ScrollY = scroll;
    ScrollBar->Refresh();
    Invalidate();
}

void IList::CList::OnMouseMove(uint32_t modifiers, POINT point) {
    if (!(Flags & kListHotTracking) || point.x >= width - kListScrollWidth) {
        CControl::OnMouseMove(modifiers, point);
        return;
    }
    const int32_t row = ListRowAt(ScrollY, point.y, Rows.count);
    if (row >= 0 && row != HotRow) {
        HotRow = row;
        Invalidate();
    }
}

void IList::CList::OnPaint(IPainter* painter) {
    if (!painter) return;
    const uint32_t face = (*currentScheme)[kSchemeFace], text = (*currentScheme)[kSchemeFaceText];
    painter->DrawBevel(RECT{0, 0, width - kListScrollWidth, height}, face, 0, 1);
    if (Rows.count) {
        painter->PushClip();
        painter->ClipRect(RECT{kListInset, kListInset, width - kListScrollWidth - kListInset, height - kListInset});
        painter->PushOrigin();
        painter->Translate(POINT{0, -ScrollY});
        int32_t first, end;
        ListVisibleRows(ScrollY, height, Rows.count, first, end);
        const int32_t highlighted = (Flags & kListHotTracking) ? HotRow : Selected;
        for (int32_t i = first; i < end; ++i) {
            const int32_t top = kListRowHeight * i + kListInset;
            painter->DrawText(Rows[uint32_t(i)], POINT{kListInset, top}, text);
            if (i == highlighted) painter->XorRect(RECT{1, top, width - 1, top + kListRowHeight});
        }
        painter->PopOrigin();
        painter->PopClip();
    }
    CControl::OnPaint(painter);
}

void IList::CList::OnResize(SIZE size) {
    ScrollBar->Page = size.cy - 2 * kListInset;
    ScrollBar->Total = int32_t(int64_t(kListRowHeight) * Rows.count > INT32_MAX ? INT32_MAX : kListRowHeight * int64_t(Rows.count));
    ScrollBar->Step = kListRowHeight;
    ScrollBar->Invalidate();
}

void IList::CList::Refresh() {
    if (Bound) Selected = RowOfItem(*Bound);
    Invalidate();
}

int32_t IList::CList::AccessibleRole() { return ROLE_SYSTEM_LIST; }

void IList::CList::Describe(AccessibleFacts& facts, uint32_t child) {
    if (!child) {
        facts.childCount = Rows.count;
        facts.selectedChild = Selected >= 0 && uint32_t(Selected) < Rows.count ? uint32_t(Selected) + 1 : 0;
        return;
    }
    const uint32_t row = child - 1;
    if (row >= Rows.count) return;
    facts.role = ROLE_SYSTEM_LISTITEM;
    facts.name = Rows[row];
    facts.action = L"Select";
    facts.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (int64_t(row) == Selected) {
        facts.state |= STATE_SYSTEM_SELECTED;
        if (HasKeyboardFocus(this)) facts.state |= STATE_SYSTEM_FOCUSED;
    }
    const int64_t top = int64_t(kListRowHeight) * row + kListInset - ScrollY;
    const int32_t clipped = int32_t(top < INT32_MIN / 2 ? INT32_MIN / 2 : top > INT32_MAX / 2 ? INT32_MAX / 2 : top);
    facts.rect = RECT{kListInset, clipped, width - kListScrollWidth - kListInset, clipped + kListRowHeight};
    // Rows cut off at the bottom still show; only those wholly out are off screen.
    if (clipped + kListRowHeight <= kListInset || clipped >= height - kListInset) facts.state |= STATE_SYSTEM_OFFSCREEN;
}

uint32_t IList::CList::AccessibleChildAt(POINT point) {
    if (point.x < 0 || point.x >= width - kListScrollWidth || point.y < 0 || point.y >= height) return 0;
    const int32_t row = ListRowAt(ScrollY, point.y, Rows.count);
    return row >= 0 ? uint32_t(row) + 1 : 0;
}

int IList::CList::DoDefaultAction(uint32_t child) {
    if (child == 0 || child > Rows.count) return 0;
    PressRow(int32_t(child - 1));
    ShowSelected();
    return 1;
}

CList* CreateList(uint32_t count, const wchar_t* const* names, int32_t* bound, uint32_t flags) {
    return new (ThreadHeap->Alloc(sizeof(CList), 0, CTL_LIST_TAG, __LINE__)) CList(count, names, bound, flags);
}
