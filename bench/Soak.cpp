// Soak runs: the program's logic against the simulated bus master over the
// real Ethernet link (loopback) while the master spoils its frames at random -
// drops them, changes a byte or cuts the length, holds them back - and drops
// the connection once per workload. Each workload is driven the way the
// program's timers drive it and every outcome is checked against what the
// simulator really sent and holds:
//
//   scan     flash scans of 30 modules; the list must hold exactly the modules
//            whose identify answers reached the program (by the bytes sent)
//   upload   asynchronous 64 KiB uploads into one module; a success must have
//            written the exact image (each run a different one)
//   multi    multi-updates of 20 modules with retries; a module reported "Ok"
//            must run the new image
//   logger   a capture of a 500 kbit/s bus at its physical maximum; the log
//            file must hold every frame the master forwarded, in order
//
//   bench_Soak WORKLOAD [--runs N] [--seconds S] [--faults PERCENT] [--loss-only]
//              [--seed N] [--no-disconnect] [--work FOLDER]
//
// PERCENT (default 1) of the frames to the program are faulty, a third each
// dropped, spoiled and held back (up to 1.5 s); --loss-only drops them all.
//
// Prints a line per failure kind and a closing "RESULT ..." line: runs,
// completed, failed with a message the program defines for that failure,
// wrong outcomes, hangs, and the resident memory at the start and the end.
// Exit status 0 when there was no wrong outcome and no hang.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/Session.h"
#include "core/Options.h"
#include "core/WideText.h"
#include "firmware/FwUploadRun.h"
#include "firmware/HexImageBuilder.h"
#include "firmware/MultiUpdate.h"
#include "logger/Logger.h"
#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "protocol/BusScan.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/WireConstants.h"
#include "traffic/CanOpenTraffic.h"

namespace {

constexpr const char* kEthernet = "KVX Master (Ethernet)";

// A user interface without a screen whose timers are periodic like the GUI's,
// and which keeps every message box it was shown.
class SoakUi : public ScreenlessUi {
 public:
  UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons b, UiIcon i,
                      bool modal) override {
    boxes.push_back(text);
    return ScreenlessUi::messageBox(text, title, b, i, modal);
  }
  void armTimer(UiTimer* timer, int periodMs) override { armed_[timer] = {NowMs() + periodMs, periodMs}; }
  void disarmTimer(UiTimer* timer) override { armed_.erase(timer); }

