#include "files/DatFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/DerivedUnitsDialog.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr uint8_t kSignificantWaveHeight = 129;

void Warn(AppState& state, const std::string& text, const std::string& caption) {
  state.ui.MessageBox(text, caption, MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
}

double RowPeriod(const DataSet& d) {
  return d.sixHzProfiling ? SixHzPeriodSeconds() : static_cast<double>(d.samplePeriodSeconds);
}

// The row-time rule: the seconds t since the last stamp, moved to a whole
// second when within 0.9 periods of one, so that sub-second periods still
// give the times the logger wrote. The writer and the reader share it.
double SnapToRowSecond(double t, double period) {
  const double whole = std::trunc(t);
  const double f = t - whole;
  if (f >= 0.9 * period && f > 1.0 - 0.9 * period) return whole + 1.0;
  if (f < 0.9 * period) return whole;
  return t;
}

}  // namespace

double SixHzPeriodSeconds() { return std::bit_cast<double>(uint64_t{0x3FC5555555555561}); }

void AppendDatRows(std::string& out, const DataSet& d, int timeFormat, int first, int last, const LoggerTime& base,
                   double offset, const std::function<void(std::string&)>& flush) {
  const double p = RowPeriod(d);
  const int columns = std::clamp(d.totalChannelCount, 1, kMaxColumns);
  last = std::min(last, d.sampleCount - 1);
  LoggerTime b = base;
  double t = offset;
  size_t si = 0;
  const size_t stampCount = d.stamps.size();
  while (si < stampCount && d.stamps[si].sampleIndex < first) ++si;
  char buffer[64];
  for (int r = first; r <= last; ++r) {
    while (si < stampCount && d.stamps[si].sampleIndex < r) ++si;
    while (si < stampCount && d.stamps[si].sampleIndex == r) {
      b = d.stamps[si++].time;
      t = 0.0;
    }
    t = SnapToRowSecond(t, p);
    if (timeFormat != 0) {
      const LoggerTime rt = AddSeconds(b, static_cast<int32_t>(std::trunc(t)));
      int n;
      if (timeFormat == 2)
        n = std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d ", rt.year, rt.month, rt.day, rt.hour,
                          rt.minute, rt.second);
      else
        n = std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d ", rt.hour, rt.minute, rt.second);
      out.append(buffer, static_cast<size_t>(n));
    }
    for (int c = 0; c < columns; ++c) {
      if (d.columnCodes[static_cast<size_t>(c)] == kSignificantWaveHeight && c >= d.channelCount) continue;
      const int n = std::snprintf(buffer, sizeof buffer, "%9.4f ", static_cast<double>(d.Value(c, r)));
      out.append(buffer, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1)));
    }
    out += "\r\n";
    t += p;
    if (flush && out.size() >= (size_t{1} << 20)) flush(out);
  }
}

std::string DatFileText(const AppState& state) {
  const DataSet& d = state.retrieval.data;
  std::string out = FileHeaderText(state, kHeaderModeDat);
  out.reserve(out.size() + static_cast<size_t>(d.sampleCount) * (static_cast<size_t>(d.totalChannelCount) * 10 + 24));
  AppendDatRows(out, d, std::clamp(state.settings.datFormat, 0, 2), 0, d.sampleCount - 1, d.startTime, 0.0);
  return out;
}

bool WriteDatFile(AppState& state, const std::string& path, int* error) {
  // Written a megabyte at a time: the rows of a full logger are several
  // times its image and need never be in memory at once.
  const DataSet& d = state.retrieval.data;
  ReplacingFile f(path);
  std::string out = FileHeaderText(state, kHeaderModeDat);
  AppendDatRows(out, d, std::clamp(state.settings.datFormat, 0, 2), 0, d.sampleCount - 1, d.startTime, 0.0,
                [&f](std::string& piece) {
                  f.Write(piece);
                  piece.clear();
                });
  f.Write(out);
  const bool committed = f.Commit();
  if (error != nullptr) *error = f.Error();
  return committed;
}

// ---------------------------------------------------------------- screen segments

