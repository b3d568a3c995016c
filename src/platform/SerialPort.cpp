#include "platform/SerialPort.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

#include "platform/Poll.h"

namespace {

struct BaudRate {
  long rate;
  speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedCodeOf(long rate, speed_t* code) {
  for (const BaudRate& b : kBaudRates) {
    if (b.rate == rate) {
      *code = b.code;
      return true;
    }
  }
  return false;
}

long rateOf(speed_t code) {
  for (const BaudRate& b : kBaudRates) {
    if (b.code == code) return b.rate;
  }
  return 0;
}

std::string printf1(const char* format, const std::string& a, const std::string& b = {}) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, a.c_str(), b.c_str());
  return buf;
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool allDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// One "key=value" setting of a device-control text.
bool applySetting(const std::string& key, const std::string& value, SerialLineSettings* s,
                  std::string* why) {
  const std::string k = lower(key);
  if (k == "baud") {
    if (!allDigits(value)) {
      *why = printf1("baud rate \"%s\" is not a number", value);
      return false;
    }
    const long rate = value.size() <= 9 ? std::stol(value) : -1;
    speed_t code;
    if (!speedCodeOf(rate, &code)) {
      *why = printf1("baud rate %s is not a standard rate", value);
      return false;
    }
    s->baud = rate;
  } else if (k == "parity") {
    const std::string p = lower(value);
    if (p.size() != 1 || std::strchr("neoms", p[0]) == nullptr) {
      *why = printf1("parity \"%s\" is not one of n, e, o, m, s", value);
      return false;
    }
    s->parity = p[0];
  } else if (k == "data") {
    if (value.size() != 1 || value[0] < '5' || value[0] > '8') {
      *why = printf1("data bits \"%s\" are not 5 to 8", value);
      return false;
    }
    s->dataBits = value[0] - '0';
  } else if (k == "stop") {
    if (value == "1") {
      s->stopBits = SerialStopBits::One;
    } else if (value == "1.5") {
      s->stopBits = SerialStopBits::OneAndHalf;
    } else if (value == "2") {
      s->stopBits = SerialStopBits::Two;
    } else {
      *why = printf1("stop bits \"%s\" are not 1, 1.5 or 2", value);
      return false;
    }
  } else {
    *why = printf1("unknown setting \"%s\"", key);
    return false;
  }
  return true;
}

int dataBitsOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

tcflag_t sizeFlag(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

void makeRaw(termios* t) {
  t->c_iflag &= ~tcflag_t(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                          ICRNL | IXON | IXOFF | IXANY | IMAXBEL);
  t->c_oflag &= ~tcflag_t(OPOST);
  t->c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t->c_cflag &= ~tcflag_t(CRTSCTS);
  t->c_cflag |= CLOCAL | CREAD;
  t->c_cc[VMIN] = 0;  // reads never block on the count; time-outs come from poll()
  t->c_cc[VTIME] = 0;
}

// Devices open in this program; the exclusive open also holds between our own
// users (the Modbus link and a calibrator set to the same port).
std::mutex g_openMutex;
std::set<dev_t> g_openDevices;

bool registerDevice(dev_t device) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  return g_openDevices.insert(device).second;
}

void unregisterDevice(dev_t device) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  g_openDevices.erase(device);
}

int64_t nowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Milliseconds to wait until an end in microseconds, rounded up.
int msUntil(int64_t endUs) {
  const int64_t left = endUs - nowUs();
  return left <= 0 ? 0 : int((left + 999) / 1000);
}

bool pathExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

// A ttyS node exists for every possible port; the UART type says whether one is there.
bool uartPresent(const std::string& sysTtyFolder, const std::string& device) {
  std::ifstream in(sysTtyFolder + "/" + device + "/type");
  if (!in) return true;
  std::string type;
  in >> type;
  return type != "0";
}

// "<devFolder>/<prefix><n>" for every existing node, in number order.
std::vector<std::string> numberedNodes(const std::string& devFolder, const std::string& prefix) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* dir = ::opendir(devFolder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string number = name.substr(prefix.size());
      if (!allDigits(number) || number.size() > 6) continue;
      found.emplace_back(std::stol(number), devFolder + "/" + name);
    }
    ::closedir(dir);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

}  // namespace

