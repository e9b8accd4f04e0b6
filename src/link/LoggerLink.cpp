#include "link/LoggerLink.h"

#include <algorithm>

#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

// One 10-bit character in milliseconds, rounded up.
int CharacterMs(int baud, bool speedChange) {
  if (baud <= 0) baud = kBaudTable.front();
  const int ms = speedChange ? static_cast<int>(10000.0 / baud + 0.99) : (10000 + baud - 1) / baud;
  return std::max(ms, 1);
}

}  // namespace

LineSettings OpenLinkSettings(int baud, int rtsMode) {
  LineSettings s;
  s.baud = baud;
  s.rtsMode = rtsMode;
  s.readMultiplierMs = CharacterMs(baud, false);
  s.readConstantMs = rtsMode == 0 ? 20 : 100;
  s.writeMultiplierMs = s.readMultiplierMs;
  s.writeConstantMs = 20;
  return s;
}

LineSettings SpeedChangeSettings(int baud, int rtsMode) {
  LineSettings s;
  s.baud = baud;
  s.rtsMode = rtsMode;
  s.readMultiplierMs = CharacterMs(baud, true);
  s.readConstantMs = rtsMode == 0 ? 60 : 100;
  s.writeMultiplierMs = s.readMultiplierMs;
  s.writeConstantMs = 20;
  return s;
}

std::string DeviceForPort(const AppState& state, int port) {
  if (port == state.ports.loggerPort && !state.ports.loggerDevice.empty()) return state.ports.loggerDevice;
  if (port < 1 || static_cast<size_t>(port) > state.ports.devices.size()) return std::string();
  return state.ports.devices[static_cast<size_t>(port) - 1];
}

std::string PortName(const AppState& state, int port) {
  if (port == state.ports.loggerPort && !state.ports.loggerDevice.empty()) return state.ports.loggerDevice;
  return Format("COM%1d", port);
}

std::string FormatWithPort(const std::string& format, const AppState& state, int port) {
  std::string f = PortFormat(format);
  if (f == format) return format;
  return Format(f.c_str(), PortName(state, port).c_str());
}

std::string PortFormat(const std::string& format) {
  std::string f = format;
  size_t at = f.find("COM%1d");
  size_t len = 6;
  if (at == std::string::npos) {
    at = f.find("%1d");
    len = 3;
  }
  if (at != std::string::npos) f.replace(at, len, "%s");
  return f;
}

void ProbePorts(AppState& state) {
  PortSettings& ports = state.ports;
  ports.devices = state.serial.ListDevices();
  if (ports.devices.size() > 16) ports.devices.resize(16);
  ports.portPresent.fill(false);
  for (int n = 1; n <= 16; ++n) {
    const std::string device = DeviceForPort(state, n);
    if (device.empty()) continue;
    // Opening and closing leaves the port as it was found: the port restores
    // its own settings when it is released.
    if (auto port = state.serial.Open(device, OpenLinkSettings(kBaudTable.back(), 0))) {
      ports.portPresent[static_cast<size_t>(n)] = true;
      port->Close();
    }
  }
}

int OpenLink(AppState& state, LoggerLink& link, int port, int baud, int rtsMode) {
  if (link.handle > 0) CloseLink(state, link, port);
  link.port.reset();
  const std::string device = DeviceForPort(state, port);
  if (!device.empty()) link.port = state.serial.Open(device, OpenLinkSettings(baud, rtsMode));
  if (!link.port) {
    link.handle = -1;
    return 0;
  }
  link.handle = std::max(port, 1);
  return 1;
}

int CloseLink(AppState& state, LoggerLink& link, int port) {
  (void)state;
  (void)port;
  int result = 0;
  if (link.port) {
    // The port restores the settings it found and leaves RTS disabled.
    link.port->Close();
    link.port.reset();
    result = 1;
  }
  link.handle = 0;
  return result;
}

int SetLinkBaud(AppState& state, int baud) {
  LoggerLink& link = state.loggerLink;
  if (!link.IsOpen()) return 0;
  const LineSettings current = link.port->Current();
  link.port->Apply(SpeedChangeSettings(baud, current.rtsMode));
  return 1;
}

size_t LinkWrite(AppState& state, LoggerLink& link, std::string_view text) {
  state.linkActivity = 10;
  // A command is its characters up to a NUL; the NUL itself is not sent.
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (!link.IsOpen() || text.empty()) return 0;
  return link.port->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

size_t LinkWriteBytes(AppState& state, LoggerLink& link, const uint8_t* bytes, size_t count) {
  (void)state;
  if (!link.IsOpen() || bytes == nullptr || count == 0) return 0;
  return link.port->Write(bytes, count);
}

size_t LinkRead(AppState& state, LoggerLink& link, uint8_t* buffer, size_t maxBytes) {
  return LinkReadUntil(state, link, buffer, maxBytes, nullptr);
}

size_t LinkReadUntil(AppState& state, LoggerLink& link, uint8_t* buffer, size_t maxBytes,
                     const ReadCompletion& complete) {
  if (buffer == nullptr) return 0;
  buffer[0] = 0;
  // The radio modems sit between the program and the logger only.
  if (&link == &state.loggerLink && state.ports.radioModem && state.ports.radioDelayMs > 0)
    DelayMs(state, state.ports.radioDelayMs);
  if (!link.IsOpen() || maxBytes == 0) return 0;
  size_t n = link.port->ReadUntil(buffer, maxBytes, complete);
  if (n > maxBytes) n = maxBytes;
  buffer[n] = 0;
  return n;
}

int OpenGpsLink(AppState& state) {
  if (state.ports.gpsPort == 0) return 0;
  return OpenLink(state, state.gpsLink, state.ports.gpsPort, state.ports.gpsBaud, 0);
}

void DelayMs(AppState& state, int ms) {
  if (ms > 0) state.clock.DelayMs(ms);
}

bool LinkLost(const LoggerLink& link) { return link.IsOpen() && link.port->Lost(); }

}  // namespace tmv
