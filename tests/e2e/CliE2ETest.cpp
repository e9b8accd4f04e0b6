// tmv-cli against the emulated logger on a pseudo-terminal: the whole path
// through termios, as a user at a shell would run it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

namespace {

class Sim {
 public:
  explicit Sim(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(TMV_SIM_PATH));
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TMV_SIM_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
    path_ = FirstLine(10000);
  }
  ~Sim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (stdout_ >= 0) close(stdout_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string FirstLine(int timeoutMs) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      if (read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line.push_back(c);
    }
    return "";
  }
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string path_;
};

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Runs tmv-cli with args; kills it after timeoutMs.
CliRun RunCli(std::vector<std::string> args, int timeoutMs = 30000) {
  CliRun r;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return r;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    close(err[0]);
    close(err[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TMV_CLI_PATH));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(TMV_CLI_PATH, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool outOpen = true, errOpen = true;
  while ((outOpen || errOpen) && std::chrono::steady_clock::now() < end) {
    pollfd p[2] = {{out[0], static_cast<short>(outOpen ? POLLIN : 0), 0},
                   {err[0], static_cast<short>(errOpen ? POLLIN : 0), 0}};
    if (poll(p, 2, 100) <= 0) continue;
    char buffer[512];
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = read(i == 0 ? out[0] : err[0], buffer, sizeof buffer);
      if (n > 0)
        (i == 0 ? r.out : r.err).append(buffer, static_cast<size_t>(n));
      else
        (i == 0 ? outOpen : errOpen) = false;
    }
  }
  if (outOpen || errOpen) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  close(out[0]);
  close(err[0]);
  return r;
}

TEST(CliE2E, IdentifyStatusAndClockThroughThePseudoTerminal) {
  Sim sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());

  const CliRun id = RunCli({"--port", sim.path(), "identify"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_EQ(id.out, "TMV Data Logger: QN-760  6.10 012345 connected on " + sim.path() + " at 19200 baud.\n");

  const CliRun status = RunCli({"--port", sim.path(), "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out, "Not Enabled\n");

  const CliRun clock = RunCli({"--port", sim.path(), "clock"});
  EXPECT_EQ(clock.status, 0) << clock.err;
  EXPECT_TRUE(std::regex_match(clock.out, std::regex(R"(20\d\d/[A-Z][a-z][a-z]/\d\d \d\d:\d\d:\d\d\n)")))
      << clock.out;
  EXPECT_EQ(clock.out.find("2000/Jan/01"), std::string::npos);  // not the fallback of a bad reply
}

TEST(CliE2E, LoggerAtAnotherRateIsFoundByTheBaudCycle) {
  Sim sim({"--model", "KM-3170", "--baud", "2400", "--serial", "4711"});
  ASSERT_FALSE(sim.path().empty());
  const CliRun id = RunCli({"--port", sim.path(), "identify"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_NE(id.out.find("KM-3170"), std::string::npos) << id.out;
  EXPECT_NE(id.out.find(" 004711 connected on " + sim.path() + " at 2400 baud."), std::string::npos) << id.out;
}

TEST(CliE2E, FailuresNameTheDeviceOnStandardErrorWithNonZeroStatus) {
  const CliRun missing = RunCli({"--port", "/dev/tmv-no-such-port", "identify"});
  EXPECT_NE(missing.status, 0);
  EXPECT_TRUE(missing.out.empty());
  EXPECT_EQ(missing.err,
            "Unable to open /dev/tmv-no-such-port - bad port setting or another application holds the port.\n");

  Sim silent({"--model", "QN-760", "--faults", "silent"});
  ASSERT_FALSE(silent.path().empty());
  const CliRun none = RunCli({"--port", silent.path(), "status"});
  EXPECT_NE(none.status, 0);
  EXPECT_TRUE(none.out.empty());
  EXPECT_EQ(none.err, "Unable to Communicate with Logger on " + silent.path() + "\n");
}

TEST(CliE2E, HelpListsTheCommandsAndUsageErrorsAreRefused) {
  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* name : {"identify", "status", "clock"}) EXPECT_NE(help.out.find(name), std::string::npos) << name;
  const CliRun commandHelp = RunCli({"clock", "--help"});
  EXPECT_EQ(commandHelp.status, 0);
  EXPECT_NE(commandHelp.out.find("Usage: tmv-cli"), std::string::npos);
  EXPECT_NE(RunCli({"no-such-command"}).status, 0);
  EXPECT_NE(RunCli({"--baud", "1234", "identify"}).status, 0);
}

}  // namespace
