#pragma once
// The serial channel: the logger link and the GPS link, their port settings,
// and the five operations every exchange above relies on.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialPort.h"

namespace tmv {

struct AppState;

struct LoggerLink {
  // 0 closed; -1 after a failed open; positive while open.
  int handle = 0;
  std::unique_ptr<SerialPort> port;
  bool IsOpen() const { return handle > 0 && port != nullptr; }
};

// The port settings the user chooses (kept in the settings file).
struct PortSettings {
  int loggerPort = 1;           // COM1..COM16
  int gpsPort = 0;              // 0 = not used
  int gpsBaud = 4800;
  bool radioModem = false;
  int radioDelayMs = 0;
  // A device path given on the command line; used for the logger port instead of COMn.
  std::string loggerDevice;
  // Filled by ProbePorts: the devices COMn maps onto (index n-1) and which could be opened.
  std::vector<std::string> devices;
  std::array<bool, 17> portPresent{};  // [1..16]
};

inline constexpr std::array<int, 5> kBaudTable = {1200, 2400, 4800, 9600, 19200};

// Time-outs at open: multiplier ceil(10000 / baud) (at least 1); read constant 20, or 100 with RTS.
LineSettings OpenLinkSettings(int baud, int rtsMode);
// Time-outs after a speed change: floor(10000 / baud + 0.99); read constant 60, or 100 with RTS.
LineSettings SpeedChangeSettings(int baud, int rtsMode);

// The device COM port n stands for ("" when there is none).
std::string DeviceForPort(const AppState& state, int port);
// "COM1", or the device path when one was given for the logger port.
std::string PortName(const AppState& state, int port);
// A message format with its "COM%1d" (or, failing that, "%1d") turned into "%s",
// so that the port can be named by PortName.
std::string PortFormat(const std::string& format);
// A message whose only argument is the port: "Unable to open COM%1d ..." with
// the port named by PortName.
std::string FormatWithPort(const std::string& format, const AppState& state, int port);

void ProbePorts(AppState& state);
int OpenLink(AppState& state, LoggerLink& link, int port, int baud, int rtsMode);
int CloseLink(AppState& state, LoggerLink& link, int port);
int SetLinkBaud(AppState& state, int baud);
size_t LinkWrite(AppState& state, LoggerLink& link, std::string_view text);
size_t LinkWriteBytes(AppState& state, LoggerLink& link, const uint8_t* bytes, size_t count);
// buffer must hold maxBytes + 1: a NUL always follows the bytes read. On the
// logger link the radio-modem delay, when set, comes first.
size_t LinkRead(AppState& state, LoggerLink& link, uint8_t* buffer, size_t maxBytes);
// LinkRead that also ends as soon as `complete` accepts the bytes read so far,
// taking only the reply it accepts (see ReadCompletion); the time-out of a
// read of maxBytes stays the upper bound.
size_t LinkReadUntil(AppState& state, LoggerLink& link, uint8_t* buffer, size_t maxBytes,
                     const ReadCompletion& complete);
int OpenGpsLink(AppState& state);
// The link's port has gone away (see SerialPort::Lost); a closed link is not lost.
bool LinkLost(const LoggerLink& link);
void DelayMs(AppState& state, int ms);

}  // namespace tmv
