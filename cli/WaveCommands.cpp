// The wave analysis of a tide-and-wave recording read from a HEX file: one
// line of statistics per burst, and the .wave, .tide and KZM csv files.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "analysis/TideWaveFiles.h"
#include "analysis/WaveAnalysis.h"
#include "files/HexFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv::cli {

namespace {

std::string TimeText(const LoggerTime& t) {
  return Format("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void PrintBurst(CliContext& ctx, const DataSet& d, const WaveStore& store, int b, JsonWriter* json) {
  const WaveResult& r = store.results[static_cast<size_t>(b)];
  const double h = r.meanDepth + d.deployment.loggerHeight;
  const double peakPeriod = r.peakFrequency > 0 ? 1.0 / r.peakFrequency : 0.0;
  std::string status = WaveStatusText(r.status);
  if (status.rfind(" - ", 0) == 0) status.erase(0, 3);
  if (json != nullptr) {
    JsonWriter& w = *json;
    w.BeginObject();
    w.Key("burst").Integer(b + 1);
    w.Key("start").Time(r.startTime);
    w.Key("water_depth_m").Number(h);
    w.Key("hs_m").Number(r.hThird);  // Hm0, kept under its first name
    w.Key("hm0_m").Number(r.hThird);
    w.Key("h_third_m").Number(r.hThirdCrossing);
    w.Key("tz_s").Number(r.tAvg);
    w.Key("t_third_s").Number(r.tThird);
    w.Key("hmax_m").Number(r.hMax);
    w.Key("tmax_s").Number(r.tMax);
    w.Key("peak_frequency_hz").Number(r.peakFrequency);
    w.Key("peak_period_s");
    if (r.peakFrequency > 0) w.Number(peakPeriod);
    else w.Null();
    w.Key("status").Integer(r.status);
    w.Key("status_text").String(status.empty() ? "good" : status);
    w.EndObject();
    return;
  }
  ctx.out << Format("%5d  %s  %8.3f  %7.3f  %7.3f  %7.2f  %7.3f  %7.2f  %8.5f  %7.2f  %s\n", b + 1,
                    TimeText(r.startTime).c_str(), h, r.hThird, r.hThirdCrossing, r.tAvg, r.hMax, r.tMax,
                    r.peakFrequency, peakPeriod, status.empty() ? "good" : status.c_str());
}

std::string BaseName(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int Waves(CliContext& ctx) {
  std::string hexPath, csvPath, outDir;
  int burst = 0;
  bool files = false, json = false;
  DerivedOptions derived;
  auto parser = CommandParser("waves", "Usage: tmv-cli waves FILE.hex [--burst N] [--csv OUT.csv] [--files] [-o DIR] [--json]\n"
                                       "                  [--derived LIST] [--latitude DEG] [--atmospheric-pressure DBAR] ...\n\n"
                                       "Analyses the wave bursts of a tide-and-wave recording and prints one line per\n"
                                       "burst: number, start, mean depth of water (m), Hm0 (m, the spectral\n"
                                       "significant wave height 4 sqrt m0, the .wave file's H(1/3)), H1/3 (m, the\n"
                                       "zero-crossing mean of the highest third), Tz (s), Hmax (m), Tmax (s), peak\n"
                                       "frequency (Hz), peak period (s) and status. The bursts become depths as the\n"
                                       "derived depth column does (tmv.ini's depth formula, latitude, atmospheric\n"
                                       "pressure and water density, or the options below); depth is always derived\n"
                                       "here, whatever tmv.ini says.");
  parser->add_option("file", hexPath, "the HEX file of a tide-and-wave recorder")->required();
  parser->add_option("--burst", burst, "print only burst N (from 1)")->check(CLI::PositiveNumber);
  parser->add_option("--csv", csvPath, "write the KZM csv file of the bursts and their surfaces");
  parser->add_flag("--files", files, "write the .wave and .tide files into the kzm directory");
  parser->add_option("-o,--output-dir", outDir, "write the .wave, .tide and .csv files into DIR");
  parser->add_flag("--json", json, "print the results as JSON");
  derived.AddTo(*parser);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;

  AppState& state = ctx.state;
  if (std::string e = derived.Apply(state.settings.derived); !e.empty()) return UsageError(ctx, e);
  // The analysis needs the depth of the bursts.
  state.settings.derived.depthEnabled = true;
  state.settings.derived.anyDerived = true;
  InstallWaveAnalysis(state);  // done at the tool's start; kept for callers that run the command alone
  if (int rc = ReadDataFileInto(ctx, hexPath); rc != kParsed) return rc;
  const DataSet& d = state.retrieval.data;
  const WaveStore* store = WaveResults(state);
  if (store == nullptr || d.burstLength <= 0 || d.burstCount < 0 || store->Count() == 0)
    return ReportFailure(ctx, "The file holds no wave bursts.");
  const int last = std::min(d.burstCount, store->Count() - 1);
  if (burst > last + 1) return ReportFailure(ctx, Format("The file holds %d bursts.", last + 1));

  JsonWriter w;
  if (json) w.BeginObject().Key("file").String(hexPath).Key("bursts").BeginArray();
  else ctx.out << "Burst  Start                Depth(m)   Hm0(m)  H1/3(m)    Tz(s)  Hmax(m)  Tmax(s)   Fp(Hz)    Tp(s)  Status\n";
  for (int b = 0; b <= last; ++b) {
    if (burst != 0 && b != burst - 1) continue;
    PrintBurst(ctx, d, *store, b, json ? &w : nullptr);
  }
  if (json) ctx.out << w.EndArray().EndObject().Text() << "\n";

  const std::string datName = BaseName(hexPath) + ".dat";
  if (files && WriteWaveAndTideFiles(state, WorkPath(state, datName)) != 1)
    return ReportFailure(ctx, state.statusText.empty() ? "The wave and tide files were not written." : state.statusText);
  if (!outDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    const std::string wave = WaveFilePath(outDir, datName);
    if (!WriteTextFile(wave, WaveFileText(state, *store)) || !WriteTextFile(TideFilePath(wave), TideFileText(state)) ||
        !WriteKzmCsv(state, *store, outDir + "/" + BaseName(hexPath) + ".csv"))
      return ReportFailure(ctx, "Unable to write the files into " + outDir);
  }
  if (!csvPath.empty() && !WriteKzmCsv(state, *store, EnsureExtension(csvPath, ".csv")))
    return ReportFailure(ctx, "Unable to write " + csvPath);
  return DamagedFileStatus(ctx, hexPath);
}

const bool registered = [] {
  RegisterCliCommand({"waves", "Wave statistics of a tide-and-wave HEX file; .wave, .tide and csv files", "", Waves});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
