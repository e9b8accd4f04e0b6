// The traces of a repaint: every shown channel reduced to its first,
// lowest, highest and last reading in each pixel column, so that the cost
// follows the plot's width and not the readings; and the x-y plot.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "presentation/GraphInternals.h"

namespace tmv::graph {
namespace {

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
  if (line.points.size() >= 2) {
    lines.push_back(line);
  } else if (line.points.size() == 1) {
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

GraphPolyline LineFor(int channel, int kind, int panel) {
  GraphPolyline line;
  line.channel = channel;
  line.panel = panel;
  line.colour = ChannelColour(channel);
  line.dashed = ChannelDashed(channel);
  line.penWidth = PenWidthForKind(kind);
  return line;
}

// Where channel c is drawn: its panel (set in `panel`) and its vertical placement.
Placer ChannelPlacer(const GraphState& g, const std::vector<PanelSlot>& slots, int c, int& panel) {
  panel = slots.size() > 1 ? PanelOfChannel(slots, c) : 0;
  PanelSlot slot = slots[static_cast<size_t>(panel)];
  slot.top += g.view.plotTop;
  return MakePlacer(g, g.kinds[static_cast<size_t>(c)], slot);
}

}  // namespace

void TimeSeriesTraces(const GraphState& g, const DataSet& data, bool naive, std::vector<GraphPolyline>& out) {
  const GraphView& v = g.view;
  const int n = g.readingCount;
  const Columns cols{v.firstIndex, v.pixelsPerReading};
  const std::vector<PanelSlot> slots = PanelSlots(g);
  const int left = v.plotLeft;
  for (int c = 0; c < g.columns; ++c) {
    if (!Shown(v, c)) continue;
    int panel = 0;
    const Placer place = ChannelPlacer(g, slots, c, panel);
    const float* values = data.Column(c);
    GraphPolyline line = LineFor(c, g.kinds[static_cast<size_t>(c)], panel);
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
        AddPoint(line, {left + cols.ColumnOf(i), place(value)});
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
        AddPoint(line, {left + x, yFirst});
        // Joining every reading of the column covers the whole span between
        // its extremes; first-low-high-last does the same with four points.
        const int yTop = std::min(yLow, yHigh), yBottom = std::max(yLow, yHigh);
        if (yFirst - yTop <= yBottom - yFirst) {
          AddPoint(line, {left + x, yTop});
          AddPoint(line, {left + x, yBottom});
        } else {
          AddPoint(line, {left + x, yBottom});
          AddPoint(line, {left + x, yTop});
        }
        AddPoint(line, {left + x, yLast});
        start = next;
      }
    }
    FlushLine(out, line);
  }
}

namespace {

// The first marked slot in [from, to), or `to`: eight marks at a time, as a
// repaint may look over millions of them.
int FirstMarked(const uint8_t* marks, int from, int to) {
  int i = from;
  for (; i < to && (i & 7) != 0; ++i)
    if (marks[i] != 0) return i;
  for (; i + 8 <= to; i += 8) {
    uint64_t word;
    std::memcpy(&word, marks + i, sizeof word);
    if (word != 0) break;
  }
  for (; i < to; ++i)
    if (marks[i] != 0) return i;
  return to;
}

}  // namespace

void OutOfRangeMarks(const GraphState& g, const DataSet& data, std::vector<GraphPointMark>& out) {
  const GraphView& v = g.view;
  const int n = std::min(g.readingCount, data.sampleCount);
  const Columns cols{v.firstIndex, v.pixelsPerReading};
  const std::vector<PanelSlot> slots = PanelSlots(g);
  constexpr int kSpacing = 6;  // pixels between rings, so that a run reads as a row of rings
  for (int c = 0; c < g.columns; ++c) {
    if (!Shown(v, c)) continue;
    const uint8_t* marks = data.RangeMarks(c);
    if (marks == nullptr) continue;
    int panel = 0;
    const Placer place = ChannelPlacer(g, slots, c, panel);
    const float* values = data.Column(c);
    const int begin = std::max(0, cols.StartOf(0));
    const int end = std::min(n, cols.StartOf(v.width + 1));
    int lastX = -kSpacing;
    for (int i = FirstMarked(marks, begin, end); i < end; i = FirstMarked(marks, i + 1, end)) {
      const int x = cols.ColumnOf(i);
      if (x - lastX < kSpacing) {
        // The rest of this ring's span: skip to where the next may go.
        i = std::max(i, cols.StartOf(lastX + kSpacing) - 1);
        continue;
      }
      if (!DrawableValue(values[i])) continue;
      out.push_back({c, panel, {v.plotLeft + x, place(values[i])}});
      lastX = x;
    }
  }
}

bool AnyShownOutOfRange(const GraphState& g, const DataSet& data) {
  const int n = std::min(g.readingCount, data.sampleCount);
  for (int c = 0; c < g.columns; ++c) {
    const uint8_t* marks = data.RangeMarks(c);
    if (marks != nullptr && Shown(g.view, c) && FirstMarked(marks, 0, n) < n) return true;
  }
  return false;
}

int XySubject(const GraphView& v) { return v.depthPlot ? v.xChannel : v.yChannel; }

bool XyRange(const GraphState& g, SpanRange& range) {
  const int xc = g.view.xChannel;
  if (xc < 0 || xc >= g.columns) return false;
  range = g.summaries[static_cast<size_t>(xc)].Whole();
  return range.any;
}

void XyTraces(const GraphState& g, const DataSet& data, std::vector<GraphPolyline>& out) {
  const GraphView& v = g.view;
  const int xc = v.xChannel, yc = v.yChannel;
  if (xc >= g.columns || yc >= g.columns) return;
  SpanRange xr;
  if (!XyRange(g, xr)) return;
  const double span = static_cast<double>(xr.high) - xr.low;
  const double scale = span > 0 ? v.width / span : 0.0;
  const int kind = g.kinds[static_cast<size_t>(yc)];
  const PanelSlot slot{v.plotTop, v.height, -1, -1};
  const Placer place = MakePlacer(g, kind, slot, v.depthPlot);
  const float* xs = data.Column(xc);
  const float* ys = data.Column(yc);
  const int subject = XySubject(v);
  GraphPolyline line = LineFor(subject, g.kinds[static_cast<size_t>(subject)], 0);
  // A repaint stays bounded on a full logger: at most ~20000 points.
  const int step = std::max(1, g.readingCount / 20000);
  for (int i = 0; i < g.readingCount; i += step) {
    if (!DrawableValue(xs[i]) || !DrawableValue(ys[i])) {
      FlushLine(out, line);
      continue;
    }
    const int x = span > 0 ? static_cast<int>(std::lround((xs[i] - xr.low) * scale)) : v.width / 2;
    AddPoint(line, {v.plotLeft + x, place(ys[i])});
  }
  FlushLine(out, line);
}

}  // namespace tmv::graph

namespace tmv {

std::vector<GraphPolyline> NaiveTraces(const GraphState& g, const DataSet& data) {
  std::vector<GraphPolyline> out;
  if (g.hasData) graph::TimeSeriesTraces(g, data, true, out);
  return out;
}

}  // namespace tmv
