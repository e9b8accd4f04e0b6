#include "deployment/Thresholding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr const char* kHysteresisCaption = "Hysteresis setting";

bool IsThermistor(const LoggerInfo& info, int channel) {
  return channel >= 0 && channel < kMaxChannels && info.channelTypes[static_cast<size_t>(channel)] == 'T';
}

std::string TrimmedHeading(const LoggerInfo& info, int channel) {
  const std::string label = ChannelShortLabel(info, channel);
  std::string heading = label.size() > 1 ? label.substr(1) : std::string();
  const size_t first = heading.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return heading.substr(first, heading.find_last_not_of(' ') - first + 1);
}

void HysteresisMessage(AppState& state, const std::string& text) {
  state.ui.MessageBox(text, Tr(state, kHysteresisCaption), MessageButtons::Ok, MessageIcon::Exclamation,
                      MessageAnswer::Ok);
}

int ChannelOf(const AppState& state) {
  return std::clamp(static_cast<int>(state.deployment.thresholdChannel), 0, kMaxChannels - 1);
}

}  // namespace

bool OffersThresholding(const LoggerInfo& info) {
  return info.conventionalThresholding || info.powerSaveThresholding ||
         (ModelContains(info.model, "30-SB") && !info.microchipLogger);
}

std::vector<std::string> StartListEntries(const LoggerInfo& info) {
  if (!IsMultiChannelModel(info.model)) return {"Start at 'Start of logging'", "Start NOW"};
  std::vector<std::string> entries{"No thresholding"};
  if (OffersThresholding(info)) {
    entries.emplace_back("Start when ABOVE threshold");
    entries.emplace_back("Start when BELOW threshold");
  }
  return entries;
}

int StartListSelection(const LoggerInfo& info, unsigned startMode) {
  if (!IsMultiChannelModel(info.model)) return startMode == kStartNow ? 1 : 0;
  return startMode >= kStartAbove ? static_cast<int>(startMode) - 1 : 0;
}

bool ChooseStartEntry(AppState& state, int index) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!IsMultiChannelModel(info.model)) {
    d.startMode = index == 1 ? kStartNow : kStartAtTime;
    return false;
  }
  if (index <= 0 || !OffersThresholding(info)) {
    d.startMode = kStartNow;
    d.powerSaving = false;
    d.thresholdTestPeriod = MakeClock(0, 0, 0);
    return false;
  }
  d.startMode = index == 1 ? kStartAbove : kStartBelow;
  d.averagingEnabled = false;
  return info.powerSaveThresholding;
}

std::string ShowThresholdSummary(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const int channel = ChannelOf(state);
  const std::string name = TrimmedHeading(state.logger, channel);
  // The level with its unit: a bare number says not what it measures.
  const char* unit = ChannelUnit(state.logger, channel);
  if (!d.powerSaving)
    return Format(Tr(state, "Channel:%2d (%s), threshold:%.2f %s, continuous").c_str(), channel + 1, name.c_str(),
                  d.thresholdValue, unit);
  return Format(Tr(state, "Channel:%2d (%s), threshold:%.2f %s, tested at %s").c_str(), channel + 1, name.c_str(),
                d.thresholdValue, unit, ClockToText(d.thresholdTestPeriod).c_str());
}

uint32_t ThresholdToRaw(const LoggerInfo& info, const CalibrationSet& calibration, double value, int channel) {
  if (IsThermistor(info, channel)) {
    // A higher temperature gives a lower count.
    int32_t r = 0x800000, step = 0x800000;
    for (int i = 0; i < 24; ++i) {
      if (ConvertReading(info, calibration, r, channel) < value) r -= step;
      r += step / 2;
      step /= 2;
    }
    return static_cast<uint32_t>(r) & 0xFFFFFFu;
  }
  // Searched as a signed count so that negative thresholds are found too; the
  // logger takes those in two's complement.
  int32_t s = kRawSpan, step = kRawSpan;
  for (int i = 0; i < 25 && step > 0; ++i) {
    if (ConvertReading(info, calibration, s - kRawSpan, channel) > value) s -= step;
    s += step / 2;
    step /= 2;
  }
  return static_cast<uint32_t>(s) & 0xFFFFFFu;
}

