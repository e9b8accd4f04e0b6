// A real-time collection seen as the user sees it: the graph follows the
// newest readings at the scale of the real-time limits, the zoom-in button
// reads "End Real-time Display", and pressing it ends the collection with
// the file read back.
#include "DesktopSupport.h"

#include "presentation/GraphView.h"
#include "shell/Shell.h"
#include "support/RealTimeDeployment.h"

namespace tmv::qt::guitest {
namespace {

TEST(RealTimeWindow, GraphFollowsAtTheLimitsScaleAndTheZoomButtonEndsTheCollection) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  ASSERT_TRUE(test::EnableRealTimeDeployment(desk.window->state(), desk.emulator, desk.clock));
  AppState& state = desk.window->state();
  const QString file = desk.work.path() + QStringLiteral("/realtime.hex");
  FileDialogAnswers answers({file});
  ASSERT_EQ(BeginRealTimeDisplay(desk.window->shell()), 1);
  auto* zoomIn = Find<QPushButton>(desk.window.get(), "zoomInButton");
  EXPECT_EQ(zoomIn->text(), QStringLiteral("End Real-time Display"));
  // The logger's clock keeps pace with the window's own tick.
  QTimer pace;
  QObject::connect(&pace, &QTimer::timeout, [&] { desk.clock.Advance(state.realTime.tickPeriodMs); });
  pace.start(5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return state.realTime.readingsShown >= 200; }, 60000));
  pace.stop();
  QTest::qWait(50);
  // Temperature is scaled by its limits (35 and -5 by default): 2 units a division.
  EXPECT_FLOAT_EQ(state.graph.view.unitsPerDivision[static_cast<size_t>(KindOfCode('T'))], 2.0f);
  EXPECT_EQ(state.graph.view.firstIndex, state.retrieval.data.sampleCount - kRealTimeReadings);
  // Every channel is drawn across the plot.
  const GraphDrawing drawing = BuildDrawing(state.graph, DrawContext{state.retrieval.data, state.logger, 0});
  std::vector<size_t> points(static_cast<size_t>(state.retrieval.data.totalChannelCount));
  for (const GraphPolyline& line : drawing.lines)
    if (line.channel >= 0 && line.channel < static_cast<int>(points.size())) points[static_cast<size_t>(line.channel)] += line.points.size();
  for (size_t c = 0; c < points.size(); ++c) EXPECT_GE(points[c], 150u) << "channel " << c + 1;
  Screenshot(desk.window.get(), "real-time-display.png");
  const int rows = state.realTime.readingsShown;
  zoomIn->click();  // the question is turned away: the default, transmission goes on
  ASSERT_TRUE(QTest::qWaitFor([&] { return !state.shell.realTimeActive; }, 10000));
  EXPECT_EQ(zoomIn->text(), QStringLiteral("+"));
  EXPECT_EQ(state.retrieval.currentFile, file.toStdString());
  EXPECT_GE(state.retrieval.data.sampleCount, rows);
}

}  // namespace
}  // namespace tmv::qt::guitest
