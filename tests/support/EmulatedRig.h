#pragma once
// A complete program state wired to an in-process emulated logger on a
// virtual clock: what most tests of the link and the logger model need.
#include <string>

#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "shell/AppState.h"
#include "support/OutcomePrinter.h"
#include "sim/LoggerEmulator.h"

namespace tmv::test {

struct EmulatedRig {
  explicit EmulatedRig(const std::string& profileName = "QN-760")
      : emulator(sim::ProfileByName(profileName), clock.LocalTime()),
        serial(emulator, clock),
        state(serial, clock, ui) {
    state.ports.devices = serial.ListDevices();
    state.ports.portPresent[1] = true;
    state.ports.loggerPort = 1;
  }
  sim::Profile& profile() { return emulator.profile(); }
  sim::Faults& faults() { return emulator.faults(); }

  VirtualClock clock;
  ScriptedUserInterface ui;
  sim::LoggerEmulator emulator;
  sim::EmulatedSerialSystem serial;
  AppState state;
};

}  // namespace tmv::test
