#include "retrieval/Download.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "deployment/Enabling.h"
#include "deployment/SetupDialog.h"
#include "files/HexFile.h"
#include "files/LogFile.h"
#include "files/SaveFile.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Capabilities.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "retrieval/SampleDecoder.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/Outcomes.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr int kAttempts = 10;
constexpr int kFallbackAttempt = 5;
constexpr int kFallbackBaud = 19200;
constexpr int kFallbackBlock = 480;
constexpr int64_t kLinkCheckMs = 5000;

bool Km(const LoggerInfo& l) { return IsTemperatureRecorder(l.model); }
bool Pm(const LoggerInfo& l) { return IsDepthRecorder(l.model); }
bool Qn(const LoggerInfo& l) { return IsMultiChannelModel(l.model); }
double Version(const LoggerInfo& l) { return static_cast<double>(l.firmwareVersion); }

// The pointer stands in the eight hex digits before its tag: bytes of a
// record the logger sent before the reply may come first.
uint32_t PointerFromReply(std::string_view reply) {
  uint8_t b[4] = {0, 0, 0, 0};
  const size_t tag = reply.find("CDP");
  ScanHexPairs(reply, tag != std::string_view::npos && tag >= 8 ? tag - 8 : 0, b, 4);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

void Info(DownloadView& v) {
  v.infoIcon = true;
  v.warningIcon = false;
}
void Warn(DownloadView& v) {
  v.warningIcon = true;
  v.infoIcon = false;
}

// Menu commands greyed while the download runs.
void SetDownloadMenus(AppState& state, bool enabled) {
  for (int c : {cmd::kSetup, cmd::kRetrieveData, cmd::kMenuFile, cmd::kMenuLoggerFunctions, cmd::kMenuConfiguration})
    state.ui.SetCommandEnabled(c, enabled);
}

// A reconnect at the link speed the program now holds.
int ReconnectAtCurrentBaud(AppState& state) {
  state.logger.connected = false;
  return Reconnect(state) ? 1 : 0;
}

// Counts down ten seconds with the text in the status line (or the dialog), then reconnects.
int WaitAndReconnect(AppState& state, DownloadProc* dialog) {
  for (int s = 10; s >= 1; --s) {
    const std::string text = Format(Tr(state, "Unable to connect to logger, waiting for timeout %d").c_str(), s);
    if (dialog != nullptr) {
      dialog->view.message = text;
      Warn(dialog->view);
    } else {
      ShowStatus(state, text);
    }
    DelayMs(state, 1000);
  }
  return ReconnectAtCurrentBaud(state);
}

void ShowRemaining(AppState& state, DownloadProc& dialog, uint32_t blockEnd) {
  const DownloadState& d = state.retrieval.download;
  const LoggerInfo& l = state.logger;
  int64_t t = 1;
  if (l.microchipLogger) {
    const int64_t e = dialog.lastCheckMs - dialog.startMs;
    const double p = d.progressPercent;
    t = e > 0 && p > 0 ? static_cast<int64_t>(std::trunc(e * (100.0 - p) / p / 1000.0)) : 1;
  } else {
    const double left = d.endPointer > blockEnd ? static_cast<double>(d.endPointer - blockEnd) : 0.0;
    t = l.baud == 115200 ? static_cast<int64_t>(left * 0.000125)
                         : static_cast<int64_t>(left / (std::max(l.baud, 10) / 10));
  }
  if (t > 0)
    dialog.view.message = Format(Tr(state, "Estimated download time remaining %d:%02d").c_str(),
                                 static_cast<int>(t / 60), static_cast<int>(t % 60));
  else
    dialog.view.message = Tr(state, "Estimated download time remaining < 1 second");
  Info(dialog.view);
}

void PostEnd(AppState& state, DownloadProc& dialog) {
  state.retrieval.download.downloading = false;
  state.shell.downloading = false;
  dialog.endPosted = true;
}

std::string StartModeText(unsigned mode) {
  switch (mode) {
    case kStartNow: return "Start NOW";
    case kStartAbove: return "Start when ABOVE threshold";
    case kStartBelow: return "Start when BELOW threshold";
    default: return "Start at 'Start of logging'";
  }
}

}  // namespace

uint32_t DataStartAddress(const LoggerInfo& logger) { return logger.microchipLogger ? 0 : 0x20000; }

uint32_t EndPointerCap(const LoggerInfo& logger) {
  if (logger.microchipLogger) return 0x7FE000;
  return logger.memory4Meg ? 0x3FF7FE : 0x1FF7FE;
}

int DownloadBlockSize(int baud) {
  switch (baud) {
    case 1200: return 60;
    case 2400: return 120;
    case 4800: return 240;
    case 57600:
    case 115200: return 960;
    default: return 480;
  }
}

