// What the controls tell a screen reader, without COM or a window: each
// control's own answer and the application's amendment, as table rows; the
// order the client lists them in and the hit test; the slider's keys.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/AccessibleNames.h"
#include "app/InfoPanel.h"
#include "controls/CtlButton.h"
#include "controls/CtlEdit.h"
#include "controls/CtlLabel.h"
#include "controls/CtlList.h"
#include "controls/CtlScroll.h"
#include "controls/CtlSlider.h"
#include "controls/Curve.h"
#include "heap_checks.h"
#include "panel/Accessible.h"
#include "rtl/Str.h"
#include "sound/Envelope.h"

namespace {

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (; *text; ++text) s += char(*text);
    return s;
}

// "role name|value|description|action state", with "-" for none.
std::string Facts(CControl* control, uint32_t child = 0) {
    AccessibleFacts f;
    DescribeControl(control, child, f);
    return std::to_string(f.role) + " " + (f.name ? Narrow(f.name) : "-") + "|" + (f.hasValue ? Narrow(f.value) : "-") +
           "|" + (f.description[0] ? Narrow(f.description) : "-") + "|" + (f.action ? Narrow(f.action) : "-") + " " +
           std::to_string(f.state);
}

const uint32_t kFocusable = STATE_SYSTEM_FOCUSABLE;

// A root that lays its children out over 100 x 48 and deletes them with
// itself; shared ones (the curve) are released by the caller.
struct SizedRoot : CControl {
    explicit SizedRoot(std::initializer_list<CControl*> children, LONG w = 100, LONG h = 48) {
        for (CControl* c : children) AppendChild(c);
        SetSize(SIZE{w, h});
    }
};

}  // namespace

