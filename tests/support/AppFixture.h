// A clean program state for tests that run the real start-up: a temporary home
// folder, the options, the interface layer and the debug log back at their
// start values, and a scripted UI.
#pragma once

#include <string>

#include "support/TestEnvironment.h"

class AppStateTest : public ScriptedUiTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes <home>/KVXconfig.ini.
  void writeIni(const std::string& text);
  std::string iniText() const;

  TempFolder home;

 private:
  EnvGuard env_{"HOMEDRIVE", "HOMEPATH", "HOME"};
};
