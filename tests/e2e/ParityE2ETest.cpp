// One truth in both faces: the same operation run through the desktop
// program's command path (the core shell with scripted faces, as its window
// drives it) and through tmv-cli, against the emulated logger on a
// pseudo-terminal, in one work directory with one tmv.ini. Files must be the
// same byte for byte, and values the same line for line.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/WaveAnalysis.h"
#include "files/WorkFiles.h"
#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/LiveReadings.h"
#include "shell/AppState.h"
#include "shell/CommandIds.h"
#include "shell/DialogPresenter.h"
#include "shell/LiveCommands.h"
#include "shell/RetrievalCommands.h"
#include "shell/SetupCommand.h"
#include "shell/Shell.h"
#include "shell/Startup.h"
#include "support/ChildProcess.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

using test::ProgramRun;
using test::SimProcess;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string FileText(const std::string& path) { return ReadTextFile(path, 64u << 20).value_or("<missing " + path + ">"); }

// The text without the lines that hold one of `keys`: the clocks at the
// moment of a retrieval are the only thing two retrievals may not share.
std::string Without(const std::string& text, std::initializer_list<const char*> keys) {
  std::string out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    bool drop = false;
    for (const char* k : keys) drop = drop || line.rfind(k, 0) == 0;
    if (!drop) out += line + "\n";
  }
  return out;
}

// The shell's timer as the window's timer: the test ticks at its period.
class WindowTimer : public PollTimer {
 public:
  bool StartPollTimer(int periodMs, bool) override {
    period = periodMs;
    return true;
  }
  void StopPollTimer() override { period = 0; }
  int PeriodMs() const override { return period; }
  int period = 1000;
};

// The desktop program as its window drives it: started in the work
// directory on the logger's pseudo-terminal, commands run from the menu,
// modeless panels stepped by the tick at the timer's period.
struct DesktopFace {
  DesktopFace(const std::string& work, const std::string& port) : state(serial, clock, ui), shell(state, dialogs) {
    shell.timer = &timer;
    StartupOptions options;
    options.workDirectory = work;
    options.loggerDevice = port;
    started = StartShell(shell, options) == 1;
    dialogs.Register<RetrievalPanel>([this](RetrievalPanel& p) {
      retrieval = &p;
      p.close = [this] { retrieval = nullptr; };
      return 1;
    });
    dialogs.Register<DownloadQueryChoice>([](DownloadQueryChoice&) { return kQueryButton7; });
    dialogs.Register<LiveReadingsPanel>([this](LiveReadingsPanel& p) {
      live = &p;
      p.close = [this] { live = nullptr; };
      return 1;
    });
  }
  ~DesktopFace() {
    CloseLink(state, state.loggerLink, state.ports.loggerPort);
    CloseLink(state, state.gpsLink, state.ports.gpsPort);
  }
  // Ticks the shell at its timer's period until done(); false after limitMs.
  template <class Done>
  bool TickUntil(Done done, int limitMs) {
    const int64_t end = clock.Milliseconds() + limitMs;
    while (!done()) {
      if (clock.Milliseconds() > end) return false;
      clock.DelayMs(std::max(timer.period, 10));
      ShellTick(shell);
    }
    return true;
  }
  // "&Retrieve data", "Retrieve Data", the blocks, and the save offered at once.
  bool Download(const std::string& datPath, const std::string& comment) {
    ui.fileAnswers.push_back(datPath);
    ui.textAnswers.push_back(comment);
    if (RunCommand(shell, cmd::kRetrieveData) != 1 || retrieval == nullptr) return false;
    retrieval->PressRetrieve();
    return TickUntil([this] { return retrieval == nullptr; }, 120000);
  }
  // "Read a &HEX file", then "&Save file" of its DAT file.
  bool ReadHexAndSave(const std::string& hexPath, const std::string& datPath, const std::string& comment) {
    ui.fileAnswers.push_back(hexPath);
    if (RunCommand(shell, cmd::kReadHexFile) != 1) return false;
    ui.fileAnswers.push_back(datPath);
    ui.textAnswers.push_back(comment);
    return RunCommand(shell, cmd::kSaveFile) == 1;
  }
  bool Export(const std::string& hexPath, const std::string& outPath) {
    ui.fileAnswers.push_back(hexPath);
    if (RunCommand(shell, cmd::kReadHexFile) != 1) return false;
    ui.fileAnswers.push_back(outPath);
    ui.textAnswers.push_back("");  // the logger clock's zone is not known
    return RunCommand(shell, cmd::kExportData) == 1;
  }

