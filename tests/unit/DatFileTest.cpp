// DAT files: rows and their times, screen segments, reading back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "files/DatFile.h"
#include "files/HexFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class DatFileTest : public WorkDirectoryTest {
 protected:
  DatFileTest() {
    MakeThreeChannelLogger(state);
    state.directories.dat = dir;
    state.directories.hexOutput = dir;
  }
  DataSet& Data() { return state.retrieval.data; }
  void Retrieve(const ImageBuilder& b) {
    b.Into(state.retrieval.image);
    DecodeSampleStream(state, true);
  }
  // One channel of `rows` readings; a stamp before `stampRow` when given.
  void OneChannel(int rows, int stampRow = -1, int stampSecond = 0) {
    state.logger.channelCount = 1;
    state.logger.channelTypes[0] = 'V';
    state.calibration.coefficients[0] = {0, 100, 0, 0};
    ImageBuilder b(48);
    for (int r = 0; r < rows; ++r) {
      if (r == stampRow) b.Stamp("TIM", 24, 3, 15, 12, 5, stampSecond);
      b.Word(0x3B4A2C + 2 * static_cast<uint32_t>(r));
    }
    Retrieve(b);
  }
  std::vector<std::string> RowLines(const std::string& text) {
    std::vector<std::string> rows;
    const std::string body = text.substr(text.find("\r\n\r\n") + 4);
    for (auto& line : SplitLines(body)) rows.emplace_back(line);
    if (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
  }
};

TEST_F(DatFileTest, TimeFormatPutsTheRowTimeFirst) {
  OneChannel(3);
  state.settings.datFormat = 1;
  const auto rows = RowLines(DatFileText(state));
  ASSERT_GE(rows.size(), 3u);
  // The header of a multi-channel file ends with its column titles.
  EXPECT_EQ(rows[0], "              Volt ");  // nine blanks over the time column
  EXPECT_EQ(rows[1], "");
  EXPECT_EQ(rows[2].substr(0, 9), "12:00:00 ");
  EXPECT_EQ(rows[3].substr(0, 9), "12:00:30 ");
  EXPECT_EQ(rows[3].size(), 19u);
}

TEST_F(DatFileTest, DateTimeFormatRowOfOneChannel) {
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'V';
  state.calibration.coefficients[0] = {23.1564, 0, 0, 0};
  Retrieve(ImageBuilder(48).Word(0x400000));
  state.settings.datFormat = 2;
  const std::string text = DatFileText(state);
  EXPECT_NE(text.find("\r\n2024/03/15 12:00:00   23.1564 \r\n"), std::string::npos);
  EXPECT_NE(text.find("E01%9.4f\r\n"), std::string::npos);
}

TEST_F(DatFileTest, StampLateByFiveSecondsRestartsTheRowTimes) {
  // Rows 0..9 every 30 s from 12:00:00; the stamp says 12:05:05 at row 10.
  OneChannel(13, 10, 5);
  state.settings.datFormat = 1;
  const auto rows = RowLines(DatFileText(state));
  EXPECT_EQ(rows[2 + 9].substr(0, 8), "12:04:30");
  EXPECT_EQ(rows[2 + 10].substr(0, 8), "12:05:05");
  EXPECT_EQ(rows[2 + 11].substr(0, 8), "12:05:35");
}

TEST_F(DatFileTest, SixHertzRowsShareTheirSecond) {
  Data().deployment.sixHzMode = true;
  OneChannel(13);
  state.settings.datFormat = 1;
  const auto rows = RowLines(DatFileText(state));
  for (int r = 0; r < 6; ++r) EXPECT_EQ(rows[static_cast<size_t>(2 + r)].substr(0, 8), "12:00:00") << r;
  for (int r = 6; r < 12; ++r) EXPECT_EQ(rows[static_cast<size_t>(2 + r)].substr(0, 8), "12:00:01") << r;
  EXPECT_EQ(rows[14].substr(0, 8), "12:00:02");
  EXPECT_NE(DatFileText(state).find("Sample period          6Hz profiling\r\n"), std::string::npos);
}

