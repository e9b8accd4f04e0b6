#pragma once
// The COM settings dialog's face, bound to its model: both port lists, the
// GPS baud list, the radio-modem box and its delay field.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tmv {
class ComSettingsDialog;
}

namespace tmv::qt {

class ComSettingsFace : public QDialog {
 public:
  ComSettingsFace(ComSettingsDialog& model, QWidget* parent);

  QComboBox* loggerPorts() const { return loggerPorts_; }
  QComboBox* gpsPorts() const { return gpsPorts_; }
  QComboBox* gpsBauds() const { return gpsBauds_; }
  QCheckBox* radioBox() const { return radio_; }
  QLineEdit* radioDelay() const { return delay_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QLabel* loggerPortDetail() const { return detail_; }
  void reject() override;

 private:
  void Refresh();

  ComSettingsDialog& model_;
  QComboBox* loggerPorts_;
  QLabel* detail_;
  QComboBox* gpsPorts_;
  QComboBox* gpsBauds_;
  QCheckBox* radio_;
  QLineEdit* delay_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Runs the dialog modally; 1 when it closed with OK.
int RunComSettingsFace(ComSettingsDialog& model, QWidget* parent);

}  // namespace tmv::qt
