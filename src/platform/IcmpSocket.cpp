#include "platform/IcmpSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Clock.h"
#include "platform/Poll.h"

IcmpSocket::~IcmpSocket() { close(); }

bool IcmpSocket::open() {
  close();
  fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  raw_ = fd_ >= 0;
  // Without the right to raw sockets: the datagram kind, where the system allows it.
  if (fd_ < 0) fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ < 0) errno_ = errno;
  return fd_ >= 0;
}

bool IcmpSocket::send(uint32_t addressNetworkOrder, const uint8_t* bytes, size_t count) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = addressNetworkOrder;
  const ssize_t n = ::sendto(fd_, bytes, count, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (n < 0) errno_ = errno;
  return n == ssize_t(count);
}

int IcmpSocket::waitReadable(int timeoutMs) {
  const int r = Poll_WaitReadableUntil(fd_, Clock_NowMs() + timeoutMs);
  if (r < 0) errno_ = errno;
  return r;
}

int IcmpSocket::receive(uint8_t* buffer, size_t size) {
  const ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
  if (n < 0) errno_ = errno;
  return n < 0 ? -1 : int(n);
}

void IcmpSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
