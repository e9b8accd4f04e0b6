// Live readings and the micro-salinometer bench procedure.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "microsal/MicroSalinometer.h"
#include "model/ChannelTypes.h"
#include "model/KnowLogger.h"
#include "retrieval/LiveReadings.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

// Labels carry padding: one line, single spaces.
std::string Tidy(const std::string& text) {
  std::string tidy;
  for (char ch : text)
    if (ch != '\n' && ch != '\r' && !(ch == ' ' && (tidy.empty() || tidy.back() == ' '))) tidy += ch;
  while (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
  return tidy;
}

enum class FetchOutcome { Reading, NoReading, LoggerGone };

// One whole-record fetch: started, then polled once a second as the window does.
FetchOutcome FetchOnce(AppState& state, std::vector<double>& values) {
  state.fetchWindow.text.clear();
  if (LinkLost(state.loggerLink)) return FetchOutcome::LoggerGone;
  CommGet(state, 39);
  // The fetch identifies the logger first; no answer means it has gone.
  if (!state.fetchWindow.text.empty()) return FetchOutcome::LoggerGone;
  const int polls = std::max(1, state.query.fetchPollCount);
  for (int i = 0; i < polls * 10; ++i) {
    DelayMs(state, 100);
    if (CommGet(state, 40)) {
      values = DecodeLiveRecord(state, state.reply.Bytes());
      return FetchOutcome::Reading;
    }
    if (LinkLost(state.loggerLink)) return FetchOutcome::LoggerGone;
  }
  return FetchOutcome::NoReading;
}

int Live(CliContext& ctx) {
  int count = 1;
  bool average = false;
  bool json = false;
  auto parser = CommandParser("live", "Usage: tmv-cli [--port PATH|COMn] live [--count N] [--average] [--json]");
  parser->add_option("--count", count, "number of fetches (default 1)")->check(CLI::Range(1, 100000));
  parser->add_flag("--average", average, "let the logger average over its averaging period");
  parser->add_flag("--json", json, "print one JSON object a fetch (see docs/json.md)");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kFetchLiveReadings)) return rc;
  AppState& state = ctx.state;
  const KnowResult known = KnowLogger(state, kKnowCapabilities | kKnowConfiguration | kKnowCalibration);
  if (known != KnowResult::Known && known != KnowResult::CalibrationUnreadable) {
    ReportFailure(ctx, state.statusText);
    return kExitNoLogger;
  }
  state.query.binaryOutput = true;
  state.fetchWindow.employAveraging = average;
  int failures = 0, fetched = 0;
  bool gone = false;
  for (int i = 0; i < count && !gone; ++i) {
    std::vector<double> values;
    const FetchOutcome outcome = FetchOnce(state, values);
    ++fetched;
    if (outcome == FetchOutcome::LoggerGone) {
      ++failures;
      gone = true;
      ctx.err << LinkErrorText(state, false) << "\n";
      break;
    }
    if (outcome == FetchOutcome::NoReading || values.empty()) {
      ++failures;
      ctx.err << (state.reply.Contains("Busy") ? "Logger busy"
                  : outcome == FetchOutcome::NoReading ? "No reading: no reply"
                                                       : "No reading in the reply")
              << "\n";
      continue;
    }
    if (json) {
      JsonWriter w;
      w.BeginObject().Key("time").Time(state.clock.LocalTime()).Key("channels").BeginArray();
      for (size_t c = 0; c < values.size(); ++c)
        ChannelKeys(w.BeginObject(), state.logger, static_cast<int>(c)).Key("value").Number(values[c]).EndObject();
      ctx.out << w.EndArray().EndObject().Text() << "\n" << std::flush;
      continue;
    }
    std::string line;
    for (size_t c = 0; c < values.size(); ++c) {
      const int ch = static_cast<int>(c);
      if (c) line += "  ";
      line += Tidy(Format("%s %.4f %s", ChannelShortLabel(state.logger, ch).substr(1).c_str(), values[c],
                          ChannelUnit(state.logger, ch)));
    }
    ctx.out << line << "\n" << std::flush;
  }
  state.fetchWindow.employAveraging = false;
  if (failures > 0)
    ctx.err << Format("%d of %d fetches brought no reading%s.", failures, fetched,
                      gone && fetched < count ? Format(" (stopped: %d were asked for)", count).c_str() : "")
            << "\n";
  if (gone) return kExitNoLogger;
  if (failures == 0) return kExitOk;
  return failures == fetched ? kExitNoLogger : kExitPartial;
}

