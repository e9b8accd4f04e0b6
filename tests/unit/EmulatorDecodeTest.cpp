// The emulated logger's own memory, logged on the virtual clock, decoded by
// the program's decoder: the two were written apart from one description of
// the memory, so agreement here is agreement on the layout.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstring>

#include "analysis/SeawaterFormulas.h"
#include "analysis/WaveAnalysis.h"
#include "files/Export.h"
#include "files/HexFile.h"
#include "retrieval/SampleDecoder.h"
#include "sim/LoggerEmulator.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class EmulatorDecodeTest : public WorkDirectoryTest {
 protected:
  void Logger(const std::string& profile) {
    emulator = std::make_unique<sim::LoggerEmulator>(sim::ProfileByName(profile));
    line = std::make_unique<sim::EmulatedSerialSystem>(*emulator, clock);
    LineSettings s;
    s.baud = emulator->profile().baud;
    s.readMultiplierMs = 1;
    port = line->Open("/dev/ttyTMV0", s);
  }
  void Send(const std::string& text) { port->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  std::string Ask(const std::string& text) {
    Send(text);
    std::string buffer(120, '\0');
    buffer.resize(port->Read(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size()));
    return buffer;
  }
  // The logger's memory into the image and its description into the state,
  // as a download and the configuration reads would leave them.
  void Retrieve(int header) {
    const sim::Profile& p = emulator->profile();
    const std::vector<uint8_t>& memory = p.dataMemory;
    const size_t length = std::min<size_t>(emulator->DataPointer(), memory.size());
    std::memcpy(state.retrieval.image.Bytes(), memory.data(), length);
    state.retrieval.image.imageLength = static_cast<int>(length);
    LoggerInfo& l = state.logger;
    l.model = p.model;
    l.firmwareVersion = p.firmwareVersion;
    l.serialNumber = p.serialNumber;
    l.microchipLogger = p.Microchip();
    l.parameterBlockLength = header;
    const std::string types = emulator->ChannelTypes();
    l.channelCount = static_cast<int>(types.size());
    for (size_t c = 0; c < types.size(); ++c) l.channelTypes[c] = static_cast<uint8_t>(types[c]);
    const auto& cal = p.calibrationHistory.back().channels;
    for (size_t c = 0; c < cal.size(); ++c) state.calibration.coefficients[c] = cal[c];
    DataSet& d = state.retrieval.data;
    d.deployment.startTime = p.deployment.startTime;
    d.deployment.samplingPeriod = MakeClock(p.deployment.periodHours, p.deployment.periodMinutes, p.deployment.periodSeconds);
    DecodeSampleStream(state, true);
  }
  int Channel(char type) const { return static_cast<int>(emulator->ChannelTypes().find(type)); }

  std::unique_ptr<sim::LoggerEmulator> emulator;
  std::unique_ptr<sim::EmulatedSerialSystem> line;
  std::unique_ptr<SerialPort> port;
};

TEST_F(EmulatorDecodeTest, StoppedDeploymentDecodesToTheSeaWithItsStamps) {
  Logger("QN-760");
  Send("J100607153000");
  Send("L100607153100M100607173100K000010");
  ASSERT_EQ(Ask("P"), "Logger status 01\r\n");
  clock.Advance(30 * 60 * 1000);
  Send("!9");
  ASSERT_EQ(Ask("T"), "Logger status 0402\r\n");
  Retrieve(48);
  const DataSet& d = state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 29 * 6 + 1);
  ASSERT_EQ(d.StampCount(), 2);
  EXPECT_EQ(d.stamps[0].type, kStampTime);
  EXPECT_EQ(d.stamps[0].sampleIndex, 0);
  EXPECT_EQ(d.stamps[0].time, (LoggerTime{2010, 6, 0, 7, 15, 31, 0, 0}));
  EXPECT_EQ(d.stamps[1].type, kStampStop);
  EXPECT_EQ(d.stamps[1].sampleIndex, d.sampleCount);
  EXPECT_EQ(SampleTime(d, 6), (LoggerTime{2010, 6, 0, 7, 15, 32, 0, 0}));
  const int t = Channel('T'), c = Channel('C'), p = Channel('P');
  ASSERT_GE(t, 0);
  for (int r = 0; r < d.sampleCount; ++r) {
    EXPECT_GT(d.Value(t, r), 5.0f);
    EXPECT_LT(d.Value(t, r), 20.0f);
    EXPECT_GT(d.Value(c, r), 30000.0f);  // uS/cm: the channel is reported as 'C'
    EXPECT_LT(d.Value(c, r), 50000.0f);
    EXPECT_GT(d.Value(p, r), 17.0f);  // 10 m of sea under the atmosphere
    EXPECT_LT(d.Value(p, r), 23.0f);
    // It is the sea: seawater's salinity, not a lake's.
    const double salinity = SalinityPss78(d.Value(c, r) / 1000.0, d.Value(t, r), d.Value(p, r) - 10.1325, 0);
    EXPECT_GT(salinity, 25.0);
    EXPECT_LT(salinity, 40.0);
  }
  EXPECT_GT(d.Minimum(p), 17.0f);
  EXPECT_LT(d.Maximum(p), 23.0f);
  EXPECT_TRUE(ui.boxes.empty());

  // Through a HEX file and back: the same values.
  const DataSet before = d;
  ASSERT_TRUE(WriteHexFile(state, Path("sea.hex")));
  ASSERT_EQ(ReadHexFile(state, 0, Path("sea.hex")), Outcome::Done());
  ASSERT_EQ(state.retrieval.data.sampleCount, before.sampleCount);
  for (int ch = 0; ch < before.channelCount; ++ch)
    for (int r = 0; r < before.sampleCount; ++r) ASSERT_EQ(state.retrieval.data.Value(ch, r), before.Value(ch, r));
}

