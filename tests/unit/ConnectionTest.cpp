// Connecting and identifying: the baud cycle, the identity, the change of logger.
#include <gtest/gtest.h>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "shell/CommandIds.h"
#include "support/EmulatedRig.h"
#include "support/ScriptedPort.h"

using namespace tmv;
using tmv::test::EmulatedRig;
using tmv::test::ScriptedRig;

namespace {

bool Disabled(const ScriptedUserInterface& ui, int command) {
  auto it = ui.commandEnabled.find(command);
  return it != ui.commandEnabled.end() && !it->second;
}

}  // namespace

TEST(ConnectBaudCycle, LoggerAt2400AfterTalkingAt19200IsFoundInTheThirdPass) {
  EmulatedRig rig;
  rig.profile().baud = 2400;
  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_EQ(rig.state.logger.baudIndex, 1);
  EXPECT_EQ(rig.state.logger.baud, 2400);
  EXPECT_EQ(rig.serial.opens, 3);
  EXPECT_EQ(rig.ui.connectionTexts,
            (std::vector<std::string>{"Trying: 19200", "Trying: 1200", "Trying: 2400", "2400 baud"}));
  EXPECT_EQ(rig.state.logger.model, "QN-760");
  EXPECT_EQ(rig.state.logger.serialNumber, 12345);
  EXPECT_TRUE(rig.state.logger.microchipLogger);

  // Next time the cycle starts at the rate that worked: one pass, no reopening.
  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_EQ(rig.serial.opens, 3);
}

TEST(ConnectBaudCycle, FailedConnectionTriesTheFastRatesLastAndRestoresTheRate) {
  ScriptedRig rig;
  rig.state.ports.radioModem = false;
  std::vector<int> bauds;
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(ConnectLogger(rig.state), 0);
  // The baud table's six passes, then the download rates a logger may have been left at.
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 280 + 2200 + 1240 + 760 + 520 + 280 + 280 + 280);
  for (const auto& s : rig.line.applied) bauds.push_back(s.baud);
  // ... and the line is put back at the rate of the record, so that the next
  // command does not go at the last rate the search tried.
  EXPECT_EQ(bauds, (std::vector<int>{19200, 1200, 2400, 4800, 9600, 19200, 57600, 115200, 19200}));
  EXPECT_EQ(rig.line.CountWrites("A"), 16);
  EXPECT_FALSE(rig.state.logger.connected);
  EXPECT_EQ(rig.state.logger.baud, 19200);
  EXPECT_EQ(rig.state.logger.baudIndex, 4);
  EXPECT_EQ(rig.ui.LastStatus(), "Unable to Communicate with Logger on COM1");
  EXPECT_TRUE(rig.ui.warning);
  EXPECT_EQ(rig.ui.connectionTexts.back(), "Not connected");
  EXPECT_TRUE(Disabled(rig.ui, cmd::kSaveKzmCsv));

  // From another starting rate the cycle ends where it began, and baud goes back there.
  ScriptedRig from1200;
  from1200.state.logger.baudIndex = 0;
  from1200.state.logger.baud = 1200;
  EXPECT_EQ(ConnectLogger(from1200.state), 0);
  EXPECT_EQ(from1200.state.logger.baud, 1200);
}

TEST(ConnectBaudCycle, PortThatCannotBeOpenedIsReportedByNameOnce) {
  ScriptedRig rig;
  rig.line.refuseOpen = true;
  rig.state.query.fetchSelector = 3;
  EXPECT_EQ(RunConnectCommand(rig.state), 0);
  EXPECT_EQ(rig.ui.statusTexts,
            (std::vector<std::string>{"Attempting to connect to TMV Data Logger on COM1.",
                                      "Unable to open COM1 - bad port setting or another application holds the "
                                      "port."}));
  EXPECT_EQ(rig.state.query.fetchSelector, 0);
  EXPECT_EQ(rig.state.logger.baud, 19200);
  EXPECT_TRUE(Disabled(rig.ui, cmd::kSaveKzmCsv));

  rig.state.ports.loggerDevice = "/dev/ttyGONE";
  EXPECT_EQ(RunConnectCommand(rig.state), 0);
  EXPECT_EQ(rig.ui.LastStatus(),
            "Unable to open /dev/ttyGONE - bad port setting or another application holds the port.");
}

