// The "&Setup" command from the main window's menu, on the offscreen
// platform with emulated loggers and a virtual clock: the picker, enabling
// through the erase, the simulation with nothing connected, and how the
// Setup dialog and its sub-dialogs look.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTimeEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimeEdit>
#include <QRegularExpression>
#include <QToolButton>

#include "DesktopSupport.h"
#include "deployment/DeploymentSettings.h"
#include "deployment/SetupDialog.h"
#include "model/LoggerTime.h"

namespace tmv::qt {
namespace {

using namespace guitest;

constexpr const char* kSetupTitle = "TMV Logger Setup";
constexpr const char* kPickerTitle = "Start, end and sampling period";

QAction* SetupAction(Desktop& d) {
  for (QAction* a : d.window->menuBar()->actions())
    if (a->text() == QStringLiteral("&Setup")) return a;
  ADD_FAILURE() << "no &Setup on the menu bar";
  return nullptr;
}

QDateTime Qt(const LoggerTime& t) { return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)); }

bool ShowWithoutConnecting(Desktop& d) {
  if (!d.window->Start()) return false;
  d.window->show();
  d.window->AfterShow();
  return QTest::qWaitForWindowExposed(d.window.get());
}

TEST(SetupFaces, PickerThenEnableErasesWithTheDialogOpenAndEnablesTheLogger) {
  Desktop d("QN-760");
  // Readings from an earlier deployment that were never downloaded.
  d.emulator.RecordSamples(50, d.clock.Milliseconds());
  ASSERT_TRUE(d.Connect());
  d.emulator.profile().eraseMs = 1500;
  // The logger's time runs on while the dialog waits for the erase.
  QTimer loggerTime;
  QObject::connect(&loggerTime, &QTimer::timeout, [&] { d.clock.Advance(1000); });
  loggerTime.start(100);
  ModalScript script;
  bool progressSeen = false;
  script
      .On(kSetupTitle,
          [&](QWidget* setup) {
            EXPECT_EQ(S(Find<QLineEdit>(setup, "statusField")->text()).empty(), false);
            EXPECT_FALSE(Find<QLineEdit>(setup, "memoryUsageField")->text().isEmpty());
            EXPECT_FALSE(Find<QProgressBar>(setup, "eraseProgress")->isVisible());
            script.Later(Find<QPushButton>(setup, "startButton"));
          })
      .On(kPickerTitle,
          [&](QWidget* picker) {
            const LoggerTime clock = d.window->state().deployment.loggerClock;
            const LoggerTime start = AddSeconds(clock, 3600);
            Find<QDateTimeEdit>(picker, "startField")->setDateTime(Qt(start));
            Find<QDateTimeEdit>(picker, "endField")->setDateTime(Qt(AddSeconds(start, 86400)));
            Find<QRadioButton>(picker, "periodChoice1")->click();  // "One sample every minute"
            EXPECT_EQ(Find<QRadioButton>(picker, "periodChoice1")->text(), QStringLiteral("One sample every minute"));
            ExpectNothingClipped(picker);
            Screenshot(picker, "setup-picker.png");
            script.Later(Find<QPushButton>(picker, "acceptButton"));
          })
      .On(kSetupTitle,
          [&](QWidget* setup) {
            EXPECT_EQ(Find<QLineEdit>(setup, "periodField")->text(), QStringLiteral("00:01:00"));
            auto* enable = Find<QPushButton>(setup, "enableButton");
            EXPECT_EQ(enable->text(), QStringLiteral("Enable logging"));
            EXPECT_TRUE(enable->isEnabled()) << S(Find<QLabel>(setup, "messageText")->text());
            ExpectNothingClipped(setup);
            Screenshot(setup, "setup-dialog.png");
            script.Later(enable);
          })
      .On("Setup",
          [&](QWidget* box) {
            EXPECT_NE(ModalScript::TextOf(box).find("not been downloaded"), std::string::npos);
            script.Later(BoxButton(box, QMessageBox::Yes));
          })
      .On(kSetupTitle, [&](QWidget* setup) {
        // Erasing: the progress shows, "Enable logging" and "Cancel" do not.
        progressSeen = Find<QProgressBar>(setup, "eraseProgress")->isVisible();
        EXPECT_FALSE(Find<QPushButton>(setup, "enableButton")->isVisible());
        EXPECT_FALSE(Find<QPushButton>(setup, "cancelButton")->isVisible());
        Screenshot(setup, "setup-erasing.png");
        script.LetRun(setup);
      });
  script.Run(SetupAction(d));
  EXPECT_TRUE(progressSeen);
  EXPECT_EQ(d.emulator.profile().status, 1);  // enabled
  EXPECT_NE(S(d.Message()).find("'Enabled' to start at"), std::string::npos) << S(d.Message());
}

