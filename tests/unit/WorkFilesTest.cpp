#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "files/CopySlots.h"
#include "files/LogFile.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "support/WorkDirectoryTest.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv {
namespace {

namespace fs = std::filesystem;

class WorkFilesTest : public test::WorkDirectoryTest {};

TEST_F(WorkFilesTest, PrepareDirectoriesCreatesDefaultsAndKeepsRememberedOnes) {
  Write("tmvdir.ini", "DAT directory=/data/cruise=7\r\nHEX directory=\nMAT directory=" + std::string(300, 'm') +
                          "\n\x01\x02junk\n");
  ASSERT_EQ(PrepareDirectories(state), 1);
  EXPECT_TRUE(fs::is_directory(Path("dat")));
  EXPECT_TRUE(fs::is_directory(Path("hex")));
  EXPECT_TRUE(fs::is_directory(Path("mat")));
  EXPECT_EQ(state.directories.dat, "/data/cruise=7");
  EXPECT_EQ(state.directories.hex, Path("hex"));  // an empty value is no directory
  EXPECT_EQ(state.directories.mat, Path("mat"));  // nor is one past the path limit
  EXPECT_EQ(state.directories.hexOutput, Path("hex"));
  EXPECT_EQ(Read("tmvdir.ini"), "DAT directory=/data/cruise=7\r\nHEX directory=" + Path("hex") +
                                    "\r\nMAT directory=" + Path("mat") + "\r\n");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(WorkFilesTest, PrepareDirectoriesEndsTheProgramWhenADirectoryCannotBeMade) {
  Write("dat", "a file where the directory should be");
  EXPECT_EQ(PrepareDirectories(state), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "Startup");
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Stop);
  EXPECT_EQ(ui.boxes[0].text, "Error: Unable to create the '" + dir +
                                  "/dat' directory\nCheck that your TMV directory is not write protected.");

  // The texts come from the catalogue, so the second language shows them too.
  const std::string datText =
      "Error: Unable to create the '%s/dat' directory\nCheck that your TMV directory is not write protected.";
  const std::string hexText =
      "Error: Unable to create the '%s/hex' directory\nCheck that your TMV directory is not write protected.";
  EXPECT_TRUE(InCatalogue(datText));
  EXPECT_TRUE(InCatalogue(hexText));
  EXPECT_TRUE(InCatalogue("Error: Unable to create mat directory"));
  state.directories = WorkDirectories{};
  state.directories.work = dir;
  state.shell.language = 1;
  EXPECT_EQ(PrepareDirectories(state), 0);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text, Format(FormatSkeleton(datText).c_str(), dir.c_str()));
}

TEST(WorkFilePaths, DirectoryOfCurrentFileAndEnsureExtension) {
  EXPECT_EQ(DirectoryOfCurrentFile("/home/u/data/run1.dat", 2, "/def"), "/home/u/data");
  EXPECT_EQ(DirectoryOfCurrentFile("/home/u/data/RUN1.HEX", 1, "/def"), "/home/u/data");
  EXPECT_EQ(DirectoryOfCurrentFile("/home/u/data/run1.hex", 2, "/def"), "/def");
  EXPECT_EQ(DirectoryOfCurrentFile("run1.dat", 2, "/def"), "/def");
  EXPECT_EQ(DirectoryOfCurrentFile("/run1.dat", 2, "/def"), "/");
  EXPECT_EQ(DirectoryOfCurrentFile("", 2, "/def"), "/def");
  EXPECT_EQ(EnsureExtension("/d/run1"), "/d/run1.dat");
  EXPECT_EQ(EnsureExtension("/d/run1.dat"), "/d/run1.dat");
  EXPECT_EQ(EnsureExtension("/d/run1.DAT"), "/d/run1.DAT");
  EXPECT_EQ(EnsureExtension("/d/run1", ".hex"), "/d/run1.hex");
  EXPECT_EQ(EnsureExtension(""), "");
}

TEST_F(WorkFilesTest, RecentFilesKeepTwentyNewestFirstWithoutDuplicates) {
  for (int i = 1; i <= 21; ++i) AddRecentFile(state, "/d/file" + std::to_string(i) + ".dat");
  auto& list = state.shell.recentFiles;
  ASSERT_EQ(list.size(), 20u);
  EXPECT_EQ(list.front(), "/d/file21.dat");
  EXPECT_EQ(list.back(), "/d/file2.dat");  // the oldest dropped out

  AddRecentFile(state, "/d/file10.dat");
  ASSERT_EQ(list.size(), 20u);
  EXPECT_EQ(list.front(), "/d/file10.dat");
  EXPECT_EQ(std::count(list.begin(), list.end(), "/d/file10.dat"), 1);

  // A path that merely contains another is a different file.
  AddRecentFile(state, "/d/file1.dat");
  EXPECT_NE(std::find(list.begin(), list.end(), "/d/file21.dat"), list.end());

  RemoveRecentFile(state, "/d/file10.dat");
  EXPECT_EQ(std::find(list.begin(), list.end(), "/d/file10.dat"), list.end());
  const auto saved = list;

  const auto texts = RecentFileMenuTexts(state);
  EXPECT_EQ(texts.front(), " 1 - /d/file1.dat");
  EXPECT_EQ(texts.at(9).substr(0, 5), "10 - ");
  EXPECT_EQ(ui.insertedCommands.size(), saved.size());
  EXPECT_EQ(ui.insertedCommands[cmd::kReadRecentFile], " 1 - /d/file1.dat");

  list.clear();
  ASSERT_EQ(LoadRecentFiles(state), 1);
  EXPECT_EQ(list, saved);
}

