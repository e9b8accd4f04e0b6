// The "&Setup" command through the shell with scripted faces, on the
// emulated loggers and the virtual clock: the simulation with nothing
// connected, enabling through the erase, the stop and the rerun.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "analysis/DerivedUnitsDialog.h"
#include "deployment/SetupCommands.h"
#include "deployment/SetupSimulation.h"
#include "link/Connection.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/SetupCommand.h"
#include "shell/Shell.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

struct SetupCommandRig : test::EmulatedRig {
  explicit SetupCommandRig(const std::string& profile) : test::EmulatedRig(profile), shell(state, dialogs) {
    char pattern[] = "/tmp/tmv-setupcmd-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "";
    state.directories.work = dir;
  }
  ~SetupCommandRig() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  bool Sent(const std::string& command, size_t from = 0) const {
    const auto& log = emulator.CommandLog();
    return std::find(log.begin() + static_cast<long>(std::min(from, log.size())), log.end(), command) != log.end();
  }
  bool BoxSeen(const std::string& caption) const {
    return std::any_of(ui.boxes.begin(), ui.boxes.end(), [&](const auto& b) { return b.caption == caption; });
  }
  // A picker face that sets a day from an hour ahead, one sample a minute.
  void PickADay() {
    dialogs.Register<PickerSession>([this](PickerSession& p) {
      const LoggerTime start = AddSeconds(state.deployment.loggerClock, 3600);
      p.picker.times.ChangeStart(p.state(), p.panel(), start);
      p.picker.times.ChangeEnd(p.state(), p.panel(), AddSeconds(start, 86400));
      p.picker.ChoosePeriod(p.state(), p.panel(), PeriodChoice::Minute);
      p.picker.Accept(p.state(), p.panel());
      p.Changed();
      return 1;
    });
  }

  DialogPresenter dialogs;
  Shell shell;
  std::string dir;
};

TEST(SetupCommand, NothingConnectedOffersSimulationThatSendsNothingAndIsUndoneAfter) {
  SetupCommandRig rig("QN-760");
  rig.faults().silent = true;
  int channelRounds = 0;
  rig.dialogs.Register<SimulationChoiceDialog>([](SimulationChoiceDialog& c) {
    EXPECT_EQ(c.choices.size(), 9u);
    c.selected = 5;  // "QN-760 or QNQ-760"
    return 1;
  });
  rig.dialogs.Register<QnSimulationDialog>([&](QnSimulationDialog& q) {
    // First no sensors at all, which cannot be simulated; then two.
    q.channels.clear();
    if (++channelRounds == 2) {
      q.AddChannel('T');
      q.AddChannel('P');
    }
    return 1;
  });
  rig.PickADay();
  int setupRuns = 0;
  rig.dialogs.Register<SetupSession>([&](SetupSession& s) {
    ++setupRuns;
    EXPECT_TRUE(s.simulation());
    EXPECT_TRUE(rig.state.shell.simulation);
    EXPECT_EQ(rig.state.logger.channelCount, 2);
    s.OpenPicker();
    EXPECT_TRUE(s.dialog.panel.enableAllowed) << s.dialog.panel.message.text;
    EXPECT_NE(s.dialog.panel.message.text.find("Estimates:"), std::string::npos);
    EXPECT_EQ(s.dialog.periodText, "00:01:00");
    EXPECT_FALSE(s.dialog.enableButtonEnabled);  // assessed, never enabled
    EXPECT_FALSE(s.SyncAllowed());
    s.PressEnable();
    EXPECT_FALSE(s.closed);
    s.Cancel();
    return 0;
  });
  const size_t before = rig.emulator.CommandLog().size();
  const int channelsBefore = rig.state.logger.channelCount;
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 1);
  EXPECT_EQ(setupRuns, 1);
  EXPECT_EQ(channelRounds, 2);
  EXPECT_TRUE(rig.BoxSeen("QN logger simulation"));
  EXPECT_FALSE(rig.state.shell.simulation);
  EXPECT_FALSE(rig.state.logger.connected);
  EXPECT_EQ(rig.state.logger.channelCount, channelsBefore);  // the simulated logger is gone
  for (const char* c : {"P", "N", "K000100"}) EXPECT_FALSE(rig.Sent(c, before)) << c;
}

TEST(SetupCommand, CancelledSimulationChoiceOpensNoSetup) {
  SetupCommandRig rig("QN-760");
  rig.faults().silent = true;
  rig.dialogs.Register<SimulationChoiceDialog>([](SimulationChoiceDialog&) { return 0; });
  int setupRuns = 0;
  rig.dialogs.Register<SetupSession>([&](SetupSession&) { return ++setupRuns, 0; });
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 0);
  EXPECT_EQ(setupRuns, 0);
  EXPECT_FALSE(rig.state.shell.simulation);
}

