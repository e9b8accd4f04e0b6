#include "model/Capabilities.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// Bits of capability 0.
enum CapabilityBit {
  kBitMemory = 0,
  kBitSixHz = 1,
  kBitParameterBlock = 2,
  kBitHysteresis = 3,
  kBitRetrievalMode = 4,
  kBitAveraging = 5,
  kBitThresholding = 6,
  kBitRsCommands = 7,
  kBitUvCommands = 8,
  kBitFrontend = 9,
  kBitBattery = 10,
  kBitExternalData = 11,
  kBitBaudRates = 12,
  kBitMinimumVersion = 13,
  kBitCommands12 = 14,
  kBitOem = 15,
  kBitWaves = 16,
  kBitRates124 = 17,
  kBitExternalPower = 18,
  kBitEngineeringUnits = 19,
  kBitModemControl = 20,
  kBitMemoryTest = 21,
  kBitCards = 22,
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HexByteAt(std::string_view text, size_t pos, uint8_t& byte) {
  if (pos + 2 > text.size()) return false;
  const int hi = HexDigit(text[pos]), lo = HexDigit(text[pos + 1]);
  if (hi < 0 || lo < 0) return false;
  byte = static_cast<uint8_t>(hi * 16 + lo);
  return true;
}

bool IsBaudTableRate(int baud) {
  for (int rate : kBaudTable)
    if (rate == baud) return true;
  return false;
}

void ReadMinimumProgramVersion(AppState& state) {
  // The files name the version the logger asks for: one not told is not guessed.
  if (CommGet(state, 27) != 1) {
    state.logger.capabilitiesIncomplete = true;
    return;
  }
  const float minimum = state.logger.minimumProgramVersion;
  if (FirmwareAbove(minimum, kProgramVersion))
    state.ui.MessageBox(MinimumVersionMessage(minimum), Tr(state, "Minimum program version"), MessageButtons::Ok,
                        MessageIcon::Stop, MessageAnswer::Ok);
}

void ProcessReportedCapabilities(AppState& state, uint32_t flags) {
  LoggerInfo& info = state.logger;
  auto has = [flags](int bit) { return (flags >> bit) & 1u; };
  // A failed further read leaves its field at the reset value, and says so:
  // the memory size or the header length it would have told shapes the data.
  auto further = [&state](int index, uint32_t& v) {
    if (ReadCapabilities(state, index, v) == 1) return true;
    state.logger.capabilitiesIncomplete = true;
    return false;
  };
  uint32_t v = 0;
  if (has(kBitMemory) && further(1, v)) {
    info.memoryTypeCode = static_cast<int>(v);
    if (v == 2) info.memory4Meg = true;
    if (v >= 3) info.memory8Meg = true;
  }
  if (has(kBitSixHz)) info.sixHzProfiling = true;
  if (has(kBitParameterBlock) && further(3, v)) info.parameterBlockLength = static_cast<int>(v);
  if (has(kBitHysteresis)) info.hysteresis = true;
  if (has(kBitRetrievalMode) && further(5, v)) {
    info.retrievalMode = static_cast<int>(v & 15u);
    info.retrievalFlag16 = (v & 0x10u) != 0;
    info.retrievalFlag32 = (v & 0x20u) != 0;
    info.retrievalFlag64 = (v & 0x40u) != 0;
  }
  if (has(kBitAveraging) && further(6, v)) info.averaging = static_cast<int>(v);
  if (has(kBitThresholding) && further(7, v)) {
    info.conventionalThresholding = (v & 1u) != 0;
    info.powerSaveThresholding = (v & 2u) != 0;
  }
  if (has(kBitRsCommands) && further(8, v)) info.rsCommandLevel = static_cast<int>(v);
  if (has(kBitUvCommands)) info.uvCommands = true;
  if (has(kBitFrontend)) info.frontendThroughComms = true;
  if (has(kBitBattery)) info.reportsBatteryVoltage = true;
  if (has(kBitExternalData)) info.externalDataConnector = true;
  if (has(kBitBaudRates) && further(13, v)) DecodeBaudCapability(v, info.minimumDefaultBaud, info.expressDownloadBaud);
  if (has(kBitMinimumVersion)) ReadMinimumProgramVersion(state);
  if (has(kBitCommands12) && further(15, v)) info.commands12Level = static_cast<int>(v);
  if (has(kBitOem)) info.oemSupport = true;
  if (has(kBitWaves)) info.waves = true;
  if (has(kBitRates124)) info.rates124Hz = true;
  if (has(kBitExternalPower)) info.externalPowerConnector = true;
  if (has(kBitEngineeringUnits) && further(20, v)) info.engineeringUnitsLevel = static_cast<int>(v);
  if (has(kBitModemControl) && further(21, v)) {
    info.modemControl = static_cast<int>(v);
    if (info.modemControl == 1) state.ui.InsertCommand(cmd::kModemSleep, "Modem slee&p", cmd::kAbout);
  }
  if (has(kBitMemoryTest) && further(22, v)) info.memoryTestCapable = v != 0;
  if (has(kBitCards) && further(23, v)) info.cardProtocolLevel = static_cast<int>(v);
}

}  // namespace