// Ends the bench procedure however the command ends: the instrument would
// otherwise go on profiling at six samples a second until its end time.
class ProcedureGuard {
 public:
  ProcedureGuard(AppState& state, MicroSalState& m) : state_(state), m_(m) {}
  ~ProcedureGuard() {
    if (m_.running) CloseMicroSalinometer(state_, m_);
  }
  ProcedureGuard(const ProcedureGuard&) = delete;
  ProcedureGuard& operator=(const ProcedureGuard&) = delete;

 private:
  AppState& state_;
  MicroSalState& m_;
};

int Salinometer(CliContext& ctx) {
  double k15 = 0.0;
  int capture = 0;
  int seconds = 30;
  int timeout = 600;
  std::string output;
  auto parser = CommandParser("salinometer",
                              "Usage: tmv-cli [--port PATH|COMn] [--yes] salinometer [--standardise K15] [--capture N] "
                              "[-o FILE.sal] [--average SECONDS]");
  parser->add_option("--standardise", k15, "standard seawater in the sample cell: standardise with this K15");
  parser->add_option("--capture", capture, "sample lines to write to the .sal file")->check(CLI::Range(0, 100000));
  parser->add_option("-o", output, "the .sal capture file");
  parser->add_option("--average", seconds, "averaging seconds (1..60, default 30)");
  parser->add_option("--timeout", timeout, "seconds to wait for a settled reading (default 600)");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (capture > 0 && output.empty()) return UsageError(ctx, "--capture needs -o FILE.sal");
  MicroSalState m;
  SetMicroSalAveraging(m, seconds);
  if (k15 != 0.0) {
    m.k15 = k15;
    // Checked before the instrument is touched.
    m.vSample1 = 0.5;
    m.vStandard1 = 0.5;
    if (const std::string problem = StandardisationProblem(m); !problem.empty()) return UsageError(ctx, problem);
  }
  if (!Confirm(ctx,
               "The micro-salinometer procedure erases the instrument's memory and sets it to send six samples a\n"
               "second until the procedure ends.\nErase the memory and go on?",
               "Micro-Salinometer")) {
    ctx.err << "Not started: the memory was not to be erased (--yes answers Yes).\n";
    return kExitFailure;
  }
  if (int rc = PassGate(ctx, cmd::kMicroSalinometer)) return rc;
  AppState& state = ctx.state;
  // Every ratio and salinity depends on the calibration: never the defaults.
  m.calibrationChoice = CalibrationChoice::Refuse;
  const EndingSignals signals;
  const ProcedureGuard guard(state, m);
  if (const Outcome run = RunMicroSalinometer(state, m); !run.Ok()) {
    const int rc = ReportOutcome(ctx, run);
    if (run.kind == OutcomeKind::Refused && state.query.loggerStatus != 0 && state.query.loggerStatus != 4 &&
        state.query.loggerStatus != 8)
      ctx.err << "(tmv-cli stop stops the instrument.)\n";
    return rc;
  }
  // Why a wait ended early; empty while it may go on.
  std::string ended;
  auto waitSettled = [&]() {
    const int64_t until = state.clock.Milliseconds() + int64_t{timeout} * 1000;
    while (state.clock.Milliseconds() < until) {
      MicroSalTick(state, m);
      if (!m.setupPending && m.settled) return true;
      if (EndRequested()) ended = "Interrupted: the procedure has ended.";
      else if (LinkLost(state.loggerLink)) ended = LinkErrorText(state, false);
      if (!ended.empty()) return false;
      DelayMs(state, m.setupPending ? 1000 : 100);
    }
    return false;
  };
  auto failedWait = [&](const std::string& timeoutText) {
    if (ended.empty()) return ReportFailure(ctx, timeoutText);
    ReportFailure(ctx, ended);
    return EndRequested() ? kExitFailure : kExitNoLogger;
  };
  auto print = [&]() {
    ctx.out << Format("T %.4f degC  Rt %.5f  S %.4f PSS-78  sd %.5f  %s", m.averages[kSalT], m.averages[kSalRt],
                      m.averages[kSalS], m.standardDeviation, m.settled ? "SETTLED" : "SETTLING")
            << "\n";
  };
  if (!waitSettled()) return failedWait("The reading did not settle in time.");
  print();
  if (k15 != 0.0) {
    ShowStandardisation(state, m);
    m.k15 = k15;
    CaptureStandardisation(m, 2);
    if (const Outcome accepted = AcceptStandardisation(state, m); !accepted.Ok()) return ReportOutcome(ctx, accepted);
    ctx.out << Format("Standardised: K15 %.5f  alpha %.7f", m.k15, m.alpha) << "\n";
    if (const Outcome again = RunMicroSalinometer(state, m); !again.Ok()) {
      ReportOutcome(ctx, again);
      return ReportFailure(ctx, "The instrument did not restart after the standardisation.");
    }
    if (!waitSettled()) return failedWait("The instrument did not settle again after the standardisation.");
    print();
  }
  if (!output.empty()) {
    if (!OpenCaptureFile(state, m, output, "tmv-cli salinometer", false)) return kExitFailure;
    for (int i = 0; i < capture; ++i) {
      if (i > 0) {
        for (int t = 0; t < m.window; ++t) {
          MicroSalTick(state, m);
          if (EndRequested() || LinkLost(state.loggerLink)) {
            ended = EndRequested() ? "Interrupted: the procedure has ended." : LinkErrorText(state, false);
            return failedWait("");
          }
          DelayMs(state, 100);
        }
      }
      SaveNow(state, m, Format("Sample %d", i + 1), false);
      ctx.out << CaptureLine(m, Format("Sample %d", i + 1), state.clock.LocalTime()) << "\n";
    }
  }
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"live", "Print converted live readings, one line per fetch",
                      "Usage: tmv-cli [--port PATH|COMn] live [--count N] [--average] [--json]\n\n"
                      "Fetches the current readings N times and prints each channel's label,\n"
                      "value and unit on one line per fetch. --average lets the logger average\n"
                      "over its averaging period first. --json prints one JSON object a fetch.\n\n"
                      "Exit status: 0 every fetch brought a reading; 3 some did not (they are\n"
                      "counted on standard error); 4 none did, or the logger went away (the\n"
                      "fetches stop then); 5 the logger refused (it is logging).\n",
                      Live});
  RegisterCliCommand({"salinometer", "Run the micro-salinometer bench procedure",
                      "Usage: tmv-cli [--port PATH|COMn] [--yes] salinometer [--standardise K15] [--capture N]\n"
                      "                 [-o FILE.sal] [--average SECONDS] [--timeout SECONDS]\n\n"
                      "Programs the VL-840, waits until the reading has settled and prints it.\n"
                      "The procedure erases the instrument's memory: it asks first (--yes answers\n"
                      "Yes). --standardise: standard seawater is in the sample cell; standardise\n"
                      "with its K15 (0.9..1.1). --capture N writes N sample lines to the .sal file.\n"
                      "However it ends (done, failed, Ctrl-C, SIGTERM, SIGHUP) the instrument is\n"
                      "stopped. Nothing is measured when its calibration cannot be read.\n\n"
                      "Exit status: 0 done; 1 not started (No to the question), interrupted, not\n"
                      "settled in time, the standardisation or a file failed; 2 usage error; 4 no\n"
                      "instrument, its calibration unreadable, or its port went away; 5 not a\n"
                      "micro-salinometer, or logging.\n",
                      Salinometer});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
