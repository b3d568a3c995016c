// Fuzzes the Intel HEX reader with arbitrary file contents. Besides crashes and
// overruns it checks that every image read successfully survives a write and a
// second read unchanged.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/Session.h"
#include "firmware/HexFile.h"

namespace {

// An in-memory file, opened by name through /proc like any other file.
struct MemoryFile {
  explicit MemoryFile(const char* name) : fd(memfd_create(name, 0)) {
    if (fd < 0) __builtin_trap();
    path = "/proc/self/fd/" + std::to_string(fd);
  }
  void set(const uint8_t* data, size_t size) {
    if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
      __builtin_trap();
    }
  }
  int fd;
  std::string path;
};

// Touches every byte so the sanitizers see any segment that lies about its length.
uint32_t CheckList(const HexSegment* head) {
  uint32_t sum = 0;
  for (const HexSegment* s = head; s; s = s->next) {
    if (s->length < 0 || (s->length > 0 && !s->data)) __builtin_trap();
    for (int32_t i = 0; i < s->length; i++) sum += s->data[i];
  }
  return sum;
}

bool SameData(const HexSegment* a, const HexSegment* b) {
  while (true) {
    while (a && a->length == 0) a = a->next;
    while (b && b->length == 0) b = b->next;
    if (!a || !b) return a == b;
    if (a->address != b->address || a->length != b->length) return false;
    for (int32_t i = 0; i < a->length; i++) {
      if (a->data[i] != b->data[i]) return false;
    }
    a = a->next;
    b = b->next;
  }
}

// Segments that run past the 4 GiB end come back split at address 0.
bool WrapsAround(const HexSegment* head) {
  for (const HexSegment* s = head; s; s = s->next) {
    if (static_cast<uint64_t>(s->address) + static_cast<uint64_t>(s->length) > 0x100000000ull) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session;  // every input starts a fresh program run
  static MemoryFile input("hex-in");
  static MemoryFile output("hex-out");
  input.set(data, size);

  HexSegment* image = nullptr;
  int rc = HexFile_Read(&image, input.path);
  const char* text = HexFile_GetErrorText();
  if (rc > 0 || rc < -13 || rc == -9 || rc == -10 || rc == -11 || !text || !*text) __builtin_trap();
  if (rc != -1 && !image) __builtin_trap();
  CheckList(image);

  if (rc == 0 && !WrapsAround(image)) {
    if (HexFile_Write(image, output.path, HEXFILE_TYPE_INTEL) != 0) __builtin_trap();
    HexSegment* again = nullptr;
    if (HexFile_Read(&again, output.path) != 0) __builtin_trap();
    if (!SameData(image, again)) __builtin_trap();
    HexFile_Free(again);
  }
  HexFile_Free(image);
  return 0;
}
