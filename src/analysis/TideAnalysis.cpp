#include "analysis/TideAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "model/LoggerTime.h"

namespace tmv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kZ95 = 1.959963984540054;  // two-sided 95 % point of the normal distribution

std::string Fmt(const char* format, double a, double b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

double Wrap360(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360.0;
  return d;
}

// The constituents to fit: the automatic choice, or the named ones less
// those the record cannot tell apart.
bool ChooseConstituents(const TideAnalysisOptions& options, double spanHours, double nyquist, std::vector<int>& chosen,
                        std::vector<TideDropped>& dropped, std::string& error) {
  const auto& table = TideConstituents();
  const double resolution = options.rayleigh / spanHours;  // cycles per hour
  if (options.constituents.empty()) {
    for (size_t i = 0; i < table.size(); ++i) {
      const TideConstituent& c = table[i];
      if (c.comparison < 0 || c.frequency <= 0) continue;
      const double apart = std::fabs(c.frequency - table[static_cast<size_t>(c.comparison)].frequency);
      if (apart >= resolution && c.frequency < nyquist) chosen.push_back(static_cast<int>(i));
    }
    return true;
  }
  std::vector<std::string> unknown;
  std::vector<int> asked;
  for (const std::string& name : options.constituents) {
    const std::optional<int> k = FindTideConstituent(name);
    if (!k) {
      unknown.push_back(name);
      continue;
    }
    if (table[static_cast<size_t>(*k)].frequency <= 0) continue;  // Z0: the mean is always fitted
    if (std::find(asked.begin(), asked.end(), *k) == asked.end()) asked.push_back(*k);
  }
  if (!unknown.empty()) {
    error = "Unknown constituent";
    error += unknown.size() > 1 ? "s: " : ": ";
    for (size_t i = 0; i < unknown.size(); ++i) error += (i ? ", " : "") + unknown[i];
    error += " (the standard set of 146 names, e.g. M2,S2,N2,K1,O1)";
    return false;
  }
  // Of two named constituents the record cannot tell apart, the one kept
  // must not depend on the order they were named in (a year's record a few
  // hours short of 365.24 days, named in order of frequency, would otherwise
  // keep S1 and lose K1). They are taken in the order of the standard
  // choice's hierarchy: a constituent after the one it is told apart from
  // (K1 before S1, P1 before PI1, S2 before T2); of two told apart from the
  // same one, the farther first (K2 before R2: the lines one cycle a year
  // beside a major constituent are its weak satellites); constituents
  // outside the standard choice last. The drops are reported as named.
  auto depth = [&](int k) {
    int d = 0;
    for (int c = table[static_cast<size_t>(k)].comparison; c >= 0 && d < 64; c = table[static_cast<size_t>(c)].comparison) ++d;
    return table[static_cast<size_t>(k)].comparison < 0 ? 1000 : d;
  };
  auto spacing = [&](int k) {
    const int c = table[static_cast<size_t>(k)].comparison;
    return c < 0 ? 0.0 : std::fabs(table[static_cast<size_t>(k)].frequency - table[static_cast<size_t>(c)].frequency);
  };
  std::vector<size_t> order(asked.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int da = depth(asked[a]), db = depth(asked[b]);
    if (da != db) return da < db;
    return spacing(asked[a]) > spacing(asked[b]);
  });
  std::vector<std::pair<size_t, TideDropped>> drops;
  for (size_t position : order) {
    const int k = asked[position];
    const TideConstituent& c = table[static_cast<size_t>(k)];
    if (c.frequency >= nyquist) {
      drops.push_back({position, {c.name, Fmt("above the Nyquist frequency of the sampling (%.4f cycles/hour)", nyquist)}});
      continue;
    }
    if (c.frequency < resolution) {
      drops.push_back({position, {c.name, Fmt("not resolved from the mean in %.1f days (needs %.1f)", spanHours / 24.0,
                                              options.rayleigh / c.frequency / 24.0)}});
      continue;
    }
    bool kept = true;
    for (int other : chosen) {
      const TideConstituent& o = table[static_cast<size_t>(other)];
      const double apart = std::fabs(c.frequency - o.frequency);
      if (apart < resolution) {
        drops.push_back({position, {c.name, "not resolved from " + o.name +
                                                Fmt(" in %.1f days (needs %.1f)", spanHours / 24.0,
                                                    options.rayleigh / apart / 24.0)}});
        kept = false;
        break;
      }
    }
    if (kept) chosen.push_back(k);
  }
  std::stable_sort(drops.begin(), drops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& d : drops) dropped.push_back(std::move(d.second));
  std::sort(chosen.begin(), chosen.end());
  return true;
}

