#include "AccessibleObject.h"

#include <new>

#include "../rtl/Str.h"
#include "Accessible.h"
#include "Window.h"

#define ACCESSIBLE_OBJECT_TAG ".\\AccessibleObject.cpp"

namespace {

// The COM entry points, loaded with the first request, and the apartment
// objects are served from.
struct ComLibraries {
    bool tried;
    bool loaded;
    bool ready;   // COM initialised by us on `thread`, a single-threaded apartment
    DWORD thread;
    HRESULT(WINAPI* CoInitializeEx)(void*, DWORD);
    void(WINAPI* CoUninitialize)();
    HRESULT(WINAPI* CoDisconnectObject)(IUnknown*, DWORD);
    BSTR(WINAPI* SysAllocString)(const OLECHAR*);
    LRESULT(WINAPI* LresultFromObject)(REFIID, WPARAM, IUnknown*);
    HRESULT(WINAPI* CreateStdAccessibleObject)(HWND, LONG, REFIID, void**);
};
ComLibraries com;

template <class F>
void Load(F& function, HMODULE library, const char* name) {
    function = library ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

bool LoadLibraries() {
    if (com.tried) return com.loaded;
    com.tried = true;
    HMODULE ole32 = LoadLibraryW(L"ole32.dll");
    HMODULE oleaut32 = LoadLibraryW(L"oleaut32.dll");
    HMODULE oleacc = LoadLibraryW(L"oleacc.dll");
    Load(com.CoInitializeEx, ole32, "CoInitializeEx");
    Load(com.CoUninitialize, ole32, "CoUninitialize");
    Load(com.CoDisconnectObject, ole32, "CoDisconnectObject");
    Load(com.SysAllocString, oleaut32, "SysAllocString");
    Load(com.LresultFromObject, oleacc, "LresultFromObject");
    Load(com.CreateStdAccessibleObject, oleacc, "CreateStdAccessibleObject");
    com.loaded = com.CoInitializeEx && com.CoUninitialize && com.CoDisconnectObject && com.SysAllocString &&
                 com.LresultFromObject && com.CreateStdAccessibleObject;
    return com.loaded;
}

// Objects live on this thread's heap and answer on this thread: only a
// single-threaded apartment delivers calls here. A thread already of the
// multithreaded apartment (RPC_E_CHANGED_MODE) is not served.
bool StartCom() {
    if (com.ready) return com.thread == GetCurrentThreadId();
    if (!LoadLibraries()) return false;
    const HRESULT result = com.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(result)) return false;
    com.ready = true;   // S_FALSE too: each success is paired with an uninitialise
    com.thread = GetCurrentThreadId();
    return true;
}

const LONG kNoneAnnounced = 1;   // ids are never positive

class CAccessibleNode;
CAccessibleNode* nodes = nullptr;   // every live object, newest first
uint32_t nextId = 1;
bool serving = false;   // a client has asked: events are due from now on
volatile LONG strays = 0;   // an object's last reference went on another thread

// The target of a call: a control (child 0) or its simple child, or the
// window's client itself.
struct Target {
    CControl* control;
    uint32_t child;
    bool client;
};

// One control's object, or a row object standing for a simple child.
class CAccessibleNode final : public IAccessible {
public:
    CAccessibleNode(CControl* c, int32_t r)
        : control(c), row(r), id(0), span(0), refs(0), thread(GetCurrentThreadId()), held(false), client(false), pending(false), tracked(false), valueHash(0),
          selected(0), announced(kNoneAnnounced), reorder(false), next(nodes), prev(nullptr) {
        if (nodes) nodes->prev = this;
        nodes = this;
    }
    ~CAccessibleNode() {
        if (prev) prev->next = next;
        else nodes = next;
        if (next) next->prev = prev;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, __uuidof(IUnknown)) && !IsEqualIID(iid, __uuidof(IDispatch)) &&
            !IsEqualIID(iid, __uuidof(IAccessible)))
            return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs)); }
    // COM may let go of its last reference on a thread of its own (a stub
    // released after its apartment went), where this thread's heap is not
    // at hand: the object is then freed on its own thread by SweepReleased.
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs);
        if (left == 0 && GetCurrentThreadId() == thread) {
            this->~CAccessibleNode();
            ThreadHeap->Free(this);
        } else if (left == 0) {
            InterlockedExchange(&strays, 1);
        }
        return ULONG(left);
    }

    // No type information: clients call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* out) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // Only the object a window gave for its client answers as the client.
    bool IsRoot() const { return client && control; }
    // RPC_E_DISCONNECTED once the control is gone; E_FAIL while it lies in
    // no window's tree (a shared control its parent left behind).
    HRESULT Alive() const;
    // The target of `child` and its facts; an error when the control is
    // gone or the id names nothing.
    HRESULT Resolve(const VARIANT& child, Target& target, AccessibleFacts& facts);
    // Posts an action for the target to the window.
    HRESULT Post(UINT message, const Target& target);
    // A text or number the target's facts give (`pick`; a null text: none).
    template <class Pick>
    HRESULT TextProperty(const VARIANT& child, BSTR* out, Pick pick, HRESULT none = S_FALSE);
    template <class Pick>
    HRESULT LongProperty(const VARIANT& child, VARIANT* out, Pick pick);

    CControl* control;   // null once it is gone
    int32_t row;         // -1: the control itself; else the row object of child row + 1
    uint32_t id;         // ids id ... id + span - 1 (0: none)
    uint32_t span;
    volatile LONG refs;
    DWORD thread;        // the thread whose heap holds it
    bool held;           // the registry's reference of a control's object
    bool client;         // the window's client
    bool pending;        // to be disconnected
    // What the client last heard: a tracked control's value and selected
    // child; the root's announced focus and a reorder owed.
    bool tracked;
    uint32_t valueHash;
    uint32_t selected;
    LONG announced;
    bool reorder;
    CAccessibleNode* next;
    CAccessibleNode* prev;
};

