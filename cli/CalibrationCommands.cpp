// Commands of the calibration coefficients: show, history, set.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/CalibrationDialog.h"
#include "model/CalibrationHistory.h"
#include "model/Capabilities.h"
#include "model/ChannelTypes.h"
#include "model/ConfigTable.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

void PrintCoefficients(CliContext& ctx) {
  const AppState& state = ctx.state;
  for (int ch = 0; ch < state.logger.channelCount && ch < kMaxChannels; ++ch) {
    const auto& c = state.calibration.coefficients[static_cast<size_t>(ch)];
    ctx.out << Format("%-24s %.15f %.15f %.15f %.15f", ChannelLabel(state.logger, ch).c_str(), c[0], c[1], c[2], c[3])
            << "\n";
  }
  if (state.logger.microchipLogger && state.logger.conductivityMilliSiemens) {
    const ConductivityCorrection& cc = state.calibration.conductivityCorrection;
    ctx.out << Format("Conductivity correction: a=%.15f b=%.15f Tc=%.15f c=%.15f", cc.a, cc.b, cc.tc, cc.c) << "\n";
  }
}

int NoArguments(CliContext& ctx, const std::string& name) {
  auto parser = CommandParser(name, "Usage: tmv-cli [--port PATH|COMn] " + name);
  return ParseCommand(ctx, *parser);
}

void PrintCoefficientsJson(CliContext& ctx) {
  const AppState& state = ctx.state;
  JsonWriter w;
  w.BeginObject();
  w.Key("calibrated").Bool(state.calibration.origin == CalibrationOrigin::Read);
  w.Key("channels").BeginArray();
  for (int ch = 0; ch < state.logger.channelCount && ch < kMaxChannels; ++ch) {
    const auto& c = state.calibration.coefficients[static_cast<size_t>(ch)];
    ChannelKeys(w.BeginObject(), state.logger, ch);
    w.Key("coefficients").BeginArray();
    for (double v : c) w.Number(v);
    w.EndArray().EndObject();
  }
  w.EndArray();
  w.Key("conductivity_correction");
  if (state.logger.microchipLogger && state.logger.conductivityMilliSiemens) {
    const ConductivityCorrection& cc = state.calibration.conductivityCorrection;
    w.BeginObject().Key("a").Number(cc.a).Key("b").Number(cc.b).Key("tc").Number(cc.tc).Key("c").Number(cc.c);
    w.EndObject();
  } else {
    w.Null();
  }
  w.EndObject();
  ctx.out << w.Text() << "\n";
}

int ShowCalibration(CliContext& ctx) {
  bool json = false;
  auto parser = CommandParser("calibration", "Usage: tmv-cli [--port PATH|COMn] calibration [--json]");
  parser->add_flag("--json", json, "print one JSON object (see docs/json.md)");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kCalibration)) return rc;
  switch (ctx.state.calibration.origin) {
    case CalibrationOrigin::Unreadable:
    case CalibrationOrigin::NotRead: return ReportFailure(ctx, ctx.state.statusText);
    case CalibrationOrigin::NotCalibrated: ctx.err << ctx.state.statusText << "\n"; break;
    case CalibrationOrigin::Read: break;
  }
  if (json) {
    PrintCoefficientsJson(ctx);
    return kExitOk;
  }
  PrintCoefficients(ctx);
  return kExitOk;
}

int History(CliContext& ctx) {
  if (int rc = NoArguments(ctx, "calibration history"); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kCalibrationHistory)) return rc;
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  const std::string here = ec ? std::string(".") : cwd.string();
  const CalibrationHistory history = WriteCalibrationHistory(ctx.state, here);
  if (history.result != 1) return ReportFailure(ctx, ctx.state.statusText);
  for (const auto& line : history.lines) ctx.out << line << "\n";
  ctx.err << ctx.state.statusText << "\n";
  return kExitOk;
}

int SetCalibrationCommand(CliContext& ctx) {
  // Every argument is checked before the logger is touched.
  int channel = 0;
  std::vector<std::string> values;
  auto parser = CommandParser("calibration set",
                              "Usage: tmv-cli [--port PATH|COMn] [--yes] calibration set --channel N C0 C1 C2 C3");
  parser->add_option("--channel", channel, "the channel, from 1")->required()->check(CLI::Range(1, kMaxChannels));
  parser->add_option("coefficients", values, "C0 C1 C2 C3")->expected(0, -1);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  for (const auto& a : values) {
    double v = 0.0;
    if (!ParseCoefficient(a, v)) return UsageError(ctx, "'" + a + "' is not a number");
  }
  if (values.size() != 4) return UsageError(ctx, "four coefficients C0 C1 C2 C3 are required");

  if (int rc = PassGate(ctx, cmd::kCalibration)) return rc;
  AppState& state = ctx.state;
  if (channel > state.logger.channelCount)
    return ReportFailure(ctx, Format("The logger has %d channels.", state.logger.channelCount));
  if (CommGet(state, 9) != 1) return ReportNoAnswer(ctx);
  // The calibration dialog decides, as it does for a user: the channel is
  // scrolled into view, its four fields typed in, "Set calibration" pressed.
  CalibrationDialogModel dialog(state, state.query.loggerStatus);
  if (dialog.Logging())
    return ReportFailure(ctx, Format("%s: Stop from 'Setup'", LoggerStatusText(state.query.loggerStatus)));
  dialog.OnScroll(CalibrationDialogModel::Scroll::Thumb,
                  std::min(static_cast<int>(channel), dialog.ScrollMaximum()));
  int row = 0;
  while (row < CalibrationDialogModel::kVisibleRows - 1 && dialog.RowChannel(row) != channel - 1) ++row;
  for (int k = 0; k < 4; ++k) dialog.SetFieldText(row, k, values[static_cast<size_t>(k)]);
  if (dialog.SetCalibration() != 1) {
    if (dialog.Unreadable()) return kExitFailure;  // its message went to standard error
    ctx.err << "Not written (answer Yes with --yes).\n";
    return kExitFailure;
  }
  if (WriteCalibration(state) != 1) return ReportFailure(ctx, state.statusText);
  PrintCoefficients(ctx);
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"calibration", "Show the calibration coefficients of every channel",
                      "Usage: tmv-cli [--port PATH|COMn] calibration\n\n"
                      "Prints each channel's label and its coefficients c0 c1 c2 c3\n"
                      "(value = c0 + c1*x + c2*x^2 + c3*x^3, x = raw / 2^24; thermistor\n"
                      "channels use the Steinhart-Hart form), and the conductivity\n"
                      "correction coefficients a, b, Tc, c when the logger keeps them.\n",
                      ShowCalibration});
  RegisterCliCommand({"calibration history", "Write the calibration history file and show it",
                      "Usage: tmv-cli [--port PATH|COMn] calibration history\n\n"
                      "Lists every calibration record the logger holds into SERIAL.K.his in\n"
                      "the current directory (K is the first free number) and prints it.\n",
                      History});
  RegisterCliCommand({"calibration set", "Write one channel's coefficients and verify them",
                      "Usage: tmv-cli [--port PATH|COMn] [--yes] calibration set --channel N C0 C1 C2 C3\n\n"
                      "Replaces the coefficients of channel N (1-based), writes the calibration\n"
                      "to the logger and verifies it. Asks \"Are you sure you wish to load these\n"
                      "constants?\" first; without --yes the answer is No and nothing is written.\n"
                      "The logger must not be logging.\n",
                      SetCalibrationCommand});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
