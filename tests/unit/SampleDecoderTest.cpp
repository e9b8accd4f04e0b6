// Decoding a logger's memory image into the DataSet.
#include <gtest/gtest.h>

#include "model/Conversion.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class SampleDecoderTest : public WorkDirectoryTest {
 protected:
  SampleDecoderTest() { MakeThreeChannelLogger(state); }
  DataSet& Data() { return state.retrieval.data; }
  void Decode(const ImageBuilder& b) {
    b.Into(state.retrieval.image);
    DecodeSampleStream(state, true);
  }
  void TwoChannels() {
    state.logger.channelCount = 2;
    state.logger.channelTypes[0] = 'P';
    state.logger.channelTypes[1] = 'V';
    state.calibration.coefficients[0] = {0, 1000, 0, 0};
    state.calibration.coefficients[1] = {0, 10, 0, 0};
  }
  static LoggerTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return LoggerTime{static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0, static_cast<uint16_t>(d),
                      static_cast<uint16_t>(h), static_cast<uint16_t>(mi), static_cast<uint16_t>(s),
                      static_cast<uint16_t>(ms)};
  }
};

TEST_F(SampleDecoderTest, StampBetweenRowsStartsTheNextRowAtItsTime) {
  TwoChannels();
  Decode(ImageBuilder(48).Word(0x100000).Word(0x200000).Stamp("TIM", 24, 3, 15, 12, 0, 0).Word(0x300000).Word(0x400000));
  ASSERT_EQ(Data().sampleCount, 2);
  ASSERT_EQ(Data().StampCount(), 1);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 1);
  EXPECT_EQ(Data().stamps[0].type, kStampTime);
  EXPECT_EQ(Data().stamps[0].time, At(2024, 3, 15, 12, 0, 0));
  EXPECT_EQ(SampleTime(Data(), 1), At(2024, 3, 15, 12, 0, 0));
  EXPECT_FLOAT_EQ(Data().Value(0, 1), 1000.0f * 3 / 16);
  EXPECT_FLOAT_EQ(Data().Value(1, 0), 10.0f * 2 / 16);
}

TEST_F(SampleDecoderTest, TwoStampsInARowBothApplyToTheSameRow) {
  TwoChannels();
  Decode(ImageBuilder(48).Word(0x100000).Word(0x200000).Stamp("STP", 24, 3, 15, 12, 0, 0).Stamp("CLD", 24, 3, 16, 8, 0, 0)
             .Word(0x300000).Word(0x400000));
  ASSERT_EQ(Data().StampCount(), 2);
  EXPECT_EQ(Data().stamps[0].type, kStampStop);
  EXPECT_EQ(Data().stamps[1].type, kStampColdStartup);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 1);
  EXPECT_EQ(Data().stamps[1].sampleIndex, 1);
  EXPECT_EQ(SampleTime(Data(), 1), At(2024, 3, 16, 8, 0, 0));
  EXPECT_EQ(Data().stampWords, 8);
}

// A stamp inside a row closes it: the channels not yet read must not show
// whatever an earlier decode left in the arrays.
TEST_F(SampleDecoderTest, RowClosedByAStampMarksTheUnreadChannelsInvalid) {
  ImageBuilder full(48);
  for (int i = 0; i < 30; ++i) full.Word(0x400000);
  Decode(full);
  Decode(ImageBuilder(48).Word(0x400000).Stamp("STP", 24, 3, 15, 12, 0, 0).Word(0x400000).Word(0x400000).Word(0x400000));
  ASSERT_EQ(Data().sampleCount, 2);  // the closed row and the full one after it
  EXPECT_NE(Data().Value(0, 0), kInvalidValue);
  EXPECT_EQ(Data().Value(1, 0), kInvalidValue);
  EXPECT_EQ(Data().Value(2, 0), kInvalidValue);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 0);
  for (int c = 0; c < 3; ++c) EXPECT_NE(Data().Value(c, 1), kInvalidValue);
  // The invalid marks stay out of the range.
  EXPECT_GT(Data().Minimum(1), 0.0f);
}

