#include "model/CapabilitiesDialogs.h"

#include <algorithm>

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Capabilities.h"
#include "model/ConfigTable.h"
#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// Toggles one option bit on the logger: reconnect (the same logger only), then
// the start characteristic with the new option byte. On any failure the
// program's copy of the option byte is left as it was.
bool ToggleOptionBit(AppState& state, int bit) {
  // Without OEM support the option bytes go out as 00 00 00: the switch
  // would never reach the logger.
  if (!state.logger.oemSupport) return false;
  const int before = state.query.optionByte;
  const uint32_t flagsBefore = state.deployment.optionFlags;
  const int serial = state.logger.serialNumber;
  state.query.optionByte = before ^ bit;
  bool done = ConnectLogger(state) == 1 && state.logger.serialNumber == serial;
  if (done) {
    // Send back the logger's own start characteristic with just this bit
    // changed, not whatever a deployment being composed holds.
    const DeploymentSettings composed = state.deployment;
    DeploymentSettings& d = state.deployment;
    const int s = state.query.startByte;
    d.startMode = static_cast<unsigned>(s & 0x01);
    d.powerKeptOn = (s & 0x80) != 0;
    d.sixHzMode = (s & 0x40) != 0;
    d.realTimeOutput = (s & 0x20) != 0 ? 1 : 0;
    d.optionFlags = (flagsBefore & ~0xFFu) | static_cast<uint32_t>(state.query.optionByte & 0xFF);
    done = SendSetupCommand(state, kSetupStartCharacteristic) == 1;
    const uint32_t sent = d.optionFlags;
    d = composed;
    d.optionFlags = sent;
  }
  if (!done) {
    state.query.optionByte = before;
    state.deployment.optionFlags = flagsBefore;
  }
  return done;
}

}  // namespace

// ---------------------------------------------------------------- default baud

bool DefaultBaudDialog::Open(AppState& state) {
  LoggerInfo& info = state.logger;
  open = false;
  rates.clear();
  rateTexts.clear();
  selected = -1;
  currentDefault = 0;
  // Everything is learnt afresh, capabilities before the configuration that
  // depends on them. A logger whose default is fixed was refused by the
  // command gate before the dialog opened.
  info.capabilitiesStale = info.configurationStale = info.calibrationStale = true;
  result = Outcome::Done();
  if (const KnowResult known = KnowLogger(state, kKnowConfiguration); known != KnowResult::Known) {
    result = UnknownOfLogger(state, known);
    return false;
  }
  if (!info.microchipLogger) {
    result = Outcome::Of(OutcomeKind::Refused, "The default baud rate of this logger cannot be changed.");
    return false;
  }
  currentDefault = ReadDefaultBaud(state);
  for (int rate : kBaudTable) {
    if (rate < info.minimumDefaultBaud) continue;
    if (rate == currentDefault) selected = static_cast<int>(rates.size());
    rates.push_back(rate);
    rateTexts.push_back(Format("%d", rate));
  }
  open = true;
  return true;
}

void DefaultBaudDialog::Select(int index) {
  if (index >= 0 && index < static_cast<int>(rates.size())) selected = index;
}

