#include "GraphWidget.h"

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "GraphPainter.h"
#include "shell/AppState.h"
#include "shell/Shell.h"

namespace tmv::qt {

// The plot's rectangle inside the picture: the parent paints it, this only
// takes the mouse, in plot coordinates.
class PlotArea : public QWidget {
 public:
  explicit PlotArea(GraphWidget* owner) : QWidget(owner), owner_(owner) {
    setObjectName("graphArea");
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override { owner_->PlotPress(e); }
  void mouseMoveEvent(QMouseEvent* e) override { owner_->PlotMove(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { owner_->PlotRelease(e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { owner_->PlotDoubleClick(e); }
  void wheelEvent(QWheelEvent* e) override { owner_->PlotWheel(e); }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(e);
      const GraphDrawing& d = owner_->drawing();
      const std::string tip = TipAt(d, help->pos().x() + d.plot.x, help->pos().y() + d.plot.y);
      if (tip.empty())
        QToolTip::hideText();
      else
        QToolTip::showText(help->globalPos(), QString::fromStdString(tip), this);
      return true;
    }
    return QWidget::event(e);
  }

 private:
  GraphWidget* owner_;
};

namespace {

QPoint PosOf(const QMouseEvent* e) { return e->position().toPoint(); }

// Widgets left to right, onto the next row when the width runs out.
class FlowRow : public QLayout {
 public:
  FlowRow(int spacing, int gap) : spacing_(spacing), gap_(gap) { setContentsMargins(0, 0, 0, 0); }
  ~FlowRow() override {
    while (QLayoutItem* item = takeAt(0)) delete item;
  }
  void addItem(QLayoutItem* item) override { items_.push_back(item); }
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int i) const override { return i >= 0 && i < count() ? items_[static_cast<size_t>(i)] : nullptr; }
  QLayoutItem* takeAt(int i) override {
    if (i < 0 || i >= count()) return nullptr;
    QLayoutItem* item = items_[static_cast<size_t>(i)];
    items_.erase(items_.begin() + i);
    return item;
  }
  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
  QSize minimumSize() const override {
    QSize size;
    for (QLayoutItem* item : items_)
      if (!item->isEmpty()) size = size.expandedTo(item->minimumSize());
    return size;
  }
  QSize sizeHint() const override { return minimumSize(); }
  void setGeometry(const QRect& rect) override {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
  }

 private:
  int Arrange(const QRect& rect, bool place) const {
    int x = rect.x(), y = rect.y(), rowHeight = 0;
    for (QLayoutItem* item : items_) {
      if (item->isEmpty()) continue;
      const QSize hint = item->sizeHint();
      if (x > rect.x() && x + hint.width() > rect.right() + 1) {
        x = rect.x();
        y += rowHeight + spacing_;
        rowHeight = 0;
      }
      if (place) item->setGeometry(QRect(QPoint(x, y), hint));
      x += hint.width() + gap_;
      rowHeight = std::max(rowHeight, hint.height());
    }
    return y + rowHeight - rect.y();
  }
  std::vector<QLayoutItem*> items_;
  int spacing_, gap_;
};

}  // namespace

GraphWidget::GraphWidget(GraphState& graph, std::function<GraphDrawing(const PictureRequest&)> build,
                         std::function<const DataSet&()> data, QWidget* parent)
    : QWidget(parent), graph_(graph), build_(std::move(build)), data_(std::move(data)) {
  setObjectName("graphPicture");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setMinimumSize(320, 240);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  font_ = paint::GraphFont();
  metrics_ = paint::MetricsFor(font_);
  plot_ = new PlotArea(this);
  hBar_ = new QScrollBar(Qt::Horizontal, this);
  hBar_->setObjectName("graphHorizontalBar");
  hBar_->setToolTip(QStringLiteral("Moves through the readings; Shift+drag or middle-drag in the plot does too"));
  vBar_ = new QScrollBar(Qt::Vertical, this);
  vBar_->setObjectName("graphVerticalBar");
  vBar_->setToolTip(QStringLiteral("Moves the values up and down; Shift+drag or middle-drag in the plot does too"));
  hBar_->setEnabled(false);
  vBar_->setEnabled(false);
  connect(hBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (refreshing_) return;
    RecordView(graph_, ViewGesture::Scroll, Now());
    ScrollTo(graph_, v);
    Changed();
  });
  connect(vBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (refreshing_) return;
    RecordView(graph_, ViewGesture::Scroll, Now());
    ScrollVertical(graph_, -v);
    Changed();
  });

