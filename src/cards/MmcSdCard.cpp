#include "cards/MmcSdCard.h"

#include <cerrno>
#include <cstdlib>

#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view Trimmed(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The file's text as list lines: split at line ends, nothing else changed.
void AddLines(std::vector<std::string>& list, std::string_view text) {
  std::string line;
  bool pending = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      list.push_back(line);
      line.clear();
      pending = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    line.push_back(c);
    pending = true;
  }
  if (pending) list.push_back(line);
}

}  // namespace

bool ParseCardSize(std::string_view reply, unsigned& sizeKb) {
  size_t digits = 0;
  unsigned value = 0;
  while (digits < reply.size() && digits < 8 && IsHexDigit(reply[digits])) {
    const char c = reply[digits];
    const unsigned d = c <= '9' ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10);
    value = value * 16 + d;
    ++digits;
  }
  if (digits == 0 || digits >= reply.size() || reply[digits] != 'x') return false;
  sizeKb = value;
  return true;
}

bool CardTextBefore(std::string_view reply, std::string_view tag, std::string& text) {
  const size_t at = reply.find(tag);
  if (at == std::string_view::npos) return false;
  std::string_view t = Trimmed(reply.substr(0, at));
  // A line end inside means earlier bytes came with the reply: the answer is the last line.
  const size_t lineEnd = t.find_last_of("\r\n");
  if (lineEnd != std::string_view::npos) t = Trimmed(t.substr(lineEnd + 1));
  text.assign(t.substr(0, MmcSdProc::kNameLength));
  return true;
}

bool MmcSdProc::Open(AppState& state, bool startRefresh) {
  open = false;
  title = kTitle;
  if (state.shell.copyNumber > 1) title = Format("Copy %-2d: ", state.shell.copyNumber) + title;
  // Identity first: without a connected logger the status below could not be
  // read and a logging logger would be let through.
  result = Outcome::Done();
  if (const KnowResult known = KnowLogger(state, kKnowIdentity | kKnowCapabilities | kKnowConfiguration);
      known != KnowResult::Known) {
    result = UnknownOfLogger(state, known);
    if (result.Ok()) result = Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to logger");
    return false;
  }
  // Without a status reply the refresh finds out for itself whether the card answers.
  if (CommGet(state, 9) == 1) {
    const int status = state.query.loggerStatus;
    if (status != 0 && status != 4 && status != 8) {
      result = Outcome::Of(OutcomeKind::Refused, "%s", {LoggingRefusalText("access the MMC/SD card")});
      return false;
    }
  }
  open = true;
  if (startRefresh) Refresh(state);
  return true;
}

void MmcSdProc::Unreachable() {
  list.push_back("Unable to communicate with MMC/SD card");
  list.push_back("Ensure a MMC/SD card is installed");
  EndRefresh();
}

void MmcSdProc::EndRefresh() {
  timerRunning = false;
  refreshEnabled = true;
}

void MmcSdProc::Refresh(AppState& state) {
  if (timerRunning) return;  // "Refresh" is greyed while one runs
  list.clear();
  list.push_back("Refreshing MMC/SD card data");
  refreshEnabled = false;
  if (!IsConnected(state)) {
    Unreachable();
    return;
  }
  card = CardState{};
  memoryType = card.typeText;
  size.clear();
  first = card.firstFile;
  last = card.lastFile;
  Query(state, "!G00", CardStep::Size);
}

void MmcSdProc::Query(AppState& state, const char* command, CardStep step) {
  LinkWrite(state, state.loggerLink, command);
  card.nextStep = step;
  StartWait();
}

void MmcSdProc::StartWait() {
  card.replyComplete = false;
  card.cardReply.clear();
  card.ticksLeft = kTicksPerQuery;
  timerRunning = true;
}

