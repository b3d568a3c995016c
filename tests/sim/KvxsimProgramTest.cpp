// The kvxsim program itself: serves the demo population on the port it
// prints, presses a front button on SIGUSR1 and stops cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "RawClient.h"
#include "support/TestEnvironment.h"

namespace {

std::string ProgramPath() {
  char buf[PATH_MAX] = {};
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string self(buf, size_t(n));
  return self.substr(0, self.rfind('/') + 1) + "kvxsim";
}

// A running kvxsim with its standard output on a pipe.
class Program {
 public:
  bool start(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipeFds[1], 1);
      ::dup2(pipeFds[1], 2);
      ::close(pipeFds[0]);
      std::vector<char*> argv;
      std::string path = ProgramPath();
      argv.push_back(path.data());
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(path.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    return pid_ > 0;
  }

  // Reads output until `text` appears or timeoutMs passes.
  bool waitFor(const std::string& text, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
      pollfd p{out_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, left) <= 0) return false;
      char buf[512];
      ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return output_.find(text) != std::string::npos;
      output_.append(buf, size_t(n));
    }
    return true;
  }

  // Exit status after the output closes (the program ended), -1 on a time-out.
  int wait(int timeoutMs) {
    waitFor("\x01never", timeoutMs);  // drains until the pipe closes
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      pollfd none{-1, 0, 0};
      ::poll(&none, 0, 5);
    }
    return -1;
  }

  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  pid_t pid() const { return pid_; }
  // The port the program printed it serves on; 0 when it printed none.
  int port() const {
    const size_t at = output_.find("127.0.0.1:");
    return at == std::string::npos ? 0 : std::atoi(output_.c_str() + at + 10);
  }
  const std::string& output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

class KvxsimProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(ProgramPath().c_str(), X_OK) != 0) GTEST_SKIP() << "kvxsim not built next to the tests";
  }
};

TEST_F(KvxsimProgram, ServesTheDemoPopulationAndStopsOnSigterm) {
  Program p;
  ASSERT_TRUE(p.start({"--port", "0", "--reboot-ms", "5"}));
  ASSERT_TRUE(p.waitFor("running", 5000)) << p.output();
  ASSERT_GT(p.port(), 0) << p.output();
  EXPECT_NE(p.output().find("node  20  type 133"), std::string::npos) << p.output();

  RawClient c(p.port());
  c.sendFrame(0x80000001, 0, {});
  c.sendFrame(0x682, 1, {0x80});
  auto f = c.readFrames(2, 2000);
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].frame, SimFrame(0x80000001, 0, {2}));
  EXPECT_EQ(f[1].frame, SimFrame(0x682, 1, {0x00, 0x85, 0x10, 0x02, 0x00, 0x00, 0x00, 0x00}));

  ASSERT_EQ(::kill(p.pid(), SIGTERM), 0);
  EXPECT_EQ(p.wait(5000), 0);
  EXPECT_NE(p.output().find("kvxsim: stopped (SIGTERM)"), std::string::npos);
}

TEST_F(KvxsimProgram, Sigusr1PressesTheFrontButtonNamedOnTheCommandLine) {
  Program p;
  ASSERT_TRUE(p.start({"--port", "0", "--traffic", "0", "--button", "0:5"}));
  ASSERT_TRUE(p.waitFor("running", 5000)) << p.output();
  ASSERT_GT(p.port(), 0) << p.output();
  RawClient c(p.port());

  // Nobody is in search mode yet: the search to node 0 stays unanswered.
  c.sendFrame(0x680, 0, {0x82});
  EXPECT_TRUE(c.readFrames(1, 300).empty());

  ASSERT_EQ(::kill(p.pid(), SIGUSR1), 0);
  ASSERT_TRUE(p.waitFor("front button of node 5 on bus 0 pressed", 5000)) << p.output();
  c.sendFrame(0x680, 0, {0x82});
  auto f = c.readFrames(1, 2000);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].frame.id, 0x680u);  // the module answers on node 0

  ASSERT_EQ(::kill(p.pid(), SIGTERM), 0);
  EXPECT_EQ(p.wait(5000), 0);
}

