#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int kMachine = EM_386;
#elif defined(__arm__)
constexpr int kMachine = EM_ARM;
#else
constexpr int kMachine = -1;  // not checked
#endif

#if UINTPTR_MAX > 0xFFFFFFFFu
using Ehdr = Elf64_Ehdr;
using Phdr = Elf64_Phdr;
constexpr unsigned char kClass = ELFCLASS64;
#else
using Ehdr = Elf32_Ehdr;
using Phdr = Elf32_Phdr;
constexpr unsigned char kClass = ELFCLASS32;
#endif

bool readAt(int fd, void* to, size_t size, off_t at) {
  return ::pread(fd, to, size, at) == ssize_t(size);
}

bool setWhy(int* err, std::string* why, int value, const char* text) {
  if (err) *err = value;
  if (why) *why = text;
  return false;
}

}  // namespace

bool SharedLibrary_CheckFile(const std::string& path, int* err, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    return setWhy(err, why, e, std::strerror(e));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return setWhy(err, why, ENOEXEC, "not a regular file");
  const uint64_t size = uint64_t(st.st_size);
  Ehdr header{};
  if (size < sizeof header || !readAt(fd, &header, sizeof header, 0))
    return setWhy(err, why, ENOEXEC, "file too short for an ELF header");
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return setWhy(err, why, ENOEXEC, "not an ELF file");
  if (header.e_ident[EI_CLASS] != kClass) return setWhy(err, why, ENOEXEC, "wrong ELF class");
  if (header.e_type != ET_DYN) return setWhy(err, why, ENOEXEC, "not a shared object");
  if (kMachine >= 0 && header.e_machine != kMachine) return setWhy(err, why, ENOEXEC, "built for another machine");
  if (header.e_phentsize != sizeof(Phdr) || header.e_phnum == 0 ||
      header.e_phoff > size || uint64_t(header.e_phnum) * sizeof(Phdr) > size - header.e_phoff)
    return setWhy(err, why, ENOEXEC, "program headers outside the file");
  std::vector<Phdr> segments(header.e_phnum);
  if (!readAt(fd, segments.data(), segments.size() * sizeof(Phdr), off_t(header.e_phoff)))
    return setWhy(err, why, ENOEXEC, "cannot read the program headers");
  for (const Phdr& s : segments) {
    if (s.p_type != PT_LOAD && s.p_type != PT_DYNAMIC) continue;
    if (s.p_offset > size || s.p_filesz > size - s.p_offset)
      return setWhy(err, why, ENOEXEC, "a segment lies beyond the end of the file (truncated?)");
  }
  return true;
}

SharedLibrary::~SharedLibrary() { close(); }

bool SharedLibrary::fail(int err, const std::string& text) {
  lastErrno_ = err;
  lastError_ = text;
  return false;
}

bool SharedLibrary::open(const std::string& path) {
  if (isOpen() && !close()) return false;
  int err = 0;
  std::string why;
  if (!SharedLibrary_CheckFile(path, &err, &why)) return fail(err, path + ": " + why);
  dlerror();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* text = dlerror();
    return fail(ENOEXEC, text ? text : "cannot load");
  }
  lastErrno_ = 0;
  lastError_.clear();
  return true;
}

void* SharedLibrary::resolve(const char* name) const {
  if (!handle_) return nullptr;
  return ::dlsym(handle_, name);
}

bool SharedLibrary::close() {
  if (!handle_) return true;
  dlerror();
  if (::dlclose(handle_) != 0) {
    const char* text = dlerror();
    return fail(EBUSY, text ? text : "cannot unload");
  }
  handle_ = nullptr;
  return true;
}
