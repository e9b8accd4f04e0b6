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

}  // namespace
}  // namespace tmv
