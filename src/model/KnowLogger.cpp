#include "model/KnowLogger.h"

#include <algorithm>

#include "platform/Outcome.h"

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/Capabilities.h"
#include "model/ConfigTable.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr const char* kCapabilitiesUnanswered = "Unable to assess the logger's capabilities: a query went unanswered.";

// The threshold a newer multi-channel logger was started on ("!L", the
// eight bytes "!A" wrote): mode, channel, limit and level.
// False when the logger did not tell it.
bool ReadThreshold(AppState& state) {
  if (QueryTagged(state, "!L", "THR") != 1) return false;
  uint8_t b[8] = {};
  if (ScanHexPairs(state.reply.Bytes(), ValueStart(state.reply, "THR", 16), b, 8) != 8) return false;
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& l = state.logger;
  const unsigned mode = b[0] & 7u;
  if (mode < 4) return true;  // no threshold: the start characteristic says how it starts
  const unsigned channel = b[1];
  if (channel >= static_cast<unsigned>(std::clamp(l.channelCount, 1, kMaxChannels))) return false;
  // The logger compares raw counts; a thermistor's count falls as the temperature rises.
  bool above = (mode & 1u) == 0;
  if (l.channelTypes[channel] == 'T') above = !above;
  d.startMode = above ? kStartAbove : kStartBelow;
  d.powerSaving = mode >= 6;
  d.thresholdChannel = channel;
  d.thresholdRawLimit = static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 8 | b[4];
  d.thresholdRaw = static_cast<uint32_t>(b[5]) << 16 | static_cast<uint32_t>(b[6]) << 8 | b[7];
  if (!l.calibrationStale)
    d.thresholdValue = ConvertReading(l, state.calibration, static_cast<int32_t>(d.thresholdRaw), static_cast<int>(channel));
  return true;
}

void ReadDeployment(AppState& state) {
  LoggerInfo& l = state.logger;
  DeploymentSettings& d = state.deployment;
  l.deploymentStale = false;
  l.deploymentUnread = 0;
  // The clocks as one pair, so that their difference is the logger's drift.
  d.hostClockAtRead = state.clock.LocalTime();
  if (CommGet(state, 1)) d.loggerClock = ParseTimeReply(state.reply.Bytes());
  else l.deploymentUnread |= kUnreadClock;
  if (CommGet(state, 3)) d.startTime = ParseTimeReply(state.reply.Bytes());
  else l.deploymentUnread |= kUnreadStart;
  if (CommGet(state, 4)) d.endTime = ParseTimeReply(state.reply.Bytes());
  else l.deploymentUnread |= kUnreadEnd;
  if (CommGet(state, 2)) {
    d.samplingPeriod = ParsePeriodReply(state.reply.Bytes());
    if (ClockSeconds(d.samplingPeriod) == 0 && d.samplingPeriod.hour != 24) d.samplingPeriod = MakeClock(0, 1, 0);
  } else {
    l.deploymentUnread |= kUnreadPeriod;
  }
  // The modes: the start characteristic says start now, power kept on, 6 Hz
  // and real-time output; a threshold overrides its start.
  if (l.commands12Level >= 1) {
    d.startMode = (state.query.statusByte & 1) ? kStartNow : kStartAtTime;
  } else if (!IsMultiChannelModel(l.model) && !ModelContains(l.model, "VL")) {
    // A single-channel recorder without a start characteristic starts at its start time.
    d.startMode = kStartAtTime;
    d.powerKeptOn = false;
    d.realTimeOutput = 0;
  }
  // Each part a query did not bring is marked, never guessed: the caller
  // refuses to time rows or head a file with it.
  if (l.microchipLogger && l.conventionalThresholding && !ReadThreshold(state)) l.deploymentUnread |= kUnreadThreshold;
  if (l.rates124Hz && CommGet(state, 30) != 1) l.deploymentUnread |= kUnreadRate;
  if (l.waves) {
    if (CommGet(state, 31) != 1 || CommGet(state, 32) != 1) l.deploymentUnread |= kUnreadWaves;
  } else {
    d.waveEnabled = false;
  }
  // The averaging length in readings, kept as the seconds the files and dialogs show.
  if (l.averaging == 0) {
    d.averagingEnabled = false;
  } else if (CommGet(state, 17) != 1) {
    l.deploymentUnread |= kUnreadAveraging;
  } else if (d.averagingEnabled) {
    const int seconds = AveragingSecondsFromLength(l, d.burstRate, d.averagingLength);
    if (seconds == 0) {
      d.averagingEnabled = false;  // shorter than one second of readings: no averaging
      d.averagingPeriod = 1;
    } else {
      d.averagingPeriod = std::min(seconds, 10800);
    }
  }
}

}  // namespace

