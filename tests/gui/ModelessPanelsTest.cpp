// The modeless panels and the main window's lifetime: the micro-salinometer
// panel is there, hidden, from start-up; a window that goes while a panel is
// open ends the panel first, as the panel's own "Close" does, and nothing
// of the panel reaches the window's shell once it has gone.
#include "DesktopSupport.h"
#include "PanelDock.h"

namespace tmv::qt::guitest {
namespace {

// A panel by name, whether a window of its own or in a dock beside the graph.
QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == QLatin1String(name)) return w;
  return nullptr;
}

// Runs the window's timer while the emulated clock keeps pace with it.
void Tick(Desktop& desk, int ticks, int periodMs) {
  for (int i = 0; i < ticks; ++i) {
    desk.clock.Advance(periodMs);
    QTest::qWait(periodMs / 10 + 1);
  }
}

// An item of the menu bar itself, by the text the user sees.
QAction* BarItem(Desktop& desk, const QString& text) {
  for (QAction* a : desk.window->menuBar()->actions())
    if (a->text() == text) return a;
  ADD_FAILURE() << "no menu bar item " << text.toStdString();
  return nullptr;
}

// Leaves a half-typed value in the panel's first field, with the focus in
// it: the field then reports its edit when it loses the focus, as it does
// when its window goes.
void LeaveAnEditInAField(QWidget* panel) {
  panel->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
  const auto fields = panel->findChildren<QLineEdit*>();
  for (QLineEdit* field : fields) {
    if (!field->isVisible() || !field->isEnabled()) continue;
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("5"));
    return;
  }
}

TEST(MicroSalinometerPanelWindow, ExistsHiddenFromStartUpAndTheMenuShowsTheSameWindowAgain) {
  Desktop desk("VL-840");
  ASSERT_TRUE(desk.Connect());
  QPointer<QWidget> panel = TopLevel("microSalinometer");
  ASSERT_NE(panel, nullptr) << "the panel is built with the main window";
  EXPECT_FALSE(panel->isVisible());
  ASSERT_NE(DockOf(panel), nullptr);
  EXPECT_EQ(DockOf(panel)->parentWidget(), desk.window.get());

  // Hidden, the tick leaves the instrument alone.
  const size_t commands = desk.emulator.CommandLog().size();
  Tick(desk, 10, 1000);
  EXPECT_EQ(desk.emulator.CommandLog().size(), commands);

  BarItem(desk, "&Micro-Salinometer")->trigger();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(S(panel->windowTitle()), "VL-840 084012");
  Tick(desk, 20, 100);
  Find<QPushButton>(panel, "closeButton")->click();
  ASSERT_FALSE(panel.isNull()) << "closing hides the panel; it lives on";
  EXPECT_FALSE(panel->isVisible());
  Tick(desk, 3, 1000);

  BarItem(desk, "&Micro-Salinometer")->trigger();
  EXPECT_EQ(TopLevel("microSalinometer"), panel.data());
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(S(Find<QLabel>(panel, "information")->text()), "Setup:\n\nVL-840 setup in progress");
  panel->close();  // the close box: the same as "Close"
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(BarItem(desk, "&Micro-Salinometer")->isEnabled());
}

// The window goes (deleted by its owner, not closed) while each panel is
// open, with an edit pending in one of its fields.
class WindowGoesWithAPanelOpen : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowGoesWithAPanelOpen, ThePanelEndsFirstAndNothingReachesTheGoneShell) {
  const std::string which = GetParam();
  Desktop desk(which == "microSalinometer" ? "VL-840" : "QN-760");
  ASSERT_TRUE(desk.Connect());
  const int command = which == "liveReadings"       ? cmd::kFetchLiveReadings
                      : which == "microSalinometer" ? cmd::kMicroSalinometer
                                                    : cmd::kRetrieveData;
  desk.window->ui().Action(command)->trigger();
  QPointer<QWidget> panel = TopLevel(which.c_str());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());
  Tick(desk, 10, 100);
  LeaveAnEditInAField(panel);

  const size_t commands = desk.emulator.CommandLog().size();
  desk.window->state().shell.exiting = true;  // gone without the exit questions
  desk.window.reset();
  EXPECT_TRUE(panel.isNull());
  // The micro-salinometer stops the instrument, as its "Close" does.
  if (which == "microSalinometer") {
    EXPECT_GT(desk.emulator.CommandLog().size(), commands);
  }
  QTest::qWait(20);  // whatever was posted to the gone windows
}

INSTANTIATE_TEST_SUITE_P(Panels, WindowGoesWithAPanelOpen,
                         ::testing::Values("liveReadings", "microSalinometer", "retrievalPanel"));

TEST(MainWindowClose, ClosingTheWindowEndsTheOpenPanelThroughItsClose) {
  Desktop desk("VL-840");
  ASSERT_TRUE(desk.Connect());
  desk.window->ui().Action(cmd::kMicroSalinometer)->trigger();
  QPointer<QWidget> panel = TopLevel("microSalinometer");
  ASSERT_NE(panel, nullptr);
  Tick(desk, 10, 100);
  const size_t commands = desk.emulator.CommandLog().size();
  EXPECT_TRUE(desk.window->close());
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(desk.window->shell().modelessStep);
  EXPECT_GT(desk.emulator.CommandLog().size(), commands);  // the instrument stopped
}

}  // namespace
}  // namespace tmv::qt::guitest