  // The keys, wherever the focus is in the graph (and in what adds these actions).
  auto key = [this](const QKeySequence& keys, const QString& name, std::function<void()> act) {
    auto* action = new QAction(name, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, std::move(act));
    addAction(action);
  };
  key(QKeySequence(Qt::Key_Plus), QStringLiteral("Zoom in on time"), [this] { ZoomTimeByKey(0.5); });
  key(QKeySequence(Qt::Key_Equal), QStringLiteral("Zoom in on time "), [this] { ZoomTimeByKey(0.5); });
  key(QKeySequence(Qt::Key_Minus), QStringLiteral("Zoom out on time"), [this] { ZoomTimeByKey(2.0); });
  key(QKeySequence(Qt::Key_0), QStringLiteral("Fit all"), [this] { FitAll(); });
  key(QKeySequence(Qt::ALT | Qt::Key_Left), QStringLiteral("Back"), [this] { Back(); });
  key(QKeySequence(Qt::ALT | Qt::Key_Right), QStringLiteral("Forward"), [this] { Forward(); });
  key(QKeySequence(Qt::Key_Left), QStringLiteral("Cursor left"), [this] { MoveCursor(-1); });
  key(QKeySequence(Qt::Key_Right), QStringLiteral("Cursor right"), [this] { MoveCursor(1); });
  key(QKeySequence(Qt::SHIFT | Qt::Key_Left), QStringLiteral("Cursor ten left"), [this] { MoveCursor(-10); });
  key(QKeySequence(Qt::SHIFT | Qt::Key_Right), QStringLiteral("Cursor ten right"), [this] { MoveCursor(10); });
  key(QKeySequence(Qt::Key_Escape), QStringLiteral("Remove the cursors"), [this] {
    ClearCursors(graph_);
    Changed();
  });
}

QWidget* GraphWidget::plotArea() const { return plot_; }

int64_t GraphWidget::Now() const { return QDateTime::currentMSecsSinceEpoch(); }

void GraphWidget::Changed() {
  if (viewChanged)
    viewChanged();
  else
    Refresh();
}

void GraphWidget::Refresh() {
  PictureRequest request;
  request.width = std::max(width(), 1);
  request.height = std::max(height(), 1);
  request.metrics = &metrics_;
  request.options.scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  request.options.hints = true;
  drawing_ = build_(request);
  PlaceChildren();
  refreshing_ = true;
  const ScrollBars bars = ScrollBarState(graph_);
  hBar_->setRange(bars.hMinimum, bars.hMaximum);
  hBar_->setPageStep(bars.hPage);
  hBar_->setSingleStep(std::max(1, bars.hPage / 20));
  hBar_->setValue(bars.hPosition);
  hBar_->setEnabled(bars.hEnabled);
  vBar_->setRange(-bars.vMaximum, -bars.vMinimum);
  vBar_->setValue(-bars.vPosition);
  vBar_->setEnabled(bars.vEnabled);
  refreshing_ = false;
  update();
}

void GraphWidget::PlaceChildren() {
  const GraphRect& p = drawing_.plot;
  if (graph_.hasData && p.w > 0 && p.h > 0)
    plot_->setGeometry(p.x, p.y, p.w, p.h);
  else
    plot_->setGeometry(rect());
  auto place = [](QScrollBar* bar, const GraphRect& r) {
    bar->setVisible(r.w > 0 && r.h > 0);
    if (r.w > 0 && r.h > 0) bar->setGeometry(r.x, r.y, r.w, r.h);
  };
  place(hBar_, drawing_.hScrollBar);
  place(vBar_, drawing_.vScrollBar);
}

void GraphWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint::PaintPicture(painter, drawing_, font_);
}

