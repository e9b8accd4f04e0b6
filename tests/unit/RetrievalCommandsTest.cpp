// The data commands through the shell with scripted faces, on the emulated
// loggers and the virtual clock: a retrieval from the menu paced by the tick,
// the stop / suspend / keep-logging choice, the save offered at once, a
// partial retrieval, and the files read back from the menu, the command line
// and the recent files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "analysis/DerivedUnitsDialog.h"
#include "files/DatFile.h"
#include "files/SaveFile.h"
#include "files/WorkFiles.h"
#include "link/Connection.h"
#include "model/LoggerTime.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/RetrievalCommands.h"
#include "shell/Shell.h"
#include "shell/Startup.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

class RecordingTimer : public PollTimer {
 public:
  bool StartPollTimer(int periodMs, bool) override {
    period = periodMs;
    periods.push_back(periodMs);
    return true;
  }
  void StopPollTimer() override { period = 0; }
  int PeriodMs() const override { return period; }
  int period = 1000;
  std::vector<int> periods;
};

struct RetrievalRig : test::EmulatedRig {
  explicit RetrievalRig(const std::string& profile) : test::EmulatedRig(profile), shell(state, dialogs) {
    char pattern[] = "/tmp/tmv-retrieve-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "";
    state.directories.work = dir;
    PrepareDirectories(state);
    shell.timer = &timer;
    dialogs.Register<RetrievalPanel>([this](RetrievalPanel& p) {
      panel = &p;
      ++panelsShown;
      p.close = [this] { panel = nullptr; };
      return 1;
    });
    dialogs.Register<DownloadQueryChoice>([this](DownloadQueryChoice& q) {
      queries.push_back(q.query);
      return queryAnswer;
    });
  }
  ~RetrievalRig() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  // Still logging, until long after the retrieval.
  void Logging() {
    profile().status = 2;
    profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
  }
  bool Sent(const std::string& command) const {
    const auto& log = emulator.CommandLog();
    return std::find(log.begin(), log.end(), command) != log.end();
  }
  // Ticks the shell as the timer would, advancing the virtual clock by the
  // timer's period, until the panel has gone; the tick count.
  int TickUntilClosed(int most = 100000) {
    int ticks = 0;
    while (panel != nullptr && ticks < most) {
      clock.Advance(timer.period);
      ShellTick(shell);
      ++ticks;
    }
    return ticks;
  }
  // The save dialog's answers: the DAT name and the comment.
  void AnswerSave(const std::string& name, const std::string& comment = "test run") {
    ui.fileAnswers.push_back(dir + "/" + name);
    ui.textAnswers.push_back(comment);
  }

  DialogPresenter dialogs;
  Shell shell;
  RecordingTimer timer;
  std::string dir;
  RetrievalPanel* panel = nullptr;
  int panelsShown = 0;
  std::vector<DownloadQuery> queries;
  int queryAnswer = kQueryButton7;
};

