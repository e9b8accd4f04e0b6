#pragma once
// The command-line tool's commands run in-process on the emulated logger,
// with the tool's own console user interface.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CliCommand.h"
#include "ConsoleUserInterface.h"
#include "platform/Clock.h"
#include "shell/AppState.h"
#include "sim/LoggerEmulator.h"

namespace tmv::test {

// The tool's own user interface (questions answered by --yes) on the emulator.
struct CliRig {
  explicit CliRig(const std::string& profile = "QN-760")
      : ui(err, false, false),
        emulator(sim::ProfileByName(profile), clock.LocalTime()),
        serial(emulator, clock),
        state(serial, clock, ui) {
    state.ports.devices = serial.ListDevices();
    state.ports.portPresent[1] = true;
    state.ports.loggerPort = 1;
  }
  int Run(std::vector<std::string> words) { return RunOn(state, std::move(words)); }
  // On another program state: a second run of the tool, which knows nothing yet.
  int RunOn(AppState& on, std::vector<std::string> words) {
    out.str({});
    err.str({});
    for (const auto& info : cli::CliCommands()) {
      if (info.name != words.front()) continue;
      cli::CliContext ctx{on, std::vector<std::string>(words.begin() + 1, words.end()), out, err, false};
      return info.run(ctx);
    }
    ADD_FAILURE() << "no command " << words.front();
    return -1;
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

  std::ostringstream out, err;
  VirtualClock clock;
  cli::ConsoleUserInterface ui;
  sim::LoggerEmulator emulator;
  sim::EmulatedSerialSystem serial;
  AppState state;
};

}  // namespace tmv::test
