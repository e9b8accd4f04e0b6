#pragma once
// The emulated KZM-5170 logs three bursts of 2048 readings at 4 Hz on a tide
// from 16:00 to 18:00; its memory is decoded with the wave analysis installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "analysis/WaveAnalysis.h"
#include "model/LoggerTime.h"
#include "retrieval/SampleDecoder.h"
#include "shell/AppState.h"
#include "sim/LoggerEmulator.h"

namespace tmv::test {

inline void LogKzmBurstsAndDecode(AppState& state, sim::LoggerEmulator& emulator, VirtualClock& clock) {
  sim::EmulatedSerialSystem line(emulator, clock);
  LineSettings s;
  s.baud = emulator.profile().baud;
  s.readMultiplierMs = 1;
  auto port = line.Open("/dev/ttyTMV0", s);
  for (const char* c : {"J100607153000", "!404", "!60008010000", "!Y000000000000F03F", "L100607160000M100607180000K001000", "P"})
    port->Write(reinterpret_cast<const uint8_t*>(c), std::strlen(c));
  std::string reply(120, '\0');
  reply.resize(port->Read(reinterpret_cast<uint8_t*>(reply.data()), reply.size()));
  EXPECT_EQ(reply, "Logger status 01\r\n");
  clock.Advance(3LL * 3600 * 1000);
  port->Write(reinterpret_cast<const uint8_t*>("T"), 1);  // the logger catches up with its logging
  reply.assign(120, '\0');
  reply.resize(port->Read(reinterpret_cast<uint8_t*>(reply.data()), reply.size()));
  EXPECT_EQ(reply, "Logger status 0400\r\n");
  const sim::Profile& p = emulator.profile();
  const size_t length = std::min<size_t>(emulator.DataPointer(), p.dataMemory.size());
  std::memcpy(state.retrieval.image.Bytes(), p.dataMemory.data(), length);
  state.retrieval.image.imageLength = static_cast<int>(length);
  LoggerInfo& l = state.logger;
  l.model = p.model;
  l.firmwareVersion = p.firmwareVersion;
  l.serialNumber = p.serialNumber;
  l.microchipLogger = p.Microchip();
  l.parameterBlockLength = 48;
  l.waves = true;
  l.rates124Hz = true;
  const std::string types = emulator.ChannelTypes();
  l.channelCount = static_cast<int>(types.size());
  for (size_t c = 0; c < types.size(); ++c) l.channelTypes[c] = static_cast<uint8_t>(types[c]);
  const auto& cal = p.calibrationHistory.back().channels;
  for (size_t c = 0; c < cal.size(); ++c) state.calibration.coefficients[c] = cal[c];
  DataSet& d = state.retrieval.data;
  d.deployment.startTime = p.deployment.startTime;
  d.deployment.samplingPeriod = MakeClock(0, 10, 0);
  d.deployment.waveEnabled = true;
  d.deployment.burstSamples = 2048;
  d.deployment.burstRate = 4;
  d.deployment.loggerHeight = 1.0;
  InstallWaveAnalysis(state);
  DecodeSampleStream(state, true);
}

}  // namespace tmv::test
