#include "link/Exchange.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/Connection.h"
#include "link/LoggerLink.h"
#include "model/Calibration.h"
#include "model/ConfigTable.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

// ---------------------------------------------------------------- ReplyBuffer

void ReplyBuffer::Clear() {
  length = 0;
  bytes[0] = 0;
}

void ReplyBuffer::SetText(std::string_view text) {
  Assign(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void ReplyBuffer::Assign(const uint8_t* data, size_t count) {
  count = std::min(count, kCapacity);
  if (count > 0 && data != nullptr) std::memmove(bytes.data(), data, count);
  length = data != nullptr ? count : 0;
  bytes[length] = 0;
}

std::string_view ReplyBuffer::Text() const {
  const size_t n = std::min(length, kCapacity);
  const void* nul = std::memchr(bytes.data(), 0, n);
  const size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes.data()) : n;
  return {reinterpret_cast<const char*>(bytes.data()), len};
}

bool ReplyBuffer::Contains(std::string_view needle) const { return Find(needle) != std::string_view::npos; }

size_t ReplyBuffer::Find(std::string_view needle) const {
  if (needle.empty()) return std::string_view::npos;
  return Bytes().find(needle);
}

// ---------------------------------------------------------------- small helpers

const char* LoggerStatusText(int code) {
  static const char* const kTexts[] = {"Not Enabled",       "Enabled",           "Logging",
                                       "Thresholding enabled", "Logging Complete", "Logging Suspended",
                                       "Profiling Active",  "Memory Error",      "Logging Stopped by User"};
  if (code < 0 || code > 8) return kTexts[7];
  return kTexts[code];
}

std::string HexBytes(const uint8_t* data, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0x0F]);
  }
  return out;
}

