#pragma once
// The emulated logger's private state, shared by the sources that each
// emulate one part of a logger: command dispatch (Commands.cpp), identity,
// capabilities, tables and calibration (Identity.cpp), memory and logging
// (Memory.cpp), real-time output and fetches (RealTime.cpp), the memory card
// (Card.cpp).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/LoggerEmulator.h"
#include "sim/SimDetail.h"

namespace tmv::sim {
namespace detail {

constexpr int64_t kIdleFlushUs = 50000;     // a short form followed by silence is complete
constexpr int64_t kAbandonUs = 1000000;     // an unfinished command this old is dropped
constexpr int64_t kTransferIdleUs = 2000000;  // a table transfer without bytes this long is dropped
constexpr size_t kMaxCommand = 600;         // longest command: "!C" with 255 bytes is 518
constexpr size_t kMaxQueue = 1u << 20;      // bytes waiting to be sent
constexpr size_t kMaxLog = 20000;
constexpr uint32_t kMaxMemoryRead = 65536;
constexpr int kMaxCalibrationRecords = 32;
constexpr uint32_t kCalibrationPage = 0x10000;
constexpr uint32_t kCalibrationPageLimit = 65025;
constexpr uint32_t kSingleRecordEnd = 1046400;
constexpr uint32_t kImageStart = 0x1FFC9, kImageEnd = 0x20000;  // older multi-channel configuration image
constexpr uint8_t kAck = 0x06, kNak = 0x15, kEtx = 0x03;

inline bool IsHex(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
inline int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}
inline int HexByte(const std::string& s, size_t pos) {
  return HexValue(static_cast<uint8_t>(s[pos])) * 16 + HexValue(static_cast<uint8_t>(s[pos + 1]));
}
inline int Dec2(const std::string& s, size_t pos) { return (s[pos] - '0') * 10 + (s[pos + 1] - '0'); }

inline std::string Hex2(int v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

inline std::string WireTime(const LoggerTime& t) {
  char b[40];
  std::snprintf(b, sizeof b, "%02d%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

inline std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    }
  }
  return out;
}

enum class Shape { kNeedMore, kComplete, kCompleteIfIdle, kInvalid };

inline double Thermistor(uint32_t raw, const std::array<double, 4>& c) {
  if (raw == 0) return -1000.0;
  const double x = raw / 16777216.0;
  const double l = std::log(1.0 / x - 1.0);
  const double d = c[0] + c[1] * l + c[2] * l * l + c[3] * l * l * l;
  return d != 0.0 && std::isfinite(d) ? 1.0 / d - 273.15 : -1000.0;
}

inline double Polynomial(uint32_t raw, const std::array<double, 4>& c) {
  const double x = raw / 16777216.0;
  return c[0] + c[1] * x + c[2] * x * x + c[3] * x * x * x;
}

}  // namespace detail

// The sea the sensors see (engineering units), and the raw count that the
// calibration turns into a value.
double SeaValue(const Profile& p, char type, int channel, int64_t loggerMs, bool waves);
// The micro-salinometer bench's raw reading of a channel with coefficients c,
// when a sample is in (MicroSalinometer.cpp).
std::optional<uint32_t> BenchRaw(const Profile& p, char type, int channel, const std::array<double, 4>& c);
uint32_t RawForValue(double value, const std::array<double, 4>& c, bool thermistor);

// A private header of the emulator's own sources only.
using namespace detail;

struct LoggerEmulator::Impl {
  using Shape = detail::Shape;
  enum class Mode { kCommand, kTableRead, kTableWrite, kPassThrough };
  enum class WriteKind { kTable, kCalibration };
  struct Out {
    uint8_t byte;
    int64_t dueUs;
  };

  Profile p;
  Faults f;
  int64_t clockOffsetMs = 0;  // logger ms since 2000 = host ms x timeScale + offset
  int64_t timeScale = 1;      // the logger's clock runs this many times faster than the host's

  // Input.
  std::string cmd;
  int64_t cmdLastUs = 0;
  int64_t lastRxUs = INT64_MIN;
  Mode mode = Mode::kCommand;
  int64_t modeLastUs = 0;
  std::vector<uint8_t> txTable;
  size_t txOffset = 0;
  WriteKind writeKind = WriteKind::kTable;
  int writeTarget = 0;
  size_t writeExpected = 0;
  std::vector<uint8_t> writeData;
  int passThroughLeft = 0;
  bool inJunk = false;  // answered a run of junk already

  // Output.
  std::deque<Out> out;
  int64_t lastDueUs = 0;
  std::vector<std::string> log;

