// The live-readings and micro-salinometer panels from the menu on the
// emulated loggers: they open, show the first readings and close.
#include "DesktopSupport.h"
#include <QProgressBar>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include "LiveFaces.h"

namespace tmv::qt::guitest {
namespace {

QWidget* VisibleTopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
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
  QWidget* panel = VisibleTopLevel("liveReadings");
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Find<QLabel>(panel, "value")->text().isEmpty(); }, 10000));
  EXPECT_EQ(S(Find<QLabel>(panel, "channelCaption")->text()), "1 - Conductivity [uS/cm]");
  ExpectNothingClipped(panel);
  Screenshot(panel, "live-readings.png");
  Find<QPushButton>(panel, "closeButton")->click();
  EXPECT_EQ(VisibleTopLevel("liveReadings"), nullptr);
}

TEST(LiveFaces, PanelGoesBesideTheWindowAndStaysOnTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize panel(500, 400);
  // Room to the right: level with the window's top.
  EXPECT_EQ(BesidePosition(QRect(100, 50, 1000, 700), panel, screen), QPoint(1100, 50));
  // None to the right: to the left.
  EXPECT_EQ(BesidePosition(QRect(600, 50, 1200, 700), panel, screen), QPoint(100, 50));
  // None on either side: over the window's right edge, still on the screen.
  EXPECT_EQ(BesidePosition(QRect(0, 0, 1920, 1080), panel, screen), QPoint(1420, 0));
  // A window low on the screen: the panel rises to fit.
  EXPECT_EQ(BesidePosition(QRect(100, 900, 600, 150), panel, screen), QPoint(700, 680));
  // A panel taller than the screen keeps its title bar on it.
  EXPECT_EQ(BesidePosition(QRect(100, 50, 600, 150), QSize(500, 1200), QRect(0, 30, 1920, 1050)),
            QPoint(700, 30));
}

TEST(LiveFaces, MicroSalinometerPanelOpensOnTheVl840) {
  Desktop desk("VL-840");
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kMicroSalinometer)->trigger();
  QWidget* panel = VisibleTopLevel("microSalinometer");
  ASSERT_NE(panel, nullptr);
  // Beside the graph: the panel does not cover the main window where there is room.
  const QRect available = panel->screen()->availableGeometry();
  EXPECT_TRUE(available.contains(panel->frameGeometry())) << "on the screen";
  if (desk.window->frameGeometry().right() + panel->width() < available.right()) {
    EXPECT_FALSE(panel->frameGeometry().intersects(desk.window->frameGeometry()));
  }
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
  EXPECT_TRUE(available.contains(panel->frameGeometry())) << "still on the screen with its readings";
  Screenshot(panel, "micro-salinometer.png");
  // The screen as the user sees it: where the panel stands by the graph.
  if (const QString dir = ArtefactDirectory(); !dir.isEmpty()) {
    QPixmap screen(available.size());
    screen.fill(Qt::darkGray);
    QPainter painter(&screen);
    painter.drawPixmap(desk.window->pos() - available.topLeft(), desk.window->grab());
    painter.drawPixmap(panel->pos() - available.topLeft(), panel->grab());
    painter.end();
    EXPECT_TRUE(screen.save(dir + QStringLiteral("/micro-salinometer-on-screen.png")));
  }
  QPushButton* close = ButtonWithText(panel, QStringLiteral("Close"));
  ASSERT_NE(close, nullptr);
  close->click();
  Tick(desk, 5, 100);
  EXPECT_EQ(VisibleTopLevel("microSalinometer"), nullptr);
}

}  // namespace
}  // namespace tmv::qt::guitest
