#include "shell/Shell.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

#include "analysis/DerivedUnitsDialog.h"
#include "cards/MmcSdCard.h"
#include "analysis/TideWaveFiles.h"
#include "files/CopySlots.h"
#include "files/DatFile.h"
#include "files/HexFile.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "link/Connection.h"
#include "link/ComSettingsDialog.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "retrieval/RealTime.h"
#include "model/Calibration.h"
#include "model/CalibrationDialog.h"
#include "model/CalibrationHistory.h"
#include "model/Capabilities.h"
#include "model/CapabilitiesDialogs.h"
#include "model/ConfigTable.h"
#include "model/LatencyDialog.h"
#include "model/LoggerFamily.h"
#include "presentation/GraphCommands.h"
#include "retrieval/GpsTest.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandGate.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"
#include "shell/DialogPresenter.h"
#include "analysis/TidePanel.h"
#include "shell/ExportCommand.h"
#include "shell/LanguageDialog.h"
#include "shell/LiveCommands.h"
#include "shell/Outcomes.h"
#include "shell/RetrievalCommands.h"
#include "shell/SetupCommand.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

MessageAnswer Box(AppState& state, std::string_view text, std::string_view title, MessageButtons buttons,
                  MessageIcon icon, MessageAnswer defaultAnswer) {
  return state.ui.MessageBox(Tr(state, text), Tr(state, title), buttons, icon, defaultAnswer);
}

// The menu text of a command without its access-key marks.
std::string PlainMenuText(int command) {
  const MenuEntry* e = FindMenuEntry(command);
  std::string name = e != nullptr ? e->text : Format("Command %d", command);
  std::string plain;
  for (char c : name)
    if (c != '&') plain.push_back(c);
  return plain;
}

// Runs an opened dialog model through its face; without one (a program
// that has no windows for it) says so.
template <class Model>
int RunDialog(Shell& shell, Model& model, int command) {
  int result = shell.dialogs.Run(model);
  if (result == DialogPresenter::kNoFace) {
    ShowStatus(shell.state, "Unable to show \"" + PlainMenuText(command) + "\" here");
    return 0;
  }
  return result;
}

// A command whose work is not in this build: its menu item is greyed, so
// this is only reached when the command is sent from elsewhere.
int NotBuilt(Shell& shell, int command) {
  ShowStatus(shell.state, "\"" + PlainMenuText(command) + "\" is not yet available in this version");
  return 0;
}

int ComSettings(Shell& shell) {
  AppState& state = shell.state;
  ComSettingsDialog::Callbacks callbacks;
  callbacks.saveSettings = [](AppState& s) { SaveSettings(s); };
  callbacks.connect = [&shell](AppState&) { RunCommand(shell, cmd::kConnect); };
  ComSettingsDialog dialog(state, callbacks);
  dialog.Open();
  ShowConnectionState(state, false);
  int result = RunDialog(shell, dialog, cmd::kComSettings);
  if (dialog.IsOpen()) dialog.Cancel();
  return result == 1 ? 1 : 0;
}

// The commands below run after the command gate: the logger answered, is
// not refused for logging, and what the command needs of it is known.

int SetDefaultBaud(Shell& shell) {
  AppState& state = shell.state;
  DefaultBaudDialog dialog;
  if (!dialog.Open(state)) {
    ShowOutcome(state, dialog.result, DefaultBaudDialog::kTitle);
    return 0;
  }
  int result = RunDialog(shell, dialog, cmd::kSetDefaultBaud);
  ShowConnectionState(state, false);
  return result == 1 ? 1 : 0;
}

int CommunicationFormat(Shell& shell) {
  AppState& state = shell.state;
  CommunicationFormatDialog dialog;
  dialog.Open(state);
  int result = RunDialog(shell, dialog, cmd::kEngineeringUnits);
  ShowUnitsState(state);
  return result == 1 ? 1 : 0;
}

