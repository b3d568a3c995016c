#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {
std::string g_exeOverride;

std::string envOr(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::string Platform_HomeFolder() {
  std::string home;
  if (std::getenv("HOMEDRIVE") && std::getenv("HOMEPATH")) {
    home = envOr("HOMEDRIVE") + envOr("HOMEPATH");
  } else {
    home = envOr("HOME");
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (home.empty()) home = "/";
  return home;
}

std::string Platform_JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string Platform_HomeFile(const std::string& name) {
  return Platform_JoinPath(Platform_HomeFolder(), name);
}

std::string Platform_BaseNameOf(const std::string& executablePath) {
  std::string name = executablePath;
  const auto slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  const auto dash = name.find('-');
  if (dash != std::string::npos) name.resize(dash);
  return name;
}

void Platform_SetExecutablePath(const std::string& path) { g_exeOverride = path; }

std::string GetProgramBaseName() {
  if (!g_exeOverride.empty()) return Platform_BaseNameOf(g_exeOverride);
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "KVXconfig";
  buf[n] = '\0';
  return Platform_BaseNameOf(buf);
}

FileStatus Platform_FileStatus(const std::string& path) {
  FileStatus fs;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fs;
  fs.exists = true;
  fs.isDirectory = S_ISDIR(st.st_mode);
  fs.size = st.st_size;
  fs.modifiedMs = int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
  return fs;
}

bool Platform_MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      const std::string part = path.substr(0, pos);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return Platform_FileStatus(path).isDirectory;
}
