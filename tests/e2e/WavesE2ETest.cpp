// A tide-and-wave season in little: tmv-cli sets up the emulated recorder
// for wave bursts on a pseudo-terminal, it logs on a fast clock, tmv-cli
// downloads it, and the bursts are analysed into their wave and tide files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WavesE2E, SetUpBurstsDownloadAndAnalyse) {
  SimProcess sim({"--model", "KZM-5170", "--time-scale", "10000"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tmv-e2e-waves-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  const std::time_t end = std::time(nullptr) + 60 * 86400;
  std::tm tm{};
  localtime_r(&end, &tm);
  char endText[32];
  std::strftime(endText, sizeof endText, "%Y/%m/%d %H:%M:%S", &tm);
  const auto setup = RunCli({"--port", port, "--yes", "setup", "--now", "--period", "00:10:00", "--end", endText,
                             "--waves", "on", "--burst-rate", "4", "--burst-samples", "512", "--burst-period",
                             "01:00:00", "--depth", "11", "--height", "1", "--erase"},
                            120000);
  EXPECT_EQ(setup.status, 0) << setup.err << setup.out;
  EXPECT_TRUE(Has(setup.out, "Verified: Wave parameters")) << setup.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));

  // A KZM download needs depth among the derived units.
  const auto download =
      RunCli({"--port", port, "download", "--stop", "-o", "kzm.dat", "--derived", "depth"}, 120000);
  EXPECT_EQ(download.status, 0) << download.err << download.out;
  const std::filesystem::path hex = dir / "hex" / "kzm.hex";
  ASSERT_TRUE(std::filesystem::exists(hex));

  const auto waves = RunCli({"waves", hex.string(), "-o", (dir / "results").string()});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(waves.status, 0) << waves.err << waves.out;
  // The emulator's sea: a 10 s swell, found as the peak of every analysed burst.
  EXPECT_TRUE(Has(waves.out, "    1  ")) << waves.out;
  EXPECT_TRUE(Has(waves.out, "9.85  good")) << waves.out;  // 512 readings at 4 Hz: 1/128 Hz apart
  EXPECT_TRUE(std::filesystem::exists(dir / "results" / "kzm.wave")) << waves.out;
  EXPECT_TRUE(std::filesystem::exists(dir / "results" / "kzm.tide")) << waves.out;
  const auto json = RunCli({"waves", hex.string(), "--burst", "1", "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.find('\n'), json.out.size() - 1) << json.out;
  EXPECT_TRUE(Has(json.out, "\"bursts\":[{\"burst\":1,\"start\":\"")) << json.out;
  EXPECT_TRUE(Has(json.out, "\"peak_period_s\":9.84")) << json.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