int ReadCapabilities(AppState& state, int index, uint32_t& value) {
  value = 0;
  const std::string command = Format("!0%02X", index & 0xFF);
  bool good = false;
  uint32_t word = 0;
  if (QueryTagged(state, command, "CAP") == 1) {
    const std::string_view text = state.reply.Bytes();
    const size_t at = text.find("CAP");
    uint8_t echo = 0;
    // Eight hex digits, least significant byte first, then "CAP" and the index.
    if (at != std::string_view::npos && at >= 8 && HexByteAt(text, at + 3, echo) && echo == (index & 0xFF)) {
      good = true;
      for (int i = 0; i < 4 && good; ++i) {
        uint8_t byte = 0;
        good = HexByteAt(text, at - 8 + 2 * static_cast<size_t>(i), byte);
        word |= static_cast<uint32_t>(byte) << (8 * i);
      }
    }
  }
  if (!good) {
    ShowStatus(state, Tr(state, "Read capabilities error"));
    return 0;
  }
  value = word;
  return 1;
}

void ResetCapabilities(LoggerInfo& info) {
  info.averaging = 0;
  info.sixHzProfiling = false;
  info.hysteresis = false;
  info.conventionalThresholding = false;
  info.powerSaveThresholding = false;
  info.waves = false;
  info.rates124Hz = false;
  info.externalDataConnector = false;
  info.externalPowerConnector = false;
  info.reportsBatteryVoltage = false;
  info.frontendThroughComms = false;
  info.uvCommands = false;
  info.commands12Level = 0;
  info.oemSupport = false;
  info.minimumProgramVersion = 0.0f;
  info.minimumProgramVersionValid = false;
  info.memoryTypeCode = 0;
  info.memory4Meg = false;
  info.memory8Meg = false;
  info.parameterBlockLength = 30;
  info.retrievalMode = 1;
  info.retrievalFlag16 = false;
  info.retrievalFlag32 = false;
  info.retrievalFlag64 = false;
  info.rsCommandLevel = 0;
  info.expressDownloadBaud = 0;
  info.minimumDefaultBaud = 2400;
  info.engineeringUnitsLevel = 0;
  info.modemControl = 0;
  info.memoryTestCapable = false;
  info.cardProtocolLevel = 0;
  info.rsAdvanced = 4;
  info.microSalinometerLayout = false;
}

void DecodeBaudCapability(uint32_t value, int& minimumDefaultBaud, int& expressDownloadBaud) {
  minimumDefaultBaud = static_cast<int>(value >> 24) * 100;
  if (minimumDefaultBaud == 0 || !IsBaudTableRate(minimumDefaultBaud)) minimumDefaultBaud = 2400;
  expressDownloadBaud = static_cast<int>(value & 0xFFFFFFu);
  if (expressDownloadBaud != 19200 && expressDownloadBaud != 57600 && expressDownloadBaud != 115200)
    expressDownloadBaud = 19200;
}

