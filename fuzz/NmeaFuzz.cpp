// Fuzz target: the bytes are what a GPS receiver sends on the GPS link,
// arriving in reads of up to 160 bytes as the collector takes them; the
// whole input is also tried as one sentence.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ScriptedUserInterface.h"
#include "retrieval/Gps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::string position;
  (void)tmv::ParseNmeaSentence(std::string_view(text, size), position);

  tmv::ScriptedUserInterface ui;
  tmv::GpsState gps;
  size_t at = 0;
  // The first byte sets the read length, so that sentences split anywhere.
  const size_t step = size == 0 ? 1 : 1 + data[0] % 160;
  while (at < size) {
    const size_t n = std::min({step, size - at, tmv::GpsState::kCapacity - gps.fill, size_t{160}});
    tmv::FeedGpsBytes(gps, text + at, n == 0 ? 1 : n, &ui);
    at += n == 0 ? 1 : n;
    if (gps.fill > tmv::GpsState::kCapacity) std::abort();
  }
  return 0;
}
