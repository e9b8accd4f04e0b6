// The seawater formulas over a long download: every derived value is
// computed once per row after each retrieval and file read, so a long
// deployment must not keep the user waiting.
//
// The rows are 32-bit float columns as a DataSet holds them. By default they
// are generated here; bench/salinity_vs_gsw.py sets TMV_BENCH_SEAWATER_ROWS to
// a file of its own arrays so that gsw and this code see the same values
// (int64 count, then count floats each of conductivity [mS/cm], temperature
// [degC ITS-90] and sea pressure [dBar]).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "analysis/SalinityColumn.h"
#include "analysis/SeawaterFormulas.h"

namespace {

constexpr size_t kRows = 2800000;

struct Rows {
  std::vector<float> conductivity;  // mS/cm
  std::vector<float> temperature;   // degC, ITS-90
  std::vector<float> seaPressure;   // dBar
};

bool ReadRows(const char* path, Rows& rows) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  int64_t n = 0;
  bool ok = std::fread(&n, sizeof n, 1, f) == 1 && n > 0 && n < (int64_t{1} << 31);
  if (ok) {
    for (std::vector<float>* column : {&rows.conductivity, &rows.temperature, &rows.seaPressure}) {
      column->resize(static_cast<size_t>(n));
      ok = ok && std::fread(column->data(), sizeof(float), column->size(), f) == column->size();
    }
  }
  std::fclose(f);
  return ok;
}

const Rows& TheRows() {
  static const Rows rows = [] {
    Rows r;
    if (const char* path = std::getenv("TMV_BENCH_SEAWATER_ROWS")) {
      if (ReadRows(path, r)) return r;
      std::fprintf(stderr, "cannot read %s; generating rows\n", path);
      r = Rows{};
    }
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> c(25.0f, 55.0f), t(-1.0f, 30.0f), p(0.0f, 6000.0f);
    r.conductivity.resize(kRows);
    r.temperature.resize(kRows);
    r.seaPressure.resize(kRows);
    for (size_t i = 0; i < kRows; ++i) {
      r.conductivity[i] = c(rng);
      r.temperature[i] = t(rng);
      r.seaPressure[i] = p(rng);
    }
    return r;
  }();
  return rows;
}

// Depth, salinity, density anomaly and UNESCO sound speed per row, into four
// float columns, with the pressure reading absolute as a logger records it.
void BM_DerivedRows(benchmark::State& st) {
  const Rows& rows = TheRows();
  const size_t n = rows.conductivity.size();
  tmv::DerivedSettings settings;
  settings.depthSeawater = true;
  settings.latitudeDegrees = 45;
  const double atmosphere = settings.atmosphericPressure;
  std::vector<float> depth(n), salinity(n), density(n), sound(n);
  for (auto _ : st) {
    for (size_t i = 0; i < n; ++i) {
      const double c = rows.conductivity[i];
      const double t = rows.temperature[i];
      const double reading = rows.seaPressure[i] + atmosphere;
      const double p = reading - atmosphere;
      depth[i] = static_cast<float>(tmv::DepthFromPressure(settings, reading));
      const double s = tmv::SalinityPss78(c, t, p, 0);
      salinity[i] = static_cast<float>(s);
      density[i] = static_cast<float>(tmv::IsValidValue(s) ? tmv::DensityAnomaly(s, t, p) : tmv::kInvalidValue);
      sound[i] = static_cast<float>(tmv::IsValidValue(s) ? tmv::SoundSpeedUnesco(s, reading, t) : tmv::kInvalidValue);
    }
    benchmark::DoNotOptimize(depth.data());
    benchmark::DoNotOptimize(salinity.data());
    benchmark::DoNotOptimize(density.data());
    benchmark::DoNotOptimize(sound.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(n));
}

// Practical salinity alone, the figure compared with gsw.SP_from_C.
void BM_SalinityPss78(benchmark::State& st) {
  const Rows& rows = TheRows();
  const size_t n = rows.conductivity.size();
  std::vector<double> salinity(n);
  for (auto _ : st) {
    for (size_t i = 0; i < n; ++i)
      salinity[i] = tmv::SalinityPss78(rows.conductivity[i], rows.temperature[i], rows.seaPressure[i], 0);
    benchmark::DoNotOptimize(salinity.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(n));
}

// The same over whole columns, as a DataSet is recomputed at once.
void BM_SalinityPss78Column(benchmark::State& st) {
  const Rows& rows = TheRows();
  const size_t n = rows.conductivity.size();
  std::vector<float> salinity(n);
  for (auto _ : st) {
    tmv::SalinityPss78Column(rows.conductivity.data(), rows.temperature.data(), rows.seaPressure.data(),
                             salinity.data(), n);
    benchmark::DoNotOptimize(salinity.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(n));
}

BENCHMARK(BM_DerivedRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityPss78)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityPss78Column)->Unit(benchmark::kMillisecond);

}  // namespace
