// A UiBackend for tests: records every call, answers prompts from a queue of
// expectations, and reports a prompt nobody expected through a failure hook
// (the test support turns that into a failed test).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/Ui.h"

class ScriptedUi : public UiBackend {
 public:
  struct Message {
    std::string text;
    std::string title;
    UiButtons buttons;
    UiIcon icon;
    bool systemModal;
  };

  ScriptedUi();
  ~ScriptedUi() override;

  // The next message box whose text contains textPart is answered with answer.
  // Expectations are used in order; an empty textPart matches any text.
  void expectMessage(const std::string& textPart, UiAnswer answer);
  // The next open or save dialog returns path (an empty path means Cancel).
  void expectOpenFile(const std::string& path);
  void expectSaveFile(const std::string& path);
  // Prompts still expected but never shown.
  size_t pendingExpectations() const;

  // Everything that happened, one line per call: "box|title|text", "status|text",
  // "beep", "cursor|1", "open|title", "save|title".
  const std::vector<std::string>& calls() const { return calls_; }
  const std::vector<Message>& messages() const { return messages_; }
  const std::string& statusText() const { return status_; }
  int beeps() const { return beeps_; }
  bool waitCursor() const { return waitCursor_; }
  void clearRecord();

  // Timers armed through this backend; tests fire them by hand.
  const std::vector<UiTimer*>& armedTimers() const { return timers_; }
  bool isArmed(const UiTimer* timer) const;
  int armedPeriod(const UiTimer* timer) const;
  void fire(UiTimer* timer);

  static void setFailureHook(std::function<void(const std::string&)> hook);

  UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons buttons,
                      UiIcon icon, bool systemModal) override;
  bool openFileDialog(const UiFileRequest& request, std::string& chosen) override;
  bool saveFileDialog(const UiFileRequest& request, std::string& chosen) override;
  void setWaitCursor(bool on) override;
  void beep() override;
  void showStatusText(const std::string& text) override;
  void armTimer(UiTimer* timer, int periodMs) override;
  void disarmTimer(UiTimer* timer) override;

 private:
  struct Expected {
    enum Kind { Box, Open, Save } kind;
    std::string match;
    UiAnswer answer;
  };
  bool takeFile(Expected::Kind kind, const UiFileRequest& request, std::string& chosen);
  void fail(const std::string& what);

  std::deque<Expected> expected_;
  std::vector<std::string> calls_;
  std::vector<Message> messages_;
  std::vector<UiTimer*> timers_;
  std::vector<int> periods_;
  std::string status_;
  int beeps_ = 0;
  bool waitCursor_ = false;
};
