#pragma once
// The options of `setup` and `estimate`: every field of the Setup dialog and
// its sub-dialogs, applied by driving those dialogs as a user would.
#include <optional>
#include <string>

#include "CliCommand.h"
#include "model/LoggerTime.h"

namespace CLI {
class App;
}

namespace tmv {
struct SetupDialog;
}

namespace tmv::cli {

struct SetupOptions {
  std::string start;        // "YYYY/MM/DD HH:MM:SS"
  bool now = false;
  std::string end;
  std::string period;       // "HH:MM:SS"
  bool sixHz = false;
  std::string averaging;    // seconds
  bool noAveraging = false;
  std::string above;        // "CHANNEL:VALUE"
  std::string below;
  std::string testPeriod;   // "HH:MM:SS"; 00:00:00 tests continuously
  std::string hysteresis;   // seconds
  std::string waves;        // "on" / "off"
  int burstRate = 0;        // Hz
  int burstSamples = 0;
  std::string burstPeriod;  // "HH:MM:SS"
  std::string depth;        // metres
  std::string height;       // metres
  std::string realtime;     // "off", "binary", "engineering"
  bool noStorage = false;
  bool erase = false;
  bool keep = false;        // --continue
};

// Adds the options to a command's parser.
void AddSetupOptions(CLI::App& parser, SetupOptions& options);

// A date and time as typed: "2027/01/15 08:00:00" (or with '-' and 'T').
std::optional<LoggerTime> ParseDateTime(const std::string& text);

// Checks the option texts before any logger is touched; kParsed or kExitUsage.
int CheckSetupOptions(CliContext& ctx, const SetupOptions& options);

// Drives the open Setup dialog and its sub-dialogs with the options. kParsed
// when every option was taken; kExitUsage for an option this logger has no
// field for, kExitFailure when a sub-dialog refused a value (its message has
// been reported).
int ApplySetupOptions(CliContext& ctx, SetupDialog& dialog, const SetupOptions& options);

// The deployment as the Setup dialog shows it, one field a line.
void PrintDeployment(CliContext& ctx, const SetupDialog& dialog);

// 0 when the deployment may be enabled; else prints why (and, when the memory
// cannot hold it, what would fit) on standard error and returns kExitFailure.
int ReportValidity(CliContext& ctx, SetupDialog& dialog);

}  // namespace tmv::cli
