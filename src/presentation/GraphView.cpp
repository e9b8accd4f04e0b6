#include "presentation/GraphView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/ChannelTypes.h"
#include "presentation/GraphInternals.h"

namespace tmv {

using graph::AllColumns;
using graph::KindScale;
using graph::Shown;

namespace {

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

// The value a kind's scroll position counts from.
double KindMiddle(const GraphState& g, int kind) {
  return graph::FittedMiddle(kind, g.kindRange[static_cast<size_t>(kind)]);
}

void UpdateVerticalRange(GraphState& g) {
  GraphView& v = g.view;
  const int k = std::clamp(v.currentKind, 0, kKindCount - 1);
  const SpanRange f = graph::FittedSpan(k, g.kindRange[static_cast<size_t>(k)]);
  const double span = f.any ? static_cast<double>(f.high) - f.low : 0.0;
  const double u = KindScale(v, k);
  v.verticalRange = static_cast<int>(std::lround(std::min(span / (2.0 * u), 1e9)));
  v.verticalOffset = std::clamp((KindMiddle(g, k) - v.centre[static_cast<size_t>(k)]) / u, -1e9, 1e9);
}

void FitKind(GraphState& g, int kind) {
  const SpanRange& r = g.kindRange[static_cast<size_t>(kind)];
  g.view.unitsPerDivision[static_cast<size_t>(kind)] = graph::FittedScale(kind, r);
  g.view.centre[static_cast<size_t>(kind)] = graph::FittedMiddle(kind, r);
}

void FitEveryKind(GraphState& g) {
  for (int k = 0; k < kKindCount; ++k) FitKind(g, k);
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

int ShownReadings(const GraphView& v) { return static_cast<int>(std::floor(v.width / v.pixelsPerReading)); }

void KeepLastInData(GraphState& g) {
  GraphView& v = g.view;
  const int shown = static_cast<int>(std::lround(v.width / 10.0 * v.readingsPerDivision + 0.5));
  if (v.firstIndex + shown > g.readingCount - 1) v.firstIndex = g.readingCount - 1 - shown;
  if (v.firstIndex < 0) v.firstIndex = 0;
}

// The first reading kept where the view still shows readings to its right edge.
void ClampFirst(GraphState& g) {
  GraphView& v = g.view;
  v.firstIndex = std::clamp(v.firstIndex, 0, std::max(0, g.readingCount - 1 - ShownReadings(v)));
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

void KeepChannelsInData(GraphState& g, const DataSet& data) {
  GraphView& v = g.view;
  const int last = std::max(g.columns - 1, 0);
  v.shownMask &= AllColumns(g.columns);
  if (v.shownMask == 0) v.shownMask = AllColumns(g.columns);
  if (v.currentChannel > last || !Shown(v, v.currentChannel)) {
    v.currentChannel = 0;
    while (v.currentChannel < last && !Shown(v, v.currentChannel)) ++v.currentChannel;
  }
  v.currentKind = ColumnKind(data, v.currentChannel);
  v.xChannel = std::clamp(v.xChannel, 0, last);
  v.yChannel = std::clamp(v.yChannel, 0, last);
  if (v.rightChannel > last) v.rightChannel = -1;
}

}  // namespace

// ---- Kinds and names ----

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

std::string ColumnName(const DataSet& data, int column) {
  const uint8_t code = ColumnCode(data, column);
  const int row = ChannelTypeRowForCode(code);
  if (row == kUnknownChannelTypeRow) return "Unknown";
  const ChannelType& type = ChannelTypeTable()[static_cast<size_t>(row)];
  std::string name;
  if (type.labelFormat != nullptr) {
    // "%2d - Temperature": the name after the number.
    name = type.labelFormat;
    const size_t dash = name.find(" - ");
    if (dash != std::string::npos) name.erase(0, dash + 3);
  } else {
    name = type.shortLabel + 1;  // the column heading after the code
  }
  const size_t first = name.find_first_not_of(' ');
  const size_t last = name.find_last_not_of(' ');
  name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
  // "Density (kg/m3)": the unit is written with the unit.
  if (const size_t open = name.find(" (kg/m3)"); open != std::string::npos) name.erase(open);
  return graph::Latin1ToUtf8(name);
}

std::string ColumnUnit(const DataSet& data, const LoggerInfo& logger, int column, int derivedUnit) {
  const int kind = ColumnKind(data, column);
  std::string unit = KindUnitLabel(logger, kind, derivedUnit);
  // The axis labels' own texts carry the quantity; a caption wants the unit alone.
  if (unit == "Depth m" || unit == "sig wv ht (m)") unit = "m";
  if (unit == "Unknown") unit.clear();
  return graph::Latin1ToUtf8(unit);
}

std::string ColumnCaption(const DataSet& data, const LoggerInfo& logger, int column, int derivedUnit) {
  const std::string unit = ColumnUnit(data, logger, column, derivedUnit);
  return ColumnName(data, column) + (unit.empty() ? std::string() : " [" + unit + "]");
}

namespace graph {

SpanRange FittedSpan(int kind, const SpanRange& r) {
  // Wave heights are read against calm water: from zero, and over a metre at
  // least, so that a calm record of a few centimetres does not look like a storm.
  if (kind == kKindWaveHeight && r.any) {
    SpanRange w = r;
    w.low = std::min(r.low, 0.0f);
    w.high = std::max(r.high, w.low + 1.0f);
    return w;
  }
  return r;
}

float FittedScale(int kind, const SpanRange& readings) {
  const SpanRange r = FittedSpan(kind, readings);
  if (!r.any) return 1.0f;
  const double span = static_cast<double>(r.high) - r.low;
  if (!(span > 0) || !std::isfinite(span)) return 1.0f;
  return static_cast<float>(span / 20.0);
}

double FittedMiddle(int kind, const SpanRange& readings) {
  const SpanRange r = FittedSpan(kind, readings);
  return r.any ? (static_cast<double>(r.high) + r.low) / 2 : 0.0;
}

int PanelGap(int plotHeight) { return std::clamp(plotHeight / 60, 4, 10); }

std::vector<PanelSlot> PanelSlots(const GraphState& g) { return PanelSlots(g, g.view.height); }

std::vector<PanelSlot> PanelSlots(const GraphState& g, int height) {
  const GraphView& v = g.view;
  std::vector<PanelSlot> slots;
  std::vector<int> channels;
  if (v.stacked && !v.xyMode)
    for (int c = 0; c < g.columns; ++c)
      if (Shown(v, c)) channels.push_back(c);
  if (channels.size() <= 1) {
    slots.push_back({0, height, -1, -1});
    if (channels.size() == 1) slots.back() = {0, height, channels.front(), g.kinds[static_cast<size_t>(channels.front())]};
    return slots;
  }
  const int n = static_cast<int>(channels.size());
  const int gap = PanelGap(height);
  const int each = std::max(1, (height - (n - 1) * gap) / n);
  for (int i = 0; i < n; ++i) {
    const int top = i * (each + gap);
    const int h = i == n - 1 ? std::max(1, height - top) : each;
    const int c = channels[static_cast<size_t>(i)];
    slots.push_back({top, h, c, g.kinds[static_cast<size_t>(c)]});
  }
  return slots;
}

int PanelOfChannel(const std::vector<PanelSlot>& slots, int channel) {
  for (size_t i = 0; i < slots.size(); ++i)
    if (slots[i].channel == channel) return static_cast<int>(i);
  return 0;
}

int PanelAtY(const std::vector<PanelSlot>& slots, int y) {
  int best = 0;
  int distance = 1 << 30;
  for (size_t i = 0; i < slots.size(); ++i) {
    const PanelSlot& s = slots[i];
    const int d = y < s.top ? s.top - y : y >= s.top + s.height ? y - (s.top + s.height - 1) : 0;
    if (d < distance) {
      distance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

Placer MakePlacer(const GraphState& g, int kind, const PanelSlot& panel, bool down) {
  Placer p;
  p.centre = CentreValue(g, kind);
  p.scale = KindScale(g.view, kind);
  p.top = panel.top;
  p.half = panel.height / 2.0;
  p.perDivision = panel.height / kPanelDivisions;
  p.down = down || (kind == kKindDepth && g.view.depthGrowsDown);
  return p;
}

TimeBase::TimeBase(const DataSet& data) {
  period_ = data.sixHzProfiling ? kTicksPerSecond / 6.0 : static_cast<double>(std::max(data.samplePeriodSeconds, 0)) * kTicksPerSecond;
  runs_.push_back({0, ToTicks(data.startTime)});
  for (const StampRecord& s : data.stamps)
    if (s.type == kStampTime) {
      if (s.sampleIndex <= runs_.back().row) runs_.back() = {s.sampleIndex, ToTicks(s.time)};
      else runs_.push_back({s.sampleIndex, ToTicks(s.time)});
    }
  // A time stamp at a row before 0 would start before the data; the data's
  // own start stands for it.
  if (runs_.front().row < 0) runs_.front().row = 0;
}

double TimeBase::TicksAt(double row) const {
  auto it = std::upper_bound(runs_.begin(), runs_.end(), row, [](double r, const Run& run) { return r < run.row; });
  const Run& run = it == runs_.begin() ? runs_.front() : *(it - 1);
  return static_cast<double>(run.ticks) + (row - run.row) * period_;
}

int ValueDecimals(const GraphView& v, int kind) {
  const double u = KindScale(v, kind);
  // A hundredth of a division, at most six places.
  return std::clamp(2 - static_cast<int>(std::floor(std::log10(u) + 1e-9)), 0, 6);
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 4);
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace graph

// ---- Data ----

void RefreshSummaries(GraphState& g, const DataSet& data) {
  g.readingCount = std::max(data.sampleCount, 0);
  g.columns = std::clamp(data.totalChannelCount, 0, kMaxColumns);
  g.summaries.assign(static_cast<size_t>(g.columns), ColumnSummary{});
  g.kinds.assign(static_cast<size_t>(g.columns), kKindUnknown);
  for (int c = 0; c < g.columns; ++c) g.kinds[static_cast<size_t>(c)] = ColumnKind(data, c);
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
  v.shownMask = AllColumns(g.columns);
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
  g.history = ZoomHistory{};
  RefreshSummaries(g, data);
  GraphView& v = g.view;
  v = GraphView{};
  v.width = old.width;
  v.height = old.height;
  v.pictureWidth = old.pictureWidth;
  v.pictureHeight = old.pictureHeight;
  v.plotLeft = old.plotLeft;
  v.plotTop = old.plotTop;
  v.options = old.options;
  v.stacked = old.stacked;
  v.fineScale = old.fineScale;
  v.showRangeChanges = old.showRangeChanges;
  v.refusesMouse = old.refusesMouse;
  v.highlightCount = old.highlightCount;
  v.shownMask = AllColumns(g.columns);
  v.currentChannel = 0;
  v.currentKind = g.columns > 0 ? ColumnKind(data, 0) : 0;
  v.xChannel = 0;
  v.yChannel = g.columns > 1 ? 1 : 0;
  ResetHorizontal(g);
  // Every kind starts at its own full range, so a channel button shows it whole.
  FitEveryKind(g);
  ResetVertical(g);
}

void DetachData(GraphState& g) {
  g.summaries.clear();
  g.kinds.clear();
  g.kindRange = {};
  g.followedRange = {};
  g.history = ZoomHistory{};
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
    FitEveryKind(g);
    ResetVertical(g);
  }
}

void ResetVertical(GraphState& g) {
  FitKind(g, std::clamp(g.view.currentKind, 0, kKindCount - 1));
  UpdateVerticalRange(g);
}

void FitAll(GraphState& g) {
  GraphView& v = g.view;
  SetReadingsPerDivision(v, FitReadingsPerDivision(g));
  v.firstIndex = 0;
  FitEveryKind(g);
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
  // band or the wheel) goes to the next power of ten, so zoom-out never sticks.
  const double next = mi <= 2 ? 3 * p : 10 * p;
  SetReadingsPerDivision(v, static_cast<float>(std::min(next, fit)));
  KeepLastInData(g);
}

namespace {
void StepVertical(GraphState& g, bool in) {
  GraphView& v = g.view;
  const int k = v.currentKind;
  double u = KindScale(v, k);
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
  // The centre value stays where it is.
  v.unitsPerDivision[static_cast<size_t>(k)] = static_cast<float>(u);
  UpdateVerticalRange(g);
}

// The kinds a vertical gesture in a panel moves: the stacked panel's own,
// or every kind when the channels share the plot.
std::vector<int> KindsOfPanel(const graph::PanelSlot& slot) {
  std::vector<int> kinds;
  if (slot.channel >= 0) {
    kinds.push_back(slot.kind);
  } else {
    for (int k = 0; k < kKindCount; ++k) kinds.push_back(k);
  }
  return kinds;
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
  // The band's vertical middle becomes the middle of the plot, and its
  // height the middle 20 divisions. Stacked, a band within one panel zooms
  // that panel's values; one across panels zooms time only.
  const std::vector<graph::PanelSlot> slots = graph::PanelSlots(g);
  const graph::PanelSlot& slot = slots[static_cast<size_t>(graph::PanelAtY(slots, (y1 + y2) / 2))];
  const bool within = y1 >= slot.top - 1 && y2 <= slot.top + slot.height + 1;
  if (slot.channel >= 0 && !within) return true;
  const double factor = (y2 - y1) / (slot.height * 20.0 / kPanelDivisions);
  for (int k = 0; k < kKindCount; ++k) {
    if (slot.channel >= 0 && k != slot.kind) continue;
    const graph::Placer place = graph::MakePlacer(g, k, slot);
    v.centre[static_cast<size_t>(k)] = place.ValueAt((y1 + y2) / 2.0);
    float& u = v.unitsPerDivision[static_cast<size_t>(k)];
    u = std::max(static_cast<float>(KindScale(v, k) * factor), kBandSmallScale);
  }
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

bool SetSecondCursor(GraphState& g, int x) {
  GraphView& v = g.view;
  if (v.xyMode || v.refusesMouse || !g.hasData) return false;
  v.cursor2Index = std::clamp(IndexAtX(v, x), 0, g.readingCount - 1);
  v.cursor2Active = true;
  if (!v.cursorActive) {
    v.cursorIndex = v.cursor2Index;
    v.cursorActive = true;
  }
  return true;
}

void ClearCursors(GraphState& g) {
  g.view.cursorActive = false;
  g.view.cursor2Active = false;
}

void ScrollTo(GraphState& g, int firstIndex) {
  GraphView& v = g.view;
  if (v.realTime) return;
  v.firstIndex = std::clamp(firstIndex, 0, std::max(0, g.readingCount - 1));
}

void ScrollVertical(GraphState& g, int offset) {
  GraphView& v = g.view;
  const double target = std::clamp(static_cast<double>(offset), -static_cast<double>(std::max(v.verticalRange, 0)),
                                   static_cast<double>(std::max(v.verticalRange, 0)));
  // Every kind moves by the same number of divisions.
  const double by = target - v.verticalOffset;
  for (int k = 0; k < kKindCount; ++k) v.centre[static_cast<size_t>(k)] -= by * KindScale(v, k);
  UpdateVerticalRange(g);
}

void ZoomTimeAbout(GraphState& g, int x, double factor) {
  GraphView& v = g.view;
  if (!g.hasData || v.realTime || v.xyMode || !(factor > 0)) return;
  const double fit = FitReadingsPerDivision(g);
  const double anchor = v.firstIndex + x / static_cast<double>(v.pixelsPerReading);
  const double r = std::clamp(v.readingsPerDivision * factor, std::min(1.0, fit), std::max(fit, 1e-3));
  SetReadingsPerDivision(v, static_cast<float>(r));
  v.firstIndex = static_cast<int>(std::lround(anchor - x / static_cast<double>(v.pixelsPerReading)));
  ClampFirst(g);
}

void ZoomValuesAbout(GraphState& g, const DataSet& data, int y, double factor) {
  GraphView& v = g.view;
  if (!g.hasData || !(factor > 0)) return;
  const std::vector<graph::PanelSlot> slots = graph::PanelSlots(g);
  const graph::PanelSlot& slot = slots[static_cast<size_t>(graph::PanelAtY(slots, y))];
  const bool depthDown = v.xyMode && v.depthPlot;
  for (int k : KindsOfPanel(slot)) {
    const graph::Placer place = graph::MakePlacer(g, k, slot, depthDown && k == ColumnKind(data, v.yChannel));
    const double value = place.ValueAt(y);
    const double u = std::max(KindScale(v, k) * factor, static_cast<double>(SmallestScale(v)));
    // The value under the pointer stays under it.
    v.centre[static_cast<size_t>(k)] = value - (value - place.centre) * u / place.scale;
    v.unitsPerDivision[static_cast<size_t>(k)] = static_cast<float>(u);
  }
  UpdateVerticalRange(g);
}

void PanFrom(GraphState& g, const DataSet& data, const GraphView& from, int startY, int dx, int dy) {
  GraphView& v = g.view;
  if (!g.hasData) return;
  if (!v.realTime && !v.xyMode) {
    v.firstIndex = from.firstIndex - static_cast<int>(std::lround(dx / static_cast<double>(v.pixelsPerReading)));
    ClampFirst(g);
  }
  const std::vector<graph::PanelSlot> slots = graph::PanelSlots(g);
  const graph::PanelSlot& slot = slots[static_cast<size_t>(graph::PanelAtY(slots, startY))];
  const bool depthDown = v.xyMode && v.depthPlot;
  for (int k : KindsOfPanel(slot)) {
    const bool down = (k == kKindDepth && v.depthGrowsDown) || (depthDown && k == ColumnKind(data, v.yChannel));
    const double divisions = dy / (slot.height / kPanelDivisions);
    v.centre[static_cast<size_t>(k)] =
        from.centre[static_cast<size_t>(k)] + (down ? -1.0 : 1.0) * divisions * KindScale(v, k);
  }
  UpdateVerticalRange(g);
}

void ShowChannel(GraphState& g, const DataSet& data, int channel) {
  if (channel < 0 || channel >= g.columns) return;
  GraphView& v = g.view;
  if (v.xyMode) {
    // The x-y pair follows the chosen channel: across in the depth plot,
    // upward otherwise; the depth channel itself stays where it is.
    if (v.depthPlot) {
      if (channel != v.yChannel) v.xChannel = channel;
    } else if (channel != v.xChannel) {
      v.yChannel = channel;
    }
  }
  v.shownMask = 1u << channel;
  v.currentChannel = channel;
  v.currentKind = ColumnKind(data, channel);
  // The kind's own middle, at its own scale.
  v.centre[static_cast<size_t>(v.currentKind)] = KindMiddle(g, v.currentKind);
  UpdateVerticalRange(g);
}

void ShowAll(GraphState& g, const DataSet& data) {
  GraphView& v = g.view;
  v.shownMask = AllColumns(g.columns);
  (void)data;
  UpdateVerticalRange(g);
}

void ToggleChannel(GraphState& g, const DataSet& data, int channel) {
  if (channel < 0 || channel >= g.columns || channel >= 32) return;
  GraphView& v = g.view;
  if (v.xyMode) {
    ShowChannel(g, data, channel);
    return;
  }
  const uint32_t bit = 1u << channel;
  if ((v.shownMask & ~bit) == 0) return;  // the last shown channel stays
  v.shownMask ^= bit;
  if (!Shown(v, v.currentChannel)) KeepChannelsInData(g, data);
  UpdateVerticalRange(g);
}

void LabelAxisOf(GraphState& g, const DataSet& data, int channel) {
  if (channel < 0 || channel >= g.columns || channel >= 32) return;
  GraphView& v = g.view;
  v.shownMask |= 1u << channel;
  v.currentChannel = channel;
  v.currentKind = ColumnKind(data, channel);
  if (v.rightChannel == channel) v.rightChannel = -1;
  UpdateVerticalRange(g);
}

void SetRightAxis(GraphState& g, const DataSet& data, int channel) {
  GraphView& v = g.view;
  (void)data;
  if (channel < 0 || channel >= g.columns || channel >= 32) {
    v.rightChannel = -1;
    return;
  }
  v.rightChannel = channel;
  v.shownMask |= 1u << channel;
}

void SetStacked(GraphState& g, bool stacked) { g.view.stacked = stacked; }

void SetXyMode(GraphState& g, bool on, int xChannel, int yChannel) {
  GraphView& v = g.view;
  v.xyMode = on && g.columns > 0;
  v.xChannel = std::clamp(xChannel, 0, std::max(g.columns - 1, 0));
  v.yChannel = std::clamp(yChannel, 0, std::max(g.columns - 1, 0));
  if (v.xyMode) ClearCursors(g);
}

void ToggleDepthPlot(GraphState& g, const DataSet& data) {
  GraphView& v = g.view;
  v.depthPlot = !v.depthPlot;
  if (!v.depthPlot) {
    v.xyMode = false;
    return;
  }
  // A profile: the selected channel across, depth (or pressure) downward.
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
  // Depth runs over its whole range, top to bottom.
  FitKind(g, ColumnKind(data, depth));
  UpdateVerticalRange(g);
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
    FitKind(g, static_cast<int>(k));
    refit |= static_cast<int>(k) == v.currentKind;
  }
  if (refit) UpdateVerticalRange(g);
  SetReadingsPerDivision(v, static_cast<float>(kRealTimeReadings / (v.width / 10.0)));
  v.firstIndex = g.readingCount - kRealTimeReadings;
}

void SetPlotSize(GraphState& g, int width, int height) {
  GraphView& v = g.view;
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width != v.width && g.hasData) {
    if (v.realTime) {
      v.width = width;
      SetReadingsPerDivision(v, static_cast<float>(kRealTimeReadings / (v.width / 10.0)));
    } else {
      // The same readings over the new width.
      const double shown = v.width / static_cast<double>(v.pixelsPerReading);
      const bool all = v.readingsPerDivision >= FitReadingsPerDivision(g) * (1 - 1e-6);
      v.width = width;
      const double fit = FitReadingsPerDivision(g);
      double r = all ? fit : shown / (width / 10.0);
      r = std::clamp(r, std::min(1.0, fit), std::max(fit, 1e-3));
      SetReadingsPerDivision(v, static_cast<float>(r));
    }
  }
  v.width = width;
  v.height = height;
}

// ---- History ----

bool operator==(const ViewExtent& a, const ViewExtent& b) {
  return a.firstIndex == b.firstIndex && a.readingsPerDivision == b.readingsPerDivision &&
         a.unitsPerDivision == b.unitsPerDivision && a.centre == b.centre;
}

ViewExtent CurrentExtent(const GraphView& v) {
  return ViewExtent{v.firstIndex, v.readingsPerDivision, v.unitsPerDivision, v.centre};
}

namespace {
void ApplyExtent(GraphState& g, const ViewExtent& e) {
  GraphView& v = g.view;
  v.firstIndex = e.firstIndex;
  SetReadingsPerDivision(v, e.readingsPerDivision);
  v.unitsPerDivision = e.unitsPerDivision;
  v.centre = e.centre;
  UpdateVerticalRange(g);
  g.history.any = false;  // the next gesture starts an entry of its own
}
constexpr size_t kHistoryDepth = 100;
}  // namespace

void RecordView(GraphState& g, ViewGesture gesture, int64_t nowMs) {
  ZoomHistory& h = g.history;
  const bool continuous = gesture == ViewGesture::Wheel || gesture == ViewGesture::ValueWheel;
  if (continuous && h.any && h.lastGesture == gesture && nowMs >= h.lastMs && nowMs - h.lastMs <= 700) {
    h.lastMs = nowMs;
    return;
  }
  const ViewExtent e = CurrentExtent(g.view);
  if (h.back.empty() || !(h.back.back() == e)) h.back.push_back(e);
  if (h.back.size() > kHistoryDepth) h.back.erase(h.back.begin());
  h.forward.clear();
  h.any = true;
  h.lastGesture = gesture;
  h.lastMs = nowMs;
}

bool ZoomBack(GraphState& g) {
  ZoomHistory& h = g.history;
  const ViewExtent now = CurrentExtent(g.view);
  while (!h.back.empty() && h.back.back() == now) h.back.pop_back();
  if (h.back.empty()) return false;
  h.forward.push_back(now);
  const ViewExtent e = h.back.back();
  h.back.pop_back();
  ApplyExtent(g, e);
  return true;
}

bool ZoomForward(GraphState& g) {
  ZoomHistory& h = g.history;
  const ViewExtent now = CurrentExtent(g.view);
  while (!h.forward.empty() && h.forward.back() == now) h.forward.pop_back();
  if (h.forward.empty()) return false;
  h.back.push_back(now);
  const ViewExtent e = h.forward.back();
  h.forward.pop_back();
  ApplyExtent(g, e);
  return true;
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
  s.vPosition = std::clamp(static_cast<int>(std::lround(v.verticalOffset)), s.vMinimum, s.vMaximum);
  s.vEnabled = !v.xyMode && s.vMaximum > 0;
  return s;
}

double CentreValue(const GraphState& g, int kind) { return g.view.centre[static_cast<size_t>(std::clamp(kind, 0, kKindCount - 1))]; }

int PlaceValue(const GraphState& g, int kind, double value) {
  return graph::MakePlacer(g, kind, graph::PanelSlot{0, g.view.height, -1})(value);
}

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

}  // namespace tmv
