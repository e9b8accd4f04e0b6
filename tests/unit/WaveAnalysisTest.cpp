// The wave analysis against sea states made by hand: a wrong pressure
// response, taper or crossing count gives a wave climate off by tens of
// percent that nobody notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "analysis/WaveAnalysis.h"
#include "deployment/BurstSetup.h"
#include "support/PythonReference.h"

namespace tmv::test {
namespace {

// k from w^2 = g k tanh(k h) by bisection: not the analysis' iteration.
double DispersionWaveNumber(double h, double period) {
  const double w = 2.0 * M_PI / period;
  double lo = 1e-9, hi = 100.0;
  for (int i = 0; i < 200; ++i) {
    const double k = (lo + hi) / 2;
    if (kWaveGravity * k * std::tanh(k * h) < w * w) lo = k; else hi = k;
  }
  return (lo + hi) / 2;
}

struct Component {
  double height;  // crest to trough [m]
  double period;  // [s]
  double phase;
};

// Depth readings of a logger z above the bed under a sea of components in
// water of mean depth h: each surface wave reaches the logger attenuated by
// cosh(k z) / cosh(k h).
std::vector<float> DepthBurst(int n, int fs, double h, double z, const std::vector<Component>& sea, double trend = 0.0) {
  std::vector<float> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / fs;
    double v = (h - z) + trend * i;
    for (const Component& c : sea) {
      const double k = DispersionWaveNumber(h, c.period);
      v += c.height / 2 * std::cosh(k * z) / std::cosh(k * h) * std::cos(2 * M_PI * t / c.period + c.phase);
    }
    x[static_cast<size_t>(i)] = static_cast<float>(v);
  }
  return x;
}

WaveParameters DepthReadings(int fs, double z) {
  WaveParameters p;
  p.sampleRate = fs;
  p.loggerHeight = z;
  p.readingsAreDepth = true;
  return p;
}

double SignificantHeight(const std::vector<Component>& sea) {
  double variance = 0;
  for (const Component& c : sea) variance += c.height * c.height / 8;
  return 4 * std::sqrt(variance);
}

TEST(WaveNumberTest, SolvesTheDispersionRelationInShallowAndDeepWater) {
  for (double h : {1.0, 5.0, 10.0, 40.0, 200.0})
    for (double period : {2.0, 5.0, 10.0, 16.0}) {
      const double k = DispersionWaveNumber(h, period);
      EXPECT_NEAR(WaveNumber(h, period), k, 1e-5 * k + 1e-7) << h << " m, " << period << " s";
    }
}

TEST(WaveNumberTest, NonsenseDepthOrPeriodGivesZeroInsteadOfHanging) {
  EXPECT_EQ(WaveNumber(0.0, 10.0), 0.0);
  EXPECT_EQ(WaveNumber(-3.0, 10.0), 0.0);
  EXPECT_EQ(WaveNumber(10.0, 0.0), 0.0);
  EXPECT_EQ(WaveNumber(std::numeric_limits<double>::quiet_NaN(), 10.0), 0.0);
}

TEST(WaveTaperTest, NormMakesUpForTheVarianceTheTaperTakes) {
  // 96 tapered readings of 1024: the squares of the 48 weights of each end
  // sum to 12 - 1/2 + 6 = 17.5, so G = sqrt(1024 / (928 + 2 * 17.5)) = 1.0312
  // (counting one end only gave 1.0407, the variance 1.9 % high).
  double sum = 0;
  for (int j = 0; j < kTaperLength / 2; ++j) sum += TaperWeight(j) * TaperWeight(j);
  EXPECT_NEAR(sum, 17.5, 1e-9);
  EXPECT_NEAR(TaperNorm(1024), std::sqrt(1024.0 / 963.0), 1e-12);
  // The tapered series times G has the variance of the untapered one.
  std::vector<double> x(1024);
  double plain = 0, tapered = 0;
  for (int i = 0; i < 1024; ++i) {
    x[static_cast<size_t>(i)] = std::sin(0.37 * i) + 0.5 * std::cos(1.3 * i);
    const int j = std::min(i, 1023 - i);
    const double w = j < kTaperLength / 2 ? TaperWeight(j) : 1.0;
    plain += x[static_cast<size_t>(i)] * x[static_cast<size_t>(i)];
    tapered += w * w * x[static_cast<size_t>(i)] * x[static_cast<size_t>(i)];
  }
  EXPECT_NEAR(TaperNorm(1024) * TaperNorm(1024) * tapered / plain, 1.0, 0.005);
  EXPECT_EQ(TaperWeight(0), 0.0);
  EXPECT_NEAR(TaperWeight(24), 0.5, 1e-12);
}

TEST(WaveAnalysisTest, SwellAndWindSeaComeBackAfterThePressureResponseCorrection) {
  // The surface's 4 sqrt(variance) within 2 % (the taper norm applied on
  // top of undoing the taper would make it 4 % high) and the swell's
  // period within 1 %.
  const int n = 1024, fs = 2;
  const double h = 10.0, z = 1.0;
  const std::vector<Component> sea{{0.8, 10.0, 0.3}, {0.5, 5.0, 1.1}};
  const std::vector<float> burst = DepthBurst(n, fs, h, z, sea, 0.0004);
  WaveAnalyser analyser;
  WaveResult r;
  std::vector<float> surface(n);
  analyser.Analyse(burst.data(), n, DepthReadings(fs, z), r, surface.data());
  EXPECT_EQ(r.status, kWaveGood);
  EXPECT_NEAR(r.meanDepth, h - z + 0.0004 * (n / 2), 0.01);
  EXPECT_NEAR(r.hThird, SignificantHeight(sea), 0.02 * SignificantHeight(sea));
  EXPECT_NEAR(1.0 / r.peakFrequency, 10.0, 0.1);
  EXPECT_NEAR(r.cutoffFrequency, WaveCutoffFrequency(h, h - z), 0.01);
  EXPECT_NEAR(r.energy, r.variance * 9.80665 * 1.0281 * 1000, 0.01 * r.energy);
  // The rebuilt surface reaches the true surface's crest and trough, 0.63
  // and -0.42 m (the end spikes of undoing the taper once passed for a
  // trough of -0.65, the sum of the amplitudes).
  EXPECT_NEAR(r.crestMax, 0.63, 0.08);
  EXPECT_NEAR(r.troughMin, -0.42, 0.08);
  EXPECT_GT(r.hMax, 1.1f);
  EXPECT_NEAR(r.tAvg, 10.0, 1.0);  // the wind sea rides on the swell without crossing zero
}

TEST(WaveAnalysisTest, OneSinusoidGivesItsHeightAndPeriodAtEveryBurstLength) {
  for (int n : {512, 2048, 4096, 8192}) {
    const int fs = 4;
    const double h = 12.0, z = 2.0;
    const std::vector<Component> sea{{1.2, 8.0, 0.0}};
    const std::vector<float> burst = DepthBurst(n, fs, h, z, sea);
    WaveAnalyser analyser;
    WaveResult r;
    std::vector<float> surface(static_cast<size_t>(n));
    analyser.Analyse(burst.data(), n, DepthReadings(fs, z), r, surface.data());
    EXPECT_EQ(r.status, kWaveGood) << n;
    EXPECT_NEAR(r.hThird, SignificantHeight(sea), 0.02 * SignificantHeight(sea)) << n;
    EXPECT_NEAR(1.0 / r.peakFrequency, 8.0, 0.08 + 8.0 * 8.0 * fs / n) << n;
    EXPECT_NEAR(r.tAvg, 8.0, 0.25) << n;
    // The highest zero-crossing wave is the sinusoid's, the ends of the
    // burst included (undoing the taper there once made it up to a tenth high).
    EXPECT_NEAR(r.hMax, 1.2, 0.03 * 1.2) << n;
  }
}

// A sea state of a few components: the true surface [m] and the depth
// readings of a logger z above the bed in water of mean depth h.
struct SeaState {
  int n, fs;
  double h, z;
  std::vector<Component> sea;
};
void Synthesise(const SeaState& st, std::vector<double>& eta, std::vector<float>& depth) {
  std::vector<double> attenuation;
  for (const Component& c : st.sea) {
    const double k = DispersionWaveNumber(st.h, c.period);
    attenuation.push_back(std::cosh(k * st.z) / std::cosh(k * st.h));
  }
  eta.assign(static_cast<size_t>(st.n), 0.0);
  depth.assign(static_cast<size_t>(st.n), 0.0f);
  for (int i = 0; i < st.n; ++i) {
    double surface = 0.0, reading = st.h - st.z;
    for (size_t c = 0; c < st.sea.size(); ++c) {
      const Component& w = st.sea[c];
      const double elevation = w.height / 2 * std::cos(2 * M_PI * i / st.fs / w.period + w.phase);
      surface += elevation;
      reading += elevation * attenuation[c];
    }
    eta[static_cast<size_t>(i)] = surface;
    depth[static_cast<size_t>(i)] = static_cast<float>(reading);
  }
}

TEST(WaveAnalysisTest, ZeroCrossingWavesMatchANumpyAnalysisOfTheTrueSurfaceToTheBurstEnds) {
  // Six synthetic sea states, each with one component just below the
  // cut-off, against the textbook zero-up-crossing analysis of the true
  // surface in numpy (bench/wave_numpy.py). Undoing the taper divided the
  // readings near each end by weights down to 0.1, and the leakage there
  // became spikes that counted as waves: here H max came out 5-47 % high and
  // T max 16-54 % low.
  const std::string python = PythonWith("numpy");
  if (python.empty()) GTEST_SKIP() << "no python3 with numpy";
  const std::string script = std::string(TMV_SOURCE_DIR) + "/bench/wave_numpy.py";
  // Readings, rate [Hz], water depth [m], logger height [m]; height [m], period [s], phase of each component.
  const SeaState states[] = {
      {2048, 4, 6.01, 0.50, {{0.899, 3.796, 1.904}, {0.204, 9.837, 1.749}, {0.857, 9.072, 1.601}, {0.838, 5.610, 2.796}, {0.574, 6.081, 3.170}}},
      {4096, 4, 9.71, 1.57, {{0.513, 4.473, 1.516}, {0.550, 12.568, 1.616}, {0.498, 7.488, 1.161}, {0.286, 11.058, 1.218}, {0.583, 11.676, 5.113}}},
      {2048, 4, 11.97, 1.15, {{0.662, 5.133, 4.195}, {0.269, 10.430, 0.808}, {0.564, 6.568, 5.821}}},
      {4096, 2, 15.97, 0.79, {{0.312, 6.146, 3.357}, {0.444, 16.173, 1.697}, {0.311, 9.514, 5.972}, {0.621, 9.151, 2.651}, {0.940, 15.817, 1.639}}},
      {4096, 2, 13.73, 0.52, {{0.792, 5.775, 4.928}, {0.567, 13.581, 1.465}, {0.366, 9.658, 0.097}, {0.202, 15.939, 2.164}}},
      {2048, 4, 17.82, 0.88, {{0.301, 6.831, 3.215}, {0.582, 8.158, 3.888}, {0.500, 17.566, 0.699}, {0.283, 7.761, 0.260}, {0.697, 8.333, 5.991}}},
  };
  const std::string file = ::testing::TempDir() + "/true_surface.f64";
  for (size_t i = 0; i < std::size(states); ++i) {
    const SeaState& st = states[i];
    SCOPED_TRACE("sea state " + std::to_string(i));
    std::vector<double> eta;
    std::vector<float> burst;
    Synthesise(st, eta, burst);
    WaveAnalyser analyser;
    WaveResult r;
    std::vector<float> surface(static_cast<size_t>(st.n));
    analyser.Analyse(burst.data(), st.n, DepthReadings(st.fs, st.z), r, surface.data());
    ASSERT_EQ(r.status, kWaveGood);

    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(eta.data(), sizeof(double), eta.size(), f), eta.size());
    std::fclose(f);
    const CommandOutput ref = RunCommand(python + " " + script + " zero-crossing " + file + " " + std::to_string(st.fs));
    ASSERT_EQ(ref.status, 0) << ref.text;
    const double dt = 1.0 / st.fs;
    const double hMax = NamedValue(ref.text, "hmax"), hTenth = NamedValue(ref.text, "h_tenth");
    const double tz = NamedValue(ref.text, "tz"), tMax = NamedValue(ref.text, "tmax");
    EXPECT_NEAR(r.hMax, hMax, 0.05 * hMax);
    EXPECT_NEAR(r.hTenth, hTenth, 0.05 * hTenth);
    EXPECT_NEAR(r.tAvg, tz, 0.03 * tz + dt);
    EXPECT_NEAR(r.tMax, tMax, 0.03 * tMax + dt);
    // The zero-crossing H 1/3 shown beside Hm0.
    const double hThird = NamedValue(ref.text, "h_third");
    EXPECT_NEAR(r.hThirdCrossing, hThird, 0.05 * hThird);
    // The spectral height from the tapered transform still gives the sea's own.
    EXPECT_NEAR(r.hThird, SignificantHeight(st.sea), 0.05 * SignificantHeight(st.sea));
  }
  std::remove(file.c_str());
}

