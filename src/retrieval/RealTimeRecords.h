#pragma once
// The records a logging logger sends on its real-time line, binary and
// engineering-units forms, taken out of a small receive buffer. Pure: no I/O.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/LoggerTime.h"

namespace tmv {

struct RealTimeRecord {
  enum class Kind { Timed, BurstTimed, BurstSequence };  // "TIM", "BST", "SEQ"
  Kind kind = Kind::Timed;
  LoggerTime time{};           // TIM and BST
  int sequence = 0;            // SEQ
  std::vector<uint32_t> raw;   // binary form: N readings (TIM) or 2 (BST/SEQ)
  std::vector<double> values;  // engineering-units form
  bool engineering = false;
};

struct ReceiveBuffer {
  static constexpr size_t kCapacity = 250;
  static constexpr size_t kMaxPauses = 8;
  std::array<uint8_t, kCapacity> bytes{};
  size_t fill = 0;
  // Offsets where the line fell quiet for a whole tick (a read brought
  // nothing): the bytes before one came before the pause. A logger sends each
  // record in one piece, so a record never spans a pause. Oldest first.
  std::array<size_t, kMaxPauses> pauses{};
  size_t pauseCount = 0;
  size_t Free() const { return kCapacity - fill; }
  // Marks a pause after the bytes buffered so far.
  void MarkPause();
};

struct RecordCounters {
  uint64_t accepted = 0;
  uint64_t droppedBytes = 0;  // bytes thrown away while looking for a record
  uint64_t badChecksums = 0;  // candidates rejected (checksum, impossible time, broken off)
};

// Binary record lengths, separator to checksum: 3N + 13 for "TIM", 19 for
// "BST" and "SEQ" (two readings whatever N is).
size_t TimedRecordLength(int channels);
constexpr size_t kBurstRecordLength = 19;

// Bytes the next read may take: min(one record length, free space).
size_t RealTimeReadLength(const ReceiveBuffer& buffer, int channels, bool engineering);

// Takes every complete record out of the buffer, oldest first. Junk before a
// separator is dropped; a candidate with a bad checksum, an impossible time or
// another record's separator inside it is dropped and reception resynchronises
// on the next separator. An incomplete record stays for the next read.
void ExtractRecords(ReceiveBuffer& buffer, int channels, bool engineering, std::vector<RealTimeRecord>& out,
                    RecordCounters* counters = nullptr);

// The binary form of a record as the logger sends it (separator to checksum):
// the emulator and the tests build their streams with it.
std::vector<uint8_t> EncodeBinaryRecord(const RealTimeRecord& record);

}  // namespace tmv
