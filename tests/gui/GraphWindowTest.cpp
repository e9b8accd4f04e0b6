// The graph in the main window: a HEX file named on the command line is
// drawn, zoomed, cursored and captured.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "GuiSupport.h"
#include "GraphWidget.h"
#include "paint/GraphPainter.h"
#include "MainWindow.h"
#include "analysis/DerivedChannels.h"
#include "files/HexFile.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/SampleDecoder.h"
#include "shell/CommandIds.h"
#include "sim/LoggerEmulator.h"
#include "support/ImageBuilder.h"

namespace tmv::qt {
namespace {

// A HEX file of a three-channel logger: a slow tide, a pressure ramp and
// noisy conductivity, with a time stamp and a stop on the way.
std::string WriteHex(const QString& dir, char second = 'P') {
  VirtualClock clock;
  ScriptedUserInterface ui;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  AppState state(serial, clock, ui);
  test::MakeThreeChannelLogger(state);
  state.logger.channelTypes[1] = static_cast<uint8_t>(second);
  test::ImageBuilder b(48);
  for (int r = 0; r < 3000; ++r) {
    if (r == 1500) b.Stamp("TIM", 24, 3, 15, 20, 0, 0);
    const double t = r / 3000.0;
    b.Word(0x700000 + static_cast<uint32_t>(0x80000 * std::sin(t * 12)))
        .Word(0x200000 + static_cast<uint32_t>(r * 900))
        .Word(0x300000 + static_cast<uint32_t>((r * 7919) % 40000) * 4);
  }
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  state.directories.hexOutput = dir.toStdString();
  const std::string path = (dir + QStringLiteral("/000123.hex")).toStdString();
  EXPECT_TRUE(WriteHexFile(state, path));
  return path;
}

TEST(GraphWindow, OpensAHexFileFromTheCommandLineAndDrawsIt) {
  App();
  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  StartupOptions options;
  options.workDirectory = work.path().toStdString();
  options.commandLineFile = WriteHex(work.path());
  auto window = std::make_unique<MainWindow>(serial, clock, options);
  ASSERT_TRUE(window->Start());
  window->show();
  window->AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const GraphState& g = window->state().graph;
  ASSERT_TRUE(g.hasData) << window->state().statusText;
  EXPECT_EQ(g.readingCount, 3000);
  EXPECT_EQ(g.columns, 3);
  EXPECT_TRUE(window->channelButtons()[2]->isVisible());
  EXPECT_FALSE(window->channelButtons()[3]->isVisible());
  // No depth column without depth among the derived units: no "Depth Plot".
  auto* depthButton = window->findChild<QPushButton*>(QStringLiteral("depthPlotButton"));
  ASSERT_NE(depthButton, nullptr);
  EXPECT_FALSE(depthButton->isVisible());
  const GraphDrawing& d = window->graphWidget()->drawing();
  EXPECT_GE(d.lines.size(), 3u);  // readings the thermistor cannot have break its trace

  const QString dir = ArtefactDirectory();
  if (!dir.isEmpty()) {
    EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/graph-whole.png")));
    // The same file for "tmv-cli plot", which draws the same picture.
    QFile::remove(dir + QStringLiteral("/graph.hex"));
    QFile::copy(QString::fromStdString(options.commandLineFile), dir + QStringLiteral("/graph.hex"));
  }

  // "tmv-cli plot" draws the same picture of the same file, and the desktop
  // paints those very pixels in its plot area.
  {
    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("plot.png"));
    QProcess cli;
    cli.start(QStringLiteral(TMV_CLI_PATH), {QStringLiteral("plot"), QString::fromStdString(options.commandLineFile),
                                             QStringLiteral("-o"), png, QStringLiteral("--width"),
                                             QString::number(d.width)});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    QImage plotted(png);
    const QImage desktop = paint::RenderGraphImage(d);
    ASSERT_EQ(plotted.size(), desktop.size());
    EXPECT_TRUE(plotted.convertToFormat(QImage::Format_RGB32) == desktop.convertToFormat(QImage::Format_RGB32));
    const QImage painted = window->graphWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage plotArea = plotted.copy(paint::kPlotLeft, paint::kPlotTop, d.width, d.height).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), plotArea.size());
    EXPECT_TRUE(painted == plotArea);
  }

  // The cursor at the middle, then zoom in on it twice.
  QTest::mouseClick(window->graphArea(), Qt::LeftButton, {}, QPoint(300, 100));
  EXPECT_TRUE(g.view.cursorActive);
  const int cursor = g.view.cursorIndex;
  RunCommand(window->shell(), 2135);
  RunCommand(window->shell(), 2135);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 3.0f);  // on the 1024-pixel screen: fitted, 10, 3
  EXPECT_LE(g.view.firstIndex, cursor);
  EXPECT_TRUE(window->horizontalBar()->isEnabled());
  // Depth chosen: the pressure channel gains a depth column and the button shows.
  AppState& state = window->state();
  state.settings.derived.anyDerived = state.settings.derived.depthEnabled = true;
  AddDerivedChannels(state, state.retrieval.data);
  EXPECT_TRUE(depthButton->isVisible());
  state.settings.derived.anyDerived = state.settings.derived.depthEnabled = false;
  AddDerivedChannels(state, state.retrieval.data);
  EXPECT_FALSE(depthButton->isVisible());
  RunCommand(window->shell(), cmd::kStatistics);
  EXPECT_FALSE(window->state().statistics.meanText.empty());
  if (!dir.isEmpty()) {
    EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/graph-zoomed.png")));
  }
  window->state().shell.exiting = true;
}