bool SerialPort_ParseSettings(const std::string& text, SerialLineSettings* out,
                              std::string* error) {
  SerialLineSettings s;
  std::string why;
  bool any = false;
  size_t i = 0;
  const size_t n = text.size();
  while (why.empty()) {
    while (i < n && isBlank(text[i])) ++i;
    if (i == n) break;
    const size_t keyStart = i;
    while (i < n && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
    const std::string key = text.substr(keyStart, i - keyStart);
    while (i < n && isBlank(text[i])) ++i;
    if (key.empty() || i == n || text[i] != '=') {
      why = printf1("expected key=value at \"%s\"", text.substr(keyStart));
      break;
    }
    ++i;
    while (i < n && isBlank(text[i])) ++i;
    const size_t valueStart = i;
    while (i < n && !isBlank(text[i])) ++i;
    if (applySetting(key, text.substr(valueStart, i - valueStart), &s, &why)) any = true;
  }
  if (why.empty() && !any) why = "no settings given";
  if (!why.empty()) {
    if (error) *error = printf1("Invalid serial port settings \"%s\": %s", text, why);
    return false;
  }
  if (out) *out = s;
  return true;
}

bool SerialPort_ApplyToTermios(const SerialLineSettings& settings, termios* t,
                               std::string* error) {
  termios next = *t;
  const SerialLineSettings before = SerialPort_SettingsOf(*t);
  const auto failWith = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };

  if (settings.baud != 0) {
    speed_t code;
    if (!speedCodeOf(settings.baud, &code)) {
      return failWith(printf1("baud rate %s is not a standard rate", std::to_string(settings.baud)));
    }
    cfsetispeed(&next, code);
    cfsetospeed(&next, code);
  }

  const int dataBits = settings.dataBits != 0 ? settings.dataBits : before.dataBits;
  if (dataBits < 5 || dataBits > 8) {
    return failWith(printf1("data bits %s are not 5 to 8", std::to_string(dataBits)));
  }
  next.c_cflag = (next.c_cflag & ~tcflag_t(CSIZE)) | sizeFlag(dataBits);

  if (settings.parity != 0) {
    next.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR);
    switch (std::tolower(static_cast<unsigned char>(settings.parity))) {
      case 'n': break;
      case 'e': next.c_cflag |= PARENB; break;
      case 'o': next.c_cflag |= PARENB | PARODD; break;
      case 'm': next.c_cflag |= PARENB | CMSPAR | PARODD; break;
      case 's': next.c_cflag |= PARENB | CMSPAR; break;
      default: return failWith(printf1("parity '%s' is not one of n, e, o, m, s",
                                       std::string(1, settings.parity)));
    }
  }

  // The UART sends 1.5 stop bits for CSTOPB at 5 data bits and 2 otherwise.
  const SerialStopBits stop =
      settings.stopBits != SerialStopBits::Keep ? settings.stopBits : before.stopBits;
  if (stop == SerialStopBits::OneAndHalf && dataBits != 5) {
    return failWith("1.5 stop bits need 5 data bits");
  }
  if (stop == SerialStopBits::Two && dataBits == 5) {
    return failWith("2 stop bits need 6 to 8 data bits");
  }
  if (stop == SerialStopBits::One) {
    next.c_cflag &= ~tcflag_t(CSTOPB);
  } else {
    next.c_cflag |= CSTOPB;
  }

  makeRaw(&next);
  *t = next;
  return true;
}

SerialLineSettings SerialPort_SettingsOf(const termios& t) {
  SerialLineSettings s;
  s.baud = rateOf(cfgetospeed(&t));
  s.dataBits = dataBitsOf(t.c_cflag);
  if (!(t.c_cflag & PARENB)) {
    s.parity = 'n';
  } else if (t.c_cflag & CMSPAR) {
    s.parity = (t.c_cflag & PARODD) ? 'm' : 's';
  } else {
    s.parity = (t.c_cflag & PARODD) ? 'o' : 'e';
  }
  if (!(t.c_cflag & CSTOPB)) {
    s.stopBits = SerialStopBits::One;
  } else {
    s.stopBits = s.dataBits == 5 ? SerialStopBits::OneAndHalf : SerialStopBits::Two;
  }
  return s;
}

