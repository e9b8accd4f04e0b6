#include "deployment/SetupDialog.h"

#include <algorithm>
#include <cstdlib>

#include "deployment/BurstSetup.h"
#include "deployment/DateDialog.h"
#include "deployment/SetupCommands.h"
#include "deployment/Thresholding.h"
#include "deployment/UsageEstimate.h"
#include "link/Exchange.h"
#include "model/Capabilities.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

bool Thresholding(const DeploymentSettings& d) { return d.startMode == kStartAbove || d.startMode == kStartBelow; }

bool TideWaveLayout(const LoggerInfo& info) { return IsTideWaveRecorder(info.model) && info.waves; }

std::string MemoryUsageText(const LoggerInfo& info, uint32_t p) {
  const double pointer = p;
  double fill;
  if (info.microchipLogger)
    fill = pointer * 100.0 / 8380368.0;
  else if ((ModelContains(info.model, "KM") || ModelContains(info.model, "PM")) ? FirmwareAbove(info.firmwareVersion, 3.15)
                                                                               : (IsMultiChannelModel(info.model) &&
                                                                                  FirmwareAbove(info.firmwareVersion, 4.0)))
    fill = (pointer - 0x20000) * 100.0 / 3900000.0;
  else
    fill = (pointer - 0x20000) * 100.0 / 1961952.0;
  fill = std::clamp(fill, 0.0, 100.0);
  int64_t words;
  if (info.microchipLogger) {
    const int64_t h = info.parameterBlockLength > 0 ? info.parameterBlockLength : 30;
    words = static_cast<int64_t>(p) < h ? 0 : (static_cast<int64_t>(p) - h + 2) / 3;
  } else {
    int64_t header = 0;
    if (ModelContains(info.model, "KM"))
      header = FirmwareAbove(info.firmwareVersion, 2.15) ? 10 : (FirmwareAbove(info.firmwareVersion, 1.5) ? 5 : 0);
    else if (ModelContains(info.model, "PM") && FirmwareAbove(info.firmwareVersion, 1.5))
      header = 10;
    else if (IsMultiChannelModel(info.model))
      header = info.parameterBlockLength / 3;
    words = (static_cast<int64_t>(p) - 0x20000) / 3 - header;
  }
  words = std::max<int64_t>(0, words);
  const int64_t channels = std::max(1, info.channelCount);
  const int64_t readings = words / channels;
  if (readings > 999) return Format("%.1f%%, %dK readings", fill, static_cast<int>((words + channels * 500) / (channels * 1000)));
  if (readings > 0) return Format("<0.1%%, %d readings", static_cast<int>(readings));
  return "0%, 0 readings";
}

bool NotCalibrated(const AppState& state) {
  for (int i = 0; i < std::min(state.logger.channelCount, kMaxChannels); ++i)
    for (double c : state.calibration.coefficients[static_cast<size_t>(i)])
      if (c != 0.0) return false;
  return true;
}

}  // namespace

std::string ShownMessageText(const std::string& text) {
  std::string shown = text;
  for (size_t at = shown.find("mAH"); at != std::string::npos; at = shown.find("mAH", at + 3)) shown[at + 2] = 'h';
  return shown;
}

