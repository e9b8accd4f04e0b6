#pragma once
// Channel types: the fixed table of one-byte type codes with their labels,
// range classes and units, the switchable sensor modules and the fixed-gain
// range texts. Everything that labels, converts or graphs a channel keys on
// its type code.
#include <array>
#include <cstdint>
#include <string>

#include "model/LoggerInfo.h"

namespace tmv {

struct ChannelType {
  uint8_t code;
  const char* shortLabel;   // 11 bytes: the code, then the 10-character column heading
  const char* labelFormat;  // "%2d - ..." with the 1-based channel number; nullptr: none
  int rangeClass;           // 0, 1 or 2
  const char* unit;         // nullptr: conductivity, "mS/cm" or "uS/cm"
};

constexpr int kChannelTypeCount = 38;
// The row index of a code found in no row.
constexpr int kUnknownChannelTypeRow = kChannelTypeCount;

const std::array<ChannelType, kChannelTypeCount>& ChannelTypeTable();

// First row whose code equals `code`; kUnknownChannelTypeRow when none does.
int ChannelTypeRowForCode(uint8_t code);
// The row of a channel's code; channels outside 0..23 count as unknown.
int ChannelTypeRow(const LoggerInfo& info, int channel);
// The label format filled with channel + 1 ("%2d - Unknown" for a code in no row).
std::string ChannelLabel(const LoggerInfo& info, int channel);
// The 11-byte short label (the code byte, then the column heading).
std::string ChannelShortLabel(const LoggerInfo& info, int channel);
int ChannelRangeClass(const LoggerInfo& info, int channel);
// The real-time limits category of a type code (the row of the limits
// table that scales it while data are collected live); 18, a category with
// no entry of its own, for codes no category names.
constexpr int kNoLimitsCategory = 18;
int LimitsCategory(uint8_t code);
// The unit written with the channel; "Unknown" for a code in no row.
const char* ChannelUnit(const LoggerInfo& info, int channel);
const char* ConductivityUnit(const LoggerInfo& info);
// The code of a channel (0 outside 0..23).
uint8_t ChannelCode(const LoggerInfo& info, int channel);

// Readings of extended-range channels may lie outside the 24-bit range, and
// other channels mark an over-range reading with bit 0: both are undone here
// before conversion. raw is the 24-bit count; the result may be negative.
void ExtendRawRange(const LoggerInfo& info, int channel, int32_t& raw);

// Switchable sensor modules: settle times of range-switching channels.
struct SensorModule {
  uint8_t baseCode;
  uint8_t code;
  int readingTimeMs;
  int autoRangeTimeMs;
  int module;
  const char* name;
};
constexpr int kSensorModuleCount = 17;
const std::array<SensorModule, kSensorModuleCount>& SensorModuleTable();

// Fixed-gain range texts by gain index 0..3.
enum class GainRow { Turbidity, FluorometerA, FluorometerB, FluorometerC };
// The range text of a gain index; "Unknown" for an index above 3.
const char* GainRangeText(GainRow row, int gainIndex);

}  // namespace tmv
