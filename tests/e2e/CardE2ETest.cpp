// tmv-cli card and card show against the emulated logger's memory card on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using Sim = tmv::test::SimProcess;

TEST(CardE2E, DirectoryAndAFilesContentsThroughThePseudoTerminal) {
  Sim sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());

  const auto dir = RunCli({"--port", sim.path(), "card"});
  EXPECT_EQ(dir.status, 0) << dir.err;
  EXPECT_EQ(dir.out,
            "Memory type: SD 2GB\nMemory size = 1941504KB\nFirst file in sequence = 00000001\n"
            "Last file in sequence = 00000004\n");

  const auto show = RunCli({"--port", sim.path(), "card", "show", "3"});
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out.rfind("TMV data file 003\n2010/05/03 12:00:00", 0), 0u) << show.out;

  const auto bad = RunCli({"--port", sim.path(), "card", "show", "three"});
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("The file number must be a whole number"), std::string::npos) << bad.err;
}

TEST(CardE2E, LoggerWithoutCardSupportIsRefusedWithNonZeroStatus) {
  Sim sim({"--model", "VL-840"});
  ASSERT_FALSE(sim.path().empty());
  const auto dir = RunCli({"--port", sim.path(), "card"});
  EXPECT_NE(dir.status, 0);
  EXPECT_TRUE(dir.out.empty()) << dir.out;
  EXPECT_NE(dir.err.find("Error: Logger connected does not support the MMC/SD memory"), std::string::npos) << dir.err;
}

}  // namespace
