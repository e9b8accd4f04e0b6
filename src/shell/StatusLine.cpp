#include "shell/StatusLine.h"

#include "shell/AppState.h"

namespace tmv {

std::string StatusDisplayText(const std::string& text) {
  if (text.size() > 127) return text.substr(0, 122) + " ...";
  return text;
}

bool StatusNeedsWarning(const std::string& text) {
  for (const char* mark : {"not yet", "Unable", "rror", "ail"})
    if (text.find(mark) != std::string::npos) return true;
  return false;
}

void ShowStatus(AppState& state, const std::string& text) {
  state.statusText = StatusDisplayText(text);
  state.ui.SetStatusText(state.statusText, StatusNeedsWarning(text));
}

}  // namespace tmv
