// The Modbus serial link ("Modbus (Serial)"): module protocol frames carried
// in Modbus RTU frames on a serial line to modules with a Modbus interface.
// Each frame for node n goes to slave address n (see ModbusFrame.h).
//
// Pacing: after each request the line stays silent for the RTU gap, counted
// from the moment the request's last byte has left the port; a request that
// asks for a reply or an acknowledgement also gives the module 50 ms past the
// gap to begin answering, and every byte that arrives extends that wait by
// another 50 ms. The next send waits (sleeping, not spinning) until both
// times have passed, then drops whatever input is left.
#pragma once

#include <cstdint>
#include <string>

#include "bus/Link.h"
#include "bus/ModbusFrame.h"
#include "core/CanMsg.h"
#include "platform/SerialPort.h"

// The link object; the program's one instance is a part of the session,
// reached through the Modbus_* functions below.
class ModbusLink : public Link {
 public:
  static constexpr int kReplyWaitMs = 50;
  static constexpr int kReadChunk = 100;
  // A line that does not take a request's bytes within this time fails the
  // send instead of holding the program.
  static constexpr int kWriteTimeoutMs = 1000;

  LinkResult open() override;    // code 1 on failure
  LinkResult close() override;   // always succeeds
  LinkResult send(const CanMsg& msg) override;  // code 1 on failure
  LinkResult receive(CanMsg& msg, bool& got) override;
  void reset() override;
  int waitDescriptor() const override { return port_.fd(); }
  // Takes MODBUS_MODE, MODBUS_COMPORTNAME, MODBUS_BAUDRATE and MODBUS_PROTOCOL.
  void applySettings() override;
  int bitRate() const override;
  // "<port>  <baud>  <protocol>"
  std::string describe() const override;
  int nodeCount() const override { return 256; }

  // Mode 0 is RTU. Mode 1 (ASCII) is refused with an error box and becomes
  // 0; other values are ignored.
  void setMode(int mode);
  int mode() const { return mode_; }
  void setPortName(const std::string& name) { portName_ = name; }
  const std::string& portName() const { return portName_; }
  void setBaudrate(long baud) { baud_ = baud; }
  long baudrate() const { return baud_; }
  // "8E1": data bits, parity letter, stop bits. Text of another length is ignored.
  void setProtocol(const std::string& text);
  // Data bits, parity letter in upper case, stop bits.
  const std::string& protocol() const { return protocolText_; }

  // Program-clock times of the pacing (0 = none).
  int64_t nextSendMs() const { return nextSendMs_; }
  int64_t replyDeadlineMs() const { return replyDeadlineMs_; }

  // Silent time after a frame: 35000 / baud ms below 19200 baud, else 2 ms.
  static int GapMs(long baud);
  // Time the given number of characters need on the line with the current
  // settings (start bit, data bits, parity, stop bits), rounded up to whole ms.
  int lineTimeMs(int characters) const;

 private:
  void waitUntil(int64_t timeMs);
  std::string deviceControl() const;

  SerialPort port_;
  SerialTimeouts savedTimeouts_;
  ModbusReplyBuffer input_;
  std::string portName_ = "COM1";
  long baud_ = 19200;
  int dataBits_ = 8;
  char parity_ = 'e';
  int stopBits_ = 1;
  std::string protocolText_ = "8E1";
  int mode_ = 0;
  // Pacing lives as long as the link, across closing and opening again.
  int64_t nextSendMs_ = 0;
  int64_t replyDeadlineMs_ = 0;
};

// ---- link operations on the session's link ----------------------------------
int Modbus_Open();   // 0 ok, 1 failed (text for GetInterfaceError)
int Modbus_Close();  // 0
int Modbus_Send(const CanMsg& msg);            // 0 ok, 1 failed
int Modbus_Receive(CanMsg& msg, int& got);     // 0, or -1 on a read error
void Modbus_Reset();

// ---- settings ------------------------------------------------------------------
void Modbus_SetMode(int mode);
void Modbus_SetPortName(const char* name);
void Modbus_SetBaudrate(long baud);
void Modbus_SetProtocol(const char* text);
int Modbus_GetMode();
const char* Modbus_GetPortName();
long Modbus_GetBaudrate();
const char* Modbus_GetProtocol();
