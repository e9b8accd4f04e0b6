#pragma once
// The axes of the wave window's two drawings: the rebuilt surface against
// the time into the burst, and its amplitude spectrum against frequency,
// each with ticks at round values and the unit in its title.
#include <string>
#include <vector>

namespace tmv {

struct WaveWindowView;

struct AxisTick {
  double value = 0;
  std::string label;
};

struct PlotAxis {
  double minimum = 0;
  double maximum = 1;
  std::string title;  // with the unit: "Elevation [m]"
  std::vector<AxisTick> ticks;
};

// Ticks at 1, 2 or 5 times a power of ten, about `most` of them, inside
// [low, high]; labels with no more decimals than the step needs.
std::vector<AxisTick> RoundTicks(double low, double high, int most = 6);

struct WaveAxes {
  PlotAxis time;       // s, 0 to the burst's length
  PlotAxis elevation;  // m, as the trace is scaled: about zero when it has crests and troughs
  PlotAxis frequency;  // Hz, 0 to half the sampling rate
  PlotAxis amplitude;  // m, 0 to a round value above the largest line
};

WaveAxes WaveWindowAxes(const WaveWindowView& view);

}  // namespace tmv
