#include "ui/ScriptedUi.h"

#include <algorithm>

namespace {
std::function<void(const std::string&)>& failureHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

const char* buttonsName(UiButtons b) {
  switch (b) {
    case UiButtons::Ok: return "Ok";
    case UiButtons::OkCancel: return "OkCancel";
    case UiButtons::YesNo: return "YesNo";
    case UiButtons::YesNoCancel: return "YesNoCancel";
  }
  return "?";
}
}  // namespace

ScriptedUi::ScriptedUi() = default;
ScriptedUi::~ScriptedUi() = default;

void ScriptedUi::setFailureHook(std::function<void(const std::string&)> hook) {
  failureHook() = std::move(hook);
}

void ScriptedUi::fail(const std::string& what) {
  if (failureHook()) failureHook()(what);
}

void ScriptedUi::expectMessage(const std::string& textPart, UiAnswer answer) {
  expected_.push_back({Expected::Box, textPart, answer});
}
void ScriptedUi::expectOpenFile(const std::string& path) {
  expected_.push_back({Expected::Open, path, UiAnswer::Ok});
}
void ScriptedUi::expectSaveFile(const std::string& path) {
  expected_.push_back({Expected::Save, path, UiAnswer::Ok});
}
size_t ScriptedUi::pendingExpectations() const { return expected_.size(); }

void ScriptedUi::clearRecord() {
  calls_.clear();
  messages_.clear();
  beeps_ = 0;
}

UiAnswer ScriptedUi::messageBox(const std::string& text, const std::string& title,
                                UiButtons buttons, UiIcon icon, bool systemModal) {
  calls_.push_back("box|" + title + "|" + text);
  messages_.push_back({text, title, buttons, icon, systemModal});
  if (!expected_.empty() && expected_.front().kind == Expected::Box &&
      text.find(expected_.front().match) != std::string::npos) {
    const UiAnswer a = expected_.front().answer;
    expected_.pop_front();
    return a;
  }
  fail("unexpected message box (" + std::string(buttonsName(buttons)) + ") titled \"" + title +
       "\": " + text);
  return buttons == UiButtons::Ok ? UiAnswer::Ok
         : (buttons == UiButtons::OkCancel ? UiAnswer::Cancel : UiAnswer::No);
}

bool ScriptedUi::takeFile(Expected::Kind kind, const UiFileRequest& request, std::string& chosen) {
  calls_.push_back((kind == Expected::Open ? "open|" : "save|") + request.title);
  if (!expected_.empty() && expected_.front().kind == kind) {
    chosen = expected_.front().match;
    expected_.pop_front();
    return !chosen.empty();
  }
  fail(std::string("unexpected ") + (kind == Expected::Open ? "open" : "save") +
       " file dialog titled \"" + request.title + "\"");
  return false;
}

bool ScriptedUi::openFileDialog(const UiFileRequest& request, std::string& chosen) {
  return takeFile(Expected::Open, request, chosen);
}
bool ScriptedUi::saveFileDialog(const UiFileRequest& request, std::string& chosen) {
  return takeFile(Expected::Save, request, chosen);
}

void ScriptedUi::setWaitCursor(bool on) {
  waitCursor_ = on;
  calls_.push_back(on ? "cursor|1" : "cursor|0");
}
void ScriptedUi::beep() {
  ++beeps_;
  calls_.push_back("beep");
}
void ScriptedUi::showStatusText(const std::string& text) {
  status_ = text;
  calls_.push_back("status|" + text);
}

void ScriptedUi::armTimer(UiTimer* timer, int periodMs) {
  const auto it = std::find(timers_.begin(), timers_.end(), timer);
  if (it == timers_.end()) {
    timers_.push_back(timer);
    periods_.push_back(periodMs);
  } else {
    periods_[size_t(it - timers_.begin())] = periodMs;
  }
}

void ScriptedUi::disarmTimer(UiTimer* timer) {
  const auto it = std::find(timers_.begin(), timers_.end(), timer);
  if (it == timers_.end()) return;
  periods_.erase(periods_.begin() + (it - timers_.begin()));
  timers_.erase(it);
}

bool ScriptedUi::isArmed(const UiTimer* timer) const {
  return std::find(timers_.begin(), timers_.end(), timer) != timers_.end();
}

int ScriptedUi::armedPeriod(const UiTimer* timer) const {
  const auto it = std::find(timers_.begin(), timers_.end(), timer);
  return it == timers_.end() ? -1 : periods_[size_t(it - timers_.begin())];
}

void ScriptedUi::fire(UiTimer* timer) {
  if (isArmed(timer)) timer->tick();
}
