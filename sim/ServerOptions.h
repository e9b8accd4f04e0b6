#pragma once
// The command line of tmv-logger-sim, parsed apart from the terminal so that
// what it accepts and refuses can be tested.
#include <string>
#include <vector>

#include "sim/LoggerEmulator.h"

namespace tmv::sim {

struct ServerOptions {
  bool help = false;
  bool version = false;
  Profile profile;  // the chosen model with --baud and --serial applied
  Faults faults;
  int record = -1;  // rows of a finished deployment to start with (-1: none)
  int timeScale = 1;  // the logger's clock runs this many times faster than real time
  bool paced = true;  // replies at the line rate of the current baud
};

// The rates a pseudo-terminal can be set to, and so the rates we serve.
const std::vector<int>& ServedBaudRates();
// Fills `options` from the arguments (without the program name); on a bad
// argument returns false with a one-line reason in `error`.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, std::string& error);
// The --help text.
std::string ServerUsage();

}  // namespace tmv::sim
