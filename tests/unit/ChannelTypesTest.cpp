// The channel type table, labels, units and the raw-range extension.
#include <gtest/gtest.h>

#include <cstring>

#include "model/ChannelTypes.h"

namespace tmv {
namespace {

LoggerInfo WithChannels(const std::string& codes) {
  LoggerInfo info;
  info.channelCount = static_cast<int>(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) info.channelTypes[i] = static_cast<uint8_t>(codes[i]);
  return info;
}

TEST(ChannelTypes, ShortLabelsAreElevenBytesAndDerivedOnesBeginWithTheirCode) {
  const auto& table = ChannelTypeTable();
  ASSERT_EQ(table.size(), 38u);
  for (const auto& row : table) {
    EXPECT_EQ(std::strlen(row.shortLabel), 11u) << row.shortLabel;
    EXPECT_EQ(static_cast<uint8_t>(row.shortLabel[0]), row.code) << row.shortLabel;
  }
  EXPECT_STREQ(table[ChannelTypeRowForCode('J')].shortLabel, "JOptd_\xB5Mol ");
  EXPECT_STREQ(table[ChannelTypeRowForCode('J')].unit, "\xB5Mol/l");
  EXPECT_STREQ(table[ChannelTypeRowForCode('R')].unit, "\xB5Mol.m-2.s-1");
  EXPECT_STREQ(table[ChannelTypeRowForCode(0x87)].shortLabel, "\x87 CorrCond ");
  EXPECT_EQ(ChannelTypeRowForCode('T'), 0);
  EXPECT_EQ(ChannelTypeRowForCode('B'), 37);
}

TEST(ChannelTypes, CodeInNoRowIsUnknownWithoutReadingPastTheTable) {
  LoggerInfo info = WithChannels("TC?");
  info.channelTypes[2] = 0x99;
  EXPECT_EQ(ChannelTypeRow(info, 2), 38);
  EXPECT_EQ(ChannelLabel(info, 2), " 3 - Unknown");
  EXPECT_STREQ(ChannelUnit(info, 2), "Unknown");
  EXPECT_EQ(ChannelShortLabel(info, 2).size(), 11u);
  EXPECT_EQ(ChannelRangeClass(info, 2), 0);
  // Channel numbers outside the table of channels are unknown too.
  EXPECT_EQ(ChannelTypeRow(info, -1), 38);
  EXPECT_EQ(ChannelTypeRow(info, 24), 38);
  EXPECT_EQ(ChannelLabel(info, 24), "25 - Unknown");
}

TEST(ChannelTypes, LabelsUnitsAndConductivityUnit) {
  LoggerInfo info = WithChannels("TCsEX");
  EXPECT_EQ(ChannelLabel(info, 0), " 1 - Temperature");
  EXPECT_EQ(ChannelLabel(info, 1), " 2 - Conductivity");
  // Rows without a list label fall back to their heading instead of an empty format.
  EXPECT_EQ(ChannelLabel(info, 3), " 4 - Echo");
  EXPECT_EQ(ChannelLabel(info, 4), " 5 - dO2");
  EXPECT_STREQ(ChannelUnit(info, 1), "uS/cm");
  EXPECT_STREQ(ChannelUnit(info, 2), "uS/cm");
  info.conductivityMilliSiemens = true;
  EXPECT_STREQ(ChannelUnit(info, 1), "mS/cm");
  EXPECT_STREQ(ChannelUnit(info, 2), "mS/cm");
  EXPECT_STREQ(ChannelUnit(info, 0), "Degrees_C");
}

TEST(ChannelTypes, ExtendRawRangeGivesNegativeReadingsAndUndoesTheOverRangeMark) {
  LoggerInfo info = WithChannels("FCTA");
  info.extendedRange[1] = 0x01;  // fluorometer, class 2
  info.extendedRange[2] = 0x01;  // conductivity, class 1
  int32_t raw = 0xFFFFFF;
  ExtendRawRange(info, 0, raw);
  EXPECT_EQ(raw, -1);
  raw = 0xFD70A1;
  ExtendRawRange(info, 0, raw);
  EXPECT_EQ(raw, 0xFD70A1);
  raw = 0xDFFFFF;
  ExtendRawRange(info, 1, raw);
  EXPECT_EQ(raw, 0xDFFFFF - (1 << 24));
  // Without the extended bit an odd count is the over-range mark.
  raw = 0x000001;
  ExtendRawRange(info, 2, raw);
  EXPECT_EQ(raw, 0x1000001);
  raw = 0x800001;
  ExtendRawRange(info, 2, raw);
  EXPECT_EQ(raw, 0x800001 - (1 << 24));
  raw = 0x123456;
  ExtendRawRange(info, 2, raw);
  EXPECT_EQ(raw, 0x123456);
  // A depth channel counts as class 1 only at engineering-units level 1.
  info.extendedRange[4] = 0x01;
  raw = 0xE00000;
  ExtendRawRange(info, 3, raw);
  EXPECT_EQ(raw, 0xE00000);
  info.engineeringUnitsLevel = 1;
  ExtendRawRange(info, 3, raw);
  EXPECT_EQ(raw, 0xE00000 - (1 << 24));
}

TEST(ChannelTypes, SensorModulesAndGainTexts) {
  EXPECT_EQ(SensorModuleTable().size(), 17u);
  EXPECT_STREQ(SensorModuleTable().back().name, "Turbidity");
  EXPECT_STREQ(GainRangeText(GainRow::Turbidity, 3), "2500NTU");
  EXPECT_STREQ(GainRangeText(GainRow::FluorometerB, 0), "50ug/l");
  EXPECT_STREQ(GainRangeText(GainRow::FluorometerC, 2), "300ug/l");
  EXPECT_STREQ(GainRangeText(GainRow::FluorometerA, 7), "Unknown");
}

}  // namespace
}  // namespace tmv
