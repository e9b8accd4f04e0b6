// Live readings against the emulated logger on the virtual clock.
#include <gtest/gtest.h>

#include <cstdlib>

#include "model/Conversion.h"
#include "model/KnowLogger.h"
#include "retrieval/LiveReadings.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

// Ticks a second apart until a fetch completes (at most `ticks`).
bool TickUntilReading(EmulatedRig& rig, LiveReadingsDialog& dlg, int ticks = 12) {
  const int before = dlg.fetches;
  for (int i = 0; i < ticks && dlg.fetches == before; ++i) {
    FetchTick(rig.state, dlg);
    rig.clock.Advance(1000);
  }
  return dlg.fetches > before;
}

TEST(LiveReadings, EachChannelIsFetchedAndConvertedWithItsOwnCoefficients) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration | kKnowCalibration), KnowResult::Known);
  LiveReadingsDialog dlg;
  OpenLiveReadings(rig.state, dlg);
  EXPECT_TRUE(dlg.showChannelSpinner);
  ASSERT_GE(dlg.channelCount, 2);
  for (int ch = 1; ch <= 2; ++ch) {
    dlg.channel = ch;
    ASSERT_TRUE(TickUntilReading(rig, dlg)) << "channel " << ch;
    ASSERT_TRUE(dlg.lastValue.has_value());
    // The emulator's own reading of that channel, converted by the program.
    const std::string hex(rig.state.reply.Text());
    const int32_t raw = static_cast<int32_t>(std::strtol(hex.c_str(), nullptr, 16));
    EXPECT_DOUBLE_EQ(*dlg.lastValue, ConvertReading(rig.state.logger, rig.state.calibration, raw, ch - 1));
    EXPECT_EQ(dlg.valueText.find('.') + 5, dlg.valueText.size()) << dlg.valueText;  // "%.4f"
  }
  CloseLiveReadings(rig.state, dlg);
  EXPECT_TRUE(rig.state.query.binaryOutput);
  EXPECT_EQ(rig.state.query.fetchSelector, 0);
}

TEST(LiveReadings, ChannelSpinnerWrapsBothWays) {
  LiveReadingsDialog dlg;
  dlg.channelCount = 4;
  dlg.channel = 4;
  StepLiveChannel(dlg, 1);
  EXPECT_EQ(dlg.channel, 1);
  StepLiveChannel(dlg, -1);
  EXPECT_EQ(dlg.channel, 4);
  StepLiveChannel(dlg, -9);
  EXPECT_EQ(dlg.channel, 3);
}

TEST(LiveReadings, CaptionNamesTheFetchedChannelAndItsUnit) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration | kKnowCalibration), KnowResult::Known);
  LiveReadingsDialog dlg;
  OpenLiveReadings(rig.state, dlg);
  EXPECT_EQ(LiveChannelCaption(rig.state, dlg), "1 - Conductivity [uS/cm]");
  StepLiveChannel(dlg, 2);
  EXPECT_EQ(LiveChannelCaption(rig.state, dlg), "3 - Pressure [deciBars]");
  rig.state.logger.channelTypes[2] = 'R';  // PAR: the unit's micro sign stays one Latin-1 byte
  EXPECT_EQ(LiveChannelCaption(rig.state, dlg), "3 - PAR [\xB5Mol.m-2.s-1]");
}

TEST(LiveReadings, FrozenDialogSendsNothing) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration | kKnowCalibration), KnowResult::Known);
  LiveReadingsDialog dlg;
  OpenLiveReadings(rig.state, dlg);
  ToggleLiveFreeze(dlg);
  for (int i = 0; i < 5; ++i) {
    FetchTick(rig.state, dlg);
    rig.clock.Advance(1000);
  }
  EXPECT_EQ(dlg.fetches, 0);
  ToggleLiveFreeze(dlg);
  EXPECT_TRUE(TickUntilReading(rig, dlg));
}

TEST(LiveReadings, AveragingTimeIsReadAsHoursMinutesSeconds) {
  EXPECT_EQ(ParseAveragingTime("00:01:30"), 90);
  EXPECT_EQ(ParseAveragingTime("01:00:00"), 3600);
  EXPECT_EQ(ParseAveragingTime("0"), 0);
  EXPECT_EQ(ParseAveragingTime("2:05"), 125);
  EXPECT_FALSE(ParseAveragingTime("00:61:00").has_value());
  EXPECT_FALSE(ParseAveragingTime("ab").has_value());
  EXPECT_FALSE(ParseAveragingTime("").has_value());
  // More readings than the logger's 16-bit averaging count holds.
  EXPECT_FALSE(ParseAveragingTime("05:00:00").has_value());
}

TEST(LiveReadings, HighRateLoggerShowsItsRateAndAveragesARecord) {
  EmulatedRig rig("VL-840");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration | kKnowCalibration), KnowResult::Known);
  LiveReadingsDialog dlg;
  OpenLiveReadings(rig.state, dlg);
  ASSERT_TRUE(dlg.highRate);
  EXPECT_EQ(dlg.rateText, "@6Hz");
  ASSERT_TRUE(SetLiveAveraging(rig.state, dlg, "00:00:02"));
  EXPECT_EQ(dlg.averagingSeconds, 2);
  EXPECT_TRUE(rig.state.fetchWindow.employAveraging);
  dlg.channel = 2;
  ASSERT_TRUE(TickUntilReading(rig, dlg, 20));
  ASSERT_TRUE(dlg.lastValue.has_value());
  const auto values = DecodeLiveRecord(rig.state, rig.state.reply.Bytes());
  ASSERT_GE(values.size(), 3u);
  EXPECT_DOUBLE_EQ(*dlg.lastValue, values[1]);
  ASSERT_TRUE(SetLiveAveraging(rig.state, dlg, "0"));
  EXPECT_FALSE(rig.state.fetchWindow.employAveraging);
}

TEST(LiveReadings, RecordWithBadChecksumGivesNoValues) {
  EmulatedRig rig("QN-760");
  rig.state.logger.channelCount = 1;
  rig.state.logger.model = "QN-760";
  std::string rec(3, '\0');
  rec += "TIM";
  rec += std::string("\x10\x06\x07\x15\x30\x00", 6);
  rec += std::string("\x40\x00\x00", 3);
  uint32_t sum = 0;
  for (size_t i = 3; i < rec.size(); ++i) sum += static_cast<uint8_t>(rec[i]);
  std::string good = rec + static_cast<char>(sum & 0xFF);
  std::string bad = rec + static_cast<char>((sum + 1) & 0xFF);
  EXPECT_EQ(DecodeLiveRecord(rig.state, good).size(), 1u);
  EXPECT_TRUE(DecodeLiveRecord(rig.state, bad).empty());
  EXPECT_TRUE(DecodeLiveRecord(rig.state, good.substr(0, good.size() - 2)).empty());
}

}  // namespace
}  // namespace tmv
