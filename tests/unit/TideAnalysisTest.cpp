// Harmonic tide analysis: the astronomy against published values, a
// synthetic record of known constituents with noise, prediction round trips
// and the inputs it must refuse or trim.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "analysis/TideAnalysis.h"
#include "analysis/TideConstituents.h"
#include "sim/LoggerEmulator.h"

namespace tmv {
namespace {

constexpr double kPi = 3.14159265358979323846;

double CycleDistance(double a, double b) {
  double d = std::fmod(a - b, 1.0);
  if (d > 0.5) d -= 1.0;
  if (d < -0.5) d += 1.0;
  return std::fabs(d);
}

double DegreeDistance(double a, double b) { return CycleDistance(a / 360.0, b / 360.0) * 360.0; }

const TideConstituent& Named(const char* name) {
  const std::optional<int> k = FindTideConstituent(name);
  EXPECT_TRUE(k.has_value()) << name;
  return TideConstituents()[static_cast<size_t>(k.value_or(0))];
}

TEST(TideAstronomy, ArgumentsFrequenciesAndTableMatchForemansTables) {
  // Foreman (2004), the reference arguments of the constituent file:
  // s, h, p, N' and p' in cycles at 1976-01-01 00:00 GMT.
  const TideHours t1976 = -24.0 * (365 * 24 + 6);  // 24 years, 6 of them leap
  const AstronomicalArguments a = ArgumentsAt(t1976);
  EXPECT_LT(CycleDistance(a.cycles[1], 0.7428797055), 3e-5);
  EXPECT_LT(CycleDistance(a.cycles[2], 0.7771900329), 3e-5);
  EXPECT_LT(CycleDistance(a.cycles[3], 0.5187051308), 3e-5);
  EXPECT_LT(CycleDistance(a.cycles[4], 0.3631582592), 3e-5);
  EXPECT_LT(CycleDistance(a.cycles[5], 0.7847990160), 3e-5);
  // At Greenwich midnight tau = h - s.
  EXPECT_LT(CycleDistance(a.cycles[0], a.cycles[2] - a.cycles[1]), 1e-9);

  // Frequencies (cycles per hour) of Foreman's Appendix 1 and 3, astronomical
  // from their Doodson numbers, shallow-water from their combinations.
  const struct {
    const char* name;
    double cph;
  } published[] = {{"SA", 0.0001140741},  {"MM", 0.0015121518},  {"Q1", 0.0372185026},   {"O1", 0.0387306544},
                   {"P1", 0.0415525871},  {"S1", 0.0416666721},  {"K1", 0.0417807462},   {"N2", 0.0789992488},
                   {"M2", 0.0805114007},  {"S2", 0.0833333333},  {"K2", 0.0835614924},   {"M3", 0.1207671010},
                   {"ST36", 0.0733553835}, {"MK3", 0.1222921469}, {"M4", 0.1610228013},  {"MS4", 0.1638447340},
                   {"2MK5", 0.2028035475}, {"M7", 0.2817899023},  {"M12", 0.4830684040}, {"ST35", 0.4874282766}};
  for (const auto& p : published) EXPECT_NEAR(Named(p.name).frequency, p.cph, 2e-10) << p.name;

  // The standard set: 146 constituents, 45 astronomical; 69 in the automatic
  // choice (Z0 and the 68 with a neighbour to be resolved from).
  const auto& table = TideConstituents();
  EXPECT_EQ(table.size(), 146u);
  int astronomical = 0, compared = 0;
  for (const auto& c : table) {
    astronomical += c.shallow ? 0 : 1;
    compared += c.comparison >= 0 ? 1 : 0;
  }
  EXPECT_EQ(astronomical, 45);
  EXPECT_EQ(compared, 68);
  EXPECT_EQ(Named("theta1").name, "THE1");
  EXPECT_FALSE(FindTideConstituent("X9").has_value());
}

TEST(TideAstronomy, NodalFactorsSpanThePublishedRanges) {
  // The node factors over the 18.61-year cycle (Schureman 1958, Table 14;
  // Pugh 1987, Table 4.3): M2 0.963..1.038, K1 0.882..1.113, O1 0.806..1.183,
  // with their phases u at most 2.2, 8.9 and 10.8 degrees.
  double fM2[2] = {9, 0}, fK1[2] = {9, 0}, fO1[2] = {9, 0}, uM2 = 0, uK1 = 0, uO1 = 0;
  const int m2 = *FindTideConstituent("M2"), k1 = *FindTideConstituent("K1"), o1 = *FindTideConstituent("O1");
  for (double days = 0; days < 6797; days += 10) {
    const std::vector<NodalCorrection> n = NodalCorrections(days * 24.0, 45.0);
    auto track = [](double* range, double& u, const NodalCorrection& c) {
      range[0] = std::min(range[0], c.f);
      range[1] = std::max(range[1], c.f);
      u = std::max(u, std::fabs(c.u * 360.0));
    };
    track(fM2, uM2, n[static_cast<size_t>(m2)]);
    track(fK1, uK1, n[static_cast<size_t>(k1)]);
    track(fO1, uO1, n[static_cast<size_t>(o1)]);
  }
  EXPECT_NEAR(fM2[0], 0.963, 0.002);
  EXPECT_NEAR(fM2[1], 1.038, 0.002);
  EXPECT_NEAR(fK1[0], 0.882, 0.004);
  EXPECT_NEAR(fK1[1], 1.113, 0.004);
  // Foreman's satellites add the lunar perigee's terms, which those node
  // factors leave out: up to 0.006 in f and 0.6 degrees in u for O1.
  EXPECT_NEAR(fO1[0], 0.806, 0.008);
  EXPECT_NEAR(fO1[1], 1.183, 0.008);
  EXPECT_NEAR(uM2, 2.2, 0.2);
  EXPECT_NEAR(uK1, 8.9, 0.3);
  EXPECT_NEAR(uO1, 10.8, 0.8);
  // Shallow-water constituents take their parts' corrections: M4 = 2 M2.
  const int m4 = *FindTideConstituent("M4");
  const std::vector<NodalCorrection> n = NodalCorrections(1000.0, 45.0);
  EXPECT_NEAR(n[static_cast<size_t>(m4)].f, std::pow(n[static_cast<size_t>(m2)].f, 2), 1e-12);
  EXPECT_LT(CycleDistance(n[static_cast<size_t>(m4)].v, 2 * n[static_cast<size_t>(m2)].v), 1e-12);
}

struct Truth {
  const char* name;
  double amplitude;  // m
  double phase;      // degrees, Greenwich
};

// Gaussian noise from a fixed generator (Box-Muller on the raw mt19937
// stream, the same on every platform).
struct Noise {
  std::mt19937 engine{20260115};
  double Next() {
    const double u1 = (engine() + 1.0) / 4294967297.0, u2 = engine() / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }
};

// Each constituent with its nodal correction and equilibrium argument at the
// reading's own time.
TideSeries SynthesiseAt(const std::vector<Truth>& truth, const std::vector<TideHours>& times, double mean,
                        double noise, uint32_t seed = 20260115) {
  TideSeries s;
  Noise random;
  random.engine.seed(seed);
  for (TideHours t : times) {
    const std::vector<NodalCorrection> n = NodalCorrections(t, 45.0);
    double level = mean;
    for (const Truth& c : truth) {
      const size_t k = static_cast<size_t>(*FindTideConstituent(c.name));
      level += n[k].f * c.amplitude * std::cos(2 * kPi * (n[k].v + n[k].u) - c.phase * kPi / 180.0);
    }
    s.times.push_back(t);
    s.levels.push_back(level + noise * random.Next());
  }
  return s;
}

std::vector<TideHours> Times(TideHours start, double days, double stepMinutes) {
  std::vector<TideHours> times;
  for (double t = start; t <= start + days * 24.0 + 1e-9; t += stepMinutes / 60.0) times.push_back(t);
  return times;
}

TideSeries Synthesise(const std::vector<Truth>& truth, TideHours start, double days, double stepMinutes,
                      double mean, double noise, uint32_t seed = 20260115) {
  return SynthesiseAt(truth, Times(start, days, stepMinutes), mean, noise, seed);
}

const TideConstituentFit* Find(const TideAnalysis& a, const std::string& name) {
  for (const auto& c : a.constituents)
    if (c.name == name) return &c;
  return nullptr;
}

TEST(TideAnalysis, SyntheticMonthGivesBackItsConstituentsWithinTheirConfidenceIntervals) {
  const std::vector<Truth> truth = {{"M2", 1.2, 127.0}, {"S2", 0.45, 163.0}, {"N2", 0.25, 101.0},
                                    {"K1", 0.35, 241.0}, {"O1", 0.25, 219.0}, {"Q1", 0.05, 197.0},
                                    {"M4", 0.03, 310.0}, {"MS4", 0.02, 25.0}};
  const TideHours start = 24.0 * 9500.5;  // 2026-01-04 12:00 UTC
  // One noise record (a 95 % interval misses one time in twenty; the test
  // below checks that rate over many records).
  const TideSeries series = Synthesise(truth, start, 35.0, 10.0, 3.5, 0.02, 11);
  const TideOutcome outcome = AnalyseTide(series, {});
  ASSERT_TRUE(outcome.analysis) << outcome.error;
  const TideAnalysis& a = *outcome.analysis;
  EXPECT_NEAR(a.mean, 3.5, 0.002);
  EXPECT_EQ(a.validCount, 35 * 144 + 1);
  for (const Truth& c : truth) {
    const TideConstituentFit* fit = Find(a, c.name);
    ASSERT_NE(fit, nullptr) << c.name;
    EXPECT_NEAR(fit->amplitude, c.amplitude, 0.002) << c.name;
    EXPECT_LT(DegreeDistance(fit->phase, c.phase), c.amplitude < 0.05 ? 2.0 : 1.0) << c.name;
    EXPECT_LE(std::fabs(fit->amplitude - c.amplitude), fit->amplitudeCi) << c.name;
    EXPECT_LE(DegreeDistance(fit->phase, c.phase), fit->phaseCi) << c.name;
    EXPECT_GT(fit->snr, 2.0) << c.name;
  }
  // 35 days resolve neither K2 from S2 nor P1 from K1: the automatic choice leaves them out.
  EXPECT_EQ(Find(a, "K2"), nullptr);
  EXPECT_EQ(Find(a, "P1"), nullptr);
  // A constituent that is not there comes back small and insignificant.
  const TideConstituentFit* mu2 = Find(a, "MU2");
  ASSERT_NE(mu2, nullptr);
  EXPECT_LT(mu2->amplitude, 0.003);
  EXPECT_LT(mu2->snr, 10.0);

  // Prediction round trip: the residual of the record is the noise, and the
  // saved table predicts what the analysis does.
  const std::vector<double> predicted = PredictTide(a, series.times, a.centre);
  double sum = 0, sum2 = 0;
  for (size_t i = 0; i < predicted.size(); ++i) {
    const double r = series.levels[i] - predicted[i];
    sum += r;
    sum2 += r * r;
  }
  const double n = static_cast<double>(predicted.size());
  EXPECT_NEAR(sum / n, 0.0, 0.001);
  EXPECT_NEAR(std::sqrt(sum2 / n), 0.02, 0.0015);
  std::string error;
  const std::optional<TideAnalysis> saved = ParseTideTable(TideTableText(a), error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(saved->constituents.size(), a.constituents.size());
  const std::vector<double> again = PredictTide(*saved, series.times, a.centre);
  for (size_t i = 0; i < again.size(); i += 97) EXPECT_NEAR(again[i], predicted[i], 2e-5);
  // Predicting the next month from the table: the tide without the noise.
  const TideSeries next = Synthesise(truth, start + 35 * 24.0, 30.0, 60.0, 3.5, 0.0);
  const std::vector<double> ahead = PredictTide(*saved, next.times);
  double worst = 0;
  for (size_t i = 0; i < ahead.size(); ++i) worst = std::max(worst, std::fabs(ahead[i] - next.levels[i]));
  EXPECT_LT(worst, 0.01);
}

TEST(TideAnalysis, UnevenTimesWithGapsAndATrend) {
  // Readings at irregular times with a four-day hole, a sinking mooring
  // (2 cm a day): least squares needs no grid.
  const std::vector<Truth> truth = {{"M2", 0.8, 40.0}, {"K1", 0.3, 200.0}, {"O1", 0.2, 180.0}, {"S2", 0.3, 70.0}};
  std::vector<TideHours> times;
  std::mt19937 pick(7);
  for (TideHours t : Times(24.0 * 9000, 40.0, 15.0)) {
    const double day = t / 24.0 - 9000;
    if ((day > 12 && day < 16) || pick() % 3 == 0) continue;
    times.push_back(t + (pick() % 1000) / 1000.0 * 0.2);  // up to 12 minutes late
  }
  TideSeries s = SynthesiseAt(truth, times, 12.0, 0.01);
  for (size_t i = 0; i < s.times.size(); ++i) s.levels[i] += 0.02 * (s.times[i] / 24.0 - 9000);
  TideAnalysisOptions options;
  options.trend = true;
  options.constituents = {"M2", "S2", "K1", "O1", "N2"};
  const TideOutcome outcome = AnalyseTide(s, options);
  ASSERT_TRUE(outcome.analysis) << outcome.error;
  const TideAnalysis& a = *outcome.analysis;
  EXPECT_NEAR(a.trendPerDay, 0.02, 0.0005);
  for (const Truth& c : truth) {
    const TideConstituentFit* fit = Find(a, c.name);
    ASSERT_NE(fit, nullptr);
    EXPECT_NEAR(fit->amplitude, c.amplitude, 0.004) << c.name;
    EXPECT_LT(DegreeDistance(fit->phase, c.phase), 1.0) << c.name;
  }
}

TEST(TideAnalysis, BadInputsGetAReasonAndNeverANumberThatIsNot) {
  const std::vector<Truth> truth = {{"M2", 1.0, 0.0}, {"K1", 0.3, 90.0}};
  auto refused = [](const TideSeries& s, const TideAnalysisOptions& o = {}) {
    const TideOutcome r = AnalyseTide(s, o);
    EXPECT_FALSE(r.analysis);
    return r.error;
  };
  // Shorter than a day.
  EXPECT_NE(refused(Synthesise(truth, 0.0, 0.9, 10.0, 0.0, 0.01)).find("at least a day"), std::string::npos);
  // All invalid.
  TideSeries invalid = Synthesise(truth, 0.0, 5.0, 60.0, 0.0, 0.0);
  for (double& v : invalid.levels) v = std::nan("");
  EXPECT_NE(refused(invalid).find("no valid water level"), std::string::npos);
  // Constant.
  TideSeries flat = invalid;
  for (double& v : flat.levels) v = 10.25;
  EXPECT_NE(refused(flat).find("does not change"), std::string::npos);
  // Times out of order, and repeated.
  TideSeries shuffled = Synthesise(truth, 0.0, 5.0, 60.0, 0.0, 0.0);
  std::swap(shuffled.times[10], shuffled.times[11]);
  EXPECT_NE(refused(shuffled).find("out of order at reading 12"), std::string::npos);
  shuffled.times[11] = shuffled.times[10];
  EXPECT_NE(refused(shuffled).find("repeated at reading 12"), std::string::npos);
  // Unknown names are a usage error naming them.
  TideAnalysisOptions names;
  names.constituents = {"M2", "X7", "K1", "Q9"};
  const TideOutcome unknown = AnalyseTide(Synthesise(truth, 0.0, 5.0, 60.0, 0.0, 0.01), names);
  EXPECT_TRUE(unknown.usageError);
  EXPECT_NE(unknown.error.find("X7, Q9"), std::string::npos) << unknown.error;

  auto allFinite = [](const TideAnalysis& a) {
    bool ok = std::isfinite(a.mean) && std::isfinite(a.meanCi);
    for (const auto& c : a.constituents)
      ok = ok && std::isfinite(c.amplitude) && std::isfinite(c.amplitudeCi) && std::isfinite(c.phase) &&
           std::isfinite(c.phaseCi) && !std::isnan(c.snr);
    return ok;
  };
  // Asked for what 30 days cannot separate: K2 from S2, and P1 from K1. The
  // fit keeps the rest and says why the others went.
  TideAnalysisOptions close;
  close.constituents = {"M2", "S2", "K1", "K2", "P1", "O1"};
  const TideOutcome trimmed = AnalyseTide(Synthesise(truth, 0.0, 30.0, 30.0, 0.0, 0.01), close);
  ASSERT_TRUE(trimmed.analysis) << trimmed.error;
  ASSERT_EQ(trimmed.analysis->dropped.size(), 2u);
  EXPECT_EQ(trimmed.analysis->dropped[0].name, "K2");
  EXPECT_NE(trimmed.analysis->dropped[0].reason.find("not resolved from S2 in 30.0 days (needs 182.6)"),
            std::string::npos)
      << trimmed.analysis->dropped[0].reason;
  EXPECT_EQ(trimmed.analysis->dropped[1].name, "P1");
  EXPECT_EQ(trimmed.analysis->constituents.size(), 4u);
  EXPECT_TRUE(allFinite(*trimmed.analysis));

  // A tide gauge's year a few hours short of 365.24 days, the constituents
  // named in order of frequency as analysis packages list them: the lines a
  // cycle a year beside K1 and S2 are not resolved, and it is they that go,
  // not K1, P1, S2 or K2.
  const std::vector<Truth> year = {{"M2", 0.23, 180.0}, {"S2", 0.09, 233.0}, {"K2", 0.024, 229.0},
                                   {"K1", 0.19, 332.0}, {"P1", 0.055, 329.0}, {"O1", 0.09, 342.0}};
  TideAnalysisOptions listed;
  listed.constituents = {"O1", "PI1", "P1", "S1", "K1", "PSI1", "PHI1", "M2", "T2", "S2", "R2", "K2"};
  const TideOutcome yearly = AnalyseTide(Synthesise(year, 0.0, 364.9, 180.0, 0.6, 0.01), listed);
  ASSERT_TRUE(yearly.analysis) << yearly.error;
  std::string gone;
  for (const TideDropped& d : yearly.analysis->dropped) gone += d.name + " ";
  EXPECT_EQ(gone, "PI1 S1 PSI1 T2 R2 ");
  EXPECT_NE(yearly.analysis->dropped[1].reason.find("not resolved from K1"), std::string::npos);
  for (const Truth& c : year) {
    const TideConstituentFit* fit = Find(*yearly.analysis, c.name);
    ASSERT_NE(fit, nullptr) << c.name;
    EXPECT_NEAR(fit->amplitude, c.amplitude, 0.002) << c.name;
  }

  // A gap longer than the record: two days of readings a year apart. The
  // span admits constituents that the readings cannot tell apart; those are
  // dropped instead of a singular matrix.
  TideSeries gap = Synthesise(truth, 0.0, 2.0, 30.0, 0.0, 0.01);
  const TideSeries later = Synthesise(truth, 24.0 * 365, 2.0, 30.0, 0.0, 0.01);
  gap.times.insert(gap.times.end(), later.times.begin(), later.times.end());
  gap.levels.insert(gap.levels.end(), later.levels.begin(), later.levels.end());
  const TideOutcome gapped = AnalyseTide(gap, {});
  ASSERT_TRUE(gapped.analysis) << gapped.error;
  EXPECT_FALSE(gapped.analysis->dropped.empty());
  EXPECT_TRUE(allFinite(*gapped.analysis));
  EXPECT_NE(TideTableText(*gapped.analysis).find("not resolved by the times of the readings"), std::string::npos);

  // A noise-free record: no NaN from the vanishing noise.
  const TideOutcome clean = AnalyseTide(Synthesise(truth, 0.0, 20.0, 30.0, 0.0, 0.0), {});
  ASSERT_TRUE(clean.analysis);
  EXPECT_TRUE(allFinite(*clean.analysis));
  EXPECT_GT(Find(*clean.analysis, "M2")->snr, 1e6);
  EXPECT_EQ(TideTableText(*clean.analysis).find("nan"), std::string::npos);
}

TEST(TideAnalysis, ConfidenceIntervalsHoldTheTruthNineteenTimesInTwenty) {
  // Many records of the same tide with different noise, white and red (a
  // surge-like random walk): the 95 % intervals hold the true amplitude
  // and phase about 95 times in 100 (the binomial spread for 240 tries is
  // about 1.4 %).
  const std::vector<Truth> truth = {{"M2", 0.6, 80.0}, {"K1", 0.2, 250.0}, {"O1", 0.12, 300.0}};
  TideAnalysisOptions options;
  options.constituents = {"M2", "K1", "O1", "S2", "N2"};
  int held = 0, tries = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    TideSeries s = SynthesiseAt(truth, Times(24.0 * 8000 + seed * 37.0, 30.0, 60.0), 2.0, 0.03, seed);
    if (seed % 2 == 0) {  // red noise on top: a slow surge
      double walk = 0;
      Noise surge;
      surge.engine.seed(seed * 7919);
      for (double& v : s.levels) v += (walk = 0.97 * walk + 0.01 * surge.Next());
    }
    const TideOutcome outcome = AnalyseTide(s, options);
    ASSERT_TRUE(outcome.analysis);
    for (const Truth& c : truth) {
      const TideConstituentFit* fit = Find(*outcome.analysis, c.name);
      held += std::fabs(fit->amplitude - c.amplitude) <= fit->amplitudeCi ? 1 : 0;
      held += DegreeDistance(fit->phase, c.phase) <= fit->phaseCi ? 1 : 0;
      tries += 2;
    }
  }
  const double coverage = static_cast<double>(held) / tries;
  EXPECT_GT(coverage, 0.90) << held << " of " << tries;
  EXPECT_LT(coverage, 0.99) << held << " of " << tries;
}

TEST(TideAnalysis, TheEmulatedSeaHasTheTideOfItsProfile) {
  // A year of the emulated sea, hourly: every constituent of the profile
  // comes back, K2 and P1 too, which only half a year tells apart.
  const sim::EmulatedTide tide = sim::DefaultEmulatedTide();
  ASSERT_GE(tide.constituents.size(), 9u);
  TideSeries s;
  const int64_t start = 9500LL * 86400000;  // logger ms since 2000, its clock on UTC
  for (int64_t h = 0; h < 366 * 24; ++h) {
    s.times.push_back(static_cast<double>(start) / 3.6e6 + static_cast<double>(h));
    s.levels.push_back(sim::TideLevel(tide, start + h * 3600000));
  }
  TideAnalysisOptions options;
  options.latitude = tide.latitude;
  const TideOutcome outcome = AnalyseTide(s, options);
  ASSERT_TRUE(outcome.analysis) << outcome.error;
  for (const auto& c : tide.constituents) {
    const TideConstituentFit* fit = Find(*outcome.analysis, c.name);
    ASSERT_NE(fit, nullptr) << c.name;
    EXPECT_NEAR(fit->amplitude, c.amplitude, 0.002) << c.name;
    EXPECT_LT(DegreeDistance(fit->phase, c.phase), 1.0) << c.name;
  }
}

TEST(TideAnalysis, CsvOfTimesAndLevels) {
  std::string error;
  const auto s = ParseTideCsv(
      "time,level\r\n2026-03-01T00:00:00Z,1.50\r\n2026-03-01T02:00:00+01:00,1.6\r\n2026-03-01 02:00,\r\n"
      "# a note\r\n2026-03-01T02:30:00.5,1.7\r\n",
      0, error);
  ASSERT_TRUE(s) << error;
  ASSERT_EQ(s->times.size(), 4u);
  EXPECT_NEAR(s->times[1] - s->times[0], 1.0, 1e-9);
  EXPECT_NEAR(s->times[2] - s->times[0], 2.0, 1e-9);
  EXPECT_TRUE(std::isnan(s->levels[2]));
  EXPECT_NEAR(s->times[3] - s->times[0], 2.5 + 0.5 / 3600, 1e-9);
  EXPECT_EQ(TideTimeText(s->times[0]), "2026-03-01T00:00:00Z");
  // Local times with a given offset: 10:00 at +10:00 is midnight UTC.
  const auto local = ParseTideCsv("2026-03-01T10:00:00,1\n2026-03-01T11:00:00,2\n", 600, error);
  ASSERT_TRUE(local);
  EXPECT_NEAR(local->times[0], s->times[0], 1e-9);

  EXPECT_FALSE(ParseTideCsv("2026-03-01T00:00:00Z,1\n2026-03-01T00:00:00Z,2\n", 0, error));
  EXPECT_NE(error.find("Line 2"), std::string::npos);
  EXPECT_NE(error.find("repeats"), std::string::npos);
  EXPECT_FALSE(ParseTideCsv("2026-03-01T01:00:00Z,1\n2026-03-01T00:00:00Z,2\n", 0, error));
  EXPECT_NE(error.find("comes before"), std::string::npos);
  EXPECT_FALSE(ParseTideCsv("2026-03-01T01:00:00Z,1\n2026-03-01T02:00:00Z,deep\n", 0, error));
  EXPECT_NE(error.find("'deep' is not a water level"), std::string::npos);
}

}  // namespace
}  // namespace tmv