TEST_F(EmulatorDecodeTest, WaveRecorderBurstsGoToTheirOwnSeries) {
  Logger("KZM-5170");
  Send("J100607153000");
  Send("!404");
  Send("!60002010000");  // 512 samples every hour
  Send("!Y000000000000F03F");
  Send("L100607160000M100607180000K001000");
  ASSERT_EQ(Ask("P"), "Logger status 01\r\n");
  clock.Advance(3LL * 3600 * 1000);
  ASSERT_EQ(Ask("T"), "Logger status 0400\r\n");
  state.logger.waves = true;
  state.retrieval.data.deployment.waveEnabled = true;
  state.retrieval.data.deployment.burstSamples = 512;
  std::vector<int> analysed;
  state.retrieval.hooks.analyseBurst = [&](DataSet&, int b) { analysed.push_back(b); };
  Retrieve(48);
  const DataSet& d = state.retrieval.data;
  EXPECT_EQ(d.sampleCount, 13);  // 16:00 to 18:00 every 10 minutes
  EXPECT_EQ(d.burstCount, 2);    // three bursts
  EXPECT_EQ(d.burstWords, 3 * 512);
  EXPECT_EQ(analysed, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(d.burstStartTimes[1].hour, 17);
  for (int b = 0; b <= d.burstCount; ++b) {
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < 512; ++i) {
      lo = std::min(lo, d.Burst(b)[i]);
      hi = std::max(hi, d.Burst(b)[i]);
    }
    // A swell of 0.8 m and a wind sea of 0.3 m, felt weaker 10 m down.
    EXPECT_GT(hi - lo, 0.4f) << b;
    EXPECT_LT(hi - lo, 1.2f) << b;
  }
}

// The bursts and their wave results reach the netCDF export on a burst
// dimension, reading for reading.
TEST_F(EmulatorDecodeTest, WaveRecorderExportHoldsBurstsAndWaveResults) {
  Logger("KZM-5170");
  Send("J100607153000");
  Send("!404");
  Send("!60002010000");
  Send("!Y000000000000F03F");
  Send("L100607160000M100607180000K001000");
  ASSERT_EQ(Ask("P"), "Logger status 01\r\n");
  clock.Advance(3LL * 3600 * 1000);
  ASSERT_EQ(Ask("T"), "Logger status 0400\r\n");
  state.logger.waves = true;
  state.retrieval.data.deployment.waveEnabled = true;
  state.retrieval.data.deployment.burstSamples = 512;
  InstallWaveAnalysis(state);
  Retrieve(48);
  const DataSet& d = state.retrieval.data;
  ASSERT_EQ(d.burstCount, 2);
  ASSERT_NE(WaveResults(state), nullptr);
  ASSERT_EQ(WaveResults(state)->Count(), 3);
  const ExportOutcome out = ExportDataSet(state, Path("kzm.nc"), {});
  ASSERT_TRUE(out.written) << out.error;
  int nc = -1, dim = -1, var = -1;
  ASSERT_EQ(nc_open(Path("kzm.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  size_t bursts = 0;
  ASSERT_EQ(nc_inq_dimid(nc, "burst", &dim), NC_NOERR);
  nc_inq_dimlen(nc, dim, &bursts);
  EXPECT_EQ(bursts, 3u);
  ASSERT_EQ(nc_inq_varid(nc, "burst_pressure", &var), NC_NOERR);
  std::vector<float> readings(3 * 512);
  ASSERT_EQ(nc_get_var_float(nc, var, readings.data()), NC_NOERR);
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < 512; ++i) ASSERT_EQ(readings[static_cast<size_t>(b * 512 + i)], d.Burst(b)[i]) << b << " " << i;
  ASSERT_EQ(nc_inq_varid(nc, "wave_h_third", &var), NC_NOERR);
  float h[3] = {};
  ASSERT_EQ(nc_get_var_float(nc, var, h), NC_NOERR);
  for (int b = 0; b < 3; ++b) EXPECT_EQ(h[b], WaveResults(state)->results[static_cast<size_t>(b)].hThird);
  nc_close(nc);
}

}  // namespace
}  // namespace tmv::test
