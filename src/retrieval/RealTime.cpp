#include "retrieval/RealTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "analysis/DerivedChannels.h"
#include "analysis/WaveAnalysis.h"
#include "deployment/SetupCommands.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "files/WorkFiles.h"
#include "link/LoggerLink.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "retrieval/Gps.h"
#include "retrieval/SampleDecoder.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

std::string Format1(const char* format, const std::string& a) {
  char b[1024];
  std::snprintf(b, sizeof b, format, a.c_str());
  return b;
}

bool AppendToFile(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

std::string HexDirectory(const AppState& state) {
  return state.directories.hexOutput.empty() ? WorkPath(state, "hex") : state.directories.hexOutput;
}

// Bytes as the HEX dump writes them: "%02X", a line end after every 24 and
// one at the end of the append.
void AppendDumpLines(std::string& out, const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
    if ((i + 1) % 24 == 0 && i + 1 < count) out += "\r\n";
  }
  out += "\r\n";
}

// Extended-range channels carry their gain in the three low bits.
bool HasGainBits(uint8_t type) { return type == 'y' || type == 'f' || type == 'g' || type == 'z'; }

// The raw count to write for a value received in engineering units: the one
// that the file's reader turns back into the value nearest to it. The
// nearest count by the calibration alone may be odd, and the reader takes an
// odd count of an ordinary channel for an over-range mark and moves it by
// 2^24. An extended-range channel's three low bits are its gain, cleared.
uint32_t RawReadingBackAs(const AppState& state, uint8_t type, int c, double value) {
  const uint32_t nearest =
      NearestRawForValue(state.calibration.coefficients[static_cast<size_t>(c)], type == 'T', value);
  if (HasGainBits(type)) return nearest & ~7u;
  uint32_t best = nearest;
  double bestError = std::numeric_limits<double>::infinity();
  for (const uint32_t candidate : {nearest, nearest - 1, nearest + 1}) {
    if (candidate > 0xFFFFFFu) continue;
    const double error = std::fabs(ConvertStoredReading(state.logger, state.calibration, type, candidate, c) - value);
    if (error < bestError) {
      bestError = error;
      best = candidate;
    }
  }
  return best;
}


// The DataSet sized once for the whole collection: every column, measured
// and derived, holds kValuePoolSize / columns values.
void PrepareDataSet(AppState& state) {
  DataSet& d = state.retrieval.data;
  const DeploymentSettings& dep = state.deployment;
  d.Clear();
  d.deployment = dep;
  // The clocks and status the logger told, for the file header.
  d.hostTime = dep.hostClockAtRead;
  d.loggerTime = dep.loggerClock;
  d.loggerStatus = state.query.loggerStatus;
  d.samplePeriodSeconds = static_cast<int>(std::max<uint32_t>(ClockSeconds(dep.samplingPeriod), 1));
  d.sixHzProfiling = dep.sixHzMode;
  d.startTime = state.clock.LocalTime();
  d.headerLength = MemoryHeaderLength(state.logger);
  d.burstLength = state.logger.waves && dep.waveEnabled ? std::clamp(dep.burstSamples, 0, 8192) : 0;
  d.burstCount = -1;
  LayOutMeasuredChannels(state.logger, d);
  d.LayOut(d.channelCount, 0);
  AppendDerivedColumns(d, state.settings.derived);
  const int columns = std::max(d.totalChannelCount, 1);
  const std::array<uint8_t, kMaxColumns> codes = d.columnCodes;
  d.LayOut(columns, static_cast<int>(kValuePoolSize / static_cast<size_t>(columns)) - 2);
  d.columnCodes = codes;
  d.totalChannelCount = columns;
  d.sampleCount = 0;
  // The slots start at the real-time limits of each channel's kind; a kind
  // without limits starts empty and takes its range from the readings.
  for (int c = 0; c < columns; ++c) {
    const RealTimeLimit& limit = state.analysis.limits[static_cast<size_t>(LimitsCategory(ColumnCode(d, c)))];
    const bool limited = limit.minimum < limit.maximum;
    d.Column(c)[0] = limited ? static_cast<float>(limit.minimum) : c < d.channelCount ? kInvalidValue : kDerivedMinimumStart;
    d.Column(c)[1] = limited ? static_cast<float>(limit.maximum) : c < d.channelCount ? kInvalidValue : kDerivedMaximumStart;
  }
  d.unsaved = true;
}

