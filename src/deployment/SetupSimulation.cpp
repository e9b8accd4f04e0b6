#include "deployment/SetupSimulation.h"

#include <algorithm>

#include "model/Conversion.h"
#include "shell/AppState.h"

namespace tmv {

namespace {

struct SimulatedType {
  const char* model;
  float firmware;
  const char* channels;  // fixed channels of single-purpose recorders
  bool microchip;
  bool waves;
  bool multiChannel;
};

// Each row is what the Setup dialog needs of that logger type.
constexpr SimulatedType kTypes[] = {
    {"KPM-5170", 6.0f, "TP", true, false, false},  {"KVM-5170", 6.0f, "TP", true, false, false},
    {"KZM-5170", 6.0f, "TP", true, true, false},   {"KM-3170", 6.0f, "T", true, false, false},
    {"QN-730", 4.5f, "", false, false, true},      {"QN-760", 6.5f, "", true, false, true},
    {"KVM-3170-YE", 6.0f, "P", true, false, false}, {"KM-3180", 6.0f, "T", true, false, false},
    {"PM-3170", 6.0f, "P", true, false, false},
};
constexpr int kTypeCount = static_cast<int>(sizeof kTypes / sizeof kTypes[0]);

}  // namespace

bool SimulationChoiceDialog::NeedsChannelChoice() const {
  return selected >= 0 && selected < kTypeCount && kTypes[selected].multiChannel;
}

bool QnSimulationDialog::AddChannel(uint8_t code) {
  if (static_cast<int>(channels.size()) >= maximumChannels) return false;
  if (std::find(offered.begin(), offered.end(), code) == offered.end()) return false;
  channels.push_back(code);
  return true;
}

void QnSimulationDialog::RemoveChannel(int index) {
  if (index >= 0 && index < static_cast<int>(channels.size())) channels.erase(channels.begin() + index);
}

LoggerInfo SimulatedLogger(int typeIndex, const std::vector<uint8_t>& channels) {
  const SimulatedType& t = kTypes[std::clamp(typeIndex, 0, kTypeCount - 1)];
  LoggerInfo info;
  info.model = t.model;
  info.firmwareVersion = t.firmware;
  info.serialNumber = 0;
  info.connected = false;
  info.microchipLogger = t.microchip;
  info.capabilitiesStale = info.configurationStale = info.calibrationStale = false;
  std::string codes = t.channels;
  if (t.multiChannel) {
    codes.assign(channels.begin(), channels.end());
    if (codes.empty()) codes = "CTP";
  }
  info.channelCount = std::min<int>(static_cast<int>(codes.size()), kMaxChannels);
  for (int i = 0; i < info.channelCount; ++i) info.channelTypes[static_cast<size_t>(i)] = static_cast<uint8_t>(codes[static_cast<size_t>(i)]);
  if (t.multiChannel) {
    info.latencyMs = 300;
    info.readingTimeMs = 200;
    info.averaging = 1;
    info.conventionalThresholding = true;
    if (t.microchip) {
      info.memory8Meg = true;
      info.powerSaveThresholding = true;
      info.hysteresis = true;
      info.sixHzProfiling = true;
      info.commands12Level = 2;
    } else {
      info.memory4Meg = true;
    }
  } else {
    info.latencyMs = 120;
    info.readingTimeMs = 100;
    info.memory8Meg = true;
    info.averaging = 1;
    info.commands12Level = 2;
    info.waves = t.waves;
    info.rates124Hz = t.waves;
  }
  info.parameterBlockLength = 30;
  return info;
}

void BeginSimulation(AppState& state, int typeIndex, const std::vector<uint8_t>& channels) {
  state.logger = SimulatedLogger(typeIndex, channels);
  ApplyDefaultCoefficients(state.logger, state.calibration);
  state.shell.simulation = true;
}

}  // namespace tmv
