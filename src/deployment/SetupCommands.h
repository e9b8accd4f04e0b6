#pragma once
// The numbered setup commands that program a logger for a deployment, each
// written as it stands and followed by a 50 ms pause.
#include <string>

namespace tmv {

struct AppState;

// Op 1: set the logger clock to deployment.loggerClock ("J" + wire text).
constexpr int kSetupSetClock = 1;
// Ops 28/29: the start characteristic, read back with "!2"/"STC".
constexpr int kSetupStartCharacteristic = 28;
constexpr int kSetupStartCharacteristicRerun = 29;

// 1 when the command was sent (and verified where it is verified); 0 when a
// verification failed or the operation is not one this build knows.
int SendSetupCommand(AppState& state, int op);

// "!1%02X%02X%02X%02X" from the deployment settings and the logger's
// capabilities (clears sixHzMode on a logger without 6 Hz profiling).
std::string StartCharacteristicCommand(AppState& state);

}  // namespace tmv