bool BlockHasChecksum(const LoggerInfo& l) { return !(Km(l) && FirmwareBelow(l.firmwareVersion, 1.5)); }

bool MemoryHoldsNoData(const LoggerInfo& l, uint32_t p) {
  const double v = Version(l);
  if (l.microchipLogger) return p <= 48;
  if (Km(l)) {
    if (v < 1.5) return p < 0x20001;
    if (v > 1.5 && v < 2.15) return p < 0x20010;
    if (v > 2.15 && v < 3.0) return p < 0x2001F;
    return false;
  }
  if (Pm(l) && v > 1.5) return p < 0x2001F;
  if (Qn(l)) return p < 0x2001F;
  return false;
}

std::string BlockRequestText(uint32_t start, uint32_t end) {
  char text[32];
  std::snprintf(text, sizeof text, "I%02x%02x%02x%02x%02x%02x%02x%02x", end & 0xFF, (end >> 8) & 0xFF,
                (end >> 16) & 0xFF, end >> 24, start & 0xFF, (start >> 8) & 0xFF, (start >> 16) & 0xFF, start >> 24);
  return text;
}

BlockPlan PlanBlock(const LoggerInfo& logger, DownloadState& d, int imageLength) {
  BlockPlan plan;
  plan.start = d.currentAddress;
  plan.checksum = BlockHasChecksum(logger);
  const int extra = plan.checksum ? 1 : 0;
  uint32_t blockEnd = std::min<uint32_t>(d.currentAddress + static_cast<uint32_t>(d.blockSize), d.endPointer);
  int count = static_cast<int>(blockEnd - d.currentAddress) + extra;
  if (!logger.microchipLogger) {
    const uint32_t a = d.currentAddress;
    const unsigned a0 = a & 0xFF, a1 = (a >> 8) & 0xFF, a2 = (a >> 16) & 0xFF, a3 = a >> 24;
    if (a0 == 0x80 && a1 == 0xF7 && (a2 == 0x0F || a2 == 0x1F || a2 == 0x2F) && count >= 126) {
      // The last page of a megabyte ends at 0x.FF7FE: the next block starts on the next megabyte.
      blockEnd = (a2 + 1) * 65536u;
      count = 126 + extra;
      if (blockEnd > d.endPointer) {
        blockEnd = d.endPointer;
        count = static_cast<int>(blockEnd - d.currentAddress) + extra;
      }
    } else if (a0 == 0x80 && a1 == 0xF7 && a2 == 0x3F && count >= 126) {
      blockEnd = (blockEnd & ~0xFFu) | 0xFE;
      count = 126 + extra;
    } else if (a1 == 0xFF && a0 == 0 && count >= 256) {
      // The last byte of a 64 KiB page is never used.
      blockEnd = (a2 + 1) * 65536u + a3 * 16777216u;
      count = 255 + extra;
    }
  }
  if (blockEnd == d.endPointer) {
    // The image ends on a whole 3-byte word.
    const int r = plan.checksum ? (imageLength + count - 1) % 3 : count % 3;
    count -= r;
    blockEnd -= static_cast<uint32_t>(r);
    d.endPointer -= static_cast<uint32_t>(r);
  }
  plan.end = blockEnd;
  plan.count = count;
  plan.send = count > 2;
  return plan;
}

DownloadQuery DownloadQueryFor(int s, int c) {
  DownloadQuery q;
  // A profiling logger (6) writes to its memory as a logging one does.
  const bool running = s == 1 || s == 2 || s == 6;
  if (running && c == 4) {
    q.kind = DownloadQuery::Kind::Ask;
    q.text = "Do you wish to stop the logger?\nIf you choose to continue without stopping the logger, data download may be slow.";
    q.button6 = "Keep logging";
    q.button7 = "Stop";
    q.on6 = DownloadQuery::Action::Download;
  } else if (running && c == 3) {
    q.kind = DownloadQuery::Kind::Ask;
    q.text = "This logger may be stopped completely or\nsuspended during data download and resumed after.";
    q.button6 = "Suspend and resume";
    q.button7 = "Stop";
    q.on6 = DownloadQuery::Action::Suspend;
  } else if (((running || s == 3) && c == 2) || (s == 3 && c == 3)) {
    q.kind = DownloadQuery::Kind::Ask;
    q.text = "This logger must be stopped to download data.";
    q.button7 = "Stop";
  } else if (running) {
    q.kind = DownloadQuery::Kind::Refuse;
    q.text = "Data cannot be retrieved from an TMV KM-3170 version 1.0 logger\nwhen it is still collecting data.";
  }
  q.on7 = DownloadQuery::Action::Stop;
  return q;
}

