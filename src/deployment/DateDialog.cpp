#include "deployment/DateDialog.h"

#include <algorithm>

#include "deployment/UsageEstimate.h"
#include "model/LoggerInfo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

LoggerTime CombineDateAndTime(const LoggerTime& date, const LoggerTime& timeOfDay) {
  LoggerTime t = date;
  t.hour = timeOfDay.hour;
  t.minute = timeOfDay.minute;
  t.second = timeOfDay.second;
  t.milliseconds = 0;
  return FromTicks(ToTicks(t));
}

int RevalidateAndEstimate(AppState& state, SetupPanel& panel) {
  const int code = ValidateDeployment(state, panel, true);
  if (code == kDeploymentValid && !panel.tooManySamples) EstimateUsage(state, panel);
  return code;
}

LoggerTime ProposedStartTime(const LoggerTime& loggerClock) {
  LoggerTime t = AddSeconds(loggerClock, 60);
  const int past = t.second;
  t.milliseconds = 0;
  t = AddSeconds(t, past == 0 ? 0 : 60 - past);
  t.second = 0;
  return t;
}

void StartEndFields::Fill(AppState& state) {
  DeploymentSettings& d = state.deployment;
  now = d.startMode == kStartNow;
  // A start the clock has passed would be refused before anything is touched.
  if (d.startMode == kStartAtTime && !d.resume && CompareTimes(d.startTime, d.loggerClock) <= 0)
    d.startTime = ProposedStartTime(d.loggerClock);
  end = d.endTime;
  DefaultEndTime(d, state.logger, start, end);
  startVisible = !now;
  startCaption = now ? "Start time - NOW" : "Start time";
  d.startTime = now ? d.loggerClock : start;
  d.endTime = end;
}

void StartEndFields::SetNow(AppState& state, SetupPanel& panel, bool checked) {
  DeploymentSettings& d = state.deployment;
  now = checked;
  startVisible = !checked;
  if (checked) {
    d.startMode = kStartNow;
    startCaption = "Start time - NOW";
    d.startTime = d.loggerClock;
  } else {
    d.startMode = kStartAtTime;
    startCaption = "Start time";
    d.startTime = start;
  }
  RevalidateAndEstimate(state, panel);
}

namespace {

void AfterTimeChange(StartEndFields& f, AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  const int code = ValidateDeployment(state, panel, true);
  if (code == kStartNotBeforeEnd || code == kEndBeforeClock) {
    f.end = f.now ? d.loggerClock : f.start;
    d.endTime = f.end;
  }
  RevalidateAndEstimate(state, panel);
}

}  // namespace

void StartEndFields::ChangeStart(AppState& state, SetupPanel& panel, const LoggerTime& value) {
  start = value;
  start.milliseconds = 0;
  if (!now) state.deployment.startTime = start;
  AfterTimeChange(*this, state, panel);
}

void StartEndFields::ChangeEnd(AppState& state, SetupPanel& panel, const LoggerTime& value) {
  end = value;
  end.milliseconds = 0;
  state.deployment.endTime = end;
  AfterTimeChange(*this, state, panel);
}

void StartEndFields::Take(AppState& state) const {
  DeploymentSettings& d = state.deployment;
  d.startTime = now ? d.loggerClock : start;
  d.startTime.milliseconds = 0;
  d.endTime = end;
  d.endTime.milliseconds = 0;
}

void DateDialog::Open(AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  saved_ = d;
  open = true;
  periodChoiceLabels = {Tr(state, "One sample every ten seconds"), Tr(state, "One sample every minute"),
                        Tr(state, "One sample every hour"),        Tr(state, "One sample every day"),
                        Tr(state, "6Hz profiling"),                Tr(state, "Let me choose")};
  sixHzChoiceVisible = info.sixHzProfiling;
  if (!info.sixHzProfiling) d.sixHzMode = false;
  const uint32_t p = ClockSeconds(d.samplingPeriod);
  if (d.sixHzMode)
    periodChoice = PeriodChoice::SixHzProfiling;
  else if (p == 10)
    periodChoice = PeriodChoice::TenSeconds;
  else if (p == 60)
    periodChoice = PeriodChoice::Minute;
  else if (p == 3600)
    periodChoice = PeriodChoice::Hour;
  else if (d.samplingPeriod.hour == 24 && d.samplingPeriod.minute == 0 && d.samplingPeriod.second == 0)
    periodChoice = PeriodChoice::Day;
  else
    periodChoice = PeriodChoice::LetMeChoose;
  periodFieldVisible = periodChoice == PeriodChoice::LetMeChoose;
  periodText = ClockToText(d.samplingPeriod);
  averagingVisible = info.averaging != 0;
  averagingChecked = d.averagingEnabled && !d.sixHzMode;
  averagingBoxEnabled = !d.sixHzMode;
  averagingLabel = d.sixHzMode ? kProhibitedByProfiling : kEnableAveraging;
  averagingText = ClockToText(ClockFromSeconds(std::clamp(d.averagingPeriod, 1, 10800)));
  times.Fill(state);
  RevalidateAndEstimate(state, panel);
}

