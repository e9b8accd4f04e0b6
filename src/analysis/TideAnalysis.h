#pragma once
// Harmonic analysis of a water-level series: an ordinary least-squares fit
// of a mean, an optional linear trend and tidal constituents chosen by the
// Rayleigh criterion, with nodal corrections and the equilibrium argument at
// the record's central time (Greenwich phases), and linearised 95 %
// confidence intervals from the residual's spectrum in each tidal band
// (Pawlowicz, Beardsley and Lentz 2002, Computers & Geosciences 28:929;
// Codiga 2011, GSO Technical Report 2011-01). Least squares needs no regular
// grid: uneven times and gaps are fine. Prediction and the residual follow
// from the fitted constituents.
#include <optional>
#include <string>
#include <vector>

#include "analysis/TideConstituents.h"

namespace tmv {

struct TideSeries {
  std::vector<TideHours> times;  // UTC, strictly increasing
  std::vector<double> levels;    // NaN where a reading is missing
  std::string unit = "m";        // of the levels
};

struct TideAnalysisOptions {
  // Names from the standard set; empty: the automatic choice by the
  // Rayleigh criterion.
  std::vector<std::string> constituents;
  double rayleigh = 1.0;  // the criterion's factor
  bool trend = false;     // fit a linear trend as well
  double latitude = 45.0;  // degrees north, for the latitude-dependent satellites
};

struct TideConstituentFit {
  std::string name;
  double frequency = 0;    // cycles per hour
  double amplitude = 0;    // in the series' unit
  double amplitudeCi = 0;  // 95 % half-width
  double phase = 0;        // Greenwich phase lag, degrees 0..360
  double phaseCi = 0;      // 95 % half-width, degrees
  double snr = 0;          // (amplitude / its standard error)^2; infinite for a noise-free record
};

// A constituent left out, and why.
struct TideDropped {
  std::string name;
  std::string reason;
};

struct TideAnalysis {
  std::string unit = "m";
  TideHours start = 0, end = 0, centre = 0;
  int validCount = 0;
  double latitude = 45.0;
  double rayleigh = 1.0;
  double mean = 0;        // at the central time
  double meanCi = 0;
  bool hasTrend = false;
  double trendPerDay = 0;  // unit per day
  double trendCi = 0;
  double observedVariance = 0, residualVariance = 0;
  std::vector<TideConstituentFit> constituents;
  std::vector<TideDropped> dropped;
};

struct TideOutcome {
  std::optional<TideAnalysis> analysis;
  std::string error;       // why there is no analysis
  bool usageError = false;  // the error is in the options (an unknown constituent name)
};

TideOutcome AnalyseTide(const TideSeries& series, const TideAnalysisOptions& options);

// The tide (mean, trend and constituents) at `times`, with nodal corrections
// and equilibrium arguments at `reference` (by default the middle of the
// times; for the record itself the analysis's central time).
std::vector<double> PredictTide(const TideAnalysis& analysis, const std::vector<TideHours>& times,
                                std::optional<TideHours> reference = std::nullopt);

// The constituent table as a text file (what `PredictTide` needs, with the
// record's description in '#' lines), and back.
std::string TideTableText(const TideAnalysis& analysis);
std::optional<TideAnalysis> ParseTideTable(const std::string& text, std::string& error);

// "2026-01-15T08:30:00Z".
std::string TideTimeText(TideHours t);
// ISO 8601 "YYYY-MM-DD[T ]hh:mm[:ss[.fff]][Z|+hh:mm|-hh:mm]"; a time without
// a zone is taken `defaultOffsetMinutes` east of UTC.
std::optional<TideHours> ParseTideTime(const std::string& text, int defaultOffsetMinutes = 0);

// "time,observed,predicted,residual" with one row per reading (CR LF).
std::string TideSeriesCsvText(const TideSeries& series, const std::vector<double>& predicted);

// A `time,level` CSV (ISO 8601 times, level in m; a header line and '#'
// lines are skipped; an empty level is a missing reading). Times out of
// order or repeated are an error naming the line.
std::optional<TideSeries> ParseTideCsv(const std::string& text, int defaultOffsetMinutes, std::string& error);

}  // namespace tmv
