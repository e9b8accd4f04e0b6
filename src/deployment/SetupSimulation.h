#pragma once
// Assessing a deployment with no logger connected: the choice of logger type,
// the channels of a simulated multi-channel logger, and the LoggerInfo the
// Setup dialog then works on.
#include <string>
#include <vector>

#include "model/LoggerInfo.h"

namespace tmv {

struct AppState;

// "TMV Setup Simulation".
struct SimulationChoiceDialog {
  static constexpr const char* kTitle = "TMV Setup Simulation";
  static constexpr const char* kText = "No logger is connected. \nYou may assess a setup in simulation.\nChoose a logger type.";
  std::vector<std::string> choices{"KPM-5170", "KVM-5170", "KZM-5170",           "KM-3170", "QN-730 or QNQ-730",
                                   "QN-760 or QNQ-760", "KVM-3170-YE", "KM-3180", "PM-3170"};
  int selected = 0;
  // The multi-channel types go on to the channel choice.
  bool NeedsChannelChoice() const;
};

// "TMV QN Logger Simulation": the channel type letters, one per channel.
struct QnSimulationDialog {
  static constexpr const char* kTitle = "TMV QN Logger Simulation";
  static constexpr const char* kText = "Select logger channels";
  std::vector<uint8_t> offered{'T', 'C', 'P', 'F', 'Z', 'I', 'L', 'N', 'Y', 'D'};  // the type codes offered
  std::vector<uint8_t> channels{'C', 'T', 'P'};
  int maximumChannels = 24;
  bool AddChannel(uint8_t code);  // false when full or not offered
  void RemoveChannel(int index);
  bool Acceptable() const { return !channels.empty(); }
};

// The simulated logger of a type (index into the choices) with these
// channels (only multi-channel types use them).
LoggerInfo SimulatedLogger(int typeIndex, const std::vector<uint8_t>& channels = {});

// Puts the simulated logger into the state: simulation on, nothing read or sent.
void BeginSimulation(AppState& state, int typeIndex, const std::vector<uint8_t>& channels = {});

}  // namespace tmv
