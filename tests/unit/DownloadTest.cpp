// Download: the block plan's page and last-block rules, the query table, and
// whole retrievals from the emulated logger, clean and faulty.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "files/HexFile.h"
#include "files/WorkFiles.h"
#include "link/Exchange.h"
#include "retrieval/Download.h"
#include "support/EmulatedRig.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

LoggerInfo Zilog(bool fourMeg = false) {
  LoggerInfo l;
  l.model = "QN-730";
  l.firmwareVersion = 4.2f;
  l.memory4Meg = fourMeg;
  return l;
}

TEST(DownloadPlan, ZilogPageEndBlockSkipsTheLastPageByte) {
  DownloadState d;
  d.blockSize = 480;
  d.currentAddress = 0x2FF00;
  d.endPointer = 0x1FF7FE;
  const BlockPlan plan = PlanBlock(Zilog(), d, 0xFF00);
  EXPECT_EQ(plan.end, 0x30000u);
  EXPECT_EQ(plan.count, 256);  // 255 data bytes and the sum
  EXPECT_EQ(BlockRequestText(plan.start, plan.end), "I0000030000ff0200");
}

TEST(DownloadPlan, ZilogMegabyteEndBlockStopsAt0xFF7FE) {
  DownloadState d;
  d.blockSize = 480;
  d.currentAddress = 0x0FF780;
  d.endPointer = 0x1FF7FE;
  const BlockPlan plan = PlanBlock(Zilog(), d, 0);
  EXPECT_EQ(plan.end, 0x100000u);
  EXPECT_EQ(plan.count, 127);  // 126 data bytes and the sum
}

TEST(DownloadPlan, LastBlockShortenedToWholeWords) {
  DownloadState d;
  d.blockSize = 480;
  d.currentAddress = 48;
  d.endPointer = 48 + 100;  // 100 bytes: one past a whole word
  LoggerInfo l;
  l.model = "QN-760";
  l.firmwareVersion = 6.1f;
  l.microchipLogger = true;
  const BlockPlan plan = PlanBlock(l, d, 48);
  EXPECT_EQ(plan.count, 100);  // 99 data bytes and the sum
  EXPECT_EQ(plan.end, 48u + 99u);
  EXPECT_EQ(d.endPointer, 48u + 99u);
}

TEST(DownloadPlan, KmFirmwareOneHasNoSumByte) {
  LoggerInfo l;
  l.model = "KM-3170";
  l.firmwareVersion = 1.0f;
  DownloadState d;
  d.blockSize = 480;
  d.currentAddress = 0x20000;
  d.endPointer = 0x20000 + 1000;
  EXPECT_FALSE(BlockHasChecksum(l));
  BlockPlan plan = PlanBlock(l, d, 0);
  EXPECT_EQ(plan.count, 480);
  d.currentAddress = 0x20000 + 960;
  plan = PlanBlock(l, d, 960);
  EXPECT_EQ(plan.count, 39);  // 40 left, cut to whole words
  EXPECT_FALSE(plan.checksum);
}

TEST(DownloadPlan, BlockSizesFollowTheBaud) {
  EXPECT_EQ(DownloadBlockSize(1200), 60);
  EXPECT_EQ(DownloadBlockSize(2400), 120);
  EXPECT_EQ(DownloadBlockSize(4800), 240);
  EXPECT_EQ(DownloadBlockSize(19200), 480);
  EXPECT_EQ(DownloadBlockSize(57600), 960);
  EXPECT_EQ(DownloadBlockSize(115200), 960);
}