CAccessibleNode* FindNode(const CControl* control) {
    for (CAccessibleNode* n = nodes; n; n = n->next)
        if (n->row < 0 && n->control == control && n->held) return n;
    return nullptr;
}

// The control's object, made (with its block of ids) when it has none.
CAccessibleNode* NodeFor(CControl* control) {
    if (CAccessibleNode* n = FindNode(control)) return n;
    AccessibleFacts facts;
    DescribeControl(control, 0, facts);
    void* block = ThreadHeap->Alloc(sizeof(CAccessibleNode), 0, ACCESSIBLE_OBJECT_TAG, __LINE__);
    CAccessibleNode* n = new (block) CAccessibleNode(control, -1);
    const uint32_t span = facts.childCount + 1;
    // Ids run out after two thousand million: later objects have none.
    if (span != 0 && nextId <= uint32_t(INT32_MAX) - facts.childCount) {
        n->id = nextId;
        n->span = span;
        nextId += span;
    }
    n->held = true;
    n->AddRef();
    return n;
}

// The control's object holding the id, or null.
CAccessibleNode* FindById(uint32_t id) {
    if (id == 0) return nullptr;
    for (CAccessibleNode* n = nodes; n; n = n->next)
        if (n->held && n->control && n->id && n->id <= id && id - n->id < n->span) return n;
    return nullptr;
}

LONG EventId(const CAccessibleNode* n, uint32_t child) { return n->id ? -LONG(n->id + child) : CHILDID_SELF; }

// A new reference to the control's object.
IDispatch* DispatchOf(CControl* control) {
    CAccessibleNode* n = NodeFor(control);
    n->AddRef();
    return n;
}

IDispatch* NewRowObject(CControl* control, uint32_t child) {
    void* block = ThreadHeap->Alloc(sizeof(CAccessibleNode), 0, ACCESSIBLE_OBJECT_TAG, __LINE__);
    CAccessibleNode* n = new (block) CAccessibleNode(control, int32_t(child - 1));
    n->AddRef();
    return n;
}

HRESULT Text(const wchar_t* text, BSTR* out, HRESULT none = S_FALSE) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!text) return none;
    if (!com.SysAllocString) return E_FAIL;
    *out = com.SysAllocString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

void SetLong(VARIANT* v, LONG value) {
    v->vt = VT_I4;
    v->lVal = value;
}

void SetDispatch(VARIANT* v, IDispatch* dispatch) {
    v->vt = VT_DISPATCH;
    v->pdispVal = dispatch;
}

