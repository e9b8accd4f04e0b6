#pragma once
// The logger emulator: a faithful logger peer that speaks the loggers' serial
// protocol. It is a pure byte engine (bytes in at a baud rate and a time,
// bytes out when due); the transports put it behind the serial-port
// interface on a virtual clock, or on a pseudo-terminal.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "model/LoggerTime.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace tmv::sim {

class GpsEmulator;

// Misbehaviour on demand, for tests of the program's defences.
struct Faults {
  bool silent = false;        // hears and answers nothing at all
  int junkBeforeReply = 0;    // this many junk bytes precede every reply
  bool splitReplies = false;  // every reply comes in two parts, the second splitDelayMs later
  int splitDelayMs = 300;
  int lateReplyMs = 0;        // every reply starts this many milliseconds late
  bool badChecksum = false;   // table blocks, memory reads and binary records carry a wrong sum
  bool nakWrites = false;     // table and calibration writes are refused with NAK
  std::string nakCode;        // "F0", "F1", "F2": the code sent in front of the NAK
  int nakTable = -1;          // writes of this table number alone are refused with NAK
  bool eraseFails = false;    // an erase leaves status 7F
  int remaining = -1;         // replies the faults above still apply to (-1: all)
  // Memory card faults: its queries go unanswered; its last-file reply names
  // this many files more than the card holds.
  bool cardSilent = false;
  int cardOverclaim = 0;
  // A card query ("!G04") answered with this text instead of the card's own.
  std::map<std::string, std::string> cardReplies;
  // Directory replies come in two parts, the second this many ms later.
  int cardSplitMs = 0;
  // Download faults, on memory reads only; which reads they hit is fixed by
  // the read's number, so that a run can be repeated.
  int badBlockPercent = 0;    // this share of block replies carry a wrong sum
  int dropBlockPercent = 0;   // this share of block replies are never sent
  int silenceOnceMs = 0;      // once, at memory read silenceAfterReads, the logger goes deaf this long
  int silenceAfterReads = 3;
  // Real-time line noise, decided per record from rtSeed so that a run
  // repeats: junk bytes before a record's separator, one byte of a record
  // lost, a record broken off part-way (rates 0..1, one kind per record).
  double rtJunkRate = 0.0;
  double rtDropRate = 0.0;
  double rtBreakRate = 0.0;
  uint32_t rtSeed = 12345;
  // Single commands, named by their first characters ("!R", "!9", "T"), as a
  // line or a logger fails them: dropped on the line (never heard), heard
  // but not carried out (nothing done, nothing answered), or answered this
  // many milliseconds late.
  std::vector<std::string> dropCommands;
  std::vector<std::string> ignoreCommands;
  // Answered, but with a character of every reply changed on the line (a
  // text reply gets a character no reply holds; a binary one a wrong byte).
  std::vector<std::string> garbleCommands;
  std::map<std::string, int> slowCommands;
};

// One calibration record of a newer logger ("V" tables).
struct CalibrationRecord {
  bool complete = true;  // "CAL"; false: "CMM" (a transfer that was never closed)
  LoggerTime date;
  std::vector<std::array<double, 4>> channels;  // c0..c3 per channel
};

// The deployment as the logger holds it (set by J/K/L/M/W/!1/!4/!6/!A/!B/!H/!K/!Y).
struct Deployment {
  LoggerTime startTime{2010, 6, 0, 7, 15, 30, 0, 0};
  LoggerTime endTime{2010, 7, 0, 7, 15, 30, 0, 0};
  int periodHours = 0, periodMinutes = 1, periodSeconds = 0;
  std::array<uint8_t, 4> startCharacteristic{};  // "!1": mode byte, option flags 0-7, 8-15, 16-23
  std::array<uint8_t, 2> averaging{1, 0};         // "W": length low, high
  uint8_t burstRate = 0;                          // "!4"
  std::string waveArguments = "0000000000";       // "!6": length low, high, period hhmmss
  std::array<uint8_t, 8> height{};                // "!Y"
  std::array<uint8_t, 8> threshold{};             // "!A"
  std::array<uint8_t, 2> hysteresis{};            // "!H"
  std::string thresholdTestPeriod = "000000";     // "!K"
  uint8_t realTimeBaudCode = 0;                   // "!B"
};

// The tide of the sea an emulated recorder stands in: a sum of constituents
// of the standard set (amplitude in m of sea level, Greenwich phase lag in
// degrees) with their nodal corrections, about the mean depth, plus noise.
// The logger's clock keeps `utcOffsetMinutes` east of UTC.
struct EmulatedTide {
  struct Constituent {
    std::string name;
    double amplitude;  // m
    double phase;      // degrees
  };
  std::vector<Constituent> constituents;
  double latitude = 45.0;     // degrees north, for the nodal corrections
  double noise = 0.01;        // m, standard deviation
  int utcOffsetMinutes = 0;
};
// The emulator's default sea: M2 S2 N2 K2 K1 O1 P1 Q1 M4 of a mid-latitude coast.
EmulatedTide DefaultEmulatedTide();
// The tide's departure from the mean depth at a logger time (ms since
// 2000-01-01 00:00 of the logger's clock), m.
double TideLevel(const EmulatedTide& tide, int64_t loggerMs);