int SamplingLed(Shell& shell) {
  AppState& state = shell.state;
  SamplingLedDialog dialog;
  dialog.Open(state);
  return RunDialog(shell, dialog, cmd::kSamplingLed) == 1 ? 1 : 0;
}

int SetLatency(Shell& shell) {
  AppState& state = shell.state;
  LatencyDialog dialog;
  if (!dialog.Open(state)) {
    ShowOutcome(state, dialog.result, "Change latency");
    return 0;
  }
  return RunDialog(shell, dialog, cmd::kSetLatency) == 1 ? 1 : 0;
}

// The GPS test runs on the shell's tick at 150 ms; the port is closed when it ends.
int GpsTest(Shell& shell) {
  GpsTestDialog dialog(shell.state);
  if (!dialog.Open()) {
    ShowOutcome(shell.state, dialog.result, "GPS Test");
    return 0;
  }
  const int period = shell.timer != nullptr ? shell.timer->PeriodMs() : 0;
  if (shell.timer != nullptr) shell.timer->StartPollTimer(GpsTestDialog::kTickMs, true);
  auto previousStep = shell.modelessStep;
  shell.modelessStep = [&dialog] { dialog.Step(); };
  const int result = RunDialog(shell, dialog, cmd::kGpsTest);
  shell.modelessStep = previousStep;
  if (shell.timer != nullptr) shell.timer->StartPollTimer(period > 0 ? period : 1000, true);
  dialog.Close();
  return result == DialogPresenter::kNoFace ? 0 : 1;
}

int MmcSdMemory(Shell& shell) {
  MmcSdProc dialog;
  if (!dialog.Open(shell.state)) {
    ShowOutcome(shell.state, dialog.result, MmcSdProc::kCaption);
    return 0;
  }
  const int result = RunDialog(shell, dialog, cmd::kMmcSdMemory);
  dialog.Close();
  return result == DialogPresenter::kNoFace ? 0 : 1;
}

int DerivedUnits(Shell& shell);

}  // namespace

void AskForDepth(Shell& shell, const Outcome& refusal) {
  AppState& state = shell.state;
  ShowOutcome(state, refusal, "Working with KZM Data");
  RunCommand(shell, cmd::kDerivedUnits);
}

