// A real-time collection seen as the user sees it: the graph follows the
// newest readings at the scale of the real-time limits, the zoom-in button
// reads "End Real-time Display", and pressing it ends the collection with
// the file read back.
#include "DesktopSupport.h"

#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "presentation/GraphView.h"
#include "shell/Shell.h"

namespace tmv::qt::guitest {
namespace {

// Programs the connected logger for a one-second deployment with real-time output.
bool EnableRealTime(Desktop& desk) {
  AppState& state = desk.window->state();
  AssessCapabilities(state);
  CommGet(state, 16);
  CommGet(state, 10);
  DeploymentSettings& d = state.deployment;
  d.loggerClock = desk.emulator.ClockAt(desk.clock.Milliseconds());
  d.startMode = kStartNow;
  d.endTime = AddSeconds(d.loggerClock, 2 * 86400);
  d.endTime.second = 0;
  d.endTime.milliseconds = 0;
  d.samplingPeriod = MakeClock(0, 0, 1);
  d.averagingEnabled = false;
  d.averagingPeriod = 0;
  d.realTimeOutput = 1;
  RecomputeRealTimeBaud(state);
  EnableRun run;
  BeginEraseAndProgram(state, run);
  for (int tick = 0; run.erasing && tick < 400; ++tick) {
    desk.clock.Advance(1000);
    EnableTick(state, run);
  }
  return run.outcome == 1 || ProgramAndEnable(state, run) == 1;
}

TEST(RealTimeWindow, GraphFollowsAtTheLimitsScaleAndTheZoomButtonEndsTheCollection) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  ASSERT_TRUE(EnableRealTime(desk));
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
