#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "DialogFaces.h"
#include "GraphPainter.h"
#include "GraphWidget.h"
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>
#include "analysis/WaveAnalysis.h"
#include "analysis/WaveWindow.h"
#include "presentation/GraphCommands.h"
#include "LiveFaces.h"
#include "RetrievalFaces.h"
#include "StatusLine.h"
#include "shell/CommandIds.h"
#include "shell/LiveCommands.h"

namespace tmv::qt {
namespace {

// A second or later copy marks every dialog of its own with its copy
// prefix, so that the user can tell which copy is asking.
class DialogTitlePrefix : public QObject {
 public:
  DialogTitlePrefix(QString prefix, QWidget* mainWindow)
      : QObject(mainWindow), prefix_(std::move(prefix)), main_(mainWindow) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog == nullptr || qobject_cast<QMessageBox*>(dialog) != nullptr) return false;
    QWidget* owner = dialog->parentWidget() != nullptr ? dialog->parentWidget()->window() : nullptr;
    if (owner != nullptr && owner != main_) return false;
    if (!dialog->windowTitle().startsWith(prefix_)) dialog->setWindowTitle(prefix_ + dialog->windowTitle());
    return false;
  }

 private:
  QString prefix_;
  QWidget* main_;
};

// The main window's client area: paints the graph's labels around the plot.
class LabelCanvas : public QWidget {
 public:
  LabelCanvas(QWidget* parent, std::function<const GraphDrawing*()> drawing)
      : QWidget(parent), drawing_(std::move(drawing)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    const GraphDrawing* d = drawing_();
    if (d == nullptr || (d->lines.empty() && d->texts.empty())) return;
    QPainter painter(this);
    painter.translate(paint::kPlotLeft, paint::kPlotTop);
    paint::PaintLabels(painter, *d);
  }

 private:
  std::function<const GraphDrawing*()> drawing_;
};

}  // namespace

WindowLayout LayoutForScreen(int screenWidth, double logicalDpiX) {
  WindowLayout l;
  l.usableWidth = std::min(screenWidth, 1000);
  l.graphWidth = ((l.usableWidth - 163) / 50) * 50 + 3;
  l.dpiScale = logicalDpiX > 0 ? logicalDpiX / 96.0 : 1.0;
  return l;
}

