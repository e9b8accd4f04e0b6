#include "model/CalibrationHistory.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Calibration.h"
#include "model/ConfigTable.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr const char* kCaption = "Calibration History";
constexpr int kMaxHistoryFiles = 1000;  // k is written with three digits
constexpr uint32_t kSingleChannelRecords = 0x00010000;
constexpr uint32_t kSingleChannelRecordBytes = 38;
constexpr uint32_t kSingleChannelHistoryEnd = 1046400;
constexpr size_t kTableBufferSize = 256;

// Lines go to the file with CR LF and, without the line end, to the list.
class HistoryWriter {
 public:
  HistoryWriter(std::FILE* file, std::vector<std::string>& lines) : file_(file), lines_(lines) {}
  void Line(const std::string& text) {
    std::fputs(text.c_str(), file_);
    std::fputs("\r\n", file_);
    lines_.push_back(text);
  }
  // A record's date: written as "\n%s\n", a blank line and the date.
  void DateLine(const std::string& text) {
    Line("");
    Line(text);
  }

 private:
  std::FILE* file_;
  std::vector<std::string>& lines_;
};

bool ReadTwoDigits(const char* p, int& value) {
  if (!std::isdigit(static_cast<unsigned char>(p[0])) || !std::isdigit(static_cast<unsigned char>(p[1]))) return false;
  value = (p[0] - '0') * 10 + (p[1] - '0');
  return true;
}

std::string DateText(int yy, int mm, int dd, int hh, int mi, int ss) {
  return Format("%4d/%s/%02d %02d:%02d:%02d", yy + 2000, MonthName(mm), dd, hh, mi, ss);
}

std::string MicrochipCoefficientLine(int channel, const CoefficientRow& c) {
  bool large = false;
  for (double v : c)
    if (std::fabs(v) > 1e6) large = true;
  if (large) return Format("%3d: %23.15e %23.15e %23.15e %23.15e ", channel, c[0], c[1], c[2], c[3]);
  return Format("%3d: %.15f %.15f %.15f %.15f ", channel, c[0], c[1], c[2], c[3]);
}

void ListMicrochip(AppState& state, HistoryWriter& out) {
  uint8_t table[kTableBufferSize];
  int records = 0;
  for (int r = 0; r <= 0xFFFF; ++r) {
    std::memset(table, 0, sizeof table);
    if (ReadTable(state, Format("V%02X%02X00", r & 0xFF, (r >> 8) & 0xFF), table, sizeof table) != 1) break;
    const std::string_view text(reinterpret_cast<const char*>(table), sizeof table - 16);
    size_t tag = text.find("CAL");
    bool incomplete = false;
    if (tag == std::string_view::npos) {
      tag = text.find("CMM");
      incomplete = true;
    }
    if (tag == std::string_view::npos) break;
    int f[6] = {};
    for (int i = 0; i < 6; ++i)
      if (!ReadTwoDigits(text.data() + tag + 3 + 2 * i, f[i])) f[i] = 0;
    std::string date = DateText(f[0], f[1], f[2], f[3], f[4], f[5]);
    if (incomplete) date += Tr(state, " incomplete calibration");
    out.DateLine(date);
    ++records;

    for (int n = 1; n <= state.logger.channelCount && n <= kMaxChannels; ++n) {
      std::memset(table, 0, sizeof table);
      const std::string command = Format("V%02X%02X%02X", r & 0xFF, (r >> 8) & 0xFF, n);
      // An incomplete record may lack channels; list those it has.
      if (ReadTable(state, command, table, sizeof table) != 1) continue;
      out.Line(MicrochipCoefficientLine(n, RowFromBytes(table)));
    }
  }
  if (records == 0) out.Line(Tr(state, "Logger not yet calibrated"));
}

void ListLegacyMultiChannel(AppState& state, HistoryWriter& out) {
  CalibrationSet& cal = state.calibration;
  const auto coefficients = cal.coefficients;
  const auto date = cal.calibrationDate;
  cal.nextRecordOffset = 0;
  int r;
  do {
    bool notCalibrated = false;
    r = ReadCalibrationLegacy(state, false, &notCalibrated);
    if (r == 0) {
      out.Line(Tr(state, notCalibrated ? "Logger not yet calibrated."
                                       : "Download Error in reading calibration coefficients"));
      if (!notCalibrated) {
        // Each record read replaced the set: an earlier one is not the
        // current calibration, so keep what was held and read it again later.
        cal.coefficients = coefficients;
        cal.calibrationDate = date;
        state.logger.calibrationStale = true;
      }
      break;
    }
    const auto& d = cal.calibrationDate;
    out.DateLine(DateText(d[0], d[1], d[2], d[3], d[4], d[5]));
    for (int ch = 0; ch < state.logger.channelCount && ch < kMaxChannels; ++ch) {
      const CoefficientRow& c = cal.coefficients[static_cast<size_t>(ch)];
      out.Line(Format("%3d: %18.15f %18.15f %18.15f %18.15f ", ch + 1, c[0], c[1], c[2], c[3]));
    }
  } while (r == 2);
}