TEST_F(DatFileTest, WrittenAndReadBackWithinThePrintedPrecision) {
  ImageBuilder b(48);
  for (int r = 0; r < 50; ++r) {
    if (r == 20) b.Stamp("TIM", 24, 3, 15, 13, 0, 0);
    b.Word(0x700000 + 512 * static_cast<uint32_t>(r)).Word(0x210000 + 4096 * static_cast<uint32_t>(r)).Word(0x300000);
  }
  Retrieve(b);
  for (int format = 0; format < 3; ++format) {
    state.settings.datFormat = format;
    const DataSet before = Data();
    ASSERT_TRUE(WriteDatFile(state, Path("r.dat")));
    ASSERT_EQ(ReadDatFile(state, 0, Path("r.dat")), Outcome::Done()) << format;
    ASSERT_EQ(Data().sampleCount, before.sampleCount);
    ASSERT_EQ(Data().channelCount, 3);
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < before.sampleCount; ++r)
        ASSERT_NEAR(Data().Value(c, r), before.Value(c, r), 0.00006) << format << " " << c << " " << r;
    EXPECT_EQ(Data().channelTypes[1], 'P');
    EXPECT_EQ(Data().startTime, before.startTime);
    ASSERT_EQ(Data().StampCount(), 1);  // the time stamp (no gain channels)
    EXPECT_EQ(Data().stamps[0].sampleIndex, 20);
    EXPECT_EQ(Data().stamps[0].time, (LoggerTime{2024, 3, 0, 15, 13, 0, 0, 0}));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    MakeThreeChannelLogger(state);  // the file's header replaced the logger's description
    Retrieve(b);
  }
}

TEST_F(DatFileTest, FileCutInsideARowKeepsTheRowsBeforeIt) {
  OneChannel(5);
  Retrieve(ImageBuilder(48).Word(0x400000).Word(0x400002).Word(0x400004).Word(0x400006).Word(0x400008).Word(0x40000A)
               .Word(0x40000C).Word(0x40000E).Word(0x400010));  // 3 rows of 3 channels
  state.logger.channelCount = 3;
  Retrieve(ImageBuilder(48).Word(0x400000).Word(0x400002).Word(0x400004).Word(0x400006).Word(0x400008).Word(0x40000A)
               .Word(0x40000C).Word(0x40000E).Word(0x400010));
  std::string text = DatFileText(state);
  text.resize(text.size() - 14);  // into the last row
  Write("cut.dat", text);
  EXPECT_EQ(ReadDatFile(state, 0, Path("cut.dat")),
            Outcome::Of(OutcomeKind::Partial, "%s", {"Error while reading file data.\nThe file has lost data.\nThe available data will be plotted."}));
  EXPECT_EQ(Data().sampleCount, 2);
}

TEST_F(DatFileTest, NonNumericValuesAreMissingAndReported) {
  OneChannel(3);
  std::string text = DatFileText(state);
  const size_t at = text.rfind("\r\n", text.size() - 3);
  text.replace(at + 2, 9, "     abc ");
  Write("bad.dat", text);
  EXPECT_EQ(ReadDatFile(state, 0, Path("bad.dat")),
            Outcome::Of(OutcomeKind::Partial, "%s", {"Error while reading file data.\n1 values are not numbers; they are shown as missing."}));
  EXPECT_EQ(Data().sampleCount, 3);
  EXPECT_EQ(Data().Value(0, 2), kInvalidValue);
}

TEST_F(DatFileTest, HeaderClaimingMillionsOfRowsReadsTheRowsThere) {
  OneChannel(3);
  std::string text = DatFileText(state);
  text.replace(text.find("number of samples =      3"), 26, "number of samples = 999999999");
  Write("lie.dat", text);
  EXPECT_EQ(ReadDatFile(state, 0, Path("lie.dat")),
            Outcome::Of(OutcomeKind::Partial, "%s", {"Error while reading file data.\nThe file has lost data.\nThe available data will be plotted."}));
  EXPECT_EQ(Data().sampleCount, 3);
}

TEST_F(DatFileTest, NotADatFile) {
  Write("x.dat", "hello\r\n");
  EXPECT_EQ(ReadDatFile(state, 0, Path("x.dat")), Outcome::Of(OutcomeKind::Failed, "This file is not an TMV DAT file"));
  EXPECT_EQ(ReadDatFile(state, 0, Path("missing.dat")), Outcome::Of(OutcomeKind::Failed, "File does not exist"));
  EXPECT_TRUE(ui.boxes.empty());
}

