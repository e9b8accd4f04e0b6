// Reading and writing calibration coefficients on the emulated loggers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/CalibrationDialog.h"
#include "model/CalibrationHistory.h"
#include "model/Capabilities.h"
#include "model/Conversion.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

// What every logger operation does first: identify, capabilities, configuration.
void Prepare(EmulatedRig& rig) {
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  ASSERT_EQ(CommGet(rig.state, 16), 1);
}

std::vector<std::string> Commands(EmulatedRig& rig, char first) {
  std::vector<std::string> out;
  for (const auto& c : rig.emulator.CommandLog())
    if (!c.empty() && c[0] == first) out.push_back(c);
  return out;
}

bool BoxShown(const EmulatedRig& rig, const std::string& text, const std::string& caption) {
  for (const auto& b : rig.ui.boxes)
    if (b.text == text && b.caption == caption) return true;
  return false;
}

// Sets the emulated logger's clock well away from the host's, so that a
// write that leaves the logger on host time is seen.
LoggerTime SetLoggerClockAway(EmulatedRig& rig) {
  const LoggerTime away{2011, 1, 0, 1, 0, 0, 0, 0};
  rig.state.deployment.loggerClock = away;
  SendSetupCommand(rig.state, kSetupSetClock);
  return away;
}

void ExpectClockRanOn(EmulatedRig& rig, const LoggerTime& setAt, int64_t setAtMs) {
  const LoggerTime expected = AddMilliseconds(setAt, static_cast<int32_t>(rig.clock.Milliseconds() - setAtMs));
  const LoggerTime logger = rig.emulator.ClockAt(rig.clock.Milliseconds());
  EXPECT_LE(std::abs(SignedSecondsBetween(logger, expected)), 2)
      << TimeToDisplayText(logger) << " vs " << TimeToDisplayText(expected);
}

TEST(CalibrationMicrochip, ReadsCurrentRecordAndWritesBackWithLoggerClockRunningOn) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_FALSE(rig.state.logger.calibrationStale);
  EXPECT_EQ(rig.ui.LastStatus(), "Calibration Coefficients read successfully");
  EXPECT_FALSE(rig.ui.warning);
  // The current record is the last complete one, not the incomplete "CMM" transfer.
  const auto& current = rig.profile().calibrationHistory[2];
  for (size_t ch = 0; ch < current.channels.size(); ++ch)
    EXPECT_EQ(rig.state.calibration.coefficients[ch], current.channels[ch]) << ch;

  // A second read costs nothing while the coefficients are not stale.
  const size_t before = rig.emulator.CommandLog().size();
  EXPECT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.emulator.CommandLog().size(), before);

  const LoggerTime away = SetLoggerClockAway(rig);
  const int64_t awayMs = rig.clock.Milliseconds();
  rig.state.calibration.coefficients[1] = {0.0036, -0.00024, 2.8e-06, 2.4e-08};
  rig.state.calibration.changedFlags = 1;
  const CalibrationSet written = rig.state.calibration;
  ASSERT_EQ(WriteCalibration(rig.state), 1);
  EXPECT_TRUE(rig.ui.StatusSeen("Writing calibration data for channel 4"));
  EXPECT_EQ(rig.ui.LastStatus(), "Calibration successful");
  // The new record carries the host's date; the logger's own time ran on.
  const LoggerTime recordDate = rig.profile().calibrationHistory.back().date;
  EXPECT_EQ(recordDate.year, 2010);
  EXPECT_EQ(recordDate.month, 6);
  ExpectClockRanOn(rig, away, awayMs);

  rig.state.calibration = CalibrationSet{};
  rig.state.logger.calibrationStale = true;
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  for (int ch = 0; ch < rig.state.logger.channelCount; ++ch)
    EXPECT_EQ(rig.state.calibration.coefficients[static_cast<size_t>(ch)],
              written.coefficients[static_cast<size_t>(ch)]);
}

