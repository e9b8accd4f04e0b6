// The shell's commands through the core, on the emulated logger: connect and
// disconnect, the common preconditions, the dialogs' wiring, start-up and exit.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "files/CopySlots.h"
#include "files/WorkFiles.h"
#include "link/ComSettingsDialog.h"
#include "model/CalibrationDialog.h"
#include "model/CapabilitiesDialogs.h"
#include "model/LatencyDialog.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/LanguageDialog.h"
#include "shell/Shell.h"
#include "shell/Startup.h"
#include "shell/StatusLine.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

namespace fs = std::filesystem;

class ShellCommands : public ::testing::Test {
 protected:
  ShellCommands() : shell(rig.state, dialogs) {
    char pattern[] = "/tmp/tmv-shell-XXXXXX";
    dir = mkdtemp(pattern);
    rig.state.directories.work = dir;
    shell.quit = [this] { ++quits; };
  }
  ~ShellCommands() override { fs::remove_all(dir); }

  std::string Read(const std::string& name) const { return ReadTextFile(dir + "/" + name).value_or("<missing>"); }
  const ScriptedUserInterface::Box* LastBox() const { return rig.ui.boxes.empty() ? nullptr : &rig.ui.boxes.back(); }

  test::EmulatedRig rig;
  DialogPresenter dialogs;
  Shell shell;
  std::string dir;
  int quits = 0;
};

TEST_F(ShellCommands, ConnectAndDisconnect) {
  EXPECT_EQ(RunCommand(shell, cmd::kConnect), 1);
  EXPECT_TRUE(rig.ui.StatusSeen("Attempting to connect to TMV Data Logger on COM1."));
  EXPECT_EQ(rig.ui.LastStatus(), "TMV Data Logger: QN-760  6.10 012345 connected on COM1 at 19200 baud.");
  EXPECT_EQ(rig.ui.connectionTexts.back(), "19200 baud");
  EXPECT_NE(rig.ui.units, UnitsIndicator::None);
  EXPECT_TRUE(rig.state.loggerLink.IsOpen());

  EXPECT_EQ(RunCommand(shell, cmd::kDisconnect), 1);
  EXPECT_FALSE(rig.state.loggerLink.IsOpen());
  EXPECT_FALSE(rig.state.logger.connected);
  EXPECT_EQ(rig.ui.LastStatus(), "Logger Disconnected");
  EXPECT_EQ(rig.ui.connectionTexts.back(), "Not connected");
}

TEST_F(ShellCommands, CommandsThatNeedALoggerStopWhenNoneAnswers) {
  rig.faults().silent = true;
  int faces = 0;
  dialogs.Register<LatencyDialog>([&](LatencyDialog&) { return ++faces, 1; });
  dialogs.Register<SamplingLedDialog>([&](SamplingLedDialog&) { return ++faces, 1; });
  EXPECT_EQ(RunCommand(shell, cmd::kSetLatency), 0);
  EXPECT_EQ(RunCommand(shell, cmd::kSamplingLed), 0);
  EXPECT_EQ(faces, 0);
  EXPECT_TRUE(rig.ui.boxes.empty());  // the failure is on the status line only
  EXPECT_EQ(rig.ui.LastStatus(), "Unable to Communicate with Logger on COM1");
  EXPECT_TRUE(rig.ui.warning);
}

TEST_F(ShellCommands, LoggingLoggersAreRefused) {
  rig.profile().status = 1;  // enabled, starting tomorrow
  rig.profile().deployment.startTime = LoggerTime{2010, 6, 0, 8, 12, 0, 0, 0};
  int faces = 0;
  dialogs.Register<LatencyDialog>([&](LatencyDialog&) { return ++faces, 1; });
  EXPECT_EQ(RunCommand(shell, cmd::kSetLatency), 0);
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->text, LoggingRefusalText("set the latency"));
  EXPECT_EQ(LastBox()->caption, "Set Latency");

  EXPECT_EQ(RunCommand(shell, cmd::kSetDefaultBaud), 0);
  EXPECT_EQ(LastBox()->text, LoggingRefusalText("set the default baudrate"));
  EXPECT_EQ(LastBox()->caption, "Set Default Baudrate");

  EXPECT_EQ(RunCommand(shell, cmd::kEngineeringUnits), 0);
  EXPECT_EQ(LastBox()->caption, "Communication format");

  EXPECT_EQ(RunCommand(shell, cmd::kCalibration), 0);
  EXPECT_EQ(LastBox()->text, "Unable to perform calibration while QN-760 logger is enabled");
  EXPECT_EQ(RunCommand(shell, cmd::kCalibrationHistory), 0);
  EXPECT_EQ(LastBox()->text, "Unable to perform calibration history while QN-760 logger is enabled");
  EXPECT_EQ(faces, 0);

  // Stopped by the user: the same commands go ahead.
  rig.profile().status = 8;
  rig.ui.boxes.clear();
  dialogs.Register<LatencyDialog>([&](LatencyDialog& d) {
    EXPECT_TRUE(d.open);
    d.Cancel();
    return ++faces, 0;
  });
  RunCommand(shell, cmd::kSetLatency);
  EXPECT_EQ(faces, 1);
}

