// A simulated serial instrument on a pseudo-terminal. The device opens a
// pseudo-terminal pair, plays the instrument on the master side in a thread of
// its own and offers the slave's path (/dev/pts/N) to the program, which opens
// it like any serial port. The slave is kept open by the device too, set to
// raw transfer, so that the program can open and close its port as often as
// it likes without the line ever hanging up or echoing.
//
// Instruments plug in two functions: a framer that cuts commands out of the
// bytes received, and a responder that gives the answer to one command (or
// none). Faults act on the answers as they are written.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct SimInstrumentFaults {
  bool silent = false;        // hears every command, answers none
  bool garbage = false;       // each answer's text replaced by bytes that mean nothing (line end kept)
  int splitBytes = 0;         // > 0: answers written in pieces of at most this many bytes ...
  int splitPauseMs = 0;       // ... with this pause (real time) between them
  std::string wrongCommand;   // a command beginning with this text ...
  std::string wrongAnswer;    // ... is answered with this text (line end added) instead
  int longAnswer = 0;         // > 0: each answer's text padded to this many characters
};

class SimSerialDevice {
 public:
  // Takes the first complete command out of input (removing it, and any
  // bytes that cannot start one); false when no command is complete yet.
  using Framer = std::function<bool(std::string& input, std::string& command)>;
  // The answer text to one command, without its line end; none = silence.
  using Responder = std::function<std::optional<std::string>(const std::string& command)>;

  // lineEnd ends every answer ("\r\n" for the calibrators, "" for the thermometer).
  SimSerialDevice(Framer framer, Responder responder, std::string lineEnd);
  ~SimSerialDevice();
  SimSerialDevice(const SimSerialDevice&) = delete;
  SimSerialDevice& operator=(const SimSerialDevice&) = delete;

  // Opens the pseudo-terminal and starts the thread. False with error().
  bool start();
  void stop();
  bool running() const;
  // The slave's device path, for the program's port name.
  std::string devicePath() const;
  std::string error() const;

  void setFaults(const SimInstrumentFaults& faults);
  SimInstrumentFaults faults() const;

  // Every command received, in order (silent or not).
  std::vector<std::string> commands() const;
  bool waitForCommands(size_t count, int timeoutMs) const;
  void clearCommands();

 private:
  void loop();
  void handle(const std::string& command);
  std::string shaped(const std::string& command, std::string answer, const SimInstrumentFaults& faults);
  void writeAnswer(const std::string& bytes, const SimInstrumentFaults& faults);
  bool writeAll(const char* data, size_t length);
  // Waits on the wake-up descriptor; false when stop() was called.
  bool pause(int ms);

  Framer framer_;
  Responder responder_;
  std::string lineEnd_;

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  SimInstrumentFaults faults_;
  std::vector<std::string> commands_;
  std::string path_;
  std::string error_;
  bool running_ = false;
  unsigned garbageSeed_ = 12345;

  int master_ = -1;
  int slave_ = -1;
  int wake_ = -1;
  std::thread thread_;
};