TEST(DownloadQueryTable, ChoicesByStatusAndRetrievalMode) {
  DownloadQuery q = DownloadQueryFor(2, 4);
  EXPECT_EQ(q.button6, "Keep logging");
  EXPECT_EQ(q.on6, DownloadQuery::Action::Download);
  q = DownloadQueryFor(1, 3);
  EXPECT_EQ(q.button6, "Suspend and resume");
  EXPECT_EQ(q.on6, DownloadQuery::Action::Suspend);
  q = DownloadQueryFor(3, 3);
  EXPECT_TRUE(q.button6.empty());
  EXPECT_EQ(q.button7, "Stop");
  q = DownloadQueryFor(2, 1);
  EXPECT_EQ(q.kind, DownloadQuery::Kind::Refuse);
  EXPECT_EQ(DownloadQueryFor(4, 3).kind, DownloadQuery::Kind::None);
  // A profiling logger is asked about as a logging one: never read while it writes.
  for (int mode = 1; mode <= 4; ++mode) {
    const DownloadQuery profiling = DownloadQueryFor(6, mode), logging = DownloadQueryFor(2, mode);
    EXPECT_EQ(profiling.kind, logging.kind) << mode;
    EXPECT_EQ(profiling.button6, logging.button6) << mode;
    EXPECT_EQ(profiling.button7, logging.button7) << mode;
  }
}

class DownloadRun : public test::WorkDirectoryTest {
 protected:
  // Connects, opens the dialog and retrieves; answers the query with `answer`.
  DownloadProc Retrieve(test::EmulatedRig& rig, int answer = kQueryButton7, bool full = false) {
    AppState& s = rig.state;
    s.directories.work = dir;
    EXPECT_EQ(CommGet(s, 0), 1);
    DownloadProc dialog;
    dialog.offerSave = false;
    EXPECT_TRUE(dialog.Open(s));
    EXPECT_TRUE(dialog.Retrieve(s, [answer](const DownloadQuery&) { return answer; }, full));
    RunDownloadToEnd(s, dialog, 1000);
    return dialog;
  }
  static std::vector<uint8_t> Image(const AppState& s) {
    const uint8_t* b = s.retrieval.image.Bytes();
    return std::vector<uint8_t>(b, b + s.retrieval.image.imageLength);
  }
  static std::vector<uint8_t> LoggerMemory(test::EmulatedRig& rig, uint32_t start, size_t length) {
    std::vector<uint8_t> m = rig.emulator.MemoryBytes(start, rig.emulator.DataPointer());
    m.resize(std::min(m.size(), length));
    return m;
  }
};

TEST_F(DownloadRun, NewerLoggerAtExpressSpeedGivesTheLoggersMemory) {
  test::EmulatedRig rig("QN-760");
  rig.emulator.RecordSamples(3000, rig.clock.Milliseconds());
  const DownloadProc dialog = Retrieve(rig);
  AppState& s = rig.state;
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  EXPECT_EQ(Image(s), LoggerMemory(rig, 0, s.retrieval.image.imageLength));
  EXPECT_EQ(s.retrieval.image.imageLength % 3, 0);
  EXPECT_GE(s.retrieval.image.imageLength, static_cast<int>(rig.emulator.DataPointer()) - 2);
  EXPECT_EQ(s.retrieval.data.sampleCount, 3000);
  EXPECT_TRUE(s.retrieval.data.unsaved);
  const auto& log = rig.emulator.CommandLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "!E01"), log.end());  // 115200
  EXPECT_EQ(s.logger.baud, 19200);                                  // restored
  EXPECT_EQ(rig.emulator.Baud(), 19200);
  EXPECT_EQ(dialog.view.progress, 100);
}

TEST_F(DownloadRun, ZilogLoggerAcrossPageEndsMatchesMemoryWithoutHoles) {
  test::EmulatedRig rig("QN-730");
  rig.emulator.RecordSamples(30000, rig.clock.Milliseconds());  // well past 0x30000
  const DownloadProc dialog = Retrieve(rig);
  AppState& s = rig.state;
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  ASSERT_GT(s.retrieval.image.imageLength, 0x10000);
  EXPECT_EQ(Image(s), LoggerMemory(rig, 0x20000, s.retrieval.image.imageLength));
  EXPECT_EQ(s.retrieval.data.sampleCount, 30000);
}

TEST_F(DownloadRun, FaultyLinkStillGivesByteIdenticalImage) {
  test::EmulatedRig rig("QN-760");
  rig.emulator.RecordSamples(4000, rig.clock.Milliseconds());
  sim::Faults& f = rig.faults();
  f.badBlockPercent = 15;
  f.dropBlockPercent = 10;
  f.silenceOnceMs = 7000;  // longer than the link check's 5 s
  f.silenceAfterReads = 4;
  const DownloadProc dialog = Retrieve(rig);
  AppState& s = rig.state;
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  EXPECT_EQ(Image(s), LoggerMemory(rig, 0, s.retrieval.image.imageLength));
  EXPECT_GT(s.retrieval.download.retransmitCount, 0);
  EXPECT_EQ(s.retrieval.data.sampleCount, 4000);
}

