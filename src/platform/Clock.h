// Time for the whole program: a monotonic millisecond tick, sleeping and the
// local wall-clock time. Tests install a ManualClock so that fixed waits cost
// nothing and time stamps are predictable.
#pragma once

#include <cstdint>

struct LocalTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int millisecond = 0;
  int weekday = 0;  // 0 = Sunday
};

class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual int64_t nowMs() = 0;
  virtual void sleepMs(int64_t ms) = 0;
  virtual LocalTime localTime() = 0;
  // nowMs() when the clock started: for the system clock the program's start.
  virtual int64_t startMs() const = 0;
  // How long (real ms) a wait for a peer under this clock may last before the
  // clock jumps to the wait's deadline; -1 for a clock that moves by itself.
  virtual int peerGraceMs() const { return -1; }
};

// Monotonic milliseconds since an arbitrary start.
int64_t Clock_NowMs();
// Milliseconds since the program started (since a manual clock was made).
int64_t Clock_SinceStartMs();
// Sleeps at least ms milliseconds (nothing for ms <= 0).
void Clock_SleepMs(int64_t ms);
// Local date and time now.
LocalTime Clock_LocalTime();

// Installs a clock (nullptr restores the system clock). The caller keeps ownership.
void Clock_Install(ClockSource* clock);
// True while a clock other than the system clock is installed.
bool Clock_IsManual();
// The installed clock's peer grace (ClockSource::peerGraceMs).
int Clock_PeerGraceMs();

// A clock that moves only when told to; sleeping advances it instantly.
class ManualClock : public ClockSource {
 public:
  explicit ManualClock(int64_t startMs = 1000, LocalTime local = defaultLocal());
  int64_t nowMs() override { return now_; }
  void sleepMs(int64_t ms) override;
  LocalTime localTime() override;
  int64_t startMs() const override { return start_; }
  void advance(int64_t ms);
  void setLocal(const LocalTime& t) { local_ = t; localBase_ = now_; }
  // Peers (the simulator, a pseudo-terminal's other end) get this much real
  // time to answer before a wait jumps to its deadline. The default is
  // generous, so that a loaded machine never turns an answer into a time-out;
  // a test that expects a time-out sets a small grace.
  int peerGraceMs() const override { return grace_; }
  void setPeerGraceMs(int ms) { grace_ = ms < 0 ? 0 : ms; }

  static LocalTime defaultLocal();

 private:
  int64_t now_;
  int64_t start_;
  LocalTime local_;
  int64_t localBase_;
  int grace_ = 2000;
};