// Rows 100..199 as their own file: the header counts 100 rows from the
// segment's start, and the stamps inside are renumbered from 0.
TEST_F(DatFileTest, SegmentRewritesItsHeaderAndRenumbersItsStamps) {
  OneChannel(300, 150, 0);
  ASSERT_EQ(Data().StampCount(), 1);
  ImageBuilder b(48);
  for (int r = 0; r < 300; ++r) {
    if (r == 50 || r == 150 || r == 250) b.Stamp("TIM", 24, 3, 16, 0, 0, 0);
    b.Word(0x400000);
  }
  Retrieve(b);
  state.settings.datFormat = 1;
  const std::string text = SegmentFileText(state, 100, 199);
  EXPECT_NE(text.find("number of samples =    100,"), std::string::npos);
  // Row 100 is 50 periods after the stamp at row 50 (00:00:00 on the 16th).
  EXPECT_NE(text.find("Logging start 24/03/16 00:25:00\r\n"), std::string::npos);
  EXPECT_NE(text.find("Timestamp 2024/03/16 00:00:00 at sample 51 of type: TIME STAMP\r\n"), std::string::npos);
  EXPECT_EQ(text.find("at sample 151"), std::string::npos);
  EXPECT_EQ(text.find("at sample -"), std::string::npos);
  const auto rows = RowLines(text);
  ASSERT_EQ(rows.size(), 102u);
  EXPECT_EQ(rows[2].substr(0, 8), "00:25:00");
  EXPECT_EQ(rows[2 + 50].substr(0, 8), "00:00:00");
  // Read back, the segment's stamp lands on its own row.
  Write("seg.dat", text);
  ASSERT_EQ(ReadDatFile(state, 0, Path("seg.dat")), Outcome::Done());
  EXPECT_EQ(Data().sampleCount, 100);
  ASSERT_EQ(Data().StampCount(), 1);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 50);
}

TEST_F(DatFileTest, SegmentAsksForItsNameAndWritesIt) {
  OneChannel(20);
  ui.fileAnswers.push_back(Path("seg"));
  EXPECT_EQ(SaveScreenSegment(state, 5, 9), 1);
  EXPECT_NE(Read("seg.dat").find("number of samples =      5,"), std::string::npos);
  EXPECT_EQ(ui.fileDialogs[0].pattern, "000123*.dat");
}

TEST_F(DatFileTest, WriteFormatDialogChecksTheCurrentFormatAndOkStoresTheChoice) {
  state.settings.datFormat = 1;
  WriteFormatDialog dialog(state);
  EXPECT_EQ(dialog.Checked(), WriteFormatDialog::kTimeAndValues);
  dialog.Check(WriteFormatDialog::kDateTimeAndValues);
  dialog.Cancel();
  EXPECT_EQ(state.settings.datFormat, 1);
  dialog.Ok();
  EXPECT_EQ(state.settings.datFormat, 2);
  EXPECT_NE(Read("tmv.ini"), "<missing>");
}

}  // namespace
}  // namespace tmv::test

