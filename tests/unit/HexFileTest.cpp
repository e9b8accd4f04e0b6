// HEX files: written from the image and read back into it, header and all;
// untrusted files refused or read as far as they hold up.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "files/DatFile.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "files/SaveFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

// A second program state, as a later run of the program would have.
struct FreshState {
  NoSerial serial;
  VirtualClock clock;
  ScriptedUserInterface ui;
  AppState state{serial, clock, ui};
};

class HexFileTest : public WorkDirectoryTest {
 protected:
  HexFileTest() {
    MakeThreeChannelLogger(state);
    state.directories.hexOutput = dir;
    state.directories.dat = dir;
  }
  DataSet& Data() { return state.retrieval.data; }
  void Retrieve(const ImageBuilder& b) {
    b.Into(state.retrieval.image);
    DecodeSampleStream(state, true);
    Data().unsaved = true;
    Data().loggerStatus = 5;
  }
  static ImageBuilder SomeMemory(int rows) {
    ImageBuilder b(48);
    for (int r = 0; r < rows; ++r) {
      if (r == 7) b.Stamp("TIM", 24, 3, 15, 13, 0, 0);
      if (r == 9) b.Word(0x700000).Stamp("STP", 24, 3, 15, 14, 0, 0).Stamp("CLD", 24, 3, 15, 14, 0, 2);
      b.Word(0x700000 + 2 * r).Word(0x200000 + 64 * r).Word(0x300000 + 128 * r);
    }
    return b;
  }
  // A header for the given first lines, with the rest of a valid HEX file.
  static std::string HexText(const std::string& identity, const std::string& modeLine,
                             const std::string& dump = "0102030405060708090A0B0C0D0E0F") {
    std::string t = identity + "\r\n";
    t += "Host time     24/03/15 12:00:00\r\nLogger time   24/03/15 12:00:01\r\n";
    t += "Logging start 24/03/15 11:00:00\r\nLogging end   24/04/15 11:00:00\r\n";
    t += "Sample period          00:00:30\r\n" + modeLine + "\r\nN01%9.4f\r\n";
    t += "Calibration  1: 0.000000000000000\r\n                100.000000000000000\r\n";
    t += "                0.000000000000000\r\n                0.000000000000000 deciBars\r\n";
    t += "Number of bytes in header 0\r\n\r\n     Pres \r\n\r\n";
    t += "Number of bytes of data " + std::to_string(dump.size() / 2) + "\r\n|     |     |\r\n" + dump;
    return t;
  }
  // Reads the text as a file; `said` is what the reader found wrong.
  Outcome ReadText(const std::string& text) {
    Write("in.hex", text);
    const Outcome read = ReadHexFile(state, 0, Path("in.hex"));
    said = OutcomeText(read);
    return read;
  }
  std::string said;
};

TEST_F(HexFileTest, WrittenAndReadBackGivesTheSameImageAndDataSet) {
  // Enough rows that both files are written in several pieces.
  Retrieve(SomeMemory(40000));
  ASSERT_TRUE(WriteDatFile(state, Path("a.dat")));
  EXPECT_EQ(ReadDataFile(Path("a.dat")).value_or(""), DatFileText(state));
  const DataSet before = Data();
  const std::vector<uint8_t> image(state.retrieval.image.Bytes(), state.retrieval.image.Bytes() + state.retrieval.image.imageLength);
  ASSERT_TRUE(WriteHexFile(state, Path("a.hex")));

  FreshState other;
  other.state.directories = state.directories;
  ASSERT_EQ(ReadHexFile(other.state, 0, Path("a.hex")), Outcome::Done());
  const DataSet& after = other.state.retrieval.data;
  ASSERT_EQ(other.state.retrieval.image.imageLength, static_cast<int>(image.size()));
  EXPECT_EQ(0, std::memcmp(other.state.retrieval.image.Bytes(), image.data(), image.size()));
  EXPECT_EQ(after.wordCount, before.wordCount);
  ASSERT_EQ(after.sampleCount, before.sampleCount);
  ASSERT_EQ(after.channelCount, 3);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(after.channelTypes[static_cast<size_t>(c)], before.channelTypes[static_cast<size_t>(c)]);
    for (int r = 0; r < before.sampleCount + 2; ++r) ASSERT_EQ(after.Value(c, r), before.Value(c, r)) << c << " " << r;
  }
  ASSERT_EQ(after.StampCount(), before.StampCount());
  for (int i = 0; i < before.StampCount(); ++i) {
    EXPECT_EQ(after.stamps[static_cast<size_t>(i)].sampleIndex, before.stamps[static_cast<size_t>(i)].sampleIndex);
    EXPECT_EQ(after.stamps[static_cast<size_t>(i)].time, before.stamps[static_cast<size_t>(i)].time);
  }
  EXPECT_EQ(after.startTime, before.startTime);
  EXPECT_EQ(after.samplePeriodSeconds, 30);
  EXPECT_EQ(after.loggerStatus, 5);
  EXPECT_EQ(other.state.logger.serialNumber, 123);
  EXPECT_TRUE(other.ui.boxes.empty());
}

