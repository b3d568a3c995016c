// An I/O page reaching into its peer, the module dialog: the layer check must name it.
#include "core/Options.h"
#include "module/ModuleTabs.h"
