// The edit: its pure rules from tables, then scripted input on a real window
// measured by Wine's Uniscribe.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controls/CtlEdit.h"
#include "panel/ColorScheme.h"
#include "panel/Panel.h"
#include "pixels.h"
#include "heap_checks.h"
#include "recording.h"
#include "rtl/Array.h"
#include "rtl/Str.h"
#include "tools/bench/timing.h"
#include "panel_window.h"

namespace {

const wchar_t kGuard = 0x7E7E;

// Ten pixels per unit.
struct FixedMetrics : IEditMetrics {
    uint32_t length = 0;
    int32_t X(uint32_t p, int trailing) override { return 10 * int32_t(p + (trailing ? 1 : 0)); }
    EditHit Hit(int32_t x) override { return NormalizeEditHit(x / 10, 0, length); }
};

}  // namespace

TEST(EditRules, InsertAndRemoveKeepToTheCapacity) {
    struct Row {
        const wchar_t* before;
        uint32_t capacity;
        uint32_t at;
        const wchar_t* units;
        int inserted;
        const wchar_t* after;
    };
    const Row rows[] = {
        {L"abc", 16, 1, L"XY", 1, L"aXYbc"},
        {L"abc", 16, 3, L"", 1, L"abc"},
        {L"abcdefghijklmn", 16, 14, L"o", 1, L"abcdefghijklmno"},   // the 15th unit fits
        {L"abcdefghijklmno", 16, 15, L"p", 0, L"abcdefghijklmno"},  // the 16th does not
        {L"abcdefghijklmn", 16, 3, L"XYZ", 0, L"abcdefghijklmn"},   // 14 + 3 >= 16
        {L"abc", 16, 4, L"X", 0, L"abc"},                           // past the text
        {L"", 1, 0, L"X", 0, L""},
    };
    for (const Row& row : rows) {
        std::vector<wchar_t> buffer(row.capacity + 4, kGuard);
        CopyWide(buffer.data(), row.before, row.capacity);
        const uint32_t n = WideLength(row.units);
        EXPECT_EQ(row.inserted, EditInsert(buffer.data(), row.capacity, row.at, row.units, n));
        EXPECT_EQ(std::wstring(row.after), std::wstring(buffer.data()));
        for (uint32_t i = row.capacity; i < buffer.size(); ++i) EXPECT_EQ(kGuard, buffer[i]);
    }
    wchar_t text[8] = L"abcdef";
    EditRemove(text, 8, 4, 9);
    EXPECT_STREQ(L"abcd", text);
    EditRemove(text, 8, 1, 2);
    EXPECT_STREQ(L"ad", text);
    // No terminator inside the capacity: cut at capacity - 1, nothing beyond touched.
    wchar_t open[6] = {'a', 'b', 'c', 'd', 'e', kGuard};
    EXPECT_EQ(3u, EditTextLength(open, 4));
    EXPECT_EQ(0, open[3]);
    EXPECT_EQ('e', open[4]);
    EXPECT_EQ(0u, EditTextLength(nullptr, 16));
    EXPECT_EQ(0, EditInsert(open, 0, 0, L"x", 1));
}

TEST(EditRules, HitsScrollingAndTextTop) {
    struct HitRow {
        int32_t position, trailing;
        int32_t normalised, flag;
        uint32_t caret;
    };
    const HitRow hits[] = {
        {-1, 1, 0, 0, 0}, {2, 0, 2, 0, 2}, {2, 1, 2, 1, 3},
        {5, 1, 5, 1, 5},  {6, 0, 5, 1, 5}, {-7, 0, 0, 0, 0},
    };
    for (const HitRow& row : hits) {
        const EditHit h = NormalizeEditHit(row.position, row.trailing, 5);
        EXPECT_EQ(row.normalised, h.position);
        EXPECT_EQ(row.flag, h.trailing);
        EXPECT_EQ(row.caret, EditHitCaret(h, 5));
    }
    // Width 44 shows 40 pixels: four units.
    struct ScrollRow {
        uint32_t start, caret, length;
        int32_t width;
        uint32_t expected;
    };
    const ScrollRow scrolls[] = {
        {0, 3, 10, 44, 0},   // in view
        {0, 4, 10, 44, 1},   // the fifth unit's right edge needs one unit more
        {0, 9, 10, 44, 6},
        {0, 10, 10, 44, 6},  // at the end the caret needs no room of its own
        {6, 2, 10, 44, 2},   // left of the view
        {0, 5, 10, 4, 5},    // no room at all: never past the caret
    };
    FixedMetrics metrics;
    for (const ScrollRow& row : scrolls) {
        metrics.length = row.length;
        EXPECT_EQ(row.expected, EditScrollStart(metrics, row.start, row.caret, row.length, row.width))
            << row.caret << " in " << row.width;
    }
    EXPECT_EQ(4, EditTextTop(20, 12));
    EXPECT_EQ(0, EditTextTop(10, 12));
}

