// The CAN adapter link against fake adapter libraries loaded through the
// program's own loading path: result texts, the bit-rate table, frames both
// ways, warnings and bus-off restarts, missing functions, files that are no
// library, and a failed reopen that must leave the library alone.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BusTestSupport.h"
#include "bus/PcanLink.h"
#include "core/DebugLog.h"
#include "core/Session.h"
#include "platform/Paths.h"

namespace {

const std::string kFakeDir = KVX_FAKE_ADAPTER_DIR;
const std::string kFake = kFakeDir + "/fakeadapter.so";

// "PCAN USB error: " and the text of every status bit, 0x00001 .. 0x10000.
const char* const kEveryBitText =
    "PCAN USB error: Transmit buffer full (XMTFULL), Transmit buffer overrun (OVERRUN), "
    "Bus error (BUSLIGHT), Bus error (BUSHEAVY), Bus error (BUSOFF), Receive buffer empty (QRCVEMPTY), "
    "Receive buffer overrun (QOVERRUN), Receive buffer full (QXMTFULL), device not connected (REGTEST), "
    "driver not loaded (NODRIVER)\ndevice used by another process (HWINUSE), "
    "device used by another process (NETINUSE), Cannot access device (ILLHW), Cannot access device (ILLNET), "
    "Cannot access device (ILLCLIENT), Cannot create ressource (RESOURCE), Invalid parameter (ILLPARAMTYPE), "
    "Invalid parameter value (ILLPARAMVAL), UNKNOWN";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

TEST(PcanResultText, ListsEveryMatchingRowAndCutsAtTheLastComma) {
  const std::vector<std::pair<uint32_t, std::string>> cases = {
      {0x0000, "Ok"},
      {0x0011, "PCAN USB error: Transmit buffer full (XMTFULL), Bus error (BUSOFF)"},
      {0x0200, "PCAN USB error: driver not loaded (NODRIVER)\n"},
      {0x0201, "PCAN USB error: Transmit buffer full (XMTFULL)"},
      {0x0400, "PCAN USB error: device used by another process (HWINUSE), Cannot access device (ILLHW), "
               "Cannot access device (ILLCLIENT)"},
      {0x1FFFF, kEveryBitText},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(std::string(pCAN_ErrorText(code)), text) << std::hex << code;
}

// The program's link with a fake library that the test loaded first, so that
// it can script it and read what the program called.
class PcanFakeTest : public BusTest {
 protected:
  void SetUp() override {
    BusTest::SetUp();
    useFake(kFake);
  }
  void TearDown() override {
    CloseInterface();
    pCAN_Close();
    if (handle_) dlclose(handle_);
    BusTest::TearDown();
  }

  void useFake(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    script_ = reinterpret_cast<void (*)(const char*, const uint32_t*, int)>(dlsym(handle_, "FakeAdapter_Script"));
    queue_ = reinterpret_cast<void (*)(const CanAdapterMsg*, uint32_t)>(dlsym(handle_, "FakeAdapter_Queue"));
    calls_ = reinterpret_cast<const char* (*)()>(dlsym(handle_, "FakeAdapter_Calls"));
    clearCalls_ = reinterpret_cast<void (*)()>(dlsym(handle_, "FakeAdapter_ClearCalls"));
    reinterpret_cast<void (*)()>(dlsym(handle_, "FakeAdapter_Clear"))();
    link().setLibraryOverride(path);
  }
  static PcanUsbLink& link() { return Session_Part<PcanUsbLink>(); }
  void script(const char* function, std::vector<uint32_t> results) {
    script_(function, results.data(), int(results.size()));
  }
  void queue(uint32_t id, uint8_t type, std::vector<uint8_t> data, uint32_t millis) {
    CanAdapterMsg m{};
    m.id = id;
    m.type = type;
    m.len = uint8_t(data.size());
    for (size_t i = 0; i < data.size(); ++i) m.data[i] = data[i];
    queue_(&m, millis);
  }
  std::string calls() const { return calls_(); }
  void clearCalls() { clearCalls_(); }
  // Opens the "PCAN USB" interface and forgets the calls that took.
  void openAdapter() {
    ASSERT_EQ(OpenInterface("PCAN USB"), 0) << GetInterfaceError();
    clearCalls();
  }

 private:
  void* handle_ = nullptr;

 protected:
  TempFolder home;

 private:
  void (*script_)(const char*, const uint32_t*, int) = nullptr;
  void (*queue_)(const CanAdapterMsg*, uint32_t) = nullptr;
  const char* (*calls_)() = nullptr;
  void (*clearCalls_)() = nullptr;
};

TEST_F(PcanFakeTest, TheBitRateIndexPicksTheTimingWordAndAnyOtherIndexIs125k) {
  const struct {
    int index;
    const char* init;
    int shown;
    const char* text;
  } cases[] = {{0, "CAN_Init 0x672F 0\n", 0, "10 kBaud"},     {3, "CAN_Init 0x432F 0\n", 3, "100 kBaud"},
               {7, "CAN_Init 0x0014 0\n", 7, "1000 kBaud"},   {9, "CAN_Init 0x031C 0\n", 4, "125 kBaud"},
               {-1, "CAN_Init 0x031C 0\n", 4, "125 kBaud"}};
  for (const auto& c : cases) {
    pCAN_SetBaudrate(c.index);
    EXPECT_EQ(pCAN_GetBaudrate(), c.shown) << c.index;
    clearCalls();
    ASSERT_EQ(OpenInterface("PCAN USB"), 0) << GetInterfaceError();
    EXPECT_EQ(calls(), c.init) << c.index;
    EXPECT_STREQ(GetInterfaceDescription(), c.text);
    EXPECT_EQ(pCAN_LibraryPath(), kFake);
    ASSERT_EQ(CloseInterface(), 0);
    EXPECT_STREQ(pCAN_LibraryPath(), "PCAN_USB.DLL");
  }
  Option_SetInt("PCANUSB_BAUDRATE", 6);
  ApplyLinkSettings();
  EXPECT_EQ(pCAN_GetBaudrate(), 6);
}

TEST_F(PcanFakeTest, AChangedBitRateReopensTheAdapterAtOnce) {
  openAdapter();
  pCAN_SetBaudrate(5);
  EXPECT_EQ(calls(), "CAN_Close\nCAN_Init 0x011C 0\n");
  EXPECT_EQ(GetCanBitrate(), 250000);
}

TEST_F(PcanFakeTest, FramesGoOutAsMessageRecordsOfTypeZeroWithTheLowBytes) {
  openAdapter();
  CanMsg m = Frame(0x685, {0x180, 0x02, 0x1FF});
  m.data[5] = 0x3AB;  // beyond len: still copied, as the record holds all eight
  EXPECT_EQ(SendCanMsg(m), 0);
  EXPECT_EQ(calls(), "CAN_Write 685 0 3 80 02 FF 00 00 AB 00 00\n");
}

TEST_F(PcanFakeTest, RemoteFramesGetBit30AndStatusMessagesArePassedOver) {
  openAdapter();
  queue(0x80, 0x80, {0, 0, 0, 8}, 10);         // a status message
  queue(0x705, 0x01, {}, 1234);                // remote frame
  queue(0x685, 0x00, {0x85, 1, 2}, 1240);
  CanMsg m;
  int got = 0;
  ASSERT_EQ(pCAN_ReadEx(m, got), 0);
  ASSERT_EQ(got, 1);
  EXPECT_EQ(m.id, 0x40000705u);
  EXPECT_EQ(m.len, 0u);
  EXPECT_EQ(m.time, 1234u);
  ASSERT_EQ(pCAN_ReadEx(m, got), 0);
  ASSERT_EQ(got, 1);
  EXPECT_EQ(m.id, 0x685u);
  EXPECT_EQ(m.len, 3u);
  EXPECT_EQ(m.data[2], 2u);
  ASSERT_EQ(pCAN_ReadEx(m, got), 0);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(calls(), "CAN_ReadEx\nCAN_ReadEx\nCAN_ReadEx\nCAN_ReadEx\n");
}

// What write and read make of the library's results: warnings alone are no
// failure, bus-off restarts the adapter once and retries, the rest is an
// error with its text.
TEST_F(PcanFakeTest, WarningsPassBusOffRestartsOnceOtherResultsFailWithTheirText) {
  const struct {
    const char* function;
    std::vector<uint32_t> results;
    int expected;
    const char* text;
    const char* calls;
  } cases[] = {
      {"CAN_Write", {0x04}, 0, "", "CAN_Write"},
      {"CAN_Write", {0x0C}, 0, "", "CAN_Write"},
      {"CAN_Write", {0x10, 0x08}, 0, "", "CAN_Write,CAN_Init 0x031C 0,CAN_Write"},
      {"CAN_Write", {0x10, 0x10}, -1, "PCAN USB error: Bus error (BUSOFF)", "CAN_Write,CAN_Init 0x031C 0,CAN_Write"},
      {"CAN_Write", {0x01}, -1, "PCAN USB error: Transmit buffer full (XMTFULL)", "CAN_Write"},
      {"CAN_ReadEx", {0x08}, 0, "", "CAN_ReadEx"},
      {"CAN_ReadEx", {0x10}, 0, "", "CAN_ReadEx,CAN_Init 0x031C 0,CAN_ReadEx"},
      {"CAN_ReadEx", {0x1FFFF, 0x1FFFF}, -1, kEveryBitText, "CAN_ReadEx,CAN_Init 0x031C 0,CAN_ReadEx"},
  };
  const std::string log = home.file("debug.log");
  DebugLog_Open(log.c_str(), 'w');
  openAdapter();
  for (const auto& c : cases) {
    SetInterfaceError("-");
    script(c.function, c.results);
    const bool write = std::string(c.function) == "CAN_Write";
    const int result = write ? SendCanMsg(Frame(0x685, {1})) : PollReceive();
    EXPECT_EQ(result, c.expected) << c.function << " " << c.results[0];
    EXPECT_EQ(GetInterfaceError(), std::string(c.expected ? c.text : "-"));
    std::string shown;
    for (std::string line : Lines(calls())) shown += (shown.empty() ? "" : ",") + line.substr(0, line.find(" 685"));
    EXPECT_EQ(shown, c.calls) << c.function << " " << c.results[0];
    clearCalls();
  }
  DebugLog_Close();
  const std::string text = ReadWholeFile(log);
  EXPECT_NE(text.find("PCAN Bus-Off during pCAN_Write(), auto restart"), std::string::npos);
  EXPECT_NE(text.find("PCAN Bus-Off during pCAN_ReadEx(), auto restart"), std::string::npos);
}

TEST_F(PcanFakeTest, AnAdapterThatRefusesToStartLeavesTheLibraryUnloaded) {
  script("CAN_Init", {0x1FFFF});
  EXPECT_EQ(pCAN_Open(), -3);
  EXPECT_EQ(GetInterfaceError(), "Can't initialize PCAN USB adapter\n(" + std::string(kEveryBitText) + ")\n");
  EXPECT_STREQ(pCAN_LibraryPath(), "PCAN_USB.DLL");
  EXPECT_EQ(OpenInterface("PCAN USB"), 0) << "a second start succeeds";
}

TEST_F(PcanFakeTest, AFailedReopenLeavesTheLinkUnloadedAndNeverCallsTheLibraryAgain) {
  script("CAN_Init", {0, 0x0100});
  openAdapter();
  pCAN_SetBaudrate(7);
  EXPECT_STREQ(GetInterfaceError(),
               "Can't initialize PCAN USB adapter\n(PCAN USB error: device not connected (REGTEST))\n");
  EXPECT_EQ(GetInterfaceType(), kInterfacePcanUsb) << "the interface stays selected";
  clearCalls();
  EXPECT_EQ(SendCanMsg(Frame(0x685, {1})), -1);
  EXPECT_STREQ(GetInterfaceError(), "PCAN USB adapter is not open");
  EXPECT_EQ(PollReceive(), -1);
  ResetReceive();
  EXPECT_EQ(CloseInterface(), 0);
  EXPECT_EQ(calls(), "");
}

TEST_F(PcanFakeTest, TheEnvironmentVariableNamesTheLibraryToLoad) {
  link().setLibraryOverride("");
  setenv(kPcanLibraryVariable, kFake.c_str(), 1);
  const int result = pCAN_Open();
  unsetenv(kPcanLibraryVariable);
  EXPECT_EQ(result, 0) << GetInterfaceError();
  EXPECT_EQ(pCAN_LibraryPath(), kFake);
  EXPECT_FALSE(Platform_FileStatus(home.file("PCAN_USB.DLL")).exists) << "nothing written";
}

TEST_F(PcanFakeTest, ALibraryWithoutOneOfTheEightFunctionsIsRefusedByName) {
  for (const char* function : {"CAN_Init", "CAN_Close", "CAN_Status", "CAN_Write", "CAN_Read", "CAN_ReadEx",
                               "CAN_ResetClient", "CAN_VersionInfo"}) {
    const std::string path = kFakeDir + "/fakeadapter-without-" + function + ".so";
    link().setLibraryOverride(path);
    EXPECT_EQ(pCAN_Open(), -2) << function;
    EXPECT_EQ(GetInterfaceError(),
              "Missing function " + std::string(function) + "() in PCAN USB library, file\n" + path);
    EXPECT_FALSE(link().loaded());
    EXPECT_STREQ(pCAN_LibraryPath(), "PCAN_USB.DLL");
  }
}

TEST_F(PcanFakeTest, FilesThatAreNoLibraryFailToLoadWithoutHarm) {
  const std::string library = ReadWholeFile(kFake);
  const struct {
    const char* name;
    std::string bytes;
    int err;
  } cases[] = {{"empty", "", 8},
               {"header-only", library.substr(0, 64), 8},
               {"truncated", library.substr(0, library.size() / 2), 8},
               {"text", "this is not a library\n", 8},
               {"missing", "", 2}};
  for (const auto& c : cases) {
    const std::string path = home.file(c.name);
    if (c.err != 2) WriteWholeFile(path, c.bytes);
    link().setLibraryOverride(path);
    EXPECT_EQ(OpenInterface("PCAN USB"), -1) << c.name;
    EXPECT_EQ(GetInterfaceError(), "Can't load PCAN USB library, file\n" + path + ",\nWindows error #" +
                                       std::to_string(c.err) + "\n");
    EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
    EXPECT_STREQ(pCAN_LibraryPath(), "PCAN_USB.DLL");
  }
}

}  // namespace
