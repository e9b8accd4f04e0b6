#include "model/RangeSwitching.h"

#include <algorithm>
#include <cctype>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/ChannelTypes.h"
#include "model/LoggerInfo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr size_t kRangeTableLength = kMaxChannels + 1;  // byte 0, then one byte per channel
constexpr size_t kSummaryMax = 100;

int Channels(const LoggerInfo& info) { return std::clamp(info.channelCount, 0, kMaxChannels); }

int LowerCode(uint8_t code) { return code < 0x80 ? std::tolower(code) : code; }

// Fluorometer kinds by code: the listing's type suffix and the summary's name suffix.
struct FluorometerKind {
  int code;
  const char* typeSuffix;
  const char* nameSuffix;
};
constexpr FluorometerKind kFluorometers[] = {
    {'f', " Chlorophil", "-C"},
    {'g', " Rhodamine", "-R"},
    {'z', " Phycoerythrine", "-Pe"},
    {'i', " UV", "-UV"},
};

const FluorometerKind* FluorometerFor(uint8_t code) {
  for (const auto& kind : kFluorometers)
    if (kind.code == LowerCode(code)) return &kind;
  return nullptr;
}

void FailurePattern(std::array<uint8_t, kMaxChannels + 1>& table) {
  table.fill(0xFF);
  table[0] = 1;
}

// A table of byte 0 and one byte per channel; bytes the logger did not send keep the failure pattern.
bool ReadRangeTable(AppState& state, const char* command, std::array<uint8_t, kMaxChannels + 1>& into) {
  uint8_t table[kRangeTableLength + 1 + 81 + 64] = {};
  size_t count = 0;
  FailurePattern(into);
  if (ReadTable(state, command, table, sizeof table, &count) != 1 || count < 2) return false;
  std::copy_n(table, std::min(count - 1, kRangeTableLength), into.begin());
  return true;
}

}  // namespace

RangeByte DecodeRangeByte(uint8_t byte) { return {byte & 7, (byte >> 3) & 3, (byte >> 5) & 7}; }

const char* ModuleName(int module) {
  switch (module) {
    case kModuleFluorometer: return "Seapoint Flurometer";
    case kModuleTurbidity: return "Seapoint Turbidity";
    case kModuleNonSwitching: return "Non-switching";
    default: return "";
  }
}

const char* SwitchingModeText(int switching) {
  static constexpr const char* kTexts[] = {"Full auto-ranging", "Auto-range capable, fixed gain",
                                           "User switchable fixed gain", "Fixed gain"};
  return kTexts[switching & 3];
}

const char* SwitchingModeShortText(int switching) { return (switching & 3) == 0 ? "Auto-ranging" : "Fixed gain"; }

std::string ChannelGainText(const LoggerInfo& info, int channel, int gain) {
  if (channel < 0 || channel >= kMaxChannels) return "";
  const uint8_t code = info.channelTypes[channel];
  const int module = DecodeRangeByte(info.rangeSwitching[channel + 1]).module;
  switch (LowerCode(code)) {
    case 'y': return GainRangeText(GainRow::Turbidity, gain);
    case 'i': return GainRangeText(GainRow::FluorometerA, gain);
    case 'z': return GainRangeText(GainRow::FluorometerB, gain);
    case 'f':
    case 'g': return GainRangeText(GainRow::FluorometerC, gain);
    default: break;
  }
  if (module == kModuleTurbidity) return GainRangeText(GainRow::Turbidity, gain);
  if (module == kModuleFluorometer) return GainRangeText(GainRow::FluorometerC, gain);
  return "";
}

void ClearRangeSwitching(LoggerInfo& info) {
  info.extendedRange.fill(0);
  FailurePattern(info.rangeSwitching);
  info.settleTimeMs.fill(0);
  info.rangeSwitchingPresent = false;
  info.rangeSwitchingRead = false;
  for (auto& line : info.rangeSummary) line.clear();
}

int ReadRangeSwitching(AppState& state) {
  LoggerInfo& info = state.logger;
  if (!(info.rsCommandLevel & kRsRangeSwitching)) return 0;
  // Both decide how readings decode: one that did not come is a failed read.
  const bool extended = ReadRangeTable(state, "R0400", info.extendedRange);
  if (!ReadRangeTable(state, "R0500", info.rangeSwitching) || !extended) {
    ShowStatus(state, Tr(state, "Range switching behaviour retrieve error"));
    info.rangeSwitchingRead = false;
    info.rangeSwitchingPresent = false;
    info.settleTimeMs.fill(0);
    info.readingTimeMs = info.baseReadingTimeMs;
    return 0;
  }
  info.rangeSwitchingRead = true;
  ApplyRangeSwitching(info);
  return 1;
}

int WriteRangeSwitching(AppState& state, std::vector<std::string>* drawn) {
  LoggerInfo& info = state.logger;
  if (!(info.rsCommandLevel & kRsRangeSwitching)) return 2;
  ApplyRangeSwitching(info);
  const int serial = info.serialNumber;
  if (!Reconnect(state)) return 0;
  // Another logger on the line must not receive this one's tables.
  if (info.serialNumber != serial) return 0;
  if (WriteTableVerified(state, 4, info.extendedRange.data(), kRangeTableLength) != 1) return 0;
  if (drawn) drawn->push_back(Tr(state, "Extended channel capabilities write success"));
  if (WriteTableVerified(state, 5, info.rangeSwitching.data(), kRangeTableLength) != 1) return 0;
  // The exchange shows the pair's message in the status line.
  if (drawn) drawn->push_back(Tr(state, "Range switching behaviour and Extended channel capabilities write success"));
  return 1;
}

