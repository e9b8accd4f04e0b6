#include "analysis/DerivedChannels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "analysis/SalinityColumn.h"
#include "analysis/SeawaterFormulas.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();

bool Valid(float v) { return IsValidValue(v); }

// The columns and constants one row needs, gathered once per computation.
struct RowPlan {
  const DerivedInputs& in;
  DataSet& d;
  DerivedRoles roles;
  DerivedColumns cols;
  bool ct = false;  // conductivity and temperature both measured
  float atmospheric = 0.0f;
  const float* pressure = nullptr;
  const float* temperature = nullptr;
  const float* conductivity = nullptr;
  const float* saturation = nullptr;
  const float* optode = nullptr;
  const float* first = nullptr;  // the micro-salinometer's three channels
  const float* second = nullptr;
  const float* third = nullptr;
  size_t n = 0;  // sampleCount: the minimum's slot
  const FormulaValidity* soundValidity = nullptr;  // the chosen sound speed formula's range
  float soundRangeOffset = 0.0f;                   // added to the sea pressure for that range (Wilson's is absolute)
  // Each derived column's values and range marks, looked up once.
  std::array<float*, kMaxColumns> values{};
  std::array<uint8_t*, kMaxColumns> marks{};

  RowPlan(const DerivedInputs& inputs, DataSet& data) : in(inputs), d(data) {
    roles = FindDerivedRoles(data);
    cols = FindDerivedColumns(data);
    ct = roles.conductivity >= 0 && roles.temperature >= 0;
    atmospheric = inputs.settings.atmosphericPressure;
    auto column = [&](int c) -> const float* { return c >= 0 ? data.Column(c) : nullptr; };
    pressure = column(roles.pressure);
    temperature = column(roles.temperature);
    conductivity = column(roles.conductivity);
    saturation = column(roles.saturation);
    optode = column(roles.optode);
    if (data.channelCount >= 3) {
      first = data.Column(0);
      second = data.Column(1);
      third = data.Column(2);
    }
    n = static_cast<size_t>(std::max(data.sampleCount, 0));
    soundValidity = &SoundSpeedValidity(inputs.settings.speedOfSoundFormula);
    soundRangeOffset = static_cast<float>(SoundSpeedRangePressure(inputs.settings.speedOfSoundFormula, 0.0, atmospheric));
    for (int c = std::max(data.channelCount, 0); c < std::min(data.totalChannelCount, kMaxColumns); ++c) {
      values[static_cast<size_t>(c)] = data.Column(c);
      marks[static_cast<size_t>(c)] = data.RangeMarks(c);
    }
  }

  // Stores a value and lets a valid one widen the column's range; `outside`
  // marks one computed from inputs outside its formula's published range.
  void Store(int column, size_t row, double value, bool outside = false) const {
    float* col = values[static_cast<size_t>(column)];
    float f = static_cast<float>(value);
    if (!std::isfinite(f)) f = kInvalidValue;  // not a number: not computed
    col[row] = f;
    if (!Valid(f)) return;
    // The marks were cleared for the rows being computed (ClearMarks): only
    // the rare value outside its range costs a store.
    if (outside) marks[static_cast<size_t>(column)][row] = 1;
    if (f <= col[n]) col[n] = f;
    if (f >= col[n + 1]) col[n + 1] = f;
  }

  // Sea pressure as the salinity formula receives it, rounded as the
  // whole-column path rounds it; not a number when the reading is invalid.
  float SeaPressure(size_t r) const {
    if (pressure == nullptr) return in.settings.hydrostaticPressure;
    const float p = pressure[r];
    return Valid(p) ? static_cast<float>(static_cast<double>(p) - atmospheric) : kNotANumber;
  }

  // The conductivity the salinity formula receives [mS/cm] (corrected when
  // that column exists); the marker when it cannot be had.
  float SalinityConductivity(size_t r, float corrected) const {
    const float c = cols.correctedConductivity >= 0 ? corrected : conductivity[r];
    if (!Valid(c)) return kInvalidValue;
    return in.conductivityMilliSiemens ? c : static_cast<float>(static_cast<double>(c) / 1000.0);
  }

  float Corrected(size_t r) const {
    const float c = conductivity[r], t = temperature[r];
    if (!Valid(c) || !Valid(t)) return kInvalidValue;
    double p = in.settings.hydrostaticPressure;
    if (pressure != nullptr) {
      // An invalid pressure would enter the correction as a pressure of -1000 dBar.
      if (!Valid(pressure[r])) return kInvalidValue;
      p = static_cast<double>(pressure[r]) - atmospheric;
    }
    const double v = CorrectConductivity(in.correction, c, t, p);
    return IsValidValue(v) ? static_cast<float>(v) : kInvalidValue;
  }

