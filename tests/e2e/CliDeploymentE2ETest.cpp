// tmv-cli programs a deployment into the emulated logger on a pseudo-terminal,
// shows it back, and stops the logger.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

TEST(CliDeploymentE2E, SetupWithYesThenDeploymentShowsItEnabledThenStop) {
  SimProcess sim({"--model", "KM-3170"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();

  const auto setup = RunCli({"--port", port, "setup", "--yes", "--start", "2030/01/15 08:00:00", "--end",
                             "2030/01/20 08:00:00", "--period", "00:10:00"},
                            60000);
  ASSERT_EQ(setup.status, 0) << setup.out << setup.err;
  EXPECT_NE(setup.out.find("Verified"), std::string::npos) << setup.out;

  const auto shown = RunCli({"--port", port, "deployment"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Logger status: Enabled"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Start time: 2030/Jan/15 08:00:00"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("End time: 2030/Jan/20 08:00:00"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Sampling period: 00:10:00"), std::string::npos) << shown.out;

  const auto stop = RunCli({"--port", port, "stop"});
  EXPECT_EQ(stop.status, 0) << stop.err;
  const auto status = RunCli({"--port", port, "status"});
  // This recorder reports a stopped deployment as complete.
  EXPECT_EQ(status.out, "Logging Complete\n") << status.err;
  EXPECT_EQ(stop.out, status.out);
}

}  // namespace