// Cholesky factor of the symmetric matrix a (n x n, upper part used) in
// place. A pivot below 1e-6 of its diagonal marks a column that the others
// explain all but a millionth of (its error would grow a thousandfold): the
// data cannot determine it. Its index is returned, or -1 when all are sound.
int Cholesky(std::vector<double>& a, int n) {
  std::vector<double> diagonal(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) diagonal[static_cast<size_t>(i)] = a[static_cast<size_t>(i * n + i)];
  for (int j = 0; j < n; ++j) {
    double d = a[static_cast<size_t>(j * n + j)];
    for (int k = 0; k < j; ++k) d -= a[static_cast<size_t>(k * n + j)] * a[static_cast<size_t>(k * n + j)];
    if (!(d > 1e-6 * diagonal[static_cast<size_t>(j)]) || !(d > 0)) return j;
    const double r = std::sqrt(d);
    a[static_cast<size_t>(j * n + j)] = r;
    for (int i = j + 1; i < n; ++i) {
      double s = a[static_cast<size_t>(j * n + i)];
      for (int k = 0; k < j; ++k) s -= a[static_cast<size_t>(k * n + j)] * a[static_cast<size_t>(k * n + i)];
      a[static_cast<size_t>(j * n + i)] = s / r;
    }
  }
  return -1;
}

// With a = R^T R (R upper, row-major in a): the inverse of the original matrix.
std::vector<double> InverseFromCholesky(const std::vector<double>& r, int n) {
  // Rinv, upper triangular.
  std::vector<double> ri(static_cast<size_t>(n * n), 0.0);
  for (int i = n - 1; i >= 0; --i) {
    ri[static_cast<size_t>(i * n + i)] = 1.0 / r[static_cast<size_t>(i * n + i)];
    for (int j = i + 1; j < n; ++j) {
      double s = 0;
      for (int k = i + 1; k <= j; ++k) s += r[static_cast<size_t>(i * n + k)] * ri[static_cast<size_t>(k * n + j)];
      ri[static_cast<size_t>(i * n + j)] = -s / r[static_cast<size_t>(i * n + i)];
    }
  }
  std::vector<double> inv(static_cast<size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double s = 0;
      for (int k = j; k < n; ++k) s += ri[static_cast<size_t>(i * n + k)] * ri[static_cast<size_t>(j * n + k)];
      inv[static_cast<size_t>(i * n + j)] = inv[static_cast<size_t>(j * n + i)] = s;
    }
  return inv;
}

// The design of the fit: column 0 the mean, then the trend (per day from the
// central time), then a cosine and a sine per constituent.
struct Design {
  std::vector<double> frequencies;  // cycles per hour
  bool trend = false;
  int Columns() const { return 1 + (trend ? 1 : 0) + 2 * static_cast<int>(frequencies.size()); }
  void Row(double hoursFromCentre, double* x) const {
    int c = 0;
    x[c++] = 1.0;
    if (trend) x[c++] = hoursFromCentre / 24.0;
    for (double f : frequencies) {
      const double a = kTwoPi * f * hoursFromCentre;
      x[c++] = std::cos(a);
      x[c++] = std::sin(a);
    }
  }
};

struct Fit {
  std::vector<double> beta;
  std::vector<double> inverse;  // (X^T X)^-1
  int failedColumn = -1;
};