TEST_F(ShellCommands, CalibrationAndCapabilitiesRunTheirDialogs) {
  int calibrationFaces = 0;
  dialogs.Register<CalibrationDialogModel>([&](CalibrationDialogModel& d) {
    ++calibrationFaces;
    EXPECT_EQ(d.Channels(), rig.state.logger.channelCount);
    EXPECT_FALSE(d.Logging());
    return 0;  // cancelled: nothing is written
  });
  SetMenuState(rig.state, 2);
  EXPECT_EQ(RunCommand(shell, cmd::kCalibration), 0);
  EXPECT_EQ(calibrationFaces, 1);
  EXPECT_FALSE(rig.state.logger.configurationStale);
  EXPECT_TRUE(rig.ui.commandEnabled.at(cmd::kMenuConfiguration));  // menu state 3 afterwards
  for (const auto& c : rig.emulator.CommandLog()) EXPECT_NE(c.substr(0, 1), "U") << c;

  std::string capabilityStatus;
  dialogs.Register<CurrentCapabilitiesDialog>([&](CurrentCapabilitiesDialog& d) {
    capabilityStatus = d.statusText;
    EXPECT_TRUE(d.open);
    return 1;
  });
  EXPECT_EQ(RunCommand(shell, cmd::kCurrentCapabilities), 1);
  EXPECT_EQ(capabilityStatus.rfind("TMV Data Logger: QN-760", 0), 0u) << capabilityStatus;
}

TEST_F(ShellCommands, UnsavedDataQuestion) {
  int saves = 0;
  rig.state.hooks.saveRetrievedData = [&] { return ++saves, 1; };
  EXPECT_TRUE(CheckUnsavedData(shell));  // nothing retrieved: no question
  EXPECT_TRUE(rig.ui.boxes.empty());

  rig.state.shell.dataRetrieved = true;
  rig.ui.answers = {MessageAnswer::Yes};
  EXPECT_FALSE(CheckUnsavedData(shell));
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->text, "Retrieved data has not been saved.\nDo you wish to return to save the data now?");
  EXPECT_EQ(LastBox()->caption, "File Read");
  EXPECT_EQ(LastBox()->buttons, MessageButtons::YesNo);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(rig.state.shell.dataRetrieved);

  rig.ui.answers = {MessageAnswer::No};
  EXPECT_TRUE(CheckUnsavedData(shell));
  EXPECT_FALSE(rig.state.shell.dataRetrieved);
  EXPECT_FALSE(rig.state.shell.dataSaved);
  EXPECT_EQ(saves, 1);
}

TEST_F(ShellCommands, ExitAsksAboutUnsavedDataAndClosesThePorts) {
  RunCommand(shell, cmd::kConnect);
  rig.state.shell.dataRetrieved = true;
  rig.ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(RunCommand(shell, cmd::kExit), 0);  // Yes: stays to save
  EXPECT_EQ(LastBox()->caption, "Program Exit");
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(rig.state.loggerLink.IsOpen());
  EXPECT_TRUE(rig.ui.StatusSeen("There are no data to save"));  // the save command ran

  rig.ui.answers = {MessageAnswer::No};
  EXPECT_EQ(RunCommand(shell, cmd::kExit), 1);
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(rig.state.shell.exiting);
  EXPECT_FALSE(rig.state.loggerLink.IsOpen());
}

