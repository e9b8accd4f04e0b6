#pragma once
// The user interface as the core sees it: message boxes answered by the
// user, the status line, menu enabling, the clipboard, and a chance to keep
// the window live during long exchanges.
#include <optional>
#include <string>
#include <vector>

namespace tmv {

enum class MessageIcon { None, Information, Exclamation, Stop, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The status bar parts (left to right): icon, message, units, connection, clock.
enum class UnitsIndicator { None, EngineeringUnits, Binary };

// An open-file or save-file dialog: where it starts and what it offers.
struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::string directory;
  std::string pattern;  // proposed name or pattern, e.g. "000123*.dat"
  std::string filter;   // e.g. "All Data Files (*.dat)"
  std::string name;     // a name proposed for saving, beside a pattern
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  virtual MessageAnswer MessageBox(const std::string& text, const std::string& caption,
                                   MessageButtons buttons, MessageIcon icon,
                                   MessageAnswer defaultAnswer) = 0;
  // The message part, already cut to length, and whether the warning icon shows.
  virtual void SetStatusText(const std::string& text, bool warningIcon) = 0;
  virtual void SetConnectionText(const std::string& text) = 0;
  virtual void SetUnitsIndicator(UnitsIndicator) {}
  virtual void SetClockText(const std::string&) {}
  // Menu items by command number.
  virtual void SetCommandEnabled(int command, bool enabled) = 0;
  virtual void SetCommandChecked(int, bool) {}
  virtual void InsertCommand(int command, const std::string& text, int beforeCommand) { (void)command; (void)text; (void)beforeCommand; }
  virtual void RemoveCommand(int) {}
  // opened false: another program holds the clipboard; text empty: no text on it.
  struct ClipboardRead {
    bool opened = false;
    std::optional<std::string> text;
  };
  virtual ClipboardRead ReadClipboard() { return {}; }
  // Lets pending window events run between steps of a long exchange.
  virtual void ProcessEvents() {}
  // The path the user chose; nothing when the dialog was cancelled.
  virtual std::optional<std::string> ChooseFile(const FileDialogRequest&) { return std::nullopt; }
  // A line of text typed by the user (the comment at save time), starting
  // from `initial`; nothing when cancelled.
  virtual std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                             const std::string& initial = std::string()) {
    (void)title;
    (void)prompt;
    (void)initial;
    return std::nullopt;
  }
  virtual void SetWaitCursor(bool) {}
  // A question answered with buttons of its own captions (left to right):
  // the index of the one pressed, defaultButton when the box is dismissed.
  // Where there are no such boxes, two buttons become Yes (0) and No (1).
  virtual int AskWithButtons(const std::string& text, const std::string& caption,
                             const std::vector<std::string>& buttons, int defaultButton) {
    (void)buttons;
    const MessageAnswer a = MessageBox(text, caption, MessageButtons::YesNo, MessageIcon::Question,
                                       defaultButton == 0 ? MessageAnswer::Yes : MessageAnswer::No);
    return a == MessageAnswer::Yes ? 0 : 1;
  }
};

}  // namespace tmv