  ScriptedUserInterface ui;
  SystemClock clock;
  PosixSerialSystem serial;
  AppState state;
  DialogPresenter dialogs;
  Shell shell;
  WindowTimer timer;
  bool started = false;
  RetrievalPanel* retrieval = nullptr;
  LiveReadingsPanel* live = nullptr;
};

// The work directory both faces share, with its tmv.ini.
class Parity : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& text) const { WriteTextFile(Path("tmv.ini"), text); }
  std::string Path(const std::string& name) const { return work.path + "/" + name; }
  // tmv-cli in the work directory.
  ProgramRun Cli(std::vector<std::string> args, int timeoutMs = 120000) const {
    args.insert(args.begin(), {"--work-dir", work.path});
    return test::RunCli(std::move(args), timeoutMs);
  }
  ProgramRun Cli(const std::string& port, std::vector<std::string> args, int timeoutMs = 120000) const {
    args.insert(args.begin(), {"--port", port});
    return Cli(std::move(args), timeoutMs);
  }

  test::ScopedTempDir work;
};

// Derived units, their values and the DAT layout as a user keeps them.
constexpr const char* kSeaSettings =
    "Format=2\n"
    "Density (kg/m3)=ON\n"
    "Salinity=ON Hydrostatic pressure=0.00\n"
    "Speed of Sound: delGrosso=ON\n"
    "Atmospheric pressure=10.132500\n"
    "Latitude=53 30.000\n"
    "Depth Seawater=ON\n";

TEST_F(Parity, DownloadWritesTheSameHexAndDatFiles) {
  WriteSettings(kSeaSettings);
  SimProcess sim({"--model", "QN-760", "--record", "400"});
  ASSERT_FALSE(sim.path().empty());
  {
    DesktopFace desk(work.path, sim.path());
    ASSERT_TRUE(desk.started);
    ASSERT_TRUE(desk.Download(Path("dat/desk.dat"), "parity run"));
  }
  const ProgramRun cli = Cli(sim.path(), {"download", "-o", Path("dat/cli.dat"), "--comment", "parity run"});
  ASSERT_EQ(cli.status, 0) << cli.err << cli.out;

  // The clocks at retrieval are the two retrievals' own.
  const auto same = [](const std::string& text) { return Without(text, {"Host time", "Logger time"}); };
  const std::string deskHex = FileText(Path("hex/desk.hex"));
  EXPECT_EQ(same(deskHex), same(FileText(Path("hex/cli.hex"))));
  const std::string deskDat = FileText(Path("dat/desk.dat"));
  EXPECT_EQ(same(deskDat), same(FileText(Path("dat/cli.dat"))));
  // The settings were in force: seawater depth at 53.5 degrees, dates and times on every row.
  EXPECT_TRUE(Has(deskDat, "(Seawater calculation)\r\nLatitude 53 degrees 30.000 minutes")) << deskDat.substr(0, 2000);
  EXPECT_TRUE(Has(deskDat, "     Depth ")) << deskDat.substr(0, 2000);
  EXPECT_TRUE(std::regex_search(deskDat, std::regex(R"(\n\d{4}/\d\d/\d\d \d\d:\d\d:\d\d +-?\d+\.\d{4} )")));
}

