#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QTextBrowser>
#include <QUrl>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "DialogFaces.h"
#include "FaceSupport.h"
#include "PanelDock.h"
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
#include "TideFace.h"
#include "shell/CommandIds.h"
#include "shell/LiveCommands.h"
#include "shell/Manual.h"

// The manual built into the program (the library's resources start with the window).
static void InitManualResource() { Q_INIT_RESOURCE(manual); }

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
  InitManualResource();
  BuildWindow();
  BuildFirstSteps();
  RegisterFaces();
  shell_.showManual = [this] { ShowManualWindow(); };
  ui_.connectionChanged = [this] { ShowFirstSteps(); };
  setAcceptDrops(true);
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
  std::vector<QPointer<QWidget>> panels;
  for (QDialog* panel : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) panels.emplace_back(panel);
  // The docked panels go with their docks.
  for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) panels.emplace_back(dock);
  for (const QPointer<QWidget>& panel : panels) delete panel.data();
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

  // The graph fills the window's central area and follows its size.
  graphArea_ = new GraphArea(shell_, this);
  setCentralWidget(graphArea_);
  central_ = graphArea_;
  graphWidget_ = graphArea_->graphWidget();
  graph_ = graphWidget_->plotArea();
  hBar_ = graphWidget_->horizontalBar();
  vBar_ = graphWidget_->verticalBar();
  channelButtons_ = graphArea_->channelButtons();
  graphArea_->viewChanged = [this] { RefreshGraph(); };
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
  state_.analysis.showDepthPlot = [this](bool show) { graphArea_->SetDepthAvailable(show); };
  state_.analysis.postCommand = [this](int command) {
    QTimer::singleShot(0, this, [this, command] { RunCommand(shell_, command); });
  };

  status_ = new StatusLine(layout_.dpiScale, this);
  setStatusBar(status_);
  ui_.SetStatusLine(status_);

  resize(std::max(layout_.usableWidth, 800), 600);
}

void MainWindow::BuildFirstSteps() {
  firstSteps_ = new QLabel(graph_);
  firstSteps_->setObjectName("firstSteps");
  firstSteps_->setTextFormat(Qt::PlainText);
  firstSteps_->setWordWrap(true);
  firstSteps_->setAlignment(Qt::AlignCenter);
  firstSteps_->setMargin(16);
  // Clicks and drops reach the graph and the window beneath.
  firstSteps_->setAttribute(Qt::WA_TransparentForMouseEvents);
  firstSteps_->setStyleSheet(QStringLiteral("color: #404040;"));
  // It covers the graph wherever the graph goes.
  graph_->installEventFilter(this);
  firstSteps_->setGeometry(graph_->rect());
  ShowFirstSteps();
}

void MainWindow::ShowFirstSteps() {
  if (firstSteps_ == nullptr) return;
  const bool empty = !state_.graph.hasData;
  if (empty) firstSteps_->setText(QString::fromStdString(FirstStepsText(state_.logger.connected)));
  firstSteps_->setVisible(empty);
  if (empty) firstSteps_->raise();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == graph_ && firstSteps_ != nullptr && event->type() == QEvent::Resize)
    firstSteps_->setGeometry(graph_->rect());
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowManualWindow() {
  if (manual_ == nullptr) {
    manual_ = new QDialog(this);
    manual_->setObjectName("manualWindow");
    manual_->setWindowTitle(QStringLiteral("TMV Data Loggers - Manual"));
    manual_->setModal(false);
    auto* layout = new QVBoxLayout(manual_);
    auto* text = new QTextBrowser(manual_);
    text->setObjectName("manualText");
    text->setOpenExternalLinks(true);
    QFile readme(QStringLiteral(":/manual/README.md"));
    const QByteArray bytes = readme.open(QIODevice::ReadOnly) ? readme.readAll() : QByteArray();
    const std::string manual = UserManual(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (manual.empty())
      text->setPlainText(QStringLiteral("The manual is not in this build of the program."));
    else
      text->setMarkdown(QString::fromStdString(manual));
    layout->addWidget(text);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, manual_);
    connect(close, &QDialogButtonBox::rejected, manual_, &QDialog::hide);
    layout->addWidget(close);
    manual_->resize(760, 560);
  }
  manual_->show();
  manual_->raise();
  manual_->activateWindow();
}

void MainWindow::RestoreWindowState() {
  QSettings settings;
  restoreGeometry(settings.value(QStringLiteral("mainWindow/geometry")).toByteArray());
  restoreState(settings.value(QStringLiteral("mainWindow/state")).toByteArray());
}

void MainWindow::SaveWindowState() {
  // The first copy's window is the one remembered; later copies sit offset from it.
  if (copySlots_.CopyIndex() > 0) return;
  QSettings settings;
  settings.setValue(QStringLiteral("mainWindow/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("mainWindow/state"), saveState());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  const std::string path = urls.front().toLocalFile().toStdString();
  // After the drop has ended: the questions of the read may be modal.
  QTimer::singleShot(0, this, [this, path] {
    if (ui_.Action(cmd::kOpenDataFile) != nullptr && !ui_.Action(cmd::kOpenDataFile)->isEnabled()) return;
    OpenGivenDataFile(shell_, path);
  });
}

void MainWindow::SetDataControlsVisible(bool visible) { graphArea_->SetDataControlsVisible(visible); }

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
  graphArea_->Refresh();
  ShowFirstSteps();
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
    // "Close", Escape and the dock's close box end the panel alike.
    connect(close, &QPushButton::clicked, statistics_, &QDialog::reject);
    connect(statistics_, &QDialog::rejected, this, [this] {
      StatisticsPanel panel(state_, ShellStatisticsHooks(shell_));
      panel.Close();
      RefreshGraph();
    });
    // "Write calibration coefficients to logger" must be clicked, never entered.
    NoButtonAnswersEnter(statistics_);
    DockPanel(this, statistics_, QStringLiteral("statisticsDock"), Qt::RightDockWidgetArea);
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
  RegisterTideFace(dialogs_, state_, this);
}

bool MainWindow::Start() {
  if (StartShell(shell_, options_) == 0) return false;
  setWindowTitle(QString::fromStdString(state_.shell.windowTitle));
  RestoreWindowState();
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
    SaveWindowState();
    CloseModelessPanels();  // ExitProgram has, unless the window was told it is exiting
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tmv::qt