TEST(RetrievalCommands, RetrieveFromTheMenuIsPacedByTheTickGreysTheMenuAndOffersTheSave) {
  RetrievalRig rig("QN-760");
  rig.emulator.RecordSamples(3000, rig.clock.Milliseconds());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  ASSERT_NE(rig.panel, nullptr);
  EXPECT_TRUE(static_cast<bool>(rig.shell.modelessStep));
  EXPECT_EQ(rig.panel->view().button1, "Retrieve Data");
  EXPECT_NE(rig.panel->view().memoryUsage.find("readings"), std::string::npos) << rig.panel->view().memoryUsage;
  const auto& summary = rig.panel->view().summary;
  EXPECT_NE(std::find(summary.begin(), summary.end(), "Real-time display: Not Enabled"), summary.end());

  rig.AnswerSave("first.dat", "first retrieval");
  rig.panel->PressRetrieve();
  ASSERT_NE(rig.panel, nullptr);
  EXPECT_TRUE(rig.panel->Downloading());
  EXPECT_TRUE(rig.queries.empty());  // a finished deployment needs no choice
  // A block's line time per tick, and the menus that could start another
  // exchange are greyed while the blocks go.
  EXPECT_LT(rig.timer.period, 1000);
  EXPECT_FALSE(rig.ui.commandEnabled[cmd::kRetrieveData]);
  EXPECT_FALSE(rig.ui.commandEnabled[cmd::kSetup]);
  EXPECT_FALSE(rig.ui.commandEnabled[cmd::kMenuFile]);
  const int ticks = rig.TickUntilClosed();
  EXPECT_GT(ticks, 1);  // the blocks spread over the ticks, the window stays live
  EXPECT_EQ(rig.panel, nullptr);
  EXPECT_FALSE(static_cast<bool>(rig.shell.modelessStep));
  EXPECT_EQ(rig.timer.period, 1000);
  EXPECT_TRUE(rig.ui.commandEnabled[cmd::kRetrieveData]);
  EXPECT_TRUE(rig.ui.commandEnabled[cmd::kMenuFile]);
  EXPECT_TRUE(rig.ui.commandEnabled[cmd::kSaveFile]);

  // The save dialog came at once and wrote both files; the DAT file heads the recent files.
  ASSERT_EQ(rig.ui.fileDialogs.size(), 1u);
  EXPECT_TRUE(rig.ui.fileDialogs[0].save);
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, 3000);
  const std::string dat = rig.dir + "/first.dat";
  EXPECT_TRUE(std::filesystem::exists(dat));
  EXPECT_TRUE(std::filesystem::exists(HexPathFor(rig.state, dat)));
  ASSERT_FALSE(rig.state.shell.recentFiles.empty());
  EXPECT_EQ(rig.state.shell.recentFiles.front(), dat);
  EXPECT_TRUE(rig.state.shell.dataSaved);
  EXPECT_FALSE(rig.state.retrieval.data.unsaved);
  // Saved: reading another file asks nothing.
  rig.ui.boxes.clear();
  EXPECT_TRUE(CheckUnsavedData(rig.shell));
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(RetrievalCommands, LoggingLoggerIsAskedAndSuspendedLoggerIsResumedAfter) {
  RetrievalRig rig("QN-760");
  rig.profile().firmwareVersion = 6.5f;  // newer firmware: the panel reads a running logger
  rig.emulator.RecordSamples(600, rig.clock.Milliseconds());
  rig.Logging();
  rig.queryAnswer = kQueryButton6;
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  ASSERT_NE(rig.panel, nullptr);
  rig.AnswerSave("logging.dat");
  rig.panel->PressRetrieve();
  ASSERT_EQ(rig.queries.size(), 1u);
  const DownloadQuery& q = rig.queries[0];
  EXPECT_EQ(q.kind, DownloadQuery::Kind::Ask);
  EXPECT_EQ(q.button7, "Stop");
  ASSERT_FALSE(q.button6.empty());
  rig.TickUntilClosed();
  EXPECT_GE(rig.state.retrieval.data.sampleCount, 600);
  EXPECT_TRUE(std::filesystem::exists(rig.dir + "/logging.dat"));
  EXPECT_FALSE(rig.state.retrieval.download.resumeAfterDownload);
  if (q.button6 == "Suspend and resume") {
    EXPECT_TRUE(rig.Sent("!R"));  // resumed after
  }
}

TEST(RetrievalCommands, TideWaveRecorderWithoutDepthOpensDerivedUnitsAndItsOkResumesTheRetrieval) {
  RetrievalRig rig("KZM-5170");
  rig.state.settings.derived.depthEnabled = false;
  rig.emulator.RecordSamples(200, rig.clock.Milliseconds());
  std::vector<int> posted;
  rig.state.analysis.postCommand = [&](int command) { posted.push_back(command); };
  rig.dialogs.Register<DerivedUnitsDialog>([](DerivedUnitsDialog& d) {
    d.Click(DerivedUnitsDialog::kDepth);
    return d.Ok();
  });
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  ASSERT_NE(rig.panel, nullptr);
  rig.panel->PressRetrieve();
  EXPECT_EQ(rig.panel, nullptr);  // the panel closed for the derived units
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, 0);
  EXPECT_TRUE(rig.state.settings.derived.depthEnabled);
  EXPECT_EQ(posted, std::vector<int>{cmd::kRetrieveData});
}

TEST(RetrievalCommands, CancelledChoiceLeavesEverythingAsItWas) {
  RetrievalRig rig("QN-760");
  rig.profile().firmwareVersion = 6.5f;
  rig.emulator.RecordSamples(300, rig.clock.Milliseconds());
  rig.Logging();
  rig.queryAnswer = kQueryCancel;
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  ASSERT_NE(rig.panel, nullptr);
  rig.panel->PressRetrieve();
  EXPECT_EQ(rig.panel, nullptr);  // abandoned: the panel closed
  EXPECT_FALSE(static_cast<bool>(rig.shell.modelessStep));
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, 0);
  EXPECT_TRUE(rig.ui.fileDialogs.empty());
  EXPECT_EQ(rig.timer.period, 1000);
}

