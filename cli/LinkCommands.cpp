// Commands of the logger link: identify, status, clock.
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

int NoArguments(CliContext& ctx) {
  if (ctx.args.empty()) return kExitOk;
  return UsageError(ctx, "unexpected argument '" + ctx.args.front() + "'");
}

int Identify(CliContext& ctx) {
  if (int rc = NoArguments(ctx)) return rc;
  if (int rc = PassGate(ctx, cmd::kConnect)) return rc;
  ctx.out << ConnectedText(ctx.state) << "\n";
  return kExitOk;
}

int Status(CliContext& ctx) {
  if (int rc = NoArguments(ctx)) return rc;
  if (int rc = PassGate(ctx, cmd::kShowLoggerStatus)) return rc;
  if (!CommGet(ctx.state, 9)) return ReportNoAnswer(ctx);
  ctx.out << LoggerStatusText(ctx.state.query.loggerStatus) << "\n";
  return kExitOk;
}

int ClockCommand(CliContext& ctx) {
  if (int rc = NoArguments(ctx)) return rc;
  if (int rc = PassGate(ctx, cmd::kShowLoggerClock)) return rc;
  if (!CommGet(ctx.state, 1)) return ReportNoAnswer(ctx);
  ctx.out << TimeToDisplayText(ParseTimeReply(ctx.state.reply.Text())) << "\n";
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"identify", "Connect and show the logger's model, firmware version and serial number",
                      "Usage: tmv-cli [--port PATH|COMn] identify\n\n"
                      "Wakes the logger at each baud rate in turn and prints\n"
                      "\"TMV Data Logger: MODEL VERSION SERIAL connected on PORT at BAUD baud.\"\n",
                      Identify});
  RegisterCliCommand({"status", "Show the logger's status (e.g. \"Logging\")",
                      "Usage: tmv-cli [--port PATH|COMn] status\n\n"
                      "Prints one of: Not Enabled, Enabled, Logging, Thresholding enabled,\n"
                      "Logging Complete, Logging Suspended, Profiling Active, Memory Error,\n"
                      "Logging Stopped by User.\n",
                      Status});
  RegisterCliCommand({"clock", "Show the logger's clock",
                      "Usage: tmv-cli [--port PATH|COMn] clock\n\n"
                      "Prints the logger's date and time, e.g. \"2010/Jun/07 15:30:00\".\n",
                      ClockCommand});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
