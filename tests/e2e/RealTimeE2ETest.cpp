// tmv-cli collects real-time records from the emulated logger on a
// pseudo-terminal, with the GPS emulator on a second one: set up with binary
// real-time output every ten logger seconds, then `realtime --records 5 --gps PORT`
// writes a HEX file whose byte count reads back whole and a .gps file of
// positions tagged with the sample times.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(RealTimeE2E, CollectsFiveRecordsWithPositionsIntoFilesThatReadBack) {
  // The logger's clock runs ten times faster: a ten-second sample every second.
  SimProcess sim({"--model", "QN-760", "--time-scale", "10"});
  ASSERT_FALSE(sim.path().empty());
  SimProcess gps(TMV_GPS_SIM_PATH, {"--lat", "-33.85", "--lon", "-70.65", "--rate", "5"});
  ASSERT_FALSE(gps.path().empty());
  const std::string port = sim.path();
  char pattern[] = "/tmp/tmv-rt-e2e-XXXXXX";
  const std::string dir = mkdtemp(pattern);

  // A day of ten-second samples fits the memory.
  const std::time_t tomorrow = std::time(nullptr) + 86400;
  char end[32];
  std::strftime(end, sizeof end, "%Y/%m/%d %H:%M:00", std::localtime(&tomorrow));
  const auto setup = RunCli({"--port", port, "setup", "--yes", "--now", "--end", end, "--period",
                             "00:00:10", "--no-averaging", "--realtime", "binary"},
                            60000);
  ASSERT_EQ(setup.status, 0) << setup.out << setup.err;

  const std::string hex = dir + "/rt.hex";
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);  // the work folders (dat for the .gps file) go there
  const auto run = RunCli({"--port", port, "realtime", "-o", hex, "--gps", gps.path(), "--records", "5"}, 90000);
  std::filesystem::current_path(cwd);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Real-time: 5 rows"), std::string::npos) << run.out;

  // Every row after the first position carries it: "time<TAB> ddmm.mmmm,S,dddmm.mmmm,W".
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.out, m, std::regex("GPS file: (.*)\n"))) << run.out;
  const std::string gpsFile = m[1];
  std::istringstream gpsLines(FileText(gpsFile));
  std::string line;
  int tagged = 0;
  while (std::getline(gpsLines, line))
    if (std::regex_search(line, std::regex(R"(^\d{4}/\w{3}/\d\d \d\d:\d\d:\d\d\t 335\d\.\d{4},S,703\d\.\d{4},W\r?$)"))) ++tagged;
  EXPECT_GE(tagged, 3) << FileText(gpsFile);
  std::filesystem::remove(gpsFile);

  const std::string file = FileText(hex);
  const size_t key = file.find("Number of bytes of data ");
  ASSERT_NE(key, std::string::npos);
  // The count is patched and covers every byte of the dump after the ruler.
  const long declared = std::atol(file.c_str() + key + 24);
  const size_t ruler = file.find("|     |", key);
  ASSERT_NE(ruler, std::string::npos);
  long digits = 0;
  for (size_t i = file.find('\n', ruler) + 1; i < file.size(); ++i) digits += std::isxdigit(static_cast<unsigned char>(file[i])) ? 1 : 0;
  EXPECT_GT(declared, 0);
  EXPECT_EQ(declared * 2, digits);

  const auto info = RunCli({"info", hex});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Samples: 5\n"), std::string::npos) << info.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
