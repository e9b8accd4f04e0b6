#include "GraphPainter.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageSize>
#include <QPdfWriter>
#include <QPolygon>
#include <algorithm>
#ifdef TMV_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace tmv::paint {
namespace {

const QColor kInk(32, 32, 32);
const QColor kMuted(100, 100, 100);
const QColor kFrame(150, 150, 150);
const QColor kGrid(228, 228, 228);
const QColor kHidden(175, 175, 175);

QColor ToColour(const Rgb& c) { return QColor(c.r, c.g, c.b); }
QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// The stamp markers: classes 0..11 are a single changed channel's colour.
QPen MarkerPenFor(MarkerPen pen, int markerClass) {
  switch (pen) {
    case MarkerPen::Burst: return QPen(QColor(0, 128, 0), 1);
    case MarkerPen::GainAll: return QPen(QColor(204, 0, 204), 2);
    case MarkerPen::GainSome: return QPen(QColor(204, 0, 204), 1, Qt::DashLine);
    case MarkerPen::Stamp: break;
  }
  if (markerClass >= 0 && markerClass < static_cast<int>(kGraphColours.size()))
    return QPen(ToColour(ChannelColour(markerClass)), 1);
  if (markerClass == 9) return QPen(QColor(96, 96, 96), 1);
  return QPen(Qt::black, 1);
}

QPen TracePen(const Rgb& colour, int width, bool dashed) {
  QPen pen(ToColour(colour), width);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::BevelJoin);
  if (dashed) pen.setDashPattern({5, 3});
  return pen;
}

void PaintPanel(QPainter& p, const GraphDrawing& d, size_t index) {
  const GraphPanel& panel = d.panels[index];
  const QRect rect(panel.rect.x, panel.rect.y, panel.rect.w, panel.rect.h);
  p.save();
  p.setClipRect(rect);
  // The picture's ground is the plot's: white already.
  if (d.highlightShown) {
    const int x1 = std::min(d.highlightX1, d.highlightX2), x2 = std::max(d.highlightX1, d.highlightX2);
    p.fillRect(QRect(x1, rect.top(), std::max(x2 - x1, 1), rect.height()), QColor(220, 230, 255));
  }
  p.setPen(QPen(kGrid, 1));
  for (int x : d.gridX) p.drawLine(x, rect.top(), x, rect.bottom());
  for (int y : panel.gridY) p.drawLine(rect.left(), y, rect.right(), y);
  for (const GraphPolyline& line : d.lines) {
    if (line.panel != static_cast<int>(index) || line.points.empty()) continue;
    p.setPen(TracePen(line.colour, line.penWidth, line.dashed));
    QPolygon polygon;
    polygon.reserve(static_cast<int>(line.points.size()));
    for (const GraphPoint& pt : line.points) polygon << QPoint(pt.x, pt.y);
    if (polygon.size() == 2 && polygon[0] == polygon[1])
      p.drawPoint(polygon[0]);
    else
      p.drawPolyline(polygon);
  }
  for (const GraphPointMark& mark : d.pointMarks) {
    if (mark.panel != static_cast<int>(index)) continue;
    p.setPen(QPen(ToColour(ChannelColour(mark.channel)), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPoint(mark.at.x, mark.at.y), 3, 3);
  }
  for (const GraphMarker& m : d.markers) {
    if (m.y2 < rect.top() || m.y1 > rect.bottom()) continue;
    p.setPen(MarkerPenFor(m.pen, m.markerClass));
    p.drawLine(m.x, m.y1, m.x, m.y2);
  }
  if (d.cursorShown) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawLine(d.cursorX, rect.top(), d.cursorX, rect.bottom());
  }
  if (d.cursor2Shown) {
    p.setPen(QPen(QColor(40, 40, 40), 1, Qt::DashLine));
    p.drawLine(d.cursor2X, rect.top(), d.cursor2X, rect.bottom());
  }
  p.restore();
  p.setPen(QPen(kFrame, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect.adjusted(0, 0, -1, -1));
  // Tick marks outside the frame.
  for (int y : panel.gridY) p.drawLine(rect.left() - 4, y, rect.left() - 1, y);
  for (int y : panel.rightTicksY) p.drawLine(rect.right() + 1, y, rect.right() + 4, y);
  if (index + 1 == d.panels.size())
    for (int x : d.gridX) p.drawLine(x, rect.bottom() + 1, x, rect.bottom() + 4);
}

void PaintText(QPainter& p, const QFontMetrics& metrics, const GraphText& t) {
  const QString text = Text(t.text);
  const int w = metrics.horizontalAdvance(text);
  QColor colour = kInk;
  if (t.style == TextStyle::Title) colour = ToColour(t.colour);
  if (t.style == TextStyle::Muted) colour = kMuted;
  if (t.vertical) {
    p.save();
    p.translate(t.x, t.y);
    p.rotate(-90);
    p.setPen(colour);
    p.drawText(QPoint(-w / 2, metrics.ascent() / 2 - 1), text);
    p.restore();
    return;
  }
  int x = t.x;
  if (t.align == TextAlign::Right) x -= w;
  if (t.align == TextAlign::Centre) x -= w / 2;
  const int swatch = t.swatch ? metrics.ascent() + 4 : 0;
  if (t.style == TextStyle::Caption) {
    p.fillRect(QRect(x - 3, t.y - metrics.ascent() - 2, swatch + w + 6, metrics.height() + 3), QColor(255, 255, 255, 225));
  }
  if (t.style == TextStyle::Banner) {
    p.fillRect(QRect(x, t.y - metrics.ascent(), w, metrics.height()), QColor(128, 128, 128));
    colour = Qt::white;
  }
  if (t.swatch) {
    const int size = metrics.ascent() - 2;
    p.fillRect(QRect(x, t.y - size, size, size), ToColour(t.swatchColour));
  }
  p.setPen(colour);
  p.drawText(QPoint(x + swatch, t.y), text);
}

void PaintLegend(QPainter& p, const QFontMetrics& metrics, const GraphDrawing& d) {
  for (const LegendEntry& e : d.legend) {
    const int middle = e.baseline - metrics.ascent() / 2 + 1;
    const int x0 = e.box.x + 2, x1 = x0 + e.swatchWidth;
    if (e.channel >= 0) {
      QPen pen = TracePen(e.shown ? e.colour : Rgb{175, 175, 175}, std::max(2, e.penWidth), e.dashed);
      p.setPen(pen);
      p.drawLine(x0, middle, x1, middle);
    } else if (e.ring) {
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPoint((x0 + x1) / 2, middle), 3, 3);
    } else {
      p.setPen(MarkerPenFor(e.markPen, e.markClass));
      const int h = metrics.ascent() / 2 + 1;
      for (int x = x0 + 3; x <= x1 - 3; x += 6) p.drawLine(x, middle - h, x, middle + h);
    }
    p.setPen(e.shown ? kInk : kHidden);
    p.drawText(QPoint(e.labelX, e.baseline), Text(e.label));
    if (!e.value.empty() && e.shown) {
      const QString value = Text(e.value);
      p.drawText(QPoint(e.valueRight - metrics.horizontalAdvance(value), e.baseline), value);
    }
  }
}

}  // namespace

