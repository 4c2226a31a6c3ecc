// The controls' COM objects in the window's own process: navigation,
// parents, focus and selection, refused ids and interfaces as table rows,
// each leaving reference counts and heap blocks as they were; a control its
// parent left behind; the apartment, a shutdown, and requests made from an
// in-context event hook while an event is being fired.
#include <oleacc.h>

#include <string>
#include <vector>

#include "controls/CtlButton.h"
#include "controls/CtlEdit.h"
#include "controls/CtlLabel.h"
#include "controls/CtlList.h"
#include "controls/Curve.h"
#include "heap_checks.h"
#include "panel/AccessibleObject.h"
#include "panel_window.h"

namespace {

const wchar_t* const kRows[] = {L"Alpha", L"Beta", L"Gamma"};

struct Event {
    DWORD kind;
    LONG child;
};
std::vector<Event> events;
bool askInside = false;   // the hook asks for the event's object, as screen readers do

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD kind, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_CLIENT) return;
    events.push_back(Event{kind, child});
    if (!askInside) return;
    IAccessible* acc = nullptr;
    VARIANT id;
    VariantInit(&id);
    if (SUCCEEDED(AccessibleObjectFromEvent(window, DWORD(OBJID_CLIENT), child, &acc, &id)) && acc)
        acc->Release();
}

ULONG Refs(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

VARIANT Id(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (; text && *text; ++text) s += char(*text);
    return s;
}

std::string RoleWord(LONG role) {
    switch (role) {
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_WINDOW: return "window";
    case ROLE_SYSTEM_LIST: return "list";
    case ROLE_SYSTEM_LISTITEM: return "listitem";
    case ROLE_SYSTEM_PUSHBUTTON: return "pushbutton";
    case ROLE_SYSTEM_TEXT: return "text";
    case ROLE_SYSTEM_STATICTEXT: return "statictext";
    case ROLE_SYSTEM_DIAGRAM: return "diagram";
    case ROLE_SYSTEM_SCROLLBAR: return "scrollbar";
    default: return std::to_string(role);
    }
}

// "role name" of an object, for its child `child`.
std::string Named(IAccessible* acc, LONG child = CHILDID_SELF) {
    VARIANT role;
    VariantInit(&role);
    BSTR name = nullptr;
    const HRESULT a = acc->get_accRole(Id(child), &role), b = acc->get_accName(Id(child), &name);
    std::string s = FAILED(a) ? "error" : RoleWord(role.vt == VT_I4 ? role.lVal : -1);
    s += " " + (b == S_OK ? Narrow(name) : std::string("-"));
    SysFreeString(name);
    return s;
}

// An answer as text, releasing what it holds: "none", "id K", "object ROLE NAME".
std::string Answer(HRESULT result, VARIANT& v) {
    std::string s;
    if (FAILED(result)) s = "error";
    else if (v.vt == VT_EMPTY) s = "none";
    else if (v.vt == VT_I4) s = "id " + std::to_string(v.lVal);
    else if (v.vt == VT_DISPATCH && v.pdispVal) {
        IAccessible* acc = nullptr;
        v.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&acc));
        s = acc ? "object " + Named(acc) : "object ?";
        if (acc) acc->Release();
    } else {
        s = "vt " + std::to_string(v.vt);
    }
    VariantClear(&v);
    return s;
}

std::string Answer(HRESULT result, IDispatch* d) {
    VARIANT v;
    VariantInit(&v);
    if (d) {
        v.vt = VT_DISPATCH;
        v.pdispVal = d;
    }
    return Answer(result, v);
}

}  // namespace

