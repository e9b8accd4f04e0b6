// The memory card dialog: its reply parsing, its step sequence against the
// emulated card on the virtual clock, and what it does with a card that
// answers badly or not at all.
#include <gtest/gtest.h>

#include <algorithm>

#include "cards/MmcSdCard.h"
#include "shell/CommandIds.h"
#include "shell/CommandGate.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

bool Listed(const MmcSdProc& d, const std::string& line) {
  return std::find(d.list.begin(), d.list.end(), line) != d.list.end();
}

// The dialog's timer: a tick each second of virtual time while it runs.
int RunTimer(EmulatedRig& rig, MmcSdProc& d) {
  int ticks = 0;
  while (d.Busy() && ticks < 1000) {
    rig.clock.Advance(MmcSdProc::kTickMs);
    d.Tick(rig.state);
    ++ticks;
  }
  return ticks;
}

TEST(CardReplyParsing, SizeIsHexadecimalKilobytesBeforeTheX) {
  unsigned kb = 0;
  ASSERT_TRUE(ParseCardSize("000000FFx MMS", kb));
  EXPECT_EQ(kb, 255u);
  ASSERT_TRUE(ParseCardSize("001DA000x MMS\r\n", kb));
  EXPECT_EQ(kb, 0x1DA000u);
}

TEST(CardReplyParsing, SizeThatIsNotHexOrLacksTheXIsRefusedNotReadAsZero) {
  unsigned kb = 77;
  EXPECT_FALSE(ParseCardSize("GARBAGEx MMS", kb));
  EXPECT_FALSE(ParseCardSize("000000FF MMS", kb));
  EXPECT_FALSE(ParseCardSize("", kb));
  // Nine digits would overflow the size: only eight are read, and then the 'x' is missing.
  EXPECT_FALSE(ParseCardSize("1000000000x MMS", kb));
  EXPECT_EQ(kb, 77u);
}

TEST(CardReplyParsing, NamesAreCutToTheirFieldAndFreedOfLineEnds) {
  std::string text;
  ASSERT_TRUE(CardTextBefore("\r\nSD 2GB MMD\r\n", "MMD", text));
  EXPECT_EQ(text, "SD 2GB");
  ASSERT_TRUE(CardTextBefore(std::string(60, 'A') + "MMF", "MMF", text));
  EXPECT_EQ(text.size(), MmcSdProc::kNameLength);
  EXPECT_FALSE(CardTextBefore("00000001", "MMF", text));
}

TEST(CardDirectory, RefreshReadsSizeTypeFirstAndLastFromTheCard) {
  EmulatedRig rig;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  EXPECT_FALSE(d.refreshEnabled);
  RunTimer(rig, d);
  EXPECT_EQ(d.card.sizeKb, 0x1DA000u);
  EXPECT_EQ(d.size, "Memory size = 1941504KB");
  EXPECT_EQ(d.memoryType, "SD 2GB");
  EXPECT_EQ(d.first, "00000001");
  EXPECT_EQ(d.last, "00000004");
  EXPECT_EQ(d.fileNumberField, "00000004");
  EXPECT_EQ(rig.state.statusText, "Last file in sequence = 00000004");
  EXPECT_EQ(d.list, (std::vector<std::string>{"Refreshing MMC/SD card data", "Refresh complete"}));
  EXPECT_TRUE(d.refreshEnabled);
  EXPECT_EQ(d.title, "MMC/SD Memory");
}

TEST(CardDirectory, TypeReplyWithoutItsTagStopsTheRefreshAfterTheSize) {
  EmulatedRig rig;
  rig.faults().cardReplies["!G04"] = "SD 2GB\r\n";
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  RunTimer(rig, d);
  EXPECT_EQ(d.size, "Memory size = 1941504KB");
  EXPECT_EQ(d.memoryType, "None found");
  EXPECT_EQ(d.first, "Unknown");
  EXPECT_TRUE(Listed(d, "Unable to read MMC/SD type"));
  EXPECT_FALSE(Listed(d, "Refresh complete"));
  EXPECT_TRUE(d.refreshEnabled);  // Refresh may be pressed again
}

TEST(CardDirectory, SizeReplyThatIsNotHexIsReportedNotShownAsZero) {
  EmulatedRig rig;
  rig.faults().cardReplies["!G00"] = "LOTSx MMS\r\n";
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  RunTimer(rig, d);
  EXPECT_TRUE(Listed(d, "Unable to read MMC/SD size"));
  EXPECT_TRUE(d.size.empty());
}

