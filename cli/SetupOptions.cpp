#include "SetupOptions.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "CliSupport.h"
#include "deployment/BurstSetup.h"
#include "deployment/DateDialog.h"
#include "deployment/SetupDialog.h"
#include "deployment/Thresholding.h"
#include "link/LoggerLink.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv::cli {

namespace {

bool ParseWhole(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && end != text.c_str() && *end == '\0';
}

bool ParseReal(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != text.c_str() && *end == '\0' && std::isfinite(value);
}

// "CHANNEL:VALUE" with the channel from 1.
bool ParseThreshold(const std::string& text, long& channel, std::string& value) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  double v = 0.0;
  value = text.substr(colon + 1);
  return ParseWhole(text.substr(0, colon), channel) && channel >= 1 && ParseReal(value, v);
}

bool IsClockText(const std::string& text) { return ParseClockField(text).has_value(); }

int Refused(CliContext& ctx, const std::string& text) {
  ctx.err << text << "\n";
  return kExitFailure;
}

bool TimesGiven(const SetupOptions& o) { return !o.start.empty() || o.now || !o.end.empty(); }

bool WaveOptionsGiven(const SetupOptions& o) {
  return !o.waves.empty() || o.burstRate != 0 || o.burstSamples != 0 || !o.burstPeriod.empty() || !o.depth.empty() ||
         !o.height.empty();
}

// The start and end fields, shared by the date picker and the tide-and-wave dialog.
void ApplyTimes(AppState& state, SetupPanel& panel, StartEndFields& times, const SetupOptions& o) {
  if (o.now) times.SetNow(state, panel, true);
  if (!o.start.empty()) {
    if (times.now) times.SetNow(state, panel, false);
    times.ChangeStart(state, panel, *ParseDateTime(o.start));
  }
  if (!o.end.empty()) times.ChangeEnd(state, panel, *ParseDateTime(o.end));
}

int ApplyDatePicker(CliContext& ctx, SetupDialog& dialog, const SetupOptions& o) {
  AppState& state = ctx.state;
  const bool wanted = TimesGiven(o) || !o.period.empty() || o.sixHz || !o.averaging.empty() || o.noAveraging;
  if (!wanted) return kParsed;
  DateDialog picker;
  picker.Open(state, dialog.panel);
  ApplyTimes(state, dialog.panel, picker.times, o);
  if (o.sixHz) {
    if (!picker.sixHzChoiceVisible) {
      picker.Discard(state);
      return UsageError(ctx, "this logger has no 6 Hz profiling");
    }
    picker.ChoosePeriod(state, dialog.panel, PeriodChoice::SixHzProfiling);
  } else if (!o.period.empty()) {
    picker.ChoosePeriod(state, dialog.panel, PeriodChoice::LetMeChoose);
    if (!picker.SetPeriodText(state, dialog.panel, o.period)) {
      picker.Discard(state);
      return UsageError(ctx, "--period must be a time of at most 24:00:00, e.g. 00:10:00");
    }
  }
  if (!o.averaging.empty() || o.noAveraging) {
    if (!picker.averagingVisible) {
      picker.Discard(state);
      return UsageError(ctx, "this logger does not average");
    }
    if (o.noAveraging) {
      picker.SetAveraging(state, dialog.panel, false);
    } else {
      if (!picker.averagingBoxEnabled) {
        picker.Discard(state);
        return Refused(ctx, Tr(state, picker.averagingLabel) + " averaging");
      }
      long seconds = 0;
      ParseWhole(o.averaging, seconds);
      picker.SetAveragingText(state, dialog.panel, ClockToText(ClockFromSeconds(seconds)));
      picker.SetAveraging(state, dialog.panel, true);
    }
  }
  picker.Accept(state, dialog.panel);
  dialog.SubDialogAccepted(state);
  return kParsed;
}

