// Commands of the logger link: ports, identify, status, clock.
#include <CLI/CLI.hpp>

#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "deployment/Enabling.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "link/PortDevices.h"
#include "model/KnowLogger.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

int JsonOnly(CliContext& ctx, const std::string& name, bool& json) {
  auto parser = CommandParser(name, "Usage: tmv-cli [--port PATH|COMn] " + name + " [--json]");
  parser->add_flag("--json", json, "print one JSON object (see docs/json.md)");
  return ParseCommand(ctx, *parser);
}

int Identify(CliContext& ctx) {
  bool json = false;
  if (int rc = JsonOnly(ctx, "identify", json); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kConnect)) return rc;
  if (!json) {
    ctx.out << ConnectedText(ctx.state) << "\n";
    return kExitOk;
  }
  const LoggerInfo& l = ctx.state.logger;
  JsonWriter w;
  w.BeginObject();
  w.Key("model").String(l.model);
  w.Key("firmware_version").Number(l.firmwareVersion);
  w.Key("serial_number").Integer(l.serialNumber);
  w.Key("port").String(PortName(ctx.state, ctx.state.ports.loggerPort));
  w.Key("baud").Integer(l.baud);
  w.EndObject();
  ctx.out << w.Text() << "\n";
  return kExitOk;
}

int Status(CliContext& ctx) {
  bool json = false;
  if (int rc = JsonOnly(ctx, "status", json); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kShowLoggerStatus)) return rc;
  if (KnowLogger(ctx.state, kKnowStatus) != KnowResult::Known) return ReportNoAnswer(ctx);
  const int code = ctx.state.query.loggerStatus;
  if (!json) {
    ctx.out << LoggerStatusText(code) << "\n";
    return kExitOk;
  }
  JsonWriter w;
  w.BeginObject().Key("code").Integer(code).Key("text").String(LoggerStatusText(code)).EndObject();
  ctx.out << w.Text() << "\n";
  return kExitOk;
}

int ClockCommand(CliContext& ctx) {
  bool set = false;
  auto parser = CommandParser("clock", "Usage: tmv-cli [--port PATH|COMn] clock [--set]");
  parser->add_flag("--set", set, "set the logger's clock to the host's");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (set) {
    if (int rc = PassGate(ctx, cmd::kSetLoggerClock)) return rc;
    if (const Outcome set = SetLoggerClockToHost(ctx.state); !set.Ok()) return ReportOutcome(ctx, set);
    ctx.out << "Logger clock set: " << TimeToDisplayText(ctx.state.deployment.hostClockAtRead) << "\n";
    return kExitOk;
  }
  if (int rc = PassGate(ctx, cmd::kShowLoggerClock)) return rc;
  if (!CommGet(ctx.state, 1)) return ReportNoAnswer(ctx);
  ctx.out << TimeToDisplayText(ParseTimeReply(ctx.state.reply.Bytes())) << "\n";
  return kExitOk;
}

// The serial devices, each with the COM number --port also takes for it.
int Ports(CliContext& ctx) {
  bool json = false;
  if (int rc = JsonOnly(ctx, "ports", json); rc != kParsed) return rc;
  const std::vector<PortDevice> ports = DescribePorts(ctx.state);
  if (ports.empty()) {
    ctx.err << "No serial device could be opened.\n";
    return kExitNoLogger;
  }
  if (json) {
    JsonWriter w;
    w.BeginObject().Key("ports").BeginArray();
    for (const PortDevice& p : ports) {
      w.BeginObject();
      w.Key("port").String(Format("COM%d", p.port));
      w.Key("device").String(p.device.path);
      w.Key("by_id").String(p.device.byId);
      w.Key("description").String(p.device.description);
      w.EndObject();
    }
    w.EndArray().EndObject();
    ctx.out << w.Text() << "\n";
    return kExitOk;
  }
  for (const PortDevice& p : ports) {
    ctx.out << Format("COM%-3d", p.port) << SerialDeviceText(p.device) << "\n";
    if (!p.device.byId.empty()) ctx.out << "       " << p.device.byId << "\n";
  }
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"ports", "List the serial devices, each with its COM number",
                      "Usage: tmv-cli [--port PATH|COMn] ports [--json]\n\n"
                      "Prints each serial device that can be opened: the COM number --port\n"
                      "takes for it, the device, the USB adapter's description and its\n"
                      "stable /dev/serial/by-id name.\n",
                      Ports});
  RegisterCliCommand({"identify", "Connect and show the logger's model, firmware version and serial number",
                      "Usage: tmv-cli [--port PATH|COMn] identify [--json]\n\n"
                      "Wakes the logger at each baud rate in turn and prints\n"
                      "\"TMV Data Logger: MODEL VERSION SERIAL connected on PORT at BAUD baud.\"\n",
                      Identify});
  RegisterCliCommand({"status", "Show the logger's status (e.g. \"Logging\")",
                      "Usage: tmv-cli [--port PATH|COMn] status [--json]\n\n"
                      "Prints one of: Not Enabled, Enabled, Logging, Thresholding enabled,\n"
                      "Logging Complete, Logging Suspended, Profiling Active, Memory Error,\n"
                      "Logging Stopped by User.\n",
                      Status});
  RegisterCliCommand({"clock", "Show the logger's clock, or set it to the host's (--set)",
                      "Usage: tmv-cli [--port PATH|COMn] clock [--set]\n\n"
                      "Prints the logger's date and time, e.g. \"2010/Jun/07 15:30:00\".\n"
                      "With --set synchronises the logger's clock with the host's and prints\n"
                      "the clock read back. The logger must not be logging.\n",
                      ClockCommand});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
