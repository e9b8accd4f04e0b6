#include "SetupFaces.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "FaceSupport.h"
#include "deployment/SetupSimulation.h"
#include "model/ChannelTypes.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"
#include "shell/SetupCommand.h"

namespace tmv::qt {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QDateTime ToQt(const LoggerTime& t) {
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

LoggerTime FromQt(const QDateTime& q) {
  LoggerTime t;
  t.year = static_cast<uint16_t>(q.date().year());
  t.month = static_cast<uint16_t>(q.date().month());
  t.day = static_cast<uint16_t>(q.date().day());
  t.hour = static_cast<uint16_t>(q.time().hour());
  t.minute = static_cast<uint16_t>(q.time().minute());
  t.second = static_cast<uint16_t>(q.time().second());
  return t;
}

// "HH:mm:ss" text of the models into a time field and back; 24:00:00 (a
// whole day) shows as 00:00:00, which the models read as a day again.
QTime ClockTime(const std::string& text) {
  int h = 0, m = 0, s = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return QTime(0, 0, 0);
  return QTime(h % 24, m % 60, s % 60);
}
std::string ClockText(const QTime& t) { return t.toString(QStringLiteral("HH:mm:ss")).toStdString(); }

QLineEdit* ReadOnlyField(QWidget* parent, const char* name, int minimumChars = 22) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(true);
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * minimumChars + 16);
  return field;
}

// One radio button per choice, numbered in the group by their order.
std::vector<QRadioButton*> RadioChoices(QWidget* parent, QBoxLayout* layout, const std::vector<std::string>& labels,
                                        const char* name, QButtonGroup& group) {
  std::vector<QRadioButton*> radios;
  for (size_t i = 0; i < labels.size(); ++i) {
    auto* radio = new QRadioButton(Q(labels[i]), parent);
    radio->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
    group.addButton(radio, static_cast<int>(i));
    layout->addWidget(radio);
    radios.push_back(radio);
  }
  return radios;
}

QTimeEdit* ClockField(QWidget* parent, const char* name) {
  auto* field = new QTimeEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 48);
  return field;
}

QDateTimeEdit* DateTimeField(QWidget* parent, const char* name) {
  auto* field = new QDateTimeEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setDisplayFormat(QStringLiteral("yyyy/MM/dd  HH:mm:ss"));
  field->setCalendarPopup(true);
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00  00:00:00")) + 56);
  return field;
}

// The message area: the icon beside a text that may run to several lines.
struct MessageView {
  QLabel* icon = nullptr;
  QLabel* text = nullptr;

