#pragma once
// The formulas behind the derived columns: depth, practical salinity,
// conductivity corrections, density anomaly, speed of sound and dissolved
// oxygen. Each is the published formula with its published coefficients, on
// the temperature scale it was fitted on; loggers record ITS-90 temperatures,
// so a formula fitted on IPTS-68 converts its input first.
//
// All are pure, run once per row of a download and never allocate. An input
// that is not a reading (not a number, or at or below kInvalidValue) and a
// result that is not a finite number give kInvalidValue.
#include <string>

#include "analysis/DerivedSettings.h"
#include "model/CalibrationSet.h"

namespace tmv {

// t68 = 1.00024 t90, the conversion the oceanographic formulas use.
double Ipts68FromIts90(double t90);  // t90 : temperature [degC, ITS-90] -> [degC, IPTS-68]
double Its90FromIpts68(double t68);  // t68 : temperature [degC, IPTS-68] -> [degC, ITS-90]

// Latitude of the settings in degrees (degrees plus minutes / 60).
double SettingsLatitude(const DerivedSettings& settings);

// Depth [m] by the UNESCO 1983 formula without the geopotential anomaly term.
//   seaPressure : pressure less the atmosphere [dBar]
//   latitude    : [degrees]; only sin^2 enters, so the hemisphere does not matter
double SeawaterDepth(double seaPressure, double latitude);
// Depth [m] of a column of water of fixed density.
//   seaPressure : [dBar]; density : [g/cm3]
double SimplifiedDepth(double seaPressure, double density);
// Depth [m] from an absolute pressure reading with the formula, latitude or
// density and atmospheric pressure of the settings.
//   pressure : absolute pressure as read [dBar]
double DepthFromPressure(const DerivedSettings& settings, double pressure);

// Practical salinity [PSS-78], UNESCO 1983 algorithm.
//   x           : conductivity [mS/cm] when ratioInput is 0; the conductivity ratio Rt
//                 (to standard seawater at the same temperature) when ratioInput is 1
//   temperature : [degC, ITS-90]
//   seaPressure : [dBar], unused for a ratio input
double SalinityPss78(double x, double temperature, double seaPressure, int ratioInput);

// Conductivity with the logger's correction coefficients applied:
// (Cm - b (T - Tc)) / (1 + a (T - Tc) + c P).
//   measured            : [the conductivity channel's unit]
//   temperature         : [degC]
//   hydrostaticPressure : [dBar]
double CorrectConductivity(const ConductivityCorrection& correction, double measured, double temperature,
                           double hydrostaticPressure);

// Conductivity at 25 degC [the input's unit], linear coefficient 0.0191 per degC.
//   conductivity : [any unit]; temperature : [degC]
double SpecificConductivity(double conductivity, double temperature);

// Density anomaly rho - 1000 [kg/m3] by EOS-80 with the secant bulk modulus;
// kInvalidValue outside 0..42 PSU, -2..40 degC, 0..10000 dBar (bounds included).
//   salinity : [PSU]; temperature : [degC, ITS-90]; seaPressure : [dBar]
double DensityAnomaly(double salinity, double temperature, double seaPressure);

// The standard atmosphere [dBar]: what a pressure sensor reads at the surface.
constexpr double kStandardAtmosphere = 10.1325;

// Speed of sound [m/s] by the three formulas the user can choose from. Each
// takes the pressure it was fitted on: Chen-Millero and del Grosso the
// applied (sea, gauge) pressure, Wilson the absolute pressure.
struct SoundSpeeds {
  double wilson = kInvalidValue;
  double delGrosso = kInvalidValue;
  double unesco = kInvalidValue;
};
//   salinity            : [PSU]
//   seaPressure         : pressure less the atmosphere [dBar]
//   atmosphericPressure : [dBar], added back for Wilson
//   temperature         : [degC, ITS-90]
SoundSpeeds SpeedOfSound(double salinity, double seaPressure, double atmosphericPressure, double temperature);
double SoundSpeed(SoundSpeedFormula formula, double salinity, double seaPressure, double atmosphericPressure,
                  double temperature);
// Chen and Millero (1977) as UNESCO (1983) adopted it, ITS-90 coefficients.
//   seaPressure : [dBar]
double SoundSpeedUnesco(double salinity, double seaPressure, double temperature);
// Del Grosso (1974) with the coefficients of Wong and Zhu (1995).
//   seaPressure : [dBar], taken to kg/cm2 gauge
double SoundSpeedDelGrosso(double salinity, double seaPressure, double temperature);
// Wilson (1960).
//   absolutePressure : sea pressure plus the atmosphere [dBar]
double SoundSpeedWilson(double salinity, double absolutePressure, double temperature);
double ChosenSoundSpeed(const SoundSpeeds& speeds, SoundSpeedFormula formula);

// Dissolved-oxygen concentration [unit] from percent saturation, with the
// Weiss (1970) solubility in air-saturated water at one atmosphere.
//   temperature : [degC, ITS-90]; salinity : [PSU]; saturationPercent : [%]
double OxygenConcentrationWeiss(double temperature, double salinity, double saturationPercent, OxygenUnit unit);

// Percent saturation from an Optode concentration, with the Garcia and
// Gordon (1992) fit to the Benson and Krause data.
//   temperature : [degC, ITS-90]; salinity : [PSU]; concentrationMicromolar : [umol/l]
double OxygenSaturationGarciaGordon(double temperature, double salinity, double concentrationMicromolar);

// An Optode concentration [umol/l] in the chosen unit.
double OptodeConcentration(double concentrationMicromolar, OptodeUnit unit);

// ------------------------------------------------------------ validity
// The published range of validity of each formula's inputs (bounds
// included). A value computed outside it is kept but flagged: PSS-78 gives
// 371 at 300 mS/cm and Chen-Millero 214 m/s at 200 degC, numbers that look
// like results. Temperatures are compared as given (ITS-90): the published
// bounds are on IPTS-68, 0.01 degC apart at most.

struct ValidityRange {
  const char* quantity;   // as a message names it: "salinity", "temperature", ...
  const char* unit;       // of low and high: "", "degC", "dBar", "%"
  double low, high;       // in the unit the formula function takes
  const char* published;  // the range in the source's own units, when they differ; else nullptr
  constexpr bool Holds(double value) const { return value >= low && value <= high; }  // false for NaN
};

struct FormulaValidity {
  const char* formula;          // "PSS-78 practical salinity"
  ValidityRange salinity;       // [PSU]; for PSS-78 its result
  ValidityRange temperature;    // [degC]
  ValidityRange third;          // pressure as the function takes it, or Weiss's saturation
  constexpr bool Holds(double s, double t, double x) const {
    return salinity.Holds(s) && temperature.Holds(t) && third.Holds(x);
  }
};

constexpr double kAnyValue = 1e300;
inline constexpr FormulaValidity kPss78Validity{"PSS-78 practical salinity",
                                                {"salinity", "", 2.0, 42.0, nullptr},
                                                {"temperature", "degC", -2.0, 35.0, nullptr},
                                                {"sea pressure", "dBar", 0.0, 10000.0, nullptr}};
inline constexpr FormulaValidity kEos80Validity{"EOS-80 density",
                                                {"salinity", "", 0.0, 42.0, nullptr},
                                                {"temperature", "degC", -2.0, 40.0, nullptr},
                                                {"sea pressure", "dBar", 0.0, 10000.0, nullptr}};
inline constexpr FormulaValidity kUnescoSoundValidity{"UNESCO (Chen-Millero) sound speed",
                                                      {"salinity", "", 0.0, 40.0, nullptr},
                                                      {"temperature", "degC", 0.0, 40.0, nullptr},
                                                      {"sea pressure", "dBar", 0.0, 10000.0, nullptr}};
// 1000 kg/cm2 gauge in the 1.019716 kg/cm2 per 10 dBar the formula converts with.
inline constexpr FormulaValidity kDelGrossoSoundValidity{
    "del Grosso sound speed",
    {"salinity", "", 30.0, 40.0, nullptr},
    {"temperature", "degC", 0.0, 30.0, nullptr},
    {"sea pressure", "dBar", 0.0, 1000.0 * 10.0 / 1.019716, "0 to 1000 kg/cm2"}};
inline constexpr FormulaValidity kWilsonSoundValidity{"Wilson sound speed",
                                                      {"salinity", "", 0.0, 37.0, nullptr},
                                                      {"temperature", "degC", -4.0, 30.0, nullptr},
                                                      {"absolute pressure", "dBar", 10.0, 10000.0, "0.1 to 100 MPa"}};
inline constexpr FormulaValidity kWeissValidity{"Weiss oxygen solubility",
                                                {"salinity", "", 0.0, 40.0, nullptr},
                                                {"temperature", "degC", -2.0, 40.0, nullptr},
                                                {"saturation", "%", 0.0, kAnyValue, nullptr}};
inline constexpr FormulaValidity kGarciaGordonValidity{"Garcia and Gordon oxygen solubility",
                                                       {"salinity", "", 0.0, 42.0, nullptr},
                                                       {"temperature", "degC", -2.0, 40.0, nullptr},
                                                       {"concentration", "umol/l", -kAnyValue, kAnyValue, nullptr}};

const FormulaValidity& SoundSpeedValidity(SoundSpeedFormula formula);
// The pressure a sound speed formula's range is about: Wilson's absolute, the others' sea pressure.
inline double SoundSpeedRangePressure(SoundSpeedFormula formula, double seaPressure, double atmosphericPressure) {
  return formula == SoundSpeedFormula::Wilson ? seaPressure + atmosphericPressure : seaPressure;
}

// Empty when s, t and x lie within the formula's range; else what lies
// outside, for a person: "temperature 200 degC is outside the range of the
// UNESCO (Chen-Millero) sound speed (0 to 40 degC)".
std::string OutsideValidityText(const FormulaValidity& validity, double s, double t, double x);

}  // namespace tmv