int ApplyTideAndWave(CliContext& ctx, SetupDialog& dialog, const SetupOptions& o) {
  AppState& state = ctx.state;
  const bool wanted = TimesGiven(o) || !o.period.empty() || !o.averaging.empty() || o.noAveraging || WaveOptionsGiven(o);
  if (!wanted) return kParsed;
  if (o.sixHz) return UsageError(ctx, "this logger has no 6 Hz profiling");
  BurstDialog burst;
  burst.Open(state, dialog.panel);
  ApplyTimes(state, dialog.panel, burst.times, o);
  auto refuse = [&](const std::string& text) {
    burst.Discard(state);
    return UsageError(ctx, text);
  };
  if (!o.period.empty() && !burst.SetTidePeriodText(state, dialog.panel, o.period))
    return refuse("--period must be a time, e.g. 00:10:00");
  if (o.noAveraging) burst.SetAveragingEnabled(state, dialog.panel, false);
  if (!o.averaging.empty()) {
    long seconds = 0;
    ParseWhole(o.averaging, seconds);
    if (!burst.averagingBoxEnabled) return refuse("averaging cannot be chosen with these settings");
    burst.SetAveragingEnabled(state, dialog.panel, true);
    burst.SetAveragingText(state, dialog.panel, ClockToText(ClockFromSeconds(seconds)));
  }
  if (!o.waves.empty()) burst.SetWaveEnabled(state, dialog.panel, o.waves == "on");
  if (o.burstRate != 0) {
    int index = -1;
    for (int i = 0; i < 3; ++i)
      if (BurstDialog::kRates[i] == o.burstRate) index = i;
    if (index < 0) return refuse("--burst-rate must be 1, 2 or 4 (Hz)");
    if (!burst.rateListEnabled) return refuse("--burst-rate needs averaging or wave bursts");
    burst.SelectRate(state, dialog.panel, index);
  }
  if (o.burstSamples != 0) {
    int index = -1;
    for (int i = 0; i < 4; ++i)
      if (BurstDialog::kLengths[i] == o.burstSamples) index = i;
    if (index < 0) return refuse("--burst-samples must be 512, 1024, 2048 or 4096");
    burst.SelectLength(state, dialog.panel, index);
  }
  if (!o.burstPeriod.empty()) {
    // The spin control moves in whole tide periods: click until the period
    // is reached or would be passed.
    const int64_t wantedSeconds = *ParseClockField(o.burstPeriod);
    for (int clicks = 0; clicks < 10000; ++clicks) {
      const int64_t now = PeriodSeconds(state.deployment.burstPeriod);
      if (now == wantedSeconds) break;
      const int direction = wantedSeconds > now ? 1 : -1;
      // Separate clicks, not the control held down (which moves six periods).
      if (clicks > 0) DelayMs(state, 160);
      burst.SpinBurstPeriod(state, dialog.panel, direction);
      const int64_t after = PeriodSeconds(state.deployment.burstPeriod);
      if (after == now || (direction > 0 ? after > wantedSeconds : after < wantedSeconds)) {
        const std::string reached = burst.burstPeriodText;
        return refuse("--burst-period must be a whole number of tide periods (next: " + reached + ")");
      }
    }
  }
  if (!o.depth.empty()) burst.SetDepthText(state, dialog.panel, o.depth);
  if (!o.height.empty()) burst.SetHeightText(state, dialog.panel, o.height);
  if (!burst.Accept(state, dialog.panel)) {
    const std::string why = dialog.panel.message.text;
    burst.Discard(state);
    return Refused(ctx, why.empty() ? std::string("The tide and wave settings were not accepted.") : why);
  }
  dialog.SubDialogAccepted(state);
  return kParsed;
}

