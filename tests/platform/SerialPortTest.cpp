#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/Poll.h"
#include "platform/SerialPort.h"
#include "support/TestEnvironment.h"

namespace {

// A pseudo-terminal: the port under test opens the slave by name, the test
// plays the device on the master. The test keeps its own slave descriptor to
// look at the line settings.
class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed, errno " << errno;
      return;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = name;
  }
  ~PtyPair() {
    closeMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  const std::string& path() const { return path_; }
  int slave() const { return slave_; }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // What the port wrote, waiting up to a second for count bytes.
  std::string receive(size_t count) {
    std::string got;
    const auto start = std::chrono::steady_clock::now();
    while (got.size() < count && ElapsedMs(start) < 1000) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[512];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) got.append(buf, size_t(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

std::string allByteValues() {
  std::string s;
  for (int i = 0; i < 256; ++i) s.push_back(char(i));
  return s;
}

termios rawTermios() {
  termios t{};
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  t.c_cflag = CS8 | CREAD;
  t.c_iflag = ICRNL | IXON;
  t.c_lflag = ICANON | ECHO | ISIG;
  t.c_oflag = OPOST | ONLCR;
  return t;
}

}  // namespace

// ---- device-control texts ------------------------------------------------------

TEST(SerialSettings, ParsesTheDeviceControlTextInAnyCase) {
  struct Case {
    const char* text;
    long baud;
    char parity;
    int data;
    SerialStopBits stop;
  };
  const Case cases[] = {
      {"baud=9600 parity=N data=8 stop=1", 9600, 'n', 8, SerialStopBits::One},
      {"  BAUD=19200\tParity=o DATA=7 Stop=2 ", 19200, 'o', 7, SerialStopBits::Two},
      {"baud=1200 parity=M data=5 stop=1.5", 1200, 'm', 5, SerialStopBits::OneAndHalf},
      // Settings left out keep the port's values.
      {"parity=s baud = 115200", 115200, 's', 0, SerialStopBits::Keep},
  };
  for (const Case& c : cases) {
    SerialLineSettings s;
    std::string error;
    ASSERT_TRUE(SerialPort_ParseSettings(c.text, &s, &error)) << c.text << ": " << error;
    EXPECT_EQ(s.baud, c.baud) << c.text;
    EXPECT_EQ(s.parity, c.parity) << c.text;
    EXPECT_EQ(s.dataBits, c.data) << c.text;
    EXPECT_EQ(s.stopBits, c.stop) << c.text;
  }
}

TEST(SerialSettings, RejectsBadTextsNamingTheBadPart) {
  struct Case {
    const char* text;
    const char* mentions;
  };
  const Case cases[] = {
      {"", "no settings"},
      {"baud=12345 parity=N data=8 stop=1", "12345"},
      {"baud=14400", "14400"},
      {"baud=96k", "96k"},
      {"baud=99999999999999999999", "99999999999999999999"},
      {"baud=9600 parity=x", "\"x\""},
      {"data=9", "\"9\""},
      {"stop=3", "\"3\""},
      {"stop=1.2", "\"1.2\""},
      {"speed=9600", "\"speed\""},
      {"baud=", "\"\""},
      {"baud=9600,parity=N", "9600,parity=N"},
      {"=9600", "=9600"},
  };
  for (const Case& c : cases) {
    SerialLineSettings s;
    s.baud = 4711;
    std::string error;
    EXPECT_FALSE(SerialPort_ParseSettings(c.text, &s, &error)) << c.text;
    EXPECT_EQ(s.baud, 4711) << "output left alone for " << c.text;
    EXPECT_NE(error.find("Invalid serial port settings"), std::string::npos) << error;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(SerialSettings, TermiosGetsRateFrameAndRawMode) {
  termios t = rawTermios();
  std::string error;
  SerialLineSettings s;
  ASSERT_TRUE(SerialPort_ParseSettings("baud=19200 parity=o data=7 stop=2", &s, &error));
  ASSERT_TRUE(SerialPort_ApplyToTermios(s, &t, &error)) << error;
  EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
  EXPECT_EQ(cfgetispeed(&t), speed_t(B19200));
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS7));
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB), tcflag_t(PARENB | PARODD | CSTOPB));
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_TRUE(t.c_cflag & CREAD);
  // Binary transfer: no line editing, echo, signals, CR/LF mapping or XON/XOFF.
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);

  // Mark and space parity use the stick-parity flag; the rate stays.
  for (const auto& [letter, flags] : {std::pair{'m', PARENB | PARODD | CMSPAR}, {'s', PARENB | CMSPAR}}) {
    SerialLineSettings p;
    p.parity = letter;
    ASSERT_TRUE(SerialPort_ApplyToTermios(p, &t, &error));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(flags)) << letter;
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
  }
  const SerialLineSettings back = SerialPort_SettingsOf(t);
  EXPECT_EQ(back.baud, 19200);
  EXPECT_EQ(back.parity, 's');
  EXPECT_EQ(back.dataBits, 7);
  EXPECT_EQ(back.stopBits, SerialStopBits::Two);
}