uint8_t Sum8(const uint8_t* data, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += data[i];
  return static_cast<uint8_t>(sum & 0xFF);
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The text as far as a C reader would see it: up to the first NUL.
std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// As a C reader started at `pos` sees it: a NUL before pos (a binary record
// the logger sent ahead of its reply) hides nothing after it.
std::string_view UpToNul(std::string_view text, size_t pos) {
  const size_t nul = pos < text.size() ? text.find('\0', pos) : std::string_view::npos;
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

void SkipSpace(std::string_view text, size_t& pos) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

// A numeric token of at most 31 characters, copied so that strtod cannot run on.
std::string NumberToken(std::string_view text, size_t pos) {
  std::string token;
  while (pos < text.size() && token.size() < 31 && !IsSpace(text[pos]) && text[pos] != '\0')
    token.push_back(text[pos++]);
  return token;
}

}  // namespace

bool ScanHex2(std::string_view text, size_t& pos, int& value) {
  text = UpToNul(text, pos);
  size_t p = pos;
  SkipSpace(text, p);
  int v = 0, digits = 0;
  while (p < text.size() && digits < 2) {
    const int d = HexDigit(text[p]);
    if (d < 0) break;
    v = v * 16 + d;
    ++digits;
    ++p;
  }
  if (digits == 0) return false;
  value = v;
  pos = p;
  return true;
}

size_t ScanHexPairs(std::string_view text, size_t pos, uint8_t* out, size_t count) {
  size_t done = 0;
  for (; done < count; ++done) {
    int v = 0;
    if (!ScanHex2(text, pos, v)) break;
    out[done] = static_cast<uint8_t>(v);
  }
  return done;
}

bool ScanWord(std::string_view text, size_t& pos, std::string& word, size_t maxLength) {
  text = UpToNul(text, pos);
  size_t p = pos;
  SkipSpace(text, p);
  if (p >= text.size()) return false;
  const size_t start = p;
  while (p < text.size() && !IsSpace(text[p])) ++p;
  // Longer words are cut: the rest of the word is passed over all the same.
  word.assign(text.substr(start, std::min(p - start, maxLength)));
  pos = p;
  return true;
}

bool ScanFloat(std::string_view text, size_t& pos, float& value) {
  text = UpToNul(text, pos);
  size_t p = pos;
  SkipSpace(text, p);
  const std::string token = NumberToken(text, p);
  if (token.empty()) return false;
  char* end = nullptr;
  const float v = std::strtof(token.c_str(), &end);
  if (end == token.c_str()) return false;
  value = v;
  pos = p + static_cast<size_t>(end - token.c_str());
  return true;
}

bool ScanInt(std::string_view text, size_t& pos, int& value) {
  text = UpToNul(text, pos);
  size_t p = pos;
  SkipSpace(text, p);
  const std::string token = NumberToken(text, p);
  if (token.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(token.c_str(), &end, 10);
  if (end == token.c_str()) return false;
  value = static_cast<int>(std::clamp<long>(v, -2147483647L, 2147483647L));
  pos = p + static_cast<size_t>(end - token.c_str());
  return true;
}

size_t ValueStart(const ReplyBuffer& reply, std::string_view tag, size_t valueChars) {
  const size_t at = reply.Find(tag);
  if (at == std::string_view::npos || at < valueChars) return 0;
  return at - valueChars;
}

// ---------------------------------------------------------------- completions

namespace {

std::string_view View(const uint8_t* data, size_t count) { return {reinterpret_cast<const char*>(data), count}; }

}  // namespace

ReadCompletion LineWith(std::string_view text) {
  return [text = std::string(text)](const uint8_t* data, size_t count) -> size_t {
    const std::string_view bytes = View(data, count);
    const size_t at = text.empty() ? 0 : bytes.find(text);
    if (at == std::string_view::npos) return 0;
    const size_t end = bytes.find('\n', at + text.size());
    return end == std::string_view::npos ? 0 : end + 1;
  };
}

ReadCompletion BlockOf(size_t count) {
  return [count](const uint8_t*, size_t got) -> size_t { return got >= count ? got : 0; };
}

ReadCompletion AckOrNak() {
  return [](const uint8_t* data, size_t count) -> size_t {
    const std::string_view bytes = View(data, count);
    size_t at = bytes.find(static_cast<char>(kAck));
    if (at == std::string_view::npos) at = bytes.find(static_cast<char>(kNak));
    return at == std::string_view::npos ? 0 : at + 1;
  };
}

ReadCompletion TableHeader(std::string_view command) {
  return [command = std::string(command)](const uint8_t* data, size_t count) -> size_t {
    const std::string_view bytes = View(data, count);
    const size_t echo = bytes.find(command);
    if (echo != std::string_view::npos && echo + command.size() + 2 <= count &&
        HexDigit(bytes[echo + command.size()]) >= 0 && HexDigit(bytes[echo + command.size() + 1]) >= 0)
      return echo + command.size() + 2;
    return LineWith("Unknown command")(data, count);
  };
}

// ---------------------------------------------------------------- exchanges

namespace {

size_t ReadReply(AppState& state, size_t maxBytes, const ReadCompletion& complete = nullptr) {
  maxBytes = std::min(maxBytes, ReplyBuffer::kCapacity);
  const size_t n = LinkReadUntil(state, state.loggerLink, state.reply.Data(), maxBytes, complete);
  state.reply.length = n;
  return n;
}

void Write(AppState& state, std::string_view text) { LinkWrite(state, state.loggerLink, text); }

}  // namespace

int QueryTagged(AppState& state, std::string_view command, std::string_view tag) {
  return QueryTagged(state, command, tag, nullptr);
}

int QueryTagged(AppState& state, std::string_view command, std::string_view tag,
                const std::function<bool(const ReplyBuffer&)>& complete) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (attempt > 0) DelayMs(state, 500);
    Write(state, command);
    const size_t n = ReadReply(state, 120, LineWith(tag));
    // Earlier bytes may still be waiting in the port, so the tag is looked
    // for anywhere; a long reply is line noise or several replies run together.
    if (n > 0 && n < 50 && state.reply.Contains(tag) && (!complete || complete(state.reply))) return 1;
  }
  state.reply.SetText("000101000000");
  return 0;
}

bool DigitsBeforeTag(const ReplyBuffer& reply, std::string_view tag, size_t count, bool hex) {
  const size_t at = reply.Find(tag);
  if (at == std::string_view::npos || at < count) return false;
  const std::string_view bytes = reply.Bytes();
  for (size_t i = at - count; i < at; ++i) {
    const char c = bytes[i];
    if (hex ? HexDigit(c) < 0 : (c < '0' || c > '9')) return false;
  }
  return true;
}

int ReadTable(AppState& state, std::string_view command, uint8_t* dest, size_t destSize, size_t* dataCount) {
  if (dataCount) *dataCount = 0;
  Write(state, command);
  ReadReply(state, 80, TableHeader(command));
  const ReplyBuffer& reply = state.reply;
  const size_t echo = reply.Find(command);
  if (echo == std::string_view::npos) return 0;
  // The two count digits must follow the echo inside the reply.
  if (echo + command.size() + 2 > reply.length) return 0;
  if (reply.Contains("Unknown command")) return 0;
  const std::string_view counted = reply.Bytes().substr(echo + command.size(), 2);
  const int hi = HexDigit(counted[0]);
  const int lo = HexDigit(counted[1]);
  if (hi < 0 || lo < 0) return 0;
  const size_t total = static_cast<size_t>(hi * 16 + lo);
  SendAck(state);
  if (total == 0) return -1;
  if (dest == nullptr || total > destSize) return 0;
  if (dataCount) *dataCount = total;
  // Every block is asked for with room to spare, so that a logger that sends
  // too much is seen (the count is then wrong) rather than overrunning dest;
  // the read ends once the block is in.
  std::array<uint8_t, 81> block{};
  for (size_t offset = 0; offset < total; offset += 16) {
    const size_t want = std::min<size_t>(16, total - offset);
    const size_t n = LinkReadUntil(state, state.loggerLink, block.data(), 80, BlockOf(want));
    if (n != want) return 0;
    std::memcpy(dest + offset, block.data(), n);
    SendAck(state);
  }
  return Sum8(dest, total) == kTableSum ? 1 : 0;
}

