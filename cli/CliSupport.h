#pragma once
// Helpers for the command files of the command-line tool.
#include <string>

#include "CliCommand.h"

namespace tmv::cli {

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Connects to the logger (the connect command with its status texts).
// Returns kExitOk when a logger answered; otherwise prints the status-line
// text of the failure ("Unable to open ..." / "Unable to Communicate with
// Logger on ...") to ctx.err and returns kExitFailure.
int ConnectOrReport(CliContext& ctx);
// Connects, then reads what a logger operation needs first: the capabilities,
// the configuration (older single-channel recorders have no table) and, when
// asked, the calibration coefficients. Failures are reported as by ConnectOrReport.
int PrepareLogger(CliContext& ctx, bool withCalibration);
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