void ListSingleChannel(AppState& state, HistoryWriter& out) {
  const LoggerInfo& info = state.logger;
  const bool summed =
      (IsTemperatureRecorder(info.model) && FirmwareAbove(info.firmwareVersion, 1.5)) || IsDepthRecorder(info.model);
  int records = 0;
  uint8_t block[64];
  for (uint32_t address = kSingleChannelRecords; address < kSingleChannelHistoryEnd;
       address += kSingleChannelRecordBytes) {
    bool good = false;
    for (int attempt = 0; attempt < 5 && !good; ++attempt) {
      if (attempt > 0) DelayMs(state, 300);
      std::memset(block, 0, sizeof block);
      const size_t n = ReadMemory(state, address, address + 39, block, 40);
      good = n >= 39 && !(n == 40 && summed && Sum8(block, 39) != block[39]);
    }
    if (!good) {
      state.ui.MessageBox(Tr(state, "Download Error"), Tr(state, kCaption), MessageButtons::Ok,
                          MessageIcon::Exclamation, MessageAnswer::Ok);
      return;
    }
    if (block[0] == 0xFF) break;
    const LoggerTime t = TimeFromBcd(block);
    out.DateLine(Format("%04d/%s/%02d %02d:%02d:%02d", t.year, MonthName(t.month), t.day, t.hour, t.minute,
                        t.second));
    const CoefficientRow c = RowFromBytes(block + 6);
    out.Line(Format("%18.15f %18.15f %18.15f %18.15f ", c[0], c[1], c[2], c[3]));
    ++records;
  }
  // Said only when there is nothing else to show: after listed records it
  // would contradict them.
  if (records == 0) out.Line(Tr(state, "Logger not yet calibrated."));
}

}  // namespace

std::string CalibrationHistoryPath(const std::string& directory, int serialNumber, int k) {
  return Format("%s/%06d.%03d.his", directory.c_str(), serialNumber, k);
}

CalibrationHistory WriteCalibrationHistory(AppState& state) {
  return WriteCalibrationHistory(state, state.directories.work);
}

CalibrationHistory WriteCalibrationHistory(AppState& state, const std::string& directory) {
  CalibrationHistory history;
  const LoggerInfo& info = state.logger;
  // The channels must be known before the records can be listed.
  if (info.microchipLogger) {
    if (GetConfigTable(state) != 1) return history;
  } else if (IsMultiChannelModel(info.model)) {
    if (CommGet(state, 16) != 1) return history;
  }

  std::FILE* file = nullptr;
  std::error_code ec;
  const std::string dir = directory.empty() ? std::string(".") : directory;
  for (int k = 0; k < kMaxHistoryFiles; ++k) {
    const std::string path = CalibrationHistoryPath(dir, info.serialNumber, k);
    if (std::filesystem::exists(path, ec)) continue;
    file = std::fopen(path.c_str(), "wb");
    history.path = path;
    break;
  }
  if (file == nullptr) {
    state.ui.MessageBox(Tr(state, "Calibration History error - unable to open file"), Tr(state, kCaption),
                        MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    history.path.clear();
    return history;
  }

  HistoryWriter out(file, history.lines);
  out.Line(Format("TMV Data Logger: %s %5.2f %06d", info.model.c_str(), static_cast<double>(info.firmwareVersion),
                  info.serialNumber));
  if (info.microchipLogger)
    ListMicrochip(state, out);
  else if (IsMultiChannelModel(info.model))
    ListLegacyMultiChannel(state, out);
  else
    ListSingleChannel(state, out);
  const bool written = std::fclose(file) == 0;

  ShowStatus(state, Format(Tr(state, "Calibration history written to file %s").c_str(), history.path.c_str()));
  history.result = written ? 1 : 0;
  return history;
}

}  // namespace tmv
