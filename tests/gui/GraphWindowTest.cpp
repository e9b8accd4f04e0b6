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
#include "DesktopSupport.h"
#include "paint/GraphPainter.h"
#include "MainWindow.h"
#include "analysis/DerivedChannels.h"
#include "analysis/DerivedUnitsDialog.h"
#include "presentation/GraphCommands.h"
#include "files/DatFile.h"
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

  // "tmv-cli plot" draws the very picture the desktop saves for the same file.
  {
    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("plot.png"));
    QProcess cli;
    cli.start(QStringLiteral(TMV_CLI_PATH), {QStringLiteral("plot"), QString::fromStdString(options.commandLineFile),
                                             QStringLiteral("-o"), png, QStringLiteral("--width"), QStringLiteral("1200"),
                                             QStringLiteral("--height"), QStringLiteral("700")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    AppState& state = window->state();
    const TextMetrics metrics = paint::MetricsFor(paint::GraphFont());
    const DrawContext context{state.retrieval.data, state.logger, DerivedUnitChoice(state), &metrics};
    const QImage desktop = paint::RenderGraphImage(DrawPictureAt(state.graph, context, 1200, 700));
    const QImage plotted(png);
    ASSERT_EQ(plotted.size(), QSize(1200, 700));
    EXPECT_TRUE(plotted.convertToFormat(QImage::Format_RGB32) == desktop.convertToFormat(QImage::Format_RGB32));
    // The screen's view is left as it was.
    EXPECT_EQ(g.view.width, window->graphArea()->width());
    // The same picture as a drawing and as a document, the format named or taken from the file's name.
    const QString svg = out.filePath(QStringLiteral("plot.drawing")), pdf = out.filePath(QStringLiteral("plot.pdf"));
    for (const QStringList& args : {QStringList{QStringLiteral("-o"), svg, QStringLiteral("--format"), QStringLiteral("SVG")},
                                    QStringList{QStringLiteral("-o"), pdf, QStringLiteral("--width"), QStringLiteral("800")}}) {
      cli.start(QStringLiteral(TMV_CLI_PATH), QStringList{QStringLiteral("plot"), QString::fromStdString(options.commandLineFile)} + args);
      ASSERT_TRUE(cli.waitForFinished(30000));
      EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    }
    QFile drawing(svg), document(pdf);
    ASSERT_TRUE(drawing.open(QIODevice::ReadOnly) && document.open(QIODevice::ReadOnly));
    const QByteArray svgText = drawing.readAll();
    EXPECT_TRUE(svgText.contains("<svg")) << svgText.left(200).toStdString();
    EXPECT_TRUE(svgText.contains("Temperature [degrees C]"));
    EXPECT_TRUE(document.readAll().startsWith("%PDF"));
  }

  // The cursor at the middle, then zoom in on it twice.
  QTest::mouseClick(window->graphArea(), Qt::LeftButton, {}, QPoint(300, 100));
  EXPECT_TRUE(g.view.cursorActive);
  const int cursor = g.view.cursorIndex;
  const float whole = g.view.readingsPerDivision;
  RunCommand(window->shell(), 2135);
  RunCommand(window->shell(), 2135);
  EXPECT_LT(g.view.readingsPerDivision, whole / 3);
  EXPECT_LE(g.view.firstIndex, cursor);
  EXPECT_GE(LastShownIndex(g), cursor);
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


// Two weeks of a moored logger ten minutes apart: a daily warming over a
// slow cooling, a 12.4-hour tide in the pressure, and conductivity that
// follows the temperature as sea water's does.
std::string WriteSeaDat(const QString& dir) {
  VirtualClock clock;
  ScriptedUserInterface ui;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  AppState state(serial, clock, ui);
  test::MakeThreeChannelLogger(state);
  state.retrieval.data.deployment.samplingPeriod = MakeClock(0, 10, 0);
  DataSet& d = state.retrieval.data;
  const int rows = 14 * 144;
  EXPECT_TRUE(d.LayOut(3, rows));
  d.channelCount = d.totalChannelCount = 3;
  d.sampleCount = rows;
  d.startTime = d.deployment.startTime;
  d.samplePeriodSeconds = 600;
  for (int c = 0; c < 3; ++c) d.channelTypes[static_cast<size_t>(c)] = d.columnCodes[static_cast<size_t>(c)] = state.logger.channelTypes[static_cast<size_t>(c)];
  const double pi = std::acos(-1.0);
  for (int r = 0; r < rows; ++r) {
    const double hours = r / 6.0;
    const double t = 14.0 - 0.12 * hours / 24 + 1.3 * std::sin(2 * pi * (hours - 9) / 24) + 0.05 * std::sin(r * 1.7);
    d.Column(0)[r] = static_cast<float>(t);
    // Ten metres of water under the air's ten decibars; the flood brings saltier water.
    const double tide = std::sin(2 * pi * hours / 12.42);
    d.Column(1)[r] = static_cast<float>(20.4 + 1.1 * tide);
    d.Column(2)[r] = static_cast<float>(42000 + 950 * (t - 14) + 400 * tide);
  }
  const std::string path = (dir + QStringLiteral("/000123.dat")).toStdString();
  EXPECT_TRUE(WriteDatFile(state, path));
  return path;
}

// The main window on a data file named on its command line, shown.
std::unique_ptr<MainWindow> OpenFileWindow(const std::string& file, QTemporaryDir& work, VirtualClock& clock,
                                           sim::EmulatedSerialSystem& serial) {
  StartupOptions options;
  options.workDirectory = work.path().toStdString();
  options.commandLineFile = file;
  auto window = std::make_unique<MainWindow>(serial, clock, options);
  if (!window->Start()) return nullptr;
  window->show();
  window->AfterShow();
  if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
  return window;
}

void Save(QWidget* widget, const char* name) {
  QTest::qWait(20);  // the layouts settle, as they do before a user sees them
  const QString dir = ArtefactDirectory();
  if (!dir.isEmpty()) {
    EXPECT_TRUE(widget->grab().save(dir + QLatin1Char('/') + QLatin1String(name)));
  }
}

// The plot fills the window's free area at 1024 x 768, grows with the
// window maximised on a 1920 x 1080 screen, and shrinks with it; the wheel,
// the keys and a drawn box zoom it and Back undoes them.
TEST(GraphWindow, PlotFillsAndFollowsTheWindowAndTakesTheMouseAndKeys) {
  // A screen of today's size for this process's desktop, when it is the first.
  static QTemporaryDir config;
  if (QCoreApplication::instance() == nullptr && qgetenv("QT_QPA_PLATFORM") == "offscreen") {
    const QString file = config.filePath(QStringLiteral("screens.json"));
    QFile json(file);
    if (json.open(QIODevice::WriteOnly)) {
      json.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080, "dpi": 96,
                     "logicalDpi": 96, "dpr": 1}]})");
      json.close();
      qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit());
    }
  }
  App();
  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  auto window = OpenFileWindow(WriteSeaDat(work.path()), work, clock, serial);
  ASSERT_NE(window, nullptr);
  const GraphState& g = window->state().graph;
  ASSERT_TRUE(g.hasData);
  QWidget* plot = window->graphArea();

  window->resize(1024, 768);
  QTest::qWait(50);
  const QRect small = plot->geometry();
  EXPECT_GT(small.width(), 1024 * 6 / 10);
  EXPECT_GT(small.height(), 768 * 4 / 10);
  EXPECT_EQ(g.view.width, small.width());
  EXPECT_EQ(g.view.height, small.height());
  QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(small.width() / 3, 50));
  QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, QPoint(small.width() * 2 / 3, 50));
  ASSERT_TRUE(g.view.cursorActive && g.view.cursor2Active);
  Save(window.get(), "graph-1024x768.png");

  window->showMaximized();
  QTest::qWait(100);
  const QRect screen = window->screen()->availableGeometry();
  const QRect wide = plot->geometry();
  // All that the window gains, the plot gains. (A desktop of this process
  // made before this test may have a smaller screen than 1920 x 1080.)
  if (screen.width() >= 1920) {
    EXPECT_GE(window->width(), screen.width() * 9 / 10);
    EXPECT_GE(wide.width(), small.width() + (window->width() - 1024) * 9 / 10);
    EXPECT_GE(wide.height(), small.height() + (window->height() - 768) * 9 / 10);
  }
  EXPECT_EQ(g.view.width, wide.width());
  Save(window.get(), "graph-maximised-1920x1080.png");
  QPushButton* stacked = window->findChild<QPushButton*>(QStringLiteral("stackedButton"));
  ASSERT_NE(stacked, nullptr);
  stacked->click();
  EXPECT_EQ(window->graphWidget()->drawing().panels.size(), 3u);
  Save(window.get(), "graph-stacked-maximised.png");
  stacked->click();
  window->showNormal();
  window->resize(800, 600);
  QTest::qWait(50);
  EXPECT_LT(plot->width(), small.width());

  // The wheel zooms time about the pointer; Alt+Left goes back; a drawn box zooms in.
  QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(10, 10));  // the focus
  const float whole = g.view.readingsPerDivision;
  const QPoint at(plot->width() / 2, plot->height() / 2);
  QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &wheel);
  EXPECT_LT(g.view.readingsPerDivision, whole * 0.6f);
  QTest::keyClick(window->graphWidget(), Qt::Key_Left, Qt::AltModifier);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, whole);
  QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(100, 40));
  QTest::mouseMove(plot, QPoint(160, 80));
  QTest::mouseMove(plot, QPoint(200, 120));
  QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(200, 120));
  EXPECT_LT(g.view.readingsPerDivision, whole / 2);
  QTest::keyClick(window->graphWidget(), Qt::Key_0);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, whole);
  // Every button of the graph says what it does.
  for (QPushButton* b : window->centralWidget()->findChildren<QPushButton*>())
    if (b->isVisible()) {
      EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
    }
  window->state().shell.exiting = true;
}