TEST(SerialSettings, StopBitsMustFitTheDataBits) {
  std::string error;
  termios t = rawTermios();
  SerialLineSettings s;
  ASSERT_TRUE(SerialPort_ParseSettings("data=5 stop=1.5", &s, nullptr));
  ASSERT_TRUE(SerialPort_ApplyToTermios(s, &t, &error)) << error;
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB), tcflag_t(CS5 | CSTOPB));
  EXPECT_EQ(SerialPort_SettingsOf(t).stopBits, SerialStopBits::OneAndHalf);

  const termios before = rawTermios();
  for (const char* text : {"data=8 stop=1.5", "data=5 stop=2"}) {
    termios u = before;
    ASSERT_TRUE(SerialPort_ParseSettings(text, &s, nullptr));
    EXPECT_FALSE(SerialPort_ApplyToTermios(s, &u, &error)) << text;
    EXPECT_NE(error.find("stop bits"), std::string::npos) << error;
    EXPECT_EQ(u.c_cflag, before.c_cflag) << "block unchanged after " << text;
  }
  // Two stop bits kept from the port while the text asks for 5 data bits.
  termios two = rawTermios();
  two.c_cflag |= CSTOPB;
  ASSERT_TRUE(SerialPort_ParseSettings("data=5", &s, nullptr));
  EXPECT_FALSE(SerialPort_ApplyToTermios(s, &two, &error));
}

// ---- port names and lists --------------------------------------------------------

TEST(SerialNames, ComNamesMapToTtySAndPathsStayPaths) {
  EXPECT_EQ(SerialPort_DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialPort_DevicePath("com12"), "/dev/ttyS11");
  EXPECT_EQ(SerialPort_DevicePath("\\\\.\\COM10"), "/dev/ttyS9");
  EXPECT_EQ(SerialPort_DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialPort_DevicePath("/dev/pts/7"), "/dev/pts/7");
  for (const char* bad : {"COM0", "COM", "COMx", "COM1x", "COM-1", "COM99999", "ttyUSB0", "", "LPT1"}) {
    EXPECT_EQ(SerialPort_DevicePath(bad), "") << bad;
  }
}

TEST(SerialNames, ListShowsComPortsWithUartsThenUsbAndAcmInNumberOrder) {
  TempFolder dev;
  TempFolder sys;
  for (const char* node : {"ttyS0", "ttyS1", "ttyS4", "ttyS31", "ttyUSB10", "ttyUSB2", "ttyUSBx",
                           "ttyACM0", "ttyAMA0", "tty0"}) {
    WriteWholeFile(dev.file(node), "");
  }
  // ttyS1 has no UART behind it; ttyS0 has one; ttyS4 has no type file at all.
  mkdir(sys.file("ttyS0").c_str(), 0755);
  WriteWholeFile(sys.file("ttyS0") + "/type", "4\n");
  mkdir(sys.file("ttyS1").c_str(), 0755);
  WriteWholeFile(sys.file("ttyS1") + "/type", "0\n");

  const std::vector<std::string> expected = {"COM1", "COM5", dev.file("ttyUSB2"),
                                             dev.file("ttyUSB10"), dev.file("ttyACM0")};
  EXPECT_EQ(SerialPort_ListPortsIn(dev.path(), sys.path()), expected);
  EXPECT_TRUE(SerialPort_ListPortsIn(dev.file("missing"), sys.path()).empty());
}

