// The clock-set and start-characteristic setup commands.
#include <gtest/gtest.h>

#include <algorithm>

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "model/Capabilities.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"
#include "model/LoggerTime.h"

namespace tmv {
namespace {

using test::EmulatedRig;

bool Sent(EmulatedRig& rig, const std::string& command) {
  const auto& log = rig.emulator.CommandLog();
  return std::find(log.begin(), log.end(), command) != log.end();
}

TEST(SetupCommands, ClockSetSendsWireTimeAndPauses) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  rig.state.deployment.loggerClock = LoggerTime{2011, 1, 0, 2, 3, 4, 5, 0};
  const int64_t before = rig.clock.Milliseconds();
  EXPECT_EQ(SendSetupCommand(rig.state, kSetupSetClock), 1);
  EXPECT_GE(rig.clock.Milliseconds() - before, 50);
  EXPECT_TRUE(Sent(rig, "J110102030405"));
  EXPECT_EQ(SendSetupCommand(rig.state, 99), 0);
}

TEST(SetupCommands, StartCharacteristicFromDeploymentAndCapabilities) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  AppState& s = rig.state;
  DeploymentSettings& d = s.deployment;
  d.startMode = 3;  // only bit 0 is the start characteristic's
  d.powerKeptOn = true;
  d.sixHzMode = true;
  d.realTimeOutput = 1;
  d.optionFlags = 0x030201;
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristic), 1);
  EXPECT_TRUE(Sent(rig, "!1E1010203"));
  EXPECT_TRUE(rig.ui.boxes.empty());

  // Without 6 Hz profiling the mode is cleared; without OEM support neither
  // real-time output nor the option bytes are sent.
  s.logger.sixHzProfiling = false;
  s.logger.oemSupport = false;
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristicRerun), 1);
  EXPECT_FALSE(d.sixHzMode);
  EXPECT_TRUE(Sent(rig, "!181000000"));

  // No "!12" command set: nothing to send.
  s.logger.commands12Level = 0;
  const size_t asked = rig.emulator.CommandLog().size();
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristic), 1);
  EXPECT_EQ(rig.emulator.CommandLog().size(), asked);
}

TEST(SetupCommands, UnverifiedStartCharacteristicIsReported) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  rig.faults().silent = true;
  EXPECT_EQ(SendSetupCommand(rig.state, kSetupStartCharacteristic), 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text,
            "Start characteristic set incorrectly.\nTry again.\nContact TMV if the problem persists.");
  EXPECT_EQ(rig.ui.boxes[0].caption, "Reset Logger");
  EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace tmv

