#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "controls/CtlList.h"
#include "rtl/Sort.h"
#include "heap_checks.h"
#include "recording.h"

namespace {

// A root without a window that notes the notifications queued on it.
struct Root : CControl {
    std::vector<RECT> invalid;
    void QueueNotification(ControlCallback, uint32_t data, const char* name, int32_t value) override {
        RecordNote(data, name, value);
    }
    void InvalidateRect(const RECT& r) override { invalid.push_back(r); }
};

void Callback(uint32_t, const char*, int32_t) {}

class ListTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (root) root->Destroy(1);
        SetFocusControl(nullptr);
        EXPECT_EQ(0, live.Added());
    }
    // A list of `texts` in a root, `h` pixels high and 128 wide.
    CList* Make(const std::vector<std::wstring>& texts, int32_t* bound, uint32_t flags, int32_t h) {
        pointers.clear();
        notes.clear();
        for (const std::wstring& t : texts) pointers.push_back(t.c_str());
        root = NewControl<Root>("list_test", __LINE__);
        root->SetSize(SIZE{128, h});
        list = CreateList(uint32_t(pointers.size()), pointers.data(), bound, flags);
        list->SetName("list");
        list->SetCallback(Callback, 0);
        root->AppendChild(list);
        root->Layout();
        return list;
    }
    std::vector<std::wstring> Shown() const {
        std::vector<std::wstring> rows;
        for (uint32_t r = 0; r < list->RowCount(); ++r) rows.push_back(list->Rows[r]);
        return rows;
    }
    void Click(int32_t x, int32_t y, int32_t button = kMouseLeft) { root->OnMouseDown(button, 0, POINT{x, y}); }

    const LiveBlocks live;
    std::vector<const wchar_t*> pointers;
    Root* root = nullptr;
    CList* list = nullptr;
};

}  // namespace

TEST(ListSort, FoldsOnlyAsciiLettersAndComparesUnsigned) {
    EXPECT_LT(CompareRowText(L"a", L"b"), 0);
    EXPECT_EQ(0, CompareRowText(L"ABC", L"abc"));
    EXPECT_LT(CompareRowText(L"ab", L"abc"), 0);
    EXPECT_LT(CompareRowText(L"\xC4", L"\xE4"), 0);   // not folded
    EXPECT_GT(CompareRowText(L"\xFFFF", L"z"), 0);          // unsigned 16-bit units
    EXPECT_LT(CompareRowText(L"[", L"a"), 0);              // '[' after 'Z' but before 'a'
}

TEST(ListSort, LargeListsMatchAReferenceSortOnEveryShape) {
    std::mt19937 random(7);
    auto fold = [](std::wstring s) {
        for (wchar_t& c : s)
            if (c >= L'A' && c <= L'Z') c = wchar_t(c + 32);
        return s;
    };
    // Shuffled, sorted, reversed, all equal, and long names sharing prefixes
    // of 6 to 18 units (the sort's keys hold 8 units, or 16 when all of the
    // names' units fit in 8 bits), with and without a unit past 8 bits.
    for (int shape = 0; shape < 10; ++shape) {
        const wchar_t* letters = shape < 5 ? L"aAbBzZ_[ \xE9\xFFFF" : L"aAbBzZ_[ \xE9\xFF";
        std::vector<std::wstring> names;
        for (int i = 0; i < 20000; ++i) {
            std::wstring s;
            if (shape % 5 == 3) s = L"Same";
            if (shape % 5 == 4) s = std::wstring(L"Prefixed names!!!!").substr(0, 6 + random() % 13);
            if (shape % 5 != 3)
                for (int n = int(random() % 7) + (shape % 5 == 4 ? 0 : 1); n > 0; --n) s += letters[random() % 11];
            names.push_back(s);
        }
        if (shape % 5 == 1) std::sort(names.begin(), names.end());
        if (shape % 5 == 2) std::sort(names.rbegin(), names.rend());
        std::vector<const wchar_t*> p;
        for (const std::wstring& s : names) p.push_back(s.c_str());
        std::vector<uint32_t> order(p.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::vector<uint32_t> plain(order);
        SortRowOrder(order.data(), uint32_t(order.size()), p.data());
        // The very order (equal names included) of the quicksort on whole texts.
        QuickSort(plain.data(), uint32_t(plain.size()),
                  [&p](uint32_t a, uint32_t b) { return CompareRowText(p[a], p[b]) < 0; });
        EXPECT_TRUE(plain == order) << "shape " << shape;
        std::vector<std::wstring> got, want;
        for (uint32_t i : order) got.push_back(fold(names[i]));
        for (const std::wstring& s : names) want.push_back(fold(s));
        std::sort(want.begin(), want.end(), [](const std::wstring& a, const std::wstring& b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                [](wchar_t x, wchar_t y) { return uint16_t(x) < uint16_t(y); });
        });
        EXPECT_EQ(want, got) << "shape " << shape;
        std::sort(order.begin(), order.end());
        for (uint32_t i = 0; i < order.size(); ++i) ASSERT_EQ(i, order[i]);
    }
}