uint32_t DataPointerFromReply(std::string_view reply) {
  uint8_t b[4] = {0, 0, 0, 0};
  const size_t tag = reply.find("CDP");
  const size_t start = tag != std::string_view::npos && tag >= 8 ? tag - 8 : 0;
  ScanHexPairs(reply, start, b, 4);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

bool MemoryHoldsData(const LoggerInfo& info, uint32_t p) {
  // A newer logger's memory begins with its parameter block: only words
  // past it are readings (as the memory usage counts them).
  if (info.microchipLogger) return p > static_cast<uint32_t>(info.parameterBlockLength > 0 ? info.parameterBlockLength : 30);
  if (ModelContains(info.model, "KM"))
    return FirmwareBelow(info.firmwareVersion, 1.5) ? p > 0x20000 : p > 0x2000F;
  if ((ModelContains(info.model, "PM") && FirmwareAbove(info.firmwareVersion, 1.5)) || IsMultiChannelModel(info.model))
    return p > 0x2001E;
  return p > 0x20000;
}

int ReadLoggerSettings(AppState& state, SetupDialog& dialog) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  // The status, then the deployment, each read once for this operation.
  if (const KnowResult known = KnowLogger(state, kKnowStatus); known != KnowResult::Known) {
    dialog.unread = UnknownOfLogger(state, known);
    return -1;
  }
  const int status = state.query.loggerStatus;
  dialog.loggerStatus = status;
  dialog.loggerStatusText = Tr(state, LoggerStatusText(status));
  if (ModelContains(info.model, "QN-760") && FirmwareBelow(info.firmwareVersion, 6.415) &&
      (status == 1 || status == 2 || status == 3 || status == 6))
    return status;
  KnowLogger(state, kKnowDeployment);
  dialog.hostTimeText = TimeToDisplayText(d.hostClockAtRead);
  dialog.loggerTimeText = TimeToDisplayText(d.loggerClock);
  if (info.deploymentUnread & kUnreadStart)
    dialog.panel.message.Show(Tr(state, "TIMEOUT: Start date/time read incorrectly"), MessageIcon::Exclamation);
  if (info.deploymentUnread & kUnreadEnd)
    dialog.panel.message.Show(Tr(state, "TIMEOUT: End date/time read incorrectly"), MessageIcon::Exclamation);
  if (info.deploymentUnread & kUnreadPeriod)
    dialog.panel.message.Show(Tr(state, "TIMEOUT: Period read incorrectly"), MessageIcon::Exclamation);
  if (const int config = CommGet(state, 16); config != 1) {
    dialog.unread = UnknownOfLogger(state, config == -1 ? KnowResult::NotConfigured : KnowResult::ConfigurationUnknown);
    return -1;
  }
  return status;
}

bool SetupDialog::IsMultiChannel(const AppState& state) const { return IsMultiChannelModel(state.logger.model); }

bool SetupDialog::Ask(AppState& state, const char* text, const char* caption) {
  return state.ui.MessageBox(Tr(state, text), Tr(state, caption), MessageButtons::YesNo, MessageIcon::Question,
                             MessageAnswer::No) == MessageAnswer::Yes;
}

bool SetupDialog::Open(AppState& state) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  panel = SetupPanel{};
  panel.setupOpen = true;
  panel.tideWaveLayout = TideWaveLayout(info);
  unread = Outcome::Done();
  const int status = ReadLoggerSettings(state, *this);
  if (status < 0) return false;
  open = true;
  unread = UnknownOfLogger(state, KnowResult::Known);
  if (ModelContains(info.model, "760") && FirmwareBelow(info.firmwareVersion, 4.99) &&
      (status == 1 || status == 2 || status == 3 || status == 6)) {
    updatesSuspended = true;
    panel.message.Show(Tr(state, "QN-760 Logger active - update of this window suspended, you may stop the logger"),
                       MessageIcon::Information);
    enableButtonText = kStopLogger;
    enableButtonEnabled = true;
    return true;
  }
  bool holdsData = false;
  if (CommGet(state, 6)) {
    const uint32_t pointer = DataPointerFromReply(state.reply.Bytes());
    memoryUsageText = MemoryUsageText(info, pointer);
    holdsData = MemoryHoldsData(info, pointer);
  } else if (unread.Ok()) {
    unread = Outcome::Of(OutcomeKind::Failed, "TIMEOUT: Memory status read incorrectly");
  }
  // Start characteristic, bursts and averaging came with the deployment.
  enableButtonText = kEnableLogging;
  if (IsMultiChannelModel(info.model) && FirmwareAbove(info.firmwareVersion, 2.45) && holdsData &&
      CompareTimes(d.endTime, d.loggerClock) > 0 && (status == 4 || status == 8) && !Thresholding(d) && !d.sixHzMode) {
    enableButtonText = kResumeEnable;
    if (d.startMode == kStartAtTime) d.startMode = kStartNow;
  }
  // A start the logger's clock has passed is refused as soon as the dialog
  // shows: a start a little ahead is proposed instead, and an end to go with it.
  if (d.startMode == kStartAtTime && enableButtonText != kResumeEnable && CompareTimes(d.startTime, d.loggerClock) <= 0) {
    d.startTime = ProposedStartTime(d.loggerClock);
    LoggerTime start, end = d.endTime;
    DefaultEndTime(d, info, start, end);
    d.endTime = end;
  }
  state.batch.changedSince = false;
  Refresh(state);
  return true;
}

