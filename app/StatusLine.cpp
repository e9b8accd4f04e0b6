#include "StatusLine.h"

#include <QApplication>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QStyle>

namespace tmv::qt {

StatusLine::StatusLine(double dpiScale, QWidget* parent) : QStatusBar(parent), dpiScale_(dpiScale) {
  setSizeGripEnabled(false);
  for (size_t i = 0; i < labels_.size(); ++i) {
    auto* label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(1, 0, 1, 0);
    labels_[i] = label;
  }
  labels_[kIcon]->setAlignment(Qt::AlignCenter);
  labels_[kUnits]->setAlignment(Qt::AlignCenter);
  labels_[kMessage]->setObjectName("statusMessage");
  labels_[kUnits]->setObjectName("statusUnits");
  labels_[kConnection]->setObjectName("statusConnection");
  labels_[kClock]->setObjectName("statusClock");
  labels_[kIcon]->setObjectName("statusIcon");
  setMinimumHeight(22);
}

std::array<int, 4> StatusLine::Boundaries() const {
  const int w = width();
  return {15, w - static_cast<int>(254 * dpiScale_), w - static_cast<int>(216 * dpiScale_),
          w - static_cast<int>(139 * dpiScale_)};
}

void StatusLine::Place() {
  const auto b = Boundaries();
  const int h = height();
  const int left[kPartCount] = {0, b[0], b[1], b[2], b[3]};
  for (int i = 0; i < kPartCount; ++i) {
    const int right = i + 1 < kPartCount ? left[i + 1] : width();
    labels_[static_cast<size_t>(i)]->setGeometry(left[i], 0, std::max(0, right - left[i]), h);
  }
  FitText(kConnection);
  FitText(kClock);
}

// The parts are as narrow as they always were: a text that does not fit
// its part gets a smaller font rather than being cut.
void StatusLine::FitText(int part) {
  QLabel* label = labels_[static_cast<size_t>(part)];
  QFont f = font();
  const int room = label->width() - 2 * label->frameWidth() - 2;
  if (room > 0) {
    for (qreal size = f.pointSizeF(); size > 6.0; size -= 0.5) {
      if (QFontMetrics(f).horizontalAdvance(label->text()) <= room) break;
      f.setPointSizeF(size - 0.5);
    }
  }
  label->setFont(f);
}

void StatusLine::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  Place();
}

void StatusLine::SetMessage(const QString& text, bool warning) {
  labels_[kMessage]->setText(text);
  warning_ = warning;
  if (warning) {
    const int side = std::max(8, height() - 6);
    labels_[kIcon]->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    labels_[kIcon]->setToolTip(QStringLiteral("Warning"));
  } else {
    labels_[kIcon]->clear();
    labels_[kIcon]->setToolTip(QString());
  }
}

void StatusLine::SetUnits(int indicator) {
  units_ = indicator;
  switch (indicator) {
    case 1:
      labels_[kUnits]->setText(QStringLiteral("EU"));
      labels_[kUnits]->setToolTip(QStringLiteral("Engineering units"));
      break;
    case 2:
      labels_[kUnits]->setText(QStringLiteral("BIN"));
      labels_[kUnits]->setToolTip(QStringLiteral("Binary format"));
      break;
    default:
      labels_[kUnits]->clear();
      labels_[kUnits]->setToolTip(QString());
  }
}

void StatusLine::SetConnection(const QString& text) {
  labels_[kConnection]->setText(text);
  FitText(kConnection);
}

void StatusLine::SetClock(const QString& text) {
  labels_[kClock]->setText(text);
  FitText(kClock);
}

QString StatusLine::PartText(int part) const {
  if (part < 0 || part >= kPartCount) return QString();
  return labels_[static_cast<size_t>(part)]->text();
}

}  // namespace tmv::qt
