#include "instruments/SimSerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// How long a write to the line may wait for a reader before the rest of the
// answer is dropped (a program that stopped reading must not stop the device).
constexpr int kWriteWaitMs = 1000;

}  // namespace

SimSerialDevice::SimSerialDevice(Framer framer, Responder responder, std::string lineEnd)
    : framer_(std::move(framer)), responder_(std::move(responder)), lineEnd_(std::move(lineEnd)) {}

SimSerialDevice::~SimSerialDevice() { stop(); }

bool SimSerialDevice::start() {
  std::lock_guard<std::mutex> lock(m_);
  if (running_) return true;
  error_.clear();
  const auto fail = [&](const char* what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    CloseFd(master_);
    CloseFd(slave_);
    CloseFd(wake_);
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail("cannot open a pseudo-terminal");
  char name[128] = {};
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
    return fail("cannot unlock the pseudo-terminal");
  }
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return fail("cannot open the pseudo-terminal's slave");
  termios t{};
  if (::tcgetattr(slave_, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) return fail("cannot make the wake-up descriptor");
  path_ = name;
  running_ = true;
  thread_ = std::thread([this] { loop(); });
  return true;
}

void SimSerialDevice::stop() {
  {
    std::lock_guard<std::mutex> lock(m_);
    if (!running_) return;
    running_ = false;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }
  thread_.join();
  std::lock_guard<std::mutex> lock(m_);
  CloseFd(master_);
  CloseFd(slave_);
  CloseFd(wake_);
}

bool SimSerialDevice::running() const {
  std::lock_guard<std::mutex> lock(m_);
  return running_;
}

std::string SimSerialDevice::devicePath() const {
  std::lock_guard<std::mutex> lock(m_);
  return path_;
}

std::string SimSerialDevice::error() const {
  std::lock_guard<std::mutex> lock(m_);
  return error_;
}

void SimSerialDevice::setFaults(const SimInstrumentFaults& faults) {
  std::lock_guard<std::mutex> lock(m_);
  faults_ = faults;
}

SimInstrumentFaults SimSerialDevice::faults() const {
  std::lock_guard<std::mutex> lock(m_);
  return faults_;
}

std::vector<std::string> SimSerialDevice::commands() const {
  std::lock_guard<std::mutex> lock(m_);
  return commands_;
}

bool SimSerialDevice::waitForCommands(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return commands_.size() >= count; });
}

void SimSerialDevice::clearCommands() {
  std::lock_guard<std::mutex> lock(m_);
  commands_.clear();
}

void SimSerialDevice::loop() {
  std::string input;
  for (;;) {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[0].revents & POLLIN) return;  // stop() was called
    if (!(fds[1].revents & POLLIN)) continue;
    char buf[512];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    input.append(buf, size_t(n));
    std::string command;
    while (framer_(input, command)) handle(command);
  }
}

void SimSerialDevice::handle(const std::string& command) {
  SimInstrumentFaults faults;
  {
    std::lock_guard<std::mutex> lock(m_);
    commands_.push_back(command);
    faults = faults_;
    cv_.notify_all();
  }
  // The instrument acts on the command even when it does not answer.
  std::optional<std::string> answer = responder_(command);
  if (faults.silent) return;
  const bool wrong = !faults.wrongCommand.empty() && command.compare(0, faults.wrongCommand.size(), faults.wrongCommand) == 0;
  if (wrong) answer = faults.wrongAnswer;
  if (!answer) return;
  writeAnswer(shaped(command, *answer, faults) + lineEnd_, faults);
}

std::string SimSerialDevice::shaped(const std::string& command, std::string answer,
                                    const SimInstrumentFaults& faults) {
  if (faults.longAnswer > 0) {
    // Padding that still says which command it answers.
    const std::string filler = " (answer to " + command + ")";
    while (int(answer.size()) < faults.longAnswer) answer += filler;
    answer.resize(size_t(faults.longAnswer));
  }
  if (faults.garbage) {
    for (char& c : answer) {
      garbageSeed_ = garbageSeed_ * 1103515245u + 12345u;
      char g = char((garbageSeed_ >> 16) & 0xFF);
      if (g == '\n' || g == '\r' || g == 'O') g = '?';  // keep the line structure; never "OK"
      c = g;
    }
    if (answer.empty()) answer = "?";
  }
  return answer;
}

void SimSerialDevice::writeAnswer(const std::string& bytes, const SimInstrumentFaults& faults) {
  const size_t piece = faults.splitBytes > 0 ? size_t(faults.splitBytes) : bytes.size();
  for (size_t at = 0; at < bytes.size(); at += piece) {
    if (at > 0 && !pause(faults.splitPauseMs)) return;
    if (!writeAll(bytes.data() + at, std::min(piece, bytes.size() - at))) return;
  }
}

bool SimSerialDevice::writeAll(const char* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(master_, data + done, length - done);
    if (n > 0) {
      done += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLOUT, 0}};
    if (::poll(fds, 2, kWriteWaitMs) <= 0 || (fds[0].revents & POLLIN)) return false;
  }
  return true;
}

bool SimSerialDevice::pause(int ms) {
  if (ms <= 0) return true;
  pollfd p{wake_, POLLIN, 0};
  return ::poll(&p, 1, ms) == 0;
}
