// The CAN adapter link ("PCAN USB"): a CAN bus reached through an adapter
// library that the program loads at run time and calls through the eight
// functions of platform/CanAdapterAbi.h. The program carries its own adapter
// library (adapter/, over SocketCAN or a simulator bus) and writes it to
// <home>/PCAN_USB.DLL before loading it; KVX_PCAN_LIBRARY names another
// library file to load as it is.
//
// Results are 0 / -1 unless stated; failures leave their text with
// SetInterfaceError.
#pragma once

#include <cstdint>
#include <string>

#include "bus/Link.h"
#include "core/CanMsg.h"
#include "platform/CanAdapterAbi.h"
#include "platform/SharedLibrary.h"

// The library file text while none is loaded, and the carried copy's file name.
constexpr const char* kPcanLibraryName = "PCAN_USB.DLL";
// The environment variable that names another adapter library to load.
constexpr const char* kPcanLibraryVariable = "KVX_PCAN_LIBRARY";

// "Ok", or "PCAN USB error: " with the text of every status bit in the code.
std::string Pcan_ResultText(uint32_t code);
// The adapter's bit-timing word of a bit-rate index 0..7 (125 kbit/s for any
// other index), and the index of a word (4 for a word not in the table).
uint16_t Pcan_BitTimingOfIndex(int index);
int Pcan_IndexOfBitTiming(uint16_t word);

// The link object; the program's one instance is a part of the session,
// reached through the pCAN_* functions below.
class PcanUsbLink : public Link {
 public:
  ~PcanUsbLink() override;

  // Puts the library in place, loads it, resolves the functions and
  // initialises the adapter. Codes: -1 library not written or not loaded,
  // -2 a function missing, -3 the adapter refused to start.
  LinkResult open() override;
  // Closes the adapter and unloads the library.
  LinkResult close() override;
  LinkResult send(const CanMsg& msg) override;
  // Never waits; status messages of the adapter are passed over.
  LinkResult receive(CanMsg& msg, bool& got) override;
  // Empties the library's queues.
  void reset() override;
  // The adapter's frames arrive on the library's side; there is no
  // descriptor to wait on.
  bool peerRunsApart() const override { return true; }
  // Takes PCANUSB_BAUDRATE from the options.
  void applySettings() override;
  int bitRate() const override;
  std::string describe() const override;

  // Stores the bit-timing word of the index; a loaded library is closed and
  // opened again so that the adapter runs at the new rate (a failure there
  // leaves it unloaded, with the text in the interface error).
  void setBaudrate(int index);
  int baudrate() const { return Pcan_IndexOfBitTiming(bitTiming_); }
  uint16_t bitTiming() const { return bitTiming_; }
  // The loaded library file, kPcanLibraryName while none is loaded.
  const std::string& libraryPath() const { return libraryPath_; }
  bool loaded() const { return library_.isOpen(); }

  // A library file to load instead of the carried copy (empty: the carried
  // copy, unless KVX_PCAN_LIBRARY names a file).
  void setLibraryOverride(const std::string& path) { override_ = path; }
  // The text buffer of pCAN_ErrorText.
  const char* resultText(uint32_t code);

 private:
  struct Functions {
    CanAdapter_InitFn init = nullptr;
    CanAdapter_CloseFn close = nullptr;
    CanAdapter_StatusFn status = nullptr;
    CanAdapter_WriteFn write = nullptr;
    CanAdapter_ReadFn read = nullptr;
    CanAdapter_ReadExFn readEx = nullptr;
    CanAdapter_ResetClientFn resetClient = nullptr;
    CanAdapter_VersionInfoFn versionInfo = nullptr;
  };

  LinkResult placeAndLoad();
  void unload();
  uint32_t readOnce(CanAdapterMsg& msg, CanAdapterTimestamp& stamp);

  SharedLibrary library_;
  Functions fn_;
  std::string libraryPath_ = kPcanLibraryName;
  uint16_t bitTiming_ = 0x031C;
  std::string override_;
  std::string resultText_;
};

// ---- link operations on the session's link ----------------------------------
// 0, or -1 / -2 / -3 as PcanUsbLink::open.
int pCAN_Open();
int pCAN_Close();
int pCAN_Write(const CanMsg& msg);
// Takes at most one received frame (got = 1), never waits.
int pCAN_ReadEx(CanMsg& msg, int& got);
void pCAN_Reset();
void pCAN_SetBaudrate(int index);
int pCAN_GetBaudrate();
// The library file text.
const char* pCAN_LibraryPath();
// Whether the adapter library is loaded now.
bool pCAN_LibraryLoaded();
// The result text of a library result code; one buffer, overwritten by the next call.
const char* pCAN_ErrorText(uint32_t code);
