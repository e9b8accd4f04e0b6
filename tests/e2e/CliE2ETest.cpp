// tmv-cli against the emulated logger on a pseudo-terminal: the whole path
// through termios, as a user at a shell would run it.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::RunCli;
using Sim = tmv::test::SimProcess;

TEST(CliE2E, IdentifyStatusAndClockThroughThePseudoTerminal) {
  Sim sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());

  const auto id = RunCli({"--port", sim.path(), "identify"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_EQ(id.out, "TMV Data Logger: QN-760  6.10 012345 connected on " + sim.path() + " at 19200 baud.\n");

  const auto status = RunCli({"--port", sim.path(), "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out, "Not Enabled\n");

  const auto clock = RunCli({"--port", sim.path(), "clock"});
  EXPECT_EQ(clock.status, 0) << clock.err;
  EXPECT_TRUE(std::regex_match(clock.out, std::regex(R"(20\d\d/[A-Z][a-z][a-z]/\d\d \d\d:\d\d:\d\d\n)")))
      << clock.out;
  EXPECT_EQ(clock.out.find("2000/Jan/01"), std::string::npos);  // not the fallback of a bad reply

  // The device given is the COM number the settings keep for it.
  const auto ports = RunCli({"--port", sim.path(), "ports"});
  EXPECT_EQ(ports.status, 0) << ports.err;
  EXPECT_NE(ports.out.find("COM1  " + sim.path() + "\n"), std::string::npos) << ports.out;
  const auto portsJson = RunCli({"--port", sim.path(), "ports", "--json"});
  EXPECT_EQ(portsJson.status, 0) << portsJson.err;
  EXPECT_NE(portsJson.out.find(R"({"port":"COM1","device":")" + sim.path() + "\""), std::string::npos) << portsJson.out;
}

TEST(CliE2E, LoggerAtAnotherRateIsFoundByTheBaudCycle) {
  Sim sim({"--model", "KM-3170", "--baud", "2400", "--serial", "4711"});
  ASSERT_FALSE(sim.path().empty());
  const auto id = RunCli({"--port", sim.path(), "identify"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_NE(id.out.find("KM-3170"), std::string::npos) << id.out;
  EXPECT_NE(id.out.find(" 004711 connected on " + sim.path() + " at 2400 baud."), std::string::npos) << id.out;
}

TEST(CliE2E, FailuresNameTheDeviceOnStandardErrorWithNonZeroStatus) {
  const auto missing = RunCli({"--port", "/dev/tmv-no-such-port", "identify"});
  EXPECT_NE(missing.status, 0);
  EXPECT_TRUE(missing.out.empty());
  EXPECT_EQ(missing.err,
            "Unable to open /dev/tmv-no-such-port - bad port setting or another application holds the port.\n");

  Sim silent({"--model", "QN-760", "--faults", "silent"});
  ASSERT_FALSE(silent.path().empty());
  const auto none = RunCli({"--port", silent.path(), "status"});
  EXPECT_NE(none.status, 0);
  EXPECT_TRUE(none.out.empty());
  EXPECT_EQ(none.err, "Unable to Communicate with Logger on " + silent.path() + "\n");
}

TEST(CliE2E, HelpListsTheCommandsAndUsageErrorsAreRefused) {
  const auto help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* name : {"identify", "status", "clock"}) EXPECT_NE(help.out.find(name), std::string::npos) << name;
  const auto commandHelp = RunCli({"clock", "--help"});
  EXPECT_EQ(commandHelp.status, 0);
  EXPECT_NE(commandHelp.out.find("Usage: tmv-cli"), std::string::npos);
  // help2man reads the version from here for the man page.
  const auto version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tmv-cli ") + TMV_VERSION_TEXT + "\n");
  EXPECT_NE(help.out.find("--version"), std::string::npos);
  // The program's Latin-1 texts reach the terminal as UTF-8.
  const auto limits = RunCli({"limits"});
  EXPECT_EQ(limits.status, 0) << limits.err;
  EXPECT_NE(limits.out.find("Concentration(\xC2\xB5Mol/l)"), std::string::npos) << limits.out;
  EXPECT_NE(RunCli({"no-such-command"}).status, 0);
  EXPECT_NE(RunCli({"--baud", "1234", "identify"}).status, 0);
}

}  // namespace
