// The shell's pure parts: catalogue, status line, command table, menu states, tick.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "platform/ScriptedUserInterface.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "shell/StatusLine.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

// The printf conversions of a text, in order.
std::vector<std::string> Conversions(const std::string& text) {
  static const std::regex conversion(R"(%[-+ #0]*[0-9]*(\.[0-9]+)?[lh]*[diouxXeEfgGcsp])");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), conversion); it != std::sregex_iterator(); ++it)
    out.push_back(it->str());
  return out;
}

TEST(Catalogue, SecondLanguageKeepsOnlyTheFormatSkeleton) {
  EXPECT_EQ(FormatSkeleton("Unable to open file: %s"), ": %s");
  EXPECT_EQ(FormatSkeleton("Ready"), "");
  EXPECT_EQ(FormatSkeleton("Attempting to connect to TMV Data Logger on COM%1d."), "%1d.");
  EXPECT_EQ(FormatSkeleton("Retrieved data has not been saved.\nDo you wish to return to save the data now?"),
            ".\n?");
  EXPECT_EQ(Tr(1, "Unable to open file: %s"), ": %s");
  EXPECT_EQ(Tr(0, "Unable to open file: %s"), "Unable to open file: %s");
  // Texts outside the catalogue stay English in both languages.
  EXPECT_EQ(Tr(1, "Some text nobody catalogued"), "Some text nobody catalogued");

  // Every skeleton takes the same arguments as its English text, so callers
  // format either language with one argument list.
  for (const auto& english : CatalogueTexts()) {
    EXPECT_EQ(Conversions(FormatSkeleton(english)), Conversions(english)) << english;
    EXPECT_TRUE(InCatalogue(english));
  }
  const std::string connected = Tr(1, "TMV Data Logger: %s %5.2f %06d connected on COM%1d at %ld baud.");
  EXPECT_EQ(Format(connected.c_str(), "QN-760", 6.1, 12345, 1, 19200L), ": QN-760  6.10 012345 1 19200 .");

  const std::string refusal = LoggingRefusalText("set the latency");
  EXPECT_EQ(refusal,
            "Logging in progress or enabled.\nCannot set the latency at this time.\n\nUse 'Retrieve data' menu item "
            "to stop logger - \n 'Retrieve Data' or 'STOP Logger' button.");
  EXPECT_TRUE(InCatalogue(refusal));
  EXPECT_TRUE(InCatalogue(LoggingRefusalText("operate the Micro-Salinometer")));
}

TEST(StatusLine, MessageIconConnectionAndUnitsParts) {
  test::EmulatedRig rig;
  AppState& state = rig.state;
  ShowStatus(state, std::string(200, 'a'));
  EXPECT_EQ(rig.ui.LastStatus(), std::string(122, 'a') + " ...");
  EXPECT_FALSE(rig.ui.warning);
  ShowStatus(state, "Unable to open COM1 - bad port setting or another application holds the port.");
  EXPECT_TRUE(rig.ui.warning);
  ShowStatus(state, "Logger not yet configured");
  EXPECT_TRUE(rig.ui.warning);
  ShowStatus(state, "Ready");
  EXPECT_FALSE(rig.ui.warning);
  EXPECT_EQ(state.statusText, "Ready");

  ShowConnectionState(state, false);
  EXPECT_EQ(rig.ui.connectionTexts.back(), "Not connected");
  state.logger.baud = 2400;
  ShowConnectionState(state, true);
  EXPECT_EQ(rig.ui.connectionTexts.back(), "Trying: 2400");
  state.logger.connected = true;
  ShowConnectionState(state, false);
  EXPECT_EQ(rig.ui.connectionTexts.back(), "2400 baud");

  state.query.optionByte = 0x04;
  ShowUnitsState(state);
  EXPECT_EQ(rig.ui.units, UnitsIndicator::EngineeringUnits);
  state.query.optionByte = 0x08;
  ShowUnitsState(state);
  EXPECT_EQ(rig.ui.units, UnitsIndicator::Binary);
  state.logger.connected = false;
  ShowUnitsState(state);
  EXPECT_EQ(rig.ui.units, UnitsIndicator::None);
}

