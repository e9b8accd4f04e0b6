// Commands of the logger model: capabilities, configuration, latency and the
// default baud rate.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "model/CapabilitiesDialogs.h"
#include "model/ChannelTypes.h"
#include "model/ConfigTable.h"
#include "model/LatencyDialog.h"
#include "model/RangeSwitching.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

// The command's one optional argument into value (empty: not given).
int OptionalArgument(CliContext& ctx, const std::string& name, const std::string& argument, std::string& value) {
  auto parser = CommandParser(name, "Usage: tmv-cli [--port PATH|COMn] " + name + " [" + argument + "]");
  parser->add_option(argument, value);
  const int rc = ParseCommand(ctx, *parser);
  ctx.args = value.empty() ? std::vector<std::string>{} : std::vector<std::string>{value};
  return rc;
}

bool ParseNumber(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && end != text.c_str() && *end == '\0';
}

int JsonOnly(CliContext& ctx, const std::string& name, bool& json) {
  auto parser = CommandParser(name, "Usage: tmv-cli [--port PATH|COMn] " + name + " [--json]");
  parser->add_flag("--json", json, "print one JSON object (see docs/json.md)");
  return ParseCommand(ctx, *parser);
}

int Capabilities(CliContext& ctx) {
  bool json = false;
  if (int rc = JsonOnly(ctx, "capabilities", json); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kCurrentCapabilities)) return rc;
  CurrentCapabilitiesDialog dialog;
  dialog.Open(ctx.state);
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("description").String(dialog.statusText);
    w.Key("capabilities").BeginObject();
    for (const auto& [label, ticked] : dialog.listing.boxes) w.Key(SnakeCase(label)).Bool(ticked);
    w.EndObject();
    w.Key("texts").BeginArray();
    for (const auto& text : dialog.listing.texts) w.String(text);
    w.EndArray();
    w.EndObject();
    ctx.out << w.Text() << "\n";
    return ReportOutcome(ctx, dialog.result);
  }
  ctx.out << dialog.statusText << "\n";
  for (const auto& line : dialog.Lines()) ctx.out << line << "\n";
  return ReportOutcome(ctx, dialog.result);
}

int Config(CliContext& ctx) {
  bool json = false;
  if (int rc = JsonOnly(ctx, "config", json); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kShowConfiguration)) return rc;
  LoggerInfo& info = ctx.state.logger;
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("channel_count").Integer(info.channelCount);
    w.Key("channels").BeginArray();
    for (int ch = 0; ch < info.channelCount && ch < kMaxChannels; ++ch)
      ChannelKeys(w.BeginObject(), info, ch).EndObject();
    w.EndArray();
    w.Key("latency_ms").Integer(info.latencyMs);
    w.Key("reading_time_ms").Integer(info.readingTimeMs);
    w.Key("range_switching").BeginArray();
    for (const auto& line : ListRangeSwitching(info)) w.String(line);
    w.EndArray();
    w.EndObject();
    ctx.out << w.Text() << "\n";
    return kExitOk;
  }
  ctx.out << Format("Number of channels of data: %d", info.channelCount) << "\n";
  for (int ch = 0; ch < info.channelCount && ch < kMaxChannels; ++ch)
    ctx.out << ChannelLabel(info, ch) << " (" << ChannelUnit(info, ch) << ")\n";
  ctx.out << Format("Latency: %d ms", info.latencyMs) << "\n";
  ctx.out << Format("Readingtime: %d ms", info.readingTimeMs) << "\n";
  for (const auto& line : ListRangeSwitching(info)) ctx.out << line << "\n";
  return kExitOk;
}

int Latency(CliContext& ctx) {
  std::string ms;
  if (int rc = OptionalArgument(ctx, "latency", "MS", ms); rc != kParsed) return rc;
  AppState& state = ctx.state;
  if (ctx.args.empty()) {
    // Showing needs only the configuration, which older loggers keep in memory too.
    if (int rc = PassGate(ctx, cmd::kShowConfiguration)) return rc;
    ctx.out << Format("Latency: %d ms", state.logger.latencyMs) << "\n";
    return kExitOk;
  }
  if (int rc = PassGate(ctx, cmd::kSetLatency)) return rc;
  LatencyDialog dialog;
  if (!dialog.Open(state)) return ReportOutcome(ctx, dialog.result);
  dialog.field = ctx.args[0];
  if (!dialog.Ok(state)) return ReportOutcome(ctx, dialog.result);
  ctx.out << state.statusText << "\n";
  return kExitOk;
}

int DefaultBaud(CliContext& ctx) {
  std::string rate;
  if (int rc = OptionalArgument(ctx, "default-baud", "RATE", rate); rc != kParsed) return rc;
  long wanted = 0;
  if (!ctx.args.empty() && !ParseNumber(ctx.args[0], wanted))
    return UsageError(ctx, "the rate must be a number, e.g. 9600");
  if (int rc = PassGate(ctx, cmd::kSetDefaultBaud)) return rc;
  AppState& state = ctx.state;
  DefaultBaudDialog dialog;
  if (!dialog.Open(state)) return ReportOutcome(ctx, dialog.result);
  if (ctx.args.empty()) {
    if (dialog.currentDefault == 0) return ReportFailure(ctx, state.statusText);
    ctx.out << Format("Default baud rate: %d baud", dialog.currentDefault) << "\n";
    return kExitOk;
  }
  int index = -1;
  for (size_t i = 0; i < dialog.rates.size(); ++i)
    if (dialog.rates[i] == wanted) index = static_cast<int>(i);
  if (index < 0) {
    std::string offered;
    for (const auto& text : dialog.rateTexts) offered += (offered.empty() ? "" : ", ") + text;
    return UsageError(ctx, "this logger offers the default rates " + offered);
  }
  dialog.Select(index);
  if (!dialog.Ok(state)) return kExitFailure;  // the failure box went to standard error
  ctx.out << Format("Default baud rate: %d baud", dialog.currentDefault) << "\n";
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"capabilities", "Show what the logger can do (the \"Current Capabilities\" listing)",
                      "Usage: tmv-cli [--port PATH|COMn] capabilities [--json]\n\n"
                      "Prints the logger description, the capabilities the logger has\n"
                      "(e.g. \"Averaging\", \"Microchip logger\") and the capability texts\n"
                      "(memory, baud rates, RS commands, channels, latency, channel types).\n",
                      Capabilities});
  RegisterCliCommand({"config", "Show the configuration table: channels, latency, reading time, range switching",
                      "Usage: tmv-cli [--port PATH|COMn] config [--json]\n\n"
                      "Prints the channel count, each channel's label and unit, the latency,\n"
                      "the reading time and the range-switching listing.\n",
                      Config});
  RegisterCliCommand({"latency", "Show the latency, or write a new one to the configuration table",
                      "Usage: tmv-cli [--port PATH|COMn] latency [MS]\n\n"
                      "Without MS prints \"Latency: N ms\". With MS writes the latency (in\n"
                      "milliseconds, stored in tens) to the logger's configuration table and\n"
                      "reads it back to verify it.\n",
                      Latency});
  RegisterCliCommand({"default-baud", "Show the logger's default baud rate, or set it",
                      "Usage: tmv-cli [--port PATH|COMn] default-baud [RATE]\n\n"
                      "Without RATE prints \"Default baud rate: N baud\". With RATE (one of the\n"
                      "rates the logger offers, from its minimum up to 19200) writes the new\n"
                      "default, switches the logger to it and reconnects at that rate.\n",
                      DefaultBaud});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
