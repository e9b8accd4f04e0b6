// tmv-cli: the command-line tool.
//
//   tmv-cli [--port PATH|COMn] [--baud N] [--work-dir DIR] [--no-settings] [--yes] [--verbose] COMMAND [ARGS]
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "CliCommand.h"
#include "CliSupport.h"
#include "ConsoleUserInterface.h"
#include "Utf8Output.h"
#include "analysis/WaveAnalysis.h"
#include "files/SettingsFile.h"
#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "shell/AppState.h"

namespace {

using tmv::cli::CliCommandInfo;

struct Options {
  std::string port;
  int baud = 0;
  std::string workDir;
  bool noSettings = false;
  bool yes = false;
  bool verbose = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> rest;  // command words and their arguments
};

void PrintUsage(std::ostream& os) {
  os << "Usage: tmv-cli [--port PATH|COMn] [--baud N] [--work-dir DIR] [--no-settings] [--yes] [--verbose]\n"
        "               COMMAND [ARGS]\n"
        "       tmv-cli COMMAND --help\n\n"
        "Options:\n"
        "  --port PATH|COMn  the logger's serial device (e.g. /dev/ttyUSB0) or COM port number\n"
        "                    (default: the port of tmv.ini, else COM1)\n"
        "  --baud N          the rate to try first: 1200, 2400, 4800, 9600 or 19200 (default 19200)\n"
        "  --work-dir DIR    the work directory (default: the current directory)\n"
        "  --no-settings     run on the defaults: read no work files and write none over\n"
        "  --yes             answer Yes to questions (otherwise their default answer is taken)\n"
        "  --verbose         show the status-line texts on standard error\n"
        "  --help            this text\n"
        "  --version         the tool's version\n\n"
        "Settings: as the desktop program does, the tool reads the work files of its work\n"
        "directory: tmv.ini (ports, DAT format, the derived units and their values),\n"
        "tmvdir.ini (data directories) and tmv.lim (real-time limits). Options override\n"
        "them for that run only; the tool never writes them back.\n\n"
        "Commands:\n";
  std::vector<const CliCommandInfo*> list;
  for (const auto& c : tmv::cli::CliCommands()) list.push_back(&c);
  std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->name < b->name; });
  size_t width = 0;
  for (auto* c : list) width = std::max(width, c->name.size());
  for (auto* c : list) os << "  " << c->name << std::string(width - c->name.size() + 2, ' ') << c->summary << "\n";
}