std::string ReadMemoryStatus(AppState& state, DownloadProc& dialog, std::string_view replyText) {
  const LoggerInfo& l = state.logger;
  const double v = Version(l);
  uint32_t p = PointerFromReply(replyText);
  state.retrieval.download.endPointer = p;
  double fill;
  if (l.microchipLogger)
    fill = p * 100.0 / 8380368.0;
  else if (((Km(l) || Pm(l)) && v > 3.15) || (Qn(l) && v > 4.0))
    fill = (static_cast<double>(p) - 0x20000) * 100.0 / 3900000.0;
  else
    fill = (static_cast<double>(p) - 0x20000) * 100.0 / 1961952.0;
  fill = std::min(fill, 100.0);
  int64_t n = 0;
  if (!l.microchipLogger) {
    n = (static_cast<int64_t>(p) - 0x20000) / 3;
    if (Km(l) && v > 1.5 && v < 2.15) n -= 5;
    else if (Km(l) && v > 2.15) n -= 10;
    else if (Pm(l) && v > 1.5) n -= 10;
    else if (Qn(l)) n -= l.parameterBlockLength / 3;
  } else {
    const int64_t h = l.parameterBlockLength;
    int64_t q = static_cast<int64_t>(p);
    if (q < h) {
      n = 0;
    } else {
      if ((q - h) % 3 != 0) q += 3 - (q - h) % 3;
      n = (q - h) / 3;
    }
  }
  n = std::max<int64_t>(n, 0);
  const int channels = std::max(l.channelCount, 1);
  std::string text;
  if ((l.rsAdvanced & 8u) != 0) {
    if (n > 999) text = Format("%.1f%%, %dK bytes", fill, static_cast<int>(std::lround(n / 1000.0)));
    else if (n > 0) text = Format("<0.1%%, %d bytes", static_cast<int>(n));
    else text = "0%, 0 bytes";
  } else {
    const int64_t r = n / channels;
    if (r > 999) text = Format("%.1f%%, %dK readings", fill, static_cast<int>(std::lround(n / (channels * 1000.0))));
    else if (r > 0) text = Format("<0.1%%, %d readings", static_cast<int>(r));
    else text = "0%, 0 readings";
  }
  if (n >= 1) dialog.view.button1 = Tr(state, "Retrieve Data");
  return text;
}

