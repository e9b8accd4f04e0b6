#pragma once
// Helpers for the command files of the command-line tool.
#include <memory>
#include <string>

#include "CliCommand.h"
#include "platform/Outcome.h"

namespace CLI {
class App;
}

namespace tmv {
struct DerivedSettings;
}

namespace tmv::cli {

// Exit statuses of the tool, one per kind of failure, the same for every
// command (the README's table). A script tells them apart without reading
// the message.
constexpr int kExitOk = 0;
// Failed for another reason (a file that cannot be read or written, ...).
constexpr int kExitFailure = 1;
// The command line was wrong; nothing was done.
constexpr int kExitUsage = 2;
// Done in part: data were lost or only part of them was retrieved, read or
// saved (a partial download, a damaged file read up to its damage).
constexpr int kExitPartial = 3;
// No logger answered, or the link to it was lost.
constexpr int kExitNoLogger = 4;
// The logger answered but refused, or is not in the state that was asked
// for (still logging after a stop, still suspended after a resume).
constexpr int kExitRefused = 5;
// A value written was read back different (a setup or calibration write).
constexpr int kExitVerify = 6;

// The exit status of an outcome of the core: the one table from kinds to
// statuses.
int ExitStatusFor(OutcomeKind kind);
// Prints an outcome's reason (when it has one) on ctx.err and returns its exit status.
int ReportOutcome(CliContext& ctx, const Outcome& outcome);

// Passes the command gate for a command of the command table (cmd::...):
// connects, refuses a logging logger as the desktop program does, learns
// what the command needs of the logger and checks its capability. Returns
// kExitOk to go ahead; otherwise the refusal (a message box on standard
// error) or the status-line text of the failure has been reported and
// kExitRefused (refused) or kExitNoLogger (no answer, or what the command
// needs could not be read) is returned.
int PassGate(CliContext& ctx, int command);
// Prints text (one line) to ctx.err and returns kExitFailure.
int ReportFailure(CliContext& ctx, const std::string& text);
// The "Unable to Communicate with Logger on ..." text, for a query that
// went unanswered; returns kExitNoLogger.
int ReportNoAnswer(CliContext& ctx);
// Prints a usage error and the command's help hint; returns kExitUsage.
int UsageError(CliContext& ctx, const std::string& text);

// A parser for one command's own options and arguments. Every command takes
// --yes too (as the tool does before the command word); --help prints the
// parser's own help, headed by `usage`.
std::unique_ptr<CLI::App> CommandParser(const std::string& name, const std::string& usage);
// Returned by ParseCommand when the command is to go on.
constexpr int kParsed = -1;
// Parses ctx.args. kParsed to go on; kExitOk after --help (printed to
// ctx.out); kExitUsage after a parse error (reported on ctx.err).
int ParseCommand(CliContext& ctx, CLI::App& parser);
// --derived LIST and the values its formulas take, as options of a command
// that adds derived columns.
struct DerivedOptions {
  std::string list, latitude, atmosphericPressure, density, hydrostaticPressure, fixedTemperature, fixedSalinity;

  // `latitudeToo` false: the command has a --latitude of its own.
  void AddTo(CLI::App& parser, bool latitudeToo = true);
  // Applies them over `settings` (the work directory's); a usage error's text
  // for the first bad one, and then `settings` is left as it was.
  std::string Apply(DerivedSettings& settings) const;
};

// Reads a HEX or DAT file, told apart by its extension, into the program
// state. kParsed when read, whole or in part (what was wrong in it is said
// now, and DamagedFileStatus gives the exit status); otherwise the exit
// status after saying why.
int ReadDataFileInto(CliContext& ctx, const std::string& path);

// After a command wrote what it read from `path`: kExitPartial (with the
// reason) when the reader found the file damaged and lost part of it, else kExitOk.
int DamagedFileStatus(CliContext& ctx, const std::string& path);

// A question of the tool itself (Yes/No, default No): the console answers Yes under --yes.
bool Confirm(CliContext& ctx, const std::string& text, const std::string& caption);

// While one lives, SIGINT (Ctrl-C), SIGTERM and SIGHUP do not end the tool:
// they set EndRequested(), and a command that runs until told to stop ends
// at its next turn with its files and the logger left in order.
class EndingSignals {
 public:
  EndingSignals();
  ~EndingSignals();
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};
bool EndRequested();

}  // namespace tmv::cli
