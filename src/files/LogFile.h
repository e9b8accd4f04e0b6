#pragma once
// The deployment and download log: each entry goes to the logger's own log
// "<work>/log/%06d.log" (serial number) and to the day's log
// "<work>/log/%04d%02d%02d.log" (host date).
#include <cstdint>
#include <string>

#include "model/LoggerTime.h"

namespace tmv {

struct AppState;

enum LogKind { kLogSetupFailed = 0, kLogSetUp = 3, kLogResumed = 4, kLogDownloaded = 5 };

// What an entry says, gathered by the caller. LogEntryFromState fills what
// the program state already knows; the caller adds the rest.
struct LogEntry {
  // The identity line: "%s (Windows: %s - Minimum required: %.2f)" or "%s (Windows: %s)".
  std::string identity;  // the logger's identity text
  std::string programVersion = "6.16";
  bool minimumVersionValid = false;
  float minimumVersion = 0.0f;

  int serialNumber = 0;
  std::string model;
  LoggerTime loggerTime;  // the logger's clock at the event

  // Kinds 3 and 4.
  LoggerTime start, end;
  LoggerTime samplingPeriod;
  bool sixHzProfiling = false;
  unsigned startMode = 0;
  char thresholdChannelType = 0;
  double thresholdLevel = 0.0;
  int thresholdChannel = 0;  // from 0
  bool hysteresisCapability = false;
  int hysteresisSeconds = 0;  // 0: not enabled
  bool averagingCapability = false;
  bool averagingEnabled = false;
  int averagingSeconds = 0;
  bool oemCapability = false;
  uint32_t oemFlags = 0;  // bit 0 storage inhibited, 1 autostart, 2 engineering units
  bool realTimeCapability = false;
  bool realTimeEnabled = false;
  bool waveCapability = false;
  bool wavesEnabled = false;
  int waveRateHz = 0;
  int waveLength = 0;
  LoggerTime wavePeriod;
  std::string estimateText;  // kind 3: the memory and battery estimate
  std::string failureReason;  // kind 0: the step that failed, as the user was told

  // Kind 5.
  std::string statusName;
  bool dataSaved = false;
  std::string datPath;
};

LogEntry LogEntryFromState(const AppState& state);

// The entry's text; "" for a kind that has no entry.
std::string LogEntryText(int kind, const LogEntry& entry, const LoggerTime& hostTime);

// Appends the entry to both logs (host time from state.clock). 1 when both
// were written; failures show in the status line only.
int AppendToLog(AppState& state, int kind, const LogEntry& entry);

}  // namespace tmv
