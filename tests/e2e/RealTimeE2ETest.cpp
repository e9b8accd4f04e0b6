// tmv-cli collects real-time records from the emulated logger on a
// pseudo-terminal: set up with binary real-time output every second, then
// `realtime --records 5` writes a HEX file whose byte count reads back whole.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

TEST(RealTimeE2E, CollectsFiveRecordsIntoAHexFileThatReadsBack) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();
  char pattern[] = "/tmp/tmv-rt-e2e-XXXXXX";
  const std::string dir = mkdtemp(pattern);

  const auto setup = RunCli({"--port", port, "setup", "--yes", "--now", "--end", "2039/01/01 00:00:00", "--period",
                             "00:00:01", "--no-averaging", "--realtime", "binary"},
                            60000);
  ASSERT_EQ(setup.status, 0) << setup.out << setup.err;

  const std::string hex = dir + "/rt.hex";
  const auto run = RunCli({"--port", port, "realtime", "-o", hex, "--records", "5"}, 90000);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Real-time: 5 rows"), std::string::npos) << run.out;

  std::ifstream in(hex, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string file = text.str();
  const size_t key = file.find("Number of bytes of data ");
  ASSERT_NE(key, std::string::npos);
  EXPECT_EQ(file.find("0000000", key), std::string::npos) << "the byte count was never patched";

  const auto info = RunCli({"info", hex});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Samples: 5\n"), std::string::npos) << info.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
