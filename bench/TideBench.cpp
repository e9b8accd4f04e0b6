// The harmonic tide analysis of a year of 10-minute readings (52,560) with
// every constituent the Rayleigh criterion admits, as `tmv-cli tides` does
// it on a time,level CSV: read the text, fit, and predict the record for the
// residual. The goal is under a second for the whole.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/TideAnalysis.h"

namespace {

constexpr int kReadings = 52560;  // 365 days of 10-minute readings

std::string YearCsv() {
  std::string csv = "time,level\n";
  const tmv::TideHours start = 24.0 * 9496;  // 2026-01-01
  for (int i = 0; i < kReadings; ++i) {
    const double t = start + i / 6.0;
    const double level = 4.0 + 1.1 * std::cos(2 * M_PI * (0.0805114007 * t) - 1.0) +
                         0.35 * std::cos(2 * M_PI * (0.0833333333 * t) - 2.0) +
                         0.3 * std::cos(2 * M_PI * (0.0417807462 * t) - 0.5) +
                         0.2 * std::cos(2 * M_PI * (0.0387306544 * t) - 0.2) + 0.01 * std::sin(i * 12.9898);
    char line[64];
    std::snprintf(line, sizeof line, ",%.4f\n", level);
    csv += tmv::TideTimeText(t) + line;
  }
  return csv;
}

void BM_TideAnalysisYearOf10MinuteReadings(benchmark::State& st) {
  const std::string csv = YearCsv();
  size_t constituents = 0;
  for (auto _ : st) {
    std::string error;
    const auto series = tmv::ParseTideCsv(csv, 0, error);
    const tmv::TideOutcome outcome = tmv::AnalyseTide(*series, {});
    const auto predicted = tmv::PredictTide(*outcome.analysis, series->times, outcome.analysis->centre);
    benchmark::DoNotOptimize(predicted.data());
    constituents = outcome.analysis->constituents.size();
  }
  st.counters["constituents"] = static_cast<double>(constituents);
  st.counters["readings"] = kReadings;
}
BENCHMARK(BM_TideAnalysisYearOf10MinuteReadings)->Unit(benchmark::kMillisecond)->Iterations(3);

// The fit alone, without reading the text.
void BM_TideFitOnly(benchmark::State& st) {
  std::string error;
  const auto series = tmv::ParseTideCsv(YearCsv(), 0, error);
  for (auto _ : st) {
    const tmv::TideOutcome outcome = tmv::AnalyseTide(*series, {});
    benchmark::DoNotOptimize(outcome.analysis->mean);
  }
}
BENCHMARK(BM_TideFitOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
