#pragma once
// What the host tells about its serial devices, so that a user can pick the
// right one: the device, its stable /dev/serial/by-id name and the USB
// adapter's own description.
#include <string>
#include <vector>

namespace tmv {

struct SerialDeviceInfo {
  std::string path;         // /dev/ttyUSB0
  std::string byId;         // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0, or ""
  std::string description;  // "FTDI FT232R USB UART", or "" for a device that tells nothing
};

// Describes each device of `paths` from the links under <devRoot>/serial/by-id
// and the USB descriptors under <sysRoot>/class/tty/<name>/device; the roots
// are the host's own unless a test gives others.
std::vector<SerialDeviceInfo> DescribeSerialDevices(const std::vector<std::string>& paths,
                                                    const std::string& devRoot = "/dev",
                                                    const std::string& sysRoot = "/sys");

// "/dev/ttyUSB0 - FTDI FT232R USB UART", or the path alone.
std::string SerialDeviceText(const SerialDeviceInfo& device);

}  // namespace tmv
