// One line of the logger as it is kept: the raw frame (or event) with the
// time already taken relative to the time base. Texts are made from it only
// when a line is shown or written.
#pragma once

#include <cstdint>

#include "core/CanMsg.h"

// Event codes of the pseudo-frames the logger writes through the frame path.
enum LoggerEvent : uint32_t {
  kEventFilter = 1,
  kEventStart = 2,
  kEventStop = 3,
  kEventContinue = 4,
  kEventRestart = 5,
  kEventReset = 6,
  kEventOverflow = 7,
  // An error report of the link: 128 plus the kinds below.
  kEventBusError = 128,
  kEventBusOff = 0x100,
  kEventBusErr = 0x200,
  kEventAckErr = 0x400,
  kEventBusReset = 0x800,
};

struct LogEntry {
  enum Kind : uint8_t { Frame, Event };

  uint32_t id = 0;    // the frame's identifier with its flag bits, or the event code
  uint32_t time = 0;  // ms since the time base (two's complement), or the raw stamp
  uint32_t text = 0;  // events: index of the event's text in its buffer
  uint8_t kind = Frame;
  uint8_t rawTime = 0;  // the time is the link's own stamp
  uint8_t len = 0;      // 0..8
  uint8_t data[8] = {};

  bool isEvent() const { return kind == Event; }
  bool isRemote() const { return kind == Frame && (id & CANMSG_FLAG_REMOTE); }
};

// The bus-error event code of a link's error report (CANMSG_FLAG_ERROR set).
inline uint32_t LoggerEvent_FromErrorReport(uint32_t id) {
  uint32_t code = kEventBusError;
  if (id & CANMSG_ERROR_BUSOFF) code |= kEventBusOff;
  if (id & CANMSG_ERROR_BUS) code |= kEventBusErr;
  if (id & CANMSG_ERROR_ACK) code |= kEventAckErr;
  if (id & CANMSG_ERROR_RESET) code |= kEventBusReset;
  return code;
}
