#pragma once
// Small helpers shared by the emulator's sources. The emulator keeps its own
// calendar arithmetic so that it does not share a fault with the program it
// is testing.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/LoggerTime.h"

namespace tmv::sim::detail {

// Milliseconds since 2000-01-01 00:00:00 (proleptic Gregorian).
int64_t MsSince2000(const LoggerTime& t);
LoggerTime TimeFromMs(int64_t msSince2000);
bool ValidTime(int yy, int mo, int dd, int hh, int mi, int ss);

inline uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) % 10) * 16 + v % 10); }
inline std::array<uint8_t, 6> BcdTime(const LoggerTime& t) {
  return {Bcd(t.year % 100), Bcd(t.month), Bcd(t.day), Bcd(t.hour), Bcd(t.minute), Bcd(t.second)};
}
inline void PutDouble(std::vector<uint8_t>& out, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}
inline double GetDouble(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(p[i]) << (8 * i);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
inline uint8_t Sum8(const uint8_t* p, size_t n) {
  unsigned s = 0;
  for (size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<uint8_t>(s);
}

}  // namespace tmv::sim::detail
