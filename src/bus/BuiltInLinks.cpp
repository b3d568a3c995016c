// The links behind the interface table's rows.
#include "bus/BuiltInLinks.h"

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "bus/ModbusLink.h"
#include "bus/PcanLink.h"
#include "core/Session.h"

Link& BuiltInLink(int type) {
  switch (type) {
    case kInterfacePcanUsb: return Session_Part<PcanUsbLink>();
    case kInterfaceEthernet: return Session_Part<EthMasterLink>();
    case kInterfaceModbus: return Session_Part<ModbusLink>();
    default: return Session_Part<EmptyLink>();
  }
}