void GraphWidget::resizeEvent(QResizeEvent*) { Refresh(); }

bool GraphWidget::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const std::string tip = TipAt(drawing_, help->pos().x(), help->pos().y());
    if (tip.empty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), QString::fromStdString(tip), this);
    return true;
  }
  if (e->type() == QEvent::MouseMove) {
    const QPoint at = PosOf(static_cast<QMouseEvent*>(e));
    const bool onEntry = std::any_of(drawing_.legend.begin(), drawing_.legend.end(),
                                     [&](const LegendEntry& l) { return l.channel >= 0 && l.box.Contains(at.x(), at.y()); });
    setCursor(onEntry ? Qt::PointingHandCursor : Qt::ArrowCursor);
  }
  return QWidget::event(e);
}

void GraphWidget::mousePressEvent(QMouseEvent* e) {
  const QPoint at = PosOf(e);
  const int channel = LegendChannelAt(drawing_, at.x(), at.y());
  if (channel < 0 || !graph_.hasData) return;
  if (e->button() == Qt::LeftButton) {
    ToggleChannel(graph_, data(), channel);
    Changed();
  } else if (e->button() == Qt::RightButton) {
    ShowLegendMenu(channel, e->globalPosition().toPoint());
  }
}

void GraphWidget::ShowLegendMenu(int channel, const QPoint& global) {
  QMenu menu(this);
  const QString n = QString::number(channel + 1);
  menu.addAction(QStringLiteral("Show channel %1 alone").arg(n), this, [this, channel] {
    ShowChannel(graph_, data(), channel);
    Changed();
  });
  menu.addAction(QStringLiteral("Label channel %1 on the left axis").arg(n), this, [this, channel] {
    LabelAxisOf(graph_, data(), channel);
    Changed();
  });
  if (graph_.view.rightChannel == channel) {
    menu.addAction(QStringLiteral("No axis on the right"), this, [this] {
      SetRightAxis(graph_, data(), -1);
      Changed();
    });
  } else {
    menu.addAction(QStringLiteral("Label channel %1 on the right axis").arg(n), this, [this, channel] {
      SetRightAxis(graph_, data(), channel);
      Changed();
    });
  }
  menu.addAction(QStringLiteral("Show every channel"), this, [this] {
    ShowAll(graph_, data());
    Changed();
  });
  menu.exec(global);
}

void GraphWidget::ShowPlotMenu(const QPoint& plotPos, const QPoint& global) {
  QMenu menu(this);
  if (!graph_.view.xyMode && !graph_.view.refusesMouse) {
    menu.addAction(QStringLiteral("Cursor here"), this, [this, plotPos] {
      SetCursor(graph_, plotPos.x());
      Changed();
    });
    menu.addAction(QStringLiteral("Second cursor here"), this, [this, plotPos] {
      SetSecondCursor(graph_, plotPos.x());
      Changed();
    });
    QAction* clear = menu.addAction(QStringLiteral("Remove the cursors"), this, [this] {
      ClearCursors(graph_);
      Changed();
    });
    clear->setEnabled(graph_.view.cursorActive);
    menu.addSeparator();
  }
  menu.addAction(QStringLiteral("Back"), this, [this] { Back(); })->setEnabled(!graph_.history.back.empty());
  menu.addAction(QStringLiteral("Forward"), this, [this] { Forward(); })->setEnabled(!graph_.history.forward.empty());
  menu.addAction(QStringLiteral("Fit all"), this, [this] { FitAll(); });
  if (!graph_.view.xyMode) {
    QAction* stacked = menu.addAction(QStringLiteral("Stacked panels"), this, [this](bool on) {
      SetStacked(graph_, on);
      Changed();
    });
    stacked->setCheckable(true);
    stacked->setChecked(graph_.view.stacked);
  }
  if (saveGraph) {
    menu.addSeparator();
    menu.addAction(QStringLiteral("Save graph as..."), this, [this] { saveGraph(); });
  }
  menu.exec(global);
}

