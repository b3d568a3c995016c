// Stand-in for the CAN adapter link's settings while that link is not part of
// this version: the bit-rate index is kept as the link keeps its bit-timing
// word, and no library is ever loaded. The link's own definitions replace
// this file.
#include "bus/PcanSettings.h"

#include "core/Session.h"

namespace {

struct PcanStandIn {
  int index = 4;  // 125 kbit/s until set
};

}  // namespace

void pCAN_SetBaudrate(int index) { Session_Part<PcanStandIn>().index = index >= 0 && index <= 7 ? index : 4; }

int pCAN_GetBaudrate() { return Session_Part<PcanStandIn>().index; }

const char* pCAN_LibraryPath() { return "PCAN_USB.DLL"; }

bool pCAN_LibraryLoaded() { return false; }
