#include "io/ObjectAccess.h"

#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

int ObjectAccess_Read(int node, int index, int subindex, CanMsg& reply) {
  return VornProt_RequestMessage(reply, node, 4, VORN_CMD_OBJECT_READ,
                                 {(index >> 8) & 0xFF, index & 0xFF, subindex & 0xFF});
}

int ObjectAccess_Write(int node, int index, int subindex, const ChanValueBytes& value) {
  CanMsg msg;
  return VornProt_SendMessage(msg, node, 8, VORN_CMD_OBJECT_WRITE,
                              {(index >> 8) & 0xFF, index & 0xFF, subindex & 0xFF, value[0],
                               value[1], value[2], value[3]});
}

ChanValueBytes ObjectAccess_ValueBytes(const CanMsg& reply) {
  return {uint8_t(reply.data[4]), uint8_t(reply.data[5]), uint8_t(reply.data[6]),
          uint8_t(reply.data[7])};
}
