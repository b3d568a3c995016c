#include "bus/PcanLink.h"

#include <cstdlib>
#include <cstring>

#include "bus/BitRate.h"
#include "bus/Interface.h"
#include "bus/PcanLibraryFile.h"
#include "core/DebugLog.h"
#include "core/Options.h"
#include "core/Session.h"
#include "platform/Paths.h"

namespace {

constexpr uint16_t kBitTimings[8] = {0x672F, 0x532F, 0x472F, 0x432F, 0x031C, 0x011C, 0x001C, 0x0014};
constexpr int kDefaultIndex = 4;

struct ResultRow {
  uint32_t mask;
  const char* text;
};
constexpr ResultRow kResultRows[] = {
    {0x0001, "Transmit buffer full (XMTFULL), "},
    {0x0002, "Transmit buffer overrun (OVERRUN), "},
    {0x0004, "Bus error (BUSLIGHT), "},
    {0x0008, "Bus error (BUSHEAVY), "},
    {0x0010, "Bus error (BUSOFF), "},
    {0x0020, "Receive buffer empty (QRCVEMPTY), "},
    {0x0040, "Receive buffer overrun (QOVERRUN), "},
    {0x0080, "Receive buffer full (QXMTFULL), "},
    {0x0100, "device not connected (REGTEST), "},
    {0x0200, "driver not loaded (NODRIVER)\n"},
    {0x0400, "device used by another process (HWINUSE), "},
    {0x0800, "device used by another process (NETINUSE), "},
    {0x1400, "Cannot access device (ILLHW), "},
    {0x1800, "Cannot access device (ILLNET), "},
    {0x1C00, "Cannot access device (ILLCLIENT), "},
    {0x2000, "Cannot create ressource (RESOURCE), "},
    {0x4000, "Invalid parameter (ILLPARAMTYPE), "},
    {0x8000, "Invalid parameter value (ILLPARAMVAL), "},
    {0x10000, "UNKNOWN, "},
};

// The functions in the order they are resolved, with the names messages use.
struct FunctionName {
  const char* symbol;
  const char* shown;
};
constexpr FunctionName kFunctionNames[8] = {
    {"CAN_Init", "CAN_Init()"},       {"CAN_Close", "CAN_Close()"},
    {"CAN_Status", "CAN_Status()"},   {"CAN_Write", "CAN_Write()"},
    {"CAN_Read", "CAN_Read()"},       {"CAN_ReadEx", "CAN_ReadEx()"},
    {"CAN_ResetClient", "CAN_ResetClient()"}, {"CAN_VersionInfo", "CAN_VersionInfo()"},
};

constexpr uint32_t kWarnings = CAN_ADAPTER_BUSLIGHT | CAN_ADAPTER_BUSHEAVY;
// Status messages passed over in one receive call before it gives up for now.
constexpr int kMaxStatusPerReceive = 64;

// Warnings alone (error counters high, the adapter still on the bus) are no failure.
uint32_t withoutWarnings(uint32_t r) { return (r & ~kWarnings) == 0 ? 0 : r; }

PcanUsbLink& link() { return Session_Part<PcanUsbLink>(); }

int report(const LinkResult& result) {
  if (result.ok()) return 0;
  SetInterfaceError("%s", result.text.c_str());
  return result.code;
}

LinkResult notOpen() { return LinkResult::Fail("PCAN USB adapter is not open"); }

}  // namespace

std::string Pcan_ResultText(uint32_t code) {
  if (code == 0) return "Ok";
  std::string text = "PCAN USB error: ";
  for (const ResultRow& row : kResultRows)
    if (code & row.mask) text += row.text;
  const size_t comma = text.rfind(',');
  if (comma != std::string::npos) text.resize(comma);
  return text;
}

uint16_t Pcan_BitTimingOfIndex(int index) {
  return index >= 0 && index < 8 ? kBitTimings[index] : kBitTimings[kDefaultIndex];
}

