// The derived columns: which, in what order, their values, the invalid
// marker and the column ranges; through decoding and the DAT file.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/DerivedChannels.h"
#include "analysis/SeawaterFormulas.h"
#include "files/DatFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

// A DataSet of the given measured channel types and rows, all readings set by `fill`.
DataSet Held(const std::string& types, int rows) {
  DataSet d;
  d.channelCount = static_cast<int>(types.size());
  d.totalChannelCount = d.channelCount;
  for (size_t c = 0; c < types.size(); ++c) d.channelTypes[c] = d.columnCodes[c] = static_cast<uint8_t>(types[c]);
  d.LayOut(d.channelCount, rows);
  d.sampleCount = rows;
  return d;
}

DerivedSettings Everything() {
  DerivedSettings s;
  s.anyDerived = s.depthEnabled = s.salinityEnabled = s.conductivityCorrectionEnabled = true;
  s.specificConductivityEnabled = s.densityAnomalyEnabled = s.oxygenConcentrationEnabled = true;
  s.optodeConcentrationEnabled = s.optodeSaturationEnabled = s.speedOfSoundEnabled = true;
  return s;
}

std::vector<int> DerivedCodes(const DataSet& d) {
  std::vector<int> codes;
  for (int c = d.channelCount; c < d.totalChannelCount; ++c) codes.push_back(d.columnCodes[static_cast<size_t>(c)]);
  return codes;
}

TEST(DerivedColumnOrder, FollowsTheTableForEachMixOfChannels) {
  const DerivedSettings all = Everything();
  {
    DataSet d = Held("TPCDJ", 4);
    EXPECT_EQ(AppendDerivedColumns(d, all), 9);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{133, 'S', 135, 's', 'X', 'u', 134, 131, 132}));
    EXPECT_EQ(d.totalChannelCount, 14);
  }
  {  // Pressure without conductivity: no salinity family even when chosen; density anomaly stays.
    DataSet d = Held("PT", 4);
    AppendDerivedColumns(d, all);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{133, 134}));
  }
  {  // Saturation without conductivity still gets its Weiss column in the same place.
    DataSet d = Held("KV", 4);
    AppendDerivedColumns(d, all);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{'X'}));
  }
  {  // The first channel of a role counts; 'L' and 'D' fill roles too; the chosen formula codes the speed.
    DerivedSettings s = all;
    s.speedOfSoundFormula = SoundSpeedFormula::Wilson;
    s.depthEnabled = false;
    DataSet d = Held("LCTPD", 4);
    AppendDerivedColumns(d, s);
    EXPECT_EQ(FindDerivedRoles(d).pressure, 0);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{'S', 135, 's', 'X', 'W', 134}));
  }
  {  // A wave logger's two wave columns come after the density anomaly.
    DataSet d = Held("TP", 4);
    d.burstLength = 16;
    AppendDerivedColumns(d, all);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{133, 134, 129, 130}));
  }
  {  // Nothing chosen: the measured columns only, and a rebuild forgets earlier derived ones.
    DataSet d = Held("TPC", 4);
    AppendDerivedColumns(d, all);
    DerivedSettings none;
    EXPECT_EQ(AppendDerivedColumns(d, none), 0);
    EXPECT_EQ(d.totalChannelCount, 3);
    EXPECT_TRUE(DerivedCodes(d).empty());
  }
  {  // Columns past 32 are left out rather than overrunning the table.
    DataSet d = Held(std::string(20, 'V') + "TPCJ", 4);
    EXPECT_EQ(AppendDerivedColumns(d, all), 8);
    EXPECT_EQ(d.totalChannelCount, 32);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{133, 'S', 135, 's', 'u', 134, 131, 132}));
    d.burstLength = 8;  // the wave pair fits and the Optode columns after it do not
    AppendDerivedColumns(d, all);
    EXPECT_EQ(DerivedCodes(d), (std::vector<int>{133, 'S', 135, 's', 'u', 134, 129, 130}));
    DataSet e = Held(std::string(19, 'V') + "TPCDJ", 4);
    e.burstLength = 8;  // one slot left: the wave pair is not split, and the columns after it stay out
    AppendDerivedColumns(e, all);
    EXPECT_EQ(DerivedCodes(e), (std::vector<int>{133, 'S', 135, 's', 'X', 'u', 134}));
  }
}

