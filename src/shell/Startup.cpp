#include "shell/Startup.h"

#include <filesystem>
#include <system_error>

#include "analysis/DerivedUnitsDialog.h"
#include "analysis/WaveAnalysis.h"
#include "files/CopySlots.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "link/LoggerLink.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandTable.h"
#include "shell/RetrievalCommands.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

// The settings file holds the port settings but not the device list that
// probing found, nor a device given on the command line.
template <class Load>
int KeepingDevices(AppState& state, const std::string& loggerDevice, Load load) {
  const auto devices = state.ports.devices;
  const auto present = state.ports.portPresent;
  int result = load();
  state.ports.devices = devices;
  state.ports.portPresent = present;
  state.ports.loggerDevice = loggerDevice;
  return result;
}

}  // namespace

std::string MainWindowTitle(const AppState& state) {
  std::string title = Format("TMV Data Loggers %s", TMV_VERSION_TEXT);
  if (state.shell.copyNumber > 1) title = Format("Copy %-2d: ", state.shell.copyNumber) + title;
  return title;
}

void ApplyBuiltCommands(AppState& state) {
  for (const auto& entry : MenuTable()) state.ui.SetCommandEnabled(entry.number, entry.built);
}

int StartShell(Shell& shell, const StartupOptions& options) {
  AppState& state = shell.state;
  std::error_code ec;
  state.directories.work =
      options.workDirectory.empty() ? std::filesystem::current_path(ec).string() : options.workDirectory;
  state.shell.commandLineFile = StripQuotes(options.commandLineFile);
  state.ports.loggerDevice = options.loggerDevice;

  KeepingDevices(state, options.loggerDevice, [&] { return LoadSettings(state); });
  if (shell.copySlots != nullptr && CheckCopies(state, *shell.copySlots) == 0) {
    ExitProgram(shell);
    return 0;
  }
  if (state.shell.copyNumber < 1) state.shell.copyNumber = 1;
  state.shell.windowTitle = MainWindowTitle(state);

  ProbePorts(state);
  // A later copy has its own settings file, known only now: the work files
  // are read through the loader the command-line tool uses too.
  if (KeepingDevices(state, options.loggerDevice, [&] { return LoadWorkFiles(state, WorkFilesUse::Start); }) == 0) {
    ExitProgram(shell);
    return 0;
  }

  ApplyBuiltCommands(state);
  InstallWaveAnalysis(state);
  GreyDataCommands(shell);
  ShowSettingMarks(shell);
  LoadRecentFiles(state);
  ShowConnectionState(state, false);
  ShowUnitsState(state);
  return 1;
}

void FinishStartup(Shell& shell) {
  AppState& state = shell.state;
  ShowStatus(state, Tr(state, "Ready"));
  BuildRecentFileMenu(state);
  if (shell.timer != nullptr) shell.timer->StartPollTimer(1000, false);
  ShellTick(shell);
  if (!state.shell.commandLineFile.empty()) {
    int read = OpenDataFile(shell, state.shell.commandLineFile);
    if (read == 1) AddRecentFile(state, state.shell.commandLineFile);
  }
}

}  // namespace tmv
