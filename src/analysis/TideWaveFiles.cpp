#include "analysis/TideWaveFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "analysis/WaveAnalysis.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "files/SaveFile.h"
#include "files/WorkFiles.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr uint8_t kSignificantWaveHeightCode = 129;

std::string DateTimeText(const LoggerTime& t) {
  return Format("%04d/%s/%02d %02d:%02d:%02d", t.year, MonthName(t.month), t.day, t.hour, t.minute, t.second);
}

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int LastBurst(const DataSet& d, const WaveStore& store) { return std::min(d.burstCount, store.Count() - 1); }

}  // namespace

std::string WaveFilePath(const std::string& kzmDirectory, const std::string& savedPath) {
  const size_t at = savedPath.find(".dat");
  if (at == std::string::npos) return {};
  return kzmDirectory + "/" + FileName(savedPath.substr(0, at) + ".wave");
}

std::string TideFilePath(const std::string& wavePath) {
  const size_t at = wavePath.find(".wave");
  if (at == std::string::npos) return {};
  return wavePath.substr(0, at) + ".tide" + wavePath.substr(at + 5);
}

std::string WaveFileText(const AppState& state, const WaveStore& store) {
  const DataSet& d = state.retrieval.data;
  std::string out = FileHeaderText(state, 4);
  out += "Date            Time    Number     Depth    H(1/3)    T(1/3)   H(1/10)   T(1/10)    H(max)    T(max)    H(avg)    T(avg)    Energy\n";
  out += "Date            Time    Number         m         m       sec         m       sec         m       sec         m       sec      J/m2\n";
  const double z = d.deployment.loggerHeight;
  for (int b = 0; b <= LastBurst(d, store); ++b) {
    const WaveResult& r = store.results[static_cast<size_t>(b)];
    out += DateTimeText(r.startTime) + " ";
    out += Format("%9d %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f %s\n", b + 1, r.meanDepth + z,
                  r.hThird, r.tThird, r.hTenth, r.tTenth, r.hMax, r.tMax, r.hAvg, r.tAvg, r.energy,
                  WaveStatusText(r.status));
  }
  return WithCrLf(out);
}

std::string TideFileText(const AppState& state) {
  const DataSet& d = state.retrieval.data;
  std::string out = FileHeaderText(state, 3);
  out += "Date            Time      Temp  Pressure    Depth   Td_slope\n";
  out += "Date            Time degrees_C   deciBar        m     m/hour\n";
  const double step = d.sixHzProfiling ? 1.0 / 6.0 : static_cast<double>(std::max(0, d.samplePeriodSeconds));
  LoggerTime base = d.startTime;
  double e = 0.0;
  size_t stamp = 0;
  for (int r = 0; r < d.sampleCount; ++r) {
    while (stamp < d.stamps.size() && d.stamps[stamp].sampleIndex <= r) {
      if (d.stamps[stamp].sampleIndex == r) {
        base = d.stamps[stamp].time;
        e = 0.0;
      }
      ++stamp;
    }
    // Snap to whole seconds, so that 6 Hz rows show the second they fall in.
    const double f = e - std::trunc(e);
    if (f < 0.9 * step) e = std::trunc(e);
    else if (f > 1.0 - 0.9 * step) e = std::trunc(e) + 1.0;
    const LoggerTime t = AddSeconds(base, static_cast<int32_t>(std::trunc(e)));
    out += Format("%04d/%s/%02d ", t.year, MonthName(t.month), t.day);
    out += Format("%02d:%02d:%02d ", t.hour, t.minute, t.second);
    for (int c = 0; c < d.totalChannelCount; ++c) {
      if (c >= d.channelCount && ColumnCode(d, c) == kSignificantWaveHeightCode) continue;
      out += Format("%9.4f ", d.Value(c, r));
    }
    out += "\n";
    e += step;
  }
  return WithCrLf(out);
}

int WriteWaveAndTideFiles(AppState& state, const std::string& savedPath) {
  if (savedPath.find(".dat") == std::string::npos) return 0;
  const std::string kzm = WorkPath(state, "kzm");
  std::error_code ec;
  std::filesystem::create_directory(kzm, ec);
  if (!std::filesystem::is_directory(kzm, ec)) {
    ShowStatus(state, Tr(state, "Error: Unable to create 'kzm' directory"));
    return 0;
  }
  const std::string wavePath = WaveFilePath(kzm, savedPath);
  if (const WaveStore* store = WaveResults(state)) WriteTextFile(wavePath, WaveFileText(state, *store));
  const std::string tidePath = TideFilePath(wavePath);
  if (tidePath.empty()) {
    ShowStatus(state, Tr(state, "Error: Unable to write tide file"));
    return 0;
  }
  WriteTextFile(tidePath, TideFileText(state));
  return 1;
}

