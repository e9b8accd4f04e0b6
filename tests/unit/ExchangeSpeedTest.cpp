// Exchanges end as soon as their reply is in, never by waiting out the
// read time-out; bytes of the next reply stay for the next read, and the
// faults of a misbehaving logger come out as they did.
#include <gtest/gtest.h>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"

using namespace tmv;
using tmv::test::EmulatedRig;
using tmv::test::ScriptedRig;

namespace {

const std::string kAckText(1, '\x06');
const std::string kNakText(1, '\x15');

struct Rig19200 : ScriptedRig {
  Rig19200() { EXPECT_TRUE(OpenAt(19200)); }
};

// 10 bits a byte at 19200 baud, in milliseconds, rounded up.
int64_t LineMs(size_t bytes) { return static_cast<int64_t>((bytes * 10 * 1000 + 19199) / 19200); }

}  // namespace

TEST(ReadUntil, ACompleteReplyEndsTheReadAndTheNextReplysBytesStay) {
  Rig19200 rig;
  rig.line.Send("100607153000CTD\r\nR0300", 7);
  const int64_t t0 = rig.clock.Milliseconds();
  uint8_t buf[121];
  EXPECT_EQ(LinkReadUntil(rig.state, rig.state.loggerLink, buf, 120, LineWith("CTD")), 17u);
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 7);
  EXPECT_EQ(buf[17], 0);
  EXPECT_EQ(LinkRead(rig.state, rig.state.loggerLink, buf, 5), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "R0300");
}

TEST(ReadUntil, AReplySplitAcrossArrivalsWaitsForItsRestWithinTheTimeOut) {
  Rig19200 rig;
  rig.line.OnParts("B", {{"1006071530", 0}, {"00CTD\r\n", 60}});
  const int64_t t0 = rig.clock.Milliseconds();
  ASSERT_EQ(QueryTagged(rig.state, "B", "CTD"), 1);
  EXPECT_EQ(rig.state.reply.Text(), "100607153000CTD\r\n");
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 60);
  EXPECT_EQ(rig.line.CountWrites("B"), 1);

  // A rest that comes after the time-out is not waited for.
  Rig19200 late;
  late.line.OnParts("B", {{"1006071530", 0}, {"00CTD\r\n", 300}}, 1);
  late.line.On("B", "100607153000CTD\r\n");
  ASSERT_EQ(QueryTagged(late.state, "B", "CTD"), 1);
  EXPECT_EQ(late.line.readCounts.front(), 10u);
}

TEST(ReadUntil, TableHeaderBlocksAndAcksEachEndWithTheirLastByte) {
  Rig19200 rig;
  std::string data;
  for (int i = 0; i < 16; ++i) data.push_back(static_cast<char>(i + 1));  // sum 136
  rig.line.On("R0400", "R040011", 3);
  rig.line.On(kAckText, data, 4, 1);
  rig.line.On(kAckText, std::string(1, static_cast<char>(165 - 136)), 5, 1);
  uint8_t dest[17 + 81];
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(ReadTable(rig.state, "R0400", dest, sizeof dest), 1);
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 3 + 4 + 5);

  rig.line.Send("F1" + kNakText, 2);
  const int64_t t1 = rig.clock.Milliseconds();
  EXPECT_EQ(WaitAck(rig.state), 0);
  EXPECT_EQ(rig.clock.Milliseconds() - t1, 2);
  EXPECT_EQ(rig.state.reply.Bytes(), "F1" + kNakText);  // the code in front of the NAK came with it
}

TEST(ReadUntil, AnEchoWithoutCountDigitsOrAnUnknownCommandAreNotTakenAsAHeader) {
  Rig19200 rig;
  rig.line.On("R0300", "R0300 Unknown command\r\nR0300");
  uint8_t dest[100];
  EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 0);
  EXPECT_EQ(rig.line.CountWrites(kAckText), 0);
  // The line ended the read; what followed it is left for the next one.
  EXPECT_EQ(rig.state.reply.Text(), "R0300 Unknown command\r\n");
}

