#include "CtlEdit.h"

#include <climits>
#include <cstring>

#include "../panel/Accessible.h"
#include "../panel/ColorScheme.h"
#include "../rtl/Array.h"
#include "../rtl/Str.h"

namespace {

const uint32_t kPasteStep = 128;
const DWORD kAnalyseFlags = SSA_GLYPHS | SSA_FALLBACK | SSA_BREAK | SSA_LINK;   // 0x10E0

bool IsLetter(uint32_t unit) { return unit - 'a' < 26; }

// The edit's own measurements, for EditScrollStart.
class CEditMetrics final : public IEditMetrics {
public:
    explicit CEditMetrics(CEdit* edit) : edit(edit) {}
    int32_t X(uint32_t position, int trailing) override { return edit->TextX(position, trailing); }
    EditHit Hit(int32_t x) override { return edit->TextHit(x); }

private:
    CEdit* edit;
};

}  // namespace

uint32_t EditTextLength(wchar_t* buffer, uint32_t capacity) {
    if (!buffer || capacity == 0) return 0;
    uint32_t n = 0;
    while (n < capacity && buffer[n]) ++n;
    if (n == capacity) buffer[--n] = 0;
    return n;
}

int EditInsert(wchar_t* buffer, uint32_t capacity, uint32_t at, const wchar_t* units, uint32_t n) {
    const uint32_t length = EditTextLength(buffer, capacity);
    // length < capacity here, so the subtraction cannot wrap.
    if (capacity == 0 || at > length || n >= capacity - length) return 0;
    if (n == 0) return 1;
    std::memmove(buffer + at + n, buffer + at, (length - at + 1) * sizeof(wchar_t));
    std::memcpy(buffer + at, units, n * sizeof(wchar_t));
    return 1;
}

void EditRemove(wchar_t* buffer, uint32_t capacity, uint32_t at, uint32_t n) {
    const uint32_t length = EditTextLength(buffer, capacity);
    if (at >= length || n == 0) return;
    if (n > length - at) n = length - at;
    std::memmove(buffer + at, buffer + at + n, (length - at - n + 1) * sizeof(wchar_t));
}

EditHit NormalizeEditHit(int32_t position, int32_t trailing, uint32_t length) {
    if (position < 0) return EditHit{0, 0};
    if (uint32_t(position) > length) return EditHit{int32_t(length), 1};
    return EditHit{position, trailing};
}

uint32_t EditHitCaret(EditHit hit, uint32_t length) {
    const uint32_t p = uint32_t(hit.position);
    return hit.trailing && p < length ? p + 1 : p;
}

uint32_t EditScrollStart(IEditMetrics& metrics, uint32_t scrollStart, uint32_t caret, uint32_t length,
                         int32_t width) {
    if (caret < scrollStart) scrollStart = caret;
    const int32_t xs = metrics.X(scrollStart, 0);
    const int32_t xc = metrics.X(caret, 0);
    const int32_t xe = caret >= length ? xc : metrics.X(caret, 1);
    if (xc < xs) return caret;
    const int64_t view = int64_t(width) - 2 * kEditInset;
    if (int64_t(xe) > int64_t(xs) + view) {
        const int32_t t = int32_t(int64_t(xe) - view);
        const uint32_t h = uint32_t(metrics.Hit(t).position);
        scrollStart = metrics.X(h, 0) < t ? h + 1 : h;
        if (scrollStart > caret) scrollStart = caret;
    }
    return scrollStart;
}

int32_t EditTextTop(int32_t height, int32_t textHeight) {
    return textHeight > height ? 0 : (height - textHeight) / 2;
}

IEdit::CEdit::CEdit()
    : Stale(1), Analysis(nullptr), Buffer(nullptr), MeasurePainter(nullptr), Capacity(0), Caret(0),
      Selecting(0), Flags(0), Focused(0), ScrollStart(0), Anchor(0), MeasureDpi(kBaseDpi) {}

IEdit::CEdit::~CEdit() {
    if (Focused) DestroyCaret();
    FreeAnalysis();
}

const wchar_t* IEdit::CEdit::Text() const { return Buffer && Capacity ? Buffer : L""; }

uint32_t IEdit::CEdit::Length() { return EditTextLength(Buffer, Capacity); }

