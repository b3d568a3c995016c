// kvxsim: serves a population of simulated modules behind a simulated bus
// master on a TCP port until SIGINT or SIGTERM.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimServer.h"
#include "canport/SimCanPort.h"
#include "firmware/FirmwareTool.h"
#include "instruments/SimInstruments.h"
#include "traffic/CanOpenTraffic.h"
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

namespace {

// Background traffic of the demo population on each bus, in frames per second.
constexpr const char* kDemoTraffic = "50";

void PrintHelp() {
  std::printf(
      "Usage: kvxsim [options] [population-file]\n"
      "\n"
      "Simulates a bus master with up to eight CAN buses and the modules on them,\n"
      "served over TCP. Without a population file the built-in demo population is\n"
      "served (two buses, nineteen modules and a reference source).\n"
      "\n"
      "Options:\n"
      "  -a, --address ADDR   IPv4 address to listen on (default 127.0.0.1)\n"
      "  -p, --port PORT      TCP port (default %u; 0 = any free port)\n"
      "  -s, --silent         silent master: answer no control frame (a plain bridge)\n"
      "  -t, --bus-timing     pace frames by their time on the wire at each bus's bit rate\n"
      "  -r, --reboot-ms MS   how long a restarted module stays silent (default 300)\n"
      "  -z, --zero-stamps    send time stamp 0 in every frame\n"
      "      --traffic RATE   CANopen background traffic on every bus: RATE frames per\n"
      "                       second, \"N%%\" of a full bus, or \"full\"\n"
      "                       (the demo population: %s frames/s unless given; 0 = none)\n"
      "      --traffic-len N  every background frame has N (0..8) data bytes\n"
      "      --print-demo     print the demo population in the file format and exit\n"
      "      --button BUS:NODE  SIGUSR1 presses the front button of the module answering\n"
      "                       on NODE of BUS: it enters search mode\n"
      "      --can-port [BUS:]PORT  also serve bus BUS (default 0) as a raw CAN bus on\n"
      "                       PORT for the CAN adapter library (KVX_CAN_CHANNEL=tcp:ADDR:PORT);\n"
      "                       turns bus timing on\n"
      "      --check          read the population file, print what it holds and exit\n"
      "%s"
      "      --modbus         also serve a Modbus RTU line on a pseudo-terminal: the\n"
      "                       modules of bus 0 answer as slaves (address = node id);\n"
      "                       the device path is printed for the program's Modbus port\n"
      "      --modbus-bus BUS the bus behind the Modbus line (default 0)\n"
      "      --modbus-instant answer at once instead of at the line's baud rate\n"
      "      --modbus-fault KIND[:N]  spoil every Nth reply (default 5): crc (swapped\n"
      "                       CRC bytes), function, length (9 data bytes), split (single\n"
      "                       bytes with gaps), silence, garbage (bytes after the frame)\n"
      "  -h, --help           this text\n"
      "\n"
      "The population file format is described in docs/simulator.md.\n"
      "\n"
      "kvxsim make-firmware [options] FILE.hex writes a test firmware image\n"
      "(kvxsim make-firmware --help).\n",
      unsigned(Wire::ETH_MASTER_DEFAULT_PORT), kDemoTraffic, SimInstruments_Help());
}

const char* RateName(uint8_t code) {
  static const char* names[8] = {"10k", "20k", "50k", "100k", "125k", "250k", "500k", "1000k"};
  return code < 8 ? names[code] : "unknown";
}

void PrintPopulation(const SimPopulation& p) {
  std::printf("base identifier 0x%03X, PLC run state %d, %zu bus(es)\n", unsigned(p.baseId), p.plcRunState,
              p.busBitRates.size());
  for (size_t bus = 0; bus < p.busBitRates.size(); ++bus) {
    std::printf("bus %zu: %s (code %d)\n", bus, RateName(p.busBitRates[bus]), p.busBitRates[bus]);
    for (const SimModuleConfig& m : p.modules) {
      if (m.bus != int(bus)) continue;
      std::printf("  node %3d  type %3u  hw %d  state 0x%02X  %s\n", m.node, unsigned(m.type), m.hwVersion, m.state,
                  m.label.c_str());
    }
    if (p.refSource.present && p.refSource.bus == int(bus))
      std::printf("  node %3d  reference source of the base calibration (low %g, high %g)\n", p.refSource.node,
                  p.refSource.low, p.refSource.high);
  }
}

// "--modbus-fault KIND[:N]".
bool ParseModbusFault(const std::string& text, SimModbusFault& kind, int& every) {
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  every = 5;
  if (colon != std::string::npos) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end || n < 1 || n > 1000000) return false;
    every = int(n);
  }
  const struct {
    const char* name;
    SimModbusFault kind;
  } kinds[] = {{"crc", SimModbusFault::SwappedCrc},         {"function", SimModbusFault::WrongFunction},
               {"length", SimModbusFault::NineBytes},       {"split", SimModbusFault::SplitBytes},
               {"silence", SimModbusFault::Silence},        {"garbage", SimModbusFault::TrailingGarbage}};
  for (const auto& k : kinds)
    if (name == k.name) {
      kind = k.kind;
      return true;
    }
  return false;
}