Fit Solve(const Design& design, const std::vector<double>& hours, const std::vector<double>& y) {
  const int m = design.Columns();
  const size_t mm = static_cast<size_t>(m);
  std::vector<double> xtx(mm * mm, 0.0), xty(mm, 0.0);
  // Rows in blocks, column by column, so that each pair of columns is one
  // short dot product per block rather than a sweep of the matrix per row.
  constexpr size_t kBlock = 32;
  std::vector<double> block(mm * kBlock), row(mm);
  const size_t n = hours.size();
  for (size_t start = 0; start < n; start += kBlock) {
    const size_t count = std::min(kBlock, n - start);
    for (size_t r = 0; r < count; ++r) {
      design.Row(hours[start + r], row.data());
      for (size_t c = 0; c < mm; ++c) block[c * kBlock + r] = row[c];
    }
    for (size_t r = count; r < kBlock; ++r)
      for (size_t c = 0; c < mm; ++c) block[c * kBlock + r] = 0.0;
    for (size_t i = 0; i < mm; ++i) {
      const double* ci = &block[i * kBlock];
      double s = 0;
      for (size_t r = 0; r < count; ++r) s += ci[r] * y[start + r];
      xty[i] += s;
      for (size_t j = i; j < mm; ++j) {
        const double* cj = &block[j * kBlock];
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (size_t r = 0; r < kBlock; r += 4) {
          s0 += ci[r] * cj[r];
          s1 += ci[r + 1] * cj[r + 1];
          s2 += ci[r + 2] * cj[r + 2];
          s3 += ci[r + 3] * cj[r + 3];
        }
        xtx[i * mm + j] += (s0 + s1) + (s2 + s3);
      }
    }
  }
  Fit fit;
  std::vector<double> r = xtx;
  fit.failedColumn = Cholesky(r, m);
  if (fit.failedColumn >= 0) return fit;
  // R^T z = X^T y, then R beta = z.
  std::vector<double> z(mm);
  for (int i = 0; i < m; ++i) {
    double s = xty[static_cast<size_t>(i)];
    for (int k = 0; k < i; ++k) s -= r[static_cast<size_t>(k * m + i)] * z[static_cast<size_t>(k)];
    z[static_cast<size_t>(i)] = s / r[static_cast<size_t>(i * m + i)];
  }
  fit.beta.assign(mm, 0.0);
  for (int i = m - 1; i >= 0; --i) {
    double s = z[static_cast<size_t>(i)];
    for (int k = i + 1; k < m; ++k) s -= r[static_cast<size_t>(i * m + k)] * fit.beta[static_cast<size_t>(k)];
    fit.beta[static_cast<size_t>(i)] = s / r[static_cast<size_t>(i * m + i)];
  }
  fit.inverse = InverseFromCholesky(r, m);
  return fit;
}

// The tidal band (cycles per day) a frequency falls in: the long-period
// band, or the species band of half a cycle per day around 1, 2, 3 ...
std::pair<double, double> BandOf(double cyclesPerHour, double spanDays) {
  const double cpd = cyclesPerHour * 24.0;
  const double species = std::round(cpd);
  if (species < 1.0) return {1.0 / spanDays, 0.5};
  return {species - 0.25, species + 0.25};
}

