// The derived-units dialog, the real-time limits and tmv.lim, and the KZM depth guard.
#include <gtest/gtest.h>

#include "analysis/DerivedChannels.h"
#include "analysis/DerivedUnitsDialog.h"
#include "analysis/SeawaterFormulas.h"
#include "files/HexFile.h"
#include "files/SettingsFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

using D = DerivedUnitsDialog;

class DerivedUnitsDialogTest : public WorkDirectoryTest {};

TEST_F(DerivedUnitsDialogTest, EnablingRulesFollowTheBoxesAndFieldsNeededByAnyOptionStayEnabled) {
  D dialog(state);
  for (int c : {D::kHydrostaticPressure, D::kFixedSalinity, D::kFixedTemperature, D::kUnesco, D::kWeissUmol,
                D::kOptodeMgL, D::kLatitudeDegrees, D::kAtmosphericPressure, D::kSimplified})
    EXPECT_FALSE(dialog.Enabled(c)) << c;
  dialog.Click(D::kDepth);
  EXPECT_TRUE(dialog.Enabled(D::kLatitudeDegrees) && dialog.Enabled(D::kWaterDensity) && dialog.Enabled(D::kSeawater));

  // Density anomaly checks salinity too: the hydrostatic pressure and fixed salinity open.
  dialog.Click(D::kDensityAnomaly);
  EXPECT_TRUE(state.settings.derived.densityAnomalyEnabled);
  EXPECT_TRUE(dialog.Checked(D::kSalinity));
  EXPECT_TRUE(dialog.Enabled(D::kHydrostaticPressure));
  EXPECT_TRUE(dialog.Enabled(D::kFixedSalinity));
  EXPECT_FALSE(dialog.Enabled(D::kFixedTemperature));
  // Weiss needs fixed salinity too: unchecking density anomaly keeps it enabled.
  dialog.Click(D::kWeiss);
  dialog.Click(D::kDensityAnomaly);
  EXPECT_TRUE(dialog.Enabled(D::kFixedSalinity));
  EXPECT_TRUE(dialog.Enabled(D::kFixedTemperature));
  EXPECT_TRUE(dialog.Enabled(D::kWeissMgL));
  dialog.Click(D::kWeiss);
  EXPECT_FALSE(dialog.Enabled(D::kFixedSalinity));

  // A speed-of-sound radio checks its box and unchecks the other radios.
  dialog.Click(D::kSoundSpeed);
  EXPECT_TRUE(dialog.Checked(D::kUnesco));
  dialog.Click(D::kWilson);
  EXPECT_TRUE(dialog.Checked(D::kWilson));
  EXPECT_FALSE(dialog.Checked(D::kUnesco));
  dialog.Click(D::kSoundSpeed);
  EXPECT_FALSE(dialog.Enabled(D::kWilson));
  // A disabled radio cannot be clicked.
  dialog.Click(D::kUnesco);
  EXPECT_TRUE(dialog.Checked(D::kWilson));
  EXPECT_FALSE(dialog.Visible(D::kViewEquation));
}

