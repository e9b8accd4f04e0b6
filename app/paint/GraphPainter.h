#pragma once
// Paints the core's drawing data of one graph repaint with QPainter: the
// desktop graph, its saved pictures and the command-line plot use the same
// code and the same font, so they draw the same picture. Only paints: every
// position, text and colour comes from the drawing.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include "presentation/GraphView.h"

namespace tmv::paint {

// The font of every text of the graph.
QFont GraphFont();
// How wide the graph's texts are in that font, for the core's layout.
TextMetrics MetricsFor(const QFont& font);

// The whole picture; the painter's origin is the picture's top-left corner.
void PaintPicture(QPainter& painter, const GraphDrawing& drawing, const QFont& font);
// The picture on an image of its own size.
QImage RenderGraphImage(const GraphDrawing& drawing);

// The picture as a file; false with `why` set when it cannot be written.
bool SavePicture(const GraphDrawing& drawing, const QString& path, PictureFormat format, QString* why = nullptr);

}  // namespace tmv::paint
