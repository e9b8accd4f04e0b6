#include "LanguageFace.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "shell/LanguageDialog.h"

namespace tmv::qt {

LanguageFace::LanguageFace(LanguageDialog& model, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(model.title));
  auto* layout = new QVBoxLayout(this);
  auto* list = new QListWidget(this);
  list->setObjectName("languageList");
  for (const auto& choice : model.choices) list->addItem(QString::fromStdString(choice));
  list->setCurrentRow(model.selection);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(list, &QListWidget::currentRowChanged, this, [&model](int row) { model.Select(row); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this, &model] {
    model.Ok();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, [this, &model] {
    model.Cancel();
    reject();
  });
}

int RunLanguageFace(LanguageDialog& model, QWidget* parent) {
  LanguageFace face(model, parent);
  return face.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace tmv::qt
