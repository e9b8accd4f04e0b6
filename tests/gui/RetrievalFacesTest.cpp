// "&Retrieve data" from the main window's menu on the emulated QN-760: the
// modeless "Data Retrieval" panel paced by the window's timer, the save
// dialog offered at once, and the data read back from "Read a &HEX file".
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QProgressBar>

#include "DesktopSupport.h"
#include <QRadioButton>

#include "files/DatFile.h"
#include "files/SaveFile.h"

namespace tmv::qt::guitest {
namespace {

QDialog* RetrievalPanelWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "retrievalPanel" && w->isVisible()) return qobject_cast<QDialog*>(w);
  return nullptr;
}

TEST(RetrievalFaces, RetrieveFromTheMenuShowsProgressAndSavesAtOnce) {
  Desktop desk("QN-760");
  desk.emulator.RecordSamples(3000, desk.clock.Milliseconds());
  ASSERT_TRUE(desk.Connect());
  QAction* retrieve = desk.window->ui().Action(cmd::kRetrieveData);
  ASSERT_NE(retrieve, nullptr);
  ASSERT_TRUE(retrieve->isEnabled());
  QAction* save = desk.window->ui().Action(cmd::kSaveFile);
  ASSERT_NE(save, nullptr);
  EXPECT_FALSE(save->isEnabled());  // nothing to save yet

  retrieve->trigger();
  QDialog* panel = RetrievalPanelWindow();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(S(panel->windowTitle()), "TMV Logger - Data Retrieval");
  auto* usage = Find<QLabel>(panel, "memoryUsage");
  ASSERT_NE(usage, nullptr);
  EXPECT_TRUE(usage->text().contains("readings")) << S(usage->text());
  auto* button = Find<QPushButton>(panel, "retrieveButton");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(S(button->text()), "Retrieve Data");
  QTest::qWait(50);
  ExpectNothingClipped(panel);
  Screenshot(panel, "retrieval-panel-open.png");

  const QString dat = desk.work.path() + "/desk.dat";
  auto answering = std::make_unique<FileDialogAnswers>(QStringList{dat});
  FileDialogAnswers& answers = *answering;
  button->click();
  auto* progress = Find<QProgressBar>(panel, "progressBar");
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(retrieve->isEnabled());  // greyed while the blocks go
  ASSERT_TRUE(QTest::qWaitFor([&] { return RetrievalPanelWindow() == nullptr || progress->value() >= 30; }, 20000));
  ASSERT_NE(RetrievalPanelWindow(), nullptr) << "the download ended before it could be seen";
  auto* message = Find<QLineEdit>(panel, "messageLine");
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(message->text().startsWith("Estimated download time remaining")) << S(message->text());
  Screenshot(panel, "retrieval-panel-downloading.png");

  ASSERT_TRUE(QTest::qWaitFor([&] { return RetrievalPanelWindow() == nullptr; }, 30000));
  QTest::qWait(50);
  EXPECT_TRUE(retrieve->isEnabled());
  EXPECT_TRUE(save->isEnabled());
  ASSERT_EQ(answers.titles.size(), 1);
  EXPECT_EQ(S(answers.titles[0]), "Select a 'dat' file for storing the data");
  // A name is proposed, and the user's own files of every logger are listed.
  EXPECT_TRUE(answers.proposed[0].startsWith("012345_20100607_")) << S(answers.proposed[0]);
  EXPECT_TRUE(answers.filters[0].startsWith("All Data Files (*.dat)")) << S(answers.filters[0]);
  EXPECT_TRUE(answers.offered[0].isEmpty());  // new data: no comment of earlier data
  EXPECT_EQ(desk.Message(), "Saved " + dat);
  EXPECT_TRUE(QFile::exists(dat));
  const std::string hex = HexPathFor(desk.window->state(), dat.toStdString());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(hex)));
  EXPECT_EQ(desk.window->state().retrieval.data.sampleCount, 3000);
  // The retrieved data is on the graph.
  EXPECT_TRUE(desk.window->state().graph.hasData);
  EXPECT_EQ(desk.window->state().graph.readingCount, 3000);
  EXPECT_TRUE(answers.boxes.isEmpty()) << S(answers.boxes.join("|"));
  Screenshot(desk.window.get(), "retrieval-main-window.png");

  answering.reset();
  // Read back from the recent-files submenu, where the saved file is first.
  QAction* recent = desk.window->ui().Action(cmd::kReadRecentFile);
  ASSERT_NE(recent, nullptr);
  EXPECT_TRUE(recent->text().endsWith(dat)) << S(recent->text());
  desk.window->state().retrieval.data.sampleCount = 0;
  recent->trigger();
  EXPECT_EQ(desk.window->state().retrieval.data.sampleCount, 3000);
  EXPECT_EQ(desk.window->state().graph.readingCount, 3000);  // drawn again from the file

  // Saved again (Ctrl+S): its own name and comment are offered.
  const QString copy = desk.work.path() + "/desk-copy.dat";
  FileDialogAnswers again({copy});
  desk.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(desk.window.get()));
  QTest::keyClick(desk.window.get(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(again.proposed.size(), 1);
  EXPECT_EQ(again.proposed[0], QFileInfo(dat).fileName());
  ASSERT_EQ(again.offered.size(), 1);
  EXPECT_EQ(again.offered[0], "from the desktop");
  EXPECT_TRUE(QFile::exists(copy));
  EXPECT_EQ(desk.Message(), "Saved " + copy);
}

TEST(RetrievalFaces, FormatDialogStoresTheChoice) {
  Desktop desk("QN-760");
  ASSERT_TRUE(desk.Connect());
  ModalScript script;
  script.On("TMV Logger - Write File Formats", [&](QWidget* d) {
    auto* radio = Find<QRadioButton>(d, QStringLiteral("format%1").arg(WriteFormatDialog::kTimeAndValues));
    ASSERT_NE(radio, nullptr);
    radio->click();
    ExpectNothingClipped(d);
    Screenshot(d, "write-format.png");
    script.Later(Find<QDialogButtonBox>(d)->button(QDialogButtonBox::Ok));
  });
  script.Run(desk.Item("&File", "&Format for the save file"));
  EXPECT_EQ(desk.window->state().settings.datFormat, 1);
}

}  // namespace
}  // namespace tmv::qt::guitest
