#include "shell/Catalogue.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "shell/AppState.h"
#include "shell/Outcomes.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

constexpr const char* kRefusalStart = "Logging in progress or enabled.\nCannot ";
constexpr const char* kRefusalEnd =
    " at this time.\n\nUse 'Retrieve data' menu item to stop logger - \n 'Retrieve Data' or 'STOP Logger' button.";

// The operations that are refused while a logger is logging or enabled.
constexpr const char* kRefusedOperations[] = {
    "read the calibration coefficients", "fetch live readings",    "set the default baudrate",
    "set the latency",                   "access the meta table",  "access the MMC/SD card",
    "read the modem parameters",         "operate the Micro-Salinometer",
};

std::vector<std::string> BuildTexts() {
  std::vector<std::string> texts = {
      "Ready",
      "Error",
      "Unable to open file: %s",
      "%s already exists.\nContinue to overwrite this file?",
      "TIMER",
      "Too many timers",
      "Retrieved data has not been saved.\nDo you wish to return to save the data now?",
      "Attempting to connect to TMV Data Logger on COM%1d.",
      "TMV Data Logger: %s %5.2f %06d connected on COM%1d at %ld baud.",
      "Assessing the logger configuration",
      "Assessing logger capabilities ",
      "Reading calibration data ",
      "Calibration Coefficients read successfully",
      // Dialog and message titles.
      "Fetch",
      "File Read",
      "Meta Table Access",
      "MMC/SD Card Access",
      "GPS Test",
      "Set Default Baudrate",
      "Set Latency",
      "GPS Communication",
      "No GPS port has been selected.\nChoose one in the COM settings.",
      "The GPS is not sending either of the messages\n'GGA' nor 'GLL' that are required.\n",
      "Program Exit",
      "Startup",
      // The connection and the status line.
      "Unable to open COM%1d - bad port setting or another application holds the port.",
      "Unable to Communicate with Logger on COM%1d",
      "Trying: %d",
      "%d baud",
      "Not connected",
      "Logger Disconnected",
      "Select Communication Port",
      // Work directories and settings.
      // "/" is this platform's path separator, as in the paths the messages name.
      "Error: Unable to create the '%s/dat' directory\nCheck that your TMV directory is not write protected.",
      "Error: Unable to create mat directory",
      "Error: Unable to create the '%s/hex' directory\nCheck that your TMV directory is not write protected.",
      "Error: Unable to save log file",
      "Error: Unable to open log file",
      "Error: Unable to open daily log file",
      "8 copies of the TMV Data Loggers program are now running.\nThis is the limit allowed.\n\nThis attempt to run another "
      "copy will terminate.",
      "Multiple copies",
      "You are trying to open copy number %d of the TMV Data Loggers program.\nDo you want to continue?",
      "TMV Data Loggers - Multiple copy",
      // Refusals of the command table.
      "Unable to perform fetch while QN-760 logger is enabled",
      "Unable to perform calibration while QN-760 logger is enabled",
      "Unable to perform calibration history while QN-760 logger is enabled",
      "This logger is active.\n\nThe communiation format cannot be switched between\nEngineering units and Binary "
      "format at this time",
      "Communication format",
      "Error: Logger connected does not support the MMC/SD memory",
      "Error: Logger is not equiped with a MMC/SD memory",
      "This function is disabled while it is being rewritten.\nIt will be released in the future.\n\nUse the "
      "'Restart Display' function under the 'Setup' menu item.",
      "Restart Real-time Display",
      // Why an operation did not go on, as its outcome gives it.
      "TIMEOUT: Start date/time read incorrectly",
      "TIMEOUT: End date/time read incorrectly",
      "TIMEOUT: Period read incorrectly",
      "TIMEOUT: Logger clock read incorrectly",
      "TIMEOUT: Memory status read incorrectly",
      "TIMEOUT: Start characteristic read incorrectly",
      "TIMEOUT: Averaging read incorrectly",
      "TIMEOUT: Sampling rate read incorrectly",
      "TIMEOUT: Wave settings read incorrectly",
      "TIMEOUT: Threshold read incorrectly",
      "Unable to assess the logger's capabilities: a query went unanswered.",
      "Unable to read calibration coefficients: the data are not retrieved, as they could only be converted with "
      "default coefficients.\nTry again.",
      "The logger still reports \"%s\": it did not %s.",
      "The logger did not answer after the %s command: its state is unknown.",
      "Not retrieved: the logger is still logging.",
      "Download incomplete: %d of %u bytes retrieved",
      "Logger failed to resume.",
      "Unable to read calibration coefficients: the threshold cannot be set.\nTry again.",
      "The logger did not answer the memory test query.",
      "Choose another folder when the data are saved.",
  };
  for (const char* op : kRefusedOperations) texts.push_back(std::string(kRefusalStart) + op + kRefusalEnd);
  return texts;
}

