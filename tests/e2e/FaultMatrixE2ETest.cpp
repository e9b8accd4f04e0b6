// A share of the fault matrix as a script meets it: every command a download
// sends, failed once (dropped, ignored or garbled, in turn), on one family
// each, through the emulator on a pseudo-terminal and tmv-cli. A run ends with
// exit 0 and the clean run's files, or with a non-zero exit, a message and
// no DAT file that holds what the logger did not tell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "support/ChildProcess.h"
#include "support/CliRig.h"

namespace {

using tmv::test::ProgramRun;
using tmv::test::RunCli;
using tmv::test::SimProcess;

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The DAT file as two runs of the emulator share it: every emulator process
// logs from its own start, so the clock lines keep their key alone (and may
// never be the empty date of a value not read), and the readings their count.
std::string Shape(const std::string& text) {
  std::string kept;
  int rows = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const bool clock = line.rfind("Logger time", 0) == 0 || line.rfind("Logging start", 0) == 0 ||
                       line.rfind("Logging end", 0) == 0 || line.rfind("Timestamp", 0) == 0 ||
                       line.find("Host time") != std::string::npos || line.find("PC time") != std::string::npos;
    if (clock) {
      kept += line.substr(0, 13) + (line.find("00/01/01") != std::string::npos ? " (no date)" : "") + "\n";
    } else if (!line.empty() && (line[0] == '+' || line[0] == '-' || (line[0] >= '0' && line[0] <= '9'))) {
      ++rows;
    } else {
      kept += line + "\n";
    }
  }
  return kept + std::to_string(rows) + " rows\n";
}

const std::vector<std::string> kModels = {"QN-760", "QN-730", "KM-3170", "KZM-5170"};

// The commands a clean download of each family sends, from the in-process emulator.
std::map<std::string, std::set<std::string>> CommandsByFamily() {
  std::map<std::string, std::set<std::string>> keys;
  for (const std::string& model : kModels) {
    tmv::test::CliRig rig(model);
    rig.emulator.RecordSamples(120, rig.clock.Milliseconds());
    if (rig.Run({"download", "--stop", "--derived", "depth", "-o", rig.work.path + "/out.dat"}) != 0) continue;
    for (const std::string& c : rig.emulator.CommandLog()) {
      if (c.empty() || c.find("\\x") != std::string::npos) continue;
      keys[model].insert(c.size() <= 8 ? c : c.substr(0, 1));
    }
  }
  return keys;
}

struct Download {
  ProgramRun run;
  std::string dat;  // the DAT file written, empty when none
};

Download DownloadFrom(const std::string& model, const std::vector<std::string>& fault) {
  std::vector<std::string> args = {"--model", model, "--record", "120"};
  args.insert(args.end(), fault.begin(), fault.end());
  SimProcess sim(args);
  Download d;
  if (sim.path().empty()) return d;
  const auto dir = std::filesystem::temp_directory_path() / ("tmv-e2e-matrix-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  // Depth among the derived units: a tide-and-wave recorder is retrieved only with it.
  d.run = RunCli({"--port", sim.path(), "--work-dir", dir.string(), "download", "--stop", "--derived", "depth", "-o",
                  (dir / "out.dat").string()},
                 90000);
  if (std::filesystem::exists(dir / "out.dat")) d.dat = Shape(FileText(dir / "out.dat"));
  std::filesystem::remove_all(dir);
  return d;
}

// Each command once, on the next family in turn that sends it; this runs
// the commands that fall to `family`.
void FailEachCommandOnce(const std::string& family) {
  const auto families = CommandsByFamily();
  ASSERT_EQ(families.size(), kModels.size());
  const Download clean = DownloadFrom(family, {});
  ASSERT_EQ(clean.run.status, 0) << family << "\n" << clean.run.err;
  ASSERT_FALSE(clean.dat.empty()) << family;
  EXPECT_EQ(clean.dat.find("(no date)"), std::string::npos) << clean.dat;
  std::set<std::string> all;
  for (const auto& [model, keys] : families) all.insert(keys.begin(), keys.end());
  const char* kFaults[] = {"--drop", "--ignore", "--garble"};
  size_t turn = 0;
  int runs = 0;
  for (const std::string& key : all) {
    std::string model;
    for (size_t i = 0; i < kModels.size() && model.empty(); ++i) {
      const std::string& m = kModels[(turn + i) % kModels.size()];
      if (families.at(m).count(key) != 0) model = m;
    }
    const std::string fault = kFaults[turn % 3];
    ++turn;
    if (model != family) continue;
    ++runs;
    const Download d = DownloadFrom(model, {fault, key});
    const std::string what = model + " " + fault + " " + key;
    if (d.run.status == 0) {
      EXPECT_EQ(d.dat, clean.dat) << what << ": exit 0 with another DAT file\n" << d.run.err;
      continue;
    }
    EXPECT_NE(d.run.status, 2) << what;
    EXPECT_FALSE(d.run.err.empty()) << what << ": exit " << d.run.status << " without a word";
    // A partial download keeps what came; any other failure writes nothing.
    if (d.run.status != 3) EXPECT_TRUE(d.dat.empty()) << what << ": exit " << d.run.status << " left a DAT file";
  }
  EXPECT_GT(runs, 0);
}

TEST(FaultMatrixE2E, QN760) { FailEachCommandOnce("QN-760"); }
TEST(FaultMatrixE2E, QN730) { FailEachCommandOnce("QN-730"); }
TEST(FaultMatrixE2E, KM3170) { FailEachCommandOnce("KM-3170"); }
TEST(FaultMatrixE2E, KZM5170) { FailEachCommandOnce("KZM-5170"); }

}  // namespace
