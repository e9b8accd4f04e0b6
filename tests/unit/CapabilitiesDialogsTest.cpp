// The dialog models of the logger's capabilities: default baud rate,
// communication format, sampling LED and the "Current Capabilities" listing.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "model/CapabilitiesDialogs.h"
#include "shell/CommandGate.h"
#include "shell/CommandIds.h"
#include "model/ConfigTable.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

void Prepare(EmulatedRig& rig) {
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  ASSERT_EQ(GetConfigTable(rig.state), 1);
}

bool Sent(EmulatedRig& rig, const std::string& command) {
  const auto& log = rig.emulator.CommandLog();
  return std::find(log.begin(), log.end(), command) != log.end();
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(DefaultBaudDialog, OffersRatesFromTheMinimumAndMovesTheLinkToTheNewDefault) {
  EmulatedRig rig("QN-760");
  rig.profile().capabilities[13] = 0x3001C200;  // minimum 4800
  Prepare(rig);
  DefaultBaudDialog dialog;
  ASSERT_TRUE(dialog.Open(rig.state));
  EXPECT_EQ(dialog.rateTexts, (std::vector<std::string>{"4800", "9600", "19200"}));
  EXPECT_EQ(dialog.currentDefault, 19200);
  EXPECT_EQ(dialog.selected, 2);
  dialog.Select(1);
  ASSERT_TRUE(dialog.Ok(rig.state));
  EXPECT_FALSE(dialog.open);
  EXPECT_EQ(rig.profile().tables[3], (std::vector<uint8_t>{28}));
  EXPECT_TRUE(Sent(rig, "!E1C"));
  EXPECT_TRUE(rig.state.logger.connected);
  EXPECT_EQ(rig.state.logger.baud, 9600);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(DefaultBaudDialog, OlderLoggerAndFailedWriteAreReported) {
  EmulatedRig older("QN-730");
  Prepare(older);
  DefaultBaudDialog dialog;
  EXPECT_EQ(PassCommandGate(older.state, cmd::kSetDefaultBaud), GateResult::Refused);
  ASSERT_EQ(older.ui.boxes.size(), 1u);
  EXPECT_EQ(older.ui.boxes[0].text, "The default baudrate for this type of logger cannot be set by this command.");
  EXPECT_EQ(older.ui.boxes[0].caption, "Default baudrate");
  EXPECT_EQ(older.ui.boxes[0].icon, MessageIcon::Stop);

  EmulatedRig rig("QN-760");
  Prepare(rig);
  ASSERT_TRUE(dialog.Open(rig.state));
  rig.faults().nakWrites = true;
  dialog.Select(0);
  EXPECT_FALSE(dialog.Ok(rig.state));
  EXPECT_EQ(rig.ui.boxes.back().text, "Attempt to change default baudrate has failed.");
  EXPECT_FALSE(Sent(rig, "!E76"));  // no speed switch after a failed write
  EXPECT_EQ(rig.state.logger.baud, 19200);
}

TEST(CommunicationFormatDialog, TextsFollowTheOptionByteAndTheButtonSwitchesTheLogger) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  CommunicationFormatDialog dialog;
  dialog.Open(rig.state);
  EXPECT_EQ(dialog.text, "This logger is set to output fetched data and real-time data in BINARY FORMAT");
  EXPECT_EQ(dialog.buttonText, "Set the output to ENGINEERING UNITS");
  EXPECT_TRUE(dialog.buttonVisible);
  ASSERT_TRUE(dialog.Button(rig.state));
  EXPECT_TRUE(Sent(rig, "!100040000"));
  EXPECT_EQ(dialog.text, "This logger is set to output fetched data and real-time data in ENGINEERING UNITS");
  EXPECT_EQ(dialog.buttonText, "Set the output to BINARY FORMAT");
  // The logger echoes all four start-characteristic bytes; the option byte is the second.
  rig.state.query.optionByte = 0;
  ASSERT_EQ(CommGet(rig.state, 28), 1);
  EXPECT_EQ(rig.state.query.optionByte & 0x04, 0x04);

  rig.state.logger.externalDataConnector = false;
  dialog.Refresh(rig.state);
  EXPECT_EQ(dialog.text, "This logger is set to output fetched data in\nENGINEERING UNITS");
  rig.state.query.optionByte = 0;
  dialog.Refresh(rig.state);
  EXPECT_EQ(dialog.text, "This logger is set to output fetched data in\nBINARY FORMAT");

  rig.state.logger.engineeringUnitsLevel = 0;
  dialog.Refresh(rig.state);
  EXPECT_EQ(dialog.text, "This logger can only output fetched data and real-time data in binary format");
  EXPECT_FALSE(dialog.buttonVisible);
  EXPECT_FALSE(dialog.Button(rig.state));
}

TEST(CommunicationFormatDialog, SwitchKeepsTheLoggersOwnStartCharacteristic) {
  EmulatedRig rig("QN-760");
  // Set to start now with the sensors kept powered; the program composes another deployment meanwhile.
  rig.profile().deployment.startCharacteristic = {0x81, 0x00, 0x00, 0x00};
  Prepare(rig);
  rig.state.deployment.startMode = 0;
  rig.state.deployment.powerKeptOn = false;
  CommunicationFormatDialog dialog;
  dialog.Open(rig.state);
  rig.state.deployment.powerKeptOn = false;
  ASSERT_TRUE(dialog.Button(rig.state));
  EXPECT_TRUE(Sent(rig, "!181040000"));
  EXPECT_EQ(rig.state.deployment.startMode, 0u);  // the composed deployment is left as it was
  EXPECT_FALSE(rig.state.deployment.powerKeptOn);
}

TEST(CommunicationFormatDialog, FailedSwitchLeavesTheProgramsOptionByteAlone) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  CommunicationFormatDialog dialog;
  dialog.Open(rig.state);
  rig.faults().silent = true;
  EXPECT_FALSE(dialog.Button(rig.state));
  EXPECT_EQ(rig.state.query.optionByte & 0x04, 0);
  EXPECT_EQ(dialog.buttonText, "Set the output to ENGINEERING UNITS");
}

