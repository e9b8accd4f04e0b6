#include "model/Calibration.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "deployment/SetupCommands.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr uint32_t kCalibrationPage = 0x00010000;
constexpr int kLegacyHeaderBytes = 6;
constexpr int kLegacyChannelBytes = 33;  // 32 coefficient bytes and a 0
constexpr int kReadTries = 5;
constexpr size_t kTableBufferSize = 256;

const char kNotCalibrated[] = "Logger not yet calibrated - using defaults";
const char kUnreadable[] = "Unable to read calibration coefficients - using defaults";
const char kCalibrationCaption[] = "Calibration";
const char kNotWritten[] =
    "The calibration coefficients of this logger could not be read.\nThe coefficients were not written.";

bool Contains(const uint8_t* data, size_t size, std::string_view needle) {
  if (needle.size() > size) return false;
  return std::string_view(reinterpret_cast<const char*>(data), size).find(needle) != std::string_view::npos;
}

void Box(AppState& state, const char* text, const char* caption, MessageIcon icon) {
  state.ui.MessageBox(Tr(state, text), Tr(state, caption), MessageButtons::Ok, icon, MessageAnswer::Ok);
}

int ChannelCount(const AppState& state) {
  const int n = state.logger.channelCount;
  return n < 1 ? 1 : (n > kMaxChannels ? kMaxChannels : n);
}

CoefficientRow& Row(CalibrationSet& set, int channel) { return set.coefficients[static_cast<size_t>(channel)]; }

// The older multi-channel loggers give no calibration to other channels than
// thermistors: they read as a fraction of full scale until calibrated.
void ApplyLegacyDefaults(AppState& state) {
  for (int i = 0; i < ChannelCount(state); ++i)
    Row(state.calibration, i) = state.logger.channelTypes[static_cast<size_t>(i)] == 'T'
                                    ? DefaultCoefficients('T')
                                    : CoefficientRow{0.0, 1.0, 0.0, 0.0};
}

// The logger clock as query 1 reports it; false when no time came back, so
// that a failed read is never written back to the logger as its time.
bool ReadLoggerClock(AppState& state, LoggerTime& clock) {
  if (CommGet(state, 1) != 1) return false;
  const std::string_view reply = state.reply.Bytes();
  const size_t tag = reply.find("CTD");
  if (tag == std::string_view::npos || tag < 12) return false;
  for (size_t i = tag - 12; i < tag; ++i)
    if (!std::isdigit(static_cast<unsigned char>(reply[i]))) return false;
  clock = ParseTimeReply(reply);
  return true;
}

// ---- Older multi-channel loggers: the calibration page ----

enum class LegacyOutcome { Failed, NotCalibrated, Different, Read, More };

// Reads offset..offset+count of the calibration page with its sum byte.
bool ReadPageBlock(AppState& state, int offset, int count, uint8_t* dest) {
  const uint32_t start = kCalibrationPage + static_cast<uint32_t>(offset);
  const size_t got = ReadMemory(state, start, start + static_cast<uint32_t>(count), dest,
                                static_cast<size_t>(count) + 1);
  return got == static_cast<size_t>(count) + 1 && Sum8(dest, static_cast<size_t>(count)) == dest[count];
}

void ShowDownloadError(AppState& state) {
  Box(state, "Download Error in reading calibration coefficients", kCalibrationCaption, MessageIcon::Exclamation);
}

