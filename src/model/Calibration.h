#pragma once
// Calibration coefficients: reading them from the three generations of
// loggers, writing them back with verification, and explaining refusals.
#include <functional>
#include <string>

namespace tmv {

struct AppState;
struct LoggerInfo;

// Query 10: reads the coefficients once while calibrationStale is set, and
// records in calibration.origin what came of it.
// 1 = coefficients (or the defaults of an uncalibrated logger) in place;
// 0 = read failed: "Unable to read calibration coefficients - using defaults"
// (or, on an older multi-channel logger, the coefficients held so far) in
// place, origin Unreadable and calibrationStale set again.
int ReadCalibration(AppState& state);

// Whether the coefficients in hand may be written to the logger: only after
// its own were read, or it was found to hold none.
bool CalibrationWritable(const AppState& state);

// Newer loggers: the "V" tables. 1 = read; 0 = failed (CalibrationSet
// untouched). notCalibrated, when given, tells a logger that answered that it
// holds no calibration apart from one that could not be read.
int ReadCalibrationMicrochip(AppState& state, bool* notCalibrated = nullptr);

// Older multi-channel loggers: one record of the calibration page at
// calibration.nextRecordOffset. 0 = failed, not calibrated or (verifyOnly)
// different; 1 = read or verified equal; 2 = another record follows.
// After every record read, nextRecordOffset points past it. notCalibrated,
// when given, tells an empty page apart from a failed read.
int ReadCalibrationLegacy(AppState& state, bool verifyOnly, bool* notCalibrated = nullptr);

// Older single-channel loggers: the "Z" query. 1 = coefficients or the
// uncalibrated defaults in place; 0 = no usable reply.
int ReadCalibrationSingleChannel(AppState& state);

// Writes the CalibrationSet to the logger (after the calibration dialog's
// "Set calibration"). The logger clock is set to the host's time for the
// record's date and afterwards put back running on. 1 = written and verified.
int WriteCalibration(AppState& state);

// The "U" write sequence of newer loggers. Each status goes to the status
// line and, when given, to the progress dialog's text field.
int WriteCalibrationRecords(AppState& state, const std::function<void(const std::string&)>& progressText = {});

// Shows the message for the NAK code of a refused "U" write, if any.
void ExplainCalibrationNak(AppState& state);

// The logger keeps a conductivity correction (table 06): spare storage, a
// conductivity channel with correction, and not the micro-salinometer.
bool HasConductivityCorrectionTable(const LoggerInfo& info);

// Tries of the single-channel "Z" request before giving up.
constexpr int kSingleChannelCalibrationTries = 10;
// Bytes of calibration records the older multi-channel page holds.
constexpr int kLegacyCalibrationPageLimit = 65025;

}  // namespace tmv