std::string SegmentFileText(const AppState& state, int first, int last) {
  const DataSet& d = state.retrieval.data;
  first = std::clamp(first, 0, std::max(d.sampleCount - 1, 0));
  last = std::clamp(last, first, std::max(d.sampleCount - 1, 0));
  const double p = RowPeriod(d);
  // The segment's first row time: from the last stamp at or before it.
  LoggerTime base = d.startTime;
  int baseRow = 0;
  for (const StampRecord& s : d.stamps) {
    if (s.sampleIndex > first) break;
    base = s.time;
    baseRow = s.sampleIndex;
  }
  const double span = (first - baseRow) * p;
  const LoggerTime start = AddSeconds(base, static_cast<int32_t>(std::trunc(span)));
  // Six-hertz rows keep their phase within the second (whole-period data has none).
  const double offset = span - std::trunc(span);

  HeaderOverrides overrides;
  overrides.startTime = start;
  overrides.sampleCount = d.sampleCount == 0 ? 0 : last - first + 1;
  const std::string header = FileHeaderText(state, kHeaderModeDat, overrides);
  std::string out;
  out.reserve(header.size() + static_cast<size_t>(last - first + 1) * (static_cast<size_t>(d.totalChannelCount) * 10 + 24));
  // Stamp lines: those of rows outside the segment go, the others are renumbered.
  LineReader reader(header);
  std::string_view line;
  while (reader.Next(line, header.size())) {
    if (!Contains(line, "Timestamp")) {
      out.append(line);
      out += "\r\n";
      continue;
    }
    const size_t at = line.find("sample ");
    int sample = 0;
    if (at == std::string_view::npos || std::sscanf(FromColumn(line, at + 7).c_str(), "%d", &sample) != 1) continue;
    const bool typed = Contains(line, " of type:");
    const int row = typed ? sample - 1 : sample;  // typed lines count from 1
    if (row < first || row > last) continue;
    out.append(line.substr(0, at + 7));
    out += std::to_string(sample - first);
    const size_t rest = line.find(" of type:");
    if (rest != std::string_view::npos) out.append(line.substr(rest));
    out += "\r\n";
  }
  if (d.sampleCount > 0) AppendDatRows(out, d, std::clamp(state.settings.datFormat, 0, 2), first, last, start, offset);
  return out;
}

