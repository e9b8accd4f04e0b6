// Deployment validation, estimates, thresholding, tide-and-wave rules and the
// Setup dialog's confirmations, against hand-worked values.
#include <gtest/gtest.h>

#include <cmath>

#include "deployment/BurstSetup.h"
#include "deployment/DateDialog.h"
#include "deployment/DeploymentValidation.h"
#include "deployment/SetupDialog.h"
#include "deployment/SetupSimulation.h"
#include "deployment/Thresholding.h"
#include "deployment/UsageEstimate.h"
#include "link/Connection.h"
#include "model/Capabilities.h"
#include "model/Conversion.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

const LoggerTime kClock{2024, 3, 0, 10, 12, 0, 0, 0};

struct Bench {
  VirtualClock clock;
  ScriptedUserInterface ui;
  sim::LoggerEmulator emulator{sim::ProfileByName("QN-760"), kClock};
  sim::EmulatedSerialSystem serial{emulator, clock};
  AppState state{serial, clock, ui};
  SetupPanel panel;
  Bench() {
    LoggerInfo& l = state.logger;
    l.model = "QN-730";
    l.channelCount = 1;
    l.channelTypes[0] = 'P';
    DeploymentSettings& d = state.deployment;
    d.loggerClock = kClock;
    d.samplingPeriod = MakeClock(0, 0, 1);
    d.averagingEnabled = false;
    panel.simulation = true;
  }
};

TEST(DeploymentValidation, CodesAtTheirBoundaries) {
  Bench b;
  DeploymentSettings& d = b.state.deployment;
  d.startTime = kClock;  // equal to the logger clock
  d.endTime = AddSeconds(kClock, 100);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kStartNotAfterClock);
  EXPECT_EQ(b.panel.message.text, "Error: Start time less than or equal to Logger time.");
  EXPECT_FALSE(b.panel.enableAllowed);
  d.startTime = AddSeconds(kClock, 1);
  d.endTime = d.startTime;
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kStartNotBeforeEnd);
  // Start now: the start is not checked, an end before the clock is.
  d.startMode = kStartNow;
  d.startTime = AddSeconds(kClock, -50);
  d.endTime = AddSeconds(kClock, -1);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kEndBeforeClock);
  EXPECT_EQ(b.panel.message.text, "Error: End time before the current time.");
  d.endTime = AddSeconds(kClock, 60);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
  EXPECT_TRUE(b.panel.enableAllowed);
}

TEST(DeploymentValidation, MemoryCapacityEdgeOpensTooManySamplesWithItsSuggestion) {
  Bench b;  // one channel, 653,984 readings, 1 s period
  DeploymentSettings& d = b.state.deployment;
  d.startTime = AddSeconds(kClock, 1);
  d.endTime = AddSeconds(d.startTime, 653984);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
  EXPECT_FALSE(b.panel.tooManySamples);
  d.endTime = AddSeconds(d.startTime, 653985);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
  ASSERT_TRUE(b.panel.tooManySamples);
  EXPECT_FALSE(b.panel.enableAllowed);  // cannot be enabled until one of the fixes is taken
  const TooManySamplesDialog& t = *b.panel.tooManySamples;
  EXPECT_NE(t.text.find("or the Sampling period to 00:00:02."), std::string::npos) << t.text;
  EXPECT_TRUE(t.samplingPeriodButtonVisible);
  t.AcceptEndTime(d);
  EXPECT_EQ(SecondsFrom(d.startTime, d.endTime), 653983);  // (M - 1) x P
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
  EXPECT_FALSE(b.panel.tooManySamples);
}

