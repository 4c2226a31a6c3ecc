// The program's composition root: the start-up steps that build every
// process-wide object, in order, before main; they are taken down in reverse
// at exit, the leak report last.
#pragma once

#include <cstdint>

#include "../rtl/ProcessObject.h"

extern const ProcessStep kProgramSteps[];
extern const uint32_t kProgramStepCount;
