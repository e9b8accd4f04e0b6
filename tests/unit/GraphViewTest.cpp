// The graph view: zoom steps and limits, placement, rubber band, column
// summaries against drawing every reading, cursor and bad data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <tuple>

#include "presentation/AxisTicks.h"
#include "presentation/GraphCommands.h"
#include "presentation/GraphView.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

// A DataSet of `rows` readings in `codes.size()` channels filled by f(c, r).
void Fill(DataSet& d, const std::vector<uint8_t>& codes, int rows, const std::function<float(int, int)>& f) {
  d.Clear();
  ASSERT_TRUE(d.LayOut(static_cast<int>(codes.size()), rows));
  d.channelCount = d.totalChannelCount = static_cast<int>(codes.size());
  d.sampleCount = rows;
  for (size_t c = 0; c < codes.size(); ++c) {
    d.channelTypes[c] = codes[c];
    d.columnCodes[c] = codes[c];
    float lo = 1e30f, hi = -1e30f;
    for (int r = 0; r < rows; ++r) {
      const float v = f(static_cast<int>(c), r);
      d.Column(static_cast<int>(c))[r] = v;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    d.Column(static_cast<int>(c))[rows] = lo;
    d.Column(static_cast<int>(c))[rows + 1] = hi;
  }
  d.startTime = LoggerTime{2010, 6, 0, 7, 15, 30, 0, 0};
  d.samplePeriodSeconds = 10;
}

GraphState Attached(const DataSet& d, int width) {
  GraphState g;
  g.view.width = width;
  AttachData(g, d);
  return g;
}

// Pixels a one-pixel pen sets for a polyline (Bresenham), clipped to the plot.
std::set<std::pair<int, int>> Raster(const std::vector<GraphPolyline>& lines, int width) {
  std::set<std::pair<int, int>> px;
  for (const auto& l : lines)
    for (size_t i = 0; i + 1 < l.points.size(); ++i) {
      int x0 = l.points[i].x, y0 = l.points[i].y;
      const int x1 = l.points[i + 1].x, y1 = l.points[i + 1].y;
      const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
      const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
      int err = dx + dy;
      for (;;) {
        if (x0 >= 0 && x0 < width && y0 >= 0 && y0 < kGraphHeight) px.insert({x0, y0});
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
      }
    }
  return px;
}

TEST(GraphZoom, ResetThenHorizontalStepsAndLimits) {
  DataSet d;
  Fill(d, {'T'}, 501, [](int, int r) { return static_cast<float>(r % 17); });
  GraphState g = Attached(d, 603);
  EXPECT_NEAR(g.view.readingsPerDivision, 500 / 60.3, 1e-4);
  ZoomInHorizontal(g);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 3.0f);
  ZoomInHorizontal(g);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 1.0f);
  EXPECT_FLOAT_EQ(g.view.pixelsPerReading, 10.0f);
  ZoomInHorizontal(g);  // past the limit: nothing changes
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 1.0f);
  ZoomOutHorizontal(g);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 3.0f);
  ZoomOutHorizontal(g);
  EXPECT_NEAR(g.view.readingsPerDivision, 500 / 60.3, 1e-4);
  ZoomOutHorizontal(g);
  EXPECT_NEAR(g.view.readingsPerDivision, 500 / 60.3, 1e-4);
  EXPECT_EQ(g.view.firstIndex, 0);

  DataSet big;
  Fill(big, {'T'}, 100000, [](int, int r) { return static_cast<float>(r % 101); });
  GraphState b = Attached(big, 603);
  for (int i = 0; i < 10; ++i) ZoomInHorizontal(b);
  EXPECT_FLOAT_EQ(b.view.readingsPerDivision, 1.0f);
  const float expected[] = {3, 10, 30, 100, 300, 1000};
  for (float e : expected) {
    ZoomOutHorizontal(b);
    EXPECT_FLOAT_EQ(b.view.readingsPerDivision, e);
  }
  // Zoomed out at the end of the data, the last shown reading stays in it.
  ScrollTo(b, 99990);
  ZoomOutHorizontal(b);
  EXPECT_LE(b.view.firstIndex + std::lround(60.3 * b.view.readingsPerDivision + 0.5), 99999);
}

TEST(GraphZoom, ZoomOutAfterRubberBandDoesNotStick) {
  DataSet d;
  Fill(d, {'T'}, 100000, [](int, int r) { return static_cast<float>(r % 101); });
  GraphState g = Attached(d, 603);
  ASSERT_TRUE(RubberBandZoom(g, 0, 0, 300, 200));  // off the 1-3-10 sequence
  const float before = g.view.readingsPerDivision;
  ZoomOutHorizontal(g);
  EXPECT_GT(g.view.readingsPerDivision, before);
}

TEST(GraphZoom, VerticalStepsAndSmallestScale) {
  DataSet d;
  Fill(d, {'T'}, 100, [](int, int r) { return 10.0f + static_cast<float>(r) * 0.2f; });  // span 19.8
  GraphState g = Attached(d, 603);
  EXPECT_NEAR(g.view.unitsPerDivision[0], 0.99, 1e-5);
  g.view.unitsPerDivision[0] = 2.0f;
  ZoomInVertical(g);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 1.0f);
  ZoomInVertical(g);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 0.5f);
  ZoomOutVertical(g);
  ZoomOutVertical(g);
  ZoomOutVertical(g);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 5.0f);
  const double centre = CentreValue(g, 0);
  ZoomOutVertical(g);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 10.0f);
  EXPECT_NEAR(CentreValue(g, 0), centre, 10.0);
  g.view.unitsPerDivision[0] = 0.0001f;
  ZoomInVertical(g);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 0.0001f);
  g.view.fineScale = true;
  ZoomInVertical(g);
  EXPECT_NEAR(g.view.unitsPerDivision[0], 0.00005, 1e-9);
  for (int i = 0; i < 40; ++i) ZoomInVertical(g);
  EXPECT_NEAR(g.view.unitsPerDivision[0], 1e-6, 1e-12);
}

