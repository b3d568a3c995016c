#include "support/AppFixture.h"

#include <cstdlib>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/DebugLog.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "platform/Paths.h"

void AppStateTest::SetUp() {
  ScriptedUiTest::SetUp();
  for (const char* name : {"HOMEDRIVE", "HOMEPATH", "HOME"}) {
    const char* v = std::getenv(name);
    savedEnv_.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
  }
  unsetenv("HOMEDRIVE");
  unsetenv("HOMEPATH");
  setenv("HOME", home.path().c_str(), 1);
  Platform_SetExecutablePath("/opt/kvx/KVXconfig");
  FactoryMode_Set(false);
}

void AppStateTest::TearDown() {
  CloseInterface();
  Platform_SetExecutablePath("");
  for (auto& [name, value] : savedEnv_)
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  ScriptedUiTest::TearDown();
}

void AppStateTest::writeIni(const std::string& text) {
  WriteWholeFile(home.file("KVXconfig.ini"), text);
}

std::string AppStateTest::iniText() const { return ReadWholeFile(home.file("KVXconfig.ini")); }