int Pcan_IndexOfBitTiming(uint16_t word) {
  for (int i = 0; i < 8; ++i)
    if (kBitTimings[i] == word) return i;
  return kDefaultIndex;
}

// ---- the link object -----------------------------------------------------------

PcanUsbLink::~PcanUsbLink() { close(); }

const char* PcanUsbLink::resultText(uint32_t code) {
  resultText_ = Pcan_ResultText(code);
  return resultText_.c_str();
}

void PcanUsbLink::unload() {
  library_.close();
  fn_ = Functions{};
  libraryPath_ = kPcanLibraryName;
}

LinkResult PcanUsbLink::placeAndLoad() {
  std::string path = override_;
  if (path.empty()) {
    const char* named = std::getenv(kPcanLibraryVariable);
    if (named) path = named;
  }
  if (path.empty()) {
    path = Platform_HomeFile(kPcanLibraryName);
    bool written = false;
    if (PcanLibraryFile_Place(path, kPcanLibraryImage, kPcanLibraryImageSize, &written) != 0)
      return LinkResult::Fail("Can't create PCAN USB library, file\n%s", path.c_str());
    if (written) DebugLog("PCAN USB library written to %s", path.c_str());
  }
  libraryPath_ = path;
  if (!library_.open(path)) {
    DebugLog("PCAN USB library %s: %s", path.c_str(), library_.lastError().c_str());
    libraryPath_ = kPcanLibraryName;
    // The file tried is named, not only the library's usual name: with
    // KVX_PCAN_LIBRARY that is the one thing the user needs to see.
    return LinkResult::Fail("Can't load PCAN USB library, file\n%s,\nWindows error #%d\n", path.c_str(),
                            library_.lastErrno());
  }
  void** slots[8] = {reinterpret_cast<void**>(&fn_.init),        reinterpret_cast<void**>(&fn_.close),
                     reinterpret_cast<void**>(&fn_.status),      reinterpret_cast<void**>(&fn_.write),
                     reinterpret_cast<void**>(&fn_.read),        reinterpret_cast<void**>(&fn_.readEx),
                     reinterpret_cast<void**>(&fn_.resetClient), reinterpret_cast<void**>(&fn_.versionInfo)};
  const char* missing = nullptr;
  for (int i = 0; i < 8; ++i) {
    *slots[i] = library_.resolve(kFunctionNames[i].symbol);
    if (!*slots[i] && !missing) missing = kFunctionNames[i].shown;
  }
  if (missing) {
    LinkResult failure = LinkResult::Fail("Missing function %s in PCAN USB library, file\n%s", missing,
                                          libraryPath_.c_str());
    failure.code = -2;
    unload();
    return failure;
  }
  return {};
}

LinkResult PcanUsbLink::open() {
  if (loaded()) {
    fn_.init(bitTiming_, CAN_ADAPTER_TYPE_STANDARD);
    return {};
  }
  LinkResult loadResult = placeAndLoad();
  if (!loadResult.ok()) return loadResult;
  const uint32_t r = fn_.init(bitTiming_, CAN_ADAPTER_TYPE_STANDARD);
  if (r != 0) {
    LinkResult failure = LinkResult::Fail("Can't initialize PCAN USB adapter\n(%s)\n", Pcan_ResultText(r).c_str());
    failure.code = -3;
    unload();
    return failure;
  }
  return {};
}

LinkResult PcanUsbLink::close() {
  if (!loaded()) return {};
  fn_.close();
  if (!library_.close()) return LinkResult::Fail("Can't unload PCAN USB library, file\n%s", libraryPath_.c_str());
  unload();
  return {};
}

