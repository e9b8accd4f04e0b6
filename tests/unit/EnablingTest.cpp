// The erase-program-enable sequence, continue-to-add, stop, suspend, resume
// and clock synchronisation against the emulated loggers on the virtual clock.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "shell/Catalogue.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"

namespace tmv {
namespace {

constexpr const char* kRetry = "\nTry again.\nContact TMV if the problem persists.";

// An emulated logger connected and assessed, with a work directory for the log.
struct EnableRig : test::EmulatedRig {
  explicit EnableRig(const std::string& profile) : test::EmulatedRig(profile) {
    char pattern[] = "/tmp/tmv-enable-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "";
    state.directories.work = dir;
    EXPECT_EQ(ConnectLogger(state), 1);
    AssessCapabilities(state);
    EXPECT_EQ(CommGet(state, 16), 1);
    // A plain deployment: start in an hour, a day long, every ten minutes.
    DeploymentSettings& d = state.deployment;
    d.loggerClock = emulator.ClockAt(clock.Milliseconds());
    d.startTime = AddSeconds(d.loggerClock, 3600);
    d.startTime.milliseconds = 0;
    d.endTime = AddSeconds(d.startTime, 86400);
    d.samplingPeriod = MakeClock(0, 10, 0);
    d.averagingEnabled = false;
    d.averagingPeriod = 0;
  }
  ~EnableRig() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }

