// One simulated module on a CAN bus. It listens on base + node (and on the
// base identifier for broadcasts and while in search mode), looks the command
// code up in its handler table and answers through its ModuleHost.
//
// The handler table is per module: the standard commands are installed at
// construction (StandardCommands.cpp); later features add or replace
// handlers with setHandler() without touching this class.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "core/SimFrame.h"
#include "module/ModuleHost.h"
#include "module/ObjectDictionary.h"
#include "module/SimModuleConfig.h"

class Bootloader;

// A request as the module received it.
struct ModuleRequest {
  SimFrame frame;            // the frame as it came off the bus
  uint8_t command = 0;       // data byte 0
  uint8_t code = 0;          // command & 0x3F
  bool wantsReply = false;   // bit 7
  bool wantsAck = false;     // bit 6 (without bit 7)
  bool toNodeZero = false;   // sent on the base identifier
  uint32_t answerId = 0;     // where replies and acknowledgements go
};

class SimModule {
 public:
  using Handler = std::function<void(SimModule&, const ModuleRequest&)>;

  SimModule(int id, const SimModuleConfig& config);
  virtual ~SimModule() = default;

  int id() const { return id_; }
  int bus() const { return config_.bus; }
  int node() const { return node_; }           // the node it answers on now
  SimModuleConfig& config() { return config_; }  // identity, versions, dates, EEPROM
  const SimModuleConfig& config() const { return config_; }
  ObjectDictionary& objects() { return objects_; }
  const ObjectDictionary& objects() const { return objects_; }

  // State byte as the module reports it: state number 2 while in search mode.
  uint8_t state() const;
  void setState(uint8_t state) { state_ = state; }
  bool firmwareRunning() const { return (state_ & 0x80) != 0; }
  bool searchMode() const { return searchMode_; }
  void enterSearchMode() { searchMode_ = true; }
  void leaveSearchMode() { searchMode_ = false; }
  bool rebooting() const { return rebooting_; }
  // Bit-rate index the module runs at: -1 follows the bus (no valid setting).
  int bitRateIndex() const { return bitRateIndex_; }
  // True when the module runs at another bit rate than its bus and so can
  // neither hear nor answer anything.
  bool offBus(uint8_t busBitRateCode) const;

  // Counters for tests and the program's output.
  int requestCount() const { return requests_; }
  int ledFlashCount() const { return ledFlashes_; }
  uint8_t lastFlashCycles() const { return lastFlashCycles_; }
  int restartCount() const { return restarts_; }
  int rejectedWrites() const { return rejectedWrites_; }

  void setHandler(uint8_t code, Handler handler);
  const Handler& handler(uint8_t code) const { return handlers_[code & 0x3F]; }

  // Flash, EEPROM and block transfers (BootCommands.cpp).
  Bootloader& bootloader() { return *bootloader_; }
  const Bootloader& bootloader() const { return *bootloader_; }

  // The network attaches the module to itself when the module is added.
  void attach(ModuleHost* host) { host_ = host; }
  // Every frame on the module's bus passes through here.
  void receive(const SimFrame& frame);

  // ---- for handlers -----------------------------------------------------------
  // Sends an 8-byte reply: the command code, then the seven bytes given.
  void reply(const ModuleRequest& rq, std::initializer_list<uint8_t> bytes);
  void reply(const ModuleRequest& rq, const uint8_t bytes[7]);
  // Sends the acknowledgement: the request with both flags set in byte 0.
  void acknowledge(const ModuleRequest& rq);
  // Goes silent for the host's reboot time, then runs the bootloader
  // (firmware = false) or the firmware; stays in search mode when asked to.
  void restart(bool firmware, bool keepSearchMode);
  // Node and bit rate from the switches or the EEPROM, as at power-up.
  void applyBusParameters(bool includingBitRate);
  void countFlash(uint8_t cycles) { ++ledFlashes_; lastFlashCycles_ = cycles; }
  void countRejectedWrite() { ++rejectedWrites_; }
  ModuleHost* host() const { return host_; }

 private:
  void finishRestart(bool firmware, bool keepSearchMode);
  uint32_t baseId() const;

  int id_;
  SimModuleConfig config_;
  ObjectDictionary objects_;
  std::array<Handler, 64> handlers_{};
  int node_;
  int factoryNode_;          // the node at power-up; used when nothing else is valid
  uint8_t state_;
  bool searchMode_ = false;
  bool rebooting_ = false;
  int bitRateIndex_ = -1;
  int requests_ = 0;
  int ledFlashes_ = 0;
  uint8_t lastFlashCycles_ = 0;
  int restarts_ = 0;
  int rejectedWrites_ = 0;
  ModuleHost* host_ = nullptr;
  std::shared_ptr<Bootloader> bootloader_;
};

// The handlers every module has: identify, restart, search, LED flash,
// module info, bus parameters, dates, switches and object access.
void InstallStandardCommands(SimModule& module);
// The bootloader's commands: firmware status, block transfers, code start, command key.
void InstallBootCommands(SimModule& module);
// The service pages' side: clock, serial numbers, SMS layout, memory contents, LIN master.
void InstallServiceCommands(SimModule& module);
