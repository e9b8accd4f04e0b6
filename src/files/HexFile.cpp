#include "files/HexFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "files/WorkFiles.h"
#include "link/Exchange.h"
#include "model/ChannelTypes.h"
#include "model/LoggerFamily.h"
#include "analysis/DerivedUnitsDialog.h"
#include "retrieval/SampleDecoder.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv {

namespace {

void Add(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Add(std::string& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n > 0) out.append(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
}

constexpr const char* kMemoryTypeNames[] = {"",           "Intel 28F016S3", "AMD 29LV033C", "AT45DB642",
                                            "AT45DB642D", "AT45DB642_LP",   "AT45DB642D_LP"};
constexpr const char* kStartModeNames[] = {"Start of logging",  "Now",
                                           "Above threshold",   "Below threshold",
                                           "Inside thresholds", "Outside thresholds"};

const char* UnitLine(const LoggerInfo& logger, uint8_t type) {
  const std::string& m = logger.model;
  if (type == 'T' || IsTemperatureRecorder(m)) return "Degrees_C";
  if (type == 'P' || IsDepthRecorder(m)) return "deciBars";
  switch (type) {
    case 'C':
    case 's': return logger.conductivityMilliSiemens ? "mS/cm" : "uS/cm";
    case 'D': return "percent";
    case 'V':
    case 'M': return "Volts";
    case 'Y':
    case 'y': return "NTU";
    case 'R': return "\xB5Mol.m-2.s-1";
    case 'H': return "pH_units";
    case 'F': case 'f': case 'G': case 'g': case 'Z': case 'z': case 'I': case 'i': return "ug/l";
    case 'L': return "deciBars";
    case 'K': return "percent";
    case 'J': return "\xB5Mol/l";
    case 'E':
    case 'A': return "m";
    case 'N': return "Transmittance";
    case 'B': return "Generic";
    default: return "Unknown";
  }
}

const char* GainRangeName(uint8_t type, int gain) {
  static const char* const y[] = {"2500NTU", "500NTU", "125NTU", "25NTU"};
  static const char* const fg[] = {"150ug/l", "50ug/l", "15ug/l", "5ug/l"};
  static const char* const i[] = {"1500ug/l", "500ug/l", "150ug/l", "50ug/l"};
  static const char* const z[] = {"900ug/l", "300ug/l", "90ug/l", "30ug/l"};
  if (gain < 0 || gain > 3) return "Unknown";
  switch (type) {
    case 'y': return y[gain];
    case 'f':
    case 'g': return fg[gain];
    case 'i': return i[gain];
    case 'z': return z[gain];
    default: return "Unknown";
  }
}

// The 10-character column heading of a type code.
std::string ColumnHeading(uint8_t code) {
  const int row = ChannelTypeRowForCode(code);
  if (row == kUnknownChannelTypeRow) return "  Unknown ";
  return std::string(ChannelTypeTable()[static_cast<size_t>(row)].shortLabel + 1);
}

// Typed stamp sections: KM and PM loggers of the later firmware.
bool TypedOlderStamps(const LoggerInfo& l) {
  const float v = l.firmwareVersion;
  const bool km = IsTemperatureRecorder(l.model) &&
                  ((FirmwareAbove(v, 2.15) && FirmwareBelow(v, 3.0)) || FirmwareAbove(v, 3.15));
  const bool pm = IsDepthRecorder(l.model) && FirmwareAbove(v, 3.15);
  return km || pm;
}

bool PlainStampModel(const std::string& m) {
  for (const char* p : {"DO", "KVM", "KZM", "QN", "HGF", "VL"})
    if (ModelContains(m, p)) return false;
  return true;
}

void AddTypedStamp(std::string& out, const char* lead, const StampRecord& s) {
  Add(out, "%s %4d/%02d/%02d %02d:%02d:%02d at sample %d of type: %s", lead, s.time.year, s.time.month,
      s.time.day, s.time.hour, s.time.minute, s.time.second, s.sampleIndex + 1, StampName(s.type));
}

void AddStampSection(std::string& out, const AppState& state, int mode) {
  const LoggerInfo& l = state.logger;
  const DataSet& d = state.retrieval.data;
  if (TypedOlderStamps(l)) {
    for (const StampRecord& s : d.stamps)
      if (s.type == kStampTime || s.type == kStampBurst || s.type == kStampRtc) {
        AddTypedStamp(out, "Timestamp", s);
        out += "\n";
      }
    if (mode == kHeaderModeHex) {
      for (const StampRecord& s : d.stamps)
        if (s.type != kStampTime && s.type != kStampRtc) {
          AddTypedStamp(out, "Reset stamp", s);
          out += "\n";
        }
      Add(out, "Number of bytes in header %d\n", d.headerLength);
    }
    return;
  }
  if (PlainStampModel(l.model)) {
    for (const StampRecord& s : d.stamps)
      Add(out, "Timestamp %4d/%02d/%02d %02d:%02d:%02d at sample %d\n", s.time.year, s.time.month, s.time.day,
          s.time.hour, s.time.minute, s.time.second, s.sampleIndex);
    return;
  }
  const DeploymentSettings& dep = d.deployment;
  const unsigned startMode = std::min(dep.startMode, 5u);
  Add(out, "Logger start:%s ", kStartModeNames[startMode]);
  if (startMode == kStartAbove || startMode == kStartBelow)
    Add(out, "%9.4f channel %d", dep.thresholdValue, static_cast<int>(dep.thresholdChannel) + 1);
  out += "\n";
  for (const StampRecord& s : d.stamps) {
    if (s.type == kStampTime || s.type == kStampRtc) {
      AddTypedStamp(out, "Timestamp", s);
      out += "\n";
    } else if (s.type == kStampGain) {
      AddTypedStamp(out, "Timestamp", s);
      for (int c = 0; c < kMaxChannels; ++c)
        if (s.changedMask & (1u << c)) {
          const int g = s.gains[static_cast<size_t>(c)];
          Add(out, " channel=%d gain=%d (%s)", c + 1, g, GainRangeName(d.channelTypes[static_cast<size_t>(c)], g));
        }
      out += "\n";
    }
  }
  if (mode == kHeaderModeHex) {
    for (const StampRecord& s : d.stamps)
      if (s.type != kStampTime && s.type != kStampRtc && s.type != kStampGain) {
        AddTypedStamp(out, "Reset stamp", s);
        out += "\n";
      }
    // Microchip loggers of any model too, so their header length reads back.
    if (ModelContains(l.model, "QN") || ModelContains(l.model, "VL") || l.microchipLogger)
      Add(out, "Number of bytes in header %d\n", d.headerLength);
    out += "Extended data range: ";
    for (size_t i = 0; i < 26; ++i) Add(out, "%02X", i < l.extendedRange.size() ? l.extendedRange[i] : 0);
    out += "\n";
  }
}

std::string ColumnTitleLine(const AppState& state, int mode) {
  const DataSet& d = state.retrieval.data;
  const DerivedSettings& du = state.settings.derived;
  const int format = std::clamp(state.settings.datFormat, 0, 2);
  std::string out(format == 0 ? 0 : format == 1 ? 9 : 20, ' ');
  const int columns = std::clamp(d.totalChannelCount, d.channelCount, kMaxColumns);
  for (int c = 0; c < columns; ++c) {
    const uint8_t code = c < d.channelCount ? d.channelTypes[static_cast<size_t>(c)] : d.columnCodes[static_cast<size_t>(c)];
    if (mode == kHeaderModeDat) {
      if (code == 129) continue;
      if (code == 131) {
        out += du.optodeUnit == OptodeUnit::MlPerLitre ? " dO2_ml/l " : " dO2_mg/l ";
        continue;
      }
      if (code == 'X') out += du.oxygenUnit == OxygenUnit::MicromolPerLitre ? "dO2\xB5Mol/l "
           : du.oxygenUnit == OxygenUnit::MlPerLitre     ? " dO2_ml/l "
                                                          : " dO2_mg/l ";
    }
    out += ColumnHeading(code);
  }
  return out;
}

}  // namespace

std::string IdentityText(const LoggerInfo& logger) {
  std::string out;
  Add(out, "TMV %s %5.2f %06d", logger.model.c_str(), static_cast<double>(logger.firmwareVersion), logger.serialNumber);
  return out;
}

std::string FileHeaderText(const AppState& state, int mode, const HeaderOverrides& overrides) {
  const LoggerInfo& l = state.logger;
  const DataSet& d = state.retrieval.data;
  const DeploymentSettings& dep = d.deployment;
  std::string out;
  if (l.minimumProgramVersionValid)
    Add(out, "%s (Windows: %s - Minimum required: %.2f)\n", IdentityText(l).c_str(), TMV_VERSION_TEXT,
        static_cast<double>(l.minimumProgramVersion));
  else
    Add(out, "%s (Windows: %s)\n", IdentityText(l).c_str(), TMV_VERSION_TEXT);
  Add(out, "Host time     %s\n", TimeToShortText(d.hostTime).c_str());
  Add(out, "Logger time   %s\n", TimeToShortText(d.loggerTime).c_str());
  Add(out, "Logging start %s\n", TimeToShortText(overrides.startTime.value_or(d.startTime)).c_str());
  Add(out, "Logging end   %s\n", TimeToShortText(dep.endTime).c_str());
  if (d.sixHzProfiling)
    out += "Sample period          6Hz profiling\n";
  else
    Add(out, "Sample period          %s\n", ClockToText(dep.samplingPeriod).c_str());
  Add(out, "Number of channels = %2d, ", d.channelCount);
  Add(out, "number of samples = %6d, mode: %s\n", overrides.sampleCount.value_or(d.sampleCount),
      LoggerStatusText(d.loggerStatus));
  const int format = std::clamp(state.settings.datFormat, 0, 2);
  Add(out, "%c%02d%%9.4f\n", "NAE"[format], d.channelCount);
  const CalibrationSet& cal = state.calibration;
  for (int c = 0; c < d.channelCount && c < kMaxChannels; ++c) {
    const auto& k = cal.coefficients[static_cast<size_t>(c)];
    Add(out, "Calibration %2d: %.15f\n", c + 1, k[0]);
    Add(out, "                %.15f\n", k[1]);
    Add(out, "                %.15f\n", k[2]);
    Add(out, "                %.15f ", k[3]);
    Add(out, "%s\n", UnitLine(l, d.channelTypes[static_cast<size_t>(c)]));
  }
  if (l.conductivityMilliSiemens) {
    const ConductivityCorrection& k = cal.conductivityCorrection;
    Add(out, "Correction to conductivity: %.7e %.7e %.7e %.7e\n", k.a, k.b, k.tc, k.c);
  }
  if (!state.retrieval.comment.empty()) Add(out, "COMMENT: %.280s\n", state.retrieval.comment.c_str());
  bool echoOrDepth = false, pressure = false;
  for (int c = 0; c < d.channelCount; ++c) {
    const uint8_t t = d.channelTypes[static_cast<size_t>(c)];
    echoOrDepth |= t == 'E' || t == 'A';
    pressure |= t == 'P' || t == 'L';
  }
  if (echoOrDepth) Add(out, "Engineering units level %d\n", l.engineeringUnitsLevel);
  const DerivedSettings& du = state.settings.derived;
  if (du.depthEnabled && pressure) {
    Add(out, "Atmospheric pressure %f dBar, water density %f, ", static_cast<double>(du.atmosphericPressure),
        static_cast<double>(du.waterDensity));
    out += du.depthSeawater ? "(Seawater calculation)\n" : "(Simplified calculation)\n";
    Add(out, "Latitude %d degrees %.3f minutes\n", du.latitudeDegrees, static_cast<double>(du.latitudeMinutes));
  }
  const int memoryType = state.retrieval.memoryType != 0 ? state.retrieval.memoryType : l.memoryTypeCode;
  if (memoryType >= 1 && memoryType <= 6) Add(out, "Memory type: %d %s\n", memoryType, kMemoryTypeNames[memoryType]);
  if (mode != kHeaderModeHex && mode != kHeaderModeDat) {
    out += "\n";
    return WithCrLf(out);
  }
  if (l.averaging != 0) {
    if (dep.averagingEnabled) Add(out, "Averaging: %d seconds\n", dep.averagingPeriod);
    else out += "Averaging: NONE\n";
  }
  const int rate = state.retrieval.waveSampleRate != 0 ? state.retrieval.waveSampleRate : dep.burstRate;
  if (l.rates124Hz && rate != 0) Add(out, "Wave burst sample rate: %dHz\n", rate);
  if (l.waves && dep.waveEnabled) {
    Add(out, "Wave burst sampling period: %s\n", ClockToText(dep.burstPeriod).c_str());
    Add(out, "Wave burst sample length:   %d\n", dep.burstSamples);
    Add(out, "Logger height:   %.2f\n", dep.loggerHeight);
  }
  AddStampSection(out, state, mode);
  if (l.cardProtocolLevel >= 1) {
    const uint32_t rs = l.rsAdvanced;
    out += (rs & 1) ? "MMC/SD Memory card present, " : "No MMC/SD Memory card, ";
    out += (rs & 2) ? "Generic Serial card present, " : "No Generic Serial card, ";
    out += "Format: ";
    out += (rs & 4) && (rs & 8) ? "ASCII and Binary" : (rs & 4) ? "Binary" : (rs & 8) ? "ASCII" : "None set";
    out += "\n";
  }
  if (IsMultiChannelModel(l.model) || l.microchipLogger) {
    out += "\n";
    out += ColumnTitleLine(state, mode);
    out += "\n";
  }
  out += "\n";
  return WithCrLf(out);
}

// ---------------------------------------------------------------- the dump

void AppendHexDump(std::string& out, const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  const size_t lines = count / 24;
  const size_t start = out.size();
  out.resize(start + count * 2 + lines * 2);
  char* p = out.data() + start;
  for (size_t i = 0; i < count; ++i) {
    *p++ = kDigits[bytes[i] >> 4];
    *p++ = kDigits[bytes[i] & 0x0F];
    if (i % 24 == 23) {
      *p++ = '\r';
      *p++ = '\n';
    }
  }
}

size_t ReadHexDump(std::string_view text, uint8_t* out, size_t count, DumpDamage* damage) {
  // -1: not a hex digit.
  static const auto kValue = [] {
    std::array<int8_t, 256> v{};
    v.fill(-1);
    for (int i = 0; i < 10; ++i) v['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) v['A' + i] = v['a' + i] = static_cast<int8_t>(10 + i);
    return v;
  }();
  constexpr size_t kLineDigits = 48;
  size_t n = 0, pos = 0, lineNumber = 0;
  while (n < count && pos < text.size()) {
    const size_t lineStart = pos;
    size_t end = text.find('\n', pos);
    const bool lineEndFollows = end != std::string_view::npos;
    if (!lineEndFollows) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = lineEndFollows ? end + 1 : end;
    // One more digit than a line holds is enough to know it is too long.
    std::array<int8_t, kLineDigits + 1> v{};
    size_t digits = 0;
    bool junk = false;
    for (const char ch : line) {
      if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f') continue;
      const int8_t d = kValue[static_cast<uint8_t>(ch)];
      if (d < 0) {
        junk = true;
        break;
      }
      if (digits < v.size()) v[digits] = d;
      ++digits;
    }
    if (!junk && digits == 0) continue;  // a blank line carries nothing
    ++lineNumber;
    // Every line is written with whole bytes, at most 24 (a real-time
    // collection ends a line at each record it appends). An odd count is a
    // digit lost or added, which shifts every value after it in the line:
    // nothing of it can be placed, nor of the lines after it. Only a file
    // that ends inside its last line (cut) keeps the whole bytes there.
    if (junk || digits > kLineDigits || (digits % 2 != 0 && lineEndFollows)) {
      if (damage != nullptr) *damage = DumpDamage{lineNumber, lineStart, digits, junk};
      break;
    }
    const size_t take = std::min(digits / 2, count - n);
    for (size_t i = 0; i < take; ++i)
      out[n++] = static_cast<uint8_t>(v[2 * i] << 4 | v[2 * i + 1]);
  }
  return n;
}

std::string HexFileText(const AppState& state) {
  const RetrievalState& r = state.retrieval;
  const int length = std::clamp(r.image.imageLength, 0, kMemoryImageSize);
  std::string out = FileHeaderText(state, kHeaderModeHex);
  out.reserve(out.size() + static_cast<size_t>(length) * 2 + static_cast<size_t>(length) / 12 + 128);
  Add(out, "Number of bytes of data %d\r\n", length);
  out += "|     |     |     |     |     |     |     |\r\n";
  if (length > 0 && r.image.Bytes() != nullptr) AppendHexDump(out, r.image.Bytes(), static_cast<size_t>(length));
  return out;
}

bool WriteHexFile(AppState& state, const std::string& path, int* error) {
  // Written in pieces of whole dump lines: the text of a full logger is
  // twice the image and need never be in memory at once.
  const RetrievalState& r = state.retrieval;
  const int length = std::clamp(r.image.imageLength, 0, kMemoryImageSize);
  ReplacingFile f(path);
  std::string out = FileHeaderText(state, kHeaderModeHex);
  Add(out, "Number of bytes of data %d\r\n", length);
  out += "|     |     |     |     |     |     |     |\r\n";
  f.Write(out);
  constexpr size_t kPiece = 24 * 8192;
  const size_t total = r.image.Bytes() != nullptr ? static_cast<size_t>(length) : 0;
  for (size_t at = 0; at < total; at += kPiece) {
    out.clear();
    AppendHexDump(out, r.image.Bytes() + at, std::min(kPiece, total - at));
    if (!f.Write(out)) break;
  }
  const bool committed = f.Commit();
  if (error != nullptr) *error = f.Error();
  return committed;
}

// ---------------------------------------------------------------- the header parser

namespace {

bool ReadHeaderTime(std::string_view line, LoggerTime& t, bool zeroPadded) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const bool fourDigit = Contains(line, "200");
  const std::string date = FromColumn(line, 14);
  const std::string time = FromColumn(line, fourDigit ? 25 : 23);
  const char* dateFormat = fourDigit ? (zeroPadded ? "%04d/%02d/%02d" : "%4d/%2d/%2d") : (zeroPadded ? "%02d/%02d/%02d" : "%2d/%2d/%2d");
  const char* timeFormat = zeroPadded ? "%02d:%02d:%02d" : "%2d:%2d:%2d";
  if (std::sscanf(date.c_str(), dateFormat, &y, &mo, &d) != 3) return false;
  if (std::sscanf(time.c_str(), timeFormat, &h, &mi, &s) != 3) return false;
  if (!fourDigit) y += 2000;
  if (y < 1601 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 24 || mi < 0 || mi > 59 ||
      s < 0 || s > 59)
    return false;
  t = LoggerTime{};
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(mo);
  t.day = static_cast<uint16_t>(d);
  t.hour = static_cast<uint16_t>(h);
  t.minute = static_cast<uint16_t>(mi);
  t.second = static_cast<uint16_t>(s);
  return true;
}


Outcome HeaderError() { return Outcome::Of(OutcomeKind::Failed, "Error while reading file header"); }

uint8_t TypeOfTitleWord(std::string_view word) {
  for (const ChannelType& t : ChannelTypeTable())
    if (Contains(std::string_view(t.shortLabel + 1), word)) return t.code;
  return 'U';
}

bool IsColumnTitleLine(std::string_view line) {
  for (const char* w : {"Temp", "Pres", "Volt", "Turb", "Cond", "D_O2", "PAR", "pH", "FlC", "FlR", "FlUV", "Paro",
                        "Optd", "Vlt", "Trans", "Gain", "Depth", "Generic", "Unknown"})
    if (Contains(line, w)) return true;
  return false;
}

// A "Timestamp" line of a DAT header.
bool ParseTimestampLine(std::string_view line, StampRecord& s, bool typed) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, sample = 0;
  const std::string at = FromColumn(line, line.find("Timestamp") + 10);
  if (std::sscanf(at.c_str(), "%4d/%2d/%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &se) != 6) return false;
  const auto after = AfterKey(line, "sample", 7);
  if (!after || std::sscanf(after->c_str(), "%d", &sample) != 1) return false;
  if (y < 1601 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || sample < 1) return false;
  s = StampRecord{};
  s.time.year = static_cast<uint16_t>(y);
  s.time.month = static_cast<uint16_t>(mo);
  s.time.day = static_cast<uint16_t>(d);
  s.time.hour = static_cast<uint16_t>(std::clamp(h, 0, 23));
  s.time.minute = static_cast<uint16_t>(std::clamp(mi, 0, 59));
  s.time.second = static_cast<uint16_t>(std::clamp(se, 0, 59));
  s.sampleIndex = sample - 1;
  s.type = 0;
  if (!typed) return true;
  if (const auto typeText = AfterKey(line, "type:", 6)) {
    for (int t = 0; t < kStampTypeCount; ++t)
      if (Contains(*typeText, StampName(t))) {
        s.type = t;
        break;
      }
  }
  if (s.type == kStampGain) {
    size_t pos = 0;
    while ((pos = line.find("channel=", pos)) != std::string_view::npos) {
      int channel = 0, gain = 0;
      const std::string rest = FromColumn(line, pos + 8);
      pos += 8;
      if (std::sscanf(rest.c_str(), "%d gain=%d", &channel, &gain) != 2) continue;
      if (channel < 1 || channel > kMaxChannels || gain < 0 || gain > 3) continue;
      s.gains[static_cast<size_t>(channel - 1)] = gain;
      s.changedMask |= 1u << (channel - 1);
    }
  }
  return true;
}

}  // namespace

Outcome ParseFileHeader(AppState& state, std::string_view firstLine, LineReader& reader, int mode, FileHeader& h) {
  LoggerInfo& l = h.logger;
  h.calibration = state.calibration;
  h.calibration.conductivityCorrection = ConductivityCorrection{};
  // 1. Identity.
  {
    char tmv[64] = {}, model[64] = {};
    float version = 0.0f;
    int serial = 0;
    const std::string first(firstLine);
    if (std::sscanf(first.c_str(), "%63s %63s %f %d", tmv, model, &version, &serial) < 2)
      return Outcome::Of(OutcomeKind::Failed, mode == kHeaderModeDat ? "This file is not an TMV DAT file"
                                                                     : "This file is not an TMV HEX file");
    l.model = model;
    l.firmwareVersion = version;
    l.serialNumber = serial;
    bool supported = false;
    for (const char* m : {"-3170", "QN-", "QNQ-", "VL-840", "VL-850", "-5170", "-3180", "HGF-900"})
      supported |= ModelContains(l.model, m);
    if (!supported)
      return Outcome::Of(OutcomeKind::Refused,
                         "This file is for a logger of type %s.\nThis type of logger is not supported by this software.",
                         {model});
  }
  // 2. Flags from the first line.
  l.cardProtocolLevel = 0;
  l.rsAdvanced = 0;
  l.minimumProgramVersionValid = false;
  h.damage.clear();
  // A value that cannot be what its line says is left out, and the line
  // named: no default stands in for it unsaid.
  auto damaged = [&](std::string_view ln, const char* what) {
    h.damage.push_back("'" + std::string(ln) + "': " + what);
  };
  if (const auto at = AfterKey(firstLine, "Minimum required", 17)) {
    float v = 0.0f;
    if (std::sscanf(at->c_str(), "%f", &v) == 1) {
      l.minimumProgramVersion = v;
      l.minimumProgramVersionValid = true;
    } else {
      damaged(firstLine, "no minimum program version");
    }
  }
  l.microchipLogger = FirmwareAbove(l.firmwareVersion, 4.99);
  l.waves = false;
  l.rates124Hz = false;
  if (IsTideWaveRecorder(l.model) && mode == kHeaderModeHex) {
    l.waves = true;
    l.rates124Hz = true;
  }
  // 3. Times.
  std::string_view line;
  LoggerTime* times[4] = {&h.hostTime, &h.loggerTime, &h.deployment.startTime, &h.deployment.endTime};
  for (int i = 0; i < 4; ++i) {
    if (!reader.Next(line) || !ReadHeaderTime(line, *times[i], i < 2)) return HeaderError();
  }
  // 4. Period.
  if (!reader.Next(line)) return HeaderError();
  if (Contains(line, "6Hz profiling")) {
    h.deployment.sixHzMode = true;
    h.deployment.samplingPeriod = MakeClock(0, 0, 1);
  } else {
    int hh = 0, mm = 0, ss = 0;
    const std::string at = FromColumn(line, 23);
    if (std::sscanf(at.c_str(), "%2d:%2d:%2d", &hh, &mm, &ss) != 3 || hh < 0 || hh > 24 || mm < 0 || mm > 59 ||
        ss < 0 || ss > 59)
      return HeaderError();
    h.deployment.sixHzMode = false;
    h.deployment.samplingPeriod = MakeClock(hh, mm, ss);
  }
  // 5. Channels, samples and status.
  if (!reader.Next(line)) return HeaderError();
  {
    const std::string at = FromColumn(line, 20);
    const auto samples = AfterKey(line, "number of samples = ", 20);
    const size_t modeAt = line.find("mode: ");
    if (std::sscanf(at.c_str(), "%d", &h.channelCount) != 1 || !samples ||
        std::sscanf(samples->c_str(), "%d", &h.sampleCount) != 1 || modeAt == std::string_view::npos)
      return HeaderError();
    if (h.channelCount < 1 || h.channelCount > kMaxChannels || h.sampleCount < 0) return HeaderError();
    const char letter = modeAt + 6 < line.size() ? line[modeAt + 6] : ' ';
    switch (letter) {
      case 'N': h.loggerStatus = 0; break;
      case 'E': h.loggerStatus = 1; break;
      case 'T': h.loggerStatus = 3; break;
      case 'M': h.loggerStatus = 7; break;
      case 'P': h.loggerStatus = 6; break;
      case 'L':
        h.loggerStatus = Contains(line, "Complete") ? 4 : Contains(line, "Suspended") ? 5 : Contains(line, "Stopped") ? 8 : 2;
        break;
      default:
        h.loggerStatus = 0;
        damaged(line, "no logger status after 'mode:'");
        break;
    }
  }
  l.channelCount = h.channelCount;
  // 6. The DAT time format.
  if (!reader.Next(line)) return HeaderError();
  const char f = line.empty() ? ' ' : line[0];
  h.timeFormat = f == 'N' ? 0 : f == 'A' ? 1 : 2;
  h.valueColumn = f == 'N' ? 0 : f == 'A' ? 9 : 20;
  // 7. Calibration.
  for (int c = 0; c < h.channelCount; ++c) {
    if (!reader.Next(line) || !Contains(line, "Calibration")) return HeaderError();
    auto& k = h.calibration.coefficients[static_cast<size_t>(c)];
    std::string text = FromColumn(line, 16);
    if (std::sscanf(text.c_str(), "%lf", &k[0]) != 1) return HeaderError();
    for (int i = 1; i < 4; ++i) {
      if (!reader.Next(line)) return HeaderError();
      text = std::string(line);
      int used = 0;
      if (std::sscanf(text.c_str(), "%lf%n", &k[static_cast<size_t>(i)], &used) != 1) return HeaderError();
      if (i == 3) {
        const std::string_view rest = std::string_view(text).substr(static_cast<size_t>(used));
        if (Contains(rest, "mS/cm")) l.conductivityMilliSiemens = true;
        if (Contains(rest, "uS/cm")) l.conductivityMilliSiemens = false;
      }
    }
  }
  h.microSiemens = !l.conductivityMilliSiemens;
  // 8. The rest of a multi-channel header, up to the column-title line.
  h.stamps.clear();
  auto addStamp = [&](const StampRecord& s) {
    if (h.stamps.size() < static_cast<size_t>(kMaxStamps)) h.stamps.push_back(s);
  };
  std::string badHeaderLength;
  auto commonKey = [&](std::string_view ln) -> bool {
    if (Contains(ln, "COMMENT:")) {
      h.comment = FromColumn(ln, ln.find("COMMENT:") + 9);
      return true;
    }
    if (Contains(ln, "Memory type")) {
      int n = 0;
      const auto at = AfterKey(ln, "Memory type", 12);
      if (at && std::sscanf(at->c_str(), "%d", &n) == 1 && n >= 0 && n <= 6) h.memoryType = n;
      else damaged(ln, "no memory type of 1 to 6");
      return true;
    }
    if (Contains(ln, "Number of bytes in header")) {
      int n = 0;
      const auto at = AfterKey(ln, "Number of bytes in header", 25);
      if (at && std::sscanf(at->c_str(), "%d", &n) == 1 && n >= 0 && n <= 255) {
        h.headerLength = n;
      } else {
        damaged(ln, "no header length of 0 to 255 bytes");
        badHeaderLength = h.damage.back();
      }
      return true;
    }
    return false;
  };
  if (IsMultiChannelModel(l.model) || l.microchipLogger) {
    for (;;) {
      if (!reader.Next(line)) return HeaderError();
      if (commonKey(line)) {
      } else if (Contains(line, "Engineering units level")) {
        const auto at = AfterKey(line, "Engineering units level", 23);
        int level = 0;
        if (at && std::sscanf(at->c_str(), "%d", &level) == 1 && level >= 0) l.engineeringUnitsLevel = level;
        else damaged(line, "no engineering units level");
      } else if (Contains(line, "Averaging")) {
        const auto at = AfterKey(line, "Averaging", 11);
        int seconds = 0;
        if (at && Contains(*at, "NONE")) {
          h.deployment.averagingEnabled = false;
        } else if (at && std::sscanf(at->c_str(), "%d", &seconds) == 1 && seconds >= 1 && seconds <= 10800) {
          h.deployment.averagingEnabled = true;
          h.deployment.averagingPeriod = seconds;
        } else {
          damaged(line, "no averaging period of 1 to 10800 seconds, nor NONE");
        }
        l.averaging = std::max(l.averaging, 1);
      } else if (Contains(line, "Logger start")) {
        for (unsigned m = 0; m < 6; ++m)
          if (Contains(line, kStartModeNames[m])) {
            h.deployment.startMode = m;
            break;
          }
        if (h.deployment.startMode == kStartAbove || h.deployment.startMode == kStartBelow) {
          const auto level = AfterKey(line, "threshold", 10);
          const auto channel = AfterKey(line, "channel", 7);
          int ch = 0;
          double value = 0.0;
          if (level && std::sscanf(level->c_str(), "%lf", &value) == 1 && std::isfinite(value))
            h.deployment.thresholdValue = value;
          else
            damaged(line, "no threshold level");
          if (channel && std::sscanf(channel->c_str(), "%d", &ch) == 1 && ch >= 1 && ch <= kMaxChannels)
            h.deployment.thresholdChannel = static_cast<unsigned>(ch - 1);
          else
            damaged(line, "no threshold channel");
        }
      } else if (Contains(line, "Timestamp")) {
        StampRecord s;
        if (mode == kHeaderModeDat) {
          if (ParseTimestampLine(line, s, true)) addStamp(s);
          else damaged(line, "no time and sample number of a stamp");
        }
      } else if (Contains(line, "Wave burst sample rate:")) {
        const auto at = AfterKey(line, "Wave burst sample rate:", 23);
        int rate = 0;
        if (at && std::sscanf(at->c_str(), "%d", &rate) == 1 && rate >= 1 && rate <= 16) h.waveSampleRate = rate;
        else damaged(line, "no sample rate of 1 to 16 Hz");
        h.deployment.burstRate = h.waveSampleRate;
        l.rates124Hz = true;
      } else if (Contains(line, "Wave burst sampling period:")) {
        int hh = 0, mm = 0, ss = 0;
        const auto at = AfterKey(line, "Wave burst sampling period:", 27);
        if (at && std::sscanf(at->c_str(), "%02d:%02d:%02d", &hh, &mm, &ss) == 3 && hh >= 0 && hh <= 24 && mm >= 0 &&
            mm <= 59 && ss >= 0 && ss <= 59)
          h.deployment.burstPeriod = MakeClock(hh, mm, ss);
        else
          damaged(line, "no period hh:mm:ss");
        h.deployment.waveEnabled = true;
        l.waves = true;
      } else if (Contains(line, "Wave burst sample length:")) {
        int n = 0;
        const auto at = AfterKey(line, "Wave burst sample length:", 25);
        if (at && std::sscanf(at->c_str(), "%d", &n) == 1 && n >= 0 && n <= 8192) h.deployment.burstSamples = n;
        else damaged(line, "no burst length of 0 to 8192 samples");
      } else if (Contains(line, "Logger height:")) {
        const auto at = AfterKey(line, "Logger height:", 15);
        double height = 0.0;
        if (at && std::sscanf(at->c_str(), "%lf", &height) == 1 && std::isfinite(height)) h.deployment.loggerHeight = height;
        else damaged(line, "no logger height");
      } else if (Contains(line, "Extended data range:")) {
        const std::string at = FromColumn(line, line.find("Extended data range:") + 21);
        l.extendedRange.fill(0);
        size_t i = 0;
        for (; i < 26 && 2 * i + 1 < at.size(); ++i) {
          unsigned v = 0;
          if (!std::isxdigit(static_cast<unsigned char>(at[2 * i])) || !std::isxdigit(static_cast<unsigned char>(at[2 * i + 1])) ||
              std::sscanf(at.substr(2 * i, 2).c_str(), "%02X", &v) != 1)
            break;
          if (i < l.extendedRange.size()) l.extendedRange[i] = static_cast<uint8_t>(v);
        }
        if (i < 26) {
          l.extendedRange.fill(0);
          damaged(line, "not the 26 bytes of the extended data range");
        }
      } else if (Contains(line, "MMC/SD")) {
        l.cardProtocolLevel = std::max(l.cardProtocolLevel, 1);
        uint32_t rs = 0;
        if (Contains(line, "MMC/SD Memory card present")) rs |= 1;
        if (Contains(line, "Generic Serial card present")) rs |= 2;
        if (Contains(line, "ASCII and Binary")) rs |= 12;
        else if (Contains(line, "ASCII")) rs |= 8;
        else rs |= 4;
        l.rsAdvanced = rs;
        if ((rs & 2) && (rs & 8)) {
          if (mode == kHeaderModeDat)
            return Outcome::Of(OutcomeKind::Refused,
                               "This file holds generic ASCII formatted data.\nThis type of data must be read using a text editor.");
          h.depthSuspended = true;
        }
      } else if (Contains(line, "Correction to conductivity")) {
        ConductivityCorrection& k = h.calibration.conductivityCorrection;
        const auto at = AfterKey(line, "Correction to conductivity", 27);
        ConductivityCorrection read;
        if (at && std::sscanf(at->c_str(), "%le %le %le %le", &read.a, &read.b, &read.tc, &read.c) == 4) k = read;
        else damaged(line, "not the four conductivity correction coefficients");
      }
      if (Contains(line, "COMMENT") || Contains(line, "Generic Serial")) continue;
      if (IsColumnTitleLine(line)) {
        // Word by word, channel by channel.
        int c = 0;
        size_t pos = 0;
        while (c < h.channelCount) {
          while (pos < line.size() && line[pos] == ' ') ++pos;
          if (pos >= line.size()) break;
          size_t end = line.find(' ', pos);
          if (end == std::string_view::npos) end = line.size();
          l.channelTypes[static_cast<size_t>(c++)] = TypeOfTitleWord(line.substr(pos, end - pos));
          pos = end;
        }
        for (; c < kMaxChannels; ++c) l.channelTypes[static_cast<size_t>(c)] = c < h.channelCount ? 'U' : 0;
        break;
      }
    }
  } else {
    // 9. Older models: a short list of keys; any other line ends the header.
    const bool typedStamps = TypedOlderStamps(l);
    for (;;) {
      const size_t before = reader.Position();
      if (!reader.Next(line, 79)) break;
      if (Contains(line, "Number of bytes of data")) {
        reader.Seek(before);  // the HEX reader looks for it
        break;
      }
      if (commonKey(line)) continue;
      // Lines this program's own writer puts into these headers are passed
      // over too, so that none of them is taken for the first row.
      if (Contains(line, "Atmospheric") || Contains(line, "Latitude") || Contains(line, "Averaging") ||
          Contains(line, "Wave burst") || Contains(line, "Logger height") || Contains(line, "Reset stamp") ||
          Contains(line, "Engineering units level") || Contains(line, "Correction to conductivity") ||
          Contains(line, "Extended data range") || Contains(line, "MMC/SD") || Contains(line, "Logger start"))
        continue;
      if (Contains(line, "Timestamp")) {
        StampRecord s;
        if (mode == kHeaderModeDat && typedStamps) {
          if (ParseTimestampLine(line, s, false)) addStamp(s);
          else damaged(line, "no time and sample number of a stamp");
        }
        continue;
      }
      break;
    }
    l.channelTypes.fill(0);
    const bool kpm = ModelContains(l.model, "KPM");
    l.channelTypes[0] = kpm ? 'T' : IsDepthRecorder(l.model) ? 'P' : 'T';
    if (kpm) l.channelTypes[1] = 'P';
  }
  // Where the data start in the memory image: a guess would decode every
  // word from the wrong place.
  if (!badHeaderLength.empty() && mode == kHeaderModeHex)
    return Outcome::Of(OutcomeKind::Failed,
                       "Error while reading file header.\n%s.\nThe data cannot be placed without it: the file is not read.",
                       {badHeaderLength});
  if (mode == kHeaderModeHex) l.parameterBlockLength = h.headerLength;
  return Outcome::Done();
}

void NoteHeaderDamage(AppState& state, const FileHeader& h, ReadNotes& notes) {
  if (h.damage.empty()) return;
  state.retrieval.fileDamaged = true;
  std::string lines;
  for (const std::string& d : h.damage) lines += "\n" + d;
  notes.Add(Format(Tr(state, "Error while reading file header.\nThese lines hold values that cannot be what they say; the values are left out:%s").c_str(),
                   lines.c_str()));
}

void ReadNotes::Add(std::string text) { texts.push_back(std::move(text)); }

Outcome ReadNotes::Result() const {
  if (texts.empty()) return Outcome::Done();
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : "\n\n") + t;
  return Outcome::Of(OutcomeKind::Partial, "%s", {all});
}

void ApplyFileHeader(AppState& state, const FileHeader& h) {
  state.logger = h.logger;
  state.calibration = h.calibration;
  RetrievalState& r = state.retrieval;
  r.data.deployment = h.deployment;
  r.data.loggerStatus = h.loggerStatus;
  r.data.hostTime = h.hostTime;
  r.data.loggerTime = h.loggerTime;
  r.comment = h.comment;
  r.memoryType = h.memoryType;
  r.waveSampleRate = h.waveSampleRate;
  r.depthSuspended = h.depthSuspended;
}

}  // namespace tmv

