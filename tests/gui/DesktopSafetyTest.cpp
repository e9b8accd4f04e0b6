// No single key or click loses a deployment, a download or a file: on the
// emulated QN-760 from the main window's menus, with the virtual clock.
#include <QComboBox>
#include <QProgressBar>

#include "DesktopSupport.h"
#include "files/DatFile.h"
#include "link/ComSettingsDialog.h"
#include "model/LoggerTime.h"

namespace tmv::qt::guitest {
namespace {

QDialog* RetrievalPanelWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "retrievalPanel" && w->isVisible()) return qobject_cast<QDialog*>(w);
  return nullptr;
}

// The QN-760 logging a deployment that runs until 2030 (its readings so far in memory).
void Logging(Desktop& desk) {
  desk.emulator.RecordSamples(50, desk.clock.Milliseconds());
  desk.emulator.profile().status = 2;
  desk.emulator.profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
}

constexpr const char* kStopQuestion = "Stop the logger? It will record nothing more until it is set up again.";

TEST(DesktopSafety, EnterStopsNoLoggerAndTheStopButtonAsksWithKeepingAsTheDefault) {
  Desktop desk("QN-760");
  Logging(desk);
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kRetrieveData)->trigger();
  QDialog* panel = RetrievalPanelWindow();
  ASSERT_NE(panel, nullptr);
  auto* stop = Find<QPushButton>(panel, "retrieveButton");
  ASSERT_EQ(S(stop->text()), "STOP logger");
  panel->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
  // Enter in the panel, wherever the focus is: nothing is pressed.
  QTest::keyClick(panel->focusWidget() != nullptr ? panel->focusWidget() : panel, Qt::Key_Return);
  QTest::qWait(20);
  EXPECT_EQ(desk.emulator.profile().status, 2);
  ASSERT_EQ(RetrievalPanelWindow(), panel);

  // A click asks; Enter on the question keeps the logger logging.
  ModalScript keep;
  keep.On("Stop logger", [&](QWidget* box) {
    EXPECT_EQ(ModalScript::TextOf(box), kStopQuestion);
    EXPECT_EQ(ModalScript::DefaultButtonOf(box), "Keep logging");
    keep.LaterKey(box, Qt::Key_Return);
  });
  keep.Run([&] { stop->click(); });
  EXPECT_EQ(desk.emulator.profile().status, 2);
  ASSERT_EQ(RetrievalPanelWindow(), panel);

  // Chosen, it stops, and the panel opens again on the stopped logger.
  ModalScript yes;
  yes.On("Stop logger", [&](QWidget* box) { yes.Later(ButtonWithText(box, QStringLiteral("Stop logger"))); });
  yes.Run([&] { stop->click(); });
  EXPECT_EQ(desk.emulator.profile().status, 8);  // stopped by the user
  QDialog* again = RetrievalPanelWindow();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(S(Find<QPushButton>(again, "retrieveButton")->text()), "Retrieve Data");
  Find<QPushButton>(again, "closeButton")->click();
}

TEST(DesktopSafety, TheDownloadQueryDefaultsToCancelAndItsStopAsksToo) {
  Desktop desk("QN-760");
  desk.emulator.profile().firmwareVersion = 6.5f;  // updated while logging: the download asks what to do
  Logging(desk);
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kRetrieveData)->trigger();
  QDialog* panel = RetrievalPanelWindow();
  ASSERT_NE(panel, nullptr);
  auto* retrieve = Find<QPushButton>(panel, "retrieveButton");
  ASSERT_EQ(S(retrieve->text()), "Retrieve Data");
  ModalScript script;
  script
      .On("Download",
          [&](QWidget* query) {
            // Enter leaves the logger as it is.
            EXPECT_TRUE(Find<QPushButton>(query, "cancelButton")->isDefault());
            EXPECT_FALSE(Find<QPushButton>(query, "button7")->autoDefault());
            script.LaterKey(query, Qt::Key_Return);
          });
  script.Run([&] { retrieve->click(); });
  EXPECT_EQ(desk.emulator.profile().status, 2);
}

