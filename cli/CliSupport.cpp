#include "CliSupport.h"

#include <ostream>

#include "ConsoleUserInterface.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "shell/AppState.h"
#include "shell/CommandGate.h"

namespace tmv::cli {

int PassGate(CliContext& ctx, int command) {
  switch (PassCommandGate(ctx.state, command)) {
    case GateResult::Pass: return kExitOk;
    case GateResult::Refused: return kExitFailure;  // the refusal went to standard error
    case GateResult::NoLogger:
    case GateResult::LoggerUnknown: break;
  }
  return ReportFailure(ctx, ctx.state.statusText);
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
