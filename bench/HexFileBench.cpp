// HEX write and read of a full 8 MiB image through the file system.
// bench/hex_vs_xxd.sh times "xxd -p" plus "xxd -r -p" on the same bytes
// (goal: at most 1.5 times theirs).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "files/HexFile.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"

namespace {

class NoSerial : public tmv::SerialSystem {
 public:
  std::vector<std::string> ListDevices() override { return {}; }
  std::unique_ptr<tmv::SerialPort> Open(const std::string&, const tmv::LineSettings&) override { return nullptr; }
};

void BM_HexWriteAndRead(benchmark::State& st) {
  NoSerial serial;
  tmv::VirtualClock clock;
  tmv::ScriptedUserInterface ui;
  auto state = std::make_unique<tmv::AppState>(serial, clock, ui);
  tmv::bench::FillBenchImage(*state);
  state->directories.work = "/nonexistent-tmv-bench";  // the recent-files list stays unwritten
  const char* dir = std::getenv("TMPDIR");
  const std::string path = std::string(dir ? dir : "/tmp") + "/tmv_bench_image.hex";
  for (auto _ : st) {
    if (!tmv::WriteHexFile(*state, path)) st.SkipWithError("cannot write");
    if (!tmv::WasRead(tmv::ReadHexFile(*state, 6, path))) st.SkipWithError("cannot read");
  }
  st.counters["bytes_per_s"] = benchmark::Counter(static_cast<double>(state->retrieval.image.imageLength) * st.iterations(),
                                                  benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}
BENCHMARK(BM_HexWriteAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
