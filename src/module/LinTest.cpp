#include "module/LinTest.h"

#include <algorithm>

#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

constexpr int kAnswerBytes = 10;  // node id, checksum, eight data bytes
constexpr int kRequestData = 0x80;
constexpr int kResponseOk = 0x00;

// The one LIN exchange of the program and its page's view.
struct LinState {
  LinMessage message;  // the request, then the answer as it arrives
  int received = 0;
  // The module under test.
  int node = 0;
  uint32_t type = 0;
  const ModuleTypeInfo* typeInfo = nullptr;
  // Due times of the two timers and of a posted send; -1 = not running.
  int64_t pollAt = -1, timeoutAt = -1, sendAt = -1;
  bool continuous = false;
  LinView view;
};

LinState& State() { return Session_Part<LinState>(); }
int Master() { return Option_GetInt("LIN_MASTER_ID"); }

void ClearAnswer(LinState& s) {
  s.view.moduleName.clear();
  s.view.nodeId.clear();
  s.view.result.clear();
  s.view.mark = LinMark::None;
  s.view.sendEnabled = true;
}

// A master that failed: nothing more is waited for, continuous mode ends.
void MasterFailed(LinState& s) {
  s.pollAt = s.timeoutAt = -1;
  s.continuous = false;
  ClearAnswer(s);
}

void Remember(LinState& s, const ModuleRec& module) {
  s.node = module.node;
  s.type = module.type;
  s.typeInfo = module.typeInfo;
}

void Send(LinState& s) {
  s.pollAt = -1;
  const int master = Master();
  if (master == 0) {
    ShowError("No LIN master found on bus\nduring last scan");
    s.continuous = false;
    ClearAnswer(s);
    return;
  }
  CanMsg msg;
  VornProt_SendMessage(msg, master, 6, VORN_CMD_LIN_PREPARE, {0, 0x1C, 0, 0, 3});
  if (!s.continuous) ClearAnswer(s);
  s.view.sendEnabled = false;

  LinMessage& m = s.message;
  m = LinMessage{};
  m.node = s.node;
  m.length = 1;
  m.data[0] = kRequestData;
  m.checksum = LinChecksum(m);
  if (!VornProt_RequestMessage(msg, master, 7, VORN_CMD_LIN_FRAME,
                               {(m.length + 2) * 16, 0x80, 0xC0, m.node, m.checksum * 16 + m.length, m.data[0]})) {
    ShowError("No response from LIN master at\nCAN Node ID %d (0x%02x)", master, master);
    MasterFailed(s);
    return;
  }
  if (s.continuous) ++s.view.sent;
  s.received = 0;
  s.message = LinMessage{};
  const int64_t now = Clock_NowMs();
  s.pollAt = now + Option_GetInt("AUTOUPDATE_INTERVAL_MS");
  s.timeoutAt = now + Option_GetInt("LIN_TIMEOUT_MS");
}

void Count(LinState& s, bool good) {
  if (!s.continuous) return;
  ++(good ? s.view.ok : s.view.failed);
  if (s.view.startTicked)
    s.sendAt = Clock_NowMs();  // the next "Send Message"
  else
    s.continuous = false;
}

void EvaluateAndCount(LinState& s) {
  ClearAnswer(s);
  Count(s, LinTab_Evaluate(s.message) == 1);
}

void Take(LinState& s, uint8_t byte) {
  LinMessage& m = s.message;
  if (s.received == 0) {
    m.node = byte;
  } else if (s.received == 1) {
    m.checksum = byte >> 4;
    m.length = 0;
  } else if (m.length < 8) {
    m.data[m.length++] = byte;
  }
  ++s.received;
}

void Poll(LinState& s) {
  s.pollAt = -1;
  const int master = Master();
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, master, 4, VORN_CMD_LIN_FRAME, {0, 0x80, 0})) {
    ShowError("No response from LIN master at\nCAN Node ID %d", master);
    MasterFailed(s);
    return;
  }
  const int n = std::min(int(msg.data[1] >> 4), 4);
  for (int i = 0; i < n && s.received < kAnswerBytes; ++i) Take(s, uint8_t(msg.data[4 + i]));
  if (s.received < kAnswerBytes) {
    s.pollAt = Clock_NowMs() + Option_GetInt("AUTOUPDATE_INTERVAL_MS");
    return;
  }
  s.timeoutAt = -1;
  EvaluateAndCount(s);
}

