// tmv-cli --json through a pseudo-terminal: the output of each family reads
// back as the documented object.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using Sim = tmv::test::SimProcess;

// One JSON object on one line, as every --json command prints.
bool OneObjectLine(const std::string& out) {
  return out.size() > 2 && out.front() == '{' && out.substr(out.size() - 2) == "}\n" &&
         out.find('\n') == out.size() - 1;
}

TEST(JsonE2E, LinkAndModelCommandsPrintTheirDocumentedObjects) {
  Sim sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());

  const auto id = RunCli({"--port", sim.path(), "identify", "--json"});
  ASSERT_EQ(id.status, 0) << id.err;
  EXPECT_EQ(id.out, "{\"model\":\"QN-760\",\"firmware_version\":6.1,\"serial_number\":12345,\"port\":\"" +
                        sim.path() + "\",\"baud\":19200}\n");

  const auto status = RunCli({"--port", sim.path(), "status", "--json"});
  ASSERT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out, "{\"code\":0,\"text\":\"Not Enabled\"}\n");

  const auto caps = RunCli({"--port", sim.path(), "capabilities", "--json"});
  ASSERT_EQ(caps.status, 0) << caps.err;
  EXPECT_TRUE(OneObjectLine(caps.out)) << caps.out;
  EXPECT_NE(caps.out.find("\"averaging\":true"), std::string::npos) << caps.out;
  EXPECT_NE(caps.out.find("\"sd_memory_card\":true"), std::string::npos) << caps.out;

  const auto config = RunCli({"--port", sim.path(), "config", "--json"});
  ASSERT_EQ(config.status, 0) << config.err;
  EXPECT_TRUE(OneObjectLine(config.out)) << config.out;
  EXPECT_NE(config.out.find("\"channel_count\":4,"), std::string::npos) << config.out;
  EXPECT_TRUE(std::regex_search(config.out, std::regex(R"("latency_ms":\d+,"reading_time_ms":\d+)"))) << config.out;

  const auto cal = RunCli({"--port", sim.path(), "calibration", "--json"});
  ASSERT_EQ(cal.status, 0) << cal.err;
  EXPECT_TRUE(OneObjectLine(cal.out)) << cal.out;
  // Four numbers per channel, in the C form.
  EXPECT_TRUE(std::regex_search(
      cal.out, std::regex(R"("number":1,"label":"[^"]+","unit":"[^"]+","coefficients":\[(-?[0-9.e+-]+,){3}-?[0-9.e+-]+\])")))
      << cal.out;

  const auto deployment = RunCli({"--port", sim.path(), "deployment", "--json"});
  ASSERT_EQ(deployment.status, 0) << deployment.err;
  EXPECT_TRUE(OneObjectLine(deployment.out)) << deployment.out;
  EXPECT_EQ(deployment.out.rfind("{\"status_code\":0,\"status\":\"Not Enabled\",\"deployment_read\":true,", 0), 0u)
      << deployment.out;
  EXPECT_TRUE(std::regex_search(deployment.out, std::regex(R"("start_time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")")))
      << deployment.out;
  EXPECT_TRUE(std::regex_search(deployment.out, std::regex(R"("sampling_period_s":\d+,)"))) << deployment.out;

  const auto card = RunCli({"--port", sim.path(), "card", "--json"});
  ASSERT_EQ(card.status, 0) << card.err;
  EXPECT_EQ(card.out,
            "{\"complete\":true,\"size_kb\":1941504,\"type\":\"SD 2GB\",\"first_file\":\"00000001\","
            "\"last_file\":\"00000004\"}\n");
}

}  // namespace
