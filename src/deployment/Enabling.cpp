#include "deployment/Enabling.h"

#include <algorithm>
#include <cstdlib>

#include "deployment/SetupCommands.h"
#include "files/LogFile.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr uint32_t kOlderDataStart = 0x20000;  // where an older logger's data area begins
constexpr double kMicrochipEraseStep = 0.8333333;  // percent a second: about two minutes
constexpr double kMinimumEraseStep = 0.7;
constexpr double kEraseGraceProgress = 200.0;  // twice the estimated erase time
constexpr int kEnableReplyBytes = 120;

constexpr const char* kUnableToCommunicate =
    "Unable to communicate with logger.\nTry again.\nContact TMV if the problem persists.";

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

LogEntry EntryFor(const AppState& state) {
  LogEntry e = LogEntryFromState(state);
  const DeploymentSettings& d = state.deployment;
  const unsigned channel = d.thresholdChannel;
  if (channel < static_cast<unsigned>(std::clamp(state.logger.channelCount, 0, kMaxChannels)))
    e.thresholdChannelType = static_cast<char>(state.logger.channelTypes[channel]);
  e.thresholdLevel = d.thresholdValue;
  e.thresholdChannel = static_cast<int>(channel);
  e.hysteresisSeconds = d.hysteresisEnabled ? static_cast<int>(d.hysteresisSeconds) : 0;
  e.waveRateHz = d.burstRate;
  return e;
}

void LogFailure(AppState& state, const std::string& reason) {
  LogEntry e = EntryFor(state);
  e.failureReason = reason;
  AppendToLog(state, kLogSetupFailed, e);
}

// The read-backs that differ share one family of texts: each is a
// verification that failed.
OutcomeKind FailureKind(std::string_view text) {
  return text.find("set incorrectly") != std::string_view::npos ? OutcomeKind::VerificationFailed : OutcomeKind::Failed;
}

// Ends the run as failed: its result says why (the caller shows it), the
// Setup dialog closes, and the step is recorded in the log.
int Fail(AppState& state, EnableRun& run, const char* english, bool rerun) {
  if (english != nullptr && run.result.Ok()) run.result = Outcome::Of(FailureKind(english), english);
  if (run.result.Ok()) run.result = Outcome::Of(OutcomeKind::Failed, "%s", {run.failedStep});
  if (english != nullptr && run.failedStep.empty()) run.failedStep = FirstLine(english);
  run.erasing = false;
  run.running = false;
  run.outcome = 0;
  run.closeSetup = true;
  run.rerunSetup = run.rerunSetup || rerun;
  LogFailure(state, run.failedStep);
  return 0;
}

void Absorb(EnableRun& run, const SetupVerdict& verdict) {
  if (!verdict.failed) return;
  run.closeSetup = true;
  run.rerunSetup = run.rerunSetup || verdict.rerunSetup;
  if (run.failedStep.empty()) run.failedStep = FirstLine(verdict.message);
  if (run.result.Ok()) run.result = Outcome::Of(FailureKind(verdict.message), verdict.message);
}

// The end-of-data pointer (query 6), least significant byte first in front of "CDP".
bool ReadDataPointer(AppState& state, uint32_t& pointer) {
  if (CommGet(state, 6) != 1) return false;
  uint8_t b[4] = {};
  if (ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, "CDP", 8), b, 4) != 4) return false;
  pointer = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
            static_cast<uint32_t>(b[3]) << 24;
  return true;
}

bool LiveReadingsShown(const AppState& state) {
  return state.deployment.realTimeOutput && (state.logger.rsAdvanced & 0x0Au) == 0x0Au;
}

// Starts an erase (or, when none is needed, programs at once). force: the
// logger reported a failed erase, so it is erased whatever its pointer says.
void StartErase(AppState& state, EnableRun& run, bool force) {
  const LoggerInfo& info = state.logger;
  run.running = true;
  run.erasing = false;
  run.outcome = -1;
  run.progress = 0.0;
  run.progressStep = 0.0;
  run.message = Tr(state, "Waiting for logger to reset");
  if (!ConnectLogger(state)) {
    Fail(state, run, kUnableToCommunicate, false);
    return;
  }
  if (IsMultiChannelModel(info.model) && !info.microchipLogger) SendSetupCommand(state, kSetupStop);

  uint32_t pointer = 0;
  const bool pointerRead = ReadDataPointer(state, pointer);
  bool erase = force || !pointerRead;
  if (info.microchipLogger) {
    const bool statusRead = CommGet(state, 9) == 1;
    erase = erase || pointer != 0 || !statusRead || state.query.loggerStatus >= 1;
  } else {
    erase = erase || pointer != kOlderDataStart;
  }
  run.progressStep = ErasePace(info, pointer);
  if (!erase) {
    ProgramAndEnable(state, run);
    return;
  }
  SendSetupCommand(state, kSetupErase);
  run.erasing = true;
}

