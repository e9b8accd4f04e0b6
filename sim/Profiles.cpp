// The logger models the emulator can be: identity, capability words, tables,
// calibration records and memory contents of each.
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "sim/LoggerEmulator.h"
#include "sim/SimDetail.h"

namespace tmv::sim {
namespace {

using detail::PutDouble;

// Capability 0 bits.
constexpr uint32_t kMemory = 1u << 0, kSixHz = 1u << 1, kParameterBlock = 1u << 2, kHysteresis = 1u << 3,
                   kRetrievalMode = 1u << 4, kAveraging = 1u << 5, kThresholding = 1u << 6,
                   kRsCommands = 1u << 7, kUvCommands = 1u << 8, kFrontEnd = 1u << 9, kBattery = 1u << 10,
                   kDataConnector = 1u << 11, kBaudRates = 1u << 12, kMinimumVersion = 1u << 13,
                   kCommands12 = 1u << 14, kOem = 1u << 15, kPowerConnector = 1u << 18,
                   kWaves = 1u << 16, kRates124 = 1u << 17, kEngineeringUnits = 1u << 19,
                   kMemoryTest = 1u << 21, kCards = 1u << 22;

// Capability 8 (RS command level) flags.
constexpr uint32_t kRsBasic = 1, kRsDebugged = 2, kRsRangeSwitching = 4, kRsSpareStorage = 8,
                   kRsAdvanced = 16;

std::array<double, 4> DefaultCoefficients(char type, int variant) {
  const double v = 1.0 + 0.001 * variant;  // each record a little different
  switch (type) {
    case 'T': return {0.0035 * v, -0.00025, 2.7e-06, 2.3e-08};
    case 'C': return {-50.0 * v, 70000.0 * v, 0.0, 0.0};  // uS/cm
    case 'S': return {-0.05 * v, 70.0 * v, 0.0, 0.0};     // mS/cm
    case 'P': return {-10.3 * v, 1000.0 * v, 0.0, 0.0};
    case 'D': return {0.0, 150.0 * v, 0.0, 0.0};
    case 'F': return {-0.2 * v, 150.0 * v, 0.0, 0.0};
    case 'Y': return {-1.0 * v, 2500.0 * v, 0.0, 0.0};
    default: return {0.0, 1.0 * v, 0.0, 0.0};
  }
}

std::vector<uint8_t> Table01(const std::string& channels, int latencyMs, int readingMs) {
  std::vector<uint8_t> t;
  t.push_back(static_cast<uint8_t>(channels.size()));
  t.push_back(static_cast<uint8_t>((latencyMs / 10) & 0xFF));
  t.push_back(static_cast<uint8_t>((latencyMs / 10) >> 8));
  t.push_back(static_cast<uint8_t>((readingMs / 100) & 0xFF));
  t.push_back(static_cast<uint8_t>((readingMs / 100) >> 8));
  for (char c : channels) {
    t.push_back(static_cast<uint8_t>(c));
    t.push_back(0);
  }
  return t;
}

std::string IdentityText(const Profile& p) {
  char text[96];
  std::snprintf(text, sizeof text, "TMV %s %.2f %06d", p.model.c_str(), static_cast<double>(p.firmwareVersion),
                p.serialNumber);
  return text;
}

uint8_t BaudDivisor(int baud) {
  if (baud == 115200) return 1;
  return static_cast<uint8_t>(static_cast<int>(9.216e6 / (baud * 32.0)) - 2);
}

// Table 04: one byte per channel: bit 1 no switching module, bits 2..4 range code.
std::vector<uint8_t> Table04(const std::string& channels, const std::string& extended) {
  std::vector<uint8_t> t(25, 0);
  for (size_t i = 0; i < channels.size() && i < 24; ++i) {
    const char c = channels[i];
    const bool module = extended.find(c) != std::string::npos;
    int range = 0;
    if (c == 'T') range = 3;
    else if (c == 'F' || c == 'Y' || c == 'G' || c == 'Z' || c == 'I' || c == 'A' || c == 'S') range = 2;
    else if (c == 'C' || c == 'P' || c == 'D' || c == 'V' || c == 'R' || c == 'H') range = 1;
    t[i + 1] = static_cast<uint8_t>((range << 2) | (module ? 1 : 2));
  }
  return t;
}

// Common part of the newer multi-channel loggers.
Profile NewerLogger(const std::string& name, const std::string& channels) {
  Profile p;
  p.name = name;
  p.model = "QN-760";
  p.firmwareVersion = 6.10f;
  p.serialNumber = 12345;
  p.minimumProgramVersion = 6.0f;
  p.parameterBlockLength = 48;
  p.eraseMs = 6000;  // a flash memory erase takes seconds
  p.capabilities = {
      {0, kMemory | kSixHz | kParameterBlock | kHysteresis | kRetrievalMode | kAveraging | kThresholding |
              kRsCommands | kUvCommands | kFrontEnd | kBattery | kDataConnector | kBaudRates | kMinimumVersion |
              kCommands12 | kOem | kPowerConnector | kEngineeringUnits | kMemoryTest | kCards},
      {1, 4},             // AT45DB642D, 8 Meg
      {3, 48},            // parameter block length
      {5, 3},             // may be suspended and resumed
      {6, 1},             // averaging
      {7, 3},             // conventional and power-save thresholding
      {8, kRsBasic | kRsDebugged | kRsRangeSwitching | kRsSpareStorage | kRsAdvanced},
      {13, (24u << 24) | 115200u},  // minimum default 2400, express download 115200
      {15, 2},            // "!12 commands" level 2: sampling LED
      {20, 1},            // engineering units level 1
      {22, 1},            // memory test
      {23, 2},            // expansion card protocol level 2
  };
  p.tables[0] = {};
  p.tables[1] = Table01(channels, 300, 1000);
  p.tables[3] = {BaudDivisor(19200)};
  p.tables[4] = Table04(channels, "");
  p.tables[5] = std::vector<uint8_t>(25, 0xFF);
  p.tables[5][0] = 1;
  p.tables[6] = {2};
  for (double v : {0.0, 0.0, 0.0, 0.0}) PutDouble(p.tables[6], v);
  p.tables[7] = {0x05, 0, 0, 0};       // SD card, binary live format
  p.tables[8] = {100, 0, 50, 0, 0x01};  // front porch 100 ms, back porch 50 ms, active high
  // Calibration history: an old calibration, an incomplete transfer, the current one.
  const LoggerTime dates[3] = {{2008, 3, 0, 12, 9, 30, 0, 0}, {2009, 5, 0, 20, 14, 5, 0, 0},
                               {2010, 5, 0, 3, 11, 42, 17, 0}};
  for (int r = 0; r < 3; ++r) {
    CalibrationRecord rec;
    rec.complete = r != 1;
    rec.date = dates[r];
    for (size_t c = 0; c < channels.size(); ++c) rec.channels.push_back(DefaultCoefficients(channels[c], r));
    p.calibrationHistory.push_back(rec);
  }
  p.cardType = "SD 2GB";
  p.cardSizeKb = 0x1DA000;
  // Numbered data files as the card firmware writes them: a header line and
  // readings; the last is longer than one read of its contents.
  for (int file = 1; file <= 4; ++file) {
    std::string text = "TMV data file " + std::to_string(1000 + file).substr(1) + "\r\n";
    const int rows = file == 4 ? 20 : 3;
    for (int row = 0; row < rows; ++row) {
      char line[64];
      std::snprintf(line, sizeof line, "2010/05/%02d 12:%02d:00, %7.4f, %7.4f\r\n", file, row, 12.0 + 0.25 * row,
                    35.1 + 0.01 * file);
      text += line;
    }
    p.cardFiles[file] = text;
  }
  return p;
}

// Table 02 (capabilities table, 32 bytes): capability words 0..7, least significant byte first.
void FinishNewer(Profile& p) {
  const std::string id = IdentityText(p);
  p.tables[0].assign(id.begin(), id.end());
  std::vector<uint8_t> t02;
  for (int i = 0; i < 8; ++i) {
    auto it = p.capabilities.find(i);
    const uint32_t v = it == p.capabilities.end() ? 0 : it->second;
    for (int b = 0; b < 4; ++b) t02.push_back(static_cast<uint8_t>(v >> (8 * b)));
  }
  p.tables[2] = t02;
}

Profile Qn760() {
  Profile p = NewerLogger("QN-760", "CTPD");
  FinishNewer(p);
  return p;
}

Profile Qn760Rs() {
  Profile p = NewerLogger("QN-760-RS", "CTPFY");
  p.serialNumber = 12346;
  p.tables[1] = Table01("CTPFY", 300, 500);
  p.tables[4] = Table04("CTPFY", "FY");
  p.tables[5][4] = 0x05;  // fluorometer: module 5, full auto-ranging, gain 0
  p.tables[5][5] = 0x06;  // turbidity: module 6, full auto-ranging, gain 0
  FinishNewer(p);
  return p;
}

Profile Qn760S() {
  Profile p = NewerLogger("QN-760-S", "STP");
  p.serialNumber = 12347;
  p.tables[6] = {2};
  for (double v : {3.25e-6, 0.0, 20.0, -9.57e-8}) PutDouble(p.tables[6], v);
  FinishNewer(p);
  return p;
}

Profile Vl840() {
  Profile p = NewerLogger("VL-840", "CTC");
  p.model = "VL-840";
  p.firmwareVersion = 6.30f;
  p.serialNumber = 84012;
  p.capabilities = {
      {0, kMemory | kSixHz | kParameterBlock | kRetrievalMode | kRsCommands | kUvCommands | kBattery |
              kDataConnector | kBaudRates | kMinimumVersion | kCommands12 | kOem},
      {1, 4},
      {3, 48},
      {5, 0x43},  // suspend and resume; live readings without stopping
      {8, kRsBasic | kRsDebugged | kRsSpareStorage},
      {13, (24u << 24) | 115200u},
      {15, 2},
  };
  p.tables[1] = Table01("CTC", 100, 100);
  p.tables[4] = Table04("CTC", "");
  // The standardisation: format 1, vStandard1, vSample1, K15, batch.
  p.tables[6] = {1};
  for (double v : {1.0, 1.0, 0.99986}) PutDouble(p.tables[6], v);
  const char batch[8] = {'P', '1', '5', '2', 0, 0, 0, 0};
  p.tables[6].insert(p.tables[6].end(), batch, batch + 8);
  p.tables[7] = {0x04, 0, 0, 0};
  p.cardType.clear();
  p.cardFiles.clear();
  p.cardSizeKb = 0;
  for (auto& rec : p.calibrationHistory) {
    rec.channels = {{0.0, 1.0, 0.0, 0.0}, DefaultCoefficients('T', 0), {0.0, 1.0, 0.0, 0.0}};
  }
  FinishNewer(p);
  return p;
}

// Older multi-channel logger: configuration image and calibration page in memory.
Profile Qn730() {
  Profile p;
  p.name = "QN-730";
  p.model = "QN-730";
  p.firmwareVersion = 4.20f;
  p.serialNumber = 7301;
  p.parameterBlockLength = 30;
  p.eraseMs = 4000;
  const std::string channels = "CTP";
  // Configuration image at 0x1FFC9; its byte 54 (the sum) sits on the page's
  // last byte, which the logger never returns but computes on reading.
  uint8_t image[54] = {};
  image[53] = static_cast<uint8_t>(channels.size());
  image[51] = 30;  // latency 300 ms
  image[52] = 0;
  image[49] = 10;  // reading time 1000 ms
  image[50] = 0;
  for (size_t i = 0; i < channels.size(); ++i) image[47 - 2 * i] = static_cast<uint8_t>(channels[i]);
  for (int i = 0; i < 54; ++i) p.memory[0x1FFC9u + i] = image[i];
  // Calibration page 0x0001: three records of 6 BCD header bytes and 33 bytes per channel.
  const LoggerTime dates[3] = {{2007, 2, 0, 1, 10, 0, 0, 0}, {2008, 8, 0, 19, 9, 45, 30, 0},
                               {2009, 11, 0, 23, 16, 20, 5, 0}};
  uint32_t offset = 0;
  for (int r = 0; r < 3; ++r) {
    for (uint8_t b : detail::BcdTime(dates[r])) p.memory[0x10000u + offset++] = b;
    for (char c : channels) {
      std::vector<uint8_t> bytes;
      for (double v : DefaultCoefficients(c, r)) PutDouble(bytes, v);
      bytes.push_back(0);
      for (uint8_t b : bytes) p.memory[0x10000u + offset++] = b;
    }
  }
  return p;
}

// Older single-channel temperature recorder: 38-byte calibration records at 0x10000.
Profile Km3170() {
  Profile p;
  p.name = "KM-3170";
  p.model = "KM-3170";
  p.firmwareVersion = 2.50f;
  p.serialNumber = 31700;
  p.parameterBlockLength = 30;
  p.eraseMs = 4000;
  const LoggerTime dates[2] = {{2006, 4, 0, 2, 8, 0, 0, 0}, {2009, 9, 0, 14, 13, 30, 0, 0}};
  uint32_t address = 0x10000;
  for (int r = 0; r < 2; ++r) {
    for (uint8_t b : detail::BcdTime(dates[r])) p.memory[address++] = b;
    std::vector<uint8_t> bytes;
    for (double v : DefaultCoefficients('T', r)) PutDouble(bytes, v);
    for (uint8_t b : bytes) p.memory[address++] = b;
  }
  return p;
}

// Older single-channel temperature recorder with the larger memory and the
// faster download rate (firmware above 3.15).
Profile Km3180() {
  Profile p = Km3170();
  p.name = "KM-3180";
  p.model = "KM-3180";
  p.firmwareVersion = 3.20f;
  p.serialNumber = 31800;
  return p;
}

// Newer tide-and-wave recorder at the basic RS command level: it has no
// table 01; its two channels (temperature, pressure) follow from its model.
Profile Kzm5170() {
  Profile p;
  p.name = "KZM-5170";
  p.model = "KZM-5170";
  p.firmwareVersion = 6.05f;
  p.serialNumber = 51705;
  p.minimumProgramVersion = 6.0f;
  p.eraseMs = 6000;
  p.parameterBlockLength = 48;
  p.capabilities = {
      {0, kMemory | kParameterBlock | kRetrievalMode | kAveraging | kRsCommands | kUvCommands | kBattery |
              kBaudRates | kMinimumVersion | kCommands12 | kWaves | kRates124},
      {1, 4},
      {3, 48},
      {5, 3},
      {6, 1},
      {8, kRsBasic},
      {13, (24u << 24) | 57600u},
      {15, 1},
  };
  p.tables[0] = {};
  p.tables[3] = {BaudDivisor(19200)};
  const LoggerTime dates[2] = {{2009, 2, 0, 10, 10, 0, 0, 0}, {2010, 4, 0, 21, 15, 12, 40, 0}};
  for (int r = 0; r < 2; ++r) {
    CalibrationRecord rec;
    rec.date = dates[r];
    rec.channels = {DefaultCoefficients('T', r), DefaultCoefficients('P', r)};
    p.calibrationHistory.push_back(rec);
  }
  FinishNewer(p);
  return p;
}

// Newer depth and tide recorder at the basic RS command level: like the
// tide-and-wave recorder without the wave bursts.
Profile Kpm5170() {
  Profile p = Kzm5170();
  p.name = "KPM-5170";
  p.model = "KPM-5170";
  p.serialNumber = 51706;
  p.capabilities[0] &= ~(kWaves | kRates124);
  FinishNewer(p);
  return p;
}

// Multi-channel logger set up for thresholding: conventional and power-save
// thresholding and hysteresis, a temperature channel to test.
Profile Qn760Th() {
  Profile p = NewerLogger("QN-760-TH", "TCPD");
  p.serialNumber = 12348;
  FinishNewer(p);
  return p;
}

using Maker = Profile (*)();
struct Named {
  const char* name;
  Maker make;
};
constexpr Named kProfiles[] = {
    {"QN-760", Qn760},       {"QN-730", Qn730},     {"KM-3170", Km3170},   {"QN-760-RS", Qn760Rs},
    {"QN-760-S", Qn760S},    {"VL-840", Vl840},     {"KM-3180", Km3180},   {"KZM-5170", Kzm5170},
    {"KPM-5170", Kpm5170},   {"QN-760-TH", Qn760Th},
};

}  // namespace

bool Profile::SingleChannel() const {
  return !Microchip() && model.find("QN") == std::string::npos && model.find("VL") == std::string::npos;
}

std::vector<std::string> ProfileNames() {
  std::vector<std::string> names;
  for (const Named& n : kProfiles) names.push_back(n.name);
  return names;
}

std::optional<Profile> FindProfile(const std::string& name) {
  for (const Named& n : kProfiles)
    if (name == n.name) return n.make();
  return std::nullopt;
}

Profile ProfileByName(const std::string& name) {
  std::optional<Profile> p = FindProfile(name);
  if (!p) throw std::invalid_argument("no emulated logger model named '" + name + "'");
  return *p;
}

uint32_t SimulatedRaw(char type, int channel, int64_t loggerMs) {
  double level;
  switch (type) {
    case 'T': level = 0x7A0000; break;
    case 'C': case 'S': level = 0x5A0000; break;
    case 'P': level = 0x280000; break;
    case 'D': level = 0x700000; break;
    default: level = 0x300000; break;
  }
  const double phase = static_cast<double>(loggerMs % 600000) / 600000.0 * 2.0 * 3.14159265358979323846 + channel;
  const double raw = level + 0x8000 * std::sin(phase);
  return static_cast<uint32_t>(raw) & 0xFFFFF8u;  // over-range mark and gain bits clear
}

}  // namespace tmv::sim
