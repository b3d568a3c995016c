// Shared helpers of the core tests: captured option messages and a home
// folder of the test's own.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Options.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

// Every message of the option functions, in order.
inline std::vector<std::string>& OptionReports() {
  static std::vector<std::string> reports;
  return reports;
}

inline void CaptureOptionReport(const char* message) { OptionReports().push_back(message); }

// Options at their defaults with messages captured; back to defaults afterwards.
class OptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OptionReports().clear();
    Option_Init(&CaptureOptionReport);
  }
  const std::vector<std::string>& reports() const { return OptionReports(); }
};

// Points the home folder at a fresh temporary folder and names the program
// "KVXconfig" for the lifetime of the object.
class TestHome {
 public:
  TestHome() {
    save("HOME", home_);
    save("HOMEDRIVE", drive_);
    save("HOMEPATH", path_);
    ::unsetenv("HOMEDRIVE");
    ::unsetenv("HOMEPATH");
    ::setenv("HOME", folder_.path().c_str(), 1);
    Platform_SetExecutablePath("/opt/kvx/KVXconfig-2.exe");
  }
  ~TestHome() {
    restore("HOME", home_);
    restore("HOMEDRIVE", drive_);
    restore("HOMEPATH", path_);
    Platform_SetExecutablePath("");
  }
  const std::string& path() const { return folder_.path(); }
  std::string file(const std::string& name) const { return folder_.file(name); }

 private:
  struct Saved {
    bool set = false;
    std::string value;
  };
  static void save(const char* name, Saved& s) {
    const char* v = std::getenv(name);
    s.set = v != nullptr;
    s.value = v ? v : "";
  }
  static void restore(const char* name, const Saved& s) {
    if (s.set) {
      ::setenv(name, s.value.c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  TempFolder folder_;
  Saved home_, drive_, path_;
};