TEST_F(DownloadRun, TenFailedAttemptsLeaveAPartialImageThatIsDecodedAndSaved) {
  test::EmulatedRig rig("QN-760");
  rig.emulator.RecordSamples(4000, rig.clock.Milliseconds());
  AppState& s = rig.state;
  s.directories.work = dir;
  ASSERT_EQ(CommGet(s, 0), 1);
  DownloadProc dialog;
  dialog.offerSave = false;
  ASSERT_TRUE(dialog.Open(s));
  ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
  dialog.Tick(s, 200);  // a few blocks
  ASSERT_FALSE(dialog.ended);
  rig.faults().badBlockPercent = 100;
  RunDownloadToEnd(s, dialog, 1000);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Partial);
  EXPECT_TRUE(dialog.failed);
  ASSERT_FALSE(rig.ui.boxes.empty());
  EXPECT_NE(rig.ui.boxes.back().text.find("Download error."), std::string::npos);
  const int got = s.retrieval.image.imageLength;
  EXPECT_GT(got, 0);
  EXPECT_LT(got, static_cast<int>(rig.emulator.DataPointer()));
  EXPECT_EQ(Image(s), LoggerMemory(rig, 0, got));
  EXPECT_GT(s.retrieval.data.sampleCount, 0);
  EXPECT_LT(s.retrieval.data.sampleCount, 4000);
  EXPECT_TRUE(s.retrieval.data.unsaved);
  EXPECT_NE(s.statusText.find("Download incomplete"), std::string::npos);
  // The partial data can be saved.
  const std::string hex = dir + "/partial.hex";
  EXPECT_TRUE(WriteHexFile(s, hex));
  EXPECT_TRUE(std::filesystem::exists(hex));
}

TEST_F(DownloadRun, RoundTripThroughHexFileGivesSameImageAndDataSet) {
  test::EmulatedRig rig("QN-760");
  rig.emulator.RecordSamples(500, rig.clock.Milliseconds());
  Retrieve(rig);
  AppState& s = rig.state;
  const std::vector<uint8_t> image = Image(s);
  const DataSet before = s.retrieval.data;
  const std::string hex = dir + "/round.hex";
  ASSERT_TRUE(WriteHexFile(s, hex));
  std::memset(s.retrieval.image.Bytes(), 0, image.size());
  s.retrieval.image.imageLength = 0;
  ASSERT_EQ(ReadHexFile(s, 0, hex), Outcome::Done());
  EXPECT_EQ(Image(s), image);
  const DataSet& after = s.retrieval.data;
  ASSERT_EQ(after.sampleCount, before.sampleCount);
  ASSERT_EQ(after.channelCount, before.channelCount);
  EXPECT_EQ(after.StampCount(), before.StampCount());
  for (int c = 0; c < before.channelCount; ++c)
    for (int r = 0; r < before.sampleCount + 2; ++r) ASSERT_EQ(after.Value(c, r), before.Value(c, r)) << c << " " << r;
}

TEST_F(DownloadRun, RetrieveFullOnFourMegLoggerReadsToTheCap) {
  test::EmulatedRig rig("QN-730");
  rig.emulator.RecordSamples(100, rig.clock.Milliseconds());
  AppState& s = rig.state;
  s.directories.work = dir;
  ASSERT_EQ(CommGet(s, 0), 1);
  DownloadProc dialog;
  dialog.offerSave = false;
  ASSERT_TRUE(dialog.Open(s));
  s.logger.memory4Meg = true;
  s.logger.memory8Meg = false;
  ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }, true));
  EXPECT_EQ(s.retrieval.download.endPointer, 0x3FF7FEu);
  // The first blocks are enough to see it: end the run by cancelling.
  dialog.Tick(s, 100);
  dialog.Cancel(s);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Partial);
}

