// A bus link whose every call the test controls, and a fixture with the
// scripted UI installed.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "support/TestEnvironment.h"

// Frames queued in `incoming` are delivered one per receive call; sends are
// recorded; open, close and receive answer as told.
class ScriptedLink : public Link {
 public:
  std::deque<CanMsg> incoming;
  std::vector<CanMsg> sent;
  int openResult = 0;
  int closeResult = 0;
  int receiveResult = 0;
  int opens = 0;
  int closes = 0;
  int resets = 0;
  int rate = 0;
  // What describe() answers, and the text of a failed receive.
  std::string description = "scripted";
  std::string receiveError = "scripted receive failed";
  // Called on each send, e.g. to queue the module's answer.
  std::function<void(const CanMsg&)> onSend;

  LinkResult open() override {
    ++opens;
    return openResult ? LinkResult{openResult, "scripted open failed"} : LinkResult{};
  }
  LinkResult close() override {
    ++closes;
    return closeResult ? LinkResult{closeResult, "scripted close failed"} : LinkResult{};
  }
  LinkResult send(const CanMsg& m) override {
    sent.push_back(m);
    if (onSend) onSend(m);
    return {};
  }
  LinkResult receive(CanMsg& m, bool& got) override {
    got = false;
    if (receiveResult) return LinkResult{receiveResult, receiveError};
    if (incoming.empty()) return {};
    m = incoming.front();
    incoming.pop_front();
    got = true;
    return {};
  }
  void reset() override {
    ++resets;
    incoming.clear();
  }
  int bitRate() const override { return rate; }
  std::string describe() const override { return description; }

  // Puts a new scripted link behind an interface type; the interface layer
  // owns it, the test keeps the pointer.
  static ScriptedLink* InstallAs(int type) {
    auto link = std::make_unique<ScriptedLink>();
    ScriptedLink* raw = link.get();
    Interface_InstallLink(type, std::move(link));
    return raw;
  }
};

// A test of the bus layers with the scripted UI installed.
using BusStateTest = ScriptedUiTest;
