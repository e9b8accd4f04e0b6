#pragma once
// The command-line tool's commands run in-process on the emulated logger and
// the virtual clock, with the tool's own console user interface and a hook
// on the serial line (HookedSerialSystem).
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CliCommand.h"
#include "ConsoleUserInterface.h"
#include "platform/Clock.h"
#include "shell/AppState.h"
#include "sim/LoggerEmulator.h"
#include "support/HookedSerial.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {

struct CliRig {
  explicit CliRig(const std::string& profile = "QN-760")
      : ui(err, false, false),
        emulator(sim::ProfileByName(profile), clock.LocalTime()),
        line(emulator, clock),
        serial(line),
        state(serial, clock, ui) {
    state.ports.devices = serial.ListDevices();
    state.ports.portPresent[1] = true;
    state.ports.loggerPort = 1;
    state.directories.work = work.path;
  }
  std::string Path(const std::string& name) const { return work.path + "/" + name; }
  // Runs `words` (the command name first) as the tool would; the exit status.
  int Run(std::vector<std::string> words) { return RunOn(state, std::move(words)); }
  // On another program state: a second run of the tool, which knows nothing yet.
  int RunOn(AppState& on, std::vector<std::string> words) {
    out.str({});
    err.str({});
    ui.fileAnswers.clear();
    ui.buttonAnswer.reset();
    ui.SetYes(false);
    for (const auto& info : cli::CliCommands()) {
      if (info.name != words.front()) continue;
      cli::CliContext ctx{on, std::vector<std::string>(words.begin() + 1, words.end()), out, err, false};
      return info.run(ctx);
    }
    ADD_FAILURE() << "no command " << words.front();
    return -1;
  }
  size_t Sent(const std::string& command) const {
    size_t n = 0;
    for (const auto& c : emulator.CommandLog()) n += c == command ? 1 : 0;
    return n;
  }
  // Commands that change the logger's deployment, sent since entry `from` of the log.
  std::vector<std::string> WritesSince(size_t from) const {
    std::vector<std::string> writes;
    const auto& log = emulator.CommandLog();
    for (size_t i = from; i < log.size(); ++i) {
      const std::string& c = log[i];
      const bool schedule = c.size() > 1 && (c[0] == 'J' || c[0] == 'K' || c[0] == 'L' || c[0] == 'M' || c[0] == 'W');
      const bool mode = c.rfind("!1", 0) == 0 || c.rfind("!A", 0) == 0 || c.rfind("!U", 0) == 0 || c.rfind("!B", 0) == 0;
      if (schedule || mode || c == "P" || c == "!9") writes.push_back(c);
    }
    return writes;
  }

  ScopedTempDir work;  // the work directory
  std::ostringstream out, err;
  VirtualClock clock;
  cli::ConsoleUserInterface ui;
  sim::LoggerEmulator emulator;
  sim::EmulatedSerialSystem line;
  HookedSerialSystem serial;
  AppState state;
};

}  // namespace tmv::test