TEST_F(Parity, DownloadOfTheSingleChannelRecordersWritesTheSameFiles) {
  WriteSettings(kSeaSettings);
  for (const char* model : {"KM-3170", "KPM-5170"}) {
    SimProcess sim({"--model", model, "--record", "200"});
    ASSERT_FALSE(sim.path().empty());
    const std::string desk = std::string("dat/desk-") + model + ".dat", cli = std::string("dat/cli-") + model + ".dat";
    {
      DesktopFace face(work.path, sim.path());
      ASSERT_TRUE(face.started);
      ASSERT_TRUE(face.Download(Path(desk), "parity run")) << model;
    }
    const ProgramRun run = Cli(sim.path(), {"download", "-o", Path(cli), "--comment", "parity run"});
    ASSERT_EQ(run.status, 0) << model << ": " << run.err;
    const auto same = [](const std::string& text) { return Without(text, {"Host time", "Logger time"}); };
    EXPECT_EQ(same(FileText(Path(desk))), same(FileText(Path(cli)))) << model;
  }
}

TEST_F(Parity, ConvertAndExportOfAHexFileGiveTheSameFiles) {
  WriteSettings(kSeaSettings);
  SimProcess sim({"--model", "QN-760", "--record", "300"});
  ASSERT_FALSE(sim.path().empty());
  const ProgramRun download = Cli(sim.path(), {"--no-settings", "download", "-o", Path("dat/run.dat"), "--comment", "c"});
  ASSERT_EQ(download.status, 0) << download.err;
  const std::string hex = Path("hex/run.hex");
  {
    DesktopFace desk(work.path, sim.path());
    ASSERT_TRUE(desk.started);
    ASSERT_TRUE(desk.ReadHexAndSave(hex, Path("dat/desk.dat"), "c"));
    ASSERT_TRUE(desk.Export(hex, Path("desk.csv")));
  }
  const ProgramRun convert = Cli({"convert", hex, "-o", Path("dat/cli.dat")});
  ASSERT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(FileText(Path("dat/desk.dat")), FileText(Path("dat/cli.dat")));
  const ProgramRun exported = Cli({"export", hex, "-o", Path("cli.csv")});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::string csv = FileText(Path("desk.csv"));
  EXPECT_EQ(csv, FileText(Path("cli.csv")));
  EXPECT_TRUE(Has(csv, ",depth [m],")) << csv.substr(0, 400);
  EXPECT_TRUE(Has(csv, "\r\n20")) << csv.substr(0, 400);  // dated rows
}

