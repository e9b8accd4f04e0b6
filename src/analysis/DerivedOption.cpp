#include "analysis/DerivedOption.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tmv {

namespace {

bool Number(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// The oxygen units by their short names; the longer ones of earlier releases still work.
bool MgPerLitre(std::string_view o) { return o == "mg" || o == "mgl" || o == "mg/l"; }
bool MlPerLitre(std::string_view o) { return o == "ml" || o == "mll" || o == "ml/l"; }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

std::string ApplyWord(std::string_view word, DerivedSettings& s) {
  const size_t eq = word.find('=');
  if (eq != std::string_view::npos) return ApplyDerivedValue(word.substr(0, eq), word.substr(eq + 1), s);
  const size_t colon = word.find(':');
  const std::string_view name = word.substr(0, colon);
  const std::string_view option = colon == std::string_view::npos ? std::string_view() : word.substr(colon + 1);
  if (name == "none") {
    s.depthEnabled = s.salinityEnabled = s.conductivityCorrectionEnabled = s.specificConductivityEnabled = false;
    s.densityAnomalyEnabled = s.oxygenConcentrationEnabled = s.optodeConcentrationEnabled = false;
    s.optodeSaturationEnabled = s.speedOfSoundEnabled = false;
    return option.empty() ? std::string() : "'none' takes no option";
  }
  if (name == "depth") {
    s.depthEnabled = true;
    if (option == "seawater") s.depthSeawater = true;
    else if (option == "simplified") s.depthSeawater = false;
    else if (!option.empty()) return "depth takes seawater or simplified, not '" + std::string(option) + "'";
    return {};
  }
  if (name == "oxygen") {
    s.oxygenConcentrationEnabled = true;
    if (option == "umol") s.oxygenUnit = OxygenUnit::MicromolPerLitre;
    else if (MgPerLitre(option)) s.oxygenUnit = OxygenUnit::MgPerLitre;
    else if (MlPerLitre(option)) s.oxygenUnit = OxygenUnit::MlPerLitre;
    else if (!option.empty()) return "oxygen takes umol, mg or ml, not '" + std::string(option) + "'";
    return {};
  }
  if (name == "optode-concentration" || name == "optode") {
    s.optodeConcentrationEnabled = true;
    if (MgPerLitre(option)) s.optodeUnit = OptodeUnit::MgPerLitre;
    else if (MlPerLitre(option)) s.optodeUnit = OptodeUnit::MlPerLitre;
    else if (!option.empty()) return std::string(name) + " takes mg or ml, not '" + std::string(option) + "'";
    return {};
  }
  if (name == "sound") {
    s.speedOfSoundEnabled = true;
    if (option == "unesco") s.speedOfSoundFormula = SoundSpeedFormula::Unesco;
    else if (option == "delgrosso") s.speedOfSoundFormula = SoundSpeedFormula::DelGrosso;
    else if (option == "wilson") s.speedOfSoundFormula = SoundSpeedFormula::Wilson;
    else if (!option.empty()) return "sound takes unesco, delgrosso or wilson, not '" + std::string(option) + "'";
    return {};
  }
  bool* flag = nullptr;
  if (name == "salinity") flag = &s.salinityEnabled;
  else if (name == "corrected-conductivity" || name == "corrected") flag = &s.conductivityCorrectionEnabled;
  else if (name == "specific-conductivity" || name == "specific") flag = &s.specificConductivityEnabled;
  else if (name == "density-anomaly" || name == "density") flag = &s.densityAnomalyEnabled;
  else if (name == "optode-saturation") flag = &s.optodeSaturationEnabled;
  if (flag == nullptr) return "unknown derived unit '" + std::string(word) + "'";
  if (!option.empty()) return std::string(name) + " takes no option";
  *flag = true;
  return {};
}

}  // namespace

std::string ApplyDerivedValue(std::string_view name, std::string_view text, DerivedSettings& s) {
  double v = 0;
  if (!Number(text, v)) return "'" + std::string(text) + "' is not a number for " + std::string(name);
  auto inRange = [&](double low, double high, float& target) -> std::string {
    if (v < low || v > high) {
      char range[96];
      std::snprintf(range, sizeof range, " must be between %g and %g", low, high);
      return std::string(name) + range;
    }
    target = static_cast<float>(v);
    return {};
  };
  if (name == "atmospheric") return inRange(0.0, 20.0, s.atmosphericPressure);
  if (name == "water-density") return inRange(0.5, 2.0, s.waterDensity);
  if (name == "hydrostatic") return inRange(0.0, 12000.0, s.hydrostaticPressure);
  if (name == "fixed-temperature") return inRange(-5.0, 50.0, s.fixedTemperature);
  if (name == "fixed-salinity") return inRange(0.0, 50.0, s.fixedSalinity);
  if (name == "latitude") {
    if (v < -90.0 || v > 90.0) return "latitude must be between -90 and 90 degrees";
    // Only sin^2 of the latitude enters, so the hemisphere is dropped.
    const double a = std::fabs(v);
    s.latitudeDegrees = static_cast<int>(a);
    s.latitudeMinutes = static_cast<float>((a - s.latitudeDegrees) * 60.0);
    return {};
  }
  return "unknown value '" + std::string(name) + "'";
}

std::string ParseDerivedOption(std::string_view list, DerivedSettings& settings) {
  DerivedSettings s = settings;
  if (!Trim(list).empty()) {
    size_t start = 0;
    while (true) {
      const size_t comma = list.find(',', start);
      const std::string_view word = Trim(list.substr(start, comma == std::string_view::npos ? list.npos : comma - start));
      if (word.empty()) return "an empty word in the derived-unit list";
      if (std::string error = ApplyWord(word, s); !error.empty()) return error;
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  s.anyDerived = s.depthEnabled || s.salinityEnabled || s.conductivityCorrectionEnabled ||
                 s.specificConductivityEnabled || s.densityAnomalyEnabled || s.oxygenConcentrationEnabled ||
                 s.optodeConcentrationEnabled || s.optodeSaturationEnabled || s.speedOfSoundEnabled;
  settings = s;
  return {};
}

const char* DerivedOptionHelp() {
  return "Derived units, comma-separated: depth[:seawater|:simplified], salinity,\n"
         "corrected-conductivity, specific-conductivity, oxygen[:umol|:mg|:ml],\n"
         "sound[:unesco|:delgrosso|:wilson], density-anomaly, optode-concentration[:mg|:ml],\n"
         "optode-saturation, none (or corrected, specific, density, optode); values:\n"
         "atmospheric=DBAR, water-density=G_CM3, latitude=DEG, hydrostatic=DBAR,\n"
         "fixed-temperature=C, fixed-salinity=PSU, or the options below.";
}

}  // namespace tmv
