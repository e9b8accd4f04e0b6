#include "analysis/SeawaterFormulas.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace tmv {

namespace {

constexpr double kIpts68PerIts90 = 1.00024;
constexpr double kRadiansPerDegree = 0.017453292519943;

bool Valid(double a) { return IsValidValue(a); }
bool Valid(double a, double b) { return IsValidValue(a) && IsValidValue(b); }
bool Valid(double a, double b, double c) { return IsValidValue(a) && IsValidValue(b) && IsValidValue(c); }

// The value, or the invalid marker when it is not a finite number.
double Finite(double value) { return std::isfinite(value) ? value : kInvalidValue; }

}  // namespace

double Ipts68FromIts90(double t90) { return kIpts68PerIts90 * t90; }
double Its90FromIpts68(double t68) { return t68 / kIpts68PerIts90; }

double SettingsLatitude(const DerivedSettings& settings) {
  return settings.latitudeDegrees + static_cast<double>(settings.latitudeMinutes) / 60.0;
}

double SeawaterDepth(double seaPressure, double latitude) {
  if (!Valid(latitude) || std::isnan(seaPressure)) return kInvalidValue;
  const double p = seaPressure;
  const double s = std::sin(latitude * kRadiansPerDegree);
  const double x = s * s;
  const double g = 9.780318 * (1.0 + (5.2788e-3 + 2.36e-5 * x) * x) + 1.092e-6 * p;
  return Finite(((((-1.82e-15 * p + 2.279e-10) * p - 2.2512e-5) * p + 9.72659) * p) / g);
}

double SimplifiedDepth(double seaPressure, double density) {
  if (std::isnan(seaPressure) || !Valid(density)) return kInvalidValue;
  return Finite(seaPressure / (density * 0.980665));
}

double DepthFromPressure(const DerivedSettings& settings, double pressure) {
  if (!Valid(pressure)) return kInvalidValue;
  const double seaPressure = pressure - static_cast<double>(settings.atmosphericPressure);
  if (settings.depthSeawater) return SeawaterDepth(seaPressure, SettingsLatitude(settings));
  return SimplifiedDepth(seaPressure, settings.waterDensity);
}

double SalinityPss78(double x, double temperature, double seaPressure, int ratioInput) {
  if (!Valid(x, temperature) || std::isnan(seaPressure)) return kInvalidValue;
  const double t = Ipts68FromIts90(temperature);
  double rt;
  if (ratioInput == 1) {
    rt = x;
  } else {
    const double r = x * (1.0 / 42.914);
    const double p = seaPressure;
    // Rt = R / (Rp rt) with Rp = 1 + e / d written as (d + e) / d: one
    // division instead of two on the path every row takes.
    const double e = p * (2.070e-5 + (-6.370e-10 + 3.989e-15 * p) * p);
    const double d = 1.0 + (3.426e-2 + 4.464e-4 * t) * t + (4.215e-1 - 3.107e-3 * t) * r;
    const double rT = 0.6766097 + (2.00564e-2 + (1.104259e-4 + (-6.9698e-7 + 1.0031e-9 * t) * t) * t) * t;
    rt = r * d / ((d + e) * rT);
  }
  // Rt^(k/2) for k = 0..5 as powers of its square root: the same values as a
  // general power function (a negative ratio gives a value that is not a
  // number either way) at a fraction of the cost.
  const double q = std::sqrt(rt);
  const double a = 0.0080 + (-0.1692 + (25.3851 + (14.0941 + (-7.0261 + 2.7081 * q) * q) * q) * q) * q;
  const double b = 0.0005 + (-0.0056 + (-0.0066 + (-0.0375 + (0.0636 - 0.0144 * q) * q) * q) * q) * q;
  const double dt = t - 15.0;
  return Finite(a + dt / (1.0 + 0.0162 * dt) * b);
}

double CorrectConductivity(const ConductivityCorrection& k, double measured, double temperature,
                           double hydrostaticPressure) {
  if (!Valid(measured, temperature) || std::isnan(hydrostaticPressure)) return kInvalidValue;
  const double dt = temperature - k.tc;
  return Finite((measured - k.b * dt) / (1.0 + k.a * dt + k.c * hydrostaticPressure));
}