  // Ticks the due timers while busy() holds and a timer is armed; every()
  // runs between ticks. False when limitMs passed first (a hang).
  template <typename Busy, typename Every>
  bool runWhile(Busy busy, double limitMs, Every every) {
    const double end = NowMs() + limitMs;
    while (busy() && !armed_.empty()) {
      if (NowMs() > end) return false;
      auto next = std::min_element(armed_.begin(), armed_.end(),
                                   [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
      UiTimer* timer = next->first;
      const double due = next->second.due;
      SleepMs(std::min(due - NowMs(), 20.0));
      if (NowMs() < due) {
        every();
        continue;
      }
      const double now = NowMs();
      next->second.due = due + next->second.period >= now ? due + next->second.period : now + next->second.period;
      timer->tick();
      every();
    }
    return true;
  }

  std::vector<std::string> boxes;

 private:
  struct Armed {
    double due;
    int period;
  };
  std::map<UiTimer*, Armed> armed_;
};

struct Tally {
  int runs = 0, completed = 0, failedRight = 0, wrong = 0, hangs = 0;
  std::map<std::string, int> failures;  // the program's messages, by kind
  std::vector<std::string> wrongNotes;
  void fail(const std::string& message) { ++failedRight, ++failures[message]; }
  void wrongOutcome(const std::string& note) {
    ++wrong;
    if (wrongNotes.size() < 20) wrongNotes.push_back(note);
  }
};

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

// Whether a failure text is one the program defines for that failure.
bool KnownFailure(const std::string& text, const std::vector<const char*>& known) {
  for (const char* k : known)
    if (text.find(k) != std::string::npos) return true;
  return false;
}

struct Options {
  std::string workload;
  int runs = 100;
  int seconds = 600;
  double faultShare = 0.01;
  uint32_t seed = 1;
  bool disconnect = true;
  bool lossOnly = false;
  std::string work = "/tmp";
};

class Soak {
 public:
  explicit Soak(const Options& o) : o_(o) {
    Option_Init(nullptr);
    Ui_Install(&ui_);
    ModuleList_Create();
    // Errors go to message boxes, where they are counted.
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
    Option_SetInt("PLAY_SOUNDS", 0);
  }
  ~Soak() {
    CloseInterface();
    sim_.stop();
    Ui_Install(nullptr);
  }

  int run() {
    if (o_.workload == "scan") scans();
    else if (o_.workload == "upload") uploads();
    else if (o_.workload == "multi") multis();
    else if (o_.workload == "logger") logger();
    else return 2;
    return report();
  }

 private:
  // ---- the simulator and the link ----------------------------------------------

  bool connect() {
    EthMaster_SetHostName("127.0.0.1");
    EthMaster_SetPort(sim_.port());
    if (OpenInterface(kEthernet) != 0) {
      std::fprintf(stderr, "soak: cannot open the link: %s\n", GetInterfaceError());
      return false;
    }
    return true;
  }
  bool start(const SimPopulation& population) {
    sim_.setPopulation(population);
    sim_.setRebootTimeMs(20);
    if (!sim_.start()) {
      std::fprintf(stderr, "soak: cannot start the simulator: %s\n", sim_.lastError().c_str());
      return false;
    }
    if (!connect()) return false;
    // The share of faulty frames, split evenly among the three kinds (or all
    // of it dropped frames).
    SimFaults f;
    if (o_.lossOnly) {
      f.randomDropShare = o_.faultShare;
    } else {
      f.randomDropShare = f.randomCorruptShare = f.randomDelayShare = o_.faultShare / 3;
    }
    f.randomDelayMaxMs = 1500;
    f.randomSeed = o_.seed;
    sim_.setFaults(f);
    return true;
  }
  // The run (of `runs`) in which the master drops the connection, -1 for none.
  int disconnectRun(int runs) const { return o_.disconnect ? int((o_.seed * 7919u) % unsigned(runs)) : -1; }
  // After a dropped connection the technician opens the interface again.
  void reconnectIfDropped() {
    if (GetInterfaceType() == kInterfaceNone || sim_.hasClient()) return;
    CloseInterface();
    ++reconnects_;
    if (!connect()) ++tally_.hangs;  // cannot go on
  }
  bool connectionFailure(const std::string& text) const {
    return text.find("Server closed connection") != std::string::npos ||
           text.find("Can't connect") != std::string::npos;
  }
  // The resident memory once the first run is done (connection, caches and
  // allocator pools warm): the figure later ones are compared with.
  void markStart() {
    if (rssStart_ == 0) rssStart_ = StatusKb("VmRSS:");
  }
  std::vector<std::string> takeBoxes() {
    std::vector<std::string> b;
    b.swap(ui_.boxes);
    return b;
  }

  // ---- scans ------------------------------------------------------------------

  void scans() {
    SimPopulation population;
    population.busBitRates = {4};
    for (int node = 1; node <= 30; ++node) {
      SimModuleConfig c = SimModuleConfig::make(0, node * 4, uint32_t(16 + node % 5));
      c.hwVersion = uint8_t(1 + node % 3);
      population.modules.push_back(c);
    }
    if (!start(population)) return;
    const int cut = disconnectRun(o_.runs);
    for (int run = 0; run < o_.runs; ++run) {
      startRun();
      sim_.takeSentFrames();
      takeBoxes();
      const double dropAt = run == cut ? NowMs() + double(o_.seed * 7919u % 400) : -1;
      // Opening the interface again presets the scan options for it.
      Option_SetInt("SCAN_FLASHMODE", 1);
      BusScan_Start();
      const bool ended = ui_.runWhile([] { return BusScan_Running(); }, 30000, [&] {
        if (dropAt > 0 && NowMs() >= dropAt && sim_.hasClient()) sim_.closeConnection();
      });
      if (!ended) {
        ++tally_.hangs;
        BusScan_Command();
        BusScan_Command();
        continue;
      }
      checkScan(run == cut);
      reconnectIfDropped();
      markStart();
    }
  }

  void checkScan(bool cut) {
    // What reached the program: identify answers by the bytes sent.
    // Answers of the scans before that were held back (up to 1.5 s: three
    // scans) may arrive during this one: they are answers too, the protocol
    // cannot tell them apart.
    std::map<int, std::set<std::pair<unsigned, unsigned>>> answered;
    for (const auto& before : lateAnswers_)
      for (const auto& [node, ids] : before) answered[node].insert(ids.begin(), ids.end());
    if (lateAnswers_.size() >= 3) lateAnswers_.erase(lateAnswers_.begin());
    lateAnswers_.emplace_back();
    std::set<int> mustList;
    for (const SimTimedFrame& f : sim_.takeSentFrames()) {
      const uint32_t id = f.frame.id;
      if (id <= 0x680 || id > 0x680 + 127 || f.frame.len != 8 || f.frame.data[0] != Wire::VORN_CODE_IDENTIFY)
        continue;
      CanMsg m;
      m.id = id;
      m.len = 8;
      for (int i = 0; i < 8; ++i) m.data[i] = f.frame.data[i];
      const IdentifyReply r = VornProt_DecodeIdentify(m);
      const int node = int(id - 0x680);
      answered[node].insert({r.type, r.version});
      // In time for the collection, whatever held it back.
      if (f.releaseUs - f.timeUs <= 100000) mustList.insert(node);
      else lateAnswers_.back()[node].insert({r.type, r.version});
    }
    bool right = true;
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
      auto it = answered.find(rec->node);
      if (it == answered.end() || !it->second.count({rec->type, rec->version})) {
        tally_.wrongOutcome(Ui_Format("scan listed node %d (type %u, version %u) that did not answer so",
                                      rec->node, rec->type, rec->version));
        right = false;
      }
      mustList.erase(rec->node);
    }
    const std::vector<std::string> boxes = takeBoxes();
    if (cut) {
      // Answers still queued when the connection went were never delivered.
      tally_.fail("scan while the master dropped the connection (listed what arrived)");
      return;
    }
    if (!mustList.empty()) {
      tally_.wrongOutcome("scan missed node " + std::to_string(*mustList.begin()) + " that answered in time");
      right = false;
    }
    for (const std::string& b : boxes) {
      tally_.wrongOutcome("scan showed: " + OneLine(b));
      right = false;
    }
    if (right) ++tally_.completed;
  }

  // ---- uploads ------------------------------------------------------------------

  static constexpr int kUploadNode = 5;

  // Opening the interface (again) presets synchronous uploads for it.
  static void asynchronous() {
    Option_SetInt("PROGRAM_SEND_SYNC", 0);
    Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 0.1);
  }