// After a download the byte past the last word is the last block's checksum:
// a stamp at the very end must not make it a reading.
TEST_F(SampleDecoderTest, StampAtTheEndOfMemoryReadsNothingPastTheWords) {
  state.logger.channelCount = 1;
  ImageBuilder b(48);
  b.Word(0x400000).Word(0x400000).Stamp("STP", 24, 3, 15, 12, 0, 0);
  b.Into(state.retrieval.image);
  uint8_t* after = state.retrieval.image.Bytes() + b.bytes.size();
  after[0] = 0x5A;
  after[1] = 0x5A;
  after[2] = 0x5A;
  DecodeSampleStream(state, true);
  EXPECT_EQ(Data().sampleCount, 2);
  EXPECT_EQ(Data().StampCount(), 1);
}

TEST_F(SampleDecoderTest, StampCutOffByTheEndOfDataIsDropped) {
  state.logger.channelCount = 1;
  ImageBuilder b(48);
  b.Word(0x400000).Stamp("STP", 24, 3, 15, 12, 0, 0);
  b.bytes.resize(b.bytes.size() - 3);
  Decode(b);
  EXPECT_EQ(Data().sampleCount, 1);
  EXPECT_EQ(Data().StampCount(), 0);
}

TEST_F(SampleDecoderTest, ZeroWordWithoutAKnownCodeIsAReadingOfZero) {
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'V';
  state.calibration.coefficients[0] = {1, 10, 0, 0};
  Decode(ImageBuilder(48).Word(0).Word(0x414243).Word(0x400000));
  ASSERT_EQ(Data().sampleCount, 3);
  EXPECT_FLOAT_EQ(Data().Value(0, 0), 1.0f);
  EXPECT_EQ(Data().StampCount(), 0);
}

// A deep logger's pressures all lie above 300 dBar: the range is theirs, not 300.
TEST_F(SampleDecoderTest, MinimumAndMaximumStartFromTheFirstValidReading) {
  state.logger.channelCount = 2;
  state.logger.channelTypes[0] = 'T';
  state.logger.channelTypes[1] = 'P';
  state.calibration.coefficients[1] = {0, 1000, 0, 0};
  ImageBuilder b(48);
  b.Word(0).Word(0x800000);  // an impossible thermistor reading first
  b.Word(0x700000).Word(0x900000);
  b.Word(0x600000).Word(0xA00000);
  Decode(b);
  ASSERT_EQ(Data().sampleCount, 3);
  EXPECT_FLOAT_EQ(Data().Minimum(1), 500.0f);
  EXPECT_FLOAT_EQ(Data().Maximum(1), 625.0f);
  EXPECT_EQ(Data().Value(0, 0), -1000.0f);
  EXPECT_GT(Data().Minimum(0), -999.0f);
  EXPECT_FLOAT_EQ(Data().Minimum(0), std::min(Data().Value(0, 1), Data().Value(0, 2)));
}

TEST_F(SampleDecoderTest, FullLoggerConvertedInPiecesGivesEveryValueAndTheWholeRange) {
  // Enough rows that the columns are shared out in pieces; each value is
  // still the channel's own conversion of its count, the range the whole one.
  state.logger.channelCount = 2;
  state.logger.channelTypes[0] = 'T';
  state.logger.channelTypes[1] = 'P';
  state.calibration.coefficients[1] = {0, 1000, 0, 0};
  constexpr int kRows = 300000;
  ImageBuilder b(48);
  auto count = [](int r) { return static_cast<int32_t>(0x200000 + (static_cast<int64_t>(r) * 7919 % 0xA00000 & ~1)); };
  for (int r = 0; r < kRows; ++r) b.Word(static_cast<uint32_t>(count(r))).Word(0x100000 + 2 * r);
  Decode(b);
  ASSERT_EQ(Data().sampleCount, kRows);
  float lo = 1e30f, hi = -1e30f;
  for (int r = 0; r < kRows; ++r) {
    const float t = static_cast<float>(ConvertReading(state.logger, state.calibration, count(r), 0));
    ASSERT_EQ(Data().Value(0, r), t) << r;
    lo = std::min(lo, t);
    hi = std::max(hi, t);
  }
  EXPECT_EQ(Data().Minimum(0), lo);
  EXPECT_EQ(Data().Maximum(0), hi);
  EXPECT_FLOAT_EQ(Data().Minimum(1), 62.5f);
  EXPECT_FLOAT_EQ(Data().Maximum(1), static_cast<float>((0x100000 + 2.0 * (kRows - 1)) / 16777216.0 * 1000));
}

