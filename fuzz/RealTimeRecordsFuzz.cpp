// Fuzz target: the bytes are what a logging logger sends on its real-time
// line. Byte 0 picks the channel count, the record form (binary or
// engineering units) and whether the line falls quiet after every read; the
// rest arrives in reads of the length the collector asks for, each followed
// by taking the complete records out.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "retrieval/RealTimeRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int channels = 1 + (data[0] & 0x1F) % 24;
  const bool engineering = (data[0] & 0x80) != 0;
  const bool pauses = (data[0] & 0x40) != 0;
  tmv::ReceiveBuffer buffer;
  tmv::RecordCounters counters;
  std::vector<tmv::RealTimeRecord> records;
  size_t at = 1;
  int idle = 0;
  while (at < size && idle < 2) {
    const size_t want = std::min(tmv::RealTimeReadLength(buffer, channels, engineering), size - at);
    if (want > buffer.Free()) std::abort();
    std::memcpy(buffer.bytes.data() + buffer.fill, data + at, want);
    buffer.fill += want;
    at += want;
    idle = want == 0 ? idle + 1 : 0;
    if (pauses) buffer.MarkPause();
    tmv::ExtractRecords(buffer, channels, engineering, records, &counters);
    if (buffer.fill > tmv::ReceiveBuffer::kCapacity) std::abort();
  }
  // A binary record taken in is sent again the same way by the encoder. The
  // next record's separator and tag follow it: a record ending in zeros
  // rightly waits until the next bytes show it was not broken off.
  for (const tmv::RealTimeRecord& r : records) {
    if (r.engineering) continue;
    std::vector<uint8_t> bytes = tmv::EncodeBinaryRecord(r);
    // The encoder sends zeros in the four bytes of a "SEQ" field that do not
    // hold the sequence number, whatever came in them; when those zeros make
    // a separator and tag inside the record, the record looks broken off, as
    // it should.
    if (r.kind == tmv::RealTimeRecord::Kind::BurstSequence) {
      bool separatorInside = false;
      for (size_t p = 4; p + 6 <= bytes.size(); ++p)
        if (bytes[p] == 0 && bytes[p + 1] == 0 && bytes[p + 2] == 0 &&
            (std::memcmp(&bytes[p + 3], "TIM", 3) == 0 || std::memcmp(&bytes[p + 3], "BST", 3) == 0 ||
             std::memcmp(&bytes[p + 3], "SEQ", 3) == 0))
          separatorInside = true;
      if (separatorInside) continue;
    }
    bytes.insert(bytes.end(), {0, 0, 0, 'T', 'I', 'M'});
    tmv::ReceiveBuffer again;
    if (bytes.size() > again.bytes.size()) std::abort();
    std::memcpy(again.bytes.data(), bytes.data(), bytes.size());
    again.fill = bytes.size();
    std::vector<tmv::RealTimeRecord> back;
    tmv::ExtractRecords(again, channels, false, back);
    if (back.size() != 1 || back[0].raw != r.raw || back[0].sequence != r.sequence) std::abort();
  }
  return 0;
}
