#pragma once
// The one check of a command's preconditions, from its row of the command
// rules: a logger that answers, not logging (or the refusal), what must be
// known of the logger, and the capability the command needs. The desktop
// program's dispatch and every command of the command-line tool pass here.
namespace tmv {

struct AppState;

enum class GateResult {
  Pass,            // go ahead
  NoLogger,        // nothing answered; the status line says so
  Refused,         // a refusal was shown in a message box
  LoggerUnknown,   // what the command needs of the logger could not be read (status line)
};

GateResult PassCommandGate(AppState& state, int command);

}  // namespace tmv