uint32_t ThresholdRawLimit(const LoggerInfo& info, int channel) {
  switch (ChannelRangeClass(info, channel)) {
    case 0: return 0xFFFFFD;
    case 2: return 0xFD70A2;
    default: return 0xDFFFFF;
  }
}

// Typed values such as 12.34 are held as 12.339999...; a millionth of a cent
// of slack keeps them as typed.
double RoundUpCents(double value) { return std::ceil(value * 100.0 - 1e-6) / 100.0; }
double RoundDownCents(double value) { return std::floor(value * 100.0 + 1e-6) / 100.0; }

ThresholdLimits ThresholdLimitsFor(const LoggerInfo& info, const CalibrationSet& calibration, int channel) {
  ThresholdLimits limits;
  if (IsThermistor(info, channel)) {
    limits.minimum = RoundUpCents(ConvertReading(info, calibration, 0xFFFFFD, channel));
    limits.maximum = 100.0;
  } else {
    limits.minimum = RoundUpCents(calibration.coefficients[static_cast<size_t>(channel)][0]);
    limits.maximum = RoundDownCents(ConvertReading(info, calibration, 0xCCCCCC, channel));
  }
  return limits;
}

bool CheckThresholdLimits(AppState& state, bool& acceptedLimit, const Confirm& confirm) {
  DeploymentSettings& d = state.deployment;
  const int channel = ChannelOf(state);
  const ThresholdLimits limits = ThresholdLimitsFor(state.logger, state.calibration, channel);
  acceptedLimit = false;
  double limit;
  std::string text, caption;
  if (d.thresholdValue < limits.minimum) {
    limit = limits.minimum;
    text = Format(Tr(state, "Minimum threshold for this sensor is %.2f\nDo you wish to accept this value?").c_str(), limit);
    caption = Tr(state, "Required threshold below minimum");
  } else if (d.thresholdValue > limits.maximum) {
    limit = limits.maximum;
    text = Format(Tr(state, "Maximum threshold for this sensor is %.2f\nDo you wish to accept this value?").c_str(), limit);
    caption = Tr(state, "Required threshold above maximum");
  } else {
    return true;
  }
  if (confirm && confirm({text, caption})) {
    d.thresholdValue = limit;
    d.thresholdRaw = ThresholdToRaw(state.logger, state.calibration, limit, channel);
    acceptedLimit = true;
  }
  return false;
}

unsigned CheckHysteresis(AppState& state) {
  DeploymentSettings& d = state.deployment;
  if (d.hysteresisSeconds == 0) return 0;
  if (d.sixHzMode) {
    if (static_cast<uint64_t>(d.hysteresisSeconds) * 6 > 65535) {
      d.hysteresisSeconds = 65535 / 6;
      HysteresisMessage(state, Format(Tr(state, "The maximum hysteresis period is %d seconds.\nThis maximum period has "
                                                "been inserted into the current setup.").c_str(),
                                      static_cast<int>(d.hysteresisSeconds)));
    }
    return d.hysteresisSeconds * 6;
  }
  const unsigned p = static_cast<unsigned>(PeriodSeconds(d.samplingPeriod));
  if (d.hysteresisSeconds < p) {
    d.hysteresisSeconds = p;
    HysteresisMessage(state, Format(Tr(state, "The minimum hysteresis period is %d seconds - one sampling period.\nThis "
                                              "minimum period has been inserted into the current setup.").c_str(),
                                    static_cast<int>(p)));
  }
  if (d.hysteresisSeconds / p >= 65536) {
    d.hysteresisSeconds = 65535 - (65535 % p);
    HysteresisMessage(state, Format(Tr(state, "The maximum hysteresis period is %d seconds.\nThis maximum period has "
                                              "been inserted into the configuration.").c_str(),
                                    static_cast<int>(d.hysteresisSeconds)));
  }
  if (d.hysteresisSeconds % p != 0) {
    d.hysteresisSeconds -= d.hysteresisSeconds % p;
    HysteresisMessage(state, Tr(state, "The hysteresis period must be an integer multiple of the sampling.\nThe nearest "
                                       "period has been inserted into the current setup."));
  }
  return d.hysteresisSeconds / p;
}