void SetupDialog::OpenSimulated(AppState& state) {
  DeploymentSettings& d = state.deployment;
  panel = SetupPanel{};
  panel.setupOpen = true;
  panel.simulation = true;
  panel.tideWaveLayout = TideWaveLayout(state.logger);
  open = true;
  d.hostClockAtRead = state.clock.LocalTime();
  d.loggerClock = d.hostClockAtRead;
  d.loggerClock.milliseconds = 0;
  if (CompareTimes(d.startTime, d.loggerClock) <= 0) d.startTime = AddSeconds(d.loggerClock, 3600);
  if (CompareTimes(d.endTime, d.startTime) <= 0) d.endTime = AddSeconds(d.startTime, 86400);
  loggerStatusText = "Simulation";
  hostTimeText = loggerTimeText = TimeToDisplayText(d.loggerClock);
  memoryUsageText = "0%, 0 readings";
  enableButtonText = kEnableLogging;
  Refresh(state);
}

void SetupDialog::Refresh(AppState& state) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  panel.tideWaveLayout = TideWaveLayout(info);
  startText = StartTimeFieldText(d.startTime, d.startMode);
  endText = TimeToDisplayText(d.endTime);
  periodText = PeriodFieldText(d.samplingPeriod, d.sixHzMode);
  if (panel.tideWaveLayout) {
    periodCaption = "Sampling period for Tide";
    averagingCaption = "Averaging time for Tide";
    rateCaption = "Rate for both Tide and Wave Data";
    waveCaption = "Wave settings";
    rateText = BurstRateText(d);
    waveText = WaveSettingsText(d);
    averagingText = TideAveragingText(d);
  } else if (d.sixHzMode) {
    averagingText = "Prohibited by profiling";
  } else if (Thresholding(d)) {
    averagingText = "Prohibited by thresholding";
  } else {
    averagingText = d.averagingEnabled ? Format("%d seconds", d.averagingPeriod) : std::string("No Averaging");
  }
  startList = StartListEntries(info);
  startSelection = StartListSelection(info, d.startMode);
  thresholdButtonVisible = IsMultiChannel(state) && Thresholding(d) && info.powerSaveThresholding;
  thresholdButtonText = thresholdButtonVisible ? ShowThresholdSummary(state) : std::string();
  realTimeVisible = info.externalDataConnector;
  realTimeList = {"Not Enabled", "Enabled"};
  if (info.oemSupport) realTimeList.emplace_back("Enabled - NO data storage");
  realTimeSelection = !d.realTimeOutput ? 0 : ((d.optionFlags & kOptionInhibitStorage) && info.oemSupport ? 2 : 1);
  autorunVisible = info.oemSupport && info.externalPowerConnector;
  autorunChecked = (d.optionFlags & kOptionAutorun) != 0;
  ledVisible = info.oemSupport && info.commands12Level == 2 && !ModelContains(info.model, "3180");
  ledChecked = (d.optionFlags & kOptionSamplingLed) != 0;
  if (panel.tideWaveLayout)
    CheckWaveSetup(state, panel);
  else
    RevalidateAndEstimate(state, panel);
  enableButtonEnabled = enableButtonText == kStopLogger || (panel.enableAllowed && !panel.simulation);
  batchButtonEnabled = state.batch.settings.has_value() && !panel.simulation;
}

void SetupDialog::ChooseStart(AppState& state, int index) {
  const unsigned before = state.deployment.startMode;
  ChooseStartEntry(state, index);
  if (enableButtonText == kResumeEnable && state.deployment.startMode != before) enableButtonText = kEnableLogging;
  state.batch.changedSince = true;
  Refresh(state);
}

void SetupDialog::ChooseRealTime(AppState& state, int index) {
  DeploymentSettings& d = state.deployment;
  index = std::clamp(index, 0, static_cast<int>(realTimeList.size()) - 1);
  d.realTimeOutput = index > 0 ? 1 : 0;
  if (index == 2)
    d.optionFlags |= kOptionInhibitStorage;
  else
    d.optionFlags &= ~kOptionInhibitStorage;
  state.batch.changedSince = true;
  Refresh(state);
}

