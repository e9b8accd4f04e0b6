#pragma once
// What the analysis subsystem keeps in the program state besides the
// derived-unit settings: the real-time limits, the KZM action waiting for
// depth, and where the wave analysis and the graph plug into the derived
// columns. Constructing it installs the derived-channel step into decoding.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "analysis/TideRecording.h"

namespace tmv {

struct AppState;
struct DataSet;

// The vertical range of one limits category during real-time collection.
struct RealTimeLimit {
  int maximum = 0;
  int minimum = 0;
};
constexpr int kLimitCategories = 23;
using RealTimeLimits = std::array<RealTimeLimit, kLimitCategories>;
RealTimeLimits DefaultRealTimeLimits();

// What the derived-units dialog's OK resumes once depth is on.
enum PendingKzmAction { kKzmNone = 0, kKzmReadHexFile = 1, kKzmRetrieve = 110, kKzmSetup = 115 };

struct AnalysisState {
  explicit AnalysisState(AppState& state);  // installs the derived-channel decode hook
  AnalysisState(const AnalysisState&) = delete;
  AnalysisState& operator=(const AnalysisState&) = delete;

  RealTimeLimits limits = DefaultRealTimeLimits();
  int pendingKzmAction = kKzmNone;
  std::string pendingHexFile;  // the KZM HEX file to read again
  // The last tide analysis, of the DataSet it Matches (the export and the tide panel show it).
  std::optional<TideRun> tide;

  // Significant wave height of the burst a row belongs to [m]; unset: the column holds the marker.
  std::function<float(const DataSet&, int row)> waveHeightAt;
  // Tidal slope at a row from the depth column [m/hour]; unset: the column holds the marker.
  std::function<float(const DataSet&, int depthColumn, int row)> tidalSlopeAt;
  // Shows or hides the main window's "Depth Plot" button.
  std::function<void(bool)> showDepthPlot;
  // Sets the graph up again after the columns changed; false when it could not.
  std::function<bool()> setUpGraph;
  // Redraws the graph (command 144).
  std::function<void()> refreshGraph;
  // Runs a menu command once the current one has returned (a pending KZM retrieval or set-up).
  std::function<void(int command)> postCommand;
};

}  // namespace tmv
