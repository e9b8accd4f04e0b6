// Commands of the logger's MMC/SD memory card: its directory and a file's contents.
#include <CLI/CLI.hpp>

#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "cards/MmcSdCard.h"
#include "shell/AppState.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

bool IsFailureLine(const std::string& line) {
  return line.rfind("Unable", 0) == 0 || line.rfind("Ensure", 0) == 0;
}

// The dialog's timer, on the tool's clock: one tick a second until the card
// has answered or the wait has run out.
void RunTimer(AppState& state, MmcSdProc& dialog) {
  while (dialog.Busy()) {
    state.clock.DelayMs(MmcSdProc::kTickMs);
    dialog.Tick(state);
  }
}

int Directory(CliContext& ctx) {
  bool json = false;
  auto parser = CommandParser("card", "Usage: tmv-cli [--port PATH|COMn] card [--json]");
  parser->add_flag("--json", json, "print one JSON object");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kMmcSdMemory)) return rc;
  MmcSdProc dialog;
  if (!dialog.Open(ctx.state)) return ReportOutcome(ctx, dialog.result);
  RunTimer(ctx.state, dialog);
  bool failed = false;
  for (const std::string& line : dialog.list)
    if (IsFailureLine(line)) {
      ctx.err << line << "\n";
      failed = true;
    }
  const CardState& card = dialog.card;
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("complete").Bool(!failed);
    w.Key("size_kb").Number(static_cast<double>(card.sizeKb));
    w.Key("type").String(card.typeText);
    w.Key("first_file").String(card.firstFile);
    w.Key("last_file").String(card.lastFile);
    w.EndObject();
    ctx.out << w.Text() << "\n";
  } else {
    ctx.out << "Memory type: " << card.typeText << "\n";
    if (!dialog.size.empty()) ctx.out << dialog.size << "\n";
    ctx.out << "First file in sequence = " << card.firstFile << "\n";
    ctx.out << "Last file in sequence = " << card.lastFile << "\n";
  }
  return failed ? kExitFailure : kExitOk;
}

int Show(CliContext& ctx) {
  std::string number;
  auto parser = CommandParser("card show", "Usage: tmv-cli [--port PATH|COMn] card show N");
  parser->add_option("N", number, "the file's number, as the card's directory names it")->required();
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kMmcSdMemory)) return rc;
  MmcSdProc dialog;
  if (!dialog.Open(ctx.state, false)) return ReportOutcome(ctx, dialog.result);
  dialog.fileNumberField = number;
  dialog.GetContents(ctx.state);
  const bool failed = dialog.list.size() <= 2 && !dialog.list.empty() &&
                      (IsFailureLine(dialog.list.front()) || dialog.list.front().rfind("No reply", 0) == 0 ||
                       dialog.list.front().rfind("The file number", 0) == 0);
  for (const std::string& line : dialog.list) (failed ? ctx.err : ctx.out) << line << "\n";
  return failed ? kExitFailure : kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"card", "Show the logger's MMC/SD card: size, type, first and last file",
                      "Usage: tmv-cli [--port PATH|COMn] card [--json]\n\n"
                      "Asks the logger's memory card for its type, size and the first and\n"
                      "last file of its numbered sequence. The card may take up to 30 seconds\n"
                      "for each answer. The logger must not be logging.\n",
                      Directory});
  RegisterCliCommand({"card show", "Show the contents of a file on the logger's MMC/SD card",
                      "Usage: tmv-cli [--port PATH|COMn] card show N\n\n"
                      "Prints the text of file N of the card (at most 300 bytes, as the\n"
                      "logger sends it in one reply).\n",
                      Show});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