  // A 64 KiB firmware for the SAMC21 bootloader, code bytes varied by seed.
  FwImageBlock writeImage(const std::string& path, uint32_t seed, int kib, uint8_t cpu, uint32_t type,
                          int hardware, int minor) {
    const BootCpu& part = BootCpu_For(cpu);
    FwImageLayout layout;
    layout.address = part.codeStart * (part.wordAddressed ? 2 : 1);
    layout.wordData = part.wordAddressed;
    layout.codeBytes = size_t(kib) * 1024 / (part.wordAddressed ? 2 : 1);
    layout.info.moduleType = int(type);
    layout.info.hardwareVersion = hardware;
    layout.info.softwareMajor = 3;
    layout.info.softwareMinor = minor;
    layout.seed = seed;
    HexImageBuilder builder;
    builder.addFirmware(layout);
    if (!builder.writeHexFile(path)) std::fprintf(stderr, "soak: cannot write %s\n", path.c_str());
    return builder.blocks().front();
  }

  void uploads() {
    SimPopulation population;
    population.busBitRates = {6};
    SimModuleConfig c = SimModuleConfig::make(0, kUploadNode, 0x110, 6);
    c.cpu = Wire::VORN_CPU_SAMC21;
    c.state = Wire::VORN_STATE_BOOTLOADER;
    population.modules.push_back(c);
    if (!start(population)) return;
    const std::string files[2] = {o_.work + "/soak-a.hex", o_.work + "/soak-b.hex"};
    const FwImageBlock images[2] = {writeImage(files[0], 11, 64, c.cpu, 0x110, 0, 1),
                                    writeImage(files[1], 12, 64, c.cpu, 0x110, 0, 2)};
    const std::vector<const char*> known = {"Upload error #", "Upload checksum error #",
                                            "Failed to initialize block transfer",
                                            "Failed to transmit block data",
                                            "Cannot invalidate module firmware status",
                                            "Cannot determine module CPU type"};
    const int cut = disconnectRun(o_.runs);
    for (int run = 0; run < o_.runs; ++run) {
      startRun();
      takeBoxes();
      sim_.clearTraffic();  // the simulator's logs: its memory, not the program's
      asynchronous();
      ModuleRec rec;
      rec.node = kUploadNode;
      FwUploadRun upload;
      const int which = run % 2;
      // Each upload starts in the bootloader, as after the firmware tab's restart.
      sim_.withModule(sim_.findModule(0, kUploadNode),
                      [](SimModule& m) { m.setState(Wire::VORN_STATE_BOOTLOADER); });
      const double dropAt = run == cut ? NowMs() + 200 + double(o_.seed * 7919u % 1500) : -1;
      upload.begin(rec, files[which]);
      const bool ended = ui_.runWhile([&] { return upload.active(); }, 180000, [&] {
        if (dropAt > 0 && NowMs() >= dropAt && sim_.hasClient()) sim_.closeConnection();
      });
      if (!ended) {
        ++tally_.hangs;
        upload.cancel();
        continue;
      }
      std::vector<uint8_t> flash;
      sim_.withModule(sim_.findModule(0, kUploadNode), [&](SimModule& m) {
        flash = m.bootloader().readFlash(images[which].address, images[which].bytes.size());
      });
      const std::vector<std::string> boxes = takeBoxes();
      if (upload.result() == 1) {
        if (flash == images[which].bytes) ++tally_.completed;
        else tally_.wrongOutcome("upload reported success but the flash differs from the image");
      } else {
        const std::string message = boxes.empty() ? std::string() : OneLine(boxes.back());
        if (KnownFailure(message, known) || (run == cut && connectionFailure(message)))
          tally_.fail(message.substr(0, message.find_first_of(",(")));
        else
          tally_.wrongOutcome("upload failed with: " + message);
      }
      reconnectIfDropped();
      markStart();
    }
  }