TEST_F(ShellCommands, SettingsCommandsToggleMarkAndSave) {
  rig.state.shell.copyNumber = 1;
  EXPECT_EQ(RunCommand(shell, cmd::kAllowMultipleCopies), 1);
  EXPECT_TRUE(rig.ui.commandChecked.at(cmd::kAllowMultipleCopies));
  EXPECT_EQ(Read("tmv_copies.ini"), "Allow multiple copies\r\n");
  EXPECT_EQ(RunCommand(shell, cmd::kAllowMultipleCopies), 1);
  EXPECT_EQ(Read("tmv_copies.ini"), "Single copy only\r\n");

  rig.state.shell.copyNumber = 2;  // only the first copy decides
  EXPECT_EQ(RunCommand(shell, cmd::kAllowMultipleCopies), 0);
  EXPECT_FALSE(rig.ui.commandEnabled.at(cmd::kAllowMultipleCopies));
  EXPECT_FALSE(rig.state.shell.allowMultipleCopies);
  rig.state.shell.copyNumber = 1;

  int redraws = 0;
  shell.redrawGraph = [&] { ++redraws; };
  EXPECT_EQ(RunCommand(shell, cmd::kShowRangeChanges), 1);
  EXPECT_TRUE(rig.ui.commandChecked.at(cmd::kShowRangeChanges));
  EXPECT_NE(Read("tmv.ini").find("Gain not required for auto-ranging"), std::string::npos);
  EXPECT_EQ(redraws, 1);

  // The language dialog: the second language shows skeletons from then on.
  dialogs.Register<LanguageDialog>([](LanguageDialog& d) {
    d.Select(1);
    d.Ok();
    return 1;
  });
  EXPECT_EQ(RunCommand(shell, cmd::kLanguage), 1);
  EXPECT_EQ(rig.state.shell.language, 1);
  EXPECT_EQ(Tr(rig.state, "Unable to open file: %s"), ": %s");
  dialogs.Register<LanguageDialog>([](LanguageDialog& d) {
    d.Select(0);
    d.Cancel();
    return 0;
  });
  EXPECT_EQ(RunCommand(shell, cmd::kLanguage), 0);
  EXPECT_EQ(rig.state.shell.language, 1);  // Cancel keeps the language
}

TEST_F(ShellCommands, ComSettingsThroughTheShell) {
  int shown = 0;
  dialogs.Register<ComSettingsDialog>([&](ComSettingsDialog& d) {
    ++shown;
    EXPECT_EQ(rig.ui.LastStatus(), "Select Communication Port");
    d.SelectLoggerPort(0);
    d.SelectGpsPort(1);  // COM1 as well
    EXPECT_FALSE(d.Ok());
    EXPECT_EQ(rig.ui.boxes.back().caption, "Port Configuration Error");
    EXPECT_TRUE(d.IsOpen());
    d.SelectGpsPort(0);  // "Not used"
    EXPECT_TRUE(d.Ok());
    return 1;
  });
  EXPECT_EQ(RunCommand(shell, cmd::kComSettings), 1);
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(rig.state.logger.connected);  // OK runs the connect command
  EXPECT_NE(Read("tmv.ini").find("GPSComm=NOT USED"), std::string::npos);
}

TEST_F(ShellCommands, UnbuiltCommandsAndMissingFacesSayWhy) {
  EXPECT_EQ(RunCommand(shell, cmd::kRunConfigurationScript), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "\"Run configuration script\" is not yet available in this version");
  EXPECT_TRUE(rig.ui.warning);
  EXPECT_EQ(RunCommand(shell, cmd::kLanguage), 0);  // no face registered
  EXPECT_EQ(rig.ui.LastStatus(), "Unable to show \"Language resources\" here");

  EXPECT_EQ(RunCommand(shell, cmd::kRestartRealTimeDisplay), 1);
  EXPECT_EQ(LastBox()->caption, "Restart Real-time Display");
}