bool DownloadProc::Open(AppState& state) {
  view = DownloadView{};
  view.infoIcon = view.warningIcon = false;
  const LoggerInfo& l = state.logger;
  // The logger as it is now: status first (an active older QN-760 tells
  // nothing more), then what it can do, its channels (they size the memory
  // text) and the deployment its data were logged with.
  stopOffered = false;
  result = Outcome::Done();
  const auto refuse = [&](Outcome why) {
    result = std::move(why);
    view.message = Describe(state, result);
    Warn(view);
    return false;
  };
  const KnowResult statusKnown = KnowLogger(state, kKnowStatus);
  if (statusKnown == KnowResult::NoLogger)
    return refuse(Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to logger"));
  if (statusKnown != KnowResult::Known)
    return refuse(Outcome::Of(OutcomeKind::Failed, "Error: Status read incorrectly"));
  status = state.query.loggerStatus;
  if (ModelContains(l.model, "QN-760") && FirmwareBelow(l.firmwareVersion, 6.415) &&
      (status == 1 || status == 2 || status == 3 || status == 6)) {
    view.message = Tr(state, "QN-760 Logger active - update of this window suspended, you may stop the logger");
    view.fieldsHidden = true;
    view.button1 = Tr(state, "STOP logger");
    stopOffered = true;
    return true;
  }
  const bool qnOrVl = Qn(l) || IsMicroSalinometer(l.model);
  // What heads the files and times every row: a part the logger did not
  // tell stops the retrieval here, before anything is changed or read, so
  // that no file carries a guess. The data stay in the logger for a retry.
  const KnowResult known =
      KnowLogger(state, kKnowCapabilities | kKnowConfiguration | kKnowDeployment | (qnOrVl ? kKnowCalibration : 0u));
  if (const Outcome unknown = UnknownOfLogger(state, known); !unknown.Ok()) return refuse(unknown);
  if (CommGet(state, 6) != 1)
    return refuse(Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Memory status read incorrectly"));
  view.memoryUsage = ReadMemoryStatus(state, *this, state.reply.Bytes());
  const uint32_t p = state.retrieval.download.endPointer;
  if (MemoryHoldsNoData(l, p)) {
    if (status != 0 && status != 4 && status != 8) {
      stopOffered = true;
      view.button1 = Tr(state, "STOP logger");
      view.message = Tr(state, "No data in memory - You may stop the logger.");
    } else {
      view.message = Tr(state, "No data in memory.");
    }
    Info(view);
  }
  // The deployment summary, as the logger holds it (shown for the multi-channel loggers).
  view.summary.clear();
  if (qnOrVl) {
    const DeploymentSettings& d = state.deployment;
    view.summary.push_back(Tr(state, StartModeText(d.startMode)));
    view.summary.push_back("Start: " + TimeToDisplayText(d.startTime));
    view.summary.push_back("End: " + TimeToDisplayText(d.endTime));
    view.summary.push_back("Period: " + ClockToText(d.samplingPeriod));
    if (l.externalDataConnector || l.commands12Level >= 1) {
      const bool inhibit = (d.optionFlags & kOptionInhibitStorage) != 0;
      // Captioned, as the other summary lines are: alone, "Enabled" says not what is.
      view.summary.push_back("Real-time display: " + (d.realTimeOutput == 0 ? Tr(state, "Not Enabled")
                                                      : inhibit             ? Tr(state, "Enabled - NO data storage")
                                                                            : Tr(state, "Enabled")));
    }
  }
  if ((state.deployment.optionFlags & kOptionInhibitStorage) != 0)
    view.message = Tr(state, "Data inhibit was set at last deployment - No new data to download");
  return true;
}

bool DownloadProc::Downloading(const AppState& state) const { return state.retrieval.download.downloading; }

bool DownloadProc::Retrieve(AppState& state, const std::function<int(const DownloadQuery&)>& ask, bool full) {
  RetrievalState& r = state.retrieval;
  DownloadState& d = r.download;
  const LoggerInfo& l = state.logger;
  retrieveFull = full;
  outcome = DownloadOutcome::NotStarted;
  failed = ended = endPosted = false;
  result = Outcome::Done();
  // Abandoned before the first block: a logger suspended for the download
  // logs again, and the reason is the outcome.
  const auto abandon = [&](Outcome why) {
    if (d.resumeAfterDownload) {
      d.resumeAfterDownload = false;
      if (!ChangeRunningState(state, RunningChange::Resume).Ok()) {
        resumeFailed = true;
        why.key += "\nLogger failed to resume.";
      }
    }
    result = std::move(why);
    view.message = Describe(state, result);
    Warn(view);
    ShowStatus(state, "");
    return false;
  };
  // 1. A tide-and-wave recorder needs depth for its calculations.
  if (IsTideWaveRecorder(l.model) && !state.settings.derived.depthEnabled) {
    result = Outcome::Of(OutcomeKind::Failed, "To complete the calculations necessary for this KZM logger,\n'Depth' has "
                                              "to be selected with appropriate paramaters\nin the 'Derived units' menu.");
    // The derived-units dialog's OK resumes the retrieval.
    state.analysis.pendingKzmAction = kKzmRetrieve;
    openDerivedUnits = true;
    return false;
  }
  // 2. "STOP logger".
  reopen = false;
  if (stopOffered) {
    if (Outcome stopped = ChangeRunningState(state, RunningChange::Stop); !stopped.Ok()) return abandon(stopped);
    reopen = true;
    return false;
  }
  // 3. Unsaved data of an earlier retrieval.
  if (r.data.unsaved && !r.saved) {
    if (state.ui.MessageBox(Tr(state, "The previously retrieved data has not been saved.\nDo you wish to return to "
                                      "save the data now?"),
                            Tr(state, "Retrieve Data"), MessageButtons::YesNo, MessageIcon::Question,
                            MessageAnswer::No) == MessageAnswer::Yes)
      SaveFile(state, kSaveHexAndDat);
    r.data.unsaved = false;
    r.saved = false;
  }
  // 4. The host's clock and the logger's, as one pair for the file header.
  r.data.hostTime = state.clock.LocalTime();
  if (CommGet(state, 1) != 1)
    return abandon(Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Logger clock read incorrectly"));
  r.data.loggerTime = ParseTimeReply(state.reply.Bytes());
  view.button1Visible = view.appendVisible = view.retrieveFullVisible = false;
  r.data.stamps.clear();
  d.resumeAfterDownload = false;
  resumeFailed = false;
  // 5, 6. A logger that is still logging: stopped or suspended only when its
  // status then shows it, or the download would read a memory still written.
  const int s = status;
  if ((s == 4 || s == 8) && (state.query.startByte & 128) != 0 && l.retrievalMode >= 2) {
    if (Outcome stopped = ChangeRunningState(state, RunningChange::Stop); !stopped.Ok()) return abandon(stopped);
  } else {
    const DownloadQuery q = DownloadQueryFor(s, l.retrievalMode);
    if (q.kind == DownloadQuery::Kind::Refuse) return abandon(Outcome::Of(OutcomeKind::Refused, q.text));
    if (q.kind == DownloadQuery::Kind::Ask) {
      const int answer = ask ? ask(q) : kQueryCancel;
      if (answer != kQueryButton6 && answer != kQueryButton7) {
        result = Outcome::Of(OutcomeKind::Cancelled, "Not retrieved: the logger is still logging.");
        ShowStatus(state, "");
        return false;
      }
      if (answer == kQueryButton6 && q.button6.empty()) return false;
      const DownloadQuery::Action action = answer == kQueryButton6 ? q.on6 : q.on7;
      if (action == DownloadQuery::Action::Suspend) {
        view.message = Tr(state, "Suspending logging");
        d.resumeAfterDownload = true;
        if (Outcome suspended = ChangeRunningState(state, RunningChange::Suspend); !suspended.Ok())
          return abandon(suspended);
      } else if (action == DownloadQuery::Action::Stop) {
        view.message = Tr(state, "Stopping logger");
        if (Outcome stopped = ChangeRunningState(state, RunningChange::Stop); !stopped.Ok()) return abandon(stopped);
      }
    }
  }
  // 7. Status and memory status again.
  state.logger.statusStale = true;
  if (KnowLogger(state, kKnowStatus) != KnowResult::Known)
    return abandon(Outcome::Of(OutcomeKind::Failed, "Error: Status read incorrectly"));
  status = state.query.loggerStatus;
  std::string reply;
  if (!full) {
    // An unread pointer is no empty memory: a person told so might erase it.
    if (CommGet(state, 6) != 1)
      return abandon(Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Memory status read incorrectly"));
    reply = std::string(state.reply.Bytes());
  } else {
    reply = l.memory8Meg ? "00E07F00CDP" : l.memory4Meg ? "FEF73F00CDP" : "FEF71F00CDP";
  }
  view.memoryUsage = ReadMemoryStatus(state, *this, reply);
  // 8. Calibration: a logger that holds none converts with the defaults (and
  // says so); one that was not heard is not converted at all.
  if (CommGet(state, 10) != 1 || state.calibration.origin == CalibrationOrigin::Unreadable)
    return abandon(UnknownOfLogger(state, KnowResult::CalibrationUnreadable));
  // 9.
  Info(view);
  r.image.imageLength = 0;
  if (BeginDownload(state, *this, 0)) {
    d.downloading = true;
    state.shell.downloading = true;
    outcome = DownloadOutcome::Running;
  } else {
    EndDownload(state, *this);
  }
  return true;
}

int SetLoggerBaud(AppState& state, int baud) {
  // A logger that does not answer at its rate would not hear the switch
  // either: the link stays where it was last heard.
  if (CommGet(state, 0) != 1) return 0;
  const std::string command = SpeedSwitchCommand(state.logger, baud);
  if (command.empty()) return state.logger.connected ? 1 : 0;
  LinkWrite(state, state.loggerLink, command);
  DelayMs(state, 200);
  state.logger.baud = baud;
  SetLinkBaud(state, baud);
  return ReconnectAtCurrentBaud(state);
}

int SpeedUpLink(AppState& state, DownloadProc& dialog) {
  DownloadState& d = state.retrieval.download;
  LoggerInfo& l = state.logger;
  const int fast = l.expressDownloadBaud;
  d.savedBaud = l.baud;
  if (fast != 0 && !state.ports.radioModem) {
    if (l.baud < 19200 &&
        state.ui.MessageBox(Tr(state, "The default baudrate is less than the standard rate.\nThis suggests that you "
                                      "are using a long cable for download.\n\nDo you want to try to increase the "
                                      "download speed?"),
                            Tr(state, "Retrieve data - speed-up"), MessageButtons::YesNo, MessageIcon::Question,
                            MessageAnswer::No) != MessageAnswer::Yes) {
      return l.connected || ReconnectAtCurrentBaud(state) ? 1 : 0;
    }
    if (fast != l.baud) {
      dialog.raisedSpeed = true;
      SetLoggerBaud(state, fast);
      if (!l.connected) {
        l.baud = d.savedBaud;
        SetLinkBaud(state, d.savedBaud);
        ReconnectAtCurrentBaud(state);
      }
      if (!l.connected) {
        WaitAndReconnect(state, nullptr);
        l.baud = d.savedBaud;
        SetLinkBaud(state, d.savedBaud);
        ReconnectAtCurrentBaud(state);
      }
    }
  }
  if (!l.connected) {
    dialog.view.message = Tr(state, "Unable to connect to logger");
    Warn(dialog.view);
    return 0;
  }
  return 1;
}

void RestoreLinkBaud(AppState& state, DownloadProc& dialog) {
  DownloadState& d = state.retrieval.download;
  LoggerInfo& l = state.logger;
  // Back to the rate the download began at, whichever way it ended: a logger
  // left at a fast rate answers nothing at its usual one. A link lost at the
  // fast rate is looked for there too (the connection tries it last).
  if (dialog.raisedSpeed && d.savedBaud != 0 && !state.ports.radioModem && (l.baud != d.savedBaud || !l.connected)) {
    SetLoggerBaud(state, d.savedBaud);
    if (!l.connected) WaitAndReconnect(state, &dialog);
    if (l.connected && l.baud != d.savedBaud) SetLoggerBaud(state, d.savedBaud);
  }
  dialog.raisedSpeed = false;
  dialog.timerPeriodMs = 1000;
  SetDownloadMenus(state, true);
}

int BeginDownload(AppState& state, DownloadProc& dialog, uint32_t startAddress) {
  RetrievalState& r = state.retrieval;
  DownloadState& d = r.download;
  const LoggerInfo& l = state.logger;
  // The data are this logger's, whatever becomes of the link on the way.
  dialog.loggerAtStart = l;
  dialog.identityKept = true;
  // What there is to read, before the link is raised for it.
  const uint32_t reported = d.endPointer;
  const uint32_t start = l.microchipLogger ? startAddress : 0x20000;
  const uint32_t end = std::min<uint32_t>(reported, EndPointerCap(l));
  r.image.imageLength = l.microchipLogger ? static_cast<int>(startAddress) : 0;
  d.currentAddress = start;
  d.endPointer = end;
  dialog.dataStart = start;
  dialog.firstEndPointer = end;
  // Nothing to request, not even a whole word (an append with nothing new):
  // the link stays as it is.
  if (end == 0 || end <= start || end - start < 3) return 0;
  if (!SpeedUpLink(state, dialog)) return 0;
  d.blockSize = DownloadBlockSize(l.baud);
  dialog.blockBaud = l.baud;
  r.image.Bytes();  // the 8 MiB image is allocated on the first download
  dialog.view.progress = 0;
  d.progressPercent = 0.0f;
  d.progressStep = static_cast<float>(d.blockSize * 100.0 / static_cast<double>(d.endPointer - d.currentAddress));
  d.requestCount = d.retransmitCount = 0;
  dialog.timerPeriodMs = std::max(1, d.blockSize * 10000 / std::max(l.baud, 1));
  d.downloadStartTime = d.lastCheckTime = state.clock.LocalTime();
  dialog.startMs = dialog.lastCheckMs = state.clock.Milliseconds();
  SetDownloadMenus(state, false);
  return 1;
}

int CheckLinkBeforeBlock(AppState& state, DownloadProc& dialog) {
  DownloadState& d = state.retrieval.download;
  const int64_t now = state.clock.Milliseconds();
  const int64_t since = now - dialog.lastCheckMs;
  dialog.lastCheckMs = now;
  d.lastCheckTime = state.clock.LocalTime();
  if (since < kLinkCheckMs) return 1;
  LoggerInfo& l = state.logger;
  if (CommGet(state, 0)) {
    // Found again, but at its usual rate (the connection brings a lost
    // logger back there): raised again for the rest.
    if (dialog.raisedSpeed && l.baud != dialog.blockBaud) SpeedUpLink(state, dialog);
    if (l.connected) return 1;
  }
  if (l.baud > kFallbackBaud) {
    SetLinkBaud(state, kFallbackBaud);
    l.baud = kFallbackBaud;
    if (ReconnectAtCurrentBaud(state) && SpeedUpLink(state, dialog)) return 1;
  }
  dialog.failed = true;
  PostEnd(state, dialog);
  return 0;
}

void DownloadNextBlock(AppState& state, DownloadProc& dialog) {
  RetrievalState& r = state.retrieval;
  DownloadState& d = r.download;
  LoggerInfo& l = state.logger;
  if (!CheckLinkBeforeBlock(state, dialog)) return;
  // Planned by the logger the download began with: a reconnect that failed
  // on the way leaves the identity reset, and the page rules would change.
  const BlockPlan plan = PlanBlock(dialog.identityKept ? dialog.loggerAtStart : l, d, r.image.imageLength);
  uint8_t* const image = r.image.Bytes();
  // The image holds the block and the NUL the read puts after it.
  const bool fits = r.image.imageLength >= 0 &&
                    static_cast<int64_t>(r.image.imageLength) + plan.count + 1 <= kMemoryImageSize;
  if (plan.send && fits) {
    const std::string request = BlockRequestText(plan.start, plan.end);
    const size_t count = static_cast<size_t>(plan.count);
    uint8_t* const dest = image + r.image.imageLength;
    size_t n = 0;
    bool ok = false;
    for (int attempt = 0; attempt < kAttempts && !ok; ++attempt) {
      if (attempt > 0) {
        // A late reply to the last request must not be taken for this one.
        DelayMs(state, 300);
        LinkRead(state, state.loggerLink, dest, count);
        ++d.retransmitCount;
        if (attempt == kFallbackAttempt) {
          if (l.baud != kFallbackBaud) SetLoggerBaud(state, kFallbackBaud);
          if (d.blockSize != kFallbackBlock) {
            d.progressStep *= static_cast<float>(kFallbackBlock) / static_cast<float>(d.blockSize);
            d.blockSize = kFallbackBlock;
            dialog.timerPeriodMs = std::max(1, d.blockSize * 10000 / std::max(l.baud, 1));
          }
        }
      }
      ++d.requestCount;
      LinkWrite(state, state.loggerLink, request);
      n = LinkReadUntil(state, state.loggerLink, dest, count, BlockOf(count));
      // Every reply that carries a sum byte is tested: a corrupted block
      // would shift or spoil every reading after it.
      const bool sumOk = !plan.checksum || (n == count && Sum8(dest, count - 1) == dest[count - 1]);
      ok = n >= count && sumOk;
    }
    if (!ok) {
      dialog.failed = true;
      PostEnd(state, dialog);
      state.ui.MessageBox(Format(Tr(state, "Download error.\n%d blocks requested, %d blocks retransmitted.").c_str(),
                                 d.requestCount, d.retransmitCount),
                          Tr(state, "Retrieve Data"), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
      return;
    }
    r.image.imageLength += static_cast<int>(plan.checksum ? n - 1 : n);
    d.progressPercent += d.progressStep;
    dialog.view.progress = std::clamp(static_cast<int>(d.progressPercent), 0, 100);
    ShowRemaining(state, dialog, plan.end);
  }
  d.currentAddress = plan.end;
  if (!fits || plan.end >= d.endPointer) {
    if (plan.end >= d.endPointer) dialog.view.progress = 100;
    PostEnd(state, dialog);
  }
}

void EndDownload(AppState& state, DownloadProc& dialog) {
  RetrievalState& r = state.retrieval;
  DownloadState& d = r.download;
  LoggerInfo& l = state.logger;
  const bool reachedEnd = d.endPointer > 0 && d.currentAddress >= d.endPointer && !dialog.failed;
  // 1.
  RestoreLinkBaud(state, dialog);
  // A link lost on the way leaves the identification reset (or another
  // logger answering): the data are decoded and saved as the logger's the
  // download began with, or its own files would refuse them.
  const LoggerInfo& first = dialog.loggerAtStart;
  if (dialog.identityKept &&
      (l.model != first.model || l.serialNumber != first.serialNumber || l.firmwareVersion != first.firmwareVersion)) {
    LoggerInfo kept = first;
    kept.connected = false;  // the next operation identifies whatever answers then
    kept.baud = l.baud;
    kept.baudIndex = l.baudIndex;
    kept.previousSerial = l.previousSerial;
    kept.previousModel = l.previousModel;
    kept.previousVersion = l.previousVersion;
    l = kept;
  }
  // 2, 3.
  d.downloading = false;
  state.shell.downloading = false;
  dialog.endPosted = false;
  // 3, 4. The channels and the deployment the data were logged with, as the
  // logger tells them (read when the dialog opened, again after a stop):
  // they give every row its time.
  if (l.connected) KnowLogger(state, kKnowConfiguration | kKnowDeployment);
  r.data.deployment = state.deployment;
  r.data.loggerStatus = dialog.status;
  const LoggerTime loggerClock = r.data.loggerTime;
  r.dataFromFile = false;
  DecodeSampleStream(state, false);
  // 5. A logger left suspended logs nothing more: that is said, not passed over.
  dialog.resumeFailed = false;
  if (d.resumeAfterDownload && (!l.connected || !ChangeRunningState(state, RunningChange::Resume).Ok())) {
    dialog.resumeFailed = true;
    ShowStatus(state, Tr(state, "Logger failed to resume."));
  }
  d.resumeAfterDownload = false;
  // 6, 7.
  for (int c : {cmd::kSaveFile, 120, cmd::kSaveScreenSegment, cmd::kScreenCapture, 123})
    state.ui.SetCommandEnabled(c, true);
  state.ui.SetCommandEnabled(cmd::kExportData, true);
  if (IsTideWaveRecorder(l.model)) state.ui.SetCommandEnabled(cmd::kSaveKzmCsv, true);
  const bool started = r.image.imageLength > 0 || dialog.outcome == DownloadOutcome::Running;
  if (d.endPointer == 0) {
    state.ui.MessageBox(Tr(state, "There are no data to display."), Tr(state, "Display"), MessageButtons::Ok,
                        MessageIcon::Information, MessageAnswer::Ok);
    r.data.unsaved = false;
  } else {
    r.data.unsaved = r.data.wordCount > 0;
  }
  dialog.outcome = !started ? DownloadOutcome::NotStarted
                   : reachedEnd ? DownloadOutcome::Complete
                                : DownloadOutcome::Partial;
  state.shell.dataRetrieved = r.data.unsaved;
  state.shell.dataSaved = false;
  state.shell.readingCount = r.data.sampleCount;
  if (dialog.outcome == DownloadOutcome::Partial)
    ShowStatus(state, Format(Tr(state, "Download incomplete: %d of %u bytes retrieved").c_str(), r.image.imageLength,
                             static_cast<unsigned>(dialog.firstEndPointer - dialog.dataStart)));
  // 8.
  r.saved = false;
  if (dialog.save)
    dialog.save(state);
  else if (dialog.offerSave)
    SaveFile(state, kSaveHexAndDat);
  dialog.ended = true;
  if (dialog.outcome == DownloadOutcome::Partial)
    dialog.result = Outcome::Of(OutcomeKind::Partial, "Download incomplete: %d of %u bytes retrieved",
                                {std::to_string(r.image.imageLength),
                                 std::to_string(static_cast<unsigned>(dialog.firstEndPointer - dialog.dataStart))});
  else if (dialog.resumeFailed)
    dialog.result = Outcome::Of(OutcomeKind::Refused, "Logger failed to resume.");
  else
    dialog.result = Outcome::Done();
  LogEntry entry = LogEntryFromState(state);
  entry.loggerTime = loggerClock;
  entry.statusName = LoggerStatusText(dialog.status);
  if (dialog.outcome == DownloadOutcome::Partial)
    entry.statusName += Format(" - download incomplete, %d of %u bytes", r.image.imageLength,
                               static_cast<unsigned>(dialog.firstEndPointer - dialog.dataStart));
  if (dialog.resumeFailed) entry.statusName += " - Logger failed to resume.";
  entry.dataSaved = r.saved;
  entry.datPath = r.saved ? r.currentFile : std::string();
  AppendToLog(state, kLogDownloaded, entry);
}

Outcome DownloadProc::Append(AppState& state, const std::string& datPath) {
  RetrievalState& r = state.retrieval;
  outcome = DownloadOutcome::NotStarted;
  failed = ended = endPosted = false;
  result = AppendToFile(state, datPath);
  if (!WasRead(result)) return result;
  if (BeginDownload(state, *this, static_cast<uint32_t>(r.image.imageLength)) != 1) {
    r.download.appendMode = false;
    result = !state.logger.connected
                 ? Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to logger")
                 : Outcome::Of(OutcomeKind::Refused, "The logger holds no data after those of %s.", {r.download.appendedFile});
    return result;
  }
  r.download.downloading = true;
  state.shell.downloading = true;
  outcome = DownloadOutcome::Running;
  view.button1Visible = view.appendVisible = view.retrieveFullVisible = false;
  result = Outcome::Done();
  return result;
}

void DownloadProc::Tick(AppState& state, int budgetMs) {
  if (ended) return;
  const int64_t begin = state.clock.Milliseconds();
  // As many blocks as fit in the tick: a block request ends when the block
  // is in, so a tick of the timer's period would leave the line idle.
  while (state.retrieval.download.downloading && !endPosted) {
    DownloadNextBlock(state, *this);
    if (state.clock.Milliseconds() - begin >= budgetMs) break;
  }
  if (endPosted || !state.retrieval.download.downloading) EndDownload(state, *this);
}

void DownloadProc::Cancel(AppState& state) {
  if (state.retrieval.download.downloading) {
    cancelled = true;
    failed = true;
    PostEnd(state, *this);
    EndDownload(state, *this);
    return;
  }
  ShowStatus(state, "");
  ended = true;
}

void RunDownloadToEnd(AppState& state, DownloadProc& dialog, int budgetMs,
                      const std::function<void(const DownloadProc&)>& progress,
                      const std::function<bool()>& cancelled) {
  while (!dialog.ended) {
    // An end already due (a failed block, the last block) runs as it is.
    if (cancelled && cancelled() && dialog.Downloading(state) && !dialog.endPosted)
      dialog.Cancel(state);
    else
      dialog.Tick(state, budgetMs);
    if (progress) progress(dialog);
  }
}

}  // namespace tmv