TEST_F(SampleDecoderTest, KmFirmwareChoosesTheHeaderAndTheThermistor) {
  state.logger = LoggerInfo{};
  state.logger.model = "KM-3170";
  state.calibration.coefficients[0] = DefaultCoefficients('T');
  for (auto [version, header] : {std::pair{1.0f, 0}, {2.0f, 15}, {2.2f, 30}}) {
    state.logger.firmwareVersion = version;
    Decode(ImageBuilder(header).Word(0x800000).Word(0x900000));
    EXPECT_EQ(Data().headerLength, header) << version;
    EXPECT_EQ(Data().sampleCount, 2) << version;
    EXPECT_EQ(Data().channelTypes[0], 'T');
    EXPECT_FLOAT_EQ(Data().Value(0, 0), static_cast<float>(ThermistorValue(DefaultCoefficients('T'), 0x800000)));
  }
}

TEST_F(SampleDecoderTest, GainStampAtRowZeroAndWhereTheGainChanges) {
  state.logger.channelCount = 2;
  state.logger.channelTypes[0] = 'T';
  state.logger.channelTypes[1] = 'y';
  ImageBuilder b(48);
  for (int r = 0; r < 600; ++r) b.Word(0x800000).Word(r < 500 ? 0x400002u : 0x400004u);
  Decode(b);
  ASSERT_EQ(Data().StampCount(), 2);
  EXPECT_EQ(Data().gainChannelMask, 2u);
  EXPECT_EQ(Data().stamps[0].type, kStampGain);
  EXPECT_EQ(Data().stamps[0].sampleIndex, 0);
  EXPECT_EQ(Data().stamps[0].gains[1], 1);
  EXPECT_EQ(Data().stamps[1].sampleIndex, 500);
  EXPECT_EQ(Data().stamps[1].changedMask, 2u);
  EXPECT_EQ(Data().stamps[1].gains[1], 2);
  EXPECT_EQ(Data().stamps[1].markerClass, 1);
  EXPECT_EQ(Data().stamps[1].time, AddSeconds(Data().startTime, 500 * 30));
  EXPECT_EQ(Data().sampleCount, 600);
}

TEST_F(SampleDecoderTest, SixHertzRowsStepBy167MillisecondsAndLandOnWholeSeconds) {
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'y';
  Data().deployment.sixHzMode = true;
  Data().deployment.startTime = At(2024, 3, 15, 12, 0, 0);
  ImageBuilder b(48);
  // The gain changes every row, so every row's time shows in a gain stamp.
  for (int r = 0; r < 8; ++r) b.Word(r % 2 ? 0x400002u : 0x400004u);
  Decode(b);
  ASSERT_EQ(Data().StampCount(), 8);
  const int ms[] = {0, 167, 334, 501, 668, 835};
  for (int r = 0; r < 6; ++r) EXPECT_EQ(Data().stamps[static_cast<size_t>(r)].time, At(2024, 3, 15, 12, 0, 0, ms[r])) << r;
  EXPECT_EQ(Data().stamps[6].time, At(2024, 3, 15, 12, 0, 1));
  EXPECT_EQ(SampleTime(Data(), 6), At(2024, 3, 15, 12, 0, 1));
}

