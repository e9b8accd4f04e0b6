#include "analysis/DerivedUnitsDialog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/DerivedChannels.h"
#include "files/HexFile.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv {

namespace {

using D = DerivedUnitsDialog;

std::string Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.remove_suffix(1);
  return t;
}

// The whole field must be one finite number.
bool ReadNumber(std::string_view text, double& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(v) ||
      std::fabs(v) > 3.0e38)
    return false;
  value = v;
  return true;
}

bool ReadWhole(std::string_view text, long& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  value = v;
  return true;
}

}  // namespace

const char* DerivedUnitsDialog::Text(int control) {
  switch (control) {
    case kDepth: return "Depth m";
    case kSimplified: return "Density (g/cm3)";
    case kSeawater: return "Seawater";
    case kSalinity: return "Practical Salinity Scale";
    case kCorrection: return "Apply conductivity correction";
    case kSpecificConductivity: return "corrected to 25C";
    case kDensityAnomaly: return "kg/m3";
    case kWeiss: return "Weiss concentration";
    case kWeissUmol: return "\xB5Mol/l";
    case kWeissMgL: return "mg/l";
    case kWeissMlL: return "ml/l";
    case kOptodeConcentration: return "Calculate concentration:";
    case kOptodeMgL: return "mg/l";
    case kOptodeMlL: return "ml/l";
    case kOptodeSaturation: return "Garcia and Gordon saturation";
    case kSoundSpeed: return "Calculate speed of sound using:";
    case kUnesco: return "UNESCO";
    case kDelGrosso: return "del Grosso";
    case kWilson: return "Wilson";
    case kAtmosphericDefault:
    case kDensityDefault: return "Use default";
    case kViewEquation: return "View equation";
    case kLatitudeLabel: return "Latitude (degrees, minutes)";
    case kAtmosphericLabel: return "Atmospheric pressure (dBar)";
    case kDensityLabel: return "Water density";
    case kHydrostaticLabel: return "Hydrostatic pressure (dBar)";
    case kFixedTemperatureLabel: return "Temperature (C)";
    case kFixedSalinityLabel: return "Salinity (PSU)";
    default: return "";
  }
}

const std::array<DerivedUnitsDialog::Group, 10>& DerivedUnitsDialog::Groups() {
  static const std::array<Group, 10> groups = {{
      {"Depth - any logger with a pressure channel", {kDepth}},
      {"Seawater: UNESCO Tech Paper in Marine Science No. 44.",
       {kSeawater, kLatitudeLabel, kLatitudeDegrees, kLatitudeMinutes}},
      {"Simplified: depth[m]=(pres-atmos)[dBar]/(density*0.980665)",
       {kSimplified, kWaterDensity, kDensityDefault, kAtmosphericLabel, kAtmosphericPressure, kAtmosphericDefault}},
      {"Conductivity", {kCorrection, kViewEquation}},
      {"Salinity - multi-channel loggers with conductivity and temperature", {kSalinity}},
      {"Specific conductivity - multi-channel loggers with conductivity and temperature", {kSpecificConductivity}},
      {"Speed of sound - multi-channel loggers with conductivity and temperature",
       {kSoundSpeed, kUnesco, kDelGrosso, kWilson}},
      {"Density anomaly - tide recorders and multi-channel loggers with pressure", {kDensityAnomaly}},
      {"Dissolved Oxygen",
       {kWeiss, kWeissUmol, kWeissMgL, kWeissMlL, kOptodeConcentration, kOptodeMgL, kOptodeMlL, kOptodeSaturation}},
      {"Calculations of Dissolved Oxygen and Density / Calculations of Salinity and Conductivity Correction",
       {kFixedTemperatureLabel, kFixedTemperature, kFixedSalinityLabel, kFixedSalinity, kHydrostaticLabel,
        kHydrostaticPressure}},
  }};
  return groups;
}