TEST(ListGeometry, RowsKeysAndScrolling) {
    EXPECT_EQ(0, ListRowAt(0, 2, 5));
    EXPECT_EQ(0, ListRowAt(0, 13, 5));
    EXPECT_EQ(1, ListRowAt(0, 14, 5));
    EXPECT_EQ(-1, ListRowAt(0, 1, 5));     // above the first row
    EXPECT_EQ(-1, ListRowAt(0, 62, 5));    // below the last
    EXPECT_EQ(3, ListRowAt(24, 14, 5));

    int32_t first, end;
    ListVisibleRows(0, 100, 1000, first, end);
    EXPECT_EQ(0, first);
    EXPECT_EQ(9, end);
    ListVisibleRows(120, 100, 1000, first, end);
    EXPECT_EQ(9, first);
    EXPECT_EQ(19, end);
    ListVisibleRows(120, 100, 12, first, end);
    EXPECT_EQ(12, end);

    struct Row {
        int32_t key, selected;
        uint32_t rows;
        int32_t height;
        int64_t target;
    } rows[] = {
        {KeyDown, 3, 10, 100, 4},   {KeyDown, 9, 10, 100, 9},   {KeyDown, -1, 10, 100, -1},
        {KeyUp, 3, 10, 100, 2},     {KeyUp, 0, 10, 100, 0},     {KeyUp, -1, 10, 100, 9},
        {KeyHome, 5, 10, 100, 0},   {KeyEnd, 5, 10, 100, 9},    {KeyEnd, -1, 0, 100, -1},
        {KeyPageDown, 3, 100, 100, 11}, {KeyPageDown, 3, 10, 100, 9}, {KeyPageDown, -1, 100, 100, 7},
        {KeyPageUp, 11, 100, 100, 3},   {KeyPageUp, 3, 100, 100, 0},  {KeyPageDown, 3, 100, 2, 3},
    };
    for (const Row& r : rows) {
        int64_t target = 12345;
        EXPECT_TRUE(ListKeyTarget(r.key, r.selected, r.rows, r.height, target));
        EXPECT_EQ(r.target, target) << r.key << " from " << r.selected;
    }
    int64_t target;
    EXPECT_FALSE(ListKeyTarget(KeyEscape, 0, 10, 100, target));
    EXPECT_FALSE(ListKeyTarget('a', 0, 10, 100, target));

    EXPECT_EQ(0, ListScrollIntoView(3, 0, 100));
    EXPECT_EQ(12 * 11 - 96, ListScrollIntoView(10, 0, 100));
    EXPECT_EQ(24, ListScrollIntoView(2, 60, 100));
    EXPECT_EQ(12 * 9 - 96, ListScrollIntoView(8, 5, 100));   // cut off at the bottom
    // The wheel turned far down stops with the last row whole at the bottom.
    EXPECT_EQ(12 * 40 - (100 - 2 * kListInset), ListWheelScroll(0, -120 * 100, 100, 40));
}

TEST_F(ListTest, SortsUpperAndLowerCaseTogetherAndFindsTheBoundItem) {
    int32_t item = 2;   // "a"
    Make({L"b", L"A", L"a", L"C"}, &item, kListSorted, 100);
    std::vector<std::wstring> rows = Shown();
    EXPECT_TRUE((rows == std::vector<std::wstring>{L"A", L"a", L"b", L"C"}) ||
                (rows == std::vector<std::wstring>{L"a", L"A", L"b", L"C"}));
    EXPECT_EQ(2, int32_t(list->Order[uint32_t(list->Selected)]));
    // An item that no row carries: no selection; no bound variable: row 0.
    root->Destroy(1);
    item = 9;
    Make({L"x", L"y"}, &item, kListSorted, 100);
    EXPECT_EQ(-1, list->Selected);
    root->Destroy(1);
    Make({L"x", L"y"}, nullptr, 0, 100);
    EXPECT_EQ(0, list->Selected);
    list->OnKeyDown(KeyDown, 0);
    EXPECT_EQ(1, list->Selected);
}

TEST_F(ListTest, MouseSelectsRowsNotifiesAgainAndTakesTheFocus) {
    int32_t item = 0;
    Make({L"zero", L"one", L"two", L"three"}, &item, 0, 100);
    Click(20, 2 + 12 * 2 + 5);
    EXPECT_EQ(2, item);
    EXPECT_EQ(list, FocusedControl());
    Click(20, 2 + 12 * 2 + 1);   // the same row again
    EXPECT_EQ((std::vector<std::string>{"list 1", "list 1"}), notes);
    SetFocusControl(nullptr);
    Click(20, 90);   // below the last row
    EXPECT_EQ(2, item);
    EXPECT_EQ(2u, notes.size());
    EXPECT_EQ(list, FocusedControl());
    Click(20, 2 + 12, kMouseRight);   // other buttons only route
    Click(120, 2 + 12);               // the scroll bar's strip
    EXPECT_EQ(2, item);
    EXPECT_EQ(2u, notes.size());
}

