#pragma once
// Writing a deployment into a logger and changing its running state: erase,
// program and enable, continue to add, stop, suspend, resume and clock
// synchronisation. The erase wait is a step function driven by the
// one-second tick, so the windows stay live while the logger erases.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;
struct LoggerInfo;

// What the Setup dialog's "Enable logging" decided, for the program to carry out.
enum class SetupAction {
  None,             // a "No", a failed check or Cancel: nothing is sent
  StopLogger,       // the button read "STOP logger"
  EraseAndProgram,  // erase when needed, then program and enable
  ContinueToAdd,    // program without erasing ("Continue to add")
};

// One run of the erase-program-enable procedure ("Reset Logger").
struct EnableRun {
  bool running = false;     // the run has started and not ended
  bool erasing = false;     // waiting for the erase to complete
  // Percent of the estimated erase time; past 100 while the logger still
  // reports its erase under way (up to 200), 101 when its reply made no sense.
  double progress = 0.0;
  double progressStep = 0.0;  // added every second while erasing
  std::string message;      // the Setup dialog's message area ("Waiting for logger to reset")
  int outcome = -1;         // -1 running, 0 failed, 1 enabled / continued
  bool closeSetup = false;  // the Setup dialog is to close
  bool rerunSetup = false;  // the main window is to run its Setup command again
  bool startLiveReadings = false;  // real-time output on a logger that shows live readings
  std::string estimateText;  // the Setup dialog's estimate, for the enabled entry of the log
  std::string failedStep;    // what went wrong, as told to the user and logged ("" on success)
  // How the run ended: Done when enabled; VerificationFailed when a setting
  // read back different ("... set incorrectly"); Refused when the logger was
  // left suspended; Failed otherwise. Its reason is failedStep.
  Outcome result;
  std::vector<std::string> verified;  // each setting read back as sent, in order, then the status
};

// Starts "Reset Logger": connects, stops an older multi-channel logger, and
// erases when the logger holds data (run.erasing, then EnableTick until done);
// without an erase programs and enables at once.
void BeginEraseAndProgram(AppState& state, EnableRun& run);
// The one-second step while erasing; runs ProgramAndEnable when the erase ends.
void EnableTick(AppState& state, EnableRun& run);
// The erase wait's pace, percent a second: about two minutes on a newer
// logger, two seconds per 64 KiB block in use (end-of-data pointer) on an
// older one.
double ErasePace(const LoggerInfo& info, uint32_t pointer);
// One second of the erase wait: `progress` grows by `step` and the logger is
// asked where it answers (the erase query of a newer logger, the status of an
// older one). True when the wait is over: erased, or past its time.
bool EraseWaitOver(AppState& state, double& progress, double step);
// The erase alone (the "erase" command): sends it and waits as "Reset
// Logger" does, showing the progress; 1 when the logger then reports itself
// erased ("Logger status 00").
int EraseLogger(AppState& state, const std::function<void(double percent)>& shown = {});
// The programming sequence; 1 when the logger reports enabled, logging or thresholding.
int ProgramAndEnable(AppState& state, EnableRun& run);
// Re-enables a logger that keeps its data; 1 when resumed.
int ContinueToAdd(AppState& state, EnableRun& run);

// Op 13 (stop), real-time output off, op 19 ("!B00"); 1 when the logger was reached.
int StopLogger(AppState& state);
int SuspendLogger(AppState& state);
// Op 23: "!R" and the status query, up to five rounds; 1 when the logger logs again.
int ResumeLogger(AppState& state);
// What stop, suspend and resume ask of a logger, and whether its status
// code (query 9) shows it done: stopped (not enabled, complete or stopped),
// suspended, or logging again (enabled, logging, thresholding or profiling).
enum class RunningChange { Stop, Suspend, Resume };
bool StatusShows(RunningChange change, int status);
// Stop, suspend or resume, then the status read back: Done only when the
// logger shows the change. Refused when it answers but still reports another
// status (a command it did not hear or did not carry out), NoLogger when it
// no longer answers. The only way the program changes a running state.
Outcome ChangeRunningState(AppState& state, RunningChange change);

// Sets the logger clock to the host's: Done when the read-back agrees within
// 2 s, VerificationFailed when it does not, NoLogger when none came back.
Outcome SetLoggerClockToHost(AppState& state);
// The same for the dialogs that offer it, which say a failure in a message box.
bool SynchronizeClock(AppState& state);

}  // namespace tmv
