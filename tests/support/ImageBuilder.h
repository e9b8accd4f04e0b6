#pragma once
// Builds logger memory images word by word for the decoder and file tests.
#include <cstdint>
#include <string>
#include <vector>

#include "model/Conversion.h"
#include "model/LoggerInfo.h"
#include "retrieval/MemoryImage.h"
#include "shell/AppState.h"

namespace tmv::test {

struct ImageBuilder {
  std::vector<uint8_t> bytes;

  explicit ImageBuilder(int headerLength = 0) : bytes(static_cast<size_t>(headerLength), 0xEE) {}
  ImageBuilder& Word(uint32_t raw) {
    bytes.push_back(static_cast<uint8_t>(raw >> 16));
    bytes.push_back(static_cast<uint8_t>(raw >> 8));
    bytes.push_back(static_cast<uint8_t>(raw));
    return *this;
  }
  // "TIM", 2024-03-15 12:00:00 and so on; fields as decimal numbers.
  ImageBuilder& Stamp(const char* code, int yy, int mo, int dd, int hh, int mi, int ss) {
    Word(0);
    for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<uint8_t>(code[i]));
    for (int v : {yy, mo, dd, hh, mi, ss}) bytes.push_back(static_cast<uint8_t>((v / 10) << 4 | (v % 10)));
    return *this;
  }
  void Into(MemoryImage& image) const {
    std::copy(bytes.begin(), bytes.end(), image.Bytes());
    image.imageLength = static_cast<int>(bytes.size());
  }
};

// A newer three-channel logger (temperature, pressure, conductivity) with
// default coefficients and a 48-byte memory header.
inline void MakeThreeChannelLogger(AppState& state) {
  LoggerInfo& l = state.logger;
  l.model = "QN-760";
  l.firmwareVersion = 6.5f;
  l.serialNumber = 123;
  l.microchipLogger = true;
  l.parameterBlockLength = 48;
  l.channelCount = 3;
  l.channelTypes = {};
  l.channelTypes[0] = 'T';
  l.channelTypes[1] = 'P';
  l.channelTypes[2] = 'C';
  ApplyDefaultCoefficients(l, state.calibration);
  DeploymentSettings& d = state.retrieval.data.deployment;
  d.startTime = LoggerTime{2024, 3, 0, 15, 12, 0, 0, 0};
  d.endTime = LoggerTime{2024, 4, 0, 15, 12, 0, 0, 0};
  d.samplingPeriod = MakeClock(0, 0, 30);
}

}  // namespace tmv::test
