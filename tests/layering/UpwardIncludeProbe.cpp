// Built only by the layering test, with the settings of the bus library. It
// must fail to compile: the module list lives in a layer above the bus.
#include "protocol/ModuleList.h"

int layerProbe() { return kModuleRecCount; }
