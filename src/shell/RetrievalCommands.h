#pragma once
// The data commands of the desktop program: "&Retrieve data" with its
// modeless "Data Retrieval" panel driven by the shell's tick, "&Save file",
// "Read a &HEX file", "Read a &DAT file", "&Format for the save file" and
// "Save screen se&gment to file". Every decision is here or in the models of
// the retrieval and file layers; a face only shows the models and calls the
// handlers below, so tests drive the whole commands with scripted faces.
//
// The faces registered with the shell's presenter for these commands:
//   RetrievalPanel       the "Data Retrieval" panel. Modeless: the face shows
//                        it and returns 1 at once; it shows the model again
//                        whenever `changed` is called and goes when `close` is.
//   DownloadQueryChoice  the "Download" query: kQueryButton6, kQueryButton7 or
//                        kQueryCancel
//   WriteFormatDialog    the write-format dialog: 1 OK (the face calls Ok()), 0 cancelled
#include <functional>
#include <memory>
#include <string>

#include "retrieval/Download.h"

namespace tmv {

struct Shell;
struct DataSet;

// The "Download" query as its face sees it.
struct DownloadQueryChoice {
  DownloadQuery query;
  std::string title = "Download";
};

// The "TMV Logger - Data Retrieval" panel while it is open. The shell's
// modeless step owns it; it lets itself go when it closes, so a caller must
// not touch it after a handler has closed it (the `close` hook says when).
class RetrievalPanel : public std::enable_shared_from_this<RetrievalPanel> {
 public:
  explicit RetrievalPanel(Shell& s) : shell(s) {}

  Shell& shell;
  DownloadProc dialog;
  bool closed = false;
  // The face's hooks: show the model again / take the window away.
  std::function<void()> changed;
  std::function<void()> close;

  const DownloadView& view() const { return dialog.view; }
  bool Downloading() const;
  // "Retrieve Data" (full: "Retrieve 100%"), also when it reads "STOP logger".
  void PressRetrieve(bool full = false);
  void PressAppend();
  // "Close": during a download ends it (what came is decoded and offered
  // for saving); otherwise closes the panel.
  void PressClose();
  // The button, Escape and the window's close box: during a download they
  // read "Cancel download" and ask first; No lets the download go on.
  std::string CloseButtonText() const;
  void PressCloseButton();
  // One tick of the shell's timer.
  void Step();

 private:
  void Started();
  void Finish(bool rerun);
  void Notify();
  bool stepping_ = false;  // a tick that is still running (a modal save dialog inside it)
  bool menusGreyed_ = false;  // the download greyed the menus
};

// Runs the commands; 1 when they did their work.
int RetrieveDataCommand(Shell& shell);
int SaveFileCommand(Shell& shell);
int ReadHexFileCommand(Shell& shell);
int ReadDatFileCommand(Shell& shell);
int SaveFormatCommand(Shell& shell);
int SaveScreenSegmentCommand(Shell& shell);

// Reads a HEX or DAT file (chosen, named on the command line or in the
// recent files; mode 1: asked for by the reader) and shows it; 1 when read.
// Data read from a file is not "retrieved": nothing unsaved.
int ReadDataFileAndShow(Shell& shell, const std::string& path, bool hex, int mode = 0);

// After new data (a retrieval or a file read): the graph (or, without one,
// the summary) shows it.
void ShowNewData(Shell& shell);

// What the main window shows of the data until a graph draws it: the sample
// count and the time range ("3000 samples, 24/05/01 10:00:00 to ...").
std::string DataSummaryText(const DataSet& data);

// The commands that only make sense with data, greyed until there is some.
void GreyDataCommands(Shell& shell);

}  // namespace tmv
