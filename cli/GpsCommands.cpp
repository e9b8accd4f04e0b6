// The GPS test from the command line: opens the GPS port and prints each
// position as it is parsed.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <deque>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "link/LoggerLink.h"
#include "retrieval/Gps.h"
#include "retrieval/GpsTest.h"
#include "shell/AppState.h"

namespace tmv::cli {

namespace {

// "COM3" -> 3; 0 for a device path.
int ComNumber(const std::string& text) {
  if (text.size() < 4 || (text.compare(0, 3, "COM") != 0 && text.compare(0, 3, "com") != 0)) return 0;
  int n = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || n > 16) return 0;
    n = n * 10 + (text[i] - '0');
  }
  return n >= 1 && n <= 16 ? n : 0;
}

int GpsTestCommand(CliContext& ctx) {
  std::string port;
  int baud = 0;
  double seconds = 10;
  int count = 0;
  bool sentences = false;
  auto parser = CommandParser("gps-test",
                              "Usage: tmv-cli gps-test [--port PATH|COMn] [--baud B] [--seconds N] [--count N] "
                              "[--sentences]");
  parser->add_option("--port", port, "the GPS receiver's serial device or COM port (default: the settings' GPS port)");
  parser->add_option("--baud", baud, "the GPS baud rate (default: the settings', 4800)")->check(CLI::Range(300, 115200));
  parser->add_option("--seconds", seconds, "how long to listen (default 10)")->check(CLI::Range(0.0, 86400.0));
  parser->add_option("--count", count, "stop after this many positions")->check(CLI::Range(0, 1000000000));
  parser->add_flag("--sentences", sentences, "print every sentence received, marking rejected ones");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;

  AppState& state = ctx.state;
  if (!port.empty()) {
    if (const int com = ComNumber(port)) {
      state.ports.gpsPort = com;
    } else {
      // A device path: it stands for a COM port number the logger does not use.
      state.ports.devices.resize(std::max<size_t>(state.ports.devices.size(), 16));
      state.ports.gpsPort = state.ports.loggerPort == 16 ? 15 : 16;
      state.ports.devices[static_cast<size_t>(state.ports.gpsPort) - 1] = port;
    }
  }
  if (baud > 0) state.ports.gpsBaud = baud;
  if (state.ports.gpsPort == state.ports.loggerPort && state.logger.connected)
    return UsageError(ctx, "the GPS port is the logger's port");

  GpsTestDialog dialog(state);
  if (!dialog.Open()) {
    ReportOutcome(ctx, dialog.result);
    // No GPS port named is a command line that lacks one; a port that does
    // not open is a receiver not reached, as it always exited.
    return state.ports.gpsPort == 0 ? kExitUsage : kExitNoLogger;
  }
  uint64_t printedSentences = 0, printedPositions = 0;
  // Prints what a list gained since `printed` (it keeps only the newest).
  const auto printNew = [&ctx](const std::deque<std::string>& list, uint64_t total, uint64_t& printed, bool trim) {
    const size_t fresh = static_cast<size_t>(std::min<uint64_t>(list.size(), total - printed));
    for (size_t i = list.size() - fresh; i < list.size(); ++i)
      ctx.out << (trim && !list[i].empty() && list[i][0] == ' ' ? list[i].substr(1) : list[i]) << "\n";
    printed = total;
    ctx.out.flush();
  };
  const int64_t end = state.clock.Milliseconds() + static_cast<int64_t>(seconds * 1000.0);
  const EndingSignals signals;
  while (state.clock.Milliseconds() < end && (count == 0 || printedPositions < static_cast<uint64_t>(count)) &&
         !dialog.Lost() && !EndRequested()) {
    const int64_t before = state.clock.Milliseconds();
    dialog.Step();
    if (sentences) printNew(dialog.Sentences(), dialog.Received(), printedSentences, false);
    uint64_t total = dialog.PositionCount();
    if (count > 0) total = std::min<uint64_t>(total, static_cast<uint64_t>(count));
    printNew(dialog.Positions(), total, printedPositions, true);
    // A read that came back at once (no GPS bytes pending) must not spin.
    if (state.clock.Milliseconds() - before < GpsTestDialog::kTickMs / 3) DelayMs(state, GpsTestDialog::kTickMs);
  }
  dialog.Close();
  ctx.err << dialog.CountsText() << "\n";
  if (dialog.Lost()) return kExitNoLogger;  // the message box said so
  if (printedPositions == 0) {
    ReportFailure(ctx, "No GPS position received");
    return kExitNoLogger;
  }
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"gps-test", "Listen to the GPS receiver and print each position",
                      "Usage: tmv-cli gps-test [--port PATH|COMn] [--baud B] [--seconds N] [--count N] [--sentences]\n\n"
                      "Opens the GPS port (the settings' GPS port unless --port is given) and prints\n"
                      "each position parsed from the NMEA GGA and GLL sentences, one line each:\n"
                      "\"4807.0380,N,01131.0000,E\" (latitude and longitude as ddmm.mmmm).\n"
                      "Sentences with a bad checksum are never taken. Ends after --seconds\n"
                      "(default 10), --count positions, Ctrl-C, SIGTERM or SIGHUP.\n\n"
                      "Exit status: 0 positions came; 2 no GPS port given or set; 4 the port could\n"
                      "not be opened, no position came, or the GPS went away.\n",
                      GpsTestCommand});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