// The residual's power in a band, as the variance of white noise of the
// same spectral level: the mean over the band of |sum r e^{-i 2 pi f t}|^2 / n,
// left out near the fitted frequencies (where the fit has taken the power
// out). Nothing when the band has no frequency to use.
std::optional<double> BandNoise(const std::vector<double>& hours, const std::vector<double>& residual, double low,
                                double high, double spanDays, const std::vector<double>& fitted) {
  const double resolution = 1.0 / spanDays;  // cycles per day
  constexpr int kMaxLines = 32;
  const double step = std::max(resolution / 2.0, (high - low) / kMaxLines);
  const int count = static_cast<int>(std::floor((high - low) / step)) + 1;
  std::vector<char> use(static_cast<size_t>(count), 1);
  int used = 0;
  for (int k = 0; k < count; ++k) {
    const double f = low + k * step;
    bool nearFit = f < resolution;  // the mean and trend
    for (double g : fitted)
      if (std::fabs(f - g * 24.0) < 0.75 * resolution) nearFit = true;
    use[static_cast<size_t>(k)] = !nearFit;
    used += nearFit ? 0 : 1;
  }
  if (used == 0) return std::nullopt;
  // The lines are evenly spaced: one phasor per reading, turned line by line.
  std::vector<std::complex<double>> sums(static_cast<size_t>(count));
  for (size_t i = 0; i < hours.size(); ++i) {
    const double t = hours[i];
    std::complex<double> e = std::polar(residual[i], -kTwoPi * low / 24.0 * t);
    const std::complex<double> turn = std::polar(1.0, -kTwoPi * step / 24.0 * t);
    for (int k = 0; k < count; ++k) {
      sums[static_cast<size_t>(k)] += e;
      e *= turn;
    }
  }
  double total = 0;
  for (int k = 0; k < count; ++k)
    if (use[static_cast<size_t>(k)]) total += std::norm(sums[static_cast<size_t>(k)]);
  return total / used / static_cast<double>(hours.size());
}

}  // namespace

