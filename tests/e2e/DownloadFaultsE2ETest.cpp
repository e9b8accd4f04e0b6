// Downloads that do not end as planned, through tmv-cli and the emulated
// logger on a pseudo-terminal: interrupted by Ctrl-C, a logger that ignores
// its resume or stop command, an append with nothing new. Each ends with the
// logger answering at its usual rate, and with an exit status that says what
// happened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace {

using tmv::test::ProgramRun;
using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A fresh work directory, entered for the test's runs of the tool.
class WorkDirectory {
 public:
  explicit WorkDirectory(const std::string& name)
      : dir_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))),
        previous_(std::filesystem::current_path()) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  ~WorkDirectory() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::string Text(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path dir_, previous_;
};

// The logger answers at the first rate tried (19200): nothing was left at a fast rate.
void ExpectFoundAtTheUsualRate(const std::string& port) {
  const ProgramRun identify = RunCli({"--port", port, "--verbose", "identify"});
  EXPECT_EQ(identify.status, 0) << identify.err;
  EXPECT_TRUE(Has(identify.out, "at 19200 baud")) << identify.out;
  EXPECT_FALSE(Has(identify.err, "Trying: 1200")) << identify.err;
}

std::string EndInTwoMonths() {
  const std::time_t end = std::time(nullptr) + 60 * 86400;
  std::tm tm{};
  localtime_r(&end, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &tm);
  return text;
}

TEST(DownloadFaultsE2E, CtrlCEndsTheDownloadAsCancelDoes) {
  SimProcess sim({"--model", "QN-760", "--record", "20000"});
  ASSERT_FALSE(sim.path().empty());
  WorkDirectory work("tmv-e2e-ctrlc");
  // Interrupted once a tenth of the memory is in, at the raised rate.
  const ProgramRun download = RunCli({"--port", sim.path(), "download", "-o", "cut.dat"}, 120000,
                                     [](const ProgramRun& r) { return Has(r.err, " 10% "); });
  EXPECT_EQ(download.status, 3) << download.err << download.out;
  EXPECT_TRUE(Has(download.err, "Download interrupted")) << download.err;
  EXPECT_TRUE(Has(download.out, "DAT file: cut.dat")) << download.out;
  EXPECT_TRUE(Has(work.Text("hex/cut.hex"), "TMV QN-760"));
  ExpectFoundAtTheUsualRate(sim.path());
}

TEST(DownloadFaultsE2E, AnAppendWithNothingNewLeavesTheRateAlone) {
  SimProcess sim({"--model", "QN-760", "--record", "300"});
  ASSERT_FALSE(sim.path().empty());
  WorkDirectory work("tmv-e2e-append");
  const ProgramRun first = RunCli({"--port", sim.path(), "download", "-o", "site.dat"}, 60000);
  ASSERT_EQ(first.status, 0) << first.err;
  const ProgramRun again = RunCli({"--port", sim.path(), "download", "--append", "site.hex"}, 60000);
  EXPECT_NE(again.status, 0) << again.err;
  ExpectFoundAtTheUsualRate(sim.path());
}

TEST(DownloadFaultsE2E, ALoggerThatIgnoresResumeOrStopIsNotReportedAsDone) {
  // A fast clock, so that the logger has readings a moment after it starts;
  // a newer logger, which may be suspended for a download (an active older
  // QN-760 is only offered a stop).
  SimProcess sim({"--model", "KPM-5170", "--time-scale", "10000", "--ignore", "!R", "--ignore", "!9"});
  ASSERT_FALSE(sim.path().empty());
  WorkDirectory work("tmv-e2e-resume");
  const ProgramRun setup = RunCli({"--port", sim.path(), "--yes", "setup", "--now", "--period", "00:00:10", "--end",
                                   EndInTwoMonths(), "--erase"},
                                  60000);
  ASSERT_EQ(setup.status, 0) << setup.err << setup.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the logger's start, and some readings

  const ProgramRun stop = RunCli({"--port", sim.path(), "stop"});
  EXPECT_EQ(stop.status, 5) << stop.err << stop.out;
  EXPECT_TRUE(Has(stop.err, "did not stop")) << stop.err;

  const ProgramRun download = RunCli({"--port", sim.path(), "download", "--suspend", "-o", "held.dat"}, 120000);
  EXPECT_EQ(download.status, 5) << download.err << download.out;
  EXPECT_TRUE(Has(download.err, "Logger failed to resume")) << download.err;
  EXPECT_TRUE(Has(download.out, "DAT file: held.dat")) << download.out;
  EXPECT_TRUE(Has(work.Text("log/051706.log"), "Logger failed to resume.")) << work.Text("log/051706.log");
  const ProgramRun status = RunCli({"--port", sim.path(), "status"});
  EXPECT_EQ(status.out, "Logging Suspended\n") << status.err;
}

}  // namespace
