// A link moves CanMsg frames to and from one adapter. The interface layer keeps
// one link per interface type and calls it only while that interface is active
// (open and close excepted). Results are 0 for success, anything else failure;
// a failing link leaves its text with SetInterfaceError.
#pragma once

#include <string>

struct CanMsg;

struct BusLink {
  // Connects the adapter with its current settings.
  int (*open)();
  int (*close)();
  // Transmits one frame (len 0..8).
  int (*send)(const CanMsg& msg);
  // Never waits: delivers at most one pending frame with got = 1, or got = 0.
  // When it reports got = 0 no complete frame may remain buffered inside the
  // link, so that waiting on the descriptor below cannot miss one.
  int (*receive)(CanMsg& msg, int& got);
  // Drops pending received input.
  void (*reset)();
  // A descriptor that turns readable when input arrives (-1: none). Blocking
  // requests wait on it instead of spinning. May be null.
  int (*waitDescriptor)() = nullptr;
  // Takes the link's settings from the options. May be null.
  void (*applySettings)() = nullptr;
  // Bit rate of the bus in bit/s. May be null (0).
  int (*bitRate)() = nullptr;
  // One line for the main window. May be null (empty).
  void (*describe)(std::string& out) = nullptr;
};

// The LIN adapter: every operation succeeds and no frame ever arrives.
extern const BusLink kEmptyLink;
