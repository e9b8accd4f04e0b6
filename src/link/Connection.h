#pragma once
// Connecting and identifying a logger: the baud cycle, the identity reply,
// the change of logger, and the link part of the status line.
#include <string>

namespace tmv {

struct AppState;

int ConnectLogger(AppState& state);
// Runs the connect command (status texts and ConnectLogger); returns `connected`.
bool Reconnect(AppState& state);
// The connect command 262: "Attempting to connect ..." then the connected text.
int RunConnectCommand(AppState& state);
void ReportLinkError(AppState& state, bool openFailed);
void ShowLinkStatus(AppState& state, bool trying);
// "TMV Data Logger: %s %5.2f %06d connected on COM%1d at %ld baud."
std::string ConnectedText(const AppState& state);

}  // namespace tmv
