// Commands of the deployment: show it, set it up and enable the logger,
// estimate it without a logger, stop, suspend, resume and erase.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "SetupOptions.h"
#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "deployment/SetupDialog.h"
#include "deployment/SetupSequence.h"
#include "deployment/SetupSimulation.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/CapabilitiesDialogs.h"
#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

int OpenSetup(CliContext& ctx, SetupDialog& dialog) {
  if (!dialog.Open(ctx.state)) return ReportOutcome(ctx, dialog.unread);
  return kParsed;
}

// The deployment as one JSON object; the texts are those of the Setup dialog.
void PrintDeploymentJson(CliContext& ctx, const SetupDialog& dialog) {
  const AppState& state = ctx.state;
  const DeploymentSettings& d = state.deployment;
  JsonWriter w;
  w.BeginObject();
  w.Key("status_code").Integer(state.query.loggerStatus);
  w.Key("status").String(dialog.loggerStatusText);
  // An older QN-760 does not report its deployment while it is active.
  const bool read = !(dialog.loggerTimeText.empty() && dialog.hostTimeText.empty());
  w.Key("deployment_read").Bool(read);
  if (read) {
    w.Key("logger_time").Time(d.loggerClock);
    w.Key("host_time").Time(d.hostClockAtRead);
    w.Key("start_mode");
    if (dialog.startList.empty()) w.Null();
    else w.String(dialog.startList[static_cast<size_t>(dialog.startSelection)]);
    w.Key("start_time").Time(d.startTime);
    w.Key("end_time").Time(d.endTime);
    const LoggerTime& p = d.samplingPeriod;
    w.Key("sampling_period_s").Integer(int64_t{p.hour} * 3600 + int64_t{p.minute} * 60 + p.second);
    w.Key("sampling_period").String(dialog.periodText);
    w.Key("averaging").String(dialog.averagingText);
    if (dialog.panel.tideWaveLayout) {
      w.Key("wave_rate").String(dialog.rateText);
      w.Key("wave_burst").String(dialog.waveText);
      w.Key("mean_water_depth_m").Number(d.meanWaterDepth);
      w.Key("logger_height_m").Number(d.loggerHeight);
    }
    w.Key("real_time_output");
    if (dialog.realTimeVisible && !dialog.realTimeList.empty())
      w.String(dialog.realTimeList[static_cast<size_t>(dialog.realTimeSelection)]);
    else
      w.Null();
    w.Key("memory_used").String(dialog.memoryUsageText);
    w.Key("estimate");
    if (dialog.panel.enableAllowed && !dialog.panel.message.text.empty()) w.String(dialog.panel.message.text);
    else w.Null();
  }
  w.EndObject();
  ctx.out << w.Text() << "\n";
}

int Deployment(CliContext& ctx) {
  bool json = false;
  auto parser = CommandParser("deployment", "Usage: tmv-cli [--port PATH|COMn] deployment [--json]");
  parser->add_flag("--json", json, "print one JSON object");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kShowDeployment)) return rc;
  SetupDialog dialog;
  if (int rc = OpenSetup(ctx, dialog); rc != kParsed) return rc;
  // A part the logger did not tell is never printed as if it had.
  if (!dialog.updatesSuspended && !dialog.unread.Ok()) return ReportOutcome(ctx, dialog.unread);
  if (json) {
    PrintDeploymentJson(ctx, dialog);
    return kExitOk;
  }
  PrintDeployment(ctx, dialog);
  if (!dialog.loggerTimeText.empty() && !dialog.panel.enableAllowed && !dialog.panel.message.text.empty())
    ctx.out << "Message: " << dialog.panel.message.text << "\n";
  return kExitOk;
}

// The real-time output format, switched as the "Communication format" dialog does.
int ChooseOutputFormat(CliContext& ctx, const std::string& wanted) {
  if (wanted != "binary" && wanted != "engineering") return kParsed;
  CommunicationFormatDialog format;
  format.Open(ctx.state);
  const bool engineering = (ctx.state.query.optionByte & kOptionEngineeringUnits) != 0;
  if (engineering == (wanted == "engineering")) return kParsed;
  if (!format.buttonVisible) return ReportFailure(ctx, format.text);
  if (!format.Button(ctx.state)) return ReportFailure(ctx, "The output format was not changed.");
  return kParsed;
}