TEST(SamplingLedDialog, TogglesBitThreeOnlyOnLoggersWithTheLed) {
  EmulatedRig rig("QN-760");
  Prepare(rig);
  SamplingLedDialog dialog;
  dialog.Open(rig.state);
  EXPECT_EQ(dialog.text, "This logger has the sampling LED\nDISABLED");
  EXPECT_EQ(dialog.buttonText, "Enable the sampling LED");
  ASSERT_TRUE(dialog.Button(rig.state));
  EXPECT_TRUE(Sent(rig, "!100080000"));
  EXPECT_EQ(dialog.text, "This logger has the sampling LED\nENABLED");
  EXPECT_EQ(dialog.buttonText, "Disable the sampling LED");

  rig.state.logger.commands12Level = 1;
  dialog.Refresh(rig.state);
  EXPECT_EQ(dialog.text, "This logger does not have a sampling LED");
  EXPECT_FALSE(dialog.buttonVisible);
}

TEST(CurrentCapabilities, ListingTextsAsWorded) {
  LoggerInfo info;
  info.averaging = 1;
  info.microchipLogger = true;
  info.commands12Level = 2;
  info.rsAdvanced = 0x0D;
  info.memory8Meg = true;
  info.memoryTypeCode = 4;
  info.engineeringUnitsLevel = 1;
  info.modemControl = 2;
  info.memoryTestCapable = true;
  info.firmwareVersion = 6.1f;
  info.rsCommandLevel = kRsBasic | kRsDebugged | kRsRangeSwitching;
  info.channelCount = 3;
  info.channelTypes[0] = 'C';
  info.channelTypes[1] = 'T';
  info.channelTypes[2] = 'C';
  info.extendedRange[2] = 0x01;
  info.latencyMs = 3000;
  info.readingTimeMs = 2000;
  CapabilityListingInputs inputs;
  inputs.optionByte = 0x04;
  inputs.linkBaud = 19200;
  const std::vector<std::string> lines = BuildCapabilityListing(info, inputs).Lines();
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Averaging", "Microchip logger", "!12 Commands", "Sampling LED", "SD Memory Card",
                       "Engineering units level 1: ON", "Modem control - always (fixed)",
                       "Memory test capable - not yet passed", "Format: ASCII and Binary", "Firmware version: 6.10",
                       "Minimum program version unspecified", "Memory size: 8 Meg, type: AT45DB642D",
                       "Default baud rate: 19200 baud", "Express download not available",
                       "RS Commands supported at the debugged level\n\tRange switching supported",
                       "Number of channels of data: 3", "Latency: 3000 ms", "Readingtime: 2000 ms",
                       "Channel types: C00 T00 C00 ", "Extended data range channels: C-C"}));

  info.channelCount = 10;
  for (int i = 0; i < 10; ++i) info.channelTypes[i] = 'T';
  info.rsAdvanced = 0;
  info.memory8Meg = false;
  info.memoryTypeCode = 0;
  info.rsCommandLevel = 0;
  const std::vector<std::string> texts = BuildCapabilityListing(info, {}).texts;
  EXPECT_TRUE(Has(texts, "Channel types: T00 T00 T00 T00 T00 T00 \nT00 T00 T00 T00 "));
  EXPECT_TRUE(Has(texts, "Extended data range channels: T-TTTTTTT\nT"));
  EXPECT_TRUE(Has(texts, "Format: None set"));
  EXPECT_TRUE(Has(texts, "Memory size: 2 Meg, type: "));
  EXPECT_TRUE(Has(texts, "RS Commands not supported"));
  EXPECT_TRUE(Has(texts, "Engineering units level 1: OFF"));
}

TEST(CurrentCapabilities, DialogReadsTheLoggerAndDescribesIt) {
  EmulatedRig rig("QN-760");
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  CurrentCapabilitiesDialog dialog;
  dialog.Open(rig.state);
  EXPECT_EQ(dialog.statusText, "Logger not yet configured");
  ASSERT_EQ(GetConfigTable(rig.state), 1);
  dialog.Open(rig.state);
  EXPECT_EQ(dialog.statusText, "TMV Data Logger: QN-760  6.10 012345");
  const std::vector<std::string> lines = dialog.Lines();
  EXPECT_TRUE(Has(lines, "Memory test capable - successful"));
  EXPECT_TRUE(Has(lines, "Express download: 115200 baud"));
  EXPECT_TRUE(Has(lines, "Minimum program version: 6.00"));
  EXPECT_TRUE(Has(lines, "Channel types: C00 T00 P00 D00 "));
  rig.state.shell.factoryMode = true;
  rig.state.shell.factoryScript = "qn760.rcfg";
  EXPECT_EQ(CapabilitiesStatusText(rig.state), "TMV Data Logger: QN-760  6.10 012345 (Master Setup with 'qn760.rcfg')");
}

}  // namespace
}  // namespace tmv