void TimedOut(LinState& s) {
  s.pollAt = s.timeoutAt = -1;
  EvaluateAndCount(s);
}

std::string NameOf(const LinState& s) {
  if (!s.typeInfo) return Text_Format("(unknown, #%u)", s.type);
  return ModuleType_ShownName(s.typeInfo->orderCode, s.type, FactoryMode());
}

bool Due(int64_t at, int64_t now) { return at >= 0 && at <= now; }

}  // namespace

int LinChecksum(const LinMessage& m) {
  int sum = m.node + m.length;
  for (int i = 0; i < m.length && i < 8; ++i) sum += m.data[i];
  return 15 - (sum % 16);
}

LinView LinTab_View() {
  LinState& s = State();
  s.view.masterNode = Text_Format("0x%02X", Master());
  return s.view;
}

void LinTab_Shown(const ModuleRec& module) {
  LinState& s = State();
  Remember(s, module);
  s.view.startTicked = false;
  ClearAnswer(s);
  s.view.sent = s.view.ok = s.view.failed = 0;
}

void LinTab_Hidden() {
  LinState& s = State();
  s.pollAt = s.timeoutAt = s.sendAt = -1;
  s.continuous = false;
}

void LinTab_Send(const ModuleRec& module) {
  LinState& s = State();
  Remember(s, module);
  s.sendAt = -1;
  Send(s);
}

void LinTab_SetStart(const ModuleRec& module, bool ticked) {
  LinState& s = State();
  s.view.startTicked = ticked;
  if (!ticked) return;
  Remember(s, module);
  s.view.sent = s.view.ok = s.view.failed = 0;
  s.continuous = true;
  s.sendAt = Clock_NowMs();
}

bool LinTab_Busy() {
  const LinState& s = State();
  return s.pollAt >= 0 || s.timeoutAt >= 0;
}

int LinTab_Step() {
  LinState& s = State();
  const int64_t now = Clock_NowMs();
  if (Due(s.sendAt, now) && !LinTab_Busy()) {
    s.sendAt = -1;
    Send(s);
  } else if (Due(s.pollAt, now) && (s.timeoutAt < 0 || s.pollAt <= s.timeoutAt)) {
    Poll(s);
  } else if (Due(s.timeoutAt, now)) {
    TimedOut(s);
  }
  int64_t next = -1;
  for (int64_t at : {s.sendAt, s.pollAt, s.timeoutAt})
    if (at >= 0 && (next < 0 || at < next)) next = at;
  if (next < 0) return -1;
  return int(std::max<int64_t>(0, next - Clock_NowMs()));
}

int LinTab_Evaluate(const LinMessage& answer) {
  LinState& s = State();
  LinView& v = s.view;
  auto failed = [&v]() {
    v.result = "FAILED";
    v.mark = LinMark::Cross;
    v.sendEnabled = true;
    return 0;
  };
  if (answer.length < 8) {
    ShowError("No response from LIN bus");
    return failed();
  }
  const int expected = LinChecksum(answer);
  if (answer.checksum != expected) {
    ShowError("Checksum Error in LIN Message\n(got: 0x%02X, expected: 0x%02X)", answer.checksum, expected);
    return failed();
  }
  v.nodeId = answer.node ? Text_Format("%d", answer.node) : "-";
  if (answer.node != s.node) {
    ShowError("Wrong NodeID in LIN Message\n(got: %d, expected: %d)", answer.node, s.node);
    return failed();
  }
  if (answer.data[0] != kResponseOk) {
    ShowError("Wrong LIN response\n(got: 0x%02X, expected: 0x%02X)", answer.data[0], kResponseOk);
    return failed();
  }
  const uint32_t type = uint32_t(answer.data[2]) + 256u * answer.data[4];
  v.moduleName = Text_Format("#%u", type);
  if (type != s.type) {
    ShowError("Wrong module type in LIN Message\n(got: %u, expected: %u)", type, s.type);
    return failed();
  }
  v.moduleName = NameOf(s);
  v.result = "OK";
  v.mark = LinMark::Check;
  v.sendEnabled = true;
  return 1;
}
