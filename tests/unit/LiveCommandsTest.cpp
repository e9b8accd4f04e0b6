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
