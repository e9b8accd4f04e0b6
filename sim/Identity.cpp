// The emulated logger's identity, capabilities, numbered tables and calibration
// records, and the commands that read and write them.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

std::string LoggerEmulator::Impl::ChannelTypes() const {
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

int LoggerEmulator::Impl::ReadingDelayMs() const {
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

uint32_t LoggerEmulator::Impl::Capability(int index) const {
  auto it = p.capabilities.find(index);
  return it == p.capabilities.end() ? 0 : it->second;
}

bool LoggerEmulator::Impl::EngineeringUnitsOn() const {
  return Capability(20) >= 1 && (p.deployment.startCharacteristic[1] & 4) != 0;
}

std::array<double, 4> LoggerEmulator::Impl::Coefficients(int c) const {
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

uint32_t LoggerEmulator::Impl::LastSingleRecord() const {
  uint32_t last = 0;
  for (uint32_t a = kCalibrationPage; a + 38 <= kSingleRecordEnd && ReadByte(a) != 0xFF; a += 38) last = a;
  return last;
}

const CalibrationRecord* LoggerEmulator::Impl::CurrentRecord() const {
  for (auto it = p.calibrationHistory.rbegin(); it != p.calibrationHistory.rend(); ++it)
    if (it->complete) return &*it;
  return nullptr;
}

std::vector<const CalibrationRecord*> LoggerEmulator::Impl::NumberedRecords() const {
  std::vector<const CalibrationRecord*> list;
  const CalibrationRecord* current = CurrentRecord();
  if (current) list.push_back(current);
  for (auto it = p.calibrationHistory.rbegin(); it != p.calibrationHistory.rend(); ++it)
    if (&*it != current) list.push_back(&*it);
  return list;
}

void LoggerEmulator::Impl::TableReply(const std::string& echo, std::vector<uint8_t> payload, int64_t at) {
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

void LoggerEmulator::Impl::SendNextBlock(int64_t at) {
  const size_t n = std::min<size_t>(16, txTable.size() - txOffset);
  const bool last = txOffset + n >= txTable.size();
  Queue(std::string(txTable.begin() + static_cast<long>(txOffset), txTable.begin() + static_cast<long>(txOffset + n)),
        at, last);
  txOffset += n;
  modeLastUs = at;
  if (last) mode = Mode::kCommand;
}

void LoggerEmulator::Impl::StartWrite(WriteKind kind, int target, size_t expected, int64_t at) {
  if (NakFault() || (kind == WriteKind::kTable && target == f.nakTable && FaultsLive())) {
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

void LoggerEmulator::Impl::WriteByte(uint8_t b, int64_t at) {
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

std::string LoggerEmulator::Impl::CalibrationWrite(int channel, const std::vector<uint8_t>& data, int64_t at) {
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

void LoggerEmulator::Impl::CalibrationRead(const std::string& c, int64_t at) {
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

void LoggerEmulator::Impl::SingleCalibration(int64_t at) {
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

void LoggerEmulator::Impl::SingleCalibrationWrite(const std::string& c, int64_t at) {
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

void LoggerEmulator::Impl::ChangeSpeed(int divisor) {
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

void LoggerEmulator::Impl::CalibrationPageWrite(const std::string& c) {
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

}  // namespace tmv::sim