TEST(GraphPlacement, ExtremesAtTopAndBottomAndDepthDownward) {
  DataSet d;
  Fill(d, {'T', 'A'}, 21, [](int, int r) { return static_cast<float>(r); });  // 0..20
  GraphState g = Attached(d, 603);
  ShowChannel(g, d, 0);
  ResetVertical(g);
  EXPECT_EQ(PlaceValue(g, kKindTemperature, 20.0), 25);   // max: ten divisions above the middle
  EXPECT_EQ(PlaceValue(g, kKindTemperature, 0.0), 225);   // min
  EXPECT_EQ(PlaceValue(g, kKindTemperature, 10.0), 125);
  EXPECT_EQ(PlaceValue(g, kKindDepth, 20.0), 225);        // depth grows downward
  EXPECT_EQ(PlaceValue(g, kKindTemperature, 1e9), -1000);  // clamped
  ShowChannel(g, d, 1);
  const DrawContext ctx{d, LoggerInfo{}, 0};
  GraphDrawing drawing = BuildDrawing(g, ctx);
  // Depth's axis reads downward: its top tick shows the smaller value.
  std::vector<std::pair<int, double>> ticks;
  for (const GraphText& t : drawing.texts)
    if (t.style == TextStyle::Axis && t.align == TextAlign::Right) ticks.push_back({t.y, std::stod(t.text)});
  ASSERT_GE(ticks.size(), 3u);
  std::sort(ticks.begin(), ticks.end());
  EXPECT_LT(ticks.front().second, ticks.back().second);
}

TEST(GraphRubberBand, BandArithmeticAndMinimumScale) {
  DataSet d;
  Fill(d, {'T'}, 6031, [](int, int r) { return static_cast<float>(r % 200) * 0.1f; });
  GraphState g = Attached(d, 603);
  ASSERT_FLOAT_EQ(g.view.readingsPerDivision, 100.0f);
  EXPECT_FALSE(RubberBandZoom(g, 40, 40, 40, 40));  // a click: unchanged
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 100.0f);
  ASSERT_TRUE(RubberBandZoom(g, 300, 150, 100, 50));  // corners in any order
  EXPECT_EQ(g.view.firstIndex, 1000);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 20000.0f / 603.0f);
  EXPECT_NEAR(g.view.unitsPerDivision[0], 0.995 * 0.5, 1e-5);
  // The band's vertical middle (y 100) is now the middle of the plot.
  EXPECT_NEAR(CentreValue(g, 0), 9.95 + 2.5 * 0.995, 0.5);
  // A band narrower than ten readings: one reading a division, centred.
  ASSERT_TRUE(RubberBandZoom(g, 100, 5, 101, 5));  // no height: the smallest band scale
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 1.0f);
  EXPECT_FLOAT_EQ(g.view.unitsPerDivision[0], 5e-05f);
  // Zero width but some height: no division by zero.
  ASSERT_TRUE(RubberBandZoom(g, 10, 0, 10, 100));
  EXPECT_TRUE(std::isfinite(g.view.pixelsPerReading));
}

TEST(GraphColumns, SummaryDrawsTheSamePixelsAsEveryReading) {
  DataSet d;
  uint32_t seed = 12345;
  Fill(d, {'T', 'P', 'A'}, 200000, [&](int c, int r) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(std::sin(r * 0.0007 + c) * 10 + (seed >> 8) % 1000 * 0.002);
  });
  GraphState g = Attached(d, 603);
  auto compare = [&](const char* what) {
    const DrawContext ctx{d, LoggerInfo{}, 0};
    GraphDrawing fast = BuildDrawing(g, ctx);
    const auto slow = NaiveTraces(g, d);
    for (int c = 0; c < 3; ++c) {
      std::vector<GraphPolyline> a, b;
      for (auto& l : fast.lines) if (l.channel == c) a.push_back(l);
      for (auto& l : slow) if (l.channel == c) b.push_back(l);
      EXPECT_EQ(Raster(a, g.view.width), Raster(b, g.view.width)) << what << " channel " << c;
    }
    size_t points = 0;
    for (auto& l : fast.lines) points += l.points.size();
    EXPECT_LE(points, static_cast<size_t>(3 * 4 * (g.view.width + 2))) << what;
  };
  compare("whole");
  ScrollTo(g, 12345);
  ZoomInHorizontal(g);
  ZoomInHorizontal(g);
  compare("zoomed");
  ScrollTo(g, 777);
  ResetVertical(g);
  ZoomInVertical(g);
  ZoomInVertical(g);  // traces run off the plot and are clamped
  compare("vertically zoomed");
  // Stacked panels reduce the same way, each channel in its own panel.
  SetStacked(g, true);
  ResetVertical(g);
  compare("stacked");
  const GraphDrawing stacked = BuildDrawing(g, DrawContext{d, LoggerInfo{}, 0});
  ASSERT_EQ(stacked.panels.size(), 3u);
  for (const GraphPolyline& line : stacked.lines) EXPECT_EQ(line.panel, line.channel);
}

TEST(GraphColumns, SummaryRangeMatchesScanAndSkipsErrorValues) {
  std::vector<float> v(1000);
  for (int i = 0; i < 1000; ++i) v[static_cast<size_t>(i)] = static_cast<float>((i * 7919) % 1000);
  v[500] = kInvalidValue;
  v[501] = std::numeric_limits<float>::quiet_NaN();
  v[502] = 1000.0f;
  ColumnSummary s;
  s.Build(v.data(), 1000);
  for (int b = 0; b < 1000; b += 37)
    for (int e = b; e <= 1000; e += 53) {
      SpanRange r = s.Range(b, e);
      float lo = 1e30f, hi = -1e30f;
      for (int i = b; i < e; ++i)
        if (DrawableValue(v[static_cast<size_t>(i)])) {
          lo = std::min(lo, v[static_cast<size_t>(i)]);
          hi = std::max(hi, v[static_cast<size_t>(i)]);
        }
      ASSERT_EQ(r.any, lo <= hi) << b << ".." << e;
      if (r.any) {
        EXPECT_EQ(r.low, lo);
        EXPECT_EQ(r.high, hi);
      }
    }
}