TideOutcome AnalyseTide(const TideSeries& series, const TideAnalysisOptions& options) {
  TideOutcome outcome;
  if (series.times.size() != series.levels.size()) {
    outcome.error = "The series has times and levels of different lengths.";
    return outcome;
  }
  if (!(options.rayleigh > 0) || !std::isfinite(options.rayleigh)) {
    outcome.error = "The Rayleigh factor must be a positive number.";
    outcome.usageError = true;
    return outcome;
  }
  std::vector<double> hours, y;
  for (size_t i = 0; i < series.times.size(); ++i) {
    if (i > 0 && !(series.times[i] > series.times[i - 1])) {
      outcome.error = "The times are " + std::string(series.times[i] == series.times[i - 1] ? "repeated" : "out of order") +
                      " at reading " + std::to_string(i + 1) + " (" + TideTimeText(series.times[i]) + ").";
      return outcome;
    }
    if (std::isfinite(series.levels[i]) && std::isfinite(series.times[i])) {
      hours.push_back(series.times[i]);
      y.push_back(series.levels[i]);
    }
  }
  if (hours.empty()) {
    outcome.error = "The series holds no valid water level.";
    return outcome;
  }
  const double start = hours.front(), end = hours.back();
  const double span = end - start;
  if (span < 24.0) {
    outcome.error = Fmt("The valid readings span %.1f hours; a tide analysis needs at least a day.", span);
    return outcome;
  }
  const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
  const double sampleMean = [&] {
    double s = 0;
    for (double v : y) s += v;
    return s / static_cast<double>(y.size());
  }();
  if (*hi - *lo <= 1e-9 * std::max(1.0, std::fabs(sampleMean))) {
    outcome.error = Fmt("The water level does not change (%.4f throughout): there is no tide to analyse.", sampleMean);
    return outcome;
  }
  // Nyquist frequency of the typical (median) interval.
  std::vector<double> steps;
  steps.reserve(hours.size());
  for (size_t i = 1; i < hours.size(); ++i) steps.push_back(hours[i] - hours[i - 1]);
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  const double nyquist = 0.5 / steps[steps.size() / 2];

  TideAnalysis a;
  a.unit = series.unit;
  a.start = start;
  a.end = end;
  a.centre = start + span / 2.0;
  a.validCount = static_cast<int>(hours.size());
  a.latitude = options.latitude;
  a.rayleigh = options.rayleigh;
  a.hasTrend = options.trend;

  std::vector<int> chosen;
  if (!ChooseConstituents(options, span, nyquist, chosen, a.dropped, outcome.error)) {
    outcome.usageError = true;
    return outcome;
  }

  const auto& table = TideConstituents();
  std::vector<double> centred(hours.size()), yc(y.size());
  for (size_t i = 0; i < hours.size(); ++i) {
    centred[i] = hours[i] - a.centre;
    yc[i] = y[i] - sampleMean;
  }
  const int offset = options.trend ? 2 : 1;
  Design design;
  design.trend = options.trend;
  Fit fit;
  for (;;) {
    design.frequencies.clear();
    for (int k : chosen) design.frequencies.push_back(table[static_cast<size_t>(k)].frequency);
    if (static_cast<size_t>(design.Columns()) > hours.size()) {
      outcome.error = "The series has fewer readings than the fit has unknowns.";
      return outcome;
    }
    fit = Solve(design, centred, yc);
    if (fit.failedColumn < 0) break;
    if (fit.failedColumn < offset) {
      outcome.error = "The readings cannot determine the mean" + std::string(options.trend ? " and trend." : ".");
      return outcome;
    }
    const size_t k = static_cast<size_t>((fit.failedColumn - offset) / 2);
    a.dropped.push_back({table[static_cast<size_t>(chosen[k])].name, "not resolved by the times of the readings (gaps)"});
    chosen.erase(chosen.begin() + static_cast<long>(k));
  }

  // Residual and its variance.
  std::vector<double> residual(hours.size());
  std::vector<double> x(static_cast<size_t>(design.Columns()));
  double observed = 0, rss = 0;
  for (size_t i = 0; i < hours.size(); ++i) {
    design.Row(centred[i], x.data());
    double p = 0;
    for (size_t c = 0; c < x.size(); ++c) p += x[c] * fit.beta[c];
    residual[i] = yc[i] - p;
    observed += yc[i] * yc[i];
    rss += residual[i] * residual[i];
  }
  const double n = static_cast<double>(hours.size());
  const double dof = std::max(1.0, n - static_cast<double>(design.Columns()));
  const double white = rss / dof;
  a.observedVariance = observed / n;
  a.residualVariance = rss / n;
  const size_t m = static_cast<size_t>(design.Columns());
  a.mean = fit.beta[0] + sampleMean;
  a.meanCi = kZ95 * std::sqrt(white * fit.inverse[0]);
  if (options.trend) {
    a.trendPerDay = fit.beta[1];
    a.trendCi = kZ95 * std::sqrt(white * fit.inverse[1 * m + 1]);
  }

  // Noise level per band, from the residual.
  const double spanDays = span / 24.0;
  std::vector<std::pair<std::pair<double, double>, double>> bands;
  auto noiseFor = [&](double frequency) {
    std::pair<double, double> band = BandOf(frequency, spanDays);
    band.second = std::min(band.second, nyquist * 24.0);
    for (const auto& b : bands)
      if (b.first == band) return b.second;
    const std::optional<double> level =
        band.second > band.first ? BandNoise(centred, residual, band.first, band.second, spanDays, design.frequencies)
                                 : std::nullopt;
    const double v = level ? *level : white;
    bands.push_back({band, v});
    return v;
  };

  const std::vector<NodalCorrection> nodal = NodalCorrections(a.centre, options.latitude);
  for (size_t j = 0; j < chosen.size(); ++j) {
    const size_t k = static_cast<size_t>(chosen[j]);
    const TideConstituent& c = table[k];
    const size_t ic = static_cast<size_t>(offset) + 2 * j, is = ic + 1;
    const double xc = fit.beta[ic], xs = fit.beta[is];
    const double noise = noiseFor(c.frequency);
    const double vcc = noise * fit.inverse[ic * m + ic], vss = noise * fit.inverse[is * m + is],
                 vcs = noise * fit.inverse[ic * m + is];
    const double r2 = xc * xc + xs * xs;
    const double r = std::sqrt(r2);
    TideConstituentFit out;
    out.name = c.name;
    out.frequency = c.frequency;
    const NodalCorrection& nc = nodal[k];
    const double f = nc.f > 1e-6 ? nc.f : 1e-6;
    out.amplitude = r / f;
    out.phase = Wrap360(std::atan2(xs, xc) * 180.0 / (kTwoPi / 2.0) + 360.0 * (nc.v + nc.u));
    if (r2 > 0) {
      const double varR = std::max(0.0, (xc * xc * vcc + xs * xs * vss + 2.0 * xc * xs * vcs) / r2);
      const double varPhase = std::max(0.0, (xs * xs * vcc + xc * xc * vss - 2.0 * xc * xs * vcs) / (r2 * r2));
      out.amplitudeCi = kZ95 * std::sqrt(varR) / f;
      out.phaseCi = std::min(180.0, kZ95 * std::sqrt(varPhase) * 180.0 / (kTwoPi / 2.0));
      out.snr = varR > 0 ? r2 / varR : std::numeric_limits<double>::infinity();
    } else {
      out.amplitudeCi = kZ95 * std::sqrt(std::max(vcc, vss)) / f;
      out.phaseCi = 180.0;
      out.snr = 0.0;
    }
    a.constituents.push_back(out);
  }
  outcome.analysis = std::move(a);
  return outcome;
}

