// The configuration table of every logger generation, range switching and
// the latency dialog.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "model/ChannelTypes.h"
#include "model/ConfigTable.h"
#include "model/LatencyDialog.h"
#include "model/RangeSwitching.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

void Prepare(EmulatedRig& rig) {
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
}

bool SentStartingWith(EmulatedRig& rig, const std::string& prefix) {
  for (const auto& c : rig.emulator.CommandLog())
    if (c.rfind(prefix, 0) == 0) return true;
  return false;
}

std::string Codes(const LoggerInfo& info) {
  std::string s;
  for (int i = 0; i < info.channelCount; ++i) s += static_cast<char>(info.channelTypes[i]);
  return s;
}

TEST(ConfigTable01, SalinityCodeBecomesConductivityInMilliSiemens) {
  EmulatedRig rig("QN-760");
  rig.profile().tables[1] = {0x03, 0x2C, 0x01, 0x14, 0x00, 'C', 0, 'T', 0, 'S', 0};
  Prepare(rig);
  ASSERT_EQ(GetConfigTable(rig.state), 1);
  const LoggerInfo& info = rig.state.logger;
  EXPECT_EQ(Codes(info), "CTC");
  EXPECT_EQ(info.latencyMs, 3000);
  EXPECT_EQ(info.readingTimeMs, 2000);
  EXPECT_EQ(info.baseReadingTimeMs, 2000);
  EXPECT_TRUE(info.conductivityMilliSiemens);
  EXPECT_STREQ(ChannelUnit(info, 2), "mS/cm");
  EXPECT_FALSE(info.configurationStale);
  EXPECT_TRUE(rig.ui.StatusSeen("Assessing the logger configuration"));
  // Read once per stale flag.
  const size_t asked = rig.emulator.CommandLog().size();
  EXPECT_EQ(GetConfigTable(rig.state), 1);
  EXPECT_EQ(rig.emulator.CommandLog().size(), asked);
}

TEST(ConfigTable01, UnconfiguredShortAndOversizedTablesNeverOverrunTheChannels) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  AppState& s = rig.state;
  ASSERT_EQ(GetConfigTable(s), 1);
  s.logger.configurationStale = true;

  rig.profile().tables[1] = {0, 0x1E, 0, 0x0A, 0};
  EXPECT_EQ(GetConfigTable(s), -1);
  EXPECT_EQ(rig.ui.LastStatus(), "Logger not yet configured");
  EXPECT_TRUE(s.logger.configurationStale);

  rig.profile().tables.erase(1);  // empty table
  EXPECT_EQ(GetConfigTable(s), -1);

  // Four channels announced, two delivered.
  rig.profile().tables[1] = {4, 0x1E, 0, 0x0A, 0, 'C', 0, 'T', 0};
  EXPECT_EQ(GetConfigTable(s), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "GetConfigTable error");
  EXPECT_EQ(Codes(s.logger), "CTPD");  // what was known is kept

  rig.faults().badChecksum = true;
  rig.profile().tables[1] = {1, 0x1E, 0, 0x0A, 0, 'T', 0};
  EXPECT_EQ(GetConfigTable(s), 0);
  rig.faults().badChecksum = false;

  // A count above 24: one channel with safe timings, and nothing to write back.
  std::vector<uint8_t> big = {30, 0x1E, 0, 0x0A, 0};
  for (int i = 0; i < 30; ++i) big.insert(big.end(), {'T', 0});
  rig.profile().tables[1] = big;
  ASSERT_EQ(GetConfigTable(s), 1);
  EXPECT_EQ(s.logger.channelCount, 1);
  EXPECT_EQ(s.logger.latencyMs, 300);
  EXPECT_EQ(s.logger.readingTimeMs, 200);
  EXPECT_TRUE(s.logger.configTableImage.empty());
}

TEST(ConfigTableOlder, ImageFromMemoryWithCountCheckAndSum) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  AppState& s = rig.state;
  ASSERT_EQ(GetConfigTable(s), 1);
  EXPECT_TRUE(SentStartingWith(rig, "I00000200C9FF0100"));
  EXPECT_EQ(Codes(s.logger), "CTP");
  EXPECT_EQ(s.logger.latencyMs, 300);
  EXPECT_EQ(s.logger.readingTimeMs, 1000);

  rig.profile().memory[0x1FFC9u + 53] = 30;
  s.logger.configurationStale = true;
  ASSERT_EQ(GetConfigTable(s), 1);
  EXPECT_EQ(s.logger.channelCount, 1);
  EXPECT_EQ(s.logger.latencyMs, 300);
  EXPECT_EQ(s.logger.readingTimeMs, 200);

  rig.faults().badChecksum = true;
  s.logger.configurationStale = true;
  EXPECT_EQ(GetConfigTable(s), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Configuration Table read failed.");
}