int Setup(CliContext& ctx) {
  SetupOptions options;
  bool dryRun = false;
  auto parser = CommandParser("setup", "Usage: tmv-cli [--port PATH|COMn] [--yes] setup [OPTIONS]\n\n"
                                       "Sets up a deployment as the Setup dialog does, prints it with its\n"
                                       "estimate, asks \"Enable logging?\" (answered Yes only with --yes) and\n"
                                       "enables the logger, then reads the deployment back. A logger that\n"
                                       "holds readings is erased only with --erase (--yes alone never erases);\n"
                                       "--continue adds to them with the deployment the logger holds.");
  AddSetupOptions(*parser, options);
  parser->add_flag("--dry-run", dryRun, "validate and estimate only; nothing is written");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = CheckSetupOptions(ctx, options); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kProgramDeployment)) return rc;
  AppState& state = ctx.state;
  SetupDialog dialog;
  if (int rc = OpenSetup(ctx, dialog); rc != kParsed) return rc;
  if (dialog.updatesSuspended)
    return ReportFailure(ctx, dialog.panel.message.text + " (tmv-cli stop)");
  // What is not given on the command line comes from the logger: never from a default.
  if (!dialog.unread.Ok()) return ReportOutcome(ctx, dialog.unread);
  // Whether the logger could go on adding to its readings with the deployment it holds.
  const bool couldContinue = dialog.enableButtonText == SetupDialog::kResumeEnable;
  if (int rc = ApplySetupOptions(ctx, dialog, options); rc != kParsed) return rc;
  PrintDeployment(ctx, dialog);
  if (int rc = ReportValidity(ctx, dialog)) return rc;
  if (dryRun) return kExitOk;

  // Readings stored in the logger are erased only when asked for by name:
  // --yes answers the questions that lose nothing.
  if (CommGet(state, 6) != 1)
    return ReportOutcome(ctx, Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Memory status read incorrectly"));
  const bool stored = MemoryHoldsData(state.logger, DataPointerFromReply(state.reply.Bytes()));
  if (stored && !options.erase && !options.keep) {
    ctx.err << ContainsDataDialog::kHeading << ": " << ContainsDataDialog::kText << "\n";
    ctx.err << "Choose --erase (the readings are lost) or --continue. Nothing was written.\n";
    return kExitFailure;
  }
  if (stored && options.keep && !couldContinue)
    return ReportFailure(ctx, "This logger cannot continue to add to its readings; nothing was written.");
  if (stored && options.keep && dialog.enableButtonText != SetupDialog::kResumeEnable)
    return ReportFailure(ctx, "--continue adds to the readings with the deployment the logger holds, and a setting "
                              "given here changes it: leave the setting out, or use --erase. Nothing was written.");
  if (!Confirm(ctx, "Enable logging with these settings?", "Setup")) {
    ctx.err << "Not enabled (answer Yes with --yes).\n";
    return kExitFailure;
  }
  if (int rc = ChooseOutputFormat(ctx, options.realtime); rc != kParsed) return rc;
  const EnableDecision decision =
      dialog.EnableLogging(state, [&ctx](const Question& q) { return Confirm(ctx, q.text, q.caption); });
  SetupAction action = decision.action;
  if (decision.askContainsData) {
    // With no readings stored, erasing loses nothing; otherwise the user chose above.
    action = ContainsDataDialog::Choose(options.keep ? ContainsDataDialog::Button::ContinueToAdd
                                                     : ContainsDataDialog::Button::EraseOldReadings);
  } else if (options.keep && stored && action == SetupAction::EraseAndProgram) {
    // The readings were to be kept: this logger cannot add to them.
    return ReportFailure(ctx, "This logger cannot continue to add to its readings; nothing was written.");
  }
  if (action == SetupAction::None) {
    if (!decision.refusal.Ok()) return ReportOutcome(ctx, decision.refusal);
    ctx.err << "Not enabled.\n";
    return kExitFailure;
  }
  if (decision.prepareRealTimeFile)
    ctx.err << "Real-time output is on: collect it with the desktop program.\n";
  EnableRun run;
  CarryOutSetupDecision(state, dialog, decision, action, run);
  if (run.erasing) ctx.err << run.message << "\n";
  RunEnableToEnd(state, run);
  if (run.outcome != 1) {
    // A setting that read back different is a verification that failed.
    if (run.result.Ok()) return ReportFailure(ctx, run.failedStep.empty() ? "Not enabled." : run.failedStep);
    return ReportOutcome(ctx, run.result);
  }
  // Every setting was read back and compared by the sequence; the read-back
  // shows what the logger now holds.
  for (const std::string& what : run.verified) ctx.out << "Verified: " << what << "\n";
  ctx.out << "Verified: the logger accepted every setting.\nRead back:\n";
  SetupDialog back;
  if (!back.Open(state)) return ReportFailure(ctx, state.statusText);
  PrintDeployment(ctx, back);
  return kExitOk;
}