TEST_F(DerivedUnitsDialogTest, FieldsLatitudeDefaultsAndCancel) {
  D dialog(state);
  EXPECT_EQ(dialog.FieldText(D::kAtmosphericPressure), "10.132500");
  EXPECT_EQ(dialog.FieldText(D::kHydrostaticPressure), "0.00");
  dialog.Click(D::kDepth);
  dialog.SetFieldText(D::kAtmosphericPressure, "12");
  dialog.Click(D::kAtmosphericDefault);
  EXPECT_EQ(dialog.FieldText(D::kAtmosphericPressure), "10.1325");
  dialog.SetFieldText(D::kWaterDensity, "1.1");
  dialog.Click(D::kDensityDefault);
  EXPECT_EQ(dialog.FieldText(D::kWaterDensity), "1.0281");
  // Latitude is stored as typed; a sign, text or a number past 90 gives 0 degrees.
  dialog.SetFieldText(D::kLatitudeDegrees, "45");
  dialog.SetFieldText(D::kLatitudeMinutes, "30.5");
  EXPECT_EQ(state.settings.derived.latitudeDegrees, 45);
  EXPECT_FLOAT_EQ(state.settings.derived.latitudeMinutes, 30.5f);
  for (const char* bad : {"-45", "abc", "91", "4x"}) {
    dialog.SetFieldText(D::kLatitudeDegrees, bad);
    EXPECT_EQ(state.settings.derived.latitudeDegrees, 0) << bad;
  }
  dialog.SetFieldText(D::kLatitudeMinutes, "x");
  EXPECT_FLOAT_EQ(state.settings.derived.latitudeMinutes, 30.5f);
  // Cancel: the clicks stay, the boxes set only on OK do not, nothing is written.
  dialog.Click(D::kSalinity);
  dialog.Cancel();
  EXPECT_TRUE(state.settings.derived.salinityEnabled);
  EXPECT_FALSE(state.settings.derived.depthEnabled);
  EXPECT_FALSE(FileExists(Path("tmv.ini")));
}

TEST_F(DerivedUnitsDialogTest, OkStoresSavesAndRecomputesHeldData) {
  MakeThreeChannelLogger(state);  // T, P, C
  state.logger.conductivityMilliSiemens = true;
  ImageBuilder b(48);
  for (int r = 0; r < 20; ++r) b.Word(0x700000).Word(0x210000 + 4096 * static_cast<uint32_t>(r)).Word(0x500000);
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  state.shell.dataRetrieved = true;
  ASSERT_EQ(state.retrieval.data.totalChannelCount, 3);
  int refreshed = 0;
  state.analysis.refreshGraph = [&] { ++refreshed; };

  D dialog(state);
  dialog.Click(D::kDepth);
  dialog.Click(D::kSeawater);
  dialog.Click(D::kSoundSpeed);
  dialog.SetFieldText(D::kAtmosphericPressure, "10.0");
  dialog.SetFieldText(D::kWaterDensity, "heavy");  // not a number: the setting stays
  dialog.SetFieldText(D::kFixedSalinity, "1e99");  // too large for the setting: stays
  EXPECT_EQ(dialog.Ok(), 1);
  const DerivedSettings& s = state.settings.derived;
  EXPECT_TRUE(s.anyDerived && s.depthEnabled && s.depthSeawater && s.speedOfSoundEnabled);
  EXPECT_FLOAT_EQ(s.atmosphericPressure, 10.0f);
  EXPECT_FLOAT_EQ(s.waterDensity, 1.0281f);
  EXPECT_FLOAT_EQ(s.fixedSalinity, 35.0f);
  EXPECT_NE(Read("tmv.ini").find("Depth Seawater=ON"), std::string::npos);
  const DataSet& d = state.retrieval.data;
  ASSERT_EQ(d.totalChannelCount, 5);
  EXPECT_EQ(d.columnCodes[3], kDepthCode);
  EXPECT_EQ(d.columnCodes[4], kSoundSpeedUnescoCode);
  EXPECT_NEAR(d.Value(3, 7), DepthFromPressure(s, d.Value(1, 7)), 1e-3);
  EXPECT_EQ(refreshed, 1);

  // Optode saturation alone counts as a derived unit.
  D again(state);
  for (int c : {D::kDepth, D::kSoundSpeed, D::kOptodeSaturation}) again.Click(c);
  again.Ok();
  EXPECT_TRUE(state.settings.derived.anyDerived);
  EXPECT_EQ(state.retrieval.data.totalChannelCount, 3);  // no Optode channel
}

