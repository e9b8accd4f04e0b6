#pragma once
// The configuration table: channel count and types, latency, reading time.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tmv {

struct AppState;
struct LoggerInfo;

// Length of the configuration image older loggers keep in memory.
constexpr size_t kOlderConfigImageLength = 55;

// 1 = configuration known; 0 = read error; -1 = logger not configured. Does
// its work only while configurationStale is set, and relies on the
// capabilities (the RS command level) being known first. Also query 16.
int GetConfigTable(AppState& state);

// Lower-case codes become 'T'; 'S' becomes 'C' and marks conductivity in mS/cm.
uint8_t NormaliseChannelCode(LoggerInfo& info, uint8_t code);
// Table 01 data bytes (without the checksum) into info: 1, -1 when no channel
// is configured, 0 when the table is shorter than its channel count needs.
int ApplyConfigTable(LoggerInfo& info, const uint8_t* data, size_t length);
// The 55-byte image of older loggers (sum already checked): 1, or -1 when no
// channel is configured.
int ApplyOlderConfigImage(LoggerInfo& info, const uint8_t* image);
// Microchip loggers at the basic RS command level have fixed layouts when
// their model is a two-channel ("5170") or one-channel ("3170") one.
bool HasFixedLayout(const std::string& model);
void ApplyFixedLayout(LoggerInfo& info);
// Older single-channel recorders: one channel, temperature on "KM" models,
// pressure otherwise, and no table behind it.
void ApplySingleChannelLayout(LoggerInfo& info);

}  // namespace tmv