int SendTable(AppState& state, std::string_view command, size_t count, uint8_t* data) {
  // The count goes out as one "%02X" pair.
  if (data == nullptr || count > 254) return 0;
  Write(state, std::string(command) + Format("%02X", static_cast<unsigned>(count + 1)));
  data[count] = static_cast<uint8_t>(kTableSum - Sum8(data, count));
  if (!WaitAck(state)) return 0;
  for (size_t offset = 0; offset < count + 1; offset += 16) {
    const size_t n = std::min<size_t>(16, count + 1 - offset);
    LinkWriteBytes(state, state.loggerLink, data + offset, n);
    if (!WaitAck(state)) return 0;
  }
  return 1;
}

int WaitAck(AppState& state) {
  for (int tries = 0; tries < 5; ++tries) {
    if (ReadReply(state, 300, AckOrNak()) == 0) continue;
    const std::string_view bytes = state.reply.Bytes();
    if (bytes.find(static_cast<char>(kAck)) != std::string_view::npos) return 1;
    if (bytes.find(static_cast<char>(kNak)) != std::string_view::npos) return 0;
  }
  return 0;
}

std::string MemoryReadCommand(uint32_t start, uint32_t end) {
  const uint8_t bytes[8] = {static_cast<uint8_t>(end),          static_cast<uint8_t>(end >> 8),
                            static_cast<uint8_t>(end >> 16),    static_cast<uint8_t>(end >> 24),
                            static_cast<uint8_t>(start),        static_cast<uint8_t>(start >> 8),
                            static_cast<uint8_t>(start >> 16),  static_cast<uint8_t>(start >> 24)};
  return "I" + HexBytes(bytes, 8);
}

size_t ReadMemory(AppState& state, uint32_t start, uint32_t end, uint8_t* dest, size_t expected) {
  Write(state, MemoryReadCommand(start, end));
  return LinkRead(state, state.loggerLink, dest, expected);
}

void SendAck(AppState& state) {
  const char ack[2] = {static_cast<char>(kAck), 0};
  Write(state, std::string_view(ack, 1));
}

// ---------------------------------------------------------------- verified table writes

const TableMessages* TableMessagesFor(int table) {
  static const TableMessages k00{"ID send error", "ID retrieve error", "ID compare error", nullptr, false};
  static const TableMessages k01{"Configuration table send error", "Configuration table retrieve error",
                                 "Configuration table compare error", "Latency update successful", false};
  static const TableMessages k03{"Default baudrate send error", "Default baudrate retrieve error",
                                 "Default baudrate retrieve error", "Default baudrate write success", false};
  static const TableMessages k04{"Extended channel capabilities send error",
                                 "Extended channel capabilities retrieve error",
                                 "Extended channel capabilities compare error",
                                 "Extended channel capabilities write success", false};
  static const TableMessages k05{"Range switching behaviour send error", "Range switching behaviour retrieve error",
                                 "Range switching behaviour compare error",
                                 "Range switching behaviour write success", false};
  static const TableMessages k06{"Conductivity correction calibration send error",
                                 "Conductivity correction calibration retrieve error",
                                 "Conductivity correction calibration compare error", nullptr, false};
  static const TableMessages k07{"RS Advanced capabilities capabilities send error",
                                 "RS Advanced capabilities retrieve error", "RS Advanced capabilities compare error",
                                 "RS Advanced capabilities write success", false};
  static const TableMessages k08{"ERROR #10 Modem configuration send error.",
                                 "ERROR #11 Modem configuration retrieve error.",
                                 "ERROR #12 Modem configuration compare error.", nullptr, true};
  switch (table) {
    case 0: return &k00;
    case 1: return &k01;
    case 3: return &k03;
    case 4: return &k04;
    case 5: return &k05;
    case 6: return &k06;
    case 7: return &k07;
    case 8: return &k08;
    default: return nullptr;
  }
}

namespace {

void ReportTable(AppState& state, const TableMessages* m, const char* text) {
  if (m == nullptr || text == nullptr) return;
  if (m->messageBox)
    state.ui.MessageBox(Tr(state, text), Tr(state, "Configuration"), MessageButtons::Ok, MessageIcon::Stop,
                        MessageAnswer::Ok);
  else
    ShowStatus(state, Tr(state, text));
}

}  // namespace

