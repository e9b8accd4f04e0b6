#pragma once
// "&Fetch live readings" and "&Micro-Salinometer": two modeless panels driven
// by the shell's tick, like the "Data Retrieval" panel. Every decision is in
// the models (LiveReadingsDialog, MicroSalState) and the handlers below; a
// face only shows the model and calls the handlers, so tests drive the whole
// commands with scripted faces.
//
// The faces registered with the shell's presenter for these commands:
//   LiveReadingsPanel  the live-readings dialog. Modeless: the face shows it
//                      and returns 1 at once; it shows the model again
//                      whenever `changed` is called and goes when `close` is.
//   MicroSalPanel      the micro-salinometer panel, the same way, except
//                      that the panel and its window live as long as the
//                      program: `close` hides the window, and the command
//                      shows it again.
#include <functional>
#include <memory>
#include <string>

#include "microsal/MicroSalinometer.h"
#include "retrieval/LiveReadings.h"

namespace tmv {

struct Shell;

// What both panels share: the hooks of their face and the closed flag.
class ModelessPanel {
 public:
  explicit ModelessPanel(Shell& s) : shell(s) {}
  virtual ~ModelessPanel() = default;
  Shell& shell;
  bool closed = false;
  // The face's hooks: show the model again / take the window away.
  std::function<void()> changed;
  std::function<void()> close;

 protected:
  void Notify() {
    if (changed) changed();
  }
};

class LiveReadingsPanel : public ModelessPanel, public std::enable_shared_from_this<LiveReadingsPanel> {
 public:
  using ModelessPanel::ModelessPanel;
  LiveReadingsDialog dialog;

  // One tick of the shell's timer: a fetch started or its reply polled.
  void Step();
  void PressFreeze();
  // The channel spinner's arrows.
  void StepChannel(int delta);
  // The averaging time as typed; false (and unchanged) when it is no time.
  bool EnterAveraging(const std::string& text);
  // The range-switching button; 1 when the setting was written.
  int PressRangeSwitching();
  // "Close": leaves fetch mode (resuming the logger when asked to).
  void PressClose();
};

// Exists from start-up, closed (hidden, the instrument left alone); while
// closed the handlers that would reach the logger or a file do nothing.
class MicroSalPanel : public ModelessPanel, public std::enable_shared_from_this<MicroSalPanel> {
 public:
  explicit MicroSalPanel(Shell& s) : ModelessPanel(s) { closed = true; }
  MicroSalState m;

  // One tick: the setup's progress, then the records; the tick goes to 100 ms
  // once the instrument sends.
  void Step();
  void SetAveraging(int seconds);
  void PressStandardise();  // "Standardise>>" / "<<Hide"
  void PressCapture(int button);
  // K15 or one of the four voltages edited (0 Vstandard(0), 1 Vsample(0),
  // 2 Vstandard(1), 3 Vsample(1)); alpha follows.
  void SetK15(double k15);
  void SetVoltage(int which, double value);
  void SetBatch(const std::string& batch);
  // "Accept New Values": on success the instrument restarts (the command runs again).
  int PressAccept();
  void PressOpenOrClose();  // the capture file's "Open" / "Close"
  bool PressSaveNow(const std::string& information);
  void PressMoreInformation();  // "More information >>" / "<< Default information"
  // "Close" (panel): the instrument stops and the panel goes.
  void PressClose();
  // The command opened it again: the tick may drive it.
  void Reopen();

 private:
  bool fast_ = false;  // the tick runs at 100 ms
};

// The program's one micro-salinometer panel, made closed on first use (the
// main window makes it as it is built).
std::shared_ptr<MicroSalPanel> MicroSalinometerPanel(Shell& shell);

// The commands; 1 when the panel is open.
int FetchLiveReadingsCommand(Shell& shell);
int MicroSalinometerCommand(Shell& shell);

}  // namespace tmv
