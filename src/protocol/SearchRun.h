// The search for one module in search mode (its front button pressed): the
// search request is repeated on a timer until a module answers; the module is
// then shown, or - with automatic node assignment - given the next node id,
// listed, and the search goes on. The dialog shows what the view is told.
#pragma once

#include <string>

#include "protocol/ModuleList.h"
#include "ui/Ui.h"

// What the search dialog shows and what the user entered there.
class SearchView {
 public:
  virtual ~SearchView() = default;
  virtual void showFound(const std::string& name) = 0;
  virtual void bringToFront() = 0;
  virtual bool autoAssign() const = 0;  // the check box
  virtual void setAutoAssign(bool on) = 0;
  virtual std::string nextNodeText() const = 0;  // the number field
  virtual void setNextNodeText(const std::string& text) = 0;
  virtual void setNextNodeEnabled(bool on) = 0;
  virtual void setAutoAssignEnabled(bool on) = 0;
  virtual void setConfigureEnabled(bool on) = 0;
  virtual void setInstructionEnabled(bool on) = 0;
};

// The number field: "0x.." is hexadecimal, anything else decimal; -1 when the
// text is no number.
int SearchRun_ParseNode(const std::string& text);
// "Unknown module type #%d", in factory mode "order code   (#type)", else the order code.
std::string SearchRun_ModuleName(const ModuleRec& found);

class SearchRun {
 public:
  static constexpr int kFirstNode = 2;
  static constexpr int kLastNode = 127;

  explicit SearchRun(SearchView& view);
  ~SearchRun();

  // Opening: clears the view, removes the listed modules found by an earlier
  // search, discards stored search replies and starts the timer.
  void begin();
  // One timer tick: check for a reply, assign or stop, ask again.
  void tick();
  // "Configure...": lists the module found and opens its dialog. True when
  // there was one.
  bool configure();
  // "Close": stops, and sends the search request once more.
  void close();

  bool searching() const { return timer_.active(); }
  bool found() const { return found_; }
  // Modules found since opening (with automatic assignment there can be many).
  int foundCount() const { return foundCount_; }
  const ModuleRec& module() const { return module_; }
  int nextNode() const { return next_; }
  UiTimer& timer() { return timer_; }

 private:
  void announce();
  bool assignNext();

  SearchView& view_;
  UiTimer timer_;
  ModuleRec module_;
  bool found_ = false;
  int foundCount_ = 0;
  int next_ = kFirstNode;
};