TEST(RetrievalCommands, StopLoggerOnAnActiveQn760StopsItAndOpensThePanelAgain) {
  RetrievalRig rig("QN-760");  // firmware 6.10: the panel is not updated while it logs
  rig.emulator.RecordSamples(300, rig.clock.Milliseconds());
  rig.Logging();
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  ASSERT_NE(rig.panel, nullptr);
  EXPECT_EQ(rig.panel->view().button1, "STOP logger");
  // Asked first; its default keeps the logger logging.
  rig.panel->PressRetrieve();
  EXPECT_TRUE(rig.ui.BoxSeen("Stop the logger? It will record nothing more until it is set up again."));
  EXPECT_EQ(rig.ui.boxes.back().defaultAnswer, MessageAnswer::No);
  EXPECT_EQ(rig.profile().status, 2);
  EXPECT_EQ(rig.panelsShown, 1);
  rig.ui.answers.push_back(MessageAnswer::Yes);
  rig.panel->PressRetrieve();
  EXPECT_EQ(rig.panelsShown, 2);
  ASSERT_NE(rig.panel, nullptr);
  EXPECT_EQ(rig.panel->view().button1, "Retrieve Data");
  EXPECT_NE(rig.profile().status, 2);
}

TEST(RetrievalCommands, CloseDuringDownloadKeepsThePartAndSaysItIsIncomplete) {
  RetrievalRig rig("QN-760");
  rig.emulator.RecordSamples(6000, rig.clock.Milliseconds());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  rig.panel->PressRetrieve();
  rig.clock.Advance(rig.timer.period);
  ShellTick(rig.shell);
  ASSERT_NE(rig.panel, nullptr);
  rig.ui.fileAnswers.push_back(std::nullopt);  // the save dialog is cancelled
  rig.panel->PressClose();
  EXPECT_EQ(rig.panel, nullptr);
  const DataSet& d = rig.state.retrieval.data;
  EXPECT_GT(d.sampleCount, 0);
  EXPECT_LT(d.sampleCount, 6000);
  EXPECT_NE(rig.state.statusText.find("Download incomplete"), std::string::npos) << rig.state.statusText;
  EXPECT_EQ(rig.ui.fileDialogs.size(), 1u);  // offered at once all the same
  // Unsaved: leaving asks first, and Yes stays in the program with the save dialog.
  rig.ui.answers.push_back(MessageAnswer::Yes);
  rig.ui.fileAnswers.push_back(std::nullopt);
  EXPECT_FALSE(ExitProgram(rig.shell));
  EXPECT_TRUE(rig.ui.BoxSeen("Retrieved data has not been saved.\nDo you wish to return to save the data now?"));
  EXPECT_EQ(rig.ui.fileDialogs.size(), 2u);
}

TEST(RetrievalCommands, ExitDuringDownloadEndsItAndAsksAboutTheData) {
  RetrievalRig rig("QN-760");
  rig.emulator.RecordSamples(6000, rig.clock.Milliseconds());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  rig.panel->PressRetrieve();
  ASSERT_TRUE(rig.panel->Downloading());
  rig.ui.fileAnswers.push_back(std::nullopt);
  rig.ui.answers.push_back(MessageAnswer::No);  // leave without saving
  EXPECT_TRUE(ExitProgram(rig.shell));
  EXPECT_FALSE(rig.state.retrieval.download.downloading);
  EXPECT_EQ(rig.emulator.Baud(), 19200);  // the link speed was restored before the port closed
}

