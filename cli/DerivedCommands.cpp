// Commands of the analysis: one seawater quantity from given readings, and
// the real-time limits kept in tmv.lim.
#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>

#include "CliCommand.h"
#include "CliSupport.h"
#include "analysis/DerivedSettings.h"
#include "analysis/DerivedUnitsDialog.h"
#include "analysis/SeawaterFormulas.h"
#include "shell/AppState.h"

namespace tmv::cli {

namespace {

std::string Lower(std::string t) {
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

int Seawater(CliContext& ctx) {
  std::string quantity, unit;
  std::optional<double> conductivity, temperature, pressure, salinity, saturation, concentration;
  double latitude = 0.0;
  auto parser = CommandParser(
      "seawater",
      "Usage: tmv-cli seawater QUANTITY [--conductivity MS_CM] [--temperature C] [--pressure DBAR]\n"
      "                        [--salinity PSU] [--saturation PCT] [--concentration UMOL_L]\n"
      "                        [--latitude DEG] [--unit UNIT]\n\n"
      "Prints one value (10 significant digits) computed as the derived columns compute it.\n"
      "QUANTITY: depth (m, seawater formula), salinity (PSS-78), conductivity-ratio (PSS-78\n"
      "salinity with --conductivity given as the ratio Rt to standard seawater at the same\n"
      "temperature, as a salinometer measures it), specific-conductivity (at 25 C),\n"
      "density-anomaly (kg/m3), sound-unesco, sound-delgrosso, sound-wilson (m/s),\n"
      "oxygen-weiss (from --saturation; --unit umol|mg|ml), oxygen-garcia-gordon (saturation\n"
      "in percent from an optode's --concentration). Short names: specific, density, sound\n"
      "(--unit unesco|delgrosso|wilson), oxygen, optode-saturation. Pressure is sea pressure\n"
      "(dBar, less the atmosphere) for every formula (Wilson's, which takes the absolute\n"
      "pressure, gets the standard atmosphere added); temperatures are ITS-90; without\n"
      "--salinity, salinity comes from the conductivity, temperature and pressure.\n"
      "Inputs outside a formula's published range are refused with the range named\n"
      "(PSS-78: S 2-42, -2 to 35 degC, 0-10000 dBar; UNESCO sound: S 0-40, 0-40 degC,\n"
      "0-10000 dBar; del Grosso: S 30-40, 0-30 degC, 0-1000 kg/cm2; Wilson: S 0-37,\n"
      "-4 to 30 degC, 0.1-100 MPa absolute; EOS-80: S 0-42, -2 to 40 degC, 0-10000\n"
      "dBar; Weiss: S 0-40, -2 to 40 degC, saturation >= 0; Garcia and Gordon: S 0-42,\n"
      "-2 to 40 degC).");
  parser->add_option("quantity", quantity, "What to compute")->required();
  parser->add_option("--conductivity", conductivity, "Conductivity [mS/cm]");
  parser->add_option("--temperature", temperature, "Temperature [degC, ITS-90]");
  parser->add_option("--pressure", pressure, "Sea pressure [dBar]");
  parser->add_option("--salinity", salinity, "Practical salinity [PSU]");
  parser->add_option("--saturation", saturation, "Dissolved-oxygen saturation [%]");
  parser->add_option("--concentration", concentration, "Optode concentration [umol/l]");
  parser->add_option("--latitude", latitude, "Latitude [degrees]")->check(CLI::Range(-90.0, 90.0));
  parser->add_option("--unit", unit, "Unit or formula of the result");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  quantity = Lower(quantity);
  unit = Lower(unit);
  // The formula's own names stand for the short ones.
  if (quantity.rfind("sound-", 0) == 0) {
    const std::string formula = quantity.substr(6);
    if (!unit.empty() && unit != formula) return UsageError(ctx, quantity + " takes no other --unit");
    quantity = "sound";
    unit = formula;
  } else if (quantity == "density-anomaly") {
    quantity = "density";
  } else if (quantity == "specific-conductivity") {
    quantity = "specific";
  } else if (quantity == "oxygen-weiss") {
    quantity = "oxygen";
  } else if (quantity == "oxygen-garcia-gordon") {
    quantity = "optode-saturation";
  }

  // Inputs that are no reading are refused rather than printed as the
  // marker, and so are infinities (--pressure inf was taken).
  const std::pair<const char*, std::optional<double>*> inputs[] = {
      {"conductivity", &conductivity}, {"temperature", &temperature}, {"pressure", &pressure},
      {"salinity", &salinity},         {"saturation", &saturation},   {"concentration", &concentration}};
  for (const auto& [name, value] : inputs)
    if (value->has_value() && (!IsValidValue(**value) || !std::isfinite(**value)))
      return UsageError(ctx, std::string("--") + name + " is not a reading (at or below -1000, or not a finite number)");
  if (!std::isfinite(latitude)) return UsageError(ctx, "--latitude is not a finite number");
  if (conductivity && *conductivity < 0) return UsageError(ctx, "--conductivity cannot be negative");
  if (pressure && *pressure < 0)
    return UsageError(ctx, "--pressure is sea pressure and cannot be below the atmosphere (negative)");
  if (salinity && *salinity < 0) return UsageError(ctx, "--salinity cannot be negative");

  auto need = [&](std::initializer_list<std::pair<const char*, const std::optional<double>*>> list) -> std::string {
    for (const auto& [name, value] : list)
      if (!value->has_value()) return std::string("seawater ") + quantity + " needs --" + name;
    return {};
  };
  // The first input found outside the published range of a formula: the
  // result is refused with the range named, as the derived columns flag it.
  std::string outside;
  auto check = [&](const FormulaValidity& validity, double s, double t, double x) {
    if (outside.empty() && IsValidValue(s)) outside = OutsideValidityText(validity, s, t, x);
  };
  // Salinity given, or from conductivity, temperature and pressure.
  auto salinityOf = [&](std::string& error) -> double {
    if (salinity) return *salinity;
    error = need({{"temperature", &temperature}, {"pressure", &pressure}, {"conductivity", &conductivity}});
    if (!error.empty()) error += " (or --salinity)";
    if (!error.empty()) return kInvalidValue;
    const double s = SalinityPss78(*conductivity, *temperature, *pressure, 0);
    check(kPss78Validity, s, *temperature, *pressure);
    return s;
  };

  double value = kInvalidValue;
  std::string error;
  if (quantity == "depth") {
    error = need({{"pressure", &pressure}});
    if (error.empty()) value = SeawaterDepth(*pressure, latitude);
  } else if (quantity == "salinity") {
    error = need({{"conductivity", &conductivity}, {"temperature", &temperature}, {"pressure", &pressure}});
    if (error.empty()) value = SalinityPss78(*conductivity, *temperature, *pressure, 0);
    if (error.empty()) check(kPss78Validity, value, *temperature, *pressure);
  } else if (quantity == "conductivity-ratio") {
    error = need({{"conductivity", &conductivity}, {"temperature", &temperature}, {"pressure", &pressure}});
    if (error.empty()) value = SalinityPss78(*conductivity, *temperature, *pressure, 1);
    if (error.empty()) check(kPss78Validity, value, *temperature, 0.0);
  } else if (quantity == "specific") {
    error = need({{"conductivity", &conductivity}, {"temperature", &temperature}});
    if (error.empty()) value = SpecificConductivity(*conductivity, *temperature);
  } else if (quantity == "density") {
    error = need({{"temperature", &temperature}, {"pressure", &pressure}});
    const double s = error.empty() ? salinityOf(error) : 0.0;
    if (error.empty()) check(kEos80Validity, s, *temperature, *pressure);
    if (error.empty()) value = DensityAnomaly(s, *temperature, *pressure);
  } else if (quantity == "sound") {
    error = need({{"temperature", &temperature}, {"pressure", &pressure}});
    const double s = error.empty() ? salinityOf(error) : 0.0;
    // Chen-Millero and del Grosso take the sea pressure; Wilson's absolute
    // pressure adds the standard atmosphere to it.
    if (error.empty()) {
      SoundSpeedFormula formula = SoundSpeedFormula::Unesco;
      if (unit == "delgrosso") formula = SoundSpeedFormula::DelGrosso;
      else if (unit == "wilson") formula = SoundSpeedFormula::Wilson;
      else if (!unit.empty() && unit != "unesco") return UsageError(ctx, "sound takes --unit unesco, delgrosso or wilson");
      check(SoundSpeedValidity(formula), s, *temperature,
            SoundSpeedRangePressure(formula, *pressure, kStandardAtmosphere));
      value = SoundSpeed(formula, s, *pressure, kStandardAtmosphere, *temperature);
    }
  } else if (quantity == "oxygen") {
    error = need({{"temperature", &temperature}, {"saturation", &saturation}});
    const double s = error.empty() ? salinityOf(error) : 0.0;
    OxygenUnit u = OxygenUnit::MicromolPerLitre;
    if (unit == "mg" || unit == "mgl" || unit == "mg/l") u = OxygenUnit::MgPerLitre;
    else if (unit == "ml" || unit == "mll" || unit == "ml/l") u = OxygenUnit::MlPerLitre;
    else if (!unit.empty() && unit != "umol") return UsageError(ctx, "oxygen takes --unit umol, mg or ml");
    if (error.empty()) check(kWeissValidity, s, *temperature, *saturation);
    if (error.empty()) value = OxygenConcentrationWeiss(*temperature, s, *saturation, u);
  } else if (quantity == "optode-saturation") {
    error = need({{"temperature", &temperature}, {"concentration", &concentration}});
    const double s = error.empty() ? salinityOf(error) : 0.0;
    if (error.empty()) check(kGarciaGordonValidity, s, *temperature, *concentration);
    if (error.empty()) value = OxygenSaturationGarciaGordon(*temperature, s, *concentration);
  } else {
    return UsageError(ctx, "unknown quantity '" + quantity +
                               "' (depth, salinity, conductivity-ratio, specific-conductivity, density-anomaly, "
                               "sound-unesco, sound-delgrosso, sound-wilson, oxygen-weiss, oxygen-garcia-gordon)");
  }
  if (!error.empty()) return UsageError(ctx, error);
  if (!outside.empty()) return ReportFailure(ctx, "Refused: " + outside + ".");
  if (!IsValidValue(value)) return ReportFailure(ctx, "The inputs are outside the range of the formula.");
  char text[64];
  std::snprintf(text, sizeof text, "%.10g\n", value);
  ctx.out << text;
  return kExitOk;
}

// A category by its file key, its dialog entry or its number 0..17.
int LimitCategory(const std::string& name) {
  const std::string wanted = Lower(name);
  for (const LimitKey& k : LimitFileKeys())
    if (Lower(k.key) == wanted) return k.category;
  const auto& entries = LimitEntryNames();
  for (size_t i = 0; i < entries.size(); ++i)
    if (Lower(entries[i]) == wanted) return static_cast<int>(i);
  int n = -1;
  const auto [end, ec] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), n);
  if (ec == std::errc() && end == wanted.data() + wanted.size() && n >= 0 && n < 18) return n;
  return -1;
}

int Limits(CliContext& ctx) {
  std::vector<std::string> sets;
  auto parser = CommandParser("limits",
                              "Usage: tmv-cli limits [--set CATEGORY=MAX,MIN]...\n\n"
                              "Prints the real-time limits of tmv.lim in the work directory (the\n"
                              "defaults where it has none); --set changes a category (by its key in\n"
                              "the file, e.g. SOS, its name, e.g. \"Speed of Sound\", or its number)\n"
                              "and writes the file.");
  parser->add_option("--set", sets, "CATEGORY=MAX,MIN");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  AppState& state = ctx.state;
  // The tool read tmv.lim at its start (unless --no-settings).
  if (!sets.empty() && !state.directories.filesWritable)
    return UsageError(ctx, "--set writes tmv.lim, which --no-settings leaves alone");
  for (const std::string& set : sets) {
    const size_t eq = set.find('=');
    const size_t comma = set.find(',', eq == std::string::npos ? 0 : eq);
    if (eq == std::string::npos || comma == std::string::npos)
      return UsageError(ctx, "--set takes CATEGORY=MAX,MIN, not '" + set + "'");
    const int category = LimitCategory(set.substr(0, eq));
    if (category < 0) return UsageError(ctx, "unknown limits category '" + set.substr(0, eq) + "'");
    int values[2];
    const std::string parts[2] = {set.substr(eq + 1, comma - eq - 1), set.substr(comma + 1)};
    for (int i = 0; i < 2; ++i) {
      const auto [end, ec] = std::from_chars(parts[i].data(), parts[i].data() + parts[i].size(), values[i]);
      if (parts[i].empty() || ec != std::errc() || end != parts[i].data() + parts[i].size())
        return UsageError(ctx, "'" + parts[i] + "' is not a whole number in '" + set + "'");
    }
    if (values[0] < values[1]) return UsageError(ctx, "the maximum is below the minimum in '" + set + "'");
    state.analysis.limits[static_cast<size_t>(category)] = {values[0], values[1]};
  }
  if (!sets.empty() && !SaveRealTimeLimits(state)) return ReportFailure(ctx, "Unable to write tmv.lim");
  const auto& entries = LimitEntryNames();
  for (size_t i = 0; i < entries.size(); ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "%-36s max %6d  min %6d\n", entries[i], state.analysis.limits[i].maximum,
                  state.analysis.limits[i].minimum);
    ctx.out << line;
  }
  return kExitOk;
}

const bool registered = [] {
  RegisterCliCommand({"seawater", "Compute one seawater quantity (depth, salinity, density, sound, oxygen ...)", "",
                      Seawater});
  RegisterCliCommand({"limits", "Show or set the real-time limits (tmv.lim)", "", Limits});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
