// What a technician expects of a desktop program, on the offscreen
// 1024x768 screen: the next steps on an empty graph, the usual keys and
// help, files dropped on the window, panels beside the graph, and a window
// that comes back where it was.
#include <QDockWidget>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>
#include <QTextBrowser>
#include <QUrl>

#include "ComSettingsFace.h"
#include "DesktopSupport.h"
#include "PanelDock.h"
#include "analysis/DerivedUnitsDialog.h"
#include "link/ComSettingsDialog.h"

namespace tmv::qt::guitest {
namespace {

QWidget* Panel(const char* name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == QLatin1String(name)) return w;
  return nullptr;
}

// Drops a local file on the window, as a file manager does.
void DropFile(QWidget* window, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  const QPoint at = window->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
  QTest::qWait(20);  // the file is read once the drop has ended
}

// A docked panel sits beside or below the graph, not floating over it, and
// the window holding both fits the 1024x768 screen.
void InTheWindowOnTheScreen(Desktop& desk, QDockWidget* dock) {
  QTest::qWait(20);  // the dock finds its place once shown
  EXPECT_FALSE(dock->isFloating());
  const Qt::DockWidgetArea area = desk.window->dockWidgetArea(dock);
  EXPECT_TRUE(area == Qt::RightDockWidgetArea || area == Qt::BottomDockWidgetArea) << area;
  const QRect frame = desk.window->frameGeometry();
  EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(frame))
      << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
}

TEST(DesktopHabits, TheEmptyGraphNamesTheNextStepsAndADroppedFileIsOpened) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.window->Start());
  desk.window->show();
  desk.window->AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(desk.window.get()));
  auto* steps = Find<QLabel>(desk.window.get(), "firstSteps");
  ASSERT_NE(steps, nullptr);
  EXPECT_TRUE(steps->isVisible());
  for (const char* step : {"Retrieve data", "Setup", "Open a data file", "Connect to logger"})
    EXPECT_TRUE(steps->text().contains(QLatin1String(step))) << step;
  EXPECT_TRUE(desk.window->graphArea()->geometry().contains(steps->geometry()));
  ScreenPicture(QStringLiteral("first-start.png"));

  // A text file is refused and says so; a DAT file is read and shown.
  const QString notes = desk.work.path() + "/notes.txt";
  QFile(notes).open(QIODevice::WriteOnly);
  DropFile(desk.window.get(), notes);
  EXPECT_TRUE(desk.Message().contains("only HEX and DAT data files")) << S(desk.Message());
  const QString dat = RetrievedDataFile(desk.work.path(), QStringLiteral("dropped.dat"), 200);
  DropFile(desk.window.get(), dat);
  EXPECT_EQ(desk.window->state().graph.readingCount, 200);
  EXPECT_FALSE(steps->isVisible());
  EXPECT_EQ(desk.window->state().shell.recentFiles.front(), dat.toStdString());
}

