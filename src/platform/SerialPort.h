#pragma once
// The serial port as the logger link sees it: open by device, line settings
// and time-outs, synchronous read and write, speed change, close.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialDevices.h"

namespace tmv {

// Line settings are always 8N1, binary, no flow control, DTR off; only these vary.
struct LineSettings {
  int baud = 19200;
  int rtsMode = 0;              // 0 disable, 1 enable, 2 handshake, 3 toggle
  int readMultiplierMs = 1;     // per byte asked for
  int readConstantMs = 20;
  int writeMultiplierMs = 1;
  int writeConstantMs = 20;
};

// Tells a read whether the reply it waits for is complete. Asked with all
// bytes read so far each time more have arrived; answers the length of the
// complete reply at the front of them, or 0 while it is still incomplete.
// Bytes past that length stay in the port for the next read.
using ReadCompletion = std::function<size_t(const uint8_t* data, size_t count)>;

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Changes speed and time-outs of the open port; false when it cannot.
  virtual bool Apply(const LineSettings& settings) = 0;
  virtual LineSettings Current() const = 0;
  // Waits until maxBytes have arrived or readMultiplierMs * maxBytes +
  // readConstantMs have passed, whichever is first; never waits for a
  // terminator. Returns the count read (0 = nothing, never an error).
  size_t Read(uint8_t* buffer, size_t maxBytes) { return ReadUntil(buffer, maxBytes, nullptr); }
  // As Read, but also ends as soon as `complete` (when given) accepts what
  // has arrived, and takes no more than the length it answers: the time-out
  // stays the upper bound, and the bytes of a next reply stay in the port.
  virtual size_t ReadUntil(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete) = 0;
  virtual size_t Write(const uint8_t* data, size_t count) = 0;
  // The device has gone (the far end of a pseudo-terminal closed, an adapter
  // was unplugged): reads can never bring anything again. A silent line is
  // not a lost one.
  virtual bool Lost() const { return false; }
  // Leaves RTS disabled and releases the device.
  virtual void Close() = 0;
};

// Where ports come from: the host's devices, or an emulated logger in tests.
class SerialSystem {
 public:
  virtual ~SerialSystem() = default;
  // Serial devices in the order COM1, COM2, ... map onto.
  virtual std::vector<std::string> ListDevices() = 0;
  // The same devices, each with what the host tells about it.
  virtual std::vector<SerialDeviceInfo> DescribeDevices() {
    std::vector<SerialDeviceInfo> out;
    for (std::string& path : ListDevices()) out.push_back({std::move(path), {}, {}});
    return out;
  }
  // nullptr when the device cannot be opened (missing, busy, not a tty).
  virtual std::unique_ptr<SerialPort> Open(const std::string& device, const LineSettings& settings) = 0;
};

// POSIX termios implementation; works with real ttys and pseudo-terminals.
class PosixSerialSystem : public SerialSystem {
 public:
  std::vector<std::string> ListDevices() override;
  std::vector<SerialDeviceInfo> DescribeDevices() override;
  std::unique_ptr<SerialPort> Open(const std::string& device, const LineSettings& settings) override;
};

}  // namespace tmv
