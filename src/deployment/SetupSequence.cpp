#include "deployment/SetupSequence.h"

#include "link/LoggerLink.h"
#include "shell/AppState.h"

namespace tmv {

void CarryOutSetupDecision(AppState& state, const SetupDialog& dialog, const EnableDecision& decision,
                           SetupAction action, EnableRun& run) {
  run = EnableRun{};
  if (action == SetupAction::None) return;
  if (action == SetupAction::StopLogger) {
    run.running = true;
    run.outcome = StopLogger(state);
    run.running = false;
    run.closeSetup = true;
    run.rerunSetup = true;
    return;
  }
  // "Logger still collecting data" was answered Yes: it stops before it is reprogrammed.
  if (decision.stopLoggerFirst) StopLogger(state);
  run.estimateText = dialog.panel.message.text;
  if (action == SetupAction::ContinueToAdd) {
    ContinueToAdd(state, run);
    return;
  }
  BeginEraseAndProgram(state, run);
}

void RunEnableToEnd(AppState& state, EnableRun& run) {
  while (run.erasing) {
    DelayMs(state, 1000);
    EnableTick(state, run);
  }
}

}  // namespace tmv
