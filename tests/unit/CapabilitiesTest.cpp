// Capability assessment, the RS advanced table, the default baud rate and the
// real-time output capacity.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "shell/CommandIds.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

bool Sent(EmulatedRig& rig, const std::string& command) {
  const auto& log = rig.emulator.CommandLog();
  return std::find(log.begin(), log.end(), command) != log.end();
}

void Connect(EmulatedRig& rig) { ASSERT_EQ(ConnectLogger(rig.state), 1); }

TEST(CapabilityDecoding, BaudCapabilityFallsBackOnRatesOutsideTheTables) {
  int minimum = 0, express = 0;
  DecodeBaudCapability(0x3001C200, minimum, express);
  EXPECT_EQ(minimum, 4800);
  EXPECT_EQ(express, 115200);
  DecodeBaudCapability(0x0500E100, minimum, express);
  EXPECT_EQ(minimum, 2400);  // 500 is no baud-table rate
  EXPECT_EQ(express, 57600);
  DecodeBaudCapability(0, minimum, express);
  EXPECT_EQ(minimum, 2400);
  EXPECT_EQ(express, 19200);
}

TEST(CapabilityDecoding, DerivedRetrievalModesFollowFirmwareBoundaries) {
  auto mode = [](const char* model, float fw) {
    LoggerInfo info;
    info.model = model;
    info.firmwareVersion = fw;
    ResetCapabilities(info);
    DeriveCapabilities(info, false, false);
    return info.retrievalMode;
  };
  EXPECT_EQ(mode("KM-3170", 1.4f), 1);
  EXPECT_EQ(mode("KM-3170", 2.0f), 4);
  EXPECT_EQ(mode("KM-3170", 2.5f), 3);
  EXPECT_EQ(mode("KM-3170", 3.1f), 4);
  EXPECT_EQ(mode("KM-3170", 3.15f), 3);
  EXPECT_EQ(mode("PM-3170", 2.9f), 3);
  EXPECT_EQ(mode("QN-730", 2.44f), 2);
  // Single-precision 2.45 lies just above the decimal 2.45.
  EXPECT_EQ(mode("QN-730", 2.45f), 3);
  EXPECT_EQ(mode("KZM-5170", 4.0f), 1);

  LoggerInfo km;
  km.model = "KM-3170";
  km.firmwareVersion = 3.2f;
  DeriveCapabilities(km, false, false);
  EXPECT_EQ(km.averaging, 0);
  EXPECT_TRUE(km.memory4Meg);
  LoggerInfo qn;
  qn.model = "QN-760-SB";
  qn.firmwareVersion = 4.3f;
  DeriveCapabilities(qn, true, true);
  EXPECT_FALSE(qn.memory4Meg);  // the logger reported its memory
  EXPECT_EQ(qn.expressDownloadBaud, 0);  // radio modems
  EXPECT_TRUE(qn.conventionalThresholding && qn.powerSaveThresholding && qn.sixHzProfiling);
  EXPECT_TRUE(qn.frontendThroughComms && qn.reportsBatteryVoltage);
  EXPECT_EQ(qn.averaging, 1);
}

TEST(CapabilityAssessment, MicrochipLoggerReportsEveryCapabilityOnce) {
  EmulatedRig rig("QN-760");
  Connect(rig);
  AssessCapabilities(rig.state);
  const LoggerInfo& info = rig.state.logger;
  EXPECT_FALSE(info.capabilitiesStale);
  EXPECT_EQ(info.memoryTypeCode, 4);
  EXPECT_TRUE(info.memory8Meg);
  EXPECT_EQ(info.parameterBlockLength, 48);
  EXPECT_EQ(info.retrievalMode, 3);
  EXPECT_TRUE(info.conventionalThresholding && info.powerSaveThresholding);
  EXPECT_EQ(info.rsCommandLevel, 31);
  EXPECT_EQ(info.expressDownloadBaud, 115200);
  EXPECT_EQ(info.commands12Level, 2);
  EXPECT_EQ(info.engineeringUnitsLevel, 1);
  EXPECT_TRUE(info.minimumProgramVersionValid);
  EXPECT_EQ(info.rsAdvanced, 5u);  // table 07
  EXPECT_TRUE(rig.ui.StatusSeen("Assessing logger capabilities "));
  // Trusted until the logger changes: nothing more is asked.
  const size_t asked = rig.emulator.CommandLog().size();
  AssessCapabilities(rig.state);
  EXPECT_EQ(rig.emulator.CommandLog().size(), asked);
}

