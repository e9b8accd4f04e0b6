// The one serial line as the desktop program shares it: a command's
// exchanges are never interleaved with the timer's live fetches, and the
// question about the previous logger's unsaved data does what it says.
#include "DesktopSupport.h"

#include "model/CalibrationHistory.h"
#include "shell/Shell.h"

namespace tmv::qt::guitest {
namespace {

bool FetchBetween(const std::vector<std::string>& log, size_t from, size_t to) {
  for (size_t i = from; i < to && i < log.size(); ++i)
    if (!log[i].empty() && log[i][0] == 'F') return true;
  return false;
}

TEST(OneConversation, TheCalibrationHistoryIsReadWithNoLiveFetchInTheMiddle) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kFetchLiveReadings)->trigger();
  // The shell's tick at every turn of the event loop, the clock moving with
  // it: every chance for a live fetch to come between two table reads.
  Shell& shell = desk.window->shell();
  QTimer pace;
  QObject::connect(&pace, &QTimer::timeout, [&] {
    desk.clock.Advance(250);
    ShellTick(shell);
  });
  pace.start(0);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (const auto& c : desk.emulator.CommandLog())
          if (!c.empty() && c[0] == 'F') return true;
        return false;
      },
      10000));
  const size_t before = desk.emulator.CommandLog().size();
  // The reads the "Calibration History" command makes before its window opens.
  const CalibrationHistory history = WriteCalibrationHistory(desk.window->state());
  pace.stop();
  EXPECT_FALSE(history.lines.empty());
  const auto& log = desk.emulator.CommandLog();
  size_t first = log.size(), last = 0;
  for (size_t i = before; i < log.size(); ++i)
    if (log[i].rfind("V0000", 0) == 0) {
      first = std::min(first, i);
      last = i;
    }
  ASSERT_LT(first, log.size()) << "the history was not read";
  EXPECT_FALSE(FetchBetween(log, first, last)) << "a live fetch came between the history's reads";
}

TEST(OneConversation, YesToSavingThePreviousLoggersDataSavesIt) {
  Desktop desk("QN-760");
  desk.emulator.RecordSamples(50, desk.clock.Milliseconds());
  ASSERT_TRUE(desk.Connect());
  AppState& s = desk.window->state();
  // Data retrieved from this logger, not saved.
  DownloadProc dialog;
  dialog.offerSave = false;
  ASSERT_TRUE(dialog.Open(s));
  ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
  RunDownloadToEnd(s, dialog, 1000);
  ASSERT_GT(s.retrieval.data.sampleCount, 0);
  s.shell.dataRetrieved = true;
  s.shell.dataSaved = false;
  // Another logger on the line.
  desk.emulator.profile().serialNumber = 54321;
  s.logger.connected = false;
  const QString file = desk.work.path() + QStringLiteral("/previous.dat");
  FileDialogAnswers answers({file});
  answers.press[QStringLiteral("Connecting Logger")] = QStringLiteral("&Yes");
  desk.Item("&Logger functions", "&Connect to logger")->trigger();
  EXPECT_EQ(answers.boxes.filter(QStringLiteral("Logger has changed")).size(), 1) << S(answers.boxes.join("|"));
  ASSERT_TRUE(QFileInfo::exists(file)) << "Yes did not save the data";
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("012345")) << "saved as another logger's data";
  EXPECT_TRUE(s.shell.dataSaved);
  EXPECT_EQ(s.logger.serialNumber, 54321);  // and then connected to the new one
}

}  // namespace
}  // namespace tmv::qt::guitest
