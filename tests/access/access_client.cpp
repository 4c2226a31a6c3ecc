// A screen reader of the test's own, run as a second process beside the real
// program: it walks the program's accessible tree and compares it with the
// expected facts, listens to the window events while it drives the program
// with keys (Down in the list, Tab round the cycle both ways, typing in an
// edit, a slider key), presses the raw wave's Play by its default action,
// and checks that an object of a control that went answers an error. Then,
// behind the save dialog opened from the keyboard, Play's default action and
// a row's selection are refused, and the path is typed into the dialog. Last
// it prints "holding" and keeps its objects until the program has exited.
//
// usage: access_client EXPECT_FILE
//   tree ROLE|NAME|VALUE|DESCRIPTION   one per child of the client, in order
//                                      ("-" for none, "*" for any value)
//   rows N                             the list's row count
//   row R NAME                         a row's name (0-based, display order)
//   selected R                         the row selected at start
//   down R                             the row Down selects
//   save PATH                          where to save behind the dialog
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const wchar_t kTitle[] = L"ORVEN General MIDI DLS Tool";
int failures = 0;
HWND target = nullptr;

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

void Report(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

// Events of the program's client, as they came (out of context, so they
// may arrive inside a call to the program).
struct Event {
    DWORD event;
    LONG child;
};
std::vector<Event> events;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (window == target && object == OBJID_CLIENT) events.push_back(Event{event, child});
}

bool PumpUntil(const std::function<bool()>& done, DWORD limit) {
    for (const DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > limit) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

bool Seen(DWORD kind) {
    for (const Event& e : events)
        if (e.event == kind) return true;
    return false;
}

// Waits (up to 10 s) until every kind has been seen.
bool Await(std::initializer_list<DWORD> kinds) {
    return PumpUntil([&] {
        for (DWORD k : kinds)
            if (!Seen(k)) return false;
        return true;
    }, 10000);
}

// An accessible object and a child id of it.
struct Item {
    IAccessible* acc = nullptr;
    LONG child = CHILDID_SELF;

    VARIANT Id() const {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = child;
        return v;
    }
    void Drop() {
        if (acc) acc->Release();
        acc = nullptr;
    }
    LONG Role() const {
        VARIANT r;
        VariantInit(&r);
        if (!acc || FAILED(acc->get_accRole(Id(), &r)) || r.vt != VT_I4) return -1;
        return r.lVal;
    }
    LONG State() const {
        VARIANT r;
        VariantInit(&r);
        if (!acc || FAILED(acc->get_accState(Id(), &r)) || r.vt != VT_I4) return -1;
        return r.lVal;
    }
    // A text property, or "-" when the object has none.
    std::string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
        BSTR text = nullptr;
        if (!acc) return "-";
        const HRESULT hr = (acc->*get)(Id(), &text);
        if (hr != S_OK || !text) return "-";
        std::string s = Utf8(text);
        SysFreeString(text);
        return s;
    }
    std::string Name() const { return Text(&IAccessible::get_accName); }
    std::string Value() const { return Text(&IAccessible::get_accValue); }
    std::string Description() const { return Text(&IAccessible::get_accDescription); }
    RECT Location() const {
        LONG x = 0, y = 0, w = 0, h = 0;
        if (acc) acc->accLocation(&x, &y, &w, &h, Id());
        return RECT{x, y, x + w, y + h};
    }
};

std::string RoleName(LONG role) {
    switch (role) {
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_LIST: return "list";
    case ROLE_SYSTEM_LISTITEM: return "listitem";
    case ROLE_SYSTEM_SCROLLBAR: return "scrollbar";
    case ROLE_SYSTEM_STATICTEXT: return "statictext";
    case ROLE_SYSTEM_PUSHBUTTON: return "pushbutton";
    case ROLE_SYSTEM_TEXT: return "text";
    case ROLE_SYSTEM_SLIDER: return "slider";
    case ROLE_SYSTEM_DIAGRAM: return "diagram";
    default: return "role" + std::to_string(role);
    }
}

// "role|name|value|description".
std::string Line(const Item& item) {
    return RoleName(item.Role()) + "|" + item.Name() + "|" + item.Value() + "|" + item.Description();
}

// The children of `parent`: objects, or ids of simple children.
std::vector<Item> Children(IAccessible* parent) {
    std::vector<Item> out;
    LONG count = 0;
    if (FAILED(parent->get_accChildCount(&count)) || count <= 0) return out;
    std::vector<VARIANT> ids(static_cast<size_t>(count));
    LONG got = 0;
    if (FAILED(AccessibleChildren(parent, 0, count, ids.data(), &got))) return out;
    for (LONG i = 0; i < got; ++i) {
        Item item;
        if (ids[i].vt == VT_DISPATCH && ids[i].pdispVal) {
            ids[i].pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&item.acc));
            ids[i].pdispVal->Release();
        } else if (ids[i].vt == VT_I4) {
            parent->AddRef();
            item.acc = parent;
            item.child = ids[i].lVal;
        }
        out.push_back(item);
    }
    return out;
}

