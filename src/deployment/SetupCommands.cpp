#include "deployment/SetupCommands.h"

#include <algorithm>
#include <cstring>

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

constexpr int kPauseAfterCommandMs = 50;
constexpr int kEraseUnlockPauseMs = 120;
constexpr int kResumeRounds = 5;

void SendText(AppState& state, const std::string& text) { LinkWrite(state, state.loggerLink, text); }

// The logger echoes the values of a setup command in front of the query's
// tag; they must be exactly the ones sent (everything after the command letters).
bool EchoMatches(AppState& state, const char* query, const char* tag, const std::string& values) {
  if (QueryTagged(state, query, tag) != 1) return false;
  return state.reply.Contains(values + tag);
}

int VerificationFailed(AppState& state, SetupVerdict* verdict, const char* english, bool rerun) {
  // A caller that takes a verdict reports it; the others have only the box.
  if (verdict == nullptr)
    state.ui.MessageBox(Tr(state, english), Tr(state, "Reset Logger"), MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
  if (verdict != nullptr) {
    verdict->failed = true;
    verdict->closeSetup = true;
    verdict->rerunSetup = verdict->rerunSetup || rerun;
    if (verdict->message.empty()) verdict->message = english;
  }
  return 0;
}

// Sends the command and compares the logger's echo; an empty command is not for this logger.
int SendVerified(AppState& state, SetupVerdict* verdict, const std::string& command, size_t letters,
                 const char* query, const char* tag, const char* failure, bool rerun) {
  if (command.empty()) return 1;
  SendText(state, command);
  if (EchoMatches(state, query, tag, command.substr(letters))) return 1;
  return VerificationFailed(state, verdict, failure, rerun);
}

uint32_t PeriodSeconds(const LoggerTime& period) {
  const uint32_t s = ClockSeconds(period);
  return s == 0 ? 86400u : s;
}

char ThresholdChannelType(const AppState& state) {
  const unsigned channel = state.deployment.thresholdChannel;
  if (channel >= static_cast<unsigned>(std::clamp(state.logger.channelCount, 0, kMaxChannels))) return 0;
  return static_cast<char>(state.logger.channelTypes[channel]);
}

bool IsResumedReply(const ReplyBuffer& reply) {
  return reply.Contains("Logger started in mode") || reply.Contains("Logger status 02") ||
         reply.Contains("Logger status 06");
}

// With a verdict the caller reports a failure; without one the box does.
int Resume(AppState& state, SetupVerdict* verdict) {
  const auto failed = [&](std::string text, const char* english) {
    if (verdict == nullptr) {
      state.ui.MessageBox(text, Tr(state, "Resume"), MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
    } else {
      verdict->failed = true;
      if (verdict->message.empty()) verdict->message = english;
    }
    return 0;
  };
  // Only a suspended or stopped logger can log again: one already logging
  // needs nothing, and the others are not sent "!R" five times for nothing.
  if (CommGet(state, 9) == 1) {
    const int status = state.query.loggerStatus;
    if (IsResumedReply(state.reply)) {
      ShowStatus(state, Tr(state, "Logger resumed sampling"));
      return 1;
    }
    if (status != 4 && status != 5 && status != 8)
      return failed(Format(Tr(state, "The logger is not suspended (%s): there is nothing to resume.").c_str(),
                           Tr(state, LoggerStatusText(status)).c_str()),
                    "Logger failed to resume.");
  }
  for (int round = 0; round < kResumeRounds; ++round) {
    SendText(state, "!R");
    DelayMs(state, kPauseAfterCommandMs);
    if (CommGet(state, 9) == 1 && IsResumedReply(state.reply)) {
      ShowStatus(state, Tr(state, "Logger resumed sampling"));
      return 1;
    }
  }
  return failed(Tr(state, "Logger failed to resume."), "Logger failed to resume.");
}

}  // namespace

std::string StartCharacteristicCommand(AppState& state) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!info.sixHzProfiling) d.sixHzMode = false;
  unsigned mode = d.startMode & 0x01u;
  if (d.powerKeptOn) mode += 128;
  if (d.sixHzMode) mode += 64;
  if (d.realTimeOutput && info.oemSupport) mode += 32;
  const uint32_t options = info.oemSupport ? d.optionFlags : 0u;
  return Format("!1%02X%02X%02X%02X", mode, options & 0xFFu, (options >> 8) & 0xFFu, (options >> 16) & 0xFFu);
}