TEST(SetupCommand, EnableOnAQn760ErasesWithTheDialogOpenThenEnables) {
  SetupCommandRig rig("QN-760");
  rig.emulator.RecordSamples(50, rig.clock.Milliseconds());
  rig.profile().eraseMs = 20000;
  rig.PickADay();
  int containsData = 0;
  rig.dialogs.Register<ContainsDataDialog>([&](ContainsDataDialog&) { return ++containsData, kContainsDataErase; });
  int ticks = 0;
  bool hiddenWhileErasing = true;
  rig.dialogs.Register<SetupSession>([&](SetupSession& s) {
    EXPECT_FALSE(s.simulation());
    EXPECT_EQ(s.dialog.enableButtonText, SetupDialog::kEnableLogging);
    s.OpenPicker();
    EXPECT_TRUE(s.dialog.enableButtonEnabled) << s.dialog.panel.message.text;
    // The readings in memory were never downloaded: the loss is confirmed.
    rig.ui.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    s.PressEnable();
    EXPECT_TRUE(s.Erasing());
    EXPECT_FALSE(s.closed);
    while (s.Erasing() && ticks < 400) {
      hiddenWhileErasing = hiddenWhileErasing && s.Busy();
      s.Cancel();  // hidden while erasing: does nothing
      EXPECT_FALSE(s.closed);
      rig.clock.Advance(1000);
      s.Tick();
      ++ticks;
    }
    EXPECT_TRUE(s.closed);
    EXPECT_FALSE(s.rerun);
    EXPECT_EQ(s.run.outcome, 1) << s.run.failedStep;
    return 1;
  });
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 1);
  EXPECT_GT(ticks, 5);
  EXPECT_TRUE(hiddenWhileErasing);
  EXPECT_LE(containsData, 1);
  EXPECT_TRUE(rig.Sent("N"));
  EXPECT_TRUE(rig.Sent("K000100"));
  EXPECT_TRUE(rig.Sent("P"));
  EXPECT_EQ(rig.profile().status, 1);  // enabled
  EXPECT_TRUE(rig.state.batch.settings.has_value());
}

TEST(SetupCommand, StopLoggerClosesSetupAndRunsItAgainOnTheStoppedLogger) {
  SetupCommandRig rig("QN-760");
  // Enabled, to start tomorrow.
  rig.profile().status = 1;
  rig.profile().deployment.startTime = AddSeconds(rig.clock.LocalTime(), 86400);
  rig.profile().deployment.endTime = AddSeconds(rig.clock.LocalTime(), 2 * 86400);
  std::vector<std::string> buttons;
  rig.dialogs.Register<SetupSession>([&](SetupSession& s) {
    buttons.push_back(s.dialog.enableButtonText);
    if (s.dialog.enableButtonText == SetupDialog::kStopLogger) {
      EXPECT_TRUE(s.dialog.enableButtonEnabled);
      EXPECT_NE(s.dialog.panel.message.text.find("You may stop the logger."), std::string::npos);
      s.PressEnable();  // asked first: the default keeps it enabled
      EXPECT_FALSE(s.closed);
      EXPECT_EQ(rig.profile().status, 1);
      rig.ui.answers.push_back(MessageAnswer::Yes);
      s.PressEnable();
      EXPECT_TRUE(s.closed);
      EXPECT_TRUE(s.rerun);
      return 1;
    }
    s.Cancel();
    return 0;
  });
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 1);
  ASSERT_EQ(buttons.size(), 2u) << buttons[0] << " status " << rig.profile().status;
  EXPECT_EQ(buttons[0], SetupDialog::kStopLogger);
  EXPECT_NE(buttons[1], SetupDialog::kStopLogger);
  EXPECT_TRUE(rig.Sent("!9"));
  EXPECT_NE(rig.profile().status, 1);
}

TEST(SetupCommand, SyncToPcSetsTheLoggerClockAndValidatesAgain) {
  SetupCommandRig rig("QN-760");
  // A logger clock two hours behind the host's.
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  rig.state.deployment.loggerClock = AddSeconds(rig.clock.LocalTime(), -7200);
  SendSetupCommand(rig.state, kSetupSetClock);
  rig.dialogs.Register<SetupSession>([&](SetupSession& s) {
    const std::string before = s.dialog.loggerTimeText;
    EXPECT_GT(std::llabs(SecondsFrom(rig.state.deployment.loggerClock, rig.clock.LocalTime())), 7000);
    EXPECT_TRUE(s.SyncAllowed());
    s.SyncToPc();
    EXPECT_NE(s.dialog.loggerTimeText, before);
    EXPECT_LT(std::llabs(SecondsFrom(rig.emulator.ClockAt(rig.clock.Milliseconds()), rig.clock.LocalTime())), 3);
    EXPECT_LT(std::llabs(SecondsFrom(rig.state.deployment.loggerClock, rig.clock.LocalTime())), 3);
    s.Cancel();
    return 0;
  });
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 1);
  EXPECT_FALSE(rig.BoxSeen("Synchronize Clock"));
}

TEST(SetupCommand, TideWaveRecorderWithoutDepthOpensDerivedUnitsAndRunsSetupAfterItsOk) {
  SetupCommandRig rig("KZM-5170");
  rig.state.settings.derived.depthEnabled = false;
  std::vector<int> posted;
  rig.state.analysis.postCommand = [&](int command) { posted.push_back(command); };
  int derivedRuns = 0;
  rig.dialogs.Register<DerivedUnitsDialog>([&](DerivedUnitsDialog& d) {
    ++derivedRuns;
    d.Click(DerivedUnitsDialog::kDepth);
    return d.Ok();
  });
  int setupRuns = 0;
  rig.dialogs.Register<SetupSession>([&](SetupSession& s) {
    ++setupRuns;
    s.Cancel();
    return 0;
  });
  EXPECT_EQ(RunCommand(rig.shell, cmd::kSetup), 0);
  EXPECT_TRUE(rig.BoxSeen("Working with KZM Data"));
  EXPECT_EQ(derivedRuns, 1);
  EXPECT_EQ(setupRuns, 0);  // the set-up waits for depth
  ASSERT_EQ(posted, std::vector<int>{cmd::kSetup});
  EXPECT_TRUE(rig.state.settings.derived.depthEnabled);
  // The posted command now opens the dialog without asking again.
  rig.ui.boxes.clear();
  EXPECT_EQ(RunCommand(rig.shell, posted[0]), 1);
  EXPECT_EQ(setupRuns, 1);
  EXPECT_FALSE(rig.BoxSeen("Working with KZM Data"));
}

}  // namespace
}  // namespace tmv
