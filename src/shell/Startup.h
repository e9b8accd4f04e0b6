#pragma once
// Start-up of the program as core steps, around the creation of the window.
#include <string>

namespace tmv {

struct AppState;
struct Shell;

struct StartupOptions {
  std::string workDirectory;    // empty: the current directory
  std::string loggerDevice;     // a device to use for the logger port instead of COMn
  std::string commandLineFile;  // as given, double quotes and all
};

// "TMV Data Loggers 6.16", prefixed with "Copy %-2d: " in a
// second or later copy.
std::string MainWindowTitle(const AppState& state);

// Before the window shows: work directory, settings, the multiple-copy
// rule, the serial ports, the settings of this copy, the menu's enabled
// state and check marks, the data directories and the recent files.
// 1: go on; 0: this copy must end (ExitProgram has run).
int StartShell(Shell& shell, const StartupOptions& options);

// Once the window shows: "Ready", the recent-files submenu, the tick, and
// the file named on the command line.
void FinishStartup(Shell& shell);

// Every command of the table enabled when built, greyed when not.
void ApplyBuiltCommands(AppState& state);

}  // namespace tmv