TEST_F(DownloadRun, ProfilingOlderLoggerIsSuspendedBeforeItsMemoryIsRead) {
  test::EmulatedRig rig("QN-730");
  rig.emulator.RecordSamples(200, rig.clock.Milliseconds());
  rig.profile().status = 6;  // profiling, and writing on
  rig.profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
  const DownloadProc dialog = Retrieve(rig, kQueryButton6);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  const auto& log = rig.emulator.CommandLog();
  const auto suspend = std::find(log.begin(), log.end(), "!S");
  // The first block of the data area (start address 0x20000).
  const auto firstRead = std::find_if(log.begin(), log.end(), [](const std::string& c) {
    return c.size() == 17 && c[0] == 'I' && c.compare(9, 8, "00000200") == 0;
  });
  ASSERT_NE(suspend, log.end());
  EXPECT_LT(suspend, firstRead);
}

TEST_F(DownloadRun, SuspendedLoggerIsResumedAfterTheDownload) {
  test::EmulatedRig rig("QN-760");
  rig.emulator.RecordSamples(200, rig.clock.Milliseconds());
  rig.profile().firmwareVersion = 6.5f;  // updates the dialog while logging
  rig.profile().status = 2;  // still logging, until long after the download
  rig.profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
  const DownloadProc dialog = Retrieve(rig, kQueryButton6);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  const auto& log = rig.emulator.CommandLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "!R"), log.end()) << [&] { std::string a; for (auto& c : log) a += c + " "; return a; }();
}

}  // namespace
}  // namespace tmv

namespace tmv {
namespace {

class DownloadOlderRecorder : public test::WorkDirectoryTest {};

TEST_F(DownloadOlderRecorder, KmFirmwareOneWithoutSumsGivesTheLoggersMemory) {
  test::EmulatedRig rig("KM-3170");
  rig.profile().firmwareVersion = 1.0f;
  rig.emulator.RecordSamples(700, rig.clock.Milliseconds());
  AppState& s = rig.state;
  s.directories.work = dir;
  ASSERT_EQ(CommGet(s, 0), 1);
  DownloadProc dialog;
  dialog.offerSave = false;
  ASSERT_TRUE(dialog.Open(s));
  ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
  RunDownloadToEnd(s, dialog, 1000);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  const int n = s.retrieval.image.imageLength;
  EXPECT_EQ(n % 3, 0);
  std::vector<uint8_t> memory = rig.emulator.MemoryBytes(0x20000, rig.emulator.DataPointer());
  ASSERT_GE(memory.size(), static_cast<size_t>(n));
  memory.resize(static_cast<size_t>(n));
  EXPECT_EQ(std::vector<uint8_t>(s.retrieval.image.Bytes(), s.retrieval.image.Bytes() + n), memory);
  EXPECT_EQ(s.retrieval.data.sampleCount, 700);
}

}  // namespace
}  // namespace tmv

