// Faults found in the landed link, logger model and shell, each pinned down
// on the emulated logger (or a scripted line) as a user met it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/CalibrationDialog.h"
#include "model/CapabilitiesDialogs.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/KnowLogger.h"
#include "shell/CommandGate.h"
#include "shell/CommandIds.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"

namespace tmv {
namespace {

using test::EmulatedRig;
using test::ScriptedRig;

bool Sent(EmulatedRig& rig, const std::string& prefix) {
  for (const auto& c : rig.emulator.CommandLog())
    if (c.rfind(prefix, 0) == 0) return true;
  return false;
}

std::vector<std::string> ListingOf(AppState& state) {
  CurrentCapabilitiesDialog dialog;
  dialog.Open(state);
  return dialog.Lines();
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Fault 2: the configuration was read before the capabilities, with a stale
// RS command level.
TEST(LoggerPreparation, BasicLevelTideRecorderGetsItsFixedLayoutAndTheNextLoggerItsTable) {
  EmulatedRig rig("KZM-5170");
  ASSERT_EQ(PassCommandGate(rig.state, cmd::kSetDefaultBaud), GateResult::Pass);
  DefaultBaudDialog dialog;
  ASSERT_TRUE(dialog.Open(rig.state)) << rig.ui.LastStatus();
  EXPECT_EQ(rig.state.logger.rsCommandLevel, 1);
  EXPECT_EQ(rig.state.logger.channelCount, 2);
  EXPECT_EQ(ChannelLabel(rig.state.logger, 0), " 1 - Temperature");
  EXPECT_EQ(ChannelLabel(rig.state.logger, 1), " 2 - Pressure");
  EXPECT_FALSE(Sent(rig, "R0100"));  // it has no table 01
  EXPECT_EQ(dialog.currentDefault, 19200);

  // Another logger on the same line: learnt afresh, in order.
  rig.emulator.profile() = sim::ProfileByName("QN-760");
  ASSERT_EQ(PassCommandGate(rig.state, cmd::kSetDefaultBaud), GateResult::Pass);
  DefaultBaudDialog again;
  ASSERT_TRUE(again.Open(rig.state));
  EXPECT_EQ(rig.state.logger.channelCount, 4);
  EXPECT_EQ(ChannelLabel(rig.state.logger, 0), " 1 - Conductivity");
  EXPECT_FALSE(rig.state.logger.configurationStale);
  ASSERT_EQ(KnowLogger(rig.state, kKnowCalibration), KnowResult::Known);
  CalibrationDialogModel calibration(rig.state, 0);
  EXPECT_EQ(calibration.Channels(), 4);
  EXPECT_EQ(calibration.RowLabel(3), " 4 - Dissolved O2");
}

// Fault 3: single-channel recorders were read through a configuration image
// they do not have.
TEST(LoggerPreparation, SingleChannelRecorderHasOneChannelAndNoTable) {
  EmulatedRig rig("KM-3170");
  ASSERT_EQ(PassCommandGate(rig.state, cmd::kCurrentCapabilities), GateResult::Pass);
  const auto lines = ListingOf(rig.state);
  EXPECT_TRUE(Has(lines, "Number of channels of data: 1"));
  EXPECT_TRUE(Has(lines, "Channel types: T00 "));
  EXPECT_TRUE(Has(lines, "Latency: 0 ms"));
  EXPECT_TRUE(Has(lines, "Readingtime: 0 ms"));
  EXPECT_FALSE(Sent(rig, "I"));  // no memory read for an image

  rig.ui.boxes.clear();
  EXPECT_EQ(PassCommandGate(rig.state, cmd::kSetDefaultBaud), GateResult::Refused);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "The default baudrate for this type of logger cannot be set by this command.");
  EXPECT_EQ(rig.ui.boxes[0].caption, "Default baudrate");
}

// Fault 4: a reply cut off in its version or serial number was taken as the
// identity ("QN-760 6.00 000000").
TEST(ConnectCutOffIdentity, RestOfASplitReplyIsWaitedForAndAShortOneNeverIdentifies) {
  EXPECT_TRUE(IdentityComplete("\r\nTMV QN-760 6.10 012345\r\n"));
  EXPECT_TRUE(IdentityComplete("TMV QN-760 6.10 012345"));
  EXPECT_FALSE(IdentityComplete("TMV QN-760 6."));
  EXPECT_FALSE(IdentityComplete("TMV QN-760 6"));
  EXPECT_FALSE(IdentityComplete("TMV QN-760 6.10 0123"));
  EXPECT_FALSE(IdentityComplete("TMV QN-760"));

  ScriptedRig split;
  split.line.OnParts("A", {{"TMV QN-760 6.", 0}, {"10 012345\r\n", 300}});
  ASSERT_EQ(ConnectLogger(split.state), 1);
  EXPECT_FLOAT_EQ(split.state.logger.firmwareVersion, 6.10f);
  EXPECT_EQ(split.state.logger.serialNumber, 12345);

  ScriptedRig cut;
  cut.line.On("A", "TMV QN-760 6.");
  EXPECT_EQ(ConnectLogger(cut.state), 0);
  EXPECT_FALSE(cut.state.logger.connected);
  EXPECT_EQ(cut.state.logger.serialNumber, 0);

  EmulatedRig rig;
  rig.faults().splitReplies = true;
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_EQ(rig.state.logger.serialNumber, 12345);
  EXPECT_FLOAT_EQ(rig.state.logger.firmwareVersion, 6.10f);
}

// Fault 6: without OEM support the option bytes go out as zeros, so the
// switches claimed a change that never reached the logger.
TEST(OptionSwitches, WithoutOemSupportNeitherSwitchClaimsAChange) {
  EmulatedRig rig("QN-760");
  rig.profile().capabilities[0] &= ~(1u << 15);
  ASSERT_EQ(PassCommandGate(rig.state, cmd::kSamplingLed), GateResult::Pass);
  ASSERT_FALSE(rig.state.logger.oemSupport);
  SamplingLedDialog led;
  led.Open(rig.state);
  EXPECT_FALSE(led.buttonVisible);
  EXPECT_EQ(led.text, "This logger has the sampling LED\nIt cannot be switched without OEM support");
  EXPECT_FALSE(led.Button(rig.state));
  CommunicationFormatDialog format;
  format.Open(rig.state);
  EXPECT_FALSE(format.buttonVisible);
  EXPECT_FALSE(format.Button(rig.state));
  EXPECT_FALSE(Sent(rig, "!1"));
}

// Fault 7: the "Z" reply was recognised only at fixed offsets.
TEST(CalibrationSingleChannel, ZReplyBehindNoiseIsFoundByItsTag) {
  EmulatedRig rig("KM-3170");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowConfiguration), KnowResult::Known);
  rig.faults().junkBeforeReply = 5;
  ASSERT_EQ(ReadCalibration(rig.state), 1) << rig.ui.LastStatus();
  EXPECT_EQ(rig.state.calibration.origin, CalibrationOrigin::Read);
  EXPECT_EQ(rig.state.calibration.coefficients[0], (CoefficientRow{0.0035 * 1.001, -0.00025, 2.7e-06, 2.3e-08}));
  EXPECT_EQ(rig.ui.LastStatus(), "Calibration Coefficients read successfully");
}

// Fault 1 on a single-channel recorder: no reply read means no write.
TEST(CalibrationSingleChannel, UnreadableRecorderIsNeverWritten) {
  EmulatedRig rig("KM-3170");
  ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity | kKnowConfiguration), KnowResult::Known);
  rig.faults().silent = true;
  EXPECT_EQ(KnowLogger(rig.state, kKnowCalibration), KnowResult::CalibrationUnreadable);
  rig.faults().silent = false;
  EXPECT_EQ(rig.state.calibration.origin, CalibrationOrigin::Unreadable);
  EXPECT_EQ(WriteCalibration(rig.state), 0);
  EXPECT_FALSE(Sent(rig, "Y"));
}

}  // namespace
}  // namespace tmv
