// The command exchange, byte for byte against a scripted logger.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "link/Exchange.h"
#include "shell/Catalogue.h"
#include "support/ScriptedPort.h"

using namespace tmv;
using tmv::test::ScriptedRig;

namespace {

const std::string kAckText(1, '\x06');
const std::string kNakText(1, '\x15');

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

struct ExchangeRig : ScriptedRig {
  ExchangeRig() { EXPECT_TRUE(OpenAt(19200)); }
};

}  // namespace

TEST(ReadTable, EmptyTableGivesMinusOneAfterOneAck) {
  ExchangeRig rig;
  rig.line.On("R0300", "R030000");
  uint8_t dest[300];
  EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), -1);
  EXPECT_EQ(rig.line.writes, (std::vector<std::string>{"R0300", kAckText}));
}

TEST(ReadTable, SeventeenBytesComeAsBlocksOfSixteenAndOneEachAcknowledged) {
  ExchangeRig rig;
  std::string data;
  for (int i = 0; i < 16; ++i) data.push_back(static_cast<char>(i + 1));  // sum 136
  const std::string checksum = Bytes({165 - 136});
  rig.line.On("R0400", "R040011");
  rig.line.On(kAckText, data, 0, 1);
  rig.line.On(kAckText, checksum, 0, 1);
  uint8_t dest[17 + 81];
  size_t count = 0;
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(ReadTable(rig.state, "R0400", dest, sizeof dest, &count), 1);
  EXPECT_EQ(count, 17u);
  EXPECT_EQ(rig.line.writes, (std::vector<std::string>{"R0400", kAckText, kAckText, kAckText}));
  EXPECT_EQ(std::memcmp(dest, data.data(), 16), 0);
  EXPECT_EQ(dest[16], 29);
  // Each read asks for 80 bytes but ends with its block, which is here at once.
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 0);
}

TEST(ReadTable, RejectsBadSumsWrongBlocksRefusalsAndEchoesWithoutCount) {
  {
    ExchangeRig rig;  // checksum off by one
    rig.line.On("R0300", "R030002");
    rig.line.On(kAckText, Bytes({28, 138}), 0, 1);
    uint8_t dest[100];
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
  }
  {
    ExchangeRig rig;  // a block longer than announced
    rig.line.On("R0300", "R030002");
    rig.line.On(kAckText, Bytes({28, 137, 5}), 0, 1);
    uint8_t dest[100];
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
  }
  {
    ExchangeRig rig;
    rig.line.On("R0300", "R0300 Unknown command");
    uint8_t dest[100];
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
    EXPECT_EQ(rig.line.CountWrites(kAckText), 0);
  }
  {
    ExchangeRig rig;  // echo at the very end: the count would lie past the reply
    rig.line.On("R0300", "junk junk R0300");
    uint8_t dest[100];
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
    rig.line.rules.clear();
    rig.line.On("R0300", "R03005");
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
    rig.line.rules.clear();
    rig.line.On("R0300", "R0300zz");
    EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
  }
  {
    ExchangeRig rig;  // a table longer than the caller's buffer is refused, not written past it
    rig.line.On("R0100", "R0100FF");
    uint8_t dest[40];
    EXPECT_EQ(ReadTable(rig.state, "R0100", dest, sizeof dest), 0);
  }
}

TEST(SendTable, DefaultBaudTableGoesOutWithCountAndChecksum) {
  ExchangeRig rig;
  rig.line.On("S030002", kAckText);
  rig.line.On(Bytes({28, 137}), kAckText);
  uint8_t data[2] = {28, 0};
  EXPECT_EQ(SendTable(rig.state, "S0300", 1, data), 1);
  EXPECT_EQ(data[1], 137);
  EXPECT_EQ(rig.line.writes, (std::vector<std::string>{"S030002", Bytes({28, 137})}));
}