TEST(WaveAnalysisTest, LoggerAboveTheSurfaceIsAnErrorWithNoStaleFigures) {
  const int n = 512;
  std::vector<float> burst(n, -0.5f);
  WaveResult r;
  r.hThird = 3.0f;  // from an earlier analysis of this burst index
  r.tMax = 9.0f;
  std::vector<float> surface(n, 1.0f);
  WaveAnalyser analyser;
  analyser.Analyse(burst.data(), n, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveDepthError);
  EXPECT_FLOAT_EQ(r.meanDepth, -0.5f);
  EXPECT_EQ(r.hThird, 0.0f);
  EXPECT_EQ(r.tMax, 0.0f);
  EXPECT_EQ(surface[7], 0.0f);
  EXPECT_STREQ(WaveStatusText(r.status), " - ERROR: mean depth<logger height above seabed");

  // A mean depth of exactly 0 would divide by zero in the cut-off.
  std::fill(burst.begin(), burst.end(), 0.0f);
  analyser.Analyse(burst.data(), n, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveDepthError);
}

TEST(WaveAnalysisTest, WavesHigherThanTheWaterIsDeepAreAWarning) {
  const int n = 1024, fs = 2;
  const std::vector<Component> sea{{1.6, 10.0, 0.0}};
  const std::vector<float> burst = DepthBurst(n, fs, 1.0, 0.2, sea);
  WaveAnalyser analyser;
  WaveResult r;
  std::vector<float> surface(n);
  analyser.Analyse(burst.data(), n, DepthReadings(fs, 0.2), r, surface.data());
  EXPECT_EQ(r.status, kWaveHeightWarning);
  EXPECT_GT(r.hThird, 1.0f);
  EXPECT_STREQ(WaveStatusText(r.status), " - WARNING: significant wave height>mean depth");
}

