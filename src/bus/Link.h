// A link moves CanMsg frames to and from one adapter. The interface layer owns
// one link object per interface type and calls it only while that interface
// is active (open, close and applySettings excepted). Every operation that can
// fail answers with a LinkResult: code 0 for success, else the failure and
// the text the user is shown after "Interface error:\n".
#pragma once

#include <string>

#include "core/CanMsg.h"

struct LinkResult {
  int code = 0;      // 0 = success
  std::string text;  // why it failed; empty on success

  bool ok() const { return code == 0; }
  static LinkResult Ok() { return {}; }
  // printf-style failure text; code -1.
  static LinkResult Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

class Link {
 public:
  virtual ~Link() = default;

  // Connects the adapter with its current settings.
  virtual LinkResult open() = 0;
  virtual LinkResult close() = 0;
  // Transmits one frame (len 0..8).
  virtual LinkResult send(const CanMsg& msg) = 0;
  // Never waits: delivers at most one pending frame with got = true, or
  // got = false. When it reports got = false no complete frame may remain
  // buffered inside the link, so that waiting on waitDescriptor() cannot miss one.
  virtual LinkResult receive(CanMsg& msg, bool& got) = 0;
  // Drops pending received input.
  virtual void reset() = 0;

  // A descriptor that turns readable when input arrives (-1: none; the
  // layer then looks again every millisecond). Blocking requests wait on it.
  virtual int waitDescriptor() const { return -1; }
  // True for a link without descriptor whose answers come from a peer that
  // runs on its own (an adapter library's thread, another process): the
  // layer's looks then pass real time even under a manual clock, up to the
  // clock's peer grace, so that the peer can answer.
  virtual bool peerRunsApart() const { return false; }
  // Takes the link's settings from the options.
  virtual void applySettings() {}
  // Bit rate (CAN) or baud rate (serial) in bit/s, 0 when unknown.
  virtual int bitRate() const { return 0; }
  // One line for the main window ("" for none).
  virtual std::string describe() const { return {}; }
  // How many node ids (0 .. nodeCount() - 1) the link can address. On a CAN
  // bus the module protocol owns base .. base + 127 and the identifiers above
  // belong to other traffic; a link that addresses modules by a byte of its
  // own (a Modbus slave address) reaches all 256.
  virtual int nodeCount() const { return 128; }
};

// The LIN adapter: every operation succeeds and no frame ever arrives.
class EmptyLink : public Link {
 public:
  LinkResult open() override { return {}; }
  LinkResult close() override { return {}; }
  LinkResult send(const CanMsg&) override { return {}; }
  LinkResult receive(CanMsg&, bool& got) override {
    got = false;
    return {};
  }
  void reset() override {}
};