TEST_F(ShellCommands, StartUpFirstAndSecondCopy) {
  CopySlots slots;
  shell.copySlots = &slots;
  StartupOptions options;
  options.workDirectory = dir;
  options.loggerDevice = "/dev/ttyTMV0";
  options.commandLineFile = "\"" + dir + "/run 1.hex\"";
  std::ofstream(dir + "/run 1.hex") << "x";
  ASSERT_EQ(StartShell(shell, options), 1);
  EXPECT_EQ(rig.state.shell.windowTitle, "TMV Data Loggers 6.16");
  EXPECT_EQ(rig.state.ports.loggerDevice, "/dev/ttyTMV0");
  EXPECT_NE(Read("tmv.ini"), "<missing>");  // written with the defaults
  EXPECT_TRUE(fs::is_directory(dir + "/dat"));
  EXPECT_TRUE(rig.ui.commandEnabled.at(cmd::kComSettings));
  EXPECT_TRUE(rig.ui.commandEnabled.at(cmd::kRetrieveData));
  EXPECT_TRUE(rig.ui.commandEnabled.at(cmd::kMicroSalinometer));
  EXPECT_FALSE(rig.ui.commandEnabled.at(cmd::kSaveFile));  // until there is data
  EXPECT_TRUE(rig.ui.commandEnabled.at(cmd::kAllowMultipleCopies));
  EXPECT_EQ(rig.state.shell.commandLineFile, dir + "/run 1.hex");

  FinishStartup(shell);
  EXPECT_TRUE(rig.ui.StatusSeen("Ready"));
  EXPECT_FALSE(rig.ui.clockText.empty());
  // The named file is read as a HEX file; one that is not is said so, not remembered, nothing goes on screen.
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->text, "This file is not an TMV HEX file");
  EXPECT_FALSE(rig.state.graph.hasData);
  EXPECT_TRUE(rig.state.shell.recentFiles.empty());

  // A second copy in the same directory, allowed and confirmed.
  RunCommand(shell, cmd::kAllowMultipleCopies);
  test::EmulatedRig second;
  DialogPresenter secondDialogs;
  Shell secondShell(second.state, secondDialogs);
  CopySlots secondSlots;
  secondShell.copySlots = &secondSlots;
  second.ui.answers = {MessageAnswer::Yes};
  ASSERT_EQ(StartShell(secondShell, options), 1);
  EXPECT_EQ(second.state.shell.windowTitle, "Copy 2 : TMV Data Loggers 6.16");
  EXPECT_FALSE(second.ui.commandEnabled.at(cmd::kAllowMultipleCopies));

  // A third, refused by its user: it ends through ExitProgram.
  test::EmulatedRig third;
  DialogPresenter thirdDialogs;
  Shell thirdShell(third.state, thirdDialogs);
  CopySlots thirdSlots;
  thirdShell.copySlots = &thirdSlots;
  third.ui.answers = {MessageAnswer::No};
  EXPECT_EQ(StartShell(thirdShell, options), 0);
  EXPECT_TRUE(third.state.shell.exiting);
}

TEST_F(ShellCommands, StartUpWithJunkFilesKeepsDefaultsAndLosesNothing) {
  std::string junk;
  for (int i = 0; i < 3000; ++i) junk += static_cast<char>((i * 151 + 7) & 0xFF);
  const std::string recent = "/nowhere/a.dat\r\n/nowhere/b.hex\r\n";
  std::ofstream(dir + "/tmv.ini", std::ios::binary) << junk;
  std::ofstream(dir + "/tmv_copies.ini", std::ios::binary) << junk;
  std::ofstream(dir + "/tmvpath.fil", std::ios::binary) << recent;
  CopySlots slots;
  shell.copySlots = &slots;
  StartupOptions options;
  options.workDirectory = dir;
  options.commandLineFile = dir + "/gone.hex";
  ASSERT_EQ(StartShell(shell, options), 1);
  FinishStartup(shell);
  EXPECT_FALSE(rig.state.shell.exiting);
  EXPECT_EQ(rig.state.ports.loggerPort, 1);
  EXPECT_EQ(rig.state.settings.derived.fixedSalinity, 35.0f);
  EXPECT_EQ(rig.state.shell.language, 0);
  EXPECT_FALSE(rig.state.shell.allowMultipleCopies);
  EXPECT_EQ(rig.state.shell.recentFiles, (std::vector<std::string>{"/nowhere/a.dat", "/nowhere/b.hex"}));
  // Only the missing command-line file is reported.
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "File does not exist");
  // What the user had is still there.
  EXPECT_EQ(Read("tmv.ini"), junk);
  EXPECT_EQ(Read("tmv_copies.ini"), junk);
  EXPECT_EQ(Read("tmvpath.fil"), recent);
}

TEST_F(ShellCommands, DataFilesNamedOrChosen) {
  EXPECT_EQ(StripQuotes("\"C:/data/run.dat\""), "C:/data/run.dat");
  EXPECT_EQ(OpenDataFile(shell, dir + "/missing.dat"), 0);
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->text, "File does not exist");

  // A recent file that has gone is taken off the list.
  rig.state.shell.recentFiles = {dir + "/gone.hex", dir + "/other.dat"};
  EXPECT_EQ(RunCommand(shell, cmd::kReadRecentFile), 0);
  ASSERT_EQ(rig.state.shell.recentFiles.size(), 1u);
  EXPECT_EQ(rig.state.shell.recentFiles[0], dir + "/other.dat");
  EXPECT_EQ(RunCommand(shell, cmd::kReadRecentFile + 5), 0);  // no such entry
}

}  // namespace
}  // namespace tmv
