#pragma once
// The COM ports found, each with the device it means as the host describes
// it: what the COM settings and `tmv-cli ports` list.
#include <vector>

#include "platform/SerialDevices.h"

namespace tmv {

struct AppState;

struct PortDevice {
  int port = 0;  // COMn
  SerialDeviceInfo device;
};

// The ports present (after ProbePorts), COM1 first.
std::vector<PortDevice> DescribePorts(const AppState& state);

}  // namespace tmv
