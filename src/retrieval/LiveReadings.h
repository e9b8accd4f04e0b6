#pragma once
// Live readings ("&Fetch live readings"): the FetchProc dialog as a model.
// The shell's tick calls FetchTick, which either starts a fetch of the
// selected channel or polls for the reply of the one under way, so the
// window stays live while the logger measures.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmv {

struct AppState;

struct LiveReadingsDialog {
  bool open = false;
  bool frozen = false;          // "Freeze": no fetches until pressed again
  bool fetchUnderway = false;   // a fetch was started; the next ticks poll it
  int pollsLeft = 0;            // ticks the poll may still take
  std::string identity;         // the logger identity line
  bool showChannelSpinner = false;  // multi-channel loggers only
  int channel = 1;              // 1..channelCount
  int channelCount = 1;
  bool highRate = false;        // the rate and the averaging time are shown
  std::string rateText;         // "@6Hz"
  int averagingSeconds = 0;     // 0: averaging off
  std::string valueText;        // the last reading ("%.4f"), "Logger busy", ...
  std::optional<double> lastValue;
  std::vector<std::string> lines;  // engineering-units replies, line by line
  int fetches = 0;                 // completed fetches
  bool restartLogging = false;     // resume the logger when the dialog closes
  // What fetching changed in the exchange state, put back on closing.
  bool savedBinaryOutput = true;
  int savedSelector = 0;
};

// Opens the dialog: enters fetch mode and fills the identity, the channel
// spinner and the rate. The command gate has already been passed.
void OpenLiveReadings(AppState& state, LiveReadingsDialog& dialog);
// The tick: a fetch is started or its reply polled. Nothing while frozen or closed.
void FetchTick(AppState& state, LiveReadingsDialog& dialog);
// The channel spinner: 1..N, wrapping both ways.
void StepLiveChannel(LiveReadingsDialog& dialog, int delta);
// What the reading shown is: the selected channel's label and unit, as
// "1 - Conductivity [uS/cm]" (Latin-1, like the units).
std::string LiveChannelCaption(const AppState& state, const LiveReadingsDialog& dialog);
// "Freeze" pressed: stops or restarts fetching; a fetch under way is dropped.
void ToggleLiveFreeze(LiveReadingsDialog& dialog);
// The averaging time "HH:mm:ss" (also "mm:ss" or seconds); nullopt when not a
// time. Sets the dialog's averaging (0 turns it off) when valid.
std::optional<int> ParseAveragingTime(std::string_view text);
bool SetLiveAveraging(AppState& state, LiveReadingsDialog& dialog, std::string_view text);
// The range-switching button after the range-switching dialog was accepted:
// fetching pauses, the setting is written; 1 on success, else the failure box.
int ApplyLiveRangeSwitching(AppState& state, LiveReadingsDialog& dialog);
// Closing: leaves fetch mode; resumes the logger when asked to.
void CloseLiveReadings(AppState& state, LiveReadingsDialog& dialog);

// One complete fetch reply as values per channel, for a whole-record fetch
// ("F00" or "FAB"): a binary record (zeros, "TIM", time, 3 bytes a channel),
// an engineering-units record ("TIM" time values "FET"), or a single hex
// reading of an older logger. Empty when the reply is none of those.
std::vector<double> DecodeLiveRecord(const AppState& state, std::string_view reply);

}  // namespace tmv