int WriteTableVerified(AppState& state, int table, const uint8_t* data, size_t count) {
  const TableMessages* m = TableMessagesFor(table);
  const int previous = state.query.lastVerifiedTable;
  state.query.lastVerifiedTable = -1;
  if (table < 0 || table > 99 || (data == nullptr && count > 0) || count > 254) {
    ReportTable(state, m, m ? m->sendError : nullptr);
    return 0;
  }
  std::vector<uint8_t> out(data, data + count);
  out.push_back(0);
  if (!SendTable(state, Format("S%02d00", table), count, out.data())) {
    ReportTable(state, m, m ? m->sendError : nullptr);
    return 0;
  }
  std::vector<uint8_t> back(256 + 81, 0);
  size_t total = 0;
  if (ReadTable(state, Format("R%02d00", table), back.data(), back.size(), &total) != 1) {
    ReportTable(state, m, m ? m->retrieveError : nullptr);
    return 0;
  }
  bool same = total == count + 1 && std::equal(data, data + count, back.begin());
  if (table == 7 && Sum8(back.data(), 5) != kTableSum) same = false;
  if (!same) {
    // The default baud rate is one byte: a wrong byte means it was not retrieved.
    ReportTable(state, m, m ? (table == 3 ? m->retrieveError : m->compareError) : nullptr);
    return 0;
  }
  state.query.lastVerifiedTable = table;
  if ((table == 5 && previous == 4) || (table == 4 && previous == 5))
    ShowStatus(state, Tr(state, "Range switching behaviour and Extended channel capabilities write success"));
  else if (m && m->success)
    ReportTable(state, m, m->success);
  return 1;
}

// ---------------------------------------------------------------- CommGet

namespace {

bool MultiChannelOrMicrochip(const AppState& state) {
  return IsMultiChannelModel(state.logger.model) || state.logger.microchipLogger;
}

bool EngineeringUnitsOutput(const AppState& state) {
  return state.logger.engineeringUnitsLevel >= 1 && (state.query.optionByte & 0x04) != 0;
}

std::function<bool(const ReplyBuffer&)> HexBefore(const char* tag, size_t count) {
  return [tag, count](const ReplyBuffer& r) { return DigitsBeforeTag(r, tag, count, true); };
}
std::function<bool(const ReplyBuffer&)> DigitsBefore(const char* tag, size_t count) {
  return [tag, count](const ReplyBuffer& r) { return DigitsBeforeTag(r, tag, count, false); };
}

int Channels(const AppState& state) { return std::clamp(state.logger.channelCount, 1, kMaxChannels); }

// The fetch command and the length of its reply (step 1 of the fetch).
std::string FetchCommand(const AppState& state, bool blockingFetch, int& expected) {
  expected = 8;
  if (!MultiChannelOrMicrochip(state)) return "F";
  if (state.query.binaryOutput) {
    expected = 3 * Channels(state) + 13;
    if (blockingFetch && EngineeringUnitsOutput(state)) expected = 12 * Channels(state) + 22;
    return "F00";
  }
  return Format("F%02X", static_cast<unsigned>(state.query.fetchSelector & 0xFF));
}

// When a fetch reply is in: an engineering-units record at its "FET" line
// end; a binary record or a text reading once its expected length has come.
ReadCompletion FetchCompletion(const AppState& state, size_t expected) {
  if (EngineeringUnitsOutput(state)) return LineWith("FET");
  return BlockOf(expected);
}

int ReadingDelayMs(const AppState& state) {
  return std::max(0, state.logger.latencyMs) + std::max(0, state.logger.readingTimeMs);
}

// "Logger status" and the code: "%s %s %2X" from the tag on.
bool ScanStatusCode(const ReplyBuffer& r, size_t& pos, int& code) {
  const std::string_view text = r.Bytes();
  pos = r.Find("Logger");
  if (pos == std::string_view::npos) return false;
  std::string word;
  return ScanWord(text, pos, word) && ScanWord(text, pos, word) && ScanHex2(text, pos, code);
}

int QueryStatus(AppState& state) {
  size_t pos = 0;
  int code = 0, detail = 0;
  const auto hasCode = [&](const ReplyBuffer& r) { return ScanStatusCode(r, pos, code); };
  if (!QueryTagged(state, "T", "Logger", hasCode)) return 0;
  const std::string_view text = state.reply.Bytes();
  if (state.logger.microchipLogger) {
    ScanHex2(text, pos, detail);
    if (code == 4 && detail == 2) code = 8;
    if (code > 8) code = 7;
  } else if (code > 6) {
    code = 7;
  }
  state.query.loggerStatus = code;
  state.query.statusDetail = detail;
  return 1;
}

int QueryAveraging(AppState& state) {
  const int result = QueryTagged(state, "X", "BST", HexBefore("BST", 4));
  // A reply that never came leaves the averaging as it was known.
  if (result != 1) return result;
  uint8_t b[2] = {0, 0};
  const size_t got = ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, "BST", 4), b, 2);
  // Echoed as "W" sent it: low byte first.
  const int length = got == 2 ? b[0] + b[1] * 256 : 0;
  DeploymentSettings& d = state.deployment;
  if (length >= 2 && length <= 64800 && state.logger.averaging != 0) {
    d.averagingLength = length;
    d.averagingEnabled = true;
  } else {
    d.averagingLength = 1;
    d.averagingEnabled = false;
  }
  return result;
}