void GraphWidget::ZoomTimeByKey(double factor) {
  if (!graph_.hasData) return;
  // About the cursor when it is in sight, else about the middle.
  const GraphView& v = graph_.view;
  int x = v.width / 2;
  if (drawing_.cursorShown && drawing_.cursorX >= drawing_.plot.x && drawing_.cursorX < drawing_.plot.x + drawing_.plot.w)
    x = drawing_.cursorX - drawing_.plot.x;
  RecordView(graph_, ViewGesture::Keys, Now());
  ZoomTimeAbout(graph_, x, factor);
  Changed();
}

void GraphWidget::FitAll() {
  if (!graph_.hasData) return;
  RecordView(graph_, ViewGesture::Fit, Now());
  tmv::FitAll(graph_);
  Changed();
}

void GraphWidget::Back() {
  if (ZoomBack(graph_)) Changed();
}

void GraphWidget::Forward() {
  if (ZoomForward(graph_)) Changed();
}

void GraphWidget::MoveCursor(int readings) {
  GraphView& v = graph_.view;
  if (!graph_.hasData || !v.cursorActive || v.xyMode) return;
  v.cursorIndex = std::clamp(v.cursorIndex + readings, 0, graph_.readingCount - 1);
  // The cursor stays in sight.
  const int shown = static_cast<int>(v.width / v.pixelsPerReading);
  if (v.cursorIndex < v.firstIndex) ScrollTo(graph_, v.cursorIndex);
  if (v.cursorIndex > v.firstIndex + shown) ScrollTo(graph_, v.cursorIndex - shown);
  Changed();
}

void GraphWidget::PlotPress(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  if (!graph_.hasData) return;
  const QPoint at = PosOf(e);
  pressAt_ = at;
  dragFrom_ = graph_.view;
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  if (e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && shift)) {
    drag_ = Drag::Pan;
    RecordView(graph_, ViewGesture::Pan, Now());
    plot_->setCursor(Qt::ClosedHandCursor);
  } else if (e->button() == Qt::LeftButton) {
    if (e->modifiers() & Qt::ControlModifier) {
      drag_ = Drag::None;
      if (SetSecondCursor(graph_, at.x())) Changed();
      return;
    }
    // A press on the cursor's line drags the cursor.
    const bool onCursor = drawing_.cursorShown && std::abs(at.x() + drawing_.plot.x - drawing_.cursorX) <= 3;
    drag_ = onCursor && !graph_.view.xyMode ? Drag::Cursor : Drag::Click;
    if (drag_ == Drag::Cursor) graph_.view.tracking = true;
  } else if (e->button() == Qt::RightButton) {
    drag_ = Drag::Band;
  }
}

void GraphWidget::PlotMove(QMouseEvent* e) {
  const QPoint at = PosOf(e);
  switch (drag_) {
    case Drag::Pan:
      PanFrom(graph_, data(), dragFrom_, pressAt_.y(), at.x() - pressAt_.x(), at.y() - pressAt_.y());
      Changed();
      return;
    case Drag::Cursor:
      if (SetCursor(graph_, at.x())) Changed();
      return;
    case Drag::Click:
    case Drag::Band:
      if ((at - pressAt_).manhattanLength() < 5 || graph_.view.refusesMouse || graph_.view.xyMode) return;
      if (drag_ == Drag::Click) drag_ = Drag::Box;
      graph_.view.bandActive = true;
      graph_.view.bandX = pressAt_.x();
      graph_.view.bandY = pressAt_.y();
      if (band_ == nullptr) band_ = new QRubberBand(QRubberBand::Rectangle, plot_);
      band_->setGeometry(QRect(pressAt_, at).normalized());
      band_->show();
      return;
    case Drag::Box:
      band_->setGeometry(QRect(pressAt_, at).normalized());
      return;
    case Drag::None:
      return;
  }
}