  void Build(QWidget* parent, QBoxLayout* into) {
    auto* row = new QHBoxLayout;
    icon = new QLabel(parent);
    icon->setObjectName(QStringLiteral("messageIcon"));
    icon->setFixedSize(36, 36);
    text = new QLabel(parent);
    text->setObjectName(QStringLiteral("messageText"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setMinimumHeight(text->fontMetrics().lineSpacing() * 6 + 12);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setFrameShape(QFrame::StyledPanel);
    text->setMargin(4);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    into->addLayout(row);
  }
  void Show(const MessageArea& area) {
    QString shown = Q(ShownMessageText(area.text));
    shown.replace(QLatin1Char('\t'), QStringLiteral("    "));
    text->setText(shown);
    QStyle::StandardPixmap pixmap = QStyle::SP_CustomBase;
    switch (area.icon) {
      case MessageIcon::Information: pixmap = QStyle::SP_MessageBoxInformation; break;
      case MessageIcon::Exclamation: pixmap = QStyle::SP_MessageBoxWarning; break;
      case MessageIcon::Stop: pixmap = QStyle::SP_MessageBoxCritical; break;
      case MessageIcon::Question: pixmap = QStyle::SP_MessageBoxQuestion; break;
      case MessageIcon::None: break;
    }
    icon->setProperty("iconKind", static_cast<int>(area.icon));
    if (pixmap == QStyle::SP_CustomBase)
      icon->clear();
    else
      icon->setPixmap(icon->style()->standardIcon(pixmap).pixmap(32, 32));
  }
};

// Keeps a field's own signals from reaching the model while the face writes
// the model's value into it.
template <class W, class V>
void SetQuietly(W* w, void (W::*setter)(V), V value) {
  const bool blocked = w->blockSignals(true);
  (w->*setter)(value);
  w->blockSignals(blocked);
}

// The start and end rows with "Now", shared by the picker and the tide-and-wave dialog.
struct StartEndView {
  QCheckBox* now = nullptr;
  QLabel* startCaption = nullptr;
  QDateTimeEdit* start = nullptr;
  QDateTimeEdit* end = nullptr;

  void Build(QWidget* parent, QGridLayout* grid, int row) {
    now = new QCheckBox(QStringLiteral("Now"), parent);
    now->setObjectName(QStringLiteral("nowBox"));
    startCaption = new QLabel(parent);
    start = DateTimeField(parent, "startField");
    end = DateTimeField(parent, "endField");
    grid->addWidget(startCaption, row, 0);
    grid->addWidget(start, row, 1);
    grid->addWidget(now, row, 2);
    grid->addWidget(new QLabel(QStringLiteral("End time"), parent), row + 1, 0);
    grid->addWidget(end, row + 1, 1);
  }
  void Show(const StartEndFields& f) {
    startCaption->setText(Q(f.startCaption));
    SetQuietly<QAbstractButton, bool>(now, &QAbstractButton::setChecked, f.now);
    SetQuietly<QDateTimeEdit, const QDateTime&>(start, &QDateTimeEdit::setDateTime, ToQt(f.start));
    SetQuietly<QDateTimeEdit, const QDateTime&>(end, &QDateTimeEdit::setDateTime, ToQt(f.end));
    start->setVisible(f.startVisible);
  }
  void Connect(QDialog* dialog, StartEndFields& f, AppState& state, SetupPanel& panel, std::function<void()> after) {
    QObject::connect(now, &QCheckBox::toggled, dialog, [&f, &state, &panel, after](bool on) {
      f.SetNow(state, panel, on);
      after();
    });
    QObject::connect(start, &QDateTimeEdit::dateTimeChanged, dialog, [&f, &state, &panel, after](const QDateTime& v) {
      f.ChangeStart(state, panel, FromQt(v));
      after();
    });
    QObject::connect(end, &QDateTimeEdit::dateTimeChanged, dialog, [&f, &state, &panel, after](const QDateTime& v) {
      f.ChangeEnd(state, panel, FromQt(v));
      after();
    });
  }
};

QHBoxLayout* AcceptDiscardRow(QDialog* dialog, QPushButton*& accept, QPushButton*& discard) {
  auto* row = new QHBoxLayout;
  accept = new QPushButton(QStringLiteral("Accept"), dialog);
  accept->setObjectName(QStringLiteral("acceptButton"));
  accept->setDefault(true);
  discard = new QPushButton(QStringLiteral("Discard"), dialog);
  discard->setObjectName(QStringLiteral("discardButton"));
  discard->setAutoDefault(false);  // Enter keeps what was entered
  row->addStretch();
  row->addWidget(accept);
  row->addWidget(discard);
  return row;
}

// A dialog that Escape or the window's close button cannot shut while its
// work must run on (the erase: the logger is left half-programmed otherwise).
class GuardedDialog : public QDialog {
 public:
  using QDialog::QDialog;
  std::function<bool()> mayClose;
  void reject() override {
    if (!mayClose || mayClose()) QDialog::reject();
  }
};

}  // namespace

int RunSetupFace(SetupSession& session, QWidget* parent) {
  SetupDialog& model = session.dialog;
  GuardedDialog dialog(parent);
  dialog.mayClose = [&session] { return !session.Busy(); };
  dialog.setObjectName(QStringLiteral("setupDialog"));
  dialog.setWindowTitle(session.simulation() ? QStringLiteral("TMV Logger Setup - Simulation")
                                             : QStringLiteral("TMV Logger Setup"));
  auto* layout = new QVBoxLayout(&dialog);

  auto* clocks = new QGroupBox(QStringLiteral("Logger"), &dialog);
  auto* clockGrid = new QGridLayout(clocks);
  QLineEdit* status = ReadOnlyField(&dialog, "statusField");
  QLineEdit* host = ReadOnlyField(&dialog, "hostTimeField");
  QLineEdit* logger = ReadOnlyField(&dialog, "loggerTimeField");
  QLineEdit* memory = ReadOnlyField(&dialog, "memoryUsageField");
  auto* sync = new QPushButton(QStringLiteral("Sync to PC"), &dialog);
  sync->setObjectName(QStringLiteral("syncButton"));
  clockGrid->addWidget(new QLabel(QStringLiteral("Logger status"), &dialog), 0, 0);
  clockGrid->addWidget(status, 0, 1);
  clockGrid->addWidget(new QLabel(QStringLiteral("Host time and date"), &dialog), 1, 0);
  clockGrid->addWidget(host, 1, 1);
  clockGrid->addWidget(new QLabel(QStringLiteral("Logger time and date"), &dialog), 2, 0);
  clockGrid->addWidget(logger, 2, 1);
  clockGrid->addWidget(sync, 2, 2);
  clockGrid->addWidget(new QLabel(QStringLiteral("Memory usage"), &dialog), 3, 0);
  clockGrid->addWidget(memory, 3, 1);
  layout->addWidget(clocks);

  auto* schedule = new QGroupBox(QStringLiteral("Deployment"), &dialog);
  auto* grid = new QGridLayout(schedule);
  auto* startButton = new QPushButton(QStringLiteral("Start date and time"), &dialog);
  startButton->setObjectName(QStringLiteral("startButton"));
  auto* endButton = new QPushButton(QStringLiteral("End date and time"), &dialog);
  endButton->setObjectName(QStringLiteral("endButton"));
  auto* periodButton = new QPushButton(&dialog);
  periodButton->setObjectName(QStringLiteral("periodButton"));
  auto* averagingButton = new QPushButton(&dialog);
  averagingButton->setObjectName(QStringLiteral("averagingButton"));
  auto* rateButton = new QPushButton(&dialog);
  rateButton->setObjectName(QStringLiteral("rateButton"));
  auto* waveButton = new QPushButton(&dialog);
  waveButton->setObjectName(QStringLiteral("waveButton"));
  QLineEdit* start = ReadOnlyField(&dialog, "startField");
  QLineEdit* end = ReadOnlyField(&dialog, "endField");
  QLineEdit* period = ReadOnlyField(&dialog, "periodField");
  QLineEdit* averaging = ReadOnlyField(&dialog, "averagingField");
  QLineEdit* rate = ReadOnlyField(&dialog, "rateField");
  QLineEdit* wave = ReadOnlyField(&dialog, "waveField", 30);
  const std::pair<QPushButton*, QLineEdit*> rows[] = {{startButton, start},   {endButton, end},
                                                      {periodButton, period}, {averagingButton, averaging},
                                                      {rateButton, rate},     {waveButton, wave}};
  int r = 0;
  for (const auto& [button, field] : rows) {
    grid->addWidget(button, r, 0);
    grid->addWidget(field, r, 1);
    ++r;
  }
  auto* startMode = new QComboBox(&dialog);
  startMode->setObjectName(QStringLiteral("startModeList"));
  grid->addWidget(new QLabel(QStringLiteral("Start mode"), &dialog), r, 0);
  grid->addWidget(startMode, r, 1);
  ++r;
  auto* thresholdButton = new QPushButton(&dialog);
  thresholdButton->setObjectName(QStringLiteral("thresholdButton"));
  grid->addWidget(thresholdButton, r, 0, 1, 2);
  ++r;
  auto* realTimeLabel = new QLabel(QStringLiteral("Real-time Display"), &dialog);
  auto* realTime = new QComboBox(&dialog);
  realTime->setObjectName(QStringLiteral("realTimeList"));
  grid->addWidget(realTimeLabel, r, 0);
  grid->addWidget(realTime, r, 1);
  ++r;
  auto* autorun = new QCheckBox(QStringLiteral("Autorun on power up"), &dialog);
  autorun->setObjectName(QStringLiteral("autorunBox"));
  auto* led = new QCheckBox(QStringLiteral("Sampling LED enabled"), &dialog);
  led->setObjectName(QStringLiteral("ledBox"));
  grid->addWidget(autorun, r, 0);
  grid->addWidget(led, r, 1);
  layout->addWidget(schedule);

  MessageView message;
  message.Build(&dialog, layout);
  auto* bandwidth = new QLabel(&dialog);
  bandwidth->setObjectName(QStringLiteral("bandwidthText"));
  bandwidth->setWordWrap(true);
  layout->addWidget(bandwidth);
  auto* progress = new QProgressBar(&dialog);
  progress->setObjectName(QStringLiteral("eraseProgress"));
  progress->setRange(0, 100);
  layout->addWidget(progress);

  auto* buttons = new QHBoxLayout;
  auto* batch = new QPushButton(QStringLiteral("Accept batch values"), &dialog);
  batch->setObjectName(QStringLiteral("batchButton"));
  auto* enable = new QPushButton(&dialog);
  enable->setObjectName(QStringLiteral("enableButton"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  buttons->addWidget(batch);
  buttons->addStretch();
  buttons->addWidget(enable);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  // "Enable logging" erases, "STOP logger" ends a deployment, "Cancel"
  // drops what was set up: Enter presses none of them.
  NoButtonAnswersEnter(&dialog);

  QTimer erase;
  erase.setInterval(1000);

  auto refresh = [&] {
    const bool busy = session.Busy();
    const bool tideWave = model.panel.tideWaveLayout;
    status->setText(Q(model.loggerStatusText));
    host->setText(Q(model.hostTimeText));
    logger->setText(Q(model.loggerTimeText));
    memory->setText(Q(model.memoryUsageText));
    start->setText(Q(model.startText));
    end->setText(Q(model.endText));
    period->setText(Q(model.periodText));
    periodButton->setText(Q(model.periodCaption));
    averaging->setText(Q(model.averagingText));
    averagingButton->setText(Q(model.averagingCaption));
    averagingButton->setEnabled(tideWave);  // only the tide-and-wave layout edits averaging from here
    rateButton->setText(Q(model.rateCaption));
    rate->setText(Q(model.rateText));
    waveButton->setText(Q(model.waveCaption));
    wave->setText(Q(model.waveText));
    for (QWidget* w : {static_cast<QWidget*>(rateButton), static_cast<QWidget*>(rate),
                       static_cast<QWidget*>(waveButton), static_cast<QWidget*>(wave)})
      w->setVisible(tideWave);
    const bool editable = !busy && !model.updatesSuspended;
    for (QPushButton* b : {startButton, endButton, periodButton, rateButton, waveButton}) b->setEnabled(editable);
    if (!editable) averagingButton->setEnabled(false);
    {
      const bool blocked = startMode->blockSignals(true);
      startMode->clear();
      for (const auto& e : model.startList) startMode->addItem(Q(e));
      startMode->setCurrentIndex(model.startSelection);
      startMode->setEnabled(editable);
      startMode->blockSignals(blocked);
    }
    thresholdButton->setVisible(model.thresholdButtonVisible);
    thresholdButton->setText(Q(model.thresholdButtonText));
    thresholdButton->setEnabled(editable);
    realTimeLabel->setVisible(model.realTimeVisible);
    realTime->setVisible(model.realTimeVisible);
    {
      const bool blocked = realTime->blockSignals(true);
      realTime->clear();
      for (const auto& e : model.realTimeList) realTime->addItem(Q(e));
      realTime->setCurrentIndex(model.realTimeSelection);
      realTime->setEnabled(editable);
      realTime->blockSignals(blocked);
    }
    autorun->setVisible(model.autorunVisible);
    SetQuietly<QAbstractButton, bool>(autorun, &QAbstractButton::setChecked, model.autorunChecked);
    led->setVisible(model.ledVisible);
    SetQuietly<QAbstractButton, bool>(led, &QAbstractButton::setChecked, model.ledChecked);
    message.Show(model.panel.message);
    bandwidth->setText(Q(model.panel.bandwidthText));
    bandwidth->setVisible(!model.panel.bandwidthText.empty());
    progress->setVisible(busy);
    progress->setValue(session.ProgressPercent());
    sync->setEnabled(session.SyncAllowed());
    batch->setEnabled(model.batchButtonEnabled && !busy);
    enable->setText(Q(model.enableButtonText));
    enable->setEnabled(model.enableButtonEnabled);
    // From the start of the erase until the outcome.
    enable->setVisible(!busy);
    cancel->setVisible(!busy);
  };
  // After every handler: the model may have closed the dialog or begun the erase.
  auto after = [&] {
    if (session.closed) {
      erase.stop();
      dialog.done(session.rerun ? 2 : 1);
      return;
    }
    if (session.Erasing() && !erase.isActive()) erase.start();
    refresh();
  };

  for (QPushButton* b : {startButton, endButton, periodButton, averagingButton, rateButton, waveButton})
    QObject::connect(b, &QPushButton::clicked, &dialog, [&] {
      session.OpenPicker();
      after();
    });
  QObject::connect(thresholdButton, &QPushButton::clicked, &dialog, [&] {
    session.OpenThresholding();
    after();
  });
  QObject::connect(startMode, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int i) {
    if (i < 0) return;
    session.ChooseStart(i);
    after();
  });
  QObject::connect(realTime, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int i) {
    if (i < 0) return;
    session.ChooseRealTime(i);
    after();
  });
  QObject::connect(autorun, &QCheckBox::toggled, &dialog, [&](bool on) { session.SetAutorun(on); });
  QObject::connect(led, &QCheckBox::toggled, &dialog, [&](bool on) { session.SetSamplingLed(on); });
  QObject::connect(sync, &QPushButton::clicked, &dialog, [&] {
    session.SyncToPc();
    after();
  });
  QObject::connect(batch, &QPushButton::clicked, &dialog, [&] {
    session.AcceptBatchValues();
    after();
  });
  QObject::connect(enable, &QPushButton::clicked, &dialog, [&] {
    session.PressEnable();
    after();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, [&] {
    session.Cancel();
    after();
  });
  QObject::connect(&erase, &QTimer::timeout, &dialog, [&] {
    session.Tick();
    if (!session.Erasing()) erase.stop();
    after();
  });
  // The clocks shown run on while the dialog is open.
  QTimer clockTimer;
  clockTimer.setObjectName(QStringLiteral("setupClockTimer"));
  QObject::connect(&clockTimer, &QTimer::timeout, &dialog, [&] {
    if (session.ClockTick()) {
      after();
      return;
    }
    host->setText(Q(model.hostTimeText));
    logger->setText(Q(model.loggerTimeText));
  });
  clockTimer.start(1000);
  refresh();
  dialog.exec();
  // Escape or the window's close button: the same as "Cancel".
  if (!session.closed) session.Cancel();
  return session.rerun ? 2 : 1;
}

int RunPickerFace(PickerSession& session, QWidget* parent) {
  DateDialog& model = session.picker;
  AppState& state = session.state();
  SetupPanel& panel = session.panel();
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("pickerDialog"));
  dialog.setWindowTitle(QStringLiteral("Start, end and sampling period"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new QGridLayout;
  StartEndView times;
  times.Build(&dialog, grid, 0);
  layout->addLayout(grid);

  auto* periods = new QGroupBox(QStringLiteral("Sampling period"), &dialog);
  auto* periodLayout = new QVBoxLayout(periods);
  QButtonGroup choices(&dialog);
  const std::vector<QRadioButton*> radios = RadioChoices(&dialog, periodLayout, model.periodChoiceLabels, "periodChoice", choices);
  QTimeEdit* periodField = ClockField(&dialog, "periodField");
  periodLayout->addWidget(periodField);
  layout->addWidget(periods);

  auto* averagingRow = new QHBoxLayout;
  auto* averagingBox = new QCheckBox(&dialog);
  averagingBox->setObjectName(QStringLiteral("averagingBox"));
  QTimeEdit* averagingField = ClockField(&dialog, "averagingField");
  averagingRow->addWidget(averagingBox);
  averagingRow->addWidget(averagingField);
  averagingRow->addStretch();
  layout->addLayout(averagingRow);

  MessageView message;
  message.Build(&dialog, layout);
  QPushButton *accept = nullptr, *discard = nullptr;
  layout->addLayout(AcceptDiscardRow(&dialog, accept, discard));

  auto refresh = [&] {
    times.Show(model.times);
    const int index = static_cast<int>(model.periodChoice);
    if (index >= 0 && static_cast<size_t>(index) < radios.size())
      SetQuietly<QAbstractButton, bool>(radios[static_cast<size_t>(index)], &QAbstractButton::setChecked, true);
    if (radios.size() > static_cast<size_t>(PeriodChoice::SixHzProfiling))
      radios[static_cast<size_t>(PeriodChoice::SixHzProfiling)]->setVisible(model.sixHzChoiceVisible);
    periodField->setVisible(model.periodFieldVisible);
    SetQuietly<QDateTimeEdit, QTime>(periodField, &QDateTimeEdit::setTime, ClockTime(model.periodText));
    averagingBox->setVisible(model.averagingVisible);
    averagingField->setVisible(model.averagingVisible);
    averagingBox->setText(Q(model.averagingLabel));
    averagingBox->setEnabled(model.averagingBoxEnabled);
    SetQuietly<QAbstractButton, bool>(averagingBox, &QAbstractButton::setChecked, model.averagingChecked);
    averagingField->setEnabled(model.averagingChecked);
    SetQuietly<QDateTimeEdit, QTime>(averagingField, &QDateTimeEdit::setTime, ClockTime(model.averagingText));
    message.Show(panel.message);
  };
  auto after = [&] {
    session.Changed();
    refresh();
  };
  times.Connect(&dialog, model.times, state, panel, after);
  QObject::connect(&choices, &QButtonGroup::idClicked, &dialog, [&](int id) {
    model.ChoosePeriod(state, panel, static_cast<PeriodChoice>(id));
    after();
  });
  QObject::connect(periodField, &QTimeEdit::timeChanged, &dialog, [&](const QTime& t) {
    model.SetPeriodText(state, panel, ClockText(t));
    after();
  });
  QObject::connect(averagingBox, &QCheckBox::toggled, &dialog, [&](bool on) {
    model.SetAveraging(state, panel, on);
    after();
  });
  QObject::connect(averagingField, &QTimeEdit::timeChanged, &dialog, [&](const QTime& t) {
    model.SetAveragingText(state, panel, ClockText(t));
    after();
  });
  QObject::connect(accept, &QPushButton::clicked, &dialog, [&] {
    model.Accept(state, panel);
    dialog.accept();
  });
  QObject::connect(discard, &QPushButton::clicked, &dialog, &QDialog::reject);
  refresh();
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted && model.open) model.Discard(state);
  return accepted ? 1 : 0;
}

int RunBurstFace(BurstSession& session, QWidget* parent) {
  BurstDialog& model = session.burst;
  AppState& state = session.state();
  SetupPanel& panel = session.panel();
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("burstDialog"));
  dialog.setWindowTitle(QString::fromLatin1(BurstDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new QGridLayout;
  StartEndView times;
  times.Build(&dialog, grid, 0);
  QTimeEdit* tide = ClockField(&dialog, "tidePeriodField");
  grid->addWidget(new QLabel(QStringLiteral("Sampling period for Tide"), &dialog), 2, 0);
  grid->addWidget(tide, 2, 1);
  auto* averagingBox = new QCheckBox(QStringLiteral("Enable averaging"), &dialog);
  averagingBox->setObjectName(QStringLiteral("averagingBox"));
  QTimeEdit* averaging = ClockField(&dialog, "averagingField");
  grid->addWidget(averagingBox, 3, 0);
  grid->addWidget(averaging, 3, 1);
  auto* rates = new QComboBox(&dialog);
  rates->setObjectName(QStringLiteral("rateList"));
  for (const auto& l : model.rateLabels) rates->addItem(Q(l));
  grid->addWidget(new QLabel(QStringLiteral("Rate for both Tide and Wave Data"), &dialog), 4, 0);
  grid->addWidget(rates, 4, 1);
  layout->addLayout(grid);

  auto* waves = new QGroupBox(QStringLiteral("Wave settings"), &dialog);
  auto* waveGrid = new QGridLayout(waves);
  auto* waveBox = new QCheckBox(QStringLiteral("Enable wave data"), &dialog);
  waveBox->setObjectName(QStringLiteral("waveBox"));
  waveGrid->addWidget(waveBox, 0, 0, 1, 3);
  auto* lengths = new QComboBox(&dialog);
  lengths->setObjectName(QStringLiteral("lengthList"));
  for (const auto& l : model.lengthLabels) lengths->addItem(Q(l));
  auto* samplesAt = new QLabel(&dialog);
  samplesAt->setObjectName(QStringLiteral("samplesAtLabel"));
  waveGrid->addWidget(new QLabel(QStringLiteral("Burst length"), &dialog), 1, 0);
  waveGrid->addWidget(lengths, 1, 1);
  waveGrid->addWidget(samplesAt, 1, 2);
  // Typed ("01:00:00") or stepped by the arrows, a tide period a click.
  QLineEdit* burstPeriod = ReadOnlyField(&dialog, "burstPeriodField", 10);
  burstPeriod->setReadOnly(false);
  burstPeriod->setToolTip(QStringLiteral("Type a time (HH:MM:SS) or step it with the arrows"));
  auto* longer = new QToolButton(&dialog);
  longer->setObjectName(QStringLiteral("burstLonger"));
  longer->setArrowType(Qt::UpArrow);
  longer->setAutoRepeat(true);
  auto* shorter = new QToolButton(&dialog);
  shorter->setObjectName(QStringLiteral("burstShorter"));
  shorter->setArrowType(Qt::DownArrow);
  shorter->setAutoRepeat(true);
  auto* spin = new QHBoxLayout;
  spin->addWidget(burstPeriod);
  spin->addWidget(longer);
  spin->addWidget(shorter);
  auto* at = new QLabel(&dialog);
  at->setObjectName(QStringLiteral("atLabel"));
  waveGrid->addWidget(new QLabel(QStringLiteral("Burst period"), &dialog), 2, 0);
  waveGrid->addLayout(spin, 2, 1);
  waveGrid->addWidget(at, 2, 2);
  auto* depth = new QLineEdit(&dialog);
  depth->setObjectName(QStringLiteral("depthField"));
  auto* height = new QLineEdit(&dialog);
  height->setObjectName(QStringLiteral("heightField"));
  waveGrid->addWidget(new QLabel(QStringLiteral("Mean depth of water (m)"), &dialog), 3, 0);
  waveGrid->addWidget(depth, 3, 1);
  waveGrid->addWidget(new QLabel(QStringLiteral("Height of logger above the bed (m)"), &dialog), 4, 0);
  waveGrid->addWidget(height, 4, 1);
  layout->addWidget(waves);

  auto* bandwidth = new QLabel(&dialog);
  bandwidth->setObjectName(QStringLiteral("bandwidthText"));
  bandwidth->setWordWrap(true);
  layout->addWidget(bandwidth);
  MessageView message;
  message.Build(&dialog, layout);
  QPushButton *accept = nullptr, *discard = nullptr;
  layout->addLayout(AcceptDiscardRow(&dialog, accept, discard));

  auto refresh = [&] {
    times.Show(model.times);
    SetQuietly<QDateTimeEdit, QTime>(tide, &QDateTimeEdit::setTime, ClockTime(model.tidePeriodText));
    averagingBox->setEnabled(model.averagingBoxEnabled);
    SetQuietly<QAbstractButton, bool>(averagingBox, &QAbstractButton::setChecked, model.averagingChecked);
    averaging->setEnabled(model.averagingFieldEnabled);
    SetQuietly<QDateTimeEdit, QTime>(averaging, &QDateTimeEdit::setTime, ClockTime(model.averagingText));
    SetQuietly<QComboBox, int>(rates, &QComboBox::setCurrentIndex, model.rateIndex);
    rates->setEnabled(model.rateListEnabled);
    SetQuietly<QAbstractButton, bool>(waveBox, &QAbstractButton::setChecked, model.waveChecked);
    SetQuietly<QComboBox, int>(lengths, &QComboBox::setCurrentIndex, model.lengthIndex);
    for (QWidget* w : {static_cast<QWidget*>(lengths), static_cast<QWidget*>(longer), static_cast<QWidget*>(shorter),
                       static_cast<QWidget*>(burstPeriod)})
      w->setEnabled(model.burstFieldsEnabled);
    samplesAt->setText(Q(model.samplesAtLabel));
    at->setText(Q(model.atLabel));
    if (!burstPeriod->hasFocus() || !burstPeriod->isModified()) burstPeriod->setText(Q(model.burstPeriodText));
    if (!depth->hasFocus()) depth->setText(Q(model.depthText));
    if (!height->hasFocus()) height->setText(Q(model.heightText));
    bandwidth->setText(Q(panel.bandwidthText));
    bandwidth->setVisible(!panel.bandwidthText.empty());
    message.Show(panel.message);
  };
  auto after = [&] {
    session.Changed();
    refresh();
  };
  times.Connect(&dialog, model.times, state, panel, after);
  QObject::connect(tide, &QTimeEdit::timeChanged, &dialog, [&](const QTime& t) {
    model.SetTidePeriodText(state, panel, ClockText(t));
    after();
  });
  QObject::connect(averaging, &QTimeEdit::timeChanged, &dialog, [&](const QTime& t) {
    model.SetAveragingText(state, panel, ClockText(t));
    after();
  });
  QObject::connect(averagingBox, &QCheckBox::toggled, &dialog, [&](bool on) {
    model.SetAveragingEnabled(state, panel, on);
    after();
  });
  QObject::connect(waveBox, &QCheckBox::toggled, &dialog, [&](bool on) {
    model.SetWaveEnabled(state, panel, on);
    after();
  });
  QObject::connect(rates, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int i) {
    model.SelectRate(state, panel, i);
    after();
  });
  QObject::connect(lengths, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int i) {
    model.SelectLength(state, panel, i);
    after();
  });
  QObject::connect(burstPeriod, &QLineEdit::editingFinished, &dialog, [&] {
    // What is no time goes back to the period in force.
    model.SetBurstPeriodText(state, panel, burstPeriod->text().toStdString());
    burstPeriod->setModified(false);
    burstPeriod->setText(Q(model.burstPeriodText));
    after();
  });
  QObject::connect(longer, &QToolButton::clicked, &dialog, [&] {
    model.SpinBurstPeriod(state, panel, +1);
    after();
  });
  QObject::connect(shorter, &QToolButton::clicked, &dialog, [&] {
    model.SpinBurstPeriod(state, panel, -1);
    after();
  });
  QObject::connect(depth, &QLineEdit::textEdited, &dialog, [&](const QString& t) {
    model.SetDepthText(state, panel, t.toStdString());
    after();
  });
  QObject::connect(height, &QLineEdit::textEdited, &dialog, [&](const QString& t) {
    model.SetHeightText(state, panel, t.toStdString());
    after();
  });
  QObject::connect(accept, &QPushButton::clicked, &dialog, [&] {
    // The checks must pass; otherwise their message stays in view.
    if (model.Accept(state, panel))
      dialog.accept();
    else
      refresh();
  });
  QObject::connect(discard, &QPushButton::clicked, &dialog, &QDialog::reject);
  refresh();
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted && model.open) model.Discard(state);
  return accepted ? 1 : 0;
}

