#include "io/SwitchState.h"

#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleTypeSwitches.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"

std::array<SwitchRowLayout, SWITCH_ROWS> Switches_Rows(const ModuleTypeInfo* row) {
  const ModuleSwitchLayout layout = ModuleType_SwitchLayout(row);
  return {{{layout.nodeLow.kind, layout.nodeLow.size},
           {layout.nodeHigh.kind, layout.nodeHigh.size},
           {layout.bitRate.kind, layout.bitRate.size},
           {'m', 1}}};
}

int Switches_BaudIndex(int baudByte, char bus) {
  if (bus == 'c') return baudByte & 7;
  if (bus == 'm') return (baudByte >> 1) & 3;
  return -1;
}

SwitchView Switches_Decode(const CanMsg& reply, char bus) {
  const int baud = int(reply.data[1] & 0xFF);
  const int node = int(reply.data[2] & 0xFF);
  const bool pressed = (reply.data[3] & 0xFF) != 0;
  SwitchView view;
  view.nodeText = Text_Format("%u", unsigned(node));
  view.baudText = VornProt_BaudName(Switches_BaudIndex(baud, bus), bus);
  view.buttonText = pressed ? "1" : "0";
  view.rowValues = {uint32_t(node & 15), uint32_t((node >> 4) & 15), uint32_t(baud),
                    pressed ? 1u : 0u};
  return view;
}

int Switches_Read(const ModuleRec& module, CanMsg& reply) {
  return VornProt_RequestMessage(reply, module.node, 1, VORN_CMD_READ_SWITCHES);
}