TEST(GraphBadData, OneReadingFlatErrorsAndCursorOutside) {
  const DrawContext* none = nullptr;
  (void)none;
  DataSet one;
  Fill(one, {'T'}, 1, [](int, int) { return 5.0f; });
  GraphState g = Attached(one, 603);
  EXPECT_TRUE(std::isfinite(g.view.pixelsPerReading));
  EXPECT_GT(g.view.unitsPerDivision[0], 0.0f);
  GraphDrawing d1 = BuildDrawing(g, DrawContext{one, LoggerInfo{}, 0});
  EXPECT_FALSE(d1.lines.empty());
  ZoomInHorizontal(g);
  ZoomOutHorizontal(g);
  ZoomInVertical(g);
  EXPECT_TRUE(SetCursor(g, 5000));  // outside the data: clamped to the last reading
  EXPECT_EQ(g.view.cursorIndex, 0);
  EXPECT_TRUE(SetCursor(g, -5000));
  EXPECT_EQ(g.view.cursorIndex, 0);

  DataSet bad;
  Fill(bad, {'T', 'C'}, 5000, [](int c, int r) {
    if (c == 1) return 3.0f;  // minimum equals maximum
    if (r % 100 == 0) return std::numeric_limits<float>::quiet_NaN();
    if (r % 100 == 1) return -1000.0f;
    if (r % 100 == 2) return 1000.0f;
    return static_cast<float>(r % 7);
  });
  GraphState b = Attached(bad, 603);
  EXPECT_FLOAT_EQ(b.kindRange[kKindTemperature].high, 6.0f);  // error values are not the range
  EXPECT_FLOAT_EQ(b.kindRange[kKindTemperature].low, 0.0f);
  for (int i = 0; i < 3; ++i) ZoomInHorizontal(b);
  GraphDrawing db = BuildDrawing(b, DrawContext{bad, LoggerInfo{}, 0});
  for (const auto& l : db.lines)
    for (const auto& p : l.points) ASSERT_TRUE(p.y >= -1000 && p.y <= 1000);
  GraphState empty;
  EXPECT_FALSE(SetCursor(empty, 10));
  EXPECT_FALSE(RubberBandZoom(empty, 0, 0, 10, 10));
  EXPECT_TRUE(BuildDrawing(empty, DrawContext{bad, LoggerInfo{}, 0}).lines.empty());
}

TEST(GraphCursor, ReadoutTimeFollowsTheLastTimeStamp) {
  DataSet d;
  Fill(d, {'T'}, 1000, [](int, int r) { return static_cast<float>(r); });
  StampRecord s;
  s.sampleIndex = 500;
  s.type = kStampTime;
  s.time = LoggerTime{2011, 1, 0, 2, 3, 4, 5, 0};
  d.stamps.push_back(s);
  GraphState g = Attached(d, 603);
  ASSERT_TRUE(SetCursor(g, 100));
  const int row = g.view.cursorIndex;
  ASSERT_LT(row, 500);
  const LoggerTime t = ReadingTime(d, row);
  EXPECT_EQ(ToTicks(t), ToTicks(AddSeconds(d.startTime, row * 10)));
  EXPECT_EQ(TimeToDisplayText(ReadingTime(d, 503)), "2011/Jan/02 03:04:35");
  const std::string text = CursorReadout(g, DrawContext{d, LoggerInfo{}, 0});
  EXPECT_EQ(text.rfind("Reading " + std::to_string(row) + "  " + TimeToDisplayText(t), 0), 0u) << text;
}

TEST(GraphMarkers, StampClassesAndRangeChanges) {
  DataSet d;
  Fill(d, {'T', 'Y', 'F'}, 1000, [](int, int r) { return static_cast<float>(r % 13); });
  auto stamp = [&](int row, int type, uint32_t mask) {
    StampRecord s;
    s.sampleIndex = row;
    s.type = type;
    s.changedMask = mask;
    d.stamps.push_back(s);
  };
  stamp(100, kStampBurst, 0);
  stamp(200, kStampGain, 0b110);
  stamp(300, kStampComms, 0);
  GraphState g = Attached(d, 603);
  auto markers = [&] { return BuildDrawing(g, DrawContext{d, LoggerInfo{}, 0}).markers; };
  auto m = markers();
  ASSERT_EQ(m.size(), 2u);  // range changes hidden
  EXPECT_EQ(m[0].pen, MarkerPen::Burst);
  EXPECT_EQ(m[0].y1, 3);
  EXPECT_EQ(m[0].y2, 21);
  EXPECT_EQ(m[1].pen, MarkerPen::Stamp);
  EXPECT_EQ(m[1].y1, 225);
  g.view.showRangeChanges = true;
  m = markers();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1].pen, MarkerPen::GainAll);
  ShowChannel(g, d, 1);
  m = markers();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1].pen, MarkerPen::GainSome);
  ShowChannel(g, d, 0);
  EXPECT_EQ(markers().size(), 2u);  // the changed channels are not shown
}

TEST(GraphLabels, UnitLabelsByKindAndFamily) {
  LoggerInfo qn;
  qn.model = "QN-760";
  EXPECT_EQ(KindUnitLabel(qn, kKindPressure), "deciBars");
  EXPECT_EQ(KindUnitLabel(qn, kKindConductivity), "uS/cm");
  qn.conductivityMilliSiemens = true;
  EXPECT_EQ(KindUnitLabel(qn, kKindConductivity), "mS/cm");
  EXPECT_EQ(KindUnitLabel(qn, kKindPar), "\xB5Mol.m-2.s-1");
  EXPECT_EQ(KindUnitLabel(qn, kKindUnknown), "Unknown");
  LoggerInfo km;
  km.model = "KM-1420";
  EXPECT_EQ(KindUnitLabel(km, kKindDepth), "degrees C");
  LoggerInfo pm;
  pm.model = "PM-1200";
  EXPECT_EQ(KindUnitLabel(pm, kKindDepth), "deciBars");
  EXPECT_EQ(KindOfCode('A'), kKindDepth);
  EXPECT_EQ(KindOfCode(0x81), kKindWaveHeight);
}

TEST(GraphRealTime, FollowsTheNewestReadings) {
  DataSet d;
  Fill(d, {'T'}, 50, [](int, int r) { return static_cast<float>(r); });
  GraphState g = Attached(d, 603);
  FollowNewest(g);
  EXPECT_EQ(g.view.firstIndex, 50 - 180);
  EXPECT_NEAR(g.view.pixelsPerReading, 603.0 / 180.0, 1e-4);
  GraphDrawing drawing = BuildDrawing(g, DrawContext{d, LoggerInfo{}, 0});
  EXPECT_FALSE(drawing.zoomButtonsShown);
  ASSERT_FALSE(drawing.lines.empty());
  EXPECT_NEAR(drawing.lines[0].points.back().x, 179.0 * 603 / 180, 1);
}


// ---- Axes, history, legend and picture ----

using Strings = std::vector<std::string>;

