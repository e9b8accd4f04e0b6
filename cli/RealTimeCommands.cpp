// Real-time collection from the command line: the same step functions as the
// desktop's fast tick, in a loop, until a record count, a duration or Ctrl-C.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "ConsoleUserInterface.h"
#include "files/WorkFiles.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/KnowLogger.h"
#include "retrieval/RealTime.h"
#include "shell/AppState.h"

namespace tmv::cli {

namespace {

// Set by SIGINT: the loop ends at its next turn and the files are completed.
// A signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

// COMn, or a device path placed after the probed devices.
bool ChooseGpsPort(AppState& state, const std::string& port) {
  if (port.size() > 3 && (port.rfind("COM", 0) == 0 || port.rfind("com", 0) == 0)) {
    const int n = std::atoi(port.c_str() + 3);
    if (n < 1 || n > 16) return false;
    state.ports.gpsPort = n;
    return true;
  }
  auto& devices = state.ports.devices;
  if (devices.size() >= 16) return false;
  devices.push_back(port);
  state.ports.gpsPort = static_cast<int>(devices.size());
  state.ports.portPresent[static_cast<size_t>(state.ports.gpsPort)] = true;
  return true;
}

int RealTime(CliContext& ctx) {
  auto parser = CommandParser("realtime",
                              "tmv-cli realtime [-o FILE.hex] [--gps PORT] [--duration SECONDS | --records N]\n"
                              "Collects the records a logging logger sends for every sample (set up with\n"
                              "'setup --realtime binary' or 'engineering'), writes the real-time HEX file\n"
                              "(and a .gps file of positions) and ends cleanly on Ctrl-C.");
  std::string output, gps;
  double duration = 0;
  long records = 0;
  parser->add_option("-o,--output", output, "the real-time HEX file (default hex/NNNNNNRealtime.hex)");
  parser->add_option("--gps", gps, "the GPS receiver's port (COMn or a device path)");
  auto* d = parser->add_option("--duration", duration, "stop after this many seconds")->check(CLI::PositiveNumber);
  auto* r = parser->add_option("--records", records, "stop after this many records")->check(CLI::PositiveNumber);
  d->excludes(r);
  if (const int parsed = ParseCommand(ctx, *parser); parsed != kParsed) return parsed;
  AppState& state = ctx.state;
  auto* console = dynamic_cast<ConsoleUserInterface*>(&state.ui);

  // The logger: who it is, its channels and calibration, what it was told to
  // send and the deployment that heads the file (period, clocks, status).
  const KnowResult known = KnowLogger(state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration |
                                                 kKnowCalibration | kKnowStatus | kKnowDeployment);
  if (known == KnowResult::NoLogger) return ReportNoAnswer(ctx);
  if (known != KnowResult::Known && known != KnowResult::CalibrationUnreadable) return ReportFailure(ctx, state.statusText);
  if (!state.deployment.realTimeOutput)
    return ReportFailure(ctx, "The logger is not set to send real-time data (see: setup --realtime).");
  if (!gps.empty() && !ChooseGpsPort(state, gps)) return UsageError(ctx, "bad GPS port '" + gps + "'");

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
  if (StartRealTime(state) != 1) return kExitFailure;
  ctx.err << "Collecting real-time data into " << state.realTime.filePath << (terminal ? " (Ctrl-C ends)" : "") << "\n";

  interrupted = 0;
  struct sigaction action {}, previous {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous);
  const int64_t started = state.clock.Milliseconds();
  while (!interrupted) {
    const int64_t tickStart = state.clock.Milliseconds();
    RealTimeTick(state);
    const RealTimeState& rt = state.realTime;
    if (records > 0 && rt.readingsShown + rt.bursts >= records) break;
    if (duration > 0 && state.clock.Milliseconds() - started >= static_cast<int64_t>(duration * 1000)) break;
    const int64_t left = rt.tickPeriodMs - (state.clock.Milliseconds() - tickStart);
    if (left > 0) state.clock.DelayMs(static_cast<int>(left));
  }
  sigaction(SIGINT, &previous, nullptr);

  const RealTimeState& rt = state.realTime;
  const int readBack = EndRealTime(state);
  ctx.out << "Real-time: " << rt.readingsShown << " rows, " << rt.bursts << " burst pairs; " << rt.counters.droppedBytes
          << " junk bytes dropped, " << rt.counters.badChecksums << " bad records rejected\n";
  ctx.out << (rt.asciiCard ? "DAT file: " : "HEX file: ") << rt.filePath;
  if (!rt.asciiCard) ctx.out << " (" << rt.fileBytes << " bytes of data)";
  ctx.out << "\n";
  if (rt.gpsOpen) ctx.out << "GPS file: " << rt.gpsPath << "\n";
  if (!rt.asciiCard && readBack != 1 && rt.readingsShown + rt.bursts > 0)
    return ReportFailure(ctx, "The real-time file could not be read back.");
  return kExitOk;
}

const bool registered = RegisterCliCommand(
    {"realtime", "Collect the real-time records of a logging logger into a HEX file", "", RealTime});

}  // namespace

}  // namespace tmv::cli
