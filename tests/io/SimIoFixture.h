// A program connected to the simulator through the Ethernet master link, for
// tests of the I/O and calibration operations against simulated modules.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/ErrorReport.h"
#include "io/ChanInfo.h"
#include "module/IoChannels.h"
#include "module/SimModule.h"
#include "platform/Poll.h"
#include "protocol/ModuleType.h"
#include "support/SimChannels.h"
#include "support/SimConnectedTest.h"

class SimIoTest : public SimConnectedTest {
 protected:
  void SetUp() override {
    SimConnectedTest::SetUp();
    // A module that is meant to stay silent costs this much real time; one
    // that answers is seen at once.
    clock.setPeerGraceMs(100);
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
  }

  // A module on bus 0 with its channels added by `build`.
  SimModuleId addModule(int node, uint32_t type, const std::function<void(SimModuleConfig&)>& build) {
    SimModuleConfig c = SimModuleConfig::make(0, node, type);
    c.fwMajor = 1;
    c.fwMinor = 8;
    build(c);
    return sim.addModule(c);
  }

  // The program's record of a simulated module.
  ModuleRec record(SimModuleId id) {
    ModuleRec rec;
    sim.withModule(id, [&](SimModule& m) {
      rec.node = m.node();
      rec.type = m.config().type;
      rec.fwMajor = m.config().fwMajor;
      rec.fwMinor = m.config().fwMinor;
      rec.state = m.state();
    });
    rec.bus = 'c';
    rec.typeInfo = ModuleType_Find(int(rec.type));
    return rec;
  }

  // The program's reading of a simulated module's channels of one group
  // (CHANINFO_ANALOG_IN, ...).
  ChanInfo channels(SimModuleId id, int infoType) {
    ChanInfo info;
    ChanInfo_GetChannelInfo(record(id), info, infoType);
    return info;
  }

  // Module protocol frames the program sent to a node (control frames left out).
  std::vector<SimFrame> framesTo(int node) {
    std::vector<SimFrame> out;
    for (const SimTimedFrame& f : sim.receivedFrames()) {
      if (f.frame.id == 0x680u + uint32_t(node)) out.push_back(f.frame);
    }
    return out;
  }

  // Waits (at most a second) until the simulator has seen `count` frames to
  // the node: a request that got no answer may still be on its way in.
  void waitForFramesTo(int node, size_t count) {
    for (int i = 0; i < 100 && framesTo(node).size() < count; ++i) {
      sim.waitForReceived(sim.receivedFrames().size() + 1, 10);
    }
  }

  // Replaces the module's handler of a command code; `original` is the one it had.
  void wrapHandler(SimModuleId id, uint8_t code,
                   std::function<void(SimModule&, const ModuleRequest&, const SimModule::Handler&)> wrap) {
    sim.withModule(id, [&](SimModule& m) {
      SimModule::Handler original = m.handler(code);
      m.setHandler(code, [wrap, original](SimModule& mod, const ModuleRequest& rq) { wrap(mod, rq, original); });
    });
  }

  // After `answered` more object or calibration requests the module stops
  // answering them (each costs the program its time-out).
  void goSilentAfter(SimModuleId id, int answered) { spoilAnswersAfter(id, answered, false); }
  // After `answered` more object or calibration requests the module answers
  // them one byte short, which the program rejects at once.
  void answerShortAfter(SimModuleId id, int answered) { spoilAnswersAfter(id, answered, true); }

 private:
  void spoilAnswersAfter(SimModuleId id, int answered, bool shortAnswer) {
    auto left = std::make_shared<int>(answered);
    for (uint8_t code : {uint8_t(52), uint8_t(54)}) {
      wrapHandler(id, code, [left, shortAnswer](SimModule& m, const ModuleRequest& rq, const SimModule::Handler& h) {
        if (*left > 0) {
          --*left;
          h(m, rq);
          return;
        }
        if (!shortAnswer || !(rq.wantsReply || rq.wantsAck)) return;
        SimFrame f = rq.frame;
        f.id = rq.answerId;
        f.data[0] = rq.wantsReply ? rq.code : uint8_t(rq.command | 0xC0);
        f.len = uint8_t((rq.wantsReply ? 8 : rq.frame.len) - 1);
        m.host()->transmit(m, f, 0);
      });
    }
  }
};
