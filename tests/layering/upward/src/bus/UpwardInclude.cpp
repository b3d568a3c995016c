// A bus file reaching up into the module protocol: the layer check must name it.
#include "protocol/ModuleList.h"
