#include "shell/RetrievalCommands.h"

#include <algorithm>
#include <memory>

#include "files/DatFile.h"
#include "files/HexFile.h"
#include "files/SaveFile.h"
#include "files/WorkFiles.h"
#include "model/LoggerTime.h"
#include "presentation/GraphCommands.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/Confirmations.h"
#include "shell/DialogPresenter.h"
#include "shell/Outcomes.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

constexpr int kTickMs = 1000;

// Saves with the questions of the save dialog; the shell's flags follow.
int SaveData(Shell& shell, int mode) {
  AppState& state = shell.state;
  const int saved = SaveFile(state, mode);
  if (saved == 1) state.shell.dataSaved = true;
  return saved;
}

void SetTickPeriod(Shell& shell, int periodMs) {
  if (shell.timer != nullptr) shell.timer->StartPollTimer(periodMs, true);
}

bool HasData(const AppState& state) {
  const DataSet& d = state.retrieval.data;
  return d.sampleCount > 0 || state.retrieval.image.imageLength > 0;
}

}  // namespace

// ------------------------------------------------------------ the panel

bool RetrievalPanel::Downloading() const { return dialog.Downloading(shell.state); }

void RetrievalPanel::Notify() {
  if (changed) changed();
}

void RetrievalPanel::Started() {
  // One block per tick: the tick's period becomes a block's line time.
  SetTickPeriod(shell, dialog.TimerPeriodMs());
  // Nothing else may talk on the one serial line meanwhile: the calibration
  // functions and the micro-salinometer are greyed with the rest.
  SetMenuState(shell.state, 2);
  menusGreyed_ = true;
  Notify();
}