TEST(ConfigTableFixed, BasicRsLevelGivesFixedLayouts) {
  LoggerInfo info;
  info.latencyMs = 120;
  info.model = "KZM-5170";
  ApplyFixedLayout(info);
  EXPECT_EQ(Codes(info), "TP");
  EXPECT_EQ(info.latencyMs, 120);
  info.model = "KM-3170";
  ApplyFixedLayout(info);
  EXPECT_EQ(Codes(info), "T");
  info.model = "PM-3170";
  ApplyFixedLayout(info);
  EXPECT_EQ(Codes(info), "P");
}

TEST(RangeSwitching, AutoRangingFluorometerRaisesTheReadingTime) {
  LoggerInfo info;
  info.channelCount = 2;
  info.channelTypes[0] = 'T';
  info.channelTypes[1] = 'F';
  info.baseReadingTimeMs = 500;
  ClearRangeSwitching(info);
  info.rangeSwitching[2] = 0x05;  // module 5, full auto-ranging, gain 0
  info.rangeSwitchingRead = true;
  ApplyRangeSwitching(info);
  EXPECT_EQ(info.channelTypes[1], 'f');
  EXPECT_EQ(info.settleTimeMs[1], 860);
  EXPECT_EQ(info.readingTimeMs, 860);
  EXPECT_EQ(info.rangeSwitching[0], 2);
  EXPECT_TRUE(info.rangeSwitchingPresent);
  EXPECT_EQ(HasRangeSwitching(info), 1);
  EXPECT_EQ(info.rangeSummary[1], "2: Seapoint Flurometer-C, Auto-ranging");

  // Fixed gain: 200 ms, which the base reading time already covers.
  SetChannelRangeMode(info, 1, 5, 2, 3);
  info.channelTypes[1] = 'G';
  ApplyRangeSwitching(info);
  EXPECT_EQ(info.channelTypes[1], 'g');
  EXPECT_EQ(info.settleTimeMs[1], 200);
  EXPECT_EQ(info.readingTimeMs, 500);
  EXPECT_EQ(info.rangeSwitching[0], 1);
  const std::vector<std::string> lines = ListRangeSwitching(info);
  EXPECT_EQ(lines, (std::vector<std::string>{"Range switching channels:", "Channel 2:",
                                             "\ttype:\tSeapoint Flurometer Rhodamine",
                                             "\tmode:\tUser switchable fixed gain", "\tgain:\t(3) 900ug/l"}));
  EXPECT_EQ(info.rangeSummary[1], "2: Seapoint Flurometer-R, Fixed gain, 900ug/l");

  // Module 7: no module, and the table 04 bit that says so.
  EXPECT_EQ(SetChannelRangeMode(info, 1, 7, 0, 0), 0xFF);
  EXPECT_EQ(info.extendedRange[2] & 0x02, 0x02);
  EXPECT_EQ(HasRangeSwitching(info), 0);
  EXPECT_EQ(ListRangeSwitching(info), std::vector<std::string>{"No range switching capable modules present"});
  EXPECT_EQ(SetChannelRangeMode(info, 1, 6, 1, 2), 0x2E + 0x20);
  EXPECT_EQ(info.extendedRange[2] & 0x02, 0);
}

TEST(RangeSwitching, ExtendedRangeCodesFromChannelTypes) {
  LoggerInfo info;
  info.channelCount = 4;
  for (int i = 0; i < 4; ++i) info.channelTypes[i] = static_cast<uint8_t>("TCFM"[i]);
  info.extendedRange.fill(0x03);
  PrepareExtendedRangeCodes(info);
  EXPECT_EQ(info.extendedRange[1], 0x03 | (3 << 2));
  EXPECT_EQ(info.extendedRange[2], 0x03 | (1 << 2));
  EXPECT_EQ(info.extendedRange[3], 0x03 | (2 << 2));
  EXPECT_EQ(info.extendedRange[4], 0x03);
  SetExtendedRange(info, 3, false);
  EXPECT_EQ(info.extendedRange[4], 0x02);
}

