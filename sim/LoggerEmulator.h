#pragma once
// The logger emulator: a faithful logger peer that speaks the loggers' serial
// protocol. It is a pure byte engine (bytes in at a baud rate and a time,
// bytes out when due); the transports put it behind the serial-port
// interface on a virtual clock, or on a pseudo-terminal.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/LoggerTime.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace tmv::sim {

// Misbehaviour on demand, for tests of the program's defences.
struct Faults {
  bool silent = false;        // answers nothing at all
  int junkBeforeReply = 0;    // this many junk bytes precede every reply
  bool splitReplies = false;  // every reply comes in two parts, the second splitDelayMs later
  int splitDelayMs = 300;
  int lateReplyMs = 0;        // every reply starts this many milliseconds late
  bool badChecksum = false;   // table blocks and memory reads carry a wrong sum
  bool nakWrites = false;     // table and calibration writes are refused with NAK
  std::string nakCode;        // "F0", "F1", "F2": the code sent in front of the NAK
  int remaining = -1;         // replies the faults above still apply to (-1: all)
};

// One logger model with its identity, capabilities, tables and memory.
struct Profile {
  std::string name;            // the profile's name, e.g. "QN-760"
  std::string identityPrefix;  // text sent before the maker word, e.g. "\r\n"
  std::string model;           // "QN-760"
  float firmwareVersion = 6.10f;
  int serialNumber = 12345;
  int baud = 19200;            // the rate it hears and answers at
  int status = 0;              // query "T" status code (0..8, 0x7F)
  // Capability words by index ("!0%02X"); absent index: "Unknown command".
  std::map<int, uint32_t> capabilities;
  float minimumProgramVersion = 6.0f;
  // Numbered tables 00..08 (data bytes, without the checksum); absent: empty table.
  std::map<int, std::vector<uint8_t>> tables;
  // Logger memory (sparse by address) for "I" reads and "!C" writes.
  std::map<uint32_t, uint8_t> memory;
  int batteryCode = 0x9C;      // "!D" reply, volts = code * 0.0816485 + 0.25417
};

std::vector<std::string> ProfileNames();
// Known names: "QN-760", "QN-730", "KM-3170" and those later issues add; an
// unknown name gives the "QN-760" profile with that name.
Profile ProfileByName(const std::string& name);

class LoggerEmulator {
 public:
  explicit LoggerEmulator(Profile profile, LoggerTime clock = LoggerTime{2010, 6, 0, 7, 15, 30, 0, 0});
  ~LoggerEmulator();

  // Bytes from the host as sent at hostBaud at time nowMs; bytes sent at
  // another rate than the logger's reach it as noise and are not understood.
  void Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs);
  // Copies up to max bytes that are due by nowMs; returns the count.
  size_t Transmit(uint8_t* out, size_t max, int64_t nowMs);
  // Time at which the next pending byte is due; -1 when nothing is pending.
  int64_t NextByteTimeMs() const;

  Profile& profile();
  Faults& faults();
  // The logger's own clock as of nowMs (it runs on from when it was set).
  LoggerTime ClockAt(int64_t nowMs) const;
  // Commands understood so far, in order (for tests).
  const std::vector<std::string>& CommandLog() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The emulator behind the serial-port interface, on a virtual clock: reads
// wait (in virtual time) exactly as the port's time-outs say.
class EmulatedSerialSystem : public SerialSystem {
 public:
  EmulatedSerialSystem(LoggerEmulator& emulator, VirtualClock& clock, std::string device = "/dev/ttyTMV0");
  std::vector<std::string> ListDevices() override;
  std::unique_ptr<SerialPort> Open(const std::string& device, const LineSettings& settings) override;
  bool refuseOpen = false;  // as if another program held the port
  int opens = 0;

 private:
  LoggerEmulator& emulator_;
  VirtualClock& clock_;
  std::string device_;
};

}  // namespace tmv::sim