// Options override the settings for the run only, and --no-settings runs on
// the defaults without writing any work file over.
TEST_F(Parity, OptionsOverrideTheSettingsForOneRunOnly) {
  WriteSettings(kSeaSettings);
  const std::string before = FileText(Path("tmv.ini"));
  SimProcess sim({"--model", "QN-760", "--record", "50"});
  ASSERT_FALSE(sim.path().empty());
  const ProgramRun download = Cli(sim.path(), {"download", "-o", Path("dat/run.dat")});
  ASSERT_EQ(download.status, 0) << download.err;
  const ProgramRun plain = Cli({"--no-settings", "convert", Path("hex/run.hex"), "-o", Path("plain.dat")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string text = FileText(Path("plain.dat"));
  EXPECT_FALSE(Has(text, "Depth")) << text.substr(0, 1500);
  EXPECT_TRUE(Has(text, "\nN04%9.4f")) << text.substr(0, 1500);  // values only, the default format
  const ProgramRun simplified =
      Cli({"convert", Path("hex/run.hex"), "-o", Path("simple.dat"), "--derived", "depth:simplified", "--format", "time"});
  ASSERT_EQ(simplified.status, 0) << simplified.err;
  EXPECT_TRUE(Has(FileText(Path("simple.dat")), "(Simplified calculation)"));
  EXPECT_EQ(FileText(Path("tmv.ini")), before);
}

// The tide-and-wave recorder logs bursts for a few hours of its fast clock;
// its memory is retrieved once, and both faces work on that HEX file.
class KzmParity : public Parity {
 protected:
  static void SetUpTestSuite() {
    shared_ = new test::ScopedTempDir;
    sim_ = new SimProcess({"--model", "KZM-5170", "--time-scale", "10000"});
    if (sim_->path().empty()) return;
    const std::time_t end = std::time(nullptr) + 60 * 86400;
    std::tm tm{};
    localtime_r(&end, &tm);
    char endText[32];
    std::strftime(endText, sizeof endText, "%Y/%m/%d %H:%M:%S", &tm);
    const ProgramRun setup =
        test::RunCli({"--port", sim_->path(), "--no-settings", "--yes", "setup", "--now", "--period", "00:10:00", "--end",
                      endText, "--waves", "on", "--burst-rate", "4", "--burst-samples", "512", "--burst-period",
                      "01:00:00", "--depth", "11", "--height", "1", "--erase"},
                     120000);
    if (setup.status != 0) return;
    // Five hours of the logger's time.
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));
    const ProgramRun download =
        test::RunCli({"--port", sim_->path(), "--work-dir", shared_->path, "--no-settings", "download", "--stop", "-o",
                      shared_->path + "/dat/kzm.dat", "--derived", "depth", "--comment", "kzm"},
                     120000);
    if (download.status == 0) hex_ = shared_->path + "/hex/kzm.hex";
  }
  static void TearDownTestSuite() {
    delete sim_;
    delete shared_;
  }
  void SetUp() override {
    ASSERT_FALSE(hex_.empty()) << "the tide-and-wave recording could not be made";
    std::filesystem::copy_file(hex_, Path("kzm.hex"));
    // Seawater depth at 53.5 degrees: 0.06 m from the simplified formula at 10 m.
    WriteSettings("Format=2\nLatitude=53 30.000\nDepth Seawater=ON\n");
  }
  std::string Hex() const { return Path("kzm.hex"); }

  static test::ScopedTempDir* shared_;
  static SimProcess* sim_;
  static std::string hex_;
};
test::ScopedTempDir* KzmParity::shared_ = nullptr;
SimProcess* KzmParity::sim_ = nullptr;
std::string KzmParity::hex_;

// The wave columns are computed from the bursts by both, and the wave and
// tide files written beside the DAT file are the same.
TEST_F(KzmParity, ConvertWritesTheSameDatWaveAndTideFiles) {
  {
    DesktopFace desk(work.path, sim_->path());
    ASSERT_TRUE(desk.started);
    ASSERT_TRUE(desk.ReadHexAndSave(Hex(), Path("dat/desk.dat"), "kzm"));
  }
  const ProgramRun convert = Cli({"convert", Hex(), "-o", Path("dat/cli.dat")});
  ASSERT_EQ(convert.status, 0) << convert.err;
  const std::string dat = FileText(Path("dat/desk.dat"));
  EXPECT_EQ(dat, FileText(Path("dat/cli.dat")));
  // The tidal slope is computed, not the invalid marker.
  EXPECT_TRUE(Has(dat, " Td_Slope ")) << dat.substr(0, 2000);
  EXPECT_FALSE(Has(dat, "-1000.0000")) << dat.substr(0, 3000);
  EXPECT_TRUE(Has(dat, "(Seawater calculation)")) << dat.substr(0, 2000);
  const std::string wave = FileText(Path("kzm/desk.wave"));
  EXPECT_EQ(wave, FileText(Path("kzm/cli.wave")));
  EXPECT_EQ(FileText(Path("kzm/desk.tide")), FileText(Path("kzm/cli.tide")));
  EXPECT_TRUE(Has(wave, "H(1/3)")) << wave.substr(0, 2000);
}

