// The protocol engine of the emulated logger. Commands carry no terminator:
// a command is taken as soon as its characters are complete, and the length
// of each command follows from its first letters.
#include "sim/LoggerEmulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/SimDetail.h"

namespace tmv::sim {

using namespace detail;

namespace {

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

bool IsHex(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}
int HexByte(const std::string& s, size_t pos) {
  return HexValue(static_cast<uint8_t>(s[pos])) * 16 + HexValue(static_cast<uint8_t>(s[pos + 1]));
}
int Dec2(const std::string& s, size_t pos) { return (s[pos] - '0') * 10 + (s[pos + 1] - '0'); }

std::string Hex2(int v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

std::string WireTime(const LoggerTime& t) {
  char b[40];
  std::snprintf(b, sizeof b, "%02d%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

std::string Printable(const std::string& s) {
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

double Thermistor(uint32_t raw, const std::array<double, 4>& c) {
  if (raw == 0) return -1000.0;
  const double x = raw / 16777216.0;
  const double l = std::log(1.0 / x - 1.0);
  const double d = c[0] + c[1] * l + c[2] * l * l + c[3] * l * l * l;
  return d != 0.0 && std::isfinite(d) ? 1.0 / d - 273.15 : -1000.0;
}

double Polynomial(uint32_t raw, const std::array<double, 4>& c) {
  const double x = raw / 16777216.0;
  return c[0] + c[1] * x + c[2] * x * x + c[3] * x * x * x;
}

}  // namespace

struct LoggerEmulator::Impl {
  enum class Mode { kCommand, kTableRead, kTableWrite, kPassThrough };
  enum class WriteKind { kTable, kCalibration };
  struct Out {
    uint8_t byte;
    int64_t dueUs;
  };

  Profile p;
  Faults f;
  int64_t clockOffsetMs = 0;  // logger ms since 2000 = host ms + offset

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
  int armedCode = -1;
  int64_t armedUs = 0;
  bool memoryTested = false;
  int64_t busyUntilUs = 0;
  int openRecord = -1;
  std::vector<bool> written;

  // ---------------------------------------------------------------- basics

  bool Microchip() const { return p.Microchip(); }
  bool HasQn() const { return p.model.find("QN") != std::string::npos; }
  // The logger's own time from the end of a command to its first reply byte.
  int64_t TurnaroundUs() const { return static_cast<int64_t>(std::max(p.replyLatencyMs, 0)) * 1000; }
  int64_t ByteUs(int baud) const { return baud > 0 ? 10000000LL / baud : 10000000LL; }
  int64_t LoggerMs(int64_t hostUs) const { return hostUs / 1000 + clockOffsetMs; }
  LoggerTime ClockAtUs(int64_t hostUs) const { return TimeFromMs(LoggerMs(hostUs)); }
  bool FaultsLive() const { return f.remaining != 0; }
  void Consume() {
    if (f.remaining > 0) --f.remaining;
  }

  uint32_t DataStart() const { return Microchip() ? 0 : 0x20000; }
  uint32_t DataLimit() const {
    if (Microchip()) return 0x7FE000;
    const bool big = (HasQn() && p.firmwareVersion > 4.0f) ||
                     ((p.model.find("KM") != std::string::npos || p.model.find("PM") != std::string::npos) &&
                      p.firmwareVersion > 3.15f);
    return big ? 0x3FF7FE : 0x1FF7FE;
  }
  // Older loggers never use the last byte of a 64 KiB page nor, in the last
  // page of each megabyte, the bytes from 0x.FF7FE on.
  bool IsHole(uint32_t a) const {
    if (Microchip()) return false;
    return (a & 0xFFFF) == 0xFFFF || (a & 0xFFFFF) >= 0xFF7FE;
  }
  uint32_t DataPointer() const { return DataStart() + static_cast<uint32_t>(p.dataMemory.size()); }
  uint8_t ReadByte(uint32_t a) const {
    const uint32_t start = DataStart();
    if (a >= start && a - start < p.dataMemory.size()) return p.dataMemory[a - start];
    auto it = p.memory.find(a);
    return it == p.memory.end() ? 0xFF : it->second;
  }
  bool AppendData(const std::vector<uint8_t>& bytes) {
    size_t need = bytes.size();
    for (uint32_t a = DataPointer(), n = 0; n < bytes.size(); ++a) {
      if (IsHole(a)) ++need; else ++n;
    }
    if (DataPointer() + need > DataLimit()) return false;
    for (uint8_t b : bytes) {
      while (IsHole(DataPointer())) p.dataMemory.push_back(0xFF);
      p.dataMemory.push_back(b);
    }
    return true;
  }

  // ---------------------------------------------------------- configuration

  std::string ChannelTypes() const {
    if (Microchip() && Capability(8) == 1) {
      // Basic RS level: no table 01, the layout is fixed by the model.
      if (p.model.find("5170") != std::string::npos) return "TP";
      if (p.model.find("3170") != std::string::npos) return p.model.find("KM") != std::string::npos ? "T" : "P";
    }
    if (Microchip()) {
      auto it = p.tables.find(1);
      if (it == p.tables.end() || it->second.empty()) return "";
      const auto& t = it->second;
      std::string types;
      for (size_t i = 0; i < t[0] && 5 + 2 * i < t.size(); ++i)
        types.push_back(static_cast<char>(t[5 + 2 * i]));
      return types;
    }
    if (HasQn()) {
      const int n = ReadByte(0x1FFC9 + 53);
      if (n > 24) return "T";
      std::string types;
      for (int i = 0; i < n; ++i) types.push_back(static_cast<char>(ReadByte(0x1FFC9 + 47 - 2 * i)));
      return types;
    }
    return p.model.find("PM") != std::string::npos ? "P" : "T";
  }
  int ChannelCount() const { return std::max<int>(1, static_cast<int>(ChannelTypes().size())); }
  // Latency plus reading time: how long a fetch takes.
  int ReadingDelayMs() const {
    int latency = 0, reading = 0;
    if (Microchip()) {
      auto it = p.tables.find(1);
      if (it != p.tables.end() && it->second.size() >= 5) {
        latency = 10 * (it->second[1] | it->second[2] << 8);
        reading = 100 * (it->second[3] | it->second[4] << 8);
      }
    } else if (HasQn()) {
      latency = 10 * (ReadByte(0x1FFC9 + 51) | ReadByte(0x1FFC9 + 52) << 8);
      reading = 100 * (ReadByte(0x1FFC9 + 49) | ReadByte(0x1FFC9 + 50) << 8);
    } else {
      reading = 200;
    }
    return std::min(latency + reading, 60000);
  }
  uint32_t Capability(int index) const {
    auto it = p.capabilities.find(index);
    return it == p.capabilities.end() ? 0 : it->second;
  }
  bool EngineeringUnitsOn() const {
    return Capability(20) >= 1 && (p.deployment.startCharacteristic[1] & 4) != 0;
  }

  // The current coefficients of channel c (0-based), whichever way the model keeps them.
  std::array<double, 4> Coefficients(int c) const {
    const char type = c < static_cast<int>(ChannelTypes().size()) ? ChannelTypes()[c] : 'T';
    std::array<double, 4> fallback = type == 'T' ? std::array<double, 4>{0.0035, -0.00025, 2.7e-06, 2.3e-08}
                                                 : std::array<double, 4>{0.0, 1.0, 0.0, 0.0};
    if (Microchip()) {
      const CalibrationRecord* rec = CurrentRecord();
      if (rec && c < static_cast<int>(rec->channels.size())) return rec->channels[c];
      return fallback;
    }
    if (HasQn()) {
      const int n = ChannelCount();
      uint32_t o = 0, current = UINT32_MAX;
      while (o + 6 + 33u * n <= kCalibrationPageLimit && ReadByte(kCalibrationPage + o) != 0xFF) {
        current = o;
        o += 6 + 33u * n;
      }
      if (current == UINT32_MAX) return fallback;
      uint8_t bytes[32];
      for (int i = 0; i < 32; ++i) bytes[i] = ReadByte(kCalibrationPage + current + 6 + 33u * c + i);
      return {GetDouble(bytes), GetDouble(bytes + 8), GetDouble(bytes + 16), GetDouble(bytes + 24)};
    }
    const uint32_t last = LastSingleRecord();
    if (last == 0) return fallback;
    uint8_t bytes[32];
    for (int i = 0; i < 32; ++i) bytes[i] = ReadByte(last + 6 + i);
    return {GetDouble(bytes), GetDouble(bytes + 8), GetDouble(bytes + 16), GetDouble(bytes + 24)};
  }
  uint32_t LastSingleRecord() const {
    uint32_t last = 0;
    for (uint32_t a = kCalibrationPage; a + 38 <= kSingleRecordEnd && ReadByte(a) != 0xFF; a += 38) last = a;
    return last;
  }
  const CalibrationRecord* CurrentRecord() const {
    for (auto it = p.calibrationHistory.rbegin(); it != p.calibrationHistory.rend(); ++it)
      if (it->complete) return &*it;
    return nullptr;
  }
  // Records as "V" numbers them: the current one first, then the others newest first.
  std::vector<const CalibrationRecord*> NumberedRecords() const {
    std::vector<const CalibrationRecord*> list;
    const CalibrationRecord* current = CurrentRecord();
    if (current) list.push_back(current);
    for (auto it = p.calibrationHistory.rbegin(); it != p.calibrationHistory.rend(); ++it)
      if (&*it != current) list.push_back(&*it);
    return list;
  }

  // ------------------------------------------------------------------ output

  void Queue(const std::string& bytes, int64_t readyUs, bool sumLast = false, bool faultable = true) {
    if (bytes.empty()) return;
    if (f.silent && FaultsLive()) {
      Consume();
      return;
    }
    std::string data = bytes;
    int64_t t = std::max(readyUs + TurnaroundUs(), lastDueUs);
    const bool applies = faultable && FaultsLive() &&
                         (f.junkBeforeReply > 0 || f.splitReplies || f.lateReplyMs > 0 || (f.badChecksum && sumLast));
    if (applies) {
      t += static_cast<int64_t>(f.lateReplyMs) * 1000;
      if (f.badChecksum && sumLast) data.back() = static_cast<char>(data.back() + 1);
      if (f.junkBeforeReply > 0) {
        static const char kJunk[] = "#?~*";
        std::string junk;
        for (int i = 0; i < std::min(f.junkBeforeReply, 64); ++i) junk.push_back(kJunk[i % 4]);
        data = junk + data;
      }
      Consume();
    }
    const size_t split = applies && f.splitReplies && data.size() > 1 ? data.size() / 2 : data.size();
    if (out.size() + data.size() > kMaxQueue) return;
    const int64_t step = ByteUs(p.baud);
    for (size_t i = 0; i < data.size(); ++i) {
      if (i == split) t += static_cast<int64_t>(f.splitDelayMs) * 1000;
      t += step;
      out.push_back({static_cast<uint8_t>(data[i]), t});
    }
    lastDueUs = t;
  }
  void Text(const std::string& s, int64_t at) { Queue(s + "\r\n", at); }
  void Unknown(int64_t at) { Text("Unknown command", at); }
  void Ack(int64_t at) { Queue(std::string(1, static_cast<char>(kAck)), at); }
  // A refusal, with an error code eight characters before the NAK when there is one.
  void Nak(const std::string& code, int64_t at) {
    std::string s;
    if (!code.empty()) {
      s = code.substr(0, 8);
      s += std::string(" ERROR").substr(0, 8 - s.size());
      s.resize(8, ' ');
    }
    s.push_back(static_cast<char>(kNak));
    Queue(s, at);
  }
  bool NakFault() const { return f.nakWrites && FaultsLive(); }

  // ------------------------------------------------------------------ tables

  void TableReply(const std::string& echo, std::vector<uint8_t> payload, int64_t at) {
    if (payload.size() > 254) payload.resize(254);
    if (payload.empty()) {
      Queue(echo + "00", at);
      return;
    }
    payload.push_back(static_cast<uint8_t>(165 - Sum8(payload.data(), payload.size())));
    Queue(echo + Hex2(static_cast<int>(payload.size())), at);
    txTable = std::move(payload);
    txOffset = 0;
    mode = Mode::kTableRead;
    modeLastUs = at;
  }
  void SendNextBlock(int64_t at) {
    const size_t n = std::min<size_t>(16, txTable.size() - txOffset);
    const bool last = txOffset + n >= txTable.size();
    Queue(std::string(txTable.begin() + static_cast<long>(txOffset), txTable.begin() + static_cast<long>(txOffset + n)),
          at, last);
    txOffset += n;
    modeLastUs = at;
    if (last) mode = Mode::kCommand;
  }
  void StartWrite(WriteKind kind, int target, size_t expected, int64_t at) {
    if (NakFault()) {
      Nak(f.nakCode, at);
      Consume();
      return;
    }
    if (expected == 0) {
      Nak("", at);
      return;
    }
    Ack(at);
    mode = Mode::kTableWrite;
    writeKind = kind;
    writeTarget = target;
    writeExpected = expected;
    writeData.clear();
    modeLastUs = at;
  }
  void WriteByte(uint8_t b, int64_t at) {
    writeData.push_back(b);
    modeLastUs = at;
    if (writeData.size() < writeExpected) {
      if (writeData.size() % 16 == 0) Ack(at);
      return;
    }
    mode = Mode::kCommand;
    if (Sum8(writeData.data(), writeData.size()) != 165) {
      Nak("", at);
      return;
    }
    writeData.pop_back();
    std::string code;
    if (writeKind == WriteKind::kTable) {
      p.tables[writeTarget] = writeData;
    } else {
      code = CalibrationWrite(writeTarget, writeData, at);
    }
    if (code.empty()) Ack(at); else Nak(code, at);
  }
  // "U" transfers: 'A' opens a record, channels fill it, 'Z' closes it.
  std::string CalibrationWrite(int channel, const std::vector<uint8_t>& data, int64_t at) {
    const int n = static_cast<int>(ChannelTypes().size());
    if (channel == 0) {
      if (data.size() != 1) return "F0";
      if (data[0] == 'A') {
        if (n == 0) return "F2";
        if (static_cast<int>(p.calibrationHistory.size()) >= kMaxCalibrationRecords) return "F1";
        CalibrationRecord rec;
        rec.complete = false;
        rec.date = ClockAtUs(at);
        rec.date.milliseconds = 0;
        rec.channels.assign(static_cast<size_t>(n), {0.0, 0.0, 0.0, 0.0});
        p.calibrationHistory.push_back(rec);
        openRecord = static_cast<int>(p.calibrationHistory.size()) - 1;
        written.assign(static_cast<size_t>(n), false);
        return "";
      }
      if (data[0] == 'Z') {
        if (openRecord < 0 || openRecord >= static_cast<int>(p.calibrationHistory.size())) return "F0";
        if (std::find(written.begin(), written.end(), false) != written.end()) return "F0";
        p.calibrationHistory[static_cast<size_t>(openRecord)].complete = true;
        openRecord = -1;
        return "";
      }
      return "F0";
    }
    if (openRecord < 0 || openRecord >= static_cast<int>(p.calibrationHistory.size())) return "F0";
    auto& rec = p.calibrationHistory[static_cast<size_t>(openRecord)];
    if (channel > static_cast<int>(rec.channels.size()) || data.size() < 32) return "F0";
    rec.channels[static_cast<size_t>(channel - 1)] = {GetDouble(&data[0]), GetDouble(&data[8]), GetDouble(&data[16]),
                                                      GetDouble(&data[24])};
    written[static_cast<size_t>(channel - 1)] = true;
    return "";
  }

  // ----------------------------------------------------------------- logging

  int64_t PeriodMs() const {
    const auto& d = p.deployment;
    int64_t s = d.periodHours * 3600LL + d.periodMinutes * 60LL + d.periodSeconds;
    return s == 0 ? 86400000LL : s * 1000;
  }
  bool SixHz() const { return (p.deployment.startCharacteristic[0] & 64) != 0; }
  int64_t SampleTimeMs(int64_t index) const {
    return SixHz() ? sampleBaseMs + index * 1000 / 6 : sampleBaseMs + index * PeriodMs();
  }
  bool Logging() const { return p.status == 2 || p.status == 6; }
  // Newer loggers send real-time records when the start characteristic says
  // so; older ones whenever a real-time rate was set with "!B".
  bool RealTimeOn() const {
    if (Microchip()) return (p.deployment.startCharacteristic[0] & 32) != 0;
    return p.deployment.realTimeBaudCode != 0;
  }
  int HeaderLength() const {
    if (Microchip()) {
      const uint32_t v = Capability(3);
      return v >= 30 && v <= 255 ? static_cast<int>(v) : p.parameterBlockLength;
    }
    if (p.model.find("KM") != std::string::npos) {
      if (p.firmwareVersion < 1.5f) return 0;
      if (p.firmwareVersion < 2.2f) return 15;
    }
    return p.parameterBlockLength;
  }
  // The parameter block written at the start of the memory when logging is enabled.
  std::vector<uint8_t> ParameterBlock() const {
    const int h = HeaderLength();
    std::vector<uint8_t> b(static_cast<size_t>(std::max(h, 31)), 0);
    const auto& d = p.deployment;
    const auto start = BcdTime(d.startTime), end = BcdTime(d.endTime);
    std::copy(start.begin(), start.end(), b.begin());
    std::copy(end.begin(), end.end(), b.begin() + 6);
    b[12] = Bcd(d.periodHours);
    b[13] = Bcd(d.periodMinutes);
    b[14] = Bcd(d.periodSeconds);
    std::copy(d.threshold.begin(), d.threshold.end(), b.begin() + 15);
    b[15] |= d.startCharacteristic[0] & (1 | 64 | 128);
    b[23] = d.averaging[0];
    b[24] = d.averaging[1];
    b[25] = d.realTimeBaudCode;
    for (int i = 0; i < 3; ++i) b[26 + i] = static_cast<uint8_t>(HexByte(d.thresholdTestPeriod, 2 * i));
    b[29] = d.hysteresis[0];
    b[30] = d.hysteresis[1];
    b.resize(static_cast<size_t>(h));
    if (h > 0) b[h - 1] = static_cast<uint8_t>(165 - Sum8(b.data(), b.size() - 1));
    return b;
  }
  std::vector<uint8_t> Stamp(const char* code, int64_t loggerMs) const {
    std::vector<uint8_t> s = {0, 0, 0, static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]),
                              static_cast<uint8_t>(code[2])};
    for (uint8_t b : BcdTime(TimeFromMs(loggerMs))) s.push_back(b);
    return s;
  }
  std::vector<uint32_t> Readings(int64_t loggerMs) const {
    const std::string types = ChannelTypes();
    std::vector<uint32_t> r;
    for (int c = 0; c < ChannelCount(); ++c)
      r.push_back(SimulatedRaw(c < static_cast<int>(types.size()) ? types[c] : 'T', c, loggerMs));
    return r;
  }
  // The binary record of a fetch or of real-time output: zeros, tag, time, readings, sum.
  std::string BinaryRecord(int64_t loggerMs) const {
    std::string s(3, '\0');
    s += "TIM";
    for (uint8_t b : BcdTime(TimeFromMs(loggerMs))) s.push_back(static_cast<char>(b));
    for (uint32_t raw : Readings(loggerMs)) {
      s.push_back(static_cast<char>(raw >> 16));
      s.push_back(static_cast<char>(raw >> 8));
      s.push_back(static_cast<char>(raw));
    }
    s.push_back(static_cast<char>(Sum8(reinterpret_cast<const uint8_t*>(s.data()) + 3, s.size() - 3)));
    return s;
  }
  double Engineering(uint32_t raw, int c) const {
    const std::string types = ChannelTypes();
    const char type = c < static_cast<int>(types.size()) ? types[c] : 'T';
    const auto k = Coefficients(c);
    return type == 'T' || p.model.find("KM") != std::string::npos ? Thermistor(raw, k) : Polynomial(raw, k);
  }
  std::string EngineeringRecord(int64_t loggerMs) const {
    std::string s = "TIM " + WireTime(TimeFromMs(loggerMs));
    const auto raws = Readings(loggerMs);
    for (size_t c = 0; c < raws.size(); ++c) {
      char b[32];
      std::snprintf(b, sizeof b, " %.4f", Engineering(raws[c], static_cast<int>(c)));
      s += b;
    }
    return s + " FET\r\n";
  }
  bool AppendRow(int64_t loggerMs) {
    std::vector<uint8_t> row;
    for (uint32_t raw : Readings(loggerMs)) {
      row.push_back(static_cast<uint8_t>(raw >> 16));
      row.push_back(static_cast<uint8_t>(raw >> 8));
      row.push_back(static_cast<uint8_t>(raw));
    }
    if (!AppendData(row)) return false;
    if (RealTimeOn()) {
      const int64_t dueUs = (loggerMs - clockOffsetMs) * 1000;
      std::string record = EngineeringUnitsOn() ? EngineeringRecord(loggerMs) : BinaryRecord(loggerMs);
      if (!EngineeringUnitsOn() && f.badChecksum && FaultsLive()) {
        record.back() = static_cast<char>(record.back() + 1);
        Consume();
      }
      Queue(record, dueUs - TurnaroundUs(), false, false);
    }
    return true;
  }
  void BeginRun(int64_t loggerMs, const char* stamp) {
    p.status = SixHz() ? 6 : 2;
    sampleBaseMs = loggerMs;
    sampleIndex = 0;
    AppendData(Stamp(stamp, loggerMs));
  }
  int64_t EndMs() const { return MsSince2000(p.deployment.endTime); }
  void Advance(int64_t nowUs) {
    if (mode == Mode::kCommand && !cmd.empty()) {
      const Shape s = Classify(cmd);
      if (s == Shape::kCompleteIfIdle && nowUs - cmdLastUs >= kIdleFlushUs) {
        const std::string c = cmd;
        cmd.clear();
        Execute(c, cmdLastUs + kIdleFlushUs);
      } else if (nowUs - cmdLastUs >= kAbandonUs) {
        cmd.clear();
      }
    } else if (mode != Mode::kCommand && nowUs - modeLastUs >= kTransferIdleUs) {
      mode = Mode::kCommand;
    }
    const int64_t now = LoggerMs(nowUs);
    if (p.status == 1) {
      const int64_t start = MsSince2000(p.deployment.startTime);
      if (now >= start) BeginRun(start, "TIM");
    }
    while (Logging()) {
      const int64_t t = SampleTimeMs(sampleIndex);
      if (t > EndMs()) {
        if (now >= EndMs()) p.status = 4;
        break;
      }
      if (t > now) break;
      if (!AppendRow(t)) {
        p.status = 4;
        break;
      }
      ++sampleIndex;
    }
  }

  // ------------------------------------------------------------------- input

  // How far a command's characters go: its length follows from its first letters.
  Shape Classify(const std::string& c) const {
    const size_t n = c.size();
    auto allHex = [&](size_t from) {
      for (size_t i = from; i < n; ++i)
        if (!IsHex(static_cast<uint8_t>(c[i]))) return false;
      return true;
    };
    auto allDigits = [&](size_t from) {
      for (size_t i = from; i < n; ++i)
        if (!IsDigit(static_cast<uint8_t>(c[i]))) return false;
      return true;
    };
    auto fixedHex = [&](size_t len) {
      if (!allHex(1)) return Shape::kInvalid;
      return n >= len ? Shape::kComplete : Shape::kNeedMore;
    };
    auto fixedDigits = [&](size_t len) {
      if (!allDigits(1)) return Shape::kInvalid;
      return n >= len ? Shape::kComplete : Shape::kNeedMore;
    };
    switch (c[0]) {
      case 'A': case 'B': case 'C': case 'D': case 'E': case 'G': case 'N': case 'P': case 'T': case 'X': case 'Z':
        return Shape::kComplete;
      case 'F':
        if (n == 1) return p.SingleChannel() ? Shape::kComplete : Shape::kCompleteIfIdle;
        return fixedHex(3);
      case 'I': return fixedHex(17);
      case 'J': case 'L': case 'M': return fixedDigits(13);
      case 'K': return fixedDigits(7);
      case 'R':
        if (!allDigits(1)) return Shape::kInvalid;
        if (n >= 4 && c[3] != '0') return Shape::kInvalid;
        if (n >= 5 && c[4] != '0') return Shape::kInvalid;
        return n >= 5 ? Shape::kComplete : Shape::kNeedMore;
      case 'S':
        if (!allHex(1) || (n >= 4 && c[3] != '0') || (n >= 5 && c[4] != '0')) return Shape::kInvalid;
        return n >= 7 ? Shape::kComplete : Shape::kNeedMore;
      case 'U': case 'V': return fixedHex(7);
      case 'W': return fixedHex(5);
      case 'Y':
        if (!p.SingleChannel()) return Shape::kComplete;
        return n >= 33 ? Shape::kComplete : Shape::kNeedMore;
      case '!': break;
      default: return Shape::kInvalid;
    }
    if (n == 1) return Shape::kNeedMore;
    auto bangHex = [&](size_t len) {
      if (!allHex(2)) return Shape::kInvalid;
      return n >= len ? Shape::kComplete : Shape::kNeedMore;
    };
    switch (c[1]) {
      case '0': case '4': case 'B': case 'E': case 'U': return bangHex(4);
      case '1': return bangHex(10);
      case 'A': case 'Y': return bangHex(18);
      case 'H': return bangHex(6);
      case 'X': return bangHex(6);
      case 'K':
        for (size_t i = 2; i < n; ++i)
          if (!IsDigit(static_cast<uint8_t>(c[i]))) return Shape::kInvalid;
        return n >= 8 ? Shape::kComplete : Shape::kNeedMore;
      case '6':
        if (!allHex(2)) return Shape::kInvalid;
        return n >= 12 ? Shape::kComplete : Shape::kNeedMore;
      case '3': return n >= 7 ? Shape::kComplete : Shape::kNeedMore;
      case 'T':
        if (n == 2) return Shape::kCompleteIfIdle;
        return bangHex(4);
      case 'G':
        if (n >= 3 && c[2] == 'C') {
          if (n >= 4 && c[3] != 'C') return Shape::kInvalid;
          for (size_t i = 4; i < n; ++i)
            if (!IsDigit(static_cast<uint8_t>(c[i]))) return Shape::kInvalid;
          return n >= 12 ? Shape::kComplete : Shape::kNeedMore;
        }
        return bangHex(4);
      case 'C': {
        if (!allHex(2)) return Shape::kInvalid;
        if (n < 8) return Shape::kNeedMore;
        const size_t len = static_cast<size_t>(HexByte(c, 6));
        return n >= 8 + 2 * len ? Shape::kComplete : Shape::kNeedMore;
      }
      default: return Shape::kComplete;  // two-character commands; the unknown ones answer so
    }
  }

  void Feed(uint8_t b, int64_t at) {
    switch (mode) {
      case Mode::kTableRead:
        if (b == kAck) {
          SendNextBlock(at);
          return;
        }
        mode = Mode::kCommand;
        if (b == kNak) return;
        break;
      case Mode::kTableWrite:
        WriteByte(b, at);
        return;
      case Mode::kPassThrough:
        if (--passThroughLeft <= 0) {
          mode = Mode::kCommand;
          Text("Optode 4330 1234 OK", at);
        }
        return;
      case Mode::kCommand: break;
    }
    if (cmd.empty() && (b < 0x20 || b >= 0x7F || b == ' ')) return;  // line noise, ACKs, line ends
    const bool commandStart = (b >= 'A' && b <= 'Z') || b == '!';
    if (cmd.empty()) {
      if (inJunk && !commandStart) return;  // one answer per run of junk
      inJunk = false;
    }
    cmd.push_back(static_cast<char>(b));
    cmdLastUs = at;
    Step(at);
  }

  void Step(int64_t at) {
    for (int guard = 0; guard < 4 && !cmd.empty(); ++guard) {
      const Shape s = Classify(cmd);
      if (s == Shape::kComplete) {
        const std::string c = cmd;
        cmd.clear();
        Execute(c, at);
        return;
      }
      if (s != Shape::kInvalid) {
        if (cmd.size() >= kMaxCommand) cmd.clear();
        return;
      }
      const char last = cmd.back();
      const std::string head = cmd.substr(0, cmd.size() - 1);
      cmd.clear();
      if (!head.empty() && Classify(head) == Shape::kCompleteIfIdle) {
        Execute(head, at);
      } else if (!silentNow()) {
        Log(head.empty() ? std::string(1, last) : head + last);
        Unknown(at);
        inJunk = true;
      }
      if (head.empty() || !((last >= 'A' && last <= 'Z') || last == '!')) return;
      cmd.push_back(last);  // the junk may end where a command begins
    }
  }
  bool silentNow() const { return f.silent && FaultsLive(); }
  void Log(const std::string& c) {
    if (log.size() < kMaxLog) log.push_back(Printable(c));
  }

  // ----------------------------------------------------------------- commands

  void Execute(const std::string& c, int64_t at) {
    Log(c);
    if (silentNow()) {
      Consume();
      return;
    }
    if (c[0] == '!') {
      ExecuteBang(c, at);
      return;
    }
    const auto& d = p.deployment;
    char b[64];
    switch (c[0]) {
      case 'A': {
        char id[96];
        std::snprintf(id, sizeof id, "TMV %s %.2f %06d", p.model.c_str(), static_cast<double>(p.firmwareVersion),
                      p.serialNumber);
        Text(p.identityPrefix + id, at);
        return;
      }
      case 'B': Text(WireTime(ClockAtUs(at)) + "CTD", at); return;
      case 'C':
        std::snprintf(b, sizeof b, "%02d%02d%02dCSP", d.periodHours, d.periodMinutes, d.periodSeconds);
        Text(b, at);
        return;
      case 'D': Text(WireTime(d.startTime) + "CST", at); return;
      case 'E': Text(WireTime(d.endTime) + "CET", at); return;
      case 'G': {
        const uint32_t ptr = DataPointer();
        std::snprintf(b, sizeof b, "%02X%02X%02X%02XCDP", ptr & 0xFF, (ptr >> 8) & 0xFF, (ptr >> 16) & 0xFF,
                      ptr >> 24);
        Text(b, at);
        return;
      }
      case 'T': Text(StatusText(), at); return;
      case 'X': Text(Hex2(d.averaging[0]) + Hex2(d.averaging[1]) + "BST", at); return;
      case 'N': Erase(at); return;
      case 'P': Enable(at); return;
      case 'F': Fetch(c, at); return;
      case 'I': MemoryRead(c, at); return;
      case 'J': case 'L': case 'M': SetTime(c, at); return;
      case 'K': {
        const int h = Dec2(c, 1), m = Dec2(c, 3), s = Dec2(c, 5);
        if ((h < 24 && m < 60 && s < 60) || (h == 24 && m == 0 && s == 0)) {
          p.deployment.periodHours = h;
          p.deployment.periodMinutes = m;
          p.deployment.periodSeconds = s;
        }
        return;
      }
      case 'R': {
        const int table = Dec2(c, 1);
        if (!Microchip() || table > 8) {
          Unknown(at);
          return;
        }
        auto it = p.tables.find(table);
        TableReply(c, it == p.tables.end() ? std::vector<uint8_t>{} : it->second, at);
        return;
      }
      case 'S': {
        if (!IsDigit(static_cast<uint8_t>(c[1])) || !IsDigit(static_cast<uint8_t>(c[2])) || !Microchip() ||
            Dec2(c, 1) > 8) {
          Unknown(at);
          return;
        }
        StartWrite(WriteKind::kTable, Dec2(c, 1), static_cast<size_t>(HexByte(c, 5)), at);
        return;
      }
      case 'U':
        if (!Microchip()) {
          Unknown(at);
          return;
        }
        StartWrite(WriteKind::kCalibration, HexByte(c, 1) | HexByte(c, 3) << 8, static_cast<size_t>(HexByte(c, 5)),
                   at);
        return;
      case 'V': CalibrationRead(c, at); return;
      case 'W':
        p.deployment.averaging = {static_cast<uint8_t>(HexByte(c, 1)), static_cast<uint8_t>(HexByte(c, 3))};
        return;
      case 'Z': SingleCalibration(at); return;
      case 'Y': SingleCalibrationWrite(c, at); return;
      default: Unknown(at); return;
    }
  }

  std::string StatusText() const {
    const int s = p.status;
    if (!Microchip()) return "Logger status " + Hex2(s == 8 ? 4 : s);
    if (s == 8) return "Logger status 0402";
    return "Logger status " + Hex2(s) + "00";
  }

  void SetTime(const std::string& c, int64_t at) {
    int v[6];
    for (int i = 0; i < 6; ++i) v[i] = Dec2(c, 1 + 2 * i);
    if (!ValidTime(v[0], v[1], v[2], v[3], v[4], v[5])) return;
    LoggerTime t{static_cast<uint16_t>(2000 + v[0]), static_cast<uint16_t>(v[1]), 0, static_cast<uint16_t>(v[2]),
                 static_cast<uint16_t>(v[3]), static_cast<uint16_t>(v[4]), static_cast<uint16_t>(v[5]), 0};
    if (c[0] == 'J') {
      // The clock runs on from here: logger time = host time + offset.
      clockOffsetMs = MsSince2000(t) - at / 1000;
    } else if (c[0] == 'L') {
      p.deployment.startTime = t;
    } else {
      p.deployment.endTime = t;
    }
  }

  void Erase(int64_t at) {
    if (Microchip() && (armedCode != 1 || at - armedUs > 5000000)) return;  // not unlocked
    armedCode = -1;
    p.dataMemory.clear();
    p.status = f.eraseFails ? 0x7F : 0;
    busyUntilUs = at + static_cast<int64_t>(p.eraseMs) * 1000;
  }

  void Enable(int64_t at) {
    if (p.status != 0) {
      Text("Logger status " + Hex2(p.status == 8 ? 4 : p.status), at);
      return;
    }
    if (p.dataMemory.empty()) AppendData(ParameterBlock());
    const int64_t now = LoggerMs(at);
    if ((p.deployment.startCharacteristic[0] & 1) || MsSince2000(p.deployment.startTime) < now) {
      // Start now (or a start already past): on the next whole second.
      p.deployment.startTime = TimeFromMs((now / 1000 + 1) * 1000);
    }
    p.status = 1;
    Advance(at);
    Text("Logger status " + Hex2(p.status), at);
  }

  void Fetch(const std::string& c, int64_t at) {
    const int64_t ready = at + static_cast<int64_t>(ReadingDelayMs()) * 1000;
    const int64_t when = LoggerMs(ready);
    if (c.size() == 1) {  // older single-channel form: one reading as text
      Text(FetchValue(0, when), ready);
      return;
    }
    const int selector = c == "FAB" ? 0 : HexByte(c, 1);
    if (c == "FAB" || selector == 0) {
      if (EngineeringUnitsOn()) {
        Queue(EngineeringRecord(when), ready);
      } else {
        Queue(BinaryRecord(when), ready, true);
      }
      return;
    }
    if (EngineeringUnitsOn()) {
      const int ch = (selector - 1) % ChannelCount();
      char b[48];
      std::snprintf(b, sizeof b, "%2d %.4f\r\nFET", selector, Engineering(Readings(when)[static_cast<size_t>(ch)], ch));
      Text(b, ready);
      return;
    }
    Text(FetchValue((selector - 1) % ChannelCount(), when), ready);
  }
  std::string FetchValue(int channel, int64_t loggerMs) const {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", Readings(loggerMs)[static_cast<size_t>(channel)]);
    return b;
  }

  void MemoryRead(const std::string& c, int64_t at) {
    uint32_t end = 0, start = 0;
    for (int i = 0; i < 4; ++i) {
      end |= static_cast<uint32_t>(HexByte(c, 1 + 2 * i)) << (8 * i);
      start |= static_cast<uint32_t>(HexByte(c, 9 + 2 * i)) << (8 * i);
    }
    if (end <= start || end - start > kMaxMemoryRead) return;  // nothing sensible to send
    std::string data;
    for (uint32_t a = start; a < end; ++a)
      if (!IsHole(a)) data.push_back(static_cast<char>(ReadByte(a)));
    // A single-channel recorder has no configuration image: what lies where a
    // multi-channel logger keeps it is plain memory, sent without a sum.
    const bool image = p.SingleChannel() && start < kImageEnd && end > kImageStart;
    const bool sum = !image && !(p.model.find("KM") != std::string::npos && p.firmwareVersion < 1.5f);
    if (sum) data.push_back(static_cast<char>(Sum8(reinterpret_cast<const uint8_t*>(data.data()), data.size())));
    Queue(data, at, sum);
  }

  void CalibrationRead(const std::string& c, int64_t at) {
    if (!Microchip()) {
      Unknown(at);
      return;
    }
    const int record = HexByte(c, 1) | HexByte(c, 3) << 8;
    const int channel = HexByte(c, 5);
    const auto list = NumberedRecords();
    std::vector<uint8_t> payload;
    if (record < static_cast<int>(list.size())) {
      const CalibrationRecord& rec = *list[static_cast<size_t>(record)];
      if (channel == 0) {
        const std::string text = (rec.complete ? "CAL" : "CMM") + WireTime(rec.date);
        payload.assign(text.begin(), text.end());
      } else if (channel <= static_cast<int>(rec.channels.size())) {
        for (double v : rec.channels[static_cast<size_t>(channel - 1)]) PutDouble(payload, v);
        payload.push_back(0);
      }
    }
    TableReply(c, payload, at);
  }

  void SingleCalibration(int64_t at) {
    if (!p.SingleChannel()) {
      Unknown(at);
      return;
    }
    const uint32_t last = LastSingleRecord();
    if (last == 0) {
      Text("CAL", at);
      return;
    }
    std::string s;
    for (int i = 0; i < 32; ++i) s.push_back(static_cast<char>(ReadByte(last + 6 + i)));
    Text(s + "CAL", at);
  }

  void SingleCalibrationWrite(const std::string& c, int64_t at) {
    if (!p.SingleChannel()) {
      Unknown(at);
      return;
    }
    if (NakFault()) {
      Consume();
      return;  // refused: nothing is stored
    }
    uint32_t a = kCalibrationPage;
    while (a + 38 <= kSingleRecordEnd && ReadByte(a) != 0xFF) a += 38;
    if (a + 38 > kSingleRecordEnd) return;
    for (uint8_t b : BcdTime(ClockAtUs(at))) p.memory[a++] = b;
    for (int i = 0; i < 32; ++i) p.memory[a++] = static_cast<uint8_t>(c[1 + i]);
  }

  void ExecuteBang(const std::string& c, int64_t at) {
    auto& d = p.deployment;
    const char k = c[1];
    // Commands only the newer loggers know.
    static const std::string kNewerOnly = "1234567TUWXYZG3";
    if (!Microchip() && kNewerOnly.find(k) != std::string::npos) {
      Unknown(at);
      return;
    }
    switch (k) {
      case '0': {
        const bool reports = Microchip() || (HasQn() && p.firmwareVersion > 4.25f);
        const int index = HexByte(c, 2);
        auto it = p.capabilities.find(index);
        if (!reports || it == p.capabilities.end()) {
          Unknown(at);
          return;
        }
        const uint32_t v = it->second;
        Text(Hex2(v) + Hex2(v >> 8) + Hex2(v >> 16) + Hex2(v >> 24) + "CAP" + Hex2(index), at);
        return;
      }
      case '1':
        for (int i = 0; i < 4; ++i) d.startCharacteristic[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
        return;
      case '2': {
        std::string s;
        for (uint8_t v : d.startCharacteristic) s += Hex2(v);
        Text(s + "STC", at);
        return;
      }
      case '3':
        mode = Mode::kPassThrough;
        passThroughLeft = 3;
        modeLastUs = at;
        return;
      case '4': d.burstRate = static_cast<uint8_t>(HexByte(c, 2)); return;
      case '5': Text(Hex2(d.burstRate) + "RAT", at); return;
      case '6': d.waveArguments = c.substr(2); return;
      case '7': Text(d.waveArguments + "WAV", at); return;
      case '9':
        if (p.status == 1 || p.status == 2 || p.status == 3 || p.status == 5 || p.status == 6) {
          if (Logging() || p.status == 5) AppendData(Stamp("STP", LoggerMs(at)));
          p.status = 8;
        }
        return;
      case 'A':
        for (int i = 0; i < 8; ++i) d.threshold[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
        return;
      case 'B': d.realTimeBaudCode = static_cast<uint8_t>(HexByte(c, 2)); return;
      case 'C': CalibrationPageWrite(c); return;
      case 'D': {
        if (p.firmwareVersion >= 2.2f) Text(Hex2(p.batteryCode) + "BAT", at); else Text(Hex2(p.batteryCode), at);
        return;
      }
      case 'E': ChangeSpeed(HexByte(c, 2)); return;
      case 'G': Card(c, at); return;
      case 'H': d.hysteresis = {static_cast<uint8_t>(HexByte(c, 2)), static_cast<uint8_t>(HexByte(c, 4))}; return;
      case 'K': d.thresholdTestPeriod = c.substr(2); return;
      case 'L': {
        std::string s;
        for (uint8_t v : d.threshold) s += Hex2(v);
        Text(s + "THR", at);
        return;
      }
      case 'M': Text(Hex2(d.realTimeBaudCode) + "BAU", at); return;
      case 'O': Text(Hex2(d.hysteresis[0]) + Hex2(d.hysteresis[1]) + "HYS", at); return;
      case 'P': Text(d.thresholdTestPeriod + "PSP", at); return;
      case 'R': {
        const bool canRun = p.status == 5 || ((p.status == 4 || p.status == 8) && LoggerMs(at) < EndMs());
        if (!canRun) return;
        const int64_t now = LoggerMs(at);
        BeginRun((now / 1000 + 1) * 1000, "TIM");
        return;
      }
      case 'S':
        if (Logging()) p.status = 5;
        return;
      case 'T':
        if (c.size() == 2) {
          if (armedCode == 2) memoryTested = true;
          armedCode = -1;
          return;
        }
        Text(memoryTested ? "0102" : "0100", at);
        return;
      case 'U':
        armedCode = HexByte(c, 2);
        armedUs = at;
        return;
      case 'W': {
        char b[32];
        std::snprintf(b, sizeof b, "%.2fWIN", static_cast<double>(p.minimumProgramVersion));
        Text(b, at);
        return;
      }
      case 'X': {
        const int op = HexByte(c, 2);
        if (op == 1 || op == 4) {
          Queue((p.metaTable.empty() ? std::string("No meta table") : p.metaTable.substr(0, 16000)) +
                    static_cast<char>(kEtx),
                at);
        }
        return;
      }
      case 'Y':
        for (int i = 0; i < 8; ++i) d.height[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
        return;
      case 'Z': {
        std::string s;
        for (uint8_t v : d.height) s += Hex2(v);
        Text(s + "LHT", at);
        return;
      }
      default: Unknown(at); return;
    }
  }

  void ChangeSpeed(int divisor) {
    if (p.SingleChannel()) {
      p.baud = divisor == 0 ? 28800 : 57600;
      return;
    }
    if (divisor == 1) {
      p.baud = 115200;
      return;
    }
    static const int kRates[] = {1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600};
    for (int r : kRates) {
      if (static_cast<int>(9.216e6 / (32.0 * r)) - 2 == divisor) {
        p.baud = r;
        return;
      }
    }
    p.baud = 288000 / (divisor + 2);
  }

  // Older multi-channel calibration write: "!C", offset low, high, length, data as hex.
  void CalibrationPageWrite(const std::string& c) {
    if (NakFault()) {
      Consume();
      return;
    }
    const uint32_t offset = static_cast<uint32_t>(HexByte(c, 2) | HexByte(c, 4) << 8);
    const uint32_t len = static_cast<uint32_t>(HexByte(c, 6));
    if (!HasQn() || Microchip() || offset + len > kCalibrationPageLimit) return;  // refused
    for (uint32_t i = 0; i < len; ++i) p.memory[kCalibrationPage + offset + i] = static_cast<uint8_t>(HexByte(c, 8 + 2 * i));
    // A channel block is stored with its trailing 0 byte.
    if (len == 32 && offset + 33 <= kCalibrationPageLimit) p.memory[kCalibrationPage + offset + 32] = 0;
  }

  void Card(const std::string& c, int64_t at) {
    if (p.cardType.empty()) {
      Unknown(at);
      return;
    }
    char b[64];
    if (c[2] == 'C') {
      const int file = std::atoi(c.substr(4).c_str());
      auto it = p.cardFiles.find(file);
      Queue(it == p.cardFiles.end() ? std::string("File not found\r\n") : it->second.substr(0, 280), at);
      return;
    }
    switch (HexByte(c, 2)) {
      case 0: std::snprintf(b, sizeof b, "%08Xx MMS", p.cardSizeKb); Text(b, at); return;
      case 4: Text(p.cardType + "MMD", at); return;
      case 2:
        std::snprintf(b, sizeof b, "%08dMMF", p.cardFiles.empty() ? 0 : p.cardFiles.begin()->first);
        Text(b, at);
        return;
      case 3:
        std::snprintf(b, sizeof b, "%08dMML", p.cardFiles.empty() ? 0 : p.cardFiles.rbegin()->first);
        Text(b, at);
        return;
      default: Unknown(at); return;
    }
  }

  // ---------------------------------------------------------------- transport

  void Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs) {
    const int64_t t0 = nowMs * 1000;
    Advance(t0);
    const int64_t step = ByteUs(hostBaud);
    // The host's line sends one byte after another: a write cannot overtake
    // the bytes of the one before.
    const int64_t base = lastRxUs == INT64_MIN ? t0 : std::max(t0, lastRxUs);
    if (hostBaud != p.baud) {
      // Noise at the wrong rate: whatever was half-heard is spoilt.
      if (count > 0) {
        cmd.clear();
        mode = Mode::kCommand;
        lastRxUs = base + static_cast<int64_t>(count) * step;
      }
      return;
    }
    for (size_t i = 0; i < count; ++i) {
      const int64_t arrival = base + static_cast<int64_t>(i + 1) * step;
      const bool asleep = p.sleepAfterIdleMs > 0 &&
                          (lastRxUs == INT64_MIN || arrival - lastRxUs > static_cast<int64_t>(p.sleepAfterIdleMs) * 1000);
      lastRxUs = arrival;
      if (asleep) continue;  // the byte only woke the logger
      if (arrival < busyUntilUs) continue;
      Feed(data[i], arrival);
    }
  }

  size_t Transmit(uint8_t* dest, size_t max, int64_t nowMs) {
    Advance(nowMs * 1000);
    size_t n = 0;
    while (n < max && !out.empty() && out.front().dueUs <= nowMs * 1000) {
      dest[n++] = out.front().byte;
      out.pop_front();
    }
    return n;
  }

  int64_t NextByteTimeMs() const {
    auto ceilMs = [](int64_t us) { return (us + 999) / 1000; };
    if (!out.empty()) return ceilMs(out.front().dueUs);
    int64_t next = -1;
    auto consider = [&](int64_t ms) {
      if (next < 0 || ms < next) next = ms;
    };
    if (mode == Mode::kCommand && !cmd.empty() && Classify(cmd) == Shape::kCompleteIfIdle)
      consider(ceilMs(cmdLastUs + kIdleFlushUs));
    if (RealTimeOn()) {
      if (Logging()) consider(SampleTimeMs(sampleIndex) - clockOffsetMs);
      if (p.status == 1) consider(MsSince2000(p.deployment.startTime) - clockOffsetMs);
    }
    return next;
  }

  void RecordSamples(int rows, int64_t nowMs) {
    const int64_t now = LoggerMs(nowMs * 1000) / 1000 * 1000;
    p.dataMemory.clear();
    rows = std::max(rows, 0);
    const int64_t period = PeriodMs();
    p.deployment.startTime = TimeFromMs(now - rows * period);
    p.deployment.endTime = TimeFromMs(now);
    AppendData(ParameterBlock());
    sampleBaseMs = now - rows * period;
    AppendData(Stamp("TIM", sampleBaseMs));
    for (sampleIndex = 0; sampleIndex < rows; ++sampleIndex) {
      if (!AppendRow(SampleTimeMs(sampleIndex))) break;
    }
    out.clear();  // no real-time output for the past
    p.status = 4;
  }
};

LoggerEmulator::LoggerEmulator(Profile profile, LoggerTime clock) : impl_(std::make_unique<Impl>()) {
  impl_->p = std::move(profile);
  impl_->clockOffsetMs = MsSince2000(clock);
}
LoggerEmulator::~LoggerEmulator() = default;

void LoggerEmulator::Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs) {
  impl_->Receive(data, count, hostBaud, nowMs);
}
size_t LoggerEmulator::Transmit(uint8_t* out, size_t max, int64_t nowMs) { return impl_->Transmit(out, max, nowMs); }
int64_t LoggerEmulator::NextByteTimeMs() const { return impl_->NextByteTimeMs(); }
Profile& LoggerEmulator::profile() { return impl_->p; }
Faults& LoggerEmulator::faults() { return impl_->f; }
LoggerTime LoggerEmulator::ClockAt(int64_t nowMs) const { return TimeFromMs(nowMs + impl_->clockOffsetMs); }
const std::vector<std::string>& LoggerEmulator::CommandLog() const { return impl_->log; }
int LoggerEmulator::Baud() const { return impl_->p.baud; }
void LoggerEmulator::RecordSamples(int rows, int64_t nowMs) { impl_->RecordSamples(rows, nowMs); }
uint32_t LoggerEmulator::DataPointer() const { return impl_->DataPointer(); }
std::string LoggerEmulator::ChannelTypes() const { return impl_->ChannelTypes(); }

}  // namespace tmv::sim
