// Replies are untrusted: random bytes, over-long replies, tags at the buffer
// edges and a misbehaving emulated logger must neither crash nor hang any
// exchange past its time-outs.
#include <gtest/gtest.h>

#include <random>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"

using namespace tmv;
using tmv::test::EmulatedRig;
using tmv::test::ScriptedLine;
using tmv::test::ScriptedRig;

namespace {

const int kCodes[] = {0, 1, 2, 3, 4, 6, 7, 9, 17, 20, 21, 26, 27, 28, 30, 31, 32, 33, 35, 36, 38, 39, 40};

// Runs every exchange once; returns the virtual time it took.
int64_t RunEverything(ScriptedRig& rig) {
  const int64_t t0 = rig.clock.Milliseconds();
  uint8_t table[256 + 81];
  QueryTagged(rig.state, "B", "CTD");
  ReadTable(rig.state, "R0100", table, sizeof table);
  uint8_t out[40] = {1, 2, 3};
  SendTable(rig.state, "S0100", 30, out);
  WaitAck(rig.state);
  uint8_t mem[300];
  ReadMemory(rig.state, 0x20000, 0x2001E, mem, 31);
  for (int code : kCodes) {
    CommGet(rig.state, code);
    EXPECT_LE(rig.state.reply.length, ReplyBuffer::kCapacity);
    EXPECT_EQ(rig.state.reply.bytes[rig.state.reply.length], 0) << code;
  }
  for (int table : {1, 3, 7, 8}) {
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    WriteTableVerified(rig.state, table, data, table == 3 ? 1 : 5);
  }
  return rig.clock.Milliseconds() - t0;
}

void Configure(ScriptedRig& rig, int variant) {
  LoggerInfo& l = rig.state.logger;
  l.microchipLogger = variant & 1;
  l.model = (variant & 2) ? "QN-760" : "KM-3170";
  l.commands12Level = (variant & 4) ? 2 : 0;
  l.rates124Hz = variant & 4;
  l.oemSupport = variant & 8;
  l.engineeringUnitsLevel = (variant & 8) ? 1 : 0;
  l.averaging = 1;
  l.conventionalThresholding = l.hysteresis = l.powerSaveThresholding = l.externalDataConnector = true;
  l.channelCount = 1 + variant % 24;
  l.latencyMs = 100;
  l.firmwareVersion = (variant & 1) ? 6.1f : 2.0f;
  rig.state.query.binaryOutput = variant & 16;
  rig.state.fetchWindow.employAveraging = variant & 32;
  rig.state.logger.parameterBlockLength = (variant & 64) ? 255 : 30;
}

}  // namespace

TEST(ExchangeRobustness, RandomRepliesNeverCrashNorOverrunNorHang) {
  for (int seed = 0; seed < 96; ++seed) {
    ScriptedRig rig;
    ASSERT_TRUE(rig.OpenAt(19200));
    Configure(rig, seed);
    std::mt19937 rng(static_cast<unsigned>(seed));
    const char alphabet[] = "0123456789ABCDEF TMVCTDLoggerstatusBusyFET\r\n\x06\x15";
    rig.line.responder = [&rng, &alphabet, seed](ScriptedLine& line, const std::string&) {
      std::uniform_int_distribution<int> len(0, seed % 3 == 0 ? 3000 : 140);
      std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2);
      std::uniform_int_distribution<int> any(0, 255);
      std::string reply;
      const int n = len(rng);
      for (int i = 0; i < n; ++i)
        reply.push_back(seed % 2 ? alphabet[pick(rng)] : static_cast<char>(any(rng)));
      line.Send(reply, static_cast<int>(rng() % 400));
    };
    const int64_t spent = RunEverything(rig);
    // Every exchange is bounded by its retries and time-outs.
    EXPECT_LT(spent, 10 * 60 * 1000) << seed;
  }
}