TEST_F(HexFileTest, DumpIsUpperCaseTwentyFourBytesALineWithCrLf) {
  ImageBuilder b(48);
  for (int i = 0; i < 10; ++i) b.Word(0xABCDEF);
  Retrieve(b);
  const std::string text = HexFileText(state);
  EXPECT_NE(text.find("Number of bytes of data 78\r\n|     |     |     |     |     |     |     |\r\n"), std::string::npos);
  EXPECT_NE(text.find("EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 12), "ABCDEFABCDEF");  // the last line has no line end
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  EXPECT_NE(text.find("TMV QN-760  6.50 000123 (Windows: 6.16)\r\n"), std::string::npos);
  EXPECT_NE(text.find("number of samples =      3, mode: Logging Suspended\r\n"), std::string::npos);
  EXPECT_NE(text.find("Calibration  2: 0.000000000000000\r\n"), std::string::npos);
  EXPECT_NE(text.find("Logger start:Start of logging \r\n"), std::string::npos);
  EXPECT_NE(text.find("Extended data range: 0000"), std::string::npos);
  EXPECT_NE(text.find("     Temp      Pres      Cond \r\n"), std::string::npos);
}

TEST_F(HexFileTest, HeaderTimesOfTwoAndFourDigitYearsAndTheModeTexts) {
  std::string text = HexText("TMV QN-730  4.20 000077 (Windows: 6.16)", "Number of channels =  1, number of samples =      5, mode: Logging Suspended");
  const size_t at = text.find("24/03/15 12:00:00");
  text.replace(at, 17, "2004/03/15 12:00:00");
  ASSERT_TRUE(WasRead(ReadText(text)));
  EXPECT_EQ(Data().hostTime, (LoggerTime{2004, 3, 0, 15, 12, 0, 0, 0}));
  EXPECT_EQ(Data().loggerTime, (LoggerTime{2024, 3, 0, 15, 12, 0, 1, 0}));
  EXPECT_EQ(Data().loggerStatus, 5);
  ASSERT_TRUE(WasRead(ReadText(HexText("TMV QN-730  4.20 000077", "Number of channels =  1, number of samples =      5, mode: Logging"))));
  EXPECT_EQ(Data().loggerStatus, 2);
  EXPECT_EQ(Data().channelTypes[0], 'P');
  EXPECT_EQ(Data().sampleCount, 5);
}

TEST_F(HexFileTest, ColumnTitlesGiveTheChannelTypes) {
  std::string text = HexText("TMV QN-760  6.50 000123", "Number of channels =  3, number of samples =      1, mode: Logging");
  text.replace(text.find("     Pres "), 10, "     Temp      Pres      Cond ");
  const std::string cal = "Calibration  1: 0.000000000000000\r\n                100.000000000000000\r\n"
                          "                0.000000000000000\r\n                0.000000000000000 deciBars\r\n";
  text.insert(text.find("Calibration"), cal + cal);
  ASSERT_TRUE(WasRead(ReadText(text)));
  EXPECT_EQ(state.logger.channelTypes[0], 'T');
  EXPECT_EQ(state.logger.channelTypes[1], 'P');
  EXPECT_EQ(state.logger.channelTypes[2], 'C');
}

TEST_F(HexFileTest, RefusedFilesSayWhy) {
  const std::string mode = "Number of channels =  1, number of samples =      5, mode: Logging";
  struct Case {
    std::string text, message;
  } cases[] = {
      {"not a logger file\r\n", "This file is not an TMV HEX file"},
      {HexText("TMV XYZ-100  1.00 000001", mode), "This file is for a logger of type XYZ-100.\nThis type of logger is not supported by this software."},
      {HexText("TMV QN-730  4.20 000077", mode, ""), "Error while reading file.\nThe file is reporting 'Number of bytes of data' < 1."},
      {HexText("TMV QN-730  4.20 000077", "Number of channels = 25, number of samples =      5, mode: Logging"), "Error while reading file header"},
      {HexText("TMV QN-730  4.20 000077", "Number of channels = many, number of samples"), "Error while reading file header"},
      {HexText("TMV QN-730  4.20 000077", mode).substr(0, 200), "Error while reading file header"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(WasRead(ReadText(c.text))) << c.message;
    EXPECT_EQ(said, c.message);
  }
  // Non-numeric coefficients.
  std::string text = HexText("TMV QN-730  4.20 000077", mode);
  text.replace(text.find("100.000"), 3, "abc");
  EXPECT_FALSE(WasRead(ReadText(text)));
  EXPECT_EQ(said, "Error while reading file header");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(HexFileTest, RefusedFileLeavesTheCurrentDataAlone) {
  Retrieve(SomeMemory(10));
  const int rows = Data().sampleCount;
  EXPECT_FALSE(WasRead(ReadText(HexText("TMV QN-730  4.20 000077", "Number of channels = 99, number of samples =      5, mode: Logging"))));
  EXPECT_EQ(Data().sampleCount, rows);
  EXPECT_EQ(state.logger.model, "QN-760");
}

TEST_F(HexFileTest, ShortDumpWarnsAndKeepsWhatWasRead) {
  std::string text = HexText("TMV QN-730  4.20 000077", "Number of channels =  1, number of samples =      5, mode: Logging",
                             "400000400000400000");
  text.replace(text.find("of data 9"), 9, "of data 300");
  ASSERT_TRUE(WasRead(ReadText(text)));
  EXPECT_EQ(said, "Error while reading file.\nThe file has lost data.\nThe available data will be plotted.");
  EXPECT_EQ(state.retrieval.image.imageLength, 9);
  EXPECT_EQ(Data().sampleCount, 3);
  EXPECT_FLOAT_EQ(Data().Value(0, 2), 25.0f);
}

TEST_F(HexFileTest, OddDigitsAndJunkEndTheDumpWithoutOverrun) {
  const std::string mode = "Number of channels =  1, number of samples =      5, mode: Logging";
  ASSERT_TRUE(WasRead(ReadText(HexText("TMV QN-730  4.20 000077", mode, "4000004\r\n00000ZZ"))));
  // A first line of 7 digits: nothing of it can be placed.
  EXPECT_EQ(state.retrieval.image.imageLength, 0);
  EXPECT_EQ(Data().sampleCount, 0);
  EXPECT_TRUE(state.retrieval.fileDamaged);
  // Junk in the last line ends the dump before that line.
  ASSERT_TRUE(WasRead(ReadText(HexText("TMV QN-730  4.20 000077", mode, "400000400000ZZ"))));
  EXPECT_EQ(state.retrieval.image.imageLength, 0);
  EXPECT_NE(said.find("holds characters that are not hex digits"), std::string::npos) << said;
  // A byte count past the image size reads what the image holds.
  std::string big = HexText("TMV QN-730  4.20 000077", mode, "400000");
  big.replace(big.find("of data 3"), 9, "of data 99999999999");
  ASSERT_TRUE(WasRead(ReadText(big)));
  EXPECT_EQ(state.retrieval.image.imageLength, 3);
}

TEST_F(HexFileTest, OverLongLinesAreReadInPieces) {
  std::string text = HexText("TMV QN-730  4.20 000077", "Number of channels =  1, number of samples =      5, mode: Logging");
  text.insert(text.find("Number of bytes in header"), "COMMENT: " + std::string(5000, 'x') + "\r\n");
  EXPECT_TRUE(WasRead(ReadText(text)));
  EXPECT_EQ(state.retrieval.comment.size(), 299u - 9u);
}

TEST_F(HexFileTest, StampTablePastTheLimitInADatHeaderKeeps11000) {
  Retrieve(SomeMemory(3));
  std::string header = FileHeaderText(state, kHeaderModeDat);
  std::string stamps;
  for (int i = 0; i < 11500; ++i) stamps += "Timestamp 2024/03/15 12:00:00 at sample 1 of type: TIME STAMP\r\n";
  header.insert(header.find("\r\n\r\n     Temp") + 2, stamps);
  Write("s.dat", header + "  1.0 2.0 3.0 \r\n");
  ASSERT_TRUE(WasRead(ReadDatFile(state, 0, Path("s.dat"))));  // two of its three rows lost
  EXPECT_EQ(Data().StampCount(), 11000);
}

TEST_F(HexFileTest, SaveFileWritesHexAndDatWhereTheyBelong) {
  Retrieve(SomeMemory(20));
  std::filesystem::create_directory(Path("hex"));
  state.directories.hexOutput = Path("hex");
  ui.fileAnswers.push_back(Path("000123_a.dat"));
  ui.textAnswers.push_back("first cast");
  state.settings.languageSupport = true;
  ASSERT_EQ(SaveFile(state, kSaveHexAndDat), 1);
  EXPECT_TRUE(FileExists(Path("hex/000123_a.hex")));
  EXPECT_TRUE(FileExists(Path("000123_a.dat")));
  EXPECT_FALSE(Data().unsaved);
  EXPECT_EQ(ui.fileDialogs[0].pattern, "000123*.dat");
  EXPECT_EQ(ui.fileDialogs[0].title, "Select a 'dat' file for storing the data");
  EXPECT_NE(Read("hex/000123_a.hex").find("COMMENT: first cast\r\n"), std::string::npos);
  const std::string captions = Read("000123_a.chn.txt");
  ASSERT_GE(captions.size(), 2u);
  EXPECT_EQ(captions.substr(0, 2), "\xFF\xFE");
  const std::u16string hostCaption = u"Host time <\u4E3B\u6A5F\u6642\u9593>\t";
  const std::string hostBytes(reinterpret_cast<const char*>(hostCaption.data()), hostCaption.size() * 2);
  EXPECT_NE(captions.find(hostBytes), std::string::npos);
  // Saved data are not offered again after a download.
  EXPECT_EQ(SaveFile(state, kSaveHexAndDat), 0);
}

TEST_F(HexFileTest, SaveOverAnExistingFileAsksAndNoKeepsIt) {
  Retrieve(SomeMemory(5));
  Write("old.dat", "old contents");
  ui.fileAnswers.push_back(Path("old.dat"));
  ui.answers.push_back(MessageAnswer::No);
  EXPECT_EQ(SaveFile(state, kSaveHexAndDat), 0);
  EXPECT_EQ(Read("old.dat"), "old contents");
  EXPECT_EQ(ui.boxes.back().text, Path("old.dat") + " already exists.\nContinue to overwrite this file?");
}

// A write that cannot finish leaves the earlier file of that name whole.
TEST_F(HexFileTest, FailedSaveLeavesTheEarlierFileIntact) {
  Retrieve(SomeMemory(5));
  Write("keep.dat", "earlier file");
  // The temporary name is taken by a directory, so the write cannot start.
  std::filesystem::create_directory(Path("keep.dat.tmp." + std::to_string(::getpid())));
  ui.fileAnswers.push_back(Path("keep.dat"));
  ui.answers.push_back(MessageAnswer::Yes);
  EXPECT_EQ(SaveFile(state, kSaveDatOnly), 0);
  EXPECT_EQ(Read("keep.dat"), "earlier file");
  EXPECT_EQ(ui.boxes.back().text, "Unable to open the file " + Path("keep.dat") + ".\nThis file may be open in another application");
  EXPECT_TRUE(Data().unsaved);
}

TEST_F(HexFileTest, NothingToStoreAsksFirst) {
  Retrieve(ImageBuilder(48));
  EXPECT_EQ(SaveFile(state, kSaveHexAndDat), 0);
  EXPECT_EQ(ui.boxes.back().caption, "Save data to a file");
  EXPECT_TRUE(ui.fileDialogs.empty());
}

TEST_F(HexFileTest, AppendToFileRefillsTheImageForTheDownloadToGoOnAfterIt) {
  Retrieve(SomeMemory(10));
  state.deployment.startTime = Data().deployment.startTime;
  ASSERT_TRUE(WriteHexFile(state, Path("000123_x.hex")));
  const std::vector<uint8_t> image(state.retrieval.image.Bytes(), state.retrieval.image.Bytes() + state.retrieval.image.imageLength);
  state.retrieval.image.imageLength = 0;
  EXPECT_EQ(AppendToFile(state, Path("000123_x.dat")), Outcome::Done());
  ASSERT_EQ(state.retrieval.image.imageLength, static_cast<int>(image.size()));
  EXPECT_EQ(0, std::memcmp(state.retrieval.image.Bytes(), image.data(), image.size()));
  EXPECT_TRUE(state.retrieval.download.appendMode);
  EXPECT_TRUE(ui.fileDialogs.empty());  // the file is the caller's choice
  // Another logger's file is refused, and why is said.
  state.logger.serialNumber = 124;
  EXPECT_EQ(OutcomeText(AppendToFile(state, Path("000123_x.dat"))),
            "This file is for a logger with serial number 000123.\nThe connected logger has serial number 000124.\n'Append to file' can not continue.");
  EXPECT_EQ(AppendToFile(state, Path("000123_x.txt")).kind, OutcomeKind::Failed);
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tmv::test

namespace tmv::test {
namespace {

// Every optional header line a multi-channel logger writes is read back.
TEST_F(HexFileTest, OptionalHeaderLinesReadBack) {
  LoggerInfo& l = state.logger;
  l.channelTypes[2] = 'y';  // an extended-range turbidity channel
  l.conductivityMilliSiemens = true;
  l.averaging = 1;
  l.rates124Hz = true;
  l.waves = true;
  l.cardProtocolLevel = 1;
  l.rsAdvanced = 1 | 4;
  l.extendedRange[3] = 0x01;
  l.memoryTypeCode = 4;
  state.calibration.conductivityCorrection = {0.5, 1.25, 0.02, -3e-5};
  DeploymentSettings& dep = Data().deployment;
  dep.averagingEnabled = true;
  dep.averagingPeriod = 20;
  dep.burstRate = 4;
  dep.waveEnabled = true;
  dep.burstSamples = 1024;
  dep.burstPeriod = MakeClock(1, 0, 0);
  dep.loggerHeight = 1.5;
  dep.startMode = kStartAbove;
  dep.thresholdValue = 12.5;
  dep.thresholdChannel = 1;
  ImageBuilder b(48);
  for (int r = 0; r < 6; ++r) b.Word(0x800000).Word(0x400000).Word(r < 3 ? 0x400002u : 0x400006u);
  Retrieve(b);
  ASSERT_EQ(Data().StampCount(), 2);  // gain stamps at rows 0 and 3
  state.retrieval.comment = "north buoy";
  const std::string dat = DatFileText(state);
  EXPECT_NE(dat.find("Logger start:Above threshold   12.5000 channel 2\r\n"), std::string::npos);
  EXPECT_NE(dat.find("Timestamp 2024/03/15 12:01:30 at sample 4 of type: GAIN STAMP channel=3 gain=3 (25NTU)\r\n"),
            std::string::npos);
  EXPECT_NE(dat.find("Memory type: 4 AT45DB642D\r\n"), std::string::npos);
  EXPECT_NE(dat.find("MMC/SD Memory card present, No Generic Serial card, Format: Binary\r\n"), std::string::npos);
  EXPECT_EQ(dat.find("Extended data range"), std::string::npos);  // HEX only
  Write("h.dat", dat);
  ASSERT_TRUE(WriteHexFile(state, Path("h.hex")));

  FreshState other;
  ASSERT_EQ(ReadDatFile(other.state, 0, Path("h.dat")), Outcome::Done());
  const DataSet& d = other.state.retrieval.data;
  EXPECT_EQ(d.deployment.averagingPeriod, 20);
  EXPECT_TRUE(d.deployment.averagingEnabled);
  EXPECT_EQ(d.deployment.burstRate, 4);
  EXPECT_TRUE(d.deployment.waveEnabled);
  EXPECT_EQ(d.deployment.burstSamples, 1024);
  EXPECT_EQ(d.deployment.burstPeriod, MakeClock(1, 0, 0));
  EXPECT_DOUBLE_EQ(d.deployment.loggerHeight, 1.5);
  EXPECT_EQ(d.deployment.startMode, kStartAbove);
  EXPECT_DOUBLE_EQ(d.deployment.thresholdValue, 12.5);
  EXPECT_EQ(d.deployment.thresholdChannel, 1u);
  EXPECT_EQ(other.state.retrieval.comment, "north buoy");
  EXPECT_EQ(other.state.retrieval.memoryType, 4);
  EXPECT_DOUBLE_EQ(other.state.calibration.conductivityCorrection.b, 1.25);
  EXPECT_DOUBLE_EQ(other.state.calibration.conductivityCorrection.c, -3e-5);
  EXPECT_EQ(other.state.logger.rsAdvanced, 5u);
  EXPECT_EQ(other.state.logger.channelTypes[2], 'y');
  ASSERT_EQ(d.StampCount(), 2);
  EXPECT_EQ(d.stamps[1].type, kStampGain);
  EXPECT_EQ(d.stamps[1].sampleIndex, 3);
  EXPECT_EQ(d.stamps[1].changedMask, 4u);
  EXPECT_EQ(d.stamps[1].gains[2], 3);

  FreshState third;
  ASSERT_EQ(ReadHexFile(third.state, 0, Path("h.hex")), Outcome::Done());
  EXPECT_EQ(third.state.logger.extendedRange[3], 0x01);
  EXPECT_EQ(third.state.retrieval.data.StampCount(), 2);  // made again from the image
}

// A header value that cannot be what its line says is named and left out,
// never replaced by a default; where the data cannot be placed without it
// the file is refused.
TEST_F(HexFileTest, DamagedHeaderValuesAreNamedAndNeverReplacedByADefault) {
  Retrieve(SomeMemory(20));
  ASSERT_TRUE(WriteHexFile(state, Path("good.hex")));
  const std::string hex = Read("good.hex");
  const size_t at = hex.find("Number of bytes in header 48\r\n");
  ASSERT_NE(at, std::string::npos);
  for (const std::string value : {"99999999", "-3", "many"}) {
    std::string text = hex;
    text.replace(at, std::strlen("Number of bytes in header 48"), "Number of bytes in header " + value);
    FreshState other;
    Write("bad.hex", text);
    EXPECT_EQ(OutcomeText(ReadHexFile(other.state, 0, Path("bad.hex"))),
              "Error while reading file header.\n'Number of bytes in header " + value +
                  "': no header length of 0 to 255 bytes.\nThe data cannot be placed without it: the file is not read.");
    EXPECT_EQ(other.state.retrieval.data.sampleCount, 0);
  }

  // In a DAT file the values are read from the rows: the rows are kept, the
  // file is damaged, and the values of the bad lines are not taken.
  Data().deployment.averagingEnabled = false;
  std::string dat = DatFileText(state);
  const size_t title = dat.find("\r\n\r\n     Temp");
  ASSERT_NE(title, std::string::npos);
  dat.insert(title + 2, "Averaging: 99999 seconds\r\nMemory type: 9 unknown\r\nCorrection to conductivity: 1.0 x\r\n");
  Write("bad.dat", dat);
  FreshState other;
  const Outcome damaged = ReadDatFile(other.state, 0, Path("bad.dat"));
  EXPECT_EQ(damaged.kind, OutcomeKind::Partial);
  EXPECT_TRUE(other.state.retrieval.fileDamaged);
  EXPECT_EQ(other.state.retrieval.data.sampleCount, Data().sampleCount);
  EXPECT_FALSE(other.state.retrieval.data.deployment.averagingEnabled);
  EXPECT_EQ(other.state.retrieval.memoryType, 0);
  EXPECT_EQ(OutcomeText(damaged),
            "Error while reading file header.\nThese lines hold values that cannot be what they say; the values are left out:\n"
            "'Averaging: 99999 seconds': no averaging period of 1 to 10800 seconds, nor NONE\n"
            "'Memory type: 9 unknown': no memory type of 1 to 6\n"
            "'Correction to conductivity: 1.0 x': not the four conductivity correction coefficients");

  // A sound file reads without a word.
  FreshState third;
  ASSERT_EQ(ReadHexFile(third.state, 0, Path("good.hex")), Outcome::Done());
  EXPECT_FALSE(third.state.retrieval.fileDamaged);
  EXPECT_TRUE(third.ui.boxes.empty());
}

// A dump line with a digit lost (or one too many) shifts every value after
// it: the dump ends before that line, and the line is named.
TEST_F(HexFileTest, ADumpLineOfTheWrongLengthEndsTheDumpBeforeIt) {
  Retrieve(SomeMemory(40));
  const DataSet before = Data();
  ASSERT_TRUE(WriteHexFile(state, Path("good.hex")));
  const std::string hex = Read("good.hex");
  const size_t dump = hex.find("\r\n", hex.find("|     |")) + 2;
  // The start of dump line 4 (from 1), and its line number in the file.
  size_t line4 = dump;
  for (int i = 0; i < 3; ++i) line4 = hex.find("\r\n", line4) + 2;
  const size_t fileLine = static_cast<size_t>(std::count(hex.begin(), hex.begin() + static_cast<std::ptrdiff_t>(line4), '\n')) + 1;
  struct Case {
    std::string text, says;
  } cases[] = {
      {hex.substr(0, line4 + 10) + hex.substr(line4 + 11), "holds 47 hex digits, an odd number"},
      {hex.substr(0, line4 + 10) + "7" + hex.substr(line4 + 10), "holds 49 hex digits, an odd number"},
  };
  for (const Case& c : cases) {
    FreshState other;
    Write("bad.hex", c.text);
    const Outcome read = ReadHexFile(other.state, 0, Path("bad.hex"));
    ASSERT_EQ(read.kind, OutcomeKind::Partial);
    const RetrievalState& r = other.state.retrieval;
    EXPECT_TRUE(r.fileDamaged);
    EXPECT_EQ(r.image.imageLength, 3 * 24);
    const std::string text = OutcomeText(read);
    EXPECT_NE(text.find("Line " + std::to_string(fileLine) + " of the file (dump line 4) " + c.says), std::string::npos) << text;
    EXPECT_NE(text.find("The 72 bytes before that line will be plotted"), std::string::npos) << text;
    // Every value kept is the value logged.
    ASSERT_GT(r.data.sampleCount, 0);
    ASSERT_LT(r.data.sampleCount, before.sampleCount);
    for (int ch = 0; ch < 3; ++ch)
      for (int row = 0; row < r.data.sampleCount; ++row) ASSERT_EQ(r.data.Value(ch, row), before.Value(ch, row)) << ch << " " << row;
  }
  // A file cut inside its last line keeps the whole bytes before the cut.
  FreshState cut;
  Write("cut.hex", hex.substr(0, line4 + 11));
  EXPECT_EQ(OutcomeText(ReadHexFile(cut.state, 0, Path("cut.hex"))), "Error while reading file.\nThe file has lost data.\nThe available data will be plotted.");
}

// A save that cannot finish leaves no file under the final name, and no
// temporary one either; the message says what is wrong.
TEST_F(HexFileTest, AFailedSaveLeavesNoCutFileAndSaysWhy) {
  const auto leftovers = [](const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      if (e.path().filename().string().find(".tmp.") != std::string::npos) names.push_back(e.path().string());
    return names;
  };
  // Cut midway: the file size limit stops the write as a full device would.
  Retrieve(SomeMemory(20000));
  Write("big.hex", "the earlier file");
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int error = 0;
  const bool written = WriteHexFile(state, Path("big.hex"), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(Read("big.hex"), "the earlier file");
  EXPECT_TRUE(leftovers(dir).empty());

  // The HEX folder under a regular file: SaveFile says so, and the DAT file is still written.
  Write("plain", "a file");
  state.directories.hexOutput = Path("plain/hex");
  ui.fileAnswers.push_back(Path("site.dat"));
  EXPECT_EQ(SaveFile(state, kSaveHexAndDat), 1);
  const auto shown = [&](const std::string& part) {
    for (const auto& b : ui.boxes)
      if (b.text.find(part) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(shown("Unable to write the file " + Path("plain/hex/site.hex") + ".\nThe folder " + Path("plain/hex") +
                    " is not a folder"));
  EXPECT_FALSE(shown("may be open in another application"));
  EXPECT_TRUE(FileExists(Path("site.dat")));
  const std::string notAFolder = "The folder " + Path("plain/hex") + " is not a folder: a part of its path is a file.";
  EXPECT_EQ(CheckFolderWritable(Path("plain/hex")), notAFolder);
  EXPECT_EQ(CheckFolderWritable(Path("not/yet/made")), "");  // made in the work directory when saved
  EXPECT_EQ(CheckSaveFolders(state, Path("other.dat")), notAFolder);
  EXPECT_TRUE(leftovers(dir).empty());

  // A folder that cannot be written: /sys refuses even root; a read-only
  // folder refuses anyone else.
  std::string locked = "/sys";
  if (geteuid() != 0) {
    locked = Path("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  const std::string permission = "Permission denied: the folder " + locked + " cannot be written";
  EXPECT_EQ(CheckFolderWritable(locked).rfind(permission, 0), 0u) << CheckFolderWritable(locked);
  ui.boxes.clear();
  ui.fileAnswers.push_back(locked + "/site.dat");
  Data().unsaved = true;
  EXPECT_EQ(SaveFile(state, kSaveDatOnly), 0);
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes.back().text.rfind("Unable to write the file " + locked + "/site.dat.\n" + permission, 0), 0u) << ui.boxes.back().text;
  EXPECT_FALSE(FileExists(locked + "/site.dat"));
  if (locked != "/sys") std::filesystem::permissions(locked, std::filesystem::perms::owner_all);

  // The causes no test can make here (a full device) are told as plainly.
  EXPECT_EQ(WriteFailureText("/data/a.hex", ENOSPC), "Unable to write the file /data/a.hex.\nNo space left on the device that holds the folder /data.");
  EXPECT_EQ(WriteFailureText("/data/a.hex", EROFS), "Unable to write the file /data/a.hex.\nPermission denied: the folder /data cannot be written (the device is read-only).");
  EXPECT_EQ(WriteFailureText("/data/a.hex", EBUSY), "Unable to open the file /data/a.hex.\nThis file may be open in another application");
}

}  // namespace
}  // namespace tmv::test
