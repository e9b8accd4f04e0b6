// Statistics of the highlighted readings and the on-line calibration.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "CliCommand.h"
#include "analysis/Statistics.h"
#include "files/DatFile.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/Capabilities.h"
#include "shell/Catalogue.h"
#include "retrieval/SampleDecoder.h"
#include "support/EmulatedRig.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

using test::EmulatedRig;

void FillColumn(DataSet& d, const std::vector<uint8_t>& codes, const std::vector<double>& values) {
  d.Clear();
  const int rows = static_cast<int>(values.size());
  ASSERT_TRUE(d.LayOut(static_cast<int>(codes.size()), rows));
  d.channelCount = d.totalChannelCount = static_cast<int>(codes.size());
  d.sampleCount = rows;
  for (size_t c = 0; c < codes.size(); ++c) {
    d.channelTypes[c] = d.columnCodes[c] = codes[c];
    for (int r = 0; r < rows; ++r) d.Column(static_cast<int>(c))[r] = static_cast<float>(values[static_cast<size_t>(r)]);
  }
}

// Two passes in long double: the reference.
double TwoPassDeviation(const std::vector<float>& v) {
  long double mean = 0;
  for (float x : v) mean += x;
  mean /= v.size();
  long double q = 0;
  for (float x : v) q += (x - mean) * (x - mean);
  return static_cast<double>(std::sqrt(q / (v.size() - 1)));
}

TEST(RowStatistics, PressureAtThousandDbarKeepsItsDigits) {
  // 1000 dbar varying by 0.001: the one-pass sum-of-squares form cancels.
  std::vector<float> v;
  for (int i = 0; i < 200000; ++i) v.push_back(1000.0f + 0.001f * static_cast<float>(i % 3 - 1));
  const RowStatistics s = ComputeRowStatistics(v.data(), 0, static_cast<int>(v.size()) - 1);
  const double reference = TwoPassDeviation(v);
  EXPECT_NEAR(s.standardDeviation, reference, reference * 1e-6);
  // What the one-pass form gives, for the record: far off (or NaN).
  double S = 0, Q = 0;
  for (float x : v) { S += x; Q += static_cast<double>(x) * x; }
  const double m = static_cast<double>(v.size());
  const double onePass = std::sqrt((m * Q - S * S) / (m * (m - 1)));
  EXPECT_FALSE(std::fabs(onePass - reference) < reference * 1e-3);
}

TEST(RowStatistics, SampleFormAndSingleReading) {
  const float v[] = {1.0f, 3.0f};
  const RowStatistics s = ComputeRowStatistics(v, 0, 1);
  EXPECT_DOUBLE_EQ(s.mean, 2.0);
  EXPECT_NEAR(s.standardDeviation, 1.4142136, 1e-7);
  const RowStatistics one = ComputeRowStatistics(v, 1, 1);
  EXPECT_EQ(one.count, 1);
  EXPECT_FALSE(one.deviationAvailable);
  const float same[] = {7.5f, 7.5f, 7.5f};
  EXPECT_EQ(ComputeRowStatistics(same, 0, 2).standardDeviation, 0.0);
}

TEST(RowStatistics, InvalidReadingsAreLeftOutAndCounted) {
  // One -1000 among temperatures of 2-22 degC made the mean -8.2 and the
  // deviation 142; a reading that is not a number made both NaN.
  std::vector<float> v;
  for (int i = 0; i < 101; ++i) v.push_back(2.0f + 0.2f * static_cast<float>(i));
  std::vector<float> valid = v;
  v[40] = -1000.0f;
  v[70] = std::nanf("");
  valid.erase(valid.begin() + 70);
  valid.erase(valid.begin() + 40);
  const RowStatistics s = ComputeRowStatistics(v.data(), 0, 100);
  EXPECT_EQ(s.rows, 101);
  EXPECT_EQ(s.count, 99);
  EXPECT_EQ(s.invalid, 2);
  double sum = 0;
  for (float x : valid) sum += x;
  EXPECT_NEAR(s.mean, sum / 99, 1e-9);
  EXPECT_NEAR(s.standardDeviation, TwoPassDeviation(valid), 1e-9);
  EXPECT_EQ(StatisticsNote(s), "2 invalid readings left out");
  EXPECT_EQ(StatisticsNote(ComputeRowStatistics(v.data(), 0, 10)), "");

  // Through the panel: the figures leave the marker out, the count field
  // keeps the highlighted rows, and the panel says what was left out.
  std::vector<double> rows(v.begin(), v.end());
  EmulatedRig rig{"QN-760"};
  FillColumn(rig.state.retrieval.data, {'T'}, rows);
  StatisticsPanel panel{rig.state, StatisticsHooks{[] {}, [](bool) { return true; }}};
  panel.Show();
  rig.state.statistics.highlightCount = 101;
  panel.UpdateStatistics(0, 100);
  EXPECT_EQ(rig.state.statistics.meanText, Format("%.7f", sum / 99));
  EXPECT_EQ(rig.state.statistics.highlightCount, 101);
  EXPECT_EQ(rig.state.statistics.noteText, "2 invalid readings left out");
  // Nothing but markers: no figures, and the note says why.
  const float none[] = {-1000.0f, -1000.0f};
  const RowStatistics empty = ComputeRowStatistics(none, 0, 1);
  EXPECT_EQ(empty.count, 0);
  EXPECT_FALSE(empty.deviationAvailable);
  EXPECT_EQ(StatisticsNote(empty), "2 invalid readings left out");
}