TEST_F(SampleDecoderTest, MoreThan11000StampsWarnOnceAndKeep11000) {
  state.logger.channelCount = 1;
  ImageBuilder b(48);
  for (int i = 0; i < 11001; ++i) b.Stamp("TIM", 24, 3, 15, 12, 0, 0).Word(0x400000);
  Decode(b);
  EXPECT_EQ(Data().StampCount(), 11000);
  int warnings = 0;
  for (const auto& box : ui.boxes) warnings += box.caption == "Timestamps";
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(Data().sampleCount, 11001);
}

TEST_F(SampleDecoderTest, OddReadingsOfOrdinaryChannelsWrapOutOfRange) {
  state.logger.channelCount = 1;
  state.logger.channelTypes[0] = 'V';
  state.calibration.coefficients[0] = {0, 1, 0, 0};
  Decode(ImageBuilder(48).Word(0x000001).Word(0x800001).Word(0x800000));
  EXPECT_FLOAT_EQ(Data().Value(0, 0), static_cast<float>((1.0 + 16777216.0) / 16777216.0));
  EXPECT_FLOAT_EQ(Data().Value(0, 1), static_cast<float>((0x800001 - 16777216.0) / 16777216.0));
  EXPECT_FLOAT_EQ(Data().Value(0, 2), 0.5f);
}

TEST_F(SampleDecoderTest, EmptyAndHeaderOnlyImagesDecodeToNoRows) {
  Decode(ImageBuilder(48));
  EXPECT_EQ(Data().sampleCount, 0);
  Decode(ImageBuilder(20));
  EXPECT_EQ(Data().sampleCount, 0);
  EXPECT_EQ(Data().wordCount, 0);
}

TEST_F(SampleDecoderTest, ClassifyStampsMarksBurstsRecoveriesAndTheirRow) {
  DataSet& d = Data();
  d.stamps.clear();
  auto add = [&](int row, int type) {
    StampRecord s;
    s.sampleIndex = row;
    s.type = type;
    d.stamps.push_back(s);
  };
  add(0, kStampRtc);
  add(0, kStampStop);
  add(5, kStampBurst);
  add(5, kStampTime);
  add(7, kStampTime);
  ClassifyStamps(d);
  EXPECT_EQ(d.stamps[0].markerClass, 9);
  EXPECT_EQ(d.stamps[1].markerClass, 9);
  EXPECT_EQ(d.stamps[2].markerClass, 10);
  EXPECT_EQ(d.stamps[3].markerClass, -1);
  EXPECT_EQ(d.stamps[4].markerClass, 8);
}

TEST_F(SampleDecoderTest, HooksRunForDerivedChannelsAndEachBurst) {
  state.logger.channelCount = 1;
  state.logger.waves = true;
  Data().deployment.waveEnabled = true;
  Data().deployment.burstSamples = 512;
  int derived = 0;
  std::vector<int> bursts;
  state.retrieval.hooks.addDerivedChannels = [&](DataSet&) { ++derived; };
  state.retrieval.hooks.analyseBurst = [&](DataSet&, int b) { bursts.push_back(b); };
  ImageBuilder b(48);
  b.Word(0x400000).Stamp("BST", 24, 3, 15, 12, 0, 0).Word(0x100000).Word(0x200000).Stamp("TIM", 24, 3, 15, 12, 1, 0).Word(0x400000);
  Decode(b);
  EXPECT_EQ(derived, 1);
  EXPECT_EQ(bursts, std::vector<int>{0});
  EXPECT_EQ(Data().burstWords, 2);
  EXPECT_EQ(Data().sampleCount, 2);
  EXPECT_EQ(Data().burstStartTimes[0], At(2024, 3, 15, 12, 0, 0));
}

}  // namespace
}  // namespace tmv::test
