#pragma once
// The parameters of a deployment: what the Setup dialog edits, the queries
// read back from a logger and the enabling sequence writes into it.
#include <cstdint>
#include <optional>

#include "model/LoggerTime.h"

namespace tmv {

// startMode values.
constexpr unsigned kStartAtTime = 0;
constexpr unsigned kStartNow = 1;
constexpr unsigned kStartAbove = 2;
constexpr unsigned kStartBelow = 3;

// optionFlags bits.
constexpr uint32_t kOptionInhibitStorage = 1u << 0;
constexpr uint32_t kOptionAutorun = 1u << 1;
constexpr uint32_t kOptionEngineeringUnits = 1u << 2;
constexpr uint32_t kOptionSamplingLed = 1u << 3;

struct DeploymentSettings {
  LoggerTime startTime;
  LoggerTime endTime;
  LoggerTime loggerClock;      // the logger's clock as last read or set
  LoggerTime hostClockAtRead;  // host local time taken just before that read
  // Time between samples (a clock value); hour 24 is "One sample every day".
  LoggerTime samplingPeriod = LoggerTime{0, 0, 0, 0, 0, 1, 0, 0};
  unsigned startMode = kStartAtTime;
  bool powerKeptOn = false;  // mode byte 128
  bool sixHzMode = false;    // mode byte 64
  int realTimeOutput = 0;    // mode byte 32
  unsigned realTimeBaud = 0;
  unsigned realTimeBaudCode = 0;
  uint32_t optionFlags = 0;  // kOption... bits
  bool averagingEnabled = false;
  int averagingPeriod = 1;   // seconds, 1..10800
  int averagingLength = 1;   // readings, as the logger reports it (query 17)
  bool resume = false;

  // Thresholding and hysteresis.
  unsigned thresholdChannel = 1;    // channel index from 0
  double thresholdValue = 0.0;      // engineering units of that channel
  uint32_t thresholdRaw = 0;        // 24-bit
  uint32_t thresholdRawLimit = 0;   // 24-bit
  bool powerSaving = false;
  LoggerTime thresholdTestPeriod = LoggerTime{0, 0, 0, 0, 0, 0, 0, 0};  // clock value
  bool hysteresisEnabled = false;
  unsigned hysteresisSeconds = 0;

  // Bursts and waves of tide-and-wave recorders.
  bool waveEnabled = false;
  int burstRate = 2;       // Hz: 1, 2 or 4; 0 = not set
  int burstSamples = 0;    // 512, 1024, 2048 or 4096
  LoggerTime burstPeriod = LoggerTime{0, 0, 0, 4, 0, 0, 0, 0};  // clock value
  double meanWaterDepth = 10.0;  // metres
  double loggerHeight = 1.0;     // metres, sent as an IEEE 754 double
  int previousTidePeriodSeconds = 1;  // the tide period at the previous period-rule call
};

// The deployment as last programmed into a logger ("Accept batch values").
struct BatchCopy {
  std::optional<DeploymentSettings> settings;
  bool changedSince = false;  // the Setup dialog changed a setting since it was taken
};

}  // namespace tmv