  // ---- multi-updates ------------------------------------------------------------

  void multis() {
    SimPopulation population;
    population.busBitRates = {6};
    for (int node = 1; node <= 20; ++node) {
      SimModuleConfig c = SimModuleConfig::make(0, node, 16, 6);
      c.cpu = Wire::VORN_CPU_DSPIC30F;
      c.hwVersion = 2;
      c.state = 0x85;
      c.firmwarePresent = true;
      population.modules.push_back(c);
    }
    if (!start(population)) return;
    Option_SetInt("WAIT_AFTER_MODULERESET_MS", 150);
    const std::string files[2] = {o_.work + "/soak-multi-a.hex", o_.work + "/soak-multi-b.hex"};
    const FwImageBlock images[2] = {writeImage(files[0], 21, 4, Wire::VORN_CPU_DSPIC30F, 16, 2, 1),
                                    writeImage(files[1], 22, 4, Wire::VORN_CPU_DSPIC30F, 16, 2, 2)};
    const int cut = disconnectRun(o_.runs);
    for (int run = 0; run < o_.runs; ++run) {
      startRun();
      takeBoxes();
      sim_.clearTraffic();
      asynchronous();
      const int which = run % 2;
      ModuleList_Clear();
      for (SimModuleId id : sim_.moduleIds()) {
        sim_.withModule(id, [&](SimModule& m) {
          ModuleList_Add(m.node(), 'c', m.config().type, m.config().hwVersion, m.state(), false);
        });
      }
      Option_SetWString("RECENT_HEXFILE_LIST", Text_Widen(files[which]));
      MultiUpdate mu;
      mu.open();
      mu.selectAll();
      if (!mu.start(false, 3)) {
        tally_.wrongOutcome("multi-update did not start");
        continue;
      }
      // Somewhere in the middle of the run (about 15 s for 20 modules).
      const double dropAt = run == cut ? NowMs() + 3000 + double(o_.seed * 7919u % 9000) : -1;
      const bool ended = ui_.runWhile([&] { return mu.running(); }, 900000, [&] {
        if (dropAt > 0 && NowMs() >= dropAt && sim_.hasClient()) sim_.closeConnection();
      });
      if (!ended) {
        ++tally_.hangs;
        mu.abort();
        continue;
      }
      checkMulti(mu, images[which], run == cut);
      mu.close(false, 3);
      reconnectIfDropped();
      markStart();
    }
  }