int QueryBattery(AppState& state) {
  Write(state, "!D");
  const bool tagged = FirmwareFrom(state.logger.firmwareVersion, 2.2);
  const size_t n = ReadReply(state, 120, LineWith(tagged ? "BAT" : ""));
  const std::string_view bytes = state.reply.Bytes();
  size_t pos = 0;
  bool found = false;
  if (tagged) {
    const size_t tag = state.reply.Find("BAT");
    if (tag != std::string_view::npos && tag >= 2) {
      pos = tag - 2;
      found = true;
    }
  } else {
    found = n >= 2;
  }
  int code = 0;
  if (found) {
    const int hi = HexDigit(bytes[pos]);
    const int lo = HexDigit(bytes[pos + 1]);
    if (hi >= 0 && lo >= 0)
      code = hi * 16 + lo;
    else if (hi >= 0)
      code = hi;
    else
      found = false;
  }
  state.query.batteryVolts = code * 0.0816485 + 0.25417;
  return found ? 1 : 0;
}

int QueryErase(AppState& state) {
  if (!state.logger.microchipLogger) return 0;
  Write(state, "T");
  ReadReply(state, 120, LineWith("Logger status"));
  if (state.reply.Contains("Logger status 7F")) return 0;
  if (state.reply.Contains("Logger status")) return 1;
  state.query.progressValue = 101;
  return 0;
}

int QueryMinimumVersion(AppState& state) {
  if (!QueryTagged(state, "!W", "WIN", DigitsBefore("WIN", 1))) return 0;
  const size_t tag = state.reply.Find("WIN");
  const std::string_view bytes = state.reply.Bytes();
  size_t start = tag;
  while (start > 0 && start > tag - std::min<size_t>(tag, 16)) {
    const char c = bytes[start - 1];
    if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') --start;
    else break;
  }
  float v = 0.0f;
  size_t pos = start;
  if (start == tag || !ScanFloat(bytes.substr(0, tag), pos, v) || !std::isfinite(v)) return 0;
  state.logger.minimumProgramVersion = v;
  state.logger.minimumProgramVersionValid = true;
  return 1;
}

int QueryStartCharacteristic(AppState& state) {
  if (state.logger.commands12Level < 1) return 0;
  if (QueryTagged(state, "!2", "STC", HexBefore("STC", 4)) != 1) return 0;
  // The logger echoes the whole start characteristic (four bytes) in front of
  // the tag; status and option are its first two bytes.
  const size_t valueChars = DigitsBeforeTag(state.reply, "STC", 8, true) ? 8 : 4;
  uint8_t b[2] = {0, 0};
  ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, "STC", valueChars), b, 2);
  int s = b[0];
  int o = b[1];
  state.query.startByte = s;
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  // Each flag as the logger holds it now, cleared as well as set.
  d.powerKeptOn = s >= 128;
  s &= 0x7F;
  d.sixHzMode = info.sixHzProfiling && s >= 64;
  if (d.sixHzMode) s &= ~0x40;
  d.realTimeOutput = s >= 32 ? 1 : 0;
  s &= 0x01;
  if (!info.oemSupport) o = 0;
  if (info.engineeringUnitsLevel < 1) o &= ~0x04;
  if (!info.externalDataConnector) o &= ~0x01;
  if (!info.externalPowerConnector) o &= ~0x02;
  if (info.commands12Level < 2) o &= ~0x08;
  state.query.statusByte = s;
  state.query.optionByte = o;
  d.optionFlags = static_cast<uint32_t>(o);
  state.ui.SetUnitsIndicator(EngineeringUnitsOutput(state) ? UnitsIndicator::EngineeringUnits
                                                           : UnitsIndicator::Binary);
  return 1;
}

int QueryRate(AppState& state) {
  if (!state.logger.rates124Hz) return 0;
  const int result = QueryTagged(state, "!5", "RAT", HexBefore("RAT", 2));
  if (result != 1) return result;
  uint8_t b = 0;
  if (ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, "RAT", 2), &b, 1) == 1)
    state.deployment.burstRate = b;
  return result;
}

