// The simulated instruments of the kvxsim program: which ones to start (its
// command line), starting them on pseudo-terminals, wiring the calibrators'
// outputs to the modules' analog inputs and telling where they are.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instruments/SimCalibrator.h"
#include "instruments/SimThermometer.h"

class SimServer;

// The lines of kvxsim's help text for the instrument options.
const char* SimInstruments_Help();

class SimInstruments {
 public:
  SimInstruments() = default;
  ~SimInstruments();

  // Takes an instrument option at args[0] (and its value): the number of
  // words taken, 0 when args[0] is not an instrument option, -1 after
  // printing what is wrong with it.
  int takeOption(int count, char** args);

  // Starts the instruments asked for, wires the calibrators to the server's
  // modules (from=metrahit, from=vornbox) and prints each device path. False
  // after printing why one could not start.
  bool start(SimServer& server);

  SimCalibrator* metrahit() const { return metrahit_.get(); }
  SimCalibrator* vornbox() const { return vornbox_.get(); }
  SimThermometer* testo() const { return testo_.get(); }

 private:
  bool fault(const std::string& text);
  bool link(const std::string& name, const std::string& path);

  bool wantMetrahit_ = false, wantVornbox_ = false, wantTesto_ = false;
  int address_ = 1;
  std::optional<double> probes_[2] = {23.5, std::nullopt};
  std::string linkFolder_;
  SimInstrumentFaults faults_[3];  // metrahit, vornbox, testo
  std::vector<std::string> links_;
  std::shared_ptr<SimCalibrator> metrahit_, vornbox_;
  std::shared_ptr<SimThermometer> testo_;
};
