// The desktop program's main window on the offscreen platform, with the
// emulated logger and a virtual clock behind it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include "GuiSupport.h"
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ComSettingsFace.h"
#include "GraphWidget.h"
#include "MainWindow.h"
#include "StatusLine.h"
#include "files/WorkFiles.h"
#include "link/ComSettingsDialog.h"
#include "shell/CommandIds.h"
#include "shell/StatusLine.h"
#include "sim/LoggerEmulator.h"

namespace tmv::qt {
namespace {

// Answers every message box that comes up with `button`, remembering what it said.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton button) {
    QObject::connect(&timer_, &QTimer::timeout, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      titles.push_back(box->windowTitle());
      texts.push_back(box->text());
      box->button(button)->click();
    });
    timer_.start(10);
  }
  QStringList titles, texts;

 private:
  QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : emulator(sim::ProfileByName("QN-760"), clock.LocalTime()), serial(emulator, clock) {
    App();
    StartupOptions options;
    options.workDirectory = work.path().toStdString();
    window = std::make_unique<MainWindow>(serial, clock, options);
  }
  ~MainWindowTest() override {
    window->state().shell.exiting = true;  // no exit question when the fixture goes
    window.reset();
  }

  bool Open() {
    if (!window->Start()) return false;
    window->show();
    window->AfterShow();
    return QTest::qWaitForWindowExposed(window.get());
  }
  QString Status(int part) const { return window->statusLine()->PartText(part); }

  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator;
  sim::EmulatedSerialSystem serial;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, OpensWithTitleMenusStatusPartsAndLayout) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("TMV Data Loggers 6.16"));

  QStringList bar;
  for (QAction* a : window->menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{"&File", "&Setup", "&Retrieve data", "&Logger functions", "&Calibration functions",
                              "&Micro-Salinometer", "&Analysis", "C&onfiguration", "&Help", "A&bout"}));
  EXPECT_TRUE(window->ui().Action(cmd::kComSettings)->isEnabled());
  EXPECT_TRUE(window->ui().Action(cmd::kConnect)->isEnabled());
  EXPECT_TRUE(window->ui().Action(cmd::kSetup)->isEnabled());
  EXPECT_TRUE(window->ui().Action(cmd::kRetrieveData)->isEnabled());
  EXPECT_TRUE(window->ui().Action(cmd::kReadDatFile)->isEnabled());
  EXPECT_FALSE(window->ui().Action(cmd::kSaveFile)->isEnabled());  // nothing to save yet
  EXPECT_TRUE(window->ui().Action(cmd::kMicroSalinometer)->isEnabled());
  EXPECT_FALSE(window->ui().Action(cmd::kRunConfigurationScript)->isEnabled());  // not built: greyed
  EXPECT_EQ(window->ui().Action(cmd::kShowRangeChanges)->text(), QStringLiteral("&Show range changes"));
  EXPECT_TRUE(window->ui().Action(cmd::kShowRangeChanges)->isCheckable());

  EXPECT_EQ(Status(StatusLine::kMessage), QStringLiteral("Ready"));
  EXPECT_EQ(Status(StatusLine::kConnection), QStringLiteral("Not connected"));
  EXPECT_EQ(Status(StatusLine::kClock), QStringLiteral("2010/Jun/07 15:30:00"));
  EXPECT_FALSE(window->statusLine()->WarningShown());
  const auto b = window->statusLine()->Boundaries();
  const double s = window->layoutInfo().dpiScale;
  const int w = window->statusLine()->width();
  EXPECT_EQ(b[0], 15);
  EXPECT_EQ(b[1], w - static_cast<int>(254 * s));
  EXPECT_EQ(b[3], w - static_cast<int>(139 * s));
  EXPECT_EQ(window->statusLine()->Part(StatusLine::kClock)->geometry().right(), w - 1);

  const WindowLayout& l = window->layoutInfo();
  EXPECT_EQ(l.graphWidth, ((std::min(l.usableWidth, 1000) - 163) / 50) * 50 + 3);
  // The graph takes the window's central area.
  EXPECT_GT(window->graphWidget()->width(), window->centralWidget()->width() * 9 / 10);
  ASSERT_EQ(window->channelButtons().size(), 24u);
  EXPECT_FALSE(window->channelButtons()[0]->isVisible());  // nothing to show before data exists

  // A warning text brings the icon; the tick moves the clock on.
  ShowStatus(window->state(), "Unable to Communicate with Logger on COM1");
  EXPECT_TRUE(window->statusLine()->WarningShown());
  clock.Advance(1000);
  ShellTick(window->shell());
  EXPECT_EQ(Status(StatusLine::kClock), QStringLiteral("2010/Jun/07 15:30:01"));

  const QString dir = ArtefactDirectory();
  if (!dir.isEmpty()) {
    ShowStatus(window->state(), "Ready");
    EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/main-window.png")));
  }
}