TEST(CalibrationMicrochip, AnotherLoggerAnsweringTheReconnectGetsNoCoefficients) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const size_t records = rig.profile().calibrationHistory.size();
  // The user changes loggers while the calibration dialog is open.
  rig.profile().serialNumber = 54321;
  const LoggerTime away = SetLoggerClockAway(rig);
  const int64_t awayMs = rig.clock.Milliseconds();
  rig.state.calibration.coefficients[0] = {1.0, 2.0, 3.0, 4.0};
  rig.state.calibration.changedFlags = 1;
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_TRUE(Commands(rig, 'U').empty());
  EXPECT_EQ(rig.profile().calibrationHistory.size(), records);
  EXPECT_TRUE(BoxShown(rig, "Error in writing calibration coefficients.\nTry again.", "Calibration"));
  EXPECT_TRUE(rig.state.logger.calibrationStale);  // the new logger's coefficients are read next
  ExpectClockRanOn(rig, away, awayMs);
}

TEST(CalibrationMicrochip, UnchangedCoefficientsAreNotWritten) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const size_t records = rig.profile().calibrationHistory.size();
  rig.state.calibration.changedFlags = 0;
  EXPECT_EQ(WriteCalibration(rig.state), 1);
  EXPECT_EQ(rig.profile().calibrationHistory.size(), records);
  EXPECT_TRUE(Commands(rig, 'U').empty());
}