LinkResult PcanUsbLink::send(const CanMsg& msg) {
  if (!loaded()) return notOpen();
  CanAdapterMsg out{};
  out.id = msg.id;
  out.type = CAN_ADAPTER_TYPE_STANDARD;
  out.len = uint8_t(msg.len & 0xFF);
  for (int i = 0; i < 8; ++i) out.data[i] = uint8_t(msg.data[i] & 0xFF);
  uint32_t r = withoutWarnings(fn_.write(&out));
  if (r & CAN_ADAPTER_BUSOFF) {
    DebugLog("PCAN Bus-Off during pCAN_Write(), auto restart");
    fn_.init(bitTiming_, CAN_ADAPTER_TYPE_STANDARD);
    r = withoutWarnings(fn_.write(&out));
  }
  if (r != 0) return LinkResult::Fail("%s", Pcan_ResultText(r).c_str());
  return {};
}

uint32_t PcanUsbLink::readOnce(CanAdapterMsg& msg, CanAdapterTimestamp& stamp) {
  uint32_t r = withoutWarnings(fn_.readEx(&msg, &stamp));
  if (r & CAN_ADAPTER_BUSOFF) {
    DebugLog("PCAN Bus-Off during pCAN_ReadEx(), auto restart");
    fn_.init(bitTiming_, CAN_ADAPTER_TYPE_STANDARD);
    r = withoutWarnings(fn_.readEx(&msg, &stamp));
  }
  return r;
}

LinkResult PcanUsbLink::receive(CanMsg& msg, bool& got) {
  got = false;
  if (!loaded()) return notOpen();
  // A status message is passed over and the next frame looked at at once:
  // stopping at it would leave frames queued behind it until the next poll.
  for (int round = 0; round < kMaxStatusPerReceive; ++round) {
    CanAdapterMsg in{};
    CanAdapterTimestamp stamp{};
    const uint32_t r = readOnce(in, stamp);
    if (r == CAN_ADAPTER_QRCVEMPTY) return {};
    if (r != 0) return LinkResult::Fail("%s", Pcan_ResultText(r).c_str());
    if (in.type == CAN_ADAPTER_TYPE_STATUS) continue;
    msg = CanMsg{};
    msg.time = stamp.millis;
    msg.id = in.id;
    if (in.type & CAN_ADAPTER_TYPE_REMOTE) msg.id |= CANMSG_FLAG_REMOTE;
    msg.len = in.len;
    for (int i = 0; i < 8; ++i) msg.data[i] = in.data[i];
    got = true;
    return {};
  }
  return {};
}

void PcanUsbLink::reset() {
  if (loaded()) fn_.resetClient();
}

void PcanUsbLink::applySettings() { setBaudrate(Option_GetInt("PCANUSB_BAUDRATE")); }

void PcanUsbLink::setBaudrate(int index) {
  bitTiming_ = Pcan_BitTimingOfIndex(index);
  if (!loaded()) return;
  LinkResult result = close();
  if (result.ok()) result = open();
  if (!result.ok()) SetInterfaceError("%s", result.text.c_str());
}

int PcanUsbLink::bitRate() const { return BitRate_FromCode(baudrate()); }

std::string PcanUsbLink::describe() const {
  const char* text = BitRate_Text(baudrate());
  return text ? text : "";
}

// ---- link operations on the session's link -----------------------------------

int pCAN_Open() { return report(link().open()); }
int pCAN_Close() { return report(link().close()); }
int pCAN_Write(const CanMsg& msg) { return report(link().send(msg)); }

int pCAN_ReadEx(CanMsg& msg, int& got) {
  bool delivered = false;
  const int result = report(link().receive(msg, delivered));
  got = delivered ? 1 : 0;
  return result;
}

void pCAN_Reset() { link().reset(); }
void pCAN_SetBaudrate(int index) { link().setBaudrate(index); }
int pCAN_GetBaudrate() { return link().baudrate(); }
const char* pCAN_LibraryPath() { return link().libraryPath().c_str(); }
bool pCAN_LibraryLoaded() { return link().loaded(); }
const char* pCAN_ErrorText(uint32_t code) { return link().resultText(code); }
