#include "protocol/SearchRun.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "protocol/ModuleType.h"
#include "protocol/NodeId.h"
#include "protocol/VornProt.h"

int SearchRun_ParseNode(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  const char* p = text.c_str() + start;
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*p))) return -1;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(p, &end, base);
  while (*end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  if (errno == ERANGE || *end || value < 0 || value > INT_MAX) return -1;
  return int(value);
}

std::string SearchRun_ModuleName(const ModuleRec& found) {
  const ModuleTypeInfo* info = found.typeInfo ? found.typeInfo : ModuleType_Find(int(found.type));
  if (!info) return Text_Format("Unknown module type #%d", int(found.type));
  return ModuleType_ShownName(info->orderCode, found.type, FactoryMode());
}

SearchRun::SearchRun(SearchView& view) : view_(view) { timer_.setCallback([this] { tick(); }); }

SearchRun::~SearchRun() { timer_.stop(); }

void SearchRun::begin() {
  found_ = false;
  foundCount_ = 0;
  module_ = ModuleRec{};
  next_ = kFirstNode;
  view_.showFound("");
  view_.setConfigureEnabled(false);
  view_.setAutoAssign(false);
  view_.setNextNodeText(Text_Format("%d", next_));
  view_.setNextNodeEnabled(false);
  // Modules listed by an earlier search answer on node 0 only while in search mode.
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec;) {
    ModuleRec* following = ModuleList_Next(rec);
    if (rec->node == 0) ModuleList_Remove(rec);
    rec = following;
  }
  VornProt_SearchFlush();
  timer_.start(Option_GetInt("SEARCH_SEND_INTERVAL_MS"));
}

void SearchRun::tick() {
  timer_.stop();
  bool assign = view_.autoAssign();
  ModuleRec reply;
  const int result = VornProt_SearchCheck(reply);
  if (result < 0) {
    view_.setAutoAssignEnabled(false);
    ShowError("Interface error:\n%s", GetInterfaceError());
    return;
  }
  if (result == 1) {
    module_ = reply;
    found_ = true;
    ++foundCount_;
    announce();
    const int field = SearchRun_ParseNode(view_.nextNodeText());
    if (field < kFirstNode || field > kLastNode) {
      assign = false;
      view_.setAutoAssign(false);
    } else {
      next_ = field;
    }
    if (assign && !assignNext()) {
      assign = false;
      view_.setAutoAssign(false);
    }
  }
  if (result == 0 || assign) {
    VornProt_SearchSend();
    timer_.start(Option_GetInt("SEARCH_SEND_INTERVAL_MS"));
  } else {
    view_.setConfigureEnabled(true);
    view_.setInstructionEnabled(false);
    view_.setAutoAssignEnabled(false);
    view_.setAutoAssign(false);
  }
  view_.setNextNodeEnabled(assign);
}

// Front, sound and the module's name.
void SearchRun::announce() {
  view_.bringToFront();
  if (Option_GetInt("PLAY_SOUNDS")) Ui_Beep();
  view_.showFound(SearchRun_ModuleName(module_));
}

// Gives the module found the next node id and lists it. False when the
// assignment ends: the module refused, or it got the last node id.
bool SearchRun::assignNext() {
  if (Module_SetNodeId(&module_, next_) != 0) return false;
  module_.node = next_;
  ModuleList_Add(module_.node, module_.bus, module_.type, module_.version, module_.state, false);
  const bool more = next_ < kLastNode;
  if (more) ++next_;
  view_.setNextNodeText(Text_Format("%d", next_));
  return more;
}

bool SearchRun::configure() {
  timer_.stop();
  if (!found_) return false;
  // A module that was just given a node id answers there, no longer on node 0.
  ModuleList_Add(module_.node, module_.bus, module_.type, module_.version, module_.state, true);
  return true;
}

void SearchRun::close() {
  timer_.stop();
  VornProt_SearchSend();
}