TEST(SendTable, LongTablesGoInBlocksOfSixteenAndNakStopsAtOnce) {
  ExchangeRig rig;
  rig.line.responder = [](test::ScriptedLine& l, const std::string&) { l.Send(kAckText); };
  uint8_t data[21] = {};
  for (int i = 0; i < 20; ++i) data[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(SendTable(rig.state, "S0100", 20, data), 1);
  ASSERT_EQ(rig.line.writes.size(), 3u);
  EXPECT_EQ(rig.line.writes[0], "S010015");
  EXPECT_EQ(rig.line.writes[1].size(), 16u);
  EXPECT_EQ(rig.line.writes[2].size(), 5u);
  EXPECT_EQ(Sum8(data, 21), 165);

  ExchangeRig nak;
  nak.line.On("S010015", kAckText);
  nak.line.responder = [](test::ScriptedLine& l, const std::string& w) {
    if (w.size() == 16) l.Send("F1" + kNakText);
  };
  EXPECT_EQ(SendTable(nak.state, "S0100", 20, data), 0);
  EXPECT_EQ(nak.line.writes.size(), 2u);
  EXPECT_EQ(nak.state.reply.Bytes(), "F1" + kNakText);  // left for the error decoding
}

TEST(WaitAck, FiveEmptyReadsFailAndAckBeatsNak) {
  ExchangeRig rig;
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(WaitAck(rig.state), 0);
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 5 * (300 + 20));
  rig.line.Send("xx" + kNakText + kAckText);
  EXPECT_EQ(WaitAck(rig.state), 1);
  rig.line.Send("noise");
  rig.line.Send(kNakText, 1000);
  EXPECT_EQ(WaitAck(rig.state), 0);
  EXPECT_EQ(rig.line.readStarts.size(), 5u + 1u + 4u);
}

TEST(QueryTagged, FailureLeavesTheZeroReplyAfterFiveAttemptsHalfASecondApart) {
  ExchangeRig rig;
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(QueryTagged(rig.state, "B", "CTD"), 0);
  EXPECT_EQ(rig.line.CountWrites("B"), 5);
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 5 * 140 + 4 * 500);
  EXPECT_EQ(rig.state.reply.Text(), "000101000000");

  // A reply of 50 characters or more is not taken, even with its tag.
  ExchangeRig longReply;
  longReply.line.On("B", std::string(40, '0') + "100607153000CTD", 0, 1);
  longReply.line.On("B", "100607153000CTD");
  EXPECT_EQ(QueryTagged(longReply.state, "B", "CTD"), 1);
  EXPECT_EQ(longReply.line.CountWrites("B"), 2);
}

TEST(QueryTagged, TagOfASplitReplyIsFoundOnTheNextAttempt) {
  ExchangeRig rig;
  rig.state.logger.microchipLogger = true;
  // The first answer comes in two parts, the second long after the read ended.
  rig.line.OnParts("T", {{"Logger st", 0}, {"atus 02", 300}}, 1);
  rig.line.On("T", "Logger status 0201");
  EXPECT_EQ(CommGet(rig.state, 9), 1);
  EXPECT_EQ(rig.line.CountWrites("T"), 2);
  EXPECT_EQ(rig.state.reply.Text(), "atus 02Logger status 0201");
  EXPECT_EQ(rig.state.query.loggerStatus, 2);

  // A clock reply cut in front of its tag is asked for again, not read as a time.
  ExchangeRig cut;
  cut.line.OnParts("B", {{"1006071", 0}, {"53000CTD", 300}}, 1);
  cut.line.On("B", "100607153000CTD");
  // Second attempt: the late "53000CTD" comes first and still lacks its digits.
  EXPECT_EQ(CommGet(cut.state, 1), 1);
  EXPECT_EQ(cut.line.CountWrites("B"), 3);
  EXPECT_EQ(cut.state.reply.Text(), "100607153000CTD");

  // The memory pointer likewise: a cut pointer would end a download early.
  ExchangeRig pointer;
  pointer.line.OnParts("G", {{"0010", 0}, {"0000CDP", 300}}, 1);
  pointer.line.On("G", "00100000CDP");
  EXPECT_EQ(CommGet(pointer.state, 6), 1);
  EXPECT_EQ(pointer.line.CountWrites("G"), 3);
  EXPECT_EQ(pointer.state.reply.Text(), "00100000CDP");
}