TEST(SetupFaces, NothingConnectedAssessesASimulatedMultiChannelLogger) {
  Desktop d("QN-760");
  d.emulator.faults().silent = true;
  ASSERT_TRUE(ShowWithoutConnecting(d));
  ModalScript script;
  script
      .On("TMV Setup Simulation",
          [&](QWidget* choice) {
            auto* list = Find<QListWidget>(choice, "loggerTypeList");
            ASSERT_EQ(list->count(), 9);
            list->setCurrentRow(5);
            EXPECT_EQ(list->currentItem()->text(), QStringLiteral("QN-760 or QNQ-760"));
            script.Later(ButtonWithText(choice, QStringLiteral("OK")));
          })
      .On("TMV QN Logger Simulation",
          [&](QWidget* channels) {
            EXPECT_EQ(Find<QListWidget>(channels, "channelList")->count(), 3);
            script.Later(ButtonWithText(channels, QStringLiteral("OK")));
          })
      .On("TMV Logger Setup - Simulation", [&](QWidget* setup) {
        EXPECT_FALSE(Find<QPushButton>(setup, "enableButton")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(setup, "syncButton")->isEnabled());
        EXPECT_TRUE(Find<QLabel>(setup, "messageText")->text().contains(QStringLiteral("Estimates:")));
        EXPECT_EQ(Find<QComboBox>(setup, "startModeList")->count(), 3);
        Screenshot(setup, "setup-simulation.png");
        script.Later(Find<QPushButton>(setup, "cancelButton"));
      });
  script.Run(SetupAction(d));
  EXPECT_FALSE(d.window->state().shell.simulation);
  EXPECT_FALSE(d.window->state().logger.connected);
}

TEST(SetupFaces, TideAndWaveLayoutOpensTheTideAndWaveDialog) {
  Desktop d("KZM-5170");
  ASSERT_TRUE(d.Connect());
  d.window->state().settings.derived.depthEnabled = true;  // a tide-and-wave set-up needs depth first
  ModalScript script;
  script
      .On(kSetupTitle,
          [&](QWidget* setup) {
            EXPECT_EQ(Find<QPushButton>(setup, "periodButton")->text(), QStringLiteral("Sampling period for Tide"));
            EXPECT_TRUE(Find<QPushButton>(setup, "waveButton")->isVisible());
            ExpectNothingClipped(setup);
            Screenshot(setup, "setup-tide-wave.png");
            script.Later(Find<QPushButton>(setup, "waveButton"));
          })
      .On("TMV Logger - KZM Tide and Wave modes configuration",
          [&](QWidget* burst) {
            const LoggerTime start = AddSeconds(d.window->state().deployment.loggerClock, 3600);
            Find<QDateTimeEdit>(burst, "startField")->setDateTime(Qt(start));
            Find<QDateTimeEdit>(burst, "endField")->setDateTime(Qt(AddSeconds(start, 30 * 86400)));
            auto* wave = Find<QCheckBox>(burst, "waveBox");
            if (!wave->isChecked()) wave->click();
            Find<QTimeEdit>(burst, "tidePeriodField")->setTime(QTime(0, 10, 0));
            Find<QComboBox>(burst, "rateList")->setCurrentIndex(2);  // 4Hz
            for (int i = 0; i < 3; ++i) Find<QToolButton>(burst, "burstLonger")->click();
            EXPECT_EQ(Find<QLabel>(burst, "samplesAtLabel")->text(), QStringLiteral("samples @ 4Hz"));
            EXPECT_TRUE(Find<QLabel>(burst, "bandwidthText")->text().startsWith("Wave analysis bandwidth"))
                << S(Find<QLabel>(burst, "messageText")->text());
            ExpectNothingClipped(burst);
            Screenshot(burst, "setup-tide-wave-modes.png");
            script.Later(Find<QPushButton>(burst, "discardButton"));
          })
      .On(kSetupTitle, [&](QWidget* setup) { script.Later(Find<QPushButton>(setup, "cancelButton")); });
  script.Run(SetupAction(d));
}

