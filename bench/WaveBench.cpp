// The wave analysis of a full wave logger: 5,500 bursts of 4,096 pressure
// readings, each through the whole pipeline (depth, trend, taper, both
// transforms, pressure response, surface, zero crossings). The same
// pipeline in numpy is bench/wave_numpy.py.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/WaveAnalysis.h"

namespace {

constexpr int kBurstLength = 4096;
constexpr int kBursts = 5500;
constexpr int kDistinct = 16;  // bursts made once and analysed in turn

// Pressure [dBar] at a logger 9.5 m down: a swell, a wind sea and a tide step per burst.
std::vector<float> Bursts() {
  std::vector<float> all(static_cast<size_t>(kDistinct) * kBurstLength);
  for (int b = 0; b < kDistinct; ++b)
    for (int i = 0; i < kBurstLength; ++i) {
      const double t = i / 4.0;
      all[static_cast<size_t>(b) * kBurstLength + static_cast<size_t>(i)] = static_cast<float>(
          10.1325 + 9.5 * 1.0281 * 0.980665 + 0.05 * b + 0.4 * std::sin(2 * M_PI * t / (9.0 + 0.1 * b)) +
          0.15 * std::sin(2 * M_PI * t / 4.9 + b) + 0.00001 * i);
    }
  return all;
}

void BM_AnalyseWaveLogger(benchmark::State& st) {
  const std::vector<float> bursts = Bursts();
  tmv::WaveParameters p;
  p.sampleRate = 4;
  p.loggerHeight = 1.0;
  tmv::WaveAnalyser analyser;
  tmv::WaveResult result;
  std::vector<float> surface(kBurstLength);
  for (auto _ : st) {
    for (int b = 0; b < kBursts; ++b)
      analyser.Analyse(bursts.data() + static_cast<size_t>(b % kDistinct) * kBurstLength, kBurstLength, p, result,
                       surface.data());
    benchmark::DoNotOptimize(result);
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * kBursts);
  st.counters["last_hs_m"] = result.hThird;  // compare with the numpy script's
  st.counters["bursts_per_s"] = benchmark::Counter(static_cast<double>(st.iterations()) * kBursts, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_AnalyseWaveLogger)->Unit(benchmark::kMillisecond)->Iterations(1);
