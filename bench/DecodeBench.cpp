// DecodeSampleStream over a full 8 MiB image of a three-channel logger:
// words per second. bench/decode_numpy.py decodes the same words with numpy
// for comparison (goal: at least three times its rate).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/SampleDecoder.h"

namespace {

class NoSerial : public tmv::SerialSystem {
 public:
  std::vector<std::string> ListDevices() override { return {}; }
  std::unique_ptr<tmv::SerialPort> Open(const std::string&, const tmv::LineSettings&) override { return nullptr; }
};

void BM_DecodeSampleStream(benchmark::State& st) {
  NoSerial serial;
  tmv::VirtualClock clock;
  tmv::ScriptedUserInterface ui;
  auto state = std::make_unique<tmv::AppState>(serial, clock, ui);
  tmv::bench::FillBenchImage(*state);
  int64_t words = 0;
  for (auto _ : st) {
    tmv::DecodeSampleStream(*state, true);
    words += state->retrieval.data.wordCount;
    benchmark::DoNotOptimize(state->retrieval.data.Minimum(0));
  }
  st.counters["words_per_s"] = benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsRate);
  st.counters["rows"] = state->retrieval.data.sampleCount;
}
BENCHMARK(BM_DecodeSampleStream)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