std::string SerialPort_DevicePath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  std::string n = name;
  if (n.compare(0, 4, "\\\\.\\") == 0) n = n.substr(4);  // the device-namespace form \\.\COM10
  if (n.size() < 4 || lower(n.substr(0, 3)) != "com") return "";
  const std::string number = n.substr(3);
  if (!allDigits(number) || number.size() > 3) return "";
  const int index = std::stoi(number);
  if (index < 1) return "";
  return "/dev/ttyS" + std::to_string(index - 1);
}

std::vector<std::string> SerialPort_ListPortsIn(const std::string& devFolder,
                                                const std::string& sysTtyFolder) {
  std::vector<std::string> ports;
  for (int n = 1; n <= 31; ++n) {
    const std::string device = "ttyS" + std::to_string(n - 1);
    if (pathExists(devFolder + "/" + device) && uartPresent(sysTtyFolder, device)) {
      ports.push_back("COM" + std::to_string(n));
    }
  }
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (std::string& path : numberedNodes(devFolder, prefix)) ports.push_back(std::move(path));
  }
  return ports;
}

std::vector<std::string> SerialPort_ListPorts() {
  return SerialPort_ListPortsIn("/dev", "/sys/class/tty");
}

// ---- SerialPort -------------------------------------------------------------

SerialPort::~SerialPort() { close(); }

SerialPort::SerialPort(SerialPort&& other) noexcept { *this = std::move(other); }

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    device_ = other.device_;
    name_ = std::move(other.name_);
    path_ = std::move(other.path_);
    saved_ = other.saved_;
    current_ = other.current_;
    timeouts_ = other.timeouts_;
    lastErrno_ = other.lastErrno_;
    lastError_ = std::move(other.lastError_);
  }
  return *this;
}

bool SerialPort::fail(int err, const std::string& what) {
  lastErrno_ = err;
  lastError_ = what;
  return false;
}

bool SerialPort::open(const std::string& name) {
  close();
  lastErrno_ = 0;
  lastError_.clear();
  const std::string path = SerialPort_DevicePath(name);
  if (path.empty()) {
    return fail(ENOENT, printf1("\"%s\" is not a serial port name (COMn or a device path)", name));
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return fail(err, printf1("Cannot open %s: %s", path, std::strerror(err)));
  }
  const auto refuse = [&](int err, const char* format) {
    ::close(fd);
    return fail(err, printf1(format, path, std::strerror(err)));
  };
  termios original{};
  if (::tcgetattr(fd, &original) != 0) return refuse(errno, "%s is not a serial device: %s");
  struct stat st{};
  if (::fstat(fd, &st) != 0) return refuse(errno, "Cannot open %s: %s");
  if (!registerDevice(st.st_rdev)) return refuse(EBUSY, "%s is already open in this program: %s");
  // Another program holding the port: its lock, or TIOCEXCL refusing our open above.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    unregisterDevice(st.st_rdev);
    return refuse(EBUSY, "%s is in use by another program: %s");
  }
  ::ioctl(fd, TIOCEXCL);

  termios raw = original;
  std::string why;
  SerialPort_ApplyToTermios(SerialLineSettings{}, &raw, &why);
  if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    unregisterDevice(st.st_rdev);
    return refuse(err, "Cannot set up %s: %s");
  }
  fd_ = fd;
  device_ = st.st_rdev;
  name_ = name;
  path_ = path;
  saved_ = original;
  current_ = raw;
  return true;
}

bool SerialPort::configure(const std::string& deviceControl) {
  SerialLineSettings settings;
  std::string why;
  if (!SerialPort_ParseSettings(deviceControl, &settings, &why)) return fail(EINVAL, why);
  return configure(settings);
}

bool SerialPort::configure(const SerialLineSettings& settings) {
  if (!isOpen()) return fail(EBADF, "The serial port is not open");
  termios next = current_;
  std::string why;
  if (!SerialPort_ApplyToTermios(settings, &next, &why)) {
    return fail(EINVAL, printf1("Cannot set %s: %s", path_, why));
  }
  if (::tcsetattr(fd_, TCSANOW, &next) != 0) {
    const int err = errno;
    return fail(err, printf1("Cannot set %s: %s", path_, std::strerror(err)));
  }
  // tcsetattr succeeds when any part was taken; the rate must have been.
  termios now{};
  if (::tcgetattr(fd_, &now) == 0 && cfgetospeed(&now) != cfgetospeed(&next)) {
    ::tcsetattr(fd_, TCSANOW, &current_);
    return fail(EINVAL, printf1("%s does not take %s baud", path_,
                                std::to_string(SerialPort_SettingsOf(next).baud)));
  }
  current_ = next;
  return true;
}