DerivedUnitsDialog::DerivedUnitsDialog(AppState& state) : state_(state) {
  const DerivedSettings& s = state.settings.derived;
  fields_[kLatitudeDegrees] = std::to_string(s.latitudeDegrees);
  fields_[kLatitudeMinutes] = Printf("%.3f", s.latitudeMinutes);
  fields_[kAtmosphericPressure] = Printf("%f", s.atmosphericPressure);
  fields_[kWaterDensity] = Printf("%f", s.waterDensity);
  fields_[kHydrostaticPressure] = Printf("%.2f", s.hydrostaticPressure);
  fields_[kFixedTemperature] = Printf("%.2f", s.fixedTemperature);
  fields_[kFixedSalinity] = Printf("%.2f", s.fixedSalinity);
  Check(kDepth, s.depthEnabled);
  Check(kSeawater, s.depthSeawater);
  Check(kSimplified, !s.depthSeawater);
  Check(kSalinity, s.salinityEnabled);
  Check(kCorrection, s.conductivityCorrectionEnabled);
  Check(kSpecificConductivity, s.specificConductivityEnabled);
  Check(kDensityAnomaly, s.densityAnomalyEnabled);
  Check(kWeiss, s.oxygenConcentrationEnabled);
  Check(kWeissUmol, s.oxygenUnit == OxygenUnit::MicromolPerLitre);
  Check(kWeissMgL, s.oxygenUnit == OxygenUnit::MgPerLitre);
  Check(kWeissMlL, s.oxygenUnit == OxygenUnit::MlPerLitre);
  Check(kOptodeConcentration, s.optodeConcentrationEnabled);
  Check(kOptodeMgL, s.optodeUnit == OptodeUnit::MgPerLitre);
  Check(kOptodeMlL, s.optodeUnit == OptodeUnit::MlPerLitre);
  Check(kOptodeSaturation, s.optodeSaturationEnabled);
  Check(kSoundSpeed, s.speedOfSoundEnabled);
  Check(kUnesco, s.speedOfSoundFormula == SoundSpeedFormula::Unesco);
  Check(kDelGrosso, s.speedOfSoundFormula == SoundSpeedFormula::DelGrosso);
  Check(kWilson, s.speedOfSoundFormula == SoundSpeedFormula::Wilson);
  ApplyEnabling();
}

bool DerivedUnitsDialog::Checked(int control) const {
  const auto it = checked_.find(control);
  return it != checked_.end() && it->second;
}

bool DerivedUnitsDialog::Enabled(int control) const {
  const auto it = enabled_.find(control);
  return it == enabled_.end() || it->second;
}

const std::string& DerivedUnitsDialog::FieldText(int control) const {
  static const std::string empty;
  const auto it = fields_.find(control);
  return it == fields_.end() ? empty : it->second;
}

void DerivedUnitsDialog::ApplyEnabling() {
  // A field stays enabled while any checked option needs it.
  const bool hydrostatic = Checked(kSalinity) || Checked(kCorrection);
  const bool oxygen = Checked(kWeiss) || Checked(kOptodeConcentration) || Checked(kOptodeSaturation);
  const bool fixedSalinity = Checked(kDensityAnomaly) || oxygen;
  const bool depth = Checked(kDepth);
  for (int c : {kHydrostaticLabel, kHydrostaticPressure}) enabled_[c] = hydrostatic;
  for (int c : {kFixedSalinityLabel, kFixedSalinity}) enabled_[c] = fixedSalinity;
  for (int c : {kFixedTemperatureLabel, kFixedTemperature}) enabled_[c] = oxygen;
  for (int c : {kUnesco, kDelGrosso, kWilson}) enabled_[c] = Checked(kSoundSpeed);
  for (int c : {kWeissUmol, kWeissMgL, kWeissMlL}) enabled_[c] = Checked(kWeiss);
  for (int c : {kOptodeMgL, kOptodeMlL}) enabled_[c] = Checked(kOptodeConcentration);
  for (int c : {kLatitudeLabel, kLatitudeDegrees, kLatitudeMinutes, kAtmosphericLabel, kAtmosphericPressure,
                kAtmosphericDefault, kDensityLabel, kWaterDensity, kDensityDefault, kSeawater, kSimplified})
    enabled_[c] = depth;
}

void DerivedUnitsDialog::CheckOneOf(std::initializer_list<int> group, int control) {
  for (int c : group) Check(c, c == control);
}

