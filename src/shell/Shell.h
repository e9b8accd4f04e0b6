#pragma once
// The application shell: the command dispatcher with the preconditions
// common to many commands, start-up, the one-second tick and shut-down.
// The desktop program calls these from its menu, its timer and main(); the
// tests call them with a scripted user interface.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;
class CopySlots;
class DialogPresenter;
class MicroSalPanel;
class PollTimer;

// What the shell works with besides the program state: the dialog faces,
// the tick, the copy slot it holds and how to end the message loop.
struct Shell {
  // Installs the saves the link asks for (the previous logger's unsaved data
  // when another logger answers); the destructor takes them back.
  Shell(AppState& appState, DialogPresenter& presenter);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  AppState& state;
  DialogPresenter& dialogs;
  PollTimer* timer = nullptr;      // the one-second tick (identifier 253)
  CopySlots* copySlots = nullptr;  // released at exit
  std::function<void()> quit;      // ends the message loop
  // The open modeless panel's step, driven by every tick (empty: none open).
  std::function<void()> modelessStep;
  // Ends the open modeless panel as its Close button does (a download ends
  // and what came is decoded); empty: none open.
  std::function<void()> modelessClose;
  // Redraws the graph after a view setting changed (empty: no graph yet).
  std::function<void()> redrawGraph;
  // Shows the statistics panel's face (empty: no face).
  std::function<void()> showStatisticsPanel;
  // Writes the main window's image to a bitmap file (empty: no window).
  std::function<bool(const std::string&)> captureWindow;
  // Shows the manual in a window of its own (empty: no face).
  std::function<void()> showManual;
  // The micro-salinometer panel: it lives as long as the program (hidden,
  // its instrument idle) and "&Micro-Salinometer" shows it. Made by
  // MicroSalinometerPanel().
  std::shared_ptr<MicroSalPanel> microSalPanel;
};

// What the statistics panel asks of the shell: the graph repaint and the
// decode of the held memory image in the panel's view.
struct StatisticsHooks;
StatisticsHooks ShellStatisticsHooks(Shell& shell);

// Runs a command of the menu or an internal command; 1 when it did its work,
// 0 when it was refused, cancelled or failed (already reported).
int RunCommand(Shell& shell, int command);

// A tide-and-wave recorder's data wants depth: shows the refusal that says
// so, then opens the derived units (the caller's own dialog is closed by
// then), whose OK resumes what was refused.
void AskForDepth(Shell& shell, const Outcome& refusal);

// Runs the connect command and returns `connected`. Commands that need a
// logger get it through the command gate, which stops them silently when
// none answers.
bool IsConnected(AppState& state);

// Before data is replaced: with retrieved data not saved, asks the "File
// Read" question (title as given); Yes runs Save instead and returns false,
// No clears both data flags and returns true.
bool CheckUnsavedData(Shell& shell, std::string_view title = "File Read");

// Runs Save for retrieved data when the save command exists; 1 when saved.
int SaveRetrievedData(Shell& shell);

// Reads a data file named on the command line or chosen from the recent
// files: ".dat" as a DAT file, else ".hex" as a HEX file, else ".rcfg" as a
// configuration script. 1 when read.
int OpenDataFile(Shell& shell, const std::string& path);
// A HEX or DAT file the user named outside the menus (dropped on the
// window): the unsaved-data question first, then read as OpenDataFile reads
// it and put first in the recent files. Other files are refused with a
// message. 1 when read.
int OpenGivenDataFile(Shell& shell, const std::string& path);
// The command line's file with surrounding double quotes removed.
std::string StripQuotes(std::string_view path);

// Shut-down: ends a download, asks about unsaved data ("Program Exit"; Yes
// saves and stays), ends real-time collection, stops the tick, closes both
// ports, releases the copy slot and ends the message loop. true when the
// program ends.
bool ExitProgram(Shell& shell);

// Real-time collection after a deployment with real-time output was
// enabled: the file is chosen, the collection started and the tick set to
// its fast period. 1 when collecting.
int BeginRealTimeDisplay(Shell& shell);
// Command 2135: ends it, restores the one-second tick; 1 when the file read back.
int EndRealTimeDisplay(Shell& shell);

// The one-second tick: the clock part whenever the second changed, the link
// activity counter counted down, and the open modeless panel's step.
void ShellTick(Shell& shell);

// The check marks of "&Show range changes" and "&Allow multiple copies" from
// the stored settings (the start-up form of those commands), and the
// greying of "&Allow multiple copies" in a second or later copy.
void ShowSettingMarks(Shell& shell);

}  // namespace tmv
