#pragma once
// Range switching: table 04 (extended channel capabilities) and table 05
// (range switching behaviour), the settle times they imply and their listing.
#include <cstdint>
#include <string>
#include <vector>

namespace tmv {

struct AppState;
struct LoggerInfo;

// Table 05 modules and switching modes.
constexpr int kModuleFluorometer = 5;
constexpr int kModuleTurbidity = 6;
constexpr int kModuleNonSwitching = 7;

struct RangeByte {
  int module;     // bits 0..2
  int switching;  // bits 3..4
  int gain;       // bits 5..7
};
RangeByte DecodeRangeByte(uint8_t byte);
const char* ModuleName(int module);            // "" for modules 0..4
const char* SwitchingModeText(int switching);  // "Full auto-ranging" ..
const char* SwitchingModeShortText(int switching);  // "Auto-ranging" / "Fixed gain"
// The fixed-gain range text of a channel (by its code) for a gain index.
std::string ChannelGainText(const LoggerInfo& info, int channel, int gain);

// Both tables back to the state of a logger without range switching.
void ClearRangeSwitching(LoggerInfo& info);
// Tables 04 and 05; 1 when table 05 was read, 0 otherwise (and without the flag).
int ReadRangeSwitching(AppState& state);
// 2 = not supported; 1 = both tables written and verified; 0 = failed.
// `drawn`, when given, receives the messages the calling window shows.
int WriteRangeSwitching(AppState& state, std::vector<std::string>* drawn = nullptr);
// The new table 05 byte of the channel (module 7: 0xFF, no module).
uint8_t SetChannelRangeMode(LoggerInfo& info, int channel, int module, int switching, int gain);
void SetExtendedRange(LoggerInfo& info, int channel, bool on);
// Bits 2..4 of every channel's table 04 byte from its type.
void PrepareExtendedRangeCodes(LoggerInfo& info);
// 1 when table 05 was read and some channel's switching mode is 0, 1 or 2.
int HasRangeSwitching(const LoggerInfo& info);
// Settle times, auto-ranging codes and the reading time from table 05.
void ApplyRangeSwitching(LoggerInfo& info);
// The listing lines; fills rangeSummary.
std::vector<std::string> ListRangeSwitching(LoggerInfo& info);

}  // namespace tmv