void ForgetLoggerState(AppState& state) {
  LoggerInfo& l = state.logger;
  l.statusStale = true;
  l.startCharacteristicStale = true;
  l.deploymentStale = true;
}

KnowResult KnowLogger(AppState& state, unsigned needs) {
  // Each part is read in terms of the ones before it.
  if (needs & kKnowDeployment) needs |= kKnowStatus | kKnowStartCharacteristic;
  if (needs & kKnowStartCharacteristic) needs |= kKnowCapabilities;
  if (needs & kKnowCalibration) needs |= kKnowConfiguration;
  if (needs & kKnowConfiguration) needs |= kKnowCapabilities;
  LoggerInfo& l = state.logger;

  if ((needs & kKnowIdentity) && !Reconnect(state)) return KnowResult::NoLogger;
  if ((needs & kKnowStatus) && l.statusStale) {
    if (CommGet(state, 9) != 1) {
      ShowStatus(state, Tr(state, "Error: Status read incorrectly"));
      return KnowResult::StatusUnread;
    }
    l.statusStale = false;
  }
  if (needs & kKnowCapabilities) {
    AssessCapabilities(state);
    if (l.capabilitiesIncomplete) {
      ShowStatus(state, Tr(state, kCapabilitiesUnanswered));
      return KnowResult::CapabilitiesUnknown;
    }
  }
  if (needs & kKnowConfiguration) {
    const int config = GetConfigTable(state);
    if (config == -1) return KnowResult::NotConfigured;
    if (config != 1) return KnowResult::ConfigurationUnknown;
  }
  const bool calibrationRead = !(needs & kKnowCalibration) || ReadCalibration(state) == 1;
  if ((needs & kKnowStartCharacteristic) && l.startCharacteristicStale) {
    // Loggers without the "!12" commands have no start characteristic to
    // tell. Asked up to three times, as the records a logging logger sends
    // may disturb the reply; one never answered stays unknown, so that the
    // caller can say so and the next step asks again.
    for (int read = 0; read < 3 && l.startCharacteristicStale; ++read)
      if (l.commands12Level < 1 || CommGet(state, 28) == 1) l.startCharacteristicStale = false;
  }
  if ((needs & kKnowDeployment) && l.deploymentStale) ReadDeployment(state);
  return calibrationRead ? KnowResult::Known : KnowResult::CalibrationUnreadable;
}

Outcome UnknownOfLogger(const AppState& state, KnowResult known) {
  const LoggerInfo& l = state.logger;
  switch (known) {
    case KnowResult::Known: break;
    case KnowResult::NoLogger: return Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to logger");
    case KnowResult::StatusUnread: return Outcome::Of(OutcomeKind::Failed, "Error: Status read incorrectly");
    case KnowResult::NotConfigured: return Outcome::Of(OutcomeKind::Refused, "Logger not yet configured");
    case KnowResult::CapabilitiesUnknown:
      return Outcome::Of(OutcomeKind::Failed, "Unable to assess the logger's capabilities: a query went unanswered.");
    case KnowResult::ConfigurationUnknown:
      return Outcome::Of(OutcomeKind::Failed, "Configuration Table read failed.");
    case KnowResult::CalibrationUnreadable:
      // Defaults would convert every reading wrongly, and nothing would say so.
      return Outcome::Of(OutcomeKind::Failed,
                         "Unable to read calibration coefficients: the data are not retrieved, as they could "
                         "only be converted with default coefficients.\nTry again.");
  }
  if (l.capabilitiesIncomplete)
    return Outcome::Of(OutcomeKind::Failed, "Unable to assess the logger's capabilities: a query went unanswered.");
  if (l.startCharacteristicStale)
    return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Start characteristic read incorrectly");
  const unsigned unread = l.deploymentUnread;
  if (unread & kUnreadPeriod) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Period read incorrectly");
  if (unread & kUnreadStart) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Start date/time read incorrectly");
  if (unread & kUnreadEnd) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: End date/time read incorrectly");
  if (unread & kUnreadClock) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Logger clock read incorrectly");
  if (unread & kUnreadAveraging) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Averaging read incorrectly");
  if (unread & kUnreadRate) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Sampling rate read incorrectly");
  if (unread & kUnreadWaves) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Wave settings read incorrectly");
  if (unread & kUnreadThreshold) return Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Threshold read incorrectly");
  return Outcome::Done();
}

}  // namespace tmv
