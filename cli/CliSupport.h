#pragma once
// Helpers for the command files of the command-line tool.
#include <string>

#include "CliCommand.h"

namespace tmv::cli {

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Passes the command gate for a command of the command table (cmd::...):
// connects, refuses a logging logger as the desktop program does, learns
// what the command needs of the logger and checks its capability. Returns
// kExitOk to go ahead; otherwise the refusal (a message box on standard
// error) or the status-line text of the failure has been reported and
// kExitFailure is returned.
int PassGate(CliContext& ctx, int command);
// Prints text (one line) to ctx.err and returns kExitFailure.
int ReportFailure(CliContext& ctx, const std::string& text);
// Message boxes shown so far (they go to standard error).
int BoxesShown(const CliContext& ctx);
// For a step that failed: when it showed a message box since boxesBefore, that
// was the report; otherwise prints the status line. Returns kExitFailure.
int ReportFailureSince(CliContext& ctx, int boxesBefore);
// The "Unable to Communicate with Logger on ..." text, for a query that went unanswered.
int ReportNoAnswer(CliContext& ctx);
// Prints a usage error and the command's help hint; returns kExitUsage.
int UsageError(CliContext& ctx, const std::string& text);

}  // namespace tmv::cli