// A failed read used to look like an uncalibrated logger, and "Set
// calibration" then wrote the defaults over the logger's real coefficients.
TEST(CalibrationMicrochip, UnreadableCoefficientsAreShownAsSuchAndNeverWrittenOver) {
  {
    EmulatedRig rig("QN-760");
    rig.profile().calibrationHistory[2].channels[1][2] = std::numeric_limits<double>::quiet_NaN();
    Prepare(rig);
    EXPECT_EQ(ReadCalibration(rig.state), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Unable to read calibration coefficients - using defaults");
    EXPECT_TRUE(rig.ui.warning);
    EXPECT_TRUE(rig.state.logger.calibrationStale);  // tried again before the next operation
    EXPECT_EQ(rig.state.calibration.origin, CalibrationOrigin::Unreadable);
    EXPECT_EQ(rig.state.calibration.coefficients[1], DefaultCoefficients('T'));
    EXPECT_EQ(rig.state.calibration.coefficients[0], DefaultCoefficients('C'));
  }
  {
    EmulatedRig rig("QN-760");
    Prepare(rig);
    const size_t records = rig.profile().calibrationHistory.size();
    rig.faults().badChecksum = true;
    rig.faults().remaining = 6;  // the header comes back with bad sums a few times
    EXPECT_EQ(ReadCalibration(rig.state), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Unable to read calibration coefficients - using defaults");
    EXPECT_EQ(rig.state.calibration.coefficients[1], DefaultCoefficients('T'));
    rig.faults().badChecksum = false;

    // The dialog opens on the defaults, says why, and cannot set them.
    CalibrationDialogModel dialog(rig.state, 0);
    EXPECT_EQ(dialog.OriginText(), "Unable to read calibration coefficients - using defaults");
    EXPECT_FALSE(dialog.SetButtonEnabled());
    rig.ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(dialog.SetCalibration(), 0);
    rig.state.calibration.changedFlags = 1;
    EXPECT_EQ(WriteCalibration(rig.state), 0);
    EXPECT_TRUE(Commands(rig, 'U').empty());
    EXPECT_EQ(rig.profile().calibrationHistory.size(), records);

    // Once read, the same logger is written as usual.
    ASSERT_EQ(ReadCalibration(rig.state), 1);
    EXPECT_EQ(rig.state.calibration.origin, CalibrationOrigin::Read);
  }
  {
    // A logger that answers it holds no calibration is another matter.
    EmulatedRig rig("QN-760");
    rig.profile().calibrationHistory.clear();
    Prepare(rig);
    EXPECT_EQ(ReadCalibration(rig.state), 1);
    EXPECT_EQ(rig.ui.LastStatus(), "Logger not yet calibrated - using defaults");
    EXPECT_EQ(rig.state.calibration.origin, CalibrationOrigin::NotCalibrated);
    CalibrationDialogModel dialog(rig.state, 0);
    EXPECT_TRUE(dialog.SetButtonEnabled());
  }
}

TEST(CalibrationMicrochip, ConductivityCorrectionReadFromAndWrittenToTable06) {
  EmulatedRig rig("QN-760-S");
  Prepare(rig);
  ASSERT_TRUE(HasConductivityCorrectionTable(rig.state.logger));
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const ConductivityCorrection& cc = rig.state.calibration.conductivityCorrection;
  EXPECT_EQ(cc.a, 3.25e-6);
  EXPECT_EQ(cc.b, 0.0);
  EXPECT_EQ(cc.tc, 20.0);
  EXPECT_EQ(cc.c, -9.57e-8);

  rig.state.calibration.conductivityCorrection = {1e-5, 0.0, 25.0, -1e-7};
  rig.state.calibration.changedFlags = 2;
  ASSERT_EQ(WriteCalibration(rig.state), 1);
  const auto& t06 = rig.profile().tables[6];
  ASSERT_EQ(t06.size(), 33u);
  EXPECT_EQ(t06[0], 2);
  EXPECT_EQ(RowFromBytes(t06.data() + 1), (CoefficientRow{1e-5, 0.0, 25.0, -1e-7}));
  EXPECT_TRUE(Commands(rig, 'U').empty());  // only the correction changed
}

TEST(CalibrationMicrochip, NakCodesAreExplained) {
  struct Case {
    const char* code;
    const char* text;
  } cases[] = {
      {"F0", "There is a channel error in terminating\nthe writing of the calibration coefficients."},
      {"F1", "There is no more memory available for further calibration coefficients."},
      {"F2", "There is no configuration table loaded in this logger."},
  };
  for (const Case& c : cases) {
    EmulatedRig rig("QN-760");
    Prepare(rig);
    rig.faults().nakWrites = true;
    rig.faults().nakCode = c.code;
    EXPECT_EQ(WriteCalibrationRecords(rig.state), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Start of calibration procedure send error");
    ASSERT_EQ(rig.ui.boxes.size(), 1u) << c.code;
    EXPECT_EQ(rig.ui.boxes[0].text, c.text);
    EXPECT_EQ(rig.ui.boxes[0].caption, "Calibration Error");
    EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Stop);
  }
  // A bare NAK, or one too close to the start of the reply, has no code.
  EmulatedRig rig("QN-760");
  rig.state.reply.SetText("\x15");
  ExplainCalibrationNak(rig.state);
  rig.state.reply.SetText("F1 ER\x15");
  ExplainCalibrationNak(rig.state);
  rig.state.reply.SetText("xxF3 ERROR\x15");
  ExplainCalibrationNak(rig.state);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(CalibrationLegacy, ThreeRecordsYieldTheThirdAndTheOffsetAfterIt) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  ASSERT_EQ(rig.state.logger.channelCount, 3);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const CalibrationSet& cal = rig.state.calibration;
  EXPECT_EQ(cal.coefficients[0], (CoefficientRow{-50.0 * 1.002, 70000.0 * 1.002, 0.0, 0.0}));
  EXPECT_EQ(cal.coefficients[1], (CoefficientRow{0.0035 * 1.002, -0.00025, 2.7e-06, 2.3e-08}));
  EXPECT_EQ(cal.nextRecordOffset, 3 * (6 + 33 * 3));
  EXPECT_EQ(cal.calibrationDate, (std::array<int, 6>{9, 11, 23, 16, 20, 5}));
  EXPECT_EQ(rig.ui.LastStatus(), "Calibration Coefficients read successfully");
}

TEST(CalibrationLegacy, WriteAppendsRecordVerifiesItAndKeepsLoggerClock) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const LoggerTime away = SetLoggerClockAway(rig);
  const int64_t awayMs = rig.clock.Milliseconds();
  rig.state.calibration.coefficients[2] = {-10.0, 1001.5, 0.25, -0.125};
  const CalibrationSet written = rig.state.calibration;
  ASSERT_EQ(WriteCalibration(rig.state), 1);
  EXPECT_TRUE(BoxShown(rig, "Writing of calibration coefficients successful.", "Calibration"));
  size_t pageWrites = 0;
  for (const auto& c : Commands(rig, '!'))
    if (c.rfind("!C", 0) == 0) ++pageWrites;
  EXPECT_EQ(pageWrites, 1u + 3u);  // the header and one block per channel
  EXPECT_EQ(rig.state.calibration.nextRecordOffset, 4 * (6 + 33 * 3));
  ExpectClockRanOn(rig, away, awayMs);
  // The record is dated with the host's time.
  EXPECT_EQ(rig.state.calibration.calibrationDate[0], 10);
  EXPECT_EQ(rig.state.calibration.calibrationDate[1], 6);

  rig.state.calibration = CalibrationSet{};
  rig.state.logger.calibrationStale = true;
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.state.calibration.coefficients, written.coefficients);
}

