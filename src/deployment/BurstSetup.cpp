#include "deployment/BurstSetup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "deployment/UsageEstimate.h"
#include "link/Exchange.h"
#include "model/LoggerInfo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

double WaveCutoffFrequency(double depth, double loggerDepth) {
  constexpr double kTwoPi = 6.283185307179464;
  constexpr double kGravity = 9.780318;
  const double wavelength = loggerDepth / 0.3;
  const double k = kTwoPi / wavelength;
  const double omega = std::sqrt(kGravity * k * std::tanh(k * depth));
  return 1.0 / (kTwoPi / omega);
}

void AdjustBurstPeriod(AppState& state, int step) {
  DeploymentSettings& d = state.deployment;
  const int64_t q0 = std::max(1, d.previousTidePeriodSeconds);
  int64_t b = ClockSeconds(d.burstPeriod);
  int64_t q = std::max<int64_t>(1, ClockSeconds(d.samplingPeriod));
  const int64_t n = b / q0;
  if (d.waveEnabled && d.burstRate > 0) {
    const int64_t duration = d.burstSamples / d.burstRate;
    // Four readings to a burst is the most allowed; a tide period already
    // fitted to that passes the test again, so only a change is said.
    const int64_t fitted = std::max<int64_t>(1, duration / 4);
    if (duration / q > 3 && fitted != q) {
      q = fitted;
      d.samplingPeriod = ClockFromSeconds(q);
      state.ui.MessageBox(Tr(state, "The KZM-5170 allows for a maximum of 4 tide readings to be taken during a wave "
                                    "burst.\nThe 'Sample Period for Tide' has been modified using this criterion."),
                          Tr(state, "Time to complete Burst and Sample Period for Tide mismatch"), MessageButtons::Ok,
                          MessageIcon::Exclamation, MessageAnswer::Ok);
    }
  }
  d.previousTidePeriodSeconds = static_cast<int>(q);
  // Without waves the burst period stays 00:00:00, as the logger is sent it.
  if (!d.waveEnabled) return;
  const int64_t longest = q * (86400 / q);
  if (step == kTidePeriodChanged)
    b = n * q;
  else if (step != 0)
    b -= static_cast<int64_t>(step) * q;
  if (b <= q)
    b = q;
  else if (b <= longest)
    b = (b + q - 1) / q * q;
  else
    b = longest;
  d.burstPeriod = ClockFromSeconds(b);
}

int CheckWaveSetup(AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  if (!panel.simulation && CommGet(state, 1)) d.loggerClock = ParseTimeReply(state.reply.Bytes());
  const int code = ValidateDeployment(state, panel, true);
  if (code != kDeploymentValid) return code;
  const UsageEstimate estimate = EstimateNewGeneration(d, state.logger, state.shell.language);
  panel.message.Show(estimate.text, estimate.icon);
  auto fail = [&](const char* text, int result) {
    panel.message.Show(Tr(state, text), MessageIcon::Exclamation);
    panel.enableAllowed = false;
    return result;
  };
  if (!d.waveEnabled || d.burstSamples == 0) {
    panel.message.Show(Tr(state, "The wave sampling has not been selected."), MessageIcon::Information);
    panel.bandwidthText.clear();
    return kDeploymentValid;
  }
  if (d.burstRate == 0) return fail("The wave sampling rate has not been set.", kWaveSetupError);
  if (d.meanWaterDepth <= 0) return fail("The value for the mean depth of water is zero or negative.", kWaveSetupError);
  if (d.loggerHeight < 0) return fail("The value for the height of logger is negative.", kWaveSetupError);
  const double z = d.meanWaterDepth - d.loggerHeight;
  if (z <= 0)
    return fail("Values for the mean depth of water and the height of logger place the logger at or above the water "
                "surface.",
                kWaveSetupError);
  const int64_t b = ClockSeconds(d.burstPeriod);
  const int64_t q = PeriodSeconds(d.samplingPeriod);
  if (b < d.burstSamples / d.burstRate)
    return fail("Time to take wave burst is longer than wave period.", kWaveSetupError);
  const double low = static_cast<double>(d.burstRate) / d.burstSamples;
  const double high = WaveCutoffFrequency(d.meanWaterDepth, z);
  panel.bandwidthText =
      Format(Tr(state, "Wave analysis bandwidth: %.4f to %.4f (Hz) - Wave periods %.2f to %.2f (secs)").c_str(), low,
             high, 1.0 / high, 1.0 / low);
  if (d.averagingEnabled && d.averagingPeriod > q)
    return fail("Error: Averaging Period greater than Sampling Period.", kSamplingShorterThanAveraging);
  if (b < q) return fail("Error: Burst Period less than Sampling Period.", kBurstShorterThanTide);
  if (b < (d.burstSamples + d.burstRate - 1) / d.burstRate)
    return fail("Error: Burst Period is too short for the specified Burst Length and Rate.", kBurstTooShort);
  if (estimate.memoryPercent > 100.0f)
    return fail("You must adjust the deployment parameters to reduce the memory usage to less than or equal to 100%.",
                kWaveSetupError);
  if (estimate.batteryMah > 1300.0f)
    panel.message.Show(Tr(state, "Note: the estimated battery usage is greater than the nominal 1300mAH capacity of "
                                 "the batteries."),
                       MessageIcon::Information);
  return kDeploymentValid;
}