double SpecificConductivity(double conductivity, double temperature) {
  if (!Valid(conductivity, temperature)) return kInvalidValue;
  return Finite(conductivity / (1.0 + 0.0191 * (temperature - 25.0)));
}

double DensityAnomaly(double salinity, double temperature, double seaPressure) {
  if (!kEos80Validity.Holds(salinity, temperature, seaPressure)) return kInvalidValue;  // NaN too
  const double s = salinity;
  const double t = Ipts68FromIts90(temperature);
  const double p = seaPressure / 10.0;  // bar
  const double s15 = s * std::sqrt(s);

  // Density at one atmosphere: standard mean ocean water plus the salt terms.
  const double rhoW =
      999.842594 + (6.793952e-2 + (-9.095290e-3 + (1.001685e-4 + (-1.120083e-6 + 6.536332e-9 * t) * t) * t) * t) * t;
  const double rho0 = rhoW + s * (8.24493e-1 + (-4.0899e-3 + (7.6438e-5 + (-8.2467e-7 + 5.3875e-9 * t) * t) * t) * t) +
                      s15 * (-5.72466e-3 + (1.0227e-4 - 1.6546e-6 * t) * t) + 4.8314e-4 * s * s;

  // Secant bulk modulus K(S, t, p) in bar.
  const double kW = 19652.21 + (148.4206 + (-2.327105 + (1.360477e-2 - 5.155288e-5 * t) * t) * t) * t;
  const double aW = 3.239908 + (1.43713e-3 + (1.16092e-4 - 5.77905e-7 * t) * t) * t;
  const double bW = 8.50935e-5 + (-6.12293e-6 + 5.2787e-8 * t) * t;
  const double k0 = kW + s * (54.6746 + (-0.603459 + (1.09987e-2 - 6.1670e-5 * t) * t) * t) +
                    s15 * (7.944e-2 + (1.6483e-2 - 5.3009e-4 * t) * t);
  const double a = aW + s * (2.2838e-3 + (-1.0981e-5 - 1.6078e-6 * t) * t) + 1.91075e-4 * s15;
  const double b = bW + s * (-9.9348e-7 + (2.0816e-8 + 9.1697e-10 * t) * t);
  const double k = k0 + (a + b * p) * p;

  return Finite(rho0 / (1.0 - p / k) - 1000.0);
}

double SoundSpeedUnesco(double salinity, double seaPressure, double temperature) {
  if (!Valid(salinity, seaPressure, temperature)) return kInvalidValue;
  const double s = salinity;
  const double t = temperature;
  const double p = seaPressure / 10.0;  // bar
  const double cw0 = 1402.388 + (5.0383 + (-5.8109e-2 + (3.3432e-4 + (-1.47797e-6 + 3.1419e-9 * t) * t) * t) * t) * t;
  const double cw1 = 0.153563 + (6.8999e-4 + (-8.1829e-6 + (1.3632e-7 - 6.126e-10 * t) * t) * t) * t;
  const double cw2 = 3.126e-5 + (-1.7111e-6 + (2.5986e-8 + (-2.5353e-10 + 1.0415e-12 * t) * t) * t) * t;
  const double cw3 = -9.7729e-9 + (3.8513e-10 - 2.3654e-12 * t) * t;
  const double cw = cw0 + (cw1 + (cw2 + cw3 * p) * p) * p;
  const double a0 = 1.389 + (-1.262e-2 + (7.166e-5 + (2.008e-6 - 3.21e-8 * t) * t) * t) * t;
  const double a1 = 9.4742e-5 + (-1.2583e-5 + (-6.4928e-8 + (1.0515e-8 - 2.0142e-10 * t) * t) * t) * t;
  const double a2 = -3.9064e-7 + (9.1061e-9 + (-1.6009e-10 + 7.994e-12 * t) * t) * t;
  const double a3 = 1.1e-10 + (6.651e-12 - 3.391e-13 * t) * t;
  const double a = a0 + (a1 + (a2 + a3 * p) * p) * p;
  const double b = -1.922e-2 - 4.42e-5 * t + (7.3637e-5 + 1.795e-7 * t) * p;
  const double d = 1.727e-3 - 7.9836e-6 * p;
  return Finite(cw + a * s + b * s * std::sqrt(s) + d * s * s);
}

