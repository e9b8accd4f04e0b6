// Real-time collection on a scripted line and the virtual clock: the rows
// reach the DataSet and the HEX file, the byte count covers the whole dump so
// the file reads back whole, and both record forms give the same file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "deployment/SetupCommands.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "presentation/GraphView.h"
#include "retrieval/RealTime.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "sim/ServerOptions.h"
#include "support/ScriptedPort.h"

namespace tmv {
namespace {

struct RealTimeRig : test::ScriptedRig {
  explicit RealTimeRig(int channels = 3, int headerLength = 48, std::string types = "TCP") {
    char pattern[] = "/tmp/tmv-rt-XXXXXX";
    dir = mkdtemp(pattern);
    state.directories.work = dir;
    LoggerInfo& l = state.logger;
    l.model = "QN-760";
    l.firmwareVersion = 6.0f;
    l.serialNumber = 4321;
    l.channelCount = channels;
    l.parameterBlockLength = headerLength;
    for (int c = 0; c < channels; ++c) l.channelTypes[static_cast<size_t>(c)] = static_cast<uint8_t>(types[static_cast<size_t>(c)]);
    ApplyDefaultCoefficients(l, state.calibration);
    state.deployment.samplingPeriod = MakeClock(0, 0, 1);
    state.deployment.realTimeOutput = 1;
    state.realTime.filePath = dir + "/rt.hex";
    EXPECT_TRUE(OpenAt(19200));
  }
  ~RealTimeRig() { std::filesystem::remove_all(dir); }

  LoggerTime At(int second) const { return AddSeconds(LoggerTime{2026, 3, 0, 14, 10, 0, 0, 0}, second); }
  std::vector<uint32_t> Raw(int row) const {
    std::vector<uint32_t> raw;
    for (int c = 0; c < state.logger.channelCount; ++c) {
      const uint32_t r = 0x400000u + 0x1111u * static_cast<uint32_t>(row) + 0x40000u * static_cast<uint32_t>(c) + 5;
      raw.push_back(evenOnly ? r & ~1u : r);
    }
    return raw;
  }
  void SendBinary(int rows) {
    for (int i = 0; i < rows; ++i) {
      RealTimeRecord r;
      r.time = At(i);
      r.raw = Raw(i);
      line.SendBytes(EncodeBinaryRecord(r));
    }
  }
  // The same readings as the logger's engineering form, full precision
  // (or as a logger prints them, "%.4f").
  void SendEngineering(int rows, const char* format = " %.17g") {
    for (int i = 0; i < rows; ++i) {
      std::string text = "TIM " + TimeToWireText(At(i));
      const auto raw = Raw(i);
      for (size_t c = 0; c < raw.size(); ++c) {
        char b[40];
        std::snprintf(b, sizeof b, format, ConvertReading(state.logger, state.calibration, static_cast<int32_t>(raw[c]), static_cast<int>(c)));
        text += b;
      }
      line.Send(text + " FET\r\n");
    }
  }
  void TickUntilQuiet() {
    for (int quiet = 0; quiet < 5;) quiet = RealTimeTick(state) == 0 ? quiet + 1 : 0;
  }
  std::string Dump() const {
    const std::string text = ReadDataFile(state.realTime.filePath).value_or("");
    const size_t ruler = text.find("|     |");
    return ruler == std::string::npos ? "" : text.substr(text.find('\n', ruler) + 1);
  }

  std::string dir;
  // Readings as a logger sends them in range: bit 0 clear (set, it marks an
  // over-range reading, which has no engineering value to send instead).
  bool evenOnly = false;
};

// Raw values end in 5, 6, 7, ...: the odd ones wrap when a file is decoded,
// so the rows shown while collecting must wrap the same way.
TEST(RealTimeCollection, EndPatchesAByteCountOfTheWholeDumpAndTheFileReadsBackWhole) {
  RealTimeRig rig;
  ASSERT_EQ(StartRealTime(rig.state), 1);
  EXPECT_EQ(rig.state.realTime.tickPeriodMs, 150);
  EXPECT_TRUE(rig.state.shell.realTimeActive);
  rig.SendBinary(100);
  rig.TickUntilQuiet();
  ASSERT_EQ(rig.state.retrieval.data.sampleCount, 100);
  EXPECT_EQ(rig.state.graph.readingCount, 100);
  EXPECT_TRUE(rig.state.graph.view.realTime);
  EXPECT_EQ(rig.state.graph.view.firstIndex, 100 - kRealTimeReadings);
  std::vector<std::vector<float>> collected(3);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 100; ++r) collected[static_cast<size_t>(c)].push_back(rig.state.retrieval.data.Value(c, r));
  // A binary logger goes on sending unless told to stop: the caller decides.
  EXPECT_TRUE(EndAsksAboutTransmission(rig.state));
  ASSERT_EQ(EndRealTime(rig.state), Outcome::Done());
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_EQ(rig.line.CountWrites("!B00"), 0);
  EXPECT_FALSE(rig.state.shell.realTimeActive);
  const std::string text = ReadDataFile(rig.state.realTime.filePath).value_or("");
  // 48 header bytes, one 12-byte stamp, 100 rows of 9 bytes.
  EXPECT_NE(text.find("Number of bytes of data     960\r\n"), std::string::npos);
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 100);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 100; ++r)
      ASSERT_NEAR(d.Value(c, r), collected[static_cast<size_t>(c)][static_cast<size_t>(r)], 1e-4) << c << "," << r;
  EXPECT_EQ(SampleTime(d, 99), rig.At(99));
}

