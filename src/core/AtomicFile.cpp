#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The file that is really replaced: the target of a symbolic link, else path.
std::string resolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
  }
  return path;
}

bool writeAllAt(int fd, const char* bytes, size_t size, off_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, bytes + done, size - done, offset + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool readAll(int fd, std::string& out) {
  out.clear();
  char chunk[8192];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(chunk, size_t(n));
    at += n;
  }
}

// The process's file creation mask, read without changing it (umask() would
// change it for a moment for every thread).
mode_t currentUmask() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = mode_t(value & 0777);
        break;
      }
    }
    std::fclose(status);
  }
  return mask;
}

// A file the user marked read-only is not replaced, whoever runs the program:
// one nobody may write, or one this process may not write.
bool isReadOnly(const std::string& target, const struct stat& st) {
  if ((st.st_mode & 0222) == 0) return true;
  return ::access(target.c_str(), W_OK) != 0;
}

// Temporary files are named "<target>.tmp-<pid>-XXXXXX". One whose process is
// gone was left by a crash (or a kill) during a save: it is removed, so that
// such leftovers do not pile up beside the file.
std::string temporaryPrefix(const std::string& target) { return target + ".tmp-"; }

void removeLeftovers(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const std::string prefix = temporaryPrefix(slash == std::string::npos ? target : target.substr(slash + 1));
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-' || std::strlen(end + 1) != 6) continue;
    if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;  // its process still runs
    ::unlink((folder + "/" + name).c_str());
  }
  ::closedir(dir);
}

// Writes bytes to a new temporary file beside target and renames it over
// target. Returns 1 on success, 0 on a failed write (target unchanged) and
// -1 when no temporary file can be made in the folder.
int replaceViaTemporary(const std::string& target, const std::string& bytes, bool existed,
                        const struct stat& old) {
  std::string tempPath = temporaryPrefix(target) + std::to_string(::getpid()) + "-XXXXXX";
  const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  // The new file gets the old one's permissions (and owner, where allowed),
  // a file that did not exist the usual ones.
  bool ok = ::fchmod(fd, existed ? (old.st_mode & 07777) : (0666 & ~currentUmask())) == 0;
  if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
    (void)!::fchown(fd, old.st_uid, old.st_gid);
  if (ok) ok = writeAllAt(fd, bytes.data(), bytes.size(), 0);
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    return 0;
  }
  // The rename itself reaches the disk with the folder.
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return 1;
}

// Overwrites target where it is, for a folder that takes no new files. A
// write that fails part way puts the old bytes back: they fit in the space
// the file had.
bool rewriteInPlace(const std::string& target, const std::string& bytes) {
  const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  std::string old;
  bool ok = readAll(fd, old);
  if (ok) {
    ok = writeAllAt(fd, bytes.data(), bytes.size(), 0) && ::ftruncate(fd, off_t(bytes.size())) == 0 &&
         ::fsync(fd) == 0;
    if (!ok) {
      (void)!writeAllAt(fd, old.data(), old.size(), 0);
      (void)!::ftruncate(fd, off_t(old.size()));
      ::fsync(fd);
    }
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

bool AtomicFile_Write(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::string target = resolveTarget(path);
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && (!S_ISREG(old.st_mode) || isReadOnly(target, old))) return false;

  removeLeftovers(target);
  const int replaced = replaceViaTemporary(target, bytes, existed, old);
  if (replaced >= 0) return replaced == 1;
  // No temporary file beside it (a folder that takes no new files): an
  // existing file is written where it is.
  return existed && rewriteInPlace(target, bytes);
}
