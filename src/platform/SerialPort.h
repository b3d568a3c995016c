// A serial port over termios: open by name, line settings from a
// device-control text, read/write time-outs, DTR, and restoring the port's own
// settings on close.
//
// Port names: "COMn" (any case, n >= 1) is /dev/ttyS(n-1); a name that begins
// with "/" is a device path (/dev/ttyUSB0, a pseudo-terminal). The port is
// opened exclusively: a second open of the same device fails with EBUSY.
//
// Failures never print anything: the port keeps the errno of the failing call
// (lastErrno) and a text that says what failed (lastError); callers put the
// number into their own messages.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <vector>

enum class SerialStopBits { Keep, One, OneAndHalf, Two };

// Line settings; zero / Keep fields leave the port's current value.
struct SerialLineSettings {
  long baud = 0;      // a standard rate (50 .. 4000000)
  char parity = 0;    // 'n' none, 'e' even, 'o' odd, 'm' mark, 's' space
  int dataBits = 0;   // 5..8
  SerialStopBits stopBits = SerialStopBits::Keep;
};

// Time-outs of read() and write().
struct SerialTimeouts {
  // read() returns after at most this long with whatever arrived (0 = at once).
  int readTotalMs = 0;
  // Once a byte has arrived, read() also returns when the line stays silent
  // this long (0 = no such limit): ends a frame without waiting the total.
  int readIntervalMs = 0;
  // write() gives up when not everything was handed to the device after this
  // long (0 = waits until everything is handed over).
  int writeTotalMs = 0;
};

// Parses "baud=%ld parity=%c data=%d stop=%d": keys in any order and case,
// each optional, separated by blanks. Parity letters n/e/o/m/s in either case;
// data 5..8; stop 1, 1.5 or 2; standard baud rates only. On failure returns
// false and, when error is given, a text naming the offending part.
bool SerialPort_ParseSettings(const std::string& text, SerialLineSettings* out,
                              std::string* error);

// Puts settings into a termios block on top of what it holds and makes it raw
// (no echo, no line editing, no translation, no flow control, receiver on,
// modem status lines ignored). 1.5 stop bits need 5 data bits and 2 stop bits
// need 6..8 (the UART makes 1.5 of "2" at 5 data bits). False with a text when
// the combination cannot be set; the block is then unchanged.
bool SerialPort_ApplyToTermios(const SerialLineSettings& settings, termios* t,
                               std::string* error);
// The settings a termios block stands for.
SerialLineSettings SerialPort_SettingsOf(const termios& t);

// The device path for a port name, or "" when the name names no port.
std::string SerialPort_DevicePath(const std::string& name);

// Ports to offer in port selectors: "COM1".."COM31" whose /dev/ttyS device
// exists with a UART behind it, then existing /dev/ttyUSB* and /dev/ttyACM*
// (in number order).
std::vector<std::string> SerialPort_ListPorts();
// The same over other folders (tests): devFolder holds the device nodes,
// sysTtyFolder the per-device "type" files of /sys/class/tty (a ttyS whose
// type is 0 has no UART; a missing type file does not hide the port).
std::vector<std::string> SerialPort_ListPortsIn(const std::string& devFolder,
                                                const std::string& sysTtyFolder);

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;

  // Opens the named port for reading and writing, remembers its line settings
  // for close() and switches it to raw transfer (rate, size, parity and stop
  // bits stay as found). An open port is closed first.
  bool open(const std::string& name);
  // Applies a device-control text on top of the current settings.
  bool configure(const std::string& deviceControl);
  bool configure(const SerialLineSettings& settings);
  // The settings in effect, as last applied.
  SerialLineSettings lineSettings() const;

  void setTimeouts(const SerialTimeouts& timeouts) { timeouts_ = timeouts; }
  SerialTimeouts timeouts() const { return timeouts_; }

  // Raises or drops DTR. Fails (ENOTTY) on devices without modem control
  // lines such as pseudo-terminals.
  bool setDtr(bool on);

  // Reads up to maxBytes within the time-outs: the number of bytes, 0 when
  // nothing arrived in time, -1 on error.
  int read(void* buffer, int maxBytes);
  // Writes all bytes: returns length on success; fewer when the write
  // time-out ran out (lastErrno ETIMEDOUT); -1 on error.
  int write(const void* data, int length);
  // Drops everything received and not yet read.
  bool flushInput();
  // True when the line has hung up (the other end of a pseudo-terminal closed,
  // a USB adapter unplugged): reads then find nothing, for good.
  bool hungUp() const;
  // Waits until everything written has left the port.
  bool drainOutput();

  // Restores the line settings found at open and closes; a closed port is left alone.
  void close();

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }
  const std::string& devicePath() const { return path_; }
  int lastErrno() const { return lastErrno_; }
  const std::string& lastError() const { return lastError_; }

 private:
  bool fail(int err, const std::string& what);

  int fd_ = -1;
  dev_t device_ = 0;  // registered as open in this program while fd_ is open
  std::string name_;
  std::string path_;
  termios saved_{};
  termios current_{};
  SerialTimeouts timeouts_;
  int lastErrno_ = 0;
  std::string lastError_;
};
