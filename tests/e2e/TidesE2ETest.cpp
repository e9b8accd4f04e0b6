// A month of the emulated sea: tmv-cli sets up the emulated logger at a
// 10-minute period on a fast clock, downloads the month through the
// pseudo-terminal, and `tmv-cli tides` gives back the constituents of the
// emulator's profile that a month resolves.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Fitted {
  double amplitude = 0, phase = 0;
};

// Name -> amplitude and phase from the text table of `tmv-cli tides`.
std::map<std::string, Fitted> Table(const std::string& out) {
  std::map<std::string, Fitted> table;
  std::istringstream in(out);
  std::string line;
  bool rows = false;
  while (std::getline(in, line)) {
    if (line.rfind("Name ", 0) == 0) {
      rows = true;
      continue;
    }
    if (!rows) continue;
    std::istringstream words(line);
    std::string name;
    double frequency = 0, amplitude = 0, ci = 0, phase = 0;
    if (words >> name >> frequency >> amplitude >> ci >> phase) table[name] = {amplitude, phase};
  }
  return table;
}

double DegreesApart(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return std::min(d, 360.0 - d);
}

TEST(TidesE2E, AMonthFromTheEmulatorGivesBackItsConstituents) {
  // A day of the emulated clock passes in under a tenth of a second.
  SimProcess sim({"--model", "QN-760", "--time-scale", "1000000"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tmv-e2e-tides-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  // The emulated logger's clock starts at the host's local time (and then
  // runs fast): its UTC offset is the host's.
  // The logger's clock runs ahead during the set-up: an end far enough on
  // that it still logs 45 days from whenever it starts.
  const std::time_t end = std::time(nullptr) + 400 * 86400;
  std::tm tm{};
  localtime_r(&end, &tm);
  char endText[32];
  std::strftime(endText, sizeof endText, "%Y/%m/%d %H:%M:%S", &tm);
  const auto setup = RunCli({"--port", port, "--yes", "setup", "--now", "--period", "00:10:00", "--end", endText, "--erase"},
                            120000);
  ASSERT_EQ(setup.status, 0) << setup.err << setup.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(4000));  // 46 days and more

  const auto download = RunCli({"--port", port, "download", "--stop", "-o", "month.dat", "--derived", "depth"}, 120000);
  ASSERT_EQ(download.status, 0) << download.err << download.out;
  const std::filesystem::path hex = dir / "hex" / "month.hex";
  ASSERT_TRUE(std::filesystem::exists(hex));

  const std::string offset = [] {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const long minutes = local.tm_gmtoff / 60;
    char text[8];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60,
                  std::labs(minutes) % 60);
    return std::string(text);
  }();
  const auto tides = RunCli({"tides", hex.string(), "--utc-offset", offset, "--latitude", "45", "-o",
                             (dir / "results").string(), "--export", (dir / "month.nc").string()},
                            120000);
  std::filesystem::current_path(cwd);
  ASSERT_EQ(tides.status, 0) << tides.err << tides.out;
  const auto table = Table(tides.out);
  const size_t days = tides.out.find(" days)");
  ASSERT_NE(days, std::string::npos) << tides.out;
  EXPECT_GT(std::stod(tides.out.substr(tides.out.rfind('(', days) + 1)), 31.0) << tides.out;
  // The profile's sea (the emulator's default): what a month resolves comes
  // back; the depth formula and the emulator's seawater density differ by a
  // few parts in a thousand, hence the 1 % allowance.
  const struct {
    const char* name;
    double amplitude, phase;
  } resolved[] = {{"M2", 1.05, 118.0}, {"N2", 0.21, 97.0}, {"O1", 0.23, 198.0}, {"Q1", 0.045, 185.0},
                  {"M4", 0.06, 263.0}};
  for (const auto& c : resolved) {
    ASSERT_TRUE(table.count(c.name)) << c.name << "\n" << tides.out;
    EXPECT_NEAR(table.at(c.name).amplitude, c.amplitude, 0.01 * c.amplitude + 0.004) << c.name << "\n" << tides.out;
    EXPECT_LT(DegreesApart(table.at(c.name).phase, c.phase), c.amplitude < 0.1 ? 4.0 : 1.5) << c.name << "\n" << tides.out;
  }
  // A month cannot tell K2 from S2 nor P1 from K1: those two carry their
  // neighbours (0.10 m each in the profile) and K2 and P1 are not fitted.
  EXPECT_NEAR(table.at("S2").amplitude, 0.36, 0.11) << tides.out;
  EXPECT_NEAR(table.at("K1").amplitude, 0.32, 0.11) << tides.out;
  EXPECT_FALSE(table.count("K2"));
  EXPECT_FALSE(table.count("P1"));
  EXPECT_TRUE(std::filesystem::exists(dir / "results" / "month_constituents.csv"));
  EXPECT_TRUE(std::filesystem::exists(dir / "results" / "month_tide.csv"));
  // The export carries the analysis: the constituents on their own
  // dimension, the predicted tide and the residual along time.
  int nc = -1;
  ASSERT_EQ(nc_open((dir / "month.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  int dim = -1, amplitude = -1, names = -1, predicted = -1, residual = -1;
  size_t count = 0;
  EXPECT_EQ(nc_inq_dimid(nc, "constituent", &dim), NC_NOERR);
  EXPECT_EQ(nc_inq_dimlen(nc, dim, &count), NC_NOERR);
  EXPECT_EQ(count, table.size());
  EXPECT_EQ(nc_inq_varid(nc, "tide_amplitude", &amplitude), NC_NOERR);
  EXPECT_EQ(nc_inq_varid(nc, "constituent_name", &names), NC_NOERR);
  EXPECT_EQ(nc_inq_varid(nc, "tide_predicted", &predicted), NC_NOERR);
  EXPECT_EQ(nc_inq_varid(nc, "tide_residual", &residual), NC_NOERR);
  std::vector<double> amplitudes(count);
  std::vector<char*> constituentNames(count);
  ASSERT_EQ(nc_get_var_double(nc, amplitude, amplitudes.data()), NC_NOERR);
  ASSERT_EQ(nc_get_var_string(nc, names, constituentNames.data()), NC_NOERR);
  for (size_t i = 0; i < count; ++i)
    EXPECT_NEAR(amplitudes[i], table.at(constituentNames[i]).amplitude, 6e-5) << constituentNames[i];
  nc_free_string(count, constituentNames.data());
  nc_close(nc);

  // Predicting from the saved table gives the tide of the next days.
  const auto predict = RunCli({"tides", (dir / "results" / "month_constituents.csv").string(), "--predict",
                               "2030-01-01T00:00:00Z", "2030-01-02T00:00:00Z", "01:00:00"});
  EXPECT_EQ(predict.status, 0) << predict.err;
  EXPECT_TRUE(Has(predict.out, "time,predicted\r\n2030-01-01T00:00:00Z,")) << predict.out;
  EXPECT_TRUE(Has(predict.out, "2030-01-02T00:00:00Z,")) << predict.out;

  // Asked for K2 with S2, the month drops K2 and says why; an unknown name is a usage error.
  const auto asked = RunCli({"tides", hex.string(), "--constituents", "M2,S2,K2"});
  EXPECT_EQ(asked.status, 0) << asked.err;
  EXPECT_TRUE(Has(asked.err, "Dropped K2: not resolved from S2")) << asked.err;
  const auto unknown = RunCli({"tides", hex.string(), "--constituents", "M2,XX9"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Has(unknown.err, "XX9")) << unknown.err;
  // The depth is derived as convert derives it, with the same options, in tides and in plot.
  const auto simplified = RunCli({"tides", hex.string(), "--derived", "depth:simplified", "--json"});
  EXPECT_EQ(simplified.status, 0) << simplified.err;
  EXPECT_EQ(RunCli({"tides", hex.string(), "--derived", "nonsense"}).status, 2);
  EXPECT_EQ(RunCli({"plot", hex.string(), "-o", (dir / "month.png").string(), "--derived", "nonsense"}).status, 2);
  std::filesystem::remove_all(dir);
}

TEST(TidesE2E, BadCsvInputsFailWithAReason) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tmv-e2e-tides-csv-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto write = [&](const char* name, const std::string& text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  };
  const auto shortRecord = RunCli({"tides", write("short.csv", "2026-01-01T00:00:00Z,1\n2026-01-01T06:00:00Z,2\n")});
  EXPECT_EQ(shortRecord.status, 1);
  EXPECT_TRUE(Has(shortRecord.err, "at least a day")) << shortRecord.err;
  const auto order = RunCli({"tides", write("order.csv", "2026-01-02T00:00:00Z,1\n2026-01-01T00:00:00Z,2\n")});
  EXPECT_EQ(order.status, 1);
  EXPECT_TRUE(Has(order.err, "Line 2")) << order.err;
  std::string flat;
  for (int h = 0; h < 72; ++h) {
    char line[40];
    std::snprintf(line, sizeof line, "2026-01-%02dT%02d:00:00Z,2.5\n", 1 + h / 24, h % 24);
    flat += line;
  }
  const auto constant = RunCli({"tides", write("flat.csv", flat)});
  EXPECT_EQ(constant.status, 1);
  EXPECT_TRUE(Has(constant.err, "does not change")) << constant.err;
  EXPECT_FALSE(Has(constant.out + constant.err, "nan"));
  std::filesystem::remove_all(dir);
}

}  // namespace
