// Live readings and the micro-salinometer bench procedure through tmv-cli
// and the emulated logger on a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

TEST(LiveE2E, EachFetchPrintsOneLineOfConvertedChannels) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());
  const auto live = RunCli({"--port", sim.path(), "live", "--count", "2"}, 60000);
  ASSERT_EQ(live.status, 0) << live.err;
  std::istringstream lines(live.out);
  std::string line;
  int count = 0;
  // Every channel: its label, a value with four decimals and its unit.
  const std::regex channel(R"((.+? -?\d+\.\d{4} \S+)(  .+? -?\d+\.\d{4} \S+)+)");
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_TRUE(std::regex_match(line, channel)) << line;
  }
  EXPECT_EQ(count, 2) << live.out;

  const auto json = RunCli({"--port", sim.path(), "live", "--json"}, 60000);
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_TRUE(std::regex_match(
      json.out, std::regex(R"(\{"time":"[-0-9T:]+","channels":\[\{"number":1,"label":"[^"]+","unit":"[^"]*","value":-?[0-9.e+-]+\}.*\]\}\n)")))
      << json.out;
}

TEST(LiveE2E, SalinometerSettlesOnTheSampleAndCapturesIt) {
  // Standard seawater of K15 0.99986 at 15 degC reads its own salinity
  // with the instrument's standardisation.
  SimProcess sim({"--model", "VL-840", "--bench-salinity", "34.993", "--bench-temperature", "15"});
  ASSERT_FALSE(sim.path().empty());
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("tmv-e2e-bench-" + std::to_string(::getpid()) + ".sal");
  const auto run = RunCli({"--port", sim.path(), "--yes", "salinometer", "--average", "1", "--capture", "1", "-o",
                           file.string()},
                          100000);
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("SETTLED"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("T 15.0"), std::string::npos) << run.out;
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("mm/dd hh:mm:ss              Information        degrees_C"), std::string::npos);
  EXPECT_NE(text.str().find("Sample_1"), std::string::npos) << text.str();
  std::filesystem::remove(file);
}

}  // namespace