void DeriveCapabilities(LoggerInfo& info, bool reported, bool radioModem) {
  const std::string& m = info.model;
  const float fw = info.firmwareVersion;
  const bool km = IsTemperatureRecorder(m), pm = IsDepthRecorder(m), qn = IsMultiChannelModel(m);

  if (!reported && (((km || pm) && FirmwareAbove(fw, 3.15)) || (qn && FirmwareAbove(fw, 4.0))))
    info.memory4Meg = true;
  if (!km && !pm && !IsAveragingExcludedVariant(m)) info.averaging = 1;
  if (HasConventionalThresholdingModel(m)) {
    info.conventionalThresholding = true;
    if (FirmwareAbove(fw, 4.25)) info.powerSaveThresholding = true;
  }
  if (qn && FirmwareAbove(fw, 2.65) && !radioModem) info.expressDownloadBaud = 57600;
  if (HasExternalDataConnectorModel(m)) info.externalDataConnector = true;
  if (IsLargeMultiChannel(m)) info.sixHzProfiling = true;

  if (km && FirmwareBelow(fw, 1.5)) {
    info.retrievalMode = 1;
  } else if (km && FirmwareBelow(fw, 2.15)) {
    info.retrievalMode = 4;
  } else if (km || pm) {
    if (FirmwareBelow(fw, 3.0)) info.retrievalMode = 3;
    else if (FirmwareBelow(fw, 3.15)) info.retrievalMode = 4;
    else info.retrievalMode = 3;
  } else if (qn) {
    info.frontendThroughComms = true;
    if (FirmwareAbove(fw, 2.1)) info.reportsBatteryVoltage = true;
    info.retrievalMode = FirmwareAbove(fw, 2.45) ? 3 : 2;
  }
}

void AssessCapabilities(AppState& state) {
  LoggerInfo& info = state.logger;
  if (!info.capabilitiesStale) return;
  ShowStatus(state, Tr(state, "Assessing logger capabilities "));
  ResetCapabilities(info);
  state.ui.RemoveCommand(cmd::kModemSleep);

  bool reported = false;
  info.capabilitiesIncomplete = false;
  const bool reportsItself =
      info.microchipLogger || (IsMultiChannelModel(info.model) && FirmwareAbove(info.firmwareVersion, 4.25));
  uint32_t flags = 0;
  if (reportsItself && ReadCapabilities(state, 0, flags) == 1) {
    reported = true;
    ProcessReportedCapabilities(state, flags);
  } else if (reportsItself) {
    info.capabilitiesIncomplete = true;
  }
  if (!info.microchipLogger) DeriveCapabilities(info, reported, state.ports.radioModem);

  if (IsMicroSalinometer(info.model) && (info.rsCommandLevel & kRsSpareStorage)) info.microSalinometerLayout = true;

  if (ReadRsAdvanced(state) == 0) {
    ShowStatus(state, Tr(state, "Retrieve RS Advanced information failed"));
    info.capabilitiesIncomplete = true;
  }
  // What was not told is asked again by the next operation.
  info.capabilitiesStale = info.capabilitiesIncomplete;
}

std::string MinimumVersionMessage(float loggerMinimum) {
  return Format(
             "The logger connected to this computer is supported\nby a minimum version of the TMV Data Loggers program of "
             "%.2f.\n\nThis version of the program is %.2f.\n\n",
             static_cast<double>(loggerMinimum), kProgramVersion) +
         "Please obtain the latest version of the software from the TMV web site.\n\n"
         "Unpredictable results may be obtained if you continue.";
}

const char* MemoryTypeName(int code) {
  static constexpr const char* kNames[] = {"", "Intel 28F016S3", "AMD 29LV033C", "AT45DB642", "AT45DB642D",
                                           "AT45DB642_LP"};
  if (code < 0 || code > 5) return "";
  return kNames[code];
}

int ReadRsAdvanced(AppState& state) {
  LoggerInfo& info = state.logger;
  info.rsAdvanced = 4;
  if (info.cardProtocolLevel == 1) info.rsAdvanced = (info.rsAdvanced | 0x0Au) & ~0x04u;
  if (!(info.rsCommandLevel & kRsAdvancedCapabilities)) return 2;
  uint8_t table[128] = {};
  if (ReadTable(state, "R0700", table, sizeof table) != 1) return 0;
  info.rsAdvanced = static_cast<uint32_t>(table[0]) | static_cast<uint32_t>(table[1]) << 8 |
                    static_cast<uint32_t>(table[2]) << 16 | static_cast<uint32_t>(table[3]) << 24;
  return 1;
}

