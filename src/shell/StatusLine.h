#pragma once
// The status line (message part with its warning icon, units part,
// connection part, clock part) and the menu's enabled state.
#include <string>

namespace tmv {

struct AppState;

// Cuts texts over 127 characters to 122 + " ..."; warns on "not yet", "Unable", "rror", "ail".
void ShowStatus(AppState& state, const std::string& text);
std::string StatusDisplayText(const std::string& text);
bool StatusNeedsWarning(const std::string& text);

// "Trying: %d" while a connection is attempted, "%d baud" when connected,
// "Not connected" otherwise.
std::string ConnectionStateText(const AppState& state, bool trying);
void ShowConnectionState(AppState& state, bool trying);
// Engineering units or binary format by bit 2 of the connected logger's
// option byte; no icon while no logger is connected.
void ShowUnitsState(AppState& state);

// 0 greys Setup, Retrieve data, the File and Logger functions menus, COM
// settings, the Calibration functions menu and Micro-Salinometer; 1 enables
// them; 2 and 4 grey them and the Configuration menu; 3 and 5 enable them and
// the Configuration menu. Commands not built stay greyed.
void SetMenuState(AppState& state, int menuState);
// A status text that tells of work under way ("Assessing the logger
// configuration", "Reading calibration data ") becomes "Ready": called when
// the command that showed it has returned.
void ClearWorkUnderWay(AppState& state);
// Enables a command unless it is not built; greys it either way.
void EnableCommand(AppState& state, int command, bool enabled);

}  // namespace tmv
