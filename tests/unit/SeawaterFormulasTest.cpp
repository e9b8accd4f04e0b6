// The seawater formulas against the check values published with them. A
// value off in the last published digit ends up in someone's paper, so each
// expectation comes from the literature or from an independent formulation,
// never from this code's own output.
//
// Loggers record ITS-90 and the functions take ITS-90; the UNESCO check values
// are on IPTS-68, so they are passed as t68 / 1.00024.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/SalinityColumn.h"
#include "analysis/SeawaterFormulas.h"

namespace tmv {
namespace {

double T90(double t68) { return t68 / 1.00024; }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// --- Independent formulations used as references -------------------------

// Chen and Millero as adopted by UNESCO 1983 (Fofonoff and Millard, UNESCO
// technical papers in marine science 44, p. 46-49), with the original IPTS-68
// coefficient set; typed here from the paper, not shared with the code.
double UnescoSoundSpeed1983(double s, double t68, double dbar) {
  const double p = dbar / 10.0;
  const double c[4][6] = {{1402.388, 5.03711, -5.80852e-2, 3.3420e-4, -1.47800e-6, 3.1464e-9},
                          {0.153563, 6.8982e-4, -8.1788e-6, 1.3621e-7, -6.1185e-10, 0},
                          {3.1260e-5, -1.7107e-6, 2.5974e-8, -2.5335e-10, 1.0405e-12, 0},
                          {-9.7729e-9, 3.8504e-10, -2.3643e-12, 0, 0, 0}};
  const double a[4][5] = {{1.389, -1.262e-2, 7.164e-5, 2.006e-6, -3.21e-8},
                          {9.4742e-5, -1.2580e-5, -6.4885e-8, 1.0507e-8, -2.0122e-10},
                          {-3.9064e-7, 9.1041e-9, -1.6002e-10, 7.988e-12, 0},
                          {1.100e-10, 6.649e-12, -3.389e-13, 0, 0}};
  double cw = 0, aa = 0;
  for (int i = 0; i < 4; ++i) {
    double sc = 0, sa = 0;
    for (int j = 5; j >= 0; --j) sc = sc * t68 + c[i][j];
    for (int j = 4; j >= 0; --j) sa = sa * t68 + a[i][j];
    cw += sc * std::pow(p, i);
    aa += sa * std::pow(p, i);
  }
  const double b = -1.922e-2 - 4.42e-5 * t68 + (7.3637e-5 + 1.7945e-7 * t68) * p;
  const double d = 1.727e-3 - 7.9836e-6 * p;
  return cw + aa * s + b * std::pow(s, 1.5) + d * s * s;
}

// Garcia and Gordon (1992) fit to the Benson and Krause data in umol/kg, the
// fit their check value belongs to.
double GarciaGordonBensonKrauseUmolKg(double t, double s) {
  const double ts = std::log((298.15 - t) / (273.15 + t));
  const double lnC = 5.80871 + 3.20291 * ts + 4.17887 * std::pow(ts, 2) + 5.10006 * std::pow(ts, 3) -
                     9.86643e-2 * std::pow(ts, 4) + 3.80369 * std::pow(ts, 5) +
                     s * (-7.01577e-3 - 7.70028e-3 * ts - 1.13864e-2 * ts * ts - 9.51519e-3 * std::pow(ts, 3)) -
                     2.75915e-7 * s * s;
  return std::exp(lnC);
}

// --- UNESCO 1983 (Fofonoff and Millard), technical paper 44 ---------------

TEST(SeawaterUnesco1983, PracticalSalinityCheckValues) {
  // Conductivity ratio R = C / 42.914 mS/cm; p. 9 test values and the SAL78
  // check value of the program listing.
  EXPECT_NEAR(SalinityPss78(1.0 * 42.914, T90(15), 0, 0), 35.000000, 5e-7);
  EXPECT_NEAR(SalinityPss78(1.2 * 42.914, T90(20), 2000, 0), 37.245628, 5e-7);
  EXPECT_NEAR(SalinityPss78(0.65 * 42.914, T90(5), 1500, 0), 27.995347, 5e-7);
  EXPECT_NEAR(SalinityPss78(1.888091 * 42.914, T90(40), 10000, 0), 40.0000, 5e-5);
  // The ratio form takes Rt itself (the micro-salinometer's ratio).
  EXPECT_NEAR(SalinityPss78(1.0, T90(15), 0, 1), 35.000, 5e-4);
  // Given as if ITS-90 the 40 degC check value is 0.0067 off: the input is
  // converted, not taken as IPTS-68.
  EXPECT_NEAR(SalinityPss78(1.888091 * 42.914, 40.0, 10000, 0), 40.0000 - 0.0067, 5e-4);
}

TEST(SeawaterUnesco1983, DensityCheckValues) {
  // EOS-80 density test values, p. 19 (kg/m3), S, t68, p in dBar.
  struct Case { double s, t, p, rho; };
  const Case cases[] = {{0, 5, 0, 999.96675},      {0, 5, 10000, 1044.12802}, {0, 25, 0, 997.04796},
                        {0, 25, 10000, 1037.90204}, {35, 5, 0, 1027.67547},    {35, 5, 10000, 1069.48914},
                        {35, 25, 0, 1023.34306},    {35, 25, 10000, 1062.53817}};
  for (const Case& c : cases)
    EXPECT_NEAR(1000.0 + DensityAnomaly(c.s, T90(c.t), c.p), c.rho, 5e-6) << c.s << " " << c.t << " " << c.p;
  // Check value of the program listing: S 40, 40 degC, 10000 dBar, density
  // 1059.82037 (computed then in lower precision: within one unit of the
  // last digit).
  EXPECT_NEAR(1000.0 + DensityAnomaly(40, T90(40), 10000), 1059.82037, 1e-5);
  // Standard mean ocean water at 0 degC, the equation's leading coefficient.
  EXPECT_NEAR(DensityAnomaly(0, 0, 0), -0.157406, 5e-7);
}

TEST(SeawaterUnesco1983, DensityOutsideItsRangeIsInvalid) {
  EXPECT_NE(DensityAnomaly(42.0, 10, 100), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(42.01, 10, 100), kInvalidValue);
  EXPECT_NE(DensityAnomaly(35, 10, 10000.0), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(35, 10, 10000.1), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(35, 10, -0.1), kInvalidValue);
  EXPECT_NE(DensityAnomaly(35, -2.0, 0), kInvalidValue);
  EXPECT_NE(DensityAnomaly(35, 40.0, 0), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(35, -2.01, 0), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(35, 40.01, 0), kInvalidValue);
  EXPECT_EQ(DensityAnomaly(-0.01, 10, 0), kInvalidValue);
}

TEST(SeawaterUnesco1983, DepthCheckValues) {
  // Depth table, p. 28 (m), by pressure and latitude; the check value of the
  // program listing is 9712.653 m at 10000 dBar, 30 degrees.
  EXPECT_NEAR(SeawaterDepth(10000, 30), 9712.653, 5e-4);
  const double latitudes[] = {0, 30, 45, 90};
  const double pressures[] = {500, 5000, 10000};
  const double depth[3][4] = {{496.65, 496.00, 495.34, 494.03},
                              {4915.04, 4908.56, 4902.08, 4889.13},
                              {9725.47, 9712.65, 9699.84, 9674.23}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(SeawaterDepth(pressures[i], latitudes[j]), depth[i][j], 5e-3) << pressures[i] << " " << latitudes[j];
  // Only sin^2 of the latitude enters.
  EXPECT_DOUBLE_EQ(SeawaterDepth(1000, -30), SeawaterDepth(1000, 30));
}

TEST(SeawaterUnesco1983, ChenMilleroSoundSpeedTable) {
  // UNESCO technical paper 44, table of the Chen-Millero sound speed [m/s],
  // t68 = 0, 10, 20, 30, 40 degC (rows) by (S, p dBar) = (25, 0), (25, 5000),
  // (25, 10000), (35, 0), (35, 5000), (35, 10000). The coefficients in use
  // are the ITS-90 refit, up to 0.01 m/s from the 1983 set, and the table is
  // printed to 0.1: each value within 0.06. The pressure is the sea pressure.
  const double table[5][6] = {{1435.8, 1520.4, 1610.4, 1449.1, 1534.0, 1623.2},
                              {1477.7, 1561.3, 1647.4, 1489.8, 1573.4, 1659.0},
                              {1510.3, 1593.6, 1676.8, 1521.5, 1604.5, 1687.2},
                              {1535.2, 1619.0, 1700.6, 1545.6, 1629.0, 1710.1},
                              {1553.4, 1638.0, 1719.2, 1563.2, 1647.3, 1727.8}};
  const double salinity[6] = {25, 25, 25, 35, 35, 35};
  const double pressure[6] = {0, 5000, 10000, 0, 5000, 10000};
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 6; ++j) {
      const double t68 = 10.0 * i;
      EXPECT_NEAR(SoundSpeedUnesco(salinity[j], pressure[j], T90(t68)), table[i][j], 0.06)
          << "t68 " << t68 << " S " << salinity[j] << " p " << pressure[j];
      // The derived column's entry point gives the same for a sea pressure.
      EXPECT_EQ(SoundSpeed(SoundSpeedFormula::Unesco, salinity[j], pressure[j], kStandardAtmosphere, T90(t68)),
                SoundSpeedUnesco(salinity[j], pressure[j], T90(t68)));
    }
}

TEST(SeawaterUnesco1983, ChenMilleroSoundSpeedCheckValue) {
  // Check value of the program listing: S 40, 40 degC, 10000 dBar, 1731.995 m/s.
  // The reference typed from the paper reproduces it.
  EXPECT_NEAR(UnescoSoundSpeed1983(40, 40, 10000), 1731.995, 5e-4);
  // The coefficients in use are the ITS-90 refit of the same equation (Wong
  // and Zhu 1995), which departs from the 1983 set by up to 0.0095 m/s over
  // 0..40 PSU, 0..40 degC, 0..10000 dBar: the published value holds to 0.01.
  EXPECT_NEAR(SoundSpeedUnesco(40, 10000, T90(40)), 1731.995, 0.01);
  double worst = 0;
  for (double s = 0; s <= 40; s += 5)
    for (double t = 0; t <= 40; t += 5)
      for (double p = 0; p <= 10000; p += 1000)
        worst = std::max(worst, std::abs(SoundSpeedUnesco(s, p, T90(t)) - UnescoSoundSpeed1983(s, t, p)));
  EXPECT_LT(worst, 0.01);
}

// --- Del Grosso (1974) ------------------------------------------------------

TEST(SeawaterDelGrosso1974, SoundSpeedAgreesWithPublishedAnchors) {
  // Documented examples of public acoustics libraries (Wong and Zhu
  // coefficients; the paper prints none), the pressure gauge: 1442.553 m/s
  // at S 30, 0 degC, 1.019716 kg/cm2 (10 dBar); 1470.8074947 m/s at S 35,
  // 5 degC, 100 kPa (10 dBar).
  EXPECT_NEAR(SoundSpeedDelGrosso(30, 10.0, 0), 1442.553, 5e-4);
  EXPECT_NEAR(SoundSpeedDelGrosso(35, 10.0, 5), 1470.8074947, 1e-7);
  EXPECT_EQ(SoundSpeed(SoundSpeedFormula::DelGrosso, 35, 10.0, kStandardAtmosphere, 5), SoundSpeedDelGrosso(35, 10.0, 5));
  // Its constant is the speed in pure water at 0 degC and one atmosphere
  // (del Grosso and Mader 1972), 1402.392 m/s.
  EXPECT_NEAR(SoundSpeedDelGrosso(0, 0, 0), 1402.392, 5e-4);
  // Independently: the well-known gap to Chen-Millero stays under 0.8 m/s
  // in the ocean (cold deep water, warm shallow water); a coefficient typed
  // wrong moves it by far more.
  for (double s = 33; s <= 37; s += 1) {
    for (double t = 0; t <= 25; t += 5)
      for (double p = 0; p <= 1000; p += 250)
        EXPECT_NEAR(SoundSpeedDelGrosso(s, p, t), UnescoSoundSpeed1983(s, t, p), 0.8) << s << " " << t << " " << p;
    for (double t = 0; t <= 4; t += 1)
      for (double p = 1000; p <= 6000; p += 1000)
        EXPECT_NEAR(SoundSpeedDelGrosso(s, p, t), UnescoSoundSpeed1983(s, t, p), 0.8) << s << " " << t << " " << p;
  }
}

// --- Wilson (1960) ----------------------------------------------------------

TEST(SeawaterWilson1960, SoundSpeedAgreesWithPublishedAnchors) {
  // The equation's constant: 1449.14 m/s at S 35, 0 degC, no pressure.
  EXPECT_NEAR(SoundSpeedWilson(35, 0, 0), 1449.14, 5e-3);
  // Documented example of a public acoustics library: 1442.36 m/s at S 30,
  // 0 degC, 0.1 MPa absolute (10 dBar). With the (S-35)^2 term subtracted
  // it came out 1442.27.
  EXPECT_NEAR(SoundSpeedWilson(30, 10.0, 0), 1442.36, 5e-3);
  // Fresh water: within 0.25 m/s of Chen-Millero at 0 and 10 degC at the
  // surface (the subtracted term made it 4.1 m/s low).
  for (double t : {0.0, 10.0}) EXPECT_NEAR(SoundSpeedWilson(0, 10.1325, T90(t)), UnescoSoundSpeed1983(0, t, 0), 0.25) << t;
  // Independently: within 0.9 m/s of Chen-Millero over 30..37 PSU, 0..30 degC,
  // 0..5000 dBar sea pressure (Wilson runs high of it, most at 37 PSU). With
  // the salinity-temperature term at -1.1244e-10 this was 1.8 m/s off at
  // 30 PSU, 30 degC; with a negative pressure-squared term 5.5 m/s off at 5000 dBar.
  for (double s = 30; s <= 37; s += 1)
    for (double t = 0; t <= 30; t += 2)
      for (double p = 0; p <= 5000; p += 500)
        EXPECT_NEAR(SoundSpeedWilson(s, p + kStandardAtmosphere, T90(t)), UnescoSoundSpeed1983(s, t, p), 0.9) << s << " " << t << " " << p;
}

TEST(SeawaterSoundSpeed, EachFormulaGetsThePressureItWasFittedOn) {
  // Chen-Millero and del Grosso the sea pressure, Wilson the absolute one.
  const SoundSpeeds all = SpeedOfSound(35, 1000, 10.0, 10);
  EXPECT_EQ(ChosenSoundSpeed(all, SoundSpeedFormula::Unesco), SoundSpeedUnesco(35, 1000, 10));
  EXPECT_EQ(ChosenSoundSpeed(all, SoundSpeedFormula::DelGrosso), SoundSpeedDelGrosso(35, 1000, 10));
  EXPECT_EQ(ChosenSoundSpeed(all, SoundSpeedFormula::Wilson), SoundSpeedWilson(35, 1010, 10));
  for (const SoundSpeedFormula f : {SoundSpeedFormula::Unesco, SoundSpeedFormula::DelGrosso, SoundSpeedFormula::Wilson})
    EXPECT_EQ(SoundSpeed(f, 35, 1000, 10.0, 10), ChosenSoundSpeed(all, f));
}

// --- Weiss (1970) -----------------------------------------------------------

TEST(SeawaterWeiss1970, OxygenSolubility) {
  // Weiss (1970), table of the oxygen solubility [ml/l] of air-saturated
  // water at one atmosphere, (S, t68): printed to 0.001.
  const struct {
    double s, t68, ml;
  } table[] = {{20, -1, 9.162}, {20, 10, 6.950}, {20, 20, 5.644}, {20, 40, 4.050},
               {40, -1, 7.984}, {40, 10, 6.121}, {40, 20, 5.015}, {40, 40, 3.656}};
  for (const auto& row : table)
    EXPECT_NEAR(OxygenConcentrationWeiss(T90(row.t68), row.s, 100, OxygenUnit::MlPerLitre), row.ml, 5e-4)
        << row.s << " " << row.t68;
  // Fresh water at 0 degC holds 14.6 mg/l at air saturation (the long-standing
  // value of the oxygen tables): 10.22 ml/l.
  EXPECT_NEAR(OxygenConcentrationWeiss(T90(0), 0, 100, OxygenUnit::MgPerLitre), 14.59, 0.01);
  EXPECT_NEAR(OxygenConcentrationWeiss(T90(0), 0, 100, OxygenUnit::MlPerLitre), 10.22, 0.005);
  // Independently: within 0.3 % of Garcia and Gordon's fit to other data
  // (Benson and Krause) over 0..30 degC, 0..40 PSU. At S 35, 20 degC both
  // give 5.17 ml/l (not 5.24).
  for (double t = 0; t <= 30; t += 5)
    for (double s = 0; s <= 40; s += 10) {
      const double weiss = OxygenConcentrationWeiss(T90(t), s, 100, OxygenUnit::MlPerLitre);
      const double garciaGordon = 2.24114 * 100.0 / OxygenSaturationGarciaGordon(T90(t), s, 100.0);
      EXPECT_NEAR(weiss / garciaGordon, 1.0, 0.003) << t << " " << s;
    }
  EXPECT_NEAR(OxygenConcentrationWeiss(T90(20), 35, 100, OxygenUnit::MlPerLitre), 5.17, 0.005);
}

TEST(SeawaterWeiss1970, UnitsAndSaturationScaleTheConcentration) {
  const double ml = OxygenConcentrationWeiss(12, 30, 100, OxygenUnit::MlPerLitre);
  EXPECT_DOUBLE_EQ(OxygenConcentrationWeiss(12, 30, 50, OxygenUnit::MlPerLitre), ml / 2);
  EXPECT_NEAR(OxygenConcentrationWeiss(12, 30, 100, OxygenUnit::MgPerLitre), ml * 1.4276, 1e-12);
  EXPECT_NEAR(OxygenConcentrationWeiss(12, 30, 100, OxygenUnit::MicromolPerLitre), ml * 44.659, 1e-10);
}

// --- Garcia and Gordon (1992) -----------------------------------------------

TEST(SeawaterGarciaGordon1992, OxygenSolubilityCheckValue) {
  // Check value: 274.610 umol/kg at 10 degC (ITS-90), S 35, on their
  // Benson-Krause umol/kg fit, which the reference reproduces.
  EXPECT_NEAR(GarciaGordonBensonKrauseUmolKg(10, 35), 274.610, 5e-4);
  // The formula in use is their combined fit in ml/l. Taken to umol/kg with
  // 44.6596 umol/ml and the EOS-80 density, it meets the check value within
  // 0.1 umol/kg, the spread between their fits.
  const double solubilityMl = 2.24114 * 100.0 / OxygenSaturationGarciaGordon(10, 35, 100.0);
  const double density = 1000.0 + DensityAnomaly(35, 10, 0);
  EXPECT_NEAR(solubilityMl * 44.6596 / (density / 1000.0), 274.610, 0.1);
  // Saturation of water holding exactly the check value: 100 % within 0.1 %;
  // the factor 2.24114 sits 0.088 % above 100 / 44.6596, so the stored
  // saturations read that much high.
  const double umolPerLitre = 274.610 * density / 1000.0;
  EXPECT_NEAR(OxygenSaturationGarciaGordon(10, 35, umolPerLitre), 100.0, 0.1);
  EXPECT_GT(OxygenSaturationGarciaGordon(10, 35, umolPerLitre), 100.0);
}

// --- Simple formulas ----------------------------------------------------------

TEST(SeawaterSimpleFormulas, HydrostaticDepthAndTemperatureScales) {
  // 1000 dBar = 1e7 Pa under fresh water of 1000 kg/m3 at g = 9.80665 m/s2.
  EXPECT_NEAR(SimplifiedDepth(1000, 1.0), 1e7 / (1000.0 * 9.80665), 1e-9);
  DerivedSettings settings;  // simplified, 1.0281 g/cm3, 10.1325 dBar atmosphere
  EXPECT_NEAR(DepthFromPressure(settings, 10.1325 + 1000), 1e7 / (1028.1 * 9.80665), 1e-3);
  settings.depthSeawater = true;
  settings.latitudeDegrees = 29;
  settings.latitudeMinutes = 60.0f;
  settings.atmosphericPressure = 0.0f;
  EXPECT_NEAR(DepthFromPressure(settings, 10000), 9712.653, 5e-4);
  EXPECT_DOUBLE_EQ(Ipts68FromIts90(Its90FromIpts68(25.0)), 25.0);
  EXPECT_DOUBLE_EQ(Ipts68FromIts90(10.0), 10.0024);
}

TEST(SeawaterSimpleFormulas, ConductivityCorrections) {
  EXPECT_DOUBLE_EQ(SpecificConductivity(53.0, 25.0), 53.0);
  EXPECT_NEAR(SpecificConductivity(40.0, 15.0), 40.0 / (1 - 0.191), 1e-12);
  const ConductivityCorrection k{0.02, 0.0, 20.0, 1e-5};
  EXPECT_NEAR(CorrectConductivity(k, 40.0, 25.0, 100.0), 40.0 / (1 + 0.1 + 0.001), 1e-12);
  EXPECT_DOUBLE_EQ(CorrectConductivity(ConductivityCorrection{0, 0, 0, 0}, 40.0, 25.0, 100.0), 40.0);
  // A denominator of zero gives the marker, not an infinity in the column.
  EXPECT_EQ(CorrectConductivity(ConductivityCorrection{-0.2, 0, 20, 0}, 40.0, 25.0, 0.0), kInvalidValue);
  EXPECT_EQ(SpecificConductivity(40.0, 25.0 - 1.0 / 0.0191), kInvalidValue);
}

TEST(SeawaterBadInput, InvalidReadingsGiveTheMarkerNotNaN) {
  const double bad[] = {kInvalidValue, -1000.5, kNaN};
  DerivedSettings settings;
  const ConductivityCorrection k{0.02, 0.0, 20.0, 1e-5};
  for (double b : bad) {
    EXPECT_EQ(DepthFromPressure(settings, b), kInvalidValue);
    EXPECT_EQ(SalinityPss78(b, 15, 0, 0), kInvalidValue);
    EXPECT_EQ(SalinityPss78(42.914, b, 0, 0), kInvalidValue);
    EXPECT_EQ(CorrectConductivity(k, b, 15, 0), kInvalidValue);
    EXPECT_EQ(CorrectConductivity(k, 40, b, 0), kInvalidValue);
    EXPECT_EQ(SpecificConductivity(b, 15), kInvalidValue);
    EXPECT_EQ(SpecificConductivity(40, b), kInvalidValue);
    EXPECT_EQ(DensityAnomaly(b, 15, 0), kInvalidValue);
    EXPECT_EQ(DensityAnomaly(35, b, 0), kInvalidValue);
    EXPECT_EQ(DensityAnomaly(35, 15, b), kInvalidValue);
    const SoundSpeeds speeds = SpeedOfSound(35, b, kStandardAtmosphere, 15);
    EXPECT_EQ(speeds.unesco, kInvalidValue);
    EXPECT_EQ(speeds.delGrosso, kInvalidValue);
    EXPECT_EQ(speeds.wilson, kInvalidValue);
    EXPECT_EQ(SpeedOfSound(b, 0, kStandardAtmosphere, 15).unesco, kInvalidValue);
    EXPECT_EQ(SpeedOfSound(35, 0, kStandardAtmosphere, b).wilson, kInvalidValue);
    EXPECT_EQ(OxygenConcentrationWeiss(15, 35, b, OxygenUnit::MlPerLitre), kInvalidValue);
    EXPECT_EQ(OxygenConcentrationWeiss(b, 35, 100, OxygenUnit::MlPerLitre), kInvalidValue);
    EXPECT_EQ(OxygenSaturationGarciaGordon(15, 35, b), kInvalidValue);
    EXPECT_EQ(OxygenSaturationGarciaGordon(15, b, 200), kInvalidValue);
    EXPECT_EQ(OptodeConcentration(b, OptodeUnit::MgPerLitre), kInvalidValue);
  }
  // -999.9 is a reading and is computed.
  EXPECT_NE(DepthFromPressure(settings, -999.9), kInvalidValue);
  // A negative conductivity has no square root of its ratio.
  EXPECT_EQ(SalinityPss78(-0.5, 15, 0, 0), kInvalidValue);
  EXPECT_EQ(SalinityPss78(-0.01, 15, 0, 1), kInvalidValue);
  EXPECT_NEAR(SalinityPss78(0.0, 15, 0, 0), 0.008, 1e-3);
  // A negative salinity (from a bad conductivity) has no S^1.5.
  EXPECT_EQ(SoundSpeedUnesco(-1, 0, 15), kInvalidValue);
  // The Garcia-Gordon temperature term has no logarithm at 298.15 degC and up.
  EXPECT_EQ(OxygenSaturationGarciaGordon(300, 35, 200), kInvalidValue);
}

TEST(SeawaterSalinityColumn, GivesExactlyTheRowByRowValues) {
  // The column path is what a long DataSet is recomputed with; any rounding
  // difference from the row function would make two results for one file.
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> c(-1.0f, 70.0f), t(-3.0f, 40.0f), p(-20.0f, 11000.0f);
  const size_t n = 4001;  // odd: the last row goes the scalar way
  std::vector<float> cond(n), temp(n), pres(n), out(n);
  for (size_t i = 0; i < n; ++i) {
    cond[i] = c(rng);
    temp[i] = t(rng);
    pres[i] = p(rng);
  }
  cond[1] = -1000.0f;
  temp[2] = static_cast<float>(kNaN);
  pres[3] = static_cast<float>(kNaN);
  temp[4] = -1000.0f;
  SalinityPss78Column(cond.data(), temp.data(), pres.data(), out.data(), n);
  for (size_t i = 0; i < n; ++i)
    ASSERT_EQ(out[i], static_cast<float>(SalinityPss78(cond[i], temp[i], pres[i], 0))) << i;
  for (size_t i : {1, 2, 3, 4}) EXPECT_EQ(out[i], kInvalidValue);
}

}  // namespace
}  // namespace tmv
