#include "sim/PtyServer.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tmv::sim {

PtyServer::~PtyServer() {
  if (slave >= 0) close(slave);
  if (master >= 0) close(master);
}

namespace {
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}
}  // namespace

void TakeStopSignalsSynchronously() {
  const sigset_t set = StopSignals();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
  sigset_t pending;
  sigpending(&pending);
  return sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT);
}

bool OpenPtyServer(const char* program, speed_t speed, PtyServer& pty) {
  pty.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
    std::fprintf(stderr, "%s: pseudo-terminal: ", program);
    std::perror(nullptr);
    return false;
  }
  const char* name = ptsname(pty.master);
  if (name == nullptr) {
    std::fprintf(stderr, "%s: ptsname: ", program);
    std::perror(nullptr);
    return false;
  }
  pty.slavePath = name;
  pty.slave = open(name, O_RDWR | O_NOCTTY);
  if (pty.slave < 0) {
    std::fprintf(stderr, "%s: open slave: ", program);
    std::perror(nullptr);
    return false;
  }
  termios raw{};
  tcgetattr(pty.slave, &raw);
  cfmakeraw(&raw);
  if (speed != B0) {
    cfsetispeed(&raw, speed);
    cfsetospeed(&raw, speed);
  }
  tcsetattr(pty.slave, TCSANOW, &raw);
  fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
  return true;
}

void WritePending(int master, std::string& pending) {
  while (!pending.empty()) {
    const ssize_t w = write(master, pending.data(), pending.size());
    if (w <= 0) break;
    pending.erase(0, static_cast<size_t>(w));
  }
}

}  // namespace tmv::sim