void DerivedUnitsDialog::Click(int control) {
  DerivedSettings& s = state_.settings.derived;
  if (!Enabled(control)) return;
  switch (control) {
    case kDensityAnomaly:
      Check(kDensityAnomaly, !Checked(kDensityAnomaly));
      s.densityAnomalyEnabled = Checked(kDensityAnomaly);
      if (s.densityAnomalyEnabled) {
        Check(kSalinity, true);
        s.salinityEnabled = true;
      }
      break;
    case kSalinity: s.salinityEnabled = !Checked(kSalinity), Check(kSalinity, s.salinityEnabled); break;
    case kCorrection:
      s.conductivityCorrectionEnabled = !Checked(kCorrection), Check(kCorrection, s.conductivityCorrectionEnabled);
      break;
    case kWeiss: s.oxygenConcentrationEnabled = !Checked(kWeiss), Check(kWeiss, s.oxygenConcentrationEnabled); break;
    case kOptodeConcentration:
      s.optodeConcentrationEnabled = !Checked(kOptodeConcentration);
      Check(kOptodeConcentration, s.optodeConcentrationEnabled);
      break;
    case kOptodeSaturation:
      s.optodeSaturationEnabled = !Checked(kOptodeSaturation);
      Check(kOptodeSaturation, s.optodeSaturationEnabled);
      break;
    case kSoundSpeed:
      s.speedOfSoundEnabled = !Checked(kSoundSpeed);
      Check(kSoundSpeed, s.speedOfSoundEnabled);
      if (s.speedOfSoundEnabled && !Checked(kUnesco) && !Checked(kDelGrosso) && !Checked(kWilson)) Check(kUnesco, true);
      break;
    case kUnesco:
    case kDelGrosso:
    case kWilson:
      CheckOneOf({kUnesco, kDelGrosso, kWilson}, control);
      Check(kSoundSpeed, true);
      break;
    case kWeissUmol:
    case kWeissMgL:
    case kWeissMlL: CheckOneOf({kWeissUmol, kWeissMgL, kWeissMlL}, control); break;
    case kOptodeMgL:
    case kOptodeMlL: CheckOneOf({kOptodeMgL, kOptodeMlL}, control); break;
    case kSeawater:
    case kSimplified: CheckOneOf({kSeawater, kSimplified}, control); break;
    case kDepth:
    case kSpecificConductivity: Check(control, !Checked(control)); break;
    case kAtmosphericDefault: fields_[kAtmosphericPressure] = "10.1325"; break;
    case kDensityDefault: fields_[kWaterDensity] = "1.0281"; break;
    default: break;
  }
  ApplyEnabling();
}

void DerivedUnitsDialog::SetFieldText(int control, std::string_view text) {
  fields_[control] = std::string(text);
  DerivedSettings& s = state_.settings.derived;
  if (control == kLatitudeDegrees) {
    // An unsigned whole number: a sign or other text reads as 0; past 90 is no latitude.
    long v = 0;
    const std::string_view t = Trim(text);
    const bool digits = !t.empty() && t.front() != '-' && ReadWhole(t, v);
    s.latitudeDegrees = digits && v >= 0 && v <= 90 ? static_cast<int>(v) : 0;
  } else if (control == kLatitudeMinutes) {
    double v = 0;
    if (ReadNumber(text, v)) s.latitudeMinutes = static_cast<float>(v);
  }
}

