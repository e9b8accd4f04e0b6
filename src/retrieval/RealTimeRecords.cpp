#include "retrieval/RealTimeRecords.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tmv {

namespace {

constexpr size_t kSeparator = 3;
constexpr size_t kTagLength = 3;
constexpr size_t kTimeField = 6;

bool TagKind(const uint8_t* p, RealTimeRecord::Kind& kind) {
  if (std::memcmp(p, "TIM", 3) == 0) kind = RealTimeRecord::Kind::Timed;
  else if (std::memcmp(p, "BST", 3) == 0) kind = RealTimeRecord::Kind::BurstTimed;
  else if (std::memcmp(p, "SEQ", 3) == 0) kind = RealTimeRecord::Kind::BurstSequence;
  else return false;
  return true;
}

bool IsTag(const uint8_t* p) {
  RealTimeRecord::Kind k;
  return TagKind(p, k);
}

int BcdValue(uint8_t b) {
  if ((b >> 4) > 9 || (b & 15) > 9) return -1;
  return (b >> 4) * 10 + (b & 15);
}

// A time a logger clock can hold; anything else is a broken record whose
// checksum matched by chance.
bool PlausibleBcdTime(const uint8_t* t) {
  int v[6];
  for (int i = 0; i < 6; ++i)
    if ((v[i] = BcdValue(t[i])) < 0) return false;
  return v[1] >= 1 && v[1] <= 12 && v[2] >= 1 && v[2] <= 31 && v[3] < 24 && v[4] < 60 && v[5] < 60;
}

void Drop(ReceiveBuffer& b, size_t count, RecordCounters* counters, bool junk) {
  count = std::min(count, b.fill);
  std::memmove(b.bytes.data(), b.bytes.data() + count, b.fill - count);
  b.fill -= count;
  if (junk && counters) counters->droppedBytes += count;
  // A pause at or before the new front has nothing left before it.
  size_t kept = 0;
  for (size_t i = 0; i < b.pauseCount; ++i)
    if (b.pauses[i] > count) b.pauses[kept++] = b.pauses[i] - count;
  b.pauseCount = kept;
}

bool PauseInside(const ReceiveBuffer& b, size_t from, size_t to) {
  for (size_t i = 0; i < b.pauseCount; ++i)
    if (b.pauses[i] > from && b.pauses[i] < to) return true;
  return false;
}

bool PauseAt(const ReceiveBuffer& b, size_t at) {
  for (size_t i = 0; i < b.pauseCount; ++i)
    if (b.pauses[i] == at) return true;
  return false;
}

// A run of zeros that begins in the record's last bytes and runs on for one
// or two more holds a whole separator that did not come after the record:
// the record ate the first zeros of the next separator (whose tag was then
// damaged, or the check for an embedded record would have caught it).
bool SeparatorStartsInside(const ReceiveBuffer& b, size_t tag, size_t end) {
  size_t inside = 0;
  while (end - inside > tag + kTagLength && b.bytes[end - 1 - inside] == 0) ++inside;
  size_t after = 0;
  while (end + after < b.fill && b.bytes[end + after] == 0) ++after;
  return inside > 0 && after > 0 && after < kSeparator && end + after < b.fill && inside + after >= kSeparator;
}

// Where, inside [from, to), a complete separator and tag begin; `to` when none.
// A record that holds the next one's separator was broken off.
size_t EmbeddedRecordStart(const ReceiveBuffer& b, size_t from, size_t to) {
  for (size_t p = from; p < to && p + kSeparator + kTagLength <= b.fill; ++p)
    if (b.bytes[p] == 0 && b.bytes[p + 1] == 0 && b.bytes[p + 2] == 0 && IsTag(&b.bytes[p + 3])) return p;
  return to;
}

// Whether the bytes from p to the buffer's end could begin a separator and
// tag that the next read completes.
bool PartialRecordStart(const ReceiveBuffer& b, size_t p) {
  static const char* const kTags[] = {"TIM", "BST", "SEQ"};
  for (const char* tag : kTags) {
    bool match = true;
    for (size_t i = p; i < b.fill && match; ++i) {
      const size_t k = i - p;
      match = k < kSeparator ? b.bytes[i] == 0 : b.bytes[i] == static_cast<uint8_t>(tag[k - kSeparator]);
    }
    if (match) return true;
  }
  return false;
}

// One binary record from the buffer front. false: wait for more bytes.
bool NextBinary(ReceiveBuffer& b, int channels, std::vector<RealTimeRecord>& out, RecordCounters* counters) {
  const uint8_t* bytes = b.bytes.data();
  size_t zero = 0;
  while (zero < b.fill && bytes[zero] != 0) ++zero;
  if (zero == b.fill) {  // no separator at all: everything is junk
    Drop(b, b.fill, counters, true);
    return false;
  }
  size_t tag = zero;
  while (tag < b.fill && bytes[tag] == 0) ++tag;
  // Junk before the separator goes; the separator (three zeros of it) stays.
  const size_t keepFrom = tag - std::min<size_t>(tag - zero, kSeparator);
  if (tag + kTagLength > b.fill) {
    Drop(b, keepFrom, counters, true);
    return false;
  }
  RealTimeRecord r;
  if (!TagKind(&bytes[tag], r.kind)) {
    Drop(b, tag, counters, true);
    return true;
  }
  const size_t readings = r.kind == RealTimeRecord::Kind::Timed ? static_cast<size_t>(channels) : 2;
  const size_t length = kTagLength + kTimeField + 3 * readings + 1;  // tag to checksum
  if (tag + length > b.fill) {
    Drop(b, keepFrom, counters, true);
    // A record never fills the buffer; if it would, it cannot be one.
    if (b.fill == ReceiveBuffer::kCapacity) Drop(b, b.fill, counters, true);
    return false;
  }
  // Bytes from both sides of a pause are not one record: the logger lost
  // some of this one, and the rest came from the next.
  if (PauseInside(b, tag, tag + length)) {
    if (counters) ++counters->badChecksums;
    Drop(b, tag + kTagLength, counters, true);
    return true;
  }
  // A record broken off just before the next one's separator ends in that
  // separator's first zeros: decide once the next bytes tell, unless the line
  // fell quiet right after it (the logger sends a separator with its record).
  if (b.fill < ReceiveBuffer::kCapacity && !PauseAt(b, tag + length))
    for (size_t p = std::max(tag + 1, b.fill - std::min(b.fill, kSeparator + kTagLength - 1)); p < tag + length; ++p)
      if (PartialRecordStart(b, p)) {
        Drop(b, keepFrom, counters, true);
        return false;
      }
  unsigned sum = 0;
  for (size_t i = tag; i < tag + length - 1; ++i) sum += bytes[i];
  const uint8_t* time = &bytes[tag + kTagLength];
  const bool timed = r.kind != RealTimeRecord::Kind::BurstSequence;
  const bool embedded =
      EmbeddedRecordStart(b, tag + 1, tag + length) != tag + length ||
      (!PauseAt(b, tag + length) && SeparatorStartsInside(b, tag, tag + length));
  if ((sum & 0xFF) != bytes[tag + length - 1] || (timed && !PlausibleBcdTime(time)) || embedded) {
    if (counters) ++counters->badChecksums;
    Drop(b, tag + kTagLength, counters, true);
    return true;
  }
  if (timed) r.time = TimeFromBcd(time);
  else r.sequence = time[0] << 8 | time[1];
  const uint8_t* v = time + kTimeField;
  for (size_t i = 0; i < readings; ++i, v += 3)
    r.raw.push_back(static_cast<uint32_t>(v[0]) << 16 | static_cast<uint32_t>(v[1]) << 8 | v[2]);
  out.push_back(std::move(r));
  if (counters) {
    ++counters->accepted;
    counters->droppedBytes += zero;
  }
  Drop(b, tag + length, counters, false);
  return true;
}

// Reads an unsigned decimal of exactly `digits` digits.
bool Digits(std::string_view s, size_t at, size_t digits, int& value) {
  if (at + digits > s.size()) return false;
  value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

bool ParseEngineering(std::string_view text, int channels, RealTimeRecord& r) {
  r.engineering = true;
  size_t at = 3;
  if (at >= text.size() || text[at] != ' ') return false;
  ++at;
  size_t fieldEnd = text.find(' ', at);
  if (fieldEnd == std::string_view::npos) return false;
  const std::string_view field = text.substr(at, fieldEnd - at);
  if (r.kind == RealTimeRecord::Kind::BurstSequence) {
    if (field.empty() || field.size() > 8) return false;
    std::string f(field);
    char* end = nullptr;
    const long seq = std::strtol(f.c_str(), &end, 16);
    if (*end != '\0') return false;
    r.sequence = static_cast<int>(seq);
  } else {
    int v[6];
    if (field.size() != 12) return false;
    for (int i = 0; i < 6; ++i)
      if (!Digits(field, static_cast<size_t>(2 * i), 2, v[i])) return false;
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 59) return false;
    r.time.year = static_cast<uint16_t>(2000 + v[0]);
    r.time.month = static_cast<uint16_t>(v[1]);
    r.time.day = static_cast<uint16_t>(v[2]);
    r.time.hour = static_cast<uint16_t>(v[3]);
    r.time.minute = static_cast<uint16_t>(v[4]);
    r.time.second = static_cast<uint16_t>(v[5]);
  }
  const size_t wanted = r.kind == RealTimeRecord::Kind::Timed ? static_cast<size_t>(channels) : 2;
  std::string rest(text.substr(fieldEnd));
  const char* p = rest.c_str();
  for (;;) {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    char* end = nullptr;
    const double value = std::strtod(p, &end);
    if (end == p) return false;
    r.values.push_back(value);
    p = end;
  }
  return r.values.size() == wanted;
}

// One engineering-units record ("... FET\r\n"). false: wait for more bytes.
bool NextEngineering(ReceiveBuffer& b, int channels, std::vector<RealTimeRecord>& out, RecordCounters* counters) {
  const std::string_view text(reinterpret_cast<const char*>(b.bytes.data()), b.fill);
  const size_t fet = text.find("FET\r\n");
  if (fet == std::string_view::npos) {
    // A buffer full of text without an end is not a record; keep its tail only.
    if (b.fill == ReceiveBuffer::kCapacity) Drop(b, b.fill - 4, counters, true);
    return false;
  }
  // The record starts at the last tag before its end: anything earlier is junk.
  size_t start = std::string_view::npos;
  for (size_t p = 0; p + 3 <= fet; ++p)
    if (IsTag(&b.bytes[p])) start = p;
  RealTimeRecord r;
  const size_t end = fet + 5;
  if (start == std::string_view::npos || !TagKind(&b.bytes[start], r.kind) ||
      !ParseEngineering(text.substr(start, fet - start), channels, r)) {
    if (counters) ++counters->badChecksums;
    Drop(b, end, counters, true);
    return true;
  }
  out.push_back(std::move(r));
  if (counters) {
    ++counters->accepted;
    counters->droppedBytes += start;
  }
  Drop(b, end, counters, false);
  return true;
}

}  // namespace