namespace {

int DerivedUnits(Shell& shell) {
  DerivedUnitsDialog dialog(shell.state);
  if (RunDialog(shell, dialog, cmd::kDerivedUnits) != 1) return 0;
  // A KZM HEX file refused for want of depth is read now that depth is on.
  if (!dialog.hexFileToRead.empty()) ReadDataFileAndShow(shell, dialog.hexFileToRead, true);
  return 1;
}

int RealTimeLimitsCommand(Shell& shell) {
  LimitsDialog dialog(shell.state);
  return RunDialog(shell, dialog, cmd::kRealTimeLimits) == 1 ? 1 : 0;
}

int CurrentCapabilities(Shell& shell) {
  AppState& state = shell.state;
  CurrentCapabilitiesDialog dialog;
  dialog.Open(state);
  RunDialog(shell, dialog, cmd::kCurrentCapabilities);
  return 1;
}

int Calibration(Shell& shell) {
  AppState& state = shell.state;
  CommGet(state, 9);
  CalibrationDialogModel dialog(state, state.query.loggerStatus);
  int result = RunDialog(shell, dialog, cmd::kCalibration);
  if (result == 1) result = WriteCalibration(state);
  SetMenuState(state, 3);
  return result == 1 ? 1 : 0;
}

int CalibrationHistoryCommand(Shell& shell) {
  AppState& state = shell.state;
  CalibrationHistory history = WriteCalibrationHistory(state);
  if (history.lines.empty()) return 0;
  RunDialog(shell, history, cmd::kCalibrationHistory);
  return history.result == 1 ? 1 : 0;
}

int Disconnect(Shell& shell) {
  AppState& state = shell.state;
  CloseLink(state, state.loggerLink, state.ports.loggerPort);
  state.logger.connected = false;
  ShowStatus(state, Tr(state, "Logger Disconnected"));
  ShowConnectionState(state, false);
  ShowUnitsState(state);
  return 1;
}

int About(Shell& shell) {
  Box(shell.state, "TMV Data Loggers\nVersion " TMV_VERSION_TEXT, "About TMV", MessageButtons::Ok,
      MessageIcon::Information, MessageAnswer::Ok);
  return 1;
}

int ToggleMultipleCopies(Shell& shell) {
  AppState& state = shell.state;
  if (state.shell.copyNumber > 1) {
    // Only the first copy decides whether others may run.
    state.ui.SetCommandEnabled(cmd::kAllowMultipleCopies, false);
    return 0;
  }
  state.shell.allowMultipleCopies = !state.shell.allowMultipleCopies;
  state.ui.SetCommandChecked(cmd::kAllowMultipleCopies, state.shell.allowMultipleCopies);
  SaveSettings(state);
  return 1;
}

int ToggleRangeChanges(Shell& shell) {
  AppState& state = shell.state;
  state.shell.showRangeChanges = !state.shell.showRangeChanges;
  state.settings.gainRequired = !state.shell.showRangeChanges;
  state.ui.SetCommandChecked(cmd::kShowRangeChanges, state.shell.showRangeChanges);
  SaveSettings(state);
  if (shell.redrawGraph) shell.redrawGraph();
  return 1;
}

int ChooseLanguage(Shell& shell) {
  AppState& state = shell.state;
  LanguageDialog dialog(state.shell.language);
  if (RunDialog(shell, dialog, cmd::kLanguage) != 1 || !dialog.accepted) return 0;
  state.shell.language = dialog.selection;
  SaveSettings(state);
  return 1;
}

int RestartRealTimeDisplay(Shell& shell) {
  Box(shell.state,
      "This function is disabled while it is being rewritten.\nIt will be released in the future.\n\nUse the "
      "'Restart Display' function under the 'Setup' menu item.",
      "Restart Real-time Display", MessageButtons::Ok, MessageIcon::Information, MessageAnswer::Ok);
  return 1;
}

int ReadRecentFile(Shell& shell, int index) {
  const auto& list = shell.state.shell.recentFiles;
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return 0;
  const std::string path = list[static_cast<size_t>(index)];
  if (!CheckUnsavedData(shell)) return 0;
  return OpenDataFile(shell, path);
}

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

}  // namespace

int BeginRealTimeDisplay(Shell& shell) {
  AppState& state = shell.state;
  if (state.realTime.active || state.shell.simulation || !state.deployment.realTimeOutput) return 0;
  if (ChooseRealTimeFiles(state) != 1) return 0;
  if (StartRealTime(state) != 1) {
    ShowOutcome(state, state.realTime.refusal, "Real-time Logging");
    return 0;
  }
  if (shell.timer != nullptr) shell.timer->StartPollTimer(state.realTime.tickPeriodMs, true);
  if (shell.redrawGraph) shell.redrawGraph();
  return 1;
}

int EndRealTimeDisplay(Shell& shell) {
  AppState& state = shell.state;
  if (!state.realTime.active) return 0;
  bool stopTransmission = false;
  if (EndAsksAboutTransmission(state)) {
    const Question q = EndTransmissionQuestion(state);
    stopTransmission = state.ui.AskWithButtons(q.text, q.caption,
                                               {Tr(state, "Allow transmission to continue"), Tr(state, "Stop transmission")}, 0) == 1;
  }
  const Outcome ended = EndRealTime(state, stopTransmission);
  ShowOutcome(state, ended, "End Real-time Display");
  const int result = WasRead(ended) ? 1 : 0;
  if (shell.timer != nullptr) shell.timer->StartPollTimer(state.realTime.tickPeriodMs, true);
  if (shell.redrawGraph) shell.redrawGraph();
  return result;
}

