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
  unsetenv("HOMEDRIVE");
  unsetenv("HOMEPATH");
  setenv("HOME", home.path().c_str(), 1);
  Platform_SetExecutablePath("/opt/kvx/KVXconfig");
  FactoryMode_Set(false);
}

void AppStateTest::TearDown() {
  CloseInterface();
  ScriptedUiTest::TearDown();
}

void AppStateTest::writeIni(const std::string& text) {
  WriteWholeFile(home.file("KVXconfig.ini"), text);
}

std::string AppStateTest::iniText() const { return ReadWholeFile(home.file("KVXconfig.ini")); }