// The object an event names, resolved as a screen reader resolves it.
Item Resolve(const Event& e) {
    Item item;
    VARIANT child;
    VariantInit(&child);
    if (SUCCEEDED(AccessibleObjectFromEvent(target, OBJID_CLIENT, DWORD(e.child), &item.acc, &child)) &&
        child.vt == VT_I4)
        item.child = child.lVal;
    return item;
}

// The last event of a kind, resolved; an empty item when there is none.
Item Last(DWORD kind) {
    const std::vector<Event> seen = events;   // resolving may add more
    for (size_t i = seen.size(); i-- > 0;)
        if (seen[i].event == kind) return Resolve(seen[i]);
    return Item();
}

// Every event of a kind, resolved, as lines.
std::vector<std::string> LinesOf(DWORD kind) {
    const std::vector<Event> seen = events;
    std::vector<std::string> lines;
    for (const Event& e : seen)
        if (e.event == kind) {
            Item item = Resolve(e);
            lines.push_back(Line(item));
            item.Drop();
        }
    return lines;
}

void SendKey(WORD vk, bool shift = false) {
    std::vector<INPUT> in;
    auto key = [&](WORD code, DWORD flags) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = code;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    if (shift) key(VK_SHIFT, 0);
    key(vk, 0);
    key(vk, KEYEVENTF_KEYUP);
    if (shift) key(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
}

void SendText(const wchar_t* text) {
    for (; *text; ++text) {
        INPUT in[2] = {};
        for (int k = 0; k < 2; ++k) {
            in[k].type = INPUT_KEYBOARD;
            in[k].ki.wScan = WORD(*text);
            in[k].ki.dwFlags = KEYEVENTF_UNICODE | (k ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, in, sizeof(INPUT));
        Sleep(20);
    }
}

// Sends a key and waits for the focus event; the focused object's line.
std::string FocusAfter(WORD vk, bool shift = false) {
    events.clear();
    SendKey(vk, shift);
    if (!Await({EVENT_OBJECT_FOCUS})) return "(no focus event)";
    Item item = Last(EVENT_OBJECT_FOCUS);
    std::string line = Line(item);
    item.Drop();
    return line;
}

std::vector<std::string> ReadLines(const char* path) {
    std::vector<std::string> lines;
    FILE* f = std::fopen(path, "rb");
    if (!f) return lines;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, f)) {
        std::string s = buffer;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        lines.push_back(s);
    }
    std::fclose(f);
    return lines;
}

bool Matches(const std::string& got, const std::string& want) {
    // A "*" field matches anything.
    size_t g = 0, w = 0;
    for (;;) {
        const size_t ge = got.find('|', g), we = want.find('|', w);
        const std::string gf = got.substr(g, ge - g), wf = want.substr(w, we - w);
        if (wf != "*" && gf != wf) return false;
        if (ge == std::string::npos || we == std::string::npos) return ge == we;
        g = ge + 1;
        w = we + 1;
    }
}

// The client's child whose line matches `want`.
Item Find(IAccessible* root, const std::string& want) {
    Item found;
    for (Item& item : Children(root)) {
        if (!found.acc && Matches(Line(item), want))
            found = item;
        else
            item.Drop();
    }
    return found;
}

std::wstring Wide(const std::string& s) {
    std::wstring w(s.size() + 1, L'\0');
    w.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], int(w.size()))) - 1);
    return w;
}