TEST(WaveAnalysisTest, UnusableBurstsGetAnErrorStatusNotACrashOrHang) {
  WaveAnalyser analyser;
  WaveResult r;
  std::vector<float> surface(8192);
  std::vector<float> burst = DepthBurst(1024, 2, 10.0, 1.0, {{1.0, 8.0, 0.0}});
  burst[100] = std::numeric_limits<float>::quiet_NaN();
  analyser.Analyse(burst.data(), 1024, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveUnusable);
  burst[100] = -1000.0f;  // a reading that is not there
  analyser.Analyse(burst.data(), 1024, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveUnusable);
  burst[100] = 9.0f;
  analyser.Analyse(burst.data(), 1024, DepthReadings(0, 1.0), r, surface.data());  // wave rate 0
  EXPECT_EQ(r.status, kWaveUnusable);
  analyser.Analyse(burst.data(), 1000, DepthReadings(2, 1.0), r, surface.data());  // not a power of two
  EXPECT_EQ(r.status, kWaveUnusable);
  analyser.Analyse(burst.data(), 0, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveUnusable);
  analyser.Analyse(burst.data(), 1024, DepthReadings(2, -20.0), r, surface.data());  // height below the bed
  EXPECT_EQ(r.status, kWaveUnusable);
  analyser.Analyse(burst.data(), 1024, DepthReadings(2, 1.0), r, surface.data());
  EXPECT_EQ(r.status, kWaveGood);
}

