#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/Control.h"
#include "panel/RefObject.h"
#include "heap_checks.h"
#include "panel_window.h"
#include "recording.h"

namespace {

std::vector<std::string> events;

// A control that records what reaches it. A quiet one (a root) records
// only the invalidations that reach it and routes everything else.
struct Probe : CControl {
    int focusable = 0;
    int consumeKeys = 0;
    bool quiet = false;
    std::string tag;

    int CanFocus() override { return focusable; }
    void OnFocus(int gained) override { events.push_back(tag + (gained ? " focus" : " blur")); }
    void OnMouseDown(int32_t button, uint32_t mods, POINT p) override {
        if (quiet) return CControl::OnMouseDown(button, mods, p);
        events.push_back(tag + " down " + std::to_string(button) + "/" + std::to_string(mods) + " " +
                         std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void OnMouseMove(uint32_t mods, POINT p) override {
        if (quiet) return CControl::OnMouseMove(mods, p);
        events.push_back(tag + " move " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void OnMouseWheel(int32_t delta, uint32_t mods, POINT p) override {
        if (quiet) return CControl::OnMouseWheel(delta, mods, p);
        events.push_back(tag + " wheel " + std::to_string(delta) + " " + std::to_string(p.x) + "," +
                         std::to_string(p.y));
    }
    void OnPaint(IPainter* painter) override {
        if (!quiet) events.push_back(tag + " paint");
        CControl::OnPaint(painter);
    }
    void OnResize(SIZE s) override {
        if (!quiet) events.push_back(tag + " resize " + std::to_string(s.cx) + "x" + std::to_string(s.cy));
    }
    void InvalidateRect(const RECT& r) override {
        if (!parent)
            events.push_back(tag + " invalid " + std::to_string(r.left) + "," + std::to_string(r.top) +
                             "," + std::to_string(r.right) + "," + std::to_string(r.bottom));
        CControl::InvalidateRect(r);
    }
    int OnKeyDown(int32_t key, uint32_t mods) override {
        if (consumeKeys) {
            events.push_back(tag + " key " + std::to_string(key));
            return 1;
        }
        return CControl::OnKeyDown(key, mods);
    }
    int OnChar(int32_t key, uint32_t mods) override {
        if (consumeKeys) {
            events.push_back(tag + " char " + std::to_string(key));
            return 1;
        }
        return CControl::OnChar(key, mods);
    }
    ~Probe() override {
        if (!quiet) events.push_back(tag + " gone");
    }
};

// A root that keeps notifications the way a window does: each with a
// private copy of the name.
struct Notification {
    ControlCallback target;
    uint32_t data;
    std::string name;
    int32_t value;
};

struct QueueRoot : Probe {
    std::vector<Notification> queue;
    void QueueNotification(ControlCallback t, uint32_t d, const char* n, int32_t v) override {
        queue.push_back({t, d, n ? n : "", v});
    }
    void Deliver() {
        for (const Notification& e : queue) e.target(e.data, e.name.c_str(), e.value);
        queue.clear();
    }
};

struct Shared : Probe, CRefObject {
    int IsRefCounted() override { return 1; }
    void Destroy(uint32_t f) override { Probe::Destroy(f); }
};

template <class T = Probe>
T* Make(const char* tag, CControl* parentControl = nullptr) {
    T* c = NewControl<T>("control_test", __LINE__);
    c->tag = tag;
    if (parentControl) parentControl->AppendChild(c);
    return c;
}

void Size(CControl* c, int32_t w, int32_t h) {
    const SIZE s = {w, h};
    c->SetSize(s);
}

ControlAnchor A(int16_t offset, uint16_t mode) { return ControlAnchor{offset, mode}; }

RECT Rect(const CControl* c) { return CControl::RectOf(c); }

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        baseline.Restart();
    }
    void TearDown() override {
        if (root) root->Destroy(1);
        EXPECT_EQ(nullptr, FocusedControl());
        EXPECT_EQ(nullptr, CaptureControl());
        EXPECT_EQ(0, baseline.Added());
    }
    Probe* NewRoot(int32_t w, int32_t h) {
        Probe* r = Make("root");
        r->quiet = true;
        root = r;
        Size(root, w, h);
        events.clear();
        return r;
    }
    LiveBlocks baseline;
    CControl* root = nullptr;
};

}  // namespace

TEST(ControlKeys, VirtualKeysAndCharactersTranslate) {
    const struct { uint32_t vk; int32_t code; } keys[] = {
        {VK_BACK, KeyBackspace}, {VK_DELETE, KeyDelete}, {VK_DOWN, KeyDown},     {VK_END, KeyEnd},
        {VK_RETURN, KeyEnter},   {VK_ESCAPE, KeyEscape}, {VK_HOME, KeyHome},     {VK_LEFT, KeyLeft},
        {VK_NEXT, KeyPageDown},  {VK_PRIOR, KeyPageUp},  {VK_SPACE, KeySpace},   {VK_RIGHT, KeyRight},
        {VK_SUBTRACT, KeyMinus}, {VK_OEM_MINUS, KeyMinus}, {VK_TAB, KeyTab},     {VK_ADD, KeyPlus},
        {VK_OEM_PLUS, KeyPlus},  {VK_UP, KeyUp},
    };
    for (const auto& k : keys) EXPECT_EQ(k.code, TranslateVirtualKey(k.vk)) << k.vk;
    EXPECT_EQ(274, KeyUp);
    EXPECT_EQ(272, KeyTab);
    // Other virtual keys pass unchanged, letters and function keys alike.
    EXPECT_EQ('A', TranslateVirtualKey('A'));
    EXPECT_EQ(VK_F5, TranslateVirtualKey(VK_F5));
    EXPECT_EQ(VK_SHIFT, TranslateVirtualKey(VK_SHIFT));

    EXPECT_EQ(KeyBackspace, TranslateCharCode(8));
    EXPECT_EQ(KeyCopy, TranslateCharCode(3));
    EXPECT_EQ(KeyCut, TranslateCharCode(24));
    EXPECT_EQ(KeyEnter, TranslateCharCode(13));
    EXPECT_EQ(KeyPaste, TranslateCharCode(22));
    for (uint32_t c : {2u, 9u, 10u, 27u, 29u}) EXPECT_EQ(-1, TranslateCharCode(c)) << c;
    for (uint32_t c : {0u, 1u, 30u, 31u, 32u, uint32_t('a'), 0xE9u, 255u}) EXPECT_EQ(int32_t(c), TranslateCharCode(c)) << c;
}

TEST(ControlAnchors, ModesAndWords) {
    EXPECT_EQ(7, AnchorCoordinate(A(7, kAnchorNear), 500));
    EXPECT_EQ(498, AnchorCoordinate(A(-2, kAnchorFar), 500));
    EXPECT_EQ(251, AnchorCoordinate(A(1, kAnchorHalf), 501));         // 501 / 2 truncates
    EXPECT_EQ(125, AnchorCoordinate(A(0, kAnchorQuarter), 501));
    EXPECT_EQ(376, AnchorCoordinate(A(0, kAnchorThreeQuarters), 501));  // 501 - 125
    EXPECT_EQ(-10, AnchorCoordinate(A(-10, kAnchorNear), 0));

    const ControlAnchor far2 = AnchorFromWord(0x1FFFE);
    EXPECT_EQ(-2, far2.offset);
    EXPECT_EQ(kAnchorFar, far2.mode);
    const ControlAnchor far64 = AnchorFromWord(0x1FFC0);
    EXPECT_EQ(-64, far64.offset);
    EXPECT_EQ(kAnchorFar, far64.mode);
    const ControlAnchor near362 = AnchorFromWord(362);
    EXPECT_EQ(362, near362.offset);
    EXPECT_EQ(kAnchorNear, near362.mode);
}

TEST_F(ControlTest, DefaultAnchorsFillTheParent) {
    NewRoot(592, 480);
    Probe* child = Make("child", root);
    EXPECT_EQ(0, child->width);
    root->Layout();
    EXPECT_TRUE(SameRect(Rect(child), 0, 0, 592, 480));
    EXPECT_EQ(root, child->parent);
    EXPECT_EQ(nullptr, child->callback);
    EXPECT_EQ(0u, child->userData);
    EXPECT_EQ(0u, child->flags);
    EXPECT_EQ(nullptr, child->name);
}

TEST_F(ControlTest, MixedAnchorsAndResizeOrder) {
    NewRoot(500, 300);
    Probe* child = Make("child", root);
    child->SetAnchors(A(362, kAnchorNear), A(16, kAnchorNear), A(-2, kAnchorFar), A(28, kAnchorNear));
    Probe* inner = Make("inner", child);   // fills the child
    root->Layout();
    EXPECT_TRUE(SameRect(Rect(child), 362, 16, 498, 28));
    // SetSize lays out the child's own children, then resizes, then invalidates.
    EXPECT_TRUE(SameRect(Rect(inner), 0, 0, 136, 12));
    const std::vector<std::string> expected = {"inner resize 136x12", "root invalid 362,16,498,28",
                                               "child resize 136x12", "root invalid 362,16,498,28"};
    EXPECT_EQ(expected, events);

    // Moving alone does not resize or invalidate.
    events.clear();
    child->SetAnchors(A(300, kAnchorNear), A(20, kAnchorNear), A(436, kAnchorNear), A(32, kAnchorNear));
    root->Layout();
    EXPECT_TRUE(SameRect(Rect(child), 300, 20, 436, 32));
    EXPECT_TRUE(events.empty());
    // The same anchors follow a wider parent.
    child->SetAnchors(A(362, kAnchorNear), A(16, kAnchorNear), A(-2, kAnchorFar), A(28, kAnchorNear));
    Size(root, 600, 300);
    EXPECT_TRUE(SameRect(Rect(child), 362, 16, 598, 28));
}

TEST_F(ControlTest, InvertedAnchorsGiveAnEmptyChildNeitherPaintedNorHit) {
    NewRoot(200, 100);
    Probe* empty = Make("empty", root);
    empty->SetAnchors(A(150, kAnchorNear), A(10, kAnchorNear), A(100, kAnchorNear), A(50, kAnchorNear));
    Probe* flat = Make("flat", root);   // equal edges: empty at its place
    flat->SetAnchors(A(40, kAnchorNear), A(10, kAnchorNear), A(40, kAnchorNear), A(60, kAnchorNear));
    Probe* tall = Make("tall", root);   // bottom above top
    tall->SetAnchors(A(0, kAnchorNear), A(80, kAnchorNear), A(10, kAnchorNear), A(-50, kAnchorFar));
    root->Layout();
    EXPECT_TRUE(SameRect(Rect(empty), 0, 0, 0, 0));
    EXPECT_TRUE(SameRect(Rect(flat), 40, 10, 40, 60));
    EXPECT_TRUE(SameRect(Rect(tall), 0, 0, 0, 0));
    events.clear();
    RecordingPainter painter;
    root->OnPaint(&painter);
    const POINT points[] = {{0, 0}, {40, 20}, {120, 30}};
    for (POINT p : points) root->OnMouseDown(kMouseLeft, 0, p);
    EXPECT_TRUE(events.empty());
}

TEST_F(ControlTest, OverlapFirstAddedIsHitLastAddedPaintsOnTop) {
    NewRoot(100, 100);
    Probe* first = Make("first", root);
    first->SetAnchors(A(10, kAnchorNear), A(10, kAnchorNear), A(60, kAnchorNear), A(60, kAnchorNear));
    Probe* second = Make("second", root);
    second->SetAnchors(A(40, kAnchorNear), A(40, kAnchorNear), A(90, kAnchorNear), A(90, kAnchorNear));
    root->Layout();
    events.clear();
    root->OnMouseDown(kMouseLeft, kMouseCtrl, POINT{50, 50});
    root->OnMouseDown(kMouseRight, kMouseShift, POINT{80, 85});
    root->OnMouseWheel(-120, 0, POINT{10, 59});
    root->OnMouseMove(0, POINT{5, 5});   // over no child: dropped
    RecordingPainter painter;
    root->OnPaint(&painter);
    const std::vector<std::string> expected = {"first down 1/1 40,40", "second down 4/2 40,45",
                                               "first wheel -120 0,49", "first paint", "second paint"};
    EXPECT_EQ(expected, events);
    EXPECT_EQ(0, painter.clipDepth);
    EXPECT_TRUE(painter.origins.empty());
}

TEST_F(ControlTest, EventsDescendOneLevelAtATime) {
    NewRoot(300, 200);
    CControl* group = NewControl<CControl>("control_test", __LINE__);   // routes by default
    root->AppendChild(group);
    group->SetAnchors(A(100, kAnchorNear), A(50, kAnchorNear), A(0, kAnchorFar), A(0, kAnchorFar));
    Probe* leaf = Make("leaf", group);
    leaf->SetAnchors(A(20, kAnchorNear), A(30, kAnchorNear), A(60, kAnchorNear), A(70, kAnchorNear));
    root->Layout();
    events.clear();
    root->OnMouseDown(kMouseMiddle, 0, POINT{125, 85});
    EXPECT_EQ(std::vector<std::string>{"leaf down 2/0 5,5"}, events);
    // Invalidation climbs with each level's offset.
    events.clear();
    leaf->InvalidateRect(RECT{1, 2, 3, 4});
    EXPECT_EQ(std::vector<std::string>{"root invalid 121,82,123,84"}, events);
}

TEST_F(ControlTest, CaptureTakesEveryEventInItsOwnCoordinates) {
    NewRoot(300, 200);
    Probe* left = Make("left", root);
    left->SetAnchors(A(0, kAnchorNear), A(0, kAnchorNear), A(100, kAnchorNear), A(0, kAnchorFar));
    Probe* right = Make("right", root);
    right->SetAnchors(A(200, kAnchorNear), A(50, kAnchorNear), A(0, kAnchorFar), A(0, kAnchorFar));
    root->Layout();
    right->SetCapture(1);
    EXPECT_EQ(right, CaptureControl());
    events.clear();
    root->OnMouseMove(0, POINT{10, 20});      // over "left", far outside "right"
    root->OnMouseMove(0, POINT{-30, -40});    // outside the window
    root->OnMouseDown(kMouseLeft, 0, POINT{250, 100});
    const std::vector<std::string> expected = {"right move -190,-30", "right move -230,-90",
                                               "right down 1/0 50,50"};
    EXPECT_EQ(expected, events);
    right->SetCapture(0);
    EXPECT_EQ(nullptr, CaptureControl());
    events.clear();
    root->OnMouseMove(0, POINT{10, 20});
    EXPECT_EQ(std::vector<std::string>{"left move 10,20"}, events);

    // A capturing control that goes away releases the capture.
    left->SetCapture(1);
    left->Destroy(1);
    EXPECT_EQ(nullptr, CaptureControl());
}

TEST_F(ControlTest, AControlThatConsumesTabKeepsIt) {
    NewRoot(100, 100);
    Probe* a = Make("a", root);
    a->focusable = 1;
    Probe* b = Make("b", root);
    b->focusable = 1;
    (void)a;

    // A control that consumes its keys keeps Tab to itself.
    b->consumeKeys = 1;
    SetFocusControl(b);
    events.clear();
    EXPECT_EQ(1, root->OnKeyDown(KeyTab, 0));
    EXPECT_EQ(1, root->OnChar('x', 0));
    EXPECT_EQ(b, FocusedControl());
    EXPECT_EQ((std::vector<std::string>{"b key 272", "b char 120"}), events);
    // Keys and characters nobody consumes answer 0.
    SetFocusControl(nullptr);
    EXPECT_EQ(0, root->OnChar('x', 0));
    EXPECT_EQ(0, root->OnKeyUp(KeyEnter, 0));
}

// Only the root walks, one control per Tab, through the whole tree, wrapping.
TEST_F(ControlTest, TabWalksTheTreeAndWraps) {
    NewRoot(100, 100);
    Probe* a = Make("a", root);
    Probe* box = Make("box", root);   // takes no focus, holds two that do
    Probe* b = Make("b", box);
    Probe* c = Make("c", box);
    Probe* d = Make("d", root);
    for (Probe* p : {a, b, c, d}) p->focusable = 1;
    const struct {
        Probe* from;
        uint32_t modifiers;
        Probe* to;
    } rows[] = {{a, 0, b}, {b, 0, c}, {c, 0, d}, {d, 0, a}, {a, kKeyShift, d}, {d, kKeyShift, c},
                {b, kKeyShift, a}, {nullptr, 0, a}, {nullptr, kKeyShift, d}};
    for (const auto& row : rows) {
        SetFocusControl(row.from);
        root->OnKeyDown(KeyTab, row.modifiers);
        EXPECT_EQ(row.to, FocusedControl()) << (row.from ? row.from->tag : "none") << " " << row.modifiers;
    }
    // The only focusable control keeps the focus; with none, nothing moves.
    for (Probe* p : {a, b, c}) p->focusable = 0;
    SetFocusControl(d);
    root->OnKeyDown(KeyTab, 0);
    EXPECT_EQ(d, FocusedControl());
    d->focusable = 0;
    EXPECT_EQ(nullptr, NextFocusable(root, d, false));
}

TEST_F(ControlTest, FocusMovesWithCallsAndLeavesSilentlyOnDestruction) {
    NewRoot(100, 100);
    Probe* a = Make("a", root);
    Probe* b = Make("b", root);
    SetFocusControl(a);
    SetFocusControl(a);   // already focused: no second call
    SetFocusControl(b);
    EXPECT_EQ((std::vector<std::string>{"a focus", "a blur", "b focus"}), events);
    events.clear();
    b->Destroy(1);
    EXPECT_EQ(nullptr, FocusedControl());
    EXPECT_EQ(std::vector<std::string>{"b gone"}, events);
    EXPECT_EQ(a, root->FirstChild());
    EXPECT_EQ(nullptr, root->NextChild(a));
}

TEST_F(ControlTest, NotificationsCarryTheNameOfTheirTime) {
    QueueRoot* window = Make<QueueRoot>("window");
    window->quiet = true;
    root = window;
    Size(window, 100, 100);
    notes.clear();
    Probe* button = Make("button", window);
    button->SetName("play");
    button->SetCallback(RecordNoteWithData, 7);
    Probe* silent = Make("silent", window);
    silent->SetName("quiet");

    button->Notify(1);
    button->SetName("save");
    button->Notify(2);
    silent->Notify(3);     // no callback: nothing queued
    button->NotifyNow(4);  // at once, with today's name
    EXPECT_EQ(std::vector<std::string>{"7 save 4"}, notes);
    ASSERT_EQ(2u, window->queue.size());
    // The entries do not refer to the control: it may be gone by delivery.
    button->Destroy(1);
    window->Deliver();
    EXPECT_EQ((std::vector<std::string>{"7 save 4", "7 play 1", "7 save 2"}), notes);

    // A root without a queue drops notifications.
    Probe* lonely = Make("lonely");
    lonely->quiet = true;
    lonely->SetCallback(RecordNoteWithData, 1);
    lonely->Notify(5);
    EXPECT_EQ(3u, notes.size());
    lonely->Destroy(1);
}

TEST_F(ControlTest, TeardownDeletesOrdinaryChildrenAndDetachesSharedOnes) {
    NewRoot(200, 100);
    CControlRegistry registry(root->RegistryHashOffset(), root->RegistryLinkOffset(),
                              root->BucketLinkOffset());
    Probe* splitter = Make("splitter", root);
    Probe* pane = Make("pane", splitter);
    Shared* panel = Make<Shared>("panel", splitter);
    panel->AddRef();
    Probe* inside = Make("inside", panel);
    for (CControl* c : {static_cast<CControl*>(splitter), static_cast<CControl*>(pane),
                        static_cast<CControl*>(panel), static_cast<CControl*>(inside)}) {
        Probe* p = static_cast<Probe*>(c);
        p->SetName(p->tag.c_str());
        registry.Insert(c, HashName(c->name));
    }
    ASSERT_EQ(pane, FindName(registry, "pane"));
    events.clear();
    splitter->Destroy(1);
    // The splitter's own destructor runs before the base deletes its children.
    EXPECT_EQ((std::vector<std::string>{"splitter gone", "pane gone"}), events);
    // Gone from the tree and the registry; the shared panel lives on, detached.
    EXPECT_EQ(nullptr, root->FirstChild());
    EXPECT_EQ(nullptr, FindName(registry, "pane"));
    EXPECT_EQ(nullptr, FindName(registry, "splitter"));
    EXPECT_EQ(panel, FindName(registry, "panel"));
    EXPECT_EQ(nullptr, panel->parent);
    EXPECT_EQ(nullptr, panel->NextSibling());
    EXPECT_EQ(inside, panel->FirstChild());
    EXPECT_EQ(panel, inside->Root());
    events.clear();
    EXPECT_EQ(0, panel->Release());
    EXPECT_EQ((std::vector<std::string>{"panel gone", "inside gone"}), events);
    EXPECT_EQ(nullptr, registry.First());
}

TEST_F(ControlTest, PaintingSkipsWhatMissesTheUpdateAndClipsWhenAsked) {
    NewRoot(200, 100);
    Probe* a = Make("a", root);
    a->SetAnchors(A(0, kAnchorNear), A(0, kAnchorNear), A(50, kAnchorNear), A(50, kAnchorNear));
    Probe* b = Make("b", root);
    b->SetAnchors(A(50, kAnchorNear), A(0, kAnchorNear), A(100, kAnchorNear), A(50, kAnchorNear));
    Probe* inner = Make("inner", b);
    inner->SetAnchors(A(10, kAnchorNear), A(10, kAnchorNear), A(20, kAnchorNear), A(30, kAnchorNear));
    root->Layout();
    events.clear();
    RecordingPainter painter;
    painter.hasUpdate = true;
    painter.update = RECT{60, 0, 200, 100};   // "a" only touches its left edge
    root->OnPaint(&painter);
    EXPECT_EQ((std::vector<std::string>{"b paint", "inner paint"}), events);
    EXPECT_TRUE(painter.calls.empty());   // no clipping without the flag

    events.clear();
    painter.calls.clear();
    root->flags |= kControlClipChildren;
    painter.hasUpdate = false;
    root->OnPaint(&painter);
    EXPECT_EQ((std::vector<std::string>{"a paint", "b paint", "inner paint"}), events);
    // Only the root clips its children; b does not clip "inner".
    EXPECT_EQ((std::vector<std::string>{"clip 50x50", "clip 50x50"}), painter.calls);
    EXPECT_EQ(0, painter.clipDepth);
    EXPECT_TRUE(painter.origins.empty());
    EXPECT_EQ(0, painter.origin.x);

    root->PreparePainter(&painter);
    EXPECT_EQ("font Verdana 10 0", painter.calls.back());
}

namespace {
// A root that lends its painter to BeginDraw, as a window does.
struct DrawRoot : Probe {
    IPainter* painter = nullptr;
    int ends = 0;
    IPainter* BeginDraw() override {
        PreparePainter(painter);
        return painter;
    }
    void EndDraw(IPainter*) override { ++ends; }
};
}  // namespace

TEST_F(ControlTest, BeginDrawPlacesTheOriginAtTheControl) {
    DrawRoot* window = Make<DrawRoot>("window");
    window->quiet = true;
    root = window;
    RecordingPainter painter;
    window->painter = &painter;
    window->x = 3;   // the root's own position counts too
    window->y = 4;
    Size(window, 300, 200);
    Probe* group = Make("group", window);
    group->SetAnchors(A(100, kAnchorNear), A(50, kAnchorNear), A(0, kAnchorFar), A(0, kAnchorFar));
    Probe* leaf = Make("leaf", group);
    leaf->SetAnchors(A(20, kAnchorNear), A(30, kAnchorNear), A(60, kAnchorNear), A(70, kAnchorNear));
    window->Layout();
    painter.Translate(POINT{7, 7});   // whatever origin was current
    IPainter* t = leaf->BeginDraw();
    ASSERT_EQ(&painter, t);
    EXPECT_EQ(123, painter.origin.x);
    EXPECT_EQ(84, painter.origin.y);
    EXPECT_EQ("font Verdana 10 0", painter.calls.back());
    leaf->EndDraw(t);
    EXPECT_EQ(1, window->ends);
    EXPECT_EQ(7, painter.origin.x);
    EXPECT_TRUE(painter.origins.empty());
    // A plain root has no painter to lend.
    Probe* lonely = Make("lonely");
    lonely->quiet = true;
    Probe* child = Make("child", lonely);
    EXPECT_EQ(nullptr, child->BeginDraw());
    child->EndDraw(nullptr);
    lonely->Destroy(1);
}

TEST_F(ControlTest, LayoutRoutingAndPaintingAllocateNothing) {
    NewRoot(592, 480);
    std::vector<Probe*> kids;
    for (int i = 0; i < 20; ++i) {
        Probe* c = Make("k", root);
        c->SetAnchors(A(int16_t(i * 20), kAnchorNear), A(int16_t(i * 10), kAnchorNear),
                      A(int16_t(-i), kAnchorFar), A(int16_t(i * 10 + 40), kAnchorNear));
        Make("g", c);
        kids.push_back(c);
    }
    root->Layout();
    RecordingPainter painter;
    painter.origins.reserve(16);
    events.reserve(4096);
    for (Probe* c : kids) c->tag.reserve(64);
    int allocations = 0;
    {
        CountingHeap counter;
        Size(root, 600, 500);
        root->Layout();
        root->RequestLayout();
        for (int i = 0; i < 10; ++i) {
            root->OnMouseMove(0, POINT{i * 50, i * 40});
            root->OnMouseDown(kMouseLeft, 0, POINT{i * 50, i * 40});
        }
        root->flags = kControlClipChildren;
        root->OnPaint(&painter);
        root->OnSchemeChanged();
        root->Refresh();
        allocations = counter.allocations;
    }
    EXPECT_EQ(0, allocations);
    EXPECT_GT(events.size(), 20u);
}

namespace {

// A control that fills its whole rectangle with one colour, and a little
// beyond it, to show the parent's clipping.
struct Filler : CControl {
    uint32_t colour = 0;
    int spill = 0;
    void OnPaint(IPainter* painter) override {
        painter->FillRect(RECT{-spill, -spill, width + spill, height + spill}, colour);
        CControl::OnPaint(painter);
    }
};

}  // namespace

// The tree painted through a real buffered painter, read back from GDI.
TEST(ControlPaint, RealPainterShowsOverlapAndClipping) {
    HWND window = OpenPlainWindow(L"controls", WS_POPUP, 0, 0, 120, 80);
    ASSERT_NE(nullptr, window);
    const LiveBlocks live;
    CPainter* painter = CreatePainter(window, 1, __LINE__);
    Filler* root = NewControl<Filler>("control_test", __LINE__);
    Filler* first = NewControl<Filler>("control_test", __LINE__);
    Filler* second = NewControl<Filler>("control_test", __LINE__);
    root->AppendChild(first);
    root->AppendChild(second);
    first->colour = 0xFF0000;
    first->spill = 3;
    second->colour = 0x0000FF;
    first->SetAnchors(A(10, kAnchorNear), A(10, kAnchorNear), A(60, kAnchorNear), A(50, kAnchorNear));
    second->SetAnchors(A(40, kAnchorNear), A(30, kAnchorNear), A(90, kAnchorNear), A(70, kAnchorNear));
    Size(root, 120, 80);
    HDC dc = painter->GetHDC();

    root->OnPaint(painter);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 20, 20));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 50, 40));   // the later child is on top
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 89, 69));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 90, 70));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 8, 8));      // unclipped spill
    // But the click goes to the first child.
    EXPECT_EQ(first, root->HitTest(POINT{50, 40}));

    // With the clip flag each child stays inside its own rectangle.
    root->flags |= kControlClipChildren;
    root->OnPaint(painter);
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 8, 8));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 10, 10));
    EXPECT_EQ(0u, painter->ClipDepth());
    EXPECT_EQ(1u, painter->OriginDepth());
    // Clipping was undone: the painter draws anywhere again.
    painter->FillRect(RECT{0, 0, 2, 2}, 0x00FF00);
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, 0, 0));

    // Once the stacks have grown and the font is cached, painting again
    // allocates nothing.
    root->PreparePainter(painter);
    int allocations = 0;
    {
        CountingHeap counter;
        root->OnPaint(painter);
        root->PreparePainter(painter);
        allocations = counter.allocations;
    }
    EXPECT_EQ(0, allocations);

    root->Destroy(1);
    painter->Destroy(1);
    EXPECT_EQ(0, live.Added());
    DestroyWindow(window);
}
