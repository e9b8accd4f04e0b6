#pragma once
// The calibration history: every calibration record a logger still holds,
// listed into "<serial>.<k>.his" and into the Calibration History list.
#include <string>
#include <vector>

namespace tmv {

struct AppState;

struct CalibrationHistory {
  int result = 0;                  // 1 = file written
  std::string path;                // the file written
  std::vector<std::string> lines;  // every line of the file, for the list
};

// "%s/%06d.%03d.his" with the first k for which no file exists yet.
std::string CalibrationHistoryPath(const std::string& directory, int serialNumber, int k);

// Writes the history of the connected logger into the work directory.
CalibrationHistory WriteCalibrationHistory(AppState& state);
// The same into another directory (the command-line tool: the current one).
CalibrationHistory WriteCalibrationHistory(AppState& state, const std::string& directory);

}  // namespace tmv