TEST(ZeroCrossingTest, HandWorkedSeriesCountsOnlyStrictUpCrossings) {
  // Reading 4 is exactly 0 between -2 and 1.5: no crossing there. After
  // the crossing at reading 2 (value 2.0) the next crest starts from 0, so
  // the second wave is 1.5 - (-2) = 3.5 high, not 2 - (-2).
  const float s[] = {0.5f, -1.0f, 2.0f, -2.0f, 0.0f, 1.5f, -1.0f, -0.5f, 1.0f, -3.0f};
  WaveResult r;
  r.hThird = r.hTenth = r.tTenth = 7.0f;  // nothing of an earlier analysis stays
  ZeroCrossingStatistics(s, 10, r);
  EXPECT_FLOAT_EQ(r.hMax, 3.5f);
  EXPECT_FLOAT_EQ(r.tMax, 6.0f);
  // The first wave (readings 0..2, height 3) is not in the means.
  EXPECT_FLOAT_EQ(r.hAvg, 3.5f);
  EXPECT_FLOAT_EQ(r.tAvg, 6.0f);
  EXPECT_EQ(r.hThird, 0.0f);  // fewer than 3 waves
  EXPECT_EQ(r.hTenth, 0.0f);
  EXPECT_EQ(r.tTenth, 0.0f);
}

