// Waiting for a descriptor to become readable without spinning.
//
// Results: 1 = readable (a read will not block: data, end of stream or an error
// condition is pending), 0 = the time ran out, -1 = the wait itself failed
// (errno is set; a descriptor that is not open gives EBADF).
#pragma once

#include <cstdint>

// Waits up to timeoutMs of real time (0 = just look, negative = no limit).
int Poll_WaitReadable(int fd, int timeoutMs);

// Waits up to timeoutMs of real time until data can be written (hang-up and
// error conditions count as writable: the write reports them).
int Poll_WaitWritable(int fd, int timeoutMs);

// Waits until the descriptor is readable or the program clock (Clock_NowMs)
// reaches deadlineMs; a deadline already passed just looks once.
//
// With a manual clock installed the program clock does not move by itself, so
// the wait polls real time for at most the clock's peer grace and then, when
// nothing arrived, advances the manual clock to the deadline and reports the
// time-out. A peer that answers within the grace is seen at once; a silent peer
// costs the grace instead of the whole time-out.
int Poll_WaitReadableUntil(int fd, int64_t deadlineMs);

// Lets ms of real time pass, whatever clock is installed.
void Poll_PauseRealMs(int ms);