TEST_F(MainWindowTest, AWorkDirectoryThatCannotBeWrittenEndsTheStartWithoutAWindow) {
  QFile blocker(work.filePath(QStringLiteral("dat")));  // a file where the directory must go
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  BoxAnswerer answerer(QMessageBox::Ok);
  EXPECT_FALSE(window->Start());
  ASSERT_EQ(answerer.titles.size(), 1);
  EXPECT_EQ(answerer.titles[0], QStringLiteral("Startup"));
  EXPECT_EQ(answerer.texts[0], QStringLiteral("Error: Unable to create the '") + work.path() +
                                   QStringLiteral("/dat' directory\nCheck that your TMV directory is not write "
                                                  "protected."));
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->state().shell.exiting);
}

TEST_F(MainWindowTest, ASecondCopyMarksItsTitleAndItsDialogs) {
  ASSERT_TRUE(Open());
  QFile copies(work.filePath(QStringLiteral("tmv_copies.ini")));
  ASSERT_TRUE(copies.open(QIODevice::WriteOnly));
  copies.write("Allow multiple copies\r\n");
  copies.close();
  StartupOptions options;
  options.workDirectory = work.path().toStdString();
  MainWindow second(serial, clock, options);
  {
    BoxAnswerer answerer(QMessageBox::Yes);
    ASSERT_TRUE(second.Start());
    ASSERT_EQ(answerer.titles.size(), 1);
    EXPECT_EQ(answerer.titles[0], QStringLiteral("TMV Data Loggers - Multiple copy"));
  }
  second.state().shell.exiting = true;  // no exit question when it goes
  EXPECT_EQ(second.windowTitle(), QStringLiteral("Copy 2 : TMV Data Loggers 6.16"));

  ComSettingsDialog::Callbacks callbacks;
  callbacks.saveSettings = [](AppState&) {};
  callbacks.connect = [](AppState&) {};
  ComSettingsDialog model(second.state(), callbacks);
  model.Open();
  ComSettingsFace face(model, &second);
  face.show();
  EXPECT_EQ(face.windowTitle(), QStringLiteral("Copy 2 : TMV Logger - COM Settings"));
  face.hide();
  face.show();  // shown again: still one prefix
  EXPECT_EQ(face.windowTitle(), QStringLiteral("Copy 2 : TMV Logger - COM Settings"));

  // The first copy's dialogs keep their plain titles.
  ComSettingsDialog firstModel(window->state(), callbacks);
  firstModel.Open();
  ComSettingsFace firstFace(firstModel, window.get());
  firstFace.show();
  EXPECT_EQ(firstFace.windowTitle(), QStringLiteral("TMV Logger - COM Settings"));
}

TEST_F(MainWindowTest, ConnectingFromTheMenuShowsTheLoggerInTheStatusLine) {
  ASSERT_TRUE(Open());
  window->ui().Action(cmd::kConnect)->trigger();
  EXPECT_EQ(Status(StatusLine::kMessage),
            QStringLiteral("TMV Data Logger: QN-760  6.10 012345 connected on COM1 at 19200 baud."));
  EXPECT_EQ(Status(StatusLine::kConnection), QStringLiteral("19200 baud"));
  EXPECT_NE(window->statusLine()->UnitsShown(), 0);

  window->ui().Action(cmd::kDisconnect)->trigger();
  EXPECT_EQ(Status(StatusLine::kMessage), QStringLiteral("Logger Disconnected"));
  EXPECT_EQ(Status(StatusLine::kConnection), QStringLiteral("Not connected"));
}

