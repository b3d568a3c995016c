// The links behind the interface table's rows.
#include "bus/BuiltInLinks.h"

#include <string>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "bus/ModbusLink.h"
#include "core/Session.h"

namespace {

// Links that come with a later version: opening them fails with a plain text,
// so the interface stays closed and everything else keeps working.
class UnavailableLink : public EmptyLink {
 public:
  explicit UnavailableLink(const char* name) : name_(name) {}
  LinkResult open() override { return LinkResult::Fail("%s is not available in this version", name_); }

 private:
  const char* name_;
};

struct PcanUsbPlaceholder : UnavailableLink {
  PcanUsbPlaceholder() : UnavailableLink("PCAN USB") {}
};

}  // namespace

Link& BuiltInLink(int type) {
  switch (type) {
    case kInterfacePcanUsb: return Session_Part<PcanUsbPlaceholder>();
    case kInterfaceEthernet: return Session_Part<EthMasterLink>();
    case kInterfaceModbus: return Session_Part<ModbusLink>();
    default: return Session_Part<EmptyLink>();
  }
}