QFont GraphFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(13);
  return font;
}

TextMetrics MetricsFor(const QFont& font) {
  const QFontMetrics metrics(font);
  TextMetrics m;
  m.lineHeight = metrics.height() + 2;
  m.ascent = metrics.ascent();
  m.width = [metrics](const std::string& text) { return metrics.horizontalAdvance(Text(text)); };
  return m;
}

void PaintPicture(QPainter& p, const GraphDrawing& d, const QFont& font) {
  p.save();
  p.setFont(font);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.fillRect(QRect(0, 0, d.width, d.height), Qt::white);
  for (size_t i = 0; i < d.panels.size(); ++i) PaintPanel(p, d, i);
  const QFontMetrics metrics(font, p.device());
  for (const GraphText& t : d.texts) PaintText(p, metrics, t);
  PaintLegend(p, metrics, d);
  p.restore();
}

QImage RenderGraphImage(const GraphDrawing& d) {
  QImage image(std::max(d.width, 1), std::max(d.height, 1), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintPicture(painter, d, GraphFont());
  painter.end();
  return image;
}

bool SavePicture(const GraphDrawing& d, const QString& path, PictureFormat format, QString* why) {
  auto fail = [&](const QString& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (format == PictureFormat::Png) {
    const QImage image = RenderGraphImage(d);
    return image.save(path, "PNG") || fail(QStringLiteral("cannot write ") + path);
  }
  if (format == PictureFormat::Svg) {
#ifdef TMV_HAVE_SVG
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(d.width, d.height));
    svg.setViewBox(QRect(0, 0, d.width, d.height));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("TMV graph"));
    QPainter painter;
    if (!painter.begin(&svg)) return fail(QStringLiteral("cannot write ") + path);
    PaintPicture(painter, d, GraphFont());
    painter.end();
    return QFile::exists(path) || fail(QStringLiteral("cannot write ") + path);
#else
    return fail(QStringLiteral("SVG pictures are not available in this build"));
#endif
  }
  // A PDF page of the picture's size at 96 pixels an inch.
  QPdfWriter pdf(path);
  pdf.setResolution(96);
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setPageSize(QPageSize(QSizeF(d.width * 72.0 / 96.0, d.height * 72.0 / 96.0), QPageSize::Point, QString(),
                            QPageSize::ExactMatch));
  pdf.setTitle(QStringLiteral("TMV graph"));
  pdf.setCreator(QStringLiteral("TMV data loggers"));
  QPainter painter;
  if (!painter.begin(&pdf)) return fail(QStringLiteral("cannot write ") + path);
  PaintPicture(painter, d, GraphFont());
  painter.end();
  return QFile::exists(path) || fail(QStringLiteral("cannot write ") + path);
}

}  // namespace tmv::paint