int SaveScreenSegment(AppState& state, int first, int last) {
  WorkDirectories& dirs = state.directories;
  if (!FileExists(dirs.dat)) {
    Warn(state,
         Tr(state, "This software attempts to remember your most recent selection of path to your files\nand to use it for subsequent reads and saves.\n\nThe path calculated for the current operation does not exist and will be changed to your TMV directory."),
         Tr(state, "Save Dat File"));
    dirs.dat = WorkPath(state, "dat");
  }
  FileDialogRequest request;
  request.save = true;
  request.title = Tr(state, "Select a 'dat' file for storing the data");
  request.directory = dirs.dat;
  request.pattern = Format("%06d*.dat", state.logger.serialNumber);
  request.filter = Tr(state, "All Data Files (*.dat)");
  const auto chosen = state.ui.ChooseFile(request);
  if (!chosen) return 0;
  const std::string path = EnsureExtension(*chosen);
  dirs.dat = DirectoryOfCurrentFile(path, 2, dirs.dat);
  if (FileExists(path) &&
      state.ui.MessageBox(Format(Tr(state, "%s already exists.\nContinue to overwrite this file?").c_str(), path.c_str()),
                          Tr(state, "Write File"), MessageButtons::YesNo, MessageIcon::Question,
                          MessageAnswer::No) != MessageAnswer::Yes)
    return 0;
  AddRecentFile(state, path);
  int error = 0;
  if (!WriteFileReplacing(path, SegmentFileText(state, first, last), &error)) {
    Warn(state, WriteFailureText(path, error), Tr(state, "Write File"));
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------- reading

namespace {

bool IsBlank(std::string_view line) {
  for (char ch : line)
    if (ch != ' ' && ch != '\t' && ch != '\r') return false;
  return true;
}

size_t CountLines(std::string_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

// The times a DAT row carries (time formats 1 and 2). The header lists only
// some kinds of stamp; a row whose time is not the one the row-time rule
// gives from the stamps read so far follows a stamp the header left out
// (a restart), and gets one, so that it and the rows after it keep their times.
class RowTimes {
 public:
  RowTimes(const DataSet& d, int timeFormat) : d_(d), format_(timeFormat), period_(RowPeriod(d)), base_(d.startTime) {}

  void Row(int r, std::string_view line) {
    while (next_ < d_.stamps.size() && d_.stamps[next_].sampleIndex < r) ++next_;
    while (next_ < d_.stamps.size() && d_.stamps[next_].sampleIndex == r) {
      base_ = d_.stamps[next_++].time;
      t_ = 0.0;
    }
    t_ = SnapToRowSecond(t_, period_);
    const LoggerTime expected = AddSeconds(base_, static_cast<int32_t>(std::trunc(t_)));
    LoggerTime carried;
    if (Carried(line, expected, carried) && CompareTimes(carried, expected) != 0) {
      StampRecord s;
      s.sampleIndex = r;
      s.type = kStampTime;
      s.time = carried;
      added_.push_back(s);
      base_ = carried;
      t_ = 0.0;
    }
    t_ += period_;
  }

  // The stamps found, after those of the header at the same row (they are
  // applied in table order, so the row's own time wins).
  void AddStampsTo(DataSet& d) const {
    if (added_.empty()) return;
    d.stamps.insert(d.stamps.end(), added_.begin(), added_.end());
    std::stable_sort(d.stamps.begin(), d.stamps.end(),
                     [](const StampRecord& a, const StampRecord& b) { return a.sampleIndex < b.sampleIndex; });
    if (d.stamps.size() > static_cast<size_t>(kMaxStamps)) d.stamps.resize(static_cast<size_t>(kMaxStamps));
  }

 private:
  // The time at the start of the row: the date and time (format 2), or the
  // time of day on the day nearest the expected time (format 1).
  bool Carried(std::string_view line, const LoggerTime& expected, LoggerTime& t) const {
    if (format_ == 0) return false;
    const std::string head(line.substr(0, format_ == 2 ? 19 : 8));
    int y = expected.year, mo = expected.month, day = expected.day, h = 0, mi = 0, se = 0;
    const bool read = format_ == 2 ? std::sscanf(head.c_str(), "%4d/%2d/%2d %2d:%2d:%2d", &y, &mo, &day, &h, &mi, &se) == 6
                                   : std::sscanf(head.c_str(), "%2d:%2d:%2d", &h, &mi, &se) == 3;
    if (!read || y < 1601 || y > 9999 || mo < 1 || mo > 12 || day < 1 || day > 31 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || se < 0 || se > 59)
      return false;
    t = LoggerTime{};
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(day);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(se);
    t = FromTicks(ToTicks(t));
    if (format_ == 1) {
      const int32_t off = SignedSecondsBetween(t, expected);
      if (off > 43200) t = AddSeconds(t, -86400);
      else if (off < -43200) t = AddSeconds(t, 86400);
    }
    return true;
  }

  const DataSet& d_;
  int format_;
  double period_;
  LoggerTime base_;
  double t_ = 0.0;
  size_t next_ = 0;
  std::vector<StampRecord> added_;
};

}  // namespace

Outcome ReadDatFile(AppState& state, int mode, const std::string& chosenPath) {
  RetrievalState& r = state.retrieval;
  // 1. Nothing of an earlier file's header stays.
  r.memoryType = 0;
  r.waveSampleRate = 0;
  r.comment.clear();
  std::string path = chosenPath;
  const Outcome notDat = Outcome::Of(OutcomeKind::Failed, "This file is not an TMV DAT file");
  // 2. The open-file dialog.
  if (mode == 1) {
    FileDialogRequest request;
    request.title = Tr(state, "Select an existing 'dat' file to be opened");
    request.directory = state.directories.dat;
    request.pattern = state.logger.serialNumber > 0 ? Format("%06d*.dat", state.logger.serialNumber) : "*.dat";
    request.filter = Tr(state, "All Data Files (*.dat)");
    const auto chosen = state.ui.ChooseFile(request);
    if (!chosen) return Outcome::Of(OutcomeKind::Cancelled, "");
    path = *chosen;
    if (!Contains(path, ".dat")) return notDat;
    state.directories.dat = DirectoryOfCurrentFile(path, 2, state.directories.dat);
  }
  // 3. Open it, or its namesake in the work directory's dat folder.
  bool tooLarge = false;
  std::optional<std::string> text = ReadDataFile(path, kMaxDatFileBytes, &tooLarge);
  if (!text && !tooLarge && Contains(path, "dat")) {
    const size_t slash = path.find_last_of('/');
    const std::string alternative = WorkPath(state, "dat/" + path.substr(slash == std::string::npos ? 0 : slash + 1));
    text = ReadDataFile(alternative, kMaxDatFileBytes, &tooLarge);
    if (text) path = alternative;
  }
  if (tooLarge)
    return Outcome::Of(OutcomeKind::Refused, "%s is larger than any data file this program writes.\nIt is not read.", {path});
  if (!text) {
    RemoveRecentFile(state, path);
    return Outcome::Of(OutcomeKind::Failed, "File does not exist");
  }
  return ReadDatText(state, path, *text);
}

Outcome ReadDatText(AppState& state, const std::string& path, std::string_view text) {
  RetrievalState& r = state.retrieval;
  ReadNotes notes;
  LineReader reader(text);
  std::string_view line;
  const bool haveFirst = reader.Next(line);
  // 4. Tide-and-wave loggers keep their bursts in the HEX file.
  if (haveFirst && Contains(line.substr(0, 99), "KZM")) {
    std::string hexPath = path;
    const size_t datDir = hexPath.find("/dat");
    if (datDir != std::string::npos) hexPath.replace(datDir, 4, "/hex");
    const size_t ext = hexPath.rfind(".dat");
    if (ext != std::string::npos) hexPath.replace(ext, 4, ".hex");
    if (FileExists(hexPath)) {
      if (state.settings.derived.depthEnabled) return ReadHexFile(state, 0, hexPath);
      return KzmNeedsDepth(state, kKzmReadHexFile, hexPath);
    }
    notes.Add(
         Tr(state, "This program was unable to find the extended wave data for this\nKZM logger expected to be in the associated '.hex' file.\nIf this file has been moved or renamed,\nopen it directly using the 'Read a HEX file' menu item.\n\nThe temperature/pressure tide data will be displayed."));
  }
  // 5. The identity line.
  state.ui.SetStatusText(Format("Data from file: %s", path.c_str()), false);
  if (!haveFirst || !Contains(line, "TMV")) return Outcome::Of(OutcomeKind::Failed, "This file is not an TMV DAT file");
  // 6. The header, stamps included.
  FileHeader header;
  header.logger = state.logger;
  if (Outcome parsed = ParseFileHeader(state, line, reader, kHeaderModeDat, header); !parsed.Ok()) return parsed;
  ApplyFileHeader(state, header);
  DataSet& d = r.data;
  d.Clear();
  d.channelCount = header.channelCount;
  d.totalChannelCount = header.channelCount;
  d.channelTypes = state.logger.channelTypes;
  d.columnCodes = {};
  for (int c = 0; c < d.channelCount; ++c) d.columnCodes[static_cast<size_t>(c)] = d.channelTypes[static_cast<size_t>(c)];
  d.stamps = header.stamps;
  d.startTime = header.deployment.startTime;
  d.sixHzProfiling = header.deployment.sixHzMode;
  d.samplePeriodSeconds = static_cast<int>(ClockSeconds(header.deployment.samplingPeriod));
  d.gainChannelMask = 0;
  // 7. Arrays for the rows the file can hold at most.
  const size_t linesLeft = CountLines(reader.Rest());
  int rows = static_cast<int>(std::min<size_t>(static_cast<size_t>(header.sampleCount), linesLeft));
  const int poolRows = static_cast<int>(kValuePoolSize / static_cast<size_t>(d.channelCount)) - 2;
  rows = std::min(rows, poolRows);
  d.LayOut(d.channelCount, rows);
  std::array<float, kMaxChannels> minimum{}, maximum{};
  std::array<bool, kMaxChannels> hasRange{};
  // 8. The rows, and the times they carry.
  RowTimes times(d, header.timeFormat);
  int notNumbers = 0;
  bool lost = header.sampleCount > rows;
  int row = 0;
  for (; row < rows; ++row) {
    bool have = false;
    while (reader.Next(line, size_t{1} << 20)) {
      if (!IsBlank(line)) {
        have = true;
        break;
      }
    }
    if (!have) {
      lost = true;
      break;
    }
    times.Row(row, line);
    if (header.valueColumn > 0) line.remove_prefix(std::min(line.size(), static_cast<size_t>(header.valueColumn - 1)));
    const char* p = line.data();
    const char* end = p + line.size();
    int c = 0;
    for (; c < d.channelCount; ++c) {
      while (p < end && (*p == ' ' || *p == '\t')) ++p;
      if (p >= end) break;
      if (*p == '+') ++p;
      float v = 0.0f;
      const auto result = std::from_chars(p, end, v);
      if (result.ec != std::errc() || std::isnan(v)) {
        ++notNumbers;
        v = kInvalidValue;
        while (p < end && *p != ' ' && *p != '\t') ++p;
      } else {
        p = result.ptr;
      }
      d.Column(c)[row] = v;
      if (v >= -999.0f && std::isfinite(v)) {
        const size_t k = static_cast<size_t>(c);
        if (!hasRange[k]) {
          hasRange[k] = true;
          minimum[k] = maximum[k] = v;
        } else {
          if (v < minimum[k]) minimum[k] = v;
          if (v >= maximum[k]) maximum[k] = v;
        }
      }
    }
    if (c < d.channelCount) {
      if (reader.AtEnd()) {
        lost = true;  // the file ends inside this row
        break;
      }
      notNumbers += d.channelCount - c;
      for (; c < d.channelCount; ++c) d.Column(c)[row] = kInvalidValue;
    }
  }
  d.sampleCount = row;
  for (int c = 0; c < d.channelCount; ++c) {
    d.Column(c)[row] = hasRange[static_cast<size_t>(c)] ? minimum[static_cast<size_t>(c)] : kInvalidValue;
    d.Column(c)[row + 1] = hasRange[static_cast<size_t>(c)] ? maximum[static_cast<size_t>(c)] : kInvalidValue;
  }
  r.fileDamaged = lost || notNumbers > 0;
  NoteHeaderDamage(state, header, notes);
  if (lost) notes.Add(Tr(state, "Error while reading file data.\nThe file has lost data.\nThe available data will be plotted."));
  if (notNumbers > 0)
    notes.Add(Format(Tr(state, "Error while reading file data.\n%d values are not numbers; they are shown as missing.").c_str(), notNumbers));
  times.AddStampsTo(d);
  ClassifyStamps(d);
  // 9. A DAT file carries no memory image.
  d.fromDatFile = true;
  d.unsaved = false;
  r.dataFromFile = true;
  r.currentFile = path;
  r.image.imageLength = 0;
  if (r.hooks.addDerivedChannels) r.hooks.addDerivedChannels(d);
  EnableDataCommands(state);
  if (!r.comment.empty()) state.ui.SetStatusText(Format("Data from file: %s - %s", path.c_str(), r.comment.c_str()), false);
  AddRecentFile(state, path);
  return notes.Result();
}

// ---------------------------------------------------------------- the caption companion file

namespace {

struct Caption {
  const char* english;
  const char16_t* translation;
};

constexpr Caption kCaptions[] = {
    {"Host time", u"\u4E3B\u6A5F\u6642\u9593"},
    {"Logger time", u"\u767B\u9304\u6642\u9593"},
    {"Logging start", u"\u8A18\u9304\u958B\u59CB"},
    {"Logging end", u"\u8A18\u9304\u7D50\u675F"},
    {"Sample period", u"\u53D6\u6A23\u9031\u671F"},
    {"Number of channels", u"\u901A\u9053\u6578"},
    {"Calibration", u"\u6821\u6E96"},
    {"Correction to conductivity", u"\u96FB\u5C0E\u7387\u4FEE\u6B63"},
    {"COMMENT", u"\u8A3B\u89E3"},
    {"Engineering units level", u"\u5DE5\u7A0B\u55AE\u4F4D\u7B49\u7D1A"},
    {"Memory type", u"\u8A18\u61B6\u9AD4\u985E\u578B"},
    {"Averaging", u"\u5E73\u5747"},
    {"Timestamp", u"\u6642\u9593\u6233\u8A18"},
    {"Logger start", u"\u8A18\u9304\u5668\u555F\u52D5"},
};

constexpr Caption kStartModes[] = {
    {"Above threshold", u"\u4E0A\u9650"},
    {"Below threshold", u"\u4E0B\u9650"},
    {"Inside thresholds", u"\u5728\u7BC4\u570D\u4E2D"},
    {"Outside thresholds", u"\u8D85\u51FA\u7BC4\u570D"},
};

void PutUnit(std::string& out, char16_t u) {
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}
void PutLatin1(std::string& out, std::string_view text) {
  for (char ch : text) PutUnit(out, static_cast<char16_t>(static_cast<uint8_t>(ch)));
}
void PutUtf16(std::string& out, const char16_t* text) {
  for (; *text != 0; ++text) PutUnit(out, *text);
}

}  // namespace

std::string CaptionFileBytes(const std::string& headerText) {
  std::string out;
  out.push_back(static_cast<char>(0xFF));
  out.push_back(static_cast<char>(0xFE));
  LineReader reader(headerText);
  std::string_view line;
  while (reader.Next(line, headerText.size() + 1)) {
    const Caption* caption = nullptr;
    for (const Caption& c : kCaptions)
      if (line.substr(0, std::strlen(c.english)) == c.english) {
        caption = &c;
        break;
      }
    if (caption == nullptr) {
      PutLatin1(out, line);
    } else {
      const size_t n = std::strlen(caption->english);
      PutLatin1(out, caption->english);
      PutLatin1(out, " <");
      PutUtf16(out, caption->translation);
      PutLatin1(out, ">\t");
      std::string_view rest = line.substr(n);
      while (!rest.empty() && (rest[0] == ' ' || rest[0] == ':')) rest.remove_prefix(1);
      // A threshold start mode names its limit in the second language too.
      for (const Caption& m : kStartModes) {
        const size_t at = rest.find(m.english);
        if (at == std::string_view::npos) continue;
        PutLatin1(out, rest.substr(0, at));
        PutUtf16(out, m.translation);
        rest.remove_prefix(at + std::strlen(m.english));
        break;
      }
      PutLatin1(out, rest);
    }
    PutLatin1(out, "\r\n");
  }
  return out;
}

std::string CaptionFilePath(const std::string& datPath) {
  const size_t ext = datPath.rfind(".dat");
  return (ext == std::string::npos ? datPath : datPath.substr(0, ext)) + ".chn.txt";
}

// ---------------------------------------------------------------- the format dialog

WriteFormatDialog::WriteFormatDialog(AppState& state) : state_(state) {
  const int f = state.settings.datFormat;
  checked_ = f == 0 ? kValuesOnly : f == 1 ? kTimeAndValues : kDateTimeAndValues;
}

const char* WriteFormatDialog::Text(int control) {
  switch (control) {
    case kValuesOnly: return "One reading per line                 - 23.1564";
    case kTimeAndValues: return "Time and reading per line         - 12:30:00 23.1564";
    case kDateTimeAndValues: return "Date, time and reading per line - 2000/06/21 12:30:00 23.1564";
    default: return "";
  }
}

void WriteFormatDialog::Check(int control) {
  if (control == kValuesOnly || control == kTimeAndValues || control == kDateTimeAndValues) checked_ = control;
}

int WriteFormatDialog::Ok() {
  state_.settings.datFormat = checked_ == kValuesOnly ? 0 : checked_ == kTimeAndValues ? 1 : 2;
  return SaveSettings(state_);
}

}  // namespace tmv
