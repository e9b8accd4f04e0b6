#pragma once
// Carrying out what the Setup dialog's "Enable logging" decided: one place
// for the desktop program (paced by its tick) and the command-line tool
// (paced by a loop), so both faces program a logger the same way.
#include "deployment/Enabling.h"
#include "deployment/SetupDialog.h"

namespace tmv {

struct AppState;

// Starts the action (after the "The logger contains data" choice, when the
// decision asked for it). For an erase run.erasing is left set and the caller
// calls EnableTick once a second until it clears; run.outcome then tells.
void CarryOutSetupDecision(AppState& state, const SetupDialog& dialog, const EnableDecision& decision,
                           SetupAction action, EnableRun& run);

// For callers without a timer: waits a second at a time (on the program's
// clock) and ticks until the erase and programming have ended.
void RunEnableToEnd(AppState& state, EnableRun& run);

}  // namespace tmv