// ---------------------------------------------------------------- reading a HEX file

namespace tmv {

void EnableDataCommands(AppState& state) {
  for (int command : {cmd::kSaveFile, cmd::kSaveFormat, cmd::kSaveScreenSegment, cmd::kScreenCapture, cmd::kExportData})
    state.ui.SetCommandEnabled(command, true);
  if (IsTideWaveRecorder(state.logger.model)) state.ui.SetCommandEnabled(cmd::kSaveKzmCsv, true);
}

Outcome ReadHexFile(AppState& state, int mode, const std::string& chosenPath) {
  std::string path = chosenPath;
  // 2. The open-file dialog.
  if (mode == 1) {
    FileDialogRequest request;
    request.title = Tr(state, "Select an existing 'hex' file to be opened");
    request.directory = state.directories.hex;
    request.pattern = state.logger.serialNumber > 0 ? Format("%06d*.hex", state.logger.serialNumber) : "*.hex";
    request.filter = Tr(state, "All Hex Files (*.hex)");
    const auto chosen = state.ui.ChooseFile(request);
    if (!chosen) return Outcome::Of(OutcomeKind::Cancelled, "");
    path = *chosen;
    state.directories.hex = DirectoryOfCurrentFile(path, 1, state.directories.hex);
  }
  // 3. Open it, or its namesake in the work directory's hex folder.
  bool tooLarge = false;
  std::optional<std::string> text = ReadDataFile(path, kMaxDataFileBytes, &tooLarge);
  if (!text && !tooLarge && Contains(path, "hex")) {
    const size_t slash = path.find_last_of('/');
    const std::string alternative = WorkPath(state, "hex/" + path.substr(slash == std::string::npos ? 0 : slash + 1));
    text = ReadDataFile(alternative, kMaxDataFileBytes, &tooLarge);
    if (text) path = alternative;
  }
  if (tooLarge)
    return Outcome::Of(OutcomeKind::Refused, "%s is larger than any data file this program writes.\nIt is not read.", {path});
  if (!text) {
    RemoveRecentFile(state, path);
    return Outcome::Of(OutcomeKind::Failed, "File does not exist");
  }
  return ReadHexText(state, mode, path, *text);
}

Outcome ReadHexText(AppState& state, int mode, const std::string& path, std::string_view text) {
  RetrievalState& r = state.retrieval;
  r.fileDamaged = false;
  // 4, 5. The identity line.
  if (mode != 6) state.ui.SetStatusText(Format("Data from file: %s", path.c_str()), false);
  LineReader reader(text);
  std::string_view line;
  if (!reader.Next(line) || !Contains(line, "TMV")) return Outcome::Of(OutcomeKind::Failed, "This file is not an TMV HEX file");
  if (Contains(line, "KZM") && !state.settings.derived.depthEnabled) return KzmNeedsDepth(state, kKzmReadHexFile, path);
  // 6. The header.
  FileHeader header;
  header.logger = state.logger;
  header.headerLength = 30;
  if (Outcome parsed = ParseFileHeader(state, line, reader, kHeaderModeHex, header); !parsed.Ok()) return parsed;
  ReadNotes notes;
  // 7. The byte count.
  long long declared = -1;
  bool found = false;
  while (reader.Next(line)) {
    if (!Contains(line, "Number of bytes of data")) continue;
    found = true;
    const auto at = AfterKey(line, "data", 5);
    if (!at || std::sscanf(at->c_str(), "%lld", &declared) != 1) declared = 0;
    break;
  }
  if (!found) return Outcome::Of(OutcomeKind::Failed, "This file is not an TMV HEX file");
  if (declared < 1)
    return Outcome::Of(OutcomeKind::Failed, "Error while reading file.\nThe file is reporting 'Number of bytes of data' < 1.");
  // 8. The ruler, then the dump into the image. A missing ruler is not
  // skipped in place of the first dump line: that would shift every channel.
  const size_t dumpStart = reader.Position();
  if (reader.Next(line) && line.substr(0, 1) != "|") {
    reader.Seek(dumpStart);
    r.fileDamaged = true;
    notes.Add(Tr(state, "Error while reading file.\nThe ruler line after 'Number of bytes of data' is missing.\nThe data are read from the line after the byte count."));
  }
  ApplyFileHeader(state, header);
  const size_t wanted = static_cast<size_t>(std::min<long long>(declared, kMemoryImageSize));
  DumpDamage dumpDamage;
  const size_t got = ReadHexDump(reader.Rest(), r.image.Bytes(), wanted, &dumpDamage);
  NoteHeaderDamage(state, header, notes);
  if (dumpDamage.line != 0) {
    r.fileDamaged = true;
    const size_t at = reader.Position() + dumpDamage.offset;
    const size_t fileLine = static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
    std::string what;
    if (dumpDamage.junk)
      what = Format(Tr(state, "Line %zu of the file (dump line %zu) holds characters that are not hex digits.").c_str(),
                    fileLine, dumpDamage.line);
    else if (dumpDamage.digits % 2 != 0)
      what = Format(Tr(state, "Line %zu of the file (dump line %zu) holds %zu hex digits, an odd number where a byte is two:\na digit lost or added shifts every value after it.").c_str(),
                    fileLine, dumpDamage.line, dumpDamage.digits);
    else
      what = Format(Tr(state, "Line %zu of the file (dump line %zu) holds %zu hex digits, more than the 48 of a dump line:\ndigits added shift every value after them.").c_str(),
                    fileLine, dumpDamage.line, dumpDamage.digits);
    notes.Add(Format(Tr(state, "Error while reading file.\n%s\nThe %zu bytes before that line will be plotted; nothing from it or after it.").c_str(),
                     what.c_str(), got));
  } else if (declared > kMemoryImageSize) {
    r.fileDamaged = true;
    notes.Add(Format(Tr(state, "Error while reading file.\nThe file reports %lld bytes of data, more than a logger memory holds.\nThe first %d bytes will be plotted.").c_str(),
                     declared, kMemoryImageSize));
  } else if (got < wanted) {
    r.fileDamaged = true;
    notes.Add(Tr(state, "Error while reading file.\nThe file has lost data.\nThe available data will be plotted."));
  }
  // 9. The image holds what was read.
  r.image.imageLength = static_cast<int>(got);
  r.data.wordCount = static_cast<int>(got / 3);
  r.dataFromFile = true;
  r.data.unsaved = false;
  r.currentFile = path;
  if (mode == 6) return notes.Result();
  // 10. Decode it again.
  DecodeSampleStream(state, true);
  r.data.hostTime = header.hostTime;
  r.data.loggerTime = header.loggerTime;
  EnableDataCommands(state);
  if (!r.comment.empty())
    state.ui.SetStatusText(Format("Data from file: %s - %s", path.c_str(), r.comment.c_str()), false);
  AddRecentFile(state, path);
  return notes.Result();
}

FileDialogRequest AppendFileRequest(const AppState& state) {
  FileDialogRequest request;
  request.title = Tr(state, "Select a 'hex' filename to obtain the data already downloaded");
  request.directory = state.directories.dat;
  request.pattern = Format("%s/%06d*.dat", state.directories.dat.c_str(), state.logger.serialNumber);
  request.filter = Tr(state, "All Data Files (*.dat)");
  return request;
}

Outcome AppendToFile(AppState& state, const std::string& datPath) {
  const Outcome noFile = Outcome::Of(OutcomeKind::Failed, "File does not exist.\nChoose an existing file");
  const size_t dot = datPath.rfind(".dat");
  if (dot == std::string::npos) return noFile;
  std::string name = datPath.substr(0, dot) + ".hex";
  const size_t slash = name.find_last_of('/');
  const std::string hexPath = (state.directories.hexOutput.empty() ? WorkPath(state, "hex") : state.directories.hexOutput) +
                              "/" + name.substr(slash == std::string::npos ? 0 : slash + 1);
  const auto text = ReadDataFile(hexPath);
  if (!text) return noFile;
  LineReader reader(*text);
  std::string_view line;
  if (!reader.Next(line) || !Contains(line, "TMV"))
    return Outcome::Of(OutcomeKind::Failed, "This file is not an TMV HEX file.\n'Append to file' can not continue.");
  {
    char tmv[64] = {}, model[64] = {};
    float version = 0.0f;
    int serial = -1;
    const std::string first(line);
    std::sscanf(first.c_str(), "%63s %63s %f %d", tmv, model, &version, &serial);
    if (serial != state.logger.serialNumber)
      return Outcome::Of(OutcomeKind::Refused,
                         "This file is for a logger with serial number %06d.\nThe connected logger has serial number %06d.\n'Append to file' can not continue.",
                         {Format("%06d", serial), Format("%06d", state.logger.serialNumber)});
  }
  // The fourth line: the start of logging must be the logger's.
  for (int i = 0; i < 2; ++i) reader.Next(line);  // host and logger time
  LoggerTime start;
  if (!reader.Next(line) || !ReadHeaderTime(line, start, false) ||
      CompareTimes(start, state.deployment.startTime) != 0)
    return Outcome::Of(OutcomeKind::Refused,
                       "Data can not be appended to this file.\nThe file parameters do not match the logger parameters.");
  // The image refilled from the file; the logger's info stays the connected logger's.
  const LoggerInfo connected = state.logger;
  const CalibrationSet calibration = state.calibration;
  const Outcome read = ReadHexFile(state, 6, hexPath);
  state.logger = connected;
  state.calibration = calibration;
  // A file damaged part way holds its whole bytes up to the damage: the
  // download goes on from there.
  if (!WasRead(read))
    return Outcome::Of(OutcomeKind::Failed, "Error reading existing file '%s'.\n'Append to file' can not continue.\n%s",
                       {hexPath, OutcomeText(read, Tr(state, read.key))});
  state.retrieval.download.appendMode = true;
  state.retrieval.download.appendedFile = hexPath;
  return read;
}

}  // namespace tmv
