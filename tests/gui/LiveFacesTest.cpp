// The live-readings and micro-salinometer panels from the menu on the
// emulated loggers: they open, show the first readings and close.
#include "DesktopSupport.h"
#include <QProgressBar>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QDockWidget>

#include "LiveFaces.h"
#include "PanelDock.h"

namespace tmv::qt::guitest {
namespace {

// A panel shown, in its dock beside the graph.
QWidget* VisiblePanel(const char* name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == QLatin1String(name) && w->isVisible()) return w;
  return nullptr;
}

// Runs the window's timer while the emulated clock keeps pace with it.
void Tick(Desktop& desk, int ticks, int periodMs) {
  for (int i = 0; i < ticks; ++i) {
    desk.clock.Advance(periodMs);
    QTest::qWait(periodMs / 10 + 1);
  }
}

TEST(LiveFaces, LiveReadingsPanelShowsAReading) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kFetchLiveReadings)->trigger();
  QWidget* panel = VisiblePanel("liveReadings");
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Find<QLabel>(panel, "value")->text().isEmpty(); }, 10000));
  EXPECT_EQ(S(Find<QLabel>(panel, "channelCaption")->text()), "1 - Conductivity [uS/cm]");
  ExpectNothingClipped(panel);
  Screenshot(panel, "live-readings.png");
  Find<QPushButton>(panel, "closeButton")->click();
  EXPECT_EQ(VisiblePanel("liveReadings"), nullptr);
}

TEST(LiveFaces, MicroSalinometerPanelOpensOnTheVl840) {
  Desktop desk("VL-840");
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kMicroSalinometer)->trigger();
  QWidget* panel = VisiblePanel("microSalinometer");
  ASSERT_NE(panel, nullptr);
  // Beside the graph, in a dock of the main window: it covers none of the readings.
  QDockWidget* dock = DockOf(panel);
  ASSERT_NE(dock, nullptr);
  EXPECT_TRUE(dock->isVisible());
  EXPECT_NE(desk.window->dockWidgetArea(dock), Qt::NoDockWidgetArea);
  // The instrument sends on the emulated clock, here at the pace of the
  // window's own timer (ten times faster while its memory is erased), until
  // the panel shows averaged readings.
  QTimer pace;
  QObject::connect(&pace, &QTimer::timeout, [&] {
    desk.clock.Advance(Find<QProgressBar>(panel, "progressBar")->isVisible() ? 200 : 20);
  });
  pace.start(20);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return Find<QLabel>(panel, "information")->text().contains(QLatin1String("Standard deviation")); }, 20000));
  QTest::qWait(1500);  // a little of the graph
  pace.stop();
  EXPECT_TRUE(Find<QLabel>(panel, "salinity")->text().startsWith(QLatin1String("Sample salinity (PSS-78): ")));
  ExpectNothingClipped(panel);
  Screenshot(panel, "micro-salinometer.png");
  // The window as the user sees it: the panel beside the graph.
  ScreenPicture(QStringLiteral("micro-salinometer-on-screen.png"));
  QPushButton* close = ButtonWithText(panel, QStringLiteral("Close"));
  ASSERT_NE(close, nullptr);
  close->click();
  Tick(desk, 5, 100);
  EXPECT_EQ(VisiblePanel("microSalinometer"), nullptr);
}

}  // namespace
}  // namespace tmv::qt::guitest
