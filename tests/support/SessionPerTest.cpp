// Every test runs in a fresh program session: whatever a test leaves behind
// (options, an open interface, listed modules, timers) goes with its session,
// so no test sees another's state. Process-wide installs (the clock, the UI
// backend) are put back too.
#include <gtest/gtest.h>

#include <memory>

#include "core/Session.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "ui/Ui.h"

namespace {

class SessionPerTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { session_ = std::make_unique<Session>(); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    // The test's own clock and UI backend are gone with its fixture: the
    // session ends on the system clock and the silent backend.
    Clock_Install(nullptr);
    Ui_Install(nullptr);
    session_.reset();
    Platform_SetExecutablePath("");
  }
  std::unique_ptr<Session> session_;
};

struct Registrar {
  Registrar() { ::testing::UnitTest::GetInstance()->listeners().Append(new SessionPerTest); }
} g_registrar;

}  // namespace
