#include "deployment/UsageEstimate.h"

#include <algorithm>

#include "deployment/DeploymentValidation.h"
#include "model/LoggerFamily.h"
#include "model/LoggerInfo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr const char* kPlain = "Estimates:\tmemory usage is %.1f%%\n\t\tbattery usage is %.0fmAH.";
constexpr const char* kExceeds =
    "Estimates:\tmemory usage is %.1f%%\n\t\tbattery usage is %.0fmAH.\n\tThis exceeds the nominal capacity.";
constexpr const char* kExceedsFourCells =
    "Estimates:\tmemory usage is %.1f%%\n\t\tbattery usage is %.0fmAH.\n\tThis exceeds the nominal capacity when "
    "using 4 C-cells in this logger.";
constexpr const char* kRs485 = "\n\t\t(battery usage with RS485 serial protocol is %.0fmAH)";
constexpr const char* kThresholding =
    "When set for thresholding, it is not possible to estimate the memory or battery usage";

float PeriodForEstimate(const DeploymentSettings& d) {
  if (d.sixHzMode) return 1.0f / 6.0f;
  return static_cast<float>(PeriodSeconds(d.samplingPeriod));
}

bool BurstSampling(const DeploymentSettings& d) {
  return d.waveEnabled && d.burstSamples > 0 && d.burstRate > 0 && ClockSeconds(d.burstPeriod) > 0;
}

void Describe(UsageEstimate& e, const char* format, int language) {
  e.text = Format(Tr(language, format).c_str(), static_cast<double>(e.memoryPercent), static_cast<double>(e.batteryMah));
  if (format != kPlain) {
    e.exceedsCapacity = true;
    e.icon = MessageIcon::Information;
  }
}

void AddRs485(UsageEstimate& e, const LoggerInfo& info, float extra, int language) {
  e.batteryRs485Mah = e.batteryMah;
  if (!info.externalDataConnector) return;
  e.batteryRs485Mah = e.batteryMah + extra;
  e.text += Format(Tr(language, kRs485).c_str(), static_cast<double>(e.batteryRs485Mah));
}

}  // namespace

bool UsesNewGenerationEstimate(const LoggerInfo& info) {
  return info.microchipLogger && (ModelContains(info.model, "3170") || ModelContains(info.model, "5170") ||
                                  ModelContains(info.model, "3180"));
}

float ChannelCurrentMa(const LoggerInfo& info) {
  int thermistors = 0;
  float current = 0.0f;
  const int channels = std::clamp(info.channelCount, 0, kMaxChannels);
  for (int i = 0; i < channels; ++i) {
    switch (info.channelTypes[static_cast<size_t>(i)]) {
      case 'T': ++thermistors; break;
      case 'P': case 'H': case 'M': case 'V': case 'D': case 'R': current += 1; break;
      case 'C': case 'S': current += 4; break;
      case 'L': current += 5; break;
      case 'F': case 'G': case 'Z': case 'f': case 'g': case 'z': current += 15; break;
      case 'I': case 'i': case 'N': current += 30; break;
      case 'Y': case 'y': current += 6; break;
      case 'J': case 'K': current += 100; break;
      default: current += 2; break;
    }
  }
  // Thermistor strings draw less than their thermistors one by one.
  if (thermistors == 24)
    current += 8;
  else if (thermistors >= 16)
    current += 8 + static_cast<float>(thermistors - 16);
  else if (thermistors >= 8)
    current += 7 + static_cast<float>(thermistors - 8);
  else
    current += static_cast<float>(thermistors);
  return current;
}