TEST(CalibrationLegacy, FullPageRefusesWriteAndWritesNothing) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  // 64920 + 33 * 3 + 6 = 65025: not below the limit.
  rig.state.calibration.nextRecordOffset = 64920;
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_TRUE(BoxShown(rig, "Insufficient memory available for storing calibration coefficients.\nContact TMV.",
                       "Calibration"));
  for (const auto& c : Commands(rig, '!')) EXPECT_NE(c.substr(0, 2), "!C");
}

TEST(CalibrationLegacy, BadChecksumKeepsPreviousCoefficients) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  rig.state.calibration.coefficients[0] = {1.0, 2.0, 3.0, 4.0};
  rig.faults().badChecksum = true;
  EXPECT_EQ(ReadCalibration(rig.state), 0);
  EXPECT_TRUE(BoxShown(rig, "Download Error in reading calibration coefficients", "Calibration"));
  EXPECT_EQ(rig.state.calibration.coefficients[0], (CoefficientRow{1.0, 2.0, 3.0, 4.0}));
  EXPECT_TRUE(rig.state.logger.calibrationStale);
}

// Puts a coefficient that is no number into channel 1 of the page's second record.
void SpoilSecondLegacyRecord(EmulatedRig& rig) {
  const uint32_t at = 0x10000 + (6 + 33 * 3) + 6;
  const uint8_t nan[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
  for (uint32_t i = 0; i < 8; ++i) rig.profile().memory[at + i] = nan[i];
}

TEST(CalibrationLegacy, PageNotReadThroughIsNeverWrittenOver) {
  // Unread: the end of the records is unknown and the write would land on the first.
  EmulatedRig rig("QN-730");
  Prepare(rig);
  rig.faults().badChecksum = true;
  ASSERT_EQ(ReadCalibration(rig.state), 0);
  rig.faults().badChecksum = false;
  rig.state.calibration.coefficients[0] = {1.0, 2.0, 3.0, 4.0};
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_TRUE(BoxShown(rig,
                       "The calibration coefficients of this logger could not be read.\nThe coefficients were not written.",
                       "Calibration"));
  for (const auto& c : Commands(rig, '!')) EXPECT_NE(c.substr(0, 2), "!C");
  EXPECT_TRUE(Commands(rig, 'J').empty());  // nor is its clock touched
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.state.calibration.nextRecordOffset, 3 * (6 + 33 * 3));

  // Read only up to a damaged record: the same.
  EmulatedRig spoilt("QN-730");
  SpoilSecondLegacyRecord(spoilt);
  Prepare(spoilt);
  ASSERT_EQ(ReadCalibration(spoilt.state), 0);
  EXPECT_EQ(WriteCalibration(spoilt.state), 0);
  for (const auto& c : Commands(spoilt, '!')) EXPECT_NE(c.substr(0, 2), "!C");
}