TEST(DeploymentValidation, MinimumPeriodsWithAveragingAndThePeriodCodes) {
  Bench b;
  LoggerInfo& l = b.state.logger;
  l.channelCount = 3;
  l.latencyMs = 300;
  l.readingTimeMs = 200;
  DeploymentSettings& d = b.state.deployment;
  d.averagingEnabled = true;
  d.averagingPeriod = 10;
  // (200 + 60 + (10*6-1)*167) and (60 + 300 + 170 + 200 + 9853) ms.
  const MinimumPeriods m = ComputeMinimumPeriods(d, l);
  EXPECT_EQ(m.poweredMs, 10113);
  EXPECT_EQ(m.powerCycledMs, 10583);
  EXPECT_EQ(m.poweredSeconds, 11);
  EXPECT_EQ(m.powerCycledSeconds, 11);
  d.startTime = AddSeconds(kClock, 10);
  d.endTime = AddSeconds(kClock, 86400);
  d.samplingPeriod = MakeClock(0, 0, 10);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kSamplingShorterThanMinimum);
  d.samplingPeriod = MakeClock(0, 0, 5);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kSamplingShorterThanAveraging);
  d.samplingPeriod = MakeClock(0, 0, 11);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
  // 00:00:00 counts as a whole day.
  d.samplingPeriod = MakeClock(0, 0, 0);
  EXPECT_EQ(PeriodSeconds(d.samplingPeriod), 86400);
  EXPECT_EQ(ValidateDeployment(b.state, b.panel, true), kDeploymentValid);
}

TEST(DeploymentValidation, ThresholdingMovesTheEndAYearOnAndSaysNoEstimate) {
  Bench b;
  DeploymentSettings& d = b.state.deployment;
  d.startMode = kStartAbove;
  b.panel.setupOpen = true;
  EXPECT_EQ(RevalidateAndEstimate(b.state, b.panel), kDeploymentValid);
  EXPECT_EQ(d.endTime.year, 2025);
  EXPECT_EQ(b.panel.message.text,
            "When set for thresholding, it is not possible to estimate the memory or battery usage");
}

// Older multi-channel logger: QN-730 with C, T, P; 4 Meg (M = 1,300,000 / 3 = 433,333);
// 60 s for one day (D = 86400). Memory 86400*100/(433333*60) = 0.332 %.
// Current 5 + 4 (C) + 1 (T) + 1 (P) = 11 mA; S = 1440, on-time 300 + 200 ms;
// charge 86400*0.03 + 1440*500*11/1000 = 2592 + 7920 = 10512 mAs = 2.92 mAh.
TEST(UsageEstimates, ClassicModelMultiChannel) {
  LoggerInfo l;
  l.model = "QN-730";
  l.memory4Meg = true;
  l.channelCount = 3;
  l.channelTypes[0] = 'C';
  l.channelTypes[1] = 'T';
  l.channelTypes[2] = 'P';
  l.latencyMs = 300;
  l.readingTimeMs = 200;
  DeploymentSettings d;
  d.startTime = kClock;
  d.endTime = AddSeconds(kClock, 86400);
  d.samplingPeriod = MakeClock(0, 1, 0);
  const UsageEstimate e = EstimateUsage(d, l);
  EXPECT_NEAR(e.memoryPercent, 0.3323, 1e-3);
  EXPECT_NEAR(e.batteryMah, 2.92, 1e-3);
  EXPECT_EQ(e.text, "Estimates:\tmemory usage is 0.3%\n\t\tbattery usage is 3mAH.");
  EXPECT_EQ(e.icon, MessageIcon::None);
}

// KM-3170 (family 0, 12 mA) powered between samples for 365 days at 60 s:
// memory 31,536,000*100/(653,984*60) = 80.37 %; battery 31,536,000*12/3600 = 105,120 mAh.
TEST(UsageEstimates, ClassicModelOverCapacityAndThermistorStrings) {
  LoggerInfo l;
  l.model = "KM-3170";
  DeploymentSettings d;
  d.powerKeptOn = true;
  d.startTime = kClock;
  d.endTime = AddSeconds(kClock, 31536000);
  d.samplingPeriod = MakeClock(0, 1, 0);
  const UsageEstimate e = EstimateUsage(d, l);
  EXPECT_NEAR(e.memoryPercent, 80.368, 1e-2);
  EXPECT_NEAR(e.batteryMah, 105120.0, 1.0);
  EXPECT_TRUE(e.exceedsCapacity);
  EXPECT_EQ(e.icon, MessageIcon::Information);
  EXPECT_NE(e.text.find("This exceeds the nominal capacity."), std::string::npos);

  // 24 thermistors are one string (8 mA); 17 are a 16-string and one single (9 mA); 7 are single.
  LoggerInfo q;
  q.channelCount = 24;
  q.channelTypes.fill('T');
  EXPECT_EQ(ChannelCurrentMa(q), 8.0f);
  q.channelCount = 17;
  EXPECT_EQ(ChannelCurrentMa(q), 9.0f);
  q.channelCount = 7;
  EXPECT_EQ(ChannelCurrentMa(q), 7.0f);
}