void GraphWidget::PlotRelease(QMouseEvent* e) {
  const QPoint at = PosOf(e);
  const Drag drag = drag_;
  drag_ = Drag::None;
  graph_.view.tracking = false;
  plot_->setCursor(Qt::CrossCursor);
  if (band_ != nullptr) band_->hide();
  switch (drag) {
    case Drag::Click:
      if (SetCursor(graph_, at.x())) Changed();
      return;
    case Drag::Box:
      RecordView(graph_, ViewGesture::Box, Now());
      RubberBandZoom(graph_, pressAt_.x(), pressAt_.y(), at.x(), at.y());
      Changed();
      return;
    case Drag::Band:
      if (graph_.view.bandActive) {
        RecordView(graph_, ViewGesture::Box, Now());
        RubberBandZoom(graph_, pressAt_.x(), pressAt_.y(), at.x(), at.y());
        Changed();
      } else {
        // A right click without a drag: what can be done here.
        ShowPlotMenu(at, e->globalPosition().toPoint());
      }
      return;
    default:
      return;
  }
}

void GraphWidget::PlotDoubleClick(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) FitAll();
}

void GraphWidget::PlotWheel(QWheelEvent* e) {
  e->accept();
  if (!graph_.hasData) return;
  const QPoint at = e->position().toPoint();
  const QPoint delta = e->angleDelta();
  const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
  if (notches == 0) return;
  const int64_t when = static_cast<int64_t>(e->timestamp());
  if (e->modifiers() & Qt::ShiftModifier) {
    // Shift+wheel moves along time by a tenth of the plot a notch.
    RecordView(graph_, ViewGesture::Scroll, when);
    const double readings = graph_.view.width / graph_.view.pixelsPerReading / 10.0;
    ScrollTo(graph_, graph_.view.firstIndex - static_cast<int>(std::lround(notches * readings)));
  } else if (e->modifiers() & Qt::ControlModifier) {
    RecordView(graph_, ViewGesture::ValueWheel, when);
    ZoomValuesAbout(graph_, data(), at.y(), std::pow(0.8, notches));
  } else {
    RecordView(graph_, ViewGesture::Wheel, when);
    ZoomTimeAbout(graph_, at.x(), std::pow(0.8, notches));
  }
  Changed();
}

// ---- The graph area ----

