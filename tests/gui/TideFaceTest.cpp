// "Tide analysis" from the main window on a month logged by the emulated
// QN-760: the panel shows the constituents a month resolves (the emulator's
// profile gives the answer), draws observed, predicted and residual, and
// saves the table and the series.
#include <gtest/gtest.h>

#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "DesktopSupport.h"
#include "GuiSupport.h"
#include "files/HexFile.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/SampleDecoder.h"

namespace tmv::qt {
namespace {

// A month of 10-minute readings logged by the in-process emulator and decoded.
void LogAMonth(AppState& state, sim::LoggerEmulator& emulator, VirtualClock& clock) {
  sim::EmulatedSerialSystem line(emulator, clock);
  LineSettings s;
  s.baud = emulator.profile().baud;
  s.readMultiplierMs = 1;
  auto port = line.Open("/dev/ttyTMV0", s);
  for (const char* c : {"J100607153000", "L100607160000M100710160000K001000", "P"})
    port->Write(reinterpret_cast<const uint8_t*>(c), std::strlen(c));
  clock.Advance(34LL * 86400 * 1000);
  port->Write(reinterpret_cast<const uint8_t*>("T"), 1);  // the logger catches up with its logging
  std::string reply(120, '\0');
  reply.resize(port->Read(reinterpret_cast<uint8_t*>(reply.data()), reply.size()));
  const sim::Profile& p = emulator.profile();
  const size_t length = std::min<size_t>(emulator.DataPointer(), p.dataMemory.size());
  std::memcpy(state.retrieval.image.Bytes(), p.dataMemory.data(), length);
  state.retrieval.image.imageLength = static_cast<int>(length);
  LoggerInfo& l = state.logger;
  l.model = p.model;
  l.firmwareVersion = p.firmwareVersion;
  l.serialNumber = p.serialNumber;
  l.microchipLogger = p.Microchip();
  l.parameterBlockLength = 48;
  const std::string types = emulator.ChannelTypes();
  l.channelCount = static_cast<int>(types.size());
  for (size_t c = 0; c < types.size(); ++c) l.channelTypes[c] = static_cast<uint8_t>(types[c]);
  const auto& cal = p.calibrationHistory.back().channels;
  for (size_t c = 0; c < cal.size(); ++c) state.calibration.coefficients[c] = cal[c];
  state.retrieval.data.deployment.samplingPeriod = MakeClock(0, 10, 0);
  DecodeSampleStream(state, true);
}

TEST(TideFace, AMonthFromTheEmulatorGivesBackItsConstituents) {
  guitest::Desktop desk("QN-760");
  {
    VirtualClock clock;
    ScriptedUserInterface ui;
    sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"));
    sim::EmulatedSerialSystem serial(emulator, clock);
    AppState recorded(serial, clock, ui);
    recorded.directories.work = desk.work.path().toStdString();
    recorded.settings.derived.anyDerived = recorded.settings.derived.depthEnabled = true;
    LogAMonth(recorded, emulator, clock);
    ASSERT_GT(recorded.retrieval.data.sampleCount, 30 * 144);
    ASSERT_TRUE(WriteHexFile(recorded, desk.work.filePath(QStringLiteral("month.hex")).toStdString()));
  }
  QFile ini(desk.work.filePath(QStringLiteral("tmv.ini")));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("Depth Seawater=ON\nLatitude=45 0.000\n");
  ini.close();
  StartupOptions options;
  options.workDirectory = desk.work.path().toStdString();
  options.commandLineFile = desk.work.filePath(QStringLiteral("month.hex")).toStdString();
  desk.window->state().shell.exiting = true;
  desk.window.reset();
  desk.window = std::make_unique<MainWindow>(desk.serial, desk.clock, options);
  MainWindow& w = *desk.window;
  ASSERT_TRUE(w.Start());
  w.show();
  w.AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_TRUE(w.state().graph.hasData) << w.state().statusText;

  // The emulator's sea: M2 1.05 m at 118 degrees, O1 0.23 m at 198 degrees, N2 0.21 m at 97 degrees.
  const struct {
    const char* name;
    double amplitude, phase;
  } expected[] = {{"M2", 1.05, 118.0}, {"O1", 0.23, 198.0}, {"N2", 0.21, 97.0}};
  const QString saved = desk.work.filePath(QStringLiteral("month"));
  guitest::ModalScript script;
  script.On(QStringLiteral("Tide analysis"), [&](QWidget* panel) {
    auto* table = panel->findChild<QTableWidget*>(QStringLiteral("tideTable"));
    ASSERT_NE(table, nullptr);
    for (const auto& c : expected) {
      const auto found = table->findItems(QString::fromLatin1(c.name), Qt::MatchExactly);
      ASSERT_EQ(found.size(), 1) << c.name;
      const int row = found.front()->row();
      EXPECT_NEAR(table->item(row, 2)->text().toDouble(), c.amplitude, 0.01 * c.amplitude + 0.004) << c.name;
      const double d = std::fmod(std::fabs(table->item(row, 4)->text().toDouble() - c.phase), 360.0);
      EXPECT_LT(std::min(d, 360.0 - d), 2.0) << c.name;
    }
    EXPECT_TRUE(table->findItems(QStringLiteral("K2"), Qt::MatchExactly).isEmpty());  // a month does not resolve it
    auto* graph = panel->findChild<QLabel*>(QStringLiteral("tideGraph"));
    ASSERT_NE(graph, nullptr);
    EXPECT_FALSE(graph->pixmap().isNull());  // observed, predicted and residual drawn by the graph core
    guitest::Screenshot(panel, "tide-analysis.png");
    script.Later(panel->findChild<QPushButton*>(QStringLiteral("tideSave")));
  });
  script.On(QStringLiteral("Save the tide analysis"), [&](QWidget* modal) {
    auto* f = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(f, nullptr);
    // The name is typed again until the dialog takes it: on a busy machine
    // its directory listing may not be ready at the first try.
    script.LetRun(f);
    f->setDirectory(desk.work.path());
    auto* retry = new QTimer(f);
    QObject::connect(retry, &QTimer::timeout, f, [f] {
      if (auto* edit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(QStringLiteral("month_tide.csv"));
      else
        f->selectFile(QStringLiteral("month_tide.csv"));
      QMetaObject::invokeMethod(f, "accept", Qt::QueuedConnection);
    });
    retry->start(50);
  });
  script.On(QStringLiteral("Tide analysis"), [&](QWidget* panel) {
    EXPECT_TRUE(panel->findChild<QLabel*>(QStringLiteral("tideMessage"))->text().startsWith(QStringLiteral("Wrote ")));
    script.Later(panel->findChild<QPushButton*>(QStringLiteral("tideClose")));
  });
  script.Run(desk.Item(QStringLiteral("&Analysis"), QStringLiteral("&Tide analysis")));
  EXPECT_TRUE(QFileInfo::exists(saved + QStringLiteral("_constituents.csv")));
  EXPECT_TRUE(QFileInfo::exists(saved + QStringLiteral("_tide.csv")));
  ASSERT_TRUE(w.state().analysis.tide.has_value());
  EXPECT_TRUE(w.state().analysis.tide->Matches(w.state().retrieval.data));
}

}  // namespace
}  // namespace tmv::qt
