#pragma once
// The graph area of the main window: paints the core's drawing data and
// turns mouse actions into the core's cursor and rubber-band operations.
#include <QRubberBand>
#include <QWidget>
#include <functional>

#include "presentation/GraphView.h"

namespace tmv {
struct Shell;
}

namespace tmv::qt {

class GraphWidget : public QWidget {
 public:
  GraphWidget(Shell& shell, QWidget* parent);
  // Rebuilds the drawing data (statistics included) and repaints.
  void Refresh();
  const GraphDrawing& drawing() const { return drawing_; }
  // Called after the view changed through the mouse.
  std::function<void()> viewChanged;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  Shell& shell_;
  GraphDrawing drawing_;
  QRubberBand* band_ = nullptr;
  QPoint bandStart_;
};

}  // namespace tmv::qt