// Appends one row: the minimum and maximum slots move up one place and the
// new reading takes the old minimum's place. false when the DataSet is full.
bool AppendRow(AppState& state, const std::vector<double>& values, const LoggerTime& time, bool stamp) {
  DataSet& d = state.retrieval.data;
  const int row = d.sampleCount;
  if (row + 2 >= d.Stride()) return false;
  for (int c = 0; c < d.totalChannelCount; ++c) {
    float* col = d.Column(c);
    col[row + 2] = col[row + 1];
    col[row + 1] = col[row];
    if (c >= d.channelCount) {
      col[row] = kInvalidValue;
      continue;
    }
    const float v = static_cast<float>(values[static_cast<size_t>(c)]);
    col[row] = v;
    if (v == kInvalidValue) continue;  // the marker is no reading: the range stays
    if (col[row + 1] == kInvalidValue) {
      col[row + 1] = col[row + 2] = v;
    } else {
      col[row + 1] = std::min(col[row + 1], v);
      col[row + 2] = std::max(col[row + 2], v);
    }
  }
  d.sampleCount = row + 1;
  if (stamp && static_cast<int>(d.stamps.size()) < kMaxStamps) {
    StampRecord s;
    s.sampleIndex = row;
    s.type = kStampTime;
    s.time = time;
    d.stamps.push_back(s);
  }
  if (d.totalChannelCount > d.channelCount) ComputeDerivedSample(DerivedInputsOf(state), d, row);
  return true;
}

struct TickOutput {
  std::string hex;  // dump text for the HEX file
  std::string dat;  // rows of an ASCII serial-card logger
  std::string gps;  // tagged positions
  int taken = 0;
};

void TakeTimed(AppState& state, const RealTimeRecord& r, TickOutput& out) {
  RealTimeState& rt = state.realTime;
  DataSet& d = state.retrieval.data;
  const int n = rt.channels;
  std::vector<double> values(static_cast<size_t>(n));
  std::vector<uint32_t> raw(static_cast<size_t>(n));
  for (int c = 0; c < n; ++c) {
    const size_t i = static_cast<size_t>(c);
    if (r.engineering) {
      values[i] = r.values[i];
      raw[i] = RawReadingBackAs(state, d.channelTypes[i], c, values[i]);
    } else {
      raw[i] = r.raw[i] & 0xFFFFFFu;
      // As the read-back will convert it: odd readings of a channel without
      // extended range wrap there, so they must wrap here too.
      values[i] = ConvertStoredReading(state.logger, state.calibration, d.channelTypes[i], raw[i], c);
    }
  }
  const uint32_t period = static_cast<uint32_t>(std::max(d.samplePeriodSeconds, 1));
  const bool continuous = rt.continuity.IsStampContinuous(r.time, period);
  std::string row = TimeToDisplayText(r.time);
  if (rt.asciiCard) {
    for (double v : values) {
      char b[32];
      std::snprintf(b, sizeof b, " %9.4f", v);
      row += b;
    }
    out.dat += row + "\r\n";
  } else {
    if (AppendRow(state, values, r.time, !continuous || d.sampleCount == 0)) ++rt.readingsShown;
    const int shownRow = d.sampleCount - 1;
    for (int c = 0; c < d.totalChannelCount; ++c) {
      char b[32];
      std::snprintf(b, sizeof b, " %9.4f", shownRow >= 0 ? static_cast<double>(d.Value(c, shownRow)) : 0.0);
      row += b;
    }
    std::vector<uint8_t> bytes;
    if (!continuous) {
      const auto bcd = TimeToBcd(r.time);
      bytes = {0, 0, 0, 'T', 'I', 'M'};
      bytes.insert(bytes.end(), bcd.begin(), bcd.end());
    }
    for (uint32_t v : raw) {
      bytes.push_back(static_cast<uint8_t>(v >> 16));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
      bytes.push_back(static_cast<uint8_t>(v));
    }
    AppendDumpLines(out.hex, bytes.data(), bytes.size());
    rt.fileBytes += static_cast<long long>(bytes.size());
  }
  if (!rt.gpsPosition.empty()) {
    out.gps += TimeToDisplayText(r.time) + "\t" + rt.gpsPosition + "\r\n";
    row += rt.gpsPosition;
  }
  rt.statusText = row;
  if (rt.rowShown) rt.rowShown(row);
  ++out.taken;
}