// The client of a window: its caption as the name.
void DescribeClient(CControl* root, AccessibleFacts& facts) {
    static wchar_t caption[kUtf8TextBytes];
    const char* in = static_cast<CWindow*>(root)->Title();
    wchar_t* out = caption;
    while (*in && out < caption + kUtf8TextBytes - 1) Utf8DecodeUnit(in, out);
    *out = 0;
    facts.role = ROLE_SYSTEM_CLIENT;
    facts.state = STATE_SYSTEM_FOCUSABLE;
    HWND window = root->RootWindowHandle();
    CControl* focused = FocusedControl();
    if (window && window == KeyboardFocusWindow() && !(focused && focused->Root() == root))
        facts.state |= STATE_SYSTEM_FOCUSED;
    facts.name = caption;
    facts.action = nullptr;
    facts.hasValue = false;
    facts.value[0] = facts.description[0] = 0;
    facts.rect = RECT{0, 0, root->width, root->height};
    facts.childCount = AccessibleCount(root);
    facts.selectedChild = 0;
}

HRESULT CAccessibleNode::Alive() const {
    if (!control) return RPC_E_DISCONNECTED;
    if (client) return S_OK;
    const CAccessibleNode* root = FindNode(control->Root());
    return root && root->client ? S_OK : E_FAIL;
}

HRESULT CAccessibleNode::Resolve(const VARIANT& child, Target& target, AccessibleFacts& facts) {
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    if (child.vt != VT_I4) return E_INVALIDARG;
    const LONG id = child.lVal;
    target = Target{control, 0, false};
    if (row >= 0) {
        if (id != CHILDID_SELF) return E_INVALIDARG;
        target.child = uint32_t(row) + 1;
    } else if (IsRoot()) {
        if (id == CHILDID_SELF) {
            target.client = true;
            DescribeClient(control, facts);
            return S_OK;
        }
        if (id > 0) {
            target.control = AccessibleAt(control, uint32_t(id));
        } else {
            const uint32_t wanted = uint32_t(-int64_t(id));
            CAccessibleNode* n = FindById(wanted);
            if (!n || n->control->Root() != control) return E_INVALIDARG;
            target.control = n->control;
            target.child = wanted - n->id;
        }
        if (!target.control) return E_INVALIDARG;
    } else {
        if (id < 0) return E_INVALIDARG;
        target.child = uint32_t(id);
    }
    if (target.child) {
        AccessibleFacts own;
        DescribeControl(target.control, 0, own);
        if (target.child > own.childCount) return E_INVALIDARG;
    }
    DescribeControl(target.control, target.child, facts);
    return S_OK;
}

template <class Pick>
HRESULT CAccessibleNode::TextProperty(const VARIANT& child, BSTR* out, Pick pick, HRESULT none) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    return FAILED(result) ? result : Text(pick(facts), out, none);
}

template <class Pick>
HRESULT CAccessibleNode::LongProperty(const VARIANT& child, VARIANT* out, Pick pick) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    if (FAILED(result)) return result;
    SetLong(out, pick(facts));
    return S_OK;
}

HRESULT CAccessibleNode::Post(UINT message, const Target& target) {
    HWND window = target.control->Root()->RootWindowHandle();
    CAccessibleNode* n = NodeFor(target.control);
    if (!window || !n->id) return E_FAIL;
    // Behind a modal dialog or box nothing may act, as no click can.
    if (!IsWindowEnabled(window)) return E_ACCESSDENIED;
    return PostMessageW(window, message, WPARAM(n->id), LPARAM(target.child)) ? S_OK : E_FAIL;
}

HRESULT CAccessibleNode::get_accParent(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    if (row >= 0) {
        *out = DispatchOf(control);
        return S_OK;
    }
    CControl* root = control->Root();
    if (root != control) {
        *out = DispatchOf(root);
        return S_OK;
    }
    HWND window = control->RootWindowHandle();
    if (!window || !com.CreateStdAccessibleObject) return S_FALSE;
    return com.CreateStdAccessibleObject(window, OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(out));
}

HRESULT CAccessibleNode::get_accChildCount(LONG* out) {
    if (!out) return E_POINTER;
    *out = 0;
    VARIANT self;
    SetLong(&self, CHILDID_SELF);
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(self, target, facts);
    if (FAILED(result)) return result;
    *out = target.child ? 0 : LONG(facts.childCount);
    return S_OK;
}

HRESULT CAccessibleNode::get_accChild(VARIANT child, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    if (row >= 0) return E_INVALIDARG;
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    if (FAILED(result)) return result;
    if (target.client || (target.control == control && !target.child)) return E_INVALIDARG;
    if (!IsRoot()) return S_FALSE;   // a simple child
    *out = target.child ? NewRowObject(target.control, target.child) : DispatchOf(target.control);
    return S_OK;
}

