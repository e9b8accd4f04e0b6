// The micro-salinometer: averaging, settling, standardisation arithmetic, the
// capture file, and the instrument through the emulated VL-840.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/SeawaterFormulas.h"
#include "microsal/MicroSalinometer.h"
#include "model/KnowLogger.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

std::array<double, kSalSeriesCount> Sample(double s) { return {0.4, 20.0, 0.4, 1.0, s}; }

TEST(MicroSalAveraging, FieldIsClampedToOneToSixtySeconds) {
  MicroSalState m;
  SetMicroSalAveraging(m, 0);
  EXPECT_EQ(m.averagingSeconds, 1);
  EXPECT_EQ(m.window, 6);
  SetMicroSalAveraging(m, 75);
  EXPECT_EQ(m.averagingSeconds, 60);
  EXPECT_EQ(m.window, 360);
}

TEST(MicroSalAveraging, ShorterWindowKeepsOnlyTheNewestSamples) {
  MicroSalState m;
  SetMicroSalAveraging(m, 2);  // 12 samples
  for (int i = 0; i < 12; ++i) AddMicroSalSample(m, Sample(i));
  EXPECT_EQ(m.sampleCount, 12);
  EXPECT_DOUBLE_EQ(m.averages[kSalS], 5.5);
  SetMicroSalAveraging(m, 1);  // 6 samples
  AddMicroSalSample(m, Sample(12));
  EXPECT_EQ(m.sampleCount, 6);
  EXPECT_DOUBLE_EQ(m.averages[kSalS], (7 + 8 + 9 + 10 + 11 + 12) / 6.0);
}

TEST(MicroSalSettling, SettledBelowOneThousandthOnlyWithAFullHistory) {
  // Alternating values give a known sample standard deviation.
  auto run = [](double sd) {
    MicroSalState m;
    SetMicroSalAveraging(m, 1);  // window 6
    m.moreInformation = true;
    // Once the series window is full each mean alternates by +-d around 35.
    const double d = sd * std::sqrt(5.0 / 6.0);
    for (int i = 0; i < 6; ++i) AddMicroSalSample(m, Sample(35.0));
    m.history.clear();
    for (int i = 0; i < 6; ++i) m.history.push_back(35.0 + (i % 2 ? d : -d));
    m.historyFull = true;
    EXPECT_NEAR(HistoryStandardDeviation(m.history), sd, 1e-9);
    // The boundary itself, free of the last bit of rounding.
    m.standardDeviation = sd;
    m.settled = m.historyFull && m.standardDeviation < 0.001;
    return m;
  };
  MicroSalState settled = run(0.0009);
  EXPECT_TRUE(settled.settled);
  EXPECT_NE(MicroSalInformationText(settled).find("SETTLED"), std::string::npos);
  MicroSalState settling = run(0.001);
  EXPECT_FALSE(settling.settled);
  EXPECT_NE(MicroSalInformationText(settling).find("SETTLING"), std::string::npos);

  // A steady reading is not settled until its history is full.
  MicroSalState m;
  SetMicroSalAveraging(m, 1);
  for (int i = 0; i < 5; ++i) AddMicroSalSample(m, Sample(35.0));
  EXPECT_FALSE(m.settled);
  EXPECT_NE(m.text.find("\t(1 second averages)\n"), std::string::npos);
  AddMicroSalSample(m, Sample(35.0));
  EXPECT_TRUE(m.settled);
}

TEST(MicroSalStandardisation, AlphaFromTheCapturedReadings) {
  EXPECT_NEAR(StandardisationAlpha(1.0, 0.0, 0.0, 0.6, 0.5), 1.2, 1e-12);
  MicroSalState m;
  m.k15 = 1.0;
  m.vStandard0 = 0.0;
  m.vSample0 = 0.0;
  m.averages[kSalA] = 0.5;
  m.averages[kSalB] = 0.6;
  CaptureStandardisation(m, 2);
  EXPECT_NEAR(m.alpha, 1.2, 1e-12);
  EXPECT_TRUE(StandardisationProblem(m).empty());
}

TEST(MicroSalStandardisation, ImpossibleStandardIsRefused) {
  MicroSalState m;
  m.vSample1 = 0.5;
  m.vStandard1 = 0.6;
  m.k15 = 1.5;
  EXPECT_FALSE(StandardisationProblem(m).empty());
  m.k15 = 0.99986;
  m.vSample1 = m.vSample0;  // alpha would divide by zero
  EXPECT_FALSE(StandardisationProblem(m).empty());
}

TEST(MicroSalStandardisation, TableSixRoundTrips) {
  const auto t = EncodeStandardisationTable(0.61, 0.52, 0.99986, "P152");
  EXPECT_EQ(t[0], 1);
  EXPECT_EQ(t[25], 'P');
  EXPECT_EQ(t[29], 0);
  MicroSalState m;
  ASSERT_TRUE(DecodeStandardisationTable(t.data(), t.size(), m));
  EXPECT_DOUBLE_EQ(m.storedStandard1, 0.61);
  EXPECT_DOUBLE_EQ(m.storedSample1, 0.52);
  EXPECT_DOUBLE_EQ(m.storedK15, 0.99986);
  EXPECT_EQ(m.storedBatch, "P152");
}