int WriteRsAdvanced(AppState& state, uint32_t word) {
  if (!(state.logger.rsCommandLevel & kRsAdvancedCapabilities)) return 2;
  const int serial = state.logger.serialNumber;
  if (!Reconnect(state)) return 0;
  // The word was chosen for this logger: another one on the line must not get it.
  if (state.logger.serialNumber != serial) return 0;
  const uint8_t data[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                           static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
  if (WriteTableVerified(state, 7, data, sizeof data) != 1) return 0;
  state.logger.rsAdvanced = word;
  return 1;
}

int DefaultBaudDivisor(int baud) {
  if (baud <= 0) return -1;
  const int d = static_cast<int>(9.216e6 / (static_cast<double>(baud) * 32.0)) - 2;
  return d >= 0 && d <= 255 ? d : -1;
}

int BaudFromDivisor(uint8_t divisor) {
  const int denominator = (divisor + 2) % 256;
  // Divisor 254 would divide by zero: no rate the logger can run at.
  return denominator == 0 ? 0 : 288000 / denominator;
}

int SpeedSwitchDivisor(int baud) {
  if (baud == 115200) return 1;
  return baud > 0 ? static_cast<int>(9.216e6 / (32.0 * baud)) - 2 : 0;
}

int ReadDefaultBaud(AppState& state) {
  uint8_t table[128] = {};
  int baud = 0;
  if (ReadTable(state, "R0300", table, sizeof table) == 1) baud = BaudFromDivisor(table[0]);
  if (baud == 0) ShowStatus(state, Tr(state, "Default baudrate retrieve error"));
  return baud;
}

int WriteDefaultBaud(AppState& state, int baud) {
  const int d = DefaultBaudDivisor(baud);
  if (d < 0) return 0;
  const uint8_t data[1] = {static_cast<uint8_t>(d)};
  return WriteTableVerified(state, 3, data, 1) == 1 ? 1 : 0;
}

RealTimeRates RequiredRealTimeRates(int channels, uint32_t periodSeconds, bool sixHzProfiling) {
  // A zero period cannot be programmed; count it as one second rather than divide by it.
  const double f = sixHzProfiling ? 60.0 : 10.0 / static_cast<double>(periodSeconds == 0 ? 1 : periodSeconds);
  RealTimeRates rates;
  rates.engineering = static_cast<unsigned>(std::trunc((10.0 * channels + 22.0) * f));
  rates.binary = static_cast<unsigned>(std::trunc((3.0 * channels + 13.0) * f));
  return rates;
}

Outcome CheckRealTimeCapacity(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!d.realTimeOutput) return Outcome::Done();
  const RealTimeRates rates =
      RequiredRealTimeRates(info.channelCount, ClockSeconds(d.samplingPeriod), d.sixHzMode);
  const unsigned link = static_cast<unsigned>(info.baud > 0 ? info.baud : 0);
  if (rates.engineering >= link && rates.binary >= link)
    return Outcome::Of(OutcomeKind::Refused,
                       "Real-time output from this logger using the current Sampling Period\nrequires a default "
                       "baud rate greater than %u.\n\nReturn to the 'Setup' window and change the Sampling "
                       "Period\nor increase the default baud rate using the 'Set default baud rate' item under "
                       "the 'Logger functions' menu.",
                       {std::to_string(rates.binary)});
  const bool engineeringOutput = info.engineeringUnitsLevel >= 1 && (d.optionFlags & 0x04u);
  if (rates.engineering >= link && engineeringOutput)
    return Outcome::Of(OutcomeKind::Refused,
                       "Real-time output from this logger using the Engineering units format\nrequires a default "
                       "baud rate greater than %u.\n\nChange the output format to Binary using the 'Engineering "
                       "units' item under the 'Logger functions' menu\nor increase the default baud rate using "
                       "the 'Set default baud rate' item under the 'Logger functions' menu.",
                       {std::to_string(rates.engineering)});
  return Outcome::Done();
}

std::string LoggerDescription(const LoggerInfo& info) {
  return Format("TMV Data Logger: %s %5.2f %06d", info.model.c_str(), static_cast<double>(info.firmwareVersion),
                info.serialNumber);
}

}  // namespace tmv