TEST(DesktopHabits, TheUsualKeysAndTheManual) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  EXPECT_EQ(desk.window->ui().Action(cmd::kOpenDataFile)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  EXPECT_EQ(desk.window->ui().Action(cmd::kSaveFile)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(desk.window->ui().Action(cmd::kExportData)->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
  desk.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(desk.window.get()));

  // Ctrl+O reads either kind of file.
  const QString dat = RetrievedDataFile(desk.work.path(), QStringLiteral("opened.dat"), 100);
  {
    FileDialogAnswers answers({QFileInfo(dat).absolutePath() + "/hex/opened.hex"});
    QTest::keyClick(desk.window.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(answers.titles.size(), 1);
    EXPECT_TRUE(answers.filters[0].contains("*.hex *.dat")) << S(answers.filters[0]);
  }
  EXPECT_EQ(desk.window->state().graph.readingCount, 100);

  // F1: the manual, from the README, in a window of its own.
  desk.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(desk.window.get()));
  QTest::keyClick(desk.window.get(), Qt::Key_F1);
  QWidget* manual = Panel("manualWindow");
  ASSERT_NE(manual, nullptr);
  EXPECT_TRUE(manual->isVisible());
  const QString text = Find<QTextBrowser>(manual, "manualText")->toPlainText();
  EXPECT_TRUE(text.contains("The desktop program")) << S(text.left(200));
  EXPECT_TRUE(text.contains("Serial ports"));
  Screenshot(manual, "manual.png");
  // What the limits dialog sends the user to exists.
  EXPECT_TRUE(QString::fromLatin1(LimitsDialog::kText).contains("F1"));
  manual->close();
}

TEST(DesktopHabits, PanelsDockBesideTheGraphAndTheWindowComesBackAsItWas) {
  QSettings().clear();
  QRect placed;
  {
    Desktop desk("QN-760");
    ASSERT_TRUE(desk.Connect());
    desk.window->ui().Action(cmd::kFetchLiveReadings)->trigger();
    QWidget* live = Panel("liveReadings");
    ASSERT_NE(live, nullptr);
    QDockWidget* dock = DockOf(live);
    ASSERT_NE(dock, nullptr) << "live readings open beside the graph, not over it";
    EXPECT_TRUE(dock->isVisible());
    // Right of the graph where the screen has room, else below it: in the
    // window, which stays whole on the screen.
    InTheWindowOnTheScreen(desk, dock);
    ScreenPicture(QStringLiteral("live-readings-docked.png"));
    // The user moves it below the graph and the window elsewhere.
    dock->setFloating(false);
    desk.window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    desk.window->setGeometry(40, 30, 960, 640);
    placed = desk.window->geometry();
    Find<QPushButton>(live, "closeButton")->click();
    EXPECT_FALSE(dock->isVisible());
    ASSERT_TRUE(desk.window->close());
    desk.window.reset();
  }
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  EXPECT_EQ(desk.window->geometry(), placed);
  desk.window->ui().Action(cmd::kFetchLiveReadings)->trigger();
  QDockWidget* dock = DockOf(Panel("liveReadings"));
  ASSERT_NE(dock, nullptr);
  EXPECT_EQ(desk.window->dockWidgetArea(dock), Qt::BottomDockWidgetArea);
  dock->close();  // its close box ends the fetch as "Close" does
  EXPECT_EQ(desk.window->shell().modelessStep, nullptr);
  QSettings().clear();
}

TEST(DesktopHabits, TheStatisticsPanelDocks) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  const QString dat = RetrievedDataFile(desk.work.path(), QStringLiteral("stats.dat"), 100);
  ASSERT_EQ(OpenGivenDataFile(desk.window->shell(), dat.toStdString()), 1);
  desk.Item("&Calibration functions", "&View statistics/On-line calibration")->trigger();
  QWidget* panel = Panel("statisticsPanel");
  ASSERT_NE(panel, nullptr);
  QDockWidget* dock = DockOf(panel);
  ASSERT_NE(dock, nullptr);
  EXPECT_TRUE(dock->isVisible());
  InTheWindowOnTheScreen(desk, dock);
  ScreenPicture(QStringLiteral("statistics-docked.png"));
  QTest::keyClick(panel, Qt::Key_Escape);
  EXPECT_FALSE(dock->isVisible());
}

TEST(DesktopHabits, ComSettingsNameTheDeviceEachComNumberMeans) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  ModalScript script;
  script.On(ComSettingsDialog::kTitle, [&](QWidget* d) {
    auto* face = static_cast<ComSettingsFace*>(d);
    ASSERT_GT(face->loggerPorts()->count(), 0);
    const QString item = face->loggerPorts()->itemText(0);
    EXPECT_TRUE(item.contains(QString::fromStdString(desk.window->state().ports.devices.front()))) << S(item);
    EXPECT_TRUE(item.endsWith("(COM1)")) << S(item);
    EXPECT_TRUE(face->loggerPortDetail()->text().startsWith("COM1 is ")) << S(face->loggerPortDetail()->text());
    script.Later(face->cancelButton());
  });
  script.Run(desk.Item("C&onfiguration", "&COM settings"));
}

}  // namespace
}  // namespace tmv::qt::guitest