TEST(DerivedValues, InvalidReadingsGiveTheMarkerAndStayOutOfTheRange) {
  DerivedSettings s;
  s.anyDerived = s.depthEnabled = true;
  s.atmosphericPressure = 10.0f;
  s.waterDensity = 1.0f;
  DataSet d = Held("P", 4);
  const float pressures[] = {-1000.0f, -999.9f, 20.0f, std::nanf("")};
  for (int r = 0; r < 4; ++r) d.Column(0)[r] = pressures[r];
  AppendDerivedColumns(d, s);
  DerivedInputs in;
  in.settings = s;
  ComputeDerivedValues(in, d);
  const int depth = FindDerivedColumns(d).depth;
  ASSERT_EQ(depth, 1);
  EXPECT_EQ(d.Value(depth, 0), kInvalidValue);
  // -999.9 is a reading: its depth is computed, and being below the marker stays out of the range.
  EXPECT_NEAR(d.Value(depth, 1), (-999.9 - 10.0) / 0.980665, 1e-3);
  EXPECT_NEAR(d.Value(depth, 2), 10.0 / 0.980665, 1e-4);
  EXPECT_EQ(d.Value(depth, 3), kInvalidValue);
  EXPECT_FLOAT_EQ(d.Minimum(depth), d.Value(depth, 2));
  EXPECT_FLOAT_EQ(d.Maximum(depth), d.Value(depth, 2));

  // A whole column of markers leaves the starting range alone.
  for (int r = 0; r < 4; ++r) d.Column(0)[r] = kInvalidValue;
  ComputeDerivedValues(in, d);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(d.Value(depth, r), kInvalidValue);
  EXPECT_EQ(d.Minimum(depth), kDerivedMinimumStart);
  EXPECT_EQ(d.Maximum(depth), kDerivedMaximumStart);
}

// A seawater-like set of rows with a few invalid readings sprinkled in.
DataSet Ctd(int rows) {
  DataSet d = Held("TPCDJ", rows);
  for (int r = 0; r < rows; ++r) {
    d.Column(0)[r] = 2.0f + 0.01f * static_cast<float>(r % 2000);
    d.Column(1)[r] = 10.1325f + 0.5f * static_cast<float>(r % 900);
    d.Column(2)[r] = 30.0f + 0.003f * static_cast<float>(r % 5000);
    d.Column(3)[r] = 80.0f + 0.01f * static_cast<float>(r % 1000);
    d.Column(4)[r] = 250.0f;
  }
  d.Column(0)[5] = kInvalidValue;
  d.Column(1)[6] = kInvalidValue;
  d.Column(2)[7] = std::nanf("");
  d.Column(3)[8] = -1200.0f;
  return d;
}

TEST(DerivedValues, WholeColumnPathMatchesRowByRow) {
  DerivedInputs in;
  in.settings = Everything();
  in.correction = {0.01, 0.0, 15.0, 1e-6};
  for (const SoundSpeedFormula f : {SoundSpeedFormula::Unesco, SoundSpeedFormula::DelGrosso, SoundSpeedFormula::Wilson}) {
    in.settings.speedOfSoundFormula = f;
    DataSet whole = Ctd(5003);  // odd, past one block
    AppendDerivedColumns(whole, in.settings);
    DataSet rows = whole;
    ComputeDerivedValues(in, whole);
    for (int r = 0; r < rows.sampleCount; ++r) ComputeDerivedSample(in, rows, r);
    for (int c = rows.channelCount; c < rows.totalChannelCount; ++c)
      for (int r = 0; r < rows.sampleCount + 2; ++r) {
        ASSERT_EQ(whole.Value(c, r), rows.Value(c, r)) << "column " << c << " row " << r;
        ASSERT_EQ(whole.OutsideFormulaRange(c, r), rows.OutsideFormulaRange(c, r)) << "column " << c << " row " << r;
      }
    // The invalid readings reach the columns that use them.
    const DerivedColumns cols = FindDerivedColumns(whole);
    EXPECT_EQ(whole.Value(cols.salinity, 5), kInvalidValue);
    EXPECT_EQ(whole.Value(cols.depth, 6), kInvalidValue);
    EXPECT_EQ(whole.Value(cols.salinity, 6), kInvalidValue);
    EXPECT_EQ(whole.Value(cols.soundSpeed, 7), kInvalidValue);
    EXPECT_EQ(whole.Value(cols.oxygenConcentration, 8), kInvalidValue);
    EXPECT_NE(whole.Value(cols.salinity, 8), kInvalidValue);
    for (int c = whole.channelCount; c < whole.totalChannelCount; ++c) EXPECT_GT(whole.Minimum(c), kInvalidValue) << c;
  }
}

