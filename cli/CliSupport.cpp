#include "CliSupport.h"

#include <CLI/CLI.hpp>

#include <algorithm>
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

namespace {

// Heads a command's help with the tool's usage line instead of CLI11's own.
class CommandFormatter : public CLI::Formatter {
 public:
  explicit CommandFormatter(std::string usage) : usage_(std::move(usage)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return usage_ + "\n"; }

 private:
  std::string usage_;
};

}  // namespace

std::unique_ptr<CLI::App> CommandParser(const std::string& name, const std::string& usage) {
  auto app = std::make_unique<CLI::App>("", "tmv-cli " + name);
  app->formatter(std::make_shared<CommandFormatter>(usage));
  app->add_flag("-y,--yes")->description("answer Yes to the questions");
  return app;
}

int ParseCommand(CliContext& ctx, CLI::App& parser) {
  std::vector<std::string> args(ctx.args.rbegin(), ctx.args.rend());  // CLI11 takes them last first
  try {
    parser.parse(args);
  } catch (const CLI::CallForHelp&) {
    ctx.out << parser.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return UsageError(ctx, e.what());
  }
  if (parser.count("--yes") > 0) {
    ctx.yes = true;
    if (auto* console = dynamic_cast<ConsoleUserInterface*>(&ctx.state.ui)) console->SetYes(true);
  }
  return kParsed;
}

bool Confirm(CliContext& ctx, const std::string& text, const std::string& caption) {
  return ctx.state.ui.MessageBox(text, caption, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
         MessageAnswer::Yes;
}

}  // namespace tmv::cli