TEST(DesktopSafety, CancelDownloadAsksKeepsTheShownDataUntilChosenAndKeepsTheBytesRead) {
  Desktop desk("QN-760");
  desk.emulator.RecordSamples(40000, desk.clock.Milliseconds());
  ASSERT_TRUE(desk.Connect());
  // A data set on the graph already: a file read earlier.
  const QString earlier = RetrievedDataFile(desk.work.path(), QStringLiteral("earlier.dat"), 500);
  ASSERT_EQ(OpenGivenDataFile(desk.window->shell(), earlier.toStdString()), 1);
  ASSERT_TRUE(desk.window->state().graph.hasData);
  ASSERT_EQ(desk.window->state().graph.readingCount, 500);
  QAction* retrieve = desk.window->ui().Action(cmd::kRetrieveData);
  retrieve->trigger();
  QDialog* panel = RetrievalPanelWindow();
  ASSERT_NE(panel, nullptr);
  auto* close = Find<QPushButton>(panel, "closeButton");
  EXPECT_EQ(S(close->text()), "Close");
  Find<QPushButton>(panel, "retrieveButton")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return desk.window->state().retrieval.image.imageLength > 3000; }, 20000));
  ASSERT_NE(RetrievalPanelWindow(), nullptr);
  EXPECT_EQ(S(close->text()), "Cancel download");

  // While the blocks go nothing else may talk on the line.
  for (int c : {cmd::kMenuCalibration, cmd::kMicroSalinometer, cmd::kSetup, cmd::kMenuFile, cmd::kComSettings})
    EXPECT_FALSE(desk.window->ui().Action(c)->isEnabled()) << c;

  // Asked first; "Continue download" (Enter) lets it go on.
  std::string asked;
  ModalScript keep;
  keep.On("Cancel download", [&](QWidget* box) {
    asked = ModalScript::TextOf(box);
    EXPECT_EQ(ModalScript::DefaultButtonOf(box), "Continue download");
    keep.LaterKey(box, Qt::Key_Return);
  });
  keep.Run([&] { close->click(); });
  EXPECT_EQ(asked.rfind("Cancel the download? The ", 0), 0u) << asked;
  EXPECT_NE(asked.find(" bytes read so far are kept and can be saved."), std::string::npos) << asked;
  ASSERT_NE(RetrievalPanelWindow(), nullptr);
  EXPECT_TRUE(desk.window->state().retrieval.download.downloading);
  // What is shown stays until the user chooses the partial data.
  EXPECT_EQ(desk.window->state().graph.readingCount, 500);
  EXPECT_EQ(desk.window->state().retrieval.data.sampleCount, 500);

  // Chosen: the bytes read so far are kept, decoded and offered for saving.
  const QString dat = desk.work.path() + "/partial.dat";
  FileDialogAnswers answers({dat});
  answers.press[QStringLiteral("Cancel download")] = QStringLiteral("Cancel download");
  close->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return RetrievalPanelWindow() == nullptr; }, 10000));
  ASSERT_EQ(answers.boxes.size(), 1) << S(answers.boxes.join("|"));
  // The question named the bytes read; those are what the memory image keeps.
  const int bytes = desk.window->state().retrieval.image.imageLength;
  EXPECT_TRUE(answers.boxes[0].contains(QStringLiteral(" %1 bytes read").arg(bytes))) << S(answers.boxes[0]);
  EXPECT_GT(desk.window->state().retrieval.data.sampleCount, 0);
  EXPECT_LT(desk.window->state().retrieval.data.sampleCount, 40000);
  EXPECT_TRUE(QFile::exists(dat));
  EXPECT_EQ(desk.window->state().graph.readingCount, desk.window->state().retrieval.data.sampleCount);
  for (int c : {cmd::kMenuCalibration, cmd::kMicroSalinometer, cmd::kSetup, cmd::kMenuFile})
    EXPECT_TRUE(desk.window->ui().Action(c)->isEnabled()) << c;
}

TEST(DesktopSafety, StatusLineKeepsNoTextOfWorkThatIsOver) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  // The capabilities window: its assessing text goes when it closes.
  ModalScript capabilities;
  capabilities.On("Current Capabilities", [&](QWidget* d) {
    capabilities.Later(Find<QDialogButtonBox>(d)->button(QDialogButtonBox::Close));
  });
  capabilities.Run(desk.Item("&Logger functions", "C&urrent Capabilities"));
  EXPECT_NE(S(desk.Message()), "Assessing the logger configuration");
  EXPECT_NE(S(desk.Message()), "Assessing logger capabilities ");

  // The port prompt goes with the COM settings dialog.
  ModalScript com;
  com.On(ComSettingsDialog::kTitle, [&](QWidget* d) {
    EXPECT_EQ(S(desk.Message()), "Select Communication Port");
    com.Later(Find<QPushButton>(d, "cancelButton"));
  });
  com.Run(desk.Item("C&onfiguration", "&COM settings"));
  EXPECT_EQ(S(desk.Message()), "Ready");

  // A file that is refused is not named as the data shown.
  const QString junk = desk.work.path() + "/junk.dat";
  QFile file(junk);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a data file\r\n");
  file.close();
  const QString before = desk.Message();
  FileDialogAnswers answers({junk});
  desk.Item("&File", "Read a &DAT file")->trigger();
  EXPECT_EQ(answers.boxes.size(), 1) << S(answers.boxes.join("|"));
  EXPECT_EQ(desk.Message(), before);
  EXPECT_FALSE(desk.Message().startsWith("Data from file"));
}

}  // namespace
}  // namespace tmv::qt::guitest
