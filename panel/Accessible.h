// What a screen reader is told of the controls, as data: each control
// answers for itself (CControl::AccessibleRole and Describe), the framework
// adds what it knows (focus, visibility), and the application may amend the
// answer with what only it knows (a heading, which wave a button plays).
// AccessibleObject adapts these answers to IAccessible; nothing here needs COM.
#pragma once

#include <cstdint>

#include <oleacc.h>

#include "Control.h"

const uint32_t kAccessibleTextUnits = 96;

struct AccessibleFacts {
    int32_t role;            // ROLE_SYSTEM_*
    uint32_t state;          // STATE_SYSTEM_*
    const wchar_t* name;     // null: none; points into the control or static text
    const wchar_t* action;   // the default action's name; null: none
    bool hasValue;
    wchar_t value[kAccessibleTextUnits];
    wchar_t description[kAccessibleTextUnits];   // empty: none
    RECT rect;               // in the control's own coordinates
    uint32_t childCount;     // its simple children (child 0 only)
    uint32_t selectedChild;  // the selected simple child, 0 for none (child 0 only)
};

// The application's amendment, run after the control and the framework.
typedef void (*AccessibleAmend)(CControl* control, uint32_t child, AccessibleFacts& facts);
void SetAccessibleAmend(AccessibleAmend amend);

// The facts of `control` (child 0) or of its simple child `child`: role from
// AccessibleRole, the rectangle of the whole control and no name, value or
// action; then the control's Describe; then, for child 0, FOCUSABLE when it
// takes the focus, FOCUSED when it has it while its window has the keyboard
// focus, INVISIBLE when it has no area; last the application's amendment.
void DescribeControl(CControl* control, uint32_t child, AccessibleFacts& facts);

// Whether `control` has the framework focus while its window has the
// keyboard focus.
bool HasKeyboardFocus(CControl* control);

// The controls a window's client object lists, in tree order: every control
// under `root` with a role, wherever it lies (containers without a role are
// passed through). The one after `from` (null: the first); null past the last.
CControl* NextAccessible(CControl* root, CControl* from);
// Their count, the one at a 1-based index (null outside) and the index of
// one (0 when it is not listed).
uint32_t AccessibleCount(CControl* root);
CControl* AccessibleAt(CControl* root, uint32_t index);
uint32_t AccessibleIndexOf(CControl* root, CControl* control);

// The innermost control with a role under a point of `root`'s coordinates,
// by geometry alone (a capture does not count); null when there is none.
CControl* AccessibleHit(CControl* root, POINT point);
// A point or rectangle of `control`'s coordinates in its root's.
POINT PointInRoot(const CControl* control, POINT point);
RECT RectInRoot(const CControl* control, RECT rect);
