#pragma once
// The status line: the message part with its warning icon, the connection
// part and the units part.
#include <string>

namespace tmv {

struct AppState;

// Cuts texts over 127 characters to 122 + " ..."; warns on "not yet", "Unable", "rror", "ail".
void ShowStatus(AppState& state, const std::string& text);
std::string StatusDisplayText(const std::string& text);
bool StatusNeedsWarning(const std::string& text);
void ShowConnectionState(AppState& state, bool trying);
void ShowUnitsState(AppState& state);

}  // namespace tmv
