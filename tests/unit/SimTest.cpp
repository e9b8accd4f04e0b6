// The emulated logger's own protocol, spoken with raw bytes through its
// serial port on the virtual clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/LoggerEmulator.h"

namespace tmv::sim {
namespace {

constexpr char kAck = 0x06, kNak = 0x15;

struct Wire {
  explicit Wire(const std::string& profile = "QN-760", int baud = 19200)
      : emulator(ProfileByName(profile)), serial(emulator, clock) {
    LineSettings s;
    s.baud = baud;
    s.readMultiplierMs = baud >= 19200 ? 1 : (10000 + baud - 1) / baud;
    port = serial.Open("/dev/ttyTMV0", s);
  }
  void Send(const std::string& text) {
    port->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  std::string Read(size_t max) {
    std::string buffer(max, '\0');
    const size_t n = port->Read(reinterpret_cast<uint8_t*>(buffer.data()), max);
    buffer.resize(n);
    return buffer;
  }
  std::string Ask(const std::string& text, size_t max = 120) {
    Send(text);
    return Read(max);
  }
  void SetBaud(int baud) {
    LineSettings s = port->Current();
    s.baud = baud;
    port->Apply(s);
  }

  VirtualClock clock;
  LoggerEmulator emulator;
  EmulatedSerialSystem serial;
  std::unique_ptr<SerialPort> port;
};

uint8_t Sum(const std::string& s) {
  unsigned sum = 0;
  for (unsigned char c : s) sum += c;
  return static_cast<uint8_t>(sum);
}

TEST(SimIdentity, AnswersTheWakeUpWithItsIdentity) {
  Wire w;
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  Wire km("KM-3170");
  km.emulator.profile().identityPrefix = "\r\n";
  EXPECT_EQ(km.Ask("A"), "\r\nTMV KM-3170 2.50 031700\r\n");
}

TEST(SimIdentity, ReadReturnsAsSoonAsTheBytesAskedForAreDue) {
  Wire w;
  const int64_t start = w.clock.Milliseconds();
  EXPECT_EQ(w.Ask("A", 6), "TMV QN");
  EXPECT_LT(w.clock.Milliseconds() - start, 10);
  // The rest waits in the port for the next read.
  EXPECT_EQ(w.Read(120), "-760 6.10 012345\r\n");
}

TEST(SimIdentity, AnEmptyReadLastsTheWholeTimeOut) {
  Wire w;
  const int64_t start = w.clock.Milliseconds();
  EXPECT_EQ(w.Read(120), "");
  EXPECT_EQ(w.clock.Milliseconds() - start, 140);  // 1 ms x 120 + 20 ms
}

TEST(SimBaud, HearsOnlyAtItsOwnRate) {
  Wire w("QN-760", 1200);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(9600);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  // Nothing half-heard at the wrong rate completes a later command.
  w.SetBaud(2400);
  w.Send("R01");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("00"), "Unknown command\r\n");
}

TEST(SimBaud, SpeedChangeMovesTheLoggerToTheNewRate) {
  Wire w;
  w.Send("!E01");  // 115200
  w.clock.Advance(200);
  EXPECT_EQ(w.emulator.Baud(), 115200);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(115200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  w.Send("!E03");
  w.SetBaud(57600);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  w.Send("!E0D");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
}


// Reads a table with the ACK protocol; returns the data and checksum bytes,
// and the blocks as they came.
std::string ReadTable(Wire& w, const std::string& command, std::vector<size_t>* blocks = nullptr) {
  const std::string head = w.Ask(command, 80);
  if (head.rfind(command, 0) != 0 || head.size() != command.size() + 2) return "?" + head;
  const size_t count = std::stoul(head.substr(command.size()), nullptr, 16);
  std::string data;
  w.Send(std::string(1, kAck));
  while (data.size() < count) {
    const std::string block = w.Read(80);
    if (block.empty()) break;
    if (blocks) blocks->push_back(block.size());
    data += block;
    w.Send(std::string(1, kAck));
  }
  return data;
}

// Writes a table: the command with its count, then blocks of 16 awaiting an ACK each.
std::string WriteTable(Wire& w, const std::string& command, std::string data, bool goodSum = true) {
  data.push_back(static_cast<char>(165 - Sum(data) + (goodSum ? 0 : 1)));
  char count[4];
  std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>(data.size()));
  std::string replies = w.Ask(command + count, 300);
  for (size_t at = 0; at < data.size(); at += 16) {
    w.Send(data.substr(at, 16));
    replies += w.Read(300);
  }
  return replies;
}

TEST(SimTables, ReadsInBlocksOfSixteenEachAfterAnAck) {
  Wire w;
  // Nothing but the echo and the count until the host acknowledges.
  EXPECT_EQ(w.Ask("R0200", 80), "R020021");
  EXPECT_EQ(w.Read(80), "");
  std::vector<size_t> blocks;
  w.Send(std::string(1, kAck));
  std::string data = w.Read(80);
  blocks.push_back(data.size());
  EXPECT_EQ(w.Read(80), "");  // the next block waits for the next ACK
  for (int i = 0; i < 2; ++i) {
    w.Send(std::string(1, kAck));
    const std::string block = w.Read(80);
    blocks.push_back(block.size());
    data += block;
  }
  EXPECT_EQ(blocks, (std::vector<size_t>{16, 16, 1}));
  EXPECT_EQ(Sum(data), 165);
  EXPECT_EQ(data.substr(0, 4), std::string("\xFF\xFF\x6C\x00", 4));  // capability word 0, with card support
}

TEST(SimTables, EmptyAndUnknownTables) {
  Wire w;
  w.emulator.profile().tables.erase(3);
  EXPECT_EQ(w.Ask("R0300", 80), "R030000");
  w.Send(std::string(1, kAck));  // the host's ACK after an empty table is not an error
  EXPECT_EQ(w.Ask("R0900", 80), "Unknown command\r\n");
  Wire old("QN-730");
  EXPECT_EQ(old.Ask("R0100", 80), "Unknown command\r\n");
}

TEST(SimTables, WriteThenReadReturnsWhatWasWritten) {
  Wire w;
  EXPECT_EQ(WriteTable(w, "S0300", std::string(1, 28)), std::string(2, kAck));
  EXPECT_EQ(w.emulator.CommandLog().back(), "S030002");
  EXPECT_EQ(ReadTable(w, "R0300"), std::string("\x1C\x89", 2));  // 28 + 137 = 165

  // 33 bytes go as 16, 16 and 2, each acknowledged.
  std::string correction(33, '\0');
  correction[0] = 2;
  correction[9] = 0x40;
  EXPECT_EQ(WriteTable(w, "S0600", correction), std::string(4, kAck));
  std::vector<size_t> blocks;
  const std::string back = ReadTable(w, "R0600", &blocks);
  EXPECT_EQ(back.substr(0, 33), correction);
  EXPECT_EQ(blocks, (std::vector<size_t>{16, 16, 2}));
}

TEST(SimTables, BadChecksumIsRefusedAndNothingStored) {
  Wire w;
  const std::string before = ReadTable(w, "R0300");
  const std::string replies = WriteTable(w, "S0300", std::string(1, 9), false);
  EXPECT_EQ(replies, std::string(1, kAck) + std::string(1, kNak));
  EXPECT_EQ(ReadTable(w, "R0300"), before);
}

TEST(SimMemory, ReadsCarryTheirSum) {
  Wire w("QN-730");
  // The configuration image: 55 bytes, the last the sum of the others.
  const std::string image = w.Ask("I00000200C9FF0100", 55);
  ASSERT_EQ(image.size(), 55u);
  EXPECT_EQ(static_cast<uint8_t>(image[54]), Sum(image.substr(0, 54)));
  EXPECT_EQ(image[53], 3);
  EXPECT_EQ(image[47], 'C');
  EXPECT_EQ(w.Read(10), "");  // nothing more follows
  // First calibration header: six BCD bytes and their sum.
  const std::string header = w.Ask("I0600010000000100", 120);
  EXPECT_EQ(header, std::string("\x07\x02\x01\x10\x00\x00\x1A", 7));
}

TEST(SimMemory, SingleChannelRecorderHasNoConfigurationImage) {
  for (const char* model : {"KM-3170", "KM-3180"}) {
    Wire w(model);
    // Plain memory without a sum: never 55 bytes whose last is the sum of the others.
    const std::string image = w.Ask("I00000200C9FF0100", 55);
    EXPECT_EQ(image.size(), 54u) << model;
    EXPECT_EQ(image, std::string(54, '\xFF')) << model;
    // Its calibration records still come with their sum.
    const std::string record = w.Ask("I2600010000000100", 120);
    ASSERT_EQ(record.size(), 39u) << model;
    EXPECT_EQ(static_cast<uint8_t>(record[38]), Sum(record.substr(0, 38))) << model;
  }
}

TEST(SimIdentity, BasicRsLevelTideRecorderHasNoTable01) {
  Wire w("KZM-5170");
  EXPECT_EQ(w.Ask("A"), "TMV KZM-5170 6.05 051705\r\n");
  EXPECT_EQ(w.Ask("!008"), "01000000CAP08\r\n");
  // No configuration table: an empty table, as a logger that was never given one.
  EXPECT_EQ(w.Ask("R0100"), "R010000");
  EXPECT_EQ(w.emulator.ChannelTypes(), "TP");
  // Its calibration covers the two channels.
  EXPECT_EQ(w.emulator.profile().calibrationHistory.back().channels.size(), 2u);
}

TEST(SimMemory, OlderLoggersSkipTheLastByteOfEachPage) {
  Wire w("QN-730");
  w.emulator.RecordSamples(30000, w.clock.Milliseconds());  // well past 0x30000
  const std::string block = w.Ask("I00000300" "00FF0200", 300);
  ASSERT_EQ(block.size(), 256u);  // 255 data bytes and the sum
  EXPECT_EQ(static_cast<uint8_t>(block[255]), Sum(block.substr(0, 255)));
  // The first megabyte's last page ends at 0x0FF7FE: 126 bytes and the sum.
  EXPECT_EQ(w.Ask("I00001000" "80F70F00", 300).size(), 127u);
  // Newer loggers: every byte, plus the sum.
  Wire n;
  n.emulator.RecordSamples(100, n.clock.Milliseconds());
  EXPECT_EQ(n.Ask("I" "00010000" "F0000000", 300).size(), 17u);
}

TEST(SimMemory, ParameterBlockAndDataPointer) {
  Wire w("QN-730");
  EXPECT_EQ(w.Ask("G"), "00000200CDP\r\n");
  w.Send("J100607153000L100607160000M100608160000K000100");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  EXPECT_EQ(w.Ask("G"), "1E000200CDP\r\n");  // the 30-byte block
  const std::string block = w.Ask("I1E00020000000200", 120);
  ASSERT_EQ(block.size(), 31u);
  EXPECT_EQ(static_cast<uint8_t>(block[30]), Sum(block.substr(0, 30)));
  // Download requests come with lower-case hex.
  EXPECT_EQ(w.Ask("I1e00020000000200", 120), block);
}

TEST(SimCommands, UnknownCommandsAndResynchronisation) {
  Wire w;
  EXPECT_EQ(w.Ask("Q"), "Unknown command\r\n");
  EXPECT_EQ(w.Ask("!Q"), "Unknown command\r\n");
  EXPECT_EQ(w.Ask("!0FF"), "Unknown command\r\n");
  // Junk before a command costs one answer; the command is still understood.
  EXPECT_EQ(w.Ask("xyz123A"), "Unknown command\r\nTMV QN-760 6.10 012345\r\n");
  EXPECT_EQ(w.Ask("R01A"), "Unknown command\r\nTMV QN-760 6.10 012345\r\n");
  // A long run of garbage never makes the logger hang or overflow.
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<char>((i * 37) & 0xFF));
  w.Send(garbage);
  while (!w.Read(4000).empty()) {
  }
  w.SetBaud(w.emulator.Baud());  // the garbage may have held a speed change
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
}

TEST(SimCommands, CapabilityWordsLeastSignificantByteFirst) {
  Wire w;
  EXPECT_EQ(w.Ask("!000"), "FFFF6C00CAP00\r\n");  // bit 22: expansion cards
  EXPECT_EQ(w.Ask("!00D"), "00C20118CAP0D\r\n");
  Wire old("QN-730");
  EXPECT_EQ(old.Ask("!000"), "Unknown command\r\n");
}

TEST(SimClock, RunsOnFromWhenItWasSet) {
  Wire w;
  EXPECT_EQ(w.Ask("B"), "100607153000CTD\r\n");
  w.Send("J111231235958");
  w.clock.Advance(3010);
  EXPECT_EQ(w.Ask("B"), "120101000001CTD\r\n");
  EXPECT_EQ(w.emulator.ClockAt(w.clock.Milliseconds()).year, 2012);
  w.Send("J119999999999");  // not a date: ignored
  EXPECT_EQ(w.Ask("B").substr(0, 10), "1201010000");
}

TEST(SimDeployment, SettingsReadBackAsWritten) {
  Wire w;
  w.Send("K240000L100610120000M100710120000W3C00!1A1000000!440!60004001000");
  EXPECT_EQ(w.Ask("C"), "240000CSP\r\n");
  EXPECT_EQ(w.Ask("D"), "100610120000CST\r\n");
  EXPECT_EQ(w.Ask("E"), "100710120000CET\r\n");
  EXPECT_NE(w.Ask("X").find("C00"), std::string::npos);  // "W3C00" from its third character
  EXPECT_EQ(w.Ask("!2"), "A1000000STC\r\n");
  EXPECT_EQ(w.Ask("!5"), "40RAT\r\n");
  EXPECT_EQ(w.Ask("!7"), "0004001000WAV\r\n");
}

TEST(SimDeployment, EnableLogStopAndErase) {
  Wire w;
  w.Send("J100607153000L100607153100M100607160000K000010");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  EXPECT_EQ(w.Ask("T"), "Logger status 0100\r\n");
  EXPECT_EQ(w.Ask("G"), "30000000CDP\r\n");  // the 48-byte parameter block
  w.clock.Advance(95000);                    // start at 15:31:00, samples at :00, :10, :20, :30
  EXPECT_EQ(w.Ask("T"), "Logger status 0200\r\n");
  EXPECT_EQ(w.emulator.DataPointer(), 48u + 12u + 4u * 12u);
  w.Send("!S");
  EXPECT_EQ(w.Ask("T"), "Logger status 0500\r\n");
  w.Send("!9");
  EXPECT_EQ(w.Ask("T"), "Logger status 0402\r\n");
  w.Send("N");  // not unlocked: nothing happens
  EXPECT_NE(w.emulator.DataPointer(), 0u);
  w.Send("!U01N");
  // The erase takes its time: meanwhile only the status query is answered, with 7F.
  EXPECT_EQ(w.Ask("T"), "Logger status 7F00\r\n");
  EXPECT_EQ(w.Ask("G"), "");
  w.clock.Advance(6000);
  EXPECT_EQ(w.Ask("T"), "Logger status 0000\r\n");
  EXPECT_EQ(w.Ask("G"), "00000000CDP\r\n");
}

TEST(SimDeployment, ResumeAndEndOfLogging) {
  Wire w("QN-730");
  w.Send("J100607153000L100607153005M100607153100K000005");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(20000);
  w.Send("!S");
  EXPECT_EQ(w.Ask("T"), "Logger status 05\r\n");
  w.Send("!R");
  EXPECT_EQ(w.Ask("T"), "Logger status 02\r\n");
  w.clock.Advance(60000);  // past the end
  EXPECT_EQ(w.Ask("T"), "Logger status 04\r\n");
  w.Send("!R");  // nothing left to run for
  EXPECT_EQ(w.Ask("T"), "Logger status 04\r\n");
}

TEST(SimFetch, BinaryRecordAndSingleReadings) {
  Wire w;
  w.Send("F00");
  w.clock.Advance(1300);  // latency + reading time
  const std::string record = w.Read(300);
  ASSERT_EQ(record.size(), 3u * 4 + 13);
  EXPECT_EQ(record.substr(0, 6), std::string("\0\0\0TIM", 6));
  EXPECT_EQ(static_cast<uint8_t>(record.back()), Sum(record.substr(3, record.size() - 4)));
  w.Send("F02");
  w.clock.Advance(1300);
  const std::string one = w.Read(300);
  ASSERT_EQ(one.size(), 8u);
  EXPECT_EQ(one.substr(6), "\r\n");
  Wire km("KM-3170");
  EXPECT_EQ(km.Ask("F", 300).size(), 8u);
}

TEST(SimFetch, RealTimeRecordsWhileLogging) {
  Wire w("VL-840");
  w.Send("J100607153000L100607153002M110607153000!1600000000!B0D");
  w.Send("P");
  w.Read(120);
  w.clock.Advance(3000);  // 6 Hz from 15:30:02
  const std::string stream = w.Read(300);
  ASSERT_GE(stream.size(), 6u * (3 * 3 + 13));
  EXPECT_EQ(stream.substr(0, 6), std::string("\0\0\0TIM", 6));
}

TEST(SimCalibration, HistoryAndCurrentRecordAsTables) {
  Wire w;
  const std::string current = ReadTable(w, "V000000");
  EXPECT_EQ(current.substr(0, 15), "CAL100503114217");
  EXPECT_EQ(ReadTable(w, "V010000").substr(0, 3), "CMM");
  EXPECT_EQ(ReadTable(w, "V020000").substr(0, 15), "CAL080312093000");
  EXPECT_EQ(w.Ask("V030000", 80), "V03000000");  // no such record
  const std::string temperature = ReadTable(w, "V000002");
  ASSERT_EQ(temperature.size(), 34u);
  double c0;
  std::memcpy(&c0, temperature.data(), 8);
  EXPECT_NEAR(c0, 0.0035 * 1.002, 1e-12);
}

std::string Coefficients(double c0, double c1) {
  std::string s(33, '\0');
  std::memcpy(&s[0], &c0, 8);
  std::memcpy(&s[8], &c1, 8);
  return s;
}

TEST(SimCalibration, TransferAppendsANewCurrentRecord) {
  Wire w;
  w.Send("J110102030405");
  EXPECT_EQ(WriteTable(w, "U0000", "A"), std::string(2, kAck));
  for (int n = 1; n <= 4; ++n) {
    char command[8];
    std::snprintf(command, sizeof command, "U%02X00", n);
    EXPECT_EQ(WriteTable(w, command, Coefficients(n, 2.0 * n)), std::string(4, kAck));
  }
  EXPECT_EQ(WriteTable(w, "U0000", "Z"), std::string(2, kAck));
  EXPECT_EQ(ReadTable(w, "V000000").substr(0, 15), "CAL110102030405");
  EXPECT_EQ(ReadTable(w, "V000003").substr(0, 33), Coefficients(3, 6.0));
}

TEST(SimCalibration, RefusalsCarryTheirCodeEightCharactersBeforeTheNak) {
  Wire w;
  EXPECT_EQ(WriteTable(w, "U0000", "A"), std::string(2, kAck));
  const std::string early = WriteTable(w, "U0000", "Z");  // no channel written yet
  ASSERT_EQ(early.size(), 10u);
  EXPECT_EQ(early.substr(1, 2), "F0");
  EXPECT_EQ(early.back(), kNak);
  EXPECT_EQ(early.find(kNak) - 8, early.find("F0"));
  // On demand: refused at once with the code asked for.
  w.emulator.faults().nakWrites = true;
  w.emulator.faults().nakCode = "F1";
  EXPECT_EQ(w.Ask("U000002", 300), std::string("F1 ERROR\x15"));
  // No configuration, no calibration.
  Wire bare;
  bare.emulator.profile().tables[1] = {0, 0, 0, 0, 0};
  EXPECT_EQ(WriteTable(bare, "U0000", "A"), std::string(1, kAck) + "F2 ERROR" + kNak);
}

TEST(SimCalibration, OlderMultiChannelPageWrite) {
  Wire w("QN-730");
  // After three records of 6 + 3 x 33 bytes the next record starts at 315 (0x13B).
  w.Send("!C3B0106100607153000");
  std::string block = "!C410120";
  for (int i = 0; i < 32; ++i) block += "AB";
  w.Send(block);
  EXPECT_EQ(w.Ask("I0001010041010100", 120), "");  // end before start: nothing sensible
  const std::string back = w.Ask("I620101003B010100", 120);
  ASSERT_EQ(back.size(), 40u);
  EXPECT_EQ(back.substr(0, 6), std::string("\x10\x06\x07\x15\x30\x00", 6));
  EXPECT_EQ(static_cast<uint8_t>(back[6]), 0xAB);
  EXPECT_EQ(back[38], 0);  // the channel block's trailing zero
  // Past the page limit nothing is written.
  w.Send("!CFFFD0411223344");
  EXPECT_EQ(w.Ask("I01FE0100FFFD0100", 120), "\xFF\xFF\xFE");  // still erased
}

TEST(SimCalibration, SingleChannelZAndY) {
  Wire w("KM-3170");
  const std::string z = w.Ask("Z", 120);
  ASSERT_EQ(z.size(), 37u);
  EXPECT_EQ(z.substr(32), "CAL\r\n");
  std::string y = "Y";
  const double k[4] = {0.001, -0.0002, 3e-6, 4e-8};
  y.append(reinterpret_cast<const char*>(k), 32);
  w.Send(y);
  EXPECT_EQ(w.Ask("Z", 120).substr(0, 32), y.substr(1));
  // An uncalibrated recorder answers briefly.
  Wire bare("KM-3170");
  bare.emulator.profile().memory.clear();
  EXPECT_EQ(bare.Ask("Z", 120), "CAL\r\n");
}

TEST(SimFaults, EachFaultAndItsCount) {
  Wire w;
  Faults& f = w.emulator.faults();
  f.silent = true;
  f.remaining = 1;
  EXPECT_EQ(w.Ask("A"), "");
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");  // the count ran out

  f = Faults{};
  f.junkBeforeReply = 3;
  EXPECT_EQ(w.Ask("A"), "#?~TMV QN-760 6.10 012345\r\n");

  f = Faults{};
  f.splitReplies = true;
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6");
  EXPECT_EQ(w.Read(120), "");
  w.clock.Advance(300);
  EXPECT_EQ(w.Read(120), ".10 012345\r\n");

  f = Faults{};
  f.lateReplyMs = 500;
  EXPECT_EQ(w.Ask("A"), "");
  w.clock.Advance(400);
  EXPECT_EQ(w.Read(120), "TMV QN-760 6.10 012345\r\n");  // late bytes wait for the next read

  f = Faults{};
  f.badChecksum = true;
  EXPECT_NE(Sum(ReadTable(w, "R0300")), 165);
  w.emulator.RecordSamples(10, w.clock.Milliseconds());
  const std::string block = w.Ask("I3C00000000000000", 120);
  EXPECT_NE(static_cast<uint8_t>(block.back()), Sum(block.substr(0, block.size() - 1)));

  f = Faults{};
  f.nakWrites = true;
  EXPECT_EQ(w.Ask("S030002", 120), std::string(1, kNak));
}

TEST(SimWake, ASleepingLoggerLosesTheWakingByte) {
  Wire w;
  w.emulator.profile().sleepAfterIdleMs = 5000;
  EXPECT_EQ(w.Ask("A"), "");
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  w.clock.Advance(6000);
  EXPECT_EQ(w.Ask("A"), "");
}

}  // namespace
}  // namespace tmv::sim
