#pragma once
// What the connected logger can do: reported by the logger or derived from
// its model and firmware, and the small settings that follow from it (RS
// advanced capabilities, default baud rate, real-time output capacity).
#include <cstdint>
#include <string>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;
struct LoggerInfo;

// This program's version, compared with the minimum a logger asks for.
constexpr double kProgramVersion = 6.16;

// "!0%02X": 1 and the 32-bit value; 0 (value 0) with "Read capabilities error".
int ReadCapabilities(AppState& state, int index, uint32_t& value);
// Reads or derives every capability while capabilitiesStale is set, then clears it.
void AssessCapabilities(AppState& state);

// Every capability field back to its reset value.
void ResetCapabilities(LoggerInfo& info);
// The capabilities older loggers do not report, from model and firmware.
// `reported`: the logger answered the capability query (memory is then known).
void DeriveCapabilities(LoggerInfo& info, bool reported, bool radioModem);
// Capability 13: the lowest default baud rate and the express download rate.
void DecodeBaudCapability(uint32_t value, int& minimumDefaultBaud, int& expressDownloadBaud);
// The "Minimum program version" text for a logger's minimum program version.
std::string MinimumVersionMessage(float loggerMinimum);
// "Intel 28F016S3" .. "AT45DB642_LP"; "" for code 0 or an unknown code.
const char* MemoryTypeName(int code);

// Table 07: 2 = not supported (defaults kept), 1 = read, 0 = read failed.
int ReadRsAdvanced(AppState& state);
// 2 = not supported; 1 = written and verified; 0 = failed.
int WriteRsAdvanced(AppState& state, uint32_t word);

// Table 03: the default baud rate, or 0 with "Default baudrate retrieve error".
int ReadDefaultBaud(AppState& state);
// 1 when table 03 holds the divisor of `baud` after the write.
int WriteDefaultBaud(AppState& state, int baud);
// Table 03 divisor: trunc(9.216e6 / (baud * 32)) - 2; -1 when out of byte range.
int DefaultBaudDivisor(int baud);
// 288000 / ((d + 2) mod 256); 0 for the divisor byte that gives no rate.
int BaudFromDivisor(uint8_t divisor);
// "!E%02X" divisor of the speed switch (115200 sends 1).
int SpeedSwitchDivisor(int baud);

// Bits per second real-time output needs in each format.
struct RealTimeRates {
  unsigned engineering = 0;
  unsigned binary = 0;
};
RealTimeRates RequiredRealTimeRates(int channels, uint32_t periodSeconds, bool sixHzProfiling);
// Done when the live output fits the link rate; otherwise refused, saying
// which rate it needs.
Outcome CheckRealTimeCapacity(const AppState& state);

// "TMV Data Logger: %s %5.2f %06d" (model, version, serial).
std::string LoggerDescription(const LoggerInfo& info);

}  // namespace tmv