  float Salinity(size_t r, float corrected) const {
    double s;
    if (pressure == nullptr && in.ratioSalinometer && first != nullptr) {
      const float a = first[r], b = second[r], c = third[r];
      if (!Valid(a) || !Valid(b) || !Valid(c)) return kInvalidValue;
      s = SalinityPss78(static_cast<double>(a) / c, b, 0.0, 1);
    } else {
      s = SalinityPss78(SalinityConductivity(r, corrected), temperature[r], SeaPressure(r), 0);
    }
    const float f = static_cast<float>(s);
    return Valid(f) ? f : kInvalidValue;
  }

  // Whether s, t and a pressure lie within a formula's range. The weather
  // moves the atmosphere up to about 1 dBar from the setting, so a reading
  // at the surface can lie just below it: that is the surface, not outside.
  static bool Within(const FormulaValidity& v, double s, double t, double pressure) {
    return v.salinity.Holds(s) && v.temperature.Holds(t) && pressure >= v.third.low - 1.0 && pressure <= v.third.high;
  }

  // Whether a salinity lies outside the range of PSS-78, or came from a
  // temperature or sea pressure outside it; `sea` is SeaPressure(r).
  bool SalinityOutside(size_t r, float salinity, float sea) const {
    if (!Valid(salinity)) return false;
    if (pressure == nullptr && in.ratioSalinometer && first != nullptr)
      return !kPss78Validity.Holds(salinity, second[r], 0.0);
    return !Within(kPss78Validity, salinity, temperature[r], sea);
  }

  // One row; `given` is the row's salinity when it was computed already
  // (whole-column path), not a number otherwise.
  void Row(size_t r, float given, float givenCorrected) const {
    const DerivedSettings& s = in.settings;
    if (cols.depth >= 0) Store(cols.depth, r, DepthFromPressure(s, pressure[r]));
    float salinity = kInvalidValue;
    bool salinityOutside = false;
    if (!ct) {
      if (cols.oxygenConcentration >= 0) {
        const double t = temperature != nullptr ? temperature[r] : s.fixedTemperature;
        Store(cols.oxygenConcentration, r,
              Valid(saturation[r]) ? OxygenConcentrationWeiss(t, s.fixedSalinity, saturation[r], s.oxygenUnit)
                                   : kInvalidValue,
              !kWeissValidity.Holds(s.fixedSalinity, t, saturation[r]));
      }
      if (cols.optodeSaturation >= 0 && optode != nullptr) {
        // Without a temperature channel the dialog's fixed temperature stands in.
        const double t = temperature != nullptr ? temperature[r] : s.fixedTemperature;
        Store(cols.optodeSaturation, r, OxygenSaturationGarciaGordon(t, s.fixedSalinity, optode[r]),
              !kGarciaGordonValidity.Holds(s.fixedSalinity, t, optode[r]));
      }
    } else {
      float corrected = kInvalidValue;
      if (cols.correctedConductivity >= 0) {
        corrected = std::isnan(givenCorrected) ? Corrected(r) : givenCorrected;
        Store(cols.correctedConductivity, r, corrected);
      }
      salinity = std::isnan(given) ? Salinity(r, corrected) : given;
      // A value computed from a salinity outside its range is outside too.
      const float sea = SeaPressure(r);
      salinityOutside = SalinityOutside(r, salinity, sea);
      const float t = temperature[r];
      if (cols.soundSpeed >= 0) {
        double speed = kInvalidValue;
        bool outside = false;
        const bool pressureOk = pressure == nullptr || Valid(pressure[r]);
        if (Valid(conductivity[r]) && Valid(t) && pressureOk && Valid(salinity)) {
          // Chen-Millero and del Grosso take the sea pressure, Wilson the
          // absolute one; without a pressure channel the hydrostatic
          // pressure is the sea pressure, as for salinity.
          const double seaPressure = pressure != nullptr ? static_cast<double>(pressure[r]) - atmospheric
                                                         : static_cast<double>(s.hydrostaticPressure);
          speed = SoundSpeed(s.speedOfSoundFormula, salinity, seaPressure, atmospheric, t);
          outside = salinityOutside || !Within(*soundValidity, salinity, t, sea + soundRangeOffset);
        }
        Store(cols.soundSpeed, r, speed, outside);
      }
      if (cols.salinity >= 0) Store(cols.salinity, r, salinity, salinityOutside);
      if (cols.specificConductivity >= 0) Store(cols.specificConductivity, r, SpecificConductivity(conductivity[r], t));
      if (cols.oxygenConcentration >= 0)
        Store(cols.oxygenConcentration, r,
              Valid(salinity) ? OxygenConcentrationWeiss(t, salinity, saturation[r], s.oxygenUnit) : kInvalidValue,
              salinityOutside || !kWeissValidity.Holds(salinity, t, saturation[r]));
      if (cols.optodeSaturation >= 0 && optode != nullptr)
        Store(cols.optodeSaturation, r,
              Valid(salinity) ? OxygenSaturationGarciaGordon(t, salinity, optode[r]) : kInvalidValue,
              salinityOutside || !kGarciaGordonValidity.Holds(salinity, t, optode[r]));
    }
    if (cols.optodeConcentration >= 0)
      Store(cols.optodeConcentration, r, Valid(optode[r]) ? OptodeConcentration(optode[r], s.optodeUnit) : kInvalidValue);
    if (cols.densityAnomaly >= 0 && temperature != nullptr) {
      // Measured salinity wherever conductivity and temperature give one; the
      // fixed salinity only stands in for a missing conductivity channel.
      double anomaly = kInvalidValue;
      if (ct) {
        const double p = pressure != nullptr
                             ? (Valid(pressure[r]) ? static_cast<double>(pressure[r]) - atmospheric : kInvalidValue)
                             : 0.0;
        if (Valid(salinity)) anomaly = DensityAnomaly(salinity, temperature[r], p);
      } else if (pressure != nullptr && Valid(pressure[r])) {
        anomaly = DensityAnomaly(s.fixedSalinity, temperature[r], static_cast<double>(pressure[r]) - atmospheric);
      }
      // EOS-80 refuses its own range (the marker); a salinity outside PSS-78's marks it.
      Store(cols.densityAnomaly, r, anomaly, ct && salinityOutside);
    }
    if (cols.waveHeight >= 0)
      Store(cols.waveHeight, r, in.waveHeightAt ? in.waveHeightAt(d, static_cast<int>(r)) : kInvalidValue);
  }