// A wave-burst pair: "BST" opens a burst, "SEQ" continues it at pair `sequence`.
void TakeBurst(AppState& state, const RealTimeRecord& r, TickOutput& out) {
  RealTimeState& rt = state.realTime;
  DataSet& d = state.retrieval.data;
  const bool timed = r.kind == RealTimeRecord::Kind::BurstTimed;
  double values[2];
  for (int i = 0; i < 2; ++i)
    values[i] = r.engineering ? r.values[static_cast<size_t>(i)]
                              : PolynomialValue(state.calibration.coefficients[1], static_cast<int32_t>(r.raw[static_cast<size_t>(i)]));
  int& at = rt.burstPosition;
  if (timed) {
    if (d.burstCount + 1 < kMaxBursts) {
      ++d.burstCount;
      d.burstStartTimes.push_back(r.time);
    }
    at = 0;
  } else {
    at = 2 * r.sequence;
  }
  if (d.burstLength > 0 && d.burstCount >= 0 && d.EnsureBurst(d.burstCount)) {
    float* burst = d.Burst(d.burstCount);
    for (int i = 0; i < 2; ++i)
      if (at + i < d.burstLength) {
        burst[at + i] = static_cast<float>(values[i]);
        rt.burstMinimum = std::min(rt.burstMinimum, values[i]);
        rt.burstMaximum = std::max(rt.burstMaximum, values[i]);
      }
    if (at + 2 >= d.burstLength && state.retrieval.hooks.analyseBurst) state.retrieval.hooks.analyseBurst(d, d.burstCount);
  }
  char b[96];
  if (timed) std::snprintf(b, sizeof b, "%s Wave burst values %d and %d: ", TimeToDisplayText(r.time).c_str(), at + 1, at + 2);
  else std::snprintf(b, sizeof b, "Wave burst values %d and %d: ", at + 1, at + 2);
  rt.statusText = b;
  at += 2;
  ++rt.bursts;
  ++out.taken;
  if (!rt.asciiCard) {
    std::vector<uint8_t> bytes;
    if (timed) {
      const auto bcd = TimeToBcd(r.time);
      bytes = {0, 0, 0, 'B', 'S', 'T'};
      bytes.insert(bytes.end(), bcd.begin(), bcd.end());
    }
    for (uint32_t v : r.engineering ? std::vector<uint32_t>{NearestRawForValue(state.calibration.coefficients[1], false, values[0]),
                                                            NearestRawForValue(state.calibration.coefficients[1], false, values[1])}
                                    : r.raw) {
      bytes.push_back(static_cast<uint8_t>(v >> 16));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
      bytes.push_back(static_cast<uint8_t>(v));
    }
    AppendDumpLines(out.hex, bytes.data(), bytes.size());
    rt.fileBytes += static_cast<long long>(bytes.size());
    // The next timed row starts with a stamp again.
    rt.continuity.Reset();
  }
}

}  // namespace

bool IsAsciiSerialCardLogger(const AppState& state) {
  return (state.logger.rsAdvanced & 2u) != 0 && (state.logger.rsAdvanced & 8u) != 0;
}

int ChooseRealTimeFiles(AppState& state) {
  RealTimeState& rt = state.realTime;
  const bool ascii = IsAsciiSerialCardLogger(state);
  char name[64];
  std::snprintf(name, sizeof name, ascii ? "%06dRealtime.dat" : "%06dRealtime.hex", state.logger.serialNumber);
  FileDialogRequest request;
  request.save = true;
  request.directory = ascii ? DatDirectory(state) : HexDirectory(state);
  request.pattern = name;
  request.title = Tr(state, ascii ? "Select a 'dat' file for storing the ASCII data"
                                  : "Select a 'hex' filename for storing the Real-time data");
  request.filter = Tr(state, ascii ? "All ASCII data files (*.dat)" : "All Hex Files (*.hex)");
  const auto chosen = state.ui.ChooseFile(request);
  if (!chosen || chosen->empty()) return 0;
  std::error_code ec;
  if (std::filesystem::exists(*chosen, ec) &&
      state.ui.MessageBox(Format1(Tr(state, "%s already exists.\nContinue to overwrite this file?").c_str(), *chosen),
                          Tr(state, "Write File"), MessageButtons::YesNo, MessageIcon::Question,
                          MessageAnswer::No) != MessageAnswer::Yes)
    return 0;
  rt.filePath = *chosen;
  std::filesystem::path gps = std::filesystem::path(*chosen).filename();
  gps.replace_extension(".gps");
  rt.gpsPath = DatDirectory(state) + "/" + gps.string();
  return 1;
}

