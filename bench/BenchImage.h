#pragma once
// The full 8 MiB image of a three-channel logger (temperature, pressure,
// conductivity) used by the decode and HEX benchmarks. bench/make_image.py
// makes the same bytes for the reference scripts.
#include <cstdint>

#include "model/Conversion.h"
#include "shell/AppState.h"

namespace tmv::bench {

constexpr int kBenchHeader = 48;

// Word i after the header: even (no over-range wrap), never zero.
inline uint32_t BenchWord(uint32_t i) { return (0x100000u + (i * 7919u) % 0xE00000u) & ~1u; }

inline void FillBenchImage(AppState& state) {
  LoggerInfo& l = state.logger;
  l.model = "QN-760";
  l.firmwareVersion = 6.5f;
  l.serialNumber = 123;
  l.microchipLogger = true;
  l.parameterBlockLength = kBenchHeader;
  l.channelCount = 3;
  l.channelTypes = {};
  l.channelTypes[0] = 'T';
  l.channelTypes[1] = 'P';
  l.channelTypes[2] = 'C';
  ApplyDefaultCoefficients(l, state.calibration);
  state.calibration.coefficients[1] = {-10.0, 1000.0, 0.5, 0.01};
  state.calibration.coefficients[2] = {0.0, 70.0, 0.2, 0.0};
  MemoryImage& image = state.retrieval.image;
  uint8_t* b = image.Bytes();
  for (int i = 0; i < kBenchHeader; ++i) b[i] = 0;
  const uint32_t words = (kMemoryImageSize - kBenchHeader) / 3;
  for (uint32_t i = 0; i < words; ++i) {
    const uint32_t w = BenchWord(i);
    uint8_t* p = b + kBenchHeader + 3 * i;
    p[0] = static_cast<uint8_t>(w >> 16);
    p[1] = static_cast<uint8_t>(w >> 8);
    p[2] = static_cast<uint8_t>(w);
  }
  image.imageLength = kBenchHeader + static_cast<int>(words) * 3;
  state.retrieval.data.deployment.samplingPeriod = MakeClock(0, 0, 1);
}

}  // namespace tmv::bench
