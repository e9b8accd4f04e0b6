// The graph's repaint on a full logger: 8.4 million readings (and a tenth of
// that, to show the cost stays flat in the readings) into a 1920 x 1080
// picture, as 3 channels of 2.8 million in one plot or 4 of 2.1 million in
// four stacked panels, whole and zoomed;
// the drawing data alone and painted; a wheel step as the user makes it;
// and the summary build after a retrieval.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "presentation/GraphView.h"

#ifdef TMV_BENCH_PAINT
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "GraphPainter.h"
#endif

namespace {

constexpr int kFullLogger = 2800000;
constexpr int kWidth = 1920, kHeight = 1080;

// `columns` channels of `rows` readings. A logger's memory holds 8.4 million
// readings at most: three channels of 2.8 million, or four of 2.1 million.
const tmv::DataSet& Logger(int rows, int columns) {
  static std::map<std::pair<int, int>, std::unique_ptr<tmv::DataSet>> made;
  auto& slot = made[{rows, columns}];
  if (!slot) {
    auto d = std::make_unique<tmv::DataSet>();
    if (!d->LayOut(columns, rows)) std::abort();
    d->channelCount = d->totalChannelCount = columns;
    d->sampleCount = rows;
    d->samplePeriodSeconds = 10;
    const uint8_t codes[] = {'T', 'P', 'C', 'S'};
    uint32_t seed = 1;
    for (int c = 0; c < columns; ++c) {
      d->channelTypes[static_cast<size_t>(c)] = d->columnCodes[static_cast<size_t>(c)] = codes[c];
      float* v = d->Column(c);
      for (int r = 0; r < rows; ++r) {
        seed = seed * 1664525u + 1013904223u;
        v[r] = static_cast<float>(10 * std::sin(r * 1e-5 + c) + (seed >> 8) % 1000 * 0.001);
      }
    }
    slot = std::move(d);
  }
  return *slot;
}

// Args: readings in all (3 or 4 channels of them), view (0 whole, 1 ten
// readings a pixel, 2 one reading a division), stacked (four channels in
// four panels instead of three in one plot).
struct Scene {
  const tmv::DataSet& data;
  tmv::LoggerInfo logger;
  tmv::GraphState graph;
  tmv::TextMetrics metrics;
  Scene(benchmark::State& s, const tmv::TextMetrics& m)
      : data(Logger(static_cast<int>(s.range(0) / (s.range(2) == 1 ? 4 : 3)), s.range(2) == 1 ? 4 : 3)), metrics(m) {
    tmv::AttachData(graph, data);
    const int rows = data.sampleCount;
    tmv::SetStacked(graph, s.range(2) == 1);
    tmv::LayOutPicture(graph, Context(), kWidth, kHeight, tmv::PictureOptions{16, true});
    if (s.range(1) == 1) {
      tmv::ScrollTo(graph, rows / 2);
      graph.view.readingsPerDivision = 100.0f;
      graph.view.pixelsPerReading = 0.1f;
    } else if (s.range(1) == 2) {
      tmv::ScrollTo(graph, rows / 3);
      graph.view.readingsPerDivision = 1.0f;
      graph.view.pixelsPerReading = 10.0f;
    }
    graph.view.cursorActive = true;
    graph.view.cursorIndex = graph.view.firstIndex + 100;
  }
  tmv::DrawContext Context() const { return tmv::DrawContext{data, logger, 0, &metrics}; }
};

void Views(benchmark::internal::Benchmark* b) {
  for (int rows : {3 * kFullLogger / 10, 3 * kFullLogger})
    for (int view : {0, 1, 2})
      for (int stacked : {0, 1}) b->Args({rows, view, stacked});
  b->ArgNames({"readings", "view", "stacked"})->Unit(benchmark::kMillisecond);
}

void BM_GraphSummaryBuild(benchmark::State& s) {
  const tmv::DataSet& d = Logger(kFullLogger, 3);
  for (auto _ : s) {
    tmv::GraphState g;
    tmv::AttachData(g, d);
    benchmark::DoNotOptimize(g.summaries.data());
  }
}
BENCHMARK(BM_GraphSummaryBuild)->Unit(benchmark::kMillisecond);

// The drawing data of one repaint: layout, traces, axes, legend, read-out.
void BM_GraphDrawing(benchmark::State& s) {
  Scene scene(s, tmv::TextMetrics{});
  for (auto _ : s) {
    tmv::LayOutPicture(scene.graph, scene.Context(), kWidth, kHeight, tmv::PictureOptions{16, true});
    tmv::GraphDrawing drawing = tmv::BuildDrawing(scene.graph, scene.Context());
    benchmark::DoNotOptimize(drawing.lines.data());
  }
}
BENCHMARK(BM_GraphDrawing)->Apply(Views);

#ifdef TMV_BENCH_PAINT
// The application and the fonts live to the end of the process: fonts
// destroyed after their application would crash the exit.
const tmv::TextMetrics& PaintMetrics() {
  static tmv::TextMetrics* metrics = nullptr;
  if (metrics == nullptr) {
    static int argc = 1;
    static char name[] = "tmv_bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
    metrics = new tmv::TextMetrics(tmv::paint::MetricsFor(tmv::paint::GraphFont()));
  }
  return *metrics;
}

// A whole repaint as the desktop makes it: drawing data, then every pixel.
void BM_GraphRepaint(benchmark::State& s) {
  Scene scene(s, PaintMetrics());
  const QFont font = tmv::paint::GraphFont();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : s) {
    tmv::LayOutPicture(scene.graph, scene.Context(), kWidth, kHeight, tmv::PictureOptions{16, true});
    const tmv::GraphDrawing drawing = tmv::BuildDrawing(scene.graph, scene.Context());
    QPainter painter(&image);
    tmv::paint::PaintPicture(painter, drawing, font);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_GraphRepaint)->Apply(Views);

// One wheel notch about the pointer and the repaint it brings, in and out
// in turn over the full logger: a frame at 60 frames a second has 16.7 ms.
void BM_GraphWheelFrame(benchmark::State& s) {
  Scene scene(s, PaintMetrics());
  const QFont font = tmv::paint::GraphFont();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  int64_t now = 0;
  int notch = 0;
  for (auto _ : s) {
    // Twenty notches in, twenty out: from every reading to a few hundred and back.
    const double factor = (notch++ / 20) % 2 == 0 ? 0.8 : 1.25;
    tmv::RecordView(scene.graph, tmv::ViewGesture::Wheel, now += 16);
    tmv::ZoomTimeAbout(scene.graph, 700, factor);
    tmv::LayOutPicture(scene.graph, scene.Context(), kWidth, kHeight, tmv::PictureOptions{16, true});
    const tmv::GraphDrawing drawing = tmv::BuildDrawing(scene.graph, scene.Context());
    QPainter painter(&image);
    tmv::paint::PaintPicture(painter, drawing, font);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_GraphWheelFrame)->Args({3 * kFullLogger, 0, 0})->Args({3 * kFullLogger, 0, 1})->Unit(benchmark::kMillisecond);
#endif

}  // namespace
