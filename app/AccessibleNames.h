// What only the application knows of its controls, for a screen reader: the
// list's name, the headings the wave facts stand under, which wave a Play or
// Save button acts on, and the envelope's edits, sliders and curve.
#pragma once

#include <cstdint>

#include "../panel/Accessible.h"

// The amendment the main window installs (SetAccessibleAmend), by control name:
//   "list" and its scroll bar          name "Instruments"
//   "waveIndex0", "ofs0", "loopStart0", "loopEnd0"
//                                      named by their heading, valued by their text
//   "play0", "save0"                   described "Raw Wave"
//   "arPlay", "arSave"                 described "Envelope"
//   "edt_Attack" ... "edt_Release"     named "Attack" ... "Release"
//   "Attack" ... (sliders)             named so, valued by their edit's text
//   "curve"                            "Envelope curve", the envelope in words
void DescribeAppControl(CControl* control, uint32_t child, AccessibleFacts& facts);
