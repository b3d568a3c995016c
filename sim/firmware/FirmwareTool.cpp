#include "firmware/FirmwareTool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <strings.h>

#include "module/Bootloader.h"
#include "protocol/WireConstants.h"

namespace {

struct CpuName {
  const char* name;
  uint8_t code;
};
const CpuName kCpuNames[] = {
    {"PIC18F", Wire::VORN_CPU_PIC18F},     {"dsPIC30F", Wire::VORN_CPU_DSPIC30F},
    {"AT8051", Wire::VORN_CPU_AT8051},     {"dsPIC33F", Wire::VORN_CPU_DSPIC33F},
    {"SAMC21", Wire::VORN_CPU_SAMC21},
};

bool Number(const char* text, long long lo, long long hi, long long& out) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 0);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool CpuCode(const char* text, uint8_t& code) {
  for (const CpuName& c : kCpuNames) {
    if (strcasecmp(text, c.name) == 0) {
      code = c.code;
      return true;
    }
  }
  long long v = 0;
  if (!Number(text, 0, 255, v)) return false;
  code = uint8_t(v);
  return true;
}

// "3.12" -> 3, 12
bool Version(const char* text, int& major, int& minor) {
  const char* dot = std::strchr(text, '.');
  if (!dot) return false;
  std::string left(text, size_t(dot - text));
  long long a = 0, b = 0;
  if (!Number(left.c_str(), 0, 255, a) || !Number(dot + 1, 0, 255, b)) return false;
  major = int(a);
  minor = int(b);
  return true;
}

}  // namespace

const char* FirmwareTool_Help() {
  return "Usage: kvxsim make-firmware [options] OUTPUT.hex\n"
         "\n"
         "Writes a test firmware image: pseudo-random code bytes with the firmware\n"
         "info table (\"~KVXINFOSTRUCT~\") inside, as Intel HEX.\n"
         "\n"
         "  --cpu NAME|CODE      PIC18F, dsPIC30F, dsPIC33F or SAMC21: word layout for the\n"
         "                       dsPIC parts and the address of the simulated firmware start\n"
         "  --address ADDR       byte address of the image (default: the CPU's firmware start)\n"
         "  --size BYTES         useful code bytes before the word layout (default 4096)\n"
         "  --type N             MODULE_TYPE entry\n"
         "  --hw N               HARDW_VERSION entry\n"
         "  --version M.N        SOFTW_VERSION entry\n"
         "  --info-type N        INFO_TYPE entry (default 1; 0 = a bootloader image)\n"
         "  --word | --byte      data layout (default from the CPU; byte without one)\n"
         "  --no-info            leave the info table out\n"
         "  --table-offset N     where the table starts among the useful bytes (default 256)\n"
         "  --seed N             varies the code bytes (default 1)\n"
         "  --record-length N    data bytes per HEX record, 1..255 (default 16)\n";
}

bool FirmwareTool_Parse(int argc, const char* const* argv, FirmwareToolRequest& out, std::string& error) {
  FirmwareToolRequest r;
  r.layout.info = FwInfoValues{};
  std::optional<uint8_t> cpu;
  std::optional<bool> word;
  std::optional<uint32_t> address;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    const char* v = nullptr;
    auto needValue = [&]() {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      v = argv[++i];
      return true;
    };
    long long n = 0;
    if (a == "--cpu") {
      uint8_t code = 0;
      if (!needValue()) return false;
      if (!CpuCode(v, code)) return error = "unknown CPU " + std::string(v), false;
      cpu = code;
    } else if (a == "--address") {
      if (!needValue()) return false;
      if (!Number(v, 0, 0xFFFFFFFFll, n)) return error = "bad address " + std::string(v), false;
      address = uint32_t(n);
    } else if (a == "--size") {
      if (!needValue()) return false;
      if (!Number(v, 1, 16 << 20, n)) return error = "the size must be 1..16 MiB", false;
      r.layout.codeBytes = size_t(n);
    } else if (a == "--type" || a == "--hw" || a == "--info-type") {
      if (!needValue()) return false;
      if (!Number(v, 0, 0xFFFF, n)) return error = a + " must be 0..65535", false;
      if (a == "--type") r.layout.info.moduleType = int(n);
      if (a == "--hw") r.layout.info.hardwareVersion = int(n);
      if (a == "--info-type") r.layout.info.infoType = int(n & 0xFF);
    } else if (a == "--version") {
      int major = 0, minor = 0;
      if (!needValue()) return false;
      if (!Version(v, major, minor)) return error = "the version must be M.N (0..255 each)", false;
      r.layout.info.softwareMajor = major;
      r.layout.info.softwareMinor = minor;
    } else if (a == "--word" || a == "--byte") {
      word = a == "--word";
    } else if (a == "--no-info") {
      r.layout.tableOffset.reset();
    } else if (a == "--table-offset") {
      if (!needValue()) return false;
      if (!Number(v, 0, 16 << 20, n)) return error = "bad table offset", false;
      r.layout.tableOffset = size_t(n);
    } else if (a == "--seed") {
      if (!needValue()) return false;
      if (!Number(v, 0, 0xFFFFFFFFll, n)) return error = "bad seed", false;
      r.layout.seed = uint32_t(n);
    } else if (a == "--record-length") {
      if (!needValue()) return false;
      if (!Number(v, 1, 255, n)) return error = "the record length must be 1..255", false;
      r.hex.recordLength = int(n);
    } else if (!a.empty() && a[0] == '-') {
      return error = "unknown option " + a, false;
    } else if (r.output.empty()) {
      r.output = a;
    } else {
      return error = "only one output file, please", false;
    }
  }
  if (r.output.empty()) return error = "no output file", false;
  const BootCpu* part = cpu ? &BootCpu_For(*cpu) : nullptr;
  r.layout.wordData = word ? *word : part && part->wordAddressed;
  if (address)
    r.layout.address = *address;
  else
    r.layout.address = part ? part->codeStart * (part->wordAddressed ? 2 : 1) : 0x1000;
  out = r;
  return true;
}

int FirmwareTool_Main(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(FirmwareTool_Help(), stdout);
      return 0;
    }
  }
  FirmwareToolRequest r;
  std::string error;
  if (!FirmwareTool_Parse(argc, argv, r, error)) {
    std::fprintf(stderr, "kvxsim make-firmware: %s (try --help)\n", error.c_str());
    return 2;
  }
  HexImageBuilder builder;
  builder.addFirmware(r.layout);
  if (!builder.writeHexFile(r.output, r.hex)) {
    std::fprintf(stderr, "kvxsim make-firmware: cannot write %s\n", r.output.c_str());
    return 1;
  }
  const FwImageBlock& block = builder.blocks().front();
  std::printf("%s: %zu bytes (%s data) at 0x%X\n", r.output.c_str(), block.bytes.size(),
              r.layout.wordData ? "word" : "byte", unsigned(block.address));
  return 0;
}
