// The GPS link: NMEA parsing, the GPS buffer across reads, the GPS emulator
// and the GPS test command, all on the virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScriptedUserInterface.h"
#include "retrieval/Gps.h"
#include "retrieval/GpsTest.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "sim/Gps.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

// A sentence with its checksum worked out: "$" + body + "*hh".
std::string Nmea(const std::string& body) { return "$" + body + sim::NmeaChecksum(body); }

NmeaResult Parse(const std::string& sentence, std::string& text) { return ParseNmeaSentence(sentence, text); }

TEST(NmeaParser, ReadsGgaAndGllOfAnyTalkerInBothHemispheres) {
  struct Case {
    std::string sentence, position;
  };
  const std::vector<Case> cases = {
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", " 4807.0380,N,1131.0000,E"},
      {"$GPGLL,4916.45,N,12311.12,W,225444,A*31", " 4916.4500,N,12311.1200,W"},
      {Nmea("GNGGA,001043.00,3348.1234,S,15112.5678,E,2,12,0.7,5.0,M,21.0,M,,"), " 3348.1234,S,15112.5678,E"},
      {Nmea("GPGLL,0512.3456,S,07730.0001,W,120000.00,A,A"), " 512.3456,S,7730.0001,W"},
      {Nmea("GLGLL,4916.45,N,12311.12,W,225444"), " 4916.4500,N,12311.1200,W"},  // before status fields existed
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(Parse(c.sentence, text), NmeaResult::Position) << c.sentence;
    EXPECT_EQ(text, c.position) << c.sentence;
  }
  std::string text;
  EXPECT_EQ(Parse("$gpgga,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", text), NmeaResult::Rejected);
  EXPECT_EQ(Parse(Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,").substr(0, 70) + "*47", text),
            NmeaResult::Rejected);
}

TEST(NmeaParser, CorruptSentenceNeverBecomesAPosition) {
  const std::string good = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
  std::vector<std::string> bad = {
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48",  // wrong sum
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",     // no sum
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4",   // half a sum
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4G",  // not hex
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47x",
      "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",  // no '$'
      "$GPGGA,123519,4807.038,N,01131.000,E*47",                          // cut off, sum of the whole
      "",
      "$",
      "$*00",
  };
  // Every single character changed changes the sum.
  for (size_t i = 1; i < good.size() - 3; ++i) {
    std::string s = good;
    s[i] = s[i] == '1' ? '2' : '1';
    bad.push_back(s);
  }
  for (const std::string& s : bad) {
    std::string text = " kept";
    EXPECT_EQ(Parse(s, text), NmeaResult::Rejected) << s;
    EXPECT_EQ(text, " kept") << s;
  }
}

TEST(NmeaParser, ImpossibleOrMissingFieldsKeepTheStoredPosition) {
  const std::vector<std::string> bodies = {
      "GPGGA,123519,4807.038,X,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",  // hemisphere not N/S
      "GPGGA,123519,4807.038,N,01131.000,Q,1,08,0.9,545.4,M,46.9,M,,",  // nor E/W
      "GPGGA,123519,4807.038,n,01131.000,e,1,08,0.9,545.4,M,46.9,M,,",
      "GPGGA,123519,4807.038,NS,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "GPGGA,123519,,,,,0,00,,,M,,M,,",                                 // no fix yet
      "GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,",  // fix quality 0
      "GPGGA,123519,4807.038,N,01131.000,E",                            // fields missing
      "GPGGA,123519,4807.038,N",
      "GPGGA,123519,-4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "GPGGA,123519,4807.038,N,1e4,E,1,08,0.9,545.4,M,46.9,M,,",
      "GPGGA,123519,4867.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",  // 67 minutes
      "GPGGA,123519,9100.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",  // beyond the pole
      "GPGGA,123519,4807.038,N,18100.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "GPGGA,123519,48 7.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "GPGLL,4916.45,N,12311.12,W,225444,V,N",                          // data not valid
      "GPGLL,4916.45,N,12311.12",
      "GPGLL,,,,,225444,V,N",
  };
  for (const std::string& body : bodies) {
    std::string text = " kept";
    EXPECT_EQ(Parse(Nmea(body), text), NmeaResult::Rejected) << body;
    EXPECT_EQ(text, " kept") << body;
  }
  std::string text;
  EXPECT_EQ(Parse(Nmea("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"), text), NmeaResult::Other);
  EXPECT_EQ(Parse(Nmea("PGRME,15.0,M,45.0,M,25.0,M"), text), NmeaResult::Other);
  EXPECT_TRUE(text.empty());
}

struct Fed {
  GpsState gps;
  ScriptedUserInterface ui;
  int Feed(const std::string& bytes) { return FeedGpsBytes(gps, bytes.data(), bytes.size(), &ui); }
};

TEST(GpsBuffer, SentenceSplitAcrossReadsIsParsedOnceWhole) {
  Fed f;
  const std::string s = "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n";
  for (size_t cut = 1; cut + 1 < s.size(); ++cut) {  // the CR completes it
    f.gps = GpsState{};
    EXPECT_EQ(f.Feed(s.substr(0, cut)), 0) << cut;
    EXPECT_EQ(f.Feed(s.substr(cut)), 1) << cut;
    EXPECT_EQ(f.gps.positions, 1u) << cut;
    EXPECT_EQ(f.gps.positionText, " 4916.4500,N,12311.1200,W");
  }
}

TEST(GpsBuffer, JunkCutOffAndOverlongSentencesAreDroppedWithoutStalling) {
  Fed f;
  const std::string good = "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n";
  // Junk without '$', a sentence cut off by the next head, bare line ends.
  EXPECT_EQ(f.Feed("\x01\xff garbage \r\n\r\n$GPGGA,123519,4807.0" + good), 1);
  EXPECT_EQ(f.gps.rejected, 1u);
  // Longer than the buffer: dropped, and the sentence after it still counts.
  const std::string overlong = "$GPGGA," + std::string(600, '7') + "\r\n";
  EXPECT_EQ(f.Feed(overlong + good), 1);
  EXPECT_EQ(f.gps.positions, 2u);
  EXPECT_GE(f.gps.overlong, 1u);
  // One byte at a time through a whole stream, with a bad one in the middle.
  const std::string stream = good + "$GPGLL,4916.45,N,12311.12,W,225444,A*32\r\n" + good;
  int found = 0;
  for (char c : stream) found += f.Feed(std::string(1, c));
  EXPECT_EQ(found, 2);
  EXPECT_LT(f.gps.fill, GpsState::kCapacity);
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(GpsBuffer, NoGgaOrGllIsReportedOncePerRunOf256) {
  Fed f;
  const std::string other = Nmea("GPGSV,3,1,11,03,03,111,00") + "\r\n";
  const std::string gll = "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n";
  for (int i = 0; i < 255; ++i) f.Feed(other);
  EXPECT_TRUE(f.ui.boxes.empty());
  f.Feed(other);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "The GPS is not sending either of the messages\n'GGA' nor 'GLL' that are required.\n");
  EXPECT_EQ(f.ui.boxes[0].caption, "GPS Communication");
  for (int i = 0; i < 1000; ++i) f.Feed(other);
  EXPECT_EQ(f.ui.boxes.size(), 1u);  // once per occurrence
  EXPECT_EQ(f.Feed(gll), 1);         // collection goes on
  for (int i = 0; i < 256; ++i) f.Feed(other);
  EXPECT_EQ(f.ui.boxes.size(), 2u);
  // A GGA without a fix still shows the GPS sends what is needed.
  f.Feed(Nmea("GPGGA,123519,,,,,0,00,,,M,,M,,") + "\r\n");
  EXPECT_EQ(f.gps.otherSentences, 0);
  // No interface (a fuzzer): the count runs, nothing is shown.
  GpsState alone;
  for (int i = 0; i < 300; ++i) FeedGpsBytes(alone, other.data(), other.size(), nullptr);
  EXPECT_EQ(alone.otherSentences, 300);
}

TEST(GpsEmulator, SentencesParseBackToTheShipsPositions) {
  for (const auto& [lat, lon] : std::vector<std::pair<double, double>>{{44.6, -63.5}, {-33.8, 151.2}, {0.01, -0.02}}) {
    sim::GpsOptions options;
    options.latitude = lat;
    options.longitude = lon;
    options.speedKnots = 600;  // far enough per fix to cross nothing unnoticed
    options.courseDegrees = 225;
    options.vtg = true;
    sim::GpsEmulator gps(options);
    std::vector<std::string> expected;
    GpsState state;
    std::vector<std::string> parsed;
    state.onSentence = [&](std::string_view, NmeaResult r) {
      if (r == NmeaResult::Position) parsed.push_back(state.positionText);
    };
    uint8_t bytes[64];
    for (int64_t t = 0; t <= 10000; t += 50) {
      size_t n;
      while ((n = gps.Transmit(bytes, sizeof bytes, t)) > 0)
        FeedGpsBytes(state, reinterpret_cast<const char*>(bytes), n, nullptr);
    }
    ASSERT_EQ(parsed.size(), 20u) << lat;  // GGA and GLL of fixes 0..9 (fix 10 still on the line)
    for (int k = 0; k < 10; ++k) {
      double la = 0, lo = 0;
      gps.PositionAtFix(k, la, lo);
      EXPECT_EQ(parsed[2 * k], sim::GpsPositionText(la, lo)) << k;
      EXPECT_EQ(parsed[2 * k + 1], parsed[2 * k]);
    }
    EXPECT_EQ(state.otherSentences, 1);  // each VTG counted, reset by the next fix
    EXPECT_EQ(state.rejected, 0u);
  }
}

TEST(GpsTestCommand, ShowsTheEmulatedShipThroughTheSecondPortAndClosesIt) {
  test::EmulatedRig rig;
  sim::GpsOptions options;
  options.latitude = -12.5;
  options.longitude = -38.5;
  options.corruptRate = 0.3;
  sim::GpsEmulator gps(options);
  rig.serial.AttachGps(gps);
  rig.state.ports.devices = rig.serial.ListDevices();
  rig.state.ports.gpsPort = 2;

  DialogPresenter presenter;
  Shell shell(rig.state, presenter);
  std::vector<std::string> positions;
  uint64_t received = 0;
  presenter.Register<GpsTestDialog>([&](GpsTestDialog& d) {
    EXPECT_TRUE(d.IsOpen());
    for (int tick = 0; tick < 100; ++tick) {  // 15 s of ticks
      ShellTick(shell);
      rig.clock.Advance(GpsTestDialog::kTickMs);
      if (d.PositionText() != "No position yet" && (positions.empty() || positions.back() != d.PositionText()))
        positions.push_back(d.PositionText());
    }
    received = d.Received();
    std::string scratch;
    for (const std::string& s : d.Sentences()) {
      if (s.find("(rejected)") == std::string::npos) {
        EXPECT_NE(ParseNmeaSentence(s, scratch), NmeaResult::Rejected) << s;
      }
    }
    return 1;
  });
  EXPECT_EQ(RunCommand(shell, cmd::kGpsTest), 1);
  EXPECT_EQ(rig.serial.gpsOpens, 1);
  EXPECT_FALSE(rig.state.gpsLink.IsOpen());
  EXPECT_GE(positions.size(), 8u);
  EXPECT_EQ(positions.front().substr(0, 7), " 1230.0");
  EXPECT_NE(positions.back().find(",S,"), std::string::npos);
  EXPECT_NE(positions.back().find(",W"), std::string::npos);
  EXPECT_GE(received + 3, gps.sentences);  // all but what was still on the line
  EXPECT_LE(rig.state.gps.positions, gps.positionSentences);
  EXPECT_GE(rig.state.gps.positions + 2, gps.positionSentences);
  EXPECT_FALSE(shell.modelessStep);
}

TEST(GpsTestCommand, NoGpsPortOrABusyOneIsReportedNotOpened) {
  test::EmulatedRig rig;
  DialogPresenter presenter;
  Shell shell(rig.state, presenter);
  int faces = 0;
  presenter.Register<GpsTestDialog>([&](GpsTestDialog&) { return ++faces; });
  EXPECT_EQ(RunCommand(shell, cmd::kGpsTest), 0);
  EXPECT_TRUE(rig.ui.BoxSeen("No GPS port has been selected.\nChoose one in the COM settings."));
  sim::GpsEmulator gps;
  rig.serial.AttachGps(gps);
  rig.state.ports.devices = rig.serial.ListDevices();
  rig.state.ports.gpsPort = 2;
  rig.serial.refuseGpsOpen = true;
  EXPECT_EQ(RunCommand(shell, cmd::kGpsTest), 0);
  EXPECT_TRUE(rig.ui.BoxSeen("Unable to open COM2 - bad port setting or another application holds the port."));
  EXPECT_EQ(faces, 0);
}

}  // namespace
}  // namespace tmv
