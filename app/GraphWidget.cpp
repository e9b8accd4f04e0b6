#include "GraphWidget.h"

#include <QMouseEvent>
#include <QPainter>

#include "GraphPainter.h"
#include "presentation/GraphCommands.h"
#include "shell/AppState.h"
#include "shell/Shell.h"

namespace tmv::qt {

GraphWidget::GraphWidget(Shell& shell, QWidget* parent) : QWidget(parent), shell_(shell) {
  setObjectName("graphArea");
  setMouseTracking(false);
}

void GraphWidget::Refresh() {
  drawing_ = RepaintGraph(shell_.state, ShellStatisticsHooks(shell_));
  drawing_.width = width();
  update();
}

void GraphWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!shell_.state.graph.hasData) {
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    return;
  }
  paint::PaintPlot(painter, drawing_);
}

void GraphWidget::mousePressEvent(QMouseEvent* e) {
  GraphState& g = shell_.state.graph;
  if (!g.hasData) return;
  if (e->button() == Qt::LeftButton) {
    if (SetCursor(g, e->pos().x())) {
      g.view.tracking = true;
      if (viewChanged) viewChanged();
    }
  } else if (e->button() == Qt::RightButton && !g.view.refusesMouse) {
    g.view.bandActive = true;
    bandStart_ = e->pos();
    if (band_ == nullptr) band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->setGeometry(QRect(bandStart_, QSize()));
    band_->show();
  }
}

void GraphWidget::mouseMoveEvent(QMouseEvent* e) {
  GraphState& g = shell_.state.graph;
  if (g.view.tracking && (e->buttons() & Qt::LeftButton)) {
    SetCursor(g, e->pos().x());
    if (viewChanged) viewChanged();
  } else if (g.view.bandActive && band_ != nullptr) {
    band_->setGeometry(QRect(bandStart_, e->pos()).normalized());
  }
}

void GraphWidget::mouseReleaseEvent(QMouseEvent* e) {
  GraphState& g = shell_.state.graph;
  if (e->button() == Qt::LeftButton) {
    g.view.tracking = false;
  } else if (e->button() == Qt::RightButton && g.view.bandActive) {
    if (band_ != nullptr) band_->hide();
    RubberBandZoom(g, bandStart_.x(), bandStart_.y(), e->pos().x(), e->pos().y());
    if (viewChanged) viewChanged();
  }
}

}  // namespace tmv::qt