TEST(ReadUntil, AReplyFollowedAtOnceByTheNextHeaderLeavesItForTheTableRead) {
  Rig19200 rig;
  rig.line.On("B", "100607153000CTD\r\nR0300");
  rig.line.On("R0300", "02");
  rig.line.On(kAckText, std::string{static_cast<char>(28), static_cast<char>(137)}, 0, 1);
  ASSERT_EQ(QueryTagged(rig.state, "B", "CTD"), 1);
  EXPECT_EQ(rig.state.reply.Text(), "100607153000CTD\r\n");
  uint8_t dest[100];
  EXPECT_EQ(ReadTable(rig.state, "R0300", dest, sizeof dest), 1);
  EXPECT_EQ(dest[0], 28);
}

TEST(ReadUntil, EmulatedExchangesTakeTheirLineTimeNotTheTimeOut) {
  EmulatedRig rig;
  int64_t t0 = rig.clock.Milliseconds();
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  // "A" out, "TMV QN-760 6.10 012345\r\n" back, and the logger's turnaround.
  EXPECT_LE(rig.clock.Milliseconds() - t0, LineMs(1 + 24) + 3);

  t0 = rig.clock.Milliseconds();
  ASSERT_EQ(CommGet(rig.state, 1), 1);
  EXPECT_LE(rig.clock.Milliseconds() - t0, LineMs(1 + 17) + 3);

  uint8_t table[256 + 81];
  size_t count = 0;
  t0 = rig.clock.Milliseconds();
  ASSERT_EQ(ReadTable(rig.state, "R0100", table, sizeof table, &count), 1);
  const size_t blocks = (count + 15) / 16;
  // Command, echo and count, then an ACK and a block each, and the last ACK.
  EXPECT_LE(rig.clock.Milliseconds() - t0, LineMs(5 + 7 + count + blocks + 1) + 3 * static_cast<int64_t>(blocks + 1));
}

TEST(ReadUntil, EmulatedFaultsComeOutAsBefore) {
  {
    EmulatedRig rig;  // silent: five attempts, each its whole time-out
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.faults().silent = true;
    const int64_t t0 = rig.clock.Milliseconds();
    EXPECT_EQ(CommGet(rig.state, 1), 0);
    EXPECT_EQ(rig.clock.Milliseconds() - t0, 5 * 140 + 4 * 500);
  }
  {
    EmulatedRig rig;  // junk in front: the values are still found behind it
    rig.profile().status = 5;
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.faults().junkBeforeReply = 5;
    EXPECT_EQ(CommGet(rig.state, 9), 1);
    EXPECT_EQ(rig.state.query.loggerStatus, 5);
  }
  {
    EmulatedRig rig;  // late: an attempt that heard nothing is asked again
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.faults().lateReplyMs = 300;
    EXPECT_EQ(CommGet(rig.state, 1), 1);
    EXPECT_GE(rig.state.reply.Find("CTD"), 12u);
  }
  {
    EmulatedRig rig;  // bad sum: the table is refused
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.faults().badChecksum = true;
    uint8_t table[256 + 81];
    EXPECT_EQ(ReadTable(rig.state, "R0100", table, sizeof table), 0);
  }
  {
    EmulatedRig rig;  // NAK: the write fails at once with its code in the reply
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.faults().nakWrites = true;
    rig.faults().nakCode = "F1";
    uint8_t data[2] = {28, 0};
    EXPECT_EQ(SendTable(rig.state, "S0300", 1, data), 0);
    const size_t nak = rig.state.reply.Find(kNakText);
    ASSERT_NE(nak, std::string_view::npos);
    ASSERT_GE(nak, 8u);
    EXPECT_EQ(rig.state.reply.Bytes().substr(nak - 8, 2), "F1");
  }
}
