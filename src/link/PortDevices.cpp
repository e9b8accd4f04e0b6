#include "link/PortDevices.h"

#include "link/LoggerLink.h"
#include "shell/AppState.h"

namespace tmv {

std::vector<PortDevice> DescribePorts(const AppState& state) {
  std::vector<PortDevice> out;
  const std::vector<SerialDeviceInfo> described = state.serial.DescribeDevices();
  for (int n = 1; n <= 16; ++n) {
    if (!state.ports.portPresent[static_cast<size_t>(n)]) continue;
    PortDevice entry{n, {DeviceForPort(state, n), {}, {}}};
    for (const SerialDeviceInfo& d : described)
      if (d.path == entry.device.path) entry.device = d;
    out.push_back(std::move(entry));
  }
  return out;
}

}  // namespace tmv