namespace {

class EditWindow : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        SelectColorScheme(0);
        OpenPanel(L"edit test", 320, 120);
    }

    // An edit over `buffer` at (10, 10), `width` x 24.
    static CEdit* Add(const char* name, wchar_t* buffer, uint32_t capacity, int32_t width, int32_t top = 10) {
        return Place(CreateEdit(buffer, capacity, 0x80000000u), name, 10, top, 10 + width, top + 24);
    }
    // Leading edges of every position, by Uniscribe in the edit's font.
    static std::vector<int> Edges(const wchar_t* text) {
        panel->painter->SetFont(L"Verdana", 10, 0);
        const int n = int(WideLength(text));
        SCRIPT_STRING_ANALYSIS a = nullptr;
        HDC dc = panel->painter->GetHDC();
        EXPECT_EQ(S_OK, ScriptStringAnalyse(dc, text, n + 1, n * 3 / 2 + 16, -1, SSA_GLYPHS, 0, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, &a));
        std::vector<int> edges(size_t(n) + 1, 0);
        for (int i = 0; i <= n; ++i) ScriptStringCPtoX(a, i, FALSE, &edges[size_t(i)]);
        ScriptStringFree(&a);
        return edges;
    }
    static POINT CaretPos() {
        POINT p = {-1, -1};
        GetCaretPos(&p);
        return p;
    }
};

}  // namespace

TEST_F(EditWindow, CaretFollowsKeysAtUniscribePositions) {
    wchar_t text[32] = L"Wide mill";
    CEdit* edit = Add("edit", text, 32, 200);
    const std::vector<int> x = Edges(text);
    ASSERT_GT(x[9], x[0]);
    SetFocusControl(edit);
    struct Row {
        UINT key;
        uint32_t caret;
    };
    const Row rows[] = {{VK_HOME, 0}, {VK_RIGHT, 1}, {VK_RIGHT, 2}, {VK_END, 9},
                        {VK_LEFT, 8}, {VK_RIGHT, 9}, {VK_RIGHT, 9}};
    for (const Row& row : rows) {
        Key(row.key);
        EXPECT_EQ(row.caret, edit->Caret);
        EXPECT_EQ(edit->Caret, edit->Anchor);
        EXPECT_EQ(10 + 2 + x[row.caret], CaretPos().x);
        EXPECT_EQ(10 + 2, CaretPos().y);
    }
    // A click on the boundary between two characters puts the caret there.
    const POINT between = {10 + 2 + x[4], 20};
    Click(between.x, between.y);
    EXPECT_EQ(4u, edit->Caret);
    EXPECT_EQ(4u, edit->Anchor);
    EXPECT_EQ(between.x, CaretPos().x);
    // Dragging to the right selects; a double click selects everything.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, between.x, 20);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 10 + 2 + x[7], 20);
    Send(WM_LBUTTONUP, 0, 10 + 2 + x[7], 20);
    EXPECT_EQ(7u, edit->Caret);
    EXPECT_EQ(4u, edit->Anchor);
    EXPECT_EQ(nullptr, CaptureControl());
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, between.x, 20);
    EXPECT_EQ(0u, edit->Anchor);
    EXPECT_EQ(9u, edit->Caret);
}

TEST_F(EditWindow, ScrollingKeepsTheCaretInANarrowEdit) {
    wchar_t text[64] = L"The quick brown fox jumps over";
    CEdit* edit = Add("edit", text, 64, 48);
    const std::vector<int> x = Edges(text);
    SetFocusControl(edit);
    Key(VK_HOME);
    for (uint32_t i = 1; i <= 30; ++i) {
        Key(VK_RIGHT);
        ASSERT_EQ(i, edit->Caret);
        const int right = i < 30 ? x[i + 1] : x[i];
        EXPECT_LE(x[edit->ScrollStart], x[i]);
        EXPECT_LE(right - x[edit->ScrollStart], 48 - 4) << i;
        EXPECT_EQ(10 + 2 + x[i] - x[edit->ScrollStart], CaretPos().x);
    }
    EXPECT_GT(edit->ScrollStart, 20u);
    Key(VK_HOME);
    EXPECT_EQ(0u, edit->ScrollStart);
    EXPECT_EQ(12, CaretPos().x);
    UpdateWindow(handle);   // paints with the scrolled text
}