TEST(SetupFaces, ThresholdingDialogOnAThresholdingLogger) {
  Desktop d("QN-760-TH");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script
      .On(kSetupTitle,
          [&](QWidget* setup) {
            auto* list = Find<QComboBox>(setup, "startModeList");
            ASSERT_EQ(list->count(), 3);
            list->setCurrentIndex(1);  // "Start when ABOVE threshold"
            auto* button = Find<QPushButton>(setup, "thresholdButton");
            ASSERT_TRUE(button->isVisible());
            EXPECT_TRUE(button->text().startsWith("Channel:")) << S(button->text());
            script.Later(button);
          })
      .On("TMV Logger - Thresholding configuration",
          [&](QWidget* threshold) {
            EXPECT_EQ(Find<QLabel>(threshold, "captionLine")->text(), QStringLiteral("When ABOVE the threshold of"));
            EXPECT_GT(Find<QComboBox>(threshold, "channelList")->count(), 0);
            ExpectNothingClipped(threshold);
            Screenshot(threshold, "setup-thresholding.png");
            script.Later(Find<QPushButton>(threshold, "discardButton"));
          })
      .On(kSetupTitle, [&](QWidget* setup) {
        Screenshot(setup, "setup-thresholding-setup.png");
        script.Later(Find<QPushButton>(setup, "cancelButton"));
      });
  script.Run(SetupAction(d));
}

