// Every command an operation sends, failed one at a time: dropped on the
// line, heard and ignored, answered garbled. The commands come from the
// operation's own clean run, so that a command added later is covered
// without a new case. Each failed run must end one of two ways: exactly as
// the clean run (files, output and exit 0), or with a non-zero exit whose
// message says what failed and no file that holds a value the logger did not
// tell (a partial file holds what the clean file holds, up to where it ends).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "CliSupport.h"
#include "link/Connection.h"
#include "model/CalibrationHistory.h"
#include "model/KnowLogger.h"
#include "retrieval/Download.h"
#include "shell/Outcomes.h"
#include "support/CliRig.h"
#include "support/EmulatedRig.h"
#include "support/RealTimeDeployment.h"
#include "support/ScriptedPort.h"
#include "deployment/SetupDialog.h"
#include "model/LoggerTime.h"

namespace tmv {
namespace {

using test::CliRig;

enum class Fault { Drop, Ignore, Garble };
const char* FaultName(Fault f) { return f == Fault::Drop ? "drop" : f == Fault::Ignore ? "ignore" : "garble"; }

struct RunResult {
  int rc = -1;
  std::string out, err;
  std::map<std::string, std::string> files;  // path under the work directory -> contents (logs left out)
  int statusAfter = -1;                      // the emulated logger's status code afterwards
  std::vector<std::string> commands;
};

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The name a fault is set on: the command itself, or the kind of a long
// one (every memory read is "I" and an address pair).
std::string CommandKey(const std::string& c) {
  if (c.find("\\x") != std::string::npos || c.empty()) return {};
  return c.size() <= 8 ? c : c.substr(0, 1);
}

struct Operation {
  std::string name;
  std::string model;
  std::function<void(CliRig&)> prepare;  // the logger before the operation
  std::vector<std::string> words;        // "@" stands for the work directory
  bool sameReport = true;                // exit 0 prints what the clean run printed (no clock in it)
  // Exit 0 writes the clean run's files; false: files of records that come
  // at their own times, where only the header's shape is the same.
  bool sameFiles = true;
};


RunResult RunOperation(const Operation& op, const std::function<void(sim::Faults&)>& fault) {
  CliRig rig(op.model);
  if (op.prepare) op.prepare(rig);
  const size_t prepared = rig.emulator.CommandLog().size();
  if (fault) fault(rig.emulator.faults());
  std::vector<std::string> words = op.words;
  for (auto& w : words)
    if (w.rfind("@", 0) == 0) w = rig.work.path + w.substr(1);
  RunResult r;
  r.rc = rig.Run(words);
  // The work directory is another in every run.
  const auto anonymous = [&](std::string text) {
    for (size_t at; (at = text.find(rig.work.path)) != std::string::npos;) text.replace(at, rig.work.path.size(), "@");
    return text;
  };
  r.out = anonymous(rig.out.str());
  r.err = anonymous(rig.err.str());
  // The operation's own commands, not those that prepared the logger.
  r.commands.assign(rig.emulator.CommandLog().begin() + static_cast<long>(prepared), rig.emulator.CommandLog().end());
  r.statusAfter = rig.emulator.profile().status;
  namespace fs = std::filesystem;
  for (const auto& entry : fs::recursive_directory_iterator(rig.work.path)) {
    if (!entry.is_regular_file()) continue;
    const std::string rel = fs::relative(entry.path(), rig.work.path).string();
    if (rel.rfind("log/", 0) == 0 || rel.find(".ini") != std::string::npos || rel.find(".fil") != std::string::npos)
      continue;
    r.files[rel] = FileText(entry.path());
  }
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

// Lines that hold the host's clock or the pace of the line (the rate, the
// blocks it took): they may differ between two good runs.
bool HostTimeLine(const std::string& line) {
  return line.find("Host time") != std::string::npos || line.find("host time") != std::string::npos ||
         line.find("Logger time") != std::string::npos ||
         line.find("blocks requested") != std::string::npos || line.find("bytes/s") != std::string::npos ||
         line.find("Download time") != std::string::npos || line.find("PC time") != std::string::npos;
}

// The first line where two texts differ, for the failure's message.
std::string FirstDifference(const std::string& a, const std::string& b) {
  const auto la = Lines(a), lb = Lines(b);
  for (size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
    const std::string x = i < la.size() ? la[i] : "(none)", y = i < lb.size() ? lb[i] : "(none)";
    if (x != y && !(HostTimeLine(x) && HostTimeLine(y)))
      return "line " + std::to_string(i + 1) + ":\n  got   " + x + "\n  clean " + y + "\n";
  }
  return {};
}

// The same text but for host-time lines.
bool SameText(const std::string& a, const std::string& b) {
  const auto la = Lines(a), lb = Lines(b);
  if (la.size() != lb.size()) return false;
  for (size_t i = 0; i < la.size(); ++i)
    if (la[i] != lb[i] && !(HostTimeLine(la[i]) && HostTimeLine(lb[i]))) return false;
  return true;
}

// What a partial file may hold: the clean file's lines, in order, up to
// where it ends (its last line may be cut), but for its own count lines.
bool PartOf(const std::string& part, const std::string& whole) {
  const auto lp = Lines(part), lw = Lines(whole);
  if (lp.size() > lw.size()) return false;
  for (size_t i = 0; i < lp.size(); ++i) {
    if (lp[i] == lw[i] || HostTimeLine(lp[i])) continue;
    if (i + 1 == lp.size() && lw[i].rfind(lp[i], 0) == 0) continue;
    // Counts and the end of the data are the part's own.
    const bool count = lp[i].find("umber") != std::string::npos || lp[i].find("End") != std::string::npos ||
                       lp[i].find("end") != std::string::npos || lp[i].find("incomplete") != std::string::npos;
    if (!count) return false;
  }
  return true;
}

// A file as two collections share it: the lines with a date in them keep
// their first word, the records whether there are any (periods and the
// rest of the header stay whole).
std::string HeaderShape(const std::string& text) {
  std::string kept;
  int records = 0;
  for (const std::string& line : Lines(text)) {
    const bool timed = line.find('/') != std::string::npos;
    const bool record = !line.empty() && (std::isxdigit(static_cast<unsigned char>(line[0])) || line[0] == '+' || line[0] == '-');
    if (record && !timed) ++records;
    else kept += (timed ? line.substr(0, line.find(' ')) : line) + "\n";
  }
  return kept + std::to_string(records > 0) + "\n";
}

// Runs the operation clean, then with each of its commands failed each way.
void RunMatrix(const Operation& op, const std::function<void(const RunResult&, const std::string&)>& extra = {}) {
  const RunResult clean = RunOperation(op, {});
  ASSERT_EQ(clean.rc, cli::kExitOk) << op.name << " " << op.model << " clean run:\n" << clean.err;
  std::set<std::string> keys;
  for (const auto& c : clean.commands)
    if (const std::string k = CommandKey(c); !k.empty()) keys.insert(k);
  ASSERT_FALSE(keys.empty()) << op.name;
  int cases = 0, refused = 0;
  for (const std::string& key : keys) {
    for (Fault f : {Fault::Drop, Fault::Ignore, Fault::Garble}) {
      // The single-channel recorders send their coefficients as bare bytes,
      // with no sum: a byte changed on the line cannot be told from a good one.
      if (f == Fault::Garble && key == "Z") continue;
      // A memory test never started ("!U02" lost) is reported by the logger
      // itself as not passed: that is its answer, not one the program made up.
      if (f != Fault::Garble && key == "!U02") continue;
      const RunResult r = RunOperation(op, [&](sim::Faults& faults) {
        (f == Fault::Drop ? faults.dropCommands : f == Fault::Ignore ? faults.ignoreCommands : faults.garbleCommands)
            .push_back(key);
      });
      ++cases;
      if (r.rc != cli::kExitOk) ++refused;
      if (getenv("TMV_MATRIX_TRACE") != nullptr) printf("%s %s %s: %d %s\n", op.model.c_str(), FaultName(f), key.c_str(), r.rc, r.err.substr(0, r.err.find('\n')).c_str());
      const std::string what = op.name + " on " + op.model + ", " + FaultName(f) + " \"" + key + "\"";
      if (r.rc == cli::kExitOk) {
        EXPECT_EQ(r.files.size(), clean.files.size()) << what << ": exit 0 with other files\n" << r.err;
        for (const auto& [path, text] : clean.files) {
          auto it = r.files.find(path);
          if (it == r.files.end()) {
            ADD_FAILURE() << what << ": exit 0 without " << path << "\n" << r.err;
            continue;
          }
          if (op.sameFiles)
            EXPECT_TRUE(SameText(it->second, text)) << what << ": exit 0 but " << path << " differs from the clean run, "
                                                    << FirstDifference(it->second, text);
          else
            EXPECT_EQ(HeaderShape(it->second), HeaderShape(text)) << what << ": exit 0 but " << path << " is another file";
        }
        if (op.sameReport)
          EXPECT_TRUE(SameText(r.out, clean.out)) << what << ": exit 0 but another report, " << FirstDifference(r.out, clean.out);
      } else {
        EXPECT_NE(r.rc, cli::kExitUsage) << what;
        EXPECT_FALSE(r.err.empty()) << what << ": exit " << r.rc << " and no word why";
        for (const auto& [path, text] : r.files) {
          auto it = clean.files.find(path);
          const bool ok = it != clean.files.end() &&
                          (op.sameFiles ? PartOf(text, it->second) : HeaderShape(text) == HeaderShape(it->second));
          EXPECT_TRUE(ok) << what << ": exit " << r.rc << " left " << path << " with what the clean run does not hold, "
                          << (it == clean.files.end() ? std::string("a file it does not write") : FirstDifference(text, it->second))
                          << r.err;
        }
      }
      if (extra) extra(r, what);
    }
  }
  // Most commands are needed: a matrix whose faults change nothing is not applied.
  EXPECT_GT(refused, cases / 4) << op.name << " " << op.model << ": " << refused << " of " << cases << " cases failed";
}

void FinishedDeployment(CliRig& rig) { rig.emulator.RecordSamples(120, rig.clock.Milliseconds()); }

const std::vector<std::string> kModels = {"QN-760", "QN-730", "KM-3170", "KZM-5170"};

TEST(FaultMatrix, DownloadOfAFinishedDeployment) {
  for (const std::string& model : kModels) {
    SCOPED_TRACE(model);
    // A tide-and-wave recorder is only retrieved with depth among the derived units.
    RunMatrix({"download", model, FinishedDeployment, {"download", "--stop", "--derived", "depth", "-o", "@/out.dat"}});
  }
}

// A logger still logging a deployment that ends long after the download.
void StillLogging(CliRig& rig) {
  rig.emulator.RecordSamples(120, rig.clock.Milliseconds());
  rig.emulator.profile().status = 2;
  rig.emulator.profile().deployment.endTime = LoggerTime{2030, 1, 0, 1, 0, 0, 0, 0};
}

TEST(FaultMatrix, StopForTheDownloadOfALoggingLogger) {
  for (const std::string& model : {"QN-760", "KPM-5170"}) {
    SCOPED_TRACE(model);
    // exit 0 only with the logger stopped.
    RunMatrix({"download --stop", model, StillLogging, {"download", "--stop", "-o", "@/out.dat"}},
              [](const RunResult& r, const std::string& what) {
                if (r.rc == cli::kExitOk) EXPECT_TRUE(r.statusAfter == 0 || r.statusAfter == 4 || r.statusAfter == 8) << what;
              });
  }
}

void Suspended(CliRig& rig) {
  StillLogging(rig);
  rig.emulator.profile().status = 5;
}

const char* const kStart = "2010/06/08 00:00:00";
const char* const kEnd = "2010/07/08 00:00:00";

// The other operations that talk to a logger: setup with each family of
// options, the running-state changes, erase, the clock, the calibration read
// and write, capabilities, configuration and live readings.
TEST(FaultMatrix, SetupWithEachFamilyOfOptions) {
  const std::vector<std::string> plain = {"setup", "--yes", "--erase", "--start", kStart, "--end", kEnd, "--period", "00:00:30"};
  for (const std::string& model : {"QN-760", "QN-730", "KM-3170"}) {
    SCOPED_TRACE(model);
    RunMatrix({"setup", model, FinishedDeployment, plain});
  }
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> words = plain;
    words.insert(words.end(), more.begin(), more.end());
    return words;
  };
  RunMatrix({"setup --averaging", "QN-760", FinishedDeployment, with({"--averaging", "10"})});
  RunMatrix({"setup --above", "QN-760", FinishedDeployment, with({"--above", "1:15"})});
  RunMatrix({"setup --realtime", "QN-760", FinishedDeployment, with({"--realtime", "binary"})});
  RunMatrix({"setup --waves", "KZM-5170", FinishedDeployment,
             {"setup", "--yes", "--erase", "--start", kStart, "--end", kEnd, "--period", "00:10:00", "--waves", "on",
              "--burst-rate", "2", "--burst-samples", "1024", "--burst-period", "01:00:00", "--depth", "10"}});
}

TEST(FaultMatrix, RunningStateEraseAndClock) {
  const auto stopped = [](const RunResult& r, const std::string& what) {
    if (r.rc == cli::kExitOk) EXPECT_TRUE(r.statusAfter == 0 || r.statusAfter == 4 || r.statusAfter == 8) << what;
  };
  for (const std::string& model : {"QN-760", "KM-3170"}) {
    SCOPED_TRACE(model);
    RunMatrix({"stop", model, StillLogging, {"stop"}}, stopped);
    RunMatrix({"suspend", model, StillLogging, {"suspend"}}, [](const RunResult& r, const std::string& what) {
      if (r.rc == cli::kExitOk) EXPECT_EQ(r.statusAfter, 5) << what;
    });
    RunMatrix({"resume", model, Suspended, {"resume"}}, [](const RunResult& r, const std::string& what) {
      if (r.rc == cli::kExitOk) EXPECT_NE(r.statusAfter, 5) << what;
    });
    RunMatrix({"erase", model, FinishedDeployment, {"erase", "--yes"}}, [](const RunResult& r, const std::string& what) {
      if (r.rc == cli::kExitOk) EXPECT_EQ(r.statusAfter, 0) << what;
    });
    Operation clock{"clock --set", model, FinishedDeployment, {"clock", "--set"}};
    clock.sameReport = false;  // it prints the clock it set
    RunMatrix(clock);
  }
}

TEST(FaultMatrix, CalibrationCapabilitiesConfigurationAndLiveReadings) {
  for (const std::string& model : kModels) {
    SCOPED_TRACE(model);
    RunMatrix({"calibration", model, FinishedDeployment, {"calibration"}});
    RunMatrix({"capabilities", model, FinishedDeployment, {"capabilities"}});
    RunMatrix({"config", model, FinishedDeployment, {"config"}});
    Operation deployment{"deployment", model, FinishedDeployment, {"deployment"}};
    deployment.sameReport = false;  // it prints the clocks
    RunMatrix(deployment, [](const RunResult& r, const std::string& what) {
      // What it shows is the logger's: a value not read is not shown as one.
      if (r.rc == cli::kExitOk) EXPECT_EQ(r.err.find("TIMEOUT"), std::string::npos) << what << "\n" << r.err;
    });
    Operation live{"live", model, FinishedDeployment, {"live", "--count", "2"}};
    live.sameReport = false;  // readings change with the time they are taken
    RunMatrix(live);
  }
  // Real time: a logger logging every second with binary records.
  Operation realtime{"realtime", "QN-760",
                     [](CliRig& rig) {
                       ASSERT_EQ(KnowLogger(rig.state, kKnowIdentity), KnowResult::Known);
                       ASSERT_TRUE(test::EnableRealTimeDeployment(rig.state, rig.emulator, rig.clock));
                       rig.state.logger.calibrationStale = true;  // the tool starts knowing nothing
                       rig.state.logger.capabilitiesStale = true;
                       rig.state.logger.configurationStale = true;
                     },
                     {"realtime", "-o", "@/rt.hex", "--records", "3"}};
  realtime.sameReport = false;
  realtime.sameFiles = false;
  RunMatrix(realtime);
  RunMatrix({"calibration set", "QN-760", FinishedDeployment,
             {"calibration set", "--yes", "--channel", "1", "1.5", "0.002", "0", "0"}});
}

// The event loop runs between exchanges, never inside one: a timer's live
// fetch could otherwise talk on the line in the middle of a table read.
TEST(OneConversation, NoExchangeRunsTheEventLoop) {
  for (const std::string& model : {"QN-760", "QN-730"}) {
    SCOPED_TRACE(model);
    test::EmulatedRig rig(model);
    rig.emulator.RecordSamples(300, rig.clock.Milliseconds());
    test::ScopedTempDir work;
    AppState& s = rig.state;
    s.directories.work = work.path;
    ASSERT_EQ(KnowLogger(s, kKnowIdentity | kKnowCapabilities | kKnowConfiguration | kKnowCalibration), KnowResult::Known);
    EXPECT_FALSE(WriteCalibrationHistory(s, work.path).lines.empty());
    DownloadProc dialog;
    dialog.offerSave = false;
    ASSERT_TRUE(dialog.Open(s)) << Describe(s, dialog.result);
    ASSERT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
    RunDownloadToEnd(s, dialog, 1000);
    EXPECT_EQ(dialog.outcome, DownloadOutcome::Complete);
    s.logger.connected = false;
    EXPECT_EQ(ConnectLogger(s), 1);
    EXPECT_EQ(rig.ui.eventPumps, 0);
  }
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// A memory read from where the data begin (0 on newer loggers, 0x20000 on older ones).
bool DataRead(const RunResult& r) {
  return std::any_of(r.commands.begin(), r.commands.end(), [](const std::string& c) {
    return c.size() == 17 && c[0] == 'I' && (c.substr(9) == "00000000" || c.substr(9) == "00000200");
  });
}
int MemoryReads(const RunResult& r) {
  return static_cast<int>(
      std::count_if(r.commands.begin(), r.commands.end(), [](const std::string& c) { return c.size() == 17 && c[0] == 'I'; }));
}

// The faults users met, each with the message that must reach them.
TEST(DownloadFaults, AnUnansweredQueryStopsTheRetrievalBeforeAnyDataIsReadAndSaysWhich) {
  const struct {
    const char* model;
    const char* command;
    const char* message;
  } cases[] = {
      {"QN-760", "C", "TIMEOUT: Period read incorrectly"},
      {"QN-730", "C", "TIMEOUT: Period read incorrectly"},
      {"KM-3170", "C", "TIMEOUT: Period read incorrectly"},
      {"QN-760", "D", "TIMEOUT: Start date/time read incorrectly"},
      {"KM-3170", "D", "TIMEOUT: Start date/time read incorrectly"},
      {"QN-760", "V0000", "Unable to read calibration coefficients"},
      {"KM-3170", "Z", "Unable to read calibration coefficients"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " without " + c.command);
    const RunResult r = RunOperation({"download", c.model, FinishedDeployment, {"download", "-o", "@/out.dat"}},
                                     [&](sim::Faults& f) { f.dropCommands.push_back(c.command); });
    EXPECT_EQ(r.rc, cli::kExitFailure);
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    EXPECT_TRUE(r.files.empty()) << r.files.begin()->first;
    EXPECT_FALSE(DataRead(r)) << "the data were read for a file that could not be written";
  }
}

TEST(DownloadFaults, TheOlderLoggersCalibrationMemoryUnreadIsNoDefaultConversion) {
  // The calibration record of a QN-730 is a memory read: one that goes
  // unanswered, or a logger deaf for 8 s from the third read on.
  for (const bool silence : {false, true}) {
    SCOPED_TRACE(silence ? "silence" : "dropped");
    const RunResult r = RunOperation({"download", "QN-730", FinishedDeployment, {"download", "-o", "@/out.dat"}},
                                     [&](sim::Faults& f) {
                                       if (silence) {
                                         f.silenceOnceMs = 8000;
                                         f.silenceAfterReads = 3;
                                       } else {
                                         f.dropCommands.push_back("I");
                                       }
                                     });
    if (r.rc == cli::kExitOk) {
      // The silence passed in time: the values are the logger's own.
      const RunResult clean = RunOperation({"download", "QN-730", FinishedDeployment, {"download", "-o", "@/out.dat"}}, {});
      EXPECT_TRUE(SameText(r.files.at("out.dat"), clean.files.at("out.dat"))) << FirstDifference(r.files.at("out.dat"), clean.files.at("out.dat"));
      continue;
    }
    EXPECT_TRUE(Has(r.err, "calibration") || Has(r.err, "Configuration") || Has(r.err, "Download incomplete")) << r.err;
    for (const auto& [path, text] : r.files) {
      EXPECT_FALSE(Has(text, "0.0000  ")) << path << " holds readings converted with zero coefficients";
      EXPECT_FALSE(Has(text, "-1000.0000\t-1000.0000")) << path;
    }
  }
}

TEST(DownloadFaults, AStopTheLoggerDidNotCarryOutIsRefusedWithItsStatus) {
  for (const std::string& model : {"QN-760", "KPM-5170"}) {
    SCOPED_TRACE(model);
    const RunResult r = RunOperation({"download", model, StillLogging, {"download", "--stop", "-o", "@/out.dat"}},
                                     [](sim::Faults& f) { f.ignoreCommands.push_back("!9"); });
    EXPECT_EQ(r.rc, cli::kExitRefused) << r.err;
    EXPECT_TRUE(Has(r.err, "it did not stop")) << r.err;
    EXPECT_FALSE(Has(r.err, "Logger stopped.")) << r.err;
    EXPECT_EQ(r.statusAfter, 2);
    EXPECT_TRUE(r.files.empty());
  }
}

TEST(SetupFaults, ASettingThatReadsBackDifferentIsAVerificationThatFailed) {
  // The logger hears the period (or the clock) and does not take it.
  const RunResult setup = RunOperation(
      {"setup", "QN-760", FinishedDeployment,
       {"setup", "--yes", "--erase", "--start", kStart, "--end", kEnd, "--period", "00:00:30"}},
      [](sim::Faults& f) { f.ignoreCommands.push_back("K"); });
  EXPECT_EQ(setup.rc, cli::kExitVerify) << setup.err;
  EXPECT_TRUE(Has(setup.err, "Period set incorrectly")) << setup.err;
  // A logger clock an hour off, so that a set it did not take shows.
  const auto hourOff = [](CliRig& rig) {
    const std::string set = "J" + TimeToWireText(AddSeconds(rig.clock.LocalTime(), 3600));
    rig.emulator.Receive(reinterpret_cast<const uint8_t*>(set.data()), set.size(), rig.emulator.Baud(),
                         rig.clock.Milliseconds());
    rig.clock.Advance(100);
  };
  const RunResult clock = RunOperation({"clock --set", "QN-760", hourOff, {"clock", "--set"}},
                                       [](sim::Faults& f) { f.ignoreCommands.push_back("J"); });
  EXPECT_EQ(clock.rc, cli::kExitVerify) << clock.err;
  EXPECT_TRUE(Has(clock.err, "Logger clock has not set properly")) << clock.err;
}

TEST(DownloadFaults, ATideAndWaveRecorderWithoutDepthSaysHowToGetIt) {
  const RunResult r = RunOperation({"download", "KZM-5170", FinishedDeployment, {"download", "-o", "@/out.dat"}}, {});
  EXPECT_EQ(r.rc, cli::kExitFailure);
  EXPECT_TRUE(Has(r.err, "'Depth' has to be selected")) << r.err;
  EXPECT_TRUE(Has(r.err, "--derived depth")) << r.err;
  EXPECT_FALSE(DataRead(r));
}

// A logging logger with binary real-time output may send a record, NULs and
// all, just before a reply: the reply after it is still read whole, never
// taken for a default (a period of one minute, a start in 2000).
TEST(DownloadFaults, ARecordWithNulsBeforeAReplyHidesNoneOfIt) {
  test::ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  LoggerInfo& l = rig.state.logger;
  l.model = "KM-3170";
  l.firmwareVersion = 3.2f;
  l.connected = true;
  l.capabilitiesStale = l.configurationStale = l.calibrationStale = false;
  ForgetLoggerState(rig.state);
  const std::string record("\x02\x00\x7f\x00\x00", 5);
  rig.line.On("T", "Logger status 02\r\n");
  rig.line.On("B", record + "100607153000CTD" "\r\n");
  rig.line.On("D", record + "100607120000CST" "\r\n");
  rig.line.On("E", record + "100707120000CET" "\r\n");
  rig.line.On("C", record + "000010CSP" "\r\n");
  rig.line.On("G", record + "4A300200CDP" "\r\n");
  ASSERT_EQ(KnowLogger(rig.state, kKnowDeployment), KnowResult::Known);
  EXPECT_EQ(l.deploymentUnread, 0u);
  const DeploymentSettings& d = rig.state.deployment;
  EXPECT_EQ(ClockSeconds(d.samplingPeriod), 10);
  EXPECT_EQ(d.startTime.year, 2010);
  EXPECT_EQ(d.startTime.hour, 12);
  EXPECT_EQ(d.endTime.month, 7);
  EXPECT_EQ(d.loggerClock.minute, 30);
  // The memory pointer too: eight digits before its tag.
  ASSERT_EQ(CommGet(rig.state, 6), 1);
  EXPECT_EQ(DataPointerFromReply(rig.state.reply.Bytes()), 0x2304Au);
}

TEST(DownloadFaults, AGarbledMemoryStatusIsNotAnEmptyMemory) {
  const RunResult r = RunOperation({"download", "QN-760", FinishedDeployment, {"download", "-o", "@/out.dat"}},
                                   [](sim::Faults& f) { f.garbleCommands.push_back("G"); });
  EXPECT_EQ(r.rc, cli::kExitFailure);
  EXPECT_TRUE(Has(r.err, "TIMEOUT: Memory status read incorrectly")) << r.err;
  EXPECT_FALSE(Has(r.err, "no data")) << r.err;
}

TEST(DownloadFaults, ASilenceAtTheFastRateIsRiddenOutAtTheRateTheLoggerWasHeardAt) {
  // 57600 baud on this logger; the silence falls on each block in turn.
  const Operation op{"download", "QN-730", [](CliRig& rig) { rig.emulator.RecordSamples(600, rig.clock.Milliseconds()); },
                     {"download", "-o", "@/out.dat"}};
  RunResult clean = RunOperation(op, {});
  ASSERT_EQ(clean.rc, cli::kExitOk) << clean.err;
  ASSERT_TRUE(Has(clean.out, "at 57600 baud")) << clean.out;
  // The last reads are the data's blocks.
  const int reads = MemoryReads(clean);
  ASSERT_GE(reads, 5);
  for (int at = reads - 3; at <= reads; ++at) {
    SCOPED_TRACE(at);
    RunResult r = RunOperation(op, [&](sim::Faults& f) {
      f.silenceOnceMs = 8000;
      f.silenceAfterReads = at;
    });
    EXPECT_EQ(r.rc, cli::kExitOk) << r.err;
    EXPECT_TRUE(SameText(r.files["hex/out.hex"], clean.files["hex/out.hex"]))
        << FirstDifference(r.files["hex/out.hex"], clean.files["hex/out.hex"]);
  }
}

}  // namespace
}  // namespace tmv