std::vector<double> PredictTide(const TideAnalysis& analysis, const std::vector<TideHours>& times,
                                std::optional<TideHours> reference) {
  std::vector<double> out(times.size(), analysis.mean);
  if (times.empty()) return out;
  const TideHours ref = reference ? *reference : times.front() + (times.back() - times.front()) / 2.0;
  const std::vector<NodalCorrection> nodal = NodalCorrections(ref, analysis.latitude);
  struct Term {
    double frequency, amplitude, phase;  // cycles per hour, unit, radians at ref
  };
  std::vector<Term> terms;
  for (const TideConstituentFit& c : analysis.constituents) {
    const std::optional<int> k = FindTideConstituent(c.name);
    if (!k) continue;
    const NodalCorrection& n = nodal[static_cast<size_t>(*k)];
    const double frequency = TideConstituents()[static_cast<size_t>(*k)].frequency;
    terms.push_back({frequency, n.f * c.amplitude, kTwoPi * (n.v + n.u) - c.phase * kTwoPi / 360.0});
  }
  for (size_t i = 0; i < times.size(); ++i) {
    double v = analysis.mean;
    if (analysis.hasTrend) v += analysis.trendPerDay * (times[i] - analysis.centre) / 24.0;
    const double dt = times[i] - ref;
    for (const Term& t : terms) v += t.amplitude * std::cos(kTwoPi * t.frequency * dt + t.phase);
    out[i] = v;
  }
  return out;
}

std::string TideTimeText(TideHours t) {
  const double seconds = std::round(t * 3600.0);
  const uint64_t base = ToTicks(LoggerTime{2000, 1, 6, 1, 0, 0, 0, 0});
  const int64_t ticks = static_cast<int64_t>(base) + static_cast<int64_t>(seconds) * static_cast<int64_t>(kTicksPerSecond);
  const LoggerTime lt = FromTicks(static_cast<uint64_t>(std::max<int64_t>(ticks, 0)));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", lt.year, lt.month, lt.day, lt.hour, lt.minute,
                lt.second);
  return text;
}

std::optional<TideHours> ParseTideTime(const std::string& text, int defaultOffsetMinutes) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double s = 0;
  const char* p = text.c_str();
  while (*p == ' ' || *p == '"') ++p;
  int used = 0;
  if (std::sscanf(p, "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10) return std::nullopt;
  p += used;
  if (*p != 'T' && *p != ' ') return std::nullopt;
  ++p;
  if (std::sscanf(p, "%2d:%2d%n", &h, &mi, &used) != 2 || used != 5) return std::nullopt;
  p += used;
  if (*p == ':') {
    ++p;
    char* endp = nullptr;
    s = std::strtod(p, &endp);
    if (endp == p) return std::nullopt;
    p = endp;
  }
  int offset = defaultOffsetMinutes;
  if (*p == 'Z') {
    offset = 0;
    ++p;
  } else if (*p == '+' || *p == '-') {
    int oh = 0, om = 0;
    if (std::sscanf(p + 1, "%2d:%2d%n", &oh, &om, &used) != 2 || used != 5) return std::nullopt;
    offset = (*p == '-' ? -1 : 1) * (oh * 60 + om);
    p += 1 + used;
  }
  while (*p == ' ' || *p == '"' || *p == '\r') ++p;
  if (*p != '\0') return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s < 0 || s >= 61 || y < 1700 || y > 2200)
    return std::nullopt;
  // Days from 2000-01-01 of the civil date.
  const uint64_t t0 = ToTicks(LoggerTime{2000, 1, 6, 1, 0, 0, 0, 0});
  const uint64_t td = ToTicks(LoggerTime{static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0,
                                         static_cast<uint16_t>(d), 0, 0, 0, 0});
  const double days = (static_cast<double>(td) - static_cast<double>(t0)) / (86400.0 * kTicksPerSecond);
  return days * 24.0 + h + mi / 60.0 + s / 3600.0 - offset / 60.0;
}