TEST(CommGetStatus, CodesMapToTheStatusTable) {
  struct Case {
    bool microchip;
    const char* reply;
    int status;
  } cases[] = {
      {true, "Logger status 7F", 7},   {true, "Logger status 0402", 8}, {true, "Logger status 0401", 4},
      {true, "Logger status 08", 8},   {true, "Logger status 0600", 6}, {false, "Logger status 08", 7},
      {false, "Logger status 05", 5},  {false, "Logger status 7F", 7},  {false, "xxLogger status 02", 2},
  };
  for (const auto& c : cases) {
    ExchangeRig rig;
    rig.state.logger.microchipLogger = c.microchip;
    rig.line.On("T", c.reply);
    EXPECT_EQ(CommGet(rig.state, 9), 1) << c.reply;
    EXPECT_EQ(rig.state.query.loggerStatus, c.status) << c.reply;
  }
  EXPECT_STREQ(LoggerStatusText(7), "Memory Error");
  EXPECT_STREQ(LoggerStatusText(8), "Logging Stopped by User");
  EXPECT_STREQ(LoggerStatusText(2), "Logging");

  ExchangeRig silent;
  silent.state.query.loggerStatus = 2;
  EXPECT_EQ(CommGet(silent.state, 9), 0);
  EXPECT_EQ(silent.state.query.loggerStatus, 2);
}

TEST(CommGetDeployment, AveragingWavesHeightRateAndStartCharacteristic) {
  ExchangeRig rig;
  rig.state.logger.averaging = 1;
  // The length comes back as "W" sent it, low byte first.
  rig.line.On("X", "1000BST", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 17), 1);
  EXPECT_EQ(rig.state.deployment.averagingLength, 16);
  EXPECT_TRUE(rig.state.deployment.averagingEnabled);
  rig.line.On("X", "21FDBST", 0, 1);  // 64801: too long
  CommGet(rig.state, 17);
  EXPECT_EQ(rig.state.deployment.averagingLength, 1);
  EXPECT_FALSE(rig.state.deployment.averagingEnabled);
  rig.state.logger.averaging = 0;  // no capability: never on
  rig.line.On("X", "0010BST", 0, 1);
  CommGet(rig.state, 17);
  EXPECT_FALSE(rig.state.deployment.averagingEnabled);

  rig.line.On("!7", "B80B010000WAV", 0, 1);  // 3000 is not a wave burst length
  rig.state.deployment.waveEnabled = true;
  EXPECT_EQ(CommGet(rig.state, 31), 1);
  EXPECT_FALSE(rig.state.deployment.waveEnabled);
  EXPECT_EQ(rig.state.deployment.burstSamples, 0);
  rig.line.On("!7", "0008013000WAV", 0, 1);  // 2048, low byte first as "!6" sent it
  CommGet(rig.state, 31);
  EXPECT_TRUE(rig.state.deployment.waveEnabled);
  EXPECT_EQ(rig.state.deployment.burstSamples, 2048);
  EXPECT_EQ(rig.state.deployment.burstPeriod.hour, 1);
  EXPECT_EQ(rig.state.deployment.burstPeriod.minute, 30);

  // 2.5 m as a little-endian double: 00 00 00 00 00 00 04 40.
  rig.line.On("!Z", "0000000000000440LHT", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 32), 1);
  EXPECT_DOUBLE_EQ(rig.state.deployment.loggerHeight, 2.5);
  rig.line.On("!Z", "000000000000F07FLHT", 0, 1);  // infinity is refused
  EXPECT_EQ(CommGet(rig.state, 32), 0);
  EXPECT_DOUBLE_EQ(rig.state.deployment.loggerHeight, 2.5);

  EXPECT_EQ(CommGet(rig.state, 30), 0);  // no 1/2/4 Hz capability: nothing asked
  rig.state.logger.rates124Hz = true;
  rig.line.On("!5", "02RAT", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 30), 1);
  EXPECT_EQ(rig.state.deployment.burstRate, 2);

  EXPECT_EQ(CommGet(rig.state, 28), 0);  // no "!12 commands"
  rig.state.logger.commands12Level = 1;
  rig.state.logger.sixHzProfiling = true;
  rig.state.logger.oemSupport = true;
  rig.state.logger.engineeringUnitsLevel = 1;
  rig.line.On("!2", "E10FSTC", 0, 1);  // 128 + 64 + 32 + 1; option bits 0..3
  EXPECT_EQ(CommGet(rig.state, 28), 1);
  EXPECT_TRUE(rig.state.deployment.powerKeptOn);
  EXPECT_TRUE(rig.state.deployment.sixHzMode);
  EXPECT_EQ(rig.state.deployment.realTimeOutput, 1);
  EXPECT_EQ(rig.state.query.statusByte, 1);
  // No connectors and "!12" level 1: only the engineering-units bit survives.
  EXPECT_EQ(rig.state.query.optionByte, 0x04);
  EXPECT_EQ(rig.ui.units, UnitsIndicator::EngineeringUnits);
}

