// SimServer: the simulated bus master with its CAN buses and modules, served
// over TCP in a thread of its own. The kvxsim program and every integration
// test and benchmark use it.
//
//   SimServer sim;                              // one bus at 125 kbit/s, no modules
//   sim.setPopulation(SimPopulation::demo());   // or addModule(...)
//   sim.setRebootTimeMs(2);                     // keep restarts fast in tests
//   ASSERT_TRUE(sim.start());                   // 127.0.0.1, ephemeral port
//   connect to 127.0.0.1:sim.port() ...
//   sim.waitForReceived(1, 500);                // the client's frame arrived
//   auto got = sim.receivedFrames();            // everything the client sent
//   sim.dropNextReplies(1);                     // fault injection
//   sim.stop();                                 // also done by the destructor
//
// Every public function is thread-safe: tests call them from their own thread
// while the server thread runs. One client at a time; a new connection
// replaces the old one. The server keeps running whatever the client sends.
//
// "Frames to the client" are all frames the master sends: module replies,
// other bus traffic it forwards and its answers to control frames. The fault
// settings apply to all of them; sendRawToClient() bypasses them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/SimFrame.h"
#include "master/ControlFaults.h"
#include "modbus/ModbusLine.h"
#include "module/SimModuleConfig.h"
#include "population/Population.h"

class BusTrafficSource;
class SimAnalogSource;
class SimModule;
class SimNetwork;
class BusMaster;
class ClientOutput;

using SimModuleId = int;  // stable handle of a module; never reused; -1 = none

// How a frame to the client is spoiled by corruptNextReplies().
enum class SimCorruption {
  LengthAbove8,   // length nibble set to SimFaults::badLengthNibble; 9 + nibble bytes are sent
  WrongCommand,   // data byte 0 XOR 0x01 (another command code)
  ShortReply,     // the last data byte is left out (length one less)
};

// Standing fault settings for frames to the client.
struct SimFaults {
  double dropShare = 0.0;   // 0..1: share of frames dropped, spread evenly (0.25 = every fourth)
  int delayMs = 0;          // every frame leaves this much later than it would
  int splitBytes = 0;       // > 0: each frame is written in pieces of at most this many bytes
  int splitGapMs = 0;       // pause between the pieces of one frame
  int batchFrames = 0;      // > 1: this many frames are written together in one segment
  int batchWaitMs = 20;     // an incomplete batch is written after this long
  int badLengthNibble = 10; // 9..15, used by SimCorruption::LengthAbove8
  // Random faults: each frame to the client independently, repeatable for a
  // seed. A spoiled frame has one data byte changed or its length one short,
  // as a master would forward a frame garbled on its way (it is logged as
  // sent). A held-back frame leaves 0..randomDelayMaxMs later; the frames
  // behind it wait for it, as on one stream.
  double randomDropShare = 0.0;
  double randomCorruptShare = 0.0;
  double randomDelayShare = 0.0;
  int randomDelayMaxMs = 1500;
  uint32_t randomSeed = 1;
};

struct SimServerStats {
  int connections = 0;        // clients accepted since start
  int keepAlives = 0;         // keep-alive control frames received
  int badFrames = 0;          // client frames with a length nibble above 8
  int unknownBusFrames = 0;   // client CAN frames for a bus the master does not have
  int unknownControl = 0;     // control frames with an unknown identifier
  int framesToClient = 0;     // frames queued for the client (not dropped)
  int segmentsToClient = 0;   // writes to the socket (a split frame takes several, a batch one)
  int droppedToClient = 0;    // frames to the client dropped by fault injection
  int spoiledToClient = 0;    // frames spoiled by the random corruption
  int delayedToClient = 0;    // frames held back by the random delay
};

class SimServer {
 public:
  SimServer();
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // ---- life cycle ---------------------------------------------------------
  // Listens on address:port (port 0 = an ephemeral port) and starts the server
  // thread. False with lastError() when the socket cannot be opened.
  bool start(const std::string& address = "127.0.0.1", int port = 0);
  void stop();
  bool running() const;
  int port() const;                 // the port actually bound; 0 before start
  std::string lastError() const;

  // ---- settings (at any time) ---------------------------------------------
  void setSilentMaster(bool silent);  // answer no control frame: a plain bridge
  void setBusTiming(bool on);         // pace frames by their time on the wire
  void setRebootTimeMs(int ms);       // how long a restarted module stays silent (default 300)
  void setZeroTimeStamps(bool zero);  // send time stamp 0 ("no time stamp") in every frame