// KM-3170 Microchip, one channel, latency 120 ms, 60 s for one day:
// memory 8,380,386/3 = 2,793,462 samples = 167,607,720 s; 8,640,000/that = 0.0515 %.
// charge 86400*0.00003 + 1440*0.00112 = 2.592 + 1.6128 = 4.2048; x 0.2777778 = 1.168 mAh;
// with RS-485 + 86400*0.00069444446 = 60.0 -> 61.17 mAh.
TEST(UsageEstimates, NewGenerationModelWithRs485Line) {
  LoggerInfo l;
  l.model = "KM-3170";
  l.microchipLogger = true;
  l.latencyMs = 120;
  l.externalDataConnector = true;
  DeploymentSettings d;
  d.startTime = kClock;
  d.endTime = AddSeconds(kClock, 86400);
  d.samplingPeriod = MakeClock(0, 1, 0);
  const UsageEstimate e = EstimateUsage(d, l);
  ASSERT_TRUE(e.newGeneration);
  EXPECT_NEAR(e.memoryPercent, 0.05155, 1e-4);
  EXPECT_NEAR(e.batteryMah, 1.168, 1e-3);
  EXPECT_NEAR(e.batteryRs485Mah, 61.168, 1e-2);
  EXPECT_EQ(e.text,
            "Estimates:\tmemory usage is 0.1%\n\t\tbattery usage is 1mAH.\n\t\t(battery usage with RS485 serial "
            "protocol is 61mAH)");
}

// 1 s for 20,000,000 s: charge 20e6 * (0.00003 + 0.00135) = 27,600 -> 7,666.7 mAh.
TEST(UsageEstimates, YeModelsAllowFourCCells) {
  LoggerInfo l;
  l.model = "KVM-3170-YE";
  l.microchipLogger = true;
  DeploymentSettings d;
  d.startTime = kClock;
  d.endTime = AddSeconds(kClock, 20000000);
  d.samplingPeriod = MakeClock(0, 0, 1);
  UsageEstimate e = EstimateUsage(d, l);
  EXPECT_NEAR(e.batteryMah, 7666.7, 2.0);
  EXPECT_NE(e.text.find("when using 4 C-cells in this logger."), std::string::npos);
  l.model = "KVM-3170";
  e = EstimateUsage(d, l);
  EXPECT_NE(e.text.find("This exceeds the nominal capacity."), std::string::npos);
  EXPECT_EQ(e.text.find("C-cells"), std::string::npos);
}

TEST(Thresholds, RawCountMeetsTheForwardConversion) {
  LoggerInfo l;
  l.channelCount = 2;
  l.channelTypes[0] = 'C';
  l.channelTypes[1] = 'T';
  CalibrationSet c;
  c.coefficients[0] = {-5.0, 100.0, 3.0, 0.0};
  c.coefficients[1] = DefaultCoefficients('T');
  for (double value : {-2.0, 12.5, 60.0}) {
    const uint32_t raw = ThresholdToRaw(l, c, value, 0);
    const int32_t signedRaw = static_cast<int32_t>(raw);
    EXPECT_LE(ConvertReading(l, c, signedRaw, 0), value);
    EXPECT_GT(ConvertReading(l, c, signedRaw + 1, 0), value);
  }
  const uint32_t raw = ThresholdToRaw(l, c, 12.5, 1);
  EXPECT_NEAR(ConvertReading(l, c, static_cast<int32_t>(raw), 1), 12.5, 1e-3);
  EXPECT_DOUBLE_EQ(RoundUpCents(12.341), 12.35);
  EXPECT_DOUBLE_EQ(RoundUpCents(12.34), 12.34);
  c.coefficients[0] = {0.0, 100.0, 0.0, 0.0};
  const ThresholdLimits limits = ThresholdLimitsFor(l, c, 0);
  EXPECT_DOUBLE_EQ(limits.maximum, 79.99);  // 100 x 0xCCCCCC / 2^24 = 79.999995
  EXPECT_DOUBLE_EQ(ThresholdLimitsFor(l, c, 1).maximum, 100.0);
}

