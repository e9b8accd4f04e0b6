#pragma once
// A serial line whose far end is a script, on the virtual clock: replies are
// queued by rule or by hand, every write is recorded byte for byte, and
// reads wait (in virtual time) exactly as the port's time-outs say.
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/SerialPort.h"
#include "shell/AppState.h"

namespace tmv::test {

class ScriptedLine {
 public:
  explicit ScriptedLine(VirtualClock& clock) : clock(clock) {}

  struct Rule {
    std::string command;  // a write equal to this ...
    std::vector<std::pair<std::string, int>> parts;  // ... is answered by these parts (bytes, delay ms)
    int times = -1;       // uses left (-1: for ever)
  };

  // Answers every write equal to command with reply, delayMs after the write.
  void On(std::string command, std::string reply, int delayMs = 0, int times = -1) {
    rules.push_back({std::move(command), {{std::move(reply), delayMs}}, times});
  }
  // Answers with a reply in parts, each with its own delay after the write.
  void OnParts(std::string command, std::vector<std::pair<std::string, int>> parts, int times = -1) {
    rules.push_back({std::move(command), std::move(parts), times});
  }
  // Bytes the far end sends delayMs from now.
  void Send(std::string_view bytes, int delayMs = 0) {
    const int64_t due = clock.Milliseconds() + delayMs;
    for (char c : bytes) pending.push_back({due, static_cast<uint8_t>(c)});
  }
  void SendBytes(const std::vector<uint8_t>& bytes, int delayMs = 0) {
    Send(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), delayMs);
  }

  std::string Written() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
  }
  int CountWrites(std::string_view text) const {
    int n = 0;
    for (const auto& w : writes) n += w == text ? 1 : 0;
    return n;
  }

  // Called by the port.
  void OnWrite(const std::string& bytes) {
    writes.push_back(bytes);
    writeTimes.push_back(clock.Milliseconds());
    // The far end hears only at its own rate.
    if (farBaud != 0 && settings.baud != farBaud) return;
    for (auto& r : rules) {
      if (r.times == 0 || r.command != bytes) continue;
      if (r.times > 0) --r.times;
      for (const auto& p : r.parts) Send(p.first, p.second);
      break;
    }
    if (responder) responder(*this, bytes);
  }

  // Bytes due at the same moment arrive together; a completion is asked
  // after each arrival, and bytes past the reply it accepts stay pending.
  size_t Read(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete = nullptr) {
    readStarts.push_back(clock.Milliseconds());
    readSizes.push_back(maxBytes);
    const int64_t deadline = clock.Milliseconds() +
                             static_cast<int64_t>(settings.readMultiplierMs) * static_cast<int64_t>(maxBytes) +
                             settings.readConstantMs;
    size_t got = 0;
    std::vector<Pending> taken;
    for (;;) {
      const size_t before = got;
      while (got < maxBytes && !pending.empty() && pending.front().due <= clock.Milliseconds()) {
        taken.push_back(pending.front());
        buffer[got++] = pending.front().byte;
        pending.pop_front();
      }
      if (complete && got > before) {
        const size_t done = std::min(complete(buffer, got), got);
        if (done > 0) {
          pending.insert(pending.begin(), taken.begin() + static_cast<long>(done), taken.end());
          got = done;
          break;
        }
      }
      if (got == maxBytes) break;
      if (!pending.empty() && pending.front().due <= deadline) {
        clock.Advance(pending.front().due - clock.Milliseconds());
        continue;
      }
      clock.Advance(deadline - clock.Milliseconds());
      break;
    }
    readCounts.push_back(got);
    return got;
  }

  VirtualClock& clock;
  std::vector<Rule> rules;
  std::function<void(ScriptedLine&, const std::string&)> responder;
  int farBaud = 0;  // 0: hears at any rate
  struct Pending {
    int64_t due;
    uint8_t byte;
  };
  std::deque<Pending> pending;

  std::vector<std::string> writes;
  std::vector<int64_t> writeTimes;
  std::vector<int64_t> readStarts;
  std::vector<size_t> readSizes;
  std::vector<size_t> readCounts;
  std::vector<LineSettings> applied;
  LineSettings settings;
  bool open = false;
  int opens = 0;
  int closes = 0;
  bool refuseOpen = false;
  bool lost = false;  // the device went away
};

class ScriptedPort : public SerialPort {
 public:
  explicit ScriptedPort(ScriptedLine& line) : line_(line) {}
  ~ScriptedPort() override { Close(); }
  bool Apply(const LineSettings& s) override {
    line_.settings = s;
    line_.applied.push_back(s);
    return true;
  }
  LineSettings Current() const override { return line_.settings; }
  bool Lost() const override { return line_.lost; }
  size_t ReadUntil(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete) override {
    return line_.Read(buffer, maxBytes, complete);
  }
  size_t Write(const uint8_t* data, size_t count) override {
    line_.OnWrite(std::string(reinterpret_cast<const char*>(data), count));
    return count;
  }
  void Close() override {
    if (closed_) return;
    closed_ = true;
    line_.open = false;
    ++line_.closes;
  }

 private:
  ScriptedLine& line_;
  bool closed_ = false;
};

class ScriptedSerialSystem : public SerialSystem {
 public:
  explicit ScriptedSerialSystem(ScriptedLine& line) : line_(line) {}
  std::vector<std::string> ListDevices() override { return devices; }
  std::unique_ptr<SerialPort> Open(const std::string& device, const LineSettings& settings) override {
    openedDevices.push_back(device);
    if (line_.refuseOpen || line_.open) return nullptr;  // held by another program (or by us)
    bool known = false;
    for (const auto& d : devices) known = known || d == device;
    if (!known) return nullptr;
    auto port = std::make_unique<ScriptedPort>(line_);
    line_.open = true;
    ++line_.opens;
    port->Apply(settings);
    return port;
  }
  std::vector<std::string> devices{"/dev/ttyTEST0"};
  std::vector<std::string> openedDevices;

 private:
  ScriptedLine& line_;
};

// A program state on a scripted line and the virtual clock; COM1 is the line.
struct ScriptedRig {
  ScriptedRig() {
    state.ports.devices = serial.ListDevices();
    state.ports.portPresent[1] = true;
    state.ports.loggerPort = 1;
  }
  // Opens the logger link at baud as the connection would.
  bool OpenAt(int baud) { return OpenLink(state, state.loggerLink, 1, baud, 0) == 1; }

  VirtualClock clock;
  ScriptedUserInterface ui;
  ScriptedLine line{clock};
  ScriptedSerialSystem serial{line};
  AppState state{serial, clock, ui};
};

}  // namespace tmv::test