LegacyOutcome ReadLegacyRecord(AppState& state, bool verifyOnly) {
  CalibrationSet& cal = state.calibration;
  const int channels = ChannelCount(state);
  int o = cal.nextRecordOffset;
  uint8_t block[128] = {};

  // Header: the calibration date as six BCD bytes.
  bool good = false;
  for (int i = 0; i < kReadTries && !good; ++i) good = ReadPageBlock(state, o, kLegacyHeaderBytes, block);
  if (!good) {
    ShowDownloadError(state);
    return LegacyOutcome::Failed;
  }
  if (block[0] == 0xFF) {
    if (verifyOnly) return LegacyOutcome::NotCalibrated;
    ShowStatus(state, Tr(state, kNotCalibrated));
    ApplyLegacyDefaults(state);
    return LegacyOutcome::NotCalibrated;
  }
  const LoggerTime date = TimeFromBcd(block);
  cal.calibrationDate = {date.year - 2000, date.month, date.day, date.hour, date.minute, date.second};
  o += kLegacyHeaderBytes;

  std::array<CoefficientRow, kMaxChannels> rows{};
  for (int ch = 0; ch < channels; ++ch) {
    int bad = 0;
    while (!ReadPageBlock(state, o, kLegacyChannelBytes, block)) {
      if (++bad >= kReadTries) {
        ShowDownloadError(state);
        return LegacyOutcome::Failed;
      }
      // Whatever is still on its way belongs to the bad request.
      DelayMs(state, 500);
      uint8_t drain[kLegacyChannelBytes + 2];
      LinkRead(state, state.loggerLink, drain, kLegacyChannelBytes + 1);
    }
    rows[static_cast<size_t>(ch)] = RowFromBytes(block);
    // A record with a good sum but no usable numbers is not a calibration.
    if (!AllFinite(rows[static_cast<size_t>(ch)])) {
      ShowDownloadError(state);
      return LegacyOutcome::Failed;
    }
    o += kLegacyChannelBytes;
  }

  if (!verifyOnly)
    for (int ch = 0; ch < channels; ++ch) Row(cal, ch) = rows[static_cast<size_t>(ch)];
  // Where the next record would start, whether or not one follows.
  cal.nextRecordOffset = o;

  // Peek at the next record, unless the page could not hold another one.
  bool another = false;
  if (o + kLegacyHeaderBytes + kLegacyChannelBytes * channels < kLegacyCalibrationPageLimit) {
    good = false;
    for (int i = 0; i < kReadTries && !good; ++i) good = ReadPageBlock(state, o, 3, block);
    if (!good) {
      ShowDownloadError(state);
      return LegacyOutcome::Failed;
    }
    another = block[0] != 0xFF;
  }
  if (another) return LegacyOutcome::More;

  if (verifyOnly) {
    for (int ch = 0; ch < channels; ++ch)
      if (rows[static_cast<size_t>(ch)] != Row(cal, ch)) return LegacyOutcome::Different;
  }
  return LegacyOutcome::Read;
}

int LegacyResult(LegacyOutcome outcome) {
  switch (outcome) {
    case LegacyOutcome::More: return 2;
    case LegacyOutcome::Read: return 1;
    default: return 0;
  }
}

// ---- Older single-channel loggers ----

enum class SingleOutcome { Failed, NotCalibrated, Read };

// The logger answers "Z" with "CAL" alone when it holds no calibration, or
// with the 32 coefficient bytes followed by "CAL". The coefficients are found
// in front of the tag, wherever noise put it; anything else is asked again,
// a bounded number of times.
SingleOutcome ReadSingleChannel(AppState& state) {
  uint8_t reply[128];
  for (int attempt = 0; attempt < kSingleChannelCalibrationTries; ++attempt) {
    LinkWrite(state, state.loggerLink, "Z");
    // Ends at the line after the tag; a logger that ends no line runs to the time-out.
    const size_t n = LinkReadUntil(state, state.loggerLink, reply, 120, LineWith("CAL"));
    const std::string_view text(reinterpret_cast<const char*>(reply), n);
    if (n >= 3 && n < 8 && text.substr(0, 3) == "CAL") {
      ShowStatus(state, Tr(state, kNotCalibrated));
      Row(state.calibration, 0) = SingleChannelDefaultCoefficients(state.logger.model);
      return SingleOutcome::NotCalibrated;
    }
    // The last tag ends the newest reply; bytes of an earlier one may precede it.
    const size_t tag = text.rfind("CAL");
    if (tag != std::string_view::npos && tag >= 32) {
      const CoefficientRow row = RowFromBytes(reply + tag - 32);
      if (!AllFinite(row)) continue;
      Row(state.calibration, 0) = row;
      return SingleOutcome::Read;
    }
  }
  return SingleOutcome::Failed;
}

// ---- Writing ----

