// A population: the master's buses with their bit rates and the modules on
// them. Read from and written to a small text format (docs/simulator.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instruments/SimReferenceSource.h"
#include "module/SimModuleConfig.h"

struct SimPopulation {
  uint32_t baseId = 1664;            // module protocol identifier of node 0
  uint8_t plcRunState = 1;           // Stop
  std::vector<uint8_t> busBitRates;  // bit-rate code per bus; its size is the bus count (1..8)
  std::vector<SimModuleConfig> modules;
  SimRefSourceConfig refSource;      // the reference source of the base calibration, if present

  SimPopulation() : busBitRates{4} {}

  // The built-in demo: about ten modules of different kinds on two buses.
  static SimPopulation demo();
  static const char* demoText();

  // Parses the text format. On failure returns false with "line N: reason".
  static bool parse(const std::string& text, SimPopulation& out, std::string& error);
  static bool load(const std::string& path, SimPopulation& out, std::string& error);
  // Writes the text format; parse(format()) gives the same population.
  std::string format() const;
};