TEST(ConnectIdentity, ReplyIsParsedFromTheMakerWordOn) {
  ScriptedRig rig;
  rig.line.On("A", "\r\nTMV QN-760 6.10 012345\r\n");
  EXPECT_EQ(RunConnectCommand(rig.state), 1);
  EXPECT_EQ(rig.state.logger.model, "QN-760");
  EXPECT_FLOAT_EQ(rig.state.logger.firmwareVersion, 6.10f);
  EXPECT_EQ(rig.state.logger.serialNumber, 12345);
  EXPECT_TRUE(rig.state.logger.microchipLogger);
  EXPECT_EQ(rig.ui.LastStatus(), "TMV Data Logger: QN-760  6.10 012345 connected on COM1 at 19200 baud.");
  EXPECT_TRUE(Disabled(rig.ui, cmd::kSaveKzmCsv));

  ScriptedRig older;
  older.line.On("A", "TMV KZM-5170 4.99 000777");
  EXPECT_EQ(ConnectLogger(older.state), 1);
  EXPECT_FALSE(older.state.logger.microchipLogger);
  EXPECT_FALSE(Disabled(older.ui, cmd::kSaveKzmCsv));

  // A device path given for the port is what the texts name.
  older.state.ports.loggerDevice = "/dev/pts/4";
  EXPECT_EQ(ConnectedText(older.state), "TMV Data Logger: KZM-5170  4.99 000777 connected on /dev/pts/4 at 19200 baud.");

  Identity id;
  EXPECT_FALSE(ParseIdentity("no maker word", id));
  ASSERT_TRUE(ParseIdentity("TMV", id));  // nothing after the maker word: fields stay
  EXPECT_EQ(id.model, "UNKNOWN");
  ASSERT_TRUE(ParseIdentity("TMV " + std::string(500, 'M') + " x7 12", id));
  EXPECT_EQ(id.model.size(), 63u);  // a runaway model word is cut, never overruns
  EXPECT_FLOAT_EQ(id.firmwareVersion, 0.0f);
  std::string withNul("TMV QN-7\0 6.1 5", 15);
  Identity cut;
  ASSERT_TRUE(ParseIdentity(withNul, cut));
  EXPECT_EQ(cut.model, "QN-7");
  EXPECT_EQ(cut.serialNumber, 0);
}

TEST(ConnectChangeOfLogger, SameLoggerSetsNothingAnotherSetsAllThreeStaleFlags) {
  ScriptedRig rig;
  int hidden = 0;
  rig.state.hooks.hideDataWindows = [&] { ++hidden; };
  rig.state.shell.dataRetrieved = true;  // unsaved data, but nothing to compare with yet
  rig.line.On("A", "TMV QN-760 6.10 012345", 0, 2);
  rig.line.On("A", "TMV QN-730 6.00 000042");
  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the first identification never asks
  EXPECT_EQ(hidden, 0);
  LoggerInfo& l = rig.state.logger;
  l.capabilitiesStale = l.configurationStale = l.calibrationStale = false;

  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_FALSE(l.capabilitiesStale || l.configurationStale || l.calibrationStale);
  EXPECT_EQ(hidden, 0);

  rig.state.shell.dataSaved = true;
  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_EQ(l.serialNumber, 42);
  EXPECT_TRUE(l.capabilitiesStale && l.configurationStale && l.calibrationStale);
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(l.previousSerial, 42);
  EXPECT_EQ(l.previousModel, "QN-730");
  EXPECT_TRUE(rig.ui.boxes.empty());  // the data was saved
}