// Status 1..7 from the reply to "P": the hex code after "Logger status " or
// "Logger started in mode"; 7 without either or above 6.
int EnableReplyStatus(const ReplyBuffer& reply) {
  const std::string_view text = reply.Bytes();
  int code = 7;
  for (std::string_view key : {std::string_view("Logger status "), std::string_view("Logger started in mode")}) {
    const size_t at = reply.Find(key);
    if (at == std::string_view::npos) continue;
    size_t pos = at + key.size();
    int value = 0;
    if (ScanHex2(text, pos, value)) {
      code = value;
      break;
    }
  }
  return code > 6 || code < 0 ? 7 : code;
}

std::string ReplyHead(const ReplyBuffer& reply, size_t count) {
  std::string head;
  for (char c : reply.Text().substr(0, count))
    if (c != '\r' && c != '\n') head.push_back(c);
  return head;
}

LoggerTime NextStartNow(const LoggerTime& clock) {
  LoggerTime start = AddSeconds(clock, 10);
  start.milliseconds = 0;
  if (start.second % 10 != 0) start = AddSeconds(start, 10 - start.second % 10);
  return start;
}

// A new run keeps only what the Setup dialog gave it.
EnableRun FreshRun(const EnableRun& previous) {
  EnableRun run;
  run.estimateText = previous.estimateText;
  return run;
}

}  // namespace

void BeginEraseAndProgram(AppState& state, EnableRun& run) {
  run = FreshRun(run);
  StartErase(state, run, false);
}

void EnableTick(AppState& state, EnableRun& run) {
  if (!run.erasing) return;
  if (!EraseWaitOver(state, run.progress, run.progressStep)) return;
  run.erasing = false;
  ProgramAndEnable(state, run);
}

double ErasePace(const LoggerInfo& info, uint32_t pointer) {
  if (info.microchipLogger) return kMicrochipEraseStep;
  // Erasing takes about two seconds per 64 KiB block in use. A pointer below
  // the data area (a corrupt reply) gets the slowest pace.
  const long blocks = static_cast<long>(pointer / 65536u) - 1;
  return blocks > 0 ? std::max(100.0 / (2.0 * static_cast<double>(blocks)), kMinimumEraseStep) : kMinimumEraseStep;
}

bool EraseWaitOver(AppState& state, double& progress, double step) {
  const LoggerInfo& info = state.logger;
  progress += step;
  if (info.microchipLogger) {
    state.query.progressValue = 0;
    if (CommGet(state, 26) == 1) return true;
    // A reply that says neither "erased" nor "failed" makes no sense: the
    // wait ends and the status tells the rest. Silence is a logger still busy.
    if (state.query.progressValue == 101 && state.reply.length > 0) {
      progress = 101.0;
      return true;
    }
    return progress > 100.0;
  }
  // An older logger has no erase query: its status, which it answers with
  // 7F while it erases, says when it is done.
  const bool answered = CommGet(state, 9) == 1;
  const bool busy = state.reply.Contains("Logger status 7F");
  if (answered && !busy) return true;
  if (progress <= 100.0) return false;
  // Its pace is an estimate from its memory pointer: a logger that still
  // says it is erasing is given as long again before it is taken to have failed.
  return !(busy && progress <= kEraseGraceProgress);
}

int EraseLogger(AppState& state, const std::function<void(double percent)>& shown) {
  uint32_t pointer = 0;
  ReadDataPointer(state, pointer);
  const double step = ErasePace(state.logger, pointer);
  if (SendSetupCommand(state, kSetupErase) != 1) return 0;
  double progress = 0.0;
  for (bool over = false; !over;) {
    DelayMs(state, 1000);
    over = EraseWaitOver(state, progress, step);
    if (shown) shown(std::min(progress, 100.0));
  }
  // The status says how it ended: "00" erased, "7F" failed.
  return CommGet(state, 9) == 1 && state.reply.Contains("Logger status 00") ? 1 : 0;
}

