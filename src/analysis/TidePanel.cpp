#include "analysis/TidePanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>

#include "analysis/SeawaterFormulas.h"
#include "files/DataFileIo.h"
#include "files/Export.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"

namespace tmv {

namespace {

std::string Text(const char* format, double v) {
  if (std::isinf(v)) return "inf";
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  return b;
}

bool WriteText(const std::string& path, const std::string& text) { return WriteFileReplacing(path, text); }

}  // namespace

TidePanel::TidePanel(AppState& state) : state_(state) {
  char b[32];
  std::snprintf(b, sizeof b, "%.4f", SettingsLatitude(state.settings.derived));
  latitude = b;
  if (const TideRun* run = Run()) {
    if (run->utcOffsetMinutes != 0) utcOffset = UtcOffsetText(run->utcOffsetMinutes);
    trend = run->analysis.hasTrend;
    BuildGraph();
  }
}

const TideRun* TidePanel::Run() const {
  const auto& tide = state_.analysis.tide;
  return tide && tide->Matches(state_.retrieval.data) ? &*tide : nullptr;
}

bool TidePanel::Analyse() {
  message.clear();
  TideAnalysisOptions options;
  options.trend = trend;
  char* end = nullptr;
  options.rayleigh = std::strtod(rayleigh.c_str(), &end);
  if (end == rayleigh.c_str() || !(options.rayleigh > 0) || !std::isfinite(options.rayleigh)) {
    message = "The Rayleigh factor must be a positive number (1 is usual).";
    return false;
  }
  options.latitude = std::strtod(latitude.c_str(), &end);
  if (end == latitude.c_str() || !(std::fabs(options.latitude) <= 90.0)) {
    message = "The latitude is in degrees, -90 to 90.";
    return false;
  }
  int offset = 0;
  if (!utcOffset.empty()) {
    const std::optional<int> parsed = ParseUtcOffset(utcOffset);
    if (!parsed) {
      message = "The UTC offset is +HH:MM or -HH:MM (at most 14 hours), or empty for a clock on UTC.";
      return false;
    }
    offset = *parsed;
  }
  std::stringstream list(constituents);
  std::string name;
  while (std::getline(list, name, ',')) {
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty()) options.constituents.push_back(name);
  }
  TideRunOutcome outcome = RunTideAnalysis(state_.retrieval.data, offset, options);
  if (!outcome.run) {
    message = outcome.error;
    return false;
  }
  state_.analysis.tide = std::move(outcome.run);
  for (const TideDropped& d : state_.analysis.tide->analysis.dropped)
    message += (message.empty() ? "" : "\n") + ("Dropped " + d.name + ": " + d.reason);
  BuildGraph();
  return true;
}

std::vector<std::string> TidePanel::TableHeading() {
  return {"Name", "Frequency (cph)", "Amplitude", "\xC2\xB1 95 %", "Phase (\xC2\xB0)", "\xC2\xB1 95 %", "SNR"};
}

std::vector<std::vector<std::string>> TidePanel::TableRows() const {
  std::vector<std::vector<std::string>> rows;
  const TideRun* run = Run();
  if (run == nullptr) return rows;
  for (const TideConstituentFit& c : run->analysis.constituents)
    rows.push_back({c.name, Text("%.7f", c.frequency), Text("%.4f", c.amplitude), Text("%.4f", c.amplitudeCi),
                    Text("%.2f", c.phase), Text("%.2f", c.phaseCi), Text("%.3g", c.snr)});
  return rows;
}

std::string TidePanel::Summary() const {
  const TideRun* run = Run();
  if (run == nullptr) return {};
  const TideAnalysis& a = run->analysis;
  std::string s = run->columnName + ": " + std::to_string(a.validCount) + " readings over " +
                  Text("%.2f", (a.end - a.start) / 24.0) + " days, centre " + TideTimeText(a.centre) + "; mean " +
                  Text("%.4f", a.mean) + " " + a.unit;
  if (a.hasTrend) s += ", trend " + Text("%.5f", a.trendPerDay) + " " + a.unit + "/day";
  s += ", residual " + Text("%.4f", std::sqrt(a.residualVariance)) + " " + a.unit + " rms";
  return s;
}

