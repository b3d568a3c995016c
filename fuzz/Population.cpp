// Fuzzes the simulator's population file reader with arbitrary text. A
// population read must write out as a file that reads back to the same text,
// and must build a simulated network without trouble.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "core/SimNetwork.h"
#include "population/Population.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SimPopulation population;
  std::string error;
  if (!SimPopulation::parse(text, population, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::string written = population.format();
  SimPopulation again;
  if (!SimPopulation::parse(written, again, error)) {
    std::fprintf(stderr, "written population does not read back: %s\n%s", error.c_str(),
                 written.c_str());
    __builtin_trap();
  }
  FUZZ_CHECK(again.format() == written);

  SimNetwork network;
  network.setPopulation(population);
  return 0;
}