int ProgramAndEnable(AppState& state, EnableRun& run) {
  run.running = true;
  run.erasing = false;
  run.outcome = -1;
  LoggerInfo& info = state.logger;
  DeploymentSettings& d = state.deployment;

  // 1-3: the logger must be erased and not enabled.
  if (CommGet(state, 9) != 1) return Fail(state, run, kUnableToCommunicate, true);
  if (state.reply.Contains("Logger status 7F")) {
    const MessageAnswer answer = state.ui.MessageBox(
        Tr(state,
           "The logger status indicates that the logger failed to erase properly.\n\nTry to erase again?\n\n"
           "Contact TMV if the problem persists."),
        Tr(state, "Reset Logger"), MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No);
    if (answer == MessageAnswer::Yes) {
      StartErase(state, run, true);
      return 0;
    }
    run.failedStep = "The logger failed to erase properly.";
    return Fail(state, run, nullptr, true);
  }
  if (!state.reply.Contains("Logger status 00"))
    return Fail(state, run, "Logger status is incorrect.\nTry again.\nContact TMV if the problem persists.", true);

  // 4: the sampling mode, each command where the logger has it.
  SetupVerdict verdict;
  if (IsMultiChannelModel(info.model)) {
    SendSetupCommand(state, kSetupThreshold, &verdict);
    if (info.hysteresis) SendSetupCommand(state, kSetupHysteresis, &verdict);
  }
  if (ModelContains(info.model, "VL") && !d.sixHzMode) d.powerKeptOn = true;
  // What was read back and found as sent, for callers that list it.
  auto verified = [&run](int sent, const char* what) {
    if (sent == 1) run.verified.push_back(what);
  };
  if (info.averaging != 0) {
    const int sent = SendSetupCommand(state, kSetupAveraging, &verdict);
    if (info.microchipLogger) verified(sent, "Averaging length");
  }
  if (info.externalDataConnector) {
    SendSetupCommand(state, kSetupRealTime, &verdict);
    run.startLiveReadings = LiveReadingsShown(state);
  }
  if (info.commands12Level != 0) {
    const int sent = SendSetupCommand(state, kSetupStartCharacteristic, &verdict);
    if (!sent) verdict.rerunSetup = true;
    verified(sent, "Start characteristic");
  }
  if (info.waves) {
    verified(SendSetupCommand(state, kSetupWave, &verdict), "Wave parameters");
    verified(SendSetupCommand(state, kSetupHeight, &verdict), "Logger height");
  }
  if (info.rates124Hz) verified(SendSetupCommand(state, kSetupRate, &verdict), "High sampling rate");
  Absorb(run, verdict);
  // A logger that holds a sampling mode other than the one chosen is not
  // enabled: the user has been told which setting and sets it up again.
  if (verdict.failed) {
    run.startLiveReadings = false;
    return Fail(state, run, nullptr, true);
  }

  // 5: the deployment as programmed, for the next logger.
  state.batch.settings = d;
  state.batch.changedSince = false;

  // 6: starting now means on the next whole ten seconds at least ten seconds ahead.
  if (d.startMode != kStartAtTime) {
    if (CommGet(state, 1) != 1) return Fail(state, run, kUnableToCommunicate, true);
    d.loggerClock = ParseTimeReply(state.reply.Bytes());
    d.startTime = NextStartNow(d.loggerClock);
  }

  // 7-9: schedule, each read back and compared exactly.
  SendSetupCommand(state, kSetupStart);
  CommGet(state, 3);
  if (ToTicks(ParseTimeReply(state.reply.Bytes())) != ToTicks(d.startTime))
    return Fail(state, run, "Start time set incorrectly.\nTry again.\nContact TMV if the problem persists.", true);
  verified(1, "Start time");
  SendSetupCommand(state, kSetupEnd);
  CommGet(state, 4);
  if (ToTicks(ParseTimeReply(state.reply.Bytes())) != ToTicks(d.endTime))
    return Fail(state, run, "End time set incorrectly.\nTry again.\nContact TMV if the problem persists.", true);
  verified(1, "End time");
  SendSetupCommand(state, kSetupPeriod);
  CommGet(state, 2);
  const LoggerTime period = ParsePeriodReply(state.reply.Bytes());
  if (period.hour != d.samplingPeriod.hour || period.minute != d.samplingPeriod.minute ||
      period.second != d.samplingPeriod.second)
    return Fail(state, run, "Period set incorrectly.\nTry again.\nContact TMV if the problem persists.", true);
  verified(1, "Period");

  // 10-12: enable, and believe only the logger's own answer.
  SendSetupCommand(state, kSetupEnable);
  const size_t n = LinkRead(state, state.loggerLink, state.reply.Data(), kEnableReplyBytes);
  state.reply.length = n;
  const int status = n > 0 ? EnableReplyStatus(state.reply) : 7;
  const std::string head = ReplyHead(state.reply, 22);
  if (status == 1)
    ShowStatus(state, head + Format(Tr(state, ": 'Enabled' to start at %s").c_str(),
                                    TimeToDisplayText(d.startTime).c_str()));
  else
    ShowStatus(state, head + ": " + Tr(state, LoggerStatusText(status)));
  if (status < 1 || status > 3) {
    run.startLiveReadings = false;
    return Fail(state, run, "Logger has not been enabled.\nTry again.\nIf problem persists contact TMV.", true);
  }
  run.verified.push_back(std::string("Logger status: ") + LoggerStatusText(status));
  run.running = false;
  run.outcome = 1;
  // What was written was read back: the deployment is the logger's own now.
  state.logger.deploymentUnread = 0;
  run.closeSetup = true;
  LogEntry e = EntryFor(state);
  e.estimateText = run.estimateText;
  AppendToLog(state, kLogSetUp, e);
  return 1;
}