TEST(CommGetMisc, BatteryMinimumVersionMemoryTestAndUnknownCodes) {
  ExchangeRig rig;
  rig.state.logger.firmwareVersion = 6.1f;
  rig.line.On("!D", "xx9CBAT\r\n", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 21), 1);
  EXPECT_NEAR(rig.state.query.batteryVolts, 0x9C * 0.0816485 + 0.25417, 1e-9);
  rig.line.On("!D", "BAT", 0, 1);  // tag at the very start: no code
  EXPECT_EQ(CommGet(rig.state, 21), 0);
  EXPECT_NEAR(rig.state.query.batteryVolts, 0.25417, 1e-9);
  rig.state.logger.firmwareVersion = 2.1f;  // older: the first two characters
  rig.line.On("!D", "A0", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 21), 1);
  EXPECT_NEAR(rig.state.query.batteryVolts, 0xA0 * 0.0816485 + 0.25417, 1e-9);

  rig.line.On("!W", "6.05WIN", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 27), 1);
  EXPECT_FLOAT_EQ(rig.state.logger.minimumProgramVersion, 6.05f);
  EXPECT_TRUE(rig.state.logger.minimumProgramVersionValid);

  rig.line.On("!T00", "0102", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 33), 1);
  EXPECT_EQ(rig.line.writes[rig.line.writes.size() - 2], "!U02!T");

  EXPECT_EQ(CommGet(rig.state, 5), 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "Unknown CommGet command");
  EXPECT_EQ(rig.ui.boxes[0].caption, "DEBUG");

  // Erase check: Microchip only; neither reply marks the progress past complete.
  EXPECT_EQ(CommGet(rig.state, 26), 0);
  rig.state.logger.microchipLogger = true;
  rig.line.On("T", "Logger status 7F", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 26), 0);
  rig.line.On("T", "Logger status 00", 0, 1);
  EXPECT_EQ(CommGet(rig.state, 26), 1);
  EXPECT_EQ(CommGet(rig.state, 26), 0);
  EXPECT_EQ(rig.state.query.progressValue, 101);
}

TEST(CommGetFetch, PollCollectsBusyAndOverflow) {
  ExchangeRig rig;
  rig.state.logger.model = "QN-760";
  rig.state.logger.channelCount = 2;
  rig.state.logger.latencyMs = 1200;
  rig.state.logger.readingTimeMs = 300;
  rig.state.query.repeatFetchMarked = false;
  rig.line.On("A", "TMV QN-760 6.10 012345");
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  EXPECT_EQ(rig.line.writes.back(), "F00");
  EXPECT_EQ(rig.state.query.fetchExpectedLength, 3 * 2 + 13);
  EXPECT_EQ(rig.state.query.fetchPollCount, 2 + 3);
  EXPECT_EQ(rig.state.fetchWindow.progressMax, 5);

  rig.line.Send(std::string(10, 'x'));
  EXPECT_EQ(CommGet(rig.state, 40), 0);
  EXPECT_EQ(rig.state.query.fetchAccumulatedLength, 10);
  rig.line.Send("..Busy..");
  EXPECT_EQ(CommGet(rig.state, 40), 1);
  EXPECT_EQ(rig.state.query.fetchAccumulatedLength, 0);
  rig.line.Send(std::string(19, 'y'));
  EXPECT_EQ(CommGet(rig.state, 40), 1);
  EXPECT_EQ(rig.state.reply.length, 19u);

  // Bytes that never complete a reply cannot fill the buffer past its end.
  rig.state.query.fetchAccumulatedLength = 0;
  for (int i = 0; i < 20; ++i) {
    rig.line.Send(std::string(18, 'z'));
    EXPECT_EQ(CommGet(rig.state, 40), 0);
    EXPECT_LE(rig.state.query.fetchAccumulatedLength, 2043);
  }

  // A repeat within ten seconds of link use sends nothing.
  rig.state.query.repeatFetchMarked = true;
  const size_t writes = rig.line.writes.size();
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  EXPECT_EQ(rig.line.writes.size(), writes);

  // A logger that does not answer: the dialog's text says so.
  ExchangeRig silent;
  EXPECT_EQ(CommGet(silent.state, 39), 1);
  EXPECT_EQ(silent.state.fetchWindow.text, "Unable to communicate with logger");
}