class AccessibleCom : public PanelSuite {
protected:
    static void SetUpTestSuite() {
        OpenPanel(L"access com test", 240, 160);
        hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, GetModuleHandleW(nullptr), OnEvent,
                               GetCurrentProcessId(), 0, WINEVENT_INCONTEXT);
    }
    static void TearDownTestSuite() {
        if (hook) UnhookWinEvent(hook);
        PanelSuite::TearDownTestSuite();
        ShutDownAccessibility();
    }
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PanelSuite::SetUp());
        list = Place(CreateList(3, kRows, &selected, 0), "list", 0, 0, 100, 80);
        play = Place(CreateButton(L"Play"), "play", 110, 0, 170, 20);
        Place(CreateEdit(text, 8, 0), "edit", 110, 30, 170, 50);
        Place(CreateLabel(L"Name"), "label", 110, 60, 170, 80);
        SetFocus(handle);
        Pump();
    }
    void TearDown() override {
        for (IAccessible* a : held)
            if (a) a->Release();
        held.clear();
        askInside = false;
        PanelSuite::TearDown();
    }
    static IAccessible* Client() {
        IAccessible* acc = nullptr;
        AccessibleObjectFromWindow(handle, DWORD(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&acc));
        return acc;
    }
    // The objects the rows start from: the client, the list, a row, Play.
    // The client's children: the list, its scroll bar, Play, the edit, the label.
    void Hold() {
        IAccessible* client = Client();
        ASSERT_NE(nullptr, client);
        held = {client, Child(client, 1), nullptr, Child(client, 3)};
        // A row object, named by the event id a selection announces.
        events.clear();
        list->SelectRow(1);
        Pump();
        SendMessageA(handle, WM_NULL, 0, 0);
        for (const Event& e : events)
            if (e.kind == EVENT_OBJECT_SELECTION) held[2] = Child(client, e.child);
        // Every control's object made once, so that a row's calls make none.
        for (LONG k = 1; k <= 5; ++k)
            if (IAccessible* acc = Child(client, k)) acc->Release();
        ASSERT_NE(nullptr, held[1]);
        ASSERT_NE(nullptr, held[2]);
        ASSERT_NE(nullptr, held[3]);
        ASSERT_EQ("list -", Named(held[1]));
        ASSERT_EQ("listitem Beta", Named(held[2]));
        ASSERT_EQ("pushbutton Play", Named(held[3]));
    }
    // The client is this window's own object (the standard one has no children).
    static void ExpectServed() {
        IAccessible* client = Client();
        ASSERT_NE(nullptr, client);
        LONG count = 0;
        EXPECT_EQ(S_OK, client->get_accChildCount(&count));
        EXPECT_EQ(5, count);
        EXPECT_EQ("client access com test", Named(client));
        client->Release();
    }
    static IAccessible* Child(IAccessible* parent, LONG id) {
        IDispatch* d = nullptr;
        IAccessible* acc = nullptr;
        if (parent->get_accChild(Id(id), &d) == S_OK && d) {
            d->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&acc));
            d->Release();
        }
        return acc;
    }
    // Runs `call` on object `from` and checks that it leaves every held
    // object's count and the heap's blocks as they were.
    template <class Call>
    std::string Balanced(size_t from, Call call) {
        std::vector<ULONG> before;
        for (IAccessible* a : held) before.push_back(Refs(a));
        const LiveBlocks live;
        const std::string got = call(held[from]);
        EXPECT_EQ(0, live.Added()) << got;
        for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(before[i], Refs(held[i])) << got << " object " << i;
        return got;
    }

    static HWINEVENTHOOK hook;
    int32_t selected = 0;
    wchar_t text[8] = L"0.25";
    CList* list = nullptr;
    CButton* play = nullptr;
    std::vector<IAccessible*> held;
};
HWINEVENTHOOK AccessibleCom::hook = nullptr;

// First, before anything starts COM on this thread in the other mode.
TEST_F(AccessibleCom, AThreadOfTheMultithreadedApartmentIsNotServed) {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(0, SendMessageW(handle, WM_GETOBJECT, 0, LPARAM(OBJID_CLIENT)));
    CoUninitialize();
    // Once the thread may be a single-threaded apartment, it is served.
    ExpectServed();
}

