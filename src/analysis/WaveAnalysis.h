#pragma once
// Wave analysis of the bursts of tide-and-wave recorders: each burst of
// pressure (or depth) readings becomes a rebuilt sea-surface series and its
// spectral and zero-up-crossing wave statistics, after the burst's trend is
// removed and the spectrum is corrected for the attenuation of wave pressure
// with depth (linear wave theory).
#include <cstdint>
#include <memory>
#include <vector>

#include "model/LoggerTime.h"

namespace tmv {

struct AppState;
struct DataSet;
class FourierPlan;

enum WaveStatus : int32_t {
  kWaveGood = 0,
  kWaveDepthError = 1,   // fitted mean depth not below the surface
  kWaveHeightWarning = 2,  // significant wave height above the water depth
  kWaveUnusable = 3,     // readings or burst parameters that cannot be analysed
};
// " - ERROR: ..." / " - WARNING: ..." / "" by status.
const char* WaveStatusText(int status);

struct WaveResult {
  float meanDepth = 0;        // [m] logger below the mean surface (trend line at the middle reading)
  float crestMax = 0;         // [m] highest surface elevation
  float troughMin = 0;        // [m] lowest surface elevation
  float peakFrequency = 0;    // [Hz] largest corrected spectral line
  float cutoffFrequency = 0;  // [Hz] upper limit of the analysis
  float variance = 0;         // [m^2] surface variance
  float energy = 0;           // [J/m^2]
  float hThird = 0;           // [m] Hm0 = 4 sqrt(variance), the spectral significant wave height (the files' H(1/3))
  float tThird = 0;           // [s] mean period of the highest third (zero crossings)
  float hTenth = 0;           // [m] mean height of the highest tenth
  float tTenth = 0;           // [s]
  float hAvg = 0;             // [m] mean height of the waves after the first
  float tAvg = 0;             // [s]
  float hMax = 0;             // [m] highest wave
  float tMax = 0;             // [s] its period
  int32_t status = kWaveGood;
  LoggerTime startTime;       // the burst stamp's time
  // [m] H1/3 of the zero crossings, the mean height of the highest third of
  // the waves: what hThird was before Hm0 replaced it, shown beside it so that
  // H max is read against a height of the same waves.
  float hThirdCrossing = 0;
};

// What the analysis of one burst needs besides its readings.
struct WaveParameters {
  int sampleRate = 0;            // fs [Hz]
  double loggerHeight = 0.0;     // z, logger above the seabed [m]
  bool readingsAreDepth = false; // the burst channel records depth [m], not pressure [dBar]
  // Pressure to depth, as the derived depth column does it.
  bool depthSeawater = false;        // true: seawater formula at the latitude; false: fixed density
  double latitude = 0.0;             // [degrees]
  double atmosphericPressure = 10.1325;  // [dBar], taken off the pressure reading
  double waterDensity = 1.0281;      // [g/cm3], simplified depth and the energy
};

constexpr int kTaperLength = 96;          // readings in the split cosine bell, both ends together
constexpr int kMinBurstLength = 128;      // shortest burst worth a taper of 96
constexpr int kMaxBurstLength = 8192;
constexpr double kResponseFactorLimit = 20.0;  // pressure-response factors at or above are not applied
constexpr double kWaveGravity = 9.80665;       // [m/s^2]

// Wave number [rad/m] of a wave of period [s] in water depth [m], linear
// dispersion relation, by iteration (at most 20000 steps). 0 when depth or
// period is not a positive number.
double WaveNumber(double depth, double period);

// Weight j (0..47) of the taper at each end of a burst.
double TaperWeight(int j);
// The factor that makes up for the variance the taper takes from n readings.
double TaperNorm(int n);

// Zero-up-crossing statistics of a surface series [m], periods in readings:
// hThird/tThird, hTenth/tTenth, hAvg/tAvg, hMax/tMax. Figures that need more
// waves than the series holds are 0.
void ZeroCrossingStatistics(const float* series, int n, WaveResult& result);

// The analysis of bursts of one length, with its transform planned once.
class WaveAnalyser {
 public:
  WaveAnalyser();
  ~WaveAnalyser();
  WaveAnalyser(const WaveAnalyser&) = delete;
  WaveAnalyser& operator=(const WaveAnalyser&) = delete;

  // Fills `result` (all but startTime) and surface[0..n-1] from n readings.
  // A burst that cannot be analysed gets status 1 or 3, its mean depth when
  // known, and zero figures and surface.
  void Analyse(const float* readings, int n, const WaveParameters& parameters, WaveResult& result, float* surface);

 private:
  std::unique_ptr<FourierPlan> plan_;
  std::vector<double> depth_;     // the burst as depth [m], then detrended
  std::vector<double> response_;  // pressure-response factor of each line up to the cut-off
};

// The results of the current DataSet's bursts, held for the files, the
// wave window and the per-row wave height.
struct WaveStore {
  int burstLength = 0;
  std::vector<WaveResult> results;
  std::vector<float> surfaces;  // burstLength per burst
  float latestWaveHeight = 0.0f;  // hThird of the burst analysed last
  WaveAnalyser analyser;

  int Count() const { return static_cast<int>(results.size()); }
  const float* Surface(int b) const { return surfaces.data() + static_cast<size_t>(b) * static_cast<size_t>(burstLength); }
  float* Surface(int b) { return surfaces.data() + static_cast<size_t>(b) * static_cast<size_t>(burstLength); }
  // Makes room for burst b of `length` readings; a new length drops the old results.
  void Ensure(int b, int length);
};

// The burst parameters of a DataSet with the program's depth settings.
WaveParameters WaveParametersFor(const AppState& state, const DataSet& data);
// The wave analysis of burst b of `data` into the store.
void AnalyseWaveBurst(const WaveParameters& parameters, const DataSet& data, int b, WaveStore& store);

// Plugs the analysis into decoding (and the tide and wave files into
// saving) of this AppState; its results are then at WaveResults(state).
void InstallWaveAnalysis(AppState& state);
WaveStore* WaveResults(AppState& state);
const WaveStore* WaveResults(const AppState& state);

// The index of the burst whose stamp is the last burst stamp at or before
// row; -1 before the first burst stamp or without bursts.
int BurstForRow(const DataSet& data, int row);
// The significant wave height [m] of the per-row column: the latest one in
// real time, else that of BurstForRow; 0.0 before the first burst.
double WaveHeightForRow(const DataSet& data, const WaveStore& store, int row, bool realTime);

// Tidal slope [m/hour] at row from a depth column of sampleCount rows
// sampled every samplingPeriod (a clock value); 0.0 within 7 rows of either end.
double TidalSlope(const float* depth, int sampleCount, int row, const LoggerTime& samplingPeriod);

// The real-time completion of a burst: true when a burst that has received
// `received` of `length` readings is to be analysed now (all in, or the next
// burst began and it holds at least three readings).
bool RealTimeBurstComplete(int received, int length, bool nextBurstBegun);
// Fills each reading not received with the mean of those that were; false
// (nothing to analyse) when none was received.
bool FillMissingBurstReadings(float* readings, const std::vector<bool>& received, int length);

}  // namespace tmv