// The limits fix each kind's scale so the plot does not jump; readings
// beyond them widen it rather than leave the plot, and a kind without
// limits is scaled by its readings alone. Every other reading here is
// invalid (odd raw values wrap): the marker must not reset the range.
TEST(RealTimeCollection, LimitsScaleTheGraphAndReadingsBeyondThemWidenIt) {
  RealTimeRig rig;
  rig.state.analysis.limits[0] = {500, -500};  // temperature: wider than any reading
  rig.state.analysis.limits[2] = {1, 0};         // conductivity: readings go beyond
  rig.state.analysis.limits[1] = {0, 0};         // pressure: no limits
  ASSERT_EQ(StartRealTime(rig.state), 1);
  rig.SendBinary(10);
  rig.TickUntilQuiet();
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 10);
  auto range = [&](int c) {
    float low = 1e30f, high = -1e30f;
    for (int r = 0; r < d.sampleCount; ++r) {
      if (d.Value(c, r) == kInvalidValue) continue;
      low = std::min(low, d.Value(c, r));
      high = std::max(high, d.Value(c, r));
    }
    return std::pair{low, high};
  };
  EXPECT_EQ(d.Minimum(0), -500.0f);
  EXPECT_EQ(d.Maximum(0), 500.0f);
  const auto [condLow, condHigh] = range(1);
  EXPECT_EQ(d.Minimum(1), std::min(0.0f, condLow));
  EXPECT_EQ(d.Maximum(1), std::max(1.0f, condHigh));
  const auto [presLow, presHigh] = range(2);
  EXPECT_EQ(d.Minimum(2), presLow);
  EXPECT_EQ(d.Maximum(2), presHigh);
  const GraphState& g = rig.state.graph;
  // Attached before the first row, the view still shows every channel.
  EXPECT_EQ(g.view.shownMask, 0b111u);
  EXPECT_EQ(g.view.currentKind, KindOfCode('T'));
  const SpanRange& t = g.kindRange[static_cast<size_t>(KindOfCode('T'))];
  EXPECT_EQ(t.low, -500.0f);
  EXPECT_EQ(t.high, 500.0f);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[static_cast<size_t>(KindOfCode('T'))], 50.0f);
  EndRealTime(rig.state);
}

TEST(RealTimeCollection, HundredThreeChannelRecordsWithoutHeaderBytesCount912) {
  RealTimeRig rig(3, 0);
  ASSERT_EQ(StartRealTime(rig.state), 1);
  rig.SendBinary(100);
  rig.TickUntilQuiet();
  EndRealTime(rig.state, /*stopTransmission=*/true);
  EXPECT_GE(rig.line.CountWrites("!B00"), 1);
  const std::string text = ReadDataFile(rig.state.realTime.filePath).value_or("");
  const size_t line = text.find("Number of bytes of data");
  ASSERT_NE(line, std::string::npos);
  EXPECT_EQ(text.substr(line, 33), "Number of bytes of data     912\r\n");
}

TEST(RealTimeCollection, LostRecordStartsANewStampSoTimesStayRight) {
  RealTimeRig rig;
  ASSERT_EQ(StartRealTime(rig.state), 1);
  for (int i : {0, 1, 2, 5, 6}) {
    RealTimeRecord r;
    r.time = rig.At(i);
    r.raw = rig.Raw(i);
    rig.line.SendBytes(EncodeBinaryRecord(r));
  }
  rig.TickUntilQuiet();
  ASSERT_EQ(EndRealTime(rig.state), Outcome::Done());
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 5);
  EXPECT_EQ(SampleTime(d, 2), rig.At(2));
  EXPECT_EQ(SampleTime(d, 3), rig.At(5));
  EXPECT_EQ(SampleTime(d, 4), rig.At(6));
}

