#pragma once
// The parameters of a deployment, as far as the queries of the command
// exchange fill them; the Setup dialog and the enabling sequences add theirs.
#include <cstdint>

#include "model/LoggerTime.h"

namespace tmv {

struct DeploymentSettings {
  LoggerTime startTime;
  LoggerTime endTime;
  LoggerTime loggerClock;
  LoggerTime hostClockAtRead;
  LoggerTime samplingPeriod = LoggerTime{0, 0, 0, 0, 0, 1, 0, 0};
  unsigned startMode = 0;
  bool powerKeptOn = false;
  bool sixHzMode = false;
  int realTimeOutput = 0;
  unsigned realTimeBaud = 0;
  unsigned realTimeBaudCode = 0;
  uint32_t optionFlags = 0;
  bool averagingEnabled = false;
  int averagingPeriod = 1;  // seconds
  int averagingLength = 1;  // readings, as the logger reports it (query 17)
  bool resume = false;

  // Burst and wave fields filled by the queries.
  int sampleRateCode = 0;    // query 30
  bool wavesEnabled = false; // query 31
  int waveBurstLength = 0;
  LoggerTime wavePeriod;
  double loggerHeight = 0.0; // query 32, metres
};

}  // namespace tmv
