// The links behind the interface table's rows.
#include "bus/BuiltInLinks.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"

namespace {

int succeed() { return 0; }
int sendNothing(const CanMsg&) { return 0; }
int receiveNothing(CanMsg&, int& got) {
  got = 0;
  return 0;
}
void doNothing() {}

// Links that come with a later version: opening them fails with a plain text,
// so the interface stays closed and everything else keeps working.
int openPcanUsb() {
  SetInterfaceError("PCAN USB is not available in this version");
  return -1;
}
int openModbus() {
  SetInterfaceError("Modbus (Serial) is not available in this version");
  return -1;
}

const BusLink kPcanUsbLink = {.open = openPcanUsb, .close = succeed, .send = sendNothing,
                              .receive = receiveNothing, .reset = doNothing};
const BusLink kModbusLink = {.open = openModbus, .close = succeed, .send = sendNothing,
                             .receive = receiveNothing, .reset = doNothing};

}  // namespace

const BusLink kEmptyLink = {.open = succeed, .close = succeed, .send = sendNothing,
                            .receive = receiveNothing, .reset = doNothing};

const BusLink* BuiltInLink(int type) {
  switch (type) {
    case kInterfacePcanUsb: return &kPcanUsbLink;
    case kInterfaceEthernet: return &kEthMasterLink;
    case kInterfaceModbus: return &kModbusLink;
    case kInterfaceLin: return &kEmptyLink;
    default: return nullptr;
  }
}
