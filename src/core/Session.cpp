#include "core/Session.h"

#include <cstdio>
#include <cstdlib>

namespace {
// The one pointer that ties the program's free functions to their state.
Session* g_current = nullptr;
}  // namespace

Session::Session() : previous_(g_current) { g_current = this; }

Session::~Session() {
  // A part's destructor may still use itself and older parts (they are
  // alive), and may even make new ones: those are destroyed next.
  while (!parts_.empty()) {
    const size_t index = parts_.size() - 1;
    std::shared_ptr<void> owner = parts_[index].owner;
    parts_[index].owner.reset();
    owner.reset();  // runs the destructor while the entry is still found
    parts_.erase(parts_.begin() + std::ptrdiff_t(index));
  }
  g_current = previous_;
}

Session& Session::current() {
  if (!g_current) {
    std::fputs("KVXconfig: no session (program state used before main() built it)\n", stderr);
    std::abort();
  }
  return *g_current;
}

bool Session::exists() { return g_current != nullptr; }