TEST(ConnectChangeOfLogger, UnsavedDataQuestionNoDropsTheDataYesSavesItFirst) {
  {
    ScriptedRig rig;
    rig.line.On("A", "TMV QN-760 6.10 012345", 0, 1);
    rig.line.On("A", "TMV QN-730 6.00 000042");
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.state.shell.dataRetrieved = true;
    rig.state.shell.dataSaved = false;
    EXPECT_EQ(ConnectLogger(rig.state), 1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    const auto& box = rig.ui.boxes[0];
    EXPECT_EQ(box.text,
              "Logger has changed from 012345 to 000042.\nRetrieved data from 012345 has not been saved.\nDo you "
              "wish to return to save the data now?");
    EXPECT_EQ(box.caption, "Connecting Logger");
    EXPECT_EQ(box.buttons, MessageButtons::YesNo);
    EXPECT_EQ(box.icon, MessageIcon::Exclamation);
    EXPECT_EQ(box.defaultAnswer, MessageAnswer::No);
    for (int c : {cmd::kSaveFile, cmd::kSaveFormat, cmd::kSaveScreenSegment, cmd::kSaveKzmCsv})
      EXPECT_TRUE(Disabled(rig.ui, c)) << c;
    EXPECT_FALSE(rig.state.shell.dataRetrieved && !rig.state.shell.dataSaved);
    EXPECT_TRUE(rig.state.logger.calibrationStale);
  }
  {
    ScriptedRig rig;
    rig.line.On("A", "TMV QN-760 6.10 012345", 0, 1);
    rig.line.On("A", "TMV QN-730 6.00 000042");
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.state.shell.dataRetrieved = true;
    int savedSerial = -1;
    rig.state.hooks.saveRetrievedData = [&] {
      savedSerial = rig.state.logger.serialNumber;  // saved under the logger it came from
      rig.state.shell.dataSaved = true;
      return 1;
    };
    rig.ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(ConnectLogger(rig.state), 1);
    EXPECT_EQ(savedSerial, 12345);
    EXPECT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.state.logger.serialNumber, 42);
    EXPECT_FALSE(Disabled(rig.ui, cmd::kSaveFile));
  }
  {
    // Yes, but the save never happens (cancelled, or nothing can save): the
    // question is not asked for ever, and the data is kept.
    ScriptedRig rig;
    rig.line.On("A", "TMV QN-760 6.10 012345", 0, 1);
    rig.line.On("A", "TMV QN-730 6.00 000042");
    ASSERT_EQ(ConnectLogger(rig.state), 1);
    rig.state.shell.dataRetrieved = true;
    for (int i = 0; i < 10; ++i) rig.ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(ConnectLogger(rig.state), 0);
    EXPECT_EQ(rig.ui.boxes.size(), 3u);
    EXPECT_TRUE(rig.state.shell.dataRetrieved);
    EXPECT_FALSE(rig.state.logger.connected);
    EXPECT_EQ(rig.state.logger.previousSerial, 12345);
  }
}

TEST(ConnectLinkStatus, TextsOfTheConnectionPart) {
  ScriptedRig rig;
  ShowLinkStatus(rig.state, true);
  rig.state.logger.connected = true;
  rig.state.logger.baud = 9600;
  ShowLinkStatus(rig.state, false);
  rig.state.logger.connected = false;
  ShowLinkStatus(rig.state, false);
  EXPECT_EQ(rig.ui.connectionTexts, (std::vector<std::string>{"Trying: 19200", "9600 baud", "Not connected"}));
  rig.state.logger.connected = true;
  ReportLinkError(rig.state, false);
  EXPECT_FALSE(rig.state.logger.connected);
}

TEST(ConnectEmulated, AClosedLinkFailsItsFirstPassAndReopensAtTheNextRate) {
  EmulatedRig rig;
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  CloseLink(rig.state, rig.state.loggerLink, 1);
  // Still marked connected: the closed link is tried as it is, then the cycle goes round.
  EXPECT_EQ(ConnectLogger(rig.state), 1);
  EXPECT_EQ(rig.state.logger.baud, 19200);
  EXPECT_EQ(rig.serial.opens, 1 + 5);
}
