#include "shell/SetupCommand.h"

#include <algorithm>

#include "analysis/DerivedUnitsDialog.h"
#include "deployment/SetupSequence.h"
#include "deployment/SetupSimulation.h"
#include "link/Exchange.h"
#include "model/LoggerFamily.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/Outcomes.h"
#include "shell/CommandGate.h"
#include "shell/CommandIds.h"
#include "shell/Confirmations.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// Logger states in which the Setup dialog offers "STOP logger": enabled,
// logging, thresholding enabled, suspended.
bool Running(int status) { return status == 1 || status == 2 || status == 3 || status == 5; }

bool Unavailable(Shell& shell, int result) {
  if (result != DialogPresenter::kNoFace) return false;
  ShowStatus(shell.state, "Unable to show \"Setup\" here");
  return true;
}

}  // namespace

AppState& SetupSession::state() const { return shell.state; }

int SetupSession::ProgressPercent() const { return static_cast<int>(std::clamp(run.progress, 0.0, 100.0)); }

void SetupSession::ShowClocks() {
  const DeploymentSettings& d = state().deployment;
  dialog.hostTimeText = TimeToDisplayText(d.hostClockAtRead);
  dialog.loggerTimeText = TimeToDisplayText(d.loggerClock);
}

void SetupSession::ResolveTooManySamples() {
  SetupPanel& panel = dialog.panel;
  if (!panel.tooManySamples) return;
  TooManySamplesDialog choice = *panel.tooManySamples;
  panel.tooManySamples.reset();
  const int result = shell.dialogs.Run(choice);
  if (result == kTooManyAcceptEndTime)
    choice.AcceptEndTime(state().deployment);
  else if (result == kTooManyAcceptSamplingPeriod)
    choice.AcceptSamplingPeriod(state().deployment);
  else
    return;
  state().batch.changedSince = true;
  // What the choice stored is validated and estimated as any other change;
  // a deployment that still does not fit is asked about again only on the
  // next change, never in a loop here.
  dialog.Refresh(state());
  panel.tooManySamples.reset();
}

void SetupSession::OpenPicker() {
  if (Busy() || dialog.updatesSuspended) return;
  AppState& s = state();
  int result;
  if (dialog.panel.tideWaveLayout) {
    BurstSession sub{*this, {}};
    sub.burst.Open(s, dialog.panel);
    ResolveTooManySamples();
    result = shell.dialogs.Run(sub);
    if (result != 1 && sub.burst.open) sub.burst.Discard(s);
  } else {
    PickerSession sub{*this, {}};
    sub.picker.Open(s, dialog.panel);
    ResolveTooManySamples();
    result = shell.dialogs.Run(sub);
    if (result != 1 && sub.picker.open) sub.picker.Discard(s);
    if (result == 1 && s.logger.hysteresis && s.deployment.hysteresisEnabled) CheckHysteresis(s);
  }
  if (Unavailable(shell, result)) return;
  if (result == 1)
    dialog.SubDialogAccepted(s);
  else
    dialog.Refresh(s);
  ResolveTooManySamples();
}

void SetupSession::OpenThresholding() {
  if (Busy() || !dialog.thresholdButtonVisible) return;
  AppState& s = state();
  ThresholdDialog threshold;
  threshold.Open(s);
  const int result = shell.dialogs.Run(threshold);
  if (Unavailable(shell, result)) return;
  if (threshold.open) threshold.Discard(s);
  if (result == 1)
    dialog.SubDialogAccepted(s);
  else
    dialog.Refresh(s);
}

void SetupSession::ChooseStart(int index) {
  if (Busy()) return;
  dialog.ChooseStart(state(), index);
  ResolveTooManySamples();
}

void SetupSession::ChooseRealTime(int index) {
  if (Busy()) return;
  dialog.ChooseRealTime(state(), index);
  ResolveTooManySamples();
}

void SetupSession::SyncToPc() {
  if (!SyncAllowed()) return;
  SynchronizeClock(state());
  ShowClocks();
  dialog.Refresh(state());
  ResolveTooManySamples();
}

void SetupSession::AcceptBatchValues() {
  if (Busy() || !dialog.batchButtonEnabled) return;
  const bool taken = dialog.AcceptBatchValues(state(), [](AppState& s) { return SynchronizeClock(s); });
  ShowClocks();
  if (!taken) dialog.Refresh(state());
  ResolveTooManySamples();
}

