#pragma once
// The graph of a DataSet: the view state (zoom, scroll, cursors, shown
// channels, stacked panels), the navigation of the graph's buttons, mouse,
// wheel, keys and scroll bars with its zoom history, and the drawing data of
// one repaint at any size. Everything to draw comes out of BuildDrawing as
// plain data; the desktop program and the command-line plot only paint it.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/LoggerInfo.h"
#include "model/LoggerTime.h"
#include "presentation/ColumnSummary.h"
#include "retrieval/DataSet.h"
#include "shell/GraphColours.h"

namespace tmv {

constexpr int kGraphHeight = 250;         // plot height before the picture is laid out
constexpr int kGraphDefaultWidth = 803;   // plot width before the picture is laid out
constexpr int kChannelButtonCount = 24;
constexpr int kRealTimeReadings = 180;
constexpr float kCoarsestSmallScale = 0.0001f;  // smallest units per division
constexpr float kFineSmallScale = 1e-06f;       // the same with the statistics panel shown
constexpr float kBandSmallScale = 5e-05f;       // smallest scale a rubber band gives
// A panel spans 25 vertical divisions; a full-range fit fills the middle 20.
constexpr double kPanelDivisions = 25.0;

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

// What labels a kind's vertical axis in the program's own texts.
// derivedUnit: 0 µMol/l, 1 mg/l, 2 ml/l (the derived-unit choice). "µ" is
// the 8-bit byte 0xB5.
std::string KindUnitLabel(const LoggerInfo& logger, int kind, int derivedUnit = 0);

// How a column is named on the screen (UTF-8): the channel table's label
// ("Temperature"), its unit ("degrees C", "m") and both ("Temperature [degrees C]").
std::string ColumnName(const DataSet& data, int column);
std::string ColumnUnit(const DataSet& data, const LoggerInfo& logger, int column, int derivedUnit = 0);
std::string ColumnCaption(const DataSet& data, const LoggerInfo& logger, int column, int derivedUnit = 0);

// Room the face keeps in the picture for its own controls (scroll bars).
struct PictureOptions {
  int scrollBar = 0;   // thickness of the scroll bars beside and below the plot; 0 none
  bool hints = false;  // a line on how to use the mouse where the read-out will be
};

struct GraphView {
  int width = kGraphDefaultWidth;  // the plot's width in pixels
  int height = kGraphHeight;       // the plot's height; stacked panels share it
  int firstIndex = 0;
  float readingsPerDivision = 1.0f;  // a division is 10 pixels across
  float pixelsPerReading = 10.0f;
  std::array<float, kKindCount> unitsPerDivision{};
  std::array<double, kKindCount> centre{};  // the value at a panel's vertical middle, per kind
  double verticalOffset = 0;  // divisions the current kind lies off its middle (the scroll bar)
  int verticalRange = 0;
  int currentKind = 0;
  int currentChannel = 0;  // the channel of the labelled axis, also the statistics channel
  uint32_t shownMask = 1;
  int cursorIndex = 0;
  bool cursorActive = false;
  bool tracking = false;
  int cursor2Index = 0;  // the second cursor: differences in time and value
  bool cursor2Active = false;
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
  bool stacked = false;       // one panel per shown channel over a shared time axis
  bool depthGrowsDown = true;  // false where depth is a water level (the tide): high water up
  int rightChannel = -1;      // the channel whose axis is labelled on the right; -1 none
  // Where the plot lies in the picture (LayOutPicture); 0 before any layout.
  int pictureWidth = 0, pictureHeight = 0;
  int plotLeft = 0, plotTop = 0;
  PictureOptions options;
};

// A view's extent for the zoom history.
struct ViewExtent {
  int firstIndex = 0;
  float readingsPerDivision = 1.0f;
  std::array<float, kKindCount> unitsPerDivision{};
  std::array<double, kKindCount> centre{};
};
bool operator==(const ViewExtent& a, const ViewExtent& b);

// What changed the view: one gesture (a run of wheel steps, a drag) is one
// step back in the history.
enum class ViewGesture { Wheel, ValueWheel, Pan, Box, Keys, Buttons, Fit, Scroll };

struct ZoomHistory {
  std::vector<ViewExtent> back, forward;
  bool any = false;  // a gesture was recorded
  ViewGesture lastGesture = ViewGesture::Fit;
  int64_t lastMs = 0;
};

// The view together with what makes a repaint cost O(width): the column
// summaries and the kind ranges over the DataSet.
struct GraphState {
  GraphView view;
  std::vector<ColumnSummary> summaries;
  std::array<SpanRange, kKindCount> kindRange{};
  // The ranges each kind's scale was last fitted to while following live data.
  std::array<SpanRange, kKindCount> followedRange{};
  ZoomHistory history;
  std::vector<int> kinds;  // each column's kind
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
// Every reading across and every kind at its full range (double-click, "0").
void FitAll(GraphState& graph);
// The rubber band released: plot coordinates of its corners, any order.
// false when it was a click (cancelled).
bool RubberBandZoom(GraphState& graph, int x1, int y1, int x2, int y2);
// The left button at plot x: the cursor on the reading there. false when
// the view refuses a cursor (x-y mode, serial-card logger, no data).
bool SetCursor(GraphState& graph, int x);
bool SetSecondCursor(GraphState& graph, int x);
void ClearCursors(GraphState& graph);
void ScrollTo(GraphState& graph, int firstIndex);
void ScrollVertical(GraphState& graph, int offset);
// The wheel: time zoomed by `factor` (below 1 zooms in) about plot column x,
// and the values about plot row y (the kinds of the panel there; every kind
// when the channels share one panel).
void ZoomTimeAbout(GraphState& graph, int x, double factor);
void ZoomValuesAbout(GraphState& graph, const DataSet& data, int y, double factor);
// A drag by (dx, dy) pixels from the view `from` where it began.
void PanFrom(GraphState& graph, const DataSet& data, const GraphView& from, int startY, int dx, int dy);
void ShowChannel(GraphState& graph, const DataSet& data, int channel);
void ShowAll(GraphState& graph, const DataSet& data);
// The legend's click: the channel shown or hidden, the others as they were;
// the last shown channel stays.
void ToggleChannel(GraphState& graph, const DataSet& data, int channel);
// The channel whose axis is labelled on the left (shown with it).
void LabelAxisOf(GraphState& graph, const DataSet& data, int channel);
// A second labelled axis on the right; -1 removes it.
void SetRightAxis(GraphState& graph, const DataSet& data, int channel);
void SetStacked(GraphState& graph, bool stacked);
void SetXyMode(GraphState& graph, bool on, int xChannel, int yChannel);
// The depth plot: the selected channel across, depth (else pressure) downward.
void ToggleDepthPlot(GraphState& graph, const DataSet& data);
// Real-time mode: the view shows the newest kRealTimeReadings readings.
// Each kind's vertical scale spans its channels' minimum and maximum slots
// (set from the real-time limits, widened by readings beyond them), and is
// fitted again only when that span changes.
void FollowNewest(GraphState& graph);

// The zoom history: the view is kept before a gesture changes it; steps of
// one gesture within 700 ms of each other are one entry.
void RecordView(GraphState& graph, ViewGesture gesture, int64_t nowMs);
bool ZoomBack(GraphState& graph);
bool ZoomForward(GraphState& graph);
ViewExtent CurrentExtent(const GraphView& view);

// The scroll bars' ranges and positions.
struct ScrollBars {
  int hMinimum = 0, hMaximum = 0, hPage = 1, hPosition = 0;
  int vMinimum = 0, vMaximum = 0, vPosition = 0;
  bool hEnabled = false, vEnabled = false;
};
ScrollBars ScrollBarState(const GraphState& graph);

// Vertical placement: the value at a panel's middle for a kind, and the
// pixel row of a value in the plot (clamped to four plot heights beyond it).
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

struct GraphRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct GraphPolyline {
  int channel = 0;
  int panel = 0;  // the panel it is clipped to
  Rgb colour{0, 0, 0};
  int penWidth = 1;
  bool dashed = false;
  std::vector<GraphPoint> points;  // picture coordinates
};

// A mark on one reading of a trace (a value to tell apart); painted as a
// small ring in the trace's colour.
struct GraphPointMark {
  int channel = 0;
  int panel = 0;
  GraphPoint at{0, 0};
};

enum class MarkerPen { Burst, GainAll, GainSome, Stamp };
struct GraphMarker {
  int x = 0, y1 = 0, y2 = 0;
  MarkerPen pen = MarkerPen::Stamp;
  int markerClass = 0;
  int stampType = 0;
  std::string tip;  // what the mark is, for the hover tooltip
};

enum class TextAlign { Left, Right, Centre };
enum class TextStyle {
  Axis,     // tick labels
  Title,    // axis titles, in the colour given
  Muted,    // status details, hints
  Caption,  // a panel's channel, on a white ground inside the plot
  Banner,   // white on grey
};
struct GraphText {
  int x = 0, y = 0;  // the baseline anchor; a vertical text's centre
  std::string text;  // UTF-8
  TextAlign align = TextAlign::Left;
  TextStyle style = TextStyle::Axis;
  Rgb colour{0, 0, 0};
  bool vertical = false;  // read from the bottom up
  bool swatch = false;    // a square of `swatchColour` before the text
  Rgb swatchColour{0, 0, 0};
};

// One row of the legend: a channel's swatch, label, unit and value at the
// cursor, or one kind of mark.
struct LegendEntry {
  GraphRect box;  // what a click or hover hits
  int channel = -1;  // -1: a mark
  MarkerPen markPen = MarkerPen::Stamp;
  bool ring = false;  // the mark is a ring (a value outside its formula's range)
  int markClass = 0;
  Rgb colour{0, 0, 0};
  int penWidth = 1;
  bool dashed = false;
  bool shown = true;
  std::string label;  // "3 Salinity [PSU]"
  std::string value;  // at the cursor; empty without one
  std::string tip;
  // Where its parts go: the swatch from box.x, the label from labelX, the
  // value ending at valueRight, all on the baseline.
  int swatchWidth = 0, labelX = 0, valueRight = 0, baseline = 0;
};

// A panel of the plot: its rectangle and where its grid lines run.
struct GraphPanel {
  GraphRect rect;
  int channel = -1;  // the channel of a stacked panel; -1 when channels share it
  std::vector<int> gridY;
  std::vector<int> rightTicksY;
};

struct ChannelButton {
  int channel = 0;
  std::string label;  // "3 Sal"
  std::string tip;    // "Channel 3: Salinity [PSU]"
  Rgb colour{0, 0, 0};
  bool visible = false;
  bool shown = false;  // drawn in the graph
};

struct GraphDrawing {
  int width = 0, height = kGraphHeight;  // the picture
  GraphRect plot;                        // every panel lies in it
  std::vector<GraphPanel> panels;
  std::vector<int> gridX;  // the time (or x) ticks, through every panel
  std::vector<GraphPolyline> lines;
  std::vector<GraphPointMark> pointMarks;
  std::vector<GraphMarker> markers;
  std::vector<GraphText> texts;
  std::vector<LegendEntry> legend;
  bool cursorShown = false;
  int cursorX = 0;
  bool cursor2Shown = false;
  int cursor2X = 0;
  bool highlightShown = false;
  int highlightX1 = 0, highlightX2 = 0;
  std::string cursorReadout;  // the read-out as one text (also laid out in texts)
  std::string scaleText;      // readings and time per division
  bool zoomButtonsShown = true;
  GraphRect hScrollBar, vScrollBar;  // where the face's scroll bars go; empty without
};

// The files a picture of the graph is saved as.
enum class PictureFormat { Png, Svg, Pdf };

// How wide a text is on the face that paints it.
struct TextMetrics {
  int lineHeight = 15;
  int ascent = 11;
  std::function<int(const std::string&)> width;  // UTF-8; empty: 7 pixels a character
  int Width(const std::string& text) const;
};

struct DrawContext {
  const DataSet& data;
  const LoggerInfo& logger;
  int derivedUnit = 0;
  const TextMetrics* metrics = nullptr;  // nullptr: the default metrics
  // The columns' names in place of their channel types' (a picture that is
  // not of a recording, e.g. observed, predicted and residual); nullptr: the types'.
  const std::vector<std::string>* names = nullptr;
};

// Lays the picture of `width` x `height` out: legend, axes and read-out
// around the plot, which takes the rest. The plot keeps the readings it
// shows as its width changes.
void LayOutPicture(GraphState& graph, const DrawContext& context, int width, int height,
                   const PictureOptions& options = {});
// The picture at another size (a saved picture), the view on the screen
// left as it was.
GraphDrawing DrawPictureAt(GraphState& graph, const DrawContext& context, int width, int height,
                           const PictureOptions& options = {});
// A new plot size: the shown readings stay, spread over the new width.
void SetPlotSize(GraphState& graph, int width, int height);

// Everything one repaint draws. Cost grows with the width and the number of
// shown channels, not with the readings.
GraphDrawing BuildDrawing(const GraphState& graph, const DrawContext& context);
// The text under the cursor: reading number, time and the shown channels'
// values with their names and units.
std::string CursorReadout(const GraphState& graph, const DrawContext& context);
std::vector<ChannelButton> ChannelButtons(const GraphState& graph, const DataSet& data);
std::vector<ChannelButton> ChannelButtons(const GraphState& graph, const DataSet& data, const LoggerInfo& logger,
                                          int derivedUnit = 0);
// What lies under a point of the picture: a legend entry's channel (-1 none),
// and the tooltip of a mark or legend entry (empty none).
int LegendChannelAt(const GraphDrawing& drawing, int x, int y);
std::string TipAt(const GraphDrawing& drawing, int x, int y);
// The panel under a point of the picture; -1 outside every panel.
int PanelAt(const GraphDrawing& drawing, int x, int y);

// The same picture drawn naively through every reading (tests and checks).
std::vector<GraphPolyline> NaiveTraces(const GraphState& graph, const DataSet& data);

}  // namespace tmv
