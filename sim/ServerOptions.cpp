// The command line of tmv-logger-sim: every value is checked, and nothing
// unknown is served as something else.
#include "sim/ServerOptions.h"

#include <algorithm>
#include <cstdlib>

namespace tmv::sim {
namespace {

// A whole decimal number of at most nine digits, or -1.
long Number(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  for (char c : text)
    if (c < '0' || c > '9') return -1;
  return std::atol(text.c_str());
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
  return out;
}

bool ParseFaults(const std::string& list, Faults& f, std::string& error) {
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(',', pos);
    if (comma == std::string::npos) comma = list.size();
    const std::string item = list.substr(pos, comma - pos);
    pos = comma + 1;
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    const std::string name = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    const long number = value.empty() ? 0 : Number(value);
    const bool numeric = name != "nak";
    if (numeric && number < 0) {
      error = "bad value in fault '" + item + "'";
      return false;
    }
    const int n = static_cast<int>(number);
    if (name == "silent") f.silent = true;
    else if (name == "junk") f.junkBeforeReply = value.empty() ? 3 : n;
    else if (name == "split") { f.splitReplies = true; if (!value.empty()) f.splitDelayMs = n; }
    else if (name == "late") f.lateReplyMs = value.empty() ? 500 : n;
    else if (name == "badsum") f.badChecksum = true;
    else if (name == "nak") { f.nakWrites = true; f.nakCode = value; }
    else if (name == "naktable") f.nakTable = n;
    else if (name == "erasefail") f.eraseFails = true;
    else if (name == "remaining") f.remaining = n;
    else if (name == "badblock") f.badBlockPercent = value.empty() ? 10 : std::min(n, 100);
    else if (name == "dropblock") f.dropBlockPercent = value.empty() ? 10 : std::min(n, 100);
    else if (name == "silence") f.silenceOnceMs = value.empty() ? 6000 : n;
    else if (name == "silenceat") f.silenceAfterReads = n;
    else if (name == "cardsilent") f.cardSilent = true;
    else if (name == "cardoverclaim") f.cardOverclaim = value.empty() ? 3 : n;
    else {
      error = "unknown fault '" + name + "'";
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<int>& ServedBaudRates() {
  static const std::vector<int> kRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return kRates;
}

std::string ServerUsage() {
  return "Usage: tmv-logger-sim [--model NAME] [--baud N] [--faults LIST] [--serial N] [--record ROWS]\n"
         "                      [--reply-latency MS] [--time-scale N] [--pace | --no-pace]\n"
         "                      [--drop CMD] [--ignore CMD] [--garble CMD] [--slow CMD:MS]\n"
         "                      [--bench-salinity S] [--bench-temperature T]\n"
         "Serves an emulated TMV data logger on a pseudo-terminal and prints the\n"
         "terminal's path as the first line of output. Ends on SIGTERM or SIGINT.\n"
         "  --model NAME   logger model: " + Join(ProfileNames()) + "\n"
         "                 (default QN-760); an unknown name is refused\n"
         "  --baud N       the rate the logger hears and answers at: 1200, 2400, 4800,\n"
         "                 9600, 19200 (default), 38400, 57600 or 115200\n"
         "  --faults LIST  comma-separated: silent, junk[=N], split[=MS], late[=MS], badsum,\n"
         "                 nak[=CODE], naktable=N, erasefail, remaining=N; for downloads: badblock[=PCT]\n"
         "                 (that share of memory-read replies with a wrong sum, default 10),\n"
         "                 dropblock[=PCT] (that share never sent), silence[=MS] (deaf that\n"
         "                 long once, default 6000, at memory read silenceat=N, default 3);\n"
         "                 for the memory card: cardsilent (its queries go unanswered),\n"
         "                 cardoverclaim[=N] (the last file named is N beyond the files\n"
         "                 on the card, default 3)\n"
         "  --drop CMD     the logger never hears the command CMD (named by its first\n"
         "                 characters, e.g. '!R'); --ignore CMD: it hears it and does\n"
         "                 nothing; --garble CMD: it answers it with a character of\n"
         "                 the reply changed; --slow CMD:MS: it answers it MS\n"
         "                 milliseconds late\n"
         "                 (each may be given more than once)\n"
         "  --pace         replies go out at the line rate of the current baud, 10 bits\n"
         "                 a byte, as over a real cable (the default); --no-pace sends\n"
         "                 them as fast as the terminal takes them\n"
         "  --reply-latency MS  the logger's own time from a command to its reply\n"
         "                 (default 2 ms)\n"
         "  --time-scale N the logger's clock runs N times faster than real time, so\n"
         "                 a deployment of months logs in seconds (default 1)\n"
         "  --rt-junk RATE, --rt-drop RATE, --rt-break RATE  real-time line noise: that\n"
         "                 share (0 to 1) of records come after junk bytes, lose one byte,\n"
         "                 or break off part-way; --rt-seed N fixes which (default 12345)\n"
         "  --serial N     serial number\n"
         "  --bench-salinity S  a VL-840 micro-salinometer with a sample of salinity S\n"
         "                 (PSS-78) in its sample cell and standard seawater in the other\n"
         "  --bench-temperature T  the bath temperature of that bench (default 24 degC)\n"
         "  --record ROWS  start with a finished deployment of ROWS samples in memory\n"
         "  --help         this text; --version: the emulator's version\n";
}

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, std::string& error) {
  std::string model = "QN-760";
  long baud = 0, serial = -1, latency = -1;
  Profile::Bench bench;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    }
    if (arg == "--version") {
      options.version = true;
      return true;
    }
    if (arg == "--pace" || arg == "--no-pace") {
      options.paced = arg == "--pace";
      continue;
    }
    const bool valued = arg == "--model" || arg == "--baud" || arg == "--serial" || arg == "--record" ||
                        arg == "--faults" || arg == "--reply-latency" || arg == "--time-scale" ||
                        arg == "--bench-salinity" || arg == "--bench-temperature" || arg == "--rt-junk" ||
                        arg == "--rt-drop" || arg == "--rt-break" || arg == "--rt-seed" || arg == "--drop" ||
                        arg == "--ignore" || arg == "--garble" || arg == "--slow";
    if (!valued) {
      error = "bad argument '" + arg + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      error = "'" + arg + "' needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (arg == "--rt-junk" || arg == "--rt-drop" || arg == "--rt-break") {
      char* end = nullptr;
      const double rate = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) {
        error = "bad rate '" + value + "' for " + arg + " (0 to 1)";
        return false;
      }
      (arg == "--rt-junk" ? options.faults.rtJunkRate : arg == "--rt-drop" ? options.faults.rtDropRate
                                                                            : options.faults.rtBreakRate) = rate;
      const Faults& f = options.faults;
      if (f.rtJunkRate + f.rtDropRate + f.rtBreakRate > 1.0) {
        error = "the real-time noise rates add up to more than 1";
        return false;
      }
    } else if (arg == "--rt-seed") {
      const long seed = Number(value);
      if (seed < 1 || seed > 0x7FFFFFFF) {
        error = "bad seed '" + value + "'";
        return false;
      }
      options.faults.rtSeed = static_cast<uint32_t>(seed);
    } else if (arg == "--drop" || arg == "--ignore" || arg == "--garble" || arg == "--slow") {
      const size_t colon = arg == "--slow" ? value.rfind(':') : std::string::npos;
      const std::string name = colon == std::string::npos ? value : value.substr(0, colon);
      const bool command = !name.empty() && name.size() <= 8 && (name[0] == '!' || (name[0] >= 'A' && name[0] <= 'Z'));
      const long ms = colon == std::string::npos ? 0 : Number(value.substr(colon + 1));
      if (!command || (arg == "--slow" && (colon == std::string::npos || ms < 1 || ms > 600000))) {
        error = "bad command '" + value + "' for " + arg + (arg == "--slow" ? " (CMD:MS, e.g. T:3000)" : " (e.g. '!R')");
        return false;
      }
      if (arg == "--drop") options.faults.dropCommands.push_back(name);
      else if (arg == "--ignore") options.faults.ignoreCommands.push_back(name);
      else if (arg == "--garble") options.faults.garbleCommands.push_back(name);
      else options.faults.slowCommands[name] = static_cast<int>(ms);
    } else if (arg == "--model") {
      model = value;
    } else if (arg == "--baud") {
      baud = Number(value);
      const auto& rates = ServedBaudRates();
      if (std::find(rates.begin(), rates.end(), baud) == rates.end()) {
        error = "unknown baud rate '" + value + "' (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)";
        return false;
      }
    } else if (arg == "--serial") {
      serial = Number(value);
      if (serial < 0 || serial > 999999) {
        error = "bad serial number '" + value + "' (0 to 999999)";
        return false;
      }
    } else if (arg == "--record") {
      const long rows = Number(value);
      if (rows < 0) {
        error = "bad row count '" + value + "'";
        return false;
      }
      options.record = static_cast<int>(rows);
    } else if (arg == "--time-scale") {
      const long scale = Number(value);
      if (scale < 1 || scale > 100000000) {
        error = "bad time scale '" + value + "' (1 to 100000000)";
        return false;
      }
      options.timeScale = static_cast<int>(scale);
    } else if (arg == "--bench-salinity" || arg == "--bench-temperature") {
      char* end = nullptr;
      const double v = std::strtod(value.c_str(), &end);
      const bool salinity = arg == "--bench-salinity";
      const double lo = salinity ? 0.0 : -2.0, hi = salinity ? 42.0 : 35.0;
      if (value.empty() || end == nullptr || *end != '\0' || !(v >= lo && v <= hi)) {
        error = "bad " + std::string(salinity ? "salinity" : "temperature") + " '" + value + "'";
        return false;
      }
      if (salinity) bench.sampleSalinity = v;
      else bench.bathTemperature = v;
    } else if (arg == "--reply-latency") {
      latency = Number(value);
      if (latency < 0 || latency > 60000) {
        error = "bad reply latency '" + value + "' (0 to 60000 ms)";
        return false;
      }
    } else if (!ParseFaults(value, options.faults, error)) {
      return false;
    }
  }
  std::optional<Profile> found = FindProfile(model);
  if (!found) {
    error = "unknown model '" + model + "' (known: " + Join(ProfileNames()) + ")";
    return false;
  }
  options.profile = *found;
  if (baud > 0) options.profile.baud = static_cast<int>(baud);
  if (serial >= 0) options.profile.serialNumber = static_cast<int>(serial);
  if (latency >= 0) options.profile.replyLatencyMs = static_cast<int>(latency);
  options.profile.bench.sampleSalinity = bench.sampleSalinity;
  options.profile.bench.bathTemperature = bench.bathTemperature;
  return true;
}

}  // namespace tmv::sim