  void ResetRanges() const {
    for (int c = d.channelCount; c < d.totalChannelCount; ++c) {
      float* col = d.Column(c);
      col[n] = kDerivedMinimumStart;
      col[n + 1] = kDerivedMaximumStart;
    }
  }

  // Clears the range marks of the derived columns in rows first..first+count-1.
  void ClearMarks(size_t first, size_t count) const {
    for (int c = std::max(d.channelCount, 0); c < std::min(d.totalChannelCount, kMaxColumns); ++c)
      if (uint8_t* m = marks[static_cast<size_t>(c)]) std::fill(m + first, m + first + count, uint8_t{0});
  }
};

bool HasRowWork(const DerivedInputs& in, const DataSet& d) {
  if (d.totalChannelCount <= d.channelCount) return false;
  return in.settings.anyDerived || (d.burstLength > 0 && d.burstCount >= 0);
}

}  // namespace

DerivedRoles FindDerivedRoles(const DataSet& data) {
  DerivedRoles roles;
  const int count = std::clamp(data.channelCount, 0, kMaxChannels);
  for (int c = 0; c < count; ++c) {
    const uint8_t t = data.channelTypes[static_cast<size_t>(c)];
    if ((t == 'P' || t == 'L') && roles.pressure < 0) roles.pressure = c;
    if (t == 'T' && roles.temperature < 0) roles.temperature = c;
    if (t == 'C' && roles.conductivity < 0) roles.conductivity = c;
    if ((t == 'D' || t == 'K') && roles.saturation < 0) roles.saturation = c;
    if (t == 'J' && roles.optode < 0) roles.optode = c;
  }
  return roles;
}

DerivedColumns FindDerivedColumns(const DataSet& data) {
  DerivedColumns cols;
  const int total = std::clamp(data.totalChannelCount, 0, kMaxColumns);
  for (int c = std::max(data.channelCount, 0); c < total; ++c) {
    switch (data.columnCodes[static_cast<size_t>(c)]) {
      case kDepthCode: cols.depth = c; break;
      case kSalinityCode: cols.salinity = c; break;
      case kCorrectedConductivityCode: cols.correctedConductivity = c; break;
      case kSpecificConductivityCode: cols.specificConductivity = c; break;
      case kOxygenConcentrationCode: cols.oxygenConcentration = c; break;
      case kSoundSpeedUnescoCode:
      case kSoundSpeedDelGrossoCode:
      case kSoundSpeedWilsonCode: cols.soundSpeed = c; break;
      case kDensityAnomalyCode: cols.densityAnomaly = c; break;
      case kWaveHeightCode: cols.waveHeight = c; break;
      case kTidalSlopeCode: cols.tidalSlope = c; break;
      case kOptodeConcentrationCode: cols.optodeConcentration = c; break;
      case kOptodeSaturationCode: cols.optodeSaturation = c; break;
      default: break;
    }
  }
  return cols;
}

