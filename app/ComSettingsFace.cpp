#include "ComSettingsFace.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "link/ComSettingsDialog.h"

namespace tmv::qt {
namespace {

void Fill(QComboBox* box, const std::vector<std::string>& items, int selected) {
  const QSignalBlocker block(box);
  box->clear();
  for (const auto& item : items) box->addItem(QString::fromStdString(item));
  box->setCurrentIndex(selected);
}

}  // namespace

ComSettingsFace::ComSettingsFace(ComSettingsDialog& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromUtf8(ComSettingsDialog::kTitle));
  loggerPorts_ = new QComboBox(this);
  loggerPorts_->setObjectName("loggerPortList");
  gpsPorts_ = new QComboBox(this);
  gpsPorts_->setObjectName("gpsPortList");
  gpsBauds_ = new QComboBox(this);
  gpsBauds_->setObjectName("gpsBaudList");
  radio_ = new QCheckBox(QStringLiteral("Radio Modems used"), this);
  radio_->setObjectName("radioModemBox");
  delay_ = new QLineEdit(this);
  delay_->setObjectName("radioDelayField");
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName("okButton");
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName("cancelButton");
  cancel_->setAutoDefault(false);

  detail_ = new QLabel(this);
  detail_->setObjectName("loggerPortDetail");
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Logger port:"), loggerPorts_);
  form->addRow(QString(), detail_);
  form->addRow(QStringLiteral("GPS port:"), gpsPorts_);
  form->addRow(QStringLiteral("GPS baud rate:"), gpsBauds_);
  auto* radioRow = new QHBoxLayout;
  radioRow->addWidget(radio_);
  radioRow->addWidget(delay_);
  radioRow->addWidget(new QLabel(QStringLiteral("msec"), this));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(radioRow);
  layout->addLayout(buttons);

  Fill(loggerPorts_, model_.LoggerPortItems(), model_.LoggerSelection());
  Fill(gpsPorts_, model_.GpsPortItems(), model_.GpsSelection());
  Fill(gpsBauds_, model_.GpsBaudItems(), model_.GpsBaudSelection());
  {
    const QSignalBlocker block(radio_);
    radio_->setChecked(model_.RadioChecked());
  }
  delay_->setText(QString::fromStdString(model_.RadioDelayText()));
  Refresh();

  connect(loggerPorts_, &QComboBox::currentIndexChanged, this, [this](int i) {
    model_.SelectLoggerPort(i);
    Refresh();
  });
  connect(gpsPorts_, &QComboBox::currentIndexChanged, this, [this](int i) {
    model_.SelectGpsPort(i);
    Refresh();
  });
  connect(gpsBauds_, &QComboBox::currentIndexChanged, this, [this](int i) { model_.SelectGpsBaud(i); });
  connect(radio_, &QCheckBox::toggled, this, [this](bool on) {
    model_.SetRadioChecked(on);
    Refresh();
  });
  connect(delay_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.SetRadioDelayText(text.toStdString()); });
  connect(ok_, &QPushButton::clicked, this, [this] {
    if (model_.Ok()) {
      accept();
      return;
    }
    // The error box has been answered: the dialog stays, in front.
    raise();
    activateWindow();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ComSettingsFace::Refresh() {
  detail_->setText(QString::fromStdString(model_.LoggerPortDetail()));
  detail_->setVisible(!detail_->text().isEmpty());
  gpsBauds_->setEnabled(model_.GpsBaudEnabled());
  delay_->setEnabled(model_.RadioDelayEnabled());
  const QString text = QString::fromStdString(model_.RadioDelayText());
  if (delay_->text() != text) delay_->setText(text);
}

void ComSettingsFace::reject() {
  // "Cancel", Escape and the close box alike: the model's Cancel clears its prompt.
  model_.Cancel();
  QDialog::reject();
}

int RunComSettingsFace(ComSettingsDialog& model, QWidget* parent) {
  ComSettingsFace face(model, parent);
  return face.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace tmv::qt