TEST(CardDirectory, CardThatNeverAnswersWaitsThirtyTicksThenReports) {
  EmulatedRig rig;
  rig.faults().cardSilent = true;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  const int64_t before = rig.clock.Milliseconds();
  const int ticks = RunTimer(rig, d);
  EXPECT_EQ(ticks, MmcSdProc::kTicksPerQuery);
  EXPECT_GE(rig.clock.Milliseconds() - before, 30'000);
  EXPECT_EQ(d.list, (std::vector<std::string>{"Refreshing MMC/SD card data", "Unable to read MMC/SD size"}));
  // A second refresh waits its own thirty ticks.
  d.Refresh(rig.state);
  EXPECT_EQ(RunTimer(rig, d), MmcSdProc::kTicksPerQuery);
}

TEST(CardDirectory, ReplyArrivingOverTwoTicksIsJoinedNotMisreadFromItsSecondHalf) {
  EmulatedRig rig;
  // Each directory reply's second half comes a tick after its first: read
  // alone, "0x MMS" would be a size of 0 KB and "01MMF" the first file.
  rig.faults().cardSplitMs = 1500;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  RunTimer(rig, d);
  EXPECT_EQ(d.card.sizeKb, 0x1DA000u);
  EXPECT_EQ(d.memoryType, "SD 2GB");
  EXPECT_EQ(d.first, "00000001");
  EXPECT_EQ(d.last, "00000004");
  EXPECT_TRUE(Listed(d, "Refresh complete"));
}

TEST(CardDirectory, LoggerThatIsGoneEndsTheRefreshWithTheTwoLines) {
  EmulatedRig rig;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state, false));
  rig.faults().silent = true;
  d.Refresh(rig.state);
  EXPECT_FALSE(d.Busy());
  EXPECT_EQ(d.list, (std::vector<std::string>{"Refreshing MMC/SD card data", "Unable to communicate with MMC/SD card",
                                              "Ensure a MMC/SD card is installed"}));
}

TEST(CardContents, FileTextIsListedLineByLine) {
  EmulatedRig rig;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state, false));
  d.fileNumberField = "2";
  d.GetContents(rig.state);
  ASSERT_EQ(d.list.size(), 4u);
  EXPECT_EQ(d.list[0], "TMV data file 002");
  EXPECT_EQ(d.list[1].rfind("2010/05/02 12:00:00", 0), 0u);
}

TEST(CardContents, FileLongerThanOneReadIsMarkedAndItsRestDoesNotSpoilTheNextQuery) {
  EmulatedRig rig;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state, false));
  d.fileNumberField = "4";
  d.GetContents(rig.state);
  ASSERT_FALSE(d.list.empty());
  EXPECT_NE(d.list.back().find("only the first 300 bytes"), std::string::npos);
  d.fileNumberField = "1";
  d.GetContents(rig.state);
  ASSERT_FALSE(d.list.empty());
  EXPECT_EQ(d.list.front(), "TMV data file 001");
}

TEST(CardContents, DirectoryClaimingMoreFilesThanTheCardHoldsShowsTheLoggersAnswer) {
  EmulatedRig rig;
  rig.faults().cardOverclaim = 3;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state));
  RunTimer(rig, d);
  EXPECT_EQ(d.fileNumberField, "00000007");
  d.GetContents(rig.state);
  EXPECT_EQ(d.list, (std::vector<std::string>{"File not found"}));
}

TEST(CardContents, FileNumberThatIsNoNumberIsRefusedWithoutAQuery) {
  EmulatedRig rig;
  MmcSdProc d;
  ASSERT_TRUE(d.Open(rig.state, false));
  for (const char* field : {"", "abc", "-1", "123456789", "12x"}) {
    d.fileNumberField = field;
    d.GetContents(rig.state);
    ASSERT_EQ(d.list.size(), 1u) << field;
    EXPECT_EQ(d.list[0].rfind("The file number must be", 0), 0u) << field;
  }
}

TEST(CardCommandGate, LoggersWithoutCardSupportOrWithoutACardAreRefusedWithTheirOwnText) {
  {
    EmulatedRig rig("QN-730");
    EXPECT_EQ(PassCommandGate(rig.state, cmd::kMmcSdMemory), GateResult::Refused);
    ASSERT_FALSE(rig.ui.boxes.empty());
    EXPECT_EQ(rig.ui.boxes.back().text, "Error: Logger connected does not support the MMC/SD memory");
  }
  {
    // Supports a card but has none fitted (table 07 bit 0 clear).
    EmulatedRig rig;
    rig.profile().tables[7] = {0x04, 0, 0, 0};
    rig.profile().cardType.clear();
    EXPECT_EQ(PassCommandGate(rig.state, cmd::kMmcSdMemory), GateResult::Refused);
    ASSERT_FALSE(rig.ui.boxes.empty());
    EXPECT_EQ(rig.ui.boxes.back().text, "Error: Logger is not equiped with a MMC/SD memory");
  }
  {
    EmulatedRig rig;
    EXPECT_EQ(PassCommandGate(rig.state, cmd::kMmcSdMemory), GateResult::Pass);
  }
}

TEST(CardCommandGate, DialogDoesNotOpenOnALoggingLogger) {
  EmulatedRig rig;
  rig.profile().status = 1;  // enabled: logging starts later
  rig.profile().deployment.startTime = LoggerTime{2010, 6, 0, 8, 12, 0, 0, 0};
  MmcSdProc d;
  EXPECT_FALSE(d.Open(rig.state));
  // The refusal is the outcome, for the shell or the tool to show.
  EXPECT_EQ(d.result.kind, OutcomeKind::Refused);
  EXPECT_EQ(OutcomeText(d.result).rfind("Logging in progress or enabled.\nCannot access the MMC/SD card", 0), 0u);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_FALSE(d.open);
  // Nothing was asked of the card.
  for (const auto& c : rig.emulator.CommandLog()) EXPECT_NE(c.rfind("!G", 0), 0u) << c;
}

}  // namespace
}  // namespace tmv