TEST(CommGetFetch, EmployedAveragingSetsTheLengthFromTheAveragingPeriodThenFetches) {
  ExchangeRig rig;
  rig.line.On("A", "TMV QN-760 6.10 012345");
  LoggerInfo& l = rig.state.logger;
  l.averaging = 1;
  l.latencyMs = 1200;
  l.readingTimeMs = 300;
  DeploymentSettings& d = rig.state.deployment;
  rig.state.fetchWindow.employAveraging = true;
  // The logger holds 60 readings ("3C00", low byte first as "W" sent them).
  rig.line.On("X", "3C00BST", 0, 1);
  ASSERT_EQ(CommGet(rig.state, 17), 1);
  ASSERT_EQ(d.averagingLength, 60);
  d.averagingPeriod = 10;  // seconds, six readings each
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  ASSERT_GE(rig.line.writes.size(), 2u);
  const size_t n = rig.line.writes.size();
  EXPECT_EQ(rig.line.writes[n - 2], "W3C00");
  EXPECT_EQ(rig.line.writes[n - 1], "FAB");
  EXPECT_GE(rig.line.writeTimes[n - 1] - rig.line.writeTimes[n - 2], 50);
  EXPECT_EQ(rig.state.query.fetchPollCount, 2 + 3 + 60);

  // A 1/2/4 Hz logger averages at its burst rate.
  l.rates124Hz = true;
  d.burstRate = 4;
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  EXPECT_EQ(rig.line.writes[rig.line.writes.size() - 2], "W2800");

  // Averaging off: "W0100", and nothing at all to a newer logger that cannot average.
  d.averagingEnabled = false;
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  EXPECT_EQ(rig.line.writes[rig.line.writes.size() - 2], "W0100");
  EXPECT_EQ(rig.state.query.fetchPollCount, 2 + 3);
  l.averaging = 0;
  EXPECT_EQ(CommGet(rig.state, 39), 1);
  EXPECT_EQ(rig.line.writes[rig.line.writes.size() - 2], "A");
  EXPECT_EQ(rig.line.writes.back(), "FAB");
}

TEST(CommGetFetch, BlockingFetchWaitsForTheReadingAndCutsTextLineEnds) {
  ExchangeRig rig;
  rig.state.logger.model = "KM-3170";
  rig.state.logger.latencyMs = 100;
  rig.line.On("F", "123456\r\n", 50);
  const int64_t t0 = rig.clock.Milliseconds();
  rig.state.query.binaryOutput = false;
  EXPECT_EQ(CommGet(rig.state, 7), 1);
  EXPECT_EQ(rig.state.reply.Text(), "123456");
  EXPECT_GE(rig.line.readStarts.front() - t0, 100);

  ExchangeRig none;
  none.state.logger.model = "QN-760";
  none.state.logger.channelCount = 3;
  none.line.On("F00", std::string(200, 'q'));  // never between 1 and E bytes
  EXPECT_EQ(CommGet(none.state, 7), 0);
  EXPECT_EQ(none.line.readStarts.size(), 10u);
}

TEST(MemoryRead, AddressesGoEndFirstLeastSignificantByteFirst) {
  EXPECT_EQ(MemoryReadCommand(0x0001FFC9, 0x00020000), "I00000200C9FF0100");
  EXPECT_EQ(MemoryReadCommand(0x00020000, 0x0002001E), "I1E00020000000200");
}