void SetupSession::PressEnable() {
  if (Busy() || closed || !dialog.enableButtonEnabled) return;
  AppState& s = state();
  // "STOP logger" ends the deployment: asked first, with keeping it as the default.
  if (dialog.enableButtonText == SetupDialog::kStopLogger && !dialog.panel.simulation && !ConfirmStopLogger(s)) return;
  const EnableDecision decision = dialog.EnableLogging(s, [&s](const Question& q) {
    return s.ui.MessageBox(q.text, q.caption, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
           MessageAnswer::Yes;
  });
  SetupAction action = decision.action;
  if (decision.askContainsData) {
    ContainsDataDialog choice;
    const int result = shell.dialogs.Run(choice);
    action = ContainsDataDialog::Choose(result == kContainsDataContinue ? ContainsDataDialog::Button::ContinueToAdd
                                        : result == kContainsDataErase  ? ContainsDataDialog::Button::EraseOldReadings
                                                                        : ContainsDataDialog::Button::Cancel);
  }
  if (action == SetupAction::None) {
    // What stands in the way is said in a box, unless the message area says it.
    if (!decision.refusalShown) ShowOutcome(s, decision.refusal, "TMV Logger Setup");
    if (decision.closeSetup) {
      closed = true;
      rerun = decision.rerunSetup;
      return;
    }
    // A "No" or a failed check: the dialog stays with the settings kept.
    dialog.Refresh(s);
    ResolveTooManySamples();
    return;
  }
  CarryOutSetupDecision(s, dialog, decision, action, run);
  if (run.erasing) {
    dialog.panel.message.Show(run.message, MessageIcon::Information);
    return;
  }
  Finish();
}

void SetupSession::Tick() {
  if (!run.erasing) return;
  EnableTick(state(), run);
  if (run.erasing) {
    if (!run.message.empty()) dialog.panel.message.Show(run.message, MessageIcon::Information);
    return;
  }
  Finish();
}

bool SetupSession::ClockTick() {
  if (closed || Busy() || dialog.updatesSuspended || !dialog.open) return false;
  AppState& s = state();
  DeploymentSettings& d = s.deployment;
  const int64_t elapsed = SecondsFrom(d.hostClockAtRead, s.clock.LocalTime());
  if (elapsed <= 0) return false;
  // Both move on together: the skew between them is what the enable checks.
  d.hostClockAtRead = AddSeconds64(d.hostClockAtRead, elapsed);
  d.loggerClock = AddSeconds64(d.loggerClock, elapsed);
  ShowClocks();
  const bool passed = d.startMode == kStartAtTime && CompareTimes(d.startTime, d.loggerClock) <= 0;
  if (!passed || !dialog.panel.enableAllowed || dialog.enableButtonText != SetupDialog::kEnableLogging) return false;
  dialog.Refresh(s);
  return true;
}

void SetupSession::Finish() {
  run.running = false;
  run.erasing = false;
  if (run.outcome == 0) ShowOutcome(state(), run.result, "Reset Logger");
  if (run.closeSetup || run.rerunSetup) {
    closed = true;
    rerun = run.rerunSetup;
    return;
  }
  // An outcome that leaves the dialog open shows what the logger now holds.
  dialog.Refresh(state());
}

void SetupSession::Cancel() {
  if (Busy()) return;
  closed = true;
  rerun = false;
}

namespace {

// "TMV Setup Simulation" and, for the multi-channel types, the channels;
// false when the user cancelled.
bool ChooseSimulatedLogger(Shell& shell) {
  SimulationChoiceDialog choice;
  const int chosen = shell.dialogs.Run(choice);
  if (Unavailable(shell, chosen) || chosen != 1) return false;
  const int count = static_cast<int>(choice.choices.size());
  if (choice.selected < 0 || choice.selected >= count) return false;
  std::vector<uint8_t> channels;
  if (choice.NeedsChannelChoice()) {
    QnSimulationDialog qn;
    for (;;) {
      if (shell.dialogs.Run(qn) != 1) return false;
      if (qn.Acceptable()) break;
      shell.state.ui.MessageBox(
          Tr(shell.state,
             "You have not selected a set of sensors for your QN logger.\nA logger with no sensors cannot be "
             "simulated."),
          Tr(shell.state, "QN logger simulation"), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    }
    channels = qn.channels;
  }
  BeginSimulation(shell.state, choice.selected, channels);
  return true;
}

// One run of the Setup dialog; rerun set when the command is to run again.
int SetupOnce(Shell& shell, bool& rerun) {
  AppState& state = shell.state;
  rerun = false;
  const GateResult gate = PassCommandGate(state, cmd::kSetup);
  if (gate == GateResult::NoLogger) {
    // Nothing answered: a deployment can still be assessed on a simulated
    // logger. The identity of the last logger is kept for the next connect.
    const LoggerInfo previous = state.logger;
    const CalibrationSet previousCalibration = state.calibration;
    int result = 0;
    if (ChooseSimulatedLogger(shell)) {
      SetupSession session(shell);
      session.dialog.OpenSimulated(state);
      session.ResolveTooManySamples();
      result = Unavailable(shell, shell.dialogs.Run(session)) ? 0 : 1;
    }
    state.logger = previous;
    state.calibration = previousCalibration;
    state.shell.simulation = false;
    return result;
  }
  if (gate != GateResult::Pass) return 0;
  // A tide-and-wave recorder's set-up shows the wave band, which needs depth:
  // the derived units open first and their OK runs Setup again.
  if (IsTideWaveRecorder(state.logger.model) && state.logger.waves &&
      !state.settings.derived.depthEnabled) {
    AskForDepth(shell, KzmNeedsDepth(state, kKzmSetup));
    return 0;
  }
  state.shell.simulation = false;
  SetMenuState(state, 0);
  SetupSession session(shell);
  if (!session.dialog.Open(state)) {
    SetMenuState(state, 1);
    ShowOutcome(state, session.dialog.unread, "Setup");
    return 0;
  }
  // A logger that is enabled or logging is offered the stop first; the
  // dialog then opens again on what the stopped logger holds.
  if (!session.dialog.updatesSuspended && Running(session.dialog.loggerStatus)) {
    const bool noData = CommGet(state, 6) == 1 && !MemoryHoldsData(state.logger, DataPointerFromReply(state.reply.Bytes()));
    session.dialog.ShowStopLogger(state, noData);
  }
  session.ResolveTooManySamples();
  const int result = shell.dialogs.Run(session);
  SetMenuState(state, 1);
  if (Unavailable(shell, result)) return 0;
  rerun = session.rerun;
  // An enabled deployment with real-time output: its records are collected now.
  if (session.run.outcome == 1 && state.deployment.realTimeOutput && !rerun) BeginRealTimeDisplay(shell);
  return 1;
}

}  // namespace

int RunSetupCommand(Shell& shell) {
  bool rerun = true;
  int result = 0;
  while (rerun) result = SetupOnce(shell, rerun);
  return result;
}

}  // namespace tmv
