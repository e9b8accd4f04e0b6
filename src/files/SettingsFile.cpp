#include "files/SettingsFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "analysis/DerivedUnitsDialog.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"

namespace tmv {

namespace {

constexpr int kMaxPort = 16;
constexpr int kMaxBaud = 921600;
constexpr int kMaxRadioDelayMs = 60000;
constexpr int kMaxMicroSalinometerAverage = 10000;
// An on-line calibration limit is written with "%.2f" after a key of up to
// 35 characters; beyond this its line would outgrow kMaxSettingsLine and be
// skipped at the next start, so such a value is junk rather than a limit.
constexpr double kMaxOnlineCalibrationLimit = 1.0e15;

bool Has(std::string_view line, std::string_view key) { return line.find(key) != std::string_view::npos; }

// The text right after key, or nothing when the key is absent.
std::optional<std::string_view> After(std::string_view line, std::string_view key) {
  const size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(at + key.size());
}

// The text after the line's first "=".
std::optional<std::string_view> AfterEquals(std::string_view line) { return After(line, "="); }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// Reads an integer at the start of text (leading blanks allowed); rest gets what follows.
std::optional<long> ReadInt(std::string_view text, std::string_view* rest = nullptr) {
  text = SkipBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  if (rest != nullptr) *rest = text.substr(static_cast<size_t>(end - text.data()));
  return value;
}

// Locale-independent, so that a decimal comma in the user's locale cannot
// change what the file says.
std::optional<double> ReadDouble(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<bool> ReadSwitch(std::optional<std::string_view> value) {
  if (!value) return std::nullopt;
  const std::string_view v = SkipBlanks(*value);
  if (v.substr(0, 3) == "OFF") return false;
  if (v.substr(0, 2) == "ON") return true;
  return std::nullopt;
}

std::optional<int> ReadIntIn(std::optional<std::string_view> value, long low, long high) {
  if (!value) return std::nullopt;
  const auto v = ReadInt(*value);
  if (!v || *v < low || *v > high) return std::nullopt;
  return static_cast<int>(*v);
}

void SetOnlineLimit(std::optional<std::string_view> value, double& target) {
  if (!value) return;
  if (const auto v = ReadDouble(*value); v && std::fabs(*v) < kMaxOnlineCalibrationLimit) target = *v;
}

// The derived-unit values are single precision; a number too large for one is junk.
void SetFloat(std::optional<std::string_view> value, float& target) {
  if (!value) return;
  if (const auto v = ReadDouble(*value); v && std::fabs(*v) < 3.0e38) target = static_cast<float>(*v);
}

std::string Fixed(double value, int precision) {
  char buffer[512];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

const char* OnOff(bool on) { return on ? "ON" : "OFF"; }

void ParseLine(AppState& state, std::string_view line) {
  PortSettings& ports = state.ports;
  DerivedSettings& derived = state.settings.derived;
  OnlineCalibrationLimits& online = state.settings.online;
  // Applies an on/off reading of a derived unit; "on" marks derived units in use.
  auto apply = [&](std::optional<bool> on, bool& flag) {
    if (!on) return false;
    flag = *on;
    if (*on) derived.anyDerived = true;
    return true;
  };

  if (Has(line, "GPSComm")) {
    if (Has(line, "NOT USED")) {
      ports.gpsPort = 0;
    } else if (const auto port = ReadIntIn(After(line, "GPSComm=COM"), 1, kMaxPort)) {
      ports.gpsPort = *port;
    }
  } else if (Has(line, "GPS baudrate")) {
    if (const auto baud = ReadIntIn(After(line, "GPS baudrate="), 1, kMaxBaud)) ports.gpsBaud = *baud;
  } else if (Has(line, "Port=COM")) {
    if (const auto port = ReadIntIn(After(line, "Port=COM"), 1, kMaxPort)) ports.loggerPort = *port;
  } else if (Has(line, "Format=")) {
    if (const auto format = ReadIntIn(After(line, "Format="), 0, 2)) state.settings.datFormat = *format;
  } else if (Has(line, "Density (kg/m3)=")) {
    apply(ReadSwitch(After(line, "Density (kg/m3)=")), derived.densityAnomalyEnabled);
  } else if (Has(line, "Conductivity correction=")) {
    apply(ReadSwitch(After(line, "Conductivity correction=")), derived.conductivityCorrectionEnabled);
  } else if (Has(line, "Salinity=")) {
    if (apply(ReadSwitch(After(line, "Salinity=")), derived.salinityEnabled))
      SetFloat(After(line, "Hydrostatic pressure="), derived.hydrostaticPressure);
  } else if (Has(line, "Specific conductivity=")) {
    apply(ReadSwitch(After(line, "Specific conductivity=")), derived.specificConductivityEnabled);
  } else if (Has(line, "Dissolved oxygen (Optode concentration)")) {
    const std::string_view unit = line.substr(0, line.find('='));
    if (apply(ReadSwitch(AfterEquals(line)), derived.optodeConcentrationEnabled)) {
      if (Has(unit, "mg/l")) derived.optodeUnit = OptodeUnit::MgPerLitre;
      if (Has(unit, "ml/l")) derived.optodeUnit = OptodeUnit::MlPerLitre;
    }
  } else if (Has(line, "Dissolved oxygen (Optode saturation)")) {
    apply(ReadSwitch(AfterEquals(line)), derived.optodeSaturationEnabled);
  } else if (Has(line, "Dissolved oxygen:")) {
    const std::string_view unit = line.substr(0, line.find('='));
    if (apply(ReadSwitch(AfterEquals(line)), derived.oxygenConcentrationEnabled)) {
      if (Has(unit, "uMol")) derived.oxygenUnit = OxygenUnit::MicromolPerLitre;
      if (Has(unit, "mg/l")) derived.oxygenUnit = OxygenUnit::MgPerLitre;
      if (Has(unit, "ml/l")) derived.oxygenUnit = OxygenUnit::MlPerLitre;
    }
  } else if (Has(line, "Speed of Sound")) {
    const std::string_view formula = line.substr(0, line.find('='));
    if (apply(ReadSwitch(AfterEquals(line)), derived.speedOfSoundEnabled)) {
      if (Has(formula, "Wilson")) {
        derived.speedOfSoundFormula = SoundSpeedFormula::Wilson;
      } else if (Has(formula, "delGrosso")) {
        derived.speedOfSoundFormula = SoundSpeedFormula::DelGrosso;
      } else {
        derived.speedOfSoundFormula = SoundSpeedFormula::Unesco;
      }
    }
  } else if (Has(line, "Atmospheric pressure=")) {
    SetFloat(After(line, "Atmospheric pressure="), derived.atmosphericPressure);
  } else if (Has(line, "Density=")) {
    SetFloat(After(line, "Density="), derived.waterDensity);
  } else if (Has(line, "Latitude=")) {
    std::string_view rest;
    const auto degrees = ReadInt(*After(line, "Latitude="), &rest);
    const auto minutes = degrees ? ReadDouble(rest) : std::nullopt;
    if (degrees && minutes && *degrees >= -90 && *degrees <= 90 && std::fabs(*minutes) < 1.0e6) {
      derived.latitudeDegrees = static_cast<int>(*degrees);
      derived.latitudeMinutes = static_cast<float>(*minutes);
    }
  } else if (Has(line, "DO temperature=")) {
    SetFloat(After(line, "DO temperature="), derived.fixedTemperature);
  } else if (Has(line, "DO salinity=")) {
    SetFloat(After(line, "DO salinity="), derived.fixedSalinity);
  } else if (Has(line, "Depth ")) {
    if (apply(ReadSwitch(AfterEquals(line)), derived.depthEnabled))
      derived.depthSeawater = !(Has(line, "Freshwater") || Has(line, "Simplified"));
  } else if (Has(line, "Radio")) {
    if (const auto delay = ReadIntIn(After(line, "Radio="), 0, kMaxRadioDelayMs)) {
      ports.radioModem = true;
      ports.radioDelayMs = *delay;
    }
  } else if (Has(line, "Language Support")) {
    // The second language is the one the companion files are written in.
    state.settings.languageSupport = true;
    state.shell.language = 1;
  } else if (Has(line, "Micro-Salinometer average=")) {
    if (const auto n = ReadIntIn(After(line, "Micro-Salinometer average="), 1, kMaxMicroSalinometerAverage))
      state.settings.microSalinometerAverage = *n;
  } else if (Has(line, "Gain not required for auto-ranging")) {
    // Sets rather than toggles: start-up reads the file twice.
    state.settings.gainRequired = false;
    state.shell.showRangeChanges = true;
  } else if (Has(line, "Online calibration ")) {
    struct Limit {
      const char* key;
      double* value;
    };
    const Limit limits[] = {{"Online calibration lower depth=", &online.lowerDepth},
                            {"Online calibration upper depth=", &online.upperDepth},
                            {"Online calibration lower pH=", &online.lowerPh},
                            {"Online calibration upper pH=", &online.upperPh},
                            {"Online calibration lower O2=", &online.lowerO2},
                            {"Online calibration upper O2=", &online.upperO2},
                            {"Online calibration lower turbidity=", &online.lowerTurbidity},
                            {"Online calibration upper turbidity=", &online.upperTurbidity}};
    for (const Limit& limit : limits) {
      if (!Has(line, limit.key)) continue;
      SetOnlineLimit(After(line, limit.key), *limit.value);
      break;
    }
  }
}

}  // namespace

std::string SettingsFileName(const AppState& state) {
  const int copy = state.shell.copyNumber;
  if (copy <= 1) return "tmv.ini";
  char name[32];
  std::snprintf(name, sizeof name, "tmv.%03d.ini", copy);
  return name;
}

void ResetSettings(AppState& state) {
  state.settings = Settings{};
  state.ports.loggerPort = 1;
  state.ports.gpsPort = 0;
  state.ports.gpsBaud = 4800;
  state.ports.radioModem = false;
  state.ports.radioDelayMs = 0;
  state.shell.showRangeChanges = false;
  state.shell.language = 0;
}

void ParseSettingsText(AppState& state, std::string_view text) {
  for (std::string_view line : SplitLines(text)) {
    // Over-long lines and binary junk are not settings.
    if (line.size() > kMaxSettingsLine || line.find('\0') != std::string_view::npos) continue;
    ParseLine(state, line);
  }
}

std::string SettingsText(const AppState& state) {
  const PortSettings& ports = state.ports;
  const Settings& s = state.settings;
  const DerivedSettings& d = s.derived;
  const OnlineCalibrationLimits& o = s.online;
  std::string t;
  t += "Port=COM" + std::to_string(ports.loggerPort) + "\n";
  if (ports.gpsPort > 0) {
    t += "GPSComm=COM" + std::to_string(ports.gpsPort) + "\n";
    t += "GPS baudrate=" + std::to_string(ports.gpsBaud) + "\n";
  } else {
    t += "GPSComm=NOT USED\n";
  }
  t += "Format=" + std::to_string(s.datFormat) + "\n";
  t += std::string("Density (kg/m3)=") + OnOff(d.densityAnomalyEnabled) + "\n";
  t += std::string("Conductivity correction=") + OnOff(d.conductivityCorrectionEnabled) + "\n";
  t += std::string("Salinity=") + OnOff(d.salinityEnabled) + " Hydrostatic pressure=" +
       Fixed(d.hydrostaticPressure, 2) + "\n";
  t += std::string("Specific conductivity=") + OnOff(d.specificConductivityEnabled) + "\n";
  const char* oxygenUnit = d.oxygenUnit == OxygenUnit::MicromolPerLitre ? "uMol"
                           : d.oxygenUnit == OxygenUnit::MgPerLitre     ? "mg/l"
                                                                        : "ml/l";
  t += std::string("Dissolved oxygen: ") + oxygenUnit + "=" + OnOff(d.oxygenConcentrationEnabled) + "\n";
  t += std::string("Dissolved oxygen (Optode concentration): ") +
       (d.optodeUnit == OptodeUnit::MgPerLitre ? "mg/l" : "ml/l") + "=" + OnOff(d.optodeConcentrationEnabled) + "\n";
  t += std::string("Dissolved oxygen (Optode saturation)=") + OnOff(d.optodeSaturationEnabled) + "\n";
  const char* formula = d.speedOfSoundFormula == SoundSpeedFormula::Wilson      ? "Wilson"
                        : d.speedOfSoundFormula == SoundSpeedFormula::DelGrosso ? "delGrosso"
                                                                                : "UNESCO";
  t += std::string("Speed of Sound: ") + formula + "=" + OnOff(d.speedOfSoundEnabled) + "\n";
  t += "Atmospheric pressure=" + Fixed(d.atmosphericPressure, 6) + "\n";
  t += "Density=" + Fixed(d.waterDensity, 6) + "\n";
  t += "Latitude=" + std::to_string(d.latitudeDegrees) + " " + Fixed(d.latitudeMinutes, 3) + "\n";
  t += "DO temperature=" + Fixed(d.fixedTemperature, 2) + "\n";
  t += "DO salinity=" + Fixed(d.fixedSalinity, 2) + "\n";
  if (d.depthEnabled) {
    t += d.depthSeawater ? "Depth Seawater=ON\n" : "Depth Simplified=ON\n";
  } else {
    t += d.depthSeawater ? "Depth Seawater=OFF\n" : "Depth Freshwater=OFF\n";
  }
  if (ports.radioModem) t += "Radio=" + std::to_string(ports.radioDelayMs) + "\n";
  if (s.languageSupport || state.shell.language != 0) t += "Language Support: Chinese\n";
  t += "Micro-Salinometer average=" + std::to_string(s.microSalinometerAverage) + "\n";
  if (state.shell.showRangeChanges) t += "Gain not required for auto-ranging\n";
  t += "Online calibration lower depth=" + Fixed(o.lowerDepth, 2) + "\n";
  t += "Online calibration upper depth=" + Fixed(o.upperDepth, 2) + "\n";
  t += "Online calibration lower pH=" + Fixed(o.lowerPh, 2) + "\n";
  t += "Online calibration upper pH=" + Fixed(o.upperPh, 2) + "\n";
  t += "Online calibration lower O2=" + Fixed(o.lowerO2, 2) + "\n";
  t += "Online calibration upper O2=" + Fixed(o.upperO2, 2) + "\n";
  t += "Online calibration lower turbidity=" + Fixed(o.lowerTurbidity, 2) + "\n";
  t += "Online calibration upper turbidity=" + Fixed(o.upperTurbidity, 2) + "\n";
  return t;
}

std::string CopiesText(const AppState& state) {
  return state.shell.allowMultipleCopies ? "Allow multiple copies\n" : "Single copy only\n";
}

bool CopiesTextAllowsCopies(std::string_view text) {
  const auto lines = SplitLines(text);
  if (lines.empty()) return false;
  return lines.front().substr(0, 39).find("Allow multiple copies") != std::string_view::npos;
}

bool ReadAllowMultipleCopies(const AppState& state) {
  const auto text = ReadTextFile(WorkPath(state, "tmv_copies.ini"), 4096);
  return text && CopiesTextAllowsCopies(*text);
}

namespace {

int LoadSettingsFile(AppState& state, bool writeMissing) {
  ResetSettings(state);
  state.shell.allowMultipleCopies = ReadAllowMultipleCopies(state);
  const std::string path = WorkPath(state, SettingsFileName(state));
  if (state.shell.copyNumber > 1 && !FileExists(path)) {
    const std::string first = WorkPath(state, "tmv.ini");
    std::error_code ec;
    if (FileExists(first)) std::filesystem::copy_file(first, path, ec);
  }
  // Something other than a file under the name keeps the defaults in use
  // and is left where it is.
  if (ReportUnusableFile(state, path)) return 0;
  const auto text = ReadTextFile(path);
  if (!text) {
    // Only a missing file gets the defaults; one we merely cannot read is
    // left as it is.
    if (writeMissing && !FileExists(path)) SaveSettings(state);
    return 0;
  }
  ParseSettingsText(state, *text);
  return 1;
}

}  // namespace

int LoadSettings(AppState& state) { return LoadSettingsFile(state, true); }

int LoadWorkFiles(AppState& state, WorkFilesUse use) {
  if (use == WorkFilesUse::Defaults) {
    state.directories.filesWritable = false;
    ResetSettings(state);
    DefaultDirectories(state);
    return 1;
  }
  LoadSettingsFile(state, use == WorkFilesUse::Start);
  if (use == WorkFilesUse::Start) {
    if (PrepareDirectories(state) == 0) return 0;
  } else {
    DefaultDirectories(state);
    LoadWorkDirectories(state);
  }
  LoadRealTimeLimits(state);
  return 1;
}

int SaveSettings(AppState& state) {
  if (!state.directories.filesWritable) return 0;
  state.settings.gainRequired = !state.shell.showRangeChanges;
  state.settings.languageSupport = state.shell.language != 0;
  const bool settings = WriteTextFile(WorkPath(state, SettingsFileName(state)), SettingsText(state));
  const bool copies = WriteTextFile(WorkPath(state, "tmv_copies.ini"), CopiesText(state));
  return settings && copies ? 1 : 0;
}

}  // namespace tmv