bool CheckPowerSavingPeriod(AppState& state, MessageArea& message) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  const int64_t t = ClockSeconds(d.thresholdTestPeriod);
  const int64_t p = ClockSeconds(d.samplingPeriod);
  if (t == 0 || t >= p) return true;
  const int64_t minimum = (info.latencyMs + info.readingTimeMs + 170 + info.channelCount * 20 + 999) / 1000;
  if (t >= minimum) return true;
  d.thresholdTestPeriod = ClockFromSeconds(minimum);
  message.Show(Tr(state, "Power saving period was too short.\nIt has been changed.\nContinuous checking is still an option."),
               MessageIcon::Information);
  return false;
}

// ---- The Thresholding dialog ----

void ThresholdDialog::Open(AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  saved_ = d;
  open = true;
  message.Clear();
  thresholdText = Format("%.2f", d.thresholdValue);
  samplingPeriodText = ClockToText(d.samplingPeriod);
  captionLine = Tr(state, d.startMode == kStartAbove ? "When ABOVE the threshold of" : "When BELOW the threshold of");
  testChoices = {Tr(state, "Continuously -  (Power is kept ON)"), Tr(state, "Every 10 seconds"),
                 Tr(state, "Every 30 seconds"), Tr(state, "Let me choose")};
  const uint32_t t = ClockSeconds(d.thresholdTestPeriod);
  test = t == 0 ? ThresholdTest::Continuously
                : (t == 10 ? ThresholdTest::Every10Seconds
                           : (t == 30 ? ThresholdTest::Every30Seconds : ThresholdTest::LetMeChoose));
  testPeriodText = ClockToText(d.thresholdTestPeriod);
  testPeriodVisible = test == ThresholdTest::LetMeChoose;
  otherTestsEnabled = info.powerSaveThresholding;
  channels.clear();
  channelLabels.clear();
  channelUnits.clear();
  selectedEntry = 0;
  for (int i = 0; i < std::min(info.channelCount, kMaxChannels); ++i) {
    if (info.channelTypes[static_cast<size_t>(i)] == 'y') continue;
    if (static_cast<unsigned>(i) == d.thresholdChannel) selectedEntry = static_cast<int>(channels.size());
    channels.push_back(i);
    channelLabels.push_back(ChannelLabel(info, i));
    channelUnits.push_back(ChannelUnit(info, i));
  }
  hysteresisVisible = info.hysteresis;
  hysteresisChecked = d.hysteresisEnabled;
  hysteresisText = Format("%u", d.hysteresisSeconds);
  ApplyHysteresisRule(state);
}

void ThresholdDialog::ApplyHysteresisRule(const AppState& state) {
  if (!state.logger.microchipLogger && test == ThresholdTest::Continuously) {
    hysteresisBoxEnabled = false;
    hysteresisChecked = false;
    hysteresisFieldEnabled = false;
  } else {
    hysteresisBoxEnabled = true;
    hysteresisFieldEnabled = hysteresisChecked;
  }
}

void ThresholdDialog::SetHysteresisEnabled(bool checked) {
  if (!hysteresisBoxEnabled) return;
  hysteresisChecked = checked;
  hysteresisFieldEnabled = checked;
}

