// The emulated logger as a logger that logs: programmed through its byte
// interface, left to log on the virtual clock, stopped, and its memory read
// back and decoded here with a small decoder of our own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/LoggerEmulator.h"
#include "sim/ServerOptions.h"

namespace tmv::sim {
namespace {

struct Line {
  explicit Line(const std::string& profile) : emulator(ProfileByName(profile)), serial(emulator, clock) {
    LineSettings s;
    s.baud = 19200;
    s.readMultiplierMs = 1;
    port = serial.Open("/dev/ttyTMV0", s);
  }
  void Send(const std::string& text) { port->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  std::string Read(size_t max) {
    std::string buffer(max, '\0');
    buffer.resize(port->Read(reinterpret_cast<uint8_t*>(buffer.data()), max));
    return buffer;
  }
  std::string Ask(const std::string& text, size_t max = 120) {
    Send(text);
    return Read(max);
  }
  // The memory from 0 to the data pointer, read with "I" in blocks, each sum checked.
  std::vector<uint8_t> Memory() {
    const std::string g = Ask("G");
    unsigned b[4] = {};
    EXPECT_EQ(std::sscanf(g.c_str(), "%2x%2x%2x%2x", &b[0], &b[1], &b[2], &b[3]), 4);
    const uint32_t end = b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24;
    std::vector<uint8_t> out;
    for (uint32_t a = 0; a < end; a += 4096) {
      const uint32_t e = std::min(end, a + 4096);
      char cmd[20];
      std::snprintf(cmd, sizeof cmd, "I%02X%02X%02X%02X%02X%02X%02X%02X", e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF,
                    e >> 24, a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF, a >> 24);
      const std::string block = Ask(cmd, e - a + 1);
      EXPECT_EQ(block.size(), e - a + 1);
      unsigned sum = 0;
      for (size_t i = 0; i + 1 < block.size(); ++i) sum += static_cast<uint8_t>(block[i]);
      EXPECT_EQ(static_cast<uint8_t>(sum), static_cast<uint8_t>(block.back()));
      out.insert(out.end(), block.begin(), block.end() - 1);
    }
    return out;
  }

  VirtualClock clock;
  LoggerEmulator emulator;
  EmulatedSerialSystem serial;
  std::unique_ptr<SerialPort> port;
};

int FromBcd(uint8_t b) { return (b >> 4) * 10 + (b & 15); }

struct Stamp {
  std::string code;
  size_t row;  // the row it applies to
  LoggerTime time;
};

struct Decoded {
  std::vector<std::vector<uint32_t>> rows;
  std::vector<Stamp> stamps;
  std::vector<std::vector<uint32_t>> bursts;
};

// Words of three bytes after the parameter block: readings channel after
// channel, stamps (a zero word, a code, six BCD bytes), and after a "BST"
// stamp the burst samples up to the next stamp.
Decoded Decode(const std::vector<uint8_t>& memory, size_t header, size_t channels) {
  Decoded d;
  std::vector<uint32_t> row;
  bool inBurst = false;
  for (size_t o = header; o + 3 <= memory.size();) {
    const uint32_t raw = memory[o] << 16 | memory[o + 1] << 8 | memory[o + 2];
    if (raw == 0 && o + 12 <= memory.size()) {
      Stamp s;
      s.code.assign(memory.begin() + static_cast<long>(o) + 3, memory.begin() + static_cast<long>(o) + 6);
      const uint8_t* t = &memory[o + 6];
      s.time = LoggerTime{static_cast<uint16_t>(2000 + FromBcd(t[0])), static_cast<uint16_t>(FromBcd(t[1])), 0,
                          static_cast<uint16_t>(FromBcd(t[2])), static_cast<uint16_t>(FromBcd(t[3])),
                          static_cast<uint16_t>(FromBcd(t[4])), static_cast<uint16_t>(FromBcd(t[5])), 0};
      EXPECT_TRUE(row.empty()) << "a stamp inside a row";
      s.row = d.rows.size();
      inBurst = s.code == "BST";
      if (inBurst) d.bursts.emplace_back();
      d.stamps.push_back(s);
      o += 12;
      continue;
    }
    o += 3;
    if (inBurst) {
      d.bursts.back().push_back(raw);
      continue;
    }
    row.push_back(raw);
    if (row.size() == channels) {
      d.rows.push_back(row);
      row.clear();
    }
  }
  return d;
}

double Thermistor(uint32_t raw, const std::array<double, 4>& c) {
  const double l = std::log(16777216.0 / raw - 1.0);
  return 1.0 / (c[0] + c[1] * l + c[2] * l * l + c[3] * l * l * l) - 273.15;
}
double Polynomial(uint32_t raw, const std::array<double, 4>& c) {
  const double x = raw / 16777216.0;
  return c[0] + x * (c[1] + x * (c[2] + x * c[3]));
}

std::string Wire(const LoggerTime& t) {
  char b[48];
  std::snprintf(b, sizeof b, "%02d%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

TEST(SimLogging, AProgrammedDeploymentLogsAMemoryThatDecodesToTheSea) {
  Line w("QN-760");
  // Program it as the enabling sequence does, checking every read-back echo.
  w.Send("J100607153000");
  w.Send("!100000000");
  EXPECT_EQ(w.Ask("!2"), "00000000STC\r\n");
  w.Send("W0A00");
  EXPECT_EQ(w.Ask("X"), "0A00BST\r\n");
  w.Send("!B00");
  w.Send("L100607153100");
  EXPECT_EQ(w.Ask("D"), "100607153100CST\r\n");
  w.Send("M100607173100");
  EXPECT_EQ(w.Ask("E"), "100607173100CET\r\n");
  w.Send("K000010");
  EXPECT_EQ(w.Ask("C"), "000010CSP\r\n");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  EXPECT_EQ(w.Ask("T"), "Logger status 0100\r\n");

  w.clock.Advance(30 * 60 * 1000);  // half an hour: started at 15:31:00
  EXPECT_EQ(w.Ask("T"), "Logger status 0200\r\n");
  w.Send("!9");
  EXPECT_EQ(w.Ask("T"), "Logger status 0402\r\n");  // stopped by the user

  const std::vector<uint8_t> memory = w.Memory();
  ASSERT_GE(memory.size(), 48u);
  unsigned sum = 0;
  for (size_t i = 0; i < 48; ++i) sum += memory[i];
  EXPECT_EQ(sum & 0xFF, 165u);  // the parameter block carries its sum
  EXPECT_EQ(memory[0], 0x10);
  EXPECT_EQ(memory[4], 0x31);  // start 15:31:00 in BCD

  const Decoded d = Decode(memory, 48, 4);
  ASSERT_EQ(d.stamps.size(), 2u);
  EXPECT_EQ(d.stamps[0].code, "TIM");
  EXPECT_EQ(Wire(d.stamps[0].time), "100607153100");
  EXPECT_EQ(d.stamps[1].code, "STP");
  EXPECT_EQ(d.rows.size(), 29u * 6 + 1);  // 15:31:00 to 15:59:00 every 10 s, and 16:00:00... up to the stop
  EXPECT_EQ(d.stamps[1].row, d.rows.size());
  const auto& cal = w.emulator.profile().calibrationHistory.back().channels;  // channels C, T, P, D
  for (const auto& r : d.rows) {
    const double c = Polynomial(r[0], cal[0]), t = Thermistor(r[1], cal[1]), p = Polynomial(r[2], cal[2]);
    EXPECT_GT(t, 5.0);
    EXPECT_LT(t, 20.0);
    EXPECT_GT(c, 30000.0);  // uS/cm, the unit of a channel reported as 'C'
    EXPECT_LT(c, 50000.0);
    EXPECT_GT(p, 17.0);  // 10 m of sea under the atmosphere
    EXPECT_LT(p, 23.0);
    for (uint32_t raw : r) EXPECT_EQ(raw & 1, 0u);  // no over-range mark
  }
}

TEST(SimLogging, MonthsOfVirtualTimeFillMemoryLazilyAndEndComplete) {
  Line w("QN-760");
  w.Send("J100607153000L100607153100M100907153100K000100");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(95LL * 86400 * 1000);  // past the end, three months on
  EXPECT_EQ(w.Ask("T"), "Logger status 0400\r\n");  // logging complete
  const Decoded d = Decode(w.emulator.profile().dataMemory, 48, 4);
  // One row a minute for 92 days (and the end minute itself), a time mark each day.
  EXPECT_EQ(d.rows.size(), 92u * 1440 + 1);
  EXPECT_EQ(d.stamps.size(), 1u + 92);
  EXPECT_EQ(Wire(d.stamps[1].time), "100608153100");
  EXPECT_EQ(d.stamps[1].row, 1440u);
  // The tide of the profile (M2 1.05 m and eight more) shows in the pressure:
  // a day's range of one to five decibars, from neaps to springs.
  const auto& cal = w.emulator.profile().calibrationHistory.back().channels;
  double lo = 1e9, hi = -1e9;
  for (size_t i = 0; i < 1500; ++i) {
    lo = std::min(lo, Polynomial(d.rows[i][2], cal[2]));
    hi = std::max(hi, Polynomial(d.rows[i][2], cal[2]));
  }
  EXPECT_GT(hi - lo, 1.0);
  EXPECT_LT(hi - lo, 5.0);
}

TEST(SimLogging, SuspendResumeAndStopLeaveTheirStamps) {
  Line w("QN-760");
  w.Send("J100607153000L100607153100M100607183100K000010");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(90500);  // rows at :31:00, :10, :20, :30
  w.Send("!S");
  EXPECT_EQ(w.Ask("T"), "Logger status 0500\r\n");
  w.clock.Advance(60000);  // nothing is logged while suspended
  const uint32_t suspended = w.emulator.DataPointer();
  w.Send("!R");
  EXPECT_EQ(w.Ask("T"), "Logger status 0200\r\n");
  w.clock.Advance(20000);
  w.Send("!9");
  EXPECT_EQ(w.Ask("T"), "Logger status 0402\r\n");
  w.clock.Advance(60000);
  const Decoded d = Decode(w.Memory(), 48, 4);
  ASSERT_EQ(d.stamps.size(), 4u);
  EXPECT_EQ(d.stamps[0].code, "TIM");
  EXPECT_EQ(d.stamps[1].code, "STP");
  EXPECT_EQ(d.stamps[1].row, 4u);
  EXPECT_EQ(d.stamps[2].code, "TIM");
  EXPECT_EQ(d.stamps[2].row, 4u);
  EXPECT_EQ(d.stamps[3].code, "STP");
  EXPECT_GT(w.emulator.DataPointer(), suspended + 12);
  EXPECT_EQ(d.rows.size(), 4u + 2);  // two rows after the resume
}

TEST(SimLogging, WaveRecorderWritesBurstsBetweenTideRows) {
  Line w("KZM-5170");
  w.Send("J100607153000");
  w.Send("!404");
  EXPECT_EQ(w.Ask("!5"), "04RAT\r\n");
  w.Send("!60002010000");  // 512 samples every hour
  EXPECT_EQ(w.Ask("!7"), "0002010000WAV\r\n");
  w.Send("!Y000000000000F03F");
  EXPECT_EQ(w.Ask("!Z"), "000000000000F03FLHT\r\n");
  w.Send("L100607160000M100607180000K001000");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(3LL * 3600 * 1000);
  EXPECT_EQ(w.Ask("T"), "Logger status 0400\r\n");
  const Decoded d = Decode(w.Memory(), 48, 2);
  ASSERT_EQ(d.bursts.size(), 3u);  // 16:00, 17:00, 18:00
  const auto& cal = w.emulator.profile().calibrationHistory.back().channels;
  for (const auto& burst : d.bursts) {
    ASSERT_EQ(burst.size(), 512u);
    double lo = 1e9, hi = -1e9;
    for (uint32_t raw : burst) {
      lo = std::min(lo, Polynomial(raw, cal[1]));
      hi = std::max(hi, Polynomial(raw, cal[1]));
    }
    // A swell of 0.8 m and a wind sea of 0.3 m, felt weaker 10 m down.
    EXPECT_GT(hi - lo, 0.4);
    EXPECT_LT(hi - lo, 1.2);
  }
  // Every burst is followed by a time stamp before the tide rows go on.
  for (size_t i = 0; i + 1 < d.stamps.size(); ++i) {
    if (d.stamps[i].code == "BST") {
      EXPECT_EQ(d.stamps[i + 1].code, "TIM");
    }
  }
  EXPECT_EQ(d.rows.size(), 13u);  // 16:00 to 18:00 every 10 minutes
  EXPECT_EQ(w.emulator.ChannelTypes(), "TP");
}

TEST(SimLogging, ThresholdingWaitsThenLogsSessions) {
  Line w("QN-760-TH");
  w.Send("J100607153000");
  // Never above the highest count: waits for ever (status 3), logs nothing.
  w.Send("!A0400FFFFFDFFFFFD");
  EXPECT_EQ(w.Ask("!L"), "0400FFFFFDFFFFFDTHR\r\n");
  w.Send("L100607153100M110607153100K000100");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(3600 * 1000);
  EXPECT_EQ(w.Ask("T"), "Logger status 0300\r\n");
  EXPECT_EQ(w.emulator.DataPointer(), 48u);
  w.Send("!9");
  w.Send("!U01N");
  w.clock.Advance(7000);
  EXPECT_EQ(w.Ask("T"), "Logger status 0000\r\n");

  // Above the day's middle count, tested every 30 s with power saving, with a
  // hysteresis of 5 samples: sessions start and end as the temperature swings.
  w.Send("F01");
  w.clock.Advance(2000);
  const std::string now = w.Read(20);
  const std::string level = now.substr(0, 6);
  w.Send("!A0600FFFFFD" + level);
  w.Send("!K000030!H0500");
  EXPECT_EQ(w.Ask("!P"), "000030PSP\r\n");
  EXPECT_EQ(w.Ask("!O"), "0500HYS\r\n");
  w.Send("L100607160000M100610160000");
  EXPECT_EQ(w.Ask("P"), "Logger status 01\r\n");
  w.clock.Advance(2LL * 86400 * 1000);
  const std::string status = w.Ask("T");
  EXPECT_TRUE(status == "Logger status 0200\r\n" || status == "Logger status 0300\r\n") << status;
  const Decoded d = Decode(w.Memory(), 48, 4);
  ASSERT_GE(d.stamps.size(), 2u);  // at least two sessions in two days
  const uint32_t threshold = static_cast<uint32_t>(std::stoul(level, nullptr, 16));
  for (const Stamp& s : d.stamps) {
    EXPECT_EQ(s.code, "TIM");
    if (s.row < d.rows.size()) {
      EXPECT_GT(d.rows[s.row][0], threshold);  // a session starts above the level
    }
  }
}

TEST(SimLogging, TimeScaleRunsTheLoggersClockFaster) {
  LoggerEmulator e(ProfileByName("KPM-5170"), LoggerTime{2010, 6, 0, 7, 15, 30, 0, 0});
  e.SetTimeScale(3600, 1000);
  EXPECT_EQ(e.ClockAt(1000).hour, 15);
  EXPECT_EQ(e.ClockAt(2000).hour, 16);  // one second of host time is an hour
  EXPECT_EQ(e.ChannelTypes(), "TP");
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(ParseServerOptions({"--time-scale", "100000", "--model", "QN-760-TH"}, o, error)) << error;
  EXPECT_EQ(o.timeScale, 100000);
  EXPECT_EQ(o.profile.capabilities.at(7), 3u);  // conventional and power-save thresholding
  EXPECT_NE(o.profile.capabilities.at(0) & (1u << 3), 0u);  // hysteresis
  EXPECT_FALSE(ParseServerOptions({"--time-scale", "0"}, o, error));
}

}  // namespace
}  // namespace tmv::sim