TEST(CommandTable, EntriesAreConsistent) {
  std::set<int> numbers;
  for (const auto& e : MenuTable()) {
    EXPECT_TRUE(numbers.insert(e.number).second) << e.text;
    const std::string text = e.text;
    const size_t amp = text.find('&');
    if (amp == std::string::npos)
      EXPECT_EQ(e.accessKey, 0) << text;
    else
      EXPECT_EQ(e.accessKey, text[amp + 1]) << text;
    if (e.parent != cmd::kMenuBar) {
      const MenuEntry* parent = FindMenuEntry(e.parent);
      ASSERT_NE(parent, nullptr) << text;
      EXPECT_TRUE(parent->isMenu) << text;
    }
  }
  // Built now, and greyed until their work exists.
  for (int c : {cmd::kConnect, cmd::kDisconnect, cmd::kComSettings, cmd::kAbout, cmd::kExit, cmd::kAllowMultipleCopies,
                cmd::kShowRangeChanges, cmd::kLanguage, cmd::kSetDefaultBaud, cmd::kEngineeringUnits,
                cmd::kSamplingLed, cmd::kSetLatency, cmd::kCalibration, cmd::kCalibrationHistory,
                cmd::kCurrentCapabilities, cmd::kSetup, cmd::kGpsTest, cmd::kReadRecentFile + 3})
    EXPECT_TRUE(IsCommandBuilt(c)) << c;
  for (int c : {cmd::kFetchLiveReadings, cmd::kModemSleep, cmd::kMicroSalinometer})
    EXPECT_FALSE(IsCommandBuilt(c)) << c;
  EXPECT_STREQ(FindMenuEntry(cmd::kShowRangeChanges)->text, "&Show range changes");
  EXPECT_STREQ(FindMenuEntry(cmd::kDisconnect)->text, "Disconnect serial line");
  EXPECT_EQ(RecentFileMenuText(0, "/data/a.hex"), " 1 - /data/a.hex");
}

TEST(MenuState, GreysAndEnablesTheBusyCommands) {
  test::EmulatedRig rig;
  auto& enabled = rig.ui.commandEnabled;
  SetMenuState(rig.state, 0);
  for (int c : {cmd::kSetup, cmd::kRetrieveData, cmd::kMenuFile, cmd::kMenuLoggerFunctions, cmd::kComSettings,
                cmd::kMenuCalibration, cmd::kMicroSalinometer})
    EXPECT_FALSE(enabled.at(c)) << c;
  EXPECT_EQ(enabled.count(cmd::kMenuConfiguration), 0u);

  SetMenuState(rig.state, 1);
  EXPECT_TRUE(enabled.at(cmd::kMenuFile));
  EXPECT_TRUE(enabled.at(cmd::kComSettings));
  EXPECT_TRUE(enabled.at(cmd::kRetrieveData));
  EXPECT_FALSE(enabled.at(cmd::kMicroSalinometer));  // not built: stays greyed
  EXPECT_EQ(enabled.count(cmd::kMenuConfiguration), 0u);

  for (int s : {2, 4}) {
    SetMenuState(rig.state, s);
    EXPECT_FALSE(enabled.at(cmd::kMenuConfiguration));
    EXPECT_FALSE(enabled.at(cmd::kMenuLoggerFunctions));
  }
  for (int s : {3, 5}) {
    SetMenuState(rig.state, 2);
    SetMenuState(rig.state, s);
    EXPECT_TRUE(enabled.at(cmd::kMenuConfiguration));
    EXPECT_TRUE(enabled.at(cmd::kMenuCalibration));
  }
  EXPECT_EQ(rig.state.shell.menuState, 5);
}

TEST(ShellTick, ClockOnNewSecondsAndLinkActivityCountdown) {
  test::EmulatedRig rig;
  DialogPresenter dialogs;
  Shell shell(rig.state, dialogs);
  int panelSteps = 0;
  shell.modelessStep = [&] { ++panelSteps; };
  rig.state.linkActivity = 2;

  ShellTick(shell);
  EXPECT_EQ(rig.ui.clockText, "2010/Jun/07 15:30:00");
  EXPECT_EQ(rig.state.linkActivity, 1);
  rig.ui.clockText.clear();
  rig.clock.Advance(400);
  ShellTick(shell);  // same second: the clock part is left alone
  EXPECT_EQ(rig.ui.clockText, "");
  EXPECT_EQ(rig.state.linkActivity, 0);
  rig.clock.Advance(700);
  ShellTick(shell);
  EXPECT_EQ(rig.ui.clockText, "2010/Jun/07 15:30:01");
  EXPECT_EQ(rig.state.linkActivity, 0);  // never below 0
  EXPECT_EQ(panelSteps, 3);
}

}  // namespace
}  // namespace tmv
