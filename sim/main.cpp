// tmv-logger-sim: serves an emulated logger on a pseudo-terminal.
// The slave path is the first line of standard output; the server runs until
// it is sent SIGTERM or SIGINT.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sim/LoggerEmulator.h"
#include "sim/PtyServer.h"
#include "sim/ServerOptions.h"

namespace {

using tmv::sim::LoggerEmulator;

int BaudOf(speed_t s) {
  switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
#ifdef B28800
    case B28800: return 28800;
#endif
    default: return 0;
  }
}

// The terminal speed of a rate the pty can carry; 0 for any other rate.
speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
  }
}

tmv::LoggerTime HostTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tmv::LoggerTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_mon + 1),
                         static_cast<uint16_t>(tm.tm_wday), static_cast<uint16_t>(tm.tm_mday),
                         static_cast<uint16_t>(tm.tm_hour), static_cast<uint16_t>(tm.tm_min),
                         static_cast<uint16_t>(tm.tm_sec), 0};
}

}  // namespace

int main(int argc, char** argv) {
  tmv::sim::ServerOptions options;
  std::string error;
  if (!tmv::sim::ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "tmv-logger-sim: %s\n%s", error.c_str(), tmv::sim::ServerUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(tmv::sim::ServerUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("tmv-logger-sim " TMV_VERSION_TEXT);
    return 0;
  }
  const tmv::sim::Profile& profile = options.profile;
  const int record = options.record;
  LoggerEmulator emulator(profile, HostTime());
  emulator.faults() = options.faults;
  emulator.SetTimeScale(options.timeScale, 0);
  emulator.SetPaced(options.paced);

  tmv::sim::TakeStopSignalsSynchronously();
  tmv::sim::PtyServer pty;
  if (!OpenPtyServer("tmv-logger-sim", SpeedOf(profile.baud), pty)) return 1;
  const int master = pty.master;

  std::printf("%s\n", pty.slavePath.c_str());
  std::fflush(stdout);

  if (record >= 0) emulator.RecordSamples(record, 0);

  const auto origin = std::chrono::steady_clock::now();
  auto nowMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - origin).count();
  };
  auto hostBaud = [&] {
    termios t{};
    if (tcgetattr(master, &t) != 0) return 0;
    return BaudOf(cfgetospeed(&t));
  };

  std::string pendingOut;  // bytes the terminal could not take yet
  std::vector<uint8_t> buffer(4096);
  for (;;) {
    if (tmv::sim::StopRequested()) break;

    int timeout = 20;
    const int64_t next = emulator.NextByteTimeMs();
    if (next >= 0) timeout = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(timeout, next - nowMs())));
    if (!pendingOut.empty()) timeout = std::min(timeout, 5);
    pollfd pfd{master, POLLIN, 0};
    const int ready = poll(&pfd, 1, timeout);
    if (ready > 0 && (pfd.revents & POLLIN)) {
      const ssize_t n = read(master, buffer.data(), buffer.size());
      // Over a cable the host's write returns once its bytes have left, so
      // the last of them reaches the logger as the host starts timing the
      // reply. A pseudo-terminal takes them at once: they are dated back by
      // their line time, or at slow rates every reply would come late.
      const int baud = hostBaud();
      const int64_t lineMs = baud > 0 ? static_cast<int64_t>(n) * 10000 / baud : 0;
      if (n > 0) emulator.Receive(buffer.data(), static_cast<size_t>(n), baud, nowMs() - lineMs);
    } else if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
      usleep(10000);
    }

    size_t n;
    while (pendingOut.size() < (1u << 20) &&
           (n = emulator.Transmit(buffer.data(), buffer.size(), nowMs())) > 0) {
      // Bytes sent at another rate than the host listens at arrive as garbage.
      const bool garbled = emulator.Baud() != hostBaud();
      for (size_t i = 0; i < n; ++i)
        pendingOut.push_back(static_cast<char>(garbled ? ((buffer[i] | 0x80) ^ 0x5A) : buffer[i]));
    }
    tmv::sim::WritePending(master, pendingOut);
  }
  return 0;
}
