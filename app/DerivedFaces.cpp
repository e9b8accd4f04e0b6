#include "DerivedFaces.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <map>

#include "FaceSupport.h"
#include "analysis/DerivedUnitsDialog.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"

namespace tmv::qt {
namespace {

using D = DerivedUnitsDialog;

// The dialog texts are in the program's 8-bit character set (0xB5 is the micro sign).
QString L(const char* s) { return QString::fromLatin1(s); }

bool IsField(int c) {
  return c == D::kLatitudeDegrees || c == D::kLatitudeMinutes || c == D::kAtmosphericPressure || c == D::kWaterDensity ||
         c == D::kFixedTemperature || c == D::kFixedSalinity || c == D::kHydrostaticPressure;
}
bool IsRadio(int c) {
  return c == D::kSeawater || c == D::kSimplified || c == D::kUnesco || c == D::kDelGrosso || c == D::kWilson ||
         c == D::kWeissUmol || c == D::kWeissMgL || c == D::kWeissMlL || c == D::kOptodeMgL || c == D::kOptodeMlL;
}
bool IsLabel(int c) {
  return c == D::kLatitudeLabel || c == D::kAtmosphericLabel || c == D::kDensityLabel || c == D::kHydrostaticLabel ||
         c == D::kFixedTemperatureLabel || c == D::kFixedSalinityLabel;
}
bool IsButton(int c) { return c == D::kAtmosphericDefault || c == D::kDensityDefault || c == D::kViewEquation; }

}  // namespace

int RunDerivedUnitsFace(DerivedUnitsDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(L(D::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  // The groups in two columns inside a scroll area: on a small screen the
  // dialog keeps its buttons in view and the groups scroll.
  auto* scroll = new QScrollArea(&dialog);
  scroll->setObjectName("derivedScroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* inner = new QWidget(scroll);
  auto* rows = new QVBoxLayout(inner);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* columns = new QHBoxLayout;
  rows->addLayout(columns);
  QVBoxLayout* column[2] = {new QVBoxLayout, new QVBoxLayout};
  columns->addLayout(column[0]);
  columns->addLayout(column[1]);
  layout->addWidget(scroll, 1);
  std::map<int, QWidget*> widgets;
  std::function<void()> refresh;
  int g = 0;
  for (const D::Group& group : D::Groups()) {
    auto* box = new QGroupBox(L(group.caption), inner);
    auto* grid = new QGridLayout(box);
    int row = 0, col = 0;
    for (int c : group.controls) {
      if (c == 0) break;
      QWidget* w = nullptr;
      const QString name = QStringLiteral("control%1").arg(c);
      if (IsField(c)) {
        auto* edit = new QLineEdit(box);
        edit->setMaximumWidth(110);
        QObject::connect(edit, &QLineEdit::textEdited, &dialog, [&model, c](const QString& t) {
          model.SetFieldText(c, t.toStdString());
        });
        w = edit;
      } else if (IsLabel(c)) {
        w = new QLabel(L(D::Text(c)), box);
      } else if (IsButton(c)) {
        auto* button = new QPushButton(L(D::Text(c)), box);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&model, &refresh, c] {
          model.Click(c);
          refresh();
        });
        w = button;
      } else {
        QAbstractButton* button = IsRadio(c) ? static_cast<QAbstractButton*>(new QRadioButton(L(D::Text(c)), box))
                                             : static_cast<QAbstractButton*>(new QCheckBox(L(D::Text(c)), box));
        button->setAutoExclusive(false);  // the model decides what is checked
        QObject::connect(button, &QAbstractButton::clicked, &dialog, [&model, &refresh, c] {
          model.Click(c);
          refresh();
        });
        w = button;
      }
      w->setObjectName(name);
      widgets[c] = w;
      // A label starts a row that its fields and buttons share.
      if (IsLabel(c) && col > 0) ++row, col = 0;
      grid->addWidget(w, row, col);
      if (IsLabel(c) || (col > 0 && (IsField(c) || IsButton(c)))) {
        ++col;
      } else {
        ++row;
        col = 0;
      }
    }
    // The last group, the widest, runs under both columns.
    const bool last = g + 1 == static_cast<int>(D::Groups().size());
    if (last)
      rows->addWidget(box);
    else
      column[g < 5 ? 0 : 1]->addWidget(box);
    ++g;
  }
  column[0]->addStretch();
  column[1]->addStretch();
  scroll->setWidget(inner);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  FitToScreen(&dialog, scroll, inner);
  refresh = [&] {
    for (auto& [c, w] : widgets) {
      w->setEnabled(model.Enabled(c));
      w->setVisible(model.Visible(c));
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = QString::fromStdString(model.FieldText(c));
        if (edit->text() != text) edit->setText(text);
      } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->isCheckable()) {
        button->setChecked(model.Checked(c));
      }
    }
  };
  refresh();
  int result = 0;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    dialog.accept();
    result = model.Ok();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) {
    model.Cancel();
    return 0;
  }
  return result;
}

