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
  int Run(std::vector<std::string> words) {
    out.str({});
    err.str({});
    ui.fileAnswers.clear();
    ui.buttonAnswer.reset();
    ui.SetYes(false);
    for (const auto& info : cli::CliCommands()) {
      if (info.name != words.front()) continue;
      cli::CliContext ctx{state, std::vector<std::string>(words.begin() + 1, words.end()), out, err, false};
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
