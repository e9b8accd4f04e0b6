#pragma once
// The user interface of the command-line tool: message boxes and (with
// --verbose) status texts go to standard error; questions are answered with
// Yes under --yes and with their default answer otherwise.
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

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

  // File dialogs take the names a command put here, in order (none left:
  // cancelled); the text question takes textAnswer.
  std::optional<std::string> ChooseFile(const FileDialogRequest&) override {
    if (fileAnswers.empty()) return std::nullopt;
    std::string name = fileAnswers.front();
    fileAnswers.pop_front();
    return name;
  }
  std::optional<std::string> AskText(const std::string&, const std::string&, const std::string& = std::string()) override {
    return textAnswer;
  }
  std::deque<std::string> fileAnswers;
  std::optional<std::string> textAnswer;

  // A question with buttons of its own takes buttonAnswer when set, else
  // its default button.
  int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<std::string>& buttons,
                     int defaultButton) override;
  std::optional<int> buttonAnswer;

  // --yes given after the command word.
  void SetYes(bool yes) { yes_ = yes; }

  int boxesShown = 0;

 private:
  std::ostream& err_;
  bool verbose_;
  bool yes_;
};

}  // namespace tmv::cli
