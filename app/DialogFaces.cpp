#include "DialogFaces.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QHBoxLayout>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "ComSettingsFace.h"
#include "FaceSupport.h"
#include "DerivedFaces.h"
#include "LanguageFace.h"
#include "SetupFaces.h"
#include "WaveFace.h"
#include "cards/MmcSdCard.h"
#include "link/ComSettingsDialog.h"
#include "model/CalibrationDialog.h"
#include "model/CalibrationHistory.h"
#include "model/CapabilitiesDialogs.h"
#include "model/LatencyDialog.h"
#include "retrieval/GpsTest.h"
#include "shell/Outcomes.h"
#include "shell/DialogPresenter.h"
#include "shell/LanguageDialog.h"

namespace tmv::qt {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Calls onFocus whenever the watched widget gets the keyboard focus, however
// it came there (a click, Tab, a shortcut).
class FocusWatcher : public QObject {
 public:
  FocusWatcher(QWidget* watched, std::function<void()> onFocus) : QObject(watched), onFocus_(std::move(onFocus)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) onFocus_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onFocus_;
};

QLabel* TextLabel(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(Q(text), parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

// The communication format and the sampling LED dialogs have one shape: a
// text, one button that switches the setting on the logger, and Close.
template <class Model>
int RunToggleFace(Model& model, AppState& state, QWidget* parent, const char* title) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(title));
  auto* layout = new QVBoxLayout(&dialog);
  QLabel* text = TextLabel(model.text, &dialog);
  text->setObjectName("dialogText");
  auto* button = new QPushButton(&dialog);
  button->setObjectName("toggleButton");
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  layout->addWidget(text);
  layout->addWidget(button);
  layout->addWidget(close);
  auto refresh = [&] {
    text->setText(Q(model.text));
    button->setText(Q(model.buttonText));
    button->setVisible(model.buttonVisible);
  };
  refresh();
  int changed = 0;
  QObject::connect(button, &QPushButton::clicked, &dialog, [&] {
    if (model.Button(state)) changed = 1;
    refresh();
  });
  QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.exec();
  model.Cancel();
  return changed;
}

}  // namespace

