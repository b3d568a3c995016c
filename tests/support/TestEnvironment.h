// Shared test fixtures: a scripted UI installed for every test, whose
// unexpected prompts fail the running test.
#pragma once

#include <gtest/gtest.h>

#include "ui/ScriptedUi.h"

// Installs a fresh ScriptedUi for the test and checks at the end that every
// expected prompt was shown.
class ScriptedUiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ScriptedUi ui;
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
