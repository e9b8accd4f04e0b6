#include "WaveFace.h"

#include <QLabel>
#include <QPainter>
#include <QPolygon>
#include <QVBoxLayout>
#include <algorithm>

namespace tmv::qt {

// A drawing field: the surface as the core's trace, or the spectrum as a
// polyline scaled to its largest line.
class WaveTracePane : public QWidget {
 public:
  WaveTracePane(bool spectrum, QWidget* parent) : QWidget(parent), spectrum_(spectrum) {
    setMinimumSize(480, spectrum ? 120 : 180);
  }
  void SetView(const WaveWindowView& view) {
    view_ = view;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(view_.realTimePen ? Qt::red : Qt::blue);
    QPolygon line;
    if (!spectrum_) {
      for (const WavePoint& pt : WaveTrace(view_.surface, view_.crestMax, view_.troughMin, width(), height()))
        line << QPoint(pt.x, pt.y);
    } else if (!view_.amplitude.empty()) {
      const double top = std::max(1e-9, *std::max_element(view_.amplitude.begin(), view_.amplitude.end()));
      const size_t n = view_.amplitude.size();
      for (size_t k = 0; k < n; ++k)
        line << QPoint(static_cast<int>(k * static_cast<double>(width()) / static_cast<double>(n)),
                       height() - 1 - static_cast<int>(view_.amplitude[k] / top * (height() - 2)));
    }
    if (line.size() > 1) p.drawPolyline(line);
    if (!view_.shown) p.drawText(rect(), Qt::AlignCenter, QString::fromStdString(view_.text));
  }

 private:
  bool spectrum_;
  WaveWindowView view_;
};

WaveFace::WaveFace(QWidget* parent) : QDialog(parent) {
  setObjectName("waveWindow");
  setModal(false);
  setWindowTitle(QStringLiteral("Wave measurements"));
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(this);
  text_->setObjectName("waveText");
  text_->setTextFormat(Qt::PlainText);
  trace_ = new WaveTracePane(false, this);
  trace_->setObjectName("waveTrace");
  spectrum_ = new WaveTracePane(true, this);
  spectrum_->setObjectName("waveSpectrum");
  layout->addWidget(text_);
  layout->addWidget(trace_, 2);
  layout->addWidget(spectrum_, 1);
}

void WaveFace::Show(const WaveWindowView& view) {
  if (!view.title.empty()) setWindowTitle(QString::fromStdString(view.title));
  text_->setText(view.shown ? QString::fromStdString(view.text) : QString());
  trace_->SetView(view);
  spectrum_->SetView(view);
  show();
}

int ShowWaveFace(const WaveWindowView& view, QWidget* parent) {
  auto* face = parent ? parent->findChild<WaveFace*>(QStringLiteral("waveWindow"), Qt::FindDirectChildrenOnly) : nullptr;
  if (face == nullptr) face = new WaveFace(parent);
  face->Show(view);
  return 1;
}

}  // namespace tmv::qt