TEST(CapabilityAssessment, CapabilityZeroOfZeroLeavesEveryResetValue) {
  EmulatedRig rig("QN-760");
  rig.profile().capabilities[0] = 0;
  Connect(rig);
  rig.state.logger.averaging = 7;
  rig.state.logger.parameterBlockLength = 99;
  rig.state.logger.rsAdvanced = 0xFF;
  AssessCapabilities(rig.state);
  LoggerInfo fresh;
  const LoggerInfo& info = rig.state.logger;
  EXPECT_EQ(info.averaging, 0);
  EXPECT_EQ(info.parameterBlockLength, 30);
  EXPECT_EQ(info.retrievalMode, 1);
  EXPECT_EQ(info.minimumDefaultBaud, 2400);
  EXPECT_EQ(info.expressDownloadBaud, 0);
  EXPECT_EQ(info.rsAdvanced, 4u);
  EXPECT_FALSE(info.sixHzProfiling || info.frontendThroughComms || info.memory4Meg || info.memory8Meg);
  EXPECT_FALSE(Sent(rig, "!001"));
}

TEST(CapabilityAssessment, MultiChannelLoggersReportFromAbove425Only) {
  for (float fw : {4.25f, 4.26f}) {
    EmulatedRig rig("QN-730");
    rig.profile().firmwareVersion = fw;
    rig.profile().capabilities[0] = 0;
    Connect(rig);
    AssessCapabilities(rig.state);
    EXPECT_EQ(Sent(rig, "!000"), fw > 4.25f) << fw;
    // Derived capabilities still apply to these older loggers.
    EXPECT_EQ(rig.state.logger.retrievalMode, 3);
    EXPECT_EQ(rig.state.logger.averaging, 1);
  }
}

TEST(CapabilityAssessment, FailedFurtherQueryKeepsResetValueAndSaysSo) {
  EmulatedRig rig("QN-760");
  rig.profile().capabilities.erase(13);
  Connect(rig);
  AssessCapabilities(rig.state);
  EXPECT_TRUE(rig.ui.StatusSeen("Read capabilities error"));
  EXPECT_EQ(rig.state.logger.minimumDefaultBaud, 2400);
  EXPECT_EQ(rig.state.logger.expressDownloadBaud, 0);
  EXPECT_EQ(rig.state.logger.commands12Level, 2);  // the assessment went on
}

TEST(CapabilityAssessment, NewerMinimumVersionWarnsAndModemControlAddsTheMenuItem) {
  EmulatedRig rig("QN-760");
  rig.profile().minimumProgramVersion = 6.20f;
  rig.profile().capabilities[0] |= 1u << 20;
  rig.profile().capabilities[21] = 1;
  Connect(rig);
  AssessCapabilities(rig.state);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].caption, "Minimum program version");
  EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Stop);
  EXPECT_EQ(rig.ui.boxes[0].text.rfind("The logger connected to this computer is supported\nby a minimum version of "
                                       "the TMV Data Loggers program of 6.20.\n\nThis version of the program is 6.16.\n\n",
                                       0),
            0u);
  EXPECT_NE(rig.ui.boxes[0].text.find("Unpredictable results may be obtained if you continue."), std::string::npos);
  EXPECT_EQ(rig.ui.insertedCommands[cmd::kModemSleep], "Modem slee&p");

  // A logger asking for exactly this version is not warned about.
  rig.profile().minimumProgramVersion = 6.16f;
  rig.profile().capabilities[21] = 2;
  rig.state.logger.capabilitiesStale = true;
  AssessCapabilities(rig.state);
  EXPECT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.insertedCommands.count(cmd::kModemSleep), 0u);
}

