// Fuzzes the logger's filter text: the first byte picks the mode and the
// number base, the rest is the text typed into the filter field.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "core/Session.h"
#include "logger/LoggerFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session;  // every input starts a fresh program run
  if (size < 1) return 0;
  LoggerFilter filter;
  filter.mode = data[0] % (kFilterModeCount + 1);  // one past the last: unknown
  filter.hex = (data[0] & 0x80) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  filter.numbers = LoggerFilter_ParseList(text, filter.hex);
  FUZZ_CHECK(filter.numbers.size() <= kFilterMaxNumbers);
  for (int n : filter.numbers) FUZZ_CHECK(n >= 0);
  FUZZ_CHECK(!filter.lineText().empty());

  // Frames addressed to each listed number, and to its neighbours.
  for (int n : filter.numbers) {
    CanMsg msg;
    msg.id = uint32_t(n) & CANMSG_ID_MASK;
    msg.len = 2;
    msg.data[1] = uint32_t(n) & 0xFF;
    const bool shown = filter.shows(msg);
    const bool isCobId = uint32_t(n) <= CANMSG_ID_MASK;  // larger numbers match no frame
    if (filter.mode == kFilterShowCobIds && isCobId) FUZZ_CHECK(shown);
    if (filter.mode == kFilterHideCobIds && isCobId) FUZZ_CHECK(!shown);
    msg.id = (uint32_t(n) + 1) & CANMSG_ID_MASK;
    filter.shows(msg);
    FUZZ_CHECK(LoggerFilter_NodeOf(msg) >= 0 && LoggerFilter_NodeOf(msg) <= 0xFF);
  }
  return 0;
}