int RunThresholdFace(ThresholdDialog& model, AppState& state, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("thresholdDialog"));
  dialog.setWindowTitle(QString::fromLatin1(ThresholdDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new QGridLayout;
  auto* channels = new QComboBox(&dialog);
  channels->setObjectName(QStringLiteral("channelList"));
  for (const auto& l : model.channelLabels) channels->addItem(Q(l));
  grid->addWidget(new QLabel(QStringLiteral("Channel"), &dialog), 0, 0);
  grid->addWidget(channels, 0, 1);
  auto* caption = new QLabel(&dialog);
  caption->setObjectName(QStringLiteral("captionLine"));
  auto* threshold = new QLineEdit(&dialog);
  threshold->setObjectName(QStringLiteral("thresholdField"));
  auto* unit = new QLabel(&dialog);
  unit->setObjectName(QStringLiteral("thresholdUnit"));
  auto* level = new QHBoxLayout;
  level->addWidget(threshold);
  level->addWidget(unit);
  grid->addWidget(caption, 1, 0);
  grid->addLayout(level, 1, 1);
  QLineEdit* sampling = ReadOnlyField(&dialog, "samplingPeriodField", 10);
  grid->addWidget(new QLabel(QStringLiteral("Sampling period"), &dialog), 2, 0);
  grid->addWidget(sampling, 2, 1);
  grid->addWidget(new QLabel(QString::fromLatin1(ThresholdDialog::kPeriodNote), &dialog), 3, 1);
  layout->addLayout(grid);

  auto* tests = new QGroupBox(QStringLiteral("Test for the threshold"), &dialog);
  auto* testLayout = new QVBoxLayout(tests);
  QButtonGroup choices(&dialog);
  const std::vector<QRadioButton*> radios = RadioChoices(&dialog, testLayout, model.testChoices, "testChoice", choices);
  QTimeEdit* testPeriod = ClockField(&dialog, "testPeriodField");
  testLayout->addWidget(testPeriod);
  layout->addWidget(tests);

  auto* hysteresis = new QGroupBox(QStringLiteral("Hysteresis"), &dialog);
  hysteresis->setObjectName(QStringLiteral("hysteresisGroup"));
  auto* hysteresisLayout = new QGridLayout(hysteresis);
  auto* enable = new QCheckBox(QStringLiteral("Enable"), &dialog);
  enable->setObjectName(QStringLiteral("hysteresisBox"));
  auto* seconds = new QLineEdit(&dialog);
  seconds->setObjectName(QStringLiteral("hysteresisField"));
  seconds->setMaximumWidth(seconds->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
  hysteresisLayout->addWidget(enable, 0, 0);
  hysteresisLayout->addWidget(
      new QLabel(QStringLiteral("After a thresholding session, the logger will collect data for"), &dialog), 1, 0, 1, 3);
  hysteresisLayout->addWidget(seconds, 2, 0);
  hysteresisLayout->addWidget(new QLabel(QStringLiteral("seconds"), &dialog), 2, 1);
  layout->addWidget(hysteresis);

  MessageView message;
  message.Build(&dialog, layout);
  QPushButton *accept = nullptr, *discard = nullptr;
  layout->addLayout(AcceptDiscardRow(&dialog, accept, discard));

  auto refresh = [&] {
    SetQuietly<QComboBox, int>(channels, &QComboBox::setCurrentIndex, model.selectedEntry);
    caption->setText(Q(model.captionLine));
    threshold->setText(Q(model.thresholdText));
    // The unit follows the channel chosen (its text is Latin-1: the degree sign).
    const int entry = channels->currentIndex();
    unit->setText(entry >= 0 && static_cast<size_t>(entry) < model.channelUnits.size()
                      ? QString::fromLatin1(model.channelUnits[static_cast<size_t>(entry)].c_str())
                      : QString());
    sampling->setText(Q(model.samplingPeriodText));
    const int index = static_cast<int>(model.test);
    if (index >= 0 && static_cast<size_t>(index) < radios.size())
      SetQuietly<QAbstractButton, bool>(radios[static_cast<size_t>(index)], &QAbstractButton::setChecked, true);
    for (size_t i = 1; i < radios.size(); ++i) radios[i]->setEnabled(model.otherTestsEnabled);
    testPeriod->setVisible(model.testPeriodVisible);
    SetQuietly<QDateTimeEdit, QTime>(testPeriod, &QDateTimeEdit::setTime, ClockTime(model.testPeriodText));
    hysteresis->setVisible(model.hysteresisVisible);
    enable->setEnabled(model.hysteresisBoxEnabled);
    SetQuietly<QAbstractButton, bool>(enable, &QAbstractButton::setChecked, model.hysteresisChecked);
    seconds->setEnabled(model.hysteresisFieldEnabled);
    seconds->setText(Q(model.hysteresisText));
    message.Show(model.message);
  };
  // The typed fields go into the model before anything reads them.
  auto take = [&] {
    model.thresholdText = threshold->text().toStdString();
    model.hysteresisText = seconds->text().toStdString();
    model.testPeriodText = ClockText(testPeriod->time());
    model.selectedEntry = channels->currentIndex();
  };
  QObject::connect(&choices, &QButtonGroup::idClicked, &dialog, [&](int id) {
    take();
    model.ChooseTest(state, static_cast<ThresholdTest>(id));
    refresh();
  });
  QObject::connect(channels, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int) {
    take();
    refresh();
  });
  QObject::connect(enable, &QCheckBox::toggled, &dialog, [&](bool on) {
    take();
    model.SetHysteresisEnabled(on);
    refresh();
  });
  QObject::connect(accept, &QPushButton::clicked, &dialog, [&] {
    take();
    if (model.Accept(state))
      dialog.accept();
    else
      refresh();
  });
  QObject::connect(discard, &QPushButton::clicked, &dialog, &QDialog::reject);
  refresh();
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted && model.open) model.Discard(state);
  return accepted ? 1 : 0;
}

