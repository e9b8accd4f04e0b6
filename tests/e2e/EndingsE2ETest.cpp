// How tmv-cli's long-running commands end, against the emulators on
// pseudo-terminals: a termination signal or a hang-up ends a collection as
// Ctrl-C does, a logger or GPS whose port goes away ends it with a message
// and status 4, and an interrupted bench procedure leaves the instrument
// stopped.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/WorkDirectoryTest.h"

namespace {

using tmv::test::ProgramRun;
using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// tmv-cli running in the background, its standard error watched.
class RunningCli {
 public:
  explicit RunningCli(std::vector<std::string> args) {
    int err[2], out[2];
    if (pipe(err) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
      std::vector<char*> argv{const_cast<char*>(TMV_CLI_PATH)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TMV_CLI_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~RunningCli() {
    if (pid_ > 0 && status_ < -1) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
  }
  // Reads both outputs until done(); false when it ended or timeoutMs passed first.
  template <class Done>
  bool WaitFor(Done done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end || !Pump(100)) return done();
    }
    return true;
  }
  bool WaitForError(const std::string& text, int timeoutMs) {
    return WaitFor([&] { return Has(err, text); }, timeoutMs);
  }
  void Signal(int signal) const { kill(pid_, signal); }
  // The exit status once it has ended; -1 when it was still running after timeoutMs (then killed).
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t ended = 0;
    while (std::chrono::steady_clock::now() < end && (ended = waitpid(pid_, &status, WNOHANG)) == 0)
      if (!Pump(100)) poll(nullptr, 0, 10);  // outputs closed: the process is ending
    if (ended == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status_ = -1;
      return -1;
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }

  std::string out, err;

 private:
  // Reads what came; false once both outputs have closed.
  bool Pump(int waitMs) {
    pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) return false;
    if (poll(p, 2, waitMs) <= 0) return true;
    char buffer[512];
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? out_ : err_;
      if (fd < 0 || !(p[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
      } else {
        close(fd);
        fd = -1;
      }
    }
    return out_ >= 0 || err_ >= 0;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  int status_ = -2;  // -2: not waited for
};

// A QN-760 on a clock ten times fast, sending a binary record every ten of its seconds.
SimProcess* StartLogger() { return new SimProcess({"--model", "QN-760", "--time-scale", "10"}); }

std::string EnableRealTime(const std::string& port) {
  const std::time_t tomorrow = std::time(nullptr) + 86400;
  char end[32];
  std::strftime(end, sizeof end, "%Y/%m/%d %H:%M:00", std::localtime(&tomorrow));
  const ProgramRun setup = RunCli({"--port", port, "--no-settings", "--yes", "setup", "--now", "--end", end, "--period",
                                   "00:00:10", "--no-averaging", "--realtime", "binary"},
                                  60000);
  return setup.status == 0 ? std::string() : setup.err + setup.out;
}

long DeclaredBytes(const std::string& hexPath) {
  const std::string text = tmv::ReadTextFile(hexPath).value_or("");
  const size_t key = text.find("Number of bytes of data ");
  return key == std::string::npos ? -1 : std::atol(text.c_str() + key + 24);
}

TEST(EndingsE2E, TerminationAndHangUpEndACollectionWithItsFileComplete) {
  const std::unique_ptr<SimProcess> sim(StartLogger());
  ASSERT_FALSE(sim->path().empty());
  ASSERT_EQ(EnableRealTime(sim->path()), "");
  tmv::test::ScopedTempDir work;
  for (const int signal : {SIGTERM, SIGHUP}) {
    const std::string hex = work.path + "/rt" + std::to_string(signal) + ".hex";
    RunningCli run({"--port", sim->path(), "--work-dir", work.path, "realtime", "-o", hex});
    ASSERT_TRUE(run.WaitForError("Collecting real-time data", 60000)) << run.err;
    // Records in the file, then the service manager (or a closed terminal) ends it.
    const size_t header = tmv::ReadTextFile(hex).value_or("").size();
    ASSERT_TRUE(run.WaitFor([&] { return tmv::ReadTextFile(hex).value_or("").size() > header + 40; }, 30000));
    run.Signal(signal);
    EXPECT_EQ(run.Wait(30000), 0) << run.err;
    EXPECT_TRUE(Has(run.out, "HEX file: " + hex)) << run.out;
    EXPECT_GT(DeclaredBytes(hex), 0) << "signal " << signal;
    const ProgramRun info = RunCli({"--no-settings", "info", hex});
    EXPECT_EQ(info.status, 0) << info.err;
  }
}

TEST(EndingsE2E, ALoggerThatGoesAwayEndsTheCollectionWithAMessage) {
  std::unique_ptr<SimProcess> sim(StartLogger());
  ASSERT_FALSE(sim->path().empty());
  ASSERT_EQ(EnableRealTime(sim->path()), "");
  tmv::test::ScopedTempDir work;
  const std::string hex = work.path + "/rt.hex";
  RunningCli run({"--port", sim->path(), "--work-dir", work.path, "realtime", "-o", hex});
  ASSERT_TRUE(run.WaitForError("Collecting real-time data", 60000)) << run.err;
  sim.reset();  // the logger's end of the line closes
  EXPECT_EQ(run.Wait(30000), 4) << run.err;
  EXPECT_TRUE(Has(run.err, "was lost.")) << run.err;
  EXPECT_TRUE(Has(run.out, "HEX file: " + hex)) << run.out;
  EXPECT_GE(DeclaredBytes(hex), 0);
  EXPECT_FALSE(Has(tmv::ReadTextFile(hex).value_or(""), "Number of bytes of data 0000000"));
}

TEST(EndingsE2E, AGpsThatGoesAwayEndsTheGpsTest) {
  auto gps = std::make_unique<SimProcess>(TMV_GPS_SIM_PATH, std::vector<std::string>{"--rate", "5"});
  ASSERT_FALSE(gps->path().empty());
  RunningCli run({"--no-settings", "gps-test", "--port", gps->path(), "--seconds", "600"});
  ASSERT_TRUE(run.WaitFor([&] { return Has(run.out, "\n"); }, 30000)) << "no position came: " << run.err;
  gps.reset();
  EXPECT_EQ(run.Wait(30000), 4) << run.err;
  EXPECT_TRUE(Has(run.err, "has gone")) << run.err;
}

TEST(EndingsE2E, AnInterruptedBenchProcedureLeavesTheInstrumentStopped) {
  SimProcess sim({"--model", "VL-840", "--bench-salinity", "34.993", "--bench-temperature", "15"});
  ASSERT_FALSE(sim.path().empty());
  RunningCli run({"--port", sim.path(), "--no-settings", "--yes", "--verbose", "salinometer", "--average", "30"});
  ASSERT_TRUE(run.WaitForError("Run Micro-Salinometer", 60000)) << run.err;
  run.Signal(SIGINT);
  EXPECT_EQ(run.Wait(60000), 1) << run.err;
  EXPECT_TRUE(Has(run.err, "Interrupted")) << run.err;
  const ProgramRun status = RunCli({"--port", sim.path(), "--no-settings", "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_FALSE(Has(status.out, "Profiling")) << status.out;
  EXPECT_FALSE(Has(status.out, "Enabled")) << status.out;
}

}  // namespace
