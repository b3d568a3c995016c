// Everything logic code needs from the user or the screen: message boxes, file
// dialogs, the wait cursor, the beep, the status-bar text and timers. The
// program installs the Qt backend at start; tests install a ScriptedUi.
#pragma once

#include <functional>
#include <string>

enum class UiButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class UiIcon { None, Information, Warning, Error, Question };
enum class UiAnswer { Ok, Cancel, Yes, No };

struct UiFileRequest {
  std::string title;
  // Filter pairs separated by "|": "HEX files (*.hex)|*.hex|All files (*.*)|*.*"
  std::string filter;
  std::string initialPath;
  std::string defaultExtension;  // without the dot; used by save dialogs
};

class UiTimer;

class UiBackend {
 public:
  virtual ~UiBackend() = default;
  // systemModal: the box stays on top of every window of the program.
  virtual UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons buttons,
                              UiIcon icon, bool systemModal) = 0;
  // True with the chosen path, false when the user cancelled.
  virtual bool openFileDialog(const UiFileRequest& request, std::string& chosen) = 0;
  virtual bool saveFileDialog(const UiFileRequest& request, std::string& chosen) = 0;
  virtual void setWaitCursor(bool on) = 0;
  virtual void beep() = 0;
  virtual void showStatusText(const std::string& text) = 0;
  // Periodic timers: armTimer (re)starts the timer with the period, disarmTimer stops it.
  virtual void armTimer(UiTimer* timer, int periodMs) = 0;
  virtual void disarmTimer(UiTimer* timer) = 0;
};

// Installs the backend (nullptr installs a silent backend that answers Cancel/No).
void Ui_Install(UiBackend* backend);
UiBackend& Ui_Backend();

UiAnswer Ui_MessageBox(const std::string& text, const std::string& title, UiButtons buttons,
                       UiIcon icon, bool systemModal = false);
bool Ui_OpenFile(const UiFileRequest& request, std::string& chosen);
bool Ui_SaveFile(const UiFileRequest& request, std::string& chosen);
void Ui_SetWaitCursor(bool on);
void Ui_Beep();
void Ui_ShowStatusText(const std::string& text);

// A periodic timer whose ticks run on the GUI thread, like a window timer.
// Owners stop it from inside the callback for one-shot use.
class UiTimer {
 public:
  explicit UiTimer(std::function<void()> onTick = {});
  ~UiTimer();
  UiTimer(const UiTimer&) = delete;
  UiTimer& operator=(const UiTimer&) = delete;

  void setCallback(std::function<void()> onTick) { onTick_ = std::move(onTick); }
  void start(int periodMs);
  void stop();
  bool active() const { return active_; }
  int periodMs() const { return periodMs_; }
  // Called by the backend when the period has elapsed.
  void tick();

 private:
  std::function<void()> onTick_;
  bool active_ = false;
  int periodMs_ = 0;
};

// printf-style formatting into a std::string.
std::string Ui_Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