std::string PeriodCommand(const AppState& state) { return "K" + ClockToWireText(state.deployment.samplingPeriod); }
std::string StartTimeCommand(const AppState& state) { return "L" + TimeToWireText(state.deployment.startTime); }
std::string EndTimeCommand(const AppState& state) { return "M" + TimeToWireText(state.deployment.endTime); }

std::string AveragingCommand(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!d.averagingEnabled) return info.microchipLogger && info.averaging == 0 ? std::string() : "W0100";
  // A rate that was never read counts as the 2 Hz a program starts with.
  const long rate = info.rates124Hz ? (d.burstRate > 0 ? d.burstRate : 2) : 6;
  const long readings = std::clamp<long>(static_cast<long>(std::max(d.averagingPeriod, 1)) * rate, 1, 0xFFFF);
  return Format("W%02X%02X", static_cast<unsigned>(readings & 0xFF), static_cast<unsigned>(readings >> 8));
}

int AveragingSecondsFromLength(const LoggerInfo& info, int burstRate, int length) {
  int rate = 6;
  if (info.rates124Hz) rate = info.waves ? (burstRate > 0 ? burstRate : 2) : 4;
  return length / rate;
}

std::string ThresholdCommand(AppState& state) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  const bool onThreshold = d.startMode == kStartAbove || d.startMode == kStartBelow;
  if (!onThreshold) d.powerSaving = false;
  if (!info.sixHzProfiling) d.sixHzMode = false;
  unsigned mode = d.startMode & 0x01u;
  if (onThreshold) {
    // The logger compares raw counts, and a thermistor's count falls as the temperature rises.
    bool above = d.startMode == kStartAbove;
    if (ThresholdChannelType(state) == 'T') above = !above;
    mode = (above ? 4u : 5u) + (d.powerSaving ? 2u : 0u);
  }
  if (d.powerKeptOn) mode += 128;
  if (d.sixHzMode) mode += 64;
  if (info.microchipLogger && !info.conventionalThresholding) return "";
  const uint32_t limit = d.thresholdRawLimit & 0xFFFFFFu;
  const uint32_t raw = d.thresholdRaw & 0xFFFFFFu;
  return Format("!A%02X%02X%02X%02X%02X%02X%02X%02X", mode & 0xFFu, d.thresholdChannel & 0xFFu, limit >> 16,
                (limit >> 8) & 0xFFu, limit & 0xFFu, raw >> 16, (raw >> 8) & 0xFFu, raw & 0xFFu);
}

std::string RealTimeCommand(const AppState& state) {
  const LoggerInfo& info = state.logger;
  if (info.microchipLogger && !info.externalDataConnector) return "";
  const DeploymentSettings& d = state.deployment;
  return d.realTimeOutput ? Format("!B%02X", d.realTimeBaudCode & 0xFFu) : std::string("!B00");
}

std::string TestPeriodCommand(const AppState& state) {
  return "!K" + ClockToWireText(state.deployment.thresholdTestPeriod);
}

std::string HysteresisCommand(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const uint64_t seconds = d.hysteresisSeconds;
  const uint64_t count =
      std::min<uint64_t>(d.sixHzMode ? seconds * 6 : seconds / PeriodSeconds(d.samplingPeriod), 0xFFFF);
  return Format("!H%02X%02X", static_cast<unsigned>(count & 0xFF), static_cast<unsigned>(count >> 8));
}

std::string RateCommand(const AppState& state) {
  return Format("!4%02X", static_cast<unsigned>(std::clamp(state.deployment.burstRate, 0, 255)));
}

std::string WaveCommand(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const std::string period = ClockToWireText(d.burstPeriod);
  if (!d.waveEnabled) return "!60000" + period;
  const unsigned samples = static_cast<unsigned>(std::clamp(d.burstSamples, 0, 0xFFFF));
  return Format("!6%02X%02X", samples & 0xFF, samples >> 8) + period;
}

std::string HeightCommand(const AppState& state) {
  uint8_t bytes[8];
  static_assert(sizeof(double) == 8);
  const double height = state.deployment.loggerHeight;
  uint64_t bits = 0;
  std::memcpy(&bits, &height, sizeof bits);
  // Least significant byte first, as the double lies in the logger's memory.
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  return "!Y" + HexBytes(bytes, 8);
}

