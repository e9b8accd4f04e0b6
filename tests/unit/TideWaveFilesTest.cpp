// The .wave, .tide and KZM csv files line by line for small recordings
// worked out by hand, and the wave analysis of the emulated recorder's own
// logged bursts through the decoder's hook.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "analysis/TideWaveFiles.h"
#include "analysis/WaveAnalysis.h"
#include "analysis/WaveWindow.h"
#include "CliCommand.h"
#include "files/HexFile.h"
#include "retrieval/SampleDecoder.h"
#include "shell/Catalogue.h"
#include "sim/LoggerEmulator.h"
#include "support/KzmRecording.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

std::string After(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? "<no " + marker + ">" : text.substr(at);
}

class TideWaveFilesTest : public WorkDirectoryTest {
 protected:
  // Three tide rows every ten minutes, two bursts of 128 readings.
  void SmallRecording() {
    state.logger.model = "KZM-5170";
    state.logger.firmwareVersion = 6.05f;
    state.logger.serialNumber = 51705;
    state.logger.waves = true;
    InstallWaveAnalysis(state);
    DataSet& d = state.retrieval.data;
    d.channelCount = 2;
    d.channelTypes[0] = 'T';
    d.channelTypes[1] = 'P';
    d.columnCodes[0] = 'T';
    d.columnCodes[1] = 'P';
    d.deployment.waveEnabled = true;
    d.deployment.burstRate = 2;
    d.deployment.loggerHeight = 1.0;
    d.startTime = LoggerTime{2010, 6, 0, 7, 16, 0, 0, 0};
    d.samplePeriodSeconds = 600;
    ASSERT_TRUE(d.LayOut(2, 3));
    d.sampleCount = 3;
    d.totalChannelCount = 2;
    ASSERT_TRUE(d.AddColumn(129));
    ASSERT_TRUE(d.AddColumn(130));
    for (int r = 0; r < 3; ++r) {
      d.Column(0)[r] = 12.5f + r;
      d.Column(1)[r] = 10.0f + 0.25f * r;
      d.Column(2)[r] = 1.0f;
      d.Column(3)[r] = 0.0f;
    }
    StampRecord s;
    s.type = kStampBurst;
    s.sampleIndex = 0;
    s.burstIndex = 0;
    s.time = d.startTime;
    d.stamps.push_back(s);
    s.sampleIndex = 2;
    s.burstIndex = 1;
    s.time = LoggerTime{2010, 6, 0, 7, 16, 25, 0, 0};
    d.stamps.push_back(s);
    d.burstLength = 128;
    d.burstCount = 1;
    d.burstStartTimes = {d.stamps[0].time, d.stamps[1].time};
    WaveStore& store = *WaveResults(state);
    store.Ensure(1, 128);
    WaveResult& r0 = store.results[0];
    r0 = WaveResult{9.0f, 1.0f, -1.0f, 0.1f, 0.2f, 0.1f, 1234.5f, 1.25f, 8.5f, 1.5f, 9.0f, 0.75f, 7.25f, 2.0f, 10.0f,
                    0, d.stamps[0].time, 1.8f};
    WaveResult& r1 = store.results[1];
    r1 = WaveResult{};
    r1.meanDepth = -0.5f;
    r1.status = kWaveDepthError;
    r1.startTime = d.stamps[1].time;
    for (int b = 0; b < 2; ++b) {
      ASSERT_TRUE(d.EnsureBurst(b));
      for (int i = 0; i < 128; ++i) {
        d.Burst(b)[i] = 10.0f + 0.5f * b + 0.001f * i;
        store.Surface(b)[i] = 0.001f * i - 0.05f * b;
      }
    }
  }
};

TEST_F(TideWaveFilesTest, WaveFileHasOneLinePerBurstWithItsStatusText) {
  SmallRecording();
  const std::string text = WaveFileText(state, *WaveResults(state));
  EXPECT_EQ(After(text, "Date            Time    Number"),
            "Date            Time    Number     Depth    H(1/3)    T(1/3)   H(1/10)   T(1/10)    H(max)    T(max)    H(avg)    T(avg)    Energy\r\n"
            "Date            Time    Number         m         m       sec         m       sec         m       sec         m       sec      J/m2\r\n"
            "2010/Jun/07 16:00:00         1   10.0000    1.2500    8.5000    1.5000    9.0000    2.0000   10.0000    0.7500    7.2500 1234.5000 \r\n"
            "2010/Jun/07 16:25:00         2    0.5000    0.0000    0.0000    0.0000    0.0000    0.0000    0.0000    0.0000    0.0000    0.0000  - ERROR: mean depth<logger height above seabed\r\n");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);  // CR LF from the header on
}

