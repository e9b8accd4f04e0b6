#include "analysis/WaveAxes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/WaveWindow.h"

namespace tmv {
namespace {

// 1, 2 or 5 times a power of ten, the first not below `raw`.
double RoundStep(double raw) {
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw * (1 - 1e-9)) return m * power;
  return 10 * power;
}

PlotAxis Axis(double low, double high, std::string title) {
  PlotAxis a;
  if (!(high > low)) high = low + 1;
  a.minimum = low;
  a.maximum = high;
  a.title = std::move(title);
  a.ticks = RoundTicks(low, high);
  return a;
}

}  // namespace

std::vector<AxisTick> RoundTicks(double low, double high, int most) {
  std::vector<AxisTick> ticks;
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || most < 2) return ticks;
  // The finest round step that gives no more than `most` ticks.
  auto count = [&](double s) { return std::floor(high / s + 1e-9) - std::ceil(low / s - 1e-9) + 1; };
  double power = std::pow(10.0, std::floor(std::log10((high - low) / most)));
  double step = power;
  for (bool found = false; !found; power *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (!found && count(m * power) <= most) {
        step = m * power;
        found = true;
      }
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  const long first = std::lround(std::ceil(low / step - 1e-9)), last = std::lround(std::floor(high / step + 1e-9));
  for (long i = first; i <= last; ++i) {
    const double value = i == 0 ? 0.0 : static_cast<double>(i) * step;  // no "-0"
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    ticks.push_back({value, text});
  }
  return ticks;
}

WaveAxes WaveWindowAxes(const WaveWindowView& view) {
  WaveAxes axes;
  const double n = static_cast<double>(view.surface.size());
  // Line k lies at k times the rate over n: its first line gives the burst's length.
  const double lineSpacing = view.frequency.size() >= 2 ? view.frequency[1] - view.frequency[0] : 0.0;
  const double seconds = lineSpacing > 0 ? 1.0 / lineSpacing : n;
  axes.time = Axis(0.0, seconds, lineSpacing > 0 ? "Time into the burst [s]" : "Reading");
  const double crest = view.crestMax, trough = view.troughMin;
  if (crest > 0 && trough < 0) {
    const double a = std::max(crest, -trough);
    axes.elevation = Axis(-a, a, "Elevation [m]");
  } else {
    axes.elevation = Axis(trough, crest, "Elevation [m]");
  }
  const double top = view.frequency.empty() ? 1.0 : view.frequency.back();
  axes.frequency = Axis(0.0, top, "Frequency [Hz]");
  const double largest = view.amplitude.empty() ? 0.0 : *std::max_element(view.amplitude.begin(), view.amplitude.end());
  const double ceiling = largest > 0 ? RoundStep(largest / 5) * std::ceil(largest / RoundStep(largest / 5) - 1e-9) : 1.0;
  axes.amplitude = Axis(0.0, ceiling, "Amplitude [m]");
  return axes;
}

}  // namespace tmv