TEST(RealTimeCollection, BytesOnBothSidesOfAQuietTickNeverMakeOneRecord) {
  // The logger lost the last byte of a record; a junk byte that came a
  // second later matches its checksum. The tick that read nothing between
  // them keeps them apart.
  RealTimeRig rig;
  ASSERT_EQ(StartRealTime(rig.state), 1);
  RealTimeRecord r;
  r.time = rig.At(0);
  r.raw = rig.Raw(0);
  std::vector<uint8_t> shortRecord = EncodeBinaryRecord(r);
  shortRecord.erase(shortRecord.end() - 2);
  unsigned sum = 0;
  for (size_t i = 3; i < shortRecord.size(); ++i) sum += shortRecord[i];
  rig.line.SendBytes(shortRecord);
  rig.TickUntilQuiet();
  r.time = rig.At(1);
  r.raw = rig.Raw(1);
  std::vector<uint8_t> next = {static_cast<uint8_t>(sum), 0x55};
  const auto whole = EncodeBinaryRecord(r);
  next.insert(next.end(), whole.begin(), whole.end());
  rig.line.SendBytes(next);
  rig.TickUntilQuiet();
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 1);
  EXPECT_EQ(rig.state.realTime.counters.badChecksums, 1u);
}

TEST(RealTimeCollection, SixChannelEngineeringFormWritesTheBinaryFormsFileButForClearedGainBits) {
  const std::string types = "TCPyDf";
  std::string binary, engineering;
  {
    RealTimeRig rig(6, 48, types);
    rig.evenOnly = true;
    ASSERT_EQ(StartRealTime(rig.state), 1);
    rig.SendBinary(20);
    rig.TickUntilQuiet();
    binary = rig.Dump();
  }
  {
    RealTimeRig rig(6, 48, types);
    rig.evenOnly = true;
    rig.state.logger.engineeringUnitsLevel = 1;
    rig.state.deployment.optionFlags |= kOptionEngineeringUnits;
    ASSERT_EQ(StartRealTime(rig.state), 1);
    EXPECT_TRUE(rig.state.realTime.engineering);
    rig.SendEngineering(20);
    rig.TickUntilQuiet();
    EXPECT_EQ(rig.state.retrieval.data.sampleCount, 20);
    engineering = rig.Dump();
  }
  // The 48 header bytes (two lines) say which form the logger was told to send.
  const auto afterHeader = [](const std::string& dump) {
    size_t at = 0;
    for (int line = 0; line < 2 && at != std::string::npos; ++line) at = dump.find('\n', at) + 1;
    return dump.substr(at);
  };
  binary = afterHeader(binary);
  engineering = afterHeader(engineering);
  ASSERT_EQ(binary.size(), engineering.size());
  ASSERT_FALSE(binary.empty());
  // Raw values end in 4, 6, ...: the 'y' and 'f' channels (4th and 6th) read 0 or 8
  // in the engineering file; everything else is the same.
  std::string expected = binary;
  std::string compact;
  RealTimeRig probe(6, 48, types);
  probe.evenOnly = true;
  for (int i = 0; i < 20; ++i) {
    const auto raw = probe.Raw(i);
    for (size_t c : {3u, 5u}) {
      char from[16], to[16];
      std::snprintf(from, sizeof from, "%06X", raw[c]);
      std::snprintf(to, sizeof to, "%06X", raw[c] & ~7u);
      const size_t at = expected.find(from);
      ASSERT_NE(at, std::string::npos);
      expected.replace(at, 6, to);
    }
  }
  EXPECT_EQ(engineering, expected);
}

// A logger prints four decimals; the count nearest such a value is odd
// about half the time, and the file's reader takes an odd count of an
// ordinary channel for an over-range mark (-1000 degC, or 2^24 counts off).
TEST(RealTimeCollection, EngineeringValuesAsPrintedReadBackAsReceived) {
  RealTimeRig rig(3, 48, "TCP");
  rig.evenOnly = true;
  rig.state.logger.engineeringUnitsLevel = 1;
  rig.state.deployment.optionFlags |= kOptionEngineeringUnits;
  ASSERT_EQ(StartRealTime(rig.state), 1);
  rig.SendEngineering(40, " %.4f");
  rig.TickUntilQuiet();
  ASSERT_EQ(EndRealTime(rig.state), Outcome::Done());
  const DataSet& d = rig.state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 40);
  for (int r = 0; r < 40; ++r) {
    const auto raw = rig.Raw(r);
    for (int c = 0; c < 3; ++c) {
      char printed[40];
      std::snprintf(printed, sizeof printed, "%.4f",
                    ConvertReading(rig.state.logger, rig.state.calibration, static_cast<int32_t>(raw[static_cast<size_t>(c)]), c));
      ASSERT_NEAR(d.Value(c, r), std::strtod(printed, nullptr), 5e-5) << "row " << r << " channel " << c;
    }
  }
}