UsageEstimate EstimateNewGeneration(const DeploymentSettings& d, const LoggerInfo& info, int language) {
  UsageEstimate e;
  e.estimated = true;
  e.newGeneration = true;
  const float seconds = static_cast<float>(SecondsFrom(d.startTime, d.endTime));
  const float p = static_cast<float>(PeriodSeconds(d.samplingPeriod));
  const int64_t c = std::max(1, info.channelCount);
  const int64_t block = info.parameterBlockLength > 0 ? info.parameterBlockLength : 30;
  const int64_t memory = 8'380'416 - block;
  const bool bursts = BurstSampling(d);
  const int64_t b = bursts ? ClockSeconds(d.burstPeriod) : 0;
  const int64_t pWhole = PeriodSeconds(d.samplingPeriod);
  float capacityTime;
  if (!bursts) {
    capacityTime = static_cast<float>(memory / (c * 3)) * p;
  } else {
    const int64_t perBurst = (b / pWhole) * 6 + 24 + static_cast<int64_t>(d.burstSamples) * 3;
    capacityTime = static_cast<float>(memory / perBurst) * static_cast<float>(b);
  }
  e.memoryPercent = capacityTime > 0.0f ? seconds * 100.0f / capacityTime : 0.0f;

  const bool model3180 = ModelContains(info.model, "3180");
  const float samples = static_cast<float>(static_cast<int64_t>(seconds / p));
  const float bursts_ = bursts ? static_cast<float>(static_cast<int64_t>(seconds / static_cast<float>(b))) : 0.0f;
  const float burstDuration = bursts ? static_cast<float>(d.burstSamples / d.burstRate) : 0.0f;
  float charge = seconds * (model3180 ? 0.00002f : 0.00003f);
  if (bursts) charge += bursts_ * ((static_cast<float>(d.burstSamples) * 0.00034f) / 2.0f + burstDuration * 0.0008f);
  if (!d.averagingEnabled && bursts_ < samples) {
    float each = 0.00135f;
    if (model3180)
      each = info.latencyMs == 120 ? (info.memoryTypeCode < 4 ? 0.00129f : 0.000924f) : 0.00163f;
    else if (info.latencyMs == 120)
      each = 0.00112f;
    charge += (samples - bursts_) * each;
  }
  if (d.averagingEnabled) {
    const float averaging = static_cast<float>(d.averagingPeriod);
    const float perSample = averaging * 0.0008f + 0.00034f;
    if (!bursts) {
      charge += perSample * samples;
    } else {
      charge += perSample * (samples - bursts_);
      if (averaging > burstDuration) charge += bursts_ * 0.0008f * (averaging - burstDuration);
    }
  }
  e.batteryMah = charge * 0.2777778f;
  if (ModelContains(info.model, "-YE")) {
    Describe(e, e.batteryMah <= 4000.0f ? kPlain : (e.batteryMah <= 8000.0f ? kExceedsFourCells : kExceeds), language);
  } else {
    Describe(e, e.batteryMah <= 1000.0f ? kPlain : kExceeds, language);
  }
  AddRs485(e, info, seconds * 0.00069444446f, language);
  return e;
}

UsageEstimate EstimateUsage(const DeploymentSettings& d, const LoggerInfo& info, int language) {
  if (d.startMode == kStartAbove || d.startMode == kStartBelow) {
    UsageEstimate e;
    e.text = Tr(language, kThresholding);
    return e;
  }
  if (UsesNewGenerationEstimate(info)) return EstimateNewGeneration(d, info, language);

  UsageEstimate e;
  e.estimated = true;
  const float seconds = static_cast<float>(SecondsFrom(d.startTime, d.endTime));
  const int family = ModelContains(info.model, "3170") ? 0 : (ModelContains(info.model, "5170") ? 1 : 2);
  const float p = PeriodForEstimate(d);
  const float samples = static_cast<float>(static_cast<int64_t>(seconds / p));
  const float maxSamples = static_cast<float>(MaximumSamples(info));
  e.memoryPercent = seconds * 100.0f / (maxSamples * p);
  float current = family == 0 ? 12.0f : 5.0f;
  if (family == 2) current += ChannelCurrentMa(info);
  float charge;
  if (!d.powerKeptOn && !d.sixHzMode) {
    float onTime = static_cast<float>(info.latencyMs + info.readingTimeMs);
    if (d.averagingEnabled) onTime += static_cast<float>(d.averagingPeriod) * 1000.0f;
    charge = seconds * 0.03f + samples * (onTime * current) / 1000.0f;
  } else {
    charge = seconds * current;
  }
  e.batteryMah = charge / 3600.0f;
  Describe(e, e.batteryMah <= 1000.0f ? kPlain : kExceeds, language);
  AddRs485(e, info, seconds / (family == 2 && info.microchipLogger ? 2880.0f : 1440.0f), language);
  return e;
}

UsageEstimate EstimateUsage(AppState& state, SetupPanel& panel) {
  UsageEstimate e = EstimateUsage(state.deployment, state.logger, state.shell.language);
  panel.message.Show(e.text, e.icon);
  return e;
}

}  // namespace tmv
