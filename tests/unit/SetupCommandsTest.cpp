// The clock-set and start-characteristic setup commands.
#include <gtest/gtest.h>

#include <algorithm>

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "model/Capabilities.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

bool Sent(EmulatedRig& rig, const std::string& command) {
  const auto& log = rig.emulator.CommandLog();
  return std::find(log.begin(), log.end(), command) != log.end();
}

TEST(SetupCommands, ClockSetSendsWireTimeAndPauses) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  rig.state.deployment.loggerClock = LoggerTime{2011, 1, 0, 2, 3, 4, 5, 0};
  const int64_t before = rig.clock.Milliseconds();
  EXPECT_EQ(SendSetupCommand(rig.state, kSetupSetClock), 1);
  EXPECT_GE(rig.clock.Milliseconds() - before, 50);
  EXPECT_TRUE(Sent(rig, "J110102030405"));
  EXPECT_EQ(SendSetupCommand(rig.state, 99), 0);
}

TEST(SetupCommands, StartCharacteristicFromDeploymentAndCapabilities) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  AppState& s = rig.state;
  DeploymentSettings& d = s.deployment;
  d.startMode = 3;  // only bit 0 is the start characteristic's
  d.powerKeptOn = true;
  d.sixHzMode = true;
  d.realTimeOutput = 1;
  d.optionFlags = 0x030201;
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristic), 1);
  EXPECT_TRUE(Sent(rig, "!1E1010203"));
  EXPECT_TRUE(rig.ui.boxes.empty());

  // Without 6 Hz profiling the mode is cleared; without OEM support neither
  // real-time output nor the option bytes are sent.
  s.logger.sixHzProfiling = false;
  s.logger.oemSupport = false;
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristicRerun), 1);
  EXPECT_FALSE(d.sixHzMode);
  EXPECT_TRUE(Sent(rig, "!181000000"));

  // No "!12" command set: nothing to send.
  s.logger.commands12Level = 0;
  const size_t asked = rig.emulator.CommandLog().size();
  EXPECT_EQ(SendSetupCommand(s, kSetupStartCharacteristic), 1);
  EXPECT_EQ(rig.emulator.CommandLog().size(), asked);
}

TEST(SetupCommands, UnverifiedStartCharacteristicIsReported) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  rig.faults().silent = true;
  EXPECT_EQ(SendSetupCommand(rig.state, kSetupStartCharacteristic), 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text,
            "Start characteristic set incorrectly.\nTry again.\nContact TMV if the problem persists.");
  EXPECT_EQ(rig.ui.boxes[0].caption, "Reset Logger");
  EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace tmv