TEST(RangeSwitching, TablesFromTheLoggerAndWrittenBackVerified) {
  EmulatedRig rig("QN-760-RS");
  Prepare(rig);
  AppState& s = rig.state;
  ASSERT_EQ(GetConfigTable(s), 1);
  EXPECT_EQ(Codes(s.logger), "CTPfy");
  EXPECT_EQ(s.logger.settleTimeMs[3], 860);
  EXPECT_EQ(s.logger.settleTimeMs[4], 1260);
  EXPECT_EQ(s.logger.readingTimeMs, 1260);
  EXPECT_EQ(s.logger.rangeSwitching[0], 5);
  EXPECT_EQ(s.logger.rangeSummary[4], "5: Seapoint Turbidity, Auto-ranging");
  EXPECT_EQ(s.logger.extendedRange[4] & 0x01, 0x01);

  SetChannelRangeMode(s.logger, 4, 6, 3, 1);
  std::vector<std::string> drawn;
  ASSERT_EQ(WriteRangeSwitching(s, &drawn), 1);
  EXPECT_EQ(rig.profile().tables[5][5], 0x20 + 0x18 + 6);
  EXPECT_EQ(rig.profile().tables[5][0], 4);  // the fluorometer now sets the reading time
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[1], "Range switching behaviour and Extended channel capabilities write success");
  EXPECT_EQ(rig.ui.LastStatus(), drawn[1]);

  // Unreadable table 05: every channel without a module.
  rig.faults().badChecksum = true;
  EXPECT_EQ(ReadRangeSwitching(s), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Range switching behaviour retrieve error");
  EXPECT_EQ(s.logger.rangeSwitching[0], 1);
  EXPECT_EQ(s.logger.rangeSwitching[5], 0xFF);
  EXPECT_EQ(HasRangeSwitching(s.logger), 0);

  s.logger.rsCommandLevel = kRsBasic;
  EXPECT_EQ(WriteRangeSwitching(s), 2);
}

TEST(LatencyDialog, WritesTensOfMillisecondsAndReadsThemBack) {
  EmulatedRig rig("QN-760-S");
  Prepare(rig);
  AppState& s = rig.state;
  LatencyDialog dialog;
  ASSERT_TRUE(dialog.Open(s));
  EXPECT_EQ(dialog.field, "300");
  dialog.field = "1234";
  ASSERT_TRUE(dialog.Ok(s));
  EXPECT_FALSE(dialog.open);
  EXPECT_TRUE(rig.ui.StatusSeen("Latency update successful"));
  EXPECT_TRUE(s.logger.configurationStale);
  // The rest of the table, the 'S' code included, is written back unchanged.
  EXPECT_EQ(rig.profile().tables[1][0], 3);
  EXPECT_EQ(rig.profile().tables[1][5], 'S');
  ASSERT_EQ(GetConfigTable(s), 1);
  EXPECT_EQ(s.logger.latencyMs, 1230);
  EXPECT_EQ(Codes(s.logger), "CTP");

  // Text that is no latency is refused before anything is sent.
  ASSERT_TRUE(dialog.Open(s));
  const size_t asked = rig.emulator.CommandLog().size();
  for (const char* bad : {"", "12x", "-10", "700000"}) {
    dialog.field = bad;
    EXPECT_FALSE(dialog.Ok(s)) << bad;
    EXPECT_EQ(OutcomeText(dialog.result), "Required Latency (ms) must be a whole number from 0 to 655359.") << bad;
  }
  EXPECT_EQ(rig.emulator.CommandLog().size(), asked);
}

TEST(LatencyDialog, LoggerWithoutTable01CannotBeChanged) {
  EmulatedRig rig("QN-730");
  Prepare(rig);
  LatencyDialog dialog;
  EXPECT_FALSE(dialog.Open(rig.state));
  EXPECT_EQ(dialog.result, Outcome::Of(OutcomeKind::Failed, "Unable to read current configuration table"));
}

}  // namespace
}  // namespace tmv

namespace tmv {
namespace {

TEST(ConfigTable, OlderSingleChannelRecordersGetTheirOneChannelType) {
  test::EmulatedRig rig("KM-3170");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  ASSERT_EQ(CommGet(rig.state, 16), 1);
  EXPECT_EQ(rig.state.logger.channelCount, 1);
  EXPECT_EQ(ChannelLabel(rig.state.logger, 0), " 1 - Temperature");
  EXPECT_FALSE(rig.state.logger.configurationStale);  // known, so nothing says "not yet configured"

  rig.state.logger.model = "PM-3170";
  rig.state.logger.configurationStale = true;
  ASSERT_EQ(CommGet(rig.state, 16), 1);
  EXPECT_EQ(ChannelLabel(rig.state.logger, 0), " 1 - Pressure");
}

}  // namespace
}  // namespace tmv
