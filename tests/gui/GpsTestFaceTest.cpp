// "&GPS test" from the menu, with the emulated GPS receiver on the second
// port: the ship's position appears in the dialog, and the port is closed
// once the dialog is.
#include "DesktopSupport.h"
#include "retrieval/GpsTest.h"
#include "sim/Gps.h"

namespace tmv::qt::guitest {
namespace {

TEST(GpsTestFace, ShowsTheEmulatedShipsPositionAndClosesThePort) {
  Desktop desk("QN-760");
  sim::GpsOptions options;
  options.latitude = -12.5;
  options.longitude = -38.5;
  options.corruptRate = 0.2;
  sim::GpsEmulator gps(options);
  desk.serial.AttachGps(gps);  // listed after the logger's port: COM2
  ASSERT_TRUE(desk.Connect());
  desk.window->state().ports.gpsPort = 2;
  const int opensBefore = desk.serial.gpsOpens;  // start-up probed the port once

  QString position, counts;
  int sentences = 0;
  int polls = 0;
  QTimer drive;
  // The GPS sends on the emulated clock: it runs ahead a tick's worth at a
  // time until the dialog has shown a few positions.
  QObject::connect(&drive, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal->windowTitle() != QLatin1String("GPS Test")) return;
    desk.clock.Advance(GpsTestDialog::kTickMs);
    auto* shown = Find<QLabel>(modal, "gpsPosition");
    auto* list = Find<QListWidget>(modal, "gpsSentences");
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(list, nullptr);
    const bool enough = desk.window->state().gps.positions >= 6 && shown->text() != QLatin1String("No position yet");
    if (!enough && ++polls < 2000) return;
    drive.stop();
    position = shown->text();
    counts = Find<QLabel>(modal, "gpsCounts")->text();
    sentences = list->count();
    ExpectNothingClipped(modal);
    Screenshot(modal, "gps-test.png");
    auto* box = modal->findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    box->button(QDialogButtonBox::Close)->click();
  });
  drive.start(30);
  desk.Item("&Logger functions", "&GPS test")->trigger();  // returns when the dialog has closed

  EXPECT_LT(polls, 2000) << "no position came";
  EXPECT_EQ(desk.serial.gpsOpens, opensBefore + 1);
  EXPECT_FALSE(desk.window->state().gpsLink.IsOpen());
  EXPECT_TRUE(position.startsWith(QLatin1String(" 12"))) << S(position);
  EXPECT_TRUE(position.contains(QLatin1String(",S,"))) << S(position);
  EXPECT_TRUE(position.endsWith(QLatin1String(",W"))) << S(position);
  EXPECT_TRUE(counts.startsWith(QLatin1String("Positions: "))) << S(counts);
  EXPECT_GE(sentences, 3);
  // The tick is the shell's own again, and drives no GPS.
  EXPECT_FALSE(desk.window->shell().modelessStep);
}

}  // namespace
}  // namespace tmv::qt::guitest
