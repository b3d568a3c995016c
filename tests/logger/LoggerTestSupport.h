// Shared pieces of the logger tests: frames, a fixture that puts options,
// interface layer, Ethernet link, factory mode and clock back to their start,
// and the scripted link dressed as a CAN adapter.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "core/ErrorReport.h"
#include "support/ScriptedLink.h"

inline CanMsg Msg(uint32_t id, std::initializer_list<uint32_t> data = {}, uint32_t time = 0) {
  CanMsg m;
  m.id = id;
  for (uint32_t b : data)
    if (m.len < 8) m.data[m.len++] = b;
  m.time = time;
  return m;
}

// Lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A scripted link as the active "PCAN USB" interface (one of the two the
// logger takes), at 1000 kBaud. The interface layer owns it.
inline ScriptedLink* ActivateFakeCanLink() {
  ScriptedLink* fake = ScriptedLink::InstallAs(kInterfacePcanUsb);
  fake->rate = 1000000;
  fake->description = "1000 kBaud";
  fake->receiveError = "adapter unplugged";
  OpenInterface("PCAN USB");
  return fake;
}

// A logger test with the scripted UI; the fake adapter once activated.
class LoggerStateTest : public BusStateTest {
 protected:
  void activateFakeCanLink() { fake = ActivateFakeCanLink(); }
  ScriptedLink* fake = nullptr;
};