std::string BurstRateText(const DeploymentSettings& d) {
  return d.burstRate > 0 ? Format("%3dHz", d.burstRate) : std::string("Not set");
}

std::string WaveSettingsText(const DeploymentSettings& d) {
  if (!d.waveEnabled || d.burstSamples == 0) return "Burst mode not selected";
  return Format("%d samples every %s", d.burstSamples, ClockToText(d.burstPeriod).c_str());
}

std::string TideAveragingText(const DeploymentSettings& d) {
  if (!d.averagingEnabled) return "Averaging not selected";
  return Format("Averaging over %s", ClockToText(ClockFromSeconds(std::clamp(d.averagingPeriod, 1, 86400))).c_str());
}

// ---- The dialog ----

void BurstDialog::ShowLabels(const AppState& state) {
  const int rate = state.deployment.burstRate;
  samplesAtLabel = Format("samples @ %dHz", rate);
  atLabel = Format("@ %dHz", rate);
}

void BurstDialog::Open(AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  saved_ = d;
  open = true;
  spinMeter_.emplace(state.clock);
  if (ClockSeconds(d.samplingPeriod) == 0) d.samplingPeriod = MakeClock(0, 0, 1);
  if (d.averagingPeriod <= 0) d.averagingPeriod = 1;
  tidePeriodText = ClockToText(d.samplingPeriod);
  averagingText = ClockToText(ClockFromSeconds(std::min(d.averagingPeriod, 86400)));
  averagingBoxEnabled = state.logger.averaging != 0;
  if (!averagingBoxEnabled) d.averagingEnabled = false;
  averagingChecked = d.averagingEnabled;
  averagingFieldEnabled = averagingChecked;
  waveChecked = d.waveEnabled;
  burstFieldsEnabled = waveChecked;
  rateListEnabled = averagingChecked || waveChecked;
  rateIndex = 0;
  for (int i = 0; i < 3; ++i)
    if (kRates[i] == d.burstRate) rateIndex = i;
  lengthIndex = 0;
  for (int i = 0; i < 4; ++i)
    if (kLengths[i] == d.burstSamples) lengthIndex = i;
  ShowLabels(state);
  depthText = Format("%.2f", d.meanWaterDepth);
  heightText = Format("%.2f", d.loggerHeight);
  AdjustBurstPeriod(state, 0);
  tidePeriodText = ClockToText(d.samplingPeriod);
  burstPeriodText = Format("%2d:%02d:%02d", d.burstPeriod.hour, d.burstPeriod.minute, d.burstPeriod.second);
  times.Fill(state);
  Check(state, panel);
}

void BurstDialog::SelectRate(AppState& state, SetupPanel& panel, int index) {
  rateIndex = std::clamp(index, 0, 2);
  state.deployment.burstRate = kRates[rateIndex];
  samplesAtLabel = "samples @ " + rateLabels[static_cast<size_t>(rateIndex)];
  atLabel = "@ " + rateLabels[static_cast<size_t>(rateIndex)];
  AdjustBurstPeriod(state, kTidePeriodChanged);
  tidePeriodText = ClockToText(state.deployment.samplingPeriod);
  burstPeriodText = ClockToText(state.deployment.burstPeriod);
  Check(state, panel);
}

void BurstDialog::SelectLength(AppState& state, SetupPanel& panel, int index) {
  lengthIndex = std::clamp(index, 0, 3);
  state.deployment.burstSamples = kLengths[lengthIndex];
  AdjustBurstPeriod(state, kTidePeriodChanged);
  tidePeriodText = ClockToText(state.deployment.samplingPeriod);
  burstPeriodText = ClockToText(state.deployment.burstPeriod);
  Check(state, panel);
}

bool BurstDialog::SetTidePeriodText(AppState& state, SetupPanel& panel, const std::string& text) {
  const auto seconds = ParseClockField(text);
  if (!seconds || *seconds > 86400) return false;
  state.deployment.samplingPeriod = ClockFromSeconds(std::max<int64_t>(1, *seconds));
  AdjustBurstPeriod(state, kTidePeriodChanged);
  tidePeriodText = ClockToText(state.deployment.samplingPeriod);
  burstPeriodText = ClockToText(state.deployment.burstPeriod);
  Check(state, panel);
  return true;
}