TEST(RsAdvanced, CardProtocolLevelOneMeansAsciiSerialCardAndTableSevenIsWrittenVerified) {
  EmulatedRig rig("QN-760");
  Connect(rig);
  rig.state.logger.cardProtocolLevel = 1;
  rig.state.logger.rsCommandLevel = 0;
  EXPECT_EQ(ReadRsAdvanced(rig.state), 2);
  EXPECT_EQ(rig.state.logger.rsAdvanced, 0x0Au);
  EXPECT_EQ(WriteRsAdvanced(rig.state, 0x0B), 2);

  rig.state.logger.rsCommandLevel = kRsAdvancedCapabilities;
  EXPECT_EQ(WriteRsAdvanced(rig.state, 0x0B), 1);
  EXPECT_EQ(rig.profile().tables[7], (std::vector<uint8_t>{0x0B, 0, 0, 0}));
  EXPECT_EQ(ReadRsAdvanced(rig.state), 1);
  EXPECT_EQ(rig.state.logger.rsAdvanced, 0x0Bu);

  // Another logger answering the reconnect does not get this one's word.
  rig.profile().serialNumber = 54321;
  EXPECT_EQ(WriteRsAdvanced(rig.state, 0x05), 0);
  EXPECT_EQ(rig.profile().tables[7], (std::vector<uint8_t>{0x0B, 0, 0, 0}));

  rig.faults().badChecksum = true;
  EXPECT_EQ(ReadRsAdvanced(rig.state), 0);
}

TEST(DefaultBaud, DivisorsAndTheDivisorThatWouldDivideByZero) {
  EXPECT_EQ(DefaultBaudDivisor(19200), 13);
  EXPECT_EQ(DefaultBaudDivisor(9600), 28);
  EXPECT_EQ(DefaultBaudDivisor(1200), 238);
  EXPECT_EQ(BaudFromDivisor(28), 9600);
  EXPECT_EQ(BaudFromDivisor(254), 0);
  EXPECT_EQ(SpeedSwitchDivisor(115200), 1);
  EXPECT_EQ(SpeedSwitchDivisor(57600), 3);

  EmulatedRig rig("QN-760");
  Connect(rig);
  EXPECT_EQ(ReadDefaultBaud(rig.state), 19200);
  ASSERT_EQ(WriteDefaultBaud(rig.state, 4800), 1);
  EXPECT_EQ(rig.profile().tables[3], (std::vector<uint8_t>{58}));
  EXPECT_EQ(ReadDefaultBaud(rig.state), 4800);
  rig.profile().tables[3] = {254};
  EXPECT_EQ(ReadDefaultBaud(rig.state), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Default baudrate retrieve error");
}

TEST(RealTimeCapacity, RatesAndTheTwoRefusals) {
  const RealTimeRates rates = RequiredRealTimeRates(20, 1, false);
  EXPECT_EQ(rates.binary, 730u);
  EXPECT_EQ(rates.engineering, 2220u);
  EXPECT_EQ(RequiredRealTimeRates(24, 1, true).binary, 5100u);
  EXPECT_EQ(RequiredRealTimeRates(1, 0, false).binary, 160u);  // no division by a zero period

  EmulatedRig rig("QN-760");
  AppState& s = rig.state;
  s.logger.channelCount = 20;
  s.logger.baud = 9600;
  s.deployment.samplingPeriod = MakeClock(0, 0, 1);
  EXPECT_EQ(CheckRealTimeCapacity(s), Outcome::Done());  // real-time output off
  s.deployment.realTimeOutput = 1;
  EXPECT_EQ(CheckRealTimeCapacity(s), Outcome::Done());
  s.logger.baud = 1200;
  EXPECT_EQ(CheckRealTimeCapacity(s), Outcome::Done());  // binary fits
  s.logger.engineeringUnitsLevel = 1;
  s.deployment.optionFlags = 0x04;
  const Outcome engineering = CheckRealTimeCapacity(s);
  EXPECT_EQ(engineering.kind, OutcomeKind::Refused);
  EXPECT_NE(OutcomeText(engineering).find("Engineering units format\nrequires a default baud rate greater than 2220."),
            std::string::npos);
  s.logger.baud = 600;
  EXPECT_NE(OutcomeText(CheckRealTimeCapacity(s)).find("current Sampling Period\nrequires a default baud rate greater than 730."),
            std::string::npos);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

}  // namespace
}  // namespace tmv
