// The harmonic tide analysis of a recording (HEX or DAT) or of a time,level
// CSV, and the prediction from a saved constituent table.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "analysis/SeawaterFormulas.h"
#include "analysis/TideAnalysis.h"
#include "analysis/TideRecording.h"
#include "files/DataFileIo.h"
#include "files/DatFile.h"
#include "files/Export.h"
#include "files/HexFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"

namespace tmv::cli {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Stem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// "00:10:00", "600s", "10min", "1h".
std::optional<double> StepHours(const std::string& text) {
  int h = 0, m = 0, s = 0, used = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d%n", &h, &m, &s, &used) == 3 && used == static_cast<int>(text.size()))
    return h + m / 60.0 + s / 3600.0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !(v > 0) || !std::isfinite(v)) return std::nullopt;
  const std::string unit = end;
  if (unit == "s") return v / 3600.0;
  if (unit == "min" || unit == "m") return v / 60.0;
  if (unit == "h") return v;
  return std::nullopt;
}

std::string Number(const char* format, double v) {
  if (std::isinf(v)) return "inf";
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  return b;
}

void PrintText(CliContext& ctx, const std::string& file, const TideAnalysis& a) {
  const std::string& u = a.unit;
  ctx.out << "Tide analysis of " << file << ": " << a.validCount << " readings, " << TideTimeText(a.start) << " to "
          << TideTimeText(a.end) << Number(" (%.2f days)", (a.end - a.start) / 24.0) << "\n";
  ctx.out << "Central time " << TideTimeText(a.centre) << Number(", latitude %.2f", a.latitude)
          << Number(", Rayleigh criterion %.2f", a.rayleigh) << "\n";
  ctx.out << "Mean " << Number("%.4f", a.mean) << " " << u << " +/- " << Number("%.4f", a.meanCi);
  if (a.hasTrend) ctx.out << "; trend " << Number("%.5f", a.trendPerDay) << " " << u << "/day +/- " << Number("%.5f", a.trendCi);
  ctx.out << "\n";
  if (a.observedVariance > 0)
    ctx.out << "Residual " << Number("%.4f", std::sqrt(a.residualVariance)) << " " << u << " rms, "
            << Number("%.1f", 100.0 * a.residualVariance / a.observedVariance) << " % of the variance\n";
  ctx.out << "\nName     Freq(cph)   Amp(" << u << ")    +/-95%  Phase(deg)   +/-95%       SNR\n";
  for (const TideConstituentFit& c : a.constituents) {
    char line[160];
    std::snprintf(line, sizeof line, "%-6s %11.7f %9.4f %9.4f %11.2f %8.2f %9s\n", c.name.c_str(), c.frequency,
                  c.amplitude, c.amplitudeCi, c.phase, c.phaseCi, Number("%.3g", c.snr).c_str());
    ctx.out << line;
  }
  for (const TideDropped& d : a.dropped) ctx.out << "Dropped " << d.name << ": " << d.reason << "\n";
}

void PrintJson(CliContext& ctx, const std::string& file, const TideAnalysis& a) {
  JsonWriter w;
  w.BeginObject();
  w.Key("file").String(file);
  w.Key("readings").Integer(a.validCount);
  w.Key("start").String(TideTimeText(a.start));
  w.Key("end").String(TideTimeText(a.end));
  w.Key("centre").String(TideTimeText(a.centre));
  w.Key("latitude").Number(a.latitude);
  w.Key("rayleigh").Number(a.rayleigh);
  w.Key("unit").String(a.unit);
  w.Key("mean").Number(a.mean);
  w.Key("mean_ci95").Number(a.meanCi);
  w.Key("trend_per_day");
  if (a.hasTrend) w.Number(a.trendPerDay);
  else w.Null();
  w.Key("residual_rms").Number(std::sqrt(a.residualVariance));
  w.Key("constituents").BeginArray();
  for (const TideConstituentFit& c : a.constituents) {
    w.BeginObject();
    w.Key("name").String(c.name);
    w.Key("frequency_cph").Number(c.frequency);
    w.Key("amplitude").Number(c.amplitude);
    w.Key("amplitude_ci95").Number(c.amplitudeCi);
    w.Key("phase_deg").Number(c.phase);
    w.Key("phase_ci95_deg").Number(c.phaseCi);
    w.Key("snr").Number(c.snr);  // null when infinite (a noise-free record)
    w.EndObject();
  }
  w.EndArray();
  w.Key("dropped").BeginArray();
  for (const TideDropped& d : a.dropped) w.BeginObject().Key("name").String(d.name).Key("reason").String(d.reason).EndObject();
  w.EndArray();
  w.EndObject();
  ctx.out << w.Text() << "\n";
}

bool WriteFile(const std::string& path, const std::string& text) { return WriteFileReplacing(path, text); }

