// Fuzzes the INI file reader with arbitrary file contents. Whatever it reads
// must be written back as a file that reads back to the same options.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "core/Session.h"
#include "core/OptionStore.h"
#include "core/Options.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

void IgnoreReport(const char* message) {
  if (!message) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzMemoryFile input("ini-in");
  // The writer replaces its file by renaming a new one over it: a real folder.
  static const FuzzTempFolder folder;
  static const std::string output = folder.path + "/out.ini";
  input.set(data, size);

  Session session;  // every input starts a fresh program run
  Option_Init(IgnoreReport);
  const int rc = Option_LoadIni(input.path.c_str(), 2);
  FUZZ_CHECK(rc == 0 || rc == -1);
  for (const OptionSlot& slot : Option_Slots()) {
    // Every text option stays a terminated string inside its buffer, within
    // its limit as the option counts characters.
    if (slot.text.empty()) continue;
    const std::string value = slot.textValue();
    FUZZ_CHECK(value.size() < slot.text.size());
    FUZZ_CHECK(slot.charsOf(value.data(), value.size()) <= size_t(slot.maxChars));
  }

  // What was read is written and read back to the same file, quotes in values included.
  FUZZ_CHECK(Option_SaveIni(output.c_str()) == 0);
  const std::string first = ReadAll(output);
  Session nextRun;
  FUZZ_CHECK(Option_LoadIni(output.c_str(), 0) == 0);
  FUZZ_CHECK(Option_SaveIni(output.c_str()) == 0);
  FUZZ_CHECK(ReadAll(output) == first);
  return 0;
}