int QueryWaves(AppState& state) {
  const int result = QueryTagged(state, "!7", "WAV", [](const ReplyBuffer& r) {
    return DigitsBeforeTag(r, "WAV", 6, false) && DigitsBeforeTag(r, "WAV", 10, true);
  });
  if (result != 1) return result;
  const size_t start = ValueStart(state.reply, "WAV", 10);
  uint8_t b[2] = {0, 0};
  const size_t got = ScanHexPairs(state.reply.Bytes(), start, b, 2);
  // Echoed as "!6" sent it: low byte first.
  const int length = got == 2 ? b[0] + b[1] * 256 : 0;
  DeploymentSettings& d = state.deployment;
  if (length == 512 || length == 1024 || length == 2048 || length == 4096 || length == 8192) {
    d.waveEnabled = true;
    d.burstSamples = length;
  } else {
    d.waveEnabled = false;
    d.burstSamples = 0;
  }
  // Six digits of hours, minutes and seconds after the length.
  const std::string_view bytes = state.reply.Bytes();
  int f[3] = {0, 0, 0};
  bool digits = start + 10 <= bytes.size();
  for (size_t i = 0; digits && i < 6; ++i)
    if (bytes[start + 4 + i] < '0' || bytes[start + 4 + i] > '9') digits = false;
  if (digits) {
    for (int i = 0; i < 3; ++i)
      f[i] = (bytes[start + 4 + 2 * i] - '0') * 10 + (bytes[start + 5 + 2 * i] - '0');
    // Only a period a clock can hold is taken (24:00:00 is a whole day).
    const bool fullDay = f[0] == 24 && f[1] == 0 && f[2] == 0;
    if (fullDay || (f[0] < 24 && f[1] < 60 && f[2] < 60)) d.burstPeriod = MakeClock(f[0], f[1], f[2]);
  }
  return result;
}

int QueryHeight(AppState& state) {
  if (!QueryTagged(state, "!Z", "LHT", HexBefore("LHT", 16))) return 0;
  const size_t tag = state.reply.Find("LHT");
  if (tag < 16) return 0;
  uint8_t b[8] = {};
  const std::string_view bytes = state.reply.Bytes();
  for (size_t i = 0; i < 8; ++i) {
    const int hi = HexDigit(bytes[tag - 16 + 2 * i]);
    const int lo = HexDigit(bytes[tag - 15 + 2 * i]);
    if (hi < 0 || lo < 0) return 0;
    b[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[i];
  double height = 0.0;
  static_assert(sizeof(height) == sizeof(bits));
  std::memcpy(&height, &bits, sizeof(height));
  // A height that is no number would poison every later computation.
  if (!std::isfinite(height)) return 0;
  state.deployment.loggerHeight = height;
  return 1;
}

int QueryMemoryTest(AppState& state) {
  Write(state, "!U02!T");
  DelayMs(state, 120);
  Write(state, "!T00");
  const size_t n = ReadReply(state, 40, LineWith(""));
  state.query.memoryTestPassed = n >= 4 && state.reply.Contains("0102");
  if (state.query.memoryTestPassed) return 1;
  // Four hex digits are an answer ("not passed"); nothing, or noise, is none.
  const std::string_view reply = state.reply.Bytes();
  size_t digits = 0;
  for (char c : reply) digits = std::isxdigit(static_cast<unsigned char>(c)) ? digits + 1 : (digits >= 4 ? digits : 0);
  return digits >= 4 ? -1 : 0;
}

int QueryCardFile(AppState& state) {
  Write(state, Format("!GCC%08d", state.query.cardFileNumber));
  return ReadReply(state, 300) > 0 ? 1 : 0;
}

int QueryMetaTable(AppState& state) {
  const unsigned table = static_cast<unsigned>(state.query.metaTableNumber) & 0xFF;
  Write(state, Format(state.logger.cardProtocolLevel < 4 ? "!X01%02X" : "!X04%02X", table));
  std::string text;
  uint8_t block[17];
  bool ended = false;
  for (int reads = 0; reads < 100 && text.size() < 16384 && !ended; ++reads) {
    // A read ends at the ETX rather than waiting for sixteen bytes that never come.
    const size_t n = LinkReadUntil(state, state.loggerLink, block, 16, [](const uint8_t* data, size_t count) {
      const void* etx = std::memchr(data, 0x03, count);
      return etx ? static_cast<size_t>(static_cast<const uint8_t*>(etx) - data) + 1 : size_t{0};
    });
    for (size_t i = 0; i < n && text.size() < 16384; ++i) {
      if (block[i] == 0x03) {
        ended = true;
        break;
      }
      text.push_back(static_cast<char>(block[i]));
    }
  }
  state.query.metaTable = std::move(text);
  return ended ? 1 : 0;
}

int QueryOptode(AppState& state) {
  Write(state, "!300000");
  const uint8_t bytes[3] = {'~', static_cast<uint8_t>(state.query.sensorAddress), 0x01};
  LinkWriteBytes(state, state.loggerLink, bytes, 3);
  DelayMs(state, 500);
  return ReadReply(state, 120, LineWith("")) > 0 ? 1 : 0;
}

// Pairs in front of a tag into block[first..first+count-1].
void TaggedPairs(AppState& state, const char* command, const char* tag, uint8_t* block, size_t first,
                 size_t count) {
  QueryTagged(state, command, tag);
  ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, tag, 2 * count), block + first, count);
}