void SetupDialog::SubDialogAccepted(AppState& state) {
  if (enableButtonText != kStopLogger) enableButtonText = kEnableLogging;
  state.batch.changedSince = true;
  Refresh(state);
}

void SetupDialog::ShowStopLogger(AppState& state, bool noData) {
  enableButtonText = kStopLogger;
  enableButtonEnabled = true;
  panel.message.Show(Tr(state, noData ? "No data in memory - You may stop the logger."
                                      : "Logger is logging or enabled - You may stop the logger."),
                     MessageIcon::Information);
}

bool SetupDialog::AcceptBatchValues(AppState& state, const std::function<bool(AppState&)>& synchronize) {
  if (!state.batch.settings || panel.simulation) return false;
  if (state.batch.changedSince &&
      !Ask(state,
           "You have made a change to the setup parameters since the batch values were set.\nDo you want to accept "
           "the previous batch values?",
           "Something Changed")) {
    state.batch.settings.reset();
    batchButtonEnabled = false;
    return false;
  }
  if (!synchronize || !synchronize(state)) return false;
  DeploymentSettings& d = state.deployment;
  const DeploymentSettings& b = *state.batch.settings;
  // The clocks just set stay; the schedule and modes come from the batch.
  const LoggerTime clock = d.loggerClock, host = d.hostClockAtRead;
  const bool resume = d.resume;
  d = b;
  d.loggerClock = clock;
  d.hostClockAtRead = host;
  d.resume = resume;
  state.batch.changedSince = false;
  Refresh(state);
  return true;
}

