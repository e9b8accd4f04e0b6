#pragma once
// Memory and battery estimates of a deployment, by the older loggers' model
// (a current per sensor) or the newer loggers' model (a charge per sample).
#include <string>

#include "platform/UserInterface.h"

namespace tmv {

struct AppState;
struct DeploymentSettings;
struct LoggerInfo;
struct SetupPanel;

struct UsageEstimate {
  bool estimated = false;      // false in thresholding modes: nothing can be estimated
  bool newGeneration = false;  // which model gave the figures
  float memoryPercent = 0.0f;
  float batteryMah = 0.0f;        // without the RS-485 serial protocol
  float batteryRs485Mah = 0.0f;   // with it (loggers with the external data connector)
  bool exceedsCapacity = false;
  std::string text;
  MessageIcon icon = MessageIcon::None;
};

// Loggers estimated by the charge-per-sample model.
bool UsesNewGenerationEstimate(const LoggerInfo& info);
// The thermistor strings and sensors of a multi-channel logger, in mA.
float ChannelCurrentMa(const LoggerInfo& info);

UsageEstimate EstimateUsage(const DeploymentSettings& d, const LoggerInfo& info, int language = 0);
// The charge-per-sample model alone (the wave checks use it on any logger).
UsageEstimate EstimateNewGeneration(const DeploymentSettings& d, const LoggerInfo& info, int language = 0);
// Writes the estimate into the message area.
UsageEstimate EstimateUsage(AppState& state, SetupPanel& panel);

}  // namespace tmv