TEST_F(AccessibleCom, NavigationInEachDirection) {
    ASSERT_NO_FATAL_FAILURE(Hold());
    const LONG beta = 2;
    LONG rowId = 0;   // Beta's id as the client names it
    for (const Event& e : events)
        if (e.kind == EVENT_OBJECT_SELECTION) rowId = e.child;
    struct Row {
        size_t from;
        LONG start;
        LONG direction;
        const char* want;
    } rows[] = {
        {0, CHILDID_SELF, NAVDIR_FIRSTCHILD, "object list -"},
        {0, CHILDID_SELF, NAVDIR_LASTCHILD, "object statictext Name"},
        {0, CHILDID_SELF, NAVDIR_NEXT, "none"},
        {0, 1, NAVDIR_NEXT, "object scrollbar -"},
        {0, 1, NAVDIR_DOWN, "object scrollbar -"},
        {0, 1, NAVDIR_UP, "none"},
        {0, 1, NAVDIR_PREVIOUS, "none"},
        {0, 3, NAVDIR_UP, "object scrollbar -"},
        {0, 3, NAVDIR_PREVIOUS, "object scrollbar -"},
        {0, 3, NAVDIR_DOWN, "object text -"},
        {0, 4, NAVDIR_NEXT, "object statictext Name"},
        {0, 5, NAVDIR_DOWN, "none"},
        {0, 5, NAVDIR_NEXT, "none"},
        {0, 3, NAVDIR_LEFT, "none"},
        {0, rowId, NAVDIR_DOWN, "object listitem Gamma"},
        {0, rowId, NAVDIR_UP, "object listitem Alpha"},
        {1, CHILDID_SELF, NAVDIR_FIRSTCHILD, "id 1"},
        {1, CHILDID_SELF, NAVDIR_LASTCHILD, "id 3"},
        {1, CHILDID_SELF, NAVDIR_DOWN, "object scrollbar -"},
        {1, 1, NAVDIR_DOWN, "id 2"},
        {1, 1, NAVDIR_NEXT, "id 2"},
        {1, 1, NAVDIR_UP, "none"},
        {1, beta, NAVDIR_UP, "id 1"},
        {1, beta, NAVDIR_PREVIOUS, "id 1"},
        {1, 3, NAVDIR_DOWN, "none"},
        {1, 3, NAVDIR_NEXT, "none"},
        {2, CHILDID_SELF, NAVDIR_DOWN, "object listitem Gamma"},
        {2, CHILDID_SELF, NAVDIR_NEXT, "object listitem Gamma"},
        {2, CHILDID_SELF, NAVDIR_UP, "object listitem Alpha"},
        {2, CHILDID_SELF, NAVDIR_PREVIOUS, "object listitem Alpha"},
        {3, CHILDID_SELF, NAVDIR_FIRSTCHILD, "none"},
        {3, CHILDID_SELF, NAVDIR_UP, "object scrollbar -"},
        {3, CHILDID_SELF, NAVDIR_DOWN, "object text -"},
    };
    ASSERT_LT(rowId, 0);
    for (const Row& r : rows) {
        const std::string got = Balanced(r.from, [&](IAccessible* from) {
            VARIANT out;
            VariantInit(&out);
            const HRESULT result = from->accNavigate(r.direction, Id(r.start), &out);
            return Answer(result, out);
        });
        EXPECT_EQ(r.want, got) << "object " << r.from << " child " << r.start << " direction " << r.direction;
    }
}

TEST_F(AccessibleCom, ParentsFocusAndSelection) {
    ASSERT_NO_FATAL_FAILURE(Hold());
    auto parent = [](IAccessible* from) {
        IDispatch* d = nullptr;
        const HRESULT result = from->get_accParent(&d);
        return Answer(result, d);
    };
    // The client's parent is the window's standard object (which Wine names
    // and casts in part only).
    const std::string window = Balanced(0, parent);
    EXPECT_EQ("object ", window.substr(0, 7));
    EXPECT_EQ(std::string::npos, window.find("client")) << window;
    EXPECT_EQ("object list -", Balanced(2, parent));
    EXPECT_EQ("object client access com test", Balanced(3, parent));

    auto focus = [](IAccessible* from) {
        VARIANT v;
        VariantInit(&v);
        const HRESULT result = from->get_accFocus(&v);
        return Answer(result, v);
    };
    auto selection = [](IAccessible* from) {
        VARIANT v;
        VariantInit(&v);
        const HRESULT result = from->get_accSelection(&v);
        return Answer(result, v);
    };
    struct Row {
        const char* when;
        size_t from;
        bool selection;
        const char* want;
    } rows[] = {
        {"list", 0, false, "object list -"}, {"list", 1, false, "id 2"},   {"list", 3, false, "none"},
        {"list", 1, true, "id 2"},           {"list", 0, true, "none"},    {"none", 0, false, "id 0"},
        {"none", 1, false, "none"},          {"none", 1, true, "id 2"},    {"away", 0, false, "none"},
        {"away", 1, false, "none"},
    };
    HWND other = OpenPlainWindow(L"elsewhere", WS_OVERLAPPEDWINDOW, 300, 300, 100, 50);
    for (const Row& r : rows) {
        const std::string when = r.when;
        SetFocus(handle);
        SetFocusControl(when == "list" ? static_cast<CControl*>(list) : nullptr);
        if (when == "away") SetFocus(other);
        Pump();
        const std::string got = r.selection ? Balanced(r.from, selection) : Balanced(r.from, focus);
        EXPECT_EQ(r.want, got) << "focus " << when << ", object " << r.from << (r.selection ? " selection" : " focus");
    }
    DestroyWindow(other);
    SetFocus(handle);
}