TEST(CommGetParameterBlock, OlderLoggerChecksTheSumAndTakesTheLastTry) {
  ExchangeRig rig;
  std::string block(30, '\x01');
  const std::string good = block + Bytes({30});
  const std::string bad = block + Bytes({31});
  rig.line.On("I1E00020000000200", bad, 0, 4);
  rig.line.On("I1E00020000000200", good, 0, 1);
  EXPECT_EQ(CommGet(rig.state, 20), 1);
  EXPECT_EQ(rig.line.CountWrites("I1E00020000000200"), 5);
  EXPECT_EQ(rig.state.reply.length, 31u);
  EXPECT_TRUE(rig.ui.boxes.empty());

  ExchangeRig never;
  never.line.On("I1E00020000000200", bad);
  EXPECT_EQ(CommGet(never.state, 20), 0);
  ASSERT_EQ(never.ui.boxes.size(), 1u);
  EXPECT_EQ(never.ui.boxes[0].text, "Unable to verify logging parameters");
  EXPECT_EQ(never.ui.boxes[0].caption, "Get QN-730 Parameters");
}

TEST(CommGetParameterBlock, MicrochipBlockIsComposedAndSummed) {
  ExchangeRig rig;
  LoggerInfo& l = rig.state.logger;
  l.microchipLogger = true;
  l.conventionalThresholding = true;
  l.averaging = 1;
  l.hysteresis = true;
  l.parameterBlockLength = 32;
  rig.line.On("!L", "0102030405060708THR");
  rig.line.On("X", "0010BST");
  rig.line.On("!O", "0A0BHYS");
  EXPECT_EQ(CommGet(rig.state, 20), 1);
  const uint8_t* b = rig.state.reply.Data();
  ASSERT_EQ(rig.state.reply.length, 32u);
  EXPECT_EQ(b[15], 1);  // no "!12 commands": the start byte is the threshold's own
  EXPECT_EQ(b[22], 8);
  EXPECT_EQ(b[23], 0x00);
  EXPECT_EQ(b[24], 0x10);
  EXPECT_EQ(b[29], 0x0A);
  EXPECT_EQ(b[30], 0x0B);
  EXPECT_EQ(Sum8(b, 32), 165);  // the checksum takes byte L-1
}

TEST(WriteTableVerified, MessagesOfEachOutcome) {
  auto scriptTable = [](test::ScriptedLine& line, const std::string& table, const std::string& readBack) {
    line.On("S" + table + "00" + Format("%02X", static_cast<unsigned>(readBack.size())), kAckText);
    line.responder = [](test::ScriptedLine& l, const std::string& w) {
      if (w.size() <= 16 && w[0] != 'S' && w[0] != 'R' && w != kAckText) l.Send(kAckText);
    };
    line.On("R" + table + "00", "R" + table + "00" + Format("%02X", static_cast<unsigned>(readBack.size())));
    line.On(kAckText, readBack, 0, 1);
  };
  {
    ExchangeRig rig;  // table 03: a different byte is a retrieve error
    scriptTable(rig.line, "03", Bytes({30, 135}));
    const uint8_t data[1] = {28};
    EXPECT_EQ(WriteTableVerified(rig.state, 3, data, 1), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Default baudrate retrieve error");
  }
  {
    ExchangeRig rig;
    scriptTable(rig.line, "03", Bytes({28, 137}));
    const uint8_t data[1] = {28};
    EXPECT_EQ(WriteTableVerified(rig.state, 3, data, 1), 1);
    EXPECT_EQ(rig.ui.LastStatus(), "Default baudrate write success");
  }
  {
    ExchangeRig rig;  // table 08 reports in a box
    const uint8_t data[5] = {10, 0, 20, 0, 1};
    EXPECT_EQ(WriteTableVerified(rig.state, 8, data, 5), 0);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text, "ERROR #10 Modem configuration send error.");
    EXPECT_EQ(rig.ui.boxes[0].caption, "Configuration");
    EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Stop);
  }
  {
    ExchangeRig rig;  // table 01 with a different byte read back
    scriptTable(rig.line, "01", Bytes({1, 2, 3, 159}));
    const uint8_t data[3] = {1, 2, 4};
    EXPECT_EQ(WriteTableVerified(rig.state, 1, data, 3), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Configuration table compare error");
  }
}
