#pragma once
// The command exchange: tagged queries, tables with acknowledgements and the
// 165 checksum, memory reads, and the numbered query set CommGet.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
  int fetchSelector = 0;    // text fetch selector ("F%02X")
  bool binaryOutput = true; // fetches in binary form
  bool repeatFetchMarked = false;
  double batteryVolts = 0.0;          // query 21
  bool memoryTestPassed = false;      // query 33
  std::string metaTable;              // query 36
  int progressValue = 0;              // query 26 sets 101 when the reply is neither
};

// The status texts of query 9, codes 0..8.
const char* LoggerStatusText(int code);

// "%02X" of every byte, upper case.
std::string HexBytes(const uint8_t* data, size_t count);
uint8_t Sum8(const uint8_t* data, size_t count);

int QueryTagged(AppState& state, std::string_view command, std::string_view tag);
int ReadTable(AppState& state, std::string_view command, uint8_t* dest, size_t destSize);
int SendTable(AppState& state, std::string_view command, size_t count, uint8_t* data);
int WaitAck(AppState& state);
size_t ReadMemory(AppState& state, uint32_t start, uint32_t end, uint8_t* dest, size_t expected);
void SendAck(AppState& state);
int CommGet(AppState& state, int code);

// The table write with verification: send, read back, compare, and the table's messages.
int WriteTableVerified(AppState& state, int table, const uint8_t* data, size_t count);

}  // namespace tmv
