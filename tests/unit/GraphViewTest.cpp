// The graph view: zoom steps and limits, placement, rubber band, column
// summaries against drawing every reading, cursor and bad data.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "presentation/GraphView.h"

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
  // Depth's top label shows the smaller value.
  EXPECT_EQ(drawing.texts[0].text, "     0.0000");
  EXPECT_EQ(drawing.texts[2].text, "    20.0000");
  EXPECT_EQ(drawing.texts[4].text, "Channel  2");
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

}  // namespace
}  // namespace tmv