int QueryParameterBlock(AppState& state) {
  const int length = std::clamp(state.logger.parameterBlockLength, 2, 255);
  const size_t L = static_cast<size_t>(length);
  if (!state.logger.microchipLogger) {
    state.query.fetchRetryCount = 5;
    while (state.query.fetchRetryCount > 0) {
      --state.query.fetchRetryCount;
      const size_t n = ReadMemory(state, 0x00020000u, 0x00020000u + static_cast<uint32_t>(L), state.reply.Data(),
                                  L + 1);
      state.reply.length = n;
      if (n == L + 1 && Sum8(state.reply.Data(), L) == state.reply.bytes[L]) return 1;
    }
    state.ui.MessageBox(Tr(state, "Unable to verify logging parameters"), Tr(state, "Get QN-730 Parameters"),
                        MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    return 0;
  }
  std::array<uint8_t, 256> block{};
  const LoggerInfo& info = state.logger;
  if (info.conventionalThresholding) TaggedPairs(state, "!L", "THR", block.data(), 15, 8);
  if (CommGet(state, 28)) {
    const DeploymentSettings& d = state.deployment;
    block[15] |= static_cast<uint8_t>((state.query.statusByte & 1) + (d.powerKeptOn ? 128 : 0) +
                                      (d.sixHzMode ? 64 : 0));
  }
  if (info.averaging != 0) TaggedPairs(state, "X", "BST", block.data(), 23, 2);
  if (info.externalDataConnector) {
    if (info.commands12Level < 1)
      TaggedPairs(state, "!M", "BAU", block.data(), 25, 1);
    else if (state.deployment.realTimeOutput)
      block[25] = 13;
  }
  if (info.powerSaveThresholding) TaggedPairs(state, "!P", "PSP", block.data(), 26, 3);
  if (info.hysteresis) TaggedPairs(state, "!O", "HYS", block.data(), 29, 2);
  block[L - 1] = static_cast<uint8_t>(kTableSum - Sum8(block.data(), L - 1));
  state.reply.Assign(block.data(), L);
  return 1;
}

int QueryFetch(AppState& state) {
  int expected = 8;
  const std::string command = FetchCommand(state, true, expected);
  state.query.fetchExpectedLength = expected;
  Write(state, command);
  DelayMs(state, ReadingDelayMs(state));
  bool got = false;
  const ReadCompletion complete = FetchCompletion(state, static_cast<size_t>(expected));
  for (state.query.fetchRetryCount = 10; state.query.fetchRetryCount > 0 && !got;) {
    --state.query.fetchRetryCount;
    const size_t n = ReadReply(state, 300, complete);
    got = (n >= 1 && n <= static_cast<size_t>(expected)) || state.reply.Contains("FET");
  }
  if (!got) return 0;
  if (!state.query.binaryOutput) {
    // The text reply ends with CR LF.
    state.reply.length -= std::min<size_t>(state.reply.length, 2);
    state.reply.bytes[state.reply.length] = 0;
  }
  return 1;
}

// The averaging length as the setup programs it: "W0100" with averaging off,
// else the averaging period in readings (six a second, or the burst rate on
// 1/2/4 Hz loggers), low byte first. Not the length query 17 read back: that
// takes the first pair as the high byte, so sending it back would swap the
// logger's two bytes.
// Empty when the command is not for this logger.
std::string AveragingLengthCommand(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!d.averagingEnabled) return info.microchipLogger && info.averaging == 0 ? std::string() : "W0100";
  // A burst rate that was never read counts as the 2 Hz a program starts with.
  const int rate = info.rates124Hz ? (d.burstRate > 0 ? d.burstRate : 2) : 6;
  const long readings = std::clamp<long>(static_cast<long>(std::max(d.averagingPeriod, 1)) * rate, 0, 0xFFFF);
  return Format("W%02X%02X", static_cast<unsigned>(readings & 0xFF), static_cast<unsigned>(readings >> 8));
}

