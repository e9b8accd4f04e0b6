#pragma once
// Child processes for the end-to-end tests: the emulator on a pseudo-terminal
// and one run of a program with its output collected.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tmv::test {

// tmv-logger-sim (or another emulator on a pty, such as tmv-gps-sim) started
// with args; its first output line is the pty path.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) : SimProcess(TMV_SIM_PATH, std::move(args)) {}
  SimProcess(const char* program, std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program));
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
    path_ = FirstLine(10000);
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (stdout_ >= 0) close(stdout_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& path() const { return path_; }
  pid_t pid() const { return pid_; }

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

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

// Runs program with args, collecting both outputs; kills it after timeoutMs.
// When `interruptWhen` is given, it is asked after each piece of output and
// the program is sent SIGINT (once) when it says so, as Ctrl-C would.
inline ProgramRun RunProgram(const char* program, std::vector<std::string> args, int timeoutMs = 30000,
                             const std::function<bool(const ProgramRun&)>& interruptWhen = {}) {
  ProgramRun r;
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
    argv.push_back(const_cast<char*>(program));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool outOpen = true, errOpen = true, interrupted = false;
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
    if (interruptWhen && !interrupted && interruptWhen(r)) {
      kill(pid, SIGINT);
      interrupted = true;
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

inline ProgramRun RunCli(std::vector<std::string> args, int timeoutMs = 30000,
                         const std::function<bool(const ProgramRun&)>& interruptWhen = {}) {
  return RunProgram(TMV_CLI_PATH, std::move(args), timeoutMs, interruptWhen);
}

}  // namespace tmv::test