  void checkMulti(const MultiUpdate& mu, const FwImageBlock& image, bool cut) {
    int ok = 0;
    bool right = true;
    for (const MultiUpdateRow& row : mu.rows()) {
      const int node = row.rec->node;
      if (row.result.rfind("Ok", 0) == 0) {
        ++ok;
        std::vector<uint8_t> flash;
        bool valid = false;
        sim_.withModule(sim_.findModule(0, node), [&](SimModule& m) {
          flash = m.bootloader().readFlash(image.address, image.bytes.size());
          valid = m.config().firmwarePresent;
        });
        if (flash != image.bytes || !valid) {
          tally_.wrongOutcome("module " + std::to_string(node) + " reported Ok without the new image");
          right = false;
        }
      } else if (row.result.rfind("Error", 0) == 0) {
        moduleFailures_[row.result.substr(0, row.result.find(':') + 1) +
                        row.result.substr(row.result.rfind(':') + 1)]++;
      } else {
        tally_.wrongOutcome("module " + std::to_string(node) + " ended with: " + row.result);
        right = false;
      }
    }
    modulesOk_ += ok;
    modulesTotal_ += int(mu.rows().size());
    if (!right) return;
    if (ok == int(mu.rows().size())) {
      ++tally_.completed;
    } else {
      const std::vector<std::string> boxes = takeBoxes();
      const std::string summary = boxes.empty() ? "" : OneLine(boxes.back());
      if (summary.rfind("Update finished with errors", 0) == 0)
        tally_.fail(cut ? "run with the connection dropped: " + std::to_string(20 - ok) + " module(s) failed"
                        : "run with failed modules");
      else
        tally_.wrongOutcome("multi-update ended with: " + summary);
    }
  }

  // ---- logger -------------------------------------------------------------------

  // Frames as the file shows them: COB-ID, length (R for remote) and data.
  static std::string FrameKey(const SimFrame& f) {
    if (f.id & kSimErrorReportFlag) return "error";
    char text[64];
    int n = std::snprintf(text, sizeof text, "%03X %s%d", unsigned(f.id & 0x1FFFFFFF),
                          (f.id & kSimRemoteFlag) ? "R" : "#", f.len);
    for (int i = 0; i < f.len && !(f.id & kSimRemoteFlag); ++i)
      n += std::snprintf(text + n, sizeof text - size_t(n), " %02X", f.data[i]);
    return text;
  }
  // The same from a line of the log file; "" for lines that are no frame.
  static std::string LineKey(const std::string& line) {
    if (line.rfind("** Bus error:", 0) == 0) return "error";
    if (line.size() < 14 || line.compare(10, 3, "  [") != 0) return "";
    const size_t close = line.find(']', 13);
    if (close == std::string::npos) return "";
    std::string key = line.substr(13, close - 13);
    size_t at = close + 1;
    if (at + 3 > line.size()) return "";
    const bool remote = line[at + 1] == 'R';
    const int len = line[at + 2] - '0';
    key += remote ? " R" : " #";
    key += char('0' + len);
    at += 4;
    for (int i = 0; i < len && !remote; ++i) {
      if (at + 4 > line.size() || line[at] != '[') return key + " ?";
      key += ' ';
      key += line.substr(at + 1, 2);
      at += 4;
    }
    return key;
  }