SerialLineSettings SerialPort::lineSettings() const { return SerialPort_SettingsOf(current_); }

bool SerialPort::setDtr(bool on) {
  if (!isOpen()) return fail(EBADF, "The serial port is not open");
  int bits = TIOCM_DTR;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
    const int err = errno;
    return fail(err, printf1("Cannot set DTR of %s: %s", path_, std::strerror(err)));
  }
  return true;
}

int SerialPort::read(void* buffer, int maxBytes) {
  if (!isOpen()) {
    fail(EBADF, "The serial port is not open");
    return -1;
  }
  if (buffer == nullptr || maxBytes <= 0) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  const int64_t start = nowUs();
  const int64_t end = start + int64_t(std::max(timeouts_.readTotalMs, 0)) * 1000;
  int64_t lastByte = 0;
  int got = 0;
  // A raw tty reads 0 bytes when nothing is there, and a hung-up line keeps
  // reporting readiness without data: readiness followed by nothing ends the read.
  bool readyButEmpty = false;
  for (;;) {
    const ssize_t n = ::read(fd_, out + got, size_t(maxBytes - got));
    if (n > 0) {
      got += int(n);
      lastByte = nowUs();
      readyButEmpty = false;
      if (got == maxBytes) return got;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      const int err = errno;
      fail(err, printf1("Cannot read from %s: %s", path_, std::strerror(err)));
      return got > 0 ? got : -1;  // bytes already taken are not lost; the next read reports
    }
    if (readyButEmpty) return got;
    int wait = msUntil(end);
    if (got > 0 && timeouts_.readIntervalMs > 0) {
      wait = std::min(wait, msUntil(lastByte + int64_t(timeouts_.readIntervalMs) * 1000));
    }
    if (wait <= 0) return got;
    const int r = Poll_WaitReadable(fd_, wait);
    if (r < 0) {
      const int err = errno;
      fail(err, printf1("Cannot wait for %s: %s", path_, std::strerror(err)));
      return got > 0 ? got : -1;
    }
    readyButEmpty = r > 0;
  }
}

int SerialPort::write(const void* data, int length) {
  if (!isOpen()) {
    fail(EBADF, "The serial port is not open");
    return -1;
  }
  if (data == nullptr || length <= 0) return 0;
  const auto* in = static_cast<const unsigned char*>(data);
  const bool limited = timeouts_.writeTotalMs > 0;
  const int64_t end = nowUs() + int64_t(std::max(timeouts_.writeTotalMs, 0)) * 1000;
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(fd_, in + sent, size_t(length - sent));
    if (n > 0) {
      sent += int(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      const int err = errno;
      fail(err, printf1("Cannot write to %s: %s", path_, std::strerror(err)));
      return -1;
    }
    const int wait = limited ? msUntil(end) : -1;
    if (limited && wait == 0) {
      fail(ETIMEDOUT, printf1("Writing to %s timed out: %s", path_, std::strerror(ETIMEDOUT)));
      return sent;
    }
    if (Poll_WaitWritable(fd_, wait) < 0) {
      const int err = errno;
      fail(err, printf1("Cannot wait for %s: %s", path_, std::strerror(err)));
      return -1;
    }
  }
  return sent;
}

bool SerialPort::flushInput() {
  if (!isOpen()) return fail(EBADF, "The serial port is not open");
  if (::tcflush(fd_, TCIFLUSH) != 0) {
    const int err = errno;
    return fail(err, printf1("Cannot flush %s: %s", path_, std::strerror(err)));
  }
  return true;
}

bool SerialPort::hungUp() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

bool SerialPort::drainOutput() {
  if (!isOpen()) return fail(EBADF, "The serial port is not open");
  while (::tcdrain(fd_) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    return fail(err, printf1("Cannot drain %s: %s", path_, std::strerror(err)));
  }
  return true;
}

void SerialPort::close() {
  if (fd_ < 0) return;
  // Let written bytes leave at the rate they were written with, then give the
  // port back as it was found.
  ::tcsetattr(fd_, TCSADRAIN, &saved_);
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the flock
  unregisterDevice(device_);
  fd_ = -1;
  device_ = 0;
}
