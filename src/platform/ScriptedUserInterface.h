#pragma once
// A user interface for tests: records everything shown and answers message
// boxes from a queue (the box's default answer when the queue is empty).
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/UserInterface.h"

namespace tmv {

class ScriptedUserInterface : public UserInterface {
 public:
  struct Box {
    std::string text, caption;
    MessageButtons buttons;
    MessageIcon icon;
    MessageAnswer defaultAnswer;
  };

  MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                           MessageIcon icon, MessageAnswer defaultAnswer) override {
    boxes.push_back({text, caption, buttons, icon, defaultAnswer});
    if (answers.empty()) return defaultAnswer;
    MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  void SetStatusText(const std::string& text, bool warningIcon) override {
    statusTexts.push_back(text);
    warning = warningIcon;
  }
  void SetConnectionText(const std::string& text) override { connectionTexts.push_back(text); }
  void SetUnitsIndicator(UnitsIndicator u) override { units = u; }
  void SetClockText(const std::string& text) override { clockText = text; }
  void SetCommandEnabled(int command, bool enabled) override { commandEnabled[command] = enabled; }
  void SetCommandChecked(int command, bool checked) override { commandChecked[command] = checked; }
  void InsertCommand(int command, const std::string& text, int) override { insertedCommands[command] = text; }
  void RemoveCommand(int command) override { insertedCommands.erase(command); removedCommands.push_back(command); }
  ClipboardRead ReadClipboard() override { return clipboard; }
  void ProcessEvents() override { ++eventPumps; }
  std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
    fileDialogs.push_back(request);
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
  std::optional<std::string> AskText(const std::string& title, const std::string&,
                                     const std::string& initial = std::string()) override {
    textQuestions.push_back(title);
    textOffered.push_back(initial);
    if (textAnswers.empty()) return std::nullopt;
    auto a = textAnswers.front();
    textAnswers.pop_front();
    return a;
  }
  // Recorded as a box (its text and caption) with its button captions; the
  // scripted answers Yes and Ok press the first button, No and Cancel the second.
  int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<std::string>& buttons,
                     int defaultButton) override {
    buttonCaptions.push_back(buttons);
    const MessageAnswer d = defaultButton == 0 ? MessageAnswer::Yes : MessageAnswer::No;
    const MessageAnswer a = MessageBox(text, caption, MessageButtons::YesNo, MessageIcon::Question, d);
    return a == MessageAnswer::Yes || a == MessageAnswer::Ok ? 0 : 1;
  }
  bool BoxSeen(const std::string& text) const {
    for (const auto& b : boxes)
      if (b.text == text) return true;
    return false;
  }

  std::string LastStatus() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }
  bool StatusSeen(const std::string& text) const {
    for (const auto& s : statusTexts)
      if (s == text) return true;
    return false;
  }

  std::deque<MessageAnswer> answers;
  std::vector<Box> boxes;
  std::vector<std::vector<std::string>> buttonCaptions;  // of each AskWithButtons
  std::vector<std::string> statusTexts;
  std::vector<std::string> connectionTexts;
  bool warning = false;
  UnitsIndicator units = UnitsIndicator::None;
  std::string clockText;
  std::map<int, bool> commandEnabled;
  std::map<int, bool> commandChecked;
  std::map<int, std::string> insertedCommands;
  std::vector<int> removedCommands;
  ClipboardRead clipboard;
  int eventPumps = 0;
  std::deque<std::optional<std::string>> fileAnswers;  // nothing: the dialog is cancelled
  std::vector<FileDialogRequest> fileDialogs;
  std::deque<std::optional<std::string>> textAnswers;
  std::vector<std::string> textQuestions;
  std::vector<std::string> textOffered;  // the text each question started from
};

}  // namespace tmv