TEST_F(AccessibleCom, RefusedIdsInterfacesAndPoints) {
    ASSERT_NO_FATAL_FAILURE(Hold());
    struct Row {
        size_t from;
        LONG child;
        HRESULT want;
    } rows[] = {
        {3, 1, E_INVALIDARG},         // a button has no simple children
        {1, 4, E_INVALIDARG},         // a row past the end
        {1, -1, E_INVALIDARG},        // a negative id through an object not the client
        {2, 1, E_INVALIDARG},         // a row's own child
        {0, 6, E_INVALIDARG},         // past the client's children
        {0, -999999, E_INVALIDARG},   // an id no object holds
        {1, 3, S_OK},
        {0, 5, S_OK},
    };
    for (const Row& r : rows) {
        const std::string got = Balanced(r.from, [&](IAccessible* from) {
            BSTR name = nullptr;
            const HRESULT result = from->get_accName(Id(r.child), &name);
            const bool cleared = result == S_OK || name == nullptr;
            SysFreeString(name);
            return std::to_string(result) + (cleared ? "" : " with a name");
        });
        EXPECT_EQ(std::to_string(r.want), got) << "object " << r.from << " child " << r.child;
    }
    for (size_t from = 0; from < 4; ++from) {
        const std::string got = Balanced(from, [](IAccessible* acc) {
            void* out = &out;
            const HRESULT a = acc->QueryInterface(IID_IEnumVARIANT, &out);
            const bool cleared = out == nullptr;
            out = &out;
            const HRESULT b = acc->QueryInterface(IID_IOleWindow, &out);
            return std::string(a == E_NOINTERFACE && b == E_NOINTERFACE && cleared && !out ? "refused" : "answered");
        });
        EXPECT_EQ("refused", got) << "object " << from;
    }
    RECT window;
    GetWindowRect(handle, &window);
    POINT inPlayOnly = {110 + 30, 10};   // inside the window, outside the list
    ClientToScreen(handle, &inPlayOnly);
    struct Point {
        size_t from;
        POINT at;
        const char* want;
    } points[] = {
        {0, {window.left - 5, window.top - 5}, "none"},
        {0, {window.right + 5, window.bottom + 5}, "none"},
        {1, inPlayOnly, "none"},
        {0, inPlayOnly, "object pushbutton Play"},
    };
    for (const Point& p : points) {
        const std::string got = Balanced(p.from, [&](IAccessible* acc) {
            VARIANT out;
            VariantInit(&out);
            const HRESULT result = acc->accHitTest(p.at.x, p.at.y, &out);
            return Answer(result, out);
        });
        EXPECT_EQ(p.want, got) << "object " << p.from << " at " << p.at.x << "," << p.at.y;
    }
}

// A shared control outlives the container it lay in: its object, still
// held, is no client of anything and answers an error.
TEST_F(AccessibleCom, AControlItsParentLeftAnswersAnError) {
    CControl* box = NewControl<CControl>(__FILE__, __LINE__);
    ASSERT_TRUE(AddControl(nullptr, box, panel, "box"));
    CCurve* curve = CreateCurve(nullptr);
    box->AppendChild(curve);
    IAccessible* client = Client();
    ASSERT_NE(nullptr, client);
    IAccessible* acc = Child(client, 6);
    ASSERT_NE(nullptr, acc);
    EXPECT_EQ("diagram -", Named(acc));
    box->Destroy(1);
    ASSERT_EQ(nullptr, curve->parent);
    VARIANT role;
    VariantInit(&role);
    EXPECT_TRUE(FAILED(acc->get_accRole(Id(CHILDID_SELF), &role)));
    EXPECT_EQ(VT_EMPTY, role.vt);
    LONG count = -1;
    EXPECT_TRUE(FAILED(acc->get_accChildCount(&count)));
    IDispatch* up = nullptr;
    EXPECT_TRUE(FAILED(acc->get_accParent(&up)));
    EXPECT_EQ(nullptr, up);
    VARIANT out;
    VariantInit(&out);
    EXPECT_TRUE(FAILED(acc->accNavigate(NAVDIR_FIRSTCHILD, Id(CHILDID_SELF), &out)));
    acc->Release();
    client->Release();
    curve->Destroy(1);
}

// An in-context hook asks for the object of each event while it is fired:
// each change is still announced once.
TEST_F(AccessibleCom, ARequestFromInsideAnEventAnnouncesNothingAgain) {
    IAccessible* client = Client();
    ASSERT_NE(nullptr, client);
    SetFocusControl(list);
    Pump();
    SendMessageA(handle, WM_NULL, 0, 0);
    askInside = true;
    events.clear();
    Key(VK_DOWN);
    Pump();
    askInside = false;
    int selections = 0, focuses = 0;
    for (const Event& e : events) {
        selections += e.kind == EVENT_OBJECT_SELECTION;
        focuses += e.kind == EVENT_OBJECT_FOCUS;
    }
    EXPECT_EQ(1, selections);
    EXPECT_EQ(1, focuses);
    client->Release();
}

// After the shutdown a request starts COM again and is served.
TEST_F(AccessibleCom, ARequestAfterTheShutdownIsServed) {
    IAccessible* before = Client();
    ASSERT_NE(nullptr, before);
    before->Release();
    ShutDownAccessibility();
    ExpectServed();
}
