#pragma once
// Statistics of the highlighted readings (the rows ending at the graph's
// cursor) and the on-line calibration that derives a linear calibration of
// a depth, pH, dissolved-oxygen or turbidity channel from one or two
// reference points and writes it to the logger.
#include <functional>
#include <string>

#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;
struct LoggerInfo;

// Mean and sample standard deviation of the readings in rows first..last of
// a column. Invalid readings (the marker, not a number) are left out and
// counted: one -1000 among temperatures of 2-22 degC made the mean -8.2.
struct RowStatistics {
  int first = 0, last = -1;
  int rows = 0;          // m, the rows looked at
  int count = 0;         // readings in the figures
  int invalid = 0;       // readings left out
  int outsideRange = 0;  // of `count`, derived values computed outside their formula's range
  double mean = 0.0;
  double standardDeviation = 0.0;
  bool deviationAvailable = false;  // count > 1
};
// Welford's running update: the one-pass Σv² form loses every digit on a
// large value with a small spread (1000 dbar varying by 0.001) and can go
// negative under the root. `outsideMarks` (may be null): the column's marks
// of values outside their formula's range.
RowStatistics ComputeRowStatistics(const float* values, int first, int last, const uint8_t* outsideMarks = nullptr);
// The highlighted rows: max(0, cursor - n + 1) .. cursor (clamped to the data).
RowStatistics HighlightStatistics(const DataSet& data, int column, int cursorRow, int n);
// What the figures leave out or hold with a mark, as both faces say it;
// empty when nothing: "1 invalid reading left out; 2 values outside the formula's range".
std::string StatisticsNote(const RowStatistics& s);

// Panel controls.
namespace statctl {
constexpr int kMean = 1096, kDeviation = 1097, kCount = 1098, kClose = 2, kChangeView = 123;
constexpr int kTransferLower = 1183, kTransferUpper = 1184;
constexpr int kLowerReading = 1170, kUpperReading = 1171, kLowerFixed = 1175, kUpperFixed = 1173;
constexpr int kSaveFixed = 1186, kWrite = 1, kMessage = 223, kNote = 1030;
}  // namespace statctl

enum class Sensor { None, Depth, Ph, Oxygen, Turbidity };

struct StatisticsPanelState {
  bool statisticsShown = false;
  int highlightCount = 100;
  bool rawView = false;
  bool lowerPending = true, upperPending = true;
  int statisticsChannel = 0;
  int lastCalibrationChannel = -1;
  double newOffset = 0.0, newGain = 0.0;
  bool proposalValid = false;
  // What the panel shows.
  std::string title = "Statistics of highlighted CONVERTED data ";
  std::string meanText, deviationText, countText = "100";
  std::string noteText;  // StatisticsNote of the figures shown
  std::string lowerReading, upperReading, lowerFixed, upperFixed;
  std::string message;
  bool writeEnabled = false;
  bool lowerFixedEnabled = false, upperFixedEnabled = false;
  bool transferEnabled = false, saveEnabled = false;
  bool calibrationGroupShown = false;  // else only the note line
};

// The sensor of a logger channel the on-line calibration works on; None
// for derived columns and other types.
Sensor CalibrationSensor(const DataSet& data, int column);
bool CalibrationEligible(const DataSet& data, int column);

// What the panel asks of the program around it.
struct StatisticsHooks {
  std::function<void()> repaintGraph;
  // Decode the held memory image again in the panel's view and set the graph
  // up again keeping its channels; false when no image is held.
  std::function<bool(bool raw)> redecode;
};

class StatisticsPanel {
 public:
  StatisticsPanel(AppState& state, StatisticsHooks hooks) : state_(state), hooks_(std::move(hooks)) {}

  // Command 131.
  void Show();
  // From the graph's repaint.
  void UpdateStatistics(int channel, int cursorRow);
  // "Number of readings" typed.
  void TypeCount(const std::string& text);
  void ChangeDataView();
  void TransferReading(bool upper);
  // An edit of a reading or fixed-point field (1170, 1171, 1173, 1175).
  void EditField(int control, const std::string& text);
  // "Write calibration coefficients to logger": 1 written and read back.
  int WriteCoefficients();
  void SaveFixedPoints();
  void Close();

  // Internal requests 1200..1204.
  void CheckAvailability(bool notEligible);
  void EnableCalibration();
  void SetTitle();
  void ClearCalibrationFields();
  void ResetAndResize();

  StatisticsPanelState& panel();

 private:
  void Propose();
  void ReferenceValues(Sensor sensor, double& lower, double& upper) const;
  AppState& state_;
  StatisticsHooks hooks_;
};

}  // namespace tmv
