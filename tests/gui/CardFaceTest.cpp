// The "&MMC/SD memory" dialog from the main window, on the emulated QN-760
// with its card: the refresh its timer drives, a file's contents, the buttons.
#include <gtest/gtest.h>

#include "DesktopSupport.h"

namespace tmv::qt {
namespace {

using namespace guitest;

QStringList ListLines(QWidget* dialog) {
  QStringList lines;
  auto* list = Find<QListWidget>(dialog, "cardList");
  if (list == nullptr) return lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

// The card's replies are due on the virtual clock: each tick of the dialog's
// timer is followed by a second of it, and the timer runs fast so that the
// test does not wait the real seconds.
void RunCardTimer(Desktop& d, QWidget* dialog) {
  auto* timer = dialog->findChild<QTimer*>("mmcSdTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 1000);
  QObject::connect(timer, &QTimer::timeout, dialog, [&d] { d.clock.Advance(1000); });
  timer->setInterval(5);
  auto* refresh = Find<QPushButton>(dialog, "refreshButton");
  ASSERT_NE(refresh, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return refresh->isEnabled(); }, 3000));
  EXPECT_FALSE(timer->isActive());
}

TEST(CardFace, RefreshOnOpeningListsTheCardAndAFileIsShown) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("MMC/SD Memory", [&](QWidget* dialog) {
    script.LetRun(dialog);  // the script waits in here while the timer runs
    // Opening starts the refresh: "Refresh" is greyed until the card has answered.
    EXPECT_FALSE(Find<QPushButton>(dialog, "refreshButton")->isEnabled());
    RunCardTimer(d, dialog);
    EXPECT_EQ(S(ListLines(dialog)), (Strings{"Refreshing MMC/SD card data", "Refresh complete"}));
    EXPECT_EQ(S(Find<QLabel>(dialog, "memoryTypeText")->text()), "SD 2GB");
    EXPECT_EQ(S(Find<QLabel>(dialog, "sizeText")->text()), "Memory size = 1941504KB");
    EXPECT_EQ(S(Find<QLabel>(dialog, "firstText")->text()), "00000001");
    EXPECT_EQ(S(Find<QLabel>(dialog, "lastText")->text()), "00000004");
    auto* field = Find<QLineEdit>(dialog, "fileNumberField");
    EXPECT_EQ(S(field->text()), "00000004");
    TypeInto(field, "2");
    Find<QPushButton>(dialog, "contentsButton")->click();
    const QStringList lines = ListLines(dialog);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(S(lines.front()), "TMV data file 002");
    ButtonWithText(dialog, "Clear Box")->click();
    EXPECT_TRUE(ListLines(dialog).isEmpty());
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-mmcsd.png");
    script.Later(ButtonWithText(dialog, "Close"));
  });
  script.Run(d.Item("&Logger functions", "&MMC/SD memory"));
}

TEST(CardFace, CardThatNeverAnswersIsReportedAndRefreshCanBePressedAgain) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  d.emulator.faults().cardSilent = true;
  ModalScript script;
  script.On("MMC/SD Memory", [&](QWidget* dialog) {
    script.LetRun(dialog);
    RunCardTimer(d, dialog);
    EXPECT_EQ(S(ListLines(dialog)), (Strings{"Refreshing MMC/SD card data", "Unable to read MMC/SD size"}));
    EXPECT_EQ(S(Find<QLabel>(dialog, "memoryTypeText")->text()), "None found");
    script.Later(ButtonWithText(dialog, "Close"));
  });
  script.Run(d.Item("&Logger functions", "&MMC/SD memory"));
}

}  // namespace
}  // namespace tmv::qt
