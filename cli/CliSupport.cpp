#include "CliSupport.h"

#include <ostream>

#include "ConsoleUserInterface.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/Capabilities.h"
#include "shell/AppState.h"

namespace tmv::cli {

int ConnectOrReport(CliContext& ctx) {
  if (RunConnectCommand(ctx.state)) return kExitOk;
  return ReportFailure(ctx, ctx.state.statusText);
}

int PrepareLogger(CliContext& ctx, bool withCalibration) {
  if (int rc = ConnectOrReport(ctx)) return rc;
  AppState& state = ctx.state;
  AssessCapabilities(state);
  if (CommGet(state, 16) != 1) return ReportFailure(ctx, state.statusText);
  if (withCalibration && ReadCalibration(state) != 1) return ReportFailure(ctx, state.statusText);
  return kExitOk;
}

int ReportFailure(CliContext& ctx, const std::string& text) {
  ctx.err << text << "\n";
  ctx.err.flush();
  return kExitFailure;
}

int BoxesShown(const CliContext& ctx) {
  const auto* console = dynamic_cast<const ConsoleUserInterface*>(&ctx.state.ui);
  return console ? console->boxesShown : 0;
}

int ReportFailureSince(CliContext& ctx, int boxesBefore) {
  if (BoxesShown(ctx) != boxesBefore) return kExitFailure;
  return ReportFailure(ctx, ctx.state.statusText);
}

int ReportNoAnswer(CliContext& ctx) { return ReportFailure(ctx, LinkErrorText(ctx.state, false)); }

int UsageError(CliContext& ctx, const std::string& text) {
  ctx.err << "tmv-cli: " << text << "\n";
  ctx.err.flush();
  return kExitUsage;
}

}  // namespace tmv::cli