TEST_F(TideWaveFilesTest, TideFileRowsFollowTheStampsAndLeaveOutTheWaveHeight) {
  SmallRecording();
  EXPECT_EQ(After(TideFileText(state), "Date            Time      Temp"),
            "Date            Time      Temp  Pressure    Depth   Td_slope\r\n"
            "Date            Time degrees_C   deciBar        m     m/hour\r\n"
            "2010/Jun/07 16:00:00   12.5000   10.0000    0.0000 \r\n"
            "2010/Jun/07 16:10:00   13.5000   10.2500    0.0000 \r\n"
            "2010/Jun/07 16:25:00   14.5000   10.5000    0.0000 \r\n");
}

TEST_F(TideWaveFilesTest, SixHertzRowsShareTheSecondTheyFallIn) {
  SmallRecording();
  DataSet& d = state.retrieval.data;
  ASSERT_TRUE(d.LayOut(2, 8));
  d.totalChannelCount = 2;
  d.sampleCount = 8;
  d.sixHzProfiling = true;
  d.stamps.clear();
  const std::string text = After(TideFileText(state), "2010/Jun/07 16:00:00");
  std::vector<std::string> times;
  for (size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) times.push_back(text.substr(at + 12, 8));
  EXPECT_EQ(times, (std::vector<std::string>{"16:00:00", "16:00:00", "16:00:00", "16:00:00", "16:00:00", "16:00:00",
                                             "16:00:01", "16:00:01"}));
}

TEST_F(TideWaveFilesTest, FilesGoToTheKzmDirectoryOnlyForADatPath) {
  EXPECT_EQ(WaveFilePath("/w/kzm", "/some/dir/012345_01.dat"), "/w/kzm/012345_01.wave");
  EXPECT_EQ(TideFilePath("/w/kzm/012345_01.wave"), "/w/kzm/012345_01.tide");
  EXPECT_EQ(WaveFilePath("/w/kzm", "/some/dir/012345_01.hex"), "");
  SmallRecording();
  EXPECT_EQ(WriteWaveAndTideFiles(state, "/elsewhere/012345_01.hex"), 0);
  EXPECT_FALSE(FileExists(Path("kzm/012345_01.wave")));
  ASSERT_EQ(WriteWaveAndTideFiles(state, "/elsewhere/012345_01.dat"), 1);
  EXPECT_NE(Read("kzm/012345_01.wave").find("16:25:00         2"), std::string::npos);
  EXPECT_NE(Read("kzm/012345_01.tide").find("16:10:00   13.5000"), std::string::npos);
  // The save path calls the same through the retrieval hook.
  state.retrieval.writeTideAndWaveFiles("/elsewhere/other.dat");
  EXPECT_TRUE(FileExists(Path("kzm/other.wave")));
}

TEST_F(TideWaveFilesTest, UnwritableKzmDirectoryIsReportedOnTheStatusLine) {
  SmallRecording();
  Write("kzm", "a file where the directory should be");
  EXPECT_EQ(WriteWaveAndTideFiles(state, "x.dat"), 0);
  EXPECT_EQ(state.statusText, "Error: Unable to create 'kzm' directory");
}

TEST_F(TideWaveFilesTest, CsvHasTheBurstsSideBySide) {
  SmallRecording();
  const std::string text = KzmCsvText(state, *WaveResults(state));
  EXPECT_EQ(text.substr(0, text.find("\r\n1,")),
            "TMV KZM-5170  6.05 051705\r\n"
            "Bursts:,2,Samples:,128,Rate (Hz):,2,Height:,1.000000\r\n"
            "\r\nBurst#,1,,2,\r\n"
            "Start time ,2010/Jun/07 16:00:00,,2010/Jun/07 16:25:00,\r\n"
            ",Depth,Surface,Depth,Surface");
  EXPECT_NE(text.find("\r\n1,10.0000,0.0000,10.5000,-0.0500\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n128,10.1270,0.1270,10.6270,0.0770\r\n"), std::string::npos);
}

