#include "analysis/WaveAnalysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/FourierTransform.h"
#include "analysis/SeawaterFormulas.h"
#include "deployment/BurstSetup.h"

namespace tmv {

namespace {

constexpr double kTwoPi = 6.283185307179464;

bool PowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// A burst that cannot be analysed: no figure of an earlier analysis stays.
void ClearFigures(WaveResult& r, float* surface, int n) {
  const LoggerTime start = r.startTime;
  const float meanDepth = r.meanDepth;
  const int32_t status = r.status;
  r = WaveResult{};
  r.startTime = start;
  r.meanDepth = meanDepth;
  r.status = status;
  if (surface) std::fill(surface, surface + n, 0.0f);
}

struct Wave {
  double height;
  double period;  // readings
};

}  // namespace

const char* WaveStatusText(int status) {
  switch (status) {
    case kWaveDepthError: return " - ERROR: mean depth<logger height above seabed";
    case kWaveHeightWarning: return " - WARNING: significant wave height>mean depth";
    case kWaveUnusable: return " - ERROR: burst readings or settings unusable";
    default: return "";
  }
}

double WaveNumber(double depth, double period) {
  if (!(depth > 0.0) || !(period > 0.0) || !std::isfinite(depth) || !std::isfinite(period)) return 0.0;
  const double k0 = 39.47841760435743 / (period * period * kWaveGravity);
  double p = 1.0, q = 1.0;
  for (int i = 0; i < 20000; ++i) {
    const double m = (q + p) / 2.0;
    p = q;
    q = k0 / std::tanh(depth * m);
    if (std::fabs(m - q) <= 1e-6) break;
  }
  return q;
}

double TaperWeight(int j) { return 0.5 - 0.5 * std::cos(kTwoPi * j / kTaperLength); }

double TaperNorm(int n) {
  // The weights stand at both ends, so their squares count twice; counted
  // once, the variance came out 1.9 % high at 1024 readings.
  double sum = 0.0;
  for (int j = 0; j < kTaperLength / 2; ++j) sum += TaperWeight(j) * TaperWeight(j);
  return std::sqrt(n / ((n - kTaperLength) + 2.0 * sum));
}

void ZeroCrossingStatistics(const float* series, int n, WaveResult& result) {
  result.hThird = result.tThird = result.hTenth = result.tTenth = 0.0f;
  result.hAvg = result.tAvg = result.hMax = result.tMax = 0.0f;
  if (series == nullptr || n < 2) return;
  std::vector<Wave> waves;
  double crest = series[0], trough = series[0], previous = series[0];
  int lastCrossing = 0;
  double periodSum = 0.0, heightSum = 0.0;
  for (int i = 1; i < n; ++i) {
    const double v = series[i];
    crest = std::max(crest, v);
    trough = std::min(trough, v);
    if (v > 0.0 && previous < 0.0) {
      const Wave w{crest - trough, static_cast<double>(i - lastCrossing)};
      // The first wave starts at reading 0, not at a crossing: not in the means.
      if (!waves.empty()) {
        periodSum += w.period;
        heightSum += w.height;
      }
      waves.push_back(w);
      lastCrossing = i;
      crest = trough = 0.0;
    }
    previous = v;
  }
  const int count = static_cast<int>(waves.size());
  if (count >= 2) {
    result.tAvg = static_cast<float>(periodSum / (count - 1));
    result.hAvg = static_cast<float>(heightSum / (count - 1));
  }
  if (count == 0) return;
  std::stable_sort(waves.begin(), waves.end(), [](const Wave& a, const Wave& b) { return a.height > b.height; });
  result.hMax = static_cast<float>(waves[0].height);
  result.tMax = static_cast<float>(waves[0].period);
  auto meanOfHighest = [&](int c, float& height, float& period) {
    double h = 0.0, t = 0.0;
    for (int i = 0; i < c; ++i) {
      h += waves[static_cast<size_t>(i)].height;
      t += waves[static_cast<size_t>(i)].period;
    }
    height = static_cast<float>(h / c);
    period = static_cast<float>(t / c);
  };
  if (count / 3 > 0) meanOfHighest(count / 3, result.hThird, result.tThird);
  if (count / 10 > 0) meanOfHighest(count / 10, result.hTenth, result.tTenth);
}

WaveAnalyser::WaveAnalyser() = default;
WaveAnalyser::~WaveAnalyser() = default;

void WaveAnalyser::Analyse(const float* readings, int n, const WaveParameters& prm, WaveResult& result,
                           float* surface) {
  result.status = kWaveGood;
  result.meanDepth = 0.0f;
  const double fs = prm.sampleRate;
  const double z = prm.loggerHeight;
  if (readings == nullptr || surface == nullptr || !PowerOfTwo(n) || n < kMinBurstLength || n > kMaxBurstLength ||
      prm.sampleRate <= 0 || !(z >= 0.0) || !std::isfinite(z)) {
    result.status = kWaveUnusable;
    ClearFigures(result, surface, n > 0 && n <= kMaxBurstLength ? n : 0);
    return;
  }

  // Depth series; a burst with a reading that is not one is not analysed.
  DerivedSettings depthSettings;
  depthSettings.depthSeawater = prm.depthSeawater;
  depthSettings.latitudeDegrees = static_cast<int>(prm.latitude);
  depthSettings.latitudeMinutes = static_cast<float>((prm.latitude - depthSettings.latitudeDegrees) * 60.0);
  depthSettings.atmosphericPressure = static_cast<float>(prm.atmosphericPressure);
  depthSettings.waterDensity = static_cast<float>(prm.waterDensity);
  depth_.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double raw = readings[i];
    const double x = prm.readingsAreDepth ? raw : DepthFromPressure(depthSettings, raw);
    if (!IsValidValue(raw) || !IsValidValue(x) || !std::isfinite(x)) {
      result.status = kWaveUnusable;
      ClearFigures(result, surface, n);
      return;
    }
    depth_[static_cast<size_t>(i)] = x;
  }