int RunLimitsFace(LimitsDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(L(LimitsDialog::kTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(L(LimitsDialog::kText), &dialog);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* list = new QComboBox(&dialog);
  list->setObjectName("limitsList");
  for (const char* entry : LimitEntryNames()) list->addItem(L(entry));
  layout->addWidget(list);
  auto* grid = new QGridLayout;
  auto* minField = new QLineEdit(&dialog);
  auto* maxField = new QLineEdit(&dialog);
  minField->setObjectName("minField");
  maxField->setObjectName("maxField");
  auto arrows = [&](const char* name) {
    auto* up = new QToolButton(&dialog);
    auto* down = new QToolButton(&dialog);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setObjectName(QString::fromLatin1(name) + "Up");
    down->setObjectName(QString::fromLatin1(name) + "Down");
    return std::make_pair(up, down);
  };
  const auto [minUp, minDown] = arrows("min");
  const auto [maxUp, maxDown] = arrows("max");
  grid->addWidget(new QLabel(QStringLiteral("min"), &dialog), 0, 0);
  grid->addWidget(minField, 0, 1);
  grid->addWidget(minUp, 0, 2);
  grid->addWidget(minDown, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("max"), &dialog), 1, 0);
  grid->addWidget(maxField, 1, 1);
  grid->addWidget(maxUp, 1, 2);
  grid->addWidget(maxDown, 1, 3);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  auto show = [&] {
    minField->setText(QString::fromStdString(model.MinText()));
    maxField->setText(QString::fromStdString(model.MaxText()));
  };
  show();
  QObject::connect(list, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, [&](int i) {
    model.Select(i);
    show();
  });
  QObject::connect(minField, &QLineEdit::textEdited, &dialog, [&](const QString& t) { model.SetMinText(t.toStdString()); });
  QObject::connect(maxField, &QLineEdit::textEdited, &dialog, [&](const QString& t) { model.SetMaxText(t.toStdString()); });
  QObject::connect(minUp, &QToolButton::clicked, &dialog, [&] { model.StepMin(true), show(); });
  QObject::connect(minDown, &QToolButton::clicked, &dialog, [&] { model.StepMin(false), show(); });
  QObject::connect(maxUp, &QToolButton::clicked, &dialog, [&] { model.StepMax(true), show(); });
  QObject::connect(maxDown, &QToolButton::clicked, &dialog, [&] { model.StepMax(false), show(); });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    model.Ok();
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted) model.Cancel();
  return accepted ? 1 : 0;
}

void RegisterDerivedFaces(DialogPresenter& presenter, AppState& state, QWidget* parent) {
  presenter.Register<DerivedUnitsDialog>([parent](DerivedUnitsDialog& m) { return RunDerivedUnitsFace(m, parent); });
  presenter.Register<LimitsDialog>([parent](LimitsDialog& m) { return RunLimitsFace(m, parent); });
}

}  // namespace tmv::qt
