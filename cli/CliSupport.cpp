#include "CliSupport.h"

#include <ostream>

#include "link/Connection.h"
#include "shell/AppState.h"

namespace tmv::cli {

int ConnectOrReport(CliContext& ctx) {
  if (RunConnectCommand(ctx.state)) return kExitOk;
  return ReportFailure(ctx, ctx.state.statusText);
}

int ReportFailure(CliContext& ctx, const std::string& text) {
  ctx.err << text << "\n";
  ctx.err.flush();
  return kExitFailure;
}

int ReportNoAnswer(CliContext& ctx) { return ReportFailure(ctx, LinkErrorText(ctx.state, false)); }

int UsageError(CliContext& ctx, const std::string& text) {
  ctx.err << "tmv-cli: " << text << "\n";
  ctx.err.flush();
  return kExitUsage;
}

}  // namespace tmv::cli