std::string TideTableText(const TideAnalysis& a) {
  std::string out = "# Harmonic tide analysis\n";
  out += "# start," + TideTimeText(a.start) + "\n";
  out += "# end," + TideTimeText(a.end) + "\n";
  out += "# centre," + TideTimeText(a.centre) + "\n";
  out += "# readings," + std::to_string(a.validCount) + "\n";
  out += Fmt("# latitude,%.4f\n", a.latitude);
  out += Fmt("# rayleigh,%.3f\n", a.rayleigh);
  out += "# unit," + a.unit + "\n";
  out += Fmt("# mean,%.6f,%.6f\n", a.mean, a.meanCi);
  if (a.hasTrend) out += Fmt("# trend_per_day,%.8f,%.8f\n", a.trendPerDay, a.trendCi);
  for (const TideDropped& d : a.dropped) out += "# dropped," + d.name + "," + d.reason + "\n";
  out += "name,frequency_cph,amplitude,amplitude_ci95,phase_deg,phase_ci95_deg,snr\n";
  for (const TideConstituentFit& c : a.constituents) {
    char line[200];
    std::snprintf(line, sizeof line, "%s,%.10f,%.6f,%.6f,%.3f,%.3f,", c.name.c_str(), c.frequency, c.amplitude,
                  c.amplitudeCi, c.phase, c.phaseCi);
    out += line;
    out += std::isfinite(c.snr) ? Fmt("%.4g", c.snr) : std::string("inf");
    out += "\n";
  }
  return out;
}

std::optional<TideAnalysis> ParseTideTable(const std::string& text, std::string& error) {
  TideAnalysis a;
  std::istringstream in(text);
  std::string line;
  bool header = false, haveCentre = false;
  int number = 0;
  auto fields = [](const std::string& s) {
    std::vector<std::string> f;
    std::string cur;
    for (char ch : s) {
      if (ch == ',') {
        f.push_back(cur);
        cur.clear();
      } else if (ch != '\r') {
        cur += ch;
      }
    }
    f.push_back(cur);
    return f;
  };
  auto number_of = [](const std::string& s, double& v) {
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end != s.c_str() && std::isfinite(v);
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#') {
      const auto f = fields(line.substr(line.find_first_not_of("# ")));
      double v = 0;
      if (f[0] == "centre" && f.size() > 1) {
        const auto t = ParseTideTime(f[1]);
        if (t) {
          a.centre = *t;
          haveCentre = true;
        }
      } else if (f[0] == "start" && f.size() > 1) {
        if (const auto t = ParseTideTime(f[1])) a.start = *t;
      } else if (f[0] == "end" && f.size() > 1) {
        if (const auto t = ParseTideTime(f[1])) a.end = *t;
      } else if (f[0] == "latitude" && f.size() > 1 && number_of(f[1], v)) {
        a.latitude = v;
      } else if (f[0] == "unit" && f.size() > 1) {
        a.unit = f[1];
      } else if (f[0] == "mean" && f.size() > 1 && number_of(f[1], v)) {
        a.mean = v;
      } else if (f[0] == "trend_per_day" && f.size() > 1 && number_of(f[1], v)) {
        a.hasTrend = true;
        a.trendPerDay = v;
      }
      continue;
    }
    const auto f = fields(line);
    if (!header) {
      if (f.size() < 5 || f[0] != "name") {
        error = "Line " + std::to_string(number) + " is not the heading of a constituent table.";
        return std::nullopt;
      }
      header = true;
      continue;
    }
    TideConstituentFit c;
    double amplitude = 0, phase = 0;
    if (f.size() < 5 || !FindTideConstituent(f[0]) || !number_of(f[2], amplitude) || !number_of(f[4], phase)) {
      error = "Line " + std::to_string(number) + " of the constituent table cannot be read: " + line;
      return std::nullopt;
    }
    c.name = TideConstituents()[static_cast<size_t>(*FindTideConstituent(f[0]))].name;
    c.frequency = TideConstituents()[static_cast<size_t>(*FindTideConstituent(f[0]))].frequency;
    c.amplitude = amplitude;
    c.phase = phase;
    a.constituents.push_back(c);
  }
  if (!header) {
    error = "The file holds no constituent table.";
    return std::nullopt;
  }
  if (a.hasTrend && !haveCentre) {
    error = "The table has a trend but no central time.";
    return std::nullopt;
  }
  return a;
}