bool IsConnected(AppState& state) {
  RunConnectCommand(state);
  ShowUnitsState(state);
  return state.logger.connected;
}

Shell::Shell(AppState& appState, DialogPresenter& presenter) : state(appState), dialogs(presenter) {
  state.hooks.saveRetrievedData = [this] { return SaveFileCommand(*this); };
}

Shell::~Shell() { state.hooks.saveRetrievedData = nullptr; }

int SaveRetrievedData(Shell& shell) {
  AppState& state = shell.state;
  if (state.hooks.saveRetrievedData) return state.hooks.saveRetrievedData();
  return SaveFileCommand(shell);
}

bool CheckUnsavedData(Shell& shell, std::string_view title) {
  AppState& state = shell.state;
  if (!state.shell.dataRetrieved || state.shell.dataSaved) return true;
  // Yes keeps the data, so it is the default: Enter never throws data away.
  MessageAnswer answer =
      Box(state, "Retrieved data has not been saved.\nDo you wish to return to save the data now?", title,
          MessageButtons::YesNo, MessageIcon::Exclamation, MessageAnswer::Yes);
  if (answer == MessageAnswer::Yes) {
    SaveRetrievedData(shell);
    return false;
  }
  state.shell.dataRetrieved = false;
  state.shell.dataSaved = false;
  return true;
}

std::string StripQuotes(std::string_view path) {
  while (!path.empty() && (path.front() == '"' || path.front() == ' ')) path.remove_prefix(1);
  while (!path.empty() && (path.back() == '"' || path.back() == ' ')) path.remove_suffix(1);
  return std::string(path);
}

int OpenDataFile(Shell& shell, const std::string& path) {
  AppState& state = shell.state;
  // The readers look for a missing HEX or DAT file in the work directory's
  // folders too, and say so when it is nowhere.
  if (Contains(path, ".dat")) return ReadDataFileAndShow(shell, path, false);
  if (Contains(path, ".hex")) return ReadDataFileAndShow(shell, path, true);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ShowStatus(state, Format(Tr(state, "Unable to open file: %s").c_str(), path.c_str()));
    RemoveRecentFile(state, path);
    return 0;
  }
  if (Contains(path, ".rcfg")) {
    ShowStatus(state, "Configuration script reading is not yet available in this version: " + path);
    return 0;
  }
  ShowStatus(state, "Unable to read " + path + ": not a DAT, HEX or configuration script file");
  return 0;
}

int OpenGivenDataFile(Shell& shell, const std::string& path) {
  AppState& state = shell.state;
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool known = lower.size() > 4 && (lower.compare(lower.size() - 4, 4, ".hex") == 0 ||
                                          lower.compare(lower.size() - 4, 4, ".dat") == 0);
  if (!known) {
    ShowStatus(state, Format(Tr(state, "Unable to read %s: only HEX and DAT data files can be opened").c_str(),
                             path.c_str()));
    return 0;
  }
  if (!CheckUnsavedData(shell)) return 0;
  const int read = OpenDataFile(shell, path);
  if (read == 1) AddRecentFile(state, path);
  return read;
}

namespace {

// "&Open a data file...": either kind of file, told apart by its extension.
int OpenDataFileCommand(Shell& shell) {
  AppState& state = shell.state;
  if (!CheckUnsavedData(shell)) return 0;
  FileDialogRequest request;
  request.title = Tr(state, "Open a data file");
  request.directory = state.directories.dat.empty() ? state.directories.work : state.directories.dat;
  request.filter = Tr(state, "TMV data files (*.hex *.dat)");
  const std::optional<std::string> chosen = state.ui.ChooseFile(request);
  if (!chosen) return 0;
  const int read = OpenDataFile(shell, *chosen);
  if (read == 1) AddRecentFile(state, *chosen);
  return read;
}

int ShowManual(Shell& shell) {
  if (!shell.showManual) {
    ShowStatus(shell.state, "Unable to show the manual here");
    return 0;
  }
  shell.showManual();
  return 1;
}

}  // namespace