TEST_F(KzmParity, ExportWritesTheWaveColumnsAsTheDesktopDoes) {
  {
    DesktopFace desk(work.path, sim_->path());
    ASSERT_TRUE(desk.started);
    ASSERT_TRUE(desk.Export(Hex(), Path("desk.csv")));
  }
  const ProgramRun exported = Cli({"export", Hex(), "-o", Path("cli.csv")});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.err, "");  // no note of a column without readings
  const std::string csv = FileText(Path("desk.csv"));
  EXPECT_EQ(csv, FileText(Path("cli.csv")));
  // Every row after the first burst carries a wave height and a slope.
  std::istringstream rows(csv);
  std::string head;
  std::getline(rows, head);
  EXPECT_TRUE(Has(head, ",significant_wave_height [m],") && Has(head, ",tidal_slope [m h-1],")) << head;
  int filled = 0, rowsSeen = 0;
  for (std::string row; std::getline(rows, row); ++rowsSeen) filled += Has(row, ",,") ? 0 : 1;
  EXPECT_GT(rowsSeen, 10);
  EXPECT_GT(filled, rowsSeen / 2) << csv.substr(0, 1500);
}

// `waves` prints, burst by burst, what the desktop's analysis holds.
TEST_F(KzmParity, WavesGivesTheDesktopsBurstFiguresWithTheSettingsDepth) {
  std::vector<WaveResult> desktop;
  double loggerHeight = 0;
  {
    DesktopFace desk(work.path, sim_->path());
    ASSERT_TRUE(desk.started);
    desk.ui.fileAnswers.push_back(Hex());
    ASSERT_EQ(RunCommand(desk.shell, cmd::kReadHexFile), 1);
    const WaveStore* store = WaveResults(desk.state);
    ASSERT_NE(store, nullptr);
    desktop = store->results;
    loggerHeight = desk.state.retrieval.data.deployment.loggerHeight;
  }
  ASSERT_GE(desktop.size(), 3u);
  const ProgramRun waves = Cli({"waves", Hex(), "--json"});
  ASSERT_EQ(waves.status, 0) << waves.err;
  const std::regex burst(
      R"re(\{"burst":(\d+),"start":"[^"]*","water_depth_m":([-0-9.e+]+),"hs_m":([-0-9.e+]+),[^{}]*?"tz_s":([-0-9.e+]+))re");
  size_t seen = 0;
  for (std::sregex_iterator m(waves.out.begin(), waves.out.end(), burst), end; m != end; ++m, ++seen) {
    const size_t b = std::stoul((*m)[1]) - 1;
    ASSERT_LT(b, desktop.size());
    EXPECT_NEAR(std::stod((*m)[2]), desktop[b].meanDepth + loggerHeight, 1e-4) << "burst " << b + 1;
    EXPECT_NEAR(std::stod((*m)[3]), desktop[b].hThird, 1e-5) << "burst " << b + 1;
    EXPECT_NEAR(std::stod((*m)[4]), desktop[b].tAvg, 1e-5) << "burst " << b + 1;
  }
  EXPECT_EQ(seen, desktop.size()) << waves.out;

  // With the settings' seawater depth at 53.5 degrees, not the simplified
  // formula at latitude 0.
  WriteSettings("Format=2\nDepth Freshwater=OFF\n");
  const ProgramRun simplified = Cli({"waves", Hex(), "--json", "--burst", "1"});
  ASSERT_EQ(simplified.status, 0) << simplified.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(simplified.out, m, burst)) << simplified.out;
  EXPECT_GT(std::fabs(std::stod(m[2]) - (desktop[0].meanDepth + loggerHeight)), 0.004) << simplified.out;
  const ProgramRun chosen = Cli({"waves", Hex(), "--json", "--burst", "1", "--derived", "depth:seawater", "--latitude", "53.5"});
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  ASSERT_TRUE(std::regex_search(chosen.out, m, burst)) << chosen.out;
  EXPECT_NEAR(std::stod(m[2]), desktop[0].meanDepth + loggerHeight, 1e-4) << chosen.out;
}

