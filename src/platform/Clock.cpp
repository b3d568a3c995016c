#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class SystemClock : public ClockSource {
 public:
  int64_t nowMs() override { return steadyMs(); }
  // Made while the program starts, before main().
  int64_t startMs() const override { return start_; }
  void sleepMs(int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  LocalTime localTime() override {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.weekday = tm.tm_wday;
    t.millisecond = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
  }

 private:
  const int64_t start_ = steadyMs();
};

SystemClock g_system;
ClockSource* g_clock = &g_system;

}  // namespace

int64_t Clock_NowMs() { return g_clock->nowMs(); }
int64_t Clock_SinceStartMs() { return g_clock->nowMs() - g_clock->startMs(); }
void Clock_SleepMs(int64_t ms) { g_clock->sleepMs(ms); }
LocalTime Clock_LocalTime() { return g_clock->localTime(); }
void Clock_Install(ClockSource* clock) { g_clock = clock ? clock : &g_system; }
bool Clock_IsManual() { return g_clock != &g_system; }
int Clock_PeerGraceMs() { return g_clock->peerGraceMs(); }

ManualClock::ManualClock(int64_t startMs, LocalTime local)
    : now_(startMs), start_(startMs), local_(local), localBase_(startMs) {}

void ManualClock::sleepMs(int64_t ms) {
  if (ms > 0) now_ += ms;
}

void ManualClock::advance(int64_t ms) { now_ += ms; }

LocalTime ManualClock::defaultLocal() {
  LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 6;
  t.hour = 12;
  t.weekday = 0;
  return t;
}

LocalTime ManualClock::localTime() {
  // The wall clock moves with the tick clock from the moment it was set.
  std::tm tm{};
  tm.tm_year = local_.year - 1900;
  tm.tm_mon = local_.month - 1;
  tm.tm_mday = local_.day;
  tm.tm_hour = local_.hour;
  tm.tm_min = local_.minute;
  tm.tm_sec = local_.second;
  const int64_t elapsed = now_ - localBase_ + local_.millisecond;
  const int64_t extraSecs = elapsed >= 0 ? elapsed / 1000 : -((-elapsed + 999) / 1000);
  const int ms = int(elapsed - extraSecs * 1000);
  std::time_t secs = timegm(&tm) + extraSecs;
  std::tm out{};
  gmtime_r(&secs, &out);
  LocalTime t;
  t.year = out.tm_year + 1900;
  t.month = out.tm_mon + 1;
  t.day = out.tm_mday;
  t.hour = out.tm_hour;
  t.minute = out.tm_min;
  t.second = out.tm_sec;
  t.weekday = out.tm_wday;
  t.millisecond = ms;
  return t;
}