void ReceiveBuffer::MarkPause() {
  if (fill == 0 || (pauseCount > 0 && pauses[pauseCount - 1] == fill)) return;
  if (pauseCount == kMaxPauses) {
    std::copy(pauses.begin() + 1, pauses.end(), pauses.begin());
    --pauseCount;
  }
  pauses[pauseCount++] = fill;
}

size_t TimedRecordLength(int channels) { return 3 * static_cast<size_t>(std::max(channels, 0)) + 13; }

size_t RealTimeReadLength(const ReceiveBuffer& buffer, int channels, bool engineering) {
  const size_t n = static_cast<size_t>(std::max(channels, 0));
  const size_t record = engineering ? 7 * n + 23 : TimedRecordLength(channels);
  return std::min(record, buffer.Free());
}

void ExtractRecords(ReceiveBuffer& buffer, int channels, bool engineering, std::vector<RealTimeRecord>& out,
                    RecordCounters* counters) {
  buffer.fill = std::min(buffer.fill, ReceiveBuffer::kCapacity);
  while (buffer.fill > 0) {
    const bool more = engineering ? NextEngineering(buffer, channels, out, counters)
                                  : NextBinary(buffer, channels, out, counters);
    if (!more) break;
  }
}

std::vector<uint8_t> EncodeBinaryRecord(const RealTimeRecord& r) {
  std::vector<uint8_t> s;
  s.reserve(kSeparator + kTagLength + kTimeField + 3 * r.raw.size() + 1);
  for (size_t i = 0; i < kSeparator; ++i) s.push_back(0);
  const char* tag = r.kind == RealTimeRecord::Kind::Timed ? "TIM"
                    : r.kind == RealTimeRecord::Kind::BurstTimed ? "BST" : "SEQ";
  for (size_t i = 0; i < kTagLength; ++i) s.push_back(static_cast<uint8_t>(tag[i]));
  std::array<uint8_t, 6> field{};
  if (r.kind == RealTimeRecord::Kind::BurstSequence) {
    field[0] = static_cast<uint8_t>(r.sequence >> 8);
    field[1] = static_cast<uint8_t>(r.sequence);
  } else {
    field = TimeToBcd(r.time);
  }
  for (uint8_t b : field) s.push_back(b);
  for (uint32_t raw : r.raw) {
    s.push_back(static_cast<uint8_t>(raw >> 16));
    s.push_back(static_cast<uint8_t>(raw >> 8));
    s.push_back(static_cast<uint8_t>(raw));
  }
  unsigned sum = 0;
  for (size_t i = kSeparator; i < s.size(); ++i) sum += s[i];
  s.push_back(static_cast<uint8_t>(sum));
  return s;
}

}  // namespace tmv