namespace {

// The csv text, a line at a time: a full logger's export runs to hundreds
// of megabytes and goes straight to its file.
template <typename Sink>
void KzmCsvLines(const AppState& state, const WaveStore& store, Sink&& sink) {
  const DataSet& d = state.retrieval.data;
  const int n = store.burstLength;
  const int bursts = LastBurst(d, store) + 1;
  const int rate = state.retrieval.waveSampleRate != 0 ? state.retrieval.waveSampleRate : d.deployment.burstRate;
  std::string out = IdentityText(state.logger) + "\r\n";
  out += Format("Bursts:,%d,Samples:,%d,Rate (Hz):,%d,Height:,%f\r\n", bursts, n, rate, d.deployment.loggerHeight);
  sink(out);
  // The time of each burst: the burst stamps in table order.
  std::vector<LoggerTime> times;
  for (const StampRecord& s : d.stamps)
    if (s.type == kStampBurst) times.push_back(s.time);
  for (int first = 0; first < bursts; first += kKzmCsvBlockBursts) {
    const int last = std::min(bursts, first + kKzmCsvBlockBursts);
    out = "\r\nBurst#";
    for (int b = first; b < last; ++b) out += Format(",%d,", b + 1);
    out += "\r\nStart time ";
    for (int b = first; b < last; ++b) {
      const LoggerTime t = static_cast<size_t>(b) < times.size() ? times[static_cast<size_t>(b)]
                                                                 : store.results[static_cast<size_t>(b)].startTime;
      out += Format(",%4d/%s/%02d %02d:%02d:%02d,", t.year, MonthName(t.month), t.day, t.hour, t.minute, t.second);
    }
    out += "\r\n";
    for (int b = first; b < last; ++b) out += ",Depth,Surface";
    out += "\r\n";
    sink(out);
    for (int i = 0; i < n; ++i) {
      out = Format("%d", i + 1);
      for (int b = first; b < last; ++b) out += Format(",%.4f,%.4f", d.Burst(b)[i], store.Surface(b)[i]);
      out += "\r\n";
      sink(out);
    }
  }
}

}  // namespace

std::string KzmCsvText(const AppState& state, const WaveStore& store) {
  std::string text;
  KzmCsvLines(state, store, [&](const std::string& part) { text += part; });
  return text;
}

bool WriteKzmCsv(const AppState& state, const WaveStore& store, const std::string& path) {
  ReplacingFile f(path);
  KzmCsvLines(state, store, [&](const std::string& part) { f.Write(part); });
  return f.Commit();
}

int ExportKzmCsv(AppState& state) {
  const WaveStore* store = WaveResults(state);
  if (!IsTideWaveRecorder(state.logger.model) || store == nullptr || state.retrieval.data.sampleCount <= 0) return 0;
  FileDialogRequest request;
  request.save = true;
  request.title = Tr(state, "Select a 'csv' file for storing the KZM data");
  request.directory = WorkPath(state, "kzm");
  request.pattern = Format("%06d*.csv", state.logger.serialNumber);
  request.filter = Tr(state, "All KZM csv data files (*.csv)");
  request.name = ProposedDataFileName(state, ".csv");
  const auto chosen = state.ui.ChooseFile(request);
  if (!chosen) return 0;
  const std::string path = EnsureExtension(*chosen, ".csv");
  if (FileExists(path)) {
    const std::string text = Format(Tr(state, "%s already exists.\nContinue to overwrite this file?").c_str(), path.c_str());
    if (state.ui.MessageBox(text, Tr(state, "Write File"), MessageButtons::YesNo, MessageIcon::Question,
                            MessageAnswer::No) != MessageAnswer::Yes)
      return 0;
  }
  state.ui.SetWaitCursor(true);
  const bool written = WriteKzmCsv(state, *store, path);
  state.ui.SetWaitCursor(false);
  if (written) ShowStatus(state, Tr(state, "Saved") + " " + path);
  return written ? 1 : 0;
}

}  // namespace tmv
