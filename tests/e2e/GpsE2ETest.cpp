// tmv-cli gps-test against tmv-gps-sim on a pseudo-terminal: sentences of a
// ship in the southern and western hemispheres, some of them corrupt.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

TEST(GpsE2E, GpsTestPrintsEachPositionAndNeverACorruptOne) {
  SimProcess gps(TMV_GPS_SIM_PATH, {"--lat", "-33.85", "--lon", "-70.65", "--speed", "12", "--rate", "5",
                                    "--corrupt", "0.3", "--baud", "9600"});
  ASSERT_FALSE(gps.path().empty());
  const auto run = RunCli({"gps-test", "--port", gps.path(), "--baud", "9600", "--seconds", "8", "--count", "6"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    // About 33 degrees 51 minutes south, 70 degrees 39 minutes west, moving slowly north-east.
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(335\d\.\d{4},S,703\d\.\d{4},W)"))) << line;
    ++count;
  }
  EXPECT_EQ(count, 6) << run.out;
  EXPECT_NE(run.err.find("Positions: "), std::string::npos) << run.err;
}

TEST(GpsE2E, OnlyCorruptSentencesGiveNoPositionAndAFailure) {
  SimProcess corrupt(TMV_GPS_SIM_PATH, {"--rate", "5", "--corrupt", "1"});
  ASSERT_FALSE(corrupt.path().empty());
  const auto run = RunCli({"gps-test", "--port", corrupt.path(), "--seconds", "1.5", "--count", "3"});
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("No GPS position received"), std::string::npos) << run.err;
}

}  // namespace