bool ParseInt(const char* text, int lo, int hi, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

// "--traffic" as frames per second on one bus: a number, "N%" of a full
// bus, or "full". Negative when the text is not one of these.
double TrafficRate(const std::string& text, uint8_t bitRateCode, int fixedLength) {
  CanOpenTrafficConfig mix;
  mix.fixedLength = fixedLength;
  const double full = CanOpenTraffic_FullBusRate(bitRateCode, CanOpenTraffic_AverageLength(mix));
  if (text == "full") return full;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || value < 0) return -1;
  if (*end == '%' && end[1] == '\0') return value > 100 ? -1 : full * value / 100.0;
  return *end ? -1 : value;
}

// "--button BUS:NODE".
bool ParseButton(const char* text, int& bus, int& node) {
  const char* colon = std::strchr(text, ':');
  if (!colon) return false;
  return ParseInt(std::string(text, colon).c_str(), 0, 7, bus) && ParseInt(colon + 1, 1, 127, node);
}

void PressButton(SimServer& server, int bus, int node) {
  const SimModuleId id = server.findModule(bus, node);
  if (id >= 0 && server.pressButton(id))
    std::printf("kvxsim: front button of node %d on bus %d pressed: search mode\n", node, bus);
  else
    std::printf("kvxsim: no module answers on node %d of bus %d\n", node, bus);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "make-firmware") == 0) return FirmwareTool_Main(argc - 2, argv + 2);
  std::string address = "127.0.0.1";
  int port = Wire::ETH_MASTER_DEFAULT_PORT;
  int rebootMs = 300;
  bool silent = false, timing = false, zeroStamps = false, check = false;
  std::string file;
  std::string traffic;
  int trafficLength = -1;
  int buttonBus = -1, buttonNode = -1;
  SimInstruments instruments;
  int canPortBus = 0, canPort = -1;
  bool modbus = false, modbusInstant = false;
  int modbusBus = 0, modbusFaultEvery = 0;
  SimModbusFault modbusFault = SimModbusFault::Silence;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kvxsim: %s needs %s\n", a.c_str(), what);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "-h" || a == "--help") {
      PrintHelp();
      return 0;
    } else if (a == "-a" || a == "--address") {
      address = value("an address");
    } else if (a == "-p" || a == "--port") {
      if (!ParseInt(value("a port"), 0, 65535, port)) {
        std::fprintf(stderr, "kvxsim: the port must be 0..65535\n");
        return 2;
      }
    } else if (a == "-r" || a == "--reboot-ms") {
      if (!ParseInt(value("milliseconds"), 0, 600000, rebootMs)) {
        std::fprintf(stderr, "kvxsim: the reboot time must be 0..600000 ms\n");
        return 2;
      }
    } else if (a == "-s" || a == "--silent") {
      silent = true;
    } else if (a == "-t" || a == "--bus-timing") {
      timing = true;
    } else if (a == "-z" || a == "--zero-stamps") {
      zeroStamps = true;
    } else if (a == "--traffic") {
      traffic = value("a rate");
      if (TrafficRate(traffic, 4, -1) < 0) {
        std::fprintf(stderr, "kvxsim: the traffic rate must be frames per second, N%% or full\n");
        return 2;
      }
    } else if (a == "--traffic-len") {
      if (!ParseInt(value("a length"), 0, 8, trafficLength)) {
        std::fprintf(stderr, "kvxsim: the traffic frame length must be 0..8\n");
        return 2;
      }
    } else if (a == "--print-demo") {
      std::fputs(SimPopulation::demoText(), stdout);
      return 0;
    } else if (a == "--button") {
      if (!ParseButton(value("BUS:NODE"), buttonBus, buttonNode)) {
        std::fprintf(stderr, "kvxsim: --button needs BUS:NODE with bus 0..7 and node 1..127\n");
        return 2;
      }
    } else if (a == "--can-port") {
      std::string text = value("[BUS:]PORT");
      const size_t colon = text.find(':');
      if ((colon != std::string::npos && !ParseInt(text.substr(0, colon).c_str(), 0, 7, canPortBus)) ||
          !ParseInt(text.substr(colon == std::string::npos ? 0 : colon + 1).c_str(), 0, 65535, canPort)) {
        std::fprintf(stderr, "kvxsim: --can-port needs [BUS:]PORT with bus 0..7 and port 0..65535\n");
        return 2;
      }
    } else if (a == "--modbus") {
      modbus = true;
    } else if (a == "--modbus-bus") {
      if (!ParseInt(value("a bus"), 0, 7, modbusBus)) {
        std::fprintf(stderr, "kvxsim: the Modbus bus must be 0..7\n");
        return 2;
      }
      modbus = true;
    } else if (a == "--modbus-instant") {
      modbusInstant = true;
    } else if (a == "--modbus-fault") {
      if (!ParseModbusFault(value("KIND[:N]"), modbusFault, modbusFaultEvery)) {
        std::fprintf(stderr, "kvxsim: --modbus-fault needs crc, function, length, split, silence or garbage, "
                             "optionally with :N\n");
        return 2;
      }
      modbus = true;
    } else if (a == "--check") {
      check = true;
    } else if (int taken = instruments.takeOption(argc - i, argv + i); taken != 0) {
      if (taken < 0) return 2;
      i += taken - 1;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "kvxsim: unknown option %s (try --help)\n", a.c_str());
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "kvxsim: only one population file, please\n");
      return 2;
    }
  }

  SimPopulation population;
  if (file.empty()) {
    population = SimPopulation::demo();
    // The demo's buses carry some CANopen traffic for the CAN logger to show.
    if (traffic.empty()) traffic = kDemoTraffic;
  } else {
    std::string error;
    if (!SimPopulation::load(file, population, error)) {
      std::fprintf(stderr, "kvxsim: %s\n", error.c_str());
      return 1;
    }
  }
  if (check) {
    PrintPopulation(population);
    return 0;
  }

  // The signals are taken by sigwait() below, not by a handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (buttonBus >= 0) sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // before the server thread starts: it inherits the mask

  SimServer server;
  server.setPopulation(population);
  server.setSilentMaster(silent);
  if (canPort >= 0) {
    if (canPortBus >= int(population.busBitRates.size())) {
      std::fprintf(stderr, "kvxsim: --can-port: the population has no bus %d\n", canPortBus);
      return 2;
    }
    timing = true;  // a raw bus keeps the time of the wire
  }
  server.setBusTiming(timing);
  server.setRebootTimeMs(rebootMs);
  server.setZeroTimeStamps(zeroStamps);
  for (size_t bus = 0; !traffic.empty() && bus < population.busBitRates.size(); ++bus) {
    CanOpenTrafficConfig config;
    config.framesPerSecond = TrafficRate(traffic, population.busBitRates[bus], trafficLength);
    config.fixedLength = trafficLength;
    config.protocolBase = population.baseId;
    config.seed = uint32_t(bus + 1);
    server.addTrafficSource(int(bus), std::make_unique<CanOpenTraffic>(config));
    std::printf("kvxsim: bus %zu: CANopen traffic, %.0f frames/s\n", bus, config.framesPerSecond);
  }
  if (!instruments.start(server)) return 1;
  if (!server.start(address, port)) {
    std::fprintf(stderr, "kvxsim: %s\n", server.lastError().c_str());
    return 1;
  }
  std::printf("kvxsim: bus master on %s:%d%s%s, population %s\n", address.c_str(), server.port(),
              silent ? ", silent" : "", timing ? ", bus timing" : "", file.empty() ? "(demo)" : file.c_str());
  SimCanPort rawPort(server, canPortBus);
  if (canPort >= 0) {
    if (!rawPort.start(address, canPort)) {
      std::fprintf(stderr, "kvxsim: raw CAN port: %s\n", rawPort.lastError().c_str());
      return 1;
    }
    std::printf("kvxsim: raw CAN port of bus %d on %s:%d (KVX_CAN_CHANNEL=tcp:%s:%d)\n", canPortBus,
                address.c_str(), rawPort.port(), address.c_str(), rawPort.port());
  }
  PrintPopulation(population);
  if (modbus) {
    server.setModbusLineTiming(!modbusInstant);
    const std::string device = server.startModbus(modbusBus);
    if (device.empty()) {
      std::fprintf(stderr, "kvxsim: %s\n", server.lastError().c_str());
      server.stop();
      return 1;
    }
    if (modbusFaultEvery > 0) server.setModbusFault(modbusFault, modbusFaultEvery);
    std::printf("kvxsim: Modbus RTU line on %s (bus %d, slave address = node id%s)\n", device.c_str(),
                modbusBus, modbusInstant ? ", instant" : "");
  }
  std::printf("kvxsim: running; stop with Ctrl+C\n");
  std::fflush(stdout);

  int sig = 0;
  while (sigwait(&signals, &sig) == 0 && sig == SIGUSR1) PressButton(server, buttonBus, buttonNode);
  // Frames already made leave before the server stops, so the count printed
  // below is what the client was sent.
  server.clearBusTraffic();
  timespec drain{0, 300 * 1000 * 1000};
  nanosleep(&drain, nullptr);
  rawPort.stop();
  server.stop();
  const SimServerStats stats = server.stats();
  std::printf("kvxsim: %d frame(s) to the client, %d dropped, %d connection(s)\n", stats.framesToClient,
              stats.droppedToClient, stats.connections);
  if (canPort >= 0) {
    const SimCanPortStats port = rawPort.stats();
    std::printf("kvxsim: raw CAN port: %lld frame(s) to the adapter, %lld from it, %lld refused, %d connection(s)\n",
                (long long)port.framesToClient, (long long)port.framesFromClient, (long long)port.framesRefused,
                port.connections);
  }
  std::printf("kvxsim: stopped (%s)\n", sig == SIGINT ? "SIGINT" : "SIGTERM");
  return 0;
}
