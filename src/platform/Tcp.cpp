#include "platform/Tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/Poll.h"

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Time left of a wait that started at start; -1 stays "no limit".
int remainingMs(int timeoutMs, int64_t start) {
  if (timeoutMs < 0) return -1;
  const int64_t left = start + timeoutMs - nowMs();
  return left > 0 ? int(left) : 0;
}

bool setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string errorText(const char* what, int err) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "%s: %s", what, std::strerror(err));
  return buf;
}

// RFC 6761: ".invalid" names never resolve, and resolvers are not asked.
bool isReservedInvalid(std::string host) {
  for (char& c : host) c = char(std::tolower(static_cast<unsigned char>(c)));
  while (!host.empty() && host.back() == '.') host.pop_back();
  const std::string suffix = ".invalid";
  return host == "invalid" ||
         (host.size() > suffix.size() &&
          host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0);
}

}  // namespace

bool Tcp_ResolveIPv4(const std::string& host, uint32_t* addressNetworkOrder, std::string* error) {
  const auto failWith = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (host.empty()) return failWith("No host name given");
  if (host.find('\0') != std::string::npos) return failWith("Host name contains a NUL byte");

  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) {
    *addressNetworkOrder = dotted.s_addr;
    return true;
  }
  if (isReservedInvalid(host)) return failWith("Host '" + host + "' is in the reserved .invalid domain");

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    const std::string why = rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc);
    if (found) ::freeaddrinfo(found);
    return failWith("Cannot resolve host '" + host + "': " + why);
  }
  *addressNetworkOrder = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return true;
}

std::string Tcp_AddressText(uint32_t addressNetworkOrder) {
  in_addr a{};
  a.s_addr = addressNetworkOrder;
  char buf[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

// ---- TcpSocket --------------------------------------------------------------

TcpSocket::TcpSocket(int fd) : fd_(fd) {
  if (fd_ >= 0) setNonBlocking(fd_);
}

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept { *this = std::move(other); }

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    lastErrno_ = other.lastErrno_;
    lastError_ = std::move(other.lastError_);
  }
  return *this;
}

bool TcpSocket::fail(int err, const char* what) {
  lastErrno_ = err;
  lastError_ = errorText(what, err);
  return false;
}

bool TcpSocket::create() {
  close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return fail(errno, "Cannot create socket");
  return true;
}

bool TcpSocket::connect(uint32_t addressNetworkOrder, uint16_t port, int timeoutMs) {
  if (!isOpen() && !create()) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = addressNetworkOrder;
  const int64_t start = nowMs();
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) {
    const int err = errno;
    close();
    return fail(err, "Cannot connect");
  }
  // The outcome arrives as writability; SO_ERROR tells which.
  const int r = Poll_WaitWritable(fd_, remainingMs(timeoutMs, start));
  int err = 0;
  if (r < 0) {
    err = errno;
  } else if (r == 0) {
    err = ETIMEDOUT;
  } else {
    err = pendingError();
  }
  if (err != 0) {
    close();
    return fail(err, "Cannot connect");
  }
  return true;
}

bool TcpSocket::setNoDelay(bool on) {
  const int flag = on ? 1 : 0;
  if (::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag) != 0) {
    return fail(errno, "Cannot set TCP_NODELAY");
  }
  return true;
}

bool TcpSocket::sendAll(const void* data, size_t length, int timeoutMs) {
  if (!isOpen()) return fail(EBADF, "Cannot send");
  const auto* bytes = static_cast<const unsigned char*>(data);
  const int64_t start = nowMs();
  size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd_, bytes + sent, length - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return fail(errno, "Cannot send");
    const int wait = remainingMs(timeoutMs, start);
    if (wait == 0) return fail(ETIMEDOUT, "Cannot send");
    if (Poll_WaitWritable(fd_, wait) < 0) return fail(errno, "Cannot send");
  }
  return true;
}

int TcpSocket::waitReadable(int timeoutMs) {
  const int r = Poll_WaitReadable(fd_, timeoutMs);
  if (r < 0) fail(errno, "Cannot wait for data");
  return r;
}

int TcpSocket::readAvailable(void* buffer, size_t maxBytes) {
  if (!isOpen()) {
    fail(EBADF, "Cannot receive");
    return -1;
  }
  if (buffer == nullptr || maxBytes == 0) return 0;
  const size_t limit = maxBytes < size_t(INT_MAX) ? maxBytes : size_t(INT_MAX);
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, limit, MSG_DONTWAIT);
    if (n > 0) return int(n);
    if (n == 0) {
      lastErrno_ = 0;
      lastError_ = "The peer closed the connection";
      return kPeerClosed;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    fail(errno, "Cannot receive");
    return -1;
  }
}

int TcpSocket::pendingError() const {
  if (fd_ < 0) return EBADF;
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
  return err;
}

void TcpSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// ---- TcpListener ------------------------------------------------------------

TcpListener::~TcpListener() { close(); }

bool TcpListener::fail(int err, const char* what) {
  lastErrno_ = err;
  lastError_ = errorText(what, err);
  return false;
}

bool TcpListener::listenLoopback(uint16_t port, int backlog) {
  close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return fail(errno, "Cannot create socket");
  const int yes = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(fd_, backlog) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
    const int err = errno;
    close();
    return fail(err, "Cannot listen");
  }
  port_ = ntohs(at.sin_port);
  return true;
}

TcpSocket TcpListener::accept(int timeoutMs) {
  if (!isOpen()) {
    fail(EBADF, "Cannot accept");
    return TcpSocket();
  }
  const int64_t start = nowMs();
  for (;;) {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) return TcpSocket(fd);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      fail(errno, "Cannot accept");
      return TcpSocket();
    }
    const int wait = remainingMs(timeoutMs, start);
    if (wait == 0) {
      fail(ETIMEDOUT, "No connection to accept");
      return TcpSocket();
    }
    if (Poll_WaitReadable(fd_, wait) < 0) {
      fail(errno, "Cannot accept");
      return TcpSocket();
    }
  }
}

void TcpListener::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  port_ = 0;
}
