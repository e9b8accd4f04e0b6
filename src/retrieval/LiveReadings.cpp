// Live readings: one reading at a time, started on one tick and polled on
// the following ones, shown converted in the live-readings dialog.
#include "retrieval/LiveReadings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "deployment/Enabling.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "model/RangeSwitching.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

bool MultiChannel(const AppState& state) {
  return IsMultiChannelModel(state.logger.model) || state.logger.microchipLogger;
}

bool EngineeringUnitsOn(const AppState& state) {
  return state.logger.engineeringUnitsLevel >= 1 && (state.query.optionByte & 0x04) != 0;
}

int Channels(const AppState& state) { return std::clamp(state.logger.channelCount, 1, kMaxChannels); }

// Averaging and the rate are offered on loggers that sample faster than once a second.
int SamplingRateHz(const AppState& state) {
  if (state.logger.rates124Hz) return state.deployment.burstRate > 0 ? state.deployment.burstRate : 2;
  if (state.logger.sixHzProfiling) return 6;
  return 0;
}

// "%6X": up to six hex digits after optional blanks; the whole text must be that.
std::optional<int32_t> ParseHexReading(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\r' || text[i] == '\n')) ++i;
  int32_t value = 0;
  size_t digits = 0;
  while (i < text.size() && digits < 6 && std::isxdigit(static_cast<unsigned char>(text[i]))) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    value = value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10);
    ++i;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\r', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The reply of a finished fetch, as the dialog shows it.
void ShowReply(AppState& state, LiveReadingsDialog& dialog) {
  const std::string reply(state.reply.Bytes());
  if (reply.find("Busy") != std::string::npos) {
    dialog.valueText = "Logger busy";
    return;
  }
  const int channel = std::clamp(dialog.channel, 1, dialog.channelCount) - 1;
  if (EngineeringUnitsOn(state)) {
    for (std::string& line : SplitLines(reply)) {
      if (line == "FET") continue;
      dialog.lines.push_back(std::move(line));
    }
    // The list is a window on the latest readings, not a log of the session.
    if (dialog.lines.size() > 200) dialog.lines.erase(dialog.lines.begin(), dialog.lines.end() - 200);
    ++dialog.fetches;
    return;
  }
  if (state.fetchWindow.employAveraging) {
    const std::vector<double> values = DecodeLiveRecord(state, reply);
    if (static_cast<int>(values.size()) > channel) {
      dialog.lastValue = values[static_cast<size_t>(channel)];
      dialog.valueText = Format("%.4f", *dialog.lastValue);
      ++dialog.fetches;
      return;
    }
  }
  const std::optional<int32_t> raw = ParseHexReading(reply);
  if (!raw) {
    // A garbled reply is not a reading: it is shown as such, never converted.
    dialog.valueText = "No reading";
    return;
  }
  dialog.lastValue = ConvertReading(state.logger, state.calibration, *raw, channel);
  dialog.valueText = Format("%.4f", *dialog.lastValue);
  ++dialog.fetches;
}

}  // namespace

void OpenLiveReadings(AppState& state, LiveReadingsDialog& dialog) {
  dialog = LiveReadingsDialog{};
  dialog.open = true;
  dialog.identity = Format("%s %5.2f %06d", state.logger.model.c_str(),
                           static_cast<double>(state.logger.firmwareVersion), state.logger.serialNumber);
  dialog.channelCount = MultiChannel(state) ? Channels(state) : 1;
  dialog.showChannelSpinner = MultiChannel(state) && dialog.channelCount > 1;
  const int rate = SamplingRateHz(state);
  dialog.highRate = rate > 0;
  if (dialog.highRate) dialog.rateText = Format("@%1dHz", rate);
  // Fetch mode: one channel at a time, each reading as text.
  dialog.savedBinaryOutput = state.query.binaryOutput;
  dialog.savedSelector = state.query.fetchSelector;
  state.query.binaryOutput = false;
  state.query.fetchSelector = dialog.channel;
  state.fetchWindow.employAveraging = false;
  state.fetchWindow.text.clear();
}

void FetchTick(AppState& state, LiveReadingsDialog& dialog) {
  if (!dialog.open || dialog.frozen) return;
  if (!dialog.fetchUnderway) {
    state.query.fetchSelector = dialog.channel;
    state.fetchWindow.text.clear();
    CommGet(state, 39);
    if (!state.fetchWindow.text.empty()) {  // the logger did not answer
      dialog.valueText = state.fetchWindow.text;
      return;
    }
    dialog.fetchUnderway = true;
    dialog.pollsLeft = std::max(1, state.query.fetchPollCount);
    return;
  }
  ++state.fetchWindow.progressPosition;
  if (CommGet(state, 40)) {
    dialog.fetchUnderway = false;
    ShowReply(state, dialog);
    return;
  }
  if (--dialog.pollsLeft <= 0) {
    // The poll time is over: the next tick asks again.
    dialog.fetchUnderway = false;
    dialog.valueText = Tr(state, "Unable to communicate with logger");
  }
}