// A depth channel: the statistics panel shows the on-line calibration group,
// and "Transfer reading:" takes the mean of the highlighted readings.
TEST(GraphWindow, StatisticsPanelOfADepthChannelOffersTheOnLineCalibration) {
  App();
  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  StartupOptions options;
  options.workDirectory = work.path().toStdString();
  options.commandLineFile = WriteHex(work.path(), 'A');
  auto window = std::make_unique<MainWindow>(serial, clock, options);
  ASSERT_TRUE(window->Start());
  window->show();
  window->AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ASSERT_TRUE(window->state().graph.hasData);
  QTest::mouseClick(window->channelButtons()[1], Qt::LeftButton);
  QTest::mouseClick(window->graphArea(), Qt::LeftButton, {}, QPoint(300, 100));
  RunCommand(window->shell(), cmd::kStatistics);
  auto* panel = window->findChild<QDialog*>(QStringLiteral("statisticsPanel"));
  ASSERT_NE(panel, nullptr);
  auto* group = panel->findChild<QWidget*>(QStringLiteral("calibrationGroup"));
  ASSERT_NE(group, nullptr);
  EXPECT_TRUE(group->isVisible()) << window->state().statistics.title;
  EXPECT_FALSE(panel->findChild<QWidget*>(QStringLiteral("calibrationNote"))->isVisible());
  auto* transfer = panel->findChild<QPushButton*>(QStringLiteral("transferLower"));
  ASSERT_TRUE(transfer != nullptr && transfer->isEnabled());
  QTest::mouseClick(transfer, Qt::LeftButton);
  auto* reading = panel->findChild<QLineEdit*>(QStringLiteral("lowerReading"));
  ASSERT_NE(reading, nullptr);
  EXPECT_EQ(reading->text().toStdString(), window->state().statistics.meanText);
  EXPECT_FALSE(reading->text().isEmpty());
  const QString dir = ArtefactDirectory();
  if (!dir.isEmpty()) {
    EXPECT_TRUE(panel->grab().save(dir + QStringLiteral("/statistics-calibration.png")));
  }

  // A temperature channel has no on-line calibration: only the note shows.
  QTest::mouseClick(window->channelButtons()[0], Qt::LeftButton);
  window->RefreshGraph();
  EXPECT_FALSE(group->isVisible());
  EXPECT_TRUE(panel->findChild<QWidget*>(QStringLiteral("calibrationNote"))->isVisible());
  window->state().shell.exiting = true;
}

}  // namespace
}  // namespace tmv::qt