int DerivedUnitsDialog::Ok() {
  DerivedSettings& s = state_.settings.derived;
  s.depthEnabled = Checked(kDepth);
  s.depthSeawater = !Checked(kSimplified);
  s.densityAnomalyEnabled = Checked(kDensityAnomaly);
  s.conductivityCorrectionEnabled = Checked(kCorrection);
  s.salinityEnabled = Checked(kSalinity);
  s.specificConductivityEnabled = Checked(kSpecificConductivity);
  s.speedOfSoundEnabled = Checked(kSoundSpeed);
  if (Checked(kDelGrosso)) s.speedOfSoundFormula = SoundSpeedFormula::DelGrosso;
  else if (Checked(kWilson)) s.speedOfSoundFormula = SoundSpeedFormula::Wilson;
  else s.speedOfSoundFormula = SoundSpeedFormula::Unesco;
  s.oxygenConcentrationEnabled = Checked(kWeiss);
  if (Checked(kWeissMgL)) s.oxygenUnit = OxygenUnit::MgPerLitre;
  else if (Checked(kWeissMlL)) s.oxygenUnit = OxygenUnit::MlPerLitre;
  else s.oxygenUnit = OxygenUnit::MicromolPerLitre;
  s.optodeConcentrationEnabled = Checked(kOptodeConcentration);
  s.optodeUnit = Checked(kOptodeMlL) ? OptodeUnit::MlPerLitre : OptodeUnit::MgPerLitre;
  s.optodeSaturationEnabled = Checked(kOptodeSaturation);
  s.anyDerived = s.depthEnabled || s.densityAnomalyEnabled || s.conductivityCorrectionEnabled || s.salinityEnabled ||
                 s.specificConductivityEnabled || s.speedOfSoundEnabled || s.oxygenConcentrationEnabled ||
                 s.optodeConcentrationEnabled || s.optodeSaturationEnabled;
  const std::pair<int, float*> numbers[] = {{kAtmosphericPressure, &s.atmosphericPressure},
                                            {kWaterDensity, &s.waterDensity},
                                            {kFixedTemperature, &s.fixedTemperature},
                                            {kFixedSalinity, &s.fixedSalinity},
                                            {kHydrostaticPressure, &s.hydrostaticPressure}};
  for (const auto& [control, target] : numbers) {
    double v = 0;
    if (ReadNumber(FieldText(control), v)) *target = static_cast<float>(v);
  }
  SaveSettings(state_);

  RetrievalState& r = state_.retrieval;
  const bool held = state_.shell.dataRetrieved || r.dataFromFile || state_.shell.realTimeActive;
  if (held && r.data.Stride() > 0) {
    AddDerivedChannels(state_, r.data);
    // The graph sums each column up when it is set up: the new columns are
    // filled first, or their traces stay empty until the data is read again.
    ComputeDerivedValues(state_, r.data);
    if (!state_.analysis.setUpGraph || state_.analysis.setUpGraph()) {
      for (int command : {cmd::kSaveFile, cmd::kSaveFormat, cmd::kSaveScreenSegment, cmd::kScreenCapture, cmd::kExportData})
        state_.ui.SetCommandEnabled(command, true);
    }
    if (state_.analysis.refreshGraph) state_.analysis.refreshGraph();
  }

  const int pending = state_.analysis.pendingKzmAction;
  state_.analysis.pendingKzmAction = kKzmNone;
  if (pending != kKzmNone && s.depthEnabled) {
    if (pending == kKzmReadHexFile) {
      hexFileToRead = state_.analysis.pendingHexFile;
    } else if (state_.analysis.postCommand) {
      state_.analysis.postCommand(pending);
    }
  }
  return 1;
}

Outcome KzmNeedsDepth(AppState& state, int action, const std::string& hexFile) {
  state.analysis.pendingKzmAction = action;
  state.analysis.pendingHexFile = hexFile;
  return Outcome::Of(OutcomeKind::Refused, "To complete the calculations necessary for this KZM logger,\n'Depth' has to be selected "
                                           "with appropriate paramaters\nin the 'Derived units' menu.");
}

// ---------------------------------------------------------------- real-time limits

const std::array<const char*, 18>& LimitEntryNames() {
  static const std::array<const char*, 18> names = {
      "Temperature",   "Pressure",      "Conductivity", "Dissolved O2 Saturation (%)",
      "Dissolved O2 Concentration(\xB5Mol/l)", "Voltage", "Turbidity", "PAR", "pH", "Fluorometry-C",
      "Fluorometry-R", "Fluorometry-UV", "Depth",     "Salinity", "Speed of Sound", "Significant Wave Height",
      "Tidal Slope",   "Transmissometer"};
  return names;
}

