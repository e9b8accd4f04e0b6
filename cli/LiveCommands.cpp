// Live readings and the micro-salinometer bench procedure.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
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

// Labels carry padding and units a line end: one line, single spaces.
std::string Tidy(const std::string& text) {
  std::string tidy;
  for (char ch : text)
    if (ch != '\n' && ch != '\r' && !(ch == ' ' && (tidy.empty() || tidy.back() == ' '))) tidy += ch;
  while (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
  return tidy;
}

// One whole-record fetch: started, then polled once a second as the window does.
bool FetchOnce(AppState& state, std::vector<double>& values) {
  state.fetchWindow.text.clear();
  CommGet(state, 39);
  if (!state.fetchWindow.text.empty()) return false;
  const int polls = std::max(1, state.query.fetchPollCount);
  for (int i = 0; i < polls * 10; ++i) {
    DelayMs(state, 100);
    if (CommGet(state, 40)) {
      values = DecodeLiveRecord(state, state.reply.Bytes());
      return true;
    }
  }
  return false;
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
  if (known != KnowResult::Known && known != KnowResult::CalibrationUnreadable)
    return ReportFailure(ctx, state.statusText);
  state.query.binaryOutput = true;
  state.fetchWindow.employAveraging = average;
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    std::vector<double> values;
    if (!FetchOnce(state, values)) {
      ++failures;
      ctx.err << "No reading: " << (state.reply.Contains("Busy") ? "Logger busy" : "no reply") << "\n";
      continue;
    }
    if (values.empty()) {
      ++failures;
      ctx.err << (state.reply.Contains("Busy") ? "Logger busy" : "No reading in the reply") << "\n";
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
  return failures == count ? kExitFailure : kExitOk;
}

int Salinometer(CliContext& ctx) {
  double k15 = 0.0;
  int capture = 0;
  int seconds = 30;
  int timeout = 600;
  std::string output;
  auto parser = CommandParser("salinometer",
                              "Usage: tmv-cli [--port PATH|COMn] salinometer [--standardise K15] [--capture N] "
                              "[-o FILE.sal] [--average SECONDS]");
  parser->add_option("--standardise", k15, "standard seawater in the sample cell: standardise with this K15");
  parser->add_option("--capture", capture, "sample lines to write to the .sal file")->check(CLI::Range(0, 100000));
  parser->add_option("-o", output, "the .sal capture file");
  parser->add_option("--average", seconds, "averaging seconds (1..60, default 30)");
  parser->add_option("--timeout", timeout, "seconds to wait for a settled reading (default 600)");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (capture > 0 && output.empty()) return UsageError(ctx, "--capture needs -o FILE.sal");
  if (int rc = PassGate(ctx, cmd::kMicroSalinometer)) return rc;
  AppState& state = ctx.state;
  MicroSalState m;
  SetMicroSalAveraging(m, seconds);
  if (k15 != 0.0) {
    m.k15 = k15;
    // Checked before the instrument is touched.
    m.vSample1 = 0.5;
    m.vStandard1 = 0.5;
    if (const std::string problem = StandardisationProblem(m); !problem.empty()) return ReportFailure(ctx, problem);
  }
  const int boxes = BoxesShown(ctx);
  if (!RunMicroSalinometer(state, m)) return ReportFailureSince(ctx, boxes);
  auto waitSettled = [&]() {
    const int64_t until = state.clock.Milliseconds() + int64_t{timeout} * 1000;
    while (state.clock.Milliseconds() < until) {
      MicroSalTick(state, m);
      if (!m.setupPending && m.settled) return true;
      DelayMs(state, m.setupPending ? 1000 : 100);
    }
    return false;
  };
  auto print = [&]() {
    ctx.out << Format("T %.4f degC  Rt %.5f  S %.4f PSS-78  sd %.5f  %s", m.averages[kSalT], m.averages[kSalRt],
                      m.averages[kSalS], m.standardDeviation, m.settled ? "SETTLED" : "SETTLING")
            << "\n";
  };
  if (!waitSettled()) {
    CloseMicroSalinometer(state, m);
    return ReportFailure(ctx, "The reading did not settle in time.");
  }
  print();
  if (k15 != 0.0) {
    ShowStandardisation(state, m);
    m.k15 = k15;
    CaptureStandardisation(m, 2);
    const int before = BoxesShown(ctx);
    if (!AcceptStandardisation(state, m)) {
      CloseMicroSalinometer(state, m);
      return ReportFailureSince(ctx, before);
    }
    ctx.out << Format("Standardised: K15 %.5f  alpha %.7f", m.k15, m.alpha) << "\n";
    if (!RunMicroSalinometer(state, m) || !waitSettled()) {
      CloseMicroSalinometer(state, m);
      return ReportFailure(ctx, "The instrument did not restart after the standardisation.");
    }
    print();
  }
  if (!output.empty()) {
    if (!OpenCaptureFile(state, m, output, "tmv-cli salinometer", false)) {
      CloseMicroSalinometer(state, m);
      return kExitFailure;
    }
    for (int i = 0; i < capture; ++i) {
      if (i > 0) {
        for (int t = 0; t < m.window; ++t) {
          MicroSalTick(state, m);
          DelayMs(state, 100);
        }
      }
      SaveNow(state, m, Format("Sample %d", i + 1), false);
      ctx.out << CaptureLine(m, Format("Sample %d", i + 1), state.clock.LocalTime()) << "\n";
    }
  }
  CloseMicroSalinometer(state, m);
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"live", "Print converted live readings, one line per fetch",
                      "Usage: tmv-cli [--port PATH|COMn] live [--count N] [--average] [--json]\n\n"
                      "Fetches the current readings N times and prints each channel's label,\n"
                      "value and unit on one line per fetch. --average lets the logger average\n"
                      "over its averaging period first. --json prints one JSON object a fetch.\n",
                      Live});
  RegisterCliCommand({"salinometer", "Run the micro-salinometer bench procedure",
                      "Usage: tmv-cli [--port PATH|COMn] salinometer [--standardise K15] [--capture N]\n"
                      "                 [-o FILE.sal] [--average SECONDS]\n\n"
                      "Programs the VL-840, waits until the reading has settled and prints it.\n"
                      "--standardise: standard seawater is in the sample cell; standardise with\n"
                      "its K15 (0.9..1.1). --capture N writes N sample lines to the .sal file.\n",
                      Salinometer});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
