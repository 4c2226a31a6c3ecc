#include "InfoPanel.h"

#include <cfloat>
#include <cwchar>
#include <limits>

#include "../controls/CtlButton.h"
#include "../controls/CtlEdit.h"
#include "../controls/CtlLabel.h"
#include "../controls/CtlSlider.h"
#include "../rtl/Str.h"
#include "../sound/Envelope.h"
#include "../sound/SoundSet.h"
#include "WaveSave.h"

wchar_t envelopeTexts[3][kEnvelopeTextUnits];
CCurve* envelopeCurve = nullptr;
float curveView[5] = {-0.062785916f, -0.0915217251f, 1.09366345f, 410.0625f, 486.0f};

namespace {

CPanel* builtPanel = nullptr;   // the panel the callbacks refresh

// Anchor words: from the near edge, or n pixels before the far edge.
uint32_t Near(int32_t n) { return uint32_t(uint16_t(n)); }
uint32_t Far(int32_t n) { return uint32_t(kAnchorFar) << 16 | uint16_t(-n); }

float PlotEnvelope(uint32_t, uint32_t, float x, const CurveSortedPoint*) { return float(EnvelopeGain(x)); }

void PlayRawClicked(uint32_t cue, const char*, int32_t) { PlayRaw(cue); }
void SaveRawClicked(uint32_t cue, const char*, int32_t) { SaveRaw(cue); }
void PlayEnvelopeClicked(uint32_t cue, const char*, int32_t) { PlayEnvelope(cue); }
void SaveEnvelopeClicked(uint32_t cue, const char*, int32_t) { SaveEnvelope(cue); }

void Add(CPanel* panel, CControl* control, const char* name, uint32_t left, uint32_t top, uint32_t right,
         uint32_t bottom, ControlCallback callback = nullptr, uint32_t data = 0) {
    AddControl(nullptr, control, panel, name);
    SetControlAnchors(name, panel, left, top, right, bottom);
    if (callback) SetControlCallback(name, panel, callback, data);
}

void AddLabel(CPanel* panel, const char* name, const wchar_t* text, uint32_t left, uint32_t top, uint32_t right,
              uint32_t bottom) {
    Add(panel, CreateLabel(text), name, left, top, right, bottom);
}

void FormatEnvelopeText(uint32_t p) { FormatTextW(envelopeTexts[p], kEnvelopeTextUnits, L"%g", envelopeParams[p]); }

}  // namespace

