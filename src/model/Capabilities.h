#pragma once
// What the connected logger can do: reported by the logger or derived from
// its model and firmware.
namespace tmv {

struct AppState;

void AssessCapabilities(AppState& state);
int ReadRsAdvanced(AppState& state);

}  // namespace tmv
