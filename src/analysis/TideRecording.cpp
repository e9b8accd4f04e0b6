#include "analysis/TideRecording.h"

#include <cmath>
#include <limits>

#include "files/Export.h"

namespace tmv {

namespace {
constexpr uint8_t kDepthCode = 133;
}

TideLevelColumn TideColumn(const DataSet& data) {
  for (int c = data.channelCount; c < data.totalChannelCount; ++c)
    if (ColumnCode(data, c) == kDepthCode) return {c, "Depth", "m"};
  for (int c = 0; c < data.channelCount && c < kMaxChannels; ++c) {
    const uint8_t code = data.channelTypes[static_cast<size_t>(c)];
    if (code == 'P' || code == 'L') return {c, "Pressure", "dbar"};
  }
  return {};
}

std::optional<TideSeries> TideSeriesOf(const DataSet& data, int utcOffsetMinutes, std::string& error) {
  const TideLevelColumn column = TideColumn(data);
  if (column.column < 0) {
    error = "The recording has no depth or pressure channel.";
    return std::nullopt;
  }
  if (data.sampleCount <= 0) {
    error = "The recording holds no readings.";
    return std::nullopt;
  }
  const std::vector<uint64_t> ticks = RowTicks(data);
  LoggerTime epoch;  // 2000-01-01 00:00
  const double base = static_cast<double>(ToTicks(epoch));
  TideSeries series;
  series.unit = column.unit;
  series.times.reserve(ticks.size());
  series.levels.reserve(ticks.size());
  for (int r = 0; r < data.sampleCount; ++r) {
    const double hours = (static_cast<double>(ticks[static_cast<size_t>(r)]) - base) / (3600.0 * kTicksPerSecond);
    series.times.push_back(hours - utcOffsetMinutes / 60.0);
    const float v = data.Value(column.column, r);
    series.levels.push_back(std::isfinite(v) && v > kInvalidValue ? static_cast<double>(v)
                                                                   : std::numeric_limits<double>::quiet_NaN());
  }
  return series;
}

bool TideRun::Matches(const DataSet& data) const {
  if (data.sampleCount != sampleCount || data.sampleCount <= 0) return false;
  return RowTicks(data).front() == firstTicks;
}

TideRunOutcome RunTideAnalysis(const DataSet& data, int utcOffsetMinutes, const TideAnalysisOptions& options) {
  TideRunOutcome outcome;
  std::optional<TideSeries> series = TideSeriesOf(data, utcOffsetMinutes, outcome.error);
  if (!series) return outcome;
  TideOutcome fit = AnalyseTide(*series, options);
  if (!fit.analysis) {
    outcome.error = fit.error;
    outcome.usageError = fit.usageError;
    return outcome;
  }
  TideRun run;
  run.analysis = std::move(*fit.analysis);
  run.predicted = PredictTide(run.analysis, series->times, run.analysis.centre);
  run.series = std::move(*series);
  run.columnName = TideColumn(data).name;
  run.utcOffsetMinutes = utcOffsetMinutes;
  run.sampleCount = data.sampleCount;
  run.firstTicks = RowTicks(data).front();
  outcome.run = std::move(run);
  return outcome;
}

}  // namespace tmv