namespace tmv::test {
namespace {

// The older single-channel recorders: a header without column titles whose
// key lines end at the first line that is none of them.
TEST_F(DatFileTest, TemperatureRecorderFilesRoundTripWithTheirStamps) {
  state.logger = LoggerInfo{};
  state.logger.model = "KM-3170";
  state.logger.firmwareVersion = 2.5f;
  state.logger.serialNumber = 42;
  state.calibration.coefficients[0] = DefaultCoefficients('T');
  ImageBuilder b(30);
  for (int r = 0; r < 12; ++r) {
    if (r == 4) b.Stamp("TIM", 24, 3, 15, 13, 0, 0);
    if (r == 8) b.Stamp("CLD", 24, 3, 15, 14, 0, 0);
    b.Word(0x800000 + 0x1000 * static_cast<uint32_t>(r));
  }
  Retrieve(b);
  ASSERT_EQ(Data().sampleCount, 12);
  ASSERT_EQ(Data().StampCount(), 2);
  const DataSet before = Data();
  state.settings.datFormat = 1;
  ASSERT_TRUE(WriteHexFile(state, Path("km.hex")));
  ASSERT_TRUE(WriteDatFile(state, Path("km.dat")));
  const std::string hex = Read("km.hex");
  EXPECT_NE(hex.find("Timestamp 2024/03/15 13:00:00 at sample 5 of type: TIME STAMP\r\n"), std::string::npos);
  EXPECT_NE(hex.find("Reset stamp 2024/03/15 14:00:00 at sample 9 of type: COLD STARTUP\r\n"), std::string::npos);
  EXPECT_NE(hex.find("Number of bytes in header 30\r\n"), std::string::npos);

  ASSERT_EQ(ReadHexFile(state, 0, Path("km.hex")), Outcome::Done());
  ASSERT_EQ(Data().sampleCount, 12);
  for (int r = 0; r < 12; ++r) EXPECT_EQ(Data().Value(0, r), before.Value(0, r));
  EXPECT_EQ(Data().StampCount(), 2);

  ASSERT_EQ(ReadDatFile(state, 0, Path("km.dat")), Outcome::Done());
  ASSERT_EQ(Data().sampleCount, 12);
  for (int r = 0; r < 12; ++r) EXPECT_NEAR(Data().Value(0, r), before.Value(0, r), 0.00006);
  // The DAT header lists time stamps only; the cold start-up's time comes
  // back from the rows, so that every row keeps its time.
  ASSERT_EQ(Data().StampCount(), 2);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 4);
  EXPECT_EQ(Data().stamps[1].sampleIndex, 8);
  for (int r = 0; r < 12; ++r) EXPECT_EQ(CompareTimes(SampleTime(Data(), r), SampleTime(before, r)), 0) << r;
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DatFileTest, SixHertzSegmentKeepsItsRowsOnTheirSeconds) {
  Data().deployment.sixHzMode = true;
  OneChannel(20);
  state.settings.datFormat = 1;
  const auto rows = RowLines(SegmentFileText(state, 3, 8));
  ASSERT_EQ(rows.size(), 8u);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(rows[static_cast<size_t>(2 + r)].substr(0, 8), "12:00:00") << r;
  for (int r = 3; r < 6; ++r) EXPECT_EQ(rows[static_cast<size_t>(2 + r)].substr(0, 8), "12:00:01") << r;
}

}  // namespace
}  // namespace tmv::test

namespace tmv::test {
namespace {

class DatRowTimes : public DatFileTest {};

TEST_F(DatRowTimes, ReadingBackKeepsTheTimesOfRowsAfterARestart) {
  // Rows every 30 s from 12:00:00; a warm start-up 44 min 53 s after the
  // regular step at row 20. The DAT header lists no such stamp: its rows
  // carry the times, and the rows after it must keep them.
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'V';
  state.calibration.coefficients[0] = {0, 100, 0, 0};
  ImageBuilder b(48);
  for (int r = 0; r < 30; ++r) {
    if (r == 20) b.Stamp("WRM", 24, 3, 15, 12, 54, 53);
    b.Word(0x3B4A2C + 2 * static_cast<uint32_t>(r));
  }
  for (int format : {1, 2}) {
    SCOPED_TRACE(format);
    Retrieve(b);
    std::vector<LoggerTime> times;
    for (int r = 0; r < Data().sampleCount; ++r) times.push_back(SampleTime(Data(), r));
    ASSERT_EQ(SignedSecondsBetween(times[20], times[19]), 44 * 60 + 53 + 30);
    state.settings.datFormat = format;
    const std::string path = dir + "/restart.dat";
    ASSERT_TRUE(WriteDatFile(state, path));
    ASSERT_EQ(ReadDatFile(state, 0, path), Outcome::Done());
    ASSERT_EQ(Data().sampleCount, 30);
    for (int r = 0; r < 30; ++r) EXPECT_EQ(CompareTimes(SampleTime(Data(), r), times[static_cast<size_t>(r)]), 0) << "row " << r;
  }
}

TEST_F(DatRowTimes, AFullLoggersDatFileOfMoreThanSixtyFourMebibytesIsReadBack) {
  // A full single-channel logger with the date on every row: what the
  // program writes, it reads.
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'V';
  state.calibration.coefficients[0] = {0, 100, 0, 0};
  constexpr int kRows = 2300000;
  ImageBuilder b(48);
  for (int r = 0; r < kRows; ++r) b.Word(0x3B4A2C + 2 * static_cast<uint32_t>(r % 1000));
  Retrieve(b);
  ASSERT_EQ(Data().sampleCount, kRows);
  state.settings.datFormat = 2;
  const std::string path = dir + "/full.dat";
  ASSERT_TRUE(WriteDatFile(state, path));
  ASSERT_GT(std::filesystem::file_size(path), size_t{64} << 20);
  ASSERT_EQ(ReadDatFile(state, 0, path), Outcome::Done());
  EXPECT_EQ(Data().sampleCount, kRows);
  EXPECT_FALSE(state.retrieval.fileDamaged);
}

}  // namespace
}  // namespace tmv::test