void ThresholdDialog::ChooseTest(AppState& state, ThresholdTest choice) {
  DeploymentSettings& d = state.deployment;
  if (choice != ThresholdTest::Continuously && !state.logger.powerSaveThresholding) return;
  test = choice;
  switch (choice) {
    case ThresholdTest::Continuously:
      d.powerSaving = false;
      d.thresholdTestPeriod = MakeClock(0, 0, 0);
      break;
    case ThresholdTest::Every10Seconds:
    case ThresholdTest::Every30Seconds:
      d.powerSaving = true;
      d.thresholdTestPeriod = MakeClock(0, 0, choice == ThresholdTest::Every10Seconds ? 10 : 30);
      break;
    case ThresholdTest::LetMeChoose:
      d.powerSaving = true;
      if (ClockSeconds(d.thresholdTestPeriod) == 0) d.thresholdTestPeriod = d.samplingPeriod;
      break;
  }
  testPeriodVisible = choice == ThresholdTest::LetMeChoose;
  if (choice != ThresholdTest::LetMeChoose && !CheckPowerSavingPeriod(state, message)) {
    test = ThresholdTest::LetMeChoose;
    testPeriodVisible = true;
  }
  testPeriodText = ClockToText(d.thresholdTestPeriod);
  ApplyHysteresisRule(state);
}

bool ThresholdDialog::Accept(AppState& state) {
  DeploymentSettings& d = state.deployment;
  if (test == ThresholdTest::LetMeChoose) {
    const auto seconds = ParseClockField(testPeriodText);
    if (!seconds || *seconds > 86400) {
      message.Show(Tr(state, "The test period is not a time (HH:mm:ss)."), MessageIcon::Exclamation);
      return false;
    }
    d.thresholdTestPeriod = ClockFromSeconds(*seconds);
  }
  if (!channels.empty())
    d.thresholdChannel = static_cast<unsigned>(channels[static_cast<size_t>(std::clamp<int>(selectedEntry, 0, static_cast<int>(channels.size()) - 1))]);
  char* end = nullptr;
  const double value = std::strtod(thresholdText.c_str(), &end);
  if (end == thresholdText.c_str() || !std::isfinite(value)) {
    message.Show(Tr(state, "The threshold is not a number."), MessageIcon::Exclamation);
    return false;
  }
  const int channel = ChannelOf(state);
  d.thresholdValue = RoundUpCents(value);
  d.thresholdRawLimit = ThresholdRawLimit(state.logger, channel);
  d.thresholdRaw = ThresholdToRaw(state.logger, state.calibration, d.thresholdValue, channel);
  bool acceptedLimit = false;
  const Confirm ask = [&state](const Question& q) {
    return state.ui.MessageBox(q.text, q.caption, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
           MessageAnswer::Yes;
  };
  if (!CheckThresholdLimits(state, acceptedLimit, ask)) {
    thresholdText = Format("%.2f", d.thresholdValue);
    // "Do you wish to accept this value?" answered Yes: the limit is the threshold.
    if (!acceptedLimit) return false;
  }
  if (hysteresisVisible && hysteresisChecked) {
    d.hysteresisEnabled = true;
    d.hysteresisSeconds = static_cast<unsigned>(std::max(0L, std::strtol(hysteresisText.c_str(), nullptr, 10)));
    CheckHysteresis(state);
    hysteresisText = Format("%u", d.hysteresisSeconds);
  } else {
    d.hysteresisEnabled = false;
    d.hysteresisSeconds = 0;
  }
  if (!CheckPowerSavingPeriod(state, message)) {
    test = ThresholdTest::LetMeChoose;
    testPeriodVisible = true;
    testPeriodText = ClockToText(d.thresholdTestPeriod);
    return false;
  }
  open = false;
  return true;
}

void ThresholdDialog::Discard(AppState& state) {
  DeploymentSettings& d = state.deployment;
  d.startMode = saved_.startMode;
  d.thresholdChannel = saved_.thresholdChannel;
  d.thresholdValue = saved_.thresholdValue;
  d.thresholdRaw = saved_.thresholdRaw;
  d.thresholdRawLimit = saved_.thresholdRawLimit;
  d.powerSaving = saved_.powerSaving;
  d.thresholdTestPeriod = saved_.thresholdTestPeriod;
  d.hysteresisEnabled = saved_.hysteresisEnabled;
  d.hysteresisSeconds = saved_.hysteresisSeconds;
  d.powerKeptOn = saved_.powerKeptOn;
  open = false;
}

}  // namespace tmv