TEST(RowStatistics, DerivedValuesOutsideTheirFormulasRangeAreCounted) {
  // They are values the files keep, so they are in the figures; the panel
  // says how many of them there are.
  DataSet d;
  d.channelCount = 1;
  d.totalChannelCount = 1;
  d.channelTypes[0] = 'C';
  ASSERT_TRUE(d.LayOut(1, 5));
  d.sampleCount = 5;
  ASSERT_TRUE(d.AddColumn('S'));
  const float salinity[5] = {35.0f, 371.0f, kInvalidValue, 1.5f, 34.0f};
  for (int r = 0; r < 5; ++r) d.Column(1)[r] = salinity[r];
  d.RangeMarks(1)[1] = d.RangeMarks(1)[3] = 1;
  const RowStatistics s = HighlightStatistics(d, 1, 4, 5);
  EXPECT_EQ(s.count, 4);
  EXPECT_EQ(s.invalid, 1);
  EXPECT_EQ(s.outsideRange, 2);
  EXPECT_NEAR(s.mean, (35.0 + 371.0 + 1.5 + 34.0) / 4, 1e-9);
  EXPECT_EQ(StatisticsNote(s), "1 invalid reading left out; 2 values outside the formula's range");
}

class StatsCliTest : public test::WorkDirectoryTest {};

