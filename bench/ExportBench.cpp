// Export of a full 8 MiB image (about 932 000 rows of three channels) to
// netCDF-CF and to CSV: time per row through the file system.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "files/Export.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/SampleDecoder.h"

namespace {

class NoSerial : public tmv::SerialSystem {
 public:
  std::vector<std::string> ListDevices() override { return {}; }
  std::unique_ptr<tmv::SerialPort> Open(const std::string&, const tmv::LineSettings&) override { return nullptr; }
};

void BM_Export(benchmark::State& st, const char* extension) {
  NoSerial serial;
  tmv::VirtualClock clock;
  tmv::ScriptedUserInterface ui;
  auto state = std::make_unique<tmv::AppState>(serial, clock, ui);
  tmv::bench::FillBenchImage(*state);
  tmv::DecodeSampleStream(*state, true);
  const char* dir = std::getenv("TMPDIR");
  const std::string path = std::string(dir ? dir : "/tmp") + "/tmv_bench_export" + extension;
  for (auto _ : st)
    if (!tmv::ExportDataSet(*state, path, {}).written) st.SkipWithError("cannot write");
  st.counters["s_per_row"] = benchmark::Counter(
      static_cast<double>(state->retrieval.data.sampleCount) * static_cast<double>(st.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::remove(path.c_str());
}
BENCHMARK_CAPTURE(BM_Export, netcdf, ".nc")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Export, csv, ".csv")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