int RunDefaultBaudFace(DefaultBaudDialog& model, AppState& state, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(DefaultBaudDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  list->setObjectName("baudList");
  for (const auto& text : model.rateTexts) list->addItem(Q(text));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  if (model.selected >= 0) list->setCurrentRow(model.selected);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(list);
  layout->addWidget(buttons);
  // The rate is the one the user selected. When the logger's default could
  // not be read none is, and OK waits for a choice: the list's current item
  // alone (which focus puts on the first rate) is no choice.
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  auto chosenRow = [list] {
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
  };
  ok->setEnabled(chosenRow() >= 0);
  QObject::connect(list, &QListWidget::itemSelectionChanged, &dialog, [&model, ok, chosenRow] {
    const int row = chosenRow();
    model.Select(row);
    ok->setEnabled(row >= 0);
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (model.Ok(state)) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted) model.Cancel();
  return accepted ? 1 : 0;
}

int RunCommunicationFormatFace(CommunicationFormatDialog& model, AppState& state, QWidget* parent) {
  return RunToggleFace(model, state, parent, CommunicationFormatDialog::kTitle);
}

int RunSamplingLedFace(SamplingLedDialog& model, AppState& state, QWidget* parent) {
  return RunToggleFace(model, state, parent, SamplingLedDialog::kTitle);
}

int RunLatencyFace(LatencyDialog& model, AppState& state, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(LatencyDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* field = new QLineEdit(Q(model.field), &dialog);
  field->setObjectName("latencyField");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(new QLabel(QString::fromUtf8(LatencyDialog::kPrompt), &dialog));
  layout->addWidget(field);
  layout->addWidget(buttons);
  QObject::connect(field, &QLineEdit::textEdited, &dialog, [&](const QString& t) { model.field = t.toStdString(); });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (model.Ok(state)) dialog.accept();
    else if (!model.told) ShowOutcome(state, model.result, "Change latency");
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted) model.Cancel();
  return accepted ? 1 : 0;
}

// The shell's tick reads the GPS; the face only shows what the model holds.
int RunGpsTestFace(GpsTestDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("GPS Test"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* position = new QLabel(&dialog);
  position->setObjectName("gpsPosition");
  auto* counts = new QLabel(&dialog);
  counts->setObjectName("gpsCounts");
  auto* sentences = new QListWidget(&dialog);
  sentences->setObjectName("gpsSentences");
  // The longest sentence NMEA allows, marked rejected, fits without scrolling.
  sentences->setMinimumWidth(sentences->fontMetrics().horizontalAdvance(QString(82, QLatin1Char('0')) +
                                                                         QStringLiteral("  (rejected)")) +
                             sentences->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  layout->addWidget(new QLabel(QStringLiteral("Position:"), &dialog));
  layout->addWidget(position);
  layout->addWidget(counts);
  layout->addWidget(new QLabel(QStringLiteral("Sentences received:"), &dialog));
  layout->addWidget(sentences);
  layout->addWidget(buttons);
  uint64_t shown = ~uint64_t{0};
  const auto refresh = [&] {
    if (model.Version() == shown) return;
    shown = model.Version();
    position->setText(Q(model.PositionText()));
    counts->setText(Q(model.CountsText()));
    sentences->clear();
    for (const std::string& s : model.Sentences()) sentences->addItem(Q(s));
    sentences->scrollToBottom();
  };
  refresh();
  QTimer redraw(&dialog);
  QObject::connect(&redraw, &QTimer::timeout, &dialog, refresh);
  redraw.start(GpsTestDialog::kTickMs);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.exec();
  return 1;
}

int RunCurrentCapabilitiesFace(CurrentCapabilitiesDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(CurrentCapabilitiesDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(TextLabel(model.statusText, &dialog));
  auto* grid = new QGridLayout;
  int i = 0;
  for (const auto& [label, ticked] : model.listing.boxes) {
    auto* box = new QCheckBox(Q(label), &dialog);
    box->setChecked(ticked);
    // Shown, not changed: a disabled box greys its tick and text out of reading.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(box, i / 2, i % 2);
    ++i;
  }
  layout->addLayout(grid);
  for (const auto& text : model.listing.texts) layout->addWidget(TextLabel(text, &dialog));
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  layout->addWidget(close);
  QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.exec();
  model.Close();
  return 1;
}

namespace {

int RunConductivityCorrectionFace(CalibrationDialogModel& calibration, QWidget* parent) {
  ConductivityCorrectionDialogModel model = calibration.OpenConductivityCorrection();
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(ConductivityCorrectionDialogModel::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(TextLabel(ConductivityCorrectionDialogModel::kLegend, &dialog));
  layout->addWidget(TextLabel(ConductivityCorrectionDialogModel::kEquation, &dialog));
  layout->addWidget(TextLabel(ConductivityCorrectionDialogModel::kWhere, &dialog));
  auto* grid = new QGridLayout;
  for (int f = 0; f < 4; ++f) {
    auto* edit = new QLineEdit(Q(model.FieldText(f)), &dialog);
    grid->addWidget(new QLabel(QString::fromUtf8(ConductivityCorrectionDialogModel::kFieldNames[static_cast<size_t>(f)]),
                               &dialog),
                    f, 0);
    grid->addWidget(edit, f, 1);
    QObject::connect(edit, &QLineEdit::textEdited, &dialog,
                     [&model, f](const QString& t) { model.SetFieldText(f, t.toStdString()); });
  }
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    // A field that is not a number keeps the dialog open (after its message).
    if (calibration.ConductivityCorrectionOk(model) >= 0) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace

int RunCalibrationFace(CalibrationDialogModel& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(CalibrationDialogModel::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new QGridLayout;
  for (int k = 0; k < 4; ++k)
    grid->addWidget(new QLabel(QString::fromUtf8(CalibrationDialogModel::kHeadings[static_cast<size_t>(k)]), &dialog),
                    0, k + 1);
  QLabel* labels[CalibrationDialogModel::kVisibleRows];
  QLineEdit* fields[CalibrationDialogModel::kVisibleRows][4];
  for (int row = 0; row < CalibrationDialogModel::kVisibleRows; ++row) {
    labels[row] = new QLabel(&dialog);
    grid->addWidget(labels[row], row + 1, 0);
    for (int k = 0; k < 4; ++k) {
      auto* edit = new QLineEdit(&dialog);
      // Wide enough for a "%.15f" value with four digits before the point, in any font.
      edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000000000000000")) + 16);
      fields[row][k] = edit;
      grid->addWidget(edit, row + 1, k + 1);
      QObject::connect(edit, &QLineEdit::textEdited, &dialog,
                       [&model, row, k](const QString& t) { model.SetFieldText(row, k, t.toStdString()); });
      // The clipboard column goes to the row the user is in. The cursor
      // cannot tell: refreshing the texts moves it, and Tab does not.
      new FocusWatcher(edit, [&model, row] { model.SetFocusRow(row); });
    }
  }
  auto* bar = new QScrollBar(Qt::Vertical, &dialog);
  bar->setRange(model.ScrollMinimum(), std::max(model.ScrollMinimum(), model.ScrollMaximum()));
  bar->setPageStep(CalibrationDialogModel::kVisibleRows);
  bar->setEnabled(model.ScrollMaximum() > model.ScrollMinimum());  // all channels in view: nothing to move
  grid->addWidget(bar, 1, 5, CalibrationDialogModel::kVisibleRows, 1);
  layout->addLayout(grid);
  // Defaults in the fields: say whether the logger holds none or could not be read.
  if (!model.OriginText().empty()) {
    auto* origin = new QLabel(Q(model.OriginText()), &dialog);
    origin->setObjectName("calibrationOrigin");
    layout->addWidget(origin);
  }

  auto refresh = [&] {
    for (int row = 0; row < CalibrationDialogModel::kVisibleRows; ++row) {
      const bool visible = model.RowVisible(row);
      labels[row]->setVisible(visible);
      labels[row]->setText(visible ? Q(model.RowLabel(row)) : QString());
      for (int k = 0; k < 4; ++k) {
        fields[row][k]->setVisible(visible);
        if (visible) fields[row][k]->setText(Q(model.FieldText(row, k)));
      }
    }
    const QSignalBlocker block(bar);
    bar->setValue(model.ScrollPosition());
  };
  QObject::connect(bar, &QScrollBar::valueChanged, &dialog, [&](int value) {
    model.OnScroll(CalibrationDialogModel::Scroll::Thumb, value);
    refresh();
  });

  auto* set = new QPushButton(Q(model.SetButtonText()), &dialog);
  set->setObjectName("setCalibrationButton");
  auto* clipboard = new QPushButton(Q(model.ClipboardButtonText()), &dialog);
  auto* correction = new QPushButton(QStringLiteral("Conductivity Correction"), &dialog);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  set->setEnabled(model.SetButtonEnabled());
  clipboard->setEnabled(model.ButtonsEnabled());
  correction->setVisible(model.ConductivityButtonVisible());
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(set);
  buttons->addWidget(clipboard);
  buttons->addWidget(correction);
  buttons->addStretch();
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  // The set button writes to the logger, Cancel drops the edits: Enter in a field presses neither.
  NoButtonAnswersEnter(&dialog);
  refresh();

  QObject::connect(clipboard, &QPushButton::clicked, &dialog, [&] {
    model.LoadColumnFromClipboard();
    refresh();
  });
  QObject::connect(correction, &QPushButton::clicked, &dialog,
                   [&] { RunConductivityCorrectionFace(model, &dialog); });
  QObject::connect(set, &QPushButton::clicked, &dialog, [&] {
    if (model.SetCalibration() == 1) dialog.accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

int RunCalibrationHistoryFace(CalibrationHistory& history, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Calibration History"));
  auto* layout = new QVBoxLayout(&dialog);
  if (!history.path.empty()) layout->addWidget(TextLabel(history.path, &dialog));
  auto* list = new QListWidget(&dialog);
  list->setObjectName("historyList");
  list->setFont(QFont(QStringLiteral("monospace")));
  for (const auto& line : history.lines) list->addItem(Q(line));
  layout->addWidget(list);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  layout->addWidget(close);
  QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.resize(720, 420);
  dialog.exec();
  return 1;
}

int RunMmcSdFace(MmcSdProc& model, AppState& state, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName("mmcSdDialog");
  dialog.setWindowTitle(Q(model.title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new QGridLayout;
  auto addText = [&](int row, const char* caption, const char* name) {
    grid->addWidget(new QLabel(QString::fromUtf8(caption), &dialog), row, 0);
    auto* text = new QLabel(&dialog);
    text->setObjectName(QString::fromUtf8(name));
    text->setMinimumWidth(text->fontMetrics().horizontalAdvance(QString(28, QLatin1Char('W'))));
    grid->addWidget(text, row, 1);
    return text;
  };
  QLabel* type = addText(0, "Memory type", "memoryTypeText");
  QLabel* size = addText(1, "Size", "sizeText");
  QLabel* first = addText(2, "First", "firstText");
  QLabel* last = addText(3, "Last", "lastText");
  layout->addLayout(grid);
  auto* list = new QListWidget(&dialog);
  list->setObjectName("cardList");
  list->setMinimumSize(480, 220);
  layout->addWidget(list);
  auto* contentsRow = new QHBoxLayout;
  auto* contents = new QPushButton(QStringLiteral("Get contents of:"), &dialog);
  contents->setObjectName("contentsButton");
  auto* field = new QLineEdit(&dialog);
  field->setObjectName("fileNumberField");
  contentsRow->addWidget(contents);
  contentsRow->addWidget(field);
  layout->addLayout(contentsRow);
  auto* buttons = new QHBoxLayout;
  auto* refreshButton = new QPushButton(QStringLiteral("Refresh"), &dialog);
  refreshButton->setObjectName("refreshButton");
  auto* clear = new QPushButton(QStringLiteral("Clear Box"), &dialog);
  clear->setObjectName("clearButton");
  auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
  close->setObjectName("closeButton");
  buttons->addWidget(refreshButton);
  buttons->addWidget(clear);
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);

  // The dialog's own timer: the card is asked and then waited for, a tick a second.
  auto* timer = new QTimer(&dialog);
  timer->setObjectName("mmcSdTimer");
  timer->setInterval(MmcSdProc::kTickMs);

  auto refresh = [&] {
    type->setText(Q(model.memoryType));
    size->setText(Q(model.size));
    first->setText(Q(model.first));
    last->setText(Q(model.last));
    if (field->text() != Q(model.fileNumberField)) field->setText(Q(model.fileNumberField));
    list->clear();
    for (const auto& line : model.list) list->addItem(Q(line));
    refreshButton->setEnabled(model.refreshEnabled && !model.Busy());
    contents->setEnabled(!model.Busy());
  };
  auto after = [&] {
    if (model.Busy() && !timer->isActive()) timer->start();
    if (!model.Busy()) timer->stop();
    refresh();
  };
  QObject::connect(timer, &QTimer::timeout, &dialog, [&] {
    model.Tick(state);
    after();
  });
  QObject::connect(refreshButton, &QPushButton::clicked, &dialog, [&] {
    model.Refresh(state);
    after();
  });
  QObject::connect(field, &QLineEdit::textEdited, &dialog,
                   [&](const QString& t) { model.fileNumberField = t.toStdString(); });
  QObject::connect(contents, &QPushButton::clicked, &dialog, [&] {
    model.fileNumberField = field->text().toStdString();
    model.GetContents(state);
    after();
  });
  QObject::connect(clear, &QPushButton::clicked, &dialog, [&] {
    model.ClearBox();
    after();
  });
  QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
  after();  // the refresh begun on opening waits on this timer
  dialog.exec();
  timer->stop();
  return 1;
}

void RegisterDialogFaces(DialogPresenter& presenter, AppState& state, QWidget* parent) {
  presenter.Register<LanguageDialog>([parent](LanguageDialog& m) { return RunLanguageFace(m, parent); });
  presenter.Register<ComSettingsDialog>([parent](ComSettingsDialog& m) { return RunComSettingsFace(m, parent); });
  presenter.Register<DefaultBaudDialog>(
      [&state, parent](DefaultBaudDialog& m) { return RunDefaultBaudFace(m, state, parent); });
  presenter.Register<CommunicationFormatDialog>(
      [&state, parent](CommunicationFormatDialog& m) { return RunCommunicationFormatFace(m, state, parent); });
  presenter.Register<SamplingLedDialog>(
      [&state, parent](SamplingLedDialog& m) { return RunSamplingLedFace(m, state, parent); });
  presenter.Register<LatencyDialog>([&state, parent](LatencyDialog& m) { return RunLatencyFace(m, state, parent); });
  presenter.Register<GpsTestDialog>([parent](GpsTestDialog& m) { return RunGpsTestFace(m, parent); });
  presenter.Register<CurrentCapabilitiesDialog>(
      [parent](CurrentCapabilitiesDialog& m) { return RunCurrentCapabilitiesFace(m, parent); });
  presenter.Register<CalibrationDialogModel>(
      [parent](CalibrationDialogModel& m) { return RunCalibrationFace(m, parent); });
  presenter.Register<CalibrationHistory>([parent](CalibrationHistory& h) { return RunCalibrationHistoryFace(h, parent); });
  presenter.Register<MmcSdProc>([&state, parent](MmcSdProc& m) { return RunMmcSdFace(m, state, parent); });
  RegisterSetupFaces(presenter, state, parent);
  presenter.Register<WaveWindowView>([parent](WaveWindowView& v) { return ShowWaveFace(v, parent); });
  RegisterDerivedFaces(presenter, state, parent);
}

}  // namespace tmv::qt