bool BurstDialog::SetAveragingText(AppState& state, SetupPanel& panel, const std::string& text) {
  const auto seconds = ParseClockField(text);
  if (!seconds || *seconds > 86400) return false;
  state.deployment.averagingPeriod = static_cast<int>(std::max<int64_t>(1, *seconds));
  averagingText = ClockToText(ClockFromSeconds(state.deployment.averagingPeriod));
  Check(state, panel);
  return true;
}

bool BurstDialog::SetBurstPeriodText(AppState& state, SetupPanel& panel, const std::string& text) {
  if (!waveChecked) return false;
  const auto seconds = ParseClockField(text);
  if (!seconds || *seconds > 86400) return false;
  // Kept a whole number of tide periods, at most a day, as the arrows keep it.
  state.deployment.burstPeriod = ClockFromSeconds(*seconds);
  AdjustBurstPeriod(state, 0);
  burstPeriodText = ClockToText(state.deployment.burstPeriod);
  Check(state, panel);
  return true;
}

void BurstDialog::SpinBurstPeriod(AppState& state, SetupPanel& panel, int direction) {
  if (!waveChecked || direction == 0) return;
  // Held down, the control moves six tide periods at a time.
  const int steps = spinMeter_ && spinMeter_->MillisecondsSinceLastCall() < 150 ? 6 : 1;
  AdjustBurstPeriod(state, direction > 0 ? -steps : steps);
  burstPeriodText = ClockToText(state.deployment.burstPeriod);
  Check(state, panel);
}

namespace {
std::optional<double> ParseNumber(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(v)) return std::nullopt;
  return v;
}
}  // namespace

void BurstDialog::SetDepthText(AppState& state, SetupPanel& panel, const std::string& text) {
  depthText = text;
  if (const auto v = ParseNumber(text)) state.deployment.meanWaterDepth = *v;
  Check(state, panel);
}

void BurstDialog::SetHeightText(AppState& state, SetupPanel& panel, const std::string& text) {
  heightText = text;
  if (const auto v = ParseNumber(text)) state.deployment.loggerHeight = *v;
  Check(state, panel);
}

void BurstDialog::SetAveragingEnabled(AppState& state, SetupPanel& panel, bool checked) {
  if (!averagingBoxEnabled) return;
  averagingChecked = checked;
  averagingFieldEnabled = checked;
  rateListEnabled = averagingChecked || waveChecked;
  state.deployment.averagingEnabled = checked;
  Check(state, panel);
}

void BurstDialog::SetWaveEnabled(AppState& state, SetupPanel& panel, bool checked) {
  DeploymentSettings& d = state.deployment;
  waveChecked = checked;
  burstFieldsEnabled = checked;
  rateListEnabled = averagingChecked || waveChecked;
  d.waveEnabled = checked;
  if (!checked) {
    d.burstPeriod = MakeClock(0, 0, 0);
  } else {
    if (d.burstSamples == 0) d.burstSamples = kLengths[lengthIndex];
    if (const auto seconds = ParseClockField(burstPeriodText)) d.burstPeriod = ClockFromSeconds(*seconds);
    AdjustBurstPeriod(state, 0);
    burstPeriodText = ClockToText(d.burstPeriod);
  }
  Check(state, panel);
}

bool BurstDialog::Accept(AppState& state, SetupPanel& panel) {
  DeploymentSettings& d = state.deployment;
  times.Take(state);
  if (const auto seconds = ParseClockField(averagingText)) d.averagingPeriod = static_cast<int>(std::max<int64_t>(1, *seconds));
  if (d.waveEnabled)
    if (const auto seconds = ParseClockField(burstPeriodText)) d.burstPeriod = ClockFromSeconds(*seconds);
  Check(state, panel);
  if (lastCheck != kDeploymentValid) return false;
  open = false;
  return true;
}

void BurstDialog::Discard(AppState& state) {
  DeploymentSettings& d = state.deployment;
  d.startTime = saved_.startTime;
  d.endTime = saved_.endTime;
  d.startMode = saved_.startMode;
  d.samplingPeriod = saved_.samplingPeriod;
  d.burstPeriod = saved_.burstPeriod;
  d.averagingEnabled = saved_.averagingEnabled;
  d.averagingPeriod = saved_.averagingPeriod;
  d.waveEnabled = saved_.waveEnabled;
  d.burstRate = saved_.burstRate;
  d.burstSamples = saved_.burstSamples;
  d.meanWaterDepth = saved_.meanWaterDepth;
  d.loggerHeight = saved_.loggerHeight;
  d.previousTidePeriodSeconds = saved_.previousTidePeriodSeconds;
  open = false;
}

}  // namespace tmv