int ApplyThreshold(CliContext& ctx, SetupDialog& dialog, const SetupOptions& o) {
  AppState& state = ctx.state;
  const bool thresholding = state.deployment.startMode == kStartAbove || state.deployment.startMode == kStartBelow;
  if (!thresholding) {
    if (!o.testPeriod.empty() || !o.hysteresis.empty())
      return UsageError(ctx, "--test-period and --hysteresis need --above or --below");
    return kParsed;
  }
  if (o.above.empty() && o.below.empty() && o.testPeriod.empty() && o.hysteresis.empty()) return kParsed;
  ThresholdDialog threshold;
  threshold.Open(state);
  auto refuse = [&](int rc, const std::string& text) {
    threshold.Discard(state);
    return rc == kExitUsage ? UsageError(ctx, text) : Refused(ctx, text);
  };
  const std::string& limit = o.above.empty() ? o.below : o.above;
  if (!limit.empty()) {
    long channel = 0;
    std::string value;
    ParseThreshold(limit, channel, value);
    int entry = -1;
    for (size_t i = 0; i < threshold.channels.size(); ++i)
      if (threshold.channels[i] == channel - 1) entry = static_cast<int>(i);
    if (entry < 0) return refuse(kExitUsage, Format("channel %ld cannot start the logger", channel));
    threshold.selectedEntry = entry;
    threshold.thresholdText = value;
  }
  if (!o.testPeriod.empty()) {
    const int64_t seconds = *ParseClockField(o.testPeriod);
    const ThresholdTest test = seconds == 0    ? ThresholdTest::Continuously
                               : seconds == 10 ? ThresholdTest::Every10Seconds
                               : seconds == 30 ? ThresholdTest::Every30Seconds
                                               : ThresholdTest::LetMeChoose;
    if (test != ThresholdTest::Continuously && !threshold.otherTestsEnabled)
      return refuse(kExitUsage, "this logger tests its threshold continuously only");
    threshold.ChooseTest(state, test);
    if (test == ThresholdTest::LetMeChoose) threshold.testPeriodText = ClockToText(ClockFromSeconds(seconds));
    if (!threshold.message.text.empty()) ctx.err << threshold.message.text << "\n";
  }
  if (!o.hysteresis.empty()) {
    if (!threshold.hysteresisVisible) return refuse(kExitUsage, "this logger has no hysteresis");
    threshold.SetHysteresisEnabled(o.hysteresis != "0");
    threshold.hysteresisText = o.hysteresis;
  }
  if (!threshold.Accept(state)) {
    const std::string why = threshold.message.text;
    return refuse(kExitFailure, why.empty() ? std::string("The threshold was not accepted.") : why);
  }
  if (!threshold.message.text.empty()) ctx.err << threshold.message.text << "\n";
  dialog.SubDialogAccepted(state);
  return kParsed;
}

}  // namespace

std::optional<LoggerTime> ParseDateTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char a = 0, b = 0, sep = 0, c1 = 0, c2 = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%c%2d%c%2d%c%2d%n", &y, &a, &mo, &b, &d, &sep, &h, &c1, &mi, &c2, &s,
                  &used) != 11 ||
      static_cast<size_t>(used) != text.size())
    return std::nullopt;
  if (!((a == '/' && b == '/') || (a == '-' && b == '-')) || (sep != ' ' && sep != 'T') || c1 != ':' || c2 != ':')
    return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // The logger keeps two-digit years.
  if (y < 2000 || y > 2099 || mo < 1 || mo > 12 || h > 23 || mi > 59 || s > 59 || d < 1) return std::nullopt;
  if (d > kDays[mo - 1] + (mo == 2 && IsLeapYear(y) ? 1 : 0)) return std::nullopt;
  LoggerTime t{};
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(mo);
  t.day = static_cast<uint16_t>(d);
  t.hour = static_cast<uint16_t>(h);
  t.minute = static_cast<uint16_t>(mi);
  t.second = static_cast<uint16_t>(s);
  return FromTicks(ToTicks(t));
}