MainWindow::MainWindow(SerialSystem& serial, Clock& clock, StartupOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      state_(serial, clock, ui_),
      shell_(state_, dialogs_) {
  QScreen* screen = QGuiApplication::primaryScreen();
  layout_ = LayoutForScreen(screen != nullptr ? screen->geometry().width() : 1000,
                            screen != nullptr ? screen->logicalDotsPerInchX() : 96.0);
  timer_ = std::make_unique<QtPollTimer>([this] { ShellTick(shell_); });
  shell_.timer = timer_.get();
  shell_.copySlots = &copySlots_;
  shell_.quit = [this] {
    if (!inCloseEvent_) close();
  };
  BuildWindow();
  RegisterFaces();
  // Another logger's data windows go when a new logger is identified.
  state_.hooks.hideDataWindows = [this] { SetDataControlsVisible(false); };
}

MainWindow::~MainWindow() {
  // The window may go without ExitProgram (its owner deletes it): an open
  // panel ends as its own "Close" ends it while the shell and the state it
  // reaches are still here.
  CloseModelessPanels();
  if (timer_) timer_->StopPollTimer();
  // The panels' windows go before the members they reach: Qt would delete
  // them only after those, and a field losing its focus on the way would
  // call into a shell that is no more.
  DetachMicroSalFace(microSal_);
  std::vector<QPointer<QDialog>> panels;
  for (QDialog* panel : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) panels.emplace_back(panel);
  for (const QPointer<QDialog>& panel : panels) delete panel.data();
  microSal_ = nullptr;
  statistics_ = nullptr;
  // The ports are closed even when the window goes without ExitProgram.
  if (state_.loggerLink.port) state_.loggerLink.port->Close();
  if (state_.gpsLink.port) state_.gpsLink.port->Close();
}

void MainWindow::CloseModelessPanels() {
  if (!shell_.modelessClose) return;
  auto close = shell_.modelessClose;  // closing clears it
  close();
}

void MainWindow::BuildWindow() {
  ui_.SetWindow(this);
  ui_.BuildMenus(this, [this](int command) { RunCommand(shell_, command); });

  auto* central = new LabelCanvas(this, [this]() -> const GraphDrawing* {
    return graphWidget_ != nullptr && state_.graph.hasData ? &graphWidget_->drawing() : nullptr;
  });
  central->setObjectName("mainClient");
  setCentralWidget(central);
  central_ = central;

  state_.graph.view.width = layout_.graphWidth;
  auto* graph = new GraphWidget(shell_, central);
  graph->setGeometry(160, 20, layout_.graphWidth, 250);
  graph->viewChanged = [this] { RefreshGraph(); };
  graph_ = graph;
  graphWidget_ = graph;
  shell_.redrawGraph = [this] { RefreshGraph(); };
  shell_.captureWindow = [this](const std::string& path) {
    return grab().save(QString::fromStdString(path), "BMP");
  };
  shell_.showStatisticsPanel = [this] { ShowStatisticsFace(); };
  // The derived-units dialog sets the graph up again when the columns change,
  // and resumes a KZM retrieval or set-up once it has closed.
  state_.analysis.setUpGraph = [this] {
    AttachCurrentData(state_);
    RefreshGraph();
    return true;
  };
  state_.analysis.refreshGraph = [this] { RefreshGraph(); };
  // The derived columns say whether there is a depth column to plot.
  state_.analysis.showDepthPlot = [this](bool show) {
    depthAvailable_ = show;
    if (auto* b = findChild<QPushButton*>(QStringLiteral("depthPlotButton")))
      b->setVisible(show && !channelButtons_.empty() && !channelButtons_.front()->isHidden());
  };
  state_.analysis.postCommand = [this](int command) {
    QTimer::singleShot(0, this, [this, command] { RunCommand(shell_, command); });
  };

  hBar_ = new QScrollBar(Qt::Horizontal, central);
  hBar_->setObjectName("graphHorizontalBar");
  hBar_->setGeometry(160, 270, layout_.graphWidth, 20);
  hBar_->setEnabled(false);
  vBar_ = new QScrollBar(Qt::Vertical, central);
  vBar_->setObjectName("graphVerticalBar");
  vBar_->setGeometry(140, 20, 20, 250);
  vBar_->setEnabled(false);

  for (int i = 0; i < 24; ++i) {
    auto* button = new QPushButton(QString::number(i + 1), central);
    button->setObjectName(QStringLiteral("channelButton%1").arg(i + 1));
    button->setGeometry((i % 12) * 53 + 90, (i / 12) * 24 + 365, 50, 22);
    channelButtons_.push_back(button);
  }
  auto addView = [&](QWidget* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    viewControls_.push_back(w);
  };
  addView(new QPushButton(QStringLiteral("ALL"), central), "allButton", 20, 365, 60, 22);
  addView(new QPushButton(QStringLiteral("Depth Plot"), central), "depthPlotButton", 20, 300, 110, 22);
  addView(new QPushButton(QStringLiteral("+"), central), "zoomInButton", 20, 20, 30, 24);
  addView(new QPushButton(QStringLiteral("-"), central), "zoomOutButton", 55, 20, 30, 24);
  addView(new QPushButton(QStringLiteral("R"), central), "resetButton", 90, 20, 30, 24);
  addView(new QSpinBox(central), "upDown", 20, 120, 60, 24);
  addView(new QPushButton(QStringLiteral("+"), central), "zoomInVerticalButton", 20, 60, 30, 24);
  addView(new QPushButton(QStringLiteral("-"), central), "zoomOutVerticalButton", 55, 60, 30, 24);
  addView(new QPushButton(QStringLiteral("R"), central), "resetVerticalButton", 90, 60, 30, 24);
  SetDataControlsVisible(false);
  auto wire = [&](const char* name, int command) {
    auto* b = central->findChild<QPushButton*>(QString::fromLatin1(name));
    if (b != nullptr) connect(b, &QPushButton::clicked, this, [this, command] { RunCommand(shell_, command); });
  };
  wire("allButton", graphcmd::kShowAll);
  wire("depthPlotButton", graphcmd::kDepthPlot);
  wire("zoomInButton", graphcmd::kZoomIn);
  wire("zoomOutButton", graphcmd::kZoomOut);
  wire("resetButton", graphcmd::kReset);
  wire("zoomInVerticalButton", graphcmd::kZoomInVertical);
  wire("zoomOutVerticalButton", graphcmd::kZoomOutVertical);
  wire("resetVerticalButton", graphcmd::kResetVertical);
  for (int i = 0; i < 24; ++i)
    connect(channelButtons_[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] {
      ShowChannel(state_.graph, state_.retrieval.data, i);
      RefreshGraph();
    });
  connect(hBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (refreshing_) return;
    ScrollTo(state_.graph, v);
    RefreshGraph();
  });
  connect(vBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (refreshing_) return;
    ScrollVertical(state_.graph, -v);
    RefreshGraph();
  });

  const int clientHeight = 2 * 24 + 365 + 12;
  central->setMinimumSize(160 + layout_.graphWidth + 20, clientHeight);

  status_ = new StatusLine(layout_.dpiScale, this);
  setStatusBar(status_);
  ui_.SetStatusLine(status_);

  resize(std::max(layout_.usableWidth, central->minimumWidth()), clientHeight + 60);
}

