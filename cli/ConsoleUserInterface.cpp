#include "ConsoleUserInterface.h"

namespace tmv::cli {

MessageAnswer ConsoleUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                               MessageButtons buttons, MessageIcon icon,
                                               MessageAnswer defaultAnswer) {
  (void)icon;
  ++boxesShown;
  MessageAnswer answer = defaultAnswer;
  if (yes_) {
    if (buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel) answer = MessageAnswer::Yes;
    else answer = MessageAnswer::Ok;
  }
  err_ << caption << ": " << text << "\n";
  if (buttons != MessageButtons::Ok) {
    const char* word = answer == MessageAnswer::Yes ? "Yes"
                       : answer == MessageAnswer::No ? "No"
                       : answer == MessageAnswer::Cancel ? "Cancel"
                                                         : "OK";
    err_ << "  -> " << word << "\n";
  }
  err_.flush();
  return answer;
}

int ConsoleUserInterface::AskWithButtons(const std::string& text, const std::string& caption,
                                         const std::vector<std::string>& buttons, int defaultButton) {
  ++boxesShown;
  int pressed = buttonAnswer.value_or(defaultButton);
  if (pressed < 0 || static_cast<size_t>(pressed) >= buttons.size()) pressed = defaultButton;
  err_ << caption << ": " << text << "\n";
  if (pressed >= 0 && static_cast<size_t>(pressed) < buttons.size()) err_ << "  -> " << buttons[static_cast<size_t>(pressed)] << "\n";
  err_.flush();
  return pressed;
}

void ConsoleUserInterface::SetStatusText(const std::string& text, bool warningIcon) {
  if (!verbose_ || text.empty()) return;
  err_ << (warningIcon ? "! " : "  ") << text << "\n";
  err_.flush();
}

void ConsoleUserInterface::SetConnectionText(const std::string& text) {
  if (!verbose_) return;
  err_ << "  [" << text << "]\n";
  err_.flush();
}

}  // namespace tmv::cli
