// The serial port on POSIX termios: real UARTs, USB adapters and the
// pseudo-terminals the emulator serves.
//
// COM port numbering. COM1..COM16 map onto the host's serial devices in this
// order (ListDevices):
//   1. /dev/ttyS<n>   that have a real UART behind them (TIOCGSERIAL reports a
//                     port type other than PORT_UNKNOWN), by n ascending;
//   2. /dev/ttyUSB<n> by n ascending;
//   3. /dev/ttyACM<n> by n ascending.
// A device path given explicitly (tmv-cli --port /dev/...) bypasses the list.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <utility>
#include <vector>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "platform/SerialPort.h"

namespace tmv {

namespace {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct SpeedEntry {
  int baud;
  speed_t code;
};

// The rates the platform can set; an unlisted rate gets the nearest one.
const std::vector<SpeedEntry>& Speeds() {
  static const std::vector<SpeedEntry> table = {
      {300, B300},     {600, B600},       {1200, B1200},     {1800, B1800},  {2400, B2400},
      {4800, B4800},   {9600, B9600},     {19200, B19200},
#ifdef B28800
      {28800, B28800},
#endif
      {38400, B38400},
#ifdef B57600
      {57600, B57600},
#endif
#ifdef B115200
      {115200, B115200},
#endif
#ifdef B230400
      {230400, B230400},
#endif
  };
  return table;
}

speed_t SpeedCode(int baud) {
  const auto& table = Speeds();
  const SpeedEntry* best = &table.front();
  long bestDiff = -1;
  for (const auto& e : table) {
    const long diff = std::labs(static_cast<long>(e.baud) - baud);
    // Ties go to the faster rate (28800 -> 38400 where 28800 is missing).
    if (bestDiff < 0 || diff < bestDiff || (diff == bestDiff && e.baud > best->baud)) {
      best = &e;
      bestDiff = diff;
    }
  }
  return best->code;
}

class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort(int fd, const termios& original) : fd_(fd), original_(original) {}
  ~PosixSerialPort() override { Close(); }

  bool Apply(const LineSettings& settings) override {
    if (fd_ < 0) return false;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    // Raw 8N1, no parity, no flow control of any kind, receiver on, modem
    // lines ignored: the loggers' line as the protocol expects it.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | INPCK);
    t.c_iflag |= IGNPAR;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);  // DTR is ours to drive, not the close's
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t code = SpeedCode(settings.baud);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    const bool applied = tcsetattr(fd_, TCSANOW, &t) == 0;
    SetModemLines(settings.rtsMode);
    settings_ = settings;
    return applied;
  }

  LineSettings Current() const override { return settings_; }

