#pragma once
// The graph of the current DataSet: the view state (zoom, scroll, cursor,
// shown channels), the navigation operations of the graph's buttons, mouse
// and scroll bars, and the drawing data of one repaint. Everything to draw
// comes out of BuildDrawing as plain data; the desktop program and the
// command-line plot only paint it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/LoggerInfo.h"
#include "model/LoggerTime.h"
#include "presentation/ColumnSummary.h"
#include "retrieval/DataSet.h"
#include "shell/GraphColours.h"

namespace tmv {

constexpr int kGraphHeight = 250;
constexpr int kGraphDefaultWidth = 803;  // a 1000-pixel screen
constexpr int kChannelButtonCount = 24;
constexpr int kRealTimeReadings = 180;
constexpr float kCoarsestSmallScale = 0.0001f;  // smallest units per division
constexpr float kFineSmallScale = 1e-06f;       // the same with the statistics panel shown
constexpr float kBandSmallScale = 5e-05f;       // smallest scale a rubber band gives

enum ChannelKind {
  kKindTemperature = 0,
  kKindPressure = 1,
  kKindConductivity = 2,
  kKindDissolvedO2 = 3,
  kKindDerivedO2 = 4,
  kKindVoltage = 5,
  kKindTurbidity = 6,
  kKindPar = 7,
  kKindPh = 8,
  kKindFluorometryC = 9,
  kKindFluorometryR = 10,
  kKindFluorometryUv = 11,
  kKindDepth = 12,
  kKindSalinity = 13,
  kKindSoundSpeed = 14,
  kKindWaveHeight = 15,
  kKindTidalSlope = 16,
  kKindTransmissometer = 17,
  kKindGeneric = 18,
  kKindO2Concentration = 19,
  kKindOptodeConcentration = 20,
  kKindOptodeSaturation = 21,
  kKindDensity = 22,
  kKindUnknown = 23,
};
constexpr int kKindCount = 24;

// The kind of a column's type code (measured or derived).
int KindOfCode(uint8_t code);
inline int ColumnKind(const DataSet& data, int column) { return KindOfCode(ColumnCode(data, column)); }

// What labels a kind's vertical axis. derivedUnit: 0 µMol/l, 1 mg/l, 2 ml/l
// (the derived-unit choice). "µ" is the 8-bit byte 0xB5.
std::string KindUnitLabel(const LoggerInfo& logger, int kind, int derivedUnit = 0);

struct GraphView {
  int width = kGraphDefaultWidth;  // W, the plot width in pixels
  int firstIndex = 0;
  float readingsPerDivision = 1.0f;
  float pixelsPerReading = 10.0f;
  std::array<float, kKindCount> unitsPerDivision{};
  int verticalOffset = 0;
  int verticalRange = 0;
  int currentKind = 0;
  int currentChannel = 0;  // the channel of the labelled axis, also the statistics channel
  uint32_t shownMask = 1;
  int cursorIndex = 0;
  bool cursorActive = false;
  bool tracking = false;
  bool bandActive = false;
  int bandX = 0, bandY = 0;  // where the band started
  bool xyMode = false;
  int xChannel = 0, yChannel = 1;  // the x-y pair
  bool fineScale = false;
  bool depthPlot = false;
  bool showRangeChanges = false;
  bool realTime = false;
  int highlightCount = 0;  // rows ending at the cursor drawn highlighted (statistics); 0 none
  bool refusesMouse = false;  // an ASCII serial-card logger: no band, no cursor
};

// The view together with what makes a repaint cost O(width): the column
// summaries and the kind ranges over the DataSet.
struct GraphState {
  GraphView view;
  std::vector<ColumnSummary> summaries;
  std::array<SpanRange, kKindCount> kindRange{};
  // The ranges each kind's scale was last fitted to while following live data.
  std::array<SpanRange, kKindCount> followedRange{};
  int readingCount = 0;
  int columns = 0;
  bool hasData = false;
};

// After a new DataSet: builds the summaries and resets both axes.
void AttachData(GraphState& graph, const DataSet& data);
// Rebuilds only the summaries and ranges (real-time rows appended).
void RefreshSummaries(GraphState& graph, const DataSet& data);
// The same at a cost per appended row, not per reading held.
void ExtendSummaries(GraphState& graph, const DataSet& data);
void DetachData(GraphState& graph);

// Navigation (buttons "Reset", "ZoomIn", "ZoomOut", "+", "-", "R").
void ResetHorizontal(GraphState& graph);
void ZoomInHorizontal(GraphState& graph);
void ZoomOutHorizontal(GraphState& graph);
void ResetVertical(GraphState& graph);
void ZoomInVertical(GraphState& graph);
void ZoomOutVertical(GraphState& graph);
// The rubber band released: plot coordinates of its corners, any order.
// false when it was a click (cancelled).
bool RubberBandZoom(GraphState& graph, int x1, int y1, int x2, int y2);
// The left button at plot x: the cursor on the reading there. false when
// the view refuses a cursor (x-y mode, serial-card logger, no data).
bool SetCursor(GraphState& graph, int x);
void ScrollTo(GraphState& graph, int firstIndex);
void ScrollVertical(GraphState& graph, int offset);
void ShowChannel(GraphState& graph, const DataSet& data, int channel);
void ShowAll(GraphState& graph, const DataSet& data);
void SetXyMode(GraphState& graph, bool on, int xChannel, int yChannel);
void ToggleDepthPlot(GraphState& graph, const DataSet& data);
// Real-time mode: the view shows the newest kRealTimeReadings readings.
// Each kind's vertical scale spans its channels' minimum and maximum slots
// (set from the real-time limits, widened by readings beyond them), and is
// fitted again only when that span changes.
void FollowNewest(GraphState& graph);

// The scroll bars' ranges and positions.
struct ScrollBars {
  int hMinimum = 0, hMaximum = 0, hPage = 1, hPosition = 0;
  int vMinimum = 0, vMaximum = 0, vPosition = 0;
  bool hEnabled = false, vEnabled = false;
};
ScrollBars ScrollBarState(const GraphState& graph);

// Vertical placement: the value at the plot's middle for a kind, and the
// pixel row of a value (clamped to -1000..1000).
double CentreValue(const GraphState& graph, int kind);
int PlaceValue(const GraphState& graph, int kind, double value);
// The reading under plot column x (may lie outside the data).
int IndexAtX(const GraphView& view, int x);
// The last reading the view shows (clamped to the data).
int LastShownIndex(const GraphState& graph);

// The time of a reading for the labels and the cursor read-out.
LoggerTime ReadingTime(const DataSet& data, int index);
double SamplePeriod(const DataSet& data);

// ---- Drawing data ----

struct GraphPoint {
  int x, y;
};
bool operator==(const GraphPoint& a, const GraphPoint& b);

struct GraphPolyline {
  int channel = 0;
  Rgb colour{0, 0, 0};
  int penWidth = 1;
  std::vector<GraphPoint> points;  // plot coordinates; the painter clips to the plot
};

enum class MarkerPen { Burst, GainAll, GainSome, Stamp };
struct GraphMarker {
  int x = 0, y1 = 0, y2 = 0;
  MarkerPen pen = MarkerPen::Stamp;
  int markerClass = 0;
  int stampType = 0;
};

enum class TextAlign { Left, Right, Centre };
enum class TextStyle { Axis, Banner };  // Banner: white on grey
struct GraphText {
  int x = 0, y = 0;  // plot coordinates of the text's baseline anchor
  std::string text;
  TextAlign align = TextAlign::Left;
  TextStyle style = TextStyle::Axis;
};

struct ChannelButton {
  int channel = 0;
  std::string label;
  Rgb colour{0, 0, 0};
  bool visible = false;
  bool shown = false;  // drawn in the graph
};

struct GraphDrawing {
  int width = 0, height = kGraphHeight;
  std::vector<GraphPolyline> lines;
  std::vector<GraphMarker> markers;
  std::vector<GraphText> texts;  // outside the plot: left margin (x < 0) and below (y > 250)
  bool cursorShown = false;
  int cursorX = 0;
  bool highlightShown = false;
  int highlightX1 = 0, highlightX2 = 0;
  std::string cursorReadout;
  bool zoomButtonsShown = true;
};

struct DrawContext {
  const DataSet& data;
  const LoggerInfo& logger;
  int derivedUnit = 0;
};

// Everything one repaint draws. Cost grows with the width and the number of
// shown channels, not with the readings.
GraphDrawing BuildDrawing(const GraphState& graph, const DrawContext& context);
// The text under the cursor: reading number, time and the shown channels' values.
std::string CursorReadout(const GraphState& graph, const DrawContext& context);
std::vector<ChannelButton> ChannelButtons(const GraphState& graph, const DataSet& data);

// The same picture drawn naively through every reading (tests and checks).
std::vector<GraphPolyline> NaiveTraces(const GraphState& graph, const DataSet& data);

}  // namespace tmv
