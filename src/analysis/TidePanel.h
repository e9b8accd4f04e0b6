#pragma once
// "Tide analysis" of the desktop program: the panel's model. It analyses the
// current recording's water level with the options in its fields, keeps the
// run with the recording (for the export), lays out the constituent table,
// and builds a small DataSet of observed, predicted and residual for the
// graph core to draw as three traces. Saving writes the constituent table
// and the series.
#include <string>
#include <vector>

#include "analysis/TideRecording.h"
#include "presentation/GraphView.h"
#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;
class DialogPresenter;

struct TidePanel {
  explicit TidePanel(AppState& state);

  // The fields, as typed.
  std::string constituents;  // "M2,S2,..."; empty: chosen by the Rayleigh criterion
  std::string rayleigh = "1";
  bool trend = false;
  std::string utcOffset;     // "+HH:MM"; empty: the logger clock keeps UTC
  std::string latitude;      // degrees north

  // Analyses with the fields; false with `message` saying why.
  bool Analyse();
  // The last analysis (of this recording), if any.
  const TideRun* Run() const;
  // What to tell: the error, or the dropped constituents and the offset used.
  std::string message;
  // The constituent table as text cells: name, frequency, amplitude, +/-,
  // phase, +/-, SNR; and its heading.
  static std::vector<std::string> TableHeading();
  std::vector<std::vector<std::string>> TableRows() const;
  // One line about the fit: mean, trend, residual.
  std::string Summary() const;

  // Observed, predicted and residual as a DataSet of three columns, and its graph.
  DataSet graphData;
  GraphState graph;
  // The graph as a picture of `width` x `height`: one panel each, named, with
  // high water up. Empty without an analysis.
  GraphDrawing Picture(int width, int height);

  // Writes BASE_constituents.csv and BASE_tide.csv; false with `message`
  // set when it cannot.
  bool Save(const std::string& basePath);
  // Asks for the file name (the platform's save dialog) and saves; false when
  // cancelled or not written.
  bool SaveAs();

 private:
  AppState& state_;
  void BuildGraph();
};

// The menu command: refuses without a recording that has a depth or
// pressure channel; analyses it once with the automatic choice and shows
// the panel. 1 shown; 0 refused.
int TideAnalysisCommand(AppState& state, DialogPresenter& dialogs);

}  // namespace tmv
