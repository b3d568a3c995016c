// The KVXconfig program itself, ended from outside: SIGTERM, SIGINT and SIGHUP
// close it as File > Exit does, without the question, so its options are
// saved and the debug log gets its footer; a file size limit that stops the
// save does not end it either.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>

#include "support/TestEnvironment.h"

namespace {

std::string ProgramPath() {
  char buf[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  const std::string self(buf, size_t(n));
  return self.substr(0, self.rfind('/') + 1) + "KVXconfig";
}

// Starts the program with home as its home folder (and files limited to
// maxFileBytes when given); its pid.
pid_t StartProgram(const std::string& home, rlim_t maxFileBytes = 0) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (maxFileBytes > 0) {
      struct rlimit limit {};
      ::getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = maxFileBytes;
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("HOMEDRIVE");
    ::unsetenv("HOMEPATH");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The program's exit status is what is looked at, not what Qt leaves behind.
    const char* asan = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
    const std::string path = ProgramPath();
    ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// Waits until cond holds or timeoutMs passes, looking every few ms.
template <class Cond>
bool WaitUntil(Cond cond, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::usleep(5000);
  }
  return true;
}

// Runs the program in home until its debug log has started, sends signo and
// waits for its end; its exit status.
int RunAndSignal(const std::string& home, int signo, rlim_t maxFileBytes = 0) {
  const pid_t pid = StartProgram(home, maxFileBytes);
  if (pid <= 0) return -1;
  // The debug log opens during start-up, after the handlers are in place.
  const bool started = WaitUntil(
      [&] { return ReadWholeFile(home + "/KVXconfig.log").find("Logging started on") != std::string::npos; },
      30000);
  ::kill(pid, signo);
  int status = -1;
  const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30000);
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(started && ended);
  return status;
}

TEST(ProgramSignals, EndTheProgramAsExitDoesWithoutTheQuestion) {
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signo));
    TempFolder home;
    const std::string ini = home.file("KVXconfig.ini");
    // The question would hold the program; a stored 1 comes back as 0.
    WriteWholeFile(ini, "ASK_BEFORE_EXIT = 1\nDEBUG_MODE = 1\nSCAN_ON_START = 0\n"
                        "MODULETEST_MODE = 1\n");
    const int status = RunAndSignal(home.path(), signo);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    const std::string saved = ReadWholeFile(ini);
    EXPECT_EQ(saved.rfind("# Initialization file for KVXconfig\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\nMODULETEST_MODE = 0\n"), std::string::npos);
    EXPECT_NE(saved.find("\nDEFAULT_INTERFACE = \"None\"\n"), std::string::npos);
    EXPECT_NE(ReadWholeFile(home.file("KVXconfig.log")).find("\nLogging stopped on "), std::string::npos);
  }
}

TEST(ProgramSignals, AFileSizeLimitStopsTheSaveNotTheProgram) {
  TempFolder home;
  const std::string ini = home.file("KVXconfig.ini");
  const std::string old = "DEBUG_MODE = 1\nSCAN_ON_START = 0\nRECENT_HEXFILE_LIST = " +
                          std::string(4000, 'h') + "\n";
  WriteWholeFile(ini, old);
  const int status = RunAndSignal(home.path(), SIGTERM, 4096);  // the new file needs more
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(ReadWholeFile(ini), old);
}

}  // namespace