TEST(DerivedValues, SalinityInputsFollowTheChannelUnitAndPressureRules) {
  // 42.914 mS/cm at 15 degC (IPTS-68) and no sea pressure is salinity 35.
  DerivedInputs in;
  in.settings.anyDerived = in.settings.salinityEnabled = in.settings.specificConductivityEnabled = true;
  DataSet d = Held("TPC", 1);
  d.Column(0)[0] = static_cast<float>(15.0 / 1.00024);
  d.Column(1)[0] = in.settings.atmosphericPressure;
  d.Column(2)[0] = 42.914f;
  AppendDerivedColumns(d, in.settings);
  ComputeDerivedValues(in, d);
  const DerivedColumns cols = FindDerivedColumns(d);
  EXPECT_NEAR(d.Value(cols.salinity, 0), 35.0, 2e-4);

  // The same in uS/cm: salinity divides, specific conductivity keeps the unit.
  d.Column(2)[0] = 42914.0f;
  in.conductivityMilliSiemens = false;
  ComputeDerivedValues(in, d);
  EXPECT_NEAR(d.Value(cols.salinity, 0), 35.0, 2e-4);
  EXPECT_NEAR(d.Value(cols.specificConductivity, 0), SpecificConductivity(42914.0, 15.0 / 1.00024), 0.01);

  // Without a pressure channel the hydrostatic pressure is the sea pressure.
  DataSet e = Held("TC", 1);
  e.Column(0)[0] = 10.0f;
  e.Column(1)[0] = 40.0f;
  in.conductivityMilliSiemens = true;
  in.settings.hydrostaticPressure = 500.0f;
  AppendDerivedColumns(e, in.settings);
  ComputeDerivedValues(in, e);
  EXPECT_FLOAT_EQ(e.Value(FindDerivedColumns(e).salinity, 0), static_cast<float>(SalinityPss78(40.0, 10.0, 500.0, 0)));
}

TEST(DerivedValues, SoundSpeedTakesTheSeaPressureExceptWilsonsAndDensityTheMeasuredSalinity) {
  // Chen-Millero and del Grosso were fitted on the applied (sea) pressure,
  // Wilson on the absolute one. Given the reading with the atmosphere in,
  // every UNESCO value came out 0.15-0.23 m/s high.
  DerivedInputs in;
  in.settings.anyDerived = in.settings.speedOfSoundEnabled = in.settings.densityAnomalyEnabled = true;
  const float reading = 5010.1325f;
  const double atmosphere = in.settings.atmosphericPressure;
  const double sea = static_cast<double>(reading) - atmosphere;
  const double s = static_cast<float>(SalinityPss78(40.0, 10.0, static_cast<float>(sea), 0));
  const struct {
    SoundSpeedFormula formula;
    double expected;
  } cases[] = {{SoundSpeedFormula::Unesco, SoundSpeedUnesco(s, sea, 10.0)},
               {SoundSpeedFormula::DelGrosso, SoundSpeedDelGrosso(s, sea, 10.0)},
               {SoundSpeedFormula::Wilson, SoundSpeedWilson(s, reading, 10.0)}};
  for (const auto& c : cases) {
    in.settings.speedOfSoundFormula = c.formula;
    DataSet d = Held("TPC", 1);
    d.Column(0)[0] = 10.0f;
    d.Column(1)[0] = reading;
    d.Column(2)[0] = 40.0f;
    AppendDerivedColumns(d, in.settings);
    ComputeDerivedValues(in, d);
    const DerivedColumns cols = FindDerivedColumns(d);
    EXPECT_FLOAT_EQ(d.Value(cols.soundSpeed, 0), static_cast<float>(c.expected)) << static_cast<int>(c.formula);
    // No salinity column is shown, yet the measured salinity (not the fixed 35) gives the density.
    EXPECT_FLOAT_EQ(d.Value(cols.densityAnomaly, 0), static_cast<float>(DensityAnomaly(s, 10.0, sea)));
  }
  // Without a pressure channel the hydrostatic pressure is the sea pressure,
  // as it is for salinity; Wilson adds the atmosphere to it.
  in.settings.hydrostaticPressure = 1000.0f;
  for (const SoundSpeedFormula f : {SoundSpeedFormula::Unesco, SoundSpeedFormula::Wilson}) {
    in.settings.speedOfSoundFormula = f;
    DataSet e = Held("TC", 1);
    e.Column(0)[0] = 10.0f;
    e.Column(1)[0] = 40.0f;
    AppendDerivedColumns(e, in.settings);
    ComputeDerivedValues(in, e);
    const double se = static_cast<float>(SalinityPss78(40.0, 10.0, 1000.0, 0));
    const double expected = f == SoundSpeedFormula::Unesco ? SoundSpeedUnesco(se, 1000.0, 10.0)
                                                           : SoundSpeedWilson(se, 1000.0 + atmosphere, 10.0);
    EXPECT_FLOAT_EQ(e.Value(FindDerivedColumns(e).soundSpeed, 0), static_cast<float>(expected));
  }
}