HRESULT CAccessibleNode::get_accName(VARIANT child, BSTR* out) {
    return TextProperty(child, out, [](const AccessibleFacts& f) { return f.name; });
}

HRESULT CAccessibleNode::get_accValue(VARIANT child, BSTR* out) {
    return TextProperty(child, out, [](const AccessibleFacts& f) { return f.hasValue ? f.value : nullptr; },
                        DISP_E_MEMBERNOTFOUND);
}

HRESULT CAccessibleNode::get_accDescription(VARIANT child, BSTR* out) {
    return TextProperty(child, out, [](const AccessibleFacts& f) { return f.description[0] ? f.description : nullptr; });
}

HRESULT CAccessibleNode::get_accRole(VARIANT child, VARIANT* out) {
    return LongProperty(child, out, [](const AccessibleFacts& f) { return LONG(f.role); });
}

HRESULT CAccessibleNode::get_accState(VARIANT child, VARIANT* out) {
    const HRESULT result = LongProperty(child, out, [](const AccessibleFacts& f) { return LONG(f.state); });
    // A disabled window (a modal dialog is up): every control is unavailable.
    HWND window = SUCCEEDED(result) && control ? control->Root()->RootWindowHandle() : nullptr;
    if (window && !IsWindowEnabled(window)) out->lVal |= STATE_SYSTEM_UNAVAILABLE;
    return result;
}

HRESULT CAccessibleNode::get_accHelp(VARIANT, BSTR* out) { return Text(nullptr, out); }

HRESULT CAccessibleNode::get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccessibleNode::get_accKeyboardShortcut(VARIANT, BSTR* out) { return Text(nullptr, out); }

HRESULT CAccessibleNode::get_accFocus(VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    if (row >= 0) return S_OK;
    HWND window = control->Root()->RootWindowHandle();
    if (!window || window != KeyboardFocusWindow()) return S_OK;
    CControl* focused = FocusedControl();
    if (IsRoot()) {
        if (focused && focused->Root() == control && focused->AccessibleRole())
            SetDispatch(out, DispatchOf(focused));
        else
            SetLong(out, CHILDID_SELF);
    } else if (focused == control) {
        AccessibleFacts facts;
        DescribeControl(control, 0, facts);
        SetLong(out, LONG(facts.selectedChild));
    }
    return S_OK;
}

HRESULT CAccessibleNode::get_accSelection(VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    if (row >= 0 || IsRoot()) return S_OK;
    AccessibleFacts facts;
    DescribeControl(control, 0, facts);
    if (facts.selectedChild) SetLong(out, LONG(facts.selectedChild));
    return S_OK;
}

HRESULT CAccessibleNode::get_accDefaultAction(VARIANT child, BSTR* out) {
    return TextProperty(child, out, [](const AccessibleFacts& f) { return f.action; });
}

HRESULT CAccessibleNode::accSelect(LONG flags, VARIANT child) {
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    if (FAILED(result)) return result;
    // A row is taken (focus and selection) as a click takes it; a control
    // that takes the focus only takes the focus.
    const bool takeRow = target.child && (flags & (SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION));
    const bool focus = !target.child && !target.client && (flags & SELFLAG_TAKEFOCUS) &&
                       (facts.state & STATE_SYSTEM_FOCUSABLE);
    if (!takeRow && !focus) return DISP_E_MEMBERNOTFOUND;
    return Post(kAccessibleTakeFocus, target);
}

HRESULT CAccessibleNode::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    if (FAILED(result)) return result;
    HWND window = target.control->Root()->RootWindowHandle();
    if (!window) return E_FAIL;
    const RECT units = target.client ? facts.rect : RectInRoot(target.control, facts.rect);
    const RECT r = ScaleOf(target.control).Rect(units);   // physical pixels, as clients expect
    POINT at = {r.left, r.top};
    ClientToScreen(window, &at);
    *left = at.x;
    *top = at.y;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

