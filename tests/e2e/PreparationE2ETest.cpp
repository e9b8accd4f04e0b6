// The logger-model commands of tmv-cli against loggers that the landed
// preparation misread: a single-channel recorder without a configuration
// image, and a newer tide-and-wave recorder at the basic RS command level
// (no table 01), both on the emulator behind a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PreparationE2E, SingleChannelRecorderWithoutConfigurationImage) {
  SimProcess sim({"--model", "KM-3170"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();

  const auto caps = RunCli({"--port", port, "capabilities"});
  EXPECT_EQ(caps.status, 0) << caps.err;
  EXPECT_TRUE(Has(caps.out, "Number of channels of data: 1")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Channel types: T00 ")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Latency: 0 ms")) << caps.out;

  const auto config = RunCli({"--port", port, "config"});
  EXPECT_EQ(config.status, 0) << config.err;
  EXPECT_TRUE(Has(config.out, " 1 - Temperature")) << config.out;

  const auto baud = RunCli({"--port", port, "default-baud"});
  EXPECT_EQ(baud.status, 5);  // refused: the exit-status table's "logger refused"
  EXPECT_TRUE(Has(baud.err, "The default baudrate for this type of logger cannot be set by this command.")) << baud.err;
  EXPECT_FALSE(Has(baud.err, "Configuration Table read failed.")) << baud.err;

  const auto latency = RunCli({"--port", port, "latency", "100"});
  EXPECT_EQ(latency.status, 1);
  EXPECT_TRUE(Has(latency.err, "Unable to read current configuration table")) << latency.err;

  const auto calibration = RunCli({"--port", port, "calibration"});
  EXPECT_EQ(calibration.status, 0) << calibration.err;
  EXPECT_TRUE(Has(calibration.out, " 1 - Temperature")) << calibration.out;
}

TEST(PreparationE2E, SingleChannelCalibrationBehindNoise) {
  SimProcess sim({"--model", "KM-3170", "--faults", "junk"});
  ASSERT_FALSE(sim.path().empty());
  const auto calibration = RunCli({"--port", sim.path(), "calibration"});
  EXPECT_EQ(calibration.status, 0) << calibration.err;
  EXPECT_FALSE(Has(calibration.err, "Unable to read calibration coefficients")) << calibration.err;
  EXPECT_TRUE(Has(calibration.out, "0.003503500000000")) << calibration.out;
}

TEST(PreparationE2E, BasicLevelTideRecorderWithoutTable01) {
  SimProcess sim({"--model", "KZM-5170"});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();

  const auto caps = RunCli({"--port", port, "capabilities"});
  EXPECT_EQ(caps.status, 0) << caps.err;
  EXPECT_TRUE(Has(caps.out, "RS Commands supported at basic level")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Number of channels of data: 2")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Channel types: T00 P00 ")) << caps.out;

  const auto baud = RunCli({"--port", port, "default-baud"});
  EXPECT_EQ(baud.status, 0) << baud.err;
  EXPECT_EQ(baud.out, "Default baud rate: 19200 baud\n");
  EXPECT_FALSE(Has(baud.err, "Logger not yet configured")) << baud.err;

  const auto config = RunCli({"--port", port, "config"});
  EXPECT_EQ(config.status, 0) << config.err;
  EXPECT_TRUE(Has(config.out, " 2 - Pressure")) << config.out;

  const auto calibration = RunCli({"--port", port, "calibration"});
  EXPECT_EQ(calibration.status, 0) << calibration.err;
  EXPECT_TRUE(Has(calibration.out, " 1 - Temperature")) << calibration.out;
  EXPECT_TRUE(Has(calibration.out, " 2 - Pressure")) << calibration.out;
}

TEST(PreparationE2E, SplitIdentityIsReadWhole) {
  SimProcess sim({"--model", "QN-760", "--faults", "split"});
  ASSERT_FALSE(sim.path().empty());
  const auto id = RunCli({"--port", sim.path(), "identify"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_TRUE(Has(id.out, "QN-760  6.10 012345 connected")) << id.out;
}

}  // namespace