  void logger() {
    SimPopulation population;
    population.busBitRates = {6};
    if (!start(population)) return;
    const std::string log = o_.work + "/soak-capture.log";
    const std::string expectedPath = o_.work + "/soak-expected.txt";
    FILE* expected = std::fopen(expectedPath.c_str(), "w");
    if (!expected) return;

    CanOpenTrafficConfig traffic;
    traffic.framesPerSecond = CanOpenTraffic_FullBusRate(6, CanOpenTraffic_AverageLength(traffic));
    traffic.seed = o_.seed;
    sim_.addTrafficSource(0, std::make_unique<CanOpenTraffic>(traffic));
    std::printf("soak: logger capture of %.0f frames/s (500 kbit/s at its physical maximum) for %d s\n",
                traffic.framesPerSecond, o_.seconds);

    long sentFrames = 0;
    auto drain = [&] {
      for (const SimTimedFrame& f : sim_.takeSentFrames()) {
        if (f.frame.isControl()) continue;  // the master's answers, no bus traffic
        std::fprintf(expected, "%s\n", FrameKey(f.frame).c_str());
        ++sentFrames;
      }
    };
    // One capture: start, record until `until`, stop after the master stopped
    // forwarding (so the last frames are in), drain what was sent.
    int captures = 0;
    long worstTickMs = 0;
    const double end = NowMs() + o_.seconds * 1000.0;
    const double dropAt = o_.disconnect ? NowMs() + (o_.seconds * 1000.0) * (0.3 + (o_.seed % 40) / 100.0) : -1;
    bool dropped = false;
    LoggerSession session;
    session.setShowLast(true);
    const double startedAt = NowMs();
    while (NowMs() < end) {
      ++captures;
      ++tally_.runs;
      takeBoxes();
      sim_.takeSentFrames();
      if (session.state() == LoggerState::Paused) session.resetRestart();  // a new start, not "Continue"
      if (!session.openLogFile(log + (captures > 1 ? "." + std::to_string(captures) : ""))) {
        tally_.wrongOutcome("cannot open the log file");
        break;
      }
      session.startStop();
      const bool finished = ui_.runWhile([&] { return session.state() == LoggerState::Running && NowMs() < end; },
                                         o_.seconds * 1000.0 + 60000, [&] {
        const double t0 = NowMs();
        drain();
        if (t0 > startedAt + 10000) markStart();
        if (!dropped && dropAt > 0 && NowMs() >= dropAt) {
          dropped = true;
          sim_.closeConnection();
        }
        worstTickMs = std::max(worstTickMs, long(NowMs() - t0));
      });
      if (!finished) ++tally_.hangs;
      const bool stillRunning = session.state() == LoggerState::Running;
      if (stillRunning) {
        // The master stops forwarding; what it sent before arrives, then the stop.
        EthMaster_SetLoggerForwarding(0);
        for (int i = 0; i < 200 && sim_.loggerForwarding() != 0; ++i) SleepMs(10);
        for (int i = 0; i < 400 && sim_.pendingSegments() > 0; ++i) SleepMs(10);
        for (int64_t before = -1; before != session.framesReceived();) {
          before = session.framesReceived();
          SleepMs(30);
          session.pollTick();
        }
        session.startStop();
      }
      drain();
      session.closeLogFile();
      const std::vector<std::string> boxes = takeBoxes();
      cut_.push_back(!stillRunning);
      if (!stillRunning) {
        const std::string message = boxes.empty() ? "" : OneLine(boxes.back());
        if (message.find("Interface error:") == 0 && connectionFailure(message))
          tally_.fail("capture ended by the dropped connection");
        else
          tally_.wrongOutcome("capture stopped with: " + message);
        reconnectIfDropped();
      } else {
        ++tally_.completed;
      }
      std::fprintf(expected, "-- end of capture\n");
    }
    std::fclose(expected);
    rssLogger_ = StatusKb("VmRSS:");
    displayLines_ = long(session.lines().count());
    session.close();
    compareLogs(log, expectedPath, captures, sentFrames);
    std::printf("soak: %d capture(s), %ld frames sent to the program, worst drain %ld ms\n", captures,
                sentFrames, worstTickMs);
  }

  // The files' frames in order against what the master sent. A capture ended
  // by the dropped connection may miss the frames that were still under way.
  void compareLogs(const std::string& log, const std::string& expectedPath, int captures, long sent) {
    std::ifstream want(expectedPath);
    long inFiles = 0, missing = 0, mismatched = 0;
    for (int c = 1; c <= captures; ++c) {
      std::ifstream got(log + (c > 1 ? "." + std::to_string(c) : ""));
      std::string line, key, expectedKey;
      bool endOfCapture = false;
      while (std::getline(got, line)) {
        key = LineKey(line);
        if (key.empty()) continue;
        ++inFiles;
        if (!std::getline(want, expectedKey) || expectedKey == "-- end of capture") {
          endOfCapture = true;
          ++mismatched;
          break;
        }
        if (key != expectedKey) {
          if (++mismatched <= 5) std::printf("soak: log has '%s' where '%s' was sent\n", key.c_str(), expectedKey.c_str());
        }
      }
      // What was sent but is not in the file.
      long rest = 0;
      while (!endOfCapture && std::getline(want, expectedKey) && expectedKey != "-- end of capture") ++rest;
      if (rest > 0) {
        std::printf("soak: capture %d: %ld frame(s) sent after the last one in its file%s\n", c, rest,
                    cut_[size_t(c - 1)] ? " (the connection dropped)" : "");
        if (cut_[size_t(c - 1)]) lostAtDisconnect_ += rest;
        else missing += rest;
      }
    }
    std::printf("soak: %ld frames in the log files, %ld sent, %ld mismatched, %ld missing, %ld lost with the "
                "dropped connection\n", inFiles, sent, mismatched, missing, lostAtDisconnect_);
    if (mismatched > 0) tally_.wrongOutcome(std::to_string(mismatched) + " logged frames differ from those sent");
    // Only a capture cut by the dropped connection may lose its last frames.
    if (missing > 0) tally_.wrongOutcome(std::to_string(missing) + " sent frames not logged");
  }