std::string LiveChannelCaption(const AppState& state, const LiveReadingsDialog& dialog) {
  const int channel = dialog.channel - 1;
  std::string label = ChannelLabel(state.logger, channel);
  label.erase(0, label.find_first_not_of(' '));
  return label + " [" + ChannelUnit(state.logger, channel) + "]";
}

void StepLiveChannel(LiveReadingsDialog& dialog, int delta) {
  const int n = std::max(1, dialog.channelCount);
  dialog.channel = ((dialog.channel - 1 + delta) % n + n) % n + 1;
  dialog.lastValue.reset();
  dialog.valueText.clear();
}

void ToggleLiveFreeze(LiveReadingsDialog& dialog) {
  dialog.frozen = !dialog.frozen;
  dialog.fetchUnderway = false;
}

std::optional<int> ParseAveragingTime(std::string_view text) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  while (count < 3) {
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    int v = 0;
    int digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 5) {
      v = v * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    parts[count++] = v;
    if (i < text.size() && text[i] == ':') {
      ++i;
      continue;
    }
    break;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return std::nullopt;
  int h = 0, m = 0, s = 0;
  if (count == 3) h = parts[0], m = parts[1], s = parts[2];
  if (count == 2) m = parts[0], s = parts[1];
  if (count == 1) s = parts[0];
  if (count > 1 && (m > 59 || s > 59)) return std::nullopt;
  const long total = h * 3600L + m * 60L + s;
  // The logger counts the averaged readings in 16 bits at up to 6 a second.
  if (total > 0xFFFF / 6) return std::nullopt;
  return static_cast<int>(total);
}

bool SetLiveAveraging(AppState& state, LiveReadingsDialog& dialog, std::string_view text) {
  const std::optional<int> seconds = ParseAveragingTime(text);
  if (!seconds) return false;
  dialog.averagingSeconds = dialog.highRate ? *seconds : 0;
  state.fetchWindow.employAveraging = dialog.averagingSeconds > 0;
  state.deployment.averagingEnabled = dialog.averagingSeconds > 0;
  if (dialog.averagingSeconds > 0) state.deployment.averagingPeriod = dialog.averagingSeconds;
  dialog.fetchUnderway = false;
  return true;
}

int ApplyLiveRangeSwitching(AppState& state, LiveReadingsDialog& dialog) {
  const bool wasFrozen = dialog.frozen;
  dialog.frozen = true;
  dialog.fetchUnderway = false;
  const int ok = WriteRangeSwitching(state);
  dialog.frozen = wasFrozen;
  if (ok != 1) {
    state.ui.MessageBox(Tr(state, "Unable to set range switching mode as requested.\nTry again."),
                        Tr(state, "Range switching mode"), MessageButtons::Ok, MessageIcon::Exclamation,
                        MessageAnswer::Ok);
    return 0;
  }
  return 1;
}

void CloseLiveReadings(AppState& state, LiveReadingsDialog& dialog) {
  if (!dialog.open) return;
  dialog.open = false;
  dialog.fetchUnderway = false;
  state.query.binaryOutput = dialog.savedBinaryOutput;
  state.query.fetchSelector = dialog.savedSelector;
  state.fetchWindow.employAveraging = false;
  if (dialog.restartLogging && !ResumeLogger(state)) {
    state.ui.MessageBox(Tr(state, "Error: Unable to communicate with logger"), Tr(state, "Fetch"),
                        MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
  }
}

std::vector<double> DecodeLiveRecord(const AppState& state, std::string_view reply) {
  std::vector<double> values;
  const int n = Channels(state);
  const size_t tim = reply.find("TIM");
  if (tim == std::string_view::npos) {
    if (MultiChannel(state)) return values;
    if (const auto raw = ParseHexReading(reply)) values.push_back(ConvertReading(state.logger, state.calibration, *raw, 0));
    return values;
  }
  if (EngineeringUnitsOn(state)) {
    // "TIM yymmddhhmmss v1 v2 ... FET": the values follow the time field.
    std::string text(reply.substr(tim + 3));
    const char* p = text.c_str();
    char* end = nullptr;
    std::strtoll(p, &end, 10);  // the time
    if (end == p) return values;
    p = end;
    for (int c = 0; c < n; ++c) {
      const double v = std::strtod(p, &end);
      if (end == p) return {};
      values.push_back(v);
      p = end;
    }
    return values;
  }
  const size_t first = tim + 3 + 6;
  if (reply.size() < first + 3 * static_cast<size_t>(n) + 1) return values;
  uint32_t sum = 0;
  for (size_t i = tim; i < first + 3 * static_cast<size_t>(n); ++i) sum += static_cast<uint8_t>(reply[i]);
  // A record that does not add up is dropped rather than shown as a reading.
  if ((sum & 0xFF) != static_cast<uint8_t>(reply[first + 3 * static_cast<size_t>(n)])) return values;
  for (int c = 0; c < n; ++c) {
    const size_t at = first + 3 * static_cast<size_t>(c);
    const int32_t raw = (static_cast<uint8_t>(reply[at]) << 16) | (static_cast<uint8_t>(reply[at + 1]) << 8) |
                        static_cast<uint8_t>(reply[at + 2]);
    values.push_back(ConvertReading(state.logger, state.calibration, raw, c));
  }
  return values;
}

}  // namespace tmv