GraphArea::GraphArea(Shell& shell, QWidget* parent) : QWidget(parent), shell_(shell) {
  setObjectName("mainClient");
  AppState& state = shell_.state;
  graph_ = new GraphWidget(
      state.graph,
      [this](const PictureRequest& request) { return RepaintGraph(shell_.state, ShellStatisticsHooks(shell_), request); },
      [this]() -> const DataSet& { return shell_.state.retrieval.data; }, this);
  graph_->viewChanged = [this] { Changed(); };
  graph_->saveGraph = [this] { SaveGraph(); };
  // The keys work wherever the focus is in the area.
  addActions(graph_->actions());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(4);
  // The graph's buttons in groups that wrap onto a second row in a narrow window.
  auto* bar = new FlowRow(4, 10);
  auto group = [&]() {
    auto* box = new QWidget(this);
    groups_.push_back(box);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    bar->addWidget(box);
    return row;
  };
  auto caption = [&](QHBoxLayout* row, const QString& text, const QString& tip) {
    auto* label = new QLabel(text, this);
    label->setToolTip(tip);
    row->addWidget(label);
    viewControls_.push_back(label);
    zoomControls_.push_back(label);
  };
  const int small = std::max(28, fontMetrics().height() * 2);
  auto smallButton = [&](QHBoxLayout* row, const char* name, const QString& text, const QString& tip) {
    QPushButton* b = AddButton(row, name, text, tip);
    b->setFixedWidth(small);
    zoomControls_.push_back(b);
    return b;
  };
  QHBoxLayout* time = group();
  caption(time, QStringLiteral("Time:"), QStringLiteral("Zoom on the time axis; the wheel zooms about the pointer"));
  smallButton(time, "zoomInButton", QStringLiteral("+"),
              QStringLiteral("Zoom in on time: 3, then 1 reading per division, about the cursor when there is one "
                             "(the + key zooms twice as near)"));
  smallButton(time, "zoomOutButton", QStringLiteral("-"),
              QStringLiteral("Zoom out on time: 3, 10, 30 ... readings per division, up to every reading (the - key "
                             "zooms twice as far)"));
  smallButton(time, "resetButton", QStringLiteral("R"), QStringLiteral("Every reading across the plot"));
  QHBoxLayout* values = group();
  caption(values, QStringLiteral("Values:"),
          QStringLiteral("Zoom on the value axis of the channel labelled on the left; Ctrl+wheel zooms about the pointer"));
  smallButton(values, "zoomInVerticalButton", QStringLiteral("+"),
              QStringLiteral("Zoom in on the values of the channel on the left axis (Ctrl+wheel zooms about the pointer)"));
  smallButton(values, "zoomOutVerticalButton", QStringLiteral("-"),
              QStringLiteral("Zoom out on the values of the channel on the left axis"));
  smallButton(values, "resetVerticalButton", QStringLiteral("R"),
              QStringLiteral("The full range of the channel on the left axis"));
  QHBoxLayout* history = group();
  QPushButton* back = AddButton(history, "backButton", QStringLiteral("Back"),
                                QStringLiteral("Back to the view before the last zoom or move (Alt+Left)"));
  QPushButton* forward = AddButton(history, "forwardButton", QStringLiteral("Forward"),
                                   QStringLiteral("Forward again to the view that Back left (Alt+Right)"));
  QPushButton* fit = AddButton(history, "fitAllButton", QStringLiteral("Fit all"),
                               QStringLiteral("Every reading, every channel at its full range (the 0 key, or a "
                                              "double-click in the plot)"));
  zoomControls_.insert(zoomControls_.end(), {back, forward, fit});
  connect(back, &QPushButton::clicked, this, [this] { graph_->Back(); });
  connect(forward, &QPushButton::clicked, this, [this] { graph_->Forward(); });
  connect(fit, &QPushButton::clicked, this, [this] { graph_->FitAll(); });
  QHBoxLayout* view = group();
  QPushButton* stacked = AddButton(view, "stackedButton", QStringLiteral("Stacked"),
                                   QStringLiteral("One panel per shown channel, each with its own value axis, over a "
                                                  "shared time axis"));
  stacked->setCheckable(true);
  zoomControls_.push_back(stacked);
  connect(stacked, &QPushButton::toggled, this, [this](bool on) {
    if (refreshing_) return;
    SetStacked(shell_.state.graph, on);
    Changed();
  });
  rightAxis_ = new QComboBox(this);
  rightAxis_->setObjectName("rightAxisChoice");
  rightAxis_->setToolTip(QStringLiteral("A second value axis on the right, labelled with another channel's values"));
  rightAxis_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  rightAxis_->setMinimumContentsLength(16);
  view->addWidget(rightAxis_);
  viewControls_.push_back(rightAxis_);
  zoomControls_.push_back(rightAxis_);
  connect(rightAxis_, &QComboBox::activated, this, [this](int index) {
    SetRightAxis(shell_.state.graph, shell_.state.retrieval.data, rightAxis_->itemData(index).toInt());
    Changed();
  });
  QHBoxLayout* other = group();
  QPushButton* depth = AddButton(other, "depthPlotButton", QStringLiteral("Depth Plot"),
                                 QStringLiteral("A profile: the channel on the left axis across, depth downward; "
                                                "press again for the time series"));
  connect(depth, &QPushButton::clicked, this, [this] { Run(graphcmd::kDepthPlot); });
  QPushButton* save = AddButton(other, "saveGraphButton", QStringLiteral("Save graph..."),
                                QStringLiteral("The graph alone as a PNG picture, an SVG drawing or a PDF document, at "
                                               "any size"));
  connect(save, &QPushButton::clicked, this, [this] { SaveGraph(); });
  layout->addLayout(bar);
  layout->addWidget(graph_, 1);

  auto* buttons = new QGridLayout;
  buttons->setHorizontalSpacing(4);
  buttons->setVerticalSpacing(3);
  QPushButton* all = new QPushButton(QStringLiteral("ALL"), this);
  all->setObjectName("allButton");
  all->setToolTip(QStringLiteral("Show every channel"));
  viewControls_.push_back(all);
  buttons->addWidget(all, 0, 0);
  connect(all, &QPushButton::clicked, this, [this] { Run(graphcmd::kShowAll); });
  for (int i = 0; i < kChannelButtonCount; ++i) {
    auto* button = new QPushButton(QString::number(i + 1), this);
    button->setObjectName(QStringLiteral("channelButton%1").arg(i + 1));
    button->setMinimumWidth(40);
    buttons->addWidget(button, i / 12, 1 + i % 12);
    channelButtons_.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, i] {
      ShowChannel(shell_.state.graph, shell_.state.retrieval.data, i);
      Changed();
    });
  }
  for (int c = 1; c <= 12; ++c) buttons->setColumnStretch(c, 1);
  layout->addLayout(buttons);

  const std::pair<const char*, int> commands[] = {
      {"zoomInButton", graphcmd::kZoomIn},           {"zoomOutButton", graphcmd::kZoomOut},
      {"resetButton", graphcmd::kReset},             {"zoomInVerticalButton", graphcmd::kZoomInVertical},
      {"zoomOutVerticalButton", graphcmd::kZoomOutVertical}, {"resetVerticalButton", graphcmd::kResetVertical}};
  for (const auto& [name, command] : commands)
    if (auto* b = findChild<QPushButton*>(QString::fromLatin1(name)))
      connect(b, &QPushButton::clicked, this, [this, command = command] { Run(command); });
  SetDataControlsVisible(false);
}

