#pragma once
// Connecting and identifying a logger: the baud cycle, the identity reply,
// the change of logger, and the link part of the status line.
#include <string>
#include <string_view>

namespace tmv {

struct AppState;

// The identity reply of "A", read from the maker word "TMV" on as
// "%s %s %f %d"; fields that are not there keep the values they hold.
struct Identity {
  std::string model = "UNKNOWN";
  float firmwareVersion = 0.0f;
  int serialNumber = 0;
};
// false when the reply holds no "TMV".
bool ParseIdentity(std::string_view reply, Identity& identity);
// The reply holds a whole identity from "TMV" on: maker, model, a version
// with its decimals and a serial number of at least six digits. A reply cut
// off in its version or serial number would give a wrong logger.
bool IdentityComplete(std::string_view reply);

int ConnectLogger(AppState& state);
// Runs the connect command (status texts and ConnectLogger); returns `connected`.
bool Reconnect(AppState& state);
// The connect command 262: "Attempting to connect ..." then the connected text.
int RunConnectCommand(AppState& state);
void ReportLinkError(AppState& state, bool openFailed);
// The text ReportLinkError shows, naming the port as PortName does.
std::string LinkErrorText(const AppState& state, bool openFailed);
void ShowLinkStatus(AppState& state, bool trying);
// "TMV Data Logger: %s %5.2f %06d connected on COM%1d at %ld baud."
std::string ConnectedText(const AppState& state);

}  // namespace tmv