  // Least-squares trend line; the mean depth is the line at the middle reading.
  double si = 0, sx = 0, sxi = 0, sii = 0;
  for (int i = 0; i < n; ++i) {
    const double x = depth_[static_cast<size_t>(i)];
    si += i;
    sx += x;
    sxi += i * x;
    sii += static_cast<double>(i) * i;
  }
  const double dd = si * si - n * sii;
  const double a = (si * sx - n * sxi) / dd;
  const double c = (si * sxi - sii * sx) / dd;
  const double d = a * (n / 2) + c;
  result.meanDepth = static_cast<float>(d);
  // At or above the surface (a depth of exactly 0 would put the cut-off at
  // an infinite frequency): nothing to analyse.
  if (!(d > 0.0)) {
    result.status = kWaveDepthError;
    ClearFigures(result, surface, n);
    return;
  }

  if (!plan_ || plan_->Size() != n) plan_ = std::make_unique<FourierPlan>(n);
  Complex* x = plan_->Data();
  for (int i = 0; i < n; ++i) depth_[static_cast<size_t>(i)] -= a * i + c;  // detrended, for both transforms

  const double h = d + z;
  const double fc = WaveCutoffFrequency(h, d);
  result.cutoffFrequency = static_cast<float>(fc);
  int cut = 0;
  if (fc > 0.0 && std::isfinite(fc)) {
    const double lines = std::trunc(n * fc / fs);
    cut = lines >= n / 2 ? n / 2 : static_cast<int>(lines);
  }
  // Pressure-response factor of each line up to the cut-off; one of 20 or
  // more would amplify noise, and such a line is left as it is.
  response_.assign(static_cast<size_t>(cut) + 1, 1.0);
  for (int k = 1; k <= cut; ++k) {
    const double f = fs / n * k;
    const double kw = WaveNumber(h, 1.0 / f);
    const double factor = std::cosh(kw * h) / std::cosh(kw * z);
    if (factor < kResponseFactorLimit) response_[static_cast<size_t>(k)] = factor;
  }
  // The transform of the detrended burst (split cosine bell at both ends
  // when tapered), cut off and corrected; the line n/2 is its own mirror
  // and so takes the factor twice, as the analysis has always done.
  auto correctedTransform = [&](bool tapered) {
    for (int i = 0; i < n; ++i) x[i] = Complex(depth_[static_cast<size_t>(i)], 0.0);
    if (tapered)
      for (int j = 0; j < kTaperLength / 2; ++j) {
        const double w = TaperWeight(j);
        x[j] *= w;
        x[n - 1 - j] *= w;
      }
    plan_->Run(kTransformForward);
    for (int k = cut + 1; k <= n / 2; ++k) {
      x[k] = 0.0;
      x[n - k] = 0.0;
    }
    for (int k = 1; k <= cut; ++k) {
      x[k] *= response_[static_cast<size_t>(k)];
      x[n - k] *= response_[static_cast<size_t>(k)];
    }
  };

