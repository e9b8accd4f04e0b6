// The emulated sea's tide: known constituents with the nodal corrections and
// equilibrium arguments of the program's own astronomy, so that a recording
// retrieved from the emulator has a known harmonic analysis.
#include <cmath>
#include <cstdint>
#include <optional>

#include "analysis/TideConstituents.h"
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Noise that is the same for the same logger second: splitmix64 of the
// second, four uniforms summed (near enough Gaussian, unit variance).
double NoiseAt(int64_t second) {
  uint64_t z = static_cast<uint64_t>(second) * 0x9E3779B97F4A7C15ull;
  double sum = 0;
  for (int i = 0; i < 4; ++i) {
    z += 0x9E3779B97F4A7C15ull;
    uint64_t x = z;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    sum += static_cast<double>(x >> 11) / 9007199254740992.0;
  }
  return (sum - 2.0) * std::sqrt(3.0);
}

}  // namespace

EmulatedTide DefaultEmulatedTide() {
  EmulatedTide t;
  t.constituents = {{"M2", 1.05, 118.0}, {"S2", 0.36, 152.0}, {"N2", 0.21, 97.0},  {"K2", 0.10, 149.0},
                    {"K1", 0.32, 214.0}, {"O1", 0.23, 198.0}, {"P1", 0.10, 211.0}, {"Q1", 0.045, 185.0},
                    {"M4", 0.06, 263.0}};
  return t;
}

double TideLevel(const EmulatedTide& tide, int64_t loggerMs) {
  const TideHours t = static_cast<double>(loggerMs) / 3.6e6 - tide.utcOffsetMinutes / 60.0;
  const AstronomicalArguments arguments = ArgumentsAt(t);
  double level = 0;
  for (const EmulatedTide::Constituent& c : tide.constituents) {
    const std::optional<int> k = FindTideConstituent(c.name);
    if (!k) continue;
    const NodalCorrection n = NodalCorrectionOf(*k, arguments, tide.latitude);
    level += n.f * c.amplitude * std::cos(kTwoPi * (n.v + n.u) - c.phase * kTwoPi / 360.0);
  }
  const int64_t second = loggerMs >= 0 ? loggerMs / 1000 : -((-loggerMs + 999) / 1000);
  return level + tide.noise * NoiseAt(second);
}

}  // namespace tmv::sim