void IEdit::CEdit::FreeAnalysis() {
    if (Analysis) ScriptStringFree(&Analysis);
    Analysis = nullptr;
}

void IEdit::CEdit::NotePainter(IPainter* painter) {
    const uint32_t dpi = painter ? painter->Scale().dpi : kBaseDpi;
    if (painter == MeasurePainter && dpi == MeasureDpi) return;
    MeasurePainter = painter;
    MeasureDpi = dpi;
    Stale = 1;
}

void IEdit::CEdit::TakePainter() {
    IPainter* painter = BeginDraw();
    if (painter) PreparePainter(painter);
    NotePainter(painter);
    if (painter) EndDraw(painter);
}

bool IEdit::CEdit::Analyse() {
    if (!Stale) return Analysis != nullptr;
    FreeAnalysis();
    // The painter noted last may have gone with a resize: take it afresh.
    TakePainter();
    const uint64_t length = Length();
    const uint64_t glyphs = length * 3 / 2 + 16;
    if (!MeasurePainter || glyphs > INT_MAX) return false;
    SCRIPT_CONTROL control;
    SCRIPT_STATE state;
    std::memset(&control, 0, sizeof(control));
    std::memset(&state, 0, sizeof(state));
    ScriptApplyDigitSubstitution(nullptr, &control, &state);
    SCRIPT_STRING_ANALYSIS analysis = nullptr;
    HDC dc = MeasurePainter->GetHDC();
    const HRESULT result = ScriptStringAnalyse(dc, Text(), int(length + 1), int(glyphs), -1, kAnalyseFlags, 0,
                                               &control, &state, nullptr, nullptr, nullptr, &analysis);
    if (FAILED(result) || !analysis) return false;
    Analysis = analysis;
    Stale = 0;
    return true;
}

int32_t IEdit::CEdit::TextX(uint32_t position, int trailing) {
    int x = 0;
    if (!Analyse() || position > INT_MAX) return 0;
    if (FAILED(ScriptStringCPtoX(Analysis, int(position), trailing ? TRUE : FALSE, &x))) return 0;
    return CDisplayScale{MeasureDpi}.Units(x);
}

EditHit IEdit::CEdit::TextHit(int32_t x) {
    int position = 0, trailing = 0;
    if (!Analyse() || FAILED(ScriptStringXtoCP(Analysis, CDisplayScale{MeasureDpi}.Edge(x), &position, &trailing)))
        return EditHit{0, 0};
    return NormalizeEditHit(position, trailing, Length());
}

uint32_t IEdit::CEdit::CaretAt(int32_t x) {
    return EditHitCaret(TextHit(x + TextX(ScrollStart, 0) - kEditInset), Length());
}

void IEdit::CEdit::MoveCaret(uint32_t position) {
    Caret = position;
    if (position < ScrollStart) ScrollStart = position;
    TakePainter();
    CEditMetrics metrics(this);
    ScrollStart = EditScrollStart(metrics, ScrollStart, Caret, Length(), width);
    // The caret image is the focused edit's alone.
    if (Focused) SetCaretPos(POINT{TextX(Caret, 0) - TextX(ScrollStart, 0) + kEditInset, kEditInset});
    Invalidate();
}

void IEdit::CEdit::DeleteSelection() {
    const uint32_t lo = Caret < Anchor ? Caret : Anchor;
    const uint32_t hi = Caret < Anchor ? Anchor : Caret;
    MoveCaret(lo);
    Anchor = Caret;
    EditRemove(Buffer, Capacity, lo, hi - lo);
    Stale = 1;
}

void IEdit::CEdit::CopySelection() {
    const uint32_t length = Length();
    uint32_t lo = Caret < Anchor ? Caret : Anchor;
    uint32_t hi = Caret < Anchor ? Anchor : Caret;
    if (hi > length) hi = length;
    if (lo > hi) lo = hi;
    TArray<wchar_t> selection(TArray<wchar_t>::Sized(), hi - lo + 1);
    if (hi > lo) std::memcpy(selection.items, Text() + lo, (hi - lo) * sizeof(wchar_t));
    selection[hi - lo] = 0;
    SetClipboardText(selection.items);
}

