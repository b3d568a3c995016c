#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/Clock.h"
#include "platform/Poll.h"
#include "support/TestEnvironment.h"

namespace {

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    closeWriter();
    ::close(fds_[0]);
  }
  int reader() const { return fds_[0]; }
  void put(char c) { ASSERT_EQ(::write(fds_[1], &c, 1), 1); }
  void closeWriter() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace

TEST(Poll, WaitReadableReportsDataHangUpTimeOutAndBadDescriptors) {
  Pipe pipe;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Poll_WaitReadable(pipe.reader(), 3), 0);
  EXPECT_GE(ElapsedMs(start), 3);
  EXPECT_EQ(Poll_WaitReadable(pipe.reader(), 0), 0);

  pipe.put('x');
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Poll_WaitReadable(pipe.reader(), 5000), 1);
  EXPECT_LT(ElapsedMs(start), 1000);

  Pipe closed;
  closed.closeWriter();
  EXPECT_EQ(Poll_WaitReadable(closed.reader(), 5000), 1) << "end of stream is readable";

  errno = 0;
  EXPECT_EQ(Poll_WaitReadable(-1, 10), -1);
  EXPECT_EQ(errno, EBADF);
  int spare[2];
  ASSERT_EQ(::pipe(spare), 0);
  ::close(spare[0]);
  ::close(spare[1]);
  EXPECT_EQ(Poll_WaitReadable(spare[0], 10), -1) << "a closed descriptor";
  EXPECT_EQ(errno, EBADF);
}

TEST(Poll, WaitUntilADeadlineOfTheProgramClock) {
  Pipe pipe;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Poll_WaitReadableUntil(pipe.reader(), Clock_NowMs() - 10), 0);
  EXPECT_EQ(Poll_WaitReadableUntil(pipe.reader(), Clock_NowMs() + 3), 0);
  EXPECT_GE(ElapsedMs(start), 2);
  pipe.put('x');
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Poll_WaitReadableUntil(pipe.reader(), Clock_NowMs() + 5000), 1);
  EXPECT_LT(ElapsedMs(start), 1000);
}

TEST(Poll, UnderAManualClockASilentPeerCostsOnlyTheGrace) {
  ManualClock clock{5000};
  Clock_Install(&clock);
  clock.setPeerGraceMs(2);
  Pipe pipe;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Poll_WaitReadableUntil(pipe.reader(), 6000), 0);
  EXPECT_LT(ElapsedMs(start), 500);
  EXPECT_EQ(Clock_NowMs(), 6000) << "the wait used up the time-out on the program clock";

  pipe.put('x');
  EXPECT_EQ(Poll_WaitReadableUntil(pipe.reader(), 7000), 1);
  EXPECT_EQ(Clock_NowMs(), 6000) << "an answer costs no program time";
}