TEST(Thresholds, HysteresisCorrectionsAndCount) {
  Bench b;
  DeploymentSettings& d = b.state.deployment;
  d.samplingPeriod = MakeClock(0, 0, 10);
  d.hysteresisSeconds = 25;
  EXPECT_EQ(CheckHysteresis(b.state), 2u);
  EXPECT_EQ(d.hysteresisSeconds, 20u);
  EXPECT_EQ(b.ui.boxes.back().caption, "Hysteresis setting");
  d.hysteresisSeconds = 5;
  EXPECT_EQ(CheckHysteresis(b.state), 1u);
  EXPECT_EQ(d.hysteresisSeconds, 10u);
  d.hysteresisSeconds = 700000;
  CheckHysteresis(b.state);
  EXPECT_EQ(d.hysteresisSeconds, 65530u);
  EXPECT_NE(b.ui.boxes.back().text.find("inserted into the configuration."), std::string::npos);
  d.sixHzMode = true;
  d.hysteresisSeconds = 20000;
  EXPECT_EQ(CheckHysteresis(b.state), 10922u * 6);
  EXPECT_EQ(d.hysteresisSeconds, 10922u);
}

TEST(Thresholds, PowerSavingPeriodMinimum) {
  Bench b;
  LoggerInfo& l = b.state.logger;
  l.channelCount = 3;
  l.latencyMs = 300;
  l.readingTimeMs = 200;
  DeploymentSettings& d = b.state.deployment;
  d.samplingPeriod = MakeClock(0, 1, 0);
  d.thresholdTestPeriod = MakeClock(0, 0, 1);
  EXPECT_TRUE(CheckPowerSavingPeriod(b.state, b.panel.message));
  l.latencyMs = 1000;
  EXPECT_FALSE(CheckPowerSavingPeriod(b.state, b.panel.message));
  EXPECT_EQ(ClockSeconds(d.thresholdTestPeriod), 2u);
  EXPECT_EQ(b.panel.message.icon, MessageIcon::Information);
}

TEST(Thresholds, StartListNoThresholdingStartsNow) {
  Bench b;
  b.state.logger.conventionalThresholding = true;
  EXPECT_EQ(StartListEntries(b.state.logger).size(), 3u);
  b.state.deployment.powerSaving = true;
  ChooseStartEntry(b.state, 0);
  EXPECT_EQ(b.state.deployment.startMode, kStartNow);
  EXPECT_FALSE(b.state.deployment.powerSaving);
  ChooseStartEntry(b.state, 1);
  EXPECT_EQ(b.state.deployment.startMode, kStartAbove);
}

TEST(BurstPeriodRules, EdgeCases) {
  Bench b;
  DeploymentSettings& d = b.state.deployment;
  d.waveEnabled = true;
  d.burstSamples = 2048;
  d.burstRate = 4;
  d.samplingPeriod = MakeClock(0, 1, 0);
  d.previousTidePeriodSeconds = 60;
  d.burstPeriod = MakeClock(1, 0, 0);
  AdjustBurstPeriod(b.state, 0);
  EXPECT_EQ(ClockSeconds(d.samplingPeriod), 128u);  // 512 s burst: at most 4 tide readings
  ASSERT_EQ(b.ui.boxes.size(), 1u);
  EXPECT_EQ(b.ui.boxes.back().caption, "Time to complete Burst and Sample Period for Tide mismatch");
  // Fitted once, the tide period passes the same test again: nothing more is said.
  AdjustBurstPeriod(b.state, 1);
  AdjustBurstPeriod(b.state, -1);
  EXPECT_EQ(b.ui.boxes.size(), 1u);
  EXPECT_EQ(ClockSeconds(d.samplingPeriod), 128u);

  d.burstSamples = 512;
  d.previousTidePeriodSeconds = 600;
  d.samplingPeriod = MakeClock(0, 15, 0);
  d.burstPeriod = MakeClock(1, 0, 0);
  AdjustBurstPeriod(b.state, kTidePeriodChanged);
  EXPECT_EQ(ClockSeconds(d.burstPeriod), 5400u);

  d.burstSamples = 0;  // no burst to fit tide readings into
  d.samplingPeriod = MakeClock(0, 0, 7);
  d.previousTidePeriodSeconds = 7;
  d.burstPeriod = MakeClock(24, 1, 40);  // 86,500 s
  AdjustBurstPeriod(b.state, 0);
  EXPECT_EQ(ClockSeconds(d.burstPeriod), 86394u);
  AdjustBurstPeriod(b.state, 2);  // two tide periods shorter
  EXPECT_EQ(ClockSeconds(d.burstPeriod), 86380u);

  d.waveEnabled = false;
  d.burstPeriod = MakeClock(0, 0, 0);
  AdjustBurstPeriod(b.state, 0);
  EXPECT_EQ(ClockSeconds(d.burstPeriod), 0u);  // sent as !60000000000
}

