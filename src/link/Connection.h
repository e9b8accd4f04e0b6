#pragma once
// Connecting and identifying a logger: the baud cycle, the identity reply,
// the change of logger, and the link part of the status line.
#include <string>
#include <string_view>

namespace tmv {

struct AppState;
struct LoggerInfo;

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

// The rates a download may raise the link to. A logger left at one (a link
// lost, a program ended before it could slow the logger down) answers at no
// rate of the baud table: the connection tries these last.
inline constexpr int kFastRates[] = {57600, 115200};

// The command that tells the logger to change its speed to `baud`: "!E" and
// the divisor for multi-channel and newer loggers, "!E00" / "!E01" for the
// older single-channel recorders that have it; empty for a logger without one.
std::string SpeedSwitchCommand(const LoggerInfo& logger, int baud);

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