TEST_F(ListTest, KeysSelectScrollAndStopAtTheEnds) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 40; ++i) names.push_back(L"row " + std::to_wstring(100 + i));
    int32_t item = 3;
    Make(names, &item, 0, 100);
    SetFocusControl(list);
    EXPECT_EQ(1, root->OnKeyDown(KeyPageDown, 0));
    EXPECT_EQ(11, item);
    EXPECT_EQ(12 * 12 - 96, list->ScrollY);
    EXPECT_EQ(list->ScrollY, list->ScrollBar->Value);
    EXPECT_EQ(1, root->OnKeyDown(KeyEnd, 0));
    EXPECT_EQ(39, item);
    notes.clear();
    EXPECT_EQ(1, root->OnKeyDown(KeyDown, 0));   // last row: handled, nothing changes
    EXPECT_EQ(1, root->OnKeyDown(KeyHome, 0));
    EXPECT_EQ(0, item);
    EXPECT_EQ(0, list->ScrollY);
    EXPECT_EQ(1, root->OnKeyDown(KeyUp, 0));     // row 0: handled, nothing changes
    EXPECT_EQ(1, root->OnKeyDown(KeyHome, 0));
    EXPECT_EQ(std::vector<std::string>{"list 1"}, notes);
    EXPECT_EQ(0, root->OnKeyDown(KeyEscape, 0));
    EXPECT_EQ(nullptr, FocusedControl());
    // The scroll bar follows the list's height and rows.
    EXPECT_EQ(96, list->ScrollBar->Page);
    EXPECT_EQ(480, list->ScrollBar->Total);
    EXPECT_EQ(12, list->ScrollBar->Step);
}

TEST_F(ListTest, DraggingItsScrollBarScrollsAndRepaintsTheRows) {
    int32_t item = 0;
    Make(std::vector<std::wstring>(40, L"row"), &item, 0, 100);
    const RECT bar = CControl::RectOf(list->ScrollBar);
    EXPECT_TRUE(bar.left == 128 - kListScrollWidth && bar.top == 0 && bar.right == 128 && bar.bottom == 100);
    root->invalid.clear();
    Click(121, 20);   // the thumb: 72 track pixels for 480 row pixels, 14 long from 14
    root->OnMouseMove(0, POINT{121, 20 + 36});
    root->OnMouseUp(kMouseLeft, 0, POINT{121, 20 + 36});
    EXPECT_EQ(240, list->ScrollY);
    EXPECT_EQ(240, list->ScrollBar->Value);
    EXPECT_TRUE(std::any_of(root->invalid.begin(), root->invalid.end(),
                            [](const RECT& r) { return r.left == 0 && r.right == 128 && r.bottom == 100; }));
}

TEST_F(ListTest, AnEmptyListIgnoresEveryKeyAndClick) {
    int32_t item = 0;
    Make({}, &item, kListSorted, 100);
    EXPECT_EQ(-1, list->Selected);
    SetFocusControl(list);
    for (int32_t key : {KeyDown, KeyUp, KeyHome, KeyEnd, KeyPageDown, KeyPageUp}) EXPECT_EQ(1, root->OnKeyDown(key, 0));
    Click(20, 5);
    Click(20, 50);
    EXPECT_EQ(0, item);
    EXPECT_TRUE(notes.empty());
    RecordingPainter painter;
    list->OnPaint(&painter);
    EXPECT_EQ(0, std::count_if(painter.draws.begin(), painter.draws.end(),
                               [](const std::string& d) { return d.compare(0, 4, "text") == 0; }));
}

TEST_F(ListTest, PaintsOnlyTheVisibleRowsWithoutAllocating) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 1000; ++i) names.push_back(L"n" + std::to_wstring(i));
    int32_t item = 20;
    Make(names, &item, 0, 100);
    list->ScrollY = 12 * 15;   // rows 15 to 23 in view
    DistinctScheme scheme;
    RecordingPainter painter;
    list->OnPaint(&painter);
    std::vector<std::string> texts;
    for (const std::string& d : painter.draws)
        if (d.compare(0, 4, "text") == 0 || d.compare(0, 3, "xor") == 0) texts.push_back(d);
    ASSERT_EQ(11u, texts.size());   // rows 14 to 23 (the band's edges) and the highlight
    EXPECT_EQ("text n14 2,170" + scheme.Ink(2), texts.front());
    EXPECT_EQ("xor 1,242,127,254", texts[7]);
    EXPECT_EQ("text n23 2,278" + scheme.Ink(2), texts.back());

    CountingHeap counting;
    for (int i = 0; i < 50; ++i) {
        root->OnKeyDown(KeyDown, 0);
        list->OnPaint(&painter);
    }
    SetFocusControl(list);
    for (int i = 0; i < 50; ++i) {
        root->OnKeyDown(KeyPageDown, 0);
        painter.draws.clear();
        list->OnPaint(&painter);
    }
    EXPECT_EQ(0, counting.allocations);
}
