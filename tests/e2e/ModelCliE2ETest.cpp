// The logger-model commands of tmv-cli against the emulated logger on a
// pseudo-terminal, for each generation of logger: a newer multi-channel
// logger with numbered tables, an older multi-channel logger that keeps its
// configuration and calibration in memory, and an older single-channel recorder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using tmv::test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Generation {
  const char* model;
  const char* firstChannel;  // label of channel 1 in the listings
  int channels;
};

class ModelCommands : public ::testing::TestWithParam<Generation> {};

TEST_P(ModelCommands, ListingsCalibrationWriteAndHistoryWorkThroughThePty) {
  const Generation g = GetParam();
  SimProcess sim({"--model", g.model});
  ASSERT_FALSE(sim.path().empty());
  const std::string port = sim.path();

  const auto caps = RunCli({"--port", port, "capabilities"});
  EXPECT_EQ(caps.status, 0) << caps.err;
  EXPECT_TRUE(Has(caps.out, "Firmware version: ")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Memory size: ")) << caps.out;
  EXPECT_TRUE(Has(caps.out, "Number of channels of data: " + std::to_string(g.channels))) << caps.out;
  EXPECT_FALSE(Has(caps.out, "Logger not yet configured")) << caps.out;

  const auto config = RunCli({"--port", port, "config"});
  EXPECT_EQ(config.status, 0) << config.err;
  EXPECT_TRUE(Has(config.out, g.firstChannel)) << config.out;
  EXPECT_TRUE(Has(config.out, "Latency: ")) << config.out;

  const auto latency = RunCli({"--port", port, "latency"});
  EXPECT_EQ(latency.status, 0) << latency.err;
  EXPECT_TRUE(Has(latency.out, "Latency: ")) << latency.out;

  // A write is refused unless confirmed, and junk never reaches the logger.
  const auto unconfirmed = RunCli({"--port", port, "calibration", "set", "--channel", "1", "0.1", "2", "0", "0"});
  EXPECT_NE(unconfirmed.status, 0);
  const auto junk = RunCli({"--yes", "--port", port, "calibration", "set", "--channel", "1", "0.1", "x", "0", "0"});
  EXPECT_NE(junk.status, 0);

  const auto set = RunCli({"--yes", "--port", port, "calibration", "set", "--channel", "1", "0.0125", "1.5", "0",
                           "0.25"});
  EXPECT_EQ(set.status, 0) << set.err << set.out;
  const auto read = RunCli({"--port", port, "calibration"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_TRUE(Has(read.out, g.firstChannel)) << read.out;
  EXPECT_TRUE(Has(read.out, "0.012500000000000 1.500000000000000 0.000000000000000 0.250000000000000")) << read.out;

  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("tmv-e2e-" + std::string(g.model) + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const auto history = RunCli({"--port", port, "calibration", "history"});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(history.status, 0) << history.err;
  EXPECT_TRUE(Has(history.out, "TMV Data Logger: " + std::string(g.model))) << history.out;
  EXPECT_TRUE(Has(history.out + history.err, "Calibration history written to file ")) << history.err;
  bool written = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    written = written || entry.path().extension() == ".his";
  EXPECT_TRUE(written);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Generations, ModelCommands,
                         ::testing::Values(Generation{"QN-760", " 1 - Conductivity", 4},
                                           Generation{"QN-730", " 1 - Conductivity", 3},
                                           Generation{"KM-3170", " 1 - Temperature", 1}),
                         [](const auto& info) {
                           std::string name = info.param.model;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

TEST(ModelCommandsNewer, LatencyAndDefaultBaudAreWrittenAndReadBack) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());
  const auto set = RunCli({"--port", sim.path(), "latency", "500"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_TRUE(Has(set.out, "Latency update successful")) << set.out;
  const auto shown = RunCli({"--port", sim.path(), "latency"});
  EXPECT_EQ(shown.out, "Latency: 500 ms\n");

  const auto baud = RunCli({"--port", sim.path(), "default-baud"});
  EXPECT_EQ(baud.status, 0) << baud.err;
  EXPECT_TRUE(Has(baud.out, "Default baud rate: ")) << baud.out;

  const auto older = RunCli({"--port", sim.path(), "config"});
  EXPECT_TRUE(Has(older.out, "Latency: 500 ms")) << older.out;
}

TEST(ModelCommandsOlder, DefaultBaudIsRefusedWithItsMessage) {
  SimProcess sim({"--model", "QN-730"});
  ASSERT_FALSE(sim.path().empty());
  const auto baud = RunCli({"--port", sim.path(), "default-baud"});
  EXPECT_NE(baud.status, 0);
  EXPECT_TRUE(Has(baud.err, "The default baudrate for this type of logger cannot be set by this command.")) << baud.err;
}

}  // namespace
