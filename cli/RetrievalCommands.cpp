// Commands of data retrieval and the data files: download, convert, info.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "analysis/DerivedOption.h"
#include "analysis/TideWaveFiles.h"
#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "ConsoleUserInterface.h"
#include "files/DatFile.h"
#include "files/HexFile.h"
#include "files/SaveFile.h"
#include "files/WorkFiles.h"
#include "link/Exchange.h"
#include "model/ChannelTypes.h"
#include "retrieval/Download.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

// Blocks are requested back to back; the progress is drawn between ticks.
constexpr int kTickBudgetMs = 250;

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  std::string end = s.substr(s.size() - tail.size());
  std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
  return end == tail;
}

std::string TimeLeft(double seconds) {
  if (seconds < 0) seconds = 0;
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// The progress of a download on standard error: a bar on a terminal, one
// line per 10 % otherwise.
class ProgressReport {
 public:
  ProgressReport(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
  void Start(int64_t totalBytes) {
    total_ = std::max<int64_t>(totalBytes, 1);
    start_ = std::chrono::steady_clock::now();
  }
  void Show(int64_t bytes, int percent) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = elapsed > 0 ? static_cast<double>(bytes) / elapsed : 0.0;
    const double left = rate > 0 ? static_cast<double>(total_ - bytes) / rate : 0.0;
    char text[160];
    if (terminal_) {
      const int width = 30;
      const int filled = std::clamp(percent * width / 100, 0, width);
      std::snprintf(text, sizeof text, "\r[%s%s] %3d%%  %lld/%lld bytes  %.1f kB/s  %s left ",
                    std::string(static_cast<size_t>(filled), '#').c_str(),
                    std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent,
                    static_cast<long long>(bytes), static_cast<long long>(total_), rate / 1000.0,
                    TimeLeft(left).c_str());
      err_ << text;
      err_.flush();
      drawn_ = true;
      return;
    }
    while (percent >= nextTenth_ && nextTenth_ <= 100) {
      std::snprintf(text, sizeof text, "%3d%%  %lld/%lld bytes  %.1f kB/s  %s left\n", nextTenth_,
                    static_cast<long long>(bytes), static_cast<long long>(total_), rate / 1000.0,
                    TimeLeft(left).c_str());
      err_ << text;
      nextTenth_ += 10;
    }
    err_.flush();
  }
  void Finish() {
    if (drawn_) err_ << "\n";
    drawn_ = false;
  }
  double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

 private:
  std::ostream& err_;
  bool terminal_;
  int64_t total_ = 1;
  std::chrono::steady_clock::time_point start_;
  int nextTenth_ = 10;
  bool drawn_ = false;
};

ConsoleUserInterface* Console(CliContext& ctx) { return dynamic_cast<ConsoleUserInterface*>(&ctx.state.ui); }

// Set by SIGINT, SIGTERM and SIGHUP: the download ends as Cancel ends it (the
// link restored, a suspended logger resumed, what came decoded and saved).
// A signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnDownloadInterrupt(int) { interrupted = 1; }

// Catches the signals while it lives, and puts the earlier handlers back.
class InterruptCatcher {
 public:
  InterruptCatcher() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnDownloadInterrupt;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous_[i]);
  }
  ~InterruptCatcher() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
  std::array<struct sigaction, 3> previous_{};
};

// "00123_20260108_1530.dat" in the DAT directory: the serial number first, as the save dialog proposes.
std::string DefaultDatPath(AppState& state) {
  const std::string dir = state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat;
  return dir + "/" + ProposedDataFileName(state);
}

