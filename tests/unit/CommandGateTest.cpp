// The command gate: every command of the table refuses the same way from the
// desktop program's dispatch and from the command-line tool, because both
// pass the one gate.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "shell/Catalogue.h"
#include "shell/CommandGate.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "support/EmulatedRig.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

using test::EmulatedRig;

// The tool's command for a table command, with arguments that reach its write form.
const std::map<int, std::vector<std::string>>& CliForms() {
  static const std::map<int, std::vector<std::string>> forms = {
      {cmd::kConnect, {"identify"}},
      {cmd::kSetLatency, {"latency", "100"}},
      {cmd::kSetDefaultBaud, {"default-baud", "9600"}},
      {cmd::kCalibration, {"calibration", "set", "--channel", "1", "0", "1", "0", "0"}},
      {cmd::kCalibrationHistory, {"calibration", "history"}},
      {cmd::kCurrentCapabilities, {"capabilities"}},
      {cmd::kShowConfiguration, {"config"}},
      {cmd::kShowLoggerStatus, {"status"}},
      {cmd::kShowLoggerClock, {"clock"}},
  };
  return forms;
}

// Runs the tool's command for `command` (or, for a command the tool has no
// words for, its gate) and returns its exit status.
int RunCli(AppState& state, int command) {
  std::ostringstream out, err;
  auto it = CliForms().find(command);
  if (it == CliForms().end()) {
    cli::CliContext ctx{state, {}, out, err, true};
    return cli::PassGate(ctx, command);
  }
  const auto& words = it->second;
  for (const auto& info : cli::CliCommands()) {
    std::istringstream name(info.name);
    std::vector<std::string> nameWords;
    for (std::string w; name >> w;) nameWords.push_back(w);
    if (nameWords.size() > words.size() || !std::equal(nameWords.begin(), nameWords.end(), words.begin())) continue;
    if (nameWords.size() == 1 && words.size() > 1 && (words[1] == "set" || words[1] == "history")) continue;
    cli::CliContext ctx{state, std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(nameWords.size()), words.end()),
                        out, err, true};
    return info.run(ctx);
  }
  ADD_FAILURE() << "no tool command " << words[0];
  return -1;
}

struct Scenario {
  const char* model;
  int status;  // 1: enabled, logging tomorrow; 0: not enabled
};

// The commands that write files (the calibration history) write them into `work`.
void Configure(EmulatedRig& rig, const Scenario& s, const std::string& work) {
  rig.state.directories.work = work;
  rig.profile().status = s.status;
  rig.profile().deployment.startTime = LoggerTime{2010, 6, 0, 8, 12, 0, 0, 0};
}

std::vector<std::pair<std::string, std::string>> Boxes(const EmulatedRig& rig) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& b : rig.ui.boxes) out.emplace_back(b.text, b.caption);
  return out;
}

TEST(CommandGate, EveryCommandRefusesAlikeFromTheMenuAndTheTool) {
  const Scenario scenarios[] = {{"QN-760", 1}, {"KM-3170", 1}, {"KM-3170", 0}, {"KZM-5170", 1}};
  const test::ScopedTempDir work;
  ASSERT_FALSE(work.path.empty());
  // The tool writes the calibration history into the current directory.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work.path);
  struct Back {
    std::filesystem::path to;
    ~Back() { std::filesystem::current_path(to); }
  } back{before};
  int refusals = 0;
  for (const Scenario& s : scenarios) {
    for (const CommandRule& rule : CommandRules()) {
      if (!IsCommandBuilt(rule.number) && CliForms().count(rule.number) == 0) continue;
      EmulatedRig desktop(s.model);
      Configure(desktop, s, work.path);
      DialogPresenter dialogs;  // no faces: only the gate's own messages are seen
      Shell shell(desktop.state, dialogs);
      const int ran = IsCommandBuilt(rule.number) ? RunCommand(shell, rule.number)
                                                  : (PassCommandGate(desktop.state, rule.number) == GateResult::Pass);
      EmulatedRig tool(s.model);
      Configure(tool, s, work.path);
      const int status = RunCli(tool.state, rule.number);

      const GateResult gate = [&] {
        EmulatedRig again(s.model);
        Configure(again, s, work.path);
        return PassCommandGate(again.state, rule.number);
      }();
      if (gate != GateResult::Refused) continue;
      ++refusals;
      SCOPED_TRACE(std::string(s.model) + " status " + std::to_string(s.status) + " command " +
                   std::to_string(rule.number));
      EXPECT_EQ(ran, 0);
      EXPECT_NE(status, 0);
      ASSERT_EQ(desktop.ui.boxes.size(), 1u);
      EXPECT_EQ(Boxes(tool), Boxes(desktop));
      // A refused command writes nothing: no table, calibration or clock write.
      for (const auto* rig : {&desktop, &tool})
        for (const auto& c : rig->emulator.CommandLog())
          EXPECT_TRUE(c.rfind("S0", 0) != 0 && c.rfind("U", 0) != 0 && c.rfind("!1", 0) != 0 &&
                      c.rfind("!E", 0) != 0 && c.rfind("J", 0) != 0)
              << c;
    }
  }
  // Logging refusals of latency, default baud, format and calibration on
  // the QN-760, of latency, default baud and format on the recorders, and
  // the fixed default of the idle recorder.
  EXPECT_GE(refusals, 10);
}

// Fault 5: the tool wrote a latency and a default baud rate to a logging logger.
TEST(CommandGate, ToolRefusesLatencyAndDefaultBaudOnALoggingLogger) {
  for (int command : {cmd::kSetLatency, cmd::kSetDefaultBaud}) {
    EmulatedRig rig("QN-760");
    const test::ScopedTempDir work;
    Configure(rig, {"QN-760", 1}, work.path);
    const auto tablesBefore = rig.profile().tables;
    EXPECT_EQ(RunCli(rig.state, command), cli::kExitRefused);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text,
              LoggingRefusalText(command == cmd::kSetLatency ? "set the latency" : "set the default baudrate"));
    EXPECT_EQ(rig.profile().tables, tablesBefore);
  }
}

}  // namespace
}  // namespace tmv