// The texts of a drawing between two rows of the picture, left to right.
Strings TextsBetween(const GraphDrawing& d, int top, int bottom, TextStyle style) {
  std::vector<std::pair<int, std::string>> found;
  for (const GraphText& t : d.texts)
    if (t.style == style && t.align == TextAlign::Left && !t.vertical && t.y > top && t.y <= bottom) found.push_back({t.x, t.text});
  std::sort(found.begin(), found.end());
  Strings out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

TEST(GraphTicks, NiceValuesWithNoMoreDigitsThanTheStepNeeds) {
  // The conductivity axis once read "42419.3438 / 40053.5020 / 37687.6601".
  ValueTicks t = NiceTicks(42419.3438, 37687.6601, 6);
  EXPECT_EQ(t.step, 1000.0);
  Strings labels;
  for (double v : t.values) labels.push_back(TickText(v, t.decimals));
  EXPECT_EQ(labels, (Strings{"38000", "39000", "40000", "41000", "42000"}));
  t = NiceTicks(-0.0031, 0.0042, 5);
  labels.clear();
  for (double v : t.values) labels.push_back(TickText(v, t.decimals));
  EXPECT_EQ(labels, (Strings{"-0.002", "0.000", "0.002", "0.004"}));  // never "-0.000"
  EXPECT_EQ(TickText(-1e-12, 2), "0.00");
  EXPECT_TRUE(NiceTicks(5, 5, 5).values.empty());
  EXPECT_TRUE(NiceTicks(0, std::numeric_limits<double>::infinity(), 5).values.empty());
  // Any span: steps of 1, 2 or 5 x 10^n, and no more ticks than asked for (give or take the ends).
  for (double low : {-7.3, 0.0, 12.5, 1.0e4}) {
    for (double span : {1e-5, 0.37, 3.0, 19.8, 4731.0}) {
      for (int most : {2, 5, 9}) {
        const ValueTicks k = NiceTicks(low, low + span, most);
        ASSERT_GT(k.step, 0);
        const double m = k.step / std::pow(10.0, std::floor(std::log10(k.step) + 1e-9));
        EXPECT_TRUE(std::fabs(m - 1) < 1e-6 || std::fabs(m - 2) < 1e-6 || std::fabs(m - 5) < 1e-6) << k.step;
        EXPECT_LE(static_cast<int>(k.values.size()), most + 1) << low << " " << span;
        for (double v : k.values) EXPECT_TRUE(v >= low - 1e-9 && v <= low + span + 1e-9);
      }
    }
  }
}

TEST(GraphTicks, CalendarStepsFollowTheZoomAndStayOnTheClock) {
  EXPECT_EQ(ChooseTimeStep(0.3), (TimeStep{TimeUnit::Second, 1}));
  EXPECT_EQ(ChooseTimeStep(7), (TimeStep{TimeUnit::Second, 10}));
  EXPECT_EQ(ChooseTimeStep(100), (TimeStep{TimeUnit::Minute, 2}));
  EXPECT_EQ(ChooseTimeStep(5000), (TimeStep{TimeUnit::Hour, 2}));
  EXPECT_EQ(ChooseTimeStep(3 * 86400), (TimeStep{TimeUnit::Day, 7}));
  EXPECT_EQ(ChooseTimeStep(40 * 86400), (TimeStep{TimeUnit::Month, 2}));
  EXPECT_EQ(ChooseTimeStep(400 * 86400), (TimeStep{TimeUnit::Year, 2}));
  auto texts = [](LoggerTime from, LoggerTime to, TimeStep step) {
    Strings out;
    for (uint64_t t : CalendarTicks(ToTicks(from), ToTicks(to), step)) out.push_back(TimeTickText(FromTicks(t), step));
    return out;
  };
  // Quarter hours across midnight; the new date goes under midnight.
  const TimeStep quarter{TimeUnit::Minute, 15};
  EXPECT_EQ(texts({2010, 6, 0, 7, 23, 20, 0, 0}, {2010, 6, 0, 8, 0, 50, 0, 0}, quarter),
            (Strings{"23:30", "23:45", "00:00", "00:15", "00:30", "00:45"}));
  EXPECT_EQ(TimeTickDate(LoggerTime{2010, 6, 0, 8, 0, 0, 0, 0}, quarter), "2010/Jun/08");
  // Weeks fall on the 1st, 8th, 15th and 22nd; months on the 1st, the year as their date.
  EXPECT_EQ(texts({2010, 6, 0, 3, 12, 0, 0, 0}, {2010, 7, 0, 2, 0, 0, 0, 0}, {TimeUnit::Day, 7}),
            (Strings{"Jun/08", "Jun/15", "Jun/22", "Jul/01"}));
  EXPECT_EQ(texts({2010, 11, 0, 20, 0, 0, 0, 0}, {2011, 3, 0, 5, 0, 0, 0, 0}, {TimeUnit::Month, 1}),
            (Strings{"Dec", "Jan", "Feb", "Mar"}));
  EXPECT_EQ(TimeTickDate(LoggerTime{2011, 1, 0, 1, 0, 0, 0, 0}, {TimeUnit::Month, 1}), "2011");
  EXPECT_EQ(texts({2010, 6, 0, 7, 15, 30, 7, 100}, {2010, 6, 0, 7, 15, 30, 7, 900}, {TimeUnit::Second, 1}), Strings{});
}

TEST(GraphTimeAxis, CalendarLabelsWithTheDateOnceWhereItChangesAcrossATimeStamp) {
  DataSet d;
  Fill(d, {'T'}, 800, [](int, int r) { return static_cast<float>(std::sin(r * 0.05)); });
  d.samplePeriodSeconds = 600;  // 2010/Jun/07 15:30:00 on, ten minutes apart
  StampRecord s;                // the clock set anew: a year later from row 600
  s.sampleIndex = 600;
  s.type = kStampTime;
  s.time = LoggerTime{2011, 6, 0, 1, 0, 0, 0, 0};
  d.stamps.push_back(s);
  GraphState g;
  const DrawContext ctx{d, LoggerInfo{}, 0};
  AttachData(g, d);
  LayOutPicture(g, ctx, 1400, 600);
  const GraphDrawing drawing = BuildDrawing(g, ctx);
  const int bottom = drawing.plot.y + drawing.plot.h;
  const Strings ticks = TextsBetween(drawing, bottom, bottom + 20, TextStyle::Axis);
  const Strings dates = TextsBetween(drawing, bottom + 20, bottom + 35, TextStyle::Axis);
  ASSERT_GE(ticks.size(), 6u);
  EXPECT_EQ(ticks.size(), drawing.gridX.size());
  // 12-hour steps on the clock, and the time the stamp set written in full.
  EXPECT_EQ(std::count(ticks.begin(), ticks.end(), "00:00:00"), 1);
  for (const std::string& t : ticks) EXPECT_TRUE(t == "00:00" || t == "12:00" || t == "00:00:00") << t;
  EXPECT_EQ(dates, (Strings{"2010/Jun/08", "2010/Jun/09", "2010/Jun/10", "2010/Jun/11", "2011/Jun/01",
                            "2011/Jun/02"}));
  // Zoomed in to a couple of hours the steps are minutes, the date shown once.
  ZoomTimeAbout(g, 100, 0.02);
  const GraphDrawing near = BuildDrawing(g, ctx);
  for (const std::string& t : TextsBetween(near, bottom, bottom + 20, TextStyle::Axis)) {
    ASSERT_EQ(t.size(), 5u) << t;
    EXPECT_EQ(std::stoi(t.substr(3)) % 15, 0) << t;
  }
  EXPECT_EQ(TextsBetween(near, bottom + 20, bottom + 35, TextStyle::Axis).size(), 1u);
}

TEST(GraphHistory, BackAndForwardOverWholeGestures) {
  DataSet d;
  Fill(d, {'T'}, 10000, [](int, int r) { return static_cast<float>(r % 97); });
  GraphState g = Attached(d, 603);
  const ViewExtent start = CurrentExtent(g.view);
  EXPECT_FALSE(ZoomBack(g));
  for (int i = 0; i < 5; ++i) {  // five wheel notches in quick succession: one step back
    RecordView(g, ViewGesture::Wheel, 1000 + 50 * i);
    ZoomTimeAbout(g, 300, 0.8);
  }
  const ViewExtent wheeled = CurrentExtent(g.view);
  RecordView(g, ViewGesture::Box, 5000);
  ASSERT_TRUE(RubberBandZoom(g, 100, 50, 200, 150));
  const ViewExtent boxed = CurrentExtent(g.view);
  ASSERT_TRUE(ZoomBack(g));
  EXPECT_EQ(CurrentExtent(g.view), wheeled);
  ASSERT_TRUE(ZoomBack(g));
  EXPECT_EQ(CurrentExtent(g.view), start);
  EXPECT_FALSE(ZoomBack(g));
  ASSERT_TRUE(ZoomForward(g));
  ASSERT_TRUE(ZoomForward(g));
  EXPECT_EQ(CurrentExtent(g.view), boxed);
  EXPECT_FALSE(ZoomForward(g));
  // A new gesture after Back drops what Forward held.
  ASSERT_TRUE(ZoomBack(g));
  RecordView(g, ViewGesture::Keys, 9000);
  ZoomTimeAbout(g, 0, 0.5);
  EXPECT_FALSE(ZoomForward(g));
  // Notches seconds apart are gestures of their own.
  const ViewExtent before = CurrentExtent(g.view);
  RecordView(g, ViewGesture::Wheel, 20000);
  ZoomTimeAbout(g, 300, 0.5);
  const ViewExtent once = CurrentExtent(g.view);
  RecordView(g, ViewGesture::Wheel, 30000);
  ZoomTimeAbout(g, 300, 0.5);
  ASSERT_TRUE(ZoomBack(g));
  EXPECT_EQ(CurrentExtent(g.view), once);
  ASSERT_TRUE(ZoomBack(g));
  EXPECT_EQ(CurrentExtent(g.view), before);
  AttachData(g, d);  // another DataSet: another history
  EXPECT_FALSE(ZoomBack(g));
}

TEST(GraphMouse, WheelZoomAndDragKeepWhatIsUnderThePointer) {
  DataSet d;
  Fill(d, {'T', 'P'}, 100000, [](int c, int r) { return static_cast<float>(std::sin(r * 1e-4 + c) * 10); });
  GraphState g = Attached(d, 1000);
  const int under = IndexAtX(g.view, 700);
  ZoomTimeAbout(g, 700, 0.25);
  EXPECT_NEAR(IndexAtX(g.view, 700), under, 1);
  for (int i = 0; i < 40; ++i) ZoomTimeAbout(g, 700, 0.5);
  EXPECT_FLOAT_EQ(g.view.readingsPerDivision, 1.0f);  // no nearer than a reading a division
  for (int i = 0; i < 40; ++i) ZoomTimeAbout(g, 700, 2.0);
  EXPECT_EQ(g.view.firstIndex, 0);  // no farther than every reading
  EXPECT_EQ(LastShownIndex(g), 99999);
  // Values: the value at the pointer's row stays on it, for every kind drawn together.
  const double u = g.view.unitsPerDivision[kKindTemperature];
  const double atRow = CentreValue(g, kKindTemperature) + (125 - 40) / 10.0 * u;
  const double pressureAtRow = CentreValue(g, kKindPressure) + (125 - 40) / 10.0 * g.view.unitsPerDivision[kKindPressure];
  ZoomValuesAbout(g, d, 40, 0.5);
  EXPECT_NEAR(g.view.unitsPerDivision[kKindTemperature], u / 2, 1e-6);
  EXPECT_EQ(PlaceValue(g, kKindTemperature, atRow), 40);
  EXPECT_EQ(PlaceValue(g, kKindPressure, pressureAtRow), 40);
  // A drag moves time and values with the pointer.
  ZoomTimeAbout(g, 500, 0.1);
  const GraphView from = g.view;
  const double middle = CentreValue(g, kKindTemperature);
  PanFrom(g, d, from, 100, -200, 30);
  EXPECT_EQ(g.view.firstIndex, from.firstIndex + static_cast<int>(std::lround(200 / from.pixelsPerReading)));
  EXPECT_EQ(PlaceValue(g, kKindTemperature, middle), 125 + 30);
}

TEST(GraphLegend, NamesUnitsValuesAtTheCursorAndTheMarks) {
  DataSet d;
  Fill(d, {'T', 'P', 'S'}, 1000, [](int c, int r) { return static_cast<float>(c * 10 + std::sin(r * 0.01)); });
  d.channelCount = 2;  // salinity is derived
  auto stamp = [&](int row, int type, uint32_t mask) {
    StampRecord s;
    s.sampleIndex = row;
    s.type = type;
    s.changedMask = mask;
    d.stamps.push_back(s);
  };
  stamp(100, kStampBurst, 0);
  stamp(200, kStampGain, 0b10);
  stamp(300, kStampComms, 0);
  LoggerInfo qn;
  qn.model = "QN-760";
  const DrawContext ctx{d, qn, 0};
  GraphState g;
  AttachData(g, d);
  LayOutPicture(g, ctx, 1200, 700);
  ASSERT_TRUE(SetCursor(g, 450));
  ToggleChannel(g, d, 1);  // the legend's click hides pressure
  GraphDrawing drawing = BuildDrawing(g, ctx);
  Strings labels;
  for (const LegendEntry& e : drawing.legend) labels.push_back(e.label);
  EXPECT_EQ(labels, (Strings{"1 Temperature [degrees C]", "2 Pressure [deciBars]", "3 Salinity [PSU]", "Burst start",
                             "Logger event"}));
  EXPECT_TRUE(drawing.legend[0].shown);
  EXPECT_FALSE(drawing.legend[1].shown);
  const int row = g.view.cursorIndex;
  EXPECT_NEAR(std::stod(drawing.legend[2].value), d.Value(2, row), 0.005);
  // The read-out names the shown channels with their values and units.
  EXPECT_NE(drawing.cursorReadout.find("1 Temperature: " + drawing.legend[0].value + " degrees C"), std::string::npos)
      << drawing.cursorReadout;
  EXPECT_NE(drawing.cursorReadout.find("3 Salinity: " + drawing.legend[2].value + " PSU"), std::string::npos);
  EXPECT_EQ(drawing.cursorReadout.find("Pressure"), std::string::npos);
  // What a click and a hover find.
  const GraphRect box = drawing.legend[1].box;
  EXPECT_EQ(LegendChannelAt(drawing, box.x + box.w / 2, box.y + box.h / 2), 1);
  EXPECT_NE(TipAt(drawing, drawing.legend[3].box.x + 3, drawing.legend[3].box.y + 3).find("burst"), std::string::npos);
  const auto burst = std::find_if(drawing.markers.begin(), drawing.markers.end(),
                                  [](const GraphMarker& m) { return m.pen == MarkerPen::Burst; });
  ASSERT_NE(burst, drawing.markers.end());
  EXPECT_EQ(TipAt(drawing, burst->x, burst->y1 + 2).rfind("Burst 1 begins: reading 100, 2010/Jun/07", 0), 0u);
  // Range changes are named once they are shown; the last shown channels stay.
  g.view.showRangeChanges = true;
  ToggleChannel(g, d, 1);
  drawing = BuildDrawing(g, ctx);
  EXPECT_EQ(drawing.legend[4].label, "Range change");
  ToggleChannel(g, d, 0);
  ToggleChannel(g, d, 1);
  ToggleChannel(g, d, 2);
  EXPECT_EQ(g.view.shownMask, 0b100u);
}

TEST(GraphLegend, DerivedValuesOutsideTheirFormulasRangeAreRingedAndNamed) {
  DataSet d;
  Fill(d, {'T', 'S'}, 1000, [](int c, int r) { return static_cast<float>(c * 10 + std::sin(r * 0.01)); });
  d.channelCount = 1;  // salinity is derived
  for (int r = 600; r < 700; ++r) d.RangeMarks(1)[r] = 1;
  d.RangeMarks(1)[900] = 1;
  const DrawContext ctx{d, LoggerInfo{}, 0};
  GraphState g;
  AttachData(g, d);
  LayOutPicture(g, ctx, 1200, 700);
  GraphDrawing drawing = BuildDrawing(g, ctx);
  const auto named = [](const GraphDrawing& dr) {
    return std::any_of(dr.legend.begin(), dr.legend.end(),
                       [](const LegendEntry& e) { return e.ring && e.label == "Outside formula range"; });
  };
  EXPECT_TRUE(named(drawing));
  // A run of marked readings is a row of rings a few pixels apart, on the trace,
  // and the lone one has its own; nothing on the unmarked channel.
  ASSERT_GE(drawing.pointMarks.size(), 3u);
  int previous = -100;
  for (const GraphPointMark& m : drawing.pointMarks) {
    EXPECT_EQ(m.channel, 1);
    EXPECT_GE(m.at.x - previous, 6);
    EXPECT_GE(m.at.x, drawing.plot.x);
    EXPECT_LT(m.at.x, drawing.plot.x + drawing.plot.w);
    previous = m.at.x;
  }
  EXPECT_LT(drawing.pointMarks.size(), 100u);
  // A hidden channel's marks go with it.
  ToggleChannel(g, d, 1);
  drawing = BuildDrawing(g, ctx);
  EXPECT_TRUE(drawing.pointMarks.empty());
  EXPECT_FALSE(named(drawing));
}

TEST(GraphCursor, SecondCursorReadsTheDifferencesInTimeAndValue) {
  DataSet d;
  Fill(d, {'T'}, 1000, [](int, int r) { return static_cast<float>(r) * 0.5f; });
  GraphState g = Attached(d, 999);
  g.view.cursorActive = g.view.cursor2Active = true;
  g.view.cursorIndex = 160;
  g.view.cursor2Index = 100;
  const std::string text = CursorReadout(g, DrawContext{d, LoggerInfo{}, 0});
  EXPECT_NE(text.find("Second cursor: reading 100  2010/Jun/07 15:46:40"), std::string::npos) << text;
  EXPECT_NE(text.find("Difference: \xE2\x88\x92" "00:10:00, -60 readings"), std::string::npos) << text;
  EXPECT_NE(text.find("\xCE\x94 -30.0"), std::string::npos) << text;
  const GraphDrawing drawing = BuildDrawing(g, DrawContext{d, LoggerInfo{}, 0});
  EXPECT_TRUE(drawing.cursorShown && drawing.cursor2Shown);
  EXPECT_LT(drawing.cursor2X, drawing.cursorX);
}

TEST(GraphFaults, DepthPlotAxesNameDepthDownwardAndFollowTheChosenChannel) {
  DataSet d;
  Fill(d, {'T', 'C', 'A'}, 500, [](int c, int r) {
    return static_cast<float>(c == 0 ? 20 - r / 50.0 : c == 1 ? 40000 + r : r / 10.0);
  });
  LoggerInfo qn;
  qn.model = "QN-760";
  const DrawContext ctx{d, qn, 0};
  GraphState g;
  AttachData(g, d);
  LayOutPicture(g, ctx, 1000, 700);
  ShowChannel(g, d, 0);
  ToggleDepthPlot(g, d);
  ASSERT_TRUE(g.view.xyMode);
  auto titles = [&](bool vertical) {
    Strings out;
    for (const GraphText& t : BuildDrawing(g, ctx).texts)
      if (t.style == TextStyle::Title && t.vertical == vertical) out.push_back(t.text);
    return out;
  };
  EXPECT_EQ(titles(true), Strings{"3 Depth [m], increasing downwards"});
  EXPECT_EQ(titles(false), Strings{"1 Temperature [degrees C]"});
  GraphDrawing drawing = BuildDrawing(g, ctx);
  EXPECT_FALSE(drawing.zoomButtonsShown);
  ASSERT_FALSE(drawing.lines.empty());
  EXPECT_EQ(drawing.lines[0].channel, 0);
  // Deep readings lie low: depth 0 at the top of its axis, 49.9 m at the bottom.
  int topDepth = 1 << 30, bottomDepth = -(1 << 30);
  for (const GraphPoint& p : drawing.lines[0].points) {
    topDepth = std::min(topDepth, p.y);
    bottomDepth = std::max(bottomDepth, p.y);
  }
  const auto& first = drawing.lines[0].points.front();  // row 0: 20 degrees at the surface
  EXPECT_EQ(first.y, topDepth);
  // The channel chosen next goes across, the depth stays down.
  ShowChannel(g, d, 1);
  EXPECT_EQ(titles(false), Strings{"2 Conductivity [uS/cm]"});
  EXPECT_EQ(titles(true), Strings{"3 Depth [m], increasing downwards"});
  ToggleDepthPlot(g, d);
  EXPECT_FALSE(g.view.xyMode);
  drawing = BuildDrawing(g, ctx);
  EXPECT_TRUE(drawing.zoomButtonsShown);
  // Over time, depth is still drawn growing downwards; the legend says so
  // (its axis is unlabelled when another channel has the left axis).
  EXPECT_EQ(drawing.legend[2].label, "3 Depth [m], drawn downwards");
}

TEST(GraphFaults, AWaterLevelIsDrawnHighWaterUpUnderItsOwnNames) {
  // The tide analysis draws observed, predicted and residual levels: a
  // higher level is higher on the screen, and each trace has its own name.
  DataSet d;
  Fill(d, {'A', 'A'}, 200, [](int c, int r) { return static_cast<float>(c == 0 ? 10.0 + r / 100.0 : 0.01 * (r % 7)); });
  const std::vector<std::string> names{"Observed", "Residual"};
  const DrawContext ctx{d, LoggerInfo{}, 0, nullptr, &names};
  GraphState g;
  AttachData(g, d);
  ShowAll(g, d);
  g.view.depthGrowsDown = false;
  SetStacked(g, true);
  LayOutPicture(g, ctx, 900, 400);
  const GraphDrawing drawing = BuildDrawing(g, ctx);
  ASSERT_GE(drawing.legend.size(), 2u);
  EXPECT_EQ(drawing.legend[0].label, "1 Observed [m]");
  EXPECT_EQ(drawing.legend[1].label, "2 Residual [m]");
  ASSERT_FALSE(drawing.lines.empty());
  const auto& rising = drawing.lines[0].points;
  EXPECT_GT(rising.front().y, rising.back().y);  // the level rises: the trace climbs
}

// Calm water: wave heights of a few centimetres stay low over an axis from
// zero, not stretched over the whole plot as if they were a storm.
TEST(GraphFaults, WaveHeightsAreScaledFromZeroOverAMetreAtLeast) {
  DataSet d;
  Fill(d, {'T', 0x81}, 400, [](int c, int r) {
    return static_cast<float>(c == 0 ? 12 + r / 100.0 : 0.03 + 0.02 * std::sin(r / 10.0));
  });
  LoggerInfo qn;
  qn.model = "QN-760";
  const DrawContext ctx{d, qn, 0};
  GraphState g;
  AttachData(g, d);
  LayOutPicture(g, ctx, 1000, 700);
  ShowChannel(g, d, 1);
  const GraphDrawing drawing = BuildDrawing(g, ctx);
  int top = 1 << 30, bottom = -(1 << 30);
  for (const GraphPolyline& line : drawing.lines)
    for (const GraphPoint& p : line.points) {
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
  ASSERT_LT(top, bottom);
  EXPECT_LT(bottom - top, drawing.plot.h / 10);
  // Zero and one metre both lie on the plot, zero below.
  const int zero = PlaceValue(g, kKindWaveHeight, 0.0) + drawing.plot.y;
  const int metre = PlaceValue(g, kKindWaveHeight, 1.0) + drawing.plot.y;
  EXPECT_TRUE(drawing.plot.Contains(drawing.plot.x, zero)) << zero;
  EXPECT_TRUE(drawing.plot.Contains(drawing.plot.x, metre)) << metre;
  EXPECT_GT(zero, metre);
  // A storm keeps its own range.
  for (int r = 0; r < 400; ++r) d.Column(1)[r] = static_cast<float>(3 + 2 * std::sin(r / 10.0));
  d.Column(1)[400] = 1.0f;
  d.Column(1)[401] = 5.0f;
  AttachData(g, d);
  ShowChannel(g, d, 1);
  EXPECT_GT(PlaceValue(g, kKindWaveHeight, 1.0), PlaceValue(g, kKindWaveHeight, 5.0) + g.view.height / 2);
}

TEST(GraphPicture, PlotFollowsThePictureAndEverythingFitsAtAnySize) {
  // A thermistor string with its derived columns: 24 channels.
  std::vector<uint8_t> codes(24, 'T');
  codes[20] = 'P';
  codes[21] = 'C';
  codes[22] = 'S';
  codes[23] = 'A';
  DataSet d;
  Fill(d, codes, 50000, [](int c, int r) { return static_cast<float>(c + std::sin(r * 1e-3 + c)); });
  LoggerInfo qn;
  qn.model = "QN-760";
  const DrawContext ctx{d, qn, 0};
  GraphState g;
  AttachData(g, d);
  LayOutPicture(g, ctx, 1024, 768, PictureOptions{16, true});
  ZoomTimeAbout(g, 300, 0.1);
  const int first = g.view.firstIndex, last = LastShownIndex(g), narrow = g.view.width;
  for (auto [w, h] : {std::pair{1920, 1080}, std::pair{1024, 768}, std::pair{640, 480}}) {
    for (bool stacked : {false, true}) {
      SetStacked(g, stacked);
      LayOutPicture(g, ctx, w, h, PictureOptions{16, true});
      const GraphDrawing drawing = BuildDrawing(g, ctx);
      const std::string at = std::to_string(w) + "x" + std::to_string(h) + (stacked ? " stacked" : "");
      // The same readings across the plot, whatever its width.
      EXPECT_EQ(g.view.firstIndex, first) << at;
      EXPECT_NEAR(LastShownIndex(g), last, 2) << at;
      if (w == 1920) {
        EXPECT_GT(g.view.width, narrow + 800) << at;
      }
      EXPECT_GT(g.view.height, h / 2) << at;
      const GraphRect& p = drawing.plot;
      for (const LegendEntry& e : drawing.legend) {
        EXPECT_TRUE(e.box.x >= 0 && e.box.y >= 0 && e.box.x + e.box.w <= w && e.box.y + e.box.h <= h) << at << " " << e.label;
        const bool apart = e.box.x + e.box.w <= p.x || e.box.x >= p.x + p.w || e.box.y + e.box.h <= p.y || e.box.y >= p.y + p.h;
        EXPECT_TRUE(apart) << at << " legend over the plot: " << e.label;
      }
      for (size_t i = 1; i < drawing.legend.size(); ++i) {
        const GraphRect& a = drawing.legend[i - 1].box;
        const GraphRect& b = drawing.legend[i].box;
        EXPECT_TRUE(a.y + a.h <= b.y || b.x >= a.x + a.w) << at << " legend entries overlap";
      }
      for (const GraphText& t : drawing.texts) {
        EXPECT_TRUE(t.y > 0 && t.y <= h && t.x >= 0) << at << " " << t.text;
        // Nothing runs off the right edge, the status line included.
        if (!t.vertical && t.align == TextAlign::Left) {
          EXPECT_LE(t.x + TextMetrics{}.Width(t.text), w) << at << " " << t.text;
        }
      }
      EXPECT_TRUE(drawing.hScrollBar.y >= p.y + p.h && drawing.hScrollBar.y + drawing.hScrollBar.h <= h) << at;
      EXPECT_EQ(drawing.panels.size(), stacked ? 24u : 1u) << at;
    }
  }
}

// Machado, Oliveira and Fernandes (2009): simulated dichromats, severity 1.
TEST(GraphColours, TwelveColoursStayApartForColourBlindEyesAndShowOnWhite) {
  auto linear = [](uint8_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const double kMachado[3][3][3] = {
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}},  // protanopia
      {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}},    // deuteranopia
  };
  auto lab = [&](const Rgb& c, int vision) {
    const double in[3] = {linear(c.r), linear(c.g), linear(c.b)};
    double l[3];
    for (int i = 0; i < 3; ++i)
      l[i] = std::clamp(kMachado[vision][i][0] * in[0] + kMachado[vision][i][1] * in[1] + kMachado[vision][i][2] * in[2], 0.0, 1.0);
    const double x = (0.4124 * l[0] + 0.3576 * l[1] + 0.1805 * l[2]) / 0.95047;
    const double y = 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
    const double z = (0.0193 * l[0] + 0.1192 * l[1] + 0.9505 * l[2]) / 1.08883;
    auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return std::array<double, 3>{116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
  };
  for (size_t i = 0; i < kGraphColours.size(); ++i) {
    const Rgb& c = kGraphColours[i];
    const double luminance = 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
    EXPECT_GE(1.05 / (luminance + 0.05), 3.0) << "colour " << i << " is too pale on white";
    for (size_t j = 0; j < i; ++j)
      for (int vision = 0; vision < 3; ++vision) {
        const auto a = lab(c, vision), b = lab(kGraphColours[j], vision);
        const double distance = std::sqrt(std::pow(a[0] - b[0], 2) + std::pow(a[1] - b[1], 2) + std::pow(a[2] - b[2], 2));
        EXPECT_GE(distance, 12.0) << "colours " << j << " and " << i << " look alike, vision " << vision;
      }
  }
  for (int c = 0; c < 24; ++c) {
    EXPECT_EQ(ChannelDashed(c), c >= 12);
    const Rgb a = ChannelColour(c), b = ChannelColour(c % 12);
    EXPECT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b);
  }
}

