#include "bus/PcanLibraryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kPiece = 1024;

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// True when path is a regular file of this user holding exactly image; its
// mode is then narrowed to 0600 (false when that fails: it is rewritten).
bool holdsImage(const std::string& path, const unsigned char* image, size_t size) {
  Fd f;
  f.fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (f.fd < 0) return false;
  struct stat st {};
  if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      uint64_t(st.st_size) != uint64_t(size))
    return false;
  std::vector<unsigned char> piece(64 * 1024);
  for (size_t at = 0; at < size;) {
    const size_t want = std::min(piece.size(), size - at);
    const ssize_t n = ::pread(f.fd, piece.data(), want, off_t(at));
    if (n != ssize_t(want) || std::memcmp(piece.data(), image + at, want) != 0) return false;
    at += want;
  }
  if ((st.st_mode & 07777) != 0600 && ::fchmod(f.fd, 0600) != 0) return false;
  return true;
}

}  // namespace

int PcanLibraryFile_Place(const std::string& path, const unsigned char* image, size_t size, bool* written) {
  if (written) *written = false;
  if (holdsImage(path, image, size)) return 0;

  std::string temp = path + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return -1;
  temp = name.data();
  for (size_t at = 0; at < size; at += kPiece) {
    const size_t piece = std::min(kPiece, size - at);
    ssize_t n;
    do n = ::write(fd, image + at, piece);
    while (n < 0 && errno == EINTR);
    if (n != ssize_t(piece)) {
      ::close(fd);
      ::unlink(temp.c_str());
      return -2;
    }
  }
  const bool privateMode = ::fchmod(fd, 0600) == 0;
  if (::close(fd) != 0 || !privateMode) {
    ::unlink(temp.c_str());
    return -3;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return -3;
  }
  if (written) *written = true;
  return 0;
}
