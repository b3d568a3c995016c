#include "protocol/NodeId.h"

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "protocol/BusScan.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

namespace {
constexpr int kBitRateByte = 6;  // of the bus-parameter reply and write
}

int Module_SetNodeId(const ModuleRec* rec, int node) {
  if (!rec || node < 0 || node > VORN_PROT_MAX_NODE) return -1;
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, rec->node, 1, VORN_CMD_READ_BUS_PARAMS)) return -1;
  const int bitRate = int(msg.data[kBitRateByte] & 0xFF);
  const int fromDip = node == 0 ? 1 : 0;
  if (!VornProt_RequestMessage(msg, rec->node, 8, VORN_CMD_WRITE_BUS_PARAMS,
                               {fromDip, 0, 0, 0, 0, bitRate, node}))
    return -1;
  return 0;
}

void ResetAllNodeIds() {
  SetWaitCursor(1);
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    Module_SetNodeId(rec, 0);
  ModuleList_Clear();
  SetWaitCursor(0);
  if (InterfaceActive() && Option_GetInt("SCAN_ON_START")) BusScan_Start();
}

void ResetAllNodeIds_Command() {
  const UiAnswer answer = Ui_MessageBox(
      "Clear the Node ID of all modules\nfrom the module EEprom and\nreset to DIP switch setting?",
      "Reset Node IDs to DIP", UiButtons::OkCancel, UiIcon::Question, true);
  if (answer == UiAnswer::Ok) ResetAllNodeIds();
}