void DateDialog::ChoosePeriod(AppState& state, SetupPanel& panel, PeriodChoice choice) {
  DeploymentSettings& d = state.deployment;
  if (choice == PeriodChoice::SixHzProfiling && !sixHzChoiceVisible) return;
  periodChoice = choice;
  periodFieldVisible = choice == PeriodChoice::LetMeChoose;
  if (choice == PeriodChoice::SixHzProfiling) {
    d.sixHzMode = true;
    d.averagingEnabled = false;
    averagingLabel = kProhibitedByProfiling;
    averagingChecked = false;
    averagingBoxEnabled = false;
  } else if (choice != PeriodChoice::LetMeChoose) {
    static constexpr int kSeconds[] = {10, 60, 3600, 86400};
    d.samplingPeriod = ClockFromSeconds(kSeconds[static_cast<int>(choice)]);
    d.powerKeptOn = false;
    d.sixHzMode = false;
    averagingLabel = kEnableAveraging;
    averagingBoxEnabled = true;
  }
  periodText = ClockToText(d.samplingPeriod);
  RevalidateAndEstimate(state, panel);
}

bool DateDialog::SetPeriodText(AppState& state, SetupPanel& panel, const std::string& text) {
  const auto seconds = ParseClockField(text);
  if (!seconds || *seconds > 86400) return false;
  DeploymentSettings& d = state.deployment;
  // 00:00:00 means a whole day.
  d.samplingPeriod = ClockFromSeconds(*seconds == 0 ? 86400 : *seconds);
  d.powerKeptOn = false;
  periodText = ClockToText(d.samplingPeriod);
  RevalidateAndEstimate(state, panel);
  return true;
}

void DateDialog::SetAveraging(AppState& state, SetupPanel& panel, bool checked) {
  if (!averagingVisible || !averagingBoxEnabled) return;
  averagingChecked = checked;
  state.deployment.averagingEnabled = checked;
  if (checked) SetAveragingText(state, panel, averagingText);
  else RevalidateAndEstimate(state, panel);
}

bool DateDialog::SetAveragingText(AppState& state, SetupPanel& panel, const std::string& text) {
  const auto seconds = ParseClockField(text);
  if (!seconds) return false;
  const int64_t clamped = std::clamp<int64_t>(*seconds, 1, 10800);
  averagingText = ClockToText(ClockFromSeconds(clamped));
  if (averagingChecked) state.deployment.averagingPeriod = static_cast<int>(clamped);
  RevalidateAndEstimate(state, panel);
  return true;
}

void DateDialog::Accept(AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  times.Take(state);
  if (!panel.tideWaveLayout && periodFieldVisible) {
    const auto seconds = ParseClockField(periodText);
    if (seconds && *seconds <= 86400) d.samplingPeriod = ClockFromSeconds(*seconds == 0 ? 86400 : *seconds);
  }
  d.sixHzMode = info.sixHzProfiling && periodChoice == PeriodChoice::SixHzProfiling;
  if (info.averaging != 0 && averagingChecked) {
    const auto seconds = ParseClockField(averagingText);
    d.averagingEnabled = true;
    d.averagingPeriod = static_cast<int>(std::clamp<int64_t>(seconds.value_or(1), 1, 10800));
  } else {
    d.averagingEnabled = false;
    d.averagingPeriod = 0;
  }
  open = false;
  RevalidateAndEstimate(state, panel);
}

void DateDialog::Discard(AppState& state) {
  DeploymentSettings& d = state.deployment;
  d.startTime = saved_.startTime;
  d.endTime = saved_.endTime;
  d.samplingPeriod = saved_.samplingPeriod;
  d.averagingEnabled = saved_.averagingEnabled;
  d.averagingPeriod = saved_.averagingPeriod;
  // The choices made in the picker go too, so a discarded 6 Hz or "Now" does not linger.
  d.sixHzMode = saved_.sixHzMode;
  d.startMode = saved_.startMode;
  d.powerKeptOn = saved_.powerKeptOn;
  open = false;
}

}  // namespace tmv