HRESULT CAccessibleNode::accNavigate(LONG direction, VARIANT start, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(start, target, facts);
    if (FAILED(result)) return result;
    CControl* root = control->Root();
    // A simple child named through its own control's object answers in ids.
    const bool ownIds = row < 0 && !IsRoot() && target.control == control;
    if (target.client) {
        const uint32_t count = facts.childCount;
        CControl* c = direction == NAVDIR_FIRSTCHILD ? AccessibleAt(root, 1)
                      : direction == NAVDIR_LASTCHILD ? AccessibleAt(root, count)
                                                      : nullptr;
        if (!c) return S_FALSE;
        SetDispatch(out, DispatchOf(c));
        return S_OK;
    }
    if (target.child) {
        AccessibleFacts own;
        DescribeControl(target.control, 0, own);
        uint32_t k = 0;
        if ((direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) && target.child < own.childCount)
            k = target.child + 1;
        if ((direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) && target.child > 1) k = target.child - 1;
        if (!k) return S_FALSE;
        if (ownIds)
            SetLong(out, LONG(k));
        else
            SetDispatch(out, NewRowObject(target.control, k));
        return S_OK;
    }
    if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
        if (!facts.childCount) return S_FALSE;
        const uint32_t k = direction == NAVDIR_FIRSTCHILD ? 1 : facts.childCount;
        if (ownIds)
            SetLong(out, LONG(k));
        else
            SetDispatch(out, NewRowObject(target.control, k));
        return S_OK;
    }
    const uint32_t index = AccessibleIndexOf(root, target.control);
    CControl* c = nullptr;
    if (index && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)) c = AccessibleAt(root, index + 1);
    if (index > 1 && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)) c = AccessibleAt(root, index - 1);
    if (!c) return S_FALSE;
    SetDispatch(out, DispatchOf(c));
    return S_OK;
}

HRESULT CAccessibleNode::accHitTest(LONG x, LONG y, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    if (const HRESULT dead = Alive(); FAILED(dead)) return dead;
    CControl* root = control->Root();
    HWND window = root->RootWindowHandle();
    if (!window) return E_FAIL;
    POINT p = {x, y};
    ScreenToClient(window, &p);
    p = ScaleOf(root).CellOf(p);
    if (IsRoot()) {
        if (p.x < 0 || p.y < 0 || p.x >= root->width || p.y >= root->height) return S_FALSE;
        CControl* hit = AccessibleHit(root, p);
        if (hit)
            SetDispatch(out, DispatchOf(hit));
        else
            SetLong(out, CHILDID_SELF);
        return S_OK;
    }
    const POINT at = PointInRoot(control, POINT{0, 0});
    const POINT local = {p.x - at.x, p.y - at.y};
    AccessibleFacts facts;
    DescribeControl(control, row < 0 ? 0 : uint32_t(row) + 1, facts);
    const RECT& r = facts.rect;
    if (local.x < r.left || local.y < r.top || local.x >= r.right || local.y >= r.bottom) return S_FALSE;
    SetLong(out, row < 0 ? LONG(control->AccessibleChildAt(local)) : CHILDID_SELF);
    return S_OK;
}

HRESULT CAccessibleNode::accDoDefaultAction(VARIANT child) {
    Target target;
    AccessibleFacts facts;
    const HRESULT result = Resolve(child, target, facts);
    if (FAILED(result)) return result;
    if (target.client || !facts.action) return DISP_E_MEMBERNOTFOUND;
    return Post(kAccessibleDefaultAction, target);
}

// Frees the objects whose last reference went on another thread.
void SweepReleased() {
    if (!InterlockedExchange(&strays, 0)) return;
    for (CAccessibleNode* n = nodes; n;) {
        CAccessibleNode* next = n->next;
        if (n->refs == 0 && n->thread == GetCurrentThreadId()) {
            n->~CAccessibleNode();
            ThreadHeap->Free(n);
        }
        n = next;
    }
}

// Disconnects every object marked pending; each may go as it is released.
void DisconnectPending() {
    for (;;) {
        CAccessibleNode* n = nodes;
        while (n && !n->pending) n = n->next;
        if (!n) return;
        n->pending = false;
        n->AddRef();
        if (com.ready) com.CoDisconnectObject(static_cast<IAccessible*>(n), 0);
        if (n->held) {
            n->held = false;
            n->Release();
        }
        n->Release();
    }
}

void Fire(HWND window, DWORD event, LONG child) { NotifyWinEvent(event, window, OBJID_CLIENT, child); }

uint32_t HashValue(const AccessibleFacts& facts) {
    uint32_t h = facts.hasValue ? 2166136261u : 0u;
    for (const wchar_t* p = facts.value; *p; ++p) h = (h ^ uint16_t(*p)) * 16777619u;
    return h;
}