TEST_F(EditWindow, TypingSelectionAndCapacity) {
    wchar_t text[20];
    for (wchar_t& unit : text) unit = kGuard;
    text[0] = 0;
    CEdit* edit = Add("edit", text, 16, 280);
    SetFocusControl(edit);
    Type("abcdefghijklmnopq");
    EXPECT_EQ(std::wstring(L"abcdefghijklmno"), std::wstring(text));
    for (int i = 16; i < 20; ++i) EXPECT_EQ(kGuard, text[i]);
    EXPECT_EQ(17u, notes.size());   // refused characters still notify
    EXPECT_EQ(15u, edit->Caret);

    // Shift+Left selects the last unit, Left alone drops the selection.
    CopyWide(text, L"abc", 16);
    edit->Refresh();
    Key(VK_END);
    panel->OnKeyDown(KeyLeft, kKeyShift);
    EXPECT_EQ(2u, edit->Caret);
    EXPECT_EQ(3u, edit->Anchor);
    Type("Z");
    EXPECT_STREQ(L"abZ", text);
    panel->OnKeyDown(KeyLeft, kKeyShift);
    Key(VK_LEFT);
    EXPECT_EQ(1u, edit->Caret);
    EXPECT_EQ(1u, edit->Anchor);
    Key(VK_DELETE);
    Type("\b");
    EXPECT_STREQ(L"Z", text);

    // Read only refuses changes; the letter filter refuses other codes.
    edit->Flags |= kEditReadOnly;
    notes.clear();
    Type("x\b");
    EXPECT_STREQ(L"Z", text);
    EXPECT_EQ(0, edit->OnKeyDown(KeyDelete, 0) + edit->OnKeyDown('A', 0));
    edit->Flags = kEditLettersOnly;
    text[0] = 0;
    edit->Refresh();
    Type("q1Q_r");
    EXPECT_STREQ(L"qr", text);
    EXPECT_EQ(2u, notes.size());
}

TEST_F(EditWindow, TabSelectsAllButAClickDoesNot) {
    wchar_t first[16] = L"one", second[16] = L"seven";
    CEdit* a = Add("a", first, 16, 120, 10);
    CEdit* b = Add("b", second, 16, 120, 50);
    SetFocusControl(a);
    EXPECT_EQ(0u, a->Anchor);
    Key(VK_TAB);
    EXPECT_EQ(b, FocusedControl());
    EXPECT_FALSE(a->Focused);
    EXPECT_EQ(a->Caret, a->Anchor);
    EXPECT_EQ(0u, b->Anchor);
    EXPECT_EQ(5u, b->Caret);
    UpdateWindow(handle);
    Click(14, 20);
    EXPECT_EQ(a, FocusedControl());
    EXPECT_EQ(a->Anchor, a->Caret);
    EXPECT_TRUE(notes.empty());
}

TEST_F(EditWindow, ClipboardThroughTheEdit) {
    wchar_t text[20];
    for (wchar_t& unit : text) unit = kGuard;
    CopyWide(text, L"abcdefghijklmn", 16);
    CEdit* edit = Add("edit", text, 16, 280);
    SetFocusControl(edit);   // everything selected
    Type("\x03");
    TArray<wchar_t> clip(128);
    GetClipboardText(clip, 128);
    EXPECT_EQ(std::wstring(L"abcdefghijklmn", 15), std::wstring(clip.items, clip.count));

    // Copy of an empty selection empties the clipboard text.
    Key(VK_END);
    Type("\x03");
    TArray<wchar_t> empty(128);
    GetClipboardText(empty, 128);
    EXPECT_EQ(1u, empty.count);

    // Three units into fourteen with capacity 16: nothing, but a commit.
    notes.clear();
    ASSERT_TRUE(SetClipboardText(L"xyz"));
    Type("\x16");
    EXPECT_STREQ(L"abcdefghijklmn", text);
    EXPECT_EQ(std::vector<std::string>{"edit 1"}, notes);

    // More than the capacity is cut to 15 units, then fits only an empty edit.
    text[0] = 0;
    edit->Refresh();
    ASSERT_TRUE(SetClipboardText(L"0123456789ABCDEFGHIJ"));
    Type("\x16");
    EXPECT_STREQ(L"0123456789ABCDE", text);
    EXPECT_EQ(15u, edit->Caret);
    for (int i = 16; i < 20; ++i) EXPECT_EQ(kGuard, text[i]);

    // Cut, then a filtered paste of text with an embedded zero unit.
    panel->OnKeyDown(KeyHome, kKeyShift);
    Type("\x18");
    EXPECT_STREQ(L"", text);
    edit->Flags |= kEditLettersOnly;
    const wchar_t raw[] = L"a1b\0cd";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(raw));
    memcpy(GlobalLock(memory), raw, sizeof(raw));
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    Type("\x16");
    EXPECT_STREQ(L"ab", text);
    EXPECT_EQ(2u, edit->Caret);
}

