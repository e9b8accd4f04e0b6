// The micro-salinometer's bath: a sample of known salinity in the sample
// cell, standard seawater in the standard cell, both at the bath temperature.
#include <algorithm>
#include <cmath>

#include "analysis/SeawaterFormulas.h"
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

namespace {

// The conductivity ratio Rt (to S = 35 at the same temperature) of a
// salinity, by bisection on PSS-78 (salinity rises with Rt).
double RatioForSalinity(double salinity, double temperature) {
  double lo = 0.0005, hi = 2.5;
  for (int i = 0; i < 80; ++i) {
    const double mid = 0.5 * (lo + hi);
    (SalinityPss78(mid, temperature, 0.0, 1) < salinity ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

}  // namespace

std::optional<uint32_t> BenchRaw(const Profile& p, char type, int channel, const std::array<double, 4>& c) {
  if (!p.bench.sampleSalinity || p.model.find("VL-840") == std::string::npos) return std::nullopt;
  const Profile::Bench& b = p.bench;
  if (type == 'T') return RawForValue(b.bathTemperature, c, true);
  // The cells give a voltage proportional to the conductivity, whatever the
  // calibration says: the raw fraction is the gain times the ratio to S = 35.
  // Standard seawater's salinity follows from K15, its ratio at 15 degC.
  double fraction = 0.0;
  if (channel == 0) {
    fraction = b.sampleCellGain * RatioForSalinity(*b.sampleSalinity, b.bathTemperature);
  } else {
    const double standardSalinity = SalinityPss78(b.standardK15, 15.0, 0.0, 1);
    fraction = b.standardCellGain * RatioForSalinity(standardSalinity, b.bathTemperature);
  }
  return static_cast<uint32_t>(std::clamp(std::lround(fraction * 16777216.0), 0L, 0xFFFFFFL));
}

}  // namespace tmv::sim