void MainWindow::SetDataControlsVisible(bool visible) {
  for (auto* b : channelButtons_) b->setVisible(visible);
  for (auto* w : viewControls_)
    w->setVisible(visible && (w->objectName() != QLatin1String("depthPlotButton") || depthAvailable_));
}

// A tide-and-wave recorder's bursts: the wave window follows the cursor.
void MainWindow::ShowWavesAtCursor() {
  const GraphState& g = state_.graph;
  const WaveStore* store = WaveResults(state_);
  if (!g.hasData || !g.view.cursorActive || store == nullptr || store->Count() == 0) return;
  if (g.view.cursorIndex == waveCursorShown_) return;
  waveCursorShown_ = g.view.cursorIndex;
  WaveWindowView view = ShowWaveWindow(state_, *store, g.view.cursorIndex, kWaveWindowData);
  dialogs_.Run(view);
}

void MainWindow::RefreshGraph() {
  refreshing_ = true;
  const GraphState& g = state_.graph;
  SetDataControlsVisible(g.hasData);
  const ScrollBars bars = ScrollBarState(g);
  hBar_->setRange(bars.hMinimum, bars.hMaximum);
  hBar_->setPageStep(bars.hPage);
  hBar_->setValue(bars.hPosition);
  hBar_->setEnabled(bars.hEnabled);
  vBar_->setRange(-bars.vMaximum, -bars.vMinimum);
  vBar_->setValue(-bars.vPosition);
  vBar_->setEnabled(bars.vEnabled);
  const auto buttons = ChannelButtons(g, state_.retrieval.data);
  for (const ChannelButton& b : buttons) {
    QPushButton* w = channelButtons_[static_cast<size_t>(b.channel)];
    w->setVisible(b.visible);
    const Rgb c = b.colour;
    const bool dark = c.r * 3 + c.g * 6 + c.b < 600;
    w->setStyleSheet(QStringLiteral("background-color: rgb(%1,%2,%3); color: %4; %5")
                         .arg(c.r).arg(c.g).arg(c.b)
                         .arg(dark ? QStringLiteral("white") : QStringLiteral("black"))
                         .arg(b.shown ? QStringLiteral("font-weight: bold;") : QString()));
  }
  // While a real-time collection runs the zoom-in button ends it (the same
  // command number) and the graph follows the newest readings by itself.
  const bool realTime = state_.realTime.active;
  if (auto* zoomIn = central_->findChild<QPushButton*>(QStringLiteral("zoomInButton"))) {
    zoomIn->setText(realTime ? QStringLiteral("End Real-time Display") : QStringLiteral("+"));
    zoomIn->resize(realTime ? 150 : 30, zoomIn->height());
  }
  for (const char* name : {"zoomOutButton", "resetButton"})
    if (auto* b = central_->findChild<QPushButton*>(QString::fromLatin1(name))) b->setVisible(g.hasData && !realTime);
  graphWidget_->Refresh();
  central_->update();
  ShowWavesAtCursor();
  if (statistics_ != nullptr && statistics_->isVisible()) {
    const StatisticsPanelState& p = state_.statistics;
    statistics_->setWindowTitle(QString::fromLatin1(p.title.c_str()));
    auto set = [this](const char* name, const std::string& text) {
      if (auto* l = statistics_->findChild<QLabel*>(QLatin1String(name))) l->setText(QString::fromStdString(text));
    };
    set("statisticsMean", p.meanText);
    set("statisticsDeviation", p.deviationText);
    set("statisticsNote", p.noteText);
    if (auto* note = statistics_->findChild<QLabel*>("statisticsNote")) note->setVisible(!p.noteText.empty());
    if (auto* count = statistics_->findChild<QLineEdit*>("statisticsCount"); count != nullptr && !count->hasFocus())
      count->setText(QString::fromStdString(p.countText));
    ShowCalibrationGroup();
  }
  refreshing_ = false;
}