class GraphSave : public test::WorkDirectoryTest {};

TEST_F(GraphSave, AsksForTheFileAndSizeAndWritesTheFormatOfItsName) {
  Fill(state.retrieval.data, {'T'}, 100, [](int, int r) { return static_cast<float>(r); });
  AttachData(state.graph, state.retrieval.data);
  std::vector<std::tuple<std::string, PictureFormat, int, int>> written;
  const PictureWriter write = [&](const std::string& path, PictureFormat f, int w, int h) {
    written.emplace_back(path, f, w, h);
    return true;
  };
  ui.fileAnswers = {Path("plain"), Path("drawing.SVG"), Path("notes.txt"), Path("report.pdf")};
  ui.textAnswers = {"", "1920 x 1080", "wide"};
  EXPECT_EQ(SaveGraphPicture(state, 900, 500, write), 1);  // no extension: a PNG, at the size shown
  EXPECT_EQ(SaveGraphPicture(state, 900, 500, write), 1);
  EXPECT_EQ(SaveGraphPicture(state, 900, 500, write), 0);  // not a picture's name: told, nothing written
  EXPECT_TRUE(ui.BoxSeen("A graph is saved as a PNG picture, an SVG drawing or a PDF document: end the name with .png, .svg or .pdf."));
  EXPECT_EQ(SaveGraphPicture(state, 900, 500, write), 0);  // no size in "wide"
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], std::make_tuple(Path("plain.png"), PictureFormat::Png, 900, 500));
  EXPECT_EQ(written[1], std::make_tuple(Path("drawing.SVG"), PictureFormat::Svg, 1920, 1080));
  // An existing file is kept unless the user says otherwise (No is the default).
  Write("kept.png", "x");
  ui.fileAnswers = {Path("kept.png")};
  ui.textAnswers = {""};
  EXPECT_EQ(SaveGraphPicture(state, 900, 500, write), 0);
  EXPECT_EQ(written.size(), 2u);
  EXPECT_EQ(ParsePictureSize("20001x100"), std::nullopt);
  EXPECT_EQ(ParsePictureSize("640*480"), (std::pair{640, 480}));
}

}  // namespace
}  // namespace tmv
