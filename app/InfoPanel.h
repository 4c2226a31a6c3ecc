// The information panel: the chosen instrument's name, its first region's
// wave facts with Play and Save, and the envelope editor (edits, sliders,
// Play and Save, and the curve).
#pragma once

#include <cstdint>

#include "../controls/Curve.h"
#include "../panel/Panel.h"

const uint32_t kEnvelopeTextUnits = 16;

extern wchar_t envelopeTexts[3][kEnvelopeTextUnits];   // "%g" of envelopeParams, edited
extern CCurve* envelopeCurve;                          // counted reference, or null
// OriginX, ViewBottom, ViewTop, ZoomX and ValueScale, carried between builds.
extern float curveView[5];

// Rebuilds the panel's controls for instrument `instrument` (any index: one
// that is not an instrument shows no name). Without a wave for region 0 the
// wave facts and the four Play and Save buttons are left out.
void BuildInfoPanel(CPanel* panel, int32_t instrument);
// Releases the curve's reference (at shutdown).
void ReleaseEnvelopeCurve();

// The edits' callback: a commit (1) reads the text as a number into
// envelopeParams[p]; then every control re-reads its variable.
void OnEnvelopeEdit(uint32_t p, const char* name, int32_t value);
// The sliders' callback: the edit's text follows the value.
void OnEnvelopeSlider(uint32_t p, const char* name, int32_t value);

// A text as a single-precision number the way the edits read it: the C
// library's conversion (0 for no number), out-of-range magnitudes as infinity.
float ParseEnvelopeText(const wchar_t* text);