double SoundSpeedDelGrosso(double salinity, double seaPressure, double temperature) {
  if (!Valid(salinity, seaPressure, temperature)) return kInvalidValue;
  const double s = salinity;
  const double t = temperature;
  const double p = seaPressure * 1.019716 / 10.0;  // kg/cm2
  const double ct = 5.012285 * t - 0.0551184 * t * t + 2.21649e-4 * t * t * t;
  const double cs = 1.32953 * s + 1.288598e-4 * s * s;
  const double cp = 0.1560592 * p + 2.449993e-5 * p * p - 8.833959e-9 * p * p * p;
  const double cstp = 6.353509e-3 * t * p - 4.383615e-7 * t * t * t * p - 1.593895e-6 * t * p * p +
                      2.656174e-8 * t * t * p * p + 5.222483e-10 * t * p * p * p - 1.275936e-2 * s * t +
                      9.688441e-5 * s * t * t - 3.406824e-4 * s * t * p + 4.857614e-6 * s * s * t * p -
                      1.616745e-9 * s * s * p * p;
  return Finite(1402.392 + ct + cs + cp + cstp);
}

double SoundSpeedWilson(double salinity, double absolutePressure, double temperature) {
  if (!Valid(salinity, absolutePressure, temperature)) return kInvalidValue;
  const double t = Ipts68FromIts90(temperature);
  const double p = absolutePressure / 100.0;  // MPa
  const double s = salinity - 35.0;
  // Wilson's coefficients converted from kg/cm2 to MPa. His salinity-
  // temperature term is -1.1244e-2, his pressure-squared term and his
  // (S - 35)^2 term positive; the -1.1244e-10 and the negative signs once
  // carried here put the result up to 2 m/s off near the surface, 5 m/s off
  // at 5000 dBar and 4.1 m/s low in fresh water.
  const double value =
      1449.14 + (4.5721 * t - 0.044532 * t * t - 2.6045e-4 * t * t * t + 7.9851e-6 * t * t * t * t) +
      (1.39799 + 1.69202e-3 * s) * s +
      (1.63432 * p + 1.06768e-3 * p * p + 3.73403e-6 * p * p * p - 3.6332e-8 * p * p * p * p) +
      s * (-1.1244e-2 * t + 7.7711e-7 * t * t + 7.85344e-4 * p - 1.3458e-5 * p * p + 3.2203e-7 * p * t +
           1.6101e-8 * t * t * p) +
      p * (-1.8974e-3 * t + 7.6287e-5 * t * t + 4.6176e-7 * t * t * t) + p * p * (-2.6301e-5 * t + 1.9302e-7 * t * t) -
      2.0831e-7 * p * p * p * t;
  return Finite(value);
}

namespace {

// Wilson's absolute pressure; a sea pressure that is no reading stays none.
double AbsolutePressure(double seaPressure, double atmosphericPressure) {
  return Valid(seaPressure) ? seaPressure + atmosphericPressure : kInvalidValue;
}

}  // namespace

SoundSpeeds SpeedOfSound(double salinity, double seaPressure, double atmosphericPressure, double temperature) {
  SoundSpeeds speeds;
  speeds.wilson = SoundSpeedWilson(salinity, AbsolutePressure(seaPressure, atmosphericPressure), temperature);
  speeds.delGrosso = SoundSpeedDelGrosso(salinity, seaPressure, temperature);
  speeds.unesco = SoundSpeedUnesco(salinity, seaPressure, temperature);
  return speeds;
}

double SoundSpeed(SoundSpeedFormula formula, double salinity, double seaPressure, double atmosphericPressure,
                  double temperature) {
  switch (formula) {
    case SoundSpeedFormula::Wilson:
      return SoundSpeedWilson(salinity, AbsolutePressure(seaPressure, atmosphericPressure), temperature);
    case SoundSpeedFormula::DelGrosso: return SoundSpeedDelGrosso(salinity, seaPressure, temperature);
    case SoundSpeedFormula::Unesco: break;
  }
  return SoundSpeedUnesco(salinity, seaPressure, temperature);
}