int RunSimulationChoiceFace(SimulationChoiceDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromLatin1(SimulationChoiceDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(QString::fromLatin1(SimulationChoiceDialog::kText), &dialog);
  text->setTextFormat(Qt::PlainText);
  layout->addWidget(text);
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("loggerTypeList"));
  for (const auto& c : model.choices) list->addItem(Q(c));
  list->setCurrentRow(model.selected);
  layout->addWidget(list);
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return 0;
  model.selected = list->currentRow();
  return 1;
}

int RunQnSimulationFace(QnSimulationDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromLatin1(QnSimulationDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QString::fromLatin1(QnSimulationDialog::kText), &dialog));
  auto* lists = new QHBoxLayout;
  auto* offered = new QListWidget(&dialog);
  offered->setObjectName(QStringLiteral("offeredList"));
  auto label = [](uint8_t code) {
    const int row = ChannelTypeRowForCode(code);
    if (row < 0 || row >= kChannelTypeCount) return QString(QChar(code));
    const ChannelType& t = ChannelTypeTable()[static_cast<size_t>(row)];
    QString text = t.labelFormat != nullptr ? QString::fromLatin1(t.labelFormat) : QString::fromLatin1(t.shortLabel + 1);
    const int dash = text.indexOf(QStringLiteral("- "));
    if (dash >= 0) text = text.mid(dash + 2);
    return text.trimmed();
  };
  for (uint8_t code : model.offered) offered->addItem(label(code));
  auto* chosen = new QListWidget(&dialog);
  chosen->setObjectName(QStringLiteral("channelList"));
  auto* middle = new QVBoxLayout;
  auto* add = new QPushButton(QStringLiteral("Add >>"), &dialog);
  add->setObjectName(QStringLiteral("addChannel"));
  auto* remove = new QPushButton(QStringLiteral("<< Remove"), &dialog);
  remove->setObjectName(QStringLiteral("removeChannel"));
  middle->addStretch();
  middle->addWidget(add);
  middle->addWidget(remove);
  middle->addStretch();
  lists->addWidget(offered);
  lists->addLayout(middle);
  lists->addWidget(chosen);
  layout->addLayout(lists);
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  auto refresh = [&] {
    chosen->clear();
    for (size_t i = 0; i < model.channels.size(); ++i)
      chosen->addItem(QStringLiteral("%1 - %2").arg(i + 1).arg(label(model.channels[i])));
  };
  QObject::connect(add, &QPushButton::clicked, &dialog, [&] {
    const int row = offered->currentRow();
    if (row >= 0) model.AddChannel(model.offered[static_cast<size_t>(row)]);
    refresh();
  });
  QObject::connect(offered, &QListWidget::itemDoubleClicked, add, &QPushButton::click);
  QObject::connect(remove, &QPushButton::clicked, &dialog, [&] {
    const int row = chosen->currentRow();
    if (row >= 0) model.RemoveChannel(row);
    refresh();
  });
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  refresh();
  return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