  // ---- population ----------------------------------------------------------
  // Replaces buses and modules (module handles of the old population become invalid).
  void setPopulation(const SimPopulation& population);
  int busCount() const;
  void setBusBitRateCode(int bus, uint8_t code);
  uint8_t busBitRateCode(int bus) const;
  SimModuleId addModule(const SimModuleConfig& config);  // -1 when its bus does not exist
  bool removeModule(SimModuleId id);
  SimModuleId findModule(int bus, int node) const;       // by the node it answers on now
  std::vector<SimModuleId> moduleIds() const;
  // Presses the module's front button: it enters search mode.
  bool pressButton(SimModuleId id);
  // Wires an outside source (a simulated calibrator's output) to every analog
  // input whose signal names it with `from=`; nullptr disconnects it.
  void connectAnalogSource(const std::string& name, std::shared_ptr<const SimAnalogSource> source);
  // The population's reference source of the base calibration: its output
  // (SimReferenceSource::Output) and the SDO requests it heard; output -1
  // when the population has none.
  int referenceSourceOutput() const;
  int referenceSourceRequests() const;
  // Runs fn on the module under the server lock (inspect or change anything).
  // fn must not call back into the SimServer.
  bool withModule(SimModuleId id, const std::function<void(SimModule&)>& fn);
  // Conveniences over withModule.
  int moduleNode(SimModuleId id) const;          // -1 when unknown
  uint8_t moduleState(SimModuleId id) const;     // current state byte
  bool setObject(SimModuleId id, const SimObject& object);
  bool readObject(SimModuleId id, uint16_t index, uint8_t subindex, uint32_t& value) const;

  // ---- master state ----------------------------------------------------------
  uint8_t plcRunState() const;
  void setPlcRunState(uint8_t state);
  int loggerForwarding() const;  // last value of control frame 0x80000003 (0 after connect)
  SimServerStats stats() const;

  // ---- traffic --------------------------------------------------------------
  bool hasClient() const;
  bool waitForClient(int timeoutMs) const;           // true once a client is connected
  bool waitForConnections(int count, int timeoutMs) const;
  // Frames the client sent, decoded, in order (control frames included).
  std::vector<SimTimedFrame> receivedFrames() const;
  bool waitForReceived(size_t count, int timeoutMs) const;
  // Waits until a frame the client sent satisfies `match` (true), or the time runs out.
  bool waitForReceivedFrame(const std::function<bool(const SimFrame&)>& match, int timeoutMs) const;
  // Frames written to the client, as intended before corruption (a random
  // corruption is part of the frame as sent).
  std::vector<SimTimedFrame> sentFrames() const;
  // The frames written to the client since the last take or clear, taken
  // from the list in one step (nothing slips between reading and clearing).
  std::vector<SimTimedFrame> takeSentFrames();
  bool waitForSent(size_t count, int timeoutMs) const;
  void clearTraffic();                                // forget both lists
  // A frame appearing on a bus from some other node; it reaches the modules
  // and, by the master's forwarding rule, the client.
  void injectBusFrame(int bus, const SimFrame& frame);
  // Background traffic: the frame appears on the bus every periodMs.
  void addBusTraffic(int bus, const SimFrame& frame, int periodMs);
  // Background traffic from a source of its own (traffic/CanOpenTraffic.h);
  // the server owns it. Nothing happens for a bus the master does not have.
  void addTrafficSource(int bus, std::unique_ptr<BusTrafficSource> source);
  void clearBusTraffic();
  // Bytes written to the client exactly as given (no faults, no framing).
  void sendRawToClient(const std::vector<uint8_t>& bytes);

  // ---- other nodes on the buses (the raw CAN port) ----------------------------
  // Hears every frame completed on any bus; fromAdapter marks the frames put
  // there with adapterTransmit(). Called on the server thread with the server
  // lock held: it must be quick and must not call back into the SimServer.
  using BusTap = std::function<void(int bus, const SimFrame& frame, int64_t timeUs, bool fromAdapter)>;
  int addBusTap(BusTap tap);  // a handle for removeBusTap
  void removeBusTap(int handle);
  // A frame of a CAN adapter on the bus: it takes part in arbitration, the
  // modules hear it and the master forwards it like any other node's frame.
  void adapterTransmit(int bus, const SimFrame& frame);
  // ---- Modbus RTU line -----------------------------------------------------------
  // Opens a pseudo-terminal on which the modules of `bus` answer as Modbus RTU
  // slaves (slave address = node id, function 0x68). Returns the device path
  // for the program's serial port, "" with lastError() when it cannot. The
  // line works while the server runs; stop() closes it.
  std::string startModbus(int bus = 0);
  void stopModbus();                 // closes the line: the program's port hangs up
  std::string modbusDevice() const;  // "" while there is no line
  // Requests reach the bus and replies are written after the time their bytes
  // need at the baud rate the program set (default off: at once).
  void setModbusLineTiming(bool on);
  void setModbusSplitGapMs(int ms);  // pause between the bytes of a split reply (default 2)
  void modbusFaultNext(SimModbusFault kind, int count = 1);
  void setModbusFault(SimModbusFault kind, int every);  // every Nth reply; 0 = none
  // Well-formed requests received on the line, whole frames with their CRC.
  std::vector<std::vector<uint8_t>> modbusRequests() const;
  bool waitForModbusRequests(size_t count, int timeoutMs) const;
  SimModbusStats modbusStats() const;

  // ---- fault injection ---------------------------------------------------------
  void setFaults(const SimFaults& faults);
  SimFaults faults() const;
  void dropNextReplies(int count);
  void corruptNextReplies(SimCorruption kind, int count = 1);
  void setControlFaults(const SimControlFaults& faults);
  void closeConnection();          // closes the client connection now
  void closeMidFrame();            // writes half of the next frame, then closes
  // While held, frames to the client wait in whole segments (after splitting
  // and batching); releaseSegments(n) writes the next n, each in its own write.
  void holdOutput(bool hold);
  void releaseSegments(int count);
  int pendingSegments() const;
  bool waitForPendingSegments(int count, int timeoutMs) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};