TEST(CalibrationLegacy, FailedCheckOfTheWrittenRecordMeansReadingThePageAgain) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  rig.state.calibration.coefficients[2] = {-10.0, 1001.5, 0.25, -0.125};
  const CalibrationSet written = rig.state.calibration;
  rig.faults().badChecksum = true;  // spoils the read-back only
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_TRUE(BoxShown(rig, "Error in writing calibration coefficients.\nTry again.", "Calibration"));
  EXPECT_TRUE(rig.state.logger.calibrationStale);
  rig.faults().badChecksum = false;
  // Trying again before the page was read would write over its first record.
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.state.calibration.coefficients, written.coefficients);
  EXPECT_EQ(rig.state.calibration.nextRecordOffset, 4 * (6 + 33 * 3));
}

TEST(CalibrationLegacy, EmptyPageGivesDefaultsAndFirstWriteStartsAtZero) {
  EmulatedRig rig("QN-730");
  for (uint32_t a = 0x10000; a < 0x10000 + 400; ++a) rig.profile().memory[a] = 0xFF;
  Prepare(rig);
  EXPECT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.ui.LastStatus(), "Logger not yet calibrated - using defaults");
  EXPECT_EQ(rig.state.calibration.coefficients[1], DefaultCoefficients('T'));
  EXPECT_EQ(rig.state.calibration.coefficients[0], (CoefficientRow{0.0, 1.0, 0.0, 0.0}));
  EXPECT_EQ(rig.state.calibration.nextRecordOffset, 0);
}

TEST(CalibrationSingleChannel, ZReadAndYWriteRoundTripWithLoggerClockRunningOn) {
  EmulatedRig rig("KM-3170");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  EXPECT_EQ(rig.state.calibration.coefficients[0], (CoefficientRow{0.0035 * 1.001, -0.00025, 2.7e-06, 2.3e-08}));

  const LoggerTime away = SetLoggerClockAway(rig);
  const int64_t awayMs = rig.clock.Milliseconds();
  rig.state.calibration.coefficients[0] = {0.00352, -0.000251, 2.71e-06, 2.29e-08};
  ASSERT_EQ(WriteCalibration(rig.state), 1);
  EXPECT_TRUE(BoxShown(rig, "Writing of calibration coefficients successful.", "Calibration"));
  ExpectClockRanOn(rig, away, awayMs);
  // The read-back really went to the logger.
  EXPECT_GE(Commands(rig, 'Z').size(), 2u);
}

TEST(CalibrationSingleChannel, RefusedWriteIsReportedNotConfirmed) {
  EmulatedRig rig("KM-3170");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  rig.state.calibration.coefficients[0] = {0.00352, -0.000251, 2.71e-06, 2.29e-08};
  rig.faults().nakWrites = true;
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_TRUE(BoxShown(rig, "Error in writing calibration coefficients.\nTry again.", "Calibration"));
}

TEST(CalibrationSingleChannel, UncalibratedLoggerKeepsItsStatusAfterDefaults) {
  EmulatedRig rig("KM-3170");
  for (uint32_t a = 0x10000; a < 0x10000 + 80; ++a) rig.profile().memory[a] = 0xFF;
  Prepare(rig);
  rig.state.calibration.coefficients[0] = {9, 9, 9, 9};
  EXPECT_EQ(ReadCalibration(rig.state), 1);
  // The dialog keys on this text to write even unchanged coefficients.
  EXPECT_EQ(rig.ui.LastStatus(), "Logger not yet calibrated - using defaults");
  EXPECT_EQ(rig.state.calibration.coefficients[0], DefaultCoefficients('T'));
}

TEST(CalibrationSingleChannel, NoUsableReplyGivesUpAfterBoundedTries) {
  EmulatedRig rig("KM-3170");
  Prepare(rig);
  rig.faults().silent = true;
  EXPECT_EQ(ReadCalibration(rig.state), 0);
  EXPECT_EQ(Commands(rig, 'Z').size(), static_cast<size_t>(kSingleChannelCalibrationTries));
  EXPECT_EQ(rig.ui.LastStatus(), "Unable to read calibration coefficients - using defaults");
  EXPECT_EQ(rig.state.calibration.coefficients[0], DefaultCoefficients('T'));
  EXPECT_TRUE(rig.state.logger.calibrationStale);
}

class CalibrationHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tmv-his-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir_;
};

