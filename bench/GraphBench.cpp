// The graph's repaint on a full logger: 3 channels of 2.8 million readings
// into a 1000 by 250 plot, whole data and zoomed, and the summary build.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "presentation/GraphView.h"

namespace {

constexpr int kRows = 2800000;

const tmv::DataSet& FullLogger() {
  static std::unique_ptr<tmv::DataSet> data = [] {
    auto d = std::make_unique<tmv::DataSet>();
    d->LayOut(3, kRows);
    d->channelCount = d->totalChannelCount = 3;
    d->sampleCount = kRows;
    const uint8_t codes[] = {'T', 'P', 'C'};
    uint32_t seed = 1;
    for (int c = 0; c < 3; ++c) {
      d->channelTypes[static_cast<size_t>(c)] = d->columnCodes[static_cast<size_t>(c)] = codes[c];
      float* v = d->Column(c);
      for (int r = 0; r < kRows; ++r) {
        seed = seed * 1664525u + 1013904223u;
        v[r] = static_cast<float>(10 * std::sin(r * 1e-5 + c) + (seed >> 8) % 1000 * 0.001);
      }
    }
    return d;
  }();
  return *data;
}

void BM_GraphSummaryBuild(benchmark::State& s) {
  const tmv::DataSet& d = FullLogger();
  for (auto _ : s) {
    tmv::GraphState g;
    g.view.width = 1000;
    tmv::AttachData(g, d);
    benchmark::DoNotOptimize(g.summaries.data());
  }
}
BENCHMARK(BM_GraphSummaryBuild)->Unit(benchmark::kMillisecond);

void BM_GraphDrawing(benchmark::State& s) {
  const tmv::DataSet& d = FullLogger();
  tmv::GraphState g;
  g.view.width = 1000;
  tmv::AttachData(g, d);
  if (s.range(0) == 1) {  // zoomed: ten readings a pixel in the middle of the data
    tmv::ScrollTo(g, kRows / 2);
    g.view.readingsPerDivision = 100.0f;
    g.view.pixelsPerReading = 0.1f;
  } else if (s.range(0) == 2) {  // zoomed to one reading a division
    tmv::ScrollTo(g, kRows / 3);
    g.view.readingsPerDivision = 1.0f;
    g.view.pixelsPerReading = 10.0f;
  }
  tmv::LoggerInfo logger;
  const tmv::DrawContext context{d, logger, 0};
  for (auto _ : s) {
    tmv::GraphDrawing drawing = tmv::BuildDrawing(g, context);
    benchmark::DoNotOptimize(drawing.lines.data());
  }
}
BENCHMARK(BM_GraphDrawing)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
