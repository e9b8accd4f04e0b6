// The axes of the wave window: round ticks (1, 2 or 5 times a power of
// ten) over the ranges its drawings are scaled to, titles with units.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/WaveAxes.h"
#include "analysis/WaveWindow.h"

namespace tmv {
namespace {

std::vector<std::string> Labels(const std::vector<AxisTick>& ticks) {
  std::vector<std::string> out;
  for (const AxisTick& t : ticks) out.push_back(t.label);
  return out;
}

TEST(WaveAxes, RoundTicksWithTheDigitsTheirStepNeeds) {
  EXPECT_EQ(Labels(RoundTicks(0, 512)), (std::vector<std::string>{"0", "100", "200", "300", "400", "500"}));
  EXPECT_EQ(Labels(RoundTicks(-0.73, 0.73)), (std::vector<std::string>{"-0.5", "0.0", "0.5"}));
  EXPECT_EQ(Labels(RoundTicks(0, 2)), (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5", "2.0"}));
  EXPECT_EQ(Labels(RoundTicks(0.0012, 0.0049)), (std::vector<std::string>{"0.002", "0.003", "0.004"}));
  EXPECT_TRUE(RoundTicks(1, 1).empty());
  EXPECT_TRUE(RoundTicks(0, NAN).empty());
}

// A burst of 2048 readings at 4 Hz: 512 s long, lines up to 2 Hz.
TEST(WaveAxes, TheBurstsTimeAndFrequencyRangesWithTheirUnits) {
  WaveWindowView view;
  view.shown = true;
  view.surface.assign(2048, 0.0f);
  view.crestMax = 0.8f;
  view.troughMin = -0.6f;
  for (int k = 0; k <= 1024; ++k) {
    view.frequency.push_back(4.0 * k / 2048);
    view.amplitude.push_back(k == 100 ? 0.37 : 0.01);
  }
  const WaveAxes axes = WaveWindowAxes(view);
  EXPECT_EQ(axes.time.title, "Time into the burst [s]");
  EXPECT_DOUBLE_EQ(axes.time.maximum, 512.0);
  EXPECT_EQ(axes.elevation.title, "Elevation [m]");
  // About zero, as the trace is drawn when it has crests and troughs.
  EXPECT_FLOAT_EQ(axes.elevation.minimum, -0.8f);
  EXPECT_FLOAT_EQ(axes.elevation.maximum, 0.8f);
  EXPECT_EQ(axes.frequency.title, "Frequency [Hz]");
  EXPECT_DOUBLE_EQ(axes.frequency.maximum, 2.0);
  EXPECT_EQ(axes.amplitude.title, "Amplitude [m]");
  EXPECT_GE(axes.amplitude.maximum, 0.37);
  EXPECT_LE(axes.amplitude.maximum, 0.5);
}

}  // namespace
}  // namespace tmv