TEST(WaveSetupChecks, BandwidthTextAndCodes) {
  Bench b;
  BeginSimulation(b.state, 2);  // KZM-5170
  DeploymentSettings& d = b.state.deployment;
  d.startMode = kStartAtTime;
  d.startTime = AddSeconds(kClock, 3600);
  d.endTime = AddSeconds(d.startTime, 86400);
  d.waveEnabled = true;
  d.burstSamples = 2048;
  d.burstRate = 4;
  d.samplingPeriod = MakeClock(0, 2, 8);
  d.burstPeriod = MakeClock(1, 4, 0);  // 3840 = 30 x 128
  d.meanWaterDepth = 10.0;
  d.loggerHeight = 1.0;
  EXPECT_EQ(CheckWaveSetup(b.state, b.panel), kDeploymentValid) << b.panel.message.text;
  EXPECT_EQ(b.panel.bandwidthText,
            "Wave analysis bandwidth: 0.0020 to 0.2244 (Hz) - Wave periods 4.46 to 512.00 (secs)");
  d.meanWaterDepth = 5.0;
  d.loggerHeight = 5.0;
  EXPECT_EQ(CheckWaveSetup(b.state, b.panel), kWaveSetupError);
  EXPECT_NE(b.panel.message.text.find("at or above the water surface"), std::string::npos);
  d.loggerHeight = 1.0;
  d.burstPeriod = MakeClock(0, 2, 8);  // 128 s < 512 s burst
  EXPECT_EQ(CheckWaveSetup(b.state, b.panel), kWaveSetupError);
  EXPECT_EQ(b.panel.message.text, "Time to take wave burst is longer than wave period.");
  d.waveEnabled = false;
  EXPECT_EQ(CheckWaveSetup(b.state, b.panel), kDeploymentValid);
  EXPECT_EQ(b.panel.message.text, "The wave sampling has not been selected.");
  EXPECT_TRUE(b.panel.bandwidthText.empty());
}

TEST(DatePicker, AveragingClampsAndDiscardRestores) {
  Bench b;
  b.state.logger.averaging = 1;
  DeploymentSettings& d = b.state.deployment;
  d.startTime = AddSeconds(kClock, 60);
  d.endTime = AddSeconds(kClock, 86400);
  d.samplingPeriod = MakeClock(4, 0, 0);
  DateDialog picker;
  picker.Open(b.state, b.panel);
  picker.SetAveraging(b.state, b.panel, true);
  ASSERT_TRUE(picker.SetAveragingText(b.state, b.panel, "04:00:00"));
  EXPECT_EQ(picker.averagingText, "03:00:00");
  EXPECT_EQ(d.averagingPeriod, 10800);
  picker.SetAveragingText(b.state, b.panel, "00:00:00");
  EXPECT_EQ(d.averagingPeriod, 1);
  ASSERT_TRUE(picker.SetPeriodText(b.state, b.panel, "00:00:00"));
  EXPECT_EQ(d.samplingPeriod.hour, 24);  // a whole day
  picker.Discard(b.state);
  EXPECT_EQ(d.samplingPeriod.hour, 4);
  EXPECT_FALSE(d.averagingEnabled);
}

TEST(SetupSimulationFlow, SimulatedLoggerIsAssessedButNeverEnabled) {
  Bench b;
  SimulationChoiceDialog choice;
  choice.selected = 5;  // QN-760 or QNQ-760
  ASSERT_TRUE(choice.NeedsChannelChoice());
  QnSimulationDialog channels;
  ASSERT_TRUE(channels.AddChannel('F'));
  EXPECT_FALSE(channels.AddChannel('!'));
  BeginSimulation(b.state, choice.selected, channels.channels);
  EXPECT_EQ(b.state.logger.channelCount, 4);
  EXPECT_TRUE(b.state.shell.simulation);
  SetupDialog setup;
  setup.OpenSimulated(b.state);
  EXPECT_TRUE(setup.panel.enableAllowed) << setup.panel.message.text;
  EXPECT_FALSE(setup.enableButtonEnabled);
  EXPECT_NE(setup.panel.message.text.find("Estimates:"), std::string::npos);
  EXPECT_EQ(setup.startList.size(), 3u);
  EXPECT_EQ(setup.EnableLogging(b.state, nullptr).action, SetupAction::None);
  EXPECT_TRUE(b.ui.boxes.empty());
}

