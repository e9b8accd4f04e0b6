#pragma once
// The checks that decide whether a deployment may be enabled: memory
// capacity, the minimum sampling periods the sensors allow, and the
// "Too many samples requested" choice when the memory cannot hold it all.
#include <cstdint>
#include <optional>
#include <string>

#include "deployment/DeploymentSettings.h"
#include "platform/UserInterface.h"

namespace tmv {

struct AppState;
struct LoggerInfo;

// The Setup dialog's message area: one text and the icon beside it.
struct MessageArea {
  std::string text;
  MessageIcon icon = MessageIcon::None;
  void Show(std::string t, MessageIcon i) {
    text = std::move(t);
    icon = i;
  }
  void Clear() { Show({}, MessageIcon::None); }
};

// Validation codes (shared with the wave checks).
constexpr int kDeploymentValid = 0;
constexpr int kStartNotAfterClock = 1;
constexpr int kStartNotBeforeEnd = 2;
constexpr int kEndBeforeClock = 5;
constexpr int kSamplingShorterThanAveraging = 7;
constexpr int kSamplingShorterThanMinimum = 8;
constexpr int kBurstShorterThanTide = 9;
constexpr int kBurstTooShort = 10;
constexpr int kWaveSetupError = 11;

// Readings of one channel of one sample each.
constexpr uint32_t kCapacity8Meg = 2'793'456;
constexpr uint32_t kCapacity4Meg = 1'300'000;
constexpr uint32_t kCapacityBasic = 653'984;
constexpr int64_t kLongestProposedDeployment = 31'536'000;  // 365 days

uint32_t MemoryCapacityReadings(const LoggerInfo& info);
// Capacity / channels.
uint32_t MaximumSamples(const LoggerInfo& info);
// The sampling period in seconds; 00:00:00 is a whole day.
int64_t PeriodSeconds(const LoggerTime& period);
// A clock value of up to 24 hours from seconds (86400 gives 24:00:00).
LoggerTime ClockFromSeconds(int64_t seconds);
// Calendar arithmetic over spans longer than 32-bit seconds allow.
LoggerTime AddSeconds64(const LoggerTime& t, int64_t seconds);
int64_t SecondsFrom(const LoggerTime& from, const LoggerTime& to);  // to - from, signed, whole seconds
// The calendar time one year later (29 February becomes 28 February).
LoggerTime OneYearLater(const LoggerTime& t);

// A time field "HH:mm:ss" (hours up to 99) in seconds; nullopt for text that is no time.
std::optional<int64_t> ParseClockField(const std::string& text);

// The shortest sampling periods the configuration allows, in milliseconds and
// rounded up to whole seconds.
struct MinimumPeriods {
  int64_t poweredMs = 0;
  int64_t powerCycledMs = 0;
  int64_t poweredSeconds = 0;
  int64_t powerCycledSeconds = 0;
};
MinimumPeriods ComputeMinimumPeriods(const DeploymentSettings& d, const LoggerInfo& info);

// "Too many samples requested": opened by validation when the memory cannot
// hold the deployment; the face shows it and calls one of the two buttons.
struct TooManySamplesDialog {
  static constexpr const char* kTitle = "Too many samples requested";
  static constexpr const char* kAcceptEndTime = "Accept End Time";
  static constexpr const char* kAcceptSamplingPeriod = "Accept Sampling Period";

  std::string text;
  bool samplingPeriodButtonVisible = true;
  LoggerTime reference;        // start of the stored deployment
  LoggerTime suggestedEnd;     // the latest end that fits
  LoggerTime suggestedPeriod;  // the shortest period that fits

  void AcceptEndTime(DeploymentSettings& d) const;
  void AcceptSamplingPeriod(DeploymentSettings& d) const;
};

// What validation and the estimates read from, and write into, the open
// Setup dialog (or its stand-in when a face runs them without one).
struct SetupPanel {
  MessageArea message;
  bool setupOpen = false;       // the Setup dialog is open
  bool tideWaveLayout = false;  // the tide-and-wave layout of the Setup dialog
  bool simulation = false;      // no logger: nothing is read or sent
  bool enableAllowed = false;   // "Enable logging" may be pressed
  std::optional<TooManySamplesDialog> tooManySamples;  // set when validation opened it
  std::string bandwidthText;    // the wave analysis bandwidth field
};

// Checks the deployment; 0 when it may be enabled, else the code of the first
// failure, whose message is in the message area with the warning icon.
// clearMessage empties the message area first.
int ValidateDeployment(AppState& state, SetupPanel& panel, bool clearMessage);

// The picker's start and end fields when it opens: the start is the later of
// startTime and the logger clock; a start not before the end gets an end as
// far ahead as the memory holds (at most a year).
void DefaultEndTime(const DeploymentSettings& d, const LoggerInfo& info, LoggerTime& startField,
                    LoggerTime& endField);

}  // namespace tmv
