#pragma once
// Calibration coefficients: reading them from the logger, writing them back.
namespace tmv {

struct AppState;

// Query 10: reads the coefficients once while calibrationStale is set.
int ReadCalibration(AppState& state);

}  // namespace tmv