TEST(ZeroCrossingTest, ThirtyWavesTakeTheTenAndThreeHighest) {
  // Wave w: +e, w+1 (m times), -(w+1), -e; each ends at the next +e.
  const float e = 0.01f;
  std::vector<float> s{-e};
  std::vector<double> height, period;
  for (int w = 0; w < 29; ++w) {
    const int m = 1 + w % 3;
    s.push_back(e);
    for (int i = 0; i < m; ++i) s.push_back(static_cast<float>(w + 1));
    s.push_back(static_cast<float>(-(w + 1)));
    s.push_back(-e);
    height.push_back(2.0 * (w + 1));
    period.push_back(m + 3);
  }
  s.push_back(e);
  WaveResult r;
  ZeroCrossingStatistics(s.data(), static_cast<int>(s.size()), r);  // 30 waves with the tiny first one
  auto mean = [](const std::vector<double>& v, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += v[i];
    return sum / static_cast<double>(to - from);
  };
  EXPECT_NEAR(r.hThird, mean(height, 19, 29), 1e-4);
  EXPECT_NEAR(r.tThird, mean(period, 19, 29), 1e-4);
  EXPECT_NEAR(r.hTenth, mean(height, 26, 29), 1e-4);
  EXPECT_NEAR(r.tTenth, mean(period, 26, 29), 1e-4);
  EXPECT_NEAR(r.hAvg, mean(height, 0, 29), 1e-4);
  EXPECT_NEAR(r.tAvg, mean(period, 0, 29), 1e-4);
  EXPECT_FLOAT_EQ(r.hMax, 58.0f);
}

TEST(ZeroCrossingTest, NoWaveGivesZeros) {
  const float calm[] = {0.1f, 0.2f, 0.3f, 0.2f};
  WaveResult r;
  r.hMax = r.tMax = r.hAvg = 5.0f;
  ZeroCrossingStatistics(calm, 4, r);
  EXPECT_EQ(r.hMax, 0.0f);
  EXPECT_EQ(r.tMax, 0.0f);
  EXPECT_EQ(r.hAvg, 0.0f);
}

TEST(TidalSlopeTest, RisingTideOfACentimetreAMinuteIsPointSixMetresAnHour) {
  std::vector<float> depth(40);
  for (int r = 0; r < 40; ++r) depth[static_cast<size_t>(r)] = 5.0f + 0.01f * r;
  const LoggerTime minute = MakeClock(0, 1, 0);
  for (int r = 0; r < 40; ++r) {
    const double slope = TidalSlope(depth.data(), 40, r, minute);
    if (r >= 7 && r <= 40 - 8) EXPECT_NEAR(slope, 0.6, 1e-4) << r;
    else EXPECT_EQ(slope, 0.0) << r;
  }
  EXPECT_EQ(TidalSlope(depth.data(), 40, 20, MakeClock(0, 0, 0)), 0.0);  // no period: no division by zero
}

TEST(RealTimeBurstTest, CompletesWhenFullOrCutShortWithThreeReadings) {
  EXPECT_TRUE(RealTimeBurstComplete(1024, 1024, false));
  EXPECT_FALSE(RealTimeBurstComplete(1023, 1024, false));
  EXPECT_TRUE(RealTimeBurstComplete(2, 1024, true));
  EXPECT_FALSE(RealTimeBurstComplete(1, 1024, true));

  std::vector<float> readings{4.0f, 0.0f, 6.0f, 0.0f};
  EXPECT_TRUE(FillMissingBurstReadings(readings.data(), {true, false, true, false}, 4));
  EXPECT_EQ(readings, (std::vector<float>{4.0f, 5.0f, 6.0f, 5.0f}));
  EXPECT_FALSE(FillMissingBurstReadings(readings.data(), {false, false, false, false}, 4));  // nothing to average
}

}  // namespace
}  // namespace tmv::test