QPushButton* GraphArea::AddButton(QLayout* row, const char* name, const QString& text, const QString& tip) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(tip);
  row->addWidget(b);
  viewControls_.push_back(b);
  return b;
}

void GraphArea::Run(int command) { RunCommand(shell_, command); }

void GraphArea::Changed() {
  if (viewChanged)
    viewChanged();
  else
    Refresh();
}

void GraphArea::SetDepthAvailable(bool available) {
  depthAvailable_ = available;
  if (auto* b = findChild<QPushButton*>(QStringLiteral("depthPlotButton")))
    b->setVisible(available && shell_.state.graph.hasData);
  ShowGroups();
}

void GraphArea::SetDataControlsVisible(bool visible) {
  for (auto* b : channelButtons_) b->setVisible(visible);
  for (auto* w : viewControls_)
    w->setVisible(visible && (w->objectName() != QLatin1String("depthPlotButton") || depthAvailable_));
  ShowGroups();
}

void GraphArea::ShowGroups() {
  // A group with nothing to show takes no room in the row.
  for (QWidget* box : groups_) {
    const auto parts = box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    box->setVisible(std::any_of(parts.begin(), parts.end(), [](QWidget* w) { return !w->isHidden(); }));
  }
}

void GraphArea::Refresh() {
  refreshing_ = true;
  AppState& state = shell_.state;
  const GraphState& g = state.graph;
  const GraphView& v = g.view;
  SetDataControlsVisible(g.hasData);
  const auto buttons = ChannelButtons(g, state.retrieval.data, state.logger, DerivedUnitChoice(state));
  for (const ChannelButton& b : buttons) {
    QPushButton* w = channelButtons_[static_cast<size_t>(b.channel)];
    w->setVisible(b.visible);
    if (!b.visible) continue;
    w->setText(QString::fromStdString(b.label));
    w->setToolTip(QString::fromStdString(b.tip));
    const Rgb c = b.colour;
    const bool dark = c.r * 3 + c.g * 6 + c.b < 1100;
    const QString style = QStringLiteral("QPushButton { background-color: rgb(%1,%2,%3); color: %4; border: %5; "
                                         "border-radius: 3px; padding: 2px 6px; }")
                              .arg(c.r)
                              .arg(c.g)
                              .arg(c.b)
                              .arg(dark ? QStringLiteral("white") : QStringLiteral("black"))
                              .arg(b.shown ? QStringLiteral("2px solid #202020") : QStringLiteral("2px solid transparent"));
    // A style sheet costs a new polish: set only when it changes (the wheel refreshes 60 times a second).
    if (w->styleSheet() != style) w->setStyleSheet(style);
  }
  // While a real-time collection runs the zoom-in button ends it (the same
  // command number) and the graph follows the newest readings by itself; the
  // x-y plot has no zoom.
  const bool realTime = state.realTime.active;
  for (QWidget* w : zoomControls_) w->setVisible(g.hasData && !realTime && !v.xyMode);
  if (auto* zoomIn = findChild<QPushButton*>(QStringLiteral("zoomInButton"))) {
    const QString text = realTime ? QStringLiteral("End Real-time Display") : QStringLiteral("+");
    zoomIn->setText(text);
    zoomIn->setFixedWidth(std::max(std::max(28, fontMetrics().height() * 2), fontMetrics().horizontalAdvance(text) + 20));
    zoomIn->setVisible(g.hasData && !v.xyMode);
  }
  if (auto* b = findChild<QPushButton*>(QStringLiteral("backButton"))) b->setEnabled(!g.history.back.empty());
  if (auto* b = findChild<QPushButton*>(QStringLiteral("forwardButton"))) b->setEnabled(!g.history.forward.empty());
  if (auto* b = findChild<QPushButton*>(QStringLiteral("stackedButton"))) b->setChecked(v.stacked);
  if (auto* b = findChild<QPushButton*>(QStringLiteral("depthPlotButton"))) {
    b->setVisible(g.hasData && depthAvailable_ && !realTime);
    b->setText(v.depthPlot ? QStringLiteral("Time series") : QStringLiteral("Depth Plot"));
  }
  QStringList choices{QStringLiteral("Right axis: none")};
  for (int c = 0; c < g.columns; ++c)
    choices << QStringLiteral("Right axis: ") +
                   QString::fromStdString(std::to_string(c + 1) + " " +
                                          ColumnCaption(state.retrieval.data, state.logger, c, DerivedUnitChoice(state)));
  QStringList shown;
  for (int i = 0; i < rightAxis_->count(); ++i) shown << rightAxis_->itemText(i);
  if (shown != choices) {
    rightAxis_->clear();
    for (int i = 0; i < choices.size(); ++i) rightAxis_->addItem(choices[i], i - 1);
  }
  rightAxis_->setCurrentIndex(std::max(0, rightAxis_->findData(v.rightChannel)));
  ShowGroups();
  graph_->Refresh();
  refreshing_ = false;
}

void GraphArea::SaveGraph() {
  AppState& state = shell_.state;
  const QFont font = paint::GraphFont();
  const TextMetrics metrics = paint::MetricsFor(font);
  SaveGraphPicture(state, graph_->width(), graph_->height(),
                   [&](const std::string& path, PictureFormat format, int width, int height) {
                     const DrawContext context{state.retrieval.data, state.logger, DerivedUnitChoice(state), &metrics};
                     const GraphDrawing drawing = DrawPictureAt(state.graph, context, width, height);
                     return paint::SavePicture(drawing, QString::fromStdString(path), format);
                   });
}

}  // namespace tmv::qt
