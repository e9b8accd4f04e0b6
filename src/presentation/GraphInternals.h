#pragma once
// What the graph's own files share: the panels of the plot, the placement
// of values in a panel and the scale rules. Not for use outside presentation/.
#include <algorithm>
#include <cmath>
#include <vector>

#include "presentation/GraphView.h"

namespace tmv::graph {

inline bool Shown(const GraphView& v, int channel) { return channel >= 0 && channel < 32 && (v.shownMask >> channel) & 1u; }
inline uint32_t AllColumns(int columns) { return columns >= 32 ? 0xFFFFFFFFu : (1u << columns) - 1u; }

inline float KindScale(const GraphView& v, int kind) {
  const float u = v.unitsPerDivision[static_cast<size_t>(std::clamp(kind, 0, kKindCount - 1))];
  return u > 0 && std::isfinite(u) ? u : 1.0f;
}

// Depth and wave height are drawn bold, in the traces and their legend swatches.
inline int PenWidthForKind(int kind) { return kind == kKindDepth || kind == kKindWaveHeight ? 3 : 1; }

// The span a kind is fitted to: its readings' range.
SpanRange FittedSpan(int kind, const SpanRange& readings);
// Units per division that put the fitted span over 20 divisions, and the
// value at its middle.
float FittedScale(int kind, const SpanRange& readings);
double FittedMiddle(int kind, const SpanRange& readings);

// A panel of the plot, in plot coordinates.
struct PanelSlot {
  int top = 0, height = 0;
  int channel = -1;  // stacked: its channel; -1: every shown channel
  int kind = -1;     // stacked: its channel's kind
};
// One panel, or one per shown channel when stacked (time series only).
std::vector<PanelSlot> PanelSlots(const GraphState& g);
// The same for a plot of another height.
std::vector<PanelSlot> PanelSlots(const GraphState& g, int height);
// The panel of a shown channel.
int PanelOfChannel(const std::vector<PanelSlot>& slots, int channel);
// The panel at plot row y (the nearest one outside them).
int PanelAtY(const std::vector<PanelSlot>& slots, int y);
int PanelGap(int plotHeight);

// Values of a kind placed in a panel: its middle holds the kind's centre,
// 25 divisions span its height; depth grows downward.
struct Placer {
  double centre = 0, scale = 1, top = 0, half = 125, perDivision = 10;
  bool down = false;
  int operator()(double value) const {
    double y = top + half - (value - centre) / scale * perDivision * (down ? -1.0 : 1.0);
    y = std::clamp(y, top - 4 * 2 * half, top + 4 * 2 * half);
    return static_cast<int>(std::lround(y));
  }
  // The value at pixel row y.
  double ValueAt(double y) const { return centre + (top + half - y) / perDivision * scale * (down ? -1.0 : 1.0); }
};
Placer MakePlacer(const GraphState& g, int kind, const PanelSlot& panel, bool down = false);

// The time of a reading as 100 ns ticks along the time stamps: each time
// stamp starts a run of whole sampling periods.
class TimeBase {
 public:
  explicit TimeBase(const DataSet& data);
  double TicksAt(double row) const;  // rows before the first run extend it backwards
  // The runs: first row and its time.
  struct Run {
    int row;
    uint64_t ticks;
  };
  const std::vector<Run>& Runs() const { return runs_; }
  double PeriodTicks() const { return period_; }

 private:
  std::vector<Run> runs_;
  double period_;
};

// The traces of the shown channels over time (naive: through every
// reading, the reference for tests), and the x-y plot's one trace.
void TimeSeriesTraces(const GraphState& g, const DataSet& data, bool naive, std::vector<GraphPolyline>& out);
void XyTraces(const GraphState& g, const DataSet& data, std::vector<GraphPolyline>& out);
// Rings on derived values computed outside their formula's published range
// (kept in the data, flagged in the exports): at most one every few pixels.
void OutOfRangeMarks(const GraphState& g, const DataSet& data, std::vector<GraphPointMark>& out);
// Whether a shown channel holds such a value.
bool AnyShownOutOfRange(const GraphState& g, const DataSet& data);
// The x-y plot's channel that the trace belongs to: across in the depth
// plot, upward otherwise; and the x channel's range.
int XySubject(const GraphView& v);
bool XyRange(const GraphState& g, SpanRange& range);

// Digits a value of a kind is written with at its current scale.
int ValueDecimals(const GraphView& v, int kind);
std::string Latin1ToUtf8(const std::string& text);

}  // namespace tmv::graph
