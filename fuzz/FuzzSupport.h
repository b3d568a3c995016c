// Helpers shared by the fuzz targets (header only: every fuzz/*.cpp is a target).
#pragma once

#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// An in-memory file, opened by name through /proc like any other file, so the
// readers are fuzzed through their real file functions.
struct FuzzMemoryFile {
  explicit FuzzMemoryFile(const char* name) : fd(memfd_create(name, 0)) {
    if (fd < 0) __builtin_trap();
    path = "/proc/self/fd/" + std::to_string(fd);
  }
  void set(const uint8_t* data, size_t size) {
    if (ftruncate(fd, 0) != 0 ||
        (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
      __builtin_trap();
    }
  }
  int fd;
  std::string path;
};

// A fresh folder for files that must be real ones (memory-backed when
// possible), removed with what it holds when the fuzzer exits.
struct FuzzTempFolder {
  FuzzTempFolder() {
    char shm[] = "/dev/shm/kvxfuzz-XXXXXX";
    char tmp[] = "/tmp/kvxfuzz-XXXXXX";
    const char* made = mkdtemp(shm);
    if (!made) made = mkdtemp(tmp);
    if (!made) __builtin_trap();
    path = made;
  }
  ~FuzzTempFolder() {
    if (DIR* dir = opendir(path.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") unlink((path + "/" + name).c_str());
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  }
  std::string path;
};

// Fails the run with a message naming the broken expectation.
#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition,      \
                        __FILE__, __LINE__);                                        \
      __builtin_trap();                                                             \
    }                                                                               \
  } while (0)