int Predict(CliContext& ctx, const std::string& tablePath, const std::vector<std::string>& range,
            const std::string& outDir) {
  const std::optional<std::string> text = ReadText(tablePath);
  if (!text) return ReportFailure(ctx, "Unable to read " + tablePath);
  std::string error;
  const std::optional<TideAnalysis> table = ParseTideTable(*text, error);
  if (!table) return ReportFailure(ctx, tablePath + ": " + error);
  const std::optional<TideHours> from = ParseTideTime(range[0]), to = ParseTideTime(range[1]);
  const std::optional<double> step = StepHours(range[2]);
  if (!from || !to) return UsageError(ctx, "--predict FROM TO STEP takes ISO 8601 times (2026-03-01T00:00:00Z)");
  if (!step) return UsageError(ctx, "--predict STEP is hh:mm:ss or a number with s, min or h (600s, 10min)");
  if (!(*to >= *from)) return UsageError(ctx, "--predict: TO comes before FROM");
  const double count = std::floor((*to - *from) / *step + 1e-9) + 1;
  if (count > 10'000'000) return UsageError(ctx, "--predict: more than 10 million times; take a longer STEP");
  std::vector<TideHours> times;
  for (int64_t i = 0; i < static_cast<int64_t>(count); ++i) times.push_back(*from + static_cast<double>(i) * *step);
  const std::vector<double> levels = PredictTide(*table, times);
  std::string csv = "time,predicted\r\n";
  char line[32];
  for (size_t i = 0; i < times.size(); ++i) {
    std::snprintf(line, sizeof line, ",%.4f\r\n", levels[i]);
    csv += TideTimeText(times[i]) + line;
  }
  if (outDir.empty()) {
    ctx.out << csv;
    return kExitOk;
  }
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  const std::string path = (std::filesystem::path(outDir) / (Stem(tablePath) + "_prediction.csv")).string();
  if (!WriteFile(path, csv)) return ReportFailure(ctx, "Unable to write " + path);
  ctx.out << "Wrote " << path << " (" << times.size() << " times)\n";
  return kExitOk;
}