int Download(CliContext& ctx) {
  std::string output, append, comment;
  bool stop = false, suspend = false, keep = false, full = false;
  auto parser = CommandParser(
      "download",
      "Usage: tmv-cli [--port PATH|COMn] [--yes] download [-o NAME.dat] [--stop | --suspend | --keep-logging]\n"
      "                 [--full] [--append FILE.hex] [--comment TEXT] [--derived LIST]\n\n"
      "Retrieves the logger's memory, decodes it and saves the HEX and DAT files: the DAT\n"
      "file in the dat directory of the work directory (or as -o names it), the HEX file\n"
      "of the same name in the hex directory. A logger that is still logging is stopped,\n"
      "suspended and resumed afterwards, or left logging, as chosen and as it allows.\n"
      "Progress goes to standard error.\n\n"
      "Ctrl-C (or SIGTERM, SIGHUP) ends the download as Cancel does: the link speed is\n"
      "restored, a suspended logger resumed, and what came is decoded and saved.\n\n"
      "Exit status: 0 retrieved and saved; 1 failed (nothing retrieved, or not saved;\n"
      "a query the logger left unanswered stops it before any block is read, and says\n"
      "which); 2 usage error; 3 partial: the download ended early (a block failed 10\n"
      "times, the link was lost, or it was interrupted), and what was retrieved was\n"
      "decoded and saved; 4 no logger; 5 the logger did not stop or suspend as asked\n"
      "(nothing was read), or the logger suspended for the download did not resume.");
  parser->add_option("-o,--output", output, "the DAT file to write (NAME.dat)");
  auto* stopFlag = parser->add_flag("--stop", stop, "stop a logger that is still logging");
  auto* suspendFlag = parser->add_flag("--suspend", suspend, "suspend it during the download and resume it after");
  auto* keepFlag = parser->add_flag("--keep-logging", keep, "download while it keeps logging");
  stopFlag->excludes(suspendFlag)->excludes(keepFlag);
  suspendFlag->excludes(keepFlag);
  parser->add_flag("--full", full, "retrieve 100% of the memory, whatever the logger reports");
  parser->add_option("--append", append, "append the new data to this HEX file (in the hex directory)");
  parser->add_option("--comment", comment, "comment stored with the data");
  DerivedOptions derived;
  derived.AddTo(*parser);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (std::string e = derived.Apply(ctx.state.settings.derived); !e.empty()) return UsageError(ctx, e);
  if (!output.empty() && !EndsWith(output, ".dat")) return UsageError(ctx, "-o names a .dat file");
  if (!append.empty() && !EndsWith(append, ".hex")) return UsageError(ctx, "--append names a .hex file");
  if (!append.empty() && full) return UsageError(ctx, "--append and --full cannot be used together");
  if (int rc = PassGate(ctx, cmd::kRetrieveData)) return rc;
  AppState& state = ctx.state;

  // A folder that cannot take the files is found now, not after the whole memory was read.
  if (std::string why = CheckSaveFolders(state, output); !why.empty())
    return ReportFailure(ctx, why + "\nNothing was retrieved.");

  // From here an interrupt ends the download cleanly instead of the program.
  InterruptCatcher catcher;
  DownloadProc dialog;
  if (!dialog.Open(state)) return ReportOutcome(ctx, dialog.result);
  if (!dialog.view.memoryUsage.empty()) ctx.err << "Memory: " << dialog.view.memoryUsage << "\n";
  if (dialog.OffersStop() && !stop) {
    ctx.err << dialog.view.message << "\n";
    return ReportFailure(ctx, "Nothing to retrieve (tmv-cli stop, or download --stop, stops the logger).");
  }

  std::string datPath = output.empty() ? DefaultDatPath(state) : output;
  if (!append.empty()) {
    std::string base = std::filesystem::path(append).filename().string();
    base.replace(base.size() - 4, 4, ".dat");
    datPath = (state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat) + "/" + base;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(datPath).parent_path().empty()
                                          ? std::filesystem::path(".")
                                          : std::filesystem::path(datPath).parent_path(),
                                      ec);
  std::filesystem::create_directories(WorkPath(state, "hex"), ec);
  // The files, checked before a download that may take many minutes: an
  // existing file is only replaced when --yes says so.
  if (append.empty() && !ctx.yes) {
    if (FileExists(datPath))
      return ReportFailure(ctx, datPath + " already exists: name another file with -o, or replace it with --yes.");
    const std::string hexPath = HexPathFor(state, datPath);
    if (const auto other = OtherRecordIn(hexPath, state.logger.serialNumber, state.deployment.startTime))
      return ReportFailure(ctx, hexPath + " holds the data of " + *other +
                                    ": name another file with -o, or replace it with --yes.");
  }
  // The save is told the files and the comment; it asks nothing.
  bool saved = false, saveReported = false;
  dialog.save = [&](AppState& s) {
    if (!s.retrieval.data.unsaved) return;
    saveReported = true;  // whatever happens below is said
    // Only stamps came: the memory image is kept when asked for (--yes).
    if (s.retrieval.data.sampleCount == 0 && !ctx.yes) {
      ctx.err << "There are no data to store: every reading was a time stamp (--yes writes the HEX file all the same).\n";
      return;
    }
    SaveResult result = WriteDataFiles(s, kSaveHexAndDat, {datPath, comment, ctx.yes});
    if (result.outcome.kind == OutcomeKind::Failed) {
      ReportOutcome(ctx, result.outcome);
      // Retrieved data are never dropped without a word: kept under a free name.
      const std::string kept = FreeFileName(datPath);
      result = WriteDataFiles(s, kSaveHexAndDat, {kept, comment, false});
      if (result.outcome.kind != OutcomeKind::Failed)
        ctx.err << datPath << " was not written: the data are kept as " << kept << ".\n";
      else
        ReportOutcome(ctx, result.outcome);
    }
    if (result.outcome.kind == OutcomeKind::Partial) ReportOutcome(ctx, result.outcome);
    if (result.hexRenamed) ctx.err << "The HEX file is written as " << result.hexPath << ".\n";
    saved = result.outcome.kind != OutcomeKind::Failed;
  };

  bool started = false;
  if (!append.empty()) {
    if (const Outcome appended = dialog.Append(state, datPath); !appended.Ok()) return ReportOutcome(ctx, appended);
    started = true;
  } else {
    auto ask = [&](const DownloadQuery& q) {
      ctx.err << "Download: " << Tr(state, q.text) << "\n";
      if (stop) return kQueryButton7;
      if (!q.button6.empty() && ((suspend && q.on6 == DownloadQuery::Action::Suspend) ||
                                 (keep && q.on6 == DownloadQuery::Action::Download)))
        return kQueryButton6;
      std::string offered = "--stop";
      if (!q.button6.empty())
        offered += q.on6 == DownloadQuery::Action::Suspend ? " or --suspend" : " or --keep-logging";
      ctx.err << "The logger is logging: choose " << offered << ".\n";
      return kQueryCancel;
    };
    started = dialog.Retrieve(state, ask, full);
    if (!started && dialog.reopen) {
      // The logger was stopped (its status says so): the dialog opens again
      // on a logger that holds still.
      ctx.err << "Logger stopped.\n";
      if (!dialog.Open(state)) return ReportOutcome(ctx, dialog.result);
      started = dialog.Retrieve(state, ask, full);
    }
    if (!started) {
      if (dialog.result.Ok()) {
        ctx.err << "Not retrieved.\n";
        return kExitFailure;
      }
      const int rc = ReportOutcome(ctx, dialog.result);
      if (dialog.openDerivedUnits) ctx.err << "(tmv-cli download --derived depth, with the depth settings it takes.)\n";
      return rc;
    }
  }
  const DownloadState& d = state.retrieval.download;
  ProgressReport progress(ctx.err, isatty(2) != 0);
  progress.Start(static_cast<int64_t>(d.endPointer) - static_cast<int64_t>(dialog.dataStart));
  const int startLength = state.retrieval.image.imageLength;
  RunDownloadToEnd(
      state, dialog, kTickBudgetMs,
      [&](const DownloadProc& p) {
        if (p.outcome == DownloadOutcome::Running || p.ended)
          progress.Show(state.retrieval.image.imageLength - startLength, p.view.progress);
      },
      [] { return interrupted != 0; });
  progress.Finish();
  if (dialog.cancelled) ctx.err << "Download interrupted: the logger was put back as it was, and what came is kept.\n";
  const double seconds = progress.Seconds();

  const DataSet& data = state.retrieval.data;
  ctx.out << "Retrieved " << state.retrieval.image.imageLength << " bytes, " << data.sampleCount << " samples of "
          << data.channelCount << " channel" << (data.channelCount == 1 ? "" : "s") << " ("
          << d.requestCount << " blocks requested, " << d.retransmitCount << " retransmitted)\n";
  const int64_t moved = state.retrieval.image.imageLength - startLength;
  if (seconds > 0 && moved > 0)
    ctx.out << Format("Blocks: %lld bytes in %.2f s, %.0f bytes/s at %d baud\n", static_cast<long long>(moved), seconds,
                      static_cast<double>(moved) / seconds, dialog.blockBaud);
  const std::string& hexFile = state.retrieval.savedHexFile;
  if (saved) {
    ctx.out << "DAT file: " << state.retrieval.currentFile << "\n";
    if (!hexFile.empty()) ctx.out << "HEX file: " << hexFile << "\n";
  }
  int rc = kExitOk;
  switch (dialog.outcome) {
    case DownloadOutcome::Complete:
      if (!saved) {
        if (!saveReported) ctx.err << "The retrieved data were not saved.\n";
        return kExitFailure;
      }
      break;
    case DownloadOutcome::Partial:
      ctx.err << "Download incomplete: " << state.retrieval.image.imageLength << " of "
              << (dialog.firstEndPointer - dialog.dataStart) << " bytes retrieved"
              << (saved ? "; what was retrieved is saved.\n" : "; nothing was saved.\n");
      rc = saved ? kExitPartial : kExitFailure;
      break;
    default:
      if (data.sampleCount == 0) ctx.err << "There are no data in the logger's memory.\n";
      rc = saved ? kExitOk : kExitFailure;
      break;
  }
  // The HEX file is the lossless record: without it the save failed.
  if (saved && hexFile.empty() && rc == kExitOk) {
    ctx.err << "The HEX file was not written: only the DAT file holds the data.\n";
    rc = kExitFailure;
  }
  // Data lost or unsaved says more than the logger's state; otherwise a
  // logger that stays suspended is the failure.
  if (dialog.resumeFailed) {
    ctx.err << "Logger failed to resume: it stays suspended and logs nothing (tmv-cli resume).\n";
    if (rc == kExitOk) rc = ExitStatusFor(OutcomeKind::Refused);
  }
  return rc;
}