uint8_t SetChannelRangeMode(LoggerInfo& info, int channel, int module, int switching, int gain) {
  if (channel < 0 || channel >= kMaxChannels) return 0xFF;
  uint8_t byte;
  if ((module & 7) == kModuleNonSwitching) {
    byte = 0xFF;
    info.extendedRange[channel + 1] |= 0x02;
  } else {
    byte = static_cast<uint8_t>((gain & 7) * 32 + (switching & 3) * 8 + (module & 7));
    info.extendedRange[channel + 1] &= static_cast<uint8_t>(~0x02);
  }
  info.rangeSwitching[channel + 1] = byte;
  return byte;
}

void SetExtendedRange(LoggerInfo& info, int channel, bool on) {
  if (channel < 0 || channel >= kMaxChannels) return;
  uint8_t& byte = info.extendedRange[channel + 1];
  byte = on ? static_cast<uint8_t>(byte | 0x01) : static_cast<uint8_t>(byte & ~0x01);
}

void PrepareExtendedRangeCodes(LoggerInfo& info) {
  for (int ch = 0; ch < Channels(info); ++ch) {
    int code = 0;
    const int rangeClass = ChannelRangeClass(info, ch);
    if (ChannelLabel(info, ch).find("Temperature") != std::string::npos) code = 3;
    else if (rangeClass == 1 || rangeClass == 2) code = rangeClass;
    uint8_t& byte = info.extendedRange[ch + 1];
    byte = static_cast<uint8_t>((byte & ~0x1C) | (code << 2));
  }
}

int HasRangeSwitching(const LoggerInfo& info) {
  if (!info.rangeSwitchingRead) return 0;
  for (int ch = 0; ch < Channels(info); ++ch)
    if (DecodeRangeByte(info.rangeSwitching[ch + 1]).switching < 3) return 1;
  return 0;
}

void ApplyRangeSwitching(LoggerInfo& info) {
  info.rangeSwitchingPresent = false;
  info.readingTimeMs = info.baseReadingTimeMs;
  const auto& modules = SensorModuleTable();
  for (int ch = 0; ch < Channels(info); ++ch) {
    const RangeByte range = DecodeRangeByte(info.rangeSwitching[ch + 1]);
    if (range.module >= kModuleNonSwitching) continue;
    info.settleTimeMs[ch] = 0;
    uint8_t& code = info.channelTypes[ch];
    if (range.switching < 3) {
      info.rangeSwitchingPresent = true;
      if (range.module == kModuleTurbidity) code = 'y';
      else if (range.module == kModuleFluorometer) code = static_cast<uint8_t>(LowerCode(code));
    }
    if (range.switching != 0) {
      info.settleTimeMs[ch] = 200;
    } else {
      const SensorModule* row = &modules.back();
      for (const auto& m : modules)
        if (m.code == code) {
          row = &m;
          break;
        }
      info.settleTimeMs[ch] = row->autoRangeTimeMs + 400;
    }
  }
  if (!info.rangeSwitchingPresent) return;
  ListRangeSwitching(info);
  int slowest = -1;
  for (int ch = 0; ch < Channels(info); ++ch) {
    if (DecodeRangeByte(info.rangeSwitching[ch + 1]).module >= kModuleNonSwitching) continue;
    const int settle = info.settleTimeMs[ch];
    if (settle > info.baseReadingTimeMs && (slowest < 0 || settle > info.settleTimeMs[slowest])) slowest = ch;
  }
  if (slowest >= 0) {
    info.readingTimeMs = info.settleTimeMs[slowest];
    info.rangeSwitching[0] = static_cast<uint8_t>(slowest + 1);
  } else {
    info.rangeSwitching[0] = 1;
  }
}

std::vector<std::string> ListRangeSwitching(LoggerInfo& info) {
  for (auto& line : info.rangeSummary) line.clear();
  std::vector<std::string> lines;
  // Without table 05 from the logger no channel has a module.
  bool any = false;
  for (int ch = 0; ch < Channels(info) && info.rangeSwitchingRead; ++ch)
    if (DecodeRangeByte(info.rangeSwitching[ch + 1]).module < kModuleNonSwitching) any = true;
  if (!any) {
    lines.push_back("No range switching capable modules present");
    return lines;
  }
  lines.push_back("Range switching channels:");
  for (int ch = 0; ch < Channels(info); ++ch) {
    const RangeByte range = DecodeRangeByte(info.rangeSwitching[ch + 1]);
    if (range.module >= kModuleNonSwitching) continue;
    const uint8_t code = info.channelTypes[ch];
    const FluorometerKind* fluorometer = range.module == kModuleFluorometer ? FluorometerFor(code) : nullptr;
    const std::string name = ModuleName(range.module);
    const std::string gainText = ChannelGainText(info, ch, range.gain);
    lines.push_back(Format("Channel %d:", ch + 1));
    lines.push_back(Format("\ttype:\t%s%s", name.c_str(), fluorometer ? fluorometer->typeSuffix : ""));
    lines.push_back(Format("\tmode:\t%s", SwitchingModeText(range.switching)));
    lines.push_back(Format("\tgain:\t(%d) %s", range.gain, gainText.c_str()));
    const std::string shownName = name + (fluorometer ? fluorometer->nameSuffix : "");
    std::string summary =
        range.switching == 0
            ? Format("%d: %s, %s", ch + 1, shownName.c_str(), SwitchingModeShortText(range.switching))
            : Format("%d: %s, %s, %s", ch + 1, shownName.c_str(), SwitchingModeShortText(range.switching),
                     gainText.c_str());
    if (summary.size() > kSummaryMax - 1) summary.resize(kSummaryMax - 1);
    info.rangeSummary[ch] = summary;
  }
  return lines;
}

}  // namespace tmv
