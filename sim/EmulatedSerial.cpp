// The emulated logger behind the serial-port interface on a virtual clock.
// A read waits in virtual time: it returns as soon as the bytes asked for
// are due, or when the port's total time-out has run out.
#include <algorithm>

#include "sim/Gps.h"
#include "sim/LoggerEmulator.h"

namespace tmv::sim {
namespace {

constexpr size_t kPortBuffer = 1u << 20;  // the driver's receive buffer

// Source: the logger emulator, or the GPS emulator on the second device.
template <class Source>
class EmulatedSerialPort : public SerialPort {
 public:
  EmulatedSerialPort(Source& emulator, VirtualClock& clock, const LineSettings& settings)
      : emulator_(emulator), clock_(clock), settings_(settings) {}

  bool Apply(const LineSettings& settings) override {
    if (closed_) return false;
    settings_ = settings;
    return true;
  }
  LineSettings Current() const override { return settings_; }

  size_t ReadUntil(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete) override {
    if (closed_ || maxBytes == 0) return 0;
    const int64_t timeout =
        static_cast<int64_t>(settings_.readMultiplierMs) * static_cast<int64_t>(maxBytes) + settings_.readConstantMs;
    const int64_t deadline = clock_.Milliseconds() + std::max<int64_t>(timeout, 0);
    size_t got = 0;
    // Moves what has arrived into the buffer; true when the read is over.
    const auto take = [&]() {
      const size_t before = got;
      while (got < maxBytes && !inbox_.empty()) {
        buffer[got++] = inbox_.front();
        inbox_.pop_front();
      }
      if (complete && got > before) {
        const size_t done = std::min(complete(buffer, got), got);
        if (done > 0) {
          inbox_.insert(inbox_.begin(), buffer + done, buffer + got);  // the next reply's bytes stay
          got = done;
          return true;
        }
      }
      return got >= maxBytes;
    };
    for (;;) {
      const size_t pulled = Pull();
      if (take()) break;
      const int64_t now = clock_.Milliseconds();
      if (now >= deadline) break;
      const int64_t next = emulator_.NextByteTimeMs();
      if (next < 0 || next > deadline) {
        clock_.Advance(deadline - now);
        Pull();
        take();
        break;
      }
      if (next > now) {
        clock_.Advance(next - now);
      } else if (pulled == 0) {
        clock_.Advance(1);  // something was due but produced no byte: move on
      }
    }
    return got;
  }

  size_t Write(const uint8_t* data, size_t count) override {
    if (closed_) return 0;
    emulator_.Receive(data, count, settings_.baud, clock_.Milliseconds());
    return count;
  }

  void Close() override { closed_ = true; }

 private:
  // Moves the bytes that have arrived by now into the port's buffer; bytes
  // sent at another rate than the port's arrive as garbage.
  size_t Pull() {
    uint8_t chunk[512];
    size_t total = 0;
    for (;;) {
      const size_t room = kPortBuffer > inbox_.size() ? kPortBuffer - inbox_.size() : 0;
      const size_t n = emulator_.Transmit(chunk, std::min(room, sizeof chunk), clock_.Milliseconds());
      if (n == 0) break;
      const bool garbled = emulator_.Baud() != settings_.baud;
      for (size_t i = 0; i < n; ++i) inbox_.push_back(garbled ? static_cast<uint8_t>(chunk[i] | 0x80) ^ 0x5A : chunk[i]);
      total += n;
    }
    return total;
  }

  Source& emulator_;
  VirtualClock& clock_;
  LineSettings settings_;
  std::deque<uint8_t> inbox_;
  bool closed_ = false;
};

}  // namespace

EmulatedSerialSystem::EmulatedSerialSystem(LoggerEmulator& emulator, VirtualClock& clock, std::string device)
    : emulator_(emulator), clock_(clock), device_(std::move(device)) {}

std::vector<std::string> EmulatedSerialSystem::ListDevices() {
  if (gps_ == nullptr) return {device_};
  return {device_, gpsDevice_};
}

void EmulatedSerialSystem::AttachGps(GpsEmulator& gps, std::string device) {
  gps_ = &gps;
  gpsDevice_ = std::move(device);
}

std::unique_ptr<SerialPort> EmulatedSerialSystem::Open(const std::string& device, const LineSettings& settings) {
  if (gps_ != nullptr && device == gpsDevice_) {
    if (refuseGpsOpen) return nullptr;
    ++gpsOpens;
    return std::make_unique<EmulatedSerialPort<GpsEmulator>>(*gps_, clock_, settings);
  }
  if (refuseOpen || device != device_) return nullptr;
  ++opens;
  return std::make_unique<EmulatedSerialPort<LoggerEmulator>>(emulator_, clock_, settings);
}

}  // namespace tmv::sim