  // Runs the whole procedure, ticking once a second while the logger erases.
  EnableRun Enable(int maxTicks = 400) {
    EnableRun run;
    BeginEraseAndProgram(state, run);
    for (int tick = 0; run.erasing && tick < maxTicks; ++tick) {
      clock.Advance(1000);
      EnableTick(state, run);
      ++ticks;
    }
    return run;
  }
  bool Sent(const std::string& command) const {
    const auto& log = emulator.CommandLog();
    return std::find(log.begin(), log.end(), command) != log.end();
  }
  // Position of a command in the log, or -1.
  long Position(const std::string& command) const {
    const auto& log = emulator.CommandLog();
    const auto it = std::find(log.begin(), log.end(), command);
    return it == log.end() ? -1 : it - log.begin();
  }
  std::string Log() const {
    std::ifstream in(dir + "/log/" + Format("%06d", state.logger.serialNumber) + ".log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void FillMemory() { emulator.RecordSamples(50, clock.Milliseconds()); }

  std::string dir;
  int ticks = 0;
};

void ExpectEnabled(EnableRig& rig, const EnableRun& run) {
  EXPECT_EQ(run.outcome, 1);
  EXPECT_FALSE(run.running);
  EXPECT_TRUE(run.closeSetup);
  EXPECT_FALSE(run.rerunSetup);
  EXPECT_TRUE(rig.ui.boxes.empty()) << rig.ui.boxes[0].text;
  EXPECT_EQ(rig.profile().status, 1);
  const DeploymentSettings& d = rig.state.deployment;
  const sim::Deployment& held = rig.profile().deployment;
  EXPECT_EQ(ToTicks(held.startTime), ToTicks(d.startTime));
  EXPECT_EQ(ToTicks(held.endTime), ToTicks(d.endTime));
  EXPECT_EQ(held.periodMinutes, 10);
  EXPECT_NE(rig.Log().find("Logging start:               " + TimeToDisplayText(d.startTime)), std::string::npos);
  EXPECT_NE(rig.ui.LastStatus().find(": 'Enabled' to start at " + TimeToDisplayText(d.startTime)),
            std::string::npos);
  ASSERT_TRUE(rig.state.batch.settings.has_value());
}

TEST(EnablingSequence, NewerMultiChannelLoggerIsErasedProgrammedVerifiedAndEnabled) {
  EnableRig rig("QN-760");
  rig.FillMemory();
  rig.profile().eraseMs = 20000;  // deaf while it erases
  DeploymentSettings& d = rig.state.deployment;
  d.averagingEnabled = true;
  d.averagingPeriod = 10;
  rig.state.logger.averaging = 1;
  d.optionFlags = kOptionSamplingLed;
  const EnableRun run = rig.Enable();
  ExpectEnabled(rig, run);
  EXPECT_GT(rig.ticks, 5);  // waited for the erase rather than programming a busy logger
  // Unlock, erase, then the mode before the schedule, and "P" last.
  EXPECT_LT(rig.Position("!U01"), rig.Position("N"));
  EXPECT_LT(rig.Position("N"), rig.Position("W3C00"));
  EXPECT_LT(rig.Position("W3C00"), rig.Position(StartCharacteristicCommand(rig.state)));
  EXPECT_LT(rig.Position(StartCharacteristicCommand(rig.state)), rig.Position(StartTimeCommand(rig.state)));
  EXPECT_LT(rig.Position(StartTimeCommand(rig.state)), rig.Position(EndTimeCommand(rig.state)));
  EXPECT_LT(rig.Position(EndTimeCommand(rig.state)), rig.Position("K001000"));
  EXPECT_LT(rig.Position("K001000"), rig.Position("P"));
  const sim::Deployment& held = rig.profile().deployment;
  EXPECT_EQ(held.averaging[0], 0x3C);
  EXPECT_EQ(held.averaging[1], 0x00);
  EXPECT_EQ(held.startCharacteristic[1] & kOptionSamplingLed, rig.state.logger.oemSupport ? kOptionSamplingLed : 0u);
}

TEST(EnablingSequence, OlderMultiChannelLoggerIsStoppedFirstAndGetsThresholdAndRealTimeCommands) {
  EnableRig rig("QN-730");
  rig.FillMemory();
  const EnableRun run = rig.Enable();
  ExpectEnabled(rig, run);
  EXPECT_FALSE(rig.Sent("!U01"));  // no unlock on the older loggers
  // Data in the first 64 KiB block of the data area: two seconds at 50 % a
  // second, and more while the logger still reports its erase under way.
  EXPECT_DOUBLE_EQ(run.progressStep, 50.0);
  EXPECT_GE(rig.ticks, 3);
  EXPECT_LE(rig.ticks, 5);
  EXPECT_LT(rig.Position("!9"), rig.Position("N"));
  EXPECT_TRUE(rig.Sent(ThresholdCommand(rig.state)));
  if (rig.state.logger.externalDataConnector) {
    EXPECT_TRUE(rig.Sent("!B00"));
  }
}

TEST(EnablingSequence, SingleChannelRecorderWithEmptyMemoryIsProgrammedWithoutErase) {
  EnableRig rig("KM-3170");
  DeploymentSettings& d = rig.state.deployment;
  d.samplingPeriod = MakeClock(24, 0, 0);
  d.endTime = AddSeconds(d.startTime, 30 * 86400);
  const EnableRun run = rig.Enable();
  EXPECT_EQ(run.outcome, 1);
  EXPECT_EQ(rig.ticks, 0);
  EXPECT_FALSE(rig.Sent("N"));
  EXPECT_TRUE(rig.Sent("K240000"));  // read back as 240000CSP
  EXPECT_FALSE(rig.Sent(ThresholdCommand(rig.state)));
  EXPECT_EQ(rig.profile().deployment.periodHours, 24);
  EXPECT_EQ(rig.profile().status, 1);
}

TEST(EnablingSequence, TideAndWaveRecorderGetsItsRateBurstAndHeightVerified) {
  EnableRig rig("KZM-5170");
  ASSERT_TRUE(rig.state.logger.waves);
  ASSERT_TRUE(rig.state.logger.rates124Hz);
  rig.FillMemory();
  DeploymentSettings& d = rig.state.deployment;
  d.averagingEnabled = true;
  d.averagingPeriod = 10;
  d.burstRate = 4;
  d.waveEnabled = true;
  d.burstSamples = 2048;
  d.burstPeriod = MakeClock(4, 0, 0);
  d.loggerHeight = 0.5;
  const EnableRun run = rig.Enable();
  ExpectEnabled(rig, run);
  EXPECT_TRUE(rig.Sent("W2800"));  // ten seconds at 4 Hz
  EXPECT_LT(rig.Position("!60008040000"), rig.Position("!Y000000000000E03F"));
  EXPECT_LT(rig.Position("!Y000000000000E03F"), rig.Position("!404"));
  const sim::Deployment& held = rig.profile().deployment;
  EXPECT_EQ(held.burstRate, 4);
  EXPECT_EQ(held.waveArguments, "0008040000");
  EXPECT_EQ(held.height[7], 0x3F);
  EXPECT_EQ(held.height[6], 0xE0);
  EXPECT_EQ(held.averaging[0], 0x28);
  EXPECT_NE(rig.Log().find("Wave sampling enabled: rate 4Hz, length 2048, period 04:00:00"), std::string::npos);
  // What the tool lists as read back: every verified setting in order, then the status.
  const std::vector<std::string> expected{"Averaging length", "Start characteristic", "Wave parameters",
                                          "Logger height",    "High sampling rate",   "Start time",
                                          "End time",         "Period",               "Logger status: Enabled"};
  EXPECT_EQ(run.verified, expected);
}

TEST(EnablingSequence, StartNowIsRoundedToTheNextTenSecondsAtLeastTenAhead) {
  for (const auto& [second, expected] : {std::pair{3, 20}, std::pair{0, 10}}) {
    EnableRig rig("QN-760");
    AppState& s = rig.state;
    s.deployment.loggerClock = LoggerTime{2026, 3, 0, 4, 10, 0, static_cast<uint16_t>(second), 0};
    SendSetupCommand(s, kSetupSetClock);
    s.deployment.startMode = kStartNow;
    s.deployment.endTime = LoggerTime{2026, 4, 0, 4, 10, 0, 0, 0};
    EnableRun run;
    EXPECT_EQ(ProgramAndEnable(s, run), 1);
    EXPECT_EQ(s.deployment.startTime.minute, 0);
    EXPECT_EQ(s.deployment.startTime.second, expected);
    EXPECT_TRUE(rig.Sent(Format("L260304100%03d", expected)));
  }
}

TEST(EnablingSequence, AFailedEraseAsksAndErasesAgainOnYes) {
  EnableRig rig("QN-760");
  rig.FillMemory();
  rig.faults().eraseFails = true;  // every erase fails: "Yes", then "No"
  rig.ui.answers = {MessageAnswer::Yes, MessageAnswer::No};
  const EnableRun run = rig.Enable(1000);
  ASSERT_EQ(rig.ui.boxes.size(), 2u);
  EXPECT_EQ(rig.ui.boxes[0].text,
            "The logger status indicates that the logger failed to erase properly.\n\nTry to erase again?\n\n"
            "Contact TMV if the problem persists.");
  EXPECT_EQ(rig.ui.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(rig.ui.boxes[0].defaultAnswer, MessageAnswer::No);
  EXPECT_EQ(std::count(rig.emulator.CommandLog().begin(), rig.emulator.CommandLog().end(), "!U01"), 2);
  EXPECT_EQ(run.outcome, 0);
  EXPECT_FALSE(rig.Sent("P"));
}

TEST(EnablingSequence, AnEraseThatNeverCompletesIsReportedAndLoggedNotEnabled) {
  EnableRig rig("QN-760");
  rig.FillMemory();
  rig.faults().eraseFails = true;
  rig.ui.answers.push_back(MessageAnswer::No);
  const EnableRun run = rig.Enable();
  EXPECT_EQ(run.outcome, 0);
  EXPECT_TRUE(run.closeSetup);
  EXPECT_TRUE(run.rerunSetup);
  EXPECT_FALSE(rig.Sent("P"));
  EXPECT_NE(rig.profile().status, 1);
  EXPECT_NE(rig.Log().find("Logger setup FAILED"), std::string::npos);
  EXPECT_NE(rig.Log().find("failed to erase"), std::string::npos);
}

TEST(EnablingSequence, ALoggerThatDoesNotAnswerTheStatusQueryIsNotProgrammed) {
  EnableRig rig("QN-760");
  rig.faults().silent = true;
  EnableRun run;
  EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
  EXPECT_EQ(run.outcome, 0);
  EXPECT_TRUE(run.rerunSetup);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
  EXPECT_EQ(OutcomeText(run.result), std::string("Unable to communicate with logger.") + kRetry);
  EXPECT_FALSE(rig.Sent("P"));
  EXPECT_NE(rig.Log().find("Logger setup FAILED"), std::string::npos);
}

// Read-backs the emulator answers rightly only for what it was sent; a
// scripted logger that echoes something else for each schedule read-back.
struct ScriptedLogger : test::ScriptedRig {
  ScriptedLogger() {
    char pattern[] = "/tmp/tmv-enable-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "";
    state.directories.work = dir;
    OpenAt(19200);
    state.logger.connected = true;
    state.logger.model = "KM-3170";
    state.logger.firmwareVersion = 2.5f;
    state.logger.serialNumber = 4321;
    DeploymentSettings& d = state.deployment;
    d.startTime = LoggerTime{2027, 1, 0, 15, 8, 0, 0, 0};
    d.endTime = LoggerTime{2027, 2, 0, 15, 8, 0, 0, 0};
    d.samplingPeriod = MakeClock(0, 10, 0);
    line.On("T", "Logger status 00");
    line.On("D", "270115080000CST");
    line.On("E", "270215080000CET");
    line.On("C", "001000CSP");
  }
  ~ScriptedLogger() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  std::string dir;
};

TEST(EnablingSequence, EachScheduleReadBackMismatchEndsTheSequenceWithItsMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"D", "Start time set incorrectly."}, {"E", "End time set incorrectly."}, {"C", "Period set incorrectly."}};
  for (const auto& [query, message] : cases) {
    SCOPED_TRACE(query);
    ScriptedLogger rig;
    // The logger holds a second off (or a minute off for the period).
    rig.line.rules.insert(rig.line.rules.begin(),
                          {query, {{std::string(query) == "C" ? "001100CSP" : (std::string(query) == "D"
                                                                                  ? "270115080001CST"
                                                                                  : "270215080001CET"),
                                    0}},
                           -1});
    rig.line.On("P", "Logger status 01");
    EnableRun run;
    EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
    EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
    EXPECT_EQ(OutcomeText(run.result), std::string(message) + kRetry);
    EXPECT_TRUE(run.rerunSetup);
    EXPECT_EQ(rig.line.CountWrites("P"), 0);
  }
}

TEST(EnablingSequence, ALoggerThatGoesSilentHalfWayIsToldByItsStepAndLogged) {
  ScriptedLogger rig;
  // It answers the status and the start, then nothing more.
  rig.line.rules.erase(std::remove_if(rig.line.rules.begin(), rig.line.rules.end(),
                                      [](const auto& r) { return r.command == "E" || r.command == "C"; }),
                       rig.line.rules.end());
  EnableRun run;
  EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
  EXPECT_EQ(OutcomeText(run.result), std::string("End time set incorrectly.") + kRetry);
  EXPECT_EQ(rig.line.CountWrites("P"), 0);
  EXPECT_EQ(run.failedStep, "End time set incorrectly.");
  std::ifstream in(rig.dir + "/log/004321.log");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Reason:                             End time set incorrectly."), std::string::npos);
}

TEST(EnablingSequence, EnableReplyDecidesTheOutcome) {
  {
    ScriptedLogger rig;
    rig.line.On("P", "Logger status 0B");
    EnableRun run;
    EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
    EXPECT_EQ(rig.ui.LastStatus(), "Logger status 0B: Memory Error");
    EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
    EXPECT_EQ(OutcomeText(run.result), "Logger has not been enabled.\nTry again.\nIf problem persists contact TMV.");
    EXPECT_TRUE(run.rerunSetup);
  }
  {
    ScriptedLogger rig;
    rig.line.On("P", "Logger started in mode 02");
    EnableRun run;
    EXPECT_EQ(ProgramAndEnable(rig.state, run), 1);
    EXPECT_EQ(rig.ui.LastStatus(), "Logger started in mode: Logging");
  }
  {
    ScriptedLogger rig;  // no reply at all
    EnableRun run;
    EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
    EXPECT_EQ(run.outcome, 0);
  }
}

TEST(EnablingSequence, WrongStatusBeforeProgrammingSendsNothing) {
  ScriptedLogger rig;
  rig.line.rules.insert(rig.line.rules.begin(), {"T", {{"Logger status 02", 0}}, -1});
  EnableRun run;
  EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
  EXPECT_EQ(OutcomeText(run.result), std::string("Logger status is incorrect.") + kRetry);
  EXPECT_EQ(rig.line.CountWrites(StartTimeCommand(rig.state)), 0);
}

TEST(EnablingSequence, AModeCommandEchoedWronglyLeavesTheLoggerNotEnabled) {
  ScriptedLogger rig;
  rig.state.logger.microchipLogger = true;
  rig.state.logger.averaging = 1;
  rig.state.deployment.averagingEnabled = true;
  rig.state.deployment.averagingPeriod = 10;
  rig.line.On("X", "3D00BST");
  rig.line.On("P", "Logger status 01");
  EnableRun run;
  EXPECT_EQ(ProgramAndEnable(rig.state, run), 0);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the caller shows the result
  EXPECT_EQ(OutcomeText(run.result), std::string("Averaging length set incorrectly.") + kRetry);
  EXPECT_EQ(rig.line.CountWrites("P"), 0);
  EXPECT_TRUE(run.rerunSetup);
  std::ifstream in(rig.dir + "/log/004321.log");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Reason:                             Averaging length set incorrectly."),
            std::string::npos);
}

TEST(LoggerRunningState, StopSuspendResumeAndContinueToAdd) {
  EnableRig rig("QN-760");
  EnableRun run;
  BeginEraseAndProgram(rig.state, run);
  ASSERT_EQ(run.outcome, 1);
  rig.clock.Advance(3 * 3600 * 1000);  // past the start: logging
  rig.emulator.ClockAt(rig.clock.Milliseconds());
  ASSERT_EQ(CommGet(rig.state, 9), 1);
  ASSERT_EQ(rig.state.query.loggerStatus, 2);

  EXPECT_EQ(SuspendLogger(rig.state), 1);
  EXPECT_EQ(rig.profile().status, 5);
  EXPECT_EQ(ResumeLogger(rig.state), 1);
  EXPECT_EQ(rig.ui.LastStatus(), "Logger resumed sampling");
  EXPECT_EQ(rig.profile().status, 2);

  rig.state.deployment.realTimeOutput = 1;
  EXPECT_EQ(StopLogger(rig.state), 1);
  EXPECT_EQ(rig.profile().status, 8);
  EXPECT_EQ(rig.state.deployment.realTimeOutput, 0);
  EXPECT_EQ(rig.state.deployment.realTimeBaudCode, 0u);

  // The stopped logger keeps its data and goes on logging.
  EnableRun more;
  EXPECT_EQ(ContinueToAdd(rig.state, more), 1);
  EXPECT_TRUE(more.closeSetup);
  EXPECT_NE(rig.Log().find("Resumed logging"), std::string::npos);
}

TEST(LoggerRunningState, NothingToResumeIsSaidAndALoggerThatWillNotResumeIsReportedAfterFiveRounds) {
  EnableRig rig("QN-760");  // erased: there is nothing to resume
  const auto resumes = [&] {
    return std::count(rig.emulator.CommandLog().begin(), rig.emulator.CommandLog().end(), "!R");
  };
  EXPECT_EQ(ResumeLogger(rig.state), 0);
  EXPECT_EQ(resumes(), 0);  // not sent five times for nothing
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "The logger is not suspended (Not Enabled): there is nothing to resume.");
  EXPECT_EQ(rig.ui.boxes[0].caption, "Resume");
  EnableRun run;
  EXPECT_EQ(ContinueToAdd(rig.state, run), 0);
  EXPECT_TRUE(run.rerunSetup);
  EXPECT_NE(rig.Log().find("Logger setup FAILED"), std::string::npos);
  // A suspended logger that does not hear "!R": five rounds, then the failure.
  rig.profile().status = 5;
  rig.faults().ignoreCommands = {"!R"};
  rig.ui.boxes.clear();
  EXPECT_EQ(ResumeLogger(rig.state), 0);
  EXPECT_EQ(resumes(), 5);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "Logger failed to resume.");
}