TEST_F(KzmParity, DownloadOfATideAndWaveRecorderWritesTheSameFiles) {
  {
    DesktopFace desk(work.path, sim_->path());
    ASSERT_TRUE(desk.started);
    ASSERT_TRUE(desk.Download(Path("dat/desk.dat"), "kzm"));
  }
  const ProgramRun cli = Cli(sim_->path(), {"download", "-o", Path("dat/cli.dat"), "--comment", "kzm"});
  ASSERT_EQ(cli.status, 0) << cli.err;
  const auto same = [](const std::string& text) { return Without(text, {"Host time", "Logger time"}); };
  EXPECT_EQ(same(FileText(Path("hex/desk.hex"))), same(FileText(Path("hex/cli.hex"))));
  EXPECT_EQ(same(FileText(Path("dat/desk.dat"))), same(FileText(Path("dat/cli.dat"))));
}

// Live readings: the same channels, labels, units and (the sea changing
// slowly) values from both faces.
TEST_F(Parity, LiveReadingsShowTheSameChannelsAndValues) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());
  std::vector<std::string> captions;
  std::vector<double> values;
  {
    DesktopFace desk(work.path, sim.path());
    ASSERT_TRUE(desk.started);
    ASSERT_EQ(RunCommand(desk.shell, cmd::kFetchLiveReadings), 1);
    ASSERT_NE(desk.live, nullptr);
    const int channels = desk.live->dialog.channelCount;
    for (int c = 0; c < channels; ++c) {
      const int before = desk.live->dialog.fetches;
      ASSERT_TRUE(desk.TickUntil([&] { return desk.live->dialog.fetches > before; }, 30000)) << c;
      ASSERT_TRUE(desk.live->dialog.lastValue.has_value()) << desk.live->dialog.valueText;
      captions.push_back(LiveChannelCaption(desk.state, desk.live->dialog));
      values.push_back(*desk.live->dialog.lastValue);
      desk.live->StepChannel(1);
    }
    desk.live->PressClose();
  }
  const ProgramRun cli = Cli(sim.path(), {"live", "--json"});
  ASSERT_EQ(cli.status, 0) << cli.err;
  const std::regex channel(R"re(\{"number":(\d+),"label":"([^"]*)","unit":"([^"]*)","value":([-0-9.e+]+)\})re");
  size_t seen = 0;
  for (std::sregex_iterator m(cli.out.begin(), cli.out.end(), channel), end; m != end; ++m, ++seen) {
    const size_t c = std::stoul((*m)[1]) - 1;
    ASSERT_LT(c, captions.size());
    // "1 - Conductivity [uS/cm]" (Latin-1) against the label and unit (UTF-8).
    std::string caption;
    for (unsigned char ch : captions[c]) caption += ch == 0xB5 ? std::string("\xC2\xB5") : std::string(1, static_cast<char>(ch));
    EXPECT_EQ(caption, std::to_string(c + 1) + " - " + std::string((*m)[2]) + " [" + std::string((*m)[3]) + "]");
    EXPECT_NEAR(std::stod((*m)[4]), values[c], 0.005 * std::max(1.0, std::fabs(values[c]))) << caption;
  }
  EXPECT_EQ(seen, captions.size()) << cli.out;
}

// Live readings of a logger set to send engineering units, in both faces:
// the option byte is read before the first fetch.
TEST_F(Parity, LiveReadingsOfAnEngineeringUnitsLogger) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_FALSE(sim.path().empty());
  const std::time_t tomorrow = std::time(nullptr) + 86400;
  char end[32];
  std::strftime(end, sizeof end, "%Y/%m/%d %H:%M:00", std::localtime(&tomorrow));
  const ProgramRun setup = Cli(sim.path(), {"--yes", "setup", "--now", "--end", end, "--period", "00:00:10",
                                            "--no-averaging", "--realtime", "engineering"});
  ASSERT_EQ(setup.status, 0) << setup.err;
  ASSERT_EQ(Cli(sim.path(), {"--yes", "stop"}).status, 0);
  const ProgramRun cli = Cli(sim.path(), {"live", "--json"});
  ASSERT_EQ(cli.status, 0) << cli.err;
  DesktopFace desk(work.path, sim.path());
  ASSERT_TRUE(desk.started);
  ASSERT_EQ(RunCommand(desk.shell, cmd::kFetchLiveReadings), 1);
  ASSERT_TRUE(desk.TickUntil([&] { return desk.live->dialog.fetches > 0; }, 30000));
  EXPECT_FALSE(desk.live->dialog.lines.empty());
}