int Estimate(CliContext& ctx) {
  SetupOptions options;
  std::string model;
  std::string channels;
  auto parser = CommandParser("estimate", "Usage: tmv-cli estimate --simulate MODEL [--channels CODES] [OPTIONS]\n\n"
                                          "Assesses a deployment on a simulated logger, without any logger.");
  SimulationChoiceDialog choice;
  std::vector<std::string> models;
  for (const auto& c : choice.choices) models.push_back(c.substr(0, c.find(' ')));  // "QN-730 or QNQ-730"
  parser->add_option("--simulate", model, "the logger type: " + [&] {
    std::string list;
    for (const auto& m : models) list += (list.empty() ? "" : ", ") + m;
    return list;
  }())->required()->check(CLI::IsMember(models));
  parser->add_option("--channels", channels, "channel type codes of a multi-channel type, e.g. CTP");
  AddSetupOptions(*parser, options);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = CheckSetupOptions(ctx, options); rc != kParsed) return rc;
  if (options.erase || options.keep) return UsageError(ctx, "--erase and --continue need a logger");
  choice.selected = static_cast<int>(std::find(models.begin(), models.end(), model) - models.begin());
  QnSimulationDialog qn;
  if (!channels.empty()) {
    if (!choice.NeedsChannelChoice()) return UsageError(ctx, model + " has fixed channels");
    qn.channels.clear();
    if (static_cast<int>(channels.size()) > qn.maximumChannels)
      return UsageError(ctx, Format("--channels takes at most %d channels (%d given)", qn.maximumChannels,
                                    static_cast<int>(channels.size())));
    for (char c : channels)
      if (!qn.AddChannel(static_cast<uint8_t>(c))) return UsageError(ctx, std::string("'") + c + "' is not a channel type offered");
  }
  AppState& state = ctx.state;
  BeginSimulation(state, choice.selected, choice.NeedsChannelChoice() ? qn.channels : std::vector<uint8_t>{});
  SetupDialog dialog;
  dialog.OpenSimulated(state);
  if (int rc = ApplySetupOptions(ctx, dialog, options); rc != kParsed) return rc;
  PrintDeployment(ctx, dialog);
  return ReportValidity(ctx, dialog);
}

int PrintStatus(CliContext& ctx) {
  if (KnowLogger(ctx.state, kKnowStatus) != KnowResult::Known) return ReportNoAnswer(ctx);
  ctx.out << LoggerStatusText(ctx.state.query.loggerStatus) << "\n";
  return kExitOk;
}

