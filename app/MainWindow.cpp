#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "DialogFaces.h"
#include "RetrievalFaces.h"
#include "StatusLine.h"
#include "shell/CommandIds.h"

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
  BuildWindow();
  RegisterFaces();
  // Another logger's data windows go when a new logger is identified.
  state_.hooks.hideDataWindows = [this] { SetDataControlsVisible(false); };
}

MainWindow::~MainWindow() {
  // The ports are closed even when the window goes without ExitProgram.
  if (timer_) timer_->StopPollTimer();
  if (state_.loggerLink.port) state_.loggerLink.port->Close();
  if (state_.gpsLink.port) state_.gpsLink.port->Close();
}

void MainWindow::BuildWindow() {
  ui_.SetWindow(this);
  ui_.BuildMenus(this, [this](int command) { RunCommand(shell_, command); });

  auto* central = new QWidget(this);
  central->setObjectName("mainClient");
  setCentralWidget(central);

  auto* graph = new QFrame(central);
  graph->setObjectName("graphArea");
  graph->setFrameStyle(QFrame::Box | QFrame::Plain);
  graph->setAutoFillBackground(true);
  QPalette palette = graph->palette();
  palette.setColor(QPalette::Window, Qt::white);
  graph->setPalette(palette);
  graph->setGeometry(160, 20, layout_.graphWidth, 250);
  graph_ = graph;
  // Until the graph draws the data, its area says what there is.
  auto* summary = new DataSummaryLabel(shell_, graph);
  shell_.redrawGraph = [summary] { summary->Refresh(); };

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
  addView(new QSpinBox(central), "upDown", 20, 60, 60, 24);
  SetDataControlsVisible(false);

  const int clientHeight = 2 * 24 + 365 + 12;
  central->setMinimumSize(160 + layout_.graphWidth + 20, clientHeight);

  status_ = new StatusLine(layout_.dpiScale, this);
  setStatusBar(status_);
  ui_.SetStatusLine(status_);

  resize(std::max(layout_.usableWidth, central->minimumWidth()), clientHeight + 60);
}

void MainWindow::SetDataControlsVisible(bool visible) {
  for (auto* b : channelButtons_) b->setVisible(visible);
  for (auto* w : viewControls_) w->setVisible(visible);
}

void MainWindow::RegisterFaces() {
  RegisterDialogFaces(dialogs_, state_, this);
  RegisterRetrievalFaces(dialogs_, this);
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
  if (ends)
    event->accept();
  else
    event->ignore();
}

}  // namespace tmv::qt