namespace tmv {
namespace {

// The command texts as the logger must receive them, at their edge cases.
TEST(SetupCommandTexts, ScheduleAndSamplingModeFieldsAreEncodedAsTheLoggerReadsThem) {
  test::EmulatedRig rig("QN-760");
  AppState& s = rig.state;
  DeploymentSettings& d = s.deployment;
  d.samplingPeriod = MakeClock(24, 0, 0);  // one sample a day
  EXPECT_EQ(PeriodCommand(s), "K240000");
  d.startTime = LoggerTime{2027, 1, 0, 15, 8, 0, 0, 0};
  EXPECT_EQ(StartTimeCommand(s), "L270115080000");

  // Averaging: six readings a second, or the burst rate; low byte first.
  s.logger.microchipLogger = true;
  s.logger.averaging = 1;
  d.averagingEnabled = true;
  d.averagingPeriod = 10;
  EXPECT_EQ(AveragingCommand(s), "W3C00");
  s.logger.rates124Hz = true;
  d.burstRate = 4;
  EXPECT_EQ(AveragingCommand(s), "W2800");
  d.averagingPeriod = 10800;  // 43200 readings = 0xA8C0
  EXPECT_EQ(AveragingCommand(s), "WC0A8");
  d.averagingEnabled = false;
  EXPECT_EQ(AveragingCommand(s), "W0100");
  s.logger.averaging = 0;  // a newer logger without averaging is not sent it at all
  EXPECT_EQ(AveragingCommand(s), "");

  // Hysteresis in samples, low byte first.
  d.samplingPeriod = MakeClock(0, 0, 10);
  d.hysteresisSeconds = 20;
  EXPECT_EQ(HysteresisCommand(s), "!H0200");
  d.sixHzMode = true;
  d.hysteresisSeconds = 10922;  // 65532 samples at 6 Hz
  EXPECT_EQ(HysteresisCommand(s), "!HFCFF");
  d.sixHzMode = false;

  d.loggerHeight = 0.5;
  EXPECT_EQ(HeightCommand(s), "!Y000000000000E03F");
  d.waveEnabled = false;
  d.burstPeriod = MakeClock(0, 0, 0);
  EXPECT_EQ(WaveCommand(s), "!60000000000");
  d.waveEnabled = true;
  d.burstSamples = 2048;
  d.burstPeriod = MakeClock(4, 0, 0);
  EXPECT_EQ(WaveCommand(s), "!60008040000");
  EXPECT_EQ(RateCommand(s), "!404");

  d.thresholdTestPeriod = MakeClock(0, 0, 30);
  EXPECT_EQ(TestPeriodCommand(s), "!K000030");

  d.realTimeOutput = 0;
  s.logger.externalDataConnector = true;
  EXPECT_EQ(RealTimeCommand(s), "!B00");
  d.realTimeOutput = 1;
  s.logger.baud = 19200;
  RecomputeRealTimeBaud(s);
  EXPECT_EQ(d.realTimeBaudCode, 13u);  // 9216000 / (19200 * 32) - 2
  EXPECT_EQ(RealTimeCommand(s), "!B0D");
  s.logger.externalDataConnector = false;  // a newer logger without the connector
  EXPECT_EQ(RealTimeCommand(s), "");
}

TEST(SetupCommandTexts, ThresholdDirectionIsExchangedForThermistorChannels) {
  test::EmulatedRig rig("QN-760");
  AppState& s = rig.state;
  DeploymentSettings& d = s.deployment;
  s.logger.channelCount = 2;
  s.logger.channelTypes[0] = 'T';
  s.logger.channelTypes[1] = 'C';
  s.logger.sixHzProfiling = true;
  d.thresholdRawLimit = 0xFFFFFD;
  d.thresholdRaw = 0x123456;

  d.startMode = kStartAbove;
  d.thresholdChannel = 0;
  EXPECT_EQ(ThresholdCommand(s), "!A0500FFFFFD123456");  // above a temperature is below a count
  EXPECT_EQ(d.startMode, kStartAbove);
  d.powerSaving = true;
  EXPECT_EQ(ThresholdCommand(s), "!A0700FFFFFD123456");
  d.thresholdChannel = 1;
  EXPECT_EQ(ThresholdCommand(s), "!A0601FFFFFD123456");

  // Not on a threshold: the start mode itself, power saving cleared, mode bits added.
  d.startMode = kStartNow;
  d.powerKeptOn = true;
  d.sixHzMode = true;
  EXPECT_EQ(ThresholdCommand(s), "!AC101FFFFFD123456");
  EXPECT_FALSE(d.powerSaving);

  // A newer logger without conventional thresholding is not sent "!A".
  s.logger.microchipLogger = true;
  EXPECT_EQ(ThresholdCommand(s), "");
}

// Each verified operation against a logger that echoes something else.
TEST(SetupCommands, EveryVerifiedOperationReportsAWrongEcho) {
  struct Case {
    int op;
    const char* query;
    const char* wrongEcho;
    const char* message;
  };
  const Case cases[] = {
      // 0x2C00 readings: the echo holds the sent "C00" but not the sent "3C00".
      {kSetupAveraging, "X", "2C00BST", "Averaging length set incorrectly."},
      {kSetupStartCharacteristic, "!2", "00000000STC", "Start characteristic set incorrectly."},
      {kSetupRate, "!5", "02RAT", "High sampling rate set incorrectly."},
      {kSetupWave, "!7", "0004040000WAV", "Wave parameters set incorrectly."},
      {kSetupHeight, "!Z", "000000000000F03FLHT", "Logger height set incorrectly."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    test::ScriptedRig rig;
    ASSERT_TRUE(rig.OpenAt(19200));
    AppState& s = rig.state;
    s.logger.microchipLogger = true;
    s.logger.averaging = 1;
    s.logger.commands12Level = 1;
    s.logger.rates124Hz = true;
    DeploymentSettings& d = s.deployment;
    d.startMode = kStartNow;
    d.averagingEnabled = true;
    d.averagingPeriod = 10;
    d.burstRate = 6;  // "!406"; also makes the averaging 60 readings
    d.waveEnabled = true;
    d.burstSamples = 2048;
    d.burstPeriod = MakeClock(4, 0, 0);
    d.loggerHeight = 0.5;
    rig.line.On(c.query, c.wrongEcho);
    SetupVerdict verdict;
    EXPECT_EQ(SendSetupCommand(s, c.op, &verdict), 0);
    EXPECT_TRUE(rig.ui.boxes.empty());  // the verdict is the caller's to report
    EXPECT_EQ(verdict.message, std::string(c.message) + "\nTry again.\nContact TMV if the problem persists.");
    EXPECT_TRUE(verdict.failed);
    EXPECT_TRUE(verdict.closeSetup);
    // Op 28 leaves the rerun to its caller.
    EXPECT_EQ(verdict.rerunSetup, c.op != kSetupStartCharacteristic);
  }
}

}  // namespace
}  // namespace tmv