std::vector<uint8_t> RealTimeHeaderBytes(const AppState& state) {
  const DeploymentSettings& d = state.deployment;
  const size_t length = static_cast<size_t>(std::max(MemoryHeaderLength(state.logger), 0));
  std::vector<uint8_t> bytes(std::max<size_t>(length, 48), 0);
  // The configuration record after 24 zero bytes: the real-time divisor, then
  // (48-byte records) the start characteristic and the option flags.
  bytes[25] = static_cast<uint8_t>(d.realTimeBaudCode);
  if (length >= 48) {
    uint8_t mode = d.startMode == kStartNow ? 1 : 0;
    if (d.powerKeptOn) mode += 128;
    if (d.sixHzMode) mode += 64;
    if (d.realTimeOutput) mode += 32;
    bytes[31] = mode;
    bytes[32] = static_cast<uint8_t>(d.optionFlags);
    bytes[33] = static_cast<uint8_t>(d.optionFlags >> 8);
    bytes[34] = static_cast<uint8_t>(d.optionFlags >> 16);
  }
  // As long as the decoder skips, so that the file reads back aligned.
  bytes.resize(length);
  return bytes;
}

Outcome EnsureCalibrationForCollection(AppState& state, CalibrationChoice choice, const char* title) {
  constexpr int kCalibrationReads = 3;
  for (int read = 0; read < kCalibrationReads && state.calibration.origin == CalibrationOrigin::Unreadable; ++read) {
    if (read > 0) DelayMs(state, 500);
    state.logger.calibrationStale = true;
    if (KnowLogger(state, kKnowCalibration) == KnowResult::NoLogger) break;
  }
  if (state.calibration.origin != CalibrationOrigin::Unreadable) return Outcome::Done();
  const char* unreadable = "The calibration coefficients could not be read from the logger.\nEvery value converted with the "
                           "default coefficients would be wrong.";
  switch (choice) {
    case CalibrationChoice::UseDefaults:
      return Outcome::Done();
    case CalibrationChoice::Ask:
      if (state.ui.MessageBox(Tr(state, unreadable) + "\n\n" + Tr(state, "Collect with the default coefficients?"),
                              Tr(state, title), MessageButtons::YesNo, MessageIcon::Exclamation,
                              MessageAnswer::No) == MessageAnswer::Yes)
        return Outcome::Done();
      return Outcome::Of(OutcomeKind::Cancelled, "");
    case CalibrationChoice::Refuse:
      break;
  }
  return Outcome::Of(OutcomeKind::NoLogger, unreadable);
}

