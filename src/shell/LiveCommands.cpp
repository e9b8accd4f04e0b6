#include "shell/LiveCommands.h"

#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"
#include "shell/Outcomes.h"

namespace tmv {
namespace {

constexpr int kTickMs = 1000;
constexpr int kMicroSalTickMs = 100;

void SetTickPeriod(Shell& shell, int periodMs) {
  if (shell.timer != nullptr) shell.timer->StartPollTimer(periodMs, true);
}

// Takes the panel off the tick and its face away. The tick holds its own
// copy of the step, so this may run inside it.
void Release(Shell& shell, ModelessPanel& panel) {
  if (panel.closed) return;
  panel.closed = true;
  SetTickPeriod(shell, kTickMs);
  shell.modelessStep = nullptr;
  shell.modelessClose = nullptr;
  if (panel.close) panel.close();
}

bool PanelOpen(Shell& shell) {
  if (!shell.modelessStep) return false;
  // One modeless panel at a time: the open one is in front already.
  ShowStatus(shell.state, Tr(shell.state, "Close the open panel first"));
  return true;
}

}  // namespace

// ------------------------------------------------------------ live readings

void LiveReadingsPanel::Step() {
  if (closed) return;
  const auto keep = shared_from_this();
  FetchTick(shell.state, dialog);
  Notify();
}

void LiveReadingsPanel::PressFreeze() {
  if (closed) return;
  ToggleLiveFreeze(dialog);
  Notify();
}

void LiveReadingsPanel::StepChannel(int delta) {
  if (closed) return;
  StepLiveChannel(dialog, delta);
  // A fetch of the channel before is not shown as this one's.
  dialog.fetchUnderway = false;
  Notify();
}

bool LiveReadingsPanel::EnterAveraging(const std::string& text) {
  if (closed) return false;
  const bool ok = SetLiveAveraging(shell.state, dialog, text);
  Notify();
  return ok;
}

int LiveReadingsPanel::PressRangeSwitching() {
  if (closed) return 0;
  const auto keep = shared_from_this();
  const int done = ApplyLiveRangeSwitching(shell.state, dialog);
  Notify();
  return done;
}

void LiveReadingsPanel::PressClose() {
  if (closed) return;
  const auto keep = shared_from_this();
  CloseLiveReadings(shell.state, dialog);
  Release(shell, *this);
}

// Shows a modeless panel and gives it the shell's tick until it closes;
// without a face to show it, `undo` puts the logger back and 0 is returned.
template <class Panel, class Undo>
int ShowPanel(Shell& shell, const std::shared_ptr<Panel>& panel, const char* caption, Undo undo) {
  if (shell.dialogs.Run(*panel) == DialogPresenter::kNoFace) {
    undo();
    ShowStatus(shell.state, std::string("Unable to show \"") + caption + "\" here");
    return 0;
  }
  if (panel->closed) return 1;
  SetTickPeriod(shell, kTickMs);
  shell.modelessStep = [panel] { panel->Step(); };
  shell.modelessClose = [panel] { panel->PressClose(); };
  return 1;
}

int FetchLiveReadingsCommand(Shell& shell) {
  AppState& state = shell.state;
  if (PanelOpen(shell)) return 0;
  // The channels and their coefficients convert the readings; without a
  // readable calibration the defaults stand in.
  const KnowResult known = KnowLogger(state, kKnowCapabilities | kKnowConfiguration | kKnowCalibration);
  if (known != KnowResult::Known && known != KnowResult::CalibrationUnreadable) return 0;
  auto panel = std::make_shared<LiveReadingsPanel>(shell);
  OpenLiveReadings(state, panel->dialog);
  return ShowPanel(shell, panel, "Fetch live readings", [&] { CloseLiveReadings(state, panel->dialog); });
}

// ------------------------------------------------------------ micro-salinometer

void MicroSalPanel::Step() {
  if (closed || !m.running) return;
  const auto keep = shared_from_this();
  MicroSalTick(shell.state, m);
  // Once the setup is through the instrument sends six records a second.
  if (!m.setupPending && !fast_) {
    fast_ = true;
    SetTickPeriod(shell, kMicroSalTickMs);
  }
  Notify();
}

void MicroSalPanel::Reopen() {
  closed = false;
  fast_ = false;
}

void MicroSalPanel::SetAveraging(int seconds) {
  SetMicroSalAveraging(m, seconds);
  Notify();
}

void MicroSalPanel::PressStandardise() {
  if (m.standardiseShown) m.standardiseShown = false;
  else ShowStandardisation(shell.state, m);
  Notify();
}

void MicroSalPanel::PressCapture(int button) {
  CaptureStandardisation(m, button);
  Notify();
}

void MicroSalPanel::SetK15(double k15) {
  m.k15 = k15;
  RecomputeAlpha(m);
  Notify();
}

void MicroSalPanel::SetVoltage(int which, double value) {
  switch (which) {
    case 0: m.vStandard0 = value; break;
    case 1: m.vSample0 = value; break;
    case 2: m.vStandard1 = value; break;
    default: m.vSample1 = value; break;
  }
  RecomputeAlpha(m);
  Notify();
}

void MicroSalPanel::SetBatch(const std::string& batch) { m.batch = batch.substr(0, 8); }

int MicroSalPanel::PressAccept() {
  if (closed) return 0;
  const auto keep = shared_from_this();
  AppState& state = shell.state;
  if (const Outcome accepted = AcceptStandardisation(state, m); !accepted.Ok()) {
    ShowOutcome(state, accepted, "Accept Standardisation");
    Notify();
    return 0;
  }
  // The instrument was stopped to take the values: it is set up again,
  // keeping the panel, its averaging and its capture file.
  fast_ = false;
  SetTickPeriod(shell, kTickMs);
  if (const Outcome run = RunMicroSalinometer(state, m); !run.Ok()) {
    ShowOutcome(state, run, "Micro-Salinometer");
    Notify();
    return 0;
  }
  Notify();
  return 1;
}

void MicroSalPanel::PressOpenOrClose() {
  if (closed) return;
  if (m.captureFile.empty()) OpenCaptureFileInteractive(shell.state, m);
  else CloseCaptureFile(shell.state, m);
  Notify();
}

bool MicroSalPanel::PressSaveNow(const std::string& information) {
  if (closed) return false;
  const bool saved = SaveNow(shell.state, m, information, false);
  Notify();
  return saved;
}

void MicroSalPanel::PressMoreInformation() {
  m.moreInformation = !m.moreInformation;
  if (m.sampleCount > 0) m.text = MicroSalInformationText(m);
  Notify();
}

void MicroSalPanel::PressClose() {
  if (closed) return;
  const auto keep = shared_from_this();
  CloseMicroSalinometer(shell.state, m);
  if (shell.redrawGraph) shell.redrawGraph();
  Release(shell, *this);
}

int MicroSalinometerCommand(Shell& shell) {
  AppState& state = shell.state;
  if (PanelOpen(shell)) return 0;
  // Data not saved would be lost with the graph the panel takes over.
  if (!CheckUnsavedData(shell, "File Read")) return 0;
  for (int c : {cmd::kSaveFile, cmd::kSaveFormat, cmd::kSaveScreenSegment}) state.ui.SetCommandEnabled(c, false);
  // The panel of start-up, with what its fields held when it was last closed.
  const auto panel = MicroSalinometerPanel(shell);
  if (const Outcome run = RunMicroSalinometer(state, panel->m); !run.Ok()) {
    ShowOutcome(state, run, "Micro-Salinometer");
    return 0;
  }
  panel->Reopen();
  return ShowPanel(shell, panel, "Micro-Salinometer", [&] {
    CloseMicroSalinometer(state, panel->m);
    panel->closed = true;
  });
}

std::shared_ptr<MicroSalPanel> MicroSalinometerPanel(Shell& shell) {
  if (!shell.microSalPanel) shell.microSalPanel = std::make_shared<MicroSalPanel>(shell);
  return shell.microSalPanel;
}

}  // namespace tmv
