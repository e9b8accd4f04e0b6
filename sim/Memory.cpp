// The emulated logger's memory and logging: the data pointer and memory reads,
// the deployment times, enabling, erasing and the samples it writes.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {
namespace {

constexpr int64_t kTimeMarkMs = 86400000;  // a time stamp once a day of logging

}  // namespace

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
  for (uint32_t raw : RowRaw(loggerMs, false)) {
    row.push_back(static_cast<uint8_t>(raw >> 16));
    row.push_back(static_cast<uint8_t>(raw >> 8));
    row.push_back(static_cast<uint8_t>(raw));
  }
  // Storage inhibited (option flag bit 0): the records only go out on the line.
  const bool inhibited = Microchip() && (p.deployment.startCharacteristic[1] & 1) != 0;
  if (!inhibited && !AppendData(row)) return false;
  if (RealTimeOn()) {
    const int64_t dueUs = HostUs(loggerMs);
    std::string record = EngineeringUnitsOn() ? EngineeringRecord(loggerMs) : BinaryRecord(loggerMs);
    if (!EngineeringUnitsOn() && f.badChecksum && FaultsLive()) {
      record.back() = static_cast<char>(record.back() + 1);
      Consume();
    }
    Queue(LineNoise(record, !EngineeringUnitsOn()), dueUs - TurnaroundUs(), false, false);
  }
  return true;
}

void LoggerEmulator::Impl::BeginRun(int64_t loggerMs, const char* stamp) {
  p.status = SixHz() ? 6 : 2;
  sampleBaseMs = runStartMs = loggerMs;
  sampleIndex = 0;
  nextMarkMs = loggerMs + kTimeMarkMs;
  burstOpen = false;
  stampBeforeRow = false;
  if (WavesOn()) {
    // Bursts keep the deployment's schedule across a suspension.
    const int64_t period = BurstPeriodMs();
    burstCount = std::max<int64_t>(burstCount, (loggerMs - burstBaseMs + period - 1) / period);
  }
  AppendData(Stamp(stamp, loggerMs));
}

void LoggerEmulator::Impl::PrepareRun() {
  runTypes = ChannelTypes();
  runCoefficients.clear();
  for (int c = 0; c < ChannelCount(); ++c) runCoefficients.push_back(Coefficients(c));
}

std::vector<uint32_t> LoggerEmulator::Impl::RowRaw(int64_t loggerMs, bool waves) const {
  const bool thermistorsOnly = p.model.find("KM") != std::string::npos;
  std::vector<uint32_t> r;
  for (size_t c = 0; c < runCoefficients.size(); ++c) {
    const char type = c < runTypes.size() ? runTypes[c] : 'T';
    const bool thermistor = thermistorsOnly || type == 'T';
    const auto bench = BenchRaw(p, type, static_cast<int>(c), runCoefficients[c]);
    r.push_back(bench ? *bench
                      : RawForValue(SeaValue(p, type, static_cast<int>(c), loggerMs, waves), runCoefficients[c], thermistor));
  }
  return r;
}

bool LoggerEmulator::Impl::AppendWord(uint32_t raw) {
  return AppendData({static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw)});
}

bool LoggerEmulator::Impl::WavesOn() const {
  return (Capability(0) & (1u << 16)) != 0 && BurstLength() > 0 && BurstPeriodMs() > 0;
}

int LoggerEmulator::Impl::BurstLength() const {
  const std::string& w = p.deployment.waveArguments;
  if (w.size() < 10) return 0;
  return HexByte(w, 0) | HexByte(w, 2) << 8;
}

int64_t LoggerEmulator::Impl::BurstPeriodMs() const {
  const std::string& w = p.deployment.waveArguments;
  if (w.size() < 10) return 0;
  return (Dec2(w, 4) * 3600LL + Dec2(w, 6) * 60LL + Dec2(w, 8)) * 1000;
}

int LoggerEmulator::Impl::BurstRateHz() const {
  const int r = p.deployment.burstRate;
  return r == 1 || r == 2 || r == 4 ? r : 1;
}

int LoggerEmulator::Impl::ThresholdMode() const {
  if (!HasQn() && !Microchip()) return 0;
  const int mode = p.deployment.threshold[0] & 7;
  return mode >= 4 ? mode : 0;
}

bool LoggerEmulator::Impl::Triggered(int64_t loggerMs) const {
  const auto& t = p.deployment.threshold;
  const size_t channel = t[1];
  const std::vector<uint32_t> raws = RowRaw(loggerMs, false);
  if (channel >= raws.size()) return false;
  const uint32_t level = static_cast<uint32_t>(t[5]) << 16 | static_cast<uint32_t>(t[6]) << 8 | t[7];
  // The logger compares raw counts: odd modes start below the level, even ones above.
  return (ThresholdMode() & 1) ? raws[channel] < level : raws[channel] > level;
}

int64_t LoggerEmulator::Impl::TestPeriodMs() const {
  const std::string& k = p.deployment.thresholdTestPeriod;
  const bool powerSaving = ThresholdMode() >= 6;
  if (powerSaving && k.size() >= 6) {
    const int64_t ms = (Dec2(k, 0) * 3600LL + Dec2(k, 2) * 60LL + Dec2(k, 4)) * 1000;
    if (ms > 0) return ms;
  }
  return SixHz() ? 1000 / 6 : PeriodMs();
}

int64_t LoggerEmulator::Impl::HysteresisCount() const {
  if ((Capability(0) & (1u << 3)) == 0) return 0;
  return p.deployment.hysteresis[0] | p.deployment.hysteresis[1] << 8;
}

