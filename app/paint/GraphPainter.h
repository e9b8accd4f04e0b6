#pragma once
// Paints the core's drawing data of one graph repaint with QPainter: the
// desktop graph and the command-line plot use the same code, so they draw
// the same picture.
#include <QImage>
#include <QPainter>

#include "presentation/GraphView.h"

namespace tmv::paint {

// Where the plot's top-left corner lies on the image of RenderGraphImage:
// the vertical labels to its left, the reading labels below it.
constexpr int kPlotLeft = 160;
constexpr int kPlotTop = 20;
constexpr int kBottomMargin = 100;
constexpr int kRightMargin = 20;

// The plot itself: white ground, highlight, traces, markers, cursor; the
// painter's origin is the plot's top-left corner.
void PaintPlot(QPainter& painter, const GraphDrawing& drawing);
// The labels around the plot; the painter's origin is the plot's top-left corner.
void PaintLabels(QPainter& painter, const GraphDrawing& drawing);
// The whole picture on its own image (plot, labels, frame).
QImage RenderGraphImage(const GraphDrawing& drawing);

}  // namespace tmv::paint