  size_t ReadUntil(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete) override {
    if (fd_ < 0 || buffer == nullptr || maxBytes == 0) return 0;
    const int64_t limit = static_cast<int64_t>(settings_.readMultiplierMs) * static_cast<int64_t>(maxBytes) +
                          settings_.readConstantMs;
    const int64_t deadline = NowMs() + std::max<int64_t>(limit, 0);
    // Bytes an earlier read left behind come first.
    size_t got = std::min(maxBytes, pending_.size());
    std::copy(pending_.begin(), pending_.begin() + static_cast<long>(got), buffer);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(got));
    size_t asked = 0;  // bytes the completion has already seen
    while (true) {
      if (complete && got > asked) {
        asked = got;
        const size_t done = std::min(complete(buffer, got), got);
        if (done > 0) {
          // What came with the reply but is not part of it waits for the next read.
          pending_.insert(pending_.begin(), buffer + done, buffer + got);
          return done;
        }
      }
      if (got >= maxBytes) break;
      const ssize_t n = ::read(fd_, buffer + got, maxBytes - got);
      if (n > 0) {
        got += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // A read error reads as no bytes more; EIO is a device that went away.
        if (errno == EIO || errno == ENXIO || errno == ENODEV) lost_ = true;
        break;
      }
      const int64_t remaining = deadline - NowMs();
      if (remaining <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(remaining, 60000)));
      if (r < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (r == 0) break;  // total time-out
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // A hang-up (the far end of a pty went away): what is still buffered
        // comes first; after it a read brings nothing, ever. The time-out is
        // waited out as a silent line would, without spinning.
        const ssize_t m = ::read(fd_, buffer + got, maxBytes - got);
        if (m > 0) {
          got += static_cast<size_t>(m);
          continue;
        }
        lost_ = true;
        const int64_t rest = deadline - NowMs();
        if (rest > 0) ::poll(nullptr, 0, static_cast<int>(std::min<int64_t>(rest, 60000)));
        break;
      }
    }
    return got;
  }

  size_t Write(const uint8_t* data, size_t count) override {
    if (fd_ < 0 || data == nullptr || count == 0) return 0;
    const int64_t limit = static_cast<int64_t>(settings_.writeMultiplierMs) * static_cast<int64_t>(count) +
                          settings_.writeConstantMs;
    const int64_t deadline = NowMs() + std::max<int64_t>(limit, 1);
    size_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, data + done, count - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      const int64_t remaining = deadline - NowMs();
      if (remaining <= 0) break;
      pollfd p{fd_, POLLOUT, 0};
      const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(remaining, 60000)));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      if ((p.revents & POLLOUT) == 0) break;
    }
    // Let the bytes leave before the caller starts timing the reply.
    tcdrain(fd_);
    return done;
  }

  bool Lost() const override { return lost_; }

  void Close() override {
    pending_.clear();
    if (fd_ < 0) return;
    SetModemLines(0);
    tcsetattr(fd_, TCSANOW, &original_);
    // tcsetattr of the original settings may raise RTS again; leave it down.
    SetModemLines(0);
#ifdef TIOCNXCL
    ioctl(fd_, TIOCNXCL);
#endif
    ::close(fd_);
    fd_ = -1;
  }

 private:
  // DTR always off; RTS on for every mode but "disable". Pseudo-terminals
  // have no modem lines and refuse these calls, which is harmless.
  void SetModemLines(int rtsMode) {
    int dtr = TIOCM_DTR;
    ioctl(fd_, TIOCMBIC, &dtr);
    int rts = TIOCM_RTS;
    ioctl(fd_, rtsMode == 0 ? TIOCMBIC : TIOCMBIS, &rts);
  }

  int fd_ = -1;
  termios original_{};
  LineSettings settings_;
  std::vector<uint8_t> pending_;  // read from the device but not yet asked for
  bool lost_ = false;             // a hang-up or a device error was seen
};

// "/dev/ttyUSB12" -> 12 when the name is prefix + digits only.
bool DeviceNumber(const std::string& name, const std::string& prefix, long& number) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  number = std::strtol(digits.c_str(), nullptr, 10);
  return true;
}

std::vector<std::string> DevicesWithPrefix(const std::string& prefix) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* dir = opendir("/dev")) {
    while (dirent* e = readdir(dir)) {
      long n = 0;
      if (DeviceNumber(e->d_name, prefix, n)) found.emplace_back(n, "/dev/" + std::string(e->d_name));
    }
    closedir(dir);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

// The kernel creates ttyS0..ttyS31 whether or not a UART is fitted.
bool HasRealUart(const std::string& device) {
#ifdef __linux__
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  serial_struct info{};
  const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return real;
#else
  (void)device;
  return true;
#endif
}

}  // namespace

std::vector<std::string> PosixSerialSystem::ListDevices() {
  std::vector<std::string> out;
  for (auto& d : DevicesWithPrefix("ttyS"))
    if (HasRealUart(d)) out.push_back(std::move(d));
  for (auto& d : DevicesWithPrefix("ttyUSB")) out.push_back(std::move(d));
  for (auto& d : DevicesWithPrefix("ttyACM")) out.push_back(std::move(d));
  return out;
}

std::vector<SerialDeviceInfo> PosixSerialSystem::DescribeDevices() { return DescribeSerialDevices(ListDevices()); }

std::unique_ptr<SerialPort> PosixSerialSystem::Open(const std::string& device, const LineSettings& settings) {
  if (device.empty()) return nullptr;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios original{};
  if (!isatty(fd) || tcgetattr(fd, &original) != 0) {
    ::close(fd);
    return nullptr;
  }
#ifdef TIOCEXCL
  // Not shared: a second opener (another program) gets EBUSY.
  if (ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return nullptr;
  }
#endif
  auto port = std::make_unique<PosixSerialPort>(fd, original);
  port->Apply(settings);
  return port;
}

}  // namespace tmv