void MainWindow::ShowStatisticsFace() {
  if (statistics_ == nullptr) {
    statistics_ = new QDialog(this);
    statistics_->setObjectName("statisticsPanel");
    statistics_->setModal(false);
    auto* layout = new QVBoxLayout(statistics_);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    auto* form = new QFormLayout;
    for (auto [name, caption] : {std::pair{"statisticsMean", "Mean"}, {"statisticsDeviation", "Standard deviation"}}) {
      auto* value = new QLabel(statistics_);
      value->setObjectName(QLatin1String(name));
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
      form->addRow(QString::fromLatin1(caption), value);
    }
    auto* count = new QLineEdit(statistics_);
    count->setObjectName("statisticsCount");
    form->addRow(QStringLiteral("Number of readings"), count);
    layout->addLayout(form);
    // Readings left out of the figures, and derived values outside their formula's range.
    auto* note = new QLabel(statistics_);
    note->setObjectName("statisticsNote");
    note->setWordWrap(true);
    note->hide();
    layout->addWidget(note);
    connect(count, &QLineEdit::editingFinished, this, [this, count] {
      StatisticsPanel panel(state_, ShellStatisticsHooks(shell_));
      panel.TypeCount(count->text().toStdString());
    });
    auto* view = new QPushButton(QStringLiteral("Change data view"), statistics_);
    layout->addWidget(view);
    connect(view, &QPushButton::clicked, this, [this] {
      StatisticsPanel panel(state_, ShellStatisticsHooks(shell_));
      panel.ChangeDataView();
      RefreshGraph();
    });
    BuildCalibrationGroup(layout);
    auto* close = new QPushButton(QStringLiteral("Close"), statistics_);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, [this] {
      StatisticsPanel panel(state_, ShellStatisticsHooks(shell_));
      panel.Close();
      statistics_->hide();
    });
  }
  if (auto* count = statistics_->findChild<QLineEdit*>("statisticsCount"))
    count->setText(QString::fromStdString(state_.statistics.countText));
  statistics_->show();
  RefreshGraph();
}

// The on-line calibration group of the statistics panel, bound to the
// panel's model: each control acts through it and the group then shows
// what the model holds.
void MainWindow::BuildCalibrationGroup(QVBoxLayout* layout) {
  auto* group = new QGroupBox(
      QStringLiteral("On-line calibration - available for depth, pH, Oxyguard dissolved oxygen and turbidity"),
      statistics_);
  group->setObjectName("calibrationGroup");
  auto* grid = new QGridLayout(group);
  auto panel = [this] { return StatisticsPanel(state_, ShellStatisticsHooks(shell_)); };
  auto addRow = [&](int row, bool upper) {
    auto* transfer = new QPushButton(QStringLiteral("Transfer reading:"), group);
    transfer->setObjectName(upper ? "transferUpper" : "transferLower");
    auto* reading = new QLineEdit(group);
    reading->setObjectName(upper ? "upperReading" : "lowerReading");
    auto* label = new QLabel(QStringLiteral("for fixed-point value:"), group);
    auto* fixed = new QLineEdit(group);
    fixed->setObjectName(upper ? "upperFixed" : "lowerFixed");
    grid->addWidget(transfer, row, 0);
    grid->addWidget(reading, row, 1);
    grid->addWidget(label, row, 2);
    grid->addWidget(fixed, row, 3);
    connect(transfer, &QPushButton::clicked, this, [this, panel, upper] {
      panel().TransferReading(upper);
      ShowCalibrationGroup();
    });
    const int readingControl = upper ? statctl::kUpperReading : statctl::kLowerReading;
    const int fixedControl = upper ? statctl::kUpperFixed : statctl::kLowerFixed;
    connect(reading, &QLineEdit::textEdited, this, [this, panel, readingControl](const QString& t) {
      panel().EditField(readingControl, t.toStdString());
      ShowCalibrationGroup();
    });
    connect(fixed, &QLineEdit::textEdited, this, [this, panel, fixedControl](const QString& t) {
      panel().EditField(fixedControl, t.toStdString());
      ShowCalibrationGroup();
    });
  };
  addRow(0, false);
  addRow(1, true);
  auto* save = new QPushButton(QStringLiteral("Save fixed-point values for future use"), group);
  save->setObjectName("saveFixed");
  grid->addWidget(save, 2, 0, 1, 2);
  connect(save, &QPushButton::clicked, this, [this, panel] {
    panel().SaveFixedPoints();
    ShowCalibrationGroup();
  });
  auto* write = new QPushButton(QStringLiteral("Write calibration coefficients to logger"), group);
  write->setObjectName("writeCoefficients");
  grid->addWidget(write, 2, 2, 1, 2);
  connect(write, &QPushButton::clicked, this, [this, panel] {
    panel().WriteCoefficients();
    ShowCalibrationGroup();
  });
  auto* message = new QLabel(group);
  message->setObjectName("calibrationMessage");
  message->setWordWrap(true);
  grid->addWidget(message, 3, 0, 1, 4);
  layout->addWidget(group);
  auto* note = new QLabel(
      QStringLiteral("On-line calibration is available for a logger with a depth, pH, an Oxyguard O2 sensor or turbidity"),
      statistics_);
  note->setObjectName("calibrationNote");
  note->setWordWrap(true);
  layout->addWidget(note);
}