// The rows of a DAT file in date and time format: time, then the values.
std::vector<std::pair<std::string, std::string>> Rows(const std::string& datText) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream in(datText);
  const std::regex row(R"(^(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d) (.*\S)\s*$)");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, row)) rows.emplace_back(m[1], m[2]);
  }
  return rows;
}

// A collection in each face: the desktop's follows its Setup, the tool's
// joins the logger as it transmits. Both real-time files hold, sample by
// sample, the values the logger stored (read back through the tool's
// converter); the desktop's rows also carry their samples' times.
TEST_F(Parity, RealTimeFilesHoldWhatTheLoggerStored) {
  WriteSettings("Format=2\n");
  // A sample every ten seconds of the logger's clock, which runs ten times fast.
  SimProcess sim({"--model", "QN-760", "--time-scale", "10"});
  ASSERT_FALSE(sim.path().empty());
  constexpr int kRows = 5;
  {
    DesktopFace desk(work.path, sim.path());
    ASSERT_TRUE(desk.started);
    desk.dialogs.Register<PickerSession>([](PickerSession& p) {
      // Starting in a few seconds, for a day.
      const LoggerTime start = AddSeconds(p.state().deployment.loggerClock, 30);
      p.picker.times.ChangeStart(p.state(), p.panel(), start);
      p.picker.times.ChangeEnd(p.state(), p.panel(), AddSeconds(start, 86400));
      p.picker.ChoosePeriod(p.state(), p.panel(), PeriodChoice::LetMeChoose);
      EXPECT_TRUE(p.picker.SetPeriodText(p.state(), p.panel(), "00:00:10"));
      p.picker.SetAveraging(p.state(), p.panel(), false);
      p.picker.Accept(p.state(), p.panel());
      p.Changed();
      return 1;
    });
    desk.dialogs.Register<ContainsDataDialog>([](ContainsDataDialog&) { return kContainsDataErase; });
    desk.dialogs.Register<SetupSession>([&desk](SetupSession& s) {
      s.ChooseStart(0);  // "No thresholding": at the start time
      s.OpenPicker();
      EXPECT_TRUE(s.dialog.enableButtonEnabled) << s.dialog.panel.message.text;
      s.ChooseRealTime(1);  // "Enabled"
      desk.ui.answers.assign(8, MessageAnswer::Yes);
      s.PressEnable();
      for (int second = 0; s.Erasing() && second < 120; ++second) {
        desk.clock.DelayMs(1000);
        s.Tick();
      }
      desk.ui.answers.clear();
      EXPECT_TRUE(s.closed);
      EXPECT_EQ(s.run.outcome, 1) << s.run.failedStep;
      return 1;
    });
    desk.ui.fileAnswers.push_back(Path("desk.hex"));
    ASSERT_EQ(RunCommand(desk.shell, cmd::kSetup), 1);
    ASSERT_TRUE(desk.state.realTime.active) << desk.ui.LastStatus();
    ASSERT_TRUE(desk.TickUntil([&] { return desk.state.realTime.readingsShown >= kRows; }, 60000));
    desk.ui.answers.push_back(MessageAnswer::Yes);  // allow the transmission to continue
    RunCommand(desk.shell, cmd::kEndRealTime);
    EXPECT_FALSE(desk.state.realTime.active);
    // The desktop asks the person whether the logger goes on sending.
    EXPECT_TRUE(desk.ui.BoxSeen("Logger is transmitting information on the external data line.\nDo you want to allow this data transmission to continue?"));
  }
  const ProgramRun cli = Cli(sim.path(), {"realtime", "-o", Path("cli.hex"), "--records", std::to_string(kRows)});
  ASSERT_EQ(cli.status, 0) << cli.err << cli.out;

  ASSERT_EQ(Cli(sim.path(), {"--yes", "stop"}).status, 0);
  const ProgramRun download = Cli(sim.path(), {"download", "-o", Path("dat/memory.dat")});
  ASSERT_EQ(download.status, 0) << download.err;
  const auto memory = Rows(FileText(Path("dat/memory.dat")));
  for (const char* face : {"desk", "cli"}) {
    const std::string dat = Path(std::string(face) + ".dat");
    const ProgramRun read = Cli({"convert", Path(std::string(face) + ".hex"), "-o", dat});
    ASSERT_EQ(read.status, 0) << read.err;
    const auto rows = Rows(FileText(dat));
    ASSERT_GE(rows.size(), static_cast<size_t>(kRows)) << face;
    // The first row carries its sample's time in a stamp.
    auto stored = std::find_if(memory.begin(), memory.end(), [&](const auto& m) { return m.first == rows[0].first; });
    ASSERT_NE(stored, memory.end()) << face << " " << rows[0].first;
    for (size_t r = 0; r < rows.size(); ++r, ++stored) {
      ASSERT_NE(stored, memory.end()) << face << " row " << r;
      EXPECT_EQ(rows[r].second, stored->second) << face << " row " << r;
      if (std::string(face) == "desk") EXPECT_EQ(rows[r].first, stored->first) << face << " row " << r;
    }
  }
}

