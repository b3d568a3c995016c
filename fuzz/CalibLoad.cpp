// Fuzzes loading a calibration data file into a module: the whole loader with
// its questions answered and a link on which a module acknowledges every
// request. The first input byte picks a request whose sending fails (0: none);
// the rest is the file. The module has three channels: two voltage inputs
// with two configurations each and a Pt100 input.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "calib/CalibDataFile.h"
#include "core/Session.h"
#include "io/CalibPoints.h"
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
class AckingLink : public Link {
 public:
  int failAt = 0;

  LinkResult open() override { return {}; }
  LinkResult close() override { return {}; }
  LinkResult send(const CanMsg& m) override {
    ++sends_;
    if (sends_ == failAt) return LinkResult::Fail("fuzzed send failure");
    FUZZ_CHECK(m.data[0] == Wire::VORN_CMD_CALIB_WRITE);
    FUZZ_CHECK(m.len == 4 || m.len == 8);
    FUZZ_CHECK(m.data[1] < kChannels);  // only channels the module has
    if (m.len == 8) {
      const uint32_t bits = m.data[4] | m.data[5] << 8 | m.data[6] << 16 | m.data[7] << 24;
      float value;
      std::memcpy(&value, &bits, sizeof value);
      FUZZ_CHECK(std::isfinite(value));  // a file value never reaches the module unread
    }
    reply_ = m;
    reply_.data[0] = m.data[0] | Wire::VORN_ACK_FLAGS;
    replyQueued_ = true;
    return {};
  }
  LinkResult receive(CanMsg& m, bool& got) override {
    got = replyQueued_;
    if (replyQueued_) m = reply_;
    replyQueued_ = false;
    return {};
  }
  void reset() override { replyQueued_ = false; }
  int bitRate() const override { return 125000; }

 private:
  CanMsg reply_;
  bool replyQueued_ = false;
  int sends_ = 0;
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
  if (size < 1) return 0;
  ui.path = input.path;
  Ui_Install(&ui);
  Session session;  // every input starts a fresh program run
  auto link = std::make_unique<AckingLink>();
  link->failAt = data[0];
  Interface_InstallLink(kInterfaceLin, std::move(link));
  FUZZ_CHECK(OpenInterface("LIN Adapter") == 0);
  input.set(data + 1, size - 1);

  ModuleRec module;
  module.node = kNode;
  module.bus = 'l';
  module.type = 14;
  static const ChanInfo channels = Channels();
  FUZZ_CHECK(CalibData_LoadFile(module, channels, false) == CALIB_LOAD_DONE);
  return 0;
}
