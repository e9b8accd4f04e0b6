#pragma once
// The "&Setup" command: the simulation choice when no logger answers, the
// Setup dialog on the logger (or the simulated one) with its sub-dialogs, and
// what its buttons set going: enable (with the erase paced by a one-second
// step while the dialog stays open), stop, clock synchronisation and batch
// values. Every decision is here or in the dialog models; a face only shows
// the models and calls the handlers below, so tests drive the whole command
// with scripted faces.
//
// The faces registered with the shell's presenter for this command:
//   SetupSession         the Setup dialog; returns when session.closed is set
//   SimulationChoiceDialog, QnSimulationDialog   1 chosen, 0 cancelled
//   PickerSession        the date-and-time picker; 1 "Accept", 0 "Discard"
//   BurstSession         "Tide and Wave modes"; 1 "Accept", 0 "Discard"
//   ThresholdDialog      1 accepted, 0 "Discard" (the face calls Accept/Discard)
//   TooManySamplesDialog 1 "Accept End Time", 2 "Accept Sampling Period", 0 closed
//   ContainsDataDialog   1 "Continue to add", 2 "Erase old readings", 0 "Cancel"
#include "deployment/BurstSetup.h"
#include "deployment/DateDialog.h"
#include "deployment/Enabling.h"
#include "deployment/SetupDialog.h"
#include "deployment/Thresholding.h"

namespace tmv {

struct Shell;

// End results of the faces of the two small choices.
constexpr int kTooManyAcceptEndTime = 1;
constexpr int kTooManyAcceptSamplingPeriod = 2;
constexpr int kContainsDataContinue = 1;
constexpr int kContainsDataErase = 2;

struct SetupSession {
  explicit SetupSession(Shell& s) : shell(s) {}

  Shell& shell;
  SetupDialog dialog;
  EnableRun run;
  bool closed = false;  // the dialog is to close
  bool rerun = false;   // ... and the Setup command to run again (the re-read)

  AppState& state() const;
  bool simulation() const { return dialog.panel.simulation; }
  // From the start of an erase until its outcome "Enable logging" and
  // "Cancel" are hidden and the progress bar shows.
  bool Busy() const { return run.running; }
  bool Erasing() const { return run.erasing; }
  int ProgressPercent() const;
  bool SyncAllowed() const { return !simulation() && !Busy() && !dialog.updatesSuspended; }

  // The "Start date and time", "End date and time" and "Period" buttons (in
  // the tide-and-wave layout also the rate, averaging and wave buttons).
  void OpenPicker();
  void OpenThresholding();  // the "Threshold button"
  void ChooseStart(int index);
  void ChooseRealTime(int index);
  void SetAutorun(bool checked) { dialog.autorunChecked = checked; }
  void SetSamplingLed(bool checked) { dialog.ledChecked = checked; }
  void SyncToPc();
  void AcceptBatchValues();
  // "Enable logging" / "Resume/Enable" / "STOP logger".
  void PressEnable();
  // The one-second step while the logger erases.
  void Tick();
  // The one-second step of the clocks shown: the host's and the logger's
  // run on from when they were read; a start they pass is refused at once
  // (true: more than the clocks changed).
  bool ClockTick();
  void Cancel();

  // Shows "Too many samples requested" when validation opened it, and applies the choice.
  void ResolveTooManySamples();

 private:
  void Finish();
  void ShowClocks();
};

// The picker as its face sees it: the model, and the Setup dialog it reports into.
struct PickerSession {
  SetupSession& setup;
  DateDialog picker;
  AppState& state() const { return setup.state(); }
  SetupPanel& panel() const { return setup.dialog.panel; }
  // After every change the face made through the model.
  void Changed() { setup.ResolveTooManySamples(); }
};

struct BurstSession {
  SetupSession& setup;
  BurstDialog burst;
  AppState& state() const { return setup.state(); }
  SetupPanel& panel() const { return setup.dialog.panel; }
  void Changed() { setup.ResolveTooManySamples(); }
};

// The command: the gate, the simulation when no logger answers, the Setup
// dialog, and its reruns. 1 when a Setup dialog ran.
int RunSetupCommand(Shell& shell);

}  // namespace tmv