void AddSetupOptions(CLI::App& p, SetupOptions& o) {
  p.add_option("--start", o.start, "start of logging, \"YYYY/MM/DD HH:MM:SS\"");
  p.add_flag("--now", o.now, "start now (at the next whole ten seconds)");
  p.add_option("--end", o.end, "end of logging, \"YYYY/MM/DD HH:MM:SS\"");
  p.add_option("--period", o.period, "sampling period HH:MM:SS (the tide period on tide-and-wave recorders)");
  p.add_flag("--6hz", o.sixHz, "6 Hz profiling instead of a sampling period");
  p.add_option("--averaging", o.averaging, "average over SECONDS (1 to 10800)");
  p.add_flag("--no-averaging", o.noAveraging, "no averaging");
  p.add_option("--above", o.above, "start when CHANNEL (from 1) is above VALUE, as CHANNEL:VALUE");
  p.add_option("--below", o.below, "start when CHANNEL (from 1) is below VALUE, as CHANNEL:VALUE");
  p.add_option("--test-period", o.testPeriod, "test the threshold every HH:MM:SS (00:00:00: continuously)");
  p.add_option("--hysteresis", o.hysteresis, "hysteresis in SECONDS (0: off)");
  p.add_option("--waves", o.waves, "wave bursts on or off")->check(CLI::IsMember({"on", "off"}));
  p.add_option("--burst-rate", o.burstRate, "rate of tide and wave readings, 1, 2 or 4 Hz");
  p.add_option("--burst-samples", o.burstSamples, "readings in a burst: 512, 1024, 2048 or 4096");
  p.add_option("--burst-period", o.burstPeriod, "time between bursts HH:MM:SS (whole tide periods)");
  p.add_option("--depth", o.depth, "mean water depth in metres");
  p.add_option("--height", o.height, "height of the logger above the sea bed in metres");
  p.add_option("--realtime", o.realtime, "real-time output: off, binary or engineering")
      ->check(CLI::IsMember({"off", "binary", "engineering"}));
  p.add_flag("--no-storage", o.noStorage, "real-time output without storing readings");
  p.add_flag("--erase", o.erase, "when the logger holds data: erase it");
  p.add_flag("--continue", o.keep, "when the logger holds data: continue to add to it");
  p.get_option("--now")->excludes("--start");
  p.get_option("--6hz")->excludes("--period");
  p.get_option("--no-averaging")->excludes("--averaging");
  p.get_option("--above")->excludes("--below");
  p.get_option("--erase")->excludes("--continue");
}

int CheckSetupOptions(CliContext& ctx, const SetupOptions& o) {
  for (const auto* t : {&o.start, &o.end})
    if (!t->empty() && !ParseDateTime(*t))
      return UsageError(ctx, "'" + *t + "' is not a date and time such as \"2027/01/15 08:00:00\"");
  for (const auto* t : {&o.period, &o.testPeriod, &o.burstPeriod})
    if (!t->empty() && !IsClockText(*t)) return UsageError(ctx, "'" + *t + "' is not a time such as 00:10:00");
  long seconds = 0;
  if (!o.averaging.empty() && (!ParseWhole(o.averaging, seconds) || seconds < 1 || seconds > 10800))
    return UsageError(ctx, "--averaging needs SECONDS from 1 to 10800");
  if (!o.hysteresis.empty() && (!ParseWhole(o.hysteresis, seconds) || seconds < 0))
    return UsageError(ctx, "--hysteresis needs SECONDS");
  long channel = 0;
  std::string value;
  for (const auto* t : {&o.above, &o.below})
    if (!t->empty() && !ParseThreshold(*t, channel, value))
      return UsageError(ctx, "'" + *t + "' is not CHANNEL:VALUE, e.g. 2:12.5");
  double metres = 0.0;
  for (const auto* t : {&o.depth, &o.height})
    if (!t->empty() && (!ParseReal(*t, metres) || metres < 0.0)) return UsageError(ctx, "'" + *t + "' is not metres");
  if (o.noStorage && o.realtime == "off") return UsageError(ctx, "--no-storage needs real-time output");
  return kParsed;
}

