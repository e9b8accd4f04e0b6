#include "WaveFace.h"

#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPolygonF>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "PanelDock.h"
#include "analysis/WaveAxes.h"

namespace tmv::qt {

// A drawing field with its axes: the surface against the time into the
// burst, or the spectrum against frequency; ticks and titles from the core.
class WaveTracePane : public QWidget {
 public:
  WaveTracePane(bool spectrum, QWidget* parent) : QWidget(parent), spectrum_(spectrum) {
    setMinimumSize(spectrum ? 260 : 340, 160);
  }
  void SetView(const WaveWindowView& view) {
    view_ = view;
    axes_ = WaveWindowAxes(view);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    // Room for the value labels and the titles.
    const QRect plot = rect().adjusted(line + fm.horizontalAdvance(QStringLiteral("-0.000")) + 10, line / 2 + 4,
                                       -fm.horizontalAdvance(QStringLiteral("000")), -(2 * line + 8));
    if (plot.width() < 20 || plot.height() < 20) return;
    p.fillRect(plot, Qt::white);
    const PlotAxis& x = spectrum_ ? axes_.frequency : axes_.time;
    const PlotAxis& y = spectrum_ ? axes_.amplitude : axes_.elevation;
    auto px = [&](double v) { return plot.left() + (v - x.minimum) / (x.maximum - x.minimum) * plot.width(); };
    auto py = [&](double v) { return plot.bottom() - (v - y.minimum) / (y.maximum - y.minimum) * plot.height(); };
    if (view_.shown) {
      p.setPen(QColor(0xdd, 0xdd, 0xdd));
      for (const AxisTick& t : x.ticks) p.drawLine(QPointF(px(t.value), plot.top()), QPointF(px(t.value), plot.bottom()));
      for (const AxisTick& t : y.ticks) p.drawLine(QPointF(plot.left(), py(t.value)), QPointF(plot.right(), py(t.value)));
      p.setPen(palette().text().color());
      for (const AxisTick& t : x.ticks) {
        const QString label = QString::fromStdString(t.label);
        p.drawText(QPointF(px(t.value) - fm.horizontalAdvance(label) / 2.0, plot.bottom() + line + 2), label);
      }
      for (const AxisTick& t : y.ticks) {
        const QString label = QString::fromStdString(t.label);
        p.drawText(QPointF(plot.left() - fm.horizontalAdvance(label) - 4, py(t.value) + fm.ascent() / 2.0), label);
      }
      const QString xTitle = QString::fromStdString(x.title);
      p.drawText(QPointF(plot.center().x() - fm.horizontalAdvance(xTitle) / 2.0, height() - 4), xTitle);
      p.save();
      p.translate(fm.ascent(), plot.center().y());
      p.rotate(-90);
      const QString yTitle = QString::fromStdString(y.title);
      p.drawText(QPointF(-fm.horizontalAdvance(yTitle) / 2.0, 0), yTitle);
      p.restore();
    }
    p.setClipRect(plot);
    p.setPen(QPen(view_.realTimePen ? Qt::red : Qt::blue, 1));
    QPolygonF trace;
    if (!spectrum_) {
      // The core's trace in the plot's pixels: about zero, or between the extremes.
      for (const WavePoint& pt : WaveTrace(view_.surface, view_.crestMax, view_.troughMin, plot.width(), plot.height()))
        trace << QPointF(plot.left() + pt.x, plot.top() + pt.y);
    } else {
      for (size_t k = 0; k < view_.amplitude.size() && k < view_.frequency.size(); ++k)
        trace << QPointF(px(view_.frequency[k]), py(view_.amplitude[k]));
    }
    if (trace.size() > 1) p.drawPolyline(trace);
    p.setClipping(false);
    p.setPen(palette().text().color());
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    if (!view_.shown) p.drawText(plot, Qt::AlignCenter, QString::fromStdString(view_.text));
  }

 private:
  bool spectrum_;
  WaveWindowView view_;
  WaveAxes axes_;
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
  // Side by side, so that the window stays low enough to sit below the graph.
  auto* drawings = new QHBoxLayout;
  drawings->addWidget(trace_, 3);
  drawings->addWidget(spectrum_, 2);
  layout->addLayout(drawings, 1);
}

void WaveFace::Show(const WaveWindowView& view) {
  if (!view.title.empty()) setWindowTitle(QString::fromStdString(view.title));
  text_->setText(view.shown ? QString::fromStdString(view.text) : QString());
  trace_->SetView(view);
  spectrum_->SetView(view);
  show();
}

int ShowWaveFace(const WaveWindowView& view, QWidget* parent) {
  auto* face = parent ? parent->findChild<WaveFace*>(QStringLiteral("waveWindow")) : nullptr;
  if (face == nullptr) {
    face = new WaveFace(parent);
    // Below the graph: the surface reads along the same time as the readings.
    if (auto* main = qobject_cast<QMainWindow*>(parent)) DockPanel(main, face, QStringLiteral("waveDock"), Qt::BottomDockWidgetArea);
  }
  face->Show(view);
  return 1;
}

}  // namespace tmv::qt