struct Catalogue {
  std::vector<std::string> english;
  std::unordered_map<std::string, std::string> second;  // English text -> skeleton
};

const Catalogue& TheCatalogue() {
  static const Catalogue catalogue = [] {
    Catalogue c;
    c.english = BuildTexts();
    for (const auto& text : c.english) c.second.emplace(text, FormatSkeleton(text));
    return c;
  }();
  return catalogue;
}

// Length of the printf conversion starting at text[i] == '%' (0 when it is none).
size_t ConversionLength(std::string_view text, size_t i) {
  size_t j = i + 1;
  if (j < text.size() && text[j] == '%') return 2;
  while (j < text.size() && std::strchr("-+ #0", text[j]) != nullptr && text[j] != '\0') ++j;
  while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
  if (j < text.size() && text[j] == '.') {
    ++j;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
  }
  while (j < text.size() && (text[j] == 'l' || text[j] == 'h')) ++j;
  if (j < text.size() && std::strchr("diouxXeEfgGcsp", text[j]) != nullptr && text[j] != '\0') return j + 1 - i;
  return 0;
}

}  // namespace

std::string FormatSkeleton(std::string_view english) {
  // Keep conversions whole, drop letters, then tidy the blanks that the
  // dropped words leave: runs become one blank, and no line starts or ends
  // with one.
  std::string kept;
  for (size_t i = 0; i < english.size();) {
    char c = english[i];
    if (c == '%') {
      size_t n = ConversionLength(english, i);
      if (n > 0) {
        kept.append(english.substr(i, n));
        i += n;
        continue;
      }
    }
    if (!std::isalpha(static_cast<unsigned char>(c))) kept.push_back(c);
    ++i;
  }
  std::string out;
  std::string line;
  auto flushLine = [&](bool newline) {
    std::string tidy;
    for (char c : line) {
      if (c == ' ' && (tidy.empty() || tidy.back() == ' ')) continue;
      tidy.push_back(c);
    }
    while (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
    out += tidy;
    if (newline) out.push_back('\n');
    line.clear();
  };
  for (char c : kept) {
    if (c == '\n') {
      flushLine(true);
    } else {
      line.push_back(c);
    }
  }
  flushLine(false);
  return out;
}

const std::vector<std::string>& CatalogueTexts() { return TheCatalogue().english; }

bool InCatalogue(std::string_view english) {
  return TheCatalogue().second.count(std::string(english)) != 0;
}

std::string Tr(int language, std::string_view english) {
  if (language == 1) {
    const auto& second = TheCatalogue().second;
    auto it = second.find(std::string(english));
    if (it != second.end()) return it->second;
  }
  return std::string(english);
}

std::string Tr(const AppState& state, std::string_view english) { return Tr(state.shell.language, english); }

std::string LoggingRefusalText(std::string_view operation) {
  return std::string(kRefusalStart) + std::string(operation) + kRefusalEnd;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    out.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return out;
}

std::string Describe(const AppState& state, const Outcome& outcome) {
  return OutcomeText(outcome, Tr(state, outcome.key));
}

void ShowOutcome(AppState& state, const Outcome& outcome, std::string_view caption) {
  switch (outcome.kind) {
    case OutcomeKind::Done:
    case OutcomeKind::Cancelled: return;
    case OutcomeKind::NoLogger: ShowStatus(state, Describe(state, outcome)); return;
    default:
      ShowStatus(state, Describe(state, outcome));
      state.ui.MessageBox(Describe(state, outcome), Tr(state, caption), MessageButtons::Ok,
                          outcome.kind == OutcomeKind::Partial ? MessageIcon::Exclamation : MessageIcon::Stop,
                          MessageAnswer::Ok);
  }
}

}  // namespace tmv
