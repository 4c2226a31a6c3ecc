#include "AccessibleNames.h"

#include <cstring>

#include "../rtl/Str.h"
#include "../sound/Envelope.h"
#include "InfoPanel.h"

namespace {

struct NameRow {
    const char* control;
    const wchar_t* name;          // null: the control's own
    const wchar_t* description;   // null: none
    bool valueIsText;             // a label whose text is its value
};

const NameRow kNames[] = {
    {"list", L"Instruments", nullptr, false},
    {"waveIndex0", L"Wave Index", nullptr, true},
    {"ofs0", L"Byte Offset", nullptr, true},
    {"loopStart0", L"Loop Start", nullptr, true},
    {"loopEnd0", L"Loop Length", nullptr, true},
    {"play0", nullptr, L"Raw Wave", false},
    {"save0", nullptr, L"Raw Wave", false},
    {"arPlay", nullptr, L"Envelope", false},
    {"arSave", nullptr, L"Envelope", false},
};

bool Named(const CControl* control, const char* name) { return control && control->name && std::strcmp(control->name, name) == 0; }

}  // namespace

void DescribeAppControl(CControl* control, uint32_t child, AccessibleFacts& facts) {
    if (child) return;
    if (facts.role == ROLE_SYSTEM_SCROLLBAR && Named(control->parent, "list")) {
        facts.name = L"Instruments";
        return;
    }
    for (const NameRow& row : kNames) {
        if (!Named(control, row.control)) continue;
        if (row.valueIsText && facts.name) {
            facts.hasValue = true;
            CopyWide(facts.value, facts.name, kAccessibleTextUnits);
        }
        if (row.name) facts.name = row.name;
        if (row.description) CopyWide(facts.description, row.description, kAccessibleTextUnits);
        return;
    }
    for (uint32_t p = 0; p < 3; ++p) {
        const wchar_t* name = envelopeParamNames[p];
        if (Named(control, TempText("edt_%S", name))) {
            facts.name = name;
            return;
        }
        if (Named(control, TempText("%S", name))) {
            facts.name = name;
            CopyWide(facts.value, envelopeTexts[p], kAccessibleTextUnits);
            return;
        }
    }
    if (Named(control, "curve")) {
        facts.name = L"Envelope curve";
        FormatTextW(facts.description, kAccessibleTextUnits, L"Attack %g s, Sustain %g s, Release %g s",
                    double(envelopeParams[0]), double(envelopeParams[1]), double(envelopeParams[2]));
    }
}