void ShowWriteOutcome(AppState& state, bool ok) {
  if (ok)
    Box(state, "Writing of calibration coefficients successful.", kCalibrationCaption, MessageIcon::Information);
  else
    Box(state, "Error in writing calibration coefficients.\nTry again.", kCalibrationCaption,
        MessageIcon::Exclamation);
}

int WriteMicrochip(AppState& state) {
  CalibrationSet& cal = state.calibration;
  int result = 1;
  if (cal.changedFlags & 1) result = WriteCalibrationRecords(state);
  if (result == 1 && (cal.changedFlags & 2) && HasConductivityCorrectionTable(state.logger)) {
    uint8_t data[34] = {};
    data[0] = 2;
    const ConductivityCorrection& cc = cal.conductivityCorrection;
    RowToBytes(CoefficientRow{cc.a, cc.b, cc.tc, cc.c}, data + 1);
    result = WriteTableVerified(state, 6, data, 33);
  }
  return result;
}

int WriteLegacyMultiChannel(AppState& state) {
  CalibrationSet& cal = state.calibration;
  const int channels = ChannelCount(state);
  int o = cal.nextRecordOffset;
  if (o + kLegacyChannelBytes * channels + kLegacyHeaderBytes >= kLegacyCalibrationPageLimit) {
    Box(state, "Insufficient memory available for storing calibration coefficients.\nContact TMV.",
        kCalibrationCaption, MessageIcon::Exclamation);
    return 0;
  }
  LoggerTime now;
  if (!ReadLoggerClock(state, now)) {
    ShowWriteOutcome(state, false);
    return 0;
  }
  // The header is the date as the digits of the clock, stored as BCD.
  LinkWrite(state, state.loggerLink, Format("!C%02X%02X%02X", o & 0xFF, (o >> 8) & 0xFF, 6) + TimeToWireText(now));
  o += kLegacyHeaderBytes;
  for (int ch = 0; ch < channels; ++ch) {
    DelayMs(state, 100);
    ShowStatus(state, Format(Tr(state, "Writing calibration data for channel %d").c_str(), ch + 1));
    uint8_t bytes[32];
    RowToBytes(Row(cal, ch), bytes);
    LinkWrite(state, state.loggerLink,
              Format("!C%02X%02X%02X", o & 0xFF, (o >> 8) & 0xFF, 32) + HexBytes(bytes, sizeof bytes));
    o += kLegacyChannelBytes;
  }
  DelayMs(state, 100);
  cal.nextRecordOffset = 0;
  int r;
  do {
    r = ReadCalibrationLegacy(state, true);
  } while (r == 2);
  // After a failed check neither the coefficients nor the end of the records
  // are known: read the page again before another record is written.
  if (r != 1) state.logger.calibrationStale = true;
  ShowWriteOutcome(state, r == 1);
  return r == 1 ? 1 : 0;
}

int WriteSingleChannel(AppState& state) {
  const CoefficientRow written = Row(state.calibration, 0);
  uint8_t block[33];
  block[0] = 'Y';
  RowToBytes(written, block + 1);
  LinkWriteBytes(state, state.loggerLink, block, sizeof block);
  // Read back what the logger now holds; without marking the coefficients
  // stale the read would be skipped and the comparison always succeed.
  state.logger.calibrationStale = true;
  ReadCalibration(state);
  const bool ok = Row(state.calibration, 0) == written;
  ShowWriteOutcome(state, ok);
  return ok ? 1 : 0;
}

}  // namespace

bool HasConductivityCorrectionTable(const LoggerInfo& info) {
  return (info.rsCommandLevel & kRsSpareStorage) != 0 && info.conductivityMilliSiemens &&
         !IsMicroSalinometer(info.model);
}