// Stop, suspend or resume, then the status the logger reports: a logger
// that does not show the change (a command lost on the line, refused) is
// not reported as done.
int RunningState(CliContext& ctx, const char* name, int command, RunningChange wanted) {
  auto parser = CommandParser(name, std::string("Usage: tmv-cli [--port PATH|COMn] ") + name);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, command)) return rc;
  const Outcome changed = ChangeRunningState(ctx.state, wanted);
  if (!ctx.state.logger.statusStale) ctx.out << LoggerStatusText(ctx.state.query.loggerStatus) << "\n";
  return ReportOutcome(ctx, changed);
}

int Stop(CliContext& ctx) { return RunningState(ctx, "stop", cmd::kStopLogger, RunningChange::Stop); }
int Suspend(CliContext& ctx) {
  return RunningState(ctx, "suspend", cmd::kSuspendLogger, RunningChange::Suspend);
}
int Resume(CliContext& ctx) {
  return RunningState(ctx, "resume", cmd::kResumeLogger, RunningChange::Resume);
}

int Erase(CliContext& ctx) {
  auto parser = CommandParser("erase", "Usage: tmv-cli [--port PATH|COMn] [--yes] erase");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kEraseLogger)) return rc;
  AppState& state = ctx.state;
  if (!Confirm(ctx, "The logger's memory will be erased and its readings lost.\nDo you want to continue?", "Erase")) {
    ctx.err << "Not erased (answer Yes with --yes).\n";
    return kExitFailure;
  }
  int shownTenth = -1;
  const int erased = EraseLogger(state, [&](double percent) {
    // A line per tenth of the estimated time: an erase takes up to minutes.
    const int tenth = static_cast<int>(percent / 10.0);
    if (tenth != shownTenth) ctx.err << Format("Erasing: %d%%\n", tenth * 10);
    shownTenth = tenth;
  });
  if (erased != 1) {
    if (!state.logger.connected) {
      ReportNoAnswer(ctx);
      return kExitNoLogger;
    }
    ReportFailure(ctx, "The logger failed to erase properly.");
    return kExitRefused;
  }
  ctx.out << "Erased.\n";
  return PrintStatus(ctx);
}

const bool registered = [] {
  RegisterCliCommand({"deployment", "Show the deployment the logger holds, with its estimate",
                      "Usage: tmv-cli [--port PATH|COMn] deployment\n\n"
                      "Prints the logger status, its clock and the host's, the start mode and\n"
                      "threshold, start and end, sampling period, averaging, burst and wave\n"
                      "settings, real-time output, the memory used and the estimate of memory\n"
                      "and battery use.\n",
                      Deployment});
  RegisterCliCommand({"setup", "Set up a deployment and enable the logger (or --dry-run)", "", Setup});
  RegisterCliCommand({"estimate", "Estimate a deployment on a simulated logger (no logger needed)", "", Estimate});
  RegisterCliCommand({"stop", "Stop a logging logger",
                      "Usage: tmv-cli [--port PATH|COMn] stop\n\n"
                      "Stops the logger (real-time output off too) and prints its status;\n"
                      "status 5 when the logger still reports itself logging.\n",
                      Stop});
  RegisterCliCommand({"suspend", "Suspend logging",
                      "Usage: tmv-cli [--port PATH|COMn] suspend\n\n"
                      "Suspends the logger's logging and prints its status; status 5 when\n"
                      "the logger does not report itself suspended.\n",
                      Suspend});
  RegisterCliCommand({"resume", "Resume suspended logging",
                      "Usage: tmv-cli [--port PATH|COMn] resume\n\n"
                      "Resumes the logger's logging and prints its status; status 5 when\n"
                      "it is not suspended, or does not report itself logging again.\n",
                      Resume});
  RegisterCliCommand({"erase", "Erase the logger's memory (asks first)",
                      "Usage: tmv-cli [--port PATH|COMn] [--yes] erase\n\n"
                      "Erases the logger's memory and waits until the logger reports it\n"
                      "erased (about two minutes at most on a newer logger, two seconds per\n"
                      "64 KiB in use on an older one), showing the progress. Asks first;\n"
                      "without --yes the answer is No and nothing is erased. The logger must\n"
                      "not be logging. Status 5 when the logger reports a failed erase.\n",
                      Erase});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