namespace tmv {
namespace {

// Every family's download takes the deployment its data were logged with
// from the logger: each row a period after the one before, the files'
// header with the logger's start, period and averaging.
class DownloadDeployment : public test::WorkDirectoryTest {
 protected:
  void Download(test::EmulatedRig& rig, int rows) {
    rig.emulator.RecordSamples(rows, rig.clock.Milliseconds());
    AppState& s = rig.state;
    s.directories.work = dir;
    s.settings.derived.depthEnabled = true;  // a tide-and-wave recorder needs it
    ASSERT_EQ(CommGet(s, 0), 1);
    DownloadProc dialog;
    dialog.offerSave = false;
    ASSERT_TRUE(dialog.Open(s));
    ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
    RunDownloadToEnd(s, dialog, 1000);
    ASSERT_EQ(dialog.outcome, DownloadOutcome::Complete);
    ASSERT_EQ(s.retrieval.data.sampleCount, rows);
  }
  static std::string Header(const AppState& s) { return FileHeaderText(s, kHeaderModeHex); }
};

TEST_F(DownloadDeployment, EveryFamilyGetsTheLoggersStartAndPeriod) {
  for (const char* model : {"KM-3170", "KM-3180", "KPM-5170", "KZM-5170", "QN-730", "QN-760"}) {
    SCOPED_TRACE(model);
    test::EmulatedRig rig(model);
    sim::Deployment& logged = rig.profile().deployment;
    logged.periodMinutes = 10;  // the program's default is one minute
    Download(rig, 100);
    const AppState& s = rig.state;
    const DataSet& d = s.retrieval.data;
    EXPECT_EQ(d.samplePeriodSeconds, 600);
    EXPECT_EQ(CompareTimes(d.startTime, logged.startTime), 0);
    for (int r : {1, 50, 99})
      EXPECT_EQ(SignedSecondsBetween(SampleTime(d, r), logged.startTime), r * 600) << "row " << r;
    const std::string header = Header(s);
    EXPECT_NE(header.find("Sample period          00:10:00"), std::string::npos) << header;
    EXPECT_NE(header.find("Logging start " + TimeToShortText(logged.startTime)), std::string::npos) << header;
  }
}

TEST_F(DownloadDeployment, NewerDepthRecorderKeepsItsTemperatureAndPressureApart) {
  test::EmulatedRig rig("KPM-5170");
  Download(rig, 200);
  AppState& s = rig.state;
  const DataSet& d = s.retrieval.data;
  ASSERT_EQ(d.channelCount, 2);
  EXPECT_EQ(d.channelTypes[0], 'T');
  EXPECT_EQ(d.channelTypes[1], 'P');
  // The emulated sea: water temperatures, and decibars of a logger under water.
  EXPECT_GT(d.Minimum(0), -3.0f);
  EXPECT_LT(d.Maximum(0), 40.0f);
  EXPECT_GT(d.Minimum(1), 1.0f);
  EXPECT_NE(FileHeaderText(s, kHeaderModeHex).find("Number of channels =  2"), std::string::npos);
  const std::string hex = dir + "/kpm.hex";
  ASSERT_TRUE(WriteHexFile(s, hex));
  ASSERT_EQ(ReadHexFile(s, 0, hex), Outcome::Done());
  EXPECT_EQ(s.retrieval.data.channelCount, 2);
  EXPECT_EQ(s.retrieval.data.sampleCount, 200);
}

TEST_F(DownloadDeployment, AveragingIsAskedForAndWrittenInSeconds) {
  {
    test::EmulatedRig rig("KPM-5170");
    rig.profile().deployment.averaging = {60, 0};  // 60 readings, six a second
    Download(rig, 20);
    EXPECT_NE(Header(rig.state).find("Averaging: 10 seconds"), std::string::npos) << Header(rig.state);
  }
  {
    test::EmulatedRig rig("QN-760");
    rig.profile().deployment.averaging = {0x2C, 0x01};  // 300 readings: 50 seconds
    Download(rig, 20);
    const auto& log = rig.emulator.CommandLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "X"), log.end());
    EXPECT_NE(Header(rig.state).find("Averaging: 50 seconds"), std::string::npos) << Header(rig.state);
  }
}

}  // namespace
}  // namespace tmv

