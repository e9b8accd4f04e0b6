#include "platform/SerialDevices.h"

#include <filesystem>
#include <fstream>

namespace tmv {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

fs::path Canonical(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::canonical(p, ec);
  return ec ? fs::path() : c;
}

// The USB device above a tty: the first directory up from its "device" link
// that names a product (an FTDI adapter two levels up, a CDC-ACM one one level).
std::string UsbDescription(const fs::path& sysRoot, const std::string& name) {
  fs::path dir = Canonical(sysRoot / "class" / "tty" / name / "device");
  for (int up = 0; up < 5 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
    std::error_code ec;
    if (!fs::exists(dir / "product", ec)) continue;
    const std::string product = FirstLine(dir / "product");
    const std::string maker = FirstLine(dir / "manufacturer");
    if (maker.empty() || product.rfind(maker, 0) == 0) return product;
    return product.empty() ? maker : maker + " " + product;
  }
  return {};
}

// "usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0" -> "FTDI FT232R USB UART A5XK3RJT".
std::string DescriptionFromById(std::string name) {
  if (name.rfind("usb-", 0) == 0) name.erase(0, 4);
  const size_t interface = name.rfind("-if");
  if (interface != std::string::npos) name.erase(interface);
  for (char& c : name)
    if (c == '_') c = ' ';
  return name;
}

}  // namespace

std::vector<SerialDeviceInfo> DescribeSerialDevices(const std::vector<std::string>& paths, const std::string& devRoot,
                                                    const std::string& sysRoot) {
  // Each stable name, by the device it leads to.
  std::vector<std::pair<fs::path, fs::path>> byId;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec))
    if (fs::path target = Canonical(entry.path()); !target.empty()) byId.emplace_back(target, entry.path());
  std::vector<SerialDeviceInfo> out;
  for (const std::string& path : paths) {
    SerialDeviceInfo info;
    info.path = path;
    const fs::path device = Canonical(path);
    for (const auto& [target, link] : byId)
      if (!device.empty() && target == device) info.byId = link.string();
    info.description = UsbDescription(sysRoot, fs::path(path).filename().string());
    if (info.description.empty() && !info.byId.empty())
      info.description = DescriptionFromById(fs::path(info.byId).filename().string());
    out.push_back(std::move(info));
  }
  return out;
}

std::string SerialDeviceText(const SerialDeviceInfo& device) {
  return device.description.empty() ? device.path : device.path + " - " + device.description;
}

}  // namespace tmv
