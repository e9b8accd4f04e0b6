#pragma once
// The command-line tool's commands register themselves here, one file per
// group of commands, so that groups can be added without touching main.
#include <iosfwd>
#include <string>
#include <vector>

namespace tmv {
struct AppState;
}

namespace tmv::cli {

struct CliContext {
  AppState& state;
  std::vector<std::string> args;  // the words after the command name
  std::ostream& out;
  std::ostream& err;
  bool yes = false;  // --yes: answer questions with Yes
};

struct CliCommandInfo {
  std::string name;     // e.g. "identify", "calibration history" (words joined by a space)
  std::string summary;  // one line for the tool's --help
  std::string help;     // the command's own --help text
  int (*run)(CliContext&) = nullptr;  // exit status
};

// Called from a static initialiser in each command file.
bool RegisterCliCommand(CliCommandInfo info);
const std::vector<CliCommandInfo>& CliCommands();

}  // namespace tmv::cli
