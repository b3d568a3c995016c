// The catalogue rows, kept apart from the code that reads them. Sorted by
// ascending type number and closed by the end row (type -1).
#pragma once

#include "protocol/ModuleType.h"

extern const ModuleTypeInfo g_moduleTypeTable[];