EnableDecision SetupDialog::EnableLogging(AppState& state, const Confirm& confirm) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  EnableDecision decision;
  if (panel.simulation) return decision;
  // Each question the caller answers; a no ends the enable, said as cancelled.
  const auto ask = [&](const char* text, const char* caption) {
    if (confirm && confirm({Tr(state, text), Tr(state, caption)})) return true;
    decision.refusal = Outcome::Of(OutcomeKind::Cancelled, "Not enabled.");
    return false;
  };
  // 1. The button stops a logging logger instead.
  if (enableButtonText == kStopLogger) {
    decision.action = SetupAction::StopLogger;
    decision.closeSetup = decision.rerunSetup = true;
    return decision;
  }
  // 2.
  d.resume = enableButtonText.find("Resume") != std::string::npos;
  // 3. Readings not yet downloaded.
  bool dataLossAccepted = false;
  uint32_t pointer = 0;
  const auto refuse = [&](const char* why) {
    decision.refusal = Outcome::Of(OutcomeKind::Failed, why);
    decision.refusalShown = true;
    panel.message.Show(Tr(state, why), MessageIcon::Exclamation);
    return decision;
  };
  // Refused for a reason the person reads in a box, not in the message area.
  const auto refuseWith = [&](Outcome why) {
    decision.refusal = std::move(why);
    return decision;
  };
  // An unread memory status is no empty memory: the person would not be
  // told of readings the erase takes.
  if (CommGet(state, 6) != 1) return refuse("TIMEOUT: Memory status read incorrectly");
  {
    const std::string_view reply = state.reply.Bytes();
    pointer = DataPointerFromReply(reply);
    const size_t tag = reply.find("CDP");
    const std::string current(tag != std::string_view::npos && tag >= 8 ? reply.substr(tag - 8, 8) : reply);
    if (MemoryHoldsData(info, pointer) && current != downloadedPointerReply) {
      const char* text = d.resume ? "The logger contains data that has not been downloaded.\n\nThese data may be lost if "
                                    "you continue.\n\nDo you want to continue?"
                                  : "The logger contains data that has not been downloaded.\n\nThese data will be lost "
                                    "if you continue.\n\nDo you want to continue?";
      if (!ask(text, "Setup")) return decision;
      dataLossAccepted = true;
    }
  }
  // 4. Autorun and the sampling LED.
  if (autorunVisible) d.optionFlags = autorunChecked ? d.optionFlags | kOptionAutorun : d.optionFlags & ~kOptionAutorun;
  if (ledVisible) d.optionFlags = ledChecked ? d.optionFlags | kOptionSamplingLed : d.optionFlags & ~kOptionSamplingLed;
  // 5. The threshold within what the sensor measures.
  // The logger compares counts: without its coefficients a threshold value has none.
  if (Thresholding(d) && state.calibration.origin == CalibrationOrigin::Unreadable)
    return refuse("Unable to read calibration coefficients: the threshold cannot be set.\nTry again.");
  if (IsMultiChannel(state) && Thresholding(d)) {
    // Outside the sensor's limits it asks whether the limit is to do: a no ends the enable.
    bool accepted = false;
    if (!CheckThresholdLimits(state, accepted, confirm) && !accepted)
      return refuseWith(Outcome::Of(OutcomeKind::Cancelled, "Not enabled."));
  }
  // 6. Real-time output.
  if (!info.externalDataConnector) {
    d.realTimeOutput = 0;
    d.optionFlags &= ~kOptionInhibitStorage;
  } else if (d.realTimeOutput && NotCalibrated(state)) {
    return refuseWith(Outcome::Of(OutcomeKind::Refused, "Logger not yet calibrated - realtime operation prohibited"));
  }
  // 7. The link rate carries the live output.
  if (Outcome capacity = CheckRealTimeCapacity(state); !capacity.Ok()) return refuseWith(std::move(capacity));
  d.realTimeBaud = static_cast<unsigned>(info.baud);
  d.realTimeBaudCode = d.realTimeOutput ? RealTimeBaudCode(info.baud) : 0;
  if (d.realTimeOutput) {
    if (state.shell.dataRetrieved && !state.shell.dataSaved && confirm &&
        confirm({Tr(state, "Retrieved data has not been saved.\nDo you wish to return to save the data now?"),
                 Tr(state, "Real-time Data Collection Initialization")})) {
      decision.closeSetup = true;
      return refuseWith(Outcome::Of(OutcomeKind::Cancelled, "Not enabled."));
    }
    decision.prepareRealTimeFile = true;
  }
  // 8. Clocks far apart.
  const int64_t skew = SecondsFrom(d.loggerClock, d.hostClockAtRead);
  if ((skew > 1800 || skew < -1800) &&
      !ask("Logger time and Host time differ by more than 30 minutes.\nDo you want to continue?", "Setup Logger"))
    return decision;
  // 9. Validation clears the message area: the estimate goes back in, for
  // the dialog and for the log entry of the enabled deployment.
  if (ValidateDeployment(state, panel, true) != kDeploymentValid || panel.tooManySamples) {
    decision.refusalShown = true;
    return refuseWith(Outcome::Of(OutcomeKind::Refused, "%s", {panel.message.text.empty() ? Tr(state, "Not enabled.") : panel.message.text}));
  }
  EstimateUsage(state, panel);
  // 10.
  if (loggerStatus == 2 || loggerStatus == 3) {
    if (!ask("Logger still collecting data.\nDo you wish to continue?", "Setup")) return decision;
    decision.stopLoggerFirst = true;
  }
  // 11. OEM choices that store nothing or start by themselves.
  if (info.oemSupport) {
    const bool inhibit = (d.optionFlags & kOptionInhibitStorage) != 0;
    const bool autorun = (d.optionFlags & kOptionAutorun) != 0;
    const char* text = nullptr;
    if (inhibit && autorun)
      text = "You have chosen to enable automatic start on powerup\n\nand to inhibit data storage - no data will be "
             "stored in the logger.\n\nAre these what you want?";
    else if (inhibit)
      text = "You have chosen to inhibit data storage.\nNo data will be stored in the logger.\n\nIs this what you want?";
    else if (autorun)
      text = "You have chosen to enable automatic start on powerup.\n\nIs this what you want?";
    if (text && !ask(text, "OEM settings")) return decision;
  }
  // 12. What happens to readings already stored.
  const bool stored = MemoryHoldsData(info, pointer);
  const bool newer = (IsMultiChannelModel(info.model) && FirmwareAbove(info.firmwareVersion, 2.45)) || info.microchipLogger;
  const bool resumable = d.resume && CompareTimes(d.endTime, d.loggerClock) > 0;
  if (newer && stored && resumable) {
    decision.askContainsData = true;
    return decision;
  }
  // Without readings there is nothing to keep or add to: no question.
  if (stored) {
    if (!dataLossAccepted && !ask("Memory contains data\nDo you wish to continue?", "Logger Enable"))
      return decision;
  }
  decision.action = SetupAction::EraseAndProgram;
  return decision;
}

}  // namespace tmv
