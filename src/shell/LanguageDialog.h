#pragma once
// The language dialog: English or the second language of the message catalogue.
#include <string>
#include <vector>

namespace tmv {

struct LanguageDialog {
  explicit LanguageDialog(int current) : selection(current == 1 ? 1 : 0) {}

  std::string title = "Language Resources";
  std::vector<std::string> choices = {"English", "Second language"};
  int selection = 0;
  bool accepted = false;

  void Select(int index) {
    if (index >= 0 && index < static_cast<int>(choices.size())) selection = index;
  }
  void Ok() { accepted = true; }
  void Cancel() { accepted = false; }
};

}  // namespace tmv