// The desktop's collection follows its setup; coefficients that could not be
// read there are read again, and defaults stand in only when the user says so.
TEST(RealTimeCollection, UnreadableCalibrationIsReadAgainThenCollectedOnlyOnYes) {
  for (const bool yes : {false, true}) {
    RealTimeRig rig;
    rig.state.logger.microchipLogger = true;
    rig.state.logger.capabilitiesStale = rig.state.logger.configurationStale = false;
    rig.state.calibration.origin = CalibrationOrigin::Unreadable;
    if (yes) rig.ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(StartRealTime(rig.state), yes ? 1 : 0);
    EXPECT_TRUE(rig.ui.BoxSeen("The calibration coefficients could not be read from the logger.\nEvery value "
                               "converted with the default coefficients would be wrong.\n\nCollect with the default "
                               "coefficients?"));
    EXPECT_GE(rig.line.CountWrites("V000000"), 2);
    EXPECT_EQ(std::filesystem::exists(rig.state.realTime.filePath), yes);
    EXPECT_EQ(rig.state.realTime.active, yes);
  }
}

// An adapter pulled out mid-collection: the rows that came are kept, the
// byte count patched, and nothing is asked of a logger that cannot hear.
TEST(RealTimeCollection, LostPortEndsTheCollectionWithWhatCame) {
  RealTimeRig rig;
  ASSERT_EQ(StartRealTime(rig.state), 1);
  rig.SendBinary(5);
  rig.TickUntilQuiet();
  rig.line.lost = true;
  // The desktop's tick ends the collection.
  DialogPresenter dialogs;
  Shell shell(rig.state, dialogs);
  ShellTick(shell);
  EXPECT_TRUE(rig.state.realTime.linkLost);
  EXPECT_FALSE(rig.state.realTime.active);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);  // no transmission question
  EXPECT_EQ(rig.ui.boxes[0].text, "The connection to the logger on COM1 was lost.\nReal-time collection ends.");
  EXPECT_EQ(rig.line.CountWrites("!B00"), 0);
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, 5);
}

TEST(RealTimeCollection, UnopenableFileStopsTheStartWithItsMessage) {
  RealTimeRig rig;
  rig.state.realTime.filePath = rig.dir + "/no/such/dir/rt.hex";
  EXPECT_EQ(StartRealTime(rig.state), 0);
  EXPECT_EQ(rig.state.realTime.refusal, Outcome::Of(OutcomeKind::Failed, "Unable to open '.hex' data file"));
  EXPECT_FALSE(rig.state.shell.realTimeActive);
}

TEST(RealTimeCollection, ChosenFileThatExistsIsOverwrittenOnlyOnYes) {
  RealTimeRig rig;
  const std::string path = rig.dir + "/004321Realtime.hex";
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fclose(f);
  rig.ui.fileAnswers.push_back(path);
  rig.ui.answers.push_back(MessageAnswer::No);
  EXPECT_EQ(ChooseRealTimeFiles(rig.state), 0);
  EXPECT_EQ(rig.ui.fileDialogs.back().pattern, "004321Realtime.hex");
  rig.ui.fileAnswers.push_back(path);
  rig.ui.answers.push_back(MessageAnswer::Yes);
  EXPECT_EQ(ChooseRealTimeFiles(rig.state), 1);
  EXPECT_EQ(rig.state.realTime.filePath, path);
  EXPECT_EQ(std::filesystem::path(rig.state.realTime.gpsPath).filename(), "004321Realtime.gps");
}

TEST(RealTimeBaudCode, At115200IsOneNotZeroWhichWouldSilenceTheLogger) {
  EXPECT_EQ(RealTimeBaudCode(115200), 1u);
  EXPECT_EQ(RealTimeBaudCode(57600), 3u);
  EXPECT_EQ(RealTimeBaudCode(19200), 13u);
  EXPECT_EQ(RealTimeBaudCode(0), 0u);
}

TEST(RealTimeNoiseOptions, RatesAreFractionsThatTogetherStayWithinOne) {
  sim::ServerOptions o;
  std::string error;
  ASSERT_TRUE(sim::ParseServerOptions({"--rt-junk", "0.02", "--rt-drop", "0.01", "--rt-break", "0.01", "--rt-seed", "7"}, o, error)) << error;
  EXPECT_DOUBLE_EQ(o.faults.rtJunkRate, 0.02);
  EXPECT_DOUBLE_EQ(o.faults.rtBreakRate, 0.01);
  EXPECT_EQ(o.faults.rtSeed, 7u);
  sim::ServerOptions bad;
  EXPECT_FALSE(sim::ParseServerOptions({"--rt-junk", "0.6", "--rt-drop", "0.6"}, bad, error));
  EXPECT_FALSE(sim::ParseServerOptions({"--rt-break", "2"}, bad, error));
  EXPECT_FALSE(sim::ParseServerOptions({"--rt-drop", "x"}, bad, error));
}

}  // namespace
}  // namespace tmv
