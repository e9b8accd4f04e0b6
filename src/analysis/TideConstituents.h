#pragma once
// The standard set of 146 tidal constituents (45 astronomical, 101 shallow
// water) with their astronomy: Doodson numbers, frequencies, equilibrium
// arguments V0 and nodal corrections f and u from the satellite tables.
//
// Tables and method: M.G.G. Foreman, Manual for Tidal Heights Analysis and
// Prediction, Pacific Marine Science Report 77-10, Institute of Ocean
// Sciences (1977, revised 2004), Appendices 1-3 (constituents, satellites,
// shallow-water combinations); G. Godin, The Analysis of Tides (1972).
// Astronomical arguments: Explanatory Supplement to the Astronomical
// Ephemeris (1961), the polynomials Foreman's manual uses.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmv {

// Times of the tide analysis: hours since 2000-01-01 00:00 UTC.
using TideHours = double;

// The six astronomical arguments in cycles (0..1): mean lunar time tau, the
// mean longitudes of the moon s and sun h, of the lunar perigee p, the
// negative of the moon's ascending node N' = -N, and of the perihelion p'.
struct AstronomicalArguments {
  std::array<double, 6> cycles{};  // tau, s, h, p, N', p'
};
AstronomicalArguments ArgumentsAt(TideHours t);
// Their rates in cycles per hour.
const std::array<double, 6>& ArgumentRates();

struct TideSatellite {
  std::array<int, 3> delta{};  // changes of the p, N' and p' numbers
  double phase = 0;            // cycles
  double ratio = 0;            // amplitude ratio to the main line
  int latitudeFactor = 0;      // 0 none; 1 diurnal (R1); 2 semidiurnal (R2)
};

struct TideShallowTerm {
  int constituent = 0;  // index of an astronomical constituent
  double factor = 0;
};

struct TideConstituent {
  std::string name;
  bool shallow = false;
  std::array<int, 6> doodson{};  // astronomical only
  double semi = 0;               // phase offset, cycles (astronomical only)
  std::vector<TideSatellite> satellites;
  std::vector<TideShallowTerm> terms;  // shallow water only
  double frequency = 0;                // cycles per hour
  // The constituent it must be told apart from in the standard automatic
  // choice (-1: not in that choice).
  int comparison = -1;
};

// All 146, in order of frequency within each species, as in Foreman's tables.
const std::vector<TideConstituent>& TideConstituents();
// Index by name (case-insensitive; "THETA1" and "LAMBDA2" are accepted for THE1 and LDA2).
std::optional<int> FindTideConstituent(std::string_view name);

// Nodal correction of one constituent: the amplitude factor f and the phase
// u (cycles), and its equilibrium argument V (cycles, 0..1).
struct NodalCorrection {
  double f = 1;
  double u = 0;
  double v = 0;
};
// For every constituent at time t and latitude (degrees; the satellites whose
// ratio depends on latitude use it, held at least 5 degrees from the equator).
std::vector<NodalCorrection> NodalCorrections(TideHours t, double latitudeDegrees);
// The same for one constituent (by index) at given arguments.
NodalCorrection NodalCorrectionOf(int index, const AstronomicalArguments& arguments, double latitudeDegrees);

}  // namespace tmv
