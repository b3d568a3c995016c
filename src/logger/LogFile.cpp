#include "logger/LogFile.h"

namespace {
// Lines wait in memory until this much has gathered: one write per 256 KiB
// keeps the cost per line small at full bus load.
constexpr size_t kSpillBytes = 256 * 1024;
constexpr const char* kRule = "# ----------------------------------------------------------------------\n";
}  // namespace

LogFile::~LogFile() {
  if (file_) {
    spill();
    std::fclose(file_);
  }
}

bool LogFile::open(const std::string& path, const std::string& interfaceName,
                   const std::string& interfaceDescription, const std::string& startedOn) {
  if (file_) close("");
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  file_ = file;
  path_ = path;
  failed_ = false;
  pending_.clear();
  pending_.reserve(kSpillBytes + 4096);
  write("# VORN KVXconfig CAN logger\n");
  write("# Interface: " + interfaceName + " (" + interfaceDescription + ")\n");
  write(kRule);
  write("# Time(s.ms)  COB-ID  #Len  Data                         CANopen\n");
  write(kRule);
  write("\n");
  write("# started on " + startedOn + "\n\n");
  return true;
}

void LogFile::write(const std::string& text) {
  if (!file_) return;
  pending_ += text;
  if (pending_.size() >= kSpillBytes) spill();
}

void LogFile::spill() {
  if (!file_ || pending_.empty()) return;
  if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) failed_ = true;
  pending_.clear();
}

bool LogFile::flush() {
  if (!file_) return true;
  spill();
  if (std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}

bool LogFile::close(const std::string& stoppedOn) {
  if (!file_) return true;
  write("\n# stopped on " + stoppedOn + "\n");
  spill();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  pending_.clear();
  pending_.shrink_to_fit();
  return !failed_;
}
