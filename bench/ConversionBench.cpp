// ConvertReading over a download's worth of raw counts: the decoder calls it
// once per reading, so it must stay cheap for both equations.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "model/Conversion.h"

namespace {

constexpr size_t kReadings = 4 * 1024 * 1024;

std::vector<int32_t> RawCounts() {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> raw(1, 0xFFFFFF);
  std::vector<int32_t> counts(kReadings);
  for (auto& c : counts) c = raw(rng);
  return counts;
}

void Run(benchmark::State& st, uint8_t type) {
  tmv::LoggerInfo info;
  info.channelCount = 1;
  info.channelTypes[0] = type;
  tmv::CalibrationSet cal;
  cal.coefficients[0] = tmv::DefaultCoefficients(type);
  cal.coefficients[0][2] = type == 'T' ? cal.coefficients[0][2] : 0.01;
  const std::vector<int32_t> counts = RawCounts();
  for (auto _ : st) {
    double sum = 0.0;
    for (int32_t raw : counts) sum += tmv::ConvertReading(info, cal, raw, 0);
    benchmark::DoNotOptimize(sum);
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(counts.size()));
}

void BM_ConvertReadingThermistor(benchmark::State& st) { Run(st, 'T'); }
void BM_ConvertReadingPolynomial(benchmark::State& st) { Run(st, 'P'); }

void BM_EngineeringToRaw(benchmark::State& st) {
  const tmv::CoefficientRow c = tmv::DefaultCoefficients('T');
  double target = 0.0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(tmv::EngineeringToRaw(c, true, target));
    target = target > 30.0 ? 0.0 : target + 0.37;
  }
}

BENCHMARK(BM_ConvertReadingThermistor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertReadingPolynomial)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineeringToRaw);

}  // namespace
