// Fuzzes the capability list of a module type and the switch layout read from
// its "Switches=" entry. The input is a keyword, a line feed, then the
// capability text (the catalogue's texts are built in, so this guards the
// readers against a catalogue edit gone wrong); the switch reply bytes of a
// module are the first bytes of the input.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/Session.h"
#include "io/SwitchState.h"
#include "protocol/ModuleType.h"
#include "protocol/ModuleTypeSwitches.h"

namespace {

void CheckSwitch(const ModuleSwitch& s) {
  FUZZ_CHECK(s.size >= 0 && s.size <= MODULE_SWITCH_MAX_SIZE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session;  // every input starts a fresh program run
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t feed = input.find('\n');
  const std::string keyword = feed == std::string::npos ? "Switches" : input.substr(0, feed);
  const std::string capabilities = feed == std::string::npos ? input : input.substr(feed + 1);

  const ModuleTypeInfo row = {1, "KVX 000-00", "", "fuzzed", capabilities.c_str(), 1};
  ModuleType_HasCapability(&row, keyword.c_str());
  std::string_view value;
  if (ModuleType_CapabilityValue(&row, keyword.c_str(), &value)) {
    // The value is a view into the row's own text.
    FUZZ_CHECK(value.data() >= row.capabilities &&
               value.data() + value.size() <= row.capabilities + capabilities.size());
  }

  const ModuleSwitchLayout layout = ModuleType_SwitchLayout(&row);
  CheckSwitch(layout.nodeLow);
  CheckSwitch(layout.nodeHigh);
  CheckSwitch(layout.bitRate);
  const ModuleSwitchLayout parsed = ModuleType_ParseSwitchLayout(capabilities);
  CheckSwitch(parsed.nodeLow);
  CheckSwitch(parsed.nodeHigh);
  CheckSwitch(parsed.bitRate);
  for (const SwitchRowLayout& layout : Switches_Rows(&row)) {
    FUZZ_CHECK(layout.count >= 0 && layout.count <= MODULE_SWITCH_MAX_SIZE);
  }

  CanMsg reply;
  reply.len = 4;
  for (size_t i = 0; i < 4 && i < size; ++i) reply.data[i] = data[i];
  for (char bus : {'c', 'm', 'x'}) {
    const SwitchView view = Switches_Decode(reply, bus);
    FUZZ_CHECK(!view.nodeText.empty() && !view.buttonText.empty());
  }
  return 0;
}