TEST(ExchangeRobustness, TagsAtTheVeryStartAndEndOfTheReply) {
  const char* tags[] = {"CTD", "CSP", "CST", "CET", "CDP", "Logger", "BST", "BAT", "WIN", "STC",
                        "RAT",  "WAV", "LHT", "THR", "BAU", "PSP",    "HYS", "FET", "TMV", "R0100"};
  for (const char* tag : tags) {
    for (int where = 0; where < 3; ++where) {
      ScriptedRig rig;
      ASSERT_TRUE(rig.OpenAt(19200));
      Configure(rig, where == 2 ? 127 : 1);
      std::string reply = tag;
      if (where == 1) reply = std::string(120 - reply.size(), '9') + reply;   // last bytes of a full read
      if (where == 2) reply = std::string(2048, 'F') + reply;                 // past what anyone reads
      rig.line.responder = [reply](ScriptedLine& line, const std::string&) { line.Send(reply); };
      RunEverything(rig);
    }
  }
}

TEST(ExchangeRobustness, ConnectingToGarbageFailsInBoundedTime) {
  for (int seed = 0; seed < 24; ++seed) {
    ScriptedRig rig;
    std::mt19937 rng(static_cast<unsigned>(seed));
    rig.line.responder = [&rng, seed](ScriptedLine& line, const std::string&) {
      std::string reply;
      const int n = static_cast<int>(rng() % 400);
      for (int i = 0; i < n; ++i) reply.push_back(static_cast<char>(rng() % 256));
      if (seed % 4 == 0) reply += "TMV";                        // the maker word and nothing after it
      if (seed % 4 == 1) reply += "TMV " + std::string(200, 'Q');  // a model word past the read
      line.Send(reply);
    };
    const int64_t t0 = rig.clock.Milliseconds();
    ConnectLogger(rig.state);
    // A reply that ends in a cut-off identity has the rest of it waited for
    // (at most 600 ms an attempt, twelve attempts); anything else fails as
    // quickly as a silent line.
    const bool cutOffIdentity = seed % 4 <= 1;
    EXPECT_LE(rig.clock.Milliseconds() - t0, cutOffIdentity ? 5300 + 12 * 700 : 5300) << seed;
    EXPECT_FALSE(rig.state.logger.connected) << seed;
    EXPECT_LE(rig.state.logger.model.size(), 63u);
  }
}

TEST(ExchangeRobustness, EmulatedLoggerFaultsAreSurvived) {
  for (int fault = 0; fault < 6; ++fault) {
    EmulatedRig rig;
    auto& f = rig.faults();
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    switch (fault) {
      case 0: f.silent = true; break;
      case 1: f.junkBeforeReply = 7; break;
      case 2: f.splitReplies = true; break;
      case 3: f.lateReplyMs = 700; break;
      case 4: f.badChecksum = true; break;
      case 5: f.nakWrites = true; f.nakCode = "F1"; break;
    }
    const int64_t t0 = rig.clock.Milliseconds();
    for (int code : kCodes) {
      if (code == 0 || code == 39) continue;  // reconnecting is tested on its own
      CommGet(rig.state, code);
    }
    uint8_t table[256 + 81];
    ReadTable(rig.state, "R0100", table, sizeof table);
    const uint8_t data[1] = {28};
    WriteTableVerified(rig.state, 3, data, 1);
    EXPECT_LT(rig.clock.Milliseconds() - t0, 5 * 60 * 1000) << fault;
  }
}

TEST(ExchangeRobustness, JunkInFrontOfRepliesDoesNotShiftTheValues) {
  EmulatedRig clean, junk;
  for (EmulatedRig* rig : {&clean, &junk}) {
    rig->profile().status = 5;
    ASSERT_EQ(ConnectLogger(rig->state), 1);
    rig->state.logger.commands12Level = 2;
    rig->state.logger.oemSupport = true;
  }
  junk.faults().junkBeforeReply = 5;
  for (EmulatedRig* rig : {&clean, &junk}) {
    ASSERT_EQ(CommGet(rig->state, 9), 1);
    ASSERT_EQ(CommGet(rig->state, 28), 1);
  }
  EXPECT_EQ(junk.state.query.loggerStatus, 5);
  EXPECT_EQ(junk.state.query.statusByte, clean.state.query.statusByte);
  EXPECT_EQ(junk.state.query.optionByte, clean.state.query.optionByte);
}