TEST_F(CalibrationHistoryTest, LegacyListingOfThreeRecordsAndFirstFreeFileNumber) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  rig.state.directories.work = dir_.string();
  const CalibrationHistory h = WriteCalibrationHistory(rig.state);
  ASSERT_EQ(h.result, 1);
  EXPECT_EQ(h.path, dir_.string() + "/007301.000.his");
  ASSERT_EQ(h.lines.size(), 1u + 3 * (2 + 3));
  EXPECT_EQ(h.lines[0], "TMV Data Logger: QN-730  4.20 007301");
  EXPECT_EQ(h.lines[1], "");
  EXPECT_EQ(h.lines[2], "2007/Feb/01 10:00:00");
  EXPECT_EQ(h.lines[3], "  1: -50.000000000000000 70000.000000000000000  0.000000000000000  0.000000000000000 ");
  EXPECT_EQ(h.lines[12], "2009/Nov/23 16:20:05");
  // The set ends up holding the current (last) record.
  EXPECT_EQ(rig.state.calibration.coefficients[0][1], 70000.0 * 1.002);
  EXPECT_EQ(rig.ui.LastStatus(), "Calibration history written to file " + h.path);

  std::string expected;
  for (const auto& l : h.lines) expected += l + "\r\n";
  EXPECT_EQ(ReadFile(h.path), expected);

  const CalibrationHistory again = WriteCalibrationHistory(rig.state);
  EXPECT_EQ(again.path, dir_.string() + "/007301.001.his");
}

TEST_F(CalibrationHistoryTest, LegacyListingBrokenOffKeepsTheCurrentCalibration) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
  const auto current = rig.state.calibration.coefficients;
  SpoilSecondLegacyRecord(rig);
  const CalibrationHistory h = WriteCalibrationHistory(rig.state, dir_.string());
  ASSERT_EQ(h.result, 1);
  EXPECT_EQ(h.lines.back(), "Download Error in reading calibration coefficients");
  // The first record, listed before the break, is not the current calibration.
  EXPECT_EQ(rig.state.calibration.coefficients, current);
  EXPECT_TRUE(rig.state.logger.calibrationStale);
}

TEST_F(CalibrationHistoryTest, MicrochipListingMarksIncompleteRecord) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  const CalibrationHistory h = WriteCalibrationHistory(rig.state, dir_.string());
  ASSERT_EQ(h.result, 1);
  EXPECT_EQ(h.lines[0], "TMV Data Logger: QN-760  6.10 012345");
  std::vector<std::string> dates;
  for (const auto& l : h.lines)
    if (l.size() > 4 && l[4] == '/') dates.push_back(l);
  ASSERT_EQ(dates.size(), 3u);
  EXPECT_EQ(dates[0], "2010/May/03 11:42:17");
  EXPECT_EQ(dates[1], "2009/May/20 14:05:00 incomplete calibration");
  EXPECT_EQ(dates[2], "2008/Mar/12 09:30:00");
  EXPECT_EQ(h.lines[3], "  1: -50.100000000000001 70140.000000000000000 0.000000000000000 0.000000000000000 ");
}

TEST_F(CalibrationHistoryTest, SingleChannelListingAndUnwritableDirectory) {
  EmulatedRig rig("KM-3170");
  Prepare(rig);
  const CalibrationHistory h = WriteCalibrationHistory(rig.state, dir_.string());
  ASSERT_EQ(h.result, 1);
  ASSERT_EQ(h.lines.size(), 1u + 2 * 3);
  EXPECT_EQ(h.lines[2], "2006/Apr/02 08:00:00");
  EXPECT_EQ(h.lines[3], " 0.003500000000000 -0.000250000000000  0.000002700000000  0.000000023000000 ");
  EXPECT_EQ(h.lines[5], "2009/Sep/14 13:30:00");

  const CalibrationHistory none = WriteCalibrationHistory(rig.state, (dir_ / "missing").string());
  EXPECT_EQ(none.result, 0);
  EXPECT_TRUE(BoxShown(rig, "Calibration History error - unable to open file", "Calibration History"));
}

}  // namespace
}  // namespace tmv