std::vector<std::string> Words(const std::string& name) {
  std::istringstream in(name);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The registered command whose words begin the remaining arguments; the
// longest match wins ("calibration history" over "calibration").
const CliCommandInfo* FindCommand(const std::vector<std::string>& rest, size_t& used) {
  const CliCommandInfo* best = nullptr;
  used = 0;
  for (const auto& c : tmv::cli::CliCommands()) {
    const auto words = Words(c.name);
    if (words.empty() || words.size() > rest.size() || words.size() <= used) continue;
    if (std::equal(words.begin(), words.end(), rest.begin())) {
      best = &c;
      used = words.size();
    }
  }
  return best;
}

// "COM3" / "com3" -> 3; 0 when the text is not a COM port name.
int ComNumber(const std::string& text) {
  if (text.size() < 4 || text.size() > 5) return 0;
  std::string head = text.substr(0, 3);
  for (auto& ch : head) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (head != "COM") return 0;
  int n = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    n = n * 10 + (text[i] - '0');
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  tmv::cli::PrintAsUtf8(std::cout);
  tmv::cli::PrintAsUtf8(std::cerr);
  Options opt;
  // The tool's own options come before the command word; everything from
  // that word on belongs to the command, whose own parser reads it.
  CLI::App app{"", "tmv-cli"};
  app.set_help_flag();
  app.prefix_command();
  app.add_flag("-h,--help", opt.help);
  app.add_flag("--version", opt.version);
  app.add_flag("-y,--yes", opt.yes);
  app.add_flag("-v,--verbose", opt.verbose);
  app.add_option("--port", opt.port);
  app.add_option("--baud", opt.baud);
  app.add_option("--work-dir", opt.workDir);
  app.add_flag("--no-settings", opt.noSettings);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const std::string what = e.what();
    if (what.find("--port") != std::string::npos)
      std::cerr << "tmv-cli: --port needs a device path or COMn\n";
    else if (what.find("--work-dir") != std::string::npos)
      std::cerr << "tmv-cli: --work-dir needs a directory\n";
    else if (what.find("--baud") != std::string::npos)
      std::cerr << "tmv-cli: --baud must be one of 1200, 2400, 4800, 9600, 19200\n";
    else
      std::cerr << "tmv-cli: " << what << "\n";
    return tmv::cli::kExitUsage;
  }
  if (app.count("--port") > 0 && opt.port.empty()) {
    std::cerr << "tmv-cli: --port needs a device path or COMn\n";
    return tmv::cli::kExitUsage;
  }
  if (app.count("--baud") > 0 &&
      std::find(tmv::kBaudTable.begin(), tmv::kBaudTable.end(), opt.baud) == tmv::kBaudTable.end()) {
    std::cerr << "tmv-cli: --baud must be one of 1200, 2400, 4800, 9600, 19200\n";
    return tmv::cli::kExitUsage;
  }
  std::error_code ec;
  if (app.count("--work-dir") > 0 && (opt.workDir.empty() || !std::filesystem::is_directory(opt.workDir, ec))) {
    std::cerr << "tmv-cli: --work-dir needs an existing directory\n";
    return tmv::cli::kExitUsage;
  }
  std::vector<std::string> rest = app.remaining();
  if (!rest.empty() && rest.front() == "--") rest.erase(rest.begin());
  else if (!rest.empty() && rest.front().size() > 1 && rest.front()[0] == '-') {
    std::cerr << "tmv-cli: unknown option '" << rest.front() << "'\n";
    PrintUsage(std::cerr);
    return tmv::cli::kExitUsage;
  }
  opt.rest = rest;
  if (opt.version) {
    std::cout << "tmv-cli " TMV_VERSION_TEXT "\n";
    return tmv::cli::kExitOk;
  }

  if (opt.rest.empty()) {
    PrintUsage(opt.help ? std::cout : std::cerr);
    return opt.help ? tmv::cli::kExitOk : tmv::cli::kExitUsage;
  }
  size_t used = 0;
  const CliCommandInfo* command = FindCommand(opt.rest, used);
  if (command == nullptr) {
    std::cerr << "tmv-cli: unknown command '" << opt.rest.front() << "'\n";
    PrintUsage(std::cerr);
    return tmv::cli::kExitUsage;
  }
  std::vector<std::string> commandArgs(opt.rest.begin() + static_cast<std::ptrdiff_t>(used), opt.rest.end());
  const bool wantsHelp = opt.help || std::find(commandArgs.begin(), commandArgs.end(), "--help") != commandArgs.end();
  // A command without a help text of its own prints its parser's help.
  if (wantsHelp && command->help.empty()) commandArgs = {"--help"};
  if (wantsHelp && !command->help.empty()) {
    std::cout << command->help;
    if (!command->help.empty() && command->help.back() != '\n') std::cout << "\n";
    return tmv::cli::kExitOk;
  }

  tmv::PosixSerialSystem serial;
  tmv::SystemClock clock;
  tmv::cli::ConsoleUserInterface ui(std::cerr, opt.verbose, opt.yes);
  tmv::AppState state(serial, clock, ui);
  // The work directory's settings first; the options below override them.
  if (!opt.workDir.empty()) state.directories.work = std::filesystem::absolute(opt.workDir, ec).lexically_normal().string();
  tmv::LoadWorkFiles(state, opt.noSettings ? tmv::WorkFilesUse::Defaults : tmv::WorkFilesUse::ReadOnly);
  tmv::InstallWaveAnalysis(state);
  if (!opt.port.empty()) {
    const int com = ComNumber(opt.port);
    if (com >= 1 && com <= 16)
      state.ports.loggerPort = com;
    else if (com != 0) {
      std::cerr << "tmv-cli: COM ports are numbered 1 to 16\n";
      return tmv::cli::kExitUsage;
    } else
      state.ports.loggerDevice = opt.port;
  }
  if (opt.baud != 0) {
    const auto at = std::find(tmv::kBaudTable.begin(), tmv::kBaudTable.end(), opt.baud);
    state.logger.baudIndex = static_cast<int>(at - tmv::kBaudTable.begin());
    state.logger.baud = opt.baud;
  }
  tmv::ProbePorts(state);

  tmv::cli::CliContext ctx{state, commandArgs, std::cout, std::cerr, opt.yes};
  const int rc = command->run(ctx);
  std::cout.flush();
  tmv::CloseLink(state, state.loggerLink, state.ports.loggerPort);
  tmv::CloseLink(state, state.gpsLink, state.ports.gpsPort);
  return rc;
}