void IEdit::CEdit::Paste() {
    if (Caret != Anchor) DeleteSelection();
    TArray<wchar_t> clip(kPasteStep);
    GetClipboardText(clip, Capacity);
    const uint32_t n = clip.count - 1;   // the terminator is last
    if (Flags & kEditLettersOnly) {
        for (uint32_t i = 0; i < n; ++i) {
            if (!IsLetter(uint16_t(clip[i]))) continue;
            if (!EditInsert(Buffer, Capacity, Caret, &clip[i], 1)) break;
            ++Caret;
            Stale = 1;
        }
        const uint32_t length = Length();
        MoveCaret(Caret < length ? Caret : length);
    } else if (EditInsert(Buffer, Capacity, Caret, clip.items, n)) {
        Stale = 1;
        MoveCaret(Caret + n);   // past the pasted text
    }
    Anchor = Caret;
}

void IEdit::CEdit::DropFocus() {
    if (FocusedControl() == this)
        SetFocusControl(nullptr);
    else
        OnFocus(0);
}

void IEdit::CEdit::TakeFocusByClick() {
    if (Focused) return;
    Flags |= kEditFocusByClick;
    SetFocusControl(this);
    Flags &= ~kEditFocusByClick;
}

int IEdit::CEdit::CanFocus() { return 1; }

void IEdit::CEdit::Notify(int32_t value) {
    CControl::Notify(value);
    if (value == 0)
        Flags |= kEditModified;
    else
        Flags &= ~kEditModified;
}

void IEdit::CEdit::OnFocus(int gained) {
    const uint32_t now = gained ? 1 : 0;
    if (now == Focused) return;
    Focused = now;
    Invalidate();
    if (!gained) {
        DestroyCaret();
        Anchor = Caret;
        if (Flags & kEditModified) Notify(1);
        return;
    }
    CreateCaret(SIZE{1, height > 2 * kEditInset + 1 ? height - 2 * kEditInset : 1});
    SetCaretPos(POINT{kEditInset, kEditInset});
    if (!(Flags & kEditFocusByClick)) {
        Anchor = 0;
        Caret = Length();
    }
}

int IEdit::CEdit::OnChar(int32_t key, uint32_t modifiers) {
    const bool readOnly = (Flags & kEditReadOnly) != 0;
    switch (key) {
    case KeyBackspace:
        if (readOnly) return 0;
        if (Caret != Anchor) {
            DeleteSelection();
            Notify(0);
            Invalidate();
        } else if (Caret > 0) {
            MoveCaret(Caret - 1);
            Anchor = Caret;
            EditRemove(Buffer, Capacity, Caret, 1);
            Stale = 1;
            Notify(0);
            Invalidate();
        }
        return 1;
    case KeyCopy:
        CopySelection();
        return 1;
    case KeyCut:
        CopySelection();
        if (readOnly) return 0;
        if (Caret != Anchor) DeleteSelection();
        Notify(0);
        Invalidate();
        return 1;
    case KeyEnter:
        if (FocusedControl()) SetFocusControl(nullptr);
        if (Flags & kEditModified) Notify(1);
        return 0;
    case KeyPaste:
        if (readOnly) return 0;
        Paste();
        Notify(1);
        Invalidate();
        return 1;
    default:
        break;
    }
    if (readOnly || (modifiers & kKeyCtrl)) return 0;
    if ((Flags & kEditLettersOnly) && !IsLetter(uint32_t(key))) return 0;
    if (Caret != Anchor) DeleteSelection();
    // A zero unit would cut the text short: never inserted.
    const wchar_t unit = wchar_t(key);
    if (unit && EditInsert(Buffer, Capacity, Caret, &unit, 1)) {
        Stale = 1;
        MoveCaret(Caret + 1);
        Anchor = Caret;
    }
    Notify(0);
    Invalidate();
    return 1;
}