TEST(RetrievalCommands, SavedFilesReadBackFromMenuCommandLineAndRecentFiles) {
  RetrievalRig rig("QN-760");
  rig.emulator.RecordSamples(500, rig.clock.Milliseconds());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  rig.AnswerSave("round.dat");
  rig.panel->PressRetrieve();
  rig.TickUntilClosed();
  const std::string dat = rig.dir + "/round.dat";
  const std::string hex = HexPathFor(rig.state, dat);
  ASSERT_TRUE(std::filesystem::exists(hex));
  const int samples = rig.state.retrieval.data.sampleCount;
  const std::string summary = DataSummaryText(rig.state.retrieval.data);
  EXPECT_EQ(summary.rfind("500 samples, ", 0), 0u) << summary;
  int redraws = 0;
  rig.shell.redrawGraph = [&] { ++redraws; };

  // "Read a &HEX file" from the menu.
  rig.ui.fileAnswers.push_back(hex);
  ASSERT_EQ(RunCommand(rig.shell, cmd::kReadHexFile), 1);
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, samples);
  EXPECT_EQ(DataSummaryText(rig.state.retrieval.data), summary);  // same rows, same times
  EXPECT_EQ(rig.state.shell.recentFiles.front(), hex);
  EXPECT_EQ(redraws, 1);
  EXPECT_EQ(rig.ui.fileDialogs.back().filter, "All Hex Files (*.hex)");
  // Data read from a file is not unsaved: the next read asks nothing.
  rig.ui.boxes.clear();
  EXPECT_TRUE(CheckUnsavedData(rig.shell));
  EXPECT_TRUE(rig.ui.boxes.empty());

  // The recent file moves to the front without a second entry.
  const auto before = rig.state.shell.recentFiles.size();
  const auto it = std::find(rig.state.shell.recentFiles.begin(), rig.state.shell.recentFiles.end(), dat);
  ASSERT_NE(it, rig.state.shell.recentFiles.end());
  const int index = static_cast<int>(it - rig.state.shell.recentFiles.begin());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kReadRecentFile + index), 1);
  EXPECT_EQ(rig.state.shell.recentFiles.front(), dat);
  EXPECT_EQ(rig.state.shell.recentFiles.size(), before);
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, samples);

  // A command-line name in double quotes.
  EXPECT_EQ(OpenDataFile(rig.shell, StripQuotes("\"" + hex + "\"")), 1);
  EXPECT_EQ(rig.state.shell.recentFiles.front(), hex);
  EXPECT_EQ(redraws, 3);

  // A recent file that has gone is dropped from the list.
  std::filesystem::remove(dat);
  std::filesystem::remove_all(rig.dir + "/dat");
  const auto gone = std::find(rig.state.shell.recentFiles.begin(), rig.state.shell.recentFiles.end(), dat);
  ASSERT_NE(gone, rig.state.shell.recentFiles.end());
  EXPECT_EQ(RunCommand(rig.shell, cmd::kReadRecentFile + static_cast<int>(gone - rig.state.shell.recentFiles.begin())), 0);
  EXPECT_EQ(std::count(rig.state.shell.recentFiles.begin(), rig.state.shell.recentFiles.end(), dat), 0);
}

TEST(RetrievalCommands, SaveFileAndSegmentWriteTheirFilesAndFormatGoesThroughItsDialog) {
  RetrievalRig rig("QN-760");
  // Nothing to save yet.
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSaveScreenSegment), 0);
  rig.emulator.RecordSamples(200, rig.clock.Milliseconds());
  ASSERT_EQ(RunCommand(rig.shell, cmd::kRetrieveData), 1);
  rig.ui.fileAnswers.push_back(std::nullopt);  // not saved at once
  rig.panel->PressRetrieve();
  rig.TickUntilClosed();
  ASSERT_TRUE(rig.state.retrieval.data.unsaved);

  // "&Save file" while unsaved writes both files.
  rig.AnswerSave("later.dat");
  ASSERT_EQ(RunCommand(rig.shell, cmd::kSaveFile), 1);
  EXPECT_TRUE(std::filesystem::exists(HexPathFor(rig.state, rig.dir + "/later.dat")));
  // Afterwards only the DAT file.
  rig.AnswerSave("again.dat");
  ASSERT_EQ(RunCommand(rig.shell, cmd::kSaveFile), 1);
  EXPECT_TRUE(std::filesystem::exists(rig.dir + "/again.dat"));
  EXPECT_FALSE(std::filesystem::exists(HexPathFor(rig.state, rig.dir + "/again.dat")));

  // The segment is the rows the graph shows: zoomed in twice, fewer than all.
  ASSERT_TRUE(rig.state.graph.hasData);
  ZoomInHorizontal(rig.state.graph);
  ZoomInHorizontal(rig.state.graph);
  const int first = rig.state.graph.view.firstIndex;
  const int last = LastShownIndex(rig.state.graph);
  ASSERT_LT(last - first + 1, 200);
  rig.ui.fileAnswers.push_back(rig.dir + "/segment.dat");
  ASSERT_EQ(RunCommand(rig.shell, cmd::kSaveScreenSegment), 1);
  EXPECT_EQ(rig.state.shell.recentFiles.front(), rig.dir + "/segment.dat");
  ASSERT_EQ(ReadDatFile(rig.state, 0, rig.dir + "/segment.dat"), Outcome::Done());
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, last - first + 1);

  // The format dialog: its choice is stored.
  rig.dialogs.Register<WriteFormatDialog>([](WriteFormatDialog& d) {
    d.Check(WriteFormatDialog::kDateTimeAndValues);
    return d.Ok();
  });
  ASSERT_EQ(RunCommand(rig.shell, cmd::kSaveFormat), 1);
  EXPECT_EQ(rig.state.settings.datFormat, 2);
}

}  // namespace
}  // namespace tmv