void RetrievalPanel::PressRetrieve(bool full) {
  if (closed || Downloading() || stepping_) return;
  const auto keep = shared_from_this();
  AppState& state = shell.state;
  // Stopping a logging logger is asked once more, with keeping it as the default.
  if (dialog.OffersStop() && !ConfirmStopLogger(state)) return;
  // A data folder that cannot take the files is said before the memory is
  // read, not after many minutes of it; the save dialog may choose another.
  if (!dialog.OffersStop())
    if (const std::string problem = CheckSaveFolders(state, std::string()); !problem.empty())
      state.ui.MessageBox(problem + "\n" + Tr(state, "Choose another folder when the data are saved."),
                          Tr(state, "Retrieve Data"), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
  auto ask = [this](const DownloadQuery& query) {
    DownloadQueryChoice choice;
    choice.query = query;
    int answer = shell.dialogs.Run(choice);
    if (answer == DialogPresenter::kNoFace) return kQueryCancel;
    const bool stops = (answer == kQueryButton6 && query.on6 == DownloadQuery::Action::Stop) ||
                       (answer == kQueryButton7 && query.on7 == DownloadQuery::Action::Stop);
    if (stops && !ConfirmStopLogger(shell.state)) answer = kQueryCancel;
    return answer;
  };
  const bool going = dialog.Retrieve(state, ask, full);
  if (dialog.reopen) {
    // "STOP logger" stopped it: the panel opens again on the stopped logger.
    Finish(true);
    return;
  }
  if (!going) {
    const bool derived = dialog.openDerivedUnits;
    Finish(false);
    // A tide-and-wave recorder needs depth first: "&Derived units" opens.
    if (derived) AskForDepth(shell, dialog.result);
    else ShowOutcome(state, dialog.result, "Retrieve Data");
    return;
  }
  if (dialog.ended) {
    // Nothing to request: EndDownload has already run (and offered the save).
    Finish(false);
    return;
  }
  Started();
}

void RetrievalPanel::PressAppend() {
  if (closed || Downloading() || stepping_) return;
  const auto keep = shared_from_this();
  AppState& state = shell.state;
  const auto chosen = state.ui.ChooseFile(AppendFileRequest(state));
  if (!chosen) return;
  const Outcome appended = dialog.Append(state, *chosen);
  if (appended.Ok()) {
    Started();
    return;
  }
  ShowOutcome(state, appended, "Append to file");
  Notify();
}

void RetrievalPanel::PressClose() {
  if (closed) return;
  const auto keep = shared_from_this();
  if (stepping_) {
    // Inside a tick (its events pumped between blocks, or the save dialog
    // at its end): the tick ends the download and closes the panel.
    if (Downloading()) {
      dialog.failed = true;
      dialog.endPosted = true;
    }
    return;
  }
  // During a download this ends it: what came is decoded and offered for saving.
  stepping_ = true;
  dialog.Cancel(shell.state);
  stepping_ = false;
  Finish(false);
}

std::string RetrievalPanel::CloseButtonText() const {
  return Tr(shell.state, Downloading() ? "Cancel download" : "Close");
}

void RetrievalPanel::PressCloseButton() {
  if (closed) return;
  const auto keep = shared_from_this();
  // Hours of download at a field baud rate go with one click: asked first.
  // The blocks wait while the question is open.
  if (Downloading() && !stepping_) {
    stepping_ = true;
    const bool cancel = ConfirmCancelDownload(shell.state, shell.state.retrieval.image.imageLength);
    stepping_ = false;
    if (!cancel) return;
  }
  PressClose();
}

void RetrievalPanel::Step() {
  if (closed || stepping_) return;
  const auto keep = shared_from_this();
  AppState& state = shell.state;
  if (!Downloading() && !dialog.endPosted) return;
  stepping_ = true;
  // A tick's worth of blocks: at least one, as many as its period allows.
  dialog.Tick(state, std::max(dialog.TimerPeriodMs(), 50));
  stepping_ = false;
  if (dialog.ended) {
    Finish(false);
    return;
  }
  Notify();
}

void RetrievalPanel::Finish(bool rerun) {
  if (closed) return;
  closed = true;
  Shell& s = shell;
  SetTickPeriod(s, kTickMs);
  if (menusGreyed_) SetMenuState(s.state, 3);
  menusGreyed_ = false;
  s.state.ui.SetCommandEnabled(cmd::kRetrieveData, true);
  s.modelessStep = nullptr;  // the tick copies its step, so this may run inside it
  s.modelessClose = nullptr;
  if (close) close();
  if (rerun) RunCommand(s, cmd::kRetrieveData);
}

// ------------------------------------------------------------ the commands

int RetrieveDataCommand(Shell& shell) {
  AppState& state = shell.state;
  if (shell.modelessStep) {
    // One modeless panel at a time: the open one is in front already.
    ShowStatus(state, Tr(state, "Close the open panel first"));
    return 0;
  }
  auto panel = std::make_shared<RetrievalPanel>(shell);
  DownloadProc& dialog = panel->dialog;
  // The retrieval shows the data, then offers the save at once.
  dialog.save = [&shell](AppState&) {
    ShowNewData(shell);
    SaveData(shell, kSaveHexAndDat);
  };
  if (!dialog.Open(state)) {
    Outcome why = dialog.result;
    // Nothing was changed or read: said, so that a retry is the obvious step.
    if (why.kind == OutcomeKind::Failed) why.key += "\n\nNothing was read: the data stay in the logger. Try again.";
    ShowOutcome(state, why, "Retrieve Data");
    return 0;
  }
  const int shown = shell.dialogs.Run(*panel);
  if (shown == DialogPresenter::kNoFace) {
    ShowStatus(state, "Unable to show \"Retrieve data\" here");
    return 0;
  }
  if (panel->closed) return 1;  // the face ran it to the end already
  shell.modelessStep = [panel] { panel->Step(); };
  shell.modelessClose = [panel] { panel->PressClose(); };
  return 1;
}

int SaveFileCommand(Shell& shell) {
  AppState& state = shell.state;
  if (!HasData(state)) {
    ShowStatus(state, Tr(state, "There are no data to save"));
    return 0;
  }
  // Retrieved data not yet saved goes to both files; otherwise the DAT file.
  return SaveData(shell, state.retrieval.data.unsaved ? kSaveHexAndDat : kSaveDatOnly);
}

int ReadDataFileAndShow(Shell& shell, const std::string& path, bool hex, int mode) {
  AppState& state = shell.state;
  const std::string before = state.statusText;
  const int pendingBefore = state.analysis.pendingKzmAction;
  state.analysis.pendingKzmAction = kKzmNone;
  const Outcome read = hex ? ReadHexFile(state, mode, path) : ReadDatFile(state, mode, path);
  if (!WasRead(read)) {
    const bool wantsDepth = state.analysis.pendingKzmAction == kKzmReadHexFile;
    if (!wantsDepth) {
      state.analysis.pendingKzmAction = pendingBefore;
      ShowOutcome(state, read, hex ? "Read Hex File" : "Read Data File");
    }
    // The reader named the file before it refused it: that name goes, and
    // the status line says again what it said.
    ShowStatus(state, before);
    if (wantsDepth) AskForDepth(shell, read);
    return 0;
  }
  ShowOutcome(state, read, "Read File");
  // Data from a file is in a file already: nothing to ask about before it goes.
  state.shell.dataRetrieved = false;
  state.shell.dataSaved = false;
  state.shell.readingCount = state.retrieval.data.sampleCount;
  ShowNewData(shell);
  return 1;
}

namespace {

// The readers ask for the file themselves (their mode 1): the dialog, the
// DAT name check and the folder to start from next time.
int ReadChosenDataFile(Shell& shell, bool hex) {
  AppState& state = shell.state;
  if (!CheckUnsavedData(shell)) return 0;
  const WorkDirectories before = state.directories;
  const int read = ReadDataFileAndShow(shell, std::string(), hex, 1);
  if (state.directories.hex != before.hex || state.directories.dat != before.dat) SaveWorkDirectories(state);
  return read;
}

}  // namespace

int ReadHexFileCommand(Shell& shell) { return ReadChosenDataFile(shell, true); }

int ReadDatFileCommand(Shell& shell) { return ReadChosenDataFile(shell, false); }

int SaveFormatCommand(Shell& shell) {
  WriteFormatDialog dialog(shell.state);
  const int result = shell.dialogs.Run(dialog);
  if (result == DialogPresenter::kNoFace) {
    ShowStatus(shell.state, "Unable to show \"Format for the save file\" here");
    return 0;
  }
  return result == 1 ? 1 : 0;
}

int SaveScreenSegmentCommand(Shell& shell) {
  AppState& state = shell.state;
  const DataSet& d = state.retrieval.data;
  if (d.sampleCount < 1) {
    ShowStatus(state, Tr(state, "There are no data to save"));
    return 0;
  }
  // The rows the graph shows; every row when nothing is drawn.
  const GraphState& g = state.graph;
  if (!g.hasData || g.readingCount != d.sampleCount) return SaveScreenSegment(state, 0, d.sampleCount - 1);
  const int first = std::clamp(g.view.firstIndex, 0, d.sampleCount - 1);
  return SaveScreenSegment(state, first, std::max(first, LastShownIndex(g)));
}

void ShowNewData(Shell& shell) {
  AttachCurrentData(shell.state);
  if (shell.redrawGraph) shell.redrawGraph();
}

std::string DataSummaryText(const DataSet& data) {
  if (data.sampleCount < 1) return std::string();
  const std::string first = TimeToShortText(SampleTime(data, 0));
  const std::string last = TimeToShortText(SampleTime(data, data.sampleCount - 1));
  return Format("%d samples, %d channels, %s to %s", data.sampleCount, data.channelCount, first.c_str(),
                last.c_str());
}

void GreyDataCommands(Shell& shell) {
  for (int command : {cmd::kSaveFile, cmd::kSaveScreenSegment, cmd::kExportData}) shell.state.ui.SetCommandEnabled(command, false);
}

}  // namespace tmv
