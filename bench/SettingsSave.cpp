// The INI file's save, for scripts/soak-settings: writes one of two option
// sets (of different lengths) through the program's own Option_SaveIni, once
// or over and over until killed.
//
//   bench_SettingsSave write PATH a|b   one save; the option messages on
//                                        stdout; exit status 0 when saved
//   bench_SettingsSave loop PATH        a, b, a, b, ... until killed; prints
//                                        "ready" after the first save
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Options.h"
#include "core/Session.h"

namespace {

void Print(const char* message) { std::printf("option message: %s\n", message); }

// Set a holds long texts, set b other and shorter ones, so that a file cut
// anywhere or mixed from both is neither.
void Choose(char set) {
  const bool a = set == 'a';
  Option_SetInt("SCAN_RANGE_STOP", a ? 100 : 42);
  Option_SetString("DEFAULT_INTERFACE", a ? "KVX Master (Ethernet)" : "PCAN USB");
  Option_SetText("RECENT_HEXFILE_LIST", std::string(a ? 4000 : 1500, a ? 'A' : 'b'));
  Option_SetText("CALIB_SEQ_DIR2", a ? std::string(1000, 'x') : "/home/j\xc3\xbcrgen/calib");
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", a ? 0.5 : 12.25);
}

}  // namespace

int main(int argc, char** argv) {
  Session session;
  Option_Init(&Print);
  if (argc == 4 && std::strcmp(argv[1], "write") == 0 && (argv[3][0] == 'a' || argv[3][0] == 'b')) {
    Choose(argv[3][0]);
    return Option_SaveIni(argv[2]) == 0 ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "loop") == 0) {
    for (unsigned long n = 0;; ++n) {
      Choose(n % 2 == 0 ? 'a' : 'b');
      if (Option_SaveIni(argv[2]) != 0) return 1;
      if (n == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
      }
    }
  }
  std::fprintf(stderr, "usage: bench_SettingsSave write PATH a|b | loop PATH\n");
  return 2;
}
