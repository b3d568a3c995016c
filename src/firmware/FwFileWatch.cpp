#include "firmware/FwFileWatch.h"

#include <sys/stat.h>

#include <cstdint>

#include "core/Session.h"

namespace {

struct FileState {
  bool exists = false;
  int64_t modifiedNs = 0;
  int64_t size = 0;
  bool operator==(const FileState&) const = default;
};

struct Watch {
  FileState reference;
  int countdown = 0;
  bool arm = false;
};


FileState Take(const std::string& fileName) {
  FileState s;
  struct stat st {};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) return s;
  s.exists = true;
  s.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.size = int64_t(st.st_size);
  return s;
}

Watch& watch() { return Session_Part<Watch>(); }

}  // namespace

bool FwFileWatch_Check(const std::string& fileName) {
  Watch& g = watch();
  if (fileName.empty()) {
    g.reference = FileState{};
    g.countdown = 0;
    return false;
  }
  const FileState now = Take(fileName);
  if (g.arm) {
    g.arm = false;
    g.reference = now;
    g.countdown = 0;
    return false;
  }
  if (!(now == g.reference)) {
    g.reference = now;
    g.countdown = 3;
  }
  // The call that sees the change counts too: the report comes two calls later.
  if (g.countdown > 0) return --g.countdown == 0;
  return false;
}

void FwFileWatch_Arm() { watch().arm = true; }
