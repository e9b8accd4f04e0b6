#include "LiveFaces.h"

#include <QCheckBox>
#include <QDialog>
#include <QDoubleValidator>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "FaceSupport.h"
#include "PanelDock.h"
#include "shell/DialogPresenter.h"
#include "shell/LiveCommands.h"
#include "shell/Shell.h"

namespace tmv::qt {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
// The model's texts are Latin-1 (the degree sign).
QString L(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// Wires a panel's hooks to its window. The panel may go first (it lets
// itself go on closing), so nothing touches it once `close` has run.
template <class Window, class Panel>
void Hook(Window* window, Panel& panel) {
  panel.changed = [self = QPointer<Window>(window)] {
    if (!self.isNull()) self->Refresh();
  };
  panel.close = [self = QPointer<Window>(window)] {
    if (self.isNull()) return;
    self->Detach();
    self->close();
  };
}

// ------------------------------------------------------------ live readings

class LiveReadingsWindow : public QDialog {
 public:
  LiveReadingsWindow(LiveReadingsPanel& panel, QWidget* parent) : QDialog(parent), panel_(&panel) {
    setObjectName("liveReadings");
    setWindowTitle(tr("Fetch live readings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    identity_ = new QLabel(this);
    identity_->setObjectName("identity");
    layout->addWidget(identity_);

    auto* row = new QHBoxLayout;
    channelLabel_ = new QLabel(tr("Channel:"), this);
    channel_ = new QSpinBox(this);
    channel_->setObjectName("channelSpinner");
    channel_->setWrapping(true);
    channel_->setMinimumWidth(channel_->fontMetrics().horizontalAdvance(QStringLiteral("24")) + 48);  // two digits and the arrows
    row->addWidget(channelLabel_);
    row->addWidget(channel_);
    rate_ = new QLabel(this);
    rate_->setObjectName("rate");
    row->addWidget(rate_);
    averagingLabel_ = new QLabel(tr("Averaging (HH:mm:ss):"), this);
    averaging_ = new QLineEdit(this);
    averaging_->setObjectName("averagingTime");
    averaging_->setText("00:00:00");
    // Room for the time however narrow the dock beside the graph is made.
    averaging_->setMinimumWidth(averaging_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 24);
    row->addWidget(averagingLabel_);
    row->addWidget(averaging_);
    row->addStretch(1);
    layout->addLayout(row);

    value_ = new QLabel(this);
    value_->setObjectName("value");
    QFont big = value_->font();
    big.setPointSize(big.pointSize() * 2);
    value_->setFont(big);
    layout->addWidget(value_);
    caption_ = new QLabel(this);
    caption_->setObjectName("channelCaption");
    layout->addWidget(caption_);
    lines_ = new QListWidget(this);
    lines_->setObjectName("lines");
    layout->addWidget(lines_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progressBar");
    progress_->setRange(0, 0);
    layout->addWidget(progress_);

    restart_ = new QCheckBox(tr("Restart logging on closing"), this);
    restart_->setObjectName("restartLogging");
    layout->addWidget(restart_);
    auto* buttons = new QHBoxLayout;
    freeze_ = new QPushButton(tr("Freeze"), this);
    freeze_->setObjectName("freezeButton");
    freeze_->setCheckable(true);
    range_ = new QPushButton(tr("Range switching"), this);
    range_->setObjectName("rangeSwitchingButton");
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    buttons->addWidget(freeze_);
    buttons->addWidget(range_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(channel_, &QSpinBox::valueChanged, this, [this](int v) {
      if (panel_ == nullptr || refreshing_ || v == panel_->dialog.channel) return;
      const int n = std::max(1, panel_->dialog.channelCount);
      int delta = v - panel_->dialog.channel;
      if (delta > n / 2) delta -= n;  // the spinner wrapped downwards
      if (delta < -n / 2) delta += n;
      panel_->StepChannel(delta);
    });
    connect(averaging_, &QLineEdit::editingFinished, this, [this] {
      if (panel_ != nullptr && !panel_->EnterAveraging(averaging_->text().toStdString()))
        averaging_->setStyleSheet("color: red");
      else
        averaging_->setStyleSheet(QString());
    });
    connect(freeze_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressFreeze();
    });
    connect(range_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressRangeSwitching();
    });
    connect(restart_, &QCheckBox::toggled, this, [this](bool on) {
      if (panel_ != nullptr) panel_->dialog.restartLogging = on;
    });
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
    NoButtonAnswersEnter(this);  // Enter in the averaging field presses nothing
    Hook(this, panel);
    Refresh();
  }

  void reject() override {
    if (panel_ != nullptr) {
      panel_->PressClose();  // closes this window through its hook
      return;
    }
    QDialog::reject();
  }
  void Detach() { panel_ = nullptr; }

  void Refresh() {
    if (panel_ == nullptr) return;
    const LiveReadingsDialog& d = panel_->dialog;
    refreshing_ = true;
    identity_->setText(Q(d.identity));
    channel_->setRange(1, std::max(1, d.channelCount));
    channel_->setValue(d.channel);
    channel_->setVisible(d.showChannelSpinner);
    channelLabel_->setVisible(d.showChannelSpinner);
    rate_->setText(Q(d.rateText));
    rate_->setVisible(d.highRate);
    averaging_->setVisible(d.highRate);
    averagingLabel_->setVisible(d.highRate);
    value_->setText(Q(d.valueText));
    caption_->setText(L(LiveChannelCaption(panel_->shell.state, d)));
    caption_->setVisible(d.lines.empty());  // engineering-units lines carry their own names
    if (lines_->count() != static_cast<int>(d.lines.size())) {
      lines_->clear();
      for (const auto& l : d.lines) lines_->addItem(Q(l));
      lines_->scrollToBottom();
    }
    lines_->setVisible(!d.lines.empty());
    progress_->setVisible(d.fetchUnderway);
    freeze_->setChecked(d.frozen);
    refreshing_ = false;
  }

 private:
  LiveReadingsPanel* panel_;
  bool refreshing_ = false;
  QLabel* identity_;
  QLabel* channelLabel_;
  QSpinBox* channel_;
  QLabel* rate_;
  QLabel* averagingLabel_;
  QLineEdit* averaging_;
  QLabel* value_;
  QLabel* caption_;
  QListWidget* lines_;
  QProgressBar* progress_;
  QCheckBox* restart_;
  QPushButton* freeze_;
  QPushButton* range_;
};

// ------------------------------------------------------------ micro-salinometer

// The panel's graph: the last 720 means of salinity, temperature, B and A,
// each scaled to its own range.
class MicroSalGraph : public QWidget {
 public:
  explicit MicroSalGraph(QWidget* parent) : QWidget(parent) {
    setObjectName("microSalGraph");
    setMinimumSize(360, 200);
  }
  void SetColumns(const std::array<std::vector<double>, 4>* columns) {
    columns_ = columns;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (columns_ == nullptr) return;
    const QColor colours[4] = {Qt::blue, Qt::red, Qt::darkGreen, Qt::darkMagenta};
    constexpr size_t kShown = 720;
    for (size_t c = 0; c < columns_->size(); ++c) {
      const auto& v = (*columns_)[c];
      if (v.size() < 2) continue;
      const size_t first = v.size() > kShown ? v.size() - kShown : 0;
      const auto [lo, hi] = std::minmax_element(v.begin() + static_cast<std::ptrdiff_t>(first), v.end());
      const bool flat = *hi - *lo <= 1e-12;  // a steady reading runs through the middle
      const double span = flat ? 1.0 : *hi - *lo;
      QPainterPath path;
      for (size_t i = first; i < v.size(); ++i) {
        const double x = width() * static_cast<double>(i - first) / static_cast<double>(kShown - 1);
        const double y = flat ? height() / 2.0 : height() - 4 - (height() - 8) * (v[i] - *lo) / span;
        if (i == first) path.moveTo(x, y);
        else path.lineTo(x, y);
      }
      p.setPen(colours[c]);
      p.drawPath(path);
    }
  }

 private:
  const std::array<std::vector<double>, 4>* columns_ = nullptr;
};

// Built hidden with the main window and kept for the program's lifetime:
// the command shows it, the panel's "Close" hides it again.
class MicroSalWindow : public QDialog {
 public:
  MicroSalWindow(MicroSalPanel& panel, QWidget* parent) : QDialog(parent), panel_(&panel) {
    setObjectName("microSalinometer");
    setModal(false);
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    outer->addLayout(left);

    auto* averagingRow = new QHBoxLayout;
    averagingRow->addWidget(new QLabel(tr("Averaged over:"), this));
    averaging_ = new QLineEdit(this);
    averaging_->setObjectName("averagedOver");
    averaging_->setValidator(new QIntValidator(0, 999, averaging_));
    averaging_->setMaximumWidth(averaging_->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    averagingRow->addWidget(averaging_);
    averagingRow->addWidget(new QLabel(tr("seconds"), this));
    averagingRow->addStretch(1);
    left->addLayout(averagingRow);

    text_ = new QLabel(this);
    text_->setObjectName("information");
    text_->setTextFormat(Qt::PlainText);
    left->addWidget(text_);
    salinity_ = new QLabel(this);
    salinity_->setObjectName("salinity");
    QFont big = salinity_->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    salinity_->setFont(big);
    // Room for the reading from the start, so the window keeps the size it
    // was placed with when the first salinity comes.
    salinity_->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("Sample salinity (PSS-78): 00.0000")));
    left->addWidget(salinity_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progressBar");
    progress_->setRange(0, 100);
    left->addWidget(progress_);
    graph_ = new MicroSalGraph(this);
    left->addWidget(graph_, 1);

    auto* fileRow = new QHBoxLayout;
    openClose_ = new QPushButton(this);
    openClose_->setObjectName("openCloseButton");
    information_ = new QLineEdit(this);
    information_->setObjectName("sampleInformation");
    information_->setMaxLength(31);
    information_->setPlaceholderText(tr("Sample information"));
    saveNow_ = new QPushButton(tr("Save now"), this);
    saveNow_->setObjectName("saveNowButton");
    fileRow->addWidget(openClose_);
    fileRow->addWidget(information_, 1);
    fileRow->addWidget(saveNow_);
    left->addLayout(fileRow);

    auto* buttons = new QHBoxLayout;
    more_ = new QPushButton(this);
    more_->setObjectName("moreInformationButton");
    standardise_ = new QPushButton(this);
    standardise_->setObjectName("standardiseButton");
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    buttons->addWidget(more_);
    buttons->addWidget(standardise_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    left->addLayout(buttons);

    // The standardisation part, shown by "Standardise>>".
    standardisation_ = new QWidget(this);
    standardisation_->setObjectName("standardisation");
    auto* grid = new QGridLayout(standardisation_);
    grid->addWidget(new QLabel(tr("Standard Seawater Batch"), standardisation_), 0, 0);
    batch_ = new QLineEdit(standardisation_);
    batch_->setObjectName("batch");
    batch_->setMaxLength(8);
    grid->addWidget(batch_, 0, 1);
    grid->addWidget(new QLabel(tr("K15"), standardisation_), 1, 0);
    k15_ = Number("k15");
    grid->addWidget(k15_, 1, 1);
    const char* names[4] = {"Vstandard(0)", "Vsample(0)", "Vstandard(1)", "Vsample(1)"};
    for (int i = 0; i < 4; ++i) {
      grid->addWidget(new QLabel(QString::fromLatin1(names[i]), standardisation_), 2 + i, 0);
      voltage_[i] = Number(QStringLiteral("voltage%1").arg(i).toLatin1().constData());
      grid->addWidget(voltage_[i], 2 + i, 1);
      connect(voltage_[i], &QLineEdit::editingFinished, this, [this, i] {
        if (panel_ != nullptr) panel_->SetVoltage(i, voltage_[i]->text().toDouble());
      });
    }
    // Capture buttons: Vstandard(0), Vsample(0), then both (1) values together.
    const int captureRows[3] = {2, 3, 4};
    for (int b = 0; b < 3; ++b) {
      auto* capture = new QPushButton(tr("Capture"), standardisation_);
      capture->setObjectName(QStringLiteral("capture%1").arg(b));
      grid->addWidget(capture, captureRows[b], 2, b == 2 ? 2 : 1, 1);
      connect(capture, &QPushButton::clicked, this, [this, b] {
        if (panel_ != nullptr) panel_->PressCapture(b);
      });
    }
    grid->addWidget(new QLabel(tr("Alpha"), standardisation_), 6, 0);
    alpha_ = new QLabel(standardisation_);
    alpha_->setObjectName("alpha");
    grid->addWidget(alpha_, 6, 1);
    auto* accept = new QPushButton(tr("Accept New Values"), standardisation_);
    accept->setObjectName("acceptButton");
    grid->addWidget(accept, 7, 0, 1, 3);
    outer->addWidget(standardisation_);

    connect(averaging_, &QLineEdit::editingFinished, this, [this] {
      if (panel_ != nullptr) panel_->SetAveraging(averaging_->text().toInt());
    });
    connect(k15_, &QLineEdit::editingFinished, this, [this] {
      if (panel_ != nullptr) panel_->SetK15(k15_->text().toDouble());
    });
    connect(batch_, &QLineEdit::editingFinished, this, [this] {
      if (panel_ != nullptr) panel_->SetBatch(batch_->text().toStdString());
    });
    connect(accept, &QPushButton::clicked, this, [this] {
      if (panel_ == nullptr) return;
      panel_->SetBatch(batch_->text().toStdString());
      panel_->PressAccept();
    });
    connect(openClose_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressOpenOrClose();
    });
    connect(saveNow_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressSaveNow(information_->text().toStdString());
    });
    connect(more_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressMoreInformation();
    });
    connect(standardise_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressStandardise();
    });
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
    // "Accept New Values" writes the instrument's calibration, "Close" stops it.
    NoButtonAnswersEnter(this);
    Attach(panel);
  }

  // Binds the window to the panel; the panel's `close` only hides it.
  void Attach(MicroSalPanel& panel) {
    panel_ = &panel;
    panel.changed = [self = QPointer<MicroSalWindow>(this)] {
      if (!self.isNull()) self->Refresh();
    };
    panel.close = [self = QPointer<MicroSalWindow>(this)] {
      if (!self.isNull()) self->QDialog::reject();
    };
    Refresh();
  }

  // Escape, the close box and "Close" all stop the instrument through the
  // panel, which then hides this window through its hook.
  void reject() override {
    if (panel_ != nullptr && !panel_->closed) {
      panel_->PressClose();
      return;
    }
    QDialog::reject();
  }
  // The panel is going: nothing here may reach it any more.
  void Detach() {
    if (panel_ != nullptr) {
      panel_->changed = nullptr;
      panel_->close = nullptr;
    }
    panel_ = nullptr;
    graph_->SetColumns(nullptr);
  }

  void Refresh() {
    if (panel_ == nullptr) return;
    const MicroSalState& m = panel_->m;
    setWindowTitle(Q(m.title));
    if (!averaging_->hasFocus()) averaging_->setText(QString::number(m.averagingSeconds));
    text_->setText(L(m.text));
    salinity_->setText(Q(m.salinityText));
    progress_->setValue(m.progress);
    progress_->setVisible(m.setupPending);
    openClose_->setText(m.captureFile.empty() ? tr("Open") : tr("Close"));
    saveNow_->setEnabled(!m.captureFile.empty());
    more_->setText(m.moreInformation ? tr("<< Default information") : tr("More information >>"));
    standardise_->setText(m.standardiseShown ? tr("<<Hide") : tr("Standardise>>"));
    standardisation_->setVisible(m.standardiseShown);
    if (m.standardiseShown) {
      if (!batch_->hasFocus()) batch_->setText(Q(m.batch));
      if (!k15_->hasFocus()) k15_->setText(QString::asprintf("%.5f", m.k15));
      const double v[4] = {m.vStandard0, m.vSample0, m.vStandard1, m.vSample1};
      for (int i = 0; i < 4; ++i)
        if (!voltage_[i]->hasFocus()) voltage_[i]->setText(QString::asprintf("%.7f", v[i]));
      alpha_->setText(QString::asprintf("%.7f", m.alpha));
    }
    graph_->SetColumns(&m.graph);
  }

 private:
  QLineEdit* Number(const char* name) {
    auto* edit = new QLineEdit(standardisation_);
    edit->setObjectName(name);
    edit->setValidator(new QDoubleValidator(edit));
    return edit;
  }

  MicroSalPanel* panel_;
  QLineEdit* averaging_;
  QLabel* text_;
  QLabel* salinity_;
  QProgressBar* progress_;
  MicroSalGraph* graph_;
  QPushButton* openClose_;
  QLineEdit* information_;
  QPushButton* saveNow_;
  QPushButton* more_;
  QPushButton* standardise_;
  QWidget* standardisation_;
  QLineEdit* batch_;
  QLineEdit* k15_;
  QLineEdit* voltage_[4];
  QLabel* alpha_;
};

}  // namespace