int Convert(CliContext& ctx) {
  std::string input, output, format;
  auto parser = CommandParser("convert",
                              "Usage: tmv-cli convert IN.hex -o OUT.dat [--format values|time|datetime]\n"
                              "       tmv-cli convert IN.dat -o OUT.dat [--format values|time|datetime] [--derived LIST]\n\n"
                              "Decodes a HEX file again (or re-reads a DAT file) and writes the DAT file,\n"
                              "with the derived columns of tmv.ini (or --derived). Tide-and-wave data also\n"
                              "gets its .wave and .tide files in the kzm directory, as the desktop program's\n"
                              "save writes them (the DAT format leaves the significant wave height out).\n"
                              "--format: one reading per line, time and readings, or date, time and\n"
                              "readings (default: the work directory's setting).\n\n"
                              "Exit status: 0 written; 1 failed; 2 usage error; 3 the file was damaged\n"
                              "(cut short, junk in it, a line missing): what could be read was written.");
  parser->add_option("input", input, "the HEX or DAT file")->required();
  parser->add_option("-o,--output", output, "the DAT file to write")->required();
  parser->add_option("--format", format, "values, time or datetime")
      ->check(CLI::IsMember({"values", "time", "datetime"}));
  DerivedOptions derived;
  derived.AddTo(*parser);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (std::string e = derived.Apply(ctx.state.settings.derived); !e.empty()) return UsageError(ctx, e);
  if (!EndsWith(output, ".dat")) return UsageError(ctx, "-o names a .dat file");
  if (int rc = PassGate(ctx, cmd::kConvertDataFile)) return rc;
  if (int rc = ReadDataFileInto(ctx, input); rc != kParsed) return rc;
  AppState& state = ctx.state;
  if (!format.empty()) state.settings.datFormat = format == "values" ? 0 : format == "time" ? 1 : 2;
  if (std::filesystem::absolute(output) == std::filesystem::absolute(input) && EndsWith(input, ".dat")) {
    // Rewriting in place is allowed: the file was read whole before the write.
  }
  if (!WriteDatFile(state, output)) return ReportFailure(ctx, "Unable to write " + output);
  ctx.out << "Wrote " << output << " (" << state.retrieval.data.sampleCount << " samples)\n";
  // As the desktop program's save: tide-and-wave data gets its wave and tide files.
  if (state.logger.waves && state.retrieval.writeTideAndWaveFiles) {
    state.retrieval.writeTideAndWaveFiles(output);
    const std::string wave = WaveFilePath(WorkPath(state, "kzm"), output);
    if (!wave.empty() && FileExists(wave)) ctx.out << "Wave file: " << wave << "\nTide file: " << TideFilePath(wave) << "\n";
  }
  return DamagedFileStatus(ctx, input);
}