StatisticsHooks ShellStatisticsHooks(Shell& shell) {
  StatisticsHooks hooks;
  hooks.repaintGraph = [&shell] {
    if (shell.redrawGraph) shell.redrawGraph();
  };
  hooks.redecode = [&shell](bool raw) { return RedecodeForView(shell.state, raw); };
  return hooks;
}

bool ExitProgram(Shell& shell) {
  AppState& state = shell.state;
  // A running download ends first: what came is decoded and can be saved.
  if (shell.modelessClose) {
    auto close = shell.modelessClose;
    close();
  }
  state.shell.downloading = false;
  if (state.shell.dataRetrieved && !state.shell.dataSaved) {
    MessageAnswer answer =
        Box(state, "Retrieved data has not been saved.\nDo you wish to return to save the data now?",
            "Program Exit", MessageButtons::YesNo, MessageIcon::Exclamation, MessageAnswer::Yes);
    if (answer == MessageAnswer::Yes) {
      SaveRetrievedData(shell);
      return false;
    }
  }
  // A collection ends first, so that its file is complete.
  if (state.realTime.active) EndRealTimeDisplay(shell);
  state.shell.realTimeActive = false;
  if (shell.timer != nullptr) shell.timer->StopPollTimer();
  if (state.loggerLink.handle > 0) CloseLink(state, state.loggerLink, state.ports.loggerPort);
  if (state.gpsLink.handle > 0) CloseLink(state, state.gpsLink, state.ports.gpsPort);
  if (shell.copySlots != nullptr) shell.copySlots->Release();
  shell.modelessStep = nullptr;
  shell.modelessClose = nullptr;
  state.shell.exiting = true;
  if (shell.quit) shell.quit();
  return true;
}

void ShellTick(Shell& shell) {
  AppState& state = shell.state;
  const int64_t second = state.clock.CalendarSeconds();
  if (second != state.shell.clockShownSecond) {
    state.shell.clockShownSecond = second;
    state.ui.SetClockText(TimeToDisplayText(state.clock.LocalTime()));
  }
  if (state.linkActivity > 0) --state.linkActivity;
  if (state.realTime.active) {
    if (RealTimeTick(state) > 0 && shell.redrawGraph) shell.redrawGraph();
    // The logger's port went away (the tick said so): the collection ends with what came.
    if (state.realTime.linkLost) EndRealTimeDisplay(shell);
    return;
  }
  // A copy: the step may close its panel, and with it this function.
  if (shell.modelessStep) {
    auto step = shell.modelessStep;
    step();
  }
}

void ShowSettingMarks(Shell& shell) {
  AppState& state = shell.state;
  state.ui.SetCommandChecked(cmd::kShowRangeChanges, state.shell.showRangeChanges);
  state.ui.SetCommandChecked(cmd::kAllowMultipleCopies, state.shell.allowMultipleCopies);
  state.ui.SetCommandEnabled(cmd::kAllowMultipleCopies, state.shell.copyNumber <= 1);
}