// The program's modal dialog, once it is up and its focus is inside it.
HWND AwaitDialog() {
    HWND dialog = nullptr;
    PumpUntil([&] {
        dialog = nullptr;
        for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !dialog;
             w = FindWindowExW(nullptr, w, L"#32770", nullptr))
            if (GetWindow(w, GW_OWNER) == target && IsWindowVisible(w)) dialog = w;
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return dialog && !IsWindowEnabled(target) &&
               GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
               IsChild(dialog, info.hwndFocus);
    }, 30000);
    return dialog;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::vector<std::string> tree, rowNames;
    long rows = 0, selected = -1, down = -1;
    std::wstring savePath;
    std::vector<std::pair<long, std::string>> namedRows;
    for (const std::string& line : ReadLines(argv[1])) {
        if (line.compare(0, 5, "tree ") == 0) tree.push_back(line.substr(5));
        else if (line.compare(0, 5, "rows ") == 0) rows = std::atol(line.c_str() + 5);
        else if (line.compare(0, 9, "selected ") == 0) selected = std::atol(line.c_str() + 9);
        else if (line.compare(0, 5, "down ") == 0) down = std::atol(line.c_str() + 5);
        else if (line.compare(0, 5, "save ") == 0) savePath = Wide(line.substr(5));
        else if (line.compare(0, 4, "row ") == 0) {
            const size_t space = line.find(' ', 4);
            namedRows.emplace_back(std::atol(line.c_str() + 4), line.substr(space + 1));
        }
    }
    auto rowName = [&](long r) {
        for (auto& p : namedRows)
            if (p.first == r) return p.second;
        return std::string("?");
    };

    CoInitialize(nullptr);
    PumpUntil([] { return (target = FindWindowW(nullptr, kTitle)) != nullptr; }, 30000);
    if (!target) {
        Report(false, "no program window");
        return 1;
    }
    SetForegroundWindow(target);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    Report(hook != nullptr, "window events hooked");

    IAccessible* root = nullptr;
    if (FAILED(AccessibleObjectFromWindow(target, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&root))) || !root) {
        Report(false, "no client object from the program's window");
        return 1;
    }
    Item client;
    client.acc = root;
    root->AddRef();
    Report(Line(client) == "client|ORVEN General MIDI DLS Tool|-|-", "the client object: " + Line(client));

    // The tree as the program starts.
    std::vector<Item> children = Children(root);
    std::string lines;
    bool same = children.size() == tree.size();
    for (size_t i = 0; i < children.size(); ++i) {
        const std::string line = Line(children[i]);
        const bool ok = i < tree.size() && Matches(line, tree[i]);
        same = same && ok;
        if (!ok) lines += "\n    got " + line + (i < tree.size() ? ", want " + tree[i] : ", not expected");
    }
    Report(same, "the client's " + std::to_string(children.size()) + " children, their roles, names, values and "
                 "descriptions" + lines);
    Item stale;   // the instrument's name label, which the next selection replaces
    for (Item& item : children) {
        if (!stale.acc && item.Role() == ROLE_SYSTEM_STATICTEXT) stale = item;
        else if (item.Role() != ROLE_SYSTEM_LIST) item.Drop();
    }
    Item list = children.empty() ? Item() : children[0];

    // The list's rows.
    if (list.acc) {
        std::vector<Item> rowItems = Children(list.acc);
        Report(long(rowItems.size()) == rows, "the list has " + std::to_string(rowItems.size()) + " rows, want " +
                                                  std::to_string(rows));
        std::string wrong;
        for (auto& p : namedRows)
            if (p.first < long(rowItems.size()) && Line(rowItems[size_t(p.first)]) != "listitem|" + p.second + "|-|-")
                wrong += " " + std::to_string(p.first) + ": " + Line(rowItems[size_t(p.first)]);
        Report(wrong.empty(), "rows named in display order" + wrong);
        if (selected >= 0 && selected < long(rowItems.size())) {
            const Item& row = rowItems[size_t(selected)];
            const LONG want = STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            Report((row.State() & want) == want && !(row.State() & STATE_SYSTEM_OFFSCREEN),
                   "the selected row is selected, focused and on screen (state " + std::to_string(row.State()) + ")");
            // A row is 12 units high: 12 pixels at 96 DPI, scaled with the display.
            HDC screen = GetDC(nullptr);
            const LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
            if (screen) ReleaseDC(nullptr, screen);
            const RECT r = row.Location(), l = list.Location();
            Report(r.bottom - r.top == (12 * dpi + 48) / 96 && r.left >= l.left && r.right <= l.right && r.top >= l.top &&
                       r.bottom <= l.bottom,
                   "the selected row lies inside the list");
            // Hit tests: the client answers the list, the list the row.
            VARIANT hit;
            VariantInit(&hit);
            const POINT mid = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            bool ok = SUCCEEDED(root->accHitTest(mid.x, mid.y, &hit)) && hit.vt == VT_DISPATCH;
            if (ok) {
                IAccessible* at = nullptr;
                hit.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&at));
                hit.pdispVal->Release();
                VariantInit(&hit);
                ok = at && SUCCEEDED(at->accHitTest(mid.x, mid.y, &hit)) && hit.vt == VT_I4 &&
                     hit.lVal == LONG(selected) + 1;
                if (at) at->Release();
            }
            Report(ok, "a hit test at the selected row finds the list, then the row");
            const long distant = selected < rows / 2 ? rows - 1 : 0;
            Report((rowItems[size_t(distant)].State() & STATE_SYSTEM_OFFSCREEN) != 0, "a row scrolled out is off screen");
        }
        for (Item& item : rowItems) item.Drop();
    }

    // Down: the next row is selected and focused, the panel rebuilt.
    events.clear();
    SendKey(VK_DOWN);
    const bool heard = Await({EVENT_OBJECT_SELECTION, EVENT_OBJECT_FOCUS, EVENT_OBJECT_REORDER});
    Report(heard, "Down in the list: selection, focus and reorder events");
    const std::string downRow = "listitem|" + rowName(down) + "|-|-";
    if (heard) {
        Item focus = Last(EVENT_OBJECT_FOCUS), chosen = Last(EVENT_OBJECT_SELECTION);
        const LONG want = STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
        Report(Line(focus) == downRow && (focus.State() & want) == want,
               "the focus event names the row Down chose: " + Line(focus));
        Report(Line(chosen) == downRow, "the selection event names it too: " + Line(chosen));
        focus.Drop();
        chosen.Drop();
    }
    if (stale.acc) {
        BSTR name = nullptr;
        const HRESULT hr = stale.acc->get_accName(stale.Id(), &name);
        if (name) SysFreeString(name);
        Report(FAILED(hr), "an object of a control that went answers an error");
    }

    // Tab round the cycle and back.
    const std::vector<std::string> cycle = {"pushbutton|Play|-|Raw Wave", "pushbutton|Save|-|Raw Wave",
                                            "pushbutton|Play|-|Envelope", "pushbutton|Save|-|Envelope",
                                            "text|Attack|0|-",             "text|Sustain|0.5|-",
                                            "text|Release|0.25|-",         downRow};
    std::string order;
    bool round = true;
    for (const std::string& want : cycle) {
        const std::string got = FocusAfter(VK_TAB);
        round = round && got == want;
        order += "\n    " + got;
    }
    Report(round, "Tab goes round list, Play, Save, Play, Save, Attack, Sustain, Release, list:" + order);
    order.clear();
    round = true;
    for (size_t i = cycle.size(); i-- > 0;) {
        const std::string got = FocusAfter(VK_TAB, true);
        const std::string& want = cycle[i ? i - 1 : cycle.size() - 1];
        round = round && got == want;
        order += "\n    " + got;
    }
    Report(round, "Shift+Tab goes round the other way:" + order);

    // Typing in the Attack edit, then Enter.
    for (int i = 0; i < 5; ++i) FocusAfter(VK_TAB);
    events.clear();
    SendText(L"0.5");
    PumpUntil([] { return false; }, 300);
    Await({EVENT_OBJECT_VALUECHANGE});
    bool edit = false, slider = false;
    for (const std::string& line : LinesOf(EVENT_OBJECT_VALUECHANGE)) {
        edit = edit || line == "text|Attack|0.5|-";
        slider = slider || line == "slider|Attack|0.5|-";
    }
    Report(edit, "typing in the Attack edit: a value change of the edit, now 0.5");
    Report(slider, "and of its slider, which reads the edit's number");
    Report(FocusAfter(VK_RETURN) == "client|ORVEN General MIDI DLS Tool|-|-", "Enter commits and leaves the focus to the client");

    // A slider key: the Sustain slider takes the focus, Right moves it.
    Item sustain = Find(root, "slider|Sustain|0.5|-");
    Report(sustain.acc != nullptr, "the Sustain slider reads 0.5");
    if (sustain.acc) {
        events.clear();
        const HRESULT hr = sustain.acc->accSelect(SELFLAG_TAKEFOCUS, sustain.Id());
        Await({EVENT_OBJECT_FOCUS});
        Item focus = Last(EVENT_OBJECT_FOCUS);
        Report(SUCCEEDED(hr) && Line(focus) == "slider|Sustain|0.5|-", "accSelect focuses the slider: " + Line(focus));
        focus.Drop();
        events.clear();
        SendKey(VK_RIGHT);
        Await({EVENT_OBJECT_VALUECHANGE});
        PumpUntil([] { return false; }, 300);
        bool moved = false, followed = false;
        for (const std::string& line : LinesOf(EVENT_OBJECT_VALUECHANGE)) {
            moved = moved || line == "slider|Sustain|0.51|-";
            followed = followed || line == "text|Sustain|0.51|-";
        }
        Report(moved && followed, "Right moves the slider to 0.51, and its edit follows");
        Item curve = Find(root, "diagram|Envelope curve|-|*");
        Report(curve.Description() == "Attack 0.5 s, Sustain 0.51 s, Release 0.25 s",
               "the curve describes the envelope: " + curve.Description());
        curve.Drop();
        sustain.Drop();
    }

    // The raw wave's Play: refused behind the dialog, then pressed by its
    // default action (after the save, since a save stops what plays).
    Item play = Find(root, "pushbutton|Play|-|Raw Wave");

    // Behind the save dialog: the envelope's Save focused, Enter.
    // While the dialog is up, Play's default action and a row's selection
    // are refused, and nothing they asked for runs; the file saved is the
    // chosen row's enveloped image (the script compares its bytes).
    if (!savePath.empty() && list.acc && down >= 0 && rows > 3) {
        Item save = Find(root, "pushbutton|Save|-|Envelope");
        events.clear();
        const HRESULT focused = save.acc ? save.acc->accSelect(SELFLAG_TAKEFOCUS, save.Id()) : E_FAIL;
        Item heard = SUCCEEDED(focused) && Await({EVENT_OBJECT_FOCUS}) ? Last(EVENT_OBJECT_FOCUS) : Item();
        Report(Line(heard) == "pushbutton|Save|-|Envelope", "accSelect focuses the envelope's Save: " + Line(heard));
        heard.Drop();
        save.Drop();
        SendKey(VK_RETURN);
        HWND dialog = AwaitDialog();
        Report(dialog != nullptr, "Enter opens the save dialog and disables the window");
        if (dialog) {
            const HRESULT pressed = play.acc ? play.acc->accDoDefaultAction(play.Id()) : S_OK;
            const LONG other = down == 2 ? 3 : 2;
            const HRESULT taken =
                list.acc->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Item{list.acc, other + 1}.Id());
            PumpUntil([] { return false; }, 500);   // what was posted would have run by now
            VARIANT chosen;
            VariantInit(&chosen);
            list.acc->get_accSelection(&chosen);
            Report(pressed == E_ACCESSDENIED && taken == E_ACCESSDENIED,
                   "behind the dialog Play's default action and a row's selection are refused");
            Report(chosen.vt == VT_I4 && chosen.lVal == down + 1, "the row Down chose stays selected");
            SendText(savePath.c_str());
            SendKey(VK_RETURN);
            Report(PumpUntil([] { return IsWindowEnabled(target) != FALSE; }, 30000),
                   "the dialog closes on Enter with the typed path");
        }
        // A save lays the information panel out afresh: the Play held
        // answers an error (COM may let it go on a thread of its own, which
        // must not cost its memory), and the Play found now is new.
        Report(play.Text(&IAccessible::get_accDefaultAction) == "-" && play.State() == -1,
               "the Play of the panel laid out before the save answers an error");
        play.Drop();
        play = Find(root, "pushbutton|Play|-|Raw Wave");
    }

    if (play.acc) {
        Report(play.Text(&IAccessible::get_accDefaultAction) == "Press", "Play's default action is Press");
        // Behind a modal dialog (the window disabled) nothing acts and every
        // control says it is unavailable.
        EnableWindow(target, FALSE);
        const HRESULT refused = play.acc->accDoDefaultAction(play.Id());
        const bool unavailable = (play.State() & STATE_SYSTEM_UNAVAILABLE) != 0;
        EnableWindow(target, TRUE);
        Report(FAILED(refused) && unavailable && !(play.State() & STATE_SYSTEM_UNAVAILABLE),
               "behind a disabled window Play refuses its action and is unavailable");
        events.clear();
        const HRESULT hr = play.acc->accDoDefaultAction(play.Id());
        Await({EVENT_OBJECT_FOCUS});
        Item focus = Last(EVENT_OBJECT_FOCUS);
        Report(SUCCEEDED(hr) && Line(focus) == "pushbutton|Play|-|Raw Wave",
               "the default action presses Play as a click: it takes the focus");
        focus.Drop();
    } else {
        Report(false, "no raw Play button");
    }

    // Objects held while the program exits: it must cut them off itself.
    std::printf("holding\n");
    std::fflush(stdout);
    PumpUntil([] { return !IsWindow(target); }, 60000);
    PumpUntil([] { return false; }, 500);
    BSTR name = nullptr;
    const HRESULT after = play.acc ? play.acc->get_accName(play.Id(), &name) : E_FAIL;
    if (name) SysFreeString(name);
    Report(FAILED(after), "after the exit an object answers an error");
    play.Drop();
    list.Drop();
    stale.Drop();
    client.Drop();
    root->Release();
    if (hook) UnhookWinEvent(hook);
    CoUninitialize();
    std::printf("access_client: %d checks failed\n", failures);
    return failures ? 1 : 0;
}
