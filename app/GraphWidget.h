#pragma once
// The graph on the screen: GraphWidget paints the core's picture (plot,
// axes, legend, read-out) at the widget's size and turns the mouse, wheel
// and keys into the core's view operations; GraphArea is the main window's
// central area around it, with the graph's buttons and channel buttons.
#include <QComboBox>
#include <QPushButton>
#include <QRubberBand>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <vector>

#include "presentation/GraphCommands.h"
#include "presentation/GraphView.h"

namespace tmv {
struct Shell;
}

namespace tmv::qt {

class PlotArea;

class GraphWidget : public QWidget {
 public:
  // `build` makes the picture for a size; `data` is the DataSet it shows.
  GraphWidget(GraphState& graph, std::function<GraphDrawing(const PictureRequest&)> build,
              std::function<const DataSet&()> data, QWidget* parent);
  // Rebuilds the drawing data for the widget's size and repaints.
  void Refresh();
  const GraphDrawing& drawing() const { return drawing_; }
  // The plot's own rectangle, which takes the mouse over the plot.
  QWidget* plotArea() const;
  QScrollBar* horizontalBar() const { return hBar_; }
  QScrollBar* verticalBar() const { return vBar_; }
  GraphState& graph() { return graph_; }
  const DataSet& data() const { return data_(); }
  // The picture's fixed texts' font and widths.
  const TextMetrics& metrics() const { return metrics_; }
  // Called after the view changed through the mouse, wheel, keys or scroll bars.
  std::function<void()> viewChanged;
  // "Save graph as" in the plot's menu; none when unset.
  std::function<void()> saveGraph;

  // What the keys and buttons share; each keeps the view for "Back" first.
  void ZoomTimeByKey(double factor);
  void FitAll();
  void Back();
  void Forward();
  void MoveCursor(int readings);

  // The plot area's mouse, in plot coordinates.
  void PlotPress(QMouseEvent* e);
  void PlotMove(QMouseEvent* e);
  void PlotRelease(QMouseEvent* e);
  void PlotDoubleClick(QMouseEvent* e);
  void PlotWheel(QWheelEvent* e);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  bool event(QEvent*) override;

 private:
  enum class Drag { None, Click, Box, Band, Pan, Cursor };
  void Changed();
  void ShowLegendMenu(int channel, const QPoint& global);
  void ShowPlotMenu(const QPoint& plotPos, const QPoint& global);
  void PlaceChildren();
  int64_t Now() const;

  GraphState& graph_;
  std::function<GraphDrawing(const PictureRequest&)> build_;
  std::function<const DataSet&()> data_;
  GraphDrawing drawing_;
  TextMetrics metrics_;
  QFont font_;
  PlotArea* plot_ = nullptr;
  QScrollBar* hBar_ = nullptr;
  QScrollBar* vBar_ = nullptr;
  QRubberBand* band_ = nullptr;
  Drag drag_ = Drag::None;
  QPoint pressAt_;
  GraphView dragFrom_;
  bool refreshing_ = false;
};

// The main window's central area: the graph's buttons above the graph, the
// channel buttons below it.
class GraphArea : public QWidget {
 public:
  GraphArea(Shell& shell, QWidget* parent);
  GraphWidget* graphWidget() const { return graph_; }
  const std::vector<QPushButton*>& channelButtons() const { return channelButtons_; }
  // After the view or the data changed: buttons, scroll bars, picture.
  void Refresh();
  // Shows or hides what only makes sense with data.
  void SetDataControlsVisible(bool visible);
  // Whether "Depth Plot" may show (a depth column exists).
  void SetDepthAvailable(bool available);
  // "Save graph as": the graph alone as PNG, SVG or PDF.
  void SaveGraph();
  // Called after a button or key changed the view.
  std::function<void()> viewChanged;

 private:
  QPushButton* AddButton(QLayout* row, const char* name, const QString& text, const QString& tip);
  void Run(int command);
  void Changed();
  void ShowGroups();

  Shell& shell_;
  GraphWidget* graph_ = nullptr;
  std::vector<QPushButton*> channelButtons_;
  std::vector<QWidget*> viewControls_;  // shown with data
  std::vector<QWidget*> zoomControls_;  // hidden in x-y mode and while real-time data come
  std::vector<QWidget*> groups_;        // the rows of buttons that belong together
  QComboBox* rightAxis_ = nullptr;
  bool depthAvailable_ = false;
  bool refreshing_ = false;
};

}  // namespace tmv::qt