int StartRealTime(AppState& state) {
  RealTimeState& rt = state.realTime;
  // The file is headed by the logger's deployment: one it did not all tell is not guessed.
  rt.refusal = state.logger.deploymentUnread == 0 ? Outcome::Done() : UnknownOfLogger(state, KnowResult::Known);
  if (!rt.refusal.Ok()) return 0;
  rt.refusal = EnsureCalibrationForCollection(state, rt.calibrationChoice, "Real-time Logging");
  if (!rt.refusal.Ok()) return 0;
  // 1. A clean receiver and continuity check; the file opened.
  rt.buffer = ReceiveBuffer{};
  rt.counters = RecordCounters{};
  rt.continuity.Reset();
  rt.fileBytes = 0;
  rt.readingsShown = 0;
  rt.bursts = 0;
  rt.burstPosition = 0;
  rt.statusText.clear();
  rt.gpsPosition.clear();
  rt.gpsLost = false;
  rt.linkLost = false;
  rt.asciiCard = IsAsciiSerialCardLogger(state);
  rt.engineering = rt.asciiCard ||
                   (state.logger.engineeringUnitsLevel >= 1 && (state.deployment.optionFlags & kOptionEngineeringUnits) != 0);
  std::FILE* probe = std::fopen(rt.filePath.c_str(), "wb");
  if (probe == nullptr) {
    rt.refusal = Outcome::Of(OutcomeKind::Failed, "Unable to open '.hex' data file");
    return 0;
  }
  std::fclose(probe);
  // 2. Collecting.
  state.ui.SetStatusText(Tr(state, "Real-time data collection"), false);
  SetMenuState(state, 0);
  rt.active = true;
  state.shell.realTimeActive = true;
  // 3. The DataSet and the graph follow the newest readings.
  {
    DataSet scratch;
    LayOutMeasuredChannels(state.logger, scratch);
    rt.channels = scratch.channelCount;
  }
  if (!rt.asciiCard) {
    PrepareDataSet(state);
    AttachData(state.graph, state.retrieval.data);
    FollowNewest(state.graph);
    if (IsTideWaveRecorder(state.logger.model))
      if (WaveStore* store = WaveResults(state)) {
        store->results.clear();
        store->surfaces.clear();
        store->latestWaveHeight = 0.0f;
      }
  }
  rt.burstMinimum = 1e30;
  rt.burstMaximum = -1e30;
  // 4. The GPS.
  rt.gpsOpen = false;
  if (state.ports.gpsPort != 0) {
    state.gps.fill = 0;
    state.gps.otherSentences = 0;
    state.gps.positionText.clear();
    rt.gpsOpen = state.gpsLink.IsOpen() || OpenGpsLink(state) == 1;
  }
  // 5. The file header, and for a HEX file the dump's own header bytes.
  std::string text = FileHeaderText(state, kHeaderModeHex);
  if (!rt.asciiCard) {
    const std::vector<uint8_t> header = RealTimeHeaderBytes(state);
    text += "Number of bytes of data 0000000\r\n";
    text += "|     |     |     |     |     |     |     |\r\n";
    if (!header.empty()) {
      const size_t zeros = std::min<size_t>(24, header.size());
      AppendDumpLines(text, header.data(), zeros);
      if (header.size() > zeros) AppendDumpLines(text, header.data() + zeros, header.size() - zeros);
    }
    // Every byte of the dump counts, or the read-back loses the last ones.
    rt.fileBytes = static_cast<long long>(header.size());
  }
  if (!WriteFileReplacing(rt.filePath, text)) {
    rt.refusal = Outcome::Of(OutcomeKind::Failed, "Unable to open '.hex' data file");
    rt.active = false;
    state.shell.realTimeActive = false;
    SetMenuState(state, 1);
    return 0;
  }
  // 6. The GPS file.
  if (rt.gpsOpen) WriteFileReplacing(rt.gpsPath, FileHeaderText(state, kHeaderModeDat));
  // 7. The fast tick.
  rt.tickPeriodMs = state.deployment.sixHzMode ? 100 : 150;
  return 1;
}