std::string TideSeriesCsvText(const TideSeries& series, const std::vector<double>& predicted) {
  std::string out = "time,observed,predicted,residual\r\n";
  out.reserve(series.times.size() * 56 + 40);
  char line[128];
  for (size_t i = 0; i < series.times.size(); ++i) {
    const double obs = series.levels[i];
    const double pred = i < predicted.size() ? predicted[i] : std::numeric_limits<double>::quiet_NaN();
    out += TideTimeText(series.times[i]);
    if (std::isfinite(obs)) {
      std::snprintf(line, sizeof line, ",%.4f,%.4f,%.4f\r\n", obs, pred, obs - pred);
    } else {
      std::snprintf(line, sizeof line, ",,%.4f,\r\n", pred);
    }
    out += line;
  }
  return out;
}

std::optional<TideSeries> ParseTideCsv(const std::string& text, int defaultOffsetMinutes, std::string& error) {
  TideSeries series;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t comma = line.find(',');
    const std::string timeText = line.substr(0, comma);
    const std::optional<TideHours> t = ParseTideTime(timeText, defaultOffsetMinutes);
    if (!t) {
      if (series.times.empty() && number == 1) continue;  // a heading
      error = "Line " + std::to_string(number) + ": '" + timeText + "' is not an ISO 8601 time.";
      return std::nullopt;
    }
    double level = std::numeric_limits<double>::quiet_NaN();
    if (comma != std::string::npos) {
      std::string v = line.substr(comma + 1);
      const size_t next = v.find(',');
      if (next != std::string::npos) v.erase(next);
      while (!v.empty() && (v.back() == ' ' || v.back() == '"')) v.pop_back();
      size_t lead = 0;
      while (lead < v.size() && (v[lead] == ' ' || v[lead] == '"')) ++lead;
      v.erase(0, lead);
      if (!v.empty() && v != "nan" && v != "NaN" && v != "NA") {
        char* end = nullptr;
        const double d = std::strtod(v.c_str(), &end);
        if (end == v.c_str() || *end != '\0') {
          error = "Line " + std::to_string(number) + ": '" + v + "' is not a water level.";
          return std::nullopt;
        }
        if (std::isfinite(d) && d > -1000.0) level = d;
      }
    }
    if (!series.times.empty() && !(*t > series.times.back())) {
      error = "Line " + std::to_string(number) + ": the time " + timeText +
              (*t == series.times.back() ? " repeats the one before." : " comes before the one above it.");
      return std::nullopt;
    }
    series.times.push_back(*t);
    series.levels.push_back(level);
  }
  if (series.times.empty()) {
    error = "The file holds no time,level line.";
    return std::nullopt;
  }
  return series;
}

}  // namespace tmv