TEST_F(TideWaveFilesTest, ThreeHundredBurstsAreWrittenInBlocksOf125) {
  SmallRecording();
  DataSet& d = state.retrieval.data;
  WaveStore& store = *WaveResults(state);
  store.Ensure(299, 128);
  ASSERT_TRUE(d.EnsureBurst(299));
  d.burstCount = 299;
  const std::string text = KzmCsvText(state, store);
  std::vector<size_t> blocks;
  for (size_t at = text.find("\r\nBurst#"); at != std::string::npos; at = text.find("\r\nBurst#", at + 1)) blocks.push_back(at);
  ASSERT_EQ(blocks.size(), 3u);
  auto line = [&](size_t from) { return text.substr(from + 2, text.find("\r\n", from + 2) - from - 2); };
  EXPECT_EQ(line(blocks[0]).substr(0, 14), "Burst#,1,,2,,3");
  EXPECT_NE(line(blocks[0]).find(",125,"), std::string::npos);
  EXPECT_EQ(line(blocks[0]).find(",126,"), std::string::npos);
  EXPECT_EQ(line(blocks[1]).substr(0, 12), "Burst#,126,,");
  EXPECT_EQ(line(blocks[2]).substr(0, 12), "Burst#,251,,");
  EXPECT_TRUE(line(blocks[2]).size() > 6 && line(blocks[2]).substr(line(blocks[2]).size() - 5) == ",300,");
  EXPECT_NE(text.find("Bursts:,300,"), std::string::npos);
  // Each block has its own start-time and column-title lines, and 128 reading lines.
  size_t titles = 0;
  for (size_t at = text.find("\r\n,Depth,Surface"); at != std::string::npos; at = text.find("\r\n,Depth,Surface", at + 1)) ++titles;
  EXPECT_EQ(titles, 3u);
}

TEST_F(TideWaveFilesTest, ExportAsksBeforeOverwriting) {
  SmallRecording();
  Write("kzm.csv", "old");
  ui.fileAnswers.push_back(Path("kzm"));  // ".csv" is added
  ui.answers.push_back(MessageAnswer::No);
  EXPECT_EQ(ExportKzmCsv(state), 0);
  EXPECT_EQ(Read("kzm.csv"), "old");
  ui.fileAnswers.push_back(Path("kzm.csv"));
  ui.answers.push_back(MessageAnswer::Yes);
  EXPECT_EQ(ExportKzmCsv(state), 1);
  EXPECT_EQ(Read("kzm.csv").substr(0, 12), "TMV KZM-5170");
  // A name is proposed, and the status line says where the file went.
  EXPECT_EQ(ui.fileDialogs.back().name.rfind(Format("%06d_", state.logger.serialNumber), 0), 0u) << ui.fileDialogs.back().name;
  EXPECT_EQ(ui.LastStatus(), "Saved " + Path("kzm.csv"));
}

TEST_F(TideWaveFilesTest, WaveWindowFollowsTheCursorToTheBurstOfTheRow) {
  SmallRecording();
  const WaveStore& store = *WaveResults(state);
  WaveWindowView v = ShowWaveWindow(state, store, 1, kWaveWindowData);
  ASSERT_TRUE(v.shown);
  EXPECT_EQ(v.burst, 0);
  EXPECT_EQ(v.title, "Wave measurements at 2010/Jun/07 16:00:00 - Wave 1 of 2");
  // Hm0 is labelled as the spectral height it is, and the zero-crossing
  // H 1/3 stands beside it: H max (2.00) read against 1.25 alone looked wrong.
  EXPECT_EQ(v.text.rfind("Mean depth of water:\t\t10.00 m\nSpectral wave height (Hm0 = 4 sqrt m0):\t1.25 m\n"
                         "Zero-crossing wave height (H 1/3):\t1.80 m\t\tperiod (T 1/3):\t8.50 secs\n",
                         0),
            0u)
      << v.text;
  v = ShowWaveWindow(state, store, 2, kWaveWindowData);
  EXPECT_EQ(v.burst, 1);
  EXPECT_EQ(v.text.rfind("\t\t\t - ERROR: mean depth<logger height above seabed\nMean depth of water:\t\t0.50 m", 0), 0u);
  EXPECT_EQ(v.surface.size(), 128u);
  EXPECT_EQ(v.frequency.size(), 65u);
  EXPECT_EQ(ShowWaveWindow(state, store, 0, kWaveWindowRealTime).text, "Real-time wave measurements in progress.");
  EXPECT_EQ(WaveHeightForRow(state.retrieval.data, store, 1, false), 1.25);
  EXPECT_EQ(WaveHeightForRow(state.retrieval.data, store, 2, false), 0.0);
  state.retrieval.data.stamps.erase(state.retrieval.data.stamps.begin());
  EXPECT_FALSE(ShowWaveWindow(state, store, 1, kWaveWindowData).shown);  // before the first burst
  EXPECT_EQ(WaveHeightForRow(state.retrieval.data, store, 1, false), 0.0);
}

TEST(WaveTraceTest, CentredWhenTheSurfaceCrossesZeroElseScaledBetweenItsExtremes) {
  const std::vector<float> s{0.0f, 1.0f, -0.5f, 0.0f};
  const std::vector<WavePoint> p = WaveTrace(s, 1.0f, -0.5f, 400, 102);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[1].x, 100);
  EXPECT_EQ(p[0].y, 51);
  EXPECT_EQ(p[1].y, 1);
  EXPECT_EQ(p[2].y, 76);
  const std::vector<WavePoint> q = WaveTrace({1.0f, 2.0f, 3.0f}, 3.0f, 1.0f, 300, 102);
  EXPECT_EQ(q[0].y, 101);
  EXPECT_EQ(q[2].y, 1);
}

