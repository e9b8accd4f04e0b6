// The tool's deployment commands run in-process against the emulated logger:
// parse errors, refusals that write nothing, the dry run and the estimate
// without a logger.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CliSupport.h"
#include "support/CliRig.h"

namespace tmv {
namespace {

using test::CliRig;

TEST(CliDeployment, OptionErrorsAreUsageErrorsBeforeTheLoggerIsTouched) {
  CliRig rig;
  const std::vector<std::vector<std::string>> bad = {
      {"setup", "--no-such-option"},
      {"setup", "--start", "2027/02/30 08:00:00"},  // no such day
      {"setup", "--start", "tomorrow"},
      {"setup", "--period", "ten minutes"},
      {"setup", "--averaging", "0"},
      {"setup", "--above", "2"},                     // no value
      {"setup", "--realtime", "loud"},
      {"setup", "--now", "--start", "2027/01/15 08:00:00"},
      {"setup", "--erase", "--continue"},
      {"estimate", "--period", "00:10:00"},          // no --simulate
      {"estimate", "--simulate", "XX-1"},
      {"estimate", "--simulate", "KM-3170", "--channels", "CT"},  // fixed channels
      {"stop", "now"},
  };
  for (const auto& words : bad) {
    EXPECT_EQ(rig.Run(words), cli::kExitUsage) << words[0] << " " << words[1];
    EXPECT_NE(rig.err.str().find("tmv-cli: "), std::string::npos);
  }
  EXPECT_TRUE(rig.emulator.CommandLog().empty());
}

TEST(CliDeployment, PeriodShorterThanTheSensorsAllowIsRefusedAndNothingWritten) {
  CliRig rig;
  EXPECT_EQ(rig.Run({"setup", "--yes", "--start", "2030/01/15 08:00:00", "--end", "2030/01/16 08:00:00", "--period",
                     "00:00:00", "--6hz"}),
            cli::kExitUsage);  // --6hz excludes --period
  const size_t before = rig.emulator.CommandLog().size();
  EXPECT_EQ(rig.Run({"setup", "--yes", "--start", "2030/01/15 08:00:00", "--end", "2030/01/16 08:00:00", "--period",
                     "00:00:01", "--averaging", "60"}),
            cli::kExitFailure);
  EXPECT_FALSE(rig.err.str().empty());
  EXPECT_TRUE(rig.WritesSince(before).empty());
}

TEST(CliDeployment, WithoutYesNothingIsWrittenAndTheDryRunOnlyEstimates) {
  CliRig rig;
  size_t before = rig.emulator.CommandLog().size();
  EXPECT_EQ(rig.Run({"setup", "--dry-run", "--start", "2030/01/15 08:00:00", "--end", "2030/01/20 08:00:00", "--period",
                     "00:10:00"}),
            cli::kExitOk);
  EXPECT_NE(rig.out.str().find("Start time: 2030/Jan/15 08:00:00"), std::string::npos) << rig.out.str();
  EXPECT_NE(rig.out.str().find("Sampling period: 00:10:00"), std::string::npos);
  EXPECT_NE(rig.out.str().find("Estimate: "), std::string::npos);
  EXPECT_TRUE(rig.WritesSince(before).empty());

  before = rig.emulator.CommandLog().size();
  EXPECT_EQ(rig.Run({"setup", "--start", "2030/01/15 08:00:00", "--end", "2030/01/20 08:00:00"}), cli::kExitFailure);
  EXPECT_NE(rig.err.str().find("Not enabled"), std::string::npos);
  EXPECT_TRUE(rig.WritesSince(before).empty());
  EXPECT_EQ(rig.emulator.profile().status, 0);
}

TEST(CliDeployment, SetupWithYesEnablesAndStopStops) {
  CliRig rig("KM-3170");
  ASSERT_EQ(rig.Run({"setup", "--yes", "--start", "2030/01/15 08:00:00", "--end", "2030/01/20 08:00:00", "--period",
                     "00:10:00"}),
            cli::kExitOk)
      << rig.err.str();
  EXPECT_NE(rig.out.str().find("Read back:"), std::string::npos);
  EXPECT_EQ(rig.Run({"deployment"}), cli::kExitOk);
  EXPECT_NE(rig.out.str().find("Logger status: Enabled"), std::string::npos) << rig.out.str();
  EXPECT_NE(rig.out.str().find("Start time: 2030/Jan/15 08:00:00"), std::string::npos);
  EXPECT_EQ(rig.Run({"stop"}), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(rig.out.str(), "Logging Complete\n");
}

TEST(CliDeployment, EraseAsksFirstAndClockSetFollowsTheHost) {
  CliRig rig;
  const size_t before = rig.emulator.CommandLog().size();
  EXPECT_EQ(rig.Run({"erase"}), cli::kExitFailure);
  EXPECT_TRUE(rig.WritesSince(before).empty());
  EXPECT_EQ(rig.Run({"erase", "--yes"}), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(rig.Run({"clock", "--set"}), cli::kExitOk) << rig.err.str();
  EXPECT_NE(rig.out.str().find("Logger clock set"), std::string::npos);
}

TEST(CliDeployment, EstimateOfASimulatedTideAndWaveRecorder) {
  CliRig rig;
  ASSERT_EQ(rig.Run({"estimate", "--simulate", "KZM-5170", "--start", "2030/01/15 08:00:00", "--end",
                     "2030/02/14 08:00:00", "--period", "00:10:00", "--waves", "on", "--burst-rate", "2",
                     "--burst-samples", "1024", "--burst-period", "04:00:00", "--depth", "12", "--height", "1.5"}),
            cli::kExitOk)
      << rig.err.str();
  const std::string out = rig.out.str();
  EXPECT_NE(out.find("Rate for both Tide and Wave Data:   2Hz"), std::string::npos) << out;
  EXPECT_NE(out.find("Wave settings: 1024 samples every 04:00:00"), std::string::npos) << out;
  EXPECT_NE(out.find("Mean water depth: 12.00 m, logger height: 1.50 m"), std::string::npos) << out;
  EXPECT_NE(out.find("memory usage is"), std::string::npos) << out;
  EXPECT_TRUE(rig.emulator.CommandLog().empty());  // no logger was asked anything
  // A multi-channel type takes its channels; bursts it has not.
  EXPECT_EQ(rig.Run({"estimate", "--simulate", "QN-760", "--channels", "CTPD", "--waves", "on"}), cli::kExitUsage);
}

// Readings in the logger are lost only when asked for by name: --yes
// answers the questions that lose nothing.
TEST(CliDeployment, YesAloneNeverErasesStoredReadings) {
  for (const char* model : {"KM-3170", "QN-760"}) {
    SCOPED_TRACE(model);
    CliRig rig(model);
    rig.emulator.RecordSamples(100, rig.clock.Milliseconds());
    const size_t stored = rig.emulator.profile().dataMemory.size();
    const std::vector<std::string> setup = {"setup", "--yes", "--start", "2030/01/15 08:00:00", "--end",
                                            "2030/01/20 08:00:00", "--period", "00:10:00"};
    const size_t before = rig.emulator.CommandLog().size();
    EXPECT_EQ(rig.Run(setup), cli::kExitFailure);
    EXPECT_NE(rig.err.str().find("--erase"), std::string::npos) << rig.err.str();
    EXPECT_TRUE(rig.WritesSince(before).empty());
    EXPECT_EQ(rig.emulator.profile().dataMemory.size(), stored);
    std::vector<std::string> erase = setup;
    erase.push_back("--erase");
    EXPECT_EQ(rig.Run(erase), cli::kExitOk) << rig.err.str();
    EXPECT_EQ(rig.emulator.profile().status, 1);
  }
}

TEST(CliDeployment, TheWordsSayWhatHappened) {
  CliRig rig("QN-760-TH");
  // Too many channels, not a channel type that is not offered.
  EXPECT_EQ(rig.Run({"estimate", "--simulate", "QN-760", "--channels", std::string(25, 'T')}), cli::kExitUsage);
  EXPECT_NE(rig.err.str().find("at most 24 channels"), std::string::npos) << rig.err.str();
  EXPECT_EQ(rig.err.str().find("not a channel type offered"), std::string::npos) << rig.err.str();
  // A threshold beyond the sensor's range, corrected and accepted (--yes): taken, not refused.
  EXPECT_EQ(rig.Run({"setup", "--yes", "--dry-run", "--above", "1:1000"}), cli::kExitOk) << rig.err.str();
  EXPECT_NE(rig.err.str().find("Do you wish to accept this value?"), std::string::npos) << rig.err.str();
  EXPECT_EQ(rig.err.str().find("not accepted"), std::string::npos) << rig.err.str();
  // Resume of a logger that is not suspended: said so, and nothing sent.
  const auto& log = rig.emulator.CommandLog();
  const size_t before = log.size();
  EXPECT_EQ(rig.Run({"resume"}), cli::kExitRefused);
  EXPECT_NE(rig.err.str().find("not suspended"), std::string::npos) << rig.err.str();
  EXPECT_EQ(std::count(log.begin() + static_cast<long>(before), log.end(), "!R"), 0);
}

TEST(CliDeployment, ContinueIsRefusedForTheSettingThatRulesItOut) {
  CliRig rig("QN-760");
  rig.emulator.RecordSamples(100, rig.clock.Milliseconds());
  rig.emulator.profile().deployment.endTime = LoggerTime{2010, 7, 0, 1, 0, 0, 0, 0};  // could go on logging
  const size_t stored = rig.emulator.profile().dataMemory.size();
  const size_t before = rig.emulator.CommandLog().size();
  EXPECT_EQ(rig.Run({"setup", "--yes", "--continue", "--period", "00:05:00"}), cli::kExitFailure);
  EXPECT_NE(rig.err.str().find("a setting given here changes it"), std::string::npos) << rig.err.str();
  EXPECT_TRUE(rig.WritesSince(before).empty());
  EXPECT_EQ(rig.Run({"setup", "--yes", "--continue"}), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(rig.emulator.profile().status, 2);  // logging on, its readings kept
  EXPECT_GE(rig.emulator.profile().dataMemory.size(), stored);
}

TEST(CliDeployment, StopAndSuspendThatDidNotHappenAreNotReportedAsDone) {
  CliRig rig("QN-760");
  ASSERT_EQ(rig.Run({"setup", "--yes", "--now", "--end", "2010/07/01 08:00:00", "--period", "00:00:10"}), cli::kExitOk)
      << rig.err.str();
  rig.clock.Advance(30000);  // logging
  rig.emulator.faults().ignoreCommands = {"!9", "!S"};
  EXPECT_EQ(rig.Run({"stop"}), cli::kExitRefused);
  EXPECT_EQ(rig.out.str(), "Logging\n");
  EXPECT_NE(rig.err.str().find("did not stop"), std::string::npos) << rig.err.str();
  EXPECT_EQ(rig.Run({"suspend"}), cli::kExitRefused);
  rig.emulator.faults().ignoreCommands.clear();
  EXPECT_EQ(rig.Run({"suspend"}), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(rig.out.str(), "Logging Suspended\n");
}

TEST(CliDeployment, EraseEndsWhenTheLoggerSaysSoAndAFailedOneAfterItsTime) {
  {
    // An older logger has no erase query: its status says when it is erased (4 s here).
    CliRig rig("KM-3170");
    rig.emulator.RecordSamples(3000, rig.clock.Milliseconds());
    const int64_t start = rig.clock.Milliseconds();
    EXPECT_EQ(rig.Run({"erase", "--yes"}), cli::kExitOk) << rig.err.str();
    EXPECT_LT(rig.clock.Milliseconds() - start, 30000);
    EXPECT_NE(rig.err.str().find("Erasing: "), std::string::npos);
  }
  {
    // A newer logger that goes on saying its erase failed: about two minutes, then the reason.
    CliRig rig("QN-760");
    rig.emulator.RecordSamples(3000, rig.clock.Milliseconds());
    rig.emulator.faults().eraseFails = true;
    const int64_t start = rig.clock.Milliseconds();
    EXPECT_EQ(rig.Run({"erase", "--yes"}), cli::kExitRefused);
    EXPECT_LT(rig.clock.Milliseconds() - start, 150000);
    EXPECT_NE(rig.err.str().find("failed to erase"), std::string::npos) << rig.err.str();
  }
}

}  // namespace
}  // namespace tmv