int IEdit::CEdit::OnKeyDown(int32_t key, uint32_t modifiers) {
    const bool readOnly = (Flags & kEditReadOnly) != 0;
    switch (key) {
    case KeyDelete:
        if (readOnly) return 0;
        if (Caret != Anchor) {
            DeleteSelection();
        } else {
            if (Caret >= Length()) return 1;
            EditRemove(Buffer, Capacity, Caret, 1);
            Stale = 1;
        }
        Invalidate();
        Notify(0);
        return 1;
    case KeyHome:
    case KeyEnd:
    case KeyLeft:
    case KeyRight: {
        const uint32_t length = Length();
        if (key == KeyHome)
            MoveCaret(0);
        else if (key == KeyEnd)
            MoveCaret(length);
        else if (key == KeyLeft && Caret > 0)
            MoveCaret(Caret - 1);
        else if (key == KeyRight && Caret < length)
            MoveCaret(Caret + 1);
        if (!(modifiers & kKeyShift)) Anchor = Caret;
        return 1;
    }
    case KeyEscape:
        if (Focused) DropFocus();
        return 0;
    case KeyTab:
        return 0;
    default:
        return readOnly || (modifiers & kKeyCtrl) ? 0 : 1;
    }
}

void IEdit::CEdit::OnMouseDown(int32_t, uint32_t, POINT point) {
    TakeFocusByClick();
    Selecting = 1;
    SetCapture(1);
    MoveCaret(CaretAt(point.x));
    Anchor = Caret;
}

void IEdit::CEdit::OnMouseMove(uint32_t, POINT point) {
    if (Selecting) MoveCaret(CaretAt(point.x));
}

void IEdit::CEdit::OnMouseUp(int32_t, uint32_t, POINT) {
    if (!Selecting) return;
    Selecting = 0;
    SetCapture(0);
}

void IEdit::CEdit::OnCaptureLost() { Selecting = 0; }

void IEdit::CEdit::OnDoubleClick(int32_t, uint32_t, POINT) {
    TakeFocusByClick();
    Anchor = 0;
    MoveCaret(Length());
}

void IEdit::CEdit::OnPaint(IPainter* painter) {
    if (!painter) return;
    PreparePainter(painter);   // measured and drawn in the edit's own font
    NotePainter(painter);
    if ((Flags & kEditPlacePending) && (Flags & kEditCaretAtEnd)) {
        Flags &= ~kEditPlacePending;
        MoveCaret(Length());
        Anchor = Caret;
    }
    const uint32_t face = (*currentScheme)[kSchemeFace];
    const int32_t w = width, h = height;
    painter->DrawBevel(RECT{0, 0, w, h}, face, 0, 0);
    const RECT inner = {1, 1, w - 1, h - 1};
    const int32_t sx = TextX(ScrollStart, 0);
    painter->FillRect(inner, Focused ? ScaleColor(face, 5, 4) : face);
    painter->PushClip();
    painter->ClipRect(inner);
    const wchar_t* text = Text();
    painter->DrawText(text, POINT{kEditInset - sx, EditTextTop(h, painter->TextHeight(text))},
                      (*currentScheme)[kSchemeFaceText]);
    if (Caret != Anchor) {
        const int32_t xc = TextX(Caret, 0), xa = TextX(Anchor, 0);
        const int32_t lo = xc < xa ? xc : xa, hi = xc < xa ? xa : xc;
        painter->XorRect(RECT{lo - sx + kEditInset, kEditInset, hi - sx + kEditInset, h - kEditInset});
    }
    painter->PopClip();
}

void IEdit::CEdit::Refresh() {
    Stale = 1;
    FreeAnalysis();
    const uint32_t length = Length();
    if (Caret > length) {
        MoveCaret((Flags & kEditCaretAtEnd) ? length : 0);
        Anchor = Caret;
    }
    if (Anchor > length) Anchor = Caret;
    if (ScrollStart > Caret) ScrollStart = Caret;
    Invalidate();
}

int32_t IEdit::CEdit::AccessibleRole() { return ROLE_SYSTEM_TEXT; }

void IEdit::CEdit::Describe(AccessibleFacts& facts, uint32_t) {
    facts.hasValue = true;
    CopyWide(facts.value, Text(), kAccessibleTextUnits);
    if (Flags & kEditReadOnly) facts.state |= STATE_SYSTEM_READONLY;
}

CEdit* CreateEdit(wchar_t* buffer, uint32_t capacity, uint32_t flags) {
    CEdit* edit = NewControl<CEdit>(CTL_EDIT_TAG, __LINE__);
    edit->Buffer = buffer;
    edit->Capacity = capacity;
    edit->Flags = flags;
    return edit;
}