TEST(AccessibleFacts, EachControlAnswersForItself) {
    LiveBlocks live;
    wchar_t text[8] = L"0.25";
    float bound = 0.3f;
    int32_t position = 24;
    struct Row {
        CControl* control;
        std::string facts;
    };
    CButton* pressed = CreateButton(L"Save");
    pressed->Pressed = 1;
    CEdit* readOnly = CreateEdit(text, 8, kEditReadOnly);
    const std::vector<Row> rows = {
        {CreateButton(L"Play"), std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Play|-|-|Press " + std::to_string(kFocusable)},
        {pressed, std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Save|-|-|Press " +
                      std::to_string(kFocusable | STATE_SYSTEM_PRESSED)},
        {CreateLabel(L"Wave Index"), std::to_string(ROLE_SYSTEM_STATICTEXT) + " Wave Index|-|-|- " +
                                         std::to_string(STATE_SYSTEM_READONLY)},
        {CreateEdit(text, 8, 0), std::to_string(ROLE_SYSTEM_TEXT) + " -|0.25|-|- " + std::to_string(kFocusable)},
        {readOnly, std::to_string(ROLE_SYSTEM_TEXT) + " -|0.25|-|- " + std::to_string(kFocusable | STATE_SYSTEM_READONLY)},
        {CreateSlider(&bound), std::to_string(ROLE_SYSTEM_SLIDER) + " -|0.3|-|- " + std::to_string(kFocusable)},
        {CreateScrollBar(&position), std::to_string(ROLE_SYSTEM_SCROLLBAR) + " -|24|-|- 0"},
        {CreateCurve(nullptr), std::to_string(ROLE_SYSTEM_DIAGRAM) + " -|-|-|- 0"},
        {NewControl<CControl>(__FILE__, __LINE__), "0 -|-|-|- 0"},
    };
    CCurve* curve = static_cast<CCurve*>(rows[7].control);
    {
        SizedRoot root({});
        for (const Row& row : rows) root.AppendChild(row.control);
        root.SetSize(SIZE{100, 48});
        for (const Row& row : rows) EXPECT_EQ(row.facts, Facts(row.control)) << row.facts;
    }
    curve->Destroy(1);
    // No area: invisible.
    CButton* flat = CreateButton(L"Flat");
    EXPECT_EQ(std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Flat|-|-|Press " +
                  std::to_string(kFocusable | STATE_SYSTEM_INVISIBLE),
              Facts(flat));
    flat->Destroy(1);
    EXPECT_EQ(0, live.Added());
}

TEST(AccessibleFacts, ListRowsAreSimpleChildrenInDisplayOrder) {
    const wchar_t* names[] = {L"Strings", L"bass", L"Celesta", L"Agogo", L"Flute", L"Oboe"};
    int32_t item = 2;   // "Celesta", row 2 once sorted
    CList* list = CreateList(6, names, &item, kListSorted);
    // Four rows' height (12 each) inside the insets: rows 4 and 5 lie below.
    SizedRoot root({list}, 100, 2 * kListInset + 4 * kListRowHeight - 6);
    AccessibleFacts f;
    DescribeControl(list, 0, f);
    EXPECT_EQ(ROLE_SYSTEM_LIST, f.role);
    EXPECT_EQ(6u, f.childCount);
    EXPECT_EQ(3u, f.selectedChild);
    EXPECT_TRUE(f.state & STATE_SYSTEM_FOCUSABLE);
    const uint32_t row = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    const std::string item0 = std::to_string(ROLE_SYSTEM_LISTITEM);
    struct Child {
        uint32_t child;
        std::string facts;
        LONG top;
    };
    const std::vector<Child> children = {
        {1, item0 + " Agogo|-|-|Select " + std::to_string(row), kListInset},
        {2, item0 + " bass|-|-|Select " + std::to_string(row), kListInset + 12},
        {3, item0 + " Celesta|-|-|Select " + std::to_string(row | STATE_SYSTEM_SELECTED), kListInset + 24},
        {4, item0 + " Flute|-|-|Select " + std::to_string(row), kListInset + 36},   // cut off, still shown
        {5, item0 + " Oboe|-|-|Select " + std::to_string(row | STATE_SYSTEM_OFFSCREEN), kListInset + 48},
        {6, item0 + " Strings|-|-|Select " + std::to_string(row | STATE_SYSTEM_OFFSCREEN), kListInset + 60},
    };
    for (const Child& c : children) {
        EXPECT_EQ(c.facts, Facts(list, c.child)) << c.child;
        DescribeControl(list, c.child, f);
        EXPECT_EQ(c.top, f.rect.top) << c.child;
        EXPECT_EQ(kListRowHeight, f.rect.bottom - f.rect.top);
        // The row's middle hits the row; the scroll strip hits none.
        EXPECT_EQ(c.top + 6 < list->height ? c.child : 0u, list->AccessibleChildAt(POINT{20, c.top + 6})) << c.child;
    }
    EXPECT_EQ(0u, list->AccessibleChildAt(POINT{list->width - kListScrollWidth, kListInset + 6}));
    // Scrolled by a row: the first is off screen, the fifth comes in.
    list->ScrollY = kListRowHeight;
    EXPECT_TRUE(Facts(list, 1).find(std::to_string(row | STATE_SYSTEM_OFFSCREEN)) != std::string::npos);
    EXPECT_EQ(5u, list->AccessibleChildAt(POINT{20, kListInset + 36 + 6}));
}

TEST(AccessibleFacts, TheApplicationNamesWhatOnlyItKnows) {
    envelopeParams[0] = 0.0f;
    envelopeParams[1] = 0.5f;
    envelopeParams[2] = 0.25f;
    CopyWide(envelopeTexts[2], L"0.250", kEnvelopeTextUnits);
    SetAccessibleAmend(DescribeAppControl);
    wchar_t text[8] = L"0.5";
    float bound = 0.5f;
    int32_t scroll = 0;
    const wchar_t* names[] = {L"Piano"};
    CList* list = CreateList(1, names, nullptr, 0);
    CScrollBar* stray = CreateScrollBar(&scroll);
    struct Row {
        CControl* control;
        const char* name;
        std::string facts;
    };
    const std::string label = std::to_string(ROLE_SYSTEM_STATICTEXT) + " ";
    const std::string button = std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " ";
    const std::string ro = " " + std::to_string(STATE_SYSTEM_READONLY);
    const std::string focusable = " " + std::to_string(kFocusable);
    const std::vector<Row> rows = {
        {list, "list", std::to_string(ROLE_SYSTEM_LIST) + " Instruments|-|-|-" + focusable},
        {CreateLabel(L"47"), "waveIndex0", label + "Wave Index|47|-|-" + ro},
        {CreateLabel(L"1096"), "ofs0", label + "Byte Offset|1096|-|-" + ro},
        {CreateLabel(L"8"), "loopStart0", label + "Loop Start|8|-|-" + ro},
        {CreateLabel(L"120"), "loopEnd0", label + "Loop Length|120|-|-" + ro},
        {CreateLabel(L"Wave Index"), "waveIndexHdr", label + "Wave Index|-|-|-" + ro},
        {CreateButton(L"Play"), "play0", button + "Play|-|Raw Wave|Press" + focusable},
        {CreateButton(L"Save"), "save0", button + "Save|-|Raw Wave|Press" + focusable},
        {CreateButton(L"Play"), "arPlay", button + "Play|-|Envelope|Press" + focusable},
        {CreateButton(L"Save"), "arSave", button + "Save|-|Envelope|Press" + focusable},
        {CreateEdit(text, 8, 0), "edt_Sustain", std::to_string(ROLE_SYSTEM_TEXT) + " Sustain|0.5|-|-" + focusable},
        {CreateSlider(&bound), "Release", std::to_string(ROLE_SYSTEM_SLIDER) + " Release|0.250|-|-" + focusable},
        {CreateCurve(nullptr), "curve",
         std::to_string(ROLE_SYSTEM_DIAGRAM) + " Envelope curve|-|Attack 0 s, Sustain 0.5 s, Release 0.25 s|- 0"},
        {stray, "scroll", std::to_string(ROLE_SYSTEM_SCROLLBAR) + " -|0|-|- 0"},
    };
    CCurve* curve = static_cast<CCurve*>(rows[12].control);
    {
        SizedRoot root({});
        for (const Row& row : rows) {
            root.AppendChild(row.control);
            row.control->SetName(row.name);
        }
        root.SetSize(SIZE{100, 48});
        for (const Row& row : rows) EXPECT_EQ(row.facts, Facts(row.control)) << row.name;
        // The list's own scroll bar carries the list's name.
        EXPECT_EQ(std::to_string(ROLE_SYSTEM_SCROLLBAR) + " Instruments|0|-|- 0", Facts(list->ScrollBar));
        SetAccessibleAmend(nullptr);
        EXPECT_EQ(std::to_string(ROLE_SYSTEM_LIST) + " -|-|-|-" + focusable, Facts(list));
    }
    curve->Destroy(1);
}

TEST(AccessibleTree, ContainersPassTheirChildrenThroughAndHitsFindTheInnermost) {
    // root (no role) -> box (no role, at 10,10) -> label, list (with its
    // scroll bar); then a button.
    CControl root;
    CControl* box = NewControl<CControl>(__FILE__, __LINE__);
    CLabel* label = CreateLabel(L"Name");
    const wchar_t* names[] = {L"A", L"B"};
    CList* list = CreateList(2, names, nullptr, 0);
    CButton* button = CreateButton(L"Play");
    root.AppendChild(box);
    box->AppendChild(label);
    box->AppendChild(list);
    root.AppendChild(button);
    box->SetAnchors({10, kAnchorNear}, {10, kAnchorNear}, {110, kAnchorNear}, {110, kAnchorNear});
    label->SetAnchors({0, kAnchorNear}, {0, kAnchorNear}, {100, kAnchorNear}, {12, kAnchorNear});
    list->SetAnchors({0, kAnchorNear}, {20, kAnchorNear}, {100, kAnchorNear}, {100, kAnchorNear});
    button->SetAnchors({120, kAnchorNear}, {10, kAnchorNear}, {170, kAnchorNear}, {30, kAnchorNear});
    root.SetSize(SIZE{200, 200});

    const std::vector<CControl*> order = {label, list, list->ScrollBar, button};
    ASSERT_EQ(order.size(), AccessibleCount(&root));
    for (uint32_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(order[i], AccessibleAt(&root, i + 1)) << i;
        EXPECT_EQ(i + 1, AccessibleIndexOf(&root, order[i])) << i;
    }
    EXPECT_EQ(nullptr, AccessibleAt(&root, 0));
    EXPECT_EQ(nullptr, AccessibleAt(&root, 5));
    EXPECT_EQ(0u, AccessibleIndexOf(&root, box));

    struct Hit {
        POINT at;
        CControl* found;
    };
    const std::vector<Hit> hits = {
        {{15, 15}, label},     {{15, 40}, list},  {{105, 40}, list->ScrollBar}, {{130, 20}, button},
        {{15, 25}, nullptr},   {{5, 5}, nullptr}, {{150, 150}, nullptr},
    };
    for (const Hit& h : hits) EXPECT_EQ(h.found, AccessibleHit(&root, h.at)) << h.at.x << "," << h.at.y;
    const RECT r = RectInRoot(list->ScrollBar, RECT{0, 0, 1, 1});
    EXPECT_TRUE(r.left == 10 + 100 - kListScrollWidth && r.top == 30);
}

TEST(SliderKeys, StepsOfAHundredthHeldToTheRange) {
    struct Row {
        int32_t key;
        float value, min, max;
        bool handled;
        float moved;
    };
    const float nan = std::nanf("");
    const std::vector<Row> rows = {
        {KeyRight, 0.5f, 0, 1, true, 0.51f},   {KeyUp, 0.5f, 0, 1, true, 0.51f},
        {KeyLeft, 0.5f, 0, 1, true, 0.49f},    {KeyDown, 0.0f, 0, 1, true, 0.0f},
        {KeyPageUp, 0.95f, 0, 1, true, 1.0f},  {KeyPageDown, 0.3f, 0, 1, true, 0.2f},
        {KeyHome, 0.7f, 0, 1, true, 0.0f},     {KeyEnd, 0.7f, 0, 1, true, 1.0f},
        {KeyLeft, 60.0f, 0, 1, true, 0.99f},   {KeyRight, nan, 0, 1, true, 0.01f},
        {KeyRight, 0.304f, 0, 1, true, 0.31f}, {KeyRight, 5.0f, 0, 10, true, 5.1f},
        {KeyRight, 0.5f, 1, 1, true, 0.5f},    {KeyTab, 0.5f, 0, 1, false, 0.0f},
        // Held just below a hundredth (0.29f is 0.28999...) or just above
        // (0.1f is 0.10000...1): the step starts from the nearest one.
        {KeyRight, 0.29f, 0, 1, true, 0.3f},   {KeyLeft, 0.29f, 0, 1, true, 0.28f},
        {KeyRight, 0.7f, 0, 1, true, 0.71f},   {KeyLeft, 0.58f, 0, 1, true, 0.57f},
        {KeyRight, 0.1f, 0, 1, true, 0.11f},   {KeyLeft, 0.1f, 0, 1, true, 0.09f},
    };
    for (const Row& r : rows) {
        float moved = 0.0f;
        EXPECT_EQ(r.handled, SliderKeyValue(r.key, r.value, r.min, r.max, moved)) << r.key << " " << r.value;
        if (r.handled) {
            EXPECT_EQ(r.moved, moved) << r.key << " " << r.value;
        }
    }
}
