// The picture of a repaint: the plot's panels with their value axes, the
// calendar time axis, the legend, the cursor read-out and the marks, laid
// out for any size from the widths of the texts on the face that paints.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "model/ChannelTypes.h"
#include "presentation/AxisTicks.h"
#include "presentation/GraphInternals.h"

namespace tmv {

using namespace graph;

int TextMetrics::Width(const std::string& text) const {
  if (width) return width(text);
  int characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80 ? 1 : 0;
  return 7 * characters;
}

namespace {

const char* const kDot = "  \xC2\xB7  ";  // a middle dot between the parts of a line
const char* const kArrow = " \xE2\x86\x92 ";
const char* const kDelta = "\xCE\x94";

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

const TextMetrics& MetricsOf(const DrawContext& ctx) {
  static const TextMetrics kDefault;
  return ctx.metrics != nullptr ? *ctx.metrics : kDefault;
}

// "01:02:03", "2 d 01:02:03", with a sign when negative and tenths of a
// second when the readings come faster than one a second.
std::string DurationText(double seconds, bool tenths) {
  std::string sign = seconds < 0 ? "\xE2\x88\x92" : "+";
  seconds = std::fabs(seconds);
  const long whole = static_cast<long>(std::floor(seconds + (tenths ? 0.05 : 0.5)));
  const long days = whole / 86400;
  std::string text = sign;
  if (days > 0) text += Format("%ld d ", days);
  text += Format("%02ld:%02ld:%02ld", (whole / 3600) % 24, (whole / 60) % 60, whole % 60);
  if (tenths) text += Format(".%d", static_cast<int>(std::floor((seconds - whole) * 10 + 0.5)) % 10);
  return text;
}

std::string ValueText(const GraphState& g, const DataSet& data, int column, int row) {
  const float value = data.Value(column, row);
  if (!DrawableValue(value)) return "----";
  return TickText(value, ValueDecimals(g.view, g.kinds[static_cast<size_t>(column)]));
}

// The widest a column's value is written at the current scale.
int WidestValue(const GraphState& g, const TextMetrics& m, int column) {
  const int decimals = ValueDecimals(g.view, g.kinds[static_cast<size_t>(column)]);
  const SpanRange r = g.summaries[static_cast<size_t>(column)].Whole();
  int w = m.Width("----");
  if (r.any) {
    w = std::max(w, m.Width(TickText(r.low, decimals)));
    w = std::max(w, m.Width(TickText(r.high, decimals)));
    w = std::max(w, m.Width(TickText(static_cast<double>(r.low) - r.high, decimals)));
  }
  return w;
}

std::string ChannelName(const DrawContext& ctx, int column) {
  if (ctx.names != nullptr && column >= 0 && static_cast<size_t>(column) < ctx.names->size())
    return (*ctx.names)[static_cast<size_t>(column)];
  return ColumnName(ctx.data, column);
}

std::string ChannelTitle(const DrawContext& ctx, int column) {
  const std::string unit = ColumnUnit(ctx.data, ctx.logger, column, ctx.derivedUnit);
  return std::to_string(column + 1) + " " + ChannelName(ctx, column) + (unit.empty() ? std::string() : " [" + unit + "]");
}

// ---- The read-out ----

struct Piece {
  std::string text;
  int reserve = 0;  // the width kept for it, so that lines do not jump as values change
  bool swatch = false;
  Rgb colour{0, 0, 0};
  TextStyle style = TextStyle::Axis;
};

std::vector<Piece> ReadoutPieces(const GraphState& g, const DrawContext& ctx, const TextMetrics& m, bool hints) {
  std::vector<Piece> pieces;
  const GraphView& v = g.view;
  if (!g.hasData || v.xyMode) return pieces;
  if (!v.cursorActive) {
    if (hints && !v.refusesMouse)
      pieces.push_back({"Click the plot to read the values there; Ctrl+click places a second cursor.", 0, false, {}, TextStyle::Muted});
    return pieces;
  }
  const DataSet& data = ctx.data;
  const int i = std::clamp(v.cursorIndex, 0, g.readingCount - 1);
  const bool two = v.cursor2Active;
  const int j = std::clamp(v.cursor2Index, 0, g.readingCount - 1);
  pieces.push_back({Format("Reading %d  %s", i, TimeToDisplayText(ReadingTime(data, i)).c_str())});
  if (two) {
    pieces.push_back({Format("Second cursor: reading %d  %s", j, TimeToDisplayText(ReadingTime(data, j)).c_str())});
    const TimeBase time(data);
    const double seconds = (time.TicksAt(j) - time.TicksAt(i)) / kTicksPerSecond;
    pieces.push_back({Format("Difference: %s, %+d readings", DurationText(seconds, data.sixHzProfiling).c_str(), j - i)});
  }
  for (int c = 0; c < g.columns; ++c) {
    if (!Shown(v, c)) continue;
    const std::string unit = ColumnUnit(data, ctx.logger, c, ctx.derivedUnit);
    const std::string name = std::to_string(c + 1) + " " + ChannelName(ctx, c) + ": ";
    const std::string after = unit.empty() ? std::string() : " " + unit;
    const int widest = WidestValue(g, m, c);
    Piece p;
    p.swatch = true;
    p.colour = ChannelColour(c);
    if (!two) {
      p.text = name + ValueText(g, data, c, i) + after;
      p.reserve = m.Width(name + after) + widest;
    } else {
      const float a = data.Value(c, i), b = data.Value(c, j);
      std::string delta = "----";
      if (DrawableValue(a) && DrawableValue(b)) {
        delta = TickText(static_cast<double>(b) - a, ValueDecimals(v, g.kinds[static_cast<size_t>(c)]));
        if (delta[0] != '-') delta = "+" + delta;
      }
      const std::string between = std::string(kArrow);
      const std::string tail = after + ", " + kDelta + " ";
      p.text = name + ValueText(g, data, c, i) + between + ValueText(g, data, c, j) + tail + delta;
      p.reserve = m.Width(name + between + tail) + 3 * widest + m.Width("+");
    }
    pieces.push_back(p);
  }
  return pieces;
}

// Pieces flowed into lines no wider than `width`.
std::vector<std::vector<Piece>> FlowPieces(const std::vector<Piece>& pieces, const TextMetrics& m, int width, int swatch,
                                           int gap) {
  std::vector<std::vector<Piece>> lines;
  int x = 0;
  for (const Piece& p : pieces) {
    const int w = std::max(p.reserve, m.Width(p.text)) + (p.swatch ? swatch : 0);
    if (lines.empty() || (x > 0 && x + w > width)) {
      lines.emplace_back();
      x = 0;
    }
    lines.back().push_back(p);
    x += w + gap;
  }
  return lines;
}

// ---- The legend ----

std::vector<LegendEntry> LegendContent(const GraphState& g, const DrawContext& ctx) {
  std::vector<LegendEntry> out;
  const GraphView& v = g.view;
  if (!g.hasData) return out;
  const DataSet& data = ctx.data;
  for (int c = 0; c < g.columns; ++c) {
    LegendEntry e;
    e.channel = c;
    e.colour = ChannelColour(c);
    e.dashed = ChannelDashed(c);
    e.penWidth = PenWidthForKind(g.kinds[static_cast<size_t>(c)]);
    e.shown = v.xyMode ? c == XySubject(v) : Shown(v, c);
    e.label = ChannelTitle(ctx, c);
    // Depth is drawn growing downwards: said where its axis may carry no labels.
    if (!v.xyMode && v.depthGrowsDown && g.kinds[static_cast<size_t>(c)] == kKindDepth) e.label += ", drawn downwards";
    if (v.cursorActive && !v.xyMode) e.value = ValueText(g, data, c, std::clamp(v.cursorIndex, 0, g.readingCount - 1));
    if (v.xyMode)
      e.tip = Format("Click to plot channel %d %s", c + 1, v.depthPlot ? "against depth" : "against the x channel");
    else
      e.tip = Format(e.shown ? "Channel %d is drawn: click to hide it" : "Channel %d is hidden: click to show it", c + 1);
    if (!v.xyMode && c == v.currentChannel) e.tip += "; its values are on the left axis";
    if (!v.xyMode && c == v.rightChannel) e.tip += "; its values are on the right axis";
    out.push_back(e);
  }
  if (v.xyMode) return out;
  bool bursts = false, gains = false, others = false;
  for (const StampRecord& s : data.stamps) {
    if (s.type == kStampBurst) bursts = true;
    else if (s.type == kStampGain) gains = true;
    else others = true;
  }
  auto mark = [&](MarkerPen pen, const char* label, const char* tip) {
    LegendEntry e;
    e.markPen = pen;
    e.markClass = -1;  // the pen of the kind, not of a channel
    e.label = label;
    e.tip = tip;
    out.push_back(e);
  };
  if (bursts)
    mark(MarkerPen::Burst, "Burst start",
         "Green ticks along the top: a burst of wave readings begins there. Point at a tick to read its time.");
  if (gains && v.showRangeChanges)
    mark(MarkerPen::GainAll, "Range change",
         "Magenta ticks along the top: a channel changed its gain range (dashed when some of the changed channels are hidden).");
  if (AnyShownOutOfRange(g, data)) {
    LegendEntry e;
    e.ring = true;
    e.markClass = -1;
    e.label = "Outside formula range";
    e.tip = "Rings: derived values computed from readings outside the published range of their formula. They "
            "are kept in the data, counted by the statistics and flagged in the exports.";
    out.push_back(e);
  }
  if (others)
    mark(MarkerPen::Stamp, "Logger event",
         "Ticks along the bottom: time stamps, start-ups, stops and other logger events. Point at a tick to read it.");
  return out;
}

// ---- Layout ----

struct ValueAxis {
  std::vector<int> y;
  std::vector<std::string> labels;
  int widest = 0;
};

struct Layout {
  int lineHeight = 15, ascent = 11, pad = 8;
  GraphRect plot;
  std::vector<LegendEntry> legend;
  std::vector<std::vector<Piece>> readout;
  int swatch = 0, gap = 0;
  int tickBaseline = 0, secondBaseline = 0, readoutTop = 0, statusBaseline = 0;
  int leftTitleX = 0, rightTitleX = 0;
  bool rightAxis = false;
  GraphRect hScroll, vScroll;
};

// The value axis of a panel: ticks of its kind at nice values.
ValueAxis PanelAxis(const GraphState& g, const TextMetrics& m, int kind, const PanelSlot& slot, bool down) {
  ValueAxis a;
  const Placer place = MakePlacer(g, kind, slot, down);
  const int most = std::max(2, static_cast<int>(slot.height / (m.lineHeight * 2.2)));
  const ValueTicks ticks = NiceTicks(place.ValueAt(slot.top + slot.height), place.ValueAt(slot.top), most);
  for (double value : ticks.values) {
    const int y = place(value);
    if (y < slot.top || y > slot.top + slot.height) continue;
    a.y.push_back(y);
    a.labels.push_back(TickText(value, ticks.decimals));
    a.widest = std::max(a.widest, m.Width(a.labels.back()));
  }
  return a;
}

// The kind, channel and direction a panel's left axis labels.
struct AxisSubject {
  int kind = 0, channel = 0;
  bool down = false;
};
AxisSubject LeftSubject(const GraphState& g, const PanelSlot& slot) {
  const GraphView& v = g.view;
  if (v.xyMode) {
    const int yc = std::clamp(v.yChannel, 0, std::max(g.columns - 1, 0));
    return {g.kinds[static_cast<size_t>(yc)], yc, v.depthPlot};
  }
  if (slot.channel >= 0) return {slot.kind, slot.channel, false};
  return {v.currentKind, v.currentChannel, false};
}

bool RightAxisShown(const GraphState& g) {
  const GraphView& v = g.view;
  return !v.xyMode && !(v.stacked && PanelSlots(g).size() > 1) && v.rightChannel >= 0 && v.rightChannel < g.columns &&
         Shown(v, v.rightChannel);
}

Layout ComputeLayout(const GraphState& g, const DrawContext& ctx, int W, int H, const PictureOptions& options) {
  const TextMetrics& m = MetricsOf(ctx);
  const GraphView& v = g.view;
  Layout L;
  const int lh = L.lineHeight = std::max(m.lineHeight, 8);
  L.ascent = std::clamp(m.ascent, 4, lh);
  const int pad = L.pad = std::max(4, lh / 2);
  L.swatch = lh * 2;
  L.gap = lh / 2;
  const int sb = std::max(options.scrollBar, 0);
  const bool stackedPanels = v.stacked && !v.xyMode && PanelSlots(g).size() > 1;
  L.rightAxis = RightAxisShown(g);

  // The legend: beside the plot when there is room and it would take more
  // than two rows above it.
  L.legend = LegendContent(g, ctx);
  int valueWidth = 0, labelWidth = 0;
  for (const LegendEntry& e : L.legend) {
    labelWidth = std::max(labelWidth, m.Width(e.label));
    if (e.channel >= 0 && !v.xyMode) valueWidth = std::max(valueWidth, WidestValue(g, m, e.channel));
  }
  const int rowHeight = lh + 4;
  const int valueGap = valueWidth > 0 ? L.gap * 2 : 0;
  const int columnWidth = L.swatch + L.gap + labelWidth + valueGap + valueWidth;
  auto entryWidth = [&](const LegendEntry& e) {
    return L.swatch + L.gap + m.Width(e.label) + (e.channel >= 0 ? valueGap + valueWidth : 0);
  };
  int topRows = 0;
  {
    int x = 0;
    for (const LegendEntry& e : L.legend) {
      const int w = entryWidth(e);
      if (topRows == 0 || (x > 0 && x + w > W - 2 * pad)) {
        ++topRows;
        x = 0;
      }
      x += w + lh;
    }
  }
  const int legendCount = static_cast<int>(L.legend.size());
  // Beside the plot in as many columns as its height needs, while the plot
  // keeps half the width.
  const int rowsBeside = std::max(1, (H - 2 * pad) / rowHeight);
  const int columnsBeside = std::max(1, (legendCount + rowsBeside - 1) / rowsBeside);
  const int besideWidth = columnsBeside * (columnWidth + lh) - lh;
  const bool rightFits = W - besideWidth - 2 * pad >= std::max(W / 2, 240);
  const bool legendRight = legendCount > 0 && topRows > 2 && rightFits;
  const int legendTopHeight = legendCount > 0 && !legendRight ? topRows * rowHeight : 0;

  // Left: the vertical scroll bar, the axis title, the tick labels.
  int x = pad;
  if (sb > 0) {
    L.vScroll = {x, 0, sb, 0};
    x += sb + 4;
  }
  const bool leftTitle = !stackedPanels;
  if (leftTitle) {
    L.leftTitleX = x + lh / 2;
    x += lh + 4;
  }
  const int tickTemplate = m.Width("-0000.00");
  const int tickRoom = 8;
  // Right: a second axis, the legend, or room for the last time label.
  const int rightLegend = legendRight ? besideWidth + 2 * pad : 0;
  auto rightRoom = [&](int rightTicks) {
    if (L.rightAxis) return tickRoom + rightTicks + 4 + lh + pad + rightLegend;
    return std::max(pad, m.Width("00:00:00") / 2 + 2) + rightLegend;
  };

  // Top and bottom.
  const int top = pad + (legendTopHeight > 0 ? legendTopHeight + pad / 2 : 0) + L.ascent / 2 + 2;
  const int readoutWidth = std::max(W - 2 * pad, 40);
  L.readout = FlowPieces(ReadoutPieces(g, ctx, m, options.hints), m, readoutWidth, lh, lh);
  const int readoutLines = static_cast<int>(L.readout.size());
  const int below = 6 + lh + lh + (sb > 0 ? sb + 4 : 0) + (readoutLines > 0 ? 4 + readoutLines * lh : 0) + lh + pad;

  L.plot.y = top;
  L.plot.h = std::max(H - top - below, 40);
  // The tick labels' width follows the ticks, which follow the plot's height.
  int leftTicks = tickTemplate, rightTicks = tickTemplate;
  for (const PanelSlot& slot : PanelSlots(g, L.plot.h)) {
    const AxisSubject s = LeftSubject(g, slot);
    leftTicks = std::max(leftTicks, PanelAxis(g, m, s.kind, slot, s.down).widest);
  }
  if (L.rightAxis)
    rightTicks = std::max(rightTicks, PanelAxis(g, m, g.kinds[static_cast<size_t>(v.rightChannel)],
                                                PanelSlot{0, L.plot.h, -1, -1}, false).widest);
  L.plot.x = x + leftTicks + tickRoom;
  L.plot.w = std::max(W - L.plot.x - rightRoom(rightTicks), 40);
  if (L.rightAxis) L.rightTitleX = L.plot.x + L.plot.w + tickRoom + rightTicks + 4 + lh / 2;

  // Below the plot, top down.
  int y = L.plot.y + L.plot.h + 6;
  L.tickBaseline = y + L.ascent;
  y += lh;
  L.secondBaseline = y + L.ascent;
  y += lh;
  if (sb > 0) {
    L.hScroll = {L.plot.x, y + 2, L.plot.w, sb};
    y += sb + 4;
  }
  if (readoutLines > 0) {
    L.readoutTop = y + 4;
    y += 4 + readoutLines * lh;
  }
  L.statusBaseline = y + L.ascent;
  if (sb > 0) L.vScroll = {L.vScroll.x, L.plot.y, sb, L.plot.h};

  // The legend's entries in place.
  if (legendRight) {
    // Down the first column, then the next; the plot's top row is the first.
    const int rows = std::max(1, std::min(rowsBeside, (H - pad - L.plot.y) / rowHeight));
    const int top = legendCount <= rows ? L.plot.y : pad;
    const int perColumn = legendCount <= rows ? legendCount : std::max(1, (H - 2 * pad) / rowHeight);
    for (int i = 0; i < legendCount; ++i) {
      const int lx = W - pad - besideWidth + (i / perColumn) * (columnWidth + lh);
      L.legend[static_cast<size_t>(i)].box = {lx - 2, top + (i % perColumn) * rowHeight, columnWidth + 4, rowHeight};
    }
  } else {
    int lx = pad, ly = pad;
    for (LegendEntry& e : L.legend) {
      const int w = entryWidth(e);
      if (lx > pad && lx + w > W - pad) {
        lx = pad;
        ly += rowHeight;
      }
      e.box = {lx - 2, ly, w + 4, rowHeight};
      lx += w + lh;
    }
  }
  for (LegendEntry& e : L.legend) {
    e.swatchWidth = L.swatch;
    e.labelX = e.box.x + 2 + L.swatch + L.gap;
    e.valueRight = e.box.x + e.box.w - 2;
    e.baseline = e.box.y + (rowHeight + L.ascent) / 2 - 1;
  }
  return L;
}

// ---- The parts of the drawing ----

void AddText(GraphDrawing& d, int x, int y, std::string text, TextAlign align, TextStyle style, Rgb colour = {0, 0, 0}) {
  GraphText t;
  t.x = x;
  t.y = y;
  t.text = std::move(text);
  t.align = align;
  t.style = style;
  t.colour = colour;
  d.texts.push_back(std::move(t));
}

// A text centred on x kept inside the picture.
void AddCentred(GraphDrawing& d, const TextMetrics& m, int x, int y, const std::string& text, TextStyle style) {
  const int w = m.Width(text);
  const int left = std::clamp(x - w / 2, 0, std::max(0, d.width - w));
  AddText(d, left, y, text, TextAlign::Left, style);
}

void TimeAxis(const GraphState& g, const DrawContext& ctx, const Layout& L, GraphDrawing& d) {
  const GraphView& v = g.view;
  const TextMetrics& m = MetricsOf(ctx);
  const DataSet& data = ctx.data;
  const TimeBase time(data);
  const int left = d.plot.x, right = d.plot.x + d.plot.w;
  const double ppr = v.pixelsPerReading;
  const double firstRow = v.firstIndex, lastRow = v.firstIndex + v.width / ppr;
  const int minSpacing = m.Width("00:00:00") + 2 * L.lineHeight;
  if (!(time.PeriodTicks() > 0)) {
    // No time base: the readings' numbers.
    const ValueTicks ticks = NiceTicks(firstRow, lastRow, std::max(2, v.width / minSpacing));
    for (double row : ticks.values) {
      const int x = left + static_cast<int>(std::lround((row - firstRow) * ppr));
      if (x < left || x > right) continue;
      d.gridX.push_back(x);
      AddCentred(d, m, x, L.tickBaseline, TickText(row, 0), TextStyle::Axis);
    }
    AddText(d, left, L.secondBaseline, "Reading", TextAlign::Left, TextStyle::Muted);
    return;
  }
  const double secondsPerPixel = time.PeriodTicks() / kTicksPerSecond / ppr;
  const TimeStep step = ChooseTimeStep(minSpacing * secondsPerPixel);
  const auto& runs = time.Runs();
  // The run holding the first shown row, then every run up to the last.
  size_t r = static_cast<size_t>(std::upper_bound(runs.begin(), runs.end(), firstRow,
                                                  [](double row, const TimeBase::Run& run) { return row < run.row; }) -
                                 runs.begin());
  r = r == 0 ? 0 : r - 1;
  struct Tick {
    int x;
    LoggerTime when;
    bool clockSet;  // where a time stamp set the clock off its run: written in full
  };
  std::vector<Tick> ticks;
  int lastX = -(1 << 30);
  for (; r < runs.size() && runs[r].row <= lastRow; ++r) {
    const double a = std::max(firstRow, r == 0 ? firstRow : static_cast<double>(runs[r].row));
    const double b = std::min(lastRow, r + 1 < runs.size() ? static_cast<double>(runs[r + 1].row) : lastRow);
    if (b < a) continue;
    const double ta = runs[r].ticks + (a - runs[r].row) * time.PeriodTicks();
    const double tb = runs[r].ticks + (b - runs[r].row) * time.PeriodTicks();
    if (tb < 0) continue;
    if (r > 0 && runs[r].row > firstRow) {
      // A stamp that moved the clock starts a run of its own on the axis:
      // its time in full, the ticks of the run before it cleared away.
      const double expected = runs[r - 1].ticks + (runs[r].row - runs[r - 1].row) * time.PeriodTicks();
      if (std::fabs(static_cast<double>(runs[r].ticks) - expected) > time.PeriodTicks()) {
        const int x = left + static_cast<int>(std::lround((runs[r].row - firstRow) * ppr));
        while (!ticks.empty() && ticks.back().x > x - minSpacing) ticks.pop_back();
        ticks.push_back({x, FromTicks(runs[r].ticks), true});
        lastX = x;
      }
    }
    for (uint64_t t : CalendarTicks(static_cast<uint64_t>(std::max(ta, 0.0)), static_cast<uint64_t>(tb), step)) {
      const double row = runs[r].row + (static_cast<double>(t) - runs[r].ticks) / time.PeriodTicks();
      if (r + 1 < runs.size() && row >= runs[r + 1].row) continue;
      const int x = left + static_cast<int>(std::lround((row - firstRow) * ppr));
      if (x < left || x > right || x < lastX + minSpacing * 6 / 10) continue;
      lastX = x;
      ticks.push_back({x, FromTicks(t), false});
    }
  }
  // Dates under the ticks: where the date changes, and always where the
  // clock was set, that one over any date it would crowd.
  struct Placed {
    size_t text;
    int right;
  };
  std::vector<Placed> dates;
  std::string lastDate;
  auto addDate = [&](int x, const std::string& date, bool force) {
    const int w = m.Width(date);
    const int dx = std::clamp(x, 0, std::max(0, d.width - w));
    if (!dates.empty() && dx <= dates.back().right) {
      if (!force || dates.size() < 2) return;
      d.texts.erase(d.texts.begin() + static_cast<std::ptrdiff_t>(dates.back().text));
      dates.pop_back();
      if (!dates.empty() && dx <= dates.back().right) return;
    }
    AddText(d, dx, L.secondBaseline, date, TextAlign::Left, TextStyle::Axis);
    dates.push_back({d.texts.size() - 1, dx + w + L.lineHeight});
    lastDate = date;
  };
  // The date at the left edge when the first tick has another.
  if (!ticks.empty()) {
    const LoggerTime edge = FromTicks(static_cast<uint64_t>(std::max(time.TicksAt(std::max(firstRow, 0.0)), 0.0)));
    const std::string date = TimeTickDate(edge, step);
    const std::string firstDate = TimeTickDate(ticks.front().when, step);
    const int firstLabel = ticks.front().x - m.Width(TimeTickText(ticks.front().when, step)) / 2;
    if (!date.empty() && date != firstDate && left + m.Width(date) + L.lineHeight <= firstLabel) addDate(left, date, false);
  }
  for (const Tick& t : ticks) {
    d.gridX.push_back(t.x);
    const std::string text = t.clockSet ? ClockToText(t.when) : TimeTickText(t.when, step);
    AddCentred(d, m, t.x, L.tickBaseline, text, TextStyle::Axis);
    std::string date = TimeTickDate(t.when, step);
    if (t.clockSet && date.empty()) date = TimeTickDate(t.when, TimeStep{TimeUnit::Hour, 1});
    if (!date.empty() && (date != lastDate || t.clockSet)) addDate(t.x - m.Width(text) / 2, date, t.clockSet);
  }
  if (d.gridX.empty()) {
    // Too short a view for a tick: the time at its left edge.
    AddText(d, left, L.tickBaseline, TimeToDisplayText(FromTicks(static_cast<uint64_t>(std::max(time.TicksAt(firstRow), 0.0)))),
            TextAlign::Left, TextStyle::Axis);
  }
}

void XAxisOfXy(const GraphState& g, const DrawContext& ctx, const Layout& L, GraphDrawing& d) {
  const GraphView& v = g.view;
  const TextMetrics& m = MetricsOf(ctx);
  SpanRange xr;
  if (!XyRange(g, xr)) return;
  const double span = static_cast<double>(xr.high) - xr.low;
  const int minSpacing = m.Width("-0000.00") + 2 * L.lineHeight;
  if (span > 0) {
    const ValueTicks ticks = NiceTicks(xr.low, xr.high, std::max(2, v.width / minSpacing));
    for (double value : ticks.values) {
      const int x = d.plot.x + static_cast<int>(std::lround((value - xr.low) / span * v.width));
      d.gridX.push_back(x);
      AddCentred(d, m, x, L.tickBaseline, TickText(value, ticks.decimals), TextStyle::Axis);
    }
  } else {
    AddCentred(d, m, d.plot.x + v.width / 2, L.tickBaseline, TickText(xr.low, 4), TextStyle::Axis);
  }
  const std::string title = ChannelTitle(ctx, v.xChannel);
  AddCentred(d, m, d.plot.x + v.width / 2, L.secondBaseline, title, TextStyle::Title);
  d.texts.back().colour = v.depthPlot ? ChannelColour(v.xChannel) : Rgb{0, 0, 0};
}

void ValueAxes(const GraphState& g, const DrawContext& ctx, const Layout& L, const std::vector<PanelSlot>& slots,
               GraphDrawing& d) {
  const GraphView& v = g.view;
  const TextMetrics& m = MetricsOf(ctx);
  const bool stackedPanels = slots.size() > 1;
  for (size_t i = 0; i < slots.size(); ++i) {
    PanelSlot slot = slots[i];
    slot.top += d.plot.y;
    GraphPanel& panel = d.panels[i];
    const AxisSubject s = LeftSubject(g, slot);
    const ValueAxis axis = PanelAxis(g, m, s.kind, slot, s.down);
    for (size_t t = 0; t < axis.y.size(); ++t) {
      const int y = axis.y[t];
      panel.gridY.push_back(y);
      // Stacked, a label that would cross into the next panel is left out.
      if (stackedPanels && (y - L.ascent / 2 < slot.top - 1 || y + L.ascent / 2 > slot.top + slot.height + 1)) continue;
      AddText(d, d.plot.x - 8, y + L.ascent / 2 - 1, axis.labels[t], TextAlign::Right, TextStyle::Axis);
    }
    if (stackedPanels) {
      // The panel's own channel, inside it at the top left.
      GraphText caption;
      caption.x = panel.rect.x + 6;
      caption.y = panel.rect.y + L.ascent + 3;
      caption.text = ChannelTitle(ctx, s.channel);
      caption.style = TextStyle::Caption;
      caption.swatch = true;
      caption.swatchColour = ChannelColour(s.channel);
      d.texts.push_back(caption);
    }
  }
  if (!stackedPanels && g.columns > 0) {
    const AxisSubject s = LeftSubject(g, PanelSlot{d.plot.y, d.plot.h, -1, -1});
    GraphText title;
    title.x = L.leftTitleX;
    title.y = d.plot.y + d.plot.h / 2;
    title.text = ChannelTitle(ctx, s.channel);
    if (v.xyMode && v.depthPlot) title.text += ", increasing downwards";
    title.align = TextAlign::Centre;
    title.style = TextStyle::Title;
    title.vertical = true;
    title.colour = v.xyMode && v.depthPlot ? Rgb{0, 0, 0} : ChannelColour(s.channel);
    d.texts.push_back(title);
  }
  if (L.rightAxis) {
    const int c = v.rightChannel;
    const ValueAxis axis =
        PanelAxis(g, m, g.kinds[static_cast<size_t>(c)], PanelSlot{d.plot.y, d.plot.h, -1, -1}, false);
    for (size_t t = 0; t < axis.y.size(); ++t) {
      d.panels[0].rightTicksY.push_back(axis.y[t]);
      AddText(d, d.plot.x + d.plot.w + 8, axis.y[t] + L.ascent / 2 - 1, axis.labels[t], TextAlign::Left, TextStyle::Axis);
    }
    GraphText title;
    title.x = L.rightTitleX;
    title.y = d.plot.y + d.plot.h / 2;
    title.text = ChannelTitle(ctx, c);
    title.align = TextAlign::Centre;
    title.style = TextStyle::Title;
    title.vertical = true;
    title.colour = ChannelColour(c);
    d.texts.push_back(title);
  }
}

std::string ChannelList(uint32_t mask) {
  std::string out;
  for (int c = 0; c < 32; ++c)
    if ((mask >> c) & 1u) out += (out.empty() ? "" : ", ") + std::to_string(c + 1);
  return out;
}

void Markers(const GraphState& g, const DataSet& data, const std::vector<PanelSlot>& slots, GraphDrawing& d) {
  const GraphView& v = g.view;
  const int first = v.firstIndex, last = LastShownIndex(g);
  const PanelSlot& topPanel = slots.front();
  const PanelSlot& bottomPanel = slots.back();
  const int topLength = std::clamp(topPanel.height * 18 / 250, 12, 18);
  const int bottomLength = std::clamp(bottomPanel.height / 10, 12, 25);
  const int y0 = d.plot.y;
  auto it = std::lower_bound(data.stamps.begin(), data.stamps.end(), first,
                             [](const StampRecord& s, int row) { return s.sampleIndex < row; });
  for (; it != data.stamps.end() && it->sampleIndex <= last; ++it) {
    const StampRecord& s = *it;
    GraphMarker m;
    m.x = d.plot.x + static_cast<int>(std::floor((s.sampleIndex - first) * static_cast<double>(v.pixelsPerReading)));
    m.markerClass = s.markerClass;
    m.stampType = s.type;
    const std::string when = Format("reading %d, %s", s.sampleIndex, TimeToDisplayText(ReadingTime(data, s.sampleIndex)).c_str());
    if (s.type == kStampBurst) {
      m.pen = MarkerPen::Burst;
      m.y1 = y0 + topPanel.top + 3;
      m.y2 = m.y1 + topLength;
      m.tip = Format("Burst %d begins: %s", s.burstIndex + 1, when.c_str());
    } else if (s.type == kStampGain) {
      if (!v.showRangeChanges || (s.changedMask & v.shownMask) == 0) continue;
      m.pen = (s.changedMask & ~v.shownMask) == 0 ? MarkerPen::GainAll : MarkerPen::GainSome;
      m.y1 = y0 + topPanel.top + 3;
      m.y2 = m.y1 + topLength;
      m.tip = Format("Range change of channel%s %s: %s", s.changedMask & (s.changedMask - 1) ? "s" : "",
                     ChannelList(s.changedMask).c_str(), when.c_str());
    } else {
      m.pen = MarkerPen::Stamp;
      m.y2 = y0 + bottomPanel.top + bottomPanel.height;
      m.y1 = m.y2 - bottomLength;
      std::string name = StampName(s.type);
      for (size_t i = 1; i < name.size(); ++i) name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
      m.tip = name + ": " + when;
    }
    // Marks on one pixel column are one mark; its tip tells them all.
    if (!d.markers.empty() && d.markers.back().x == m.x && d.markers.back().pen == m.pen) {
      GraphMarker& same = d.markers.back();
      const size_t lines = static_cast<size_t>(std::count(same.tip.begin(), same.tip.end(), '\n'));
      if (lines < 3) same.tip += "\n" + m.tip;
      else if (lines == 3) same.tip += "\n...";
      continue;
    }
    d.markers.push_back(std::move(m));
  }
}

std::string ScaleText(const GraphState& g, const DataSet& data) {
  const GraphView& v = g.view;
  if (v.xyMode) return v.depthPlot ? "Depth plot: the whole record" : "x-y plot: the whole record";
  if (v.realTime) return Format("Real-time display: the newest %d readings", kRealTimeReadings);
  std::string per;
  if (data.sixHzProfiling) {
    per = "1/6 second per reading";
  } else {
    const long seconds = std::lround(v.readingsPerDivision * SamplePeriod(data));
    per = Format("%02ld:%02ld:%02ld per division", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  }
  const int first = std::max(v.firstIndex, 0), last = LastShownIndex(g);
  return Format("Readings %d to %d of %d (%s to %s)", first, last, g.readingCount,
                TimeToDisplayText(ReadingTime(data, first)).c_str(), TimeToDisplayText(ReadingTime(data, last)).c_str()) +
         kDot +
         Format("%0.2f readings per division", v.readingsPerDivision + 0.0001) + kDot + per;
}

}  // namespace

void LayOutPicture(GraphState& g, const DrawContext& ctx, int width, int height, const PictureOptions& options) {
  GraphView& v = g.view;
  v.pictureWidth = std::max(width, 1);
  v.pictureHeight = std::max(height, 1);
  v.options = options;
  const Layout L = ComputeLayout(g, ctx, v.pictureWidth, v.pictureHeight, options);
  v.plotLeft = L.plot.x;
  v.plotTop = L.plot.y;
  SetPlotSize(g, L.plot.w, L.plot.h);
}

GraphDrawing DrawPictureAt(GraphState& g, const DrawContext& ctx, int width, int height, const PictureOptions& options) {
  const GraphView kept = g.view;
  LayOutPicture(g, ctx, width, height, options);
  GraphDrawing d = BuildDrawing(g, ctx);
  g.view = kept;
  return d;
}

GraphDrawing BuildDrawing(const GraphState& g, const DrawContext& ctx) {
  GraphDrawing d;
  const GraphView& v = g.view;
  const bool laidOut = v.pictureWidth > 0;
  d.width = laidOut ? v.pictureWidth : v.width;
  d.height = laidOut ? v.pictureHeight : v.height;
  d.plot = {v.plotLeft, v.plotTop, v.width, v.height};
  if (!g.hasData) {
    d.panels.push_back({d.plot, -1, {}, {}});
    return d;
  }
  const TextMetrics& m = MetricsOf(ctx);
  Layout L = ComputeLayout(g, ctx, d.width, d.height, v.options);
  if (!laidOut) {
    // Drawn without a picture around it: the plot alone.
    L.legend.clear();
    L.readout.clear();
    L.hScroll = L.vScroll = {};
  }
  d.hScrollBar = L.hScroll;
  d.vScrollBar = L.vScroll;
  d.zoomButtonsShown = !v.xyMode && !v.realTime;
  const std::vector<PanelSlot> slots = PanelSlots(g);
  for (const PanelSlot& s : slots) d.panels.push_back({{d.plot.x, d.plot.y + s.top, d.plot.w, s.height}, s.channel, {}, {}});

  if (v.xyMode) {
    XyTraces(g, ctx.data, d.lines);
    XAxisOfXy(g, ctx, L, d);
  } else {
    TimeSeriesTraces(g, ctx.data, false, d.lines);
    OutOfRangeMarks(g, ctx.data, d.pointMarks);
    Markers(g, ctx.data, slots, d);
    TimeAxis(g, ctx, L, d);
    if (v.cursorActive) {
      d.cursorShown = true;
      d.cursorX = d.plot.x + static_cast<int>(std::floor((v.cursorIndex - v.firstIndex) * static_cast<double>(v.pixelsPerReading)));
      if (v.highlightCount > 0) {
        const int firstRow = std::max(0, v.cursorIndex - v.highlightCount + 1);
        d.highlightShown = true;
        d.highlightX1 = d.plot.x + static_cast<int>(std::floor((firstRow - v.firstIndex) * static_cast<double>(v.pixelsPerReading)));
        d.highlightX2 = d.cursorX;
      }
    }
    if (v.cursor2Active) {
      d.cursor2Shown = true;
      d.cursor2X = d.plot.x + static_cast<int>(std::floor((v.cursor2Index - v.firstIndex) * static_cast<double>(v.pixelsPerReading)));
      // Two cursors: which is which, at their tops.
      for (auto [x, tag] : {std::pair{d.cursorX, "1"}, std::pair{d.cursor2X, "2"}})
        if (x >= d.plot.x && x < d.plot.x + d.plot.w) AddText(d, x + 4, d.plot.y + L.ascent + 3, tag, TextAlign::Left, TextStyle::Caption);
    }
  }
  ValueAxes(g, ctx, L, slots, d);

  // The read-out, line by line.
  int y = L.readoutTop + L.ascent;
  for (const std::vector<Piece>& line : L.readout) {
    int x = L.pad;
    for (const Piece& p : line) {
      GraphText t;
      t.x = x;  // a swatch goes first, the text after it
      t.y = y;
      t.text = p.text;
      t.style = p.style;
      t.swatch = p.swatch;
      t.swatchColour = p.colour;
      d.texts.push_back(t);
      x += std::max(p.reserve, m.Width(p.text)) + (p.swatch ? L.lineHeight : 0) + L.lineHeight;
    }
    y += L.lineHeight;
  }
  d.cursorReadout = CursorReadout(g, ctx);
  d.legend = L.legend;
  d.scaleText = ScaleText(g, ctx.data);
  if (laidOut) {
    // A narrow picture drops the line's last parts rather than cutting a time in half.
    std::string line = d.scaleText;
    const int room = d.width - 2 * L.pad;
    for (size_t cut; m.Width(line) > room && (cut = line.rfind(kDot)) != std::string::npos;) line.erase(cut);
    AddText(d, L.pad, L.statusBaseline, line, TextAlign::Left, TextStyle::Muted);
  }
  return d;
}

std::string CursorReadout(const GraphState& g, const DrawContext& ctx) {
  if (!g.hasData || !g.view.cursorActive || g.view.xyMode) return {};
  std::string text;
  for (const Piece& p : ReadoutPieces(g, ctx, MetricsOf(ctx), false)) text += (text.empty() ? "" : "  ") + p.text;
  return text;
}

std::vector<ChannelButton> ChannelButtons(const GraphState& g, const DataSet& data, const LoggerInfo& logger, int derivedUnit) {
  std::vector<ChannelButton> buttons;
  for (int i = 0; i < kChannelButtonCount; ++i) {
    ChannelButton b;
    b.channel = i;
    b.label = std::to_string(i + 1);
    b.colour = ChannelColour(i);
    b.visible = g.hasData && i < g.columns;
    b.shown = b.visible && Shown(g.view, i);
    if (b.visible) {
      const int row = ChannelTypeRowForCode(ColumnCode(data, i));
      if (row != kUnknownChannelTypeRow) {
        std::string heading = ChannelTypeTable()[static_cast<size_t>(row)].shortLabel + 1;
        heading.erase(0, heading.find_first_not_of(' '));
        heading.erase(heading.find_last_not_of(' ') + 1);
        b.label += " " + Latin1ToUtf8(heading);
      }
      b.tip = Format("Channel %d: %s. Shows this channel alone; the legend beside the plot shows or hides each channel.",
                     i + 1, ColumnCaption(data, logger, i, derivedUnit).c_str());
    }
    buttons.push_back(b);
  }
  return buttons;
}

std::vector<ChannelButton> ChannelButtons(const GraphState& g, const DataSet& data) {
  static const LoggerInfo kNoLogger;
  return ChannelButtons(g, data, kNoLogger);
}

int LegendChannelAt(const GraphDrawing& d, int x, int y) {
  for (const LegendEntry& e : d.legend)
    if (e.channel >= 0 && e.box.Contains(x, y)) return e.channel;
  return -1;
}

std::string TipAt(const GraphDrawing& d, int x, int y) {
  for (const LegendEntry& e : d.legend)
    if (e.box.Contains(x, y)) return e.tip;
  const GraphMarker* best = nullptr;
  for (const GraphMarker& m : d.markers)
    if (std::abs(m.x - x) <= 3 && y >= m.y1 - 4 && y <= m.y2 + 4 && (best == nullptr || std::abs(m.x - x) < std::abs(best->x - x)))
      best = &m;
  return best != nullptr ? best->tip : std::string();
}

int PanelAt(const GraphDrawing& d, int x, int y) {
  for (size_t i = 0; i < d.panels.size(); ++i)
    if (d.panels[i].rect.Contains(x, y)) return static_cast<int>(i);
  return -1;
}

}  // namespace tmv