int ApplySetupOptions(CliContext& ctx, SetupDialog& dialog, const SetupOptions& o) {
  AppState& state = ctx.state;
  const bool multiChannel = IsMultiChannelModel(state.logger.model);
  // The start list first: it decides what the sub-dialogs offer.
  if (!o.above.empty() || !o.below.empty()) {
    if (dialog.startList.size() < 3) return UsageError(ctx, "this logger does not start on a threshold");
    dialog.ChooseStart(state, o.above.empty() ? 2 : 1);
  } else if (multiChannel && TimesGiven(o) &&
             (state.deployment.startMode == kStartAbove || state.deployment.startMode == kStartBelow)) {
    dialog.ChooseStart(state, 0);
  } else if (!multiChannel && (o.now || !o.start.empty())) {
    dialog.ChooseStart(state, o.now ? 1 : 0);
  }
  if (dialog.panel.tideWaveLayout) {
    if (int rc = ApplyTideAndWave(ctx, dialog, o); rc != kParsed) return rc;
  } else {
    if (WaveOptionsGiven(o)) return UsageError(ctx, "this logger has no burst and wave settings");
    if (int rc = ApplyDatePicker(ctx, dialog, o); rc != kParsed) return rc;
  }
  if (int rc = ApplyThreshold(ctx, dialog, o); rc != kParsed) return rc;
  if (!o.realtime.empty() || o.noStorage) {
    if (!dialog.realTimeVisible) return UsageError(ctx, "this logger has no real-time output");
    int index = o.realtime == "off" ? 0 : 1;
    if (o.noStorage) {
      if (dialog.realTimeList.size() < 3) return UsageError(ctx, "this logger always stores its readings");
      index = 2;
    }
    dialog.ChooseRealTime(state, index);
  }
  dialog.Refresh(state);
  return kParsed;
}

void PrintDeployment(CliContext& ctx, const SetupDialog& dialog) {
  const AppState& state = ctx.state;
  const DeploymentSettings& d = state.deployment;
  std::ostream& out = ctx.out;
  out << "Logger status: " << dialog.loggerStatusText << "\n";
  if (dialog.loggerTimeText.empty() && dialog.hostTimeText.empty()) {
    // An older QN-760 does not report its deployment while it is active.
    out << "The deployment is not read while this logger is active.\n";
    return;
  }
  out << "Logger time: " << dialog.loggerTimeText << "\n";
  out << "Host time: " << dialog.hostTimeText << "\n";
  if (!dialog.startList.empty())
    out << "Start mode: " << dialog.startList[static_cast<size_t>(dialog.startSelection)] << "\n";
  if (d.startMode == kStartAbove || d.startMode == kStartBelow) out << "Threshold: " << ShowThresholdSummary(state) << "\n";
  out << "Start time: " << dialog.startText << "\n";
  out << "End time: " << dialog.endText << "\n";
  out << dialog.periodCaption << ": " << dialog.periodText << "\n";
  out << dialog.averagingCaption << ": " << dialog.averagingText << "\n";
  if (dialog.panel.tideWaveLayout) {
    out << dialog.rateCaption << ": " << dialog.rateText << "\n";
    out << dialog.waveCaption << ": " << dialog.waveText << "\n";
    out << Format("Mean water depth: %.2f m, logger height: %.2f m", d.meanWaterDepth, d.loggerHeight) << "\n";
    if (!dialog.panel.bandwidthText.empty()) out << dialog.panel.bandwidthText << "\n";
  }
  if (dialog.realTimeVisible && !dialog.realTimeList.empty())
    out << "Real-time output: " << dialog.realTimeList[static_cast<size_t>(dialog.realTimeSelection)] << "\n";
  if (!dialog.memoryUsageText.empty()) out << "Memory used: " << dialog.memoryUsageText << "\n";
  if (dialog.panel.enableAllowed && !dialog.panel.message.text.empty())
    out << "Estimate: " << dialog.panel.message.text << "\n";
}

int ReportValidity(CliContext& ctx, SetupDialog& dialog) {
  if (dialog.panel.tooManySamples) {
    const TooManySamplesDialog& t = *dialog.panel.tooManySamples;
    ctx.err << TooManySamplesDialog::kTitle << ": " << t.text << "\n";
    ctx.err << "  The latest end that fits: " << TimeToDisplayText(t.suggestedEnd) << "\n";
    if (t.samplingPeriodButtonVisible)
      ctx.err << "  The shortest period that fits: " << ClockToText(t.suggestedPeriod) << "\n";
    return kExitFailure;
  }
  if (dialog.panel.enableAllowed) return kExitOk;
  ctx.err << (dialog.panel.message.text.empty() ? std::string("The deployment cannot be enabled.")
                                                : dialog.panel.message.text)
          << "\n";
  return kExitFailure;
}

}  // namespace tmv::cli
