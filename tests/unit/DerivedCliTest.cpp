// tmv-cli seawater and limits, in-process; the --derived list parser.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "CliCommand.h"
#include "analysis/DerivedOption.h"
#include "analysis/SeawaterFormulas.h"
#include "files/DatFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class DerivedCliTest : public WorkDirectoryTest {
 protected:
  int Run(std::vector<std::string> words) {
    out.str({});
    err.str({});
    for (const auto& info : cli::CliCommands()) {
      if (info.name != words.front()) continue;
      cli::CliContext ctx{state, std::vector<std::string>(words.begin() + 1, words.end()), out, err, false};
      return info.run(ctx);
    }
    ADD_FAILURE() << "no command " << words.front();
    return -1;
  }
  double Value() { return std::stod(out.str()); }
  std::ostringstream out, err;
};

TEST_F(DerivedCliTest, SeawaterPrintsPublishedCheckValues) {
  // PSS-78: 42.914 mS/cm at 15 degC IPTS-68, no sea pressure.
  ASSERT_EQ(Run({"seawater", "salinity", "--conductivity", "42.914", "--temperature", "14.99640086", "--pressure", "0"}), 0)
      << err.str();
  EXPECT_NEAR(Value(), 35.0, 1e-4);
  // UNESCO 1983 depth check value: 10000 dBar at 30 degrees is 9712.653 m.
  ASSERT_EQ(Run({"seawater", "depth", "--pressure", "10000", "--latitude", "30"}), 0);
  EXPECT_NEAR(Value(), 9712.653, 1e-3);
  // UNESCO 44 check value of Chen-Millero: 1731.995 m/s at S 40, t68 40,
  // 10000 dBar sea pressure (the atmosphere added made it 1732.17).
  ASSERT_EQ(Run({"seawater", "sound", "--salinity", "40", "--temperature", "39.9904023", "--pressure", "10000"}), 0);
  EXPECT_NEAR(Value(), 1731.995, 0.01);
  // Del Grosso, documented example of a public acoustics library: 1470.8074947
  // m/s at S 35, 5 degC, 100 kPa gauge (10 dBar).
  ASSERT_EQ(Run({"seawater", "sound-delgrosso", "--salinity", "35", "--temperature", "5", "--pressure", "10"}), 0);
  EXPECT_NEAR(Value(), 1470.8074947, 1e-6);
  // Wilson takes the absolute pressure: the sea pressure and the standard atmosphere.
  ASSERT_EQ(Run({"seawater", "sound-wilson", "--salinity", "30", "--temperature", "0", "--pressure", "0"}), 0);
  EXPECT_NEAR(Value(), SoundSpeedWilson(30, 10.1325, 0), 1e-6);
  ASSERT_EQ(Run({"seawater", "density", "--salinity", "35", "--temperature", "0", "--pressure", "0"}), 0);
  EXPECT_NEAR(Value(), 28.106, 2e-3);  // EOS-80: rho(35, 0, 0) = 1028.106
  ASSERT_EQ(Run({"seawater", "oxygen", "--salinity", "35", "--temperature", "10", "--saturation", "100", "--unit", "mll"}), 0);
  EXPECT_NEAR(Value(), 6.3, 0.05);  // Weiss: about 6.3 ml/l at 10 degC, S 35
}

