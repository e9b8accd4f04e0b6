#pragma once
// The user interface as the core sees it: message boxes answered by the
// user, the status line, menu enabling, the clipboard, and a chance to keep
// the window live during long exchanges.
#include <optional>
#include <string>

namespace tmv {

enum class MessageIcon { None, Information, Exclamation, Stop, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The status bar parts (left to right): icon, message, units, connection, clock.
enum class UnitsIndicator { None, EngineeringUnits, Binary };

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
};

}  // namespace tmv