int ShowLiveReadingsFace(LiveReadingsPanel& panel, QWidget* parent) {
  auto* window = new LiveReadingsWindow(panel, parent);
  // Beside the graph, where the user last put it.
  if (auto* main = qobject_cast<QMainWindow*>(parent)) DockPanel(main, window, QStringLiteral("liveReadingsDock"), Qt::RightDockWidgetArea);
  window->show();
  window->raise();
  window->activateWindow();
  return 1;
}

QDialog* BuildMicroSalFace(MicroSalPanel& panel, QWidget* parent) {
  auto* window = new MicroSalWindow(panel, parent);
  if (auto* main = qobject_cast<QMainWindow*>(parent))
    DockPanel(main, window, QStringLiteral("microSalinometerDock"), Qt::RightDockWidgetArea);
  return window;
}

void DetachMicroSalFace(QDialog* face) {
  if (auto* window = dynamic_cast<MicroSalWindow*>(face)) window->Detach();
}

void RegisterLiveFaces(DialogPresenter& presenter, QWidget* parent, QDialog* microSalFace) {
  presenter.Register<LiveReadingsPanel>([parent](LiveReadingsPanel& p) { return ShowLiveReadingsFace(p, parent); });
  presenter.Register<MicroSalPanel>([face = QPointer<QDialog>(microSalFace)](MicroSalPanel& p) {
    auto* window = dynamic_cast<MicroSalWindow*>(face.data());
    if (window == nullptr) return DialogPresenter::kNoFace;
    window->Attach(p);
    window->show();
    window->raise();
    window->activateWindow();
    return 1;
  });
}

}  // namespace tmv::qt
