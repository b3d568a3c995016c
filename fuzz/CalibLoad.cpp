// Fuzzes loading a calibration data file into a module: the whole loader with
// its questions answered and a link on which a module acknowledges every
// request. The first input byte picks a request whose sending fails (0: none);
// the rest is the file. The module has three channels: two voltage inputs
// with two configurations each and a Pt100 input.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "calib/CalibData.h"
#include "io/ChanInfo.h"
#include "protocol/ModuleList.h"
#include "protocol/WireConstants.h"
#include "ui/Ui.h"

namespace {

constexpr int kNode = 3;
constexpr int kChannels = 3;

// Yes to the question, a file name for the open dialog, Ok to every message.
class AnsweringUi : public UiBackend {
 public:
  std::string path;
  int messages = 0;
  UiAnswer messageBox(const std::string& text, const std::string&, UiButtons buttons, UiIcon,
                      bool) override {
    FUZZ_CHECK(!text.empty());
    ++messages;
    return buttons == UiButtons::YesNo ? UiAnswer::Yes : UiAnswer::Ok;
  }
  bool openFileDialog(const UiFileRequest&, std::string& chosen) override {
    chosen = path;
    return true;
  }
  bool saveFileDialog(const UiFileRequest&, std::string&) override { return false; }
  void setWaitCursor(bool) override {}
  void beep() override {}
  void showStatusText(const std::string&) override {}
  void armTimer(UiTimer*, int) override {}
  void disarmTimer(UiTimer*) override {}
};

// The module: every request sent is checked and acknowledged at once.
struct AckingLink {
  static inline CanMsg reply;
  static inline bool replyQueued = false;
  static inline int sends = 0;
  static inline int failAt = 0;

  static int open() { return 0; }
  static int close() { return 0; }
  static int send(const CanMsg& m) {
    ++sends;
    if (sends == failAt) {
      SetInterfaceError("fuzzed send failure");
      return -1;
    }
    FUZZ_CHECK(m.data[0] == Wire::VORN_CMD_CALIB_WRITE);
    FUZZ_CHECK(m.len == 4 || m.len == 8);
    FUZZ_CHECK(m.data[1] < kChannels);  // only channels the module has
    if (m.len == 8) {
      const uint32_t bits = m.data[4] | m.data[5] << 8 | m.data[6] << 16 | m.data[7] << 24;
      float value;
      std::memcpy(&value, &bits, sizeof value);
      FUZZ_CHECK(std::isfinite(value));  // a file value never reaches the module unread
    }
    reply = m;
    reply.data[0] = m.data[0] | Wire::VORN_ACK_FLAGS;
    replyQueued = true;
    return 0;
  }
  static int receive(CanMsg& m, int& got) {
    got = replyQueued ? 1 : 0;
    if (replyQueued) m = reply;
    replyQueued = false;
    return 0;
  }
  static void reset() { replyQueued = false; }
  static int rate() { return 125000; }
  static void describe(std::string& out) { out = "fuzz"; }
  static constexpr BusLink link = {.open = open, .close = close, .send = send, .receive = receive,
                                   .reset = reset, .bitRate = rate, .describe = describe};
};

ChanInfo Channels() {
  ChanInfo info;
  info.channelCount = kChannels;
  info.configListCount = 2;
  info.configLists[0].typeIndex = 0x3101;
  info.configLists[0].count = 2;
  info.configLists[0].codes[0] = 0x0100;
  info.configLists[0].codes[1] = 0x0104;
  info.configLists[1].typeIndex = 0x3105;
  info.configLists[1].count = 1;
  info.configLists[1].codes[0] = 0x0501;
  info.channels[0].configList = 0;
  info.channels[1].configList = 0;
  info.channels[2].configList = 1;
  return info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzMemoryFile input("cal-load");
  static AnsweringUi ui;
  static const bool ready = [] {
    ui.path = input.path;
    Ui_Install(&ui);
    Interface_InstallLink(kInterfaceLin, &AckingLink::link);
    return OpenInterface("LIN Adapter") == 0;
  }();
  FUZZ_CHECK(ready);
  if (size < 1) return 0;
  AckingLink::failAt = data[0];
  AckingLink::sends = 0;
  AckingLink::replyQueued = false;
  input.set(data + 1, size - 1);

  ModuleRec module;
  module.node = kNode;
  module.bus = 'l';
  module.type = 14;
  static const ChanInfo channels = Channels();
  FUZZ_CHECK(CalibData_LoadFile(module, channels, false) == CALIB_LOAD_DONE);
  return 0;
}
