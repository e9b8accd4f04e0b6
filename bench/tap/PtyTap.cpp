// A pseudo-terminal between a client and a serial device that counts what
// crosses it: bytes each way, and exchanges (every burst the client sends
// after the device has answered). The benchmark divides a command's time by
// the line time of these bytes plus the device's latency per exchange.
//
// Usage: tmv-pty-tap DEVICE COUNTS-FILE [TRACE-FILE]
// Prints the client's device path on stdout; on SIGTERM or SIGINT writes
// "sent N received N exchanges N" to COUNTS-FILE and exits. A trace file gets
// every burst with its time in milliseconds, direction and bytes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

// The client's rate goes on to the device, so that the device hears at it.
void MirrorSpeed(int from, int to) {
  termios a{}, b{};
  if (tcgetattr(from, &a) != 0 || tcgetattr(to, &b) != 0) return;
  if (cfgetospeed(&a) == cfgetospeed(&b)) return;
  cfsetispeed(&b, cfgetospeed(&a));
  cfsetospeed(&b, cfgetospeed(&a));
  tcsetattr(to, TCSANOW, &b);
}

void Trace(FILE* f, const char* direction, const char* data, ssize_t n) {
  if (f == nullptr) return;
  using namespace std::chrono;
  static const auto origin = steady_clock::now();
  std::fprintf(f, "%8.1f %s ", duration<double, std::milli>(steady_clock::now() - origin).count(), direction);
  for (ssize_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c >= 32 && c < 127) std::fputc(c, f);
    else std::fprintf(f, "<%02X>", c);
  }
  std::fputc('\n', f);
}

bool WriteAll(int fd, const char* data, ssize_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, data, static_cast<size_t>(n));
    if (w < 0) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 10);
      continue;
    }
    data += w;
    n -= w;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: tmv-pty-tap DEVICE COUNTS-FILE [TRACE-FILE]\n");
    return 2;
  }
  FILE* trace = argc == 4 ? std::fopen(argv[3], "w") : nullptr;
  const int device = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (device < 0) {
    std::perror("tmv-pty-tap: device");
    return 1;
  }
  termios raw{};
  tcgetattr(device, &raw);
  cfmakeraw(&raw);
  tcsetattr(device, TCSANOW, &raw);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("tmv-pty-tap: pty");
    return 1;
  }
  const std::string clientPath = ptsname(master);
  // Holding the client's end open keeps the master readable between clients.
  const int keep = open(clientPath.c_str(), O_RDWR | O_NOCTTY);
  tcgetattr(keep, &raw);
  cfmakeraw(&raw);
  tcsetattr(keep, TCSANOW, &raw);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::printf("%s\n", clientPath.c_str());
  std::fflush(stdout);

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  long sent = 0, received = 0, exchanges = 0;
  bool answered = true;  // the first burst from the client starts an exchange
  char buffer[4096];
  while (!stopRequested) {
    pollfd p[2] = {{master, POLLIN, 0}, {device, POLLIN, 0}};
    if (poll(p, 2, 20) < 0) continue;
    MirrorSpeed(master, device);
    if (p[0].revents & POLLIN) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        if (answered) ++exchanges;
        answered = false;
        sent += n;
        Trace(trace, ">", buffer, n);
        WriteAll(device, buffer, n);
      }
    }
    if (p[1].revents & POLLIN) {
      const ssize_t n = read(device, buffer, sizeof buffer);
      if (n > 0) {
        answered = true;
        received += n;
        Trace(trace, "<", buffer, n);
        WriteAll(master, buffer, n);
      }
    }
    if ((p[0].revents & POLLHUP) && !(p[0].revents & POLLIN)) usleep(1000);
  }
  if (FILE* f = std::fopen(argv[2], "w")) {
    std::fprintf(f, "sent %ld received %ld exchanges %ld\n", sent, received, exchanges);
    std::fclose(f);
  }
  if (trace) std::fclose(trace);
  close(keep);
  close(master);
  close(device);
  return 0;
}