const std::array<LimitKey, 18>& LimitFileKeys() {
  static const std::array<LimitKey, 18> keys = {{{"Temperature", 0},
                                                 {"Pressure", 1},
                                                 {"Conductivity", 2},
                                                 {"DissolvedO2", 3},
                                                 {"DerivedO2", 19},
                                                 {"Voltage", 5},
                                                 {"Turbidity", 6},
                                                 {"PAR", 7},
                                                 {"pH", 8},
                                                 {"Fluorometry-C", 9},
                                                 {"Fluorometry-R", 10},
                                                 {"Fluorometry-UV", 11},
                                                 {"Depth", 12},
                                                 {"Salinity", 13},
                                                 {"SOS", 14},
                                                 {"Significant Wave Height", 15},
                                                 {"Tidal Slope", 16},
                                                 {"Transmissometer", 17}}};
  return keys;
}

std::string RealTimeLimitsText(const RealTimeLimits& limits) {
  std::string out;
  char line[96];
  for (const LimitKey& k : LimitFileKeys()) {
    const RealTimeLimit& l = limits[static_cast<size_t>(k.category)];
    std::snprintf(line, sizeof line, "%s=%d %d\n", k.key, l.maximum, l.minimum);
    out += line;
  }
  return out;
}

void ParseRealTimeLimitsText(std::string_view text, RealTimeLimits& limits) {
  for (std::string_view line : SplitLines(text)) {
    // The key is looked for in the first 39 characters only, but the numbers
    // are read from the whole line: a long key with two large limits makes a
    // longer line, and cutting it would change the minimum that was saved.
    const std::string_view head = line.substr(0, 39);
    for (const LimitKey& k : LimitFileKeys()) {
      if (head.find(k.key) == std::string_view::npos) continue;
      // The first key of the file order that the line holds decides; a line
      // without "=" or without two whole numbers is passed over.
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos) break;
      std::string_view rest = line.substr(eq + 1);
      long values[2];
      bool ok = true;
      for (long& v : values) {
        rest = Trim(rest);
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), v);
        if (ec != std::errc() || end == rest.data() || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
          ok = false;
          break;
        }
        rest = rest.substr(static_cast<size_t>(end - rest.data()));
      }
      if (ok) limits[static_cast<size_t>(k.category)] = {static_cast<int>(values[0]), static_cast<int>(values[1])};
      break;
    }
  }
}

void LoadRealTimeLimits(AppState& state) {
  if (const auto text = ReadTextFile(WorkPath(state, "tmv.lim"))) ParseRealTimeLimitsText(*text, state.analysis.limits);
}

bool SaveRealTimeLimits(const AppState& state) {
  return WriteTextFile(WorkPath(state, "tmv.lim"), RealTimeLimitsText(state.analysis.limits));
}

RealTimeLimit& LimitsDialog::Pair() { return state_.analysis.limits[static_cast<size_t>(selected_)]; }
const RealTimeLimit& LimitsDialog::Pair() const { return state_.analysis.limits[static_cast<size_t>(selected_)]; }
std::string LimitsDialog::MinText() const { return std::to_string(Pair().minimum); }
std::string LimitsDialog::MaxText() const { return std::to_string(Pair().maximum); }

void LimitsDialog::Select(int entry) {
  if (entry >= 0 && entry < static_cast<int>(LimitEntryNames().size())) selected_ = entry;
}

void LimitsDialog::SetMinText(std::string_view text) {
  long v = 0;
  if (ReadWhole(text, v) && v >= -2147483647L && v <= 2147483647L) Pair().minimum = static_cast<int>(v);
}

void LimitsDialog::SetMaxText(std::string_view text) {
  long v = 0;
  if (ReadWhole(text, v) && v >= -2147483647L && v <= 2147483647L) Pair().maximum = static_cast<int>(v);
}

void LimitsDialog::StepMax(bool up) {
  RealTimeLimit& p = Pair();
  if (up) {
    if (p.maximum < 2147483647) ++p.maximum;
  } else if (p.maximum > -2147483647) {
    --p.maximum;
    if (p.maximum < p.minimum) p.minimum = p.maximum;
  }
}

void LimitsDialog::StepMin(bool up) {
  RealTimeLimit& p = Pair();
  if (up) {
    if (p.minimum < 2147483647) {
      ++p.minimum;
      if (p.minimum > p.maximum) p.maximum = p.minimum;
    }
  } else if (p.minimum > -2147483647) {
    --p.minimum;
  }
}

bool LimitsDialog::Ok() { return SaveRealTimeLimits(state_); }

}  // namespace tmv