// ---- a real port on a pseudo-terminal ----------------------------------------------

TEST(SerialPortOpen, MissingPortsAndNonPortsGiveErrnoAndText) {
  SerialPort port;
  EXPECT_FALSE(port.open("/dev/kvx-no-such-port"));
  EXPECT_EQ(port.lastErrno(), ENOENT);
  EXPECT_NE(port.lastError().find("/dev/kvx-no-such-port"), std::string::npos) << port.lastError();
  EXPECT_FALSE(port.isOpen());

  EXPECT_FALSE(port.open("printer"));
  EXPECT_EQ(port.lastErrno(), ENOENT);
  EXPECT_NE(port.lastError().find("\"printer\""), std::string::npos) << port.lastError();

  TempFolder folder;
  WriteWholeFile(folder.file("plain"), "not a device");
  EXPECT_FALSE(port.open(folder.file("plain")));
  EXPECT_EQ(port.lastErrno(), ENOTTY);
  EXPECT_NE(port.lastError().find("not a serial device"), std::string::npos) << port.lastError();

  char buf[4];
  EXPECT_EQ(port.read(buf, 4), -1);
  EXPECT_EQ(port.lastErrno(), EBADF);
  EXPECT_EQ(port.write("x", 1), -1);
  EXPECT_FALSE(port.configure("baud=9600"));
}

TEST(SerialPortOpen, SecondOpenOfTheSameDeviceIsRefusedUntilClosed) {
  PtyPair pty;
  SerialPort first;
  ASSERT_TRUE(first.open(pty.path())) << first.lastError();
  SerialPort second;
  EXPECT_FALSE(second.open(pty.path()));
  EXPECT_EQ(second.lastErrno(), EBUSY);
  first.close();
  EXPECT_TRUE(second.open(pty.path())) << second.lastError();
}

// A port opened on a fresh pseudo-terminal.
class SerialPortTransfer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(port.open(pty.path())) << port.lastError(); }
  PtyPair pty;
  SerialPort port;
};

TEST_F(SerialPortTransfer, EveryByteValuePassesBothWaysUnchanged) {
  ASSERT_TRUE(port.configure("baud=9600 parity=N data=8 stop=1")) << port.lastError();
  SerialTimeouts to;
  to.readTotalMs = 1000;
  port.setTimeouts(to);

  const std::string bytes = allByteValues();
  EXPECT_EQ(port.write(bytes.data(), int(bytes.size())), 256);
  EXPECT_TRUE(port.drainOutput());
  EXPECT_EQ(pty.receive(256), bytes);

  pty.send(bytes);
  std::string got(256, '\0');
  const auto start = std::chrono::steady_clock::now();
  int total = 0;
  while (total < 256) {
    const int n = port.read(got.data() + total, 256 - total);
    ASSERT_GT(n, 0) << port.lastError();
    total += n;
  }
  EXPECT_EQ(got, bytes);
  EXPECT_LT(ElapsedMs(start), 500) << "a full buffer returns without waiting the time-out";
}

TEST_F(SerialPortTransfer, ReadTimesOutWithZeroAfterTheTotalTime) {
  char buf[16];

  SerialTimeouts to;
  to.readTotalMs = 5;
  port.setTimeouts(to);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.read(buf, sizeof buf), 0);
  const int64_t waited = ElapsedMs(start);
  EXPECT_GE(waited, 5);
  EXPECT_LT(waited, 300);

  to.readTotalMs = 0;
  port.setTimeouts(to);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.read(buf, sizeof buf), 0);
  EXPECT_LT(ElapsedMs(start), 100);

  // Bytes already there come back at once with a zero time-out.
  pty.send("ab");
  ASSERT_EQ(Poll_WaitReadable(port.fd(), 1000), 1);
  EXPECT_EQ(port.read(buf, sizeof buf), 2);
  EXPECT_EQ(std::string(buf, 2), "ab");

  // Flushing drops what arrived and was not read.
  pty.send("stale");
  ASSERT_EQ(Poll_WaitReadable(port.fd(), 1000), 1);
  EXPECT_TRUE(port.flushInput()) << port.lastError();
  EXPECT_EQ(port.read(buf, sizeof buf), 0);
}

