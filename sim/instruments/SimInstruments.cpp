#include "instruments/SimInstruments.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SimServer.h"
#include "instruments/InstrumentText.h"

namespace {

const char* const kNames[3] = {"metrahit", "vornbox", "testo"};

// "T1[,T2]": a temperature in degrees Celsius or "none" (no sensor) per probe.
bool ParseProbes(const std::string& text, std::optional<double> probes[2]) {
  const size_t comma = text.find(',');
  const std::string parts[2] = {text.substr(0, comma), comma == std::string::npos ? "" : text.substr(comma + 1)};
  for (int i = 0; i < 2; ++i) {
    if (i == 1 && comma == std::string::npos) break;
    double t = 0;
    if (parts[i] == "none") {
      probes[i] = std::nullopt;
    } else if (InstrumentText_Number(parts[i], t)) {
      probes[i] = t;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

const char* SimInstruments_Help() {
  return "      --metrahit       a simulated process calibrator (\"Metrahit 28c\") on a pseudo-terminal\n"
         "      --vornbox        a simulated calibrator box (\"Vorn Box\") on a pseudo-terminal\n"
         "      --testo          a simulated thermometer (\"Testo 701\") on a pseudo-terminal\n"
         "      --calibrator-address N  the calibrators' own address 0..14 (default 1; 15 reaches any)\n"
         "      --testo-temp T1[,T2]  probe temperatures in degrees C, \"none\" = no sensor\n"
         "                       (default 23.5,none)\n"
         "      --instrument-links DIR  also make DIR/metrahit, DIR/vornbox, DIR/testo lead to\n"
         "                       the instruments' devices\n"
         "      --instrument-fault NAME:FAULT  NAME metrahit, vornbox or testo; FAULT silent,\n"
         "                       garbage, split, long or wrong=COMMAND (that command is\n"
         "                       answered \"ERR:SIMULATED\")\n";
}

SimInstruments::~SimInstruments() {
  for (const std::string& l : links_) ::unlink(l.c_str());
}

int SimInstruments::takeOption(int count, char** args) {
  const std::string option = args[0];
  const bool needsValue = option == "--calibrator-address" || option == "--testo-temp" ||
                          option == "--instrument-links" || option == "--instrument-fault";
  if (needsValue && count < 2) {
    std::fprintf(stderr, "kvxsim: %s needs a value\n", option.c_str());
    return -1;
  }
  const std::string value = needsValue ? args[1] : "";
  if (option == "--metrahit") {
    wantMetrahit_ = true;
  } else if (option == "--vornbox") {
    wantVornbox_ = true;
  } else if (option == "--testo") {
    wantTesto_ = true;
  } else if (option == "--calibrator-address") {
    char* end = nullptr;
    const long a = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end || a < 0 || a > 14) {
      std::fprintf(stderr, "kvxsim: the calibrator address must be 0..14\n");
      return -1;
    }
    address_ = int(a);
  } else if (option == "--testo-temp") {
    if (!ParseProbes(value, probes_)) {
      std::fprintf(stderr, "kvxsim: --testo-temp needs T1[,T2] with numbers or \"none\"\n");
      return -1;
    }
  } else if (option == "--instrument-links") {
    linkFolder_ = value;
  } else if (option == "--instrument-fault") {
    if (!fault(value)) {
      std::fprintf(stderr, "kvxsim: --instrument-fault needs NAME:FAULT (try --help)\n");
      return -1;
    }
  } else {
    return 0;
  }
  return needsValue ? 2 : 1;
}

bool SimInstruments::fault(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string name = text.substr(0, colon), kind = text.substr(colon + 1);
  for (int i = 0; i < 3; ++i) {
    if (name != kNames[i]) continue;
    SimInstrumentFaults& f = faults_[i];
    if (kind == "silent") {
      f.silent = true;
    } else if (kind == "garbage") {
      f.garbage = true;
    } else if (kind == "split") {
      f.splitBytes = 2;
      f.splitPauseMs = 30;
    } else if (kind == "long") {
      f.longAnswer = 3000;
    } else if (kind.compare(0, 6, "wrong=") == 0 && kind.size() > 6) {
      f.wrongCommand = kind.substr(6);
      f.wrongAnswer = "ERR:SIMULATED";
    } else {
      return false;
    }
    return true;
  }
  return false;
}

bool SimInstruments::link(const std::string& name, const std::string& path) {
  if (linkFolder_.empty()) return true;
  ::mkdir(linkFolder_.c_str(), 0755);
  const std::string at = linkFolder_ + "/" + name;
  struct stat st {};
  if (::lstat(at.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(at.c_str());
  if (::symlink(path.c_str(), at.c_str()) != 0) {
    std::fprintf(stderr, "kvxsim: cannot make the link %s: %s\n", at.c_str(), std::strerror(errno));
    return false;
  }
  links_.push_back(at);
  std::printf("kvxsim: %s: also reached as %s\n", name.c_str(), at.c_str());
  return true;
}

bool SimInstruments::start(SimServer& server) {
  const auto started = [&](const char* name, const char* what, SimSerialDevice& device, int index) {
    device.setFaults(faults_[index]);
    if (!device.start()) {
      std::fprintf(stderr, "kvxsim: %s: %s\n", name, device.error().c_str());
      return false;
    }
    std::printf("kvxsim: %s: %s on %s\n", name, what, device.devicePath().c_str());
    return link(name, device.devicePath());
  };
  const std::string at = " at address " + std::to_string(address_);
  if (wantMetrahit_) {
    metrahit_ = std::make_shared<SimCalibrator>(SimCalibratorModel::ProcessCalibrator, address_);
    if (!started("metrahit", ("process calibrator" + at).c_str(), metrahit_->device(), 0)) return false;
    server.connectAnalogSource("metrahit", metrahit_);
  }
  if (wantVornbox_) {
    vornbox_ = std::make_shared<SimCalibrator>(SimCalibratorModel::CalibratorBox, address_);
    if (!started("vornbox", ("calibrator box" + at).c_str(), vornbox_->device(), 1)) return false;
    server.connectAnalogSource("vornbox", vornbox_);
  }
  if (wantTesto_) {
    testo_ = std::make_shared<SimThermometer>();
    for (int probe = 1; probe <= 2; ++probe) testo_->setTemperature(probe, probes_[probe - 1]);
    if (!started("testo", "thermometer", testo_->device(), 2)) return false;
    // Its probe 1 sits at the module terminals the process calibrator drives.
    if (metrahit_) metrahit_->setThermometer(testo_);
  }
  std::fflush(stdout);
  return true;
}