int ReadCalibrationMicrochip(AppState& state, bool* notCalibrated) {
  if (notCalibrated != nullptr) *notCalibrated = false;
  uint8_t table[kTableBufferSize];
  int r = 0;
  for (int i = 0; i < kReadTries && r != 1; ++i) {
    std::memset(table, 0, sizeof table);
    r = ReadTable(state, "V000000", table, sizeof table);
  }
  // An empty header, or one without a complete calibration, is an answer:
  // the logger holds no calibration. A header that never came is not.
  if (r == -1 || (r == 1 && !Contains(table, sizeof table, "CAL"))) {
    if (notCalibrated != nullptr) *notCalibrated = true;
    return 0;
  }
  if (r != 1) return 0;

  CalibrationSet read = state.calibration;
  for (int n = 1; n <= ChannelCount(state); ++n) {
    const std::string command = Format("V0000%02X", n);
    r = -1;
    for (int i = 0; i < kReadTries && r == -1; ++i) r = ReadTable(state, command, table, sizeof table);
    if (r != 1) return 0;
    const CoefficientRow row = RowFromBytes(table);
    if (!AllFinite(row)) return 0;
    Row(read, n - 1) = row;
  }

  read.conductivityCorrection = DefaultConductivityCorrection();
  if (HasConductivityCorrectionTable(state.logger)) {
    std::memset(table, 0, sizeof table);
    if (ReadTable(state, "R0600", table, sizeof table) == 1 && table[0] == 2) {
      const CoefficientRow cc = RowFromBytes(table + 1);
      if (AllFinite(cc)) read.conductivityCorrection = ConductivityCorrection{cc[0], cc[1], cc[2], cc[3]};
    }
  }
  state.calibration = read;
  return 1;
}

int ReadCalibrationLegacy(AppState& state, bool verifyOnly, bool* notCalibrated) {
  const LegacyOutcome outcome = ReadLegacyRecord(state, verifyOnly);
  if (notCalibrated != nullptr) *notCalibrated = outcome == LegacyOutcome::NotCalibrated;
  return LegacyResult(outcome);
}

int ReadCalibrationSingleChannel(AppState& state) {
  return ReadSingleChannel(state) == SingleOutcome::Failed ? 0 : 1;
}

int ReadCalibration(AppState& state) {
  LoggerInfo& info = state.logger;
  if (!info.calibrationStale) return 1;
  info.calibrationStale = false;
  ShowStatus(state, Tr(state, "Reading calibration data "));
  CalibrationSet& cal = state.calibration;

  // The defaults stand in for coefficients that could not be read, so that
  // readings still convert; the origin keeps them from being written back.
  auto unreadable = [&](bool keepCoefficients) {
    if (!keepCoefficients) {
      ShowStatus(state, Tr(state, kUnreadable));
      ApplyDefaultCoefficients(info, cal);
      cal.conductivityCorrection = DefaultConductivityCorrection();
    }
    cal.origin = CalibrationOrigin::Unreadable;
    info.calibrationStale = true;
    return 0;
  };

  if (info.microchipLogger) {
    bool notCalibrated = false;
    if (ReadCalibrationMicrochip(state, &notCalibrated) != 1) {
      if (!notCalibrated) return unreadable(false);
      ShowStatus(state, Tr(state, kNotCalibrated));
      ApplyDefaultCoefficients(info, cal);
      cal.conductivityCorrection = DefaultConductivityCorrection();
      cal.origin = CalibrationOrigin::NotCalibrated;
      return 1;
    }
  } else if (IsMultiChannelModel(info.model)) {
    const auto before = cal.coefficients;
    cal.nextRecordOffset = 0;
    LegacyOutcome outcome;
    do {
      outcome = ReadLegacyRecord(state, false);
    } while (outcome == LegacyOutcome::More);
    if (outcome == LegacyOutcome::NotCalibrated) {
      // The defaults are in place and the status line says so.
      cal.origin = CalibrationOrigin::NotCalibrated;
      return 1;
    }
    if (outcome != LegacyOutcome::Read) {
      // An earlier record is not the current calibration: keep what we had.
      cal.coefficients = before;
      return unreadable(true);
    }
  } else {
    const SingleOutcome outcome = ReadSingleChannel(state);
    if (outcome == SingleOutcome::Failed) {
      ShowStatus(state, Tr(state, kUnreadable));
      Row(cal, 0) = SingleChannelDefaultCoefficients(info.model);
      return unreadable(true);
    }
    if (outcome == SingleOutcome::NotCalibrated) {
      cal.origin = CalibrationOrigin::NotCalibrated;
      return 1;
    }
  }

  cal.origin = CalibrationOrigin::Read;
  ShowStatus(state, Tr(state, "Calibration Coefficients read successfully"));
  return 1;
}