  // Logging.
  int64_t sampleBaseMs = 0;  // logger time of sample 0 of the current run
  int64_t sampleIndex = 0;
  int64_t runStartMs = 0;      // start of the current run
  int64_t nextMarkMs = 0;      // when the next daily time mark is due
  bool stampBeforeRow = false; // the next row needs a stamp to restart the time base (after a burst)
  int64_t burstBaseMs = 0;     // time of burst 0 of the deployment
  int64_t burstCount = 0;      // bursts begun
  bool burstOpen = false;      // a burst is being sampled
  int burstDone = 0;           // its samples written so far
  int64_t burstStartMs = 0;
  uint32_t burstFirstOfPair = 0;  // the burst reading waiting for its pair on the real-time line
  int64_t testBaseMs = 0;      // thresholding: time of the first test while waiting
  int64_t testIndex = 0;
  int64_t hysteresisLeft = 0;  // samples still collected after the reading crossed back
  int64_t erasingUntilUs = 0;  // an erase is under way until then
  bool paced = true;           // replies at the line rate of the current baud
  int64_t deafUntilUs = 0;     // the download fault's silence lasts until then
  int memoryReads = 0;         // memory reads heard (the download faults count them)
  bool garbling = false;       // the command being answered is answered garbled (Faults::garbleCommands)
  int64_t slowUs = 0;          // the command being answered is answered this much later (Faults::slowCommands)
  // What the current run converts with (built once per logging step).
  std::string runTypes;
  std::vector<std::array<double, 4>> runCoefficients;
  int armedCode = -1;
  int64_t armedUs = 0;
  bool memoryTested = false;
  int openRecord = -1;
  std::vector<bool> written;

  // ---------------------------------------------------------------- basics

  bool Microchip() const { return p.Microchip(); }
  bool HasQn() const { return p.model.find("QN") != std::string::npos; }
  // The logger's own time from the end of a command to its first reply byte.
  int64_t TurnaroundUs() const { return static_cast<int64_t>(std::max(p.replyLatencyMs, 0)) * 1000; }
  int64_t ByteUs(int baud) const { return baud > 0 ? 10000000LL / baud : 10000000LL; }
  int64_t LoggerMs(int64_t hostUs) const { return hostUs * timeScale / 1000 + clockOffsetMs; }
  // The host time (us) at which the logger's clock shows loggerMs.
  int64_t HostUs(int64_t loggerMs) const { return (loggerMs - clockOffsetMs) * 1000 / timeScale; }
  LoggerTime ClockAtUs(int64_t hostUs) const { return TimeFromMs(LoggerMs(hostUs)); }
  bool FaultsLive() const { return f.remaining != 0; }
  void Consume();

  uint32_t DataStart() const { return Microchip() ? 0 : 0x20000; }
  uint32_t DataLimit() const;
  // Older loggers never use the last byte of a 64 KiB page nor, in the last
  // page of each megabyte, the bytes from 0x.FF7FE on.
  bool IsHole(uint32_t a) const;
  uint32_t DataPointer() const { return DataStart() + static_cast<uint32_t>(p.dataMemory.size()); }
  uint8_t ReadByte(uint32_t a) const;
  bool AppendData(const std::vector<uint8_t>& bytes);

  // ---------------------------------------------------------- configuration

  std::string ChannelTypes() const;
  int ChannelCount() const { return std::max<int>(1, static_cast<int>(ChannelTypes().size())); }
  // Latency plus reading time: how long a fetch takes.
  int ReadingDelayMs() const;
  uint32_t Capability(int index) const;
  bool EngineeringUnitsOn() const;

  // The current coefficients of channel c (0-based), whichever way the model keeps them.
  std::array<double, 4> Coefficients(int c) const;
  uint32_t LastSingleRecord() const;
  const CalibrationRecord* CurrentRecord() const;
  // Records as "V" numbers them: the current one first, then the others newest first.
  std::vector<const CalibrationRecord*> NumberedRecords() const;

  // ------------------------------------------------------------------ output

  void Queue(const std::string& bytes, int64_t readyUs, bool sumLast = false, bool faultable = true);
  void Text(const std::string& s, int64_t at) { Queue(s + "\r\n", at); }
  void Unknown(int64_t at) { Text("Unknown command", at); }
  void Ack(int64_t at) { Queue(std::string(1, static_cast<char>(kAck)), at); }
  // A refusal, with an error code eight characters before the NAK when there is one.
  void Nak(const std::string& code, int64_t at);
  bool NakFault() const { return f.nakWrites && FaultsLive(); }

  // ------------------------------------------------------------------ tables

