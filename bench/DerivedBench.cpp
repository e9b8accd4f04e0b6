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

#include "analysis/DerivedChannels.h"
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
// float columns, with the pressure reading absolute as a logger records it
// (sound speed, like salinity and density, takes the sea pressure).
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
      sound[i] = static_cast<float>(tmv::IsValidValue(s) ? tmv::SoundSpeedUnesco(s, p, t) : tmv::kInvalidValue);
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

// ComputeDerivedValues on DataSets of T, P, C with the depth, salinity,
// density anomaly and UNESCO sound speed columns, as after a retrieval. The
// value pool holds about 1.3 M rows of seven columns, so the 2.8 M rows are
// three DataSets of a third each.
void BM_ComputeDerivedValues(benchmark::State& st) {
  const Rows& rows = TheRows();
  const size_t total = rows.conductivity.size();
  tmv::DerivedInputs in;
  tmv::DerivedSettings& s = in.settings;
  s.anyDerived = s.depthEnabled = s.depthSeawater = s.salinityEnabled = s.densityAnomalyEnabled = true;
  s.speedOfSoundEnabled = true;
  s.latitudeDegrees = 45;
  static tmv::DataSet parts[3];  // about 9 M floats each: kept between runs
  size_t first = 0;
  for (int k = 0; k < 3; ++k) {
    tmv::DataSet& data = parts[k];
    const size_t last = total * static_cast<size_t>(k + 1) / 3;
    const int n = static_cast<int>(last - first);
    data.channelCount = data.totalChannelCount = 3;
    data.channelTypes[0] = data.columnCodes[0] = 'T';
    data.channelTypes[1] = data.columnCodes[1] = 'P';
    data.channelTypes[2] = data.columnCodes[2] = 'C';
    if (!data.LayOut(3, n)) {
      st.SkipWithError("rows do not fit the value pool");
      return;
    }
    data.sampleCount = n;
    for (int r = 0; r < n; ++r) {
      const size_t i = first + static_cast<size_t>(r);
      data.Column(0)[r] = rows.temperature[i];
      data.Column(1)[r] = rows.seaPressure[i] + s.atmosphericPressure;
      data.Column(2)[r] = rows.conductivity[i];
    }
    tmv::AppendDerivedColumns(data, s);
    if (data.totalChannelCount != 7) {
      st.SkipWithError("derived columns do not fit the value pool");
      return;
    }
    first = last;
  }
  for (auto _ : st) {
    for (tmv::DataSet& data : parts) {
      tmv::ComputeDerivedValues(in, data);
      benchmark::DoNotOptimize(data.Column(3));
    }
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(total));
}

BENCHMARK(BM_DerivedRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeDerivedValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityPss78)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityPss78Column)->Unit(benchmark::kMillisecond);

}  // namespace
