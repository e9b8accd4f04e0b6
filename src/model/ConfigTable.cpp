#include "model/ConfigTable.h"

#include <algorithm>
#include <cctype>

#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Capabilities.h"
#include "model/LoggerFamily.h"
#include "model/RangeSwitching.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr uint32_t kOlderImageStart = 0x0001FFC9;
constexpr uint32_t kOlderImageEnd = 0x00020000;
constexpr int kOlderImageRequests = 5;
// Erased or corrupt configuration memory: one channel with safe timings.
constexpr int kFallbackLatencyMs = 300;
constexpr int kFallbackReadingTimeMs = 200;

void ClearChannels(LoggerInfo& info) {
  info.channelTypes.fill(0);
  info.channelParams.fill(0);
  info.conductivityMilliSiemens = false;
  info.configTableImage.clear();
  ClearRangeSwitching(info);
}

void ApplyFallback(LoggerInfo& info, uint8_t firstCode) {
  info.channelCount = 1;
  info.channelTypes[0] = NormaliseChannelCode(info, firstCode);
  info.latencyMs = kFallbackLatencyMs;
  info.readingTimeMs = info.baseReadingTimeMs = kFallbackReadingTimeMs;
}

int ReadOlderConfigImage(AppState& state) {
  uint8_t image[kOlderConfigImageLength + 1] = {};
  size_t got = 0;
  for (int request = 0; request < kOlderImageRequests; ++request) {
    if (request > 0) DelayMs(state, 100);
    got = ReadMemory(state, kOlderImageStart, kOlderImageEnd, image, kOlderConfigImageLength);
    if (got == kOlderConfigImageLength) break;
  }
  if (got != kOlderConfigImageLength || Sum8(image, kOlderConfigImageLength - 1) != image[kOlderConfigImageLength - 1]) {
    ShowStatus(state, Tr(state, "Configuration Table read failed."));
    return 0;
  }
  if (ApplyOlderConfigImage(state.logger, image) != 1) {
    ShowStatus(state, Tr(state, "Logger not yet configured"));
    return -1;
  }
  return 1;
}

int ReadConfigTable01(AppState& state) {
  // Room for the longest table a count byte can announce, and the 81 bytes a block read may overrun.
  uint8_t table[5 + 2 * 255 + 1 + 81 + 64] = {};
  size_t count = 0;
  const int read = ReadTable(state, "R0100", table, sizeof table, &count);
  if (read == -1) {
    ShowStatus(state, Tr(state, "Logger not yet configured"));
    return -1;
  }
  if (read != 1) {
    ShowStatus(state, Tr(state, "GetConfigTable error"));
    return 0;
  }
  const int applied = ApplyConfigTable(state.logger, table, count > 0 ? count - 1 : 0);
  if (applied == -1) {
    ShowStatus(state, Tr(state, "Logger not yet configured"));
    return -1;
  }
  if (applied == 0) {
    ShowStatus(state, Tr(state, "GetConfigTable error"));
    return 0;
  }
  return 1;
}

}  // namespace

uint8_t NormaliseChannelCode(LoggerInfo& info, uint8_t code) {
  if (code < 0x80 && std::islower(code)) return 'T';
  if (code == 'S') {
    info.conductivityMilliSiemens = true;
    return 'C';
  }
  return code;
}

int ApplyConfigTable(LoggerInfo& info, const uint8_t* data, size_t length) {
  // A table that cannot be used leaves the configuration held so far alone.
  if (length < 1) return 0;
  const int n = data[0];
  if (n == 0) return -1;
  if (n > kMaxChannels) {
    // More channels than any logger has: keep one, and no image to write back.
    ClearChannels(info);
    ApplyFallback(info, length > 5 ? data[5] : 'T');
    return 1;
  }
  const size_t needed = 5 + 2 * static_cast<size_t>(n);
  if (length < needed) return 0;
  ClearChannels(info);
  info.channelCount = n;
  info.latencyMs = 10 * (data[1] | data[2] << 8);
  info.readingTimeMs = info.baseReadingTimeMs = 100 * (data[3] | data[4] << 8);
  for (int i = 0; i < n; ++i) {
    info.channelTypes[i] = NormaliseChannelCode(info, data[5 + 2 * i]);
    info.channelParams[i] = data[6 + 2 * i];
  }
  info.configTableImage.assign(data, data + needed);
  return 1;
}

int ApplyOlderConfigImage(LoggerInfo& info, const uint8_t* image) {
  const int n = image[53];
  if (n == 0) return -1;
  ClearChannels(info);
  if (n > kMaxChannels) {
    ApplyFallback(info, image[47]);
    return 1;
  }
  info.channelCount = n;
  info.latencyMs = 10 * (image[51] | image[52] << 8);
  info.readingTimeMs = info.baseReadingTimeMs = 100 * (image[49] | image[50] << 8);
  for (int i = 0; i < n; ++i) info.channelTypes[i] = NormaliseChannelCode(info, image[47 - 2 * i]);
  return 1;
}

bool HasFixedLayout(const std::string& model) {
  return IsTwoChannelOlderModel(model) || IsOneChannelOlderModel(model);
}

void ApplyFixedLayout(LoggerInfo& info) {
  const int latency = info.latencyMs, reading = info.readingTimeMs, base = info.baseReadingTimeMs;
  ClearChannels(info);
  if (IsTwoChannelOlderModel(info.model)) {
    info.channelCount = 2;
    info.channelTypes[0] = 'T';
    info.channelTypes[1] = 'P';
  } else if (IsOneChannelOlderModel(info.model)) {
    info.channelCount = 1;
    info.channelTypes[0] = IsTemperatureRecorder(info.model) ? 'T' : 'P';
  }
  info.latencyMs = latency;
  info.readingTimeMs = reading;
  info.baseReadingTimeMs = base;
}

void ApplySingleChannelLayout(LoggerInfo& info) {
  ClearChannels(info);
  info.channelCount = 1;
  info.channelTypes[0] = IsTemperatureRecorder(info.model) ? 'T' : 'P';
  // No table: nothing says how long the recorder takes, so nothing is claimed.
  info.latencyMs = 0;
  info.readingTimeMs = info.baseReadingTimeMs = 0;
}

int GetConfigTable(AppState& state) {
  LoggerInfo& info = state.logger;
  if (!info.configurationStale) return 1;
  ShowStatus(state, Tr(state, "Assessing the logger configuration"));
  int result = 1;
  if (info.microchipLogger && (info.rsCommandLevel != kRsBasic || !HasFixedLayout(info.model))) {
    // A basic-level logger of a model without a fixed layout has only its
    // table to say what it samples.
    result = ReadConfigTable01(state);
    // A logger with range switching whose tables did not come is not known:
    // its readings would decode with the wrong ranges. Asked again next time.
    if (result == 1 && (info.rsCommandLevel & kRsRangeSwitching) && ReadRangeSwitching(state) != 1) result = 0;
  } else if (info.microchipLogger) {
    ApplyFixedLayout(info);
  } else if (!IsMultiChannelModel(info.model)) {
    // Older single-channel recorders keep no configuration image.
    ApplySingleChannelLayout(info);
  } else {
    ReadRsAdvanced(state);
    result = ReadOlderConfigImage(state);
  }
  if (result == 1) info.configurationStale = false;
  return result;
}

}  // namespace tmv