struct ConnectedSetup {
  EmulatedRig rig{"QN-760"};
  SetupDialog setup;
  explicit ConnectedSetup() {
    EXPECT_EQ(ConnectLogger(rig.state), 1);
    AssessCapabilities(rig.state);
  }
  void Deploy(int skewSeconds) {
    DeploymentSettings& d = rig.state.deployment;
    d.hostClockAtRead = AddSeconds(d.loggerClock, skewSeconds);
    d.startMode = kStartAtTime;
    d.startTime = AddSeconds(d.loggerClock, 3600);
    d.endTime = AddSeconds(d.startTime, 86400);
    d.samplingPeriod = MakeClock(0, 10, 0);
    d.averagingEnabled = false;
    d.realTimeOutput = 0;
    setup.loggerStatus = 0;
  }
};

TEST(EnableConfirmations, ReadsSettingsAndAsksAboutClockSkewAboveHalfAnHour) {
  ConnectedSetup s;
  ASSERT_TRUE(s.setup.Open(s.rig.state));
  EXPECT_FALSE(s.setup.loggerStatusText.empty());
  EXPECT_FALSE(s.setup.memoryUsageText.empty());
  s.Deploy(1800);
  // The questions are the caller's to answer; each is recorded.
  std::vector<Question> asked;
  bool answer = true;
  const Confirm confirm = [&](const Question& q) {
    asked.push_back(q);
    return answer;
  };
  EnableDecision d = s.setup.EnableLogging(s.rig.state, confirm);
  for (const Question& q : asked) EXPECT_NE(q.caption, "Setup Logger");
  EXPECT_TRUE(d.action == SetupAction::EraseAndProgram || d.askContainsData);

  s.Deploy(1801);
  asked.clear();
  answer = false;
  d = s.setup.EnableLogging(s.rig.state, confirm);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().caption, "Setup Logger");
  EXPECT_EQ(d.action, SetupAction::None);
  // A no is the person's choice, said as such; nothing asked through the interface.
  EXPECT_EQ(d.refusal, Outcome::Of(OutcomeKind::Cancelled, "Not enabled."));
  EXPECT_TRUE(s.rig.ui.boxes.empty());
}

TEST(EnableConfirmations, StillCollectingYesStopsFirstAndStopButtonStops) {
  ConnectedSetup s;
  ASSERT_TRUE(s.setup.Open(s.rig.state));
  s.Deploy(0);
  s.setup.loggerStatus = 2;
  const Confirm yes = [](const Question&) { return true; };
  EnableDecision d = s.setup.EnableLogging(s.rig.state, yes);
  EXPECT_TRUE(d.stopLoggerFirst);
  s.setup.ShowStopLogger(s.rig.state, false);
  d = s.setup.EnableLogging(s.rig.state, yes);
  EXPECT_EQ(d.action, SetupAction::StopLogger);
  EXPECT_TRUE(d.closeSetup && d.rerunSetup);
  EXPECT_EQ(ContainsDataDialog::Choose(ContainsDataDialog::Button::ContinueToAdd), SetupAction::ContinueToAdd);
  EXPECT_EQ(ContainsDataDialog::Choose(ContainsDataDialog::Button::Cancel), SetupAction::None);
}

TEST(SetupReadBack, AveragingLengthIsDividedByTheRate) {
  LoggerInfo l;
  EXPECT_EQ(AveragingSecondsFromLength(l, 2, 60), 10);  // six a second
  l.rates124Hz = true;
  EXPECT_EQ(AveragingSecondsFromLength(l, 2, 40), 10);  // 4 Hz without waves
  l.waves = true;
  EXPECT_EQ(AveragingSecondsFromLength(l, 2, 40), 20);
  EXPECT_EQ(AveragingSecondsFromLength(l, 4, 3), 0);
}

}  // namespace
}  // namespace tmv
