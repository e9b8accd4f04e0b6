// Real-time collection from an emulated tide-and-wave recorder that samples
// wave bursts: the burst pairs on the line fill the DataSet's bursts, which
// the wave analysis takes, and the timed rows come through as without bursts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/WaveAnalysis.h"
#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/Capabilities.h"
#include "retrieval/RealTime.h"
#include "support/EmulatedRig.h"
#include "support/RealTimeDeployment.h"

namespace tmv {
namespace {

constexpr int kBurstReadings = 512;  // at 4 Hz: 128 s of waves

struct WaveRig : test::EmulatedRig {
  WaveRig() : test::EmulatedRig("KZM-5170") {
    char pattern[] = "/tmp/tmv-rtwave-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "";
    state.directories.work = dir;
    // Real-time output is an OEM feature; this recorder is given it.
    profile().capabilities[0] |= 1u << 15;
    EXPECT_EQ(ConnectLogger(state), 1);
    AssessCapabilities(state);
    EXPECT_EQ(CommGet(state, 16), 1);
    EXPECT_EQ(ReadCalibration(state), 1);
    emulator.OnRealTimeRecord([this](const std::string& record, bool) {
      const std::string tag = record.substr(3, 3);
      if (tag == "TIM") ++timedSent;
      else if (tag == "BST") ++burstsSent;
      else if (tag == "SEQ") ++pairsSent;
    });
  }
  ~WaveRig() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }

  // Rows every minute and a burst every ten, real-time output on, from now.
  void EnableWaves() {
    DeploymentSettings& d = state.deployment;
    d.loggerClock = emulator.ClockAt(clock.Milliseconds());
    d.startMode = kStartNow;
    d.endTime = AddSeconds(d.loggerClock, 86400);
    d.endTime.second = 0;
    d.endTime.milliseconds = 0;
    d.samplingPeriod = MakeClock(0, 1, 0);
    d.averagingEnabled = false;
    d.averagingPeriod = 0;
    d.waveEnabled = true;
    d.burstRate = 4;
    d.burstSamples = kBurstReadings;
    d.burstPeriod = MakeClock(0, 10, 0);
    d.loggerHeight = 0.5;
    d.realTimeOutput = 1;
    RecomputeRealTimeBaud(state);
    EnableRun run;
    ASSERT_EQ(test::EraseAndEnable(state, clock, run), 1);
  }

  // Ticks until the logger has sent `bursts` whole bursts, then ten seconds
  // more for the line to drain (a read that finds nothing waits its time-out
  // on the virtual clock too).
  void CollectBursts(int bursts) {
    const int64_t limit = clock.Milliseconds() + 3600LL * 1000 * bursts;
    while (clock.Milliseconds() < limit && (burstsSent < bursts || pairsSent < bursts * (kBurstReadings / 2 - 1))) {
      clock.Advance(state.realTime.tickPeriodMs);
      RealTimeTick(state);
    }
    for (const int64_t until = clock.Milliseconds() + 10000; clock.Milliseconds() < until;) {
      clock.Advance(state.realTime.tickPeriodMs);
      RealTimeTick(state);
    }
  }

  std::string dir;
  int timedSent = 0, burstsSent = 0, pairsSent = 0;
};

TEST(RealTimeWaveBursts, BurstPairsFillTheBurstsTheWaveAnalysisTakesAndTimedRowsStayWhole) {
  WaveRig rig;
  ASSERT_NO_FATAL_FAILURE(rig.EnableWaves());
  InstallWaveAnalysis(rig.state);
  rig.state.settings.derived.depthEnabled = true;  // tide-and-wave data is read with depth
  rig.state.realTime.filePath = rig.dir + "/waves.hex";
  ASSERT_EQ(StartRealTime(rig.state), 1);
  // Three bursts, at the start and ten and twenty minutes on.
  rig.CollectBursts(3);
  EXPECT_EQ(rig.burstsSent, 3);
  EXPECT_EQ(rig.pairsSent, 3 * (kBurstReadings / 2 - 1));
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.burstCount, 2);
  ASSERT_EQ(d.burstStartTimes.size(), 3u);
  EXPECT_EQ(d.burstLength, kBurstReadings);
  // Ten minutes apart, on the logger's clock.
  EXPECT_EQ(static_cast<int64_t>(ToTicks(d.burstStartTimes[1])) - static_cast<int64_t>(ToTicks(d.burstStartTimes[0])), 600LL * 10000000);
  for (int b = 0; b < 3; ++b) {
    const float* burst = d.Burst(b);
    float low = burst[0], high = burst[0];
    for (int i = 0; i < kBurstReadings; ++i) {
      ASSERT_TRUE(std::isfinite(burst[i])) << "burst " << b << " reading " << i;
      low = std::min(low, burst[i]);
      high = std::max(high, burst[i]);
    }
    // Pressure in dBar of a logger some metres down, moving with the waves.
    EXPECT_GT(low, 1.0f) << "burst " << b;
    EXPECT_GT(high - low, 0.01f) << "burst " << b;
  }
  const WaveStore* store = WaveResults(rig.state);
  ASSERT_NE(store, nullptr);
  ASSERT_GE(store->results.size(), 3u);
  for (int b = 0; b < 3; ++b) {
    const WaveResult& w = store->results[static_cast<size_t>(b)];
    EXPECT_EQ(w.status, kWaveGood) << "burst " << b;
    EXPECT_GT(w.meanDepth, 1.0f) << "burst " << b;
    EXPECT_GT(w.hThird, 0.0f) << "burst " << b;
    EXPECT_GT(w.tThird, 0.0f) << "burst " << b;
  }

  // Every timed row came through once, a minute apart, bursts or not.
  EXPECT_EQ(d.sampleCount, rig.timedSent);
  EXPECT_GE(d.sampleCount, 20);  // a row a minute until the last burst began
  for (int row = 1; row < d.sampleCount; ++row)
    EXPECT_EQ(static_cast<int64_t>(ToTicks(SampleTime(d, row))) - static_cast<int64_t>(ToTicks(SampleTime(d, row - 1))), 60LL * 10000000) << "row " << row;
  EXPECT_EQ(rig.state.realTime.counters.badChecksums, 0u);

  // The HEX file reads back with the same rows and bursts.
  const int rows = d.sampleCount;
  std::vector<std::vector<float>> bursts;
  for (int b = 0; b < 3; ++b) bursts.emplace_back(d.Burst(b), d.Burst(b) + kBurstReadings);
  ASSERT_EQ(EndRealTime(rig.state), Outcome::Done());
  const DataSet& back = rig.state.retrieval.data;
  EXPECT_EQ(back.sampleCount, rows);
  ASSERT_EQ(back.burstCount, 2);
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < kBurstReadings; ++i)
      ASSERT_NEAR(back.Burst(b)[i], bursts[static_cast<size_t>(b)][static_cast<size_t>(i)], 1e-4f) << "burst " << b << " reading " << i;
}

}  // namespace
}  // namespace tmv
