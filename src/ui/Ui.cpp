#include "ui/Ui.h"

#include <cstdarg>
#include <cstdio>

#include "core/TextFormat.h"

namespace {

// Used until a real backend is installed: never blocks, never shows anything.
class SilentUi : public UiBackend {
 public:
  UiAnswer messageBox(const std::string&, const std::string&, UiButtons buttons, UiIcon,
                      bool) override {
    return buttons == UiButtons::Ok ? UiAnswer::Ok
           : (buttons == UiButtons::OkCancel ? UiAnswer::Cancel : UiAnswer::No);
  }
  bool openFileDialog(const UiFileRequest&, std::string&) override { return false; }
  bool saveFileDialog(const UiFileRequest&, std::string&) override { return false; }
  void setWaitCursor(bool) override {}
  void beep() override {}
  void showStatusText(const std::string&) override {}
  void armTimer(UiTimer*, int) override {}
  void disarmTimer(UiTimer*) override {}
};

SilentUi g_silent;
UiBackend* g_backend = &g_silent;

}  // namespace

void Ui_Install(UiBackend* backend) { g_backend = backend ? backend : &g_silent; }
UiBackend& Ui_Backend() { return *g_backend; }

UiAnswer Ui_MessageBox(const std::string& text, const std::string& title, UiButtons buttons,
                       UiIcon icon, bool systemModal) {
  return g_backend->messageBox(text, title, buttons, icon, systemModal);
}
bool Ui_OpenFile(const UiFileRequest& request, std::string& chosen) {
  return g_backend->openFileDialog(request, chosen);
}
bool Ui_SaveFile(const UiFileRequest& request, std::string& chosen) {
  return g_backend->saveFileDialog(request, chosen);
}
void Ui_SetWaitCursor(bool on) { g_backend->setWaitCursor(on); }
void Ui_Beep() { g_backend->beep(); }
void Ui_ShowStatusText(const std::string& text) { g_backend->showStatusText(text); }

UiTimer::UiTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}

UiTimer::~UiTimer() { stop(); }

void UiTimer::start(int periodMs) {
  active_ = true;
  periodMs_ = periodMs < 0 ? 0 : periodMs;
  g_backend->armTimer(this, periodMs_);
}

void UiTimer::stop() {
  if (!active_) return;
  active_ = false;
  g_backend->disarmTimer(this);
}

void UiTimer::tick() {
  if (active_ && onTick_) onTick_();
}

std::string Ui_Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = Text_FormatV(format, args);
  va_end(args);
  return out;
}
