#pragma once
// The micro-salinometer panel as a model: the VL-840 sends real-time records
// six times a second; the panel averages them, computes the conductivity
// ratio and the practical salinity, says when the reading has settled,
// standardises the instrument against standard seawater and writes sample
// results to a ".sal" capture file. MicroSalTick is the tick's step.
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "deployment/Enabling.h"
#include "model/LoggerTime.h"
#include "retrieval/RealTime.h"

namespace tmv {

struct AppState;

// Series indices: A and B as raw fractions (raw / 2^24), T in degC, Rt, S.
enum MicroSalSeries { kSalA = 0, kSalT = 1, kSalB = 2, kSalRt = 3, kSalS = 4, kSalSeriesCount = 5 };

constexpr int kMicroSalSamplesPerSecond = 6;
constexpr int kMicroSalMaxSamples = 400;
constexpr int kMicroSalGraphCapacity = 2359296;

struct MicroSalState {
  // Averaging.
  int averagingSeconds = 30;  // 1..60
  int window = 180;           // averagingSeconds x 6
  std::array<std::deque<double>, kSalSeriesCount> series;
  int sampleCount = 0;
  std::array<double, kSalSeriesCount> averages{};
  std::deque<double> history;  // averaged salinity of each sample
  bool historyFull = false;
  double standardDeviation = 0.0;
  bool settled = false;

  // Standardisation ("new" fields of the panel).
  std::string batch = "P000";
  double k15 = 1.0;
  double vStandard0 = 0.0, vSample0 = 0.0, vStandard1 = 1.0, vSample1 = 1.0;
  double alpha = 1.0;
  // Table 06 as read from the instrument.
  double storedStandard1 = 1.0, storedSample1 = 1.0, storedK15 = 1.0;
  std::string storedBatch = "P000";

  // Capture file.
  std::string captureFile;  // empty: none open
  bool continuous = false;
  int64_t lastWrittenSecond = -1;

  // The panel.
  bool running = false;
  bool setupPending = false;     // the first tick checks the erase and enables
  bool moreInformation = false;  // "More information >>" pressed
  bool standardiseShown = false;
  std::string title;             // "VL-840 %06d"
  std::string text;              // the information text
  std::string salinityText;      // "Sample salinity (PSS-78): %.4f"
  int progress = 0;
  int channelA = 0, channelT = 1, channelB = 2;
  // What the start does when the calibration cannot be read (every ratio
  // and salinity depends on it).
  CalibrationChoice calibrationChoice = CalibrationChoice::Ask;
  EnableRun enableRun;
  std::vector<uint8_t> receive;  // real-time bytes not yet taken as records

  // The panel's graph: salinity, temperature, B and A means.
  std::array<std::vector<double>, 4> graph;
  bool graphOverflowed = false;  // "Graph cleared as data overflowed memory" shown
};

// The "Averaged over:" field: 1..60.
int ClampAveragingSeconds(int seconds);
void SetMicroSalAveraging(MicroSalState& m, int seconds);

// Steps 4 to 7 of the tick for one sample: the series, averages, history,
// standard deviation and the settled flag.
void AddMicroSalSample(MicroSalState& m, const std::array<double, kSalSeriesCount>& sample);
// One sample from the three raw readings: A and B as fractions, T and Rt converted.
std::array<double, kSalSeriesCount> MicroSalSampleFromRaw(const AppState& state, const MicroSalState& m,
                                                          int32_t rawA, int32_t rawT, int32_t rawB);
// Sample standard deviation over the values; 0 for fewer than two.
double HistoryStandardDeviation(const std::deque<double>& values);
// The information text of step 6 (and the SETTLED/SETTLING line with more information).
std::string MicroSalInformationText(const MicroSalState& m);

// alpha = (vStandard1 - vStandard0) x k15 / (vSample1 - vSample0).
double StandardisationAlpha(double k15, double vStandard0, double vSample0, double vStandard1, double vSample1);
// Why a standardisation cannot be accepted; empty when it can.
std::string StandardisationProblem(const MicroSalState& m);
// Recomputes alpha after a change of K15 or a voltage (unchanged when the values make no sense).
void RecomputeAlpha(MicroSalState& m);
// "Standardise>>": fills the fields from the calibration and table 06.
void ShowStandardisation(const AppState& state, MicroSalState& m);
// The three "Capture" buttons: 0 Vstandard(0), 1 Vsample(0), 2 Vsample(1) and Vstandard(1).
void CaptureStandardisation(MicroSalState& m, int button);

// Table 06: byte 0 = 1, three little-endian doubles, the batch NUL-padded.
std::array<uint8_t, 33> EncodeStandardisationTable(double vStandard1, double vSample1, double k15,
                                                   const std::string& batch);
// false when the table is not in that form.
bool DecodeStandardisationTable(const uint8_t* data, size_t count, MicroSalState& m);

// "Accept New Values": coefficients and table 06 into the instrument; 1 on success.
Outcome AcceptStandardisation(AppState& state, MicroSalState& m);

// Capture file.
// Opens (creates) the file and writes its head; false with a message on failure.
bool OpenCaptureFile(AppState& state, MicroSalState& m, const std::string& path, const std::string& comment,
                     bool continuous);
// "Open" with the questions of the panel (directory, file, overwrite, continuous, comment).
bool OpenCaptureFileInteractive(AppState& state, MicroSalState& m);
// "Close" with its question; true when closed.
bool CloseCaptureFile(AppState& state, MicroSalState& m);
// The result line of "Save now" (without its line end).
std::string CaptureLine(const MicroSalState& m, const std::string& information, const LoggerTime& now);
// "Save now": appends a line; in continuous mode only at seconds that are
// multiples of ten and not the second last written. true when written.
bool SaveNow(AppState& state, MicroSalState& m, const std::string& information, bool continuousMarker);

// The command: checks, programs the instrument and shows the panel; 1 when running.
Outcome RunMicroSalinometer(AppState& state, MicroSalState& m);
// The tick while the panel runs.
void MicroSalTick(AppState& state, MicroSalState& m);
// Takes the binary real-time records out of the received bytes; each record's
// 24-bit readings (channelCount of them). Bytes that form no record are dropped.
std::vector<std::vector<int32_t>> TakeMicroSalRecords(std::vector<uint8_t>& bytes, int channelCount);
// "Close" (panel): stops the instrument and clears the panel.
void CloseMicroSalinometer(AppState& state, MicroSalState& m);

}  // namespace tmv
