#include "analysis/WaveWindow.h"

#include <algorithm>
#include <cmath>

#include "analysis/FourierTransform.h"
#include "analysis/WaveAnalysis.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

int LastBurstStamp(const DataSet& d) {
  for (int i = d.StampCount() - 1; i >= 0; --i)
    if (d.stamps[static_cast<size_t>(i)].type == kStampBurst) return i;
  return -1;
}

int BurstStampForRow(const DataSet& d, int row) {
  for (int i = d.StampCount() - 1; i >= 0; --i) {
    const StampRecord& s = d.stamps[static_cast<size_t>(i)];
    if (s.type == kStampBurst && s.sampleIndex <= row) return i;
  }
  return -1;
}

}  // namespace

WaveWindowView ShowWaveWindow(const AppState& state, const WaveStore& store, int row, int mode) {
  WaveWindowView v;
  const DataSet& d = state.retrieval.data;
  if (!d.deployment.waveEnabled || d.burstCount < 0 || store.Count() == 0) return v;
  const bool data = mode == kWaveWindowData;
  const int stampIndex = data ? BurstStampForRow(d, row) : LastBurstStamp(d);
  if (stampIndex < 0) return v;  // rows before the first burst: no wave measured yet
  const StampRecord& stamp = d.stamps[static_cast<size_t>(stampIndex)];
  const int b = stamp.burstIndex;
  if (b < 0 || b >= store.Count()) return v;
  v.shown = true;
  v.burst = b;
  const LoggerTime& t = stamp.time;
  v.title = Format(Tr(state, "Wave measurements at %4d/%s/%02d %02d:%02d:%02d - Wave %d of %d").c_str(), t.year,
                   MonthName(t.month), t.day, t.hour, t.minute, t.second, b + 1, d.burstCount + 1);
  const WaveResult& r = store.results[static_cast<size_t>(b)];
  if (data) {
    v.text = r.status != 0 ? Format("\t\t\t%s\n", WaveStatusText(r.status)) : std::string();
    // The spectral height is Hm0; the zero-crossing H 1/3 beside it heads
    // the heights of the waves themselves, which H max is read against (an
    // H max below Hm0 is no fault).
    v.text += Format(Tr(state, "Mean depth of water:\t\t%.2f m\nSpectral wave height (Hm0 = 4 sqrt m0):\t%.2f m\nZero-crossing wave height (H 1/3):\t%.2f m\t\tperiod (T 1/3):\t%.2f secs\n10 percent wave height (H 1/10):\t%.2f\t\tperiod (T 1/10):\t%.2f secs\nMaximum height (H max):\t\t%.2f m\t\tperiod (T max):\t%.2f secs\nAverage wave height (H avg):\t%.2f m\t\tperiod(T avg):\t%.2f secs\nEnergy:\t\t\t\t%.2f J/m2").c_str(),
                     r.meanDepth + d.deployment.loggerHeight, r.hThird, r.hThirdCrossing, r.tThird, r.hTenth, r.tTenth,
                     r.hMax, r.tMax, r.hAvg, r.tAvg, r.energy);
  } else {
    v.text = Tr(state, "Real-time wave measurements in progress.");
    v.realTimePen = true;
  }
  const int n = store.burstLength;
  v.surface.assign(store.Surface(b), store.Surface(b) + n);
  v.crestMax = r.crestMax;
  v.troughMin = r.troughMin;

  // The amplitude spectrum of the rebuilt surface, lines 0..n/2, tapered
  // as the analysis tapers its spectrum: a burst is not periodic, and its
  // leakage would smear the lines.
  std::vector<Complex> x(v.surface.begin(), v.surface.end());
  for (int j = 0; j < kTaperLength / 2 && j < n / 2; ++j) {
    const double w = TaperWeight(j);
    x[static_cast<size_t>(j)] *= w;
    x[static_cast<size_t>(n - 1 - j)] *= w;
  }
  if (n > kTaperLength && TransformComplex(x.data(), n, kTransformForward)) {
    const int rate = state.retrieval.waveSampleRate != 0 ? state.retrieval.waveSampleRate : d.deployment.burstRate;
    const double norm = TaperNorm(n);
    for (int k = 0; k <= n / 2; ++k) {
      v.frequency.push_back(static_cast<double>(rate) * k / n);
      const double twoSided = (k == 0 || k == n / 2) ? 1.0 : 2.0;
      v.amplitude.push_back(twoSided * norm * std::abs(x[static_cast<size_t>(k)]));
    }
  }
  return v;
}

std::vector<WavePoint> WaveTrace(const std::vector<float>& surface, float crestMax, float troughMin, int width,
                                 int height) {
  std::vector<WavePoint> points;
  const int n = static_cast<int>(surface.size());
  if (n == 0 || width <= 0 || height <= 2) return points;
  points.reserve(surface.size());
  const double dx = static_cast<double>(width) / n;
  const bool centred = crestMax > 0 && troughMin < 0;
  const double a = std::max(static_cast<double>(crestMax), -static_cast<double>(troughMin));
  const double range = static_cast<double>(crestMax) - troughMin;
  for (int i = 0; i < n; ++i) {
    const double eta = surface[static_cast<size_t>(i)];
    int y;
    if (centred) {
      y = height / 2 - static_cast<int>(std::trunc(eta * (height - 2) / (2 * a)));
    } else if (range > 0) {
      y = (height - 1) - static_cast<int>(std::trunc((eta - troughMin) * (height - 2) / range));
      y = std::clamp(y, 0, height - 1);
    } else {
      y = height / 2;  // a flat surface
    }
    points.push_back({static_cast<int>(i * dx), y});
  }
  return points;
}

}  // namespace tmv
