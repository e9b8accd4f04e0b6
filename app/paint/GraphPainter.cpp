#include "GraphPainter.h"

#include <QFontMetrics>
#include <QPolygon>

namespace tmv::paint {
namespace {

QColor ToColour(const Rgb& c) { return QColor(c.r, c.g, c.b); }

// The stamp markers: class 0..7 is a single changed channel's colour.
QPen MarkerPenFor(const GraphMarker& m) {
  switch (m.pen) {
    case MarkerPen::Burst: return QPen(QColor(0, 128, 0), 1);
    case MarkerPen::GainAll: return QPen(QColor(255, 0, 255), 2);
    case MarkerPen::GainSome: return QPen(QColor(255, 0, 255), 1, Qt::DashLine);
    case MarkerPen::Stamp: break;
  }
  if (m.markerClass >= 0 && m.markerClass < 8) return QPen(ToColour(ChannelColour(m.markerClass)), 1);
  if (m.markerClass == 9) return QPen(QColor(96, 96, 96), 1);
  return QPen(Qt::black, 1);
}

}  // namespace

void PaintPlot(QPainter& painter, const GraphDrawing& d) {
  const QRect plot(0, 0, d.width, d.height);
  painter.save();
  painter.setClipRect(plot);
  painter.fillRect(plot, Qt::white);
  if (d.highlightShown) {
    const int x1 = std::min(d.highlightX1, d.highlightX2), x2 = std::max(d.highlightX1, d.highlightX2);
    painter.fillRect(QRect(x1, 0, std::max(x2 - x1, 1), d.height), QColor(220, 230, 255));
  }
  // Dotted division lines every 50 pixels.
  painter.setPen(QPen(QColor(210, 210, 210), 1, Qt::DotLine));
  for (int x = 50; x < d.width; x += 50) painter.drawLine(x, 0, x, d.height);
  for (int y = 25; y < d.height; y += 50) painter.drawLine(0, y, d.width, y);
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const GraphPolyline& line : d.lines) {
    QPen pen(ToColour(line.colour), line.penWidth);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    QPolygon polygon;
    polygon.reserve(static_cast<int>(line.points.size()));
    for (const GraphPoint& p : line.points) polygon << QPoint(p.x, p.y);
    if (polygon.size() == 2 && polygon[0] == polygon[1])
      painter.drawPoint(polygon[0]);
    else
      painter.drawPolyline(polygon);
  }
  for (const GraphMarker& m : d.markers) {
    painter.setPen(MarkerPenFor(m));
    painter.drawLine(m.x, m.y1, m.x, m.y2);
  }
  if (d.cursorShown) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawLine(d.cursorX, 0, d.cursorX, d.height);
  }
  painter.restore();
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(QRect(0, 0, d.width - 1, d.height - 1));
}

void PaintLabels(QPainter& painter, const GraphDrawing& d) {
  painter.save();
  QFont font = painter.font();
  font.setFamily(QStringLiteral("monospace"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(12);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  for (const GraphText& t : d.texts) {
    const QString text = QString::fromLatin1(t.text.data(), static_cast<int>(t.text.size()));
    const int w = metrics.horizontalAdvance(text);
    int x = t.x;
    if (t.align == TextAlign::Right) x -= w;
    if (t.align == TextAlign::Centre) x -= w / 2;
    if (t.style == TextStyle::Banner) {
      painter.fillRect(QRect(x, t.y - metrics.ascent(), w, metrics.height()), QColor(128, 128, 128));
      painter.setPen(Qt::white);
    } else {
      painter.setPen(Qt::black);
    }
    painter.drawText(QPoint(x, t.y), text);
  }
  if (!d.cursorReadout.empty()) {
    painter.setPen(Qt::black);
    painter.drawText(QPoint(0, d.height + 88), QString::fromLatin1(d.cursorReadout.c_str()));
  }
  painter.restore();
}

QImage RenderGraphImage(const GraphDrawing& d) {
  QImage image(kPlotLeft + std::max(d.width, 1) + kRightMargin, kPlotTop + d.height + kBottomMargin, QImage::Format_RGB32);
  image.fill(QColor(192, 192, 192));
  QPainter painter(&image);
  painter.translate(kPlotLeft, kPlotTop);
  PaintPlot(painter, d);
  PaintLabels(painter, d);
  painter.end();
  return image;
}

}  // namespace tmv::paint
