// The "Wave measurements" window paints what the core's view holds and stays
// one window however often the cursor moves.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <cmath>

#include "DesktopSupport.h"
#include "GuiSupport.h"
#include "analysis/WaveAnalysis.h"
#include "files/HexFile.h"
#include "platform/ScriptedUserInterface.h"
#include "support/KzmRecording.h"
#include "WaveFace.h"

namespace tmv::qt {
namespace {

TEST(WaveFace, ShowsTheViewOfTheBurstAndKeepsOneWindow) {
  App();
  QWidget main;
  WaveWindowView view;
  view.shown = true;
  view.burst = 1;
  view.title = "Wave measurements at 2010/Jun/07 17:00:00 - Wave 2 of 3";
  view.text = "Mean depth of water:\t\t10.45 m";
  for (int i = 0; i < 512; ++i) view.surface.push_back(static_cast<float>(std::sin(i / 10.0)));
  view.crestMax = 1.0f;
  view.troughMin = -1.0f;
  view.frequency = {0.0, 0.1, 0.2};
  view.amplitude = {0.0, 1.0, 0.2};
  EXPECT_EQ(ShowWaveFace(view, &main), 1);
  auto* face = main.findChild<WaveFace*>("waveWindow");
  ASSERT_NE(face, nullptr);
  EXPECT_TRUE(face->isVisible());
  EXPECT_EQ(face->windowTitle().toStdString(), view.title);
  EXPECT_EQ(face->findChild<QLabel*>("waveText")->text().toStdString(), view.text);
  EXPECT_FALSE(face->grab().isNull());  // the trace and the spectrum paint

  view.title = "Wave measurements at 2010/Jun/07 18:00:00 - Wave 3 of 3";
  ShowWaveFace(view, &main);
  EXPECT_EQ(main.findChildren<WaveFace*>(QStringLiteral("waveWindow")).size(), 1);
  EXPECT_EQ(face->windowTitle().toStdString(), view.title);
  face->close();
}

// A tide-and-wave recording opened in the main window: the wave window
// follows the graph's cursor from burst to burst and stays one window, and
// "Save a KZM csv file" is offered.
TEST(WaveFace, FollowsTheCursorInTheMainWindowAndTheKzmCsvIsOffered) {
  guitest::Desktop desk("KZM-5170");
  {
    VirtualClock clock;
    ScriptedUserInterface ui;
    sim::LoggerEmulator emulator(sim::ProfileByName("KZM-5170"));
    sim::EmulatedSerialSystem serial(emulator, clock);
    AppState recorded(serial, clock, ui);
    recorded.directories.work = desk.work.path().toStdString();
    recorded.settings.derived.anyDerived = recorded.settings.derived.depthEnabled = true;
    test::LogKzmBurstsAndDecode(recorded, emulator, clock);
    ASSERT_TRUE(WriteHexFile(recorded, desk.work.filePath(QStringLiteral("051705.hex")).toStdString()));
  }
  QFile ini(desk.work.filePath(QStringLiteral("tmv.ini")));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("Depth Seawater=ON\n");
  ini.close();
  StartupOptions options;
  options.workDirectory = desk.work.path().toStdString();
  options.commandLineFile = desk.work.filePath(QStringLiteral("051705.hex")).toStdString();
  desk.window->state().shell.exiting = true;
  desk.window.reset();  // one main window at a time in this process
  desk.window = std::make_unique<MainWindow>(desk.serial, desk.clock, options);
  MainWindow& w = *desk.window;
  ASSERT_TRUE(w.Start());
  w.show();
  w.AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_TRUE(w.state().graph.hasData) << w.state().statusText;
  const WaveStore* store = WaveResults(w.state());
  ASSERT_NE(store, nullptr);
  ASSERT_EQ(store->Count(), 3);

  QTest::mouseClick(w.graphArea(), Qt::LeftButton, {}, QPoint(20, 100));
  auto* face = w.findChild<WaveFace*>("waveWindow");
  ASSERT_NE(face, nullptr);
  EXPECT_TRUE(face->isVisible());
  const std::string first = face->windowTitle().toStdString();
  EXPECT_EQ(first.rfind("Wave measurements at ", 0), 0u) << first;
  QTest::mouseClick(w.graphArea(), Qt::LeftButton, {}, QPoint(w.graphArea()->width() - 20, 100));
  EXPECT_EQ(w.findChildren<WaveFace*>(QStringLiteral("waveWindow")).size(), 1);  // by name: WaveFace has no meta-object of its own
  EXPECT_NE(face->windowTitle().toStdString(), first);  // another burst
  EXPECT_NE(face->windowTitle().toStdString().find("of 3"), std::string::npos);
  guitest::Screenshot(face, "wave-window.png");
  ScreenPicture(QStringLiteral("wave-window-docked.png"));

  // "Save a KZM csv file" is on the File menu, enabled for this recording
  // (what it writes is tested with the wave files).
  QAction* save = desk.Item(QStringLiteral("&File"), QStringLiteral("Save a KZM &csv file"));
  ASSERT_NE(save, nullptr);
  EXPECT_TRUE(save->isEnabled());
  face->close();
}

}  // namespace
}  // namespace tmv::qt
