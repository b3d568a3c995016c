#include "support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
// Installed once per test program: any unexpected prompt fails the current test.
struct FailureHookInstaller {
  FailureHookInstaller() {
    ScriptedUi::setFailureHook([](const std::string& what) { ADD_FAILURE() << what; });
  }
} g_installer;
}  // namespace

void ScriptedUiTest::SetUp() { Ui_Install(&ui); }

void ScriptedUiTest::TearDown() {
  EXPECT_EQ(ui.pendingExpectations(), 0u) << "expected prompts were never shown";
  Ui_Install(nullptr);
}

EnvGuard::EnvGuard(std::initializer_list<const char*> names) {
  for (const char* n : names) {
    const char* v = std::getenv(n);
    saved_.push_back({n, v ? std::optional<std::string>(v) : std::nullopt});
  }
}

EnvGuard::~EnvGuard() {
  for (auto& [n, v] : saved_) v ? setenv(n.c_str(), v->c_str(), 1) : unsetenv(n.c_str());
}

TempFolder::TempFolder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvxtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) std::abort();
  path_ = tmpl;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