TEST_F(KvxsimProgram, InstrumentsRunOnPseudoTerminalsWithLinks) {
  TempFolder links;
  Program p;
  ASSERT_TRUE(p.start({"--port", "0", "--traffic", "0", "--metrahit", "--testo", "--testo-temp", "21.25",
                       "--instrument-links", links.path()}));
  ASSERT_TRUE(p.waitFor("running", 5000)) << p.output();
  const std::string marker = "kvxsim: testo: thermometer on ";
  const size_t at = p.output().find(marker);
  ASSERT_NE(at, std::string::npos) << p.output();
  const std::string device = p.output().substr(at + marker.size(), p.output().find('\n', at) - at - marker.size());
  EXPECT_NE(p.output().find("kvxsim: metrahit: process calibrator at address 1 on /dev/"), std::string::npos);

  // The link leads to the device; the thermometer answers its probe query.
  char target[256] = {};
  ASSERT_GT(::readlink(links.file("testo").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(device, target);
  const int fd = ::open(links.file("testo").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "J1", 2), 2);
  std::string answer;
  pollfd pf{fd, POLLIN, 0};
  while (answer.size() < 9 && ::poll(&pf, 1, 2000) > 0) {
    char buf[16];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    answer.append(buf, size_t(n));
  }
  ::close(fd);
  EXPECT_EQ(answer, "B+021.25C");

  ASSERT_EQ(::kill(p.pid(), SIGTERM), 0);
  EXPECT_EQ(p.wait(5000), 0);
  EXPECT_NE(::access(links.file("testo").c_str(), F_OK), 0);  // the links go with the program
}

TEST_F(KvxsimProgram, ModbusLineOnThePseudoTerminalItPrints) {
  Program p;
  ASSERT_TRUE(p.start({"--port", "0", "--traffic", "0", "--modbus"}));
  ASSERT_TRUE(p.waitFor("running", 5000)) << p.output();
  const std::string marker = "Modbus RTU line on ";
  const size_t at = p.output().find(marker);
  ASSERT_NE(at, std::string::npos) << p.output();
  const std::string device = p.output().substr(at + marker.size(), p.output().find(' ', at + marker.size()) -
                                                                       (at + marker.size()));
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << device;
  termios t{};
  ::tcgetattr(fd, &t);
  cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  const uint8_t identify2[] = {0x02, 0x68, 0x06, 0x80, 0x01, 0x80, 0x61, 0x60};
  ASSERT_EQ(::write(fd, identify2, sizeof identify2), 8);
  uint8_t reply[32];
  size_t got = 0;
  for (pollfd w{fd, POLLIN, 0}; got < 13 && ::poll(&w, 1, 2000) > 0;) got += size_t(::read(fd, reply + got, 13 - got));
  ASSERT_EQ(got, 13u);
  EXPECT_EQ(reply[0], 0x02);
  EXPECT_EQ(reply[2], 8);
  ::close(fd);
  ASSERT_EQ(::kill(p.pid(), SIGTERM), 0);
  EXPECT_EQ(p.wait(5000), 0);

  Program bad;
  ASSERT_TRUE(bad.start({"--modbus-fault", "sometimes"}));
  EXPECT_EQ(bad.wait(5000), 2);
}

TEST_F(KvxsimProgram, HelpAndBadPopulationFile) {
  Program help;
  ASSERT_TRUE(help.start({"--help"}));
  EXPECT_EQ(help.wait(5000), 0);
  EXPECT_NE(help.output().find("--bus-timing"), std::string::npos);

  Program bad;
  ASSERT_TRUE(bad.start({"/nonexistent/population.txt"}));
  EXPECT_EQ(bad.wait(5000), 1);
  EXPECT_NE(bad.output().find("cannot read '/nonexistent/population.txt'"), std::string::npos);
}

}  // namespace