// The emulated KZM-5170 logs waves of 8, 5.3 and 11.7 s (0.6, 0.25 and 0.1
// dBar) on a tide: decoded with the analysis installed, every burst comes
// out good with a significant height of a metre or two and the 8 s peak.
class EmulatorWaveTest : public WorkDirectoryTest {
 protected:
  // Three bursts of 2048 readings at 4 Hz, logged from 16:00 to 18:00 and
  // decoded with the analysis installed.
  void LogAndDecode() { LogKzmBurstsAndDecode(state, emulator, clock); }
  sim::LoggerEmulator emulator{sim::ProfileByName("KZM-5170")};
};

TEST_F(EmulatorWaveTest, LoggedBurstsOfTheEmulatedRecorderGivePlausibleWaves) {
  LogAndDecode();
  DataSet& d = state.retrieval.data;
  const WaveStore& store = *WaveResults(state);
  ASSERT_EQ(d.burstCount, 2) << d.sampleCount << " rows, " << d.burstWords << " burst words";
  ASSERT_EQ(store.Count(), 3);
  for (int b = 0; b < 3; ++b) {
    const WaveResult& r = store.results[static_cast<size_t>(b)];
    EXPECT_EQ(r.status, kWaveGood) << b;
    EXPECT_GT(r.meanDepth, 7.0f) << b;
    EXPECT_LT(r.meanDepth, 12.0f) << b;
    // The sea the emulator made: Hs = 4 sqrt((0.4^2 + 0.15^2) / 2) = 1.208 m, the swell's 10 s peak.
    EXPECT_NEAR(r.hThird, 1.208f, 0.12f) << b;
    EXPECT_NEAR(1.0 / r.peakFrequency, 10.0, 0.3) << b;
    EXPECT_EQ(r.startTime, d.burstStartTimes[static_cast<size_t>(b)]);
  }
  EXPECT_EQ(store.latestWaveHeight, store.results[2].hThird);
}

// tmv-cli waves on a HEX file of the emulated recorder, in-process.
TEST_F(EmulatorWaveTest, CliWavesPrintsEveryBurstAndWritesTheFiles) {
  LogAndDecode();
  ASSERT_TRUE(WriteHexFile(state, Path("051705_01.hex")));
  ScriptedUserInterface ui2;
  AppState cliState(serial, clock, ui2);
  cliState.directories.work = dir;
  std::ostringstream out, err;
  auto run = [&](std::vector<std::string> args) {
    out.str({});
    err.str({});
    for (const auto& info : cli::CliCommands())
      if (info.name == "waves") {
        cli::CliContext ctx{cliState, std::move(args), out, err, false};
        return info.run(ctx);
      }
    return -1;
  };
  ASSERT_EQ(run({Path("051705_01.hex"), "--files", "--csv", Path("out.csv")}), 0) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("    1  2010-06-07 16:00:00"), std::string::npos) << text;
  EXPECT_NE(text.find("    3  2010-06-07 18:00:00"), std::string::npos) << text;
  EXPECT_NE(text.find("0.09961    10.04  good"), std::string::npos) << text;  // the 10 s swell at 4 Hz
  EXPECT_NE(text.find("Depth(m)   Hm0(m)  H1/3(m)    Tz(s)  Hmax(m)"), std::string::npos) << text;
  EXPECT_NE(Read("kzm/051705_01.wave").find("2010/Jun/07 17:00:00         2"), std::string::npos);
  EXPECT_NE(Read("kzm/051705_01.tide").find("Td_slope"), std::string::npos);
  EXPECT_EQ(Read("out.csv").substr(0, 12), "TMV KZM-5170");

  ASSERT_EQ(run({Path("051705_01.hex"), "--burst", "2", "--json", "-o", Path("results")}), 0) << err.str();
  EXPECT_EQ(out.str().find("{\"burst\":1,"), std::string::npos);
  EXPECT_NE(out.str().find("{\"burst\":2,\"start\":\"2010-06-07T17:00:00\""), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\"hm0_m\":"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\"h_third_m\":"), std::string::npos) << out.str();
  EXPECT_TRUE(FileExists(Path("results/051705_01.wave")));
  EXPECT_TRUE(FileExists(Path("results/051705_01.tide")));
  EXPECT_TRUE(FileExists(Path("results/051705_01.csv")));

  EXPECT_EQ(run({Path("051705_01.hex"), "--burst", "9"}), 1);
  EXPECT_EQ(run({Path("missing.hex")}), 1);
}

}  // namespace
}  // namespace tmv::test
