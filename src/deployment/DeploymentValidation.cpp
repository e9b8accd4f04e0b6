#include "deployment/DeploymentValidation.h"

#include <algorithm>

#include "model/LoggerInfo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

uint32_t MemoryCapacityReadings(const LoggerInfo& info) {
  if (info.memory8Meg) return kCapacity8Meg;
  if (info.memory4Meg) return kCapacity4Meg;
  return kCapacityBasic;
}

uint32_t MaximumSamples(const LoggerInfo& info) {
  return MemoryCapacityReadings(info) / static_cast<uint32_t>(std::max(1, info.channelCount));
}

int64_t PeriodSeconds(const LoggerTime& period) {
  const int64_t p = ClockSeconds(period);
  return p == 0 ? 86400 : p;
}

LoggerTime ClockFromSeconds(int64_t seconds) {
  seconds = std::clamp<int64_t>(seconds, 0, 86400);
  return MakeClock(static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                   static_cast<int>(seconds % 60));
}

LoggerTime AddSeconds64(const LoggerTime& t, int64_t seconds) {
  const int64_t ticks = static_cast<int64_t>(ToTicks(t)) + seconds * static_cast<int64_t>(kTicksPerSecond);
  return FromTicks(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

int64_t SecondsFrom(const LoggerTime& from, const LoggerTime& to) {
  const int64_t a = static_cast<int64_t>(ToTicks(to)), b = static_cast<int64_t>(ToTicks(from));
  return (a - b) / static_cast<int64_t>(kTicksPerSecond);
}

LoggerTime OneYearLater(const LoggerTime& t) {
  LoggerTime r = t;
  r.year = static_cast<uint16_t>(t.year + 1);
  // The 29th of February has no twin in the next year.
  if (r.month == 2 && r.day == 29 && !IsLeapYear(r.year)) r.day = 28;
  return FromTicks(ToTicks(r));
}

std::optional<int64_t> ParseClockField(const std::string& text) {
  int field[3] = {0, 0, 0};
  int index = 0, digits = 0;
  for (const char ch : text) {
    if (ch >= '0' && ch <= '9') {
      if (++digits > 2) return std::nullopt;
      field[index] = field[index] * 10 + (ch - '0');
    } else if (ch == ':' && digits > 0 && index < 2) {
      ++index;
      digits = 0;
    } else if (ch != ' ' || digits > 0) {
      return std::nullopt;
    }
  }
  if (index != 2 || digits == 0 || field[1] > 59 || field[2] > 59) return std::nullopt;
  return static_cast<int64_t>(field[0]) * 3600 + field[1] * 60 + field[2];
}

MinimumPeriods ComputeMinimumPeriods(const DeploymentSettings& d, const LoggerInfo& info) {
  const int64_t c = std::max(1, info.channelCount);
  int64_t transmit = 0;
  if (d.realTimeOutput) {
    // Before the rate was recorded the output runs at the link rate.
    const int64_t baud = d.realTimeBaud ? d.realTimeBaud : (info.baud > 0 ? info.baud : 19200);
    transmit = (c * 3 + 13) * 10000 / baud + 1;
  }
  const int64_t averaging = d.averagingEnabled ? (static_cast<int64_t>(d.averagingPeriod) * 6 - 1) * 167 : 0;
  MinimumPeriods m;
  m.poweredMs = info.readingTimeMs + c * 20 + transmit + averaging;
  m.powerCycledMs = c * 20 + transmit + info.latencyMs + 170 + info.readingTimeMs + averaging;
  m.poweredSeconds = (m.poweredMs + 999) / 1000;
  m.powerCycledSeconds = (m.powerCycledMs + 999) / 1000;
  return m;
}

void TooManySamplesDialog::AcceptEndTime(DeploymentSettings& d) const {
  d.endTime = suggestedEnd;
  d.startTime = reference;
}

void TooManySamplesDialog::AcceptSamplingPeriod(DeploymentSettings& d) const { d.samplingPeriod = suggestedPeriod; }

namespace {

TooManySamplesDialog TooManySamples(const AppState& state, const SetupPanel& panel, const LoggerTime& reference) {
  const DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  const int64_t c = std::max(1, info.channelCount);
  const int64_t capacity = MemoryCapacityReadings(info);
  const int64_t m = capacity / c;
  const int64_t p = PeriodSeconds(d.samplingPeriod);
  int64_t fits;
  if (d.sixHzMode)
    fits = capacity / (c * 6);
  else
    fits = (capacity == kCapacity8Meg ? m - 20 : m - 1) * p;
  TooManySamplesDialog dialog;
  dialog.reference = reference;
  dialog.suggestedEnd = AddSeconds64(reference, fits);
  const int64_t suggested = SecondsFrom(reference, d.endTime) / std::max<int64_t>(1, m) + 1;
  dialog.suggestedPeriod = ClockFromSeconds(suggested);
  const std::string end = TimeToDisplayText(d.endTime);
  const std::string newEnd = TimeToDisplayText(dialog.suggestedEnd);
  const std::string period = ClockToText(d.samplingPeriod);
  if (d.sixHzMode) {
    dialog.text = Format(Tr(state, "Your choice of End time at %s\n with 6Hz Sampling requires too many samples for this "
                                   "logger.\n\nYou may change the End time to %s\n\n").c_str(),
                         end.c_str(), newEnd.c_str());
    dialog.samplingPeriodButtonVisible = false;
  } else if (panel.tideWaveLayout) {
    dialog.text = Format(Tr(state, "Your choice of End time at %s\n with a Sampling period of %s requires too many "
                                   "samples for this logger.\n\nYou may change the End time to %s.").c_str(),
                         end.c_str(), period.c_str(), newEnd.c_str());
    dialog.samplingPeriodButtonVisible = false;
  } else {
    const int64_t s = std::min<int64_t>(suggested, 86400);
    dialog.text =
        Format(Tr(state, "Your choice of End time at %s\n with a Sampling period of %s requires too many samples for "
                         "this logger.\n\nYou may change the End time to %s\n\n or the Sampling period to "
                         "%02d:%02d:%02d.").c_str(),
               end.c_str(), period.c_str(), newEnd.c_str(), static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
               static_cast<int>(s % 60));
  }
  return dialog;
}

int Refuse(AppState& state, SetupPanel& panel, const char* text, int code) {
  panel.message.Show(Tr(state, text), MessageIcon::Exclamation);
  panel.enableAllowed = false;
  return code;
}

}  // namespace

int ValidateDeployment(AppState& state, SetupPanel& panel, bool clearMessage) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (clearMessage) panel.message.Clear();
  panel.tooManySamples.reset();
  const bool thresholding = d.startMode == kStartAbove || d.startMode == kStartBelow;
  if (thresholding && panel.setupOpen) d.endTime = OneYearLater(d.loggerClock);
  const LoggerTime reference = d.startMode == kStartAtTime ? d.startTime : d.loggerClock;

  if (!d.resume && d.startMode == kStartAtTime) {
    if (CompareTimes(d.startTime, d.loggerClock) <= 0)
      return Refuse(state, panel, "Error: Start time less than or equal to Logger time.", kStartNotAfterClock);
    if (CompareTimes(d.startTime, d.endTime) >= 0)
      return Refuse(state, panel, "Error: Start time greater than or equal to End time.", kStartNotBeforeEnd);
  } else if (CompareTimes(d.endTime, d.loggerClock) < 0) {
    return Refuse(state, panel, "Error: End time before the current time.", kEndBeforeClock);
  }
  if (d.resume) {
    panel.enableAllowed = true;
    return kDeploymentValid;
  }

  const int64_t p = PeriodSeconds(d.samplingPeriod);
  const int64_t c = std::max(1, info.channelCount);
  const int64_t span = std::max<int64_t>(0, SecondsFrom(reference, d.endTime));
  const int64_t needed = d.sixHzMode ? c * span * 6 : c * (span / p);
  if (!thresholding && needed > static_cast<int64_t>(MemoryCapacityReadings(info))) {
    panel.tooManySamples = TooManySamples(state, panel, reference);
    // The deployment does not fit until the user has taken one of the two fixes.
    panel.enableAllowed = false;
    return kDeploymentValid;
  }

  if (!d.averagingEnabled) d.averagingPeriod = 0;
  const MinimumPeriods m = ComputeMinimumPeriods(d, info);
  if (d.averagingEnabled && p < d.averagingPeriod)
    return Refuse(state, panel, "Error: Sampling period shorter than Averaging period.", kSamplingShorterThanAveraging);
  if (!d.sixHzMode && (p < m.poweredSeconds || (info.rangeSwitchingPresent && p < m.powerCycledSeconds)))
    return Refuse(state, panel, "Error: Sampling period shorter than minimum period defined by parameters and sensors.",
                  kSamplingShorterThanMinimum);
  d.powerKeptOn = p >= m.poweredSeconds && p < m.powerCycledSeconds && !info.rangeSwitchingPresent;
  panel.enableAllowed = true;
  return kDeploymentValid;
}

void DefaultEndTime(const DeploymentSettings& d, const LoggerInfo& info, LoggerTime& startField, LoggerTime& endField) {
  startField = CompareTimes(d.startTime, d.loggerClock) > 0 ? d.startTime : d.loggerClock;
  if (CompareTimes(startField, endField) < 0) {
    if (CompareTimes(d.loggerClock, d.endTime) < 0) endField = d.endTime;
    return;
  }
  const int64_t duration =
      std::min<int64_t>(PeriodSeconds(d.samplingPeriod) * MaximumSamples(info), kLongestProposedDeployment);
  endField = AddSeconds64(startField, duration);
}

}  // namespace tmv