uint8_t ValueQuality(const DataSet& data, int column, int row) {
  if (column < 0 || column >= data.totalChannelCount || row < 0 || row >= data.sampleCount) return kQualityMissing;
  const float v = data.Value(column, row);
  if (!std::isfinite(v) || !IsValidValue(v)) return kQualityMissing;
  return data.OutsideFormulaRange(column, row) ? kQualityOutsideRange : kQualityGood;
}

uint8_t SoundSpeedCode(SoundSpeedFormula formula) {
  switch (formula) {
    case SoundSpeedFormula::DelGrosso: return kSoundSpeedDelGrossoCode;
    case SoundSpeedFormula::Wilson: return kSoundSpeedWilsonCode;
    case SoundSpeedFormula::Unesco: break;
  }
  return kSoundSpeedUnescoCode;
}

void RemoveDerivedColumns(DataSet& data) {
  if (data.Stride() > 0) data.LayOut(std::clamp(data.channelCount, 1, kMaxColumns), data.Stride() - 2);
  for (int c = std::max(data.channelCount, 0); c < kMaxColumns; ++c) data.columnCodes[static_cast<size_t>(c)] = 0;
  data.totalChannelCount = data.channelCount;
}

int AppendDerivedColumns(DataSet& data, const DerivedSettings& s) {
  RemoveDerivedColumns(data);
  if (!s.anyDerived || data.Stride() == 0) return 0;
  const DerivedRoles roles = FindDerivedRoles(data);
  std::vector<uint8_t> codes;
  if (roles.pressure >= 0 && s.depthEnabled) codes.push_back(kDepthCode);
  const bool weiss = s.oxygenConcentrationEnabled && roles.saturation >= 0;
  if (roles.conductivity >= 0 && roles.temperature >= 0) {
    if (s.salinityEnabled) codes.push_back(kSalinityCode);
    if (s.conductivityCorrectionEnabled) codes.push_back(kCorrectedConductivityCode);
    if (s.specificConductivityEnabled) codes.push_back(kSpecificConductivityCode);
    if (weiss) codes.push_back(kOxygenConcentrationCode);
    if (s.speedOfSoundEnabled) codes.push_back(SoundSpeedCode(s.speedOfSoundFormula));
  } else if (weiss) {
    codes.push_back(kOxygenConcentrationCode);
  }
  if (s.densityAnomalyEnabled && roles.temperature >= 0 && (roles.pressure >= 0 || roles.conductivity >= 0))
    codes.push_back(kDensityAnomalyCode);
  if (data.burstLength > 0) {
    codes.push_back(kWaveHeightCode);
    codes.push_back(kTidalSlopeCode);
  }
  if (roles.optode >= 0) {
    if (s.optodeConcentrationEnabled) codes.push_back(kOptodeConcentrationCode);
    if (s.optodeSaturationEnabled) codes.push_back(kOptodeSaturationCode);
  }
  int added = 0;
  const size_t n = static_cast<size_t>(std::max(data.sampleCount, 0));
  for (const uint8_t code : codes) {
    // Wave height without its tidal slope would be a half pair: both or neither.
    if (code == kWaveHeightCode && data.totalChannelCount + 2 > kMaxColumns) break;
    if (!data.AddColumn(code)) break;
    float* col = data.Column(data.totalChannelCount - 1);
    std::fill(col, col + n, kInvalidValue);
    col[n] = kDerivedMinimumStart;
    col[n + 1] = kDerivedMaximumStart;
    ++added;
  }
  return added;
}

DerivedInputs DerivedInputsOf(const AppState& state) {
  DerivedInputs in;
  in.settings = state.settings.derived;
  if (state.retrieval.depthSuspended) in.settings.depthEnabled = false;
  in.correction = state.calibration.conductivityCorrection;
  in.conductivityMilliSiemens = state.logger.conductivityMilliSiemens;
  in.ratioSalinometer = ModelContains(state.logger.model, "VL-840");
  in.waveHeightAt = state.analysis.waveHeightAt;
  in.tidalSlopeAt = state.analysis.tidalSlopeAt;
  return in;
}