// The deployment read from a logger that is already logging: the tool's
// real-time file is headed as the desktop's is after its Setup.
TEST_F(Parity, RealTimeHeaderOfALoggerThatIsAlreadyLogging) {
  SimProcess sim({"--model", "QN-760", "--time-scale", "10"});
  ASSERT_FALSE(sim.path().empty());
  const std::time_t tomorrow = std::time(nullptr) + 86400;
  char end[32];
  std::strftime(end, sizeof end, "%Y/%m/%d %H:%M:00", std::localtime(&tomorrow));
  const ProgramRun setup = Cli(sim.path(), {"--yes", "setup", "--now", "--end", end, "--period", "00:00:10",
                                            "--no-averaging", "--realtime", "binary"});
  ASSERT_EQ(setup.status, 0) << setup.err;
  // Until its first sample the logger is enabled, not yet logging.
  for (int wait = 0; wait < 100 && Cli(sim.path(), {"status"}).out != "Logging\n"; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const ProgramRun cli = Cli(sim.path(), {"realtime", "-o", Path("cli.hex"), "--records", "3"});
  ASSERT_EQ(cli.status, 0) << cli.err;
  const std::string text = FileText(Path("cli.hex"));
  EXPECT_TRUE(Has(text, "Sample period          00:00:10")) << text.substr(0, 800);
  EXPECT_TRUE(Has(text, "mode: Logging")) << text.substr(0, 800);
  // And the rows' times follow from it: they are the logger's samples'.
  ASSERT_EQ(Cli(sim.path(), {"--yes", "stop"}).status, 0);
  ASSERT_EQ(Cli(sim.path(), {"download", "-o", Path("dat/memory.dat")}).status, 0);
  ASSERT_EQ(Cli({"convert", Path("cli.hex"), "-o", Path("cli.dat")}).status, 0);
  const auto memory = Rows(FileText(Path("dat/memory.dat")));
  for (const auto& row : Rows(FileText(Path("cli.dat"))))
    EXPECT_NE(std::find(memory.begin(), memory.end(), row), memory.end()) << row.first << " " << row.second;
}

}  // namespace
}  // namespace tmv