  void TableReply(const std::string& echo, std::vector<uint8_t> payload, int64_t at);
  void SendNextBlock(int64_t at);
  void StartWrite(WriteKind kind, int target, size_t expected, int64_t at);
  void WriteByte(uint8_t b, int64_t at);
  // "U" transfers: 'A' opens a record, channels fill it, 'Z' closes it.
  std::string CalibrationWrite(int channel, const std::vector<uint8_t>& data, int64_t at);

  // ----------------------------------------------------------------- logging

  int64_t PeriodMs() const;
  bool SixHz() const { return (p.deployment.startCharacteristic[0] & 64) != 0; }
  int64_t SampleTimeMs(int64_t index) const;
  bool Logging() const { return p.status == 2 || p.status == 6; }
  // Newer loggers send real-time records when the start characteristic says
  // so; older ones whenever a real-time rate was set with "!B".
  bool RealTimeOn() const;
  int HeaderLength() const;
  // The parameter block written at the start of the memory when logging is enabled.
  std::vector<uint8_t> ParameterBlock() const;
  std::vector<uint8_t> Stamp(const char* code, int64_t loggerMs) const;
  std::vector<uint32_t> Readings(int64_t loggerMs) const;
  // The binary record of a fetch or of real-time output: zeros, tag, time, readings, sum.
  std::string BinaryRecord(int64_t loggerMs) const;
  // The record as the line delivers it (Faults::rt...), the observer told.
  std::string LineNoise(const std::string& record, bool binary);
  uint64_t rtRandom = 0;
  std::function<void(const std::string&, bool)> rtObserver;
  double Engineering(uint32_t raw, int c) const;
  std::string EngineeringRecord(int64_t loggerMs) const;
  // A pair of burst readings on the real-time line: pair 0 as "BST" with the
  // burst's start time, the following pairs as "SEQ" with the pair's index.
  std::string BurstRecord(int pair, int64_t burstStartMs, uint32_t first, uint32_t second, int channel) const;
  void SendBurstReading(uint32_t raw, int channel, int64_t loggerMs);
  bool AppendRow(int64_t loggerMs);
  void BeginRun(int64_t loggerMs, const char* stamp);
  int64_t EndMs() const { return MsSince2000(p.deployment.endTime); }
  void Advance(int64_t nowUs);
  // Writes every sample, stamp and burst due by logger time `now`, and moves
  // the status on (enabled, thresholding, logging, complete).
  void LogUntil(int64_t now);
  void PrepareRun();
  std::vector<uint32_t> RowRaw(int64_t loggerMs, bool waves) const;
  bool AppendWord(uint32_t raw);
  // Waves: the "!6" burst length and period and the "!4" rate.
  bool WavesOn() const;
  int BurstLength() const;
  int64_t BurstPeriodMs() const;
  int BurstRateHz() const;
  // Thresholding: the "!A" mode (4..7; 0 without thresholding) and its test.
  int ThresholdMode() const;
  bool Triggered(int64_t loggerMs) const;
  int64_t TestPeriodMs() const;
  int64_t HysteresisCount() const;
  bool Erasing(int64_t us) const { return us < erasingUntilUs; }

  // ------------------------------------------------------------------- input

  // How far a command's characters go: its length follows from its first letters.
  Shape Classify(const std::string& c) const;

  void Feed(uint8_t b, int64_t at);

  void Step(int64_t at);
  bool silentNow() const { return f.silent && FaultsLive(); }
  void Log(const std::string& c);

  // ----------------------------------------------------------------- commands

  void Execute(const std::string& c, int64_t at);

  std::string StatusText() const;

  void SetTime(const std::string& c, int64_t at);

  void Erase(int64_t at);

  void Enable(int64_t at);

  void Fetch(const std::string& c, int64_t at);
  std::string FetchValue(int channel, int64_t loggerMs) const;

  void MemoryRead(const std::string& c, int64_t at);

  void CalibrationRead(const std::string& c, int64_t at);

  void SingleCalibration(int64_t at);

  void SingleCalibrationWrite(const std::string& c, int64_t at);

  void ExecuteBang(const std::string& c, int64_t at);

  void ChangeSpeed(int divisor);

  // Older multi-channel calibration write: "!C", offset low, high, length, data as hex.
  void CalibrationPageWrite(const std::string& c);

  void Card(const std::string& c, int64_t at);

  // ---------------------------------------------------------------- transport

  void Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs);

  size_t Transmit(uint8_t* dest, size_t max, int64_t nowMs);

  int64_t NextByteTimeMs() const;

  void RecordSamples(int rows, int64_t nowMs);
};

}  // namespace tmv::sim
