#include "FaceSupport.h"

#include <QDialog>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace tmv::qt {

void NoButtonAnswersEnter(QWidget* window) {
  for (QPushButton* b : window->findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
}

void EnterPresses(QPushButton* button) {
  button->setAutoDefault(true);
  button->setDefault(true);
  button->setFocus();
}

void FitToScreen(QDialog* dialog, QScrollArea* scroll, QWidget* inner) {
  const QSize contents = inner->sizeHint();
  const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  // What the dialog needs around the scroll area: its margins and the rest of its layout.
  const QSize around = dialog->layout()->sizeHint() - scroll->sizeHint();
  const int width = std::min(contents.width() + bar + around.width(), kMaximumDialogWidth - 20);
  const int height = std::min(contents.height() + around.height(), kMaximumDialogHeight - 40);
  dialog->resize(width, height);
}

}  // namespace tmv::qt