int Tides(CliContext& ctx) {
  std::string file, constituents, offset, outDir, exportPath;
  double rayleigh = 1.0;
  double latitudeArg = 0;
  bool trend = false, json = false;
  std::vector<std::string> predict;
  auto parser = CommandParser(
      "tides",
      "Usage: tmv-cli tides FILE [--constituents M2,S2,...] [--rayleigh R] [--trend] [--utc-offset +HH:MM]\n"
      "                      [--latitude DEG] [--derived ...] [--json] [-o DIR] [--export OUT.nc]\n"
      "       tmv-cli tides TABLE.csv --predict FROM TO STEP [-o DIR]\n\n"
      "Harmonic analysis of the water level of a HEX or DAT recording (its depth, from the\n"
      "pressure channel with the derived-unit settings, else its pressure) or of a CSV of\n"
      "time,level lines (ISO 8601 times, level in m): an ordinary least-squares fit of the\n"
      "mean, a trend if asked for, and the constituents of the standard set of 146 that the\n"
      "record's length resolves (Rayleigh criterion, factor R), with nodal corrections at the\n"
      "central time and Greenwich phases; 95 % confidence intervals from the residual's\n"
      "spectrum and the signal-to-noise ratio (amplitude over its standard error, squared).\n"
      "-o DIR writes the constituent table (NAME_constituents.csv, what --predict reads) and\n"
      "NAME_tide.csv (time, observed, predicted, residual). Times are UTC: --utc-offset gives\n"
      "the logger clock's offset; without it the clock is taken as UTC.\n\n"
      "Exit status: 0 analysed; 1 the file cannot be read or holds no tide to analyse;\n"
      "2 usage error (an unknown constituent name).");
  parser->add_option("file", file, "HEX, DAT or time,level CSV file; with --predict a constituent table")->required();
  parser->add_option("--constituents", constituents, "the constituents to fit, e.g. M2,S2,N2,K1,O1 (default: chosen by the Rayleigh criterion)");
  parser->add_option("--rayleigh", rayleigh, "factor of the Rayleigh criterion (default 1)")->check(CLI::PositiveNumber);
  parser->add_flag("--trend", trend, "fit a linear trend as well");
  parser->add_option("--utc-offset", offset, "the logger clock's offset from UTC, +HH:MM or -HH:MM");
  parser->add_option("--latitude", latitudeArg, "latitude of the site, degrees north (default: the settings' latitude)")
      ->check(CLI::Range(-90.0, 90.0));
  parser->add_flag("--json", json, "print the results as JSON");
  parser->add_option("-o,--output-dir", outDir, "write the constituent table and the series into DIR");
  parser->add_option("--export", exportPath, "with a HEX or DAT file: export it with the analysis (netCDF: the constituents, predicted tide and residual)");
  parser->add_option("--predict", predict, "predict from a saved table: FROM TO STEP")->expected(3);
  // The depth the analysis takes is derived as convert derives it (--latitude above serves both).
  DerivedOptions derived;
  derived.AddTo(*parser, false);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (std::string e = derived.Apply(ctx.state.settings.derived); !e.empty()) return UsageError(ctx, e);
  if (!predict.empty()) return Predict(ctx, file, predict, outDir);

  int offsetMinutes = 0;
  const bool offsetGiven = !offset.empty();
  if (offsetGiven) {
    const std::optional<int> parsed = ParseUtcOffset(offset);
    if (!parsed)
      return UsageError(ctx, "--utc-offset '" + offset + "' is not an offset from UTC: give +HH:MM or -HH:MM (at most 14 hours)");
    offsetMinutes = *parsed;
  }
  TideAnalysisOptions options;
  options.rayleigh = rayleigh;
  options.trend = trend;
  if (!constituents.empty()) {
    std::stringstream list(constituents);
    std::string name;
    while (std::getline(list, name, ','))
      if (!name.empty()) options.constituents.push_back(name);
  }
  AppState& state = ctx.state;
  const std::optional<double> latitude = parser->count("--latitude") > 0 ? std::optional<double>(latitudeArg) : std::nullopt;
  if (latitude) {
    const double a = std::fabs(*latitude);
    state.settings.derived.latitudeDegrees = static_cast<int>(*latitude < 0 ? -std::floor(a) : std::floor(a));
    state.settings.derived.latitudeMinutes = static_cast<float>((a - std::floor(a)) * 60.0);
  }
  options.latitude = latitude ? *latitude : SettingsLatitude(state.settings.derived);

  if (!std::filesystem::is_regular_file(file)) return ReportFailure(ctx, "No such file: " + file);
  const std::string ext = Lower(std::filesystem::path(file).extension().string());
  TideSeries series;
  std::optional<TideAnalysis> analysis;
  std::string error;
  if (!exportPath.empty() && ext == ".csv") return UsageError(ctx, "--export needs a HEX or DAT recording");
  if (!exportPath.empty() && !ExportFormatForPath(exportPath)) return UsageError(ctx, "--export names a .nc or a .csv file");
  if (ext == ".csv") {
    const std::optional<std::string> text = ReadText(file);
    if (!text) return ReportFailure(ctx, "Unable to read " + file);
    std::optional<TideSeries> parsed = ParseTideCsv(*text, offsetMinutes, error);
    if (!parsed) return ReportFailure(ctx, file + ": " + error);
    series = std::move(*parsed);
  } else if (ext == ".hex" || ext == ".dat") {
    // The water level is the depth the derived units give from pressure.
    state.settings.derived.depthEnabled = true;
    state.settings.derived.anyDerived = true;
    if (int rc = ReadDataFileInto(ctx, file); rc != kParsed) return rc;
    if (!offsetGiven)
      ctx.err << "The logger clock's offset from UTC was not given (--utc-offset): its times are taken as UTC.\n";
    TideRunOutcome run = RunTideAnalysis(state.retrieval.data, offsetMinutes, options);
    if (!run.run) return run.usageError ? UsageError(ctx, run.error) : ReportFailure(ctx, file + ": " + run.error);
    state.analysis.tide = std::move(run.run);
    series = state.analysis.tide->series;
    analysis = state.analysis.tide->analysis;
  } else {
    return UsageError(ctx, "the file must be a .hex, .dat or .csv file: " + file);
  }
  if (!analysis) {
    const TideOutcome outcome = AnalyseTide(series, options);
    if (!outcome.analysis)
      return outcome.usageError ? UsageError(ctx, outcome.error) : ReportFailure(ctx, file + ": " + outcome.error);
    analysis = outcome.analysis;
  }
  const TideAnalysis& a = *analysis;
  for (const TideDropped& d : a.dropped) ctx.err << "Dropped " << d.name << ": " << d.reason << "\n";
  if (json) PrintJson(ctx, file, a);
  else PrintText(ctx, file, a);

  if (!outDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    const std::filesystem::path dir(outDir);
    const std::string table = (dir / (Stem(file) + "_constituents.csv")).string();
    const std::string tide = (dir / (Stem(file) + "_tide.csv")).string();
    const std::vector<double> predicted = PredictTide(a, series.times, a.centre);
    if (!WriteFile(table, TideTableText(a)) || !WriteFile(tide, TideSeriesCsvText(series, predicted)))
      return ReportFailure(ctx, "Unable to write the files into " + outDir);
    if (!json) ctx.out << "Wrote " << table << " and " << tide << "\n";
  }
  if (!exportPath.empty()) {
    ExportOptions exportOptions;
    if (offsetGiven) exportOptions.utcOffsetMinutes = offsetMinutes;
    const ExportOutcome written = ExportDataSet(state, exportPath, exportOptions);
    for (const std::string& note : written.notes) ctx.err << note << "\n";
    if (!written.written) return ReportFailure(ctx, written.error);
    if (!json) ctx.out << "Wrote " << exportPath << "\n";
  }
  return DamagedFileStatus(ctx, file);
}

const bool registered = [] {
  RegisterCliCommand({"tides", "Harmonic tide analysis of a HEX, DAT or time,level CSV file; prediction from its table",
                      "", Tides});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