bool DefaultBaudDialog::Ok(AppState& state) {
  if (selected < 0 || selected >= static_cast<int>(rates.size())) return false;
  const int rate = rates[selected];
  LoggerInfo& info = state.logger;
  const int serial = info.serialNumber;
  bool done = Reconnect(state) && info.serialNumber == serial && WriteDefaultBaud(state, rate) == 1;
  if (done) {
    LinkWrite(state, state.loggerLink, Format("!E%02X", SpeedSwitchDivisor(rate)));
    DelayMs(state, 200);
    // The logger now answers at the new rate only: reconnect there.
    info.baud = rate;
    const auto at = std::find(kBaudTable.begin(), kBaudTable.end(), rate);
    if (at != kBaudTable.end()) info.baudIndex = static_cast<int>(at - kBaudTable.begin());
    info.connected = false;
    done = Reconnect(state);
  }
  if (!done) {
    state.ui.MessageBox(Tr(state, "Attempt to change default baudrate has failed."), Tr(state, kMessageTitle),
                        MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
    return false;
  }
  currentDefault = rate;
  open = false;
  return true;
}

void DefaultBaudDialog::Cancel() { open = false; }

// ---------------------------------------------------------- communication format

void CommunicationFormatDialog::Open(AppState& state) {
  KnowLogger(state, kKnowStartCharacteristic);
  Refresh(state);
  open = true;
}

void CommunicationFormatDialog::Refresh(const AppState& state) {
  const LoggerInfo& info = state.logger;
  if (info.engineeringUnitsLevel < 1) {
    text = "This logger can only output fetched data and real-time data in binary format";
    buttonText.clear();
    buttonVisible = false;
    return;
  }
  if (!info.oemSupport) {
    text = Tr(state, "The output format of this logger cannot be switched without OEM support");
    buttonText.clear();
    buttonVisible = false;
    return;
  }
  const bool binary = !(state.query.optionByte & kOptionEngineeringUnits);
  const bool connector = info.externalDataConnector;
  if (binary) {
    text = connector ? "This logger is set to output fetched data and real-time data in BINARY FORMAT"
                     : "This logger is set to output fetched data in\nBINARY FORMAT";
    buttonText = "Set the output to ENGINEERING UNITS";
  } else {
    text = connector ? "This logger is set to output fetched data and real-time data in ENGINEERING UNITS"
                     : "This logger is set to output fetched data in\nENGINEERING UNITS";
    buttonText = "Set the output to BINARY FORMAT";
  }
  text = Tr(state, text);
  buttonText = Tr(state, buttonText);
  buttonVisible = true;
}

bool CommunicationFormatDialog::Button(AppState& state) {
  if (!buttonVisible) return false;
  const bool done = ToggleOptionBit(state, kOptionEngineeringUnits);
  Refresh(state);
  return done;
}

void CommunicationFormatDialog::Cancel() { open = false; }

// ---------------------------------------------------------------- sampling LED

void SamplingLedDialog::Open(AppState& state) {
  KnowLogger(state, kKnowStartCharacteristic);
  Refresh(state);
  open = true;
}

void SamplingLedDialog::Refresh(const AppState& state) {
  if (state.logger.commands12Level < 2) {
    text = Tr(state, "This logger does not have a sampling LED");
    buttonText.clear();
    buttonVisible = false;
    return;
  }
  if (!state.logger.oemSupport) {
    text = Tr(state, "This logger has the sampling LED\nIt cannot be switched without OEM support");
    buttonText.clear();
    buttonVisible = false;
    return;
  }
  const bool enabled = (state.query.optionByte & kOptionSamplingLed) != 0;
  text = Tr(state, enabled ? "This logger has the sampling LED\nENABLED" : "This logger has the sampling LED\nDISABLED");
  buttonText = Tr(state, enabled ? "Disable the sampling LED" : "Enable the sampling LED");
  buttonVisible = true;
}

bool SamplingLedDialog::Button(AppState& state) {
  if (!buttonVisible) return false;
  const bool done = ToggleOptionBit(state, kOptionSamplingLed);
  Refresh(state);
  return done;
}

void SamplingLedDialog::Cancel() { open = false; }

// -------------------------------------------------------- current capabilities

std::vector<std::string> CapabilityListing::Lines() const {
  std::vector<std::string> lines;
  for (const auto& [label, ticked] : boxes)
    if (ticked) lines.push_back(label);
  lines.insert(lines.end(), texts.begin(), texts.end());
  return lines;
}

CapabilityListing BuildCapabilityListing(const LoggerInfo& info, const CapabilityListingInputs& inputs) {
  CapabilityListing listing;
  listing.boxes = {
      {"Averaging", info.averaging != 0},
      {"Hysteresis", info.hysteresis},
      {"External data connector", info.externalDataConnector},
      {"External power connector", info.externalPowerConnector},
      {"Microchip logger", info.microchipLogger},
      {"Waves", info.waves},
      {"Sampling at 1Hz, 2Hz and 4Hz", info.rates124Hz},
      {"OEM support", info.oemSupport},
      {"6Hz profiling", info.sixHzProfiling},
      {"Conventional thresholding", info.conventionalThresholding},
      {"Power save thresholding", info.powerSaveThresholding},
      {"Reports battery voltage", info.reportsBatteryVoltage},
      {"UV Commands", info.uvCommands},
      {"!12 Commands", info.commands12Level != 0},
      {"Frontend through communications", info.frontendThroughComms},
      {"Sampling LED", info.commands12Level >= 2},
      {"SD Memory Card", (info.rsAdvanced & 0x01u) != 0},
      {"Generic Serial Card", (info.rsAdvanced & 0x02u) != 0},
  };
  auto& t = listing.texts;
  if (info.engineeringUnitsLevel >= 1)
    t.push_back(Format("Engineering units level %d", info.engineeringUnitsLevel) +
                ((inputs.optionByte & kOptionEngineeringUnits) ? ": ON" : ": OFF"));
  switch (info.modemControl) {
    case 1: t.push_back("Modem control - always"); break;
    case 2: t.push_back("Modem control - always (fixed)"); break;
    case 3: t.push_back("Modem control - level 3"); break;
    default: break;
  }
  if (info.memoryTestCapable)
    t.push_back(inputs.memoryTestUnread   ? "Memory test capable - result not read"
                : inputs.memoryTestPassed ? "Memory test capable - successful"
                                          : "Memory test capable - not yet passed");
  const bool binary = info.rsAdvanced & 0x04u, ascii = info.rsAdvanced & 0x08u;
  t.push_back(std::string("Format: ") +
              (binary && ascii ? "ASCII and Binary" : binary ? "Binary" : ascii ? "ASCII" : "None set"));
  t.push_back(Format("Firmware version: %.2f", static_cast<double>(info.firmwareVersion)));
  t.push_back(info.minimumProgramVersionValid
                  ? Format("Minimum program version: %.2f", static_cast<double>(info.minimumProgramVersion))
                  : std::string("Minimum program version unspecified"));
  const char* size = info.memory8Meg ? "8" : info.memory4Meg ? "4" : "2";
  t.push_back(Format("Memory size: %s Meg, type: %s", size, MemoryTypeName(info.memoryTypeCode)));
  t.push_back(Format("Default baud rate: %u baud", static_cast<unsigned>(inputs.linkBaud)));
  t.push_back(info.expressDownloadBaud != 0 ? Format("Express download: %d baud", info.expressDownloadBaud)
                                            : std::string("Express download not available"));
  std::string rs = "RS Commands not supported";
  if (info.rsCommandLevel & kRsBasic) rs = "RS Commands supported at basic level";
  if (info.rsCommandLevel & kRsDebugged) rs = "RS Commands supported at the debugged level";
  if (info.rsCommandLevel & kRsRangeSwitching) rs += "\n\tRange switching supported";
  if (info.rsCommandLevel & kRsSpareStorage) rs += "\n\tSpare storage supported";
  if (info.rsCommandLevel & kRsAdvancedCapabilities) rs += "\n\tAdvanced capabilities supported";
  t.push_back(rs);
  const int channels = std::clamp(info.channelCount, 0, kMaxChannels);
  t.push_back(Format("Number of channels of data: %d", info.channelCount));
  t.push_back(Format("Latency: %d ms", info.latencyMs));
  t.push_back(Format("Readingtime: %d ms", info.readingTimeMs));
  std::string types = "Channel types: ";
  for (int ch = 0; ch < channels; ++ch) {
    types += Format("%c%02X ", info.channelTypes[ch], info.channelParams[ch]);
    if (ch == 5 || ch == 15) types += "\n";
  }
  t.push_back(types);
  std::string extended = "Extended data range channels: ";
  for (int ch = 0; ch < channels; ++ch) {
    if (info.extendedRange[ch + 1] & 0x01) extended += "-";
    else extended += static_cast<char>(info.channelTypes[ch]);
    if (ch == 8) extended += "\n";
  }
  t.push_back(extended);
  return listing;
}

std::string CapabilitiesStatusText(const AppState& state) {
  if (state.logger.configurationStale) return Tr(state, "Logger not yet configured");
  std::string text = LoggerDescription(state.logger);
  if (state.shell.factoryMode) text += Format(" (Master Setup with '%s')", state.shell.factoryScript.c_str());
  return text;
}

void CurrentCapabilitiesDialog::Open(AppState& state) {
  const LoggerInfo& info = state.logger;
  CapabilityListingInputs inputs;
  result = Outcome::Done();
  if (info.engineeringUnitsLevel >= 1) {
    KnowLogger(state, kKnowStartCharacteristic);
    if (info.startCharacteristicStale)
      result = Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Start characteristic read incorrectly");
  }
  if (info.memoryTestCapable) {
    const int test = CommGet(state, 33);
    inputs.memoryTestPassed = test == 1;
    inputs.memoryTestUnread = test == 0;
    if (test == 0) result = Outcome::Of(OutcomeKind::Failed, "The logger did not answer the memory test query.");
  }
  inputs.optionByte = state.query.optionByte;
  inputs.linkBaud = info.baud;
  statusText = CapabilitiesStatusText(state);
  listing = BuildCapabilityListing(info, inputs);
  open = true;
}

void CurrentCapabilitiesDialog::Close() { open = false; }

}  // namespace tmv