TEST(ClockSynchronisation, WaitsPastSecond59AndSetsTheLoggerClock) {
  EnableRig rig("QN-760");
  rig.clock.SetLocalTime(LoggerTime{2026, 3, 0, 4, 10, 0, 59, 500});
  ASSERT_EQ(rig.clock.LocalTime().second, 59);
  EXPECT_TRUE(SynchronizeClock(rig.state));
  EXPECT_EQ(rig.state.deployment.loggerClock.minute, 1);  // second 0 of the next minute, plus one
  EXPECT_EQ(rig.state.deployment.loggerClock.second, 1);
  const LoggerTime logger = rig.emulator.ClockAt(rig.clock.Milliseconds());
  EXPECT_LE(SecondsBetween(logger, rig.state.deployment.loggerClock), 1u);
}

TEST(ClockSynchronisation, ReadBackWithinTwoSecondsIsAccepted) {
  for (const auto& [offset, accepted] : {std::pair{1, true}, std::pair{2, false}, std::pair{-1, true}}) {
    SCOPED_TRACE(offset);
    test::ScriptedRig rig;
    ASSERT_TRUE(rig.OpenAt(19200));
    LoggerTime host = rig.clock.LocalTime();
    if (host.second == 59) {
      rig.clock.Advance(1000);
      host = rig.clock.LocalTime();
    }
    LoggerTime sent = host;
    sent.second = static_cast<uint16_t>(sent.second + 1);
    sent.milliseconds = 0;
    rig.line.On("B", TimeToWireText(AddSeconds(sent, offset)) + "CTD");
    EXPECT_EQ(SynchronizeClock(rig.state), accepted);
    EXPECT_EQ(rig.line.CountWrites("J" + TimeToWireText(sent)), 1);
    if (!accepted) {
      ASSERT_EQ(rig.ui.boxes.size(), 1u);
      EXPECT_EQ(rig.ui.boxes[0].text, "Logger clock has not set properly.\nTry again.");
      EXPECT_EQ(rig.ui.boxes[0].caption, "Synchronize Clock");
    }
  }
}

}  // namespace
}  // namespace tmv
