#pragma once
// A one-second deployment with real-time output, erased, programmed and
// enabled on the emulated logger while the virtual clock runs: the start of
// every real-time collection test.
#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "platform/Clock.h"
#include "shell/AppState.h"
#include "sim/LoggerEmulator.h"

namespace tmv::test {

// Erases the logger and enables the deployment already set in `state`,
// ticking the virtual clock a second at a time. The run's outcome.
inline int EraseAndEnable(AppState& state, VirtualClock& clock, EnableRun& run) {
  BeginEraseAndProgram(state, run);
  for (int tick = 0; run.erasing && tick < 400; ++tick) {
    clock.Advance(1000);
    EnableTick(state, run);
  }
  return run.outcome;
}

// The logger must be connected; the deployment ends after `days` (on a whole
// minute, as the logger keeps it). true when it is enabled.
inline bool EnableRealTimeDeployment(AppState& state, sim::LoggerEmulator& emulator, VirtualClock& clock,
                                     int days = 2) {
  AssessCapabilities(state);
  CommGet(state, 16);
  CommGet(state, 10);
  DeploymentSettings& d = state.deployment;
  d.loggerClock = emulator.ClockAt(clock.Milliseconds());
  d.startMode = kStartNow;
  d.endTime = AddSeconds(d.loggerClock, days * 86400);
  d.endTime.second = 0;
  d.endTime.milliseconds = 0;
  d.samplingPeriod = MakeClock(0, 0, 1);
  d.averagingEnabled = false;
  d.averagingPeriod = 0;
  d.realTimeOutput = 1;
  RecomputeRealTimeBaud(state);
  EnableRun run;
  return EraseAndEnable(state, clock, run) == 1 || ProgramAndEnable(state, run) == 1;
}

}  // namespace tmv::test