void TidePanel::BuildGraph() {
  const TideRun* run = Run();
  DetachData(graph);
  graphData.Clear();
  if (run == nullptr) return;
  const int n = static_cast<int>(run->series.times.size());
  if (n < 2 || !graphData.LayOut(3, n)) return;
  // The level's own kind, so the three share its axis and unit.
  const uint8_t code = run->analysis.unit == "m" ? 0x85 : 'P';
  graphData.channelCount = graphData.totalChannelCount = 3;
  for (size_t c = 0; c < 3; ++c) graphData.channelTypes[c] = code;
  graphData.sampleCount = n;
  const DataSet& source = state_.retrieval.data;
  graphData.startTime = source.startTime;
  graphData.samplePeriodSeconds = source.samplePeriodSeconds;
  graphData.sixHzProfiling = source.sixHzProfiling;
  graphData.stamps = source.stamps;
  for (int c = 0; c < 3; ++c) {
    float* v = graphData.Column(c);
    float low = std::numeric_limits<float>::max(), high = -low;
    for (int r = 0; r < n; ++r) {
      const double obs = run->series.levels[static_cast<size_t>(r)];
      const double pred = run->predicted[static_cast<size_t>(r)];
      const double value = c == 0 ? obs : c == 1 ? pred : obs - pred;
      v[r] = std::isfinite(value) ? static_cast<float>(value) : kInvalidValue;
      if (v[r] > kInvalidValue) {
        low = std::min(low, v[r]);
        high = std::max(high, v[r]);
      }
    }
    v[n] = low <= high ? low : 0.0f;
    v[n + 1] = low <= high ? high : 0.0f;
  }
  AttachData(graph, graphData);
  ShowAll(graph, graphData);
  // A water level: high water up, and the residual on an axis of its own.
  graph.view.depthGrowsDown = false;
  SetStacked(graph, true);
}

GraphDrawing TidePanel::Picture(int width, int height) {
  if (!graph.hasData) return {};
  static const std::vector<std::string> kNames{"Observed", "Predicted", "Residual (observed less predicted)"};
  const DrawContext context{graphData, state_.logger, 0, nullptr, &kNames};
  LayOutPicture(graph, context, width, height);
  return BuildDrawing(graph, context);
}

bool TidePanel::Save(const std::string& basePath) {
  const TideRun* run = Run();
  if (run == nullptr) {
    message = "There is no tide analysis to save.";
    return false;
  }
  const std::string table = basePath + "_constituents.csv";
  const std::string series = basePath + "_tide.csv";
  if (!WriteText(table, TideTableText(run->analysis)) || !WriteText(series, TideSeriesCsvText(run->series, run->predicted))) {
    message = "Unable to write " + table;
    return false;
  }
  message = "Wrote " + table + " and " + series;
  return true;
}

bool TidePanel::SaveAs() {
  if (Run() == nullptr) {
    message = "There is no tide analysis to save.";
    return false;
  }
  FileDialogRequest request;
  request.save = true;
  request.title = "Save the tide analysis";
  char name[32];
  std::snprintf(name, sizeof name, "%06d_tide.csv", state_.logger.serialNumber);
  request.pattern = name;
  request.filter = "Tide analysis (*.csv)";
  const std::optional<std::string> path = state_.ui.ChooseFile(request);
  if (!path || path->empty()) return false;
  std::string base = *path;
  for (const char* suffix : {"_constituents.csv", "_tide.csv", ".csv"})
    if (base.size() > std::string(suffix).size() && base.compare(base.size() - std::string(suffix).size(), std::string::npos, suffix) == 0) {
      base.erase(base.size() - std::string(suffix).size());
      break;
    }
  return Save(base);
}

int TideAnalysisCommand(AppState& state, DialogPresenter& dialogs) {
  const DataSet& data = state.retrieval.data;
  if (data.sampleCount <= 0) {
    state.ui.MessageBox("There is no data to analyse: read a HEX or DAT file, or retrieve a logger's data, first.",
                        "Tide analysis", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    return 0;
  }
  if (!HasTideColumn(data)) {
    state.ui.MessageBox("The data has no depth or pressure channel: there is no water level to analyse.",
                        "Tide analysis", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    return 0;
  }
  TidePanel panel(state);
  if (panel.Run() == nullptr) panel.Analyse();
  dialogs.Run(panel);
  return 1;
}

}  // namespace tmv