namespace tmv {
namespace {

// Every way out of a download puts the link and the logger back as they
// were, and what came is kept as the logger's it came from.
class DownloadEndings : public test::WorkDirectoryTest {
 protected:
  // A logger with `rows` readings; still logging (until long after the
  // download) when `logging`, finished otherwise.
  DownloadProc Start(test::EmulatedRig& rig, int rows, int answer = kQueryButton7, bool logging = false) {
    rig.emulator.RecordSamples(rows, rig.clock.Milliseconds());
    if (logging) {
      rig.profile().firmwareVersion = 6.5f;  // tells its deployment while it logs
      rig.profile().status = 2;
      rig.profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
    }
    AppState& s = rig.state;
    s.directories.work = dir;
    EXPECT_EQ(CommGet(s, 0), 1);
    DownloadProc dialog;
    dialog.offerSave = false;
    EXPECT_TRUE(dialog.Open(s));
    EXPECT_TRUE(dialog.Retrieve(s, [answer](const DownloadQuery&) { return answer; }));
    return dialog;
  }
  // The logger answers at its usual rate again.
  static void ExpectUsualRate(test::EmulatedRig& rig) {
    EXPECT_EQ(rig.emulator.Baud(), 19200);
    AppState& s = rig.state;
    s.logger.connected = false;
    EXPECT_EQ(CommGet(s, 0), 1);
    EXPECT_EQ(s.logger.baud, 19200);
  }
};

TEST_F(DownloadEndings, APartialDownloadAfterALostLinkIsSavedAsTheLoggersOwn) {
  test::EmulatedRig rig("QN-760");
  DownloadProc dialog = Start(rig, 4000);
  AppState& s = rig.state;
  dialog.Tick(s, 200);
  ASSERT_FALSE(dialog.ended);
  rig.faults().silent = true;  // the cable is pulled
  RunDownloadToEnd(s, dialog, 1000);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Partial);
  ASSERT_GT(s.retrieval.data.sampleCount, 0);
  EXPECT_EQ(s.logger.model, "QN-760");
  EXPECT_EQ(s.logger.serialNumber, 12345);
  const std::string hex = dir + "/partial.hex";
  ASSERT_TRUE(WriteHexFile(s, hex));
  const int rows = s.retrieval.data.sampleCount;
  EXPECT_EQ(ReadHexFile(s, 0, hex), Outcome::Done());
  EXPECT_EQ(s.retrieval.data.sampleCount, rows);
  EXPECT_EQ(s.logger.serialNumber, 12345);
}

TEST_F(DownloadEndings, ASilenceLongerThanTheRetriesStillEndsAtTheUsualRate) {
  test::EmulatedRig rig("QN-760");
  sim::Faults& f = rig.faults();
  f.silenceOnceMs = 20000;  // longer than a block's ten attempts
  f.silenceAfterReads = 4;
  DownloadProc dialog = Start(rig, 4000);
  RunDownloadToEnd(rig.state, dialog, 1000);
  EXPECT_NE(dialog.outcome, DownloadOutcome::NotStarted);
  ExpectUsualRate(rig);
}

TEST_F(DownloadEndings, CancelledDownloadRestoresTheRateAndResumesTheLogger) {
  test::EmulatedRig rig("QN-760");
  DownloadProc dialog = Start(rig, 4000, kQueryButton6, true);  // suspend and resume
  AppState& s = rig.state;
  int ticks = 0;
  RunDownloadToEnd(s, dialog, 200, {}, [&] { return ++ticks > 2; });
  EXPECT_TRUE(dialog.cancelled);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Partial);
  EXPECT_GT(s.retrieval.data.sampleCount, 0);
  EXPECT_FALSE(dialog.resumeFailed);
  EXPECT_EQ(rig.profile().status, 2);  // logging again
  ExpectUsualRate(rig);
}

TEST_F(DownloadEndings, AppendWithNothingNewLeavesTheRateAlone) {
  test::EmulatedRig rig("QN-760");
  DownloadProc first = Start(rig, 300);
  AppState& s = rig.state;
  RunDownloadToEnd(s, first, 1000);
  ASSERT_EQ(first.outcome, DownloadOutcome::Complete);
  std::filesystem::create_directories(dir + "/hex");
  ASSERT_TRUE(WriteHexFile(s, dir + "/hex/site.hex"));
  DownloadProc again;
  again.offerSave = false;
  ASSERT_TRUE(again.Open(s));
  EXPECT_EQ(again.Append(s, dir + "/dat/site.dat"),
            Outcome::Of(OutcomeKind::Refused, "The logger holds no data after those of %s.", {dir + "/hex/site.hex"}));
  ExpectUsualRate(rig);
}

TEST_F(DownloadEndings, ALoggerThatDoesNotResumeIsReportedAndLogged) {
  test::EmulatedRig rig("QN-760");
  rig.faults().ignoreCommands = {"!R"};
  DownloadProc dialog = Start(rig, 300, kQueryButton6, true);
  AppState& s = rig.state;
  RunDownloadToEnd(s, dialog, 1000);
  EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
  EXPECT_TRUE(dialog.resumeFailed);
  EXPECT_TRUE(rig.ui.BoxSeen("Logger failed to resume."));
  EXPECT_EQ(rig.profile().status, 5);
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(dir + "/log")) {
    std::ifstream in(entry.path());
    log += std::string(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_NE(log.find("Logger failed to resume."), std::string::npos) << log;
}

}  // namespace
}  // namespace tmv
