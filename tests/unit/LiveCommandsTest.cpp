// "&Fetch live readings" and "&Micro-Salinometer" from the menu, with
// scripted faces, paced by the shell's tick on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/SeawaterFormulas.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/LiveCommands.h"
#include "shell/Shell.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

class RecordingTimer : public PollTimer {
 public:
  bool StartPollTimer(int periodMs, bool) override {
    period = periodMs;
    return true;
  }
  void StopPollTimer() override { period = 0; }
  int PeriodMs() const override { return period; }
  int period = 1000;
};

template <class Panel>
struct PanelRig : test::EmulatedRig {
  explicit PanelRig(const std::string& profile) : test::EmulatedRig(profile), shell(state, dialogs) {
    shell.timer = &timer;
    dialogs.Register<Panel>([this](Panel& p) {
      panel = &p;
      p.close = [this] { panel = nullptr; };
      return 1;
    });
  }
  // Ticks as the timer would until done() or `most` ticks.
  template <class Done>
  bool TickUntil(Done done, int most) {
    for (int i = 0; i < most && panel != nullptr; ++i) {
      if (done()) return true;
      clock.Advance(timer.period);
      ShellTick(shell);
    }
    return panel != nullptr && done();
  }
  DialogPresenter dialogs;
  Shell shell;
  RecordingTimer timer;
  Panel* panel = nullptr;
};

TEST(LiveReadingsCommand, TickFetchesTheChosenChannelAndCloseLeavesFetchMode) {
  PanelRig<LiveReadingsPanel> rig("QN-760");
  ASSERT_EQ(RunCommand(rig.shell, cmd::kFetchLiveReadings), 1);
  ASSERT_NE(rig.panel, nullptr);
  ASSERT_TRUE(rig.shell.modelessStep);
  rig.panel->StepChannel(1);
  EXPECT_EQ(rig.panel->dialog.channel, 2);
  ASSERT_TRUE(rig.TickUntil([&] { return rig.panel->dialog.fetches >= 2; }, 30));
  EXPECT_TRUE(rig.panel->dialog.lastValue.has_value());
  // A second panel is not opened over the first.
  EXPECT_EQ(RunCommand(rig.shell, cmd::kFetchLiveReadings), 0);
  rig.shell.modelessClose();
  EXPECT_EQ(rig.panel, nullptr);
  EXPECT_FALSE(rig.shell.modelessStep);
  EXPECT_TRUE(rig.state.query.binaryOutput);
}

TEST(MicroSalinometerCommand, PanelReadsTheSampleAtSixHertzAndCloseStopsTheInstrument) {
  PanelRig<MicroSalPanel> rig("VL-840");
  rig.profile().bench.bathTemperature = 15.0;
  // Standard seawater of the instrument's own K15 in both cells: Rt = K15.
  const double k15 = rig.profile().bench.standardK15;
  rig.profile().bench.sampleSalinity = SalinityPss78(k15, 15.0, 0.0, 1);
  ASSERT_EQ(RunCommand(rig.shell, cmd::kMicroSalinometer), 1) << (rig.ui.boxes.empty() ? "" : rig.ui.boxes.back().text);
  ASSERT_NE(rig.panel, nullptr);
  EXPECT_EQ(rig.panel->m.title, "VL-840 084012");
  EXPECT_EQ(rig.panel->m.text, "Setup:\n\nVL-840 setup in progress");
  rig.panel->SetAveraging(2);
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.panel->m.setupPending && rig.panel->m.settled; }, 4000));
  EXPECT_EQ(rig.timer.period, 100);  // the panel's fast tick once records come
  EXPECT_GE(rig.panel->m.graph[0].size(), 12u);  // a full window of means
  EXPECT_NE(rig.panel->m.salinityText.find("Sample salinity (PSS-78): "), std::string::npos);
  rig.panel->PressClose();
  EXPECT_EQ(rig.panel, nullptr);
  EXPECT_EQ(rig.timer.period, 1000);
  EXPECT_FALSE(rig.shell.modelessStep);
}

// The panel lives from start-up to exit: hidden, it must not reach the
// instrument (nor a file) from the tick or from a stray button, and the
// command shows the same panel again with what its fields held.
TEST(MicroSalinometerCommand, TheHiddenPanelOfStartUpStaysIdleAndTheCommandShowsItAgain) {
  PanelRig<MicroSalPanel> rig("VL-840");
  const auto panel = MicroSalinometerPanel(rig.shell);
  EXPECT_EQ(MicroSalinometerPanel(rig.shell), panel);
  EXPECT_TRUE(panel->closed);
  EXPECT_FALSE(rig.shell.modelessStep);

  ASSERT_EQ(RunCommand(rig.shell, cmd::kMicroSalinometer), 1) << (rig.ui.boxes.empty() ? "" : rig.ui.boxes.back().text);
  ASSERT_EQ(rig.panel, panel.get());
  panel->SetAveraging(2);
  ASSERT_TRUE(rig.TickUntil([&] { return !panel->m.setupPending && panel->m.sampleCount > 0; }, 400));
  panel->PressClose();
  ASSERT_EQ(rig.panel, nullptr);
  EXPECT_TRUE(panel->closed);

  // Hidden: ticks, the tick's own step and every button leave the logger alone.
  const size_t commands = rig.emulator.CommandLog().size();
  const size_t boxes = rig.ui.boxes.size();
  const size_t samples = panel->m.graph[0].size();
  for (int i = 0; i < 50; ++i) {
    rig.clock.Advance(100);
    ShellTick(rig.shell);
  }
  panel->Step();
  EXPECT_EQ(panel->PressAccept(), 0);
  panel->PressOpenOrClose();
  EXPECT_FALSE(panel->PressSaveNow("bottle 1"));
  EXPECT_EQ(rig.emulator.CommandLog().size(), commands);
  EXPECT_EQ(rig.ui.boxes.size(), boxes);
  EXPECT_EQ(panel->m.graph[0].size(), samples);
  EXPECT_TRUE(panel->m.captureFile.empty());
  EXPECT_EQ(rig.timer.period, 1000);

  // Shown again: the same panel, its averaging kept, the instrument set up anew.
  ASSERT_EQ(RunCommand(rig.shell, cmd::kMicroSalinometer), 1);
  ASSERT_EQ(rig.panel, panel.get());
  EXPECT_FALSE(panel->closed);
  EXPECT_EQ(panel->m.averagingSeconds, 2);
  EXPECT_TRUE(panel->m.setupPending);
  EXPECT_TRUE(panel->m.graph[0].empty());
  ASSERT_TRUE(rig.TickUntil([&] { return !panel->m.setupPending && panel->m.sampleCount > 0; }, 400));
  EXPECT_EQ(rig.timer.period, 100);
  rig.shell.modelessClose();
  EXPECT_EQ(rig.panel, nullptr);
  EXPECT_EQ(rig.timer.period, 1000);
}

TEST(MicroSalinometerCommand, ALoggerWithoutTheLayoutIsRefused) {
  PanelRig<MicroSalPanel> rig("QN-760");
  EXPECT_EQ(RunCommand(rig.shell, cmd::kMicroSalinometer), 0);
  ASSERT_FALSE(rig.ui.boxes.empty());
  EXPECT_EQ(rig.ui.boxes.back().text,
            "The logger connected is not a Micro-Salinometer\n or does not have some necessary feature.");
  EXPECT_EQ(rig.ui.boxes.back().caption, "Micro-Salinometer");
  EXPECT_EQ(rig.panel, nullptr);
  EXPECT_FALSE(rig.shell.modelessStep);
}

}  // namespace
}  // namespace tmv
