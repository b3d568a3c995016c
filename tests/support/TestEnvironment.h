// Shared test fixtures: a scripted UI installed for every test, whose
// unexpected prompts fail the running test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "ui/ScriptedUi.h"

// Installs a fresh ScriptedUi for the test and checks at the end that every
// expected prompt was shown.
class ScriptedUiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ScriptedUi ui;
};

// Keeps environment variables as found and puts them back when destroyed.
class EnvGuard {
 public:
  explicit EnvGuard(std::initializer_list<const char*> names);
  ~EnvGuard();

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Makes a fresh empty folder under the system temporary folder; removed by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole file contents, binary.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Real milliseconds since a point of the steady clock.
inline int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}