// One logger model with its identity, capabilities, tables and memory.
struct Profile {
  std::string name;            // the profile's name, e.g. "QN-760"
  std::string identityPrefix;  // text sent before the maker word, e.g. "\r\n"
  std::string model;           // "QN-760"
  float firmwareVersion = 6.10f;
  int serialNumber = 12345;
  int baud = 19200;            // the rate it hears and answers at
  // The logger's own reply latency: from the last byte of a command (or of
  // an ACK during a table read) to the first byte of its reply, in ms.
  int replyLatencyMs = 2;
  int status = 0;              // query "T" status code (0..8, 0x7F)
  // Capability words by index ("!0%02X"); absent index: "Unknown command".
  std::map<int, uint32_t> capabilities;
  float minimumProgramVersion = 6.0f;
  // Numbered tables 00..08 (data bytes, without the checksum); absent: empty table.
  std::map<int, std::vector<uint8_t>> tables;
  // Logger memory (sparse by address) for "I" reads and "!C" writes.
  std::map<uint32_t, uint8_t> memory;
  int batteryCode = 0x9C;      // "!D" reply, volts = code * 0.0816485 + 0.25417

  // Newer loggers' calibration records, oldest first (the current one is the
  // newest complete record).
  std::vector<CalibrationRecord> calibrationHistory;
  // Recorded data from the data start address (0 on newer loggers, 0x20000
  // on older ones; the bytes older loggers never use are kept as 0xFF).
  std::vector<uint8_t> dataMemory;
  // Length of the header a newer logger writes when enabled (capability 3).
  int parameterBlockLength = 30;
  Deployment deployment;
  // After this long without a byte the logger sleeps and the next byte only
  // wakes it (0: never sleeps).
  int sleepAfterIdleMs = 0;
  // An erase keeps the logger busy (deaf) this long.
  int eraseMs = 0;
  // MMC/SD card ("!G" queries); no card when cardType is empty.
  std::string cardType;
  uint32_t cardSizeKb = 0;
  std::map<int, std::string> cardFiles;
  // Meta table text of a generic serial card ("!X01"/"!X04").
  std::string metaTable;
  // The micro-salinometer's bath: when sampleSalinity is set, its sample cell
  // (first 'C' channel) reads that sample, its thermistor the bath and its
  // standard cell (second 'C' channel) standard seawater of the given K15.
  struct Bench {
    std::optional<double> sampleSalinity;  // [PSS-78]
    double bathTemperature = 24.0;          // [degC]
    double standardK15 = 0.99986;
    double sampleCellGain = 0.42;           // raw fraction per unit of Rt
    double standardCellGain = 0.40;
  } bench;

  EmulatedTide tide = DefaultEmulatedTide();

  bool Microchip() const { return firmwareVersion > 4.99f; }
  bool SingleChannel() const;  // older single-channel recorder ("Z"/"Y", "F")
};

// The names of the emulated models: "QN-760", "QN-730", "KM-3170",
// "QN-760-RS", "QN-760-S", "VL-840", "KM-3180", "KZM-5170", ...
std::vector<std::string> ProfileNames();
// The profile of that name; nothing for a name that is not one of ours.
std::optional<Profile> FindProfile(const std::string& name);
// The profile of a known name; an unknown name throws std::invalid_argument
// (a test that names a model we do not emulate must not get another one).
Profile ProfileByName(const std::string& name);

// The logger's readings: a slow, deterministic wave around a level that
// suits the channel type (always even: bit 0 is the over-range mark).
uint32_t SimulatedRaw(char channelType, int channel, int64_t loggerMs);

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
  // Runs the logger's clock `scale` times faster than the host's from nowMs
  // on (1: real time), so that a long deployment fills memory quickly.
  void SetTimeScale(int scale, int64_t nowMs);
  int TimeScale() const;
  // Brings the logger up to nowMs without a byte on the line: writes the
  // samples due by then and moves its status on (a logger logs whether or
  // not anyone talks to it; commands and reads do this themselves).
  void Catch(int64_t nowMs);
  // Commands understood so far, in order (for tests); binary bytes as \xNN.
  const std::vector<std::string>& CommandLog() const;
  // Told of every real-time record as it goes out: its bytes as the logger
  // meant them, and whether the line noise left them whole.
  void OnRealTimeRecord(std::function<void(const std::string& record, bool intact)> observer);

  // The rate the logger hears and answers at now (changed by "!E").
  int Baud() const;
  // Replies go out at the line rate of the current baud, 10 bits a byte
  // (the default); unpaced they are all due at once, after the latency.
  void SetPaced(bool paced);
  // What a memory read of [start, end) sends, without its sum: the bytes
  // older loggers never use are left out, as the logger leaves them out.
  std::vector<uint8_t> MemoryBytes(uint32_t start, uint32_t end) const;
  // Fills the memory with a finished deployment of `rows` samples that
  // started `rows` periods before nowMs (status 4, "Logging Complete").
  void RecordSamples(int rows, int64_t nowMs);
  // The end-of-data pointer that "G" reports.
  uint32_t DataPointer() const;
  // Channel type codes as the logger's configuration holds them.
  std::string ChannelTypes() const;

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

  // Serves a GPS receiver as a second device (listed after the logger's, so COM2).
  void AttachGps(GpsEmulator& gps, std::string device = "/dev/ttyGPS0");
  bool refuseGpsOpen = false;
  int gpsOpens = 0;

 private:
  LoggerEmulator& emulator_;
  VirtualClock& clock_;
  std::string device_;
  GpsEmulator* gps_ = nullptr;
  std::string gpsDevice_;
};

}  // namespace tmv::sim