double ChosenSoundSpeed(const SoundSpeeds& speeds, SoundSpeedFormula formula) {
  switch (formula) {
    case SoundSpeedFormula::Wilson: return speeds.wilson;
    case SoundSpeedFormula::DelGrosso: return speeds.delGrosso;
    case SoundSpeedFormula::Unesco: break;
  }
  return speeds.unesco;
}

double OxygenConcentrationWeiss(double temperature, double salinity, double saturationPercent, OxygenUnit unit) {
  if (!Valid(temperature, salinity, saturationPercent)) return kInvalidValue;
  const double tk = (Ipts68FromIts90(temperature) + 273.15) / 100.0;
  const double lnC = -173.4292 + 249.6339 / tk + 143.3483 * std::log(tk) - 21.8492 * tk +
                     salinity * (-0.033096 + 0.014259 * tk - 0.0017 * tk * tk);
  const double mlPerLitre = std::exp(lnC) * saturationPercent / 100.0;
  switch (unit) {
    case OxygenUnit::MgPerLitre: return Finite(mlPerLitre * 1.4276);
    case OxygenUnit::MicromolPerLitre: return Finite(mlPerLitre * 44.659);
    case OxygenUnit::MlPerLitre: break;
  }
  return Finite(mlPerLitre);
}

double OxygenSaturationGarciaGordon(double temperature, double salinity, double concentrationMicromolar) {
  if (!Valid(temperature, salinity, concentrationMicromolar)) return kInvalidValue;
  const double ts = std::log((298.15 - temperature) / (273.15 + temperature));
  const double lnC = 2.00856 + (3.224 + (3.99063 + (4.80299 + (0.978188 + 1.71069 * ts) * ts) * ts) * ts) * ts +
                     salinity * (-6.24097e-3 + (-6.93498e-3 + (-6.90358e-3 - 4.29155e-3 * ts) * ts) * ts) -
                     3.1168e-7 * salinity * salinity;
  return Finite(concentrationMicromolar * 2.24114 / std::exp(lnC));
}

double OptodeConcentration(double concentrationMicromolar, OptodeUnit unit) {
  if (!Valid(concentrationMicromolar)) return kInvalidValue;
  return concentrationMicromolar * (unit == OptodeUnit::MgPerLitre ? 0.031999 : 0.022392);
}

const FormulaValidity& SoundSpeedValidity(SoundSpeedFormula formula) {
  switch (formula) {
    case SoundSpeedFormula::Wilson: return kWilsonSoundValidity;
    case SoundSpeedFormula::DelGrosso: return kDelGrossoSoundValidity;
    case SoundSpeedFormula::Unesco: break;
  }
  return kUnescoSoundValidity;
}

namespace {

std::string WithUnit(double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, *unit != '\0' ? "%.6g %s" : "%.6g", value, unit);
  return text;
}

std::string RangeText(const ValidityRange& r) {
  std::string text;
  if (r.high >= kAnyValue) text = "at least " + WithUnit(r.low, r.unit);
  else if (r.low <= -kAnyValue) text = "at most " + WithUnit(r.high, r.unit);
  else text = WithUnit(r.low, "") + " to " + WithUnit(r.high, r.unit);
  if (r.published != nullptr) text = std::string(r.published) + ", " + text;
  return text;
}

}  // namespace

std::string OutsideValidityText(const FormulaValidity& v, double s, double t, double x) {
  for (const auto& [range, value] : {std::pair{&v.salinity, s}, {&v.temperature, t}, {&v.third, x}}) {
    if (range->Holds(value)) continue;
    const std::string given = std::isfinite(value) ? WithUnit(value, range->unit) : std::string("not a finite number");
    return std::string(range->quantity) + " " + given + " is outside the range of the " + v.formula + " (" +
           RangeText(*range) + ")";
  }
  return {};
}

}  // namespace tmv