void MainWindow::ShowCalibrationGroup() {
  if (statistics_ == nullptr) return;
  const StatisticsPanelState& p = state_.statistics;
  auto* group = statistics_->findChild<QGroupBox*>("calibrationGroup");
  auto* note = statistics_->findChild<QLabel*>("calibrationNote");
  if (group == nullptr || note == nullptr) return;
  group->setVisible(p.calibrationGroupShown);
  note->setVisible(!p.calibrationGroupShown);
  auto field = [&](const char* name, const std::string& text, bool enabled) {
    auto* f = group->findChild<QLineEdit*>(QLatin1String(name));
    if (f == nullptr) return;
    // Never overwrite what the user is typing.
    if (!f->hasFocus() && f->text().toStdString() != text) f->setText(QString::fromStdString(text));
    f->setEnabled(enabled);
  };
  field("lowerReading", p.lowerReading, true);
  field("upperReading", p.upperReading, true);
  field("lowerFixed", p.lowerFixed, p.lowerFixedEnabled);
  field("upperFixed", p.upperFixed, p.upperFixedEnabled);
  for (const char* name : {"transferLower", "transferUpper"})
    if (auto* b = group->findChild<QPushButton*>(QLatin1String(name))) b->setEnabled(p.transferEnabled);
  if (auto* b = group->findChild<QPushButton*>("saveFixed")) b->setEnabled(p.saveEnabled);
  if (auto* b = group->findChild<QPushButton*>("writeCoefficients")) b->setEnabled(p.writeEnabled);
  if (auto* l = group->findChild<QLabel*>("calibrationMessage")) l->setText(QString::fromLatin1(p.message.c_str()));
}

void MainWindow::RegisterFaces() {
  RegisterDialogFaces(dialogs_, state_, this);
  RegisterRetrievalFaces(dialogs_, this);
  // The micro-salinometer panel exists from start-up, hidden; its command shows it.
  microSal_ = BuildMicroSalFace(*MicroSalinometerPanel(shell_), this);
  RegisterLiveFaces(dialogs_, this, microSal_);
}

bool MainWindow::Start() {
  if (StartShell(shell_, options_) == 0) return false;
  setWindowTitle(QString::fromStdString(state_.shell.windowTitle));
  const int copyIndex = copySlots_.CopyIndex();
  if (copyIndex > 0) {
    move(pos() + QPoint(copySlots_.WindowOffsetX(), copySlots_.WindowOffsetY()));
    qApp->installEventFilter(new DialogTitlePrefix(QString::fromStdString(copySlots_.TitlePrefix()), this));
  }
  return true;
}

void MainWindow::AfterShow() { FinishStartup(shell_); }

void MainWindow::ConnectSoon() {
  QTimer::singleShot(0, this, [this] { RunCommand(shell_, cmd::kConnect); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  inCloseEvent_ = true;
  const bool ends = state_.shell.exiting || ExitProgram(shell_);
  inCloseEvent_ = false;
  if (ends) {
    CloseModelessPanels();  // ExitProgram has, unless the window was told it is exiting
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tmv::qt