int StartFetch(AppState& state) {
  QueryState& q = state.query;
  if (q.repeatFetchMarked && state.linkActivity > 0) return 1;
  if (!ConnectLogger(state)) {
    state.fetchWindow.text = Tr(state, "Unable to communicate with logger");
    return 1;
  }
  int expected = 8;
  const std::string command = FetchCommand(state, false, expected);
  q.fetchExpectedLength = expected;
  const bool averaging = state.fetchWindow.employAveraging;
  if (averaging) {
    const std::string setLength = AveragingLengthCommand(state);
    if (!setLength.empty()) {
      Write(state, setLength);
      DelayMs(state, 50);  // the pause that follows every setup command
    }
    Write(state, "FAB");
  } else {
    Write(state, command);
  }
  q.fetchPollCount = (ReadingDelayMs(state) + 999) / 1000 + 3;
  if (averaging && state.deployment.averagingEnabled) q.fetchPollCount += std::max(0, state.deployment.averagingLength);
  q.fetchAccumulatedLength = 0;
  state.reply.Clear();
  state.fetchWindow.progressMax = q.fetchPollCount;
  state.fetchWindow.progressPosition = 0;
  return 1;
}

int PollFetch(AppState& state) {
  QueryState& q = state.query;
  ReplyBuffer& r = state.reply;
  size_t accumulated = static_cast<size_t>(std::clamp<int>(q.fetchAccumulatedLength, 0, ReplyBuffer::kCapacity));
  const size_t room = std::min<size_t>(300, ReplyBuffer::kCapacity - accumulated);
  ReadCompletion complete;
  if (EngineeringUnitsOutput(state)) {
    // The record may have begun in an earlier poll.
    const size_t back = std::min<size_t>(accumulated, 4);
    const uint8_t* from = r.Data() + accumulated - back;
    complete = [from, back](const uint8_t*, size_t count) -> size_t {
      const size_t fet = View(from, back + count).find("FET\r\n");
      return fet == std::string_view::npos ? 0 : fet + 5 - back;
    };
  } else {
    complete = BlockOf(static_cast<size_t>(std::max(q.fetchExpectedLength, 1)));
  }
  const size_t n = room > 0 ? LinkReadUntil(state, state.loggerLink, r.Data() + accumulated, room, complete) : 0;
  accumulated += n;
  r.length = accumulated;
  r.bytes[accumulated] = 0;
  q.fetchAccumulatedLength = static_cast<int>(accumulated);
  if (EngineeringUnitsOutput(state)) {
    const size_t fet = r.Find("FET\r\n");
    if (fet != std::string_view::npos) {
      r.length = fet + 3;
      r.bytes[r.length] = 0;
      return 1;
    }
  } else if (n >= static_cast<size_t>(std::max(q.fetchExpectedLength, 1))) {
    return 1;
  }
  if (r.Contains("Busy")) {
    q.fetchAccumulatedLength = 0;
    return 1;
  }
  if (accumulated > 2043) {
    r.Clear();
    q.fetchAccumulatedLength = 0;
  }
  return 0;
}

}  // namespace

int CommGet(AppState& state, int code) {
  switch (code) {
    case 0: return ConnectLogger(state);
    case 1: return QueryTagged(state, "B", "CTD", DigitsBefore("CTD", 12));
    case 2: return QueryTagged(state, "C", "CSP", DigitsBefore("CSP", 6));
    case 3: return QueryTagged(state, "D", "CST", DigitsBefore("CST", 12));
    case 4: return QueryTagged(state, "E", "CET", DigitsBefore("CET", 12));
    case 6: return QueryTagged(state, "G", "CDP", HexBefore("CDP", 8));
    case 7: return QueryFetch(state);
    case 9: return QueryStatus(state);
    case 10: return ReadCalibration(state);
    case 16: return GetConfigTable(state);  // single-channel recorders: one channel, no table
    case 17: return QueryAveraging(state);
    case 20: return QueryParameterBlock(state);
    case 21: return QueryBattery(state);
    case 26: return QueryErase(state);
    case 27: return QueryMinimumVersion(state);
    case 28: return QueryStartCharacteristic(state);
    case 30: return QueryRate(state);
    case 31: return QueryWaves(state);
    case 32: return QueryHeight(state);
    case 33: return QueryMemoryTest(state);
    case 35: return QueryCardFile(state);
    case 36: return QueryMetaTable(state);
    case 38: return QueryOptode(state);
    case 39: return StartFetch(state);
    case 40: return PollFetch(state);
    default:
      state.ui.MessageBox(Tr(state, "Unknown CommGet command"), Tr(state, "DEBUG"), MessageButtons::Ok,
                          MessageIcon::None, MessageAnswer::Ok);
      return 0;
  }
}

}  // namespace tmv