TEST(MicroSalCapture, ContinuousLinesOnlyAtTensOfSeconds) {
  EmulatedRig rig("VL-840");
  const std::string path = (std::filesystem::temp_directory_path() / "tmv_microsal_test.sal").string();
  MicroSalState m;
  for (int i = 0; i < 6; ++i) AddMicroSalSample(m, Sample(34.5));
  rig.clock.SetLocalTime(LoggerTime{2026, 3, 0, 4, 10, 20, 55, 0});
  ASSERT_TRUE(OpenCaptureFile(rig.state, m, path, "Lab bench", true));
  int written = 0;
  for (int t = 0; t < 30 * 10; ++t) {  // 30 s in tenths
    if (SaveNow(rig.state, m, "Continuous", true)) ++written;
    rig.clock.Advance(100);
  }
  EXPECT_EQ(written, 3);  // seconds 00, 10 and 20 of the next minute
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string text = ss.str();
  EXPECT_NE(text.find("Lab bench\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("File opened at: 2026/03/04 10:20:55\r\n"), std::string::npos);
  EXPECT_NE(text.find(" Alpha        1.0000000\r\n"), std::string::npos);
  EXPECT_NE(text.find("03/04 10:21:00                     Continuous    20.000   1.00000   34.5000"),
            std::string::npos)
      << text;
  EXPECT_EQ(CaptureLine(m, "sample one", LoggerTime{2026, 3, 0, 4, 10, 20, 55, 0}).substr(0, 46),
            "03/04 10:20:55                     sample_one ");
  std::filesystem::remove(path);
}

TEST(MicroSalInstrument, KnownSampleReadsItsSalinityAfterStandardisation) {
  EmulatedRig rig("VL-840");
  rig.profile().bench.sampleSalinity = 0.0;  // set below; the standard goes in first
  rig.profile().bench.bathTemperature = 15.0;
  const double k15 = rig.profile().bench.standardK15;
  rig.profile().bench.sampleSalinity = SalinityPss78(k15, 15.0, 0.0, 1);  // standard seawater in the sample cell
  MicroSalState m;
  SetMicroSalAveraging(m, 1);
  ASSERT_EQ(RunMicroSalinometer(rig.state, m), Outcome::Done());
  auto settle = [&] {
    for (int i = 0; i < 3000 && !(m.settled && !m.setupPending); ++i) {
      MicroSalTick(rig.state, m);
      rig.clock.Advance(100);
    }
    return m.settled;
  };
  ASSERT_TRUE(settle());
  ShowStandardisation(rig.state, m);
  m.k15 = k15;
  CaptureStandardisation(m, 2);
  ASSERT_EQ(AcceptStandardisation(rig.state, m), Outcome::Done());
  // The coefficients and table 06 read back as written.
  rig.state.logger.calibrationStale = true;
  ASSERT_EQ(KnowLogger(rig.state, kKnowCalibration), KnowResult::Known);
  EXPECT_NEAR(rig.state.calibration.coefficients[0][1], m.alpha, 1e-9);
  EXPECT_NEAR(m.storedK15, k15, 1e-12);

  rig.profile().bench.sampleSalinity = 31.234;
  rig.state.logger.calibrationStale = true;
  ASSERT_EQ(RunMicroSalinometer(rig.state, m), Outcome::Done());
  ASSERT_TRUE(settle());
  EXPECT_NEAR(m.averages[kSalS], 31.234, 0.002);
}


// A refused table 06 after the calibration went in must not leave the
// instrument standardised by half: the old coefficients go back, in the
// logger and in the program.
TEST(MicroSalInstrument, RefusedTable06PutsTheOldCoefficientsBack) {
  EmulatedRig rig("VL-840");
  rig.profile().bench.bathTemperature = 15.0;
  rig.profile().bench.sampleSalinity = 35.0;
  MicroSalState m;
  SetMicroSalAveraging(m, 1);
  ASSERT_EQ(RunMicroSalinometer(rig.state, m), Outcome::Done());
  for (int i = 0; i < 400; ++i) {
    MicroSalTick(rig.state, m);
    rig.clock.Advance(100);
  }
  const auto before = rig.state.calibration.coefficients;
  ShowStandardisation(rig.state, m);
  m.k15 = rig.profile().bench.standardK15 * 1.001;  // a new alpha, distinct from the old
  CaptureStandardisation(m, 2);
  rig.emulator.faults().nakTable = 6;
  // The table the instrument refused is named; the old values stay.
  EXPECT_EQ(AcceptStandardisation(rig.state, m), Outcome::Of(OutcomeKind::Failed, "Microsal calibration send error"));
  EXPECT_EQ(rig.state.calibration.coefficients, before);
  rig.emulator.faults().nakTable = -1;
  rig.state.logger.calibrationStale = true;
  ASSERT_EQ(KnowLogger(rig.state, kKnowCalibration), KnowResult::Known);
  EXPECT_EQ(rig.state.calibration.coefficients, before);
}

}  // namespace
}  // namespace tmv
