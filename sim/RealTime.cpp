// The emulated logger's live readings: fetches and the real-time records a
// logging logger sends.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

bool LoggerEmulator::Impl::RealTimeOn() const {
  if (Microchip()) return (p.deployment.startCharacteristic[0] & 32) != 0;
  return p.deployment.realTimeBaudCode != 0;
}

std::vector<uint32_t> LoggerEmulator::Impl::Readings(int64_t loggerMs) const {
  if (!runTypes.empty() && Logging()) return RowRaw(loggerMs, false);
  const std::string types = ChannelTypes();
  const bool thermistorsOnly = p.model.find("KM") != std::string::npos;
  std::vector<uint32_t> r;
  for (int c = 0; c < ChannelCount(); ++c) {
    const char type = c < static_cast<int>(types.size()) ? types[c] : 'T';
    const auto bench = BenchRaw(p, type, c, Coefficients(c));
    r.push_back(bench ? *bench
                      : RawForValue(SeaValue(p, type, c, loggerMs, false), Coefficients(c), thermistorsOnly || type == 'T'));
  }
  return r;
}

std::string LoggerEmulator::Impl::BinaryRecord(int64_t loggerMs) const {
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

double LoggerEmulator::Impl::Engineering(uint32_t raw, int c) const {
  const std::string types = ChannelTypes();
  const char type = c < static_cast<int>(types.size()) ? types[c] : 'T';
  const auto k = Coefficients(c);
  return type == 'T' || p.model.find("KM") != std::string::npos ? Thermistor(raw, k) : Polynomial(raw, k);
}

std::string LoggerEmulator::Impl::EngineeringRecord(int64_t loggerMs) const {
  std::string s = "TIM " + WireTime(TimeFromMs(loggerMs));
  const auto raws = Readings(loggerMs);
  for (size_t c = 0; c < raws.size(); ++c) {
    char b[32];
    std::snprintf(b, sizeof b, " %.4f", Engineering(raws[c], static_cast<int>(c)));
    s += b;
  }
  return s + " FET\r\n";
}

std::string LoggerEmulator::Impl::BurstRecord(int pair, int64_t startMs, uint32_t first, uint32_t second,
                                             int channel) const {
  const bool timed = pair == 0;
  if (EngineeringUnitsOn()) {
    char field[16];
    std::snprintf(field, sizeof field, "%04X", pair & 0xFFFF);
    std::string s = timed ? "BST " + WireTime(TimeFromMs(startMs)) : std::string("SEQ ") + field;
    for (uint32_t raw : {first, second}) {
      char b[32];
      std::snprintf(b, sizeof b, " %.4f", Engineering(raw, channel));
      s += b;
    }
    return s + " FET\r\n";
  }
  std::string s(3, '\0');
  s += timed ? "BST" : "SEQ";
  if (timed) {
    for (uint8_t b : BcdTime(TimeFromMs(startMs))) s.push_back(static_cast<char>(b));
  } else {
    // Bytes 1 and 2 of the time field hold the sequence number, big-endian.
    s.push_back(static_cast<char>((pair >> 8) & 0xFF));
    s.push_back(static_cast<char>(pair & 0xFF));
    s.append(4, '\0');
  }
  for (uint32_t raw : {first, second}) {
    s.push_back(static_cast<char>(raw >> 16));
    s.push_back(static_cast<char>(raw >> 8));
    s.push_back(static_cast<char>(raw));
  }
  s.push_back(static_cast<char>(Sum8(reinterpret_cast<const uint8_t*>(s.data()) + 3, s.size() - 3)));
  return s;
}

void LoggerEmulator::Impl::SendBurstReading(uint32_t raw, int channel, int64_t loggerMs) {
  // burstDone counts the readings before this one: the pair goes out with its second.
  if (burstDone % 2 == 0) {
    burstFirstOfPair = raw;
    return;
  }
  const std::string record = BurstRecord(burstDone / 2, burstStartMs, burstFirstOfPair, raw, channel);
  Queue(LineNoise(record, !EngineeringUnitsOn()), HostUs(loggerMs) - TurnaroundUs(), false, false);
}

std::string LoggerEmulator::Impl::LineNoise(const std::string& record, bool binary) {
  if (rtRandom == 0) rtRandom = f.rtSeed == 0 ? 1 : f.rtSeed;
  auto next = [this] {  // xorshift64: the same noise for the same seed
    rtRandom ^= rtRandom << 13;
    rtRandom ^= rtRandom >> 7;
    rtRandom ^= rtRandom << 17;
    return rtRandom;
  };
  const double roll = static_cast<double>(next() % 1000000) / 1e6;
  std::string out = record;
  bool intact = true;
  const size_t body = binary ? 3 : 0;  // the separator is not the record's content
  if (roll < f.rtJunkRate) {
    // 1..8 junk bytes, never zero, so they cannot pose as a separator.
    std::string junk(1 + next() % 8, 'x');
    for (char& c : junk) c = static_cast<char>(1 + next() % 255);
    out = junk + out;
  } else if (roll < f.rtJunkRate + f.rtDropRate && out.size() > body + 1) {
    out.erase(body + next() % (out.size() - body), 1);
    intact = false;
  } else if (roll < f.rtJunkRate + f.rtDropRate + f.rtBreakRate && out.size() > body + 1) {
    out.resize(body + 1 + next() % (out.size() - body - 1));
    intact = false;
  }
  if (rtObserver) rtObserver(record, intact);
  return out;
}

void LoggerEmulator::Impl::Fetch(const std::string& c, int64_t at) {
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

std::string LoggerEmulator::Impl::FetchValue(int channel, int64_t loggerMs) const {
  char b[16];
  std::snprintf(b, sizeof b, "%06X", Readings(loggerMs)[static_cast<size_t>(channel)]);
  return b;
}

}  // namespace tmv::sim
