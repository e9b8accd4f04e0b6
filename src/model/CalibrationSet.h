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

struct CalibrationSet {
  std::array<std::array<double, 4>, kMaxChannels> coefficients{};  // c0..c3, channel 1 in row 0
  ConductivityCorrection conductivityCorrection;
  std::array<int, 6> calibrationDate{};  // YY MM DD hh mm ss
  int nextRecordOffset = 0;
  int changedFlags = 0;  // 1 coefficients changed, 2 conductivity correction changed
};

}  // namespace tmv
