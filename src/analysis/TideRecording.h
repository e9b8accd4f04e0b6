#pragma once
// The water level of a recording for the tide analysis: the depth column
// (derived from pressure with the derived-unit settings) when there is one,
// else the first pressure channel; row times moved from the logger clock to
// UTC by the clock's offset.
#include <optional>
#include <string>

#include "analysis/TideAnalysis.h"
#include "retrieval/DataSet.h"

namespace tmv {

struct TideLevelColumn {
  int column = -1;  // in the DataSet; -1: none
  std::string name;  // "Depth", "Pressure"
  std::string unit;  // "m", "dbar"
};
// The column the analysis takes from `data`.
TideLevelColumn TideColumn(const DataSet& data);
// Whether the recording has a depth or pressure channel to analyse.
inline bool HasTideColumn(const DataSet& data) { return TideColumn(data).column >= 0; }

// The series of `data` (invalid readings as NaN); nothing, with the reason,
// when it has no depth or pressure column.
std::optional<TideSeries> TideSeriesOf(const DataSet& data, int utcOffsetMinutes, std::string& error);

// An analysis of a recording's water level, kept with the recording (the
// export adds it; the panel shows it).
struct TideRun {
  TideAnalysis analysis;
  TideSeries series;               // one reading per row of the DataSet, UTC
  std::vector<double> predicted;   // per row
  std::string columnName;          // "Depth" or "Pressure"
  int utcOffsetMinutes = 0;
  int sampleCount = 0;
  uint64_t firstTicks = 0;         // of row 0, logger clock
  // Whether it belongs to `data` (a DataSet read or retrieved since is another).
  bool Matches(const DataSet& data) const;
};

struct TideRunOutcome {
  std::optional<TideRun> run;
  std::string error;
  bool usageError = false;
};
TideRunOutcome RunTideAnalysis(const DataSet& data, int utcOffsetMinutes, const TideAnalysisOptions& options);

}  // namespace tmv
