// Real-time collection from the command line: the same step functions as the
// desktop's fast tick, in a loop, until a record count, a duration, Ctrl-C,
// a termination signal or the loss of the logger's port.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "ConsoleUserInterface.h"
#include "files/WorkFiles.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/KnowLogger.h"
#include "files/HexFile.h"
#include "retrieval/RealTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv::cli {

namespace {

// The same device under two names (a link, "/dev/./pts/3") is the same port.
bool SameDevice(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && (a == b || std::filesystem::equivalent(a, b, ec));
}

// COMn, or a device path placed after the probed devices. An empty text when
// chosen; otherwise why not.
std::string ChooseGpsPort(AppState& state, const std::string& port) {
  if (port.size() > 3 && (port.rfind("COM", 0) == 0 || port.rfind("com", 0) == 0)) {
    const int n = std::atoi(port.c_str() + 3);
    if (n < 1 || n > 16) return "bad GPS port '" + port + "' (COM1 to COM16, or a device path)";
    state.ports.gpsPort = n;
  } else {
    auto& devices = state.ports.devices;
    if (devices.size() >= 16) return "no COM number is free for the GPS port '" + port + "'";
    devices.push_back(port);
    state.ports.gpsPort = static_cast<int>(devices.size());
    state.ports.portPresent[static_cast<size_t>(state.ports.gpsPort)] = true;
  }
  if (state.ports.gpsPort == state.ports.loggerPort ||
      SameDevice(DeviceForPort(state, state.ports.gpsPort), DeviceForPort(state, state.ports.loggerPort)))
    return "the GPS port '" + port + "' is the logger's own port";
  return {};
}

int RealTime(CliContext& ctx) {
  auto parser = CommandParser(
      "realtime",
      "Usage: tmv-cli realtime [-o FILE.hex] [--gps PORT] [--duration SECONDS | --records N]\n"
      "                        [--stop-transmission] [--default-calibration]\n\n"
      "Collects the records a logging logger sends for every sample (set up with\n"
      "'setup --realtime binary' or 'engineering'), writes the real-time HEX file\n"
      "(and a .gps file of positions, from --gps or the GPS port of tmv.ini) and ends\n"
      "cleanly on Ctrl-C, SIGTERM or SIGHUP. A logger sending binary records goes on\n"
      "transmitting afterwards unless --stop-transmission is given (one sending\n"
      "engineering units is left as it is). Every value depends on the logger's\n"
      "calibration: when it cannot be read, nothing is collected unless\n"
      "--default-calibration accepts the default coefficients.\n\n"
      "Exit status: 0 collected; 1 failed (a file, the GPS port); 2 usage error;\n"
      "3 collected, but the GPS went away and positions were lost; 4 no logger, its\n"
      "calibration or status could not be read, or its port went away (what came is\n"
      "saved); 5 the logger is not set to send real-time data.");
  std::string output, gps;
  double duration = 0;
  long records = 0;
  bool stopTransmission = false, defaultCalibration = false;
  parser->add_option("-o,--output", output, "the real-time HEX file (default hex/NNNNNNRealtime.hex)");
  parser->add_option("--gps", gps, "the GPS receiver's port (COMn or a device path)");
  auto* d = parser->add_option("--duration", duration, "stop after this many seconds")->check(CLI::PositiveNumber);
  auto* r = parser->add_option("--records", records, "stop after this many records")->check(CLI::PositiveNumber);
  d->excludes(r);
  parser->add_flag("--stop-transmission", stopTransmission, "tell the logger to stop transmitting at the end");
  parser->add_flag("--default-calibration", defaultCalibration,
                   "collect with the default coefficients when the calibration cannot be read");
  if (const int parsed = ParseCommand(ctx, *parser); parsed != kParsed) return parsed;
  AppState& state = ctx.state;
  auto* console = dynamic_cast<ConsoleUserInterface*>(&state.ui);
  if (!gps.empty())
    if (const std::string problem = ChooseGpsPort(state, gps); !problem.empty()) return UsageError(ctx, problem);

  // The logger: who it is, its channels and calibration, what it was told to
  // send and the deployment that heads the file (period, clocks, status),
  // read afresh as for every operation.
  ForgetLoggerState(state);
  const KnowResult known = KnowLogger(state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration |
                                                 kKnowCalibration | kKnowStatus | kKnowDeployment);
  if (known == KnowResult::NoLogger) return ReportNoAnswer(ctx);
  if (known != KnowResult::Known && known != KnowResult::CalibrationUnreadable) {
    ReportFailure(ctx, state.statusText);
    return kExitNoLogger;
  }
  if (state.logger.startCharacteristicStale) {
    ReportFailure(ctx, "The logger did not answer the query of its real-time setting (records it sends may "
                       "disturb the reply); try again.");
    return kExitNoLogger;
  }
  if (!state.deployment.realTimeOutput) {
    ReportFailure(ctx, "The logger is not set to send real-time data (see: setup --realtime).");
    return kExitRefused;
  }
  if (state.ports.gpsPort != 0) {
    // Checked before anything is written: a GPS that cannot be opened would
    // leave the collection without positions.
    const bool open = state.gpsLink.IsOpen() || OpenGpsLink(state) == 1;
    if (!open)
      return ReportFailure(ctx, "Unable to open the GPS port " +
                                    (gps.empty() ? PortName(state, state.ports.gpsPort) + " (tmv.ini)" : gps) + ".");
  }

  // The files.
  std::error_code ec;
  std::filesystem::create_directories(state.directories.hexOutput.empty() ? WorkPath(state, "hex") : state.directories.hexOutput, ec);
  std::filesystem::create_directories(state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat, ec);
  if (console != nullptr) {
    console->fileAnswers.clear();
    if (!output.empty()) console->fileAnswers.push_back(output);
  }
  if (output.empty()) {
    // The proposed name, as the file dialog would offer it.
    char name[40];
    std::snprintf(name, sizeof name, IsAsciiSerialCardLogger(state) ? "%06dRealtime.dat" : "%06dRealtime.hex",
                  state.logger.serialNumber);
    const std::string dir = IsAsciiSerialCardLogger(state)
                                ? (state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat)
                                : (state.directories.hexOutput.empty() ? WorkPath(state, "hex") : state.directories.hexOutput);
    if (console != nullptr) console->fileAnswers.push_back(dir + "/" + name);
  }
  if (ChooseRealTimeFiles(state) != 1) return ReportFailure(ctx, "Not collected: the file exists (--yes overwrites it).");

  const bool terminal = isatty(1) != 0;
  state.realTime.rowShown = [&](const std::string& row) {
    if (terminal) ctx.out << row << "\n" << std::flush;
  };
  state.realTime.calibrationChoice = defaultCalibration ? CalibrationChoice::UseDefaults : CalibrationChoice::Refuse;
  // From the file's creation until its byte count is patched, the ending
  // signals end the collection as Ctrl-C does instead of the tool.
  const EndingSignals signals;
  if (StartRealTime(state) != 1) {
    if (state.realTime.refusal.Ok()) return ReportFailure(ctx, "Not collected.");
    const int rc = ReportOutcome(ctx, state.realTime.refusal);
    if (state.calibration.origin == CalibrationOrigin::Unreadable)
      ctx.err << "(--default-calibration collects with the default coefficients.)\n";
    return rc;
  }
  ctx.err << "Collecting real-time data into " << state.realTime.filePath << (terminal ? " (Ctrl-C ends)" : "") << "\n";

  const int64_t started = state.clock.Milliseconds();
  while (!EndRequested()) {
    const int64_t tickStart = state.clock.Milliseconds();
    RealTimeTick(state);
    const RealTimeState& rt = state.realTime;
    if (rt.linkLost) break;
    if (records > 0 && rt.readingsShown + rt.bursts >= records) break;
    if (duration > 0 && state.clock.Milliseconds() - started >= static_cast<int64_t>(duration * 1000)) break;
    const int64_t left = rt.tickPeriodMs - (state.clock.Milliseconds() - tickStart);
    if (left > 0) state.clock.DelayMs(static_cast<int>(left));
  }

  const RealTimeState& rt = state.realTime;
  if (EndAsksAboutTransmission(state))
    ctx.err << EndTransmissionQuestion(state).text << " -> " << Tr(state, stopTransmission ? "Stop transmission" : "Allow transmission to continue") << "\n";
  const Outcome readBack = EndRealTime(state, stopTransmission);
  ctx.out << "Real-time: " << rt.readingsShown << " rows, " << rt.bursts << " burst pairs; " << rt.counters.droppedBytes
          << " junk bytes dropped, " << rt.counters.badChecksums << " bad records rejected\n";
  ctx.out << (rt.asciiCard ? "DAT file: " : "HEX file: ") << rt.filePath;
  if (!rt.asciiCard) ctx.out << " (" << rt.fileBytes << " bytes of data)";
  ctx.out << "\n";
  if (rt.gpsOpen || rt.gpsLost) ctx.out << "GPS file: " << rt.gpsPath << "\n";
  if (!WasRead(readBack) && rt.readingsShown + rt.bursts > 0) {
    ReportOutcome(ctx, readBack);
    return ReportFailure(ctx, "The real-time file could not be read back.");
  }
  if (readBack.kind == OutcomeKind::Partial) ReportOutcome(ctx, readBack);
  if (rt.linkLost) return kExitNoLogger;  // the message box said so
  if (rt.gpsLost) return kExitPartial;
  return kExitOk;
}

const bool registered = RegisterCliCommand(
    {"realtime", "Collect the real-time records of a logging logger into a HEX file", "", RealTime});

}  // namespace

}  // namespace tmv::cli