float ParseEnvelopeText(const wchar_t* text) {
    const double v = std::wcstod(text, nullptr);
    // Beyond float's range the conversion itself is not defined.
    if (v > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (v < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return float(v);
}

void BuildInfoPanel(CPanel* panel, int32_t instrument) {
    if (!panel) return;
    builtPanel = panel;
    // A control of the panel that has the focus hands it to its successor.
    char focused[32] = "";
    if (CControl* f = FocusedControl(); f && f->name && FindControl(panel, f->name) == f)
        FormatText(focused, sizeof focused, "%s", f->name);
    if (envelopeCurve) {
        const float view[5] = {envelopeCurve->OriginX, envelopeCurve->ViewBottom, envelopeCurve->ViewTop,
                               envelopeCurve->ZoomX, envelopeCurve->ValueScale};
        for (int i = 0; i < 5; ++i) curveView[i] = view[i];
        ReleaseEnvelopeCurve();
    }
    DeleteControls(panel);

    const InstrumentEntry* entry = InstrumentAt(instrument);
    // Region 0's wave: its facts and buttons only when it lies in the sound set.
    uint32_t cue = 0, listSize = 0;
    const uint8_t* list = entry && RegionCue(*entry, 0, cue) ? CueWaveList(cue, listSize) : nullptr;

    AddLabel(panel, "lbl regions", TempTextW(L"%S", entry && entry->name ? entry->name : ""), Near(2), Near(2),
             Far(2), Near(14));
    AddLabel(panel, "waveIndexHdr", L"Wave Index", Near(2), Near(16), Near(98), Near(28));
    AddLabel(panel, "ofsHdr", L"Byte Offset", Near(100), Near(16), Near(196), Near(28));
    AddLabel(panel, "loopStartHdr", L"Loop Start", Near(198), Near(16), Near(262), Near(28));
    AddLabel(panel, "loopLengthHdr", L"Loop Length", Near(264), Near(16), Near(360), Near(28));
    AddLabel(panel, "fileHdr", L"Raw Wave", Near(362), Near(16), Far(2), Near(28));
    if (list) {
        uint32_t loopStart = 0, loopLength = 0;
        if (!RegionLoop(*entry, 0, loopStart, loopLength)) loopStart = loopLength = 0;
        AddLabel(panel, TempText("waveIndex%u", 0u), TempTextW(L"%u", cue), Near(2), Near(30), Near(98), Near(42));
        AddLabel(panel, TempText("ofs%u", 0u), TempTextW(L"%u", uint32_t(WaveByteOffset(list))), Near(100),
                 Near(30), Near(196), Near(42));
        AddLabel(panel, TempText("loopStart%u", 0u), TempTextW(L"%u", loopStart), Near(198), Near(30), Near(262),
                 Near(42));
        AddLabel(panel, TempText("loopEnd%u", 0u), TempTextW(L"%u", loopLength), Near(264), Near(30), Near(360),
                 Near(42));
        Add(panel, CreateButton(L"Play"), TempText("play%u", 0u), Near(362), Near(28), Near(412), Near(44),
            PlayRawClicked, cue);
        Add(panel, CreateButton(L"Save"), TempText("save%u", 0u), Near(412), Near(28), Far(2), Near(44),
            SaveRawClicked, cue);
    }
    AddLabel(panel, "lbl env", L"Envelope", Near(2), Near(52), Far(2), Near(64));
    if (list) {
        Add(panel, CreateButton(L"Play"), "arPlay", Far(64), Near(66), Far(2), Near(86), PlayEnvelopeClicked, cue);
        Add(panel, CreateButton(L"Save"), "arSave", Far(64), Near(88), Far(2), Near(108), SaveEnvelopeClicked, cue);
    }
    for (uint32_t p = 0; p < 3; ++p) {
        const int32_t y = 66 + 14 * int32_t(p);
        const wchar_t* name = envelopeParamNames[p];
        AddLabel(panel, TempText("lbl_%S", name), name, Near(2), Near(y), Near(66), Near(y + 12));
        Add(panel, CreateEdit(envelopeTexts[p], kEnvelopeTextUnits, kEditPlacePending), TempText("edt_%S", name),
            Near(68), Near(y), Near(132), Near(y + 12), OnEnvelopeEdit, p);
        Add(panel, CreateSlider(&envelopeParams[p]), TempText("%S", name), Near(134), Near(y), Far(68),
            Near(y + 12), OnEnvelopeSlider, p);
        FormatEnvelopeText(p);
    }

    CCurve* curve = CreateCurve(PlotEnvelope);
    AddControl(nullptr, curve, panel, "curve");
    panel->RequestLayout();
    static_cast<CRefObject*>(curve)->AddRef();
    envelopeCurve = curve;
    if (curve->XMin != 0.0f || curve->XMax != 1.0f) curve->SetXRange(0.0f, 1.0f);
    if (curve->ValueMin != 0.0f || curve->ValueMax != 1.0f) curve->SetValueRange(0.0f, 1.0f);
    SetControlAnchors("curve", panel, Near(2), Near(108), Far(2), Far(2));
    curve->OriginX = curveView[0];
    curve->ViewBottom = curveView[1];
    curve->ViewTop = curveView[2];
    curve->ZoomX = curveView[3];
    curve->ValueScale = curveView[4];
    curve->Invalidate();
    if (CControl* successor = focused[0] ? FindControl(panel, focused) : nullptr) SetFocusControl(successor);
}

void ReleaseEnvelopeCurve() {
    CCurve* curve = envelopeCurve;
    envelopeCurve = nullptr;
    if (curve) static_cast<CRefObject*>(curve)->Release();
}

void OnEnvelopeEdit(uint32_t p, const char*, int32_t value) {
    if (value != 1 || p > 2) return;
    envelopeParams[p] = ParseEnvelopeText(envelopeTexts[p]);
    RefreshControls(builtPanel);
}

void OnEnvelopeSlider(uint32_t p, const char*, int32_t) {
    if (p > 2) return;
    FormatEnvelopeText(p);
    RefreshControls(builtPanel);
}
