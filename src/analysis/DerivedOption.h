#pragma once
// The derived units named in one option string, for scripted use:
//   "depth,salinity,corrected-conductivity,specific-conductivity,oxygen:umol,
//    sound:unesco,density-anomaly,optode-concentration:mg,optode-saturation"
//   and "none" (short names: corrected, specific, density, optode)
// plus the values the formulas use, as "name=value" words in the same list:
//   atmospheric=10.1325, water-density=1.0281, latitude=45.5 (degrees, minutes
//   as a fraction), hydrostatic=0, fixed-temperature=15, fixed-salinity=35,
//   depth:seawater or depth:simplified.
#include <string>
#include <string_view>

#include "analysis/DerivedSettings.h"

namespace tmv {

// Applies the --derived list on top of `settings` (anyDerived follows the flags).
// Returns an empty string when applied, else the message for the first bad
// word, and then `settings` is left as it was.
std::string ParseDerivedOption(std::string_view list, DerivedSettings& settings);

// One of the values the formulas use, by its name in the list ("latitude",
// "atmospheric", "water-density", "hydrostatic", "fixed-temperature",
// "fixed-salinity") and its text. An empty string when set, else the message,
// and then `settings` is left as it was.
std::string ApplyDerivedValue(std::string_view name, std::string_view text, DerivedSettings& settings);

// The words ParseDerivedOption understands, for a command's help text.
const char* DerivedOptionHelp();

}  // namespace tmv