TEST(DerivedValues, ValuesOutsideTheirFormulasRangeAreKeptAndMarked) {
  // PSS-78 gives 371 at 300 mS/cm, Weiss -1.26 ml/l at -20 % saturation:
  // numbers that look like results. They stay in the column (the DAT file
  // and those who compare it keep the values) and are marked, and what is
  // computed from such a salinity is marked too.
  DerivedInputs in;
  in.settings = Everything();
  in.settings.conductivityCorrectionEnabled = in.settings.depthEnabled = false;
  in.settings.oxygenUnit = OxygenUnit::MlPerLitre;
  DataSet d = Held("TPCD", 4);
  const float rows[4][4] = {{10.0f, 110.1325f, 40.0f, 90.0f},    // all within
                            {15.0f, 10.1325f, 300.0f, 90.0f},    // salinity about 371
                            {10.0f, 110.1325f, 40.0f, -20.0f},   // negative saturation
                            {10.0f, 110.1325f, 40.0f, kInvalidValue}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d.Column(c)[r] = rows[r][c];
  AppendDerivedColumns(d, in.settings);
  for (const SoundSpeedFormula f : {SoundSpeedFormula::Unesco, SoundSpeedFormula::DelGrosso, SoundSpeedFormula::Wilson}) {
    in.settings.speedOfSoundFormula = f;
    ComputeDerivedValues(in, d);
    const DerivedColumns cols = FindDerivedColumns(d);
    for (int c = d.channelCount; c < d.totalChannelCount; ++c) {
      EXPECT_FALSE(d.OutsideFormulaRange(c, 0)) << c;
      EXPECT_EQ(ValueQuality(d, c, 0), kQualityGood) << c;
    }
    EXPECT_NEAR(d.Value(cols.salinity, 1), SalinityPss78(300.0, 15.0, 0.0, 0), 0.01);
    EXPECT_GT(d.Value(cols.salinity, 1), 300.0f);
    for (int c : {cols.salinity, cols.soundSpeed, cols.oxygenConcentration}) {
      EXPECT_TRUE(d.OutsideFormulaRange(c, 1)) << c;
      EXPECT_EQ(ValueQuality(d, c, 1), kQualityOutsideRange) << c;
    }
    EXPECT_FALSE(d.OutsideFormulaRange(cols.specificConductivity, 1));  // no published range
    EXPECT_EQ(d.Value(cols.densityAnomaly, 1), kInvalidValue);            // EOS-80 refuses its own
    EXPECT_EQ(ValueQuality(d, cols.densityAnomaly, 1), kQualityMissing);
    EXPECT_NEAR(d.Value(cols.oxygenConcentration, 2), -0.2 * OxygenConcentrationWeiss(10, d.Value(cols.salinity, 2), 100, OxygenUnit::MlPerLitre), 1e-5);
    EXPECT_TRUE(d.OutsideFormulaRange(cols.oxygenConcentration, 2));
    EXPECT_FALSE(d.OutsideFormulaRange(cols.salinity, 2));
    EXPECT_EQ(ValueQuality(d, cols.oxygenConcentration, 3), kQualityMissing);
    // A marked value still counts in the column's range, as the files show it.
    EXPECT_GE(d.Maximum(cols.salinity), d.Value(cols.salinity, 1));
    for (int c = 0; c < d.channelCount; ++c) EXPECT_FALSE(d.OutsideFormulaRange(c, 1));
  }
  // A sound speed of a formula with a narrower range: del Grosso's 30-40 PSU
  // marks a fresh sample the UNESCO formula takes.
  DataSet e = Held("TPC", 1);
  e.Column(0)[0] = 10.0f;
  e.Column(1)[0] = 110.1325f;
  e.Column(2)[0] = 20.0f;  // about 16 PSU
  in.settings.speedOfSoundFormula = SoundSpeedFormula::DelGrosso;
  AppendDerivedColumns(e, in.settings);
  ComputeDerivedValues(in, e);
  EXPECT_TRUE(e.OutsideFormulaRange(FindDerivedColumns(e).soundSpeed, 0));
  in.settings.speedOfSoundFormula = SoundSpeedFormula::Unesco;
  AppendDerivedColumns(e, in.settings);
  ComputeDerivedValues(in, e);
  EXPECT_FALSE(e.OutsideFormulaRange(FindDerivedColumns(e).soundSpeed, 0));
  // At the surface on a low-pressure day the reading lies a little below the
  // set atmosphere: that is the surface, not outside; 5 dBar below is not.
  e.Column(1)[0] = 9.8f;
  ComputeDerivedValues(in, e);
  EXPECT_FALSE(e.OutsideFormulaRange(FindDerivedColumns(e).salinity, 0));
  EXPECT_FALSE(e.OutsideFormulaRange(FindDerivedColumns(e).soundSpeed, 0));
  e.Column(1)[0] = 5.0f;
  ComputeDerivedValues(in, e);
  EXPECT_TRUE(e.OutsideFormulaRange(FindDerivedColumns(e).salinity, 0));
}

class DerivedStateTest : public WorkDirectoryTest {
 protected:
  DerivedStateTest() {
    MakeThreeChannelLogger(state);  // T, P, C
    state.logger.conductivityMilliSiemens = true;
    state.directories.dat = dir;
    state.directories.hexOutput = dir;
  }
  void Retrieve(int rows) {
    ImageBuilder b(48);
    for (int r = 0; r < rows; ++r)
      b.Word(0x700000 + 512 * static_cast<uint32_t>(r)).Word(0x210000 + 4096 * static_cast<uint32_t>(r)).Word(0x500000);
    b.Into(state.retrieval.image);
    DecodeSampleStream(state, true);
  }
};

TEST_F(DerivedStateTest, DecodingAddsTheColumnsAndTheDatFileCarriesThem) {
  DerivedSettings& s = state.settings.derived;
  s.anyDerived = s.depthEnabled = s.salinityEnabled = s.densityAnomalyEnabled = true;
  Retrieve(30);
  DataSet& d = state.retrieval.data;
  ASSERT_EQ(DerivedCodes(d), (std::vector<int>{133, 'S', 134}));
  const float depth = d.Value(3, 10);
  EXPECT_NEAR(depth, DepthFromPressure(s, d.Value(1, 10)), 1e-3);

  const std::string text = DatFileText(state);
  EXPECT_NE(text.find("     Temp "), std::string::npos);
  EXPECT_NE(text.find("Depth"), std::string::npos);
  EXPECT_NE(text.find("Atmospheric pressure 10.132500 dBar"), std::string::npos);
  ASSERT_TRUE(WriteDatFile(state, Path("d.dat")));
  const DataSet before = d;
  MakeThreeChannelLogger(state);
  ASSERT_EQ(ReadDatFile(state, 0, Path("d.dat")), Outcome::Done());
  EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
  ASSERT_EQ(d.channelCount, 3);
  ASSERT_EQ(DerivedCodes(d), (std::vector<int>{133, 'S', 134}));
  ASSERT_EQ(d.sampleCount, before.sampleCount);
  for (int c = 3; c < 6; ++c)
    for (int r = 0; r < d.sampleCount; ++r) ASSERT_NEAR(d.Value(c, r), before.Value(c, r), 0.002) << c << " " << r;
}

TEST_F(DerivedStateTest, CorrectedConductivityConvertsAnOldBOnceWithAMessage) {
  DerivedSettings& s = state.settings.derived;
  s.anyDerived = s.conductivityCorrectionEnabled = true;
  state.calibration.conductivityCorrection = {0.0, 1.0, 0.0, 0.0};
  Retrieve(5);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "Conductivity Correction Equation Change");
  EXPECT_EQ(state.calibration.conductivityCorrection.b, 0.0);
  Retrieve(5);
  EXPECT_EQ(ui.boxes.size(), 1u);
  state.calibration.conductivityCorrection.b = 0.999;
  Retrieve(5);
  EXPECT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(state.calibration.conductivityCorrection.b, 0.999);
}

}  // namespace
}  // namespace tmv::test