void ComputeDerivedSample(const DerivedInputs& inputs, DataSet& data, int row) {
  if (row < 0 || row >= data.sampleCount || !HasRowWork(inputs, data)) return;
  const RowPlan plan(inputs, data);
  plan.ClearMarks(static_cast<size_t>(row), 1);
  plan.Row(static_cast<size_t>(row), kNotANumber, kNotANumber);
}

void ComputeDerivedValues(const DerivedInputs& inputs, DataSet& data) {
  if (data.sampleCount <= 0 || data.totalChannelCount <= data.channelCount) return;
  const RowPlan plan(inputs, data);
  plan.ResetRanges();
  plan.ClearMarks(0, plan.n);
  if (HasRowWork(inputs, data)) {
    // Salinity a block at a time through the two-lane column formula; the
    // micro-salinometer's ratio input goes row by row.
    const bool columnSalinity = plan.ct && !(plan.pressure == nullptr && inputs.ratioSalinometer);
    constexpr size_t kBlock = 2048;
    std::vector<float> c(kBlock), p(kBlock), s(kBlock), k(kBlock);
    for (size_t start = 0; start < plan.n; start += kBlock) {
      const size_t count = std::min(kBlock, plan.n - start);
      if (columnSalinity) {
        for (size_t i = 0; i < count; ++i) {
          k[i] = plan.cols.correctedConductivity >= 0 ? plan.Corrected(start + i) : kNotANumber;
          c[i] = plan.SalinityConductivity(start + i, k[i]);
          p[i] = plan.SeaPressure(start + i);
        }
        SalinityPss78Column(c.data(), plan.temperature + start, p.data(), s.data(), count);
      }
      for (size_t i = 0; i < count; ++i)
        plan.Row(start + i, columnSalinity ? s[i] : kNotANumber, columnSalinity ? k[i] : kNotANumber);
    }
  }
  if (plan.cols.tidalSlope >= 0) {
    float* col = data.Column(plan.cols.tidalSlope);
    const size_t n = plan.n;
    col[n] = 0.0f;
    col[n + 1] = 0.0f;
    for (size_t r = 0; r < n; ++r)
      plan.Store(plan.cols.tidalSlope, r,
                 inputs.tidalSlopeAt ? inputs.tidalSlopeAt(data, plan.cols.depth, static_cast<int>(r)) : kInvalidValue);
    const float top = std::ceil(std::max(col[n + 1], -col[n]));
    col[n + 1] = top;
    col[n] = -top;
  }
}

void AddDerivedChannels(AppState& state, DataSet& data) {
  if (state.analysis.showDepthPlot) state.analysis.showDepthPlot(false);
  const DerivedInputs in = DerivedInputsOf(state);
  AppendDerivedColumns(data, in.settings);
  const DerivedColumns cols = FindDerivedColumns(data);
  ConductivityCorrection& k = state.calibration.conductivityCorrection;
  if (cols.correctedConductivity >= 0 && k.b > 0.999) {
    state.ui.MessageBox(Tr(state, "The form of the conductivity correction equation has changed.\nThe 'b' coefficient will be "
                                  "converted from its current value of 1.0 to 0.0\nfor consistency with the revised "
                                  "equation.\n\nPlease see the TMV Manual for details."),
                        Tr(state, "Conductivity Correction Equation Change"), MessageButtons::Ok, MessageIcon::Exclamation,
                        MessageAnswer::Ok);
    k.b = 0.0;
  }
  if (cols.depth >= 0 && state.analysis.showDepthPlot) state.analysis.showDepthPlot(true);
}

void ComputeDerivedValues(AppState& state, DataSet& data) { ComputeDerivedValues(DerivedInputsOf(state), data); }

// ---------------------------------------------------------------- the state

RealTimeLimits DefaultRealTimeLimits() {
  RealTimeLimits l{};
  const int pairs[18][2] = {{35, -5}, {30, 0},   {60, 20},    {100, 0},  {300, 0}, {5, 0},
                            {2500, 0}, {10000, 0}, {14, 0},    {70, 0},   {70, 0},  {150, 0},
                            {150, 0}, {60, 40},  {1600, 1500}, {5, 0},    {1, 0},   {10, 0}};
  for (size_t i = 0; i < 18; ++i) l[i] = {pairs[i][0], pairs[i][1]};
  return l;
}

AnalysisState::AnalysisState(AppState& state) {
  state.retrieval.hooks.addDerivedChannels = [&state](DataSet& data) {
    AddDerivedChannels(state, data);
    ComputeDerivedValues(state, data);
  };
}

}  // namespace tmv
