#pragma once
// The user interface of the command-line tool: message boxes and (with
// --verbose) status texts go to standard error; questions are answered with
// Yes under --yes and with their default answer otherwise.
#include <ostream>

#include "platform/UserInterface.h"

namespace tmv::cli {

class ConsoleUserInterface : public UserInterface {
 public:
  ConsoleUserInterface(std::ostream& err, bool verbose, bool yes) : err_(err), verbose_(verbose), yes_(yes) {}

  MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                           MessageIcon icon, MessageAnswer defaultAnswer) override;
  void SetStatusText(const std::string& text, bool warningIcon) override;
  void SetConnectionText(const std::string& text) override;
  void SetCommandEnabled(int, bool) override {}

  // --yes given after the command word.
  void SetYes(bool yes) { yes_ = yes; }

  int boxesShown = 0;

 private:
  std::ostream& err_;
  bool verbose_;
  bool yes_;
};

}  // namespace tmv::cli
