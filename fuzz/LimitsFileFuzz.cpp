// Fuzz target: the bytes are the real-time limits file (tmv.lim), and, read
// as whole numbers, the limits a user may type into the limits dialog. Both
// must be written in a form that reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "RoundTrip.h"
#include "analysis/DerivedUnitsDialog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tmv::RealTimeLimits limits = tmv::DefaultRealTimeLimits();
  tmv::ParseRealTimeLimitsText(text, limits);
  const std::string written = tmv::RealTimeLimitsText(limits);
  tmv::RealTimeLimits again = tmv::DefaultRealTimeLimits();
  tmv::ParseRealTimeLimitsText(written, again);
  tmv::fuzz::RequireSameText(written, tmv::RealTimeLimitsText(again), "tmv.lim");

  // The dialog takes any signed number into either field.
  tmv::RealTimeLimits typed = tmv::DefaultRealTimeLimits();
  size_t at = 0;
  for (const tmv::LimitKey& k : tmv::LimitFileKeys()) {
    for (int* field : {&typed[static_cast<size_t>(k.category)].maximum, &typed[static_cast<size_t>(k.category)].minimum}) {
      if (at + sizeof(int32_t) > size) break;
      int32_t v;
      std::memcpy(&v, data + at, sizeof v);
      *field = v;
      at += sizeof v;
    }
  }
  tmv::RealTimeLimits read = tmv::DefaultRealTimeLimits();
  tmv::ParseRealTimeLimitsText(tmv::RealTimeLimitsText(typed), read);
  for (const tmv::LimitKey& k : tmv::LimitFileKeys()) {
    const auto& a = typed[static_cast<size_t>(k.category)];
    const auto& b = read[static_cast<size_t>(k.category)];
    if (a.maximum != b.maximum || a.minimum != b.minimum) {
      std::fprintf(stderr, "tmv.lim: %s=%d %d was read back as %d %d\n", k.key, a.maximum, a.minimum, b.maximum,
                   b.minimum);
      std::abort();
    }
  }
  return 0;
}