TEST_F(DerivedCliTest, SeawaterTakesEachFormulaByItsOwnName) {
  // The ratio Rt to standard seawater at the sample's temperature: Rt = 1 is S = 35
  // at any temperature, and a sample diluted by a tenth (Rt about 0.9) is fresher.
  for (const char* t : {"14.99640086", "24"}) {
    ASSERT_EQ(Run({"seawater", "conductivity-ratio", "--conductivity", "1", "--temperature", t, "--pressure", "0"}), 0)
        << err.str();
    EXPECT_NEAR(Value(), 35.0, 5e-4) << t;
  }
  ASSERT_EQ(Run({"seawater", "conductivity-ratio", "--conductivity", "0.9", "--temperature", "20", "--pressure", "0"}), 0);
  EXPECT_NEAR(Value(), 31.3, 0.2);
  // The formula's own names give what the short names give.
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> same = {
      {{"density-anomaly"}, {"density"}},
      {{"specific-conductivity"}, {"specific"}},
      {{"sound-unesco"}, {"sound"}},
      {{"sound-delgrosso"}, {"sound", "--unit", "delgrosso"}},
      {{"sound-wilson"}, {"sound", "--unit", "wilson"}},
      {{"oxygen-weiss", "--unit", "ml"}, {"oxygen", "--unit", "mll"}},
      {{"oxygen-garcia-gordon"}, {"optode-saturation"}},
  };
  const std::vector<std::string> inputs = {"--conductivity", "40", "--temperature", "12", "--pressure", "100",
                                           "--saturation", "90", "--concentration", "250"};
  for (const auto& [named, shortName] : same) {
    std::vector<std::string> a = {"seawater"}, b = {"seawater"};
    a.insert(a.end(), named.begin(), named.end());
    b.insert(b.end(), shortName.begin(), shortName.end());
    a.insert(a.end(), inputs.begin(), inputs.end());
    b.insert(b.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(Run(a), 0) << named[0] << ": " << err.str();
    const std::string first = out.str();
    ASSERT_EQ(Run(b), 0) << shortName[0] << ": " << err.str();
    EXPECT_EQ(first, out.str()) << named[0];
  }
  EXPECT_EQ(Run({"seawater", "sound-wilson", "--unit", "unesco", "--salinity", "35", "--temperature", "10", "--pressure",
                 "0"}),
            2);
}

TEST_F(DerivedCliTest, SeawaterRefusesBadInput) {
  const std::vector<std::vector<std::string>> bad = {
      {"seawater", "salinity", "--conductivity", "-1000", "--temperature", "10", "--pressure", "0"},
      {"seawater", "salinity", "--conductivity", "-3", "--temperature", "10", "--pressure", "0"},
      {"seawater", "depth", "--pressure", "-5"},
      {"seawater", "depth", "--pressure", "100", "--latitude", "91"},
      {"seawater", "salinity", "--conductivity", "forty", "--temperature", "10", "--pressure", "0"},
      {"seawater", "salinity", "--temperature", "10", "--pressure", "0"},
      {"seawater", "sound", "--salinity", "35", "--temperature", "10", "--pressure", "0", "--unit", "fast"},
      {"seawater", "viscosity", "--pressure", "0"},
  };
  for (const auto& words : bad) {
    EXPECT_EQ(Run(words), 2) << words[2] << " " << words[3];
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(err.str().empty());
  }
  // Outside the formula's range: a failure, not the marker printed as a value.
  EXPECT_EQ(Run({"seawater", "density", "--salinity", "50", "--temperature", "10", "--pressure", "0"}), 1);
  EXPECT_TRUE(out.str().empty());
  EXPECT_NE(err.str().find("salinity 50 is outside the range of the EOS-80 density (0 to 42)"), std::string::npos)
      << err.str();
  // Infinity was taken as a pressure.
  EXPECT_EQ(Run({"seawater", "depth", "--pressure", "inf"}), 2);
  EXPECT_EQ(Run({"seawater", "sound", "--salinity", "35", "--temperature", "10", "--pressure", "inf"}), 2);
  EXPECT_EQ(Run({"seawater", "depth", "--pressure", "10", "--latitude", "nan"}), 2);
}

TEST_F(DerivedCliTest, SeawaterRefusesEachFormulaOutsideItsPublishedRangeAndNamesIt) {
  // Each of these printed a number that looked like a result: PSS-78 371 at
  // 300 mS/cm, Chen-Millero 214 m/s at 200 degC, Weiss -1.26 ml/l at -20 %.
  const struct {
    std::vector<std::string> words;
    const char* message;
  } cases[] = {
      {{"salinity", "--conductivity", "300", "--temperature", "15", "--pressure", "0"},
       "is outside the range of the PSS-78 practical salinity (2 to 42)"},
      {{"salinity", "--conductivity", "40", "--temperature", "36", "--pressure", "0"},
       "temperature 36 degC is outside the range of the PSS-78 practical salinity (-2 to 35 degC)"},
      {{"sound", "--salinity", "35", "--temperature", "200", "--pressure", "0"},
       "temperature 200 degC is outside the range of the UNESCO (Chen-Millero) sound speed (0 to 40 degC)"},
      {{"sound", "--salinity", "35", "--temperature", "10", "--pressure", "10001"},
       "sea pressure 10001 dBar is outside the range of the UNESCO (Chen-Millero) sound speed (0 to 10000 dBar)"},
      {{"sound-delgrosso", "--salinity", "35", "--temperature", "10", "--pressure", "9807"},
       "sea pressure 9807 dBar is outside the range of the del Grosso sound speed (0 to 1000 kg/cm2, 0 to 9806.65 dBar)"},
      {{"sound-delgrosso", "--salinity", "29", "--temperature", "10", "--pressure", "0"},
       "salinity 29 is outside the range of the del Grosso sound speed (30 to 40)"},
      {{"sound-wilson", "--salinity", "38", "--temperature", "10", "--pressure", "0"},
       "salinity 38 is outside the range of the Wilson sound speed (0 to 37)"},
      {{"oxygen-weiss", "--salinity", "35", "--temperature", "10", "--saturation", "-20"},
       "saturation -20 % is outside the range of the Weiss oxygen solubility (at least 0 %)"},
      {{"oxygen-garcia-gordon", "--salinity", "35", "--temperature", "41", "--concentration", "200"},
       "temperature 41 degC is outside the range of the Garcia and Gordon oxygen solubility (-2 to 40 degC)"},
      // A salinity computed from readings is held to PSS-78 before it is used.
      {{"sound", "--conductivity", "300", "--temperature", "15", "--pressure", "0"},
       "is outside the range of the PSS-78 practical salinity (2 to 42)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"seawater"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    EXPECT_EQ(Run(words), 1) << c.words[0] << " " << out.str();
    EXPECT_TRUE(out.str().empty()) << c.words[0];
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  // The bounds themselves are inside: Wilson's 0.1 MPa absolute is the surface.
  EXPECT_EQ(Run({"seawater", "sound-delgrosso", "--salinity", "30", "--temperature", "30", "--pressure", "9806"}), 0) << err.str();
  EXPECT_EQ(Run({"seawater", "sound-wilson", "--salinity", "37", "--temperature", "-4", "--pressure", "0"}), 0) << err.str();
  EXPECT_EQ(Run({"seawater", "oxygen-weiss", "--salinity", "0", "--temperature", "40", "--saturation", "0"}), 0) << err.str();
}

TEST_F(DerivedCliTest, LimitsShowsSetsAndWritesTheFile) {
  ASSERT_EQ(Run({"limits"}), 0);
  EXPECT_NE(out.str().find("Speed of Sound"), std::string::npos);
  EXPECT_FALSE(FileExists(Path("tmv.lim")));
  ASSERT_EQ(Run({"limits", "--set", "SOS=1700,1400", "--set", "pressure=40,-2"}), 0) << err.str();
  EXPECT_NE(Read("tmv.lim").find("SOS=1700 1400\r\n"), std::string::npos);
  EXPECT_NE(Read("tmv.lim").find("Pressure=40 -2\r\n"), std::string::npos);
  for (const char* set : {"SOS=1,2", "Nothing=1,0", "SOS=a,1", "SOS=5"}) EXPECT_EQ(Run({"limits", "--set", set}), 2) << set;
  EXPECT_NE(Read("tmv.lim").find("SOS=1700 1400\r\n"), std::string::npos);
}

TEST_F(DerivedCliTest, ConvertWithDerivedAddsTheColumnsAndRefusesABadList) {
  MakeThreeChannelLogger(state);  // T, P, C
  state.logger.conductivityMilliSiemens = true;
  ImageBuilder b(48);
  for (int r = 0; r < 12; ++r) b.Word(0x700000).Word(0x210000 + 4096 * static_cast<uint32_t>(r)).Word(0x500000);
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  ASSERT_TRUE(WriteDatFile(state, Path("in.dat")));
  ASSERT_EQ(Run({"convert", Path("in.dat"), "-o", Path("out.dat"), "--derived", "depth:seawater,salinity,latitude=45"}), 0)
      << err.str();
  EXPECT_EQ(state.retrieval.data.totalChannelCount, 5);
  const std::string text = Read("out.dat");
  EXPECT_NE(text.find("(Seawater calculation)"), std::string::npos);
  EXPECT_NE(text.find("Latitude 45 degrees 0.000 minutes"), std::string::npos);
  EXPECT_EQ(Run({"convert", Path("in.dat"), "-o", Path("bad.dat"), "--derived", "depth,warp"}), 2);
  EXPECT_NE(err.str().find("warp"), std::string::npos);
  EXPECT_FALSE(FileExists(Path("bad.dat")));

  // The values as options of their own.
  ASSERT_EQ(Run({"convert", Path("in.dat"), "-o", Path("opt.dat"), "--derived", "depth:seawater,density-anomaly",
                 "--latitude", "30.5", "--atmospheric-pressure", "10.2"}),
            0)
      << err.str();
  EXPECT_NE(Read("opt.dat").find("Latitude 30 degrees 30.000 minutes"), std::string::npos);
  EXPECT_FLOAT_EQ(state.settings.derived.atmosphericPressure, 10.2f);
  EXPECT_TRUE(state.settings.derived.densityAnomalyEnabled);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--latitude", "91"}, {"--density", "heavy"}, {"--fixed-salinity", "35,salinity"}, {"--hydrostatic-pressure", "-1"}}) {
    EXPECT_EQ(Run({"convert", Path("in.dat"), "-o", Path("bad.dat"), "--derived", "depth", bad[0], bad[1]}), 2) << bad[0];
    EXPECT_NE(err.str().find(bad[0]), std::string::npos) << err.str();
    EXPECT_FALSE(FileExists(Path("bad.dat")));
  }
}

TEST(DerivedOption, AppliesWordsAndValuesOrLeavesTheSettingsAlone) {
  DerivedSettings s;
  EXPECT_EQ(ParseDerivedOption("depth:seawater, salinity,oxygen:mgl,sound:wilson,latitude=-45.5,atmospheric=10", s), "");
  EXPECT_TRUE(s.anyDerived && s.depthEnabled && s.depthSeawater && s.salinityEnabled && s.oxygenConcentrationEnabled);
  EXPECT_EQ(s.oxygenUnit, OxygenUnit::MgPerLitre);
  EXPECT_EQ(s.speedOfSoundFormula, SoundSpeedFormula::Wilson);
  EXPECT_EQ(s.latitudeDegrees, 45);
  EXPECT_FLOAT_EQ(s.latitudeMinutes, 30.0f);
  EXPECT_FLOAT_EQ(s.atmosphericPressure, 10.0f);
  const DerivedSettings before = s;
  for (const char* bad : {"depth,warp", "salinity,,depth", "oxygen:kg", "latitude=91", "atmospheric=low", "depth:deep",
                          "salinity:x"}) {
    EXPECT_NE(ParseDerivedOption(bad, s), "") << bad;
    EXPECT_EQ(s.salinityEnabled, before.salinityEnabled);
    EXPECT_EQ(s.latitudeDegrees, 45) << bad;
    EXPECT_FALSE(s.densityAnomalyEnabled);
  }
  EXPECT_EQ(ParseDerivedOption("none", s), "");
  EXPECT_FALSE(s.anyDerived || s.depthEnabled || s.salinityEnabled);

  // Each quantity by its full name, and the oxygen units by their short ones.
  EXPECT_EQ(ParseDerivedOption("corrected-conductivity,specific-conductivity,density-anomaly,"
                               "optode-concentration:ml,oxygen:mg,optode-saturation",
                               s),
            "");
  EXPECT_TRUE(s.conductivityCorrectionEnabled && s.specificConductivityEnabled && s.densityAnomalyEnabled &&
              s.optodeConcentrationEnabled && s.oxygenConcentrationEnabled && s.optodeSaturationEnabled);
  EXPECT_EQ(s.optodeUnit, OptodeUnit::MlPerLitre);
  EXPECT_EQ(s.oxygenUnit, OxygenUnit::MgPerLitre);
  EXPECT_FLOAT_EQ(s.atmosphericPressure, 10.0f);  // values stay
}

}  // namespace
}  // namespace tmv::test