void RecomputeRealTimeBaud(AppState& state) {
  DeploymentSettings& d = state.deployment;
  d.realTimeBaud = static_cast<unsigned>(std::max(state.logger.baud, 0));
  if (!d.realTimeOutput || d.realTimeBaud == 0) {
    d.realTimeBaudCode = 0;
    return;
  }
  d.realTimeBaudCode = RealTimeBaudCode(static_cast<int>(d.realTimeBaud));
}

unsigned RealTimeBaudCode(int baud) {
  if (baud <= 0) return 0;
  // At 115200 the formula gives 0, which tells the logger to send nothing:
  // that speed takes divisor 1, as the download speed-up uses.
  if (baud >= 115200) return 1;
  const long code = 9216000L / (static_cast<long>(baud) * 32) - 2;
  return static_cast<unsigned>(std::max(code, 1L));
}

int SendSetupCommand(AppState& state, int op, SetupVerdict* verdict) {
  const LoggerInfo& info = state.logger;
  // Whatever the command changes is to be read from the logger again.
  ForgetLoggerState(state);
  int result = 1;
  switch (op) {
    case kSetupSetClock: SendText(state, "J" + TimeToWireText(state.deployment.loggerClock)); break;
    case kSetupPeriod: SendText(state, PeriodCommand(state)); break;
    case kSetupStart: SendText(state, StartTimeCommand(state)); break;
    case kSetupEnd: SendText(state, EndTimeCommand(state)); break;
    case kSetupEnable: SendText(state, "P"); break;
    case kSetupErase:
      if (info.microchipLogger) {
        SendText(state, "!U01N");
        DelayMs(state, kEraseUnlockPauseMs);
      }
      SendText(state, "N");
      break;
    case kSetupStop:
      if (!ConnectLogger(state)) return 0;
      SendText(state, "!9");
      break;
    case kSetupAveraging:
      // Only the newer loggers echo the averaging length.
      if (info.microchipLogger) {
        result = SendVerified(state, verdict, AveragingCommand(state), 1, "X", "BST",
                              "Averaging length set incorrectly.\nTry again.\nContact TMV if the problem persists.",
                              true);
      } else if (const std::string command = AveragingCommand(state); !command.empty()) {
        SendText(state, command);
      }
      break;
    case kSetupThreshold: {
      if (info.powerSaveThresholding) SendSetupCommand(state, kSetupThresholdTestPeriod, verdict);
      const std::string command = ThresholdCommand(state);
      if (!command.empty()) SendText(state, command);
      break;
    }
    case kSetupRealTime:
      if (const std::string command = RealTimeCommand(state); !command.empty()) SendText(state, command);
      break;
    case kSetupSuspend: SendText(state, "!S"); break;
    case kSetupResume: result = Resume(state, verdict); break;
    case kSetupThresholdTestPeriod: SendText(state, TestPeriodCommand(state)); break;
    case kSetupHysteresis: SendText(state, HysteresisCommand(state)); break;
    case kSetupStartCharacteristic:
    case kSetupStartCharacteristicRerun:
      // Loggers without the "!12" command set have no start characteristic.
      if (info.commands12Level == 0) return 1;
      result = SendVerified(state, verdict, StartCharacteristicCommand(state), 2, "!2", "STC",
                            "Start characteristic set incorrectly.\nTry again.\nContact TMV if the problem persists.",
                            op == kSetupStartCharacteristicRerun);
      break;
    case kSetupRate:
      result = SendVerified(state, verdict, RateCommand(state), 2, "!5", "RAT",
                            "High sampling rate set incorrectly.\nTry again.\nContact TMV if the problem persists.",
                            true);
      break;
    case kSetupWave:
      result = SendVerified(state, verdict, WaveCommand(state), 2, "!7", "WAV",
                            "Wave parameters set incorrectly.\nTry again.\nContact TMV if the problem persists.", true);
      break;
    case kSetupHeight:
      result = SendVerified(state, verdict, HeightCommand(state), 2, "!Z", "LHT",
                            "Logger height set incorrectly.\nTry again.\nContact TMV if the problem persists.", true);
      break;
    default: return 0;
  }
  DelayMs(state, kPauseAfterCommandMs);
  return result;
}

}  // namespace tmv
