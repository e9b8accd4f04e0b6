#include "presentation/GraphView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tmv {
namespace {

std::string Printf(const char* format, double value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

float SmallestScale(const GraphView& v) { return v.fineScale ? kFineSmallScale : kCoarsestSmallScale; }

// The readings per division that fit all readings into the width.
float FitReadingsPerDivision(const GraphState& g) {
  const double divisions = g.view.width / 10.0;
  const int count = g.readingCount;
  if (count <= 1 || divisions <= 0) return 1.0f;
  return static_cast<float>((count - 1) / divisions);
}

void SetReadingsPerDivision(GraphView& v, float r) {
  if (!(r > 0) || !std::isfinite(r)) r = 1.0f;
  v.readingsPerDivision = r;
  v.pixelsPerReading = 10.0f / r;
}

// A usable scale for a span of values: a flat or empty channel gets one
// unit per division so that nothing divides by zero.
float ScaleForRange(const SpanRange& r) {
  if (!r.any) return 1.0f;
  const double span = static_cast<double>(r.high) - r.low;
  if (!(span > 0) || !std::isfinite(span)) return 1.0f;
  return static_cast<float>(span / 20.0);
}

float KindScale(const GraphState& g, int kind) {
  const float u = g.view.unitsPerDivision[static_cast<size_t>(kind)];
  return u > 0 && std::isfinite(u) ? u : 1.0f;
}

void UpdateVerticalRange(GraphState& g) {
  const SpanRange& r = g.kindRange[static_cast<size_t>(g.view.currentKind)];
  const double span = r.any ? static_cast<double>(r.high) - r.low : 0.0;
  const double range = span / (2.0 * KindScale(g, g.view.currentKind));
  g.view.verticalRange = static_cast<int>(std::lround(std::min(range, 1e9)));
}

// The mantissa in [1, 10) and the power of ten of a positive value.
void Decompose(double value, double& mantissa, double& power) {
  double e = std::floor(std::log10(value));
  power = std::pow(10.0, e);
  mantissa = value / power;
  // Guard the edges log10 rounds across (0.999999 or 10.0000001).
  if (mantissa >= 9.9999) {
    power *= 10;
    mantissa /= 10;
  } else if (mantissa < 0.99999) {
    power /= 10;
    mantissa *= 10;
  }
}

void KeepLastInData(GraphState& g) {
  GraphView& v = g.view;
  const int shown = static_cast<int>(std::lround(v.width / 10.0 * v.readingsPerDivision + 0.5));
  if (v.firstIndex + shown > g.readingCount - 1) v.firstIndex = g.readingCount - 1 - shown;
  if (v.firstIndex < 0) v.firstIndex = 0;
}

void ComputeKindRanges(GraphState& g, const DataSet& data) {
  g.kindRange = {};
  for (int c = 0; c < g.columns; ++c) {
    const SpanRange r = g.summaries[static_cast<size_t>(c)].Whole();
    if (!r.any) continue;
    SpanRange& k = g.kindRange[static_cast<size_t>(ColumnKind(data, c))];
    if (!k.any) {
      k = r;
    } else {
      k.low = std::min(k.low, r.low);
      k.high = std::max(k.high, r.high);
    }
  }
  // Live data are scaled by the minimum and maximum slots, which start at the
  // real-time limits, so the plot does not jump with every new reading.
  if (!g.view.realTime || data.sampleCount <= 0 || data.sampleCount + 1 >= data.Stride()) return;
  for (int c = 0; c < g.columns; ++c) {
    const float low = data.Minimum(c), high = data.Maximum(c);
    if (!(low < high) || low == kInvalidValue || !std::isfinite(low) || !std::isfinite(high)) continue;
    SpanRange& k = g.kindRange[static_cast<size_t>(ColumnKind(data, c))];
    if (!k.any) {
      k.any = true;
      k.low = low;
      k.high = high;
    } else {
      k.low = std::min(k.low, low);
      k.high = std::max(k.high, high);
    }
  }
}

bool Shown(const GraphView& v, int channel) { return channel < 32 && (v.shownMask >> channel) & 1u; }

int PenWidthForKind(int kind) { return kind == kKindDepth || kind == kKindWaveHeight ? 3 : 1; }

}  // namespace

int KindOfCode(uint8_t code) {
  switch (code) {
    case 'T': return kKindTemperature;
    case 'P': case 'L': return kKindPressure;
    case 'C': case 's': case 0x87: return kKindConductivity;
    case 'D': case 0x84: return kKindDissolvedO2;
    case 'X': return kKindDerivedO2;
    case 'M': case 'V': return kKindVoltage;
    case 'Y': case 'y': return kKindTurbidity;
    case 'R': return kKindPar;
    case 'H': return kKindPh;
    case 'F': case 'f': return kKindFluorometryC;
    case 'G': case 'g': return kKindFluorometryR;
    case 'I': case 'i': case 'Z': case 'z': return kKindFluorometryUv;
    case 'A': case 'E': case 0x85: return kKindDepth;
    case 'S': return kKindSalinity;
    case 'u': case 'd': case 'W': return kKindSoundSpeed;
    case 0x81: return kKindWaveHeight;
    case 0x82: return kKindTidalSlope;
    case 'N': return kKindTransmissometer;
    case 0x83: return kKindO2Concentration;
    case 'J': return kKindOptodeConcentration;
    case 'K': return kKindOptodeSaturation;
    case 0x86: return kKindDensity;
    default: return kKindUnknown;
  }
}

std::string KindUnitLabel(const LoggerInfo& logger, int kind, int derivedUnit) {
  if (Contains(logger.model, "KM") || kind == kKindTemperature) return "degrees C";
  if (Contains(logger.model, "PM") || kind == kKindPressure) return "deciBars";
  static const char* const kMicroMol = "\xB5Mol/l";
  switch (kind) {
    case kKindConductivity:
      if (Contains(logger.model, "VL-840")) return "volt ratio";
      return logger.conductivityMilliSiemens ? "mS/cm" : "uS/cm";
    case kKindDissolvedO2: return "percent";
    case kKindDerivedO2: return kMicroMol;
    case kKindVoltage: return "Volts";
    case kKindTurbidity: return "NTU";
    case kKindPar: return "\xB5Mol.m-2.s-1";
    case kKindPh: return "pH units";
    case kKindFluorometryC: case kKindFluorometryR: case kKindFluorometryUv: return "ug/l";
    case kKindDepth: return "Depth m";
    case kKindSalinity: return "PSU";
    case kKindSoundSpeed: return "m/sec";
    case kKindWaveHeight: return "sig wv ht (m)";
    case kKindTidalSlope: return "m/hour";
    case kKindTransmissometer: return "Volts";
    case kKindGeneric: return "generic";
    case kKindO2Concentration: return derivedUnit == 1 ? "mg/l" : derivedUnit == 2 ? "ml/l" : kMicroMol;
    case kKindOptodeConcentration: return derivedUnit == 2 ? "ml/l" : "mg/l";
    case kKindOptodeSaturation: return "percent";
    case kKindDensity: return "kg/m3";
    default: return "Unknown";
  }
}

// ---- Data ----

void RefreshSummaries(GraphState& g, const DataSet& data) {
  g.readingCount = std::max(data.sampleCount, 0);
  g.columns = std::clamp(data.totalChannelCount, 0, kMaxColumns);
  g.summaries.assign(static_cast<size_t>(g.columns), ColumnSummary{});
  if (g.readingCount > 0 && data.Stride() >= g.readingCount)
    for (int c = 0; c < g.columns; ++c) g.summaries[static_cast<size_t>(c)].Build(data.Column(c), g.readingCount);
  else
    g.columns = 0;
  g.hasData = g.readingCount > 0 && g.columns > 0;
  ComputeKindRanges(g, data);
}

namespace {
// A view attached before the first row (a real-time collection) had no
// channels to show: the first rows show them all.
void ShowChannelsOfFirstRows(GraphState& g, const DataSet& data, int columnsBefore) {
  if (columnsBefore != 0 || g.columns == 0) return;
  GraphView& v = g.view;
  v.shownMask = g.columns >= 32 ? 0xFFFFFFFFu : (1u << g.columns) - 1u;
  v.currentChannel = std::clamp(v.currentChannel, 0, g.columns - 1);
  v.currentKind = ColumnKind(data, v.currentChannel);
}
}  // namespace

void ExtendSummaries(GraphState& g, const DataSet& data) {
  const int before = g.columns;
  const int columns = std::clamp(data.totalChannelCount, 0, kMaxColumns);
  if (columns != static_cast<int>(g.summaries.size()) || data.Stride() < data.sampleCount) {
    RefreshSummaries(g, data);
    ShowChannelsOfFirstRows(g, data, before);
    return;
  }
  g.readingCount = std::max(data.sampleCount, 0);
  g.columns = columns;
  for (int c = 0; c < g.columns; ++c) g.summaries[static_cast<size_t>(c)].Extend(data.Column(c), g.readingCount);
  g.hasData = g.readingCount > 0 && g.columns > 0;
  ComputeKindRanges(g, data);
  ShowChannelsOfFirstRows(g, data, before);
}

void AttachData(GraphState& g, const DataSet& data) {
  const GraphView old = g.view;
  g.followedRange = {};
  RefreshSummaries(g, data);
  GraphView& v = g.view;
  v = GraphView{};
  v.width = old.width;
  v.fineScale = old.fineScale;
  v.showRangeChanges = old.showRangeChanges;
  v.refusesMouse = old.refusesMouse;
  v.highlightCount = old.highlightCount;
  v.shownMask = g.columns >= 32 ? 0xFFFFFFFFu : (1u << g.columns) - 1u;
  v.currentChannel = 0;
  v.currentKind = g.columns > 0 ? ColumnKind(data, 0) : 0;
  v.xChannel = 0;
  v.yChannel = g.columns > 1 ? 1 : 0;
  ResetHorizontal(g);
  // Every kind starts at its own full range, so a channel button shows it whole.
  for (int k = 0; k < kKindCount; ++k) v.unitsPerDivision[static_cast<size_t>(k)] = ScaleForRange(g.kindRange[static_cast<size_t>(k)]);
  ResetVertical(g);
}

void DetachData(GraphState& g) {
  g.summaries.clear();
  g.kindRange = {};
  g.followedRange = {};
  g.readingCount = 0;
  g.columns = 0;
  g.hasData = false;
}

// ---- Navigation ----

void ResetHorizontal(GraphState& g) {
  GraphView& v = g.view;
  SetReadingsPerDivision(v, FitReadingsPerDivision(g));
  v.firstIndex = 0;
  int shownCount = 0;
  for (int c = 0; c < g.columns; ++c) shownCount += Shown(v, c) ? 1 : 0;
  if (shownCount > 1) {
    for (int c = 0; c < g.columns; ++c)
      if (Shown(v, c)) {
        (void)c;
      }
    for (int k = 0; k < kKindCount; ++k) v.unitsPerDivision[static_cast<size_t>(k)] = ScaleForRange(g.kindRange[static_cast<size_t>(k)]);
    ResetVertical(g);
  }
}

void ResetVertical(GraphState& g) {
  GraphView& v = g.view;
  v.unitsPerDivision[static_cast<size_t>(v.currentKind)] = ScaleForRange(g.kindRange[static_cast<size_t>(v.currentKind)]);
  v.verticalOffset = 0;
  UpdateVerticalRange(g);
}

void ZoomInHorizontal(GraphState& g) {
  GraphView& v = g.view;
  const double r = v.readingsPerDivision;
  if (r <= 1.0) return;
  double m, p;
  Decompose(r, m, p);
  const int mi = static_cast<int>(m + 1e-6);
  double next;
  if (mi == 1)
    next = 0.3 * p;
  else if (mi <= 3)
    next = p;
  else
    next = 3 * p;
  SetReadingsPerDivision(v, static_cast<float>(std::max(next, 1.0)));
  if (v.cursorActive) v.firstIndex = std::max(0, static_cast<int>(std::lround(v.cursorIndex - (v.width / 2.0) / v.pixelsPerReading)));
}

void ZoomOutHorizontal(GraphState& g) {
  GraphView& v = g.view;
  const double fit = FitReadingsPerDivision(g);
  double r = v.readingsPerDivision;
  if (r >= fit) return;
  double m, p;
  Decompose(r, m, p);
  const int mi = static_cast<int>(m + 1e-6);
  // 1 and 2 go to 3, 3 goes to 10; a scale off the sequence (after a rubber
  // band) goes to the next power of ten, so zoom-out never sticks.
  const double next = mi <= 2 ? 3 * p : 10 * p;
  SetReadingsPerDivision(v, static_cast<float>(std::min(next, fit)));
  KeepLastInData(g);
}

namespace {
void StepVertical(GraphState& g, bool in) {
  GraphView& v = g.view;
  const int k = v.currentKind;
  const double centre = CentreValue(g, k);
  double u = KindScale(g, k);
  double m, p;
  Decompose(u, m, p);
  static const double kSteps[] = {0.5, 1, 2, 5, 10};
  double next = m;
  if (in) {
    for (int i = 4; i >= 0; --i)
      if (kSteps[i] < m - 1e-6) {
        next = kSteps[i];
        break;
      }
  } else {
    for (double s : kSteps)
      if (s > m + 1e-6) {
        next = s;
        break;
      }
  }
  u = std::max(next * p, static_cast<double>(SmallestScale(v)));
  v.unitsPerDivision[static_cast<size_t>(k)] = static_cast<float>(u);
  // The same value stays in the middle, as near as whole divisions allow.
  const SpanRange& r = g.kindRange[static_cast<size_t>(k)];
  const double mid = r.any ? (static_cast<double>(r.high) + r.low) / 2 : 0.0;
  const double offset = (mid - centre) / v.unitsPerDivision[static_cast<size_t>(k)];
  v.verticalOffset = static_cast<int>(std::lround(std::clamp(offset, -1e9, 1e9)));
  UpdateVerticalRange(g);
}
}  // namespace

void ZoomInVertical(GraphState& g) { StepVertical(g, true); }
void ZoomOutVertical(GraphState& g) { StepVertical(g, false); }

bool RubberBandZoom(GraphState& g, int x1, int y1, int x2, int y2) {
  GraphView& v = g.view;
  v.bandActive = false;
  if (x1 == x2 && y1 == y2) return false;
  if (!g.hasData || v.refusesMouse) return false;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const int index1 = v.firstIndex + static_cast<int>(std::lround(x1 / v.pixelsPerReading));
  const int index2 = v.firstIndex + static_cast<int>(std::lround(x2 / v.pixelsPerReading));
  v.firstIndex = index1;
  double r = (index2 - index1) * 10.0 / v.width;
  if (r < 1) {
    r = 1;
    v.firstIndex -= static_cast<int>(v.width / 20 - (index2 - index1) / 2);
  }
  SetReadingsPerDivision(v, static_cast<float>(r));
  // The band's vertical middle becomes the middle of the plot.
  const int k = v.currentKind;
  const double u = KindScale(g, k);
  const double sign = k == kKindDepth ? -1.0 : 1.0;
  const double newCentre = CentreValue(g, k) + sign * (125.0 - (y1 + y2) / 2.0) / 10.0 * u;
  const double factor = (y2 - y1) / 200.0;
  for (float& each : v.unitsPerDivision) each = std::max(static_cast<float>(each * factor), kBandSmallScale);
  const SpanRange& range = g.kindRange[static_cast<size_t>(k)];
  const double mid = range.any ? (static_cast<double>(range.high) + range.low) / 2 : 0.0;
  v.verticalOffset = static_cast<int>(std::lround(std::clamp((mid - newCentre) / KindScale(g, k), -1e9, 1e9)));
  UpdateVerticalRange(g);
  return true;
}

int IndexAtX(const GraphView& v, int x) { return v.firstIndex + static_cast<int>(std::lround(x / v.pixelsPerReading)); }

bool SetCursor(GraphState& g, int x) {
  GraphView& v = g.view;
  if (v.xyMode || v.refusesMouse || !g.hasData) return false;
  v.cursorIndex = std::clamp(IndexAtX(v, x), 0, g.readingCount - 1);
  v.cursorActive = true;
  return true;
}

void ScrollTo(GraphState& g, int firstIndex) {
  GraphView& v = g.view;
  if (v.realTime) return;
  v.firstIndex = std::clamp(firstIndex, 0, std::max(0, g.readingCount - 1));
}

void ScrollVertical(GraphState& g, int offset) {
  GraphView& v = g.view;
  v.verticalOffset = std::clamp(offset, -std::max(v.verticalRange, 0), std::max(v.verticalRange, 0));
}

void ShowChannel(GraphState& g, const DataSet& data, int channel) {
  if (channel < 0 || channel >= g.columns) return;
  GraphView& v = g.view;
  v.shownMask = 1u << channel;
  v.currentChannel = channel;
  v.currentKind = ColumnKind(data, channel);
  v.verticalOffset = 0;
  UpdateVerticalRange(g);
}

void ShowAll(GraphState& g, const DataSet& data) {
  GraphView& v = g.view;
  v.shownMask = g.columns >= 32 ? 0xFFFFFFFFu : (1u << g.columns) - 1u;
  (void)data;
  UpdateVerticalRange(g);
}

void SetXyMode(GraphState& g, bool on, int xChannel, int yChannel) {
  GraphView& v = g.view;
  v.xyMode = on && g.columns > 0;
  v.xChannel = std::clamp(xChannel, 0, std::max(g.columns - 1, 0));
  v.yChannel = std::clamp(yChannel, 0, std::max(g.columns - 1, 0));
  if (v.xyMode) v.cursorActive = false;
}

void ToggleDepthPlot(GraphState& g, const DataSet& data) {
  GraphView& v = g.view;
  v.depthPlot = !v.depthPlot;
  if (!v.depthPlot) {
    v.xyMode = false;
    return;
  }
  // A profile: the current channel across, depth (or pressure) downward.
  int depth = -1;
  for (int c = 0; c < g.columns && depth < 0; ++c)
    if (ColumnKind(data, c) == kKindDepth) depth = c;
  for (int c = 0; c < g.columns && depth < 0; ++c)
    if (ColumnKind(data, c) == kKindPressure) depth = c;
  if (depth < 0) {
    v.depthPlot = false;
    return;
  }
  SetXyMode(g, true, v.currentChannel == depth && g.columns > 1 ? (depth == 0 ? 1 : 0) : v.currentChannel, depth);
}

void FollowNewest(GraphState& g) {
  GraphView& v = g.view;
  v.realTime = true;
  bool refit = false;
  for (size_t k = 0; k < g.kindRange.size(); ++k) {
    const SpanRange& r = g.kindRange[k];
    SpanRange& was = g.followedRange[k];
    if (r.any == was.any && r.low == was.low && r.high == was.high) continue;
    was = r;
    v.unitsPerDivision[k] = ScaleForRange(r);
    refit |= static_cast<int>(k) == v.currentKind;
  }
  if (refit) {
    v.verticalOffset = 0;
    UpdateVerticalRange(g);
  }
  SetReadingsPerDivision(v, static_cast<float>(kRealTimeReadings / (v.width / 10.0)));
  v.firstIndex = g.readingCount - kRealTimeReadings;
}

ScrollBars ScrollBarState(const GraphState& g) {
  ScrollBars s;
  const GraphView& v = g.view;
  if (!g.hasData) return s;
  const int page = std::max(1, static_cast<int>(v.width / v.pixelsPerReading));
  s.hPage = page;
  s.hMaximum = std::max(0, g.readingCount - page);
  s.hPosition = std::clamp(v.firstIndex, 0, s.hMaximum);
  s.hEnabled = !v.realTime && !v.xyMode && s.hMaximum > 0;
  s.vMinimum = -std::max(v.verticalRange, 0);
  s.vMaximum = std::max(v.verticalRange, 0);
  s.vPosition = std::clamp(v.verticalOffset, s.vMinimum, s.vMaximum);
  s.vEnabled = !v.xyMode && s.vMaximum > 0;
  return s;
}

double CentreValue(const GraphState& g, int kind) {
  const SpanRange& r = g.kindRange[static_cast<size_t>(std::clamp(kind, 0, kKindCount - 1))];
  const double mid = r.any ? (static_cast<double>(r.high) + r.low) / 2 : 0.0;
  return mid - g.view.verticalOffset * static_cast<double>(KindScale(g, kind));
}

namespace {
// Placement with the centre and scale looked up once per channel.
struct Placer {
  double centre, scale;
  bool down;
  int operator()(double value) const {
    double y = 125.0 - (value - centre) / scale * 10.0 * (down ? -1.0 : 1.0);
    y = std::clamp(y, -1000.0, 1000.0);
    return static_cast<int>(std::lround(y));
  }
};
Placer MakePlacer(const GraphState& g, int kind) {
  return Placer{CentreValue(g, kind), KindScale(g, kind), kind == kKindDepth};
}
}  // namespace

int PlaceValue(const GraphState& g, int kind, double value) { return MakePlacer(g, kind)(value); }

int LastShownIndex(const GraphState& g) {
  const GraphView& v = g.view;
  const int last = v.firstIndex + static_cast<int>(std::floor(v.width / v.pixelsPerReading));
  return std::clamp(last, 0, std::max(g.readingCount - 1, 0));
}

double SamplePeriod(const DataSet& data) {
  if (data.sixHzProfiling) return 1.0 / 6.0;
  return std::max(data.samplePeriodSeconds, 0);
}

LoggerTime ReadingTime(const DataSet& data, int index) {
  LoggerTime base = data.startTime;
  int baseRow = 0;
  // The last time stamp at or before the reading; the table is in row order.
  auto it = std::upper_bound(data.stamps.begin(), data.stamps.end(), index,
                             [](int row, const StampRecord& s) { return row < s.sampleIndex; });
  while (it != data.stamps.begin()) {
    --it;
    if (it->type == kStampTime) {
      base = it->time;
      baseRow = it->sampleIndex;
      break;
    }
  }
  const int steps = index - baseRow;
  if (data.sixHzProfiling) {
    const int whole = steps >= 0 ? steps / 6 : -((-steps + 5) / 6);
    const int rest = steps - whole * 6;
    return AddMilliseconds(AddSeconds(base, whole), rest * 167);
  }
  return AddSeconds(base, steps * data.samplePeriodSeconds);
}

bool operator==(const GraphPoint& a, const GraphPoint& b) { return a.x == b.x && a.y == b.y; }

// ---- Drawing ----

namespace {

std::string DateText(const LoggerTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%s/%02d", t.year, MonthName(t.month), t.day);
  return buffer;
}
std::string ClockText(const LoggerTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buffer;
}

// The pixel column of reading i, and the first reading of column x.
struct Columns {
  int first;
  double ppr;
  int ColumnOf(int i) const { return static_cast<int>(std::floor((i - first) * ppr)); }
  int StartOf(int x) const {
    int i = first + static_cast<int>(std::ceil(x / ppr));
    while (ColumnOf(i) >= x) --i;
    while (ColumnOf(i) < x) ++i;
    return i;
  }
};

void FlushLine(std::vector<GraphPolyline>& lines, GraphPolyline& line) {
  if (line.points.size() >= 2)
    lines.push_back(line);
  else if (line.points.size() == 1) {
    // A lone reading between gaps is still shown, as a dot.
    line.points.push_back(line.points.front());
    lines.push_back(line);
  }
  line.points.clear();
}

void AddPoint(GraphPolyline& line, GraphPoint p) {
  if (!line.points.empty() && line.points.back() == p) return;
  line.points.push_back(p);
}

// The traces of the shown channels in time-series mode.
void TimeSeries(const GraphState& g, const DataSet& data, std::vector<GraphPolyline>& out, bool naive) {
  const GraphView& v = g.view;
  const int n = g.readingCount;
  const Columns cols{v.firstIndex, v.pixelsPerReading};
  for (int c = 0; c < g.columns; ++c) {
    if (!Shown(v, c)) continue;
    const int kind = ColumnKind(data, c);
    const Placer place = MakePlacer(g, kind);
    const float* values = data.Column(c);
    GraphPolyline line;
    line.channel = c;
    line.colour = ChannelColour(c);
    line.penWidth = PenWidthForKind(kind);
    if (naive || v.pixelsPerReading >= 1.0f) {
      // One reading per column at most (or the reference draw): every reading.
      int begin, end;
      if (naive) {
        begin = std::max(0, cols.StartOf(-1));
        end = std::min(n, cols.StartOf(v.width + 1));
      } else {
        begin = std::max(0, v.firstIndex - 1);
        end = std::min(n, LastShownIndex(g) + 2);
      }
      for (int i = begin; i < end; ++i) {
        const float value = values[i];
        if (!DrawableValue(value)) {
          FlushLine(out, line);
          continue;
        }
        AddPoint(line, {cols.ColumnOf(i), place(value)});
      }
    } else {
      // Many readings a column: first, lowest, highest, last.
      const ColumnSummary& s = g.summaries[static_cast<size_t>(c)];
      int start = std::max(0, cols.StartOf(-1));
      for (int x = -1; x <= v.width && start < n; ++x) {
        const int next = std::min(n, cols.StartOf(x + 1));
        if (next <= start) continue;
        const SpanRange r = s.Range(start, next);
        if (!r.any) {
          FlushLine(out, line);
          start = next;
          continue;
        }
        // First and last drawable readings; a short look, then the extremes.
        float first = NAN, last = NAN;
        for (int i = start; i < next && i < start + 32; ++i)
          if (DrawableValue(values[i])) {
            first = values[i];
            break;
          }
        for (int i = next - 1; i >= start && i > next - 33; --i)
          if (DrawableValue(values[i])) {
            last = values[i];
            break;
          }
        if (std::isnan(first)) first = r.low;
        if (std::isnan(last)) last = r.high;
        const int yFirst = place(first), yLow = place(r.low), yHigh = place(r.high), yLast = place(last);
        AddPoint(line, {x, yFirst});
        // Joining every reading of the column covers the whole span between
        // its extremes; first-low-high-last does the same with four points.
        const int yTop = std::min(yLow, yHigh), yBottom = std::max(yLow, yHigh);
        if (yFirst - yTop <= yBottom - yFirst) {
          AddPoint(line, {x, yTop});
          AddPoint(line, {x, yBottom});
        } else {
          AddPoint(line, {x, yBottom});
          AddPoint(line, {x, yTop});
        }
        AddPoint(line, {x, yLast});
        start = next;
      }
    }
    FlushLine(out, line);
  }
}

void XySeries(const GraphState& g, const DataSet& data, std::vector<GraphPolyline>& out, std::vector<GraphText>& texts) {
  const GraphView& v = g.view;
  const int xc = v.xChannel, yc = v.yChannel;
  if (xc >= g.columns || yc >= g.columns) return;
  const SpanRange xr = g.summaries[static_cast<size_t>(xc)].Whole();
  if (!xr.any) return;
  const double span = static_cast<double>(xr.high) - xr.low;
  const double scale = span > 0 ? v.width / span : 0.0;
  const int kind = ColumnKind(data, yc);
  const Placer place = MakePlacer(g, kind);
  const float* xs = data.Column(xc);
  const float* ys = data.Column(yc);
  GraphPolyline line;
  line.channel = yc;
  line.colour = ChannelColour(yc);
  line.penWidth = PenWidthForKind(kind);
  // A repaint stays bounded on a full logger: at most ~20000 points.
  const int step = std::max(1, g.readingCount / 20000);
  for (int i = 0; i < g.readingCount; i += step) {
    if (!DrawableValue(xs[i]) || !DrawableValue(ys[i])) {
      FlushLine(out, line);
      continue;
    }
    const int x = span > 0 ? static_cast<int>(std::lround((xs[i] - xr.low) * scale)) : v.width / 2;
    AddPoint(line, {x, place(ys[i])});
  }
  FlushLine(out, line);
  texts.push_back({0, kGraphHeight + 40, Printf("%-9.4f", xr.low), TextAlign::Left, TextStyle::Banner});
  texts.push_back({v.width, kGraphHeight + 40, Printf("%-9.4f", xr.high), TextAlign::Right, TextStyle::Banner});
}

void Markers(const GraphState& g, const DataSet& data, std::vector<GraphMarker>& out) {
  const GraphView& v = g.view;
  const int first = v.firstIndex, last = LastShownIndex(g);
  auto it = std::lower_bound(data.stamps.begin(), data.stamps.end(), first,
                             [](const StampRecord& s, int row) { return s.sampleIndex < row; });
  for (; it != data.stamps.end() && it->sampleIndex <= last; ++it) {
    const StampRecord& s = *it;
    GraphMarker m;
    m.x = static_cast<int>(std::floor((s.sampleIndex - first) * static_cast<double>(v.pixelsPerReading)));
    m.markerClass = s.markerClass;
    m.stampType = s.type;
    if (s.type == kStampBurst) {
      m.pen = MarkerPen::Burst;
      m.y1 = 3;
      m.y2 = 21;
    } else if (s.type == kStampGain) {
      if (!v.showRangeChanges || (s.changedMask & v.shownMask) == 0) continue;
      m.pen = (s.changedMask & ~v.shownMask) == 0 ? MarkerPen::GainAll : MarkerPen::GainSome;
      m.y1 = 3;
      m.y2 = 21;
    } else {
      m.pen = MarkerPen::Stamp;
      m.y1 = 225;
      m.y2 = kGraphHeight;
    }
    out.push_back(m);
  }
}

void Labels(const GraphState& g, const DrawContext& ctx, GraphDrawing& d) {
  const GraphView& v = g.view;
  const DataSet& data = ctx.data;
  const int k = v.currentKind;
  const double u = KindScale(g, k);
  const double centre = CentreValue(g, k);
  double top = centre + 10 * u, bottom = centre - 10 * u;
  if (k == kKindDepth) std::swap(top, bottom);
  const char* valueFormat = v.fineScale ? "  %9.6f" : "  %9.4f";
  d.texts.push_back({-24, 35, Printf(valueFormat, top), TextAlign::Right, TextStyle::Axis});
  d.texts.push_back({-24, 135, Printf(valueFormat, centre), TextAlign::Right, TextStyle::Axis});
  d.texts.push_back({-24, 235, Printf(valueFormat, bottom), TextAlign::Right, TextStyle::Axis});
  d.texts.push_back({-4, -4, Printf(v.fineScale ? "%10.6f/div" : "%9.4f/div", u), TextAlign::Right, TextStyle::Axis});
  char channel[32];
  std::snprintf(channel, sizeof channel, "Channel %2d", v.currentChannel + 1);
  d.texts.push_back({0, -4, channel, TextAlign::Left, TextStyle::Axis});
  d.texts.push_back({-24, kGraphHeight + 14, KindUnitLabel(ctx.logger, k, ctx.derivedUnit), TextAlign::Right, TextStyle::Axis});
  if (v.xyMode) return;

  // Below the scroll bar: the left and right readings, and the scale.
  const int yRow1 = kGraphHeight + 38, yRow2 = kGraphHeight + 54, yRow3 = kGraphHeight + 70;
  const int last = LastShownIndex(g);
  LoggerTime leftTime, rightTime;
  if (v.realTime) {
    rightTime = ReadingTime(data, std::max(g.readingCount - 1, 0));
    const double back = (g.readingCount - v.firstIndex) * SamplePeriod(data);
    leftTime = AddMilliseconds(rightTime, -static_cast<int32_t>(std::lround(back * 1000)));
  } else {
    leftTime = ReadingTime(data, std::max(v.firstIndex, 0));
    rightTime = ReadingTime(data, last);
  }
  char left[32];
  if (v.firstIndex < 0)
    std::snprintf(left, sizeof left, "  ");
  else
    std::snprintf(left, sizeof left, "%d  ", v.firstIndex);
  d.texts.push_back({0, yRow1, left, TextAlign::Left, TextStyle::Banner});
  d.texts.push_back({0, yRow2, DateText(leftTime), TextAlign::Left, TextStyle::Banner});
  d.texts.push_back({0, yRow3, ClockText(leftTime), TextAlign::Left, TextStyle::Banner});
  char right[32];
  std::snprintf(right, sizeof right, "  %d", last);
  d.texts.push_back({v.width, yRow1, right, TextAlign::Right, TextStyle::Banner});
  d.texts.push_back({v.width, yRow2, DateText(rightTime), TextAlign::Right, TextStyle::Banner});
  d.texts.push_back({v.width, yRow3, ClockText(rightTime), TextAlign::Right, TextStyle::Banner});
  d.texts.push_back({v.width / 2, yRow1, Printf("    %0.2f readings per division    ", v.readingsPerDivision + 0.0001),
                     TextAlign::Centre, TextStyle::Banner});
  std::string per;
  if (data.sixHzProfiling) {
    per = "1/6 second per reading";
  } else {
    const long seconds = std::lround(v.readingsPerDivision * SamplePeriod(data));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02ld:%02ld:%02ld per division", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    per = buffer;
  }
  d.texts.push_back({v.width / 2, yRow2, per, TextAlign::Centre, TextStyle::Banner});
}

}  // namespace

GraphDrawing BuildDrawing(const GraphState& g, const DrawContext& ctx) {
  GraphDrawing d;
  const GraphView& v = g.view;
  d.width = v.width;
  if (!g.hasData) return d;
  d.zoomButtonsShown = !v.xyMode && !v.realTime;
  if (v.xyMode) {
    XySeries(g, ctx.data, d.lines, d.texts);
  } else {
    TimeSeries(g, ctx.data, d.lines, false);
    Markers(g, ctx.data, d.markers);
    if (v.cursorActive) {
      d.cursorShown = true;
      d.cursorX = static_cast<int>(std::floor((v.cursorIndex - v.firstIndex) * static_cast<double>(v.pixelsPerReading)));
      d.cursorReadout = CursorReadout(g, ctx);
      if (v.highlightCount > 0) {
        const int firstRow = std::max(0, v.cursorIndex - v.highlightCount + 1);
        d.highlightShown = true;
        d.highlightX1 = static_cast<int>(std::floor((firstRow - v.firstIndex) * static_cast<double>(v.pixelsPerReading)));
        d.highlightX2 = d.cursorX;
      }
    }
  }
  Labels(g, ctx, d);
  return d;
}

std::string CursorReadout(const GraphState& g, const DrawContext& ctx) {
  const GraphView& v = g.view;
  if (!g.hasData || !v.cursorActive) return {};
  const int i = std::clamp(v.cursorIndex, 0, g.readingCount - 1);
  const LoggerTime t = ReadingTime(ctx.data, i);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "Reading %d  %s %s", i, DateText(t).c_str(), ClockText(t).c_str());
  std::string text = buffer;
  for (int c = 0; c < g.columns; ++c) {
    if (!Shown(v, c)) continue;
    const float value = ctx.data.Value(c, i);
    std::snprintf(buffer, sizeof buffer, DrawableValue(value) ? "  %d: %.4f" : "  %d: ----", c + 1, value);
    text += buffer;
  }
  return text;
}

std::vector<ChannelButton> ChannelButtons(const GraphState& g, const DataSet& data) {
  (void)data;
  std::vector<ChannelButton> buttons;
  for (int i = 0; i < kChannelButtonCount; ++i) {
    ChannelButton b;
    b.channel = i;
    b.label = std::to_string(i + 1);
    b.colour = ChannelColour(i);
    b.visible = g.hasData && i < g.columns;
    b.shown = b.visible && Shown(g.view, i);
    buttons.push_back(b);
  }
  return buttons;
}

std::vector<GraphPolyline> NaiveTraces(const GraphState& g, const DataSet& data) {
  std::vector<GraphPolyline> out;
  if (g.hasData) TimeSeries(g, data, out, true);
  return out;
}

}  // namespace tmv