TEST_F(WorkFilesTest, OldRecentFileListIsRenamedAndMissingFilesLoadFine) {
  Write("tmv.fil", "/nowhere/a.dat\r\n\r\n/nowhere/b.hex\n/nowhere/a.dat\n");
  ASSERT_EQ(LoadRecentFiles(state), 1);
  EXPECT_FALSE(FileExists(Path("tmv.fil")));
  EXPECT_TRUE(FileExists(Path("tmvpath.fil")));
  EXPECT_EQ(state.shell.recentFiles, (std::vector<std::string>{"/nowhere/a.dat", "/nowhere/b.hex"}));
}

TEST_F(WorkFilesTest, EightCopiesAtMostEachAskedAndPrefixed) {
  Write("tmv_copies.ini", "Allow multiple copies\n");
  std::vector<std::unique_ptr<CopySlots>> running;
  for (int i = 0; i < 7; ++i) {
    running.push_back(std::make_unique<CopySlots>());
    ui.answers.push_back(MessageAnswer::Yes);
    ASSERT_EQ(CheckCopies(state, *running.back()), 1);
  }
  EXPECT_EQ(ui.boxes.size(), 6u);  // the first copy is not asked
  EXPECT_EQ(running[0]->TitlePrefix(), "");

  CopySlots eighth;
  ui.boxes.clear();
  ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(CheckCopies(state, eighth), 1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "You are trying to open copy number 8 of the TMV Data Loggers program.\nDo you want to continue?");
  EXPECT_EQ(ui.boxes[0].caption, "TMV Data Loggers - Multiple copy");
  EXPECT_EQ(ui.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(ui.boxes[0].defaultAnswer, MessageAnswer::No);
  EXPECT_EQ(state.shell.copyNumber, 8);
  EXPECT_EQ(eighth.TitlePrefix(), "Copy 8 : ");
  EXPECT_EQ(eighth.WindowOffsetX(), 140);
  EXPECT_EQ(eighth.WindowOffsetY(), 210);

  CopySlots ninth;
  ui.boxes.clear();
  EXPECT_EQ(CheckCopies(state, ninth), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "Multiple copies");
  EXPECT_EQ(ui.boxes[0].text,
            "8 copies of the TMV Data Loggers program are now running.\nThis is the limit allowed.\n\n"
            "This attempt to run another copy will terminate.");

  // A copy that ends (or crashes) frees its slot for the next one.
  running[2].reset();
  CopySlots again;
  ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(CheckCopies(state, again), 1);
  EXPECT_EQ(again.CopyNumber(), 3);
  EXPECT_EQ(again.TitlePrefix(), "Copy 3 : ");
}

TEST_F(WorkFilesTest, SecondCopyEndsSilentlyInSingleCopyModeOrWhenTheUserSaysNo) {
  CopySlots first, second, third;
  ASSERT_EQ(CheckCopies(state, first), 1);
  EXPECT_EQ(CheckCopies(state, second), 0);  // no tmv_copies.ini: single copy
  EXPECT_TRUE(ui.boxes.empty());
  Write("tmv_copies.ini", "Single copy only\n");
  EXPECT_EQ(CheckCopies(state, second), 0);
  EXPECT_TRUE(ui.boxes.empty());

  Write("tmv_copies.ini", "Allow multiple copies\n");
  EXPECT_EQ(CheckCopies(state, second), 0);  // the default answer is No
  EXPECT_EQ(ui.boxes.size(), 1u);
  // Refused copies hold no slot.
  ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(CheckCopies(state, third), 1);
  EXPECT_EQ(third.CopyNumber(), 2);
  EXPECT_EQ(state.shell.copyNumber, 2);
}

LogEntry SampleEntry() {
  LogEntry e;
  e.identity = "TMV QN-760  4.20 012345";
  e.programVersion = "6.16";
  e.serialNumber = 12345;
  e.model = "QN-760";
  e.loggerTime = LoggerTime{2010, 6, 0, 7, 15, 29, 0, 0};
  e.start = LoggerTime{2010, 6, 0, 8, 0, 0, 0, 0};
  e.end = LoggerTime{2010, 7, 0, 8, 0, 0, 0, 0};
  e.samplingPeriod = MakeClock(0, 1, 0);
  return e;
}

TEST_F(WorkFilesTest, LogEntriesOfEachKind) {
  const LoggerTime host{2010, 6, 0, 7, 15, 30, 0, 0};
  LogEntry e = SampleEntry();
  const std::string head = std::string(40, '-') + "\nTMV QN-760  4.20 012345 (Windows: 6.16)\n";
  EXPECT_EQ(LogEntryText(kLogSetupFailed, e, host),
            head +
                "Host time:                          2010/Jun/07 15:30:00\n"
                "Logger setup FAILED at logger time: 2010/Jun/07 15:29:00\n\n");

  e.statusName = "Stopped";
  e.dataSaved = true;
  e.datPath = "/d/012345.dat";
  e.minimumVersionValid = true;
  e.minimumVersion = 6.1f;
  EXPECT_EQ(LogEntryText(kLogDownloaded, e, host),
            std::string(40, '-') +
                "\nTMV QN-760  4.20 012345 (Windows: 6.16 - Minimum required: 6.10)\n"
                "Host time:                          2010/Jun/07 15:30:00\n"
                "Logger downloaded at logger time:   2010/Jun/07 15:29:00\n"
                "Logger status:                      Stopped\n"
                "Data was written to a file:         /d/012345.dat\n\n");

  e = SampleEntry();
  e.startMode = 2;
  e.thresholdChannelType = 'T';
  e.thresholdLevel = 12.5;
  e.thresholdChannel = 1;
  e.hysteresisCapability = true;
  e.hysteresisSeconds = 30;
  e.averagingCapability = true;
  e.oemCapability = true;
  e.oemFlags = 0x3;
  e.realTimeCapability = true;
  e.realTimeEnabled = true;
  e.waveCapability = true;
  e.estimateText = "Memory used: 10%";
  EXPECT_EQ(LogEntryText(kLogSetUp, e, host),
            head +
                "Host time:                   2010/Jun/07 15:30:00\n"
                "Logger setup at logger time: 2010/Jun/07 15:29:00\n"
                "Logging start:               2010/Jun/08 00:00:00\n"
                "Logging end:                 2010/Jul/08 00:00:00\n"
                "Sample period:                           00:01:00\n"
                "Logger start: Below threshold   12.5000 channel 2\t Hysteresis period: 30 seconds\n"
                "Averaging: NONE\n"
                "OEM: Logger autostart selected  Logger storage inhibited\n"
                "Realtime output enabled\n"
                "Wave sampling not enabled\n"
                "Memory used: 10%\n\n");

  e = SampleEntry();
  e.model = "KPM-5170";
  e.sixHzProfiling = true;
  e.averagingCapability = true;
  e.averagingEnabled = true;
  e.averagingSeconds = 4;
  e.oemCapability = true;
  e.waveCapability = true;
  e.wavesEnabled = true;
  e.waveRateHz = 2;
  e.waveLength = 1024;
  e.wavePeriod = MakeClock(1, 0, 0);
  EXPECT_EQ(LogEntryText(kLogResumed, e, host),
            head +
                "Resumed logging\n"
                "Host time:                   2010/Jun/07 15:30:00\n"
                "Logger setup at logger time: 2010/Jun/07 15:29:00\n"
                "Logging start:               2010/Jun/08 00:00:00\n"
                "Logging end:                 2010/Jul/08 00:00:00\n"
                "Sample period:                           6Hz profiling\n"
                "Averaging: 4 seconds\n"
                "OEM functions not enabled\n"
                "Wave sampling enabled: rate 2Hz, length 1024, period 01:00:00\n\n");
  EXPECT_EQ(LogEntryText(1, e, host), "");
}

TEST_F(WorkFilesTest, AppendToLogWritesLoggerAndDailyLogsAndReportsFailures) {
  const LogEntry e = SampleEntry();
  ASSERT_EQ(AppendToLog(state, kLogSetupFailed, e), 1);
  ASSERT_EQ(AppendToLog(state, kLogSetupFailed, e), 1);
  const std::string once = WithCrLf(LogEntryText(kLogSetupFailed, e, clock.LocalTime()));
  EXPECT_EQ(Read("log/012345.log"), once + once);
  EXPECT_EQ(Read("log/20100607.log"), once + once);
  EXPECT_TRUE(ui.statusTexts.empty());

  fs::remove_all(Path("log"));
  Write("log", "not a directory");
  EXPECT_EQ(AppendToLog(state, kLogSetupFailed, e), 0);
  EXPECT_EQ(ui.LastStatus(), "Error: Unable to save log file");

  fs::remove(Path("log"));
  fs::create_directories(Path("log/012345.log"));  // the logger's log cannot be opened
  EXPECT_EQ(AppendToLog(state, kLogSetupFailed, e), 0);
  EXPECT_EQ(ui.LastStatus(), "Error: Unable to open log file");

  fs::remove_all(Path("log"));
  fs::create_directories(Path("log/20100607.log"));
  EXPECT_EQ(AppendToLog(state, kLogSetupFailed, e), 0);
  EXPECT_EQ(ui.LastStatus(), "Error: Unable to open daily log file");
}

}  // namespace
}  // namespace tmv
