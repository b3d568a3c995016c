// Reading and writing a 1 MiB firmware image as Intel HEX.
//
// KVX_BENCH_HEX names the HEX file to read (scripts/bench-hex passes the one
// it also gives srec_cat); without it a file of 1 MiB of random bytes at
// 0x08000000 is made in the temporary folder. Written files go beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/Session.h"
#include "firmware/HexFile.h"

namespace {

std::string TempPath(const char* name) {
  const char* tmp = getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
}

// The file to read: the given one, or one made from random bytes.
const std::string& InputFile() {
  static const std::string path = [] {
    if (const char* given = getenv("KVX_BENCH_HEX"); given && *given) return std::string(given);
    std::vector<uint8_t> bytes(1024 * 1024);
    std::mt19937 random(1);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    HexSegmentList image(HexSegment_New(0x08000000, bytes.data(), static_cast<int32_t>(bytes.size())));
    std::string made = TempPath("kvx-bench-1mib.hex");
    if (HexFile_Write(image.head(), made, HEXFILE_TYPE_INTEL) != 0) {
      fprintf(stderr, "%s\n", HexFile_GetErrorText());
      std::exit(1);
    }
    return made;
  }();
  return path;
}

std::string OutputFile() {
  std::string in = InputFile();
  size_t slash = in.rfind('/');
  return (slash == std::string::npos ? std::string(".") : in.substr(0, slash)) + "/kvx-bench-out.hex";
}

int64_t ImageBytes(const HexSegment* head) {
  int64_t n = 0;
  for (; head; head = head->next) n += head->length;
  return n;
}

void HexFile_Read1MiB(benchmark::State& state) {
  const std::string& path = InputFile();
  int64_t bytes = 0;
  for (auto _ : state) {
    HexSegmentList image;
    if (HexFile_Read(image.out(), path) != 0) {
      state.SkipWithError(HexFile_GetErrorText());
      break;
    }
    bytes = ImageBytes(image.head());
    benchmark::DoNotOptimize(image.head());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(HexFile_Read1MiB)->Unit(benchmark::kMillisecond);

void HexFile_Write1MiB(benchmark::State& state) {
  HexSegmentList image;
  if (HexFile_Read(image.out(), InputFile()) != 0) {
    state.SkipWithError(HexFile_GetErrorText());
    return;
  }
  std::string out = OutputFile();
  for (auto _ : state) {
    if (HexFile_Write(image.head(), out, HEXFILE_TYPE_INTEL) != 0) {
      state.SkipWithError(HexFile_GetErrorText());
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * ImageBytes(image.head()));
  remove(out.c_str());
}
BENCHMARK(HexFile_Write1MiB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