int RunTooManySamplesFace(TooManySamplesDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromLatin1(TooManySamplesDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(Q(model.text), &dialog);
  text->setObjectName(QStringLiteral("dialogText"));
  text->setTextFormat(Qt::PlainText);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  auto* endTime = new QPushButton(QString::fromLatin1(TooManySamplesDialog::kAcceptEndTime), &dialog);
  auto* period = new QPushButton(QString::fromLatin1(TooManySamplesDialog::kAcceptSamplingPeriod), &dialog);
  period->setVisible(model.samplingPeriodButtonVisible);
  row->addStretch();
  row->addWidget(endTime);
  row->addWidget(period);
  layout->addLayout(row);
  QObject::connect(endTime, &QPushButton::clicked, &dialog, [&] { dialog.done(kTooManyAcceptEndTime); });
  QObject::connect(period, &QPushButton::clicked, &dialog, [&] { dialog.done(kTooManyAcceptSamplingPeriod); });
  return dialog.exec();
}

int RunContainsDataFace(ContainsDataDialog&, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromLatin1(ContainsDataDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* heading = new QLabel(QString::fromLatin1(ContainsDataDialog::kHeading), &dialog);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  auto* text = new QLabel(QString::fromLatin1(ContainsDataDialog::kText), &dialog);
  text->setTextFormat(Qt::PlainText);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("Continue to add"), &dialog);
  auto* erase = new QPushButton(QStringLiteral("Erase old readings"), &dialog);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  add->setAutoDefault(false);
  erase->setAutoDefault(false);
  row->addWidget(add);
  row->addWidget(erase);
  row->addStretch();
  row->addWidget(cancel);
  layout->addLayout(row);
  QObject::connect(add, &QPushButton::clicked, &dialog, [&] { dialog.done(kContainsDataContinue); });
  QObject::connect(erase, &QPushButton::clicked, &dialog, [&] { dialog.done(kContainsDataErase); });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, [&] { dialog.done(0); });
  EnterPresses(cancel);
  return dialog.exec();
}

void RegisterSetupFaces(DialogPresenter& presenter, AppState& state, QWidget* parent) {
  presenter.Register<SetupSession>([parent](SetupSession& s) { return RunSetupFace(s, parent); });
  presenter.Register<PickerSession>([parent](PickerSession& s) { return RunPickerFace(s, parent); });
  presenter.Register<BurstSession>([parent](BurstSession& s) { return RunBurstFace(s, parent); });
  presenter.Register<ThresholdDialog>(
      [&state, parent](ThresholdDialog& m) { return RunThresholdFace(m, state, parent); });
  presenter.Register<SimulationChoiceDialog>(
      [parent](SimulationChoiceDialog& m) { return RunSimulationChoiceFace(m, parent); });
  presenter.Register<QnSimulationDialog>([parent](QnSimulationDialog& m) { return RunQnSimulationFace(m, parent); });
  presenter.Register<TooManySamplesDialog>(
      [parent](TooManySamplesDialog& m) { return RunTooManySamplesFace(m, parent); });
  presenter.Register<ContainsDataDialog>([parent](ContainsDataDialog& m) { return RunContainsDataFace(m, parent); });
}

}  // namespace tmv::qt