// Count of the pixels of a colour inside a rectangle of an image.
int PixelsOf(const QImage& image, const GraphRect& r, Rgb colour) {
  const QRgb want = qRgb(colour.r, colour.g, colour.b);
  int n = 0;
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, image.height()); ++y)
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, image.width()); ++x) n += image.pixel(x, y) == want;
  return n;
}

// Salinity and depth switched on while a file is shown: the salinity trace
// is drawn at once over its own range (it used to stay an empty axis about 0
// until the program started again), and the depth plot labels its axes with
// depth in metres and the channel across, without the zoom buttons.
TEST(GraphWindow, DerivedChannelsAddedWhileDataIsShownAreDrawnAndTheDepthPlotNamesDepth) {
  App();
  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  auto window = OpenFileWindow(WriteSeaDat(work.path()), work, clock, serial);
  ASSERT_NE(window, nullptr);
  window->resize(1024, 768);
  QTest::qWait(50);
  AppState& state = window->state();
  {
    DerivedUnitsDialog dialog(state);
    if (!dialog.Checked(DerivedUnitsDialog::kDepth)) dialog.Click(DerivedUnitsDialog::kDepth);
    if (!dialog.Checked(DerivedUnitsDialog::kSalinity)) dialog.Click(DerivedUnitsDialog::kSalinity);
    EXPECT_EQ(dialog.Ok(), 1);
  }
  const int salinity = FindDerivedColumns(state.retrieval.data).salinity;
  ASSERT_GE(salinity, 3);
  GraphWidget* graph = window->graphWidget();
  EXPECT_TRUE(window->channelButtons()[static_cast<size_t>(salinity)]->isVisible());
  // Only salinity shown: its trace alone, spread over the panel.
  QTest::mouseClick(window->channelButtons()[static_cast<size_t>(salinity)], Qt::LeftButton);
  const GraphDrawing& d = graph->drawing();
  int top = 1 << 30, bottom = -(1 << 30);
  for (const GraphPolyline& line : d.lines) {
    EXPECT_EQ(line.channel, salinity);
    for (const GraphPoint& p : line.points) {
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
  }
  EXPECT_GT(bottom - top, d.plot.h / 2);
  const QImage image = graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_GT(PixelsOf(image, d.plot, ChannelColour(salinity)), d.plot.w / 2);
  Save(window.get(), "graph-salinity-added.png");

  // The depth plot: the chosen channel across, depth in metres downwards.
  auto* depthButton = window->findChild<QPushButton*>(QStringLiteral("depthPlotButton"));
  ASSERT_TRUE(depthButton != nullptr && depthButton->isVisible());
  QTest::mouseClick(window->channelButtons()[0], Qt::LeftButton);
  depthButton->click();
  ASSERT_TRUE(state.graph.view.xyMode);
  std::string across, down;
  for (const GraphText& t : graph->drawing().texts)
    if (t.style == TextStyle::Title) (t.vertical ? down : across) += t.text;
  EXPECT_NE(down.find("Depth [m]"), std::string::npos) << down;
  EXPECT_NE(across.find("Temperature [degrees C]"), std::string::npos) << across;
  EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("zoomInButton"))->isVisible());
  EXPECT_GT(PixelsOf(graph->grab().toImage().convertToFormat(QImage::Format_RGB32), graph->drawing().plot,
                     ChannelColour(0)), 50);
  Save(window.get(), "graph-depth-plot.png");
  depthButton->click();
  EXPECT_FALSE(state.graph.view.xyMode);
  EXPECT_TRUE(window->findChild<QPushButton*>(QStringLiteral("zoomInButton"))->isVisible());
  window->state().shell.exiting = true;
}

}  // namespace
}  // namespace tmv::qt