TEST_F(MainWindowTest, ComSettingsRefusesOnePortForLoggerAndGps) {
  ASSERT_TRUE(Open());
  ComSettingsDialog::Callbacks callbacks;
  int connects = 0;
  callbacks.saveSettings = [](AppState&) {};
  callbacks.connect = [&](AppState&) { ++connects; };
  ComSettingsDialog model(window->state(), callbacks);
  model.Open();
  ComSettingsFace face(model, window.get());
  face.show();
  ASSERT_GE(face.loggerPorts()->count(), 1);
  EXPECT_EQ(face.gpsPorts()->itemText(0), QStringLiteral("Not used"));
  EXPECT_FALSE(face.gpsBauds()->isEnabled());
  EXPECT_FALSE(face.radioDelay()->isEnabled());
  face.radioBox()->setChecked(true);
  EXPECT_TRUE(face.radioDelay()->isEnabled());
  face.radioBox()->setChecked(false);

  face.loggerPorts()->setCurrentIndex(0);
  face.gpsPorts()->setCurrentIndex(1);  // the same port
  EXPECT_TRUE(face.gpsBauds()->isEnabled());
  {
    BoxAnswerer answerer(QMessageBox::Ok);
    face.okButton()->click();
    ASSERT_EQ(answerer.titles.size(), 1);
    EXPECT_EQ(answerer.titles[0], QStringLiteral("Port Configuration Error"));
    EXPECT_TRUE(answerer.texts[0].startsWith(QStringLiteral("The connection to the logger and\n")));
  }
  EXPECT_TRUE(face.isVisible());
  EXPECT_EQ(face.result(), 0);
  EXPECT_EQ(connects, 0);

  face.gpsPorts()->setCurrentIndex(0);
  face.okButton()->click();
  EXPECT_FALSE(face.isVisible());
  EXPECT_EQ(face.result(), QDialog::Accepted);
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(window->state().ports.gpsPort, 0);
}

TEST_F(MainWindowTest, ClosingWithUnsavedDataAsksFirst) {
  ASSERT_TRUE(Open());
  window->state().shell.dataRetrieved = true;
  {
    BoxAnswerer answerer(QMessageBox::Yes);
    window->close();
    ASSERT_EQ(answerer.titles.size(), 1);
    EXPECT_EQ(answerer.titles[0], QStringLiteral("Program Exit"));
  }
  EXPECT_TRUE(window->isVisible());  // Yes: back to save the data
  {
    BoxAnswerer answerer(QMessageBox::No);
    window->close();
  }
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->state().shell.exiting);
}

TEST_F(MainWindowTest, ModemSleepIsInsertedBeforeAboutAndStaysGreyed) {
  ASSERT_TRUE(Open());
  window->ui().InsertCommand(cmd::kModemSleep, "Modem slee&p", cmd::kAbout);
  const auto bar = window->menuBar()->actions();
  ASSERT_GE(bar.size(), 2);
  EXPECT_EQ(bar[bar.size() - 2]->text(), QStringLiteral("Modem slee&p"));
  EXPECT_EQ(bar.back()->text(), QStringLiteral("A&bout"));
  EXPECT_FALSE(bar[bar.size() - 2]->isEnabled());
  window->ui().RemoveCommand(cmd::kModemSleep);
  EXPECT_EQ(window->ui().Action(cmd::kModemSleep), nullptr);
}

TEST_F(MainWindowTest, RecentFilesFillTheirSubmenu) {
  ASSERT_TRUE(Open());
  AppState& state = window->state();
  state.shell.recentFiles = {"/data/a.hex", "/data/b.dat"};
  BuildRecentFileMenu(state);
  QMenu* recent = window->ui().Menu(cmd::kMenuRecentFiles);
  ASSERT_NE(recent, nullptr);
  EXPECT_TRUE(recent->isEnabled());
  QStringList texts;
  for (QAction* a : recent->actions()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{" 1 - /data/a.hex", " 2 - /data/b.dat"}));
  // Choosing one that has gone reports it and takes it off the list.
  QString said;
  QTimer dismiss;
  QObject::connect(&dismiss, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      said = box->text();
      box->reject();
    }
  });
  dismiss.start(10);
  recent->actions()[0]->trigger();
  dismiss.stop();
  EXPECT_EQ(said, QStringLiteral("File does not exist"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(recent->actions().size(), 1);
}

}  // namespace
}  // namespace tmv::qt
