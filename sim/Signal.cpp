// What the emulated logger's sensors see: a deterministic sea per channel
// type, turned into raw counts through the logger's own calibration so that
// the program's conversion gives the values back.
#include <cmath>

#include "sim/EmulatorImpl.h"

namespace tmv::sim {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTidePeriodS = 12.42 * 3600.0;  // semi-diurnal lunar tide
constexpr double kDayS = 86400.0;

constexpr double kAtmosphereDbar = 10.1325;

// The sea state of a wave burst: a swell and a wind sea (heights crest to
// trough), felt by the pressure sensor as linear wave theory says, weakened
// with depth by cosh(k h) / cosh(k d) for a logger h above the bed in water d deep.
struct SeaComponent {
  double height;   // m
  double periodS;  // s
  double phase;    // rad
};
constexpr SeaComponent kSeaState[] = {{0.8, 10.0, 0.0}, {0.3, 5.0, 0.4}};
constexpr double kLoggerDepthM = 10.0;    // sea above the logger
constexpr double kLoggerHeightM = 1.0;    // logger above the bed
constexpr double kDbarPerMetre = 1.0055;  // rho g of seawater, 1025 kg/m3 x 9.81 m/s2, in dbar
constexpr double kGravity = 9.81;

// Wave number of the period in water kLoggerDepthM + kLoggerHeightM deep (w^2 = g k tanh(k d)).
double WaveNumber(double periodS) {
  const double d = kLoggerDepthM + kLoggerHeightM;
  const double w = kTwoPi / periodS;
  double k = w * w / kGravity;  // deep water to start; the iteration converges from above
  for (int i = 0; i < 100; ++i) k = w * w / (kGravity * std::tanh(k * d));
  return k;
}

double PressureResponse(double periodS) {
  const double k = WaveNumber(periodS);
  return std::cosh(k * kLoggerHeightM) / std::cosh(k * (kLoggerDepthM + kLoggerHeightM));
}

double Wave(double seconds, double periodS, double phase = 0.0) { return std::sin(kTwoPi * seconds / periodS + phase); }

}  // namespace

double SeaValue(const Profile& p, char type, int channel, int64_t loggerMs, bool waves) {
  const double s = static_cast<double>(loggerMs) / 1000.0;
  const double k = channel * 0.7;  // channels of one type differ a little
  switch (type) {
    case 'T': case 't':  // seawater temperature, 6..18 degC: daily and weekly swings
      return 12.0 + 3.5 * Wave(s, kDayS, k) + 2.0 * Wave(s, 7.3 * kDayS, k) + 0.1 * Wave(s, 611.0, k);
    case 'S':  // conductivity, mS/cm
      return 40.0 + 2.0 * Wave(s, kTidePeriodS, 1.0 + k) + 0.5 * Wave(s, kDayS, k);
    case 'C':  // the same sea in uS/cm, the unit of a channel reported as 'C'
      return 1000.0 * SeaValue(p, 'S', channel, loggerMs, waves);
    case 'P': case 'A': {  // pressure as the sensor reads it, dbar: the atmosphere above
      // 10 m of sea with its tide, and waves while a wave burst samples
      double v = kAtmosphereDbar + (kLoggerDepthM + TideLevel(p.tide, loggerMs)) * kDbarPerMetre;
      if (waves)
        for (const SeaComponent& c : kSeaState)
          v += c.height / 2.0 * kDbarPerMetre * PressureResponse(c.periodS) * Wave(s, c.periodS, c.phase);
      return v;
    }
    case 'D':  // dissolved oxygen
      return 6.5 + 0.8 * Wave(s, kDayS, 2.0 + k);
    case 'F': case 'f': case 'G': case 'g': case 'Z': case 'z': case 'I': case 'i':  // fluorescence
      return 1.2 + 0.8 * Wave(s, kDayS, 0.5 + k);
    case 'Y': case 'y':  // turbidity
      return 5.0 + 3.0 * Wave(s, kTidePeriodS, k);
    default:
      return 0.0;  // converted through the calibration below as a mid-scale reading
  }
}

// The raw count whose conversion is closest to `value`: bisection over the
// counts, whichever way the conversion runs. Bit 0 (the over-range mark)
// stays clear.
uint32_t RawForValue(double value, const std::array<double, 4>& c, bool thermistor) {
  if (!thermistor && c[2] == 0.0 && c[3] == 0.0 && c[1] != 0.0) {
    double x = (value - c[0]) / c[1];
    if (!(x > 0.01 && x < 0.99)) x = 0.55;  // a calibration for another range: a mid-scale reading
    const double raw = x * 16777216.0;
    return static_cast<uint32_t>(std::min(raw, 16777214.0)) & 0xFFFFFEu;
  }
  auto f = [&](uint32_t raw) { return thermistor ? Thermistor(raw, c) : Polynomial(raw, c); };
  uint32_t lo = 0x000100, hi = 0xFFFF00;
  const bool rising = f(hi) > f(lo);
  for (int i = 0; i < 24 && hi - lo > 1; ++i) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if ((f(mid) < value) == rising) lo = mid; else hi = mid;
  }
  return lo & 0xFFFFFEu;
}

}  // namespace tmv::sim