// A fresh QN-760: its start equals its clock and its memory holds no readings.
TEST(SetupFaces, OpensWithoutAnErrorWithItsClocksRunningAndEnablesAnEmptyLoggerWithoutAsking) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  d.emulator.profile().eraseMs = 1500;
  // The logger's time runs on while the dialog waits for the erase.
  QTimer loggerTime;
  QObject::connect(&loggerTime, &QTimer::timeout, [&] { d.clock.Advance(1000); });
  ModalScript script;
  script
      .On(kSetupTitle,
          [&](QWidget* setup) {
            const QString message = Find<QLabel>(setup, "messageText")->text();
            EXPECT_FALSE(message.contains("Error")) << S(message);
            // The estimate reads as the screen says it; the log keeps its own text.
            EXPECT_TRUE(message.contains("mAh")) << S(message);
            EXPECT_FALSE(message.contains("mAH")) << S(message);
            auto* enable = Find<QPushButton>(setup, "enableButton");
            EXPECT_TRUE(enable->isEnabled());
            // The start proposed lies ahead of the logger's clock.
            const DeploymentSettings& deployment = d.window->state().deployment;
            EXPECT_GT(SecondsFrom(deployment.loggerClock, deployment.startTime), 0);
            // The clocks shown run on.
            auto* logger = Find<QLineEdit>(setup, "loggerTimeField");
            auto* host = Find<QLineEdit>(setup, "hostTimeField");
            const QString loggerShown = logger->text(), hostShown = host->text();
            d.clock.Advance(5000);
            EXPECT_TRUE(QTest::qWaitFor([&] { return logger->text() != loggerShown; }, 3000));
            EXPECT_NE(host->text(), hostShown);
            loggerTime.start(100);
            // It works on by itself now; any question about stored data
            // would be a dialog the script does not expect.
            script.LetRun(setup);
            script.Later(enable);
          });
  script.Run(SetupAction(d));
  EXPECT_EQ(d.emulator.profile().status, 1);  // enabled
  // The log keeps the estimate as it was always written.
  QFile log(d.work.filePath(QStringLiteral("log/012345.log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("mAH"));
}

TEST(SetupFaces, NowIsCheckedAgainstTheEndTheFieldShows) {
  Desktop d("QN-760");
  // A deployment that ended long ago: the picker proposes an end ahead.
  d.emulator.profile().deployment.startTime = LoggerTime{2009, 1, 0, 1, 0, 0, 0, 0};
  d.emulator.profile().deployment.endTime = LoggerTime{2009, 2, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On(kSetupTitle, [&](QWidget* setup) { script.Later(Find<QPushButton>(setup, "startButton")); })
      .On(kPickerTitle,
          [&](QWidget* picker) {
            EXPECT_GT(Find<QDateTimeEdit>(picker, "endField")->dateTime(), Qt(d.window->state().deployment.loggerClock));
            Find<QCheckBox>(picker, "nowBox")->click();
            const QString message = Find<QLabel>(picker, "messageText")->text();
            EXPECT_FALSE(message.contains("Error")) << S(message);
            script.Later(Find<QPushButton>(picker, "discardButton"));
          })
      .On(kSetupTitle, [&](QWidget* setup) { script.Later(Find<QPushButton>(setup, "cancelButton")); });
  script.Run(SetupAction(d));
}

// 2048 readings at 4 Hz take 512 s: at most four tide readings fit, so a
// one-minute tide period becomes 128 s, said once; the burst period arrows
// then say nothing, and a burst period can be typed.
TEST(SetupFaces, BurstPeriodArrowsWarnOnlyOnAChangeAndATypedPeriodIsTaken) {
  Desktop d("KZM-5170");
  d.emulator.profile().deployment.burstRate = 4;
  d.emulator.profile().deployment.waveArguments = "0008040000";  // 2048 readings every 04:00:00
  ASSERT_TRUE(d.Connect());
  d.window->state().settings.derived.depthEnabled = true;
  ModalScript script;
  int warnings = 0;
  script.On(kSetupTitle, [&](QWidget* setup) { script.Later(Find<QPushButton>(setup, "waveButton")); })
      .On("Time to complete Burst and Sample Period for Tide mismatch",
          [&](QWidget* box) {
            ++warnings;
            script.Later(BoxButton(box, QMessageBox::Ok));
          })
      .On("TMV Logger - KZM Tide and Wave modes configuration",
          [&](QWidget* burst) {
            const DeploymentSettings& deployment = d.window->state().deployment;
            EXPECT_EQ(ClockSeconds(deployment.samplingPeriod), 128u);
            for (int i = 0; i < 3; ++i) Find<QToolButton>(burst, "burstShorter")->click();
            for (int i = 0; i < 3; ++i) Find<QToolButton>(burst, "burstLonger")->click();
            auto* period = Find<QLineEdit>(burst, "burstPeriodField");
            TypeInto(period, QStringLiteral("01:00:00"));
            QTest::keyClick(period, Qt::Key_Tab);
            // A whole number of tide periods: 29 x 128 s.
            EXPECT_EQ(ClockSeconds(deployment.burstPeriod), 3712u);
            EXPECT_EQ(ClockSeconds(deployment.samplingPeriod), 128u);
            script.Later(Find<QPushButton>(burst, "discardButton"));
          })
      .On(kSetupTitle, [&](QWidget* setup) { script.Later(Find<QPushButton>(setup, "cancelButton")); });
  script.Run(SetupAction(d));
  EXPECT_EQ(warnings, 1);
}

TEST(SetupFaces, TheThresholdLevelShowsItsUnit) {
  Desktop d("QN-760-TH");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script
      .On(kSetupTitle,
          [&](QWidget* setup) {
            Find<QComboBox>(setup, "startModeList")->setCurrentIndex(1);
            script.Later(Find<QPushButton>(setup, "thresholdButton"));
          })
      .On("TMV Logger - Thresholding configuration",
          [&](QWidget* threshold) {
            auto* channels = Find<QComboBox>(threshold, "channelList");
            auto* unit = Find<QLabel>(threshold, "thresholdUnit");
            EXPECT_FALSE(unit->text().isEmpty());
            for (int i = 0; i < channels->count(); ++i) {
              channels->setCurrentIndex(i);
              EXPECT_FALSE(unit->text().isEmpty()) << i;
            }
            script.Later(Find<QPushButton>(threshold, "discardButton"));
          })
      .On(kSetupTitle, [&](QWidget* setup) {
        const QString text = Find<QPushButton>(setup, "thresholdButton")->text();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("threshold:-?[0-9.]+ [A-Za-z_/%]+")).match(text).hasMatch())
            << S(text);
        script.Later(Find<QPushButton>(setup, "cancelButton"));
      });
  script.Run(SetupAction(d));
}

}  // namespace
}  // namespace tmv::qt