void LoggerEmulator::Impl::LogUntil(int64_t now) {
  const int64_t end = EndMs();
  if (p.status == 1) {
    const int64_t start = MsSince2000(p.deployment.startTime);
    if (now < start) return;
    burstBaseMs = start;
    burstCount = 0;
    if (ThresholdMode()) {
      p.status = 3;
      testBaseMs = start;
      testIndex = 0;
    } else {
      BeginRun(start, "TIM");
    }
  }
  if (p.status != 3 && !Logging()) return;
  PrepareRun();
  for (;;) {
    if (p.status == 3) {
      // Waiting for the threshold: one test every test period.
      const int64_t t = testBaseMs + testIndex * TestPeriodMs();
      if (t > now || t > end) break;
      ++testIndex;
      if (Triggered(t)) {
        BeginRun(t, "TIM");
        hysteresisLeft = HysteresisCount();
      }
      continue;
    }
    if (!Logging()) break;
    if (burstOpen) {
      const int64_t t = burstStartMs + static_cast<int64_t>(burstDone) * 1000 / BurstRateHz();
      if (t > now) break;
      // Burst samples are the pressure channel's readings, one word each.
      const std::vector<uint32_t> raws = RowRaw(t, true);
      const int pressure = raws.size() > 1 ? 1 : 0;
      if (!AppendWord(raws[static_cast<size_t>(pressure)])) {
        p.status = 4;
        break;
      }
      if (RealTimeOn()) SendBurstReading(raws[static_cast<size_t>(pressure)], pressure, t);
      if (++burstDone >= BurstLength()) {
        burstOpen = false;
        stampBeforeRow = true;  // burst samples run until the next stamp
      }
      continue;
    }
    const int64_t row = SampleTimeMs(sampleIndex);
    const int64_t burst = WavesOn() ? burstBaseMs + burstCount * BurstPeriodMs() : INT64_MAX;
    if (burst <= row && burst <= now && burst <= end) {
      if (!AppendData(Stamp("BST", burst))) {
        p.status = 4;
        break;
      }
      ++burstCount;
      burstOpen = true;
      burstDone = 0;
      burstStartMs = burst;
      continue;
    }
    if (row > now || row > end) break;
    if (ThresholdMode()) {
      if (Triggered(row)) {
        hysteresisLeft = HysteresisCount();
      } else if (hysteresisLeft > 0) {
        --hysteresisLeft;
      } else {
        // Crossed back and the hysteresis has run out: wait for the threshold again.
        p.status = 3;
        testBaseMs = row;
        testIndex = 1;
        continue;
      }
    }
    if (row >= nextMarkMs || stampBeforeRow) {
      if (!AppendData(Stamp("TIM", row))) {
        p.status = 4;
        break;
      }
      if (row >= nextMarkMs) nextMarkMs += kTimeMarkMs;
      stampBeforeRow = false;
    }
    if (!AppendRow(row)) {
      p.status = 4;
      break;
    }
    ++sampleIndex;
  }
  if ((p.status == 3 || Logging()) && now >= end && !burstOpen) p.status = 4;
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
    clockOffsetMs = MsSince2000(t) - at * timeScale / 1000;
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
  runTypes.clear();
  burstOpen = false;
  // Until the erase completes the logger answers only the status query, and
  // that with 7F: its memory is not usable yet.
  erasingUntilUs = at + static_cast<int64_t>(p.eraseMs) * 1000;
}

void LoggerEmulator::Impl::Enable(int64_t at) {
  if (p.status != 0) {
    Text("Logger status " + Hex2(p.status == 8 ? 4 : p.status), at);
    return;
  }
  if (p.dataMemory.empty()) AppendData(ParameterBlock());
  const int64_t now = LoggerMs(at);
  if (MsSince2000(p.deployment.startTime) < now) {
    // A start already past: on the next whole second.
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
  const int read = memoryReads++;
  // A fixed scatter of the reads a share of faults hits: read k is hit when
  // (k * 37 + salt) mod 100 falls below the share.
  auto hit = [read](int percent, int salt) { return percent > 0 && (read * 37 + salt) % 100 < percent; };
  if (f.silenceOnceMs > 0 && read == f.silenceAfterReads) {
    deafUntilUs = at + static_cast<int64_t>(f.silenceOnceMs) * 1000;
    return;
  }
  if (hit(f.dropBlockPercent, 11)) return;
  std::string data;
  for (uint32_t a = start; a < end; ++a)
    if (!IsHole(a)) data.push_back(static_cast<char>(ReadByte(a)));
  // A single-channel recorder has no configuration image: what lies where a
  // multi-channel logger keeps it is plain memory, sent without a sum.
  const bool image = p.SingleChannel() && start < kImageEnd && end > kImageStart;
  const bool sum = !image && !(p.model.find("KM") != std::string::npos && p.firmwareVersion < 1.5f);
  if (sum) data.push_back(static_cast<char>(Sum8(reinterpret_cast<const uint8_t*>(data.data()), data.size())));
  if (sum && hit(f.badBlockPercent, 53)) data.back() = static_cast<char>(data.back() ^ 0x5A);
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
  PrepareRun();
  sampleBaseMs = now - rows * period;
  AppendData(Stamp("TIM", sampleBaseMs));
  for (sampleIndex = 0; sampleIndex < rows; ++sampleIndex) {
    if (!AppendRow(SampleTimeMs(sampleIndex))) break;
  }
  out.clear();  // no real-time output for the past
  p.status = 4;
}

}  // namespace tmv::sim