int Info(CliContext& ctx) {
  std::string input;
  bool json = false;
  auto parser = CommandParser("info",
                              "Usage: tmv-cli info FILE [--json]\n\n"
                              "Shows what a HEX or DAT file holds: the logger, the deployment, the channels\n"
                              "with labels and units, the sample count, the first and last row times,\n"
                              "the stamps, and each channel's minimum and maximum.");
  parser->add_option("file", input, "the HEX or DAT file")->required();
  parser->add_flag("--json", json, "print one JSON object");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = PassGate(ctx, cmd::kShowFileInfo)) return rc;
  if (int rc = ReadDataFileInto(ctx, input); rc != kParsed) return rc;
  AppState& state = ctx.state;
  const DataSet& d = state.retrieval.data;
  const LoggerInfo& l = state.logger;
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("file").String(input);
    w.Key("model").String(l.model);
    w.Key("firmware_version").Number(l.firmwareVersion);
    w.Key("serial_number").Integer(l.serialNumber);
    w.Key("comment").String(state.retrieval.comment);
    w.Key("start_time").Time(d.deployment.startTime);
    w.Key("end_time").Time(d.deployment.endTime);
    w.Key("sampling_period");
    if (d.sixHzProfiling) w.String("6Hz profiling");
    else w.String(ClockToText(d.deployment.samplingPeriod));
    w.Key("channels").BeginArray();
    for (int c = 0; c < d.channelCount; ++c) {
      ChannelKeys(w.BeginObject(), l, c);
      w.Key("minimum");
      if (d.sampleCount > 0) w.Number(d.Minimum(c));
      else w.Null();
      w.Key("maximum");
      if (d.sampleCount > 0) w.Number(d.Maximum(c));
      else w.Null();
      w.EndObject();
    }
    w.EndArray();
    w.Key("sample_count").Integer(d.sampleCount);
    w.Key("first_row_time");
    if (d.sampleCount > 0) w.Time(SampleTime(d, 0));
    else w.Null();
    w.Key("last_row_time");
    if (d.sampleCount > 0) w.Time(SampleTime(d, d.sampleCount - 1));
    else w.Null();
    w.Key("stamps").BeginArray();
    for (const StampRecord& s : d.stamps) {
      w.BeginObject();
      w.Key("row").Integer(s.sampleIndex);
      w.Key("type").String(StampName(s.type));
      w.Key("time").Time(s.time);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    ctx.out << w.Text() << "\n";
    return DamagedFileStatus(ctx, input);
  }
  std::ostream& out = ctx.out;
  out << "File: " << input << "\n";
  out << "Logger: " << IdentityText(l) << "\n";
  if (!state.retrieval.comment.empty()) out << "Comment: " << state.retrieval.comment << "\n";
  out << "Deployment: start " << TimeToDisplayText(d.deployment.startTime) << ", end "
      << TimeToDisplayText(d.deployment.endTime) << ", period "
      << (d.sixHzProfiling ? std::string("6Hz profiling") : ClockToText(d.deployment.samplingPeriod)) << "\n";
  out << "Channels: " << d.channelCount << "\n";
  for (int c = 0; c < d.channelCount; ++c) {
    const char* unit = ChannelUnit(l, c);
    std::string label = ChannelLabel(l, c);
    if (label.empty()) label = ChannelShortLabel(l, c);
    out << "  " << label << " [" << (unit != nullptr ? unit : "") << "]";
    if (d.sampleCount > 0)
      out << Format("  min %.4f  max %.4f", static_cast<double>(d.Minimum(c)), static_cast<double>(d.Maximum(c)));
    out << "\n";
  }
  out << "Samples: " << d.sampleCount << "\n";
  if (d.sampleCount > 0) {
    out << "First row: " << TimeToDisplayText(SampleTime(d, 0)) << "\n";
    out << "Last row: " << TimeToDisplayText(SampleTime(d, d.sampleCount - 1)) << "\n";
  }
  out << "Stamps: " << d.StampCount() << "\n";
  for (const StampRecord& s : d.stamps)
    out << "  row " << s.sampleIndex << "  " << StampName(s.type) << "  " << TimeToDisplayText(s.time) << "\n";
  return DamagedFileStatus(ctx, input);
}

const bool registered = [] {
  RegisterCliCommand({"download", "Retrieve the logger's memory and save the HEX and DAT files", "", Download});
  RegisterCliCommand({"convert", "Write a DAT file from a HEX file (decoded again) or a DAT file", "", Convert});
  RegisterCliCommand({"info", "Show what a HEX or DAT file holds", "", Info});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
