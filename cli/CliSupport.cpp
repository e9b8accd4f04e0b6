#include "CliSupport.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <ostream>

#include "ConsoleUserInterface.h"
#include "analysis/DerivedOption.h"
#include "files/DatFile.h"
#include "files/HexFile.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "shell/AppState.h"
#include "shell/CommandGate.h"
#include "shell/Outcomes.h"

namespace tmv::cli {

int PassGate(CliContext& ctx, int command) {
  switch (PassCommandGate(ctx.state, command)) {
    case GateResult::Pass: return kExitOk;
    case GateResult::Refused: return kExitRefused;  // the refusal went to standard error
    case GateResult::NoLogger:
    case GateResult::LoggerUnknown: break;
  }
  ReportFailure(ctx, ctx.state.statusText);
  return kExitNoLogger;
}

int ExitStatusFor(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done: return kExitOk;
    case OutcomeKind::Partial: return kExitPartial;
    case OutcomeKind::NoLogger: return kExitNoLogger;
    case OutcomeKind::Refused: return kExitRefused;
    case OutcomeKind::VerificationFailed: return kExitVerify;
    case OutcomeKind::Failed:
    case OutcomeKind::Cancelled: return kExitFailure;
  }
  return kExitFailure;
}

int ReportOutcome(CliContext& ctx, const Outcome& outcome) {
  if (!outcome.key.empty()) ctx.err << Describe(ctx.state, outcome) << "\n";
  return ExitStatusFor(outcome.kind);
}

int ReportFailure(CliContext& ctx, const std::string& text) {
  ctx.err << text << "\n";
  ctx.err.flush();
  return kExitFailure;
}

int ReportNoAnswer(CliContext& ctx) {
  ReportFailure(ctx, LinkErrorText(ctx.state, false));
  return kExitNoLogger;
}

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

int ReadDataFileInto(CliContext& ctx, const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return ReportFailure(ctx, "No such file: " + path);
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  Outcome read;
  ctx.state.analysis.pendingKzmAction = kKzmNone;
  if (ext == ".hex") read = ReadHexFile(ctx.state, 0, path);
  else if (ext == ".dat") read = ReadDatFile(ctx.state, 0, path);
  else return UsageError(ctx, "the file must be a .hex or a .dat file: " + path);
  if (WasRead(read)) {
    if (read.kind == OutcomeKind::Partial) ReportOutcome(ctx, read);
    return kParsed;
  }
  if (read.key.empty()) return ReportFailure(ctx, "Unable to read " + path);
  ctx.err << path << ": ";
  const int rc = ReportOutcome(ctx, read);
  // The reason names the desktop's menu; the tool's own way is an option.
  if (ctx.state.analysis.pendingKzmAction == kKzmReadHexFile)
    ctx.err << "(depth is needed: --derived depth where the command takes it, or depth on in tmv.ini.)\n";
  return rc;
}

int DamagedFileStatus(CliContext& ctx, const std::string& path) {
  if (!ctx.state.retrieval.fileDamaged) return kExitOk;
  ctx.err << path << " is damaged: only what could be read of it was used.\n";
  return kExitPartial;
}

bool Confirm(CliContext& ctx, const std::string& text, const std::string& caption) {
  return ctx.state.ui.MessageBox(text, caption, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
         MessageAnswer::Yes;
}

namespace {

// Set by the ending signals; a signal handler can reach nothing else.
volatile std::sig_atomic_t endRequested = 0;

extern "C" void OnEndingSignal(int) { endRequested = 1; }

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

struct EndingSignals::Saved {
  std::array<struct sigaction, kEndingSignals.size()> previous{};
};

EndingSignals::EndingSignals() : saved_(std::make_unique<Saved>()) {
  endRequested = 0;
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kEndingSignals.size(); ++i) sigaction(kEndingSignals[i], &action, &saved_->previous[i]);
}

EndingSignals::~EndingSignals() {
  for (size_t i = 0; i < kEndingSignals.size(); ++i) sigaction(kEndingSignals[i], &saved_->previous[i], nullptr);
}

bool EndRequested() { return endRequested != 0; }

void DerivedOptions::AddTo(CLI::App& parser, bool latitudeToo) {
  parser.add_option("--derived", list, DerivedOptionHelp());
  if (latitudeToo) parser.add_option("--latitude", latitude, "latitude in degrees, for depth from pressure");
  parser.add_option("--atmospheric-pressure", atmosphericPressure, "atmospheric pressure in dBar");
  parser.add_option("--density", density, "water density in g/cm3, for the simplified depth");
  parser.add_option("--hydrostatic-pressure", hydrostaticPressure, "hydrostatic pressure in dBar, for loggers without one");
  parser.add_option("--fixed-temperature", fixedTemperature, "temperature in degrees C, for loggers without one");
  parser.add_option("--fixed-salinity", fixedSalinity, "salinity, for loggers without conductivity");
}

std::string DerivedOptions::Apply(DerivedSettings& settings) const {
  DerivedSettings s = settings;
  if (std::string e = ParseDerivedOption(list, s); !e.empty()) return "--derived: " + e;
  const struct {
    const char* option;
    const char* name;  // in the --derived list
    const std::string& text;
  } values[] = {{"--latitude", "latitude", latitude},
                {"--atmospheric-pressure", "atmospheric", atmosphericPressure},
                {"--density", "water-density", density},
                {"--hydrostatic-pressure", "hydrostatic", hydrostaticPressure},
                {"--fixed-temperature", "fixed-temperature", fixedTemperature},
                {"--fixed-salinity", "fixed-salinity", fixedSalinity}};
  for (const auto& v : values) {
    if (v.text.empty()) continue;
    if (std::string e = ApplyDerivedValue(v.name, v.text, s); !e.empty()) return std::string(v.option) + ": " + e;
  }
  settings = s;
  return {};
}

}  // namespace tmv::cli
