#include "app/QtExitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The one thing a signal handler can reach is process-wide: the end of the
// socket pair it writes the signal's number to (-1 while none is installed).
std::atomic<int> g_signalFd{-1};

void onSignal(int signo) {
  const int saved = errno;
  const int fd = g_signalFd.load();
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    (void)!::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

QtExitSignals::QtExitSignals(std::function<void(int)> onSignal_in, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal_in)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) return;
  ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
  ::fcntl(fds_[1], F_SETFL, O_NONBLOCK);
  g_signalFd.store(fds_[1]);
  notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QtExitSignals::arrived);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signo : kSignals) ::sigaction(signo, &action, nullptr);
  installed_ = true;
}

QtExitSignals::~QtExitSignals() {
  restoreHandlers();
  g_signalFd.store(-1);
  delete notifier_;
  for (int& fd : fds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void QtExitSignals::restoreHandlers() {
  if (!installed_) return;
  installed_ = false;
  for (const int signo : kSignals) ::signal(signo, SIG_DFL);
}

void QtExitSignals::arrived() {
  unsigned char byte = 0;
  int signo = 0;
  while (::read(fds_[0], &byte, 1) == 1) signo = byte;
  if (signo == 0 || !installed_) return;
  restoreHandlers();
  if (onSignal_) onSignal_(signo);
}
