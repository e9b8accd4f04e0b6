#include "files/LogFile.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// "%*.*f" without the locale's decimal comma.
std::string Fixed(double value, int precision, int width = 0) {
  char buffer[512];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  std::string text = ec == std::errc() ? std::string(buffer, end) : std::string("0");
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
  return text;
}

const char* StartModeName(unsigned mode, char thresholdType) {
  static const char* const kNames[] = {"Start of logging", "Now",          "Above threshold",
                                       "Below threshold",  "Inside thresholds", "Outside thresholds"};
  if (mode <= 1) return kNames[0];
  // A 'T' channel rises as the measured value falls, so its thresholds read the other way.
  if (thresholdType == 'T' && mode == 2) return "Below threshold";
  if (thresholdType == 'T' && mode == 3) return "Above threshold";
  if (mode < sizeof kNames / sizeof kNames[0]) return kNames[mode];
  return kNames[0];
}

bool AppendFile(const std::string& path, const std::string& plain) {
  const std::string text = WithCrLf(plain);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

LogEntry LogEntryFromState(const AppState& state) {
  const LoggerInfo& logger = state.logger;
  const DeploymentSettings& d = state.deployment;
  LogEntry e;
  char identity[128];
  std::snprintf(identity, sizeof identity, "TMV %s %s %06d", logger.model.c_str(),
                Fixed(logger.firmwareVersion, 2, 5).c_str(), logger.serialNumber);
  e.identity = identity;
#ifdef TMV_VERSION_TEXT
  e.programVersion = TMV_VERSION_TEXT;
#endif
  e.minimumVersionValid = logger.minimumProgramVersionValid;
  e.minimumVersion = logger.minimumProgramVersion;
  e.serialNumber = logger.serialNumber;
  e.model = logger.model;
  e.loggerTime = d.loggerClock;
  e.start = d.startTime;
  e.end = d.endTime;
  e.samplingPeriod = d.samplingPeriod;
  e.sixHzProfiling = d.sixHzMode;
  e.startMode = d.startMode;
  e.hysteresisCapability = logger.hysteresis;
  e.averagingCapability = logger.averaging != 0;
  e.averagingEnabled = d.averagingEnabled;
  e.averagingSeconds = d.averagingPeriod;
  e.oemCapability = logger.oemSupport;
  e.oemFlags = d.optionFlags;
  e.realTimeCapability = logger.externalDataConnector;
  e.realTimeEnabled = d.realTimeOutput != 0;
  e.waveCapability = logger.waves;
  e.wavesEnabled = d.waveEnabled;
  e.waveLength = d.burstSamples;
  e.wavePeriod = d.burstPeriod;
  return e;
}

std::string LogEntryText(int kind, const LogEntry& e, const LoggerTime& hostTime) {
  if (kind != kLogSetupFailed && kind != kLogSetUp && kind != kLogResumed && kind != kLogDownloaded) return "";
  std::string t = "----------------------------------------\n";
  if (e.minimumVersionValid) {
    t += e.identity + " (Windows: " + e.programVersion + " - Minimum required: " + Fixed(e.minimumVersion, 2) +
         ")\n";
  } else {
    t += e.identity + " (Windows: " + e.programVersion + ")\n";
  }
  if (kind == kLogSetUp || kind == kLogResumed) {
    if (kind == kLogResumed) t += "Resumed logging\n";
    t += "Host time:                   " + TimeToDisplayText(hostTime) + "\n";
    t += "Logger setup at logger time: " + TimeToDisplayText(e.loggerTime) + "\n";
    t += "Logging start:               " + TimeToDisplayText(e.start) + "\n";
    t += "Logging end:                 " + TimeToDisplayText(e.end) + "\n";
    if (e.sixHzProfiling) {
      t += "Sample period:                           6Hz profiling\n";
    } else {
      t += "Sample period:                           " + ClockToText(e.samplingPeriod) + "\n";
    }
    if (e.model.find("QN") != std::string::npos) {
      t += std::string("Logger start: ") + StartModeName(e.startMode, e.thresholdChannelType) + " ";
      if (e.startMode == 2 || e.startMode == 3) {
        t += Fixed(e.thresholdLevel, 4, 9) + " channel " + std::to_string(e.thresholdChannel + 1) + "\t";
        if (e.hysteresisCapability) {
          if (e.hysteresisSeconds > 0) {
            t += " Hysteresis period: " + std::to_string(e.hysteresisSeconds) + " seconds";
          } else {
            t += " Hysteresis period not enabled";
          }
        }
      }
      t += "\n";
    }
    if (e.averagingCapability) {
      t += e.averagingEnabled ? "Averaging: " + std::to_string(e.averagingSeconds) + " seconds\n"
                              : std::string("Averaging: NONE\n");
    }
    if (e.oemCapability) {
      if ((e.oemFlags & 0x7) == 0) {
        t += "OEM functions not enabled\n";
      } else {
        t += "OEM:";
        if (e.oemFlags & 0x2) t += " Logger autostart selected ";
        if (e.oemFlags & 0x1) t += " Logger storage inhibited";
        if (e.oemFlags & 0x4) t += " Logger using engineering units";
        t += "\n";
      }
    }
    if (e.realTimeCapability)
      t += e.realTimeEnabled ? "Realtime output enabled\n" : "Realtime output not enabled\n";
    if (e.waveCapability) {
      if (e.wavesEnabled) {
        t += "Wave sampling enabled: rate " + std::to_string(e.waveRateHz) + "Hz, length " +
             std::to_string(e.waveLength) + ", period " + ClockToText(e.wavePeriod) + "\n";
      } else {
        t += "Wave sampling not enabled\n";
      }
    }
    if (kind == kLogSetUp) t += e.estimateText + "\n";
  } else if (kind == kLogSetupFailed) {
    t += "Host time:                          " + TimeToDisplayText(hostTime) + "\n";
    t += "Logger setup FAILED at logger time: " + TimeToDisplayText(e.loggerTime) + "\n";
    if (!e.failureReason.empty()) {
      std::string reason = e.failureReason;
      for (char& c : reason)
        if (c == '\n' || c == '\r') c = ' ';
      t += "Reason:                             " + reason + "\n";
    }
  } else {
    t += "Host time:                          " + TimeToDisplayText(hostTime) + "\n";
    t += "Logger downloaded at logger time:   " + TimeToDisplayText(e.loggerTime) + "\n";
    t += "Logger status:                      " + e.statusName + "\n";
    if (e.dataSaved) t += "Data was written to a file:         " + e.datPath + "\n";
  }
  t += "\n";
  return t;
}

int AppendToLog(AppState& state, int kind, const LogEntry& entry) {
  const LoggerTime host = state.clock.LocalTime();
  const std::string text = LogEntryText(kind, entry, host);
  if (text.empty()) return 0;
  const std::string directory = WorkPath(state, "log");
  std::error_code ec;
  std::filesystem::create_directory(directory, ec);
  if (!std::filesystem::is_directory(directory, ec)) {
    ShowStatus(state, Tr(state, "Error: Unable to save log file"));
    return 0;
  }
  char name[64];
  std::snprintf(name, sizeof name, "/%06d.log", entry.serialNumber);
  if (!AppendFile(directory + name, text)) {
    ShowStatus(state, Tr(state, "Error: Unable to open log file"));
    return 0;
  }
  std::snprintf(name, sizeof name, "/%04d%02d%02d.log", host.year, host.month, host.day);
  if (!AppendFile(directory + name, text)) {
    ShowStatus(state, Tr(state, "Error: Unable to open daily log file"));
    return 0;
  }
  return 1;
}

}  // namespace tmv
