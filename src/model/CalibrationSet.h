#pragma once
// Four calibration coefficients per channel and the conductivity correction.
#include <array>

#include "model/LoggerInfo.h"

namespace tmv {

struct ConductivityCorrection {
  double a = 0.0;
  double b = 1.0;
  double tc = 0.0;
  double c = 0.0;
};

// Where the coefficients in hand came from, as far as the logger is concerned.
enum class CalibrationOrigin {
  NotRead,        // nothing asked of the logger yet
  Read,           // the logger's own coefficients
  NotCalibrated,  // the logger holds none: the defaults stand in
  Unreadable,     // the logger's coefficients could not be read: never write over them
};

struct CalibrationSet {
  std::array<std::array<double, 4>, kMaxChannels> coefficients{};  // c0..c3, channel 1 in row 0
  ConductivityCorrection conductivityCorrection;
  std::array<int, 6> calibrationDate{};  // YY MM DD hh mm ss
  int nextRecordOffset = 0;
  int changedFlags = 0;  // 1 coefficients changed, 2 conductivity correction changed
  CalibrationOrigin origin = CalibrationOrigin::NotRead;
};

}  // namespace tmv
