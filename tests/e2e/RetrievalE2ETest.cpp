// A whole season in little: tmv-cli sets up the emulated logger on a
// pseudo-terminal, the logger logs on a fast clock, tmv-cli stops it,
// downloads, saves, and the saved files are shown and converted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(RetrievalE2E, SetUpLogStopDownloadThenInfoAndConvert) {
  // Ten logger seconds a host millisecond: a 10-second period logs a row a millisecond.
  SimProcess sim({"--model", "QN-760", "--time-scale", "10000"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tmv-e2e-retrieval-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  // An end two months on: within the memory at this period.
  const std::time_t end = std::time(nullptr) + 60 * 86400;
  std::tm tm{};
  localtime_r(&end, &tm);
  char endText[32];
  std::strftime(endText, sizeof endText, "%Y/%m/%d %H:%M:%S", &tm);
  const auto setup = RunCli({"--port", port, "--yes", "setup", "--now", "--period", "00:00:10", "--end", endText,
                             "--erase"},
                            60000);
  EXPECT_EQ(setup.status, 0) << setup.err << setup.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  const auto download = RunCli({"--port", port, "download", "--stop", "-o", "season.dat", "--comment", "e2e"}, 120000);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(download.status, 0) << download.err << download.out;
  EXPECT_TRUE(Has(download.out, "DAT file: season.dat")) << download.out;
  EXPECT_TRUE(Has(download.err, " 50% ")) << download.err;  // one line per 10 % off a terminal
  const std::filesystem::path hex = dir / "hex" / "season.hex";
  EXPECT_TRUE(std::filesystem::exists(hex));
  EXPECT_TRUE(std::filesystem::exists(dir / "log" / "012345.log"));

  const auto info = RunCli({"info", hex.string()});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(Has(info.out, "Logger: TMV QN-760")) << info.out;
  EXPECT_TRUE(Has(info.out, "Comment: e2e")) << info.out;
  EXPECT_TRUE(Has(info.out, "Temperature [Degrees_C]  min ")) << info.out;
  EXPECT_FALSE(Has(info.out, "Samples: 0\n")) << info.out;

  // The same file as JSON: one object on one line, numbers in the C form.
  const auto infoJson = RunCli({"info", hex.string(), "--json"});
  EXPECT_EQ(infoJson.status, 0) << infoJson.err;
  EXPECT_EQ(infoJson.out.find('\n'), infoJson.out.size() - 1) << infoJson.out;
  EXPECT_TRUE(Has(infoJson.out, "\"model\":\"QN-760\"")) << infoJson.out;
  EXPECT_TRUE(Has(infoJson.out, "\"comment\":\"e2e\"")) << infoJson.out;
  EXPECT_TRUE(std::regex_search(infoJson.out, std::regex(R"("label":"Temperature","unit":"Degrees_C","minimum":-?[0-9.e+-]+,"maximum":)")))
      << infoJson.out;
  EXPECT_TRUE(std::regex_search(infoJson.out, std::regex(R"("first_row_time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")")))
      << infoJson.out;
  const auto stats = RunCli({"stats", hex.string(), "--channel", "2", "--json"});
  EXPECT_EQ(stats.status, 0) << stats.err;
  EXPECT_TRUE(std::regex_match(stats.out, std::regex(R"(\{"channel":2,"raw":false,"first_row":0,"last_row":\d+,"rows":\d+,"count":\d+,"invalid_left_out":\d+,"outside_formula_range":\d+,"mean":-?[0-9.e+-]+,"standard_deviation":(-?[0-9.e+-]+|null)\}\n)")))
      << stats.out;

  const std::string converted = (dir / "converted.dat").string();
  const auto convert = RunCli({"convert", hex.string(), "-o", converted, "--format", "values"});
  EXPECT_EQ(convert.status, 0) << convert.err;
  const auto again = RunCli({"info", converted});
  EXPECT_EQ(again.status, 0) << again.err;
  // The same rows from the HEX file and from its DAT file.
  const auto samples = [](const std::string& text) { return text.substr(text.find("Samples: "), 20); };
  EXPECT_EQ(samples(again.out), samples(info.out));
  std::filesystem::remove_all(dir);
}

}  // namespace
