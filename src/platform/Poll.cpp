#include "platform/Poll.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/Clock.h"

namespace {

int64_t realNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int clampMs(int64_t ms) { return ms > INT_MAX ? INT_MAX : int(ms); }

// One poll() for the events, restarted after signals with the time left.
int pollFor(int fd, short events, int timeoutMs) {
  if (fd < 0) {
    errno = EBADF;
    return -1;
  }
  const int64_t end = timeoutMs > 0 ? realNowMs() + timeoutMs : 0;
  for (;;) {
    pollfd p{fd, events, 0};
    int wait = timeoutMs;
    if (timeoutMs > 0) {
      const int64_t left = end - realNowMs();
      wait = left > 0 ? clampMs(left) : 0;
    }
    const int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) {
      errno = EBADF;
      return -1;
    }
    // Hang-up and error conditions count as ready: the read or write reports them.
    return 1;
  }
}

int pollReadable(int fd, int timeoutMs) { return pollFor(fd, POLLIN, timeoutMs); }

}  // namespace

int Poll_WaitReadable(int fd, int timeoutMs) { return pollReadable(fd, timeoutMs); }

int Poll_WaitWritable(int fd, int timeoutMs) { return pollFor(fd, POLLOUT, timeoutMs); }

void Poll_PauseRealMs(int ms) {
  if (ms > 0) ::poll(nullptr, 0, ms);
}

int Poll_WaitReadableUntil(int fd, int64_t deadlineMs) {
  const int64_t left = deadlineMs - Clock_NowMs();
  if (left <= 0) return pollReadable(fd, 0);
  const int grace = Clock_PeerGraceMs();
  if (grace < 0) return pollReadable(fd, clampMs(left));

  const int r = pollReadable(fd, left < grace ? int(left) : grace);
  if (r == 0) Clock_SleepMs(deadlineMs - Clock_NowMs());
  return r;
}

