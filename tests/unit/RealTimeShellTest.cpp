// A real-time collection on the emulated QN-760 driven as the desktop drives
// it: begun after enabling, carried by the shell's tick on the virtual clock,
// the graph following the newest readings, ended by the zoom-in button's
// command, which then gives the file back as the current data.
#include <gtest/gtest.h>

#include <filesystem>

#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "presentation/GraphCommands.h"
#include "retrieval/RealTime.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "support/EmulatedRig.h"
#include "support/RealTimeDeployment.h"

namespace tmv {
namespace {

// Enables the emulated logger for a one-second real-time deployment.
void EnableRealTimeDeployment(test::EmulatedRig& rig) {
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  ASSERT_TRUE(test::EnableRealTimeDeployment(rig.state, rig.emulator, rig.clock))
      << (rig.ui.boxes.empty() ? "" : rig.ui.boxes.back().text);
}

TEST(RealTimeShell, TickFollowsTheNewestReadingsAndTheZoomInButtonEndsTheCollection) {
  test::EmulatedRig rig;
  char pattern[] = "/tmp/tmv-rt-shell-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  rig.state.directories.work = dir;
  EnableRealTimeDeployment(rig);
  ASSERT_FALSE(HasFailure());

  DialogPresenter dialogs;
  Shell shell(rig.state, dialogs);
  int redraws = 0;
  shell.redrawGraph = [&] { ++redraws; };
  rig.ui.fileAnswers.push_back(dir + "/rt.hex");
  ASSERT_EQ(BeginRealTimeDisplay(shell), 1);
  EXPECT_TRUE(rig.state.shell.realTimeActive);
  for (int i = 0; i < 4000 && rig.state.realTime.readingsShown < 250; ++i) {
    rig.clock.Advance(rig.state.realTime.tickPeriodMs);
    ShellTick(shell);
  }
  const int rows = rig.state.realTime.readingsShown;
  ASSERT_GE(rows, 250);
  EXPECT_GT(redraws, 0);
  EXPECT_TRUE(rig.state.graph.view.realTime);
  EXPECT_EQ(rig.state.graph.view.firstIndex, rig.state.retrieval.data.sampleCount - kRealTimeReadings);
  // Each row reaches the status line: its time, then the readings.
  EXPECT_EQ(rig.ui.statusTexts.back(), rig.state.realTime.statusText);
  EXPECT_NE(rig.state.realTime.statusText.find(':'), std::string::npos);

  rig.ui.answers.push_back(MessageAnswer::No);  // "Stop transmission"
  EXPECT_EQ(RunCommand(shell, graphcmd::kZoomIn), 1);
  EXPECT_FALSE(rig.state.shell.realTimeActive);
  EXPECT_FALSE(rig.state.graph.view.realTime);
  EXPECT_EQ(rig.state.realTime.tickPeriodMs, 1000);
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, rows);
  EXPECT_EQ(rig.state.retrieval.currentFile, dir + "/rt.hex");
  std::filesystem::remove_all(dir);
}

// The line cannot carry fetches and records at once: asking for live
// readings ends the collection first, with its file complete.
TEST(RealTimeShell, FetchLiveReadingsEndsARunningCollectionFirst) {
  test::EmulatedRig rig;
  char pattern[] = "/tmp/tmv-rt-shell-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  rig.state.directories.work = dir;
  EnableRealTimeDeployment(rig);
  ASSERT_FALSE(HasFailure());
  DialogPresenter dialogs;
  Shell shell(rig.state, dialogs);
  rig.ui.fileAnswers.push_back(dir + "/rt.hex");
  ASSERT_EQ(BeginRealTimeDisplay(shell), 1);
  for (int i = 0; i < 400 && rig.state.realTime.readingsShown < 20; ++i) {
    rig.clock.Advance(rig.state.realTime.tickPeriodMs);
    ShellTick(shell);
  }
  const int rows = rig.state.realTime.readingsShown;
  ASSERT_GE(rows, 20);
  rig.ui.answers.push_back(MessageAnswer::No);  // "Stop transmission"
  RunCommand(shell, cmd::kFetchLiveReadings);
  EXPECT_FALSE(rig.state.realTime.active);
  EXPECT_FALSE(rig.state.shell.realTimeActive);
  EXPECT_EQ(rig.state.retrieval.currentFile, dir + "/rt.hex");
  EXPECT_EQ(rig.state.retrieval.data.sampleCount, rows);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tmv