bool CalibrationWritable(const AppState& state) {
  const CalibrationOrigin origin = state.calibration.origin;
  return !state.logger.calibrationStale &&
         (origin == CalibrationOrigin::Read || origin == CalibrationOrigin::NotCalibrated);
}

void ExplainCalibrationNak(AppState& state) {
  const std::string_view reply = state.reply.Bytes();
  const size_t nak = reply.find(static_cast<char>(kNak));
  if (nak == std::string_view::npos || nak < 8) return;
  const std::string_view code = reply.substr(nak - 8, 2);
  const char* text = nullptr;
  if (code == "F0")
    text = "There is a channel error in terminating\nthe writing of the calibration coefficients.";
  else if (code == "F1")
    text = "There is no more memory available for further calibration coefficients.";
  else if (code == "F2")
    text = "There is no configuration table loaded in this logger.";
  if (text != nullptr) Box(state, text, "Calibration Error", MessageIcon::Stop);
}

int WriteCalibrationRecords(AppState& state, const std::function<void(const std::string&)>& progressText) {
  auto show = [&](const std::string& text) {
    ShowStatus(state, text);
    if (progressText) progressText(text);
  };
  uint8_t open[2] = {'A', 0};
  if (SendTable(state, "U0000", 1, open) != 1) {
    show(Tr(state, "Start of calibration procedure send error"));
    ExplainCalibrationNak(state);
    return 0;
  }
  for (int n = 1; n <= ChannelCount(state); ++n) {
    show(Format(Tr(state, "Writing calibration data for channel %d").c_str(), n));
    uint8_t data[34] = {};
    RowToBytes(Row(state.calibration, n - 1), data);
    if (SendTable(state, Format("U%02X%02X", n & 0xFF, (n >> 8) & 0xFF), 33, data) != 1) {
      show(Format(Tr(state, "Failure in writing calibration data for channel %d").c_str(), n));
      return 0;
    }
  }
  uint8_t close[2] = {'Z', 0};
  if (SendTable(state, "U0000", 1, close) != 1) {
    show(Tr(state, "End of calibration procedure send error"));
    ExplainCalibrationNak(state);
    return 0;
  }
  show(Tr(state, "Calibration successful"));
  return 1;
}

int WriteCalibration(AppState& state) {
  LoggerInfo& info = state.logger;
  // Coefficients that could not be read are still the logger's: defaults
  // must not go over them. An older multi-channel logger also gets the new
  // record where the last one read ended, which needs its page read through.
  if (!CalibrationWritable(state)) {
    Box(state, kNotWritten, kCalibrationCaption, MessageIcon::Exclamation);
    return 0;
  }
  LoggerTime loggerClock;
  if (!ReadLoggerClock(state, loggerClock)) {
    ShowStatus(state, Tr(state, "Unable to read the logger clock - calibration not written"));
    return 0;
  }
  const int64_t readAtMs = state.clock.Milliseconds();
  // The record is dated by the logger's clock: give it the host's time.
  LoggerTime host = state.clock.LocalTime();
  host.milliseconds = 0;
  state.deployment.loggerClock = host;
  const int serial = info.serialNumber;
  SendSetupCommand(state, kSetupSetClock);
  if (!ConnectLogger(state)) return 0;

  int result = 0;
  if (info.serialNumber != serial) {
    // The coefficients are those of the logger they were read from, not of
    // the one that answers now.
    ShowWriteOutcome(state, false);
  } else if (info.microchipLogger) {
    result = WriteMicrochip(state);
  } else if (IsMultiChannelModel(info.model)) {
    result = WriteLegacyMultiChannel(state);
  } else {
    result = WriteSingleChannel(state);
  }

  // Put the logger's own time back, run on by the time this took.
  const int64_t elapsedMs = state.clock.Milliseconds() - readAtMs;
  state.deployment.loggerClock = AddMilliseconds(loggerClock, static_cast<int32_t>(elapsedMs));
  state.deployment.loggerClock.milliseconds = 0;
  SendSetupCommand(state, kSetupSetClock);
  return result;
}

}  // namespace tmv
