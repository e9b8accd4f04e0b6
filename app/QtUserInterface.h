#pragma once
// The core's user interface on Qt widgets: message boxes, the status line,
// the menu bar built from the core's command table, and the clipboard.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QStringList>
#include <functional>
#include <map>

#include "platform/UserInterface.h"

namespace tmv::qt {

class StatusLine;

// The name filters of a file dialog: all files of the kind first.
QStringList NameFilters(const FileDialogRequest& request);

class QtUserInterface : public UserInterface {
 public:
  QtUserInterface() = default;

  // Builds the menu bar of window from the command table; a chosen item
  // calls run with its command number.
  void BuildMenus(QMainWindow* window, std::function<void(int)> run);
  void SetStatusLine(StatusLine* line) { status_ = line; }
  // Message boxes are parented to this window.
  void SetWindow(QWidget* window) { window_ = window; }
  // Called when the connection part changes (a logger came or went).
  std::function<void()> connectionChanged;

  MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                           MessageIcon icon, MessageAnswer defaultAnswer) override;
  void SetStatusText(const std::string& text, bool warningIcon) override;
  void SetConnectionText(const std::string& text) override;
  void SetUnitsIndicator(UnitsIndicator units) override;
  void SetClockText(const std::string& text) override;
  void SetCommandEnabled(int command, bool enabled) override;
  void SetCommandChecked(int command, bool checked) override;
  // Recent files (cmd::kReadRecentFile + i) go into "&Read a recent file" in
  // number order; anything else goes in front of `beforeCommand`.
  void InsertCommand(int command, const std::string& text, int beforeCommand) override;
  void RemoveCommand(int command) override;
  ClipboardRead ReadClipboard() override;
  void ProcessEvents() override;
  // Qt's own file dialog (not the platform's, so that it looks and behaves
  // the same everywhere and tests can drive it); overwriting is asked by the core.
  std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                     const std::string& initial = std::string()) override;
  void SetWaitCursor(bool on) override;
  int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<std::string>& buttons,
                     int defaultButton) override;

  // The action of a command or of a menu (its menu action); nullptr if none.
  QAction* Action(int command) const;
  QMenu* Menu(int menu) const;

 private:
  QWidget* ContainerOf(int command) const;

  QWidget* window_ = nullptr;
  StatusLine* status_ = nullptr;
  std::function<void(int)> run_;
  std::map<int, QAction*> actions_;   // commands and menus' own actions
  std::map<int, QMenu*> menus_;
  std::map<int, QWidget*> containers_;  // the menu (or menu bar) holding each action
  int waitCursors_ = 0;
};

}  // namespace tmv::qt