TEST_F(StatsCliTest, ToolLeavesTheInvalidReadingOutAndSaysSo) {
  test::MakeThreeChannelLogger(state);
  test::ImageBuilder b(48);
  for (int r = 0; r < 10; ++r) b.Word(0x400000 + 0x1000 * static_cast<uint32_t>(r)).Word(0x480000).Word(0x500000);
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  DataSet& d = state.retrieval.data;
  d.Column(0)[3] = kInvalidValue;
  double sum = 0;
  for (int r = 0; r < 10; ++r)
    if (r != 3) sum += std::stod(Format("%.4f", d.Value(0, r)));  // as the DAT file keeps it
  ASSERT_TRUE(WriteDatFile(state, Path("one.dat")));
  std::ostringstream out, err;
  auto run = [&](std::vector<std::string> args) {
    out.str({});
    for (const auto& info : cli::CliCommands())
      if (info.name == "stats") {
        cli::CliContext ctx{state, std::move(args), out, err, false};
        return info.run(ctx);
      }
    return -1;
  };
  ASSERT_EQ(run({Path("one.dat"), "--channel", "1"}), 0) << err.str();
  EXPECT_NE(out.str().find("Number of readings: 9\nNote: 1 invalid reading left out\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(Format("Mean: %.7f\n", sum / 9)), std::string::npos) << out.str();
  ASSERT_EQ(run({Path("one.dat"), "--channel", "1", "--json"}), 0) << err.str();
  EXPECT_NE(out.str().find("\"rows\":10,\"count\":9,\"invalid_left_out\":1,\"outside_formula_range\":0,"), std::string::npos) << out.str();
}

struct PanelRig {
  EmulatedRig rig{"QN-760"};
  int repaints = 0;
  StatisticsPanel panel{rig.state, StatisticsHooks{[this] { ++repaints; }, [](bool) { return true; }}};
  StatisticsPanelState& p() { return rig.state.statistics; }
};

TEST(StatisticsPanel, HighlightEndsAtCursorAndCountFollows) {
  PanelRig r;
  std::vector<double> values;
  for (int i = 0; i < 50; ++i) values.push_back(i);
  FillColumn(r.rig.state.retrieval.data, {'T'}, values);
  r.panel.Show();
  r.panel.UpdateStatistics(0, 10);
  EXPECT_EQ(r.p().meanText, "5.0000000");
  EXPECT_EQ(r.p().highlightCount, 11);
  EXPECT_EQ(r.p().countText, "11");
  EXPECT_GE(r.repaints, 1);
  EXPECT_EQ(r.p().message, "On-line calibration not available on this channel");
  EXPECT_EQ(r.p().title, "Statistics of highlighted CONVERTED data for channel:  1 - Temperature");
  // No cursor: zero rows.
  r.panel.UpdateStatistics(0, -1);
  EXPECT_EQ(r.p().meanText, "Not available");
  EXPECT_EQ(r.p().deviationText, "Not available");
  r.panel.TypeCount("abc");
  EXPECT_EQ(r.p().highlightCount, 11);
  r.panel.TypeCount("3");
  r.panel.UpdateStatistics(0, 49);
  EXPECT_EQ(r.p().meanText, "48.0000000");
}

TEST(StatisticsPanel, RawMeanOfOneReadingShowsTheCount) {
  PanelRig r;
  FillColumn(r.rig.state.retrieval.data, {'A'}, {0.5, 0.5});
  r.p().rawView = true;
  r.p().highlightCount = 1;
  r.panel.UpdateStatistics(0, 1);
  EXPECT_EQ(r.p().meanText, "0.5000000 (800000)");
  EXPECT_EQ(r.p().deviationText, "Not available");
}

TEST(StatisticsPanel, ProposalWithRangeClassAdjustmentPerSensor) {
  PanelRig r;
  FillColumn(r.rig.state.retrieval.data, {'T', 'A', 'H', 'D', 'Y', 'P'}, {0.5, 0.6});
  auto propose = [&](int channel, const char* r1, const char* r2, const char* k1, const char* k2) {
    r.p().statisticsChannel = channel;
    r.p().rawView = true;
    r.p().proposalValid = false;
    r.panel.EditField(statctl::kLowerFixed, k1);
    r.panel.EditField(statctl::kUpperFixed, k2);
    r.panel.EditField(statctl::kLowerReading, r1);
    r.panel.EditField(statctl::kUpperReading, r2);
  };
  propose(1, "0.25", "0.75", "0", "10");  // depth
  EXPECT_DOUBLE_EQ(r.p().newGain, 20.0);
  EXPECT_DOUBLE_EQ(r.p().newOffset, -5.0);
  EXPECT_EQ(r.p().message, "Calibration coefficients:-5.000000000000000, 20.000000000000000, 0.0, 0.0");
  EXPECT_TRUE(r.p().writeEnabled);
  propose(1, "0.995", "0.5", "0", "10");  // range class 2: 0.995 stands for -0.005
  EXPECT_NEAR(r.p().newGain, 10.0 / 0.505, 1e-9);
  propose(2, "0.9", "0.5", "4", "10");  // pH, range class 1: 0.9 >= 0.875 -> -0.1
  EXPECT_NEAR(r.p().newGain, 6.0 / 0.6, 1e-9);
  propose(3, "0.9", "0.5", "0", "100");  // dissolved O2, range class 1
  EXPECT_NEAR(r.p().newGain, 100.0 / 0.6, 1e-9);
  propose(4, "0.98", "0.5", "0", "600");  // turbidity, class 2: below 0.99, not adjusted
  EXPECT_NEAR(r.p().newGain, 600.0 / (0.5 - 0.98), 1e-9);
  const double kept = r.p().newGain;
  r.panel.EditField(statctl::kUpperReading, "0.98");  // equal readings keep the proposal
  EXPECT_DOUBLE_EQ(r.p().newGain, kept);
  propose(5, "0.1", "0.5", "0", "10");  // pressure: not eligible
  EXPECT_EQ(r.p().message, "On-line calibration not available on this channel");
  EXPECT_FALSE(r.p().writeEnabled);
}

TEST(StatisticsPanel, DerivedDepthIsNotEligibleAndTurbidityReferencesAreNotSaved) {
  DataSet d;
  FillColumn(d, {'T'}, {1, 2});
  d.channelCount = 1;
  ASSERT_TRUE(d.AddColumn(0x85));
  EXPECT_FALSE(CalibrationEligible(d, 1));
  EXPECT_TRUE(CalibrationEligible(d, 0) == false);
  PanelRig r;
  FillColumn(r.rig.state.retrieval.data, {'Y', 'A'}, {0.1, 0.2});
  r.p().statisticsChannel = 0;
  r.p().lowerFixed = "1";
  r.p().upperFixed = "500";
  r.panel.SaveFixedPoints();
  EXPECT_EQ(r.rig.state.settings.online.upperTurbidity, 600.0);
  r.p().statisticsChannel = 1;
  r.p().lowerFixed = "0.5";
  r.p().upperFixed = "20";
  r.panel.SaveFixedPoints();
  EXPECT_EQ(r.rig.state.settings.online.upperDepth, 20.0);
}

TEST(StatisticsPanel, CalibrationGroupFollowsTheChannelChosenWhileOpen) {
  PanelRig r;
  FillColumn(r.rig.state.retrieval.data, {'T', 'A'}, {1, 2, 3});
  r.panel.Show();  // opened on the temperature channel: only the note
  r.panel.UpdateStatistics(0, 2);
  EXPECT_FALSE(r.p().calibrationGroupShown);
  r.panel.UpdateStatistics(1, 2);  // the depth channel chosen on the graph
  EXPECT_TRUE(r.p().calibrationGroupShown);
  EXPECT_FALSE(r.p().lowerFixed.empty());
  r.panel.UpdateStatistics(0, 2);
  EXPECT_FALSE(r.p().calibrationGroupShown);
}

void Prepare(EmulatedRig& rig) {
  ASSERT_EQ(ConnectLogger(rig.state), 1);
  AssessCapabilities(rig.state);
  ASSERT_EQ(CommGet(rig.state, 16), 1);
  ASSERT_EQ(ReadCalibration(rig.state), 1);
}

TEST(StatisticsPanel, WritesTheProposalToTheLoggerAndReadsItBack) {
  PanelRig r;
  Prepare(r.rig);
  FillColumn(r.rig.state.retrieval.data, {'T', 'A'}, {0.25, 0.75});
  r.p().statisticsChannel = 1;
  r.p().rawView = true;
  r.p().lowerFixed = "0";
  r.p().upperFixed = "10";
  r.p().lowerReading = "0.25";
  r.panel.EditField(statctl::kUpperReading, "0.75");
  ASSERT_TRUE(r.p().writeEnabled);
  // Only the upper point transferred: the single-point question comes first; No ends it.
  r.p().meanText = "0.75";
  r.panel.TransferReading(true);
  r.rig.ui.answers.push_back(MessageAnswer::No);
  EXPECT_EQ(r.panel.WriteCoefficients(), 0);
  ASSERT_FALSE(r.rig.ui.boxes.empty());
  EXPECT_EQ(r.rig.ui.boxes.back().text, "No zero entered - Single point OK?");
  r.rig.ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(r.panel.WriteCoefficients(), 1) << r.p().message;
  EXPECT_DOUBLE_EQ(r.rig.state.calibration.coefficients[1][0], -5.0);
  EXPECT_DOUBLE_EQ(r.rig.state.calibration.coefficients[1][1], 20.0);
  const auto& record = r.rig.profile().calibrationHistory.back();
  EXPECT_DOUBLE_EQ(record.channels[1][1], 20.0);
}

TEST(StatisticsPanel, FailedWriteKeepsThePreviousCoefficients) {
  PanelRig r;
  Prepare(r.rig);
  FillColumn(r.rig.state.retrieval.data, {'T', 'A'}, {0.25, 0.75});
  const auto before = r.rig.state.calibration.coefficients[1];
  r.p().statisticsChannel = 1;
  r.p().rawView = true;
  r.p().lowerPending = r.p().upperPending = false;
  r.p().lowerFixed = "0";
  r.p().upperFixed = "10";
  r.p().lowerReading = "0.25";
  r.panel.EditField(statctl::kUpperReading, "0.75");
  r.rig.profile().serialNumber = 54321;  // another logger answers the write
  EXPECT_EQ(r.panel.WriteCoefficients(), 0);
  EXPECT_EQ(r.rig.state.calibration.coefficients[1], before);
}

TEST(StatisticsPanel, ChangeDataViewWithoutImageSaysSoAndKeepsTheView) {
  EmulatedRig rig;
  StatisticsPanel panel(rig.state, StatisticsHooks{});
  FillColumn(rig.state.retrieval.data, {'A'}, {1, 2});
  panel.ChangeDataView();
  ASSERT_FALSE(rig.ui.boxes.empty());
  EXPECT_EQ(rig.ui.boxes.back().caption, "Statistics view");
  EXPECT_FALSE(rig.state.statistics.rawView);
}

}  // namespace
}  // namespace tmv