int RunCommand(Shell& shell, int command) {
  AppState& state = shell.state;
  // Work that was under way when a command returns is over: its text goes.
  struct EndOfCommand {
    AppState& state;
    ~EndOfCommand() { ClearWorkUnderWay(state); }
  } end{state};
  if (command >= cmd::kReadRecentFile && command < cmd::kReadRecentFile + kMaxRecentFiles)
    return ReadRecentFile(shell, command - cmd::kReadRecentFile);
  // Setup passes the gate itself: when no logger answers it offers the simulation.
  if (command == cmd::kSetup) return RunSetupCommand(shell);
  // The line cannot carry fetches (nor the gate's status query) and records
  // at once: live readings end a collection first.
  if (command == cmd::kFetchLiveReadings && state.realTime.active) EndRealTimeDisplay(shell);
  // Every command that needs a logger is checked in one place.
  if (IsCommandBuilt(command) && PassCommandGate(state, command) != GateResult::Pass) return 0;
  switch (command) {
    case cmd::kConnect:
      return state.logger.connected ? 1 : 0;
    case cmd::kDisconnect:
      return Disconnect(shell);
    case cmd::kAbout:
      return About(shell);
    case cmd::kManual:
      return ShowManual(shell);
    case cmd::kOpenDataFile:
      return OpenDataFileCommand(shell);
    case cmd::kExit:
      return ExitProgram(shell) ? 1 : 0;
    case cmd::kAllowMultipleCopies:
      return ToggleMultipleCopies(shell);
    case cmd::kShowRangeChanges:
      return ToggleRangeChanges(shell);
    case cmd::kLanguage:
      return ChooseLanguage(shell);
    case cmd::kRestartRealTimeDisplay:
      return RestartRealTimeDisplay(shell);
    case cmd::kComSettings:
      return ComSettings(shell);
    case cmd::kSetDefaultBaud:
      return SetDefaultBaud(shell);
    case cmd::kEngineeringUnits:
      return CommunicationFormat(shell);
    case cmd::kSamplingLed:
      return SamplingLed(shell);
    case cmd::kSetLatency:
      return SetLatency(shell);
    case cmd::kGpsTest:
      return GpsTest(shell);
    case cmd::kMmcSdMemory:
      return MmcSdMemory(shell);
    case cmd::kCurrentCapabilities:
      return CurrentCapabilities(shell);
    case cmd::kCalibration:
      return Calibration(shell);
    case cmd::kCalibrationHistory:
      return CalibrationHistoryCommand(shell);
    case cmd::kSaveKzmCsv:
      return ExportKzmCsv(state);
    case cmd::kExportData:
      return ExportDataCommand(state);
    case cmd::kTideAnalysis:
      return TideAnalysisCommand(state, shell.dialogs);
    case cmd::kDerivedUnits:
      return DerivedUnits(shell);
    case cmd::kRealTimeLimits:
      return RealTimeLimitsCommand(shell);
    case cmd::kStatistics: {
      StatisticsPanel panel(state, ShellStatisticsHooks(shell));
      panel.Show();
      if (shell.showStatisticsPanel) shell.showStatisticsPanel();
      return 1;
    }
    case cmd::kScreenCapture:
      return ScreenCapture(state, shell.captureWindow);
    case graphcmd::kZoomOut:
    case graphcmd::kReset:
    case graphcmd::kZoomInVertical:
    case graphcmd::kZoomOutVertical:
    case graphcmd::kResetVertical:
    case graphcmd::kShowAll:
    case graphcmd::kDepthPlot:
    case graphcmd::kZoomIn: {
      // While collecting, the zoom-in button reads "End Real-time Display".
      if (state.realTime.active) return EndRealTimeDisplay(shell);
      const int done = RunGraphCommand(state, command);
      if (done && shell.redrawGraph) shell.redrawGraph();
      return done;
    }
    case cmd::kRetrieveData:
      return RetrieveDataCommand(shell);
    case cmd::kFetchLiveReadings:
      return FetchLiveReadingsCommand(shell);
    case cmd::kMicroSalinometer:
      return MicroSalinometerCommand(shell);
    case cmd::kSaveFile:
      return SaveFileCommand(shell);
    case cmd::kReadHexFile:
      return ReadHexFileCommand(shell);
    case cmd::kReadDatFile:
      return ReadDatFileCommand(shell);
    case cmd::kSaveFormat:
      return SaveFormatCommand(shell);
    case cmd::kSaveScreenSegment:
      return SaveScreenSegmentCommand(shell);
    default:
      return NotBuilt(shell, command);
  }
}

}  // namespace tmv