TEST_F(DerivedUnitsDialogTest, KzmHexFileWithoutDepthIsReadAgainAfterOkWithDepth) {
  Write("k.hex", "TMV KZM-5170  1.00 000123\r\n");
  const Outcome refused = ReadHexFile(state, 0, Path("k.hex"));
  EXPECT_EQ(refused.kind, OutcomeKind::Refused);
  EXPECT_NE(OutcomeText(refused).find("'Depth' has to be selected"), std::string::npos);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(state.analysis.pendingKzmAction, kKzmReadHexFile);
  {  // OK with depth still off resumes nothing.
    D dialog(state);
    dialog.Ok();
    EXPECT_TRUE(dialog.hexFileToRead.empty());
  }
  KzmNeedsDepth(state, kKzmReadHexFile, Path("k.hex"));
  D dialog(state);
  dialog.Click(D::kDepth);
  dialog.Ok();
  // The file is handed back to be read now that depth is on.
  EXPECT_EQ(dialog.hexFileToRead, Path("k.hex"));
  EXPECT_EQ(state.analysis.pendingKzmAction, kKzmNone);

  std::vector<int> posted;
  state.analysis.postCommand = [&](int c) { posted.push_back(c); };
  KzmNeedsDepth(state, kKzmRetrieve);
  D(state).Ok();
  EXPECT_EQ(posted, (std::vector<int>{110}));
}

TEST_F(DerivedUnitsDialogTest, LimitsArrowsDragTheOtherBoundAndTheFileRoundTrips) {
  LimitsDialog dialog(state);
  EXPECT_EQ(dialog.MaxText(), "35");
  EXPECT_EQ(dialog.MinText(), "-5");
  dialog.Select(6);
  dialog.SetMaxText("10");
  dialog.SetMinText("5");
  dialog.SetMinText("five");
  for (int i = 0; i < 6; ++i) dialog.StepMax(false);
  EXPECT_EQ(dialog.MaxText(), "4");
  EXPECT_EQ(dialog.MinText(), "4");
  for (int i = 0; i < 3; ++i) dialog.StepMin(true);
  EXPECT_EQ(dialog.MaxText(), "7");
  dialog.Cancel();
  EXPECT_EQ(state.analysis.limits[6].maximum, 7);  // stays in effect, not written
  EXPECT_FALSE(FileExists(Path("tmv.lim")));
  ASSERT_TRUE(dialog.Ok());
  const std::string text = Read("tmv.lim");
  EXPECT_EQ(text.rfind("Temperature=35 -5\r\nPressure=30 0\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Turbidity=7 7\r\nPAR="), std::string::npos);
  EXPECT_NE(text.find("DerivedO2=0 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("SOS=1600 1500\r\n"), std::string::npos);

  state.analysis.limits = DefaultRealTimeLimits();
  LoadRealTimeLimits(state);
  EXPECT_EQ(state.analysis.limits[6].maximum, 7);
  EXPECT_EQ(state.analysis.limits[6].minimum, 7);

  // Missing and junk lines keep what was there; DissolvedO2 is category 3, not DerivedO2's.
  RealTimeLimits l = DefaultRealTimeLimits();
  ParseRealTimeLimitsText("Pressure=40 -2\nDissolvedO2=80 10\nSalinity\nDepth=abc 3\nSOS=1700\nPAR 9 9\n"
                          "\x01\x02\xff junk\n" + std::string(200, 'x') + "Temperature=1 1\n",
                          l);
  EXPECT_EQ(l[1].maximum, 40);
  EXPECT_EQ(l[1].minimum, -2);
  EXPECT_EQ(l[3].maximum, 80);
  EXPECT_EQ(l[19].maximum, 0);
  EXPECT_EQ(l[13].maximum, 60);
  EXPECT_EQ(l[12].maximum, 150);
  EXPECT_EQ(l[14].maximum, 1600);
  EXPECT_EQ(l[7].maximum, 10000);
  EXPECT_EQ(l[0].maximum, 35);
  // A missing file leaves the defaults.
  std::filesystem::remove(Path("tmv.lim"));
  state.analysis.limits = DefaultRealTimeLimits();
  LoadRealTimeLimits(state);
  EXPECT_EQ(state.analysis.limits[6].maximum, 2500);
}

}  // namespace
}  // namespace tmv::test