void MmcSdProc::Tick(AppState& state) {
  if (!timerRunning) return;
  uint8_t buffer[kReadBytes + 1];
  const size_t n = LinkRead(state, state.loggerLink, buffer, kReadBytes);
  // A reply that arrives over several ticks is joined, so that a slow card's
  // answer is not cut in two and misread from its second half.
  card.cardReply.append(reinterpret_cast<const char*>(buffer), n);
  if (card.cardReply.size() > kReplyLimit) card.cardReply.erase(0, card.cardReply.size() - kReplyLimit);
  card.replyComplete = card.cardReply.find("MM") != std::string::npos;
  --card.ticksLeft;
  if (!card.replyComplete && card.ticksLeft > 0) return;
  timerRunning = false;
  if (!IsConnected(state)) {
    Unreachable();
    return;
  }
  RunStep(state);
}

void MmcSdProc::RunStep(AppState& state) {
  const std::string_view reply = card.cardReply;
  const bool complete = card.replyComplete;
  std::string text;
  switch (card.nextStep) {
    case CardStep::Size: {
      const size_t tag = reply.find("MMS");
      // A size that is not hexadecimal is reported, not shown as 0 KB.
      if (!complete || tag == std::string_view::npos ||
          !ParseCardSize(Trimmed(reply.substr(0, tag)), card.sizeKb)) {
        list.push_back("Unable to read MMC/SD size");
        EndRefresh();
        return;
      }
      size = Format("Memory size = %uKB", card.sizeKb);
      Query(state, "!G04", CardStep::Type);
      return;
    }
    case CardStep::Type:
      if (!complete || !CardTextBefore(reply, "MMD", text)) {
        list.push_back("Unable to read MMC/SD type");
        EndRefresh();
        return;
      }
      card.typeText = text;
      memoryType = text;
      Query(state, "!G02", CardStep::FirstFile);
      return;
    case CardStep::FirstFile:
      if (!complete || !CardTextBefore(reply, "MMF", text)) {
        list.push_back("Unable to read MMC/SD first file");
        EndRefresh();
        return;
      }
      card.firstFile = text;
      first = text;
      ShowStatus(state, Format("First file in sequence = %s", text.c_str()));
      Query(state, "!G03", CardStep::LastFile);
      return;
    case CardStep::LastFile:
      if (complete && CardTextBefore(reply, "MML", text)) {
        card.lastFile = text;
        last = text;
        fileNumberField = text;
        ShowStatus(state, Format("Last file in sequence = %s", text.c_str()));
      } else {
        list.push_back("Unable to read MMC/SD last file");
      }
      list.push_back("Refresh complete");
      EndRefresh();
      return;
  }
}

void MmcSdProc::GetContents(AppState& state) {
  if (timerRunning) return;  // the card is still answering a refresh
  const std::string_view field = Trimmed(fileNumberField);
  const std::string digits(field);
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(digits.c_str(), &end, 10);
  // The logger's query holds eight digits; anything else would ask for another file.
  if (digits.empty() || *end != '\0' || errno != 0 || number < 0 || number > kLargestFileNumber) {
    list.clear();
    list.push_back(Format("The file number must be a whole number from 0 to %ld", kLargestFileNumber));
    return;
  }
  if (!IsConnected(state)) {
    list.clear();
    list.push_back("Unable to communicate with MMC/SD card");
    list.push_back("Ensure a MMC/SD card is installed");
    return;
  }
  list.clear();
  state.query.cardFileNumber = static_cast<int>(number);
  if (CommGet(state, 35) != 1) {
    list.push_back(Format("No reply from the MMC/SD card for file %ld", number));
    return;
  }
  const std::string_view bytes = state.reply.Bytes();
  AddLines(list, bytes.substr(0, bytes.find('\0')));
  if (bytes.size() >= kContentsBytes) {
    // The rest would be taken for the answer to the next query: drain it.
    uint8_t rest[kContentsBytes + 1];
    size_t more = 0;
    for (int reads = 0; reads < 1000; ++reads) {
      const size_t n = LinkRead(state, state.loggerLink, rest, kContentsBytes);
      more += n;
      if (n == 0) break;
    }
    if (more > 0)
      list.push_back(Format("(only the first %zu bytes of the file are shown; %zu more were not)", kContentsBytes,
                            more));
  }
}

void MmcSdProc::Close() {
  timerRunning = false;
  open = false;
}

}  // namespace tmv
