#pragma once
// The command exchange: tagged queries, tables with acknowledgements and the
// 165 checksum, memory reads, and the numbered query set CommGet.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/SerialPort.h"

namespace tmv {

struct AppState;

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kTableSum = 165;

// The one reply buffer every exchange overwrites: 2048 bytes and a NUL.
struct ReplyBuffer {
  static constexpr size_t kCapacity = 2048;
  std::array<uint8_t, kCapacity + 1> bytes{};
  size_t length = 0;  // bytes held (may include NULs in binary replies)

  void Clear();
  void SetText(std::string_view text);
  // Stores bytes (cut to capacity) and terminates them.
  void Assign(const uint8_t* data, size_t count);
  std::string_view Bytes() const { return {reinterpret_cast<const char*>(bytes.data()), length}; }
  // Text up to the first NUL, as a C reader of the buffer would see it.
  std::string_view Text() const;
  // Searches all bytes held, so a NUL early in a binary reply hides nothing.
  bool Contains(std::string_view needle) const;
  size_t Find(std::string_view needle) const;  // npos when absent
  uint8_t* Data() { return bytes.data(); }
};

// Counters and bytes kept between queries.
struct QueryState {
  int fetchExpectedLength = 0;
  int fetchAccumulatedLength = 0;
  int fetchPollCount = 0;
  int fetchRetryCount = 0;
  int loggerStatus = 0;     // query 9: 0..8
  int statusDetail = 0;
  int statusByte = 0;       // query 28
  int optionByte = 0;       // query 28
  int startByte = 0;        // query 28: the first start-characteristic byte as the logger holds it
  int fetchSelector = 0;    // text fetch selector ("F%02X")
  bool binaryOutput = true; // fetches in binary form
  bool repeatFetchMarked = false;
  double batteryVolts = 0.0;          // query 21
  bool memoryTestPassed = false;      // query 33
  std::string metaTable;              // query 36
  int progressValue = 0;              // query 26 sets 101 when the reply is neither

  // Arguments of the queries that take one.
  int cardFileNumber = 0;   // query 35: "!GCC%08d"
  int metaTableNumber = 0;  // query 36: "!X01%02X" / "!X04%02X"
  int sensorAddress = 0;    // query 38: the byte after "~"
  // The table of the last successful verified write (-1 none), so that the
  // pair 04 and 05 can report together.
  int lastVerifiedTable = -1;
};

// The status texts of query 9, codes 0..8 ("Memory Error" for any other code).
const char* LoggerStatusText(int code);

// "%02X" of every byte, upper case.
std::string HexBytes(const uint8_t* data, size_t count);
uint8_t Sum8(const uint8_t* data, size_t count);

// Bounded readers of reply text, as the "%2X" and "%s" conversions read it.
// Whitespace is skipped first; pos moves past what was read; a NUL ends the text.
bool ScanHex2(std::string_view text, size_t& pos, int& value);
size_t ScanHexPairs(std::string_view text, size_t pos, uint8_t* out, size_t count);  // pairs read
bool ScanWord(std::string_view text, size_t& pos, std::string& word, size_t maxLength = 63);
bool ScanFloat(std::string_view text, size_t& pos, float& value);
bool ScanInt(std::string_view text, size_t& pos, int& value);
// Where the values of a tagged reply start: valueChars in front of the tag
// when the reply holds that many there, otherwise at the start of the reply
// (a late byte from an earlier exchange then cannot shift the values).
size_t ValueStart(const ReplyBuffer& reply, std::string_view tag, size_t valueChars);

// Completions that end a read as soon as its reply is in (see ReadCompletion).
// A text line holding `text` (any line when empty): complete at the line end
// after it. A logger that ends no line leaves the read to its time-out.
ReadCompletion LineWith(std::string_view text);
// A block of count bytes; bytes that came with it are taken too, so that a
// block longer than announced is seen rather than left for the next read.
ReadCompletion BlockOf(size_t count);
// An ACK, or failing one a NAK (with the error code in front of it).
ReadCompletion AckOrNak();
// A table header: the echoed command and its two count digits, or the
// logger's "Unknown command" line.
ReadCompletion TableHeader(std::string_view command);

int QueryTagged(AppState& state, std::string_view command, std::string_view tag);
// As above, but an attempt counts only when `complete` accepts the reply too:
// a reply whose values were cut off (the rest still on the way) is asked for again.
int QueryTagged(AppState& state, std::string_view command, std::string_view tag,
                const std::function<bool(const ReplyBuffer&)>& complete);
// count characters of hex digits (or decimal digits) right in front of the tag.
bool DigitsBeforeTag(const ReplyBuffer& reply, std::string_view tag, size_t count, bool hex);
// dest receives the data bytes and the checksum byte; a table longer than
// destSize fails (0). dataCount, when given, receives the byte count N.
int ReadTable(AppState& state, std::string_view command, uint8_t* dest, size_t destSize,
              size_t* dataCount = nullptr);
int SendTable(AppState& state, std::string_view command, size_t count, uint8_t* data);
int WaitAck(AppState& state);
// dest must hold expected + 1 bytes (a NUL follows the bytes read).
size_t ReadMemory(AppState& state, uint32_t start, uint32_t end, uint8_t* dest, size_t expected);
// "I" + end address + start address, four bytes each, least significant first.
std::string MemoryReadCommand(uint32_t start, uint32_t end);
void SendAck(AppState& state);
int CommGet(AppState& state, int code);

// The texts a verified table write reports.
struct TableMessages {
  const char* sendError;
  const char* retrieveError;
  const char* compareError;
  const char* success;  // nullptr: nothing shown
  bool messageBox;      // shown in a "Configuration" box with a stop icon
};
// nullptr for a table without messages.
const TableMessages* TableMessagesFor(int table);

// The table write with verification: send, read back, compare, and the table's messages.
int WriteTableVerified(AppState& state, int table, const uint8_t* data, size_t count);

}  // namespace tmv