TEST_F(EditWindow, CommitsOnEnterAndFocusLossOnlyAfterAChange) {
    wchar_t first[16] = L"12", second[16] = L"3";
    CEdit* a = Add("a", first, 16, 120, 10);
    Add("b", second, 16, 120, 50);
    SetFocusControl(a);
    Type("\r");
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(nullptr, FocusedControl());
    SetFocusControl(a);
    Type("7\r");
    EXPECT_EQ((std::vector<std::string>{"a 0", "a 1"}), notes);
    EXPECT_FALSE(a->Focused);

    notes.clear();
    SetFocusControl(a);
    Type("8");
    Click(14, 60);
    EXPECT_EQ((std::vector<std::string>{"a 0", "a 1"}), notes);
    EXPECT_STREQ(L"8", first);
}

TEST_F(EditWindow, PaintsBevelFillClippedTextAndSelection) {
    wchar_t text[32] = L"WWWWWWWWWWWWWWWWWWWW";
    CEdit* edit = Add("edit", text, 32, 60);   // (10, 10) to (70, 34)
    edit->Flags |= kEditCaretAtEnd;
    UpdateWindow(handle);
    EXPECT_EQ(20u, edit->Caret);   // placed at the first paint
    EXPECT_EQ(0u, edit->Flags & kEditPlacePending);
    const uint32_t face = colorSchemes[0][0] & 0xFFFFFF, lit = ScaleColor(face, 5, 4) & 0xFFFFFF;
    Pixels p = ReadPainter(panel->painter);
    EXPECT_EQ(ScaleColor(face, 41, 99) & 0xFFFFFF, p.at(10, 22));   // sunken: dark left edge
    for (int y = 11; y < 33; ++y) EXPECT_EQ(ScaleColor(face, 143, 99) & 0xFFFFFF, p.at(69, y)) << y;
    EXPECT_EQ(face, p.at(11, 11));
    bool textShown = false;
    for (int x = 12; x < 68; ++x) textShown = textShown || p.at(x, 22) != face;
    EXPECT_TRUE(textShown);

    SetFocusControl(edit);   // everything selected
    UpdateWindow(handle);
    p = ReadPainter(panel->painter);
    EXPECT_EQ(lit, p.at(11, 11));              // left of the selection
    EXPECT_EQ(lit ^ 0xFFFFFF, p.at(13, 12));   // inverted inside it

    // The caller shortens the text: the caret comes back to its end.
    CopyWide(text, L"WW", 32);
    edit->Refresh();
    EXPECT_EQ(2u, edit->Caret);
    EXPECT_EQ(2u, edit->Anchor);
}

TEST_F(EditWindow, MeasuresZeroWithoutAnalysisAndRetries) {
    // A root whose painter has no device context: Uniscribe refuses.
    PaintingRoot root;
    wchar_t text[16] = L"";
    CEdit* edit = CreateEdit(text, 16, kEditCaretAtEnd | kEditPlacePending);
    root.AppendChild(edit);
    edit->width = 100;
    edit->height = 24;
    edit->OnChar('a', 0);
    edit->OnChar('b', 0);
    EXPECT_STREQ(L"ab", text);
    EXPECT_EQ(2u, edit->Caret);
    EXPECT_EQ(0, edit->TextX(2, 0));
    EXPECT_EQ(1u, edit->Stale);
    DistinctScheme scheme;
    edit->OnPaint(&root.painter);
    const std::vector<std::string>& draws = root.painter.draws;
    EXPECT_NE(std::find(draws.begin(), draws.end(), "text ab 2,12" + scheme.Ink(2)), draws.end());

    // In a window the next measurement succeeds.
    ASSERT_TRUE(AddControl(nullptr, edit, panel, "edit"));
    SetControlAnchors("edit", panel, 10, 10, 110, 34);
    UpdateWindow(handle);
    EXPECT_EQ(0u, edit->Stale);
    EXPECT_EQ(Edges(L"ab")[2], edit->TextX(2, 0));
    EXPECT_GT(edit->TextX(2, 0), 0);
}

TEST_F(EditWindow, BenchmarkCaretMoveAllocatesNothing) {
    wchar_t text[32] = L"fifteen letters";
    CEdit* edit = Add("edit", text, 32, 280);
    SetFocusControl(edit);
    Key(VK_HOME);
    Key(VK_RIGHT);   // warm: the analysis exists
    const int rounds = 200;
    CountingHeap heap;
    const double start = Now();
    for (int r = 0; r < rounds; ++r) {
        panel->OnKeyDown(KeyHome, 0);
        for (int i = 0; i < 15; ++i) panel->OnKeyDown(KeyRight, 0);
    }
    const double perKey = (Now() - start) * 1000.0 / (rounds * 16);
    EXPECT_EQ(0, heap.allocations);
    EXPECT_EQ(15u, edit->Caret);
    std::printf("[ BENCH    ] caret move: %.2f us per key, %d allocations over %d keys\n", perKey,
                heap.allocations, rounds * 16);
}