// From the control's destructor: its objects answer an error from now on.
void AccessibleControlGone(CControl* control) {
    if (!nodes) return;
    bool any = false;
    for (CAccessibleNode* n = nodes; n; n = n->next)
        if (n->control == control) {
            n->control = nullptr;
            n->pending = true;
            any = true;
        }
    // The window's client has lost a child: its clients re-read it.
    if (control->parent)
        if (CAccessibleNode* root = FindNode(control->Root())) root->reorder = true;
    if (any) DisconnectPending();
}

}  // namespace

bool AnswerGetObject(CWindow* window, WPARAM w, LPARAM l, LRESULT& answer) {
    if (DWORD(l) != DWORD(OBJID_CLIENT) || !window) return false;
    answer = 0;
    if (!StartCom()) return true;
    CAccessibleNode* root = NodeFor(window);
    root->client = true;
    SetControlGoneHook(AccessibleControlGone);
    answer = com.LresultFromObject(__uuidof(IAccessible), w, static_cast<IAccessible*>(root));
    serving = true;
    return true;
}

void SyncAccessibleEvents(CWindow* window, HWND handle) {
    // An in-context hook may ask for objects from inside NotifyWinEvent; the
    // WM_GETOBJECT that sends ends in a sync of its own, which must not fire
    // again what the outer one is announcing. So each change is recorded
    // before its event, and a sync inside a sync does nothing.
    static bool syncing = false;
    if (!serving || !window || !handle || syncing) return;
    syncing = true;
    SweepReleased();
    CAccessibleNode* root = NodeFor(window);
    if (root->reorder) {
        root->reorder = false;
        Fire(handle, EVENT_OBJECT_REORDER, CHILDID_SELF);
    }
    AccessibleFacts facts;
    for (CControl* c = NextAccessible(window, nullptr); c; c = NextAccessible(window, c)) {
        const int32_t role = c->AccessibleRole();
        if (role != ROLE_SYSTEM_TEXT && role != ROLE_SYSTEM_SLIDER && role != ROLE_SYSTEM_LIST) continue;
        CAccessibleNode* n = NodeFor(c);
        DescribeControl(c, 0, facts);
        const uint32_t hash = HashValue(facts);
        const bool changed = n->tracked && hash != n->valueHash;
        const bool chosen = n->tracked && facts.selectedChild && facts.selectedChild != n->selected;
        n->tracked = true;
        n->valueHash = hash;
        n->selected = facts.selectedChild;
        if (changed) Fire(handle, EVENT_OBJECT_VALUECHANGE, EventId(n, 0));
        if (chosen) Fire(handle, EVENT_OBJECT_SELECTION, EventId(n, facts.selectedChild));
    }
    LONG now = kNoneAnnounced;
    if (KeyboardFocusWindow() == handle) {
        now = CHILDID_SELF;
        CControl* focused = FocusedControl();
        if (focused && focused->Root() == window && focused->AccessibleRole()) {
            DescribeControl(focused, 0, facts);
            now = EventId(NodeFor(focused), facts.selectedChild);
        }
    }
    if (now != root->announced) {
        root->announced = now;
        if (now != kNoneAnnounced) Fire(handle, EVENT_OBJECT_FOCUS, now);
    }
    syncing = false;
}

void NoteAccessibleWindowFocus(CWindow* window) {
    if (CAccessibleNode* root = serving ? FindNode(window) : nullptr) root->announced = kNoneAnnounced;
}

void RunAccessibleAction(CWindow* window, UINT message, WPARAM w, LPARAM l) {
    CAccessibleNode* n = FindById(uint32_t(w));
    if (!n || n->id != uint32_t(w) || n->control->Root() != window) return;
    // Posted before a modal dialog opened, it arrives inside the dialog's loop.
    HWND handle = window->RootWindowHandle();
    if (handle && !IsWindowEnabled(handle)) return;
    CControl* control = n->control;
    const uint32_t child = uint32_t(l);
    if (message == kAccessibleTakeFocus && !child) {
        AccessibleFacts facts;
        DescribeControl(control, 0, facts);
        if (facts.state & STATE_SYSTEM_FOCUSABLE) SetFocusControl(control);
    } else {
        control->DoDefaultAction(child);
    }
    window->DeliverNotifications();
}

void ShutDownAccessibility() {
    for (CAccessibleNode* n = nodes; n; n = n->next) {
        n->control = nullptr;
        n->pending = true;
    }
    DisconnectPending();
    serving = false;
    // A later request in this process starts COM again.
    if (com.ready) com.CoUninitialize();
    com.ready = false;
    SweepReleased();
}