  // Counts a run; the resident memory after each quarter of the runs shows
  // whether it levels off (allocator caches and the sanitizer's quarantine
  // fill first) or keeps growing.
  void startRun() {
    const int done = tally_.runs++;
    if (o_.runs >= 4 && done > 0 && done % (o_.runs / 4) == 0) rssSteps_.push_back({done, StatusKb("VmRSS:")});
  }

  // ---- report -------------------------------------------------------------------

  int report() {
    const long rssEnd = StatusKb("VmRSS:");
    const SimServerStats s = sim_.stats();
    for (const auto& [message, count] : tally_.failures) std::printf("failed: %5d x %s\n", count, message.c_str());
    for (const auto& [message, count] : moduleFailures_) std::printf("module: %5d x %s\n", count, message.c_str());
    for (const std::string& w : tally_.wrongNotes) std::printf("WRONG: %s\n", w.c_str());
    if (modulesTotal_ > 0) std::printf("modules updated: %d of %d\n", modulesOk_, modulesTotal_);
    for (const auto& [runs, kb] : rssSteps_) std::printf("rss after %d runs: %ld kB\n", runs, kb);
    if (rssLogger_ > 0) std::printf("rss at the end of the capture %ld kB, display %ld lines\n", rssLogger_, displayLines_);
    std::printf("faults: %d of %d frames to the program dropped, %d spoiled, %d held back; %d connection(s), "
                "%d reconnect(s)\n", s.droppedToClient, s.framesToClient + s.droppedToClient, s.spoiledToClient,
                s.delayedToClient, s.connections, reconnects_);
    std::printf("RESULT workload=%s runs=%d completed=%d failed_right=%d wrong=%d hangs=%d rss_start_kb=%ld "
                "rss_end_kb=%ld lost_at_disconnect=%ld\n",
                o_.workload.c_str(), tally_.runs, tally_.completed, tally_.failedRight, tally_.wrong, tally_.hangs,
                rssStart_, rssEnd, lostAtDisconnect_);
    return tally_.wrong == 0 && tally_.hangs == 0 ? 0 : 1;
  }

  Options o_;
  SoakUi ui_;
  SimServer sim_;
  Tally tally_;
  std::map<std::string, int> moduleFailures_;
  std::vector<bool> cut_;  // per capture: ended by the dropped connection
  std::vector<std::map<int, std::set<std::pair<unsigned, unsigned>>>> lateAnswers_;  // of the scans before
  int modulesOk_ = 0, modulesTotal_ = 0, reconnects_ = 0;
  std::vector<std::pair<int, long>> rssSteps_;  // runs done, resident kB
  long rssStart_ = 0, rssLogger_ = 0, displayLines_ = 0, lostAtDisconnect_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: bench_Soak scan|upload|multi|logger [--runs N] [--seconds S] "
                         "[--faults PERCENT] [--loss-only] [--seed N] [--no-disconnect] [--work FOLDER]\n");
    return 2;
  }
  o.workload = argv[1];
  o.runs = std::atoi(ArgValue(argc, argv, "--runs", "100"));
  o.seconds = std::atoi(ArgValue(argc, argv, "--seconds", "600"));
  o.faultShare = std::atof(ArgValue(argc, argv, "--faults", "1")) / 100.0;
  o.seed = uint32_t(std::strtoul(ArgValue(argc, argv, "--seed", "1"), nullptr, 10));
  o.disconnect = !HasFlag(argc, argv, "--no-disconnect");
  o.lossOnly = HasFlag(argc, argv, "--loss-only");
  o.work = ArgValue(argc, argv, "--work", "/tmp");
  if (o.runs < 1 || o.seconds < 1) return 2;
  Session session;  // the program's state
  Soak soak(o);
  return soak.run();
}