  // Spectrum, its peak and the variance from the tapered burst: the taper
  // keeps the leakage of a burst that is not periodic out of the lines, and
  // its norm gives back the variance it takes.
  correctedTransform(true);
  double best = 0.0;
  int peak = 0;
  for (int k = 1; k <= cut; ++k) {
    const double m = std::sqrt(std::norm(x[k]));  // hypot's care for overflow is not needed here
    if (m > best) {
      best = m;
      peak = k;
    }
  }
  result.peakFrequency = static_cast<float>(fs * peak / n);
  double lines = 0.0;
  for (int k = 0; k < n; ++k) lines += std::norm(x[k]);
  const double norm = TaperNorm(n);
  // Parseval: the squares of the n readings are n times those of the lines.
  const double variance = norm * norm * n * lines / (n - 1);

  // The surface for the zero crossings from the untapered burst. Undoing
  // the taper instead divided readings near the ends by weights down to
  // 0.1 and made spikes of the leakage there, which counted as waves.
  correctedTransform(false);
  plan_->Run(kTransformInverse);
  double crest = -1000.0, trough = 1000.0;
  for (int i = 0; i < n; ++i) {
    double eta = std::sqrt(std::norm(x[i]));
    if (x[i].real() < 0.0) eta = -eta;
    surface[i] = static_cast<float>(eta);
    crest = std::max(crest, eta);
    trough = std::min(trough, eta);
  }
  result.crestMax = static_cast<float>(crest);
  result.troughMin = static_cast<float>(trough);
  result.variance = static_cast<float>(variance);
  result.energy = static_cast<float>(variance * kWaveGravity * prm.waterDensity * 1000.0);

  ZeroCrossingStatistics(surface, n, result);
  result.tThird = static_cast<float>(result.tThird / fs);
  result.tTenth = static_cast<float>(result.tTenth / fs);
  result.tAvg = static_cast<float>(result.tAvg / fs);
  result.tMax = static_cast<float>(result.tMax / fs);

  result.hThirdCrossing = result.hThird;
  result.hThird = static_cast<float>(4.0 * std::sqrt(variance));
  if (result.hThird / h > 1.0) result.status = kWaveHeightWarning;
}

double TidalSlope(const float* depth, int sampleCount, int row, const LoggerTime& samplingPeriod) {
  static constexpr int kOffsets[4] = {1, 3, 5, 7};
  static constexpr double kWeights[4] = {0.260125065, 0.032075668, 0.014320589, 0.010292142};
  if (depth == nullptr || row - 7 < 0 || row + 7 > sampleCount - 1) return 0.0;
  double s = 0.0;
  for (int i = 0; i < 4; ++i) s += kWeights[i] * (static_cast<double>(depth[row + kOffsets[i]]) - depth[row - kOffsets[i]]);
  const double minutes = samplingPeriod.hour * 60.0 + samplingPeriod.minute + samplingPeriod.second / 60.0;
  if (!(minutes > 0.0)) return 0.0;
  return s * 60.0 / minutes;
}

bool RealTimeBurstComplete(int received, int length, bool nextBurstBegun) {
  if (length > 0 && received >= length) return true;
  return nextBurstBegun && received >= 2;
}

bool FillMissingBurstReadings(float* readings, const std::vector<bool>& received, int length) {
  double sum = 0.0;
  int count = 0;
  for (int i = 0; i < length; ++i)
    if (static_cast<size_t>(i) < received.size() && received[static_cast<size_t>(i)]) {
      sum += readings[i];
      ++count;
    }
  if (count == 0) return false;
  const float mean = static_cast<float>(sum / count);
  for (int i = 0; i < length; ++i)
    if (static_cast<size_t>(i) >= received.size() || !received[static_cast<size_t>(i)]) readings[i] = mean;
  return true;
}

}  // namespace tmv