int RealTimeTick(AppState& state) {
  RealTimeState& rt = state.realTime;
  if (!rt.active || rt.linkLost) return 0;
  if (rt.gpsOpen && ReadGpsPosition(state) == 1) rt.gpsPosition = state.gps.positionText;
  if (rt.gpsOpen && LinkLost(state.gpsLink)) {
    rt.gpsOpen = false;
    rt.gpsLost = true;
    rt.gpsPosition.clear();
    state.ui.MessageBox(FormatWithPort(Tr(state, "The GPS on COM%1d has gone.\nReal-time collection goes on without "
                                                 "positions."),
                                       state, state.ports.gpsPort),
                        Tr(state, "GPS Communication"), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
  }
  ReceiveBuffer& b = rt.buffer;
  const size_t want = RealTimeReadLength(b, rt.channels, rt.engineering);
  if (want > 0) {
    uint8_t incoming[ReceiveBuffer::kCapacity + 1];  // the link terminates what it reads
    const size_t got = std::min(LinkRead(state, state.loggerLink, incoming, want), want);
    std::memcpy(b.bytes.data() + b.fill, incoming, got);
    b.fill += got;
    // Nothing for a whole tick: the line is between records.
    if (got == 0) b.MarkPause();
    if (got == 0 && LinkLost(state.loggerLink)) {
      rt.linkLost = true;
      state.ui.MessageBox(FormatWithPort(Tr(state, "The connection to the logger on COM%1d was lost.\nReal-time "
                                                   "collection ends."),
                                         state, state.ports.loggerPort),
                          Tr(state, "Real-time Logging"), MessageButtons::Ok, MessageIcon::Exclamation,
                          MessageAnswer::Ok);
      // The records that came before the loss are still taken below.
    }
  }
  rt.records.clear();
  ExtractRecords(b, rt.channels, rt.engineering, rt.records, &rt.counters);
  if (rt.records.empty()) return 0;
  TickOutput out;
  for (const RealTimeRecord& r : rt.records) {
    if (r.kind == RealTimeRecord::Kind::Timed) TakeTimed(state, r, out);
    else if (!rt.asciiCard) TakeBurst(state, r, out);
  }
  if (!out.hex.empty()) AppendToFile(rt.filePath, out.hex);
  if (!out.dat.empty()) AppendToFile(rt.filePath, out.dat);
  if (!out.gps.empty() && rt.gpsOpen) AppendToFile(rt.gpsPath, out.gps);
  state.ui.SetStatusText(rt.statusText, false);
  if (!rt.asciiCard) {
    ExtendSummaries(state.graph, state.retrieval.data);
    FollowNewest(state.graph);
  }
  return out.taken;
}

bool PatchByteCount(const std::string& path, long long count) {
  auto text = ReadDataFile(path);
  if (!text) return false;
  const size_t key = text->find("Number of bytes of data");
  if (key == std::string::npos) return false;
  const size_t lineEnd = text->find('\n', key);
  const size_t at = key + std::strlen("Number of bytes of data ");
  if (at + 7 > text->size() || (lineEnd != std::string::npos && at + 7 > lineEnd)) return false;
  char digits[32];
  std::snprintf(digits, sizeof digits, "%7lld", std::clamp(count, 0LL, 9999999LL));
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) return false;
  const bool ok = std::fseek(f, static_cast<long>(at), SEEK_SET) == 0 && std::fwrite(digits, 1, 7, f) == 7;
  return std::fclose(f) == 0 && ok;
}

bool EndAsksAboutTransmission(const AppState& state) {
  const RealTimeState& rt = state.realTime;
  return rt.active && !rt.engineering && state.logger.modemControl == 0 && state.loggerLink.IsOpen() && !rt.linkLost;
}

Question EndTransmissionQuestion(const AppState& state) {
  return {Tr(state, "Logger is transmitting information on the external data line.\nDo you want to allow this data transmission to continue?"),
          Tr(state, "End Real-time Display")};
}

Outcome EndRealTime(AppState& state, bool stopTransmission) {
  RealTimeState& rt = state.realTime;
  if (!rt.active) return Outcome::Of(OutcomeKind::Refused, "");
  const bool asks = EndAsksAboutTransmission(state);
  // 1.
  rt.tickPeriodMs = 1000;
  state.ui.SetStatusText(Tr(state, "End of Real-time Display"), false);
  state.deployment.realTimeOutput = 0;
  // 2. A binary logger keeps sending unless told to stop.
  if (asks && stopTransmission) SendSetupCommand(state, kSetupRealTime);
  // 3.
  rt.active = false;
  state.shell.realTimeActive = false;
  state.graph.view.realTime = false;
  SetMenuState(state, 1);
  // 4. The byte count, then the file becomes the current data.
  if (rt.asciiCard) return Outcome::Done();
  if (!PatchByteCount(rt.filePath, rt.fileBytes))
    return Outcome::Of(OutcomeKind::Failed, "The byte count of %s could not be written: the file is not read back.", {rt.filePath});
  AddRecentFile(state, rt.filePath);
  if (rt.readingsShown == 0 && rt.bursts == 0) return Outcome::Done();  // nothing to read back
  return ReadHexFile(state, 0, rt.filePath);
}

}  // namespace tmv