int ContinueToAdd(AppState& state, EnableRun& run) {
  run = FreshRun(run);
  run.running = true;
  if (!ConnectLogger(state)) return Fail(state, run, kUnableToCommunicate, true);
  SetupVerdict verdict;
  SendSetupCommand(state, kSetupStartCharacteristic, &verdict);
  SendSetupCommand(state, kSetupThreshold, &verdict);
  SendSetupCommand(state, kSetupRealTime, &verdict);
  SendSetupCommand(state, kSetupAveraging, &verdict);
  Absorb(run, verdict);
  if (verdict.failed) return Fail(state, run, nullptr, true);
  if (SetupVerdict resumed; SendSetupCommand(state, kSetupResume, &resumed) != 1) {
    run.failedStep = "Logger failed to resume.";
    run.result = Outcome::Of(OutcomeKind::Refused, "Logger failed to resume.");
    return Fail(state, run, nullptr, true);
  }
  run.running = false;
  run.outcome = 1;
  run.closeSetup = true;
  run.startLiveReadings = LiveReadingsShown(state);
  AppendToLog(state, kLogResumed, EntryFor(state));
  return 1;
}

int StopLogger(AppState& state) {
  const int stopped = SendSetupCommand(state, kSetupStop);
  state.deployment.realTimeOutput = 0;
  RecomputeRealTimeBaud(state);
  if (stopped) SendSetupCommand(state, kSetupRealTime);
  return stopped;
}

int SuspendLogger(AppState& state) { return SendSetupCommand(state, kSetupSuspend); }

int ResumeLogger(AppState& state) { return SendSetupCommand(state, kSetupResume); }

bool StatusShows(RunningChange change, int status) {
  switch (change) {
    case RunningChange::Stop: return status == 0 || status == 4 || status == 8;
    case RunningChange::Suspend: return status == 5;
    case RunningChange::Resume: return status == 1 || status == 2 || status == 3 || status == 6;
  }
  return false;
}

Outcome ChangeRunningState(AppState& state, RunningChange change) {
  const int sent = change == RunningChange::Stop      ? StopLogger(state)
                   : change == RunningChange::Suspend ? SuspendLogger(state)
                                                      : ResumeLogger(state);
  const char* verb = change == RunningChange::Stop ? "stop" : change == RunningChange::Suspend ? "suspend" : "resume";
  state.logger.statusStale = true;
  if (KnowLogger(state, kKnowStatus) != KnowResult::Known) {
    if (!state.logger.connected || sent != 1)
      return Outcome::Of(OutcomeKind::NoLogger, "The logger did not answer after the %s command: its state is unknown.", {verb});
    return Outcome::Of(OutcomeKind::NoLogger, "Error: Status read incorrectly");
  }
  const int status = state.query.loggerStatus;
  if (StatusShows(change, status)) return Outcome::Done();
  return Outcome::Of(OutcomeKind::Refused, "The logger still reports \"%s\": it did not %s.",
                     {LoggerStatusText(status), verb});
}

Outcome SetLoggerClockToHost(AppState& state) {
  DeploymentSettings& d = state.deployment;
  // A second of 59 would carry into the minute when one is added.
  LoggerTime host = state.clock.LocalTime();
  for (int waits = 0; host.second == 59 && waits < 40; ++waits) {
    DelayMs(state, 50);
    host = state.clock.LocalTime();
  }
  LoggerTime sent = host;
  sent.second = static_cast<uint16_t>(sent.second + 1);
  sent.milliseconds = 0;
  d.loggerClock = sent;
  SendSetupCommand(state, kSetupSetClock);
  if (CommGet(state, 1) != 1) return Outcome::Of(OutcomeKind::NoLogger, "TIMEOUT: Logger clock read incorrectly");
  const LoggerTime back = ParseTimeReply(state.reply.Bytes());
  d.hostClockAtRead = back;
  const int64_t difference = static_cast<int64_t>(ToTicks(back)) - static_cast<int64_t>(ToTicks(sent));
  if (std::llabs(difference) < static_cast<int64_t>(2 * kTicksPerSecond)) return Outcome::Done();
  return Outcome::Of(OutcomeKind::VerificationFailed, "Logger clock has not set properly.\nTry again.");
}

bool SynchronizeClock(AppState& state) {
  const Outcome set = SetLoggerClockToHost(state);
  if (set.Ok()) return true;
  state.ui.MessageBox(Tr(state, "Logger clock has not set properly.\nTry again."), Tr(state, "Synchronize Clock"),
                      MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
  return false;
}

}  // namespace tmv
