// The emulated loggers on a pseudo-terminal keep the line's timing at every
// rate they offer: a reply read with the time-out of its length arrives
// within it, as over a cable, where the host's write lasts until its bytes
// have left.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::ProgramRun;
using tmv::test::RunCli;
using tmv::test::SimProcess;

TEST(SlowRatesE2E, TheOlderLoggerAnswersItsConfigurationReadAtEveryRate) {
  for (const char* baud : {"1200", "2400"}) {
    SimProcess sim({"--model", "QN-730", "--baud", baud});
    ASSERT_FALSE(sim.path().empty());
    const ProgramRun config = RunCli({"--port", sim.path(), "--no-settings", "--baud", baud, "config"}, 120000);
    EXPECT_EQ(config.status, 0) << baud << ": " << config.err;
    EXPECT_TRUE(config.out.find("Number of channels of data: 3") != std::string::npos) << baud << ": " << config.out;
  }
}

}  // namespace