TEST_F(SerialPortTransfer, SilenceAfterBytesEndsTheReadBeforeTheTotal) {
  SerialTimeouts to;
  to.readTotalMs = 3000;
  to.readIntervalMs = 3;
  port.setTimeouts(to);
  pty.send(std::string("\x01\x68\x00", 3));
  char buf[100];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.read(buf, sizeof buf), 3);
  EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(SerialPortTransfer, HungUpLineEndsTheReadAtOnce) {
  SerialTimeouts to;
  to.readTotalMs = 3000;
  port.setTimeouts(to);
  pty.closeMaster();
  char buf[8];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_LE(port.read(buf, sizeof buf), 0);
  EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(SerialPortTransfer, WriteGivesUpAfterItsTimeOutWithAShortCount) {
  // Nobody reads the master: the pseudo-terminal's buffer fills up
  SerialTimeouts to;
  to.writeTotalMs = 5;
  port.setTimeouts(to);
  const std::string big(4 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  const int sent = port.write(big.data(), int(big.size()));
  EXPECT_GE(sent, 0);
  EXPECT_LT(sent, int(big.size()));
  EXPECT_EQ(port.lastErrno(), ETIMEDOUT);
  EXPECT_LT(ElapsedMs(start), 1000);
}

TEST(SerialPortSettings, ConfigureSetsTheLineAndRejectsBadTextsKeepingTheOldOnes) {
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.open(pty.path())) << port.lastError();
  ASSERT_TRUE(port.configure("baud=4800 parity=N data=8 stop=1")) << port.lastError();
  termios t{};
  ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

  EXPECT_FALSE(port.configure("baud=14400 parity=N data=8 stop=1"));
  EXPECT_EQ(port.lastErrno(), EINVAL);
  EXPECT_NE(port.lastError().find("14400"), std::string::npos) << port.lastError();
  EXPECT_FALSE(port.configure("data=8 stop=1.5"));
  EXPECT_EQ(port.lastErrno(), EINVAL);
  ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));

  ASSERT_TRUE(port.configure("parity=e data=7 stop=2"));
  const SerialLineSettings now = port.lineSettings();
  EXPECT_EQ(now.baud, 4800) << "the rate stays when the text leaves it out";
  EXPECT_EQ(now.parity, 'e');
  EXPECT_EQ(now.dataBits, 7);
  EXPECT_EQ(now.stopBits, SerialStopBits::Two);
}

TEST(SerialPortSettings, CloseAndDestructionRestoreTheLineAsFound) {
  PtyPair pty;
  termios before{};
  ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh pseudo-terminal edits lines";
  const auto expectAsBefore = [&](const char* when) {
    termios after{};
    ASSERT_EQ(tcgetattr(pty.slave(), &after), 0);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << when;
    EXPECT_EQ(after.c_lflag, before.c_lflag) << when;
    EXPECT_EQ(after.c_iflag, before.c_iflag) << when;
    EXPECT_EQ(after.c_oflag, before.c_oflag) << when;
  };
  {
    SerialPort port;
    ASSERT_TRUE(port.open(pty.path())) << port.lastError();
    ASSERT_TRUE(port.configure("baud=115200 parity=N data=8 stop=1"));
    port.close();
    expectAsBefore("after close");
    port.close();  // closing a closed port does nothing
    ASSERT_TRUE(port.open(pty.path())) << port.lastError();
    ASSERT_TRUE(port.configure("baud=1200"));
  }
  expectAsBefore("after destruction");
}
