// The emulated logger's memory and logging: the data pointer and memory reads,
// the deployment times, enabling, erasing and the samples it writes.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

uint32_t LoggerEmulator::Impl::DataLimit() const {
  if (Microchip()) return 0x7FE000;
  const bool big = (HasQn() && p.firmwareVersion > 4.0f) ||
                   ((p.model.find("KM") != std::string::npos || p.model.find("PM") != std::string::npos) &&
                    p.firmwareVersion > 3.15f);
  return big ? 0x3FF7FE : 0x1FF7FE;
}

bool LoggerEmulator::Impl::IsHole(uint32_t a) const {
  if (Microchip()) return false;
  return (a & 0xFFFF) == 0xFFFF || (a & 0xFFFFF) >= 0xFF7FE;
}

uint8_t LoggerEmulator::Impl::ReadByte(uint32_t a) const {
  const uint32_t start = DataStart();
  if (a >= start && a - start < p.dataMemory.size()) return p.dataMemory[a - start];
  auto it = p.memory.find(a);
  return it == p.memory.end() ? 0xFF : it->second;
}

bool LoggerEmulator::Impl::AppendData(const std::vector<uint8_t>& bytes) {
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

int64_t LoggerEmulator::Impl::PeriodMs() const {
  const auto& d = p.deployment;
  int64_t s = d.periodHours * 3600LL + d.periodMinutes * 60LL + d.periodSeconds;
  return s == 0 ? 86400000LL : s * 1000;
}

int64_t LoggerEmulator::Impl::SampleTimeMs(int64_t index) const {
  return SixHz() ? sampleBaseMs + index * 1000 / 6 : sampleBaseMs + index * PeriodMs();
}

int LoggerEmulator::Impl::HeaderLength() const {
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

std::vector<uint8_t> LoggerEmulator::Impl::ParameterBlock() const {
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

std::vector<uint8_t> LoggerEmulator::Impl::Stamp(const char* code, int64_t loggerMs) const {
  std::vector<uint8_t> s = {0, 0, 0, static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]),
                            static_cast<uint8_t>(code[2])};
  for (uint8_t b : BcdTime(TimeFromMs(loggerMs))) s.push_back(b);
  return s;
}

bool LoggerEmulator::Impl::AppendRow(int64_t loggerMs) {
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

void LoggerEmulator::Impl::BeginRun(int64_t loggerMs, const char* stamp) {
  p.status = SixHz() ? 6 : 2;
  sampleBaseMs = loggerMs;
  sampleIndex = 0;
  AppendData(Stamp(stamp, loggerMs));
}

std::string LoggerEmulator::Impl::StatusText() const {
  const int s = p.status;
  if (!Microchip()) return "Logger status " + Hex2(s == 8 ? 4 : s);
  if (s == 8) return "Logger status 0402";
  return "Logger status " + Hex2(s) + "00";
}

void LoggerEmulator::Impl::SetTime(const std::string& c, int64_t at) {
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

void LoggerEmulator::Impl::Erase(int64_t at) {
  if (Microchip() && (armedCode != 1 || at - armedUs > 5000000)) return;  // not unlocked
  armedCode = -1;
  p.dataMemory.clear();
  p.status = f.eraseFails ? 0x7F : 0;
  busyUntilUs = at + static_cast<int64_t>(p.eraseMs) * 1000;
}

void LoggerEmulator::Impl::Enable(int64_t at) {
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

void LoggerEmulator::Impl::MemoryRead(const std::string& c, int64_t at) {
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

void LoggerEmulator::Impl::RecordSamples(int rows, int64_t nowMs) {
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

}  // namespace tmv::sim
